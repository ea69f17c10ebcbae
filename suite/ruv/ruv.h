// The suite's advanced-trigger syntax library: it parses the text of an advanced trigger
// expression into a tree of expression nodes, walks the tree with a visitor, coordinates the
// latency of the trigger levels and writes a level's trigger logic as an HDL module.
//
// The expression language, written here as the editor prints it (blanks between tokens are
// allowed; keywords are case-sensitive):
//   expression = term
//   term       = "!" term | "~" term | primary
//   primary    = name                                   a design node, e.g. 'top|a[3]'
//              | name ":" "(" inner ")"                 a named operator, value or bus; around the
//                                                       whole expression the output's name where
//                                                       the operand would not print it there (a
//                                                       design node, a custom HDL block, a named
//                                                       or pipelined operand)
//              | "(" inner ")" [ "#" count ]            grouping, with the pipeline of a compare,
//                                                       mbpm or custom HDL block after "#"
//              | "{" term { "," term } "}"              a bus, most significant member first
//              | number | "constant" "(" number ")"     a constant value
//              | "variable" "(" number ")"              a value changeable at run time
//              | ( "and" | "or" | "xor" ) "(" term { "," term } ")"
//              | "compare" "(" term "," cmp "," term "," ( "vc" | "cc" ) "," ( "sc" | "uc" ) ")"
//              | "shift" "(" ( "logical" | "rotate" | "arithmetic" ) "," ( "left" | "right" ) ","
//                          count "," term ")"
//              | "ec" "(" width "," count "," ( "c" | "e" | "s" ) "," ( "1" | "0" ) "," term ")"
//              | "mbpm" "(" pattern "," term ")"        the term is a bus
//              | "imbpm" "(" [ pattern "," "{" [ name { "," name } ] "}" ] ")"
//              | "mnd_custom_trigger_hdl" "(" width "," term "," count "," bits "," count ","
//                                         module ")"
//   inner      = ( "&" | "|" | "^" ) term               reduction
//              | term ( "&" | "|" | "^" ) term          bitwise operation
//              | term "@" count                         a delayed design node (not after a name)
//              | term
//   cmp        = "<" | "<=" | "==" | "!=" | ">=" | ">" | "1" | "TRUE" | "0" | "FALSE"
//   name       = "'" { character | "\'" | "\\" } "'"
//   pattern    = "'" { one of XLFRHExlfrhe01 } "'"      bits = "'" { "0" | "1" } "'"
// Bit widths follow from the expression: a design node is one bit, a bus the sum of its
// members, comparisons, logical and reduction operators, counters and detectors one bit, the
// other operators their operands' width; a constant takes the width its surroundings give it,
// else the bits its value needs. Texts are 8-bit (local encoding).
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class RUV_ADVANCED_TRIGGER_VISITOR;

// Node kind numbers. The single-bit consumers are the output, the logical operators, the event
// counter and the bus (a bus takes single bits as members): a one-bit constant that feeds one of
// them is a bit value, any other constant a bus value.
enum RUV_ADVANCED_TRIGGER_NODE_KIND : int {
    RUV_KIND_OUTPUT = 0,
    RUV_KIND_DESIGN_NODE = 1,
    RUV_KIND_INPUT_CONSTANT = 2,
    RUV_KIND_INPUT_VARIABLE = 3,
    RUV_KIND_COMPARE_CONSTANT = 4,
    RUV_KIND_COMPARE_VARIABLE = 5,
    RUV_KIND_LOGICAL = 6,
    RUV_KIND_BITWISE = 7,
    RUV_KIND_UNARY = 8,
    RUV_KIND_SHIFT = 9,
    RUV_KIND_EVENT_COUNTER = 10,
    RUV_KIND_IMBPM = 11,
    RUV_KIND_MBPM = 12,
    RUV_KIND_CUSTOM_HDL = 13,
    RUV_KIND_BUS = 14,
    // Statements and conditions of the state-based trigger flow, kinds 15 to 28 (below).
    RUV_KIND_FLOW_FIRST = 15
};

