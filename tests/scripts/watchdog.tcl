# The watchdog armed again before its limit keeps the host alive; a call that never returns is
# ended by it, named (the test checks the exit status 124 and the message).
::korvane::shell::watchdog 2000 "the first wait"
after 1200
::korvane::shell::watchdog 2000 "the second wait"
after 1200
::korvane::shell::watchdog 300 "the endless loop"
while 1 {}
