# The editor by hand on the demo: a single bit's trigger condition from its right-click menu,
# the node list scrolled by steps of the arrow keys, the wheel and the page keys, a node row
# dragged to another place, a bus value kept through Insert Trigger Value, the enable boxes under
# a lock mode and with the storage qualifier disabled, and the right-click menu of every pane,
# each entry named. It runs on the minimal platform, which carries a real drag through its own
# event loop (the offscreen one ends every drag at once).
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace hand]
::korvane::host::open_editor [file join $work demo.lmx]
set_widgets {data_setup_tabs Setup}
# At 1280 x 800 the Trigger Conditions column stays whole in view, left of the node list's
# vertical scroll bar, beside the configuration pane with every storage qualifier; the title row
# holds the lock-mode selector unsqueezed, and a narrow level-type selector names its type.
foreach type {Continuous Transitional Conditional Start/Stop Continuous} {
    set_widgets [list storage_type $type]
    lassign [cell {cpu|pc[15..0]} 12 -rect] x y width height
    set right [expr {[dict get [widget_state node_list] x] + $x + $width}]
    set bar [widget_state node_list_vertical_bar]
    check {$right <= [dict get $bar x] + 1 && $right <= 1280} \
        "the Trigger Conditions cell ends at $right, left of the scroll bar $bar, with $type"
    check {[dict get [widget_state lock_mode] width] >= 200} "the lock-mode selector: [widget_state lock_mode]"
    check {[tooltip level_type_0 5 5] eq [dict get [widget_state level_type_0] text]} "level 1's type in its tooltip"
}
# A screen a little wider than the default: the condition column is in sight beside the
# configuration pane.
screenshot [file join $work hand_start.png] 1380 900

# Every entry of a menu shows its command's name, none a placeholder.
proc check_named {entries where} {
    check {[llength $entries] > 0} "$where: the menu has entries"
    foreach entry $entries {
        check {![regexp {^Action [0-9]+$} $entry]} "$where: \"$entry\" names its command"
    }
}

# A node's condition at level 0; the session lists no Don't Care (8).
proc condition_of {node} {
    set conditions [level_conditions 0]
    return [expr {[dict exists $conditions $node] ? [dict get $conditions $node] : 8}]
}

