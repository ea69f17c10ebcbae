# Random calls of every command a script has in the host (the module's, the shell's, the message
# journal's, the node finder's and the host's own), in an editor on the demo, then in one without
# a session and with no window; or, with KORVANE_RANDOM_WINDOWS=1, in two editor windows whose
# captures run while sessions and files that are not sessions are opened in them, and windows are
# closed and opened again. Most calls take valid words drawn from the open session (its node
# names, buses, levels, trigger, the windows' files, the words each command takes) and reach the
# editor's work, the first round calling every command so; the others take hostile words, and the
# plain misuses (unknown options, extra words) must be errors. Each call answers (OK or a Tcl
# error) without ending or hanging the host: the host's watchdog ends it naming the call and the
# seed when a call has not returned after 20 s, and names them when the host aborts. At the end a
# table gives the runs and successes of each command; the run fails when fewer than half the calls
# succeeded, a command never succeeded with valid words, or (two windows) no file was opened while
# a window captured. KORVANE_RANDOM_CALLS (default 360: two thirds in the editor on the demo, two
# ninths without a session, a ninth with no window; or all in two windows) and KORVANE_RANDOM_SEED
# (default 37) choose the run; KORVANE_RANDOM_TRACE=1 prints each call and its answer.
source [file join [file dirname [info script]] e2e_lib.tcl]

proc setting {name default} { return [expr {[info exists ::env($name)] ? $::env($name) : $default}] }
set calls [setting KORVANE_RANDOM_CALLS 360]
set seed [setting KORVANE_RANDOM_SEED 37]
set trace [setting KORVANE_RANDOM_TRACE 0]
set two_windows [setting KORVANE_RANDOM_WINDOWS 0]
expr {srand($seed)}
puts "random calls: seed $seed, $calls calls[expr {$two_windows ? " in two windows" : ""}]"

# A call that has not returned after this long hangs (dialogs close within a second, runs in ten).
set call_limit_ms 20000

proc pick {list} { return [lindex $list [expr {int(rand() * [llength $list])}]] }
proc chance {p} { return [expr {rand() < $p}] }
proc between {low high} { return [expr {$low + int(rand() * ($high - $low + 1))}] }
proc shuffle {list} {
    set keyed [lmap item $list {list [expr {rand()}] $item}]
    return [lmap pair [lsort -real -index 0 $keyed] {lindex $pair 1}]
}

# ---- the workspace --------------------------------------------------------------------------------------------

set work [e2e_workspace [expr {$two_windows ? "random_windows" : "random"}]_$seed]
cd $work
set env(KORVANE_PRINTER_PDF) [file join $work printed.pdf]

proc write_file {name text} {
    set channel [open $name w]
    puts -nonewline $channel $text
    close $channel
}

# The demo with a mnemonic table, so that the table dialogs find one; import.lmx holds another
# table to import and is opened by no window, so that no save changes it.
proc with_table {name} {
    set table "    <mnemonic-table name=\"$name\" width=\"4\">\n"
    append table "        <entry value=\"0001\"><symbol>FETCH</symbol></entry>\n"
    append table "        <entry value=\"0010\"><symbol>EXEC</symbol></entry>\n    </mnemonic-table>\n"
    set text [read_file demo.lmx]
    regsub {(\n)(\s*<global key="active instance">)} $text "\\1[string map {& \\& \\ \\\\} $table]\\2" text
    return $text
}
write_file tables.lmx [with_table opcodes]
write_file import.lmx [with_table states]
write_file demo.lmx [with_table opcodes]
# Files that are not sessions: a text, a damaged session, an empty file, copies of the project and
# of a database (a hostile call may write a list file or an export over one), a directory.
write_file notes.txt "not a session\n"
write_file damaged.lmx [string range [read_file demo.lmx] 0 900]
write_file empty.lmx ""
file copy demo.kproj other.kproj
file copy db/demo.map.biv other.biv
set session_files [lmap name {demo.lmx tables.lmx} {file join $work $name}]
set other_files [lmap name {notes.txt damaged.lmx empty.lmx other.kproj other.biv db} {file join $work $name}]
set project_nodes [regexp -all -inline -line {^node (\S+)} [read_file demo.kproj]]
set project_nodes [lmap {line name} $project_nodes {set name}]
set saved 0
proc new_file {extension} { return [file join $::work "out[incr ::saved].$extension"] }

# ---- what the open session holds, read back with the shell's readers ------------------------------------------

