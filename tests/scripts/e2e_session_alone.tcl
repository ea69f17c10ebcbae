# A session copied alone to another folder, away from its project: opening it, from the command
# line or with File > Open (also in a window that held the demo with its project), warns once and
# names the folder searched; F5 is refused with the reason instead of waiting for a trigger the
# simulated target cannot give, and so is Read Data. An empty "*.kproj" nobody named, there or
# before the project beside a session, is passed over and left as it is.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace session_alone]
set alone [file join $work alone]
file mkdir $alone
file copy [file join $work demo.lmx] $alone
set session_file [file join $alone demo.lmx]
# Empty project descriptions the user keeps: beside the lone session, and before the project.
foreach stray [list [file join $alone alone.kproj] [file join $work a.kproj]] {
    close [open $stray w]
}

# The posted messages of the journal with that identifier.
proc posted {identifier} {
    set found {}
    foreach record [::korvane::msg::log] {
        if {[dict get $record event] eq "posted" && [dict get $record identifier] eq $identifier} {
            lappend found [dict get $record text]
        }
    }
    return $found
}

foreach how {command_line file_open file_open_after_project} {
    if {$how eq "command_line"} {
        ::korvane::msg::clear
        ::korvane::host::open_editor $session_file
    } else {
        ::korvane::host::open_editor {*}[expr {$how eq "file_open" ? {} : [list [file join $work demo.lmx]]}]
        ::korvane::msg::clear
        answer_dialog [list fileNameEdit $session_file] Open {action PIRQ_OPEN_ACTION -focus window}
    }
    set warnings [posted HOST_NO_PROJECT]
    check {[llength $warnings] == 1} "$how: one warning: $warnings"
    check {[string first $alone [lindex $warnings 0]] >= 0} "$how: the warning names the folder: $warnings"

    ::korvane::msg::clear
    key node_list F5
    check {![session acquiring]} "$how: F5 starts nothing: [status_texts]"
    set refusals [posted DAW_TRIGGER_NOT_RUNNABLE]
    check {[llength $refusals] == 1 && [string match "*no project is open*" [lindex $refusals 0]]} \
        "$how: F5 is refused with the reason: $refusals"
    check {[dict get [status_texts] status] eq "Not running"} "$how: the instance is not running: [status_texts]"

    # Read Data is refused for the same reason, and the window tells what it told before.
    set before [status_texts]
    click instance_read_data
    set reads [posted DAW_DATA_NOT_READABLE]
    check {[llength $reads] == 1 && [string match "*no project is open*" [lindex $reads 0]]} \
        "$how: Read Data is refused with the reason: $reads"
    check {[status_texts] eq $before} "$how: Read Data leaves the window as it was: [status_texts], not $before"
    close_window
}

::korvane::msg::clear
::korvane::host::open_editor [file join $work demo.lmx]
check {[posted HOST_NO_PROJECT] eq {} && [session instances] == 1} "the project beside the stray file is open"
close_window
# Named, the same file is the person's request: its fault is the error.
expect_error {::korvane::host::open_editor $session_file -project [file join $alone alone.kproj]} \
    "*Invalid project description*alone.kproj*names no top entity*"
foreach stray [list [file join $alone alone.kproj] [file join $work a.kproj]] {
    check {[file size $stray] == 0} "$stray is left as it was"
}
