# The editor by its keys in the window the host opens, after a capture of the demo: the standard
# shortcuts from the node list, the advanced trigger canvas and the configuration pane; zoom in
# after Center on Trigger keeps the trigger in the middle; a storage qualifier chosen with the
# arrow keys keeps the keyboard on its list through the refresh it causes; the instance tree's
# own Del, and its Add Instance once the last instance is gone.
source [file join [file dirname [info script]] e2e_lib.tcl]

open_captured_demo keys
set pdf_file [file join $work printed.pdf]
set ::env(KORVANE_PRINTER_PDF) $pdf_file
set_widgets {data_setup_tabs Setup trigger_conditions 2}
vokr_switch_to_advanced_view -combobox_type 4
proc equation {} { return [lindex [dict get [trigger] equations] 1] }
set bus {cpu|pc[15..0]}
# The pane's tab shows before the keys go to it.
set tab_of {node_list Setup trigger_canvas {Advanced Trigger 2} storage_type Setup}

# Per pane: an edit its Undo takes back, and the state that edit changes.
proc edit {pane} {
    if {$pane eq "trigger_canvas"} {
        select {cpu|pc[6]}
        drop_nodes
        return
    }
    set_value $::bus 0 [dict get {node_list XXXXXXXXXRXXXXXX storage_type XXXXXXXXXXXXXXXF} $pane]
}
proc edited {pane} {
    return [expr {$pane eq "trigger_canvas" ? [equation] : [level_conditions 0]}]
}

foreach pane {node_list trigger_canvas storage_type} {
    set_widgets [list data_setup_tabs [dict get $tab_of $pane]]
    set before [edited $pane]
    edit $pane
    set after [edited $pane]
    check {$after ne $before} "$pane: the edit changed something"
    key $pane Ctrl+Z
    check {[edited $pane] eq $before} "$pane: Ctrl+Z undid the edit: [edited $pane]"
    key $pane Ctrl+Y
    check {[edited $pane] eq $after} "$pane: Ctrl+Y redid it: [edited $pane]"
    check {[session modified]} "$pane: the session is modified"
    key $pane Ctrl+S
    check {![session modified]} "$pane: Ctrl+S saved the session"
    expect_error {key $pane Ctrl+F} {*opened the dialog "Find"*}
    # F3 searches on from the last search once (the canvas has none to go on from).
    ::korvane::msg::clear
    ::korvane::msg::answer no
    key $pane F3
    set searches [llength [::korvane::msg::log prompted]]
    check {$searches == ($pane ne "trigger_canvas")} "$pane: F3 searched $searches times"
    ::korvane::msg::clear
    file delete $pdf_file
    key $pane Ctrl+P
    check {[file exists $pdf_file]} "$pane: Ctrl+P printed"
}

# Select All and Delete act on the focused node list or canvas; in the configuration pane they
# leave the nodes alone.
set all [nodes trigger]
key storage_type {Ctrl+A Del}
check {[nodes trigger] eq $all} "Ctrl+A and Del in the configuration pane keep the nodes"
key node_list {Ctrl+A Del}
check {[nodes trigger] eq {}} "Ctrl+A and Del in the node list delete every node: [nodes trigger]"
key node_list Ctrl+Z
check {[nodes trigger] eq $all} "Ctrl+Z gives them back"
set_widgets {data_setup_tabs {Advanced Trigger 2}}
set drawn [equation]
key trigger_canvas {Ctrl+A Del}
check {[equation] eq {}} "Ctrl+A and Del on the canvas delete the node box: [equation]"
key trigger_canvas Ctrl+Z
check {[equation] eq $drawn} "Ctrl+Z draws it again: [equation]"

# ---- a storage qualifier chosen with the arrow keys keeps the keyboard on its list ----
set_widgets {data_setup_tabs Setup storage_type Continuous}
key storage_type Down
check {[session focus] eq "storage_type"} "the rebuilt pane gave the focus back, not to \"[session focus]\""
key storage_type Down
check {[dict get [widget_state storage_type] text] eq "Transitional"} "the second Down chose the next type"
screenshot [file join $work storage_focus.png] 1280 800

# ---- zoom in and out after Center on Trigger keep the trigger in the middle of the view ----
# Center on Trigger is disabled when the trigger is in the middle already.
set_widgets {data_setup_tabs Data}
key node_list {Ctrl+Space Ctrl+Space Ctrl+Space}
if {[catch {action TOOLBAR_CENTER_ON_TRIGGER} message]} {
    check {[string match "*is disabled" $message]} "Center on Trigger: $message"
}
key node_list {Ctrl+Space Ctrl+Space Ctrl+Shift+Space Ctrl+Space}
screenshot [file join $work zoomed.png] 1280 800
# The sample in the middle of the waveform column, read by a master time bar put there.
lassign [cell 0 23 -rect] x y width height
context_menu node_list [expr {$x + 1 + ($width - 5) / 2}] [expr {$y + $height / 2}] {Insert Master Time Bar}
set middle [lindex [time_bars] 0]
check {abs($middle - $trigger_sample) <= 1} "the middle shows sample $middle, the trigger is $trigger_sample"

# The instance tree keeps its own Del, which the window's Delete does not take over.
::korvane::msg::answer yes
key instance_tree Del
check {[session instances] == 0} "Del in the instance tree deleted the instance"
# The empty session still takes an instance: Add Instance from the tree's menu makes entry 0
# current.
check {[dict get [status_texts] banner] eq "Create an instance"} "the banner asks for an instance: [status_texts]"
context_menu instance_tree 20 40 {Add Instance}
check {[session instances] == 1 && [session instance] == 0} "Add Instance made entry 0 current: [state]"
# Delete Instance from the menu on the row of a second instance: the remaining one is selected
# again, so Run stays enabled for it (the release of the right button belongs to the menu).
context_menu instance_tree 20 40 {Add Instance}
::korvane::msg::answer yes
context_menu instance_tree 60 58 {Delete Instance}
::korvane::msg::clear
check {[session instances] == 1 && [dict get [widget_state instance_run] enabled]} \
    "Run is enabled for the instance left: [state] [widget_state instance_run]"
