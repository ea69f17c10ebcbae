// Next and previous transition over captures of 16 and 1,024 channels x 2^20 samples whose only
// changes lie a million samples apart, and over 16, 2,048 and 4,096 channels that change at every
// sample; Find Bus Value over the 16-channel one; next to wide-word scans of the same planes
// (AVX2 where the processor has it): plane by plane for transitions, over the bus's members
// together for the value.
#include "bench_reporter.h"
#include "vokr_trigger_value_dlg.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <tcl.h>
#if defined(__x86_64__)
#include <immintrin.h>
#define WIDE_VECTORS 1  // AVX2 may be there; other processors take the 64-bit words' path
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int DEPTH = 1 << 20;
constexpr int WORDS = DEPTH / 64;
constexpr int NEAR_SAMPLE = 100;         // every member turns to 1 here ...
constexpr int FAR_SAMPLE = DEPTH - 100;  // ... and back to 0 here
// Sample words the value reference tests at a step where the processor has AVX2 (the fastest size
// here).
constexpr int VALUE_WIDE = 32;

struct BENCH_VIEW : VOKR_VIEW {
    using VOKR_VIEW::find_transition;
    using VOKR_VIEW::m_time_bars;
    using VOKR_VIEW::m_timebar_count;
    using VOKR_VIEW::search_bus_value;
    using VOKR_VIEW::VOKR_VIEW;
    void set_master(int sample)
    {
        m_time_bars[0] = sample;
        m_timebar_count = 1;
    }
};

// A session of one bus over `nodes` members and a capture in which the members are 1 from
// NEAR_SAMPLE to FAR_SAMPLE and 0 elsewhere, or, `alternating`, change at every sample (0 at even
// samples, 1 at odd ones).
struct CAPTURE {
    QTemporaryDir dir;
    VOKR_TX_MANAGER manager{nullptr};
    std::unique_ptr<BENCH_VIEW> view;
    KSM_DATA_LOG* log = nullptr;
    std::vector<const uint64_t*> planes;

    CAPTURE(int nodes, bool alternating)
    {
        manager.new_document(dir.filePath("bench.lmx").toLocal8Bit().constData());
        KSM_TX_SIGNAL_SET* set = manager.get_signal_nodes(-1);
        KSM_TX_TRIGGER* trigger = manager.get_trigger_nodes(-1);
        for (int i = nodes - 1; i >= 0; --i) {
            const std::string name = "bus[" + std::to_string(i) + "]";
            set->insert_node(name.c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
            trigger->insert_node(name.c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
        }
        set->set_data_nodes_allocated(nodes);
        set->set_sample_depth(DEPTH);
        manager.group_node(0, nodes - 1);
        log = manager.get_session()->create_new_log(0);
        log->begin_capture(set->get_num_channels(), DEPTH, 0);
        std::vector<uint64_t> words(WORDS, alternating ? 0xAAAAAAAAAAAAAAAAull : 0);
        for (int s = NEAR_SAMPLE; s < FAR_SAMPLE && !alternating; ++s)
            words[s / 64] |= uint64_t(1) << (s % 64);
        for (int c = 0; c < set->get_num_channels(); ++c)
            log->set_channel_words(c, words.data(), words.size());
        for (int s = 0; s < DEPTH; ++s)
            log->set_valid(s, true);
        log->end_capture();
        manager.set_view_log(0, log);
        for (int c = 0; c < set->get_num_channels(); ++c)
            planes.push_back(log->get_channel_words(c));
        view = std::make_unique<BENCH_VIEW>(nullptr, &manager);
        view->resize(1920, 1080);
    }
};

// Made once per width and kind; gone before the application object.
std::map<std::pair<int, bool>, std::unique_ptr<CAPTURE>> g_captures;

// The capture of a benchmark's width (its argument): alternating for a change at the next sample.
CAPTURE& capture(const benchmark::State& state, bool alternating = false)
{
    const int nodes = int(state.range(0));
    auto& c = g_captures[{nodes, alternating}];
    if (!c)
        c = std::make_unique<CAPTURE>(nodes, alternating);
    return *c;
}

// ---- the references: wide words over each plane in turn for transitions, over the bus for a value

// Words the transition reference passes over at a step, as eight 256-bit vectors where the
// processor has AVX2 (the fastest size here).
constexpr int WIDE = 32;
#ifdef WIDE_VECTORS
const bool HAS_AVX2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}();

// Four words from q as a vector.
__attribute__((target("avx2"))) inline __m256i load4(const uint64_t* q)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
}

