// The expression parser: recursive descent over the grammar of ruv.h, then a pass that works
// out every node's bit width and checks that the widths agree.
#include "ruv.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

using NODE = RUV_ADVANCED_TRIGGER_BASE;

// Widest bus or custom HDL input the parser accepts, far beyond any node list.
constexpr long long MAX_WIDTH = 1 << 24;

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_pattern_character(char c) { return c != '\0' && std::strchr("XLFRHExlfrhe01", c); }

int bit_length(uint64_t value)
{
    int bits = 0;
    for (; value; value >>= 1)
        ++bits;
    return bits;
}

// Whether the value fits W bits read either as a two's-complement or as an unsigned number.
bool fits(int64_t value, bool negative, int width)
{
    if (width >= 64)
        return true;
    if (negative)
        return value >= -(int64_t(1) << (width - 1));
    return static_cast<uint64_t>(value) <= (uint64_t(1) << width) - 1;
}

std::string value_text(int64_t value, bool negative)
{
    return negative ? std::to_string(value) : std::to_string(static_cast<uint64_t>(value));
}

const char* operand_word(int kind)
{
    switch (kind) {
    case RUV_KIND_OUTPUT: return "the trigger result";
    case RUV_KIND_LOGICAL: return "a logical operator";
    case RUV_KIND_EVENT_COUNTER: return "an event counter";
    default: return "this operator";
    }
}

}  // namespace

class RUV_PARSER {
public:
    RUV_PARSER(RUV_ADVANCED_TRIGGER_FACTORY* factory, const std::string& text) : m_factory(factory), m_text(text) {}

    bool run()
    {
        skip_blanks();
        if (m_pos == m_text.size())
            return fail(0, "the expression is empty");
        NODE* top = term();
        if (top) {
            skip_blanks();
            if (m_pos < m_text.size())
                fail(m_pos, "unexpected " + describe(m_pos) + " after the expression");
        }
        if (m_failed || !top)
            return false;
        auto* root = make<RUV_ADVANCED_TRIGGER_OUTPUT>(0);
        root->m_name = std::move(m_output_name);
        connect(root, top);
        if (!natural_width(top) || !check(root))
            return false;
        m_factory->m_root = root;
        return true;
    }

private:
    RUV_ADVANCED_TRIGGER_FACTORY* m_factory;
    const std::string& m_text;
    size_t m_pos = 0;
    int m_depth = 0;
    bool m_failed = false;
    std::string m_output_name;
    const NODE* m_last_group = nullptr;  // the operand of the last group closed

    // ---- errors and tokens ----------------------------------------------------------------

    // Records the first fault only; everything after it unwinds.
    bool fail(size_t at, const std::string& why)
    {
        if (!m_failed) {
            m_failed = true;
            m_factory->m_error_column = static_cast<int>(std::min<size_t>(at, INT_MAX - 1)) + 1;
            m_factory->m_error = "Error at column " + std::to_string(m_factory->m_error_column) + ": " + why;
        }
        return false;
    }

    NODE* fail_node(size_t at, const std::string& why)
    {
        fail(at, why);
        return nullptr;
    }

    bool fail_at(const NODE* node, const std::string& why) { return fail(node->m_column - 1, why); }

    std::string describe(size_t at) const
    {
        if (at >= m_text.size())
            return "end of the expression";
        const unsigned char c = m_text[at];
        if (c > ' ' && c < 127)
            return std::string("'") + char(c) + "'";
        static const char digits[] = "0123456789ABCDEF";
        return std::string("character 0x") + digits[c >> 4] + digits[c & 15];
    }

