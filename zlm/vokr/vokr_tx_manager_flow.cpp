// The manager's acquisition-wide trigger settings: storage qualifier, segments, trigger
// position, flow control, and trigger in and out.
#include "vokr_tx_manager.h"

#include "vokr_assert.h"
#include "vokr_msg.h"

#include <iterator>
#include <memory>

namespace {

const char* const SQ_TEXTS[] = {"Continuous", "Conditional", "Start/Stop", "Transitional", "State-based", "Input port"};
constexpr int SQ_TYPES = int(std::size(SQ_TEXTS));
const char* const STATE_BASED = "State-based";
const char* const SEQUENTIAL = "Sequential";
// The data and setup tabs, which come before the advanced levels' tabs.
constexpr int FIXED_TABS = 2;

KSM_DATA_STORAGE_QUALIFIER_TYPE storage_qualifier_of(const QString& text)
{
    for (int t = 0; t < SQ_TYPES; ++t)
        if (text == SQ_TEXTS[t])
            return static_cast<KSM_DATA_STORAGE_QUALIFIER_TYPE>(t);
    return KSM_SQTYPE_INVALID_TYPE;
}

// The post-fitting flag a chosen node is stored with: kept, post-fitting or pre-synthesis.
bool post_fitting_flag(VOKR_IS_POST_FITTING_TYPE kind, bool stored)
{
    return kind == VOKR_KEEP_NAME_KIND ? stored : kind == VOKR_POST_FITTING_NAME;
}

}  // namespace

// ---- storage qualifier --------------------------------------------------------------------------------------

QStringList VOKR_TX_MANAGER::storage_qualifier_labels()
{
    return QStringList(std::begin(SQ_TEXTS), std::end(SQ_TEXTS));
}

bool VOKR_TX_MANAGER::get_storage_qualifier_type(QString* text, int instance) const
{
    if (is_empty() || signal_set_at(instance)->get_sample_depth() == 0 || trigger_at(instance)->is_segmented())
        return false;
    const int type = trigger_at(instance)->get_storage_qualifier_type();
    VOKR_ASSERT_TEXT(type >= 0 && type < SQ_TYPES, "Unknown storage qualifier mode");
    *text = SQ_TEXTS[type];
    return true;
}

// The index of the "State-Based Trigger Flow" tab: after the data and setup tabs and one tab
// per advanced level or pattern.
int VOKR_TX_MANAGER::state_based_tab() const
{
    int advanced = 0;
    for (int level = FIRST_PATTERN_LEVEL; level < m_tx_trigger->get_num_levels(); ++level)
        advanced += is_advanced_trigger(level, -1) ? 1 : 0;
    return FIXED_TABS + advanced;
}

void VOKR_TX_MANAGER::set_storage_qualifier_type(const QString& text)
{
    if (is_sequential_mode(-1) && text == STATE_BASED) {
        vokr_prompt(vokr_msg_state_based_storage_qualifier_not_available());
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_CONFIG));
        return;
    }
    const KSM_DATA_STORAGE_QUALIFIER_TYPE mode = storage_qualifier_of(text);
    VOKR_ASSERT(mode != KSM_SQTYPE_INVALID_TYPE);
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    edit_setting(mode == trigger->get_storage_qualifier_type(), [&] {
        if (!trigger->set_storage_qualifier_type(mode))
            return;
        if (mode == KSM_SQTYPE_STATE_BASED)
            set_int_state(-1, "active tab", state_based_tab());
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_TABS | VOKR_HINT_VIEW));
        update_modified_flag();
    });
}

bool VOKR_TX_MANAGER::get_storage_qualifier_input_port(QString* name, bool* post_fitting, int instance) const
{
    *name = QString();
    *post_fitting = false;
    if (is_empty())
        return false;
    *name = QString::fromLocal8Bit(trigger_at(instance)->get_storage_qualifier_input_port(post_fitting));
    return true;
}

void VOKR_TX_MANAGER::set_storage_qualifier_input_port(const QString& name)
{
    set_storage_qualifier_input_port(name, VOKR_KEEP_NAME_KIND);
}

void VOKR_TX_MANAGER::set_storage_qualifier_input_port(const QString& name, VOKR_IS_POST_FITTING_TYPE kind)
{
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    bool stored = false;
    const QByteArray current = trigger->get_storage_qualifier_input_port(&stored);
    const bool post_fitting = post_fitting_flag(kind, stored);
    const QByteArray bytes = name.toLocal8Bit();
    edit_setting(bytes == current && post_fitting == stored, [&] {
        const bool set = trigger->set_storage_qualifier_input_port(bytes.constData(), post_fitting);
        const bool cleared = trigger->clear_storage_qualifier_input_port_mark(false);
        note_change(set || cleared);
    });
}

