// The manager's node rows: the row query and tree queries the views read, and the node-list
// edits they make.
#include "vokr_tx_manager.h"

#include "vokr_node.h"

#include "toz.h"
#include "vokr_assert.h"

#include <QString>

#include <string>

// ---- lists ------------------------------------------------------------------------------------------------

// The current node list: the data list in list-view mode or while the Data tab is shown, the
// trigger list otherwise.
KSM_TX_SIGNAL_NODES* VOKR_TX_MANAGER::get_nodes(int instance) const
{
    if (m_list_view_mode || is_data_mode(instance))
        return signal_set_at(instance);
    return trigger_at(instance);
}

const char* VOKR_TX_MANAGER::get_signal_set() const { return m_tx_signals ? m_tx_signals->get_name() : nullptr; }

int VOKR_TX_MANAGER::get_num_signal_sets(int instance) const
{
    return is_empty() ? 0 : get_instance_at(instance)->get_num_signal_sets();
}

const char* VOKR_TX_MANAGER::get_signal_set_name_at(int instance, int set, bool* expanded) const
{
    KSM_TX_SIGNAL_SET* s = get_instance_at(instance)->get_signal_set(set);
    VOKR_ASSERT(s != NULL);
    if (expanded)
        *expanded = s->is_expanded();
    return s->get_name();
}

void VOKR_TX_MANAGER::get_signals_names(QString* text, const char* instance_name, const char* signal_set_name) const
{
    KSM_DATA_INSTANCE* instance =
        m_tx_session ? m_tx_session->get_data_session()->find_instance(instance_name) : nullptr;
    KSM_DATA_SIGNAL_SET* set = instance ? instance->find_signal_set(signal_set_name) : nullptr;
    if (!set)
        return;
    std::string form;
    set->append_text_form(&form);
    *text += QString::fromLocal8Bit(form.c_str());
}

// ---- the row query -----------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::get_node(int index, KSM_DATA_NODE_DISPLAY_TYPE* display_type, QString* name,
                               KSM_DATA_SIGNAL_TYPE* signal_type, QString* alias, QString* debug_port,
                               bool* data_enabled, bool* trigger_enabled, int level,
                               KSM_DATA_TRIGGER_CONDITION* condition)
{
    KSM_TX_SIGNAL_NODES* list = current_list();
    if (display_type)
        *display_type = list->get_display_type(index);
    if (name)
        *name = QString::fromLocal8Bit(list->get_node_name(index));
    if (signal_type)
        *signal_type = list->get_signal_type(index);
    if (alias)
        *alias = QString::fromLocal8Bit(list->get_node_alias(index));
    if (debug_port)
        *debug_port = list->has_debug_port(index) ? QString::fromLocal8Bit(list->get_debug_port(index)) : QString();
    const KSM_DATA_WIRE_CAPTURE_TYPE use = list->get_node_use(index);
    if (data_enabled)
        *data_enabled = use == KSM_CAPTURE_DATA || use == KSM_CAPTURE_BOTH;
    if (trigger_enabled)
        *trigger_enabled = use == KSM_CAPTURE_TRIGGER || use == KSM_CAPTURE_BOTH;
    if (condition && level >= FIRST_PATTERN_LEVEL) {
        KSM_TX_TRIGGER* trigger = trigger_at(-1);
        if (level >= trigger->get_num_levels())
            return true;
        if (is_advanced_trigger(level, -1) && trigger->get_tap_mode(index) == KSM_TAP_PRE_SYNTHESIS)
            *condition = ADVANCED_LEVEL_CONDITION;
        else if (level < 0)
            *condition = trigger->get_pattern_condition(index, level + KSM_NUM_PATTERNS);
        else
            *condition = trigger->get_trigger_condition(index, level);
    }
    return true;
}

bool VOKR_TX_MANAGER::get_node_alias(int index, QString* alias)
{
    *alias = QString::fromLocal8Bit(current_list()->get_node_alias(index));
    return true;
}

KSM_DATA_WIRE_CAPTURE_TYPE VOKR_TX_MANAGER::get_node_capture_type(int index)
{
    return trigger_at(-1)->get_node_use(index);
}

int VOKR_TX_MANAGER::get_node_count(int instance) { return is_empty() ? 0 : get_nodes(instance)->get_num_nodes(); }

int VOKR_TX_MANAGER::get_trigger_node_count(int instance)
{
    return is_empty() ? 0 : trigger_at(instance)->get_num_nodes();
}

int VOKR_TX_MANAGER::get_node_depth(int index) { return current_list()->get_depth(index); }

