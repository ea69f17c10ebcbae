// Wide bus values: every print and parse checked against Tcl's own big integers over random
// widths, the telling cases of each format, and the node texts that go through the manager.
#include "nixq.h"
#include "vokr_number.h"
#include "vokr_tx_manager.h"

#include <gtest/gtest.h>
#include <tcl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// ---- helpers ---------------------------------------------------------------------------------------------

// Tcl's big-integer arithmetic as the oracle.
class TCL_ORACLE {
public:
    TCL_ORACLE() : m_interp(Tcl_CreateInterp()) {}
    ~TCL_ORACLE() { Tcl_DeleteInterp(m_interp); }
    TCL_ORACLE(const TCL_ORACLE&) = delete;
    TCL_ORACLE& operator=(const TCL_ORACLE&) = delete;

    std::vector<std::string> eval_list(const std::string& script)
    {
        EXPECT_EQ(Tcl_Eval(m_interp, script.c_str()), TCL_OK) << Tcl_GetStringResult(m_interp);
        std::istringstream words(Tcl_GetStringResult(m_interp));
        std::vector<std::string> list;
        for (std::string w; words >> w;)
            list.push_back(w);
        return list;
    }

private:
    Tcl_Interp* m_interp;
};

// One sample column of a data log: the rows in storage order, three samples each, the value in
// column 1 and its complement in the columns around it.
class DATA_ROWS {
public:
    explicit DATA_ROWS(const std::string& storage) : m_bytes(3 * storage.size()), m_rows(storage.size())
    {
        for (size_t i = 0; i < storage.size(); ++i) {
            const unsigned char bit = storage[i] == '1';
            m_bytes[3 * i] = m_bytes[3 * i + 2] = !bit;
            m_bytes[3 * i + 1] = bit;
            m_rows[i] = &m_bytes[3 * i];
        }
    }
    VOKR_BIT_ROWS source() const { return {m_rows.data(), int(m_rows.size())}; }
    VOKR_NUMBER number(int column = 1) const { return VOKR_NUMBER(source(), column); }

private:
    std::vector<unsigned char> m_bytes;
    std::vector<const unsigned char*> m_rows;
};

std::string reversed(std::string s)
{
    std::reverse(s.begin(), s.end());
    return s;
}

std::string random_bits(std::mt19937_64& random, int width)
{
    std::string bits(size_t(width), '0');
    for (char& c : bits)
        c = char('0' + (random() & 1));
    return bits;
}

// The texts Tcl gives for a value written as bits, most significant first.
struct EXPECTED {
    std::string decimal, twos, magnitude, hex, octal;
};

EXPECTED oracle_texts(TCL_ORACLE& tcl, const std::string& bits)
{
    const int w = int(bits.size());
    const std::string script = "set v 0b" + bits + "; set w " + std::to_string(w) +
                               "; set t [expr {$v >> ($w - 1)}]; list [expr {$v}]"
                               " [expr {$t ? $v - (1 << $w) : $v}]"
                               " [if {$t} {string cat - [expr {$v - (1 << ($w - 1))}]} else {expr {$v}}]"
                               " [format %0" +
                               std::to_string((w + 3) / 4) +
                               "llX $v]"
                               " [format %0" +
                               std::to_string((w + 2) / 3) + "llo $v]";
    const std::vector<std::string> list = tcl.eval_list(script);
    EXPECT_EQ(list.size(), 5u);
    return list.size() == 5 ? EXPECTED{list[0], list[1], list[2], list[3], list[4]} : EXPECTED{};
}

// Every print of one value, from a text and from a data log, in both storage orders.
void expect_prints(const std::string& bits, const EXPECTED& expected)
{
    for (bool from_log : {false, true})
        for (bool lsb_to_msb : {false, true}) {
            SCOPED_TRACE("width " + std::to_string(bits.size()) + (from_log ? " log" : " text") +
                         (lsb_to_msb ? " lsb first" : " msb first"));
            const std::string storage = lsb_to_msb ? reversed(bits) : bits;
            DATA_ROWS rows(storage);
            VOKR_NUMBER number = from_log ? rows.number() : VOKR_NUMBER(storage.c_str());
            number.set_lsb_to_msb(lsb_to_msb);
            EXPECT_EQ(number.udecimal_string(), expected.decimal);
            EXPECT_EQ(number.twos_complement_string(), expected.twos);
            EXPECT_EQ(number.int_sign_magnitude_string(), expected.magnitude);
            EXPECT_EQ(number.hex_string(false), expected.hex);
            EXPECT_EQ(number.octal_string(true), expected.octal + "o");
            EXPECT_EQ(number.binary_string(false), bits);
        }
}

std::string parsed(const std::string& text, int type, int width, bool lsb_to_msb = false)
{
    return VOKR_NUMBER(text.c_str()).get_trigger_value(type, width, lsb_to_msb);
}

