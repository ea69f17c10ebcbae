# Small checking helpers for the host's test scripts.
proc check {condition message} {
    if {![uplevel 1 [list expr $condition]]} {
        error "check failed: $message"
    }
}

# Runs a script that must fail with an error matching a glob pattern; returns the error.
proc expect_error {script pattern} {
    if {![catch {uplevel 1 $script} message]} {
        error "expected an error from: $script"
    }
    if {![string match $pattern $message]} {
        error "error \"$message\" of \"$script\" does not match \"$pattern\""
    }
    return $message
}
