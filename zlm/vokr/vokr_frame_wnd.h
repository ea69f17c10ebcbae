// The editor's frame window for one session document.
#pragma once

#include "wex.h"

class VOKR_LAYOUT_WIDGET;
class VOKR_TX_MANAGER;

class VOKR_FRAME_WND : public WEX_FRAME_WND {
    Q_OBJECT
public:
    VOKR_FRAME_WND(QWidget* parent, unsigned int mode, int, int);
    ~VOKR_FRAME_WND() override;

    VOKR_TX_MANAGER* get_tx_manager() const { return m_tx_manager; }
    VOKR_LAYOUT_WIDGET* get_layout_widget() const { return m_layout_widget; }
    // The widget that holds the checked panel actions.
    QWidget* get_action_widget() { return this; }
    bool save_modified(bool ask) override;

private:
    VOKR_TX_MANAGER* m_tx_manager = nullptr;
    VOKR_LAYOUT_WIDGET* m_layout_widget = nullptr;
};
