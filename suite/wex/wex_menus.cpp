// The frame base's menu set, named toolbars, and attaching to and detaching from the suite's
// main window.
#include "wex.h"

#include "pirq.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QToolBar>

void WEX_QMENU::show_all_actions()
{
    for (QAction* action : actions()) {
        action->setVisible(true);
        if (auto* sub = qobject_cast<WEX_QMENU*>(action->menu()))
            sub->show_all_actions();
    }
}

// An entry named by its suite name, which toolbars and lookups use. The main window's entries
// carry the suite's default keys.
QAction* WEX_FRAME_WND::add_entry(QMenu* menu, const char* name, const QString& text, bool visible)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    action->setIcon(pirq_get_action_icon(QString(name)));
    if (is_main_window())
        action->setShortcuts(pirq_get_standard_shortcuts(QString(name)));
    action->setVisible(visible);
    return action;
}

// The menus in their positions. The menus a document kind uses (Edit, View, Project,
// Processing) start hidden and the document's frame shows them; in a window of its own the
// edit entries, the document's file entries and the project entries start hidden too.
void WEX_FRAME_WND::build_menu_set()
{
    static const char* const titles[WEX_MENU_COUNT] = {"&File",       "&Edit",  "&View",   "&Project", "&Assignments",
                                                       "P&rocessing", "&Tools", "&Window", "&Help"};
    for (int i = 0; i < WEX_MENU_COUNT; ++i) {
        m_menus[i] = new WEX_QMENU(titles[i], this);
        menuBar()->addMenu(m_menus[i]);
    }
    for (WEX_MENU_POSITION hidden : {WEX_EDIT_MENU, WEX_VIEW_MENU, WEX_PROJECT_MENU, WEX_PROCESSING_MENU})
        m_menus[hidden]->menuAction()->setVisible(false);
    build_file_menu(m_menus[WEX_FILE_MENU]);
    build_edit_menu(m_menus[WEX_EDIT_MENU]);
    build_view_menu(m_menus[WEX_VIEW_MENU]);
    build_other_menus();
    update_window_actions();
}

void WEX_FRAME_WND::build_file_menu(WEX_QMENU* menu)
{
    connect(add_entry(menu, "PIRQ_NEW_ACTION", "&New..."), &QAction::triggered, this, [this] { new_file(); });
    connect(add_entry(menu, "PIRQ_OPEN_ACTION", "&Open..."), &QAction::triggered, this, [this] { on_open_action(); });
    connect(add_entry(menu, "PIRQ_CLOSE_ACTION", "Clos&e"), &QAction::triggered, this, &QWidget::close);
    menu->addSeparator();
    add_entry(menu, "PIRQ_NEW_PROJECT_WIZARD_ACTION", "New Project &Wizard...");
    add_entry(menu, "PIRQ_OPEN_PROJECT_ACTION", "Open Pro&ject...");
    add_entry(menu, "PIRQ_SAVE_PROJECT_ACTION", "Sa&ve Project");
    add_entry(menu, "PIRQ_CLOSE_PROJECT_ACTION", "Close Projec&t");
    menu->addSeparator();
    connect(add_entry(menu, "PIRQ_SAVE_ACTION", "&Save", false), &QAction::triggered, this,
            [this] { on_save_action(); });
    connect(add_entry(menu, "PIRQ_SAVE_AS_ACTION", "Save &As...", false), &QAction::triggered, this,
            [this] { save_as(QString()); });
    add_entry(menu, "PIRQ_SAVE_ALL_ACTION", "Save A&ll");
    menu->addSeparator();
    add_entry(menu, "PIRQ_FILE_PROPERTIES_ACTION", "File P&roperties...");
    menu->addSeparator();
    auto* create_update = new WEX_QMENU("Create / &Update", this);
    create_update->setObjectName("PIRQ_CREATE_UPDATE_MENU");
    add_entry(create_update, "PIRQ_CREATE_SYMBOL_FILE_ACTION", "Create &Symbol Files for Current File");
    menu->addMenu(create_update);
    add_entry(menu, "PIRQ_CONVERT_PROGRAMMING_FILES_ACTION", "Con&vert Programming Files...");
    menu->addSeparator();
    add_entry(menu, "PIRQ_PAGE_SETUP_ACTION", "Page Set&up...", false);
    add_entry(menu, "PIRQ_PRINT_PREVIEW_ACTION", "Print Pre&view", false);
    connect(add_entry(menu, "PIRQ_PRINT_ACTION", "&Print...", false), &QAction::triggered, this,
            [this] { on_print_file(); });
    menu->addSeparator();
    auto* recent = new WEX_QMENU("Recent &Projects", this);
    recent->setObjectName("PIRQ_RECENT_PROJECT_MENU");
    menu->addMenu(recent);
    connect(add_entry(menu, "PIRQ_EXIT_ACTION", "E&xit"), &QAction::triggered, this, &QWidget::close);
}

