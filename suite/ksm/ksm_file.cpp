// The session file: an XML document, written through a temporary file and read with every
// value checked before anything of it is used.
//
// Layout (format 1):
//   <lumetra-session format="1">
//     <session .../>  <global key="...">ints</global>  <mnemonics>tables</mnemonics>  <sif .../>
//     <instance ...>
//       <position key="...">ints</position>
//       <signal-set ...> <node .../>...  <trigger ...> levels, patterns, state machine, counters,
//         flags, trigger in and out, <node ...>conditions, plug-in</node>..., <log ...> </trigger>
//       </signal-set>
//     </instance>
//   </lumetra-session>
// Values equal to their defaults are left out. Texts that XML cannot carry as they are (control
// characters, bytes that are not text) are stored base64-encoded under the name + "-b64".
// Large payloads (samples, attached files) are zlib-compressed and base64-encoded.
#include "ksm_state.h"
#include "ksm_zlib.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <functional>

#if defined(__x86_64__) && defined(__GNUC__)
#include <tmmintrin.h>
#endif

namespace {

// The fastest zlib level: captures are large, and their bit planes compress well at any level.
constexpr int PAYLOAD_COMPRESSION = 1;

using ROW = KSM_TX_SIGNAL_NODES::ROW;

// ---- texts ---------------------------------------------------------------------------------------------

// An 8-bit text as the characters it stands for: the local encoding, or UTF-8 for the texts of
// the module's tree objects.
QString decode(const std::string& text, bool utf8)
{
    return utf8 ? QString::fromUtf8(text.c_str()) : QString::fromLocal8Bit(text.c_str());
}

// Whether XML carries the 8-bit text as it is; attribute values lose line ends, element
// texts lose carriage returns, and no XML text holds U+FFFE or U+FFFF.
bool carries(const std::string& text, bool attribute, bool utf8 = false)
{
    for (unsigned char c : text)
        if (c < 0x20 && c != '\t' && (attribute || c != '\n'))
            return false;
    const QByteArray bytes = QByteArray::fromStdString(text);
    const QString decoded = decode(text, utf8);
    if (decoded.contains(QChar(0xfffe)) || decoded.contains(QChar(0xffff)))
        return false;
    return (utf8 ? decoded.toUtf8() : decoded.toLocal8Bit()) == bytes;
}

// Signed or unsigned: sample counters use the full unsigned range.
template <class T> QString ints_text(const std::vector<T>& values)
{
    QStringList words;
    for (T v : values)
        words << QString::number(v);
    return words.join(' ');
}

QString payload_text(const char* data, size_t size)
{
    const auto* bytes = reinterpret_cast<const uchar*>(data);
    return QString::fromLatin1(qCompress(bytes, static_cast<int>(size), PAYLOAD_COMPRESSION).toBase64());
}

// Every pair of base64 characters, by the 12 bits they stand for.
struct BASE64_PAIRS {
    char at[4096][2] = {};
    constexpr BASE64_PAIRS()
    {
        constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int v = 0; v < 4096; ++v) {
            at[v][0] = alphabet[v >> 6];
            at[v][1] = alphabet[v & 63];
        }
    }
};
constexpr BASE64_PAIRS BASE64;

#if defined(__x86_64__) && defined(__GNUC__)
// Twelve bytes a step encoded to sixteen characters with SSSE3's byte shuffles, while sixteen
// are left to load; answers the bytes encoded.
__attribute__((target("ssse3"))) size_t base64_blocks(const unsigned char* in, size_t size, char* out)
{
    // Each 32-bit lane takes three bytes, then its four 6-bit values are moved to a byte each.
    const __m128i spread = _mm_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10);
    const __m128i high_bits = _mm_set1_epi32(0x0fc0fc00), high_shifts = _mm_set1_epi32(0x04000040);
    const __m128i low_bits = _mm_set1_epi32(0x003f03f0), low_shifts = _mm_set1_epi32(0x01000010);
    // What a value adds to become its character, by its range: 0-25, 26-51, 52-61, 62, 63.
    const __m128i shifts = _mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                                         '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
    size_t i = 0;
    for (; i + 16 <= size; i += 12, out += 16) {
        const __m128i v = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)), spread);
        const __m128i values = _mm_or_si128(_mm_mulhi_epu16(_mm_and_si128(v, high_bits), high_shifts),
                                            _mm_mullo_epi16(_mm_and_si128(v, low_bits), low_shifts));
        const __m128i below_26 = _mm_cmpgt_epi8(_mm_set1_epi8(26), values);
        const __m128i range =
            _mm_or_si128(_mm_subs_epu8(values, _mm_set1_epi8(51)), _mm_and_si128(below_26, _mm_set1_epi8(13)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_add_epi8(values, _mm_shuffle_epi8(shifts, range)));
    }
    return i;
}

