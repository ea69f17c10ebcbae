// Triggers: levels, storage qualifier, segments, flow control, trigger in and out, logs.
#include "ksm_state.h"
#include "ruv.h"

#include <algorithm>
#include <climits>
#include <sstream>

namespace {

using STATE = KSM_TX_TRIGGER::STATE;

bool valid_level(const STATE& s, int level) { return level >= 0 && level < static_cast<int>(s.levels.size()); }
bool valid_pattern(int pattern) { return pattern >= 0 && pattern < KSM_NUM_PATTERNS; }

// Levels, counters and flags are named by a prefix and their number from 1 until renamed.
const char* const LEVEL_PREFIX = "condition";
const char* const COUNTER_PREFIX = "c";
const char* const FLAG_PREFIX = "f";

std::string default_name(const char* prefix, int index) { return prefix + std::to_string(index + 1); }

// The default name of item `index`, or, when a renamed item already holds it, the first numbered
// name after it that no item holds: the names of a list stay distinct.
template <class ITEM> std::string free_name(const std::vector<ITEM>& items, const char* prefix, int index)
{
    for (int n = index;; ++n) {
        const std::string name = default_name(prefix, n);
        if (std::none_of(items.begin(), items.end(), [&name](const ITEM& item) { return item.name == name; }))
            return name;
    }
}

// Sets the number of items of a named list of the trigger; new items get their default name, or a
// free one.
template <class ITEM>
bool resize_named(KSM_TX_TRIGGER* trigger, std::shared_ptr<STATE>& slot, std::vector<ITEM> STATE::*list, int count,
                  int min, int max, const char* prefix)
{
    if (count < min || count > max)
        return false;
    if (count == static_cast<int>(((*slot).*list).size()))
        return true;
    std::vector<ITEM>& items = ksm_edit(trigger, slot).*list;
    const int old = static_cast<int>(items.size());
    items.resize(count);
    for (int i = old; i < count; ++i)
        items[i].name = free_name(items, prefix, i);
    return true;
}

}  // namespace

KSM_TX_TRIGGER::KSM_TX_TRIGGER(KSM_DATA_SESSION* owner, const char* name)
    : KSM_TX_SIGNAL_NODES(owner, true), m_state(std::make_shared<STATE>())
{
    m_state->name = name ? name : "";
    m_state->levels[0].name = default_name(LEVEL_PREFIX, 0);
}

KSM_TX_TRIGGER::~KSM_TX_TRIGGER() = default;

const char* KSM_TX_TRIGGER::get_name() const { return m_state->name.c_str(); }

bool KSM_TX_TRIGGER::set_name(const char* name)
{
    return ksm_rename_child(this, m_state, name, m_signal_set ? m_signal_set->find_trigger(name) : nullptr);
}

bool KSM_TX_TRIGGER::is_expanded() const { return m_state->expanded; }
void KSM_TX_TRIGGER::set_expanded(bool expanded) { ksm_set(this, m_state, &STATE::expanded, expanded); }

// The suite's trigger keeps caches derived from its state and drops or rebuilds them here; the
// stand-in reads everything from the state itself, so these steps have nothing to do.
void KSM_TX_TRIGGER::detach() {}

void KSM_TX_TRIGGER::set_power_up_selection(bool power_up) { m_power_up_selection = power_up; }

void KSM_TX_TRIGGER::rebuild_after_undo() {}
void KSM_TX_TRIGGER::sync_upon_capture_type_change() {}
void KSM_TX_TRIGGER::reset_transient_state() {}

// ---- levels -------------------------------------------------------------------------------------

int KSM_TX_TRIGGER::get_num_levels() const { return static_cast<int>(m_state->levels.size()); }

bool KSM_TX_TRIGGER::set_num_levels(int count)
{
    return resize_named(this, m_state, &STATE::levels, count, 1, KSM_MAX_TRIGGER_LEVELS, LEVEL_PREFIX);
}

bool KSM_TX_TRIGGER::append_new_level(bool) { return set_num_levels(get_num_levels() + 1); }

KSM_DATA_TRIGGER_LEVEL_TYPE KSM_TX_TRIGGER::get_level_type(int level) const
{
    if (!valid_level(*m_state, level))
        return KSM_LTYPE_BASIC_AND;  // what a new level is
    return static_cast<KSM_DATA_TRIGGER_LEVEL_TYPE>(m_state->levels[level].type);
}

