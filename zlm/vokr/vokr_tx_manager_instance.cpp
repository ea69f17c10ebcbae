// The manager's instances: adding, removing and choosing them, lock mode, JTAG selection,
// clock, power-up triggers, acquisition states and the checks that follow a change.
#include "vokr_tx_manager.h"

#include "gen.h"
#include "vokr_assert.h"
#include "vokr_globals.h"
#include "vokr_msg.h"
#include "yek.h"

#include <memory>

namespace {

bool is_acquiring_state(int s) { return (s & ~VOKR_ACQ_IDLE_BITS) != 0 || s == VOKR_ACQ_IDLE_BITS; }

}  // namespace

// ---- instances ------------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::add_instance()
{
    const int index = m_tx_session ? m_tx_session->create_lumetra_instance(nullptr) : -1;
    if (index >= 0) {
        m_current_instance = m_tx_session->get_num_instances() - 1;
        refresh_tx_cache();
    }
    update_modified_flag();
    return index >= 0;
}

// Removes an entry; a power-up entry goes with its instance, in a unit of its own first.
bool VOKR_TX_MANAGER::remove_instance(int index)
{
    const int i = resolved(index);  // -1 is never passed to the repository
    if (!is_entry(i))
        return false;
    int n = m_tx_session->get_num_instances();
    int j = i;
    if (m_tx_session->is_power_up_trigger(i)) {
        if (!is_empty() && m_tx_session->is_power_up_view(i))
            --j;
        const int k = !is_empty() && m_tx_session->is_power_up_view(j) ? j - 1 : j;
        if (m_tx_session->is_power_up_trigger(k)) {
            m_tx_session->get_instance_at(k)->begin_action();
            m_tx_session->set_power_up_trigger_mode(k, false);
            end_action(VOKR_CHECK_NOTHING, k);
            update_modified_flag();
            m_current_instance = k;
            refresh_tx_cache();
        }
        --n;
        if (j < m_current_instance)
            --m_current_instance;
    }
    if (n < 1 || (m_tx_session->is_power_up_trigger(j) && n < 2)) {
        m_current_instance = -1;
        refresh_tx_cache();
    } else if (j == m_current_instance) {
        const int c = m_current_instance;
        if (j == n - 1)
            m_current_instance -= !is_empty() && m_tx_session->is_power_up_view(c > 0 ? c - 1 : 0) ? 2 : 1;
        else
            m_current_instance = c + 1;
        refresh_tx_cache();
    }
    const bool result = m_tx_session->remove_lumetra_instance(j);
    if (j < m_current_instance)
        --m_current_instance;
    update_modified_flag();
    return result;
}

// Chooses an entry, or none with -1; any other index is refused.
bool VOKR_TX_MANAGER::set_instance(int index)
{
    if (index != -1 && !is_entry(index))
        return false;
    m_current_instance = index;
    refresh_tx_cache();
    return true;
}

bool VOKR_TX_MANAGER::is_entry(int index) const
{
    return m_tx_session && index >= 0 && index < m_tx_session->get_num_instances();
}

void VOKR_TX_MANAGER::set_instance(const QString& name)
{
    VOKR_ASSERT_TEXT(!name.isEmpty(), "name != \"\"");
    for (int i = 0; m_tx_session && i < m_tx_session->get_num_instances(); ++i) {
        if (QString::fromLocal8Bit(m_tx_session->get_instance_name_at(i)) == name) {
            set_instance(i);
            return;
        }
    }
}

bool VOKR_TX_MANAGER::instance_is_enabled(int index) const { return get_instance_at(index)->is_enabled(); }

void VOKR_TX_MANAGER::set_instance_enabled(int index, bool enabled) { get_instance_at(index)->set_enabled(enabled); }

// Ends the rename of an instance, signal set or trigger: a refused (taken) name is told to the
// user, an accepted one marks the session modified. True when the name was accepted.
bool VOKR_TX_MANAGER::accept_rename(bool accepted)
{
    if (!accepted) {
        vokr_prompt(vokr_msg_duplicate_name());
        return false;
    }
    m_tx_session->set_undoable_modified_flag();
    update_modified_flag();
    return true;
}