const bool HAS_SSSE3 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3");
}();
#endif

// The base64 text of `bytes`, as QByteArray::toBase64() gives it: twelve bytes a step where the
// processor has SSSE3, else made two characters at a time, as samples are large.
QByteArray base64(const QByteArray& bytes)
{
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData());
    const size_t size = static_cast<size_t>(bytes.size()), whole = size / 3 * 3;
    QByteArray text(static_cast<int>((size + 2) / 3 * 4), Qt::Uninitialized);
    char* out = text.data();
    size_t i = 0;
#if defined(__x86_64__) && defined(__GNUC__)
    if (HAS_SSSE3) {
        i = base64_blocks(in, size, out);
        out += i / 3 * 4;
    }
#endif
    for (; i < whole; i += 3, out += 4) {
        const uint32_t v = uint32_t(in[i]) << 16 | uint32_t(in[i + 1]) << 8 | in[i + 2];
        std::memcpy(out, BASE64.at[v >> 12], 2);
        std::memcpy(out + 2, BASE64.at[v & 0xfff], 2);
    }
    if (size > whole) {  // one or two bytes left: their characters, then '=' for each byte short of three
        const bool two = size - whole == 2;
        const uint32_t v = uint32_t(in[whole]) << 16 | (two ? uint32_t(in[whole + 1]) << 8 : 0);
        std::memcpy(out, BASE64.at[v >> 12], 2);
        out[2] = two ? BASE64.at[v & 0xfff][0] : '=';
        out[3] = '=';
    }
    return text;
}

// Elements written as bytes, exactly as the XML writer (indented, UTF-8) writes them, for texts
// that are printable ASCII with nothing to escape: the writer converts and passes on every piece
// of a row on its own, which for thousands of rows takes longer than all else but the planes.
class RAW_ELEMENTS {
public:
    // `depth`: the elements open around the ones written, as the writer counts them for its indent.
    RAW_ELEMENTS(QByteArray* out, int depth) : m_out(out), m_depth(depth) {}

    static bool plain(const std::string& text)
    {
        for (unsigned char c : text)
            if (c < 0x20 || c > 0x7e || c == '<' || c == '>' || c == '&' || c == '"')
                return false;
        return true;
    }
    // An element with the attributes and children `content` writes: "/>" ends it when it has none.
    template <class CONTENT> void element(const char* name, CONTENT content)
    {
        start_tag(name);
        ++m_depth;
        content();
        --m_depth;
        if (m_in_start_tag) {
            m_out->append("/>");
            m_in_start_tag = false;
        } else {
            indent();
            m_out->append("</").append(name).append('>');
        }
    }
    // The start of an element's start tag, on a line of its own; its attributes may follow.
    void start_tag(const char* name)
    {
        end_start_tag();
        indent();
        m_out->append('<').append(name);
        m_in_start_tag = true;
    }
    void end_start_tag()
    {
        if (m_in_start_tag)
            m_out->append('>');
        m_in_start_tag = false;
    }
    // A text attribute, for a plain() text; left out when empty.
    void text(const char* name, const std::string& value)
    {
        if (!value.empty())
            attribute(name, value.data(), value.size());
    }
    void number(const char* name, long long value, long long default_value = 0)
    {
        if (value == default_value)
            return;
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        attribute(name, digits, static_cast<size_t>(end - digits));
    }
    void flag(const char* name, bool value, bool default_value = false)
    {
        if (value != default_value)
            attribute(name, value ? "1" : "0", 1);
    }

private:
    void attribute(const char* name, const char* value, size_t size)
    {
        m_out->append(' ').append(name).append("=\"").append(value, static_cast<int>(size)).append('"');
    }
    void indent() { m_out->append('\n').append(4 * m_depth, ' '); }

    QByteArray* m_out;
    int m_depth;
    bool m_in_start_tag = false;
};

