#include "vokr_config_widget.h"

#include "vokr_allocation_type_button_group.h"
#include "vokr_frame_wnd.h"
#include "vokr_globals.h"
#include "vokr_line_edit.h"
#include "vokr_node_allocation.h"
#include "vokr_panel_header.h"
#include "vokr_sample_depth_combo_box.h"
#include "vokr_segment_combo_box.h"
#include "vokr_storage_combo_box.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QIcon icon(int id) { return QIcon(pirq_get_icon(static_cast<PIRQ_ICON_ENUM>(id))); }

// A "..." button as wide as its text needs, once and for all.
QPushButton* browse_button()
{
    auto* button = new QPushButton("...");
    button->adjustSize();
    button->setFixedWidth(button->width());
    return button;
}

// An edit with its "..." button, without a gap between them.
QLayout* edit_with_button(QWidget* edit, QPushButton* button)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    row->addWidget(edit);
    row->addWidget(button);
    return row;
}

QSpinBox* nodes_spin_box()
{
    auto* spin = new QSpinBox;
    spin->setRange(1, 2000);
    return spin;
}

// A form whose fields go below their labels where the pane is too narrow for both on one line,
// so that the pane needs only the width of its widest label or field.
QFormLayout* form_layout(QWidget* group)
{
    auto* form = new QFormLayout(group);
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    return form;
}

// The long option texts of the embedded processor take two lines, which the pane's width holds.
QString in_two_lines(const QString& text)
{
    const int middle = text.indexOf(" (EPS)");
    return QString(text).replace(middle, 1, '\n');
}

const QStringList SAMPLE_DEPTHS = {"0",   "64",  "128",  "256",  "512",  "1 K",  "2 K",
                                   "4 K", "8 K", "16 K", "32 K", "64 K", "128 K"};

}  // namespace

QStringList VOKR_CONFIG_WIDGET::ram_type_items()
{
    QStringList items;
    for (KSM_TALVERN_RAM_TYPE type : RAM_TYPE_ROWS)
        items << vokr_ram_type_labels().at(type);
    return items;
}

void vokr_fill_combo_box(QComboBox* combo, const QStringList& texts, const QIcon& icon)
{
    combo->clear();
    for (const QString& text : texts)
        combo->addItem(icon, text);
}

VOKR_CONFIG_WIDGET::VOKR_CONFIG_WIDGET(QWidget* parent, int instance, VOKR_FRAME_WND* frame, VOKR_TX_MANAGER* manager)
    : QFrame(parent), m_instance(instance), m_frame(frame), m_tx_manager(frame ? frame->get_tx_manager() : manager)
{
    m_data_allocation = std::make_unique<VOKR_DATA_NODE_ALLOCATION>(m_tx_manager);
    m_sq_allocation = std::make_unique<VOKR_STORAGE_QUALIFIER_NODE_ALLOCATION>(m_tx_manager);
    m_trigger_allocation = std::make_unique<VOKR_TRIGGER_NODE_ALLOCATION>(m_tx_manager);
    setObjectName("signal_configuration");
    QHBoxLayout* header = vokr_build_panel(this, build_content(), &m_scroll_area);
    header->addWidget(new QLabel("Signal Configuration:"));
    vokr_add_hide_button(header, this, m_tx_manager->get_action(PIRQ_ACTION_CONFIG_PANE, QVariant()));
    connect(m_tx_manager, &VOKR_TX_MANAGER::updated, this, &VOKR_CONFIG_WIDGET::on_update, Qt::QueuedConnection);
}

VOKR_CONFIG_WIDGET::~VOKR_CONFIG_WIDGET() = default;

int VOKR_CONFIG_WIDGET::get_whole_width() const
{
    return m_scroll_area->widget()->minimumSizeHint().width() + style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
           2 * frameWidth();
}

