#include "guv.h"

#include "ksm.h"

#include <QDateTime>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

// One exported column: a single signal or a bus, its members most significant first.
struct GUV_DATA_LOG_EXPORTER::COLUMN {
    std::vector<std::string> scope;      // hierarchy above the signal
    std::string reference;               // the last name component, without a bus range
    std::string range;                   // "[15:0]" of a bus, "[3]" of a bit select, or empty
    std::string full_name;               // the node name as the node list shows it
    std::vector<const uint64_t*> words;  // per member; null: the member was not captured
    std::string id;
    bool scalar = false;   // one bit, not a bus or a bit select of one
    uint64_t id_line = 0;  // the id and a line end in 8 bytes, when they fit (id_fits)
    bool id_fits = false;
};

struct GUV_DATA_LOG_EXPORTER::DATABASE {
    GUV_DATA_LOG_EXPORTER_OUTPUT_FORMAT format = GUV_OUTPUT_TABLE;
    int64_t interval = 0;
    int depth = 0;
    int trigger = 0;
    const uint64_t* valid = nullptr;
    std::vector<COLUMN> columns;
};

namespace {

constexpr size_t FLUSH_SIZE = 1 << 20;

// Output gathered in memory and handed to the file in large pieces.
class WRITER {
public:
    explicit WRITER(QSaveFile* file) : m_file(file) { m_text.reserve(2 * FLUSH_SIZE); }
    std::string& text() { return m_text; }
    bool maybe_flush() { return m_text.size() < FLUSH_SIZE || flush(); }
    bool flush()
    {
        const bool ok = m_file->write(m_text.data(), qint64(m_text.size())) == qint64(m_text.size());
        m_text.clear();
        return ok;
    }

private:
    QSaveFile* m_file;
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

// "cpu|pc[15..0]" -> scope {cpu}, reference "pc", range "[15:0]".
void split_name(const std::string& name, GUV_DATA_LOG_EXPORTER::COLUMN* column)
{
    std::string rest = name;
    for (size_t bar; (bar = rest.find('|')) != std::string::npos; rest.erase(0, bar + 1))
        column->scope.push_back(rest.substr(0, bar));
    const size_t open = rest.find('[');
    if (open != std::string::npos && open > 0 && rest.back() == ']') {
        std::string range = rest.substr(open);
        const size_t dots = range.find("..");
        if (dots != std::string::npos)
            range.replace(dots, 2, ":");
        column->range = range;
        rest.erase(open);
    }
    for (char& c : rest)
        if (c == ' ' || c == '\t')
            c = '_';
    column->reference = rest;
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

void add_column(const KSM_DATA_LOG* log, const KSM_DATA_SIGNAL_SET* set, int row, std::vector<int> channels,
                std::vector<GUV_DATA_LOG_EXPORTER::COLUMN>* columns)
{
    if (channels.empty())
        return;
    GUV_DATA_LOG_EXPORTER::COLUMN column;
    column.full_name = set->get_node_name(row);
    split_name(column.full_name, &column);
    for (int channel : channels)
        column.words.push_back(log->get_connection_status(channel) ? log->get_channel_words(channel) : nullptr);
    column.id = make_id(columns->size());
    column.scalar = column.words.size() == 1 && column.range.find(':') == std::string::npos;
    const std::string line = column.id + '\n';
    column.id_fits = line.size() <= sizeof(column.id_line);
    if (column.id_fits)
        std::memcpy(&column.id_line, line.data(), line.size());
    columns->push_back(std::move(column));
}

// Top-level single signals and groups in node-list order; a group's leaves make its bus, the
// first leaf shown on top being the most significant bit unless the group lists lsb first.
std::vector<GUV_DATA_LOG_EXPORTER::COLUMN> collect_columns(const KSM_DATA_LOG* log, const KSM_DATA_SIGNAL_SET* set)
{
    std::vector<GUV_DATA_LOG_EXPORTER::COLUMN> columns;
    const int count = set->get_num_nodes();
    // Channels number the capturing leaf rows in order (as the signal set numbers them).
    std::vector<int> channel(size_t(count), -1);
    for (int row = 0, next = 0; row < count; ++row) {
        const KSM_DATA_NODE_DISPLAY_TYPE type = set->get_display_type(row);
        const KSM_DATA_WIRE_CAPTURE_TYPE use = set->get_node_use(row);
        if (!set->has_children(row) && type != KSM_NTYPE_GROUP_EXPANDED && type != KSM_NTYPE_GROUP_COLLAPSED &&
            (use == KSM_CAPTURE_DATA || use == KSM_CAPTURE_BOTH))
            channel[row] = next++;
    }
    for (int row = 0; row < count;) {
        const int last = set->get_last_child_index(row);
        std::vector<int> channels;
        for (int r = row; r <= last; ++r)
            if (channel[r] >= 0 && channel[r] < log->get_num_channels())
                channels.push_back(channel[r]);
        if (last > row && set->get_lsb_to_msb(row))
            std::reverse(channels.begin(), channels.end());
        if (last > row || channel[row] >= 0)
            add_column(log, set, row, channels, &columns);
        row = last + 1;
    }
    return columns;
}

bool is_scalar(const GUV_DATA_LOG_EXPORTER::COLUMN& column) { return column.scalar; }

// The dump is written CHUNK blocks of 64 samples at a time. Per column and block, the samples
// where the column is written: where its value changes while the samples stay valid, and where
// validity itself changes (the value turns to x or back).
constexpr int CHUNK = 32;

struct VALIDITY {
    uint64_t valid[CHUNK] = {};
    uint64_t keep[CHUNK] = {};     // valid here and at the sample before
    uint64_t toggled[CHUNK] = {};  // valid here but not before, or the other way round
};

struct COLUMN_CHUNK {
    uint64_t written[CHUNK] = {};
    std::vector<uint64_t> words;  // the member words of the chunk, member after member
    std::string lines;            // a bus's value lines in sample order ("b0101 id\n"), all of one length
    size_t next = 0;              // the next line to write
};

// Where the column changes inside the chunk: each member's words are read in order, one member
// after the other, with the next members' lines asked for ahead (they lie a page apart).
void find_changes(const GUV_DATA_LOG_EXPORTER::COLUMN& column, int first, int count, const VALIDITY& v,
                  COLUMN_CHUNK* chunk)
{
    uint64_t changes[CHUNK] = {};
    const size_t width = column.words.size();
    chunk->words.resize(width * CHUNK);
    for (size_t m = 0; m < width; ++m) {
        if (m + 8 < width && column.words[m + 8])
            for (int k = 0; k < count; k += 8)  // every cache line of the member's words
                __builtin_prefetch(column.words[m + 8] + first + k);
        const uint64_t* w = column.words[m];
        if (!w)
            continue;
        uint64_t before = first > 0 ? w[first - 1] >> 63 : w[0] & 1;
        for (int k = 0; k < count; ++k) {
            const uint64_t now = w[first + k];
            changes[k] |= now ^ ((now << 1) | before);
            before = now >> 63;
        }
        // Kept for the values written, so that the log is read once, in order.
        std::memcpy(&chunk->words[m * CHUNK], w + first, size_t(count) * sizeof(uint64_t));
    }
    for (int k = 0; k < count; ++k)
        chunk->written[k] = (changes[k] & v.keep[k]) | v.toggled[k];
    if (first == 0)
        chunk->written[0] |= 1;  // every column's first value opens the dump
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

// Writes one member's bit into the lines of its valid written samples.
void put_member(const COLUMN_CHUNK& chunk, size_t m, int count, const VALIDITY& v, size_t length, char* text)
{
    const uint64_t* w = &chunk.words[m * CHUNK];
    for (int k = 0; k < count; ++k)
        for (uint64_t at = chunk.written[k]; at; at &= at - 1, text += length) {
            const int bit = __builtin_ctzll(at);
            if ((v.valid[k] >> bit) & 1)
                *text = char('0' + ((w[k] >> bit) & 1));
        }
}

// Writes eight members' bits into the lines of their valid written samples, eight characters at
// a time.
void put_octet(const COLUMN_CHUNK& chunk, size_t m, int count, const VALIDITY& v, size_t length, char* text)
{
    const uint64_t* w = &chunk.words[m * CHUNK];
    const uint64_t* chars = octet_chars();
    for (int k = 0; k < count; ++k)
        for (uint64_t at = chunk.written[k]; at; at &= at - 1, text += length) {
            const int bit = __builtin_ctzll(at);
            if (!((v.valid[k] >> bit) & 1))
                continue;
            unsigned octet = 0;
            for (int i = 0; i < 8; ++i)
                octet |= unsigned((w[i * CHUNK + k] >> bit) & 1) << i;
            std::memcpy(text, &chars[octet], 8);
        }
}

// A bus's value lines for every sample where it is written (from the words find_changes kept),
// eight members at a time where all eight were captured; invalid samples and members without
// samples read x.
void make_bus_lines(const GUV_DATA_LOG_EXPORTER::COLUMN& column, int count, const VALIDITY& v, COLUMN_CHUNK* chunk)
{
    size_t lines = 0;
    for (int k = 0; k < count; ++k)
        lines += size_t(__builtin_popcountll(chunk->written[k]));
    const size_t width = column.words.size(), length = width + column.id.size() + 3;
    const std::string blank = "b" + std::string(width, 'x') + " " + column.id + "\n";
    chunk->lines.resize(lines * length);
    chunk->next = 0;
    for (size_t j = 0; j < lines; ++j)
        std::memcpy(&chunk->lines[j * length], blank.data(), length);
    const auto captured = [&](size_t m) { return column.words[m] != nullptr; };
    for (size_t m = 0; m < width;) {
        char* text = &chunk->lines[1 + m];
        if (m + 8 <= width && captured(m) && captured(m + 1) && captured(m + 2) && captured(m + 3) && captured(m + 4) &&
            captured(m + 5) && captured(m + 6) && captured(m + 7)) {
            put_octet(*chunk, m, count, v, length, text);
            m += 8;
            continue;
        }
        if (captured(m))
            put_member(*chunk, m, count, v, length, text);
        ++m;
    }
}

// Single-bit value lines gathered in a small block, so that the dump's text grows by one append
// per sample rather than one per value; a line's id and line end are copied as one word.
class SCALAR_LINES {
public:
    explicit SCALAR_LINES(std::string* out) : m_out(out) {}
    void add(char value, const GUV_DATA_LOG_EXPORTER::COLUMN& column)
    {
        if (!column.id_fits) {
            flush();
            *m_out += value, *m_out += column.id, *m_out += '\n';
            return;
        }
        if (m_size + 1 + sizeof(column.id_line) > sizeof(m_block))
            flush();
        m_block[m_size] = value;
        std::memcpy(m_block + m_size + 1, &column.id_line, sizeof(column.id_line));
        m_size += column.id.size() + 2;
    }
    void flush()
    {
        m_out->append(m_block, m_size);
        m_size = 0;
    }

private:
    std::string* m_out;
    char m_block[4096];
    size_t m_size = 0;
};

// Appends the column's value at the sample (block `k` of the chunk) to the dump: a single bit's
// through `lines`, a bus's line after what `lines` holds.
void append_value(const GUV_DATA_LOG_EXPORTER::COLUMN& column, int k, int bit, const VALIDITY& v, COLUMN_CHUNK* chunk,
                  SCALAR_LINES* lines, std::string* out)
{
    if (is_scalar(column)) {
        const bool known = column.words[0] && ((v.valid[k] >> bit) & 1);
        lines->add(known ? char('0' + ((chunk->words[size_t(k)] >> bit) & 1)) : 'x', column);
        return;
    }
    lines->flush();
    const size_t length = column.words.size() + column.id.size() + 3;
    out->append(chunk->lines, chunk->next++ * length, length);
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

// Appends '#', the time and a line end.
void append_time(TIME time, std::string* out)
{
    char text[48];
    text[sizeof(text) - 1] = '\n';
    char* begin = decimal_before(time, text + sizeof(text) - 1);
    *--begin = '#';
    out->append(begin, size_t(text + sizeof(text) - begin));
}

// The chunk's samples in order: a time stamp where any column is written, then those columns'
// values. The first sample's values make the $dumpvars section. Per block, the columns written
// at each of its samples are sorted out first (in column order), so that the work follows the
// values written.
void write_chunk(const GUV_DATA_LOG_EXPORTER::DATABASE& db, int first, int count, int64_t step, const VALIDITY& v,
                 std::vector<COLUMN_CHUNK>* chunks, std::string* text)
{
    std::string& out = *text;
    std::vector<uint32_t> at_sample[64];
    for (int k = 0; k < count; ++k) {
        uint64_t any = 0;
        for (auto& columns : at_sample)
            columns.clear();
        for (size_t c = 0; c < chunks->size(); ++c) {
            const uint64_t written = (*chunks)[c].written[k];
            any |= written;
            for (uint64_t w = written; w; w &= w - 1)
                at_sample[__builtin_ctzll(w)].push_back(uint32_t(c));
        }
        for (; any; any &= any - 1) {
            const int bit = __builtin_ctzll(any), sample = (first + k) * 64 + bit;
            if (sample >= db.depth)
                break;
            if (sample == 0)
                out += "#0\n$dumpvars\n";
            else
                append_time(TIME(sample) * step, &out);
            SCALAR_LINES lines(&out);
            for (uint32_t c : at_sample[bit])
                append_value(db.columns[c], k, bit, v, &(*chunks)[c], &lines, &out);
            lines.flush();
            if (sample == 0)
                out += "$end\n";
        }
    }
}

// What one thread needs to write chunks: the columns' words and lines, and the text made.
struct CHUNK_WRITER {
    std::vector<COLUMN_CHUNK> chunks;
    std::string text;
};

// The dump's text of the CHUNK blocks from block `first` on (fewer at the end).
void render_chunk(const GUV_DATA_LOG_EXPORTER::DATABASE& db, int first, int64_t step, CHUNK_WRITER* w)
{
    w->text.clear();
    const int count = std::min(CHUNK, (db.depth + 63) / 64 - first);
    VALIDITY v;
    for (int k = 0; k < count; ++k) {
        const int block = first + k;
        const uint64_t valid = db.valid[block];
        const uint64_t before = (valid << 1) | (block > 0 ? db.valid[block - 1] >> 63 : valid & 1);
        v.valid[k] = valid, v.keep[k] = valid & before, v.toggled[k] = valid ^ before;
    }
    w->chunks.resize(db.columns.size());
    for (size_t c = 0; c < db.columns.size(); ++c) {
        find_changes(db.columns[c], first, count, v, &w->chunks[c]);
        if (!is_scalar(db.columns[c]))
            make_bus_lines(db.columns[c], count, v, &w->chunks[c]);
    }
    write_chunk(db, first, count, step, v, &w->chunks, &w->text);
}

// Renders the round of chunks from chunk `round` on, one thread per chunk, into `writers`.
std::vector<std::thread> start_round(const GUV_DATA_LOG_EXPORTER::DATABASE& db, int round, int chunks, int64_t step,
                                     CHUNK_WRITER* writers, int threads)
{
    std::vector<std::thread> helpers;
    for (int t = 0; t < threads && round + t < chunks; ++t)
        helpers.emplace_back(render_chunk, std::cref(db), (round + t) * CHUNK, step, &writers[t]);
    return helpers;
}

// Chunks are independent: the dump is made by several threads a round of consecutive chunks at
// a time, one chunk each, while the calling thread writes the round before in order.
bool write_vcd(const GUV_DATA_LOG_EXPORTER::DATABASE& db, WRITER* writer)
{
    std::vector<size_t> order(db.columns.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    int64_t step = 1;
    write_vcd_header(db, order, &step, &writer->text());
    const int blocks = (db.depth + 63) / 64, chunks = (blocks + CHUNK - 1) / CHUNK;
    const int threads = GUV_DATA_LOG_EXPORTER::vcd_threads();
    std::vector<CHUNK_WRITER> writers{size_t(2 * threads)};  // the round written, the round rendered
    std::vector<std::thread> rendering = start_round(db, 0, chunks, step, &writers[0], threads);
    bool written = true;
    for (int round = 0, set = 0; round < chunks; round += threads, set = 1 - set) {
        for (std::thread& helper : rendering)
            helper.join();
        rendering = start_round(db, round + threads, chunks, step, &writers[size_t((1 - set) * threads)], threads);
        for (int t = 0; t < threads && round + t < chunks && written; ++t) {
            writer->text() += writers[size_t(set * threads + t)].text;
            written = writer->maybe_flush();
        }
        if (!written)
            break;
    }
    for (std::thread& helper : rendering)
        helper.join();
    append_time(TIME(db.depth) * step, &writer->text());
    return written && writer->flush();
}

// Comma-separated values (separator ',') or the table file (separator '\t'): a header line,
// then per sample its number from the trigger, its time in ps and one value per column.
bool write_table(const GUV_DATA_LOG_EXPORTER::DATABASE& db, char separator, WRITER* writer)
{
    std::string& out = writer->text();
    out += separator == ',' ? "Sample,Time (ps)" : "Sample\tTime (ps)";
    for (const auto& column : db.columns) {
        out += separator;
        const bool quote = separator == ',' && column.full_name.find_first_of(",\"") != std::string::npos;
        out += quote ? '"' + column.full_name + '"' : column.full_name;
    }
    out += '\n';
    for (int s = 0; s < db.depth; ++s) {
        out += std::to_string(s - db.trigger) + separator;
        append_decimal(TIME(s - db.trigger) * db.interval, &out);
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
    db->valid = log->get_valid_words();
    db->columns = collect_columns(log, log->get_signal_set());
    if (db->depth < 1 || db->columns.empty())
        return false;
    m_db = std::move(db);
    return true;
}

int GUV_DATA_LOG_EXPORTER::vcd_threads() { return int(std::clamp<size_t>(ksm_usable_cpus(), 1, 8)); }

bool GUV_DATA_LOG_EXPORTER::export_file(const char* path)
{
    if (!m_db || !path || !*path)
        return false;
    QSaveFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    WRITER writer(&file);
    const bool written = m_db->format == GUV_OUTPUT_VCD
                             ? write_vcd(*m_db, &writer)
                             : write_table(*m_db, m_db->format == GUV_OUTPUT_CSV ? ',' : '\t', &writer);
    if (!written) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
