// Instances: stored values, signal sets, versions and the undo history.
#include "ksm_state.h"

#include <algorithm>
#include <cstddef>

namespace {

using STATE = KSM_TX_INSTANCE::STATE;

// The version of the instances this repository makes; older ones are brought up to it
// (update_to_current_version), newer ones come from a newer repository and stay as they are.
constexpr int CURRENT_VERSION = 3;

// Lets the oldest units go beyond the history's number of steps.
void trim(KSM_UNDO_HISTORY& history)
{
    const size_t limit = static_cast<size_t>(std::max(history.max_steps, 1));
    if (history.undo.size() > limit)
        history.undo.erase(history.undo.begin(), history.undo.end() - static_cast<std::ptrdiff_t>(limit));
}

}  // namespace

KSM_TX_INSTANCE::KSM_TX_INSTANCE(KSM_DATA_SESSION* owner, const char* name)
    : KSM_OBJECT(owner), m_state(std::make_shared<STATE>()), m_history(std::make_unique<KSM_UNDO_HISTORY>())
{
    m_state->name = name ? name : "";
    m_state->info.version = CURRENT_VERSION;
}

KSM_TX_INSTANCE::~KSM_TX_INSTANCE() = default;

const char* KSM_TX_INSTANCE::get_name(int) const { return m_state->name.c_str(); }

bool KSM_TX_INSTANCE::set_name(const char* name)
{
    return ksm_rename_child(this, m_state, name, m_owner ? m_owner->find_instance(name) : nullptr);
}

bool KSM_TX_INSTANCE::is_enabled() const { return m_state->enabled; }
void KSM_TX_INSTANCE::set_enabled(bool enabled) { ksm_set(this, m_state, &STATE::enabled, enabled); }
bool KSM_TX_INSTANCE::is_expanded() const { return m_state->expanded; }
void KSM_TX_INSTANCE::set_expanded(bool expanded) { ksm_set(this, m_state, &STATE::expanded, expanded); }
bool KSM_TX_INSTANCE::is_modified() const { return m_owner && m_owner->is_modified(); }

// ---- versions -------------------------------------------------------------------------------------

int KSM_TX_INSTANCE::get_current_version() { return CURRENT_VERSION; }
KSM_DATA_INSTANCE_INFO KSM_TX_INSTANCE::get_node_info() const { return m_state->info; }

void KSM_TX_INSTANCE::set_node_info(const KSM_DATA_INSTANCE_INFO& info)
{
    const KSM_DATA_INSTANCE_INFO& c = m_state->info;
    if (c.first == info.first && c.second == info.second && c.third == info.third && c.version == info.version)
        return;
    ksm_edit(this, m_state).info = info;
}

bool KSM_TX_INSTANCE::is_version_not_defined() const { return !m_state->version_defined; }
bool KSM_TX_INSTANCE::is_newer_version() const { return m_state->info.version > CURRENT_VERSION; }

bool KSM_TX_INSTANCE::is_current_version() const
{
    return m_state->version_defined && m_state->info.version == CURRENT_VERSION;
}

bool KSM_TX_INSTANCE::update_to_current_version()
{
    if (is_newer_version())
        return false;
    if (!is_current_version()) {
        STATE& s = ksm_edit(this, m_state);
        s.info.version = CURRENT_VERSION;
        s.version_defined = true;
    }
    return true;
}

bool KSM_TX_INSTANCE::is_incremental_route_available() const { return m_state->incremental_route_available; }

void KSM_TX_INSTANCE::set_incremental_route_available(bool available)
{
    ksm_set(this, m_state, &STATE::incremental_route_available, available);
}

// ---- undo -------------------------------------------------------------------------------------------

bool KSM_TX_INSTANCE::begin_action()
{
    if (!m_owner)
        return false;
    KSM_JOURNAL& journal = KSM_ACCESS::journal(m_owner);
    if (journal.depth++ == 0) {
        journal.open = std::make_unique<KSM_UNDO_UNIT>();
        journal.owner = this;
    }
    return true;
}

bool KSM_TX_INSTANCE::end_action()
{
    if (!m_owner)
        return false;
    KSM_JOURNAL& journal = KSM_ACCESS::journal(m_owner);
    if (journal.depth == 0)
        return false;
    if (--journal.depth > 0)
        return true;
    std::unique_ptr<KSM_UNDO_UNIT> unit = std::move(journal.open);
    KSM_TX_INSTANCE* owner = journal.owner;
    journal.owner = nullptr;
    if (!unit || !owner)
        return true;
    for (auto& entry : unit->entries)
        entry->close();
    if (unit->empty())
        return true;
    KSM_UNDO_HISTORY& history = *owner->m_history;
    history.redo.clear();
    history.undo.push_back(std::move(unit));
    trim(history);
    ++journal.kept;
    return true;
}