void WEX_FRAME_WND::build_edit_menu(WEX_QMENU* menu)
{
    const bool shown = is_main_window();
    struct ENTRY {
        const char* name;
        const char* text;
        void (WEX_FRAME_WND::*command)();
    };
    static const ENTRY entries[] = {
        {"PIRQ_UNDO_ACTION", "&Undo", &WEX_FRAME_WND::on_undo_action},
        {"PIRQ_REDO_ACTION", "&Redo", &WEX_FRAME_WND::on_redo_action},
        {nullptr, nullptr, nullptr},
        {"PIRQ_CUT_ACTION", "Cu&t", &WEX_FRAME_WND::on_cut_action},
        {"PIRQ_COPY_ACTION", "&Copy", &WEX_FRAME_WND::on_copy_action},
        {"PIRQ_PASTE_ACTION", "&Paste", &WEX_FRAME_WND::on_paste_action},
        {"PIRQ_DELETE_ACTION", "&Delete", &WEX_FRAME_WND::on_delete_action},
        {nullptr, nullptr, nullptr},
        {"PIRQ_SELECT_ALL_ACTION", "Select &All", &WEX_FRAME_WND::on_select_all_action},
        {nullptr, nullptr, nullptr},
        {"PIRQ_FIND_ACTION", "&Find...", &WEX_FRAME_WND::on_find_action},
        {"PIRQ_FIND_NEXT_ACTION", "Find &Next", &WEX_FRAME_WND::on_find_next_action},
        {"PIRQ_PROPERTIES_ACTION", "Pr&operties", nullptr},
        {"PIRQ_DUPLICATE_ACTION", "Dup&licate", nullptr},
    };
    for (const ENTRY& entry : entries) {
        if (!entry.name) {
            menu->addSeparator();
            continue;
        }
        QAction* action = add_entry(menu, entry.name, entry.text, shown);
        if (entry.command)
            connect(action, &QAction::triggered, this, [this, command = entry.command] { (this->*command)(); });
    }
}

void WEX_FRAME_WND::build_view_menu(WEX_QMENU* menu)
{
    auto* utility = new WEX_QMENU("Utility &Windows", this);
    add_entry(utility, "PIRQ_FENQ_ACTION", "Project &Navigator");
    QAction* messages = add_entry(utility, "PIRQ_MESSAGE_WINDOW_ACTION", "&Messages");
    messages->setParent(this);  // outlives the submenu when a frame takes the submenu away
    messages->setCheckable(true);
    connect(messages, &QAction::triggered, this, [this] { on_message_window_action(); });
    menu->addMenu(utility);
    auto* toolbars = new WEX_QMENU("&Toolbars", this);
    add_entry(toolbars, "PIRQ_CUSTOMIZE_TOOLBARS_ACTION", "&Customize...");
    menu->addMenu(toolbars);
    add_entry(menu, "PIRQ_FULL_SCREEN_ACTION", "F&ull Screen");
}

