// The manager's data logs: reading captured samples for the node list and waveform view,
// making a log the instance's active one, saving the settings as a log entry, and the data
// log tree's choosing, renaming, removing and expanding of entries.
#include "vokr_tx_manager.h"

#include "vokr_assert.h"
#include "vokr_bus_wave.h"
#include "vokr_msg.h"
#include "vokr_number.h"

#include <algorithm>

namespace {

// Rows above the first node row in the views that count rows by view position.
constexpr int VIEW_HEADER_ROWS = 3;

// Writes the samples of `bit` into `out`: all `depth` of them for sample -1, else the window
// {s - 1, s, s + 1} with both ends held inside 0..depth - 1; a sample outside the log leaves
// the window cleared. Only the samples asked for are read.
template <class BIT> void fill_samples(bool* out, int sample, int depth, BIT bit)
{
    if (sample == -1) {
        for (int s = 0; s < depth; ++s)
            out[s] = bit(s);
        return;
    }
    std::fill(out, out + 3, false);
    if (sample < 0 || sample >= depth)
        return;
    out[0] = bit(std::max(sample - 1, 0));
    out[1] = bit(sample);
    out[2] = bit(std::min(sample + 1, depth - 1));
}

// The number of member rows right after a bus row: the bus's bits.
int bus_width(const KSM_TX_SIGNAL_SET* set, int bus)
{
    int width = 0;
    for (int row = bus + 1; row < set->get_num_nodes(); ++row, ++width) {
        const KSM_DATA_NODE_DISPLAY_TYPE kind = set->get_display_type(row);
        if (kind != KSM_NTYPE_MEMBER && kind != KSM_NTYPE_LAST_MEMBER)
            break;
    }
    return width;
}

// Whether any bit of the bus differs between the sample and the one before it.
bool column_changed(const VOKR_BIT_ROWS& bits, int sample)
{
    for (int i = 0; i < bits.width; ++i)
        if (bits.rows[i][sample] != bits.rows[i][sample - 1])
            return true;
    return false;
}

// The text a name gives the repository: null for an empty name.
const char* or_null(const QByteArray& bytes) { return bytes.isEmpty() ? nullptr : bytes.constData(); }
bool is_blank(const char* text) { return !text || !*text; }

}  // namespace

// ---- queries --------------------------------------------------------------------------------------------

KSM_DATA_LOG* VOKR_TX_MANAGER::active_log(int instance) const
{
    if (instance == -1)
        return m_data_log;
    return m_tx_session ? m_tx_session->get_log_at(instance) : nullptr;
}

const char* VOKR_TX_MANAGER::get_log() const { return m_data_log ? m_data_log->get_name() : nullptr; }

const char* VOKR_TX_MANAGER::get_log_name_at(int instance, int signal_set, int trigger, int log) const
{
    KSM_DATA_SESSION* data = m_tx_session ? m_tx_session->get_data_session() : nullptr;
    KSM_DATA_INSTANCE* i = data ? data->get_instance(instance) : nullptr;
    KSM_DATA_SIGNAL_SET* s = i ? i->get_signal_set(signal_set) : nullptr;
    KSM_DATA_TRIGGER* t = s ? s->get_trigger(trigger) : nullptr;
    KSM_DATA_LOG* l = t ? t->get_log(log) : nullptr;
    return l ? l->get_name() : nullptr;
}

int VOKR_TX_MANAGER::get_num_logs(int instance, int signal_set, int trigger) const
{
    KSM_DATA_SESSION* data = m_tx_session ? m_tx_session->get_data_session() : nullptr;
    KSM_DATA_INSTANCE* i = data ? data->get_instance(instance) : nullptr;
    KSM_DATA_SIGNAL_SET* s = i ? i->get_signal_set(signal_set) : nullptr;
    KSM_DATA_TRIGGER* t = s ? s->get_trigger(trigger) : nullptr;
    return t ? t->get_num_logs() : 0;
}

bool VOKR_TX_MANAGER::get_logging() const { return m_tx_session && m_tx_session->is_gui_logging_enabled(); }

bool VOKR_TX_MANAGER::is_data_available(bool flag, int instance, KSM_DATA_LOG** log) const
{
    KSM_DATA_LOG* found = is_empty() ? nullptr : active_log(instance);
    if (log)
        *log = found;
    return found && found->is_data_available(flag);
}

bool VOKR_TX_MANAGER::get_data_sample_depth(int* depth, int instance) const
{
    *depth = 0;
    if (is_empty())
        return false;
    KSM_DATA_LOG* log = active_log(instance);
    if (log && log->is_data_available(true)) {
        *depth = log->get_data_sample_depth();
        return true;
    }
    *depth = signal_set_at(instance)->get_sample_depth();
    return false;
}

int VOKR_TX_MANAGER::get_data_segment_size() const
{
    if (is_empty())
        return 0;
    if (m_data_log && m_data_log->is_data_available(false))
        return m_data_log->get_data_segment_size();
    return m_tx_trigger && m_tx_trigger->is_segmented() ? m_tx_trigger->get_segment_size() : 0;
}

