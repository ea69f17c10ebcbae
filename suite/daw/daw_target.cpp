// The simulated target: node behaviours evaluated 64 samples at a time, the placing of each
// segment's samples around its trigger, and the capture written into a log as whole words per
// channel.
#include "daw_target.h"
#include "daw.h"
#include "daw_eval.h"
#include "ksm_plane_pages.h"
#include "ksm_state.h"
#include "ksm_worker_pool.h"
#include "prj.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <numeric>
#include <string_view>

namespace {

using daw_target::SOURCE;

constexpr uint64_t GOLDEN = 0x9E3779B97F4A7C15ull;
constexpr uint64_t BIT_SPREAD = 0xD1B54A32D192ED03ull;

uint64_t splitmix64(uint64_t x)
{
    uint64_t z = x + GOLDEN;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

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

// Splits "a|b[3][7]" into the path and its indices, without allocating: the path is a view of
// the name, and `indices` keeps its room from one name to the next. Only a whole number in
// brackets is an index: a range such as "[3..0]" stays part of the path, which no design node
// bears, rather than reading as one of its bounds.
std::string_view split_name(std::string_view name, std::vector<long long>* indices)
{
    indices->clear();
    while (!name.empty() && name.back() == ']') {
        const size_t open = name.rfind('[');
        if (open == std::string_view::npos)
            break;
        const char* digits = name.data() + open + 1;
        char* end = nullptr;
        const long long index = std::strtoll(digits, &end, 10);
        if (end == digits || end != name.data() + name.size() - 1)
            break;
        indices->push_back(index);
        name.remove_suffix(name.size() - open);
    }
    std::reverse(indices->begin(), indices->end());
    return name;
}

const PRJ_NODE* find_node(const PRJ_PROJECT* project, const std::string& path)
{
    const PRJ_NODE* node = project->find_node(path);
    const std::string top = project->get_top() + "|";
    if (!node && path.compare(0, top.size(), top) == 0)
        node = project->find_node(path.substr(top.size()));
    return node;
}

// A node's behaviour words: the kind, then the value or the states.
struct BEHAVIOUR {
    std::string kind;
    unsigned long long value = 0;
    std::vector<std::string> words;  // the words after the kind
};

// Split at white space without a stream, as the trigger logic reads a node's behaviour for every
// node it evaluates.
BEHAVIOUR parse_behaviour(const std::string& text)
{
    BEHAVIOUR b;
    const char* at = text.c_str();
    for (;;) {
        while (std::isspace(static_cast<unsigned char>(*at)))
            ++at;
        const char* end = at;
        while (*end && !std::isspace(static_cast<unsigned char>(*end)))
            ++end;
        if (end == at)
            break;
        (b.kind.empty() ? b.kind : b.words.emplace_back()).assign(at, end);
        at = end;
    }
    b.value = b.words.empty() ? 0 : std::strtoull(b.words[0].c_str(), nullptr, 0);
    return b;
}

void set_behaviour(SOURCE* s, const BEHAVIOUR& b, long long bit)
{
    const std::string& kind = b.kind;
    const unsigned long long value = b.value;
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
        for (const std::string& state : b.words) {
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

// The sources of row names read one after another: the bits of a bus follow each other, so the
// last node found and its parsed behaviour are kept for the next row of the same node.
class SOURCE_READER {
public:
    SOURCE read(const char* row_name)
    {
        SOURCE s;
        if (!m_project || !row_name)
            return s;
        const std::string_view path = split_name(row_name, &m_indices);
        if (!m_node || path != m_path) {
            m_path.assign(path);
            m_node = find_node(m_project, m_path);
            m_behaviour = m_node ? parse_behaviour(m_node->behaviour) : BEHAVIOUR();
        }
        const long long bit = m_node ? member_offset(*m_node, m_indices) : -1;
        if (bit < 0)
            return s;
        s.known = true;
        set_behaviour(&s, m_behaviour, bit);
        return s;
    }

private:
    const PRJ_PROJECT* m_project = PRJ_PROJECT::get_open();
    std::string m_path;
    std::vector<long long> m_indices;  // of the last row name
    const PRJ_NODE* m_node = nullptr;
    BEHAVIOUR m_behaviour;
};

// Ones from bit `from` up to (not including) bit `to` of a word.
uint64_t bits_between(long long from, long long to)
{
    const uint64_t upto = to >= 64 ? ~uint64_t(0) : (uint64_t(1) << to) - 1;
    return upto & (~uint64_t(0) << from);
}

// Bit `bit` of the count t / period for the 64 samples from t >= 0 on, a run of equal bits at
// a time: the bit changes only where the count reaches the next multiple of 2^bit.
uint64_t counter_word(const SOURCE& s, long long t)
{
    if (s.period < 0)  // a period beyond the range of counts: the count never moves
        return ((t / s.period) >> s.bit) & 1 ? ~uint64_t(0) : 0;
    uint64_t word = 0;
    const long long last_count = (t + 63) / s.period;  // the count at the word's last sample
    long long q = t / s.period, j = 0;
    while (j < 64) {
        const long long block = q >> s.bit;
        const long long next = (block + 1) << s.bit;  // the first count of the next block
        // The first sample of count `next`, when it falls inside the word.
        const long long end = next <= last_count ? next * s.period - t : 64;
        if (block & 1)
            word |= bits_between(j, end);
        j = end;
        q = next;
    }
    return word;
}

}  // namespace

namespace daw_target {

SOURCE source_of(const char* row_name) { return SOURCE_READER().read(row_name); }

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
    case SOURCE::COUNTER: return counter_word(s, t);
    case SOURCE::PULSE: {
        // Ones at the samples that start a period: the first at or after t, then every period.
        if (s.period < 0)  // a period beyond the range of samples
            return t % s.period == 0 ? 1 : 0;
        const long long first = (s.period - t % s.period) % s.period;
        for (long long j = first; j < 64; j += s.period)
            word |= uint64_t(1) << j;
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

}  // namespace daw_target

namespace {

int pre_count(KSM_DATA_TRIGGER_POSITION position, int size)
{
    switch (position) {
    case KSM_TPOS_PRE: return size / 8;
    case KSM_TPOS_POST: return static_cast<int>(static_cast<long long>(size) * 7 / 8);
    default: return size / 2;
    }
}

// Counter words for consecutive words from t >= 0 on: the count and its phase advance by 64
// samples a word, and inside a word the bit holds until the count reaches the next multiple of
// 2^bit, without a division.
void counter_stretch(const SOURCE& s, long long t, uint64_t* out, size_t count)
{
    const long long p = s.period, step_q = 64 / p, step_r = 64 % p;
    const long long far = 64 / p + 2;  // counts this far ahead lie beyond the word
    long long word_q = t / p, word_r = t % p;
    for (size_t i = 0; i < count; ++i) {
        // The words wholly inside the current block of 2^bit counts read all ones or all zeros.
        const long long block = word_q >> s.bit, left = static_cast<long long>(count - i);
        const long long counts = ((block + 1) << s.bit) - word_q;  // to the block's end
        const long long whole = counts > left * 64 / p + 2 ? left : std::min(left, (counts * p - word_r) / 64);
        if (whole > 0) {
            std::fill(out + i, out + i + whole, block & 1 ? ~uint64_t(0) : 0);
            const long long samples = word_r + whole * 64;
            word_q += samples / p, word_r = samples % p;
            i += static_cast<size_t>(whole) - 1;
            continue;
        }
        uint64_t word = 0;
        long long q = word_q, r = word_r, j = 0;
        while (j < 64) {
            const long long block = q >> s.bit, next = (block + 1) << s.bit;
            const long long until = next - q > far ? 64 : (next - q) * p - r;  // samples to the next block
            const long long end = std::min<long long>(64, j + until);
            if (block & 1)
                word |= bits_between(j, end);
            j = end, q = next, r = 0;
        }
        out[i] = word;
        word_q += step_q, word_r += step_r;
        if (word_r >= p)
            word_r -= p, ++word_q;
    }
}

// The words after which a counter bit's words repeat: the bit repeats every period * 2^(bit + 1)
// samples, and its words every multiple of that which is a multiple of 64; 0 for a cycle longer
// than any capture.
size_t cycle_words(const SOURCE& s)
{
    if (s.bit > 30 || s.period > (1ll << 30))
        return 0;
    const long long samples = s.period << (s.bit + 1);
    return static_cast<size_t>(samples / std::gcd(samples, 64ll));
}

// Counter words from t >= 0 on: the words of one cycle are made and copied over the rest, so that
// the low bits, which change within words, cost little more than the high ones.
void counter_words(const SOURCE& s, long long t, uint64_t* out, size_t count)
{
    const size_t cycle = cycle_words(s);
    counter_stretch(s, t, out, cycle > 0 && cycle < count ? cycle : count);
    for (size_t done = cycle; cycle > 0 && done < count; done += std::min(done, count - done))
        std::copy(out, out + std::min(done, count - done), out + done);
}

// A function also made for processors with wider vectors, picked when the program loads: the
// compiler's vectorizer then makes loops of eight words at a time eight words wide. Not in the
// sanitizers' builds, whose instrumented pickers would run before the sanitizer is set up.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__) && \
    !defined(__SANITIZE_ADDRESS__)
#define WIDE_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define WIDE_CLONES
#endif

// out[i] = splitmix64(first + i): the random words of a stretch of the stream.
WIDE_CLONES void mix_words(uint64_t first, uint64_t* out, size_t count)
{
    size_t i = 0;
    for (; i + 8 <= count; i += 8)
        for (size_t j = 0; j < 8; ++j)
            out[i + j] = splitmix64(first + i + j);
    for (; i < count; ++i)
        out[i] = splitmix64(first + i);
}

// Moves a stream's words down by `shift` samples (0 < shift < 64) in place: word i takes the high
// samples of word i and the low ones of the word after it, `next` after the last.
WIDE_CLONES void shift_words(uint64_t* words, size_t count, int shift, uint64_t next)
{
    size_t i = 0;
    for (; i + 8 < count; i += 8)
        for (size_t j = 0; j < 8; ++j)
            words[i + j] = words[i + j] >> shift | words[i + j + 1] << (64 - shift);
    for (; i < count; ++i)
        words[i] = words[i] >> shift | (i + 1 < count ? words[i + 1] : next) << (64 - shift);
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define FUNNEL_SHIFT 1
// Random words from a stream position inside a word on processors with a funnel shift (AVX-512
// VBMI2): eight mixes at once, each word joining the high samples of one stream word and the low
// ones of the next in one step, so that words off the stream's grid cost little more than words on
// it (the shifts apart would cost half as much again as the mixes).
#define FUNNEL_TARGET __attribute__((target("avx512f,avx512dq,avx512vbmi2")))
typedef long long LANES __attribute__((vector_size(64)));
typedef unsigned long long WORD_LANES __attribute__((vector_size(64)));

FUNNEL_TARGET inline WORD_LANES mix_lanes(WORD_LANES z)
{
    z += GOLDEN;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Eight output words from the mixes of their stream words and of the eight after them.
FUNNEL_TARGET inline void join_lanes(WORD_LANES low, WORD_LANES high, LANES shifts, uint64_t* out)
{
    // The words after low's: its lanes 1 to 7 and high's lane 0 (valignq, which keeps both).
    const LANES after = __builtin_ia32_alignq512_mask(LANES(high), LANES(low), 1, LANES{}, 0xff);
    const LANES words = __builtin_ia32_vpshrdv_v8di(LANES(low), after, shifts);
    std::memcpy(out, &words, sizeof words);
}

// out[i] = splitmix64(first + i) >> shift | splitmix64(first + i + 1) << (64 - shift) for the
// blocks of sixteen words of `count`, 0 < shift < 64; returns the words made. Two blocks of eight
// a turn, so that each block's mixes stay in their register and need no copy for the next join.
FUNNEL_TARGET size_t mix_shifted_lanes(uint64_t first, int shift, uint64_t* out, size_t count)
{
    const LANES shifts = LANES{} + shift;
    WORD_LANES at = first + WORD_LANES{0, 1, 2, 3, 4, 5, 6, 7};
    WORD_LANES low = mix_lanes(at);
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const WORD_LANES middle = mix_lanes(at + 8);
        join_lanes(low, middle, shifts, out + i);
        low = mix_lanes(at + 16);
        at += 16;
        join_lanes(middle, low, shifts, out + i + 8);
    }
    return i;
}

bool has_funnel_shift()
{
    static const bool has = __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("avx512dq");
    return has;
}
#endif

// Random words take one mix per word of the stream: the stream's own words are made and, where t
// falls inside a word, moved down onto it.
void random_words(const SOURCE& s, long long t, uint64_t* out, size_t count)
{
    const uint64_t first = s.seed + (static_cast<uint64_t>(t) >> 6);
    const int shift = static_cast<int>(t & 63);
#ifdef FUNNEL_SHIFT
    if (shift && has_funnel_shift()) {
        for (size_t i = mix_shifted_lanes(first, shift, out, count); i < count; ++i)
            out[i] = splitmix64(first + i) >> shift | splitmix64(first + i + 1) << (64 - shift);
        return;
    }
#endif
    mix_words(first, out, count);
    if (shift)
        shift_words(out, count, shift, splitmix64(first + count));
}

}  // namespace

void daw_target::sample_words(const SOURCE& s, long long t, uint64_t* out, size_t count)
{
    if (s.kind == SOURCE::COUNTER && s.period > 0) {
        counter_words(s, t, out, count);
        return;
    }
    if (s.kind == SOURCE::RANDOM) {
        random_words(s, t, out, count);
        return;
    }
    for (size_t i = 0; i < count; ++i)
        out[i] = daw_target::sample_word(s, t + static_cast<long long>(i) * 64);
}

namespace {

// A stretch of log samples that holds consecutive stream samples.
struct RUN {
    int slot;
    long long position;
    int length;
};

// A run ends where the stream skips a sample, at an invalid slot or at a segment's end.
std::vector<RUN> runs_of(const std::vector<long long>& positions, int segment_size)
{
    std::vector<RUN> runs;
    const long long* at = positions.data();
    const int size = static_cast<int>(positions.size());
    for (int i = 0; i < size;) {
        if (at[i] < 0) {
            ++i;
            continue;
        }
        const int end = std::min(size, (i / segment_size + 1) * segment_size);
        int j = i + 1;
        while (j < end && at[j] == at[j - 1] + 1)
            ++j;
        runs.push_back({i, at[i], j - i});
        i = j;
    }
    return runs;
}

// The stream's words from t >= -63 on: samples before 0 carry nothing.
void stream_words(const SOURCE& source, long long t, uint64_t* out, size_t count)
{
    if (t < 0 && count > 0) {
        *out++ = daw_target::sample_word(source, t);
        t += 64, --count;
    }
    if (count > 0)
        daw_target::sample_words(source, t, out, count);
}

// Writes a run's samples into the plane a word of the plane at a time, made in place; the words
// the run shares with others at its ends keep the others' samples.
void put_run(const SOURCE& source, const RUN& run, uint64_t* plane)
{
    const int shift = run.slot & 63, end = (run.slot + run.length) & 63;
    const size_t first = static_cast<size_t>(run.slot) >> 6, last = static_cast<size_t>(run.slot + run.length - 1) >> 6;
    const uint64_t head = ~uint64_t(0) << shift, tail = end ? (uint64_t(1) << end) - 1 : ~uint64_t(0);
    const uint64_t first_before = plane[first], last_before = plane[last];
    stream_words(source, run.position - shift, plane + first, last - first + 1);
    plane[last] = (plane[last] & tail) | (last_before & ~tail);
    plane[first] = (plane[first] & head) | (first_before & ~head);
}

// The channels still to be written, handed out a few at a time: a thread that starts late or
// that the system holds up takes fewer, so no thread waits long for another at the end.
struct CHANNEL_QUEUE {
    std::atomic<int> next{0};
    int chunk = 1;
};

// Writes the samples of the channels it takes from the queue into the log's planes in place, each
// word once: the words between runs are cleared, the words of the runs made.
void fill_channels(KSM_DATA_LOG* log, const daw_target::PLAN& plan, const std::vector<RUN>& runs, CHANNEL_QUEUE* queue,
                   KSM_PLANE_PAGES* pages)
{
    const size_t words = (static_cast<size_t>(plan.depth) + 63) / 64;
    for (int first; (first = queue->next.fetch_add(queue->chunk, std::memory_order_relaxed)) < plan.channels;)
        for (int c = first; c < std::min(first + queue->chunk, plan.channels); ++c) {
            pages->before_writing(static_cast<size_t>(c) * words * sizeof(uint64_t));
            uint64_t* plane = log->capture_channel_words(c);
            const SOURCE& source = plan.sources[static_cast<size_t>(c)];
            size_t written = 0;  // the words before it hold their samples
            for (const RUN& run : runs) {
                // The run's end words start cleared, but for a first word the run before shares.
                const size_t from = static_cast<size_t>(run.slot) >> 6;
                const size_t to = static_cast<size_t>(run.slot + run.length - 1) >> 6;
                if (from >= written)
                    std::fill(plane + written, plane + from + 1, 0);
                if (to > from)
                    plane[to] = 0;
                put_run(source, run, plane);
                written = to + 1;
            }
            std::fill(plane + written, plane + words, 0);
            log->set_connection_status(c, source.known);
        }
}

// Writes the validity of the stored samples, the trigger and segment marks and the trigger
// positions: the runs' samples are the valid ones.
void mark_samples(KSM_DATA_LOG* log, const daw_target::PLAN& plan, const std::vector<RUN>& runs)
{
    std::vector<uint64_t> valid((static_cast<size_t>(plan.depth) + 63) / 64, 0);
    for (const RUN& run : runs)
        for (int i = run.slot, end = run.slot + run.length; i < end; i = (i | 63) + 1)
            valid[static_cast<size_t>(i) >> 6] |= bits_between(i & 63, std::min(end - (i & ~63), 64));
    log->set_valid_words(valid.data(), valid.size());
    for (size_t i = 0; i < plan.gaps.size(); ++i)
        if (plan.gaps[i])
            log->set_break_mark(static_cast<int>(i), true);
    std::vector<int> positions;
    for (size_t k = 0; k < plan.pre_counts.size(); ++k) {
        const int first = static_cast<int>(k) * plan.segment_size;
        log->set_trigger_mark(first + plan.pre_counts[k], true);
        if (k > 0)
            log->set_break_mark(first, true);
        positions.push_back(first + plan.pre_counts[k]);
    }
    log->set_trigger_positions(positions);
}

// The threads that write a capture, the calling one among them, the others the process's pool's
// (KSM_WORKER_POOL), kept from one capture to the next. They may start before the
// capture's plan is ready: until it is, the helpers make the huge pages of the channels' planes
// present, each page by one of them, so that the system's clearing of fresh pages, most of a
// capture's cost, runs while the trigger is searched for. Then each takes channels to write.
class CAPTURE_WRITERS {
public:
    // For a log whose capture of the plan's shape (channels, depth) is begun.
    CAPTURE_WRITERS(KSM_DATA_LOG* log, const daw_target::PLAN& shape)
        : m_log(log), m_bytes(plane_bytes(shape)), m_huge(ksm_plane_huge_page(m_bytes)),
          m_pages(log->capture_channel_words(0), m_bytes),
          m_threads(daw_target::fill_threads(shape.channels, shape.depth)),
          m_helpers(KSM_WORKER_POOL::shared().start(static_cast<size_t>(m_threads - 1), [this] { help(); }))
    {
    }
    ~CAPTURE_WRITERS() { stop(); }
    // Without write(): the helpers stop, and write nothing; the capture's memory is theirs no more.
    void stop() { hand(nullptr); }

    // Writes the plan's samples and marks into the log (of the shape it was begun with).
    void write(const daw_target::PLAN& plan)
    {
        const std::vector<RUN> runs = runs_of(plan.positions, std::max(plan.segment_size, 1));
        m_runs = &runs;
        m_queue.chunk = std::max(1, plan.channels / (m_threads * 64));
        hand(&plan);
        mark_samples(m_log, plan, runs);  // while the helpers write their first channels
        m_log->set_state_results(plan.state, plan.counters, plan.flags);
        fill_channels(m_log, plan, runs, &m_queue, &m_pages);
        stop();
    }

private:
    static size_t plane_bytes(const daw_target::PLAN& shape)
    {
        return static_cast<size_t>(shape.channels) * ((static_cast<size_t>(shape.depth) + 63) / 64) * sizeof(uint64_t);
    }

    // Hands the helpers the plan, or none to stop them, and for none waits until they end: a
    // helper the pool had not begun by then never begins, the channels being shared out anyway.
    void hand(const daw_target::PLAN* plan)
    {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            if (!m_started)
                m_plan = plan;
            m_started = true;  // under the lock, that a helper about to wait sees it
        }
        m_ready.notify_all();
        if (!plan)
            KSM_WORKER_POOL::shared().wait(m_helpers);
    }

    void help()
    {
        for (size_t offset = 0; m_huge && offset < m_bytes && !m_started; offset += m_huge)
            m_pages.before_writing(offset);
        std::unique_lock<std::mutex> hold(m_lock);
        m_ready.wait(hold, [this] { return m_started.load(); });
        const daw_target::PLAN* plan = m_plan;
        hold.unlock();
        if (plan)
            fill_channels(m_log, *plan, *m_runs, &m_queue, &m_pages);
    }

    KSM_DATA_LOG* m_log;
    size_t m_bytes, m_huge;  // of the channels' planes, and of a huge page there (0: none)
    KSM_PLANE_PAGES m_pages;
    std::mutex m_lock;
    std::condition_variable m_ready;
    std::atomic<bool> m_started{false};  // the plan handed, or none
    const daw_target::PLAN* m_plan = nullptr;
    const std::vector<RUN>* m_runs = nullptr;
    CHANNEL_QUEUE m_queue;
    int m_threads;                                    // the writers, the calling thread among them
    std::shared_ptr<KSM_WORKER_POOL::JOB> m_helpers;  // the others, on the pool's threads
};

// Fills one segment around its trigger sample: the stored samples before it (not before
// `floor`) and after it; returns the last stream sample the segment holds.
long long place_segment(daw_eval::PROGRAM* program, long long found, long long floor, int pre, int size,
                        long long* slots)
{
    slots[pre] = found;
    if (pre > 0)
        program->stored_before(found, floor, pre, slots + pre - 1);
    const int after = program->stored_after(found + 1, found + DAW_SIM_SEARCH_LIMIT, size - pre - 1, slots + pre + 1);
    return slots[pre + after];
}

// Why the target cannot give the instance's nodes their signals, or an empty text: it makes
// them from the open project's design, so it needs a project that knows one of them at least.
std::string missing_design(const KSM_TX_TRIGGER* trigger, const KSM_TX_SIGNAL_SET* set)
{
    const PRJ_PROJECT* project = PRJ_PROJECT::get_open();
    if (!project)
        return "no project is open, so the simulated target has no design to give the instance's nodes their signals";
    int nodes = 0;
    for (const KSM_TX_SIGNAL_NODES* list :
         {static_cast<const KSM_TX_SIGNAL_NODES*>(trigger), static_cast<const KSM_TX_SIGNAL_NODES*>(set)})
        for (int row = 0; row < list->get_num_nodes(); ++row, ++nodes)
            if (daw_target::source_of(list->get_node_name(row)).known)
                return std::string();
    return nodes ? "the open project " + project->get_name() + " has none of the instance's nodes" : std::string();
}

// Whether the signal set's clock samples: a clock named must be a node of the design that changes
// within the trigger search's reach; none named counts every sample.
bool clock_runs(const KSM_TX_SIGNAL_SET* set)
{
    const char* name = set->get_clock_name();
    if (!name || !*name)
        return true;
    const SOURCE clock = SOURCE_READER().read(name);
    if (!clock.known)
        return false;
    const uint64_t first = daw_target::sample_word(clock, 0) & 1 ? ~uint64_t(0) : 0;
    uint64_t words[64];
    for (long long t = 0; t < DAW_SIM_SEARCH_LIMIT; t += 64 * 64) {
        daw_target::sample_words(clock, t, words, 64);
        for (const uint64_t word : words)
            if (word != first)
                return true;
    }
    return false;
}

// Where the state machine stands when it stops: after the last trigger, or after the capture's
// last sample where it also qualifies storage.
void record_flow_end(daw_eval::PROGRAM* program, long long trigger, long long last, daw_target::PLAN* plan)
{
    daw_eval::FLOW_RESULTS end;
    if (!program->flow_end(program->flow_qualifies_storage() ? last : trigger, &end))
        return;
    plan->state = end.state;
    plan->counters.assign(end.counters.begin(), end.counters.end());
    plan->flags.assign(end.flags.begin(), end.flags.end());
}

}  // namespace

namespace daw_target {

bool shape(const KSM_DATA_LOG* log, PLAN* plan)
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
    plan->channels = set->get_num_channels();
    plan->channel_nodes.assign(static_cast<size_t>(plan->channels), std::string());
    for (int row = 0; row < set->get_num_nodes(); ++row) {
        const int channel = set->get_wired_channel(row);
        if (channel >= 0 && channel < plan->channels)
            plan->channel_nodes[static_cast<size_t>(channel)] = set->get_node_name(row);
    }
    return true;
}

bool plan(const KSM_DATA_LOG* log, PLAN* plan, std::string* error)
{
    KSM_TX_TRIGGER* trigger = log ? log->get_trigger() : nullptr;
    const KSM_TX_SIGNAL_SET* set = trigger ? trigger->get_signal_set() : nullptr;
    if (!set)
        return false;
    std::string message = missing_design(trigger, set);
    std::unique_ptr<daw_eval::PROGRAM> program = message.empty() ? daw_eval::PROGRAM::make(trigger, &message) : nullptr;
    if (!program) {
        if (error)
            *error = message;
        return false;
    }
    shape(log, plan);
    plan->clocked = clock_runs(set);
    if (!plan->clocked)
        return true;
    const bool segmented = plan->segment_size < plan->depth;
    const int size = plan->segment_size;
    const int segments = size > 0 ? plan->depth / size : 0;
    const int pre = pre_count(trigger->get_trigger_position(), size);
    plan->positions.assign(static_cast<size_t>(plan->depth), -1);
    long long floor = 0, from = 0, found = -1;
    std::vector<long long> ahead;  // the stored samples before the next segment's trigger
    for (int k = 0; k < segments; ++k) {
        bool final = false;
        found = program->find_trigger(from, from + DAW_SIM_SEARCH_LIMIT, segmented, &final);
        if (found < 0)
            return true;
        plan->pre_counts.push_back(pre);
        if (final || k + 1 == segments)
            program->stop_triggering();  // the samples after the last trigger need storage alone
        floor =
            place_segment(program.get(), found, floor, pre, size, &plan->positions[static_cast<size_t>(k) * size]) + 1;
        if (final || k + 1 == segments)
            break;
        // The next segment looks for its trigger once its samples before the trigger are stored;
        // while they are not, within the search's reach, the acquisition waits.
        from = floor;
        if (pre > 0) {
            ahead.resize(static_cast<size_t>(pre));
            if (program->stored_after(floor, floor + DAW_SIM_SEARCH_LIMIT, pre, ahead.data()) < pre)
                return true;
            from = ahead.back() + 1;
        }
    }
    plan->triggered = true;
    record_flow_end(program.get(), found, floor - 1, plan);
    plan->sources.assign(static_cast<size_t>(plan->channels), SOURCE());
    SOURCE_READER reader;
    for (int row = 0; row < set->get_num_nodes(); ++row) {
        const int channel = set->get_wired_channel(row);
        if (channel >= 0 && channel < plan->channels)
            plan->sources[static_cast<size_t>(channel)] = reader.read(set->get_node_name(row));
    }
    if (trigger->is_record_data_discontinuities()) {
        plan->gaps.assign(plan->positions.size(), false);
        for (size_t i = 1; i < plan->positions.size(); ++i)
            plan->gaps[i] = plan->positions[i - 1] >= 0 && plan->positions[i] > plan->positions[i - 1] + 1;
    }
    return true;
}

// Channels are independent: a deep capture is made by several threads, each taking channels as it
// finishes the ones it took.
int fill_threads(int channels, int depth)
{
    const long long work = static_cast<long long>(channels) * depth;
    return static_cast<int>(std::clamp<long long>(work >> 22, 1, static_cast<long long>(ksm_usable_cpus())));
}

void begin(KSM_DATA_LOG* log, const PLAN& shape)
{
    log->begin_capture(shape.channels, shape.depth, shape.depth == shape.segment_size ? 0 : shape.segment_size, true);
    log->set_channel_nodes(shape.channel_nodes);
}

void fill(KSM_DATA_LOG* log, const PLAN& plan)
{
    begin(log, plan);
    CAPTURE_WRITERS(log, plan).write(plan);
    log->end_capture();
}

}  // namespace daw_target

bool daw_sim::node_bit(const std::string& path, int bit, long long t)
{
    SOURCE s;
    const PRJ_PROJECT* project = PRJ_PROJECT::get_open();
    const PRJ_NODE* node = project ? find_node(project, path) : nullptr;
    if (node && bit >= 0)
        set_behaviour(&s, parse_behaviour(node->behaviour), bit);
    return (daw_target::sample_word(s, t) & 1) != 0;
}

// The capture is begun and its writers started before the trigger is searched for: they make the
// capture's pages present meanwhile. A capture that does not trigger leaves the log as it was.
bool daw_sim::capture(KSM_DATA_LOG* log)
{
    daw_target::PLAN p;
    if (!daw_target::shape(log, &p))
        return false;
    const bool acquiring = log->is_acquiring_data();
    daw_target::begin(log, p);
    CAPTURE_WRITERS writers(log, p);
    if (!daw_target::plan(log, &p) || !p.triggered) {
        writers.stop();
        log->drop_capture();
        log->set_acquiring_data(acquiring);
        return false;
    }
    writers.write(p);
    log->end_capture();
    return true;
}