void VOKR_TX_MANAGER::rename_instance_set(const char* new_name, const char* old_name)
{
    KSM_DATA_INSTANCE* instance = m_tx_session ? m_tx_session->get_data_session()->find_instance(old_name) : nullptr;
    if (!instance || !new_name || !*new_name || !accept_rename(instance->set_name(new_name)))
        return;
    emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_TABS | VOKR_HINT_DATA_LOG | VOKR_HINT_VIEW));
    emit updated(nullptr, vokr_hint(VOKR_HINT_GEOMETRY | VOKR_HINT_REFRESH | VOKR_HINT_INSTANCES));
    emit updated(nullptr, vokr_hint(VOKR_HINT_REBUILD_JTAG));
}

void VOKR_TX_MANAGER::rename_signal_set(const char* new_name, const char* old_name)
{
    KSM_DATA_SIGNAL_SET* set = m_tx_instance ? m_tx_instance->get_data_instance()->find_signal_set(old_name) : nullptr;
    if (!set || !new_name || !*new_name || !accept_rename(set->set_name(new_name)))
        return;
    emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_DATA_LOG));
}

// ---- lock mode ------------------------------------------------------------------------------------------

VOKR_LOCK_MODE VOKR_TX_MANAGER::get_lock_mode(bool in_power_up_view) const
{
    if (is_wizard_mode())
        return VOKR_LOCK_MODE_ALL_CHANGES;
    if (in_power_up_view && !is_empty() && m_tx_session->is_power_up_view(m_current_instance))
        return VOKR_LOCK_MODE_TRIGGER_CONDITIONS;
    return m_lock_mode;
}

void VOKR_TX_MANAGER::set_lock_mode(const QString& label)
{
    const VOKR_LOCK_MODE_MAP& map = vokr_lock_mode_map();
    VOKR_ASSERT_TEXT(map.contains(label), "VOKR_LOCK_MODE_MAP.contains(lock_mode)");
    set_lock_mode(static_cast<VOKR_LOCK_MODE>(map.value(label)), true);
}

void VOKR_TX_MANAGER::set_lock_mode(VOKR_LOCK_MODE mode, bool notify)
{
    m_lock_mode = mode;
    if (!notify)
        return;
    const bool acquiring = !is_empty() && is_instance_acquiring(-1);
    const unsigned int state = acquiring ? VOKR_HINT_ACQUISITION_STARTED : VOKR_HINT_STATUS;
    emit updated(nullptr,
                 vokr_hint(VOKR_HINT_REFRESH | state | VOKR_HINT_INSTANCES | VOKR_HINT_CONFIG | VOKR_HINT_VIEW));
}

// ---- JTAG and programming file ------------------------------------------------------------------------

bool VOKR_TX_MANAGER::get_jtag_hardware(QString* name) const
{
    *name = m_tx_session ? QString::fromLocal8Bit(m_tx_session->get_jtag_chain_name()) : QString();
    return !name->isEmpty();
}

bool VOKR_TX_MANAGER::get_jtag_device(QString* name) const
{
    *name = m_tx_session ? QString::fromLocal8Bit(m_tx_session->get_jtag_device_name()) : QString();
    return !name->isEmpty();
}

bool VOKR_TX_MANAGER::set_jtag_hardware(const QString& name, bool notify)
{
    if (is_empty())
        return false;
    if (name != QString::fromLocal8Bit(m_tx_session->get_jtag_chain_name())) {
        m_tx_session->set_jtag_chain_name(name.toLocal8Bit().constData());
        if (notify) {
            emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_CONFIG));
            update_modified_flag();
        }
    }
    return !name.isEmpty();
}

bool VOKR_TX_MANAGER::set_jtag_device(const QString& name, bool notify)
{
    if (is_empty())
        return false;
    if (name != QString::fromLocal8Bit(m_tx_session->get_jtag_device_name())) {
        m_tx_session->set_jtag_device_name(name.toLocal8Bit().constData());
        if (notify)
            update_modified_flag();
    }
    return !name.isEmpty();
}