// ---- writer ---------------------------------------------------------------------------------------------

class WRITER {
public:
    // Starts encoding the session's sample planes at once: they are made while the file is
    // opened and what comes before them written.
    explicit WRITER(KSM_DATA_SESSION* session) : m_session(session)
    {
        m_xml.setAutoFormatting(true);
        start_encoding(*KSM_ACCESS::state(session));
    }
    bool write(QIODevice* device);
    bool failed() const { return m_xml.hasError() || m_raw_failed || !m_refusal.empty(); }
    // Why the session was not written although the device took every byte, or empty.
    const std::string& refusal() const { return m_refusal; }

private:
    // One element: its start, then the attributes and children that `content` writes, its end.
    template <class CONTENT> void element(const char* name, CONTENT content)
    {
        m_xml.writeStartElement(name);
        ++m_depth;
        content();
        --m_depth;
        m_xml.writeEndElement();
    }
    void text(const char* name, const std::string& value, bool utf8 = false)
    {
        if (value.empty())
            return;
        if (carries(value, true, utf8))
            m_xml.writeAttribute(name, decode(value, utf8));
        else
            m_xml.writeAttribute(QString(name) + "-b64",
                                 QString::fromLatin1(QByteArray::fromStdString(value).toBase64()));
    }
    void number(const char* name, long long value, long long default_value = 0)
    {
        if (value != default_value)
            m_xml.writeAttribute(name, QString::number(value));
    }
    void flag(const char* name, bool value, bool default_value = false)
    {
        if (value != default_value)
            m_xml.writeAttribute(name, value ? "1" : "0");
    }
    // A list of numbers as one attribute, left out when the list is empty.
    template <class T> void ints(const char* name, const std::vector<T>& values)
    {
        if (!values.empty())
            m_xml.writeAttribute(name, ints_text(values));
    }
    // The name and the expansion of an object the editor shows in a tree.
    void name_and_expansion(const std::string& name, bool expanded)
    {
        text("name", name);
        flag("expanded", expanded);
    }
    // With `utf8`, key and value are UTF-8 (the attributes of tree objects), else local 8-bit.
    void element_text(const char* element, const char* key, const std::string& value, bool utf8 = false);
    void int_store(const char* element, const KSM_INT_STORE& store);
    void mnemonic_table(const char* element, const KSM_DATA_MNEMONICS_TABLE& table, const char* key);
    void session_values(const KSM_DATA_SESSION::STATE& s);
    void instance(const KSM_TX_INSTANCE& instance, bool power_up);
    void signal_set(const KSM_TX_SIGNAL_SET& set);
    void trigger(KSM_TX_TRIGGER& trigger);
    void flow_control(const KSM_TX_TRIGGER::STATE& s);
    void trigger_in_out(const KSM_TRIGGER_IN& in, const KSM_TRIGGER_OUT& out);
    void level(const char* element, int index, const KSM_LEVEL& level);
    void tree(KSM_TX_TREE_OBJECT* object, int kind);
    void tree(const KSM_TREE_NODE& node);
    void attributes(const KSM_TREE_ATTRIBUTES& list);
    void rows(const KSM_TX_SIGNAL_NODES& list);
    void row(const ROW& row);
    static bool plain(const ROW& row);
    // A row's attributes and conditions, through the XML writer or as bytes (RAW_ELEMENTS).
    template <class OUT> static void row_content(OUT& out, const ROW& row);
    void write_raw(QByteArray* bytes);
    void write_bytes(const QByteArray& bytes);
    void plugin(const KSM_TX_PLUGIN_MNEMONICS& p);
    void log(const KSM_DATA_LOG& log);
    void samples(const KSM_DATA_LOG::SAMPLES& s);
    void planes(const KSM_DATA_LOG::SAMPLES& s);
    void plane(const char* kind, int channel, const QByteArray& text, bool first);
    void start_encoding(const KSM_DATA_SESSION::STATE& s);
    QByteArray encode(size_t n) const;

    // The planes of every log, in the file's order, encoded ahead of the writing by helper
    // threads from its start on: what the file holds before a log's planes (its rows) does not
    // keep them waiting.
    struct PLANE_SOURCE {
        const KSM_DATA_LOG::SAMPLES* samples;
        const std::vector<QByteArray>* packed;  // planes as read, when they have not been inflated
        size_t first;                           // the number of its first plane among all
    };
    KSM_DATA_SESSION* m_session;
    std::vector<PLANE_SOURCE> m_sources;
    std::unique_ptr<KSM_PARTS_IN_ORDER<QByteArray>> m_encoded;  // after m_sources, which it reads