unsigned long KSM_TX_INSTANCE::get_kept_action_count() const { return m_owner ? KSM_ACCESS::journal(m_owner).kept : 0; }

bool KSM_TX_INSTANCE::append_atomic_action(KSM_TX_UNDO_ACTION_ATOMIC* action)
{
    KSM_JOURNAL* journal = m_owner ? &KSM_ACCESS::journal(m_owner) : nullptr;
    if (!action || !journal || !journal->open) {
        delete action;
        return false;
    }
    journal->open->atomics.emplace_back(action);
    return true;
}

namespace {

// Puts the unit's states back (undo: last recorded first) and replays its atomic steps.
void replay(KSM_DATA_SESSION* session, KSM_UNDO_UNIT& unit, bool undo)
{
    KSM_JOURNAL& journal = KSM_ACCESS::journal(session);
    journal.replaying = true;
    if (undo)
        for (auto it = unit.entries.rbegin(); it != unit.entries.rend(); ++it)
            (*it)->replay(true);
    else
        for (auto& entry : unit.entries)
            entry->replay(false);
    journal.replaying = false;
    ksm_show_recorded_state_machines(session);
    session->set_modified(true);
    if (undo)
        for (auto it = unit.atomics.rbegin(); it != unit.atomics.rend(); ++it)
            (*it)->undo();
    else
        for (auto& atomic : unit.atomics)
            atomic->redo();
}

using UNITS = std::vector<std::unique_ptr<KSM_UNDO_UNIT>>;

// Replays the last unit of `from` (the undo or the redo list) and moves it to `to`; nothing while
// a unit is open.
bool step(KSM_DATA_SESSION* session, UNITS& from, UNITS& to, bool undo)
{
    if (from.empty() || !session || KSM_ACCESS::journal(session).open)
        return false;
    std::unique_ptr<KSM_UNDO_UNIT> unit = std::move(from.back());
    from.pop_back();
    replay(session, *unit, undo);
    to.push_back(std::move(unit));
    return true;
}

}  // namespace

void ksm_merge_element(std::shared_ptr<KSM_TX_SIGNAL_NODES::ROW>& row,
                       const std::shared_ptr<KSM_TX_SIGNAL_NODES::ROW>& from,
                       const std::shared_ptr<KSM_TX_SIGNAL_NODES::ROW>& to)
{
    if (from == to)
        return;
    row = std::make_shared<KSM_TX_SIGNAL_NODES::ROW>(*row);
    ksm_merge(*row, *from, *to);
}

namespace {

// Where the unit changed rows but kept each where it was, with its depth and group flag, and the
// current rows hold each of them at the same place: the changed rows merge there. False, with
// nothing merged, otherwise.
bool merge_rows_in_place(KSM_ROW_TABLE& cur, const KSM_ROW_TABLE& from, const KSM_ROW_TABLE& to,
                         const std::vector<size_t>& changed)
{
    for (const size_t i : changed) {
        const KSM_TX_SIGNAL_NODES::ROW &a = *from[i], &b = *to[i];
        if (a.id != b.id || a.depth != b.depth || a.group != b.group || i >= cur.size() || cur[i]->id != a.id)
            return false;
    }
    for (const size_t i : changed)
        ksm_merge_element(cur.edit(i), from[i], to[i]);
    return true;
}

}  // namespace

// Rows merge as the list of row pointers they hold; a unit that changed rows in place merges
// only those.
void ksm_merge_value(KSM_ROW_TABLE& cur, const KSM_ROW_TABLE& from, const KSM_ROW_TABLE& to)
{
    if (from.size() == to.size()) {
        const std::vector<size_t> changed = from.differing_rows(to);
        if (changed.empty() || merge_rows_in_place(cur, from, to, changed))
            return;
    }
    std::vector<std::shared_ptr<KSM_TX_SIGNAL_NODES::ROW>> merged = cur.to_vector();
    ksm_merge_value(merged, from.to_vector(), to.to_vector());
    cur.assign(std::move(merged));
}

bool KSM_TX_INSTANCE::undo() { return step(m_owner, m_history->undo, m_history->redo, true); }
bool KSM_TX_INSTANCE::redo() { return step(m_owner, m_history->redo, m_history->undo, false); }

bool KSM_TX_INSTANCE::is_undo_available() const { return !m_history->undo.empty(); }
bool KSM_TX_INSTANCE::is_redo_available() const { return !m_history->redo.empty(); }
int KSM_TX_INSTANCE::get_max_undo_steps() const { return m_history->max_steps; }

void KSM_TX_INSTANCE::set_max_undo_steps(int steps)
{
    m_history->max_steps = std::max(steps, 1);
    trim(*m_history);
}

