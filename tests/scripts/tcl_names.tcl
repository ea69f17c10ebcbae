# Texts cross the Tcl boundary as UTF-8 both ways, whatever the locale (the test runs in the C
# locale): a session file named in other scripts opens by its name, takes nodes by name, is
# found again by a locate request, and errors name it as it is.
source [file join [file dirname [info script]] e2e_lib.tcl]

set work [e2e_workspace tcl_names]
set named [file join $work "été ☃ 𝄞.lmx"]
file rename [file join $work demo.lmx] $named
::korvane::host::open_editor
vokr_open_file -filename $named
check {[dict get [::korvane::host::editor_state] file] eq $named} "the window names [::korvane::host::editor_state]"

foreach {command node} [list \
    [list vokr_add_node -filename $named -nodename "größe"] "größe" \
    [list vokr_do_locate -schema [list -source $named -object "Ωmega"]] "Ωmega" \
    [list vokr_add_node -filename $named -nodename "clé 𝄞"] "clé 𝄞"] {
    {*}$command
    check {$node in [nodes data]} "$command adds $node: [nodes data]"
    select $node
}

set missing [file join $work "absent ☃ 𝄞.lmx"]
expect_error {vokr_open_file -filename $missing} "vokr_open_file: cannot open $missing: No such file or directory"
expect_error {vokr_open_file -filename "a\0b"} {*-filename" holds a NUL character}
