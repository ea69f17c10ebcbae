// The advanced-trigger syntax library: every form the editor prints parses into the right
// nodes (and settles into the editor's text after one diagram), faulty text is refused with its
// column, random text never crashes or hangs, levels line up in time and a level's logic is
// written as a Verilog module.
#include "diagram_builder.h"
#include "ruv.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iterator>
#include <random>

namespace {

using NODE = RUV_ADVANCED_TRIGGER_BASE;

// A tree as text, written by a visitor so that every expression slot is exercised: one token
// per node with its class, codes and width after ':', inputs in input order in parentheses.
class DUMP final : public RUV_ADVANCED_TRIGGER_VISITOR {
public:
    std::string text;

    void visit_event_counter(RUV_ADVANCED_TRIGGER_EVENT_COUNTER* n) override
    {
        put(n, "ec" + std::to_string(n->get_mode()) + (n->get_hold_status() ? "h" : "") + "/" +
                   std::to_string(n->get_counter_width()) + "/" + std::to_string(n->get_counter_value()));
    }
    void visit_imbpm(RUV_ADVANCED_TRIGGER_IMBPM* n) override
    {
        std::string names;
        for (const std::string& name : n->get_node_names())
            names += "," + name;
        put(n, "imbpm'" + std::string(n->get_pattern()) + "'" + names);
    }
    void visit_mbpm(RUV_ADVANCED_TRIGGER_MBPM* n) override { put(n, "mbpm'" + std::string(n->get_pattern()) + "'"); }
    void visit_bus(RUV_ADVANCED_TRIGGER_BUS* n) override { put(n, "bus"); }
    void visit_input_variable(RUV_ADVANCED_TRIGGER_INPUT_CONSTANT* n) override
    {
        put(n, "var" + std::to_string(n->get_value()));
    }
    void visit_input_constant(RUV_ADVANCED_TRIGGER_INPUT_CONSTANT* n) override
    {
        put(n, "const" + std::to_string(n->get_value()));
    }
    void visit_design_node(RUV_ADVANCED_TRIGGER_DESIGN_NODE* n) override { put(n, ""); }
    void visit_output(RUV_ADVANCED_TRIGGER_OUTPUT* n) override { put(n, "out"); }
    void visit_shift(RUV_ADVANCED_TRIGGER_SHIFT* n) override
    {
        put(n, "shift" + std::to_string(n->get_operation()) + (n->get_shift_direction() ? "r" : "l") +
                   std::to_string(n->get_shift_amount()));
    }
    void visit_compare_variable(RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT* n) override { compare(n, "vcmp"); }
    void visit_compare_constant(RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT* n) override { compare(n, "ccmp"); }
    void visit_bitwise(RUV_ADVANCED_TRIGGER_BITWISE* n) override { put(n, "bit" + std::to_string(n->get_operation())); }
    void visit_custom_hdl(RUV_ADVANCED_TRIGGER_CUSTOM_HDL* n) override
    {
        put(n, "hdl/" + std::string(n->get_module_name()) + "/" + n->get_bitstream() + "/" +
                   std::to_string(n->get_pipeline_latency()));
    }
    void visit_unary(RUV_ADVANCED_TRIGGER_UNARY* n) override { put(n, "red" + std::to_string(n->get_operation())); }
    void visit_logical(RUV_ADVANCED_TRIGGER_LOGICAL* n) override { put(n, "log" + std::to_string(n->get_operation())); }

private:
    void compare(RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT* n, const char* form)
    {
        put(n, form + std::to_string(n->get_operation()) + (n->get_signed_mode() ? "s" : "u"));
    }