namespace {

// A level or pattern that becomes advanced gets its diagram from the session's root.
void ensure_tree(KSM_DATA_SESSION* session, KSM_LEVEL& level)
{
    if (level.type != KSM_LTYPE_ADVANCED || level.tree || !session || !KSM_ACCESS::tree_host(session)->root)
        return;
    level.tree = std::make_shared<KSM_TREE>(KSM_TREE_KIND_TRIGGER);
    ksm_show_tree(session, level.tree);
}

bool valid_level_type(int type) { return type >= KSM_LTYPE_BASIC_AND && type <= KSM_LTYPE_ADVANCED; }

// A level gets back the diagram a file or a former root left it. An advanced one without any
// gets a new one and, when its stored expression parses, the diagram is a result box (made as a
// session file would make it: a top-level object with the type of a level's result) filled from
// the expression.
void make_missing_tree(KSM_DATA_SESSION* session, KSM_LEVEL& level)
{
    if (level.tree) {
        ksm_show_tree(session, level.tree);
        return;
    }
    ensure_tree(session, level);
    KSM_TX_TREE_OBJECT* root = level.tree ? level.tree->object : nullptr;
    RUV_ADVANCED_TRIGGER_FACTORY factory;
    if (!root || level.expression.empty() || !factory.parse(level.expression))
        return;
    if (KSM_TX_TREE_OBJECT* result = root->create_child_object(KSM_TREE_KIND_TRIGGER)) {
        result->set_attribute("type", "Advanced Trigger Level Result");
        result->generate_tree(&factory);
    }
}

// Gives the level or pattern that `pick` chooses from a state a type; an advanced one is not
// basic and has a tree.
template <class PICK> bool set_type(KSM_TX_TRIGGER* trigger, std::shared_ptr<STATE>& slot, PICK pick, int type)
{
    if (!valid_level_type(type))
        return false;
    if (pick(*slot).type == type)
        return true;
    KSM_LEVEL& l = pick(ksm_edit(trigger, slot));
    l.type = type;
    l.basic = type != KSM_LTYPE_ADVANCED;
    ensure_tree(trigger->get_data_session_of(), l);
    return true;
}

}  // namespace

bool KSM_TX_TRIGGER::set_level_type(int level, KSM_DATA_TRIGGER_LEVEL_TYPE type)
{
    return valid_level(*m_state, level) &&
           set_type(
               this, m_state, [level](auto& s) -> auto& { return s.levels[level]; }, type);
}

KSM_DATA_TRIGGER_LEVEL_TYPE KSM_TX_TRIGGER::get_pattern_type(int pattern) const
{
    if (!valid_pattern(pattern))
        return KSM_LTYPE_BASIC_AND;  // what a new pattern is
    return static_cast<KSM_DATA_TRIGGER_LEVEL_TYPE>(m_state->patterns[pattern].type);
}

bool KSM_TX_TRIGGER::set_pattern_type(int pattern, KSM_DATA_TRIGGER_LEVEL_TYPE type)
{
    return valid_pattern(pattern) &&
           set_type(
               this, m_state, [pattern](auto& s) -> auto& { return s.patterns[pattern]; }, type);
}

const char* KSM_TX_TRIGGER::get_level_name(int level) const
{
    return valid_level(*m_state, level) ? m_state->levels[level].name.c_str() : "";
}

bool KSM_TX_TRIGGER::set_level_name(int level, const char* name)
{
    if (!valid_level(*m_state, level) || !name || !*name)
        return false;
    for (int i = 0; i < get_num_levels(); ++i)
        if (i != level && m_state->levels[i].name == name)
            return false;
    if (m_state->levels[level].name != name)
        ksm_edit(this, m_state).levels[level].name = name;
    return true;
}

bool KSM_TX_TRIGGER::is_level_enabled(int level) const
{
    return valid_level(*m_state, level) && m_state->levels[level].enabled;
}

void KSM_TX_TRIGGER::set_level_enabled(int level, bool enabled)
{
    if (valid_level(*m_state, level) && m_state->levels[level].enabled != enabled)
        ksm_edit(this, m_state).levels[level].enabled = enabled;
}

bool KSM_TX_TRIGGER::is_trigger_level_basic_condition(int level) const
{
    return !valid_level(*m_state, level) || m_state->levels[level].basic;
}

bool KSM_TX_TRIGGER::set_trigger_level_cond_expr_type(int level, bool basic)
{
    if (!valid_level(*m_state, level))
        return false;
    if (m_state->levels[level].basic != basic) {
        KSM_LEVEL& l = ksm_edit(this, m_state).levels[level];
        l.basic = basic;
        l.type = basic ? (l.type == KSM_LTYPE_ADVANCED ? KSM_LTYPE_BASIC_AND : l.type) : KSM_LTYPE_ADVANCED;
        if (basic)
            l.expression.clear();
        ensure_tree(m_owner, l);
    }
    return true;
}

