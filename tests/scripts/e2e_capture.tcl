# An engineer's capture on the demo design from start to end: tap nodes, set a basic trigger on a bus
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
# A node by name, as the suite's other tools add one.
vokr_add_node -filename $session_file -nodename uart_tx
check {"uart_tx" in [nodes trigger] && "uart_tx" in [nodes data]} "the node added by name is listed"

# The program counter counts up by one each cycle: bit 6 first rises at 64.
set_value {cpu|pc[15..0]} 0 XXXXXXXXXRXXXXXX
check {[dict get [level_conditions 0] {cpu|pc[6]}] == 5} "level 1 waits for a rising edge of pc\[6\]"
set_widgets {trigger_position Center}
vokr_set_storage_qualifier -type Transitional
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

# ---- find a bus value: the master time bar goes to the first sample holding it ----
set_widgets {data_setup_tabs Data}
select {cpu|pc[15..0]}
set wanted [expr {$pc_at_trigger + 5}]
answer_dialog [list radix Hexadecimal value [format %X $wanted]] {{Find Next} Cancel} {action FIND_BUS_VALUE}
set master [lindex [time_bars] 0]
check {$master == $trigger_sample + 5} "the search stops at sample [expr {$trigger_sample + 5}], not $master"
check {"0b[sample {cpu|pc[15..0]} $master]" == $wanted} "the bus holds the value at the master time bar"

# ---- time bars 20 samples after and 3 before the trigger; the master stays ----
vokr_on_insert_time_bar_dialog -sample_number 20
answer_dialog {sample_number -3} OK {action 712}
set bars [time_bars]
check {[lindex $bars 0] == $master} "the master time bar stays, in $bars"
foreach offset {20 -3} {
    check {[expr {$trigger_sample + $offset}] in $bars} "a time bar at trigger + $offset, in $bars"
}
# A sample outside the capture is refused with a message, and the dialog stays open.
expect_error {answer_dialog {sample_number 5000} OK {action 712}} {*still open after "OK"}
check {[llength [time_bars]] == 3} "the refused sample placed no time bar"

# ---- exports ----
proc export {format file} {
    answer_dialog [list export_format $format file_name $file] OK {action EXPORT}
}
export {Value Change Dump} [file join $work capture]
export {Comma Separated Values} [file join $work capture]
export {JPEG} [file join $work capture]

set vcd [read_file [file join $work capture.vcd]]
check {[string first {$enddefinitions} $vcd] > 0} "the VCD file has its definitions"
check {[regexp {\$var wire 16 (\S+) pc \[15:0\] \$end} $vcd -> pc_code]} "the VCD declares the 16-bit counter"
check {[regexp -line "^b0*[format %b $pc_at_trigger] [regsub -all {\W} $pc_code {\\\0}]\$" $vcd]} \
    "the VCD holds the counter's value at the trigger"
set csv [split [string trim [read_file [file join $work capture.csv]]] \n]
check {[llength $csv] == $depth + 1} "the CSV file has a header and a row per sample, [llength $csv] lines"
set header [split [lindex $csv 0] ,]
set pc_column [lsearch -exact $header {cpu|pc[15..0]}]
check {$pc_column > 0 && "cpu|fsm|busy" in $header} "the CSV header names the counter and the tapped node"
set trigger_row [split [lindex $csv [expr {$trigger_sample + 1}]] ,]
check {[lindex $trigger_row 0] == 0 && [scan [lindex $trigger_row $pc_column] %x] == $pc_at_trigger} \
    "the CSV row of sample 0 is the trigger's, holding the counter's value"
set jpeg [read_file [file join $work capture.jpg] 1]
check {[string range $jpeg 0 1] eq "\xff\xd8" && [string length $jpeg] > 1000} "a JPEG picture of the waveform"

# ---- print to a PDF file ----
set pdf_file [file join $work capture.pdf]
set ::env(KORVANE_PRINTER_PDF) $pdf_file
vokr_on_print_file
set pdf [read_file $pdf_file 1]
check {[string range $pdf 0 3] eq "%PDF"} "the printer wrote a PDF file"
set pages [regexp -all {/Type\s*/Page[^s]} $pdf]
check {$pages >= 1 && [regexp "/Count $pages\\M" $pdf]} "the PDF's $pages pages are all listed"

# ---- save, reopen and check ----
action PIRQ_SAVE_ACTION -focus window
check {![session modified]} "the saved session is unmodified"
set before [trigger]
close_window
::korvane::host::open_editor $session_file
check {"cpu|fsm|busy" in [nodes data] && "uart_tx" in [nodes data]} "the reopened session keeps the tapped nodes"
check {[dict get [trigger] levels] eq [dict get $before levels]} "the reopened session keeps the trigger"
check {[dict get [trigger] storage_qualifier] == 3} "the reopened session keeps the storage qualifier"
check {[session data_log] && [session trigger_sample] == $trigger_sample} "the reopened session keeps the capture"
check {"0b[sample {cpu|pc[15..0]} $trigger_sample]" == $pc_at_trigger} "the kept capture holds the same samples"

puts "capture: trigger at $trigger_sample of $depth"