// Parses the oracle's texts back.
void expect_parses(const std::string& bits, const EXPECTED& expected)
{
    const int w = int(bits.size());
    SCOPED_TRACE("width " + std::to_string(w));
    EXPECT_EQ(parsed(expected.decimal, KSM_GTYPE_UNSIGNED, w), bits);
    EXPECT_EQ(parsed(expected.decimal, KSM_GTYPE_UNSIGNED, w / 2), bits.substr(size_t(w - w / 2)));
    EXPECT_EQ(parsed(expected.hex, KSM_GTYPE_HEX, w, true), reversed(bits));
    EXPECT_EQ(parsed(expected.octal, KSM_GTYPE_OCTAL, w), bits);
    EXPECT_EQ(parsed(expected.twos, KSM_GTYPE_SIGNED_2S, w), bits);
    EXPECT_EQ(parsed(expected.magnitude, KSM_GTYPE_SIGNED_MAGNITUDE, w), bits);
}

// ---- exactness against the oracle ------------------------------------------------------------------------

TEST(NumberOracle, RandomWidthsPrintAndParseExactly)
{
    TCL_ORACLE tcl;
    std::mt19937_64 random(20240611);
    std::vector<int> widths = {1, 2, 3, 4, 5, 7, 8, 9, 31, 32, 33, 63, 64, 65, 127, 128, 129, 1000, 4095, 4096};
    std::uniform_int_distribution<int> any_width(1, MAX_BUS_WIDTH);
    for (int i = 0; i < 300; ++i)
        widths.push_back(any_width(random));
    for (int w : widths) {
        const std::string bits = random_bits(random, w);
        const EXPECTED expected = oracle_texts(tcl, bits);
        expect_prints(bits, expected);
        expect_parses(bits, expected);
    }
}

TEST(NumberOracle, ExtremeValuesOfTheWidestBus)
{
    TCL_ORACLE tcl;
    for (const std::string& bits : {std::string(4096, '1'), std::string(4096, '0'), "1" + std::string(4095, '0'),
                                    "0" + std::string(4095, '1'), std::string(4095, '0') + "1"}) {
        const EXPECTED expected = oracle_texts(tcl, bits);
        expect_prints(bits, expected);
        expect_parses(bits, expected);
    }
    const std::string all_ones = VOKR_NUMBER(std::string(4096, '1').c_str()).udecimal_string();
    EXPECT_EQ(all_ones.size(), 1234u);
    EXPECT_EQ(all_ones, tcl.eval_list("expr {2**4096 - 1}").at(0));
}

// Wide values print as a quotient and a remainder of a power p = 10^(19h), h half the words, each
// split the same way while it is 32 words wide: remainders of 0, of 1 (all but one of its digits
// leading zeros) and of p - 1, at the top split and at the split of a remainder (10^600 has 32
// words), on either side of the width where splitting begins; quotient words of 2^64 - 1, where
// the long division's top words equal the divisor's; and a dividend whose top words are p's but
// whose words below are 0, where a quotient word read from the top words is one too large.
TEST(NumberOracle, DecimalSplitRemaindersKeepTheirLeadingZeros)
{
    TCL_ORACLE tcl;
    const std::string top = "2**($w - 1) / $p * $p";
    const std::vector<std::pair<std::vector<int>, std::string>> cases = {
        {{31, 32, 33, 64}, top},
        {{31, 32, 33, 64}, top + " + 1"},
        {{31, 32, 33, 64}, top + " + $p - 1"},
        {{64}, top + " + 10**600"},
        {{64}, top + " + 10**600 + 1"},
        {{32, 64}, "$p * 2**(32 * $words) - 1"},
        {{32, 64}, "$p >> ($length - 128) << ($length - 128 + 32 * $words)"},
    };
    for (const auto& [word_counts, value] : cases)
        for (int words : word_counts) {
            const std::string script = "set words " + std::to_string(words) +
                                       "; set w [expr {64 * $words}]; set p [expr {10**(19 * ($words / 2))}]" +
                                       "; set length [string length [format %llb $p]]" + "; format %0${w}llb [expr {" +
                                       value + "}]";
            const std::string bits = tcl.eval_list(script).at(0);
            SCOPED_TRACE(std::to_string(words) + " words, " + value);
            ASSERT_EQ(bits.size(), size_t(64 * words));
            expect_prints(bits, oracle_texts(tcl, bits));
        }
}

TEST(NumberOracle, PowerTableRowsAreThePowersOfTwo)
{
    TCL_ORACLE tcl;
    for (int n : {0, 1, 63, 64, 1000, 4095, 17}) {
        SCOPED_TRACE(n);
        EXPECT_EQ(reversed(vokr_power_of_two_decimal(n)), tcl.eval_list("expr {2**" + std::to_string(n) + "}").at(0));
    }
    EXPECT_EQ(std::strlen(vokr_power_of_two_decimal(4095)), 1233u);
}

// ---- telling cases of the print formats ------------------------------------------------------------------

struct PRINT_CASE {
    const char* text;
    bool lsb_to_msb;
    int type;
    const char* expected;
};

