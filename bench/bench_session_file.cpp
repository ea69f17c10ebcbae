// Writing and reading session files in turns with what libdeflate and QXmlStreamReader do with the
// same data, and next to the memory floor of the inflated samples: 8 instances of 4096 trigger rows and 4096 data rows
// each (no log), and one instance with a log of 1024 channels by 131072 or 1048576 samples or of 4096 channels by
// 1048576.
#include "../tests/support/ksm_test_session.h"
#include "ksm_state.h"

#include "bench_reporter.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtEndian>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <libdeflate.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int INSTANCES = 8;
constexpr int SMALL_DEPTH = 131072;
constexpr int LARGE_DEPTH = 1048576;

// A size line of /proc/self/status (VmHWM: the peak, VmRSS: the current size), in MB.
double status_mb(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, std::strlen(field), field) == 0)
            return std::stod(line.substr(std::strlen(field) + 1)) / 1024.0;
    return 0;
}

void fill_rows(KSM_TX_SIGNAL_NODES* list, const std::string& prefix, bool conditions, int count)
{
    static const KSM_DATA_TRIGGER_CONDITION cycle[] = {KSM_CTYPE_HIGH, KSM_CTYPE_LOW, KSM_CTYPE_RISING_EDGE,
                                                       KSM_CTYPE_FALLING_EDGE, KSM_CTYPE_EITHER_EDGE};
    for (int i = 0; i < count; ++i) {
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
void fill_log(KSM_DATA_LOG* log, int channels, int depth)
{
    const int words = depth / 64;
    std::mt19937_64 rng(7);
    std::vector<uint64_t> plane(words);
    log->begin_capture(channels, depth, 0);
    for (int c = 0; c < channels; ++c) {
        std::fill(plane.begin(), plane.end(), 0);
        const int kind = c % 8;
        if (kind == 0) {
            for (uint64_t& w : plane)
                w = rng();
        } else if (kind <= 3) {
            const int bit = c % 24;
            uint64_t low = 0;  // the pattern of a bit below 6, the same in every word
            for (int j = 0; j < 64; ++j)
                low |= uint64_t((j >> bit) & 1) << j;
            for (int k = 0; k < words; ++k)
                plane[k] = bit < 6 ? low : (((int64_t(k) * 64) >> bit) & 1) ? ~uint64_t(0) : 0;
        } else {
            std::exponential_distribution<double> run(1.0 / (kind == 4 ? 40 : kind == 5 ? 400 : 4000));
            bool level = false;
            for (int i = 0; i < depth;) {
                const int next = static_cast<int>(std::min<long long>(depth, i + 1 + static_cast<long long>(run(rng))));
                if (level)
                    set_run(plane, i, next);
                level = !level;
                i = next;
            }
        }
        log->set_channel_words(c, plane.data(), plane.size());
    }
    for (int i = 0; i < depth; ++i)
        log->set_valid(i, true);
    log->set_trigger_mark(depth / 8, true);
    log->set_trigger_positions({depth / 8});
    log->end_capture();
}

// One libdeflate compressor (at the file's level, 1) or decompressor per thread, made before the
// timing, as a program that inflates or deflates many buffers keeps them.
struct CODERS {
    std::vector<libdeflate_compressor*> compressors;
    std::vector<libdeflate_decompressor*> decompressors;
    explicit CODERS(size_t threads)
    {
        for (size_t k = 0; k < threads; ++k) {
            compressors.push_back(libdeflate_alloc_compressor(1));
            decompressors.push_back(libdeflate_alloc_decompressor());
        }
    }
    ~CODERS()
    {
        for (libdeflate_compressor* c : compressors)
            libdeflate_free_compressor(c);
        for (libdeflate_decompressor* d : decompressors)
            libdeflate_free_decompressor(d);
    }
};

// The planes of a log as libdeflate's zlib format at level 1 compresses them one by one: the
// streams the file holds.
std::vector<std::vector<uint8_t>> compressed_planes(const KSM_DATA_LOG* log)
{
    CODERS coders(1);
    std::vector<std::vector<uint8_t>> planes;
    const size_t bytes = static_cast<size_t>(log->get_data_sample_depth()) / 64 * sizeof(uint64_t);
    for (int c = 0; c < log->get_num_channels(); ++c) {
        std::vector<uint8_t> out(libdeflate_zlib_compress_bound(coders.compressors[0], bytes));
        out.resize(
            libdeflate_zlib_compress(coders.compressors[0], log->get_channel_words(c), bytes, out.data(), out.size()));
        planes.push_back(std::move(out));
    }
    return planes;
}

QString temp_path(const char* name)
{
    static QTemporaryDir dir;
    return dir.filePath(name);
}

// Calls work(thread, i) for every i in [0, count) on `threads` threads (numbered from 0), each
// taking the next i left.
template <class WORK> void each_index(size_t count, size_t threads, WORK work)
{
    std::atomic<size_t> next{0};
    auto run = [&](size_t thread) {
        for (size_t i; (i = next++) < count;)
            work(thread, i);
    };
    std::vector<std::thread> helpers;
    for (size_t k = 1; k < threads; ++k)
        helpers.emplace_back(run, k);
    run(0);
    for (std::thread& helper : helpers)
        helper.join();
}

// The rows session: 8 instances, each with 4096 trigger rows and 4096 data rows.
struct ROWS {
    std::string path = temp_path("rows.lmx").toStdString();
    ROWS()
    {
        auto session = std::make_unique<KSM_TX_SESSION>(new TEST_ROOT, true);
        session->create_session(path.c_str());
        for (int n = 1; n < INSTANCES; ++n)
            session->create_lumetra_instance();
        for (int e = 0; e < INSTANCES; ++e) {
            const std::string prefix = "top|unit" + std::to_string(e);
            session->get_trigger_at(e)->set_num_levels(3);
            fill_rows(session->get_trigger_at(e), prefix, true, KSM_MAX_NODES);
            fill_rows(session->get_signal_set_at(e), prefix, false, KSM_MAX_NODES);
        }
        session->save_session(path.c_str());
    }
    static ROWS& get()
    {
        static ROWS rows;
        return rows;
    }
};

// A session of one instance with a log of `channels` by `depth`, saved, and the log's planes
// compressed as the file holds them; the session stays open for saving when `keep` is set.
struct LOG_SESSION {
    std::string path;
    std::unique_ptr<KSM_TX_SESSION> session = std::make_unique<KSM_TX_SESSION>(new TEST_ROOT, true);
    std::vector<std::vector<uint8_t>> planes;
    size_t plane_bytes;
    int channels;

    LOG_SESSION(int channel_count, int depth, bool keep)
        : path(temp_path(("log" + std::to_string(channel_count) + "x" + std::to_string(depth) + ".lmx").c_str())
                   .toStdString()),
          plane_bytes(depth / 64 * sizeof(uint64_t)), channels(channel_count)
    {
        session->create_session(path.c_str());
        fill_rows(session->get_signal_set_at(0), "top", false, channels);
        session->get_signal_set_at(0)->set_sample_depth(depth);
        KSM_DATA_LOG* log = session->create_new_log(0);
        fill_log(log, channels, depth);
        session->set_active_log(0, log);
        session->save_session(path.c_str());
        planes = compressed_planes(log);
        if (!keep)
            session.reset();
    }
    double file_mb() const { return static_cast<double>(QFileInfo(QString::fromStdString(path)).size()) / 1e6; }
    // The threads the log's open and save use, and so the references: the planes are the
    // channels' and the valid, trigger and break planes.
    size_t threads() const { return ksm_parallel_threads(channels + 3, plane_bytes * (channels + 3)); }
    // The turns an iteration takes: a small log's open and save last a few milliseconds, which a
    // moment of other work on the machine covers whole, so its median rests on four times as many;
    // a large log's on twice as many, as on eight cores its turns last tens of milliseconds.
    int pairs() const { return plane_bytes * size_t(channels) < (size_t(64) << 20) ? 4 : 2; }
};

// The log sessions made so far, by channels and depth; cleared before the program ends, while
// what their sessions use is still there.
std::map<std::pair<int, int>, std::unique_ptr<LOG_SESSION>>& log_sessions()
{
    static std::map<std::pair<int, int>, std::unique_ptr<LOG_SESSION>> sessions;
    return sessions;
}

LOG_SESSION& log_session(int channels, int depth)
{
    auto& s = log_sessions()[{channels, depth}];
    if (!s)
        s = std::make_unique<LOG_SESSION>(channels, depth, channels == 1024);
    return *s;
}

// Opens the session and reads every channel of its first log, as showing the log does.
bool open_and_show(const std::string& path, std::string* error)
{
    auto opened = std::make_unique<KSM_TX_SESSION>(new TEST_ROOT, true);
    if (!opened->open_session(path.c_str())) {
        *error = opened->get_last_error();
        return false;
    }
    KSM_DATA_LOG* log = opened->get_log_at(0);
    for (int c = 0; log && c < log->get_num_channels(); ++c)
        benchmark::DoNotOptimize(log->get_channel_words(c));
    return true;
}

// Two sides timed in turns, each turn's times (ms) and their ratio kept by the pair's name over all
// repetitions: a change in the machine's speed during the run (other work, the clock, the disk)
// weighs on both sides of a turn alike, where benchmarks run apart would each catch a different
// part of it. The medians of the turns are the aims' figures. `prepare` runs before each side,
// outside the timing. Each iteration is `pairs` turns.
struct TURNS {
    std::vector<double> ours_ms, theirs_ms, ratios;
};
std::map<std::string, TURNS> g_turns;

template <typename PREPARE, typename OURS, typename THEIRS>
void in_turns(benchmark::State& state, const std::string& name, PREPARE prepare, OURS ours, THEIRS theirs,
              int pairs = 1)
{
    using CLOCK = std::chrono::steady_clock;
    auto timed = [&](auto side) {
        state.PauseTiming();
        prepare();
        state.ResumeTiming();
        const CLOCK::time_point start = CLOCK::now();
        side();
        return std::chrono::duration<double, std::milli>(CLOCK::now() - start).count();
    };
    TURNS& turns = g_turns[name];
    for (auto _ : state)
        for (int pair = 0; pair < pairs; ++pair) {
            turns.ours_ms.push_back(timed(ours));
            turns.theirs_ms.push_back(timed(theirs));
            turns.ratios.push_back(turns.ours_ms.back() / turns.theirs_ms.back());
        }
    state.counters["ours_ms"] = median(turns.ours_ms);
    state.counters["theirs_ms"] = median(turns.theirs_ms);
    state.counters["ratio"] = median(turns.ratios);
}

// The rows' open in turns with the same file read with QXmlStreamReader, every element's
// attributes copied out.
void BM_OpenRowsBesideXmlScan(benchmark::State& state)
{
    ROWS& rows = ROWS::get();
    auto open = [&] {
        auto opened = std::make_unique<KSM_TX_SESSION>(new TEST_ROOT, true);
        if (!opened->open_session(rows.path.c_str()) || opened->get_num_instances() != INSTANCES)
            state.SkipWithError(opened->get_last_error().c_str());
    };
    auto scan = [&] {
        QFile file(QString::fromStdString(rows.path));
        file.open(QIODevice::ReadOnly);
        QXmlStreamReader xml(&file);
        std::vector<QString> values;
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement)
                for (const QXmlStreamAttribute& a : xml.attributes())
                    values.push_back(a.value().toString());
        benchmark::DoNotOptimize(values.data());
    };
    in_turns(
        state, "rows", [] {}, open, scan);
}
BENCHMARK(BM_OpenRowsBesideXmlScan)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(3);

// Hands the memory the allocator keeps free back to the system, outside the timing: an open then
// gets fresh pages as an open of a new session does, and as the references get theirs. Without
// it, a log below the allocator's mapping threshold (32 MB) lands on the pages the previous run
// freed, already mapped, or on fresh ones, by what ran before it: a figure that swings between
// the two.
void release_free_memory(benchmark::State& state)
{
    state.PauseTiming();
    malloc_trim(0);
    state.ResumeTiming();
}

std::string shape_name(const benchmark::State& state)
{
    return std::to_string(state.range(0)) + "/" + std::to_string(state.range(1));
}

// Fresh memory straight from the system, its pages not yet touched (the allocator would hand back
// the pages of the previous run, already mapped, which no open of a new session gets), in huge
// pages: the mapping starts at a multiple of their size and asks for them (MADV_HUGEPAGE), so
// that a fault maps 2 MB at once instead of 4 KB.
struct FRESH_PAGES {
    static constexpr size_t HUGE_PAGE = size_t(2) << 20;
    size_t size;
    uint8_t* mapped;
    uint8_t* bytes;
    explicit FRESH_PAGES(size_t n)
        : size(n + HUGE_PAGE), mapped(static_cast<uint8_t*>(
                                   mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0))),
          bytes(reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(mapped) + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1)))
    {
        madvise(bytes, n, MADV_HUGEPAGE);
    }
    ~FRESH_PAGES() { munmap(mapped, size); }
};

