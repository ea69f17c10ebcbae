// The editor's central layout: linked splitters and shared-widget containers, the instance and
// Data/Setup tabs, the layout kept in the session file, and pictures of the whole editor.
#include "manager_test_support.h"

#include "daw.h"
#include "jop.h"
#include "vokr_container_widget.h"
#include "vokr_control_cmd_ela_int.h"
#include "vokr_diagram_widget.h"
#include "vokr_frame_wnd.h"
#include "vokr_hierarchy_widget.h"
#include "vokr_instance_widget.h"
#include "vokr_jtag_widget.h"
#include "vokr_layout_widget.h"
#include "vokr_log_widget.h"
#include "vokr_object.h"
#include "vokr_object_widget.h"
#include "vokr_resources_widget.h"
#include "vokr_state_widget.h"
#include "vokr_view.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QtGlobal>

#include <algorithm>

using namespace manager_test;

namespace {

class LAYOUT : public MANAGER_TEST {
protected:
    // A framed editor on a new session of `instances` instances, shown at a fixed size.
    void open(int instances = 1)
    {
        editor = std::make_unique<EDITOR>(true);
        for (int i = 1; i < instances; ++i)
            ASSERT_TRUE((*editor)->add_instance());
        ASSERT_TRUE((*editor)->set_instance(0));
        rebuild();
    }
    void rebuild()
    {
        layout()->on_update(nullptr, vokr_hint(VOKR_HINT_REBUILD | VOKR_HINT_TABS));
        show(editor->frame());
    }
    static void show(QWidget* frame)
    {
        frame->resize(1200, 800);
        frame->show();
        QCoreApplication::processEvents();
    }
    VOKR_LAYOUT_WIDGET* layout() const { return editor->frame()->get_layout_widget(); }
    QTabWidget* tabs(int instance = -1) const { return layout()->get_data_setup_tab_widget(instance); }
    QStringList titles() const
    {
        QStringList out;
        for (int i = 0; i < tabs()->count(); ++i)
            out << tabs()->tabText(i);
        return out;
    }
    QSplitter* page(int tab) const
    {
        return qobject_cast<QSplitter*>(layout()->get_instance_tab_widget()->widget(tab));
    }

    std::unique_ptr<EDITOR> editor;
};

// How many connections reach `receiver` from signals of the manager, as Qt lists them.
int connections_from_manager(QObject* receiver)
{
    static QStringList lines;
    lines.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& line) { lines << line; });
    receiver->dumpObjectInfo();
    qInstallMessageHandler(previous);
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [](const QString& l) { return l.contains("<-- VOKR_TX_MANAGER"); }));
}

// Moves handle 1 of a splitter as a drag does: the handle moves, then QSplitter emits
// splitterMoved.
struct HAND : QSplitter {
    static void drag(QSplitter* splitter, int pos) { (splitter->*&HAND::moveSplitter)(pos, 1); }
};
void drag(QSplitter* splitter, int pos) { HAND::drag(splitter, pos); }

TEST(LINKED_SPLITTERS, OneDragMovesItsGroupAndIsHeardOnce)
{
    VOKR_SPLITTER::HUB_MAP hubs;
    QWidget top;
    std::vector<VOKR_SPLITTER*> group;
    for (int id : {7, 7, 7, 8}) {
        group.push_back(new VOKR_SPLITTER(&hubs, id, Qt::Horizontal, &top));
        group.back()->addWidget(new QWidget);
        group.back()->addWidget(new QWidget);
        group.back()->setGeometry(0, 0, 400, 100);
    }
    top.show();
    int heard = 0;
    for (VOKR_SPLITTER* s : group)
        QObject::connect(s, qOverload<int, int>(&QSplitter::splitterMoved), [&heard] { ++heard; });
    const int other = group[3]->sizes()[0];
    drag(group[0], 150);
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(group[1]->sizes()[0], 150);
    EXPECT_EQ(group[2]->sizes()[0], 150);
    EXPECT_EQ(group[3]->sizes()[0], other);
    EXPECT_EQ(hubs.size(), 2);
    // A splitter of the group made later, as a rebuilt tab makes it, takes the dragged split;
    // one of another group or with another pane count keeps its own.
    std::vector<VOKR_SPLITTER*> later;
    for (auto [id, panes] : {std::pair{7, 2}, std::pair{8, 2}, std::pair{7, 3}}) {
        later.push_back(new VOKR_SPLITTER(&hubs, id, Qt::Horizontal, &top));
        for (int i = 0; i < panes; ++i)
            later.back()->addWidget(new QWidget);
        later.back()->setGeometry(0, 0, 400, 100);
        later.back()->apply_dragged_sizes();
        later.back()->show();
    }
    EXPECT_EQ(later[0]->sizes(), group[0]->sizes());
    EXPECT_NE(later[1]->sizes()[0], 150);
    EXPECT_NE(later[2]->sizes()[0], 150);
    qDeleteAll(hubs);
}