// ---- samples --------------------------------------------------------------------------------------------

// The active log when its samples can be read, with the depth to read them to; null otherwise.
KSM_DATA_LOG* VOKR_TX_MANAGER::readable_log(bool flag, int instance, int* depth) const
{
    get_data_sample_depth(depth, instance);
    KSM_DATA_LOG* log = is_empty() ? nullptr : active_log(instance);
    return log && log->is_data_available(flag) ? log : nullptr;
}

bool VOKR_TX_MANAGER::get_wave(int node, bool* wave, int sample, bool flag, int instance) const
{
    int depth = 0;
    KSM_DATA_LOG* log = readable_log(flag, instance, &depth);
    if (!log)
        return false;
    KSM_TX_SIGNAL_SET* set = signal_set_at(instance);
    const int channel = set->get_channel(node);
    if (channel == -1 || !log->get_connection_status(channel))
        return false;
    const bool inverted = set->is_signal_inverted(node);
    fill_samples(wave, sample, depth, [log, channel, inverted](int s) { return log->get_bit(channel, s) != inverted; });
    return true;
}

bool VOKR_TX_MANAGER::get_wave_mask(bool* mask, int sample, bool flag, int instance) const
{
    int depth = 0;
    KSM_DATA_LOG* log = readable_log(flag, instance, &depth);
    if (!log)
        return false;
    fill_samples(mask, sample, depth, [log](int s) { return log->is_bit_valid(s); });
    return true;
}

int VOKR_TX_MANAGER::get_wave_count(int row) const
{
    KSM_TX_SIGNAL_NODES* list = is_empty() ? nullptr : get_nodes(-1);
    const int node = row - VIEW_HEADER_ROWS;
    if (!list || node < 0 || node >= list->get_num_nodes())
        return 0;
    return list->get_last_child_index(node) - node;
}

// ---- the active log -------------------------------------------------------------------------------------

void VOKR_TX_MANAGER::set_view_log(int instance, KSM_DATA_LOG* log)
{
    VOKR_ASSERT_TEXT(instance >= 0, "instance_index >= 0");
    VOKR_ASSERT_TEXT(log != nullptr, "log != NULL");
    m_tx_session->set_active_log(instance, log);
    const bool power_up_partner =
        m_current_instance == instance + 1 && m_tx_session->is_power_up_view(m_current_instance);
    if (instance == m_current_instance || power_up_partner)
        refresh_tx_cache();
    update_modified_flag();
    build_static_plugin_tables(instance, log);
    log->end_post_acq_processing();
}

// Gives the log a table per plug-in bus with the plug-in's symbol of every value the bus takes
// in the capture.
void VOKR_TX_MANAGER::build_static_plugin_tables(int instance, KSM_DATA_LOG* log)
{
    int depth = 0;
    get_data_sample_depth(&depth, instance);
    KSM_TX_SIGNAL_SET* set = signal_set_at(instance);
    for (int bus = 0; bus < set->get_num_nodes(); ++bus) {
        if (set->get_group_display_type(bus) != KSM_GTYPE_PLUGIN)
            continue;
        const int width = bus_width(set, bus);
        bool fetched = width > 0 && depth > 0;
        for (int member = 0; fetched && member < width; ++member)
            fetched = get_wave(bus + 1 + member, VOKR_BUS_WAVE::row(member, depth), -1, true, instance);
        if (!fetched)
            continue;
        KSM_DATA_MNEMONICS_TABLE* table = log->create_static_plugin_mnemonics_table(width, set->get_node_name(bus));
        const VOKR_BIT_ROWS bits = VOKR_BUS_WAVE::bit_rows(width);
        for (int sample = 0; sample < depth; ++sample) {
            if (sample > 0 && !column_changed(bits, sample))
                continue;  // a value held over several samples is looked up once
            const QByteArray value = VOKR_NUMBER(bits, sample).binary_string(false);
            QString symbol;
            if (!get_node_mnemonics_symbol(bus, QString::fromLatin1(value), &symbol, set))
                symbol.clear();
            if (!symbol.isEmpty() && !table->get_first_symbol(value.constData()))
                table->add_entry(symbol.toLocal8Bit().constData(), value.constData());
        }
    }
}

// ---- log entries ----------------------------------------------------------------------------------------

void VOKR_TX_MANAGER::save_to_log()
{
    if (is_empty())
        return;
    if (m_tx_trigger->get_data_nodes_used() == 0 && m_tx_signals->get_data_nodes_allocated() == 0)
        vokr_prompt(vokr_msg_zero_input("Data"));
    if (m_tx_trigger->get_trigger_nodes_used() == 0 && m_tx_signals->get_trigger_nodes_allocated() == 0)
        vokr_prompt(vokr_msg_zero_input("Trigger"));
    if (!check_nodes_allocated(m_current_instance))
        return;
    const bool saved = m_tx_session->save_to_log(m_current_instance);
    refresh_data_log_cache();
    if (saved) {
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_DATA_LOG | VOKR_HINT_CONFIG));
        update_modified_flag();
    }
}

