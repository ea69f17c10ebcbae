// The manager's basic trigger: conditions per node and level, comparisons, level counts,
// names and kinds, and the data-log trigger entries.
#include "vokr_tx_manager.h"

#include "vokr_assert.h"
#include "vokr_msg.h"

#include <iterator>
#include <memory>

namespace {

// Texts of the conditions; the values 9 to 23 have none.
const char* const CONDITION_TEXTS[KSM_CTYPE_COUNT] = {
    "Disabled",   "Active High", "Active Low", "High",  "Low",   "Rising Edge", "Falling Edge", "Either Edge",
    "Don't Care", nullptr,       nullptr,      nullptr, nullptr, nullptr,       nullptr,        nullptr,
    nullptr,      nullptr,       nullptr,      nullptr, nullptr, nullptr,       nullptr,        nullptr};

const char* const POSITION_TEXTS[] = {"Pre trigger position", "Center trigger position", "Post trigger position",
                                      "Continuous trigger position"};

bool is_pattern(int level) { return level < 0; }

}  // namespace

// ---- conversions ------------------------------------------------------------------------------------------

const char* VOKR_TX_MANAGER::convert_to_trigger_condition_str(KSM_DATA_TRIGGER_CONDITION condition)
{
    return condition >= 0 && condition < KSM_CTYPE_COUNT ? CONDITION_TEXTS[condition] : nullptr;
}

KSM_DATA_TRIGGER_CONDITION VOKR_TX_MANAGER::convert_to_trigger_condition_type(const QString& text)
{
    for (int c = 0; c < KSM_CTYPE_COUNT && !text.isEmpty(); ++c)
        if (CONDITION_TEXTS[c] && text == CONDITION_TEXTS[c])
            return static_cast<KSM_DATA_TRIGGER_CONDITION>(c);
    VOKR_INTERNAL_ERROR("found");
}

const char* VOKR_TX_MANAGER::convert_to_trigger_position_str(KSM_DATA_TRIGGER_POSITION position)
{
    return position >= 0 && position < int(std::size(POSITION_TEXTS)) ? POSITION_TEXTS[position] : nullptr;
}

KSM_DATA_TRIGGER_POSITION VOKR_TX_MANAGER::convert_to_trigger_position_type(const QString& text)
{
    for (int p = 0; p < int(std::size(POSITION_TEXTS)) && !text.isEmpty(); ++p)
        if (text == POSITION_TEXTS[p])
            return static_cast<KSM_DATA_TRIGGER_POSITION>(p);
    VOKR_INTERNAL_ERROR("found");
}

int VOKR_TX_MANAGER::convert_to_trigger_level_int(const QString& text)
{
    bool ok = false;
    const int level = text.toInt(&ok);
    return ok ? level : 0;
}

QString VOKR_TX_MANAGER::convert_to_trigger_level_str(int level)
{
    if (level != m_trigger_level_value) {
        m_trigger_level_value = level;
        m_trigger_level_text = QString::number(level);
    }
    return m_trigger_level_text;
}

// ---- conditions -------------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::atomic_set_trigger(int node, int level, KSM_DATA_TRIGGER_CONDITION condition, int instance)
{
    KSM_TX_TRIGGER* trigger = trigger_at(instance);
    VOKR_ASSERT_TEXT(level >= FIRST_PATTERN_LEVEL, "nLevelIndex >= -3 && nLevelIndex <= -1");
    return is_pattern(level) ? trigger->set_pattern_condition(node, level + KSM_NUM_PATTERNS, condition)
                             : trigger->set_trigger_condition(node, level, condition);
}

