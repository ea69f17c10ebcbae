// The simulated target of the acquisition control: what the design's nodes carry, where a
// trigger is met and what a log receives (the behaviours are described in daw.h).
#pragma once

#include "ksm.h"

#include <string>
#include <vector>

namespace daw_target {

// What one bit of a design node does.
struct SOURCE {
    enum KIND { ZERO, ONE, CLOCK, COUNTER, PULSE, STATES, RANDOM } kind = ZERO;
    bool known = false;    // the project has the node
    long long period = 1;  // counter and pulse
    int bit = 0;           // counter
    uint64_t seed = 0;     // random: the seed and bit folded together
    std::vector<bool> states;
};

// The source of a node row name ("a|b[3]") of the open project; a zero source when unknown.
SOURCE source_of(const char* row_name);
// Bit j of the result is the source's value at sample t + j; samples before 0 carry 0.
uint64_t sample_word(const SOURCE& s, long long t);
// Word i of out is sample_word(s, t + 64 * i), for count words from t >= 0 on, made word after
// word: a counter without a division per word, random bits with one mix per word.
void sample_words(const SOURCE& s, long long t, uint64_t* out, size_t count);

// Where a capture's samples lie in the target's sample stream.
struct PLAN {
    bool clocked = true;  // the signal set's clock samples; else the capture waits for it
    bool triggered = false;
    int depth = 0;
    int segment_size = 0;              // the depth when not segmented
    std::vector<long long> positions;  // stream sample of each log sample, -1 for none (invalid)
    std::vector<int> pre_counts;       // samples before each segment's trigger sample
    std::vector<bool> gaps;            // log samples that follow a gap in the stored samples
    int channels = 0;
    std::vector<std::string> channel_nodes;  // the node each data channel captures
    std::vector<SOURCE> sources;             // what each data channel carries
    // Where a state-based flow stands when it stops, after the last trigger (or, where it also
    // qualifies storage, after the capture's last stored sample): its state (-1 for a trigger
    // without a flow), counters and flags.
    int state = -1;
    std::vector<unsigned int> counters;
    std::vector<int> flags;
};

// The shape of the log's capture: its depth, segment size and channels, known before its trigger
// is searched for; false when the log has no trigger or signal set.
bool shape(const KSM_DATA_LOG* log, PLAN* plan);
// The window the log's trigger captures and the channels' sources, read from the log's trigger
// and the open project; false when the log has no trigger or signal set, or its trigger cannot
// run here (`error` then says why). A clock that does not sample triggers nothing.
bool plan(const KSM_DATA_LOG* log, PLAN* plan, std::string* error = nullptr);
// The threads that write a capture of that size: as many as the process may keep busy, for a
// deep enough one.
int fill_threads(int channels, int depth);
// Writes the planned samples, validity, trigger and segment marks into the log. Reads nothing
// but the plan, so it may run on another thread than the one that planned.
void fill(KSM_DATA_LOG* log, const PLAN& plan);
// Begins the log's capture of the plan's shape.
void begin(KSM_DATA_LOG* log, const PLAN& shape);

}  // namespace daw_target
