// The manager's basic trigger (conditions per node and level, comparisons, level counts and
// kinds), the acquisition-wide trigger settings (storage qualifier, position, flow control)
// and trigger in and out.
#include "manager_test_support.h"

#include <functional>

using namespace manager_test;

namespace {

class TriggerSettings : public MANAGER_TEST {};

KSM_DATA_TRIGGER_CONDITION condition(int value) { return static_cast<KSM_DATA_TRIGGER_CONDITION>(value); }

// ---- conditions ------------------------------------------------------------------------------------------

TEST_F(TriggerSettings, ConditionAndPositionTextsConvertBothWays)
{
    const char* const conditions[] = {"Disabled",    "Active High",  "Active Low",  "High",      "Low",
                                      "Rising Edge", "Falling Edge", "Either Edge", "Don't Care"};
    for (int c = 0; c < 9; ++c) {
        EXPECT_EQ(VOKR_TX_MANAGER::convert_to_trigger_condition_type(conditions[c]), c) << conditions[c];
        EXPECT_STREQ(VOKR_TX_MANAGER::convert_to_trigger_condition_str(condition(c)), conditions[c]);
    }
    for (int c = 9; c < KSM_CTYPE_COUNT; ++c)
        EXPECT_EQ(VOKR_TX_MANAGER::convert_to_trigger_condition_str(condition(c)), nullptr) << c;

    const char* const positions[] = {"Pre trigger position", "Center trigger position", "Post trigger position",
                                     "Continuous trigger position"};
    for (int p = 0; p < 4; ++p) {
        EXPECT_EQ(VOKR_TX_MANAGER::convert_to_trigger_position_type(positions[p]), p) << positions[p];
        EXPECT_STREQ(VOKR_TX_MANAGER::convert_to_trigger_position_str(static_cast<KSM_DATA_TRIGGER_POSITION>(p)),
                     positions[p]);
    }
}

using TriggerSettingsDeathTest = TriggerSettings;

TEST_F(TriggerSettingsDeathTest, UnknownTextsAndBrokenArgumentsEndTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* const trigger_source = "VOKR, File: zlm/vokr/vokr_tx_manager_trigger\\.cpp, Line: [0-9]+\n";
    for (const char* text : {"", "Foo", "don't care", "Pre"}) {
        SCOPED_TRACE(text);
        EXPECT_DEATH(VOKR_TX_MANAGER::convert_to_trigger_condition_type(text), std::string(trigger_source) + "found");
        EXPECT_DEATH(VOKR_TX_MANAGER::convert_to_trigger_position_type(text), std::string(trigger_source) + "found");
    }

    EDITOR editor(false);
    add_rows(editor.get(), {"a"});
    EXPECT_DEATH(editor->set_trigger(0, -4, KSM_CTYPE_HIGH, -1), "nLevelIndex >= -3 && nLevelIndex <= -1");
    EXPECT_DEATH(editor->set_comparison_trigger_operand(0, 0, 1, KSM_CTYPE_HIGH, -1),
                 "this->is_comparison_operand_condition\\(cTrigger\\)");
    // Both operands "true", and a bound on the wrong side, are not comparisons that have a text.
    editor.trigger()->set_comparison_operand(0, 0, 1, KSM_CTYPE_COMPARE_TRUE);
    editor.trigger()->set_comparison_operand(0, 0, 2, KSM_CTYPE_COMPARE_TRUE);
    std::string text;
    EXPECT_DEATH(editor->get_comparison_expression(0, 0, &text, -1), "operand_a != KSM_CTYPE_COMPARE_TRUE");
    editor.trigger()->set_comparison_operand(0, 0, 1, KSM_CTYPE_COMPARE_LESS_THAN);
    editor.trigger()->set_comparison_operand(0, 0, 2, KSM_CTYPE_COMPARE_LESS_THAN_OR_EQUAL_TO);
    EXPECT_DEATH(editor->get_comparison_expression(0, 0, &text, -1),
                 "operand_a == KSM_CTYPE_COMPARE_GREATER_THAN \\|\\| operand_a == "
                 "KSM_CTYPE_COMPARE_GREATER_THAN_OR_EQUAL_TO");

    EXPECT_DEATH(editor->set_storage_qualifier_type("Sometimes"), "mode != KSM_SQTYPE_INVALID_TYPE");

    VOKR_TX_MANAGER no_instance(nullptr);
    EXPECT_DEATH(no_instance.set_trigger_flow_control("State-based"), "this->m_tx_trigger != NULL");
    EXPECT_DEATH(no_instance.get_trigger_level_name(0, -1), "!this->is_empty\\(\\)");
    EXPECT_DEATH(no_instance.set_trigger_level_name("x", 0, -1), "!this->is_empty\\(\\)");
    EXPECT_DEATH(no_instance.get_trigger_instance_list(-1), "return_value != NULL");
}

TEST_F(TriggerSettingsDeathTest, LevelKindBelowThePatternsNamesTheAllowedRange)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EDITOR editor(false);
    EXPECT_DEATH(editor->set_advanced_trigger(-4, KSM_LTYPE_ADVANCED), "nPatternNumber >= -3 && nPatternNumber <= -1");
}

