#include "guv.h"

#include "ksm.h"

#include <QDateTime>
#include <QIODevice>

#include <algorithm>
#include <array>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// One exported column: a single signal or a bus, its members most significant first.
struct GUV_DATA_LOG_EXPORTER::COLUMN {
    std::vector<std::string> scope;      // hierarchy above the signal
    std::string reference;               // the last name component, without a bus range
    std::string range;                   // "[15:0]" of a bus, "[3]" of a bit select, or empty
    std::string full_name;               // the node name as the node list shows it
    std::vector<const uint64_t*> words;  // per member; null: the member was not captured
    std::string id;
    bool scalar = false;  // one bit, not a bus or a bit select of one
    // A single bit's line with its value left out (a zero byte, the id and a line end) when 7
    // bytes hold it, its length in the highest byte; else 0.
    uint64_t scalar_line = 0;
};

struct GUV_DATA_LOG_EXPORTER::DATABASE {
    GUV_DATA_LOG_EXPORTER_OUTPUT_FORMAT format = GUV_OUTPUT_TABLE;
    int64_t interval = 0;
    int depth = 0;
    int trigger = 0;
    int segment_size = 0;      // 0: one run of samples numbered from `trigger`
    std::vector<int> origins;  // per segment, the sample its samples are numbered from
    const uint64_t* valid = nullptr;
    std::vector<COLUMN> columns;
    std::vector<std::vector<uint64_t>> inverted_planes;  // the planes of inverted signals, as shown
};

namespace {

constexpr size_t FLUSH_SIZE = 1 << 20;
constexpr size_t DIRECT_SIZE = 1 << 16;  // pieces this large go to the file without being gathered

// Output gathered in memory and handed to the file's device in large pieces.
class WRITER {
public:
    explicit WRITER(QIODevice* file) : m_file(file) { m_text.reserve(2 * FLUSH_SIZE); }
    std::string& text() { return m_text; }
    bool maybe_flush() { return m_text.size() < FLUSH_SIZE || flush(); }
    // Adds the text: a small piece to what is gathered, a large one straight to the file.
    bool write(const char* text, size_t size)
    {
        if (size < DIRECT_SIZE) {
            m_text.append(text, size);
            return maybe_flush();
        }
        return flush() && put(text, size);
    }
    bool flush()
    {
        const bool ok = put(m_text.data(), m_text.size());
        m_text.clear();
        return ok;
    }

private:
    bool put(const char* text, size_t size) { return m_file->write(text, qint64(size)) == qint64(size); }

    QIODevice* m_file;
    std::string m_text;
};

bool bit_at(const uint64_t* words, int sample) { return (words[sample >> 6] >> (sample & 63)) & 1; }

// A time in the file: a sample count times a clock interval, exact in 128 bits (a million
// samples of ten thousand seconds are more picoseconds than 64 bits hold).
using TIME = __int128;

// Writes the time in decimal to end at `end`; returns where it begins (at most 41 characters).
char* decimal_before(TIME time, char* end)
{
    unsigned __int128 rest = time < 0 ? -static_cast<unsigned __int128>(time) : static_cast<unsigned __int128>(time);
    for (; rest > UINT64_MAX; rest /= 10)
        *--end = char('0' + int(rest % 10));
    uint64_t low = uint64_t(rest);
    do {
        *--end = char('0' + low % 10);
        low /= 10;
    } while (low);
    if (time < 0)
        *--end = '-';
    return end;
}

void append_decimal(TIME time, std::string* out)
{
    char text[48];
    const char* begin = decimal_before(time, text + sizeof(text));
    out->append(begin, size_t(text + sizeof(text) - begin));
}

// A name part as one token of the dump: blanks and tabs become '_', other control characters (a
// line end would split the declaration) are written as "\xHH", an empty part as "_", and a part
// that begins with '$', which would read as a keyword such as "$end", gets a leading backslash.
// Any other part keeps its bytes.
std::string vcd_token(const std::string& part)
{
    std::string token = part.empty() ? "_" : part[0] == '$' ? "\\" : "";
    for (const char c : part) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == ' ' || c == '\t') {
            token += '_';
        } else if (byte < 0x20 || byte == 0x7f) {
            token += "\\x";
            token += "0123456789abcdef"[byte >> 4];
            token += "0123456789abcdef"[byte & 15];
        } else {
            token += c;
        }
    }
    return token;
}

// A bit number of a range: decimal digits with an optional sign, within an int.
bool bit_number(const std::string& text, int* bit)
{
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, *bit);
    return !text.empty() && error == std::errc() && at == end;
}

// The bits "[msb:lsb]" or "[bit]" spans, 0 for any other text.
size_t range_width(const std::string& range)
{
    if (range.size() < 3 || range.front() != '[' || range.back() != ']')
        return 0;
    const std::string inner = range.substr(1, range.size() - 2);
    const size_t colon = inner.find(':');
    int msb = 0, lsb = 0;
    if (!bit_number(inner.substr(0, colon), &msb) ||
        !bit_number(colon == std::string::npos ? inner : inner.substr(colon + 1), &lsb))
        return 0;
    return size_t(std::abs(int64_t(msb) - lsb)) + 1;
}

// "cpu|pc[15..0]" -> scope {cpu}, reference "pc", range "[15:0]", each part a token of the dump.
// A range that does not span the variable's `width` bits stays in the reference ("x[3..0]" of one
// bit), as a reader would take the range for the variable's bits.
void split_name(const std::string& name, size_t width, GUV_DATA_LOG_EXPORTER::COLUMN* column)
{
    std::string rest = name;
    for (size_t bar; (bar = rest.find('|')) != std::string::npos; rest.erase(0, bar + 1))
        column->scope.push_back(vcd_token(rest.substr(0, bar)));
    const size_t open = rest.find('[');
    if (open != std::string::npos && open > 0 && rest.back() == ']') {
        std::string range = rest.substr(open);
        const size_t dots = range.find("..");
        if (dots != std::string::npos)
            range.replace(dots, 2, ":");
        if (range_width(range) == width) {
            column->range = vcd_token(range);
            rest.erase(open);
        }
    }
    column->reference = vcd_token(rest);
}

