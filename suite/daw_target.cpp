// The simulated target: node behaviours evaluated 64 samples at a time, the basic trigger
// search, and the capture written into a log as whole words per channel.
#include "daw_target.h"
#include "daw.h"
#include "prj.h"

#include <cstdlib>
#include <sstream>

namespace {

constexpr uint64_t GOLDEN = 0x9E3779B97F4A7C15ull;
constexpr uint64_t BIT_SPREAD = 0xD1B54A32D192ED03ull;

uint64_t splitmix64(uint64_t x)
{
    uint64_t z = x + GOLDEN;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// What one bit of a design node does.
struct SOURCE {
    enum KIND { ZERO, ONE, CLOCK, COUNTER, PULSE, STATES, RANDOM } kind = ZERO;
    bool known = false;    // the project has the node
    long long period = 1;  // counter and pulse
    int bit = 0;           // counter
    uint64_t seed = 0;     // random: the seed and bit folded together
    std::vector<bool> states;
};

// The member offset of a row name's indices in a node of those dimensions, or -1.
long long member_offset(const PRJ_NODE& node, const std::vector<long long>& indices)
{
    if (indices.size() != node.dimensions.size())
        return -1;
    long long offset = 0;
    for (size_t d = 0; d < indices.size(); ++d) {
        const long long msb = node.dimensions[d].first, lsb = node.dimensions[d].second;
        const long long size = std::llabs(msb - lsb) + 1;
        const long long at = msb >= lsb ? indices[d] - lsb : lsb - indices[d];
        if (at < 0 || at >= size)
            return -1;
        offset = offset * size + at;
    }
    return offset;
}

// Splits "a|b[3][7]" into the path and its indices.
std::string split_name(const std::string& name, std::vector<long long>* indices)
{
    std::string path = name;
    while (!path.empty() && path.back() == ']') {
        const size_t open = path.rfind('[');
        if (open == std::string::npos)
            break;
        indices->insert(indices->begin(), std::atoll(path.c_str() + open + 1));
        path.erase(open);
    }
    return path;
}

const PRJ_NODE* find_node(const PRJ_PROJECT* project, const std::string& path)
{
    const PRJ_NODE* node = project->find_node(path);
    const std::string top = project->get_top() + "|";
    if (!node && path.compare(0, top.size(), top) == 0)
        node = project->find_node(path.substr(top.size()));
    return node;
}

void set_behaviour(SOURCE* s, const std::string& behaviour, long long bit)
{
    std::istringstream words(behaviour);
    std::string kind;
    words >> kind;
    std::string first;
    words >> first;
    const unsigned long long value = std::strtoull(first.c_str(), nullptr, 0);
    if (kind == "clock") {
        s->kind = SOURCE::CLOCK;
    } else if (kind == "constant") {
        s->kind = bit < 64 && ((value >> bit) & 1u) ? SOURCE::ONE : SOURCE::ZERO;
    } else if (kind == "counter" || kind == "pulse") {
        s->kind = kind == "counter" ? SOURCE::COUNTER : SOURCE::PULSE;
        s->period = value > 0 ? static_cast<long long>(value) : 1;
        if (bit >= 63)
            s->kind = SOURCE::ZERO;
        s->bit = static_cast<int>(bit);
    } else if (kind == "states") {
        s->kind = SOURCE::STATES;
        for (std::string state = first; !state.empty(); state.clear(), words >> state) {
            const long long at = static_cast<long long>(state.size()) - 1 - bit;
            s->states.push_back(at >= 0 && state[static_cast<size_t>(at)] == '1');
        }
        if (s->states.empty())
            s->kind = SOURCE::ZERO;
    } else if (kind == "random") {
        s->kind = SOURCE::RANDOM;
        s->seed = value * GOLDEN + static_cast<uint64_t>(bit) * BIT_SPREAD;
    }
}

SOURCE source_of(const char* row_name)
{
    SOURCE s;
    const PRJ_PROJECT* project = PRJ_PROJECT::get_open();
    if (!project || !row_name)
        return s;
    std::vector<long long> indices;
    const PRJ_NODE* node = find_node(project, split_name(row_name, &indices));
    const long long bit = node ? member_offset(*node, indices) : -1;
    if (bit < 0)
        return s;
    s.known = true;
    set_behaviour(&s, node->behaviour, bit);
    return s;
}

// Bit j of the result is the source's value at sample t + j; samples before 0 carry 0.
uint64_t sample_word(const SOURCE& s, long long t)
{
    if (t < 0)
        return t <= -64 ? 0 : sample_word(s, 0) << -t;
    uint64_t word = 0;
    switch (s.kind) {
    case SOURCE::ZERO: return 0;
    case SOURCE::ONE: return ~uint64_t(0);
    case SOURCE::CLOCK: return (t & 1) ? 0x5555555555555555ull : 0xAAAAAAAAAAAAAAAAull;
    case SOURCE::RANDOM: {
        const uint64_t w = static_cast<uint64_t>(t) >> 6;
        const int shift = static_cast<int>(t & 63);
        const uint64_t low = splitmix64(s.seed + w) >> shift;
        return shift ? low | splitmix64(s.seed + w + 1) << (64 - shift) : low;
    }
    case SOURCE::COUNTER: {
        long long q = t / s.period, r = t % s.period;
        for (int j = 0; j < 64; ++j) {
            word |= static_cast<uint64_t>((q >> s.bit) & 1) << j;
            if (++r == s.period) {
                r = 0;
                ++q;
            }
        }
        return word;
    }
    case SOURCE::PULSE: {
        long long r = t % s.period;
        for (int j = 0; j < 64; ++j) {
            word |= static_cast<uint64_t>(r == 0) << j;
            if (++r == s.period)
                r = 0;
        }
        return word;
    }
    case SOURCE::STATES: {
        const size_t k = s.states.size();
        size_t i = static_cast<size_t>(t % static_cast<long long>(k));
        for (int j = 0; j < 64; ++j) {
            word |= static_cast<uint64_t>(s.states[i]) << j;
            if (++i == k)
                i = 0;
        }
        return word;
    }
    }
    return word;
}

// One node condition of a basic level.
struct TERM {
    SOURCE source;
    KSM_DATA_TRIGGER_CONDITION condition;
};

struct LEVEL {
    bool any = false;        // OR of the terms, else AND
    bool immediate = false;  // not evaluated: met at once
    std::vector<TERM> terms;
};

bool is_leaf(const KSM_TX_SIGNAL_NODES* list, int row)
{
    const KSM_DATA_NODE_DISPLAY_TYPE type = list->get_display_type(row);
    return type != KSM_NTYPE_GROUP_EXPANDED && type != KSM_NTYPE_GROUP_COLLAPSED;
}

bool is_bit_condition(KSM_DATA_TRIGGER_CONDITION c) { return c >= KSM_CTYPE_ACTIVE_HIGH && c <= KSM_CTYPE_EITHER_EDGE; }

std::vector<LEVEL> levels_of(const KSM_TX_TRIGGER* trigger)
{
    std::vector<LEVEL> levels(static_cast<size_t>(trigger->get_num_levels()));
    for (int l = 0; l < trigger->get_num_levels(); ++l) {
        LEVEL& level = levels[static_cast<size_t>(l)];
        const KSM_DATA_TRIGGER_LEVEL_TYPE type = trigger->get_level_type(l);
        level.any = type == KSM_LTYPE_BASIC_OR;
        level.immediate = trigger->is_state_based() || (type != KSM_LTYPE_BASIC_AND && type != KSM_LTYPE_BASIC_OR);
        for (int row = 0; !level.immediate && row < trigger->get_num_nodes(); ++row) {
            const KSM_DATA_TRIGGER_CONDITION c = trigger->get_trigger_condition(row, l);
            const KSM_DATA_WIRE_CAPTURE_TYPE use = trigger->get_node_use(row);
            if (is_leaf(trigger, row) && is_bit_condition(c) && (use == KSM_CAPTURE_TRIGGER || use == KSM_CAPTURE_BOTH))
                level.terms.push_back({source_of(trigger->get_node_name(row)), c});
        }
    }
    return levels;
}

// The samples t .. t + 63 where the term holds.
uint64_t term_word(const TERM& term, long long t)
{
    const uint64_t now = sample_word(term.source, t);
    const uint64_t before = sample_word(term.source, t - 1);
    const uint64_t has_before = t > 0 ? ~uint64_t(0) : ~uint64_t(1);  // no sample before 0
    switch (term.condition) {
    case KSM_CTYPE_ACTIVE_HIGH:
    case KSM_CTYPE_HIGH: return now;
    case KSM_CTYPE_ACTIVE_LOW:
    case KSM_CTYPE_LOW: return ~now;
    case KSM_CTYPE_RISING_EDGE: return now & ~before & has_before;
    case KSM_CTYPE_FALLING_EDGE: return ~now & before & has_before;
    default: return (now ^ before) & has_before;
    }
}

// The first sample from `from` on where the level holds, or -1 within the search limit.
long long find_level(const LEVEL& level, long long from)
{
    if (level.immediate || level.terms.empty())
        return from;
    for (long long t = from & ~63ll; t < from + DAW_SIM_SEARCH_LIMIT; t += 64) {
        uint64_t met = level.any ? 0 : ~uint64_t(0);
        for (const TERM& term : level.terms)
            met = level.any ? met | term_word(term, t) : met & term_word(term, t);
        if (t < from)
            met &= ~uint64_t(0) << (from - t);
        if (met)
            return t + __builtin_ctzll(met);
    }
    return -1;
}

// The sample where every level has been met in turn, from `from` on; -1 when not met.
long long find_trigger(const std::vector<LEVEL>& levels, long long from)
{
    long long at = from - 1;
    for (const LEVEL& level : levels) {
        at = find_level(level, at + 1);
        if (at < 0)
            return -1;
    }
    return levels.empty() ? from : at;
}

int pre_count(KSM_DATA_TRIGGER_POSITION position, int size)
{
    switch (position) {
    case KSM_TPOS_PRE: return size / 8;
    case KSM_TPOS_POST: return static_cast<int>(static_cast<long long>(size) * 7 / 8);
    default: return size / 2;
    }
}

// Writes the low `count` bits of `word` into the plane from bit `at` on.
void put_bits(std::vector<uint64_t>* plane, long long at, uint64_t word, int count)
{
    if (count < 64)
        word &= (uint64_t(1) << count) - 1;
    const size_t k = static_cast<size_t>(at >> 6);
    const int shift = static_cast<int>(at & 63);
    (*plane)[k] |= word << shift;
    if (shift && shift + count > 64)
        (*plane)[k + 1] |= word >> (64 - shift);
}

}  // namespace

namespace daw_target {

bool plan(const KSM_DATA_LOG* log, PLAN* plan)
{
    const KSM_TX_TRIGGER* trigger = log ? log->get_trigger() : nullptr;
    const KSM_TX_SIGNAL_SET* set = trigger ? trigger->get_signal_set() : nullptr;
    if (!set)
        return false;
    *plan = PLAN();
    plan->depth = std::max(set->get_sample_depth(), 0);
    const int segment = trigger->get_segment_size();
    const bool segmented = trigger->is_segmented() && segment > 0 && segment < plan->depth;
    plan->segment_size = segmented ? segment : plan->depth;
    const int segments = plan->segment_size > 0 ? plan->depth / plan->segment_size : 0;
    const std::vector<LEVEL> levels = levels_of(trigger);
    const int pre = pre_count(trigger->get_trigger_position(), plan->segment_size);
    long long from = 0;
    for (int k = 0; k < segments; ++k) {
        const long long at = find_trigger(levels, from);
        if (at < 0)
            return true;
        plan->bases.push_back(at - pre);
        plan->pre_counts.push_back(pre);
        from = at - pre + plan->segment_size + pre;
    }
    plan->triggered = true;
    return true;
}

void fill(KSM_DATA_LOG* log, const PLAN& plan)
{
    const KSM_TX_SIGNAL_SET* set = log->get_trigger()->get_signal_set();
    const int channels = set->get_num_channels();
    std::vector<SOURCE> sources(static_cast<size_t>(channels));
    for (int row = 0; row < set->get_num_nodes(); ++row) {
        const int channel = set->get_channel(row);
        if (channel >= 0 && channel < channels)
            sources[static_cast<size_t>(channel)] = source_of(set->get_node_name(row));
    }
    const int size = plan.segment_size;
    log->begin_capture(channels, plan.depth, plan.depth == size ? 0 : size);
    std::vector<uint64_t> plane((static_cast<size_t>(plan.depth) + 63) / 64);
    for (int c = 0; c < channels; ++c) {
        std::fill(plane.begin(), plane.end(), 0);
        for (size_t k = 0; k < plan.bases.size(); ++k)
            for (int j = 0; j < size; j += 64)
                put_bits(&plane, static_cast<long long>(k) * size + j,
                         sample_word(sources[static_cast<size_t>(c)], plan.bases[k] + j), std::min(64, size - j));
        log->set_channel_words(c, plane.data(), plane.size());
        log->set_connection_status(c, sources[static_cast<size_t>(c)].known);
    }
    std::vector<int> positions;
    for (size_t k = 0; k < plan.bases.size(); ++k) {
        const int first = static_cast<int>(k) * size;
        for (int i = 0; i < size; ++i)
            log->set_valid(first + i, plan.bases[k] + i >= 0);
        log->set_trigger_mark(first + plan.pre_counts[k], true);
        if (k > 0)
            log->set_break_mark(first, true);
        positions.push_back(first + plan.pre_counts[k]);
    }
    log->set_trigger_positions(positions);
    log->end_capture();
}

}  // namespace daw_target

bool daw_sim::capture(KSM_DATA_LOG* log)
{
    daw_target::PLAN p;
    if (!daw_target::plan(log, &p) || !p.triggered)
        return false;
    daw_target::fill(log, p);
    return true;
}