TEST(CONTAINERS, TheSharedWidgetFollowsTheShownTabAndOutlivesItsContainers)
{
    QWidget shared;
    auto tabs = std::make_unique<QTabWidget>();
    for (const char* title : {"a", "b"})
        tabs->addTab(new VOKR_CONTAINER_WIDGET(&shared, nullptr), title);
    tabs->show();
    for (int tab : {1, 0, 1}) {
        tabs->setCurrentIndex(tab);
        EXPECT_EQ(shared.parentWidget(), tabs->widget(tab));
        EXPECT_TRUE(shared.isVisible());
    }
    delete tabs->widget(1);  // tab 0 is shown now and takes the widget over
    EXPECT_EQ(shared.parentWidget(), tabs->widget(0));
    tabs.reset();
    EXPECT_EQ(shared.parentWidget(), nullptr);
}

TEST_F(LAYOUT, TabsFollowTheTriggerLevelsAndTheFlowMode)
{
    open();
    KSM_TX_TRIGGER* trigger = (*editor)->get_trigger_nodes(0);
    ASSERT_TRUE(trigger->set_num_levels(3));
    trigger->set_level_type(0, KSM_LTYPE_ADVANCED);
    trigger->set_level_type(2, KSM_LTYPE_ADVANCED);
    for (bool state_based : {true, false}) {
        trigger->set_state_based(state_based);
        rebuild();
        QStringList expected = {"Data", "Setup", "Advanced Trigger 1", "Advanced Trigger 3"};
        if (state_based)
            expected << "State-Based Trigger Flow";
        EXPECT_EQ(titles(), expected);
        EXPECT_EQ(tabs()->widget(3)->property("trigger level").toInt(), 2);
        // The node list is inside the container of whatever tab is shown; the flow tab holds the
        // state tools instead.
        for (int tab = 0; tab < tabs()->count(); ++tab) {
            tabs()->setCurrentIndex(tab);
            const bool flow = tabs()->tabText(tab) == "State-Based Trigger Flow";
            EXPECT_EQ(tabs()->widget(tab)->isAncestorOf(layout()->get_view()), !flow) << tab;
        }
        if (state_based) {
            auto* flow = qobject_cast<QSplitter*>(tabs()->widget(4));
            ASSERT_TRUE(flow);
            ASSERT_EQ(flow->count(), 3);
            EXPECT_TRUE(qobject_cast<VOKR_DIAGRAM_WIDGET*>(flow->widget(0)));
            EXPECT_TRUE(qobject_cast<VOKR_STATE_WIDGET*>(flow->widget(1)));
            EXPECT_TRUE(qobject_cast<VOKR_RESOURCES_WIDGET*>(flow->widget(2)));
        }
    }
}

// A stored "active tab" outside the tabs opens "Setup" and is stored as 1, when the tabs are
// built and when they are rebuilt.
// Each pane hears every change notice once: one subscription per receiver.
TEST_F(LAYOUT, EveryPaneIsSubscribedOnce)
{
    open();
    EXPECT_EQ(connections_from_manager(layout()->get_object_widget()), 1);
    EXPECT_EQ(connections_from_manager(layout()), 1);
    EXPECT_EQ(connections_from_manager(layout()->get_instance_widget()), 1);
    EXPECT_EQ(connections_from_manager(layout()->get_hierarchy_widget()), 1);
}

TEST_F(LAYOUT, ActiveTabOutOfRangeOpensSetup)
{
    open();
    for (int stored : {0, 2, 7, -4}) {
        (*editor)->set_int_state(0, "active tab", stored);
        rebuild();
        const int expected = stored == 0 ? 0 : 1;
        EXPECT_EQ(tabs()->currentIndex(), expected) << stored;
        EXPECT_EQ((*editor)->get_int_state(0, "active tab", -1), expected) << stored;
    }
}

