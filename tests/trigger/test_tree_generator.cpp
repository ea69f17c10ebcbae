// The tree generator: the boxes and properties each expression node becomes, and the round trip
// print -> parse -> generate -> print over seeded random diagrams, whose printed texts are also
// mutated to fuzz the parser and the generator behind it.
#include "diagram_builder.h"
#include "ruv.h"
#include "vokr_advanced_trigger_tree_generator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

namespace {

using namespace diagram;

// A box's sub-tree as text: a short word for its type, its persisted attributes but the type in
// brackets, a condition for routed nodes' pattern and node list in braces, then its children.
// Every generated box is expanded but a bus, and only the normal bank is written.
std::string dump(VOKR_OBJECT* box)
{
    static const char* const WORDS[] = {"unknown", "cirn",      "result", "eld",     "node",
                                        "bus",     "bit",       "value",  "compare", "bitwise",
                                        "logical", "reduction", "shift",  "counter", "hdl"};
    std::string text = WORDS[box->get_type()], attributes;
    EXPECT_EQ(box->get_property()[VOKR_INT_EXPANDED], box->get_type() == VOKR_TYPE_BUS ? 0 : 1) << text;
    for (const auto& [key, value] : box->collect_attributes()) {
        EXPECT_NE(key.rfind("powerup_", 0), 0u) << key;
        if (key != "type" && key != "expanded")
            attributes.append(attributes.empty() ? "" : ";").append(key).append("=").append(value);
    }
    if (!attributes.empty())
        text += "[" + attributes + "]";
    if (box->get_type() == VOKR_TYPE_CIRN)
        text += "{" + box->get_pattern().toStdString() + "|" + box->get_node_list().toStdString() + "}";
    for (int i = 0; i < box->get_children().size(); ++i)
        text += (i ? "," : "(") + dump(box->get_children()[i]) + (i + 1 == box->get_children().size() ? ")" : "");
    return text;
}

std::string generated(const char* text)
{
    RUV_ADVANCED_TRIGGER_FACTORY factory;
    EXPECT_TRUE(factory.parse(text)) << factory.get_error_message();
    DIAGRAM d;
    VOKR_OBJECT* result = d.make("result");
    result->generate_tree(&factory);
    EXPECT_EQ(d.trigger.get_child_count(), 1);
    return dump(result);
}

const struct {
    const char* text;
    const char* boxes;
} GENERATED[] = {
    {"and('a','b')", "result(logical(node[name=a],node[name=b]))"},
    {"compare({'b2','b1','b0'},==,5,cc,uc)",
     "result(compare[configurable=1](bus(node[name=b2],node[name=b1],node[name=b0]),value[bus_value=5;"
     "configurable=1]))"},
    {"and(1,variable(0),'a')", "result(logical(bit[configurable=1],bit[bit_value=False],node[name=a]))"},
    {"compare(1,==,{'a'},vc,uc)", "result(compare(value[bus_value=1;configurable=1],bus(node[name=a])))"},
    {"compare(-5,<,{'a','b','c','d'},cc,sc)",
     "result(compare[configurable=1;comparison=Less Than;signed_comparison=Signed Comparison](value[bus_value=-5;"
     "configurable=1],bus(node[name=a],node[name=b],node[name=c],node[name=d])))"},
    {"compare(3,>,(-1^{'a','b'}),cc,uc)",
     "result(compare[configurable=1;comparison=Greater Than](value[bus_value=3;configurable=1],bitwise[bitwise="
     "Bitwise Xor](value[bus_value=3;configurable=1],bus(node[name=a],node[name=b]))))"},
    {"ec(8,3,c,1,'a')", "result(counter[counter_value=3;counter_type=Continuous](node[name=a]))"},
    {"ec(2,3,s,0,'a')",
     "result(counter[counter_value=3;max_counter_value=3;counter_type=State;counter_hold=No]("
     "node[name=a]))"},
    {"ec(40,5,e,1,'a')", "result(counter[counter_value=5;max_counter_value=2147483647](node[name=a]))"},
    {"('n'@3)", "result(node[name=n;data_delay=3])"},
    {"'r':(('n'@3))", "result[name=r](node[name=n;data_delay=3])"},
    {"('c':(compare({'a'},!=,{'b'},vc,uc)))#2",
     "result(compare[name=c;comparison=Inequality;pipeline_length=2](bus(node[name=a]),bus(node[name=b])))"},
    {"'p':(mbpm('RX','q':({'a','b'})))",
     "result(eld[name=p;pattern=RX;configurable=1](bus[name=q;bus_name=q](node[name=a],node[name=b])))"},
    {"compare(shift(rotate,right,3,{'a','b','c','d'}),>=,~{'e','f','g','h'},vc,uc)",
     "result(compare[comparison=Greater Than or Equal To](shift[shift_distance=3;shift_direction=Right;"
     "shift_type=Rotate](bus(node[name=a],node[name=b],node[name=c],node[name=d])),bitwise[bitwise=Bitwise "
     "Complement](bus(node[name=e],node[name=f],node[name=g],node[name=h]))))"},
    {"or((^{'a','b'}),!'c')",
     "result(logical[logical=Logical Or](reduction[reduction=Reduction Xor](bus(node[name=a],node[name=b])),"
     "logical[logical=Logical Not](node[name=c])))"},
    {"and(imbpm('1R',{'A','it\\'s'}),'c')", "result(logical(cirn[pattern=1R]{1R|'A','it\\'s'},node[name=c]))"},
    {"(mnd_custom_trigger_hdl(2,{'a','b'},3,'101',4,m))#4",
     "result(hdl[module_name=m;config_bitstream=101;pipeline_length=4](bus(node[name=a],node[name=b])))"},
};

// Each node becomes the box its class and its codes call for, its inputs its children in input
// order (a bus's as written), with a bit value for a single bit feeding a single-bit consumer.
TEST(TreeGenerator, BuildsTheBoxesOfEachNode)
{
    for (const auto& row : GENERATED)
        EXPECT_EQ(generated(row.text), row.boxes) << row.text;
}

// Where the expression lets a single bit stand for a bus of one bit or the other way round, or
// leaves a value's width to the value itself, the generator builds what the boxes' ports take:
// a bus box gathers the bit, a Reduction Or passes the bus, a bus of bit values spells the value
// out. Each diagram is valid and prints a text that builds the same diagram again.
TEST(TreeGenerator, EveryTextTheParserReadsBuildsAValidDiagram)
{
    const struct {
        const char* text;
        const char* printed;
    } CASES[] = {
        {"('a'&'b')", "(|({'a'}&{'b'}))"},
        {"('a'|'b')", "(|({'a'}|{'b'}))"},
        {"~'a'", "(|~{'a'})"},
        {"(&'a')", "(&{'a'})"},
        {"compare('a',==,'b',vc,uc)", "compare({'a'},==,{'b'},vc,uc)"},
        {"mnd_custom_trigger_hdl(1,'a',0,'',0,m)", "mnd_custom_trigger_hdl(1,{'a'},0,'',0,m)"},
        {"(&and('a','b'))", "(&{and('a','b')})"},
        {"{'a'}", "(|{'a'})"},
        {"and({'a'},'b')", "and('b',(|{'a'}))"},
        {"ec(8,1,e,1,{'a'})", "ec(8,1,e,1,(|{'a'}))"},
        {"compare(5,==,3,cc,uc)", "compare(3,==,{1,0,1},cc,uc)"},
        {"(|variable(2))", "(|{variable(1),variable(0)})"},
        {"mbpm('XXXX',{'a',5})", "mbpm('XXXX',{'a',{1,0,1}})"},
        {"compare({'a','b'},==,-1,cc,uc)", "compare(3,==,{'a','b'},cc,uc)"},
        {"compare({'a','b'},<,-1,cc,sc)", "compare(-1,>,{'a','b'},cc,sc)"},
        {"compare(18446744073709551615,==,variable(1),cc,uc)",
         "compare(variable(1),==,{1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,"
         "1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1},cc,uc)"},
    };
    for (const auto& c : CASES) {
        std::string error;
        uint32_t code = VOKR_ELEMENT_OK;
        const std::string printed = regenerated(c.text, &error, &code);
        EXPECT_EQ(printed, c.printed) << c.text << ": " << error;
        EXPECT_EQ(code, VOKR_ELEMENT_OK) << c.text << ": " << vokr_element_error_text(code);
        EXPECT_EQ(regenerated(printed), printed) << c.text;
    }
    RUV_ADVANCED_TRIGGER_FACTORY factory;
    EXPECT_FALSE(factory.parse("(&shift(logical,left,0,'a'))")) << "a shift of one bit has no valid box";
}

TEST(TreeGeneratorDeathTest, FlowNodesHaveNoBox)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    DIAGRAM d;
    VOKR_ADVANCED_TRIGGER_TREE_GENERATOR generator(d.make("result"));
    RUV_FLOW_IF branch;
    EXPECT_DEATH(branch.accept(&generator), "Invalid visiting object");
}

