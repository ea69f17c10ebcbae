// The repository's check of a state-based trigger flow: flows it accepts, the first error of
// flows it refuses (message and line), and seeded random mutations of valid flows that the
// check and the state-machine object's splitter must survive.
#include "manager_test_support.h"

#include "state_flow_support.h"
#include "vokr_state_machine_object.h"

#include <cstdlib>
#include <random>

using namespace manager_test;

namespace {

// A trigger with levels condition1..condition4, counters c1..c16 (c1 eight bits wide, c2 one
// bit) and flags f1, f2.
class FlowCheck : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        m = std::make_unique<EDITOR>(false);
        KSM_TX_TRIGGER* t = m->trigger();
        ASSERT_TRUE(t->set_num_levels(4));
        ASSERT_TRUE(t->set_counter_count(16));
        const int eight = 8;
        const int one = 1;
        ASSERT_TRUE(t->set_counter(0, nullptr, &eight, nullptr));
        ASSERT_TRUE(t->set_counter(1, nullptr, &one, nullptr));
        ASSERT_TRUE(t->set_flag_count(2));
    }

    bool check(const std::string& flow, std::string* message, int* line)
    {
        (*m)->get_state_machine_object(-1)->set_unified_state_text(QString::fromUtf8(flow.c_str()));
        return m->trigger()->check_state_machine(message, line);
    }

    std::unique_ptr<EDITOR> m;
};

// Sixteen states in sequence, each counting its own occurrences of condition1 and moving on at
// the second; the last one triggers.
std::string sixteen_state_sequence()
{
    std::string flow;
    for (int i = 1; i <= 16; ++i) {
        const std::string s = std::to_string(i);
        flow.append("state ST").append(s).append(":\n");
        if (i == 16) {
            flow.append("  trigger;\n");
            continue;
        }
        flow.append("  if (condition1 && c").append(s).append(" == 1)\n  begin\n    reset c").append(s);
        flow.append(";\n    goto ST").append(std::to_string(i + 1)).append(";\n  end\n");
        flow.append("  else if (condition1)\n    increment c").append(s).append(";\n\n");
    }
    return flow;
}

const std::vector<std::string>& accepted_flows()
{
    static const std::vector<std::string> flows = {
        "state ST1:\ntrigger;",
        sixteen_state_sequence(),
        // an else branch to any state
        std::string("state A:\n  if (condition1) goto B;\n  else goto A;\n\nstate B:\n  if (f1) trigger;\n") +
            "  else if (!condition2) goto A;\n  else goto B;",
        // storage controlled per state
        std::string("state ST1: start_store; if (condition1) goto ST2;\n") +
            "state ST2: stop_store; if (condition2) begin start_store; goto ST1; end",
        "state ST1: begin begin trigger; end segment_trigger; begin end end",
        std::string("state ST1:\n  if (!(condition1 || condition2) && (c1 < 5 || c1 <= 5 || c1 == 5 ||") +
            " c1 != 5 || c1 >= 0 || c1 > 255 || c2 == 1))\n    set f1;\n  else if (f1 && !f2) clear f1;\n" +
            "  else begin decrement c3; reset c16; end",
        "state ST1: if (1 || (((condition4)))) trigger; if (!!f2) goto ST1;",
        "State Idle : trigger;\r\n\r\nSTATE B:goto Idle;",
        // as the completion lists write it
        "state ST1 : begin if ( condition1 ) goto ST2 ; trigger ; end\n\nstate ST2 : if ( c1<5 ) stop_store ;",
    };
    return flows;
}

TEST_F(FlowCheck, AcceptsEveryFormOfTheLanguage)
{
    for (const std::string& flow : accepted_flows()) {
        std::string message;
        int line = 0;
        EXPECT_TRUE(check(flow, &message, &line)) << flow << "\n-> line " << line << ": " << message;
    }
}

