#include "vokr_list_file.h"

#include "ksm.h"
#include "vokr_number.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QFileDevice>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace {

constexpr int LABEL_WIDTH = 10;
constexpr int MOST_LINES = 4096;  // in one stretch
size_t g_budget = size_t(24) << 20;

// Decimal digits of a key or label part; 100000 and above count as 5.
int digits(int n) { return n >= 10000 ? 5 : n >= 1000 ? 4 : n >= 100 ? 3 : n >= 10 ? 2 : 1; }

bool is_member(KSM_DATA_NODE_DISPLAY_TYPE t) { return t == KSM_NTYPE_MEMBER || t == KSM_NTYPE_LAST_MEMBER; }

bool bit_at(const uint64_t* words, int sample) { return (words[sample >> 6] >> (sample & 63)) & 1; }

// The bit before the first of block `block` (0 before the first block).
uint64_t bit_before(const uint64_t* words, int block) { return block > 0 ? words[block - 1] >> 63 : 0; }

// The samples of block `block` at which the words differ from the sample before.
uint64_t changes(const uint64_t* words, int block)
{
    return words[block] ^ ((words[block] << 1) | bit_before(words, block));
}

// The samples of block `block` inside [first, end).
uint64_t samples_within(int block, int first, int end)
{
    const int from = std::max(first - block * 64, 0), to = std::min(end - block * 64, 64);
    const uint64_t below_to = to == 64 ? ~uint64_t(0) : (uint64_t(1) << to) - 1;
    return below_to & ~((uint64_t(1) << from) - 1);
}

bool is_ascii(const char* text)
{
    for (; *text; ++text)
        if (static_cast<unsigned char>(*text) >= 0x80)
            return false;
    return true;
}

QString legend_line(int key, const QString& name, bool failed)
{
    return QString::number(key) + QString(8 - digits(key), ' ') + " = " + vokr_one_line(name) +
           (failed ? " [failed connection]" : "") + "\n";
}

// Bytes handed to the file in large pieces; on Linux each megabyte written is handed on to the
// disk at once, so that syncing the file when it is committed waits for the last pieces only.
class WRITER {
public:
    explicit WRITER(QFileDevice* file) : m_file(file) {}
    // A short write (the file reached the size the system allows) is retried for the rest, so
    // that the failing write leaves the system's reason with the file.
    bool write(const char* bytes, size_t size)
    {
        while (size > 0) {
            const qint64 done = m_file->write(bytes, qint64(size));
            if (done <= 0)
                return false;
            bytes += done;
            size -= size_t(done);
            m_written += size_t(done);
        }
#ifdef Q_OS_LINUX
        constexpr size_t PIECE = 1 << 20;
        if (m_written - m_on_disk >= PIECE && m_file->flush()) {
            sync_file_range(m_file->handle(), off64_t(m_on_disk), off64_t(m_written - m_on_disk),
                            SYNC_FILE_RANGE_WRITE);
            m_on_disk = m_written;
        }
#endif
        return true;
    }

private:
    QFileDevice* m_file;
    size_t m_written = 0;
    size_t m_on_disk = 0;
};

}  // namespace

// One keyed column of the file: a single bit or a bus.
struct VOKR_LIST_FILE::COLUMN {
    int row = -1;
    int key = 0;
    int width = 1;  // characters of its values, the key's digits at least
    bool group = false;
    bool connected = false;
    // A single bit: its plane (null when not captured), shown inverted as the waveform shows it.
    const uint64_t* words = nullptr;
    bool inverted = false;
    // A bus: its members' planes and inversions in row order.
    std::vector<const uint64_t*> member_words;
    std::vector<char> member_inverted;
    int extra_bytes = 0;  // the most bytes any of its texts takes beyond its characters
    size_t offset = 0;    // where its value starts in a line's values
};

// A stretch of samples on its way to the file: the buses' texts (each a run of lines that show
// it, in `pieces`), then its lines.
struct VOKR_LIST_FILE::STRETCH {
    struct RUN {
        int line;  // the first, from the stretch's first sample
        size_t at;
        size_t size;
    };
    int first = 0;
    int count = 0;
    std::vector<std::vector<RUN>> runs;  // per bus
    std::string pieces;                  // every text padded to its column's width
    bool regular = true;                 // every padded text is as many bytes as its column is wide
    std::string text;
    size_t size = 0;
    bool rendered = false;
};

VOKR_LIST_FILE::VOKR_LIST_FILE(VOKR_TX_MANAGER* manager, const KSM_TX_SIGNAL_SET* set, const KSM_DATA_LOG* log,
                               int segment_size, LABEL time_label)
    : m_manager(manager), m_set(set), m_log(log), m_time_label(std::move(time_label)), m_segment(segment_size)
{
    m_available = log->is_data_available(false);
    m_depth = m_available ? log->get_data_sample_depth() : set->get_sample_depth();
    m_trigger = std::max(0, log->get_data_trigger_position(-1));
    m_valid = m_available ? log->get_valid_words() : nullptr;
    collect_columns();
}