// "[7:0]" as "[0:7]": the range of a bus whose members are listed least significant first.
std::string reversed_range(const std::string& range)
{
    const size_t colon = range.find(':');
    if (colon == std::string::npos)
        return range;
    return '[' + range.substr(colon + 1, range.size() - colon - 2) + ':' + range.substr(1, colon - 1) + ']';
}

// VCD identifiers: printable characters '!' to '~', shortest first.
std::string make_id(size_t index)
{
    std::string id;
    do {
        id += char('!' + index % 94);
        index /= 94;
    } while (index-- > 0);
    return id;
}

// A copy of the channel's plane with its samples inverted (the bits past the depth kept).
const uint64_t* inverted_plane(const KSM_DATA_LOG* log, int channel, GUV_DATA_LOG_EXPORTER::DATABASE* db)
{
    const uint64_t* words = log->get_channel_words(channel);
    std::vector<uint64_t> plane(words, words + (db->depth + 63) / 64);
    for (size_t k = 0; k < plane.size(); ++k) {
        const int inside = std::min(64, db->depth - int(k) * 64);
        plane[k] ^= inside == 64 ? ~uint64_t(0) : (uint64_t(1) << inside) - 1;
    }
    db->inverted_planes.push_back(std::move(plane));
    return db->inverted_planes.back().data();
}

// A column of the members (row and channel each, most significant first); `reversed`: the
// members are listed least significant first, against the range in the name.
void add_column(const KSM_DATA_LOG* log, const KSM_DATA_SIGNAL_SET* set, int row,
                const std::vector<std::pair<int, int>>& members, bool reversed, GUV_DATA_LOG_EXPORTER::DATABASE* db)
{
    if (members.empty())
        return;
    GUV_DATA_LOG_EXPORTER::COLUMN column;
    column.full_name = set->get_node_name(row);
    split_name(column.full_name, members.size(), &column);
    if (reversed)
        column.range = reversed_range(column.range);
    for (const auto& [member, channel] : members) {
        const bool captured = log->get_connection_status(channel);
        column.words.push_back(!captured                         ? nullptr
                               : set->is_signal_inverted(member) ? inverted_plane(log, channel, db)
                                                                 : log->get_channel_words(channel));
    }
    column.id = make_id(db->columns.size());
    column.scalar = column.words.size() == 1 && column.range.find(':') == std::string::npos;
    const std::string line = '\0' + column.id + '\n';
    if (column.scalar && line.size() < sizeof(column.scalar_line)) {
        std::memcpy(&column.scalar_line, line.data(), line.size());
        column.scalar_line |= uint64_t(line.size()) << 56;
    }
    db->columns.push_back(std::move(column));
}

// Top-level single signals and groups in node-list order; a group's leaves make its bus, the
// first leaf shown on top being the most significant bit unless the group lists lsb first. An
// inverted signal is written inverted, as shown.
void collect_columns(const KSM_DATA_LOG* log, const KSM_DATA_SIGNAL_SET* set, GUV_DATA_LOG_EXPORTER::DATABASE* db)
{
    const int count = set->get_num_nodes();
    // Each capturing leaf row's channel in the log, as the signal set maps it.
    std::vector<int> channel(size_t(count), -1);
    for (int row = 0; row < count; ++row)
        channel[row] = set->get_channel_in(log, row);
    for (int row = 0; row < count;) {
        const int last = set->get_last_child_index(row);
        std::vector<std::pair<int, int>> members;
        for (int r = row; r <= last; ++r)
            if (channel[r] >= 0 && channel[r] < log->get_num_channels())
                members.emplace_back(r, channel[r]);
        const bool reversed = last > row && set->get_lsb_to_msb(row);
        if (reversed)
            std::reverse(members.begin(), members.end());
        if (last > row || channel[row] >= 0)
            add_column(log, set, row, members, reversed, db);
        row = last + 1;
    }
}

// Each segment's samples are numbered from the segment's trigger, or from its start when it has
// none, as the window numbers them.
std::vector<int> segment_origins(const KSM_DATA_LOG* log, int depth, int size)
{
    std::vector<int> origins;
    for (int start = 0; size > 0 && start < depth; start += size) {
        const int trigger = log->find_next_trigger(start, start + size);
        origins.push_back(trigger >= 0 ? trigger : start);
    }
    return origins;
}

// A bus value in hexadecimal (a bit alone as 0 or 1); "x" when any member is unknown.
void append_hex(const GUV_DATA_LOG_EXPORTER::COLUMN& column, int sample, bool valid, std::string* out)
{
    const size_t width = column.words.size();
    for (const uint64_t* w : column.words)
        if (!valid || !w) {
            *out += 'x';
            return;
        }
    for (size_t digit = (width + 3) / 4; digit-- > 0;) {
        unsigned value = 0;
        for (size_t b = std::min(width, digit * 4 + 4); b-- > digit * 4;)
            value = value << 1 | unsigned(bit_at(column.words[width - 1 - b], sample));
        *out += "0123456789ABCDEF"[value];
    }
}

std::string timescale(int64_t interval, int64_t* step)
{
    static const char* units[] = {"ps", "ns", "us", "ms", "s"};
    int64_t scale = 1;
    int exponent = 0;
    while (exponent < 14 && interval % (scale * 10) == 0)
        scale *= 10, ++exponent;
    *step = interval / scale;
    static const char* factors[] = {"1", "10", "100"};
    return std::string(factors[exponent % 3]) + " " + units[exponent / 3];
}

