// Data logs: every read of a captured log checked against plain vectors of bools filled with
// the same bits, the capture life, the memory the samples take and a save and reopen.
#include "ksm_plane_pages.h"
#include "ksm_row_blocks.h"
#include "ksm_state.h"
#include "ksm_test_session.h"
#include "ksm_worker_pool.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mman.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>

namespace {

// What a log should answer, kept the plain way.
struct ORACLE {
    int channels = 0;
    int depth = 0;
    std::vector<std::vector<bool>> bits;  // [channel][sample]
    std::vector<bool> valid, trigger, breaks, connected;
    std::vector<int> positions;
    int state = -1;
    std::vector<unsigned int> counters;
    std::vector<int> flags;
};

std::vector<bool> random_plane(std::mt19937& rng, int depth, double density)
{
    std::bernoulli_distribution on(density);
    std::vector<bool> plane(depth);
    for (int i = 0; i < depth; ++i)
        plane[i] = on(rng);
    return plane;
}

// A channel of one of several shapes: noise of some toggle rate, changes exactly on or just
// before word boundaries, all ones, or a single change.
std::vector<bool> random_channel(std::mt19937& rng, int depth)
{
    std::vector<bool> v(depth);
    const int shape = std::uniform_int_distribution<int>(0, 5)(rng);
    const double rates[] = {0.5, 0.05, 0.002};
    std::bernoulli_distribution toggle(rates[std::uniform_int_distribution<int>(0, 2)(rng)]);
    const int at = depth ? std::uniform_int_distribution<int>(0, depth - 1)(rng) : 0;
    bool level = rng() & 1;
    for (int i = 0; i < depth; ++i) {
        switch (shape) {
        case 0:
        case 1:
            level ^= toggle(rng);
            v[i] = level;
            break;
        case 2: v[i] = (i >> 6) & 1; break;
        case 3: v[i] = ((i + 1) >> 6) & 1; break;
        case 4: v[i] = true; break;
        default: v[i] = i >= at; break;
        }
    }
    return v;
}

// Fills `log` and `o` alike. Odd channels go through set_channel_words with set bits beyond
// the depth (and a word too many) that the log must drop; even ones through set_bit, each
// sample written with noise first. Channels are written last to first, so a copy that runs
// past its plane would show in the channel after it.
void capture(KSM_DATA_LOG* log, ORACLE& o, std::mt19937& rng, int channels, int depth)
{
    o = ORACLE{};
    o.channels = channels;
    o.depth = depth;
    o.bits.resize(channels);
    log->begin_capture(channels, depth, 0);
    const size_t words = (static_cast<size_t>(depth) + 63) / 64;
    for (int c = channels - 1; c >= 0; --c) {
        o.bits[c] = random_channel(rng, depth);
        if (c & 1) {
            std::vector<uint64_t> packed(words + 1, ~uint64_t(0));
            for (int i = 0; i < depth; ++i)
                if (!o.bits[c][i])
                    packed[i >> 6] &= ~(uint64_t(1) << (i & 63));
            log->set_channel_words(c, packed.data(), packed.size());
        } else {
            for (int i = 0; i < depth; ++i) {
                log->set_bit(c, i, rng() & 1);
                log->set_bit(c, i, o.bits[c][i]);
            }
        }
    }
    o.valid = random_plane(rng, depth, 0.9);
    o.trigger = random_plane(rng, depth, 0.01);
    o.breaks = random_plane(rng, depth, 0.02);
    o.connected = random_plane(rng, channels, 0.8);
    for (int i = 0; i < depth; ++i) {
        log->set_valid(i, o.valid[i]);
        log->set_trigger_mark(i, o.trigger[i]);
        log->set_break_mark(i, o.breaks[i]);
    }
    for (int c = 0; c < channels; ++c)
        log->set_connection_status(c, o.connected[c]);
    o.positions = {depth / 2, depth / 3, 0};
    o.state = static_cast<int>(rng() % 7);
    o.counters = {static_cast<unsigned int>(rng() % 100000), 0u, 65535u};
    o.flags = {1, 0};
    log->set_trigger_positions(o.positions);
    log->set_state_results(o.state, o.counters, o.flags);
    log->end_capture();
}

int naive_next(const std::vector<bool>& v, int from)
{
    for (int j = from + 1; j < static_cast<int>(v.size()); ++j)
        if (v[j] != v[from])
            return j;
    return -1;
}

int naive_previous(const std::vector<bool>& v, int from)
{
    for (int j = from - 1; j >= 0; --j)
        if (v[j] != v[from])
            return j;
    return -1;
}

// Every answer of the log against the oracle; returns at the first sample that differs.
void expect_matches(const KSM_DATA_LOG* log, const ORACLE& o)
{
    ASSERT_EQ(log->get_num_channels(), o.channels);
    ASSERT_EQ(log->get_data_sample_depth(), o.depth);
    EXPECT_TRUE(log->is_data_available(false));
    EXPECT_EQ(log->is_data_available(true), o.depth > 0);
    for (int c = 0; c < o.channels; ++c) {
        SCOPED_TRACE("channel " + std::to_string(c) + " of depth " + std::to_string(o.depth));
        EXPECT_EQ(log->get_connection_status(c), o.connected[c]);
        for (int i = 0; i < o.depth; ++i) {
            ASSERT_EQ(log->get_bit(c, i), o.bits[c][i]) << "sample " << i;
            ASSERT_EQ(log->find_next_change(c, i), naive_next(o.bits[c], i)) << "from " << i;
            ASSERT_EQ(log->find_previous_change(c, i), naive_previous(o.bits[c], i)) << "from " << i;
        }
    }
    for (int i = 0; i < o.depth; ++i) {
        ASSERT_EQ(log->is_bit_valid(i), o.valid[i]) << i;
        ASSERT_EQ(log->is_bit_trigger(i), o.trigger[i]) << i;
        ASSERT_EQ(log->is_break_previous(i), o.breaks[i]) << i;
    }
    EXPECT_EQ(log->get_data_trigger_position(), o.positions.front());
    for (size_t k = 0; k < o.positions.size(); ++k)
        EXPECT_EQ(log->get_data_trigger_position(static_cast<int>(k)), o.positions[k]);
    EXPECT_EQ(log->get_data_trigger_position(static_cast<int>(o.positions.size())), -1);
    EXPECT_EQ(log->get_state_value(), o.state);
    ASSERT_EQ(log->get_number_counters(), static_cast<int>(o.counters.size()));
    for (size_t k = 0; k < o.counters.size(); ++k)
        EXPECT_EQ(log->get_counter_value(static_cast<int>(k)), o.counters[k]);
    ASSERT_EQ(log->get_number_flags(), static_cast<int>(o.flags.size()));
    for (size_t k = 0; k < o.flags.size(); ++k)
        EXPECT_EQ(log->get_flag_value(static_cast<int>(k)), o.flags[k]);
    EXPECT_EQ(log->get_counter_value(-1), 0u);
    EXPECT_EQ(log->get_flag_value(static_cast<int>(o.flags.size())), 0);
}

class repository_log : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_session = std::make_unique<KSM_TX_SESSION>(new TEST_ROOT, true);
        ASSERT_TRUE(m_session->create_session(path().c_str()));
        m_log = m_session->create_new_log(0);
        ASSERT_NE(m_log, nullptr);
    }
    std::string path() const { return m_dir.filePath("log.lmx").toStdString(); }
    // Saves the session, closes it and opens the file in `reopened`.
    void save_and_reopen(KSM_TX_SESSION& reopened)
    {
        ASSERT_TRUE(m_session->save_session(path().c_str())) << m_session->get_last_error();
        m_session->close_session();
        ASSERT_TRUE(reopened.open_session(path().c_str())) << reopened.get_last_error();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<KSM_TX_SESSION> m_session;
    KSM_DATA_LOG* m_log = nullptr;
    std::mt19937 m_rng{20240611};
};

