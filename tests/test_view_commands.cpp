// The node list view's commands on the selection, the enabled and checked states of its menus,
// and the trigger condition menu with its level selectors.
#include "manager_test_support.h"

#include "vokr_layout_widget.h"
#include "vokr_node.h"
#include "vokr_view.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QTabWidget>

#include <algorithm>

using namespace manager_test;

namespace {

struct VIEW : VOKR_VIEW {
    using VOKR_VIEW::VOKR_VIEW;
    void show_group_refusal(const QString&) override {}
};

// Rows n0..n9, n2..n5 grouped under bus row 2 (members 3..6), on the Setup tab of a focused view.
class ViewCommands : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        m_editor = std::make_unique<EDITOR>(true);
        m_tabs.addTab(new QWidget, "Data");
        m_tabs.addTab(new QWidget, "Setup");
        m_tabs.setCurrentIndex(1);
        m_editor->frame()->get_layout_widget()->set_data_setup_tab_widget(0, &m_tabs);
        for (int i = 0; i < 10; ++i)
            add_rows(m(), {QString("n%1").arg(i).toLatin1().constData()});
        ASSERT_TRUE(m()->group_node(2, 5));
        m_view = std::make_unique<VIEW>(nullptr, m());
        m_view->resize(1000, 400);
        m_view->show();
        QApplication::setActiveWindow(m_view.get());
        m_view->setFocus();
    }
    void TearDown() override
    {
        m_view.reset();
        m_editor->frame()->get_layout_widget()->set_data_setup_tab_widget(0, nullptr);
        m_editor.reset();
        MANAGER_TEST::TearDown();
    }
    VOKR_TX_MANAGER* m() const { return m_editor->get(); }
    QAction* act(int id) const { return m()->get_action(static_cast<PIRQ_ACTION_ENUM>(id), QVariant()); }
    void select(std::initializer_list<int> nodes)
    {
        m_view->select_items(false);
        for (int n : nodes)
            m()->set_node_selection_status(n, true);
    }
    KSM_DATA_TRIGGER_CONDITION condition(int node, int level = 0) const
    {
        return m_editor->trigger()->get_trigger_condition(node, level);
    }

    std::unique_ptr<EDITOR> m_editor;
    QTabWidget m_tabs;
    std::unique_ptr<VIEW> m_view;
};

int enabled_count(QMenu* menu)
{
    const QList<QAction*> entries = menu->actions();
    return static_cast<int>(std::count_if(entries.begin(), entries.end(), [](QAction* a) { return a->isEnabled() && !a->isSeparator(); }));
}

// The Edit menu's and the name column's entries ('*' checked) and the enabled conditions.
TEST_F(ViewCommands, MenusEnableEntriesBySelectionTabAndLockMode)
{
    ASSERT_TRUE(m_view->hasFocus());
    const struct {
        std::vector<int> selected;
        int tab;
        VOKR_LOCK_MODE lock;
        const char* entries;
        int conditions;
    } cases[] = {
        {{}, 1, VOKR_LOCK_MODE_ALL_CHANGES, "120 513", 0},
        {{0}, 1, VOKR_LOCK_MODE_ALL_CHANGES, "120 513 352 362 363 345 375 360* 359", 6},
        {{2}, 1, VOKR_LOCK_MODE_ALL_CHANGES, "120 513 352 377 362 363 345 375 354 356* 360* 359", 7},
        {{0, 2}, 1, VOKR_LOCK_MODE_ALL_CHANGES, "120 513 377 345 375 354 356* 360* 359", 7},
        {{0, 1}, 1, VOKR_LOCK_MODE_ALL_CHANGES, "120 513 352 345 375 360* 359", 6},
        {{0}, 0, VOKR_LOCK_MODE_ALL_CHANGES, "120 513 352 362 363 345 375 353 360* 359", 6},
        {{2}, 0, VOKR_LOCK_MODE_ALL_CHANGES, "120 513 352 377 362 363 345 375 353 354 356* 360* 359", 7},
        {{0}, 1, VOKR_LOCK_MODE_INCREMENTAL_ROUTE, "120 513 362 363 360* 359", 6},
        {{2}, 1, VOKR_LOCK_MODE_TRIGGER_CONDITIONS, "513 362 363 354 356* 360* 359", 7},
    };
    for (const auto& c : cases) {
        m_tabs.setCurrentIndex(c.tab);
        m()->set_lock_mode(c.lock, false);
        select({});
        for (int n : c.selected)
            m()->set_node_selection_status(n, true);
        m_view->on_update_name_menu();
        m_view->get_context_menu(12)->aboutToShow();
        QStringList entries;
        for (int id : {120, 513, 352, 377, 378, 362, 363, 347, 346, 345, 376, 375, 365, 364, 353, 354, 356, 360, 359})
            if (act(id)->isEnabled())
                entries << QString::number(id) + (act(id)->isChecked() ? "*" : "");
        EXPECT_EQ(entries.join(' ').toStdString(), c.entries) << c.tab << " " << c.lock << " " << c.selected.size();
        EXPECT_EQ(enabled_count(m_view->get_context_menu(12)), c.conditions) << c.entries;
    }
}

TEST_F(ViewCommands, CommandsChangeTheSelectionAsTheirRulesSay)
{
    // Transitions through the bus handle; the selected bit rows are passed over.
    select({2, 3, 4});
    m_view->on_transition_enable();
    for (int n : {3, 4, 5})
        EXPECT_TRUE(VOKR_NODE(m(), m_editor->trigger(), n).is_transition_enabled()) << n;
    // "10X" on a 4-bit MSB-first bus: the last three members take High, Low, Don't Care.
    QAction pattern("10X");
    pattern.setData("10X");
    m_editor->trigger()->set_trigger_condition(3, 0, KSM_CTYPE_LOW);
    select({2});
    m_view->on_mnemonic(&pattern);
    EXPECT_EQ(condition(4), KSM_CTYPE_HIGH);
    EXPECT_EQ(condition(5), KSM_CTYPE_LOW);
    EXPECT_EQ(condition(6), KSM_CTYPE_DONT_CARE);
    // Grouping with nothing selected emits nothing.
    select({});
    {
        HINTS hints(m());
        m_view->on_node_group();
        EXPECT_TRUE(hints.list.empty());
    }
    // Deleting the only selected last row selects the new last row; two selected leave none.
    const int last = m_view->get_node_count() - 1;
    select({last});
    m_view->on_edit_delete();
    EXPECT_EQ(m_view->get_single_selected_node(), last - 1);
    select({0, 1});
    m_view->on_edit_delete();
    EXPECT_EQ(m_view->get_selected_node_count(), 0);
    // Nested groups ungroup down to plain rows.
    ASSERT_TRUE(m()->group_node(0, 3));
    m_view->on_node_ungroup_nested_groups();
    EXPECT_FALSE(m()->has_nested_groups());
}

TEST_F(ViewCommands, ConditionMenuReplacesItsMnemonicEntries)
{
    const int before = m_view->findChildren<QActionGroup*>().size();
    select({0});
    for (int i = 0; i < 3; ++i)
        m_view->get_context_menu(12)->aboutToShow();
    EXPECT_TRUE(act(226)->isChecked());
    EXPECT_LE(m_view->findChildren<QActionGroup*>().size(), before + 1);
    EXPECT_FALSE(m_view->is_basic_or_level(0));
    m_view->get_level_combo(3)->setCurrentText("Basic OR");
    EXPECT_TRUE(m_view->is_basic_or_level(0));
}

}  // namespace
