// Sample plane payloads taken out of a session file on its way to the XML reader.
#include "ksm_payload_filter.h"

#include <array>
#include <cstring>

namespace {

// The value of each ASCII character in base64, -1 outside the alphabet.
const signed char* base64_values()
{
    static const auto values = [] {
        std::array<signed char, 128> t;
        t.fill(-1);
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i)
            t[static_cast<size_t>(alphabet[i])] = static_cast<signed char>(i);
        return t;
    }();
    return values.data();
}

constexpr int READ_SIZE = 1 << 20;

}  // namespace

// ---- base64 ---------------------------------------------------------------------------------------

template <class CH> bool KSM_BASE64_DECODER::add(const CH* c, int size)
{
    const int start = m_out->size();
    m_out->resize(start + size / 4 * 3 + 3);
    char* at = m_out->data() + start;
    const CH* const end = c + size;
    while (c < end && !m_bad) {
        if (m_count == 0 && !m_padding && end - c >= 4 && quad(c, at)) {  // whole quads, the common case
            c += 4, at += 3;
            continue;
        }
        at = one(code(*c++), at);
    }
    m_out->resize(static_cast<int>(at - m_out->data()));
    return !m_bad;
}

template <class CH> bool KSM_BASE64_DECODER::quad(const CH* c, char* out)
{
    const ushort a = code(c[0]), b = code(c[1]), d = code(c[2]), e = code(c[3]);
    if ((a | b | d | e) >= 128)
        return false;
    const signed char* t = base64_values();
    if ((t[a] | t[b] | t[d] | t[e]) < 0)
        return false;
    const int v = t[a] << 18 | t[b] << 12 | t[d] << 6 | t[e];
    out[0] = char(v >> 16), out[1] = char(v >> 8), out[2] = char(v);
    return true;
}

char* KSM_BASE64_DECODER::one(ushort c, char* at)
{
    const int v = c < 128 ? base64_values()[c] : -1;
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

template bool KSM_BASE64_DECODER::add<QChar>(const QChar*, int);

// ---- filter ---------------------------------------------------------------------------------------

KSM_PAYLOAD_FILTER::KSM_PAYLOAD_FILTER(QIODevice* source) : m_source(source)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool KSM_PAYLOAD_FILTER::take(int n, QByteArray* payload, bool* decoded)
{
    const auto it = m_payloads.find(n);
    if (it == m_payloads.end() || &it->second == m_payload)
        return false;
    *decoded = it->second.decoded && it->second.decoder.finish();
    *payload = std::move(it->second.bytes);
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
        m_payload->decoded = m_payload->decoder.add(from, n) && m_payload->decoded;
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