// The wiring between controls comes before the items, so that inserting the first items already
// sets the dependent controls' states; the manager hears of nothing until the items are in.
QWidget* VOKR_CONFIG_WIDGET::build_content()
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    auto* clock_row = new QHBoxLayout;
    clock_row->setSpacing(6);
    clock_row->addWidget(new QLabel("Clock:"));
    m_clock_edit = new VOKR_LINE_EDIT;
    m_clock_browse = browse_button();
    clock_row->addLayout(edit_with_button(m_clock_edit, m_clock_browse));
    column->addLayout(clock_row);
    column->addWidget(build_data_group());
    column->addWidget(build_trigger_group());
    column->addStretch();
    name_controls();
    wire_controls();
    insert_items();
    connect_to_manager();
    on_update(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_CONFIG));
    return content;
}

// The "Auto" and "Manual:" choice of one allocated-nodes count, with the count itself.
QLayout* VOKR_CONFIG_WIDGET::build_allocation_row(VOKR_NODE_ALLOCATION_IF* allocation,
                                                  VOKR_ALLOCATION_TYPE_BUTTON_GROUP*& group, QRadioButton*& automatic,
                                                  QRadioButton*& manual, QSpinBox*& spin_box)
{
    auto* row = new QHBoxLayout;
    automatic = new QRadioButton("Auto");
    manual = new QRadioButton("Manual:");
    spin_box = nodes_spin_box();
    row->addWidget(automatic);
    row->addWidget(manual);
    row->addWidget(spin_box);
    group = new VOKR_ALLOCATION_TYPE_BUTTON_GROUP(row, allocation);
    group->addButton(automatic, 0);
    group->addButton(manual, 1);
    group->set_spin_box(spin_box);
    return row;
}

QWidget* VOKR_CONFIG_WIDGET::build_data_group()
{
    auto* group = new QGroupBox("Data");
    QFormLayout* form = form_layout(group);
    auto* depth_row = new QHBoxLayout;
    m_sample_depth = new VOKR_SAMPLE_DEPTH_COMBO_BOX;
    m_ram_type = new QComboBox;
    depth_row->addWidget(m_sample_depth, 1);
    depth_row->addWidget(new QLabel("RAM type:"));
    depth_row->addWidget(m_ram_type, 1);
    form->addRow("Sample depth:", depth_row);
    m_segmented = new QCheckBox("Segmented:");
    m_segments = new VOKR_SEGMENT_COMBO_BOX;
    form->addRow(m_segmented, m_segments);
    form->addRow("Nodes Allocated:",
                 build_allocation_row(m_data_allocation.get(), m_data_group, m_data_auto, m_data_manual, m_data_nodes));
    m_pipeline = new QComboBox;
    form->addRow("Pipeline Factor:", m_pipeline);
    form->addRow(build_storage_qualifier_group());
    return group;
}

QWidget* VOKR_CONFIG_WIDGET::build_storage_qualifier_group()
{
    auto* group = new QGroupBox("Storage qualifier:");
    QFormLayout* form = form_layout(group);
    m_storage_type = new VOKR_STORAGE_COMBO_BOX;
    m_input_port = new VOKR_LINE_EDIT;
    m_input_port_browse = browse_button();
    m_record_discontinuities = new QCheckBox("Record data discontinuities");
    m_disable_sq = new QCheckBox("Disable storage qualifier");
    form->addRow("Type:", m_storage_type);
    form->addRow("Input port:", edit_with_button(m_input_port, m_input_port_browse));
    form->addRow("Nodes Allocated:",
                 build_allocation_row(m_sq_allocation.get(), m_sq_group, m_sq_auto, m_sq_manual, m_sq_nodes));
    form->addRow(m_record_discontinuities);
    form->addRow(m_disable_sq);
    return group;
}