// Inflates the log's channel planes into `samples` on as many threads as the open uses, with a
// decompressor each. A task is the planes of one huge page: the thread that takes it first makes
// the page present (MADV_POPULATE_WRITE), so that the system clears each huge page once, ahead of
// the writes, where threads first writing into one page at once would each have one cleared;
// before Linux 5.14, or where the advice is refused, the writes make the page present. False when
// a plane does not inflate to its size.
bool inflate_planes(const LOG_SESSION& s, CODERS& coders, uint8_t* samples)
{
    std::atomic<bool> failed{false};
    const size_t per_task = std::max<size_t>(1, FRESH_PAGES::HUGE_PAGE / s.plane_bytes);
    const size_t count = s.planes.size();
    each_index((count + per_task - 1) / per_task, s.threads(), [&](size_t thread, size_t task) {
        const size_t from = task * per_task, to = std::min(count, from + per_task);
#ifdef MADV_POPULATE_WRITE
        madvise(samples + from * s.plane_bytes, (to - from) * s.plane_bytes, MADV_POPULATE_WRITE);
#endif
        for (size_t c = from; c < to; ++c)
            if (libdeflate_zlib_decompress(coders.decompressors[thread], s.planes[c].data(), s.planes[c].size(),
                                           samples + c * s.plane_bytes, s.plane_bytes, nullptr) != LIBDEFLATE_SUCCESS)
                failed = true;
    });
    return !failed;
}