void write_vcd_header(const GUV_DATA_LOG_EXPORTER::DATABASE& db, std::vector<size_t> order, int64_t* step,
                      std::string* out)
{
    *out += "$date\n  " + QDateTime::currentDateTime().toString("ddd MMM d hh:mm:ss yyyy").toStdString() + "\n$end\n";
    *out += "$version\n  Korvane data log exporter 1.0\n$end\n";
    *out += "$timescale\n  " + timescale(db.interval, step) + "\n$end\n";
    *out += "$scope module capture $end\n";
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return db.columns[a].scope < db.columns[b].scope; });
    std::vector<std::string> open;
    for (size_t index : order) {
        const auto& column = db.columns[index];
        size_t common = 0;
        while (common < open.size() && common < column.scope.size() && open[common] == column.scope[common])
            ++common;
        for (; open.size() > common; open.pop_back())
            *out += "$upscope $end\n";
        for (; open.size() < column.scope.size(); open.push_back(column.scope[open.size()]))
            *out += "$scope module " + column.scope[open.size()] + " $end\n";
        *out += "$var wire " + std::to_string(column.words.size()) + " " + column.id + " " + column.reference +
                (column.range.empty() ? "" : " " + column.range) + " $end\n";
    }
    for (; !open.empty(); open.pop_back())
        *out += "$upscope $end\n";
    *out += "$upscope $end\n$enddefinitions $end\n";
}

// The dump is written CHUNK blocks of 64 samples at a time. Per column and block, the samples
// where the column is written: where its value changes while the samples stay valid, and where
// validity itself changes (the value turns to x or back); only samples inside the log count.
constexpr int CHUNK = 32;

struct VALIDITY {
    uint64_t valid[CHUNK] = {};
    uint64_t keep[CHUNK] = {};     // valid here and at the sample before
    uint64_t toggled[CHUNK] = {};  // valid here but not before, or the other way round
};

struct COLUMN_CHUNK {
    // A bus's members: the character of each that keeps one value through the chunk ('0', '1',
    // or 'x' when not captured), '\0' where it varies; its lines start as a copy of these.
    std::string steady;
    std::vector<uint32_t> varying;  // the octets of members (eight from the first on) where one varies
    std::vector<size_t> lines;      // the bus's lines at valid samples: where their bits go in the text
};

// Four words as one value: GCC's vector extension, a register of AVX2 where the function is built
// for it, two of SSE2 else.
typedef uint64_t WORDS4 __attribute__((vector_size(32)));

template <typename BODY> inline void for_word_fours(BODY body)
{
#pragma GCC unroll 8
    for (int k = 0; k < CHUNK; k += 4)
        body(k);
}

// Adds a member's change words over a whole chunk after the first (`words` from its first block
// on, the word before them readable) to `changes`; returns '0' or '1' where the member keeps that
// value through the chunk (changing at most where it starts), else '\0'. Four words a step.
__attribute__((always_inline)) inline char add_whole_chunk_body(const uint64_t* __restrict words,
                                                                uint64_t* __restrict changes)
{
    WORDS4 any = {}, all = ~any;
    for_word_fours([&](int k) {
        WORDS4 w;
        std::memcpy(&w, words + k, sizeof w);
        any |= w, all &= w;
    });
    const uint64_t some = any[0] | any[1] | any[2] | any[3], every = all[0] & all[1] & all[2] & all[3];
    if (!some || !~every) {
        changes[0] |= (words[0] ^ (words[-1] >> 63)) & 1;
        return some ? '1' : '0';
    }
    for_word_fours([&](int k) {
        WORDS4 w, before, c;
        std::memcpy(&w, words + k, sizeof w);
        std::memcpy(&before, words + k - 1, sizeof before);
        std::memcpy(&c, changes + k, sizeof c);
        c |= w ^ ((w << 1) | (before >> 63));
        std::memcpy(changes + k, &c, sizeof c);
    });
    return '\0';
}

#if defined(__x86_64__) && defined(__GNUC__)
const bool HAS_AVX2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}();
__attribute__((target("avx2"))) char add_whole_chunk_avx2(const uint64_t* __restrict words,
                                                          uint64_t* __restrict changes)
{
    return add_whole_chunk_body(words, changes);
}
#endif

char add_whole_chunk(const uint64_t* __restrict words, uint64_t* __restrict changes)
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (HAS_AVX2)
        return add_whole_chunk_avx2(words, changes);
#endif
    return add_whole_chunk_body(words, changes);
}

// The same for any chunk: the log's first or a shorter last one too.
char add_changes(const uint64_t* words, bool opens_log, int count, uint64_t* changes)
{
    if (count == CHUNK && !opens_log)
        return add_whole_chunk(words, changes);
    uint64_t any = 0, all = ~uint64_t(0);
    for (uint64_t k = 0, before = opens_log ? words[0] & 1 : words[-1] >> 63; k < uint64_t(count); ++k) {
        changes[k] |= words[k] ^ ((words[k] << 1) | before);
        before = words[k] >> 63;
        any |= words[k], all &= words[k];
    }
    return !any ? '0' : ~all ? '\0' : '1';
}

// A bus this wide is scanned ahead of the dump, each member's plane from start to end: a pass per
// chunk would read a few words of each member, a page apart from the next member's.
constexpr size_t SCANNED_WIDTH = 64;

// What a wide bus's chunks need, from that scan: where any member changes, and per chunk each
// member's steady character (as COLUMN_CHUNK::steady).
struct BUS_SCAN {
    std::vector<uint64_t> changes;  // per block
    std::string steady;             // per chunk, then per member
};

// Scans members [from, to) of the column: their steady characters into `scan`, their change words
// ORed into `changes`.
void scan_members(const GUV_DATA_LOG_EXPORTER::COLUMN& column, int blocks, size_t from, size_t to, BUS_SCAN* scan,
                  uint64_t* changes)
{
    const size_t width = column.words.size();
    for (size_t m = from; m < to; ++m)
        if (const uint64_t* w = column.words[m])
            for (int first = 0; first < blocks; first += CHUNK)
                scan->steady[size_t(first / CHUNK) * width + m] =
                    add_changes(w + first, first == 0, std::min(CHUNK, blocks - first), changes + first);
}

