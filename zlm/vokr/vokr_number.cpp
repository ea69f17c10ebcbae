// Wide bus values. A number is packed into 64-bit words (least significant word first) before it
// is printed, so that every format works a word or a byte at a time: hexadecimal and octal a
// register of digits per step, decimal in chunks of 19 digits by dividing the words by 10^19 with a
// precomputed reciprocal (a wide value split in halves, and those again, by long divisions by
// powers of 10^19), and decimal text is read back 19 digits per multiply of the words.
#include "vokr_number.h"

#include "ksm.h"
#include "vokr_assert.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <functional>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "packed words are also read as bytes");

namespace {

using u64 = std::uint64_t;
using u32 = std::uint32_t;
__extension__ typedef unsigned __int128 u128;

// Decimal printing runs this many divisions by 10^19 in one pass over the words; each lane
// reads the words above the value, which must be zero.
constexpr int DIVISION_LANES = 2;
constexpr int VALUE_WORDS = MAX_BUS_WIDTH / 64;
constexpr int PACKED_WORDS = VALUE_WORDS + DIVISION_LANES + 1;
// Chunks of 19 digits of the widest value, rounded up to whole passes.
constexpr int MAX_CHUNKS = (MAX_BUS_WIDTH / 63 / DIVISION_LANES + 2) * DIVISION_LANES;
// Words of a parsed decimal text of up to 4096 digits (below 10^4096 < 2^13607).
constexpr int DECIMAL_WORDS = 224;

// The shared result: the longest text (4096 characters) with a one-character suffix, and a NUL.
constexpr int RESULT_SIZE = MAX_BUS_WIDTH + 2;
char s_result[RESULT_SIZE];

// Scratch of the parse steps: up to 8 bit characters per text character, a carry digit, a NUL.
constexpr int SCRATCH_SIZE = 8 * MAX_BUS_WIDTH + 16;
char s_scratch[SCRATCH_SIZE];

constexpr u64 ONES = 0x0101010101010101ULL;
constexpr u64 LOW7 = 0x7F7F7F7F7F7F7F7FULL;

// 0x01 in every non-zero byte of v, 0x00 in every zero byte.
inline u64 nonzero_bytes(u64 v) { return ((((v & LOW7) + LOW7) | v) >> 7) & ONES; }

// Bit t of the result is byte t of v, for bytes that are 0 or 1.
inline unsigned pack_bytes(u64 v) { return unsigned((v * 0x0102040810204080ULL) >> 56); }

inline u64 load8(const char* p)
{
    u64 v;
    std::memcpy(&v, p, 8);
    return v;
}

// Bit t of the result is set when byte t of v equals byte t of the pattern.
inline unsigned equal_bytes(u64 v, u64 pattern) { return pack_bytes(ONES ^ nonzero_bytes(v ^ pattern)); }

// ---- hexadecimal and octal digit groups ----
//
// hex_group(bytes, m, out) writes the HEX_GROUP digits of bytes HEX_GROUP / 2 * m onwards, and
// octal_group(bytes, m, out) the OCTAL_GROUP digits of bits 3 * OCTAL_GROUP * m onwards, most
// significant first. Both read a few bytes beyond their digits.

#ifdef __SSE2__

// The 16 bytes in reverse order.
inline __m128i reverse_bytes(__m128i v)
{
    v = _mm_shuffle_epi32(v, 0x1B);
    v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);
    return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
}

// Digit values 0 to 15 as the characters '0'-'9', 'A'-'F'.
inline __m128i hex_chars(__m128i digits)
{
    const __m128i letters = _mm_and_si128(_mm_cmpgt_epi8(digits, _mm_set1_epi8(9)), _mm_set1_epi8('A' - '0' - 10));
    return _mm_add_epi8(digits, _mm_add_epi8(letters, _mm_set1_epi8('0')));
}

// 32 digits from 16 bytes: each byte, from the top one down, gives its high and its low nibble.
constexpr int HEX_GROUP = 32;
inline void hex_group(const unsigned char* bytes, int m, char* out)
{
    const __m128i v = reverse_bytes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * m)));
    const __m128i nibbles = _mm_set1_epi8(0x0F);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(v, 4), nibbles);
    const __m128i low = _mm_and_si128(v, nibbles);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), hex_chars(_mm_unpacklo_epi8(high, low)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), hex_chars(_mm_unpackhi_epi8(high, low)));
}

// The 16 digits of a word, most significant first, from a register: no bytes read from memory.
inline void hex_word_digits(u64 word, char* out)
{
    const __m128i v = _mm_cvtsi64_si128(static_cast<long long>(__builtin_bswap64(word)));
    const __m128i nibbles = _mm_set1_epi8(0x0F);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(v, 4), nibbles);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), hex_chars(_mm_unpacklo_epi8(high, _mm_and_si128(v, nibbles))));
}

// 16 digits from 48 bits: each 64-bit lane spreads 24 bits into eight bytes of three bits.
constexpr int OCTAL_GROUP = 16;
inline void octal_group(const unsigned char* bytes, int m, char* out)
{
    u64 v;
    std::memcpy(&v, bytes + 6 * m, 8);
    __m128i x = _mm_cvtsi64_si128(static_cast<long long>(v));
    x = _mm_and_si128(_mm_unpacklo_epi64(x, _mm_srli_epi64(x, 24)), _mm_set1_epi64x(0xFFFFFF));
    x = _mm_and_si128(_mm_or_si128(x, _mm_slli_epi64(x, 20)), _mm_set1_epi64x(0x00000FFF00000FFFLL));
    x = _mm_and_si128(_mm_or_si128(x, _mm_slli_epi64(x, 10)), _mm_set1_epi64x(0x003F003F003F003FLL));
    x = _mm_and_si128(_mm_or_si128(x, _mm_slli_epi64(x, 5)), _mm_set1_epi64x(0x0707070707070707LL));
    x = _mm_add_epi8(x, _mm_set1_epi8('0'));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), reverse_bytes(x));
}

#else

// Eight digits from four bytes, spread a nibble per byte.
constexpr int HEX_GROUP = 8;
inline void hex_group(const unsigned char* bytes, int m, char* out)
{
    u32 v;
    std::memcpy(&v, bytes + 4 * m, 4);
    u64 x = v;
    x = (x | (x << 16)) & 0x0000FFFF0000FFFFULL;
    x = (x | (x << 8)) & 0x00FF00FF00FF00FFULL;
    x = (x | (x << 4)) & 0x0F0F0F0F0F0F0F0FULL;
    x += 0x30 * ONES + (((x + 0x06 * ONES) >> 4) & ONES) * 7;
    x = __builtin_bswap64(x);
    std::memcpy(out, &x, 8);
}

// The 16 digits of a word, most significant first.
inline void hex_word_digits(u64 word, char* out)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&word);
    hex_group(bytes, 1, out);
    hex_group(bytes, 0, out + 8);
}

// Eight digits from 24 bits, spread three bits per byte.
constexpr int OCTAL_GROUP = 8;
inline void octal_group(const unsigned char* bytes, int m, char* out)
{
    u32 v;
    std::memcpy(&v, bytes + 3 * m, 4);
    u64 x = v & 0xFFFFFF;
    x = (x | (x << 20)) & 0x00000FFF00000FFFULL;
    x = (x | (x << 10)) & 0x003F003F003F003FULL;
    x = (x | (x << 5)) & 0x0707070707070707ULL;
    x = __builtin_bswap64(x + 0x30 * ONES);
    std::memcpy(out, &x, 8);
}

#endif

// The eight bit characters of every byte value, most significant bit first in memory order.
struct BYTE_CHAR_TABLE {
    u64 chars[256];
    constexpr BYTE_CHAR_TABLE() : chars()
    {
        for (int b = 0; b < 256; ++b)
            for (int t = 0; t < 8; ++t)
                chars[b] |= u64('0' + ((b >> (7 - t)) & 1)) << (8 * t);
    }
};
constexpr BYTE_CHAR_TABLE BYTE_CHARS;

// "00" to "99".
struct DIGIT_PAIR_TABLE {
    char pairs[200];
    constexpr DIGIT_PAIR_TABLE() : pairs()
    {
        for (int i = 0; i < 100; ++i) {
            pairs[2 * i] = char('0' + i / 10);
            pairs[2 * i + 1] = char('0' + i % 10);
        }
    }
};
constexpr DIGIT_PAIR_TABLE DIGIT_PAIRS;

// 10^0 to 10^19.
struct POWER_OF_TEN_TABLE {
    u64 powers[20];
    constexpr POWER_OF_TEN_TABLE() : powers()
    {
        powers[0] = 1;
        for (int i = 1; i < 20; ++i)
            powers[i] = powers[i - 1] * 10;
    }
    constexpr u64 operator[](int i) const { return powers[i]; }
};
constexpr POWER_OF_TEN_TABLE POWERS_OF_TEN;
constexpr u64 TEN19 = POWERS_OF_TEN[19];
// 10^19 has its top bit set, so it needs no normalising shift; this is floor((2^128 - 1) / 10^19)
// without its top bit 2^64.
constexpr u64 TEN19_RECIPROCAL = u64(~u128(0) / TEN19);

