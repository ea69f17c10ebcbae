// The signal configuration pane's refresh: every control shows the session again, and the
// editing rules (power-up view, lock mode, device without embedded processor) decide which
// controls the user may touch.
#include "vokr_config_widget.h"

#include "vokr_allocation_type_button_group.h"
#include "vokr_frame_wnd.h"
#include "vokr_globals.h"
#include "vokr_layout_widget.h"
#include "vokr_line_edit.h"
#include "vokr_sample_depth_combo_box.h"
#include "vokr_segment_combo_box.h"
#include "vokr_storage_combo_box.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>

namespace {

constexpr int POST_FITTING_COLOR = 306;

// Makes the first item of exactly that text current; without one the selection stays.
void select(QComboBox* combo, const QString& text)
{
    const int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        combo->setCurrentIndex(index);
}

void select_if(bool ok, QComboBox* combo, const QString& text)
{
    if (ok)
        select(combo, text);
}

}  // namespace

// Every control waits while the pane's instance acquires, whatever the hint: what its run was
// built from stays as the run has it.
void VOKR_CONFIG_WIDGET::on_update(QObject*, int hint)
{
    if (!instance_exists())
        return;
    if (m_scroll_area)  // null while the pane is built
        m_scroll_area->widget()->setEnabled(!m_tx_manager->is_instance_of_entry_acquiring(m_instance));
    const int mask = vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_CONFIG);
    if ((hint & mask) != mask)
        return;
    VOKR_UPDATE_GUARD update;
    refresh_clock();
    refresh_data();
    refresh_storage_qualifier();
    refresh_trigger();
    refresh_trigger_in();
    refresh_trigger_out();
    configure_allocation_widgets();
    refresh_power_up_tint();
}

// ---- editing rules ----------------------------------------------------------------------------------

bool VOKR_CONFIG_WIDGET::has_instance() const { return !m_tx_manager->is_empty(); }

bool VOKR_CONFIG_WIDGET::is_power_up_view() const
{
    const KSM_TX_SESSION* session = m_tx_manager->get_session();
    return session && session->is_power_up_view(m_tx_manager->get_current_instance_index());
}

bool VOKR_CONFIG_WIDGET::read_only_rule() const
{
    const bool locked = m_tx_manager->get_lock_mode(false) != VOKR_LOCK_MODE_ALL_CHANGES;
    return m_frame && ((has_instance() && is_power_up_view()) || locked);
}

bool VOKR_CONFIG_WIDGET::power_up_locked_rule() const
{
    const bool locked = m_tx_manager->get_lock_mode(false) != VOKR_LOCK_MODE_ALL_CHANGES;
    return m_frame && has_instance() && is_power_up_view() && locked;
}

// The view's device flag: a project is open and its device has no resource of kind 32, the
// embedded processor system.
bool VOKR_CONFIG_WIDGET::has_no_embedded_processor() const
{
    VOKR_LAYOUT_WIDGET* layout = m_frame ? m_frame->get_layout_widget() : nullptr;
    return layout && layout->get_view() && layout->get_view()->is_incremental_route_off();
}

// A group box keeps its children's states: only its own title check box follows the rule.
void VOKR_CONFIG_WIDGET::enable_item(QWidget* widget, bool read_only)
{
    const bool blocked = read_only ? read_only_rule() : power_up_locked_rule();
    if (qobject_cast<QGroupBox*>(widget))
        widget->setAttribute(Qt::WA_Disabled, blocked);
    else
        widget->setEnabled(!blocked);
    widget->update();
}

// A widget of an instance that a newly opened session lacks waits for the layout to replace it.
bool VOKR_CONFIG_WIDGET::instance_exists() const
{
    const KSM_TX_SESSION* session = m_tx_manager->get_session();
    return m_instance < 0 || (session && m_instance < session->get_num_instances());
}

// ---- refresh steps ----------------------------------------------------------------------------------