proc read_or {default script} {
    if {[catch {uplevel 1 $script} result]} {
        return $default
    }
    return $result
}
proc list_nodes {which} { return [read_or {} [list nodes $which]] }
# The buses: rows named NAME[HIGH..LOW] that their member NAME[HIGH] follows.
proc buses {} {
    set names [list_nodes trigger]
    set buses {}
    foreach name $names next [lrange $names 1 end] {
        if {[regexp {^(.*)\[(\d+)\.\.\d+\]$} $name all stem high] && $next eq "$stem\[$high\]"} {
            lappend buses $name
        }
    }
    return $buses
}
proc bus_width {bus} {
    regexp {\[(\d+)\.\.(\d+)\]$} $bus all high low
    return [expr {abs($high - $low) + 1}]
}
proc level_count {} { return [llength [read_or {} {dict get [trigger] level_types}]] }
proc level_type {level} { return [lindex [read_or {} {dict get [trigger] level_types}] $level] }
proc session_value {key default} { return [read_or $default "dict get \[state\] [list $key]"] }
proc window_files {} { return [read_or {} windows] }
proc a_window_file {} {
    set files [lsearch -all -inline -not [window_files] {}]
    return [expr {[llength $files] ? [pick $files] : [pick $::session_files]}]
}
proc a_node {{which trigger}} {
    set names [list_nodes $which]
    return [expr {[llength $names] ? [pick $names] : [pick $::project_nodes]}]
}
proc some_nodes {} {
    set names [list_nodes trigger]
    return [lsort -unique [lmap i [lrepeat [between 1 3] x] {pick $names}]]
}
# Calls that need nodes in the list add one instead when the list is empty.
proc with_nodes {calls} {
    if {![llength [list_nodes trigger]]} {
        return [list [list vokr_add_node -filename [session_value file {}] -nodename [pick $::project_nodes]]]
    }
    return $calls
}
# A fresh copy of the demo (with its table), which no other window holds.
proc fresh_copy {} {
    set copy [new_file lmx]
    file copy -force $::work/import.lmx $copy
    return $copy
}
# Calls that need a bus in the list open a fresh copy of the demo instead when there is none.
proc with_bus {calls} {
    if {[a_bus] eq ""} {
        return [list [list vokr_open_file -filename [fresh_copy]]]
    }
    return $calls
}
# Calls that need a captured log run a capture first: Autorun stops, the answers a call queued are
# dropped (the questions on the way take their defaults), the advanced levels (which may be
# unfinished) become basic ones, and when the first Run compiles the changed trigger, the device is
# programmed and a second Run captures; the buses' conditions of the first level are cleared, and
# a capture that still waits too long for its trigger stops.
proc with_log {calls} {
    if {[session_value data_log 0]} {
        return $calls
    }
    if {[session_value acquiring 0]} {
        return [concat {{action STOP -focus window} {wait_acquisition 3000}} $calls]
    }
    set basic {}
    foreach level [lsearch -all [read_or {} {dict get [trigger] level_types}] 3] {
        lappend basic level_type_$level {Basic AND}
    }
    set run [list ::korvane::msg::clear [list set_widgets [concat data_setup_tabs Setup storage_type Continuous $basic]]]
    foreach bus [buses] {
        lappend run [list set_value $bus 0 [string repeat X [bus_width $bus]]]
    }
    lappend run {action RUN -focus window} {click jtag_program} {action RUN -focus window} {wait_acquisition 2500} \
        {later stop_waiting}
    return [concat $run $calls]
}
# A capture whose trigger has not come (its conditions may never meet) stops.
proc stop_waiting {} {
    return [expr {[session_value acquiring 0] ? {{action STOP -focus window} {wait_acquisition 3000}} : {}}]
}
# Rows whose cell in that column shows, and top-level rows (buses and single nodes, not members).
proc shown_nodes {{column 2}} {
    return [lmap name [list_nodes trigger] {expr {[catch {cell $name $column}] ? [continue] : $name}}]
}
proc top_level {names} { return [lsearch -all -inline -not -regexp $names {\[\d+\]$}] }
proc a_bus {} {
    set buses [buses]
    return [expr {[llength $buses] ? [pick $buses] : ""}]
}
proc a_level {} { return [between 0 [expr {max(0, [level_count] - 1)}]] }
proc a_sample {} { return [between 0 [expr {max(0, [session_value sample_depth 1] - 1)}]] }
proc an_answer {} { return [pick {yes no ok cancel}] }

# ---- valid calls ----------------------------------------------------------------------------------------------
# Each returns the calls (one or a few) that use the command as it is meant to be used in the state
# the window is in now, or will be in after the calls before ({later SCRIPT}, see run_calls). A
# dialog command (one that fills a dialog the editor opens) is reached through the command that
# opens its dialog and names it as the follow-up.

