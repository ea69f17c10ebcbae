// A capture of 131,072 samples (16 single bits, an 8-bit, a 32-bit and the widest bus the node
// list still holds beside them: 4,040 bits, as a list holds at most 4,096 leaves) written as a
// value change dump, next to gtkwave's fst2vcd writing the same dump from an FST file made
// from ours.
#include "bench_reporter.h"
#include "guv.h"
#include "vokr_tx_manager.h"

#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int DEPTH = 131072;
constexpr int WORDS = DEPTH / 64;
constexpr int WIDE = KSM_MAX_NODES - 16 - 8 - 32;

struct CAPTURE {
    QTemporaryDir dir;
    VOKR_TX_MANAGER manager{nullptr};
    KSM_DATA_LOG* log = nullptr;

    void add_bus(KSM_TX_SIGNAL_SET* set, const char* name, int width)
    {
        const int first = set->get_num_nodes();
        for (int i = width - 1; i >= 0; --i)
            set->insert_node(("top|" + std::string(name) + "[" + std::to_string(i) + "]").c_str(), KSM_STYPE_REGISTERED,
                             KSM_TAP_PRE_SYNTHESIS, true);
        set->group_nodes(first, first + width - 1);
    }
    CAPTURE()
    {
        manager.new_document(dir.filePath("bench.lmx").toLocal8Bit().constData());
        KSM_TX_SIGNAL_SET* set = manager.get_signal_nodes(-1);
        set->set_linked_edits(false);
        for (int i = 0; i < 16; ++i)
            set->insert_node(("top|bit" + std::to_string(i)).c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, true);
        add_bus(set, "b8", 8), add_bus(set, "b32", 32), add_bus(set, "wide", WIDE);
        set->set_sample_depth(DEPTH);
        log = manager.get_session()->create_new_log(0);
        log->begin_capture(set->get_num_channels(), DEPTH, 0);
        std::vector<uint64_t> words(WORDS);
        for (int c = 0; c < set->get_num_channels(); ++c) {
            // Singles toggle every 2..256 samples; bus members count in steps of 4, 16 and 64 samples.
            const int bit = c < 16 ? c % 8 : c < 24 ? 23 - c : c < 56 ? 55 - c : WIDE - 1 - (c - 56);
            const int64_t period = int64_t(c < 16 ? 2 : c < 24 ? 4 : c < 56 ? 16 : 64) << std::min(bit, 24);
            for (int w = 0; w < WORDS; ++w) {
                uint64_t word = 0;
                for (int b = 0; b < 64; ++b)
                    word |= uint64_t(((w * 64 + b) / period) & 1) << b;
                words[w] = word;
            }
            log->set_channel_words(c, words.data(), words.size());
        }
        for (int s = 0; s < DEPTH; ++s)
            log->set_valid(s, true);
        log->end_capture();
    }
    QString path(const char* name) const { return dir.filePath(name); }
};

CAPTURE& capture()
{
    static CAPTURE c;
    return c;
}

void BM_ExportVcd(benchmark::State& state)
{
    capture();  // built before the clock runs
    for (auto _ : state) {
        GUV_DATA_LOG_EXPORTER exporter;
        if (!exporter.create_vector_database(capture().log, GUV_OUTPUT_VCD, 10000) ||
            !exporter.export_file(capture().path("ours.vcd").toLocal8Bit().constData()))
            state.SkipWithError("the export failed");
    }
}

void BM_Fst2Vcd(benchmark::State& state)
{
    if (QStandardPaths::findExecutable("fst2vcd").isEmpty()) {
        state.SkipWithError("fst2vcd (Debian package gtkwave) not installed");
        return;
    }
    GUV_DATA_LOG_EXPORTER exporter;
    exporter.create_vector_database(capture().log, GUV_OUTPUT_VCD, 10000);
    exporter.export_file(capture().path("ours.vcd").toLocal8Bit().constData());
    if (QProcess::execute("vcd2fst", {capture().path("ours.vcd"), capture().path("ours.fst")}) != 0) {
        state.SkipWithError("vcd2fst failed");
        return;
    }
    for (auto _ : state) {
        QProcess p;
        p.setStandardOutputFile(capture().path("theirs.vcd"));
        p.start("fst2vcd", {capture().path("ours.fst")});
        if (!p.waitForFinished(-1) || p.exitCode() != 0)
            state.SkipWithError("fst2vcd failed");
    }
}

BENCHMARK(BM_ExportVcd)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Fst2Vcd)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    BENCH_REPORTER reporter(BENCH_REPORTER::REAL_TIME, [](const BENCH_REPORTER::TIMES& t) {
        const double ours = t.count("BM_ExportVcd/iterations:5/real_time") ? t.at("BM_ExportVcd/iterations:5/real_time") : 0;
        const double theirs = t.count("BM_Fst2Vcd/iterations:5/real_time") ? t.at("BM_Fst2Vcd/iterations:5/real_time") : 0;
        std::printf("\nVCD of %d samples: ours %.1f ms (%.1f MB), fst2vcd %.1f ms (%.1f MB), ratio %.2f (aim <= 1.0)\n",
                    DEPTH, ours, QFileInfo(capture().path("ours.vcd")).size() / 1e6, theirs,
                    QFileInfo(capture().path("theirs.vcd")).size() / 1e6, theirs > 0 ? ours / theirs : 0.0);
    });
    return bench_main(argc, argv, reporter);
}