// The bits of words q[0..15] that differ from `fill`, ORed into one vector.
__attribute__((target("avx2"))) inline __m256i differing16(const uint64_t* q, __m256i fill)
{
    return _mm256_or_si256(
        _mm256_or_si256(_mm256_xor_si256(load4(q), fill), _mm256_xor_si256(load4(q + 4), fill)),
        _mm256_or_si256(_mm256_xor_si256(load4(q + 8), fill), _mm256_xor_si256(load4(q + 12), fill)));
}

// How many of words lo..hi (lo > 0) of a plane, from lo up (forward) or from hi down, hold no
// change, WIDE words a step as vectors: a step without a change is WIDE words that all repeat
// bit 63 of the word before them.
__attribute__((target("avx2"))) int steady_wide(const uint64_t* q, int lo, int hi, bool forward)
{
    int n = 0;
    for (; n + WIDE <= hi - lo + 1; n += WIDE) {
        const int g = forward ? lo + n : hi - n - WIDE + 1;
        const __m256i fill = _mm256_set1_epi64x(-static_cast<long long>(q[g - 1] >> 63));
        __m256i x = differing16(q + g, fill);
        for (int i = 16; i < WIDE; i += 16)
            x = _mm256_or_si256(x, differing16(q + g + i, fill));
        if (!_mm256_testz_si256(x, x))
            break;
    }
    return n;
}

#endif

// Whether words g..g + 3 (g > 0) all repeat bit 63 of word g - 1: four 64-bit words.
bool steady_quad(const uint64_t* q, int g)
{
    const uint64_t fill = 0 - (q[g - 1] >> 63);
    return ((q[g] ^ fill) | (q[g + 1] ^ fill) | (q[g + 2] ^ fill) | (q[g + 3] ^ fill)) == 0;
}

// How many of words lo..hi (lo > 0) of a plane, from lo up (forward) or from hi down, hold no
// change: WIDE words a step with AVX2, then four 64-bit words a step.
int steady_words(const uint64_t* q, int lo, int hi, bool forward)
{
    int n = 0;
#ifdef WIDE_VECTORS
    if (HAS_AVX2)
        n = steady_wide(q, lo, hi, forward);
#endif
    while (n + 4 <= hi - lo + 1 && steady_quad(q, forward ? lo + n : hi - n - 3))
        n += 4;
    return n;
}

