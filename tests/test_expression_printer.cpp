// The expression printer: the text of every kind of box, operand order, values, parameters and
// the validation codes with the box at fault; every valid text is one the syntax library reads.
#include "diagram_builder.h"
#include "ksm.h"
#include "ruv.h"
#include "vokr_session_object.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace diagram;

struct CASE {
    const char* what;
    std::function<VOKR_OBJECT*(DIAGRAM&)> build;  // returns the box to print
    const char* full;                             // null: not compared
    uint32_t code = VOKR_ELEMENT_OK;
    const char* short_form = nullptr;  // null: not compared
    int condition = 1;
    bool power_up = false;
};

// Result over a box of the given type word, operator property and word.
VOKR_OBJECT* op(DIAGRAM& d, VOKR_OBJECT* parent, const char* type, ATTRIBUTES more = {})
{
    VOKR_OBJECT* made = d.box(parent, more);
    made->set_attribute("type", type);
    return made;
}

VOKR_OBJECT* comparison(DIAGRAM& d, ATTRIBUTES more) { return op(d, d.result(), "Comparison Operator", more); }

const CASE CASES[] = {
    {"operands are ordered by their short texts",
     [](DIAGRAM& d) {
         VOKR_OBJECT* r = d.result();
         VOKR_OBJECT* a = op(d, r, "Logical Operator", {{"logical", "Logical And"}});
         d.node(a, "b");
         d.node(a, "a");
         return r;
     },
     "and('a','b')", VOKR_ELEMENT_OK, "and('a','b')"},
    {"a constant sorts first and mirrors the operator",
     [](DIAGRAM& d) {
         VOKR_OBJECT* c = comparison(d, {{"comparison", "Less Than"}, {"configurable", "1"}});
         d.bus(c, {"a", "b"});
         d.value(c, "2");
         return c->get_parent();
     },
     "compare(2,>,{'a','b'},cc,uc)", VOKR_ELEMENT_OK, "compare(2,,{'a','b'},cc,uc)"},
    {"a lone operand on the second port is the only operand",
     [](DIAGRAM& d) {
         VOKR_OBJECT* c = comparison(d, {{"first_port_empty", "1"}});
         d.bus(c, {"a", "b"});
         return c->get_parent();
     },
     "compare({'a','b'},==,,vc,uc)", VOKR_ELEMENT_WRONG_INPUT_COUNT},
    {"a node's own delay",
     [](DIAGRAM& d) {
         VOKR_OBJECT* r = d.result();
         d.node(r, "n", {{"data_delay", "3"}});
         return r;
     },
     "('n'@3)"},
    {"a bus's delay passes to its nodes",
     [](DIAGRAM& d) {
         VOKR_OBJECT* e = op(d, d.result(), "Edge & Level Detector");
         d.bus(e, {"n", "m"}, {{"data_delay", "2"}});
         return e->get_parent();
     },
     "mbpm('XX',{('n'@2),('m'@2)})"},
    {"a detector over one bus writes no second braces",
     [](DIAGRAM& d) {
         VOKR_OBJECT* e = op(d, d.result(), "Edge & Level Detector");
         d.bus(e, {"a", "b", "c", "d"});
         return e->get_parent();
     },
     "mbpm('XXXX',{'a','b','c','d'})", VOKR_ELEMENT_OK, "mbpm(,{'a','b','c','d'})"},
    {"a detector over nodes",
     [](DIAGRAM& d) {
         VOKR_OBJECT* e = op(d, d.result(), "Edge & Level Detector", {{"pattern", "RX"}});
         d.node(e, "a");
         d.node(e, "b");
         return e->get_parent();
     },
     "mbpm('RX',{'a','b'})"},
    {"a bus listed least significant first",
     [](DIAGRAM& d) {
         VOKR_OBJECT* e = op(d, d.result(), "Edge & Level Detector");
         d.bus(e, {"a", "b", "c"}, {{"bit_order", "LSB to MSB"}});
         return e->get_parent();
     },
     "mbpm('XXX',{'c','b','a'})"},
    {"a shift of a decimal value is folded at the width its surroundings give",
     [](DIAGRAM& d) {
         VOKR_OBJECT* c = comparison(d, {});
         VOKR_OBJECT* s = op(d, c, "Shift Operator", {{"shift_distance", "2"}});
         d.value(s, "200", {{"configurable", "0"}});
         d.wide_bus(c, 8);
         return c->get_parent();
     },
     "compare(variable(32),==,{'n0','n1','n2','n3','n4','n5','n6','n7'},vc,uc)"},
    {"a rotation of a bus",
     [](DIAGRAM& d) {
         VOKR_OBJECT* c = comparison(d, {});
         VOKR_OBJECT* s = op(d, c, "Shift Operator",
                             {{"shift_type", "Rotate"}, {"shift_direction", "Right"}, {"shift_distance", "3"}});
         d.bus(s, {"a", "b", "c", "d"});
         d.value(c, "5");
         return c->get_parent();
     },
     "compare(5,==,shift(rotate,right,3,{'a','b','c','d'}),vc,uc)", VOKR_ELEMENT_OK,
     "compare(5,,shift(rotate,,,{'a','b','c','d'}),vc,uc)"},
    {"a shift of one bit",
     [](DIAGRAM& d) {
         VOKR_OBJECT* s =
             op(d, op(d, d.result(), "Reduction Operator", {{"reduction", "Reduction And"}}), "Shift Operator");
         d.node(s, "a");
         return s->get_root();
     },
     "(&shift(logical,left,0,'a'))", VOKR_ELEMENT_SHIFT_WIDTH},
    {"a counter in the first condition",
     [](DIAGRAM& d) {
         VOKR_OBJECT* r = d.result();
         d.node(op(d, r, "Counter Operator"), "a");
         return r;
     },
     "ec(8,1,e,1,'a')", VOKR_ELEMENT_OK, "ec(8,,,,'a')"},
    {"a counter in a later condition has a whole text",
     [](DIAGRAM& d) {
         VOKR_OBJECT* r = d.result();
         d.node(op(d, r, "Counter Operator", {{"counter_type", "State"}, {"counter_hold", "No"}}), "a");
         return r;
     },
     "ec(8,1,s,0,'a')", VOKR_ELEMENT_COUNTER_NOT_FIRST, nullptr, 2},
    {"a counter value above the maximum",
     [](DIAGRAM& d) {
         VOKR_OBJECT* r = d.result();
         d.node(op(d, r, "Counter Operator", {{"counter_value", "300"}}), "a");
         return r;
     },
     "ec(8,255,e,1,'a')", VOKR_ELEMENT_COUNTER_OVER_MAX},
    {"a reduction of a bitwise operation",
     [](DIAGRAM& d) {
         VOKR_OBJECT* x =
             op(d, op(d, d.result(), "Reduction Operator"), "Bitwise Operator", {{"bitwise", "Bitwise Xor"}});
         d.bus(x, {"c", "d"});
         d.bus(x, {"a", "b"});
         return x->get_root();
     },
     "(|({'a','b'}^{'c','d'}))"},
    {"a complement",
     [](DIAGRAM& d) {
         VOKR_OBJECT* n = op(d, op(d, d.result(), "Reduction Operator", {{"reduction", "Reduction Xor"}}),
                             "Bitwise Operator", {{"bitwise", "Bitwise Complement"}});
         d.bus(n, {"a", "b"});
         return n->get_root();
     },
     "(^~{'a','b'})"},
    {"a named comparison with a pipeline",
     [](DIAGRAM& d) {
         VOKR_OBJECT* c = comparison(d, {{"name", "C"}, {"pipeline_length", "2"}, {"comparison", "Greater Than"}});
         d.bus(c, {"a", "b"});
         d.value(c, "1", {{"configurable", "0"}});
         return c->get_parent();
     },
     "('C':(compare(variable(1),<,{'a','b'},vc,uc)))#2", VOKR_ELEMENT_OK, "(compare(variable(),,{'a','b'},vc,uc))#2"},
    {"a logical not and single bits",
     [](DIAGRAM& d) {
         VOKR_OBJECT* o = op(d, d.result(), "Logical Operator", {{"logical", "Logical Or"}});
         d.box(o, {{"type", "Bit Value"}});
         d.box(o, {{"type", "Bit Value"}, {"bit_value", "False"}, {"configurable", "1"}});
         d.node(op(d, o, "Logical Operator", {{"logical", "Logical Not"}}), "a");
         return o->get_root();
     },
     "or(!'a',0,variable(1))", VOKR_ELEMENT_OK, "or(!'a',0,variable())"},
    {"an unsigned constant True comparison is a constant bit",
     [](DIAGRAM& d) {
         VOKR_OBJECT* c = comparison(d, {{"comparison", "True"}, {"configurable", "1"}});
         d.bus(c, {"a"});
         d.value(c, "1");
         return c->get_parent();
     },
     "1"},
    {"a signed constant True comparison keeps the comparison form",
     [](DIAGRAM& d) {
         VOKR_OBJECT* c =
             comparison(d, {{"comparison", "True"}, {"configurable", "1"}, {"signed_comparison", "Signed Comparison"}});
         d.bus(c, {"a", "b"});
         d.value(c, "1");
         return c->get_parent();
     },
     "compare(1,1,{'a','b'},cc,sc)"},
    {"a negative value in a signed comparison",
     [](DIAGRAM& d) {
         VOKR_OBJECT* c = comparison(
             d, {{"comparison", "Less Than"}, {"configurable", "1"}, {"signed_comparison", "Signed Comparison"}});
         d.bus(c, {"a", "b", "c", "d"});
         d.value(c, "-5");
         return c->get_parent();
     },
     "compare(-5,>,{'a','b','c','d'},cc,sc)"},
    {"a hexadecimal value is written in decimal",
     [](DIAGRAM& d) {
         VOKR_OBJECT* c = comparison(d, {{"configurable", "1"}});
         d.wide_bus(c, 8);
         d.value(c, "fF", {{"display_format", "Hexadecimal"}});
         return c->get_parent();
     },
     "compare(255,==,{'n0','n1','n2','n3','n4','n5','n6','n7'},cc,uc)"},
    {"a value wider than its operand",
     [](DIAGRAM& d) {
         VOKR_OBJECT* c = comparison(d, {{"configurable", "1"}});
         d.wide_bus(c, 8);
         d.value(c, "1FF", {{"display_format", "Hexadecimal"}});
         return c->get_parent();
     },
     "compare(0,==,{'n0','n1','n2','n3','n4','n5','n6','n7'},cc,uc)", VOKR_ELEMENT_VALUE_TOO_WIDE},
    {"a positive value in a signed comparison has one bit fewer",
     [](DIAGRAM& d) {
         VOKR_OBJECT* c = comparison(d, {{"configurable", "1"}, {"signed_comparison", "Signed Comparison"}});
         d.bus(c, {"a", "b", "c", "d"});
         d.value(c, "8");
         return c->get_parent();
     },
     nullptr, VOKR_ELEMENT_VALUE_TOO_WIDE},
    {"a value over 64 bits",
     [](DIAGRAM& d) {
         VOKR_OBJECT* c = comparison(d, {{"configurable", "1"}});
         d.wide_bus(c, 72);
         d.value(c, "ABCDEFGHI", {{"display_format", "8-bit ASCII"}});
         return c->get_parent();
     },
     nullptr, VOKR_ELEMENT_VALUE_OVER_64_BITS},
    {"a value that does not read in its radix",
     [](DIAGRAM& d) {
         VOKR_OBJECT* c = comparison(d, {{"configurable", "1"}});
         d.bus(c, {"a", "b"});
         d.value(c, "-1");  // negative only in a signed comparison
         return c->get_parent();
     },
     "compare(0,==,{'a','b'},cc,uc)", VOKR_ELEMENT_BUS_VALUE},
    {"operands of unknown width",
     [](DIAGRAM& d) {
         VOKR_OBJECT* c = comparison(d, {{"configurable", "1"}});
         d.value(c, "1");
         d.value(c, "2");
         return c->get_parent();
     },
     "compare(0,==,0,cc,uc)", VOKR_ELEMENT_WIDTH_UNKNOWN},
    {"operands of different widths",
     [](DIAGRAM& d) {
         VOKR_OBJECT* x = op(d, op(d, d.result(), "Reduction Operator"), "Bitwise Operator");
         d.bus(x, {"a", "b"});
         d.bus(x, {"c", "d", "e"});
         return x->get_root();
     },
     "(|({'a','b'}&{'c','d','e'}))", VOKR_ELEMENT_WIDTHS_DIFFER},
    {"an operator without inputs", [](DIAGRAM& d) { return op(d, d.result(), "Logical Operator")->get_parent(); },
     "and()", VOKR_ELEMENT_TOO_FEW_INPUTS},
    {"a node without a name", [](DIAGRAM& d) { return d.node(d.result(), "")->get_parent(); }, "",
     VOKR_ELEMENT_NODE_NAME_MISSING},
    {"pattern characters",
     [](DIAGRAM& d) {
         VOKR_OBJECT* e = op(d, d.result(), "Edge & Level Detector", {{"pattern", "RQ"}});
         d.bus(e, {"a", "b"});
         return e->get_parent();
     },
     "mbpm('RQ',{'a','b'})", VOKR_ELEMENT_PATTERN_CHARACTERS},
    {"a short pattern",
     [](DIAGRAM& d) {
         VOKR_OBJECT* e = op(d, d.result(), "Edge & Level Detector", {{"pattern", "R"}});
         d.bus(e, {"a", "b"});
         return e->get_parent();
     },
     nullptr, VOKR_ELEMENT_PATTERN_TOO_SHORT},
    {"a long pattern",
     [](DIAGRAM& d) {
         VOKR_OBJECT* e = op(d, d.result(), "Edge & Level Detector", {{"pattern", "RXX"}});
         d.bus(e, {"a", "b"});
         return e->get_parent();
     },
     nullptr, VOKR_ELEMENT_PATTERN_TOO_LONG},
    {"a delayed bus over a bus",
     [](DIAGRAM& d) {
         VOKR_OBJECT* e = op(d, d.result(), "Edge & Level Detector");
         VOKR_OBJECT* outer = d.box(e, {{"type", "Bus"}, {"data_delay", "2"}});
         d.bus(outer, {"a"});
         return e->get_parent();
     },
     "mbpm('X',{{'a'}})", VOKR_ELEMENT_BUS_DELAY},
    {"a custom HDL block with a pipeline",
     [](DIAGRAM& d) {
         VOKR_OBJECT* h = op(d, d.result(), "Custom Trigger HDL",
                             {{"module_name", "my_trig"}, {"config_bitstream", "0110"}, {"pipeline_length", "3"}});
         d.bus(h, {"a", "b"});
         return h->get_parent();
     },
     "(mnd_custom_trigger_hdl(2,{'a','b'},4,'0110',3,my_trig))#3", VOKR_ELEMENT_OK,
     "(2,{'a','b'},4,'0110',3,my_trig)#3"},
    {"a custom HDL block's bitstream",
     [](DIAGRAM& d) {
         VOKR_OBJECT* h = op(d, d.result(), "Custom Trigger HDL", {{"module_name", "m"}, {"config_bitstream", "01x"}});
         d.bus(h, {"a"});
         return h->get_parent();
     },
     "mnd_custom_trigger_hdl(1,{'a'},3,'01x',0,m)", VOKR_ELEMENT_BITSTREAM},
    {"a custom HDL block without a module",
     [](DIAGRAM& d) { return d.bus(op(d, d.result(), "Custom Trigger HDL"), {"a"})->get_root(); },
     "mnd_custom_trigger_hdl(1,{'a'},0,'',0,)", VOKR_ELEMENT_MODULE_NAME},
    {"routed nodes and quoted names",
     [](DIAGRAM& d) {
         VOKR_OBJECT* a = op(d, d.result(), "Logical Operator");
         VOKR_OBJECT* c = d.box(a, {{"type", "Condition for Incrementally Routed Nodes"}});
         c->set_pattern("1R");
         c->set_power_up_pattern("0X");
         c->set_node_list("'A','B'");
         d.node(a, "it's\\");
         return a->get_root();
     },
     "and('it\\'s\\\\',imbpm('1R',{'A','B'}))", VOKR_ELEMENT_OK, "and('it\\'s\\\\',imbpm(,{'A','B'}))"},
    {"routed nodes in the power-up trigger",
     [](DIAGRAM& d) {
         VOKR_OBJECT* c = d.box(d.result(), {{"type", "Condition for Incrementally Routed Nodes"}});
         c->set_pattern("1R");
         c->set_power_up_pattern("0X");
         c->set_node_list("'A','B'");
         return c->get_root();
     },
     "imbpm('0X',{'A','B'})", VOKR_ELEMENT_OK, nullptr, 1, true},
};

