// The state-based flow on the simulated target: the flow text (already checked by the
// repository) parsed into states of statements, then run one sample at a time. Each sample the
// current state's statements run in order; conditions read the levels at that sample and the
// counters and flags as they stood when the sample began. Counter and flag actions and goto take
// effect from the next sample (a later goto overrides an earlier one); trigger, segment_trigger,
// start_store and stop_store act on the sample itself. Storing is on when the flow starts.
// In a condition "&&" binds tighter than "||".
#include "daw_eval.h"

#include <cctype>
#include <map>

namespace daw_eval {

namespace {

const char* const FLOW_ATTRIBUTE = "state_machine_flow_expression";

struct COND {
    enum KIND { NUMBER, LEVEL, FLAG, COUNTER, NOT, AND, OR } kind = NUMBER;
    int index = 0;
    std::string op;
    uint64_t value = 0;
    std::vector<COND> operands;
};

struct STATEMENT {
    enum KIND {
        BLOCK,
        IF,
        GOTO,
        TRIGGER,
        SEGMENT_TRIGGER,
        START_STORE,
        STOP_STORE,
        INCREMENT,
        DECREMENT,
        RESET,
        SET,
        CLEAR
    } kind = BLOCK;
    int index = 0;  // state, counter or flag
    COND condition;
    std::vector<STATEMENT> body;  // block; then and else of an if
};

bool is_state_word(const std::string& word)
{
    std::string lower = word;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == "state";
}

class FLOW_PARSER {
public:
    FLOW_PARSER(std::vector<std::string> tokens, KSM_TX_TRIGGER* trigger) : m_tokens(std::move(tokens))
    {
        m_tokens.push_back(std::string());
        for (int l = 0; l < trigger->get_num_levels(); ++l)
            m_levels[trigger->get_level_name(l)] = l;
        for (int c = 0; c < trigger->get_counter_count(); ++c) {
            const char* name = nullptr;
            trigger->get_counter(c, &name, nullptr, nullptr);
            m_counters[name ? name : ""] = c;
        }
        for (int f = 0; f < trigger->get_flag_count(); ++f) {
            const char* name = nullptr;
            trigger->get_flag(f, &name, nullptr);
            m_flags[name ? name : ""] = f;
        }
        for (size_t i = 0; i + 2 < m_tokens.size(); ++i)
            if (is_state_word(m_tokens[i]) && m_tokens[i + 2] == ":")
                m_states.emplace(m_tokens[i + 1], static_cast<int>(m_states.size()));
    }

    std::vector<std::vector<STATEMENT>> states()
    {
        std::vector<std::vector<STATEMENT>> result;
        while (!peek().empty()) {
            m_pos += 3;  // state NAME :
            result.emplace_back();
            while (!peek().empty() && !is_state_word(peek()))
                result.back().push_back(statement());
        }
        return result;
    }

private:
    const std::string& peek() const { return m_tokens[m_pos]; }
    const std::string& take() { return m_tokens[m_pos < m_tokens.size() - 1 ? m_pos++ : m_pos]; }

    STATEMENT statement()
    {
        static const std::map<std::string, STATEMENT::KIND> kinds = {{"goto", STATEMENT::GOTO},
                                                                     {"trigger", STATEMENT::TRIGGER},
                                                                     {"segment_trigger", STATEMENT::SEGMENT_TRIGGER},
                                                                     {"start_store", STATEMENT::START_STORE},
                                                                     {"stop_store", STATEMENT::STOP_STORE},
                                                                     {"increment", STATEMENT::INCREMENT},
                                                                     {"decrement", STATEMENT::DECREMENT},
                                                                     {"reset", STATEMENT::RESET},
                                                                     {"set", STATEMENT::SET},
                                                                     {"clear", STATEMENT::CLEAR}};
        STATEMENT s;
        const std::string word = take();
        if (word == "begin") {
            while (peek() != "end" && !peek().empty())
                s.body.push_back(statement());
            take();
            return s;
        }
        if (word == "if") {
            s.kind = STATEMENT::IF;
            take();  // (
            s.condition = any();
            take();  // )
            s.body.push_back(statement());
            if (peek() == "else") {
                take();
                s.body.push_back(statement());
            }
            return s;
        }
        s.kind = kinds.at(word);
        if (s.kind == STATEMENT::GOTO)
            s.index = m_states.at(take());
        else if (s.kind >= STATEMENT::INCREMENT && s.kind <= STATEMENT::RESET)
            s.index = m_counters.at(take());
        else if (s.kind >= STATEMENT::SET)
            s.index = m_flags.at(take());
        take();  // ;
        return s;
    }