// Scans the wide buses (the other columns' scans stay empty), their members shared among the
// threads.
std::vector<BUS_SCAN> scan_wide_buses(const GUV_DATA_LOG_EXPORTER::DATABASE& db, int threads)
{
    const int blocks = (db.depth + 63) / 64, chunks = (blocks + CHUNK - 1) / CHUNK;
    std::vector<BUS_SCAN> scans(db.columns.size());
    for (size_t c = 0; c < db.columns.size(); ++c) {
        const size_t width = db.columns[c].words.size();
        if (width < SCANNED_WIDTH)
            continue;
        scans[c].steady.assign(size_t(chunks) * width, 'x');
        std::vector<std::vector<uint64_t>> changes(size_t(threads), std::vector<uint64_t>(size_t(blocks), 0));
        std::vector<std::thread> helpers;
        for (int t = 0; t < threads; ++t)
            helpers.emplace_back(scan_members, std::cref(db.columns[c]), blocks, width * size_t(t) / size_t(threads),
                                 width * size_t(t + 1) / size_t(threads), &scans[c], changes[size_t(t)].data());
        for (std::thread& helper : helpers)
            helper.join();
        scans[c].changes = std::move(changes[0]);
        for (size_t t = 1; t < changes.size(); ++t)
            for (size_t b = 0; b < size_t(blocks); ++b)
                scans[c].changes[b] |= changes[t][b];
    }
    return scans;
}

// Where a column is written in the chunk, from where it changes: where its value changes while
// the samples stay valid, where validity itself changes, and at the dump's first sample.
void put_written(const uint64_t* changes, int first, int count, const VALIDITY& v, uint64_t* written, size_t stride)
{
    for (int k = 0; k < count; ++k)
        written[size_t(k) * stride] = (changes[k] & v.keep[k]) | v.toggled[k];
    if (first == 0)
        written[0] |= 1;  // every column's first value opens the dump
}

// Where the column changes inside the chunk: from its scan, or from the change words of its
// members' planes ORed, read in place member after member with the next members' lines asked for
// ahead. A bus's members that keep one value through the chunk are noted on the way. The samples
// where the column is written go to `written`, a block's word `stride` words after the one before.
void find_changes(const GUV_DATA_LOG_EXPORTER::COLUMN& column, const BUS_SCAN& scan, int first, int count,
                  const VALIDITY& v, COLUMN_CHUNK* chunk, uint64_t* written, size_t stride)
{
    uint64_t changes[CHUNK] = {};
    const size_t width = column.words.size();
    if (!scan.changes.empty()) {
        std::copy_n(&scan.changes[size_t(first)], count, changes);
        chunk->steady.assign(scan.steady, size_t(first / CHUNK) * width, width);
    } else {
        chunk->steady.assign(column.scalar ? 0 : width, 'x');
        for (size_t m = 0; m < width; ++m) {
            if (m + 8 < width && column.words[m + 8])
                for (int k = 0; k < count; k += 8)  // every cache line of the member's words
                    __builtin_prefetch(column.words[m + 8] + first + k);
            if (!column.words[m])
                continue;
            const char steady = add_changes(column.words[m] + first, first == 0, count, changes);
            if (!column.scalar)
                chunk->steady[m] = steady;
        }
    }
    chunk->varying.clear();
    for (size_t m = 0; m < chunk->steady.size(); ++m)
        if (!chunk->steady[m] && (chunk->varying.empty() || chunk->varying.back() != m / 8))
            chunk->varying.push_back(uint32_t(m / 8));
    put_written(changes, first, count, v, written, stride);
}

// The same for a captured single bit, with its plane's words of the chunk copied beside (to
// `values`, as `written`).
void find_bit_changes(const uint64_t* plane, int first, int count, const VALIDITY& v, uint64_t* written,
                      uint64_t* values, size_t stride)
{
    uint64_t changes[CHUNK] = {};
    add_changes(plane + first, first == 0, count, changes);
    put_written(changes, first, count, v, written, stride);
    for (int k = 0; k < count; ++k)
        values[size_t(k) * stride] = plane[first + k];
}

// Eight members' bits at one sample (first member in bit 0) as their eight characters.
const uint64_t* octet_chars()
{
    static const std::array<uint64_t, 256> table = [] {
        std::array<uint64_t, 256> t{};
        for (unsigned c = 0; c < 256; ++c)
            for (unsigned i = 0; i < 8; ++i)
                t[c] |= uint64_t('0' + ((c >> i) & 1)) << (8 * i);
        return t;
    }();
    return table.data();
}

uint64_t rotate_left(uint64_t word, int by) { return (word << (by & 63)) | (word >> (-by & 63)); }

