# Stop by hand on the demo, paced as hardware runs: Ctrl+E while the run waits for its trigger,
# while it acquires and while it offloads ends the run at once, with no capture arriving after
# it; Ctrl+E during an autorun ends it, and the log keeps the capture made before the stop. The
# script waits for each phase; only Stop itself is timed.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace stop]
::korvane::host::open_editor [file join $work demo.lmx]

proc status {} { return [dict get [status_texts] status] }

# Runs the event loop for `ms`, or until the condition holds when one is given; the time taken.
proc spin {ms {condition 0}} {
    set start [clock milliseconds]
    while {[clock milliseconds] - $start < $ms && ![uplevel 1 [list expr $condition]]} {
        after 5 {set ::tick 1}
        vwait ::tick
    }
    return [expr {[clock milliseconds] - $start}]
}

# Runs the event loop until the condition holds; an error naming `what` after a generous limit.
proc wait_for {condition what} {
    set took [uplevel 1 [list spin 30000 $condition]]
    check {[uplevel 1 [list expr $condition]]} "$what: not seen after $took ms: [status_texts]"
}

# The phases of a run in their order; a run that passed `phase` before the loop saw it (on a busy
# machine) is stopped and started again.
set ::phases {{Waiting for trigger} {Acquiring pre-trigger data} {Acquiring post-trigger data}
    {Offloading acquired data}}
proc run_to {phase} {
    set at [lsearch -exact $::phases $phase]
    for {set try 1} {$try <= 5} {incr try} {
        key node_list F5
        wait_for {[lsearch -exact $::phases [status]] >= $at || ![session acquiring]} \
            "the run reaches \"$phase\""
        if {[status] eq $phase && [session acquiring]} {
            return
        }
        key node_list Ctrl+E
        wait_for {![session acquiring]} "the run passed \"$phase\" and is stopped"
    }
    error "the run passed \"$phase\" five times before it was seen: [status_texts]"
}

# After Ctrl+E: the run ends within a few ticks and nothing follows it for longer than the rest
# of a run would take.
proc check_stopped {when data} {
    key node_list Ctrl+E
    set took [spin 1000 {![session acquiring]}]
    check {$took < 300} "$when: the run ended $took ms after Stop: [status_texts]"
    set after [status_texts]
    check {[dict get $after status] eq "Not running"} "$when: the status says so: $after"
    check {[dict get $after banner] eq "Ready to acquire" && [dict get $after jtag] eq "JTAG ready"} \
        "$when: ready for the next run: $after"
    spin 1500
    check {[status] eq "Not running" && ![session acquiring]} "$when: nothing follows the stop: [status_texts]"
    check {[session data_log] == $data} "$when: the log [expr {$data ? {keeps} : {has no}}] capture"
}

foreach phase {{Waiting for trigger} {Acquiring pre-trigger data} {Offloading acquired data}} {
    run_to $phase
    check_stopped "at \"$phase\"" 0
}

# Autorun: stopped while it waits for its second trigger, it keeps its first capture.
key node_list F6
wait_for {[session data_log]} "the autorun's first capture"
wait_for {[status] eq "Waiting for trigger"} "the autorun waits for its next trigger"
check {[session acquiring]} "autorun goes on after its first capture: [status_texts]"
check_stopped "autorun" 1
