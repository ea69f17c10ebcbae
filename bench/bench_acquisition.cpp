// A run and offload of 1024 channels by 131072 samples on the simulated target, in turns with
// memset and memcpy of the same sample memory in fresh pages; and one capture with a basic, an advanced
// and a state-based trigger met at once, and with a 20-bit pattern and a comparison met first near
// sample 128 K, in turns with the samples alone.
#include "../tests/support/ksm_test_session.h"

#include "bench_reporter.h"
#include "daw.h"
#include "daw_target.h"
#include "ksm_state.h"
#include "ksm_worker_pool.h"
#include "prj.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int BUSES = 16;
constexpr int BUS_WIDTH = 64;
constexpr int DEPTH = 131072;
// The value the rare triggers look for on bus1[19..0], a counter that steps every second sample:
// it first reads this value at sample 2 * RARE_VALUE, near the end of the first DEPTH samples.
constexpr int RARE_VALUE = (DEPTH - 1024) / 2;

// A project of 16 buses of 64 bits, half random and half counters, and an instance that captures
// every bit, triggered on the first bus's lowest bit.
struct TARGET {
    QTemporaryDir dir;
    std::unique_ptr<KSM_TX_SESSION> session = make_test_session();
    // A second session on the same project, with the same nodes: its trigger is set apart.
    std::unique_ptr<KSM_TX_SESSION> other = make_test_session("other.lmx");
    TARGET()
    {
        QByteArray text = "project bench\ntop top\n";
        for (int b = 0; b < BUSES; ++b)
            text += "node bus" + QByteArray::number(b) + "[63..0] registered pre behaviour " +
                    (b % 2 ? "counter " : "random ") + QByteArray::number(b + 1) + "\n";
        QFile file(dir.filePath("bench.kproj"));
        file.open(QIODevice::WriteOnly);
        file.write(text);
        file.close();
        std::string error;
        PRJ_PROJECT::open(file.fileName().toStdString(), &error);
        // The rows of the two sessions are made in turns, node by node: made one session after the
        // other, the first session's captures took 2% longer than the second's with the same
        // trigger, by where their rows fell in memory.
        for (int b = 0; b < BUSES; ++b)
            for (int i = BUS_WIDTH - 1; i >= 0; --i) {
                const std::string name = "bus" + std::to_string(b) + "[" + std::to_string(i) + "]";
                for (KSM_TX_SESSION* s : {session.get(), other.get()}) {
                    s->get_signal_set_at(0)->insert_node(name.c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS,
                                                         false);
                    s->get_trigger_at(0)->insert_node(name.c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
                }
            }
        for (KSM_TX_SESSION* s : {session.get(), other.get()}) {
            KSM_TX_SIGNAL_SET* set = s->get_signal_set_at(0);
            KSM_TX_TRIGGER* trigger = s->get_trigger_at(0);
            set->set_data_nodes_allocated(BUSES * BUS_WIDTH);
            set->set_sample_depth(DEPTH);
            trigger->set_trigger_condition(trigger->find_node("bus0[0]"), 0, KSM_CTYPE_RISING_EDGE);
        }
    }
    ~TARGET() { PRJ_PROJECT::close(); }
    KSM_TX_TRIGGER* trigger() const { return session->get_trigger_at(0); }
};

class COUNTING_CALLBACK : public DAW_CONTROL_ELA_INT {
public:
    void notify(uint32_t code, uint32_t, uint64_t) override { last = code; }
    uint32_t last = 0;
};

int requests_channels(const TARGET& t) { return t.session->get_signal_set_at(0)->get_num_channels(); }

// Two sides timed in turns: each turn times both one right after the other, so that the
// machine's speed (other work, the clock) weighs on both alike, where sides run apart would each
// catch a different part of it. The side that goes first runs right after the other side's
// turn, which costs it a little, so the sides take turns at going first. Each side returns its
// time (ms); each turn's times and their ratio are kept over all repetitions.
struct TURNS {
    std::vector<double> ours_ms, theirs_ms, ratios;
};

template <typename OURS, typename THEIRS>
void take_turns(benchmark::State& state, TURNS* turns, OURS ours, THEIRS theirs)
{
    bool ours_first = true;
    for (auto _ : state) {
        const double first = ours_first ? ours() : theirs(), second = ours_first ? theirs() : ours();
        turns->ours_ms.push_back(ours_first ? first : second);
        turns->theirs_ms.push_back(ours_first ? second : first);
        turns->ratios.push_back(turns->ours_ms.back() / turns->theirs_ms.back());
        ours_first = !ours_first;
    }
}

// The sample memory of the capture (its planes and the valid, trigger and break planes) cleared
// and copied into fresh memory, twice: the run and the offload each write a capture. The memory
// comes from the allocator of the captures' planes, fresh each time: huge pages where the system
// offers them, as the captures have. It is handed out a huge page at a time (2 MB where there are
// none) to as many threads as the capture has, kept from one pass to the next in the process's
// pool as the capture's are, each page cleared and then copied by one thread: no two threads
// fault on one page (each would have the system clear a huge page for it), the copy finds the
// page cleared in the cache, and no thread waits long for another at the end.
struct MEMSET_MEMCPY {
    const size_t bytes = (static_cast<size_t>(BUSES) * BUS_WIDTH + 3) * (DEPTH / 64) * sizeof(uint64_t);
    const int threads = daw_target::fill_threads(BUSES * BUS_WIDTH, DEPTH);
    const size_t page = ksm_plane_huge_page(bytes) ? ksm_plane_huge_page(bytes) : size_t(2) << 20;
    std::unique_ptr<char[]> source{new char[bytes]};

