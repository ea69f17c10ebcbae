// Sample plane payloads taken out of a session file on its way to the XML reader.
#include "ksm_payload_filter.h"

#include "ksm_plane_prefetch.h"

#include <QFileDevice>
#include <QRandomGenerator>

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>
#include <tuple>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#include <tmmintrin.h>
#endif

namespace {

constexpr char BASE64_ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint32_t NOT_BASE64 = 1u << 24;

// For each byte, its base64 value shifted to its place in a quad that starts at character
// `place` (0 to 3), or NOT_BASE64: a quad of the alphabet is the OR of its four characters'
// entries, without NOT_BASE64.
struct BASE64_TABLES {
    uint32_t at[4][256] = {};
    constexpr BASE64_TABLES()
    {
        for (int place = 0; place < 4; ++place) {
            for (auto& entry : at[place])
                entry = NOT_BASE64;
            for (int i = 0; i < 64; ++i)
                at[place][static_cast<unsigned char>(BASE64_ALPHABET[i])] = static_cast<uint32_t>(i)
                                                                            << (18 - 6 * place);
        }
    }
};
constexpr BASE64_TABLES BASE64;

// The value of one character in base64, -1 outside the alphabet.
int base64_value(unsigned char c) { return BASE64.at[3][c] == NOT_BASE64 ? -1 : static_cast<int>(BASE64.at[3][c]); }

// What the filter holds for the reader (text passed on and plane texts not read yet) beyond
// which it reads on only as the reader asks. Fewer helpers inflate less text at once: the file
// is read less far ahead, and the reader, back sooner, reads the rows before the planes beside
// the helpers.
constexpr int READ_AHEAD = 4 << 20;
int read_ahead_of(size_t helpers) { return static_cast<int>(std::clamp<size_t>(helpers, 1, 4)) * (READ_AHEAD / 4); }
// What the filter reads at once. Where no text holds the piece read (the prefetch reads the
// texts it inflates from the file again), the next read goes to the same memory: the first
// touch of fresh pages is a good part of an open's time (on a virtual machine a fault on a small
// page can cost as much as reading a few pages of the file), so the file passes through one
// small piece, eight pages, at the cost of a few more reads.
constexpr int READ_SIZE = 32 << 10;
// Pieces read while texts held the piece before (a session's rows hold a few hundred KB of
// them), kept on the thread that read them from one open to the next: a piece no text holds any
// more is read into again, where fresh memory costs a page fault for each 4 KB first written.
class KEPT_PIECES {
public:
    // An empty piece with room for `room` bytes set aside: the smallest kept that has it, or the
    // largest for what grows.
    QByteArray take(int room, bool largest = false)
    {
        auto best = m_pieces.end();
        auto better = [&](int capacity) {
            return best == m_pieces.end() || (largest ? capacity > best->capacity() : capacity < best->capacity());
        };
        for (auto it = m_pieces.begin(); it != m_pieces.end(); ++it)
            if (it->capacity() >= room && better(it->capacity()) && it->isDetached() && reusable(&*it))
                best = it;
        if (best != m_pieces.end()) {
            QByteArray piece = std::move(*best);
            m_pieces.erase(best);
            m_bytes -= piece.capacity();
            piece.resize(0);  // the room stays where it was set aside
            piece.reserve(room);
            return piece;
        }
        QByteArray piece;
        piece.reserve(room);
        return piece;
    }
    // A piece texts may still hold, kept where there is room for it, made by letting smaller
    // pieces go: one that a plane's text grew is the dearest to make again.
    void give(QByteArray&& piece)
    {
        const int size = piece.capacity();
        auto full = [&] { return m_pieces.size() >= MOST || m_bytes + size > MOST_BYTES; };
        while (size <= MOST_BYTES && full() && !m_pieces.empty()) {
            const auto smallest = std::min_element(m_pieces.begin(), m_pieces.end(),
                                                   [](auto& a, auto& b) { return a.capacity() < b.capacity(); });
            if (smallest->capacity() >= size)
                break;
            m_bytes -= smallest->capacity();
            m_pieces.erase(smallest);
        }
        if (size > 0 && !full()) {
            m_bytes += size;
            m_pieces.push_back(std::move(piece));
        }
        piece = QByteArray();
    }

private:
    // Pieces of 36 KB, and one or two that held a plane's text whole (a plane of a million samples
    // takes some 170 KB of text).
    static constexpr size_t MOST = 32;
    static constexpr int MOST_BYTES = 2 << 20;
    // A text let go on another thread (a helper decoding it) lowered the count there: taking a
    // copy and dropping it orders this thread's writes after that thread's reads. True when no
    // text holds the piece since.
    static bool reusable(QByteArray* piece)
    {
        QByteArray copy = *piece;
        copy = QByteArray();
        return piece->isDetached();
    }
    std::vector<QByteArray> m_pieces;
    int m_bytes = 0;
};

KEPT_PIECES& kept_pieces()
{
    thread_local KEPT_PIECES kept;
    return kept;
}

// What a run of node rows, or of planes, holds: its bytes and, let go, nothing but its room.
size_t bytes_of(const KSM_ROW_RUN& run)
{
    return run.attributes.capacity() * sizeof(KSM_ROW_RUN::ATTRIBUTE) + run.rows.capacity() * sizeof(KSM_ROW_RUN::ROW);
}
void empty(KSM_ROW_RUN* run)
{
    run->text = KSM_FILE_TEXT();
    run->attributes.clear();
    run->rows.clear();
}
using PLANE_RUN = std::vector<KSM_PAYLOAD_FILTER::RUN_PLANE>;
size_t bytes_of(const PLANE_RUN& run) { return run.capacity() * sizeof(KSM_PAYLOAD_FILTER::RUN_PLANE); }
void empty(PLANE_RUN* run) { run->clear(); }

// The runs the reader is done with, kept on the thread from one run, and one open, to the next
// for the same reason: at most MOST, and as many bytes as the rows or planes of a few thousand
// nodes take.
template <class RUN> class KEPT_RUNS {
public:
    RUN take()
    {
        RUN run;
        if (!m_runs.empty()) {
            run = std::move(m_runs.back());
            m_runs.pop_back();
            m_bytes -= bytes_of(run);
        }
        return run;
    }
    void give(RUN&& run)
    {
        empty(&run);
        if (m_runs.size() < MOST && m_bytes + bytes_of(run) <= MOST_BYTES) {
            m_bytes += bytes_of(run);
            m_runs.push_back(std::move(run));
        }
        run = RUN();
    }

private:
    static constexpr size_t MOST = 64, MOST_BYTES = 1 << 20;
    std::vector<RUN> m_runs;
    size_t m_bytes = 0;
};

template <class RUN> KEPT_RUNS<RUN>& kept_runs()
{
    thread_local KEPT_RUNS<RUN> kept;
    return kept;
}

// How far into the file the filter looks for the first <samples> start tag before reading it:
// the rows of a few thousand nodes come before it.
constexpr qint64 LOOK_AHEAD = 2 << 20;

// The longest text a plane of `depth` samples may have.
size_t plane_text_limit(long depth) { return ksm_plane_text_limit((static_cast<size_t>(depth) + 63) / 64 * 8); }

#if defined(__x86_64__) && defined(__GNUC__)
// Sixteen characters of the alphabet a step, decoded to twelve bytes with SSSE3's byte shuffles,
// from `c` on until a step meets a character outside the alphabet, while 24 are left: a step
// stores sixteen bytes, which the room KSM_BASE64_DECODER::add() sets aside then holds.
__attribute__((target("ssse3"))) std::pair<const char*, char*> blocks(const char* c, const char* end, char* out)
{
    // Classes of a character by its low and by its high four bits: it is outside the alphabet
    // exactly when both share a bit.
    const __m128i low_classes =
        _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1a, 0x1b, 0x1b, 0x1b, 0x1a);
    const __m128i high_classes =
        _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    // What a character adds to become its value, by its high four bits less one for '/'.
    const __m128i shifts = _mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m128i nibble = _mm_set1_epi8(0x0f), slash = _mm_set1_epi8('/');
    // Pairs of values to 12 bits, pairs of those to 24, then each quad's three bytes in order.
    const __m128i pairs = _mm_set1_epi32(0x01400140), quads = _mm_set1_epi32(0x00011000);
    const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    for (; end - c >= 24; c += 16, out += 12) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
        const __m128i high = _mm_and_si128(_mm_srli_epi32(in, 4), nibble), low = _mm_and_si128(in, nibble);
        const __m128i clash = _mm_and_si128(_mm_shuffle_epi8(low_classes, low), _mm_shuffle_epi8(high_classes, high));
        if (_mm_movemask_epi8(_mm_cmpgt_epi8(clash, _mm_setzero_si128())))
            break;
        const __m128i values =
            _mm_add_epi8(in, _mm_shuffle_epi8(shifts, _mm_add_epi8(high, _mm_cmpeq_epi8(in, slash))));
        const __m128i merged = _mm_madd_epi16(_mm_maddubs_epi16(values, pairs), quads);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(merged, order));
    }
    return {c, out};
}

