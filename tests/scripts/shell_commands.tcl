# The shell's test commands answer every misuse with a Tcl error, leave the editor usable, and
# give dialog values to widgets as text that is never run as Tcl.
source [file join [file dirname [info script]] e2e_lib.tcl]

proc expect_errors {cases} {
    foreach {script pattern} $cases {
        uplevel 1 [list expect_error $script $pattern]
    }
}

expect_errors {
    {action RUN}            {no editor window is open}
    {state}                 {no editor window is open}
    {set_widgets {a 1}}     {no editor window is open}
    {time_bars}             {no editor window is open}
    {wait_acquisition}      {no editor window is open}
    {close_window}          {no editor window is open}
}

set work [e2e_workspace shell]
::korvane::host::open_editor [file join $work demo.lmx]
expect_errors {
    {action NO_SUCH}                          {unknown action "NO_SUCH"}
    {action RUN -focus nowhere}               {cannot give the focus to "nowhere"}
    {action RUN -speed 2}                     {unknown option "-speed": must be -focus or -data}
    {action STOP -focus window}               {action STOP is disabled}
    {action PIRQ_NO_SUCH_ACTION}              {the window has no action PIRQ_NO_SUCH_ACTION}
    {action RUN -data 7}                      {action RUN has no entry with the data "7"}
    {set_widgets {storage_type}}              {widget values must be pairs of name and value}
    {set_widgets {nothing 1}}                 {no widget named "nothing"; the named widgets are: *storage_type*}
    {set_widgets {storage_type Sometimes}}    {widget "storage_type" has no item "Sometimes"; its items are: Continuous, *}
    {set_widgets {storage_type C}}            {widget "storage_type" has several items beginning "C"}
    {set_widgets {data_setup_tabs Elsewhere}} {widget "data_setup_tabs" has no tab "Elsewhere"}
    {set_widgets {segmented maybe}}           {widget "segmented" takes a boolean}
    {set_value {cpu|pc[3]} 0 1}               {"cpu|pc\[3\]" is not a bus*}
    {set_value {cpu|pc[15..0]} 9 1}           {the trigger has no level 9}
    {set_value nothing 0 1}                   {no node "nothing" in the list}
    {set_value {cpu|pc[15..0]} 0 GG}          {the cell does not take the character "G"}
    {select nothing}                          {no node "nothing" in the list}
    {sample {cpu|pc[15..0]} 0}                {the data log has no sample 0}
    {nodes elsewhere}                         {bad list "elsewhere": must be data or trigger}
    {answer_dialog {} OK {set x 1}}           {no dialog showed while running: set x 1}
    {answer_dialog -timeout 0 {} OK {}}       {the timeout must be positive}
    {answer_dialog {} OK {error inner}}       {inner}
    {answer_dialog -hand {} {} OK {}}         {usage: answer_dialog ?-timeout ms? ?-hands script? fields buttons script}
    {click nothing}                           {no shown widget is named "nothing"}
    {click node_list 5}                       {usage: click widget ?x y? ?button? ?modifiers?}
    {click node_list 5 99999}                 {the point 5 99999 is outside the widget*}
    {click node_list 5 5 thumb}               {unknown button "thumb": must be left, right or middle}
    {click node_list 5 5 left hyper}          {unknown modifier "hyper": must be shift, ctrl or alt}
    {click node_list 40 40 right}             {the click opened a menu (Delete, *), which was closed: open it with context_menu*}
    {key node_list {Left Sideways}}           {unknown key "Sideways"}
    {wheel node_list many}                    {expected integer but got "many"}
    {context_menu node_list 5 5 {No Such}}    {the menu has no entry "No Such"; its entries are: Delete, *}
    {context_menu data_setup_tabs 1 1}        {no menu opened at 1 1*}
    {drag node_list 5 5 nothing 1 1}          {no shown widget is named "nothing"}
    {cell nothing 2}                          {no node "nothing" in the list}
}

# Dialog answers that fail reject the dialog: nothing is exported and the next one works.
run_acquisition
set_widgets {data_setup_tabs Data}
expect_errors {
    {answer_dialog {nothing 1} OK {action EXPORT}}    {dialog "Export": no widget named "nothing"*file_name*}
    {answer_dialog {} {{No Such}} {action EXPORT}}    {dialog "Export": no button "No Such"}
    {answer_dialog {clock_period 1} {} {action EXPORT}} {dialog "Export": the dialog is still open after its values were set}
    {answer_dialog -hands {click nothing} {} OK {action EXPORT}} {dialog "Export": no shown widget is named "nothing"}
    {answer_dialog -hands {answer_dialog {} OK {error inner}} {} OK {action EXPORT}} {dialog "Export": inner}
}
check {[glob -nocomplain -directory $work *.csv *.vcd *.tbl] eq ""} "the refused answers exported nothing"

# Quotes, brackets, dollars and backslashes in a value are the file's name, not Tcl.
set odd [file join $work {odd [exit 7] $env(HOME) "q" \ end}]
answer_dialog [list export_format Comma file_name $odd] OK {action EXPORT}
check {[file exists "$odd.csv"]} "the file is named as typed"
check {[session data_log]} "the editor is usable after the failed answers"

