// Commands of the node list on the selected rows: enables, inversion, aliases, grouping, bus
// formats and bit order, trigger conditions and mnemonic values, comparisons and deletion. Each
// command changes the session through the manager inside one undo unit and then announces the
// change with a null sender.
#include "vokr_view.h"

#include "vokr_assert.h"
#include "vokr_node.h"
#include "vokr_tx_manager.h"
#include "vokr_undo_actions.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QMimeData>

namespace {

// The trigger condition of one pattern character; KSM_CTYPE_DISABLED for a character that sets none.
KSM_DATA_TRIGGER_CONDITION pattern_condition(QChar c)
{
    return c == 'X' ? KSM_CTYPE_DONT_CARE : vokr_letter_condition(c.toLatin1(), KSM_CTYPE_DISABLED);
}

}  // namespace

// ---- rows, selection and undo units ---------------------------------------------------------------------

bool VOKR_VIEW::is_bus_row(int node) const
{
    KSM_DATA_NODE_DISPLAY_TYPE type = KSM_NTYPE_NODE;
    m_tx_manager->get_node(node, &type, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, -4, nullptr);
    return type == KSM_NTYPE_GROUP_EXPANDED || type == KSM_NTYPE_GROUP_COLLAPSED;
}

bool VOKR_VIEW::is_bit_row(int node) const
{
    if (node < 0 || node >= get_node_count())
        return false;
    KSM_DATA_NODE_DISPLAY_TYPE type = KSM_NTYPE_NODE;
    m_tx_manager->get_node(node, &type, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, -4, nullptr);
    return type == KSM_NTYPE_MEMBER || type == KSM_NTYPE_LAST_MEMBER;
}

void VOKR_VIEW::for_each_selected(const std::function<void(int)>& visit)
{
    for (int i = 0, count = get_node_count(); i < count; ++i)
        if (m_tx_manager->get_node_selection_status(i))
            visit(i);
}

void VOKR_VIEW::begin_repository_action()
{
    KSM_TX_INSTANCE* instance = m_tx_manager->get_tx_instance();
    VOKR_ASSERT_TEXT(instance != nullptr, "pTxInstance != NULL");
    instance->begin_action();
}

// Closes the undo unit and updates Undo and Redo; the compilation status is not reported.
void VOKR_VIEW::end_repository_action() { m_tx_manager->end_action(VOKR_CHECK_NOTHING, -1); }

// Closed by the manager's end_action, which also reports the compilation status.
void VOKR_VIEW::begin_mixed_action() { begin_repository_action(); }

// ---- enables and inversion ------------------------------------------------------------------------------

void VOKR_VIEW::set_selected_flag(void (VOKR_NODE::*enable)(bool), bool value)
{
    if (!current_node_table())
        return;
    begin_repository_action();
    for_each_selected([&](int i) { (VOKR_NODE(m_tx_manager, current_node_table(), i).*enable)(value); });
    m_tx_manager->end_action(VOKR_CHECK_ALWAYS, -1);
    emit m_tx_manager->updated(nullptr, VOKR_HINT_REFRESH_VIEW);
}

void VOKR_VIEW::on_data_enable() { set_selected_flag(&VOKR_NODE::enable_data, true); }
void VOKR_VIEW::on_data_disable() { set_selected_flag(&VOKR_NODE::enable_data, false); }
void VOKR_VIEW::on_trigger_enable() { set_selected_flag(&VOKR_NODE::enable_trigger, true); }
void VOKR_VIEW::on_trigger_disable() { set_selected_flag(&VOKR_NODE::enable_trigger, false); }
void VOKR_VIEW::on_storage_enable() { set_selected_flag(&VOKR_NODE::enable_storage, true); }
void VOKR_VIEW::on_storage_disable() { set_selected_flag(&VOKR_NODE::enable_storage, false); }

