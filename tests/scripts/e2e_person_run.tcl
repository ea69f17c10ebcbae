# A person's first capture on the demo: the window opens as tools/run opens it, Run is clicked
# once and only the event loop runs until the data log appears; the status column, the banner
# and the JTAG pane tell, in order, what the device does. Then Autorun repeats until Stop, and
# the saved session shows its hardware and device when reopened. The host's pictures of the
# window before, during and after the run go to artifacts/ beside the test's directory.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace person_run]
set session_file [file join $work demo.lmx]
set pictures [file normalize [file join [pwd] .. artifacts]]
::korvane::host::open_editor $session_file
screenshot [file join $pictures run_before.png] 1280 800
set opened [status_texts]
check {[dict get $opened banner] eq "Ready to acquire"} "the demo is ready to capture: $opened"
check {[dict get $opened jtag] eq "JTAG ready"} "the JTAG pane is ready: $opened"
check {![dict get $opened undo] && ![dict get $opened redo]} "nothing to undo or redo: $opened"

# The phase a Status cell tells; "" for texts outside a run.
proc phase {status} {
    switch -glob -- $status {
        "Waiting for trigger" { return waiting }
        "Acquiring *" { return acquiring }
        "Offloading acquired data" { return offloading }
        "Not running" { return idle }
        default { return "other ($status)" }
    }
}

# Lets the event loop run until the script's condition holds; an error after `limit` ms. Each
# change of the status texts, up to those the condition was met with, is passed to `on_change`
# with whether an acquisition runs.
proc run_loop_until {condition limit on_change} {
    set start [clock milliseconds]
    set last {}
    while {![uplevel 1 [list expr $condition]]} {
        if {[clock milliseconds] - $start > $limit} {
            error "not done after $limit ms: [status_texts]"
        }
        after 10 {set ::tick 1}
        vwait ::tick
        set texts [status_texts]
        if {$texts ne $last} {
            {*}$on_change $texts [session acquiring]
            set last $texts
        }
    }
    # Reading the session may have run events posted after the texts were read: the texts the
    # condition was met with are passed on too.
    set texts [status_texts]
    if {$texts ne $last} {
        {*}$on_change $texts [session acquiring]
    }
    return [expr {[clock milliseconds] - $start}]
}

set ::phases {}
set ::during_taken 0
proc sample_run {texts acquiring} {
    set now [phase [dict get $texts status]]
    if {$now ne [lindex $::phases end]} {
        lappend ::phases $now
    }
    check {!($acquiring && $now eq "idle")} "\"Not running\" while acquiring: $texts"
    if {$acquiring} {
        check {[dict get $texts banner] eq "Acquisition in progress"} "the banner during the run: $texts"
        check {[dict get $texts jtag] eq "Acquisition in progress"} "the JTAG pane during the run: $texts"
    }
    if {$now eq "acquiring" && !$::during_taken} {
        screenshot [file join $::pictures run_during.png]
        set ::during_taken 1
    }
}

# ---- one click on Run ----
action RUN -focus window
set took [run_loop_until {[session data_log] && ![session acquiring]} 15000 sample_run]
puts "the run took $took ms: $::phases"
# On a busy machine the loop may not run while a short phase lasts: the phases seen keep their
# order, from waiting to idle, and none comes back (e2e_stop.tcl waits for each phase itself).
set order [lmap phase $::phases {lsearch -exact {waiting acquiring offloading idle} $phase}]
check {[lindex $::phases 0] eq "waiting" && [lindex $::phases end] eq "idle" && -1 ni $order &&
    $order eq [lsort -integer -unique $order]} "the run's phases in order: $::phases"
check {$took >= 300 && $took <= 3000} "a 1 K run takes 0.3 to 3 s, not $took ms"
set after [status_texts]
check {[dict get $after banner] eq "Ready to acquire"} "no programming or compile request after the capture: $after"
check {[dict get $after jtag] eq "JTAG ready"} "the JTAG pane after the capture: $after"
set_widgets {data_setup_tabs Data}
screenshot [file join $pictures run_after.png]

# ---- Autorun captures again and again until Stop ----
set ::captures 0
proc count_captures {texts acquiring} {
    if {[phase [dict get $texts status]] eq "offloading"} {
        incr ::captures
    }
}
action AUTORUN -focus window
catch {run_loop_until {$::captures >= 2} 30000 count_captures}
check {$::captures >= 2 && [session acquiring]} "autorun captured $::captures times and still runs"
action STOP -focus window
run_loop_until {![session acquiring]} 3000 {apply {{texts acquiring} {}}}
check {[dict get [status_texts] status] eq "Not running"} "stopped: [status_texts]"

# ---- saved and reopened: the hardware and device are shown ----
action PIRQ_SAVE_ACTION
close_window
::korvane::host::open_editor $session_file
set reopened [status_texts]
check {[dict get $reopened hardware] eq "USB-Cable" && [dict get $reopened device] eq "MR2-C40"} \
    "the reopened session shows its hardware and device: $reopened"
check {[dict get $reopened banner] eq "Ready to acquire"} "the reopened session is ready: $reopened"
close_window