const char* KSM_TX_TRIGGER::get_advanced_trigger_expression(int level) const
{
    return valid_level(*m_state, level) ? m_state->levels[level].expression.c_str() : "";
}

bool KSM_TX_TRIGGER::set_advanced_trigger_expression(int level, const char* text, bool)
{
    if (!valid_level(*m_state, level) || !text)
        return false;
    if (m_state->levels[level].expression != text)
        ksm_edit(this, m_state).levels[level].expression = text;
    return true;
}

RUV_ADVANCED_TRIGGER_FACTORY* KSM_TX_TRIGGER::get_advanced_trigger_factory(int level, int flag)
{
    const bool pattern = level < 0;
    if (pattern ? !valid_pattern(level + KSM_NUM_PATTERNS) : !valid_level(*m_state, level))
        return nullptr;
    const KSM_LEVEL& l = pattern ? m_state->patterns[level + KSM_NUM_PATTERNS] : m_state->levels[level];
    if (l.type != KSM_LTYPE_ADVANCED)
        return nullptr;
    std::string text;
    KSM_TX_TREE_OBJECT* root = ksm_show_tree(m_owner, l.tree);
    if (root && root->get_child_count() > 0)
        root->get_equation(&text, KSM_ACCESS::mnemonics(m_owner).get(), this, pattern ? 1 : level + 1, flag != 0);
    else
        text = l.expression;
    if (text.empty())
        return nullptr;
    std::unique_ptr<RUV_ADVANCED_TRIGGER_FACTORY>& factory = m_factories[level * 2 + (flag != 0 ? 1 : 0)];
    if (!factory)
        factory = std::make_unique<RUV_ADVANCED_TRIGGER_FACTORY>();
    factory->parse(text);
    return factory.get();
}

void KSM_TX_TRIGGER::finalize_triggers()
{
    for (int level = 0; level < get_num_levels(); ++level) {
        const KSM_LEVEL& l = m_state->levels[level];
        KSM_TX_TREE_OBJECT* root = l.type == KSM_LTYPE_ADVANCED ? ksm_show_tree(m_owner, l.tree) : nullptr;
        if (!root)
            continue;
        std::string text;
        root->get_equation(&text, KSM_ACCESS::mnemonics(m_owner).get(), this, level + 1, false);
        set_advanced_trigger_expression(level, text.c_str());
    }
}

// The trees are part of the current state only: made when the session gets its root, they are
// no edit of their own. Trees that only undo steps hold get their objects when a state brings
// them back and they are asked for.
void ksm_make_missing_trees(KSM_DATA_SESSION* session)
{
    if (!session || !KSM_ACCESS::tree_host(session)->root)
        return;
    for (const auto& instance : KSM_ACCESS::state(session)->instances) {
        for (const auto& set : KSM_ACCESS::state(instance.get())->signal_sets) {
            for (const auto& trigger : KSM_ACCESS::state(set.get())->triggers) {
                STATE& s = *KSM_ACCESS::state(trigger.get());
                for (KSM_LEVEL& level : s.levels)
                    make_missing_tree(session, level);
                for (KSM_LEVEL& pattern : s.patterns)
                    make_missing_tree(session, pattern);
            }
        }
    }
}

KSM_TX_TREE_OBJECT* KSM_TX_TRIGGER::get_advanced_root(int level)
{
    return valid_level(*m_state, level) ? ksm_show_tree(m_owner, m_state->levels[level].tree) : nullptr;
}

KSM_TX_TREE_OBJECT* KSM_TX_TRIGGER::get_storage_qualifier_root(int pattern)
{
    return valid_pattern(pattern) ? ksm_show_tree(m_owner, m_state->patterns[pattern].tree) : nullptr;
}

void KSM_TX_TRIGGER::set_advanced_modified(int level_or_pattern, bool level_flag, bool document_flag)
{
    const bool pattern = level_or_pattern < 0;
    const int index = pattern ? level_or_pattern + KSM_NUM_PATTERNS : level_or_pattern;
    if (pattern ? !valid_pattern(index) : !valid_level(*m_state, index))
        return;
    const KSM_LEVEL& current = pattern ? m_state->patterns[index] : m_state->levels[index];
    if (current.modified != level_flag) {
        STATE& s = ksm_edit(this, m_state);
        (pattern ? s.patterns[index] : s.levels[index]).modified = level_flag;
    }
    if (document_flag && m_owner)
        m_owner->set_modified(true);
}

