// The expression printer: a box's sub-tree as the advanced-trigger expression text, token by
// token as the syntax library reads it, with the checks of the diagram on the way. Nothing
// stops the walk: every problem is recorded (the last one wins) and the text is always whole.
#include "vokr_object.h"

#include "ksm.h"
#include "vokr_number.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

const char* const ELEMENT_ERROR_TEXTS[VOKR_ELEMENT_ERROR_COUNT] = {
    "",
    "Output of the trigger expression must be a single bit.",
    "Input width cannot be determined.",
    "Input objects have different output widths.",
    "Object does not have enough inputs.",
    "Object has an incorrect number of inputs.",
    "Node object is missing a node name.",
    "The value is too large, only 64 bit integers are supported.",
    "The value is larger than the output bus width.",
    "The node name specified is invalid.",
    "The pattern specified contains invalid characters.",
    "The pattern specified doesn't contain enough characters.",
    "The pattern specified contains too many characters.",
    "Counter Operators can only be used in Advanced Trigger 1.",
    "The value is negative, only unsigned 64 bit integers are supported.",
    "The mnemonic table specified is invalid.",
    "The mnemonic symbol specified is invalid.",
    "The bus value specified is invalid.",
    "The input to the shift object must have a width greater than 1.",
    "Data delay for busses can only be used if all inputs are nodes or values.",
    "The counter value is invalid.",
    "The max counter value is invalid.",
    "The counter value is larger than the max counter value.",
    "The bitstream specified contains invalid characters.",
    "The object is missing a module name.",
};

constexpr const char* PATTERN_CHARACTERS = "XLFRHExlfrhe01";

// Width at which a value is converted to find bits above the 64 the compiler takes.
constexpr int RANGE_CHECK_WIDTH = 390;

bool takes_pipeline(int type)
{
    return type == VOKR_TYPE_ELD || type == VOKR_TYPE_COMPARISON || type == VOKR_TYPE_CUSTOM_HDL;
}

// The whole text as an unsigned 64-bit number in `base` (2, 8, 10 or 16): digits only.
bool read_unsigned(const QString& text, int base, uint64_t* value)
{
    if (text.isEmpty())
        return false;
    *value = 0;
    for (const QChar c : text) {
        const int digit = c.isDigit() && c.unicode() < 128           ? c.unicode() - '0'
                          : c.unicode() >= 'a' && c.unicode() <= 'f' ? c.unicode() - 'a' + 10
                          : c.unicode() >= 'A' && c.unicode() <= 'F' ? c.unicode() - 'A' + 10
                                                                     : 99;
        if (digit >= base || *value > (UINT64_MAX - digit) / base)
            return false;
        *value = *value * base + digit;
    }
    return true;
}

// The whole text as a signed 64-bit decimal number: an optional '-', then digits.
bool read_signed(const QString& text, int64_t* value)
{
    const bool negative = text.startsWith('-');
    uint64_t magnitude = 0;
    if (!read_unsigned(negative ? text.mid(1) : text, 10, &magnitude))
        return false;
    if (magnitude > uint64_t(INT64_MAX) + (negative ? 1 : 0))
        return false;
    *value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool is_printable_ascii(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() <= 0x7e; });
}

// The value's text, read in a number display type, as exactly `width` bit characters, most
// significant first.
std::string bits_of(const QString& value, int display_type, int width)
{
    const QByteArray text = value.toLatin1();
    VOKR_NUMBER number(text.constData());
    return std::string(number.get_trigger_value(display_type, width, false));
}

int display_type_of(int format, bool negative_decimal)
{
    switch (format) {
    case VOKR_FORMAT_DECIMAL: return negative_decimal ? KSM_GTYPE_SIGNED_2S : KSM_GTYPE_UNSIGNED;
    case VOKR_FORMAT_OCTAL: return KSM_GTYPE_OCTAL;
    case VOKR_FORMAT_BINARY: return KSM_GTYPE_BINARY;
    case VOKR_FORMAT_ASCII: return KSM_GTYPE_ASCII;
    default: return KSM_GTYPE_HEX;
    }
}

