# Settings a person makes by hand are what the editor shows and captures: a level unchecked in the
# hierarchy pane hides its rows from the list and from find; the tabs keep their controls after
# an undone flow control; Segmented ticked at the list's first entry captures those segments;
# transitional storage on one bit stores exactly the samples where that bit changed.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace settings]
::korvane::host::open_editor [file join $work demo.lmx]
set_widgets {data_setup_tabs Setup}

# ---- the hierarchy pane: cpu is the first level below the top item ----
if {[catch {widget_state hierarchy_tree}]} {
    action PIRQ_ACTION_HIERARCHY_PANE
}
set direct [lsearch -all -inline -regexp [nodes trigger] {^cpu\|[^|]*$}]
check {[llength $direct] == 17} "the bus pc and its bits sit directly in cpu: $direct"
# The y of a row's name cell, or -1 when the row is not shown.
proc row_y {node} {
    if {[catch {cell $node 2 -rect} rect] || [lindex $rect 3] == 0} {
        return -1
    }
    return [lindex $rect 1]
}
# Finds TEXT with the find dialog from the first row down; the found row is the one selected
# after, else the first row stays selected.
proc find_node {text} {
    click node_list 150 [expr {$::top + 10}]
    answer_dialog [list find_what $text] {{Find Next} Cancel} {action FIND}
    key node_list Home
    return [nodes trigger -selected]
}
set top [row_y {cpu|pc[15..0]}]
# Hidden, the rows of cpu give their place to the next level's and the list still scrolls to its
# last row; shown, they are back in their place.
proc check_hierarchy {hidden what} {
    if {$hidden} {
        foreach node $::direct {
            check {[row_y $node] < 0} "$what: the row of $node is hidden"
        }
        check {[row_y {cpu|fsm|state[3..0]}] == $::top} "$what: the next level's rows move up"
        key node_list End
        check {[row_y cpu|alu|carry] > 0} "$what: the list scrolls to its last row"
        key node_list Home
    } else {
        check {[row_y {cpu|pc[15..0]}] == $::top && [row_y {cpu|pc[15]}] > $::top} "$what: the rows of cpu are shown"
    }
    set found [find_node {pc[1]}]
    set expected [expr {$hidden ? {cpu|fsm|state[3..0]} : {cpu|pc[1]}}]
    check {$found eq [list $expected]} "$what: find of pc\[1\] leaves $expected selected, not {$found}"
    check {[find_node alu] eq {cpu|alu|carry}} "$what: find of a node of a level below cpu"
}
check_hierarchy 0 "all levels checked"
click node_list {*}[cell {cpu|pc[15]} 2]
key hierarchy_tree {Home Down space}
check {[nodes trigger -selected] eq {}} "the hidden row selected before is no longer selected"
click node_list 150 [expr {$top + 10}]
action SELECT_ALL
set selected [nodes trigger -selected]
check {[llength $selected] == [llength [nodes trigger]] - 17 && ![string match *cpu|pc* $selected]} \
    "Select All leaves the hidden rows out: $selected"
check_hierarchy 1 "cpu unchecked"
screenshot [file join $work hierarchy_unchecked.png]
key hierarchy_tree {space}
check_hierarchy 0 "cpu checked again"
action PIRQ_ACTION_HIERARCHY_PANE

# ---- an undone flow control gives the Setup tab back whole ----
proc check_setup_controls {what} {
    foreach widget {level_type_0 node_list segmented storage_type flow_control} {
        check {![catch {widget_state $widget}]} "$what: $widget is shown"
    }
}
check_setup_controls "sequential"
key flow_control {Down}
check {[dict get [trigger] state_based]} "the flow control is state-based"
set_widgets {data_setup_tabs {State-Based Trigger Flow}}
action UNDO -focus window
check {![dict get [trigger] state_based]} "undo gives the sequential flow back"
check_setup_controls "after undo"
screenshot [file join $work undo_flow.png]
action REDO -focus window
set_widgets {data_setup_tabs Setup}
check_setup_controls "after redo"
action UNDO -focus window
check_setup_controls "after a second undo on Setup"

# ---- Segmented ticked with the list's first entry ----
check {[dict get [widget_state segments] text] eq "2  512 sample segments"} "the list shows two segments"
click segmented
check {[dict get [trigger] segmented]} "the acquisition is segmented"
run_acquisition
check {[session segment_size] == 512} "the capture is made of 512-sample segments, not [session segment_size]"
set triggers [session trigger_samples]
check {[llength $triggers] == 2 && [lindex $triggers 1] - [lindex $triggers 0] == 512} \
    "each segment has its trigger: $triggers"
screenshot [file join $work segmented.png]
action UNDO -focus window
check {![dict get [trigger] segmented]} "one undo takes Segmented and its segments back"

# ---- transitional storage on pc[2] ----
set_widgets {data_setup_tabs Setup}
set_widgets {storage_type Transitional}
click node_list {*}[cell {cpu|pc[2]} 8]
screenshot [file join $work transitional.png]
run_acquisition
set depth [session sample_depth]
set trigger_sample [session trigger_sample]
# The program counter counts the samples from the start of the stream, so a stored sample's pc
# is its place in the stream. Stored are the stream's first sample, the trigger sample and every
# sample where pc[2] differs from the one before.
proc stored {t} { return [expr {$t == 0 || ((($t >> 2) ^ (($t - 1) >> 2)) & 1)}] }
set captured {}
for {set s 0} {$s < $depth} {incr s} {
    set value [sample {cpu|pc[15..0]} $s]
    if {![string match *x* $value]} {
        lappend captured [expr "0b$value"]
    }
}
set at_trigger [expr "0b[sample {cpu|pc[15..0]} $trigger_sample]"]
set before [lsearch $captured $at_trigger]
set expected [list $at_trigger]
for {set t [expr {$at_trigger - 1}]} {[llength $expected] <= $before} {incr t -1} {
    if {[stored $t]} {
        set expected [linsert $expected 0 $t]
    }
}
for {set t [expr {$at_trigger + 1}]} {[llength $expected] < [llength $captured]} {incr t} {
    if {[stored $t]} {
        lappend expected $t
    }
}
check {[llength $captured] > 100 && $captured eq $expected} \
    "the stored samples are the changes of pc\[2\]: [lrange $captured 0 5] ..., not [lrange $expected 0 5] ..."