TEST(NumberPrint, TellingCases)
{
    const PRINT_CASE cases[] = {
        {"1X010", false, KSM_GTYPE_HEX, "12"},  // an X that is not a digit's low bit reads as 0
        {"X1010", false, KSM_GTYPE_HEX, "XA"},
        {"010X1", true, KSM_GTYPE_HEX, "12"},   // the same bits stored the other way round
        {"10101", false, KSM_GTYPE_HEX, "15"},  // a short top digit
        {"10101", false, KSM_GTYPE_OCTAL, "25"},
        {"1X0", false, KSM_GTYPE_OCTAL, "4"},
        {"X01X", false, KSM_GTYPE_OCTAL, "XX"},
        {"10000000", false, KSM_GTYPE_SIGNED_2S, "-128"},
        {"10000000", false, KSM_GTYPE_SIGNED_MAGNITUDE, "-0"},
        {"1", false, KSM_GTYPE_SIGNED_2S, "-1"},
        {"1", false, KSM_GTYPE_SIGNED_MAGNITUDE, "-0"},
        {"11111011", false, KSM_GTYPE_SIGNED_2S, "-5"},
        {"10000101", false, KSM_GTYPE_SIGNED_MAGNITUDE, "-5"},
        {"01111111", false, KSM_GTYPE_SIGNED_2S, "127"},
        {"0100000101000010", false, KSM_GTYPE_ASCII, "AB"},
        {"100000101000010", false, KSM_GTYPE_ASCII, "AB"},   // a short top byte
        {"0111111100011111", false, KSM_GTYPE_ASCII, "  "},  // 127 and 31 are not printable
        {"1LXH0", false, KSM_GTYPE_BINARY, "1LXH0"},         // pattern letters print as they are
        {"1LXH0", true, KSM_GTYPE_BINARY, "0HXL1"},
        {"", false, KSM_GTYPE_HEX, "0"},
        {"", false, KSM_GTYPE_UNSIGNED, "0"},
        {"", false, KSM_GTYPE_BINARY, ""},
        {"00111111110000000000000000000000", false, KSM_GTYPE_FLOAT, "1.5"},
        {"11000000000000000000000000000000", false, KSM_GTYPE_DOUBLE, "-2"},  // the width decides
        {"00111101110011001100110011001101", false, KSM_GTYPE_FLOAT, "0.100000001"},
        {"0011111111111000000000000000000000000000000000000000000000000000", false, KSM_GTYPE_FLOAT, "1.5"},
        {"0100000000001001001000011111101101010100010001000010110100011000", false, KSM_GTYPE_DOUBLE,
         "3.1415926535897931"},
    };
    for (const PRINT_CASE& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " type " + std::to_string(c.type));
        VOKR_NUMBER number(c.text);
        EXPECT_STREQ(number.get_display_string(c.type, 0, c.lsb_to_msb), c.expected);
    }
}

// One word's decimal text on either side of every power of ten, 0 included.
TEST(NumberPrint, DecimalDigitCountsOfOneWord)
{
    for (unsigned long long power = 1, t = 0; t < 20; ++t, power *= 10)
        for (unsigned long long value : {power - 1, power, power + 1, ~0ULL - power + 1}) {
            std::string bits(64, '0');
            for (int k = 0; k < 64; ++k)
                bits[size_t(63 - k)] = char('0' + ((value >> k) & 1));
            EXPECT_EQ(VOKR_NUMBER(bits.c_str()).udecimal_string(), std::to_string(value));
            EXPECT_EQ(DATA_ROWS(bits).number().udecimal_string(), std::to_string(value));
        }
}

// Any non-zero row byte of a data log is a 1, in every format.
TEST(NumberPrint, NonZeroRowBytesReadAsOne)
{
    const std::string bits = "1001011101100101110";
    DATA_ROWS plain(bits);
    for (unsigned char one : {2, 0x80, 0xFF}) {
        std::vector<unsigned char> bytes(bits.size());
        std::vector<const unsigned char*> rows(bits.size());
        for (size_t i = 0; i < bits.size(); ++i) {
            bytes[i] = bits[i] == '1' ? one : 0;
            rows[i] = &bytes[i];
        }
        VOKR_NUMBER number({rows.data(), int(rows.size())}, 0);
        for (int type : {KSM_GTYPE_HEX, KSM_GTYPE_OCTAL, KSM_GTYPE_UNSIGNED, KSM_GTYPE_BINARY}) {
            const std::string expected = plain.number().get_display_string(type, 0, false);
            EXPECT_EQ(number.get_display_string(type, 0, false), expected) << int(one) << " type " << type;
        }
    }
}

