# An advanced trigger built on the canvas of the demo design: the engineer switches level 1 to
# Advanced, drops a counter bit from the node list on the result, puts a logical AND in front of
# it, drops a second bit on the AND, runs on the simulated target and finds the trigger at the
# first captured sample where both bits are high, then saves and reopens the session.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace advanced]
set session_file [file join $work demo.lmx]
::korvane::host::open_editor $session_file
set_widgets {data_setup_tabs Setup}

# Selectors 0 to 2 are the storage qualifier's patterns; 3 is trigger level 1.
vokr_switch_to_advanced_view -combobox_type 3
check {[lindex [dict get [trigger] level_types] 0] == 3} "level 1 is advanced"
# Above the operator palette the node list shows a dozen rows, not two.
set pane [widget_state node_list]
check {[dict get $pane height] >= 240} "the advanced tab's node list is tall enough: $pane"
proc equation {} { return [lindex [dict get [trigger] equations] 0] }

select {cpu|pc[6]}
drop_nodes
check {[equation] eq {'cpu|pc[6]'}} "the dropped bit drives the result: [equation]"
vokr_test_advanced_focus_in
answer_dialog {object_type {Logical Operator}} OK {action INSERT -focus canvas}
select {cpu|pc[3]}
drop_nodes logical_0
set built {'logical_0':(and('cpu|pc[3]','cpu|pc[6]'))}
check {[equation] eq $built} "the AND of both bits drives the result: [equation]"
action ARRANGE_ALL_OBJECTS -focus canvas
check {[equation] eq $built} "arranging keeps the expression: [equation]"

run_acquisition
set trigger_sample [session trigger_sample]
set depth [session sample_depth]
# The first captured sample where the expression holds, and how many were captured before it.
set first -1
set captured_before 0
for {set s 0} {$s < $depth && $first < 0} {incr s} {
    set bits [sample {cpu|pc[6]} $s][sample {cpu|pc[3]} $s]
    if {$bits eq "11"} {
        set first $s
    } elseif {![string match *x* $bits]} {
        incr captured_before
    }
}
check {$captured_before > 0} "the capture holds samples before the expression first holds"
check {$first == $trigger_sample} "the trigger is at the first sample where the AND holds ($first), not $trigger_sample"

action PIRQ_SAVE_ACTION -focus window
check {![session modified]} "the saved session is unmodified"
close_window
::korvane::host::open_editor $session_file
check {[lindex [dict get [trigger] level_types] 0] == 3} "the reopened level 1 is advanced"
check {[equation] eq $built} "the reopened diagram keeps the expression: [equation]"
check {[session data_log] && [session trigger_sample] == $trigger_sample} "the reopened session keeps the capture"

puts "advanced: trigger at $trigger_sample of $depth"