TEST_F(repository_log, EveryReadMatchesTheOracleAtEveryDepth)
{
    std::vector<int> depths = {0, 1, 2, 63, 64, 65, 127, 128, 129, 191, 192, 193, 1000};
    for (int k = 0; k < 12; ++k)
        depths.push_back(std::uniform_int_distribution<int>(1, 3000)(m_rng));
    ORACLE o;
    for (int depth : depths) {
        capture(m_log, o, m_rng, std::uniform_int_distribution<int>(1, 8)(m_rng), depth);
        expect_matches(m_log, o);
        if (HasFatalFailure())
            return;
    }
}

TEST_F(repository_log, ChannelWordsDropBitsBeyondTheDepth)
{
    const uint64_t ones[3] = {~uint64_t(0), ~uint64_t(0), ~uint64_t(0)};
    const uint64_t rising[2] = {0, ~uint64_t(0)};
    m_log->begin_capture(3, 100, 0);
    m_log->set_channel_words(2, ones, 1);    // a short copy leaves the rest as it was
    m_log->set_channel_words(1, rising, 2);  // exactly the plane
    m_log->set_channel_words(0, ones, 3);    // more words than the plane has
    m_log->end_capture();
    const auto& s = *KSM_ACCESS::samples(m_log);
    ASSERT_EQ(s.words, 2u);
    const uint64_t tail = (uint64_t(1) << 36) - 1;
    const KSM_PLANE_WORDS expected = {~uint64_t(0), tail, 0, tail, ~uint64_t(0), 0};
    EXPECT_EQ(s.bits, expected);
    EXPECT_EQ(m_log->find_next_change(0, 0), -1);
    EXPECT_EQ(m_log->find_previous_change(0, 99), -1);
    for (int c = 1; c < 3; ++c) {
        EXPECT_EQ(m_log->find_next_change(c, 0), 64);
        EXPECT_EQ(m_log->find_previous_change(c, 99), 63);
    }
}

