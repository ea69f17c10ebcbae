// The manager's advanced trigger levels: which level the advanced trigger editor shows and its
// boxes, the editor's modified state, and the condition for incrementally routed nodes, whose
// patterns and node list follow the post-fitting nodes of the node list.
#include "vokr_tx_manager.h"

#include "vokr_assert.h"
#include "vokr_msg.h"
#include "vokr_node.h"
#include "vokr_object.h"
#include "vokr_trigger_object.h"

#include <QStringList>
#include <QTabWidget>

#include <algorithm>

namespace {

constexpr const char* STATE_BASED_TAB = "State-Based Trigger Flow";

// The letter a node's condition adds to a routed-node pattern. The syntax library pairs letter i
// with node i, so a condition without a letter of its own (disabled, active high or low, the
// comparisons) counts as "don't care" and keeps the later letters with their nodes.
QChar pattern_letter(KSM_DATA_TRIGGER_CONDITION condition)
{
    const char letter = vokr_condition_letter(condition);
    return letter ? letter : 'X';
}

bool is_group_row(KSM_DATA_NODE_DISPLAY_TYPE display_type)
{
    return display_type == KSM_NTYPE_GROUP_EXPANDED || display_type == KSM_NTYPE_GROUP_COLLAPSED;
}

}  // namespace

// ---- the shown level ---------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::is_advanced_mode(int* level) const
{
    if (!m_frame_wnd) {
        if (level)
            *level = m_trigger_level;
        return true;
    }
    QTabWidget* tabs = current_tab_widget(-1);
    if (!tabs || tabs->currentIndex() <= 1 || tabs->tabText(tabs->currentIndex()) == STATE_BASED_TAB)
        return false;
    if (level)
        *level = tabs->currentWidget()->property("trigger level").toInt();
    return true;
}

VOKR_TRIGGER_OBJECT* VOKR_TX_MANAGER::shown_advanced_root()
{
    int trigger_level = 0;
    if (!m_tx_trigger || !is_advanced_mode(&trigger_level))
        return nullptr;
    if (trigger_level < 0)
        VOKR_ASSERT_TEXT(trigger_level >= FIRST_PATTERN_LEVEL, "trigger_level >= -3 && trigger_level <= -1");
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    KSM_TX_TREE_OBJECT* tree = trigger_level < 0 ? trigger->get_storage_qualifier_root(trigger_level + KSM_NUM_PATTERNS)
                                                 : trigger->get_advanced_root(trigger_level);
    // None while the tabs, rebuilt by a queued update, still show a level of an instance that
    // has just gone.
    return dynamic_cast<VOKR_TRIGGER_OBJECT*>(tree);
}

QList<VOKR_OBJECT*>* VOKR_TX_MANAGER::get_object_array()
{
    VOKR_TRIGGER_OBJECT* root = shown_advanced_root();
    return root ? root->get_object_array() : nullptr;
}

void VOKR_TX_MANAGER::update_advanced_modified_flag(bool level_flag, bool document_flag)
{
    if (!m_tx_trigger) {
        set_modified_flag(document_flag);
        return;
    }
    int trigger_level = 0;
    if (!is_advanced_mode(&trigger_level))
        return;
    if (trigger_level < 0)
        VOKR_ASSERT_TEXT(trigger_level >= FIRST_PATTERN_LEVEL, "trigger_level >= -3 && trigger_level <= -1");
    m_tx_trigger->set_advanced_modified(trigger_level, level_flag, document_flag);
    update_modified_flag();
    emit updated(nullptr, vokr_hint(VOKR_HINT_STATUS | VOKR_HINT_ADVANCED_MODIFIED | VOKR_HINT_INSTANCES));
}

// ---- the condition for incrementally routed nodes ------------------------------------------------------

// The first condition for incrementally routed nodes of an advanced level; null when it has none.
VOKR_OBJECT* VOKR_TX_MANAGER::routed_node_box(int level, int instance) const
{
    auto* vokr_trigger_object = dynamic_cast<VOKR_TRIGGER_OBJECT*>(trigger_at(instance)->get_advanced_root(level));
    VOKR_ASSERT(vokr_trigger_object != NULL);
    QList<VOKR_OBJECT*>* vokr_object_array = vokr_trigger_object->get_object_array();
    VOKR_ASSERT(vokr_object_array != NULL);
    for (VOKR_OBJECT* box : std::as_const(*vokr_object_array))
        if (box->get_type() == VOKR_TYPE_CIRN)
            return box;
    return nullptr;
}

bool VOKR_TX_MANAGER::is_advanced_trigger_pattern_enabled(int level, int instance) const
{
    if (level != -1) {
        const VOKR_OBJECT* box = routed_node_box(level, instance);
        return box && box->get_parent();
    }
    if (is_empty())
        return false;
    const KSM_TX_TRIGGER* trigger = trigger_at(instance);
    for (int l = 0; l < trigger->get_num_levels(); ++l)
        if (is_advanced_trigger(l, instance) && is_advanced_trigger_pattern_enabled(l, instance))
            return true;
    return false;
}