bool VOKR_TX_MANAGER::set_jtag_chain(const QString& file)
{
    if (m_tx_session && file != QString::fromLocal8Bit(m_tx_session->get_sif_file_name())) {
        m_tx_session->set_sif_file_name(file.toLocal8Bit().constData());
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_JTAG));
        update_modified_flag();
    }
    return !file.isEmpty();
}

// ---- clock ----------------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::get_clock(QString* clock, int index) const
{
    *clock = QString();
    if (is_empty())
        return false;
    *clock = QString::fromLocal8Bit(signal_set_at(index)->get_clock_name());
    return true;
}

bool VOKR_TX_MANAGER::is_clock_invalid() const
{
    return is_setup_mode() && m_tx_signals && m_tx_signals->is_clock_invalid();
}

bool VOKR_TX_MANAGER::is_clock_post_fitting() const
{
    return is_setup_mode() && m_tx_signals && m_tx_signals->is_clock_post_fitting();
}

void VOKR_TX_MANAGER::set_clock(const QString& clock) { set_clock(clock, VOKR_KEEP_NAME_KIND); }

void VOKR_TX_MANAGER::set_clock(const QString& clock, VOKR_IS_POST_FITTING_TYPE type)
{
    // No clock is no clock to take: the field that was cleared shows the clock kept again.
    if (clock.isEmpty()) {
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_CONFIG));
        return;
    }
    KSM_TX_SIGNAL_SET* signals_ = signal_set_at(-1);
    const bool post_fitting =
        type == VOKR_POST_FITTING_NAME || (type == VOKR_KEEP_NAME_KIND && is_clock_post_fitting());
    const QByteArray name = clock.toLocal8Bit();
    if (name == signals_->get_clock_name() && post_fitting == is_clock_post_fitting())
        return;
    if (VOKR_UPDATE_GUARD::is_updating())
        return;
    VOKR_ACTION_GUARD action(this);
    VOKR_UPDATE_GUARD update;
    if (trigger_at(-1)->find_node(name.constData()) >= 0) {
        vokr_prompt(vokr_msg_clk_conflict(name.constData()));
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH_VIEW));
    }
    if (signals_->set_clock(name.constData(), post_fitting)) {
        signals_->clock_changed();
        check_node_validity(-1);
        update_modified_flag();
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_CONFIG));
    }
}

// ---- project queries ------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::is_incremental_compile() const
{
    if (is_empty())
        return false;
    YEK_PARTITION_MANAGER* yek_mgr = YEK_PARTITION_MANAGER::get_instance(0, 0, 0);
    if (gen_is_mav() || !yek_mgr)
        return true;
    YEK_PROJECT_INFO* yek_info = yek_mgr->get_project_info();
    VOKR_ASSERT(yek_info);
    return compiles_incrementally(yek_info);
}

bool VOKR_TX_MANAGER::compiles_incrementally(const YEK_PROJECT_INFO* project)
{
    return project->get_effective_incremental_compilation_mode() == YEK_INCREMENTAL_COMPILATION_ON;
}

bool VOKR_TX_MANAGER::is_incremental_route_available(int index) const
{
    if (is_empty())
        return false;
    VOKR_ASSERT(this->m_tx_session != NULL);
    KSM_DATA_INSTANCE* ksm_data_instance = get_instance_at(index)->get_data_instance();
    VOKR_ASSERT(ksm_data_instance != NULL);
    return ksm_data_instance->is_incremental_route_available();
}

// ---- power-up trigger -----------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::enable_powerup_trigger(int index, bool enable)
{
    const int r = resolved(index);
    if (is_empty() || !is_entry(r))
        return false;
    const bool view = m_tx_session->is_power_up_view(r);
    const int base = view ? r - 1 : r;
    const bool is_enabled = view || m_tx_session->is_power_up_trigger(base);
    if (enable)
        VOKR_ASSERT(!is_enabled);
    if (enable && base == m_current_instance)
        set_int_state(base, "active tab", 1);
    if (enable == m_tx_session->is_power_up_trigger(base))
        return base >= 0;
    m_tx_session->get_instance_at(base)->begin_action();
    m_tx_session->set_power_up_trigger_mode(base, enable);
    end_action(VOKR_CHECK_NOTHING, base);
    update_modified_flag();
    m_current_instance = enable ? base + 1 : base;
    refresh_tx_cache();
    return base >= 0;
}

