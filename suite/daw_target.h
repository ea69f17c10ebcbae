// The simulated target of the acquisition control: what the design's nodes carry, where a
// trigger is met and what a log receives (the behaviours are described in daw.h).
#pragma once

#include "ksm.h"

#include <vector>

namespace daw_target {

// Where a capture's segments lie in the target's sample stream.
struct PLAN {
    bool triggered = false;
    int depth = 0;
    int segment_size = 0;          // the depth when not segmented
    std::vector<long long> bases;  // stream sample of each segment's first sample
    std::vector<int> pre_counts;   // samples before each segment's trigger sample
};

// The window the log's trigger captures; false when the log has no trigger or signal set.
bool plan(const KSM_DATA_LOG* log, PLAN* plan);
// Writes the planned samples, validity, trigger and segment marks into the log.
void fill(KSM_DATA_LOG* log, const PLAN& plan);

}  // namespace daw_target