// A log's rows laid out in one array `stride` bytes apart (after one another, or before where the
// stride is negative), the value in sample column 1 of each and 0xFF in every byte between; with
// `scattered` two rows trade places in memory, and the row `moved` lies a byte further on. Row
// bytes of a 1 hold `one`.
class LAID_OUT_ROWS {
public:
    LAID_OUT_ROWS(const std::string& storage, int stride, unsigned char one, bool scattered = false, int moved = -1)
        : m_bytes(size_t(std::abs(stride)) * storage.size() + 8, 0xFF), m_rows(storage.size())
    {
        const size_t n = storage.size();
        std::vector<size_t> place(n);
        for (size_t i = 0; i < n; ++i)
            place[i] = stride > 0 ? size_t(stride) * i : size_t(-stride) * (n - 1 - i);
        if (scattered)
            std::swap(place[n / 3], place[n / 2]);
        for (size_t i = 0; i < n; ++i) {
            const size_t at = place[i] + (int(i) == moved ? 1 : 0);
            m_bytes[at + 1] = storage[i] == '1' ? one : 0;
            m_rows[i] = &m_bytes[at];
        }
    }
    VOKR_NUMBER number() const { return VOKR_NUMBER({m_rows.data(), int(m_rows.size())}, 1); }

private:
    std::vector<unsigned char> m_bytes;
    std::vector<const unsigned char*> m_rows;
};

// Rows close together in memory, far apart, or listed in any order print the same value.
TEST(NumberPrint, RowLayoutsPrintAlike)
{
    std::mt19937_64 random(7);
    const struct {
        int stride;
        bool scattered;
        int moved;
    } layouts[] = {{1, false, -1},  {3, false, -1},   {8, false, -1}, {16, false, -1}, {17, false, -1},
                   {-1, false, -1}, {-13, false, -1}, {4, true, -1},  {2, false, 40}};
    for (int width : {1, 17, 50, 64, 100, 129, 4096})
        for (bool lsb_to_msb : {false, true}) {
            const std::string bits = random_bits(random, width), storage = lsb_to_msb ? reversed(bits) : bits;
            VOKR_NUMBER text(storage.c_str());
            text.set_lsb_to_msb(lsb_to_msb);
            const std::string hex = text.hex_string(false), decimal = text.udecimal_string();
            for (const auto& l : layouts)
                for (unsigned char one : {1, 0x80}) {
                    SCOPED_TRACE("width " + std::to_string(width) + " stride " + std::to_string(l.stride) +
                                 (l.scattered ? " scattered" : "") + (l.moved >= 0 ? " one row moved" : "") +
                                 (lsb_to_msb ? " lsb first" : " msb first") + " one " + std::to_string(one));
                    const LAID_OUT_ROWS rows(storage, l.stride, one, l.scattered, l.moved);
                    VOKR_NUMBER number = rows.number();
                    number.set_lsb_to_msb(lsb_to_msb);
                    EXPECT_EQ(number.hex_string(false), hex);
                    EXPECT_EQ(number.udecimal_string(), decimal);
                }
        }
}

TEST(NumberPrint, OtherWidthsPrintTheWordAsADouble)
{
    for (const char* bits : {"0011110000000000", "1", "000000000000000000000000000000001"}) {
        unsigned long long word = std::stoull(bits, nullptr, 2);
        double value;
        std::memcpy(&value, &word, sizeof value);
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.*g", 17, value);
        EXPECT_STREQ(VOKR_NUMBER(bits).float_string(), expected) << bits;
    }
}

struct BINARY_CASE {
    bool from_log;
    int digits;
    bool suffix;
    const char* expected;
};

TEST(NumberPrint, BinaryDigitCounts)
{
    const BINARY_CASE cases[] = {
        {false, 3, false, "0X1"}, {false, 0, true, "b"},         {false, 9, false, "1L10X1"},
        {true, 3, false, "001"},  {true, 9, true, "XXX100001b"}, {true, -1, false, "100001"},
    };
    DATA_ROWS rows("100001");
    for (const BINARY_CASE& c : cases) {
        VOKR_NUMBER number = c.from_log ? rows.number() : VOKR_NUMBER("1L10X1");
        EXPECT_STREQ(number.binary_string(c.suffix, c.digits), c.expected) << c.digits;
    }
}

// The result buffer holds the widest binary text with its suffix, and never more.
TEST(NumberPrint, WidestBinaryTextKeepsItsSuffix)
{
    std::mt19937_64 random(7);
    const std::string bits = random_bits(random, MAX_BUS_WIDTH);
    DATA_ROWS rows(bits);
    EXPECT_EQ(std::string(VOKR_NUMBER(bits.c_str()).binary_string(true)), bits + "b");
    EXPECT_EQ(std::string(rows.number().binary_string(true)), bits + "b");
    EXPECT_EQ(std::string(rows.number().binary_string(true, 2 * MAX_BUS_WIDTH)), bits + "b");
    DATA_ROWS narrower(bits.substr(96));
    EXPECT_EQ(std::string(narrower.number().binary_string(false, 5000)), std::string(96, 'X') + bits.substr(96));
    EXPECT_EQ(std::string(VOKR_NUMBER(std::string(MAX_BUS_WIDTH, 'X').c_str()).hex_string(true)),
              std::string(MAX_BUS_WIDTH / 4, 'X') + "h");
}