void VOKR_CONFIG_WIDGET::refresh_clock()
{
    QString clock;
    if (!m_tx_manager->get_clock(&clock, m_instance))
        return;
    guard(m_clock_edit);
    guard(m_clock_browse);
    m_clock_edit->setText(clock);
    if (m_tx_manager->is_setup_mode() && m_tx_manager->is_clock_invalid()) {
        m_clock_edit->setPalette(vokr_red_text_palette());
    } else if (!m_tx_manager->is_clock_post_fitting()) {
        m_clock_edit->setPalette(QApplication::palette());
    } else {
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::Text, pirq_get_color(POST_FITTING_COLOR));
        m_clock_edit->setPalette(palette);
    }
}

// The RAM type list is filled anew without its link to the sample depth, which would otherwise
// enable it behind the rules' back.
void VOKR_CONFIG_WIDGET::refresh_data()
{
    QString text;
    if (m_tx_manager->get_sample_depth(&text, m_instance)) {
        guard(m_sample_depth);
        show_sample_depth(text);
    }
    disconnect(m_sample_depth, &VOKR_SAMPLE_DEPTH_COMBO_BOX::sample_depth_selected, m_ram_type, &QWidget::setEnabled);
    if (!m_tx_manager->is_zero_sample_depth())
        guard(m_ram_type);
    m_ram_type->clear();
    m_ram_type->addItems(ram_type_items());
    select_if(m_tx_manager->get_ram_type(&text, m_instance), m_ram_type, text);
    connect(m_sample_depth, &VOKR_SAMPLE_DEPTH_COMBO_BOX::sample_depth_selected, m_ram_type, &QWidget::setEnabled);
    m_segmented->setChecked(m_tx_manager->is_segmented_acquisition_enabled(m_instance));
    if (m_tx_manager->get_pipeline_level(&text, m_instance)) {
        guard(m_pipeline);
        select(m_pipeline, text);
    }
}

// The storage type is read for the pane's own instance: a pane of another instance than the
// current one shows its own instance's type.
// A session may store a depth the list does not offer (up to 1024 K): the box then chooses
// nothing rather than another depth, and shows the stored one as its placeholder with the reason
// as its tip. Opening such a session says so in the Messages window.
void VOKR_CONFIG_WIDGET::show_sample_depth(const QString& text)
{
    const bool listed = m_sample_depth->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0;
    m_sample_depth->setPlaceholderText(listed ? QString() : text);
    m_sample_depth->setToolTip(listed ? QString() : VOKR_TX_MANAGER::unlisted_sample_depth_text(text));
    if (listed)
        select(m_sample_depth, text);
    else
        m_sample_depth->setCurrentIndex(-1);
}

void VOKR_CONFIG_WIDGET::refresh_storage_qualifier()
{
    QString text;
    select_if(m_tx_manager->get_storage_qualifier_type(&text, m_instance), m_storage_type, text);
    bool post_fitting = false;
    if (has_instance() && m_tx_manager->get_storage_qualifier_input_port(&text, &post_fitting, m_instance))
        m_input_port->setText(text);
    m_record_discontinuities->setChecked(m_tx_manager->is_record_data_discontinuities_enabled(m_instance));
    m_disable_sq->setChecked(m_tx_manager->is_disable_storage_qualifier_enabled(m_instance));
    if (m_sample_depth->currentIndex() == 0)
        return;
    guard(m_segmented);
    soft_guard(m_trigger_position);
    if (m_segmented->isChecked()) {
        guard(m_segments);
        if (m_tx_manager->get_number_of_segments(&text, m_instance)) {
            for (int i = 0; i < m_segments->count(); ++i) {
                if (m_segments->itemText(i).startsWith(text)) {
                    m_segments->setCurrentIndex(i);
                    break;
                }
            }
        }
        return;
    }
    guard(m_storage_type);
    const QString type = m_storage_type->currentText();
    if (type == "Input port") {
        guard(m_input_port);
        guard(m_input_port_browse);
    }
    if (type != "Continuous") {
        guard(m_record_discontinuities);
        soft_guard(m_disable_sq);
    }
}

