// VOKR_INSTANCE_WIDGET: the posted acquisition state events, the window's status line and the
// status help.
#include "vokr_instance_widget.h"

#include "daw.h"
#include "jop.h"
#include "ksm.h"
#include "thr.h"
#include "vokr_control_cmd_ela_int.h"
#include "vokr_frame_wnd.h"
#include "vokr_globals.h"
#include "vokr_msg.h"
#include "vokr_status_texts.h"
#include "vokr_tx_manager.h"
#include "vokr_update_state_event.h"

#include <QAction>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>

namespace {

constexpr uint32_t POWER_UP_BIT = 0x2000000;
constexpr uint32_t STATE_DATA_READY = 0x400000;
constexpr uint32_t STATE_STARTED = 0x800000;

QBrush brush(int id) { return pirq_get_brush(id); }
QBrush not_running_brush() { return QBrush(pirq_get_color(298)); }

const QString* const JTAG_ERRORS[] = {&VOKR_JTAG_ERR_VERSION_DIFF,     &VOKR_JTAG_ERR_NO_HARDWARE,
                                      &VOKR_JTAG_ERR_HANDWARE_CHANGED, &VOKR_JTAG_ERR_HANDWARE_BUSY,
                                      &VOKR_JTAG_ERR_NO_ZLM_NODE,      &VOKR_JTAG_ERR_JTAG_ERROR,
                                      &VOKR_JTAG_ERR_SIF_INCOMPATIBLE, &VOKR_JTAG_ERR_VERSION_MISMATCH};

}  // namespace

bool VOKR_INSTANCE_WIDGET::event(QEvent* e)
{
    if (e->type() != VOKR_UPDATE_STATE_EVENT::TYPE)
        return QFrame::event(e);
    on_state_event(*static_cast<VOKR_UPDATE_STATE_EVENT*>(e));
    return true;
}

// Everything is read from the event's own copy: the sender may have been notified again, or be
// gone. The state is stored and an ending handled whether or not the entry has a row.
void VOKR_INSTANCE_WIDGET::on_state_event(const VOKR_UPDATE_STATE_EVENT& e)
{
    const uint32_t mask = e.get_state();
    const int entry = e.get_entry();
    KSM_DATA_LOG* log = mask & STATE_DATA_READY ? find_log(entry, e.get_extra()) : nullptr;
    if (log && log->is_gui_update_skipped())
        return;
    const uint32_t state = mask & VOKR_ACQ_STORED_BITS;
    const bool power_up = mask & POWER_UP_BIT;
    if (entry >= 0)
        m_tx_manager->set_instance_acq_state(entry, static_cast<int>(state));
    bool ended = false;
    const CELL cell = state_cell(state, power_up, static_cast<int32_t>(e.get_argument()), entry, &ended);
    QStandardItem* status = status_item(entry, power_up);
    if (status && !cell.text.isNull()) {
        QObject::disconnect(&m_model, &QStandardItemModel::itemChanged, this, &VOKR_INSTANCE_WIDGET::on_item_changed);
        status->setText(cell.text);
        status->setBackground(cell.brush);
        connect(&m_model, &QStandardItemModel::itemChanged, this, &VOKR_INSTANCE_WIDGET::on_item_changed);
    }
    const bool current = is_current_or_its_power_up(entry);
    if (state == STATE_DATA_READY && log)
        on_data_ready(entry, log, current, power_up);
    else if (state == STATE_STARTED)
        on_acquisition_started(mask, current);
    if (ended)
        on_acquisition_ended(e, current);
    enable_check_boxes();
    on_selection_changed();
}