// ---- seeded random diagrams ----------------------------------------------------------------------

// Diagrams that break no rule of the boxes: every port wired with the kind and width it takes,
// values that fit their width, patterns as wide as their input. Names hold quotes and
// backslashes; values come in every radix.
class RANDOM_DIAGRAM {
public:
    explicit RANDOM_DIAGRAM(uint64_t seed) : m_rng(seed) {}

    VOKR_OBJECT* make(DIAGRAM& d)
    {
        m_diagram = &d;
        VOKR_OBJECT* result = add(nullptr, "Advanced Trigger Level Result");
        if (chance(10))
            set(result, "name", name());
        bit(result, 0);
        return result;
    }

private:
    static constexpr int MAX_DEPTH = 4;
    std::mt19937_64 m_rng;
    DIAGRAM* m_diagram = nullptr;

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    bool chance(int percent) { return pick(100) < percent; }
    static void set(VOKR_OBJECT* box, const char* key, const std::string& value)
    {
        box->set_attribute(key, value.c_str());
    }
    VOKR_OBJECT* add(VOKR_OBJECT* parent, const char* type) { return m_diagram->box(parent, {{"type", type}}); }
    // Operators may carry a name; nodes are named by their node.
    VOKR_OBJECT* add_named(VOKR_OBJECT* parent, const char* type)
    {
        VOKR_OBJECT* box = add(parent, type);
        if (chance(15))
            set(box, "name", name());
        return box;
    }
    std::string name()
    {
        static const char characters[] = "abz09_|[]:.'\\ ";
        std::string text(1 + pick(5), 'n');
        for (char& c : text)
            c = characters[pick(sizeof characters - 1)];
        return text;
    }
    void node(VOKR_OBJECT* parent)
    {
        VOKR_OBJECT* box = add(parent, "Node");
        set(box, "name", name());
        if (chance(10))
            set(box, "data_delay", std::to_string(1 + pick(4)));
    }
    void bit_value(VOKR_OBJECT* parent)
    {
        VOKR_OBJECT* box = add_named(parent, "Bit Value");
        set(box, "configurable", std::to_string(pick(2)));
        set(box, "bit_value", chance(50) ? "True" : "False");
    }
    void pipeline(VOKR_OBJECT* box)
    {
        if (chance(20))
            set(box, "pipeline_length", std::to_string(1 + pick(3)));
    }