void WEX_FRAME_WND::build_other_menus()
{
    WEX_QMENU* project = m_menus[WEX_PROJECT_MENU];
    add_entry(project, "PIRQ_ADD_REMOVE_FILES_ACTION", "&Add/Remove Files in Project...", false);
    add_entry(project, "PIRQ_REVISIONS_ACTION", "&Revisions...", false);
    add_entry(project, "PIRQ_GENERATE_TCL_ACTION", "&Generate Tcl File for Project...", false);

    WEX_QMENU* assignments = m_menus[WEX_ASSIGNMENTS_MENU];
    add_entry(assignments, "PIRQ_DEVICE_ACTION", "&Device...");
    add_entry(assignments, "PIRQ_PIN_PLANNER_ACTION", "&Pin Planner");
    add_entry(assignments, "PIRQ_SETTINGS_ACTION", "&Settings...");

    WEX_QMENU* processing = m_menus[WEX_PROCESSING_MENU];
    QAction* compile = add_entry(processing, "PIRQ_START_COMPILE_ACTION", "&Start Compilation");
    QAction* recompile = add_entry(processing, "PIRQ_START_RECOMPILE_ACTION", "Start &Recompilation");
    add_entry(processing, "PIRQ_STOP_PROCESSING_ACTION", "S&top Processing")->setEnabled(false);
    add_entry(processing, "PIRQ_COMPILATION_REPORT_ACTION", "Compilation &Report");
    connect(compile, &QAction::triggered, this,
            [this] { start_flow(FSTR_FLOW_FULL_COMPILATION, "", true, false, true); });
    connect(recompile, &QAction::triggered, this,
            [this] { start_flow(FSTR_FLOW_FAST_RECOMPILATION, "", true, false, true); });
    connect(processing, &QMenu::aboutToShow, this, [this, compile, recompile] {
        compile->setEnabled(can_start_flow());
        recompile->setEnabled(can_start_flow());
    });

    WEX_QMENU* tools = m_menus[WEX_TOOLS_MENU];
    add_entry(tools, "PIRQ_SIMULATION_TOOL_ACTION", "Run &Simulation Tool");
    add_entry(tools, "PIRQ_PROGRAMMER_ACTION", "&Programmer");
    add_entry(tools, "PIRQ_TCL_SCRIPTS_ACTION", "Tc&l Scripts...");
    tools->addSeparator();
    add_entry(tools, "PIRQ_CUSTOMIZE_ACTION", "&Customize...");
    add_entry(tools, "PIRQ_OPTIONS_ACTION", "&Options...");

    WEX_QMENU* window = m_menus[WEX_WINDOW_MENU];
    connect(add_entry(window, "PIRQ_DETACH_ACTION", "&Detach Window"), &QAction::triggered, this,
            [this] { detach_window(); });
    connect(add_entry(window, "PIRQ_ATTACH_ACTION", "&Attach Window"), &QAction::triggered, this,
            [this] { attach_window(); });
    window->addSeparator();
    add_entry(window, "PIRQ_CASCADE_ACTION", "&Cascade");
    add_entry(window, "PIRQ_TILE_ACTION", "&Tile");

    WEX_QMENU* help = m_menus[WEX_HELP_MENU];
    add_entry(help, "PIRQ_KORVANE_HELP_ACTION", "&Help Topics");
    add_entry(help, "PIRQ_TIPS_ACTION", "&Tips and Tricks");
    help->addSeparator();
    add_entry(help, "PIRQ_ABOUT_ACTION", "&About Korvane");
}

void WEX_FRAME_WND::remove_menu(WEX_MENU_POSITION position)
{
    if (WEX_QMENU* menu = m_menus[position]) {
        menuBar()->removeAction(menu->menuAction());
        m_menus[position] = nullptr;
        delete menu;
    }
}

// Standard entries are found by their suite name among the frame's own objects.
QAction* WEX_FRAME_WND::find_named_action(const QString& name) const { return findChild<QAction*>(name); }

QAction* WEX_FRAME_WND::get_standard_action(const QString& name) const { return find_named_action(name); }

QAction* WEX_FRAME_WND::get_start_recompile_action() const
{
    WEX_QMENU* processing = m_menus[WEX_PROCESSING_MENU];
    return processing ? processing->findChild<QAction*>("PIRQ_START_RECOMPILE_ACTION") : nullptr;
}

void WEX_FRAME_WND::on_message_window_action()
{
    m_message_window_visible = !m_message_window_visible;
    if (QAction* action = find_named_action("PIRQ_MESSAGE_WINDOW_ACTION"))
        action->setChecked(m_message_window_visible);
}

// ---- toolbars -----------------------------------------------------------------------------------------------

void WEX_FRAME_WND::build_standard_toolbars()
{
    m_standard_toolbar_names = QStringList{"File", "Standard", "Applications", "Processing", "Utility Windows"};
    for (const QString& name : m_standard_toolbar_names)
        addToolBar(Qt::TopToolBarArea, create_toolbar(name, WEX_FRAME_WND::get_predefined_toolbar_buttons(name)));
}

QToolBar* WEX_FRAME_WND::create_toolbar(const QString& name, const QStringList& buttons)
{
    auto* toolbar = new QToolBar(name, this);
    toolbar->setObjectName(name);
    for (const QString& button : buttons) {
        if (button == WEX_SEPARATOR_ACTION)
            toolbar->addSeparator();
        else if (QAction* action = find_named_action(button))
            toolbar->addAction(action);
    }
    return toolbar;
}

