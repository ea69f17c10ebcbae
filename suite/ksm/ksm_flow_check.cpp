// The check of a state-based trigger flow: a lexer and a recursive-descent parser of the flow
// language, with its names resolved against the trigger's levels, counters and flags and the
// flow's own states. The first error ends the check, with its message and 1-based line.
//
//   flow := { "state" NAME ":" stmt { stmt } }
//   stmt := "begin" { stmt } "end"
//         | "if" "(" cond ")" stmt [ "else" stmt ]
//         | "goto" STATE ";"
//         | ("start_store" | "stop_store" | "trigger" | "segment_trigger") ";"
//         | ("increment" | "decrement" | "reset") COUNTER ";"
//         | ("set" | "clear") FLAG ";"
//   cond := term { ("&&" | "||") term }
//   term := "!" term | "(" cond ")" | CONDITION | FLAG | NUMBER
//         | COUNTER ("<" | "<=" | "==" | "!=" | ">=" | ">") NUMBER
//
// "else if" is an else whose statement is a conditional. The header word "state" is taken in any
// letter case, as the state-machine object splits the flow; every other word is case-sensitive.
#include "ksm_state.h"

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const char* const FLOW_ATTRIBUTE = "state_machine_flow_expression";
// Deeper nesting of statements or conditions is refused rather than recursed into.
constexpr int MAX_NESTING = 256;

enum class TOKEN_KIND { NAME, NUMBER, SYMBOL, END };

struct TOKEN {
    TOKEN_KIND kind;
    std::string text;
    int line;
};

// The names a flow may use.
struct FLOW_NAMES {
    std::set<std::string> conditions;
    std::set<std::string> flags;
    std::map<std::string, int> counter_widths;
    std::set<std::string> states;
};

bool same_names(const FLOW_NAMES& a, const FLOW_NAMES& b)
{
    return a.conditions == b.conditions && a.flags == b.flags && a.counter_widths == b.counter_widths &&
           a.states == b.states;
}

const std::set<std::string>& keywords()
{
    static const std::set<std::string> words = {"state",     "if",          "else",       "begin",   "end",
                                                "goto",      "start_store", "stop_store", "trigger", "segment_trigger",
                                                "increment", "decrement",   "reset",      "set",     "clear"};
    return words;
}

const std::set<std::string>& actions()
{
    static const std::set<std::string> words = {"start_store", "stop_store", "trigger", "segment_trigger"};
    return words;
}

const std::set<std::string>& comparisons()
{
    static const std::set<std::string> symbols = {"<", "<=", "==", "!=", ">=", ">"};
    return symbols;
}

bool is_header_word(const TOKEN& t)
{
    if (t.kind != TOKEN_KIND::NAME || t.text.size() != 5)
        return false;
    std::string lower = t.text;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == "state";
}

bool is_name(const TOKEN& t) { return t.kind == TOKEN_KIND::NAME && !keywords().count(t.text) && !is_header_word(t); }

// Whether a decimal text fits in `width` bits.
bool fits(const std::string& digits, int width)
{
    unsigned long long value = 0;
    for (char c : digits) {
        value = value * 10 + static_cast<unsigned long long>(c - '0');
        if (value >> 32)
            return false;
    }
    return width >= 32 || value < (1ULL << width);
}

class FLOW_CHECKER {
public:
    FLOW_CHECKER(const std::string& text, FLOW_NAMES names) : m_text(text), m_names(std::move(names)) {}

    bool check(std::string* message, int* line)
    {
        const bool ok = lex() && flow();
        if (!ok) {
            *message = m_message;
            *line = m_line;
        }
        return ok;
    }

private:
    // ---- lexer ----

