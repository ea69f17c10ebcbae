# Fails after closing the last window it opened: the host still ends with a failure.
source [file join [file dirname [info script]] lib.tcl]
package require vokr
::korvane::host::open_editor
::korvane::shell::close_window
proc inner {} { error "deliberate failure" }
inner