// Operation codes. Logical, bitwise and reduction (unary) operators share one set of codes.
enum RUV_ADVANCED_TRIGGER_LOGIC_TYPE : int {
    RUV_LTYPE_AND = 0,
    RUV_LTYPE_OR = 2,
    RUV_LTYPE_XOR = 4,
    RUV_LTYPE_NOT = 6
};
enum RUV_ADVANCED_TRIGGER_COMPARE_TYPE : int {
    RUV_CTYPE_GREATER_THAN = 0,
    RUV_CTYPE_GREATER_THAN_OR_EQUAL_TO = 1,
    RUV_CTYPE_LESS_THAN = 2,
    RUV_CTYPE_LESS_THAN_OR_EQUAL_TO = 3,
    RUV_CTYPE_EQUAL_TO = 4,
    RUV_CTYPE_NOT_EQUAL_TO = 5,
    RUV_CTYPE_FALSE = 6,
    RUV_CTYPE_TRUE = 7
};
enum RUV_ADVANCED_TRIGGER_SHIFT_TYPE : int { RUV_STYPE_ROTATE = 0, RUV_STYPE_ARITHMETIC = 1, RUV_STYPE_LOGICAL = 2 };
enum RUV_ADVANCED_TRIGGER_COUNTER_TYPE : int {
    RUV_ETYPE_CONTINUOUS = 0,  // counts clocks while the input stays true
    RUV_ETYPE_EVENT = 1,       // counts the clocks at which the input is true
    RUV_ETYPE_STATE = 2        // counts clocks from the first clock at which the input is true
};

// Deepest nesting of terms the parser accepts; deeper text is refused, so no walk of a tree
// recurses further.
constexpr int RUV_MAX_NESTING = 256;

// A node of an expression tree. Inputs are counted from 0; a node's output feeds exactly one
// consumer (its output connection), the output node's feeds none.
class RUV_ADVANCED_TRIGGER_BASE {
public:
    RUV_ADVANCED_TRIGGER_BASE(const RUV_ADVANCED_TRIGGER_BASE&) = delete;
    RUV_ADVANCED_TRIGGER_BASE& operator=(const RUV_ADVANCED_TRIGGER_BASE&) = delete;
    virtual ~RUV_ADVANCED_TRIGGER_BASE();

    // The node's name: a design node's full name, or the name given to an operator, value,
    // bus or the output; null when it has none.
    const char* get_name() const { return m_name.empty() ? nullptr : m_name.c_str(); }
    // Clock cycles by which the node delays its output: a design node's "@" delay, the "#"
    // pipeline of a compare or detector; 0 for the others.
    int get_delay() const { return m_delay; }
    // Clock cycles the node adds between its inputs and its output: its delay, or a custom HDL
    // block's own latency. The output node answers for the whole level: the longest sum along
    // any path from a design node, plus the cycle of the registered trigger output.
    virtual int get_pipeline_latency() const;
    int get_input_count() const { return static_cast<int>(m_inputs.size()); }
    RUV_ADVANCED_TRIGGER_BASE* get_input_connection_at(int index) const;
    RUV_ADVANCED_TRIGGER_BASE* get_output_connection() const { return m_output; }
    int get_bit_width() const { return m_bit_width; }
    int get_node_kind() const { return m_kind; }
    // Column (counted from 1) of the text at which the node begins; 0 for a node not parsed.
    int get_column() const { return m_column; }
    virtual void accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) = 0;

protected:
    explicit RUV_ADVANCED_TRIGGER_BASE(int kind) : m_kind(kind) {}

private:
    friend class RUV_PARSER;
    int m_kind;
    std::string m_name;
    int m_delay = 0;
    int m_bit_width = 1;
    int m_column = 0;
    std::vector<RUV_ADVANCED_TRIGGER_BASE*> m_inputs;
    RUV_ADVANCED_TRIGGER_BASE* m_output = nullptr;
};

// The root: the level's trigger condition, one single-bit input.
class RUV_ADVANCED_TRIGGER_OUTPUT final : public RUV_ADVANCED_TRIGGER_BASE {
public:
    RUV_ADVANCED_TRIGGER_OUTPUT() : RUV_ADVANCED_TRIGGER_BASE(RUV_KIND_OUTPUT) {}
    int get_pipeline_latency() const override;
    void accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) override;
};