void VOKR_TX_MANAGER::browse_storage_qualifier_input_port()
{
    if (browse_node(NODE_TYPE_INPUT, &VOKR_TX_MANAGER::set_storage_qualifier_input_port))
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_CONFIG));
}

void VOKR_TX_MANAGER::disable_storage_qualifier(bool disabled)
{
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    edit_setting(disabled == trigger->is_storage_qualifier_disabled(), [&] {
        if (trigger->set_storage_qualifier_disabled(disabled)) {
            update_modified_flag();
            emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH_VIEW));
        }
    });
}

bool VOKR_TX_MANAGER::is_disable_storage_qualifier_enabled(int instance) const
{
    return !is_empty() && trigger_at(instance)->is_storage_qualifier_disabled();
}

void VOKR_TX_MANAGER::enable_data_discontinuities(bool record)
{
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    edit_setting(record == trigger->is_record_data_discontinuities(),
                 [&] { note_change(trigger->set_record_data_discontinuities(record)); });
}

bool VOKR_TX_MANAGER::is_record_data_discontinuities_enabled(int instance) const
{
    return !is_empty() && trigger_at(instance)->is_record_data_discontinuities();
}

// ---- segments and position ------------------------------------------------------------------------------------

void VOKR_TX_MANAGER::set_segmented_acquisition_mode(bool segmented)
{
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    edit_setting(segmented == trigger->is_segmented(), [&] {
        if (trigger->set_segmented(segmented)) {
            // The segment list shows its first entry, two segments, while no size of its own is
            // stored: switching on stores that entry, in the same undo unit.
            const int depth = signal_set_at(-1)->get_sample_depth();
            if (segmented && !is_listed_segment_size(depth, trigger->get_segment_size()) && depth >= 2)
                trigger->set_segment_size(depth / 2);
            emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_TABS | VOKR_HINT_VIEW));
            update_modified_flag();
        }
    });
}

bool VOKR_TX_MANAGER::is_listed_segment_size(int depth, int size)
{
    const int count = size > 0 ? depth / size : 0;
    return count >= 2 && depth % size == 0 && (count & (count - 1)) == 0;
}

bool VOKR_TX_MANAGER::is_segmented_acquisition_enabled(int instance) const
{
    return !is_empty() && trigger_at(instance)->is_segmented();
}

bool VOKR_TX_MANAGER::is_segmented_acquisition_trigger(int level) const
{
    return !is_empty() && m_tx_trigger->is_segmented() && level + 1 == m_tx_trigger->get_num_levels();
}

bool VOKR_TX_MANAGER::is_segmented_trigger_position_enabled() const
{
    return m_tx_instance && m_tx_instance->is_current_version();
}

bool VOKR_TX_MANAGER::get_trigger_position(QString* text, int instance) const
{
    if (is_empty()) {
        *text = "Pre";
        return false;
    }
    *text = convert_to_trigger_position_str(trigger_at(instance)->get_trigger_position());
    return true;
}

bool VOKR_TX_MANAGER::get_trigger_position(int* sample, int index) const
{
    *sample = 0;
    if (!m_data_log)
        return false;
    const int position = m_data_log->get_data_trigger_position(index);
    if (position < 0)
        return false;
    *sample = position;
    return true;
}

void VOKR_TX_MANAGER::set_trigger_position(const QString& text)
{
    if (text.isEmpty())
        return;
    const KSM_DATA_TRIGGER_POSITION position = convert_to_trigger_position_type(text);
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    edit_setting(position == trigger->get_trigger_position(),
                 [&] { note_change(trigger->set_trigger_position(position)); });
}

// ---- flow control ---------------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::get_trigger_flow_control(QString* text, int instance) const
{
    if (is_empty()) {
        *text = SEQUENTIAL;
        return false;
    }
    *text = trigger_at(instance)->is_state_based() ? STATE_BASED : SEQUENTIAL;
    return true;
}

bool VOKR_TX_MANAGER::is_sequential_mode(int instance) const
{
    return is_empty() || !trigger_at(instance)->is_state_based();
}

void VOKR_TX_MANAGER::set_trigger_flow_control(const QString& text)
{
    VOKR_ASSERT(this->m_tx_trigger != NULL);
    const bool state_based = text == STATE_BASED;
    edit_setting(state_based == m_tx_trigger->is_state_based(), [&] {
        m_tx_trigger->set_state_based(state_based);
        if (state_based)
            set_int_state(-1, "active tab", state_based_tab());
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_TABS | VOKR_HINT_VIEW));
        update_modified_flag();
    });
}