    MEMSET_MEMCPY() { std::memset(source.get(), 0x5a, bytes); }
    void run() const
    {
        for (int pass = 0; pass < 2; ++pass) {
            auto* samples = static_cast<char*>(ksm_allocate_planes(bytes));
            std::atomic<size_t> next{0};
            const auto write = [&] {
                for (size_t at; (at = next.fetch_add(page)) < bytes;) {
                    const size_t length = std::min(page, bytes - at);
                    std::memset(samples + at, 0, length);
                    std::memcpy(samples + at, source.get() + at, length);
                }
            };
            KSM_WORKER_POOL& pool = KSM_WORKER_POOL::shared();
            const auto helpers = pool.start(static_cast<size_t>(threads - 1), write);
            write();
            pool.wait(helpers);
            benchmark::DoNotOptimize(samples);
            ksm_free_planes(samples, bytes);
        }
    }
};

// A run and offload in turns with the reference.
TURNS g_run_turns;

void BM_RunAndOffloadBesideMemsetMemcpy(benchmark::State& state)
{
    TARGET target;
    COUNTING_CALLBACK callback;
    const MEMSET_MEMCPY reference;
    using CLOCK = std::chrono::steady_clock;
    auto ours = [&] {
        std::vector<DAW_CONTROL::ACQ_PARAMETER> requests(1);
        requests[0].data_log = target.session->create_new_log(0);
        requests[0].callback = &callback;
        const CLOCK::time_point start = CLOCK::now();
        DAW_CONTROL::run(&requests);
        daw_sim::drain();
        DAW_CONTROL::offload(requests[0].data_log);
        benchmark::DoNotOptimize(requests[0].data_log->get_bit(1023, DEPTH - 1));
        const double ms = std::chrono::duration<double, std::milli>(CLOCK::now() - start).count();
        requests[0].data_log->remove();
        daw_sim::reset();
        return ms;
    };
    auto theirs = [&] {
        const CLOCK::time_point start = CLOCK::now();
        reference.run();
        return std::chrono::duration<double, std::milli>(CLOCK::now() - start).count();
    };
    take_turns(state, &g_run_turns, ours, theirs);
    state.counters["ours_ms"] = median(g_run_turns.ours_ms);
    state.counters["memset_memcpy_ms"] = median(g_run_turns.theirs_ms);
    state.counters["channels"] = requests_channels(target);
    state.counters["threads"] = reference.threads;
    state.counters["huge_page_kb"] = static_cast<double>(ksm_plane_huge_page(reference.bytes) >> 10);
}

// A basic level that holds where bus1[19..0] reads RARE_VALUE, bit by bit, or a comparison level
// on those bits grouped into a bus.
void set_rare_trigger(KSM_TX_TRIGGER* trigger, bool comparison)
{
    const int low = trigger->find_node("bus1[0]"), high = trigger->find_node("bus1[19]");
    for (int bit = 0; bit < 20; ++bit)
        trigger->set_trigger_condition(low - bit, 0, (RARE_VALUE >> bit) & 1 ? KSM_CTYPE_HIGH : KSM_CTYPE_LOW);
    trigger->set_trigger_condition(trigger->find_node("bus0[0]"), 0, KSM_CTYPE_DONT_CARE);
    if (!comparison)
        return;
    trigger->group_nodes(high, low);
    trigger->set_level_type(0, KSM_LTYPE_COMPARISON);
    trigger->set_comparison_enabled(high, 0, true);
    trigger->set_comparison_operand(high, 0, 1, KSM_CTYPE_COMPARE_EQUAL_TO);
    trigger->set_comparison_value(high, 0, 1, RARE_VALUE);
    trigger->set_comparison_operand(high, 0, 2, KSM_CTYPE_COMPARE_TRUE);
}

// Whether the log's trigger sample is the first where bus1[19..0] reads RARE_VALUE.
bool at_rare_value(const KSM_TX_SIGNAL_SET* set, const KSM_DATA_LOG* log)
{
    const int t = log->get_data_trigger_position();
    int now = 0, before = 0;
    for (int bit = 19; bit >= 0; --bit) {
        const int channel = set->get_channel(set->find_node(("bus1[" + std::to_string(bit) + "]").c_str()));
        now = now << 1 | log->get_bit(channel, t);
        before = before << 1 | log->get_bit(channel, t - 1);
    }
    return t > 0 && now == RARE_VALUE && before != RARE_VALUE;
}

// Sets the trigger that `kind` names: 0 none (the samples alone), 1 basic, 2 advanced,
// 3 state-based, 4 the rare pattern, 5 the rare comparison.
void set_trigger(KSM_TX_TRIGGER* trigger, int kind)
{
    if (kind == 0)
        trigger->set_trigger_condition(trigger->find_node("bus0[0]"), 0, KSM_CTYPE_DONT_CARE);
    if (kind == 2) {
        trigger->set_level_type(0, KSM_LTYPE_ADVANCED);
        trigger->set_advanced_trigger_expression(
            0,
            "or(compare({'bus0[7]','bus0[6]','bus0[5]','bus0[4]','bus0[3]','bus0[2]','bus0[1]','bus0[0]'}, ==, "
            "200, cc, uc), mbpm('RF', {'bus2[0]','bus2[1]'}))");
    }
    if (kind == 3) {
        trigger->set_counter_count(1);
        trigger->set_state_based(true);
        trigger->get_state_machine_object()->set_attribute(
            "state_machine_flow_expression",
            "state ST1: if (condition1) begin increment c1; goto ST2; end\n"
            "state ST2: if (c1 == 200) trigger; else if (condition1) goto ST1;\n");
    }
    if (kind >= 4)
        set_rare_trigger(trigger, kind == 5);
}

// The samples alone, storing as many samples as the capture with the trigger of `kind`: a trigger
// met at once stores none before sample 0, one eighth of the depth short, as the basic, advanced
// and state-based triggers, met within the first few thousand samples, do too. The rare triggers,
// met near the end of the stream, store every sample; their reference's trigger is then the first
// rising edge of bus1[13] (bus1 counts every second sample): at sample 16,384, the eighth of the
// depth stored before the trigger, met after a search of a single bit over 256 words.
void set_reference_trigger(KSM_TX_TRIGGER* trigger, int kind)
{
    set_trigger(trigger, 0);
    if (kind >= 4)
        trigger->set_trigger_condition(trigger->find_node("bus1[13]"), 0, KSM_CTYPE_RISING_EDGE);
}

int stored_samples(const KSM_DATA_LOG* log)
{
    int stored = 0;
    for (int w = 0; w < DEPTH / 64; ++w)
        stored += __builtin_popcountll(log->get_valid_word(w));
    return stored;
}

// The captures of every trigger kind, in turns with the samples alone, by kind: a turn captures
// once with the trigger (our side) and once without (theirs), on two sessions of one project.
bool g_failed = false;
std::map<int, TURNS> g_turns;
std::map<int, std::pair<int, int>> g_stored;  // by kind: the samples each side stores

// One capture with the trigger that `kind` (1 to 5) names, in turns with one of the samples alone.
void BM_Capture(benchmark::State& state)
{
    TARGET target;
    const int kind = static_cast<int>(state.range(0));
    set_trigger(target.trigger(), kind);
    set_reference_trigger(target.other->get_trigger_at(0), kind);
    using CLOCK = std::chrono::steady_clock;
    auto capture = [&](KSM_TX_SESSION* session, bool* placed) {
        KSM_DATA_LOG* log = session->create_new_log(0);
        const CLOCK::time_point start = CLOCK::now();
        if (!daw_sim::capture(log))
            state.SkipWithError("not triggered");
        benchmark::DoNotOptimize(log->get_bit(1023, DEPTH - 1));
        const double ms = std::chrono::duration<double, std::milli>(CLOCK::now() - start).count();
        *placed = *placed &&
                  (session != target.session.get() || kind < 4 || at_rare_value(session->get_signal_set_at(0), log));
        auto& stored = g_stored[kind];
        (session == target.session.get() ? stored.first : stored.second) = stored_samples(log);
        log->remove();
        return ms;
    };
    TURNS& turns = g_turns[kind];
    bool placed = true;
    take_turns(
        state, &turns, [&] { return capture(target.session.get(), &placed); },
        [&] { return capture(target.other.get(), &placed); });
    state.counters["threads"] = daw_target::fill_threads(requests_channels(target), DEPTH);
    state.counters["with_ms"] = median(turns.ours_ms);
    state.counters["alone_ms"] = median(turns.theirs_ms);
    state.counters["ratio"] = median(turns.ratios);
    if (!placed)
        state.SkipWithError("the rare trigger was not found where its value first shows");
    const auto [with, alone] = g_stored[kind];
    if (std::abs(with - alone) > DEPTH / 50) {
        g_failed = true;
        state.SkipWithError("the samples alone store a different number of samples");
    }
}

BENCHMARK(BM_RunAndOffloadBesideMemsetMemcpy)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);
BENCHMARK(BM_Capture)->DenseRange(1, 5)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);

