// The "State Machine:" pane of an instance: the flow's text editors (one per state, or one for
// all states), the choice between the two, and the checker's first error in red, shown half a
// second after the last change.
#pragma once

#include "vokr_tx_manager.h"

#include <QFrame>
#include <QMap>
#include <QTimer>

class QLabel;
class QScrollArea;
class VOKR_FRAME_WND;

class VOKR_STATE_WIDGET : public QFrame {
    Q_OBJECT
public:
    VOKR_STATE_WIDGET(QWidget* parent, int instance, VOKR_FRAME_WND* frame);

    // A new editor area for the current display mode; the caller owns it.
    QWidget* get_editor_widget();
    QLabel* get_error_label() const { return m_error_label; }
    QScrollArea* get_scroll_area() const { return m_scroll_area; }
    QTimer* get_check_timer() { return &m_check_timer; }

public slots:
    void on_update(QObject* sender, int hint);
    void on_timer();
    void on_state_text_changed(int state, const QString& text);

private:
    void find_unstored_header();
    void show_error();

    QScrollArea* m_scroll_area;
    QTimer m_check_timer;
    VOKR_STATE_MACHINE_ERROR m_error;
    QLabel* m_error_label;
    int m_instance;
    VOKR_FRAME_WND* m_frame;
    VOKR_TX_MANAGER* m_tx_manager;
    // The texts of state windows that the manager did not take (they hold a state header), by
    // state: rebuilt windows show them again, so that nothing typed is lost.
    QMap<int, QString> m_unstored;
};