// Rows a, G2 [b, G1 [c, d]], e: a group inside a group, with leaves at two depths.
void add_nested_groups(VOKR_TX_MANAGER* m)
{
    add_rows(m, {"a", "b", "c", "d", "e"});
    ASSERT_TRUE(m->group_node(2, 3));  // a, b, G1 [c, d], e
    ASSERT_TRUE(m->group_node(1, 4));  // a, G2 [b, G1 [c, d]], e
    ASSERT_EQ(m->get_last_child_index(1), 5);
}

std::vector<int> conditions_at(KSM_TX_TRIGGER* t, int level)
{
    std::vector<int> out;
    out.reserve(t->get_num_nodes());
    for (int row = 0; row < t->get_num_nodes(); ++row)
        out.push_back(level >= 0 ? t->get_trigger_condition(row, level) : t->get_pattern_condition(row, level + 3));
    return out;
}

TEST_F(TriggerSettings, GroupConditionGoesToTheGroupOtherConditionsToEveryLeafBelowIt)
{
    const int D = KSM_CTYPE_DONT_CARE, R = KSM_CTYPE_RISING_EDGE, E = KSM_CTYPE_GROUP_EQUAL;
    const struct {
        int level;
        KSM_DATA_TRIGGER_CONDITION condition;
        std::vector<int> rows;  // a, G2, b, G1, c, d, e
    } cases[] = {
        {0, KSM_CTYPE_RISING_EDGE, {D, D, R, D, R, R, D}},
        {-3, KSM_CTYPE_RISING_EDGE, {D, D, R, D, R, R, D}},
        {1, KSM_CTYPE_GROUP_EQUAL, {D, E, D, D, D, D, D}},
        {-1, KSM_CTYPE_GROUP_EQUAL, {D, E, D, D, D, D, D}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << c.level << " condition " << c.condition);
        EDITOR editor(false);
        add_nested_groups(editor.get());
        KSM_TX_TRIGGER* t = editor.trigger();
        ASSERT_TRUE(t->set_num_levels(2));
        for (int group : {1, 3})
            ASSERT_TRUE(editor->set_comparison_trigger_enabled(group, c.level, true, -1));
        HINTS hints(editor.get());
        EXPECT_TRUE(editor->set_trigger(1, c.level, c.condition, -1));
        EXPECT_EQ(conditions_at(t, c.level), c.rows);
        // Only the group that was set loses its comparison; the nested group keeps its own.
        EXPECT_FALSE(editor->is_comparison_enabled(1, c.level, -1));
        EXPECT_TRUE(editor->is_comparison_enabled(3, c.level, -1));
        EXPECT_GE(hints.count(MODIFIED_HINT), 1);
    }
}