// One bit of the design, by its full name.
class RUV_ADVANCED_TRIGGER_DESIGN_NODE final : public RUV_ADVANCED_TRIGGER_BASE {
public:
    RUV_ADVANCED_TRIGGER_DESIGN_NODE() : RUV_ADVANCED_TRIGGER_BASE(RUV_KIND_DESIGN_NODE) {}
    void accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) override;
};

// Members side by side; input 0 is the least significant (the last member written).
class RUV_ADVANCED_TRIGGER_BUS final : public RUV_ADVANCED_TRIGGER_BASE {
public:
    RUV_ADVANCED_TRIGGER_BUS() : RUV_ADVANCED_TRIGGER_BASE(RUV_KIND_BUS) {}
    void accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) override;
};

// A value: fixed in the logic (constant form) or changeable at run time (variable form).
class RUV_ADVANCED_TRIGGER_INPUT_CONSTANT final : public RUV_ADVANCED_TRIGGER_BASE {
public:
    explicit RUV_ADVANCED_TRIGGER_INPUT_CONSTANT(bool variable);
    // The value; an unsigned value of 2^63 or more reads as its 64-bit two's complement.
    int64_t get_value() const { return m_value; }
    // Whether the value was written with a minus sign.
    bool is_negative() const { return m_negative; }
    bool is_variable() const { return get_node_kind() == RUV_KIND_INPUT_VARIABLE; }
    void accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) override;

private:
    friend class RUV_PARSER;
    int64_t m_value = 0;
    bool m_negative = false;  // written with a minus sign
};

// Comparison of its two inputs; fixed operator (constant form) or run-time changeable.
class RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT final : public RUV_ADVANCED_TRIGGER_BASE {
public:
    explicit RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT(bool variable);
    int get_operation() const { return m_operation; }
    bool get_signed_mode() const { return m_signed; }
    bool is_variable() const { return get_node_kind() == RUV_KIND_COMPARE_VARIABLE; }
    void accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) override;

private:
    friend class RUV_PARSER;
    int m_operation = RUV_CTYPE_EQUAL_TO;
    bool m_signed = false;
};

// Operators with an operation code: logical (single bits), bitwise (buses), reduction.
class RUV_ADVANCED_TRIGGER_OPERATOR : public RUV_ADVANCED_TRIGGER_BASE {
public:
    int get_operation() const { return m_operation; }

protected:
    RUV_ADVANCED_TRIGGER_OPERATOR(int kind, int operation) : RUV_ADVANCED_TRIGGER_BASE(kind), m_operation(operation) {}

private:
    int m_operation;
};

class RUV_ADVANCED_TRIGGER_LOGICAL final : public RUV_ADVANCED_TRIGGER_OPERATOR {
public:
    explicit RUV_ADVANCED_TRIGGER_LOGICAL(int operation) : RUV_ADVANCED_TRIGGER_OPERATOR(RUV_KIND_LOGICAL, operation) {}
    void accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) override;
};

class RUV_ADVANCED_TRIGGER_BITWISE final : public RUV_ADVANCED_TRIGGER_OPERATOR {
public:
    explicit RUV_ADVANCED_TRIGGER_BITWISE(int operation) : RUV_ADVANCED_TRIGGER_OPERATOR(RUV_KIND_BITWISE, operation) {}
    void accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) override;
};

class RUV_ADVANCED_TRIGGER_UNARY final : public RUV_ADVANCED_TRIGGER_OPERATOR {
public:
    explicit RUV_ADVANCED_TRIGGER_UNARY(int operation) : RUV_ADVANCED_TRIGGER_OPERATOR(RUV_KIND_UNARY, operation) {}
    void accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) override;
};

class RUV_ADVANCED_TRIGGER_SHIFT final : public RUV_ADVANCED_TRIGGER_BASE {
public:
    RUV_ADVANCED_TRIGGER_SHIFT() : RUV_ADVANCED_TRIGGER_BASE(RUV_KIND_SHIFT) {}
    int get_operation() const { return m_operation; }
    int get_shift_amount() const { return m_amount; }
    // True for a right shift.
    bool get_shift_direction() const { return m_right; }
    void accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) override;

