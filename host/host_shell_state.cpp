// The shell's read-back commands: what the editor's session holds, for scripts to check their
// results against.
#include "host_shell.h"

#include "ksm.h"
#include "vokr_frame_wnd.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"
#include "yuvr.h"

namespace {

Tcl_Obj* text(const QString& value) { return yuvr_new_utf8_obj(value.toStdString()); }
Tcl_Obj* text(const char* value) { return yuvr_new_utf8_obj(value ? value : ""); }

void put(Tcl_Obj* dict, const char* key, Tcl_Obj* value) { Tcl_DictObjPut(nullptr, dict, text(key), value); }

// Whether the current window holds a session; a window without one reads as empty.
bool has_session(Tcl_Interp* interp)
{
    VOKR_FRAME_WND* frame = host_shell_frame(interp);
    return frame && !frame->get_tx_manager()->is_empty();
}

// The current instance's data list ("data") or trigger list ("trigger"), or null with an error;
// null with an empty result (*empty set) in a window without a session.
KSM_TX_SIGNAL_NODES* node_list(Tcl_Interp* interp, const QString& which, bool* empty = nullptr)
{
    VOKR_FRAME_WND* frame = host_shell_frame(interp);
    if (!frame)
        return nullptr;
    VOKR_TX_MANAGER* manager = frame->get_tx_manager();
    if (which != "data" && which != "trigger") {
        host_shell_fail(interp, QString("bad list \"%1\": must be data or trigger").arg(which));
        return nullptr;
    }
    if (manager->is_empty()) {
        Tcl_ResetResult(interp);
        if (empty)
            *empty = true;
        else
            host_shell_fail(interp, "the window has no session");
        return nullptr;
    }
    KSM_TX_SIGNAL_NODES* list = which == "data" ? static_cast<KSM_TX_SIGNAL_NODES*>(manager->get_signal_nodes(-1))
                                                : manager->get_trigger_nodes(-1);
    if (!list)
        host_shell_fail(interp, "the window has no current instance");
    return list;
}

// ::korvane::shell::state: file, modified, instances, current instance, acquiring, data log, and
// the log's segment size and the trigger sample of each of its segments, and the object name of
// the window's widget that has the keyboard focus ("" for none).
int state_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    if (objc != 1)
        return host_shell_fail(interp, QString("usage: %1").arg(Tcl_GetString(objv[0])));
    VOKR_FRAME_WND* frame = host_shell_frame(interp);
    if (!frame)
        return TCL_ERROR;
    VOKR_TX_MANAGER* manager = frame->get_tx_manager();
    KSM_DATA_LOG* log = manager->get_data_log();
    Tcl_Obj* state = Tcl_NewDictObj();
    put(state, "file", text(frame->get_qstring_filepath()));
    put(state, "modified", Tcl_NewBooleanObj(frame->isWindowModified()));
    put(state, "instances", Tcl_NewIntObj(manager->get_session() ? manager->get_num_instances() : 0));
    put(state, "instance", Tcl_NewIntObj(manager->get_current_instance_index()));
    put(state, "acquiring", Tcl_NewBooleanObj(manager->get_session() && manager->is_any_instance_acquiring()));
    put(state, "data_log", Tcl_NewBooleanObj(log && log->is_data_available(false)));
    put(state, "sample_depth", Tcl_NewIntObj(log ? log->get_data_sample_depth() : 0));
    put(state, "trigger_sample", Tcl_NewIntObj(log ? log->get_data_trigger_position(-1) : -1));
    put(state, "segment_size", Tcl_NewIntObj(log ? log->get_data_segment_size() : 0));
    Tcl_Obj* triggers = Tcl_NewListObj(0, nullptr);
    for (int k = 0; log && log->get_data_trigger_position(k) >= 0; ++k)
        Tcl_ListObjAppendElement(nullptr, triggers, Tcl_NewIntObj(log->get_data_trigger_position(k)));
    put(state, "trigger_samples", triggers);
    const QWidget* focus = frame->focusWidget();
    put(state, "focus", text(focus ? focus->objectName() : QString()));
    Tcl_SetObjResult(interp, state);
    return TCL_OK;
}

