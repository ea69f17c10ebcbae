# A save that the system refuses at its end is a failed save, and one ended by a kill leaves at
# most a temporary file that the next open or save of the session removes, and no other file.
# Each faulty save runs in a host of its own: strace makes the sync of the data or of the folder
# fail or kills the host at each step of the save, or a file-size limit stops it. That host
# captures (or changes a setting), saves and reports its window's modified mark and the messages
# posted; this one checks them and the files.
source [file join [file dirname [info script]] e2e_lib.tcl]

if {[info exists env(SAVE_FAULT_SESSION)]} {
    # The host under the fault: the capture makes the session larger than the demo.
    ::korvane::host::open_editor $env(SAVE_FAULT_SESSION)
    if {[info exists env(SAVE_FAULT_EDIT)]} {  # a quick change of the saved file
        set type [dict get [widget_state storage_type] text]
        set_widgets [list storage_type [expr {$type eq "Transitional" ? "Continuous" : "Transitional"}]]
    } else {
        run_acquisition
    }
    if {[info exists env(SAVE_FAULT_OUTPUTS)]} {  # the list file and a CSV export over earlier ones
        set_widgets {data_setup_tabs Data}
        catch {vokr_show_list_view -filename $env(SAVE_FAULT_OUTPUTS).txt} list
        ::korvane::msg::answer yes  ;# the export replaces the earlier file
        answer_dialog [list export_format {Comma Separated Values} file_name $env(SAVE_FAULT_OUTPUTS)] OK {action EXPORT}
        puts [list outputs $list prompted [lmap r [::korvane::msg::log prompted] {dict get $r text}]]
        exit 0
    }
    catch {action PIRQ_SAVE_ACTION -focus window}
    set report [list modified [session modified] posted [lmap r [::korvane::msg::log posted] {dict get $r text}]]
    if {[info exists env(SAVE_FAULT_LIST)]} {  # then a list file of the capture
        catch {vokr_show_list_view -filename $env(SAVE_FAULT_SESSION).txt} listed
        lappend report listed $listed
    }
    puts $report
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
        if {$fault eq "size_limit"} {
            set env(SAVE_FAULT_LIST) 1
        }
        set report [save_under $session $prefix]
        unset -nocomplain env(SAVE_FAULT_LIST)
        check {$fault ne "size_limit" || [string match {*-- File too large} [dict get $report listed]]} \
            "$fault: the list file tells why: $report"
        check {$report ne "" && [dict get $report modified]} "$fault: the window keeps its modified mark: $report"
        check {[string match $reason [dict get $report posted]]} "$fault: the person is told why: $report"
        check {!$kept || [read_file $session 1] eq $before} "$fault: the old file is kept"
        check {[glob -nocomplain $session.*] eq ""} "$fault: no temporary is left: [glob -nocomplain $session.*]"
    }

    # The list file and the exports are written as a session is: a failed sync keeps the earlier file.
    set work [e2e_workspace save_outputs]
    set outputs [file join $work out]
    foreach suffix {txt csv} {
        set f [open $outputs.$suffix w]; puts -nonewline $f earlier; close $f
    }
    set env(SAVE_FAULT_SESSION) [file join $work demo.lmx]
    set env(SAVE_FAULT_OUTPUTS) $outputs
    catch {exec {*}[traced -e trace=fdatasync -e inject=fdatasync:error=EIO] [info nameofexecutable] \
               --script $script 2>/dev/null} output
    unset env(SAVE_FAULT_SESSION) env(SAVE_FAULT_OUTPUTS)
    set report [lsearch -inline -glob [split $output \n] {outputs *}]
    check {[string match {*could not be synced to the disk*} $report]} "the failed syncs are told: $report"
    foreach suffix {txt csv} {
        check {[read_file $outputs.$suffix] eq "earlier"} "the earlier $suffix file is kept"
    }

    # A kill at any step of a save keeps the old file or has put the new one whole in its place,
    # and leaves at most the temporary that the next open removes: the one its writer marked and
    # no longer holds. No other file goes, whatever its name: a person's, another session's.
    set work [e2e_workspace save_killed]
    set session [file join $work demo.lmx]
    set others {demo.lmx.backup demo.lmx.saving-backup demo.lmx.saving-abcdef demo.lmx.saving-ABC123
                demo.lmx.saving-000000 demo.lmx.saving-abcde demo.lmx.saving-abcdefg demo.lmx.saving-ab_cde
                demo.lmx.saving-ab.cde other.lmx.saving-abcdef Demo.lmx.saving-abcdef}
    foreach name $others {
        close [open [file join $work $name] w]
    }
    file copy $session [file join $work demo.lmx.saving-final1]
    file mkdir [file join $work demo.lmx.saving-folder]
    lappend others demo.lmx.saving-final1 demo.lmx.saving-folder
    proc leftovers {} { return [lsort [glob -nocomplain -tails -directory $::work demo.lmx.saving-*]] }
    set kept [leftovers]
    # strace that kills at call N of SYSCALL, and with `refused` refuses every call of that syscall.
    proc killed_at {syscall n {refused {}}} {
        set words [list -e trace=[join [list $syscall {*}$refused] ,] -e inject=$syscall:error=EIO:signal=KILL:when=$n]
        foreach other $refused {
            lappend words -e inject=$other:error=EPERM
        }
        return [traced {*}$words]
    }
    # Kills the saving host at call N of SYSCALL; the temporary it leaves (none, marked or one the
    # writer had not marked yet) and whether the new file replaced the old one by then. The open
    # that follows removes a marked one only. `prefix` runs strace, which refuses `refused`.
    proc kill_at_each_step {steps prefix {refused {}}} {
        foreach {syscall n left replaced} $steps {
            set step "a kill at $syscall $n"
            set before [read_file $::session 1]
            save_under $::session [list {*}$prefix {*}[killed_at $syscall $n $refused]]
            check {([read_file $::session 1] ne $before) == $replaced} "$step: the old file is kept or the new one in place"
            set new [lmap name [leftovers] {expr {$name in $::kept ? [continue] : $name}}]
            check {[llength $new] == ($left ne "none")} "$step: left [list $new], expected $left"
            ::korvane::host::open_editor $::session
            check {[session instances] == 1} "$step: the session opens"
            close_window
            set expected [expr {$left eq "unmarked" ? [lsort [concat $::kept $new]] : $::kept}]
            check {[leftovers] eq $expected} "$step: the open left [leftovers], expected $expected"
            file delete {*}[lmap name $new {file join $::work $name}]
        }
    }
    set env(SAVE_FAULT_EDIT) 1
    kill_at_each_step {flock 1 none 0  flock 2 none 0  fsetxattr 1 none 0  fchown 1 none 0  writev 1 none 0
                       fdatasync 1 none 0  linkat 1 none 0  renameat 1 marked 0  fremovexattr 1 none 1
                       fsync 1 none 1} {}

    # Where /proc is hidden (here in a mount namespace of its own), no unnamed file can get a
    # name: the save writes a named temporary from the start, in a host of another user that may
    # not link a file by its descriptor either (as systems before Linux 6.10 refuse). A kill
    # before the mark leaves an empty file that nothing proves to be a temporary: it stays.
    if {[catch {exec unshare -m true}] || [auto_execok setpriv] eq ""} {
        puts "skipped: saves without /proc (needs unshare and setpriv as root)"
    } elseif {[catch {exec setpriv --reuid=65534 --regid=65534 --clear-groups test -x [info nameofexecutable]}]} {
        puts "skipped: saves without /proc (user 65534 cannot reach the host program, as in a private folder)"
    } else {
        exec chown -R 65534:65534 $work
        set hidden [list unshare -m sh -c {mount -t tmpfs none /proc && exec "$@"} sh \
                        setpriv --reuid=65534 --regid=65534 --clear-groups]
        kill_at_each_step {flock 2 unmarked 0  fsetxattr 1 unmarked 0  fchown 1 marked 0  writev 1 marked 0
                           fdatasync 1 marked 0  renameat 1 marked 0  fremovexattr 1 none 1  fsync 1 none 1} \
            $hidden linkat
        set no_link [traced -e trace=linkat -e inject=linkat:error=EPERM]
        set report [save_under $session [list {*}$hidden {*}$no_link]]
        check {$report eq "modified 0 posted {}"} "the save without /proc succeeds: $report"

        # An open of the session meanwhile leaves the temporary of a save in progress alone, and
        # that save ends well.
        set env(SAVE_FAULT_SESSION) $session
        set slow [traced -e trace=fdatasync,linkat -e inject=fdatasync:delay_enter=3000000 -e inject=linkat:error=EPERM]
        set saving [open |[list {*}$hidden {*}$slow [info nameofexecutable] --script $script 2>@1] r]
        unset env(SAVE_FAULT_SESSION)
        set deadline [expr {[clock milliseconds] + 120000}]
        while {[leftovers] eq $kept && [clock milliseconds] < $deadline} {
            after 5
        }
        check {[leftovers] ne $kept} "the other host's save made its temporary"
        ::korvane::host::open_editor $session
        close_window
        set report [lsearch -inline -glob [split [read $saving] \n] {modified *}]
        catch {close $saving}
        check {$report eq "modified 0 posted {}"} "the save in progress ended well: $report"
        check {[leftovers] eq $kept} "nothing is left: [leftovers]"
    }
    unset env(SAVE_FAULT_EDIT)

    # The next save removes a temporary too.
    save_under $session [killed_at renameat 1]
    check {[llength [leftovers]] == [llength $kept] + 1} "the kill left one temporary: [leftovers]"
    ::korvane::host::open_editor $session
    set_widgets {storage_type Continuous}
    set_widgets {storage_type Transitional}
    action PIRQ_SAVE_ACTION -focus window
    check {![session modified]} "the save succeeded"
    check {[leftovers] eq $kept} "the save removed the temporary: [leftovers]"
    foreach name $others {
        check {[file exists [file join $work $name]]} "$name is kept"
    }
}
