// Tcl access to the message journal, for scripts that drive the editor without a person.
#include "msg.h"

#include <tcl.h>
#include <cstring>

namespace {

bool parse_answer(Tcl_Interp* interp, Tcl_Obj* word, int* answer)
{
    static const char* const names[] = {"ok", "cancel", "yes", "no", nullptr};
    static const int values[] = {MSG_PROMPT::MSG_VALUE_OK, MSG_PROMPT::MSG_VALUE_CANCEL, MSG_PROMPT::MSG_VALUE_YES,
                                 MSG_PROMPT::MSG_VALUE_NO};
    int index = 0;
    if (Tcl_GetIndexFromObj(nullptr, word, names, "answer", 0, &index) == TCL_OK) {
        *answer = values[index];
        return true;
    }
    if (Tcl_GetIntFromObj(nullptr, word, answer) == TCL_OK)
        return true;
    Tcl_SetObjResult(interp,
                     Tcl_ObjPrintf("bad answer \"%s\": must be ok, cancel, yes, no or a number", Tcl_GetString(word)));
    return false;
}

Tcl_Obj* record_to_dict(const MSG_RECORD& r)
{
    Tcl_Obj* dict = Tcl_NewDictObj();
    auto put = [dict](const char* key, Tcl_Obj* value) {
        Tcl_DictObjPut(nullptr, dict, Tcl_NewStringObj(key, -1), value);
    };
    put("event", Tcl_NewStringObj(r.event.c_str(), -1));
    put("type", Tcl_NewStringObj(r.type.c_str(), -1));
    put("identifier", Tcl_NewStringObj(r.identifier.c_str(), -1));
    put("id", Tcl_NewWideIntObj(r.id));
    put("text", Tcl_NewStringObj(r.text.c_str(), -1));
    put("answer", Tcl_NewIntObj(r.answer));
    Tcl_Obj* items = Tcl_NewListObj(0, nullptr);
    for (const MSG_RECORD& item : r.items)
        Tcl_ListObjAppendElement(nullptr, items, record_to_dict(item));
    put("items", items);
    return dict;
}

int answer_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    for (int i = 1; i < objc; ++i) {
        int answer = 0;
        if (!parse_answer(interp, objv[i], &answer))
            return TCL_ERROR;
        MSG_JOURNAL::push_answer(answer);
    }
    return TCL_OK;
}

int default_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    if (objc != 2) {
        Tcl_WrongNumArgs(interp, 1, objv, "answer");
        return TCL_ERROR;
    }
    int answer = 0;
    if (!parse_answer(interp, objv[1], &answer))
        return TCL_ERROR;
    MSG_JOURNAL::set_default_answer(answer);
    return TCL_OK;
}

int log_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    if (objc > 2) {
        Tcl_WrongNumArgs(interp, 1, objv, "?event?");
        return TCL_ERROR;
    }
    const char* event = objc == 2 ? Tcl_GetString(objv[1]) : nullptr;
    Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
    for (const MSG_RECORD& r : MSG_JOURNAL::records())
        if (!event || r.event == event)
            Tcl_ListObjAppendElement(nullptr, list, record_to_dict(r));
    Tcl_SetObjResult(interp, list);
    return TCL_OK;
}

int clear_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    if (objc != 1) {
        Tcl_WrongNumArgs(interp, 1, objv, "");
        return TCL_ERROR;
    }
    MSG_JOURNAL::clear();
    MSG_JOURNAL::clear_answers();
    return TCL_OK;
}

int suppress_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    int id = 0;
    int on = 1;
    if (objc < 2 || objc > 3) {
        Tcl_WrongNumArgs(interp, 1, objv, "id ?boolean?");
        return TCL_ERROR;
    }
    if (Tcl_GetIntFromObj(interp, objv[1], &id) != TCL_OK || id < 0)
        return TCL_ERROR;
    if (objc == 3 && Tcl_GetBooleanFromObj(interp, objv[2], &on) != TCL_OK)
        return TCL_ERROR;
    MSG_INDEX::get_default_index()->set_suppressed(static_cast<unsigned>(id), on != 0);
    return TCL_OK;
}

}  // namespace

int msg_tcl_script_code(Tcl_Interp* interp, int code)
{
    const std::string error = MSG_JOURNAL::take_script_error();
    if (error.empty())
        return code;
    Tcl_SetObjResult(interp, Tcl_NewStringObj(error.c_str(), -1));
    return TCL_ERROR;
}

void msg_register_tcl_commands(Tcl_Interp* interp)
{
    Tcl_Eval(interp, "namespace eval ::korvane::msg {}");
    Tcl_CreateObjCommand(interp, "::korvane::msg::answer", answer_cmd, nullptr, nullptr);
    Tcl_CreateObjCommand(interp, "::korvane::msg::default", default_cmd, nullptr, nullptr);
    Tcl_CreateObjCommand(interp, "::korvane::msg::log", log_cmd, nullptr, nullptr);
    Tcl_CreateObjCommand(interp, "::korvane::msg::clear", clear_cmd, nullptr, nullptr);
    Tcl_CreateObjCommand(interp, "::korvane::msg::suppress", suppress_cmd, nullptr, nullptr);
}