bool is_comparison_kind(int kind) { return kind >= VOKR_KIND_CONSTANT_UNSIGNED_COMPARISON && kind < VOKR_KIND_BITWISE; }

}  // namespace

const char* vokr_element_error_text(uint32_t code)
{
    return code < VOKR_ELEMENT_ERROR_COUNT ? ELEMENT_ERROR_TEXTS[code] : "";
}

// What one walk hands down to every box.
struct VOKR_OBJECT::PRINT {
    QString* text;
    KSM_DATA_MNEMONICS* mnemonics;
    KSM_TX_SIGNAL_NODES* node_set;
    uint32_t* error;  // null in the short form
    VOKR_OBJECT** error_object;
    int condition;
    bool power_up;
    bool full() const { return error != nullptr; }
};

// A child with its short text, the key of the operand order.
struct VOKR_OBJECT::OPERAND {
    QString short_text;
    VOKR_OBJECT* box;
};

void VOKR_OBJECT::report(uint32_t* error, VOKR_OBJECT** error_object, uint32_t code)
{
    if (!error)
        return;
    *error = code;
    if (error_object)
        *error_object = this;
}

void VOKR_OBJECT::get_element_equation(QString* text, KSM_DATA_MNEMONICS* mnemonics, KSM_TX_SIGNAL_NODES* node_set,
                                       uint32_t* error, VOKR_OBJECT** error_object, int condition, bool power_up)
{
    PRINT p{text, mnemonics, node_set, error, error_object, condition, power_up};
    print(p);
}

// Preparation (the wrappers and checks every box shares), the body of the box's kind, and the
// closing of the wrappers.
void VOKR_OBJECT::print(PRINT& p)
{
    QString& text = *p.text;
    const int kind = get_draw_kind();
    // The unsigned constant True and False comparisons are constant bits.
    const bool constant_bit = kind == VOKR_KIND_CONSTANT_UNSIGNED_COMPARISON + VOKR_COMPARISON_TRUE ||
                              kind == VOKR_KIND_CONSTANT_UNSIGNED_COMPARISON + VOKR_COMPARISON_FALSE;
    const int type = constant_bit ? int(VOKR_TYPE_BIT_VALUE) : get_type();
    const int max = vokr_kind_max_inputs(kind);
    const bool unbounded = max == VOKR_UNBOUNDED_INPUTS;
    if (p.full() && (vokr_kind_input(kind) == VOKR_SIGNAL_BUS || unbounded)) {
        const int width = get_input_width();
        if (width == VOKR_WIDTH_UNKNOWN)
            report(p.error, p.error_object, VOKR_ELEMENT_WIDTH_UNKNOWN);
        else if (width == VOKR_WIDTH_MIXED)
            report(p.error, p.error_object, VOKR_ELEMENT_WIDTHS_DIFFER);
    }
    const QString pipeline = takes_pipeline(type) ? get_pipeline() : QString();
    bool opened = !pipeline.isEmpty();
    if (opened)
        text += '(';
    bool labelled = false;
    if (p.full() && type == VOKR_TYPE_CUSTOM_HDL) {
        text += "mnd_custom_trigger_hdl(";
        opened = true;
    } else if (p.full() && type != VOKR_TYPE_NODE) {
        const QString name = get_quoted_name();
        if (!name.isEmpty()) {
            text += '\'' + name + "':(";
            labelled = opened = true;
        }
    }
    const QString delay = type == VOKR_TYPE_NODE ? get_data_delay(true) : QString();
    if (!delay.isEmpty()) {
        text += '(';
        opened = true;
    }
    VOKR_OBJECT* first = m_children.value(0, nullptr);
    if (max == 2 && m_property[VOKR_INT_FIRST_PORT_EMPTY] == 1)
        first = nullptr;
    if (p.full()) {
        const int n = m_children.size();
        if (unbounded && n == 0)
            report(p.error, p.error_object, VOKR_ELEMENT_TOO_FEW_INPUTS);
        else if ((!unbounded && n != max) || !are_inputs_connectable())
            report(p.error, p.error_object, VOKR_ELEMENT_WRONG_INPUT_COUNT);
    }
    print_body(p, type, kind, first, opened, pipeline);
    if (labelled || (p.full() && type == VOKR_TYPE_CUSTOM_HDL))
        text += ')';
    if (!delay.isEmpty())
        text += '@' + delay + ')';
    if (!pipeline.isEmpty())
        text += ")#" + pipeline;
}