# The mnemonic dialog's chains: each runs one or more of the dialog commands inside the dialog.
set mnemonic_chains {{add table} {add entry} {delete entry} {delete table} {import file}}
set mnemonic_deck {}
proc mnemonic_call {{chain {}}} {
    if {$chain eq ""} {
        if {![llength $::mnemonic_deck]} {
            set ::mnemonic_deck [shuffle $::mnemonic_chains]
        }
        set ::mnemonic_deck [lassign $::mnemonic_deck chain]
    }
    set call [list vokr_on_mnemonic_dialog -action $chain]
    switch -- $chain {
        {add table} { lappend call -table_name [pick {t1 states opcodes}] -table_width [between 1 8] }
        {add entry} { lappend call -entry_value [between 0 15] -entry_radix [between 0 3] -entry_mnemonic [pick {NOP JMP ADD}] }
        {delete entry} { lappend call -entry_row [between 0 2] }
        {import file} { lappend call -import_filename [file join $::work import.lmx] }
    }
    return [list $call]
}

# The advanced trigger editor shows a level of the advanced type on a tab of its own.
proc with_editor {calls} {
    set shown {data_setup_tabs {Advanced Trigger 1}}
    if {[level_type 0] != 3} {
        set shown {data_setup_tabs Setup level_type_0 Advanced}
    }
    return [linsert $calls 0 [list set_widgets $shown]]
}
proc canvas_point {} { return [list -x_coord [between 20 300] -y_coord [between 20 150]] }

set menu_actions {{arrange all objects} detach insert remove append {move up} {move down} expand collapse properties}
set storage_types {Continuous Conditional Start/Stop Transitional State-based {Input port}}

proc valid_module_call {name} {
    switch -- $name {
        vokr_add_node { return [list [list $name -filename [a_window_file] -nodename [pick $::project_nodes]]] }
        vokr_do_locate {
            set source [expr {[chance 0.2] ? "New Lumetra File" : [a_window_file]}]
            set schema [list -source $source]
            foreach node [lrange [shuffle $::project_nodes] 0 [between 0 2]] {
                lappend schema -object $node
            }
            return [list [list $name -schema $schema]]
        }
        vokr_find - vokr_dlg_trigger_find_dialog {
            return [with_editor [list [list vokr_find -find_string [pick {pc led state {}}] -direction [between 0 3]]]]
        }
        vokr_on_advanced_key_press {
            return [with_editor [list [list $name -keyboard_key [pick {D I R A Up Down Left Right Enter}] \
                                           -keyboard_modifier [between 1 4]]]]
        }
        vokr_dlg_trigger_property_dialog_accept {
            # The key asks for the properties of the selected object, the menu for the one pressed.
            set call [concat vokr_test_advanced_menu_actions -action properties [canvas_point]]
            if {[chance 0.2]} {
                set call {vokr_on_advanced_key_press -keyboard_key Enter -keyboard_modifier 1}
            }
            return [with_editor [list $call]]
        }
        vokr_dlg_trigger_property_dialog_insert {
            # The keys insert beside the selected object, the menu beside the one pressed.
            set call [concat vokr_test_advanced_menu_actions -action [pick {insert append}] [canvas_point]]
            if {[chance 0.2]} {
                set call [list vokr_on_advanced_key_press -keyboard_key [pick {I A}] -keyboard_modifier [between 1 4]]
            }
            return [with_editor [list $call]]
        }
        vokr_on_property_dialog - vokr_dlg_trigger_property_dialog {
            return [with_editor [list [concat vokr_on_property_dialog [canvas_point]]]]
        }
        vokr_test_advanced_menu_actions {
            return [with_editor [list [concat $name -action [list [pick $::menu_actions]] [canvas_point]]]]
        }
        vokr_test_advanced_focus_in { return [with_editor [list $name]] }
        vokr_on_time_units_dialog - vokr_dlg_trigger_time_units_dialog {
            return [list [list vokr_on_time_units_dialog -time [pick {10 2.5 100}] -time_unit_index [between 0 3]]]
        }
        vokr_on_insert_time_bar_dialog - vokr_dlg_trigger_insert_time_bar_dialog {
            return [list [list vokr_on_insert_time_bar_dialog -sample_number [a_sample] -time [pick {10 {}}] \
                              -time_unit_index [between 0 3]]]
        }
        vokr_on_mnemonic_dialog - vokr_dlg_trigger_add_table_dialog - vokr_dlg_trigger_add_table_dialog_accept {
            return [mnemonic_call [expr {$name eq "vokr_on_mnemonic_dialog" ? "" : "add table"}]]
        }
        vokr_dlg_trigger_add_entry_dialog - vokr_dlg_trigger_add_entry_dialog_accept { return [mnemonic_call {add entry}] }
        vokr_dlg_trigger_delete_entry { return [mnemonic_call {delete entry}] }
        vokr_dlg_trigger_delete_table { return [mnemonic_call {delete table}] }
        vokr_dlg_trigger_file_dialog - vokr_dlg_trigger_file_dialog_accept - vokr_dlg_trigger_import_dialog_accept {
            return [mnemonic_call {import file}]
        }
        vokr_open_file { return [list [list $name -filename [pick $::session_files]]] }
        vokr_delete_all_node_in_view { return [lrange [list $name vokr_undo_view] 0 [between 0 1]] }
        vokr_set_active {
            set trigger [read_or {} {dict get [trigger] name}]
            return [list [list $name -trigger_name $trigger]]
        }
        vokr_set_storage_qualifier { return [list [list $name -type [pick $::storage_types]]] }
        vokr_show_list_view { return [with_log [list [list $name -filename [new_file txt]]]] }
        vokr_switch_to_advanced_view {
            return [list [list $name -combobox_type [pick [list [between 0 2] [expr {3 + [a_level]}]]]]]
        }
    }
    # The commands that take no options.
    return [list [list $name]]
}