    // One box with a single-bit output below `parent`.
    void bit(VOKR_OBJECT* parent, int depth)
    {
        const int choice = depth >= MAX_DEPTH ? pick(3) : pick(11);
        switch (choice) {
        case 0: node(parent); break;
        case 1: bit_value(parent); break;
        case 2: routed_nodes(parent); break;
        case 3: {
            VOKR_OBJECT* box = add_named(parent, "Logical Operator");
            set(box, "logical", "Logical Not");
            bit(box, depth + 1);
            break;
        }
        case 4: {
            static const char* const LOGICAL[] = {"Logical And", "Logical Or", "Logical Xor"};
            VOKR_OBJECT* box = add_named(parent, "Logical Operator");
            set(box, "logical", LOGICAL[pick(3)]);
            for (int i = 1 + pick(3); i > 0; --i)
                bit(box, depth + 1);
            break;
        }
        case 5:
        case 6: comparison(parent, depth); break;
        case 7: {
            static const char* const REDUCTION[] = {"Reduction And", "Reduction Or", "Reduction Xor"};
            VOKR_OBJECT* box = add_named(parent, "Reduction Operator");
            set(box, "reduction", REDUCTION[pick(3)]);
            bus(box, depth + 1, 1 + pick(6));
            break;
        }
        case 8: detector(parent, depth); break;
        case 9: counter(parent, depth); break;
        default: custom_hdl(parent, depth); break;
        }
    }

    void comparison(VOKR_OBJECT* parent, int depth)
    {
        VOKR_OBJECT* box = add_named(parent, "Comparison Operator");
        const bool is_signed = chance(30);
        set(box, "configurable", std::to_string(pick(2)));
        set(box, "signed_comparison", is_signed ? "Signed Comparison" : "Unsigned Comparison");
        set(box, "comparison", vokr_int_property_words(VOKR_INT_COMPARISON)->word(pick(VOKR_COMPARISON_COUNT)));
        pipeline(box);
        const int width = 1 + pick(8);
        const int value_at = chance(50) ? pick(2) : -1;  // at most one operand is a value
        for (int i = 0; i < 2; ++i) {
            if (i == value_at)
                value(box, width, is_signed);
            else
                bus(box, depth + 1, width);
        }
    }