// Writes `count` bits of the words, the most significant first, and a NUL. The words must be
// zero from the value's top up to `count` bits.
void write_bits(const u64* words, int count, char* out)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(words);
    const int head = count % 8;
    const int full = count / 8;
    for (int j = 0; j < head; ++j)
        out[j] = char('0' + ((bytes[full] >> (head - 1 - j)) & 1));
    for (int b = full - 1, j = head; b >= 0; --b, j += 8)
        std::memcpy(out + j, &BYTE_CHARS.chars[bytes[b]], 8);
    out[count] = '\0';
}

// Writes `count` digits right-aligned from groups of DIGITS digits, group m holding the digits
// DIGITS * m to DIGITS * m + DIGITS - 1 counted from the least significant one.
template <int DIGITS, typename WRITE_GROUP> void put_digit_groups(char* out, int count, WRITE_GROUP write_group)
{
    int m = 0;
    for (; DIGITS * (m + 1) <= count; ++m)
        write_group(m, out + count - DIGITS * (m + 1));
    const int rest = count - DIGITS * m;
    if (rest > 0) {
        char top[DIGITS];
        write_group(m, top);
        std::memcpy(out, top + DIGITS - rest, size_t(rest));
    }
}

// Appends the suffix (none when 0) and the NUL at `end`.
const char* finish(char* end, char suffix)
{
    if (suffix)
        *end++ = suffix;
    *end = '\0';
    return s_result;
}

// ---- decimal printing ----

// One word of a division by 10^19: divides (r, u) by 10^19 where r < 10^19; returns the
// quotient word and leaves the remainder in r.
inline u64 divide_word(u64& r, u64 u)
{
    const u128 p = u128(TEN19_RECIPROCAL) * r + ((u128(r) << 64) | u);
    const u64 estimate = u64(p >> 64);
    u64 q = estimate + 1;
    u64 rest = (u - TEN19) - estimate * TEN19;  // u - q * 10^19, the + 1 off the chain from r
    if (rest > u64(p)) {
        --q;
        rest += TEN19;
    }
    if (rest >= TEN19) {
        ++q;
        rest -= TEN19;
    }
    r = rest;
    return q;
}

// Divides the words by 10^19 LANES times in one sweep from the top: lane p works one word above
// lane p - 1, on the quotient that lane has just written. The LANES - 1 words above n must be
// zero. remainders[p] receives the p-th remainder, the lowest chunk first.
template <int LANES> void divide_sweep(u64* w, int n, u64* remainders)
{
    u64 r[LANES] = {};
    for (int i = n - 1; i >= 0; --i)
#pragma GCC unroll 8
        for (int p = 0; p < LANES; ++p)
            w[i + p] = divide_word(r[p], w[i + p]);
    for (int i = -1; i > -LANES; --i)
        for (int p = -i; p < LANES; ++p)
            w[i + p] = divide_word(r[p], w[i + p]);
    std::copy(r, r + LANES, remainders);
}

int trimmed(const u64* w, int n)
{
    while (n > 0 && w[n - 1] == 0)
        --n;
    return n;
}

// The base 10^19 digits of the words (destroyed), least significant first; at least one.
int decimal_chunks(u64* w, int n, u64* chunks)
{
    int count = 0;
    for (n = trimmed(w, n); n > 0; n = trimmed(w, n)) {
        divide_sweep<DIVISION_LANES>(w, n, chunks + count);
        count += DIVISION_LANES;
    }
    chunks[count] = 0;  // the value 0 has the one chunk 0
    return std::max(trimmed(chunks, count), 1);
}

void put_two(char* out, u32 v) { std::memcpy(out, DIGIT_PAIRS.pairs + 2 * v, 2); }

inline void put8(char* out, u32 v)
{
    const u32 high = v / 10000;
    const u32 low = v % 10000;
    put_two(out, high / 100);
    put_two(out + 2, high % 100);
    put_two(out + 4, low / 100);
    put_two(out + 6, low % 100);
}

// The 16 digits of v < 10^16, leading zeros kept. With SSE2 its two halves of eight digits are
// split in vector lanes, into four digits per 32-bit lane, two per 16-bit lane and one per byte,
// the first digit in the lowest, with quotients by reciprocals valid for these ranges:
// x / 10^4 = (x * 0xD1B71759) >> 45 for x < 10^8, y / 100 = (y * 5243) >> 19 for y < 10^4,
// z / 10 = (z * 0xCCCD) >> 19 for z < 100. The vector multipliers leave the scalar one, which
// the divisions by 10^19 keep busy, free.
inline void put16(char* out, u64 v)
{
    const u32 high = u32(v / POWERS_OF_TEN[8]), low = u32(v % POWERS_OF_TEN[8]);
#ifdef __SSE2__
    const __m128i x = _mm_set_epi64x(low, high);
    const __m128i fours = _mm_srli_epi64(_mm_mul_epu32(x, _mm_set1_epi32(int(0xD1B71759))), 45);
    const __m128i last_fours = _mm_sub_epi32(x, _mm_mul_epu32(fours, _mm_set1_epi32(10000)));
    const __m128i y = _mm_or_si128(fours, _mm_slli_epi64(last_fours, 32));
    const __m128i pairs = _mm_srli_epi16(_mm_mulhi_epu16(y, _mm_set1_epi16(5243)), 3);
    const __m128i z =
        _mm_or_si128(pairs, _mm_slli_epi32(_mm_sub_epi16(y, _mm_mullo_epi16(pairs, _mm_set1_epi16(100))), 16));
    const __m128i tens = _mm_srli_epi16(_mm_mulhi_epu16(z, _mm_set1_epi16(int16_t(0xCCCD))), 3);
    const __m128i digits =
        _mm_or_si128(tens, _mm_slli_epi16(_mm_sub_epi16(z, _mm_mullo_epi16(tens, _mm_set1_epi16(10))), 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_add_epi8(digits, _mm_set1_epi8('0')));
#else
    put8(out, high);
    put8(out + 8, low);
#endif
}

// The 19 digits of c < 10^19, leading zeros kept.
void put19(char* out, u64 c)
{
    const u32 top = u32(c / POWERS_OF_TEN[16]);
    out[0] = char('0' + top / 100);
    put_two(out + 1, top % 100);
    put16(out + 3, c - top * POWERS_OF_TEN[16]);
}

// Writes the decimal digits of v without leading zeros (one for 0), and a NUL; returns the end.
// All 20 places are made from three pieces split off with divisions that do not wait on each
// other's digits, then the significant ones moved into place.
char* put_word_decimal(char* out, u64 v)
{
    char digits[40] = {};
    const u32 top = u32(v / POWERS_OF_TEN[16]);
    const u64 rest = v % POWERS_OF_TEN[16];
    put_two(digits, top / 100);
    put_two(digits + 2, top % 100);
    put8(digits + 4, u32(rest / POWERS_OF_TEN[8]));
    put8(digits + 12, u32(rest % POWERS_OF_TEN[8]));
    // 1233 / 4096 is just above log10(2): the digit count is t or t + 1 (0 counts as 1, as 1 does).
    const u64 odd = v | 1;
    const int t = ((64 - __builtin_clzll(odd)) * 1233) >> 12;
    const int count = t + (odd >= POWERS_OF_TEN[t]);
    std::memcpy(out, digits + 20 - count, 20);
    out[count] = '\0';
    return out + count;
}

// Writes the decimal digits of the words (destroyed), at least `min_chunks` chunks of 19 digits
// with leading zeros when it is above 0, and a NUL; returns the end.
char* put_chunks(u64* w, int n, char* out, int min_chunks = 0)
{
    n = trimmed(w, n);
    if (n <= 1 && min_chunks == 0)  // one word needs no division of its own
        return put_word_decimal(out, n ? w[0] : 0);
    u64 chunks[MAX_CHUNKS + 1];
    int count = n ? decimal_chunks(w, n, chunks) : 0;
    if (min_chunks > 0) {
        std::fill(chunks + count, chunks + min_chunks, 0);
        count = std::max(count, min_chunks);
    } else {
        out = put_word_decimal(out, chunks[--count]);
    }
    for (int i = count - 1; i >= 0; --i, out += 19)
        put19(out, chunks[i]);
    *out = '\0';
    return out;
}

// w = w * m + add over n words; returns the new word count.
int multiply_add(u64* w, int n, u64 m, u64 add)
{
    u64 carry = add;
    for (int i = 0; i < n; ++i) {
        const u128 t = u128(w[i]) * m + carry;
        w[i] = u64(t);
        carry = u64(t >> 64);
    }
    if (carry)
        w[n++] = carry;
    return n;
}

// ---- wide values print in halves ----
//
// A value of SPLIT_WORDS words or more is divided by 10^(19h), h half its words, and the quotient
// and the remainder (h chunks with leading zeros) printed one after the other, each split again
// while it is that wide: each half costs a quarter of the whole by repeated division, and the long
// division by the power about a quarter more, in multiplications that do not wait on each other.
// Below 32 words a split's long division costs about what it saves.
constexpr int SPLIT_WORDS = 32;
constexpr int MAX_SPLIT = VALUE_WORDS / 2 + 1;

// floor((2^192 - 1) / (d1 2^64 + d0)) - 2^64 for d1's top bit set: the reciprocal that turns a
// division of three words by these two into multiplications. Bit by bit, once per power.
u64 reciprocal_3by2(u64 d1, u64 d0)
{
    const u128 d = (u128(d1) << 64) | d0;
    u128 r = 0, q = 0;
    for (int i = 0; i < 192; ++i) {
        const bool over = r >> 127;
        r = (r << 1) | 1;
        q <<= 1;
        if (over || r >= d) {
            r -= d;
            q |= 1;
        }
    }
    return u64(q);
}

// 10^(19h) for h from 1 to MAX_SPLIT, shifted left until its top bit is set, with that shift and
// the reciprocal of its top two words (from h = 2, where it has two).
struct POWER_OF_TEN_CHUNKS {
    u64 words[MAX_SPLIT + 1][MAX_SPLIT + 1] = {};
    int size[MAX_SPLIT + 1] = {};
    int shift[MAX_SPLIT + 1] = {};
    u64 reciprocal[MAX_SPLIT + 1] = {};
    POWER_OF_TEN_CHUNKS()
    {
        u64 power[MAX_SPLIT + 2] = {1};
        int n = 1;
        for (int h = 1; h <= MAX_SPLIT; ++h) {
            n = multiply_add(power, n, TEN19, 0);
            shift[h] = __builtin_clzll(power[n - 1]);
            size[h] = n;
            for (int i = n - 1; i >= 0; --i)
                words[h][i] = shift[h] ? (power[i] << shift[h]) | (i ? power[i - 1] >> (64 - shift[h]) : 0) : power[i];
            if (n >= 2)
                reciprocal[h] = reciprocal_3by2(words[h][n - 1], words[h][n - 2]);
        }
    }
};

// (n2, n1, n0) / (d1, d0) for (n2, n1) below (d1, d0), v = reciprocal_3by2(d1, d0): returns the
// quotient word and leaves the remainder in r. The quotient read from v needs at most one step
// down and one up, each found by one compare.
inline u64 divide_3by2(u64 n2, u64 n1, u64 n0, u64 d1, u64 d0, u64 v, u128& r)
{
    const u128 estimate = u128(v) * n2 + ((u128(n2) << 64) | n1);
    u64 q = u64(estimate >> 64);
    const u128 d = (u128(d1) << 64) | d0;
    r = (u128(n1 - q * d1) << 64 | n0) - u128(d0) * q - d;
    ++q;
    if (u64(r >> 64) >= u64(estimate)) {
        --q;
        r += d;
    }
    if (r >= d) {
        ++q;
        r -= d;
    }
    return q;
}

// w -= m * d + carry for one word; returns the carry out (the product's high word and the
// subtraction's borrows, never above 2^64 - 1). The product's low word is taken from w before the
// carry comes in, so that the chain from carry to carry is two instructions, a subtract and an add.
inline u64 subtract_product_word(u64& w, u64 d, u64 m, u64 carry)
{
    u64 value = w;
#if defined(__x86_64__)
    u64 high;
    __asm__("mulq %[d]\n\tsubq %[m], %[value]\n\tadcq $0, %[high]\n\tsubq %[carry], %[value]\n\tadcq $0, %[high]"
            : [m] "+a"(m), [high] "=&d"(high), [value] "+r"(value)
            : [d] "rm"(d), [carry] "r"(carry)
            : "cc");
#else
    const u128 product = u128(m) * d;
    const u64 low = u64(product);
    u64 high = u64(product >> 64) + (value < low);
    value -= low;
    high += value < carry;
    value -= carry;
#endif
    w = value;
    return high;
}

// w -= m * d over n words; returns the word still to subtract above them. Four words a step.
inline u64 subtract_product(u64* w, const u64* d, int n, u64 m)
{
    u64 carry = 0;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        carry = subtract_product_word(w[i], d[i], m, carry);
        carry = subtract_product_word(w[i + 1], d[i + 1], m, carry);
        carry = subtract_product_word(w[i + 2], d[i + 2], m, carry);
        carry = subtract_product_word(w[i + 3], d[i + 3], m, carry);
    }
    for (; i < n; ++i)
        carry = subtract_product_word(w[i], d[i], m, carry);
    return carry;
}