    void skip_blanks()
    {
        while (m_pos < m_text.size() &&
               (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\r' || m_text[m_pos] == '\n'))
            ++m_pos;
    }

    char peek()
    {
        skip_blanks();
        return m_pos < m_text.size() ? m_text[m_pos] : '\0';
    }

    bool accept(char c)
    {
        if (m_pos == m_text.size() || peek() != c)
            return false;
        ++m_pos;
        return true;
    }

    bool expect(char c)
    {
        return accept(c) || fail(m_pos, std::string("expected '") + c + "' but found " + describe(m_pos));
    }

    // A keyword or module name: a letter or '_', then letters, digits, '_' and '$'.
    bool word(std::string* out)
    {
        if (!is_letter(peek()))
            return fail(m_pos, "expected a word but found " + describe(m_pos));
        const size_t start = m_pos;
        while (m_pos < m_text.size() && (is_letter(m_text[m_pos]) || is_digit(m_text[m_pos]) || m_text[m_pos] == '$'))
            ++m_pos;
        *out = m_text.substr(start, m_pos - start);
        return true;
    }

    // One of the given words; its index, or -1 after reporting the fault.
    int choice(std::initializer_list<const char*> words, const char* what)
    {
        const size_t at = (skip_blanks(), m_pos);
        std::string w;
        if (!word(&w))
            return -1;
        int index = 0;
        for (const char* candidate : words) {
            if (w == candidate)
                return index;
            ++index;
        }
        fail(at, "expected " + std::string(what) + " but found '" + w + "'");
        return -1;
    }

    // Digits as an unsigned 64-bit number.
    bool digits(uint64_t* value)
    {
        if (!is_digit(peek()))
            return fail(m_pos, "expected a number but found " + describe(m_pos));
        const size_t start = m_pos;
        *value = 0;
        for (; m_pos < m_text.size() && is_digit(m_text[m_pos]); ++m_pos) {
            const unsigned digit = m_text[m_pos] - '0';
            if (*value > (UINT64_MAX - digit) / 10)
                return fail(start, "the number is too large");
            *value = *value * 10 + digit;
        }
        return true;
    }

    bool count(int* value, const char* what)
    {
        const size_t at = (skip_blanks(), m_pos);
        uint64_t v = 0;
        if (!digits(&v))
            return false;
        if (v > INT_MAX)
            return fail(at, std::string("the ") + what + " is too large");
        *value = static_cast<int>(v);
        return true;
    }

    bool number(int64_t* value, bool* negative)
    {
        *negative = accept('-');
        const size_t at = m_pos;
        uint64_t magnitude = 0;
        if (!digits(&magnitude))
            return false;
        if (*negative && magnitude > uint64_t(INT64_MAX) + 1)
            return fail(at - 1, "the number is too small for 64 bits");
        *value = static_cast<int64_t>(*negative ? 0 - magnitude : magnitude);
        return true;
    }

    // A text in single quotes; a backslash escapes a quote or a backslash and stands for
    // itself before any other character.
    bool quoted(std::string* out)
    {
        const size_t at = (skip_blanks(), m_pos);
        if (!accept('\''))
            return fail(at, "expected a quoted text but found " + describe(at));
        out->clear();
        while (m_pos < m_text.size()) {
            char c = m_text[m_pos++];
            if (c == '\'')
                return true;
            if (c == '\0')
                return fail(m_pos - 1, "a quoted text may not hold the character 0x00");
            if (c == '\\' && m_pos < m_text.size() && (m_text[m_pos] == '\'' || m_text[m_pos] == '\\'))
                c = m_text[m_pos++];
            out->push_back(c);
        }
        return fail(at, "the quoted text is not closed");
    }

    bool pattern(std::string* out, bool allow_empty)
    {
        const size_t at = (skip_blanks(), m_pos);
        if (!quoted(out))
            return false;
        for (size_t i = 0; i < out->size(); ++i)
            if (!is_pattern_character((*out)[i]))
                return fail(at + 1 + i, "a pattern holds only the characters XLFRHExlfrhe01");
        return allow_empty || !out->empty() || fail(at, "the pattern is empty");
    }

    // ---- nodes -----------------------------------------------------------------------------

    template <class T, class... ARGS> T* make(size_t at, ARGS... args)
    {
        auto node = std::make_unique<T>(args...);
        T* raw = node.get();
        raw->m_column = static_cast<int>(std::min<size_t>(at, INT_MAX - 1)) + 1;
        m_factory->m_nodes.push_back(std::move(node));
        return raw;
    }

    static void connect(NODE* node, NODE* input)
    {
        node->m_inputs.push_back(input);
        input->m_output = node;
    }

    template <class T> T* with_input(T* node, NODE* input)
    {
        if (!input)
            return nullptr;
        connect(node, input);
        return node;
    }

    // ---- grammar ---------------------------------------------------------------------------

    NODE* term()
    {
        struct DEPTH {
            int& depth;
            ~DEPTH() { --depth; }
        } guard{++m_depth};
        const char c = peek();
        const size_t at = m_pos;
        if (m_depth > RUV_MAX_NESTING)
            return fail_node(at, "the expression is nested more than " + std::to_string(RUV_MAX_NESTING) + " deep");
        if (c == '!' || c == '~') {
            ++m_pos;
            NODE* operand = term();
            if (c == '!')
                return with_input(make<RUV_ADVANCED_TRIGGER_LOGICAL>(at, int(RUV_LTYPE_NOT)), operand);
            return with_input(make<RUV_ADVANCED_TRIGGER_BITWISE>(at, int(RUV_LTYPE_NOT)), operand);
        }
        if (c == '\'')
            return name_or_label(at);
        if (c == '(')
            return group();
        if (c == '{')
            return bus(at);
        if (c == '-' || is_digit(c))
            return constant(at, false);
        if (is_letter(c))
            return keyword_form(at);
        if (m_pos == m_text.size() || c == ')' || c == ',' || c == '}')
            return fail_node(at, "expected an operand but found " + describe(at));
        return fail_node(at, "unexpected " + describe(at));
    }

    NODE* name_or_label(size_t at)
    {
        std::string name;
        if (!quoted(&name))
            return nullptr;
        if (!accept(':')) {
            if (name.empty())
                return fail_node(at, "a design node needs a name");
            auto* node = make<RUV_ADVANCED_TRIGGER_DESIGN_NODE>(at);
            node->m_name = std::move(name);
            return node;
        }
        if (!expect('('))
            return nullptr;
        NODE* node = inner(false);
        if (!node || !expect(')'))
            return nullptr;
        // The editor names its result this way: a name around the whole expression is the
        // output's when the operand would not print it there: a design node, a custom HDL block,
        // an operand named already, one whose name goes inside its pipeline '#', or one in
        // parentheses of its own (a named operator drops them).
        const bool can_take = node->m_kind != RUV_KIND_DESIGN_NODE && node->m_name.empty();
        const bool prints_here =
            can_take && node->m_kind != RUV_KIND_CUSTOM_HDL && node->m_delay == 0 && node != m_last_group;
        if (m_depth == 1 && !prints_here && !name.empty()) {
            m_output_name = std::move(name);
            return node;
        }
        if (can_take) {
            node->m_name = std::move(name);
            return node;
        }
        if (node->m_kind == RUV_KIND_DESIGN_NODE)
            return fail_node(at, "a design node cannot be given another name");
        return fail_node(at, "the operand already has a name");
    }

    static int logic_code(char c) { return c == '&' ? RUV_LTYPE_AND : c == '|' ? RUV_LTYPE_OR : RUV_LTYPE_XOR; }
    static bool is_logic_sign(char c) { return c == '&' || c == '|' || c == '^'; }

    // The inside of parentheses: a reduction, a bitwise operation, a delayed design node (in
    // a group only) or any term.
    NODE* inner(bool in_group)
    {
        const size_t at = (skip_blanks(), m_pos);
        if (is_logic_sign(peek())) {
            const char sign = m_text[m_pos++];
            return with_input(make<RUV_ADVANCED_TRIGGER_UNARY>(at, logic_code(sign)), term());
        }
        NODE* left = term();
        if (!left)
            return nullptr;
        const char c = peek();
        if (is_logic_sign(c)) {
            ++m_pos;
            NODE* right = term();
            if (!right)
                return nullptr;
            auto* node = make<RUV_ADVANCED_TRIGGER_BITWISE>(at, logic_code(c));
            connect(node, left);
            return with_input(node, right);
        }
        if (c == '@' && in_group) {
            const size_t sign = m_pos++;
            int delay = 0;
            if (!count(&delay, "delay"))
                return nullptr;
            if (left->m_kind != RUV_KIND_DESIGN_NODE || left->m_delay != 0)
                return fail_node(sign, "only a design node without a delay takes a delay '@'");
            left->m_delay = delay;
        }
        return left;
    }

    NODE* group()
    {
        ++m_pos;
        NODE* node = inner(true);
        if (!node || !expect(')'))
            return nullptr;
        m_last_group = node;
        if (!accept('#'))
            return node;
        const size_t sign = m_pos - 1;
        int pipeline = 0;
        if (!count(&pipeline, "pipeline"))
            return nullptr;
        const int kind = node->m_kind;
        if (kind == RUV_KIND_CUSTOM_HDL) {
            if (pipeline != node->get_pipeline_latency())
                return fail_node(sign, "the pipeline of a custom HDL block differs from its latency");
            return node;
        }
        if (kind != RUV_KIND_COMPARE_CONSTANT && kind != RUV_KIND_COMPARE_VARIABLE && kind != RUV_KIND_MBPM)
            return fail_node(sign, "only compare, mbpm and custom HDL blocks take a pipeline '#'");
        if (node->m_delay != 0)
            return fail_node(sign, "the operand already has a pipeline");
        node->m_delay = pipeline;
        return node;
    }

    NODE* bus(size_t at)
    {
        ++m_pos;
        std::vector<NODE*> members;
        do {
            NODE* member = term();
            if (!member)
                return nullptr;
            members.push_back(member);
        } while (accept(','));
        if (!expect('}'))
            return nullptr;
        auto* node = make<RUV_ADVANCED_TRIGGER_BUS>(at);
        for (auto it = members.rbegin(); it != members.rend(); ++it)
            connect(node, *it);  // input 0 is the least significant member, written last
        return node;
    }

    NODE* constant(size_t at, bool variable)
    {
        int64_t value = 0;
        bool negative = false;
        if (!number(&value, &negative))
            return nullptr;
        auto* node = make<RUV_ADVANCED_TRIGGER_INPUT_CONSTANT>(at, variable);
        node->m_value = value;
        node->m_negative = negative;
        return node;
    }

    NODE* keyword_form(size_t at)
    {
        std::string w;
        word(&w);
        if (!expect('('))
            return nullptr;
        NODE* node = nullptr;
        if (w == "and" || w == "or" || w == "xor")
            node = logical(at, w == "and" ? RUV_LTYPE_AND : w == "or" ? RUV_LTYPE_OR : RUV_LTYPE_XOR);
        else if (w == "variable" || w == "constant")
            node = constant((skip_blanks(), m_pos), w == "variable");
        else if (w == "compare")
            node = compare(at);
        else if (w == "shift")
            node = shift(at);
        else if (w == "ec")
            node = counter(at);
        else if (w == "mbpm")
            node = mbpm(at);
        else if (w == "imbpm")
            return imbpm(at);  // reads its own closing parenthesis
        else if (w == "mnd_custom_trigger_hdl")
            node = custom_hdl(at);
        else
            return fail_node(at, "unknown word '" + w + "'");
        if (node && !expect(')'))
            return nullptr;
        if (node)
            node->m_column = static_cast<int>(std::min<size_t>(at, INT_MAX - 1)) + 1;
        return node;
    }

    NODE* logical(size_t at, int operation)
    {
        auto* node = make<RUV_ADVANCED_TRIGGER_LOGICAL>(at, operation);
        do {
            if (!with_input(node, term()))
                return nullptr;
        } while (accept(','));
        return node;
    }

    int compare_operation()
    {
        const char c = peek();
        const size_t at = m_pos;
        static const struct {
            const char* text;
            int code;
        } signs[] = {{"<=", RUV_CTYPE_LESS_THAN_OR_EQUAL_TO},
                     {">=", RUV_CTYPE_GREATER_THAN_OR_EQUAL_TO},
                     {"==", RUV_CTYPE_EQUAL_TO},
                     {"!=", RUV_CTYPE_NOT_EQUAL_TO},
                     {"<", RUV_CTYPE_LESS_THAN},
                     {">", RUV_CTYPE_GREATER_THAN},
                     {"1", RUV_CTYPE_TRUE},
                     {"0", RUV_CTYPE_FALSE}};
        for (const auto& sign : signs) {
            if (m_text.compare(m_pos, std::strlen(sign.text), sign.text) == 0) {
                m_pos += std::strlen(sign.text);
                return sign.code;
            }
        }
        if (!is_letter(c)) {
            fail(at, "expected a comparison operator but found " + describe(at));
            return -1;
        }
        const int index = choice({"TRUE", "FALSE"}, "a comparison operator");
        return index < 0 ? -1 : index == 0 ? RUV_CTYPE_TRUE : RUV_CTYPE_FALSE;
    }

    NODE* compare(size_t at)
    {
        NODE* left = term();
        if (!left || !expect(','))
            return nullptr;
        const int operation = compare_operation();
        if (operation < 0 || !expect(','))
            return nullptr;
        NODE* right = term();
        if (!right || !expect(','))
            return nullptr;
        const int form = choice({"vc", "cc"}, "vc or cc");
        if (form < 0 || !expect(','))
            return nullptr;
        const int sign = choice({"sc", "uc"}, "sc or uc");
        if (sign < 0)
            return nullptr;
        auto* node = make<RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT>(at, form == 0);
        node->m_operation = operation;
        node->m_signed = sign == 0;
        connect(node, left);
        connect(node, right);
        return node;
    }

    NODE* shift(size_t at)
    {
        static const int codes[] = {RUV_STYPE_LOGICAL, RUV_STYPE_ROTATE, RUV_STYPE_ARITHMETIC};
        const int type = choice({"logical", "rotate", "arithmetic"}, "logical, rotate or arithmetic");
        if (type < 0 || !expect(','))
            return nullptr;
        const int direction = choice({"left", "right"}, "left or right");
        int amount = 0;
        if (direction < 0 || !expect(',') || !count(&amount, "shift distance") || !expect(','))
            return nullptr;
        auto* node = make<RUV_ADVANCED_TRIGGER_SHIFT>(at);
        node->m_operation = codes[type];
        node->m_right = direction == 1;
        node->m_amount = amount;
        return with_input(node, term());
    }

    NODE* counter(size_t at)
    {
        int width = 0;
        const size_t width_at = (skip_blanks(), m_pos);
        if (!count(&width, "counter width") || !expect(','))
            return nullptr;
        if (width < 1 || width > 64)
            return fail_node(width_at, "a counter is 1 to 64 bits wide");
        const size_t value_at = (skip_blanks(), m_pos);
        uint64_t value = 0;
        if (!digits(&value) || !expect(','))
            return nullptr;
        if (value < 1 || (width < 64 && value > (uint64_t(1) << width) - 1))
            return fail_node(value_at, "the counter value must lie between 1 and the largest value of its width");
        const int mode = choice({"c", "e", "s"}, "c, e or s");
        if (mode < 0 || !expect(','))
            return nullptr;
        const char hold = peek();
        if (hold != '0' && hold != '1')
            return fail_node(m_pos, "expected the hold flag 1 or 0 but found " + describe(m_pos));
        ++m_pos;
        if (!expect(','))
            return nullptr;
        auto* node = make<RUV_ADVANCED_TRIGGER_EVENT_COUNTER>(at);
        node->m_width = width;
        node->m_value = value;
        node->m_mode = mode;
        node->m_hold = hold == '1';
        return with_input(node, term());
    }

    NODE* mbpm(size_t at)
    {
        auto* node = make<RUV_ADVANCED_TRIGGER_MBPM>(at);
        if (!pattern(&node->m_pattern, false) || !expect(','))
            return nullptr;
        const size_t input_at = (skip_blanks(), m_pos);
        NODE* input = term();
        if (input && input->m_kind != RUV_KIND_BUS)
            return fail_node(input_at, "mbpm takes its inputs as one bus, written {...}");
        return with_input(node, input);
    }

    NODE* imbpm(size_t at)
    {
        auto* node = make<RUV_ADVANCED_TRIGGER_IMBPM>(at);
        if (accept(')'))
            return node;
        const size_t pattern_at = (skip_blanks(), m_pos);
        if (!pattern(&node->m_pattern, true) || !expect(',') || !expect('{'))
            return nullptr;
        if (peek() != '}') {
            do {
                std::string name;
                if (!quoted(&name))
                    return nullptr;
                node->m_node_names.push_back(std::move(name));
            } while (accept(','));
        }
        if (!expect('}') || !expect(')'))
            return nullptr;
        if (node->m_pattern.size() != node->m_node_names.size())
            return fail_node(pattern_at, "the pattern has " + std::to_string(node->m_pattern.size()) +
                                             " characters for " + std::to_string(node->m_node_names.size()) + " nodes");
        return node;
    }

    NODE* custom_hdl(size_t at)
    {
        auto* node = make<RUV_ADVANCED_TRIGGER_CUSTOM_HDL>(at);
        int width = 0, length = 0;
        const size_t width_at = (skip_blanks(), m_pos);
        if (!count(&width, "input width") || !expect(','))
            return nullptr;
        if (width < 1 || width > MAX_WIDTH)
            return fail_node(
                width_at, "the input width of a custom HDL block must lie between 1 and " + std::to_string(MAX_WIDTH));
        NODE* input = term();
        if (!input || !expect(',') || !count(&length, "bitstream length") || !expect(','))
            return nullptr;
        const size_t bits_at = (skip_blanks(), m_pos);
        if (!quoted(&node->m_bitstream) || !expect(','))
            return nullptr;
        if (node->m_bitstream.find_first_not_of("01") != std::string::npos)
            return fail_node(bits_at, "a bitstream holds only the characters 0 and 1");
        if (node->m_bitstream.size() != static_cast<size_t>(length))
            return fail_node(bits_at, "the bitstream is not " + std::to_string(length) + " characters long");
        if (!count(&node->m_latency, "latency") || !expect(',') || !word(&node->m_module))
            return nullptr;
        node->m_input_width = width;
        return with_input(node, input);
    }

    // ---- widths ----------------------------------------------------------------------------

    // Widths known from below: -1 for constants and for operators over constants only, whose
    // width their consumer decides. Bus members settle here, as a bus gives them no width.
    bool natural_width(NODE* node)
    {
        for (NODE* input : node->m_inputs)
            if (!natural_width(input))
                return false;
        switch (node->m_kind) {
        case RUV_KIND_INPUT_CONSTANT:
        case RUV_KIND_INPUT_VARIABLE: node->m_bit_width = -1; break;
        case RUV_KIND_BITWISE:
            node->m_bit_width = -1;
            for (NODE* input : node->m_inputs)
                if (input->m_bit_width > 0)
                    node->m_bit_width = input->m_bit_width;
            break;
        case RUV_KIND_SHIFT: node->m_bit_width = node->m_inputs[0]->m_bit_width; break;
        case RUV_KIND_BUS: {
            long long sum = 0;
            for (NODE* input : node->m_inputs) {
                settle(input, -1);
                sum += input->m_bit_width;
            }
            if (sum > MAX_WIDTH)
                return fail_at(node, "the bus is wider than " + std::to_string(MAX_WIDTH) + " bits");
            node->m_bit_width = static_cast<int>(sum);
            break;
        }
        default: node->m_bit_width = 1; break;
        }
        return true;
    }

    // The width an undetermined operand takes without surroundings: the bits its values need.
    int width_hint(const NODE* node) const
    {
        if (node->m_bit_width > 0)
            return node->m_bit_width;
        if (node->m_kind == RUV_KIND_INPUT_CONSTANT || node->m_kind == RUV_KIND_INPUT_VARIABLE) {
            auto* value = static_cast<const RUV_ADVANCED_TRIGGER_INPUT_CONSTANT*>(node);
            if (value->m_negative)
                return bit_length(~static_cast<uint64_t>(value->m_value)) + 1;
            return std::max(1, bit_length(static_cast<uint64_t>(value->m_value)));
        }
        int hint = 1;
        for (const NODE* input : node->m_inputs)
            hint = std::max(hint, width_hint(input));
        return hint;
    }

    void settle(NODE* node, int context)
    {
        if (node->m_bit_width < 1)
            node->m_bit_width = context > 0 ? context : width_hint(node);
    }

    // Both operands of a compare or bitwise operator take the width of the one that has it; when
    // neither has, a bitwise operator's own width (given by its consumer) or, for a compare, the
    // bits the values need.
    bool same_width(NODE* node, const char* what)
    {
        NODE* a = node->m_inputs[0];
        NODE* b = node->m_inputs.size() > 1 ? node->m_inputs[1] : a;
        int width = a->m_bit_width > 0 ? a->m_bit_width : b->m_bit_width;
        if (width < 1)
            width = node->m_kind == RUV_KIND_BITWISE ? node->m_bit_width : std::max(width_hint(a), width_hint(b));
        settle(a, width);
        settle(b, width);
        if (a->m_bit_width == b->m_bit_width)
            return true;
        return fail_at(node, std::string("the operands of ") + what + " are " + std::to_string(a->m_bit_width) +
                                 " and " + std::to_string(b->m_bit_width) + " bits wide");
    }

    bool expect_width(NODE* input, int width, const std::string& what)
    {
        settle(input, width);
        if (input->m_bit_width == width)
            return true;
        return fail_at(input, what + " needs an operand of " + std::to_string(width) + " bit(s); this one has " +
                                  std::to_string(input->m_bit_width));
    }

    // Gives undetermined operands the width their consumer expects and checks every
    // consumer's widths, from the root down.
    bool check(NODE* node)
    {
        bool ok = true;
        switch (node->m_kind) {
        case RUV_KIND_OUTPUT:
        case RUV_KIND_LOGICAL:
        case RUV_KIND_EVENT_COUNTER:
            for (NODE* input : node->m_inputs)
                ok = ok && expect_width(input, 1, operand_word(node->m_kind));
            break;
        case RUV_KIND_COMPARE_CONSTANT:
        case RUV_KIND_COMPARE_VARIABLE: ok = same_width(node, "compare"); break;
        case RUV_KIND_BITWISE: ok = same_width(node, "a bitwise operator"); break;
        case RUV_KIND_SHIFT: {
            ok = expect_width(node->m_inputs[0], node->m_bit_width, "this shift");
            auto* shift = static_cast<RUV_ADVANCED_TRIGGER_SHIFT*>(node);
            if (ok && node->m_bit_width < 2)
                ok = fail_at(node, "a shift needs an operand of 2 bits or more");
            else if (ok && shift->m_amount > node->m_bit_width)
                ok = fail_at(node,
                             "the shift distance exceeds the operand's " + std::to_string(node->m_bit_width) + " bits");
            break;
        }
        case RUV_KIND_UNARY: settle(node->m_inputs[0], -1); break;
        case RUV_KIND_MBPM: {
            auto* mbpm = static_cast<RUV_ADVANCED_TRIGGER_MBPM*>(node);
            ok = expect_width(node->m_inputs[0], static_cast<int>(mbpm->m_pattern.size()), "the pattern");
            break;
        }
        case RUV_KIND_CUSTOM_HDL:
            ok = expect_width(node->m_inputs[0], static_cast<RUV_ADVANCED_TRIGGER_CUSTOM_HDL*>(node)->m_input_width,
                              "the custom HDL block");
            break;
        case RUV_KIND_INPUT_CONSTANT:
        case RUV_KIND_INPUT_VARIABLE: {
            auto* value = static_cast<RUV_ADVANCED_TRIGGER_INPUT_CONSTANT*>(node);
            if (!fits(value->m_value, value->m_negative, node->m_bit_width))
                ok = fail_at(node, "the value " + value_text(value->m_value, value->m_negative) + " does not fit in " +
                                       std::to_string(node->m_bit_width) + " bits");
            break;
        }
        default: break;
        }
        for (NODE* input : node->m_inputs)
            ok = ok && check(input);
        return ok;
    }
};

bool RUV_ADVANCED_TRIGGER_FACTORY::parse(const std::string& text)
{
    m_root = nullptr;
    m_nodes.clear();
    m_error.clear();
    m_error_column = 0;
    if (RUV_PARSER(this, text).run())
        return true;
    m_root = nullptr;
    m_nodes.clear();
    return false;
}