VOKR_LIST_FILE::~VOKR_LIST_FILE() = default;

int VOKR_LIST_FILE::threads() { return int(std::clamp<size_t>(ksm_usable_cpus(), 1, 4)); }

size_t VOKR_LIST_FILE::set_budget(size_t bytes) { return std::exchange(g_budget, std::max<size_t>(bytes, 1)); }

// Every single signal and every group, and the members of an expanded group, in row order; a
// group's values are known only where the log holds samples of all its members.
void VOKR_LIST_FILE::collect_columns()
{
    bool listed_group = false;
    for (int row = 0, key = 0; row < m_set->get_num_nodes(); ++row) {
        const KSM_DATA_NODE_DISPLAY_TYPE type = m_set->get_display_type(row);
        const QString name = QString::fromLocal8Bit(m_set->get_node_name(row));
        COLUMN c;
        c.row = row, c.key = key;
        if (type == KSM_NTYPE_GROUP_EXPANDED || type == KSM_NTYPE_GROUP_COLLAPSED) {
            listed_group = type == KSM_NTYPE_GROUP_EXPANDED;
            c.group = true;
            c.connected = m_available;
            for (int r = row + 1; r < m_set->get_num_nodes() && is_member(m_set->get_display_type(r)); ++r) {
                const int channel = m_set->get_channel(r);
                c.connected = c.connected && channel >= 0 && m_log->get_connection_status(channel);
                c.member_words.push_back(c.connected ? m_log->get_channel_words(channel) : nullptr);
                c.member_inverted.push_back(m_set->is_signal_inverted(r));
            }
            c.connected = c.connected && !c.member_words.empty();
            m_buses.push_back(int(m_columns.size()));
            m_legend += legend_line(key, name, false);
        } else if (is_member(type) && !listed_group) {
            continue;
        } else {
            const int channel = m_set->get_channel(row);
            c.inverted = m_set->is_signal_inverted(row);
            c.connected = channel >= 0 && m_log->get_connection_status(channel);
            c.words = c.connected && m_available ? m_log->get_channel_words(channel) : nullptr;
            m_legend += legend_line(key, name, !c.connected);
        }
        m_columns.push_back(std::move(c));
        ++key;
    }
}

// Calls visit(line, text) for the bus at the stretch's first sample and wherever its text may
// change in the stretch: where its value changes while samples stay valid, and where validity
// changes ("x" at samples never captured); the text as the node list shows the value, with its
// mnemonic where it has one.
template <class VISIT> void VOKR_LIST_FILE::visit_bus_texts(const COLUMN& column, int first, int count, VISIT visit)
{
    if (!column.connected) {
        visit(0, "x");
        return;
    }
    const int end = first + count;
    for (int block = first / 64; block * 64 < end; ++block) {
        uint64_t changed = changes(m_valid, block);
        for (const uint64_t* words : column.member_words)
            changed |= changes(words, block) & m_valid[block];
        changed &= samples_within(block, first, end);
        if (block * 64 <= first)
            changed |= uint64_t(1) << (first - block * 64);
        for (; changed; changed &= changed - 1) {
            const int sample = block * 64 + __builtin_ctzll(changed);
            if (!bit_at(m_valid, sample)) {
                visit(sample - first, "x");
                continue;
            }
            m_bits.resize(column.member_words.size());
            for (size_t k = 0; k < m_bits.size(); ++k)
                m_bits[k] = char('0' + (bit_at(column.member_words[k], sample) ^ column.member_inverted[k]));
            VOKR_NUMBER number(m_bits.c_str());
            const char* text = nullptr;
            number.get_string(m_manager, column.row, &text, true, true, nullptr, -1);
            visit(sample - first, text ? text : "");
        }
    }
}

// Each bus's width: its longest text in characters, and the most bytes a text takes beyond its
// characters (none in plain ASCII).
void VOKR_LIST_FILE::measure_buses()
{
    for (int bus : m_buses) {
        COLUMN& column = m_columns[size_t(bus)];
        for (int first = 0; column.connected && first < m_depth; first += MOST_LINES)
            visit_bus_texts(column, first, std::min(MOST_LINES, m_depth - first), [&](int, const char* text) {
                const int bytes = int(std::strlen(text));
                const int characters = is_ascii(text) ? bytes : int(QString::fromLocal8Bit(text).size());
                column.width = std::max(column.width, characters);
                column.extra_bytes = std::max(column.extra_bytes, bytes - characters);
            });
    }
    for (COLUMN& column : m_columns)
        column.width = std::max(column.width, digits(column.key));
}

