// The editor's frame window: its menus and toolbars as a window of its own and as the suite's
// main window, the shared option pages, the lazily built menus, the file commands with the
// session and modified mark they leave, save-as from the main window, edit routing by focus,
// the enable rules, attach and detach, compile, and adding a node by name.
#include "manager_test_support.h"

#include "diagram_builder.h"
#include "vokr_layout_widget.h"
#include "vokr_msg.h"
#include "vokr_object_widget.h"
#include "vokr_view.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>

#include <sys/stat.h>

#include <functional>
#include <memory>

using namespace manager_test;

namespace {

class FrameWindow : public MANAGER_TEST {
protected:
    void TearDown() override
    {
        tst_set_regtest_mode(false);
        wex_set_flow_runner(nullptr);
        wex_clear_started_flows();
        MANAGER_TEST::TearDown();
    }
};

// A frame on a new document, its queued updates delivered.
std::unique_ptr<VOKR_FRAME_WND> framed(bool main_window)
{
    auto frame = std::make_unique<VOKR_FRAME_WND>(nullptr, main_window ? WEX_FRAME_MODE_MAIN_WINDOW : 0, 0, 0);
    EXPECT_TRUE(frame->new_file());
    QCoreApplication::processEvents();
    return frame;
}

// Entries by name: "|" a separator, "[title]" a submenu, else the action's object name.
QStringList dump(const QList<QAction*>& actions)
{
    QStringList out;
    for (QAction* action : actions) {
        if (action->isSeparator())
            out << "|";
        else if (action->menu())
            out << "[" + action->menu()->title().remove('&') + "]";
        else
            out << action->objectName();
    }
    return out;
}

QStringList menu_titles(QMainWindow* window)
{
    QStringList out;
    for (QAction* action : window->menuBar()->actions())
        out << action->text().remove('&');
    return out;
}

QStringList toolbar_names(QMainWindow* window)
{
    QStringList out;
    for (QToolBar* toolbar : window->findChildren<QToolBar*>())
        out << toolbar->objectName();
    return out;
}

QString id(PIRQ_ACTION_ENUM action) { return pirq_get_action_name(action); }

// Answers the next file dialog: selects the file and accepts, or cancels for an empty name.
void answer_file_dialog(const QString& file)
{
    QTimer::singleShot(10, [file] {
        auto* dialog = qobject_cast<PIRQ_FILE_DLG*>(QApplication::activeModalWidget());
        if (!dialog)
            return answer_file_dialog(file);
        if (file.isEmpty()) {
            dialog->reject();
            return;
        }
        // Typed as a person would: the directory, then the name in the file-name field.
        dialog->setDirectory(QFileInfo(file).absolutePath());
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(QFileInfo(file).fileName());
        static_cast<QDialog*>(dialog)->accept();
    });
}

QAction* action(VOKR_FRAME_WND* frame, PIRQ_ACTION_ENUM id) { return frame->get_tx_manager()->get_action(id, {}); }

}  // namespace