QWidget* VOKR_CONFIG_WIDGET::build_trigger_group()
{
    auto* group = new QGroupBox("Trigger");
    QFormLayout* form = form_layout(group);
    form->addRow("Nodes Allocated:", build_allocation_row(m_trigger_allocation.get(), m_trigger_group, m_trigger_auto,
                                                          m_trigger_manual, m_trigger_nodes));
    m_flow_control = new QComboBox;
    m_trigger_position = new QComboBox;
    m_trigger_conditions = new QComboBox;
    form->addRow("Trigger flow control:", m_flow_control);
    form->addRow("Trigger position:", m_trigger_position);
    form->addRow("Trigger conditions:", m_trigger_conditions);
    form->addRow(build_trigger_in_group());
    form->addRow(build_trigger_out_group());
    return group;
}

QWidget* VOKR_CONFIG_WIDGET::build_trigger_in_group()
{
    m_trigger_in = new QGroupBox("Trigger in");
    m_trigger_in->setCheckable(true);
    m_trigger_in->setChecked(false);
    QFormLayout* form = form_layout(m_trigger_in);
    m_in_pin_radio = new QRadioButton("Pin:");
    m_in_pin = new VOKR_LINE_EDIT;
    m_in_node_radio = new QRadioButton("Node:");
    m_in_node = new VOKR_LINE_EDIT;
    m_in_node_browse = browse_button();
    m_in_instance_radio = new QRadioButton("Instance:");
    m_in_instance = new QComboBox;
    m_in_eps_radio = new QRadioButton(in_two_lines("Embedded Processor System (EPS) trigger out"));
    m_pattern = new QComboBox;
    m_trigger_in_source = new QButtonGroup(m_trigger_in);
    m_trigger_in_source->addButton(m_in_pin_radio, 0);
    m_trigger_in_source->addButton(m_in_node_radio, 1);
    m_trigger_in_source->addButton(m_in_instance_radio, 2);
    m_trigger_in_source->addButton(m_in_eps_radio, 3);
    form->addRow(m_in_pin_radio, m_in_pin);
    form->addRow(m_in_node_radio, edit_with_button(m_in_node, m_in_node_browse));
    form->addRow(m_in_instance_radio, m_in_instance);
    form->addRow(m_in_eps_radio);
    form->addRow("Pattern:", m_pattern);
    return m_trigger_in;
}

QWidget* VOKR_CONFIG_WIDGET::build_trigger_out_group()
{
    m_trigger_out = new QGroupBox("Trigger out");
    m_trigger_out->setCheckable(true);
    m_trigger_out->setChecked(false);
    QFormLayout* form = form_layout(m_trigger_out);
    m_out_pin_check = new QCheckBox("Pin:");
    m_out_pin = new VOKR_LINE_EDIT;
    m_out_instance_check = new QCheckBox("Instance:");
    m_out_instance = new QComboBox;
    m_out_eps_trigger_in = new QCheckBox(in_two_lines("Embedded Processor System (EPS) trigger in"));
    m_out_eps_event_check = new QCheckBox(in_two_lines("Embedded Processor System (EPS) event:"));
    m_out_eps_event = new QComboBox;
    m_level = new QComboBox;
    m_latency_delay = new QLineEdit;
    m_latency_delay->setReadOnly(true);
    m_latency_delay->setPalette(vokr_transparent_palette());  // reads like a label
    form->addRow(m_out_pin_check, m_out_pin);
    form->addRow(m_out_instance_check, m_out_instance);
    form->addRow(m_out_eps_trigger_in);
    auto* event_row = new QHBoxLayout;
    event_row->addWidget(m_out_eps_event_check, 1);
    event_row->addWidget(m_out_eps_event);
    form->addRow(event_row);
    form->addRow("Level:", m_level);
    form->addRow("Latency delay:", m_latency_delay);
    return m_trigger_out;
}