VOKR_INSTANCE_WIDGET::CELL VOKR_INSTANCE_WIDGET::state_cell(uint32_t state, bool power_up, int argument, int entry,
                                                            bool* ended)
{
    switch (state) {
    case 0x80000: {
        *ended = true;
        if (argument >= 1 && argument <= 8)
            return {*JTAG_ERRORS[argument - 1], brush(5)};
        return {VOKR_NOT_RUNNING, not_running_brush()};
    }
    case 0x40000: *ended = true; return {VOKR_NOT_RUNNING, not_running_brush()};
    case 0x200000: return {power_up ? VOKR_POWERUP_WAITING_FOR_CLOCK : VOKR_WAITING_FOR_CLOCK, brush(8)};
    case 0x1000000: return {VOKR_JTAG_COMMUNICATION_BUSY, brush(8)};
    case 0x4000:
        return {power_up ? VOKR_POWERUP_ACQUIRING_PRE_TRIGGER_DATA : VOKR_ACQUIRING_PRE_TRIGGER_DATA,
                power_up ? vokr_light_blue_brush() : brush(4)};
    case 0x10000:
        emit m_tx_manager->updated(nullptr, VOKR_HINT_VIEW);
        return {power_up ? VOKR_POWERUP_ACQUIRING_POST_TRIGGER_DATA : VOKR_ACQUIRING_POST_TRIGGER_DATA,
                power_up ? vokr_light_blue_brush() : brush(4)};
    case 0x20000:
        return {power_up ? VOKR_POWERUP_OFFLOADING_DATA : VOKR_OFFLOADING_DATA,
                power_up ? vokr_light_blue_brush() : brush(4)};
    case 0x2000:
    case 0x8000: return trigger_progress_cell(power_up, argument, entry);
    default: return {};
    }
}

VOKR_INSTANCE_WIDGET::CELL VOKR_INSTANCE_WIDGET::trigger_progress_cell(bool power_up, int argument, int entry)
{
    if (argument < 0) {
        QString name;
        m_tx_manager->get_state_name(-argument - 1, &name, entry);
        emit m_tx_manager->updated(nullptr, VOKR_HINT_VIEW);
        return {QString("Currently in state %1: %2").arg(-argument).arg(name), brush(4)};
    }
    const bool trigger_in = !m_tx_manager->is_empty() && m_tx_manager->is_trigger_in_enabled(-1);
    const int level = std::max(0, argument - (trigger_in ? 0 : 1));
    if (level == 0)
        return power_up ? CELL{VOKR_POWERUP_WAITING_FOR_TRIGGER, vokr_light_blue_brush()}
                        : CELL{VOKR_WAITING_FOR_TRIGGER, brush(4)};
    if (level == 1 && trigger_in)
        return {VOKR_TRIGGER_IN_MET, brush(4)};
    return {QString("Trigger level %1 met").arg(level - (trigger_in ? 1 : 0)), brush(4)};
}

// The log the control reported, if the entry's trigger still holds it.
KSM_DATA_LOG* VOKR_INSTANCE_WIDGET::find_log(int entry, uint64_t extra) const
{
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    const KSM_TX_TRIGGER* trigger = session && entry >= 0 ? session->get_trigger_at(entry) : nullptr;
    for (int i = 0; trigger && i < trigger->get_num_logs(); ++i)
        if (reinterpret_cast<uint64_t>(trigger->get_log(i)) == extra)
            return trigger->get_log(i);
    return nullptr;
}

// A power-up acquisition tells its state in the "Power-Up Trigger" row, where the instance has one.
QStandardItem* VOKR_INSTANCE_WIDGET::status_item(int entry, bool power_up) const
{
    QStandardItem* row = find_instance_item(entry);
    if (!row)
        return nullptr;
    return power_up && row->child(0, STATUS) ? row->child(0, STATUS) : m_model.item(row->row(), STATUS);
}

bool VOKR_INSTANCE_WIDGET::is_current_or_its_power_up(int entry) const
{
    const int current = m_tx_manager->get_current_instance_index();
    return entry == current || (current == entry + 1 && !m_tx_manager->is_empty() &&
                                m_tx_manager->get_session()->is_power_up_view(current));
}

void VOKR_INSTANCE_WIDGET::on_data_ready(int entry, KSM_DATA_LOG* log, bool current, bool power_up)
{
    m_tx_manager->set_view_log(entry, log);
    if (!current)
        return;
    notify_all({VOKR_HINT_POWER_UP_SWITCH | VOKR_HINT_TABS | (power_up ? VOKR_HINT_POWER_UP_DIRECTION : 0u)});
    notify_all({!log->is_global_temp() && m_tx_manager->is_setup_mode() ? VOKR_HINT_REFRESH | VOKR_HINT_NO_REPAINT
                                                                        : VOKR_HINT_REFRESH_VIEW});
    if (!m_tx_manager->is_sequential_mode(-1))
        notify_all({VOKR_HINT_VIEW});
}

