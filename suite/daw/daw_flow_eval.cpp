// The state-based flow on the simulated target: the flow text (already checked by the
// repository) parsed into states of statements, then run one sample at a time. Each sample the
// current state's statements run in order; conditions read the levels at that sample and the
// counters and flags as they stood when the sample began. Counter and flag actions and goto take
// effect from the next sample (a later goto overrides an earlier one); trigger, segment_trigger,
// start_store and stop_store act on the sample itself. Storing is on when the flow starts.
// In a condition "&&" binds tighter than "||". A word of samples is run a stretch at a time: each
// state's statements are gathered into the actions they can run, each under the ifs around it, and
// the samples where each action of the current state runs are found for the whole word at once
// from the levels' words; the samples where none runs change nothing and are passed over, and the
// actions' samples hold until the state, a counter or a flag changes.
#include "daw_eval.h"

#include <cctype>
#include <map>
#include <memory>
#include <mutex>

namespace daw_eval {

namespace {

const char* const FLOW_ATTRIBUTE = "state_machine_flow_expression";

struct COND {
    enum KIND { NUMBER, LEVEL, FLAG, COUNTER, NOT, AND, OR } kind = NUMBER;
    enum OP { LESS, AT_MOST, EQUAL, NOT_EQUAL, AT_LEAST, MORE } op = EQUAL;  // a counter's comparison
    int index = 0;
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
            c.op = comparison(take());
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
    // The comparison a checked operator names; ">" for any other.
    static COND::OP comparison(const std::string& t)
    {
        static const std::map<std::string, COND::OP> ops = {{"<", COND::LESS},
                                                            {"<=", COND::AT_MOST},
                                                            {"==", COND::EQUAL},
                                                            {"!=", COND::NOT_EQUAL},
                                                            {">=", COND::AT_LEAST}};
        const auto it = ops.find(t);
        return it == ops.end() ? COND::MORE : it->second;
    }

    std::vector<std::string> m_tokens;
    size_t m_pos = 0;
    std::map<std::string, int> m_levels, m_counters, m_flags, m_states;
};

// A statement that does something, with the ifs it lies in: each if's condition (its index
// among the state's conditions) and whether it must hold (the then side) or not (the else).
struct ACTION {
    const STATEMENT* statement;
    std::vector<std::pair<size_t, bool>> guards;
};
// A state's actions in the order its statements would run them, and its ifs' conditions.
struct STATE_ACTIONS {
    std::vector<const COND*> conditions;
    std::vector<ACTION> actions;
};

// Adds the actions a statement can run to the state's, under the guards of the ifs around it.
void gather(const STATEMENT& s, std::vector<std::pair<size_t, bool>>* guards, STATE_ACTIONS* into)
{
    if (s.kind == STATEMENT::BLOCK) {
        for (const STATEMENT& inner : s.body)
            gather(inner, guards, into);
    } else if (s.kind == STATEMENT::IF) {
        const size_t k = into->conditions.size();
        into->conditions.push_back(&s.condition);
        for (size_t side = 0; side < s.body.size(); ++side) {
            guards->emplace_back(k, side == 0);
            gather(s.body[side], guards, into);
            guards->pop_back();
        }
    } else {
        into->actions.push_back({&s, *guards});
    }
}

// A parsed flow: its states' statements and each state's actions, which point into them.
struct FLOW_CODE {
    explicit FLOW_CODE(std::vector<std::vector<STATEMENT>> parsed) : states(std::move(parsed))
    {
        for (const std::vector<STATEMENT>& statements : states) {
            std::vector<std::pair<size_t, bool>> guards;
            STATE_ACTIONS& state = actions.emplace_back();
            for (const STATEMENT& s : statements)
                gather(s, &guards, &state);
        }
    }
    FLOW_CODE(const FLOW_CODE&) = delete;
    FLOW_CODE& operator=(const FLOW_CODE&) = delete;

