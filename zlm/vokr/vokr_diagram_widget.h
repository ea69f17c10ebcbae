// The "State Diagram:" pane: the number of states of the flow, the state recorded in the
// instance's current data log, and the states drawn with their transitions.
#pragma once

#include <QFrame>

class QLineEdit;
class VOKR_FRAME_WND;
class VOKR_INT_COMBO_BOX;
class VOKR_STATE_LIST_WIDGET;
class VOKR_TX_MANAGER;

class VOKR_DIAGRAM_WIDGET : public QFrame {
    Q_OBJECT
public:
    VOKR_DIAGRAM_WIDGET(QWidget* parent, int instance, VOKR_FRAME_WND* frame);

    VOKR_INT_COMBO_BOX* get_state_count_combo() const { return m_state_count_combo; }
    QLineEdit* get_current_state_field() const { return m_current_state; }
    VOKR_STATE_LIST_WIDGET* get_state_list() const { return m_state_list; }

public slots:
    void on_update(QObject* sender, int hint);

private:
    QString state_name(int state) const;
    void link_states(int count);
    void mark_current(int count);
    bool is_count_locked() const;

    VOKR_INT_COMBO_BOX* m_state_count_combo;
    QLineEdit* m_current_state;
    VOKR_STATE_LIST_WIDGET* m_state_list;
    int m_instance;
    VOKR_FRAME_WND* m_frame;
    VOKR_TX_MANAGER* m_tx_manager;
};