TEST_F(repository_log, OutOfRangeQueriesAndWritesAreHarmless)
{
    const int bad_samples[] = {INT_MIN, -1, 70, 71, INT_MAX};
    // No samples yet.
    EXPECT_FALSE(m_log->is_data_available(false));
    EXPECT_FALSE(m_log->get_bit(0, 0));
    EXPECT_EQ(m_log->find_next_change(0, 0), -1);
    EXPECT_EQ(m_log->find_previous_change(0, 0), -1);
    EXPECT_EQ(m_log->get_data_trigger_position(), -1);
    EXPECT_EQ(m_log->get_sample_memory(), 0u);
    // Writes outside a capture are dropped.
    m_log->set_bit(0, 0, true);
    m_log->set_channel_words(0, nullptr, 0);
    m_log->end_capture();
    EXPECT_FALSE(m_log->is_data_available(false));

    m_log->begin_capture(2, 70, 0);
    const uint64_t word = ~uint64_t(0);
    for (int bad : bad_samples) {
        m_log->set_bit(0, bad, true);
        m_log->set_valid(bad, true);
        m_log->set_trigger_mark(bad, true);
        m_log->set_break_mark(bad, true);
    }
    for (int bad : {INT_MIN, -1, 2, INT_MAX}) {
        m_log->set_bit(bad, 0, true);
        m_log->set_channel_words(bad, &word, 1);
        m_log->set_connection_status(bad, false);
    }
    m_log->set_channel_words(1, nullptr, 5);
    m_log->end_capture();
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(m_log->find_next_change(c, 0), -1);
        EXPECT_TRUE(m_log->get_connection_status(c));
    }
    for (int bad : bad_samples) {
        EXPECT_FALSE(m_log->get_bit(0, bad));
        EXPECT_FALSE(m_log->is_bit_valid(bad));
        EXPECT_FALSE(m_log->is_bit_trigger(bad));
        EXPECT_FALSE(m_log->is_break_previous(bad));
        EXPECT_EQ(m_log->find_next_change(0, bad), -1);
        EXPECT_EQ(m_log->find_previous_change(0, bad), -1);
    }
    for (int bad : {INT_MIN, -1, 2, INT_MAX}) {
        EXPECT_FALSE(m_log->get_bit(bad, 0));
        EXPECT_FALSE(m_log->get_connection_status(bad));
        EXPECT_EQ(m_log->find_next_change(bad, 0), -1);
        EXPECT_EQ(m_log->find_previous_change(bad, 10), -1);
    }
    m_log->begin_capture(-5, -5, -5);
    m_log->end_capture();
    EXPECT_EQ(m_log->get_num_channels(), 0);
    EXPECT_EQ(m_log->get_data_sample_depth(), 0);
    EXPECT_FALSE(m_log->is_data_available(true));
}

