// Entry points of the module as a Tcl extension, its command table and the frame factory.
#pragma once

#include "vokr_tcl_args_auto.h"
#include "yuvr.h"

#include <array>
#include <memory>
#include <string>

class MSG_GEN_LOCATION_SCHEMA;
class QString;
class QWidget;
class VOKR_FRAME_WND;

// The entry points a host looks up by name, with C linkage so that their names are plain.
extern "C" {
// Package initialiser that Tcl calls on "load"; registers the package with the suite's
// interpreter and answers TCL_OK.
int Vokr_Init(Tcl_Interp* interp);
// Tcl calls it on "unload": unregisters the package.
int Vokr_Unload(Tcl_Interp* interp, int flags);

int vokr_vokr_register_tcl();
// Deletes the commands and forgets the packages "::korvane::vokr" and "vokr"; a later
// "package require vokr" loads the module again.
void vokr_vokr_unregister_tcl();

// Creates the editor's frame window; the package "vokr" is required first.
VOKR_FRAME_WND* zlm_vokr_create_frame_wnd(unsigned int mode, QWidget* parent);
}

// The zero-terminated table of the commands, in command order.
const YUVR_CALLBACK* vokr_tcl_callback_table();

// Command objects shared by the handlers, one slot per command, made on a command's first call.
using VOKR_TCL_COMMAND_CACHE = std::array<std::unique_ptr<YUVR_CMD>, VOKR_TCL_COMMAND_COUNT>;
VOKR_TCL_COMMAND_CACHE& vokr_tcl_command_cache();

// The work of a command once its options are parsed, on the suite's current editor window
// (vokr_tcl_commands.cpp); TCL_ERROR with a message when it cannot act.
int vokr_tcl_run_command(int command, const YUVR_ARGS& args, Tcl_Interp* interp);
// An option value as a follow-up text quotes it: backslash before \ " $ [ and ], so that the
// value reaches the follow-up as it stands and never runs as Tcl.
std::string vokr_tcl_escape_value(const std::string& value);
// The generic location schema that the text describes, owned by the caller; null, with the
// reason in `error`, when the text is not a list, cannot be read or is of another kind.
MSG_GEN_LOCATION_SCHEMA* vokr_tcl_get_location_schema(const std::string& schema_text, QString* error);