// Names by which scripts and tests find the controls.
void VOKR_CONFIG_WIDGET::name_controls()
{
    const std::pair<QObject*, const char*> names[] = {
        {m_clock_edit, "clock"},
        {m_sample_depth, "sample_depth"},
        {m_ram_type, "ram_type"},
        {m_segmented, "segmented"},
        {m_segments, "segments"},
        {m_data_auto, "data_auto"},
        {m_data_manual, "data_manual"},
        {m_data_nodes, "data_nodes"},
        {m_pipeline, "pipeline"},
        {m_sq_auto, "sq_auto"},
        {m_sq_manual, "sq_manual"},
        {m_sq_nodes, "sq_nodes"},
        {m_storage_type, "storage_type"},
        {m_input_port, "input_port"},
        {m_input_port_browse, "input_port_browse"},
        {m_record_discontinuities, "record_discontinuities"},
        {m_disable_sq, "disable_sq"},
        {m_trigger_auto, "trigger_auto"},
        {m_trigger_manual, "trigger_manual"},
        {m_trigger_nodes, "trigger_nodes"},
        {m_flow_control, "flow_control"},
        {m_trigger_position, "trigger_position"},
        {m_trigger_conditions, "trigger_conditions"},
        {m_trigger_in, "trigger_in"},
        {m_in_pin_radio, "in_pin_radio"},
        {m_in_pin, "in_pin"},
        {m_in_node_radio, "in_node_radio"},
        {m_in_node, "in_node"},
        {m_in_instance_radio, "in_instance_radio"},
        {m_in_instance, "in_instance"},
        {m_in_eps_radio, "in_eps_radio"},
        {m_pattern, "pattern"},
        {m_trigger_out, "trigger_out"},
        {m_out_pin_check, "out_pin_check"},
        {m_out_pin, "out_pin"},
        {m_out_instance_check, "out_instance_check"},
        {m_out_instance, "out_instance"},
        {m_out_eps_trigger_in, "out_eps_trigger_in"},
        {m_out_eps_event_check, "out_eps_event_check"},
        {m_out_eps_event, "out_eps_event"},
        {m_level, "level"},
        {m_latency_delay, "latency_delay"},
    };
    for (const auto& [object, name] : names)
        object->setObjectName(name);
}

void VOKR_CONFIG_WIDGET::wire_controls()
{
    connect(m_sample_depth, &VOKR_SAMPLE_DEPTH_COMBO_BOX::zero_sample_depth_selected, m_segmented,
            &QCheckBox::setChecked);
    connect(m_segmented, &QCheckBox::toggled, m_segments, &QWidget::setEnabled);
    connect(m_segmented, &QCheckBox::toggled, m_storage_type, &QWidget::setDisabled);
    connect(m_storage_type, &VOKR_STORAGE_COMBO_BOX::input_port_selected, m_input_port, &QWidget::setEnabled);
    connect(m_storage_type, &VOKR_STORAGE_COMBO_BOX::input_port_selected, m_input_port_browse, &QWidget::setEnabled);
    connect(m_storage_type, &VOKR_STORAGE_COMBO_BOX::storage_qualifier_selected, m_record_discontinuities,
            &QWidget::setEnabled);
    connect(m_storage_type, &VOKR_STORAGE_COMBO_BOX::storage_qualifier_selected, m_disable_sq, &QWidget::setEnabled);
    connect(m_sample_depth, QOverload<int>::of(&QComboBox::currentIndexChanged), m_segments,
            &VOKR_SEGMENT_COMBO_BOX::sample_depth_changed);
    connect(m_sample_depth, &VOKR_SAMPLE_DEPTH_COMBO_BOX::sample_depth_selected, m_ram_type, &QWidget::setEnabled);
    connect(m_sample_depth, &VOKR_SAMPLE_DEPTH_COMBO_BOX::sample_depth_selected, m_segmented, &QWidget::setEnabled);
    connect(m_sample_depth, &VOKR_SAMPLE_DEPTH_COMBO_BOX::sample_depth_selected, this,
            &VOKR_CONFIG_WIDGET::set_enabled_property_sq_combo);
    connect(m_sample_depth, &VOKR_SAMPLE_DEPTH_COMBO_BOX::sample_depth_selected, m_trigger_position,
            &QWidget::setEnabled);
    // A listed depth replaces an unlisted stored one and its explanation.
    connect(m_sample_depth, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        if (index >= 0) {
            m_sample_depth->setPlaceholderText(QString());
            m_sample_depth->setToolTip(QString());
        }
    });
}

