// The node list view's commands on the selection, the enabled and checked states of its menus,
// and the trigger condition menu with its level selectors.
#include "manager_test_support.h"
#include "view_test_support.h"

#include "vokr_comparison_trigger_dlg.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_node.h"
#include "vokr_plugin_dialogs.h"
#include "vokr_view.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <functional>

using namespace manager_test;

namespace {

struct VIEW : VOKR_VIEW {
    using VOKR_VIEW::VOKR_VIEW;
    void show_group_refusal(const QString& text) override { refusal = text; }
    QString refusal;
};

QString enabled_entries(QMenu* menu, VOKR_TX_MANAGER* m);

// Rows n0..n9, n2..n5 grouped under bus row 2 (members 3..6), on the Setup tab of a focused view.
class ViewCommands : public FRAMED_VIEW_TEST<VIEW, 400> {
protected:
    QAction* act(int id) const { return m()->get_action(static_cast<PIRQ_ACTION_ENUM>(id), QVariant()); }
    void select(std::initializer_list<int> nodes)
    {
        m_view->select_items(false);
        for (int n : nodes)
            m()->set_node_selection_status(n, true);
    }
    // Appends a plug-in bus of two rows whose record names `table` and has one option; its row.
    int add_plugin_bus(const char* table, const char* option)
    {
        const QByteArray bits[] = {QByteArray(table) + "[0]", QByteArray(table) + "[1]"};
        add_rows(m(), {bits[0].constData(), bits[1].constData()});
        const int row = m()->get_node_count(-1) - 2;
        KSM_TX_PLUGIN_MNEMONICS plugin;
        plugin.plugin_name = "Decoder";
        plugin.table_name = table;
        plugin.width = 2;
        plugin.options.push_back({option, "", KSM_PLUGIN_OPTION_OTHER, ""});
        EXPECT_TRUE(m()->group_node(row, row + 1));
        for (KSM_TX_SIGNAL_NODES* list : {static_cast<KSM_TX_SIGNAL_NODES*>(m_editor->trigger()),
                                          static_cast<KSM_TX_SIGNAL_NODES*>(m()->get_signal_nodes(-1))}) {
            EXPECT_TRUE(list->set_plugin_mnemonics(row, &plugin));
            EXPECT_TRUE(list->set_group_display_type(row, KSM_GTYPE_PLUGIN));
        }
        return row;
    }
    // Shows a menu and its submenus after their own refreshes (and `also`), the menu's own
    // entries disabled first; their enabled entries.
    QString refresh(QMenu* menu, const std::function<void()>& also = {})
    {
        for (QAction* a : menu->actions())
            if (!a->menu())
                a->setEnabled(false);
        emit menu->aboutToShow();
        if (also)
            also();
        for (QAction* a : menu->actions())
            if (a->menu())
                emit a->menu()->aboutToShow();
        return enabled_entries(menu, m());
    }
    KSM_DATA_TRIGGER_CONDITION condition(int node, int level = 0) const
    {
        return m_editor->trigger()->get_trigger_condition(node, level);
    }
};

int enabled_count(QMenu* menu)
{
    const QList<QAction*> entries = menu->actions();
    return static_cast<int>(
        std::count_if(entries.begin(), entries.end(), [](QAction* a) { return a->isEnabled() && !a->isSeparator(); }));
}

// The enabled entries of a menu and of its enabled submenus in menu order, each as its action
// number ('*' when checked) or, when it has none, its text.
QString enabled_entries(QMenu* menu, VOKR_TX_MANAGER* m)
{
    static const std::vector<int> numbered = [] {
        std::vector<int> ids{120, 178, 179, 513, 114, 117, 257, 258, 259, 260, 261, 262, 290, 291, 292, 459, 694};
        for (int id = 225; id <= 234; ++id)
            ids.push_back(id);
        for (int id = 326; id <= 378; ++id)
            ids.push_back(id);
        for (int id = 708; id <= 730; ++id)
            ids.push_back(id);
        return ids;
    }();
    QStringList out;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator() || !a->isEnabled() || !a->isVisible())
            continue;
        if (a->menu()) {
            const QString entries = enabled_entries(a->menu(), m);
            if (!entries.isEmpty())
                out << "[" + entries + "]";
            continue;
        }
        QString name = a->text();
        for (int id : numbered)
            if (m->get_action(static_cast<PIRQ_ACTION_ENUM>(id), QVariant()) == a)
                name = QString::number(id);
        out << name + (a->isChecked() ? "*" : "");
    }
    return out.join(' ');
}