// The first (last) sample after (before) `from` that differs from the sample before it in any
// plane at a valid sample, or where a gap of invalid samples starts; -1 when there is none. Each
// plane in turn, its words without a change skipped a wide step at a time, up to the nearest hit
// so far; it stops once the hit is the sample next to `from`.
int wide_scan_transition(const std::vector<const uint64_t*>& planes, const uint64_t* valid, int from, bool forward)
{
    const int next = forward ? from + 1 : from - 1;
    int best = -1, lo = forward ? next >> 6 : 0, hi = forward ? WORDS - 1 : next >> 6;
    // The samples of word k that count, for a data plane or, with p null, the validity plane.
    const auto hits = [&](const uint64_t* p, int k) {
        const uint64_t* q = p ? p : valid;
        const uint64_t before = (q[k] << 1) | (k ? q[k - 1] >> 63 : p ? q[0] & 1 : 0);
        uint64_t h = p ? (q[k] ^ before) & valid[k] : ~q[k] & before;
        if (k == next >> 6)
            h &= forward ? ~uint64_t(0) << (next & 63) : ~uint64_t(0) >> (63 - (next & 63));
        return h;
    };
    const auto scan = [&](const uint64_t* p) {
        for (int a = lo, b = hi; a <= b; forward ? ++a : --b) {
            if (a > 0 || !forward) {
                const int steady = steady_words(p ? p : valid, std::max(a, 1), b, forward);
                (forward ? a : b) += forward ? steady : -steady;
                if (a > b)
                    return;
            }
            const int k = forward ? a : b;
            if (const uint64_t h = hits(p, k)) {
                const int hit = 64 * k + (forward ? __builtin_ctzll(h) : 63 - __builtin_clzll(h));
                if (best < 0 || (forward ? hit < best : hit > best))
                    best = hit;
                (forward ? hi : lo) = k;
                return;
            }
        }
    };
    for (const uint64_t* p : planes)
        if (scan(p), best == next)
            return best;
    scan(nullptr);
    return best;
}

// A member of the searched bus: its plane, and all ones where its digit is 0.
struct MEMBER {
    const uint64_t* plane;
    uint64_t flip;
};

#ifdef WIDE_VECTORS
// From word k on, VALUE_WIDE words a step as vectors, the first step with a captured sample at
// which every member reads its digit: a step is given up when the first member's words, XORed
// with its flip, are all 0; else the members' words, XORed with their flips, are ANDed a vector
// at a time, a vector given up at the first member that leaves none, then ANDed with the valid
// words. Its first word, its matches in `matches`; WORDS when there is none.
__attribute__((target("avx2"))) int value_wide(const std::vector<MEMBER>& members, const uint64_t* valid, int k,
                                               uint64_t* matches)
{
    const __m256i ones = _mm256_set1_epi64x(-1);
    // Without members, any captured sample matches: the valid words stand for the first member.
    const __m256i first_flip = _mm256_set1_epi64x(members.empty() ? 0 : static_cast<long long>(members[0].flip));
    const uint64_t* first = members.empty() ? valid : members[0].plane;
    for (; k < WORDS; k += VALUE_WIDE) {
        __m256i any = differing16(first + k, first_flip);
        for (int i = 16; i < VALUE_WIDE; i += 16)
            any = _mm256_or_si256(any, differing16(first + k + i, first_flip));
        if (_mm256_testz_si256(any, any))
            continue;
        bool found = false;
        for (int i = 0; i < VALUE_WIDE; i += 4) {
            __m256i m = ones;
            for (size_t n = 0; n < members.size() && !_mm256_testz_si256(m, m); ++n)
                m = _mm256_and_si256(m, _mm256_xor_si256(load4(members[n].plane + k + i),
                                                         _mm256_set1_epi64x(static_cast<long long>(members[n].flip))));
            m = _mm256_and_si256(m, load4(valid + k + i));
            found |= !_mm256_testz_si256(m, m);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(matches + i), m);
        }
        if (found)
            return k;
    }
    return WORDS;
}
#endif

// The same, four 64-bit words at a time.
int value_quads(const std::vector<MEMBER>& members, const uint64_t* valid, int k, uint64_t* matches)
{
    for (; k < WORDS; k += VALUE_WIDE) {
        uint64_t any = 0;
        for (int g = 0; g < VALUE_WIDE; g += 4) {
            uint64_t m[4] = {~uint64_t(0), ~uint64_t(0), ~uint64_t(0), ~uint64_t(0)};
            for (size_t n = 0; n < members.size() && (m[0] | m[1] | m[2] | m[3]); ++n)
                for (int i = 0; i < 4; ++i)
                    m[i] &= members[n].plane[k + g + i] ^ members[n].flip;
            for (int i = 0; i < 4; ++i)
                any |= matches[g + i] = m[i] & valid[k + g + i];
        }
        if (any)
            return k;
    }
    return WORDS;
}