    COND joined(COND::KIND kind, const char* symbol, COND (FLOW_PARSER::*part)())
    {
        COND first = (this->*part)();
        if (peek() != symbol)
            return first;
        COND c;
        c.kind = kind;
        c.operands.push_back(std::move(first));
        while (peek() == symbol) {
            take();
            c.operands.push_back((this->*part)());
        }
        return c;
    }
    COND any() { return joined(COND::OR, "||", &FLOW_PARSER::all); }
    COND all() { return joined(COND::AND, "&&", &FLOW_PARSER::term); }

    COND term()
    {
        COND c;
        const std::string word = take();
        if (word == "!") {
            c.kind = COND::NOT;
            c.operands.push_back(term());
        } else if (word == "(") {
            c = any();
            take();
        } else if (std::isdigit(static_cast<unsigned char>(word[0]))) {
            c.value = std::strtoull(word.c_str(), nullptr, 10);
        } else if (m_counters.count(word) && is_comparison(peek())) {
            c.kind = COND::COUNTER;
            c.index = m_counters.at(word);
            c.op = take();
            c.value = std::strtoull(take().c_str(), nullptr, 10);
        } else if (m_levels.count(word)) {
            c.kind = COND::LEVEL;
            c.index = m_levels.at(word);
        } else {
            c.kind = COND::FLAG;
            c.index = m_flags.at(word);
        }
        return c;
    }

    static bool is_comparison(const std::string& t)
    {
        return t == "<" || t == "<=" || t == "==" || t == "!=" || t == ">=" || t == ">";
    }

    std::vector<std::string> m_tokens;
    size_t m_pos = 0;
    std::map<std::string, int> m_levels, m_counters, m_flags, m_states;
};

class FLOW_RUN final : public FLOW {
public:
    FLOW_RUN(std::vector<std::vector<STATEMENT>> states, const KSM_TX_TRIGGER* trigger) : m_states(std::move(states))
    {
        for (int c = 0; c < trigger->get_counter_count(); ++c) {
            int width = 32;
            unsigned int initial = 0;
            trigger->get_counter(c, nullptr, &width, &initial);
            m_masks.push_back(width >= 64 ? ~uint64_t(0) : (uint64_t(1) << width) - 1);
            m_counters.push_back(initial & m_masks.back());
        }
        for (int f = 0; f < trigger->get_flag_count(); ++f) {
            int initial = 0;
            trigger->get_flag(f, nullptr, &initial);
            m_flags.push_back(initial != 0);
        }
    }

    FLOW_WORDS next(const std::vector<uint64_t>& levels) override
    {
        FLOW_WORDS out;
        // The next counters and flags start each sample equal to the current ones: statements
        // change the next ones, conditions read the current ones, and what changed is copied over.
        m_next_counters = m_counters;
        m_next_flags = m_flags;
        for (int j = 0; j < 64; ++j) {
            m_bit = j;
            m_levels = &levels;
            m_next_state = m_state;
            m_trigger = m_segment_trigger = m_counters_changed = m_flags_changed = false;
            run(m_states[static_cast<size_t>(m_state)]);
            out.trigger |= static_cast<uint64_t>(m_trigger) << j;
            out.segment_trigger |= static_cast<uint64_t>(m_segment_trigger) << j;
            out.store |= static_cast<uint64_t>(m_storing) << j;
            m_state = m_next_state;
            if (m_counters_changed)
                m_counters = m_next_counters;
            if (m_flags_changed)
                m_flags = m_next_flags;
        }
        return out;
    }

private:
    void run(const std::vector<STATEMENT>& statements)
    {
        for (const STATEMENT& s : statements)
            run(s);
    }