// u (un + 1 words, the top two below d's) divided by d (dn >= 2 words, top bit set, v its top
// two words' reciprocal_3by2): the quotient's un - dn + 1 words in q, the remainder in u's low
// dn words, zeros above them. Each quotient word comes from u's top three words and d's top two,
// exact but for the borrow of the words below, which takes it one too large at most.
void divide_long(u64* u, int un, const u64* d, int dn, u64 v, u64* q)
{
    const u64 d1 = d[dn - 1], d0 = d[dn - 2];
    for (int j = un - dn; j >= 0; --j) {
        u64* top = u + j + dn;
        u64 qj = ~u64(0);
        if (top[0] == d1 && top[-1] == d0) {  // no input for divide_3by2; the quotient word is 2^64 - 1
            top[0] -= subtract_product(u + j, d, dn, qj);
        } else {
            u128 r;
            qj = divide_3by2(top[0], top[-1], top[-2], d1, d0, v, r);
            const u128 borrow = subtract_product(u + j, d, dn - 2, qj);
            top[-2] = u64(r - borrow);
            top[-1] = u64((r - borrow) >> 64);
            top[0] = 0;
            if (r < borrow) {  // one too large: add d back, its carry out cancels the borrow
                --qj;
                u64 c = 0;
                for (int i = 0; i < dn; ++i) {
                    const u128 sum = u128(u[i + j]) + d[i] + c;
                    u[i + j] = u64(sum);
                    c = u64(sum >> 64);
                }
            }
        }
        q[j] = qj;
    }
}

// Writes the decimal digits of the words (destroyed), at least `min_chunks` chunks of 19 digits
// with leading zeros when it is above 0, and a NUL; returns the end. The words must be zero from
// n up to n + DIVISION_LANES. A value of SPLIT_WORDS words or more is divided by 10^(19h), h half
// its words, into a quotient left in w and a remainder of h chunks, each printed the same way.
char* put_decimal(u64* w, int n, char* out, int min_chunks = 0)
{
    n = trimmed(w, n);
    if (n < SPLIT_WORDS)
        return put_chunks(w, n, out, min_chunks);
    static const POWER_OF_TEN_CHUNKS powers;
    const int h = n / 2, dn = powers.size[h], shift = powers.shift[h];
    // u = w << shift, one word longer; x >> 1 >> (63 - shift) is x >> (64 - shift), also for a shift of 0.
    u64 u[VALUE_WORDS + DIVISION_LANES + 2];
    u[n] = w[n - 1] >> 1 >> (63 - shift);
    for (int i = n - 1; i > 0; --i)
        u[i] = (w[i] << shift) | (w[i - 1] >> 1 >> (63 - shift));
    u[0] = w[0] << shift;
    divide_long(u, n, powers.words[h], dn, powers.reciprocal[h], w);
    std::fill(w + n - dn + 1, w + n, 0);
    for (int i = 0; i < dn; ++i)  // the remainder shifted back, in place; u[dn] is 0
        u[i] = (u[i] >> shift) | (u[i + 1] << 1 << (63 - shift));
    std::fill(u + dn, u + dn + DIVISION_LANES, 0);
    const int qn = trimmed(w, n - dn + 1);
    if (qn == 0 && min_chunks <= h)
        return put_decimal(u, dn, out, min_chunks);
    out = put_decimal(w, qn, out, std::max(min_chunks - h, 0));
    return put_decimal(u, dn, out, h);
}

// ---- decimal parsing ----

