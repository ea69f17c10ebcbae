// The row query, the tree queries and the node-list edits of the manager.
#include "manager_test_support.h"

#include "vokr_layout_widget.h"
#include "vokr_node.h"

#include <QTabWidget>
#include <QTemporaryDir>

using namespace manager_test;

namespace {

class NodeRows : public MANAGER_TEST {
protected:
    // Rows of the current trigger list, inserted as the views' callers do.
    static void add_rows(VOKR_TX_MANAGER* m, std::initializer_list<const char*> rows,
                         KSM_DATA_WIRE_TAP_MODE tap = KSM_TAP_PRE_SYNTHESIS)
    {
        for (const char* name : rows)
            ASSERT_TRUE(m->insert_node(name, KSM_STYPE_INPUT_PIN, tap, false)) << name;
    }
};

// A Data/Setup tab widget of the first instance, showing the given tab while it lives.
class TABS {
public:
    TABS(const EDITOR& editor, int shown) : m_layout(editor.frame()->get_layout_widget())
    {
        m_tabs.addTab(new QWidget, "Data");
        m_tabs.addTab(new QWidget, "Setup");
        m_tabs.setCurrentIndex(shown);
        m_layout->set_data_setup_tab_widget(0, &m_tabs);
    }
    ~TABS() { m_layout->set_data_setup_tab_widget(0, nullptr); }
    TABS(const TABS&) = delete;
    TABS& operator=(const TABS&) = delete;

private:
    VOKR_LAYOUT_WIDGET* m_layout;
    QTabWidget m_tabs;
};

TEST_F(NodeRows, ConditionComesFromTheTriggerListAndAdvancedLevelsHidePreSynthesisRows)
{
    EDITOR editor(false);
    add_rows(editor.get(), {"pre"});
    add_rows(editor.get(), {"post"}, KSM_TAP_POST_FITTING);
    KSM_TX_TRIGGER* t = editor.trigger();
    ASSERT_TRUE(t->set_num_levels(3));
    ASSERT_TRUE(t->set_level_type(1, KSM_LTYPE_ADVANCED));
    t->set_trigger_condition(0, 0, KSM_CTYPE_HIGH);
    t->set_trigger_condition(0, 1, KSM_CTYPE_LOW);
    t->set_trigger_condition(1, 1, KSM_CTYPE_LOW);
    t->set_trigger_condition(0, 2, KSM_CTYPE_RISING_EDGE);
    t->set_pattern_condition(0, 0, KSM_CTYPE_FALLING_EDGE);
    t->set_pattern_condition(0, 2, KSM_CTYPE_EITHER_EDGE);
    const struct {
        int row, level;
        KSM_DATA_TRIGGER_CONDITION expected;
    } cases[] = {
        {0, VOKR_NODE::PLAIN_TRIGGER_LEVEL, KSM_CTYPE_DONT_CARE},  // not a level: left as it was
        {0, 3, KSM_CTYPE_DONT_CARE},                               // past the level count: left as it was
        {0, 0, KSM_CTYPE_HIGH},
        {0, 1, VOKR_TX_MANAGER::ADVANCED_LEVEL_CONDITION},
        {1, 1, KSM_CTYPE_LOW},
        {0, 2, KSM_CTYPE_RISING_EDGE},
        {0, -3, KSM_CTYPE_FALLING_EDGE},
        {0, -1, KSM_CTYPE_EITHER_EDGE},
    };
    for (const auto& c : cases) {
        KSM_DATA_TRIGGER_CONDITION condition = KSM_CTYPE_DONT_CARE;
        EXPECT_TRUE(editor->get_node(c.row, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, c.level,
                                     &condition));
        EXPECT_EQ(condition, c.expected) << "row " << c.row << " level " << c.level;
    }
    // A storage-qualifier pattern counts as advanced the same way.
    ASSERT_TRUE(t->set_storage_qualifier_type(KSM_SQTYPE_CONDITIONAL));
    ASSERT_TRUE(t->set_pattern_type(0, KSM_LTYPE_ADVANCED));
    KSM_DATA_TRIGGER_CONDITION condition = KSM_CTYPE_DONT_CARE;
    editor->get_node(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, -3, &condition);
    EXPECT_EQ(condition, VOKR_TX_MANAGER::ADVANCED_LEVEL_CONDITION);
}

TEST_F(NodeRows, DataTabReadsTheDataListButTheConditionFromTheTriggerList)
{
    EDITOR editor(true);
    add_rows(editor.get(), {"a", "b"});
    KSM_TX_SIGNAL_SET* d = editor.data();
    KSM_TX_TRIGGER* t = editor.trigger();
    ASSERT_TRUE(d->rename_node(1, "b_data"));
    ASSERT_TRUE(d->set_node_alias(1, "bee"));
    ASSERT_TRUE(d->set_node_use(1, KSM_CAPTURE_DATA));
    ASSERT_TRUE(t->set_node_use(1, KSM_CAPTURE_TRIGGER));
    t->set_trigger_condition(1, 0, KSM_CTYPE_FALLING_EDGE);
    TABS tabs(editor, 0);
    ASSERT_TRUE(editor->is_data_mode(-1));

    QString name, alias;
    bool data = false, trigger = true;
    KSM_DATA_TRIGGER_CONDITION condition = KSM_CTYPE_DONT_CARE;
    EXPECT_TRUE(editor->get_node(1, nullptr, &name, nullptr, &alias, nullptr, &data, &trigger, 0, &condition));
    EXPECT_EQ(name, "b_data");
    EXPECT_EQ(alias, "bee");
    EXPECT_TRUE(data);
    EXPECT_FALSE(trigger);
    EXPECT_EQ(condition, KSM_CTYPE_FALLING_EDGE);
    EXPECT_EQ(editor->get_node_capture_type(1), KSM_CAPTURE_TRIGGER);  // always the trigger list

    // The text form of the signal set holds its own settings and data rows, then its trigger.
    editor->get_signal_nodes(-1)->set_clock("clk_main", false);
    ASSERT_TRUE(d->set_sample_depth(256));
    QString text;
    editor->get_signals_names(&text, editor->get_session()->get_instance_name_at(0), d->get_name());
    for (const char* part : {"clk_main", "sample depth 256", "b_data", "trigger "})
        EXPECT_TRUE(text.contains(part)) << part << " in " << text.toStdString();
}

TEST_F(NodeRows, InvalidRowOnTheDataTabIsTheFirstTriggerRowOfItsName)
{
    EDITOR editor(true);
    KSM_TX_TRIGGER* t = editor.trigger();
    for (const char* name : {"y", "x", "x"})
        ASSERT_TRUE(t->insert_node(name, KSM_STYPE_NONE, KSM_TAP_PRE_SYNTHESIS, true));
    EXPECT_FALSE(editor->has_invalid_nodes());
    t->set_invalid(0, true);
    t->set_invalid(1, true);
    EXPECT_TRUE(editor->has_invalid_nodes());  // asked again after each change, never stale
    ASSERT_TRUE(editor.data()->rename_node(0, "not_in_trigger_list"));
    const struct {
        int tab;
        int row;
        bool invalid;
    } cases[] = {{0, 2, true}, {0, 0, false}, {1, 2, false}, {1, 0, true}};
    for (const auto& c : cases) {
        TABS tabs(editor, c.tab);
        EXPECT_EQ(editor->is_node_invalid(c.row), c.invalid) << "tab " << c.tab << " row " << c.row;
    }
    t->set_invalid(0, false);
    t->set_invalid(1, false);
    EXPECT_FALSE(editor->has_invalid_nodes());
}

TEST_F(NodeRows, GroupTreeQueries)
{
    EDITOR editor(false);
    add_rows(editor.get(), {"a", "b", "c", "d", "e"});
    ASSERT_TRUE(editor->group_node(0, 0));  // G1 [a]
    ASSERT_TRUE(editor->group_node(3, 4));  // G1 [a], b, G2 [c, d], e
    // A one-member group has no first member: its only member is the last one.
    EXPECT_FALSE(editor->is_first_group_member(1));
    EXPECT_TRUE(editor->is_last_group_member(1));
    EXPECT_TRUE(editor->is_first_group_member(4));
    EXPECT_FALSE(editor->is_first_group_member(2));
    EXPECT_TRUE(editor->is_standalone_node(2));

    KSM_DATA_GROUP_DISPLAY_TYPE type = KSM_GTYPE_BINARY;
    EXPECT_FALSE(editor->get_node_group_display_type(2, &type, -1));
    EXPECT_EQ(type, KSM_GTYPE_INVALID);
    EXPECT_TRUE(editor->get_node_group_display_type(3, &type, -1));
    EXPECT_NE(type, KSM_GTYPE_INVALID);

    EXPECT_EQ(editor->get_child_item_count(3, -1), 2);
    EXPECT_EQ(editor->get_child_item_count(2, -1), 0);
    // G3 [G2 [c, d], e]: counting stops at the nested group row right after G3.
    ASSERT_TRUE(editor->group_node(3, 6));
    EXPECT_EQ(editor->get_child_item_count(3, -1), 0);
    std::vector<int> rows;
    editor->get_all_descendants(3, &rows);
    EXPECT_EQ(rows, (std::vector<int>{4, 5, 6, 7}));
}

TEST_F(NodeRows, ManagerWithoutADocumentHasNoRows)
{
    VOKR_TX_MANAGER manager(nullptr);
    EXPECT_EQ(manager.get_node_count(-1), 0);
    EXPECT_EQ(manager.get_trigger_node_count(-1), 0);
    EXPECT_FALSE(manager.is_group_node(0));
}

TEST_F(NodeRows, DeletableRowsInAFramedWindow)
{
    const struct {
        int tab;  // -1: no tab widget
        VOKR_LOCK_MODE lock;
        int row;  // 0 pre-synthesis, 1 post-fitting
        bool deletable;
    } cases[] = {
        {-1, VOKR_LOCK_MODE_ALL_CHANGES, 0, false},     {1, VOKR_LOCK_MODE_ALL_CHANGES, 0, false},
        {1, VOKR_LOCK_MODE_INCREMENTAL_ROUTE, 0, true}, {1, VOKR_LOCK_MODE_INCREMENTAL_ROUTE, 1, false},
        {0, VOKR_LOCK_MODE_ALL_CHANGES, 1, true},
    };
    for (const auto& c : cases) {
        EDITOR editor(true);
        add_rows(editor.get(), {"pre"});
        add_rows(editor.get(), {"post"}, KSM_TAP_POST_FITTING);
        editor->set_lock_mode(c.lock, false);
        std::unique_ptr<TABS> tabs(c.tab >= 0 ? new TABS(editor, c.tab) : nullptr);
        EXPECT_EQ(editor->is_node_deletable(c.row), c.deletable) << "tab " << c.tab << " lock " << c.lock;
    }
    EDITOR wizard(false);
    add_rows(wizard.get(), {"pre"});
    EXPECT_FALSE(wizard->is_node_deletable(0));
}

class NodeEditing : public NodeRows {};

TEST_F(NodeEditing, AliasInUseIsNumbered)
{
    EDITOR editor(false);
    add_rows(editor.get(), {"a", "b", "c"});
    HINTS hints(editor.get());
    const char* expected[] = {"clk", "clk (1)", "clk (2)"};
    for (int row = 0; row < 3; ++row) {
        EXPECT_TRUE(editor->set_node_alias(row, "clk"));
        QString alias;
        editor->get_node_alias(row, &alias);
        EXPECT_EQ(alias, expected[row]);
    }
    EXPECT_EQ(hints.count(MODIFIED_HINT), 3);
    // Clearing marks the document modified; a row that does not exist ends the numbering.
    EXPECT_TRUE(editor->set_node_alias(0, ""));
    EXPECT_STREQ(editor.trigger()->get_node_alias(0), "");
    EXPECT_EQ(hints.count(MODIFIED_HINT), 4);
    EXPECT_FALSE(editor->set_node_alias(7, "clk"));
}

TEST_F(NodeEditing, TapModeToggleMarksTheDocumentModified)
{
    EDITOR editor(true);
    add_rows(editor.get(), {"n"}, KSM_TAP_POST_FITTING);
    editor->set_modified_flag(false);
    HINTS hints(editor.get());
    for (KSM_DATA_WIRE_TAP_MODE expected : {KSM_TAP_PRE_SYNTHESIS, KSM_TAP_POST_FITTING}) {
        editor->set_modified_flag(false);
        EXPECT_TRUE(editor->toggle_node_tap_mode(0));
        EXPECT_EQ(editor->get_node_tap_mode(0, -1), expected);
        EXPECT_TRUE(editor.frame()->isWindowModified());
    }
    EXPECT_EQ(hints.count(MODIFIED_HINT), 2);
}

// A row's selection marks the session but not the window; an edit begun on the instance, as the
// views begin theirs, must still mark the window after a save, whatever transaction came before.
TEST_F(NodeEditing, AnEditAfterASaveMarksTheWindowWhateverWasSelectedBefore)
{
    EDITOR editor(true);
    add_rows(editor.get(), {"a", "b"});
    editor->begin_action(-1);  // begun on a modified session
    editor->end_action(VOKR_CHECK_NOTHING, -1);
    QTemporaryDir dir;
    ASSERT_TRUE(editor->save_document(dir.filePath("s.lmx").toLocal8Bit().constData()));
    ASSERT_FALSE(editor.frame()->isWindowModified());
    editor.trigger()->set_selected(0, true);
    EXPECT_FALSE(editor.frame()->isWindowModified());
    editor->get_tx_instance()->begin_action();
    editor.trigger()->set_node_alias(1, "renamed");
    editor->end_action(VOKR_CHECK_NOTHING, -1);
    EXPECT_TRUE(editor.frame()->isWindowModified());
}

TEST_F(NodeEditing, DataToggleSwitchesDataCaptureAndKeepsTriggerUse)
{
    EDITOR editor(false);
    add_rows(editor.get(), {"n"});
    const struct {
        KSM_DATA_WIRE_CAPTURE_TYPE from, to;
    } cases[] = {{KSM_CAPTURE_TRIGGER, KSM_CAPTURE_BOTH},
                 {KSM_CAPTURE_DATA, KSM_CAPTURE_NEITHER},
                 {KSM_CAPTURE_BOTH, KSM_CAPTURE_TRIGGER},
                 {KSM_CAPTURE_NEITHER, KSM_CAPTURE_DATA}};
    for (const auto& c : cases) {
        editor->set_node_capture_type(0, c.from);
        EXPECT_TRUE(editor->toggle_data(0));
        EXPECT_EQ(editor->get_node_capture_type(0), c.to) << "from " << c.from;
    }
}

TEST_F(NodeEditing, SelectingAReversedRangeSelectsNothing)
{
    EDITOR editor(false);
    add_rows(editor.get(), {"a", "b", "c", "d", "e", "f"});
    const struct {
        int first, last;
        std::vector<bool> selected;
    } cases[] = {{5, 3, {false, false, false, false, false, false}}, {1, 3, {false, true, true, true, false, false}}};
    for (const auto& c : cases) {
        editor->select_node_range(0, 5, false);
        editor->select_node_range(c.first, c.last, true);
        for (int row = 0; row < 6; ++row)
            EXPECT_EQ(editor->get_node_selection_status(row), c.selected[row]) << c.first << ".." << c.last;
    }
}

TEST_F(NodeEditing, RenameChecksValidityBeforeTellingTheViews)
{
    open_project("top top\nnode a input pre post\nnode b input pre post\n");
    EDITOR editor(true);
    add_rows(editor.get(), {"a", "b"});
    HINTS hints(editor.get());
    EXPECT_FALSE(editor->rename_node(0, ""));
    EXPECT_FALSE(editor->rename_node(0, "b"));  // taken
    EXPECT_TRUE(hints.list.empty());
    EXPECT_STREQ(editor.trigger()->get_node_name(0), "a");

    EXPECT_TRUE(editor->rename_node(0, "gone"));
    EXPECT_TRUE(editor.trigger()->is_invalid(0));
    EXPECT_EQ(hints.list, (std::vector<unsigned int>{
                              MODIFIED_HINT, VALIDITY_HINT,
                              VOKR_HINT_REFRESH | VOKR_HINT_STATUS | VOKR_HINT_INSTANCES | VOKR_HINT_HIERARCHY}));
}

TEST_F(NodeEditing, GroupingMarksModifiedEvenWhenRefusedButGroupingTheSelectionNever)
{
    EDITOR editor(false);
    add_rows(editor.get(), {"a", "b", "c"});
    const struct {
        const char* what;
        bool (*edit)(VOKR_TX_MANAGER*);
        bool result;
        int modified;
    } cases[] = {
        {"refused group", [](VOKR_TX_MANAGER* m) { return m->group_node(2, 1); }, false, 1},
        {"refused ungroup", [](VOKR_TX_MANAGER* m) { return m->ungroup_node(0); }, false, 1},
        {"refused selection", [](VOKR_TX_MANAGER* m) { return m->group_selected_nodes(); }, false, 0},
        {"selection",
         [](VOKR_TX_MANAGER* m) {
             m->select_node_range(0, 1, true);
             return m->group_selected_nodes();
         },
         true, 0},
        {"ungroup", [](VOKR_TX_MANAGER* m) { return m->ungroup_node(0); }, true, 1},
        {"group", [](VOKR_TX_MANAGER* m) { return m->group_node(0, 1); }, true, 1},
    };
    for (const auto& c : cases) {
        HINTS hints(editor.get());
        EXPECT_EQ(c.edit(editor.get()), c.result) << c.what;
        EXPECT_EQ(hints.count(MODIFIED_HINT), c.modified) << c.what;
    }
}

TEST_F(NodeEditing, GroupingTellsTheInstanceViewsOnlyWithABasicOrLevel)
{
    for (KSM_DATA_TRIGGER_LEVEL_TYPE level : {KSM_LTYPE_BASIC_AND, KSM_LTYPE_BASIC_OR}) {
        EDITOR editor(false);
        add_rows(editor.get(), {"a", "b", "c"});
        ASSERT_TRUE(editor.trigger()->set_level_type(0, level));
        const int expected = level == KSM_LTYPE_BASIC_OR ? 1 : 0;
        HINTS hints(editor.get());
        ASSERT_TRUE(editor->group_node(0, 1));
        EXPECT_EQ(hints.count(VOKR_HINT_INSTANCES), expected) << "group_node, level type " << level;
        ASSERT_TRUE(editor->ungroup_node(0));
        EXPECT_EQ(hints.count(VOKR_HINT_INSTANCES), 2 * expected) << "ungroup_node, level type " << level;
        editor->select_node_range(1, 2, true);
        ASSERT_TRUE(editor->group_selected_nodes());
        EXPECT_EQ(hints.count(VOKR_HINT_INSTANCES), 3 * expected) << "group_selected_nodes, level type " << level;
    }
}

}  // namespace