# A cell of a shown row: its point, a click on it or its menu.
proc cell_call {name column} {
    set shown [shown_nodes $column]
    if {![llength $shown]} {
        # The level columns may lie beyond the view's right edge.
        set column 2
        set shown [shown_nodes $column]
    }
    set cell [list cell [expr {[llength $shown] ? [pick $shown] : [a_node]}] $column]
    if {$name ne "cell"} {
        set cell [concat $name node_list [read_or {40 40} $cell]]
    }
    return [list $cell]
}

# A top-level row dragged by its name above another shown one, after a click selects it.
proc drag_calls {} {
    lassign [shuffle [top_level [shown_nodes]]] from to
    if {$to eq ""} {
        return {}
    }
    # The rows may have moved since they were read (a layout landing first): no drag then.
    if {[catch {cell $from 2} from] || [catch {cell $to 2} at]} {
        return {}
    }
    lassign $at x y
    return [list [concat click node_list $from] [concat drag node_list $from node_list $x [expr {$y - 8}]]]
}

# Closing a window: its capture stops first (a window refuses to close while it captures), and
# its changes are not saved.
proc closing_calls {} {
    set calls [list ::korvane::msg::clear {::korvane::msg::answer no no no} close_window]
    if {[session_value acquiring 0]} {
        set calls [linsert $calls 0 {action STOP -focus window} {wait_acquisition 3000}]
    }
    return $calls
}

# Widgets of the window with values they take.
proc widget_value {} {
    set level [a_level]
    set choices [list data_setup_tabs {Setup Data} sample_depth {64 128 256 512 {1 K}} ram_type {Auto} \
                     pipeline {0 1 2} storage_type $::storage_types trigger_position {Pre Center Post} \
                     trigger_conditions {1 2 3} flow_control {Sequential State-based} data_auto 1 data_manual 1 \
                     trigger_auto 1 trigger_manual 1 segmented {0 1} jtag_hardware USB-Cable jtag_device MR2-C40 \
                     level_type_$level {{Basic AND} {Basic OR} Comparison Advanced} \
                     pattern_type_[between 0 2] {{Basic AND} {Basic OR}}]
    set widget [pick [dict keys $choices]]
    return [list $widget [pick [dict get $choices $widget]]]
}

# Actions as their menus offer them, with where the focus is; some act on a selection.
set window_actions {RUN AUTORUN READ_DATA LOGGING SAVE_TO_LOG DATA_LOG_PANE HIERARCHY_PANE INSTANCE_PANE TOOLBAR_PANE
    CONFIG_PANE LOCK_MODE_ALL LOCK_MODE_INCREMENTAL LOCK_MODE_TRIGGER ADD_INSTANCE DUPLICATE_TRIGGER
    ENABLE_POWER_UP_TRIGGER DISABLE_POWER_UP_TRIGGER PIRQ_SAVE_ACTION PIRQ_START_COMPILE_ACTION}
set view_actions {ZOOM_IN ZOOM_OUT FIT_IN_WINDOW CENTER_ON_TRIGGER UNDO REDO SELECT_ALL}
set selection_actions {DISPLAY_HEX DISPLAY_BINARY DISPLAY_UNSIGNED GROUP UNGROUP DELETE COPY ENABLE_DATA DISABLE_DATA
    LSB_ON_TOP MSB_ON_TOP}