// The run's time relative to memset and memcpy, and each trigger's capture relative to the samples alone.
void print_aims(const BENCH_REPORTER::TIMES&)
{
    std::printf("\n");
    std::printf("run + offload 1,024 x 128K: ours %.2f ms, memset + memcpy %.2f ms (medians of %zu turns)\n",
                median(g_run_turns.ours_ms), median(g_run_turns.theirs_ms), g_run_turns.ratios.size());
    print_aim("run + offload 1,024 x 128K / memset + memcpy", median(g_run_turns.ratios), "<=", 2.0);
    const char* const names[] = {"basic", "advanced", "state-based", "rare 20-bit pattern", "rare comparison"};
    for (int k = 1; k <= 5; ++k)
        std::printf("capture, %s trigger: stores %d samples, the samples alone %d\n", names[k - 1], g_stored[k].first,
                    g_stored[k].second);
    for (int k = 1; k <= 5; ++k)
        print_aim(std::string("capture, ") + names[k - 1] + " trigger / samples alone", median(g_turns[k].ratios),
                  "<=", 1.05);
}

}  // namespace

int main(int argc, char** argv)
{
    BENCH_REPORTER reporter(BENCH_REPORTER::REAL_TIME, print_aims);
    const int result = bench_main(argc, argv, reporter);
    if (g_failed)
        std::printf("FAIL: a capture's samples alone store a different number of samples\n");
    return g_failed ? 1 : result;
}