// ---- stored values -------------------------------------------------------------------------------

bool KSM_TX_INSTANCE::set_position_data(const char* key, int value) { return set_position_data(key, &value, 1); }

int KSM_TX_INSTANCE::get_position_data(const char* key) const
{
    int value = -1;
    return get_position_data(key, &value, 1) > 0 ? value : -1;
}

bool KSM_TX_INSTANCE::set_position_data(const char* key, const int* values, int count)
{
    if (!key || !*key || count < 0 || (count > 0 && !values))
        return false;
    std::vector<int> v(values, values + count);
    auto it = m_state->position_data.find(key);
    if (it != m_state->position_data.end() && it->second == v)
        return true;
    ksm_edit(this, m_state).position_data[key] = std::move(v);
    return true;
}

int KSM_TX_INSTANCE::get_position_data(const char* key, int* values, int capacity) const
{
    auto it = key ? m_state->position_data.find(key) : m_state->position_data.end();
    if (it == m_state->position_data.end())
        return 0;
    const int n = std::min(static_cast<int>(it->second.size()), std::max(capacity, 0));
    std::copy(it->second.begin(), it->second.begin() + n, values);
    return n;
}

// ---- signal sets ----------------------------------------------------------------------------------

int KSM_TX_INSTANCE::get_num_signal_sets() const { return ksm_child_count(m_state->signal_sets); }

KSM_TX_SIGNAL_SET* KSM_TX_INSTANCE::get_signal_set(int index) const
{
    return ksm_child_at(m_state->signal_sets, index);
}

KSM_TX_SIGNAL_SET* KSM_TX_INSTANCE::find_signal_set(const char* name) const
{
    return ksm_find_child(m_state->signal_sets, name);
}

KSM_TX_SIGNAL_SET* KSM_TX_INSTANCE::get_active_signal_set() const { return get_signal_set(m_state->active_signal_set); }

KSM_TX_SIGNAL_SET* KSM_TX_INSTANCE::create_signal_set(const char* name, bool)
{
    return ksm_add_child(this, m_state, &STATE::signal_sets, name, "signal set: ");
}

bool KSM_TX_INSTANCE::set_active(const char* signal_set, const char* trigger, const char* log)
{
    KSM_TX_SIGNAL_SET* set = signal_set && *signal_set ? find_signal_set(signal_set) : get_active_signal_set();
    if (!set)
        return false;
    KSM_TX_TRIGGER* t = trigger && *trigger ? set->find_trigger(trigger) : set->get_active_trigger();
    if (!t)
        return false;
    KSM_DATA_LOG* l = log && *log ? t->find_log(log) : t->get_active_log();
    if (log && *log && !l)
        return false;
    ksm_set(this, m_state, &STATE::active_signal_set, ksm_child_index(m_state->signal_sets, set));
    auto& set_state = KSM_ACCESS::state(set);
    ksm_set(set, set_state, &KSM_TX_SIGNAL_SET::STATE::active_trigger, ksm_child_index(set_state->triggers, t));
    auto& trigger_state = KSM_ACCESS::state(t);
    const int log_index = l ? ksm_child_index(trigger_state->logs, l) : -1;
    ksm_set(t, trigger_state, &KSM_TX_TRIGGER::STATE::active_log, log_index);
    return true;
}

const char* KSM_TX_INSTANCE::get_active_signal_set_name() const
{
    KSM_TX_SIGNAL_SET* set = get_active_signal_set();
    return set ? set->get_name() : "";
}

const char* KSM_TX_INSTANCE::get_active_trigger_name() const
{
    KSM_TX_SIGNAL_SET* set = get_active_signal_set();
    KSM_TX_TRIGGER* trigger = set ? set->get_active_trigger() : nullptr;
    return trigger ? trigger->get_name() : "";
}

const char* KSM_TX_INSTANCE::get_active_log_name() const
{
    KSM_TX_SIGNAL_SET* set = get_active_signal_set();
    KSM_TX_TRIGGER* trigger = set ? set->get_active_trigger() : nullptr;
    KSM_DATA_LOG* log = trigger ? trigger->get_active_log() : nullptr;
    return log ? log->get_name() : "";
}

unsigned int KSM_TX_INSTANCE::get_compiled_checksum() const { return m_state->compiled_checksum; }
unsigned int KSM_TX_INSTANCE::get_compiled_routing_checksum() const { return m_state->compiled_routing_checksum; }

void KSM_TX_INSTANCE::set_compiled_checksums(unsigned int full, unsigned int routing)
{
    if (m_state->compiled_checksum == full && m_state->compiled_routing_checksum == routing)
        return;
    STATE& s = ksm_edit(this, m_state);
    s.compiled_checksum = full;
    s.compiled_routing_checksum = routing;
}
