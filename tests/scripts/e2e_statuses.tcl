# The instance manager's status line names a step a person can take, and the same session reads
# the same however it was opened. On the demo: opened from the command line and with File > Open,
# then each state in turn, its named step taken by hand: Run, Stop, the host's compile key after
# the flow control became state-based, and the JTAG pane's Program, which F5 before it asks for.
# A run the device refused leaves its error in the row until the device is programmed.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace statuses]
set session_file [file join $work demo.lmx]
::korvane::host::open_editor $session_file
set from_command_line [status_texts]
close_window
::korvane::host::open_editor
answer_dialog [list fileNameEdit $session_file] Open {action PIRQ_OPEN_ACTION -focus window}
check {[status_texts] eq $from_command_line} "File > Open reads as the command line: [status_texts], $from_command_line"

proc banner {} { return [dict get [status_texts] banner] }

check {[banner] eq "Ready to acquire"} "the demo is ready: [status_texts]"
key node_list F5
check {[session acquiring] && [banner] eq "Acquisition in progress"} "Run acquires: [status_texts]"
key node_list Ctrl+E
wait_acquisition
check {[banner] eq "Ready to acquire"} "Stop ends the acquisition: [status_texts]"

set_widgets {data_setup_tabs Setup flow_control State-based}
check {[banner] eq "Start Quickfold to continue"} "a new flow control is compiled: [status_texts]"
screenshot [file join [pwd] .. artifacts status_compile.png]
# The editor is the suite's main window here, where compiling is the suite's command: the
# editor's own compile and recompile are disabled, and the host's Ctrl+L compiles.
foreach id {TOOLBAR_COMPILE TOOLBAR_RECOMPILE} {
    expect_error {action $id -focus window} "action $id is disabled"
}
key instance_tree Ctrl+L
update
check {[banner] eq "Program the device to continue"} "the compile wrote a programming file: [status_texts]"
screenshot [file join [pwd] .. artifacts status_program.png]
# F5 before Program starts no run: the notice names the instance and the step to take.
proc refusals {} {
    return [lmap r [::korvane::msg::log prompted] {
        if {[dict get $r identifier] ne "VOKR_DEVICE_NOT_PROGRAMMED"} continue
        dict get $r text
    }]
}
::korvane::msg::clear
key instance_tree F5
check {![session acquiring] && [dict get [status_texts] status] eq "Not running"} "F5 ran nothing: [status_texts]"
check {[llength [refusals]] == 1 && [string match {Cannot run instance "auto_lumetra_0" -- *Program the device to continue} \
    [lindex [refusals] 0]]} "F5 before Program says to program: [refusals]"
click jtag_program
update
check {[banner] eq "Ready to acquire"} "the device holds the design: [status_texts]"

# A run as compiled after the sample depth changed ends with the device's error; once the new
# design is compiled and programmed, the row no longer tells it.
set_widgets {data_setup_tabs Setup}
key sample_depth Down
::korvane::msg::answer no
key node_list F5
wait_acquisition
check {[dict get [status_texts] status] eq "Instance version mismatch"} "the device refused the run: [status_texts]"
action PIRQ_START_COMPILE_ACTION -focus window
update
click jtag_program
update
check {[banner] eq "Ready to acquire" && [dict get [status_texts] status] eq "Not running"} \
    "programming cleared the device's error: [status_texts]"
::korvane::msg::answer no
close_window