TEST_F(repository_log, ACaptureStaysHiddenUntilItEnds)
{
    ORACLE old;
    capture(m_log, old, m_rng, 3, 130);
    m_log->begin_capture(5, 1000, 100);
    m_log->set_bit(0, 0, !old.bits[0][0]);
    m_log->set_trigger_positions({7});
    EXPECT_TRUE(m_log->is_acquiring_data());
    EXPECT_FALSE(m_log->is_data_available(false));
    EXPECT_EQ(m_log->get_num_channels(), 3);
    EXPECT_EQ(m_log->get_data_sample_depth(), 130);
    EXPECT_EQ(m_log->get_data_trigger_position(), old.positions.front());
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 130; ++i)
            ASSERT_EQ(m_log->get_bit(c, i), old.bits[c][i]);
    m_log->end_capture();
    EXPECT_FALSE(m_log->is_acquiring_data());
    EXPECT_TRUE(m_log->is_data_available(true));
    EXPECT_EQ(m_log->get_num_channels(), 5);
    EXPECT_EQ(m_log->get_data_segment_size(), 100);
    EXPECT_EQ(m_log->get_bit(0, 0), !old.bits[0][0]);
    EXPECT_EQ(m_log->get_data_trigger_position(), 7);
}

TEST_F(repository_log, SamplesOfALargeLogTakeLittleMoreThanTheirBits)
{
    const int channels = 1024, depth = 131072;
    const size_t words = depth / 64;
    std::vector<uint64_t> plane(words);
    m_log->begin_capture(channels, depth, 0);
    for (int c = 0; c < channels; ++c) {
        for (size_t k = 0; k < words; ++k)
            plane[k] = k * 0x9e3779b97f4a7c15ull ^ static_cast<uint64_t>(c);
        m_log->set_channel_words(c, plane.data(), words);
    }
    m_log->end_capture();
    const double packed = double(channels) * depth / 8;
    EXPECT_LE(double(m_log->get_sample_memory()), 1.25 * packed);
    EXPECT_GE(double(m_log->get_sample_memory()), packed);
    EXPECT_EQ(m_log->get_bit(1023, 131071), ((plane[words - 1] >> 63) & 1) != 0);
}

// The flags /proc/self/smaps gives the mapping that holds `at`; empty when none does.
std::string mapping_flags(const void* at)
{
    std::ifstream smaps("/proc/self/smaps");
    const auto address = reinterpret_cast<uintptr_t>(at);
    bool in = false;
    for (std::string line; std::getline(smaps, line);) {
        unsigned long from = 0, to = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx ", &from, &to) == 2 && line.find(' ') < line.find(':'))
            in = address >= from && address < to;
        else if (in && line.compare(0, 8, "VmFlags:") == 0)
            return line;
    }
    return std::string();
}

// A large log opened from its file takes huge pages where the system offers them: its channels'
// block starts at a huge page and is advised for them where the system wants that. The samples
// held count the small pages the block takes, as its last part, short of a huge page, stays in
// small pages.
TEST_F(repository_log, ALargeLogOpensInHugePagesAndCountsWhatItTakes)
{
    const KSM_HUGE_PAGES huge = ksm_huge_pages("");
    if (huge.size == 0)
        GTEST_SKIP() << "the system offers no huge pages";
    const int channels = 4095, depth = 8192;  // 4,193,280 bytes of channels: two huge pages less 1 KB
    m_log->begin_capture(channels, depth, 0);
    m_log->set_bit(channels - 1, depth - 1, true);
    m_log->end_capture();
    ASSERT_TRUE(m_session->get_signal_set_at(0)->set_sample_depth(depth));
    ASSERT_TRUE(m_session->get_signal_set_at(0)->set_data_nodes_allocated(channels));
    ASSERT_TRUE(m_session->save_session(path().c_str())) << m_session->get_last_error();
    m_session->close_session();
    const size_t before = ksm_held_sample_memory();
    KSM_TX_SESSION reopened(new TEST_ROOT, true);
    ASSERT_TRUE(reopened.open_session(path().c_str())) << reopened.get_last_error();
    ASSERT_EQ(reopened.get_trigger_at(0)->get_num_logs(), 1);
    const KSM_DATA_LOG* log = reopened.get_trigger_at(0)->get_log(0);
    ASSERT_TRUE(log->get_bit(channels - 1, depth - 1));
    const uint64_t* words = log->get_channel_words(0);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(words) % huge.size, 0u);
    EXPECT_EQ(mapping_flags(words).find(" hg") != std::string::npos, huge.advised) << mapping_flags(words);
    const size_t plane = depth / 8, page = 4096;
    EXPECT_EQ(ksm_held_sample_memory() - before, (channels * plane + page - 1) / page * page + 3 * plane);
}

