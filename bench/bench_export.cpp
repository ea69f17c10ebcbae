// Captures written as value change dumps next to gtkwave's fst2vcd writing the same dump from
// an FST file made from ours, and in turns with a durable save of the same bytes: 1,024 single
// bits by 131,072 samples, and 131,072 samples of 16 single bits, an 8-bit, a 32-bit and the widest bus
// the node list still holds beside them (4,040 bits, as a list holds at most 4,096 leaves).
// Besides the wall times, the CPU time (user and system) of our whole process around the export,
// all its threads, is set beside that of the fst2vcd child. The export's peak memory over the
// open session (the rise of the resident size, its peak reset before each export) is measured
// on those and on 4,096 single bits by 131,072 samples. The list file of the same captures is
// timed per byte in turns with the dump, and its peak memory measured the same way.
#include "bench_reporter.h"
#include "guv.h"
#include "vokr_list_file.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int DEPTH = 131072;
constexpr int WORDS = DEPTH / 64;
constexpr int WIDE = KSM_MAX_NODES - 16 - 8 - 32;
constexpr int SINGLES = 1024;

// The CPU seconds, user and system, `who` (RUSAGE_SELF or RUSAGE_CHILDREN) has used so far.
double cpu_seconds(int who)
{
    rusage use{};
    getrusage(who, &use);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(use.ru_utime) + seconds(use.ru_stime);
}

// The CPU seconds of each repetition, by benchmark and case ("BM_ExportVcd/0").
std::map<std::string, std::vector<double>>& cpu_times()
{
    static std::map<std::string, std::vector<double>> times;
    return times;
}

double median_cpu(const char* bm, int kind)
{
    std::vector<double> times = cpu_times()[std::string(bm) + "/" + std::to_string(kind)];
    if (times.empty())
        return 0;
    std::nth_element(times.begin(), times.begin() + long(times.size() / 2), times.end());
    return times[times.size() / 2];
}

// Adds the CPU seconds `who` used since `before` to the benchmark's record.
void record_cpu(benchmark::State& state, const char* bm, int who, double before)
{
    const double used = cpu_seconds(who) - before;
    cpu_times()[std::string(bm) + "/" + std::to_string(state.range(0))].push_back(used);
    state.counters["CPU_ms"] = used * 1e3;
}

// A line's kilobytes from /proc/self/status ("VmRSS", "VmHWM"), or -1.
long status_kb(const char* field)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith(QByteArray(field) + ':'))
            return line.mid(int(std::strlen(field)) + 1).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Resets the process's peak resident size to its present one; false where the system cannot.
