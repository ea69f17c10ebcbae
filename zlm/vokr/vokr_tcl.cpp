#include "vokr_tcl.h"

#include "vokr_assert.h"
#include "vokr_frame_wnd.h"
#include "vokr_tcl_args_auto.h"

#include <string>
#include <utility>

namespace {

const char* const PACKAGE_NAME = "::korvane::vokr";
const char* const PACKAGE_VERSION = "1.0";
// The name a host's "package require" uses.
const char* const SHORT_NAME = "vokr";

// The frame every command shares: parse the options with the command's own object, let the
// wrapper answer help requests and option errors, then do the work; a follow-up the command
// registered for a dialog that never showed is dropped when it returns, and a dialog it opened
// that no follow-up answered (closed by the host) makes it an error.
template <int COMMAND> int handler(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    YUVR_ARGS args(interp);
    std::unique_ptr<YUVR_CMD>& slot = vokr_tcl_command_cache()[COMMAND];
    if (!slot)
        slot = std::make_unique<YUVR_CMD>(VOKR_TCL_COMMAND_DEFINITIONS[COMMAND]);
    bool answered = false;
    const int code = args.process_tcl_command_arguments(slot.get(), &answered, objc, objv);
    if (code != TCL_OK || answered)
        return code;
    WEX_MODAL_COMMAND_SCOPE scope;
    const int result = vokr_tcl_run_command(COMMAND, args, interp);
    const QString dialog = scope.unanswered_dialog();
    if (result != TCL_OK || dialog.isEmpty())
        return result;
    // Nothing could answer the dialog the command opened: the host closed it, and says so.
    const QString message = QString("%1: the dialog \"%2\" opened with no follow-up to answer it and was closed")
                                .arg(VOKR_TCL_COMMAND_DEFINITIONS[COMMAND].command, dialog);
    Tcl_SetObjResult(interp, yuvr_new_utf8_obj(message.toStdString()));
    return TCL_ERROR;
}

template <size_t... I> std::array<YUVR_CALLBACK, sizeof...(I) + 1> make_callbacks(std::index_sequence<I...>)
{
    return {{{handler<static_cast<int>(I)>, VOKR_TCL_COMMAND_DEFINITIONS[I].command, nullptr}...,
             {nullptr, nullptr, nullptr}}};
}

}  // namespace

extern "C" int Vokr_Init(Tcl_Interp*)
{
    vokr_vokr_register_tcl();
    return TCL_OK;
}

extern "C" int Vokr_Unload(Tcl_Interp*, int)
{
    vokr_vokr_unregister_tcl();
    return TCL_OK;
}

extern "C" int vokr_vokr_register_tcl()
{
    yuvr_begin_package_setup(PACKAGE_NAME, PACKAGE_VERSION, nullptr, nullptr, false);
    yuvr_register_callbacks(vokr_tcl_callback_table());
    yuvr_end_package_setup();
    Tcl_Interp* interp = yuvr_get_interpreter();
    if (!interp)
        VOKR_INTERNAL_ERROR("A Tcl interpreter must exist before registering ::korvane::vokr!");
    return Tcl_PkgProvideEx(interp, PACKAGE_NAME, PACKAGE_VERSION, nullptr);
}

extern "C" void vokr_vokr_unregister_tcl()
{
    Tcl_Interp* interp = yuvr_get_interpreter();
    if (!interp)
        VOKR_INTERNAL_ERROR("A Tcl interpreter must exist before unregistering ::korvane::vokr!");
    yuvr_begin_package_setup(PACKAGE_NAME, PACKAGE_VERSION, "zlm_vokr", "vokr_vokr", true);
    yuvr_unregister_package(interp);
    yuvr_end_package_setup();
    yuvr_forget_package(interp, SHORT_NAME);
}

extern "C" VOKR_FRAME_WND* zlm_vokr_create_frame_wnd(unsigned int mode, QWidget* parent)
{
    VOKR_ASSERT_TEXT(yuvr_package_require(yuvr_get_interpreter(), SHORT_NAME, nullptr, 1, 1) == TCL_OK,
                     "yuvr_package_require(yuvr_get_interpreter(), \"vokr\", NULL, 1, 1) == TCL_OK");
    return new VOKR_FRAME_WND(parent, mode, 0, 0);
}

const YUVR_CALLBACK* vokr_tcl_callback_table()
{
    static const auto table = make_callbacks(std::make_index_sequence<VOKR_TCL_COMMAND_COUNT>());
    return table.data();
}

VOKR_TCL_COMMAND_CACHE& vokr_tcl_command_cache()
{
    static VOKR_TCL_COMMAND_CACHE cache;
    return cache;
}
