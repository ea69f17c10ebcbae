# Every way a window's session is closed or replaced leaves the windows as they are shown: a
# refused open leaves an empty window whose panes take no input, a window without a session is
# left out of what walks every window, an open never frees a capture under way, a closed window
# takes no more commands, a capture under way refuses the commands that edit its instance, a
# window saves the file it opened whatever the working folder is now, and a scripted answer that
# fits no prompt is the script's error.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace sessions]
file mkdir [file join $work other]
file copy [file join $work demo.lmx] [file join $work other demo.lmx]
set demo [file join $work demo.lmx]
set other [file join $work other demo.lmx]
set notes [file join $work notes.lmx]
set channel [open $notes w]
puts $channel "not a session"
close $channel

proc open_on {file} { ::korvane::host::open_editor $file -project [file join $::work demo.kproj] }
proc close_all {} {
    while {![catch {state}]} {
        ::korvane::msg::answer no
        close_window
        ::korvane::msg::clear
    }
}

# A refused open, typed or chosen in File > Open: the window shows no instance, and neither a
# pane of the closed session nor the disabled instance and JTAG panes reach the manager.
set refusals [list \
    [list vokr_open_file -filename $notes] \
    [list answer_dialog [list fileNameEdit $notes] Open {action PIRQ_OPEN_ACTION -focus window}]]