proc action_calls {} {
    if {[session_value acquiring 0] && [chance 0.6]} {
        return [list {action STOP -focus window}]
    }
    switch -- [pick {window window view selection}] {
        window {
            set id [pick $::window_actions]
            if {$id in {RUN AUTORUN} && [dict get [read_or {banner {}} status_texts] banner] eq "Program the device to continue"} {
                return [list {click jtag_program} [list action $id -focus window]]
            }
            return [list [list action $id -focus window]]
        }
        view { return [list [list action [pick $::view_actions] -focus view]] }
    }
    return [with_nodes [list [list select [a_node]] [list action [pick $::selection_actions] -focus view]]]
}

# Dialogs the editor opens, answered: a file to open or to save to, an export, a bus value to find.
proc dialog_call {} {
    switch -- [between 0 4] {
        0 {
            return [list [list answer_dialog [list fileNameEdit [pick $::session_files]] accept \
                              {action PIRQ_OPEN_ACTION -focus window}]]
        }
        1 {
            return [list [list answer_dialog [list fileNameEdit [new_file lmx]] accept \
                              {action PIRQ_SAVE_AS_ACTION -focus window}]]
        }
        2 {
            return [with_log [list {set_widgets {data_setup_tabs Data}} \
                                  [list answer_dialog [list export_format [pick {Comma Value}] file_name [new_file out]] OK \
                                       {action EXPORT}]]]
        }
        3 {
            set find [list answer_dialog [list radix Hexadecimal value [format %X [between 0 255]]] {{Find Next} Cancel} \
                          {action FIND_BUS_VALUE}]
            return [with_bus [with_log [list {set_widgets {data_setup_tabs Data}} [list select [a_bus]] $find]]]
        }
    }
    return [list {answer_dialog {} Cancel {action MNEMONIC_TABLE_SETUP}}]
}

