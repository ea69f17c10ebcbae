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
    const char* tree;  // in the notation of DIAGRAM::make; the root box is printed
    const char* full;  // null: not compared
    uint32_t code = VOKR_ELEMENT_OK;
    const char* short_form = nullptr;  // null: not compared
    int condition = 1;
    bool power_up = false;
};

// The names the notation gives the nodes of bus*64, and comparisons of them with the smallest
// 64-bit value: as typed, and shifted right by one (worked out, as the printer folds a shift of
// a decimal value).
const std::string NODES_64 = [] {
    std::string names;
    for (int i = 0; i < 64; ++i)
        names += (i ? ",'n" : "{'n") + std::to_string(i) + "'";
    return names + "}";
}();
const std::string LOWEST_COMPARED = "compare(-9223372036854775808,>," + NODES_64 + ",cc,sc)";
const std::string LOWEST_SHIFTED = "compare(variable(4611686018427387904),==," + NODES_64 + ",vc,sc)";

const CASE CASES[] = {
    {"operands are ordered by their short texts", "result(logical('b','a'))", "and('a','b')", VOKR_ELEMENT_OK,
     "and('a','b')"},
    {"a constant sorts first and mirrors the operator",
     "result(compare[comparison=Less Than;configurable=1](bus('a','b'),#2))", "compare(2,>,{'a','b'},cc,uc)",
     VOKR_ELEMENT_OK, "compare(2,,{'a','b'},cc,uc)"},
    {"a lone operand on the second port is the only operand", "result(compare[first_port_empty=1](bus('a','b')))",
     "compare({'a','b'},==,,vc,uc)", VOKR_ELEMENT_WRONG_INPUT_COUNT},
    {"a node's own delay", "result(node[name=n;data_delay=3])", "('n'@3)"},
    {"a bus's delay passes to its nodes", "result(eld(bus[data_delay=2]('n','m')))", "mbpm('XX',{('n'@2),('m'@2)})"},
    {"a detector over one bus writes no second braces", "result(eld(bus('a','b','c','d')))",
     "mbpm('XXXX',{'a','b','c','d'})", VOKR_ELEMENT_OK, "mbpm(,{'a','b','c','d'})"},
    {"a detector over nodes", "result(eld[pattern=RX]('a','b'))", "mbpm('RX',{'a','b'})"},
    {"a bus listed least significant first", "result(eld(bus[bit_order=LSB to MSB]('a','b','c')))",
     "mbpm('XXX',{'c','b','a'})"},
    {"a shift of a decimal value is folded at the width its surroundings give",
     "result(compare(shift[shift_distance=2](value[bus_value=200]),bus*8))",
     "compare(variable(32),==,{'n0','n1','n2','n3','n4','n5','n6','n7'},vc,uc)"},
    {"a rotation of a bus",
     "result(compare(shift[shift_type=Rotate;shift_direction=Right;shift_distance=3](bus('a','b','c','d')),#5))",
     "compare(5,==,shift(rotate,right,3,{'a','b','c','d'}),vc,uc)", VOKR_ELEMENT_OK,
     "compare(5,,shift(rotate,,,{'a','b','c','d'}),vc,uc)"},
    {"a shift of one bit", "result(reduction[reduction=Reduction And](shift('a')))", "(&shift(logical,left,0,'a'))",
     VOKR_ELEMENT_SHIFT_WIDTH},
    {"a counter in the first condition", "result(counter('a'))", "ec(8,1,e,1,'a')", VOKR_ELEMENT_OK, "ec(8,,,,'a')"},
    {"a counter in a later condition has a whole text", "result(counter[counter_type=State;counter_hold=No]('a'))",
     "ec(8,1,s,0,'a')", VOKR_ELEMENT_COUNTER_NOT_FIRST, nullptr, 2},
    {"a counter value above the maximum", "result(counter[counter_value=300]('a'))", "ec(8,255,e,1,'a')",
     VOKR_ELEMENT_COUNTER_OVER_MAX},
    {"a reduction of a bitwise operation", "result(reduction(bitwise[bitwise=Bitwise Xor](bus('c','d'),bus('a','b'))))",
     "(|({'a','b'}^{'c','d'}))"},
    {"a complement", "result(reduction[reduction=Reduction Xor](bitwise[bitwise=Bitwise Complement](bus('a','b'))))",
     "(^~{'a','b'})"},
    {"a named comparison with a pipeline",
     "result(compare[name=C;pipeline_length=2;comparison=Greater Than](bus('a','b'),value[bus_value=1]))",
     "('C':(compare(variable(1),<,{'a','b'},vc,uc)))#2", VOKR_ELEMENT_OK, "(compare(variable(),,{'a','b'},vc,uc))#2"},
    {"a logical not and single bits",
     "result(logical[logical=Logical Or](bit,bit[bit_value=False;configurable=1],logical[logical=Logical Not]('a')))",
     "or(!'a',0,variable(1))", VOKR_ELEMENT_OK, "or(!'a',0,variable())"},
    {"an unsigned constant True comparison is a constant bit",
     "result(compare[comparison=True;configurable=1](bus('a'),#1))", "1"},
    {"a signed constant True comparison keeps the comparison form",
     "result(compare[comparison=True;configurable=1;signed_comparison=Signed Comparison](bus('a','b'),#1))",
     "compare(1,1,{'a','b'},cc,sc)"},
    {"a negative value in a signed comparison",
     "result(compare[comparison=Less Than;configurable=1;signed_comparison=Signed "
     "Comparison](bus('a','b','c','d'),#-5))",
     "compare(-5,>,{'a','b','c','d'},cc,sc)"},
    {"a hexadecimal value is written in decimal",
     "result(compare[configurable=1](bus*8,value[configurable=1;display_format=Hexadecimal;bus_value=fF]))",
     "compare(255,==,{'n0','n1','n2','n3','n4','n5','n6','n7'},cc,uc)"},
    {"a value wider than its operand",
     "result(compare[configurable=1](bus*8,value[configurable=1;display_format=Hexadecimal;bus_value=1FF]))",
     "compare(0,==,{'n0','n1','n2','n3','n4','n5','n6','n7'},cc,uc)", VOKR_ELEMENT_VALUE_TOO_WIDE},
    {"a positive value in a signed comparison has one bit fewer",
     "result(compare[configurable=1;signed_comparison=Signed Comparison](bus('a','b','c','d'),#8))", nullptr,
     VOKR_ELEMENT_VALUE_TOO_WIDE},
    {"a value over 64 bits",
     "result(compare[configurable=1](bus*72,value[configurable=1;display_format=8-bit ASCII;bus_value=ABCDEFGHI]))",
     nullptr, VOKR_ELEMENT_VALUE_OVER_64_BITS},
    {"the smallest 64-bit value in a signed comparison",
     "result(compare[comparison=Less Than;configurable=1;signed_comparison=Signed "
     "Comparison](bus*64,#-9223372036854775808))",
     LOWEST_COMPARED.c_str()},
    {"a shift of the smallest 64-bit value is worked out",
     "result(compare[signed_comparison=Signed Comparison](shift[shift_direction=Right;shift_distance=1](value[bus_"
     "value=-9223372036854775808]),bus*64))",
     LOWEST_SHIFTED.c_str()},
    {"a value below the smallest 64-bit value",
     "result(compare[configurable=1;signed_comparison=Signed Comparison](bus*64,#-9223372036854775809))", nullptr,
     VOKR_ELEMENT_BUS_VALUE},
    {"a negative value outside a signed comparison", "result(compare[configurable=1](bus('a','b'),#-1))",
     "compare(0,==,{'a','b'},cc,uc)", VOKR_ELEMENT_BUS_VALUE},
    {"operands of unknown width", "result(compare[configurable=1](#1,#2))", "compare(0,==,0,cc,uc)",
     VOKR_ELEMENT_WIDTH_UNKNOWN},
    {"operands of different widths", "result(reduction(bitwise(bus('a','b'),bus('c','d','e'))))",
     "(|({'a','b'}&{'c','d','e'}))", VOKR_ELEMENT_WIDTHS_DIFFER},
    {"an operator without inputs", "result(logical)", "and()", VOKR_ELEMENT_TOO_FEW_INPUTS},
    {"a node without a name", "result(node)", "", VOKR_ELEMENT_NODE_NAME_MISSING},
    {"pattern characters", "result(eld[pattern=RQ](bus('a','b')))", "mbpm('RQ',{'a','b'})",
     VOKR_ELEMENT_PATTERN_CHARACTERS},
    {"a short pattern", "result(eld[pattern=R](bus('a','b')))", nullptr, VOKR_ELEMENT_PATTERN_TOO_SHORT},
    {"a long pattern", "result(eld[pattern=RXX](bus('a','b')))", nullptr, VOKR_ELEMENT_PATTERN_TOO_LONG},
    {"a delayed bus over a bus", "result(eld(bus[data_delay=2](bus('a'))))", "mbpm('X',{{'a'}})",
     VOKR_ELEMENT_BUS_DELAY},
    {"a custom HDL block with a pipeline",
     "result(hdl[module_name=my_trig;config_bitstream=0110;pipeline_length=3](bus('a','b')))",
     "(mnd_custom_trigger_hdl(2,{'a','b'},4,'0110',3,my_trig))#3", VOKR_ELEMENT_OK,
     "(2,{'a','b'},4,'0110',3,my_trig)#3"},
    {"a custom HDL block's bitstream", "result(hdl[module_name=m;config_bitstream=01x](bus('a')))",
     "mnd_custom_trigger_hdl(1,{'a'},3,'01x',0,m)", VOKR_ELEMENT_BITSTREAM},
    {"a custom HDL block without a module", "result(hdl(bus('a')))", "mnd_custom_trigger_hdl(1,{'a'},0,'',0,)",
     VOKR_ELEMENT_MODULE_NAME},
    {"routed nodes and quoted names",
     "result(logical(cirn[pattern=1R;powerup_pattern=0X;node_list='A','B'],node[name=it's\\]))",
     "and('it\\'s\\\\',imbpm('1R',{'A','B'}))", VOKR_ELEMENT_OK, "and('it\\'s\\\\',imbpm(,{'A','B'}))"},
    {"routed nodes in the power-up trigger", "result(cirn[pattern=1R;powerup_pattern=0X;node_list='A','B'])",
     "imbpm('0X',{'A','B'})", VOKR_ELEMENT_OK, nullptr, 1, true},
};

