# The module's package loads, registers its commands, and parses their options.
source [file join [file dirname [info script]] lib.tcl]

set version [package require vokr]
check {$version eq "1.0"} "package require vokr answers 1.0, not $version"
check {[package provide ::korvane::vokr] eq "1.0"} "the package ::korvane::vokr is provided"

set commands {
    vokr_do_locate vokr_show_list_view vokr_open_file vokr_on_print_file vokr_add_node
    vokr_on_mnemonic_dialog vokr_dlg_trigger_add_table_dialog vokr_dlg_trigger_add_table_dialog_accept
    vokr_dlg_trigger_add_entry_dialog vokr_dlg_trigger_add_entry_dialog_accept vokr_dlg_trigger_file_dialog
    vokr_dlg_trigger_file_dialog_accept vokr_dlg_trigger_import_dialog_accept vokr_dlg_trigger_delete_table
    vokr_dlg_trigger_delete_entry vokr_switch_to_advanced_view vokr_on_property_dialog
    vokr_dlg_trigger_property_dialog vokr_dlg_trigger_property_dialog_accept vokr_test_advanced_menu_actions
    vokr_test_advanced_focus_in vokr_dlg_trigger_property_dialog_insert vokr_on_time_units_dialog
    vokr_dlg_trigger_time_units_dialog vokr_on_insert_time_bar_dialog vokr_dlg_trigger_insert_time_bar_dialog
    vokr_on_advanced_key_press vokr_find vokr_dlg_trigger_find_dialog vokr_check_locate_enable
    vokr_set_storage_qualifier vokr_undo_view vokr_redo_view vokr_set_active vokr_delete_all_node_in_view
    vokr_test_update_waveform_menu
}
check {[llength $commands] == 36} "36 command names listed"
foreach name $commands {
    check {[llength [info commands $name]] == 1} "command $name exists"
}

# Option errors name the option and leave the interpreter usable.
expect_error {vokr_open_file} {vokr_open_file: missing required option "-filename"}
expect_error {vokr_open_file -filename} {*option "-filename" needs a value}
expect_error {vokr_open_file -filename a -filename b} {*"-filename" is given more than once}
expect_error {vokr_open_file filename} {*expected an option beginning with "-"*}
expect_error {vokr_find -bogus 1 -find_string x} {vokr_find: unknown option "-bogus"; valid options are -direction, -find_string}
expect_error {vokr_on_mnemonic_dialog -action x -entry_r 1} {*ambiguous option "-entry_r"*}
expect_error {vokr_find -filename f} {*unknown option "-filename"*}
expect_error {vokr_find -direction -1 -find_string x} {*"-direction" expects an unsigned integer, got "-1"}
expect_error {vokr_on_property_dialog -x 1.5 -y 2} {*"-x_coord" expects an integer*}
expect_error {vokr_find - 1} {*empty option name*}

# Abbreviations resolve: the command gets past its options to its own answer.
expect_error {vokr_find -dir 1 -find_string x} {vokr_find: no editor window is open}
expect_error {vokr_add_node -f a.lmx -n top|x} {vokr_add_node: no editor window is open}
expect_error {vokr_dlg_trigger_add_entry_dialog -entry_r hex} {*no editor window is open}

# Help is answered by the wrapper.
check {[string match "Usage: vokr_open_file -filename <string>*" [vokr_open_file -h]]} "short help"
check {[string match "*unique prefix*" [vokr_open_file -long]]} "long help"
check {[string match "Usage: vokr_set_active*" [vokr_set_active -lon]]} "-lon is long_help in vokr_set_active"
expect_error {vokr_set_active -l x} {*ambiguous option "-l"*}