    bool lex()
    {
        int line = 1;
        size_t i = 0;
        while (i < m_text.size()) {
            const unsigned char c = static_cast<unsigned char>(m_text[i]);
            if (c == '\n') {
                ++line;
                ++i;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++i;
            } else if (std::isalpha(c) || c == '_') {
                i = take(i, line, TOKEN_KIND::NAME, [](unsigned char d) { return std::isalnum(d) || d == '_'; });
            } else if (std::isdigit(c)) {
                i = take(i, line, TOKEN_KIND::NUMBER, [](unsigned char d) { return std::isdigit(d) != 0; });
            } else if (const int length = symbol_length(i)) {
                m_tokens.push_back({TOKEN_KIND::SYMBOL, m_text.substr(i, length), line});
                i += length;
            } else {
                return fail("Unexpected character '" + character_at(i) + "'", line);
            }
        }
        m_tokens.push_back({TOKEN_KIND::END, std::string(), line});
        return true;
    }

    template <class PART> size_t take(size_t from, int line, TOKEN_KIND kind, PART part)
    {
        size_t end = from + 1;
        while (end < m_text.size() && part(static_cast<unsigned char>(m_text[end])))
            ++end;
        m_tokens.push_back({kind, m_text.substr(from, end - from), line});
        return end;
    }

    int symbol_length(size_t i) const
    {
        static const char* const symbols[] = {"&&", "||", "<=", "==", "!=", ">=", "(", ")", ";", ":", "!", "<", ">"};
        for (const char* s : symbols)
            if (m_text.compare(i, std::char_traits<char>::length(s), s) == 0)
                return static_cast<int>(std::char_traits<char>::length(s));
        return 0;
    }

    // The character at `i`, whole when it is a multi-byte UTF-8 sequence.
    std::string character_at(size_t i) const
    {
        size_t end = i + 1;
        if ((static_cast<unsigned char>(m_text[i]) & 0xC0) == 0xC0)
            while (end < m_text.size() && end < i + 4 && (static_cast<unsigned char>(m_text[end]) & 0xC0) == 0x80)
                ++end;
        return m_text.substr(i, end - i);
    }

    // ---- parser ----

    const TOKEN& peek() const { return m_tokens[m_pos]; }
    const TOKEN& next() { return m_tokens[m_pos < m_tokens.size() - 1 ? m_pos++ : m_pos]; }
    bool at(const char* text) const { return peek().kind != TOKEN_KIND::END && peek().text == text; }
    bool at_state_end() const { return peek().kind == TOKEN_KIND::END || is_header_word(peek()); }

    bool fail(const std::string& message, int line)
    {
        m_message = message;
        m_line = line;
        return false;
    }

    // Consumes `symbol`, which must follow `after`.
    bool expect(const char* symbol, const TOKEN& after)
    {
        if (at(symbol)) {
            next();
            return true;
        }
        return fail(std::string("Expected '") + symbol + "' after '" + after.text + "'", after.line);
    }

    std::string shown(const TOKEN& t) const { return t.kind == TOKEN_KIND::END ? "end of text" : "'" + t.text + "'"; }

    bool flow()
    {
        collect_states();
        if (peek().kind == TOKEN_KIND::END)
            return fail("The flow has no state", m_tokens.back().line);
        std::set<std::string> seen;
        while (peek().kind != TOKEN_KIND::END)
            if (!state(&seen))
                return false;
        return true;
    }

    // Every "state NAME :" of the text, so that a goto may name a state further down.
    void collect_states()
    {
        for (size_t i = 0; i + 2 < m_tokens.size(); ++i)
            if (is_header_word(m_tokens[i]) && is_name(m_tokens[i + 1]) && m_tokens[i + 2].text == ":")
                m_names.states.insert(m_tokens[i + 1].text);
    }

    bool state(std::set<std::string>* seen)
    {
        const TOKEN& header = next();
        if (!is_header_word(header))
            return fail("Unexpected " + shown(header) + "; a state begins with 'state'", header.line);
        const TOKEN& name = next();
        if (!is_name(name))
            return fail("Expected a state name after '" + header.text + "'", header.line);
        if (!seen->insert(name.text).second)
            return fail("Duplicate state '" + name.text + "'", name.line);
        if (!expect(":", name))
            return false;
        if (at_state_end())
            return fail("State '" + name.text + "' has no statements", name.line);
        while (!at_state_end())
            if (!statement(0))
                return false;
        return true;
    }