bool VOKR_TX_MANAGER::duplicate_powerup_trigger(int index)
{
    KSM_TX_INSTANCE* return_value = get_instance_at(index);
    return_value->begin_action();
    m_tx_session->duplicate_trigger_to_other(resolved(index));
    return_value->end_action();
    if (m_frame_wnd) {
        on_update_edit_undo();
        on_update_edit_redo();
    }
    update_modified_flag();
    return index >= 0;
}

bool VOKR_TX_MANAGER::is_powerup_trigger(int index) const
{
    return !is_empty() && m_tx_session->is_power_up_view(resolved(index));
}

bool VOKR_TX_MANAGER::is_powerup_trigger_enabled(int index) const
{
    return m_tx_session && m_tx_session->is_power_up_trigger(index);
}

bool VOKR_TX_MANAGER::is_powerup_trigger(int instance, int signal_set, int trigger, int log) const
{
    KSM_DATA_SESSION* data = m_tx_session ? m_tx_session->get_data_session() : nullptr;
    KSM_DATA_INSTANCE* i = data ? data->get_instance(instance) : nullptr;
    KSM_DATA_SIGNAL_SET* s = i ? i->get_signal_set(signal_set) : nullptr;
    KSM_DATA_TRIGGER* t = s ? s->get_trigger(trigger) : nullptr;
    KSM_DATA_LOG* l = t ? t->get_log(log) : nullptr;
    return l && l->is_power_up();
}

// ---- acquisition states ---------------------------------------------------------------------------------

int& VOKR_TX_MANAGER::acq_state(int index)
{
    VOKR_ASSERT(index >= 0);
    if (index >= static_cast<int>(m_acq_states.size()))
        m_acq_states.resize(index + 1, VOKR_ACQ_NOT_RUNNING);
    return m_acq_states[index];
}

int VOKR_TX_MANAGER::acq_state(int index) const
{
    return index >= 0 && index < static_cast<int>(m_acq_states.size()) ? m_acq_states[index] : VOKR_ACQ_NOT_RUNNING;
}

// Undo and Redo wait while the current instance acquires.
void VOKR_TX_MANAGER::set_instance_acq_state(int index, int mask)
{
    acq_state(resolved(index)) = mask & VOKR_ACQ_STORED_BITS;
    if (m_frame_wnd) {
        on_update_edit_undo();
        on_update_edit_redo();
    }
}

bool VOKR_TX_MANAGER::is_instance_acquiring(int index) const
{
    return !is_empty() && is_acquiring_state(acq_state(resolved(index)));
}

bool VOKR_TX_MANAGER::is_any_instance_acquiring() const
{
    if (!m_tx_session || is_empty())
        return false;
    for (int i = 0; i < m_tx_session->get_num_instances(); ++i)
        if (is_acquiring_state(acq_state(i)))
            return true;
    return false;
}

bool VOKR_TX_MANAGER::is_instance_of_entry_acquiring(int index) const
{
    if (is_empty())
        return false;
    int first = resolved(index);
    if (m_tx_session->is_power_up_view(first))
        --first;
    const int last = m_tx_session->is_power_up_trigger(first) ? first + 1 : first;
    for (int entry = first; entry <= last; ++entry)
        if (is_acquiring_state(acq_state(entry)))
            return true;
    return false;
}

bool VOKR_TX_MANAGER::refuse_edit_while_acquiring()
{
    if (!is_instance_of_entry_acquiring(-1))
        return false;
    vokr_prompt(vokr_msg_cant_close_lmx_file());
    return true;
}

