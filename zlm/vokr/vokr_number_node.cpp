// The parts of a wide number that read a node through the manager: the node's text in its
// display type, with its mnemonic or plug-in symbol, and a typed value set as trigger conditions.
#include "vokr_number.h"

#include "vokr_assert.h"
#include "vokr_node.h"
#include "vokr_tx_manager.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace {

QString valid_input_characters(int display_type)
{
    switch (display_type) {
    case KSM_GTYPE_MNEMONICS:
    case KSM_GTYPE_ASCII:
    case KSM_GTYPE_PLUGIN: {
        QString printable;
        for (char c = ' '; c <= '~'; ++c)
            printable += QLatin1Char(c);
        return printable;
    }
    case KSM_GTYPE_BINARY: return QStringLiteral("01XLFRHExlfrhe");
    case KSM_GTYPE_SIGNED_2S:
    case KSM_GTYPE_SIGNED_MAGNITUDE: return QStringLiteral("-0123456789");
    case KSM_GTYPE_UNSIGNED: return QStringLiteral("0123456789");
    case KSM_GTYPE_HEX: return QStringLiteral("0123456789ABCDEFabcdefXx");
    case KSM_GTYPE_OCTAL: return QStringLiteral("01234567Xx");
    case KSM_GTYPE_FLOAT:
    case KSM_GTYPE_DOUBLE: return QStringLiteral("-0123456789.eE");
    default: return QString();
    }
}

// Where a binary, hexadecimal or octal text starts with its leading zeros hidden: at its first
// significant character, keeping at least the last digit and the suffix.
const char* first_significant_character(const char* text, bool suffix)
{
    const size_t length = std::strlen(text);
    const size_t minimum = suffix ? 2 : 1;
    const size_t first = std::strcspn(text, "123456789ABCDEFabcdefXLRHxlrh");
    if (length - first >= minimum)
        return text + first;
    return length >= minimum ? text + length - minimum : text;
}

}  // namespace

// ---- node text ----------------------------------------------------------------------------------------------

// The plug-in's symbol of the trigger level, else the mnemonic table's symbol of the value,
// copied into the result; null when there is none, also for a bus without a table.
const char* VOKR_NUMBER::print_symbol(VOKR_TX_MANAGER* manager, int node, int plugin_level)
{
    const auto copy_symbol = [](const QString& symbol) {
        const QByteArray bytes = symbol.toLocal8Bit();
        return copy_to_result(bytes.constData(), bytes.size());
    };
    QString symbol;
    if (plugin_level != -1) {
        manager->get_plugin_trigger_condition_symbol(&symbol, node, plugin_level, -1);
        if (!symbol.isEmpty())
            return copy_symbol(symbol);
    }
    QString table;
    int width = 0;
    if (!manager->get_node_mnemonics_table_name(node, &table, nullptr) ||
        !manager->get_node_mnemonics_width(node, &width))
        return nullptr;
    const QString pattern = QString::fromLatin1(binary_string(false, width));
    if (!manager->get_node_mnemonics_symbol(node, pattern, &symbol, nullptr) || symbol.isEmpty())
        return nullptr;
    return copy_symbol(symbol);
}

bool VOKR_NUMBER::get_string(VOKR_TX_MANAGER* manager, int node, const char** first_significant, bool use_group_type,
                             bool suffix, QString* valid_characters, int plugin_level)
{
    VOKR_ASSERT_TEXT(manager->get_node_lsb_to_msb(node, &m_lsb_to_msb, -1),
                     "vokr_tx_manager->get_node_lsb_to_msb(nItem, &this->m_lsb_to_msb)");
    KSM_DATA_GROUP_DISPLAY_TYPE display_type = KSM_GTYPE_INVALID;
    VOKR_ASSERT_TEXT(manager->get_node_group_display_type(node, &display_type, -1),
                     "vokr_tx_manager->get_node_group_display_type(nItem, &display_type)");
    const bool symbolic = display_type == KSM_GTYPE_MNEMONICS || display_type == KSM_GTYPE_PLUGIN;
    int effective = symbolic || use_group_type ? int(display_type) : int(KSM_GTYPE_BINARY);
    if (valid_characters)
        *valid_characters = valid_input_characters(display_type);
    if (symbolic) {
        if (const char* symbol = print_symbol(manager, node, plugin_level)) {
            if (first_significant)
                *first_significant = symbol;
            return true;
        }
        effective = use_group_type ? KSM_GTYPE_HEX : KSM_GTYPE_BINARY;
    }
    const char* text = print_as(effective, suffix);
    const bool radix = effective == KSM_GTYPE_BINARY || effective == KSM_GTYPE_HEX || effective == KSM_GTYPE_OCTAL;
    if (first_significant)
        *first_significant =
            radix && !VOKR_TX_MANAGER::cfg_show_leading_zeroes() ? first_significant_character(text, suffix) : text;
    return false;
}