bool VOKR_TX_MANAGER::set_active(const QString& signal_set, const QString& trigger, const QString& log)
{
    if (is_empty())
        return false;
    if (m_tx_instance && m_tx_instance->is_modified() &&
        vokr_prompt(vokr_msg_no_undo_support()) != MSG_PROMPT::MSG_VALUE_YES)
        return false;
    // A power-up entry shares its instance's tree: the choice is made on the instance's entry,
    // and the power-up entry is current again afterwards while the instance still has one.
    const bool lowered = m_tx_session->is_power_up_view(m_current_instance);
    if (lowered)
        --m_current_instance;
    const QByteArray s = signal_set.toLocal8Bit(), t = trigger.toLocal8Bit(), l = log.toLocal8Bit();
    const bool rc = m_tx_session->set_active(m_current_instance, or_null(s), or_null(t), or_null(l));
    VOKR_ASSERT(rc);
    if (lowered && m_tx_session->is_power_up_trigger(m_current_instance))
        ++m_current_instance;
    refresh_tx_cache();
    update_modified_flag();
    check_node_validity(-1);
    open_plugin_mnemonic_tables();
    return true;
}

void VOKR_TX_MANAGER::set_expanded(bool expanded, const QString& instance, const QString& signal_set,
                                   const QString& trigger)
{
    KSM_DATA_SESSION* data = m_tx_session ? m_tx_session->get_data_session() : nullptr;
    KSM_DATA_INSTANCE* i = data ? data->find_instance(instance.toLocal8Bit().constData()) : nullptr;
    if (!i)
        return;
    if (signal_set.isEmpty()) {
        i->set_expanded(expanded);
        return;
    }
    KSM_DATA_SIGNAL_SET* s = i->find_signal_set(signal_set.toLocal8Bit().constData());
    if (!s)
        return;
    if (trigger.isEmpty()) {
        s->set_expanded(expanded);
        return;
    }
    if (KSM_DATA_TRIGGER* t = s->find_trigger(trigger.toLocal8Bit().constData()))
        t->set_expanded(expanded);
}

void VOKR_TX_MANAGER::rename_log_set(const char* new_name, const char* log, const char* trigger, const char* signal_set)
{
    KSM_TX_SIGNAL_SET* s = m_tx_instance ? m_tx_instance->find_signal_set(signal_set) : nullptr;
    KSM_TX_TRIGGER* t = s ? s->find_trigger(trigger) : nullptr;
    KSM_DATA_LOG* l = t ? t->find_log(log) : nullptr;
    if (!l || is_blank(new_name))
        return;
    if (!l->set_name(new_name)) {
        vokr_prompt(vokr_msg_duplicate_name());
        return;
    }
    m_tx_session->set_undoable_modified_flag();
    update_modified_flag();
    emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_DATA_LOG));
}

void VOKR_TX_MANAGER::remove_log_tree_item(const char* signal_set, const char* trigger, const char* log)
{
    if (is_blank(signal_set)) {
        remove_instance(m_current_instance);
        return;
    }
    const char* trigger_name = is_blank(trigger) ? nullptr : trigger;
    const char* log_name = is_blank(log) ? nullptr : log;
    if (!trigger_name)
        VOKR_ASSERT_TEXT(log_name == nullptr, "log_name == NULL");
    // A signal set or trigger the repository keeps is refused by the data log tree before it
    // asks; a request for one removes nothing.
    const bool shown = m_data_log && log_name && m_data_log->get_trigger() == m_tx_trigger &&
                       QByteArray(m_data_log->get_name()) == log_name;
    if (!m_tx_session || !m_tx_session->remove(m_current_instance, signal_set, trigger_name, log_name))
        return;
    // The shown log gone, the trigger's latest remaining log is shown in its place.
    KSM_TX_TRIGGER* active = m_tx_session->get_trigger_at(m_current_instance);
    if (shown && active && active->get_num_logs() > 0 && !m_tx_session->get_log_at(m_current_instance))
        m_tx_session->set_active_log(m_current_instance, active->get_log(active->get_num_logs() - 1));
    refresh_tx_cache();
    update_modified_flag();
}

bool VOKR_TX_MANAGER::is_log_tree_item_kept(const char* signal_set, const char* trigger) const
{
    KSM_TX_INSTANCE* instance = m_tx_session ? m_tx_session->get_instance_at(m_current_instance) : nullptr;
    KSM_TX_SIGNAL_SET* set = instance ? instance->find_signal_set(signal_set) : nullptr;
    if (!set)
        return false;
    if (is_blank(trigger))
        return set == instance->get_active_signal_set();
    const KSM_TX_TRIGGER* t = set->find_trigger(trigger);
    return t && t == set->get_active_trigger();
}