TEST_F(FrameWindow, MenusAndToolbarsOfAWindowOfItsOwnAndOfTheMainWindow)
{
    const QStringList default_tail = {"PIRQ_SAVE_ACTION",
                                      "|",
                                      "PIRQ_UNDO_ACTION",
                                      "PIRQ_REDO_ACTION",
                                      "|",
                                      id(PIRQ_ACTION_TOOLBAR_CENTER_ON_TRIGGER),
                                      id(PIRQ_ACTION_TOOLBAR_FIND),
                                      "|",
                                      id(PIRQ_ACTION_TOOLBAR_COMPILE),
                                      id(PIRQ_ACTION_TOOLBAR_RECOMPILE),
                                      "|",
                                      "PIRQ_KORVANE_HELP_ACTION"};
    const struct {
        bool main;
        QStringList menus, processing, view, toolbars, default_head;
    } cases[] = {
        {false,
         {"File", "Edit", "View", "Project", "Assignments", "Processing", "Tools", "Window", "Help"},
         {"PIRQ_START_COMPILE_ACTION", "PIRQ_START_RECOMPILE_ACTION", "PIRQ_STOP_PROCESSING_ACTION",
          "PIRQ_COMPILATION_REPORT_ACTION", "|", id(PIRQ_ACTION_RUN), id(PIRQ_ACTION_AUTORUN), id(PIRQ_ACTION_STOP),
          id(PIRQ_ACTION_READ_DATA), "|", id(PIRQ_ACTION_TOOLBAR_COMPILE), id(PIRQ_ACTION_TOOLBAR_RECOMPILE)},
         {"[Utility Windows]", "[Toolbars]", "PIRQ_FULL_SCREEN_ACTION", id(PIRQ_ACTION_FIT_IN_WINDOW),
          id(PIRQ_ACTION_ZOOM_IN), id(PIRQ_ACTION_ZOOM_OUT), id(PIRQ_ACTION_CENTER_ON_TRIGGER), "|"},
         {"File", "Standard", "Applications", "Processing", "Utility Windows", "Default"},
         {"PIRQ_ATTACH_ACTION", "PIRQ_DETACH_ACTION", "|"}},
        {true,
         {"File", "Edit", "View", "Processing", "Tools", "Help"},
         {id(PIRQ_ACTION_RUN)},
         {"PIRQ_FULL_SCREEN_ACTION", "PIRQ_MESSAGE_WINDOW_ACTION", "|", id(PIRQ_ACTION_FIT_IN_WINDOW),
          id(PIRQ_ACTION_ZOOM_IN), id(PIRQ_ACTION_ZOOM_OUT), id(PIRQ_ACTION_CENTER_ON_TRIGGER), "|"},
         {"Utility Windows", "Default"},
         {"PIRQ_OPEN_ACTION"}},
    };
    for (const auto& c : cases) {
        auto frame = framed(c.main);
        SCOPED_TRACE(c.main ? "main window" : "window of its own");
        EXPECT_EQ(menu_titles(frame.get()), c.menus);
        EXPECT_EQ(dump(frame->get_menu(WEX_PROCESSING_MENU)->actions()), c.processing);
        EXPECT_EQ(dump(frame->get_menu(WEX_VIEW_MENU)->actions()), c.view);
        EXPECT_EQ(toolbar_names(frame.get()), c.toolbars);
        EXPECT_EQ(dump(frame->get_default_toolbar()->actions()), c.default_head + default_tail);
        // Compiling is the suite's own command in its main window; a window of its own compiles,
        // and recompiles only through the suite's main window, which neither has here.
        EXPECT_EQ(action(frame.get(), PIRQ_ACTION_TOOLBAR_COMPILE)->isEnabled(), !c.main);
        EXPECT_FALSE(action(frame.get(), PIRQ_ACTION_TOOLBAR_RECOMPILE)->isEnabled());
        EXPECT_FALSE(action(frame.get(), PIRQ_ACTION_TOOLBAR_FIND)->isEnabled());  // no nodes yet
        EXPECT_EQ(frame->is_message_window_visible(), c.main);
        if (c.main)
            continue;
        EXPECT_TRUE(frame->get_standard_action("PIRQ_ATTACH_ACTION")->isEnabled());
        EXPECT_TRUE(frame->get_standard_action("PIRQ_DETACH_ACTION")->isEnabled());
    }
}

TEST_F(FrameWindow, FileAndEditMenusGainTheEditorsEntries)
{
    auto main = framed(true);
    EXPECT_EQ(
        dump(main->get_menu(WEX_FILE_MENU)->actions()),
        (QStringList{"PIRQ_OPEN_ACTION", "PIRQ_CLOSE_ACTION", "|", "|", "PIRQ_SAVE_ACTION", "PIRQ_SAVE_AS_ACTION", "|",
                     id(PIRQ_ACTION_CREATE_LIST_FILE), id(PIRQ_ACTION_EXPORT), "|", "|", "|", "PIRQ_PAGE_SETUP_ACTION",
                     "PIRQ_PRINT_PREVIEW_ACTION", "PIRQ_PRINT_ACTION", "|", "PIRQ_EXIT_ACTION"}));
    auto own = framed(false);
    const QStringList edit = dump(own->get_menu(WEX_EDIT_MENU)->actions());
    EXPECT_EQ(edit.mid(0, 3), (QStringList{"PIRQ_UNDO_ACTION", "PIRQ_REDO_ACTION", "|"}));
    EXPECT_EQ(edit.mid(14, 4), (QStringList{id(PIRQ_ACTION_FIND_BUS_VALUE), id(PIRQ_ACTION_FIND_NEXT_BUS_VALUE),
                                            id(PIRQ_ACTION_FIND_PREVIOUS_BUS_VALUE), "|"}));
    EXPECT_EQ(edit.mid(edit.size() - 9),
              (QStringList{"[Bus Bit Order]", "|", "[Bus Display Format]", "|", id(PIRQ_ACTION_MNEMONIC_TABLE_SETUP),
                           id(PIRQ_ACTION_SAVE_TO_LOG), id(PIRQ_ACTION_LOGGING), "|", "[Lock Mode]"}));
    // The suite's entries show in a window of its own, except the two the editor does not use.
    for (QAction* entry : own->get_menu(WEX_EDIT_MENU)->actions().mid(0, 14))
        EXPECT_EQ(entry->isVisible(),
                  entry->objectName() != "PIRQ_PROPERTIES_ACTION" && entry->objectName() != "PIRQ_DUPLICATE_ACTION")
            << entry->objectName().toStdString();
}

