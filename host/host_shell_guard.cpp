// Wraps the shell's commands so that a modal dialog one of them opens with no answer waiting
// is closed and the command answers a Tcl error that says to answer it with answer_dialog, and
// so that a scripted answer that did not fit a prompt the command met is its error.
#include "host_shell.h"

#include "msg.h"
#include "wex.h"

#include <deque>
#include <string>

namespace {

// The command's own procedure, which the wrapper calls.
struct WRAPPED {
    Tcl_ObjCmdProc* proc;
    ClientData data;
};

// The command's first words, for the error message.
QString call_text(int objc, Tcl_Obj* const objv[])
{
    QStringList words;
    for (int i = 0; i < objc && i < 2; ++i)
        words << QString::fromUtf8(Tcl_GetString(objv[i])).left(80);
    return words.join(' ');
}

int guarded_cmd(ClientData data, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    const auto* wrapped = static_cast<const WRAPPED*>(data);
    QString dialog;
    int code = TCL_OK;
    {
        WEX_MODAL_COMMAND_SCOPE scope;  // rejects a dialog that no follow-up answers
        code = wrapped->proc(wrapped->data, interp, objc, objv);
        dialog = scope.unanswered_dialog();
    }
    if (dialog.isEmpty())
        return msg_tcl_script_code(interp, code);
    return host_shell_fail(interp, QString("\"%1\" opened the dialog \"%2\", which was closed unanswered: open it "
                                           "inside answer_dialog to answer it")
                                       .arg(call_text(objc, objv), dialog));
}

}  // namespace

void host_shell_guard_commands(Tcl_Interp* interp)
{
    static std::deque<WRAPPED> wrapped;  // lives as long as the commands
    if (Tcl_Eval(interp, "info commands ::korvane::shell::*") != TCL_OK)
        return;
    Tcl_Obj* names = Tcl_GetObjResult(interp);
    Tcl_IncrRefCount(names);
    int count = 0;
    Tcl_Obj** words = nullptr;
    Tcl_ListObjGetElements(nullptr, names, &count, &words);
    for (int i = 0; i < count; ++i) {
        const std::string name = Tcl_GetString(words[i]);
        Tcl_CmdInfo info;
        // answer_dialog and its follow-up open dialogs with an answer waiting by design; the
        // watchdog, which watches the calls between them, must not take their errors.
        if (name.find("answer_dialog") != std::string::npos || name.find("fill_dialog") != std::string::npos ||
            name.find("watchdog") != std::string::npos || !Tcl_GetCommandInfo(interp, name.c_str(), &info) ||
            !info.isNativeObjectProc || info.objProc == guarded_cmd)
            continue;
        wrapped.push_back({info.objProc, info.objClientData});
        info.objProc = guarded_cmd;
        info.objClientData = &wrapped.back();
        Tcl_SetCommandInfo(interp, name.c_str(), &info);
    }
    Tcl_DecrRefCount(names);
    Tcl_ResetResult(interp);
}