TEST_F(TriggerSettings, SettingAConditionClearsThePluginSymbolOfItsGroupOnThatLevel)
{
    const struct {
        const char* what;
        int row;
        KSM_DATA_TRIGGER_CONDITION condition;
        int changed;                       // a row that takes the condition
        std::vector<std::string> symbols;  // of the group, levels 0 and 1, after setting level 1
    } cases[] = {
        {"member", 2, KSM_CTYPE_HIGH, 2, {"S0", ""}},
        {"group, leaf condition", 1, KSM_CTYPE_LOW, 3, {"S0", ""}},
        {"group, group condition", 1, KSM_CTYPE_GROUP_AND, 1, {"S0", "S1"}},
        {"standalone row", 0, KSM_CTYPE_HIGH, 0, {"S0", "S1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EDITOR editor(false);
        add_rows(editor.get(), {"x", "a", "b"});
        ASSERT_TRUE(editor->group_node(1, 2));  // x, G [a, b]
        KSM_TX_TRIGGER* t = editor.trigger();
        ASSERT_TRUE(t->set_num_levels(2));
        KSM_TX_PLUGIN_MNEMONICS record;
        record.plugin_name = "decoder";
        record.width = 2;
        record.level_symbols = {"S0", "S1"};
        ASSERT_TRUE(t->set_plugin_mnemonics(1, &record));
        ASSERT_TRUE(t->set_group_display_type(1, KSM_GTYPE_PLUGIN));
        EXPECT_TRUE(editor->set_trigger(c.row, 1, c.condition, -1));
        EXPECT_EQ(t->get_trigger_condition(c.changed, 1), c.condition);
        const KSM_TX_PLUGIN_MNEMONICS* stored = t->get_plugin_mnemonics(1);
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ((std::vector<std::string>{stored->get_symbol(0), stored->get_symbol(1)}), c.symbols);
    }
}

// ---- comparisons -----------------------------------------------------------------------------------------

TEST_F(TriggerSettings, ComparisonExpressionText)
{
    const struct {
        int level;
        KSM_DATA_TRIGGER_CONDITION a, b;
        int value_a, value_b;
        const char* text;
    } cases[] = {
        {0, KSM_CTYPE_COMPARE_GREATER_THAN_OR_EQUAL_TO, KSM_CTYPE_COMPARE_LESS_THAN, 3, 10, "[ 3, 10 )"},
        {0, KSM_CTYPE_COMPARE_GREATER_THAN, KSM_CTYPE_COMPARE_LESS_THAN_OR_EQUAL_TO, -5, 5, "( -5, 5 ]"},
        {-2, KSM_CTYPE_COMPARE_GREATER_THAN, KSM_CTYPE_COMPARE_LESS_THAN, 0, 0, "( 0, 0 )"},
        {1, KSM_CTYPE_COMPARE_GREATER_THAN, KSM_CTYPE_COMPARE_TRUE, 7, 99, "> 7"},
        {-3, KSM_CTYPE_COMPARE_LESS_THAN_OR_EQUAL_TO, KSM_CTYPE_COMPARE_TRUE, -12, 0, "<= -12"},
        {0, KSM_CTYPE_COMPARE_EQUAL_TO, KSM_CTYPE_COMPARE_TRUE, 4, 0, "== 4"},
    };
    EDITOR editor(false);
    add_rows(editor.get(), {"a", "b"});
    ASSERT_TRUE(editor->group_node(0, 1));
    ASSERT_TRUE(editor.trigger()->set_num_levels(2));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(editor->set_comparison_trigger_operand(0, c.level, 1, c.a, -1));
        ASSERT_TRUE(editor->set_comparison_trigger_operand(0, c.level, 2, c.b, -1));
        ASSERT_TRUE(editor->set_comparison_trigger_value(0, c.level, 1, c.value_a, -1));
        ASSERT_TRUE(editor->set_comparison_trigger_value(0, c.level, 2, c.value_b, -1));
        std::string text;
        EXPECT_TRUE(editor->get_comparison_expression(0, c.level, &text, -1));
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(editor->get_comparison_operand(0, c.level, 1, -1), c.a);
        EXPECT_EQ(editor->get_comparison_value(0, c.level, 2, -1), c.value_b);
    }
}

TEST_F(TriggerSettings, ComparisonMembershipScanStopsBelowTheLastConvertedLevelCount)
{
    EDITOR editor(false);
    add_rows(editor.get(), {"a", "b"});
    ASSERT_TRUE(editor->group_node(0, 1));
    ASSERT_TRUE(editor.trigger()->set_num_levels(3));
    ASSERT_TRUE(editor->set_comparison_trigger_enabled(0, 2, true, -1));
    EXPECT_TRUE(editor->is_comparison_group_member(1, 2, -1));
    EXPECT_FALSE(editor->is_comparison_group_member(0, 2, -1));  // the group row is no member

    // The memo still holds the initial level count 1: only the patterns and level 0 are scanned.
    int level = 99;
    EXPECT_EQ(editor->get_last_trigger_level(), 1);
    EXPECT_FALSE(editor->is_comparison_group_member_on_any_level(1, &level, -1));
    EXPECT_EQ(level, 99);
    QString count;
    ASSERT_TRUE(editor->get_trigger_level(&count, -1));
    EXPECT_EQ(count, "3");
    EXPECT_TRUE(editor->is_comparison_group_member_on_any_level(1, &level, -1));
    EXPECT_EQ(level, 2);
    // Patterns come first in the scan.
    ASSERT_TRUE(editor->set_comparison_trigger_enabled(0, -2, true, -1));
    EXPECT_TRUE(editor->is_comparison_group_member_on_any_level(2, &level, -1));
    EXPECT_EQ(level, -2);
}

// ---- levels ----------------------------------------------------------------------------------------------

TEST_F(TriggerSettings, WithoutAnInstanceTheTriggerGettersGiveTheirDefaults)
{
    VOKR_TX_MANAGER m(nullptr);
    QString text = "x";
    int count = 7;
    EXPECT_FALSE(m.get_trigger_level(&text, -1));
    EXPECT_EQ(text, "1");
    EXPECT_FALSE(m.get_trigger_level(&count, -1));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(m.get_condition_count(-1), 0);
    EXPECT_TRUE(m.get_condition_names(-1).isEmpty());
    EXPECT_EQ(m.get_trigger_level_type(0, -1), 0);
    EXPECT_EQ(m.get_trigger_level_type(-3, -1), 0);
    EXPECT_FALSE(m.is_pattern_enabled(0));
    EXPECT_FALSE(m.is_pattern_enabled(-1));
    EXPECT_FALSE(m.has_at_least_one_basic_or_trigger_level());

    text = "x";
    EXPECT_FALSE(m.get_storage_qualifier_type(&text, -1));
    EXPECT_FALSE(m.get_trigger_position(&text, -1));
    EXPECT_EQ(text, "Pre");
    EXPECT_FALSE(m.get_trigger_flow_control(&text, -1));
    EXPECT_EQ(text, "Sequential");
    EXPECT_TRUE(m.is_sequential_mode(-1));
    bool post_fitting = true;
    EXPECT_FALSE(m.get_storage_qualifier_input_port(&text, &post_fitting, -1));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(post_fitting);
    EXPECT_FALSE(m.is_disable_storage_qualifier_enabled(-1));
    EXPECT_FALSE(m.is_segmented_acquisition_enabled(-1));
}

TEST_F(TriggerSettings, TogglingAPatternFlipsWhatItsEnableReads)
{
    EDITOR editor(false);
    ASSERT_TRUE(editor.trigger()->set_num_levels(2));
    for (int level : {-3, -2, -1, 0, 1}) {
        SCOPED_TRACE(level);
        const bool enabled = editor->is_pattern_enabled(level);
        editor->toggle_pattern(level);
        EXPECT_EQ(editor->is_pattern_enabled(level), !enabled);
        EXPECT_EQ(editor->is_disable_storage_qualifier_enabled(-1), level < 0 && enabled);
        editor->toggle_pattern(level);
        EXPECT_EQ(editor->is_pattern_enabled(level), enabled);
    }
}

TEST_F(TriggerSettings, LevelCountFromThePanelIsOneUndoUnit)
{
    EDITOR editor(true);
    ASSERT_EQ(editor.trigger()->get_num_levels(), 1);
    ASSERT_FALSE(undo_available(editor.get()));
    HINTS hints(editor.get());
    editor->set_trigger_level(QString("3"));
    EXPECT_EQ(editor.trigger()->get_num_levels(), 3);
    EXPECT_EQ(hints.without_marks(), std::vector<unsigned int>{LAYOUT_HINT});
    EXPECT_EQ(hints.count(MODIFIED_HINT), 1);
    EXPECT_TRUE(editor.frame()->isWindowModified());
    QString text;
    ASSERT_TRUE(editor->get_trigger_level(&text, -1));
    EXPECT_EQ(text, "3");

    // No change, no text, or widgets being filled: nothing at all.
    // A count the trigger refuses changes nothing either, but the unit was opened.
    hints.list.clear();
    editor->set_trigger_level(QString("11"));
    EXPECT_EQ(editor.trigger()->get_num_levels(), 3);
    EXPECT_TRUE(hints.without_marks().empty());
    EXPECT_EQ(hints.count(MODIFIED_HINT), 0);

    const struct {
        const char* what;
        const char* text;
        bool updating;
    } nothing[] = {{"same count", "3", false}, {"empty text", "", false}, {"while filling widgets", "5", true}};
    for (const auto& c : nothing) {
        HINTS quiet(editor.get());
        {
            std::unique_ptr<VOKR_UPDATE_GUARD> guard(c.updating ? new VOKR_UPDATE_GUARD : nullptr);
            editor->set_trigger_level(QString(c.text));
        }
        EXPECT_TRUE(quiet.list.empty()) << c.what;
        EXPECT_EQ(editor.trigger()->get_num_levels(), 3) << c.what;
    }
    EXPECT_EQ(undo_all(editor.get()), 1);
    EXPECT_EQ(editor.trigger()->get_num_levels(), 1);
}

TEST_F(TriggerSettings, PatternLevelKindsCountOnlyForTheStorageQualifierThatUsesThem)
{
    const struct {
        KSM_DATA_STORAGE_QUALIFIER_TYPE type;
        std::vector<int> kinds;  // levels -3, -2, -1
    } cases[] = {
        {KSM_SQTYPE_CONTINUOUS, {0, 0, 0}},
        {KSM_SQTYPE_CONDITIONAL, {3, 0, 0}},
        {KSM_SQTYPE_START_STOP, {0, 3, 3}},
        {KSM_SQTYPE_TRANSITIONAL, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "storage qualifier " << c.type);
        EDITOR editor(false);
        ASSERT_TRUE(editor.trigger()->set_storage_qualifier_type(c.type));
        for (int level = -3; level <= -1; ++level)
            editor->set_advanced_trigger(level, KSM_LTYPE_ADVANCED);
        std::vector<int> kinds;
        for (int level = -3; level <= -1; ++level) {
            kinds.push_back(editor->get_trigger_level_type(level, -1));
            EXPECT_EQ(editor->is_advanced_trigger(level, -1), kinds.back() == KSM_LTYPE_ADVANCED);
        }
        EXPECT_EQ(kinds, c.kinds);
    }
}

// ---- storage qualifier, position and flow control -----------------------------------------------------------

TEST_F(TriggerSettings, StateBasedStorageQualifierNeedsStateBasedFlowControl)
{
    EDITOR editor(true);
    ASSERT_TRUE(editor.data()->set_sample_depth(128));
    HINTS hints(editor.get());
    editor->set_storage_qualifier_type("State-based");
    EXPECT_EQ(shown_messages(), std::vector<std::string>{"VOKR_STATE_BASED_STORAGE_QUALIFIER_NOT_AVAILABLE"});
    EXPECT_EQ(editor.trigger()->get_storage_qualifier_type(), KSM_SQTYPE_CONTINUOUS);
    EXPECT_EQ(hints.list, std::vector<unsigned int>{CONFIG_HINT});
    EXPECT_FALSE(undo_available(editor.get()));

    // Under state-based flow control it is accepted and shows the state-based tab.
    editor->set_trigger_flow_control("State-based");
    editor->set_int_state(-1, "active tab", 0);
    MSG_JOURNAL::clear();
    hints.list.clear();
    editor->set_storage_qualifier_type("State-based");
    EXPECT_TRUE(shown_messages().empty());
    QString text;
    ASSERT_TRUE(editor->get_storage_qualifier_type(&text, -1));
    EXPECT_EQ(text, "State-based");
    EXPECT_EQ(editor->get_int_state(-1, "active tab", 0), 2);
    EXPECT_EQ(hints.without_marks(), std::vector<unsigned int>{LAYOUT_HINT});
}

TEST_F(TriggerSettings, SwitchingToStateBasedFlowShowsTheTabAfterTheAdvancedLevels)
{
    EDITOR editor(true);
    KSM_TX_TRIGGER* t = editor.trigger();
    ASSERT_TRUE(t->set_num_levels(3));
    ASSERT_TRUE(t->set_storage_qualifier_type(KSM_SQTYPE_CONDITIONAL));
    editor->set_advanced_trigger(0, KSM_LTYPE_ADVANCED);
    editor->set_advanced_trigger(2, KSM_LTYPE_ADVANCED);
    editor->set_advanced_trigger(-3, KSM_LTYPE_ADVANCED);
    editor->set_advanced_trigger(-2, KSM_LTYPE_ADVANCED);  // not used by "Conditional"
    editor->set_int_state(-1, "active tab", 1);

    HINTS hints(editor.get());
    editor->set_trigger_flow_control("State-based");
    EXPECT_TRUE(editor.trigger()->is_state_based());
    EXPECT_EQ(editor->get_int_state(-1, "active tab", 0), 5);
    EXPECT_EQ(hints.without_marks(), std::vector<unsigned int>{LAYOUT_HINT});
    EXPECT_EQ(hints.count(MODIFIED_HINT), 1);

    editor->set_trigger_flow_control("Sequential");
    EXPECT_FALSE(editor.trigger()->is_state_based());
    EXPECT_EQ(editor->get_int_state(-1, "active tab", 0), 5);
    QString text;
    ASSERT_TRUE(editor->get_trigger_flow_control(&text, -1));
    EXPECT_EQ(text, "Sequential");
    EXPECT_EQ(undo_all(editor.get()), 2);
}

TEST_F(TriggerSettings, StorageQualifierTypeIsNotShownWhileSegmentedOrWithoutSamples)
{
    const struct {
        int depth;
        bool segmented;
        bool shown;
    } cases[] = {{128, false, true}, {0, false, false}, {128, true, false}};
    for (const auto& c : cases) {
        EDITOR editor(false);
        if (c.depth == 0)
            store_zero_depth(editor.data());
        ASSERT_EQ(editor.data()->get_sample_depth(), c.depth);
        ASSERT_TRUE(editor.trigger()->set_storage_qualifier_type(KSM_SQTYPE_START_STOP));
        editor.trigger()->set_segmented(c.segmented);
        QString text;
        EXPECT_EQ(editor->get_storage_qualifier_type(&text, -1), c.shown) << c.depth << " " << c.segmented;
        EXPECT_EQ(text, c.shown ? "Start/Stop" : "");
    }
}

TEST_F(TriggerSettings, InputPortKindChoosesThePostFittingFlag)
{
    const struct {
        const char* name;
        VOKR_IS_POST_FITTING_TYPE kind;
        bool post_fitting;  // stored afterwards
        bool edit;
    } cases[] = {
        {"top|port", VOKR_KEEP_NAME_KIND, true, false},  // stored name and flag: nothing
        {"top|port", VOKR_POST_FITTING_NAME, true, false},
        {"top|port", VOKR_PRE_SYNTHESIS_NAME, false, true},
        {"top|other", VOKR_KEEP_NAME_KIND, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " kind " << c.kind);
        EDITOR editor(false);
        ASSERT_TRUE(editor.trigger()->set_storage_qualifier_input_port("top|port", true));
        HINTS hints(editor.get());
        editor->set_storage_qualifier_input_port(c.name, c.kind);
        QString name;
        bool post_fitting = !c.post_fitting;
        ASSERT_TRUE(editor->get_storage_qualifier_input_port(&name, &post_fitting, -1));
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(post_fitting, c.post_fitting);
        EXPECT_EQ(undo_available(editor.get()), c.edit);
        EXPECT_EQ(hints.list.empty(), !c.edit);
        EXPECT_TRUE(hints.without_marks().empty());
    }
}

// One edit from the signal configuration panel: the value it changes and the hints it sends
// besides the modified mark.
struct PANEL_EDIT {
    const char* what;
    std::function<void(VOKR_TX_MANAGER*)> edit;
    std::function<QString(VOKR_TX_MANAGER*)> read;
    const char* before;
    const char* after;
    std::vector<unsigned int> hints;
};

// Each edit is one undo unit that marks the document modified; doing it again, or while the
// widgets are being filled, does nothing.
void check_panel_edits(const std::vector<PANEL_EDIT>& edits)
{
    for (const PANEL_EDIT& e : edits) {
        SCOPED_TRACE(e.what);
        EDITOR editor(true);
        editor->add_instance();
        editor->set_instance(0);
        ASSERT_EQ(e.read(editor.get()), e.before);
        {
            VOKR_UPDATE_GUARD filling;
            e.edit(editor.get());
        }
        EXPECT_EQ(e.read(editor.get()), e.before);
        ASSERT_FALSE(undo_available(editor.get()));

        HINTS hints(editor.get());
        e.edit(editor.get());
        EXPECT_EQ(e.read(editor.get()), e.after);
        EXPECT_EQ(hints.without_marks(), e.hints);
        EXPECT_EQ(hints.count(MODIFIED_HINT), 1);

        hints.list.clear();
        e.edit(editor.get());
        EXPECT_TRUE(hints.list.empty());
        EXPECT_EQ(undo_all(editor.get()), 1);
        EXPECT_EQ(e.read(editor.get()), e.before);
    }
}

QString yes_no(bool b) { return b ? "yes" : "no"; }

TEST_F(TriggerSettings, StorageQualifierPositionAndFlowEdits)
{
    check_panel_edits({
        {"storage qualifier type",
         [](VOKR_TX_MANAGER* m) { m->set_storage_qualifier_type("Start/Stop"); },
         [](VOKR_TX_MANAGER* m) {
             QString t;
             m->get_storage_qualifier_type(&t, -1);
             return t;
         },
         "Continuous",
         "Start/Stop",
         {LAYOUT_HINT}},
        {"storage qualifier disabled",
         [](VOKR_TX_MANAGER* m) { m->disable_storage_qualifier(true); },
         [](VOKR_TX_MANAGER* m) { return yes_no(m->is_disable_storage_qualifier_enabled(-1)); },
         "no",
         "yes",
         {VIEW_HINT}},
        {"data discontinuities",
         [](VOKR_TX_MANAGER* m) { m->enable_data_discontinuities(true); },
         [](VOKR_TX_MANAGER* m) { return yes_no(m->is_record_data_discontinuities_enabled(-1)); },
         "no",
         "yes",
         {}},
        {"segmented acquisition",
         [](VOKR_TX_MANAGER* m) { m->set_segmented_acquisition_mode(true); },
         [](VOKR_TX_MANAGER* m) { return yes_no(m->is_segmented_acquisition_enabled(-1)); },
         "no",
         "yes",
         {LAYOUT_HINT}},
        {"trigger position",
         [](VOKR_TX_MANAGER* m) { m->set_trigger_position("Post trigger position"); },
         [](VOKR_TX_MANAGER* m) {
             QString t;
             m->get_trigger_position(&t, -1);
             return t;
         },
         "Pre trigger position",
         "Post trigger position",
         {}},
        {"flow control",
         [](VOKR_TX_MANAGER* m) { m->set_trigger_flow_control("State-based"); },
         [](VOKR_TX_MANAGER* m) {
             QString t;
             m->get_trigger_flow_control(&t, -1);
             return t;
         },
         "Sequential",
         "State-based",
         {LAYOUT_HINT}},
        {"input port",
         [](VOKR_TX_MANAGER* m) { m->set_storage_qualifier_input_port("top|q", VOKR_POST_FITTING_NAME); },
         [](VOKR_TX_MANAGER* m) {
             QString t;
             bool post = false;
             m->get_storage_qualifier_input_port(&t, &post, -1);
             return t + (post ? " post" : " pre");
         },
         " pre",
         "top|q post",
         {}},
    });
}

TEST_F(TriggerSettings, TriggerInAndOutEdits)
{
    const auto text_of = [](bool (VOKR_TX_MANAGER::*get)(QString*, int) const) {
        return [get](VOKR_TX_MANAGER* m) {
            QString t;
            (m->*get)(&t, -1);
            return t;
        };
    };
    const auto flag_of = [](bool (VOKR_TX_MANAGER::*get)(int) const) {
        return [get](VOKR_TX_MANAGER* m) { return yes_no((m->*get)(-1)); };
    };
    check_panel_edits({
        {"trigger in enabled",
         [](VOKR_TX_MANAGER* m) { m->enable_trigger_in(true); },
         flag_of(&VOKR_TX_MANAGER::is_trigger_in_enabled),
         "no",
         "yes",
         {CONFIG_HINT}},
        {"trigger in pin",
         [](VOKR_TX_MANAGER* m) { m->set_trigger_in_pin("PIN_7"); },
         text_of(&VOKR_TX_MANAGER::get_trigger_in_pin_name),
         "",
         "PIN_7",
         {}},
        {"trigger in instance",
         [](VOKR_TX_MANAGER* m) { m->set_trigger_in_instance("other"); },
         text_of(&VOKR_TX_MANAGER::get_trigger_in_instance_name),
         "",
         "other",
         {}},
        {"trigger in condition",
         [](VOKR_TX_MANAGER* m) { m->set_trigger_in_condition("Falling Edge"); },
         text_of(&VOKR_TX_MANAGER::get_trigger_in_condition),
         "Don't Care",
         "Falling Edge",
         {}},
        {"trigger in node",
         [](VOKR_TX_MANAGER* m) { m->set_trigger_in_node("top|go", VOKR_POST_FITTING_NAME); },
         [](VOKR_TX_MANAGER* m) {
             QString t;
             m->get_trigger_in_node_name(&t, -1);
             return t + (m->is_trigger_in_node_post_fitting(-1) ? " post" : " pre") +
                    (m->is_trigger_in_node_valid(-1) ? " valid" : "");
         },
         " pre valid",
         "top|go post valid",
         {}},
        {"trigger out enabled",
         [](VOKR_TX_MANAGER* m) { m->enable_trigger_out(true); },
         flag_of(&VOKR_TX_MANAGER::is_trigger_out_enabled),
         "no",
         "yes",
         {CONFIG_HINT}},
        {"trigger out pin",
         [](VOKR_TX_MANAGER* m) { m->set_trigger_out_pin("PIN_9"); },
         text_of(&VOKR_TX_MANAGER::get_trigger_out_pin),
         "",
         "PIN_9",
         {}},
        {"trigger out instance",
         [](VOKR_TX_MANAGER* m) { m->set_trigger_out_instance("other"); },
         text_of(&VOKR_TX_MANAGER::get_trigger_out_instance),
         "",
         "other",
         {}},
        {"trigger out event index",
         [](VOKR_TX_MANAGER* m) { m->set_trigger_out_eps_event_index("5"); },
         text_of(&VOKR_TX_MANAGER::get_trigger_out_eps_event_index),
         "0",
         "5",
         {}},
        {"trigger out condition",
         [](VOKR_TX_MANAGER* m) { m->set_trigger_out_condition("Active Low"); },
         text_of(&VOKR_TX_MANAGER::get_trigger_out_condition),
         "Active High",
         "Active Low",
         {}},
        {"pin destination",
         [](VOKR_TX_MANAGER* m) { m->set_trigger_out_pin_selected(true); },
         flag_of(&VOKR_TX_MANAGER::is_trigger_out_pin_selected),
         "no",
         "yes",
         {CONFIG_HINT}},
        {"instance destination",
         [](VOKR_TX_MANAGER* m) { m->set_trigger_out_instance_selected(true); },
         flag_of(&VOKR_TX_MANAGER::is_trigger_out_instance_selected),
         "no",
         "yes",
         {CONFIG_HINT}},
        {"processor trigger-in destination",
         [](VOKR_TX_MANAGER* m) { m->set_trigger_out_eps_trigger_in_selected(true); },
         flag_of(&VOKR_TX_MANAGER::is_trigger_out_eps_trigger_in_selected),
         "no",
         "yes",
         {}},
        {"processor event destination",
         [](VOKR_TX_MANAGER* m) { m->set_trigger_out_eps_event_selected(true); },
         flag_of(&VOKR_TX_MANAGER::is_trigger_out_eps_event_index_selected),
         "no",
         "yes",
         {CONFIG_HINT}},
    });
}

// ---- trigger in and out --------------------------------------------------------------------------------------

TEST_F(TriggerSettings, WithoutAnInstanceTheTriggerInAndOutGettersGiveTheirDefaults)
{
    VOKR_TX_MANAGER m(nullptr);
    EXPECT_FALSE(m.is_trigger_in_enabled(-1));
    EXPECT_EQ(m.get_trigger_in_source(-1), 6);
    EXPECT_FALSE(m.is_trigger_in_node_post_fitting(-1));
    EXPECT_FALSE(m.is_trigger_in_node_valid(-1));
    EXPECT_FALSE(m.is_trigger_out_enabled(-1));
    for (bool (VOKR_TX_MANAGER::*selected)(int) const :
         {&VOKR_TX_MANAGER::is_trigger_out_pin_selected, &VOKR_TX_MANAGER::is_trigger_out_instance_selected,
          &VOKR_TX_MANAGER::is_trigger_out_eps_trigger_in_selected,
          &VOKR_TX_MANAGER::is_trigger_out_eps_event_index_selected})
        EXPECT_FALSE((m.*selected)(-1));
    const struct {
        const char* what;
        bool (VOKR_TX_MANAGER::*get)(QString*, int) const;
        const char* text;
    } texts[] = {
        {"in pin", &VOKR_TX_MANAGER::get_trigger_in_pin_name, ""},
        {"in node", &VOKR_TX_MANAGER::get_trigger_in_node_name, ""},
        {"in instance", &VOKR_TX_MANAGER::get_trigger_in_instance_name, ""},
        {"in condition", &VOKR_TX_MANAGER::get_trigger_in_condition, "Disabled"},
        {"out pin", &VOKR_TX_MANAGER::get_trigger_out_pin, ""},
        {"out instance", &VOKR_TX_MANAGER::get_trigger_out_instance, ""},
        {"out tooltip", &VOKR_TX_MANAGER::get_trigger_out_instance_tooltip, ""},
        {"out event index", &VOKR_TX_MANAGER::get_trigger_out_eps_event_index, ""},
        {"out condition", &VOKR_TX_MANAGER::get_trigger_out_condition, "Disabled"},
        {"out latency", &VOKR_TX_MANAGER::get_trigger_out_latency_delay, ""},
    };
    for (const auto& t : texts) {
        QString text = "stale";
        EXPECT_FALSE((m.*t.get)(&text, -1)) << t.what;
        EXPECT_EQ(text, t.text) << t.what;
    }
}

// The names of the session's entries, in order.
QStringList entry_names(VOKR_TX_MANAGER* m)
{
    QStringList out;
    for (int i = 0; i < m->get_session()->get_num_instances(); ++i)
        out << m->get_session()->get_instance_name_at(i);
    return out;
}

TEST_F(TriggerSettings, InstanceSourceFillsInTheFirstOtherInstance)
{
    const struct {
        const char* what;
        int instances;
        const char* stored;  // trigger-in instance name before
        int kind;
        int filled;    // the entry whose name is filled in, -1 for none
        bool changed;  // the source differs from the one stored (a pin at first)
    } cases[] = {
        {"other instances", 3, "", KSM_IOTYPE_INSTANCE, 1, true},
        {"no other instance", 1, "", KSM_IOTYPE_INSTANCE, -1, true},
        {"a name is stored", 2, "kept", KSM_IOTYPE_INSTANCE, -1, true},
        {"pin source", 2, "", KSM_IOTYPE_PIN, -1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EDITOR editor(true);
        for (int i = 1; i < c.instances; ++i)
            ASSERT_TRUE(editor->add_instance());
        editor->set_instance(0);
        if (*c.stored)
            editor.trigger()->get_trigger_in()->set_instance_name(c.stored);
        editor->get_session()->get_data_session()->set_modified(false);  // as after a save
        editor->set_modified_flag(false);
        HINTS hints(editor.get());
        editor->set_trigger_in_source(c.kind);
        EXPECT_EQ(editor->get_trigger_in_source(-1), c.kind);
        QString name;
        EXPECT_TRUE(editor->get_trigger_in_instance_name(&name, -1));
        EXPECT_EQ(name, c.filled >= 0 ? entry_names(editor.get())[c.filled] : QString(c.stored));
        // The panel is refreshed with no modified hint, but a change marks the window modified, so
        // that closing it asks before the change is lost.
        EXPECT_EQ(hints.without_marks(), std::vector<unsigned int>{CONFIG_HINT});
        EXPECT_EQ(hints.count(MODIFIED_HINT), 0);
        EXPECT_EQ(editor.frame()->isWindowModified(), c.changed);
    }
}

TEST_F(TriggerSettings, InstanceDestinationFillsInTheFirstOtherInstance)
{
    for (int instances : {1, 2}) {
        EDITOR editor(false);
        if (instances == 2) {
            ASSERT_TRUE(editor->add_instance());
        }
        editor->set_instance(0);
        const QString expected = instances == 2 ? entry_names(editor.get())[1] : QString();
        editor->set_trigger_out_instance_selected(true);
        QString name;
        EXPECT_TRUE(editor->get_trigger_out_instance(&name, -1));
        EXPECT_EQ(name, expected) << instances << " instances";
        // Deselecting keeps the name.
        editor->set_trigger_out_instance_selected(false);
        EXPECT_TRUE(editor->get_trigger_out_instance(&name, -1));
        EXPECT_EQ(name, expected);
    }
}

TEST_F(TriggerSettings, PowerUpEntriesAreNeverOfferedAsTriggerSources)
{
    EDITOR editor(true);
    ASSERT_TRUE(editor->add_instance());
    ASSERT_TRUE(editor->add_instance());
    const QStringList instances = entry_names(editor.get());
    ASSERT_EQ(instances.size(), 3);
    ASSERT_TRUE(editor->enable_powerup_trigger(0, true));  // entries: 0, 0 power-up, 1, 2
    ASSERT_EQ(editor->get_session()->get_num_instances(), 4);
    const struct {
        int current;
        QStringList others;
    } cases[] = {
        {0, {instances[1], instances[2]}},
        {1, {instances[1], instances[2]}},
        {2, {instances[0], instances[2]}},
        {3, {instances[0], instances[1]}},
    };
    for (const auto& c : cases) {
        editor->set_instance(c.current);
        EXPECT_EQ(editor->get_trigger_instance_list(-1), c.others) << "current entry " << c.current;
    }
    editor->set_instance(2);
    EXPECT_EQ(editor->get_trigger_instance_list(3), (QStringList{instances[0], instances[1]}));
}

TEST_F(TriggerSettings, TriggerOutLatencyText)
{
    const struct {
        int cycles;
        const char* text;
    } cases[] = {{0, "0 cycles"}, {3, "3 cycles"}, {120, "120 cycles"}, {-1, "Unknown"}, {-20, "Unknown"}};
    EDITOR editor(false);
    for (const auto& c : cases) {
        editor.trigger()->set_trigger_out_latency(c.cycles);
        QString text;
        EXPECT_TRUE(editor->get_trigger_out_latency_delay(&text, -1));
        EXPECT_EQ(text, c.text) << c.cycles;
    }
}

TEST_F(TriggerSettings, TriggerInNodeWithTheStoredNameAndKeptKindDoesNothing)
{
    EDITOR editor(false);
    KSM_TX_TRIGGER_IN_INTERFACE* in = editor.trigger()->get_trigger_in();
    in->set_node_name("top|go");
    in->set_node_post_fitting(true);
    in->set_node_valid(false);
    HINTS hints(editor.get());
    editor->set_trigger_in_node("top|go", VOKR_KEEP_NAME_KIND);
    editor->set_trigger_in_node("top|go", VOKR_POST_FITTING_NAME);
    EXPECT_TRUE(hints.list.empty());
    EXPECT_FALSE(editor->is_trigger_in_node_valid(-1));
    EXPECT_FALSE(undo_available(editor.get()));
    // The same name as a pre-synthesis name is a change, and the node becomes valid.
    editor->set_trigger_in_node("top|go", VOKR_PRE_SYNTHESIS_NAME);
    EXPECT_FALSE(editor->is_trigger_in_node_post_fitting(-1));
    EXPECT_TRUE(editor->is_trigger_in_node_valid(-1));
}

}  // namespace
