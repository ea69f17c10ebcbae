// The test commands the host's shell offers scripts in ::korvane::shell, next to the module's
// own commands: run a frame action by its identifier, answer the next modal dialog by setting
// its widgets by object name and pressing a button, set the window's own widgets, select
// nodes, wait for an acquisition on the simulated target, and read the session back.
#pragma once

#include <QString>

#include <tcl.h>

class VOKR_FRAME_WND;
class VOKR_VIEW;
class QWidget;

void host_shell_register_commands(Tcl_Interp* interp);

// ---- shared by the command files ----
// Sets the interpreter's result to the message; returns TCL_ERROR.
int host_shell_fail(Tcl_Interp* interp, const QString& message);
// The current editor window, or null with an error set.
VOKR_FRAME_WND* host_shell_frame(Tcl_Interp* interp);
// The current instance's node list view, or null with an error set.
VOKR_VIEW* host_shell_view(Tcl_Interp* interp);
// Gives the widget a value as a person would: the text of a line or text edit, an item of a
// combo box (by its text, else its index), the number of a spin box, the state of a check box
// or radio button. False with the reason when the widget cannot take the value.
bool host_shell_set_widget(QWidget* widget, const QString& value, QString* error);
// The state commands (host_shell_state.cpp).
void host_shell_register_state_commands(Tcl_Interp* interp);
// The commands of a hand: click, key, wheel, context_menu, drag (host_shell_input.cpp).
void host_shell_register_input_commands(Tcl_Interp* interp);
// The watchdog that ends the host when a call does not return (host_shell_watchdog.cpp).
void host_shell_register_watchdog_command(Tcl_Interp* interp);
// The picture and status-text commands (host_shell_capture.cpp).
void host_shell_register_capture_commands(Tcl_Interp* interp);
// Writes a PNG picture of the widget to the file (its directory made when missing) and prints
// the path; false when the file cannot be written.
bool host_shell_write_picture(QWidget* window, const QString& file);
// Shows the window when it is hidden and handles the events posted to its widgets (layouts,
// models, status texts), so that the picture is of the window as a person sees it; then writes
// it as host_shell_write_picture does.
bool host_shell_write_settled_picture(QWidget* window, const QString& file);
// Wraps every shell command but answer_dialog, fill_dialog and watchdog: a modal dialog it opens
// with no answer waiting is closed and the command answers an error, as it does when a scripted
// answer was not a button of a prompt it met (host_shell_guard.cpp).
void host_shell_guard_commands(Tcl_Interp* interp);