// Each menu shows after its own refresh, from all entries disabled: the Edit menu, the name
// column's menu, the alias and enable columns' menus, the condition menu (enabled count) and
// the waveform menu that holds the View menu's entries. Rows: n0 n1 bus(2: 3..6) n6..n9, then
// a group of groups g(11: bus 12: 13..14, 15) and the plug-in bus p(16: 17..18).
TEST_F(ViewCommands, MenusEnableEntriesBySelectionTabAndLockMode)
{
    add_rows(m(), {"a0", "a1", "a2"});
    ASSERT_TRUE(m()->group_node(11, 12));
    ASSERT_TRUE(m()->group_node(11, 14));
    ASSERT_EQ(add_plugin_bus("ops", "Mode"), 16);
    ASSERT_TRUE(m_view->hasFocus());
    m_view->grab();  // finding needs painted rows
    QMenu* edit = m_editor->frame()->get_menu(WEX_EDIT_MENU);
    const VOKR_LOCK_MODE ALL = VOKR_LOCK_MODE_ALL_CHANGES;
#define TAIL "355 117 114 [290* 291 292]"
#define FORMATS "343 342 341 338 332 330"
#define DATA "331 336 339 340"
#define VIEW "712 718* 719 729"
    // clang-format off
    const struct {
        std::vector<int> selected;
        int tab;
        VOKR_LOCK_MODE lock;
        const char* edit;
        const char* name;
        const char* columns;  // alias | data | trigger | storage | transition
        int conditions;
        const char* view;
        bool basic_or = false;
    } cases[] = {
        // Setup tab, all changes: nothing, one node, a bus, a group of groups, the plug-in bus, mixed, two nodes.
        {{}, 1, ALL, "120 513 178 179 355 117 114 [290* 291 292]", "120 513 178 179 378 355 328 329*",
         " |  |  |  | ", 0, VIEW},
        {{0}, 1, ALL, "120 513 178 179 363 357 352 362 345 375 " TAIL,
         "120 513 178 179 352 378 362 355 328 329* 360* 359", "363 357 | 345 | 375 |  | ", 6, VIEW},
        {{2}, 1, ALL, "120 513 178 179 363 357 352 377 362 345 375 [356* 354] [335* " FORMATS "] " TAIL,
         "120 513 178 179 352 377 378 362 355 328 329* 360* 359 356* 354 [335* " FORMATS "]",
         "363 357 | 345 | 375 |  | ", 7, VIEW},
        {{11}, 1, ALL, "120 513 178 179 363 357 352 377 362 345 375 [356* 354] [335* " FORMATS "] " TAIL,
         "120 513 178 179 352 377 378 362 355 328 329* 360* 359 356* 354 [335* " FORMATS "]",
         "363 357 | 345 | 375 |  | ", 7, VIEW},
        {{16}, 1, ALL, "120 513 178 179 358 363 357 352 377 362 345 375 [356* 354] [335 " FORMATS "] " TAIL,
         "120 513 178 179 358 352 377 378 362 355 328 329* 360* 359 356* 354 [335 " FORMATS "]",
         "363 357 | 345 | 375 |  | ", 7, VIEW},
        {{0, 2}, 1, ALL, "120 513 178 179 377 345 375 [356* 354] [335* " FORMATS "] " TAIL,
         "120 513 178 179 377 378 355 328 329* 360* 359 356* 354 [335* " FORMATS "]", " | 345 | 375 |  | ", 7,
         VIEW},
        {{0, 1}, 1, ALL, "120 513 178 179 352 345 375 " TAIL, "120 513 178 179 352 378 355 328 329* 360* 359",
         " | 345 | 375 |  | ", 6, VIEW},
        // Data tab: inversion and the data-only formats.
        {{0}, 0, ALL, "120 513 178 179 363 357 352 362 345 375 " TAIL,
         "120 513 178 179 352 378 362 355 353 328 329* 360* 359", "363 357 | 345 | 375 |  | ", 6, VIEW},
        {{2}, 0, ALL, "120 513 178 179 363 357 352 377 362 345 375 [356* 354] [335* " FORMATS " " DATA "] " TAIL,
         "120 513 178 179 352 377 378 362 355 353 328 329* 360* 359 356* 354 [335* " FORMATS " " DATA "]",
         "363 357 | 345 | 375 |  | ", 7, VIEW},
        {{16}, 0, ALL, "120 513 178 179 358 363 357 352 377 362 345 375 [356* 354] [335 " FORMATS " " DATA "] " TAIL,
         "120 513 178 179 358 352 377 378 362 355 353 328 329* 360* 359 356* 354 [335 " FORMATS " " DATA "]",
         "363 357 | 345 | 375 |  | ", 7, VIEW},
        // Lock modes: no enables and no regrouping; trigger conditions only keeps buses.
        {{0}, 1, VOKR_LOCK_MODE_INCREMENTAL_ROUTE, "120 513 178 179 363 357 362 355 117 114 [290 291* 292]",
         "120 513 178 179 362 355 328 329* 360* 359", "363 357 |  |  |  | ", 6, VIEW},
        {{2}, 1, VOKR_LOCK_MODE_TRIGGER_CONDITIONS,
         "513 178 179 363 357 362 [356* 354] [335* " FORMATS "] 355 117 114 [290 291 292*]",
         "513 178 179 362 355 328 329* 360* 359 356* 354 [335* " FORMATS "]", "363 357 |  |  |  | ", 7, VIEW},
        {{16}, 1, VOKR_LOCK_MODE_TRIGGER_CONDITIONS,
         "513 178 179 358 363 357 362 [356* 354] [335 " FORMATS "] 355 117 114 [290 291 292*]",
         "513 178 179 358 362 355 328 329* 360* 359 356* 354 [335 " FORMATS "]", "363 357 |  |  |  | ", 7, VIEW},
        // A Basic OR level (an undoable change) offers the group conditions, the nesting one only
        // without nested groups.
        {{2}, 1, ALL, "694 120 513 178 179 363 357 352 377 362 345 375 [356* 354] [335* " FORMATS "] " TAIL,
         "120 513 178 179 352 377 378 362 355 328 329* 360* 359 356* 354 [335* " FORMATS "]",
         "363 357 | 345 | 375 |  | ", 16, VIEW, true},
        {{11}, 1, ALL, "694 120 513 178 179 363 357 352 377 362 345 375 [356* 354] [335* " FORMATS "] " TAIL,
         "120 513 178 179 352 377 378 362 355 328 329* 360* 359 356* 354 [335* " FORMATS "]",
         "363 357 | 345 | 375 |  | ", 15, VIEW, true},
    };
    // clang-format on
    for (const auto& c : cases) {
        m_tabs.setCurrentIndex(c.tab);
        m()->set_lock_mode(c.lock, false);
        m_view->get_level_combo(3)->setCurrentText(c.basic_or ? "Basic OR" : "Basic AND");
        select({});
        for (int n : c.selected)
            m()->set_node_selection_status(n, true);
        const QString edit_entries = refresh(edit, [this] { m_view->on_update_edit_menu(); });
        const QString name = refresh(m_view->get_context_menu(2));
        QStringList columns;
        for (int column : {1, 5, 6, 7, 8})
            columns << refresh(m_view->get_context_menu(column));
        refresh(m_view->get_context_menu(12));
        const int conditions = enabled_count(m_view->get_context_menu(12));
        const QString view = refresh(m_view->get_context_menu(23));
        SCOPED_TRACE(testing::Message() << "tab " << c.tab << ", lock " << c.lock << ", " << c.selected.size()
                                        << " selected");
        EXPECT_EQ(edit_entries.toStdString(), c.edit);
        EXPECT_EQ(name.toStdString(), c.name);
        EXPECT_EQ(columns.join(" | ").toStdString(), c.columns);
        EXPECT_EQ(conditions, c.conditions);
        EXPECT_EQ(view.toStdString(), c.view);
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

// While the instance captures, the rows keep their places: the samples are read back into the
// rows the run was started with. Delete, Group and Ungroup are offered and done only outside it.
TEST_F(ViewCommands, RowsAreNeitherDeletedNorRegroupedWhileTheInstanceCaptures)
{
    const struct {
        bool (VOKR_VIEW::*offered)();
        void (VOKR_VIEW::*command)();
        std::initializer_list<int> selection;
    } commands[] = {{&VOKR_VIEW::on_update_edit_delete, &VOKR_VIEW::on_edit_delete, {0}},
                    {&VOKR_VIEW::on_update_node_group, &VOKR_VIEW::on_node_group, {0, 1}},
                    {&VOKR_VIEW::on_update_node_ungroup, &VOKR_VIEW::on_node_ungroup, {2}}};
    m_view->show();
    m_view->setFocus();
    for (const auto& c : commands) {
        for (const bool capturing : {true, false}) {
            m()->set_instance_acq_state(0, capturing ? VOKR_ACQ_STARTED : VOKR_ACQ_NOT_RUNNING);
            select(c.selection);
            const int rows = m()->get_node_count(-1);
            EXPECT_EQ((m_view.get()->*c.offered)(), !capturing) << capturing;
            (m_view.get()->*c.command)();
            EXPECT_EQ(m()->get_node_count(-1) == rows, capturing) << capturing;
            if (!capturing)
                m()->on_edit_undo();
        }
    }
}

// The float formats need buses of 32 (single) or 64 (double) bits, counted over every leaf, also
// those of a bus nested inside.
TEST_F(ViewCommands, FloatFormatsFollowTheLeavesOfNestedBuses)
{
    const int first = m()->get_node_count(-1);
    std::vector<QByteArray> names;
    for (int i = 0; i < 32; ++i)
        names.push_back("w" + QByteArray::number(i));
    for (const QByteArray& name : names)
        add_rows(m(), {name.constData()});
    ASSERT_TRUE(m()->group_node(first, first + 15));  // 16 leaves at first + 1 .. first + 16
    ASSERT_TRUE(m()->group_node(first, first + 32));  // the nested bus and 16 more leaves
    select({first});
    m_view->on_update_bus_display_format_menu();
    EXPECT_TRUE(act(PIRQ_ACTION_DISPLAY_FLOAT)->isEnabled());
    EXPECT_FALSE(act(PIRQ_ACTION_DISPLAY_DOUBLE)->isEnabled());
}

// The comparison of the first selected bus in the "Compare" dialog: stored operands that are no
// comparison open it at ">=", OK stores the answer, Cancel keeps it.
TEST_F(ViewCommands, ComparisonDialogEditsTheFirstSelectedBus)
{
    m_editor->trigger()->set_comparison_operand(2, 0, 1, KSM_CTYPE_COMPARE_TRUE);
    select({0, 2});
    const struct {
        bool ok;
        int shown_operand, shown_value;
        int stored_operand, stored_value;
    } steps[] = {{true, KSM_CTYPE_COMPARE_GREATER_THAN_OR_EQUAL_TO, 0, KSM_CTYPE_COMPARE_LESS_THAN, 3},
                 {false, KSM_CTYPE_COMPARE_LESS_THAN, 3, KSM_CTYPE_COMPARE_LESS_THAN, 3}};
    for (const auto& s : steps) {
        int shown_operand = -1, shown_value = -1;
        QString name;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<VOKR_TRIGGER_COMPARE_DLG*>(QApplication::activeModalWidget());
            if (!dialog) {
                if (QWidget* other = QApplication::activeModalWidget())
                    other->close();
                return;
            }
            name = dialog->m_node_name;
            shown_operand = dialog->m_operand_a;
            shown_value = dialog->m_value_a;
            if (!s.ok)
                return dialog->reject();
            QComboBox* operand = dialog->value_page()->operand_combo();
            operand->setCurrentIndex(operand->findData(KSM_CTYPE_COMPARE_LESS_THAN));
            dialog->value_page()->value_edit()->setText("3");
            dialog->on_ok_button();
        });
        QApplication::setActiveWindow(m_view.get());  // back from the last dialog
        act(225)->setEnabled(true);                   // as the condition menu shows it for a Comparison level
        act(225)->trigger();
        EXPECT_EQ(name, m_editor->trigger()->get_node_name(2));
        EXPECT_EQ(shown_operand, s.shown_operand);
        EXPECT_EQ(shown_value, s.shown_value);
        EXPECT_EQ(m()->get_comparison_operand(2, 0, 1, -1), s.stored_operand);
        EXPECT_EQ(m()->get_comparison_value(2, 0, 1, -1), s.stored_value);
        EXPECT_TRUE(m()->is_comparison_enabled(2, 0, -1));
    }
    // Members of the compared bus are not grouped, and the refusal says why.
    select({3, 4});
    m_view->on_node_group();
    EXPECT_EQ(m_view->refusal, "Node n2 is a comparison group's member at trigger level 1");
    EXPECT_FALSE(m()->has_nested_groups());
}

