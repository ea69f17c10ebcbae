// The node list view: its child widgets and menus, the routing of the shared actions by focus,
// the reaction to change hints, the relayout and the project settings it follows.
#include "manager_test_support.h"
#include "vokr_layout_widget.h"
#include "vokr_view.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTabWidget>

using namespace manager_test;

namespace {

// A view whose command slots count their calls (string connections reach the most derived slot).
class COUNTING_VIEW : public VOKR_VIEW {
    Q_OBJECT
public:
    using VOKR_VIEW::VOKR_VIEW;
    int zooms = 0;
    int orders = 0;
public slots:
    void on_zoom_in() { ++zooms; }
    void on_bus_order(QAction*) { ++orders; }
};

// Counts the paint passes of the grid itself (children repaint only their own places).
class PAINTS : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count +=
            event->type() == QEvent::Paint && static_cast<QPaintEvent*>(event)->region().contains(QPoint(300, 200));
        return false;
    }
};

void focus(QWidget* view, QEvent::Type type, Qt::FocusReason reason = Qt::OtherFocusReason)
{
    QFocusEvent event(type, reason);
    QApplication::sendEvent(view, &event);
}

QAction* action(VOKR_TX_MANAGER* m, int id) { return m->get_action(static_cast<PIRQ_ACTION_ENUM>(id), QVariant()); }

class ViewConstruction : public MANAGER_TEST {};

TEST_F(ViewConstruction, OnlyAFramedViewHasMenusActionsAndTheLockModeCombo)
{
    for (bool framed : {false, true}) {
        EDITOR editor(framed);
        VOKR_VIEW view(nullptr, editor.get());
        EXPECT_EQ(view.get_action_table().size(), framed ? 51 : 0);
        EXPECT_EQ(view.get_lock_mode_combo()->isHidden(), !framed);
        EXPECT_EQ(view.get_lock_mode_combo()->count(), framed ? 3 : 0);
        for (int column : {1, 2, 5, 6, 7, 8, 9, 15, 21, 23})
            EXPECT_EQ(view.get_context_menu(column) != nullptr, framed) << column;
        EXPECT_EQ(view.get_context_menu(0), nullptr);
        if (framed) {
            EXPECT_EQ(view.get_context_menu(9), view.get_context_menu(21));
        }
    }
}

TEST_F(ViewConstruction, FocusRoutesActionsOnceAndMenusKeepThem)
{
    const struct {
        Qt::FocusReason reason;
        bool kept;
    } cases[] = {{Qt::PopupFocusReason, true},
                 {Qt::MenuBarFocusReason, true},
                 {Qt::OtherFocusReason, false},
                 {Qt::TabFocusReason, false}};
    EDITOR editor(true);
    COUNTING_VIEW view(nullptr, editor.get());
    QAction* zoom = action(editor.get(), 729);
    QAction* msb = action(editor.get(), PIRQ_ACTION_MSB_ON_TOP);
    for (const auto& c : cases) {
        view.zooms = view.orders = 0;
        for (int i = 0; i < 2; ++i)  // a second focus-in connects nothing more
            focus(&view, QEvent::FocusIn);
        focus(&view, QEvent::FocusOut, c.reason);
        EXPECT_EQ(view.are_actions_connected(), c.kept) << c.reason;
        for (QAction* a : {zoom, msb}) {
            EXPECT_FALSE(a->isEnabled()) << c.reason;
            a->setEnabled(true);
            a->trigger();
        }
        EXPECT_EQ(view.zooms, c.kept ? 1 : 0) << c.reason;
        EXPECT_EQ(view.orders, c.kept ? 1 : 0) << c.reason;
        focus(&view, QEvent::FocusOut);
    }
    // The manager takes the actions the view has no slot for; a slot nobody has connects nothing.
    focus(&view, QEvent::FocusIn);
    EXPECT_FALSE(action(editor.get(), PIRQ_ACTION_INSERT_NODES)->isEnabled());
    QAction* spare = action(editor.get(), 999);
    spare->setEnabled(true);
    view.connect_action(static_cast<PIRQ_ACTION_ENUM>(999), "no_such_slot()");
    EXPECT_TRUE(spare->isEnabled());
}

TEST_F(ViewConstruction, GroupConditionsMapToTheirActions)
{
    EDITOR editor(true);
    VOKR_VIEW view(nullptr, editor.get());
    const int ids[] = {227, 226, 230, 228, 229, 232, 231, 234, 233};
    for (int code = 9; code <= 17; ++code)
        EXPECT_EQ(view.get_group_condition_action(code), action(editor.get(), ids[code - 9])) << code;
}