bool g_failed = false;

// Whether the planes the reference inflates are the channels our open gives, bit for bit.
bool inflates_as_opened(const LOG_SESSION& s, CODERS& coders)
{
    auto opened = std::make_unique<KSM_TX_SESSION>(new TEST_ROOT, true);
    const KSM_DATA_LOG* log = opened->open_session(s.path.c_str()) ? opened->get_log_at(0) : nullptr;
    FRESH_PAGES samples(s.plane_bytes * s.planes.size());
    if (!log || log->get_num_channels() != s.channels || !inflate_planes(s, coders, samples.bytes))
        return false;
    for (int c = 0; c < s.channels; ++c)
        if (std::memcmp(log->get_channel_words(c), samples.bytes + size_t(c) * s.plane_bytes, s.plane_bytes) != 0)
            return false;
    return true;
}

// The open in turns with libdeflate inflating the same planes into fresh memory of the log's size
// in huge pages, on as many threads as the open uses; what it inflates is checked against what
// the open gives before the timing. Before each side, outside the timing, the allocator hands
// back the memory it keeps free.
void BM_OpenBesideLibdeflate(benchmark::State& state)
{
    LOG_SESSION& s = log_session(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    CODERS coders(s.threads());
    if (!inflates_as_opened(s, coders)) {
        g_failed = true;
        state.SkipWithError("the planes libdeflate inflates differ from the open's");
        return;
    }
    std::atomic<bool> failed{false};
    std::string error;
    auto open = [&] {
        if (!open_and_show(s.path, &error))
            state.SkipWithError(error.c_str());
    };
    auto inflate = [&] {
        FRESH_PAGES samples(s.plane_bytes * s.planes.size());
        if (!inflate_planes(s, coders, samples.bytes))
            failed = true;
        benchmark::DoNotOptimize(samples.bytes);
    };
    in_turns(
        state, "open/" + shape_name(state), [] { malloc_trim(0); }, open, inflate, s.pairs());
    if (failed)
        state.SkipWithError("a plane did not inflate");
    state.counters["file_MB"] = s.file_mb();
    state.counters["threads"] = static_cast<double>(s.threads());
}

// The memory floor of any open: fresh memory of the log's size in huge pages, each plane's pages
// set to zero on as many threads as the open uses, as the inflating references fill them.
void BM_MemoryFloor(benchmark::State& state)
{
    LOG_SESSION& s = log_session(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        release_free_memory(state);
        FRESH_PAGES samples(s.plane_bytes * s.planes.size());
        each_index(s.planes.size(), s.threads(),
                   [&](size_t, size_t c) { std::memset(samples.bytes + c * s.plane_bytes, 0, s.plane_bytes); });
        benchmark::DoNotOptimize(samples.bytes);
    }
    state.counters["threads"] = static_cast<double>(s.threads());
}

std::string file_bytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A saved session's file as the save reference writes it: the bytes our save wrote, and where
// each plane's text ends in them, its planes in the file's order (the valid, trigger and break
// planes, then the channels). Empty when a plane compressed by libdeflate at level 1 is not the
// next plane the file holds (base64 of its size and zlib stream, as the file stores planes).
struct SAVED_FILE {
    std::string bytes;
    std::vector<const uint64_t*> planes;
    std::vector<size_t> plane_ends;

    SAVED_FILE(const LOG_SESSION& s, const KSM_DATA_LOG* log) : bytes(file_bytes(s.path))
    {
        const KSM_DATA_LOG::SAMPLES& samples = *KSM_ACCESS::samples(log);
        planes = {samples.valid.data(), samples.trigger.data(), samples.breaks.data()};
        for (int c = 0; c < s.channels; ++c)
            planes.push_back(log->get_channel_words(c));
        CODERS coders(1);
        size_t at = 0;
        for (const uint64_t* plane : planes) {
            QByteArray stored(int(4 + libdeflate_zlib_compress_bound(coders.compressors[0], s.plane_bytes)), 0);
            qToBigEndian<quint32>(quint32(s.plane_bytes), stored.data());
            stored.resize(int(4 + libdeflate_zlib_compress(coders.compressors[0], plane, s.plane_bytes,
                                                           stored.data() + 4, size_t(stored.size()) - 4)));
            const QByteArray text = stored.toBase64();
            at = bytes.find(text.constData(), at, size_t(text.size()));
            if (at == std::string::npos) {
                plane_ends.clear();
                return;
            }
            at += size_t(text.size());
            plane_ends.push_back(at);
        }
    }
};
// The save as a careful program writes the same file durably, on as many threads as our save
// uses: each thread compresses the next plane left with its own compressor, and the first thread
// writes the file's bytes as far as the planes compressed in order allow, a block of at least
// 1 MB at a time, into a new file beside the target, having the system start each block on its
// way to the disk; then the file's data is synced, the file renamed over the target (the
// replaced file, held open, closed on a thread of its own so that freeing its blocks delays
// nothing) and the folder synced. False when a step fails.
bool save_durably(const SAVED_FILE& file, size_t plane_bytes, size_t threads, CODERS& coders,
                  std::vector<std::vector<uint8_t>>& out, const std::string& target)
{
    constexpr size_t BLOCK = size_t(1) << 20;
    const std::string temporary = target + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const size_t count = file.planes.size();
    std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[count]);
    for (size_t k = 0; k < count; ++k)
        done[k] = false;
    std::atomic<bool> failed{false};
    size_t written = 0, ready = 0;  // the first thread's
    auto write_ready = [&](bool to_end) {
        while (ready < count && done[ready])
            ++ready;
        const size_t end = ready == count ? file.bytes.size() : ready ? file.plane_ends[ready - 1] : 0;
        if (end - written < (to_end ? 1 : BLOCK))
            return;
        for (size_t at = written; at < end;) {
            const ssize_t n = ::write(fd, file.bytes.data() + at, end - at);
            if (n <= 0) {
                failed = true;
                return;
            }
            at += size_t(n);
        }
        sync_file_range(fd, off64_t(written), off64_t(end - written), SYNC_FILE_RANGE_WRITE);
        written = end;
    };
    each_index(count, threads, [&](size_t thread, size_t k) {
        if (!libdeflate_zlib_compress(coders.compressors[thread], file.planes[k], plane_bytes, out[thread].data(),
                                      out[thread].size()))
            failed = true;
        done[k] = true;
        if (thread == 0)
            write_ready(false);
    });
    write_ready(true);
    const int replaced = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    const int folder = ::open(QFileInfo(QString::fromStdString(target)).path().toLocal8Bit().constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool saved = !failed && written == file.bytes.size() && ::fdatasync(fd) == 0 &&
                       ::rename(temporary.c_str(), target.c_str()) == 0 && ::fsync(folder) == 0;
    ::close(fd);
    ::close(folder);
    if (replaced >= 0)
        std::thread([replaced] { ::close(replaced); }).detach();
    return saved;
}

// The save in turns with that durable save of the same file; the file it writes is checked
// against ours, byte for byte, after the turns, and our file against what our save wrote first.
void BM_SaveBesideLibdeflate(benchmark::State& state)
{
    LOG_SESSION& s = log_session(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const SAVED_FILE file(s, s.session->get_log_at(0));
    if (file.plane_ends.empty()) {
        g_failed = true;
        state.SkipWithError("a plane libdeflate compresses is not the plane the file holds");
        return;
    }
    const std::string target = s.path + ".reference";
    CODERS coders(s.threads());
    std::vector<std::vector<uint8_t>> out(
        s.threads(), std::vector<uint8_t>(libdeflate_zlib_compress_bound(coders.compressors[0], s.plane_bytes)));
    auto save = [&] {
        if (!s.session->save_session(s.path.c_str()))
            state.SkipWithError(s.session->get_last_error().c_str());
    };
    auto save_reference = [&] {
        if (!save_durably(file, s.plane_bytes, s.threads(), coders, out, target))
            state.SkipWithError("the reference could not save");
    };
    in_turns(
        state, "save/" + shape_name(state), [] {}, save, save_reference, s.pairs());
    if (file_bytes(target) != file.bytes || file_bytes(s.path) != file.bytes) {
        g_failed = true;
        state.SkipWithError("the reference's file differs from ours");
    }
    state.counters["file_MB"] = s.file_mb();
    state.counters["threads"] = static_cast<double>(s.threads());
}

#define LOG_SHAPES(BM)                  \
    BENCHMARK(BM)                       \
        ->Args({1024, SMALL_DEPTH})     \
        ->Args({1024, LARGE_DEPTH})     \
        ->Args({4096, LARGE_DEPTH})     \
        ->Unit(benchmark::kMillisecond) \
        ->UseRealTime()                 \
        ->Iterations(1)                 \
        ->Repetitions(5)
LOG_SHAPES(BM_OpenBesideLibdeflate);
LOG_SHAPES(BM_MemoryFloor);
#define SAVE_SHAPES(BM)                 \
    BENCHMARK(BM)                       \
        ->Args({1024, SMALL_DEPTH})     \
        ->Args({1024, LARGE_DEPTH})     \
        ->Unit(benchmark::kMillisecond) \
        ->UseRealTime()                 \
        ->Iterations(1)                 \
        ->Repetitions(5)
SAVE_SHAPES(BM_SaveBesideLibdeflate);

// The peak of a fresh process that opens the session and shows its log, in MB.
double peak_of_open(const std::string& path)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {"--peak", QString::fromStdString(path)});
    p.waitForFinished(-1);
    return p.readAllStandardOutput().trimmed().toDouble();
}