bool KSM_TX_TRIGGER::is_advanced_modified(int level_or_pattern) const
{
    if (level_or_pattern < 0)
        return valid_pattern(level_or_pattern + KSM_NUM_PATTERNS) &&
               m_state->patterns[level_or_pattern + KSM_NUM_PATTERNS].modified;
    return valid_level(*m_state, level_or_pattern) && m_state->levels[level_or_pattern].modified;
}

// ---- storage qualifier, segments, position ------------------------------------------------------

KSM_DATA_STORAGE_QUALIFIER_TYPE KSM_TX_TRIGGER::get_storage_qualifier_type() const
{
    return static_cast<KSM_DATA_STORAGE_QUALIFIER_TYPE>(m_state->sq_type);
}

bool KSM_TX_TRIGGER::set_storage_qualifier_type(KSM_DATA_STORAGE_QUALIFIER_TYPE type)
{
    return ksm_set_in_range(this, m_state, &STATE::sq_type, type, KSM_SQTYPE_CONTINUOUS, KSM_SQTYPE_INPUT_PORT);
}

const char* KSM_TX_TRIGGER::get_storage_qualifier_input_port(bool* post_fitting) const
{
    if (post_fitting)
        *post_fitting = m_state->sq_port_post_fitting;
    return m_state->sq_port.c_str();
}

bool KSM_TX_TRIGGER::set_storage_qualifier_input_port(const char* name, bool post_fitting)
{
    const std::string text = name ? name : "";
    if (m_state->sq_port == text && m_state->sq_port_post_fitting == post_fitting && m_state->sq_port_mark)
        return false;
    STATE& s = ksm_edit(this, m_state);
    s.sq_port = text;
    s.sq_port_post_fitting = post_fitting;
    s.sq_port_mark = true;
    return true;
}

bool KSM_TX_TRIGGER::clear_storage_qualifier_input_port_mark(bool)
{
    return ksm_set(this, m_state, &STATE::sq_port_mark, false);
}

bool KSM_TX_TRIGGER::is_storage_qualifier_input_port_marked() const { return m_state->sq_port_mark; }
bool KSM_TX_TRIGGER::is_storage_qualifier_disabled() const { return m_state->sq_disabled; }

bool KSM_TX_TRIGGER::set_storage_qualifier_disabled(bool disabled)
{
    return ksm_set(this, m_state, &STATE::sq_disabled, disabled);
}

bool KSM_TX_TRIGGER::is_record_data_discontinuities() const { return m_state->gap_record; }

bool KSM_TX_TRIGGER::set_record_data_discontinuities(bool record)
{
    ksm_set(this, m_state, &STATE::gap_record, record);
    return true;
}

bool KSM_TX_TRIGGER::is_segmented() const { return m_state->segmented; }
bool KSM_TX_TRIGGER::set_segmented(bool segmented) { return ksm_set(this, m_state, &STATE::segmented, segmented); }

bool KSM_TX_TRIGGER::set_trigger_type(KSM_DATA_TRIGGER_TYPE type, bool)
{
    ksm_set(this, m_state, &STATE::segmented, type == KSM_TTYPE_SEGMENTED);
    return true;
}

int KSM_TX_TRIGGER::get_segment_size() const { return m_state->segment_size; }

bool KSM_TX_TRIGGER::set_segment_size(int size, bool)
{
    return ksm_set_in_range(this, m_state, &STATE::segment_size, size, 0, INT_MAX);
}

KSM_DATA_TRIGGER_POSITION KSM_TX_TRIGGER::get_trigger_position() const
{
    return static_cast<KSM_DATA_TRIGGER_POSITION>(m_state->position);
}

bool KSM_TX_TRIGGER::set_trigger_position(KSM_DATA_TRIGGER_POSITION position)
{
    return ksm_set_in_range(this, m_state, &STATE::position, position, KSM_TPOS_PRE, KSM_TPOS_CONTINUOUS);
}

// ---- flow control ---------------------------------------------------------------------------------

bool KSM_TX_TRIGGER::is_state_based() const { return m_state->state_based; }

bool KSM_TX_TRIGGER::set_state_based(bool state_based)
{
    ksm_set(this, m_state, &STATE::state_based, state_based);
    return true;
}

namespace {

std::shared_ptr<const KSM_TREE_ATTRIBUTES> attributes_of(KSM_TX_TREE_OBJECT* object)
{
    return std::make_shared<const KSM_TREE_ATTRIBUTES>(object->collect_attributes());
}

}  // namespace