bool VOKR_TX_MANAGER::set_trigger(int node, int level, KSM_DATA_TRIGGER_CONDITION condition, int instance)
{
    VOKR_ASSERT_TEXT(level >= FIRST_PATTERN_LEVEL, "nLevelIndex >= -3 && nLevelIndex <= -1");
    KSM_TX_TRIGGER* trigger = trigger_at(instance);
    if (!trigger->has_children(node)) {
        const int parent = trigger->get_parent_index(node);
        if (parent >= 0)
            set_plugin_trigger_condition_symbol("", parent, level, instance);
        return note_change(atomic_set_trigger(node, level, condition, instance));
    }
    set_comparison_trigger_enabled(node, level, false, -1);
    if (is_group_condition(condition)) {
        return note_change(atomic_set_trigger(node, level, condition, instance));
    }
    set_plugin_trigger_condition_symbol("", node, level, instance);
    bool any = false;
    for (int row = node + 1; row <= trigger->get_last_child_index(node); ++row)
        if (!trigger->has_children(row))
            any = atomic_set_trigger(row, level, condition, instance) || any;
    return note_change(any);
}

bool VOKR_TX_MANAGER::toggle_trigger(int node) { return toggle_capture(node, KSM_CAPTURE_TRIGGER); }

bool VOKR_TX_MANAGER::is_group_condition(KSM_DATA_TRIGGER_CONDITION condition) const
{
    return get_nodes(-1)->is_group_condition(condition);
}

bool VOKR_TX_MANAGER::is_comparison_operand_condition(KSM_DATA_TRIGGER_CONDITION condition) const
{
    return get_nodes(-1)->is_comparison_operand_condition(condition);
}

// ---- comparisons ------------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::is_comparison_enabled(int node, int level, int instance) const
{
    KSM_TX_TRIGGER* t = trigger_at(instance);
    return is_pattern(level) ? t->is_pattern_comparison_enabled(node, level + KSM_NUM_PATTERNS)
                             : t->is_comparison_enabled(node, level);
}

bool VOKR_TX_MANAGER::is_comparison_group_member(int node, int level, int instance) const
{
    KSM_TX_TRIGGER* t = trigger_at(instance);
    const int parent = t->get_parent_index(node);
    return parent >= 0 && is_comparison_enabled(parent, level, instance);
}

bool VOKR_TX_MANAGER::is_comparison_group_member_on_any_level(int node, int* level, int instance) const
{
    for (int l = FIRST_PATTERN_LEVEL; l < m_trigger_level_value; ++l) {
        if (is_comparison_group_member(node, l, instance)) {
            *level = l;
            return true;
        }
    }
    return false;
}

KSM_DATA_TRIGGER_CONDITION VOKR_TX_MANAGER::get_comparison_operand(int node, int level, int operand, int instance) const
{
    KSM_TX_TRIGGER* t = trigger_at(instance);
    return is_pattern(level) ? t->get_pattern_comparison_operand(node, level + KSM_NUM_PATTERNS, operand)
                             : t->get_comparison_operand(node, level, operand);
}

int VOKR_TX_MANAGER::get_comparison_value(int node, int level, int operand, int instance) const
{
    KSM_TX_TRIGGER* t = trigger_at(instance);
    return is_pattern(level) ? t->get_pattern_comparison_value(node, level + KSM_NUM_PATTERNS, operand)
                             : t->get_comparison_value(node, level, operand);
}

bool VOKR_TX_MANAGER::set_comparison_trigger_enabled(int node, int level, bool enabled, int instance)
{
    KSM_TX_TRIGGER* t = trigger_at(instance);
    const bool result = is_pattern(level) ? t->set_pattern_comparison_enabled(node, level + KSM_NUM_PATTERNS, enabled)
                                          : t->set_comparison_enabled(node, level, enabled);
    return note_change(result);
}

bool VOKR_TX_MANAGER::set_comparison_trigger_operand(int node, int level, int operand,
                                                     KSM_DATA_TRIGGER_CONDITION cTrigger, int instance)
{
    VOKR_ASSERT(this->is_comparison_operand_condition(cTrigger));
    KSM_TX_TRIGGER* t = trigger_at(instance);
    const bool result = is_pattern(level)
                            ? t->set_pattern_comparison_operand(node, level + KSM_NUM_PATTERNS, operand, cTrigger)
                            : t->set_comparison_operand(node, level, operand, cTrigger);
    return note_change(result);
}

