// The suite's compatibility checks between the editor's settings and the compiled design, and
// the stand-in's record of what a compile fixed.
#pragma once

#include "ksm.h"

#include <string>

// Whether the design was compiled with this trigger's configuration (the log's trigger for a
// log): the checksum recorded for its instance at the last compile equals the trigger's.
bool jop_lmx_check_compatibility(const KSM_DATA_LOG* log, bool);
bool jop_lmx_check_compatibility(const KSM_DATA_TRIGGER* trigger, bool);

// What a full compile of the design records: for every entry of the session, the checksum of
// the trigger it compiled and routed into the instance (no reroute is pending after it).
void jop_record_compile(KSM_TX_SESSION* session);
// The simulated compile flow: a full or fast compile records a compile into every open
// session and leaves nothing pending; other flows change nothing.
bool jop_run_compile(int flow, const std::string& arguments);