// Picking "Advanced" for a level adds its tab when the queued notice arrives; in regression-test
// mode, at once.
TEST_F(LAYOUT, AdvancedLevelTabComesAtOnceInRegressionTestMode)
{
    for (bool regtest : {false, true}) {
        open();
        tabs()->setCurrentIndex(1);  // Setup
        tst_set_regtest_mode(regtest);
        layout()->get_view()->get_level_combo(3)->setCurrentText("Advanced");  // level 1
        const QStringList at_once = titles();
        QCoreApplication::processEvents();
        tst_set_regtest_mode(false);
        const QStringList advanced = {"Data", "Setup", "Advanced Trigger 1"};
        EXPECT_EQ(at_once, regtest ? advanced : QStringList({"Data", "Setup"})) << regtest;
        EXPECT_EQ(titles(), advanced) << regtest;
    }
}

TEST_F(LAYOUT, InstanceTabsPowerUpViewAndPositionSaving)
{
    open(2);
    ASSERT_TRUE((*editor)->enable_powerup_trigger(0, true));  // entry 1 becomes 0's power-up view
    rebuild();
    QTabWidget* instances = layout()->get_instance_tab_widget();
    ASSERT_EQ(instances->count(), 2);
    EXPECT_EQ(instances->currentIndex(), 0);
    EXPECT_TRUE(page(0)->autoFillBackground());
    EXPECT_EQ(page(0)->palette().color(QPalette::Window), QColor(153, 204, 255));
    EXPECT_EQ(page(1)->property("instance index").toInt(), 2);

    // The first switch after building keeps no position; later ones keep the leaving one's.
    KSM_TX_SESSION* session = (*editor)->get_session();
    const char* key = "setup vertical scroll position";
    instances->setCurrentIndex(1);
    EXPECT_EQ((*editor)->get_current_instance_index(), 2);
    EXPECT_EQ(session->get_instance_at(0)->get_position_data(key), -1);
    instances->setCurrentIndex(0);
    EXPECT_NE(session->get_instance_at(2)->get_position_data(key), -1);
    EXPECT_EQ((*editor)->get_current_instance_index(), 0);
}

// A rebuild of the instance tabs gives the keyboard focus back to the control of that name on
// the page shown, the second instance's.
TEST_F(LAYOUT, RebuiltTabsGiveTheFocusBackOnThePageShown)
{
    open(2);
    ASSERT_TRUE((*editor)->set_instance(1));
    rebuild();
    QApplication::setActiveWindow(editor->frame());
    QTabWidget* instances = layout()->get_instance_tab_widget();
    ASSERT_EQ(instances->currentIndex(), 1);
    auto* control = instances->currentWidget()->findChild<QWidget*>("storage_type");
    ASSERT_TRUE(control && control->isVisible());
    control->setFocus();
    rebuild();
    QWidget* focus = editor->frame()->focusWidget();
    EXPECT_TRUE(focus && focus->objectName() == "storage_type" && focus->isVisible() &&
                instances->currentWidget()->isAncestorOf(focus))
        << (focus ? focus->objectName().toStdString() : "no focus");
}

TEST_F(LAYOUT, HidingBothSidePanesHidesTheirSplitter)
{
    open();
    QWidget* panes = layout()->get_hierarchy_widget()->parentWidget();
    QAction* hierarchy = (*editor)->get_action(PIRQ_ACTION_HIERARCHY_PANE, QVariant());
    QAction* log = (*editor)->get_action(PIRQ_ACTION_DATA_LOG_PANE, QVariant());
    const struct {
        QAction* action;
        bool checked, panes_shown;
    } steps[] = {{hierarchy, false, true}, {log, false, false}, {log, true, true}, {hierarchy, true, true}};
    for (const auto& step : steps) {
        step.action->setChecked(step.checked);
        EXPECT_EQ(!panes->isHidden(), step.panes_shown) << step.action->text().toStdString();
    }
}

TEST_F(LAYOUT, SplitterDragsWriteTheirKeysOnce)
{
    open(2);
    HINTS hints(editor->get());
    QSplitter* first = page(0);
    emit first->splitterMoved(first->height() + 50, 1);  // a position past the bottom is stored as 0
    EXPECT_EQ((*editor)->get_int_state("hierarchy widget height", -1), 0);
    const QList<int> other = page(1)->sizes();
    drag(first, 300);
    const int height = (*editor)->get_int_state("hierarchy widget height", -1);
    EXPECT_EQ(height, first->geometry().height() - 300 - 6);
    EXPECT_NE(page(1)->sizes(), other);  // the other instance's page moved along
    rebuild();
    for (int tab = 0; tab < 2; ++tab)
        EXPECT_EQ(page(tab)->widget(1)->height(), height) << tab;
}