// A number may be built on an earlier result, which the next print overwrites.
TEST(NumberPrint, NumberOnAnEarlierResult)
{
    const char* first = VOKR_NUMBER("10110").binary_string(false, -1);
    VOKR_NUMBER number(first);
    number.set_lsb_to_msb(true);
    EXPECT_STREQ(number.binary_string(false, 4), "1101");
    VOKR_NUMBER again(VOKR_NUMBER("1010").binary_string(false, -1));
    EXPECT_STREQ(again.hex_string(true), "Ah");
}

// Types 0 and 12 choose their radix from the number's own bits, whatever the buffer holds.
TEST(NumberPrint, SymbolTypesChooseTheirRadixFromTheNumber)
{
    for (int type : {KSM_GTYPE_MNEMONICS, KSM_GTYPE_PLUGIN}) {
        VOKR_NUMBER("LLLL").binary_string(false, -1);
        EXPECT_STREQ(VOKR_NUMBER("0101").get_display_string(type, 4, false), "5");
        VOKR_NUMBER("0101").binary_string(false, -1);
        EXPECT_STREQ(VOKR_NUMBER("RRFF").get_display_string(type, 4, false), "RRFF");
        EXPECT_STREQ(VOKR_NUMBER("01X1").get_display_string(type, 4, false), "01X1");
        EXPECT_STREQ(DATA_ROWS("11110").number().get_display_string(type, 5, false), "1E");
    }
}

// ---- parsing ----------------------------------------------------------------------------------------------

struct PARSE_CASE {
    const char* text;
    int type;
    int width;
    bool lsb_to_msb;
    const char* expected;
};

TEST(NumberParse, TellingCases)
{
    const PARSE_CASE cases[] = {
        {"300", KSM_GTYPE_UNSIGNED, 8, false, "00101100"},  // the low 8 bits
        {"300", KSM_GTYPE_UNSIGNED, 8, true, "00110100"},
        {"1,0 0", KSM_GTYPE_UNSIGNED, 8, false, "01100100"},          // unknown characters are skipped
        {"1?2:3;4<56789", KSM_GTYPE_UNSIGNED, 8, false, "00010101"},  // those just above '9' too
        {"123456789,1", KSM_GTYPE_UNSIGNED, 8, false, "11010011"},    // and after the first eight
        {"-5", KSM_GTYPE_SIGNED_2S, 8, false, "11111011"},
        {"5", KSM_GTYPE_SIGNED_2S, 8, false, "00000101"},
        {"-0", KSM_GTYPE_SIGNED_2S, 8, false, "00000000"},  // no negative zero in two's complement
        {"-0", KSM_GTYPE_SIGNED_MAGNITUDE, 8, false, "10000000"},
        {"-5", KSM_GTYPE_SIGNED_MAGNITUDE, 8, false, "10000101"},
        {"-300", KSM_GTYPE_SIGNED_MAGNITUDE, 8, false, "10010110"},  // a long magnitude keeps its top bits
        {"-128", KSM_GTYPE_SIGNED_2S, 8, false, "10000000"},
        // The sign keeps its bit when the magnitude is one bit short of the width or as wide;
        // neither the '-' nor leading zeros take its place.
        {"-1", KSM_GTYPE_SIGNED_MAGNITUDE, 2, false, "11"},
        {"-01", KSM_GTYPE_SIGNED_MAGNITUDE, 2, false, "11"},
        {"-0", KSM_GTYPE_SIGNED_MAGNITUDE, 2, false, "10"},
        {"-0", KSM_GTYPE_SIGNED_2S, 2, false, "00"},
        {"-1", KSM_GTYPE_SIGNED_MAGNITUDE, 1, false, "1"},
        {"-0", KSM_GTYPE_SIGNED_MAGNITUDE, 1, false, "1"},  // the one-bit negative zero
        {"-0", KSM_GTYPE_SIGNED_2S, 1, false, "0"},         // not -1
        {"-1", KSM_GTYPE_SIGNED_2S, 1, false, "1"},
        {"-2", KSM_GTYPE_SIGNED_2S, 2, false, "10"},
        {"-0000000000000000000000000000000000000000000000000000000000000000000005", KSM_GTYPE_SIGNED_MAGNITUDE, 80,
         false, "10000000000000000000000000000000000000000000000000000000000000000000000000000101"},
        {"-0005", KSM_GTYPE_SIGNED_MAGNITUDE, 4, false, "1101"},
        {"1aX", KSM_GTYPE_HEX, 12, false, "00011010XXXX"},
        {"F", KSM_GTYPE_HEX, 6, false, "001111"},
        {"f g\xC1-1", KSM_GTYPE_HEX, 8, false, "11110001"},  // other characters, bytes above 127 too, are skipped
        {"7x", KSM_GTYPE_OCTAL, 6, false, "111XXX"},
        {"8", KSM_GTYPE_OCTAL, 3, false, "000"},
        {"A\t", KSM_GTYPE_ASCII, 8, false, "01000001"},
        {"10", KSM_GTYPE_BINARY, 4, false, "0010"},
        {"1LXH", KSM_GTYPE_BINARY, 2, false, "XH"},
        {"1.5", KSM_GTYPE_FLOAT, 32, false, "00111111110000000000000000000000"},
        {" +2", KSM_GTYPE_FLOAT, 32, false, "01000000000000000000000000000000"},
        {"-2", KSM_GTYPE_FLOAT, 32, false, "11000000000000000000000000000000"},
        {"0.1", KSM_GTYPE_DOUBLE, 64, false, "0011111110111001100110011001100110011001100110011001100110011010"},
        {"1", KSM_GTYPE_UNSIGNED, 0, false, ""},
        // At the edge of one 64-bit word: all ones, 20 digits, and values just past it.
        {"18446744073709551615", KSM_GTYPE_UNSIGNED, 66, false,
         "001111111111111111111111111111111111111111111111111111111111111111"},
        {"18446744073709551616", KSM_GTYPE_UNSIGNED, 66, false,
         "010000000000000000000000000000000000000000000000000000000000000000"},
        {"99999999999999999999", KSM_GTYPE_UNSIGNED, 68, false,
         "01010110101111000111010111100010110101100011000011111111111111111111"},
        {"12345678901234567890", KSM_GTYPE_UNSIGNED, 64, false,
         "1010101101010100101010011000110011101011000111110000101011010010"},
        {"00000000000000000005", KSM_GTYPE_UNSIGNED, 4, false, "0101"},  // leading zeros
        {"000000000000000000000000005", KSM_GTYPE_UNSIGNED, 4, true, "1010"},
    };
    for (const PARSE_CASE& c : cases)
        EXPECT_EQ(parsed(c.text, c.type, c.width, c.lsb_to_msb), c.expected) << c.text << " type " << c.type;
}

