# Damaged session files as a person opens them: a bus row without its display format opens with
# a warning and its values show in hexadecimal on the Data tab, as the saved hexadecimal bus does;
# a trigger position beyond its log, a log name holding a NUL and a fault after a line of planes
# are refused, by File > Open and by vokr_open_file, with the reason, line and column in the
# Messages window and in the command's error; a file whose reading fails says so (the
# repository's tests check every reason).
source [file join [file dirname [info script]] e2e_lib.tcl]

open_captured_demo damaged_sessions
action PIRQ_SAVE_ACTION -focus window
set saved [read_file $session_file]
close_window

proc write_damaged {text {name damaged}} {
    set path [file join $::work $name.lmx]
    set channel [open $path w]
    puts -nonewline $channel $text
    close $channel
    return $path
}
proc damaged {from to {name damaged}} { return [write_damaged [regsub $from $::saved $to] $name] }
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

# A fault after a line of planes, at the column the file has it: after every plane's text.
set one_line [regsub {(<plane kind="bits" channel="1">[^<]*</plane>)} [regsub -all {\n *(<plane)} $saved {\1}] \
    {\1<fault/>}]
foreach line [split $one_line \n] {
    if {[set at [string first <fault/> $line]] >= 0} { set column [expr {$at + [string length <fault/>]}] }
}
set invalid {Invalid session file "*}
foreach {path reason} [list \
    [damaged {trigger-positions="\d+"} {trigger-positions="2147483647"} position] \
        "${invalid}position.lmx\" at line *, column *: trigger position 2147483647 lies beyond the log's * samples" \
    [damaged {<log name="[^"]*"} {<log name-b64="bG9nAHg="} nul] \
        "${invalid}nul.lmx\" at line *, column *: attribute name holds a NUL character" \
    [write_damaged $one_line line] "${invalid}line.lmx\" at line *, column $column: unexpected element <fault>" \
    /proc/self/mem {cannot read "/proc/self/mem": *} \
] {
    ::korvane::msg::clear
    expect_error {vokr_open_file -filename $path} "vokr_open_file: cannot open $path: $reason"
    check {[lsearch -glob [posted] $reason] >= 0} "vokr_open_file posts the reason: [posted]"
    ::korvane::msg::clear
    answer_dialog [list fileNameEdit $path] Open {action PIRQ_OPEN_ACTION -focus window}
    check {[lsearch -glob [posted] $reason] >= 0} "File > Open posts the reason: [posted]"
}