// A table of sixteen bytes in both halves of a vector: the byte shuffles look up each half apart.
__attribute__((target("avx2"))) inline __m256i in_both_halves(__m128i half)
{
    return _mm256_broadcastsi128_si256(half);
}

// Thirty-two characters a step with AVX2, as blocks() does, decoded to 24 bytes while 48 are
// left: a step stores 32 bytes.
__attribute__((target("avx2"))) std::pair<const char*, char*> blocks_32(const char* c, const char* end, char* out)
{
    const __m256i low_classes = in_both_halves(
        _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1a, 0x1b, 0x1b, 0x1b, 0x1a));
    const __m256i high_classes = in_both_halves(
        _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10));
    const __m256i shifts = in_both_halves(_mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0));
    const __m256i nibble = _mm256_set1_epi8(0x0f), slash = _mm256_set1_epi8('/');
    const __m256i pairs = _mm256_set1_epi32(0x01400140), quads = _mm256_set1_epi32(0x00011000);
    const __m256i order = in_both_halves(_mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);  // each lane's twelve bytes, together
    for (; end - c >= 48; c += 32, out += 24) {
        const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c));
        const __m256i high = _mm256_and_si256(_mm256_srli_epi32(in, 4), nibble), low = _mm256_and_si256(in, nibble);
        const __m256i clash =
            _mm256_and_si256(_mm256_shuffle_epi8(low_classes, low), _mm256_shuffle_epi8(high_classes, high));
        if (_mm256_movemask_epi8(_mm256_cmpgt_epi8(clash, _mm256_setzero_si256())))
            break;
        const __m256i values =
            _mm256_add_epi8(in, _mm256_shuffle_epi8(shifts, _mm256_add_epi8(high, _mm256_cmpeq_epi8(in, slash))));
        const __m256i merged = _mm256_madd_epi16(_mm256_maddubs_epi16(values, pairs), quads);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                            _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(merged, order), lanes));
    }
    return {c, out};
}

const bool HAS_SSSE3 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3");
}();
const bool HAS_AVX2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}();
#endif

}  // namespace

// ---- base64 ---------------------------------------------------------------------------------------

bool KSM_BASE64_DECODER::add(const char* c, int size)
{
    const int start = m_out->size();
    m_out->resize(start + size / 4 * 3 + 3);
    char* at = m_out->data() + start;
    const char* const end = c + size;
    while (c < end && !m_bad) {
        if (m_count == 0 && !m_padding)
            std::tie(c, at) = quads(c, end, at);
        if (c < end)
            at = one(static_cast<unsigned char>(*c++), at);
    }
    m_out->resize(static_cast<int>(at - m_out->data()));
    return !m_bad;
}

bool KSM_BASE64_DECODER::decode(const char* text, int size, QByteArray* out)
{
    out->resize(0);                  // the room of an `out` that set its room aside stays
    out->reserve(size / 4 * 3 + 3);  // what add() sets aside, so that it never grows `out`
    KSM_BASE64_DECODER decoder(out);
    return decoder.add(text, size) && decoder.finish();
}

// Whole quads of the alphabet, the common case, from `c` on until one is not.
std::pair<const char*, char*> KSM_BASE64_DECODER::quads(const char* c, const char* end, char* out)
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (HAS_AVX2)
        std::tie(c, out) = blocks_32(c, end, out);
    if (HAS_SSSE3)
        std::tie(c, out) = blocks(c, end, out);
#endif
    const auto* u = reinterpret_cast<const unsigned char*>(c);
    for (; end - c >= 4; c += 4, u += 4, out += 3) {
        const uint32_t v = BASE64.at[0][u[0]] | BASE64.at[1][u[1]] | BASE64.at[2][u[2]] | BASE64.at[3][u[3]];
        if (v & NOT_BASE64)
            break;
        out[0] = char(v >> 16), out[1] = char(v >> 8), out[2] = char(v);
    }
    return {c, out};
}

char* KSM_BASE64_DECODER::one(unsigned char c, char* at)
{
    const int v = base64_value(c);
    if (v >= 0 && !m_padding) {
        m_bits = m_bits << 6 | static_cast<uint32_t>(v);
    } else if (c == '=' && m_count >= 2) {
        m_bits <<= 6;
        ++m_padding;
    } else {
        m_bad = true;
        return at;
    }
    if (++m_count < 4)
        return at;
    const char bytes[] = {char(m_bits >> 16), char(m_bits >> 8), char(m_bits)};
    for (int k = 0; k < 3 - m_padding; ++k)
        *at++ = bytes[k];
    m_count = 0;
    return at;
}

// ---- filter ---------------------------------------------------------------------------------------

