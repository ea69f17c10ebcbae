// Entry points of the module as a Tcl extension, its command table and the frame factory.
#pragma once

#include "vokr_tcl_args_auto.h"
#include "yuvr.h"

#include <array>
#include <memory>

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