    bool statement(int depth)
    {
        if (depth > MAX_NESTING)
            return fail("Statements are nested too deeply", peek().line);
        const TOKEN& t = next();
        if (t.kind != TOKEN_KIND::NAME || is_header_word(t))
            return fail("Unexpected " + shown(t) + "; expected a statement", t.line);
        if (t.text == "begin")
            return block(t, depth);
        if (t.text == "if")
            return conditional(t, depth);
        if (t.text == "else")
            return fail("'else' without 'if'", t.line);
        if (t.text == "end")
            return fail("'end' without 'begin'", t.line);
        if (t.text == "goto")
            return named_action(t, "state", [this](const std::string& n) { return m_names.states.count(n) > 0; });
        if (actions().count(t.text))
            return expect(";", t);
        if (t.text == "increment" || t.text == "decrement" || t.text == "reset")
            return named_action(t, "counter",
                                [this](const std::string& n) { return m_names.counter_widths.count(n) > 0; });
        if (t.text == "set" || t.text == "clear")
            return named_action(t, "flag", [this](const std::string& n) { return m_names.flags.count(n) > 0; });
        return fail("Unexpected '" + t.text + "'; expected a statement", t.line);
    }

    bool block(const TOKEN& begin, int depth)
    {
        while (!at("end")) {
            if (at_state_end())
                return fail("Missing 'end' for the 'begin' on line " + std::to_string(begin.line), peek().line);
            if (!statement(depth + 1))
                return false;
        }
        next();
        return true;
    }

    bool conditional(const TOKEN& if_token, int depth)
    {
        if (!expect("(", if_token) || !condition(depth + 1))
            return false;
        if (!close_condition() || !statement(depth + 1))
            return false;
        if (!at("else"))
            return true;
        next();
        return statement(depth + 1);
    }

    // What a name is to the flow: "condition", "flag", "counter", "state", or empty when unknown.
    std::string kind_of(const std::string& name) const
    {
        if (m_names.conditions.count(name))
            return "condition";
        if (m_names.flags.count(name))
            return "flag";
        if (m_names.counter_widths.count(name))
            return "counter";
        return m_names.states.count(name) ? "state" : std::string();
    }

    // A name used where a `wanted` is expected: another kind's name, or one not defined at all.
    bool wrong_name(const TOKEN& name, const std::string& wanted)
    {
        const std::string kind = kind_of(name.text);
        if (kind.empty())
            return fail("Undefined " + wanted + " '" + name.text + "'", name.line);
        return fail("'" + name.text + "' is a " + kind + ", not a " + wanted, name.line);
    }

    // KEYWORD NAME ";" where NAME must be of the given kind.
    template <class KNOWN> bool named_action(const TOKEN& keyword, const char* kind, KNOWN known)
    {
        const TOKEN& name = next();
        if (!is_name(name))
            return fail(std::string("Expected a ") + kind + " name after '" + keyword.text + "'", keyword.line);
        if (!known(name.text))
            return wrong_name(name, kind);
        return expect(";", name);
    }

    // The ")" that closes a condition; a message names what stands in its place.
    bool close_condition()
    {
        if (at(")")) {
            next();
            return true;
        }
        const TOKEN& before = m_tokens[m_pos - 1];
        const TOKEN& found = peek();
        if (found.kind == TOKEN_KIND::END)
            return fail("Expected ')' after '" + before.text + "'", before.line);
        if (found.kind == TOKEN_KIND::SYMBOL && comparisons().count(found.text)) {
            if (is_name(before))
                return fail("'" + before.text + "' is a " + kind_of(before.text) +
                                ", not a counter: only counters are "
                                "compared",
                            found.line);
            return fail("Missing counter before '" + found.text + "'", found.line);
        }
        return fail("Expected '&&', '||' or ')' before " + shown(found), found.line);
    }

    bool condition(int depth)
    {
        if (!term(depth))
            return false;
        while (at("&&") || at("||")) {
            next();
            if (!term(depth))
                return false;
        }
        return true;
    }