# A single bit has no value editor: its condition comes from the menu, as one undo unit.
set bit {cpu|pc[15]}
set before [condition_of $bit]
# The first menu after opening has its entries enabled, also where the platform activates the
# menu's window.
context_menu node_list {*}[cell $bit 12] {Rising Edge}
check {[condition_of $bit] == 5} "the bit's condition is Rising Edge"
set entries [context_menu node_list {*}[cell $bit 12]]
foreach condition {{Don't Care} Low {Falling Edge} {Rising Edge} High {Either Edge}} {
    check {$condition in $entries} "the condition menu offers $condition"
}
check {[session modified]} "the pick marks the session modified"
action UNDO
check {[condition_of $bit] == $before} "one undo gives the condition back"
action REDO
check {[condition_of $bit] == 5} "redo sets it again"

# Ten trigger levels make the columns wider than the list: Right steps toward the last column by
# a part of the list's width, Left back toward the first; a Ctrl+wheel notch steps three times as
# far, Ctrl+Page Down a page (the column leaves the list, moves by half of it at least or reaches
# the end of the range), Ctrl+Home back to the start; the wheel scrolls the rows.
set_widgets {trigger_conditions 10}
set width [dict get [widget_state node_list] width]
set x0 [lindex [cell $bit 12] 0]
proc moved {} { return [expr {$::x0 - [lindex [cell $::bit 12] 0]}] }
key node_list Right
set step [moved]
check {$step >= 10 && $step <= $width / 10} "Right steps a part of the list: $step px of $width"
key node_list Left
check {[moved] == 0} "Left steps back toward the first"
wheel node_list -120 ctrl
set notch [expr {[catch moved far] ? "off" : $far}]
check {$notch eq 3 * $step} "a Ctrl+wheel notch steps three Rights ($step px), not $notch px"
key node_list Ctrl+End
set last [expr {[catch moved far] ? "off" : $far}]
key node_list {Ctrl+Home Ctrl+PgDown}
set paged [expr {[catch moved far] ? "off" : $far}]
check {$paged eq "off" || $paged > $width / 2 || $paged eq $last} \
    "Ctrl+Page Down moves a page (the column off the list, or to the end at $last px), not $paged px"
key node_list Ctrl+Home
check {[moved] == 0} "Ctrl+Home goes back to the first column"
set_widgets {trigger_conditions 2}
set y0 [lindex [cell $bit 12] 1]
wheel node_list -120
check {[catch {cell $bit 12} moved] || [lindex $moved 1] < $y0} "the wheel scrolls the rows up"
wheel node_list 360

# A node row dragged by its name above another row moves there, through the platform's own drag.
foreach i {1 2 3 4 5} { wheel node_list -360 }
set from [cell uart|tx|busy 2]
lassign [cell mem_ctrl|fifo|full 2] x y
click node_list {*}$from
drag node_list {*}$from node_list $x [expr {$y - 8}]
check {[lrange [nodes trigger] end-2 end-1] eq {uart|tx|busy mem_ctrl|fifo|full}} "the dragged row moved up"
foreach i {1 2 3 4 5} { wheel node_list 360 }

# A value typed into a bus shown least significant bit first stays as typed when Insert Trigger
# Value opens on it and OK takes it unchanged.
set bus {cpu|fsm|state[3..0]}
click node_list {*}[cell $bus 12]
key node_list {0 0 0 1 Return}
context_menu node_list {*}[cell $bus 2] {LSB on Top}
set typed [level_conditions 0]
check {[dict get $typed {cpu|fsm|state[0]}] == 3 && [dict get $typed {cpu|fsm|state[3]}] == 4} "0001 typed: $typed"
answer_dialog {} OK [list context_menu node_list {*}[cell $bus 12] {Insert Trigger Value...}]
check {[level_conditions 0] eq $typed} "OK kept the typed value: [level_conditions 0]"

# Under "Allow incremental route changes only" the enable boxes of a post-fitting node are drawn
# enabled and take a click; the greyed boxes of the other nodes refuse it.
proc box_signature {picture node column} {
    set list [widget_state node_list]
    lassign [cell $node $column -rect] x y width height
    set left [expr {[dict get $list x] + $x + $width / 2 - 6}]
    set top [expr {[dict get $list y] + $y + $height / 2 - 6}]
    return [exec convert $picture -crop 13x13+$left+$top +repage -format %# info:]
}
proc data_enable {node} { return [tooltip node_list {*}[cell $node 5]] }
set post {cpu|pc[14]}
set pre {cpu|pc[13]}
context_menu node_list {*}[cell $post 2] Post-fitting
click node_list {*}[cell {cpu|pc[11]} 2]
set_widgets {lock_mode {Allow incremental route changes only}}
set picture [file join $work incremental_boxes.png]
screenshot $picture
check {[box_signature $picture $post 5] ne [box_signature $picture $pre 5]} \
    "the post-fitting node's Data box is drawn enabled, the other's greyed"
click node_list {*}[cell $pre 5]
check {[data_enable $pre] eq "Data Capture Enabled"} "the greyed Data box refused the click"
click node_list {*}[cell $post 5]
check {[data_enable $post] eq "Data Capture Disabled"} "the post-fitting node's Data box took the click"
set_widgets {lock_mode {Allow all changes}}

# With the storage qualifier disabled the Transitional boxes are greyed and refuse a click.
proc transitional {node} { return [tooltip node_list {*}[cell $node 8]] }
# A click on the check box's indicator, at the left of the wide widget.
proc click_disable_sq {} { click disable_sq 8 [expr {[dict get [widget_state disable_sq] height] / 2}] }
set_widgets {storage_type Transitional}
click_disable_sq
screenshot [file join $work transitional_disabled.png]
set before [transitional $pre]
click node_list {*}[cell $pre 8]
check {[transitional $pre] eq $before} "the greyed Transitional box refused the click: [transitional $pre]"
click_disable_sq
click node_list {*}[cell $pre 8]
check {[transitional $pre] ne $before} "the Transitional box takes the click with the storage qualifier in use"
set_widgets {storage_type Continuous}

# The right-click menu of every pane.
foreach {column what} {2 "node name" 1 alias 5 "data enable" 6 "trigger enable" 12 "trigger condition"} {
    check_named [context_menu node_list {*}[cell $bit $column]] "the $what column"
}
check_named [context_menu instance_tree 20 40] "the instance manager"
# The demo opens with the data log pane closed; the View menu shows it.
action PIRQ_ACTION_DATA_LOG_PANE
check_named [context_menu data_log_tree 20 40] "the data log"
click programming_files_toggle
check_named [context_menu programming_files 20 40] "the programming-file manager"
set_widgets {data_setup_tabs Data}
check_named [context_menu node_list {*}[cell 0 23]] "the waveform ruler"
set_widgets {data_setup_tabs Setup level_type_0 Advanced}
check_named [context_menu trigger_canvas 200 200] "the advanced trigger canvas"

# A press on a selected row starts a drag of it: a click there lets go where it pressed and returns.
click node_list {*}[cell $bit 2]
click node_list {*}[cell $bit 2]
check {$bit in [nodes trigger]} "the row stays in the list"
