# With packages loaded from their files, the module offers no static package, and
# "package require" loads it from its shared library.
source [file join [file dirname [info script]] lib.tcl]

expect_error {load {} Vokr} {*}
check {[package require vokr] eq "1.0"} "package loads from its library file"
check {[llength [info commands vokr_open_file]] == 1} "commands registered"