    std::vector<std::vector<STATEMENT>> states;
    std::vector<STATE_ACTIONS> actions;
};

class FLOW_RUN final : public FLOW {
public:
    FLOW_RUN(std::shared_ptr<const FLOW_CODE> code, const KSM_TX_TRIGGER* trigger, bool by_sample)
        : m_code(std::move(code)), m_by_sample(by_sample)
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
        m_next_counters = m_counters;
        m_next_flags = m_flags;
    }

    FLOW_WORDS next(const std::vector<uint64_t>& levels) override { return run_word(levels, 64); }

    FLOW_RESULTS end_within(const std::vector<uint64_t>& levels, int samples) override
    {
        run_word(levels, samples);
        FLOW_RESULTS results;
        results.state = m_state;
        results.counters = m_counters;
        results.flags = m_flags;
        return results;
    }

    std::unique_ptr<FLOW> clone() const override { return std::make_unique<FLOW_RUN>(*this); }

private:
    // Runs the first `samples` samples of a word.
    FLOW_WORDS run_word(const std::vector<uint64_t>& levels, int samples)
    {
        FLOW_WORDS out;
        m_levels = &levels;
        if (m_by_sample) {
            for (int j = 0; j < samples; ++j)
                step(j, &out);
            return out;
        }
        // The samples up to the next one where an action runs keep everything as it is; the
        // actions' samples hold until the state, a counter or a flag changes.
        const uint64_t within = samples < 64 ? (uint64_t(1) << samples) - 1 : ~uint64_t(0);
        bool fresh = false;
        for (int j = 0; j < samples;) {
            if (!fresh)
                find_actions();
            const uint64_t acting = m_acting & within & ~uint64_t(0) << j;
            const int until = acting ? __builtin_ctzll(acting) : samples;
            if (m_storing && until > j)
                out.store |= (until == 64 ? ~uint64_t(0) : (uint64_t(1) << until) - 1) & ~uint64_t(0) << j;
            if (!acting)
                break;
            fresh = act(until, &out);
            j = until + 1;
        }
        return out;
    }

    size_t state() const { return static_cast<size_t>(m_state); }

    // The samples of the word where each of the current state's actions runs, with the counters
    // and flags as they stand, and where any does.
    void find_actions()
    {
        const STATE_ACTIONS& state = m_code->actions[this->state()];
        m_condition_words.resize(state.conditions.size());
        for (size_t k = 0; k < state.conditions.size(); ++k)
            m_condition_words[k] = mask(*state.conditions[k]);
        m_action_words.resize(state.actions.size());
        m_acting = 0;
        for (size_t a = 0; a < state.actions.size(); ++a) {
            uint64_t word = ~uint64_t(0);
            for (const auto& [k, held] : state.actions[a].guards)
                word &= held ? m_condition_words[k] : ~m_condition_words[k];
            m_action_words[a] = word;
            m_acting |= word;
        }
    }

    // Runs the actions of sample j found for it; returns whether the state, counters and flags
    // stayed as they were, so that the actions' samples found still hold.
    bool act(int j, FLOW_WORDS* out)
    {
        begin_sample(j);
        const STATE_ACTIONS& state = m_code->actions[this->state()];
        for (size_t a = 0; a < state.actions.size(); ++a)
            if ((m_action_words[a] >> j) & 1)
                run(*state.actions[a].statement);
        const bool kept = m_next_state == m_state && !m_counters_changed && !m_flags_changed;
        end_sample(j, out);
        return kept;
    }

    // Runs sample j of the word statement by statement.
    void step(int j, FLOW_WORDS* out)
    {
        begin_sample(j);
        run(m_code->states[state()]);
        end_sample(j, out);
    }

    // The next counters and flags start each sample equal to the current ones: statements change
    // the next ones, conditions read the current ones, and what changed is copied over.
    void begin_sample(int j)
    {
        m_bit = j;
        m_next_state = m_state;
        m_trigger = m_segment_trigger = m_counters_changed = m_flags_changed = false;
    }