TEST_F(FlowCheck, RefusesTheFirstErrorWithItsLine)
{
    const struct {
        const char* flow;
        int line;
        const char* message;
    } cases[] = {
        {"state ST1:\ngoto ST9;", 2, "Undefined state 'ST9'"},
        {"state ST1:\nincrement c17;", 2, "Undefined counter 'c17'"},
        {"state ST1:\n\nset f9;", 3, "Undefined flag 'f9'"},
        {"state ST1:\nif (condition1 ||\n condition9) trigger;", 3, "Undefined condition 'condition9'"},
        {"state ST1:\nif (condition1) trigger;\n\nstate ST2: trigger", 4, "Expected ';' after 'trigger'"},
        {"state ST1:\ntrigger\nstate ST2: trigger;", 2, "Expected ';' after 'trigger'"},
        {"state ST1:\nbegin\n  trigger;\n\nstate ST2: trigger;", 5, "Missing 'end' for the 'begin' on line 2"},
        {"state ST1:\nbegin begin trigger; end\n", 3, "Missing 'end' for the 'begin' on line 2"},
        {"state ST1\ntrigger;", 1, "Expected ':' after 'ST1'"},
        {"state ST1:\nif (c1 > 256) trigger;", 2, "Value 256 exceeds the width of counter 'c1'"},
        {"state ST1:\nif (c2 == 2) trigger;", 2, "Value 2 exceeds the width of counter 'c2'"},
        {"state ST1:\nif (c3 < 99999999999999999999) trigger;", 2,
         "Value 99999999999999999999 exceeds the width of counter 'c3'"},
        {"state ST1:\ntrigger; # done", 2, "Unexpected character '#'"},
        {"state ST1:\ntrigger; c1 = 5;", 2, "Unexpected character '='"},
        {"state ST1: trigger; &", 1, "Unexpected character '&'"},
        {"state ST1: trigger;\nstate \xc3\xa9: trigger;", 2, "Unexpected character '\xc3\xa9'"},
        {"state ST1: trigger;\n\nstate ST1: trigger;", 3, "Duplicate state 'ST1'"},
        {"state ST1:\ntrigger;\nend", 3, "'end' without 'begin'"},
        {"state ST1:\nelse trigger;", 2, "'else' without 'if'"},
        {"trigger;", 1, "Unexpected 'trigger'; a state begins with 'state'"},
        {"  \n\n", 3, "The flow has no state"},
        {"state ST1:\n\nstate ST2: trigger;", 1, "State 'ST1' has no statements"},
        {"state ST1: if (c1) trigger;", 1, "Expected a comparison operator after counter 'c1'"},
        {"state ST1: if (condition1 > 2) trigger;", 1,
         "'condition1' is a condition, not a counter: only counters are compared"},
        {"state ST1: if ((condition1) > 2) trigger;", 1, "Missing counter before '>'"},
        {"state ST1: if (condition1\n trigger;", 2, "Expected '&&', '||' or ')' before 'trigger'"},
        {"state ST1: if (condition1", 1, "Expected ')' after 'condition1'"},
        {"state ST1:\nincrement f1;", 2, "'f1' is a flag, not a counter"},
        {"state ST1:\nset c1;", 2, "'c1' is a counter, not a flag"},
        {"state ST1:\ngoto condition2;", 2, "'condition2' is a condition, not a state"},
        {"state ST1:\nif (ST1) trigger;", 2, "'ST1' is a state, not a condition"},
        {"state ST1: if (c1 > c2) trigger;", 1, "'c2' is a counter, not a number; 'c1 >' takes a number"},
        {"state ST1: if (condition1 && ) trigger;", 1, "Missing operand before ')'"},
        {"state ST1: if (c1 >\n) trigger;", 1, "Expected a value after 'c1 >'"},
        {"state ST1: if condition1) trigger;", 1, "Expected '(' after 'if'"},
        {"state ST1: if () trigger;", 1, "Missing operand before ')'"},
        {"state ST1: if (condition1 &&", 1, "Unexpected end of text in a condition"},
        {"state ST1: if (condition1)", 1, "Unexpected end of text; expected a statement"},
        {"state ST1: goto;", 1, "Expected a state name after 'goto'"},
        {"state ST1: goto trigger;", 1, "Expected a state name after 'goto'"},
        {"state ST1: foo;", 1, "Unexpected 'foo'; expected a statement"},
        {"state ST1: trigger; ;", 1, "Unexpected ';'; expected a statement"},
        {"state if: trigger;", 1, "Expected a state name after 'state'"},
    };
    for (const auto& c : cases) {
        std::string message;
        int line = 0;
        EXPECT_FALSE(check(c.flow, &message, &line)) << c.flow;
        EXPECT_EQ(message, c.message) << c.flow;
        EXPECT_EQ(line, c.line) << c.flow;
    }
}

TEST_F(FlowCheck, NamesFollowTheTriggerAndDeepNestingIsRefused)
{
    std::string message;
    int line = 0;
    ASSERT_TRUE(m->trigger()->set_level_name(1, "armed"));
    const int initial = 1;
    ASSERT_TRUE(m->trigger()->set_flag(0, "done", &initial));
    EXPECT_TRUE(check("state ST1: if (armed && done) trigger;", &message, &line)) << message;
    ASSERT_TRUE(m->trigger()->set_level_name(1, "ready"));  // the same flow checked again: its names changed
    EXPECT_FALSE(check("state ST1: if (armed && done) trigger;", &message, &line));
    EXPECT_EQ(message, "Undefined condition 'armed'");
    EXPECT_FALSE(check("state ST1: if (condition2) trigger;", &message, &line));
    EXPECT_EQ(message, "Undefined condition 'condition2'");

    const std::string deep =
        "state ST1: if (" + std::string(5000, '(') + "condition1" + std::string(5000, ')') + ") trigger;";
    EXPECT_FALSE(check(deep, &message, &line));
    EXPECT_EQ(message, "Condition is nested too deeply");
    std::string blocks = "state ST1: ";
    for (int i = 0; i < 5000; ++i)
        blocks += "begin ";
    EXPECT_FALSE(check(blocks, &message, &line));
    EXPECT_EQ(message, "Statements are nested too deeply");
}