QString VOKR_LIST_FILE::header() const
{
    QString text = "Signal Legend:\n\nKey        Signal Name\n\n" + m_legend + "\nData Table:\n\nSignals-> ";
    for (const COLUMN& c : m_columns)
        text += QString::number(c.key) + QString(c.width - digits(c.key) + 1, ' ');
    return text + "\n\n" + (m_segment > 0 ? "segment/\n" : "") + "sample\n\n";
}

// A line's values as laid out when every text fills its column: a bus's text, padded, and a
// single bit's character (written 'x' here) followed by its width in blanks; single bits have
// no column of values when the log holds no samples.
void VOKR_LIST_FILE::lay_out_body()
{
    m_body.clear();
    m_longest_body = 0;
    for (COLUMN& c : m_columns) {
        c.offset = m_body.size();
        if (c.group)
            m_body.append(size_t(c.width + 1), ' ');
        else if (m_available)
            m_body.append(1, 'x').append(size_t(c.width), ' ');
        m_longest_body += c.group ? size_t(c.width + 1 + c.extra_bytes) : 0;
    }
    m_longest_body += m_body.size();
}

// As many samples as keep a stretch's lines within its share of the budget; whole blocks of 64
// where more than 64 fit.
int VOKR_LIST_FILE::stretch_length() const
{
    const size_t share = g_budget / size_t(2 * threads());
    const size_t line = LABEL_WIDTH + 32 + m_longest_body;
    const int lines = int(std::clamp<size_t>(share / line, 1, MOST_LINES));
    return lines > 64 ? lines / 64 * 64 : lines;
}

// The buses' texts of samples first..first + count - 1, each padded to its column's width.
void VOKR_LIST_FILE::prepare(STRETCH* stretch, int first, int count)
{
    stretch->first = first, stretch->count = count;
    stretch->runs.resize(m_buses.size());
    stretch->pieces.clear();
    stretch->regular = true;
    for (size_t b = 0; b < m_buses.size(); ++b) {
        const COLUMN& column = m_columns[size_t(m_buses[b])];
        std::vector<STRETCH::RUN>& runs = stretch->runs[b];
        runs.clear();
        visit_bus_texts(column, first, count, [&](int line, const char* text) {
            int characters = 0;
            const size_t at = stretch->pieces.size();
            if (is_ascii(text)) {
                stretch->pieces += text;
                characters = int(stretch->pieces.size() - at);
            } else {
                const QString shown = QString::fromLocal8Bit(text);
                stretch->pieces += shown.toLocal8Bit().toStdString();
                characters = int(shown.size());
            }
            stretch->pieces.append(size_t(column.width - characters + 1), ' ');
            const size_t size = stretch->pieces.size() - at;
            stretch->regular = stretch->regular && size == size_t(column.width + 1);
            runs.push_back({line, at, size});
        });
    }
}

std::string VOKR_LIST_FILE::label(int sample) const
{
    std::string text;
    int length = 0;
    if (m_segment > 0) {
        text = std::to_string(sample / m_segment) + '/' + std::to_string(sample % m_segment);
        length = digits(sample / m_segment) + digits(sample % m_segment) + 1;
    } else if (m_time_label) {
        const QString shown = m_time_label(sample - m_trigger);
        text = shown.toLocal8Bit().toStdString();
        length = int(shown.size());
    } else {
        char number[16];
        text.assign(number, std::to_chars(number, number + sizeof(number), sample - m_trigger).ptr);
        length = int(text.size());
    }
    return text.append(size_t(std::max(0, LABEL_WIDTH - length)), ' ');
}

// A single bit's character at a sample: its value, "x" where it was not captured.
char VOKR_LIST_FILE::bit_character(const COLUMN& column, int sample) const
{
    if (!column.words || !bit_at(m_valid, sample))
        return 'x';
    return char('0' + (bit_at(column.words, sample) != column.inverted));
}

void VOKR_LIST_FILE::render(STRETCH* stretch) const
{
    std::vector<std::string> labels(size_t(stretch->count));
    for (int k = 0; k < stretch->count; ++k)
        labels[size_t(k)] = label(stretch->first + k);
    if (stretch->regular)
        render_regular(stretch, labels);
    else
        render_irregular(stretch, labels);
}