    QXmlStreamWriter m_xml;
    int m_depth = 0;            // the elements open
    QByteArray m_tag;           // a plane's start tag, its room kept for the next
    bool m_raw_failed = false;  // a payload written to the device past the XML writer failed
    std::string m_refusal;
};

void WRITER::element_text(const char* element_name, const char* key, const std::string& value, bool utf8)
{
    element(element_name, [&] {
        if (key)
            text("key", key, utf8);
        if (carries(value, false, utf8)) {
            m_xml.writeCharacters(decode(value, utf8));
        } else {
            m_xml.writeAttribute("encoding", "base64");
            m_xml.writeCharacters(QString::fromLatin1(QByteArray::fromStdString(value).toBase64()));
        }
    });
}

void WRITER::int_store(const char* element_name, const KSM_INT_STORE& store)
{
    for (const auto& [key, values] : store) {
        element(element_name, [&, &key = key, &values = values] {
            text("key", key);
            m_xml.writeCharacters(ints_text(values));
        });
    }
}

void WRITER::mnemonic_table(const char* element_name, const KSM_DATA_MNEMONICS_TABLE& table, const char* key)
{
    const auto& s = *KSM_ACCESS::state(&table);
    element(element_name, [&] {
        if (key)
            text("key", key);
        text("name", s.name);
        number("width", s.width);
        for (const auto& [value, symbols] : s.entries) {
            element("entry", [&, &value = value, &symbols = symbols] {
                text("value", value);
                for (const std::string& symbol : symbols)
                    element_text("symbol", nullptr, symbol);
            });
        }
    });
}

bool WRITER::write(QIODevice* device)
{
    KSM_DATA_SESSION* session = m_session;
    const auto& s = *KSM_ACCESS::state(session);
    m_xml.setDevice(device);
    m_xml.writeStartDocument();
    element(KSM_FILE_ROOT_ELEMENT, [&] {
        m_xml.writeAttribute("format", QString::number(KSM_FILE_FORMAT));
        session_values(s);
        int_store("global", s.global_data);
        for (const auto& table : KSM_ACCESS::state(session->get_mnemonics())->tables)
            mnemonic_table("mnemonic-table", *table, nullptr);
        for (const KSM_EMBEDDED_SIF& sif : s.embedded_sifs) {
            element("sif", [&] {
                text("name", sif.name);
                text("info", sif.info);
                m_xml.writeCharacters(payload_text(sif.bytes->data(), sif.bytes->size()));
            });
        }
        for (const auto& i : s.instances)
            instance(*i, KSM_ACCESS::state(i.get())->power_up_entry);
    });
    m_xml.writeEndDocument();
    return !failed();
}

void WRITER::session_values(const KSM_DATA_SESSION::STATE& s)
{
    element("session", [&] {
        flag("gui-logging", s.gui_logging);
        flag("second-generation", s.second_generation, false);
        flag("stripped", s.stripped);
        text("stripped-original-name", s.stripped_original_name);
        text("jtag-chain", s.jtag_chain);
        text("jtag-device", s.jtag_device);
        text("sif-file", s.sif_file_name);
        number("next-instance", s.next_instance_number);
    });
}

void WRITER::instance(const KSM_TX_INSTANCE& instance, bool power_up)
{
    const auto& s = *KSM_ACCESS::state(&instance);
    element("instance", [&] {
        text("name", s.name);
        flag("enabled", s.enabled, true);
        flag("expanded", s.expanded);
        flag("power-up", power_up);
        number("info-first", s.info.first);
        number("info-second", s.info.second);
        number("info-third", s.info.third);
        number("version", s.info.version, -1);  // always written
        flag("version-defined", s.version_defined, true);
        flag("incremental-route", s.incremental_route_available);
        number("compiled-checksum", s.compiled_checksum);
        number("compiled-routing-checksum", s.compiled_routing_checksum);
        number("active-signal-set", s.active_signal_set);
        int_store("position", s.position_data);
        for (const auto& set : s.signal_sets)
            signal_set(*set);
    });
}