// value_wide() where the processor has AVX2, else value_quads().
int value_step(const std::vector<MEMBER>& members, const uint64_t* valid, int k, uint64_t* matches)
{
#ifdef WIDE_VECTORS
    if (HAS_AVX2)
        return value_wide(members, valid, k, matches);
#endif
    return value_quads(members, valid, k, matches);
}

// The first captured sample at or after `from` where every member reads its digit, -1 when there
// is none: VALUE_WIDE sample words a step (the depth is a multiple of it), the first step's words
// masked below `from`.
int wide_scan_value(const std::vector<MEMBER>& members, const uint64_t* valid, int from)
{
    uint64_t matches[VALUE_WIDE];
    const int first = from >> 6 & -VALUE_WIDE;
    for (int k = first; (k = value_step(members, valid, k, matches)) < WORDS; k += VALUE_WIDE) {
        for (int i = 0; i < VALUE_WIDE; ++i) {
            const int sample = 64 * (k + i);
            const uint64_t m = matches[i] & (sample >= from       ? ~uint64_t(0)
                                             : sample + 63 < from ? 0
                                                                  : ~uint64_t(0) << (from & 63));
            if (m)
                return sample + __builtin_ctzll(m);
        }
    }
    return -1;
}

// ---- turns -------------------------------------------------------------------------------------

// Each iteration of a benchmark in turns runs our side and the reference, each timed: the
// machine's speed, which moves while other work shares its memory and cores, weighs on both sides
// of a turn alike, where benchmarks run apart would each catch a different part of it. Kept by
// benchmark over all repetitions: each side's microseconds and each turn's ratio of ours to the
// reference's.
struct TURNS {
    std::vector<double> ours, reference, ratios;
};
std::map<std::string, TURNS> g_turns;

// A side of a turn: one search, its answer.
using SIDE = std::function<int()>;

// Runs `ours` and `reference` in turns, kept under `key`, each side first in every other turn
// (what one side leaves in the caches then helps each alike); both must answer `expected`.
void in_turns(benchmark::State& state, const std::string& key, const SIDE& ours, const SIDE& reference, int expected)
{
    using CLOCK = std::chrono::steady_clock;
    TURNS& turns = g_turns[key];
    const SIDE* sides[2] = {&ours, &reference};
    int answers[2] = {-1, -1};
    double us[2];
    for (auto _ : state) {
        const int first = turns.ratios.size() % 2;
        for (int side : {first, 1 - first}) {
            const CLOCK::time_point start = CLOCK::now();
            benchmark::DoNotOptimize(answers[side] = (*sides[side])());
            us[side] = std::chrono::duration<double, std::micro>(CLOCK::now() - start).count();
        }
        turns.ours.push_back(us[0]);
        turns.reference.push_back(us[1]);
        turns.ratios.push_back(us[0] / us[1]);
    }
    if (answers[0] != expected || answers[1] != expected)
        state.SkipWithError("the sample was not found");
}

// ---- the view ----------------------------------------------------------------------------------

// Steps the master from `from` once per iteration; the step must land on `expected`.
void step(benchmark::State& state, int from, bool forward, int expected, bool alternating = false)
{
    BENCH_VIEW* view = capture(state, alternating).view.get();
    for (auto _ : state) {
        view->set_master(from);
        forward ? view->on_next_transition() : view->on_previous_transition();
    }
    if (view->get_time_bars()[0] != expected)
        state.SkipWithError("the transition was not found");
}

// The reference of step(), which must find the same sample.
void scan(benchmark::State& state, int from, bool forward, int expected, bool alternating = false)
{
    const CAPTURE& c = capture(state, alternating);
    int found = -1;
    for (auto _ : state)
        benchmark::DoNotOptimize(found = wide_scan_transition(c.planes, c.log->get_valid_words(), from, forward));
    if (found != expected)
        state.SkipWithError("the transition was not found");
}