namespace {

constexpr char MARK_TARGET[] = "ksm-plane";
constexpr char RUN_TARGET[] = "ksm-planes";
constexpr char ROWS_TARGET[] = "ksm-rows";
// Beyond any start tag of a plane or of samples that this system writes: a longer one is not
// looked into.
constexpr int MAX_TAG = 1024;

bool xml_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool name_char(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' || c == '.';
}

// Whether the `count` bytes at `p` are `name` and a byte of `ends` follows them.
bool starts_with_name(const char* p, int count, const char* name, const char* ends)
{
    const auto n = std::strlen(name);
    return count > static_cast<int>(n) && std::memcmp(p, name, n) == 0 && std::memchr(ends, p[n], std::strlen(ends));
}

// Views into the tag read: a plane's tag is read for each of thousands of planes, without
// allocating for each attribute.
using ATTRIBUTES = std::vector<std::pair<std::string_view, std::string_view>>;

// The attributes of a start tag (`tag` from the element's name to before its '>') when each is
// a name, '=' and a quoted value of printable ASCII without references, which the XML reader
// gives as they stand; false for any other tag.
bool plain_attributes(std::string_view tag, ATTRIBUTES* attributes)
{
    const char* c = tag.data();
    const char* const end = c + tag.size();
    attributes->reserve(4);
    while (c < end && name_char(*c))  // the element's name
        ++c;
    while (true) {
        const char* const before = c;
        while (c < end && xml_space(*c))
            ++c;
        if (c == end || (*c == '/' && c + 1 == end))
            return true;
        const char* const name = c;
        while (c < end && name_char(*c))
            ++c;
        if (before == name || c == name)
            return false;
        const std::string_view attribute(name, static_cast<size_t>(c - name));
        while (c < end && xml_space(*c))
            ++c;
        if (c == end || *c++ != '=')
            return false;
        while (c < end && xml_space(*c))
            ++c;
        if (c == end || (*c != '"' && *c != '\''))
            return false;
        const char quote = *c++;
        const char* const value = c;
        while (c < end && *c != quote && *c >= 0x20 && *c < 0x7f && *c != '&' && *c != '<')
            ++c;
        if (c == end || *c != quote)
            return false;
        attributes->emplace_back(attribute, std::string_view(value, static_cast<size_t>(c - value)));
        ++c;
    }
}

// An attribute's value of at most nine digits, -1 when it has another.
long digits(const ATTRIBUTES& attributes, const char* name)
{
    for (const auto& a : attributes) {
        if (a.first != name)
            continue;
        const std::string_view v = a.second;
        if (v.empty() || v.size() > 9)
            return -1;
        long value = 0;
        for (const char c : v) {
            if (c < '0' || c > '9')
                return -1;
            value = value * 10 + (c - '0');
        }
        return value;
    }
    return -1;
}

// The plane a plain start tag names in samples of `channels` channels, -1 when it names none.
long plane_of_tag(const QByteArray& tag, long channels)
{
    ATTRIBUTES attributes;
    if (!plain_attributes(std::string_view(tag.constData(), static_cast<size_t>(tag.size())), &attributes))
        return -1;
    std::string_view kind;
    for (const auto& a : attributes)
        if (a.first == "kind")
            kind = a.second;
    if (kind == "bits") {
        const long channel = digits(attributes, "channel");
        return channel < channels ? channel : -1;
    }
    const char* extra[] = {"valid", "trigger", "breaks"};
    for (long k = 0; k < 3; ++k)
        if (kind == extra[k])
            return channels + k;
    return -1;
}

// Whether a byte stays in a plane's text: the XML reader gives it as it is, on the same line
// (printable ASCII but references and what could end a CDATA section), and it is not markup.
bool stays_in_text(unsigned char c) { return c >= 0x20 && c < 0x7f && c != '&' && c != ']' && c != '<'; }

// The bytes from `p` on that stay in a plane's text (`n` when all do): 64 a step where SSE2 is
// at hand, as the file's planes are most of its bytes.
#if defined(__x86_64__) && defined(__GNUC__)
// The bytes of 32 at `p` that do not stay in a plane's text, as signed bytes.
__attribute__((target("avx2"))) __m256i leaving_32(const char* p)
{
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i printable =
        _mm256_and_si256(_mm256_cmpgt_epi8(b, _mm256_set1_epi8(0x1f)), _mm256_cmpgt_epi8(_mm256_set1_epi8(0x7f), b));
    const __m256i special = _mm256_or_si256(
        _mm256_or_si256(_mm256_cmpeq_epi8(b, _mm256_set1_epi8('&')), _mm256_cmpeq_epi8(b, _mm256_set1_epi8(']'))),
        _mm256_cmpeq_epi8(b, _mm256_set1_epi8('<')));
    return _mm256_andnot_si256(_mm256_andnot_si256(special, printable), _mm256_set1_epi8(-1));
}

// The whole 64-byte blocks from `p` on whose bytes all stay, 32 bytes a step with AVX2: the
// scan of a plane's text is most of what the filter does before it hands the plane on.
__attribute__((target("avx2"))) int staying_blocks(const char* p, int n)
{
    int i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m256i any = _mm256_or_si256(leaving_32(p + i), leaving_32(p + i + 32));
        if (!_mm256_testz_si256(any, any))
            break;
    }
    return i;
}

#endif

int text_length(const char* p, int n)
{
    int i = 0;
#if defined(__x86_64__) && defined(__GNUC__)
    if (HAS_AVX2)
        i = staying_blocks(p, n);  // the block where a byte leaves, if any, is found below
#endif
#ifdef __SSE2__
    // As signed bytes, those from 0x80 on are below 0x20 too.
    const __m128i low = _mm_set1_epi8(0x1f), high = _mm_set1_epi8(0x7f);
    const __m128i amp = _mm_set1_epi8('&'), bracket = _mm_set1_epi8(']'), open = _mm_set1_epi8('<');
    auto leaving = [&](int at) {  // the bytes of 16 from `at` that do not stay
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        const __m128i printable = _mm_and_si128(_mm_cmpgt_epi8(b, low), _mm_cmplt_epi8(b, high));
        const __m128i special =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(b, amp), _mm_cmpeq_epi8(b, bracket)), _mm_cmpeq_epi8(b, open));
        return _mm_andnot_si128(_mm_andnot_si128(special, printable), _mm_set1_epi8(-1));
    };
    for (; i + 64 <= n; i += 64) {
        const __m128i any =
            _mm_or_si128(_mm_or_si128(leaving(i), leaving(i + 16)), _mm_or_si128(leaving(i + 32), leaving(i + 48)));
        if (_mm_movemask_epi8(any))
            break;
    }
    for (; i + 16 <= n; i += 16)
        if (const int mask = _mm_movemask_epi8(leaving(i)))
            return i + __builtin_ctz(static_cast<unsigned>(mask));
#endif
    while (i < n && stays_in_text(static_cast<unsigned char>(p[i])))
        ++i;
    return i;
}

// A plane element from `p` on in the plain form the writer gives it: "<plane", a kind, with a
// channel of decimal digits for "bits" (and for no other), '>', a text that stays as it is and
// "</plane>". Answers its length, 0 when `end` comes before it is whole, -1 when it is not of
// that form.
// `known` bytes of its text are known to stay already (a plane cut short by the last read);
// `plane->text_size` tells, also when it answers 0, how much of the text is known to stay.
struct PLAIN_PLANE {
    int kind = 0;  // "bits", "valid", "trigger", "breaks"
    long channel = -1;
    const char* text = nullptr;
    int text_size = 0;
};
int plain_plane(const char* p, const char* end, int known, PLAIN_PLANE* plane)
{
    plane->text_size = 0;
    constexpr char START[] = "<plane", END[] = "</plane";
    const long left = end - p;
    if (left <= 6)
        return std::memcmp(p, START, static_cast<size_t>(left)) == 0 ? 0 : -1;
    if (!starts_with_name(p, static_cast<int>(std::min<long>(left, MAX_TAG)), START, " \t\r\n>"))
        return -1;
    const auto* close =
        static_cast<const char*>(std::memchr(p, '>', static_cast<size_t>(std::min<long>(left, MAX_TAG))));
    if (!close)
        return left < MAX_TAG ? 0 : -1;
    ATTRIBUTES attributes;
    if (close[-1] == '/' ||
        !plain_attributes(std::string_view(p + 1, static_cast<size_t>(close - p - 1)), &attributes) ||
        attributes.empty() || attributes[0].first != "kind")
        return -1;
    static const std::string_view kinds[] = {"bits", "valid", "trigger", "breaks"};
    plane->kind = static_cast<int>(std::find(std::begin(kinds), std::end(kinds), attributes[0].second) - kinds);
    plane->channel = -1;
    if (plane->kind == 0 && attributes.size() == 2 && attributes[1].first == "channel" &&
        (attributes[1].second.size() == 1 || attributes[1].second[0] != '0'))
        plane->channel = digits(attributes, "channel");
    if (plane->kind == 4 || (plane->kind == 0 ? plane->channel < 0 : attributes.size() != 1))
        return -1;
    plane->text = close + 1;
    const char* const from = plane->text + std::min<long>(known, end - plane->text);
    const char* after = from + text_length(from, static_cast<int>(std::min<long>(end - from, INT_MAX)));
    plane->text_size = static_cast<int>(after - plane->text);
    if (after == end)
        return 0;
    if (after == plane->text || *after != '<')
        return -1;
    const long rest = end - after;
    if (std::memcmp(after, END, static_cast<size_t>(std::min<long>(rest, 7))) != 0)
        return -1;
    const char* c = after + std::min<long>(rest, 7);
    while (c < end && xml_space(*c))
        ++c;
    if (c == end)
        return 0;
    return *c == '>' ? static_cast<int>(c + 1 - p) : -1;
}

