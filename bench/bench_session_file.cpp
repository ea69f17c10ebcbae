// Writing and reading a full session file: 8 instances of 4096 trigger rows and 4096 data rows
// each, and one log of 1024 channels by 131072 samples.
#include "../tests/ksm_test_session.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int INSTANCES = 8;
constexpr int CHANNELS = 1024;
constexpr int DEPTH = 131072;
constexpr int WORDS = DEPTH / 64;

// A size line of /proc/self/status (VmHWM: the peak, VmRSS: the current size), in MB.
double status_mb(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, std::strlen(field), field) == 0)
            return std::stod(line.substr(std::strlen(field) + 1)) / 1024.0;
    return 0;
}

// Lets VmHWM start again from the current size, so each benchmark reports its own peak.
void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void fill_rows(KSM_TX_SIGNAL_NODES* list, const std::string& prefix, bool conditions)
{
    static const KSM_DATA_TRIGGER_CONDITION cycle[] = {KSM_CTYPE_HIGH, KSM_CTYPE_LOW, KSM_CTYPE_RISING_EDGE,
                                                       KSM_CTYPE_FALLING_EDGE, KSM_CTYPE_EITHER_EDGE};
    for (int i = 0; i < KSM_MAX_NODES; ++i) {
        const std::string name = prefix + "|bus" + std::to_string(i / 32) + "[" + std::to_string(i % 32) + "]";
        list->insert_node(name.c_str(), KSM_STYPE_REGISTERED, i % 7 ? KSM_TAP_PRE_SYNTHESIS : KSM_TAP_POST_FITTING,
                          true);
        if (!conditions)
            continue;
        if (i % 3 == 0)
            list->set_trigger_condition(i, 0, cycle[i % 5]);
        if (i % 8 == 0)
            list->set_trigger_condition(i, 1, cycle[(i / 8) % 5]);
        if (i % 64 == 0) {
            list->set_comparison_enabled(i, 2, true);
            list->set_comparison_value(i, 2, 0, i);
            list->set_comparison_value(i, 2, 1, i + 100);
        }
        if (i % 16 == 0)
            list->set_pattern_condition(i, 0, KSM_CTYPE_HIGH);
    }
}

// Sets samples [from, to) of a plane to one.
void set_run(std::vector<uint64_t>& plane, int from, int to)
{
    for (int i = from; i < to;) {
        const int bit = i & 63;
        const int n = std::min(64 - bit, to - i);
        plane[i >> 6] |= (n == 64 ? ~uint64_t(0) : ((uint64_t(1) << n) - 1)) << bit;
        i += n;
    }
}

// Channels as a design gives them: counter bits, slowly toggling controls, and some noise.
void fill_log(KSM_DATA_LOG* log)
{
    std::mt19937_64 rng(7);
    std::vector<uint64_t> plane(WORDS);
    log->begin_capture(CHANNELS, DEPTH, 0);
    for (int c = 0; c < CHANNELS; ++c) {
        std::fill(plane.begin(), plane.end(), 0);
        const int kind = c % 8;
        if (kind == 0) {
            for (uint64_t& w : plane)
                w = rng();
        } else if (kind <= 3) {
            const int bit = c % 24;
            for (int k = 0; k < WORDS; ++k)
                for (int j = 0; j < 64; ++j)
                    plane[k] |= uint64_t(((k * 64 + j) >> bit) & 1) << j;
        } else {
            std::exponential_distribution<double> run(1.0 / (kind == 4 ? 40 : kind == 5 ? 400 : 4000));
            bool level = false;
            for (int i = 0; i < DEPTH;) {
                const int next = static_cast<int>(std::min<long long>(DEPTH, i + 1 + static_cast<long long>(run(rng))));
                if (level)
                    set_run(plane, i, next);
                level = !level;
                i = next;
            }
        }
        log->set_channel_words(c, plane.data(), plane.size());
    }
    for (int i = 0; i < DEPTH; ++i)
        log->set_valid(i, true);
    log->set_trigger_mark(DEPTH / 8, true);
    log->set_trigger_positions({DEPTH / 8});
    log->end_capture();
}

// The session, built once and saved once, that both benchmarks use.
struct FIXTURE {
    QTemporaryDir dir;
    std::string path;
    std::unique_ptr<KSM_TX_SESSION> session = std::make_unique<KSM_TX_SESSION>(new TEST_ROOT, true);

    FIXTURE() : path(dir.filePath("bench.lmx").toStdString())
    {
        session->create_session(path.c_str());
        for (int n = 1; n < INSTANCES; ++n)
            session->create_lumetra_instance();
        for (int e = 0; e < INSTANCES; ++e) {
            const std::string prefix = "top|unit" + std::to_string(e);
            session->get_trigger_at(e)->set_num_levels(3);
            fill_rows(session->get_trigger_at(e), prefix, true);
            fill_rows(session->get_signal_set_at(e), prefix, false);
        }
        session->get_signal_set_at(0)->set_sample_depth(DEPTH);  // an instance that could capture the log
        KSM_DATA_LOG* log = session->create_new_log(0);
        fill_log(log);
        session->set_active_log(0, log);
        session->save_session(path.c_str());
    }
    double file_mb() const { return static_cast<double>(QFileInfo(QString::fromStdString(path)).size()) / 1e6; }

    static FIXTURE& get()
    {
        static FIXTURE fixture;
        return fixture;
    }
};

void report(benchmark::State& state, double file_mb, double rss_before)
{
    state.counters["file_MB"] = file_mb;
    // Printed as "MB=<n>/s": megabytes of the file per second.
    state.counters["MB"] =
        benchmark::Counter(file_mb * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["peak_MB"] = status_mb("VmHWM:");
    state.counters["peak_rise_MB"] = status_mb("VmHWM:") - rss_before;
}

void BM_SaveSession(benchmark::State& state)
{
    FIXTURE& f = FIXTURE::get();
    reset_peak();
    const double rss = status_mb("VmRSS:");
    for (auto _ : state)
        if (!f.session->save_session(f.path.c_str()))
            state.SkipWithError(f.session->get_last_error().c_str());
    report(state, f.file_mb(), rss);
}
BENCHMARK(BM_SaveSession)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_OpenSession(benchmark::State& state)
{
    FIXTURE& f = FIXTURE::get();
    reset_peak();
    const double rss = status_mb("VmRSS:");
    for (auto _ : state) {
        auto opened = std::make_unique<KSM_TX_SESSION>(new TEST_ROOT, true);
        if (!opened->open_session(f.path.c_str()) || opened->get_num_instances() != INSTANCES)
            state.SkipWithError(opened->get_last_error().c_str());
        state.PauseTiming();
        opened.reset();
        state.ResumeTiming();
    }
    report(state, f.file_mb(), rss);
}
BENCHMARK(BM_OpenSession)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
