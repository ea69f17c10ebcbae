# Exports as a person asks for them: a target that is not a regular file (a pipe here; a device
# is refused alike) is refused with the reason and stays as it was, for every export format and
# the list file; a clock period of ten thousand seconds gives exact times.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace export_targets]
::korvane::host::open_editor [file join $work demo.lmx]
set_widgets {data_setup_tabs Setup sample_depth {2 K}}
run_acquisition
set_widgets {data_setup_tabs Data}
set depth [session sample_depth]
set trigger_sample [session trigger_sample]

proc export {format file {timing {}}} {
    answer_dialog [list export_format $format file_name $file {*}$timing] OK {action EXPORT}
}
proc prompted {} { return [lmap r [::korvane::msg::log prompted] {dict get $r text}] }

# Two thousand samples of 10^16 ps are more picoseconds than 64 bits hold.
export {Comma Separated Values} [file join $work long] {clock_period 10000 clock_unit s}
set last [split [lindex [split [string trim [read_file [file join $work long.csv]]] \n] end] ,]
check {[lrange $last 0 1] eq [list [expr {$depth - 1 - $trigger_sample}] [expr {($depth - 1 - $trigger_sample) * 10**16}]]} \
    "the last sample's time is exact: $last"

foreach {format suffix} {{Comma Separated Values} csv {Table File} tbl {Value Change Dump} vcd BMP bmp JPEG jpg} {
    set pipe [file join $work pipe.$suffix]
    exec mkfifo $pipe
    ::korvane::msg::clear
    export $format [file join $work pipe]
    check {[prompted] eq [list "Cannot export data to file \"$pipe\" -- it is not a regular file"]} \
        "$format export refused: [prompted]"
    check {[file type $pipe] eq "fifo"} "the pipe stays after the $format export"
}
set pipe [file join $work pipe.txt]
exec mkfifo $pipe
expect_error {vokr_show_list_view -filename $pipe} \
    "vokr_show_list_view: Cannot write list file \"$pipe\" -- it is not a regular file"

# Nor is it written over the open session, its project or links that go round in a loop.
set loop [file join $work loop_a.txt]
exec ln -s loop_b.txt $loop
exec ln -s loop_a.txt [file join $work loop_b.txt]
set kept [lmap file {demo.lmx demo.kproj} {read_file [file join $work $file] 1}]
foreach {target reason} [list [file join $work demo.lmx] "it is the file of the open session" \
                             [file join $work demo.kproj] "it is the project's description" \
                             $loop "Too many levels of symbolic links"] {
    expect_error {vokr_show_list_view -filename $target} \
        "vokr_show_list_view: Cannot write list file \"$target\" -- $reason"
}
check {[lmap file {demo.lmx demo.kproj} {read_file [file join $work $file] 1}] eq $kept && [file type $loop] eq "link"} \
    "the session, its project and the links are kept"