// ---- trigger in ------------------------------------------------------------------------------------------------

KSM_TX_TRIGGER_IN_INTERFACE* VOKR_TX_MANAGER::trigger_in_at(int instance) const
{
    KSM_TX_TRIGGER_IN_INTERFACE* return_value = trigger_at(instance)->get_trigger_in();
    VOKR_ASSERT(return_value);
    return return_value;
}

KSM_TX_TRIGGER_OUT_INTERFACE* VOKR_TX_MANAGER::trigger_out_at(int instance) const
{
    KSM_TX_TRIGGER_OUT_INTERFACE* return_value = trigger_at(instance)->get_trigger_out();
    VOKR_ASSERT(return_value);
    return return_value;
}

bool VOKR_TX_MANAGER::is_trigger_in_enabled(int instance) const
{
    return !is_empty() && trigger_in_at(instance)->is_enabled();
}

KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE VOKR_TX_MANAGER::get_trigger_in_source(int instance) const
{
    return is_empty() ? KSM_IOTYPE_NO_INSTANCE : trigger_in_at(instance)->get_source();
}

namespace {

// A name of an interface for a getter: empty and false without an instance.
bool name_of(bool empty, QString* out, const char* name)
{
    *out = empty ? QString() : QString::fromLocal8Bit(name);
    return !empty;
}

// The condition of trigger in or out as text; "Disabled" and false without an instance (no port).
template <class PORT> bool condition_text(const PORT* port, QString* text)
{
    if (!port) {
        *text = "Disabled";
        return false;
    }
    const char* condition = VOKR_TX_MANAGER::convert_to_trigger_condition_str(port->get_condition());
    *text = condition ? condition : "";
    return true;
}

}  // namespace

// Edits of trigger in and out: one undo unit each, none when the value is unchanged.

template <class PORT> void VOKR_TX_MANAGER::edit_port_enabled(PORT* port, bool enable)
{
    edit_setting(enable == port->is_enabled(), [&] {
        port->set_enabled(enable);
        update_modified_flag();
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_CONFIG));
    });
}

// An empty name changes nothing.
template <class PORT>
void VOKR_TX_MANAGER::edit_port_name(PORT* port, const char* (PORT::*get)() const, bool (PORT::*set)(const char*),
                                     const QString& name)
{
    const QByteArray bytes = name.toLocal8Bit();
    edit_setting(name.isEmpty() || bytes == (port->*get)(), [&] {
        (port->*set)(bytes.constData());
        update_modified_flag();
    });
}

template <class PORT> void VOKR_TX_MANAGER::edit_port_condition(PORT* port, const QString& text)
{
    const KSM_DATA_TRIGGER_CONDITION condition = convert_to_trigger_condition_type(text);
    edit_setting(condition == port->get_condition(), [&] {
        port->set_condition(condition);
        update_modified_flag();
    });
}

bool VOKR_TX_MANAGER::get_trigger_in_pin_name(QString* name, int instance) const
{
    return name_of(is_empty(), name, is_empty() ? "" : trigger_in_at(instance)->get_pin_name());
}

bool VOKR_TX_MANAGER::get_trigger_in_node_name(QString* name, int instance) const
{
    return name_of(is_empty(), name, is_empty() ? "" : trigger_in_at(instance)->get_node_name());
}

bool VOKR_TX_MANAGER::is_trigger_in_node_post_fitting(int instance) const
{
    return !is_empty() && trigger_in_at(instance)->is_node_post_fitting();
}

bool VOKR_TX_MANAGER::is_trigger_in_node_valid(int instance) const
{
    return !is_empty() && trigger_in_at(instance)->is_node_valid();
}

bool VOKR_TX_MANAGER::get_trigger_in_instance_name(QString* name, int instance) const
{
    return name_of(is_empty(), name, is_empty() ? "" : trigger_in_at(instance)->get_instance_name());
}

bool VOKR_TX_MANAGER::get_trigger_in_condition(QString* text, int instance) const
{
    return condition_text(is_empty() ? nullptr : trigger_in_at(instance), text);
}

void VOKR_TX_MANAGER::enable_trigger_in(bool enable) { edit_port_enabled(trigger_in_at(-1), enable); }