TEST_F(FrameWindow, OptionPagesOfEveryFrameShareOneItemList)
{
    auto first = framed(false);
    auto second = framed(true);
    for (VOKR_FRAME_WND* frame : {first.get(), second.get()}) {
        ASSERT_EQ(frame->get_option_pages().size(), 1u);
        const PIRQ_PAGE_INFO* page = frame->get_option_pages().front().get();
        EXPECT_EQ(page->get_id(), 52u);
        EXPECT_EQ(frame->get_current_option_page(), 52u);
        QList<quint32> children;
        for (const PIRQ_PAGE_INFO* child : page->get_children())
            children << child->get_id();
        EXPECT_EQ(children, (QList<quint32>{53, 54, 55, 56}));
        EXPECT_EQ(dynamic_cast<const SAWQ_COLOR_INFO*>(page->get_children()[1])->get_items(),
                  VOKR_FRAME_WND::get_color_items());
        EXPECT_EQ(dynamic_cast<const SAWQ_FONT_INFO*>(page->get_children()[2])->get_items(),
                  VOKR_FRAME_WND::get_font_items());
    }
    EXPECT_EQ(VOKR_FRAME_WND::get_color_items()->size(), 19);
    EXPECT_EQ(VOKR_FRAME_WND::get_color_items()->at(10).name, "Duplicated Nodes");
    EXPECT_EQ(VOKR_FRAME_WND::get_color_items()->at(10).id, 315u);
    EXPECT_EQ(VOKR_FRAME_WND::get_font_items()->size(), 13);
    EXPECT_EQ(VOKR_FRAME_WND::get_font_items()->at(4).id, 66u);
}

TEST_F(FrameWindow, LazyMenusAreBuiltOnceAndTheDisplayFormatsCarryTheirTypes)
{
    auto frame = framed(false);
    QMenu* formats = frame->get_bus_display_format_menu();
    EXPECT_EQ(frame->get_bus_display_format_menu(), formats);
    QStringList entries;
    for (QAction* entry : formats->actions()) {
        if (entry->isSeparator())
            entries << "|";
        else if (entry->menu())
            for (QAction* inner : entry->menu()->actions())
                entries << entry->text().remove('&') + ":" + inner->data().toString();
        else
            entries << entry->data().toString();
    }
    EXPECT_EQ(entries, (QStringList{"5", "4", "2", "3", "Floating-point:13", "Floating-point:14", "6", "1", "7", "|",
                                    "8", "9", "|", "10", "11"}));
    QActionGroup* group = action(frame.get(), PIRQ_ACTION_DISPLAY_HEX)->actionGroup();
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->isExclusive());
    EXPECT_EQ(action(frame.get(), PIRQ_ACTION_DISPLAY_DOUBLE)->actionGroup(), group);

    QMenu* plugins = frame->get_plugin_menu();
    EXPECT_EQ(frame->get_plugin_menu(), plugins);
    EXPECT_NE(qobject_cast<QActionGroup*>(plugins->property("action group").value<QObject*>()), nullptr);
    QMenu* locate = frame->get_locate_menu();
    EXPECT_EQ(frame->get_locate_menu(), locate);
    EXPECT_EQ(locate->objectName(), "PIRQ_LOCATE_MENU");
}

