// Next transition and Find Bus Value on a capture of 2^20 samples whose only change is near its
// end, next to a plain scan that reads the same samples one call at a time.
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

#include <cstdio>
#include <memory>

namespace {

constexpr int DEPTH = 1 << 20;
constexpr int NODES = 16;                // node 0 is a bus over nodes 1..16
constexpr int FAR_SAMPLE = DEPTH - 100;  // the one sample where every member turns to 1

struct BENCH_VIEW : VOKR_VIEW {
    using VOKR_VIEW::m_time_bars;
    using VOKR_VIEW::m_timebar_count;
    using VOKR_VIEW::VOKR_VIEW;
    void set_master(int sample)
    {
        m_time_bars[0] = sample;
        m_timebar_count = 1;
    }
};

// A session of one bus of 16 members and a capture in which the members are 0 until FAR_SAMPLE.
struct CAPTURE {
    QTemporaryDir dir;
    VOKR_TX_MANAGER manager{nullptr};
    std::unique_ptr<BENCH_VIEW> view;
    KSM_DATA_LOG* log = nullptr;

    CAPTURE()
    {
        manager.new_document(dir.filePath("bench.lmx").toLocal8Bit().constData());
        KSM_TX_SIGNAL_SET* set = manager.get_signal_nodes(-1);
        KSM_TX_TRIGGER* trigger = manager.get_trigger_nodes(-1);
        for (int i = NODES - 1; i >= 0; --i) {
            const std::string name = "bus[" + std::to_string(i) + "]";
            set->insert_node(name.c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
            trigger->insert_node(name.c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
        }
        set->set_data_nodes_allocated(NODES);
        set->set_sample_depth(DEPTH);
        manager.group_node(0, NODES - 1);
        log = manager.get_session()->create_new_log(0);
        log->begin_capture(set->get_num_channels(), DEPTH, 0);
        std::vector<uint64_t> words(DEPTH / 64, 0);
        for (int s = FAR_SAMPLE; s < DEPTH; ++s)
            words[s / 64] |= uint64_t(1) << (s % 64);
        for (int c = 0; c < set->get_num_channels(); ++c)
            log->set_channel_words(c, words.data(), words.size());
        for (int s = 0; s < DEPTH; ++s)
            log->set_valid(s, true);
        log->end_capture();
        manager.set_view_log(0, log);
        view = std::make_unique<BENCH_VIEW>(nullptr, &manager);
        view->resize(1920, 1080);
    }
};

CAPTURE& capture()
{
    static CAPTURE c;
    return c;
}

void BM_NextTransition(benchmark::State& state)
{
    BENCH_VIEW* view = capture().view.get();
    for (auto _ : state) {
        view->set_master(0);
        view->on_next_transition();
    }
    if (view->get_time_bars()[0] != FAR_SAMPLE)
        state.SkipWithError("the transition was not found");
}

// Sample by sample: validity and every member's bit against the sample before.
void BM_NextTransitionPerSample(benchmark::State& state)
{
    const KSM_DATA_LOG* log = capture().log;
    int found = -1;
    for (auto _ : state) {
        found = -1;
        for (int s = 1; s < DEPTH && found < 0; ++s)
            for (int c = 0; c < NODES && found < 0; ++c)
                if (log->is_bit_valid(s) && log->get_bit(c, s) != log->get_bit(c, s - 1))
                    found = s;
        benchmark::DoNotOptimize(found);
    }
    if (found != FAR_SAMPLE)
        state.SkipWithError("the transition was not found");
}

// Through the value dialog, as the user searches: each press of Find Next searches from sample 0.
void BM_FindBusValue(benchmark::State& state)
{
    BENCH_VIEW* view = capture().view.get();
    view->get_tx_manager()->set_node_selection_status(0, true);
    view->set_master(0);
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<VOKR_TRIGGER_VALUE_DLG*>(QApplication::activeModalWidget());
        dialog->get_value_edit()->setText("FFFF");
        for (auto _ : state) {
            view->set_master(0);
            dialog->get_ok_button()->click();
        }
        dialog->reject();
    });
    view->on_find_bus_value();
    if (view->get_time_bars()[0] != FAR_SAMPLE)
        state.SkipWithError("the value was not found");
}

// Sample by sample: every member's bit against the value's digit.
void BM_FindBusValuePerSample(benchmark::State& state)
{
    const KSM_DATA_LOG* log = capture().log;
    int found = -1;
    for (auto _ : state) {
        found = -1;
        for (int s = 0; s < DEPTH && found < 0; ++s) {
            bool match = true;
            for (int c = 0; c < NODES && match; ++c)
                match = log->get_bit(c, s);
            if (match)
                found = s;
        }
        benchmark::DoNotOptimize(found);
    }
    if (found != FAR_SAMPLE)
        state.SkipWithError("the value was not found");
}

BENCHMARK(BM_NextTransition)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NextTransitionPerSample)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindBusValue)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindBusValuePerSample)->Unit(benchmark::kMicrosecond);

void print_ratios(const BENCH_REPORTER::TIMES& times)
{
    std::printf("\n%-24s %14s %14s %8s\n", "2^20 samples, 16 bits", "words (us)", "per sample (us)", "ratio");
    for (const char* name : {"BM_NextTransition", "BM_FindBusValue"}) {
        const auto words = times.find(name), plain = times.find(std::string(name) + "PerSample");
        if (words != times.end() && plain != times.end())
            std::printf("%-24s %14.1f %14.1f %8.1f\n", name + 3, words->second, plain->second,
                        plain->second / words->second);
    }
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
    BENCH_REPORTER reporter(BENCH_REPORTER::REAL_TIME, print_ratios);
    return bench_main(argc, argv, reporter);
}