bool VOKR_TX_MANAGER::set_comparison_trigger_value(int node, int level, int operand, int value, int instance)
{
    KSM_TX_TRIGGER* t = trigger_at(instance);
    const bool result = is_pattern(level)
                            ? t->set_pattern_comparison_value(node, level + KSM_NUM_PATTERNS, operand, value)
                            : t->set_comparison_value(node, level, operand, value);
    return note_change(result);
}

bool VOKR_TX_MANAGER::get_comparison_expression(int node, int level, std::string* text, int instance) const
{
    const KSM_DATA_TRIGGER_CONDITION operand_a = get_comparison_operand(node, level, 1, instance);
    const KSM_DATA_TRIGGER_CONDITION operand_b = get_comparison_operand(node, level, 2, instance);
    const int value_a = get_comparison_value(node, level, 1, instance);
    const int value_b = get_comparison_value(node, level, 2, instance);
    VOKR_ASSERT(this->is_comparison_operand_condition(operand_a));
    VOKR_ASSERT(this->is_comparison_operand_condition(operand_b));
    if (operand_b == KSM_CTYPE_COMPARE_TRUE) {
        VOKR_ASSERT(operand_a != KSM_CTYPE_COMPARE_TRUE);
        *text = std::string(trigger_at(instance)->condition_to_string(operand_a)) + " " + std::to_string(value_a);
        return true;
    }
    VOKR_ASSERT(operand_a == KSM_CTYPE_COMPARE_GREATER_THAN || operand_a == KSM_CTYPE_COMPARE_GREATER_THAN_OR_EQUAL_TO);
    VOKR_ASSERT(operand_b == KSM_CTYPE_COMPARE_LESS_THAN || operand_b == KSM_CTYPE_COMPARE_LESS_THAN_OR_EQUAL_TO);
    *text = std::string(1, operand_a == KSM_CTYPE_COMPARE_GREATER_THAN ? '(' : '[') + " " + std::to_string(value_a) +
            ", " + std::to_string(value_b) + " " + (operand_b == KSM_CTYPE_COMPARE_LESS_THAN ? ')' : ']');
    return true;
}

// ---- levels ---------------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::get_trigger_level(int* count, int instance) const
{
    if (is_empty()) {
        *count = 0;
        return false;
    }
    *count = trigger_at(instance)->get_num_levels();
    return true;
}

bool VOKR_TX_MANAGER::get_trigger_level(QString* text, int instance)
{
    if (is_empty()) {
        *text = "1";
        return false;
    }
    *text = convert_to_trigger_level_str(trigger_at(instance)->get_num_levels());
    return true;
}

void VOKR_TX_MANAGER::set_trigger_level(const QString& text)
{
    if (text.isEmpty() || is_empty())
        return;
    const int count = convert_to_trigger_level_int(text);
    edit_setting(count == m_tx_trigger->get_num_levels(), [&] {
        if (m_tx_trigger->set_num_levels(count)) {
            emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_TABS | VOKR_HINT_VIEW));
            update_modified_flag();
        }
    });
}

int VOKR_TX_MANAGER::get_condition_count(int instance) const
{
    return is_empty() ? 0 : trigger_at(instance)->get_num_levels();
}

QStringList VOKR_TX_MANAGER::get_condition_names(int instance) const
{
    QStringList names;
    for (int l = 0; l < get_condition_count(instance); ++l)
        names << QString::fromLocal8Bit(trigger_at(instance)->get_level_name(l));
    return names;
}

bool VOKR_TX_MANAGER::is_condition_name(const QString& name, int instance) const
{
    return get_condition_names(instance).contains(name);
}

const char* VOKR_TX_MANAGER::get_trigger_level_name(int level, int instance) const
{
    VOKR_ASSERT(!this->is_empty());
    return trigger_at(instance)->get_level_name(level);
}