bool VOKR_TX_MANAGER::set_trigger_in_source(KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE kind, int instance)
{
    KSM_TX_TRIGGER_IN_INTERFACE* in = trigger_in_at(instance);
    in->set_source(kind);
    if (kind == KSM_IOTYPE_INSTANCE && !*in->get_instance_name()) {
        const QStringList others = get_trigger_instance_list(instance);
        if (!others.isEmpty())
            in->set_instance_name(others.first().toLocal8Bit().constData());
    }
    return true;
}

void VOKR_TX_MANAGER::set_trigger_in_source(int kind)
{
    edit_setting(false, [&] {
        set_trigger_in_source(static_cast<KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE>(kind), -1);
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_CONFIG));
    });
}

void VOKR_TX_MANAGER::set_trigger_in_pin(const QString& name)
{
    using PORT = KSM_TX_TRIGGER_IN_INTERFACE;
    edit_port_name(trigger_in_at(-1), &PORT::get_pin_name, &PORT::set_pin_name, name);
}

void VOKR_TX_MANAGER::set_trigger_in_instance(const QString& name)
{
    using PORT = KSM_TX_TRIGGER_IN_INTERFACE;
    edit_port_name(trigger_in_at(-1), &PORT::get_instance_name, &PORT::set_instance_name, name);
}

void VOKR_TX_MANAGER::set_trigger_in_condition(const QString& text)
{
    if (!text.isEmpty())
        edit_port_condition(trigger_in_at(-1), text);
}

void VOKR_TX_MANAGER::set_trigger_in_node(const QString& name) { set_trigger_in_node(name, VOKR_KEEP_NAME_KIND); }

void VOKR_TX_MANAGER::set_trigger_in_node(const QString& name, VOKR_IS_POST_FITTING_TYPE kind)
{
    KSM_TX_TRIGGER_IN_INTERFACE* in = trigger_in_at(-1);
    const bool post_fitting = post_fitting_flag(kind, in->is_node_post_fitting());
    const QByteArray bytes = name.toLocal8Bit();
    edit_setting(bytes == in->get_node_name() && post_fitting == in->is_node_post_fitting(), [&] {
        in->set_node_post_fitting(post_fitting);
        in->set_node_name(bytes.constData());
        in->set_node_valid(true);
        update_modified_flag();
    });
}

void VOKR_TX_MANAGER::browse_trigger_in()
{
    if (browse_node(NODE_TYPE_INPUT, &VOKR_TX_MANAGER::set_trigger_in_node))
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_CONFIG));
}

QStringList VOKR_TX_MANAGER::get_trigger_instance_list(int instance) const
{
    QStringList names;
    const QByteArray own = get_instance_at(instance)->get_name();
    for (int i = 0; !is_empty() && i < m_tx_session->get_num_instances(); ++i) {
        if (m_tx_session->is_power_up_view(i))
            continue;
        const QByteArray name = m_tx_session->get_instance_name_at(i);
        if (name != own)
            names << QString::fromLocal8Bit(name);
    }
    return names;
}

// ---- trigger out -----------------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::is_trigger_out_enabled(int instance) const
{
    return !is_empty() && trigger_out_at(instance)->is_enabled();
}

bool VOKR_TX_MANAGER::is_trigger_out_pin_selected(int instance) const
{
    return !is_empty() && trigger_out_at(instance)->is_selected(KSM_IOTYPE_PIN);
}

bool VOKR_TX_MANAGER::is_trigger_out_instance_selected(int instance) const
{
    return !is_empty() && trigger_out_at(instance)->is_selected(KSM_IOTYPE_INSTANCE);
}

bool VOKR_TX_MANAGER::is_trigger_out_eps_trigger_in_selected(int instance) const
{
    return !is_empty() && trigger_out_at(instance)->is_selected(KSM_IOTYPE_EPS_TRIGGER_IN);
}

bool VOKR_TX_MANAGER::is_trigger_out_eps_event_index_selected(int instance) const
{
    return !is_empty() && trigger_out_at(instance)->is_selected(KSM_IOTYPE_EPS_EVENT);
}

bool VOKR_TX_MANAGER::get_trigger_out_pin(QString* name, int instance) const
{
    return name_of(is_empty(), name, is_empty() ? "" : trigger_out_at(instance)->get_pin_name());
}

bool VOKR_TX_MANAGER::get_trigger_out_instance(QString* name, int instance) const
{
    return name_of(is_empty(), name, is_empty() ? "" : trigger_out_at(instance)->get_instance_name());
}

bool VOKR_TX_MANAGER::get_trigger_out_instance_tooltip(QString* text, int instance) const
{
    return name_of(is_empty(), text, is_empty() ? "" : trigger_out_at(instance)->get_instance_tooltip());
}