bool VOKR_TX_MANAGER::get_node_group_display_type(int index, KSM_DATA_GROUP_DISPLAY_TYPE* type, int instance)
{
    KSM_TX_SIGNAL_NODES* list = instance == -1 ? current_list() : trigger_at(instance);
    *type = list->get_group_display_type(index);
    return *type != KSM_GTYPE_INVALID;
}

bool VOKR_TX_MANAGER::get_node_lsb_to_msb(int index, bool* lsb_first, int instance)
{
    KSM_TX_SIGNAL_NODES* list = instance == -1 ? current_list() : trigger_at(instance);
    *lsb_first = list->get_lsb_to_msb(index);
    return true;
}

bool VOKR_TX_MANAGER::get_node_selection_status(int index) { return current_list()->is_selected(index); }

KSM_DATA_WIRE_TAP_MODE VOKR_TX_MANAGER::get_node_tap_mode(int index, int instance)
{
    return trigger_at(instance)->get_tap_mode(index);
}

// ---- tree queries -------------------------------------------------------------------------------------------

int VOKR_TX_MANAGER::get_parent_index(int index, int other) { return current_list()->get_parent_index(index, other); }
int VOKR_TX_MANAGER::get_last_child_index(int index) { return current_list()->get_last_child_index(index); }
int VOKR_TX_MANAGER::get_num_leaf_children(int index) { return current_list()->get_num_leaf_children(index); }
bool VOKR_TX_MANAGER::has_children(int index) { return current_list()->has_children(index); }
bool VOKR_TX_MANAGER::has_parent(int index) { return current_list()->has_parent(index); }
bool VOKR_TX_MANAGER::has_nested_groups() { return current_list()->has_nested_groups(); }
bool VOKR_TX_MANAGER::is_descendant(int ancestor, int index) { return current_list()->is_descendant(ancestor, index); }
bool VOKR_TX_MANAGER::is_grandparent(int index) { return current_list()->is_grandparent(index); }
bool VOKR_TX_MANAGER::is_last_child(int index) { return current_list()->is_last_child(index); }
bool VOKR_TX_MANAGER::is_parent_visible(int index) { return current_list()->is_parent_visible(index); }
bool VOKR_TX_MANAGER::is_any_parent_not_visible(int index) { return current_list()->is_any_parent_not_visible(index); }
bool VOKR_TX_MANAGER::is_group_member_node(int index) { return current_list()->is_group_member_node(index); }
bool VOKR_TX_MANAGER::is_node_expanded(int index) { return current_list()->is_expanded(index); }
bool VOKR_TX_MANAGER::is_node_data_tab_only(int index) { return current_list()->is_data_tab_only(index); }

void VOKR_TX_MANAGER::get_direct_children(int index, std::vector<int>* rows)
{
    current_list()->get_direct_children(index, rows);
}

bool VOKR_TX_MANAGER::is_invalid_index_for_drop(int index, bool into_group)
{
    return current_list()->is_invalid_index_for_drop(index, into_group);
}

bool VOKR_TX_MANAGER::is_valid_selection_for_grouping() { return current_list()->is_valid_selection_for_grouping(); }

void VOKR_TX_MANAGER::get_all_descendants(int index, std::vector<int>* rows)
{
    if (!rows)
        return;
    KSM_TX_SIGNAL_NODES* list = current_list();
    for (int r = 0; r < list->get_num_nodes(); ++r)
        if (list->is_descendant(index, r))
            rows->push_back(r);
}

int VOKR_TX_MANAGER::get_child_item_count(int index, int instance)
{
    if (!is_parent_item(index, instance))
        return 0;
    const int rows = get_nodes(instance)->get_num_nodes();
    int count = 0;
    for (int r = index + 1; r < rows && is_child_item(r, instance); ++r)
        ++count;
    return count;
}

bool VOKR_TX_MANAGER::is_standalone_node(int index)
{
    return current_list()->get_display_type(index) == KSM_NTYPE_NODE;
}

bool VOKR_TX_MANAGER::is_group_node(int index)
{
    if (is_empty())
        return false;
    const KSM_DATA_NODE_DISPLAY_TYPE t = current_list()->get_display_type(index);
    return t == KSM_NTYPE_GROUP_EXPANDED || t == KSM_NTYPE_GROUP_COLLAPSED;
}