proc valid_shell_call {name} {
    switch -- $name {
        action { return [action_calls] }
        answer_dialog { return [concat ::korvane::msg::clear [dialog_call]] }
        cell - context_menu - click - tooltip {
            set calls [list [list later [list cell_call $name [pick {2 2 12}]]]]
            if {![llength [shown_nodes]]} {
                set calls [linsert $calls 0 {set_widgets {data_setup_tabs Setup}}]
            }
            return [with_nodes $calls]
        }
        close_window { return [closing_calls] }
        drag {
            set calls {{later drag_calls}}
            if {[llength [top_level [shown_nodes]]] < 2} {
                set calls [linsert $calls 0 {set_widgets {data_setup_tabs Setup}} {wheel node_list -720}]
            }
            if {[llength [top_level [list_nodes trigger]]] < 2} {
                set single [pick [top_level [lsearch -all -inline -not $::project_nodes *\[*]]]
                set calls [linsert $calls 0 [list vokr_add_node -filename [session_value file {}] -nodename $single]]
            }
            return $calls
        }
        drop_nodes { return [with_nodes [with_editor [list [concat select [some_nodes]] drop_nodes]]] }
        fill_dialog { return [list [list fill_dialog [between 1000000 2000000] {} {}]] }
        key { return [list [list key node_list [lrange [shuffle {Down Up Left Right Home End Ctrl+A}] 0 [between 0 2]]]] }
        nodes { return [list [list nodes [pick {data trigger}]]] }
        sample { return [with_log {{later {list [list sample [a_node data] [a_sample]]}}}] }
        screenshot { return [list [concat screenshot [new_file png] [pick {{} {800 600}}]]] }
        select { return [with_nodes [list [concat select [some_nodes]]]] }
        set_value {
            set bus [a_bus]
            set width [expr {$bus eq "" ? 1 : [bus_width $bus]}]
            set value [join [lmap i [lrepeat $width x] {pick {0 1 X X R F}}] ""]
            return [with_bus [list [list set_value $bus [a_level] $value]]]
        }
        set_widgets { return [list [list set_widgets [widget_value]]] }
        wait_acquisition { return [list {wait_acquisition 1500}] }
        wheel { return [list [concat wheel node_list [pick {120 -120 240}] [pick {{} ctrl shift}]]] }
        widget_state { return [list {set_widgets {data_setup_tabs Setup}} [list widget_state [pick {node_list instance_run instance_stop signal_configuration clock jtag_hardware}]]] }
        windows { return [list [concat windows [pick [list {} [between 0 [expr {[llength [window_files]] - 1}]]]]]] }
    }
    # The readers, which take no words.
    return [list [list $name]]
}

proc valid_call {command} {
    set name [namespace tail $command]
    switch -glob -- $command {
        ::vokr_* { return [valid_module_call $name] }
        ::korvane::shell::* { return [valid_shell_call $name] }
        ::korvane::msg::answer { return [list [concat $command [lmap i [lrepeat [between 1 3] x] an_answer]]] }
        ::korvane::msg::default { return [list [list $command [an_answer]]] }
        ::korvane::msg::log { return [list [concat $command [pick {{} posted prompted}]]] }
        ::korvane::msg::suppress {
            set ids [lmap record [::korvane::msg::log] {dict get $record id}]
            return [list [list $command [pick [concat $ids 0]] [pick {0 1}]]]
        }
        ::korvane::finder::choose {
            set names [lrange [shuffle $::project_nodes] 0 [between 0 2]]
            if {[chance 0.5]} {
                return [list {action INSERT_NODES -focus view} [list $command $names]]
            }
            return [list [list $command $names -modal]]
        }
        ::korvane::host::open_editor { return [list [list $command [pick $::session_files]]] }
    }
    return [list [list $command]]
}

# ---- hostile calls --------------------------------------------------------------------------------------------

set values [list {} 0 1 -1 7 355 2147483648 -2147483649 99999999999999999999 1.5 nan abc {a b} \
                [string repeat x 5000] "\u00e9\u20ac \u65e5\u672c" \{ \[ \" {$x} \\ no_such_node \
                {cpu|pc[15..0]} {cpu|pc[3]} {add table} {add entry} {delete table} {import file} Continuous \
                Conditional Start/Stop Enter A I properties insert Data Setup /nonexistent/dir/file demo.lmx \
                notes.txt damaged.lmx PIRQ_NO_SUCH_ACTION]
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
    PIRQ_UNDO_ACTION PIRQ_OPTIONS_ACTION PIRQ_PAGE_SETUP_ACTION PIRQ_FILE_PROPERTIES_ACTION PIRQ_CLOSE_ACTION}

proc value {} {
    if {[chance 0.3]} {
        return [expr {int(rand() * 800) - 50}]
    }
    return [pick $::values]
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
        filename - import_filename { return [pick [concat $::other_files demo.lmx missing.lmx]] }
        entry_row - sample_number - time_unit_index { return [expr {int(rand() * 8)}] }
    }
    return [pick {{cpu|pc[15..0]} 8 1 states 10 ns}]
}

# A module command with its required options and some optional ones, or with random options.
proc hostile_module_call {name} {
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

# A shell command with random words; action and answer_dialog mostly get words that reach their
# work (a real action, a script that runs one), the others random ones.
proc hostile_shell_call {name} {
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
            set fields [list [pick {file_name fileNameEdit export_format nothing table_name}] [value]]
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
        state - nodes - trigger - time_bars - status_texts {
            if {[chance 0.7]} {
                return [list $name]
            }
        }
        wait_acquisition {
            # A run on the simulated target may never trigger: the wait is kept short.
            return [list $name [pick {0 -1 abc 200 {}}]]
        }
        close_window - windows {
            return [list $name [value]]
        }
    }
    set call [list $name]
    set count [expr {int(rand() * 4)}]
    for {set i 0} {$i < $count} {incr i} {
        lappend call [value]
    }
    return $call
}

proc hostile_call {command} {
    if {[string match ::vokr_* $command]} {
        return [hostile_module_call $command]
    }
    return [hostile_shell_call $command]
}

# A call that is plainly wrong whatever the editor holds: an unknown option or extra words.
proc misuse_call {command} {
    if {[string match ::vokr_* $command]} {
        return [list $command -zzz_no_such_option 1]
    }
    return [concat [list $command] [lrepeat 7 no_such_node]]
}

# ---- running and counting the calls --------------------------------------------------------------------------

set module_commands [lsort [info commands ::vokr_*]]
check {[llength $module_commands] == 36} "the module's 36 commands are there"
set commands [concat $module_commands [lsort [info commands ::korvane::shell::*]] \
                  [lsort [info commands ::korvane::msg::*]] [info commands ::korvane::finder::*] \
                  [lsort [info commands ::korvane::host::*]]]
# The watchdog is the run's own; the others are called.
set commands [lsearch -all -inline -not $commands ::korvane::shell::watchdog]

# Every run of a command while a call runs is counted, the dialog commands that the shell runs in
# the dialogs the call opened included: all runs, and the runs within a call made with valid words.
array set runs {}
foreach command $commands {
    foreach key {all all_ok valid valid_ok} {
        set runs($command,$key) 0
    }
    trace add execution $command leave [list count_run $command]
}
set call_kind ""
proc count_run {command words code result operation} {
    if {$::call_kind eq ""} {
        return
    }
    incr ::runs($command,all)
    incr ::runs($command,all_ok) [expr {$code == 0}]
    if {$::call_kind eq "valid"} {
        incr ::runs($command,valid)
        incr ::runs($command,valid_ok) [expr {$code == 0}]
    }
}

array set answered {0 0 1 0}
set call_number 0
# Runs one call under the watchdog; fails the script on a code other than OK or error, or on a
# misuse that answers OK.
proc run_call {call kind} {
    incr ::call_number
    set text [string range $call 0 300]
    watchdog $::call_limit_ms "call $::call_number of seed $::seed: $text"
    if {$::trace} {
        puts "call $::call_number ($kind): $text"
        flush stdout
    }
    set ::call_kind $kind
    set start [clock milliseconds]
    set code [catch {uplevel #0 $call} message]
    set ::call_kind ""
    watchdog $::call_limit_ms "seed $::seed, after call $::call_number: $text"
    if {$::trace} {
        puts "    -> [expr {$code ? "error" : "ok"}] after [expr {[clock milliseconds] - $start}] ms: [string range $message 0 200]"
    }
    if {$code != 0 && $code != 1} {
        error "call $::call_number \"$text\" answered code $code: $message"
    }
    if {$kind eq "misuse" && $code == 0} {
        error "the misuse \"$text\" (call $::call_number) answered no error: $message"
    }
    incr ::answered($code)
}

# Runs a valid command's calls in turn; a call {later SCRIPT} stands for the calls that the script
# chooses once the calls before it have run.
proc run_calls {calls} {
    foreach call $calls {
        foreach now [expr {[lindex $call 0] eq "later" ? [uplevel #0 [lindex $call 1]] : [list $call]}] {
            run_call $now valid
        }
    }
}

# The commands in rounds, each round every command once in a random order. The mnemonic dialog's
# commands run inside its chains (vokr_on_mnemonic_dialog opens the dialog and names the first),
# which keep the dialog open a second each: a round calls one of them, and the first round of a
# phase with a window, which calls every command with valid words, calls each chain once.
set mnemonic_commands [lsearch -all -inline -regexp $commands {^::vokr_(on_mnemonic|dlg_trigger_(add_|delete|file|import))}]
set others [lsearch -all -inline -not -exact -regexp $commands {^::vokr_(on_mnemonic|dlg_trigger_(add_|delete|file|import))}]
set chain_starts {::vokr_dlg_trigger_add_table_dialog ::vokr_dlg_trigger_add_entry_dialog ::vokr_dlg_trigger_delete_entry
    ::vokr_dlg_trigger_file_dialog}
set deck {}
set sweep 0
# The table the first round deletes goes last, after the chains that need one.
proc start_round {first} {
    set ::deck [shuffle [concat $::others [if {$first} {set ::chain_starts} else {pick $::mnemonic_commands}]]]
    if {$first} {
        lappend ::deck ::vokr_dlg_trigger_delete_table
    }
    set ::sweep [expr {$first ? [llength $::deck] : 0}]
}
proc next_command {} {
    if {![llength $::deck]} {
        start_round 0
    }
    set ::deck [lassign $::deck command]
    return $command
}

# Keeps the number of editor windows the phase works in: opens one (on its session, when the
# phase has sessions) or closes the latest, as a call of its own.
proc keep_windows {wanted sessions} {
    set open [llength [window_files]]
    if {$open < $wanted} {
        run_call [concat ::korvane::host::open_editor [lindex $sessions [expr {$open % max(1, [llength $sessions])}]]] valid
        return 1
    }
    if {$open > $wanted} {
        run_calls [closing_calls]
        return 1
    }
    return 0
}

# Calls in two windows: now and then, in place of the next command of the round, one that runs or
# stops a capture, opens a session or a file that is not one (in the window that captures or in
# the other one while it does), closes a window or goes to the other one.
proc window_call {} {
    switch -- [between 0 8] {
        0 { return [list [list windows [between 0 1]]] }
        1 { return [list [list action [pick {RUN AUTORUN}] -focus window]] }
        2 { return [list {action STOP -focus window}] }
        3 { return {{later open_calls}} }
        4 { return {{later {open_calls dialog}}} }
        5 { return [closing_calls] }
        6 { return [list {action AUTORUN -focus window} {later open_calls}] }
        7 { return [list {action AUTORUN -focus window} {later {open_calls other}}] }
    }
    return [list {wait_acquisition 300}]
}

# Opens a session or a file that is not one, in this window (by name or through File > Open) or
# in the other one; counts the opens made while a window captured.
array set opens {all 0 capturing 0}
proc open_calls {{how name}} {
    set capturing [session_value acquiring 0]
    set calls {}
    if {$how eq "other"} {
        set calls [list [list windows [expr {[lsearch [window_files] [session_value file {}]] == 0}]]]
    }
    set file [pick [concat $::session_files $::other_files]]
    if {$how eq "dialog"} {
        lappend calls [list answer_dialog [list fileNameEdit $file] accept {action PIRQ_OPEN_ACTION -focus window}]
    } else {
        lappend calls [list vokr_open_file -filename $file]
    }
    incr ::opens(all)
    incr ::opens(capturing) $capturing
    return $calls
}

# A command whose valid calls all failed on the state the run had left (a window without a
# session, no capture, a list without buses, a session another window holds too) has up to three
# more, the later ones on a fresh copy of the demo.
proc catch_up {sessions} {
    foreach command $::commands {
        for {set try 0} {$try < 3 && $::runs($command,valid_ok) == 0} {incr try} {
            watchdog $::call_limit_ms "seed $::seed, choosing a call of $command"
            if {![llength [window_files]]} {
                keep_windows 1 $sessions
            }
            if {$try > 0 || [session_value instances 0] == 0} {
                run_calls [closing_calls]
                run_call [list ::korvane::host::open_editor [fresh_copy]] valid
            }
            run_calls [valid_call $command]
        }
    }
}

proc random_calls {phase count windows sessions} {
    set before [array get ::answered]
    start_round $windows
    for {set i 0} {$i < $count} {incr i} {
        watchdog $::call_limit_ms "seed $::seed, choosing call [expr {$::call_number + 1}]"
        if {[keep_windows $windows $sessions]} {
            continue
        }
        # In two windows, once every command had its valid call: captures, opens and closes, and a
        # window a refused open left without a session opens one again now and then.
        if {$windows == 2 && $::sweep <= 0 && [chance 0.3]} {
            run_calls [window_call]
            continue
        }
        if {$windows == 2 && [session_value instances 0] == 0 && ($::sweep > 0 || [chance 0.5])} {
            run_call [list vokr_open_file -filename [pick $sessions]] valid
            continue
        }
        set command [next_command]
        set roll [expr {[incr ::sweep -1] >= 0 ? 0 : rand()}]
        # Without a window only the commands that need none have valid words.
        if {$roll < 0.75 && ($windows || [string match ::korvane::\[mfh\]* $command])} {
            run_calls [valid_call $command]
        } elseif {$roll < 0.9} {
            run_call [hostile_call $command] hostile
        } else {
            run_call [misuse_call $command] misuse
        }
    }
    if {[llength $sessions]} {
        catch_up $sessions
    }
    ::korvane::msg::clear
    set ok [expr {$::answered(0) - [dict get $before 0]}]
    set all [expr {$ok + $::answered(1) - [dict get $before 1]}]
    puts "$phase: $all calls answered, $ok without an error"
}

# ---- the phases -----------------------------------------------------------------------------------------------

if {$two_windows} {
    random_calls "two windows" $calls 2 $session_files
    puts "opens in two windows: $opens(all), $opens(capturing) of them while a window captured"
} else {
    random_calls "editor on the demo" [expr {$calls * 6 / 9}] 1 [list [file join $work demo.lmx]]
    random_calls "editor without a session" [expr {$calls * 2 / 9}] 1 {}
    random_calls "no window" [expr {$calls / 9}] 0 {}
}
while {[llength [window_files]]} {
    watchdog $call_limit_ms "seed $seed, closing the windows"
    if {[session_value acquiring 0]} {
        # Stop acts on the instances selected in the instance manager, which the calls may
        # have left without a selection: the capturing row is chosen first, as a person would.
        # A capture may also end by itself between the look and the click, Stop then disabled.
        if {[catch {action STOP -focus window}]} {
            click instance_tree 20 40
            if {[catch {action STOP -focus window} message] && [session_value acquiring 0]} {
                error $message
            }
        }
        wait_acquisition
    }
    ::korvane::msg::clear
    ::korvane::msg::answer no no no
    close_window
}
watchdog 0

# ---- what the calls reached -----------------------------------------------------------------------------------

puts [format "%-45s %7s %7s %7s %7s" command runs OK valid OK]
set never {}
foreach command $commands {
    puts [format "%-45s %7d %7d %7d %7d" $command $runs($command,all) $runs($command,all_ok) \
              $runs($command,valid) $runs($command,valid_ok)]
    if {$runs($command,valid_ok) == 0} {
        lappend never $command
    }
}
set total [expr {$answered(0) + $answered(1)}]
puts "answered: $answered(0) OK, $answered(1) errors ([expr {100 * $answered(0) / max(1, $total)}]% OK)"
check {2 * $answered(0) >= $total} "at least half the calls succeed (seed $seed)"
check {![llength $never]} "every command succeeds with valid arguments (seed $seed); never: $never"
check {!$two_windows || $opens(capturing) > 0} "files are opened while a window captures (seed $seed)"