// Huge pages as the system's setting offers them: to all memory, only to memory advised for
// them, or not at all; a size that is no page size offers none.
TEST(PlaneMemory, HugePagesFollowTheSystemsSetting)
{
    const struct {
        const char *enabled, *size;
        size_t pages;
        bool advised;
    } settings[] = {
        {"always [madvise] never\n", "2097152\n", 2097152, true},
        {"[always] madvise never\n", "2097152\n", 2097152, false},
        {"always madvise [never]\n", "2097152\n", 0, false},
        {"always [madvise] never\n", "3000000\n", 0, true},
        {nullptr, "2097152\n", 0, false},
    };
    for (const auto& setting : settings) {
        SCOPED_TRACE(setting.enabled ? setting.enabled : "(no setting)");
        QTemporaryDir root;
        QDir(root.path()).mkpath("sys/kernel/mm/transparent_hugepage");
        const auto write = [&root](const char* name, const char* text) {
            QFile file(root.filePath(QString("sys/kernel/mm/transparent_hugepage/") + name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(text);
        };
        if (setting.enabled)
            write("enabled", setting.enabled);
        write("hpage_pmd_size", setting.size);
        const KSM_HUGE_PAGES pages = ksm_huge_pages(root.path().toStdString());
        EXPECT_EQ(pages.size, setting.pages);
        EXPECT_TRUE(pages.size == 0 || pages.advised == setting.advised);
    }
}

// The huge pages of a block that threads fill are made present one at a time, each once, a
// little ahead of the writes; a write waits for every page it touches. A thread without a write
// to do (size 0) makes the next page present, up to as far ahead of the writes.
TEST(PlaneMemory, HugePagesAreMadePresentOnceAheadOfTheWrites)
{
    const size_t huge = ksm_huge_pages("").size, page = 4096, bytes = 5 * huge;
    void* scratch = mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
#ifdef MADV_POPULATE_WRITE
    const bool can = madvise(scratch, page, MADV_POPULATE_WRITE) == 0;
#else
    const bool can = false;
#endif
    munmap(scratch, page);
    if (huge == 0 || !can)
        GTEST_SKIP() << "the system offers no huge pages, or cannot make pages present";
    struct WRITE {  // a write of `size` bytes, or (0) a page taken ahead, any page where `idle`
        size_t offset, size;
        const char* present;
        bool idle = false;
    };
    const std::vector<std::vector<WRITE>> sequences = {
        {{0, 1, "10000"},
         {huge / 2, 1, "11000"},
         {huge, 1, "11100"},
         {huge, 1, "11110"},
         {bytes - 1, 1, "11111"},
         {bytes, 1, "11111"}},
        {{huge - 1, 2 * huge, "11100"}, {huge, 1, "11110"}, {0, 1, "11110"}},
        {{0, 0, "10000"}, {0, 0, "11000"}, {0, 0, "11100"}, {0, 0, "11100"}, {huge, 1, "11110"}, {0, 0, "11111"}},
        {{0, 0, "10000", true},
         {0, 0, "11000", true},
         {0, 0, "11100", true},
         {0, 0, "11110", true},
         {0, 0, "11111", true},
         {bytes - 1, 1, "11111"}},
    };
    for (const std::vector<WRITE>& writes : sequences) {
        void* block = ksm_allocate_planes(bytes);
        auto present = [&] {  // per huge page: whether all its small pages are
            std::vector<unsigned char> pages(bytes / page);
            EXPECT_EQ(mincore(block, bytes, pages.data()), 0);
            std::string whole;
            for (size_t k = 0; k < bytes / huge; ++k)
                whole += std::all_of(&pages[k * huge / page], &pages[(k + 1) * huge / page],
                                     [](unsigned char p) { return p & 1; })
                             ? '1'
                             : '0';
            return whole;
        };
        KSM_PLANE_PAGES pages(block, bytes);
        EXPECT_EQ(present(), "00000");
        for (const WRITE& w : writes) {
            if (w.size == 0)
                pages.take_next(w.idle);
            else
                pages.before_writing(w.offset, w.size);
            EXPECT_EQ(present(), w.present) << w.offset << " " << w.size;
        }
        ksm_free_planes(block, bytes);
    }
}

// Rows an open makes past the first few share huge pages; each stays whole, apart from every other,
// after the maker is gone and while the others go, and a block spans no more than its page.
TEST(PlaneMemory, RowsOfAnOpenShareHugePagesAndOutliveTheirMaker)
{
    const size_t huge = ksm_huge_page_size();
    if (huge == 0)
        GTEST_SKIP() << "the system offers no huge pages";
    std::vector<std::shared_ptr<KSM_TX_SIGNAL_NODES::ROW>> rows;
    {
        KSM_ROW_BLOCKS maker;
        for (size_t i = 0; i < KSM_ROW_BLOCKS::ROWS_ALONE + 2 * huge / sizeof(KSM_TX_SIGNAL_NODES::ROW); ++i) {
            rows.push_back(maker.make());
            rows.back()->name = "top|n" + std::to_string(i) + std::string(40, 'x');
            rows.back()->conditions[KSM_BANK_POWER_UP].back().value[1] = int(i);
        }
    }
    std::vector<std::pair<uintptr_t, uintptr_t>> spans;
    std::set<uintptr_t> pages;
    for (size_t i = KSM_ROW_BLOCKS::ROWS_ALONE; i < rows.size(); ++i) {
        const auto at = reinterpret_cast<uintptr_t>(rows[i].get());
        spans.emplace_back(at, at + sizeof(KSM_TX_SIGNAL_NODES::ROW));
        pages.insert(at / huge);
        pages.insert((at + sizeof(KSM_TX_SIGNAL_NODES::ROW) - 1) / huge);
    }
    EXPECT_EQ(pages.size(), 3u);  // two pages' worth of rows and their counts take a third
    std::sort(spans.begin(), spans.end());
    for (size_t i = 1; i < spans.size(); ++i)
        ASSERT_LE(spans[i - 1].second, spans[i].first);
    for (size_t i = 0; i < rows.size(); i += 2)
        rows[i].reset();
    for (size_t i = 1; i < rows.size(); i += 2) {
        EXPECT_EQ(rows[i]->name, "top|n" + std::to_string(i) + std::string(40, 'x'));
        EXPECT_EQ(rows[i]->conditions[KSM_BANK_POWER_UP].back().value[1], int(i));
    }
}

TEST_F(repository_log, SavingAndReopeningKeepsEveryBit)
{
    ORACLE first, second;
    capture(m_log, first, m_rng, 21, 777);
    const int other_entry = m_session->create_lumetra_instance();
    KSM_DATA_LOG* other = m_session->create_new_log(other_entry);
    ASSERT_NE(other, nullptr);
    capture(other, second, m_rng, 6, 64);
    ASSERT_TRUE(m_session->set_active_log(other_entry, other));
    ASSERT_TRUE(m_session->set_global_data("active instance", other_entry));
    // Instances that could have made these captures: a file may not claim more samples.
    ASSERT_TRUE(m_session->get_signal_set_at(0)->set_sample_depth(1024));
    ASSERT_TRUE(m_session->get_signal_set_at(0)->set_data_nodes_allocated(21));
    ASSERT_TRUE(m_session->get_signal_set_at(other_entry)->set_data_nodes_allocated(6));
    KSM_TX_SESSION reopened(new TEST_ROOT, true);
    ASSERT_NO_FATAL_FAILURE(save_and_reopen(reopened));
    ASSERT_EQ(reopened.get_trigger_at(0)->get_num_logs(), 1);
    ASSERT_EQ(reopened.get_trigger_at(other_entry)->get_num_logs(), 1);
    // The active log of the instance the window shows is inflated as the file is read; the
    // other stays packed until it is read.
    EXPECT_NE(KSM_ACCESS::packed(reopened.get_trigger_at(0)->get_log(0)), nullptr);
    EXPECT_EQ(KSM_ACCESS::packed(reopened.get_trigger_at(other_entry)->get_log(0)), nullptr);
    expect_matches(reopened.get_trigger_at(0)->get_log(0), first);
    expect_matches(reopened.get_trigger_at(other_entry)->get_log(0), second);
}

// An open inflates its planes on the process's worker pool where threads are free: with every one
// of them held by another job, the reading thread inflates them all itself, and waits for no one.
TEST_F(repository_log, AnOpenNeedsNoFreeWorkerThread)
{
    ORACLE oracle;
    capture(m_log, oracle, m_rng, 40, 3000);
    ASSERT_TRUE(m_session->get_signal_set_at(0)->set_sample_depth(4096));
    ASSERT_TRUE(m_session->get_signal_set_at(0)->set_data_nodes_allocated(40));
    std::mutex lock;
    std::condition_variable changed;
    size_t holding = 0;
    bool release = false;
    const size_t threads = ksm_usable_cpus() - 1;
    KSM_WORKER_POOL& pool = KSM_WORKER_POOL::shared();
    const auto held = pool.start(threads, [&] {
        std::unique_lock<std::mutex> hold(lock);
        ++holding;
        changed.notify_all();
        changed.wait(hold, [&] { return release; });
    });
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return holding == threads; });
    }
    KSM_TX_SESSION reopened(new TEST_ROOT, true);
    save_and_reopen(reopened);
    {
        std::lock_guard<std::mutex> hold(lock);
        release = true;
    }
    changed.notify_all();
    pool.wait(held);
    ASSERT_FALSE(HasFatalFailure());
    expect_matches(reopened.get_trigger_at(0)->get_log(0), oracle);
}

