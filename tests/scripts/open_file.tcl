# vokr_open_file opens a session in the current editor window; a file that cannot be opened
# is an error and leaves the window's session as it was.
source [file join [file dirname [info script]] lib.tcl]

set demo [file normalize [file join [file dirname [info script]] .. .. examples demo demo.lmx]]
package require vokr
expect_error {vokr_open_file -filename $demo} {vokr_open_file: no editor window is open}

::korvane::host::open_editor
check {[dict get [::korvane::host::editor_state] instances] == 0} "a new window has no session"
vokr_open_file -filename $demo
set state [::korvane::host::editor_state]
check {[dict get $state file] eq $demo} "the window names the opened file, not [dict get $state file]"
check {[dict get $state instances] == 1} "the demo session has one instance"
check {![dict get $state modified]} "an opened session is unmodified"

expect_error {vokr_open_file -filename [file join [file dirname $demo] missing.lmx]} {vokr_open_file: cannot open *missing.lmx: No such file or directory}
check {[dict get [::korvane::host::editor_state] file] eq $demo} "a failed open keeps the session"

# A pipe or a device is refused with the reason whichever way it is given as the session: its open
# would wait for a writer or read without end, which the watchdog and the timeout turn into failures.
set fifo [file join [pwd] open_file_fifo.lmx]
file delete $fifo
exec mkfifo $fifo
::korvane::shell::watchdog 30000 "an open of a pipe or a device waits"
foreach special [list $fifo /dev/zero] {
    ::korvane::msg::clear
    expect_error {vokr_open_file -filename $special} "vokr_open_file: cannot open $special: it is not a regular file"
    set posted [lmap r [::korvane::msg::log posted] {dict get $r text}]
    check {[string match "*$special: it is not a regular file*" $posted]} "the window tells why: $posted"
    expect_error {::korvane::host::open_editor $special} "*cannot open $special: it is not a regular file"
    catch {exec timeout 20 [info nameofexecutable] $special --platform offscreen 2>@1} output
    check {[string match "*cannot open $special: it is not a regular file*" $output]} "the command line: $output"
}
::korvane::shell::watchdog 0
file delete $fifo