void VOKR_CONFIG_WIDGET::insert_items()
{
    m_sample_depth->addItems(SAMPLE_DEPTHS);
    m_ram_type->addItems(ram_type_items());
    m_pipeline->addItems({"0", "1", "2", "3", "4", "5"});
    m_storage_type->addItem(icon(PIRQ_ICON_WAVE_DONT_CARE), "Continuous");
    m_storage_type->addItem(icon(PIRQ_ICON_INPUT_PIN), "Input port");
    m_storage_type->addItem(icon(PIRQ_ICON_WAVE_EITHER_EDGE), "Transitional");
    m_storage_type->addItem(icon(PIRQ_ICON_TRIGGER_CENTER), "Conditional");
    m_storage_type->addItem(icon(PIRQ_ICON_TRIGGER_START_STOP), "Start/Stop");
    m_storage_type->addItem(icon(PIRQ_ICON_STATE_MACHINE), "State-based");
    m_flow_control->addItems({"Sequential", "State-based"});
    m_trigger_position->addItem(icon(PIRQ_ICON_TRIGGER_PRE), "Pre trigger position");
    m_trigger_position->addItem(icon(PIRQ_ICON_TRIGGER_CENTER), "Center trigger position");
    m_trigger_position->addItem(icon(PIRQ_ICON_TRIGGER_POST), "Post trigger position");
    for (int level = 1; level <= 10; ++level)
        m_trigger_conditions->addItem(QString::number(level));
    const std::pair<const char*, int> patterns[] = {{"Don't Care", PIRQ_ICON_WAVE_DONT_CARE},
                                                    {"Low", PIRQ_ICON_WAVE_LOW},
                                                    {"Falling Edge", PIRQ_ICON_WAVE_FALLING_EDGE},
                                                    {"Rising Edge", PIRQ_ICON_WAVE_RISING_EDGE},
                                                    {"High", PIRQ_ICON_WAVE_HIGH},
                                                    {"Either Edge", PIRQ_ICON_WAVE_EITHER_EDGE}};
    for (const auto& [text, id] : patterns)
        m_pattern->addItem(icon(id), text);
    for (int event = 0; event <= 27; ++event)
        m_out_eps_event->addItem(QString::number(event));
    m_level->addItem(icon(PIRQ_ICON_WAVE_ACTIVE_HIGH), "Active High");
    m_level->addItem(icon(PIRQ_ICON_WAVE_ACTIVE_LOW), "Active Low");
    for (QSpinBox* spin : {m_data_nodes, m_sq_nodes, m_trigger_nodes})
        spin->setEnabled(false);
}

