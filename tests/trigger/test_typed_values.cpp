// Trigger values typed on a bus row: read as a number of the bus's display format or as trigger
// letters, fitted to the bus width and bit order, and set as one condition per leaf.
#include "manager_test_support.h"
#include "vokr_number.h"

#include <string>

namespace {

using namespace manager_test;

class TypedValues : public MANAGER_TEST {};

// Conditions as letters: L(ow), H(igh), R(ising), F(alling), E(ither), X (don't care).
char letter_of(KSM_DATA_TRIGGER_CONDITION condition)
{
    switch (static_cast<int>(condition)) {
    case 3: return 'H';
    case 4: return 'L';
    case 5: return 'R';
    case 6: return 'F';
    case 7: return 'E';
    case 8: return 'X';
    default: return '?';
    }
}

// A bus "bus" of `width` leaves b0.. in row order, shown in `type`, at trigger rows 1..width.
void add_bus(VOKR_TX_MANAGER* m, int width, KSM_DATA_GROUP_DISPLAY_TYPE type, bool lsb_to_msb = false)
{
    for (int i = 0; i < width; ++i)
        ASSERT_TRUE(
            m->insert_node(("b" + std::to_string(i)).c_str(), KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false));
    ASSERT_TRUE(m->group_node(0, width - 1));
    m->set_node_group_display_type(0, type);  // false when the type is already set
    m->set_node_lsb_to_msb(0, lsb_to_msb);
    KSM_DATA_GROUP_DISPLAY_TYPE shown = KSM_GTYPE_INVALID;
    bool lsb_first = !lsb_to_msb;
    ASSERT_TRUE(m->get_node_group_display_type(0, &shown, -1));
    ASSERT_TRUE(m->get_node_lsb_to_msb(0, &lsb_first, -1));
    ASSERT_EQ(shown, type);
    ASSERT_EQ(lsb_first, lsb_to_msb);
}

// The leaf conditions at level 0, first row first.
std::string leaf_letters(const EDITOR& editor, int first = 1)
{
    std::string out;
    KSM_TX_TRIGGER* trigger = editor.trigger();
    for (int row = first; row < trigger->get_num_nodes(); ++row)
        if (!editor->has_children(row))
            out += letter_of(trigger->get_trigger_condition(row, 0));
    return out;
}

bool type_value(const EDITOR& editor, const char* text, int node = 0)
{
    return VOKR_NUMBER(text).set_string(editor.get(), node, 0, -1);
}

TEST_F(TypedValues, TextIsReadByTheBusFormatAndFittedToItsWidth)
{
    const struct {
        const char* text;
        KSM_DATA_GROUP_DISPLAY_TYPE type;
        int width;
        bool lsb_to_msb;
        const char* leaves;
    } cases[] = {
        // 1F needs five bits: on four it is read as letters and padded with don't-cares.
        {"1F", KSM_GTYPE_HEX, 4, false, "XX1F"},
        {"1F", KSM_GTYPE_HEX, 8, false, "LLLHHHHH"},
        {"1f", KSM_GTYPE_HEX, 8, false, "LLLHHHHH"},
        {"XA", KSM_GTYPE_HEX, 8, false, "XXXXHLHL"},
        {"1H", KSM_GTYPE_HEX, 4, false, "XXHH"},
        {"12", KSM_GTYPE_UNSIGNED, 4, false, "HHLL"},
        {"12", KSM_GTYPE_UNSIGNED, 4, true, "LLHH"},
        {"12", KSM_GTYPE_UNSIGNED_BAR, 4, false, "HHLL"},
        {"-5", KSM_GTYPE_SIGNED_2S, 8, false, "HHHHHLHH"},
        {"-5", KSM_GTYPE_SIGNED_LINE, 8, false, "HHHHHLHH"},
        {"-0", KSM_GTYPE_SIGNED_MAGNITUDE, 8, false, "HLLLLLLL"},
        {"17", KSM_GTYPE_OCTAL, 6, false, "LLHHHH"},
        {"1X", KSM_GTYPE_OCTAL, 6, false, "LLHXXX"},
        {"1H", KSM_GTYPE_OCTAL, 4, false, "XX1H"},
        {"A", KSM_GTYPE_ASCII, 8, false, "LHLLLLLH"},
        // In binary, letters pad with don't-cares and plain bits with lows.
        {"1X0", KSM_GTYPE_BINARY, 5, false, "XXHXL"},
        {"101", KSM_GTYPE_BINARY, 5, false, "LLHLH"},
        {"rfe", KSM_GTYPE_BINARY, 3, false, "RFE"},
        // A longer pattern keeps its least significant end.
        {"110101", KSM_GTYPE_BINARY, 4, false, "LHLH"},
        {"110101", KSM_GTYPE_BINARY, 4, true, "HLHL"},
        // E is an exponent on a floating-point bus, H is not.
        {"10H", KSM_GTYPE_FLOAT, 32, false, "XXXXXXXXXXXXXXXXXXXXXXXXXXXXX10H"},
        // 1000.0f is 0x447A0000.
        {"1e3", KSM_GTYPE_FLOAT, 32, false, "LHLLLHLLLHHHHLHLLLLLLLLLLLLLLLLL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " as type " + std::to_string(c.type));
        EDITOR editor(false);
        add_bus(editor.get(), c.width, c.type, c.lsb_to_msb);
        EXPECT_TRUE(type_value(editor, c.text));
        std::string expected = c.leaves;
        for (char& ch : expected)
            ch = ch == '1' ? 'H' : ch == '0' ? 'L' : ch;
        EXPECT_EQ(leaf_letters(editor), expected);
    }
}

TEST_F(TypedValues, PatternWithForeignLettersChangesNothing)
{
    // A value longer than the widest bus is refused whole.
    const std::string too_long(MAX_BUS_WIDTH + 1, '1');
    const struct {
        KSM_DATA_GROUP_DISPLAY_TYPE type;
        const char* text;
    } cases[] = {
        {KSM_GTYPE_BINARY, "1Z01"},
        {KSM_GTYPE_BINARY, "10 1"},
        {KSM_GTYPE_BINARY, "1-01"},
        // E makes letters of a decimal text, and 2 is no letter.
        {KSM_GTYPE_UNSIGNED, "2E"},
        {KSM_GTYPE_BINARY, too_long.c_str()},
        {KSM_GTYPE_HEX, too_long.c_str()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text).substr(0, 16));
        EDITOR editor(false);
        add_bus(editor.get(), 4, c.type);
        ASSERT_TRUE(VOKR_NUMBER("HHHH").set_string(editor.get(), 0, 0, -1) || c.type != KSM_GTYPE_BINARY);
        const std::string before = leaf_letters(editor);
        EXPECT_FALSE(type_value(editor, c.text));
        EXPECT_EQ(leaf_letters(editor), before);
    }
}

TEST_F(TypedValues, NestedGroupRowsTakeNoLetter)
{
    // bus [a, inner [b, c], d]: the four leaves take the four letters in row order.
    EDITOR editor(false);
    add_rows(editor.get(), {"a", "b", "c", "d"});
    ASSERT_TRUE(editor->group_node(1, 2));  // inner group at row 1: rows a, inner, b, c, d
    ASSERT_TRUE(editor->group_node(0, 4));  // bus at row 0
    editor->set_node_group_display_type(0, KSM_GTYPE_BINARY);
    ASSERT_TRUE(editor->is_group_node(2));
    const KSM_DATA_TRIGGER_CONDITION inner = editor.trigger()->get_trigger_condition(2, 0);
    EXPECT_TRUE(type_value(editor, "RFE0"));
    EXPECT_EQ(leaf_letters(editor), "RFEL");
    EXPECT_EQ(editor.trigger()->get_trigger_condition(2, 0), inner);
}

TEST_F(TypedValues, MnemonicSymbolGivesItsPatternAndOtherTextReadsAsHex)
{
    EDITOR editor(false);
    add_bus(editor.get(), 4, KSM_GTYPE_MNEMONICS);
    KSM_DATA_MNEMONICS* mnemonics = editor->get_session()->get_data_session()->get_mnemonics();
    KSM_DATA_MNEMONICS_TABLE* table = mnemonics->create_table("states", 4);
    ASSERT_TRUE(table);
    ASSERT_TRUE(table->add_entry("IDLE", "0110"));
    ASSERT_TRUE(editor.trigger()->set_mnemonics_table_name(0, "states"));

    EXPECT_TRUE(type_value(editor, "IDLE"));
    EXPECT_EQ(leaf_letters(editor), "LHHL");
    EXPECT_TRUE(type_value(editor, "C"));
    EXPECT_EQ(leaf_letters(editor), "HHLL");
}

// A plug-in record whose plug-in is not loaded: its symbols can be stored and cleared, but no
// symbol turns into a pattern.
void add_plugin_bus(const EDITOR& editor)
{
    add_bus(editor.get(), 4, KSM_GTYPE_PLUGIN);
    KSM_TX_PLUGIN_MNEMONICS record;
    record.plugin_name = "Absent Decoder";
    record.table_name = "frames";
    record.width = 4;
    record.set_symbol(0, "SYNC");
    ASSERT_TRUE(editor.trigger()->set_plugin_mnemonics(0, &record));
}

std::string plugin_symbol(const EDITOR& editor)
{
    QString symbol;
    editor->get_plugin_trigger_condition_symbol(&symbol, 0, 0, -1);
    return symbol.toStdString();
}

TEST_F(TypedValues, PluginBusClearsItsSymbolForEmptyOrUnknownText)
{
    {
        EDITOR editor(false);
        add_plugin_bus(editor);
        ASSERT_EQ(plugin_symbol(editor), "SYNC");
        EXPECT_FALSE(type_value(editor, ""));
        EXPECT_EQ(plugin_symbol(editor), "");
        EXPECT_EQ(leaf_letters(editor), "XXXX");
    }
    {
        EDITOR editor(false);
        add_plugin_bus(editor);
        EXPECT_TRUE(type_value(editor, "5"));
        EXPECT_EQ(plugin_symbol(editor), "");
        EXPECT_EQ(leaf_letters(editor), "LHLH");
    }
}

}  // namespace
