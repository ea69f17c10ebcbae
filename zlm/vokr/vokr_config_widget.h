// The "Signal Configuration:" pane of one instance tab: every acquisition setting of an
// instance that is not a per-node property. Each control goes straight to a setter slot of the
// manager; the pane shows the session again when the manager announces a configuration change.
#pragma once

#include "ksm.h"

#include <QFrame>

#include <initializer_list>
#include <memory>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QIcon;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSpinBox;
class VOKR_ALLOCATION_TYPE_BUTTON_GROUP;
class VOKR_DATA_NODE_ALLOCATION;
class VOKR_FRAME_WND;
class VOKR_LINE_EDIT;
class VOKR_NODE_ALLOCATION_IF;
class VOKR_SAMPLE_DEPTH_COMBO_BOX;
class VOKR_SEGMENT_COMBO_BOX;
class VOKR_STORAGE_COMBO_BOX;
class VOKR_STORAGE_QUALIFIER_NODE_ALLOCATION;
class VOKR_TRIGGER_NODE_ALLOCATION;
class VOKR_TX_MANAGER;

// Clears the combo box and fills it with `texts`, each with `icon`.
void vokr_fill_combo_box(QComboBox* combo, const QStringList& texts, const QIcon& icon);

class VOKR_CONFIG_WIDGET : public QFrame {
    Q_OBJECT
public:
    // The RAM type list shows "Auto" and then the small, medium and large memory blocks, while
    // the signal set stores 0 automatic, 1 medium, 2 small, 3 large: row r of the list shows
    // the label of stored type RAM_TYPE_ROWS[r].
    static constexpr KSM_TALVERN_RAM_TYPE RAM_TYPE_ROWS[4] = {KSM_RAM_AUTO, KSM_RAM_SMALL, KSM_RAM_MEDIUM,
                                                              KSM_RAM_LARGE};
    static QStringList ram_type_items();

    // `instance` -1 follows the current instance. A null frame serves the wizard's manager.
    VOKR_CONFIG_WIDGET(QWidget* parent, int instance, VOKR_FRAME_WND* frame, VOKR_TX_MANAGER* manager = nullptr);
    ~VOKR_CONFIG_WIDGET() override;

    // The least width at which the pane shows its fields whole, its scroll bar beside them.
    int get_whole_width() const;

public slots:
    // Refreshes every control when the hint holds both the refresh and the configuration bit.
    void on_update(QObject* sender, int hint);
    // The storage type stays disabled while the acquisition is segmented.
    void set_enabled_property_sq_combo(bool enabled);

private:
    QWidget* build_content();
    QWidget* build_data_group();
    QWidget* build_storage_qualifier_group();
    QWidget* build_trigger_group();
    QWidget* build_trigger_in_group();
    QWidget* build_trigger_out_group();
    QLayout* build_allocation_row(VOKR_NODE_ALLOCATION_IF* allocation, VOKR_ALLOCATION_TYPE_BUTTON_GROUP*& group,
                                  QRadioButton*& automatic, QRadioButton*& manual, QSpinBox*& spin_box);
    void name_controls();
    void wire_controls();
    void insert_items();
    void connect_to_manager();

    // Refresh steps.
    bool has_instance() const;
    bool is_power_up_view() const;
    bool read_only_rule() const;
    bool power_up_locked_rule() const;
    bool has_no_embedded_processor() const;
    void enable_item(QWidget* widget, bool read_only_rule);
    void guard(QWidget* widget) { enable_item(widget, true); }
    void soft_guard(QWidget* widget) { enable_item(widget, false); }
    bool instance_exists() const;
    // Guards `choice`, and `fields` while it is checked; unchecked, the fields are disabled.
    void guard_choice(QAbstractButton* choice, std::initializer_list<QWidget*> fields);
    // Fills a trigger's instance list; an empty list disables it and its `choice`.
    void fill_instance_choice(QComboBox* instances, QAbstractButton* choice);
    void refresh_clock();
    void refresh_data();
    void show_sample_depth(const QString& text);
    void refresh_storage_qualifier();
    void refresh_trigger();
    void refresh_trigger_in();
    void refresh_trigger_out();
    void configure_allocation_widgets();
    void refresh_power_up_tint();

