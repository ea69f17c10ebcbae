# Unloading the module takes away its commands and its packages; requiring it again loads it anew.
source [file join [file dirname [info script]] lib.tcl]

package require vokr
unload [lindex [lsearch -inline -index 1 [info loaded] Vokr] 0] Vokr
check {[llength [info commands vokr_open_file]] == 0} "commands removed"
check {[package provide vokr] eq ""} "package vokr forgotten, not [package provide vokr]"
check {[package provide ::korvane::vokr] eq ""} "package ::korvane::vokr forgotten"
check {[package require vokr] eq "1.0"} "the package loads again"
check {[llength [info commands vokr_open_file]] == 1} "commands registered again"