// ---- checks -----------------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::check_nodes_allocated(int instance)
{
    if (is_empty())
        return true;
    KSM_TX_TRIGGER* trigger = trigger_at(instance);
    KSM_TX_SIGNAL_SET* signals_ = signal_set_at(instance);
    const bool uses_nodes = trigger->get_data_nodes_used() > 0 || trigger->get_trigger_nodes_used() > 0;
    const char* clock = signals_->get_clock_name();
    if (uses_nodes && (!clock || !*clock))
        vokr_prompt(vokr_msg_missing_lumetra_clock_assignment_item());
    return true;
}

bool VOKR_TX_MANAGER::check_flow_for_run(int instance)
{
    KSM_TX_TRIGGER* trigger = is_empty() ? nullptr : trigger_at(instance);
    std::string message;
    int line = 0;
    if (!trigger || !trigger->is_state_based() || trigger->check_state_machine(&message, &line))
        return true;
    const KSM_TX_INSTANCE* entry = get_instance_at(instance < 0 ? m_current_instance : instance);
    const QByteArray text = QString(
                                "Cannot run instance \"%1\" -- its state-based trigger flow has an error in "
                                "line %2: %3")
                                .arg(QString::fromLocal8Bit(entry ? entry->get_name() : ""))
                                .arg(line)
                                .arg(QString::fromLocal8Bit(message.c_str()))
                                .toLocal8Bit();
    auto* notice = new MSG_O;
    notice->fill_args("%1!s!/OVOKR_FLOW_NOT_RUN", text.constData());
    vokr_prompt(notice);
    return false;
}

// An advanced level whose diagram gives no equation (an operator short of inputs, a result with
// two) would be compiled as something other than what the canvas shows: the run is refused, with
// the level named.
bool VOKR_TX_MANAGER::check_advanced_for_run(int instance)
{
    if (is_empty())
        return true;
    const int entry = instance < 0 ? m_current_instance : instance;
    for (int level = 0; level < trigger_at(entry)->get_num_levels(); ++level) {
        if (!has_advanced_equation(entry, level)) {
            vokr_prompt(vokr_msg_error_in_advanced_trigger(level + 1, m_tx_session->get_instance_name_at(entry)));
            return false;
        }
    }
    return true;
}

// ---- trigger levels ---------------------------------------------------------------------------------------

int VOKR_TX_MANAGER::get_trigger_level_type(int level, int instance) const
{
    if (is_empty())
        return KSM_LTYPE_BASIC_AND;
    KSM_TX_TRIGGER* trigger = trigger_at(instance);
    if (level >= 0)
        return trigger->get_level_type(level);
    VOKR_ASSERT_TEXT(level >= FIRST_PATTERN_LEVEL, "nLevelIndex >= -3 && nLevelIndex <= -1");
    const KSM_DATA_STORAGE_QUALIFIER_TYPE wanted =
        level == FIRST_PATTERN_LEVEL ? KSM_SQTYPE_CONDITIONAL : KSM_SQTYPE_START_STOP;
    if (trigger->get_storage_qualifier_type() != wanted)
        return KSM_LTYPE_BASIC_AND;
    return trigger->get_pattern_type(level + KSM_NUM_PATTERNS);
}

bool VOKR_TX_MANAGER::is_advanced_trigger(int level, int instance) const
{
    return get_trigger_level_type(level, instance) == KSM_LTYPE_ADVANCED;
}

// Reads every node's condition on every level and pattern once, as the repository expects
// after a session is opened.
void VOKR_TX_MANAGER::initialize_group_conditions()
{
    for (int i = 0; !is_empty() && i < m_tx_session->get_num_instances(); ++i) {
        KSM_TX_TRIGGER* trigger = m_tx_session->get_trigger_at(i);
        for (int node = 0; trigger && node < trigger->get_num_nodes(); ++node) {
            for (int level = 0; level < trigger->get_num_levels(); ++level)
                trigger->get_trigger_condition(node, level);
            for (int pattern = 0; pattern < KSM_NUM_PATTERNS; ++pattern)
                trigger->get_pattern_condition(node, pattern);
        }
    }
}
