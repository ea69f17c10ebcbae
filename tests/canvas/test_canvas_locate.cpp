// The canvas and the node list in a framed editor on a compiled project: locating a box or a
// row in the suite's tools, finding boxes, connecting actions, the cursor, and a node row
// dragged from the list onto the canvas.
#include "manager_test_support.h"

#include "diagram_builder.h"
#include "pirq.h"
#include "toz.h"
#include "vokr_find_dlg.h"
#include "vokr_layout_widget.h"
#include "vokr_object.h"
#include "vokr_object_widget.h"
#include "vokr_trigger_object.h"
#include "vokr_view.h"
#include "wex.h"
#include "wolpa.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace manager_test;

namespace {

// Node drags of the list land on `target`, as a running drag would deliver them.
struct VIEW : VOKR_VIEW {
    using VOKR_VIEW::VOKR_VIEW;
    QWidget* target = nullptr;
    QPoint at;
    Qt::DropAction exec_node_drag(Qt::DropActions actions) override
    {
        std::unique_ptr<QMimeData> data(make_node_drag_data());
        QDragEnterEvent enter(at, actions, data.get(), Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(at, actions, data.get(), Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }
};

struct CANVAS : VOKR_OBJECT_WIDGET {
    using VOKR_OBJECT_WIDGET::VOKR_OBJECT_WIDGET;
    QObject* source = nullptr;
    QObject* drag_source(const QDropEvent*) const override { return source; }
};

class Locate : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        open_project("top top\nnode a input pre post\nnode b input pre post\n");
        add_rows(editor.get(), {"a", "zz"});
        editor.trigger()->set_level_type(0, KSM_LTYPE_ADVANCED);
        for (const char* tab : {"Data", "Setup", "Level 1"}) {
            auto* page = new QWidget;
            page->setProperty("trigger level", 0);
            tabs.addTab(page, tab);
        }
        tabs.setCurrentIndex(2);
        editor.frame()->get_layout_widget()->set_data_setup_tab_widget(0, &tabs);
        canvas = std::make_unique<CANVAS>(editor.get());
        view = std::make_unique<VIEW>(nullptr, editor.get());
        canvas->source = view.get();
        canvas->resize(900, 500);
        canvas->on_update(nullptr, VOKR_HINT_ADVANCED);
        focus(canvas.get());
        wex_clear_locate_requests();
    }
    void TearDown() override
    {
        view.reset();
        canvas.reset();
        editor.frame()->get_layout_widget()->set_data_setup_tab_widget(0, nullptr);
        MANAGER_TEST::TearDown();
    }
    static void focus(QWidget* w)
    {
        w->show();
        QApplication::setActiveWindow(w);
        w->setFocus();
    }
    VOKR_OBJECT* draw(const std::string& tree)
    {
        VOKR_OBJECT* top = diagram::DIAGRAM(editor->shown_advanced_root()).make(tree);
        canvas->on_update(nullptr, VOKR_HINT_ADVANCED);
        return top;
    }
    static void place(VOKR_OBJECT* top, QPoint to) { top->move(to - top->get_top_left()); }
    void select(const std::vector<VOKR_OBJECT*>& chosen)
    {
        canvas->select(nullptr);
        for (VOKR_OBJECT* box : chosen)
            box->select(true, true, false);
    }
    PIRQ_LOCATE_MENU* menu() const { return qobject_cast<PIRQ_LOCATE_MENU*>(editor.frame()->get_locate_menu()); }
    static std::string id_of(const char* name)
    {
        TOZ_NAMESPACE* db = WOLPA_MANAGER::get_wolpa_manager()->get_toz_cmp_action_pt_instance("test", 0);
        const long id = TOZ_NAME_MGR::get_name_mgr()->get_iname_id(db->get_instance_name(name));
        WOLPA_MANAGER::get_wolpa_manager()->unget_toz_cmp_action_pt_instance("test", 0);
        return "#" + std::to_string(id);
    }