void VOKR_CONFIG_WIDGET::connect_to_manager()
{
    VOKR_TX_MANAGER* m = m_tx_manager;
    // Only a person's choice reaches the manager: the refills and refreshes of a list change its
    // current item too, and would otherwise each make an undo step of their own.
    const auto text_of = [](QComboBox* combo, void (VOKR_TX_MANAGER::*slot)(const QString&), VOKR_TX_MANAGER* m) {
        connect(combo, QOverload<int>::of(&QComboBox::activated), m,
                [combo, slot, m](int index) { (m->*slot)(combo->itemText(index)); });
    };
    const auto finished = [m](VOKR_LINE_EDIT* edit, void (VOKR_TX_MANAGER::*slot)(const QString&)) {
        connect(edit, &VOKR_LINE_EDIT::editing_finished, m, [m, slot](const QString& text) { (m->*slot)(text); });
    };
    finished(m_clock_edit, &VOKR_TX_MANAGER::set_clock);
    connect(m_clock_browse, &QPushButton::clicked, m, &VOKR_TX_MANAGER::browse_clock);
    text_of(m_sample_depth, &VOKR_TX_MANAGER::set_sample_depth, m);
    text_of(m_ram_type, &VOKR_TX_MANAGER::set_ram_type, m);
    connect(m_segmented, &QCheckBox::clicked, m, &VOKR_TX_MANAGER::set_segmented_acquisition_mode);
    text_of(m_segments, &VOKR_TX_MANAGER::set_number_of_segments, m);
    text_of(m_pipeline, &VOKR_TX_MANAGER::set_pipeline_level, m);
    text_of(m_storage_type, &VOKR_TX_MANAGER::set_storage_qualifier_type, m);
    finished(m_input_port, &VOKR_TX_MANAGER::set_storage_qualifier_input_port);
    connect(m_input_port_browse, &QPushButton::clicked, m, &VOKR_TX_MANAGER::browse_storage_qualifier_input_port);
    connect(m_record_discontinuities, &QCheckBox::clicked, m, &VOKR_TX_MANAGER::enable_data_discontinuities);
    connect(m_disable_sq, &QCheckBox::clicked, m, &VOKR_TX_MANAGER::disable_storage_qualifier);
    text_of(m_flow_control, &VOKR_TX_MANAGER::set_trigger_flow_control, m);
    text_of(m_trigger_position, &VOKR_TX_MANAGER::set_trigger_position, m);
    text_of(m_trigger_conditions, &VOKR_TX_MANAGER::set_trigger_level, m);
    connect(m_trigger_in, &QGroupBox::clicked, m, &VOKR_TX_MANAGER::enable_trigger_in);
    connect(m_trigger_in_source, &QButtonGroup::idClicked, m,
            QOverload<int>::of(&VOKR_TX_MANAGER::set_trigger_in_source));
    finished(m_in_pin, &VOKR_TX_MANAGER::set_trigger_in_pin);
    finished(m_in_node, &VOKR_TX_MANAGER::set_trigger_in_node);
    connect(m_in_node_browse, &QPushButton::clicked, m, &VOKR_TX_MANAGER::browse_trigger_in);
    text_of(m_in_instance, &VOKR_TX_MANAGER::set_trigger_in_instance, m);
    text_of(m_pattern, &VOKR_TX_MANAGER::set_trigger_in_condition, m);
    connect(m_trigger_out, &QGroupBox::clicked, m, &VOKR_TX_MANAGER::enable_trigger_out);
    connect(m_out_pin_check, &QCheckBox::clicked, m, &VOKR_TX_MANAGER::set_trigger_out_pin_selected);
    // Every keystroke of the trigger-out pin is one edit of its own.
    connect(m_out_pin, &QLineEdit::textEdited, m, &VOKR_TX_MANAGER::set_trigger_out_pin);
    connect(m_out_instance_check, &QCheckBox::clicked, m, &VOKR_TX_MANAGER::set_trigger_out_instance_selected);
    text_of(m_out_instance, &VOKR_TX_MANAGER::set_trigger_out_instance, m);
    connect(m_out_eps_trigger_in, &QCheckBox::clicked, m, &VOKR_TX_MANAGER::set_trigger_out_eps_trigger_in_selected);
    connect(m_out_eps_event_check, &QCheckBox::clicked, m, &VOKR_TX_MANAGER::set_trigger_out_eps_event_selected);
    text_of(m_out_eps_event, &VOKR_TX_MANAGER::set_trigger_out_eps_event_index, m);
    text_of(m_level, &VOKR_TX_MANAGER::set_trigger_out_condition, m);
    connect(m_data_nodes, QOverload<int>::of(&QSpinBox::valueChanged), m, &VOKR_TX_MANAGER::data_manual_input_changed);
    connect(m_trigger_nodes, QOverload<int>::of(&QSpinBox::valueChanged), m,
            &VOKR_TX_MANAGER::trigger_manual_input_changed);
    connect(m_sq_nodes, QOverload<int>::of(&QSpinBox::valueChanged), m,
            &VOKR_TX_MANAGER::storage_qualifier_manual_input_changed);
}

void VOKR_CONFIG_WIDGET::set_enabled_property_sq_combo(bool enabled)
{
    m_storage_type->setEnabled(!m_segmented->isChecked() && enabled);
}
