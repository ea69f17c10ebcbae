// Bus values of up to 4096 bits: printing one sample of a data log, or a text of bit
// characters, in every bus display format, and parsing a typed value back into bit characters.
//
// Every conversion writes its text into one process-wide result buffer and returns a pointer
// to it; the next conversion overwrites it, so callers copy the text at once. GUI thread only.
#pragma once

#include <cstdint>
#include <string>

class QString;
class VOKR_TX_MANAGER;

constexpr int MAX_BUS_WIDTH = 4096;

// The bit rows of a data log a number reads: `rows[i]` is the row of storage bit i, one byte
// (0 or 1) per sample. Borrowed, never owned.
struct VOKR_BIT_ROWS {
    const unsigned char* const* rows;
    int width;
};

class VOKR_NUMBER {
public:
    // A view of one sample column of a data log; a negative column reads column 0.
    VOKR_NUMBER(const VOKR_BIT_ROWS& source, int column);
    // A view of a caller-owned text of bit characters, one per bit, or of a typed value. A text
    // longer than MAX_BUS_WIDTH is only refused: set_string sets nothing and
    // get_trigger_value_length gives MAX_BUS_WIDTH + 1; printing or parsing it is an internal error.
    explicit VOKR_NUMBER(const char* text);
    virtual ~VOKR_NUMBER() = default;

    int get_width() const { return m_width; }
    bool is_lsb_to_msb() const { return m_lsb_to_msb; }
    void set_lsb_to_msb(bool lsb_to_msb) { m_lsb_to_msb = lsb_to_msb; }

    // ---- printing (the text is written most significant character first) ----
    // The text in a display type (KSM_DATA_GROUP_DISPLAY_TYPE); `width` is not used. Types 0
    // and 12 print in binary for a text that holds anything but '0' and '1', else in hexadecimal.
    const char* get_display_string(int display_type, int width, bool lsb_to_msb);
    // The lowest `digits` bits; -1 (or any count outside 0..width) prints every bit, and a count
    // above the width puts an 'X' in front for every bit a data log lacks (4096 digits at most).
    // A text prints its own characters, pattern letters included.
    const char* binary_string(bool suffix, int digits = -1);
    const char* hex_string(bool suffix);
    const char* octal_string(bool suffix);
    const char* ascii_string(bool quotes);
    const char* udecimal_string();
    const char* twos_complement_string();
    const char* int_sign_magnitude_string();
    const char* float_string();

    // ---- parsing the text ----
    // The text, written in a display type, as exactly `width` bit characters (clamped to 0..4096),
    // least significant first when `lsb_to_msb` is set.
    const char* get_trigger_value(int display_type, int width, bool lsb_to_msb);
    // How many bit characters the text needs in a display type.
    int get_trigger_value_length(int display_type);

    // ---- a node's text, read through the manager (vokr_number_node.cpp) ----
    // The text of a node's value as the node list shows it; `first_significant` (may be null)
    // receives where the text starts when leading zeros are hidden. True when the text is a
    // mnemonic or plug-in symbol.
    bool get_string(VOKR_TX_MANAGER* manager, int node, const char** first_significant, bool use_group_type,
                    bool suffix, QString* valid_characters, int plugin_level);
    const char* get_hex_string(VOKR_TX_MANAGER* manager, int node);

    // ---- typed trigger values (vokr_number_node.cpp) ----
    // Sets one basic condition per leaf row below `node` at `level` from the text, read as a
    // number in the node's display type or as trigger letters (0/L, 1/H, R, F, E, X). True when
    // any condition was set.
    bool set_string(VOKR_TX_MANAGER* manager, int node, int level, int instance);

    // ---- small readers ----
    std::uint32_t get_uint() const;
    std::int32_t get_signed_value() const;
    // Both numbers must read the same data log with the same width (an internal error otherwise).
    bool operator==(const VOKR_NUMBER& vokr_number) const;

protected:
    // The bit characters a parse step made, most significant first, in a scratch area that the
    // next parse step overwrites (a NUL follows them).
    struct BIT_TEXT {
        char* bits;
        int length;
    };
    BIT_TEXT string_to_unsigned() const;
    BIT_TEXT string_to_magnitude(int width) const;
    BIT_TEXT string_to_signed(int width) const;
    BIT_TEXT string_to_hex() const;
    BIT_TEXT string_to_octal() const;
    BIT_TEXT string_to_ascii() const;
    BIT_TEXT string_to_float() const;
    BIT_TEXT string_to_double() const;

private:
    struct TYPED_PATTERN;

    // The fields as the plain struct the conversion loops of the source file take.
    template <typename VIEW> VIEW view() const
    {
        check_width();
        return VIEW{m_data, m_text, m_width, m_column, m_lsb_to_msb};
    }
    bool is_too_long() const { return m_width > MAX_BUS_WIDTH; }
    void check_width() const;
    bool text_has_pattern_letters() const;
    const char* print_as(int effective_type, bool suffix);
    // Copies a text of up to MAX_BUS_WIDTH characters (the rest is cut) into the shared result.
    static const char* copy_to_result(const char* text, int length);
    BIT_TEXT convert(int display_type, int width) const;
    const char* text() const;

    // The steps of a node's text and of typed trigger values (vokr_number_node.cpp).
    const char* print_symbol(VOKR_TX_MANAGER* manager, int node, int plugin_level);
    TYPED_PATTERN read_typed(VOKR_TX_MANAGER* manager, int node, int level, int instance, int display_type,
                             int width) const;
    TYPED_PATTERN read_hex_or_letters(const std::string& upper, int width) const;
    const char* mnemonic_pattern(VOKR_TX_MANAGER* manager, int node, int instance) const;

    std::int32_t m_width;
    std::int32_t m_column;
    const unsigned char* const* m_data;
    const char* m_text;
    bool m_lsb_to_msb;
};

// A fraction of two 32-bit integers (the node list view's zoom level and offset).
class VOKR_DOUBLE {
public:
    VOKR_DOUBLE(int numerator = 0, int denominator = 1) : m_numerator(numerator), m_denominator(denominator) {}
    virtual ~VOKR_DOUBLE() = default;
    double value() const { return double(m_numerator) / double(m_denominator); }

    int m_numerator;
    int m_denominator;
};

// ---- decimal digit strings: least significant digit first, characters '0'..'9', NUL-terminated ----

// The decimal digits of 2^n (n from 0 to 4095), from a table filled on demand and kept for the
// process.
const char* vokr_power_of_two_decimal(int n);
// dst += src, in place; dst must have room for the longer operand plus one digit.
void vokr_add_decimal_strings(char* dst, const char* src);
// digits = 2 * digits + carry, in place; one digit of room is needed.
void vokr_double_decimal_string(char* digits, bool carry);
// digits + 1 in the radix (10 for decimal digits, 2 for bit characters), in place.
void vokr_increment_digits(char* digits, int radix);