// Writes the bits of a bus's varying members into its lines at valid samples, eight members at a
// time: their words of a block read once, each line's eight bits gathered into one octet (each
// member's bit rotated to its place) and written as eight characters by one store, x where a
// member was not captured. `written` as find_changes left it.
void put_bus_bits(const GUV_DATA_LOG_EXPORTER::COLUMN& column, int first, int count, const VALIDITY& v,
                  const COLUMN_CHUNK& chunk, const uint64_t* written, size_t stride, char* text)
{
    static const uint64_t none[CHUNK] = {};
    const uint64_t* chars = octet_chars();
    const size_t width = column.words.size();
    for (uint32_t octet_index : chunk.varying) {
        const size_t group = size_t(octet_index) * 8, n = std::min<size_t>(8, width - group);
        const uint64_t* planes[8];
        uint64_t unknown = 0;  // the characters of members not captured
        for (size_t i = 0; i < 8; ++i) {
            const bool captured = i < n && column.words[group + i];
            planes[i] = captured ? column.words[group + i] + first : none;
            unknown |= uint64_t(i < n && !captured ? 0xff : 0) << (8 * i);
        }
        const size_t* line = chunk.lines.data();
        for (int k = 0; k < count; ++k) {
            uint64_t at = written[size_t(k) * stride] & v.valid[k];
            if (!at)
                continue;
            uint64_t words[8];
            for (int i = 0; i < 8; ++i)
                words[i] = planes[i][k];
            for (; at; at &= at - 1, ++line) {
                const int bit = __builtin_ctzll(at);
                uint64_t octet = 0;
                for (int i = 0; i < 8; ++i)
                    octet |= rotate_left(words[i] & (uint64_t(1) << bit), i);
                const uint64_t eight =
                    (chars[rotate_left(octet, -bit) & 255] & ~unknown) | (0x7878787878787878 & unknown);  // 'x'
                std::memcpy(text + *line + group, &eight, n);
            }
        }
    }
}

// The length of one of the column's value lines: "0id\n" or "b0101 id\n".
size_t line_length(const GUV_DATA_LOG_EXPORTER::COLUMN& column)
{
    return (column.scalar ? 2 : column.words.size() + 3) + column.id.size();
}

// Writes the column's value line at the sample (bit `bit` of block `k`): a single bit's whole, a
// bus's with its steady members' characters, the others left to put_bus_bits.
char* put_value(const GUV_DATA_LOG_EXPORTER::COLUMN& column, int first, int k, int bit, const VALIDITY& v,
                const char* text, char* out, COLUMN_CHUNK* chunk)
{
    const size_t width = column.words.size();
    if (column.scalar) {
        const uint64_t* w = column.words[0];
        *out++ = w && ((v.valid[k] >> bit) & 1) ? char('0' + ((w[first + k] >> bit) & 1)) : 'x';
    } else {
        *out++ = 'b';
        if ((v.valid[k] >> bit) & 1) {
            chunk->lines.push_back(size_t(out - text));
            std::memcpy(out, chunk->steady.data(), width);
        } else {
            std::memset(out, 'x', width);
        }
        out += width;
        *out++ = ' ';
    }
    std::memcpy(out, column.id.data(), column.id.size());
    out += column.id.size();
    *out++ = '\n';
    return out;
}

// Writes '#', the time and a line end.
char* put_time(TIME time, char* out)
{
    char text[48];
    text[sizeof(text) - 1] = '\n';
    char* begin = decimal_before(time, text + sizeof(text) - 1);
    *--begin = '#';
    const size_t length = size_t(text + sizeof(text) - begin);
    std::memcpy(out, begin, length);
    return out + length;
}

char* put_text(const char* text, char* out)
{
    const size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return out + length;
}

// What one thread needs to render chunks: per column where it is written, and per sample of a
// block the columns written there.
struct CHUNK_WRITER {
    std::vector<COLUMN_CHUNK> chunks;
    // Per 64 columns, 64 words, one per sample of a block: a bit per column written there.
    std::vector<uint64_t> rows;
    // Per column, its prepared line (COLUMN::scalar_line with a '0') where it is a captured single
    // bit that has one, else 0; and a bit per column (64 to a word) where it has one.
    std::vector<uint64_t> lines, prepared;
    std::vector<const uint64_t*> planes;  // per column, such a bit's plane, else null
    bool all_prepared = false;            // every column has one
    // Per block of the chunk, in column order, the columns' written words and the prepared bits'
    // plane words; a block's run `stride` words from the next, a stride that is no power of two,
    // so that one column's words do not all fall into one set of the cache.
    size_t stride = 0;
    std::vector<uint64_t> written, values;
    size_t sample_room = 0;  // the most text one sample takes
};

// A rendered chunk waiting to be written.
struct CHUNK_TEXT {
    std::string text;  // room for the chunk's text; its first `size` characters hold it
    size_t size = 0;
};

constexpr size_t TIME_ROOM = 43;  // '#', up to 41 characters of a time and a line end

// One step of turning a square of 64 by 64 bits over: in each pair of runs of `J` words, the
// upper `J` bits of the first run's words trade places with the lower ones of the second's
// (`mask` the lower bits of each `2 * J`). The runs are whole words side by side, so that the
// compiler takes several at a time.
template <int J> void swap_halves(uint64_t* words, uint64_t mask)
{
    for (int run = 0; run < 64; run += 2 * J)
        for (int i = run; i < run + J; ++i) {
            const uint64_t t = ((words[i] >> J) ^ words[i + J]) & mask;
            words[i] ^= t << J;
            words[i + J] ^= t;
        }
}

// Transposes a square of 64 by 64 bits in place: bit j of word i goes to bit i of word j.
void transpose(uint64_t* words)
{
    swap_halves<32>(words, 0x00000000ffffffff);
    swap_halves<16>(words, 0x0000ffff0000ffff);
    swap_halves<8>(words, 0x00ff00ff00ff00ff);
    swap_halves<4>(words, 0x0f0f0f0f0f0f0f0f);
    swap_halves<2>(words, 0x3333333333333333);
    swap_halves<1>(words, 0x5555555555555555);
}

// Sorts out the columns written at each sample of block `k` into `rows`, 64 columns at a time
// (their written words as a square of bits turned over); returns the samples where any column
// is written.
uint64_t sort_lines(int k, CHUNK_WRITER* w)
{
    uint64_t any = 0;
    for (size_t g = 0; g < w->prepared.size(); ++g) {
        uint64_t* square = &w->rows[g * 64];
        std::copy_n(&w->written[size_t(k) * w->stride + g * 64], 64, square);  // the columns past the last stay 0
        uint64_t some = 0;
        for (int i = 0; i < 64; ++i)
            some |= square[i];
        if (some)
            transpose(square);
        any |= some;
    }
    return any;
}

