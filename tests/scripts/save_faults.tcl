# A save that the system refuses at its end is a failed save, and one ended by a kill leaves at
# most a temporary file that the next open or save of the session removes. Each faulty save runs in
# a host of its own: strace makes the sync of the data or of the folder fail or kills the host at
# the rename, or a file-size limit stops it. That host captures, saves and reports its window's
# modified mark and the messages posted; this one checks them and the files.
source [file join [file dirname [info script]] e2e_lib.tcl]

if {[info exists env(SAVE_FAULT_SESSION)]} {
    # The host under the fault: the capture makes the session larger than the demo.
    ::korvane::host::open_editor $env(SAVE_FAULT_SESSION)
    run_acquisition
    catch {action PIRQ_SAVE_ACTION -focus window}
    puts [list modified [session modified] posted [lmap r [::korvane::msg::log posted] {dict get $r text}]]
} else {
    set script [file normalize [info script]]
    # The report of a save in a host run under `prefix`, a command that runs the words after it.
    proc save_under {session prefix} {
        set ::env(SAVE_FAULT_SESSION) $session
        catch {exec {*}$prefix [info nameofexecutable] --script $::script 2>/dev/null} output
        unset ::env(SAVE_FAULT_SESSION)
        return [lsearch -inline -glob [split $output \n] {modified *}]
    }
    proc traced {args} { return [list strace -f -qq -o /dev/null {*}$args] }

    # fault: the command the save runs under, the reason the person is told, whether the old file stays
    set faults [list \
        data_sync [traced -e trace=fdatasync -e inject=fdatasync:error=EIO] \
            {*could not be synced to the disk: Input/output error*} 1 \
        folder_sync [traced -e trace=fsync -e inject=fsync:error=EIO] \
            {*its folder could not be synced to the disk: Input/output error*} 0 \
        size_limit [list sh -c {ulimit -f 16; exec "$0" "$@"}] {*File too large*} 1]
    foreach {fault prefix reason kept} $faults {
        set session [file join [e2e_workspace save_$fault] demo.lmx]
        set before [read_file $session 1]
        set report [save_under $session $prefix]
        check {$report ne "" && [dict get $report modified]} "$fault: the window keeps its modified mark: $report"
        check {[string match $reason [dict get $report posted]]} "$fault: the person is told why: $report"
        check {!$kept || [read_file $session 1] eq $before} "$fault: the old file is kept"
        check {[glob -nocomplain $session.*] eq ""} "$fault: no temporary is left: [glob -nocomplain $session.*]"
    }

    # A kill at the rename keeps the old file and leaves the new one under a temporary name. The
    # next open removes it, and so does the next save, and neither removes files of other names.
    set work [e2e_workspace save_killed]
    set session [file join $work demo.lmx]
    set before [read_file $session 1]
    set others {demo.lmx.backup demo.lmx.saving-abcde demo.lmx.saving-abcdefg demo.lmx.saving-ab_cde
                demo.lmx.saving-ab.cde other.lmx.saving-abcdef}
    foreach name $others {
        close [open [file join $work $name] w]
    }
    file mkdir [file join $work demo.lmx.saving-folder]
    lappend others demo.lmx.saving-folder
    set kill [traced -e trace=rename -e inject=rename:error=EIO:signal=KILL]
    proc leftovers {} { return [lsort [glob -nocomplain -tails -directory $::work demo.lmx.saving-*]] }
    set before_kill [leftovers]
    save_under $session $kill
    check {[read_file $session 1] eq $before} "the kill kept the old file"
    check {[llength [leftovers]] == [llength $before_kill] + 1} "the kill left one temporary: [leftovers]"

    ::korvane::host::open_editor $session
    check {[leftovers] eq $before_kill} "the open removed the temporary: [leftovers]"
    save_under $session $kill
    check {[llength [leftovers]] == [llength $before_kill] + 1} "the second kill left one temporary: [leftovers]"
    set_widgets {storage_type Transitional}
    action PIRQ_SAVE_ACTION -focus window
    check {![session modified]} "the save succeeded"
    check {[leftovers] eq $before_kill} "the save removed the temporary: [leftovers]"
    foreach name $others {
        check {[file exists [file join $work $name]]} "$name is kept"
    }
}