// A log that named its channels' nodes is read by name: rows deleted or added after the capture
// leave every other row with its own samples, also once the session is reopened.
TEST_F(repository_log, RowsKeepTheirOwnChannelsWhenTheListChangesAfterTheCapture)
{
    KSM_TX_SIGNAL_SET* set = m_session->get_signal_set_at(0);
    for (const char* name : {"a", "b", "c"})
        ASSERT_TRUE(set->insert_node(name, KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false));
    ASSERT_TRUE(set->set_sample_depth(1024));
    ASSERT_TRUE(set->set_data_nodes_allocated(3));
    m_log->begin_capture(3, 64, 0);
    m_log->set_channel_nodes({"b", "c", "a"});
    m_log->end_capture();
    ASSERT_TRUE(m_session->set_active_log(0, m_log));
    const auto channels = [](const KSM_TX_SIGNAL_SET* list) {
        std::map<std::string, int> found;
        for (int row = 0; row < list->get_num_nodes(); ++row)
            found[list->get_node_name(row)] = list->get_channel(row);
        return found;
    };
    using MAP = std::map<std::string, int>;
    EXPECT_EQ(channels(set), (MAP{{"a", 2}, {"b", 0}, {"c", 1}}));
    EXPECT_EQ(set->get_wired_channel(0), 0);
    ASSERT_EQ(set->delete_nodes(1, 1), 1);
    ASSERT_TRUE(set->insert_node("d", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false));
    const MAP edited{{"a", 2}, {"c", 1}, {"d", -1}};
    EXPECT_EQ(channels(set), edited);
    KSM_TX_SESSION reopened(new TEST_ROOT, true);
    ASSERT_NO_FATAL_FAILURE(save_and_reopen(reopened));
    EXPECT_EQ(channels(reopened.get_signal_set_at(0)), edited);
}

// A log without samples, and counters of 2^31 and above, come back from the session file.
TEST_F(repository_log, ALogOfDepthZeroSurvivesSaving)
{
    ORACLE o;
    capture(m_log, o, m_rng, 4, 0);
    KSM_TX_SESSION reopened(new TEST_ROOT, true);
    ASSERT_NO_FATAL_FAILURE(save_and_reopen(reopened));
    expect_matches(reopened.get_trigger_at(0)->get_log(0), o);
}

TEST_F(repository_log, CountersAboveTheSignedRangeSurviveSaving)
{
    m_log->begin_capture(1, 1, 0);
    m_log->set_state_results(2, {0x80000000u, 0xffffffffu}, {});
    m_log->end_capture();
    KSM_TX_SESSION reopened(new TEST_ROOT, true);
    ASSERT_NO_FATAL_FAILURE(save_and_reopen(reopened));
    const KSM_DATA_LOG* log = reopened.get_trigger_at(0)->get_log(0);
    EXPECT_EQ(log->get_counter_value(0), 0x80000000u);
    EXPECT_EQ(log->get_counter_value(1), 0xffffffffu);
}

}  // namespace
