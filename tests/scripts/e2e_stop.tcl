# Stop by hand on the demo, paced as hardware runs: Ctrl+E at 0.1 s (waiting for the trigger),
# at 0.5 s (acquiring) and while offloading ends the run at once, with no capture arriving after
# it; Ctrl+E during an autorun ends it, and the log keeps the capture made before the stop.
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

foreach {when wait phase} {
    "at 0.1 s" {spin 100} {Waiting for trigger}
    "at 0.5 s" {spin 500} {Acquiring pre-trigger data}
    "while offloading" {spin 3000 {[status] eq "Offloading acquired data"}} {Offloading acquired data}
} {
    key node_list F5
    eval $wait
    check {[status] eq $phase} "$when the run is at \"$phase\": [status_texts]"
    check_stopped $when 0
}

# Autorun: stopped while it waits for its second trigger, it keeps its first capture.
key node_list F6
spin 3000 {[session data_log]}
spin 3000 {[status] eq "Waiting for trigger"}
check {[session acquiring]} "autorun goes on after its first capture: [status_texts]"
check_stopped "autorun" 1