void VOKR_OBJECT::print_body(PRINT& p, int type, int kind, VOKR_OBJECT* first, bool opened, const QString& pipeline)
{
    QString& text = *p.text;
    const QLatin1String keyword(vokr_kind_keyword(kind));
    if (kind == VOKR_KIND_RESULT || kind == VOKR_KIND_BITWISE || kind == VOKR_KIND_LOGICAL) {
        if (kind != VOKR_KIND_RESULT)
            text += keyword;  // the complement and the not
        if (first)
            first->print(p);
        return;
    }
    if (kind == VOKR_KIND_VARIABLE_BUS_VALUE || kind == VOKR_KIND_CONSTANT_BUS_VALUE) {
        QString value;
        const int width =
            p.full() || kind == VOKR_KIND_CONSTANT_BUS_VALUE ? get_output_width(true) : VOKR_WIDTH_UNKNOWN;
        if (width != VOKR_WIDTH_UNKNOWN)
            value = get_bus_value(width, p.mnemonics, p.error, p.error_object);
        if (value.isEmpty())
            value = "0";
        if (kind == VOKR_KIND_CONSTANT_BUS_VALUE)
            text += value;
        else
            text += "variable(" + (p.full() ? value : QString()) + ')';
        return;
    }
    if (kind == VOKR_KIND_VARIABLE_HIGH || kind == VOKR_KIND_VARIABLE_HIGH + 1) {
        text += "variable(" + QString(p.full() ? (kind == VOKR_KIND_VARIABLE_HIGH ? "1" : "0") : "") + ')';
        return;
    }
    switch (type) {
    case VOKR_TYPE_BITWISE:
    case VOKR_TYPE_REDUCTION:
        if (!opened)
            text += '(';
        if (type == VOKR_TYPE_BITWISE) {
            print_operands(p, sorted_operands(m_children.size()), vokr_kind_keyword(kind));
        } else {
            text += keyword;
            if (first)
                first->print(p);
        }
        if (!opened)
            text += ')';
        break;
    case VOKR_TYPE_LOGICAL:
        text += keyword + '(';
        print_operands(p, sorted_operands(m_children.size()), ",");
        text += ')';
        break;
    case VOKR_TYPE_SHIFT: print_shift(p, first); break;
    case VOKR_TYPE_COMPARISON: print_comparison(p, kind); break;
    case VOKR_TYPE_ELD: print_detector(p, first); break;
    case VOKR_TYPE_BUS: print_bus(p); break;
    case VOKR_TYPE_NODE: print_node(p); break;
    case VOKR_TYPE_BIT_VALUE: text += keyword; break;
    case VOKR_TYPE_CIRN: {
        const QString& pattern = p.power_up ? m_power_up_pattern : m_pattern;
        text += "imbpm(";
        if (!pattern.isEmpty() || !m_node_list.isEmpty()) {
            if (p.full())
                text += '\'' + pattern + '\'';
            text += ",{" + m_node_list + '}';
        }
        text += ')';
        break;
    }
    case VOKR_TYPE_COUNTER: print_counter(p, first); break;
    case VOKR_TYPE_CUSTOM_HDL: print_custom_hdl(p, first, pipeline); break;
    default: break;
    }
}

// ---- operand order ---------------------------------------------------------------------------------

std::vector<VOKR_OBJECT::OPERAND> VOKR_OBJECT::sorted_operands(int max)
{
    std::vector<OPERAND> operands;
    const int count = std::min(max, static_cast<int>(m_children.size()));
    operands.reserve(count);
    for (int i = 0; i < count; ++i) {
        OPERAND operand{QString(), m_children[i]};
        operand.box->get_element_equation(&operand.short_text, nullptr, nullptr, nullptr, nullptr, 1, false);
        operands.push_back(std::move(operand));
    }
    auto name = [](const VOKR_OBJECT* box) {
        return box->m_property.get_string_value(VOKR_STRING_NAME, VOKR_BANK_CURRENT).text;
    };
    // Stable, so that operands alike in structure and name keep their diagram order.
    std::stable_sort(operands.begin(), operands.end(), [&](const OPERAND& a, const OPERAND& b) {
        if (a.short_text != b.short_text)
            return a.short_text < b.short_text;
        return name(a.box) < name(b.box);
    });
    return operands;
}