void print_aims(const BENCH_REPORTER::TIMES& t)
{
    auto time = [&](const std::string& prefix) {  // the median of the runs whose name starts so
        const auto it = t.lower_bound(prefix);
        return it != t.end() && it->first.compare(0, prefix.size(), prefix) == 0 ? it->second : 0.0;
    };
    auto turns = [](const std::string& name) {
        const auto it = g_turns.find(name);
        return it == g_turns.end() ? TURNS() : it->second;
    };
    std::printf("\n(each figure is the median of its turns' ratios)\n");
    print_aim("open rows only (65,536 rows) / XML scan", median(turns("rows").ratios), "<=", 1.5);
    const std::string shapes[] = {"1024/131072", "1024/1048576", "4096/1048576"};
    const char* names[] = {"open 1,024 x 128K", "open 1,024 x 1M", "open 4,096 x 1M and show its log"};
    for (int i = 0; i < 3; ++i)
        print_aim(std::string(names[i]) + " / libdeflate into huge pages", median(turns("open/" + shapes[i]).ratios),
                  "<=", 1.3);
    for (int i = 0; i < 2; ++i)
        print_aim("save " + std::string(names[i]).substr(5) + " / libdeflate level 1 written and synced",
                  median(turns("save/" + shapes[i]).ratios), "<=", 1.2);
    // Figures without an aim: the spread of the opens, and how far they stay from memory's speed.
    for (int i = 0; i < 3; ++i) {
        const TURNS open = turns("open/" + shapes[i]);
        const auto worst = [](const std::vector<double>& ms) {
            return ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end());
        };
        std::printf("%s, %zu opens: median %.1f ms, worst %.1f ms; libdeflate: median %.1f ms, worst %.1f ms\n",
                    names[i], open.ours_ms.size(), median(open.ours_ms), worst(open.ours_ms), median(open.theirs_ms),
                    worst(open.theirs_ms));
        const double floor = time("BM_MemoryFloor/" + shapes[i] + "/");
        std::printf("%s / memory floor in huge pages: %.2f; libdeflate / memory floor: %.2f\n", names[i],
                    median(open.ours_ms) / floor, median(open.theirs_ms) / floor);
    }
    std::printf(
        "threads of open and save, and of their references, at 1,024 x 128K: %zu, at 1,024 x 1M: %zu (CPUs "
        "usable: %zu)\n",
        log_session(1024, SMALL_DEPTH).threads(), log_session(1024, LARGE_DEPTH).threads(), ksm_usable_cpus());
    const double inflated = 4096.0 * LARGE_DEPTH / 8 / (1 << 20);
    const double peak = peak_of_open(log_session(4096, LARGE_DEPTH).path);
    std::printf("open 4,096 x 1M and show: peak %.0f MB for %.0f MB of samples\n", peak, inflated);
    print_aim("open 4,096 x 1M and show: peak memory / inflated samples", peak / inflated, "<=", 1.3);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--peak") == 0) {
        std::string error;
        if (!open_and_show(argv[2], &error))
            std::fprintf(stderr, "%s\n", error.c_str());
        std::printf("%.1f\n", status_mb("VmHWM:"));
        return 0;
    }
    BENCH_REPORTER reporter(BENCH_REPORTER::REAL_TIME, print_aims);
    const int result = bench_main(argc, argv, reporter);
    log_sessions().clear();
    if (g_failed)
        std::printf("FAIL: a reference's output differs from ours\n");
    return g_failed ? 1 : result;
}
