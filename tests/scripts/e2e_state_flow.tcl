# A state-based trigger flow on the demo design: the engineer switches the flow control, sets
# the condition, writes a two-state flow in the flow editor, runs it on the simulated target
# and finds the trigger where the flow puts it, then saves and reopens the session.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace state_flow]
set session_file [file join $work demo.lmx]
::korvane::host::open_editor $session_file
set_widgets {data_setup_tabs Setup flow_control State-based}
check {[dict get [trigger] state_based]} "the trigger is state-based"

# condition1: the counter's low byte is 0F; condition2: its low digit is 3 (a bus value is typed
# in hexadecimal, X a digit of any value). The flow waits for condition1, then triggers on the
# next condition2: the counter reads ..13 there, and ..0F four samples before.
set_widgets {trigger_conditions 2}
set_value {cpu|pc[15..0]} 0 XX0F
set_value {cpu|pc[15..0]} 1 XXX3
set flow "state ST1:\n  if (condition1) goto ST2;\nstate ST2:\n  if (condition2) trigger;\n"
set_widgets [list state_display_mode {All states in one window} state_text $flow]

run_acquisition
set trigger_sample [session trigger_sample]
check {$trigger_sample >= 4} "the flow triggered"
set pc [expr {"0b[sample {cpu|pc[15..0]} $trigger_sample]"}]
check {($pc & 0xff) == 0x13} "the trigger follows condition1 at the next condition2, pc [format %x $pc]"
set before [expr {"0b[sample {cpu|pc[15..0]} [expr {$trigger_sample - 4}]]"}]
check {($before & 0xff) == 0x0f} "condition1 held four samples before, pc [format %x $before]"

# ---- after the compile: an edited flow asks to recompile; a flow the checker refuses runs nothing ----
proc prompted {pattern} {
    foreach record [::korvane::msg::log prompted] {
        if {[string match $pattern [dict get $record text]]} {
            return 1
        }
    }
    return 0
}
set_widgets [list state_text "state ST1:\n  if (condition2) trigger;\n"]
::korvane::msg::clear
::korvane::msg::answer cancel
action RUN -focus window
check {[prompted "The design has changed*"]} "the edited flow asks to recompile before the run"
check {![session acquiring]} "a cancelled question runs nothing"
set saved_file [read_file $session_file]
set_widgets [list state_text "state ST1:\n  if (condition3) trigger;\n"]
::korvane::msg::clear
::korvane::msg::default yes
action RUN -focus window
::korvane::msg::default 0
check {[prompted "Cannot run instance \"*\" -- its state-based trigger flow has an error in line 2:*"]} \
    "the refused flow is named with its line"
check {![prompted "The design has changed*"] && ![session acquiring]} "nothing is compiled or run"
check {[read_file $session_file] eq $saved_file && [session modified]} "nothing is saved"
set_widgets [list state_text $flow]
::korvane::msg::clear

action PIRQ_SAVE_ACTION -focus window
check {[string first "if (condition2) trigger;" [read_file $session_file]] >= 0} "the saved file holds the flow"
close_window
::korvane::host::open_editor $session_file
check {[dict get [trigger] state_based]} "the reopened trigger is state-based"
check {[dict get [level_conditions 1] {cpu|pc[1]}] == 3 && [dict get [level_conditions 1] {cpu|pc[2]}] == 4} \
    "the reopened condition2 keeps its value"
check {[session data_log] && [session trigger_sample] == $trigger_sample} "the reopened session keeps the capture"
