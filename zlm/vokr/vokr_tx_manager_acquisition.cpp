// VOKR_TX_MANAGER: starting and stopping acquisitions, the questions whether the design must be
// compiled or programmed again first, and the offload of captured samples into a new log.
#include "vokr_tx_manager.h"

#include "faj.h"
#include "jop.h"
#include "msg.h"
#include "vokr_assert.h"
#include "vokr_control_cmd_ela_int.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_msg.h"
#include "vokr_status_texts.h"
#include "vokr_view.h"

#include <QApplication>
#include <QMessageBox>

#include <algorithm>

namespace {

constexpr const char* RECOMPILE_QUESTION =
    "The design has changed. Do you wish to recompile before running the logic analyzer?";

// Yes, No or Cancel: from the person, or without one from the scripted answers (the prompt is
// kept in the message journal like every other).
MSG_PROMPT::MSG_VALUE ask_recompile(QWidget* parent)
{
    if (MSG_JOURNAL::is_interactive() && qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QMessageBox box(QMessageBox::Question, "Korvane", RECOMPILE_QUESTION,
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
        const int pressed = box.exec();
        return pressed == QMessageBox::Yes  ? MSG_PROMPT::MSG_VALUE_YES
               : pressed == QMessageBox::No ? MSG_PROMPT::MSG_VALUE_NO
                                            : MSG_PROMPT::MSG_VALUE_CANCEL;
    }
    const int answer = MSG_JOURNAL::take_answer(
        {MSG_PROMPT::MSG_VALUE_YES, MSG_PROMPT::MSG_VALUE_NO, MSG_PROMPT::MSG_VALUE_CANCEL}, RECOMPILE_QUESTION);
    MSG_RECORD record;
    record.event = "prompted";
    record.type = "YNC";
    record.text = RECOMPILE_QUESTION;
    record.answer = answer;
    MSG_JOURNAL::add(record);
    return answer == MSG_PROMPT::MSG_VALUE_YES || answer == MSG_PROMPT::MSG_VALUE_NO
               ? static_cast<MSG_PROMPT::MSG_VALUE>(answer)
               : MSG_PROMPT::MSG_VALUE_CANCEL;
}

// The condition of one member bit of a plug-in's trigger data text (most significant first).
KSM_DATA_TRIGGER_CONDITION bit_condition(const QString& data, int bit)
{
    const int at = data.size() - 1 - bit;
    const QChar c = at >= 0 ? data[at] : QChar('X');
    return c == '1' ? KSM_CTYPE_HIGH : c == '0' ? KSM_CTYPE_LOW : KSM_CTYPE_DONT_CARE;
}

}  // namespace

// ---- starting and stopping ----------------------------------------------------------------------------

int VOKR_TX_MANAGER::acquisition_entry(const DAW_CONTROL::ACQ_PARAMETER& parameter) const
{
    const auto* callback = dynamic_cast<const VOKR_CONTROL_CMD_ELA_INT*>(parameter.callback);
    return callback ? static_cast<int>(callback->get_instance_index()) : m_current_instance;
}

void VOKR_TX_MANAGER::run(std::vector<DAW_CONTROL::ACQ_PARAMETER>* parameters)
{
    VOKR_ASSERT(parameters != NULL);
    VOKR_ASSERT_TEXT(m_tx_session != NULL, "ksm_tx_session != NULL");
    // Every entry is checked before any log is made, anything compiled or the document saved:
    // a refusal leaves nothing behind.
    for (const DAW_CONTROL::ACQ_PARAMETER& p : *parameters)
        if (!check_nodes_allocated(acquisition_entry(p)) || !check_flow_for_run(acquisition_entry(p)) ||
            !check_advanced_for_run(acquisition_entry(p)))
            return;
    for (const DAW_CONTROL::ACQ_PARAMETER& p : *parameters)
        refresh_plugin_symbols(acquisition_entry(p));
    bool compatible = true;
    m_new_logs.clear();
    for (auto p = parameters->begin(); p != parameters->end();) {
        bool made = false;
        p->data_log = acquisition_log(acquisition_entry(*p), &made);
        if (made)
            m_new_logs.push_back(p->data_log);
        if (!p->data_log) {
            p = parameters->erase(p);
            continue;
        }
        compatible = compatible && jop_lmx_check_compatibility(p->data_log, true);
        ++p;
    }
    if (!m_tx_session->is_gui_logging_enabled())
        refresh_data_log_cache();
    if (parameters->empty())
        return;
    std::vector<int> entries;
    for (const DAW_CONTROL::ACQ_PARAMETER& p : *parameters)
        entries.push_back(acquisition_entry(p));
    if (compatible && !check_device_programmed(entries))
        remove_new_logs(parameters);
    else if (compatible)
        start_acquisition(parameters);
    else
        recompile(parameters);
}

void VOKR_TX_MANAGER::start_acquisition(std::vector<DAW_CONTROL::ACQ_PARAMETER>* parameters)
{
    if (!DAW_CONTROL::run(parameters)) {
        remove_new_logs(parameters);
        return;
    }
    for (const DAW_CONTROL::ACQ_PARAMETER& p : *parameters)
        set_instance_acq_state(acquisition_entry(p), VOKR_ACQ_STARTED);
    VOKR_VIEW* view = m_layout_widget ? m_layout_widget->get_current_view() : nullptr;
    if (view) {
        view->save_position_data();
        m_layout_widget->set_acquisition_started(true);
    }
    update_modified_flag();
}

// With logging on, every run or read records a new log entry. With logging off, the entry's
// trigger keeps one temporary log that each capture overwrites, made with the first of them.
// *made tells whether the log is new.
KSM_DATA_LOG* VOKR_TX_MANAGER::acquisition_log(int entry, bool* made)
{
    *made = true;
    if (m_tx_session->is_gui_logging_enabled())
        return m_tx_session->create_new_log(entry);
    const KSM_TX_TRIGGER* trigger = m_tx_session->get_trigger_at(entry);
    const bool power_up = m_tx_session->is_power_up_view(entry);
    for (int i = 0; trigger && i < trigger->get_num_logs(); ++i) {
        KSM_DATA_LOG* log = trigger->get_log(i);
        if (log->is_global_temp() && log->is_power_up() == power_up) {
            *made = false;
            return log;
        }
    }
    KSM_DATA_LOG* log = m_tx_session->create_new_log(entry);
    if (log)
        log->set_flags(log->is_power_up(), true, log->is_gui_update_skipped());
    return log;
}

// The log of a run that ended without a capture goes, unless it holds an earlier capture (the
// temporary log, an autorun's) or was made active meanwhile. True when it went.
bool VOKR_TX_MANAGER::remove_unfilled_log(int entry, KSM_DATA_LOG* log)
{
    if (!m_tx_session || !log || log->is_acquiring_data() || log->is_data_available(false) ||
        log == m_tx_session->get_log_at(entry))
        return false;
    log->remove();
    refresh_data_log_cache();
    update_modified_flag();
    return true;
}

// The logs made for a run that does not start: every entry's, not only the current one's. A
// temporary log that was there before stays.
void VOKR_TX_MANAGER::remove_new_logs(std::vector<DAW_CONTROL::ACQ_PARAMETER>* parameters)
{
    for (DAW_CONTROL::ACQ_PARAMETER& p : *parameters) {
        if (std::find(m_new_logs.begin(), m_new_logs.end(), p.data_log) != m_new_logs.end())
            p.data_log->remove();
        p.data_log = nullptr;
    }
    refresh_data_log_cache();
}

// Each entry's trigger is what the device the session names holds for its instance, else the
// person hears which instance to program (or compile first) before a run or a read starts: the
// run would end at once with the device's error, and the read would find no capture of that
// trigger. A device the scan does not reach is left to the run or read, which reports its JTAG
// error; a power-up trigger is held with its instance's own.
bool VOKR_TX_MANAGER::check_device_programmed(const std::vector<int>& entries)
{
    QString chain, device;
    get_jtag_hardware(&chain);
    get_jtag_device(&device);
    DAW_CONTROL_NODES_SCAN scan;
    scan.set_hardware_name(chain.toLocal8Bit().constData());
    scan.set_device_name(device.toLocal8Bit().constData());
    if (!scan.rescan() || !scan.is_device_available() || scan.is_jtag_comm_error())
        return true;
    for (int entry : entries) {
        const KSM_TX_INSTANCE* instance = m_tx_session->get_instance_at(entry);
        const KSM_TX_TRIGGER* trigger = m_tx_session->get_trigger_at(entry);
        if (!instance || !trigger || m_tx_session->is_power_up_view(entry) ||
            trigger->get_crc_value(false) == scan.get_node_crc_value(instance->get_node_info()))
            continue;
        QString file;
        const bool compiled = jop_lmx_check_compatibility(trigger, false);
        const QString step =
            compiled && get_sif_file_name(&file) && !file.isEmpty() ? VOKR_PROGRAM_DEVICE : VOKR_COMPILE_DESIGN;
        const QByteArray text =
            QString("Cannot run instance \"%1\" -- the device does not hold it as last compiled.  %2")
                .arg(QString::fromLocal8Bit(instance->get_name()), step)
                .toLocal8Bit();
        auto* notice = new MSG_O;
        notice->fill_args("%1!s!/OVOKR_DEVICE_NOT_PROGRAMMED", text.constData());
        vokr_prompt(notice);
        return false;
    }
    return true;
}

// A log does not fit the compiled design: ask whether to compile first, unless the user lets
// the editor recompile on its own.
void VOKR_TX_MANAGER::recompile(std::vector<DAW_CONTROL::ACQ_PARAMETER>* parameters)
{
    VOKR_ASSERT(!this->is_wizard_mode());
    MSG_PROMPT::MSG_VALUE answer = MSG_PROMPT::MSG_VALUE_YES;
    if (m_frame_wnd->can_start_flow() && !m_cfg_auto_recompile)
        answer = ask_recompile(m_frame_wnd);
    if (answer == MSG_PROMPT::MSG_VALUE_CANCEL) {
        remove_new_logs(parameters);
        return;
    }
    if (answer == MSG_PROMPT::MSG_VALUE_NO) {
        // Run as compiled: the accepted entries are acquiring like any other run's.
        start_acquisition(parameters);
        update_modified_flag();
        return;
    }
    // The empty logs go before the document is saved, so that the file does not keep them.
    remove_new_logs(parameters);
    if (!m_frame_wnd->save_modified(true))
        return;
    const bool fast = FAJ_RR_STATE_MANAGER::get_instance()->is_rapid_recompile_supported(false);
    m_frame_wnd->start_flow(fast ? FSTR_FLOW_FAST_RECOMPILATION : FSTR_FLOW_FULL_COMPILATION, "", true, false, true);
}

void VOKR_TX_MANAGER::stop(int index)
{
    KSM_TX_INSTANCE* instance = get_instance_at(index);
    VOKR_ASSERT_TEXT(instance != NULL, "return_value != NULL");
    DAW_CONTROL::stop(instance->get_data_instance());
}

// ---- plug-in symbols before a run -------------------------------------------------------------------------

void VOKR_TX_MANAGER::refresh_plugin_symbols(int entry)
{
    KSM_TX_TRIGGER* trigger = trigger_at(entry);
    KSM_TX_SIGNAL_NODES* lists[] = {trigger, signal_set_at(entry)};
    for (KSM_TX_SIGNAL_NODES* list : lists)
        for (int row = 0; list && row < list->get_num_nodes(); ++row)
            if (list->get_group_display_type(row) == KSM_GTYPE_PLUGIN && list->get_plugin_mnemonics(row))
                refresh_plugin_mnemonics(row, list);
    if (m_current_instance < 0 || !trigger)
        return;
    for (int row = 0; row < trigger->get_num_nodes(); ++row)
        for (int level = 0; level < trigger->get_num_levels(); ++level) {
            QString symbol;
            if (get_plugin_trigger_condition_symbol(&symbol, row, level, entry) && !symbol.isEmpty())
                write_plugin_condition(entry, row, level, symbol);
        }
}

// The plug-in's value of a symbol becomes the conditions of the bus's member rows at that level.
void VOKR_TX_MANAGER::write_plugin_condition(int entry, int row, int level, const QString& symbol)
{
    QString data;
    if (!get_plugin_trigger(&data, symbol.toLocal8Bit().constData(), row, entry) || data.isEmpty())
        return;
    KSM_TX_TRIGGER* trigger = trigger_at(entry);
    const int last = trigger->get_last_child_index(row);
    const int width = last - row;
    const bool lsb_first = trigger->get_lsb_to_msb(row);
    begin_action(entry);
    for (int k = 0; k < width; ++k)
        trigger->set_trigger_condition(row + 1 + k, level, bit_condition(data, lsb_first ? k : width - 1 - k));
    end_action(VOKR_CHECK_IN_POWER_UP_VIEW, entry);
}

// ---- state queries ----------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::is_acquiring_data() const { return m_data_log && m_data_log->is_acquiring_data(); }

bool VOKR_TX_MANAGER::is_stopped_at_trigger() const
{
    if (!m_data_log)
        return false;
    const int depth = m_data_log->get_data_sample_depth();
    const int position = m_data_log->get_data_trigger_position(-1);
    if (depth == 0 && position == 0)
        return true;
    return depth >= 1 && position >= 1;
}

bool VOKR_TX_MANAGER::get_connection_status(int node) const
{
    if (!m_data_log || !m_data_log->is_data_available(false))
        return false;
    VOKR_ASSERT_TEXT(m_tx_signals != NULL, "return_value");
    const int channel = m_tx_signals->get_channel(node);
    return channel >= 0 && m_data_log->get_connection_status(channel);
}

bool VOKR_TX_MANAGER::is_compile_or_reroute_needed(bool* compile, bool* reroute) const
{
    *compile = *reroute = false;
    if (m_current_instance < 0)
        return false;
    VOKR_ASSERT_TEXT(m_tx_session != NULL, "ksm_tx_session != NULL");
    for (int i = 0; i < m_tx_session->get_num_instances(); ++i) {
        KSM_TX_INSTANCE* instance = m_tx_session->get_instance_at(i);
        if (!instance || !instance->is_enabled())
            continue;
        const KSM_TX_TRIGGER* trigger = m_tx_session->get_trigger_at(i);
        if (trigger && !jop_lmx_check_compatibility(trigger, false)) {
            *compile = true;
            return true;
        }
        bool compile_here = false, reroute_here = false;
        m_tx_session->check_instance_compilation_type_at(i, &compile_here, &reroute_here);
        *compile = *compile || compile_here;
        *reroute = *reroute || reroute_here;
        if (*compile)
            return true;
    }
    return *compile || *reroute;
}

bool VOKR_TX_MANAGER::is_program_needed(DAW_CONTROL_NODES_SCAN* scan) const
{
    if (m_current_instance < 0)
        return false;
    VOKR_ASSERT_TEXT(m_tx_session != NULL, "ksm_tx_session != NULL");
    for (int i = 0; i < m_tx_session->get_num_instances(); ++i) {
        KSM_TX_INSTANCE* instance = m_tx_session->get_instance_at(i);
        const KSM_TX_TRIGGER* trigger = m_tx_session->get_trigger_at(i);
        // A power-up entry shares its instance's programmed checksum with the instance's own entry.
        if (!instance || !trigger || !instance->is_enabled() || m_tx_session->is_power_up_view(i))
            continue;
        if (trigger->get_crc_value(false) != scan->get_node_crc_value(instance->get_node_info()))
            return true;
    }
    return false;
}

// ---- offload ----------------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::read_data(int instance, bool* refused, uint32_t* jtag_error)
{
    if (refused)
        *refused = false;
    if (jtag_error)
        *jtag_error = 0;
    const int entry = resolved(instance);
    if (!m_tx_session || !check_nodes_allocated(entry))
        return false;
    if (!check_device_programmed({entry})) {
        if (refused)
            *refused = true;
        return false;
    }
    bool made = false;
    KSM_DATA_LOG* log = acquisition_log(entry, &made);
    if (!log)
        return false;
    PIRQ_WAIT_CURSOR wait;
    if (DAW_CONTROL::offload(log, refused, jtag_error)) {
        set_view_log(entry, log);
        emit updated(nullptr,
                     vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_POWER_UP_SWITCH | VOKR_HINT_TABS | VOKR_HINT_DATA_LOG));
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH_VIEW));
        return true;
    }
    if (made)  // a temporary log that was there before keeps its earlier capture
        log->remove();
    const bool power_up_entry =
        entry + 1 == m_current_instance && !is_empty() && m_tx_session->is_power_up_view(m_current_instance);
    if (entry == m_current_instance || power_up_entry)
        refresh_data_log_cache();
    return false;
}