class ExpressionPrinter : public ::testing::TestWithParam<CASE> {};

// Every text with no problem is one the syntax library reads and comes back the same from the
// diagram the tree generator builds of it; every text it reads builds a diagram without a problem.
TEST_P(ExpressionPrinter, PrintsTheTextAndTheLastProblem)
{
    const CASE& c = GetParam();
    DIAGRAM d;
    const PRINTED printed = print(d.make(c.tree), c.condition, c.power_up);
    if (c.full) {
        EXPECT_EQ(printed.full, c.full);
    }
    if (c.short_form) {
        EXPECT_EQ(printed.short_form, c.short_form);
    }
    EXPECT_EQ(printed.code, c.code) << vokr_element_error_text(printed.code);
    EXPECT_EQ(printed.at_fault == nullptr, c.code == VOKR_ELEMENT_OK);
    std::string error;
    uint32_t again_code = VOKR_ELEMENT_OK;
    const std::string again = regenerated(printed.full, &error, &again_code);
    if (c.code == VOKR_ELEMENT_OK) {
        EXPECT_TRUE(error.empty()) << error;
        EXPECT_EQ(again, printed.full);
    }
    if (error.empty()) {
        EXPECT_EQ(again_code, VOKR_ELEMENT_OK) << again << ": " << vokr_element_error_text(again_code);
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
    VOKR_OBJECT* r = d.make("result(logical(node,counter[counter_value=0]('c')))");
    VOKR_OBJECT* unnamed = r->get_children()[0]->get_children()[0];
    VOKR_OBJECT* counter = r->get_children()[0]->get_children()[1];
    const PRINTED printed = print(r);
    EXPECT_EQ(printed.code, VOKR_ELEMENT_COUNTER_VALUE);
    EXPECT_EQ(printed.at_fault, counter);
    unnamed->set_name("b");
    EXPECT_EQ(print(r, 2).code, VOKR_ELEMENT_COUNTER_NOT_FIRST);
}

// Operand order reuses each operand's short text, so a deep tree prints in one walk per level.
TEST(ExpressionPrinterFault, DeepTreesPrintWhole)
{
    constexpr int DEPTH = 200;
    std::string tree = "result(", expected;
    for (int i = 0; i < DEPTH; ++i) {
        const std::string node = "'n" + std::to_string(i) + "'" + (i + 1 < DEPTH ? "," : "");
        tree += "logical(" + node;
        expected += "and(" + node;
    }
    tree += std::string(DEPTH + 1, ')');
    expected += std::string(DEPTH, ')');
    DIAGRAM d;
    const PRINTED printed = print(d.make(tree));
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
        VOKR_OBJECT* r =
            d.make(std::string("result(compare[configurable=1](bus('a','b','c','d'),value[configurable=1;") +
                   "mnemonic_table=" + row.table + ";bus_value=" + row.symbol + "]))");
        const PRINTED printed = print(r, 1, false, &mnemonics);
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
        EXPECT_EQ(print(d.make(std::string("result('") + name + "')"), 1, false, nullptr, nodes).code, code) << name;
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
        VOKR_OBJECT* v = d.make(std::string("value[display_format=") + row.format + ";bus_value=" + row.value + "]");
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

TEST(ExpressionPrinterValues, OperandOrderAndMirroredComparisonKinds)
{
    DIAGRAM d;
    VOKR_OBJECT* a = d.make("logical(node[name=x;alias=second],bit,'x')");
    VOKR_OBJECT* second_x = a->get_children()[0];
    VOKR_OBJECT* value = a->get_children()[1];
    VOKR_OBJECT* first_x = a->get_children()[2];
    QList<VOKR_OBJECT*> sorted;
    a->get_sorted_children(&sorted, 2);
    EXPECT_EQ(sorted, (QList<VOKR_OBJECT*>{second_x, value}));
    a->get_sorted_children(&sorted, 3);
    EXPECT_EQ(sorted, (QList<VOKR_OBJECT*>{second_x, first_x, value}));  // equal texts keep their order
    EXPECT_TRUE(VOKR_OBJECT::less_by_equation(first_x, value));
    EXPECT_FALSE(VOKR_OBJECT::less_by_equation(first_x, second_x));

    const std::pair<int, int> rows[] = {{12, 17}, {13, 16}, {14, 14}, {15, 15}, {16, 13}, {17, 12}, {18, 18},
                                        {20, 25}, {29, 32}, {37, 40}, {41, 36}, {43, 43}, {44, 44}, {2, 2}};
    for (const auto& [kind, mirrored] : rows)
        EXPECT_EQ(VOKR_OBJECT::mirror_comparison_kind(kind), mirrored) << kind;
}

}  // namespace
