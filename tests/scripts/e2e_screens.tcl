# The editor's screens stay whole while a person works on the demo at 1280 x 800: Autorun started
# from the Setup tab leaves no Setup control over the waveforms once the Data tab shows its data;
# the node list keeps its width and its Trigger Conditions column through a refused run, a run
# stopped without data and a change of the flow control; the menu's Next and Previous Transition
# are enabled exactly when the node list's two buttons are.
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

# Clicks the "Data" tab, at the left of the tab bar below the Data/Setup pages.
proc click_data_tab {} {
    click data_setup_tabs 30 [expr {[dict get [widget_state data_setup_tabs] height] - 10}]
}

set work [e2e_workspace screens]
set session_file [file join $work demo.lmx]
set pictures [file join $work pictures]
::korvane::host::open_editor $session_file
screenshot [file join $pictures opened.png] 1280 800

# ---- Autorun from the Setup tab: the Data tab shows the data and nothing of the Setup tab ----
set_widgets {data_setup_tabs Setup}
click instance_autorun
wait_for {[session data_log] && [session acquiring]} 5000
click_data_tab
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