// Beyond any node row this system writes: a longer one is left to the XML reader.
constexpr int MAX_ROW = 4096;

bool row_name_start(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool row_name_char(char c) { return row_name_start(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

// An empty <node> element from `p` on whose attributes the XML reader gives as they stand: each
// a name of ASCII letters, digits, '_', '-' and '.' that starts with a letter or '_' (no
// namespace prefix, not "xmlns"), given once, then '=' and a quoted value of printable ASCII
// without '<' or references, with white space before each. Answers its length, 0 when `end`
// comes before it is whole, -1 when it is not of that form; its attributes are appended to
// `attributes` as places from `base`, only when it is.
int plain_row(const char* p, const char* end, const char* base, std::vector<KSM_ROW_RUN::ATTRIBUTE>* attributes)
{
    const bool cut = end - p > MAX_ROW;  // a row is not looked at further than this
    if (cut)
        end = p + MAX_ROW;
    const size_t before = attributes->size();
    auto answer = [&](int size) {
        if (size <= 0)
            attributes->resize(before);
        return size == 0 && cut ? -1 : size;
    };
    constexpr char START[] = "<node";
    if (end - p <= 5)
        return answer(std::memcmp(p, START, static_cast<size_t>(end - p)) == 0 ? 0 : -1);
    if (std::memcmp(p, START, 5) != 0)
        return answer(-1);
    for (const char* c = p + 5;;) {
        const char* const spaced = c;
        while (c < end && xml_space(*c))
            ++c;
        if (c == end || (*c == '/' && c + 1 == end))
            return answer(0);
        if (*c == '/')
            return answer(c[1] == '>' ? static_cast<int>(c + 2 - p) : -1);
        if (c == spaced || !row_name_start(*c))
            return answer(-1);
        const char* const name = c;
        while (c < end && row_name_char(*c))
            ++c;
        const auto name_size = static_cast<size_t>(c - name);
        if (end - c < 2)
            return answer(0);
        if (*c != '=' || (c[1] != '"' && c[1] != '\'') || (name_size == 5 && std::memcmp(name, "xmlns", 5) == 0))
            return answer(-1);
        for (size_t k = before; k < attributes->size(); ++k) {  // the XML reader refuses a name given twice
            const KSM_ROW_RUN::ATTRIBUTE& a = (*attributes)[k];
            if (static_cast<size_t>(a.name_size) == name_size && std::memcmp(base + a.name, name, name_size) == 0)
                return answer(-1);
        }
        const char quote = c[1];
        const char* const value = c += 2;
        while (c < end && *c != quote && *c >= 0x20 && *c < 0x7f && *c != '&' && *c != '<')
            ++c;
        if (c == end)
            return answer(0);
        if (*c != quote)
            return answer(-1);
        attributes->push_back({static_cast<int>(name - base), static_cast<int>(name_size),
                               static_cast<int>(value - base), static_cast<int>(c - value)});
        ++c;
    }
}

// Whether the bytes [from, to) are all white space.
bool all_space(const char* from, const char* to)
{
    while (from < to && xml_space(*from))
        ++from;
    return from == to;
}

// Whether a document that starts with `head` is read as UTF-8: no byte order mark of UTF-16 or
// UTF-32, and no encoding other than UTF-8 in its XML declaration.
bool utf8_document(const QByteArray& head)
{
    if (head.size() >= 2 && (head.startsWith("\xfe\xff") || head.startsWith("\xff\xfe") || head.left(4).contains('\0')))
        return false;
    const int from = head.startsWith("\xef\xbb\xbf") ? 3 : 0;
    if (head.mid(from, 5) != "<?xml")
        return true;
    const int end = head.indexOf("?>", from);
    if (end < 0)
        return false;  // a declaration longer than a read: too odd to look into
    const QByteArray declaration = head.mid(from, end - from);
    const int at = declaration.indexOf("encoding");
    if (at < 0)
        return true;
    const int open = declaration.indexOf('"', at);
    const int single = declaration.indexOf('\'', at);
    const int quote = open < 0 || (single >= 0 && single < open) ? single : open;
    if (quote < 0)
        return false;
    const int close = declaration.indexOf(declaration[quote], quote + 1);
    const QByteArray name = declaration.mid(quote + 1, close - quote - 1).toLower();
    return close > quote && (name == "utf-8" || name == "utf8");
}

}  // namespace

KSM_PAYLOAD_FILTER::KSM_PAYLOAD_FILTER(QIODevice* source, bool active)
    : m_source(source), m_read_ahead(read_ahead_of(ksm_usable_cpus() - 1)),
      m_text_limit(plane_text_limit(KSM_MAX_LOG_DEPTH))
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    if (!source->isSequential())
        m_in_at = source->pos();
    if (!active)
        m_state = PASS_ALL;
    m_key = QByteArray::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, '0');
    m_out = kept_pieces().take(READ_SIZE, true);  // what the reader is given grows as the filter reads ahead
}

KSM_PAYLOAD_FILTER::~KSM_PAYLOAD_FILTER()
{
    kept_pieces().give(std::move(m_in));
    kept_pieces().give(std::move(m_out));
}

namespace {

// The number an instruction of this filter's (target `target`, key `key`) gives, -1 when it is
// not one of them, -2 when its number is not one the filter gives.
int instruction_number(const QStringRef& target, const QStringRef& data, const char* expected_target,
                       const QByteArray& key)
{
    const int size = key.size();
    if (target != QLatin1String(expected_target) || data.size() <= size || data.at(size) != QLatin1Char(' ') ||
        !data.startsWith(QLatin1String(key)))
        return -1;
    bool ok = false;
    const int n = data.mid(size + 1).toInt(&ok);
    return ok && n >= 0 ? n : -2;
}

}  // namespace

KSM_PAYLOAD_FILTER::TAKE KSM_PAYLOAD_FILTER::take(const QStringRef& target, const QStringRef& data, QByteArray* text,
                                                  int* number)
{
    const int n = instruction_number(target, data, MARK_TARGET, m_key);
    if (n == -1)
        return OTHER;
    *number = n;
    return n < 0 ? GONE : take_text(n, text);
}