// The value of eight decimal digits.
inline u64 parse8(const char* s)
{
    u64 v;
    std::memcpy(&v, s, 8);
    v -= 0x30 * ONES;
    v = v * 10 + (v >> 8);
    return (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
            (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
           32;
}

// The value of up to 19 decimal digits.
u64 digits_value(const char* s, int count)
{
    u64 v = 0;
    for (; count >= 8; count -= 8, s += 8)
        v = v * POWERS_OF_TEN[8] + parse8(s);
    for (; count > 0; --count)
        v = v * 10 + u64(*s++ - '0');
    return v;
}

// The value of decimal digits in words, read in chunks of 19 digits; returns the word count.
int decimal_words(const char* digits, int count, u64* w)
{
    int n = 0;
    for (int i = 0, length = count % 19 ? count % 19 : 19; i < count; i += length, length = 19)
        n = multiply_add(w, n, POWERS_OF_TEN[length], digits_value(digits + i, length));
    return n;
}

int bit_length(const u64* w, int n)
{
    n = trimmed(w, n);
    return n == 0 ? 0 : 64 * n - __builtin_clzll(w[n - 1]);
}

// Whether the `length` characters at s are all decimal digits: eight at a time, where a digit
// XORed with '0' is a byte below 10. A text of eight characters or more ends with the eight that
// end it, overlapping the ones before.
bool all_digits(const char* s, int length)
{
    const auto not_digits = [](const char* p) {
        const u64 v = load8(p) ^ (0x30 * ONES);
        return (v & (0xF0 * ONES)) | (((v & (0x0F * ONES)) + 0x06 * ONES) & (0x10 * ONES));
    };
    u64 others = 0;
    int i = 0;
    for (; i + 8 <= length; i += 8)
        others |= not_digits(s + i);
    if (i < length && length >= 8)
        others |= not_digits(s + length - 8);
    for (; i < length && length < 8; ++i)
        others |= u64(static_cast<unsigned char>(s[i] - '0') > 9);
    return !others;
}

// The value of a text of 1 to 20 decimal digits and nothing else whose value fits one word; false
// for any other text.
bool word_of_digits(const char* text, int length, u64* value)
{
    if (length < 1 || length > 20 || !all_digits(text, length))
        return false;
    if (length < 20) {
        *value = digits_value(text, length);
        return true;
    }
    const u128 v = u128(u64(text[0] - '0')) * TEN19 + digits_value(text + 1, 19);
    *value = u64(v);
    return v >> 64 == 0;
}

// The digits of a decimal text of `text_length` characters and the number of digit places the
// text has: a leading '-' is a place that reads as 0, other characters that are not digits are
// skipped. The digits are the text itself when it holds nothing else, or a copy in `scratch`.
struct DECIMAL_TEXT {
    const char* digits;
    int count;
    int places;
};

DECIMAL_TEXT decimal_text(const char* text, int text_length, char* scratch)
{
    const bool minus = text[0] == '-';
    const char* s = text + minus;
    const int length = text_length - minus;
    if (all_digits(s, length))
        return {s, length, length + minus};
    const int count = int(std::copy_if(s, s + length, scratch, [](char c) { return c >= '0' && c <= '9'; }) - scratch);
    return {scratch, count, count + minus};
}

// Writes `width` bit characters of v, '0' in front of its 64 bits, and a NUL.
void put_word_bits(u64 v, int width, char* out)
{
    const int bits = std::min(width, 64);
    std::memset(out, '0', size_t(width - bits));
    write_bits(&v, bits, out + width - bits);
}

// ---- other parse steps ----

// Writes the low `count` bits of v, most significant first.
void put_bits(char* out, unsigned v, int count)
{
    for (int t = 0; t < count; ++t)
        out[t] = char('0' + ((v >> (count - 1 - t)) & 1));
}

// Per character: its digit value (0 to 15), X_DIGIT for X and x, or SKIPPED; and per value the
// four bit characters of a digit, most significant first, then a NUL (all 'X' for X_DIGIT).
constexpr int X_DIGIT = 16, SKIPPED = 17;
struct DIGIT_TABLE {
    unsigned char value[256];
    char bits[X_DIGIT + 1][8];
    constexpr DIGIT_TABLE() : value(), bits()
    {
        for (int c = 0; c < 256; ++c)
            value[c] = c >= '0' && c <= '9'   ? c - '0'
                       : c >= 'a' && c <= 'f' ? c - 'a' + 10
                       : c >= 'A' && c <= 'F' ? c - 'A' + 10
                       : c == 'X' || c == 'x' ? X_DIGIT
                                              : SKIPPED;
        for (int v = 0; v <= X_DIGIT; ++v)
            for (int t = 0; t < 4; ++t)
                bits[v][t] = v == X_DIGIT ? 'X' : char('0' + ((v >> (3 - t)) & 1));
    }
};
constexpr DIGIT_TABLE DIGITS;

// Replaces every character of a text by PER_CHAR bit characters (4 for hexadecimal, 3 for octal):
// its value, or X for X and x; characters the radix does not know are skipped. Each digit is
// stored as four characters, of which the next digit overwrites those beyond its own.
template <int PER_CHAR> int expand_digits(const char* text, char* out)
{
    constexpr int RADIX = 1 << PER_CHAR;
    char* start = out;
    for (; *text; ++text) {
        const int v = DIGITS.value[static_cast<unsigned char>(*text)];
        if (v < RADIX || v == X_DIGIT) {
            std::memcpy(out, DIGITS.bits[v] + 4 - PER_CHAR, 4);
            out += PER_CHAR;
        }
    }
    *out = '\0';
    return int(out - start);
}

// A real number read like the formatted input "%f": leading white space, an optional sign;
// 0 when the text does not read as a number. Read without the process locale.
template <typename REAL> REAL read_real(const char* text)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    if (*text == '+' && text[1] != '-')
        ++text;
    REAL value = 0;
    std::from_chars(text, text + std::strlen(text), value);
    return value;
}

// Copies a text into the shared result or scratch. Through memmove, which stays a library call: a
// memcpy of a length known only at run time into those aligned arrays is made `rep movsq` in
// place, whose start costs more than copying a short text.
inline void copy_text(char* to, const char* from, int length) { std::memmove(to, from, size_t(length)); }

// Whether p points into the shared result.
bool within_result(const char* p)
{
    std::less_equal<const char*> le;
    return le(s_result, p) && le(p, s_result + RESULT_SIZE - 1);
}

// ---- reading and packing the bits ----

// The bits a number reads. Storage index i holds the bit of significance i (least significant
// first) or of significance width - 1 - i (most significant first).
struct BIT_SOURCE {
    const unsigned char* const* rows;
    const char* text;
    int width;
    int column;
    bool lsb_to_msb;

    int storage_index(int significance) const { return lsb_to_msb ? significance : width - 1 - significance; }
    bool bit(int index) const { return text ? text[index] == '1' : rows[index][column] != 0; }
};

// A value packed into words, least significant first.
struct PACKED {
    u64 bits[PACKED_WORDS];  // the value, zero above the width
    u64 x[PACKED_WORDS];     // X characters of a number built from text
    int words;               // words that hold the width
};

// The column bytes of rows[0], rows[STEP], ..., rows[7 * STEP], byte t from rows[t * STEP].
template <int STEP> inline u64 gather_rows(const unsigned char* const* row, int column)
{
    u64 v = 0;
#pragma GCC unroll 8
    for (int t = 0; t < 8; ++t)
        v |= u64(row[t * STEP][column]) << (8 * t);
    return v;
}

// Calls f(gather) with the gatherer of the source's kind and order: gather(j) gives the eight
// storage bytes (characters of a text, or row bytes) of the bits of significance 8j to 8j + 7,
// byte t for significance 8j + t. Each kind gets loops of its own, free of branches.
template <typename F> void with_gatherer(const BIT_SOURCE& s, F f)
{
    if (s.text && s.lsb_to_msb)
        f([&s](int j) { return load8(s.text + 8 * j); });
    else if (s.text)
        f([&s](int j) { return __builtin_bswap64(load8(s.text + s.width - 8 - 8 * j)); });
    else if (s.lsb_to_msb)
        f([&s](int j) { return gather_rows<1>(s.rows + 8 * j, s.column); });
    else
        f([&s](int j) { return gather_rows<-1>(s.rows + s.width - 1 - 8 * j, s.column); });
}

// ORs the bits of the whole bytes j < count into the words, a word at a time; bits_of turns
// eight storage bytes into eight bits.
template <typename GATHER, typename BITS_OF>
void pack_whole_bytes(u64* words, int count, GATHER gather, BITS_OF bits_of)
{
    const int whole = count / 8;
    for (int i = 0; i < whole; ++i) {
        u64 word = 0;
#pragma GCC unroll 8
        for (int b = 0; b < 8; ++b)
            word |= u64(bits_of(gather(8 * i + b))) << (8 * b);
        words[i] = word;
    }
    for (int j = 8 * whole; j < count; ++j)
        words[whole] |= u64(bits_of(gather(j))) << (8 * (j % 8));
}

// 2 * acc + 1 when the byte at row[column] is 0, else 2 * acc. On x86-64 one compare with the
// byte in memory and one add with carry; any byte but 0 reads as 1, with no test of its own.
inline u64 shift_in_zero(u64 acc, const unsigned char* row, long column)
{
#if defined(__x86_64__)
    __asm__("cmpb $1, (%[row],%[column])\n\tadc %[acc], %[acc]"
            : [acc] "+r"(acc)
            : [row] "r"(row), [column] "r"(column), "m"(row[column])
            : "cc");
    return acc;
#else
    return 2 * acc + (row[column] == 0);
#endif
}

// Bit k set where the row of significance k (first[STEP * k]) has a 0 at the column, for k below
// `width` (at most 64). Eight rows a chain, the chains independent of each other, so that the
// loads of all are in flight together.
template <int STEP>
inline __attribute__((always_inline)) u64 zero_rows(const unsigned char* const* first, int width, long column)
{
    const int whole = width / 8;
    u64 zeros = 0;
#pragma GCC unroll 8
    for (int g = 0; g < 8; ++g) {
        if (g >= whole)
            break;
        u64 acc = 0;
#pragma GCC unroll 8
        for (int t = 7; t >= 0; --t)
            acc = shift_in_zero(acc, first[STEP * (8 * g + t)], column);
        zeros |= acc << (8 * g);
    }
    if (8 * whole < width) {
        u64 acc = 0;
        for (int k = width - 1; k >= 8 * whole; --k)
            acc = shift_in_zero(acc, first[STEP * k], column);
        zeros |= acc << (8 * whole);
    }
    return zeros;
}

// The value of a number of at most 64 bits read from a data log's rows, as one word; row i holds
// the bit of significance i (`lsb_to_msb`) or width - 1 - i, and any byte but 0 reads as 1. The
// fields come in registers, so that nothing just stored is read back from memory.
#if defined(__x86_64__) && defined(__GNUC__)
const bool HAS_BYTE_INSERTS = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse4.1");
}();

