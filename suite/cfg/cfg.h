// Configuration switches of the suite.
#pragma once

// Whether the switch is on. The environment variable KORVANE_CFG_<name> decides first; then
// the file named by KORVANE_CFG_FILE, lines "name = on|off"; otherwise the default.
// Values: on/off, true/false, yes/no, 1/0 (any case).
bool cfg_is_on(const char* name, bool default_value);
