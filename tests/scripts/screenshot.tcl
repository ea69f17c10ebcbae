# Opens the demo and ends, leaving the window for the picture the host writes after the script
# (--screenshot). With SHELL_PICTURE set, the script writes the shell's own picture of the window
# to that file before it ends: the two pictures must show the same window.
::korvane::host::open_editor [file normalize [file join [file dirname [info script]] .. .. examples demo demo.lmx]]
if {[info exists ::env(SHELL_PICTURE)]} {
    ::korvane::shell::screenshot $::env(SHELL_PICTURE)
}