const char* VOKR_NUMBER::get_hex_string(VOKR_TX_MANAGER* manager, int node)
{
    VOKR_ASSERT_TEXT(manager->get_node_lsb_to_msb(node, &m_lsb_to_msb, -1),
                     "vokr_tx_manager->get_node_lsb_to_msb(nItem, &this->m_lsb_to_msb)");
    return hex_string(true);
}

// ---- typed trigger values -----------------------------------------------------------------------------------

namespace {

bool has_any_of(const std::string& upper, const char* letters)
{
    return upper.find_first_of(letters) != std::string::npos;
}

std::string upper_case(const char* text)
{
    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// The display type whose parse reads a number typed in `display_type`.
int parse_type_of(int display_type)
{
    switch (display_type) {
    case KSM_GTYPE_UNSIGNED_BAR:
    case KSM_GTYPE_UNSIGNED_LINE: return KSM_GTYPE_UNSIGNED;
    case KSM_GTYPE_SIGNED_BAR:
    case KSM_GTYPE_SIGNED_LINE: return KSM_GTYPE_SIGNED_2S;
    default: return display_type;
    }
}

// Reversed for least significant first, then cut to its least significant `width` letters or
// padded at its most significant end.
std::string fit_pattern(std::string pattern, int width, bool lsb_to_msb, char pad)
{
    if (lsb_to_msb)
        std::reverse(pattern.begin(), pattern.end());
    const int length = static_cast<int>(pattern.size());
    if (length > width)
        return lsb_to_msb ? pattern.substr(0, size_t(width)) : pattern.substr(size_t(length - width));
    const std::string padding(size_t(width - length), pad);
    return lsb_to_msb ? pattern + padding : padding + pattern;
}

}  // namespace

// A typed value turned into trigger letters, most significant first, or the display type whose
// parse will make them.
struct VOKR_NUMBER::TYPED_PATTERN {
    std::string letters;
    bool pad_with_x = false;     // a short pattern is filled with Don't Care rather than Low
    bool plugin_symbol = false;  // the text is stored as the node's plug-in symbol afterwards
    bool parse_as = false;
    int parse_type = KSM_GTYPE_HEX;