    void detector(VOKR_OBJECT* parent, int depth)
    {
        VOKR_OBJECT* box = add_named(parent, "Edge & Level Detector");
        pipeline(box);
        int width = 0;
        if (chance(50)) {
            width = 1 + pick(6);
            bus(box, depth + 1, width);
        } else {
            for (int i = 1 + pick(3); i > 0; --i, ++width)
                chance(70) ? node(box) : bit_value(box);
        }
        if (chance(70)) {
            static const char letters[] = "XLFRHExlfrhe01";
            std::string pattern(width, 'X');
            for (char& c : pattern)
                c = letters[pick(sizeof letters - 1)];
            set(box, "pattern", pattern);
        }
    }

    void counter(VOKR_OBJECT* parent, int depth)
    {
        static const char* const TYPES[] = {"Continuous", "Event", "State"};
        VOKR_OBJECT* box = add_named(parent, "Counter Operator");
        const int max = 1 + pick(chance(10) ? 2147483647 : 1000);
        set(box, "max_counter_value", std::to_string(max));
        set(box, "counter_value", std::to_string(1 + std::uniform_int_distribution<int>(0, max - 1)(m_rng)));
        set(box, "counter_type", TYPES[pick(3)]);
        set(box, "counter_hold", chance(50) ? "Yes" : "No");
        bit(box, depth + 1);
    }

    void routed_nodes(VOKR_OBJECT* parent)
    {
        VOKR_OBJECT* box = add_named(parent, "Condition for Incrementally Routed Nodes");
        QString pattern, names;
        for (int i = pick(4); i > 0; --i) {
            pattern += QChar("10RFEX"[pick(6)]);
            names += (names.isEmpty() ? "'" : ",'") + VOKR_OBJECT::quote(QString::fromStdString(name())) + "'";
        }
        box->set_pattern(pattern);
        box->set_node_list(names);
    }

    void custom_hdl(VOKR_OBJECT* parent, int depth)
    {
        VOKR_OBJECT* box = add(parent, "Custom Trigger HDL");
        std::string bits(pick(6), '0');
        for (char& c : bits)
            c = "01"[pick(2)];
        set(box, "config_bitstream", bits);
        set(box, "module_name", "trig_" + std::to_string(pick(100)));
        pipeline(box);
        bus(box, depth + 1, 1 + pick(6));
    }

    // One box with an output of `width` bits below `parent`.
    void bus(VOKR_OBJECT* parent, int depth, int width)
    {
        switch (depth >= MAX_DEPTH || width == 1 ? 0 : pick(5)) {
        case 0:
        case 1: members(parent, depth, width); break;
        case 2: {
            static const char* const BITWISE[] = {"Bitwise And", "Bitwise Or", "Bitwise Xor"};
            VOKR_OBJECT* box = add_named(parent, "Bitwise Operator");
            set(box, "bitwise", BITWISE[pick(3)]);
            const int value_at = chance(40) ? pick(2) : -1;
            for (int i = 0; i < 2; ++i) {
                if (i == value_at)
                    value(box, width, false);
                else
                    bus(box, depth + 1, width);
            }
            break;
        }
        case 3: {
            VOKR_OBJECT* box = add_named(parent, "Bitwise Operator");
            set(box, "bitwise", "Bitwise Complement");
            bus(box, depth + 1, width);
            break;
        }
        default: {
            static const char* const TYPES[] = {"Logical", "Rotate", "Arithmetic"};
            VOKR_OBJECT* box = add_named(parent, "Shift Operator");
            set(box, "shift_type", TYPES[pick(3)]);
            set(box, "shift_direction", chance(50) ? "Left" : "Right");
            set(box, "shift_distance", std::to_string(pick(width + 1)));
            bus(box, depth + 1, width);
            break;
        }
        }
    }

    // A bus box whose members add up to `width`: nodes and bit values (then it may carry a delay
    // for them), or any single-bit boxes and narrower buses.
    void members(VOKR_OBJECT* parent, int depth, int width)
    {
        VOKR_OBJECT* box = add_named(parent, "Bus");
        if (chance(20))
            set(box, "bit_order", "LSB to MSB");
        const bool plain = depth >= MAX_DEPTH || chance(60);
        if (plain && chance(20))
            set(box, "data_delay", std::to_string(1 + pick(3)));
        for (int left = width; left > 0;) {
            const int part = plain || left == 1 || chance(70) ? 1 : 2 + pick(left - 1);
            if (part > 1)
                members(box, depth + 1, part);
            else if (plain)
                chance(80) ? node(box) : bit_value(box);
            else
                bit(box, depth + 1);
            left -= part;
        }
    }