// Whatever an engineer writes by taking the completer's offers is a flow the check accepts: the
// walks of the one-state editor stand in the first state, and every state the walk may name has
// a header.
TEST_F(FlowCheck, AcceptsEveryFlowTheCompleterWrites)
{
    const state_flow::NAMES names(4, 3, 2, 4);
    KSM_TX_TRIGGER* t = m->trigger();
    const int width = 16;
    ASSERT_TRUE(t->set_counter_count(names.counters.size()));
    for (int i = 0; i < names.counters.size(); ++i)
        ASSERT_TRUE(t->set_counter(i, nullptr, &width, nullptr));
    for (int display : {VOKR_DISPLAY_TYPE_ONE_WINDOW_PER_STATE, VOKR_DISPLAY_TYPE_ALL_STATES_IN_ONE_WINDOW}) {
        for (const state_flow::WALK& walk : state_flow::random_walks(names, display, 2024, 60, 40)) {
            const bool one_state = display == VOKR_DISPLAY_TYPE_ONE_WINDOW_PER_STATE;
            QString flow = one_state ? "state ST1:\n" + walk.text : walk.text;
            for (int s = one_state ? 1 : walk.tokens.count("state"); s < names.states.size(); ++s)
                flow += "\n\nstate " + names.states[s] + ":\ntrigger;";
            (*m)->set_unified_state_text(flow);
            std::string message;
            int line = 0;
            EXPECT_TRUE(t->check_state_machine(&message, &line))
                << flow.toStdString() << "\n-> line " << line << ": " << message;
        }
    }
}

int environment_number(const char* name, int fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? std::atoi(value) : fallback;
}

// One random change of a flow: a span dropped, repeated or moved, a word or character put in,
// or two characters swapped.
std::string mutate(std::string text, std::mt19937& random)
{
    static const char* const words[] = {"state ", "begin ", "end ", "if (", ")",  "else ", "goto ", "ST2", ";", ":",
                                        "&&",     "||",     "!",    "c1 ",  "<=", "f1",    "1000",  "\n",  "#", "\xc3"};
    auto pick = [&](size_t n) { return n ? static_cast<size_t>(random() % n) : 0; };
    const size_t at = pick(text.size() + 1);
    const size_t length = pick(std::min<size_t>(12, text.size() - at) + 1);
    switch (random() % 5) {
    case 0: text.erase(at, length); break;
    case 1: text.insert(pick(text.size() + 1), text.substr(at, length)); break;
    case 2: text.insert(at, words[pick(std::size(words))]); break;
    case 3: text.insert(at, 1, static_cast<char>(random() % 256)); break;
    default:
        if (text.size() > 1)
            std::swap(text[pick(text.size())], text[pick(text.size())]);
    }
    return text;
}

// Splitting a text and building the unified text again gives the same states; a second split
// of that text changes nothing more.
void expect_split_is_stable(const QString& text)
{
    VOKR_STATE_MACHINE_OBJECT first;
    first.set_unified_state_text(text);
    QString rebuilt;
    first.set_state_text(-1, QString());
    first.get_unified_state_text(&rebuilt);
    VOKR_STATE_MACHINE_OBJECT second;
    second.set_unified_state_text(rebuilt);
    ASSERT_EQ(second.get_state_count(), first.get_state_count()) << text.toStdString();
    for (int i = 0; i < first.get_state_count(); ++i) {
        QString a;
        QString b;
        first.get_state_name(i, &a);
        second.get_state_name(i, &b);
        ASSERT_EQ(a, b) << text.toStdString();
        const QString expected = first.get_state_text(i).isEmpty() ? "trigger;" : first.get_state_text(i);
        ASSERT_EQ(second.get_state_text(i), expected) << text.toStdString();
    }
}

// Bounded here; FLOW_FUZZ_ITERATIONS and FLOW_FUZZ_SEED run it longer or elsewhere.
TEST_F(FlowCheck, SurvivesRandomMutationsOfValidFlows)
{
    const int iterations = environment_number("FLOW_FUZZ_ITERATIONS", 3000);
    std::mt19937 random(static_cast<unsigned>(environment_number("FLOW_FUZZ_SEED", 14)));
    const std::vector<std::string>& flows = accepted_flows();
    int refused = 0;
    for (int i = 0; i < iterations; ++i) {
        std::string text = flows[random() % flows.size()];
        for (int n = 1 + static_cast<int>(random() % 4); n > 0; --n)
            text = mutate(text, random);
        std::string message;
        int line = 0;
        if (!check(text, &message, &line)) {
            ++refused;
            const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
            ASSERT_FALSE(message.empty()) << text;
            ASSERT_TRUE(line >= 1 && line <= lines) << text << "\n-> " << line << ": " << message;
        }
        expect_split_is_stable(QString::fromUtf8(text.c_str()));
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(refused, iterations / 4);
}

}  // namespace