TEST_F(ViewConstruction, StoredColumnWidthsAreCheckedAndLoadedOnce)
{
    std::vector<int> widths(23, 50);
    widths[2] = 300;
    std::vector<int> damaged = widths;
    damaged[2] = -4;
    const struct {
        std::vector<int> stored;
        int name_width;
        bool loaded;  // a list of another length leaves the key to be read later
    } cases[] = {{{}, 220, false},
                 {widths, 300, true},
                 {damaged, 220, true},
                 {std::vector<int>(22, 300), 220, false},
                 {std::vector<int>(24, 300), 220, false}};
    for (const auto& c : cases) {
        EDITOR editor(false);
        VOKR_VIEW view(nullptr, editor.get());
        EXPECT_EQ(view.get_column_width(2), 220);
        if (!c.stored.empty())
            editor->get_session()->set_global_data("column width", c.stored.data(), int(c.stored.size()));
        view.on_update(nullptr, 0);
        EXPECT_EQ(view.get_column_width(2), c.name_width) << c.stored.size();
        editor->get_session()->set_global_data("column width", std::vector<int>(23, 40).data(), 23);
        view.on_update(nullptr, 0);  // loaded once: a later change of the key is not read
        EXPECT_EQ(view.get_column_width(2), c.loaded ? c.name_width : 40) << c.stored.size();
    }
}

TEST_F(ViewConstruction, VerticalBarPagesTheRowsThatFit)
{
    EDITOR editor(true);
    std::vector<std::string> rows;
    for (int i = 0; i < 30; ++i) {
        rows.push_back("n" + std::to_string(i));
        ASSERT_TRUE(editor->insert_node(rows.back().c_str(), KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false));
    }
    VOKR_VIEW view(nullptr, editor.get());
    const int row = view.get_row_height(3);
    const int headers = view.get_row_height(0) + view.get_row_height(1) + view.get_row_height(2);
    const struct {
        int height;
        bool shown;
        int maximum;
        int page;
    } cases[] = {{headers + 1 + 12 * row + row / 2, true, 18, 12}, {headers + 40 * row, false, 0, 0}};
    for (const auto& c : cases) {
        view.resize(1000, c.height);
        view.resizeEvent(nullptr);
        QScrollBar* bar = view.get_vertical_bar();
        EXPECT_EQ(!bar->isHidden(), c.shown) << c.height;
        if (c.shown) {
            EXPECT_EQ(bar->maximum(), c.maximum);
            EXPECT_EQ(bar->pageStep(), c.page);
        }
    }
}

TEST_F(ViewConstruction, LockModeComboTakesTheRoomLeft)
{
    EDITOR editor(true);
    VOKR_VIEW view(nullptr, editor.get());
    const struct {
        int width;
        bool shown;
        int combo_width;
    } cases[] = {{300, false, 0}, {1200, true, 222}};
    for (const auto& c : cases) {
        view.resize(c.width, 400);
        view.resizeEvent(nullptr);
        EXPECT_EQ(!view.get_lock_mode_combo()->isHidden(), c.shown) << c.width;
        if (c.shown) {
            EXPECT_EQ(view.get_lock_mode_combo()->width(), c.combo_width);
        }
    }
}