// New, save as, a failed open, save, and close keep the session and the modified mark right.
TEST_F(FrameWindow, FileCommandsKeepTheSessionAndTheModifiedMark)
{
    auto frame = framed(false);
    VOKR_TX_MANAGER* m = frame->get_tx_manager();
    const QString file = QString::fromStdString(path("kept.lmx"));
    ASSERT_NE(m->get_session(), nullptr);
    EXPECT_FALSE(frame->isWindowModified());
    EXPECT_TRUE(frame->windowTitle().startsWith(frame->get_untitled_name() + "[*]"));

    // A pipe (or a device) is not replaced by the session's file.
    const QString pipe = QString::fromStdString(path("pipe.lmx"));
    ASSERT_EQ(mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    EXPECT_FALSE(frame->save_as(pipe));
    EXPECT_FALSE(QFileInfo(pipe).isFile());
    ASSERT_TRUE(frame->save_as(file));
    EXPECT_EQ(frame->get_qstring_filepath(), file);
    EXPECT_TRUE(frame->windowTitle().startsWith("kept.lmx[*]"));
    ASSERT_NO_FATAL_FAILURE(add_rows(m, {"a", "b"}));
    m->update_modified_flag();
    ASSERT_TRUE(frame->isWindowModified());

    KSM_TX_SESSION* session = m->get_session();
    EXPECT_FALSE(frame->open_file(QString::fromStdString(path("missing.lmx"))));
    EXPECT_EQ(m->get_session(), session);
    EXPECT_TRUE(frame->isWindowModified());
    EXPECT_EQ(frame->get_qstring_filepath(), file);

    EXPECT_TRUE(frame->save_file(file));
    EXPECT_FALSE(frame->isWindowModified());

    auto reader = framed(false);
    ASSERT_TRUE(reader->open_file(file));
    EXPECT_EQ(reader->get_qstring_filepath(), file);
    EXPECT_EQ(reader->get_tx_manager()->get_trigger_nodes(-1)->get_num_nodes(), 2);
    EXPECT_TRUE(reader->find_open_file(file, false));  // the first frame has it too

    // A save to a path that became a directory, or whose folder is gone, names the system's
    // reason; the session stays modified and the saved file is untouched.
    ASSERT_NO_FATAL_FAILURE(add_rows(m, {"c"}));
    m->update_modified_flag();
    const QString folder = QString::fromStdString(path("now_a_folder.lmx"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const auto& [target, reason] : {std::pair<QString, std::string>{folder, "directory"},
                                         {QString::fromStdString(path("gone")) + "/x.lmx", "No such file"}}) {
        MSG_JOURNAL::clear();
        EXPECT_FALSE(frame->save_file(target));
        const std::vector<MSG_RECORD> errors = posted("WEX_CANT_SAVE_FILE");
        ASSERT_EQ(errors.size(), 1u) << target.toStdString();
        EXPECT_NE(errors[0].text.find(reason), std::string::npos) << errors[0].text;
        EXPECT_TRUE(frame->isWindowModified());
        EXPECT_EQ(frame->get_qstring_filepath(), file);
    }
    ASSERT_TRUE(reader->open_file(file));
    EXPECT_EQ(reader->get_tx_manager()->get_trigger_nodes(-1)->get_num_nodes(), 2);

    // Closing a modified window asks; Cancel keeps it, No closes it without saving.
    frame->show();
    MSG_JOURNAL::push_answer(MSG_PROMPT::MSG_VALUE_CANCEL);
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isVisible());
    MSG_JOURNAL::push_answer(MSG_PROMPT::MSG_VALUE_NO);
    EXPECT_TRUE(frame->close());
    ASSERT_TRUE(reader->open_file(file));
    EXPECT_EQ(reader->get_tx_manager()->get_trigger_nodes(-1)->get_num_nodes(), 2);
}

// Opening a file or deleting the instance frees the diagram the canvas shows: the canvas lets
// go of its boxes at once, so that no resize or paint before its queued update reads them.
TEST_F(FrameWindow, TheCanvasLetsGoOfTheBoxesOfAClosedSessionOrInstance)
{
    const QString file = QString::fromStdString(path("advanced.lmx"));
    const std::function<bool(VOKR_FRAME_WND*)> closers[] = {
        [&file](VOKR_FRAME_WND* f) { return f->open_file(file); },
        [](VOKR_FRAME_WND* f) { return f->get_tx_manager()->remove_instance(1); },
    };
    for (const auto& close : closers) {
        auto frame = framed(false);
        VOKR_TX_MANAGER* m = frame->get_tx_manager();
        ASSERT_TRUE(frame->save_file(file));
        ASSERT_TRUE(m->add_instance());
        ASSERT_NO_FATAL_FAILURE(add_rows(m, {"a"}));
        frame->show();
        m->set_advanced_trigger(0, KSM_LTYPE_ADVANCED);  // as the level's type box does: its tab shows
        m->set_int_state(-1, "active tab", 2);
        emit m->updated(nullptr, VOKR_HINT_REFRESH | VOKR_HINT_TABS);
        QCoreApplication::processEvents();
        VOKR_OBJECT_WIDGET* canvas = frame->get_layout_widget()->get_object_widget();
        ASSERT_NE(canvas->get_objects(), nullptr);
        ASSERT_TRUE(close(frame.get()));
        EXPECT_EQ(canvas->get_objects(), nullptr);
        canvas->resize(canvas->size() + QSize(7, 7));
        QCoreApplication::processEvents();
    }
}

// A window without a session: every entry enabled as it opens, triggered before any menu ran
// its enable rules (a toolbar button), does nothing harmful and makes no session; a dialog one
// opens is closed as a script's would be. New makes a session by design.
TEST_F(FrameWindow, EntriesOfAWindowWithoutASessionAreHarmless)
{
    VOKR_FRAME_WND frame(nullptr, 0, 0, 0);
    frame.show();
    QCoreApplication::processEvents();
    QList<QAction*> entries = frame.findChildren<QAction*>();
    entries += frame.get_tx_manager()->findChildren<QAction*>();
    for (QAction* entry : entries) {
        const QString name = entry->objectName();
        if (!entry->isEnabled() || name.contains("EXIT") || name.contains("CLOSE") || name.contains("NEW"))
            continue;
        WEX_MODAL_COMMAND_SCOPE scope;
        entry->trigger();
        QCoreApplication::processEvents();
        EXPECT_EQ(frame.get_tx_manager()->get_session(), nullptr) << name.toStdString();
    }
}

TEST_F(FrameWindow, MainWindowSaveAsReportsWhatTheSaveDid)
{
    const std::string good = path("chosen.lmx");
    const struct {
        const char* what;
        bool regtest;
        QString answer;  // empty: the dialog is cancelled
        bool result, written;
    } cases[] = {
        {"regression-test mode shows no dialog", true, "", true, false},
        {"a writable place", false, QString::fromStdString(good), true, true},
        {"a place that cannot be written", false, "/proc/frame_window_test.lmx", false, false},
        {"cancelled", false, "", false, false},
    };
    for (const auto& c : cases) {
        QFile::remove(QString::fromStdString(good));
        auto frame = framed(true);
        tst_set_regtest_mode(c.regtest);
        if (!c.regtest)
            answer_file_dialog(c.answer);
        EXPECT_EQ(frame->save_as(QString()), c.result) << c.what;
        EXPECT_EQ(QFile::exists(QString::fromStdString(good)), c.written) << c.what;
        EXPECT_EQ(frame->get_qstring_filepath(), c.written ? QString::fromStdString(good) : QString()) << c.what;
    }
}

TEST_F(FrameWindow, NothingClosesWhileAnInstanceAcquires)
{
    auto frame = framed(false);
    VOKR_TX_MANAGER* m = frame->get_tx_manager();
    m->set_instance_acq_state(0, VOKR_ACQ_STARTED);
    EXPECT_FALSE(frame->save_modified(true));
    EXPECT_EQ(shown_messages(), std::vector<std::string>{"VOKR_CANT_CLOSE_LMX_FILE"});
    m->set_instance_acq_state(0, VOKR_ACQ_NOT_RUNNING);
    EXPECT_TRUE(frame->save_modified(true));
}

TEST_F(FrameWindow, UndoGoesToTheFocusedCanvasElseToTheDocument)
{
    const struct {
        const char* focus;
        bool document_undone;
    } cases[] = {{"canvas", false}, {"view", true}, {"none", true}};
    for (const auto& c : cases) {
        auto frame = framed(false);
        VOKR_TX_MANAGER* m = frame->get_tx_manager();
        {
            VOKR_ACTION_GUARD unit(m);
            ASSERT_NO_FATAL_FAILURE(add_rows(m, {"a"}));
        }
        ASSERT_TRUE(undo_available(m));
        VOKR_LAYOUT_WIDGET* layout = frame->get_layout_widget();
        frame->show();  // the shown tab holds the view
        QCoreApplication::processEvents();
        if (std::string(c.focus) == "canvas") {
            // Inside the frame, as on an advanced trigger tab.
            layout->get_object_widget()->setParent(layout->get_instance_tab_widget());
            layout->get_object_widget()->show();
            layout->get_object_widget()->setFocus();
        } else if (std::string(c.focus) == "view")
            layout->get_view()->setFocus();
        else if (frame->focusWidget())
            frame->focusWidget()->clearFocus();
        ASSERT_EQ(frame->focusWidget() != nullptr, std::string(c.focus) != "none") << c.focus;
        action(frame.get(), PIRQ_ACTION_UNDO)->trigger();
        EXPECT_EQ(!undo_available(m), c.document_undone) << c.focus;
    }
}

// Delete delivered to the node list while an advanced level's canvas holds the focus deletes the
// canvas's selected boxes; with the focus on the list, the list's own delete leaves them.
TEST_F(FrameWindow, DeleteOnTheListGoesToTheFocusedCanvas)
{
    for (const bool canvas_focused : {true, false}) {
        auto frame = framed(false);
        VOKR_TX_MANAGER* m = frame->get_tx_manager();
        ASSERT_NO_FATAL_FAILURE(add_rows(m, {"a"}));
        frame->show();
        m->set_advanced_trigger(0, KSM_LTYPE_ADVANCED);  // its tab shows the canvas
        m->set_int_state(-1, "active tab", 2);
        emit m->updated(nullptr, VOKR_HINT_REFRESH | VOKR_HINT_TABS);
        QCoreApplication::processEvents();
        ASSERT_NE(m->shown_advanced_root(), nullptr);
        diagram::DIAGRAM(m->shown_advanced_root()).make("logical('a','a')");
        VOKR_LAYOUT_WIDGET* layout = frame->get_layout_widget();
        VOKR_OBJECT_WIDGET* canvas = layout->get_object_widget();
        canvas->setParent(layout->get_instance_tab_widget());  // inside the frame, as on its tab
        canvas->show();
        canvas->on_update(nullptr, VOKR_HINT_ADVANCED);
        canvas->on_edit_select_all();
        const int boxes = canvas->get_objects()->size();
        ASSERT_GT(boxes, 1);
        (canvas_focused ? static_cast<QWidget*>(canvas) : layout->get_view())->setFocus();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QApplication::sendEvent(layout->get_view(), &press);
        EXPECT_EQ(canvas->get_objects()->size() < boxes, canvas_focused) << canvas_focused;
    }
}

// On an advanced level's tab the View menu's zoom entries are the canvas's, whatever holds the
// focus as the menu opens.
TEST_F(FrameWindow, ViewMenuTakesTheZoomEntriesOfAnAdvancedLevelsCanvas)
{
    auto frame = framed(false);
    VOKR_TX_MANAGER* m = frame->get_tx_manager();
    ASSERT_NO_FATAL_FAILURE(add_rows(m, {"a"}));
    frame->show();
    m->set_advanced_trigger(0, KSM_LTYPE_ADVANCED);
    m->set_int_state(-1, "active tab", 2);
    emit m->updated(nullptr, VOKR_HINT_REFRESH | VOKR_HINT_TABS);
    QCoreApplication::processEvents();
    ASSERT_TRUE(m->is_advanced_mode(nullptr));
    // At one to one, the canvas zooms either way and has nothing to fit; each entry starts wrong.
    const std::pair<PIRQ_ACTION_ENUM, bool> zooms[] = {
        {PIRQ_ACTION_ZOOM_IN, true}, {PIRQ_ACTION_ZOOM_OUT, true}, {PIRQ_ACTION_FIT_IN_WINDOW, false}};
    for (const auto& [id, enabled] : zooms)
        action(frame.get(), id)->setEnabled(!enabled);
    frame->on_update_view_menu();
    for (const auto& [id, enabled] : zooms)
        EXPECT_EQ(action(frame.get(), id)->isEnabled(), enabled) << id;
    EXPECT_FALSE(action(frame.get(), PIRQ_ACTION_CENTER_ON_TRIGGER)->isEnabled());
}

// Centring on the trigger needs nodes, at most one segment and the instance's Data tab.
TEST_F(FrameWindow, CenterOnTriggerFollowsNodesSegmentsAndTheActiveTab)
{
    const struct {
        bool nodes;
        int segment_size;
        int active_tab;
        bool enabled;
    } cases[] = {
        {true, 0, 0, true}, {false, 0, 0, false}, {true, 2, 0, false}, {true, 0, 1, false}, {true, 0, -1, false},
    };
    for (const auto& c : cases) {
        auto frame = framed(false);
        VOKR_TX_MANAGER* m = frame->get_tx_manager();
        if (c.nodes) {
            ASSERT_NO_FATAL_FAILURE(add_rows(m, {"a"}));
        }
        if (c.segment_size) {
            ASSERT_TRUE(m->get_trigger_object()->set_segmented(true));
            ASSERT_TRUE(m->get_trigger_object()->set_segment_size(c.segment_size));
            ASSERT_GE(m->get_data_segment_size(), 2);
        }
        if (c.active_tab >= 0)
            m->set_int_state(-1, "active tab", c.active_tab);
        frame->on_update(nullptr, 0);
        EXPECT_EQ(action(frame.get(), PIRQ_ACTION_TOOLBAR_CENTER_ON_TRIGGER)->isEnabled(), c.enabled)
            << c.nodes << " " << c.segment_size << " " << c.active_tab;
        EXPECT_EQ(action(frame.get(), PIRQ_ACTION_TOOLBAR_FIND)->isEnabled(), c.nodes);
    }
}

TEST_F(FrameWindow, EditMenuFollowsTheInstanceAndTheLockMode)
{
    auto frame = std::make_unique<VOKR_FRAME_WND>(nullptr, 0, 0, 0);  // no document
    emit frame->get_menu(WEX_EDIT_MENU)->aboutToShow();
    for (PIRQ_ACTION_ENUM id : {PIRQ_ACTION_UNDO, PIRQ_ACTION_REDO, PIRQ_ACTION_MNEMONIC_TABLE_SETUP,
                                PIRQ_ACTION_SAVE_TO_LOG, PIRQ_ACTION_LOGGING, PIRQ_ACTION_INSERT_NODES})
        EXPECT_FALSE(action(frame.get(), id)->isEnabled()) << id;
    EXPECT_FALSE(frame->get_plugin_menu()->isEnabled());
    EXPECT_FALSE(action(frame.get(), PIRQ_ACTION_COPY)->isVisible());

    ASSERT_TRUE(frame->new_file());
    const PIRQ_ACTION_ENUM locks[] = {PIRQ_ACTION_LOCK_MODE_ALL, PIRQ_ACTION_LOCK_MODE_INCREMENTAL,
                                      PIRQ_ACTION_LOCK_MODE_TRIGGER};
    for (int mode = 0; mode < 3; ++mode) {
        frame->get_tx_manager()->set_lock_mode(static_cast<VOKR_LOCK_MODE>(mode), false);
        emit frame->get_menu(WEX_EDIT_MENU)->aboutToShow();
        for (int other = 0; other < 3; ++other)
            EXPECT_EQ(action(frame.get(), locks[other])->isChecked(), other == mode) << mode;
        EXPECT_TRUE(action(frame.get(), PIRQ_ACTION_SAVE_TO_LOG)->isEnabled());
        EXPECT_TRUE(action(frame.get(), PIRQ_ACTION_MNEMONIC_TABLE_SETUP)->isEnabled());
    }
}

// After detach then attach the suite's nine file and edit entries carry no shortcut, and the
// compile entries leave the Processing menu while the window is attached.
TEST_F(FrameWindow, ShortcutsAndCompileEntriesFollowDetachAndAttach)
{
    WEX_FRAME_WND suite(nullptr, WEX_FRAME_MODE_MAIN_WINDOW);
    auto frame = framed(false);
    const char* const entries[] = {"PIRQ_UNDO_ACTION", "PIRQ_REDO_ACTION",       "PIRQ_DELETE_ACTION",
                                   "PIRQ_FIND_ACTION", "PIRQ_SELECT_ALL_ACTION", "PIRQ_FIND_NEXT_ACTION",
                                   "PIRQ_NEW_ACTION",  "PIRQ_SAVE_ACTION",       "PIRQ_PRINT_ACTION"};
    const auto compile_listed = [&] {
        return frame->get_menu(WEX_PROCESSING_MENU)
            ->actions()
            .contains(action(frame.get(), PIRQ_ACTION_TOOLBAR_COMPILE));
    };
    const struct {
        bool (VOKR_FRAME_WND::*step)();
        bool result, attached, shortcuts;
    } steps[] = {
        {&VOKR_FRAME_WND::attach_window, true, true, false},
        {&VOKR_FRAME_WND::detach_window, true, false, true},
        {&VOKR_FRAME_WND::attach_window, true, true, false},
        {&VOKR_FRAME_WND::attach_window, false, true, false},
    };
    int index = 0;
    for (const auto& s : steps) {
        EXPECT_EQ((frame.get()->*s.step)(), s.result) << index;
        EXPECT_EQ(frame->is_attached(), s.attached) << index;
        EXPECT_EQ(compile_listed(), !s.attached) << index;
        for (const char* name : entries)
            EXPECT_EQ(frame->get_standard_action(name)->shortcut().isEmpty(), !s.shortcuts) << name << " " << index;
        ++index;
    }
    EXPECT_EQ(frame->get_standard_action("PIRQ_FIND_NEXT_ACTION")->shortcut(), QKeySequence());
    frame->detach_window();
    EXPECT_EQ(frame->get_standard_action("PIRQ_FIND_NEXT_ACTION")->shortcut(), QKeySequence("F3"));
    EXPECT_EQ(frame->get_standard_action("PIRQ_UNDO_ACTION")->shortcut(), QKeySequence(QKeySequence::Undo));
    // The suite's main window gives its Edit entries the desktop's keys, Cut, Copy and Paste too.
    const std::pair<const char*, QKeySequence::StandardKey> keys[] = {{"PIRQ_CUT_ACTION", QKeySequence::Cut},
                                                                      {"PIRQ_COPY_ACTION", QKeySequence::Copy},
                                                                      {"PIRQ_PASTE_ACTION", QKeySequence::Paste},
                                                                      {"PIRQ_UNDO_ACTION", QKeySequence::Undo}};
    for (const auto& [name, key] : keys)
        EXPECT_EQ(suite.get_standard_action(name)->shortcut(), QKeySequence(key)) << name;
}

TEST_F(FrameWindow, CompileAndRecompileStartTheSuitesFlows)
{
    std::vector<FSTR_FLOW_ENUM> run;
    wex_set_flow_runner([&](FSTR_FLOW_ENUM flow, const std::string&) {
        run.push_back(flow);
        return true;
    });
    auto frame = framed(false);
    action(frame.get(), PIRQ_ACTION_TOOLBAR_COMPILE)->trigger();
    frame->on_recompile();
    ASSERT_EQ(wex_get_started_flows().size(), 2u);
    for (const WEX_FLOW_RECORD& record : wex_get_started_flows()) {
        EXPECT_EQ(record.arguments, "");
        EXPECT_TRUE(record.flags[0] && !record.flags[1] && record.flags[2]);
    }
    EXPECT_EQ(run, (std::vector<FSTR_FLOW_ENUM>{FSTR_FLOW_FULL_COMPILATION, FSTR_FLOW_FAST_RECOMPILATION}));
}

TEST_F(FrameWindow, AddNodeMakesOneUndoUnitTappedByTheCompileMode)
{
    const char* const full = "top top\nincremental off\nnode a input pre post\n";
    const char* const incremental = "top top\nincremental on\nnode a input pre post\n";
    const struct {
        const char* name;
        const char* project;
        int units;
        KSM_DATA_WIRE_TAP_MODE tap;
    } cases[] = {
        {"", incremental, 0, KSM_TAP_PRE_SYNTHESIS},
        {"a", incremental, 1, KSM_TAP_POST_FITTING},
        {"a", full, 1, KSM_TAP_PRE_SYNTHESIS},
    };
    for (const auto& c : cases) {
        ASSERT_NO_FATAL_FAILURE(open_project(c.project));
        auto frame = framed(false);
        VOKR_TX_MANAGER* m = frame->get_tx_manager();
        frame->add_node(c.name);
        KSM_TX_TRIGGER* t = m->get_trigger_nodes(-1);
        ASSERT_EQ(t->get_num_nodes(), c.units) << c.name;
        if (c.units) {
            EXPECT_EQ(t->get_tap_mode(0), c.tap) << c.name;
        }
        EXPECT_EQ(undo_all(m), c.units);
    }
}

TEST_F(FrameWindow, ToolbarAndMenuEntriesShowIconsThatTellThemApart)
{
    for (bool main : {false, true}) {
        SCOPED_TRACE(main ? "main window" : "window of its own");
        auto frame = framed(main);
        QMap<QString, QImage> by_text;  // actions of one text are one command and share its look
        for (QToolBar* toolbar : frame->findChildren<QToolBar*>())
            for (QAction* action : toolbar->actions()) {
                if (action->isSeparator())
                    continue;
                SCOPED_TRACE(action->objectName().toStdString());
                ASSERT_FALSE(action->icon().isNull());
                const QImage image = action->icon().pixmap(24).toImage();
                const QString text = action->text().remove('&');
                EXPECT_EQ(by_text.value(text, image), image);
                for (auto it = by_text.cbegin(); it != by_text.cend(); ++it)
                    EXPECT_TRUE(it.key() == text || it.value() != image) << it.key().toStdString();
                by_text.insert(text, image);
            }
        EXPECT_EQ(by_text.size(), main ? 10 : 20);
        for (WEX_MENU_POSITION menu : {WEX_FILE_MENU, WEX_EDIT_MENU, WEX_VIEW_MENU, WEX_PROCESSING_MENU})
            for (QAction* action : frame->get_menu(menu)->actions())
                EXPECT_TRUE(action->isSeparator() || action->menu() || !action->icon().isNull())
                    << action->objectName().toStdString();
    }
}

// Every shared action the editor makes, in its panes, menus and canvas, is named: none shows the
// placeholder of an identifier the suite's table lacks.
TEST_F(FrameWindow, EverySharedActionHasItsName)
{
    auto frame = framed(false);
    VOKR_TX_MANAGER* m = frame->get_tx_manager();
    m->set_advanced_trigger(0, KSM_LTYPE_ADVANCED);
    emit m->updated(nullptr, VOKR_HINT_REFRESH_TABS);
    QCoreApplication::processEvents();
    for (QMenu* menu : frame->findChildren<QMenu*>())
        emit menu->aboutToShow();
    QStringList placeholders;
    for (QAction* action : m->findChildren<QAction*>())
        if (action->text().startsWith("Action "))
            placeholders << action->text();
    EXPECT_EQ(placeholders.join(", ").toStdString(), "");
}