// Save, close, reopen: the panes, the top pane's sizes and the active tab come back.
TEST_F(LAYOUT, LayoutTravelsWithTheSessionFile)
{
    struct CASE {
        const char* what;
        bool instance_shown, jtag_shown;
        QSize jtag_size;  // stored as it stands
        bool top_shown, jtag_pane_shown;
        int top_height;  // -1: not checked
    };
    const CASE cases[] = {
        {"sizes", true, true, {450, 200}, true, true, 200},
        {"height 0 keeps the height", true, true, {450, 0}, true, true, -1},
        {"width 0 hides the JTAG pane", true, true, {0, 210}, true, false, 210},
        {"both hidden", false, false, {450, 200}, false, false, -1},
    };
    const std::string file = path("layout.lmx");
    for (const CASE& c : cases) {
        SCOPED_TRACE(c.what);
        open();
        tabs(0)->setCurrentIndex(0);
        (*editor)->get_action(PIRQ_ACTION_HIERARCHY_PANE, QVariant())->setChecked(false);
        layout()->get_jtag_action()->setChecked(c.jtag_shown);
        (*editor)->get_action(PIRQ_ACTION_INSTANCE_PANE, QVariant())->setChecked(c.instance_shown);
        ASSERT_TRUE((*editor)->save_document(file.c_str()));
        (*editor)->set_size_state("jtag widget size", c.jtag_size);
        ASSERT_TRUE((*editor)->get_session()->save_session(file.c_str()));
        editor.reset();

        auto frame = std::make_unique<VOKR_FRAME_WND>(nullptr, 0, 0, 0);
        ASSERT_TRUE(frame->open_file(QString::fromStdString(file)));
        show(frame.get());
        VOKR_LAYOUT_WIDGET* reopened = frame->get_layout_widget();
        VOKR_TX_MANAGER* m = frame->get_tx_manager();
        EXPECT_FALSE(m->get_action(PIRQ_ACTION_HIERARCHY_PANE, QVariant())->isChecked());
        EXPECT_TRUE(reopened->get_hierarchy_widget()->isHidden());
        EXPECT_EQ(m->get_action(PIRQ_ACTION_INSTANCE_PANE, QVariant())->isChecked(), c.instance_shown);
        EXPECT_EQ(!reopened->get_top_splitter()->isHidden(), c.top_shown);
        EXPECT_EQ(!reopened->get_jtag_widget()->isHidden(), c.jtag_pane_shown);
        if (c.top_height >= 0) {
            EXPECT_EQ(reopened->sizes()[0], c.top_height);
        }
        if (c.jtag_pane_shown) {
            EXPECT_EQ(reopened->get_top_splitter()->sizes()[1], c.jtag_size.width());
        }
        EXPECT_EQ(reopened->get_data_setup_tab_widget(-1)->currentIndex(), 0);
        frame.reset();
    }
}

// The demo session in a framed editor of the given size, shown.
std::unique_ptr<VOKR_FRAME_WND> open_demo(const std::string& directory, QSize size)
{
    const QString demo = QString(VOKR_EXAMPLES_DIR) + "/demo/";
    for (const char* name : {"demo.lmx", "demo.kproj"})
        EXPECT_TRUE(QFile::copy(demo + name, QString::fromStdString(directory + "/" + name)));
    std::string error;
    EXPECT_TRUE(PRJ_PROJECT::open(directory + "/demo.kproj", &error)) << error;
    auto frame = std::make_unique<VOKR_FRAME_WND>(nullptr, WEX_FRAME_MODE_MAIN_WINDOW, 0, 0);
    EXPECT_TRUE(frame->open_file(QString::fromStdString(directory + "/demo.lmx")));
    frame->resize(size);
    frame->show();
    QCoreApplication::processEvents();
    QDir().mkpath(VOKR_ARTIFACT_DIR);
    return frame;
}

// Drops the node rows named `names` on the centre of `box`, as a drag from the node list does.
void drop_rows(VOKR_TX_MANAGER* m, VOKR_OBJECT_WIDGET* canvas, VOKR_OBJECT* box, const QStringList& names)
{
    for (int r = 0; r < m->get_node_count(-1); ++r) {
        QString name;
        m->get_node(r, nullptr, &name, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        m->set_node_selection_status(r, names.contains(name));
    }
    QMimeData data;
    data.setData(VOKR_OBJECT_WIDGET::NODE_FORMAT, QByteArray());
    const QPoint at = box->get_rect().center();  // at zoom 1:1 diagram units are pixels
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &enter);
    QDropEvent drop(at, enter.dropAction(), &data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &drop);
    QCoreApplication::processEvents();
}

