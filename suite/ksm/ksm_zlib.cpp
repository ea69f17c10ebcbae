// Sample planes' zlib streams: raw deflate from zlib, the stream's header and checksum here.
#include "ksm_zlib.h"

#include <QtEndian>

#include <zlib.h>

#include <immintrin.h>

#include <algorithm>

namespace {

constexpr uint32_t ADLER_BASE = 65521;
// Bytes summed between reductions: the vector lanes' sums stay far below 2^32.
constexpr size_t ADLER_BLOCK = 4096;

uint32_t adler32_scalar(uint32_t adler, const unsigned char* data, size_t size)
{
    return static_cast<uint32_t>(adler32_z(adler, data, size));
}

// The sum of the eight 32-bit lanes.
__attribute__((target("avx2"))) inline uint64_t lanes_sum(__m256i v)
{
    const __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    const __m128i t = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4e));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_add_epi32(t, _mm_shuffle_epi32(t, 0xb1))));
}

// 32 bytes at a time: the sum of the bytes, and the sum of each byte weighted by how many of
// the block's bytes follow it (itself included), which is what each byte adds to the second sum.
__attribute__((target("avx2"))) uint32_t adler32_avx2(uint32_t adler, const unsigned char* data, size_t size)
{
    uint64_t a = adler & 0xffff, b = adler >> 16;
    const __m256i weights = _mm256_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14,
                                             13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
    const __m256i ones = _mm256_set1_epi16(1), zero = _mm256_setzero_si256();
    while (size >= 32) {
        const size_t n = std::min(size, ADLER_BLOCK) & ~size_t(31);
        __m256i bytes_sum = zero, sums_before = zero, weighted = zero;
        for (size_t i = 0; i < n; i += 32) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
            sums_before = _mm256_add_epi32(sums_before, bytes_sum);
            bytes_sum = _mm256_add_epi32(bytes_sum, _mm256_sad_epu8(v, zero));
            weighted = _mm256_add_epi32(weighted, _mm256_madd_epi16(_mm256_maddubs_epi16(v, weights), ones));
        }
        b = (b + n * a + 32 * lanes_sum(sums_before) + lanes_sum(weighted)) % ADLER_BASE;
        a = (a + lanes_sum(bytes_sum)) % ADLER_BASE;
        data += n, size -= n;
    }
    return adler32_scalar(static_cast<uint32_t>(b << 16 | a), data, size);
}

// The zlib header of a stream: deflate with a window of at most 32 KB, no preset dictionary.
bool zlib_header(const unsigned char* in)
{
    return (in[0] & 0x0f) == Z_DEFLATED && (in[0] >> 4) <= 7 && (in[0] << 8 | in[1]) % 31 == 0 && !(in[1] & 0x20);
}

// A thread's zlib streams, made once and reset for each plane: a stream's state and window are
// a few hundred kilobytes, which each call of compress2() or uncompress() allocates afresh.
struct STREAMS {
    z_stream inflater{}, deflater{};
    bool inflating = false;
    int deflate_level = -2;  // none made yet
    ~STREAMS()
    {
        if (inflating)
            inflateEnd(&inflater);
        if (deflate_level != -2)
            deflateEnd(&deflater);
    }
    z_stream* inflate_stream()
    {
        inflating = inflating ? inflateReset(&inflater) == Z_OK : inflateInit2(&inflater, -MAX_WBITS) == Z_OK;
        return inflating ? &inflater : nullptr;
    }
    z_stream* deflate_stream(int level)
    {
        if (deflate_level == level && deflateReset(&deflater) == Z_OK)
            return &deflater;
        if (deflate_level != -2)
            deflateEnd(&deflater);
        deflater = z_stream{};
        const bool made = deflateInit2(&deflater, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
        deflate_level = made ? level : -2;
        return made ? &deflater : nullptr;
    }
};
thread_local STREAMS t_streams;

}  // namespace

uint32_t ksm_adler32(uint32_t adler, const unsigned char* data, size_t size)
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2 ? adler32_avx2(adler, data, size) : adler32_scalar(adler, data, size);
}

bool ksm_uncompress(const unsigned char* in, size_t in_size, unsigned char* out, size_t out_size)
{
    if (in_size < 2 + 4 || !zlib_header(in))
        return false;
    z_stream* z = t_streams.inflate_stream();
    if (!z)
        return false;
    z->next_in = const_cast<unsigned char*>(in + 2);
    z->avail_in = static_cast<uInt>(in_size - 2);
    z->next_out = out;
    z->avail_out = static_cast<uInt>(out_size);
    const bool ended = inflate(z, Z_FINISH) == Z_STREAM_END && z->total_out == out_size && z->avail_in >= 4;
    return ended && qFromBigEndian<quint32>(z->next_in) == ksm_adler32(1, out, out_size);
}

void ksm_compress(const unsigned char* data, size_t size, int level, QByteArray* out)
{
    z_stream* z = size ? t_streams.deflate_stream(level) : nullptr;
    if (!z) {  // nothing to compress is its size alone, as qCompress() gives it
        out->fill('\0', size ? 0 : 4);
        return;
    }
    out->resize(static_cast<int>(4 + 2 + compressBound(static_cast<uLong>(size)) + 4));
    auto* at = reinterpret_cast<unsigned char*>(out->data());
    qToBigEndian<quint32>(static_cast<quint32>(size), at);
    z->next_in = const_cast<unsigned char*>(data);
    z->avail_in = static_cast<uInt>(size);
    z->next_out = at + 6;
    z->avail_out = static_cast<uInt>(out->size() - 10);
    deflate(z, Z_FINISH);
    const size_t written = z->total_out;
    // The header compress2() writes: a 32 KB window, and the level's flags (0 for the fastest).
    const int flags = level == Z_DEFAULT_COMPRESSION ? 2 : level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    const unsigned header = (Z_DEFLATED | 7 << 4) << 8 | flags << 6;
    at[4] = static_cast<unsigned char>((header + 31 - header % 31) >> 8);
    at[5] = static_cast<unsigned char>(header + 31 - header % 31);
    qToBigEndian<quint32>(ksm_adler32(1, data, size), at + 6 + written);
    out->resize(static_cast<int>(6 + written + 4));
}