KSM_PAYLOAD_FILTER::TAKE KSM_PAYLOAD_FILTER::take_text(int n, QByteArray* text)
{
    const auto it = std::lower_bound(m_payloads.begin(), m_payloads.end(), n,
                                     [](const std::pair<int, HELD>& held, int k) { return held.first < k; });
    if (it == m_payloads.end() || it->first != n)
        return GONE;
    for (auto k = m_payloads.begin(); k != std::next(it); ++k)
        m_held -= static_cast<size_t>(k->second.text.size);
    const bool prefetched = it->second.prefetched;
    const KSM_FILE_TEXT& held = it->second.text;
    *text = held.size > 0 ? QByteArray(held.data(), held.size) : QByteArray();
    m_payloads.erase(m_payloads.begin(), std::next(it));
    return prefetched ? PREFETCHED : TAKEN;
}

void KSM_PAYLOAD_FILTER::done_with(KSM_ROW_RUN* rows, std::vector<RUN_PLANE>* planes)
{
    kept_runs<KSM_ROW_RUN>().give(std::move(*rows));
    kept_runs<PLANE_RUN>().give(std::move(*planes));
}

KSM_PAYLOAD_FILTER::TAKE KSM_PAYLOAD_FILTER::take_run(const QStringRef& target, const QStringRef& data,
                                                      std::vector<RUN_PLANE>* planes)
{
    const int n = instruction_number(target, data, RUN_TARGET, m_key);
    if (n == -1)
        return OTHER;
    if (n < 0 || static_cast<size_t>(n) >= m_runs.size() || m_runs[static_cast<size_t>(n)].empty())
        return GONE;
    kept_runs<PLANE_RUN>().give(std::move(*planes));
    *planes = std::move(m_runs[static_cast<size_t>(n)]);
    m_runs[static_cast<size_t>(n)].clear();
    return TAKEN;
}

KSM_PAYLOAD_FILTER::TAKE KSM_PAYLOAD_FILTER::take_rows(const QStringRef& target, const QStringRef& data,
                                                       KSM_ROW_RUN* rows)
{
    const int n = instruction_number(target, data, ROWS_TARGET, m_key);
    if (n == -1)
        return OTHER;
    if (n < static_cast<int>(m_row_runs_taken) || static_cast<size_t>(n) >= m_row_runs.size())
        return GONE;
    for (; m_row_runs_taken <= static_cast<size_t>(n); ++m_row_runs_taken) {
        KSM_ROW_RUN& passed = m_row_runs[m_row_runs_taken];
        m_rows_held -= static_cast<size_t>(passed.text.size);
        if (m_row_runs_taken < static_cast<size_t>(n))
            kept_runs<KSM_ROW_RUN>().give(std::move(passed));
    }
    kept_runs<KSM_ROW_RUN>().give(std::move(*rows));
    *rows = std::move(m_row_runs[static_cast<size_t>(n)]);
    m_row_runs[static_cast<size_t>(n)] = KSM_ROW_RUN();
    return TAKEN;
}

qint64 KSM_PAYLOAD_FILTER::hidden_before(qint64 line, qint64 column) const
{
    qint64 hidden = 0;
    auto mark =
        std::lower_bound(m_marks.begin(), m_marks.end(), line, [](const MARK& m, qint64 l) { return m.line < l; });
    for (; mark != m_marks.end() && mark->line == line && mark->column <= column; ++mark)
        hidden += mark->hidden;
    return hidden;
}

qint64 KSM_PAYLOAD_FILTER::readData(char* data, qint64 max)
{
    while (m_out_pos == m_out.size()) {
        m_out.resize(0), m_out_pos = 0;  // its room, set aside, stays
        while (advance()) {
        }
        if (!m_out.isEmpty())
            break;
        if (fill())
            continue;
        if (m_state == STOPPED)
            return -1;
        while (advance()) {  // at the source's end every markup can be decided on
        }
        if (m_state == PAYLOAD)
            end_payload(false, false);  // a text cut short goes as it is
        pass(m_in.size() - m_in_pos);   // and so does what is left of a markup cut short
        if (m_out.isEmpty())
            return m_read_error.isEmpty() ? -1 : (setErrorString(m_read_error), -1);
    }
    const qint64 n = std::min<qint64>(max, m_out.size() - m_out_pos);
    std::memcpy(data, m_out.constData() + m_out_pos, static_cast<size_t>(n));
    m_out_pos += static_cast<int>(n);
    read_ahead();
    return n;
}

// Reads on while what the filter holds for the reader stays small: so the planes of the first
// log are found, and inflated, while the reader still reads the rows before them.
void KSM_PAYLOAD_FILTER::read_ahead()
{
    if (m_out_pos > 0 && m_out_pos >= m_out.size() / 2) {  // what the reader has read goes, at most as much as stays
        m_out.remove(0, m_out_pos);
        m_out_pos = 0;
    }
    auto held = [this] {
        return static_cast<size_t>(m_out.size() - m_out_pos + m_payload.size) + m_held + m_rows_held +
               (m_prefetch ? m_prefetch->waiting_bytes() : 0);
    };
    while (m_state != PASS_ALL && m_state != STOPPED && held() < static_cast<size_t>(m_read_ahead)) {
        while (advance()) {
        }
        if (!fill())
            break;
    }
}

bool KSM_PAYLOAD_FILTER::fill()
{
    if (m_source_ended || m_state == STOPPED)
        return false;
    if (m_in_at >= 0)
        m_in_at += m_in_pos;
    const int size = READ_SIZE;
    if (m_in_shared) {  // the bytes texts hold stay as they are: the rest goes to a piece of its own
        // Pieces of one size (the rest is a markup cut short, rarely more than a tag), so that
        // the memory of a piece let go takes the next one.
        const int rest = m_in.size() - m_in_pos;
        QByteArray piece = kept_pieces().take(std::max(rest, 4 * MAX_TAG) + size);
        piece.append(m_in.constData() + m_in_pos, rest);
        kept_pieces().give(std::move(m_in));
        m_in = std::move(piece);
    } else if (m_in.capacity() == 0) {
        m_in = kept_pieces().take(4 * MAX_TAG + size);
    } else {
        m_in.remove(0, m_in_pos);
        if (m_in.size() + size > m_in.capacity()) {  // a long plane text held whole: a larger piece
            QByteArray piece = kept_pieces().take(std::max(m_in.size() + size, 2 * m_in.capacity()));
            piece.append(m_in);
            kept_pieces().give(std::move(m_in));
            m_in = std::move(piece);
        }
    }
    m_in_shared = false;
    m_in_pos = 0;
    const int kept = m_in.size();
    m_in.resize(kept + size);  // read in place: the room stays from one read to the next
    const qint64 read = m_source->read(m_in.data() + kept, size);
    m_in.resize(kept + static_cast<int>(std::max<qint64>(read, 0)));
    m_source_ended = read <= 0;
    const auto* file = qobject_cast<QFileDevice*>(m_source);
    if (m_source_ended && file && file->error() != QFileDevice::NoError)
        m_read_error = file->errorString();
    if (!m_started && (m_in.size() >= 256 || m_source_ended)) {
        m_started = true;
        if (!utf8_document(m_in))
            m_state = PASS_ALL;
        else
            look_ahead_for_samples();
    }
    if (m_source_ended)
        m_early.reset();
    return !m_source_ended;
}

void KSM_PAYLOAD_FILTER::put(const char* bytes, int count)
{
    if (count <= 0)
        return;
    m_out.append(bytes, count);
    m_at.advance(bytes, count);
}