// Every shown box lies right of the left edge, below the expression lines and above the
// horizontal scroll bar.
void expect_boxes_in_view(VOKR_OBJECT_WIDGET* canvas, const char* when)
{
    const int bottom = canvas->height() - canvas->findChild<QScrollBar*>()->sizeHint().height();
    for (VOKR_OBJECT* box : *canvas->get_objects()) {
        if (box->is_hidden())
            continue;
        const QRect r = box->get_rect();
        EXPECT_TRUE(r.left() >= 0 && r.top() > canvas->expression_lines_bottom() && r.bottom() < bottom)
            << when << ": box of type " << box->get_type() << " at " << r.left() << "," << r.top() << " to "
            << r.right() << "," << r.bottom();
    }
}

// Pictures of the whole editor on the demo session for a person to look at: the Setup tab,
// and the Data tab after a capture.
TEST_F(LAYOUT, EditorPicturesOnTheDemoSession)
{
    auto frame = open_demo(path(""), QSize(1400, 900));
    VOKR_LAYOUT_WIDGET* layout = frame->get_layout_widget();
    VOKR_TX_MANAGER* m = frame->get_tx_manager();
    layout->get_data_setup_tab_widget(-1)->setCurrentIndex(1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(frame->grab().save(VOKR_ARTIFACT_DIR "/editor_setup.png"));

    jop_record_compile(m->get_session());
    VOKR_CONTROL_CMD_ELA_INT callback(layout->get_instance_widget(), 0);
    std::vector<DAW_CONTROL::ACQ_PARAMETER> requests(1);
    requests[0].callback = &callback;
    m->run(&requests);
    daw_sim::drain();
    QCoreApplication::processEvents();
    layout->get_data_setup_tab_widget(-1)->setCurrentIndex(0);
    QCoreApplication::processEvents();
    EXPECT_NE(m->get_data_log(), nullptr);
    EXPECT_TRUE(frame->grab().save(VOKR_ARTIFACT_DIR "/editor_data.png"));
    frame.reset();
    PRJ_PROJECT::close();
    daw_sim::reset();
}

// In a window of a first start's size, a bus dropped on the result with its adapter and then an
// AND put in front of them stay in view below the expression line, and Arrange All Objects is
// offered as soon as there is something to arrange. Pictures for a person to look at.
TEST_F(LAYOUT, NewTreesArePlacedInViewBelowTheExpressionLine)
{
    auto frame = open_demo(path(""), QSize(780, 630));
    VOKR_TX_MANAGER* m = frame->get_tx_manager();
    VOKR_OBJECT_WIDGET* canvas = frame->get_layout_widget()->get_object_widget();
    frame->get_layout_widget()->get_data_setup_tab_widget(-1)->setCurrentIndex(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(frame->test_switch_to_advanced_view(3), QString());
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_TRUE(canvas->isVisible() && canvas->get_objects());
    expect_boxes_in_view(canvas, "the new result");
    QAction* arrange = m->get_action(PIRQ_ACTION_ARRANGE_ALL_OBJECTS, QVariant());

    drop_rows(m, canvas, canvas->get_objects()->first(), {"cpu|pc[15..0]"});
    ASSERT_TRUE(canvas->get_equation().contains("(|")) << canvas->get_equation().toStdString();
    expect_boxes_in_view(canvas, "a bus dropped on the result");
    canvas->update_all_actions();
    EXPECT_TRUE(arrange->isEnabled());
    EXPECT_TRUE(canvas->grab().save(VOKR_ARTIFACT_DIR "/canvas_bus_dropped.png"));

    QTimer::singleShot(0, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_TRUE(dialog);
        dialog->findChild<QComboBox*>("object_type")->setCurrentText("Logical Operator");
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    for (VOKR_OBJECT* box : *canvas->get_objects())
        box->select(box->get_type() == VOKR_TYPE_REDUCTION, false, false);
    canvas->on_insert();
    QCoreApplication::processEvents();
    expect_boxes_in_view(canvas, "an AND inserted");
    EXPECT_TRUE(canvas->grab().save(VOKR_ARTIFACT_DIR "/canvas_and_inserted.png"));
    frame.reset();
    PRJ_PROJECT::close();
}

}  // namespace
