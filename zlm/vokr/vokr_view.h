// The node list and waveform view of the current instance.
#pragma once

#include "vokr_view_molq_handler.h"

#include <QWidget>

class VOKR_TX_MANAGER;

class VOKR_VIEW : public QWidget {
    Q_OBJECT
public:
    VOKR_VIEW(QWidget* parent, VOKR_TX_MANAGER* manager);

    // Stores the view's scroll, zoom and tab position into its instance.
    void save_position_data();
    void resizeEvent(QResizeEvent* event) override;
    bool is_resized() const { return m_resized; }
    void set_resized(bool resized) { m_resized = resized; }
    // Reacts to a change of the project's assignments (the view's notification target calls it).
    virtual void on_settings_changed();

private:
    VOKR_TX_MANAGER* m_tx_manager;
    bool m_resized = false;
    VOKR_VIEW_MOLQ_HANDLER m_molq_handler{this};
};
