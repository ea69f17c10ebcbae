// The flow text language of the state text editor: tokens, the word at the cursor, the offers
// of the completer, its token predicates and click-to-change lists, and the names it reads from
// a trigger.
#include "manager_test_support.h"
#include "state_flow_support.h"
#include "vokr_state_machine_object.h"
#include "vokr_state_text_edit.h"

#include <gtest/gtest.h>

namespace {

constexpr int ONE = VOKR_DISPLAY_TYPE_ONE_WINDOW_PER_STATE;
constexpr int ALL = VOKR_DISPLAY_TYPE_ALL_STATES_IN_ONE_WINDOW;
constexpr int EXPANDED = VOKR_RESOURCE_TYPE_EXPANDED;
constexpr int COLLAPSED = VOKR_RESOURCE_TYPE_COLLAPSED;

const char* const STATEMENTS =
    "begin|if (|goto |start_store;|stop_store;|trigger;|segment_trigger;|increment |"
    "decrement |clear |set |reset ";
const char* const ACTIONS =
    "goto |start_store;|stop_store;|trigger;|segment_trigger;|increment |decrement |"
    "clear |set |reset ";

std::string joined(const QStringList& list, const char* separator = "|") { return list.join(separator).toStdString(); }

const state_flow::NAMES& names()
{
    static const state_flow::NAMES n(3, 2, 2, 3);
    return n;
}

std::string offers_after(const char* text, int display, int resource)
{
    QStringList out{"kept"};
    vokr_get_state_text_completions(&out, vokr_tokenize_state_text(text), names(), display, resource);
    EXPECT_EQ(out.first(), "kept");  // appends, never clears
    return joined(out.mid(1));
}

TEST(StateText, Tokens)
{
    const struct {
        const char* text;
        const char* tokens;
    } cases[] = {
        {"", ""},
        {" \r\n\t", ""},
        {"c1!=5", "c1 ! =5"},
        {"c1 < 5", "c1 < 5"},
        {"c1<5", "c1<5"},
        {"if(condition1&&!f1||(c2>=3)) goto ST2;", "if ( condition1 && ! f1 || ( c2>=3 ) ) goto ST2 ;"},
        {"state ST1:trigger;", "state ST1 : trigger ;"},
        {"a&&&b|||c", "a && &b || |c"},
        {"begin\u2029end", "begin end"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(joined(vokr_tokenize_state_text(c.text), " "), c.tokens) << c.text;
}

TEST(StateText, WordAtCursor)
{
    const struct {
        const char* before;
        const char* all;
        const char* word;
    } cases[] = {
        {"", "goto", ""},
        {"goto", "", ""},
        {" ", "  ", ""},
        {"got", "got", "got"},
        {"go", "goto ST1;", "goto"},
        {"goto ", "goto ST1;", "ST1"},
        {"goto ST1; ", "goto ST1; ", ""},
        {"goto ST1;", "goto ST1;", ";"},
        {" ", " goto", "goto"},
        {"if ( c1", "if ( c1 > 5 )", "c1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(vokr_get_completion_prefix(c.before, c.all).toStdString(), c.word) << c.before << " / " << c.all;
}

TEST(StateText, OffersAfterTokens)
{
    const struct {
        int display;
        const char* text;
        const char* offers;
    } cases[] = {
        {ALL, "", "state "},
        {ONE, "", STATEMENTS},
        {ALL, "state ST1", ":"},
        {ALL, "state ST1 :", STATEMENTS},
        {ONE, "begin",
         "if (|goto |start_store;|stop_store;|trigger;|segment_trigger;|increment |decrement |"
         "clear |set |reset "},
        {ALL, "state ST1 : begin",
         "if (|goto |start_store;|stop_store;|trigger;|segment_trigger;|increment |"
         "decrement |clear |set |reset "},
        {ONE, "if ( c1 > 5 ) begin", ACTIONS},
        {ONE, "if ( ( condition1 )", "&&||||)"},
        {ONE, "if ( condition1 )",
         "begin|goto |start_store;|stop_store;|trigger;|segment_trigger;|increment |"
         "decrement |clear |set |reset "},
        {ONE, "if ( c1 > 5 ) goto ST2 ; else",
         "if (|begin|goto |start_store;|stop_store;|trigger;|"
         "segment_trigger;|increment |decrement |clear |set |reset "},
        {ONE, "if ( condition1 ) begin goto ST2 ; stop_store ;",
         "trigger;|segment_trigger;|increment |decrement |clear |set |reset |end"},
        {ONE, "begin if ( condition1 ) stop_store ;",
         "else if (|else |goto |trigger;|segment_trigger;|increment |decrement |clear |set |reset |end"},
        {ONE, "begin trigger ;",
         "if (|goto |start_store;|stop_store;|segment_trigger;|increment |decrement |"
         "clear |set |reset |end"},
        {ONE, "if ( condition1 ) stop_store ;", "else |else if ("},
        {ONE, "if ( condition1 ) stop_store ; else trigger ;", ""},
        // An else offered here would stand after a statement that is no if's branch.
        {ONE, "if ( condition1 ) stop_store ; trigger ;", ""},
        {ONE, "begin if ( condition1 ) stop_store ; goto ST1 ;",
         "trigger;|segment_trigger;|increment |decrement |clear |set |reset |end"},
        {ALL, "state ST1 : if ( f1 ) trigger ;", "else |else if (|state "},
        {ALL, "state ST1 : begin trigger ; end", "state "},
        // A goto of an earlier state does not hide "goto " in this state's branch.
        {ALL, "state ST1 : goto ST2 ; state ST2 : if ( condition1 )",
         "begin|goto |start_store;|stop_store;|trigger;|segment_trigger;|increment |decrement |clear |set |reset "},
        {ONE, "if (", "!|(|condition1|condition2|condition3|c1|c2|f1|f2"},
        {ONE, "if ( !", "(|condition1|condition2|condition3|c1|c2|f1|f2"},
        {ONE, "increment", "c1;|c2;"},
        {ONE, "reset", "c1;|c2;"},
        {ONE, "clear", "f1;|f2;"},
        {ONE, "goto", "ST1;|ST2;|ST3;"},
        {ONE, "if", "("},
        {ONE, "increment c1", ";"},
        {ONE, "if ( c1", "<|<=|==|>=|>"},
        {ONE, "set f2", ";"},
        {ONE, "if ( f2", "&&||||)"},
        {ONE, "if ( condition2", "&&||||)"},
        {ONE, "if ( c1 ==", "value"},
        {ONE, "if ( c1 ! =", ""},  // "!=" reads as "!" and "="
        {ONE, "if ( c1 <= 7", "&&||||)"},
        {ONE, "goto ST3", ";"},
        {ONE, "segment_trigger", ";"},
        {ONE, "if ( speed", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(offers_after(c.text, c.display, EXPANDED), c.offers) << c.text;
}

// Collapsed operand lists: the single name, the kind's word for several, nothing for none.
TEST(StateText, CollapsedOperands)
{
    const struct {
        int conditions, counters, flags;
        const char* offers;
    } cases[] = {
        {3, 2, 2, "!|(|condition|counter|flag"},
        {1, 0, 1, "!|(|condition1|f1"},
        {2, 1, 0, "!|(|condition|c1"},
        {0, 0, 2, "!|(|flag"},
    };
    for (const auto& c : cases) {
        QStringList out;
        vokr_get_state_text_completions(&out, {"if", "("}, state_flow::NAMES(c.conditions, c.counters, c.flags, 1), ONE,
                                        COLLAPSED);
        EXPECT_EQ(joined(out), c.offers) << c.conditions << c.counters << c.flags;
    }
}

// Replace candidates begin with the typed word taken literally; insert candidates follow.
TEST(StateText, CompletionList)
{
    const struct {
        const char* before;
        const char* all;
        int kinds;
        const char* offers;
    } cases[] = {
        {"got", "got", VOKR_COMPLETER_TYPE_REPLACE, "goto "},
        {"goto", "goto", VOKR_COMPLETER_TYPE_REPLACE, ""},
        {"goto", "goto", VOKR_COMPLETER_TYPE_CHECK, "ST1;|ST2;|ST3;"},
        {"if ( con", "if ( con", VOKR_COMPLETER_TYPE_CHECK, "condition1|condition2|condition3"},
        {"if ( c", "if ( c )", VOKR_COMPLETER_TYPE_REPLACE, "condition1|condition2|condition3|c1|c2"},
        {"if ( condition1 |", "if ( condition1 |", VOKR_COMPLETER_TYPE_REPLACE, "||"},
        {"", "trigger;", VOKR_COMPLETER_TYPE_CHECK, STATEMENTS},
        {"if (", "if (", VOKR_COMPLETER_TYPE_REPLACE, ""},
        {"if ( (", "if ( (", VOKR_COMPLETER_TYPE_REPLACE, ""},
        // Words with pattern characters match only offers that begin with them.
        {"if ( .", "if ( .", VOKR_COMPLETER_TYPE_REPLACE, ""},
        {"if ( c.", "if ( c.", VOKR_COMPLETER_TYPE_REPLACE, ""},
        {"if ( *", "if ( *", VOKR_COMPLETER_TYPE_REPLACE, ""},
        {"if ( c+", "if ( c+", VOKR_COMPLETER_TYPE_REPLACE, ""},
        {"if ( [c", "if ( [c", VOKR_COMPLETER_TYPE_REPLACE, ""},
        {"if ( c\\", "if ( c\\", VOKR_COMPLETER_TYPE_REPLACE, ""},
        {"if ( c1?", "if ( c1?", VOKR_COMPLETER_TYPE_REPLACE, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(joined(vokr_get_completion_list(c.before, c.all, names(), ONE, c.kinds)), c.offers) << c.before;
}

TEST(StateText, Predicates)
{
    using PREDICATE = bool (*)(const QStringList&);
    const auto goto_used = [](const QStringList& t) { return vokr_is_used_in_branch(t, "goto"); };
    const auto if_after_header = [](const QStringList& t) { return vokr_is_after_state_header(t, "if"); };
    const struct {
        PREDICATE predicate;
        const char* name;
        const char* text;
        bool expected;
    } cases[] = {
        {vokr_is_in_begin_end_block, "in block", "begin begin trigger ; end", true},
        {vokr_is_in_begin_end_block, "in block", "begin trigger ; end", false},
        {vokr_is_in_begin_end_block, "in block", "state A : begin trigger ; state B : trigger ;", false},
        {vokr_is_in_if_without_else, "if without else", "if ( f1 ) begin trigger ; end", true},
        {vokr_is_in_if_without_else, "if without else", "if ( f1 ) begin trigger ;", false},
        {vokr_is_in_if_without_else, "if without else", "if ( f1 ) trigger ; else trigger ;", false},
        {vokr_is_in_if_without_else, "if without else", "trigger ;", false},
        {vokr_is_in_if_without_else, "if without else", "if ( f1 ) trigger ; set f1 ;", false},
        {vokr_is_in_if_without_else, "if without else", "begin if ( f1 ) trigger ; goto ST1 ;", false},
        {vokr_is_in_if_without_else, "if without else", "if ( f1 ) begin if ( f2 ) trigger ; end", true},
        {vokr_is_in_if_without_else, "if without else", "if ( f1 ) trigger ; else if ( f2 ) trigger ;", true},
        {vokr_is_last_if_or_else_open, "open", "if ( f1 ) begin trigger ;", true},
        {vokr_is_last_if_or_else_open, "open", "if ( f1 ) begin trigger ; end", false},
        {vokr_is_last_if_or_else_open, "open", "else begin trigger ;", true},
        {vokr_is_last_if_or_else_open, "open", "trigger ;", false},
        {goto_used, "goto used", "if ( f1 ) goto ST1 ; else", false},
        {goto_used, "goto used", "if ( f1 ) goto ST1 ; else if ( f2 ) goto ST2 ; else", false},
        {goto_used, "goto used", "goto ST1 ; if ( f1 )", true},
        {goto_used, "goto used", "begin goto ST1 ;", true},
        {if_after_header, "if after header", "if ( f1 ) trigger ; state ST2 : begin", false},
        {vokr_is_if_condition_open, "condition open", "if ( ( f1 )", true},
        {vokr_is_if_condition_open, "condition open", "( ( if ( f1 )", false},
        {vokr_is_begin_of_if_allowed, "begin of if", "state ST1 : begin", true},
        {vokr_is_begin_of_if_allowed, "begin of if", "if ( f1 ) begin", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.predicate(vokr_tokenize_state_text(c.text)), c.expected) << c.name << ": " << c.text;
}

TEST(StateText, ClickToChangeLists)
{
    const struct {
        const char* word;
        const char* list;
    } cases[] = {
        {"42", ""},      {"ST2", "ST1|ST2|ST3"},    {"condition3", "condition1|condition2|condition3"},
        {"f1", "f1|f2"}, {"c2", "c1|c2"},           {"&&", "|||&&"},
        {"||", "|||&&"}, {"<=", ">|>=|!=|==|<=|<"}, {"c1>5", ">|>=|!=|==|<=|<"},
        {"goto", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(joined(vokr_get_click_change_list(c.word, names())), c.list) << c.word;
}

// Random walks through the completer yield complete flows whose tokens are the pieces taken.
TEST(StateText, RandomWalksTokenise)
{
    for (int display : {ONE, ALL}) {
        for (const state_flow::WALK& walk : state_flow::random_walks(names(), display, 1234, 40, 30)) {
            EXPECT_EQ(vokr_tokenize_state_text(walk.text), walk.tokens) << walk.text.toStdString();
            EXPECT_TRUE(state_flow::is_complete_flow(walk.tokens)) << walk.text.toStdString();
            EXPECT_EQ(display == ALL, walk.tokens.value(0) == "state") << walk.text.toStdString();
        }
    }
}

class StateTextNames : public manager_test::MANAGER_TEST {};

// The manager's names of an instance's trigger, with unnamed states called by their number.
TEST_F(StateTextNames, ComeFromTheTrigger)
{
    manager_test::EDITOR editor(false);
    KSM_TX_TRIGGER* trigger = editor.trigger();
    ASSERT_TRUE(trigger->set_num_levels(2));
    ASSERT_TRUE(trigger->set_level_name(1, "armed"));
    ASSERT_TRUE(trigger->set_counter_count(2));
    ASSERT_TRUE(trigger->set_flag_count(1));
    auto* machine = dynamic_cast<VOKR_STATE_MACHINE_OBJECT*>(trigger->get_state_machine_object());
    ASSERT_NE(machine, nullptr);
    machine->set_state_count(3);
    machine->set_state_name(1, "wait");
    const VOKR_TX_MANAGER_NAME_SOURCE source(editor.get(), -1);
    EXPECT_EQ(joined(source.get_condition_names()), "condition1|armed");
    EXPECT_EQ(joined(source.get_counter_names()), "c1|c2");
    EXPECT_EQ(joined(source.get_flag_names()), "f1");
    EXPECT_EQ(joined(source.get_state_names()), "ST1|wait|ST3");
    EXPECT_EQ(joined(vokr_get_completion_list("goto ", "goto ", editor.get(), -1, ONE, VOKR_COMPLETER_TYPE_INSERT)),
              "ST1;|wait;|ST3;");
    const VOKR_TX_MANAGER_NAME_SOURCE none(nullptr, -1);
    EXPECT_TRUE(none.get_condition_names().isEmpty() && none.get_state_names().isEmpty());
}

}  // namespace