void KSM_PAYLOAD_FILTER::XML_PLACE::advance(const char* bytes, int count)
{
    if (count <= 0)
        return;
    const char* const end = bytes + count;
    const char* tail = bytes;  // after the last line end
    if (std::memchr(bytes, '\r', static_cast<size_t>(count))) {
        for (const char* c = bytes; c < end; ++c) {  // CR LF, CR and LF each end a line
            if (*c == '\n' || *c == '\r') {
                line += *c == '\n' && after_cr ? 0 : 1;
                tail = c + 1;
            }
            after_cr = *c == '\r';
        }
    } else {
        line -= after_cr && *bytes == '\n' ? 1 : 0;  // its CR counted the line already
        after_cr = false;
        for (const char* c = bytes; (c = static_cast<const char*>(std::memchr(c, '\n', static_cast<size_t>(end - c))));)
            ++line, tail = ++c;
    }
    if (tail > bytes)
        column = 0;
    const char* c = tail;
    for (uint64_t word; end - c >= 8; c += 8) {  // ASCII, most of the file, eight bytes a step
        std::memcpy(&word, c, 8);
        if (word & 0x8080808080808080u)
            break;
    }
    column += c - tail;
    for (; c < end; ++c) {
        const auto b = static_cast<unsigned char>(*c);
        if ((b & 0xc0) != 0x80)  // a character starts: two UTF-16 units beyond the BMP
            column += b >= 0xf0 ? 2 : 1;
    }
}

void KSM_PAYLOAD_FILTER::pass(int count)
{
    if (count <= 0)
        return;
    put(m_in.constData() + m_in_pos, count);
    m_in_pos += count;
    m_last_passed = m_out.back();
}

// A plane's text ends: kept, with an instruction in its place, or passed on as it is. A text
// that is the whole of its element's content goes to the prefetch where it takes it.
void KSM_PAYLOAD_FILTER::end_payload(bool taken, bool whole)
{
    m_state = TEXT;
    if (m_payload.size == 0)
        return;
    if (!taken) {
        put(m_payload.data(), m_payload.size);
        m_payload = KSM_FILE_TEXT();
        return;
    }
    const int n = m_planes++;
    // Made without allocating or formatting: a plane of a large capture is a few microseconds' work.
    char mark[64] = "<?";
    char* at = mark + 2;
    auto add = [&at](const char* bytes, size_t count) {
        at = static_cast<char*>(std::memcpy(at, bytes, count)) + count;
    };
    add(MARK_TARGET, sizeof MARK_TARGET - 1);
    *at++ = ' ';
    add(m_key.constData(), static_cast<size_t>(m_key.size()));
    *at++ = ' ';
    at = std::to_chars(at, mark + sizeof mark - 2, n).ptr;
    add("?>", 2);
    const int size = static_cast<int>(at - mark);
    put(mark, size);
    m_marks.push_back({m_at.line, m_at.column, m_payload.size - size});
    hold(n, std::move(m_payload), whole ? m_plane : -1);
    m_payload = KSM_FILE_TEXT();
}

// In text: passes it on up to the next markup, and decides what that markup is once enough of
// it is there.
bool KSM_PAYLOAD_FILTER::at_text()
{
    if (m_in_run_place)
        return at_run();
    const char* from = m_in.constData() + m_in_pos;
    const char* const end = m_in.constData() + m_in.size();
    // Text and the tags that need no look go on in one piece, up to markup that may need one.
    const char* open = from;
    while ((open = static_cast<const char*>(std::memchr(open, '<', static_cast<size_t>(end - open))))) {
        const char c = open[1];
        if (end - open < 10 || c == '!' || c == '?' || c == 'p' || c == 's' || c == 'n' ||
            (c == '/' && (open[2] == 's' || open[2] == 'n')))
            break;
        ++open;
    }
    m_after_row = m_after_row && all_space(from, open ? open : end);
    if (!open) {
        pass(static_cast<int>(end - from));
        return false;
    }
    pass(static_cast<int>(open - from));
    const int rest = m_in.size() - m_in_pos;
    // A document type declaration may hold entities: what follows is passed as it is.
    static const struct {
        const char* start;
        const char* end;
    } skipped[] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}, {"<!DOCTYPE", nullptr}};
    for (const auto& s : skipped) {
        const int n = static_cast<int>(std::strlen(s.start));
        if (std::memcmp(open, s.start, static_cast<size_t>(std::min(n, rest))) != 0)
            continue;
        if (rest < n && !m_source_ended)
            return false;  // could be this markup: wait for more
        if (rest < n)
            break;
        pass(n);
        m_state = s.end ? SKIP : PASS_ALL;
        m_skip_end = s.end;
        m_after_row = false;
        return true;
    }
    if (rest < 10 && !m_source_ended)
        return false;
    if (open[1] == 'n' || (open[1] == '/' && open[2] == 'n'))
        return at_node(open);
    m_after_row = false;
    const bool plane = starts_with_name(open, rest, "<plane", " \t\r\n/>");
    const bool samples = starts_with_name(open, rest, "<samples", " \t\r\n/>");
    if (starts_with_name(open, rest, "</samples", " \t\r\n>")) {
        if (m_prefetching)
            m_prefetch->close();
        m_prefetching = false;
        m_text_limit = plane_text_limit(KSM_MAX_LOG_DEPTH);
    }
    pass(1);
    if (plane || samples) {
        m_state = TAG, m_quote = 0;
        m_tag_kind = plane ? PLANE_TAG : SAMPLES_TAG;
        m_tag.clear();
    }
    return true;
}

// At a <node start tag or a </node end tag. After the end of a node element and white space,
// the plain rows that follow go as one instruction; the first node of a list is read by the
// XML reader, and so is any other. What is passed on here tells whether the next rows follow
// a node's end.
bool KSM_PAYLOAD_FILTER::at_node(const char* open)
{
    const char* const end = m_in.constData() + m_in.size();
    const bool after_row = m_after_row;
    m_after_row = false;
    if (open[1] == '/') {
        const bool named = end - open >= 6 && std::memcmp(open, "</node", 6) == 0;
        const char* c = open + std::min<long>(6, end - open);
        while (c < end && xml_space(*c))
            ++c;
        if (named && c == end && !m_source_ended && end - open < MAX_TAG) {
            m_after_row = after_row;
            return false;  // whether it is a node's end tag is not known yet
        }
        m_after_row = named && c < end && *c == '>';
        pass(m_after_row ? static_cast<int>(c + 1 - open) : 1);
        return true;
    }
    XML_PLACE file = m_at;  // in the file, as the XML reader alone would count it
    file.column += hidden_before(m_at.line, m_at.column);
    const XML_PLACE start = file;
    KSM_ROW_RUN run = kept_runs<KSM_ROW_RUN>().take();
    const char* run_end = open;  // after the last row taken
    int size = 0;
    for (const char* p = open;; p = run_end) {
        while (p < end && xml_space(*p))
            ++p;
        size = p == end ? 0 : plain_row(p, end, open, &run.attributes);
        if (size <= 0)
            break;
        if (!after_row) {  // the first node of a list: the XML reader reads it
            kept_runs<KSM_ROW_RUN>().give(std::move(run));
            pass(size);
            m_after_row = true;
            return true;
        }
        file.advance(run_end, static_cast<int>(p + size - run_end));
        run.rows.push_back({file.line, file.column, run.attributes.size()});
        run_end = p + size;
    }
    if (run.rows.empty()) {
        kept_runs<KSM_ROW_RUN>().give(std::move(run));
        if (size == 0 && !m_source_ended) {
            m_after_row = after_row;
            return false;  // the node is not whole yet
        }
        pass(1);
        return true;
    }
    // The rows' bytes stay in the piece read: made characters a row at a time by the reader,
    // they take no fresh memory of twice their size.
    run.text = {m_in, static_cast<int>(open - m_in.constData()), static_cast<int>(run_end - open), -1};
    m_in_shared = true;
    m_rows_held += static_cast<size_t>(run.text.size);
    m_row_runs.push_back(std::move(run));
    put_run(ROWS_TARGET, static_cast<int>(m_row_runs.size()) - 1, start, file);
    m_in_pos = static_cast<int>(run_end - m_in.constData());
    m_after_row = true;
    return true;
}