void WRITER::signal_set(const KSM_TX_SIGNAL_SET& set)
{
    const auto& s = *KSM_ACCESS::state(&set);
    element("signal-set", [&] {
        name_and_expansion(s.name, s.expanded);
        text("clock", s.clock_name);
        flag("clock-post-fitting", s.clock_post_fitting);
        flag("clock-invalid", s.clock_invalid);
        number("sample-depth", s.sample_depth, KSM_DEFAULT_SAMPLE_DEPTH);
        number("pipeline", s.pipeline_level);
        number("ram-type", s.ram_type);
        number("data-allocated", s.data_allocated);
        number("trigger-allocated", s.trigger_allocated);
        number("sq-allocated", s.sq_allocated);
        number("corvix-data-allocated", s.corvix_data_allocated);
        number("corvix-trigger-allocated", s.corvix_trigger_allocated);
        text("assignment", s.assignment_text);
        text("top-entity", s.top_entity);
        number("active-trigger", s.active_trigger);
        rows(set);
        for (const auto& t : s.triggers)
            trigger(*t);
    });
}

void WRITER::trigger(KSM_TX_TRIGGER& trigger)
{
    const auto& s = *KSM_ACCESS::state(&trigger);
    element("trigger", [&] {
        name_and_expansion(s.name, s.expanded);
        number("sq-type", s.sq_type);
        text("sq-port", s.sq_port);
        flag("sq-port-post-fitting", s.sq_port_post_fitting);
        flag("sq-port-mark", s.sq_port_mark);
        flag("sq-disabled", s.sq_disabled);
        flag("gap-record", s.gap_record);
        flag("segmented", s.segmented);
        number("segment-size", s.segment_size);
        number("position", s.position);
        flag("state-based", s.state_based);
        number("runtime-options", s.runtime_options);
        number("trigger-out-latency", s.trigger_out_latency, -1);
        flag("incremental-route", s.incremental_route);
        number("active-log", s.active_log, -1);
        for (size_t i = 0; i < s.levels.size(); ++i)
            level("level", static_cast<int>(i), s.levels[i]);
        for (int i = 0; i < KSM_NUM_PATTERNS; ++i)
            level("pattern", i, s.patterns[i]);
        // A flow made only to be shown, and left as made, holds nothing of a sequential
        // trigger's own: an undone switch to state-based flow leaves the file as it was before.
        KSM_TX_TREE_OBJECT* state_machine = KSM_ACCESS::state_machine(&trigger);
        const KSM_TREE_ATTRIBUTES* made = KSM_ACCESS::made_state_machine(&trigger);
        const bool only_shown =
            state_machine && !s.state_based && !s.state_machine && made && state_machine->collect_attributes() == *made;
        if (state_machine && !only_shown)
            element("state-machine", [&] { tree(state_machine, KSM_TREE_KIND_STATE_MACHINE); });
        else if (s.state_machine)  // read while the session had no tree root to make the object
            element("state-machine", [&] {
                element("object", [&] {
                    number("kind", KSM_TREE_KIND_STATE_MACHINE);
                    attributes(*s.state_machine);
                });
            });
        flow_control(s);
        trigger_in_out(s.trigger_in, s.trigger_out);
        rows(trigger);
        for (const auto& l : s.logs)
            log(*l);
    });
}

void WRITER::flow_control(const KSM_TX_TRIGGER::STATE& s)
{
    for (const KSM_COUNTER& c : s.counters) {
        element("counter", [&] {
            text("name", c.name);
            number("width", c.width, KSM_DEFAULT_COUNTER_WIDTH);
            number("initial", c.initial);
        });
    }
    for (const KSM_FLAG& f : s.flags) {
        element("flag", [&] {
            text("name", f.name);
            number("initial", f.initial);
        });
    }
}

void WRITER::trigger_in_out(const KSM_TRIGGER_IN& in, const KSM_TRIGGER_OUT& out)
{
    element("trigger-in", [&] {
        flag("enabled", in.enabled);
        number("source", in.source);
        text("pin", in.pin_name);
        text("node", in.node_name);
        flag("node-post-fitting", in.node_post_fitting);
        flag("node-valid", in.node_valid, true);
        text("instance", in.instance_name);
        number("condition", in.condition, KSM_CTYPE_DONT_CARE);
    });
    element("trigger-out", [&] {
        flag("enabled", out.enabled);
        std::vector<int> selected;
        for (int k = 0; k < static_cast<int>(out.selected.size()); ++k)
            if (out.selected[k])
                selected.push_back(k);
        ints("selected", selected);
        text("pin", out.pin_name);
        text("instance", out.instance_name);
        number("eps-event", out.eps_event_index);
        number("condition", out.condition, KSM_CTYPE_ACTIVE_HIGH);
    });
}