// A selected bus changes through its own handle; its bit rows are passed over, selected or not.
void VOKR_VIEW::set_selected_transitions(bool value)
{
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    if (!list)
        return;
    begin_repository_action();
    for (int i = 0, count = get_node_count(); i < count; ++i) {
        if (!m_tx_manager->get_node_selection_status(i))
            continue;
        VOKR_NODE node(m_tx_manager, list, i);
        if (!is_bus_row(i)) {
            node.enable_transition(value);
            continue;
        }
        while (is_bit_row(i + 1)) {
            node.enable_transition(value);
            ++i;
        }
    }
    m_tx_manager->end_action(VOKR_CHECK_ALWAYS, -1);
    emit m_tx_manager->updated(nullptr, VOKR_HINT_REFRESH_VIEW);
}

void VOKR_VIEW::on_transition_enable() { set_selected_transitions(true); }
void VOKR_VIEW::on_transition_disable() { set_selected_transitions(false); }

// The selection is inverted as a whole: off when every node met before the first mixed one is
// fully inverted, else on. Which nodes are met depends on their order.
void VOKR_VIEW::on_invert_signal()
{
    if (!data_tab_shown() || !selection_exists())
        return;
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    bool any_inverted = false, mixed = false;
    for (int i = 0, count = get_node_count(); i < count && !mixed; ++i) {
        if (!m_tx_manager->get_node_selection_status(i))
            continue;
        bool partly = false;
        if (VOKR_NODE(m_tx_manager, list, i).is_signal_inverted(&partly)) {
            any_inverted = true;
            mixed = partly;
        } else {
            mixed = any_inverted;
        }
    }
    const bool inverted = !(any_inverted && !mixed);
    begin_repository_action();
    for_each_selected([&](int i) { VOKR_NODE(m_tx_manager, list, i).enable_signal_inversion(inverted); });
    end_repository_action();
    update();
}

// ---- aliases, names and grouping ------------------------------------------------------------------------

void VOKR_VIEW::on_node_paste_alias()
{
    const int node = get_single_selected_node();
    const QMimeData* data = QApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (node < 0 || !data || !data->hasText())
        return;
    begin_mixed_action();
    m_tx_manager->set_node_alias(node, data->text());
    m_tx_manager->end_action(VOKR_CHECK_NOTHING, -1);
    emit m_tx_manager->updated(nullptr, VOKR_HINT_REFRESH_VIEW);
}

void VOKR_VIEW::on_node_remove_alias()
{
    if (!current_node_table())
        return;
    begin_repository_action();
    for_each_selected([this](int i) { m_tx_manager->set_node_alias(i, ""); });
    end_repository_action();
    update();
}

void VOKR_VIEW::finish_ungroup(bool changed)
{
    end_repository_action();
    if (!changed)
        return;
    select_items(false);
    emit m_tx_manager->updated(nullptr, VOKR_HINT_REFRESH_VIEW);
}

void VOKR_VIEW::on_node_ungroup()
{
    if (!current_node_table() || !is_editable())
        return;
    begin_repository_action();
    bool changed = false;
    for (int i = get_node_count() - 1; i >= 0; --i)
        if (m_tx_manager->get_node_selection_status(i) && is_bus_row(i))
            changed = m_tx_manager->ungroup_node(i) || changed;
    finish_ungroup(changed);
}

// An ungrouped row is examined again, since its former children may hold groups themselves; a
// row that will not ungroup is passed, so that the walk always ends.
void VOKR_VIEW::on_node_ungroup_nested_groups()
{
    if (!current_node_table() || !is_editable())
        return;
    begin_repository_action();
    bool changed = false;
    for (int i = 0; i < get_node_count();) {
        if (m_tx_manager->is_grandparent(i) && m_tx_manager->ungroup_node(i))
            changed = true;
        else
            ++i;
    }
    finish_ungroup(changed);
}

void VOKR_VIEW::show_group_refusal(const QString& text)
{
    QMessageBox::warning(this, "Cannot group selected nodes", text);
}