// Level names are how the state-based flow and the level titles tell levels apart: a name that
// another level bears is refused and told to the user, and the level keeps its own.
bool VOKR_TX_MANAGER::set_trigger_level_name(const QString& name, int level, int instance)
{
    VOKR_ASSERT(!this->is_empty());
    const QStringList names = get_condition_names(instance);
    const int holder = names.indexOf(name);
    if (holder >= 0 && holder != level) {
        vokr_prompt(vokr_msg_duplicate_name());
        return false;
    }
    return trigger_at(instance)->set_level_name(level, name.toLocal8Bit().constData());
}

void VOKR_TX_MANAGER::set_advanced_trigger(int nPatternNumber, KSM_DATA_TRIGGER_LEVEL_TYPE type)
{
    VOKR_ASSERT_TEXT(nPatternNumber >= FIRST_PATTERN_LEVEL, "nPatternNumber >= -3 && nPatternNumber <= -1");
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    const bool result = is_pattern(nPatternNumber) ? trigger->set_pattern_type(nPatternNumber + KSM_NUM_PATTERNS, type)
                                                   : trigger->set_level_type(nPatternNumber, type);
    note_change(result);
}

bool VOKR_TX_MANAGER::is_pattern_enabled(int level) const
{
    if (is_empty())
        return false;
    if (is_pattern(level))
        return !m_tx_trigger->is_storage_qualifier_disabled();
    const bool sequential = !m_tx_trigger->is_state_based();
    if (!sequential || is_segmented_acquisition_trigger(level))
        return true;
    return m_tx_trigger->is_level_enabled(level);
}

// A storage-qualifier pattern is enabled with the storage qualifier, so toggling one switches
// the storage qualifier's disable flag.
void VOKR_TX_MANAGER::toggle_pattern(int level)
{
    if (is_empty())
        return;
    const bool enable = !is_pattern_enabled(level);
    if (is_pattern(level))
        m_tx_trigger->set_storage_qualifier_disabled(!enable);
    else
        m_tx_trigger->set_level_enabled(level, enable);
    update_modified_flag();
}

// ---- data-log trigger entries -----------------------------------------------------------------------------

int VOKR_TX_MANAGER::get_num_triggers(int instance, int signal_set) const
{
    KSM_TX_SIGNAL_SET* set = get_instance_at(instance)->get_signal_set(signal_set);
    return set ? set->get_num_triggers() : 0;
}

const char* VOKR_TX_MANAGER::get_trigger_name_at(int instance, int signal_set, int trigger, bool* expanded) const
{
    KSM_TX_SIGNAL_SET* set = get_instance_at(instance)->get_signal_set(signal_set);
    KSM_TX_TRIGGER* t = set ? set->get_trigger(trigger) : nullptr;
    VOKR_ASSERT(t != NULL);
    if (expanded)
        *expanded = t->is_expanded();
    return t->get_name();
}

void VOKR_TX_MANAGER::get_trigger_expression(QString* out, const char* instance_name, const char* signal_set_name,
                                             const char* trigger_name) const
{
    KSM_DATA_INSTANCE* instance =
        m_tx_session ? m_tx_session->get_data_session()->find_instance(instance_name) : nullptr;
    KSM_DATA_SIGNAL_SET* set = instance ? instance->find_signal_set(signal_set_name) : nullptr;
    KSM_DATA_TRIGGER* trigger = set ? set->find_trigger(trigger_name) : nullptr;
    if (!trigger)
        return;
    std::string form;
    trigger->append_text_form(&form);
    *out += QString::fromLocal8Bit(form.c_str());
}

void VOKR_TX_MANAGER::rename_trigger_set(const char* new_name, const char* old_name, const char* signal_set_name)
{
    KSM_TX_SIGNAL_SET* set = m_tx_instance ? m_tx_instance->find_signal_set(signal_set_name) : nullptr;
    KSM_TX_TRIGGER* trigger = set ? set->find_trigger(old_name) : nullptr;
    if (!trigger || !new_name || !*new_name || !accept_rename(trigger->set_name(new_name)))
        return;
    emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_DATA_LOG));
}