private:
    friend class RUV_PARSER;
    int m_operation = RUV_STYPE_LOGICAL;
    int m_amount = 0;
    bool m_right = false;
};

// True once it has counted its value (see the counter types); with hold it stays true.
class RUV_ADVANCED_TRIGGER_EVENT_COUNTER final : public RUV_ADVANCED_TRIGGER_BASE {
public:
    RUV_ADVANCED_TRIGGER_EVENT_COUNTER() : RUV_ADVANCED_TRIGGER_BASE(RUV_KIND_EVENT_COUNTER) {}
    int get_mode() const { return m_mode; }
    bool get_hold_status() const { return m_hold; }
    int get_counter_width() const { return m_width; }
    uint64_t get_counter_value() const { return m_value; }
    void accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) override;

private:
    friend class RUV_PARSER;
    int m_mode = RUV_ETYPE_CONTINUOUS;
    bool m_hold = false;
    int m_width = 1;
    uint64_t m_value = 1;
};

// Edge and level pattern over the bits of its bus input: per bit, first character for the
// most significant, X don't care, H or 1 high, L or 0 low, R rising, F falling, E either edge
// (lower case alike).
class RUV_ADVANCED_TRIGGER_MBPM final : public RUV_ADVANCED_TRIGGER_BASE {
public:
    RUV_ADVANCED_TRIGGER_MBPM() : RUV_ADVANCED_TRIGGER_BASE(RUV_KIND_MBPM) {}
    const char* get_pattern() const { return m_pattern.c_str(); }
    void accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) override;

private:
    friend class RUV_PARSER;
    std::string m_pattern;
};

// The same pattern over the incrementally routed design nodes it names (it has no inputs):
// character i of the pattern applies to name i.
class RUV_ADVANCED_TRIGGER_IMBPM final : public RUV_ADVANCED_TRIGGER_BASE {
public:
    RUV_ADVANCED_TRIGGER_IMBPM() : RUV_ADVANCED_TRIGGER_BASE(RUV_KIND_IMBPM) {}
    const char* get_pattern() const { return m_pattern.c_str(); }
    const std::vector<std::string>& get_node_names() const { return m_node_names; }
    void accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) override;

private:
    friend class RUV_PARSER;
    std::string m_pattern;
    std::vector<std::string> m_node_names;
};

// An instance of a user's HDL module over its bus input, with its configuration bits.
class RUV_ADVANCED_TRIGGER_CUSTOM_HDL final : public RUV_ADVANCED_TRIGGER_BASE {
public:
    RUV_ADVANCED_TRIGGER_CUSTOM_HDL() : RUV_ADVANCED_TRIGGER_BASE(RUV_KIND_CUSTOM_HDL) {}
    const char* get_module_name() const { return m_module.c_str(); }
    const char* get_bitstream() const { return m_bitstream.c_str(); }
    int get_pipeline_latency() const override { return m_latency; }
    void accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) override;

private:
    friend class RUV_PARSER;
    std::string m_module;
    std::string m_bitstream;
    int m_latency = 0;
    int m_input_width = 1;
};

// Statements and conditions of the state-based trigger flow share the visitor with the
// expression nodes; the expression parser never makes them, and an expression walk refuses
// them. They carry nothing besides their kind.
template <int SLOT> class RUV_FLOW_NODE final : public RUV_ADVANCED_TRIGGER_BASE {
public:
    RUV_FLOW_NODE() : RUV_ADVANCED_TRIGGER_BASE(RUV_KIND_FLOW_FIRST + SLOT - 1) {}
    void accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) override;
};
using RUV_FLOW_STATE_MACHINE = RUV_FLOW_NODE<1>;  // the whole flow
using RUV_FLOW_STATE = RUV_FLOW_NODE<2>;          // one state and its statements
using RUV_FLOW_BLOCK = RUV_FLOW_NODE<3>;          // begin ... end
using RUV_FLOW_IF = RUV_FLOW_NODE<4>;             // if / else if / else
using RUV_FLOW_GOTO = RUV_FLOW_NODE<5>;
using RUV_FLOW_TRIGGER = RUV_FLOW_NODE<6>;
using RUV_FLOW_SEGMENT_TRIGGER = RUV_FLOW_NODE<7>;
using RUV_FLOW_START_STORE = RUV_FLOW_NODE<8>;
using RUV_FLOW_STOP_STORE = RUV_FLOW_NODE<9>;
using RUV_FLOW_COUNTER_ACTION = RUV_FLOW_NODE<10>;  // increment, decrement, reset
using RUV_FLOW_FLAG_ACTION = RUV_FLOW_NODE<11>;     // set, clear
using RUV_FLOW_CONDITION = RUV_FLOW_NODE<12>;       // a trigger condition named in a test
using RUV_FLOW_COUNTER_TEST = RUV_FLOW_NODE<13>;    // a counter compared with a value
using RUV_FLOW_FLAG_TEST = RUV_FLOW_NODE<14>;

