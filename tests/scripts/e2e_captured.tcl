# The demo's capture and the panes around it, by hand: Find Bus Value finds only captured samples;
# the wheel over a setting scrolls its pane; the Data Log pane shows the log that stays active and
# names the instance Delete takes; Insert beside the advanced editor's Result; the list file with
# no viewer; Save As beside another window's project; the Power-Up Trigger row's status.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace captured]
::korvane::host::open_editor [file join $work demo.lmx]
set bus {cpu|pc[15..0]}
# Logging on: each capture is a log of its own.
action LOGGING
key node_list F5
wait_acquisition
key node_list F5
wait_acquisition
set depth [session sample_depth]

# ---- Find Bus Value over a capture whose first samples were never captured ----
set first -1
for {set s 0} {$s < $depth && $first < 0} {incr s} {
    if {[sample $bus $s] eq [string repeat 0 16]} {
        set first $s
    }
}
check {[sample $bus 0] eq [string repeat x 16] && $first > 0} "sample 0 was never captured, pc is 0 at $first"
set_widgets {data_setup_tabs Data}
click node_list {*}[cell $bus 2]
answer_dialog {radix Hexadecimal value 0} {{Find Next} Cancel} \
    {context_menu node_list {*}[cell $bus 2] {Find Bus Value...}}
check {[lindex [time_bars] 0] == $first} "the search stops at captured sample $first, not [time_bars]"
screenshot [file join $work find_captured.png]
foreach entry {{Find Next Bus Value} {Find Previous Bus Value}} {
    ::korvane::msg::clear
    context_menu node_list {*}[cell $bus 2] $entry
    set told [lmap r [::korvane::msg::log prompted] {dict get $r identifier}]
    check {[lindex [time_bars] 0] == $first && $told eq "VOKR_FIND_BUS_VALUE_NOT_FOUND"} \
        "$entry finds no other 0 at [time_bars]: $told"
}

# ---- the wheel over a setting scrolls the pane; a setting with the focus takes it ----
set_widgets {data_setup_tabs Setup}
foreach {box notch} {storage_type -120 trigger_position -120 lock_mode -120} {
    set before [widget_state $box]
    ::korvane::msg::clear
    wheel $box $notch
    set after [widget_state $box]
    check {[dict get $after text] eq [dict get $before text]} "the wheel over $box keeps [dict get $before text]"
    check {[::korvane::msg::log prompted] eq ""} "the wheel over $box asked nothing"
    if {$box eq "storage_type"} {
        check {[dict get $after y] < [dict get $before y]} "the pane scrolled under the pointer: $before, $after"
    }
}
screenshot [file join $work wheel_scrolls.png]
key storage_type {}
wheel storage_type -120
check {[dict get [widget_state storage_type] text] ne "Continuous"} "the focused box takes the wheel"
vokr_undo_view

# ---- the Data Log pane ----
proc rows {} { return [dict get [widget_state data_log_tree] rows] }
# The icon of a row of that text.
proc mark {text} {
    foreach row [rows] {
        if {[lindex $row 0] eq $text} {
            return [lindex $row 1]
        }
    }
    return none
}
set_widgets {data_setup_tabs Data}
action PIRQ_ACTION_DATA_LOG_PANE
key data_log_tree {Home *}
set active [mark {log: 2}]
check {$active ne [mark {log: 1}]} "the latest log is marked active: [rows]"
::korvane::msg::answer yes
vokr_set_active -log_name {log: 1}
check {[mark {log: 1}] eq $active && [mark {log: 2}] ne $active} "the pane marks the log made active: [rows]"
::korvane::msg::answer yes
vokr_set_active -log_name {log: 2}
::korvane::msg::answer yes
key data_log_tree {Home Down Down Down Down Del}
check {[mark {log: 2}] eq "none" && [mark {log: 1}] eq $active} "the remaining log is active: [rows]"
check {[session data_log] && [session sample_depth] == $depth} "the view shows the remaining log: [state]"
screenshot [file join $work log_deleted.png]
::korvane::msg::clear
::korvane::msg::answer no
key data_log_tree {Home Del}
check {[lmap r [::korvane::msg::log prompted] {dict get $r text}] eq [list \
    {Do you want to delete instance "auto_lumetra_0" and all of its data logs?  This cannot be undone.}]} \
    "Delete on the instance names it: [::korvane::msg::log prompted]"
check {[session instances] == 1} "No keeps the instance"

# ---- Insert with the Result selected makes an input of the Result, as Append does ----
set_widgets {data_setup_tabs Setup}
vokr_switch_to_advanced_view -combobox_type 3
key trigger_canvas Ctrl+A
answer_dialog {object_type {Logical Operator}} OK {key trigger_canvas i}
foreach node {{cpu|pc[6]} {cpu|pc[3]}} {
    select $node
    drop_nodes logical_0
}
set equation [lindex [dict get [trigger] equations] 0]
check {$equation eq {'logical_0':(and('cpu|pc[3]','cpu|pc[6]'))}} "the AND drives the Result: $equation"
screenshot [file join $work insert_at_result.png]

# ---- Create List File without a viewer says where the file is ----
set_widgets {data_setup_tabs Data}
set path $::env(PATH)
set ::env(PATH) [file join $work no_viewer]
::korvane::msg::clear
action CREATE_LIST_FILE
set ::env(PATH) $path
set told [lmap r [::korvane::msg::log prompted] {dict get $r text}]
set list_file [file join $work demo_auto_lumetra_0.txt]
check {[file exists $list_file] && $told eq [list "Successfully exported data to file \"[file nativename $list_file]\""]} \
    "the list file's place is told: $told"

# ---- Save As beside another window names the project it enables the file for ----
set other [e2e_workspace captured_other]
::korvane::host::open_editor [file join $other demo.lmx]
windows 0
::korvane::msg::clear
::korvane::msg::answer no
answer_dialog [list fileNameEdit [file join $work copy.lmx]] accept {action PIRQ_SAVE_AS_ACTION -focus window}
set asked [join [lmap r [::korvane::msg::log prompted] {dict get $r text}] \n]
check {[string match "*for project \"demo\" in folder \"[file nativename $other]\"?" $asked]} \
    "Save As names the project: $asked"
windows 1
close_window

# ---- the Power-Up Trigger row tells its status ----
context_menu instance_tree 20 40 {Enable Power-Up Trigger}
set power_up [lindex [dict get [widget_state instance_tree] rows] 1]
check {[lindex $power_up 0] eq "Power-Up Trigger" && [lindex $power_up 2] eq "Not running"} \
    "the power-up row tells its status: $power_up"
screenshot [file join $work power_up_row.png]

::korvane::msg::answer no
close_window