bool WEX_FRAME_WND::update_toolbar(const QString& name, const QStringList& buttons)
{
    QToolBar* toolbar = get_toolbar(name);
    if (!toolbar)
        return false;
    toolbar->clear();
    for (const QString& button : buttons) {
        if (button == WEX_SEPARATOR_ACTION)
            toolbar->addSeparator();
        else if (QAction* action = find_named_action(button))
            toolbar->addAction(action);
    }
    return true;
}

QToolBar* WEX_FRAME_WND::get_toolbar(const QString& name) const
{
    return findChild<QToolBar*>(name, Qt::FindDirectChildrenOnly);
}

void WEX_FRAME_WND::delete_toolbar(const QString& name)
{
    if (QToolBar* toolbar = get_toolbar(name)) {
        removeToolBar(toolbar);
        delete toolbar;
    }
}

QStringList WEX_FRAME_WND::get_predefined_toolbar_buttons(const QString& name) const
{
    static const QMap<QString, QStringList> buttons = {
        {"File",
         {"PIRQ_NEW_ACTION", "PIRQ_OPEN_ACTION", "PIRQ_SAVE_ACTION", WEX_SEPARATOR_ACTION, "PIRQ_PRINT_ACTION"}},
        {"Standard",
         {"PIRQ_CUT_ACTION", "PIRQ_COPY_ACTION", "PIRQ_PASTE_ACTION", WEX_SEPARATOR_ACTION, "PIRQ_UNDO_ACTION",
          "PIRQ_REDO_ACTION"}},
        {"Applications", {"PIRQ_PROGRAMMER_ACTION", "PIRQ_KORVANE_HELP_ACTION"}},
        {"Processing", {"PIRQ_START_COMPILE_ACTION", "PIRQ_START_RECOMPILE_ACTION", "PIRQ_STOP_PROCESSING_ACTION"}},
        {"Utility Windows", {"PIRQ_FENQ_ACTION", "PIRQ_MESSAGE_WINDOW_ACTION"}},
    };
    return buttons.value(name);
}

QMap<QString, QStringList> WEX_FRAME_WND::get_toolbar_categories() const
{
    return {
        {"File_short", {"PIRQ_SAVE_ACTION", "PIRQ_SAVE_AS_ACTION", "PIRQ_PRINT_ACTION"}},
        {"Attached/Detached", {"PIRQ_ATTACH_ACTION", "PIRQ_DETACH_ACTION"}},
    };
}

// ---- attach and detach --------------------------------------------------------------------------------------

bool WEX_FRAME_WND::has_mdi_area() const { return qobject_cast<QMdiArea*>(centralWidget()) != nullptr; }

bool WEX_FRAME_WND::main_wnd_has_mdi_area() const
{
    WEX_FRAME_WND* main = wex_get_suite_main_window(this);
    return main && main->has_mdi_area();
}

bool WEX_FRAME_WND::is_attached() const { return qobject_cast<QMdiSubWindow*>(parentWidget()) != nullptr; }

bool WEX_FRAME_WND::detach_window()
{
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!sub)
        return false;
    sub->setWidget(nullptr);
    setParent(nullptr, Qt::Window);
    sub->deleteLater();
    show();
    update_window_actions();
    return true;
}

bool WEX_FRAME_WND::attach_window()
{
    WEX_FRAME_WND* main = wex_get_suite_main_window(this);
    auto* area = main ? qobject_cast<QMdiArea*>(main->centralWidget()) : nullptr;
    if (!area || is_attached())
        return false;
    area->addSubWindow(this)->show();
    update_window_actions();
    return true;
}

// Detach is offered to an attached frame, attach to one of its own beside a main window that
// takes attached frames; a main window offers neither.
void WEX_FRAME_WND::update_window_actions()
{
    QAction* detach = find_named_action("PIRQ_DETACH_ACTION");
    QAction* attach = find_named_action("PIRQ_ATTACH_ACTION");
    if (detach && attach) {
        detach->setEnabled(!is_main_window() && is_attached());
        attach->setEnabled(!is_main_window() && !is_attached() && main_wnd_has_mdi_area());
    }
}

void WEX_FRAME_WND::on_save_action()
{
    if (m_filepath.isEmpty())
        save_as(QString());
    else
        save_file(m_filepath);
}