    // A bus value that fits `width` bits in its comparison, in one of four radixes.
    void value(VOKR_OBJECT* parent, int width, bool in_signed_comparison)
    {
        VOKR_OBJECT* box = add_named(parent, "Bus Value");
        set(box, "configurable", std::to_string(pick(2)));
        static const char* const FORMATS[] = {"Decimal", "Hexadecimal", "Octal", "Binary"};
        const int format = pick(4);
        set(box, "display_format", FORMATS[format]);
        const int64_t top = int64_t(1) << width;
        if (format == 0 && in_signed_comparison) {
            set(box, "bus_value", std::to_string(std::uniform_int_distribution<int64_t>(-top / 2, top / 2 - 1)(m_rng)));
            return;
        }
        const uint64_t v = std::uniform_int_distribution<uint64_t>(0, top - 1)(m_rng);
        static const int BASES[] = {10, 16, 8, 2};
        std::string text;
        for (uint64_t rest = v; rest || text.empty(); rest /= BASES[format])
            text.insert(text.begin(), "0123456789abcdef"[rest % BASES[format]]);
        set(box, "bus_value", text);
    }
};

long from_environment(const char* name, long fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? std::atol(value) : fallback;
}

// A text with a few random edits.
std::string mutated(std::string text, std::mt19937_64& rng)
{
    static const char alphabet[] = "'(){},:@#!~&|^-0123456789abcelmoprstvxXRF<>=\\ ";
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    for (size_t edits = 1 + pick(3); edits > 0 && !text.empty(); --edits) {
        const size_t at = pick(text.size());
        switch (pick(4)) {
        case 0: text.erase(at, 1 + pick(3)); break;
        case 1: text.insert(at, 1, alphabet[pick(sizeof alphabet - 1)]); break;
        case 2: text[at] = alphabet[pick(sizeof alphabet - 1)]; break;
        default: text.insert(at, text.substr(pick(text.size()), pick(16))); break;
        }
    }
    return text;
}

// Every valid random diagram prints a text that parses and comes back the same from the valid
// diagram the generator builds of it; mutations of those texts are parsed or refused with a
// column in the text, and whatever parses builds a diagram the printer finds no fault in. VOKR_ROUND_TRIP_DIAGRAMS and
// VOKR_ROUND_TRIP_SEED set the number of diagrams and the seed for long runs.
TEST(TreeGeneratorRoundTrip, RandomDiagramsComeBackAsTheyWerePrinted)
{
    const long diagrams = from_environment("VOKR_ROUND_TRIP_DIAGRAMS", 3000);
    const uint64_t seed = static_cast<uint64_t>(from_environment("VOKR_ROUND_TRIP_SEED", 20240601));
    RANDOM_DIAGRAM random(seed);
    std::mt19937_64 rng(seed + 1);
    int mutants_parsed = 0;
    for (long i = 0; i < diagrams; ++i) {
        DIAGRAM d;
        const PRINTED printed = print(random.make(d));
        ASSERT_EQ(printed.code, VOKR_ELEMENT_OK)
            << vokr_element_error_text(printed.code) << " in diagram " << i << ": " << printed.full;
        std::string error;
        uint32_t code = VOKR_ELEMENT_OK;
        ASSERT_EQ(regenerated(printed.full, &error, &code), printed.full) << error << " (diagram " << i << ")";
        ASSERT_EQ(code, VOKR_ELEMENT_OK) << vokr_element_error_text(code) << " (diagram " << i << ")";
        for (int m = 0; m < 3; ++m) {
            const std::string text = mutated(printed.full, rng);
            RUV_ADVANCED_TRIGGER_FACTORY factory;
            if (factory.parse(text)) {
                ++mutants_parsed;
                regenerated(text, &error, &code);
                ASSERT_EQ(code, VOKR_ELEMENT_OK) << vokr_element_error_text(code) << " in " << text;
            } else {
                ASSERT_GE(factory.get_error_column(), 1) << text;
                ASSERT_LE(factory.get_error_column(), static_cast<int>(text.size()) + 1) << text;
            }
        }
    }
    EXPECT_GT(mutants_parsed, 0);
}

}  // namespace