// One visit per node class, in slot order after the destructor (slot 0). The flow slots do
// nothing unless a visitor overrides them.
class RUV_ADVANCED_TRIGGER_VISITOR {
public:
    virtual ~RUV_ADVANCED_TRIGGER_VISITOR();
    virtual void visit_state_machine(RUV_FLOW_STATE_MACHINE*) {}
    virtual void visit_state(RUV_FLOW_STATE*) {}
    virtual void visit_block(RUV_FLOW_BLOCK*) {}
    virtual void visit_if(RUV_FLOW_IF*) {}
    virtual void visit_goto(RUV_FLOW_GOTO*) {}
    virtual void visit_trigger(RUV_FLOW_TRIGGER*) {}
    virtual void visit_segment_trigger(RUV_FLOW_SEGMENT_TRIGGER*) {}
    virtual void visit_start_store(RUV_FLOW_START_STORE*) {}
    virtual void visit_stop_store(RUV_FLOW_STOP_STORE*) {}
    virtual void visit_counter_action(RUV_FLOW_COUNTER_ACTION*) {}
    virtual void visit_flag_action(RUV_FLOW_FLAG_ACTION*) {}
    virtual void visit_condition(RUV_FLOW_CONDITION*) {}
    virtual void visit_counter_test(RUV_FLOW_COUNTER_TEST*) {}
    virtual void visit_flag_test(RUV_FLOW_FLAG_TEST*) {}
    virtual void visit_event_counter(RUV_ADVANCED_TRIGGER_EVENT_COUNTER* node) = 0;        // 15
    virtual void visit_imbpm(RUV_ADVANCED_TRIGGER_IMBPM* node) = 0;                        // 16
    virtual void visit_mbpm(RUV_ADVANCED_TRIGGER_MBPM* node) = 0;                          // 17
    virtual void visit_bus(RUV_ADVANCED_TRIGGER_BUS* node) = 0;                            // 18
    virtual void visit_input_variable(RUV_ADVANCED_TRIGGER_INPUT_CONSTANT* node) = 0;      // 19
    virtual void visit_input_constant(RUV_ADVANCED_TRIGGER_INPUT_CONSTANT* node) = 0;      // 20
    virtual void visit_design_node(RUV_ADVANCED_TRIGGER_DESIGN_NODE* node) = 0;            // 21
    virtual void visit_output(RUV_ADVANCED_TRIGGER_OUTPUT* node) = 0;                      // 22
    virtual void visit_shift(RUV_ADVANCED_TRIGGER_SHIFT* node) = 0;                        // 23
    virtual void visit_compare_variable(RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT* node) = 0;  // 24
    virtual void visit_compare_constant(RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT* node) = 0;  // 25
    virtual void visit_bitwise(RUV_ADVANCED_TRIGGER_BITWISE* node) = 0;                    // 26
    virtual void visit_custom_hdl(RUV_ADVANCED_TRIGGER_CUSTOM_HDL* node) = 0;              // 27
    virtual void visit_unary(RUV_ADVANCED_TRIGGER_UNARY* node) = 0;                        // 28
    virtual void visit_logical(RUV_ADVANCED_TRIGGER_LOGICAL* node) = 0;                    // 29
};

// Each flow node calls its own slot.
#define RUV_FLOW_ACCEPT(SLOT, VISIT) \
    template <> inline void RUV_FLOW_NODE<SLOT>::accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) { visitor->VISIT(this); }