// Writes the prepared lines of the columns in `runs` (a word per 64 columns, each 64 words after
// the one before; `lines` and `values` from their first column on) at the sample `bit`, each with
// its plane's bit put in. Out of line, its loop keeps its values in registers.
__attribute__((noinline)) char* put_prepared(const uint64_t* lines, const uint64_t* values, int bit,
                                             const uint64_t* runs, size_t count, char* out)
{
    for (size_t g = 0; g < count; ++g, lines += 64, values += 64)
        for (uint64_t run = runs[g * 64]; run; run &= run - 1) {
            const unsigned i = unsigned(__builtin_ctzll(run));
            const uint64_t line = lines[i] | ((values[i] >> bit) & 1);
            std::memcpy(out, &line, sizeof(line));
            out += line >> 56;
        }
    return out;
}

// Writes the sample `bit` of block `k` at `out` (`text` the chunk's text): a time stamp, then
// the values of the columns written there in column order, a captured single bit's line as its
// prepared bytes with the value put in. The first sample's values make the $dumpvars section.
// Returns the text's end.
char* put_sample(const GUV_DATA_LOG_EXPORTER::DATABASE& db, int first, int k, int bit, int64_t step, const VALIDITY& v,
                 CHUNK_WRITER* w, char* text, char* out)
{
    const int sample = (first + k) * 64 + bit;
    out = sample == 0 ? put_text("#0\n$dumpvars\n", out) : put_time(TIME(sample) * step, out);
    const bool valid = (v.valid[k] >> bit) & 1;
    const size_t groups = w->prepared.size();
    const uint64_t* values = &w->values[size_t(k) * w->stride];
    if (valid && w->all_prepared)
        out = put_prepared(w->lines.data(), values, bit, &w->rows[size_t(bit)], groups, out);
    else
        for (size_t g = 0; g < groups; ++g) {
            const uint64_t others = valid ? ~w->prepared[g] : ~uint64_t(0);  // the columns put_value writes
            for (uint64_t at = w->rows[g * 64 + size_t(bit)]; at; at &= at - 1) {
                const uint64_t other = at & others & -(at & others);  // the first of them, or 0
                const uint64_t run = at & (other - 1);                // the prepared lines before it
                out = put_prepared(&w->lines[g * 64], &values[g * 64], bit, &run, 1, out);
                if (!(at ^= run))
                    break;
                const size_t c = g * 64 + size_t(__builtin_ctzll(at));
                out = put_value(db.columns[c], first, k, bit, v, text, out, &w->chunks[c]);
            }
        }
    return sample == 0 ? put_text("$end\n", out) : out;
}

constexpr size_t TEXT_GROWTH = size_t(1) << 18;  // the least a chunk's text grows by

// Writes the chunk's samples in order into its text, growing the text (`make_room(bytes)` asked
// for what it grows by; false: stop) whenever what is left of it might not hold the next sample.
template <class MAKE_ROOM>
bool put_samples(const GUV_DATA_LOG_EXPORTER::DATABASE& db, int first, int count, int64_t step, const VALIDITY& v,
                 CHUNK_WRITER* w, CHUNK_TEXT* out, MAKE_ROOM&& make_room)
{
    size_t size = 0;
    for (int k = 0; k < count; ++k) {
        for (uint64_t any = sort_lines(k, w); any; any &= any - 1) {
            if (out->text.size() - size < w->sample_room) {
                const size_t bytes = std::max(w->sample_room, TEXT_GROWTH);
                if (!make_room(bytes))
                    return false;
                out->text.resize(out->text.size() + bytes);
            }
            char* text = out->text.data();
            size = size_t(put_sample(db, first, k, __builtin_ctzll(any), step, v, w, text, text + size) - text);
        }
    }
    out->size = size;
    return true;
}

// Sets up a thread's writer for the columns.
void prepare(const GUV_DATA_LOG_EXPORTER::DATABASE& db, CHUNK_WRITER* w)
{
    w->chunks.resize(db.columns.size());
    w->prepared.assign((db.columns.size() + 63) / 64, 0);
    for (size_t c = 0; c < db.columns.size(); ++c) {
        const GUV_DATA_LOG_EXPORTER::COLUMN& column = db.columns[c];
        const bool prepared = column.scalar && column.words[0] && column.scalar_line;
        w->lines.push_back(prepared ? column.scalar_line | '0' : 0);
        w->planes.push_back(prepared ? column.words[0] : nullptr);
        w->prepared[c / 64] |= uint64_t(prepared) << (c % 64);
    }
    w->all_prepared = std::all_of(w->lines.begin(), w->lines.end(), [](uint64_t line) { return line != 0; });
    w->rows.resize(64 * w->prepared.size());
    w->sample_room = TIME_ROOM + sizeof(uint64_t);  // a time stamp and a spare word for a line copied as one
    for (const GUV_DATA_LOG_EXPORTER::COLUMN& column : db.columns)
        w->sample_room += line_length(column);
    w->stride = (db.columns.size() + 63) / 64 * 64 + 8;
    w->written.resize(CHUNK * w->stride);
    w->values.resize(CHUNK * w->stride);
}

