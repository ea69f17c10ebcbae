# Two instances on the demo, each with its own trigger: added from the instance manager's menu,
# compiled and programmed, then run one at a time and both together; each log is checked against
# its own trigger. A session saved by an earlier build, whose instances share the default node
# information, opens, asks for a compile and then runs both too.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace instances]
set session_file [file join $work demo.lmx]
::korvane::host::open_editor $session_file
set_widgets {data_setup_tabs Setup}
# The demo's instance waits for pc[8] to rise: the program counter steps every sample, so the
# counter reads 0x100 at its trigger.
set_value {cpu|pc[15..0]} 0 XXXXXXXRXXXXXXXX
context_menu instance_tree 20 40 {Add Instance}
check {[session instances] == 2 && [session instance] == 1} "the new instance is current: [state]"
action INSERT_NODES
::korvane::finder::choose {led}
set_widgets {clock clk}
# The new one waits for led[3] to rise: led counts every 8 samples, so it reads 8 at its trigger.
set_value {led[7..0]} 0 XXXXRXXX

key instance_tree Ctrl+L
update
program_if_needed
check {[dict get [status_texts] banner] eq "Ready to acquire"} "both instances are programmed: [status_texts]"
screenshot [file join [pwd] .. artifacts instances_programmed.png]

# Instance rows of the instance manager, by entry: y in the tree's pixels.
proc row_y {entry} { return [expr {35 + 23 * $entry}] }
proc select_rows {entries} {
    click instance_tree 60 [row_y [lindex $entries 0]]
    foreach entry [lrange $entries 1 end] {
        click instance_tree 60 [row_y $entry] left ctrl
    }
}
# The instance's log after its run ended: its trigger sample, and the bus there and one sample
# before, which must be the values the instance's own condition meets.
set expected [list 0 {{cpu|pc[15..0]} {256 255}} 1 {{led[7..0]} {8 7}}]
proc check_log {entry what} {
    set_widgets [list instance_tabs auto_lumetra_$entry]
    check {[dict get [status_texts] status] eq "Not running"} "$what: instance $entry ended its run: [status_texts]"
    lassign [dict get $::expected $entry] bus values
    set t [session trigger_sample]
    check {$t > 0} "$what: instance $entry has a trigger sample: [state]"
    set found [list [expr "0b[sample $bus $t]"] [expr "0b[sample $bus [expr {$t - 1}]]"]]
    check {$found eq $values} "$what: instance $entry triggers at its own condition: $bus is $found, not $values"
    return $t
}
# Runs the instances of those rows with their trigger at that position, each from the run
# before at another one, so that every log checked is the new one.
set last {}
proc run_rows {entries what position} {
    foreach entry $entries {
        set_widgets [list instance_tabs auto_lumetra_$entry trigger_position "$position trigger position"]
    }
    select_rows $entries
    click instance_run
    check {[session acquiring]} "$what: the run started: [status_texts]"
    wait_acquisition
    foreach entry $entries {
        set t [check_log $entry $what]
        check {![dict exists $::last $entry] || [dict get $::last $entry] != $t} "$what: instance $entry made a new log"
        dict set ::last $entry $t
    }
}
run_rows 0 "instance 0 alone" Pre
run_rows 1 "instance 1 alone" Pre
run_rows {0 1} "both together" Center
screenshot [file join [pwd] .. artifacts instances_both_run.png]
::korvane::msg::answer yes
action PIRQ_SAVE_ACTION -focus window
close_window

# As an earlier build saved it: every instance at the default node information.
set text [read_file $session_file]
check {[regsub -all { info-first="[0-9]+"} $text {} text] == 1} "the compile placed the second instance apart"
set channel [open $session_file w]
puts -nonewline $channel $text
close $channel
::korvane::host::open_editor $session_file
check {[session instances] == 2} "the earlier session opens with both instances: [state]"
check {[dict get [status_texts] banner] eq "Start Quickfold to continue"} "it asks for a compile: [status_texts]"
key instance_tree Ctrl+L
update
program_if_needed
run_rows {0 1} "after the compile" Post
::korvane::msg::answer no
close_window