// One option dialog edits the options of every selected plug-in bus.
TEST_F(ViewCommands, PluginOptionsOfEverySelectedPluginBus)
{
    const int first = add_plugin_bus("ops", "Mode"), second = add_plugin_bus("regs", "Width");
    select({first, second});
    ASSERT_TRUE(m_view->on_update_plugin_options());
    const int shown = VOKR_PLUGIN_OPTION_DLG::shown_count();
    VOKR_PLUGIN_OPTION_DLG::push_scripted_settings({"fast", "16"});
    m_view->on_plugin_options();
    EXPECT_EQ(VOKR_PLUGIN_OPTION_DLG::shown_count(), shown + 1);
    EXPECT_EQ(m_editor->trigger()->get_plugin_mnemonics(first)->options.at(0).setting, "fast");
    EXPECT_EQ(m_editor->trigger()->get_plugin_mnemonics(second)->options.at(0).setting, "16");
    select({0, 2});
    EXPECT_FALSE(m_view->on_update_plugin_options());
    // Deleting spares the selected members of a plug-in bus, and says so.
    select({0, first + 1});
    MSG_JOURNAL::clear();
    m_view->on_edit_delete();
    EXPECT_EQ(m_view->get_group_member_count(first - 1), 2);
    EXPECT_EQ(m()->get_node_count(-1), second + 2);
    EXPECT_EQ(shown_messages(), std::vector<std::string>{"VOKR_PLUGIN_MEM_NODES_EXCLUSION"});
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