void WRITER::level(const char* element_name, int index, const KSM_LEVEL& l)
{
    element(element_name, [&] {
        m_xml.writeAttribute("index", QString::number(index));
        number("type", l.type);
        text("name", l.name);
        flag("enabled", l.enabled, true);
        flag("basic", l.basic, true);
        flag("modified", l.modified);
        if (!l.expression.empty())
            element_text("expression", nullptr, l.expression);
        if (l.tree && l.tree->object)
            tree(l.tree->object, KSM_TREE_KIND_TRIGGER);
        else if (l.tree && l.tree->content)  // the diagram while no root shows it
            tree(*l.tree->content);
    });
}

void WRITER::tree(KSM_TX_TREE_OBJECT* object, int kind)
{
    element("object", [&] {
        number("kind", kind);
        attributes(object->collect_attributes());
        if (kind != KSM_TREE_KIND_STATE_MACHINE)
            for (int i = 0; i < object->get_child_count(); ++i)
                if (KSM_TX_TREE_OBJECT* child = object->get_child_object(i))
                    tree(child, KSM_TREE_KIND_TRIGGER);
    });
}

void WRITER::tree(const KSM_TREE_NODE& node)
{
    element("object", [&] {
        number("kind", node.kind);
        attributes(node.attributes);
        for (const KSM_TREE_NODE& child : node.children)
            tree(child);
    });
}

void WRITER::attributes(const KSM_TREE_ATTRIBUTES& list)
{
    for (const auto& [key, value] : list)
        element_text("attribute", key.c_str(), value, true);
}

// A list beyond the limits would write a file that cannot be opened again: it is refused.
// The first row goes through the XML writer, which so ends the list's start tag as it does; the
// rows after it are written as bytes where they allow, and leave the writer where their own
// elements would have.
void WRITER::rows(const KSM_TX_SIGNAL_NODES& list)
{
    const auto& all = KSM_ACCESS::nodes(&list)->rows;
    if (m_refusal.empty())
        m_refusal = ksm_node_limit_error(all);
    QByteArray bytes;
    RAW_ELEMENTS raw(&bytes, m_depth);
    for (size_t i = 0; i < all.size(); ++i) {
        if (i > 0 && plain(*all[i])) {
            raw.element("node", [&] { row_content(raw, *all[i]); });
            if (bytes.size() >= 1 << 16)
                write_raw(&bytes);
        } else {
            write_raw(&bytes);
            row(*all[i]);
        }
    }
    write_raw(&bytes);
}

void WRITER::write_raw(QByteArray* bytes)
{
    if (!bytes->isEmpty())
        write_bytes(*bytes);
    bytes->resize(0);
}

void WRITER::write_bytes(const QByteArray& bytes)
{
    m_raw_failed = m_raw_failed || m_xml.device()->write(bytes) != bytes.size();
}

void WRITER::row(const ROW& r)
{
    element("node", [&] {
        row_content(*this, r);
        if (r.plugin)
            plugin(*r.plugin);
    });
}

// Whether the row's texts are all plain() and it has no plug-in.
bool WRITER::plain(const ROW& r)
{
    return !r.plugin && RAW_ELEMENTS::plain(r.name) && RAW_ELEMENTS::plain(r.alias) &&
           RAW_ELEMENTS::plain(r.debug_port) && RAW_ELEMENTS::plain(r.mnemonics_table);
}