    EDITOR editor{true};
    QTabWidget tabs;
    std::unique_ptr<CANVAS> canvas;
    std::unique_ptr<VIEW> view;
};

// The entries follow the one selected Node box that the design knows; a located box reaches
// the tool by its identifier and its design file by its path, and every borrow is given back.
TEST_F(Locate, CanvasLocatesOneKnownNodeBox)
{
    VOKR_OBJECT* a = draw("'a'");
    VOKR_OBJECT* b = draw("'b'");
    VOKR_OBJECT* unknown = draw("'zz'");
    VOKR_OBJECT* bus = draw("bus*2[bus_name=d]");
    const struct {
        std::vector<VOKR_OBJECT*> selected;
        bool enabled;
    } cases[] = {{{a}, true}, {{a, b}, false}, {{unknown}, false}, {{bus}, false}, {{}, false}};
    for (const auto& c : cases) {
        select(c.selected);
        canvas->on_update_locate();
        for (QAction* entry : menu()->actions())
            EXPECT_TRUE(entry->isSeparator() || entry->isEnabled() == c.enabled) << c.selected.size();
    }

    for (VOKR_OBJECT* box : {a, unknown}) {
        select({box});
        menu()->get_target_action("pin_map")->trigger();
        menu()->get_design_file_action()->trigger();
    }
    const std::vector<WEX_LOCATE_REQUEST>& requests = wex_get_locate_requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "pin_map");
    EXPECT_EQ(requests[0].objects, std::vector<std::string>{id_of("a")});
    EXPECT_EQ(requests[1].target, "");
    EXPECT_EQ(requests[1].name, "a");
    EXPECT_EQ(requests[1].objects, std::vector<std::string>{"a"});
    EXPECT_EQ(WOLPA_MANAGER::get_wolpa_manager()->get_outstanding_borrows(), 0);
}

// The scripted right press in the window's own advanced editor refreshes the locate entries for
// the box it selects, as the editor's context menu would.
TEST_F(Locate, ScriptedRightPressRefreshesTheLocateEntries)
{
    VOKR_OBJECT_WIDGET* shared = editor.frame()->get_layout_widget()->get_object_widget();
    shared->resize(900, 500);
    VOKR_OBJECT* a = draw("'a'");
    shared->on_update(nullptr, VOKR_HINT_ADVANCED);
    focus(shared);
    const struct {
        QPoint at;
        bool enabled;
    } cases[] = {{a->get_rect().center(), true}, {QPoint(800, 450), false}};
    for (const auto& c : cases) {
        menu()->set_entries_enabled(!c.enabled);
        EXPECT_EQ(editor.frame()->test_advanced_menu_actions(c.at.x(), c.at.y(), QString()), QString());
        for (QAction* entry : menu()->actions())
            EXPECT_TRUE(entry->isSeparator() || entry->isEnabled() == c.enabled) << c.enabled;
    }
}

// The list locates its first selected single signal; a name the design lacks still asks the
// tool, with nothing in the schema, and disables the entries.
TEST_F(Locate, ListLocatesTheSelectedSignal)
{
    focus(view.get());
    const struct {
        int row;
        bool enabled;
        std::vector<std::string> objects;
    } cases[] = {{0, true, {id_of("a")}}, {1, false, {}}};
    for (const auto& c : cases) {
        wex_clear_locate_requests();
        for (int r = 0; r < 2; ++r)
            editor->set_node_selection_status(r, r == c.row);
        view->on_update_locate();
        EXPECT_EQ(menu()->get_target_action("floor_plan")->isEnabled(), c.enabled) << c.row;
        EXPECT_EQ(menu()->get_design_file_action()->isEnabled(), c.enabled) << c.row;
        view->on_locate("floor_plan");
        view->on_locate_design_file();
        ASSERT_EQ(wex_get_locate_requests().size(), c.enabled ? 2u : 1u) << c.row;
        EXPECT_EQ(wex_get_locate_requests()[0].objects, c.objects);
    }
    EXPECT_EQ(WOLPA_MANAGER::get_wolpa_manager()->get_outstanding_borrows(), 0);
}

// Find visits boxes top to bottom (bottom to top upwards) after the selected one, then offers
// to start over; the canvas keeps the search for find next.
TEST_F(Locate, FindWalksTheDiagramAndWraps)
{
    VOKR_OBJECT *low = draw("'sig_low'"), *high = draw("'sig_high'"), *mid = draw("'sig_mid'");
    const std::pair<VOKR_OBJECT*, QPoint> places[] = {
        {low, {50, 400}}, {high, {50, 60}}, {mid, {300, 200}}, {draw("'other'"), {300, 300}}};
    for (const auto& [box, to] : places)
        place(box, to);
    const struct {
        const char* direction;
        std::vector<VOKR_OBJECT*> order;
    } cases[] = {{"Down", {high, mid, low, high}}, {"Up", {low, mid, high, low}}};
    for (const auto& c : cases) {
        canvas->select(nullptr);
        VOKR_FIND_DLG dialog(canvas.get(), canvas.get());
        dialog.direction_combo()->setCurrentText(c.direction);
        dialog.text_edit()->setText("sig_");
        MSG_JOURNAL::push_answer(MSG_PROMPT::MSG_VALUE_YES);
        for (VOKR_OBJECT* expected : c.order) {
            dialog.find_next_button()->click();
            EXPECT_EQ(canvas->get_selected_object(), expected) << c.direction;
        }
    }
    EXPECT_EQ(canvas->get_find_text(), "sig_");
    canvas->on_update_find_next();
    EXPECT_TRUE(editor->get_action(PIRQ_ACTION_FIND_NEXT, QVariant())->isEnabled());
}