TEST_F(ViewConstruction, HintsRefreshControlsRebuildAndRepaint)
{
    const struct {
        unsigned int hint;
        bool busy;
        bool painted;
        bool enabled;
    } cases[] = {
        {VOKR_HINT_REFRESH | VOKR_HINT_VIEW, false, true, true},
        {VOKR_HINT_REFRESH | VOKR_HINT_VIEW | VOKR_HINT_NO_REPAINT, false, false, true},
        {VOKR_HINT_REFRESH | VOKR_HINT_VIEW, true, true, false},
        {VOKR_HINT_REBUILD | VOKR_HINT_VIEW, false, true, false},
    };
    for (const auto& c : cases) {
        EDITOR editor(true);
        ASSERT_NO_FATAL_FAILURE(add_rows(editor.get(), {"a"}));
        VOKR_VIEW view(nullptr, editor.get());
        view.resize(1200, 400);
        view.show();
        view.on_update(nullptr, int(VOKR_HINT_REFRESH | VOKR_HINT_VIEW));  // the children take their places
        QApplication::processEvents();
        const int offset = view.get_zoom_offset().m_numerator;
        editor->set_lock_mode(VOKR_LOCK_MODE_TRIGGER_CONDITIONS, false);
        editor->set_instance_acq_state(-1, c.busy ? VOKR_ACQ_STARTED : VOKR_ACQ_NOT_RUNNING);
        PAINTS paints;
        view.installEventFilter(&paints);
        view.on_update(nullptr, int(c.hint));
        QApplication::processEvents();
        EXPECT_EQ(paints.count > 0, c.painted) << std::hex << c.hint;
        EXPECT_EQ(view.get_lock_mode_combo()->isEnabled(), c.enabled) << std::hex << c.hint;
        if (c.hint & VOKR_HINT_REBUILD) {
            EXPECT_EQ(view.get_zoom_level().value(), 1.0);
            EXPECT_EQ(view.get_zoom_offset().m_numerator, offset);
            EXPECT_EQ(view.get_timebar_count(), 0);
            continue;
        }
        EXPECT_EQ(view.get_lock_mode_combo()->currentIndex(), VOKR_LOCK_MODE_TRIGGER_CONDITIONS);
        for (int i = 0; i < 13; ++i)  // level combos are editable only in lock mode 0
            EXPECT_FALSE(view.get_level_combo(i)->isEnabled() && !view.get_level_combo(i)->isHidden()) << i;
        EXPECT_FALSE(view.get_level_combo(3)->isHidden());
    }
}

// A rebuild and a change between Setup and Data deselect the nodes; each window remembers its
// own mode, so another window's change deselects nothing here.
TEST_F(ViewConstruction, RebuildAndModeChangesDeselectInTheirOwnWindowOnly)
{
    QTabWidget tabs;
    tabs.addTab(new QWidget, "Data"), tabs.addTab(new QWidget, "Setup");
    EDITOR first(true), second(true);
    first.frame()->get_layout_widget()->set_data_setup_tab_widget(0, &tabs);
    for (EDITOR* e : {&first, &second})
        ASSERT_NO_FATAL_FAILURE(add_rows(e->get(), {"a"}));
    VOKR_VIEW view(nullptr, first.get()), other(nullptr, second.get());
    const int refresh = int(VOKR_HINT_REFRESH | VOKR_HINT_VIEW), rebuild = int(VOKR_HINT_REBUILD | VOKR_HINT_VIEW);
    const struct {
        int tab, hint;
        bool kept;
    } steps[] = {{1, refresh, true}, {0, refresh, false}, {0, refresh, true}, {1, refresh, false}, {1, rebuild, false}};
    for (const auto& s : steps) {
        tabs.setCurrentIndex(s.tab);
        for (VOKR_VIEW* v : {&view, &other}) {
            v->get_tx_manager()->set_node_selection_status(0, true);
            v->on_update(nullptr, v == &view ? s.hint : refresh);
        }
        EXPECT_EQ(first->get_node_selection_status(0), s.kept) << s.tab << " " << std::hex << s.hint;
        EXPECT_TRUE(second->get_node_selection_status(0));
    }
    first.frame()->get_layout_widget()->set_data_setup_tab_widget(0, nullptr);
}

TEST_F(ViewConstruction, IncrementalRoutingFollowsTheDevicePart)
{
    const struct {
        const char* project;
        bool off;
    } cases[] = {{nullptr, false},
                 {"top top\ndevice MR2-C40\n", false},
                 {"top top\ndevice TV1-A10\n", true},
                 {"top top\ndevice AUTO\n", true}};
    for (const auto& c : cases) {
        if (c.project) {
            ASSERT_NO_FATAL_FAILURE(open_project(c.project));
        }
        EDITOR editor(true);
        VOKR_VIEW view(nullptr, editor.get());
        EXPECT_EQ(view.is_incremental_route_off(), c.off) << (c.project ? c.project : "no project");
    }
}

TEST_F(ViewConstruction, ScratchBuffersOnlyGrow)
{
    bool* wave = VOKR_WAVE(16);
    wave[3] = true;
    EXPECT_EQ(VOKR_WAVE(8), wave);  // a smaller request keeps the block and its contents
    EXPECT_TRUE(VOKR_WAVE(8)[3]);
    bool* grown = VOKR_WAVE(1 << 16);
    EXPECT_FALSE(grown[3]);
    EXPECT_NE(VOKR_WAVE_MASK(4), grown);
}

}  // namespace

#include "test_view_construction.moc"