    void put(NODE* n, const std::string& token)
    {
        if (n->get_name())
            text += std::string("'") + n->get_name() + (token.empty() ? "'" : "'=");
        text += token + ":" + std::to_string(n->get_bit_width());
        if (n->get_delay())
            text += "@" + std::to_string(n->get_delay());
        if (n->get_input_count() == 0)
            return;
        text += "(";
        for (int i = 0; i < n->get_input_count(); ++i) {
            text += i ? "," : "";
            n->get_input_connection_at(i)->accept(this);
        }
        text += ")";
    }
};

std::string dump(RUV_ADVANCED_TRIGGER_FACTORY& factory)
{
    DUMP visitor;
    factory.get_root()->accept(&visitor);
    return visitor.text;
}

// Every parsed tree is linked both ways and its iterator meets every node once.
void expect_consistent_tree(const RUV_ADVANCED_TRIGGER_FACTORY& factory)
{
    ASSERT_NE(factory.get_root(), nullptr);
    EXPECT_EQ(factory.get_root()->get_output_connection(), nullptr);
    int count = 0;
    for (RUV_ADVANCED_TRIGGER_ITERATOR it(factory.get_root()); !it.done(); it.next(), ++count) {
        EXPECT_GE(it.item()->get_bit_width(), 1);
        for (int i = 0; i < it.item()->get_input_count(); ++i)
            ASSERT_EQ(it.item()->get_input_connection_at(i)->get_output_connection(), it.item());
    }
    EXPECT_EQ(count, factory.get_node_count());
}

struct FORM {
    const char* text;
    const char* tree;
};

// Texts as the editor prints them, and the trees they stand for.
const FORM forms[] = {
    {"and('a','b')", "out:1(log0:1('a':1,'b':1))"},
    {"compare(2,>,{'a','b'},cc,uc)", "out:1(ccmp0u:1(const2:2,bus:2('b':1,'a':1)))"},
    {"('n'@3)", "out:1('n':1@3)"},
    {"mbpm('XXXX',{'a','b','c','d'})", "out:1(mbpm'XXXX':1(bus:4('d':1,'c':1,'b':1,'a':1)))"},
    {"mbpm('XX',{'a','b'})", "out:1(mbpm'XX':1(bus:2('b':1,'a':1)))"},
    {"mbpm('RF',{('a'@2),'b'})", "out:1(mbpm'RF':1(bus:2('b':1,'a':1@2)))"},
    {"mbpm('XXX','b':({'a',{'c','d'}}))", "out:1(mbpm'XXX':1('b'=bus:3(bus:2('d':1,'c':1),'a':1)))"},
    {"compare(variable(32),==,{'a','b','c','d','e','f','g','h'},vc,uc)",
     "out:1(vcmp4u:1(var32:8,bus:8('h':1,'g':1,'f':1,'e':1,'d':1,'c':1,'b':1,'a':1)))"},
    {"compare(constant(3),<=,{'a','b'},cc,uc)", "out:1(ccmp3u:1(const3:2,bus:2('b':1,'a':1)))"},
    {"compare({'a','b','c','d'},<,-5,cc,sc)", "out:1(ccmp2s:1(bus:4('d':1,'c':1,'b':1,'a':1),const-5:4))"},
    {"compare({'a','b'},>=,{'c','d'},vc,uc)", "out:1(vcmp1u:1(bus:2('b':1,'a':1),bus:2('d':1,'c':1)))"},
    {"compare({'a','b'},!=,{'c','d'},vc,uc)", "out:1(vcmp5u:1(bus:2('b':1,'a':1),bus:2('d':1,'c':1)))"},
    {"compare({'a','b'},TRUE,{'c','d'},vc,uc)", "out:1(vcmp7u:1(bus:2('b':1,'a':1),bus:2('d':1,'c':1)))"},
    {"compare({'a','b'},FALSE,{'c','d'},vc,uc)", "out:1(vcmp6u:1(bus:2('b':1,'a':1),bus:2('d':1,'c':1)))"},
    {"compare({'a','b'},1,{'c','d'},cc,sc)", "out:1(ccmp7s:1(bus:2('b':1,'a':1),bus:2('d':1,'c':1)))"},
    {"compare({'a','b'},0,{'c','d'},cc,sc)", "out:1(ccmp6s:1(bus:2('b':1,'a':1),bus:2('d':1,'c':1)))"},
    {"(compare({'a','b'},==,variable(1),vc,uc))#2", "out:1(vcmp4u:1@2(bus:2('b':1,'a':1),var1:2))"},
    {"('p':(compare(5,>,{'a','b','c'},cc,uc)))#3", "out:1('p'=ccmp0u:1@3(const5:3,bus:3('c':1,'b':1,'a':1)))"},
    {"or(1,variable(0),!'a')", "out:1(log2:1(const1:1,var0:1,log6:1('a':1)))"},
    {"xor('a','b','c')", "out:1(log4:1('a':1,'b':1,'c':1))"},
    {"1", "out:1(const1:1)"},
    {"'t':(variable(1))", "out:1('t'=var1:1)"},
    {"'r':(('n'@3))", "'r'=out:1('n':1@3)"},  // a name its operand cannot take is the result's
    {"'r':('x':(and('a','b')))", "'r'=out:1('x'=log0:1('a':1,'b':1))"},
    {"compare({'a',1},==,2,cc,uc)", "out:1(ccmp4u:1(bus:2(const1:1,'a':1),const2:2))"},
    {"compare(({'a','b'}&{'c','d'}),==,({'e','f'}|3),cc,uc)",
     "out:1(ccmp4u:1(bit0:2(bus:2('b':1,'a':1),bus:2('d':1,'c':1)),bit2:2(bus:2('f':1,'e':1),const3:2)))"},
    {"compare('x':({'a','b'}^{'c','d'}),==,~{'e','f'},cc,uc)",
     "out:1(ccmp4u:1('x'=bit4:2(bus:2('b':1,'a':1),bus:2('d':1,'c':1)),bit6:2(bus:2('f':1,'e':1))))"},
    {"compare((5&variable(6)),==,{'a','b','c','d'},cc,uc)",
     "out:1(ccmp4u:1(bit0:4(const5:4,var6:4),bus:4('d':1,'c':1,'b':1,'a':1)))"},
    {"and((&{'a','b'}),(|{'c'}),'r':(^{'d','e'}))",
     "out:1(log0:1(red0:1(bus:2('b':1,'a':1)),red2:1(bus:1('c':1)),'r'=red4:1(bus:2('e':1,'d':1))))"},
    {"compare(shift(logical,left,2,{'a','b','c'}),==,4,vc,uc)",
     "out:1(vcmp4u:1(shift2l2:3(bus:3('c':1,'b':1,'a':1)),const4:3))"},
    {"compare(shift(rotate,right,0,{'a','b'}),==,'s':(shift(arithmetic,right,2,{'c','d'})),cc,uc)",
     "out:1(ccmp4u:1(shift0r0:2(bus:2('b':1,'a':1)),'s'=shift1r2:2(bus:2('d':1,'c':1))))"},
    {"ec(8,255,c,1,'a')", "out:1(ec0h/8/255:1('a':1))"},
    {"and(ec(2,3,e,0,and('a','b')),'k':(ec(1,1,s,1,1)))",
     "out:1(log0:1(ec1/2/3:1(log0:1('a':1,'b':1)),'k'=ec2h/1/1:1(const1:1)))"},
    {"imbpm('1R',{'A','B'})", "out:1(imbpm'1R',A,B:1)"},
    {"imbpm()", "out:1(imbpm'':1)"},
    {"and('c':(imbpm('X',{'q'})),'a')", "out:1(log0:1('c'=imbpm'X',q:1,'a':1))"},
    {"mnd_custom_trigger_hdl(2,{'a','b'},3,'101',0,my_trigger)", "out:1(hdl/my_trigger/101/0:1(bus:2('b':1,'a':1)))"},
    {"(mnd_custom_trigger_hdl(3,{'a',('b'@1),'c'},0,'',4,m))#4", "out:1(hdl/m//4:1(bus:3('c':1,'b':1@1,'a':1)))"},
    {"'a\\'b\\\\c'", "out:1('a'b\\c':1)"},
    {"'top|sub|x[3]\\y'", "out:1('top|sub|x[3]\\y':1)"},
    {" and ( 'a' ,\t'b' )\n", "out:1(log0:1('a':1,'b':1))"},
    {"compare(18446744073709551615,==,variable(1),cc,uc)", "out:1(ccmp4u:1(const-1:64,var1:64))"},
};

// The editor's diagram of a form prints a text that comes back the same through another diagram.
TEST(RuvParse, EveryPrintedFormBuildsItsTree)
{
    for (const FORM& form : forms) {
        SCOPED_TRACE(form.text);
        RUV_ADVANCED_TRIGGER_FACTORY factory;
        ASSERT_TRUE(factory.parse(form.text)) << factory.get_error_message();
        EXPECT_EQ(dump(factory), form.tree);
        expect_consistent_tree(factory);
        const std::string printed = diagram::regenerated(form.text);
        EXPECT_EQ(diagram::regenerated(printed), printed);
    }
}

// Design nodes are named after themselves, the bus keeps its least significant member (written
// last) as input 0, and a constant feeding a single-bit consumer sees one of kinds 0, 6, 10, 14.
TEST(RuvParse, NamesBusOrderAndSingleBitConsumers)
{
    RUV_ADVANCED_TRIGGER_FACTORY factory;
    ASSERT_TRUE(factory.parse("compare({'b2','b1','b0'},==,5,cc,uc)"));
    NODE* bus = factory.get_root()->get_input_connection_at(0)->get_input_connection_at(0);
    for (int i = 0; i < 3; ++i)
        EXPECT_STREQ(bus->get_input_connection_at(i)->get_name(), ("b" + std::to_string(i)).c_str());
    EXPECT_EQ(bus->get_name(), nullptr);

    const struct {
        const char* text;
        int consumer_kind;
    } consumers[] = {{"1", RUV_KIND_OUTPUT},
                     {"and('a',1)", RUV_KIND_LOGICAL},
                     {"ec(2,3,c,0,1)", RUV_KIND_EVENT_COUNTER},
                     {"compare({'a',1},==,2,cc,uc)", RUV_KIND_BUS},
                     {"compare(1,==,{'a'},vc,uc)", RUV_KIND_COMPARE_VARIABLE}};
    for (const auto& c : consumers) {
        ASSERT_TRUE(factory.parse(c.text)) << c.text;
        NODE* one = nullptr;
        for (RUV_ADVANCED_TRIGGER_ITERATOR it(factory.get_root()); !it.done(); it.next())
            if (it.item()->get_node_kind() == RUV_KIND_INPUT_CONSTANT && !one)
                one = it.item();
        ASSERT_NE(one, nullptr) << c.text;
        EXPECT_EQ(one->get_bit_width(), 1) << c.text;
        EXPECT_EQ(one->get_output_connection()->get_node_kind(), c.consumer_kind) << c.text;
    }
}

// The flow nodes call the first fourteen slots; an expression walk never reaches them.
TEST(RuvParse, FlowNodesVisitSlotsOneToFourteen)
{
    struct SLOTS final : RUV_ADVANCED_TRIGGER_VISITOR {
        std::vector<int> seen;
        void visit_state_machine(RUV_FLOW_STATE_MACHINE*) override { seen.push_back(1); }
        void visit_if(RUV_FLOW_IF*) override { seen.push_back(4); }
        void visit_flag_test(RUV_FLOW_FLAG_TEST*) override { seen.push_back(14); }
        void visit_event_counter(RUV_ADVANCED_TRIGGER_EVENT_COUNTER*) override {}
        void visit_imbpm(RUV_ADVANCED_TRIGGER_IMBPM*) override {}
        void visit_mbpm(RUV_ADVANCED_TRIGGER_MBPM*) override {}
        void visit_bus(RUV_ADVANCED_TRIGGER_BUS*) override {}
        void visit_input_variable(RUV_ADVANCED_TRIGGER_INPUT_CONSTANT*) override {}
        void visit_input_constant(RUV_ADVANCED_TRIGGER_INPUT_CONSTANT*) override {}
        void visit_design_node(RUV_ADVANCED_TRIGGER_DESIGN_NODE*) override {}
        void visit_output(RUV_ADVANCED_TRIGGER_OUTPUT*) override {}
        void visit_shift(RUV_ADVANCED_TRIGGER_SHIFT*) override {}
        void visit_compare_variable(RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT*) override {}
        void visit_compare_constant(RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT*) override {}
        void visit_bitwise(RUV_ADVANCED_TRIGGER_BITWISE*) override {}
        void visit_custom_hdl(RUV_ADVANCED_TRIGGER_CUSTOM_HDL*) override {}
        void visit_unary(RUV_ADVANCED_TRIGGER_UNARY*) override {}
        void visit_logical(RUV_ADVANCED_TRIGGER_LOGICAL*) override {}
    } visitor;
    RUV_FLOW_STATE_MACHINE machine;
    RUV_FLOW_IF branch;
    RUV_FLOW_FLAG_TEST flag;
    RUV_FLOW_GOTO jump;
    for (NODE* node : std::initializer_list<NODE*>{&machine, &branch, &flag, &jump})
        node->accept(&visitor);
    EXPECT_EQ(visitor.seen, (std::vector<int>{1, 4, 14}));
    EXPECT_EQ(machine.get_node_kind(), 15);
    EXPECT_EQ(flag.get_node_kind(), 28);
}

struct FAULT {
    const char* text;
    int column;
    const char* reason;
};

const FAULT faults[] = {
    {"", 1, "empty"},
    {"   ", 1, "empty"},
    {"and('a','b'", 12, "expected ')' but found end"},
    {"and()", 5, "expected an operand but found ')'"},
    {"and('a',)", 9, "expected an operand"},
    {"'a", 1, "not closed"},
    {"and('a','b'))", 13, "after the expression"},
    {"compare({'a','b'},=>,2,cc,uc)", 19, "comparison operator"},
    {"compare({'a','b'},==,2,xc,uc)", 24, "expected vc or cc but found 'xc'"},
    {"foo('a')", 1, "unknown word 'foo'"},
    {"{}", 2, "expected an operand"},
    {"''", 1, "needs a name"},
    {"and('n':('a'),'b')", 5, "cannot be given another name"},
    {"!'x':('y':(and('a','b')))", 2, "already has a name"},
    {"compare({'a','b'},==,{'c'},cc,uc)", 1, "operands of compare are 2 and 1 bits wide"},
    {"and({'a','b'},'c')", 5, "needs an operand of 1 bit(s); this one has 2"},
    {"{'a','b'}", 1, "needs an operand of 1 bit(s)"},
    {"compare({'a','b'},==,5,cc,uc)", 22, "the value 5 does not fit in 2 bits"},
    {"compare({'a','b'},==,-3,cc,sc)", 22, "the value -3 does not fit in 2 bits"},
    {"and(2,'a')", 5, "the value 2 does not fit in 1 bits"},
    {"mbpm('XXX',{'a','b'})", 12, "needs an operand of 3 bit(s); this one has 2"},
    {"mbpm('XQ',{'a','b'})", 8, "only the characters XLFRHExlfrhe01"},
    {"mbpm('',{'a'})", 6, "pattern is empty"},
    {"mbpm('XX','a')", 11, "one bus"},
    {"imbpm('1R',{'A'})", 7, "2 characters for 1 nodes"},
    {"ec(8,256,c,1,'a')", 6, "counter value"},
    {"ec(0,1,c,1,'a')", 4, "1 to 64 bits"},
    {"ec(8,1,c,2,'a')", 10, "hold flag"},
    {"compare(shift(logical,left,4,{'a','b'}),==,0,cc,uc)", 9, "shift distance exceeds"},
    {"compare(shift(logical,up,1,{'a','b'}),==,0,cc,uc)", 23, "expected left or right"},
    {"mnd_custom_trigger_hdl(2,{'a','b'},3,'10',0,m)", 38, "not 3 characters long"},
    {"mnd_custom_trigger_hdl(2,{'a','b'},2,'12',0,m)", 38, "only the characters 0 and 1"},
    {"mnd_custom_trigger_hdl(3,{'a','b'},0,'',0,m)", 26, "needs an operand of 3 bit(s)"},
    {"mnd_custom_trigger_hdl(2,{'a','b'},0,'',0,)", 43, "expected a word"},
    {"(mnd_custom_trigger_hdl(2,{'a','b'},0,'',3,m))#2", 47, "differs from its latency"},
    {"(and('a','b'))#2", 15, "only compare, mbpm and custom HDL"},
    {"((compare({'a'},==,1,cc,uc))#2)#3", 32, "already has a pipeline"},
    {"(compare({'a'},==,1,cc,uc)@2)", 27, "only a design node without a delay"},
    {"(('a'@1)@2)", 9, "only a design node without a delay"},
    {"'a'\x01", 4, "character 0x01"},
    {"99999999999999999999", 1, "too large"},
    {"compare({'a'},==,-9223372036854775809,cc,sc)", 18, "too small"},
    {"ec(99999999999,1,c,1,'a')", 4, "counter width is too large"},
};

TEST(RuvParse, FaultyTextIsRefusedWithItsColumn)
{
    for (const FAULT& fault : faults) {
        SCOPED_TRACE(fault.text);
        RUV_ADVANCED_TRIGGER_FACTORY factory;
        ASSERT_TRUE(factory.parse("and('a','b')"));
        EXPECT_FALSE(factory.parse(fault.text));
        EXPECT_EQ(factory.get_root(), nullptr);
        EXPECT_EQ(factory.get_node_count(), 0);
        EXPECT_EQ(factory.get_error_column(), fault.column) << factory.get_error_message();
        EXPECT_NE(factory.get_error_message().find("column " + std::to_string(fault.column) + ":"), std::string::npos);
        EXPECT_NE(factory.get_error_message().find(fault.reason), std::string::npos) << factory.get_error_message();
    }
    RUV_ADVANCED_TRIGGER_FACTORY factory;
    EXPECT_FALSE(factory.parse(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(factory.parse(std::string("'a'\0", 4)));
    EXPECT_EQ(factory.get_error_column(), 4);
    EXPECT_FALSE(factory.parse(std::string("'a\0b'", 5)));
    EXPECT_EQ(factory.get_error_column(), 3);
}

std::string nested(const std::string& opener, const std::string& closer, int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += opener;
    text += "'a'";
    for (int i = 0; i < depth; ++i)
        text += closer;
    return text;
}

// Nesting stops at the limit, whatever form the nesting takes.
TEST(RuvParse, NestingIsBounded)
{
    RUV_ADVANCED_TRIGGER_FACTORY factory;
    EXPECT_TRUE(factory.parse(nested("!", "", RUV_MAX_NESTING - 1)));  // the node itself is the last level
    EXPECT_FALSE(factory.parse(nested("!", "", RUV_MAX_NESTING)));
    const std::pair<const char*, const char*> forms[] = {
        {"!", ""}, {"~", ""}, {"(", ")"}, {"{", "}"}, {"and(", ")"}, {"'n':(!", ")"}, {"mbpm('X',{", "})"}};
    for (const auto& form : forms) {
        EXPECT_FALSE(factory.parse(nested(form.first, form.second, 100000)));
        EXPECT_NE(factory.get_error_message().find("nested more than"), std::string::npos) << form.first;
    }
}

// Mutations of the printed forms and random bytes: every text is parsed or refused with a
// column inside it, never a crash or a hang. RUV_FUZZ_ITERATIONS sets the number of texts.
TEST(RuvParse, RandomTextNeverBreaksTheParser)
{
    const char* env = std::getenv("RUV_FUZZ_ITERATIONS");
    const long iterations = env ? std::atol(env) : 50000;
    static const char characters[] = "'(){},:@#!~&|^-0123456789abcdeflmnoprstuvxXRF<>=\\ \0\x80";
    const std::string alphabet(characters, sizeof characters - 1);
    std::mt19937 rng(20240512);
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    int parsed = 0;
    for (long i = 0; i < iterations; ++i) {
        std::string text;
        if (i % 5 == 4) {
            text.resize(pick(64));
            for (char& c : text)
                c = static_cast<char>(pick(256));
        } else {
            text = forms[pick(std::size(forms))].text;
            for (size_t edits = 1 + pick(4); edits > 0 && !text.empty(); --edits) {
                const size_t at = pick(text.size());
                switch (pick(4)) {
                case 0: text.erase(at, 1 + pick(3)); break;
                case 1: text.insert(at, 1, alphabet[pick(alphabet.size())]); break;
                case 2: text[at] = alphabet[pick(alphabet.size())]; break;
                default: text.insert(at, text.substr(pick(text.size()), pick(12))); break;
                }
            }
        }
        RUV_ADVANCED_TRIGGER_FACTORY factory;
        if (factory.parse(text)) {
            ++parsed;
            expect_consistent_tree(factory);
        } else {
            ASSERT_GE(factory.get_error_column(), 1) << text;
            ASSERT_LE(factory.get_error_column(), static_cast<int>(text.size()) + 1) << text;
        }
    }
    EXPECT_GT(parsed, 0);
}

// Each level is delayed by the slowest level's latency minus its own; levels without a root
// get 0.
TEST(RuvUtility, CoordinatedLatencyDelays)
{
    const struct {
        std::vector<const char*> levels;  // null: a basic level
        std::vector<int> latencies, delays;
    } cases[] = {
        {{"('a'@3)", nullptr, "and('a','b')", "(compare({'a','b'},==,1,cc,uc))#2"}, {4, 1, 1, 3}, {0, 0, 3, 1}},
        {{"(mnd_custom_trigger_hdl(2,{('a'@1),'b'},0,'',4,m))#4", "mbpm('R',{('a'@2)})"}, {6, 3}, {0, 3}},
        {{"and(('a'@2),(compare({('b'@5)},==,1,cc,uc))#1)"}, {7}, {0}},
        {{nullptr, nullptr}, {1, 1}, {0, 0}},
        {{}, {}, {}},
    };
    for (const auto& c : cases) {
        std::vector<RUV_ADVANCED_TRIGGER_FACTORY> factories(c.levels.size());
        std::vector<RUV_ADVANCED_TRIGGER_OUTPUT*> roots;
        std::vector<int> latencies;
        for (size_t i = 0; i < c.levels.size(); ++i) {
            ASSERT_TRUE(!c.levels[i] || factories[i].parse(c.levels[i])) << c.levels[i];
            roots.push_back(factories[i].get_root());
            latencies.push_back(roots[i] ? roots[i]->get_pipeline_latency() : 1);
        }
        std::vector<int> delays(c.levels.size(), -1);
        RUV_ADVANCED_TRIGGER_UTILITY::set_coordinated_latency_delay(roots.data(), delays.data(),
                                                                    static_cast<int>(roots.size()));
        EXPECT_EQ(latencies, c.latencies);
        EXPECT_EQ(delays, c.delays);
    }
}

TEST(RuvUtility, WritesOneModulePerLevelAndRefusesWhatItCannotWrite)
{
    QTemporaryDir dir;
    RUV_ADVANCED_TRIGGER_FACTORY factory;
    ASSERT_TRUE(
        factory.parse("and(('a'@2),mbpm('RX',{'b','a'}),'c':(ec(4,5,e,1,'d')),"
                      "compare(shift(rotate,left,1,{'b','d'}),>,variable(-1),vc,sc),"
                      "mnd_custom_trigger_hdl(2,{'a','b'},2,'10',3,user_block),imbpm('F',{'q'}))"));
    ASSERT_TRUE(RUV_ADVANCED_TRIGGER_UTILITY::create_advanced_trigger_hdl("top_level_2", factory.get_root(), true, true,
                                                                          false, dir.path()));
    QFile file(dir.filePath("top_level_2.v"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString hdl = QString::fromLocal8Bit(file.readAll());
    for (const char* part : {"module top_level_2 (", "input wire reset,", "input wire [3:0] node_in,",
                             "//   node_in[0]: a", "//   node_in[3]: q", "output wire trigger_out",
                             "n1_pipe <= {n1_pipe[0:0], n1};", "// c", "user_block #(.CONFIG_BITSTREAM(2'b10))",
                             "$signed(", "-2'sd1", "trigger_out_r <=", "if (reset) begin", "endmodule"})
        EXPECT_TRUE(hdl.contains(part)) << part << "\n" << hdl.toStdString();
    EXPECT_FALSE(hdl.contains("ena"));

    // Refused calls write nothing.
    EXPECT_FALSE(RUV_ADVANCED_TRIGGER_UTILITY::create_advanced_trigger_hdl("top_level_2", factory.get_root(), false,
                                                                           true, false, dir.filePath("missing")));
    EXPECT_FALSE(RUV_ADVANCED_TRIGGER_UTILITY::create_advanced_trigger_hdl("../top_level_2", factory.get_root(), false,
                                                                           true, false, dir.path()));
    EXPECT_FALSE(RUV_ADVANCED_TRIGGER_UTILITY::create_advanced_trigger_hdl("top_level_3", nullptr, false, true, false,
                                                                           dir.path()));
    EXPECT_FALSE(QFile::exists(dir.filePath("top_level_3.v")));
    ASSERT_TRUE(file.seek(0));
    EXPECT_EQ(QString::fromLocal8Bit(file.readAll()), hdl);
}

}  // namespace
