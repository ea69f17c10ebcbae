# Damaged session files as a person opens them: a bus row without its display format opens with
# a warning and its values show in hexadecimal on the Data tab, as the saved hexadecimal bus does; a trigger position beyond its log
# and a log name holding a NUL are refused (the repository's tests check the reasons given).
source [file join [file dirname [info script]] e2e_lib.tcl]

open_captured_demo damaged_sessions
action PIRQ_SAVE_ACTION -focus window
set saved [read_file $session_file]
close_window

proc damaged {from to} {
    set path [file join $::work damaged.lmx]
    set channel [open $path w]
    puts -nonewline $channel [regsub $from $::saved $to]
    close $channel
    return $path
}
proc posted {} { return [lmap r [::korvane::msg::log posted] {dict get $r text}] }

# The Data tab's picture of a session, zoomed in and scrolled until the bus shows its values
# ("0025h" ...), and the node list's region in it.
proc data_tab_picture {path} {
    set_widgets {data_setup_tabs Data}
    for {set step 0} {$step < 5} {incr step} {
        action ZOOM_IN
        wheel node_list -120 ctrl
    }
    action ZOOM_IN
    action ZOOM_IN
    screenshot $path
    set list [widget_state node_list]
    return "[dict get $list width]x[dict get $list height]+[dict get $list x]+[dict get $list y]"
}
::korvane::host::open_editor $session_file
set region [data_tab_picture [file join $work display_format_saved.png]]
close_window

::korvane::msg::clear
::korvane::host::open_editor [damaged {(name="cpu\|pc\[15\.\.0\]" [^>]*) group-display="5"} {\1}]
check {[data_tab_picture [file join $work display_format_default.png]] eq $region} "the node list keeps its place"
catch {exec compare -metric AE [file join $work display_format_saved.png]\[$region\] \
    [file join $work display_format_default.png]\[$region\] null: 2>@1} differing
check {$differing == 0} "the bus shows hexadecimal values as saved: $differing pixels differ in the node list"
check {[sample {cpu|pc[15..0]} $trigger_sample] eq $pc} "the bus shows its samples"
check {[lsearch -glob [posted] {1 group node(s) in *damaged.lmx name no display format and show hexadecimal values,\
    the first cpu|pc\[15..0\] at line *}] >= 0} "a warning names the bus: [posted]"

foreach {from to} {
    {trigger-positions="\d+"} {trigger-positions="2147483647"}
    {<log name="[^"]*"} {<log name-b64="bG9nAHg="}
} {
    expect_error {vokr_open_file -filename [damaged $from $to]} {vokr_open_file: cannot open *damaged.lmx}
}
