# The editor's screens stay whole while a person works on the demo at 1280 x 800: Autorun started
# from the Setup tab leaves no Setup control over the waveforms once the Data tab shows its data;
# the node list shows its Trigger Conditions column whole beside the whole signal configuration
# pane, and keeps its width through a stopped run, a refused run and a change of the flow control;
# the menu's Next and Previous Transition are enabled exactly when the node list's buttons are; a
# bus value too wide for the value column reads whole, in hexadecimal, in its tooltip.
source [file join [file dirname [info script]] e2e_lib.tcl]

proc pause {ms} {
    after $ms {set ::paused 1}
    vwait ::paused
}

# Lets the event loop run until the condition holds; an error after `limit` ms.
proc wait_for {condition limit} {
    set start [clock milliseconds]
    while {![uplevel 1 [list expr $condition]]} {
        if {[clock milliseconds] - $start > $limit} {
            error "not done after $limit ms: $condition"
        }
        pause 5
    }
}

# The number of pixels that differ between two pictures in the region "WxH+X+Y".
proc differing_pixels {first second region} {
    catch {exec compare -metric AE "$first\[$region\]" "$second\[$region\]" null: 2>@1} out
    check {[regexp {^\s*([0-9.e+]+)} $out -> count]} "compare answered \"$out\""
    return [expr {int($count)}]
}

# The region of the window picture from the node list's top to the first row's bottom, across the
# waveform column: the time ruler and the first waveform.
proc ruler_region {} {
    set list [widget_state node_list]
    lassign [cell {cpu|pc[15..0]} 23 -rect] x y width height
    set left [expr {[dict get $list x] + $x}]
    return "[expr {$width - 2}]x[expr {$y + $height}]+$left+[dict get $list y]"
}

# Clicks the "Data" or the "Setup" tab, the first two of the tab bar below the Data/Setup pages.
proc click_tab {name} {
    set x [dict get {Data 30 Setup 130} $name]
    click data_setup_tabs $x [expr {[dict get [widget_state data_setup_tabs] height] - 10}]
}

# The node list's width and the rectangle of the first row's Trigger Conditions cell.
proc node_list_columns {} {
    return [list [dict get [widget_state node_list] width] [cell {cpu|pc[15..0]} 12 -rect]]
}

set work [e2e_workspace screens]
set session_file [file join $work demo.lmx]
set pictures [file join $work pictures]
::korvane::host::open_editor $session_file
screenshot [file join $pictures opened.png] 1280 800

# ---- Autorun from the Setup tab: the Data tab shows the data and nothing of the Setup tab ----
set_widgets {data_setup_tabs Setup}
click instance_autorun
wait_for {[session data_log] && [session acquiring]} 15000
click_tab Data
set during [file join $pictures autorun_data.png]
screenshot $during
check {[session acquiring]} "the picture was taken during Autorun"
click instance_stop
wait_acquisition
set after [file join $pictures stopped_data.png]
screenshot $after
set region [ruler_region]
check {[differing_pixels $during $after $region] == 0} \
    "the ruler and the first waveform look the same during Autorun as after it (region $region)"

# ---- Next and Previous Transition from the menu are enabled exactly when the buttons are ----
# Whether the menu runs the action (Next Transition 715, Previous Transition 716); a disabled one
# is refused.
set NEXT 715
set PREVIOUS 716
proc runs {action} {
    if {[catch {action $action} message]} {
        check {[string match "action * is disabled" $message]} "the menu refused $action: $message"
        return 0
    }
    return 1
}
proc button_enabled {name} { return [dict get [widget_state $name] enabled] }
# The buttons are as expected, and the menu refuses the steps whose button is disabled.
proc check_transitions {where next previous} {
    set buttons [list [button_enabled next_transition] [button_enabled previous_transition]]
    check {$buttons eq [list $next $previous]} "the buttons (next, previous) with the master $where: $buttons"
    foreach {action enabled} [list $::NEXT $next $::PREVIOUS $previous] {
        check {$enabled || ![runs $action]} "the menu's $action is disabled with its button, master $where"
    }
}
check {![runs $NEXT] && ![runs $PREVIOUS]} "no transition to step to without a time bar"
# A time bar, the master, clicked into the ruler; a selected bit that never changes takes each
# step to an end of the capture.
click node_list {*}[cell 0 23]
click node_list {*}[cell {cpu|pc[15]} 2]
# A bus value too wide for the value column at the master time bar is elided; its tooltip gives
# the value whole in hexadecimal.
foreach action {DISPLAY_BINARY DISPLAY_OCTAL} {
    select {cpu|pc[15..0]}
    action $action
    set tip [tooltip node_list {*}[cell {cpu|pc[15..0]} 22]]
    check {[regexp {^[0-9A-F]{4}h$} $tip]} "the value's tooltip after $action reads whole: \"$tip\""
    screenshot [file join $pictures value_$action.png]
}
action DISPLAY_HEX
select {cpu|pc[15]}
check_transitions inside 1 1
check {[runs $NEXT] && [lindex [time_bars] 0] == [session sample_depth]} "Next Transition went to the end"
check_transitions "at the end" 0 1
check {[runs $PREVIOUS] && [lindex [time_bars] 0] == 0} "Previous Transition went to the start"
check_transitions "at the start" 1 0

# ---- the node list keeps its width and its columns on the Setup tab ----
close_window
::korvane::host::open_editor [file join [e2e_workspace screens_setup] demo.lmx]
screenshot [file join $pictures setup_opened.png] 1280 800
click_tab Setup
set columns [node_list_columns]
lassign $columns width conditions
check {[lindex $conditions 0] + [lindex $conditions 2] < $width} "the Trigger Conditions column is whole: $columns"
# Beside it the signal configuration pane holds its fields whole.
set pane [widget_state signal_configuration]
foreach control {clock ram_type data_nodes storage_type} {
    set field [widget_state $control]
    check {[dict get $field x] + [dict get $field width] <= [dict get $pane x] + [dict get $pane width]} \
        "$control lies inside the configuration pane: $field, pane $pane"
}
# A run stopped at once; the tab shows whatever came of it, and Setup shows the list as it was.
click instance_run
click instance_stop
wait_acquisition
click_tab Setup
check {[node_list_columns] eq $columns} "after a stopped run: [node_list_columns], not $columns"
# A run the device refuses: the sample depth changed since the compile, and the run goes ahead
# without compiling on a device that holds the design as it was.
set_value {cpu|pc[15..0]} 0 XXXXXXXXXRXXXXXX
key sample_depth Down
::korvane::msg::answer no
click instance_run
wait_acquisition
check {[dict get [status_texts] status] eq "Instance version mismatch"} "the run was refused: [status_texts]"
check {[node_list_columns] eq $columns} "after a refused run: [node_list_columns], not $columns"
# The flow control changed and back: the tabs are built again.
set_widgets {flow_control State-based}
click_tab Setup
set_widgets {flow_control Sequential}
check {[node_list_columns] eq $columns} "after the flow control changed: [node_list_columns], not $columns"
screenshot [file join $pictures setup_after_changes.png]