// Lines whose values all sit where the layout puts them: each line is its label and the layout
// copied, then the buses' texts are copied over their runs, then the single bits' characters
// are set a block of 64 samples at a time.
void VOKR_LIST_FILE::render_regular(STRETCH* stretch, const std::vector<std::string>& labels) const
{
    size_t size = 0;
    for (const std::string& l : labels)
        size += l.size() + m_body.size() + 1;
    if (stretch->text.size() < size)
        stretch->text.resize(size);
    char* const text = stretch->text.data();
    std::vector<size_t> body(size_t(stretch->count));
    char* out = text;
    for (int k = 0; k < stretch->count; ++k) {
        const std::string& l = labels[size_t(k)];
        out = std::copy(l.begin(), l.end(), out);
        body[size_t(k)] = size_t(out - text);
        out = std::copy(m_body.begin(), m_body.end(), out);
        *out++ = '\n';
    }
    stretch->size = size;
    for (size_t b = 0; b < m_buses.size(); ++b) {
        const size_t offset = m_columns[size_t(m_buses[b])].offset;
        const std::vector<STRETCH::RUN>& runs = stretch->runs[b];
        for (size_t r = 0; r < runs.size(); ++r) {
            const int end = r + 1 < runs.size() ? runs[r + 1].line : stretch->count;
            for (int k = runs[r].line; k < end; ++k)
                std::memcpy(text + body[size_t(k)] + offset, stretch->pieces.data() + runs[r].at, runs[r].size);
        }
    }
    const int first = stretch->first, last = first + stretch->count;
    for (int block = first / 64; block * 64 < last; ++block) {
        const uint64_t inside = samples_within(block, first, last), valid = m_valid ? m_valid[block] : 0;
        const int from = block * 64 - first;
        for (const COLUMN& c : m_columns) {
            if (!c.words)
                continue;
            const uint64_t value = c.inverted ? ~c.words[block] : c.words[block];
            for (uint64_t at = inside; at; at &= at - 1) {
                const int k = __builtin_ctzll(at);
                text[body[size_t(from + k)] + c.offset] = (valid >> k) & 1 ? char('0' + ((value >> k) & 1)) : 'x';
            }
        }
    }
}

// Lines where a text takes more bytes than characters: written value by value.
void VOKR_LIST_FILE::render_irregular(STRETCH* stretch, const std::vector<std::string>& labels) const
{
    std::string& text = stretch->text;
    text.clear();
    std::vector<size_t> next(m_buses.size(), 0);
    for (int k = 0; k < stretch->count; ++k) {
        text += labels[size_t(k)];
        for (size_t c = 0, b = 0; c < m_columns.size(); ++c) {
            const COLUMN& column = m_columns[c];
            if (column.group) {
                const std::vector<STRETCH::RUN>& runs = stretch->runs[b];
                size_t& r = next[b++];
                if (r + 1 < runs.size() && runs[r + 1].line <= k)
                    ++r;
                text.append(stretch->pieces, runs[r].at, runs[r].size);
            } else if (m_available) {
                text += bit_character(column, stretch->first + k);
                text.append(size_t(column.width), ' ');
            }
        }
        text += '\n';
    }
    stretch->size = text.size();
}

// Stretches go round ring, twice as many as the helpers that render them: this thread makes
// a stretch's bus texts once its slot is free, hands it to the helpers, and writes the rendered
// stretches in order.
bool VOKR_LIST_FILE::write_stretches(QFileDevice* file, const QByteArray& head)
{
    WRITER writer(file);
    if (!writer.write(head.constData(), size_t(head.size())))
        return false;
    const int length = stretch_length(), count = (m_depth + length - 1) / length;
    const int helpers = std::min(threads(), std::max(count, 1));
    std::vector<STRETCH> ring(size_t(2 * helpers));
    std::mutex mutex;
    std::condition_variable work, done;
    std::deque<STRETCH*> queue;
    bool stop = false;
    std::vector<std::thread> threads;
    for (int t = 0; t < helpers; ++t)
        threads.emplace_back([&] {
            std::unique_lock<std::mutex> lock(mutex);
            while (true) {
                work.wait(lock, [&] { return stop || !queue.empty(); });
                if (queue.empty())
                    return;
                STRETCH* stretch = queue.front();
                queue.pop_front();
                lock.unlock();
                render(stretch);
                lock.lock();
                stretch->rendered = true;
                done.notify_one();
            }
        });
    bool written = true;
    for (int next = 0, made = 0; written && next < count; ++next) {
        for (; made < count && made < next + int(ring.size()); ++made) {
            STRETCH* stretch = &ring[size_t(made) % ring.size()];
            prepare(stretch, made * length, std::min(length, m_depth - made * length));
            std::lock_guard<std::mutex> lock(mutex);
            stretch->rendered = false;
            queue.push_back(stretch);
            work.notify_one();
        }
        STRETCH& stretch = ring[size_t(next) % ring.size()];
        {
            std::unique_lock<std::mutex> lock(mutex);
            done.wait(lock, [&] { return stretch.rendered; });
        }
        written = writer.write(stretch.text.data(), stretch.size);
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        stop = true;
        queue.clear();
    }
    work.notify_all();
    for (std::thread& thread : threads)
        thread.join();
    return written;
}

bool VOKR_LIST_FILE::write(QFileDevice* file)
{
    measure_buses();
    lay_out_body();
    return write_stretches(file, header().toLocal8Bit());
}