// Types without a parse of their own yield all '0', never what an earlier call left behind.
TEST(NumberParse, TypesWithoutAParseGiveZeros)
{
    for (int type : {KSM_GTYPE_MNEMONICS, KSM_GTYPE_UNSIGNED_BAR, KSM_GTYPE_UNSIGNED_LINE, KSM_GTYPE_SIGNED_BAR,
                     KSM_GTYPE_SIGNED_LINE, KSM_GTYPE_PLUGIN}) {
        ASSERT_EQ(parsed("65535", KSM_GTYPE_UNSIGNED, 16), std::string(16, '1'));
        EXPECT_EQ(parsed("123", type, 16), std::string(16, '0')) << type;
    }
}

// A text that is no number reads as 0.
TEST(NumberParse, NonNumbersReadAsZeroReals)
{
    for (const char* text : {"abc", "", "-", "+-1", "e5"}) {
        ASSERT_EQ(parsed("-1", KSM_GTYPE_DOUBLE, 64), "1011111111110000" + std::string(48, '0'));
        EXPECT_EQ(parsed(text, KSM_GTYPE_FLOAT, 32), std::string(32, '0')) << text;
        EXPECT_EQ(parsed(text, KSM_GTYPE_DOUBLE, 64), std::string(64, '0')) << text;
    }
}

struct LENGTH_CASE {
    const char* text;
    int type;
    int length;
};

TEST(NumberParse, TriggerValueLengths)
{
    const LENGTH_CASE cases[] = {
        {"", KSM_GTYPE_UNSIGNED, 0},     {"0", KSM_GTYPE_UNSIGNED, 1},   {"5", KSM_GTYPE_UNSIGNED, 3},
        {"0007", KSM_GTYPE_UNSIGNED, 4}, {"-5", KSM_GTYPE_SIGNED_2S, 4}, {"-5", KSM_GTYPE_SIGNED_MAGNITUDE, 4},
        {"5", KSM_GTYPE_SIGNED_2S, 3},   {"00101", KSM_GTYPE_BINARY, 3}, {"000", KSM_GTYPE_BINARY, 0},
        {"0F", KSM_GTYPE_HEX, 4},        {"X", KSM_GTYPE_HEX, 4},        {"07", KSM_GTYPE_OCTAL, 3},
        {"AB", KSM_GTYPE_ASCII, 16},     {"1.5", KSM_GTYPE_FLOAT, 30},   {"-1", KSM_GTYPE_DOUBLE, 64},
        {"5", KSM_GTYPE_MNEMONICS, 0},   {"5", KSM_GTYPE_SIGNED_BAR, 0},
    };
    for (const LENGTH_CASE& c : cases)
        EXPECT_EQ(VOKR_NUMBER(c.text).get_trigger_value_length(c.type), c.length) << c.text << " type " << c.type;
    // A text longer than the widest bus needs more than any bus has.
    const std::string too_long(MAX_BUS_WIDTH + 10, '1');
    EXPECT_EQ(VOKR_NUMBER(too_long.c_str()).get_trigger_value_length(KSM_GTYPE_BINARY), MAX_BUS_WIDTH + 1);
}

// ---- small readers and decimal digit strings ----------------------------------------------------------------