KSM_TX_TREE_OBJECT* KSM_TX_TRIGGER::get_state_machine_object()
{
    if (!m_state_machine)
        m_state_machine = std::make_shared<KSM_TREE>(KSM_TREE_KIND_STATE_MACHINE);
    if (!m_state_machine->object) {
        // It belongs to the root, which deletes it with itself.
        KSM_TX_TREE_OBJECT* object = m_owner ? ksm_show_tree(m_owner, m_state_machine) : nullptr;
        if (!object)
            return nullptr;
        m_state_machine_made = attributes_of(object);
        m_state_machine_shown = m_state_machine_made;
        show_recorded_state_machine();  // a flow read from a file, or put back by an undo
    }
    return m_state_machine->object;
}

// Recorded only when the attributes differ, so that a unit which leaves the flow as it was
// does not count as a change of it.
void KSM_TX_TRIGGER::state_machine_changed()
{
    if (m_owner)
        m_owner->set_modified(true);
    KSM_TX_TREE_OBJECT* object = KSM_ACCESS::state_machine(this);
    if (!object)
        return;
    std::shared_ptr<const KSM_TREE_ATTRIBUTES> now = attributes_of(object);
    const std::shared_ptr<const KSM_TREE_ATTRIBUTES>& recorded =
        m_state->state_machine ? m_state->state_machine : m_state_machine_made;
    if (*now == *recorded)
        return;
    ksm_edit(this, m_state).state_machine = now;
    m_state_machine_shown = std::move(now);
}

void KSM_TX_TRIGGER::show_recorded_state_machine()
{
    const std::shared_ptr<const KSM_TREE_ATTRIBUTES>& recorded =
        m_state->state_machine ? m_state->state_machine : m_state_machine_made;
    KSM_TX_TREE_OBJECT* object = KSM_ACCESS::state_machine(this);
    if (!object || recorded == m_state_machine_shown)
        return;
    for (const auto& [key, value] : *recorded)
        object->set_attribute(key.c_str(), value.c_str());
    m_state_machine_shown = recorded;
}

void ksm_show_recorded_state_machines(KSM_DATA_SESSION* session)
{
    for (const auto& instance : KSM_ACCESS::state(session)->instances)
        for (const auto& set : KSM_ACCESS::state(instance.get())->signal_sets)
            for (const auto& trigger : KSM_ACCESS::state(set.get())->triggers)
                KSM_ACCESS::show_recorded_state_machine(trigger.get());
}

int KSM_TX_TRIGGER::get_counter_count() const { return static_cast<int>(m_state->counters.size()); }

bool KSM_TX_TRIGGER::set_counter_count(int count)
{
    return resize_named(this, m_state, &STATE::counters, count, 0, KSM_MAX_COUNTERS, COUNTER_PREFIX);
}

bool KSM_TX_TRIGGER::get_counter(int index, const char** name, int* width, unsigned int* initial) const
{
    if (index < 0 || index >= get_counter_count())
        return false;
    const KSM_COUNTER& c = m_state->counters[index];
    if (name)
        *name = c.name.c_str();
    if (width)
        *width = c.width;
    if (initial)
        *initial = c.initial;
    return true;
}

bool KSM_TX_TRIGGER::set_counter(int index, const char* name, const int* width, const unsigned int* initial)
{
    if (index < 0 || index >= get_counter_count() || (name && !*name) ||
        (width && (*width < 1 || *width > KSM_MAX_COUNTER_WIDTH)))
        return false;
    KSM_COUNTER c = m_state->counters[index];
    if (name)
        c.name = name;
    if (width)
        c.width = *width;
    if (initial)
        c.initial = *initial;
    if (!(c == m_state->counters[index]))
        ksm_edit(this, m_state).counters[index] = c;
    return true;
}

int KSM_TX_TRIGGER::get_flag_count() const { return static_cast<int>(m_state->flags.size()); }

bool KSM_TX_TRIGGER::set_flag_count(int count)
{
    return resize_named(this, m_state, &STATE::flags, count, 0, KSM_MAX_FLAGS, FLAG_PREFIX);
}

bool KSM_TX_TRIGGER::get_flag(int index, const char** name, int* initial) const
{
    if (index < 0 || index >= get_flag_count())
        return false;
    if (name)
        *name = m_state->flags[index].name.c_str();
    if (initial)
        *initial = m_state->flags[index].initial;
    return true;
}

bool KSM_TX_TRIGGER::set_flag(int index, const char* name, const int* initial)
{
    if (index < 0 || index >= get_flag_count() || (name && !*name))
        return false;
    KSM_FLAG f = m_state->flags[index];
    if (name)
        f.name = name;
    if (initial)
        f.initial = *initial ? 1 : 0;
    if (!(f == m_state->flags[index]))
        ksm_edit(this, m_state).flags[index] = f;
    return true;
}