// ::korvane::shell::nodes ?data|trigger? ?-selected?: the names of the rows of the list, in
// order; with -selected only those of the selected rows.
int nodes_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    const bool selected = objc > 1 && QLatin1String(Tcl_GetString(objv[objc - 1])) == QLatin1String("-selected");
    const int words = objc - (selected ? 1 : 0);
    if (words > 2)
        return host_shell_fail(interp, "usage: nodes ?data|trigger? ?-selected?");
    bool empty = false;
    KSM_TX_SIGNAL_NODES* list = node_list(interp, words == 2 ? Tcl_GetString(objv[1]) : "trigger", &empty);
    if (!list)
        return empty ? TCL_OK : TCL_ERROR;
    Tcl_Obj* names = Tcl_NewListObj(0, nullptr);
    for (int row = 0; row < list->get_num_nodes(); ++row)
        if (!selected || list->is_selected(row))
            Tcl_ListObjAppendElement(nullptr, names, text(list->get_node_name(row)));
    Tcl_SetObjResult(interp, names);
    return TCL_OK;
}

// The equation an advanced level's diagram stands for; empty for another level or an
// unfinished diagram.
QString diagram_equation(Tcl_Interp* interp, KSM_TX_TRIGGER* trigger, int level)
{
    KSM_TX_TREE_OBJECT* root =
        trigger->get_level_type(level) == KSM_LTYPE_ADVANCED ? trigger->get_advanced_root(level) : nullptr;
    KSM_TX_SESSION* session = host_shell_frame(interp)->get_tx_manager()->get_session();
    KSM_DATA_SESSION* data = session ? session->get_data_session() : nullptr;
    std::string text;
    if (!root || root->get_child_count() == 0 ||
        !root->get_equation(&text, data ? data->get_mnemonics() : nullptr, trigger, level + 1, false))
        return QString();
    return QString::fromLocal8Bit(text.c_str());
}

// ::korvane::shell::trigger: the current trigger's settings and, per level, the conditions
// other than "don't care" as pairs of node name and condition number, the stored expression
// text and the equation of the level's diagram.
int trigger_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const[])
{
    bool empty = false;
    KSM_TX_TRIGGER* trigger = objc == 1 ? static_cast<KSM_TX_TRIGGER*>(node_list(interp, "trigger", &empty)) : nullptr;
    if (!trigger)
        return objc != 1 ? host_shell_fail(interp, "usage: trigger") : empty ? TCL_OK : TCL_ERROR;
    Tcl_Obj* result = Tcl_NewDictObj();
    put(result, "name", text(trigger->get_name()));
    put(result, "position", Tcl_NewIntObj(trigger->get_trigger_position()));
    put(result, "storage_qualifier", Tcl_NewIntObj(trigger->get_storage_qualifier_type()));
    put(result, "state_based", Tcl_NewBooleanObj(trigger->is_state_based()));
    put(result, "segmented", Tcl_NewBooleanObj(trigger->is_segmented()));
    Tcl_Obj* types = Tcl_NewListObj(0, nullptr);
    Tcl_Obj* levels = Tcl_NewListObj(0, nullptr);
    Tcl_Obj* expressions = Tcl_NewListObj(0, nullptr);
    Tcl_Obj* equations = Tcl_NewListObj(0, nullptr);
    for (int level = 0; level < trigger->get_num_levels(); ++level) {
        Tcl_ListObjAppendElement(nullptr, types, Tcl_NewIntObj(trigger->get_level_type(level)));
        Tcl_ListObjAppendElement(nullptr, expressions, text(trigger->get_advanced_trigger_expression(level)));
        Tcl_ListObjAppendElement(nullptr, equations, text(diagram_equation(interp, trigger, level)));
        Tcl_Obj* conditions = Tcl_NewListObj(0, nullptr);
        for (int row = 0; row < trigger->get_num_nodes(); ++row) {
            const KSM_DATA_TRIGGER_CONDITION condition = trigger->get_trigger_condition(row, level);
            if (condition == KSM_CTYPE_DONT_CARE || condition == KSM_CTYPE_DISABLED)
                continue;
            Tcl_ListObjAppendElement(nullptr, conditions, text(trigger->get_node_name(row)));
            Tcl_ListObjAppendElement(nullptr, conditions, Tcl_NewIntObj(condition));
        }
        Tcl_ListObjAppendElement(nullptr, levels, conditions);
    }
    put(result, "level_types", types);
    put(result, "levels", levels);
    put(result, "expressions", expressions);
    put(result, "equations", equations);
    Tcl_SetObjResult(interp, result);
    return TCL_OK;
}