// A row is hidden in the storage-qualifier and advanced views when its flag is off, unless it
// is a group whose rows disagree. Index -1 asks whether every row of a non-empty list is hidden.
bool VOKR_TX_MANAGER::is_hidden(int index, bool (*hidden_row)(VOKR_TX_MANAGER*, KSM_TX_SIGNAL_NODES*, int))
{
    KSM_TX_SIGNAL_NODES* list = current_list();
    if (index >= 0)
        return hidden_row(this, list, index);
    const int rows = list->get_num_nodes();
    for (int row = 0; row < rows; ++row)
        if (!hidden_row(this, list, row))
            return false;
    return rows > 0;
}

bool VOKR_TX_MANAGER::is_node_hidden_in_storage_qualifier_mode(int index)
{
    return is_hidden(index, [](VOKR_TX_MANAGER* manager, KSM_TX_SIGNAL_NODES* list, int row) {
        bool mixed = false;
        return !VOKR_NODE(manager, list, row).is_storage_enabled(&mixed) && !mixed;
    });
}

bool VOKR_TX_MANAGER::is_node_hidden_in_advanced_mode(int index)
{
    return is_hidden(index, [](VOKR_TX_MANAGER* manager, KSM_TX_SIGNAL_NODES* list, int row) {
        bool mixed = false;
        return !VOKR_NODE(manager, list, row).is_trigger_enabled(&mixed, VOKR_NODE::PLAIN_TRIGGER_LEVEL) && !mixed;
    });
}

bool VOKR_TX_MANAGER::is_group_member(int index)
{
    const KSM_DATA_NODE_DISPLAY_TYPE t = current_list()->get_display_type(index);
    return t == KSM_NTYPE_MEMBER || t == KSM_NTYPE_LAST_MEMBER;
}

bool VOKR_TX_MANAGER::is_last_group_member(int index)
{
    return current_list()->get_display_type(index) == KSM_NTYPE_LAST_MEMBER;
}

bool VOKR_TX_MANAGER::is_first_group_member(int index)
{
    return current_list()->get_display_type(index) == KSM_NTYPE_MEMBER && index >= 1 && is_group_node(index - 1);
}

bool VOKR_TX_MANAGER::is_parent_item(int index, int instance)
{
    const KSM_DATA_NODE_DISPLAY_TYPE t = trigger_at(instance)->get_display_type(index);
    return t == KSM_NTYPE_GROUP_EXPANDED || t == KSM_NTYPE_GROUP_COLLAPSED;
}

bool VOKR_TX_MANAGER::is_child_item(int index, int instance)
{
    const KSM_DATA_NODE_DISPLAY_TYPE t = trigger_at(instance)->get_display_type(index);
    return t == KSM_NTYPE_MEMBER || t == KSM_NTYPE_LAST_MEMBER;
}

bool VOKR_TX_MANAGER::is_node_invalid(int index)
{
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    if (is_setup_mode())
        return trigger->is_invalid(index);
    const int row = trigger->find_node(signal_set_at(-1)->get_node_name(index));
    return row >= 0 && trigger->is_invalid(row);
}

bool VOKR_TX_MANAGER::has_invalid_nodes() const
{
    const KSM_TX_TRIGGER* trigger = m_tx_trigger;
    if (!trigger)
        return false;
    INVALID_NODES& known = m_invalid_known;
    const uint64_t stamp = trigger->get_rows_stamp();
    if (known.trigger == trigger && known.stamp == stamp)
        return known.any;
    known = {trigger, stamp, false};
    for (int row = 0, count = trigger->get_num_nodes(); row < count && !known.any; ++row)
        known.any = trigger->is_invalid(row);
    return known.any;
}

bool VOKR_TX_MANAGER::is_node_deletable(int index)
{
    if (!current_list()->can_delete_node(index) || !m_frame_wnd)
        return false;
    return is_data_mode(-1) || (m_lock_mode == VOKR_LOCK_MODE_INCREMENTAL_ROUTE &&
                                trigger_at(-1)->get_tap_mode(index) == KSM_TAP_PRE_SYNTHESIS);
}

// The signal type of a compiled name: the first type bit of its flags that is set, in this order
// (a signal type is the flag bit it stands for).
KSM_DATA_SIGNAL_TYPE VOKR_TX_MANAGER::get_type(unsigned int flags)
{
    static constexpr KSM_DATA_SIGNAL_TYPE ORDER[] = {KSM_STYPE_INPUT_PIN,  KSM_STYPE_OUTPUT_PIN,    KSM_STYPE_BIDIR_PIN,
                                                     KSM_STYPE_REGISTERED, KSM_STYPE_COMBINATORIAL, KSM_STYPE_MEMORY,
                                                     KSM_STYPE_MACHINE};
    for (KSM_DATA_SIGNAL_TYPE type : ORDER)
        if (flags & type)
            return type;
    return KSM_STYPE_NONE;
}

