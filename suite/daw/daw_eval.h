// The simulated target's trigger logic: every trigger level, storage-qualifier pattern and
// state-based flow of a trigger evaluated as streams of 64-sample words from sample 0 on, as the
// device's logic runs from the start of an acquisition (described in daw.h).
#pragma once

#include "ksm.h"
#include "ruv.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace daw_eval {

// A one-bit signal of the trigger logic: next() gives the samples 64 * k .. 64 * k + 63 (bit j
// for sample 64 * k + j) for k = 0, 1, 2, ... in turn.
class STREAM {
public:
    virtual ~STREAM();
    virtual uint64_t next() = 0;
};

// Builds the stream of one level (0..) or storage-qualifier pattern (-3..-1): basic levels
// from their node conditions, advanced ones from their expression. Null with a message when the
// level holds what the target cannot run.
std::unique_ptr<STREAM> make_level(KSM_TX_TRIGGER* trigger, int level, std::string* error);
// The stream of a parsed advanced expression; null with a message for a custom HDL box.
std::unique_ptr<STREAM> make_expression(const RUV_ADVANCED_TRIGGER_OUTPUT* root, std::string* error);

// The per-sample outputs of a state-based flow.
struct FLOW_WORDS {
    uint64_t trigger = 0;          // a trigger statement ran
    uint64_t segment_trigger = 0;  // a segment_trigger statement ran
    uint64_t store = 0;            // the sample is to be stored
};

// Where a state-based flow stands: its state (0 the first of the text), counters and flags.
struct FLOW_RESULTS {
    int state = 0;
    std::vector<uint64_t> counters;
    std::vector<bool> flags;
};

// A state-based flow run over the words of the trigger's levels.
class FLOW {
public:
    virtual ~FLOW();
    // The outputs for the next 64 samples; `levels` holds each level's word for them.
    virtual FLOW_WORDS next(const std::vector<uint64_t>& levels) = 0;
    // Runs the first `samples` (1 to 64) of the next word only and tells where the flow then
    // stands: where it ends, as it runs no further.
    virtual FLOW_RESULTS end_within(const std::vector<uint64_t>& levels, int samples) = 0;
    // A flow standing where this one stands, to be run on apart.
    virtual std::unique_ptr<FLOW> clone() const = 0;
};
// Null with a message when the flow text does not check. `by_sample` runs every sample one by
// one rather than skipping the stretches where the flow does nothing: the same words, slower.
std::unique_ptr<FLOW> make_flow(KSM_TX_TRIGGER* trigger, std::string* error, bool by_sample = false);

// Everything a trigger decides, extended block by block as far as it is asked for.
class PROGRAM {
public:
    // Null with a message when the trigger cannot run on the target.
    static std::unique_ptr<PROGRAM> make(KSM_TX_TRIGGER* trigger, std::string* error);

    // The first sample from `from` on (and before `limit`) that triggers: the levels met in turn
    // from `from`, or a flow's trigger (a segment_trigger too when `segment`); -1 when none.
    // `final` tells whether it was a flow's trigger statement, which ends the acquisition.
    long long find_trigger(long long from, long long limit, bool segment, bool* final);
    // Whether sample t (>= 0) is stored, by the storage qualifier.
    bool is_stored(long long t);
    // The first stored sample from `from` on and before `limit`, or -1.
    long long next_stored(long long from, long long limit);
    // The last stored sample before `from` and not before `floor`, or -1.
    long long previous_stored(long long from, long long floor);
    // The first `count` (at most) stored samples from `from` on and before `limit`, in order, into
    // out[0], out[1], ...; returns how many there were.
    int stored_after(long long from, long long limit, int count, long long* out);
    // The last `count` (at most) stored samples before `from` and not before `floor`, the latest
    // into *last, the one before it into last[-1], ...; returns how many there were.
    int stored_before(long long from, long long floor, int count, long long* last);
    // Once the last trigger is found, only storage is asked for: the levels (and a flow that does
    // not qualify storage) are no longer evaluated, and find_trigger finds nothing more.
    void stop_triggering() { m_triggering = false; }
    // Whether the flow runs on after the last trigger, to qualify storage.
    bool flow_qualifies_storage() const { return m_flow && m_qualifier == KSM_SQTYPE_STATE_BASED; }
    // Where the flow stands once sample t (>= 0) has run. The flow that triggered may have run past
    // it: a copy kept where that flow stood at most a few search steps before t runs on to t.
    // Asked once, for the last trigger or the capture's last sample; false without a flow.
    bool flow_end(long long t, FLOW_RESULTS* results);

private:
    static constexpr size_t SEARCH_STEP = 64;  // blocks the trigger search evaluates at once

    PROGRAM() = default;
    void extend(size_t blocks);
    void evaluate_levels(size_t blocks);
    void keep_flow_mark(size_t block);
    uint64_t qualify(size_t block);

    KSM_DATA_STORAGE_QUALIFIER_TYPE m_qualifier = KSM_SQTYPE_CONTINUOUS;
    std::vector<std::unique_ptr<STREAM>> m_levels;
    std::vector<std::unique_ptr<STREAM>> m_patterns;  // conditional, or start and stop
    std::vector<std::unique_ptr<STREAM>> m_inputs;    // transitional nodes or the input port
    std::unique_ptr<FLOW> m_flow;
    // Copies of the flow as it stood at the start of a block, a search step or more apart.
    std::vector<std::pair<size_t, std::unique_ptr<FLOW>>> m_flow_marks;
    bool m_storing = false;  // start/stop: a start was met and no stop since
    bool m_triggering = true;
    std::vector<uint64_t> m_previous;                  // transitional: each node's last word
    std::vector<std::vector<uint64_t>> m_level_words;  // per level, per block
    std::vector<FLOW_WORDS> m_flow_words;
    std::vector<uint64_t> m_stored;
    std::vector<uint64_t> m_current;  // the levels' words of the block being extended
};

}  // namespace daw_eval