bool KSM_TX_TRIGGER::is_configurable(RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION option) const
{
    return (m_state->runtime_options & option) != 0;
}

bool KSM_TX_TRIGGER::set_configurable(RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION option, bool configurable)
{
    const unsigned int bits = configurable ? (m_state->runtime_options | option) : (m_state->runtime_options & ~option);
    ksm_set(this, m_state, &STATE::runtime_options, bits);
    return true;
}

// ---- used counts, checksum, logs ------------------------------------------------------------------

int KSM_TX_TRIGGER::get_data_nodes_used() const { return get_data_input_count(); }
int KSM_TX_TRIGGER::get_trigger_nodes_used() const { return get_trigger_input_count(); }

// The qualifiers that listen to nodes use the storage-enabled leaves.
int KSM_TX_TRIGGER::get_storage_qualifier_nodes_used() const
{
    const auto type = static_cast<KSM_DATA_STORAGE_QUALIFIER_TYPE>(m_state->sq_type);
    if (type != KSM_SQTYPE_CONDITIONAL && type != KSM_SQTYPE_START_STOP && type != KSM_SQTYPE_TRANSITIONAL)
        return 0;
    int count = 0;
    for (int row = 0; row < get_num_nodes(); ++row) {
        const KSM_DATA_NODE_DISPLAY_TYPE shape = get_display_type(row);
        count += is_storage_enabled(row) && shape != KSM_NTYPE_GROUP_EXPANDED && shape != KSM_NTYPE_GROUP_COLLAPSED;
    }
    return count;
}

int KSM_TX_TRIGGER::get_trigger_out_latency() const { return m_state->trigger_out_latency; }

void KSM_TX_TRIGGER::set_trigger_out_latency(int cycles)
{
    ksm_set(this, m_state, &STATE::trigger_out_latency, cycles);
}

bool KSM_TX_TRIGGER::is_using_incremental_route() const { return m_state->incremental_route; }

void KSM_TX_TRIGGER::set_using_incremental_route(bool used) { ksm_set(this, m_state, &STATE::incremental_route, used); }

int KSM_TX_TRIGGER::get_num_logs() const { return ksm_child_count(m_state->logs); }
KSM_DATA_LOG* KSM_TX_TRIGGER::get_log(int index) const { return ksm_child_at(m_state->logs, index); }
KSM_DATA_LOG* KSM_TX_TRIGGER::find_log(const char* name) const { return ksm_find_child(m_state->logs, name); }

KSM_DATA_LOG* KSM_TX_TRIGGER::get_active_log() const { return get_log(m_state->active_log); }

namespace {

void append_level(std::ostringstream& out, const char* what, int index, const KSM_LEVEL& l)
{
    out << what << ' ' << index << ": type " << l.type << ", name " << l.name << ", enabled " << l.enabled << ", basic "
        << l.basic << ", expression " << l.expression << '\n';
}

}  // namespace

// Sessions saved by earlier builds recorded the checksum of this text as what their design was
// compiled with (get_text_form_crc_value): a change here makes them ask for a compile once.
void KSM_TX_TRIGGER::append_text_form(std::string* text) const
{
    const STATE& s = *m_state;
    std::ostringstream out;
    out << "trigger " << s.name << '\n';
    for (size_t i = 0; i < s.levels.size(); ++i)
        append_level(out, "level", static_cast<int>(i), s.levels[i]);
    for (int i = 0; i < KSM_NUM_PATTERNS; ++i)
        append_level(out, "pattern", i, s.patterns[i]);
    out << "storage qualifier " << s.sq_type << ' ' << s.sq_port << ' ' << s.sq_port_post_fitting << ' '
        << s.sq_disabled << ' ' << s.gap_record << '\n'
        << "segmented " << s.segmented << ' ' << s.segment_size << ", position " << s.position << '\n'
        << "state based " << s.state_based << ", runtime options " << s.runtime_options << '\n';
    for (const KSM_COUNTER& c : s.counters)
        out << "counter " << c.name << ' ' << c.width << ' ' << c.initial << '\n';
    for (const KSM_FLAG& f : s.flags)
        out << "flag " << f.name << ' ' << f.initial << '\n';
    // The flow as last edited or read: a device compiled from another flow does not fit.
    if (s.state_machine)
        for (const auto& [key, value] : *s.state_machine)
            out << "flow " << key << ' ' << value << '\n';
    out << "trigger in " << s.trigger_in.enabled << ' ' << s.trigger_in.source << ' ' << s.trigger_in.pin_name << ' '
        << s.trigger_in.node_name << ' ' << s.trigger_in.instance_name << ' ' << s.trigger_in.condition << '\n';
    out << "trigger out " << s.trigger_out.enabled << ' ' << s.trigger_out.pin_name << ' '
        << s.trigger_out.instance_name << ' ' << s.trigger_out.eps_event_index << ' ' << s.trigger_out.condition
        << '\n';
    for (int row = 0; row < get_num_nodes(); ++row) {
        out << "node " << get_node_name(row) << " use " << get_node_use(row) << " tap " << get_tap_mode(row)
            << " depth " << get_depth(row) << " conditions";
        for (int level = 0; level < get_num_levels(); ++level)
            out << ' ' << get_trigger_condition(row, level);
        out << '\n';
    }
    text->append(out.str());
}

