# A Shift box's parameters set by hand in the object properties dialog: a second row taken into
# the selection with Ctrl+click leaves the editor on the first selected row, and what is typed
# goes to that row alone.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace parameters]
::korvane::host::open_editor [file join $work demo.lmx]
set_widgets {data_setup_tabs Setup}
vokr_switch_to_advanced_view -combobox_type 3
select {cpu|pc[6]}
drop_nodes
vokr_test_advanced_focus_in
answer_dialog {object_type {Shift Operator}} OK {action INSERT -focus canvas}

# A height in the grid where a click selects the row of that parameter alone; sought from the
# bottom up, as the editor names the first row already while the header is clicked.
proc row_y {name} {
    for {set y [dict get [widget_state parameter_settings] height]} {[incr y -4] > 0} {} {
        click parameter_settings 40 $y
        if {[dict get [widget_state parameter_name] text] eq $name} {
            return $y
        }
    }
    error "no row of the grid is $name"
}
proc editor {} {
    return [list [dict get [widget_state parameter_name] text] [dict get [widget_state parameter_setting] text]]
}

answer_dialog -hands {
    set distance [row_y {Shift Distance}]
    set type [row_y {Shift Type}]
    click parameter_settings 40 $distance
    key parameter_setting {Ctrl+A 3}
    click parameter_settings 40 $type left ctrl
    check {[editor] eq {{Shift Distance} 3}} "the editor shows the first selected row: [editor]"
    key parameter_setting {Ctrl+A 5}
    foreach {y shown} [list $type {{Shift Type} Logical} $distance {{Shift Distance} 5}] {
        click parameter_settings 40 $y
        check {[editor] eq $shown} "the typed setting went to Shift Distance alone: [editor]"
    }
} {object_properties_tabs Parameters} OK {action OBJECT_PROPERTIES -focus canvas}
