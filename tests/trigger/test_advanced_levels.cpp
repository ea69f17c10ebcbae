// Advanced trigger levels: the manager's routed-node patterns, modified flag and node and
// counter checks with the notice when saving; the repository's parsed expressions, and
// diagrams that persist in both banks or are rebuilt from a stored expression.
#include "manager_test_support.h"

#include "diagram_builder.h"
#include "ruv.h"
#include "vokr_session_object.h"

#include <QFile>

#include <algorithm>

using namespace manager_test;

namespace {

using diagram::DIAGRAM;

// The boxes of an advanced level of the trigger, made from the diagram notation.
VOKR_OBJECT* draw(KSM_TX_TRIGGER* trigger, int level, const std::string& tree)
{
    if (level < 0)
        trigger->set_pattern_type(level + KSM_NUM_PATTERNS, KSM_LTYPE_ADVANCED);
    else
        trigger->set_level_type(level, KSM_LTYPE_ADVANCED);
    KSM_TX_TREE_OBJECT* root =
        level < 0 ? trigger->get_storage_qualifier_root(level + KSM_NUM_PATTERNS) : trigger->get_advanced_root(level);
    EXPECT_NE(root, nullptr);
    return DIAGRAM(root).make(tree);
}

// A node of the trigger list with its tap mode, its trigger use, and its normal and power-up
// condition on level 0.
struct NODE_ROW {
    const char* name;
    KSM_DATA_WIRE_TAP_MODE tap;
    KSM_DATA_WIRE_CAPTURE_TYPE use;
    KSM_DATA_TRIGGER_CONDITION normal, power_up;
};

void add_node(KSM_TX_TRIGGER* trigger, const NODE_ROW& n)
{
    ASSERT_TRUE(trigger->insert_node(n.name, KSM_STYPE_INPUT_PIN, n.tap, false));
    const int row = trigger->get_num_nodes() - 1;
    trigger->set_node_use(row, n.use);
    const bool selection = trigger->is_power_up_selection();
    trigger->set_power_up_selection(false);
    trigger->set_trigger_condition(row, 0, n.normal);
    trigger->set_power_up_selection(true);
    trigger->set_trigger_condition(row, 0, n.power_up);
    trigger->set_power_up_selection(selection);
}

using AdvancedLevels = MANAGER_TEST;

constexpr KSM_DATA_WIRE_TAP_MODE POST = KSM_TAP_POST_FITTING;
constexpr KSM_DATA_WIRE_TAP_MODE PRE = KSM_TAP_PRE_SYNTHESIS;
constexpr KSM_DATA_WIRE_CAPTURE_TYPE BOTH = KSM_CAPTURE_BOTH;

// The patterns pair one letter with each post-fitting trigger node, so that the syntax library
// reads the printed condition; a condition without a letter of its own is "don't care".
TEST_F(AdvancedLevels, RoutedNodePatternsFollowThePostFittingNodes)
{
    const auto post = [](const char* name, KSM_DATA_TRIGGER_CONDITION normal, KSM_DATA_TRIGGER_CONDITION power_up) {
        return NODE_ROW{name, POST, BOTH, normal, power_up};
    };
    struct TEXTS {
        const char *pattern, *power_up_pattern, *names;
    };
    const struct {
        const char* what;
        TEXTS texts;
        std::vector<NODE_ROW> nodes;
    } cases[] = {
        {"levels and edges in both banks",
         {"1R", "0X", "'A','B'"},
         {post("A", KSM_CTYPE_HIGH, KSM_CTYPE_LOW), post("B", KSM_CTYPE_RISING_EDGE, KSM_CTYPE_DONT_CARE)}},
        {"pre-synthesis and data-only nodes stay out",
         {"E", "F", "'E'"},
         {{"P", PRE, BOTH, KSM_CTYPE_HIGH, KSM_CTYPE_HIGH},
          {"D", POST, KSM_CAPTURE_DATA, KSM_CTYPE_HIGH, KSM_CTYPE_HIGH},
          post("E", KSM_CTYPE_EITHER_EDGE, KSM_CTYPE_FALLING_EDGE)}},
        {"conditions without a letter keep the later letters with their nodes",
         {"X0", "X1", "'A','B'"},
         {post("A", KSM_CTYPE_DISABLED, KSM_CTYPE_ACTIVE_HIGH), post("B", KSM_CTYPE_LOW, KSM_CTYPE_HIGH)}},
        {"names are quoted as the printer quotes them",
         {"1", "1", "'top|it\\'s\\\\n'"},
         {post("top|it's\\n", KSM_CTYPE_HIGH, KSM_CTYPE_HIGH)}},
    };
    for (const auto& c : cases) {
        EDITOR m(false);
        KSM_TX_TRIGGER* trigger = m.trigger();
        for (const NODE_ROW& n : c.nodes)
            add_node(trigger, n);
        VOKR_OBJECT* result = draw(trigger, 0, "result(logical(cirn,'x'))");
        VOKR_OBJECT* cirn = result->get_children()[0]->get_children()[0];
        trigger->set_power_up_selection(true);
        EXPECT_TRUE(m->update_advanced_trigger_pattern());
        EXPECT_TRUE(trigger->is_power_up_selection()) << c.what;  // the bank selection is restored
        EXPECT_EQ(cirn->get_pattern(), c.texts.pattern) << c.what;
        EXPECT_EQ(cirn->get_power_up_pattern(), c.texts.power_up_pattern) << c.what;
        EXPECT_EQ(cirn->get_node_list(), c.texts.names) << c.what;
        for (bool power_up : {false, true}) {
            std::string equation;
            EXPECT_TRUE(trigger->get_advanced_root(0)->get_equation(&equation, nullptr, nullptr, 1, power_up));
            RUV_ADVANCED_TRIGGER_FACTORY factory;
            EXPECT_TRUE(factory.parse(equation)) << c.what << ": " << factory.get_error_message();
        }
    }
}

// A condition for routed nodes that is not wired into the expression is left as it is.
TEST_F(AdvancedLevels, UnwiredRoutedNodesAreNotUsed)
{
    EDITOR m(false);
    add_node(m.trigger(), {"A", POST, BOTH, KSM_CTYPE_HIGH, KSM_CTYPE_LOW});
    VOKR_OBJECT* cirn = draw(m.trigger(), 0, "cirn");
    draw(m.trigger(), 0, "result('x')");
    cirn->set_pattern("R");
    EXPECT_FALSE(m->is_advanced_trigger_pattern_enabled(0, -1));
    EXPECT_FALSE(m->is_advanced_trigger_pattern_enabled(-1, -1));
    m->update_advanced_trigger_pattern();
    EXPECT_EQ(cirn->get_pattern(), "R");
    EXPECT_TRUE(cirn->get_node_list().isEmpty());
    EXPECT_TRUE(m->is_advanced_nodes_used(-1));
    draw(m.trigger(), 0, "result")->attach(cirn, false);
    EXPECT_TRUE(m->is_advanced_trigger_pattern_enabled(-1, -1));
}

TEST_F(AdvancedLevels, ModifiedFlagOfTheShownLevel)
{
    EDITOR m(false);
    draw(m.trigger(), 0, "result('a')");
    m->set_trigger_level(0);
    HINTS hints(m.get());
    m->update_advanced_modified_flag(true, true);
    EXPECT_TRUE(m.trigger()->is_advanced_modified(0));
    EXPECT_TRUE(m->get_session()->is_modified());
    EXPECT_EQ(hints.count(VOKR_HINT_STATUS | VOKR_HINT_ADVANCED_MODIFIED | VOKR_HINT_INSTANCES), 1);
    m->update_advanced_modified_flag(false, false);
    EXPECT_FALSE(m.trigger()->is_advanced_modified(0));
}

TEST_F(AdvancedLevels, CounterOperatorOnTheFirstLevelsResult)
{
    const std::pair<const char*, bool> cases[] = {
        {"result(counter('a'))", true}, {"result(logical(counter('a'),'b'))", false}, {"result('a')", false}};
    for (const auto& [tree, used] : cases) {
        EDITOR m(false);
        EXPECT_FALSE(m->is_counter_operator_used());  // a basic level
        draw(m.trigger(), 0, tree);
        EXPECT_EQ(m->is_counter_operator_used(), used) << tree;
    }
}

// Saving names an instance whose levels are all advanced and whose routed trigger nodes no level
// wires, and then checks no expression; the save goes on.
TEST_F(AdvancedLevels, SavingNamesUnusedRoutedNodes)
{
    const struct {
        const char* what;
        KSM_DATA_WIRE_TAP_MODE tap;
        const char* tree;
        std::vector<std::string> shown;
    } cases[] = {
        {"routed nodes not wired", POST, "result(logical)", {"VOKR_UNUSED_POST_FITTING_TRIGGERS"}},
        {"routed nodes wired", POST, "result(logical(cirn,'A'))", {}},
        {"no routed nodes", PRE, "result(logical)", {"VOKR_ERROR_IN_ADVANCED_TRIGGER"}},
    };
    for (const auto& c : cases) {
        EDITOR m(false);
        add_node(m.trigger(), {"A", c.tap, KSM_CAPTURE_NEITHER, KSM_CTYPE_HIGH, KSM_CTYPE_HIGH});
        draw(m.trigger(), 0, c.tree);
        MSG_JOURNAL::clear();
        EXPECT_TRUE(m->save_document(path("s.lmx").c_str())) << c.what;
        std::vector<std::string> shown = shown_messages();
        shown.erase(std::remove(shown.begin(), shown.end(), "VOKR_ZERO_INPUT"), shown.end());
        EXPECT_EQ(shown, c.shown) << c.what;
    }
}

// ---- the repository ---------------------------------------------------------------------------------

// Every equation of a level or pattern in both banks.
std::vector<std::string> equations(KSM_TX_SESSION& session)
{
    std::vector<std::string> texts;
    KSM_TX_TRIGGER* trigger = session.get_trigger_at(0);
    for (int level = -KSM_NUM_PATTERNS; level < trigger->get_num_levels(); ++level) {
        KSM_TX_TREE_OBJECT* root = level < 0 ? trigger->get_storage_qualifier_root(level + KSM_NUM_PATTERNS)
                                             : trigger->get_advanced_root(level);
        for (bool power_up : {false, true}) {
            std::string text = "-";
            if (root)
                root->get_equation(&text, nullptr, nullptr, 1, power_up);
            texts.push_back(text);
        }
    }
    return texts;
}

// Diagrams of levels and patterns keep both banks through a save; a level stored with an
// expression and no diagram gets its diagram from the expression when the file is opened.
TEST_F(AdvancedLevels, DiagramsPersistAndAreRebuiltFromStoredExpressions)
{
    const std::string file = path("levels.lmx");
    std::vector<std::string> saved;
    {
        KSM_TX_SESSION session(new VOKR_SESSION_OBJECT, true);
        ASSERT_TRUE(session.create_session(file.c_str()));
        KSM_TX_TRIGGER* t = session.get_trigger_at(0);
        t->set_num_levels(3);
        draw(t, 0,
             "result(compare[comparison=Less Than;powerup_comparison=Greater Than](bus('a','b'),value[bus_value=1;"
             "powerup_bus_value=2]))");
        draw(t, 1, "result(logical[name=it's](bit[bit_value=False;powerup_bit_value=True],'c'))");
        draw(t, -1, "result(eld[pattern=RX;powerup_pattern=FX](bus('d','e')))");
        t->set_level_type(2, KSM_LTYPE_ADVANCED);
        t->set_advanced_trigger_expression(2, "and('y','x')");
        saved = equations(session);
        ASSERT_TRUE(session.save_session(file.c_str()));
    }
    EXPECT_EQ(saved[2 * 3], "compare(variable(1),>,{'a','b'},vc,uc)");
    EXPECT_EQ(saved[2 * 3 + 1], "compare(variable(2),<,{'a','b'},vc,uc)");
    // The file holds level 3 as an expression without a diagram.
    QFile stored(QString::fromStdString(file));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    QByteArray bytes = stored.readAll();
    stored.close();
    ASSERT_EQ(bytes.count("<object/>"), 1);
    bytes.replace("<object/>", "");
    write_file(QString::fromStdString(file), bytes);

    KSM_TX_SESSION reopened(new VOKR_SESSION_OBJECT, true);
    ASSERT_TRUE(reopened.open_session(file.c_str())) << reopened.get_last_error();
    saved[2 * 5] = saved[2 * 5 + 1] = "and('x','y')";
    EXPECT_EQ(equations(reopened), saved);
}

// The wizard's data session, made before the module's root, gets valid diagrams of its advanced
// levels when the module opens it, single bits used as buses gathered by bus boxes.
TEST_F(AdvancedLevels, OpenSessionGetsDiagramsOfStoredExpressions)
{
    const struct {
        const char* stored;
        const char* shown;
    } cases[] = {
        {"ec(4,9,s,1,'a')", "ec(4,9,s,1,'a')"},
        {"('a'&'b')", "(|({'a'}&{'b'}))"},
        {"~'a'", "(|~{'a'})"},
    };
    KSM_DATA_MANAGER* manager = KSM_DATA_MANAGER::get_data_repository_manager();
    for (const auto& c : cases) {
        KSM_DATA_SESSION* data = manager->create_session("advanced_levels_reserved");
        ASSERT_NE(data, nullptr);
        KSM_DATA_TRIGGER* trigger = data->create_lumetra_instance(nullptr)->create_signal_set()->create_trigger();
        trigger->append_new_level();
        ASSERT_TRUE(trigger->set_trigger_level_cond_expr_type(1, false));
        ASSERT_TRUE(trigger->set_advanced_trigger_expression(1, c.stored));
        {
            KSM_TX_SESSION session(new VOKR_SESSION_OBJECT, true);
            ASSERT_TRUE(session.open_session("advanced_levels_reserved"));
            std::string text;
            EXPECT_TRUE(trigger->get_advanced_root(1)->get_equation(&text, nullptr, nullptr, 1, false)) << c.stored;
            EXPECT_EQ(text, c.shown);
            session.close_session();
        }
        manager->close_session("advanced_levels_reserved");
    }
}

// The parsed expression of a level: its diagram's, in either bank, else its stored text.
TEST_F(AdvancedLevels, FactoryParsesTheLevelsExpression)
{
    KSM_TX_SESSION session(new VOKR_SESSION_OBJECT, true);
    ASSERT_TRUE(session.create_session(path("f.lmx").c_str()));
    KSM_TX_TRIGGER* t = session.get_trigger_at(0);
    t->set_num_levels(3);
    EXPECT_EQ(t->get_advanced_trigger_factory(0), nullptr);  // a basic level
    draw(t, 0, "result(compare(bus('a','b'),value[bus_value=1;powerup_bus_value=3]))");
    t->set_level_type(1, KSM_LTYPE_ADVANCED);
    t->set_advanced_trigger_expression(1, "and('a',");
    t->set_level_type(2, KSM_LTYPE_ADVANCED);
    const struct {
        int level, flag;
        const char* value;  // of the constant in the compare; null: no root
    } cases[] = {{0, 0, "1"}, {0, 1, "3"}, {1, 0, nullptr}};
    for (const auto& c : cases) {
        RUV_ADVANCED_TRIGGER_FACTORY* factory = t->get_advanced_trigger_factory(c.level, c.flag);
        ASSERT_NE(factory, nullptr) << c.level;
        if (!c.value) {
            EXPECT_EQ(factory->get_root(), nullptr);
            EXPECT_NE(factory->get_error_message().find("column"), std::string::npos);
            continue;
        }
        ASSERT_NE(factory->get_root(), nullptr) << factory->get_error_message();
        auto* value = static_cast<RUV_ADVANCED_TRIGGER_INPUT_CONSTANT*>(
            factory->get_root()->get_input_connection_at(0)->get_input_connection_at(0));
        EXPECT_EQ(std::to_string(value->get_value()), c.value) << c.level << " " << c.flag;
    }
    EXPECT_EQ(t->get_advanced_trigger_factory(2), nullptr);  // no diagram and no text
}

}  // namespace