void VOKR_INSTANCE_WIDGET::on_acquisition_started(uint32_t mask, bool current)
{
    if (current)
        notify_all({VOKR_HINT_ACQUISITION_STARTED | VOKR_HINT_JTAG | VOKR_HINT_DATA_LOG | VOKR_HINT_CONFIG,
                    VOKR_HINT_REFRESH_VIEW | VOKR_HINT_NO_REPAINT | VOKR_HINT_ADVANCED});
    else
        notify_all({VOKR_HINT_ACQUISITION_STARTED | VOKR_HINT_JTAG});
    notify_all({mask | VOKR_HINT_INSTANCE_STATUS});
}

// The registry decides: a callback is deleted by the first ending event that names it while
// it lives; later events of the same acquisition find it gone. A run that ended before its
// capture reached its log (stopped, or a device's error) leaves no empty log entry behind.
void VOKR_INSTANCE_WIDGET::on_acquisition_ended(const VOKR_UPDATE_STATE_EVENT& e, bool current)
{
    const auto live = m_live_callbacks.find(e.get_sender());
    if (live != m_live_callbacks.end() && live.value().serial == e.get_serial()) {
        KSM_DATA_LOG* log = find_log(e.get_entry(), reinterpret_cast<uint64_t>(live.value().log));
        delete live.key();
        m_live_callbacks.erase(live);
        if (m_tx_manager->remove_unfilled_log(e.get_entry(), log))
            notify_all({VOKR_HINT_DATA_LOG});
    }
    notify_all({e.get_state() | (current ? VOKR_HINT_STATUS_REFRESH_ALL : VOKR_HINT_STATUS_REFRESH_INSTANCES)});
    if (!m_tx_manager->is_any_instance_acquiring())
        notify_all({VOKR_HINT_STATUS | VOKR_HINT_JTAG});
}

void VOKR_INSTANCE_WIDGET::enable_check_boxes()
{
    const bool idle = !m_tx_manager->is_any_instance_acquiring();
    QObject::disconnect(&m_model, &QStandardItemModel::itemChanged, this, &VOKR_INSTANCE_WIDGET::on_item_changed);
    for (int r = 0; r < m_model.rowCount(); ++r)
        m_model.item(r, ENABLED)->setEnabled(idle);
    connect(&m_model, &QStandardItemModel::itemChanged, this, &VOKR_INSTANCE_WIDGET::on_item_changed);
}

// ---- status line --------------------------------------------------------------------------------------------

void VOKR_INSTANCE_WIDGET::on_update(QObject*, int hint)
{
    if (!(hint & VOKR_HINT_INSTANCES))
        return;
    if (hint & VOKR_HINT_JTAG_BUSY) {
        set_status_line(VOKR_WAITING_FOR_JTAG, vokr_yellow_palette());
        on_selection_changed();
        return;
    }
    update_instance_list();
    if (hint & VOKR_HINT_PROGRAMMED)
        clear_device_errors();
    update_resource_usage();
    update_status_line();
    on_selection_changed();
    const bool show = VOKR_TX_MANAGER::cfg_show_duplicate_buttons();
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_run_button, m_repeat_button, m_stop_button, m_read_button, m_status_line})
        w->setVisible(show);
}