class ExpressionPrinter : public ::testing::TestWithParam<CASE> {};

// Every text with no problem is one the syntax library reads.
TEST_P(ExpressionPrinter, PrintsTheTextAndTheLastProblem)
{
    const CASE& c = GetParam();
    DIAGRAM d;
    VOKR_OBJECT* box = c.build(d);
    const PRINTED printed = print(box, c.condition, c.power_up);
    if (c.full) {
        EXPECT_EQ(printed.full, c.full);
    }
    if (c.short_form) {
        EXPECT_EQ(printed.short_form, c.short_form);
    }
    EXPECT_EQ(printed.code, c.code) << vokr_element_error_text(printed.code);
    EXPECT_EQ(printed.at_fault == nullptr, c.code == VOKR_ELEMENT_OK);
    if (c.code == VOKR_ELEMENT_OK) {
        RUV_ADVANCED_TRIGGER_FACTORY factory;
        EXPECT_TRUE(factory.parse(printed.full)) << factory.get_error_message();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ExpressionPrinter, ::testing::ValuesIn(CASES), [](const auto& info) {
    std::string name;
    for (const char* c = info.param.what; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
});

// The box at fault is the one that raised the last problem met.
TEST(ExpressionPrinterFault, NamesTheBoxOfTheLastProblem)
{
    DIAGRAM d;
    VOKR_OBJECT* r = d.result();
    VOKR_OBJECT* a = op(d, r, "Logical Operator");
    VOKR_OBJECT* unnamed = d.node(a, "");
    VOKR_OBJECT* counter = op(d, a, "Counter Operator", {{"counter_value", "0"}});
    d.node(counter, "c");
    const PRINTED printed = print(r);
    EXPECT_EQ(printed.code, VOKR_ELEMENT_COUNTER_VALUE);
    EXPECT_EQ(printed.at_fault, counter);
    unnamed->set_name("b");
    EXPECT_EQ(print(r, 2).code, VOKR_ELEMENT_COUNTER_NOT_FIRST);
}

// Operand order reuses each operand's short text, so a deep tree prints in one walk per level.
TEST(ExpressionPrinterFault, DeepTreesPrintWhole)
{
    DIAGRAM d;
    VOKR_OBJECT* r = d.result();
    VOKR_OBJECT* parent = r;
    std::string expected;
    constexpr int DEPTH = 200;
    for (int i = 0; i < DEPTH; ++i) {
        parent = op(d, parent, "Logical Operator");
        d.node(parent, ("n" + std::to_string(i)).c_str());
        expected += "and('n" + std::to_string(i) + "'" + (i + 1 < DEPTH ? "," : "");
    }
    expected += std::string(DEPTH, ')');
    const PRINTED printed = print(r);
    EXPECT_EQ(printed.full, expected);
    RUV_ADVANCED_TRIGGER_FACTORY factory;
    EXPECT_TRUE(factory.parse(printed.full)) << factory.get_error_message();
}

// Symbolic values are looked up in the session's tables; each failure reports its own code.
TEST(ExpressionPrinterValues, MnemonicSymbolsAndNodeNames)
{
    KSM_DATA_MNEMONICS mnemonics(nullptr);
    KSM_DATA_MNEMONICS_TABLE* states = mnemonics.create_table("states", 4);
    ASSERT_TRUE(states && states->add_entry("IDLE", "0101"));
    const struct {
        const char* table;
        const char* symbol;
        const char* text;
        uint32_t code;
    } rows[] = {
        {"states", "IDLE", "compare(5,==,{'a','b','c','d'},cc,uc)", VOKR_ELEMENT_OK},
        {"states", "BUSY", "compare(0,==,{'a','b','c','d'},cc,uc)", VOKR_ELEMENT_MNEMONIC_SYMBOL},
        {"modes", "IDLE", "compare(0,==,{'a','b','c','d'},cc,uc)", VOKR_ELEMENT_MNEMONIC_TABLE},
    };
    for (const auto& row : rows) {
        DIAGRAM d;
        VOKR_OBJECT* c = comparison(d, {{"configurable", "1"}});
        d.bus(c, {"a", "b", "c", "d"});
        d.value(c, row.symbol, {{"mnemonic_table", row.table}});
        const PRINTED printed = print(c->get_parent(), 1, false, &mnemonics);
        EXPECT_EQ(printed.full, row.text) << row.table << " " << row.symbol;
        EXPECT_EQ(printed.code, row.code) << row.table << " " << row.symbol;
    }

    QTemporaryDir dir;
    KSM_TX_SESSION session(new VOKR_SESSION_OBJECT, true);
    ASSERT_TRUE(session.create_session(dir.filePath("names.lmx").toLocal8Bit().constData()));
    KSM_TX_TRIGGER* nodes = session.get_trigger_at(0);
    nodes->insert_node("top|a", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false);
    for (const auto& [name, code] : {std::pair{"top|a", VOKR_ELEMENT_OK}, {"top|zz", VOKR_ELEMENT_NODE_NAME_INVALID}}) {
        DIAGRAM d;
        VOKR_OBJECT* r = d.result();
        d.node(r, name);
        EXPECT_EQ(print(r, 1, false, nullptr, nodes).code, code) << name;
    }
}

TEST(ExpressionPrinterValues, DisplayTextsCarryTheirRadix)
{
    const struct {
        const char* format;
        const char* value;
        const char* shown;
    } rows[] = {{"Hexadecimal", "1F", "1Fh"},
                {"Octal", "17", "17o"},
                {"Binary", "101", "101b"},
                {"Decimal", "9", "9"},
                {"8-bit ASCII", "hi", "\"hi\""}};
    for (const auto& row : rows) {
        DIAGRAM d;
        VOKR_OBJECT* v = d.value(nullptr, row.value, {{"display_format", row.format}});
        EXPECT_EQ(v->get_bus_value(-1, nullptr, nullptr, nullptr).toStdString(), row.shown) << row.format;
        v->set_attribute("mnemonic_table", "states");
        EXPECT_EQ(v->get_bus_value(-1, nullptr, nullptr, nullptr).toStdString(), row.value) << row.format;
    }
}

TEST(ExpressionPrinterValues, ShiftValues)
{
    const struct {
        int64_t v;
        int w, t, d, s;
        uint64_t expected;
    } rows[] = {
        {200, 8, 0, 0, 2, 32},
        {200, 8, 0, 1, 3, 25},
        {0x81, 8, 1, 0, 1, 0x03},
        {0x81, 8, 1, 1, 1, 0xC0},
        {0x81, 8, 1, 0, 9, 0x03},
        {0x80, 8, 2, 1, 2, 0xE0},
        {0x41, 8, 2, 0, 1, 0x82},
        {-1, 4, 0, 1, 1, 0x7},
        {5, -1, 0, 0, 1, 0},
        {5, 8, 3, 0, 1, 5},
        {0x81, 8, 1, 2, 1, 0x81},
        {5, 8, 1, 0, 0, 5},
        {INT64_MIN + 1, 64, 1, 0, 1, 3},
    };
    for (const auto& r : rows)
        EXPECT_EQ(VOKR_OBJECT::shift_value(r.v, r.w, r.t, r.d, r.s), r.expected)
            << r.v << " w" << r.w << " t" << r.t << " d" << r.d << " s" << r.s;
}

TEST(ExpressionPrinterValues, MirroredComparisonKinds)
{
    const std::pair<int, int> rows[] = {{12, 17}, {13, 16}, {14, 14}, {15, 15}, {16, 13}, {17, 12}, {18, 18},
                                        {20, 25}, {29, 32}, {37, 40}, {41, 36}, {43, 43}, {44, 44}, {2, 2}};
    for (const auto& [kind, mirrored] : rows)
        EXPECT_EQ(VOKR_OBJECT::mirror_comparison_kind(kind), mirrored) << kind;
}

}  // namespace
