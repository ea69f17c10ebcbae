// Reading the session file. Every value is checked while the file is parsed into a new data
// session that nothing else sees yet; the module's object trees are made only once the whole
// file has passed, so a refused file leaves nothing behind.
#include "ksm_payload_filter.h"
#include "ksm_plane_decoder.h"
#include "ksm_plane_prefetch.h"
#include "ksm_row_blocks.h"
#include "ksm_state.h"
#include "ksm_zlib.h"
#include "msg.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <QtEndian>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <tuple>

namespace {

using ROW = KSM_TX_SIGNAL_NODES::ROW;

// What a tree object stands for, and so which shapes it may have: the tree of a trigger level
// or pattern and its boxes are of KSM_TREE_KIND_TRIGGER and may hold boxes; a state machine is
// one object of KSM_TREE_KIND_STATE_MACHINE that holds attributes only.
enum class TREE_ROLE { TRIGGER, STATE_MACHINE };

std::atomic<bool> g_plain_reading{false};

// The planes of a log's samples: one per channel, then these three.
enum EXTRA_PLANE : int { PLANE_VALID = 0, PLANE_TRIGGER = 1, PLANE_BREAKS = 2, EXTRA_PLANES = 3 };

// An attribute's name, written as a literal: its length is known where it is written.
struct NAME {
    template <size_t N> constexpr NAME(const char (&name)[N]) : text(name), size(static_cast<int>(N - 1)) {}
    NAME(const char* name, int name_size) : text(name), size(name_size) {}
    const char* text;
    int size;
};

// A place in the file, for a fault found after the reader has moved on.
struct POSITION {
    qint64 line = 0;
    qint64 column = 0;
};

// A log's samples as the file gives them: their shape and each plane's compressed payload,
// checked against its size; whether they are inflated later or refused is known once the whole
// instance has been read and the samples it may hold are known.
struct PENDING_SAMPLES {
    std::shared_ptr<KSM_DATA_LOG::PACKED> packed;
    std::string log;  // the log's name
};

class READER {
public:
    READER(KSM_PAYLOAD_FILTER* device, std::string file) : m_xml(device), m_filter(device), m_file(std::move(file))
    {
        m_prefetched.swap(kept_prefetched());
    }
    ~READER()
    {
        KSM_PAYLOAD_FILTER::done_with(&m_rows, &m_run);
        m_prefetched.clear();
        if (m_prefetched.capacity() <= KEPT_PREFETCHED)
            kept_prefetched().swap(m_prefetched);
    }
    READER(const READER&) = delete;
    READER& operator=(const READER&) = delete;
    std::unique_ptr<KSM_DATA_SESSION> read(KSM_TX_TREE_OBJECT* root, std::string* error, bool* newer);

private:
    // ---- failures ----
    // Where the reader is in the file: its columns count the planes' text the filter took out.
    POSITION here() const
    {
        if (m_place.line > 0)
            return m_place;
        const qint64 line = m_xml.lineNumber(), column = m_xml.columnNumber();
        return {line, column + m_filter->hidden_before(line, column)};
    }
    bool fail(const std::string& why) { return fail_at(here(), why); }
    bool fail_at(POSITION at, std::string why)
    {
        if (m_error.empty() && m_decoder)
            finish_decoding();  // a plane read before holds the file's first fault, if one is damaged
        if (m_error.empty() && !m_filter->fault().empty() &&
            m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError) {  // the end the filter made
            at = {m_filter->fault_line(), m_filter->fault_column()};
            why = m_filter->fault();
        }
        if (m_error.empty() && !m_filter->read_error().isEmpty()) {  // the reader met the end it made
            m_error = "cannot read \"" + m_file + "\": " + m_filter->read_error().toStdString();
        } else if (m_error.empty()) {
            m_error = "Invalid session file \"" + m_file + "\"";
            if (at.line > 0)
                m_error += " at line " + std::to_string(at.line) + ", column " + std::to_string(at.column);
            m_error += ": " + why;
        }
        return false;
    }
    bool failed() const { return !m_error.empty(); }

    // ---- attributes ----
    bool has(NAME name) const { return !value(name).isNull(); }
    // The value of the element's attribute `name`, null when it has none: compared by length
    // first, as an element has a few attributes and is asked for many that it lacks.
    QStringRef value(NAME name) const
    {
        return m_name_sizes >> std::min(name.size, 63) & 1 ? find_value(name) : QStringRef();
    }
    QStringRef find_value(NAME name) const;
    // An attribute's 8-bit text: local encoding, or UTF-8 for the texts of tree objects.
    std::string text(NAME name, bool utf8 = false);
    long long number(NAME name, long long default_value, long long min, long long max)
    {
        const QStringRef text = value(name);
        if (text.isNull() && default_value >= min && default_value <= max)  // most are absent
            return default_value;
        return number(text, name, default_value, min, max);
    }
    long long number(const QStringRef& text, NAME name, long long default_value, long long min, long long max);
    int integer(NAME name, int default_value, int min = INT_MIN, int max = INT_MAX)
    {
        return static_cast<int>(number(name, default_value, min, max));
    }
    bool flag(NAME name, bool default_value) { return number(name, default_value ? 1 : 0, 0, 1) != 0; }
    std::vector<int> ints(const QString& text, long long min, long long max);
    std::string element_text(bool utf8 = false);
    void plane_payload(size_t expected_size, size_t plane, QByteArray* payload, uint64_t* target);
    // Whether a plane's text of `size` characters may take `more`: a text far longer than its
    // samples of `expected_size` bytes can take is refused before it is gathered.
    bool fits_plane(qint64 size, qint64 more, size_t expected_size)
    {
        return static_cast<size_t>(size + more) <= ksm_plane_text_limit(expected_size) ||
               fail("a sample plane's text is longer than its samples can be");
    }
    void plane_text(QByteArray&& text, size_t expected_size, size_t plane, QByteArray* payload, uint64_t* target);
    void prefetched_payload(int text, size_t expected_size, size_t plane, QByteArray* payload, uint64_t* target);
    void finish_decoding();

    // ---- elements ----
    bool next_child();  // moves to the next child element of the current one; false at its end
    bool next_row();    // makes the next row of the run taken the current element
    void row_characters(size_t first, size_t end);
    // The current element's name.
    QStringRef name() const
    {
        static const QString node = QStringLiteral("node");
        return m_row_current ? QStringRef(&node) : m_xml.name();
    }
    bool unexpected() { return fail("unexpected element <" + name().toString().toStdString() + ">"); }
    // Appends a child read from the file; a name that a child of the list bears already is a fault.
    template <class T> void add_child(KSM_CHILDREN<T>& list, std::shared_ptr<T> child, const char* what)
    {
        if (child && ksm_find_child(list, child->get_name()))
            fail("two " + std::string(what) + " are named \"" + child->get_name() + "\"");
        list.push_back(std::move(child));
    }
    // A child object of the session read, below its parent, with its name and expansion.
    template <class T, class PARENT> std::shared_ptr<T> child_of(PARENT* parent)
    {
        auto child = ksm_make<T>(m_session, text("name").c_str());
        KSM_ACCESS::set_parent(child.get(), parent);
        KSM_ACCESS::state(child.get())->expanded = flag("expanded", false);
        return child;
    }
    // The active child that `owner` names must be one of its list's.
    template <class T>
    void check_active(const KSM_CHILDREN<T>& list, int active, const std::string& owner, const char* what)
    {
        if (!failed() && active >= static_cast<int>(list.size()))
            fail(owner + " names a " + what + " it does not have");
    }
    void session_values(KSM_DATA_SESSION::STATE& s);
    void int_store(KSM_INT_STORE& store);
    std::shared_ptr<KSM_DATA_MNEMONICS_TABLE> mnemonic_table();
    void sif(KSM_DATA_SESSION::STATE& s);
    std::shared_ptr<KSM_TX_INSTANCE> instance(bool* power_up);
    std::shared_ptr<KSM_TX_SIGNAL_SET> signal_set(KSM_TX_INSTANCE* owner, bool shown);
    std::shared_ptr<KSM_TX_TRIGGER> trigger(KSM_TX_SIGNAL_SET* owner, bool shown);
    void level(KSM_LEVEL& level);
    void tree(KSM_TREE_NODE& node, TREE_ROLE role, int depth = 0);
    std::shared_ptr<ROW> row();
    void default_group_display(ROW& row);
    void post_warnings();
    void condition(ROW& row);
    std::shared_ptr<const KSM_TX_PLUGIN_MNEMONICS> plugin();
    std::shared_ptr<KSM_DATA_LOG> log(KSM_TX_TRIGGER* owner, bool shown);
    void samples(KSM_DATA_LOG* log, bool shown);
    void run_of_planes(KSM_DATA_LOG::PACKED& packed, std::vector<bool>& seen, KSM_DATA_LOG::SAMPLES* inflated);
    void finish_samples();
    bool check_rows(const KSM_ROW_TABLE& rows);
    void make_trees();