# An action that opens a modal dialog outside answer_dialog: the host closes the dialog and the
# action says how to answer it, long before a script would be thought hung.
foreach {id focus} {355 view 361 view 506 window 178 view PIRQ_OPEN_ACTION window PIRQ_SAVE_AS_ACTION window} {
    set start [clock milliseconds]
    expect_error [list action $id -focus $focus] \
        {"action *" opened the dialog "*", which was closed unanswered: open it inside answer_dialog to answer it}
    check {[clock milliseconds] - $start < 3000} "action $id answered within three seconds"
}
check {[session data_log]} "the editor is usable after the closed dialogs"
# A name typed into the file dialog is the file saved to, not the one the dialog had selected.
set copy [file join $work copy.lmx]
answer_dialog [list fileNameEdit $copy] accept {action PIRQ_SAVE_AS_ACTION -focus window}
check {[session file] eq $copy && [file exists $copy]} "Save As wrote the typed file, not [session file]"

# A window without a session: its entries are disabled or harmless, the readers read it empty
# and the module's commands that need a session say so.
::korvane::msg::answer no
close_window
::korvane::host::open_editor
check {[nodes] eq "" && [nodes data] eq "" && [trigger] eq "" && [time_bars] eq ""} "the readers answer empty"
expect_errors {
    {sample {cpu|pc[15..0]} 0}                {the window has no session}
    {vokr_set_storage_qualifier -type Continuous} {vokr_set_storage_qualifier: the editor has no session}
    {vokr_undo_view}                          {vokr_undo_view: the editor has no session}
    {action DISPLAY_HEX}                      {action DISPLAY_HEX is disabled}
    {action ADD_INSTANCE -focus window}       {action ADD_INSTANCE is disabled}
    {action PIRQ_SAVE_AS_ACTION -focus window} {action PIRQ_SAVE_AS_ACTION is disabled}
}
for {set id 0} {$id < 740} {incr id} {
    foreach focus {view window canvas} {
        catch {action $id -focus $focus}
    }
}
check {[session instances] == 0 && ![session modified]} "no entry made a session"
close_window

# A file that is not a session (a picture) is refused; the window that was on the demo paints
# afterwards, without the node list of the session it no longer holds.
::korvane::host::open_editor [file join $work demo.lmx]
screenshot [file join $work picture.png]
expect_error {vokr_open_file -filename [file join $work picture.png]} {vokr_open_file: cannot open *picture.png: Invalid session file *}
screenshot [file join $work after_refused_open.png]
expect_error {click node_list 40 40} {no shown widget is named "node_list"}
check {[session instances] == 0} "the refused file opened nothing"

# Keys reach what they are aimed at: the storage combo that its first key rebuilds takes the
# second; capitals are typed; a second `key` leaves the focus in the alias editor the first typed
# into.
close_window
::korvane::host::open_editor [file join [e2e_workspace shell_keys] demo.lmx]
set_widgets {data_setup_tabs Setup storage_type Continuous}
key storage_type {Down Down}
check {[dict get [widget_state storage_type] text] eq "Transitional"} "two steps down: [widget_state storage_type]"
click node_list {*}[cell {cpu|pc[15]} 1]
key node_list {P c}
key node_list {Shift+h _ 1 Return}
check {![catch {select PcH_1}]} "the alias was typed whole, capitals and all"
# The object library, the object properties' Parameters tab, the node finder and the state-based
# flow's flags and counters answer by name.
vokr_switch_to_advanced_view -combobox_type 3
widget_state object_library
select {cpu|pc[6]}
drop_nodes
vokr_test_advanced_focus_in
answer_dialog {object_type {Logical Operator} object_properties_tabs Parameters parameter_setting 2} OK \
    {action INSERT -focus canvas}
# A capital is typed with Shift held: on the canvas a plain i inserts a box, Shift+I nothing.
expect_error {key trigger_canvas i} {*opened the dialog*}
key trigger_canvas I
action INSERT_NODES
key node_finder_filter {U A R T}
check {[dict get [widget_state node_finder_filter] text] eq "UART"} "the finder's filter took capitals"
# Any character types itself, also beside Ctrl; a control character is no key.
set typed "\u00b5\u00ff\u20ac\u4e2d"
key node_finder_filter [list Ctrl+A Backspace {*}[split $typed ""] "Ctrl+\u20ac"]
check {[dict get [widget_state node_finder_filter] text] eq $typed} "the filter took [widget_state node_finder_filter]"
foreach word [list "\x01" "\t" "\x7f"] {
    expect_error [list key node_finder_filter [list $word]] {unknown key *}
}
widget_state node_finder_list
::korvane::finder::choose {}
set_widgets {flow_control State-based}
# A spin box takes a number in its range.
set_widgets {flag_count 2}
check {[dict get [widget_state flag_count] text] eq "2"} "the flags' count took 2: [widget_state flag_count]"
set_widgets {flag_count 0}
key flag_count Down
check {[dict get [widget_state flag_count] text] eq "1"} "a key gave the flow a flag"
foreach name {counter_count flag_table} {
    widget_state $name
}
# The header the pane's edge cuts ("Curr") reads whole in its tooltip.
set table [widget_state counter_table]
set tip [tooltip counter_table [expr {[dict get $table width] - 10}] 8]
check {$tip in {Name Width {Initial Value} {Current Value}}} "the counters' last header reads whole: \"$tip\""