KSM_DATA_SIGNAL_TYPE VOKR_TX_MANAGER::get_type(const TOZ_INSTANCE_NAME* name)
{
    return name ? get_type(name->get_flags()) : KSM_STYPE_NONE;
}

// ---- editing ----------------------------------------------------------------------------------------------

int VOKR_TX_MANAGER::get_group_link_type()
{
    if (!m_cfg_link_groups)
        return 0;
    int bits = VOKR_LINK_GROUP;
    if (m_cfg_link_properties)
        bits |= VOKR_LINK_PROPERTIES;
    if (m_cfg_link_order)
        bits |= VOKR_LINK_ORDER;
    if (m_cfg_link_mnemonics)
        bits |= VOKR_LINK_MNEMONICS;
    return bits;
}

bool VOKR_TX_MANAGER::group_node(int first, int last)
{
    KSM_TX_SIGNAL_NODES* list = current_list();
    bool result = list->group_nodes(first, last);
    if (result && m_cfg_link_groups)
        result = list->set_link_type(first, get_group_link_type());
    update_modified_flag();
    if (result && has_at_least_one_basic_or_trigger_level())
        emit updated(nullptr, vokr_hint(VOKR_HINT_INSTANCES));
    return result;
}

bool VOKR_TX_MANAGER::group_selected_nodes()
{
    const bool result = current_list()->group_selected_nodes();
    if (result && has_at_least_one_basic_or_trigger_level())
        emit updated(nullptr, vokr_hint(VOKR_HINT_INSTANCES));
    return result;
}

bool VOKR_TX_MANAGER::ungroup_node(int index)
{
    const bool result = current_list()->ungroup_node(index);
    update_modified_flag();
    if (result && has_at_least_one_basic_or_trigger_level())
        emit updated(nullptr, vokr_hint(VOKR_HINT_INSTANCES));
    return result;
}

int VOKR_TX_MANAGER::move_before_node(int first, int last, int target, bool into_group)
{
    select_node_range(first, last, true);
    return modified_after(current_list()->move_nodes(first, last, target, into_group));
}

int VOKR_TX_MANAGER::move_selected_before_node(int target, bool into_group)
{
    return modified_after(current_list()->move_selected_nodes(target, into_group));
}

int VOKR_TX_MANAGER::copy_before_node(int first, int last, int target, bool into_group)
{
    return modified_after(current_list()->copy_nodes(first, last, target, into_group));
}

int VOKR_TX_MANAGER::copy_selected_before_node(int target, bool into_group)
{
    return modified_after(current_list()->copy_selected_nodes(target, into_group));
}

int VOKR_TX_MANAGER::delete_node(int first, int second)
{
    const int result = current_list()->delete_nodes(first, second);
    if (result != 0)
        update_modified_flag();
    return result;
}

bool VOKR_TX_MANAGER::delete_node(const char* name) { return note_change(current_list()->delete_node(name)); }

int VOKR_TX_MANAGER::delete_selected_nodes()
{
    const int result = current_list()->delete_selected_nodes();
    trigger_at(-1)->rebuild_after_undo();
    if (result != 0)
        update_modified_flag();
    return result;
}

void VOKR_TX_MANAGER::select_node_range(int first, int last, bool selected)
{
    KSM_TX_SIGNAL_NODES* list = current_list();
    for (int i = first; i <= last; ++i)
        list->set_selected(i, selected);
}

void VOKR_TX_MANAGER::set_node_selection_status(int index, bool selected)
{
    current_list()->set_selected(index, selected);
}

bool VOKR_TX_MANAGER::rename_node(int index, const QString& name)
{
    if (name.isEmpty() || !current_list()->rename_node(index, name.toLocal8Bit().constData()))
        return false;
    update_modified_flag();
    check_node_validity(-1);
    emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_STATUS | VOKR_HINT_INSTANCES | VOKR_HINT_HIERARCHY));
    return true;
}

bool VOKR_TX_MANAGER::rename_group(int index, const QString& name)
{
    if (name.isEmpty() || !current_list()->rename_group(index, name.toLocal8Bit().constData()))
        return false;
    update_modified_flag();
    emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_HIERARCHY));
    return true;
}

// An alias in use is offered again as "alias (1)", "alias (2)", ... until one is free; the
// numbering stops when the row does not exist, so it cannot go on without end.
bool VOKR_TX_MANAGER::set_node_alias(int index, const QString& alias)
{
    KSM_TX_SIGNAL_NODES* list = current_list();
    if (alias.isEmpty()) {
        return modified_after(list->set_node_alias(index, ""));
    }
    if (index < 0 || index >= list->get_num_nodes())
        return false;
    for (int n = 0; n <= list->get_num_nodes(); ++n) {
        const QString offered = n == 0 ? alias : QString("%1 (%2)").arg(alias).arg(n);
        if (list->set_node_alias(index, offered.toLocal8Bit().constData())) {
            update_modified_flag();
            return true;
        }
    }
    return false;
}

