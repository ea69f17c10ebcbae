# A log keeps the shape it was captured with: after each setting a person changes once a
# capture is shown, Save writes a session that opens again with the capture as it was.
source [file join [file dirname [info script]] e2e_lib.tcl]

open_captured_demo logs_round_trip
set depth [session sample_depth]

# Each change stays for the next; the node removed is the last, so the counter keeps its channels.
foreach {what change} {
    {a lower sample depth}    {set_widgets {sample_depth 512}}
    {segments}                {set_widgets {segmented 1 segments {4  128 sample segments}}}
    {a higher sample depth}   {set_widgets {segmented 0 sample_depth {2 K}}}
    {a node added}            {action INSERT_NODES; ::korvane::finder::choose uart_tx}
    {nodes removed}           {select cpu|alu|carry uart_tx; key node_list Delete}
    {the trigger position}    {set_widgets {trigger_position Post}}
    {the storage qualifier}   {set_widgets {storage_type Transitional}}
} {
    set_widgets {data_setup_tabs Setup}
    eval $change
    set kept [list [nodes data] [trigger]]
    action PIRQ_SAVE_ACTION -focus window
    close_window
    ::korvane::host::open_editor $session_file
    check {[session data_log] && [session sample_depth] == $depth && [session trigger_sample] == $trigger_sample} \
        "after $what the capture reads back: [state]"
    check {[list [nodes data] [trigger]] eq $kept} "after $what the session reads back as it was saved"
    check {[sample {cpu|pc[15..0]} $trigger_sample] eq $pc} "after $what the capture holds the same samples"
}