TEST(NumberReaders, UnsignedAndSignedValues)
{
    struct CASE {
        std::string bits;
        bool lsb_to_msb;
        std::uint32_t uint_value;
        std::int32_t signed_value;
    };
    const CASE cases[] = {
        {"1111", false, 15, -1},
        {"0111", false, 7, 7},
        {"0001", true, 1, 1},  // storage index 0 stays the most significant
        {"1" + std::string(31, '0'), false, 0x80000000u, INT32_MIN},
        {"1" + std::string(30, '0'), false, 0x40000000u, -0x40000000},
        {"1" + std::string(32, '0'), false, 0, 0},  // only the last 32 bits stay
        {"", false, 0, 0},
    };
    for (const CASE& c : cases) {
        for (bool from_log : {false, true}) {
            DATA_ROWS rows(c.bits);
            VOKR_NUMBER number = from_log ? rows.number() : VOKR_NUMBER(c.bits.c_str());
            number.set_lsb_to_msb(c.lsb_to_msb);
            EXPECT_EQ(number.get_uint(), c.uint_value) << c.bits;
            EXPECT_EQ(number.get_signed_value(), c.signed_value) << c.bits;
        }
    }
}

TEST(NumberReaders, EqualityComparesTwoColumnsOfOneLog)
{
    DATA_ROWS rows("1011");
    EXPECT_TRUE(rows.number(1) == rows.number(1));
    EXPECT_FALSE(rows.number(0) == rows.number(1));
    EXPECT_TRUE(rows.number(0) == rows.number(2));
    EXPECT_TRUE(rows.number(-5) == rows.number(0));
}

TEST(NumberReadersDeathTest, BrokenInvariantsEndTheProcess)
{
    DATA_ROWS rows("1011");
    DATA_ROWS other("1011");
    DATA_ROWS narrow("101");
    VOKR_NUMBER text("1011");
    const std::string too_wide(MAX_BUS_WIDTH + 1, '0');
    EXPECT_DEATH(DATA_ROWS(too_wide).number(), "this->m_width <= MAX_BUS_WIDTH");
    EXPECT_DEATH(VOKR_NUMBER(too_wide.c_str()).hex_string(false), "this->m_width <= MAX_BUS_WIDTH");
    EXPECT_DEATH(VOKR_NUMBER(too_wide.c_str()).get_trigger_value(KSM_GTYPE_UNSIGNED, 8, false),
                 "this->m_width <= MAX_BUS_WIDTH");
    EXPECT_DEATH((void)(rows.number() == narrow.number()), "this->m_width == vokr_number.m_width");
    EXPECT_DEATH((void)(text == rows.number()), "this->m_data != NULL");
    EXPECT_DEATH((void)(rows.number() == text), "vokr_number.m_data != NULL");
    EXPECT_DEATH((void)(rows.number() == other.number()), "this->m_data == vokr_number.m_data");
}

TEST(NumberDigits, DecimalDigitStringArithmetic)
{
    struct CASE {
        const char* start;
        int operation;  // 0 add "19", 1 double, 2 double with carry, 3 increment decimal, 4 increment binary
        const char* expected;
    };
    const CASE cases[] = {
        {"99", 0, "091"}, {"1", 0, "29"},   {"", 0, "19"},   {"5", 1, "01"},   {"5", 2, "11"},
        {"", 2, "1"},     {"99", 3, "001"}, {"91", 3, "02"}, {"11", 4, "001"}, {"01", 4, "11"},
    };
    for (const CASE& c : cases) {
        char digits[16] = {};
        std::strcpy(digits, c.start);
        switch (c.operation) {
        case 0: vokr_add_decimal_strings(digits, "19"); break;
        case 1: vokr_double_decimal_string(digits, false); break;
        case 2: vokr_double_decimal_string(digits, true); break;
        case 3: vokr_increment_digits(digits, 10); break;
        default: vokr_increment_digits(digits, 2); break;
        }
        EXPECT_STREQ(digits, c.expected) << c.start << " operation " << c.operation;
    }
}

// ---- node texts through the manager ------------------------------------------------------------------------

class NumberNodeText : public ::testing::Test {
protected:
    void SetUp() override
    {
        manager.new_document("x.lmx");
        KSM_TX_SIGNAL_NODES* list = manager.get_trigger_nodes(-1);
        for (const char* name : {"bus[0]", "bus[1]", "bus[2]", "bus[3]"})
            ASSERT_TRUE(list->insert_node(name, KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false));
        ASSERT_TRUE(list->group_nodes(0, 3));
    }
    void TearDown() override { set_show_leading_zeroes(true); }
    void set_display_type(KSM_DATA_GROUP_DISPLAY_TYPE type)
    {
        KSM_TX_SIGNAL_NODES* list = manager.get_trigger_nodes(-1);
        list->set_group_display_type(GROUP, type);  // false when the row already has the type
        ASSERT_EQ(list->get_group_display_type(GROUP), type);
    }
    void set_show_leading_zeroes(bool show)
    {
        NIXQ_REGISTRY_KEY(NIXQ_VOKR_SUB_KEY).set_value(NIXQ_VOKR_SHOW_LEADING_ZEROES_STR, show);
        manager.cfg_initialize_user_registry_settings();
    }