void VOKR_VIEW::on_node_group()
{
    if (!selection_exists() || !m_tx_manager->get_tx_instance() || !is_editable())
        return;
    begin_repository_action();
    if (can_group_selected_nodes())
        m_tx_manager->group_selected_nodes();
    end_repository_action();
    select_items(false);
    emit m_tx_manager->updated(nullptr, VOKR_HINT_REFRESH_VIEW);
}

// ---- bus formats, bit order, conditions and mnemonic values -----------------------------------------------

void VOKR_VIEW::on_bus_display_format(QAction* action)
{
    begin_repository_action();
    const auto format = static_cast<KSM_DATA_GROUP_DISPLAY_TYPE>(action->data().toInt());
    VOKR_ASSERT_TEXT(format != KSM_GTYPE_INVALID, "id_type != KSM_GTYPE_INVALID");
    for_each_selected([&](int i) {
        if (!is_bus_row(i))
            return;
        m_tx_manager->set_node_group_display_type(i, format);
        if (format == KSM_GTYPE_MNEMONICS)
            m_tx_manager->set_node_mnemonics_table_name(i, action->text());
    });
    end_repository_action();
    emit m_tx_manager->updated(nullptr, VOKR_HINT_REFRESH_VIEW);
}

void VOKR_VIEW::on_bus_order(QAction* action)
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    const bool lsb_first = action == this->action(PIRQ_ACTION_LSB_ON_TOP);
    begin_repository_action();
    for_each_selected([&](int i) {
        if (is_bus_row(i))
            m_tx_manager->set_node_lsb_to_msb(i, lsb_first);
    });
    end_repository_action();
    emit m_tx_manager->updated(nullptr, VOKR_HINT_REFRESH_VIEW);
}

void VOKR_VIEW::on_trigger_condition(QAction* action)
{
    const auto condition = static_cast<KSM_DATA_TRIGGER_CONDITION>(action->data().toInt());
    begin_mixed_action();
    for_each_selected([&](int i) { m_tx_manager->set_trigger(i, m_current_level, condition, -1); });
    m_tx_manager->end_action(VOKR_CHECK_IN_POWER_UP_VIEW, -1);
    emit m_tx_manager->updated(nullptr, VOKR_HINT_REFRESH_VIEW);
}

void VOKR_VIEW::on_group_trigger_condition(QAction*) {}

// The pattern lines up with the bus's least significant bits: the bus row becomes Don't Care and
// each member row takes the condition of its character.
void VOKR_VIEW::on_mnemonic(QAction* action)
{
    const QString pattern = action->data().toString();
    VOKR_ASSERT_TEXT(!pattern.isEmpty(), "!pattern.isEmpty()");
    bool changed = false;
    for (int i = 0, count = get_node_count(); i < count; ++i) {
        if (!m_tx_manager->get_node_selection_status(i) || !is_bus_row(i))
            continue;
        const int width = get_group_member_count(i);
        bool lsb_first = false;
        VOKR_ASSERT_TEXT(m_tx_manager->get_node_lsb_to_msb(i, &lsb_first, -1), "get_node_lsb_to_msb");
        QString text = pattern;
        if (lsb_first)
            std::reverse(text.begin(), text.end());
        int skipped = 0;
        if (text.size() <= width)
            skipped = lsb_first ? 0 : width - text.size();
        else
            text = lsb_first ? text.left(width) : text.right(width);
        begin_mixed_action();
        m_tx_manager->set_trigger(i, m_current_level, KSM_CTYPE_DONT_CARE, -1);
        for (int k = 0, j = i + 1 + skipped; is_bit_row(j) && k < text.size(); ++k, ++j) {
            const KSM_DATA_TRIGGER_CONDITION condition = pattern_condition(text.at(k));
            if (condition == KSM_CTYPE_DISABLED)
                continue;
            m_tx_manager->set_trigger(j, m_current_level, condition, -1);
            changed = true;
        }
        m_tx_manager->end_action(VOKR_CHECK_IN_POWER_UP_VIEW, -1);
    }
    if (changed)
        emit m_tx_manager->updated(nullptr, VOKR_HINT_REFRESH_VIEW);
}