// ---- trigger in and out -----------------------------------------------------------------------------

namespace {

template <class FIELD, class VALUE>
bool set_in(KSM_TX_TRIGGER* t, std::shared_ptr<STATE>& slot, FIELD KSM_TRIGGER_IN::*field, const VALUE& v)
{
    if (slot->trigger_in.*field == v)
        return true;
    ksm_edit(t, slot).trigger_in.*field = v;
    return true;
}

template <class FIELD, class VALUE>
bool set_out(KSM_TX_TRIGGER* t, std::shared_ptr<STATE>& slot, FIELD KSM_TRIGGER_OUT::*field, const VALUE& v)
{
    if (slot->trigger_out.*field == v)
        return true;
    ksm_edit(t, slot).trigger_out.*field = v;
    return true;
}

}  // namespace

#define KSM_IN_STATE (KSM_ACCESS::state(m_trigger)->trigger_in)
#define KSM_OUT_STATE (KSM_ACCESS::state(m_trigger)->trigger_out)

bool KSM_TX_TRIGGER_IN_INTERFACE::is_enabled() const { return KSM_IN_STATE.enabled; }
bool KSM_TX_TRIGGER_IN_INTERFACE::set_enabled(bool v)
{
    return set_in(m_trigger, KSM_ACCESS::state(m_trigger), &KSM_TRIGGER_IN::enabled, v);
}
KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE KSM_TX_TRIGGER_IN_INTERFACE::get_source() const
{
    return static_cast<KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE>(KSM_IN_STATE.source);
}
bool KSM_TX_TRIGGER_IN_INTERFACE::set_source(KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE v)
{
    return v >= KSM_IOTYPE_PIN && v <= KSM_IOTYPE_EPS_EVENT &&
           set_in(m_trigger, KSM_ACCESS::state(m_trigger), &KSM_TRIGGER_IN::source, static_cast<int>(v));
}
const char* KSM_TX_TRIGGER_IN_INTERFACE::get_pin_name() const { return KSM_IN_STATE.pin_name.c_str(); }
bool KSM_TX_TRIGGER_IN_INTERFACE::set_pin_name(const char* v)
{
    return set_in(m_trigger, KSM_ACCESS::state(m_trigger), &KSM_TRIGGER_IN::pin_name, std::string(v ? v : ""));
}
const char* KSM_TX_TRIGGER_IN_INTERFACE::get_node_name() const { return KSM_IN_STATE.node_name.c_str(); }
bool KSM_TX_TRIGGER_IN_INTERFACE::set_node_name(const char* v)
{
    return set_in(m_trigger, KSM_ACCESS::state(m_trigger), &KSM_TRIGGER_IN::node_name, std::string(v ? v : ""));
}
bool KSM_TX_TRIGGER_IN_INTERFACE::is_node_post_fitting() const { return KSM_IN_STATE.node_post_fitting; }
bool KSM_TX_TRIGGER_IN_INTERFACE::set_node_post_fitting(bool v)
{
    return set_in(m_trigger, KSM_ACCESS::state(m_trigger), &KSM_TRIGGER_IN::node_post_fitting, v);
}
bool KSM_TX_TRIGGER_IN_INTERFACE::is_node_valid() const { return KSM_IN_STATE.node_valid; }
bool KSM_TX_TRIGGER_IN_INTERFACE::set_node_valid(bool v)
{
    return set_in(m_trigger, KSM_ACCESS::state(m_trigger), &KSM_TRIGGER_IN::node_valid, v);
}
const char* KSM_TX_TRIGGER_IN_INTERFACE::get_instance_name() const { return KSM_IN_STATE.instance_name.c_str(); }
bool KSM_TX_TRIGGER_IN_INTERFACE::set_instance_name(const char* v)
{
    return set_in(m_trigger, KSM_ACCESS::state(m_trigger), &KSM_TRIGGER_IN::instance_name, std::string(v ? v : ""));
}
KSM_DATA_TRIGGER_CONDITION KSM_TX_TRIGGER_IN_INTERFACE::get_condition() const
{
    return static_cast<KSM_DATA_TRIGGER_CONDITION>(KSM_IN_STATE.condition);
}
bool KSM_TX_TRIGGER_IN_INTERFACE::set_condition(KSM_DATA_TRIGGER_CONDITION v)
{
    return v >= 0 && v < KSM_CTYPE_COUNT &&
           set_in(m_trigger, KSM_ACCESS::state(m_trigger), &KSM_TRIGGER_IN::condition, static_cast<int>(v));
}