// Among a <samples> element's children, where only white space and plain planes came so far:
// passes white space on, then takes the plain plane elements that follow, whole, out as a run.
// Anything else ends the place where runs stand, and is read as elsewhere.
bool KSM_PAYLOAD_FILTER::at_run()
{
    const char* const end = m_in.constData() + m_in.size();
    const char* const from = m_in.constData() + m_in_pos;
    const char* c = from;
    while (c < end && xml_space(*c))
        ++c;
    pass(static_cast<int>(c - from));
    if (c == end)
        return false;
    XML_PLACE file = m_at;  // in the file, as the XML reader alone would count it
    file.column += hidden_before(m_at.line, m_at.column);
    const XML_PLACE start = file;
    std::vector<RUN_PLANE> planes = kept_runs<PLANE_RUN>().take();
    const char* run_end = c;  // after the last plane taken
    for (const char* p = c;;) {
        while (p < end && xml_space(*p))
            ++p;
        PLAIN_PLANE plane;
        const int size = plain_plane(p, end, p == c ? m_run_known : 0, &plane);
        // A text longer than its plane may be goes the elements' way, which refuses it.
        const bool too_long = static_cast<size_t>(plane.text_size) > m_text_limit;
        if (size <= 0 || too_long) {
            m_in_run_place = size == 0 && !m_source_ended && !too_long;
            m_run_known = m_in_run_place ? plane.text_size : 0;  // where the next read's look goes on
            break;
        }
        RUN_PLANE r{plane.kind, plane.channel, m_planes++, 0, 0, 0, 0};
        file.advance(run_end, static_cast<int>(plane.text - run_end));
        r.start_line = file.line, r.start_column = file.column;
        file.column += plane.text_size;  // printable ASCII on one line
        const char* const text_end = plane.text + plane.text_size;
        file.advance(text_end, static_cast<int>(p + size - text_end));
        r.end_line = file.line, r.end_column = file.column;
        const int at = static_cast<int>(plane.text - m_in.constData());
        // The plane the prefetch inflates the text as: a channel's, or an extra plane after them.
        const long channels = m_prefetch_channels;
        const long index = plane.kind > 0 ? channels + plane.kind - 1 : plane.channel < channels ? plane.channel : -1;
        if (hold(r.text, {m_in, at, plane.text_size, m_in_at >= 0 ? m_in_at + at : -1}, index))
            m_in_shared = true;
        planes.push_back(r);
        p = run_end = p + size;
    }
    if (!planes.empty()) {
        m_runs.push_back(std::move(planes));
        put_run(RUN_TARGET, static_cast<int>(m_runs.size()) - 1, start, file);
        m_in_pos = static_cast<int>(run_end - m_in.constData());
    } else {
        kept_runs<PLANE_RUN>().give(std::move(planes));
    }
    return m_in_run_place ? run_end != c : true;
}

// The instruction that stands for run `n` of planes or rows, with the run's line ends, so that
// the reader counts the file's lines; a mark after it gives the columns its line lacks or has
// too many.
void KSM_PAYLOAD_FILTER::put_run(const char* target, int n, const XML_PLACE& start, const XML_PLACE& end)
{
    QByteArray mark;
    mark.reserve(64 + static_cast<int>(end.line - start.line));
    mark.append("<?").append(target).append(' ').append(m_key).append(' ').append(QByteArray::number(n));
    mark.append(static_cast<int>(end.line - start.line), '\n').append("?>");
    put(mark.constData(), mark.size());
    m_last_passed = '>';
    m_marks.push_back({m_at.line, m_at.column, end.column - m_at.column - hidden_before(m_at.line, m_at.column)});
}

// Keeps text `n` for the reader, or gives it to the prefetch as plane `plane` (-1 for none)
// where the prefetch takes it; false when nothing holds the text's piece of the file any more.
bool KSM_PAYLOAD_FILTER::hold(int n, KSM_FILE_TEXT text, long plane)
{
    const bool in_file = m_prefetching && m_prefetch->reads_file(text);
    const bool prefetched = m_prefetching && plane >= 0 && m_prefetch->add(n, static_cast<size_t>(plane), &text);
    m_held += static_cast<size_t>(text.size);
    m_payloads.emplace_back(n, HELD{std::move(text), prefetched});
    return !(prefetched && in_file);
}

// In a start tag of a plane or of samples: passes it on up to the '>' that is not in an
// attribute's value, keeping its text to read its attributes.
bool KSM_PAYLOAD_FILTER::at_tag()
{
    const char* from = m_in.constData() + m_in_pos;
    const int left = m_in.size() - m_in_pos;
    int n = 0;
    for (; n < left && (m_quote || from[n] != '>'); ++n)
        if (from[n] == '"' || from[n] == '\'')
            m_quote = m_quote == from[n] ? 0 : m_quote ? m_quote : from[n];
    if (m_tag.size() <= MAX_TAG)
        m_tag.append(from, std::min(n, MAX_TAG + 1));
    if (n == left) {
        pass(left);
        return false;
    }
    const bool empty = (n > 0 ? from[n - 1] : m_last_passed) == '/';
    pass(n + 1);
    m_state = empty || m_tag_kind == SAMPLES_TAG ? TEXT : PAYLOAD;
    m_in_run_place = m_tag_kind == SAMPLES_TAG && !empty;
    m_run_known = 0;
    if (m_tag_kind == SAMPLES_TAG && !empty)
        samples_tag();
    const bool plane = m_state == PAYLOAD && m_prefetching && m_tag.size() <= MAX_TAG;
    m_plane = plane ? plane_of_tag(m_tag, m_prefetch_channels) : -1;
    return true;
}

// The helpers that inflate the planes of a log of `channels` by `depth` ahead of the reader,
// where its shape is one the filter inflates and its samples fit in memory; 0 otherwise.
size_t KSM_PAYLOAD_FILTER::prefetch_helpers(long channels, long depth)
{
    if (channels < 1 || channels > KSM_MAX_NODES || depth < 1 || depth > (1 << 24) || channels * depth > (1ll << 32))
        return 0;
    const size_t planes = static_cast<size_t>(channels) + 3, words = (static_cast<size_t>(depth) + 63) / 64;
    const size_t bytes = planes * words * sizeof(uint64_t);
    if (!ksm_sample_memory_allows(KSM_DATA_LOG::SAMPLES::memory_of(static_cast<size_t>(channels), words)))
        return 0;
    // The reader's thread is one of the threads the planes keep busy: it reads the file
    // meanwhile, and inflates what is left once it has read the planes. A small log has one
    // helper all the same where there is a CPU for it, so that its planes are inflated while the
    // reader reads the rows.
    return std::min(ksm_usable_cpus() - 1, std::max<size_t>(1, ksm_parallel_threads(planes, bytes) - 1));
}

std::unique_ptr<KSM_PLANE_PREFETCH> KSM_PAYLOAD_FILTER::start_prefetch(long channels, long depth)
{
    const size_t helpers = prefetch_helpers(channels, depth);
    if (helpers == 0)
        return nullptr;
    const auto* file = qobject_cast<QFileDevice*>(m_source);
    const int fd = file && m_in_at >= 0 ? file->handle() : -1;  // where the prefetch reads payloads it let go again
    return std::make_unique<KSM_PLANE_PREFETCH>(static_cast<int>(channels), static_cast<int>(depth), helpers, fd);
}