// A slot of the canvas takes the action (disabled until its enabler runs); a missing slot, or a
// group slot nobody has, leaves the actions as they were.
TEST_F(Locate, ActionsConnectToExistingSlotsOnly)
{
    draw("'a'");
    QAction* select_all = editor->get_action(PIRQ_ACTION_SELECT_ALL, QVariant());
    ASSERT_TRUE(canvas->connect_action(PIRQ_ACTION_SELECT_ALL, "on_edit_select_all()"));
    EXPECT_FALSE(select_all->isEnabled());
    select_all->setEnabled(true);
    select_all->trigger();
    EXPECT_EQ(canvas->get_selection_count(), canvas->get_objects()->size());

    QAction* zoom = editor->get_action(PIRQ_ACTION_ZOOM_IN, QVariant());
    QActionGroup group(nullptr);
    group.addAction(zoom);
    zoom->setEnabled(true);
    EXPECT_FALSE(canvas->connect_action(PIRQ_ACTION_ZOOM_IN, "no_such_slot()"));
    EXPECT_FALSE(canvas->connect_action(PIRQ_ACTION_ZOOM_IN, "on_nothing(QAction *)"));
    EXPECT_TRUE(zoom->isEnabled());
    group.removeAction(zoom);
}

// The cursor shows the gesture a press would start; a lock or the power-up view offers neither
// link nor move.
TEST_F(Locate, CursorShowsThePressGesture)
{
    VOKR_OBJECT* top = draw("logical[expanded=1]('a','b')");
    canvas->arrange_objects();
    place(top, QPoint(500, 200));
    VOKR_OBJECT* child = top->get_children().first();
    const QPoint body = child->get_rect().center();
    const QPoint port = child->get_output_rect().center();
    const struct {
        QPoint at;
        Qt::KeyboardModifiers mods;
        VOKR_LOCK_MODE lock;
        Qt::CursorShape shape;
    } cases[] = {
        {port, Qt::NoModifier, VOKR_LOCK_MODE_ALL_CHANGES, Qt::CrossCursor},
        {port, Qt::NoModifier, VOKR_LOCK_MODE_TRIGGER_CONDITIONS, Qt::OpenHandCursor},
        {body, Qt::NoModifier, VOKR_LOCK_MODE_ALL_CHANGES, Qt::SizeAllCursor},
        {body, Qt::ShiftModifier, VOKR_LOCK_MODE_ALL_CHANGES, Qt::ArrowCursor},
        {body, Qt::AltModifier, VOKR_LOCK_MODE_ALL_CHANGES, Qt::OpenHandCursor},
        {top->get_rect().center(), Qt::NoModifier, VOKR_LOCK_MODE_ALL_CHANGES, Qt::OpenHandCursor},
        {QPoint(5, 400), Qt::NoModifier, VOKR_LOCK_MODE_ALL_CHANGES, Qt::ArrowCursor},
        {QPoint(5, 400), Qt::AltModifier, VOKR_LOCK_MODE_ALL_CHANGES, Qt::OpenHandCursor},
    };
    for (const auto& c : cases) {
        editor->set_lock_mode(c.lock, false);
        QMouseEvent move(QEvent::MouseMove, c.at, Qt::NoButton, Qt::NoButton, c.mods);
        QApplication::sendEvent(canvas.get(), &move);
        EXPECT_EQ(canvas->cursor().shape(), c.shape) << c.at.x() << "," << c.at.y() << " " << int(c.mods);
        EXPECT_EQ(VOKR_OBJECT_WIDGET::get_drag_cursor_shape(), c.shape);
    }
}

// A row pressed in the list and dropped on the canvas becomes a Node box named after it.
TEST_F(Locate, RowDraggedFromTheListBecomesANodeBox)
{
    focus(view.get());
    view->resize(1000, 400);
    view->target = canvas.get();
    view->at = QPoint(600, 400);
    editor->set_node_selection_status(0, true);
    const int before = canvas->get_objects()->size();
    QTest::mouseMove(view.get(), QPoint(100, 100));
    QRect row;
    ASSERT_TRUE(view->get_item_rect(VOKR_VIEW::node_to_row(0), 2, &row));  // the name column
    QTest::mouseClick(view.get(), Qt::LeftButton, Qt::NoModifier, row.center());
    ASSERT_EQ(canvas->get_objects()->size(), before + 1);
    VOKR_OBJECT* box = canvas->get_objects()->last();
    QString name;
    box->get_string_property_text(VOKR_STRING_NAME, &name, VOKR_BANK_CURRENT);
    EXPECT_EQ(box->get_type(), VOKR_TYPE_NODE);
    EXPECT_EQ(name, "a");
}

}  // namespace