void VOKR_CONFIG_WIDGET::refresh_trigger()
{
    QString text;
    if (m_tx_manager->get_trigger_flow_control(&text, m_instance)) {
        guard(m_flow_control);
        select(m_flow_control, text);
    }
    select_if(m_tx_manager->get_trigger_position(&text, m_instance), m_trigger_position, text);
    if (m_tx_manager->get_trigger_level(&text, m_instance)) {
        guard(m_trigger_conditions);
        select(m_trigger_conditions, text);
    }
}

void VOKR_CONFIG_WIDGET::guard_choice(QAbstractButton* choice, std::initializer_list<QWidget*> fields)
{
    guard(choice);
    for (QWidget* field : fields)
        choice->isChecked() ? guard(field) : field->setEnabled(false);
}

void VOKR_CONFIG_WIDGET::fill_instance_choice(QComboBox* instances, QAbstractButton* choice)
{
    const QStringList names = has_instance() ? m_tx_manager->get_trigger_instance_list(m_instance) : QStringList();
    vokr_fill_combo_box(instances, names, QIcon(pirq_get_icon(PIRQ_ICON_INSTANCE)));
    if (names.isEmpty()) {
        choice->setEnabled(false);
        instances->setEnabled(false);
    }
}

void VOKR_CONFIG_WIDGET::refresh_trigger_in()
{
    const bool present = has_instance();
    if (present) {
        if (QAbstractButton* source = m_trigger_in_source->button(m_tx_manager->get_trigger_in_source(m_instance)))
            source->setChecked(true);
    }
    if (present && m_tx_manager->is_trigger_in_enabled(m_instance)) {
        m_trigger_in->setEnabled(true);
        m_trigger_in->setChecked(true);
        guard_choice(m_in_pin_radio, {m_in_pin});
        guard_choice(m_in_node_radio, {m_in_node, m_in_node_browse});
        guard_choice(m_in_instance_radio, {m_in_instance});
        has_no_embedded_processor() ? m_in_eps_radio->setEnabled(false) : guard(m_in_eps_radio);
        soft_guard(m_pattern);
    } else {
        m_trigger_in->setChecked(false);
    }
    guard(m_trigger_in);
    QString text;
    if (present) {
        m_tx_manager->get_trigger_in_pin_name(&text, m_instance);
        m_in_pin->setText(text);
        m_tx_manager->get_trigger_in_node_name(&text, m_instance);
        m_in_node->setText(text);
    }
    fill_instance_choice(m_in_instance, m_in_instance_radio);
    if (present) {
        m_tx_manager->get_trigger_in_instance_name(&text, m_instance);
        select(m_in_instance, text);
        m_tx_manager->get_trigger_in_condition(&text, m_instance);
        select(m_pattern, text);
    }
}

void VOKR_CONFIG_WIDGET::refresh_trigger_out()
{
    const bool present = has_instance();
    m_out_pin_check->setChecked(present && m_tx_manager->is_trigger_out_pin_selected(m_instance));
    m_out_instance_check->setChecked(present && m_tx_manager->is_trigger_out_instance_selected(m_instance));
    m_out_eps_trigger_in->setChecked(present && m_tx_manager->is_trigger_out_eps_trigger_in_selected(m_instance));
    m_out_eps_event_check->setChecked(present && m_tx_manager->is_trigger_out_eps_event_index_selected(m_instance));
    if (present && m_tx_manager->is_trigger_out_enabled(m_instance)) {
        m_trigger_out->setEnabled(true);
        m_trigger_out->setChecked(true);
        guard_choice(m_out_pin_check, {m_out_pin});
        guard_choice(m_out_instance_check, {m_out_instance});
        if (has_no_embedded_processor()) {
            for (QWidget* w : {static_cast<QWidget*>(m_out_eps_trigger_in),
                               static_cast<QWidget*>(m_out_eps_event_check), static_cast<QWidget*>(m_out_eps_event)})
                w->setEnabled(false);
        } else {
            guard(m_out_eps_trigger_in);
            guard_choice(m_out_eps_event_check, {m_out_eps_event});
        }
        soft_guard(m_level);
    } else {
        m_trigger_out->setChecked(false);
    }
    guard(m_trigger_out);
    QString text;
    if (present) {
        m_tx_manager->get_trigger_out_pin(&text, m_instance);
        m_out_pin->setText(text);
    }
    fill_instance_choice(m_out_instance, m_out_instance_check);
    if (present) {
        m_tx_manager->get_trigger_out_instance(&text, m_instance);
        const int index = m_out_instance->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        // A destination that no longer exists still shows, as text that cannot be edited.
        m_out_instance->setEditable(index < 0);
        m_out_instance->setCurrentIndex(index);
        if (index < 0) {
            m_out_instance->lineEdit()->setReadOnly(true);
            m_out_instance->setEditText(text);
        }
    }
    text.clear();
    if (present)
        m_tx_manager->get_trigger_out_instance_tooltip(&text, m_instance);
    m_out_instance->setToolTip(text);
    select_if(m_tx_manager->get_trigger_out_eps_event_index(&text, m_instance), m_out_eps_event, text);
    if (present) {
        m_tx_manager->get_trigger_out_condition(&text, m_instance);
        select(m_level, text);
    }
    if (m_tx_manager->get_trigger_out_latency_delay(&text, m_instance))
        m_latency_delay->setText(text);
}