RUV_FLOW_ACCEPT(1, visit_state_machine)
RUV_FLOW_ACCEPT(2, visit_state)
RUV_FLOW_ACCEPT(3, visit_block)
RUV_FLOW_ACCEPT(4, visit_if)
RUV_FLOW_ACCEPT(5, visit_goto)
RUV_FLOW_ACCEPT(6, visit_trigger)
RUV_FLOW_ACCEPT(7, visit_segment_trigger)
RUV_FLOW_ACCEPT(8, visit_start_store)
RUV_FLOW_ACCEPT(9, visit_stop_store)
RUV_FLOW_ACCEPT(10, visit_counter_action)
RUV_FLOW_ACCEPT(11, visit_flag_action)
RUV_FLOW_ACCEPT(12, visit_condition)
RUV_FLOW_ACCEPT(13, visit_counter_test)
RUV_FLOW_ACCEPT(14, visit_flag_test)
#undef RUV_FLOW_ACCEPT

// Depth-first walk of a tree, each node before its inputs, inputs in input order.
class RUV_ADVANCED_TRIGGER_ITERATOR {
public:
    explicit RUV_ADVANCED_TRIGGER_ITERATOR(RUV_ADVANCED_TRIGGER_BASE* root) : m_root(root) { first(); }
    void first();
    bool done() const { return m_stack.empty(); }
    void next();
    RUV_ADVANCED_TRIGGER_BASE* item() const { return m_stack.empty() ? nullptr : m_stack.back(); }

private:
    RUV_ADVANCED_TRIGGER_BASE* m_root;
    std::vector<RUV_ADVANCED_TRIGGER_BASE*> m_stack;
};

// Owns the tree of one parsed expression.
class RUV_ADVANCED_TRIGGER_FACTORY {
public:
    RUV_ADVANCED_TRIGGER_FACTORY();
    ~RUV_ADVANCED_TRIGGER_FACTORY();
    RUV_ADVANCED_TRIGGER_FACTORY(const RUV_ADVANCED_TRIGGER_FACTORY&) = delete;
    RUV_ADVANCED_TRIGGER_FACTORY& operator=(const RUV_ADVANCED_TRIGGER_FACTORY&) = delete;

    // Parses an expression, replacing the tree of an earlier one. False for text outside the
    // language or with inconsistent widths: no tree then, and an error message that gives
    // the column (counted from 1) at which the fault was found.
    bool parse(const std::string& text);
    bool parse(const char* text);
    const std::string& get_error_message() const { return m_error; }
    int get_error_column() const { return m_error_column; }

    RUV_ADVANCED_TRIGGER_OUTPUT* get_root() const { return m_root; }
    int get_node_count() const { return static_cast<int>(m_nodes.size()); }

private:
    friend class RUV_PARSER;
    std::vector<std::unique_ptr<RUV_ADVANCED_TRIGGER_BASE>> m_nodes;
    RUV_ADVANCED_TRIGGER_OUTPUT* m_root = nullptr;
    std::string m_error;
    int m_error_column = 0;
};

class RUV_ADVANCED_TRIGGER_UTILITY {
public:
    // Delays that line the n levels up in time: the latency of level i is its root's
    // get_pipeline_latency(); each level with a root is delayed by the largest latency over the
    // levels with a root minus its own, so every level's trigger decision leaves after the same
    // number of clocks. A level without a root (a basic level) gets 0.
    static void set_coordinated_latency_delay(RUV_ADVANCED_TRIGGER_OUTPUT* const* roots, int* delays, int n);

    // Writes the level's trigger logic as the Verilog module `module_name` into the file
    // `<directory>/<module_name>.v`, replacing it whole or not at all. The module has a clock
    // input, one input bit per design node (listed in a comment) and the output trigger_out;
    // `with_reset` adds a synchronous reset of every register, `registered_output` registers
    // trigger_out (the cycle get_pipeline_latency counts for the output), `with_enable` adds a
    // clock enable. False for a missing root or name, or a file that cannot be written.
    static bool create_advanced_trigger_hdl(const QString& module_name, RUV_ADVANCED_TRIGGER_OUTPUT* root,
                                            bool with_reset, bool registered_output, bool with_enable,
                                            const QString& directory);
};
