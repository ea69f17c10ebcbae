// Sample plane payloads taken out of a session file on its way to the XML reader.
#include "ksm_payload_filter.h"

#include <cstring>
#include <tuple>

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

constexpr int READ_SIZE = 1 << 20;

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

bool KSM_BASE64_DECODER::decode(const QByteArray& text, QByteArray* out)
{
    out->clear();
    out->reserve(text.size() / 4 * 3 + 3);  // what add() sets aside, so that it never grows `out`
    KSM_BASE64_DECODER decoder(out);
    return decoder.add(text.constData(), text.size()) && decoder.finish();
}

// Whole quads of the alphabet, the common case, from `c` on until one is not.
std::pair<const char*, char*> KSM_BASE64_DECODER::quads(const char* c, const char* end, char* out)
{
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

KSM_PAYLOAD_FILTER::KSM_PAYLOAD_FILTER(QIODevice* source) : m_source(source)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool KSM_PAYLOAD_FILTER::take(int n, QByteArray* text)
{
    const auto it = m_payloads.find(n);
    if (it == m_payloads.end() || &it->second == m_payload)
        return false;
    *text = std::move(it->second);
    m_payloads.erase(it);
    return true;
}

qint64 KSM_PAYLOAD_FILTER::readData(char* data, qint64 max)
{
    while (m_out_pos == m_out.size()) {
        m_out.clear(), m_out_pos = 0;
        while (advance()) {
        }
        if (!m_out.isEmpty())
            break;
        if (fill())
            continue;
        while (advance()) {  // at the source's end every markup can be decided on
        }
        pass(m_in.size() - m_in_pos);  // and what is left of one cut short goes as it is
        if (m_out.isEmpty())
            return -1;
    }
    const qint64 n = std::min<qint64>(max, m_out.size() - m_out_pos);
    std::memcpy(data, m_out.constData() + m_out_pos, static_cast<size_t>(n));
    m_out_pos += static_cast<int>(n);
    return n;
}

bool KSM_PAYLOAD_FILTER::fill()
{
    if (m_source_ended)
        return false;
    m_in.remove(0, m_in_pos);
    m_in_pos = 0;
    const QByteArray more = m_source->read(READ_SIZE);
    m_source_ended = more.isEmpty();
    m_in += more;
    return !m_source_ended;
}

void KSM_PAYLOAD_FILTER::pass(int count)
{
    if (count <= 0)
        return;
    m_out.append(m_in.constData() + m_in_pos, count);
    m_in_pos += count;
    m_last_passed = m_out.back();
}

// In text: passes it on up to the next markup, and decides what that markup is once enough of
// it is there.
bool KSM_PAYLOAD_FILTER::at_text()
{
    const char* from = m_in.constData() + m_in_pos;
    const int left = m_in.size() - m_in_pos;
    const char* open = static_cast<const char*>(std::memchr(from, '<', static_cast<size_t>(left)));
    if (!open) {
        pass(left);
        return false;
    }
    pass(static_cast<int>(open - from));
    const int rest = m_in.size() - m_in_pos;
    static const struct {
        const char* start;
        const char* end;
    } skipped[] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};
    for (const auto& s : skipped) {
        const int n = static_cast<int>(std::strlen(s.start));
        if (std::memcmp(open, s.start, static_cast<size_t>(std::min(n, rest))) != 0)
            continue;
        if (rest < n && !m_source_ended)
            return false;  // could be this markup: wait for more
        if (rest < n)
            break;
        pass(n);
        m_state = SKIP, m_skip_end = s.end;
        return true;
    }
    if (rest < 7 && !m_source_ended)
        return false;
    const bool plane = rest >= 7 && std::memcmp(open, "<plane", 6) == 0 && std::strchr(" \t\r\n/>", open[6]);
    pass(1);
    if (plane)
        m_state = PLANE_TAG;
    return true;
}

bool KSM_PAYLOAD_FILTER::advance()
{
    const char* from = m_in.constData() + m_in_pos;
    const int left = m_in.size() - m_in_pos;
    if (left == 0)
        return false;
    switch (m_state) {
    case TEXT: return at_text();
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
    case PLANE_TAG: {
        const char* close = static_cast<const char*>(std::memchr(from, '>', static_cast<size_t>(left)));
        if (!close) {
            pass(left);
            return false;
        }
        const bool empty = (close > from ? close[-1] : m_last_passed) == '/';
        pass(static_cast<int>(close - from + 1));
        const int n = m_planes++;
        m_state = empty ? TEXT : PAYLOAD;
        m_payload = empty ? nullptr : &m_payloads.try_emplace(n).first->second;
        return true;
    }
    case PAYLOAD: {
        const char* open = static_cast<const char*>(std::memchr(from, '<', static_cast<size_t>(left)));
        const int n = open ? static_cast<int>(open - from) : left;
        m_payload->append(from, n);
        m_in_pos += n;
        if (!open)
            return false;
        m_payload = nullptr;
        m_state = TEXT;
        return true;
    }
    }
    return false;
}