// The dump's text of the `length` blocks from block `first` on (fewer at the end): where each column
// is written (and the single bits' plane words beside that, block by block), then the lines (as
// put_samples), then the buses' varying bits.
template <class MAKE_ROOM>
bool render_chunk(const GUV_DATA_LOG_EXPORTER::DATABASE& db, const std::vector<BUS_SCAN>& scans, int first, int length,
                  int64_t step, CHUNK_WRITER* w, CHUNK_TEXT* out, MAKE_ROOM&& make_room)
{
    const int count = std::min(length, (db.depth + 63) / 64 - first);
    VALIDITY v;
    for (int k = 0; k < count; ++k) {
        const int block = first + k, inside = std::min(64, db.depth - block * 64);
        const uint64_t valid = db.valid[block], mask = inside == 64 ? ~uint64_t(0) : (uint64_t(1) << inside) - 1;
        const uint64_t before = (valid << 1) | (block > 0 ? db.valid[block - 1] >> 63 : valid & 1);
        v.valid[k] = valid, v.keep[k] = valid & before & mask, v.toggled[k] = (valid ^ before) & mask;
    }
    if (w->chunks.empty())
        prepare(db, w);
    const size_t columns = db.columns.size();
    for (size_t c = 0; c < columns; ++c) {
        if (const uint64_t* ahead = w->planes[std::min(c + 4, columns - 1)])
            for (int k = 0; k < count; k += 8)  // every cache line of its plane in the chunk
                __builtin_prefetch(ahead + first + k);
        if (w->planes[c]) {
            find_bit_changes(w->planes[c], first, count, v, &w->written[c], &w->values[c], w->stride);
            continue;
        }
        find_changes(db.columns[c], scans[c], first, count, v, &w->chunks[c], &w->written[c], w->stride);
        w->chunks[c].lines.clear();
    }
    if (!put_samples(db, first, count, step, v, w, out, make_room))
        return false;
    char* text = out->text.data();
    for (size_t c = 0; c < db.columns.size(); ++c)
        if (!db.columns[c].scalar)
            put_bus_bits(db.columns[c], first, count, v, w->chunks[c], &w->written[c], w->stride, text);
    return true;
}

// The hand-over of rendered chunks between the threads that render them and the thread that
// writes them in order: chunk i goes to slot i % slots, which takes it once the chunk before it
// there was written. Each slot has its own wake-up, and the writer its own, so that a change
// wakes only the thread that waits for it. The slots' texts share a byte budget: a text grows
// only within it, except the next one to be written, which must not wait for the others.
class CHUNK_SLOTS {
public:
    CHUNK_SLOTS(int count, size_t budget)
        : m_rendered(size_t(count), -1), m_free_for(size_t(count)), m_slot_freed(new std::condition_variable[count]),
          m_budget(budget)
    {
        for (int i = 0; i < count; ++i)
            m_free_for[size_t(i)] = i;
    }
    // Waits until chunk `i` may be rendered into its slot; false when the writing stopped.
    bool wait_free(int i)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_slot_freed[slot(i)].wait(lock, [&] { return m_stopped || m_free_for[slot(i)] == i; });
        return !m_stopped;
    }
    // Waits until chunk `i`'s text may grow by `bytes`; false when the writing stopped.
    bool wait_room(int i, size_t bytes)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_room_freed.wait(lock, [&] { return m_stopped || m_held + bytes <= m_budget || i == m_next; });
        m_held += bytes;
        return !m_stopped;
    }
    bool over_budget()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_held > m_budget;
    }
    void set_rendered(int i)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_rendered[slot(i)] = i;
        }
        m_chunk_rendered.notify_one();
    }
    void wait_rendered(int i)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_chunk_rendered.wait(lock, [&] { return m_rendered[slot(i)] == i; });
    }
    // Frees the slot of chunk `i` for the chunk after it there (`released` bytes of its text given
    // back), or stops the rendering.
    void set_written(int i, bool go_on, size_t released)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_free_for[slot(i)] = i + int(m_free_for.size());
            m_stopped = !go_on;
            m_next = i + 1;
            m_held -= released;
        }
        m_room_freed.notify_all();
        if (go_on) {
            m_slot_freed[slot(i)].notify_one();
            return;
        }
        for (size_t k = 0; k < m_free_for.size(); ++k)
            m_slot_freed[k].notify_all();
    }
    size_t slot(int i) const { return size_t(i) % m_free_for.size(); }

private:
    std::mutex m_mutex;
    std::vector<int> m_rendered;  // per slot, the chunk rendered into it
    std::vector<int> m_free_for;  // per slot, the chunk it takes next
    std::unique_ptr<std::condition_variable[]> m_slot_freed;
    std::condition_variable m_chunk_rendered;
    std::condition_variable m_room_freed;
    const size_t m_budget;
    size_t m_held = 0;  // the bytes the slots' texts hold
    int m_next = 0;     // the chunk written next
    bool m_stopped = false;
};

size_t vcd_budget = size_t(46) << 20;

// The bytes the threads' working memory leaves of the budget for the slots' texts: per column its
// chunk, its written and plane words of each block, its prepared line, plane and share of the
// rows, and a bus's steady characters.
size_t text_budget(const GUV_DATA_LOG_EXPORTER::DATABASE& db, int threads)
{
    size_t working = 0;
    for (const GUV_DATA_LOG_EXPORTER::COLUMN& column : db.columns)
        working +=
            sizeof(COLUMN_CHUNK) + (2 * CHUNK + 3) * sizeof(uint64_t) + (column.scalar ? 0 : column.words.size());
    working *= size_t(threads);
    return vcd_budget - std::min(vcd_budget, working);
}

// The blocks a chunk holds: as many of CHUNK's halvings (so that a chunk lies inside one wide
// bus's scanned chunk) as keep a chunk where every column changes at every sample within a
// quarter of the texts' budget (the next chunk to be written may exceed the budget by that, so
// that the whole stays within 46 MB and a quarter of the texts' budget); at least one.
int chunk_length(const GUV_DATA_LOG_EXPORTER::DATABASE& db, size_t budget)
{
    size_t per_sample = TIME_ROOM;
    for (const GUV_DATA_LOG_EXPORTER::COLUMN& column : db.columns)
        per_sample += line_length(column);
    int length = CHUNK;
    while (length > 1 && 32 + size_t(length) * 64 * per_sample > budget / 4)
        length /= 2;
    return length;
}

