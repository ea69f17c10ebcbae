// Next and previous transition over captures of 16 and 1,024 channels x 2^20 samples whose only
// changes lie a million samples apart, and over 16, 2,048 and 4,096 channels that change at every
// sample; Find Bus Value over the 16-channel one; next to tight word scans of the same planes:
// plane by plane for transitions, in blocks for the value.
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

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int DEPTH = 1 << 20;
constexpr int WORDS = DEPTH / 64;
constexpr int NEAR_SAMPLE = 100;         // every member turns to 1 here ...
constexpr int FAR_SAMPLE = DEPTH - 100;  // ... and back to 0 here
// Words the value reference takes at a time: short blocks that let it stop soon (the fastest size
// here).
constexpr int VALUE_BLOCK = 64;

struct BENCH_VIEW : VOKR_VIEW {
    using VOKR_VIEW::find_transition;
    using VOKR_VIEW::m_time_bars;
    using VOKR_VIEW::m_timebar_count;
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

// ---- the references: plane by plane for transitions, blocks of words for a value ------------

// The first (last) sample after (before) `from` that differs from the sample before it in any
// plane at a valid sample, or where a gap of invalid samples starts; -1 when there is none. Each
// plane in turn, four words a step (a step without a change is four words that all repeat the bit
// before them), up to the nearest hit so far; it stops once the hit is the sample next to `from`.
int plane_scan_transition(const std::vector<const uint64_t*>& planes, const uint64_t* valid, int from, bool forward)
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
        const uint64_t* q = p ? p : valid;
        for (int n = 0; n <= hi - lo; n += 4) {
            const int g = forward ? lo + n : hi - n - 3;  // the step's lowest word
            if (n + 4 <= hi - lo + 1 && g > 0) {
                const uint64_t fill = 0 - (q[g - 1] >> 63);
                if (((q[g] ^ fill) | (q[g + 1] ^ fill) | (q[g + 2] ^ fill) | (q[g + 3] ^ fill)) == 0)
                    continue;
            }
            for (int j = n; j < std::min(n + 4, hi - lo + 1); ++j) {
                const int k = forward ? lo + j : hi - j;
                if (const uint64_t h = hits(p, k)) {
                    const int hit = 64 * k + (forward ? __builtin_ctzll(h) : 63 - __builtin_clzll(h));
                    if (best < 0 || (forward ? hit < best : hit > best))
                        best = hit;
                    (forward ? hi : lo) = k;
                    return;
                }
            }
        }
    };
    for (const uint64_t* p : planes)
        if (scan(p), best == next)
            return best;
    scan(nullptr);
    return best;
}

// The first sample at or after `from` where every plane reads 0, a block given up as soon as no
// word of it can match.
int block_scan_value(const std::vector<const uint64_t*>& planes, int from)
{
    uint64_t match[VALUE_BLOCK];
    for (int b = from >> 6; b < WORDS; b += VALUE_BLOCK) {
        const int size = std::min(VALUE_BLOCK, WORDS - b);
        std::fill(match, match + size, ~uint64_t(0));
        if (b == from >> 6)
            match[0] = ~uint64_t(0) << (from & 63);
        uint64_t any = ~uint64_t(0);
        for (size_t n = 0; n < planes.size() && any; ++n) {
            any = 0;
            for (int i = 0; i < size; ++i)
                any |= match[i] &= ~planes[n][b + i];
        }
        for (int i = 0; any && i < size; ++i)
            if (match[i])
                return 64 * (b + i) + __builtin_ctzll(match[i]);
    }
    return -1;
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
        benchmark::DoNotOptimize(found = plane_scan_transition(c.planes, c.log->get_valid_words(), from, forward));
    if (found != expected)
        state.SkipWithError("the transition was not found");
}

void BM_NextTransition(benchmark::State& state) { step(state, NEAR_SAMPLE, true, FAR_SAMPLE); }
void BM_PreviousTransition(benchmark::State& state) { step(state, FAR_SAMPLE, false, NEAR_SAMPLE); }
void BM_NextTransitionPlaneScan(benchmark::State& state) { scan(state, NEAR_SAMPLE, true, FAR_SAMPLE); }
void BM_PreviousTransitionPlaneScan(benchmark::State& state) { scan(state, FAR_SAMPLE, false, NEAR_SAMPLE); }

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
void BM_NextTransitionNearPlaneScan(benchmark::State& state) { scan(state, NEAR_SAMPLE, true, NEAR_SAMPLE + 1, true); }
void BM_PreviousTransitionNearPlaneScan(benchmark::State& state)
{
    scan(state, NEAR_SAMPLE, false, NEAR_SAMPLE - 1, true);
}

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

void BM_FindBusValueBlockScan(benchmark::State& state)
{
    const CAPTURE& c = capture(state);
    int found = -1;
    for (auto _ : state)
        benchmark::DoNotOptimize(found = block_scan_value(c.planes, NEAR_SAMPLE + 1));
    if (found != FAR_SAMPLE)
        state.SkipWithError("the value was not found");
}

BENCHMARK(BM_NextTransition)->Arg(16)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NextTransitionPlaneScan)->Arg(16)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PreviousTransition)->Arg(16)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PreviousTransitionPlaneScan)->Arg(16)->Arg(1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NextTransitionNear)->Arg(16)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NextTransitionNearSearch)->Arg(16)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NextTransitionNearPlaneScan)->Arg(16)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PreviousTransitionNear)->Arg(16)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PreviousTransitionNearSearch)->Arg(16)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PreviousTransitionNearPlaneScan)->Arg(16)->Arg(2048)->Arg(4096)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindBusValue)->Arg(16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindBusValueBlockScan)->Arg(16)->Unit(benchmark::kMicrosecond);

void print_ratios(const BENCH_REPORTER::TIMES& times)
{
    auto t = [&](const std::string& name) {
        auto it = times.find(name);
        return it == times.end() ? 0.0 : it->second;
    };
    std::printf("\n");
    for (const char* what : {"Next", "Previous"})
        for (const char* channels : {"16", "1024"}) {
            const std::string ours = std::string("BM_") + what + "Transition/" + channels;
            const std::string reference = std::string("BM_") + what + "TransitionPlaneScan/" + channels;
            print_aim(std::string(what) + " Transition, " + channels + " channels x 1M / plane scan",
                      t(ours) / t(reference), "<=", 1.5);
        }
    // A step to the next sample is its search, then the storing of the master and the view's
    // layout, which take the same time whatever the capture; the aim is the search's.
    for (const char* what : {"Next", "Previous"})
        for (const char* channels : {"16", "2048", "4096"}) {
            const std::string near = std::string("BM_") + what + "TransitionNear";
            const std::string reference = near + "PlaneScan/" + channels;
            print_aim(std::string(what) + " Transition's search, change one sample away, " + channels +
                          " channels / plane scan",
                      t(near + "Search/" + channels) / t(reference), "<=", 3.0);
            std::printf("  the whole step: %.2f us, of which the search %.3f us\n", t(near + "/" + channels),
                        t(near + "Search/" + channels));
        }
    print_aim("Find Bus Value, 16 channels x 1M / block scan",
              t("BM_FindBusValue/16") / t("BM_FindBusValueBlockScan/16"), "<=", 1.0);
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
