# Undo and redo of an engineer's edits on the demo session: a tapped node, a trigger value and
# a storage qualifier go and come back in order, and the session file keeps what was redone.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace undo]
set session_file [file join $work demo.lmx]
::korvane::host::open_editor $session_file
set_widgets {data_setup_tabs Setup}
set original [trigger]
set original_nodes [nodes trigger]

# Three edits, each one undo unit.
action INSERT_NODES
::korvane::msg::clear
# A name the design does not hold is named back and in a warning; the others are tapped.
check {[::korvane::finder::choose {uart_rx no_such_node}] eq "no_such_node"} "the finder names what it did not find"
set warnings [lmap r [::korvane::msg::log posted] {dict get $r text}]
check {$warnings eq [list {Node Finder cannot find node "no_such_node" in the pre-synthesis netlist}]} \
    "the finder warns of the name it did not find: $warnings"
set_value {led[7..0]} 0 AX
vokr_set_storage_qualifier -type Conditional
set edited [trigger]
set edited_nodes [nodes trigger]
check {"uart_rx" in $edited_nodes} "the tapped node is in the list"
check {[dict get $edited storage_qualifier] == 1} "the storage qualifier is conditional"
check {[dict get [level_conditions 0] {led[7]}] == 3 && [dict get [level_conditions 0] {led[6]}] == 4} \
    "the value A sets led\[7..4\] to 1010"

proc undo {} { vokr_undo_view }
proc redo {} { vokr_redo_view }
proc expect_state {sq levels node_list what} {
    check {[dict get [trigger] storage_qualifier] == $sq} "$what: storage qualifier"
    check {[dict get [trigger] levels] eq $levels} "$what: trigger conditions"
    check {[nodes trigger] eq $node_list} "$what: node list"
}
set sq0 [dict get $original storage_qualifier]
set levels0 [dict get $original levels]
set levels1 [dict get $edited levels]
set nodes1 [concat $original_nodes uart_rx]

undo
expect_state $sq0 $levels1 $nodes1 "first undo"
undo
expect_state $sq0 $levels0 $nodes1 "second undo"
undo
expect_state $sq0 $levels0 $original_nodes "third undo"
redo
action REDO -focus window
expect_state $sq0 $levels1 $nodes1 "two redos, the second from the Edit menu"
redo
expect_state 1 $levels1 $nodes1 "third redo"

action PIRQ_SAVE_ACTION -focus window
close_window
::korvane::host::open_editor $session_file
expect_state 1 $levels1 $nodes1 "reopened"