    void run(const STATEMENT& s)
    {
        switch (s.kind) {
        case STATEMENT::BLOCK: run(s.body); break;
        case STATEMENT::IF:
            if (holds(s.condition))
                run(s.body[0]);
            else if (s.body.size() > 1)
                run(s.body[1]);
            break;
        case STATEMENT::GOTO: m_next_state = s.index; break;
        case STATEMENT::TRIGGER: m_trigger = true; break;
        case STATEMENT::SEGMENT_TRIGGER: m_segment_trigger = true; break;
        case STATEMENT::START_STORE: m_storing = true; break;
        case STATEMENT::STOP_STORE: m_storing = false; break;
        case STATEMENT::INCREMENT: counter(s) = (m_counters[idx(s)] + 1) & m_masks[idx(s)]; break;
        case STATEMENT::DECREMENT: counter(s) = (m_counters[idx(s)] - 1) & m_masks[idx(s)]; break;
        case STATEMENT::RESET: counter(s) = 0; break;
        case STATEMENT::SET: m_next_flags[idx(s)] = true, m_flags_changed = true; break;
        case STATEMENT::CLEAR: m_next_flags[idx(s)] = false, m_flags_changed = true; break;
        }
    }

    static size_t idx(const STATEMENT& s) { return static_cast<size_t>(s.index); }
    uint64_t& counter(const STATEMENT& s)
    {
        m_counters_changed = true;
        return m_next_counters[idx(s)];
    }

    bool holds(const COND& c) const
    {
        switch (c.kind) {
        case COND::NUMBER: return c.value != 0;
        case COND::LEVEL: return ((*m_levels)[static_cast<size_t>(c.index)] >> m_bit) & 1;
        case COND::FLAG: return m_flags[static_cast<size_t>(c.index)];
        case COND::NOT: return !holds(c.operands[0]);
        case COND::AND:
            for (const COND& o : c.operands)
                if (!holds(o))
                    return false;
            return true;
        case COND::OR:
            for (const COND& o : c.operands)
                if (holds(o))
                    return true;
            return false;
        case COND::COUNTER: break;
        }
        return compare(m_counters[static_cast<size_t>(c.index)], c.op, c.value);
    }

    // A counter's value against a number: "<", "<=", "==", "!=", ">=", and ">" for any other
    // operator; read a character at a time, as it is asked at every sample.
    static bool compare(uint64_t v, const std::string& op, uint64_t value)
    {
        if (op.size() == 1 && op[0] == '<')
            return v < value;
        if (op.size() == 2 && op[1] == '=') {
            switch (op[0]) {
            case '<': return v <= value;
            case '=': return v == value;
            case '!': return v != value;
            case '>': return v >= value;
            default: break;
            }
        }
        return v > value;
    }

    std::vector<std::vector<STATEMENT>> m_states;
    std::vector<uint64_t> m_masks, m_counters, m_next_counters;
    std::vector<bool> m_flags, m_next_flags;
    int m_state = 0, m_next_state = 0, m_bit = 0;
    bool m_storing = true, m_trigger = false, m_segment_trigger = false;
    bool m_counters_changed = false, m_flags_changed = false;  // by the sample's statements
    const std::vector<uint64_t>* m_levels = nullptr;
};

}  // namespace

std::unique_ptr<FLOW> make_flow(KSM_TX_TRIGGER* trigger, std::string* error)
{
    std::string message;
    int line = 0;
    if (!trigger->check_state_machine(&message, &line)) {
        *error = "The state-based trigger flow does not run: " + message + " (line " + std::to_string(line) + ")";
        return nullptr;
    }
    std::string text;
    for (const auto& attribute : trigger->get_state_machine_object()->collect_attributes())
        if (attribute.first == FLOW_ATTRIBUTE)
            text = attribute.second;
    return std::make_unique<FLOW_RUN>(FLOW_PARSER(ksm_flow_words(text), trigger).states(), trigger);
}

}  // namespace daw_eval