void VOKR_OBJECT::get_sorted_children(QList<VOKR_OBJECT*>* list, int max)
{
    list->clear();
    for (const OPERAND& operand : sorted_operands(max))
        list->append(operand.box);
}

bool VOKR_OBJECT::less_by_equation(VOKR_OBJECT* a, VOKR_OBJECT* b)
{
    QString a_text, b_text;
    a->get_element_equation(&a_text, nullptr, nullptr, nullptr, nullptr, 1, false);
    b->get_element_equation(&b_text, nullptr, nullptr, nullptr, nullptr, 1, false);
    if (a_text != b_text)
        return a_text < b_text;
    return a->m_property.get_string_value(VOKR_STRING_NAME, VOKR_BANK_CURRENT).text <
           b->m_property.get_string_value(VOKR_STRING_NAME, VOKR_BANK_CURRENT).text;
}

// In the short form an operand's text is its sort key, already made.
void VOKR_OBJECT::print_operands(PRINT& p, const std::vector<OPERAND>& operands, const char* separator)
{
    for (size_t i = 0; i < operands.size(); ++i) {
        if (i)
            *p.text += QLatin1String(separator);
        if (p.full())
            operands[i].box->print(p);
        else
            *p.text += operands[i].short_text;
    }
}

int VOKR_OBJECT::mirror_comparison_kind(int kind)
{
    if (!is_comparison_kind(kind))
        return kind;
    const int group = kind - (kind - VOKR_KIND_CONSTANT_UNSIGNED_COMPARISON) % VOKR_COMPARISON_COUNT;
    const int k = kind - group;
    return k <= VOKR_COMPARISON_GREATER_THAN && k != VOKR_COMPARISON_EQUALITY && k != VOKR_COMPARISON_INEQUALITY
               ? group + VOKR_COMPARISON_GREATER_THAN - k
               : kind;
}

// ---- the bodies of the kinds -----------------------------------------------------------------------

void VOKR_OBJECT::print_comparison(PRINT& p, int kind)
{
    QString& text = *p.text;
    const std::vector<OPERAND> operands = sorted_operands(2);
    text += "compare(";
    if (!operands.empty())
        print_operands(p, {operands[0]}, "");
    text += ',';
    if (p.full()) {
        const bool swapped = !operands.empty() && operands[0].box != m_children[0];
        text += QLatin1String(vokr_kind_keyword(swapped ? mirror_comparison_kind(kind) : kind));
    }
    text += ',';
    if (operands.size() > 1)
        print_operands(p, {operands[1]}, "");
    text += QLatin1String(m_property[VOKR_INT_CONFIGURABLE] == 0 ? ",vc" : ",cc");
    text += QLatin1String(m_property[VOKR_INT_SIGNED_COMPARISON] == 1 ? ",sc)" : ",uc)");
}

void VOKR_OBJECT::print_detector(PRINT& p, VOKR_OBJECT* first)
{
    QString& text = *p.text;
    text += "mbpm(";
    if (p.full())
        print_pattern(p);
    text += ',';
    if (m_children.size() == 1 && first->get_type() == VOKR_TYPE_BUS) {
        first->print(p);
    } else if (!m_children.isEmpty()) {
        text += '{';
        for (int i = 0; i < m_children.size(); ++i) {
            if (i)
                text += ',';
            m_children[i]->print(p);
        }
        text += '}';
    }
    text += ')';
}