bool VOKR_TX_MANAGER::get_trigger_out_eps_event_index(QString* text, int instance) const
{
    *text = is_empty() ? QString() : QString::number(trigger_out_at(instance)->get_eps_event_index());
    return !is_empty();
}

bool VOKR_TX_MANAGER::get_trigger_out_condition(QString* text, int instance) const
{
    return condition_text(is_empty() ? nullptr : trigger_out_at(instance), text);
}

bool VOKR_TX_MANAGER::get_trigger_out_latency_delay(QString* text, int instance) const
{
    *text = QString();
    KSM_TX_TRIGGER* trigger = is_empty() ? nullptr : trigger_at(instance);
    KSM_DATA_TRIGGER* data = trigger ? trigger->get_data_trigger() : nullptr;
    if (!data)
        return false;
    const int latency = data->get_trigger_out_latency();
    *text = latency >= 0 ? QString("%1 cycles").arg(latency) : QString("Unknown");
    return true;
}

void VOKR_TX_MANAGER::enable_trigger_out(bool enable) { edit_port_enabled(trigger_out_at(-1), enable); }

void VOKR_TX_MANAGER::set_trigger_out_pin(const QString& name)
{
    using PORT = KSM_TX_TRIGGER_OUT_INTERFACE;
    edit_port_name(trigger_out_at(-1), &PORT::get_pin_name, &PORT::set_pin_name, name);
}

void VOKR_TX_MANAGER::set_trigger_out_instance(const QString& name)
{
    using PORT = KSM_TX_TRIGGER_OUT_INTERFACE;
    edit_port_name(trigger_out_at(-1), &PORT::get_instance_name, &PORT::set_instance_name, name);
}

void VOKR_TX_MANAGER::set_trigger_out_eps_event_index(const QString& text)
{
    KSM_TX_TRIGGER_OUT_INTERFACE* out = trigger_out_at(-1);
    const int index = text.toInt();
    edit_setting(text.isEmpty() || index == out->get_eps_event_index(), [&] {
        out->set_eps_event_index(index);
        update_modified_flag();
    });
}

void VOKR_TX_MANAGER::set_trigger_out_condition(const QString& text)
{
    if (!text.isEmpty())
        edit_port_condition(trigger_out_at(-1), text);
}

namespace {

// One destination of trigger out switched on or off, with the hint the panel needs (or none).
template <class FILL>
void select_destination(VOKR_TX_MANAGER* manager, KSM_TX_TRIGGER_OUT_INTERFACE* out,
                        KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE kind, bool selected, bool hint, FILL fill)
{
    out->set_selected(kind, selected);
    fill();
    manager->update_modified_flag();
    if (hint)
        manager->update_all_views(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_CONFIG));
}

}  // namespace

void VOKR_TX_MANAGER::set_trigger_out_pin_selected(bool selected)
{
    KSM_TX_TRIGGER_OUT_INTERFACE* out = trigger_out_at(-1);
    edit_setting(selected == out->is_selected(KSM_IOTYPE_PIN),
                 [&] { select_destination(this, out, KSM_IOTYPE_PIN, selected, true, [] {}); });
}

void VOKR_TX_MANAGER::set_trigger_out_instance_selected(bool selected)
{
    KSM_TX_TRIGGER_OUT_INTERFACE* out = trigger_out_at(-1);
    edit_setting(selected == out->is_selected(KSM_IOTYPE_INSTANCE), [&] {
        select_destination(this, out, KSM_IOTYPE_INSTANCE, selected, true, [&] {
            const QStringList others = get_trigger_instance_list(-1);
            if (selected && !*out->get_instance_name() && !others.isEmpty())
                out->set_instance_name(others.first().toLocal8Bit().constData());
        });
    });
}

void VOKR_TX_MANAGER::set_trigger_out_eps_trigger_in_selected(bool selected)
{
    KSM_TX_TRIGGER_OUT_INTERFACE* out = trigger_out_at(-1);
    edit_setting(selected == out->is_selected(KSM_IOTYPE_EPS_TRIGGER_IN),
                 [&] { select_destination(this, out, KSM_IOTYPE_EPS_TRIGGER_IN, selected, false, [] {}); });
}

void VOKR_TX_MANAGER::set_trigger_out_eps_event_selected(bool selected)
{
    KSM_TX_TRIGGER_OUT_INTERFACE* out = trigger_out_at(-1);
    edit_setting(selected == out->is_selected(KSM_IOTYPE_EPS_EVENT),
                 [&] { select_destination(this, out, KSM_IOTYPE_EPS_EVENT, selected, true, [] {}); });
}
