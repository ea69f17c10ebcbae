# What the editor refuses, and says why, on the demo: Read Data while the device does not hold the
# design as set; the settings a run was built from while it acquires (Undo and Redo, the
# configuration pane, the level and storage commands), all back once it stops; Undo and Redo of
# an edit the Trigger Only lock-mode refuses.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace guards]
::korvane::host::open_editor [file join $work demo.lmx]
set_widgets {data_setup_tabs Setup}

# The notices of one identifier given since the last clear.
proc notices {identifier} {
    return [lmap r [::korvane::msg::log prompted] {
        if {[dict get $r identifier] ne $identifier} continue
        dict get $r text
    }]
}

# ---- Read Data reads only what the device holds ----
# A new depth not compiled, then compiled but not programmed: each read is refused with the step
# to take, leaving no log; once programmed, the read gives the new depth.
key sample_depth Down
foreach {step compile} {{Compile the project to continue} 1 {Program the device to continue} 0} {
    ::korvane::msg::clear
    click instance_read_data
    check {![session data_log]} "a read of a device without the 2 K design leaves no log: [state]"
    check {[llength [notices VOKR_DEVICE_NOT_PROGRAMMED]] == 1 &&
           [string match "Cannot run instance \"auto_lumetra_0\" -- *$step" [lindex [notices VOKR_DEVICE_NOT_PROGRAMMED] 0]]} \
        "the read says: $step, not [::korvane::msg::log prompted]"
    check {[dict get [status_texts] status] eq "Not running"} "the row tells no error: [status_texts]"
    if {$compile} {
        key instance_tree Ctrl+L
        update
    }
}
screenshot [file join $work read_refused.png]
click jtag_program
update
click instance_read_data
check {[session data_log] && [session sample_depth] == 2048} "the programmed device is read: [state]"

# ---- while an instance acquires, what its run was built from stays ----
set_widgets {data_setup_tabs Setup}
set bit {cpu|pc[15]}
context_menu node_list {*}[cell $bit 12] {Rising Edge}
set conditions [level_conditions 0]
set storage [dict get [trigger] storage_qualifier]
key node_list F6
check {[session acquiring]} "Autorun acquires"
key node_list Ctrl+Z
check {[level_conditions 0] eq $conditions} "Ctrl+Z keeps the condition the run has: [level_conditions 0]"
check {![dict get [status_texts] undo] && ![dict get [status_texts] redo]} "Undo and Redo are off: [status_texts]"
expect_error {action UNDO -focus window} {*disabled*}
foreach pane {sample_depth storage_type trigger_position pipeline flow_control segmented} {
    check {![dict get [widget_state $pane] enabled]} "$pane is disabled while the run goes on"
}
::korvane::msg::clear
expect_error {vokr_set_storage_qualifier -type Transitional} {*an acquisition is running*}
expect_error {vokr_switch_to_advanced_view -combobox_type 3} {*an acquisition is running*}
check {[dict get [trigger] storage_qualifier] == $storage} "the storage command changed nothing"
check {[lindex [dict get [trigger] level_types] 0] != 3} "the level command changed nothing"
check {[llength [notices VOKR_CANT_CLOSE_LMX_FILE]] == 2} "both commands say why: [::korvane::msg::log prompted]"
check {[dict get [status_texts] banner] eq "Acquisition in progress"} "no compile is asked for: [status_texts]"
screenshot [file join $work acquiring_blocked.png]
key node_list Ctrl+E
wait_acquisition
check {[dict get [status_texts] undo] && [dict get [widget_state sample_depth] enabled]} \
    "Undo and the pane are back once the run ends: [status_texts]"
key node_list Ctrl+Z
check {[level_conditions 0] ne $conditions} "Ctrl+Z then takes the condition back"

# ---- Undo and Redo past the Trigger Only lock-mode ----
# Two nodes tapped, the second undone; under the lock neither the first's Undo nor the second's
# Redo is made, and the session is no more modified than it was. A condition stays undoable.
foreach node {cpu|fsm|busy uart_rx} {
    action INSERT_NODES
    ::korvane::finder::choose $node
}
key node_list Ctrl+Z
set tapped [nodes trigger]
check {"cpu|fsm|busy" in $tapped && "uart_rx" ni $tapped} "the second tap is undone: $tapped"
action PIRQ_SAVE_ACTION -focus window
set_widgets {lock_mode {Allow trigger condition changes only}}
foreach keys {Ctrl+Z Ctrl+Y} {
    ::korvane::msg::clear
    key node_list $keys
    check {[nodes trigger] eq $tapped} "$keys under the lock keeps the nodes: [nodes trigger]"
    check {[llength [notices VOKR_UNDO_TRIGGER_LOCK]] == 1} "$keys says the lock refuses it: [::korvane::msg::log prompted]"
    check {![session modified]} "$keys left the session unmodified"
}
set conditions [level_conditions 0]
context_menu node_list {*}[cell $bit 12] {Falling Edge}
key node_list Ctrl+Z
check {[level_conditions 0] eq $conditions} "a condition's Undo passes the lock: [level_conditions 0]"
::korvane::msg::answer no
close_window
