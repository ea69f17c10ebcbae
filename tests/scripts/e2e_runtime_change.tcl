# What a compile builds and what a run writes, by hand on the demo: a condition picked from the
# node list's menu runs at F5 with no question and no programming, and the capture triggers
# where the new condition is met; a new sample depth asks to recompile first.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace runtime_change]
::korvane::host::open_editor [file join $work demo.lmx]
set_widgets {data_setup_tabs Setup}
check {[dict get [status_texts] banner] eq "Ready to acquire"} "the demo is ready: [status_texts]"

# The number of recompile questions asked since the journal was cleared.
proc questions {} {
    set count 0
    foreach record [::korvane::msg::log] {
        if {[dict get $record event] eq "prompted" && [string match "*recompile*" [dict get $record text]]} {
            incr count
        }
    }
    return $count
}

# The point of a node's condition cell at level 1, the rows scrolled with the wheel until it shows.
proc condition_cell {node} {
    for {set turns 0} {[catch {cell $node 12} point] && $turns < 20} {incr turns} {
        wheel node_list -120
    }
    return $point
}

# ---- a condition: the demo's rising edge of the FIFO's full flag moves to pc[5] ----
context_menu node_list {*}[condition_cell mem_ctrl|fifo|full] {Don't Care}
wheel node_list 2400
context_menu node_list {*}[condition_cell {cpu|pc[5]}] {Rising Edge}
check {[level_conditions 0] eq [list {cpu|pc[5]} 5]} "level 1 waits for pc\[5\] alone: [level_conditions 0]"
check {[dict get [status_texts] banner] eq "Ready to acquire"} "nothing to compile or program: [status_texts]"
::korvane::msg::clear
key node_list F5
check {[session acquiring]} "F5 starts the run at once: [status_texts]"
wait_acquisition
check {[questions] == 0} "no question before the run"
check {[session data_log]} "the run captured: [status_texts]"
set at [session trigger_sample]
check {[sample {cpu|pc[5]} $at] eq "1" && [sample {cpu|pc[5]} [expr {$at - 1}]] eq "0"} \
    "pc\[5\] rises at the trigger sample $at"
check {[dict get [status_texts] banner] eq "Ready to acquire"} "still nothing to do: [status_texts]"

# ---- the sample depth: built into the design, so F5 asks to recompile (Cancel runs nothing) ----
set_widgets {data_setup_tabs Setup}
key sample_depth Down
check {[dict get [status_texts] banner] eq "Start Quickfold to continue"} "the depth needs a compile: [status_texts]"
::korvane::msg::clear
::korvane::msg::answer cancel
key node_list F5
check {[questions] == 1} "F5 asks to recompile once"
check {![session acquiring]} "the cancelled question starts nothing"
screenshot [file join [pwd] .. artifacts runtime_change.png]
::korvane::msg::answer no
close_window