void VOKR_INSTANCE_WIDGET::update_status_line()
{
    QString chain, device;
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    if (!m_tx_manager->get_jtag_hardware(&chain) || !m_tx_manager->get_jtag_device(&device))
        return set_status_line(VOKR_INVALID_JTAG_CONFIGURATION, vokr_yellow_palette());
    if (m_tx_manager->get_current_instance_index() < 0 || session->get_num_instances() == 0)
        return set_status_line(VOKR_NO_INSTANCES, vokr_yellow_palette());
    const KSM_TX_SIGNAL_NODES* shown = m_tx_manager->is_empty() ? nullptr : m_tx_manager->get_nodes(-1);
    if (!shown || shown->get_num_nodes() == 0)
        return set_status_line(VOKR_NO_NODES, vokr_yellow_palette());
    bool recompile = false, reroute = false;
    if (m_tx_manager->is_compile_or_reroute_needed(&recompile, &reroute)) {
        const bool full = JOP_INSTANCE_BUILDER::design_contains_partial_reconfig();
        return set_status_line(full        ? VOKR_COMPILE_DESIGN
                               : recompile ? VOKR_RECOMPILE_DESIGN
                                           : VOKR_REROUTE_DESIGN,
                               vokr_red_palette());
    }
    if (m_tx_manager->is_any_instance_acquiring())
        return set_status_line(VOKR_ACQUISITION_IN_PROGRESS, vokr_green_palette());
    DAW_CONTROL_NODES_SCAN scan;
    scan.set_hardware_name(chain.toLocal8Bit().constData());
    scan.set_device_name(device.toLocal8Bit().constData());
    scan.rescan();
    if (!scan.is_device_available() || scan.is_jtag_comm_error())
        return set_status_line(VOKR_INVALID_JTAG_CONFIGURATION, vokr_yellow_palette());
    // The device is programmed from the programming file that a compile writes and names.
    QString file;
    if (m_tx_manager->is_program_needed(&scan))
        return set_status_line(
            m_tx_manager->get_sif_file_name(&file) && !file.isEmpty() ? VOKR_PROGRAM_DEVICE : VOKR_COMPILE_DESIGN,
            vokr_red_palette());
    set_status_line(VOKR_READY_TO_ACQUIRE, vokr_transparent_palette());
}

// A row that tells a JTAG error of a run that ended before the device was programmed is not
// running, as any ended run: the error described the device as it was.
void VOKR_INSTANCE_WIDGET::clear_device_errors()
{
    QObject::disconnect(&m_model, &QStandardItemModel::itemChanged, this, &VOKR_INSTANCE_WIDGET::on_item_changed);
    for (int r = 0; r < m_model.rowCount(); ++r) {
        QStandardItem* status = m_model.item(r, STATUS);
        const auto is_shown = [status](const QString* error) { return status->text() == *error; };
        if (std::any_of(std::begin(JTAG_ERRORS), std::end(JTAG_ERRORS), is_shown)) {
            status->setText(VOKR_NOT_RUNNING);
            status->setBackground(not_running_brush());
        }
    }
    connect(&m_model, &QStandardItemModel::itemChanged, this, &VOKR_INSTANCE_WIDGET::on_item_changed);
}

void VOKR_INSTANCE_WIDGET::set_status_line(const QString& text, const QPalette& palette)
{
    m_status_line->setText(text);
    m_status_line->setPalette(palette);
}

// ---- status help ---------------------------------------------------------------------------------------------

void VOKR_INSTANCE_WIDGET::on_instance_status_help()
{
    const QList<QStandardItem*> rows = selected_row_items();
    if (rows.size() != 1)
        return;
    QStandardItem* row = rows.first()->data(POWER_UP_ROLE).toBool() ? rows.first()->parent() : rows.first();
    show_help(m_model.item(row->row(), STATUS)->text(), true);
}

void VOKR_INSTANCE_WIDGET::on_ela_status_help() { show_help(m_status_line->text(), false); }

// Help is a convenience: a text without a message, or a missing help library, shows nothing.
void VOKR_INSTANCE_WIDGET::show_help(const QString& text, bool instance_text)
{
    if (text.isEmpty())
        return;
    std::unique_ptr<MSG_POST> built;
    MSG_BASE* message = nullptr;
    if (instance_text && (text.startsWith("Trigger level ") || text.startsWith("Currently in state "))) {
        built.reset(vokr_msg_trigger_level());
        message = built.get();
    } else {
        message = VOKR_TEXT_TO_MSG_MAP.value(text);
    }
    static THR_DRL_HANDLE library = thr_drl_load("sys_rafq");
    if (!message || !library)
        return;
    using SHOW_HELP = void (*)(const std::string&);
    if (auto show = reinterpret_cast<SHOW_HELP>(thr_drl_find_function(library, "rafq_dyn_show_msg_help_impl")))
        show(message->get_help_id());
}