void VOKR_CONFIG_WIDGET::configure_allocation_widgets()
{
    const bool present = has_instance();
    m_trigger_nodes->setMinimum(present ? m_tx_manager->get_trigger_nodes_used(-1) : 0);
    m_sq_nodes->setMinimum(present ? m_tx_manager->get_storage_qualifier_nodes_used(-1) : 0);
    m_data_nodes->setMinimum(present ? m_tx_manager->get_data_nodes_used(-1) : 0);
    struct KIND {
        QRadioButton* automatic;
        QRadioButton* manual;
        QSpinBox* spin;
        int manual_count;
        int used;
    };
    const KIND kinds[] = {
        {m_data_auto, m_data_manual, m_data_nodes, present ? m_tx_manager->get_data_nodes_allocated(m_instance) : 0,
         present ? m_tx_manager->get_data_nodes_used(-1) : 0},
        {m_trigger_auto, m_trigger_manual, m_trigger_nodes,
         present ? m_tx_manager->get_trigger_nodes_allocated(m_instance) : 0,
         present ? m_tx_manager->get_trigger_nodes_used(-1) : 0},
        {m_sq_auto, m_sq_manual, m_sq_nodes,
         present ? m_tx_manager->get_storage_qualifier_nodes_allocated(m_instance) : 0,
         present ? m_tx_manager->get_storage_qualifier_nodes_used(-1) : 0}};
    for (const KIND& kind : kinds) {
        const bool manual = kind.manual_count != 0;
        kind.manual->setChecked(manual);
        kind.automatic->setChecked(!manual);
        kind.spin->setEnabled(manual);
        if (manual)
            guard(kind.spin);
        kind.spin->setValue(manual ? kind.manual_count : kind.used);
    }
    for (QRadioButton* radio : {m_data_manual, m_data_auto, m_trigger_manual, m_trigger_auto, m_sq_manual, m_sq_auto})
        guard(radio);
    if (m_storage_type->currentText() == "Continuous") {
        m_sq_manual->setEnabled(false);
        m_sq_auto->setEnabled(false);
        m_sq_nodes->setEnabled(false);
    }
}

// The settings that stay editable in the power-up view show the power-up tint.
void VOKR_CONFIG_WIDGET::refresh_power_up_tint()
{
    QPalette palette = QApplication::palette();
    QString style;
    if (has_instance() && is_power_up_view()) {
        palette.setBrush(QPalette::All, QPalette::Base, vokr_light_blue_brush());
        style = "background-color: rgb(153, 204, 255);";
    }
    if (m_disable_sq->isEnabled())
        m_disable_sq->setPalette(palette);
    for (QComboBox* combo : {m_trigger_position, m_pattern, m_level}) {
        if (!combo->isEnabled())
            continue;
        combo->setPalette(palette);
        combo->view()->setStyleSheet(style);
    }
}