bool KSM_TX_TRIGGER_OUT_INTERFACE::is_enabled() const { return KSM_OUT_STATE.enabled; }
bool KSM_TX_TRIGGER_OUT_INTERFACE::set_enabled(bool v)
{
    return set_out(m_trigger, KSM_ACCESS::state(m_trigger), &KSM_TRIGGER_OUT::enabled, v);
}

bool KSM_TX_TRIGGER_OUT_INTERFACE::is_selected(KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE kind) const
{
    return kind >= 0 && kind < KSM_TRIGGER_OUT_KINDS && KSM_OUT_STATE.selected[kind];
}

bool KSM_TX_TRIGGER_OUT_INTERFACE::set_selected(KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE kind, bool selected)
{
    if (kind < 0 || kind >= KSM_TRIGGER_OUT_KINDS)
        return false;
    auto bits = KSM_OUT_STATE.selected;
    bits[kind] = selected;
    return set_out(m_trigger, KSM_ACCESS::state(m_trigger), &KSM_TRIGGER_OUT::selected, bits);
}

const char* KSM_TX_TRIGGER_OUT_INTERFACE::get_pin_name() const { return KSM_OUT_STATE.pin_name.c_str(); }
bool KSM_TX_TRIGGER_OUT_INTERFACE::set_pin_name(const char* v)
{
    return set_out(m_trigger, KSM_ACCESS::state(m_trigger), &KSM_TRIGGER_OUT::pin_name, std::string(v ? v : ""));
}
const char* KSM_TX_TRIGGER_OUT_INTERFACE::get_instance_name() const { return KSM_OUT_STATE.instance_name.c_str(); }
bool KSM_TX_TRIGGER_OUT_INTERFACE::set_instance_name(const char* v)
{
    return set_out(m_trigger, KSM_ACCESS::state(m_trigger), &KSM_TRIGGER_OUT::instance_name, std::string(v ? v : ""));
}

const char* KSM_TX_TRIGGER_OUT_INTERFACE::get_instance_tooltip() const
{
    const KSM_TRIGGER_OUT& out = KSM_OUT_STATE;
    m_tooltip.clear();
    if (out.selected[KSM_IOTYPE_PIN])
        m_tooltip += "pin " + out.pin_name;
    if (out.selected[KSM_IOTYPE_INSTANCE])
        m_tooltip += (m_tooltip.empty() ? "" : ", ") + std::string("instance ") + out.instance_name;
    if (out.selected[KSM_IOTYPE_EPS_TRIGGER_IN])
        m_tooltip += (m_tooltip.empty() ? "" : ", ") + std::string("processor trigger in");
    if (out.selected[KSM_IOTYPE_EPS_EVENT])
        m_tooltip +=
            (m_tooltip.empty() ? "" : ", ") + std::string("processor event ") + std::to_string(out.eps_event_index);
    return m_tooltip.c_str();
}

int KSM_TX_TRIGGER_OUT_INTERFACE::get_eps_event_index() const { return KSM_OUT_STATE.eps_event_index; }
bool KSM_TX_TRIGGER_OUT_INTERFACE::set_eps_event_index(int v)
{
    return v >= 0 && set_out(m_trigger, KSM_ACCESS::state(m_trigger), &KSM_TRIGGER_OUT::eps_event_index, v);
}
KSM_DATA_TRIGGER_CONDITION KSM_TX_TRIGGER_OUT_INTERFACE::get_condition() const
{
    return static_cast<KSM_DATA_TRIGGER_CONDITION>(KSM_OUT_STATE.condition);
}
bool KSM_TX_TRIGGER_OUT_INTERFACE::set_condition(KSM_DATA_TRIGGER_CONDITION v)
{
    return v >= 0 && v < KSM_CTYPE_COUNT &&
           set_out(m_trigger, KSM_ACCESS::state(m_trigger), &KSM_TRIGGER_OUT::condition, static_cast<int>(v));
}
