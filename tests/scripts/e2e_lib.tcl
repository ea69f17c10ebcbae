# Shared steps of the end-to-end scripts: a fresh copy of the demo project to work in, the
# shell's commands by their short names, and readers of the files the editor writes.
source [file join [file dirname [info script]] lib.tcl]
package require vokr
namespace path {::korvane::shell}

set demo_dir [file normalize [file join [file dirname [info script]] .. .. examples demo]]

# A new directory holding the demo project and session, named after the task, under the
# directory the test runs in.
proc e2e_workspace {task} {
    set work [file normalize [file join [pwd] e2e_work $task]]
    file delete -force $work
    file mkdir $work
    foreach item {demo.kproj demo.lmx db} {
        file copy [file join $::demo_dir $item] $work
    }
    return $work
}

proc read_file {path {binary 0}} {
    set channel [open $path r]
    if {$binary} {
        fconfigure $channel -translation binary
    }
    set data [read $channel]
    close $channel
    return $data
}

# The current window's session, as a dictionary of the shell's state.
proc session {key} { return [dict get [state] $key] }

# Conditions of a trigger level as a dictionary of node name and condition number.
proc level_conditions {level} { return [lindex [dict get [trigger] levels] $level] }

# A device that does not hold the compiled trigger is programmed from the JTAG pane, as the
# banner asks, and the pane waits for the programming to end.
proc program_if_needed {} {
    if {[dict get [status_texts] banner] eq "Program the device to continue"} {
        click jtag_program
        update
        check {[dict get [status_texts] banner] ne "Program the device to continue"} "the device was programmed"
    }
}

# Runs an acquisition of the current instance on the simulated target and waits for its end.
# A trigger changed since the last compile makes the editor ask to recompile (yes) and to save
# first (yes); the run after the compile acquires.
proc run_acquisition {} {
    set_widgets {jtag_hardware USB-Cable jtag_device MR2-C40}
    ::korvane::msg::answer yes yes
    action RUN -focus window
    if {![session acquiring]} {
        program_if_needed
        action RUN -focus window
    }
    wait_acquisition
    ::korvane::msg::clear
    check {[session data_log]} "the run left a data log with data"
}

# Opens a fresh copy of the demo in a workspace named after the task and captures once. Sets the
# caller's `work`, `session_file`, `trigger_sample` and `pc` (the program counter's value at the
# trigger) for the checks that follow.
proc open_captured_demo {task} {
    upvar 1 work work session_file session_file trigger_sample trigger_sample pc pc
    set work [e2e_workspace $task]
    set session_file [file join $work demo.lmx]
    ::korvane::host::open_editor $session_file
    run_acquisition
    set trigger_sample [session trigger_sample]
    set pc [sample {cpu|pc[15..0]} $trigger_sample]
}