// The 16 rows first[STEP * k], k below 16, with anything but 0 at the column, as bits k: each byte
// put into its lane of one register straight from where it stands, then one compare for all 16.
template <int STEP, int K = 1>
__attribute__((target("sse4.1"), always_inline)) inline __m128i inserted_rows(__m128i v,
                                                                              const unsigned char* const* first,
                                                                              long column)
{
    if constexpr (K == 16)
        return v;
    else
        return inserted_rows<STEP, K + 1>(_mm_insert_epi8(v, first[STEP * K][column], K), first, column);
}

template <int STEP>
__attribute__((target("sse4.1"), always_inline)) inline u64 nonzero_16_rows(const unsigned char* const* first,
                                                                            long column)
{
    const __m128i v = inserted_rows<STEP>(_mm_cvtsi32_si128(first[0][column]), first, column);
    return u64(~_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())) & 0xFFFF);
}

// row_word() where the processor inserts bytes into lanes: 16 rows an insert chain, four chains
// independent of each other; the rows past the last 16 by zero_rows(). Two instructions a row
// where a compare with the byte in memory and an add with carry take three.
template <int STEP>
__attribute__((target("sse4.1"))) u64 nonzero_rows(const unsigned char* const* first, int width, long column)
{
    const int whole = width / 16;
    u64 bits = 0;
#pragma GCC unroll 4
    for (int g = 0; g < 4; ++g) {
        if (g >= whole)
            break;
        bits |= nonzero_16_rows<STEP>(first + STEP * 16 * g, column) << (16 * g);
    }
    if (const int rest = width - 16 * whole)
        bits |= (~zero_rows<STEP>(first + STEP * 16 * whole, rest, column) & (~u64(0) >> (64 - rest))) << (16 * whole);
    return bits;
}
#endif

u64 row_word(const unsigned char* const* rows, int width, int column, bool lsb_to_msb)
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (HAS_BYTE_INSERTS && width > 0)
        return lsb_to_msb ? nonzero_rows<1>(rows, width, column) : nonzero_rows<-1>(rows + width - 1, width, column);
#endif
    const u64 zeros = lsb_to_msb ? zero_rows<1>(rows, width, column) : zero_rows<-1>(rows + width - 1, width, column);
    return width ? ~zeros & (~u64(0) >> (64 - width)) : 0;
}

// The value of a data log's rows into words, as row_word() reads them: whole words of 64 rows,
// then the rest.
template <int STEP> void pack_rows(const unsigned char* const* first, int width, long column, u64* words)
{
    const int whole = width / 64;
    for (int i = 0; i < whole; ++i)
        words[i] = ~zero_rows<STEP>(first + STEP * 64 * i, 64, column);
    if (const int rest = width % 64)
        words[whole] = ~zero_rows<STEP>(first + STEP * 64 * whole, rest, column) & ((u64(1) << rest) - 1);
}

// ---- rows a few bytes apart, read 64 bytes at a time ----
//
// Rows that lie a fixed distance of at most 16 bytes apart (the bytes of one array, as a sample's
// bits gathered for a bus's text are, or the rows of a log of a few samples laid end to end) hold
// a number's bits in every one to sixteenth byte of one stretch of memory. There one load of 64
// bytes and a bit extract take 4 to 64 bits, where reading each row's pointer and then its byte
// takes two loads a bit; the distance is a template argument, so that a word's loads are
// unrolled at fixed offsets. Rows further apart give a load too few bits to gain on that.

// Reverses the order of the 64 bits of v.
inline u64 reversed_word(u64 v)
{
    v = __builtin_bswap64(v);
    v = ((v >> 4) & 0x0F0F0F0F0F0F0F0FULL) | ((v & 0x0F0F0F0F0F0F0F0FULL) << 4);
    v = ((v >> 2) & 0x3333333333333333ULL) | ((v & 0x3333333333333333ULL) << 2);
    return ((v >> 1) & 0x5555555555555555ULL) | ((v & 0x5555555555555555ULL) << 1);
}

// Bit k of the `width` bits in the words becomes bit width - 1 - k; the bits above stay zero.
void reverse_bits(u64* words, int width)
{
    const int n = (width + 63) / 64, shift = 64 * n - width;
    std::reverse(words, words + n);
    for (int i = 0; i < n; ++i)
        words[i] = reversed_word(words[i]);
    if (shift == 0)
        return;
    for (int i = 0; i < n; ++i)
        words[i] = (words[i] >> shift) | (i + 1 < n ? words[i + 1] << (64 - shift) : 0);
}

#if defined(__x86_64__) && defined(__GNUC__)
const bool HAS_WIDE_ROWS = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("bmi2");
}();

// Whether every row lies `stride` bytes past the one before it: 32 row pointers compared a step
// against where they would lie, in four independent lanes of eight.
__attribute__((target("avx512f"))) bool rows_at_stride(const unsigned char* const* rows, int width, long long stride)
{
    const long long f = static_cast<long long>(reinterpret_cast<std::uintptr_t>(rows[0])), s = stride;
    const __m512i step = _mm512_set1_epi64(8 * s), step4 = _mm512_set1_epi64(32 * s);
    __m512i at0 = _mm512_setr_epi64(f, f + s, f + 2 * s, f + 3 * s, f + 4 * s, f + 5 * s, f + 6 * s, f + 7 * s);
    __m512i at1 = _mm512_add_epi64(at0, step), at2 = _mm512_add_epi64(at1, step), at3 = _mm512_add_epi64(at2, step);
    __m512i d0 = _mm512_setzero_si512(), d1 = d0, d2 = d0, d3 = d0;
    int i = 0;
    for (; i + 32 <= width; i += 32) {
        d0 = _mm512_or_si512(d0, _mm512_xor_si512(_mm512_loadu_si512(rows + i), at0));
        d1 = _mm512_or_si512(d1, _mm512_xor_si512(_mm512_loadu_si512(rows + i + 8), at1));
        d2 = _mm512_or_si512(d2, _mm512_xor_si512(_mm512_loadu_si512(rows + i + 16), at2));
        d3 = _mm512_or_si512(d3, _mm512_xor_si512(_mm512_loadu_si512(rows + i + 24), at3));
        at0 = _mm512_add_epi64(at0, step4), at1 = _mm512_add_epi64(at1, step4);
        at2 = _mm512_add_epi64(at2, step4), at3 = _mm512_add_epi64(at3, step4);
    }
    const __m512i all = _mm512_or_si512(_mm512_or_si512(d0, d1), _mm512_or_si512(d2, d3));
    bool same = _mm512_test_epi64_mask(all, all) == 0;
    for (; same && i < width; ++i)
        same = static_cast<long long>(reinterpret_cast<std::uintptr_t>(rows[i])) == f + i * s;
    return same;
}

// The bits at 0, S, 2S, ... of a word.
constexpr u64 every_bit_of(int S)
{
    u64 pattern = 0;
    for (int j = 0; j < 64; j += S)
        pattern |= u64(1) << j;
    return pattern;
}

// The 64 bits of a word from the row bytes at `at`, S apart, where S divides 64: each of S loads
// takes 64 / S rows, merged into one register at the j-th byte of every S bytes (load j starts j
// bytes before its rows and reads the row bytes alone), so that one test gives all 64 bits, but
// transposed: bit S * i + j is row 64 / S * j + i. Four registers take the loads in turn, so that
// the merges do not wait on one another; the bits are then put in place by the fewer of S bit
// extracts or 64 / S bit deposits.
template <int S>
__attribute__((target("avx512f,avx512bw,bmi2"), always_inline, no_sanitize_address, no_sanitize_thread)) inline u64
transposed_word(const unsigned char* at)
{
    constexpr int per = 64 / S;
    constexpr u64 pattern = every_bit_of(S);
    __m512i merged[4] = {_mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512(),
                         _mm512_setzero_si512()};
#pragma GCC unroll 16
    for (int j = 0; j < S; ++j)
        merged[j % 4] = _mm512_mask_loadu_epi8(merged[j % 4], pattern << j, at + 64 * j - j);
    const __m512i all = _mm512_or_si512(_mm512_or_si512(merged[0], merged[1]), _mm512_or_si512(merged[2], merged[3]));
    const u64 bits = _mm512_test_epi8_mask(all, all);
    u64 word = 0;
    if constexpr (S <= per) {
#pragma GCC unroll 16
        for (int j = 0; j < S; ++j)
            word |= _pext_u64(bits, pattern << j) << (per * j);
    } else {
#pragma GCC unroll 16
        for (int i = 0; i < per; ++i)
            word |= _pdep_u64((bits >> (S * i)) & ((u64(1) << S) - 1), every_bit_of(per) << i);
    }
    return word;
}

