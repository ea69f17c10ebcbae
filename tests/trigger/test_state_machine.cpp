// The state-machine object (unified text, splitting, persistence) and the manager's state-based
// trigger operations (states, counters, flags, options, acquired values, the check's line mapping).
#include "manager_test_support.h"

#include "ksm_state.h"
#include "vokr_state_machine_object.h"

using namespace manager_test;

namespace {

class StateMachine : public MANAGER_TEST {};

QStringList names_of(const VOKR_STATE_MACHINE_OBJECT& o)
{
    QStringList names;
    for (int i = 0; i < o.get_state_count(); ++i) {
        QString name;
        o.get_state_name(i, &name);
        names << name;
    }
    return names;
}

QStringList texts_of(const VOKR_STATE_MACHINE_OBJECT& o)
{
    QStringList texts;
    for (int i = 0; i < o.get_state_count(); ++i)
        texts << o.get_state_text(i);
    return texts;
}

QString unified(VOKR_STATE_MACHINE_OBJECT& o)
{
    QString text;
    o.get_unified_state_text(&text);
    return text;
}

TEST_F(StateMachine, UnifiedTextIsBuiltFromTheStates)
{
    VOKR_STATE_MACHINE_OBJECT o;
    EXPECT_EQ(unified(o), "state ST1:\r\ntrigger;");
    o.set_state_count(2);
    o.set_state_name(0, "idle");
    o.set_state_name(1, "armed");
    o.set_state_text(0, "  a;\n");
    EXPECT_EQ(unified(o), "state idle:\r\na;\r\n\r\nstate armed:\r\ntrigger;");
    EXPECT_EQ(o.collect_attributes(),
              (std::vector<std::pair<std::string, std::string>>{
                  {"state_machine_flow_expression", "state idle:\na;\n\nstate armed:\ntrigger;"}}));
}

TEST_F(StateMachine, UnifiedTextSplitsAtWholeWordHeaders)
{
    const struct {
        const char* text;
        QStringList names;
        QStringList texts;
    } cases[] = {
        {"State Idle :  x;  state B: y;", {"Idle", "B"}, {"x;", "y;"}},
        {"state A:\ngoto wait_state;\n\nstate wait_state:\ntrigger;",
         {"A", "wait_state"},
         {"goto wait_state;", "trigger;"}},
        {"state A: x; stateful: y; STATE\tB:z;state C:w;", {"A", "B", "C"}, {"x; stateful: y;", "z;", "w;"}},
        {"state A: x; state B y;", {"A"}, {"x;"}},  // a header without a colon ends the split
        {"state my state: x;", {"my state"}, {"x;"}},
        {"junk state A: x;", {"A"}, {"x;"}},
        {"state :x;", {"ST1"}, {"x;"}},
        {"state \u0130\u0130: x; state B: y;", {"\u0130\u0130", "B"}, {"x;", "y;"}},
    };
    for (const auto& c : cases) {
        VOKR_STATE_MACHINE_OBJECT o;
        o.set_unified_state_text(QString::fromUtf8(c.text));
        EXPECT_EQ(names_of(o), c.names) << c.text;
        EXPECT_EQ(texts_of(o), c.texts) << c.text;
        EXPECT_EQ(unified(o), QString::fromUtf8(c.text)) << c.text;
    }
}

TEST_F(StateMachine, TextWithoutHeaderKeepsNamesAndClearsTexts)
{
    VOKR_STATE_MACHINE_OBJECT o;
    o.set_unified_state_text("state a: x; state b: y;");
    o.set_unified_state_text("trigger;");
    EXPECT_EQ(o.get_state_count(), 1);
    EXPECT_EQ(names_of(o), QStringList{"a"});
    EXPECT_EQ(o.get_stored_text_count(), 0);
    EXPECT_EQ(unified(o), "trigger;");
    o.set_state_text(0, "goto a;");
    EXPECT_EQ(unified(o), "state a:\r\ngoto a;");
}

TEST_F(StateMachine, FlowWithStateInsideAWordSurvivesSaveAndReopen)
{
    EDITOR m(false);
    const QString flow = "state idle:\r\nif (condition1) goto wait_state;\r\n\r\nstate wait_state:\r\ntrigger;";
    m->set_unified_state_text(flow);
    ASSERT_TRUE(m->save_document(path("s.lmx").c_str()));
    VOKR_TX_MANAGER reopened(nullptr);
    bool renamed = false;
    std::string name;
    ASSERT_TRUE(reopened.open_document(path("s.lmx").c_str(), &renamed, &name));
    EXPECT_EQ(reopened.get_state_names(-1), (QStringList{"idle", "wait_state"}));
    QString text;
    reopened.get_unified_state_text(&text, -1);
    EXPECT_EQ(text, QString(flow).remove('\r'));
    reopened.set_state_text(1, "trigger; ");
    reopened.get_unified_state_text(&text, -1);
    EXPECT_EQ(text, flow);
}

TEST_F(StateMachine, StatesDefaultToNumberedNamesAndTypesGrow)
{
    EDITOR m(false);
    EXPECT_EQ(m->get_state_names(-1), QStringList{"ST1"});
    m->set_state_count(3);
    m->set_state_name(1, "armed");
    EXPECT_EQ(m->get_state_names(-1), (QStringList{"ST1", "armed", "ST3"}));
    EXPECT_TRUE(m->is_state_name("ST3", -1));
    EXPECT_FALSE(m->is_state_name("ST2", -1));
    m->set_state_type(2, 5);
    EXPECT_EQ(m->get_state_machine_object(-1)->get_stored_type_count(), 3);
    EXPECT_EQ(m->get_state_type(2, -1), 5);
    EXPECT_EQ(m->get_state_type(0, -1), 0);
    EXPECT_EQ(m->get_state_type(7, -1), 0);

    VOKR_TX_MANAGER empty(nullptr);
    EXPECT_EQ(empty.get_state_count(-1), 1);
    EXPECT_EQ(empty.get_state_names(-1), QStringList{"ST1"});
    EXPECT_EQ(empty.get_counter_count(-1), 0);
    EXPECT_FALSE(empty.is_configurable(RUV_RUNTIME_GOTO_DESTINATIONS, -1));
}

// What the manager shows of the current flow: the unified text without CRs (a flow put back
// reads like one read from a file), the names and the kinds of the states.
struct FLOW_VIEW {
    QString text;
    QStringList names;
    QList<int> types;
    bool operator==(const FLOW_VIEW& o) const { return text == o.text && names == o.names && types == o.types; }
};

std::ostream& operator<<(std::ostream& out, const FLOW_VIEW& v)
{
    QStringList types;
    for (int type : v.types)
        types << QString::number(type);
    return out << v.text.toStdString() << " | " << v.names.join(',').toStdString() << " | "
               << types.join(',').toStdString();
}

FLOW_VIEW view_of(const VOKR_TX_MANAGER* m)
{
    FLOW_VIEW v;
    m->get_unified_state_text(&v.text, -1);
    v.text.remove('\r');
    v.names = m->get_state_names(-1);
    for (int i = 0; i < v.names.size(); ++i)
        v.types << m->get_state_type(i, -1);
    return v;
}

// Every state setter is one undo unit that takes the flow back, and redo brings the edit again;
// also when the trigger changed outside any unit after the edit, which stays.
TEST_F(StateMachine, UndoAndRedoOfEachStateSetter)
{
    const struct {
        const char* what;
        std::function<void(VOKR_TX_MANAGER*)> edit;
    } cases[] = {
        {"count", [](VOKR_TX_MANAGER* m) { m->set_state_count(3); }},
        {"fewer", [](VOKR_TX_MANAGER* m) { m->set_state_count(1); }},
        {"name", [](VOKR_TX_MANAGER* m) { m->set_state_name(1, "armed"); }},
        {"text", [](VOKR_TX_MANAGER* m) { m->set_state_text(0, "if (condition1) goto wait;"); }},
        {"unified", [](VOKR_TX_MANAGER* m) { m->set_unified_state_text("state A: trigger;"); }},
        {"type", [](VOKR_TX_MANAGER* m) { m->set_state_type(0, 4); }},
        {"type cleared", [](VOKR_TX_MANAGER* m) { m->set_state_type(1, 0); }},
    };
    for (const auto& c : cases) {
        for (bool outside : {false, true}) {
            EDITOR m(false);
            m->set_unified_state_text("state idle:\r\ngoto wait;\r\n\r\nstate wait:\r\ntrigger;");
            m->set_state_type(1, 2);
            const FLOW_VIEW before = view_of(m.get());
            c.edit(m.get());
            const FLOW_VIEW edited = view_of(m.get());
            ASSERT_FALSE(edited == before) << c.what;
            if (outside)
                m.trigger()->set_flag_count(1);
            m->on_edit_undo();
            EXPECT_EQ(view_of(m.get()), before) << c.what << outside;
            m->on_edit_redo();
            EXPECT_EQ(view_of(m.get()), edited) << c.what << outside;
            m->on_edit_undo();
            m->on_edit_undo();  // the kind set above
            m->on_edit_undo();  // the first flow
            EXPECT_EQ(view_of(m.get()), (FLOW_VIEW{"state ST1:\ntrigger;", {"ST1"}, {0}})) << c.what << outside;
            EXPECT_EQ(m->get_flag_count(-1), outside ? 1 : 0) << c.what;
        }
    }
}

// The flow read from a session file, kinds included, is where an undo of the first edit after
// opening goes back to.
TEST_F(StateMachine, UndoAfterOpeningKeepsTheStoredFlow)
{
    EDITOR m(false);
    m->set_unified_state_text("state idle:\r\ngoto wait;\r\n\r\nstate wait:\r\ntrigger;");
    m->set_state_type(0, 3);
    const FLOW_VIEW stored = view_of(m.get());
    ASSERT_TRUE(m->save_document(path("undo.lmx").c_str()));
    VOKR_TX_MANAGER reopened(nullptr);
    bool renamed = false;
    std::string name;
    ASSERT_TRUE(reopened.open_document(path("undo.lmx").c_str(), &renamed, &name));
    EXPECT_EQ(view_of(&reopened), stored);
    reopened.set_counter_count(2);  // an edit that leaves the flow alone
    reopened.set_state_text(1, "stop_store;");
    reopened.on_edit_undo();
    EXPECT_EQ(view_of(&reopened), stored);
    reopened.on_edit_undo();
    EXPECT_EQ(view_of(&reopened), stored);
}

// A switch to state-based flow, shown (which makes the default flow) and undone, saves the file
// it had before the switch.
TEST_F(StateMachine, UndoneSwitchToStateBasedFlowSavesTheFileAsBefore)
{
    EDITOR m(true);
    const auto bytes = [this](const char* name) {
        QFile file(QString::fromStdString(path(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    ASSERT_TRUE(m->save_document(path("before.lmx").c_str()));
    m->set_trigger_flow_control("State-based");
    ASSERT_NE(m->get_state_machine_object(-1), nullptr);  // as the state-based tab shows it
    m->on_edit_undo();
    ASSERT_TRUE(m->save_document(path("undone.lmx").c_str()));
    EXPECT_EQ(bytes("undone.lmx"), bytes("before.lmx"));
}

// Each setter: whether it opens an undo unit and what it announces besides the unit's end and
// the modified mark.
TEST_F(StateMachine, SettersOpenOneUnitAndAnnounceTheirHint)
{
    const unsigned int rebuilt = VOKR_HINT_REBUILD | VOKR_HINT_VIEW;
    const unsigned int refreshed = VOKR_HINT_REFRESH | VOKR_HINT_VIEW;
    const struct {
        const char* what;
        std::function<void(VOKR_TX_MANAGER*)> edit;
        bool unit;
        std::vector<unsigned int> hints;
        bool modified = unit;
    } cases[] = {
        {"same state count", [](VOKR_TX_MANAGER* m) { m->set_state_count(1); }, false, {}},
        {"state count 0", [](VOKR_TX_MANAGER* m) { m->set_state_count(0); }, false, {}},
        {"other state count", [](VOKR_TX_MANAGER* m) { m->set_state_count(2); }, true, {rebuilt}},
        {"same state text", [](VOKR_TX_MANAGER* m) { m->set_state_text(0, ""); }, false, {}},
        {"state text", [](VOKR_TX_MANAGER* m) { m->set_state_text(0, "trigger;"); }, true, {refreshed}},
        {"same unified text",
         [](VOKR_TX_MANAGER* m) { m->set_unified_state_text("state ST1:\r\ntrigger;"); },
         false,
         {}},
        {"unified text", [](VOKR_TX_MANAGER* m) { m->set_unified_state_text("state A: trigger;"); }, true, {refreshed}},
        {"display mode", [](VOKR_TX_MANAGER* m) { m->set_state_display_mode(false); }, true, {rebuilt}, false},
        {"same state name", [](VOKR_TX_MANAGER* m) { m->set_state_name(0, "ST1"); }, false, {}},
        {"state name", [](VOKR_TX_MANAGER* m) { m->set_state_name(0, "idle"); }, true, {}},
        {"same state type", [](VOKR_TX_MANAGER* m) { m->set_state_type(3, 0); }, false, {}},
        {"state type", [](VOKR_TX_MANAGER* m) { m->set_state_type(0, 2); }, true, {}},
        {"counters", [](VOKR_TX_MANAGER* m) { m->set_counter_count(2); }, true, {refreshed}},
        {"flags", [](VOKR_TX_MANAGER* m) { m->set_flag_count(2); }, true, {refreshed}},
        {"option",
         [](VOKR_TX_MANAGER* m) { m->set_configurable(RUV_RUNTIME_LOGICAL_OPERATORS, true); },
         true,
         {VOKR_HINT_VIEW}},
        {"while widgets are filled",
         [](VOKR_TX_MANAGER* m) {
             VOKR_UPDATE_GUARD guard;
             m->set_state_count(4);
             m->set_counter_count(3);
         },
         false,
         {}},
    };
    for (const auto& c : cases) {
        EDITOR m(true);
        HINTS hints(m.get());
        c.edit(m.get());
        EXPECT_EQ(hints.count(UNIT_END_HINT), c.unit ? 1 : 0) << c.what;
        EXPECT_EQ(hints.without_marks(), c.hints) << c.what;
        EXPECT_EQ(m.frame()->isWindowModified(), c.modified) << c.what;
    }
}

// A counter holds only its width's bits: an initial value past them, typed or left by a narrower
// width, takes the largest value the width holds, which the run then starts from.
TEST_F(StateMachine, ACountersInitialValueFitsItsWidth)
{
    EDITOR m(false);
    m->set_counter_count(1);
    const struct {
        int width;
        unsigned int typed;  // 0: none typed, the width alone changes
        unsigned int initial;
    } steps[] = {{4, 100, 15}, {4, 9, 9}, {3, 0, 7}, {32, 4294967295u, 4294967295u}, {1, 0, 1}};
    for (const auto& c : steps) {
        m->set_counter_width(0, c.width);
        if (c.typed)
            m->set_counter_initial_value(0, c.typed);
        int width = 0;
        unsigned int initial = 0;
        m->get_counter_name(0, -1, &width, &initial);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(initial, c.initial) << c.width << " " << c.typed;
    }
}

TEST_F(StateMachine, CountersFlagsAndOptionsGoToTheTrigger)
{
    EDITOR m(false);
    m->set_counter_count(2);
    m->set_flag_count(1);
    EXPECT_EQ(m->get_counter_names(-1), (QStringList{"c1", "c2"}));
    EXPECT_EQ(m->get_flag_names(-1), QStringList{"f1"});
    const QString counter = "hits";
    const QString flag = "seen";
    m->set_counter_name(1, &counter);
    m->set_counter_width(1, 12);
    m->set_counter_initial_value(1, 7);
    m->set_flag_name(0, &flag);
    m->set_flag_initial_value(0, 1);
    m->set_configurable(RUV_RUNTIME_COMPARISON_VALUES, true);
    int width = 0;
    unsigned int initial = 0;
    int flag_initial = 0;
    EXPECT_STREQ(m->get_counter_name(1, -1, &width, &initial), "hits");
    EXPECT_EQ(width, 12);
    EXPECT_EQ(initial, 7u);
    EXPECT_STREQ(m->get_flag_name(0, -1, &flag_initial), "seen");
    EXPECT_EQ(flag_initial, 1);
    EXPECT_STREQ(m->get_counter_name(5, -1), "");
    EXPECT_TRUE(m->is_counter_name("hits", -1));
    EXPECT_TRUE(m->is_flag_name("seen", -1));
    EXPECT_FALSE(m->is_flag_name("hits", -1));
    EXPECT_TRUE(m->is_configurable(RUV_RUNTIME_COMPARISON_VALUES, -1));
    EXPECT_FALSE(m->is_configurable(RUV_RUNTIME_GOTO_DESTINATIONS, -1));
    EXPECT_TRUE(m->get_session()->is_modified());
}

TEST_F(StateMachine, AcquiredValuesComeFromTheDataLog)
{
    EDITOR m(false);
    m->set_counter_count(3);  // the trigger's own counters are not what is read
    KSM_TX_TRIGGER* t = m.trigger();
    auto log = ksm_make<KSM_DATA_LOG>(m->get_session()->get_data_session(), "log");
    KSM_ACCESS::set_parent(log.get(), t);
    KSM_ACCESS::state(t)->logs.push_back(log);
    log->begin_capture(1, 64, 0);
    log->set_state_results(4, {9, 0xFFFFFFFFu}, {1});
    log->end_capture();
    int value = -5;
    EXPECT_EQ(m->get_state_current_value(0), 4);
    EXPECT_EQ(m->get_state_current_value(1), -1);
    EXPECT_TRUE(m->get_counter_current_value(1, 0, &value));
    EXPECT_EQ(value, -1);
    EXPECT_FALSE(m->get_counter_current_value(2, 0, &value));
    EXPECT_TRUE(m->get_flag_current_value(0, 0, &value));
    EXPECT_EQ(value, 1);
    EXPECT_FALSE(m->get_flag_current_value(1, 0, &value));
    EXPECT_FALSE(m->get_flag_current_value(0, 3, &value));
}

// The failing line of the unified text names the state whose block holds it; the empty line
// after a state belongs to it.
TEST_F(StateMachine, CheckMapsTheFailingLineToItsState)
{
    const struct {
        const char* flow;
        int restated;  // a state whose text is then set on its own (-1: none), so the text is rebuilt
        const char* restated_text;
        int line;
        int state;
        int line_in_state;
    } cases[] = {
        {"state A:\r\nif (condition1)\r\n  goto B\r\n\r\nstate B:\r\ntrigger;", -1, "", 3, 0, 2},
        {"state A:\r\ntrigger;\r\n\r\nstate B:\r\nbogus;", -1, "", 5, 1, 1},
        {"state A:\ntrigger;\ntrigger;\n\nstate B:\ntrigger;\ntrigger;\nstate A:\ntrigger;", -1, "", 8, 2, 0},
        {"state A:\ntrigger;\n\nstate B:\ntrigger;\ntrigger\n\n\n", -1, "", 6, 1, 2},
        // texts counted as shown: an empty one as its "trigger;" line, trimmed of blank lines
        {"state A:\r\nx;\r\n\r\nstate B:\r\nbogus;", 0, "", 5, 1, 1},
        {"state A:\r\nx;\r\n\r\nstate B:\r\nbogus;", 0, "\r\n\r\ntrigger;", 5, 1, 1},
    };
    for (const auto& c : cases) {
        EDITOR m(false);
        m->set_unified_state_text(c.flow);
        if (c.restated >= 0)
            m->set_state_text(c.restated, c.restated_text);
        VOKR_STATE_MACHINE_ERROR error;
        m->check_state_machine(&error, -1);
        EXPECT_TRUE(error.has_error) << c.flow;
        EXPECT_EQ(error.line, c.line) << c.flow << error.message.toStdString();
        EXPECT_EQ(error.state, c.state) << c.flow;
        EXPECT_EQ(error.line_in_state, c.line_in_state) << c.flow;
    }
}

TEST_F(StateMachine, LineMappingOfStatesWithTwoAndThreeLines)
{
    EDITOR m(false);
    m->set_state_count(2);
    m->set_state_text(0, "trigger;\r\nbogus;");
    m->set_state_text(1, "trigger;\r\ntrigger;\r\ntrigger;");
    VOKR_STATE_MACHINE_ERROR error;
    m->check_state_machine(&error, -1);
    EXPECT_EQ(std::make_pair(error.line, error.state), std::make_pair(3, 0));
    // The same walk for other lines, through a flow whose error sits on that line.
    const std::pair<int, std::pair<int, int>> expected[] = {{1, {0, 0}}, {4, {0, 3}}, {5, {1, 0}}, {6, {1, 1}}};
    for (const auto& e : expected) {
        QString text;
        m->get_unified_state_text(&text, -1);
        QStringList lines = text.split("\r\n");
        lines[e.first - 1] += " #";
        m->set_unified_state_text(lines.join("\r\n"));
        m->check_state_machine(&error, -1);
        EXPECT_EQ(error.line, e.first);
        EXPECT_EQ(std::make_pair(error.state, error.line_in_state), e.second) << e.first;
        m->set_unified_state_text(text);
    }
}

TEST_F(StateMachine, SuccessfulCheckKeepsTheRecordAndAnnouncesTheStatus)
{
    EDITOR m(false);
    VOKR_STATE_MACHINE_ERROR error{true, "old", 9, 2, 3};
    HINTS hints(m.get());
    m->check_state_machine(&error, -1);
    EXPECT_FALSE(error.has_error);
    EXPECT_EQ(error.message, "old");
    EXPECT_EQ(error.line, 9);
    EXPECT_EQ(hints.count(VOKR_HINT_STATUS | VOKR_HINT_INSTANCES), 1);
}

TEST_F(StateMachine, DisplayModeOffRebuildsTheUnifiedText)
{
    EDITOR m(false);
    m->set_unified_state_text("state A: trigger;");
    m->set_state_display_mode(false);
    EXPECT_FALSE(m->get_state_display_mode());
    QString text;
    m->get_unified_state_text(&text, -1);
    EXPECT_EQ(text, "state A:\r\ntrigger;");
    m->set_unified_state_text("state A: trigger;");
    m->set_state_display_mode(false);  // already off: the cache is dropped again
    m->get_unified_state_text(&text, -1);
    EXPECT_EQ(text, "state A:\r\ntrigger;");
    m->set_state_display_mode(true);
    EXPECT_TRUE(m->get_state_display_mode());
}

using StateMachineDeathTest = StateMachine;

TEST_F(StateMachineDeathTest, UnservedCallsAndMissingTriggerEndTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    VOKR_STATE_MACHINE_OBJECT o;
    const char* const object = "should not be called on a VOKR_STATE_MACHINE_OBJECT";
    EXPECT_DEATH(o.get_child_object(0), std::string("get_child_object\\(\\) ") + object);
    EXPECT_DEATH(o.get_child_count(), std::string("get_child_count\\(\\) ") + object);
    EXPECT_DEATH(o.create_child_object(0), std::string("create_child_object\\(\\) ") + object);
    EXPECT_DEATH(o.delete_child_object(nullptr), std::string("delete_child_object\\(\\) ") + object);
    EXPECT_DEATH(o.get_equation(nullptr, nullptr, nullptr, 0, false), "should only be called on a VOKR_TRIGGER_OBJECT");
    EXPECT_DEATH(o.duplicate_trigger(false), "should only be called on a VOKR_TRIGGER_OBJECT");
    EXPECT_DEATH(o.generate_tree(nullptr), std::string("generate_tree\\(\\) ") + object);

    VOKR_TX_MANAGER none(nullptr);
    EXPECT_DEATH(none.set_state_count(2), "this->m_tx_trigger != NULL");
    EXPECT_DEATH(none.set_flag_count(2), "this->m_tx_trigger != NULL");
    VOKR_STATE_MACHINE_ERROR error;
    EXPECT_DEATH(none.check_state_machine(&error, -1), "return_value");
    EXPECT_DEATH(none.is_state_mode(), "this->m_layout_widget != NULL");
}

}  // namespace