    static constexpr int GROUP = 0;
    VOKR_TX_MANAGER manager{nullptr};
};

struct NODE_TEXT_CASE {
    KSM_DATA_GROUP_DISPLAY_TYPE type;
    const char* bits;
    bool use_group_type;
    bool suffix;
    const char* text;
    const char* from_first;  // with leading zeros hidden
};

TEST_F(NumberNodeText, TextsAndTheirFirstSignificantCharacter)
{
    const NODE_TEXT_CASE cases[] = {
        {KSM_GTYPE_HEX, "000000011010", true, true, "01Ah", "1Ah"},
        {KSM_GTYPE_HEX, "000000000000", true, true, "000h", "0h"},
        {KSM_GTYPE_HEX, "000000000000", true, false, "000", "0"},
        {KSM_GTYPE_HEX, "000000011010", false, true, "000000011010b", "11010b"},
        {KSM_GTYPE_HEX, "000000000000", false, true, "000000000000b", "0b"},
        {KSM_GTYPE_OCTAL, "000000011010", true, true, "0032o", "32o"},
        {KSM_GTYPE_BINARY, "0000X", true, false, "0000X", "X"},
        {KSM_GTYPE_BINARY, "00L10", true, false, "00L10", "L10"},
        {KSM_GTYPE_UNSIGNED, "000000011010", true, true, "26", "26"},
        {KSM_GTYPE_SIGNED_2S, "111111111111", true, false, "-1", "-1"},
        {KSM_GTYPE_SIGNED_BAR, "111111111111", true, false, "-1", "-1"},
        {KSM_GTYPE_UNSIGNED_LINE, "111111111111", true, false, "4095", "4095"},
        {KSM_GTYPE_ASCII, "0100000101000010", true, true, "\"AB\"", "\"AB\""},
        {KSM_GTYPE_MNEMONICS, "000000011010", true, true, "01Ah", "1Ah"},  // no mnemonic table
    };
    for (bool show : {true, false}) {
        set_show_leading_zeroes(show);
        for (const NODE_TEXT_CASE& c : cases) {
            SCOPED_TRACE(std::string(c.bits) + " type " + std::to_string(c.type));
            set_display_type(c.type);
            const char* first = nullptr;
            EXPECT_FALSE(
                VOKR_NUMBER(c.bits).get_string(&manager, GROUP, &first, c.use_group_type, c.suffix, nullptr, -1));
            EXPECT_STREQ(first, show ? c.text : c.from_first);
        }
    }
}

TEST_F(NumberNodeText, MnemonicSymbolsAndTheirFallbacks)
{
    manager.create_mnemonic_table(GROUP, "states", {"IDLE", "RUN"}, {"0000", "0001"});
    const char* first = nullptr;
    QString valid;
    EXPECT_TRUE(VOKR_NUMBER("0001").get_string(&manager, GROUP, &first, false, true, &valid, -1));
    EXPECT_STREQ(first, "RUN");
    EXPECT_EQ(valid.size(), 95);  // a symbol may be any printable text
    EXPECT_FALSE(VOKR_NUMBER("1010").get_string(&manager, GROUP, &first, true, true, nullptr, -1));
    EXPECT_STREQ(first, "Ah");
    EXPECT_FALSE(VOKR_NUMBER("1010").get_string(&manager, GROUP, &first, false, true, nullptr, -1));
    EXPECT_STREQ(first, "1010b");
}

TEST_F(NumberNodeText, PluginConditionSymbolComesFirst)
{
    KSM_TX_PLUGIN_MNEMONICS record;
    record.plugin_name = "decoder";
    record.table_name = "frames";
    record.width = 4;
    record.level_symbols = {"START"};
    KSM_TX_SIGNAL_NODES* list = manager.get_trigger_nodes(-1);
    ASSERT_TRUE(list->set_plugin_mnemonics(GROUP, &record));
    set_display_type(KSM_GTYPE_PLUGIN);
    const char* first = nullptr;
    EXPECT_TRUE(VOKR_NUMBER("0011").get_string(&manager, GROUP, &first, true, false, nullptr, 0));
    EXPECT_STREQ(first, "START");
    EXPECT_FALSE(VOKR_NUMBER("0011").get_string(&manager, GROUP, &first, true, false, nullptr, -1));
    EXPECT_STREQ(first, "3");
}

TEST_F(NumberNodeText, HexTextFollowsTheNodeBitOrder)
{
    EXPECT_STREQ(VOKR_NUMBER("0111").get_hex_string(&manager, GROUP), "7h");
    ASSERT_TRUE(manager.get_trigger_nodes(-1)->set_lsb_to_msb(GROUP, true));
    EXPECT_STREQ(VOKR_NUMBER("0111").get_hex_string(&manager, GROUP), "Eh");
    const char* first = nullptr;
    VOKR_NUMBER("0111").get_string(&manager, GROUP, &first, false, false, nullptr, -1);
    EXPECT_STREQ(first, "1110");
}

}  // namespace