// Bit m of the words for the byte at lo + m * S, m below count; any byte but 0 reads as 1. Where
// S is 8 or 16 a word of 64 rows comes from transposed_word() (at smaller strides a load's test
// and extract measured faster). Else a word takes `loads` loads of 64 bytes, each giving `per`
// bits picked out (the last may give more than the word needs); a word whose loads would reach
// past the last byte masks them so that they read nothing beyond it. The bytes between the rows
// are read and dropped. Every such byte lies between two row bytes at most 16 bytes apart, so on
// a page that holds one of them: a load never reaches memory that is not there, though a
// sanitizer would call the bytes another object's.
template <int S>
__attribute__((target("avx512f,avx512bw,bmi2"), no_sanitize_address, no_sanitize_thread)) void pack_wide(
    const unsigned char* lo, int count, u64* words)
{
    constexpr int per = 63 / S + 1, loads = (64 + per - 1) / per;
    constexpr u64 pattern = every_bit_of(S);
    const unsigned char* last = lo + static_cast<long long>(count - 1) * S;
    for (int w = 0; 64 * w < count; ++w) {
        const unsigned char* at = lo + static_cast<long long>(64 * w) * S;
        u64 word = 0;
        if (64 % S == 0 && S >= 8 && last - at >= 63 * S) {
            word = transposed_word<(64 % S == 0 && S >= 8 ? S : 8)>(at);
        } else if (last - at >= (loads - 1) * per * S + 63) {
#pragma GCC unroll 16
            for (int j = 0; j < loads; ++j) {
                const __m512i bytes = _mm512_loadu_si512(at + j * per * S);
                word |= _pext_u64(_mm512_test_epi8_mask(bytes, bytes), pattern) << (j * per);
            }
        } else {
            for (int j = 0; j < loads && 64 * w + j * per < count; ++j) {
                const unsigned char* from = at + j * per * S;
                const long long room = last - from + 1;
                const __m512i bytes =
                    room >= 64 ? _mm512_loadu_si512(from) : _mm512_maskz_loadu_epi8((__mmask64(1) << room) - 1, from);
                word |= _pext_u64(_mm512_test_epi8_mask(bytes, bytes), pattern) << (j * per);
            }
        }
        words[w] = word;
    }
}

// pack_wide<S> for S = 1 to MAX_WIDE_STRIDE, at index S - 1.
constexpr int MAX_WIDE_STRIDE = 16;
using WIDE_PACK = void (*)(const unsigned char*, int, u64*);
template <size_t... I> constexpr std::array<WIDE_PACK, sizeof...(I)> wide_packs(std::index_sequence<I...>)
{
    return {&pack_wide<int(I) + 1>...};
}
constexpr std::array<WIDE_PACK, MAX_WIDE_STRIDE> WIDE_PACKS = wide_packs(std::make_index_sequence<MAX_WIDE_STRIDE>());
#endif

// Packs a number of at least 64 bits read from rows at most 16 bytes apart into the words, as
// pack_rows() would; false, having packed nothing, for other rows or where the processor lacks
// the loads.
bool pack_near_rows(const BIT_SOURCE& s, u64* words)
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (!HAS_WIDE_ROWS || s.width < 64)
        return false;
    const unsigned char* const* rows = s.rows;
    const long long stride =
        static_cast<long long>(reinterpret_cast<std::uintptr_t>(rows[1]) - reinterpret_cast<std::uintptr_t>(rows[0]));
    const long long last = static_cast<long long>(reinterpret_cast<std::uintptr_t>(rows[0])) + (s.width - 1) * stride;
    if (stride == 0 || stride < -MAX_WIDE_STRIDE || stride > MAX_WIDE_STRIDE ||
        static_cast<long long>(reinterpret_cast<std::uintptr_t>(rows[s.width - 1])) != last ||
        !rows_at_stride(rows, s.width, stride))
        return false;
    // Bit m is the row m rows from the lowest address: row m (rows ascending) or row width - 1 - m.
    const unsigned char* lowest = stride > 0 ? rows[0] : rows[s.width - 1];
    WIDE_PACKS[size_t(stride > 0 ? stride : -stride) - 1](lowest + s.column, s.width, words);
    if ((stride > 0) != s.lsb_to_msb)
        reverse_bits(words, s.width);
    return true;
#else
    (void)s, (void)words;
    return false;
#endif
}

// Packs the value, and with `with_x` the X characters of a text; the words above the width are
// zero far enough for the digit loops and the division lanes.
void pack(const BIT_SOURCE& s, PACKED* p, bool with_x)
{
    p->words = (s.width + 63) / 64;
    const size_t used = sizeof(u64) * size_t(std::min(PACKED_WORDS, p->words + DIVISION_LANES + 1));
    std::memset(p->bits, 0, used);
    with_x = with_x && s.text;
    if (with_x)
        std::memset(p->x, 0, used);
    if (!s.text) {
        if (pack_near_rows(s, p->bits))
            return;
        if (s.lsb_to_msb)
            pack_rows<1>(s.rows, s.width, s.column, p->bits);
        else
            pack_rows<-1>(s.rows + s.width - 1, s.width, s.column, p->bits);
        return;
    }
    const int count = s.width / 8;
    with_gatherer(s, [&](auto gather) {
        pack_whole_bytes(p->bits, count, gather, [](u64 v) { return equal_bytes(v, '1' * ONES); });
        if (with_x)
            pack_whole_bytes(p->x, count, gather, [](u64 v) { return equal_bytes(v | (0x20 * ONES), 'x' * ONES); });
    });
    for (int k = 8 * count; k < s.width; ++k) {
        const int i = s.storage_index(k);
        p->bits[k / 64] |= u64(s.bit(i)) << (k % 64);
        if (with_x && (s.text[i] | 0x20) == 'x')
            p->x[k / 64] |= u64(1) << (k % 64);
    }
}

bool top_bit(const BIT_SOURCE& s, const PACKED& p)
{
    return s.width > 0 && ((p.bits[(s.width - 1) / 64] >> ((s.width - 1) % 64)) & 1);
}

// Writes the bit characters of significance digits - 1 down to 0: a text's own characters, or
// '0' and '1' from a data log.
void copy_bits(const BIT_SOURCE& s, char* out, int digits)
{
    char* end = out + digits;
    with_gatherer(s, [&](auto gather) {
        for (int j = 0; j < digits / 8; ++j) {
            const u64 v = s.text ? gather(j) : nonzero_bytes(gather(j)) + 0x30 * ONES;
            const u64 chars = __builtin_bswap64(v);
            std::memcpy(end - 8 * (j + 1), &chars, 8);
        }
    });
    for (int k = 8 * (digits / 8); k < digits; ++k) {
        const int i = s.storage_index(k);
        out[digits - 1 - k] = s.text ? s.text[i] : char('0' + s.bit(i));
    }
}

// A digit whose least significant bit is an X character prints 'X'.
void overlay_x(char* out, int count, const PACKED& p, int bits_per_digit)
{
    for (int i = 0; i < p.words; ++i)
        for (u64 m = p.x[i]; m; m &= m - 1) {
            const int k = 64 * i + __builtin_ctzll(m);
            if (k % bits_per_digit == 0)
                out[count - 1 - k / bits_per_digit] = 'X';
        }
}

// The digits of a packed number of `width` bits, BITS bits a digit, into the result, written
// GROUP digits at a time by WRITE_GROUP; X's are overlaid when the number reads a text. Returns
// the end of the digits.
template <int BITS, int GROUP, void (*WRITE_GROUP)(const unsigned char*, int, char*)>
char* put_radix_digits(const PACKED& p, int width, bool from_text)
{
    const int count = (width - 1) / BITS + 1;
    const auto* bytes = reinterpret_cast<const unsigned char*>(p.bits);
    put_digit_groups<GROUP>(s_result, count, [bytes](int m, char* out) { WRITE_GROUP(bytes, m, out); });
    if (from_text)
        overlay_x(s_result, count, p, BITS);
    return s_result + count;
}

// The source packed, then its digits as put_radix_digits writes them; a function of its own, so
// that the short path of a number of one word keeps a small frame.
template <int BITS, int GROUP, void (*WRITE_GROUP)(const unsigned char*, int, char*)>
char* put_packed_digits(const BIT_SOURCE& s)
{
    PACKED p;
    pack(s, &p, true);
    return put_radix_digits<BITS, GROUP, WRITE_GROUP>(p, s.width, s.text);
}

// A signed decimal reading of the value: with the top bit clear, its unsigned decimal text;
// otherwise "-" and the magnitude that to_magnitude(p, width) leaves in the packed bits.
template <class TO_MAGNITUDE> const char* put_signed_decimal(const BIT_SOURCE& s, TO_MAGNITUDE to_magnitude)
{
    PACKED p;
    pack(s, &p, false);
    char* out = s_result;
    if (top_bit(s, p)) {
        to_magnitude(p, s.width);
        *out++ = '-';
    }
    put_decimal(p.bits, p.words, out);
    return s_result;
}

}  // namespace

// ---- construction ------------------------------------------------------------------------------------------

VOKR_NUMBER::VOKR_NUMBER(const VOKR_BIT_ROWS& source, int column)
    : m_width(std::max(source.width, 0)), m_column(std::max(column, 0)), m_data(source.rows), m_text(nullptr),
      m_lsb_to_msb(false)
{
    VOKR_ASSERT(this->m_width <= MAX_BUS_WIDTH);
}

// A text longer than the widest bus is measured only that far: its width is MAX_BUS_WIDTH + 1.
VOKR_NUMBER::VOKR_NUMBER(const char* text)
    : m_width(0), m_column(0), m_data(nullptr), m_text(text ? text : ""), m_lsb_to_msb(false)
{
    m_width = int(strnlen(m_text, MAX_BUS_WIDTH + 1));
}