    bool term(int depth)
    {
        if (depth > MAX_NESTING)
            return fail("Condition is nested too deeply", peek().line);
        const TOKEN& t = next();
        if (t.kind == TOKEN_KIND::NUMBER)
            return true;
        if (t.text == "!" && t.kind == TOKEN_KIND::SYMBOL)
            return term(depth + 1);
        if (t.text == "(" && t.kind == TOKEN_KIND::SYMBOL)
            return condition(depth + 1) && close_condition();
        if (t.kind == TOKEN_KIND::SYMBOL && t.text != "(" && t.text != "!")
            return fail("Missing operand before '" + t.text + "'", t.line);
        if (!is_name(t))
            return fail("Unexpected " + shown(t) + " in a condition", t.line);
        const auto counter = m_names.counter_widths.find(t.text);
        if (counter != m_names.counter_widths.end() && comparisons().count(peek().text) &&
            peek().kind == TOKEN_KIND::SYMBOL)
            return comparison(t, counter->second);
        if (m_names.conditions.count(t.text) || m_names.flags.count(t.text))
            return true;
        if (counter != m_names.counter_widths.end())
            return fail("Expected a comparison operator after counter '" + t.text + "'", t.line);
        return wrong_name(t, "condition");
    }

    bool comparison(const TOKEN& counter, int width)
    {
        const TOKEN& op = next();
        const TOKEN& value = next();
        if (value.kind == TOKEN_KIND::NAME && !kind_of(value.text).empty())
            return fail("'" + value.text + "' is a " + kind_of(value.text) + ", not a number; '" + counter.text + " " +
                            op.text + "' takes a number",
                        value.line);
        if (value.kind != TOKEN_KIND::NUMBER)
            return fail("Expected a value after '" + counter.text + " " + op.text + "'", op.line);
        if (!fits(value.text, width))
            return fail("Value " + value.text + " exceeds the width of counter '" + counter.text + "'", value.line);
        return true;
    }

    const std::string& m_text;
    FLOW_NAMES m_names;
    std::vector<TOKEN> m_tokens;
    size_t m_pos = 0;
    std::string m_message;
    int m_line = 0;
};

}  // namespace

bool KSM_TX_TRIGGER::check_state_machine(std::string* message, int* line)
{
    std::string text;
    if (KSM_TX_TREE_OBJECT* object = get_state_machine_object())
        for (const auto& attribute : object->collect_attributes())
            if (attribute.first == FLOW_ATTRIBUTE)
                text = attribute.second;
    FLOW_NAMES names;
    for (int level = 0; level < get_num_levels(); ++level)
        names.conditions.insert(get_level_name(level));
    for (const KSM_COUNTER& c : m_state->counters)
        names.counter_widths[c.name] = c.width;
    for (const KSM_FLAG& f : m_state->flags)
        names.flags.insert(f.name);
    // The verdict depends on the text and the names alone, and a state-based trigger's flow is
    // checked again on every capture: the last verdict is kept for the same text and names.
    struct VERDICT {
        std::string text;
        FLOW_NAMES names;
        bool ok = false;
        std::string message;
        int line = 0;
    };
    static thread_local VERDICT last;
    if (last.text != text || !same_names(last.names, names)) {
        last.text = text;
        last.names = names;
        last.ok = FLOW_CHECKER(text, std::move(names)).check(&last.message, &last.line);
    }
    if (!last.ok)
        *message = last.message, *line = last.line;
    return last.ok;
}

std::vector<std::string> ksm_flow_words(const std::string& text)
{
    static const char* const pairs[] = {"&&", "||", "<=", "==", "!=", ">="};
    std::vector<std::string> words;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        size_t end = i + 1;
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        if (std::isalnum(c) || c == '_')
            while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
                ++end;
        else
            for (const char* p : pairs)
                if (text.compare(i, 2, p) == 0)
                    end = i + 2;
        words.push_back(text.substr(i, end - i));
        i = end;
    }
    return words;
}
