// The "Resources:" pane of a state-based trigger: how many flags and counters it has, their
// names, initial values and widths, the values the last acquisition left in the data log, and
// which parts of the flow stay configurable at run time. It shows the session and forwards
// every edit to the manager.
#pragma once

#include <QFrame>

class VOKR_CONFIG_CHECK_BOX;
class VOKR_FRAME_WND;
class VOKR_INT_COMBO_BOX;
class VOKR_TREE_WIDGET;
class VOKR_TX_MANAGER;

class VOKR_RESOURCES_WIDGET : public QFrame {
    Q_OBJECT
public:
    VOKR_RESOURCES_WIDGET(QWidget* parent, int instance, VOKR_FRAME_WND* frame);
    ~VOKR_RESOURCES_WIDGET() override = default;

    VOKR_INT_COMBO_BOX* get_flag_combo() const { return m_flag_combo; }
    VOKR_INT_COMBO_BOX* get_counter_combo() const { return m_counter_combo; }
    VOKR_TREE_WIDGET* get_flag_table() const { return m_flag_table; }
    VOKR_TREE_WIDGET* get_counter_table() const { return m_counter_table; }
    // The goto, comparison values, comparison operators and logical operators check boxes.
    QList<VOKR_CONFIG_CHECK_BOX*> get_option_boxes() const;

public slots:
    void on_update(QObject* sender, int hint);

private:
    QWidget* build_content();
    bool is_edit_refused() const;
    void fill_flags();
    void fill_counters();

    VOKR_INT_COMBO_BOX* m_flag_combo;
    VOKR_INT_COMBO_BOX* m_counter_combo;
    VOKR_TREE_WIDGET* m_flag_table;
    VOKR_TREE_WIDGET* m_counter_table;
    VOKR_CONFIG_CHECK_BOX* m_goto_box;
    VOKR_CONFIG_CHECK_BOX* m_values_box;
    VOKR_CONFIG_CHECK_BOX* m_comparison_box;
    VOKR_CONFIG_CHECK_BOX* m_logical_box;
    int m_instance;
    VOKR_FRAME_WND* m_frame;
    VOKR_TX_MANAGER* m_tx_manager;
};