bool VOKR_TX_MANAGER::set_node_group_display_type(int index, KSM_DATA_GROUP_DISPLAY_TYPE type)
{
    return note_change(current_list()->set_group_display_type(index, type));
}

bool VOKR_TX_MANAGER::set_node_lsb_to_msb(int index, bool lsb_first)
{
    return note_change(current_list()->set_lsb_to_msb(index, lsb_first));
}

bool VOKR_TX_MANAGER::set_node_mnemonics_table_name(int index, const QString& table)
{
    return note_change(current_list()->set_mnemonics_table_name(index, table.toLocal8Bit().constData()));
}

bool VOKR_TX_MANAGER::set_node_mnemonics_symbol(int index, const QString& pattern, const QString& symbol)
{
    QString table_name;
    VOKR_ASSERT_TEXT(get_node_mnemonics_table_name(index, &table_name, nullptr),
                     "this->get_node_mnemonics_table_name(node_index, &table_name)");
    KSM_DATA_MNEMONICS_TABLE* table =
        m_tx_session->get_data_session()->get_mnemonics()->find_table(table_name.toLocal8Bit().constData());
    return table && table->add_entry(symbol.toLocal8Bit().constData(), pattern.toLocal8Bit().constData());
}

bool VOKR_TX_MANAGER::toggle_node(int index) { return modified_after(current_list()->toggle_node(index)); }

bool VOKR_TX_MANAGER::set_node_tap_mode(int index, KSM_DATA_WIRE_TAP_MODE mode)
{
    return note_change(trigger_at(-1)->set_tap_mode(index, mode));
}

bool VOKR_TX_MANAGER::toggle_node_tap_mode(int index)
{
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    const KSM_DATA_WIRE_TAP_MODE mode = trigger->get_tap_mode(index);
    if (mode != KSM_TAP_PRE_SYNTHESIS && mode != KSM_TAP_POST_FITTING)
        return false;
    const bool result =
        trigger->set_tap_mode(index, mode == KSM_TAP_PRE_SYNTHESIS ? KSM_TAP_POST_FITTING : KSM_TAP_PRE_SYNTHESIS);
    update_modified_flag();
    return result;
}

bool VOKR_TX_MANAGER::set_node_capture_type(int index, KSM_DATA_WIRE_CAPTURE_TYPE type)
{
    return note_change(trigger_at(-1)->set_node_use(index, type));
}

bool VOKR_TX_MANAGER::toggle_data(int index) { return toggle_capture(index, KSM_CAPTURE_DATA); }

// Switches one use of a row, data or trigger, and keeps the other; the repository spells
// "neither" as a value of its own.
bool VOKR_TX_MANAGER::toggle_capture(int index, KSM_DATA_WIRE_CAPTURE_TYPE use)
{
    const KSM_DATA_WIRE_CAPTURE_TYPE now = trigger_at(-1)->get_node_use(index);
    const bool one_or_both = now == KSM_CAPTURE_DATA || now == KSM_CAPTURE_TRIGGER || now == KSM_CAPTURE_BOTH;
    const int next = (one_or_both ? int(now) : 0) ^ int(use);
    return set_node_capture_type(index, next ? static_cast<KSM_DATA_WIRE_CAPTURE_TYPE>(next) : KSM_CAPTURE_NEITHER);
}

void VOKR_TX_MANAGER::sync_upon_capture_type_change()
{
    if (m_tx_trigger)
        m_tx_trigger->sync_upon_capture_type_change();
}

bool VOKR_TX_MANAGER::has_at_least_one_basic_or_trigger_level() const
{
    if (is_empty())
        return false;
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    for (int level = 0; level < trigger->get_num_levels(); ++level)
        if (trigger->get_level_type(level) == KSM_LTYPE_BASIC_OR)
            return true;
    switch (trigger->get_storage_qualifier_type()) {
    case KSM_SQTYPE_CONDITIONAL: return trigger->get_pattern_type(0) == KSM_LTYPE_BASIC_OR;
    case KSM_SQTYPE_START_STOP:
        return trigger->get_pattern_type(1) == KSM_LTYPE_BASIC_OR || trigger->get_pattern_type(2) == KSM_LTYPE_BASIC_OR;
    default: return false;
    }
}