// A step of the master from `from`, to the change a million samples away, in turns with the
// reference's scan for it.
void far_step(benchmark::State& state, int from, bool forward, int expected)
{
    CAPTURE& c = capture(state);
    BENCH_VIEW* view = c.view.get();
    const SIDE ours = [=] {
        view->set_master(from);
        forward ? view->on_next_transition() : view->on_previous_transition();
        return view->get_time_bars()[0];
    };
    const SIDE reference = [&c, from, forward] {
        return wide_scan_transition(c.planes, c.log->get_valid_words(), from, forward);
    };
    in_turns(state, std::string(forward ? "Next" : "Previous") + "/" + std::to_string(state.range(0)), ours, reference,
             expected);
}

void BM_NextTransition(benchmark::State& state) { far_step(state, NEAR_SAMPLE, true, FAR_SAMPLE); }
void BM_PreviousTransition(benchmark::State& state) { far_step(state, FAR_SAMPLE, false, NEAR_SAMPLE); }

// The search of a step alone, without storing the master and laying out the view, over alternating
// members.
void search(benchmark::State& state, int from, bool forward, int expected)
{
    BENCH_VIEW* view = capture(state, true).view.get();
    int found = -1;
    for (auto _ : state)
        benchmark::DoNotOptimize(found = view->find_transition(from, forward));
    if (found != expected)
        state.SkipWithError("the transition was not found");
}

// Over alternating members the change is the next (previous) sample.
void BM_NextTransitionNear(benchmark::State& state) { step(state, NEAR_SAMPLE, true, NEAR_SAMPLE + 1, true); }
void BM_PreviousTransitionNear(benchmark::State& state) { step(state, NEAR_SAMPLE, false, NEAR_SAMPLE - 1, true); }
void BM_NextTransitionNearSearch(benchmark::State& state) { search(state, NEAR_SAMPLE, true, NEAR_SAMPLE + 1); }
void BM_PreviousTransitionNearSearch(benchmark::State& state) { search(state, NEAR_SAMPLE, false, NEAR_SAMPLE - 1); }
void BM_NextTransitionNearWideScan(benchmark::State& state) { scan(state, NEAR_SAMPLE, true, NEAR_SAMPLE + 1, true); }
void BM_PreviousTransitionNearWideScan(benchmark::State& state)
{
    scan(state, NEAR_SAMPLE, false, NEAR_SAMPLE - 1, true);
}

// The value searched for: 0 over the bus's members, from the sample after NEAR_SAMPLE.
const QString VALUE(16, '0');

// Through the value dialog, as the user searches: each press of Find Next searches for 0 from
// the sample after NEAR_SAMPLE.
void BM_FindBusValue(benchmark::State& state)
{
    BENCH_VIEW* view = capture(state).view.get();
    view->get_tx_manager()->set_node_selection_status(0, true);
    view->set_master(NEAR_SAMPLE);
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<VOKR_TRIGGER_VALUE_DLG*>(QApplication::activeModalWidget());
        dialog->get_value_edit()->setText("0");
        for (auto _ : state) {
            view->set_master(NEAR_SAMPLE);
            dialog->get_ok_button()->click();
        }
        dialog->reject();
    });
    view->on_find_bus_value();
    if (view->get_time_bars()[0] != FAR_SAMPLE)
        state.SkipWithError("the value was not found");
}

// The search of Find Next alone, as find_bus_value() runs it with the bits the dialog passes,
// without moving the master (the dialog is opened once to choose the bus, and closed), in turns
// with the reference's scan for the same value.
void BM_FindBusValueSearch(benchmark::State& state)
{
    CAPTURE& c = capture(state);
    BENCH_VIEW* view = c.view.get();
    view->get_tx_manager()->set_node_selection_status(0, true);
    view->set_master(NEAR_SAMPLE);
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    view->on_find_bus_value();
    std::vector<MEMBER> members;
    for (const uint64_t* plane : c.planes)
        members.push_back({plane, ~uint64_t(0)});
    const SIDE ours = [view] { return view->search_bus_value(VALUE, true); };
    const SIDE reference = [&c, members] {
        return wide_scan_value(members, c.log->get_valid_words(), NEAR_SAMPLE + 1);
    };
    in_turns(state, "FindBusValueSearch", ours, reference, FAR_SAMPLE);
}

