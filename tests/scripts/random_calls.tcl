# Every module command and every shell command with hostile arguments, in an editor on the demo,
# in an editor without a session and with no window: each call answers (OK or a Tcl error)
# without ending or hanging the host, a dialog it opens is closed by the host itself, and the
# plain misuses (unknown options, extra words, names that do not exist) are Tcl errors.
# KORVANE_RANDOM_CALLS (calls per editor, default 120) and KORVANE_RANDOM_SEED (default 37)
# choose the run; KORVANE_RANDOM_TRACE=1 prints each call before it runs.
source [file join [file dirname [info script]] e2e_lib.tcl]

set calls [expr {[info exists env(KORVANE_RANDOM_CALLS)] ? $env(KORVANE_RANDOM_CALLS) : 120}]
set seed [expr {[info exists env(KORVANE_RANDOM_SEED)] ? $env(KORVANE_RANDOM_SEED) : 37}]
set trace [expr {[info exists env(KORVANE_RANDOM_TRACE)] && $env(KORVANE_RANDOM_TRACE)}]
expr {srand($seed)}
puts "random calls: seed $seed, $calls calls per editor"

# No call may take longer than this (dialogs close in a fraction of a second, runs in ten).
set slowest_ms 20000

set values [list {} 0 1 -1 7 355 2147483648 -2147483649 99999999999999999999 1.5 nan abc {a b} \
                [string repeat x 5000] "\u00e9\u20ac \u65e5\u672c" \{ \[ \" {$x} \\ no_such_node \
                {cpu|pc[15..0]} {cpu|pc[3]} {add table} {add entry} {delete table} {import file} Continuous \
                Conditional Start/Stop Enter A I properties insert Data Setup /nonexistent/dir/file demo.lmx \
                PIRQ_NO_SUCH_ACTION]
set option_names {action combobox_type direction entry_mnemonic entry_radix entry_row entry_value filename
    find_string import_filename keyboard_key keyboard_modifier log_name nodename sample_number schema
    signal_set_name table_name table_width time time_unit_index trigger_name type x_coord y_coord zzz}
set action_names {APPEND ARRANGE_ALL_OBJECTS COLLAPSE EXPAND INSERT MOVE_DOWN MOVE_UP OBJECT_PROPERTIES REMOVE
    RENAME_OBJECT AUTORUN READ_DATA RUN STOP COPY CUT LOGGING SAVE_TO_LOG DELETE EXPORT FIND FIND_NEXT DUPLICATE
    ADD_INSTANCE DELETE_INSTANCE DUPLICATE_TRIGGER RENAME_INSTANCE LOCK_MODE_ALL INSERT_NODES
    INSERT_STATE_MACHINE_NODES DISPLAY_HEX DISPLAY_SYMBOLIC CREATE_LIST_FILE DISABLE_DATA FIND_BUS_VALUE GROUP
    MNEMONIC_TABLE_SETUP PASTE_ALIAS PLUGIN_OPTIONS RENAME SET_ALIAS ENABLE_STORAGE_QUALIFIER UNGROUP PASTE REDO
    PROPERTIES TOOLBAR_COMPILE SELECT_ALL UNDO DATA_LOG_PANE CENTER_ON_TRIGGER FIT_IN_WINDOW ZOOM_IN ZOOM_OUT
    PIRQ_OPEN_ACTION PIRQ_SAVE_AS_ACTION PIRQ_SAVE_ACTION PIRQ_NEW_ACTION PIRQ_PRINT_ACTION PIRQ_FIND_ACTION
    PIRQ_UNDO_ACTION PIRQ_OPTIONS_ACTION PIRQ_PAGE_SETUP_ACTION PIRQ_FILE_PROPERTIES_ACTION}

proc pick {list} { return [lindex $list [expr {int(rand() * [llength $list])}]] }
proc chance {p} { return [expr {rand() < $p}] }
proc value {} {
    if {[chance 0.3]} {
        return [expr {int(rand() * 800) - 50}]
    }
    return [pick $::values]
}

# The options a module command takes, from its usage text.
proc own_options {name} {
    catch {$name -h} usage
    return [regexp -all -inline -- {-[a-z_]+} [lrange $usage 2 end]]
}

# A plausible value of a module command's option, or now and then a hostile one.
proc option_value {option} {
    if {[chance 0.3]} {
        return [value]
    }
    switch -- $option {
        action { return [pick {{add table} {import file} {delete table} {add entry} {delete entry} properties insert
                               append nothing}] }
        type { return [pick {Continuous Conditional Start/Stop Transitional State-based {Input port}}] }
        x_coord - y_coord { return [expr {int(rand() * 600)}] }
        keyboard_key { return [pick {Enter A I Delete Left}] }
        keyboard_modifier - direction { return [expr {int(rand() * 3)}] }
        combobox_type { return [expr {int(rand() * 13)}] }
        filename - import_filename { return [pick {demo.lmx list.txt missing.lmx}] }
        entry_row - sample_number - time_unit_index { return [expr {int(rand() * 8)}] }
    }
    return [pick {{cpu|pc[15..0]} 8 1 states 10 ns}]
}

# A module command with its required options and some optional ones, or with random options.
proc module_call {name} {
    set call [list $name]
    catch {$name -h} usage
    if {[chance 0.6]} {
        foreach {all optional option} [regexp -all -inline -- {(\[?)-([a-z_]+)} [lrange $usage 2 end]] {
            if {$optional eq "" || [chance 0.4]} {
                lappend call -$option [option_value $option]
            }
        }
        return $call
    }
    set own [regexp -all -inline -- {-[a-z_]+} [lrange $usage 2 end]]
    set count [expr {int(rand() * 5)}]
    for {set i 0} {$i < $count} {incr i} {
        lappend call [if {[llength $own] && [chance 0.8]} {pick $own} else {string cat - [pick $::option_names]}]
        if {[chance 0.9]} {
            lappend call [value]
        }
    }
    return $call
}

# A name from the current node list, or a hostile word.
proc node_name {} {
    if {[chance 0.7] && ![catch {nodes [pick {data trigger}]} names] && [llength $names]} {
        return [pick $names]
    }
    return [value]
}

# A shell command with random words; action and answer_dialog mostly get words that reach
# their work (a real action, a script that runs one), the others random ones.
proc shell_call {name} {
    set short [namespace tail $name]
    switch -- $short {
        action {
            set call [list $name [if {[chance 0.8]} {pick $::action_names} else value]]
            if {[chance 0.3]} {
                lappend call -focus [pick {view canvas window elsewhere}]
            }
            return $call
        }
        answer_dialog {
            set fields [list [pick {file_name export_format nothing table_name}] [value]]
            return [list $name $fields [pick {OK Cancel accept reject {No Such}}] \
                        [list ::korvane::shell::action [pick $::action_names] -focus [pick {view window}]]]
        }
        select - drop_nodes {
            return [list $name [node_name]]
        }
        set_value {
            return [list $name [node_name] [expr {int(rand() * 3)}] [pick [list 1 0 X 1010 ff [value]]]]
        }
        sample {
            return [list $name [node_name] [expr {int(rand() * 300) - 10}]]
        }
        state - nodes - trigger - time_bars {
            if {[chance 0.7]} {
                return [list $name]
            }
        }
        wait_acquisition {
            # A run on the simulated target may never trigger: the wait is kept short.
            return [list $name [pick {0 -1 abc 200 {}}]]
        }
    }
    set call [list $name]
    set count [expr {int(rand() * 4)}]
    for {set i 0} {$i < $count} {incr i} {
        lappend call [value]
    }
    return $call
}

# A call that is plainly wrong whatever the editor holds: an unknown option or extra words.
proc misuse_call {name module} {
    if {$module} {
        return [list $name -zzz_no_such_option 1]
    }
    return [concat [list $name] [lrepeat 7 no_such_node]]
}

# Runs one call; fails the script on a code other than OK or error, or on a call that takes too long.
proc run_call {call must_fail} {
    set ::last_call [string range $call 0 300]
    if {$::trace} {
        puts "call: $::last_call"
        flush stdout
    }
    set start [clock milliseconds]
    set code [catch {uplevel #0 $call} message]
    set elapsed [expr {[clock milliseconds] - $start}]
    if {$code != 0 && $code != 1} {
        error "\"$::last_call\" answered code $code: $message"
    }
    if {$elapsed > $::slowest_ms} {
        error "\"$::last_call\" took $elapsed ms"
    }
    if {$must_fail && $code == 0} {
        error "the misuse \"$::last_call\" answered no error: $message"
    }
    incr ::answered($code)
}

set module_commands [lsort [info commands ::vokr_*]]
set shell_commands [lsort [info commands ::korvane::shell::*]]
check {[llength $module_commands] == 36} "the module's 36 commands are there"

# Random calls of every command; closing the window is left to the phases.
proc random_calls {phase count} {
    set ok_before $::answered(0)
    for {set i 0} {$i < $count} {incr i} {
        set module [chance 0.5]
        set name [pick [if {$module} {set ::module_commands} else {set ::shell_commands}]]
        if {[string match *close_window $name]} {
            run_call [list $name extra] 1
        } elseif {[chance 0.15]} {
            run_call [misuse_call $name $module] 1
        } else {
            run_call [if {$module} {module_call $name} else {shell_call $name}] 0
        }
    }
    ::korvane::msg::clear
    puts "$phase: $count calls answered, [expr {$::answered(0) - $ok_before}] without an error"
}

# Closes every editor window, saying no to saving its changes.
proc close_editor {} {
    while {![catch {state}]} {
        ::korvane::msg::answer no no no
        close_window
        ::korvane::msg::clear
    }
}

array set answered {0 0 1 0}
set work [e2e_workspace random]
cd $work
::korvane::host::open_editor [file join $work demo.lmx]
random_calls "editor on the demo" $calls
close_editor
::korvane::host::open_editor
random_calls "editor without a session" $calls
close_editor
random_calls "no window" [expr {$calls / 2}]
puts "answered: $answered(0) OK, $answered(1) errors"