// The detector's pattern, one character per input bit; an empty one stands for "don't care" on
// every bit.
void VOKR_OBJECT::print_pattern(PRINT& p)
{
    QString& text = *p.text;
    QString pattern;
    get_string_property_text(VOKR_STRING_PATTERN, &pattern, VOKR_BANK_CURRENT);
    const int width = get_input_width();
    if (pattern.isEmpty()) {
        if (width != VOKR_WIDTH_UNKNOWN)
            text += '\'' + QString(width, 'X') + '\'';
        return;
    }
    text += '\'' + pattern + '\'';
    if (width == VOKR_WIDTH_UNKNOWN)
        return;
    const bool valid = std::all_of(pattern.begin(), pattern.end(), [](QChar c) {
        return c.unicode() < 128 && c.unicode() != 0 && std::strchr(PATTERN_CHARACTERS, c.toLatin1());
    });
    if (!valid)
        report(p.error, p.error_object, VOKR_ELEMENT_PATTERN_CHARACTERS);
    else if (pattern.size() < width)
        report(p.error, p.error_object, VOKR_ELEMENT_PATTERN_TOO_SHORT);
    else if (pattern.size() > width)
        report(p.error, p.error_object, VOKR_ELEMENT_PATTERN_TOO_LONG);
}

void VOKR_OBJECT::print_bus(PRINT& p)
{
    QString& text = *p.text;
    const bool delayed = p.full() && !get_data_delay(false).isEmpty();
    const bool lsb_first = m_property[VOKR_INT_BIT_ORDER] == 1;
    const int n = m_children.size();
    text += '{';
    for (int i = 0; i < n; ++i) {
        VOKR_OBJECT* child = m_children[lsb_first ? n - 1 - i : i];
        if (i)
            text += ',';
        const int type = child->get_type();
        if (delayed && type != VOKR_TYPE_NODE && type != VOKR_TYPE_BIT_VALUE && type != VOKR_TYPE_BUS_VALUE)
            report(p.error, p.error_object, VOKR_ELEMENT_BUS_DELAY);
        child->print(p);
    }
    text += '}';
}

void VOKR_OBJECT::print_node(PRINT& p)
{
    QString name;
    get_string_property_text(VOKR_STRING_NAME, &name, VOKR_BANK_CURRENT);
    if (name.isEmpty()) {
        report(p.error, p.error_object, VOKR_ELEMENT_NODE_NAME_MISSING);
        return;
    }
    *p.text += '\'' + get_quoted_name() + '\'';
    if (p.full() && p.node_set && p.node_set->find_node(name.toLocal8Bit().constData()) < 0)
        report(p.error, p.error_object, VOKR_ELEMENT_NODE_NAME_INVALID);
}

void VOKR_OBJECT::print_shift(PRINT& p, VOKR_OBJECT* first)
{
    QString& text = *p.text;
    if (first && first->get_type() == VOKR_TYPE_BUS_VALUE && fold_shifted_value(p.text, first))
        return;
    text += "shift(" + get_shift_type() + ',';
    if (p.full())
        text += get_shift_direction();
    text += ',';
    if (p.full())
        text += get_shift_distance();
    text += ',';
    if (first)
        first->print(p);
    text += ')';
    if (p.full() && m_children.size() == 1 && get_input_width() == 1)
        report(p.error, p.error_object, VOKR_ELEMENT_SHIFT_WIDTH);
}

void VOKR_OBJECT::print_counter(PRINT& p, VOKR_OBJECT* first)
{
    QString& text = *p.text;
    text += "ec(" + get_counter_width() + ',';
    if (p.full()) {
        const QString& value = get_counter_value(p.error, p.error_object);
        text += value.isEmpty() ? QString("1") : value;
    }
    text += ',';
    if (p.full())
        text += get_counter_type();
    text += ',';
    if (p.full())
        text += get_counter_hold();
    text += ',';
    if (first)
        first->print(p);
    text += ')';
    if (p.full() && p.condition >= 2)
        report(p.error, p.error_object, VOKR_ELEMENT_COUNTER_NOT_FIRST);
}