    static TYPED_PATTERN of_letters(const std::string& upper)
    {
        TYPED_PATTERN typed;
        typed.letters = upper;
        typed.pad_with_x = true;
        return typed;
    }
    static TYPED_PATTERN of_number(int display_type)
    {
        TYPED_PATTERN typed;
        typed.parse_as = true;
        typed.parse_type = parse_type_of(display_type);
        return typed;
    }
};

// Hexadecimal unless the text is plainly letters; a text of only 0, 1, F and E is read as a
// number when its value fits the bus and as letters otherwise.
VOKR_NUMBER::TYPED_PATTERN VOKR_NUMBER::read_hex_or_letters(const std::string& upper, int width) const
{
    if (has_any_of(upper, "LRH"))
        return TYPED_PATTERN::of_letters(upper);
    if (upper.find_first_not_of("01FE") == std::string::npos) {
        const BIT_TEXT bits = convert(KSM_GTYPE_HEX, width);
        const char* first_one = std::strchr(bits.bits, '1');
        const int significant = first_one ? int(bits.bits + bits.length - first_one) : 0;
        if (significant > width)
            return TYPED_PATTERN::of_letters(upper);
    }
    return TYPED_PATTERN::of_number(KSM_GTYPE_HEX);
}

// How the text is to be read on a node of this display type.
VOKR_NUMBER::TYPED_PATTERN VOKR_NUMBER::read_typed(VOKR_TX_MANAGER* manager, int node, int level, int instance,
                                                   int display_type, int width) const
{
    const std::string upper = upper_case(text());
    switch (display_type) {
    case KSM_GTYPE_MNEMONICS: {
        if (const char* pattern = mnemonic_pattern(manager, node, instance))
            return TYPED_PATTERN::of_letters(upper_case(pattern));
        return read_hex_or_letters(upper, width);
    }
    case KSM_GTYPE_PLUGIN: {
        QString data;
        if (manager->get_plugin_trigger(&data, text(), node, instance) && !data.isEmpty()) {
            TYPED_PATTERN typed = TYPED_PATTERN::of_letters(upper_case(data.toLatin1().constData()));
            typed.plugin_symbol = true;
            return typed;
        }
        manager->set_plugin_trigger_condition_symbol(QString(), node, level, instance);
        return read_hex_or_letters(upper, width);
    }
    case KSM_GTYPE_BINARY: {
        TYPED_PATTERN typed = TYPED_PATTERN::of_letters(upper);
        typed.pad_with_x = has_any_of(upper, "XLFRHE");
        return typed;
    }
    case KSM_GTYPE_ASCII: return TYPED_PATTERN::of_number(display_type);
    case KSM_GTYPE_HEX: return read_hex_or_letters(upper, width);
    case KSM_GTYPE_OCTAL:
        return has_any_of(upper, "LFRHE") ? TYPED_PATTERN::of_letters(upper) : TYPED_PATTERN::of_number(display_type);
    case KSM_GTYPE_FLOAT:
    case KSM_GTYPE_DOUBLE:
        return has_any_of(upper, "XLFRH") ? TYPED_PATTERN::of_letters(upper) : TYPED_PATTERN::of_number(display_type);
    default:
        return has_any_of(upper, "XLFRHE") ? TYPED_PATTERN::of_letters(upper) : TYPED_PATTERN::of_number(display_type);
    }
}

// The pattern of the typed symbol in the node's mnemonic table; null when the table is missing
// or empty or does not hold the symbol.
const char* VOKR_NUMBER::mnemonic_pattern(VOKR_TX_MANAGER* manager, int node, int instance) const
{
    QString table_name;
    KSM_TX_SESSION* session = manager->get_session();
    if (!session || !manager->get_node_mnemonics_table_name(node, &table_name, manager->get_trigger_nodes(instance)))
        return nullptr;
    KSM_DATA_MNEMONICS_TABLE* table =
        session->get_data_session()->get_mnemonics()->find_table(table_name.toLocal8Bit().constData());
    if (!table || table->get_num_entries() == 0)
        return nullptr;
    return table->get_value(text());
}

bool VOKR_NUMBER::set_string(VOKR_TX_MANAGER* manager, int node, int level, int instance)
{
    KSM_DATA_GROUP_DISPLAY_TYPE display_type = KSM_GTYPE_INVALID;
    VOKR_ASSERT_TEXT(manager->get_node_group_display_type(node, &display_type, instance),
                     "vokr_tx_manager->get_node_group_display_type(nItem, &display_type, nInstanceIndex)");
    bool lsb_to_msb = false;
    VOKR_ASSERT_TEXT(manager->get_node_lsb_to_msb(node, &lsb_to_msb, instance),
                     "vokr_tx_manager->get_node_lsb_to_msb(nItem, &lsb_to_msb)");
    if (is_too_long())
        return false;
    if (text()[0] == '\0') {
        if (display_type == KSM_GTYPE_PLUGIN)
            manager->set_plugin_trigger_condition_symbol(QString(), node, level, instance);
        return false;
    }
    const int width = manager->get_child_item_count(node, instance);
    TYPED_PATTERN typed = read_typed(manager, node, level, instance, display_type, width);
    if (typed.parse_as) {
        const BIT_TEXT bits = convert(typed.parse_type, width);
        typed.letters.assign(bits.bits, size_t(bits.length));
        typed.pad_with_x = has_any_of(typed.letters, "XLFRHE");
    }
    if (typed.letters.find_first_not_of("01XLFRHE") != std::string::npos)
        return false;
    const std::string pattern =
        fit_pattern(typed.letters, manager->get_num_leaf_children(node), lsb_to_msb, typed.pad_with_x ? 'X' : '0');
    bool any_set = false;
    size_t next = 0;
    const int last = manager->get_last_child_index(node);
    for (int row = node + 1; row <= last && next < pattern.size(); ++row) {
        if (manager->has_children(row))
            continue;
        any_set |=
            manager->set_trigger(row, level, vokr_letter_condition(pattern[next++], KSM_CTYPE_DONT_CARE), instance);
    }
    if (typed.plugin_symbol)
        manager->set_plugin_trigger_condition_symbol(QString::fromLatin1(text()), node, level, instance);
    return any_set;
}