foreach refusal $refusals {
    open_on $demo
    screenshot [file join $work before_refusal.png]
    catch {uplevel #0 $refusal}
    check {[session instances] == 0 && [session file] eq ""} "\"$refusal\" left the window on [state]"
    screenshot [file join $work refused_open.png]
    expect_error {set_widgets {storage_type Transitional}} {no widget named "storage_type"*}
    expect_error {set_widgets {jtag_hardware USB-Cable}} {widget "jtag_hardware" is disabled}
    close_all
}

# Two windows: a list file made in one is not opened in the other, which keeps its unsaved
# session; a compile and a location pass over a window that holds no session.
set viewer [file join $work viewer]
file mkdir $viewer
set channel [open [file join $viewer xdg-open] w]
puts $channel "#!/bin/sh\necho \"\$1\" > '[file join $work viewed.txt]'"
close $channel
file attributes [file join $viewer xdg-open] -permissions 0755
set env(PATH) "$viewer:$env(PATH)"
open_on $demo
set_widgets {storage_type Transitional}
open_on $other
run_acquisition
vokr_show_list_view -filename ""
# The viewer runs on its own: its file is waited for, not a fixed time.
for {set waited 0} {![file exists [file join $work viewed.txt]] && $waited < 30000} {incr waited 20} {
    after 20
}
::korvane::msg::answer no
close_window
check {[session file] eq $demo && [session modified]} "the first window keeps its edited session: [state]"
check {[file exists [file join $work viewed.txt]]} "the viewer shows the list file"
::korvane::msg::answer no
expect_error {vokr_open_file -filename $notes} {vokr_open_file: cannot open *notes.lmx: Invalid session file *}
open_on $other
set_widgets {storage_type Transitional}
::korvane::msg::answer yes yes
action RUN -focus window
check {[file exists [file join $work other demo.sif]]} "the compile wrote the programming file of its session"
# A location from a new file goes to the last window that holds a session, past an empty one.
::korvane::host::open_editor
vokr_do_locate -schema {-source {New Lumetra File} -object uart_tx}
close_window
check {"uart_tx" in [nodes]} "the located node went to the window on a session"
close_all

# A node added by a command marks the window modified: closing it asks before the node is lost.
open_on $demo
vokr_add_node -filename $demo -nodename uart_tx
check {[session modified]} "the added node marks the window modified: [state]"
::korvane::msg::clear
::korvane::msg::answer cancel
expect_error close_window {the window refused to close}
check {"uart_tx" in [nodes] && [llength [::korvane::msg::log prompted]] == 1} "closing asked first: [state]"
close_all

# An open while Autorun captures is refused, whatever the file; the capture goes on to its Stop.
open_on $demo
set_widgets {jtag_hardware USB-Cable jtag_device MR2-C40}
action AUTORUN -focus window
foreach file [list $other $notes] {
    expect_error {vokr_open_file -filename $file} {vokr_open_file: an acquisition is running*}
    check {[session file] eq $demo && [session acquiring]} "the capture goes on after opening $file"
}
# The commands that edit the instance are refused alike: its capture was set up as it is.
set listed [list [nodes] [trigger]]
foreach call [list [list vokr_add_node -filename $demo -nodename uart_tx] {vokr_set_storage_qualifier -type Transitional} \
                  vokr_undo_view {vokr_switch_to_advanced_view -combobox_type 3} vokr_delete_all_node_in_view] {
    expect_error $call "[lindex $call 0]: an acquisition is running*"
}
check {[list [nodes] [trigger]] eq $listed && [session acquiring]} "the refused edits changed nothing: [state]"
action STOP -focus window
wait_acquisition
check {![session acquiring] && [session file] eq $demo} "the capture ended at its Stop in the window that ran it: [state]"

# A scripted answer that is no button of the question is an error that names the buttons; the
# question takes Cancel, so the window and its session stay.
set_widgets {storage_type Continuous}
foreach call [list close_window [list vokr_open_file -filename $other]] {
    ::korvane::msg::answer 5
    expect_error $call {*the scripted answer 5 is not a button of the prompt "Do you want to save the changes to demo.lmx?": its buttons are yes (6), no (7), cancel (2)}
    check {[session file] eq $demo && [session modified]} "\"$call\" kept the session"
}
# The node finder's choice meets the incremental lock mode's question: the choice is the error.
set_widgets {data_setup_tabs Setup}
action LOCK_MODE_INCREMENTAL -focus window
::korvane::msg::answer no
expect_error {::korvane::finder::choose {uart_rx uart_tx sda clk btn[3..0] trig_out cpu|fsm|busy}} \
    {*the scripted answer 7 is not a button of the prompt "You are in the Incremental Route lock-mode*}
state
action LOCK_MODE_ALL -focus window

# A session opened by a relative name keeps the path it was opened from, which that name still
# finds for a node: after the working folder changes, a save writes it, not the session of that
# name in the new folder. Save As onto links that go round in a loop is refused and keeps them.
close_all
set started_in [pwd]
set loop [file join $work loop_a.lmx]
exec ln -s loop_b.lmx $loop
exec ln -s loop_a.lmx [file join $work loop_b.lmx]
foreach {opener node} {{open_on demo.lmx} uart_tx {open_on $other; vokr_open_file -filename demo.lmx} uart_rx} {
    cd $work
    eval $opener
    check {[session file] eq $demo} "\"$opener\" names the opened file: [session file]"
    set before [list [read_file $demo 1] [read_file $other 1]]
    vokr_add_node -filename demo.lmx -nodename $node
    cd [file join $work other]
    action PIRQ_SAVE_ACTION -focus window
    check {![session modified] && [read_file $demo 1] ne [lindex $before 0] && [read_file $other 1] eq [lindex $before 1]} \
        "\"$opener\" saved the opened file only: [state]"
    ::korvane::msg::clear
    set_widgets {storage_type Transitional}
    catch {answer_dialog [list fileNameEdit $loop] Save {action PIRQ_SAVE_AS_ACTION -focus window}}
    check {[file type $loop] eq "link" && [session file] eq $demo && [session modified]} "Save As kept the loop: [state]"
    check {[string match "*Too many levels of symbolic links*" [::korvane::msg::log posted]]} "Save As said why"
    close_all
}
cd $started_in

# File > Close: the closed window takes no more commands.
open_on $demo
set_widgets {storage_type Transitional}
::korvane::msg::answer no
action PIRQ_CLOSE_ACTION -focus window
foreach call {{action RUN -focus window} close_window state} {
    expect_error $call {no editor window is open}
}