// The row's values, then the condition slots that differ from a new row's.
template <class OUT> void WRITER::row_content(OUT& out, const ROW& r)
{
    static const ROW defaults{};
    out.text("name", r.name);
    out.text("alias", r.alias);
    out.text("debug-port", r.debug_port);
    out.text("mnemonics", r.mnemonics_table);
    out.number("signal-type", r.signal_type);
    out.number("use", r.use, defaults.use);
    out.number("tap-mode", r.tap_mode);
    out.number("depth", r.depth);
    out.flag("group", r.group);
    out.flag("selected", r.selected);
    out.flag("expanded", r.expanded, defaults.expanded);
    out.flag("data-tab-only", r.data_tab_only);
    out.flag("invalid", r.invalid);
    out.flag("storage", r.storage_enabled, defaults.storage_enabled);
    out.flag("transition", r.transition_enabled);
    out.flag("inverted", r.inverted);
    out.flag("lsb-to-msb", r.lsb_to_msb);
    out.number("group-display", r.group_display_type, KSM_GTYPE_INVALID);
    out.number("link", r.link_type);
    out.number("mark", r.mark);
    const KSM_CONDITION plain{};
    constexpr long long ALWAYS = -1;  // no bank or slot is -1: both are always written
    for (int bank = 0; bank < KSM_BANKS; ++bank) {
        for (int slot = 0; slot < KSM_CONDITION_SLOTS; ++slot) {
            const KSM_CONDITION& c = r.conditions[bank][slot];
            if (c == plain)
                continue;
            out.element("condition", [&] {
                out.number("bank", bank, ALWAYS);
                out.number("slot", slot, ALWAYS);
                out.number("condition", c.condition, plain.condition);
                out.number("comparison", c.comparison_enabled);
                out.number("operand1", c.operand[0], plain.operand[0]);
                out.number("operand2", c.operand[1], plain.operand[1]);
                out.number("value1", c.value[0]);
                out.number("value2", c.value[1]);
            });
        }
    }
}

void WRITER::plugin(const KSM_TX_PLUGIN_MNEMONICS& p)
{
    element("plugin", [&] {
        text("name", p.plugin_name);
        text("table", p.table_name);
        number("width", p.width);
        number("static-table", p.static_table_index, -1);
        for (const KSM_TX_PLUGIN_OPTION& o : p.options) {
            element("option", [&] {
                text("name", o.name);
                text("setting", o.setting);
                number("type", o.type);
                text("description", o.description);
            });
        }
        for (const auto& [first, second] : p.string_pairs) {
            element("pair", [&, &first = first, &second = second] {
                text("first", first);
                text("second", second);
            });
        }
        for (size_t level = 0; level < p.level_symbols.size(); ++level) {
            element("symbol", [&] {
                m_xml.writeAttribute("level", QString::number(level));
                text("text", p.level_symbols[level]);
            });
        }
    });
}

void WRITER::log(const KSM_DATA_LOG& log)
{
    const auto& s = *KSM_ACCESS::state(&log);
    element("log", [&] {
        name_and_expansion(s.name, s.expanded);
        flag("power-up", s.power_up);
        flag("global-temp", s.global_temp);
        flag("gui-update-skipped", s.gui_update_skipped);
        if (const auto& packed = KSM_ACCESS::packed(&log))
            samples(*packed->shape);
        else if (const auto& samples_ = KSM_ACCESS::samples(&log))
            samples(*samples_);
        for (size_t i = 0; i < s.static_tables.size(); ++i)
            mnemonic_table("static-table", *s.static_tables[i], s.static_table_keys[i].c_str());
    });
}

// The channels' nodes, each name ended by a line break; none where a name holds one.
std::string channel_nodes_text(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) {
        if (name.find('\n') != std::string::npos)
            return std::string();
        text.append(name).push_back('\n');
    }
    return text;
}

// The samples' shape and planes (the shape alone for planes not inflated since they were read).
void WRITER::samples(const KSM_DATA_LOG::SAMPLES& s)
{
    element("samples", [&] {
        m_xml.writeAttribute("channels", QString::number(s.channels));
        m_xml.writeAttribute("depth", QString::number(s.depth));
        number("segment-size", s.segment_size);
        number("state-value", s.state_value, -1);
        ints("trigger-positions", s.trigger_positions);
        std::vector<int> disconnected;
        for (int c = 0; c < s.channels; ++c)
            if (!s.connected[c])
                disconnected.push_back(c);
        ints("disconnected", disconnected);
        ints("counters", s.counters);
        ints("flags", s.flags);
        text("channel-nodes", channel_nodes_text(s.channel_nodes));
        planes(s);
    });
}