// The first <samples> start tag: where its shape is plain and the samples it claims fit in
// memory, its planes are inflated ahead of the reader, by the prefetch the look ahead started
// where it guessed this shape.
void KSM_PAYLOAD_FILTER::samples_tag()
{
    ATTRIBUTES attributes;
    const bool plain =
        m_tag.size() <= MAX_TAG &&
        plain_attributes(std::string_view(m_tag.constData(), static_cast<size_t>(m_tag.size())), &attributes);
    const long channels = plain ? digits(attributes, "channels") : -1, depth = plain ? digits(attributes, "depth") : -1;
    m_text_limit = plane_text_limit(depth >= 0 && depth <= KSM_MAX_LOG_DEPTH ? depth : KSM_MAX_LOG_DEPTH);
    std::unique_ptr<KSM_PLANE_PREFETCH> early = std::move(m_early);  // a wrong guess goes here
    if (m_samples_seen || !plain)
        return;
    m_samples_seen = true;
    const size_t helpers = prefetch_helpers(channels, depth);
    if (helpers == 0)
        return;
    if (early && early->has_shape(static_cast<int>(channels), static_cast<int>(depth)))
        m_prefetch = std::move(early);
    early.reset();  // its helpers end before those of the shape met start
    if (!m_prefetch)
        m_prefetch = start_prefetch(channels, depth);
    m_prefetch_channels = channels;
    m_prefetching = true;
    m_read_ahead = read_ahead_of(helpers);
}

namespace {

// The attributes of the first <samples> start tag in the LOOK_AHEAD bytes of the file `fd` from
// `from` on, read through `window`; false where none is found there or it is not of plain
// attributes.
bool find_samples_tag(int fd, qint64 from, QByteArray* window, ATTRIBUTES* attributes)
{
    const std::string_view name("<samples");
    window->resize(READ_SIZE);
    for (qint64 at = from; at < from + LOOK_AHEAD;) {
        const ssize_t n = ::pread(fd, window->data(), static_cast<size_t>(window->size()), at);
        if (n <= 0)
            return false;
        const std::string_view read(window->constData(), static_cast<size_t>(n));
        const size_t open = read.find(name);
        if (open == std::string_view::npos && n < window->size())
            return false;                      // the file's end
        if (open == std::string_view::npos) {  // keeps what could be the start of the name
            at += n - static_cast<qint64>(name.size()) + 1;
            continue;
        }
        const size_t close = read.find('>', open);
        if (close == std::string_view::npos && open > 0 && n == window->size()) {
            at += static_cast<qint64>(open);  // the tag whole in the next read
            continue;
        }
        const std::string_view tag = read.substr(open + 1, close == std::string_view::npos ? 0 : close - open - 1);
        if (close != std::string_view::npos && tag.size() <= static_cast<size_t>(MAX_TAG) &&
            starts_with_name(read.data() + open, n - static_cast<int>(open), name.data(), " \t\r\n") &&
            plain_attributes(tag, attributes))
            return true;
        at += static_cast<qint64>(open) + 1;
    }
    return false;
}

}  // namespace

// Looks for the first <samples> start tag in the file's first megabytes, ahead of the reading,
// and starts the prefetch of the shape it gives: its helpers make the samples' huge pages
// present while the main thread still reads the rows before them, where they would wait for the
// tag. A guess (the tag may stand in a comment): the tag met in its turn takes the prefetch only
// where it gives the same shape.
void KSM_PAYLOAD_FILTER::look_ahead_for_samples()
{
    const auto* file = qobject_cast<QFileDevice*>(m_source);
    if (!file || m_in_at < 0)
        return;
    QByteArray window = kept_pieces().take(READ_SIZE);
    ATTRIBUTES attributes;
    const bool found = find_samples_tag(file->handle(), m_in_at, &window, &attributes);
    kept_pieces().give(std::move(window));
    if (found)
        m_early = start_prefetch(digits(attributes, "channels"), digits(attributes, "depth"));
}

// In a plane's text: what the XML reader would give as it is is kept until markup ends it; any
// other byte gives the text back to pass on as it is.
bool KSM_PAYLOAD_FILTER::at_payload()
{
    const char* from = m_in.constData() + m_in_pos;
    const int left = m_in.size() - m_in_pos;
    const int kept = text_length(from, left);
    if (static_cast<size_t>(m_payload.size) + static_cast<size_t>(kept) > m_text_limit) {
        stop("a sample plane's text is longer than its samples can be");
        return false;
    }
    add_to_payload(from, kept);
    m_in_pos += kept;
    const int after = left - kept;
    if (after == 0 || (from[kept] == '<' && after < 8 && !m_source_ended))
        return false;  // the text, or whether the plane's end tag follows it, is not known yet
    end_payload(from[kept] == '<', starts_with_name(from + kept, after, "</plane", " \t\r\n>"));
    return true;
}

// Ends what the filter passes on at the text being read, for a fault found in it: the reader
// meets the end there and tells this fault, at the text's start.
void KSM_PAYLOAD_FILTER::stop(const char* why)
{
    m_fault = why;
    m_fault_line = m_at.line;
    m_fault_column = m_at.column + hidden_before(m_at.line, m_at.column);
    m_state = STOPPED;
    m_payload = KSM_FILE_TEXT();
}

// Most texts come in one piece read: they share its bytes. One that spans two reads is copied.
void KSM_PAYLOAD_FILTER::add_to_payload(const char* from, int count)
{
    if (count == 0)
        return;
    const int at = static_cast<int>(from - m_in.constData());
    if (m_payload.size == 0) {
        m_payload = {m_in, at, count, m_in_at >= 0 ? m_in_at + at : -1};
        m_in_shared = true;
    } else if (m_payload.piece.constData() == m_in.constData() && m_payload.from + m_payload.size == at) {
        m_payload.size += count;
    } else if (m_payload.from == 0 && m_payload.size == m_payload.piece.size() && m_payload.piece.isDetached()) {
        m_payload.piece.append(from, count);  // a text of its own already: it grows in place
        m_payload.size += count;
    } else {
        QByteArray joined;
        joined.reserve(2 * (m_payload.size + count));  // room for the reads to come
        joined.append(m_payload.data(), m_payload.size).append(from, count);
        m_payload = {std::move(joined), 0, m_payload.size + count, m_payload.at};  // the file's bytes run on
    }
}

bool KSM_PAYLOAD_FILTER::advance()
{
    const char* from = m_in.constData() + m_in_pos;
    const int left = m_in.size() - m_in_pos;
    if (left == 0)
        return false;
    switch (m_state) {
    case TEXT: return at_text();
    case PASS_ALL: pass(left); return false;
    case STOPPED: return false;
    case SKIP: {
        const size_t n = std::strlen(m_skip_end);
        const char* end = static_cast<const char*>(memmem(from, static_cast<size_t>(left), m_skip_end, n));
        if (!end) {  // keeps what could be the start of the end marker
            pass(std::max(0, left - static_cast<int>(n) + 1));
            return false;
        }
        pass(static_cast<int>(end - from + static_cast<std::ptrdiff_t>(n)));
        m_state = TEXT;
        return true;
    }
    case TAG: return at_tag();
    case PAYLOAD: return at_payload();
    }
    return false;
}
