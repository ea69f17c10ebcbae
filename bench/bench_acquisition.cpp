// A run and offload of 1024 channels by 131072 samples on the simulated target, next to a plain
// per-bit loop that computes the same samples into a std::vector<bool>; and one capture with a
// basic, an advanced and a state-based trigger beside the samples alone.
#include "../tests/ksm_test_session.h"

#include "bench_reporter.h"
#include "daw.h"
#include "prj.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace {

constexpr int BUSES = 16;
constexpr int BUS_WIDTH = 64;
constexpr int DEPTH = 131072;

uint64_t mix(uint64_t x)
{
    uint64_t z = x + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A project of 16 buses of 64 bits, half random and half counters, and an instance that captures
// every bit, triggered on the first bus's lowest bit.
struct TARGET {
    QTemporaryDir dir;
    std::unique_ptr<KSM_TX_SESSION> session = make_test_session();
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
        KSM_TX_SIGNAL_SET* set = session->get_signal_set_at(0);
        KSM_TX_TRIGGER* trigger = session->get_trigger_at(0);
        for (int b = 0; b < BUSES; ++b)
            for (int i = BUS_WIDTH - 1; i >= 0; --i) {
                const std::string name = "bus" + std::to_string(b) + "[" + std::to_string(i) + "]";
                set->insert_node(name.c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
                trigger->insert_node(name.c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
            }
        set->set_data_nodes_allocated(BUSES * BUS_WIDTH);
        set->set_sample_depth(DEPTH);
        trigger->set_trigger_condition(trigger->find_node("bus0[0]"), 0, KSM_CTYPE_RISING_EDGE);
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

void BM_RunAndOffload(benchmark::State& state)
{
    TARGET target;
    COUNTING_CALLBACK callback;
    for (auto _ : state) {
        std::vector<DAW_CONTROL::ACQ_PARAMETER> requests(1);
        requests[0].data_log = target.session->create_new_log(0);
        requests[0].callback = &callback;
        DAW_CONTROL::run(&requests);
        daw_sim::drain();
        DAW_CONTROL::offload(requests[0].data_log);
        benchmark::DoNotOptimize(requests[0].data_log->get_bit(1023, DEPTH - 1));
        state.PauseTiming();
        requests[0].data_log->remove();
        daw_sim::reset();
        state.ResumeTiming();
    }
    state.counters["channels"] = requests_channels(target);
}

// The same samples, one bit at a time, into a std::vector<bool> (the capture twice: run and offload).
void BM_PerBitReference(benchmark::State& state)
{
    std::vector<bool> bits(static_cast<size_t>(BUSES) * BUS_WIDTH * DEPTH);
    for (auto _ : state) {
        for (int pass = 0; pass < 2; ++pass) {
            size_t k = 0;
            for (int b = 0; b < BUSES; ++b)
                for (int i = 0; i < BUS_WIDTH; ++i)
                    for (long long t = 0; t < DEPTH; ++t) {
                        const uint64_t n = static_cast<uint64_t>(b + 1);
                        bits[k++] = b % 2 ? ((t / static_cast<long long>(n)) >> i) & 1
                                          : (mix(n * 0x9E3779B97F4A7C15ull + i * 0xD1B54A32D192ED03ull +
                                                 static_cast<uint64_t>(t / 64)) >>
                                             (t % 64)) &
                                                1;
                    }
        }
        benchmark::DoNotOptimize(bits[bits.size() - 1]);
    }
}

// One capture with the trigger that `kind` names: 0 none (the samples alone), 1 basic, 2 advanced,
// 3 state-based.
void BM_Capture(benchmark::State& state)
{
    TARGET target;
    KSM_TX_TRIGGER* trigger = target.trigger();
    const int kind = static_cast<int>(state.range(0));
    if (kind == 0)
        trigger->set_trigger_condition(trigger->find_node("bus0[0]"), 0, KSM_CTYPE_DONT_CARE);
    if (kind == 2) {
        trigger->set_level_type(0, KSM_LTYPE_ADVANCED);
        trigger->set_advanced_trigger_expression(
            0, "or(compare({'bus0[7]','bus0[6]','bus0[5]','bus0[4]','bus0[3]','bus0[2]','bus0[1]','bus0[0]'}, ==, "
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
    for (auto _ : state) {
        KSM_DATA_LOG* log = target.session->create_new_log(0);
        if (!daw_sim::capture(log))
            state.SkipWithError("not triggered");
        benchmark::DoNotOptimize(log->get_bit(1023, DEPTH - 1));
        state.PauseTiming();
        log->remove();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_PerBitReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunAndOffload)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Capture)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

// The run's time relative to the per-bit loop.
void print_ratio(const BENCH_REPORTER::TIMES& times)
{
    const auto run = times.find("BM_RunAndOffload"), reference = times.find("BM_PerBitReference");
    const auto generate = times.find("BM_Capture/0");
    const char* const names[] = {"basic", "advanced", "state-based"};
    for (int k = 1; k <= 3 && generate != times.end(); ++k) {
        const auto capture = times.find("BM_Capture/" + std::to_string(k));
        if (capture != times.end())
            std::printf("%-24s %10.1f ms beside %6.1f ms of samples alone: %5.2fx\n", names[k - 1], capture->second,
                        generate->second, capture->second / generate->second);
    }
    if (run != times.end() && reference != times.end())
        std::printf("\n%-24s %12s %12s %8s\n%-24s %12.1f %12.1f %8.3f\n", "1024 x 131072", "run (ms)", "per bit (ms)",
                    "ratio", "run + offload", run->second, reference->second, run->second / reference->second);
}

}  // namespace

int main(int argc, char** argv)
{
    BENCH_REPORTER reporter(BENCH_REPORTER::REAL_TIME, print_ratio);
    return bench_main(argc, argv, reporter);
}