bool reset_peak_rss()
{
    QFile clear("/proc/self/clear_refs");
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

// The highest rise of the resident size over the open session during an export, by case, in MB:
// of the value change dump and of the list file.
using PEAKS = std::map<int, double>;
PEAKS& peak_rise()
{
    static PEAKS rise;
    return rise;
}
PEAKS& list_peak_rise()
{
    static PEAKS rise;
    return rise;
}

// Runs the export, noting how far the resident size rose above what it was before, with the
// memory earlier exports freed given back to the system first (else the export would reuse it).
bool measure_export(int kind, const std::function<bool()>& export_file, PEAKS& peaks = peak_rise())
{
    malloc_trim(0);
    const bool reset = reset_peak_rss();
    const long resident = status_kb("VmRSS");
    const bool exported = export_file();
    if (reset && resident >= 0) {
        double& rise = peaks[kind];
        rise = std::max(rise, double(status_kb("VmHWM") - resident) / 1024);
    }
    return exported;
}

// One word of a channel that toggles every `period` samples.
uint64_t toggling_word(int w, int64_t period)
{
    uint64_t word = 0;
    for (int b = 0; b < 64; ++b)
        word |= uint64_t(((w * 64 + b) / period) & 1) << b;
    return word;
}

// The capture `kind` names: 0 the wide bus beside small ones, 1 the 1,024 single bits, 2 as many
// single bits as a node list holds.
struct CAPTURE {
    int kind;
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
    // Singles toggle every 2..256 samples; bus members count in steps of 4, 16 and 64 samples.
    static int64_t period(int kind, int c)
    {
        if (kind != 0)
            return int64_t(2) << (c % 8);
        const int bit = c < 16 ? c % 8 : c < 24 ? 23 - c : c < 56 ? 55 - c : WIDE - 1 - (c - 56);
        return int64_t(c < 16 ? 2 : c < 24 ? 4 : c < 56 ? 16 : 64) << std::min(bit, 24);
    }
    explicit CAPTURE(int k) : kind(k)
    {
        manager.new_document(dir.filePath("bench.lmx").toLocal8Bit().constData());
        KSM_TX_SIGNAL_SET* set = manager.get_signal_nodes(-1);
        set->set_linked_edits(false);
        for (int i = 0; i < (kind == 1 ? SINGLES : kind == 2 ? KSM_MAX_NODES : 16); ++i)
            set->insert_node(("top|bit" + std::to_string(i)).c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS,
                             true);
        if (kind == 0)
            add_bus(set, "b8", 8), add_bus(set, "b32", 32), add_bus(set, "wide", WIDE);
        set->set_sample_depth(DEPTH);
        log = manager.get_session()->create_new_log(0);
        log->begin_capture(set->get_num_channels(), DEPTH, 0);
        std::vector<uint64_t> words(WORDS);
        for (int c = 0; c < set->get_num_channels(); ++c) {
            for (int w = 0; w < WORDS; ++w)
                words[w] = toggling_word(w, period(kind, c));
            log->set_channel_words(c, words.data(), words.size());
        }
        for (int s = 0; s < DEPTH; ++s)
            log->set_valid(s, true);
        log->end_capture();
        manager.set_view_log(0, log);
        export_to(path("ours.vcd"));
        QFile file(path("ours.vcd"));
        file.open(QIODevice::ReadOnly);
        bytes = file.readAll();
    }
    bool export_plain(const QString& file) const
    {
        GUV_DATA_LOG_EXPORTER exporter;
        return exporter.create_vector_database(log, GUV_OUTPUT_VCD, 10000) &&
               exporter.export_file(file.toLocal8Bit().constData());
    }
    // The export with its memory measured.
    bool export_to(const QString& file) const
    {
        return measure_export(kind, [&] { return export_plain(file); });
    }
    QString path(const char* name) const { return dir.filePath(name); }
    // The list file of the capture, with its memory measured; its size in `size`.
    bool write_list(qint64* size)
    {
        if (!view)
            view = std::make_unique<VOKR_VIEW>(nullptr, &manager);
        const bool written = measure_export(
            kind, [&] { return view->create_list_file(path("ours.txt")); }, list_peak_rise());
        *size = QFileInfo(path("ours.txt")).size();
        return written;
    }
    QByteArray bytes;  // our dump
    std::unique_ptr<VOKR_VIEW> view;
};

// The captures made so far, kept until the application ends.
std::map<int, std::unique_ptr<CAPTURE>>& captures()
{
    static std::map<int, std::unique_ptr<CAPTURE>> made;
    return made;
}

CAPTURE& capture(int kind)
{
    auto& c = captures()[kind];
    if (!c)
        c = std::make_unique<CAPTURE>(kind);
    return *c;
}

void BM_ExportVcd(benchmark::State& state)
{
    const CAPTURE& c = capture(static_cast<int>(state.range(0)));  // built before the clock runs
    for (auto _ : state) {
        const double before = cpu_seconds(RUSAGE_SELF);
        if (!c.export_to(c.path("ours.vcd")))
            state.SkipWithError("the export failed");
        record_cpu(state, "BM_ExportVcd", RUSAGE_SELF, before);
    }
    state.counters["MB"] = c.bytes.size() / 1e6;
}

void BM_Fst2Vcd(benchmark::State& state)
{
    const CAPTURE& c = capture(static_cast<int>(state.range(0)));
    if (QStandardPaths::findExecutable("fst2vcd").isEmpty()) {
        state.SkipWithError("fst2vcd (Debian package gtkwave) not installed");
        return;
    }
    if (QProcess::execute("vcd2fst", {c.path("ours.vcd"), c.path("ours.fst")}) != 0) {
        state.SkipWithError("vcd2fst failed");
        return;
    }
    for (auto _ : state) {
        const double before = cpu_seconds(RUSAGE_CHILDREN);
        QProcess p;
        p.setStandardOutputFile(c.path("theirs.vcd"));
        p.start("fst2vcd", {c.path("ours.fst")});
        if (!p.waitForFinished(-1) || p.exitCode() != 0)
            state.SkipWithError("fst2vcd failed");
        record_cpu(state, "BM_Fst2Vcd", RUSAGE_CHILDREN, before);
    }
}

// The turns' ratios of ours over the durable save of the same bytes, by case.
std::map<int, std::vector<double>>& write_turns()
{
    static std::map<int, std::vector<double>> turns;
    return turns;
}

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The same bytes saved as the export saves its file, as fast as a durable save goes: written to a
// new file beside the one it replaces a megabyte at a time, each megabyte handed on to the disk as
// soon as it is written (so that the sync waits for the last ones only), synced, closed and renamed
// over it. False where any step fails.
bool save_durably(const QByteArray& bytes, const QString& path)
{
    constexpr size_t PIECE = 1 << 20;
    const QByteArray target = path.toLocal8Bit(), temporary = target + ".new";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    bool written = true;
    for (size_t at = 0, size = size_t(bytes.size()); written && at < size; at += PIECE) {
        const size_t piece = std::min(PIECE, size - at);
        written = ::write(fd, bytes.constData() + at, piece) == ssize_t(piece);
        sync_file_range(fd, off64_t(at), off64_t(piece), SYNC_FILE_RANGE_WRITE);
    }
    written = written && fsync(fd) == 0;
    return ::close(fd) == 0 && written && std::rename(temporary.constData(), target.constData()) == 0;
}

// Ours in turns with the same bytes saved durably beside it, one right after the other: the
// writes' cost moves with the disk's writing back of earlier files, which then weighs on both
// sides of a turn alike.
void BM_ExportBesideWrite(benchmark::State& state)
{
    const CAPTURE& c = capture(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        if (!c.export_plain(c.path("ours.vcd")))
            state.SkipWithError("the export failed");
        const double ours = seconds_since(start);
        start = std::chrono::steady_clock::now();
        if (!save_durably(c.bytes, c.path("written.vcd")))
            state.SkipWithError("the write failed");
        const double theirs = seconds_since(start);
        write_turns()[c.kind].push_back(ours / theirs);
        state.counters["ours_ms"] = ours * 1e3, state.counters["write_ms"] = theirs * 1e3;
    }
}

// The list file's time per byte over the value change dump's, in turns, by case.
std::map<int, std::vector<double>>& list_turns()
{
    static std::map<int, std::vector<double>> turns;
    return turns;
}

// The list file in turns with the value change dump of the same capture, one right after the
// other: the figure is the list file's time per byte over the dump's. Each side starts with the
// disk idle (the list file before removed and everything synced outside the time), so that
// neither waits for the other's writing back or for the discarding of a replaced file, and the
// turns follow a list file written untimed: the first one of a run waits for the page cache to
// take back memory other files hold (1.7 to 1.9 ns a byte against 0.4 to 0.8 after it).
void BM_ListFileBesideVcd(benchmark::State& state)
{
    CAPTURE& c = capture(static_cast<int>(state.range(0)));
    qint64 size = 0;
    c.write_list(&size);
    for (auto _ : state) {
        QFile::remove(c.path("ours.txt"));
        ::sync();
        auto start = std::chrono::steady_clock::now();
        if (!c.write_list(&size))
            state.SkipWithError("the list file failed");
        const double ours = seconds_since(start);
        ::sync();
        start = std::chrono::steady_clock::now();
        if (!c.export_plain(c.path("ours.vcd")))
            state.SkipWithError("the export failed");
        const double dump = seconds_since(start);
        list_turns()[c.kind].push_back((ours / double(size)) / (dump / double(c.bytes.size())));
        state.counters["list_MB"] = double(size) / 1e6, state.counters["list_ns_B"] = ours / double(size) * 1e9;
        state.counters["vcd_ns_B"] = dump / double(c.bytes.size()) * 1e9;
    }
}

#define CASES(BM) \
    BENCHMARK(BM)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(7)
CASES(BM_ExportVcd);
CASES(BM_Fst2Vcd);
BENCHMARK(BM_ExportBesideWrite)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(5);
// The export's memory where every column changes often: its speed here is the same as above.
BENCHMARK(BM_ExportVcd)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_ListFileBesideVcd)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ListFileBesideVcd)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The list file's memory where the most columns change often.
void BM_ListFile(benchmark::State& state)
{
    CAPTURE& c = capture(static_cast<int>(state.range(0)));
    qint64 size = 0;
    for (auto _ : state)
        if (!c.write_list(&size))
            state.SkipWithError("the list file failed");
    state.counters["list_MB"] = double(size) / 1e6;
}
BENCHMARK(BM_ListFile)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void print_aims(const BENCH_REPORTER::TIMES& t)
{
    auto time = [&](const char* bm, int kind) {
        const std::string prefix = std::string(bm) + "/" + std::to_string(kind) + "/";  // the median's run
        const auto it = t.lower_bound(prefix);
        return it != t.end() && it->first.compare(0, prefix.size(), prefix) == 0 ? it->second : 0.0;
    };
    const char* names[] = {"VCD 4,040-bit bus case", "VCD 1,024 x 128K"};
    std::printf(
        "\nThreads: the export renders on %d and the list file on %d, each writing on the calling thread; "
        "fst2vcd and the durable save 1\n",
        GUV_DATA_LOG_EXPORTER::vcd_threads(), VOKR_LIST_FILE::threads());
    for (int kind : {1, 0}) {
        const double ours = time("BM_ExportVcd", kind);
        print_aim(std::string(names[kind]) + " / fst2vcd", ours / time("BM_Fst2Vcd", kind), "<=", 0.9);
        print_aim(std::string(names[kind]) + " CPU / fst2vcd CPU",
                  median_cpu("BM_ExportVcd", kind) / median_cpu("BM_Fst2Vcd", kind), "<=", 1.0);
        print_aim(std::string(names[kind]) + " / durable write (turns)", median(write_turns()[kind]), "<=", 3);
    }
    const char* memory_names[] = {"4,040-bit bus case", "1,024 x 128K", "4,096 x 128K"};
    for (const auto& [kind, rise] : peak_rise())
        print_aim(std::string("VCD ") + memory_names[kind] + " peak memory over the open session, MB", rise, "<=", 64);
    for (const auto& [kind, turns] : list_turns())
        print_aim(std::string("list file ") + memory_names[kind] + " time per byte / VCD's (turns)", median(turns),
                  "<=", 2);
    for (const auto& [kind, rise] : list_peak_rise())
        print_aim(std::string("list file ") + memory_names[kind] + " peak memory over the open session, MB", rise,
                  "<=", 64);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BENCH_REPORTER reporter(BENCH_REPORTER::REAL_TIME, print_aims);
    const int result = bench_main(argc, argv, reporter);
    captures().clear();  // their editors go before the application
    return result;
}