// Chunks are independent: several threads render them, each every threads-th chunk into its two
// slots in turn, while the calling thread writes them in order. The threads' working memory and
// the slots' texts stay within a budget whatever the threads.
bool write_vcd(const GUV_DATA_LOG_EXPORTER::DATABASE& db, WRITER* writer)
{
    std::vector<size_t> order(db.columns.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    int64_t step = 1;
    write_vcd_header(db, order, &step, &writer->text());
    const int blocks = (db.depth + 63) / 64, most = GUV_DATA_LOG_EXPORTER::vcd_threads();
    const size_t budget = text_budget(db, most);
    const int length = chunk_length(db, budget), chunks = (blocks + length - 1) / length;
    const int threads = std::min(most, chunks);
    std::vector<CHUNK_TEXT> texts{size_t(2 * threads)};
    const std::vector<BUS_SCAN> scans = scan_wide_buses(db, threads);
    CHUNK_SLOTS handover(2 * threads, budget);
    const auto render = [&](int thread) {
        CHUNK_WRITER w;
        for (int i = thread; i < chunks && handover.wait_free(i); i += threads) {
            if (!render_chunk(db, scans, i * length, length, step, &w, &texts[handover.slot(i)],
                              [&](size_t bytes) { return handover.wait_room(i, bytes); }))
                return;
            handover.set_rendered(i);
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 0; t < threads; ++t)
        helpers.emplace_back(render, t);
    bool written = true;
    for (int i = 0; i < chunks && written; ++i) {
        handover.wait_rendered(i);
        CHUNK_TEXT& done = texts[handover.slot(i)];
        written = writer->write(done.text.data(), done.size);
        size_t released = 0;
        if (handover.over_budget())  // a text grown past the budget is given back once written
            released = done.text.size(), std::string().swap(done.text);
        handover.set_written(i, written, released);
    }
    for (std::thread& helper : helpers)
        helper.join();
    char end[TIME_ROOM];
    writer->text().append(end, size_t(put_time(TIME(db.depth) * step, end) - end));
    return written && writer->flush();
}

// A field as RFC 4180 writes it: in double quotes, inner quotes doubled, when it holds the
// separator, a quote or a line end; else as it is.
void append_field(const std::string& field, char separator, std::string* out)
{
    const char special[] = {separator, '"', '\r', '\n', '\0'};
    if (field.find_first_of(special) == std::string::npos) {
        *out += field;
        return;
    }
    *out += '"';
    for (const char c : field) {
        *out += c;
        if (c == '"')
            *out += '"';
    }
    *out += '"';
}

// Comma-separated values (separator ',') or the table file (separator '\t'): a header line,
// then per sample its number from the trigger (of its segment), its time in ps and one value per
// column.
bool write_table(const GUV_DATA_LOG_EXPORTER::DATABASE& db, char separator, WRITER* writer)
{
    std::string& out = writer->text();
    out += separator == ',' ? "Sample,Time (ps)" : "Sample\tTime (ps)";
    for (const auto& column : db.columns) {
        out += separator;
        append_field(column.full_name, separator, &out);
    }
    out += '\n';
    for (int s = 0; s < db.depth; ++s) {
        const int number = s - (db.segment_size > 0 ? db.origins[size_t(s / db.segment_size)] : db.trigger);
        out += std::to_string(number) + separator;
        append_decimal(TIME(number) * db.interval, &out);
        const bool valid = bit_at(db.valid, s);
        for (const auto& column : db.columns) {
            out += separator;
            append_hex(column, s, valid, &out);
        }
        out += '\n';
        if (!writer->maybe_flush())
            return false;
    }
    return writer->flush();
}

}  // namespace

GUV_DATA_LOG_EXPORTER::GUV_DATA_LOG_EXPORTER() = default;
GUV_DATA_LOG_EXPORTER::~GUV_DATA_LOG_EXPORTER() = default;

bool GUV_DATA_LOG_EXPORTER::create_vector_database(KSM_DATA_LOG* log, GUV_DATA_LOG_EXPORTER_OUTPUT_FORMAT format,
                                                   int64_t clock_interval_ps)
{
    m_db.reset();
    if (!log || format < GUV_OUTPUT_TABLE || format > GUV_OUTPUT_VCD || clock_interval_ps < 1 ||
        !log->is_data_available(false) || !log->get_signal_set() || !log->get_valid_words())
        return false;
    auto db = std::make_unique<DATABASE>();
    db->format = format;
    db->interval = clock_interval_ps;
    db->depth = log->get_data_sample_depth();
    db->trigger = std::clamp(log->get_data_trigger_position(-1), 0, std::max(db->depth - 1, 0));
    db->segment_size = std::max(0, log->get_data_segment_size());
    db->origins = segment_origins(log, db->depth, db->segment_size);
    db->valid = log->get_valid_words();
    collect_columns(log, log->get_signal_set(), db.get());
    if (db->depth < 1 || db->columns.empty())
        return false;
    m_db = std::move(db);
    return true;
}

// The dump is written by one thread: three renderers about keep pace with it and a fourth
// leaves a margin; more only contend with it for memory, slower and dearer in CPU time, as do
// more than four threads in the wide buses' scan, a stream through memory.
int GUV_DATA_LOG_EXPORTER::vcd_threads() { return int(std::clamp<size_t>(ksm_usable_cpus(), 1, 4)); }

size_t GUV_DATA_LOG_EXPORTER::set_vcd_budget(size_t bytes) { return std::exchange(vcd_budget, bytes); }

bool GUV_DATA_LOG_EXPORTER::export_file(const char* path)
{
    if (!m_db || !path || !*path)
        return false;
    // The old file stays unless the whole new one, and its folder, reach the disk.
    return ksm_replace_file(
        path,
        [&](QIODevice* file) {
            WRITER writer(file);
            return m_db->format == GUV_OUTPUT_VCD
                       ? write_vcd(*m_db, &writer)
                       : write_table(*m_db, m_db->format == GUV_OUTPUT_CSV ? ',' : '\t', &writer);
        },
        nullptr);
}