// ---- comparisons ----------------------------------------------------------------------------------------

bool VOKR_VIEW::is_valid_comparison(const COMPARISON& c) const
{
    return m_tx_manager->is_comparison_operand_condition(c.operand1) &&
           m_tx_manager->is_comparison_operand_condition(c.operand2) && c.operand1 != KSM_CTYPE_COMPARE_TRUE;
}

// Operands read from a session file may be anything: a stored pair that is no comparison starts
// the dialog from ">=" and "none" instead, and a returned pair that is none changes nothing.
void VOKR_VIEW::on_comparison_trigger()
{
    int node = -1;
    for (int i = 0, count = get_node_count(); i < count && node < 0; ++i)
        if (is_selected_bus(i))
            node = i;
    const int width = node < 0 ? 0 : get_group_member_count(node);
    if (width <= 0)
        return;
    const int level = m_current_level;
    COMPARISON c{m_tx_manager->get_comparison_operand(node, level, 1, -1),
                 m_tx_manager->get_comparison_operand(node, level, 2, -1),
                 m_tx_manager->get_comparison_value(node, level, 1, -1),
                 m_tx_manager->get_comparison_value(node, level, 2, -1)};
    if (!is_valid_comparison(c))
        c = {KSM_CTYPE_COMPARE_GREATER_THAN_OR_EQUAL_TO, KSM_CTYPE_COMPARE_TRUE, 0, 0};
    if (!ask_comparison(node, width, &c) || !is_valid_comparison(c))
        return;
    begin_mixed_action();
    m_tx_manager->set_comparison_trigger_enabled(node, level, true, -1);
    m_tx_manager->set_comparison_trigger_operand(node, level, 1, c.operand1, -1);
    m_tx_manager->set_comparison_trigger_operand(node, level, 2, c.operand2, -1);
    m_tx_manager->set_comparison_trigger_value(node, level, 1, c.value1, -1);
    m_tx_manager->set_comparison_trigger_value(node, level, 2, c.value2, -1);
    m_tx_manager->end_action(VOKR_CHECK_IN_POWER_UP_VIEW, -1);
}

// ---- deletion and plug-ins ------------------------------------------------------------------------------

void VOKR_VIEW::select_after_delete(int old)
{
    const int count = get_node_count();
    if (old < 0)
        select_items(false);
    else if (count > old)
        m_tx_manager->set_node_selection_status(old, true);
    else if (count > 0)
        m_tx_manager->set_node_selection_status(count - 1, true);
}

// The layout is recomputed whenever the unit is undone or redone. A plug-in bus loses no single
// member: the plug-in decodes its members as one.
void VOKR_VIEW::on_edit_delete()
{
    if (!hasFocus() || !on_update_edit_delete())
        return;
    begin_mixed_action();
    KSM_TX_INSTANCE* instance = m_tx_manager->get_tx_instance();
    instance->append_atomic_action(new KSM_TX_UNDO_ACTION_RESIZE_EVENT(this));
    exclude_plugin_bus_members();
    const int old = get_single_selected_node();
    m_tx_manager->delete_selected_nodes();
    instance->append_atomic_action(new KSM_TX_UNDO_ACTION_RESIZE_EVENT(this));
    m_tx_manager->end_action(VOKR_CHECK_ALWAYS, -1);
    select_after_delete(old);
    emit m_tx_manager->updated(nullptr, VOKR_HINT_REFRESH_NODE_PANES);
}

void VOKR_VIEW::on_plugin(QAction* action)
{
    if (!m_tx_manager->get_tx_instance())
        return;
    m_tx_manager->set_int_state(-1, "active tab", 1);
    emit m_tx_manager->updated(nullptr, VOKR_HINT_REFRESH_TABS);
    begin_mixed_action();
    m_tx_manager->open_plugin(action->text(), false);
    m_tx_manager->end_action(VOKR_CHECK_ALWAYS, -1);
    emit m_tx_manager->updated(nullptr, VOKR_HINT_REFRESH_VIEW);
}