    void end_sample(int j, FLOW_WORDS* out)
    {
        out->trigger |= static_cast<uint64_t>(m_trigger) << j;
        out->segment_trigger |= static_cast<uint64_t>(m_segment_trigger) << j;
        out->store |= static_cast<uint64_t>(m_storing) << j;
        m_state = m_next_state;
        if (m_counters_changed)
            m_counters = m_next_counters;
        if (m_flags_changed)
            m_flags = m_next_flags;
    }

    // The samples of the word where the condition holds, with the counters and flags as they stand.
    uint64_t mask(const COND& c) const
    {
        uint64_t m = 0;
        switch (c.kind) {
        case COND::LEVEL: return (*m_levels)[static_cast<size_t>(c.index)];
        case COND::NOT: return ~mask(c.operands[0]);
        case COND::AND:
            m = ~uint64_t(0);
            for (size_t i = 0; m && i < c.operands.size(); ++i)
                m &= mask(c.operands[i]);
            return m;
        case COND::OR:
            for (size_t i = 0; ~m && i < c.operands.size(); ++i)
                m |= mask(c.operands[i]);
            return m;
        default: return holds(c) ? ~uint64_t(0) : 0;  // numbers, flags and counters hold all word long
        }
    }

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

    static bool compare(uint64_t v, COND::OP op, uint64_t value)
    {
        switch (op) {
        case COND::LESS: return v < value;
        case COND::AT_MOST: return v <= value;
        case COND::EQUAL: return v == value;
        case COND::NOT_EQUAL: return v != value;
        case COND::AT_LEAST: return v >= value;
        case COND::MORE: break;
        }
        return v > value;
    }

    std::shared_ptr<const FLOW_CODE> m_code;
    bool m_by_sample;  // every sample run one by one
    std::vector<uint64_t> m_condition_words, m_action_words;
    uint64_t m_acting = 0;  // the samples of the word where the current state runs an action
    std::vector<uint64_t> m_masks, m_counters, m_next_counters;
    std::vector<bool> m_flags, m_next_flags;
    int m_state = 0, m_next_state = 0, m_bit = 0;
    bool m_storing = true, m_trigger = false, m_segment_trigger = false;
    bool m_counters_changed = false, m_flags_changed = false;  // by the sample's statements
    const std::vector<uint64_t>* m_levels = nullptr;
};

}  // namespace

namespace {

// The names a flow's words are read against: the trigger's levels, counters and flags.
std::string flow_names(const KSM_TX_TRIGGER* trigger)
{
    std::string names;
    for (int l = 0; l < trigger->get_num_levels(); ++l)
        names.append(trigger->get_level_name(l)).push_back('\n');
    names.push_back('\n');
    for (int c = 0; c < trigger->get_counter_count(); ++c) {
        const char* name = nullptr;
        trigger->get_counter(c, &name, nullptr, nullptr);
        names.append(name ? name : "").push_back('\n');
    }
    names.push_back('\n');
    for (int f = 0; f < trigger->get_flag_count(); ++f) {
        const char* name = nullptr;
        trigger->get_flag(f, &name, nullptr);
        names.append(name ? name : "").push_back('\n');
    }
    return names;
}

// The checked flow text parsed against the trigger's names. The last one parsed is kept, as a
// trigger runs the same flow capture after capture.
std::shared_ptr<const FLOW_CODE> parsed_flow(const std::string& text, KSM_TX_TRIGGER* trigger)
{
    static std::mutex lock;
    static std::string last_text, last_names;
    static std::shared_ptr<const FLOW_CODE> last;
    const std::string names = flow_names(trigger);
    std::lock_guard<std::mutex> hold(lock);
    if (!last || text != last_text || names != last_names) {
        last = std::make_shared<const FLOW_CODE>(FLOW_PARSER(ksm_flow_words(text), trigger).states());
        last_text = text;
        last_names = names;
    }
    return last;
}

}  // namespace

std::unique_ptr<FLOW> make_flow(KSM_TX_TRIGGER* trigger, std::string* error, bool by_sample)
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
    return std::make_unique<FLOW_RUN>(parsed_flow(text, trigger), trigger, by_sample);
}

}  // namespace daw_eval