bool VOKR_TX_MANAGER::update_advanced_trigger_pattern()
{
    if (is_empty())
        return true;
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    const bool power_up = trigger->is_power_up_selection();
    for (int level = 0; level < trigger->get_num_levels(); ++level) {
        if (!is_advanced_trigger(level, -1) || !is_advanced_trigger_pattern_enabled(level, -1))
            continue;
        VOKR_OBJECT* box = routed_node_box(level, -1);
        if (box && box->get_parent())
            write_routed_node_pattern(box, level);
    }
    trigger->set_power_up_selection(power_up);
    return true;
}

// The power-up and normal patterns and the quoted names of the post-fitting trigger nodes of
// the shown list, one letter per name.
void VOKR_TX_MANAGER::write_routed_node_pattern(VOKR_OBJECT* box, int level)
{
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    const int count = std::min(current_list()->get_num_nodes(), trigger->get_num_nodes());
    QString power_up_pattern, pattern;
    QStringList names;
    for (int n = 0; n < count; ++n) {
        if (trigger->get_tap_mode(n) == KSM_TAP_PRE_SYNTHESIS)
            continue;
        KSM_DATA_NODE_DISPLAY_TYPE display_type = KSM_NTYPE_NODE;
        QString name;
        bool trigger_enabled = false;
        KSM_DATA_TRIGGER_CONDITION condition = KSM_CTYPE_DONT_CARE;
        KSM_DATA_TRIGGER_CONDITION power_up_condition = KSM_CTYPE_DONT_CARE;
        trigger->set_power_up_selection(false);
        get_node(n, &display_type, &name, nullptr, nullptr, nullptr, nullptr, &trigger_enabled, level, &condition);
        trigger->set_power_up_selection(true);
        get_node(n, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, level, &power_up_condition);
        if (is_group_row(display_type) || !trigger_enabled)
            continue;
        power_up_pattern += pattern_letter(power_up_condition);
        pattern += pattern_letter(condition);
        names.append('\'' + VOKR_OBJECT::quote(name) + '\'');
    }
    box->set_power_up_pattern(power_up_pattern);
    box->set_pattern(pattern);
    box->set_node_list(names.join(','));
}

bool VOKR_TX_MANAGER::is_advanced_nodes_used(int instance) const
{
    if (is_empty() || is_incremental_compile())
        return false;
    const int allocated = get_trigger_nodes_allocated(instance);
    const int used = get_trigger_nodes_used(instance);
    if (allocated != 0 && allocated != used)
        return allocated > used;
    const KSM_TX_TRIGGER* trigger = trigger_at(instance);
    for (int n = 0; n < trigger->get_num_nodes(); ++n)
        if (!is_group_row(trigger->get_display_type(n)) && trigger->get_tap_mode(n) != KSM_TAP_PRE_SYNTHESIS)
            return true;
    return false;
}

// Named with the instance when an instance's levels are all advanced, it has incrementally routed
// trigger nodes, and no level wires their condition; true when any instance was named.
bool VOKR_TX_MANAGER::show_unused_post_fitting_triggers()
{
    bool shown = false;
    for (int i = 0; !is_empty() && i < m_tx_session->get_num_instances(); ++i) {
        if (m_tx_session->is_power_up_view(i))
            continue;  // the same trigger as the entry before it
        bool all_advanced = true;
        for (int level = 0; all_advanced && level < trigger_at(i)->get_num_levels(); ++level)
            all_advanced = is_advanced_trigger(level, i);
        if (all_advanced && is_advanced_nodes_used(i) && !is_advanced_trigger_pattern_enabled(-1, i)) {
            vokr_prompt(vokr_msg_unused_post_fitting_triggers(m_tx_session->get_instance_name_at(i)));
            shown = true;
        }
    }
    return shown;
}

// ---- counters -------------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::is_counter_operator_used() const
{
    if (is_empty() || !is_advanced_trigger(0, -1))
        return false;
    KSM_TX_TREE_OBJECT* root = trigger_at(-1)->get_advanced_root(0);
    for (int i = 0; root && i < root->get_child_count(); ++i) {
        const auto* box = dynamic_cast<const VOKR_OBJECT*>(root->get_child_object(i));
        if (!box || box->get_type() != VOKR_TYPE_RESULT)
            continue;
        const QList<VOKR_OBJECT*>& inputs = box->get_children();
        return std::any_of(inputs.begin(), inputs.end(),
                           [](const VOKR_OBJECT* input) { return input->get_type() == VOKR_TYPE_COUNTER; });
    }
    return false;
}