// ::korvane::shell::time_bars: the samples of the view's time bars, the master first.
int time_bars_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const[])
{
    if (objc != 1)
        return host_shell_fail(interp, "usage: time_bars");
    if (host_shell_frame(interp) && !has_session(interp))
        return Tcl_ResetResult(interp), TCL_OK;
    VOKR_VIEW* view = host_shell_view(interp);
    if (!view)
        return TCL_ERROR;
    Tcl_Obj* samples = Tcl_NewListObj(0, nullptr);
    for (int i = 0; i < view->get_timebar_count(); ++i)
        Tcl_ListObjAppendElement(nullptr, samples, Tcl_NewIntObj(view->get_time_bars()[i]));
    Tcl_SetObjResult(interp, samples);
    return TCL_OK;
}

// ::korvane::shell::sample NODE SAMPLE: the captured bits of a data-list node (a bus's members,
// most significant first) at that sample of the shown data log; "x" for a bit not captured or
// a sample before the capture began.
int sample_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    int sample = 0;
    if (objc != 3 || Tcl_GetIntFromObj(interp, objv[2], &sample) != TCL_OK)
        return objc != 3 ? host_shell_fail(interp, "usage: sample node sample") : TCL_ERROR;
    KSM_TX_SIGNAL_NODES* list = node_list(interp, "data");
    if (!list)
        return TCL_ERROR;
    auto* set = static_cast<KSM_TX_SIGNAL_SET*>(list);
    const KSM_DATA_LOG* log = host_shell_frame(interp)->get_tx_manager()->get_data_log();
    std::string name;
    const int row = yuvr_get_utf8(objv[1], &name) ? list->find_node(name.c_str()) : -1;
    if (row < 0)
        return host_shell_fail(interp, QString("no node \"%1\" in the data list").arg(Tcl_GetString(objv[1])));
    if (!log || !log->is_data_available(true) || sample < 0 || sample >= log->get_data_sample_depth())
        return host_shell_fail(interp, QString("the data log has no sample %1").arg(sample));
    std::vector<int> rows;
    for (int r = row + 1; r < list->get_num_nodes() && list->get_depth(r) > list->get_depth(row); ++r)
        if (list->get_depth(r) == list->get_depth(row) + 1)
            rows.push_back(r);
    if (rows.empty())
        rows.push_back(row);
    else if (list->get_lsb_to_msb(row))
        std::reverse(rows.begin(), rows.end());
    QString bits;
    if (!log->is_bit_valid(sample)) {
        bits.fill('x', int(rows.size()));
        rows.clear();
    }
    for (int r : rows) {
        const int channel = set->get_channel(r);
        bits += channel < 0 || !log->get_connection_status(channel)           ? QChar('x')
                : log->get_bit(channel, sample) != set->is_signal_inverted(r) ? QChar('1')
                                                                              : QChar('0');
    }
    Tcl_SetObjResult(interp, text(bits));
    return TCL_OK;
}

}  // namespace

void host_shell_register_state_commands(Tcl_Interp* interp)
{
    const struct {
        const char* name;
        Tcl_ObjCmdProc* proc;
    } commands[] = {
        {"state", state_cmd},         {"nodes", nodes_cmd},   {"trigger", trigger_cmd},
        {"time_bars", time_bars_cmd}, {"sample", sample_cmd},
    };
    for (const auto& command : commands)
        Tcl_CreateObjCommand(interp, (std::string("::korvane::shell::") + command.name).c_str(), command.proc, nullptr,
                             nullptr);
}