void VOKR_NUMBER::check_width() const { VOKR_ASSERT(this->m_width <= MAX_BUS_WIDTH); }

const char* VOKR_NUMBER::text() const
{
    check_width();
    return m_text ? m_text : "";
}

bool VOKR_NUMBER::text_has_pattern_letters() const { return m_text && m_text[std::strspn(m_text, "01")] != '\0'; }

// ---- printing -----------------------------------------------------------------------------------------------

const char* VOKR_NUMBER::binary_string(bool suffix, int digits)
{
    if (m_text && within_result(m_text)) {
        // The text is an earlier result: read it from a copy, since this print overwrites it.
        copy_text(s_scratch, m_text, m_width + 1);
        VOKR_NUMBER copy(*this);
        copy.m_text = s_scratch;
        return copy.binary_string(suffix, digits);
    }
    const int count = digits >= 0 && digits <= m_width ? digits : m_width;
    // Leading X's stand for the bits a data log does not have; the text stays within 4096 digits.
    const int padding = !m_text && digits > m_width ? std::min(digits, MAX_BUS_WIDTH) - m_width : 0;
    std::memset(s_result, 'X', size_t(padding));
    copy_bits(view<BIT_SOURCE>(), s_result + padding, count);
    return finish(s_result + padding + count, suffix ? 'b' : '\0');
}

// Hexadecimal and octal: a digit whose least significant bit is an X character prints 'X'.
const char* VOKR_NUMBER::hex_string(bool suffix)
{
    if (!m_text && m_width <= 64) {  // the word's digits moved to the top, written in place
        const int count = (m_width - 1) / 4 + 1;
        hex_word_digits(row_word(m_data, m_width, m_column, m_lsb_to_msb) << (64 - 4 * count), s_result);
        return finish(s_result + count, suffix ? 'h' : '\0');
    }
    return finish(put_packed_digits<4, HEX_GROUP, hex_group>(view<BIT_SOURCE>()), suffix ? 'h' : '\0');
}

const char* VOKR_NUMBER::octal_string(bool suffix)
{
    return finish(put_packed_digits<3, OCTAL_GROUP, octal_group>(view<BIT_SOURCE>()), suffix ? 'o' : '\0');
}

const char* VOKR_NUMBER::ascii_string(bool quotes)
{
    PACKED p;
    pack(view<BIT_SOURCE>(), &p, false);
    const int count = (m_width - 1) / 8 + 1;
    const auto* bytes = reinterpret_cast<const unsigned char*>(p.bits);
    char* out = s_result;
    if (quotes)
        *out++ = '"';
    for (int m = count - 1; m >= 0; --m)
        *out++ = bytes[m] >= 32 && bytes[m] <= 126 ? char(bytes[m]) : ' ';
    return finish(out, quotes ? '"' : '\0');
}

const char* VOKR_NUMBER::udecimal_string()
{
    if (!m_text && m_width <= 64) {
        put_word_decimal(s_result, row_word(m_data, m_width, m_column, m_lsb_to_msb));
        return s_result;
    }
    PACKED p;
    pack(view<BIT_SOURCE>(), &p, false);
    put_decimal(p.bits, p.words, s_result);
    return s_result;
}

// A set top bit is the sign: the magnitude is 2^width minus the value.
const char* VOKR_NUMBER::twos_complement_string()
{
    return put_signed_decimal(view<BIT_SOURCE>(), [](PACKED& p, int width) {
        u64 carry = 1;
        for (int i = 0; i < p.words; ++i) {
            p.bits[i] = ~p.bits[i] + carry;
            carry = carry && p.bits[i] == 0;
        }
        if (width % 64)
            p.bits[p.words - 1] &= (u64(1) << (width % 64)) - 1;
    });
}

// A set top bit is the sign and the bits below it the magnitude.
const char* VOKR_NUMBER::int_sign_magnitude_string()
{
    return put_signed_decimal(
        view<BIT_SOURCE>(), [](PACKED& p, int width) { p.bits[(width - 1) / 64] &= ~(u64(1) << ((width - 1) % 64)); });
}

// The low 64 bits (all of them for a number of up to 64) as an IEEE 754 double, or the low 32
// as a single when the width is exactly 32; printed like "%.*g" with precision 17 or 9,
// without the process locale.
const char* VOKR_NUMBER::float_string()
{
    const BIT_SOURCE source = view<BIT_SOURCE>();
    u64 word = 0;
    for (int k = 0; k < std::min(m_width, 64); ++k)
        word |= u64(source.bit(source.storage_index(k))) << k;
    double value;
    int precision = 17;
    if (m_width == 32) {
        float single;
        const u32 low = u32(word);
        std::memcpy(&single, &low, sizeof single);
        value = single;
        precision = 9;
    } else {
        std::memcpy(&value, &word, sizeof value);
    }
    char* end = std::to_chars(s_result, s_result + RESULT_SIZE - 1, value, std::chars_format::general, precision).ptr;
    *end = '\0';
    return s_result;
}

// Types 0 (mnemonics) and 12 (plug-in symbols) have no text of their own here: a number from a
// text that holds anything but '0' and '1' (pattern letters, X) prints in binary so that
// nothing is lost, any other number in hexadecimal.
const char* VOKR_NUMBER::get_display_string(int display_type, int /*width*/, bool lsb_to_msb)
{
    m_lsb_to_msb = lsb_to_msb;
    switch (display_type) {
    case KSM_GTYPE_BINARY: return binary_string(false, -1);
    case KSM_GTYPE_SIGNED_2S: return twos_complement_string();
    case KSM_GTYPE_SIGNED_MAGNITUDE: return int_sign_magnitude_string();
    case KSM_GTYPE_UNSIGNED: return udecimal_string();
    case KSM_GTYPE_OCTAL: return octal_string(false);
    case KSM_GTYPE_ASCII: return ascii_string(false);
    case KSM_GTYPE_FLOAT:
    case KSM_GTYPE_DOUBLE: return float_string();
    case KSM_GTYPE_MNEMONICS:
    case KSM_GTYPE_PLUGIN: return text_has_pattern_letters() ? binary_string(false, -1) : hex_string(false);
    default: return hex_string(false);
    }
}

const char* VOKR_NUMBER::print_as(int effective_type, bool suffix)
{
    switch (effective_type) {
    case KSM_GTYPE_BINARY: return binary_string(suffix, -1);
    case KSM_GTYPE_HEX: return hex_string(suffix);
    case KSM_GTYPE_OCTAL: return octal_string(suffix);
    case KSM_GTYPE_ASCII: return ascii_string(suffix);
    case KSM_GTYPE_SIGNED_2S:
    case KSM_GTYPE_SIGNED_BAR:
    case KSM_GTYPE_SIGNED_LINE: return twos_complement_string();
    case KSM_GTYPE_SIGNED_MAGNITUDE: return int_sign_magnitude_string();
    case KSM_GTYPE_FLOAT:
    case KSM_GTYPE_DOUBLE: return float_string();
    default: return udecimal_string();
    }
}

const char* VOKR_NUMBER::copy_to_result(const char* text, int length)
{
    length = std::min(length, MAX_BUS_WIDTH);
    copy_text(s_result, text, length);
    s_result[length] = '\0';
    return s_result;
}

// ---- parsing ---------------------------------------------------------------------------------------------------

// The decimal text halved repeatedly gives one bit per halving; a halving that leaves a leading
// 0 drops that digit place, so the bits number max(bit length, digit places).
VOKR_NUMBER::BIT_TEXT VOKR_NUMBER::string_to_unsigned() const
{
    char digits[MAX_BUS_WIDTH + 8];
    const DECIMAL_TEXT decimal = decimal_text(text(), m_width, digits);
    u64 words[DECIMAL_WORDS];
    const int n = decimal_words(decimal.digits, decimal.count, words);
    const int length = std::max(bit_length(words, n), decimal.places);
    std::fill(words + n, words + std::max(n, length / 64 + 1), 0);  // the words write_bits reads
    write_bits(words, length, s_scratch);
    return {s_scratch, length};
}

// With a leading '-': the magnitude's significant bits cut to their first `width`, or, when
// shorter, a sign bit '1' and '0's in front up to `width`. The '-' and leading zero digits give
// the magnitude no bits, so they never take the place of the sign.
VOKR_NUMBER::BIT_TEXT VOKR_NUMBER::string_to_magnitude(int width) const
{
    BIT_TEXT bits = string_to_unsigned();
    if (text()[0] != '-')
        return bits;
    const int zeros = int(std::strspn(bits.bits, "0"));
    bits.length -= zeros;
    std::memmove(bits.bits, bits.bits + zeros, size_t(bits.length));
    width = std::clamp(width, 0, MAX_BUS_WIDTH);
    if (bits.length < width) {
        const int padding = width - bits.length;
        std::memmove(bits.bits + padding, bits.bits, size_t(bits.length));
        bits.bits[0] = '1';
        std::memset(bits.bits + 1, '0', size_t(padding - 1));
    }
    bits.length = width;
    bits.bits[width] = '\0';
    return bits;
}