    VOKR_LINE_EDIT* m_clock_edit = nullptr;
    QPushButton* m_clock_browse = nullptr;
    VOKR_SAMPLE_DEPTH_COMBO_BOX* m_sample_depth = nullptr;
    QComboBox* m_ram_type = nullptr;
    QCheckBox* m_segmented = nullptr;
    VOKR_SEGMENT_COMBO_BOX* m_segments = nullptr;
    VOKR_ALLOCATION_TYPE_BUTTON_GROUP* m_data_group = nullptr;
    QRadioButton* m_data_auto = nullptr;
    QRadioButton* m_data_manual = nullptr;
    QSpinBox* m_data_nodes = nullptr;
    QComboBox* m_pipeline = nullptr;
    VOKR_ALLOCATION_TYPE_BUTTON_GROUP* m_sq_group = nullptr;
    QRadioButton* m_sq_auto = nullptr;
    QRadioButton* m_sq_manual = nullptr;
    QSpinBox* m_sq_nodes = nullptr;
    VOKR_STORAGE_COMBO_BOX* m_storage_type = nullptr;
    VOKR_LINE_EDIT* m_input_port = nullptr;
    QPushButton* m_input_port_browse = nullptr;
    QCheckBox* m_record_discontinuities = nullptr;
    QCheckBox* m_disable_sq = nullptr;
    VOKR_ALLOCATION_TYPE_BUTTON_GROUP* m_trigger_group = nullptr;
    QRadioButton* m_trigger_auto = nullptr;
    QRadioButton* m_trigger_manual = nullptr;
    QSpinBox* m_trigger_nodes = nullptr;
    QComboBox* m_flow_control = nullptr;
    QComboBox* m_trigger_position = nullptr;
    QComboBox* m_trigger_conditions = nullptr;
    QGroupBox* m_trigger_in = nullptr;
    QButtonGroup* m_trigger_in_source = nullptr;
    QRadioButton* m_in_pin_radio = nullptr;
    VOKR_LINE_EDIT* m_in_pin = nullptr;
    QRadioButton* m_in_node_radio = nullptr;
    VOKR_LINE_EDIT* m_in_node = nullptr;
    QPushButton* m_in_node_browse = nullptr;
    QRadioButton* m_in_instance_radio = nullptr;
    QComboBox* m_in_instance = nullptr;
    QRadioButton* m_in_eps_radio = nullptr;
    QComboBox* m_pattern = nullptr;
    QGroupBox* m_trigger_out = nullptr;
    QCheckBox* m_out_pin_check = nullptr;
    VOKR_LINE_EDIT* m_out_pin = nullptr;
    QCheckBox* m_out_instance_check = nullptr;
    QComboBox* m_out_instance = nullptr;
    QCheckBox* m_out_eps_trigger_in = nullptr;
    QCheckBox* m_out_eps_event_check = nullptr;
    QComboBox* m_out_eps_event = nullptr;
    QComboBox* m_level = nullptr;
    QLineEdit* m_latency_delay = nullptr;
    QScrollArea* m_scroll_area = nullptr;
    int m_instance;
    VOKR_FRAME_WND* m_frame;
    VOKR_TX_MANAGER* m_tx_manager;
    std::unique_ptr<VOKR_DATA_NODE_ALLOCATION> m_data_allocation;
    std::unique_ptr<VOKR_STORAGE_QUALIFIER_NODE_ALLOCATION> m_sq_allocation;
    std::unique_ptr<VOKR_TRIGGER_NODE_ALLOCATION> m_trigger_allocation;
};