BENCHMARK(BM_NextTransition)->Arg(16)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PreviousTransition)->Arg(16)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NextTransitionNear)->Arg(16)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NextTransitionNearSearch)->Arg(16)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NextTransitionNearWideScan)->Arg(16)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PreviousTransitionNear)->Arg(16)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PreviousTransitionNearSearch)->Arg(16)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PreviousTransitionNearWideScan)->Arg(16)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindBusValue)->Arg(16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindBusValueSearch)->Arg(16)->Unit(benchmark::kMicrosecond);

// The aim of a benchmark in turns, the median of the turns' ratios, then each side's median time.
void print_turns(const std::string& key, const std::string& what, double limit)
{
    const TURNS& turns = g_turns[key];
    print_aim(what, median(turns.ratios), "<=", limit);
    std::printf("  ours %.2f us, the reference %.2f us (medians of %zu turns)\n", median(turns.ours),
                median(turns.reference), turns.ratios.size());
}

void print_ratios(const BENCH_REPORTER::TIMES& times)
{
    auto t = [&](const std::string& name) {
        auto it = times.find(name);
        return it == times.end() ? 0.0 : it->second;
    };
    std::printf("\n");
    for (const char* what : {"Next", "Previous"})
        for (const char* channels : {"16", "1024"})
            print_turns(std::string(what) + "/" + channels,
                        std::string(what) + " Transition, " + channels + " channels x 1M / wide plane scan", 1.5);
    // A step to the next sample is its search, then the storing of the master and the view's
    // layout; the aim is the search's.
    for (const char* what : {"Next", "Previous"})
        for (const char* channels : {"16", "2048", "4096"}) {
            const std::string near = std::string("BM_") + what + "TransitionNear";
            const std::string reference = near + "WideScan/" + channels;
            print_aim(std::string(what) + " Transition's search, change one sample away, " + channels +
                          " channels / wide plane scan",
                      t(near + "Search/" + channels) / t(reference), "<=", 3.0);
            std::printf("  the whole step: %.2f us, of which the search %.3f us\n", t(near + "/" + channels),
                        t(near + "Search/" + channels));
        }
    print_turns("FindBusValueSearch", "Find Bus Value's search, 16 channels x 1M / wide scan", 1.2);
    const double scan = median(g_turns["FindBusValueSearch"].reference);
    std::printf("  the whole command, Find Next clicked in the dialog: %.2f us (%.2fx the wide scan)\n",
                t("BM_FindBusValue/16"), t("BM_FindBusValue/16") / scan);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir registry;
    qputenv("KORVANE_SETTINGS_DIR", registry.path().toLocal8Bit());
    Tcl_FindExecutable(argv[0]);
    QApplication app(argc, argv);
    // Each figure is a ratio of medians: unless told otherwise, every benchmark runs three
    // times, ours and the references' runs interleaved, so that a moment of other work on the
    // machine weighs on one run of one side, not on the figure.
    std::vector<char*> args(argv, argv + argc);
    const bool repetitions_given = std::any_of(
        args.begin(), args.end(), [](const char* a) { return std::strncmp(a, "--benchmark_repetitions", 23) == 0; });
    char repeat[] = "--benchmark_repetitions=3", interleave[] = "--benchmark_enable_random_interleaving=true";
    if (!repetitions_given)
        args.insert(args.begin() + 1, {repeat, interleave});
    int count = static_cast<int>(args.size());
    BENCH_REPORTER reporter(BENCH_REPORTER::REAL_TIME, print_ratios);
    const int result = bench_main(count, args.data(), reporter);
    g_captures.clear();
    return result;
}