// With a leading '-': the magnitude inverted, plus one, with its first bit set. Two's complement
// has no negative zero: minus zero is 0 at every width.
VOKR_NUMBER::BIT_TEXT VOKR_NUMBER::string_to_signed(int width) const
{
    if (text()[0] != '-')
        return string_to_unsigned();
    BIT_TEXT bits = string_to_unsigned();
    if (std::strspn(bits.bits, "0") == size_t(bits.length)) {
        const int length = std::clamp(width, 1, int(MAX_BUS_WIDTH));
        std::memset(bits.bits, '0', size_t(length));
        bits.bits[length] = '\0';
        return {bits.bits, length};
    }
    bits = string_to_magnitude(width);
    for (int i = 0; i < bits.length; ++i)
        bits.bits[i] = bits.bits[i] == '0' ? '1' : '0';
    int i = bits.length - 1;
    for (; i >= 0 && bits.bits[i] == '1'; --i)
        bits.bits[i] = '0';
    if (i >= 0) {
        bits.bits[i] = '1';
    } else {
        std::memmove(bits.bits + 1, bits.bits, size_t(bits.length) + 1);
        ++bits.length;
    }
    bits.bits[0] = '1';
    return bits;
}

VOKR_NUMBER::BIT_TEXT VOKR_NUMBER::string_to_hex() const { return {s_scratch, expand_digits<4>(text(), s_scratch)}; }

VOKR_NUMBER::BIT_TEXT VOKR_NUMBER::string_to_octal() const { return {s_scratch, expand_digits<3>(text(), s_scratch)}; }

VOKR_NUMBER::BIT_TEXT VOKR_NUMBER::string_to_ascii() const
{
    char* out = s_scratch;
    for (const char* c = text(); *c; ++c)
        if (*c >= 32 && *c <= 126) {
            put_bits(out, static_cast<unsigned char>(*c), 8);
            out += 8;
        }
    *out = '\0';
    return {s_scratch, int(out - s_scratch)};
}

// The bit image of the text read as a single; a text that is no number reads as 0.
VOKR_NUMBER::BIT_TEXT VOKR_NUMBER::string_to_float() const
{
    const float value = read_real<float>(text());
    u32 image;
    std::memcpy(&image, &value, sizeof image);
    const u64 word = image;
    write_bits(&word, 32, s_scratch);
    return {s_scratch, 32};
}

VOKR_NUMBER::BIT_TEXT VOKR_NUMBER::string_to_double() const
{
    const double value = read_real<double>(text());
    u64 image;
    std::memcpy(&image, &value, sizeof image);
    write_bits(&image, 64, s_scratch);
    return {s_scratch, 64};
}

// The text's bits in a display type. Types without a parse of their own (0 and 8 to 12) give
// no bits, so that the trigger value is all '0'.
VOKR_NUMBER::BIT_TEXT VOKR_NUMBER::convert(int display_type, int width) const
{
    switch (display_type) {
    case KSM_GTYPE_BINARY: copy_text(s_scratch, text(), m_width + 1); return {s_scratch, m_width};
    case KSM_GTYPE_SIGNED_2S: return string_to_signed(width);
    case KSM_GTYPE_SIGNED_MAGNITUDE: return string_to_magnitude(width);
    case KSM_GTYPE_UNSIGNED: return string_to_unsigned();
    case KSM_GTYPE_HEX: return string_to_hex();
    case KSM_GTYPE_OCTAL: return string_to_octal();
    case KSM_GTYPE_ASCII: return string_to_ascii();
    case KSM_GTYPE_FLOAT: return string_to_float();
    case KSM_GTYPE_DOUBLE: return string_to_double();
    default: s_scratch[0] = '\0'; return {s_scratch, 0};
    }
}

// The bits cut to their last `width` or padded with '0' in front; reversed for least
// significant first.
const char* VOKR_NUMBER::get_trigger_value(int display_type, int width, bool lsb_to_msb)
{
    width = std::clamp(width, 0, MAX_BUS_WIDTH);
    u64 word;
    if (display_type == KSM_GTYPE_UNSIGNED && word_of_digits(text(), m_width, &word)) {
        put_word_bits(word, width, s_result);  // a value of one word, straight into the result
    } else {
        const BIT_TEXT bits = convert(display_type, width);
        const int kept = std::min(bits.length, width);
        if (kept < width)
            std::memset(s_result, '0', size_t(width - kept));
        copy_text(s_result + width - kept, bits.bits + bits.length - kept, kept);
        s_result[width] = '\0';
    }
    if (lsb_to_msb)
        std::reverse(s_result, s_result + width);
    return s_result;
}

// Binary, hexadecimal, octal and floating-point images count from their first bit that is not
// '0'; a decimal text counts every bit of its halving, and a '-' one more for the sign. A text
// longer than the widest bus needs more than any bus has.
int VOKR_NUMBER::get_trigger_value_length(int display_type)
{
    if (is_too_long())
        return m_width;
    if (text()[0] == '\0')
        return 0;
    BIT_TEXT bits{s_scratch, 0};
    bool skip_zeros = true;
    switch (display_type) {
    case KSM_GTYPE_BINARY: bits = convert(display_type, 0); break;
    case KSM_GTYPE_SIGNED_2S:
    case KSM_GTYPE_SIGNED_MAGNITUDE: return string_to_unsigned().length + (text()[0] == '-');
    case KSM_GTYPE_UNSIGNED: return string_to_unsigned().length;
    case KSM_GTYPE_ASCII: return string_to_ascii().length;
    case KSM_GTYPE_HEX:
    case KSM_GTYPE_OCTAL:
    case KSM_GTYPE_FLOAT:
    case KSM_GTYPE_DOUBLE: bits = convert(display_type, 0); break;
    default: skip_zeros = false; break;
    }
    const int zeros = skip_zeros ? int(std::strspn(bits.bits, "0")) : 0;
    return bits.length - zeros;
}

// ---- small readers ---------------------------------------------------------------------------------------------

// Storage index 0 is the most significant bit, whatever the bit order; only the last 32 bits stay.
std::uint32_t VOKR_NUMBER::get_uint() const
{
    const BIT_SOURCE source = view<BIT_SOURCE>();
    u32 value = 0;
    for (int i = 0; i < m_width; ++i)
        value = (value << 1) | u32(source.bit(i));
    return value;
}

std::int32_t VOKR_NUMBER::get_signed_value() const
{
    const u32 value = get_uint();
    if (m_width <= 0 || m_width >= 32 || !((value >> (m_width - 1)) & 1))
        return std::int32_t(value);
    return std::int32_t(std::int64_t(value) - (std::int64_t(1) << m_width));
}

bool VOKR_NUMBER::operator==(const VOKR_NUMBER& vokr_number) const
{
    VOKR_ASSERT(this->m_width == vokr_number.m_width);
    VOKR_ASSERT_TEXT(this->m_data != nullptr, "this->m_data != NULL");
    VOKR_ASSERT_TEXT(vokr_number.m_data != nullptr, "vokr_number.m_data != NULL");
    VOKR_ASSERT(this->m_data == vokr_number.m_data);
    if (m_column == vokr_number.m_column || m_width < 1)
        return true;
    for (int i = 0; i < m_width; ++i)
        if (m_data[i][m_column] != m_data[i][vokr_number.m_column])
            return false;
    return true;
}

// ---- decimal digit strings ---------------------------------------------------------------------------------------

namespace {

// Row n holds the digits of 2^n (2^4095 has 1233 digits); rows 0 to s_power_count are filled,
// -1 before the first use.
constexpr int POWER_ROW_SIZE = 1235;
char s_powers[MAX_BUS_WIDTH][POWER_ROW_SIZE];
int s_power_count = -1;

}  // namespace

const char* vokr_power_of_two_decimal(int n)
{
    VOKR_ASSERT(n >= 0 && n < MAX_BUS_WIDTH);
    if (s_power_count < 0) {
        std::strcpy(s_powers[0], "1");
        s_power_count = 0;
    }
    for (; s_power_count < n; ++s_power_count) {
        const char* row = s_powers[s_power_count];
        char* next = s_powers[s_power_count + 1];
        std::copy_n(row, std::strlen(row) + 1, next);
        vokr_double_decimal_string(next, false);
    }
    return s_powers[n];
}

void vokr_double_decimal_string(char* digits, bool carry)
{
    int c = carry;
    for (; *digits; ++digits) {
        const int v = 2 * (*digits - '0') + c;
        c = v >= 10;
        *digits = char('0' + v - 10 * c);
    }
    if (c) {
        *digits++ = '1';
        *digits = '\0';
    }
}

void vokr_add_decimal_strings(char* dst, const char* src)
{
    int c = 0;
    for (; *src || c; ++dst) {
        const bool grows = *dst == '\0';
        const int v = (grows ? 0 : *dst - '0') + (*src ? *src++ - '0' : 0) + c;
        c = v >= 10;
        *dst = char('0' + v - 10 * c);
        if (grows)
            dst[1] = '\0';
    }
}

void vokr_increment_digits(char* digits, int radix)
{
    for (; *digits; ++digits) {
        if (*digits - '0' + 1 < radix) {
            ++*digits;
            return;
        }
        *digits = '0';
    }
    *digits++ = '1';
    *digits = '\0';
}
