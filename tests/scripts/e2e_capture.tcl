# An engineer's capture on the demo design from start to end: tap a node, set a basic trigger
# and a storage qualifier, run on the simulated target, find a bus value, place time bars,
# export VCD, CSV and JPEG files, print to PDF, save, reopen and check what was kept.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace capture]
set session_file [file join $work demo.lmx]
::korvane::host::open_editor $session_file

# ---- tap a node and set the trigger ----
set_widgets {data_setup_tabs Setup}
action INSERT_NODES
::korvane::finder::choose {cpu|fsm|busy}
check {"cpu|fsm|busy" in [nodes trigger]} "the tapped node is in the trigger list"
check {"cpu|fsm|busy" in [nodes data]} "the tapped node is in the data list"

# The program counter counts up by one each cycle: bit 6 first rises at 64.
set_value {cpu|pc[15..0]} 0 XXXXXXXXXRXXXXXX
check {[dict get [level_conditions 0] {cpu|pc[6]}] == 5} "level 1 waits for a rising edge of pc\[6\]"
set_widgets {trigger_position Center storage_type Transitional}
check {[dict get [trigger] storage_qualifier] == 3} "the storage qualifier is transitional"
check {[dict get [trigger] position] == 1} "the trigger sits at the centre"
check {[session modified]} "the edits mark the session modified"

# ---- run ----
run_acquisition
set depth [session sample_depth]
set trigger_sample [session trigger_sample]
check {$trigger_sample >= 0 && $trigger_sample < $depth} "the log has a trigger sample"
check {[sample {cpu|pc[6]} $trigger_sample] eq "1"} "pc\[6\] is high at the trigger"
check {[sample {cpu|pc[6]} [expr {$trigger_sample - 1}]] eq "0"} "pc\[6\] was low before the trigger"
# Transitional storage keeps only samples where a stored node changed.
# The counter is stored at every sample around the trigger: it rises by one from sample to
# sample, and its bit 6 has just risen at the trigger.
set pc_at_trigger [expr {"0b[sample {cpu|pc[15..0]} $trigger_sample]"}]
check {($pc_at_trigger & 0x7f) == 0x40} "pc\[6\] rose at the trigger, pc [format %x $pc_at_trigger]"
for {set s [expr {$trigger_sample - 8}]} {$s < $trigger_sample + 8} {incr s} {
    check {"0b[sample {cpu|pc[15..0]} $s]" - $pc_at_trigger == $s - $trigger_sample} "pc counts at sample $s"
}
puts "capture: trigger at $trigger_sample of $depth"