    QXmlStreamReader m_xml;
    KSM_PAYLOAD_FILTER* m_filter;                  // holds the sample planes' payloads
    std::unique_ptr<KSM_PLANE_DECODER> m_decoder;  // of the planes of the log being read
    bool m_inflate_failed = false;                 // a plane of the log being read did not inflate
    std::vector<POSITION> m_plane_ends;            // of the planes given to it, for their faults
    KSM_ROW_BLOCKS m_row_blocks;
    // The samples being read are the prefetch's, and the planes bound to the texts it inflates.
    bool m_adopted = false;
    struct PREFETCHED {
        int text;
        QByteArray* payload;
        POSITION end;
    };
    std::vector<PREFETCHED> m_prefetched;
    // Its memory, kept on the thread from one open to the next as long as it serves a session of
    // the most nodes (grown by doubling): fresh memory costs an open a page fault for each 4 KB
    // first written.
    static constexpr size_t KEPT_PREFETCHED = 2 * (KSM_MAX_NODES + 3);
    static std::vector<PREFETCHED>& kept_prefetched()
    {
        thread_local std::vector<PREFETCHED> kept;
        return kept;
    }
    // A run of plain planes the filter read in place of the XML reader: read in a log's samples,
    // each plane placed where its element stands in the file (m_place, the place of here()).
    bool m_in_samples = false;
    std::vector<KSM_PAYLOAD_FILTER::RUN_PLANE> m_run;
    POSITION m_place;
    // A run of node rows the filter read: the current element is one of them (m_row_current),
    // whose end the next next_child() meets (m_in_row), and the next one to read.
    KSM_ROW_RUN m_rows;
    QString m_row_text;  // the current row's attributes as characters, from m_row_base in m_rows.text
    int m_row_base = 0;
    size_t m_next_row = 0;
    bool m_row_current = false, m_in_row = false;
    QXmlStreamAttributes m_attributes;  // of the element last entered
    bool m_encoded_attributes = false;  // whether one of them is base64 ("-b64")
    uint64_t m_name_sizes = 0;          // bit N set: one of their names is N long (bit 63: longer)
    std::string m_file;
    std::string m_error;
    KSM_DATA_SESSION* m_session = nullptr;
    std::vector<std::shared_ptr<KSM_TX_TRIGGER>> m_state_machines;  // triggers whose file holds one
    std::vector<PENDING_SAMPLES> m_pending;                         // of the instance being read
    int m_entries = 0;                        // the instances' entries read, a power-up trigger's an entry of its own
    std::vector<std::string> m_refused_logs;  // too large for this machine
    int m_displayless_groups = 0;             // group rows given the default display format
    std::string m_first_displayless;          // the first of them, named in the warning
    qint64 m_first_displayless_line = 0;      // and its line
};

// ---- attributes -------------------------------------------------------------------------------------

// An attribute's text in the local encoding, or UTF-8: plain ASCII, most texts, is the same in
// both and is copied as it is.
std::string eight_bit(const QStringRef& text, bool utf8)
{
    std::string ascii(static_cast<size_t>(text.size()), '\0');
    const QChar* c = text.unicode();
    for (int i = 0; i < text.size(); ++i) {
        if (c[i].unicode() >= 0x80)
            return (utf8 ? text.toUtf8() : text.toLocal8Bit()).toStdString();
        ascii[static_cast<size_t>(i)] = static_cast<char>(c[i].unicode());
    }
    return ascii;
}

// A number in decimal digits, as most attributes hold, read here; any other text as
// QStringRef::toLongLong() reads it.
long long decimal(const QStringRef& text, bool* ok)
{
    const QChar* c = text.unicode();
    const int size = text.size();
    const int sign = size > 1 && c[0] == QLatin1Char('-') ? 1 : 0;
    if (size - sign < 1 || size - sign > 18)
        return text.toLongLong(ok);
    long long value = 0;
    for (int i = sign; i < size; ++i) {
        const unsigned digit = c[i].unicode() - '0';
        if (digit > 9)
            return text.toLongLong(ok);
        value = value * 10 + digit;
    }
    *ok = true;
    return sign ? -value : value;
}

QStringRef READER::find_value(NAME name) const
{
    const int size = name.size;
    auto named = [&](const QStringRef& n) {
        if (n.size() != size)
            return false;
        const QChar* c = n.unicode();
        int i = 0;
        while (i < size && c[i].unicode() == static_cast<unsigned char>(name.text[i]))
            ++i;
        return i == size;
    };
    if (m_row_current) {
        const size_t from = m_next_row > 1 ? m_rows.rows[m_next_row - 2].attributes_end : 0;
        for (size_t k = from; k < m_rows.rows[m_next_row - 1].attributes_end; ++k) {
            const KSM_ROW_RUN::ATTRIBUTE& a = m_rows.attributes[k];
            if (named(QStringRef(&m_row_text, a.name - m_row_base, a.name_size)))
                return QStringRef(&m_row_text, a.value - m_row_base, a.value_size);
        }
        return QStringRef();
    }
    for (const QXmlStreamAttribute& a : m_attributes)
        if (named(a.qualifiedName()))
            return a.value();
    return QStringRef();
}

std::string READER::text(NAME name, bool utf8)
{
    const QStringRef plain = value(name);
    if (!plain.isNull())
        return eight_bit(plain, utf8);
    if (!m_encoded_attributes)
        return std::string();
    char encoded_name[64];  // name + "-b64", made without an allocation as most texts are absent
    const size_t length = std::min(static_cast<size_t>(name.size), sizeof(encoded_name) - 5);
    std::memcpy(encoded_name, name.text, length);
    std::memcpy(encoded_name + length, "-b64", 4);
    const QStringRef encoded = value(NAME(encoded_name, static_cast<int>(length + 4)));
    if (encoded.isNull())
        return std::string();
    const auto decoded = QByteArray::fromBase64Encoding(encoded.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        fail(std::string("attribute ") + name.text + " is not valid base64");
    else if (decoded.decoded.contains('\0'))  // names are handed on as C strings: a NUL would cut one short
        fail(std::string("attribute ") + name.text + " holds a NUL character");
    return decoded.decoded.toStdString();
}

long long READER::number(const QStringRef& text, NAME name, long long default_value, long long min, long long max)
{
    if (text.isNull()) {
        // A default outside the range marks an attribute that must be there (an index, a size).
        if (default_value < min || default_value > max)
            fail(std::string("attribute ") + name.text + " is missing");
        return default_value;
    }
    bool ok = false;
    const long long value = decimal(text, &ok);
    if (!ok || value < min || value > max) {
        fail(std::string("attribute ") + name.text + " has the bad value \"" + text.toString().toStdString() + "\"");
        return default_value;
    }
    return value;
}

std::vector<int> READER::ints(const QString& text, long long min, long long max)
{
    std::vector<int> values;
    for (const QString& word : text.split(' ', Qt::SkipEmptyParts)) {
        bool ok = false;
        const long long v = word.toLongLong(&ok);
        if (!ok || v < min || v > max) {
            fail("bad number \"" + word.toStdString() + "\"");
            return {};
        }
        values.push_back(static_cast<int>(v));
    }
    return values;
}

std::string READER::element_text(bool utf8)
{
    const bool base64 = m_attributes.value(QLatin1String("encoding")) == QLatin1String("base64");
    const QString content = m_xml.readElementText();
    if (m_xml.hasError())
        return std::string();
    if (!base64)
        return (utf8 ? content.toUtf8() : content.toLocal8Bit()).toStdString();
    const auto decoded = QByteArray::fromBase64Encoding(content.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        fail("text is not valid base64");
    return decoded.decoded.toStdString();
}

// The payload of sample plane `plane` (the element just entered), its text as the reader gives
// its characters and the filter's instructions in their order; it must say that it holds
// `expected_size` bytes. When its length and first bytes say so, the decoder decodes it beside
// the reading; otherwise it is decoded now to tell its fault. With a target, the plane is
// inflated there.
void READER::plane_payload(size_t expected_size, size_t plane, QByteArray* payload, uint64_t* target)
{
    QByteArray text;
    int prefetched = -1;  // the number of the text the filter gave the prefetch
    for (bool open = true; open && !failed();) {
        switch (m_xml.readNext()) {
        case QXmlStreamReader::Characters:
            if (!fits_plane(text.size(), m_xml.text().size(), expected_size))
                break;
            text += m_xml.text().toLatin1();  // anything else than Latin-1 is not base64 either way
            break;
        case QXmlStreamReader::ProcessingInstruction: {
            QByteArray taken;
            int number = -1;
            const auto took =
                m_filter->take(m_xml.processingInstructionTarget(), m_xml.processingInstructionData(), &taken, &number);
            // The filter gives the prefetch only a text that is the whole of its element's content.
            const bool alone = text.isEmpty() && prefetched < 0;
            if (took == KSM_PAYLOAD_FILTER::GONE || (took == KSM_PAYLOAD_FILTER::PREFETCHED && !alone))
                fail("a sample plane's text is read twice");
            else if (!fits_plane(text.size(), taken.size(), expected_size))
                break;
            else if (took == KSM_PAYLOAD_FILTER::PREFETCHED)
                prefetched = number;
            else if (text.isEmpty())
                text = std::move(taken);
            else
                text += taken;
            break;
        }
        case QXmlStreamReader::Comment: break;
        case QXmlStreamReader::EndElement: open = false; break;
        case QXmlStreamReader::StartElement: unexpected(); break;
        default: fail(m_xml.hasError() ? m_xml.errorString().toStdString() : "a sample plane is cut short"); break;
        }
    }
    if (!failed() && prefetched >= 0 && !text.isEmpty())
        fail("a sample plane's text is read twice");
    if (failed())
        return;
    if (prefetched >= 0)
        return prefetched_payload(prefetched, expected_size, plane, payload, target);
    plane_text(std::move(text), expected_size, plane, payload, target);
}

// A plane's text read whole: decoded beside the reading where its length and first bytes show
// no fault, else now, to tell its fault.
void READER::plane_text(QByteArray&& text, size_t expected_size, size_t plane, QByteArray* payload, uint64_t* target)
{
    if (target && m_adopted && !m_filter->prefetch()->claim(plane)) {
        target = nullptr;  // the prefetch inflates another text there: the log is inflated when first read
        m_inflate_failed = true;
    }
    if (!ksm_plane_text_fault(text, expected_size)) {
        *payload = std::move(text);
        m_plane_ends.push_back(here());
        m_decoder->add(payload, target, expected_size);
        return;
    }
    const bool decoded = KSM_BASE64_DECODER::decode(text, payload);
    const quint32 header = payload->size() >= 4 ? qFromBigEndian<quint32>(payload->constData()) : 0;
    if (const char* fault = ksm_plane_fault(decoded, static_cast<size_t>(payload->size()), header, expected_size))
        fail(fault);
    else if (target && !KSM_DATA_LOG::PACKED::inflate_plane(*payload, target, expected_size))
        m_inflate_failed = true;
}

// A plane whose text the filter gave the prefetch: where the prefetch took it as this plane of
// the samples being read, it is inflated there; otherwise it is decoded now, as the decoder
// would, and inflated here.
void READER::prefetched_payload(int text, size_t expected_size, size_t plane, QByteArray* payload, uint64_t* target)
{
    KSM_PLANE_PREFETCH* prefetch = m_filter->prefetch();
    if (m_adopted && prefetch->plane_of(text) == static_cast<long>(plane)) {
        m_prefetched.push_back({text, payload, here()});
        return;
    }
    KSM_PLANE_PREFETCH::RESULT r = prefetch->result(text);
    *payload = std::move(r.payload);
    if (m_adopted) {  // the prefetch inflated the text as another plane: the log is inflated when first read
        target = nullptr;
        m_inflate_failed = true;
    }
    const quint32 header = payload->size() >= 4 ? qFromBigEndian<quint32>(payload->constData()) : 0;
    if (const char* fault = ksm_plane_fault(r.decoded, static_cast<size_t>(payload->size()), header, expected_size))
        fail(fault);
    else if (target && !KSM_DATA_LOG::PACKED::inflate_plane(*payload, target, expected_size))
        m_inflate_failed = true;
}

// Waits for the decoder and the prefetch to finish the planes given to them; the first that is
// not base64 throughout is the file's fault.
void READER::finish_decoding()
{
    const long bad = m_decoder->finish();
    m_inflate_failed = m_inflate_failed || m_decoder->inflate_failed();
    m_decoder.reset();
    bool found = bad >= 0;
    POSITION first = found ? m_plane_ends[static_cast<size_t>(bad)] : POSITION();
    KSM_PLANE_PREFETCH* prefetch = m_filter->prefetch();
    if (!m_prefetched.empty())
        prefetch->finish();
    for (const PREFETCHED& p : m_prefetched) {
        const KSM_PLANE_PREFETCH::RESULT r = prefetch->result(p.text, false);
        m_inflate_failed = m_inflate_failed || !r.inflated;
        const bool before = !found || std::tie(p.end.line, p.end.column) < std::tie(first.line, first.column);
        if (!r.decoded && before)
            first = p.end, found = true;
    }
    // The payloads are kept to save a log that is not inflated as it was read.
    for (size_t k = 0; !found && m_inflate_failed && !failed() && k < m_prefetched.size(); ++k) {
        KSM_PLANE_PREFETCH::RESULT r = prefetch->result(m_prefetched[k].text);
        *m_prefetched[k].payload = std::move(r.payload);
        if (!r.decoded)
            fail_at(m_prefetched[k].end, "a sample plane changed in the file while it was read");
    }
    m_prefetched.clear();
    m_plane_ends.clear();
    if (found)
        fail_at(first, "a payload does not decode");
}

bool READER::next_child()
{
    // Lets go of the last element's attributes, which share the reader's own list: the reader
    // then fills that list in place for the next element instead of copying it.
    m_attributes = QXmlStreamAttributes();
    m_name_sizes = 0;
    if (m_in_row) {  // a row of a run has no children: its end, where the XML reader meets it too
        m_in_row = false;
        return false;
    }
    m_row_current = false;
    if (m_next_row < m_rows.rows.size())
        return next_row();
    m_place = POSITION();
    while (!failed() && m_xml.readNext() != QXmlStreamReader::Invalid) {
        if (m_xml.isStartElement()) {
            m_attributes = m_xml.attributes();
            for (const QXmlStreamAttribute& a : qAsConst(m_attributes))
                m_name_sizes |= uint64_t(1) << std::min(a.qualifiedName().size(), 63);
            // Read through the constant list: a changing one would copy the list the reader shares.
            m_encoded_attributes = std::any_of(m_attributes.cbegin(), m_attributes.cend(), [](const auto& a) {
                return a.qualifiedName().endsWith(QLatin1String("-b64"));
            });
            return true;
        }
        if (m_xml.isEndElement() || m_xml.isEndDocument())
            return false;
        if (m_xml.isProcessingInstruction()) {
            const auto rows =
                m_filter->take_rows(m_xml.processingInstructionTarget(), m_xml.processingInstructionData(), &m_rows);
            if (rows == KSM_PAYLOAD_FILTER::TAKEN) {
                m_next_row = 0;
                return next_row();
            }
            if (rows == KSM_PAYLOAD_FILTER::GONE) {
                fail("a node row is read twice");
                return false;
            }
            const auto took =
                m_filter->take_run(m_xml.processingInstructionTarget(), m_xml.processingInstructionData(), &m_run);
            if (took == KSM_PAYLOAD_FILTER::OTHER)
                continue;
            if (took == KSM_PAYLOAD_FILTER::TAKEN && m_in_samples)
                return true;
            if (took == KSM_PAYLOAD_FILTER::TAKEN)  // planes where a log's samples do not stand
                m_place = {m_run[0].start_line, m_run[0].start_column};
            fail(took == KSM_PAYLOAD_FILTER::GONE ? "a sample plane's text is read twice"
                                                  : "unexpected element <plane>");
            m_place = POSITION();
            return false;
        }
        if (m_xml.isCharacters() && !m_xml.isWhitespace()) {
            fail("unexpected text");
            return false;
        }
    }
    if (m_xml.hasError())
        fail(m_xml.errorString().toStdString());
    return false;
}

// The rows of a run stand as elements of their own, each where its tag ends in the file.
bool READER::next_row()
{
    const KSM_ROW_RUN::ROW& row = m_rows.rows[m_next_row++];
    m_place = {row.line, row.column};
    m_row_current = m_in_row = true;
    m_encoded_attributes = false;
    const size_t first = m_next_row > 1 ? m_rows.rows[m_next_row - 2].attributes_end : 0;
    const char* const bytes = m_rows.text.data();
    for (size_t k = first; k < row.attributes_end; ++k) {
        const KSM_ROW_RUN::ATTRIBUTE& a = m_rows.attributes[k];
        m_name_sizes |= uint64_t(1) << std::min(a.name_size, 63);
        m_encoded_attributes =
            m_encoded_attributes || (a.name_size >= 4 && std::memcmp(bytes + a.name + a.name_size - 4, "-b64", 4) == 0);
    }
    row_characters(first, row.attributes_end);
    return true;
}

// The characters of a row's attributes, from its first name to its last value, in the text
// kept from row to row: its bytes are printable ASCII.
void READER::row_characters(size_t first, size_t end)
{
    m_row_base = first < end ? m_rows.attributes[first].name : 0;
    const int size =
        first < end ? m_rows.attributes[end - 1].value + m_rows.attributes[end - 1].value_size - m_row_base : 0;
    m_row_text.resize(size);
    QChar* to = m_row_text.data();
    const char* from = m_rows.text.data() + m_row_base;
    for (int i = 0; i < size; ++i)
        to[i] = QLatin1Char(from[i]);
}

// ---- the session ------------------------------------------------------------------------------------

std::unique_ptr<KSM_DATA_SESSION> READER::read(KSM_TX_TREE_OBJECT* root, std::string* error, bool* newer)
{
    auto session = std::make_unique<KSM_DATA_SESSION>(m_file.c_str());
    m_session = session.get();
    *newer = false;
    if (!next_child() || name() != QLatin1String(KSM_FILE_ROOT_ELEMENT)) {
        fail(failed() ? "" : std::string("not a session file (the document is not a <") + KSM_FILE_ROOT_ELEMENT + ">)");
        *error = m_error;
        return nullptr;
    }
    const int format = integer("format", -1, 0);
    if (!failed() && format > KSM_FILE_FORMAT) {
        *newer = true;
        fail("the file was written by a newer version (format " + std::to_string(format) + ")");
    } else if (!failed() && format != KSM_FILE_FORMAT) {
        fail("unknown format");
    }
    auto& s = *KSM_ACCESS::state(m_session);
    auto& tables = KSM_ACCESS::state(m_session->get_mnemonics())->tables;
    while (!failed() && next_child()) {
        const auto element = name();
        if (element == QLatin1String("session")) {
            session_values(s);
        } else if (element == QLatin1String("global")) {
            int_store(s.global_data);
        } else if (element == QLatin1String("mnemonic-table")) {
            add_child(tables, mnemonic_table(), "mnemonic tables");
        } else if (element == QLatin1String("sif")) {
            sif(s);
        } else if (element == QLatin1String("instance")) {
            bool power_up = false;
            auto i = instance(&power_up);
            add_child(s.instances, i, "instances");
            if (i)
                KSM_ACCESS::state(i.get())->power_up_entry = power_up;
        } else {
            unexpected();
        }
    }
    if (!failed()) {
        while (m_xml.readNext() != QXmlStreamReader::EndDocument && !m_xml.hasError())
            if (m_xml.isStartElement() || (m_xml.isCharacters() && !m_xml.isWhitespace()))
                fail("content after the end of the session");
        if (m_xml.hasError())
            fail(m_xml.errorString().toStdString());
    }
    if (failed()) {
        *error = m_error;
        return nullptr;
    }
    KSM_ACCESS::tree_host(m_session)->root = root;
    make_trees();
    post_warnings();
    return session;
}

// What the file that opened lacked: logs too large to open, group rows given a display format.
void READER::post_warnings()
{
    for (const std::string& log : m_refused_logs) {
        MSG_W warning;
        warning.fill_args(
            "The samples of log %1!s! in %2!s! are not opened: they would take more than half of this "
            "computer's memory/WKSM_LOG_TOO_LARGE",
            log.c_str(), m_file.c_str());
        warning.post();
    }
    if (m_displayless_groups > 0) {
        MSG_W warning;
        warning.fill_args(
            "%1!d! group node(s) in %2!s! name no display format and show hexadecimal values, the "
            "first %3!s! at line %4!d!/WKSM_GROUP_WITHOUT_DISPLAY",
            m_displayless_groups, m_file.c_str(), m_first_displayless.c_str(),
            static_cast<int>(m_first_displayless_line));
        warning.post();
    }
}

void READER::session_values(KSM_DATA_SESSION::STATE& s)
{
    s.gui_logging = flag("gui-logging", false);
    s.second_generation = flag("second-generation", false);
    s.stripped = flag("stripped", false);
    s.stripped_original_name = text("stripped-original-name");
    s.jtag_chain = text("jtag-chain");
    s.jtag_device = text("jtag-device");
    s.sif_file_name = text("sif-file");
    s.next_instance_number = integer("next-instance", 0, 0);
    m_xml.skipCurrentElement();
}

void READER::int_store(KSM_INT_STORE& store)
{
    const std::string key = text("key");
    if (key.empty()) {
        fail("a stored value has no key");
        return;
    }
    store[key] = ints(m_xml.readElementText(), INT_MIN, INT_MAX);
}

std::shared_ptr<KSM_DATA_MNEMONICS_TABLE> READER::mnemonic_table()
{
    const std::string table_name = text("name");
    const int width = integer("width", 0, 0, KSM_MAX_NODES);
    auto table = ksm_make<KSM_DATA_MNEMONICS_TABLE>(m_session, table_name.c_str(), width);
    auto& entries = KSM_ACCESS::state(table.get())->entries;
    while (!failed() && next_child()) {
        if (name() != QLatin1String("entry")) {
            unexpected();
            break;
        }
        const std::string value = text("value");
        if (static_cast<int>(value.size()) != width ||
            !std::all_of(value.begin(), value.end(), [](char c) { return c == '0' || c == '1'; }))
            fail("mnemonic value \"" + value + "\" is not a binary value of the table's width");
        std::vector<std::string> symbols;
        while (!failed() && next_child()) {
            if (name() != QLatin1String("symbol")) {
                unexpected();
                break;
            }
            symbols.push_back(element_text());
        }
        entries.emplace_back(value, std::move(symbols));
    }
    return table;
}

// An attached file: it inflates to exactly the size its payload declares, which must be within
// what any attached file may hold, what its payload can hold and what the machine can spare.
void READER::sif(KSM_DATA_SESSION::STATE& s)
{
    KSM_EMBEDDED_SIF sif;
    sif.name = text("name");
    sif.info = text("info");
    const QByteArray encoded = m_xml.readElementText().toLatin1();
    const POSITION end = here();
    const auto decoded = QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
    const QByteArray& data = decoded.decoded;
    const size_t declared = data.size() >= 4 ? qFromBigEndian<quint32>(data.constData()) : 0;
    const auto* packed = reinterpret_cast<const unsigned char*>(data.constData()) + 4;
    std::string bytes;
    if (!decoded || data.size() < 4 || (declared == 0) != (data.size() == 4)) {  // nothing compressed is the size alone
        fail_at(end, "a payload does not decode");
    } else if (declared > KSM_MAX_SIF_BYTES || declared / KSM_MAX_DEFLATE_RATIO > static_cast<size_t>(data.size())) {
        fail_at(end, "the attached file \"" + sif.name + "\" claims " + std::to_string(declared) +
                         " bytes, more than an attached file or its payload can hold");
    } else if (!ksm_sample_memory_allows(declared)) {
        fail_at(end, "the attached file \"" + sif.name + "\" would take more than half of this computer's memory");
    } else if (declared > 0) {
        bytes.resize(declared);
        if (!ksm_uncompress(packed, static_cast<size_t>(data.size()) - 4, reinterpret_cast<unsigned char*>(&bytes[0]),
                            declared))
            fail_at(end, "a payload does not decode");
    }
    sif.bytes = ksm_held_file_bytes(std::move(bytes));
    s.embedded_sifs.push_back(std::move(sif));
}

// ---- instances, signal sets, triggers ---------------------------------------------------------------------

std::shared_ptr<KSM_TX_INSTANCE> READER::instance(bool* power_up)
{
    m_pending.clear();
    auto instance = ksm_make_instance(m_session, text("name").c_str());
    auto& s = *KSM_ACCESS::state(instance.get());
    if (s.name.empty())
        fail("an instance has no name");
    s.enabled = flag("enabled", true);
    s.expanded = flag("expanded", false);
    *power_up = flag("power-up", false);
    // The window shows the entry the file names ("active instance", stored before the
    // instances): the active log of this instance's shown trigger is inflated as it is read.
    const auto& global = KSM_ACCESS::state(m_session)->global_data;
    const auto stored = global.find("active instance");
    const int current = stored == global.end() || stored->second.empty() ? 0 : std::max(stored->second[0], 0);
    const bool shown = current >= m_entries && current <= m_entries + (*power_up ? 1 : 0);
    m_entries += *power_up ? 2 : 1;
    s.info.first = static_cast<uint8_t>(integer("info-first", 0, 0, UINT8_MAX));
    s.info.second = static_cast<uint32_t>(number("info-second", 0, 0, UINT32_MAX));
    s.info.third = static_cast<uint8_t>(integer("info-third", 0, 0, UINT8_MAX));
    s.info.version = static_cast<uint8_t>(integer("version", KSM_TX_INSTANCE::get_current_version(), 0, UINT8_MAX));
    s.version_defined = flag("version-defined", true);
    s.incremental_route_available = flag("incremental-route", false);
    s.compiled_checksum = static_cast<unsigned int>(number("compiled-checksum", 0, 0, UINT32_MAX));
    s.compiled_routing_checksum = static_cast<unsigned int>(number("compiled-routing-checksum", 0, 0, UINT32_MAX));
    s.active_signal_set = integer("active-signal-set", 0, 0);
    while (!failed() && next_child()) {
        if (name() == QLatin1String("position")) {
            int_store(s.position_data);
        } else if (name() == QLatin1String("signal-set")) {
            const bool active = static_cast<int>(s.signal_sets.size()) == s.active_signal_set;
            add_child(s.signal_sets, signal_set(instance.get(), shown && active), "signal sets");
        } else {
            unexpected();
        }
    }
    if (!failed() && s.signal_sets.empty())
        fail("instance \"" + s.name + "\" has no signal set");
    check_active(s.signal_sets, s.active_signal_set, "instance \"" + s.name + "\"", "signal set");
    if (!failed())
        finish_samples();
    return instance;
}

std::shared_ptr<KSM_TX_SIGNAL_SET> READER::signal_set(KSM_TX_INSTANCE* owner, bool shown)
{
    auto set = child_of<KSM_TX_SIGNAL_SET>(owner);
    auto& s = *KSM_ACCESS::state(set.get());
    s.clock_name = text("clock");
    s.clock_post_fitting = flag("clock-post-fitting", false);
    s.clock_invalid = flag("clock-invalid", false);
    s.sample_depth = integer("sample-depth", KSM_DEFAULT_SAMPLE_DEPTH, 0, KSM_MAX_SAMPLE_DEPTH);
    s.pipeline_level = integer("pipeline", 0, 0, KSM_MAX_PIPELINE_LEVEL);
    s.ram_type = integer("ram-type", KSM_RAM_AUTO, KSM_RAM_AUTO, KSM_RAM_LARGE);
    s.data_allocated = integer("data-allocated", 0, 0, KSM_MAX_NODES);
    s.trigger_allocated = integer("trigger-allocated", 0, 0, KSM_MAX_NODES);
    s.sq_allocated = integer("sq-allocated", 0, 0, KSM_MAX_NODES);
    s.corvix_data_allocated = integer("corvix-data-allocated", 0, 0, KSM_MAX_NODES);
    s.corvix_trigger_allocated = integer("corvix-trigger-allocated", 0, 0, KSM_MAX_NODES);
    s.assignment_text = text("assignment");
    s.top_entity = text("top-entity");
    s.active_trigger = integer("active-trigger", 0, 0);
    auto& rows = KSM_ACCESS::nodes(set.get())->rows;
    while (!failed() && next_child()) {
        if (name() == QLatin1String("node")) {
            rows.push_back(row());
        } else if (name() == QLatin1String("trigger")) {
            const bool active = static_cast<int>(s.triggers.size()) == s.active_trigger;
            add_child(s.triggers, trigger(set.get(), shown && active), "triggers");
        } else {
            unexpected();
        }
    }
    if (!failed() && (s.triggers.empty() || s.active_trigger >= static_cast<int>(s.triggers.size())))
        fail("signal set \"" + s.name + "\" has no trigger or names one it does not have");
    check_rows(rows);
    return set;
}

std::shared_ptr<KSM_TX_TRIGGER> READER::trigger(KSM_TX_SIGNAL_SET* owner, bool shown)
{
    auto trigger = child_of<KSM_TX_TRIGGER>(owner);
    auto& s = *KSM_ACCESS::state(trigger.get());
    s.sq_type = integer("sq-type", KSM_SQTYPE_CONTINUOUS, KSM_SQTYPE_CONTINUOUS, KSM_SQTYPE_INPUT_PORT);
    s.sq_port = text("sq-port");
    s.sq_port_post_fitting = flag("sq-port-post-fitting", false);
    s.sq_port_mark = flag("sq-port-mark", false);
    s.sq_disabled = flag("sq-disabled", false);
    s.gap_record = flag("gap-record", false);
    s.segmented = flag("segmented", false);
    s.segment_size = integer("segment-size", 0, 0);
    s.position = integer("position", KSM_TPOS_PRE, KSM_TPOS_PRE, KSM_TPOS_CONTINUOUS);
    s.state_based = flag("state-based", false);
    s.runtime_options = static_cast<unsigned int>(number("runtime-options", 0, 0, KSM_RUNTIME_OPTIONS_ALL));
    s.trigger_out_latency = integer("trigger-out-latency", -1);
    s.incremental_route = flag("incremental-route", false);
    s.active_log = integer("active-log", -1, -1);
    s.levels.clear();
    std::vector<bool> patterns_seen(KSM_NUM_PATTERNS, false);
    bool state_machine_seen = false;
    auto& rows = KSM_ACCESS::nodes(trigger.get())->rows;
    while (!failed() && next_child()) {
        const auto element = name();
        if (element == QLatin1String("level")) {
            const int index = integer("index", -1, 0, KSM_MAX_TRIGGER_LEVELS - 1);
            if (!failed() && index != static_cast<int>(s.levels.size()))
                fail("trigger levels are not numbered in order");
            s.levels.emplace_back();
            level(s.levels.back());
        } else if (element == QLatin1String("pattern")) {
            const int index = integer("index", -1, 0, KSM_NUM_PATTERNS - 1);
            if (!failed() && patterns_seen[index])
                fail("a storage-qualifier pattern is given twice");
            if (failed())
                break;
            patterns_seen[index] = true;
            level(s.patterns[index]);
        } else if (element == QLatin1String("state-machine")) {
            if (state_machine_seen) {
                fail("a trigger has two state machines");
            } else if (next_child() && name() == QLatin1String("object")) {
                state_machine_seen = true;
                KSM_TREE_NODE node;
                tree(node, TREE_ROLE::STATE_MACHINE);
                s.state_machine = std::make_shared<const KSM_TREE_ATTRIBUTES>(std::move(node.attributes));
                m_state_machines.push_back(trigger);
                if (next_child())
                    unexpected();
            } else {
                fail("a state machine has no object");
            }
        } else if (element == QLatin1String("counter")) {
            KSM_COUNTER c;
            c.name = text("name");
            c.width = integer("width", KSM_DEFAULT_COUNTER_WIDTH, 1, KSM_MAX_COUNTER_WIDTH);
            c.initial = static_cast<unsigned int>(number("initial", 0, 0, UINT32_MAX));
            s.counters.push_back(c);
            m_xml.skipCurrentElement();
        } else if (element == QLatin1String("flag")) {
            s.flags.push_back({text("name"), integer("initial", 0, 0, 1)});
            m_xml.skipCurrentElement();
        } else if (element == QLatin1String("trigger-in")) {
            KSM_TRIGGER_IN& in = s.trigger_in;
            in.enabled = flag("enabled", false);
            in.source = integer("source", KSM_IOTYPE_PIN, KSM_IOTYPE_PIN, KSM_IOTYPE_EPS_EVENT);
            in.pin_name = text("pin");
            in.node_name = text("node");
            in.node_post_fitting = flag("node-post-fitting", false);
            in.node_valid = flag("node-valid", true);
            in.instance_name = text("instance");
            in.condition = integer("condition", KSM_CTYPE_DONT_CARE, 0, KSM_CTYPE_COUNT - 1);
            m_xml.skipCurrentElement();
        } else if (element == QLatin1String("trigger-out")) {
            KSM_TRIGGER_OUT& out = s.trigger_out;
            out.enabled = flag("enabled", false);
            for (int k : ints(m_attributes.value(QLatin1String("selected")).toString(), 0, KSM_TRIGGER_OUT_KINDS - 1))
                out.selected[k] = true;
            out.pin_name = text("pin");
            out.instance_name = text("instance");
            out.eps_event_index = integer("eps-event", 0, 0);
            out.condition = integer("condition", KSM_CTYPE_ACTIVE_HIGH, 0, KSM_CTYPE_COUNT - 1);
            m_xml.skipCurrentElement();
        } else if (element == QLatin1String("node")) {
            rows.push_back(row());
        } else if (element == QLatin1String("log")) {
            const bool active = static_cast<int>(s.logs.size()) == s.active_log;
            add_child(s.logs, log(trigger.get(), shown && active), "logs");
        } else {
            unexpected();
        }
    }
    if (!failed() && s.levels.empty())
        fail("trigger \"" + s.name + "\" has no trigger level");
    check_active(s.logs, s.active_log, "trigger \"" + s.name + "\"", "log");
    check_rows(rows);
    return trigger;
}

void READER::level(KSM_LEVEL& l)
{
    l.type = integer("type", KSM_LTYPE_BASIC_AND, KSM_LTYPE_BASIC_AND, KSM_LTYPE_ADVANCED);
    l.name = text("name");
    l.enabled = flag("enabled", true);
    l.basic = flag("basic", true);
    l.modified = flag("modified", false);
    while (!failed() && next_child()) {
        if (name() == QLatin1String("expression")) {
            l.expression = element_text();
        } else if (name() == QLatin1String("object")) {
            if (l.tree) {
                fail("a level holds two object trees");
                break;
            }
            KSM_TREE_NODE node;
            tree(node, TREE_ROLE::TRIGGER);
            l.tree = std::make_shared<KSM_TREE>(KSM_TREE_KIND_TRIGGER);
            l.tree->content = std::make_shared<const KSM_TREE_NODE>(std::move(node));
        } else {
            unexpected();
        }
    }
    // The level's diagram is made when the session gets the module's root (ksm_make_missing_trees):
    // from the tree the file holds, else from its expression, else empty.
}

void READER::tree(KSM_TREE_NODE& node, TREE_ROLE role, int depth)
{
    // Far deeper than any trigger expression; a limit keeps a hostile file from exhausting the stack.
    constexpr int MAX_TREE_DEPTH = 1000;
    if (depth >= MAX_TREE_DEPTH) {
        fail("object trees nest deeper than " + std::to_string(MAX_TREE_DEPTH) + " levels");
        return;
    }
    // The module's objects would end the process on a tree of another shape, so it is refused here.
    const bool state_machine = role == TREE_ROLE::STATE_MACHINE;
    node.kind = integer("kind", KSM_TREE_KIND_TRIGGER, KSM_TREE_KIND_TRIGGER, KSM_TREE_KIND_STATE_MACHINE);
    if (!failed() && node.kind != (state_machine ? KSM_TREE_KIND_STATE_MACHINE : KSM_TREE_KIND_TRIGGER)) {
        fail(state_machine ? "the object of a state machine is not of kind 1"
                           : "an object of a trigger level or pattern is not of kind 0");
        return;
    }
    while (!failed() && next_child()) {
        if (name() == QLatin1String("attribute")) {
            const std::string key = text("key", true);
            if (key.empty())
                fail("an object attribute has no key");
            node.attributes.emplace_back(key, element_text(true));
        } else if (name() == QLatin1String("object")) {
            if (state_machine) {
                fail("a state machine holds no other object");
                break;
            }
            node.children.emplace_back();
            tree(node.children.back(), TREE_ROLE::TRIGGER, depth + 1);
        } else {
            unexpected();
        }
    }
}

// ---- node rows --------------------------------------------------------------------------------------------

std::shared_ptr<ROW> READER::row()
{
    auto r = m_row_blocks.make();
    r->name = text("name");
    if (r->name.empty())
        fail("a node has no name");
    r->alias = text("alias");
    r->debug_port = text("debug-port");
    r->mnemonics_table = text("mnemonics");
    r->signal_type = static_cast<unsigned int>(number("signal-type", 0, 0, UINT16_MAX));
    r->use = integer("use", KSM_CAPTURE_BOTH, KSM_CAPTURE_DATA, KSM_CAPTURE_NEITHER);
    r->tap_mode = integer("tap-mode", KSM_TAP_PRE_SYNTHESIS, KSM_TAP_PRE_SYNTHESIS, KSM_TAP_POST_FITTING);
    if (r->tap_mode != KSM_TAP_PRE_SYNTHESIS && r->tap_mode != KSM_TAP_POST_FITTING)
        fail("a node has the unknown tap mode " + std::to_string(r->tap_mode));
    r->depth = integer("depth", 0, 0, KSM_MAX_NODES);
    r->group = flag("group", false);
    r->selected = flag("selected", false);
    r->expanded = flag("expanded", true);
    r->data_tab_only = flag("data-tab-only", false);
    r->invalid = flag("invalid", false);
    r->storage_enabled = flag("storage", true);
    r->transition_enabled = flag("transition", false);
    r->inverted = flag("inverted", false);
    r->lsb_to_msb = flag("lsb-to-msb", false);
    r->group_display_type = integer("group-display", KSM_GTYPE_INVALID, KSM_GTYPE_MNEMONICS, KSM_GTYPE_INVALID);
    if (r->group && r->group_display_type == KSM_GTYPE_INVALID)
        default_group_display(*r);
    r->link_type = integer("link", 0, 0, KSM_LINK_TYPE_MASK);
    r->mark = integer("mark", 0);
    while (!failed() && next_child()) {
        if (name() == QLatin1String("condition")) {
            condition(*r);
        } else if (name() == QLatin1String("plugin")) {
            r->plugin = plugin();
        } else {
            unexpected();
        }
    }
    return r;
}

// A group row shows its members' values in a display format; one the file leaves out gets the
// format a new group gets, hexadecimal, and the reader warns once the file has opened.
void READER::default_group_display(ROW& r)
{
    r.group_display_type = KSM_GTYPE_HEX;
    if (m_displayless_groups++ == 0) {
        m_first_displayless = r.name;
        m_first_displayless_line = here().line;
    }
}

void READER::condition(ROW& r)
{
    const int bank = integer("bank", -1, 0, KSM_BANKS - 1);
    const int slot = integer("slot", -1, 0, KSM_CONDITION_SLOTS - 1);
    if (failed())
        return;
    KSM_CONDITION& c = r.conditions[bank][slot];
    c.condition = static_cast<uint8_t>(integer("condition", c.condition, 0, KSM_CTYPE_COUNT - 1));
    c.comparison_enabled = static_cast<uint8_t>(integer("comparison", 0, 0, 1));
    c.operand[0] =
        static_cast<uint8_t>(integer("operand1", c.operand[0], KSM_CTYPE_COMPARE_GREATER_THAN, KSM_CTYPE_COMPARE_TRUE));
    c.operand[1] =
        static_cast<uint8_t>(integer("operand2", c.operand[1], KSM_CTYPE_COMPARE_GREATER_THAN, KSM_CTYPE_COMPARE_TRUE));
    c.value[0] = integer("value1", 0);
    c.value[1] = integer("value2", 0);
    m_xml.skipCurrentElement();
}

std::shared_ptr<const KSM_TX_PLUGIN_MNEMONICS> READER::plugin()
{
    auto p = std::make_shared<KSM_TX_PLUGIN_MNEMONICS>();
    p->plugin_name = text("name");
    p->table_name = text("table");
    p->width = integer("width", 0, 0, KSM_MAX_NODES);
    p->static_table_index = integer("static-table", -1, -1);
    while (!failed() && next_child()) {
        const auto element = name();
        if (element == QLatin1String("option")) {
            p->options.push_back(
                {text("name"), text("setting"),
                 integer("type", KSM_PLUGIN_OPTION_OTHER, KSM_PLUGIN_OPTION_OTHER, KSM_PLUGIN_OPTION_FILE),
                 text("description")});
        } else if (element == QLatin1String("pair")) {
            p->string_pairs.emplace_back(text("first"), text("second"));
        } else if (element == QLatin1String("symbol")) {
            const int level = integer("level", -1, 0, KSM_MAX_TRIGGER_LEVELS - 1);
            if (!failed())
                p->set_symbol(level, text("text").c_str());
        } else {
            unexpected();
            break;
        }
        m_xml.skipCurrentElement();
    }
    return p;
}

// A list's rows must form a tree: it starts at depth 0 and goes at most one level deeper at a
// time, and only below a group row.
bool READER::check_rows(const KSM_ROW_TABLE& rows)
{
    if (failed())
        return false;
    const std::string beyond = ksm_node_limit_error(rows);
    if (!beyond.empty())
        return fail(beyond);
    int previous_depth = -1;
    bool previous_group = true;
    for (const auto& r : rows) {
        if (r->depth > previous_depth + 1 || (r->depth == previous_depth + 1 && !previous_group))
            return fail("node \"" + r->name + "\" is nested without a group above it");
        previous_depth = r->depth;
        previous_group = r->group;
    }
    return true;
}

// ---- logs -------------------------------------------------------------------------------------------------

// The active log of the trigger the window shows first: its samples are inflated as they are
// read, where the samples held leave room for them.
std::shared_ptr<KSM_DATA_LOG> READER::log(KSM_TX_TRIGGER* owner, bool shown)
{
    auto log = ksm_make<KSM_DATA_LOG>(m_session, text("name").c_str());
    KSM_ACCESS::set_parent(log.get(), owner);
    auto& s = *KSM_ACCESS::state(log.get());
    if (s.name.empty())
        fail("a log has no name");
    s.expanded = flag("expanded", false);
    s.power_up = flag("power-up", false);
    s.global_temp = flag("global-temp", false);
    s.gui_update_skipped = flag("gui-update-skipped", false);
    while (!failed() && next_child()) {
        if (name() == QLatin1String("samples")) {
            samples(log.get(), shown);
        } else if (name() == QLatin1String("static-table")) {
            const std::string key = text("key");
            s.static_tables.push_back(mnemonic_table());
            s.static_table_keys.push_back(key);
        } else {
            unexpected();
        }
    }
    return log;
}

// The channels' nodes, each name ended by a line break; none (the channels then follow the rows)
// where they are absent or do not name every channel.
std::vector<std::string> channel_nodes(const std::string& text, int channels)
{
    std::vector<std::string> names;
    for (size_t from = 0, end; (end = text.find('\n', from)) != std::string::npos; from = end + 1)
        names.emplace_back(text, from, end - from);
    if (names.size() != static_cast<size_t>(channels) || (!text.empty() && text.back() != '\n'))
        names.clear();
    return names;
}

// A log's samples: kept packed until they are first read, or inflated now when the log is shown.
void READER::samples(KSM_DATA_LOG* log, bool shown)
{
    auto packed = std::make_shared<KSM_DATA_LOG::PACKED>();
    KSM_ACCESS::packed(log) = packed;
    auto s = packed->shape = std::make_shared<KSM_DATA_LOG::SAMPLES>();
    s->channels = integer("channels", -1, 0, KSM_MAX_NODES);
    s->depth = integer("depth", -1, 0, KSM_MAX_LOG_DEPTH);
    s->segment_size = integer("segment-size", 0, 0);
    s->state_value = integer("state-value", -1, -1);
    const QXmlStreamAttributes& a = m_attributes;
    s->trigger_positions = ints(a.value("trigger-positions").toString(), -1, INT_MAX);
    for (int position : s->trigger_positions)
        if (!failed() && !ksm_trigger_position_fits(position, s->depth))
            fail("trigger position " + std::to_string(position) + " lies beyond the log's " + std::to_string(s->depth) +
                 " samples");
    for (int c : ints(a.value("counters").toString(), 0, UINT32_MAX))
        s->counters.push_back(static_cast<unsigned int>(c));
    s->flags = ints(a.value("flags").toString(), 0, 1);
    s->channel_nodes = channel_nodes(text("channel-nodes"), s->channels);
    // A capture holds at most half a gigabyte of samples; a larger shape is a damaged file.
    constexpr long long MAX_SAMPLE_BITS = 1ll << 32;
    if (!failed() && static_cast<long long>(s->channels) * s->depth > MAX_SAMPLE_BITS)
        fail("a log is larger than any capture");
    if (failed())
        return;
    s->words = (static_cast<size_t>(s->depth) + 63) / 64;
    s->connected.assign(static_cast<size_t>(s->channels), 1);
    for (int c : ints(a.value("disconnected").toString(), 0, s->channels - 1))
        s->connected[static_cast<size_t>(c)] = 0;
    // Planes 0.. are the channels', then come the valid, trigger and break planes; each must be
    // there once. A capture of no samples has planes too, only empty ones.
    packed->planes.resize(static_cast<size_t>(s->channels) + EXTRA_PLANES);
    std::vector<bool> seen(packed->planes.size(), false);
    const size_t bytes = packed->inflated_bytes();
    // The samples the filter's prefetch inflates, where they are this log's, else samples of our own.
    KSM_PLANE_PREFETCH* prefetch = m_filter->prefetch();
    std::shared_ptr<KSM_DATA_LOG::SAMPLES> inflated =
        shown && prefetch ? prefetch->adopt(s->channels, s->depth) : nullptr;
    m_adopted = inflated != nullptr;
    if (m_adopted) {
        inflated->segment_size = s->segment_size;
        inflated->state_value = s->state_value;
        inflated->trigger_positions = s->trigger_positions;
        inflated->counters = s->counters;
        inflated->flags = s->flags;
        inflated->channel_nodes = s->channel_nodes;
        inflated->connected = s->connected;
    } else if (prefetch) {
        prefetch->stop_inflating();
    }
    // Each plane is written whole by the thread that inflates it.
    if (!m_adopted && shown && ksm_sample_memory_allows(bytes)) {
        inflated = std::make_shared<KSM_DATA_LOG::SAMPLES>(*s);
        inflated->allocate(s->channels, s->depth, false);
        inflated->connected = s->connected;
    }
    m_inflate_failed = false;
    // Decoding the planes keeps as many threads busy as inflating them does; the prefetch's keep
    // them busy where it inflates them.
    m_decoder = std::make_unique<KSM_PLANE_DECODER>(m_adopted ? 1 : ksm_parallel_threads(packed->planes.size(), bytes));
    m_in_samples = true;
    while (!failed() && next_child()) {
        if (!m_run.empty()) {
            run_of_planes(*packed, seen, inflated.get());
            continue;
        }
        const QStringRef kind = m_attributes.value(QLatin1String("kind"));
        const QLatin1String valid("valid"), trigger("trigger");
        int plane = -1;
        if (name() != QLatin1String("plane"))
            unexpected();
        else if (kind == QLatin1String("bits"))
            plane = integer("channel", -1, 0, s->channels - 1);
        else if (kind == valid || kind == trigger || kind == QLatin1String("breaks"))
            plane = s->channels + (kind == valid ? PLANE_VALID : kind == trigger ? PLANE_TRIGGER : PLANE_BREAKS);
        else
            fail("unknown sample plane \"" + kind.toString().toStdString() + "\"");
        if (!failed() && seen[plane])
            fail("a sample plane is given twice");
        if (failed())
            break;
        seen[plane] = true;
        const auto index = static_cast<size_t>(plane);
        plane_payload(s->words * sizeof(uint64_t), index, &packed->planes[index],
                      inflated ? inflated->plane(index) : nullptr);
    }
    m_in_samples = false;
    if (!failed() && std::find(seen.begin(), seen.end(), false) != seen.end())
        fail("a log's samples lack a plane");
    if (m_decoder)
        finish_decoding();
    if (prefetch)
        prefetch->stop_inflating();  // it inflates no other log's planes
    m_adopted = false;
    if (inflated && !failed() && !m_inflate_failed) {
        KSM_ACCESS::packed(log).reset();  // kept only to save a damaged log as it was read
        KSM_ACCESS::samples(log) = inflated;
        return;
    }
    m_pending.push_back({packed, KSM_ACCESS::state(log)->name});
}

// The planes of a run the filter read, each as its element would be read where it stands.
void READER::run_of_planes(KSM_DATA_LOG::PACKED& packed, std::vector<bool>& seen, KSM_DATA_LOG::SAMPLES* inflated)
{
    const KSM_DATA_LOG::SAMPLES& s = *packed.shape;
    for (const KSM_PAYLOAD_FILTER::RUN_PLANE& p : m_run) {
        m_place = {p.start_line, p.start_column};
        const long plane = p.kind == 0 ? p.channel : s.channels + p.kind - 1;  // the valid, trigger and break planes
        if (p.channel >= s.channels)
            fail("attribute channel has the bad value \"" + std::to_string(p.channel) + "\"");
        else if (seen[static_cast<size_t>(plane)])
            fail("a sample plane is given twice");
        if (failed())
            break;
        const auto index = static_cast<size_t>(plane);
        seen[index] = true;
        m_place = {p.end_line, p.end_column};
        QByteArray text;
        const size_t bytes = s.words * sizeof(uint64_t);
        uint64_t* target = inflated ? inflated->plane(index) : nullptr;
        const auto took = m_filter->take_text(p.text, &text);
        if (took == KSM_PAYLOAD_FILTER::GONE)
            fail("a sample plane's text is read twice");
        else if (took == KSM_PAYLOAD_FILTER::PREFETCHED)
            prefetched_payload(p.text, bytes, index, &packed.planes[index], target);
        else
            plane_text(std::move(text), bytes, index, &packed.planes[index], target);
    }
    m_place = POSITION();
    m_run.clear();
}

// The instance's logs keep their planes packed until they are first read; a log whose samples
// would take more than the machine can spare is refused.
void READER::finish_samples()
{
    for (PENDING_SAMPLES& pending : m_pending) {
        if (pending.packed->inflated_bytes() > ksm_sample_memory_limit()) {
            pending.packed->refused = true;
            m_refused_logs.push_back(pending.log);
        }
    }
    m_pending.clear();
}

// ---- trees ------------------------------------------------------------------------------------------------

// With a root, the diagrams and the stored state machines get their objects now; without one,
// when a transactional session attaches the data session.
void READER::make_trees()
{
    ksm_make_missing_trees(m_session);
    for (const auto& trigger : m_state_machines)
        trigger->get_state_machine_object();  // made showing the flow its trigger records
}

}  // namespace

void ksm_set_plain_reading(bool plain) { g_plain_reading = plain; }

std::unique_ptr<KSM_DATA_SESSION> ksm_read_session_file(const std::string& path, KSM_TX_TREE_OBJECT* root,
                                                        std::string* error, bool* newer)
{
    *newer = false;
    QFile file(QString::fromLocal8Bit(path.c_str()));
    const QFileInfo info(file.fileName());
    if (info.isDir()) {
        *error = "\"" + path + "\" is a directory, not a session file";
        return nullptr;
    }
    if (info.exists() && !info.isFile()) {  // a pipe or a device, whose open would wait for a writer
        *error = "cannot read \"" + path + "\": it is not a regular file";
        return nullptr;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = "cannot read \"" + path + "\": " + file.errorString().toStdString();
        return nullptr;
    }
    struct stat opened;
    const bool stamped = ::fstat(file.handle(), &opened) == 0;
    KSM_PAYLOAD_FILTER filter(&file, !g_plain_reading);
    READER reader(&filter, path);
    std::unique_ptr<KSM_DATA_SESSION> session = reader.read(root, error, newer);
    if (session && stamped)  // the file as it was opened, so that a save sees a change made since
        session->set_file_on_disk(path, ksm_file_stamp(opened));
    return session;
}