// The logs' planes in the order the file gives them: each log's valid, trigger and break planes,
// then its channels.
void WRITER::start_encoding(const KSM_DATA_SESSION::STATE& s)
{
    size_t count = 0, bytes = 0;
    auto add = [&](const KSM_DATA_LOG::SAMPLES& samples, const std::vector<QByteArray>* packed) {
        m_sources.push_back({&samples, packed, count});
        const size_t planes = static_cast<size_t>(samples.channels) + 3;
        count += planes;
        bytes += planes * samples.words * sizeof(uint64_t);
    };
    for (const auto& instance : s.instances)
        for (const auto& set : KSM_ACCESS::state(instance.get())->signal_sets)
            for (const auto& trigger : KSM_ACCESS::state(set.get())->triggers)
                for (const auto& log : KSM_ACCESS::state(trigger.get())->logs)
                    if (const auto& packed = KSM_ACCESS::packed(log.get()))
                        add(*packed->shape, &packed->planes);
                    else if (const auto& samples = KSM_ACCESS::samples(log.get()))
                        add(*samples, nullptr);
    constexpr size_t WINDOW = 256;  // planes encoded ahead of the writing at most
    if (count > 0)
        m_encoded = std::make_unique<KSM_PARTS_IN_ORDER<QByteArray>>(count, ksm_parallel_threads(count, bytes), WINDOW,
                                                                     [this](size_t n) { return encode(n); });
}

// Plane n among all logs' planes, base64-encoded: compressed now, or as the file gave it.
QByteArray WRITER::encode(size_t n) const
{
    const auto source = std::prev(std::upper_bound(m_sources.begin(), m_sources.end(), n,
                                                   [](size_t at, const PLANE_SOURCE& p) { return at < p.first; }));
    const KSM_DATA_LOG::SAMPLES& s = *source->samples;
    const size_t k = n - source->first, channels = static_cast<size_t>(s.channels);
    const size_t index = k < 3 ? channels + k : k - 3;  // valid, trigger, breaks, then the channels
    if (source->packed)
        return base64((*source->packed)[index]);
    const uint64_t* extra[] = {s.valid.data(), s.trigger.data(), s.breaks.data()};
    const uint64_t* words = k < 3 ? extra[k] : s.bits.data() + index * s.words;
    thread_local QByteArray compressed;  // its room kept for the thread's next plane
    ksm_compress(reinterpret_cast<const unsigned char*>(words), s.words * sizeof(uint64_t), PAYLOAD_COMPRESSION,
                 &compressed);
    return base64(compressed);
}

// A log's planes, each written as soon as it is encoded.
void WRITER::planes(const KSM_DATA_LOG::SAMPLES& s)
{
    static const char* const EXTRA_KINDS[] = {"valid", "trigger", "breaks"};
    const size_t count = static_cast<size_t>(s.channels) + 3;
    for (size_t k = 0; k < count && !failed(); ++k)
        plane(k < 3 ? EXTRA_KINDS[k] : "bits", k < 3 ? -1 : int(k - 3), m_encoded->take(), k == 0);
}

// A plane's element; its text, base64 and so plain XML text, goes to the device as it is. The
// first of a log's planes goes through the XML writer, which so ends the samples' start tag; the
// tags of the others are written as bytes, as the writer would write them.
void WRITER::plane(const char* kind, int channel, const QByteArray& text, bool first)
{
    if (first) {
        element("plane", [&] {
            m_xml.writeAttribute("kind", kind);
            if (channel >= 0)
                m_xml.writeAttribute("channel", QString::number(channel));
            m_xml.writeCharacters(QString());  // ends the start tag
            write_bytes(text);
        });
        return;
    }
    RAW_ELEMENTS raw(&m_tag, m_depth);
    raw.start_tag("plane");
    raw.text("kind", kind);
    raw.number("channel", channel, -1);
    raw.end_start_tag();
    write_raw(&m_tag);
    write_bytes(text);
    m_tag.append("</plane>");
    write_raw(&m_tag);
}

}  // namespace

bool ksm_write_session_file(KSM_DATA_SESSION* session, const std::string& path, std::string* error,
                            const KSM_FILE_STAMP* expected, KSM_FILE_STAMP* stamp)
{
    WRITER writer(session);
    const bool written = ksm_write_file(
        path, [&writer](QIODevice* device) { return writer.write(device); }, error, expected, stamp);
    if (!written && !writer.refusal().empty() && error)
        *error = "cannot write \"" + path + "\": " + writer.refusal();
    return written;
}