void VOKR_OBJECT::print_custom_hdl(PRINT& p, VOKR_OBJECT* first, const QString& pipeline)
{
    QString& text = *p.text;
    QString bitstream, module;
    get_string_property_text(VOKR_STRING_CONFIG_BITSTREAM, &bitstream, VOKR_BANK_CURRENT);
    get_string_property_text(VOKR_STRING_MODULE_NAME, &module, VOKR_BANK_CURRENT);
    text += QString::number(get_input_width()) + ',';
    if (first)
        first->print(p);
    text += ',' + QString::number(bitstream.size()) + ",'" + bitstream + "'," + (pipeline.isEmpty() ? "0" : pipeline) +
            ',' + module;
    if (!p.full())
        return;
    if (std::any_of(bitstream.begin(), bitstream.end(), [](QChar c) { return c != '0' && c != '1'; }))
        report(p.error, p.error_object, VOKR_ELEMENT_BITSTREAM);
    if (module.isEmpty())
        report(p.error, p.error_object, VOKR_ELEMENT_MODULE_NAME);
}

QString VOKR_OBJECT::get_quoted_name() const
{
    QString name;
    get_string_property_text(VOKR_STRING_NAME, &name, VOKR_BANK_CURRENT);
    return quote(name);
}

QString VOKR_OBJECT::quote(const QString& text)
{
    QString quoted;
    quoted.reserve(text.size());
    for (const QChar c : text) {
        if (c == '\'' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted;
}

// ---- values ------------------------------------------------------------------------------------------

bool VOKR_OBJECT::feeds_signed_comparison() const
{
    return m_parent && m_parent->get_type() == VOKR_TYPE_COMPARISON &&
           m_parent->m_property[VOKR_INT_SIGNED_COMPARISON] == 1;
}

QString VOKR_OBJECT::get_bus_value(int width, KSM_DATA_MNEMONICS* mnemonics, uint32_t* error,
                                   VOKR_OBJECT** error_object)
{
    QString value, table;
    get_string_property_text(VOKR_STRING_BUS_VALUE, &value, VOKR_BANK_CURRENT);
    get_string_property_text(VOKR_STRING_MNEMONIC_TABLE, &table, VOKR_BANK_CURRENT);
    if (value.isEmpty())
        return value;
    int format = m_property[VOKR_INT_DISPLAY_FORMAT];
    if (width < 0) {
        if (!table.isEmpty())
            return value;
        switch (format) {
        case VOKR_FORMAT_DECIMAL: return value;
        case VOKR_FORMAT_OCTAL: return value + 'o';
        case VOKR_FORMAT_BINARY: return value + 'b';
        case VOKR_FORMAT_ASCII: return '"' + value + '"';
        default: return value + 'h';
        }
    }
    if (mnemonics && !table.isEmpty()) {
        // A failed look-up ends here, so that its own code is the one reported.
        const KSM_DATA_MNEMONICS_TABLE* found = mnemonics->find_table(table.toLocal8Bit().constData());
        if (!found) {
            report(error, error_object, VOKR_ELEMENT_MNEMONIC_TABLE);
            return QString();
        }
        const char* pattern = found->get_value(value.toLocal8Bit().constData());
        if (!pattern || !*pattern) {
            report(error, error_object, VOKR_ELEMENT_MNEMONIC_SYMBOL);
            return QString();
        }
        value = QString::fromLatin1(pattern);
        format = VOKR_FORMAT_BINARY;  // a table holds its values as bit patterns
    }
    if (!is_readable_value(value, format)) {
        report(error, error_object, VOKR_ELEMENT_BUS_VALUE);
        return QString();
    }
    return write_value(value, format, width, error, error_object);
}

bool VOKR_OBJECT::is_readable_value(const QString& value, int format) const
{
    uint64_t unsigned_value = 0;
    int64_t signed_value = 0;
    switch (format) {
    case VOKR_FORMAT_HEXADECIMAL: return read_unsigned(value, 16, &unsigned_value);
    case VOKR_FORMAT_OCTAL: return read_unsigned(value, 8, &unsigned_value);
    case VOKR_FORMAT_BINARY: return read_unsigned(value, 2, &unsigned_value);
    case VOKR_FORMAT_DECIMAL:
        if (value.startsWith('-') && feeds_signed_comparison())
            return read_signed(value, &signed_value);
        return read_unsigned(value, 10, &unsigned_value);
    case VOKR_FORMAT_ASCII: return is_printable_ascii(value);
    default: return true;  // read as hexadecimal, unchecked
    }
}

// The range checks, then the value at `width` bits in decimal: signed for a signed comparison.
QString VOKR_OBJECT::write_value(const QString& value, int format, int width, uint32_t* error,
                                 VOKR_OBJECT** error_object)
{
    const bool narrow = width < 64;
    const bool negative = format == VOKR_FORMAT_DECIMAL && value.startsWith('-');
    const bool is_signed = feeds_signed_comparison();
    const int display_type = display_type_of(format, negative);
    bool fits = true;
    if (negative) {
        uint64_t magnitude = 0;
        read_unsigned(value.mid(1), 10, &magnitude);
        const uint64_t limit = narrow ? (width < 1 ? 0 : uint64_t(1) << (width - 1)) : uint64_t(1) << 63;
        fits = magnitude <= limit;
    } else {
        int allowed = narrow ? width : 64;
        if (is_signed && format == VOKR_FORMAT_DECIMAL)
            --allowed;
        const std::string bits = bits_of(value, display_type, RANGE_CHECK_WIDTH);
        const size_t first_one = bits.find('1');
        fits = first_one == std::string::npos || first_one >= size_t(RANGE_CHECK_WIDTH - std::max(allowed, 0));
    }
    if (!fits) {
        report(error, error_object, narrow ? VOKR_ELEMENT_VALUE_TOO_WIDE : VOKR_ELEMENT_VALUE_OVER_64_BITS);
        return QString();
    }
    const std::string bits = bits_of(value, display_type, width);
    VOKR_NUMBER number(bits.c_str());
    return QString::fromLatin1(is_signed ? number.twos_complement_string() : number.udecimal_string());
}

// ---- constant shifts -----------------------------------------------------------------------------------

// A shift of a value given in decimal is worked out here and written as the shifted value.
bool VOKR_OBJECT::fold_shifted_value(QString* text, VOKR_OBJECT* first)
{
    const QString shown = first->get_bus_value(-1, nullptr, nullptr, nullptr);
    int64_t value = 0;
    if (shown.isEmpty() || !read_signed(shown, &value))
        return false;
    const uint64_t shifted = shift_value(value, first->get_output_width(true), m_property[VOKR_INT_SHIFT_TYPE],
                                         m_property[VOKR_INT_SHIFT_DIRECTION], m_property[VOKR_INT_SHIFT_DISTANCE]);
    *text += QLatin1String(first->m_property[VOKR_INT_CONFIGURABLE] != 0 ? "constant(" : "variable(") +
             QString::number(shifted) + ')';
    return true;
}

uint64_t VOKR_OBJECT::shift_value(int64_t v, int w, int t, int d, int s)
{
    // A box wider than 64 bits shifts the 64 bits a value can hold.
    const int bits = std::min(w, 64);
    const uint64_t mask = bits < 1 ? 0 : bits == 64 ? ~uint64_t(0) : (uint64_t(1) << bits) - 1;
    const uint64_t top = bits < 1 ? 0 : uint64_t(1) << (bits - 1);
    uint64_t x = static_cast<uint64_t>(v) & mask;
    const unsigned count = static_cast<unsigned>(s) & 63;
    // Steps beyond a full turn (rotation) or beyond the width (arithmetic) change nothing more.
    const int steps = s < 1 || bits < 1 ? 0 : t == 1 ? s % bits : std::min(s, 64);
    switch (t) {
    case 0:
        if (d == 0)
            return (x << count) & mask;
        return d == 1 ? x >> count : x;
    case 1:
        for (int i = 0; i < steps && (d == 0 || d == 1); ++i)
            x = d == 0 ? ((x & top ? 1 : 0) | (x << 1)) & mask : (x & 1 ? top : 0) | (x >> 1);
        return x;
    case 2:
        if (d == 0)
            return (x << count) & mask;
        for (int i = 0; i < steps && d == 1; ++i)
            x = (x & top ? top : 0) | (x >> 1);
        return x;
    default: return x;
    }
}
