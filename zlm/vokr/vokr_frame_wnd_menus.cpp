// The frame's additions to the suite's menus, its option pages, the trimming of the suite's
// menus and toolbars when the editor is the main window, and the "Default" toolbar.
#include "vokr_frame_wnd.h"

#include "ksm.h"
#include "vokr_assert.h"
#include "vokr_tx_manager.h"

#include <QActionGroup>
#include <QMenuBar>
#include <QToolBar>

namespace {

// Entries of a menu addition: an action, a separator or one of the frame's own submenus.
constexpr int SEPARATOR = -1;
constexpr int PLUGIN_MENU = -2;
constexpr int BIT_ORDER_MENU = -3;
constexpr int DISPLAY_FORMAT_MENU = -4;
constexpr int LOCK_MODE_MENU = -5;

// What the editor appends to the Edit menu, in order.
// clang-format off
constexpr int EDIT_ADDITIONS[] = {
    PIRQ_ACTION_FIND_BUS_VALUE, PIRQ_ACTION_FIND_NEXT_BUS_VALUE, PIRQ_ACTION_FIND_PREVIOUS_BUS_VALUE, SEPARATOR,
    PLUGIN_MENU, SEPARATOR,
    PIRQ_ACTION_INSERT_NODES, PIRQ_ACTION_PLUGIN_OPTIONS, SEPARATOR,
    PIRQ_ACTION_INSERT_STATE_MACHINE_NODES, PIRQ_ACTION_RECREATE_STATE_MACHINE_MNEMONICS, SEPARATOR,
    PIRQ_ACTION_ADD_INSTANCE, PIRQ_ACTION_DELETE_INSTANCE, PIRQ_ACTION_RENAME_INSTANCE, SEPARATOR,
    PIRQ_ACTION_ENABLE_POWER_UP_TRIGGER, PIRQ_ACTION_DISABLE_POWER_UP_TRIGGER, PIRQ_ACTION_DUPLICATE_TRIGGER, SEPARATOR,
    PIRQ_ACTION_SET_ALIAS, PIRQ_ACTION_PASTE_ALIAS, PIRQ_ACTION_REMOVE_ALIAS, SEPARATOR,
    PIRQ_ACTION_GROUP, PIRQ_ACTION_UNGROUP, PIRQ_ACTION_RENAME, SEPARATOR,
    PIRQ_ACTION_ENABLE_DATA, PIRQ_ACTION_DISABLE_DATA, SEPARATOR,
    PIRQ_ACTION_ENABLE_TRIGGER_ENABLE, PIRQ_ACTION_DISABLE_TRIGGER_ENABLE, SEPARATOR,
    PIRQ_ACTION_ENABLE_STORAGE_QUALIFIER, PIRQ_ACTION_DISABLE_STORAGE_QUALIFIER, SEPARATOR,
    PIRQ_ACTION_ENABLE_TRANSITIONAL, PIRQ_ACTION_DISABLE_TRANSITIONAL, SEPARATOR,
    BIT_ORDER_MENU, SEPARATOR,
    DISPLAY_FORMAT_MENU, SEPARATOR,
    PIRQ_ACTION_MNEMONIC_TABLE_SETUP, PIRQ_ACTION_SAVE_TO_LOG, PIRQ_ACTION_LOGGING, SEPARATOR,
    LOCK_MODE_MENU,
};
// clang-format on

// The suite's Edit entries that every widget of the editor reaches through the manager.
const std::pair<const char*, PIRQ_ACTION_ENUM> SUITE_EDIT_ENTRIES[] = {
    {"PIRQ_UNDO_ACTION", PIRQ_ACTION_UNDO},
    {"PIRQ_REDO_ACTION", PIRQ_ACTION_REDO},
    {"PIRQ_COPY_ACTION", PIRQ_ACTION_COPY},
    {"PIRQ_CUT_ACTION", PIRQ_ACTION_CUT},
    {"PIRQ_PASTE_ACTION", PIRQ_ACTION_PASTE},
    {"PIRQ_DELETE_ACTION", PIRQ_ACTION_DELETE},
    {"PIRQ_SELECT_ALL_ACTION", PIRQ_ACTION_SELECT_ALL},
    {"PIRQ_FIND_ACTION", PIRQ_ACTION_FIND},
    {"PIRQ_FIND_NEXT_ACTION", PIRQ_ACTION_FIND_NEXT},
    {"PIRQ_PROPERTIES_ACTION", PIRQ_ACTION_PROPERTIES},
    {"PIRQ_DUPLICATE_ACTION", PIRQ_ACTION_DUPLICATE},
};

// One bus display format: its action, the display type it sets, and whether it belongs to
// the floating-point submenu; zero ids are separators.
struct DISPLAY_FORMAT {
    int id;
    KSM_DATA_GROUP_DISPLAY_TYPE type;
    bool floating_point;
};
const DISPLAY_FORMAT DISPLAY_FORMATS[] = {
    {PIRQ_ACTION_DISPLAY_HEX, KSM_GTYPE_HEX, false},
    {PIRQ_ACTION_DISPLAY_UNSIGNED, KSM_GTYPE_UNSIGNED, false},
    {PIRQ_ACTION_DISPLAY_SIGNED_2S, KSM_GTYPE_SIGNED_2S, false},
    {PIRQ_ACTION_DISPLAY_SIGNED_MAGNITUDE, KSM_GTYPE_SIGNED_MAGNITUDE, false},
    {PIRQ_ACTION_DISPLAY_FLOAT, KSM_GTYPE_FLOAT, true},
    {PIRQ_ACTION_DISPLAY_DOUBLE, KSM_GTYPE_DOUBLE, true},
    {PIRQ_ACTION_DISPLAY_OCTAL, KSM_GTYPE_OCTAL, false},
    {PIRQ_ACTION_DISPLAY_BINARY, KSM_GTYPE_BINARY, false},
    {PIRQ_ACTION_DISPLAY_ASCII, KSM_GTYPE_ASCII, false},
    {0, KSM_GTYPE_INVALID, false},
    {PIRQ_ACTION_DISPLAY_UNSIGNED_BAR, KSM_GTYPE_UNSIGNED_BAR, false},
    {PIRQ_ACTION_DISPLAY_UNSIGNED_LINE, KSM_GTYPE_UNSIGNED_LINE, false},
    {0, KSM_GTYPE_INVALID, false},
    {PIRQ_ACTION_DISPLAY_SIGNED_BAR, KSM_GTYPE_SIGNED_BAR, false},
    {PIRQ_ACTION_DISPLAY_SIGNED_LINE, KSM_GTYPE_SIGNED_LINE, false},
};

// Option pages: the editor's page with its sub-pages, the colour and font pages among them.
constexpr quint32 EDITOR_PAGE = 52;
constexpr quint32 GENERAL_PAGE = 53;
constexpr quint32 COLOR_PAGE = 54;
constexpr quint32 FONT_PAGE = 55;
constexpr quint32 PRINT_PAGE = 56;

QAction* entry_after(QMenu* menu, QAction* entry)
{
    const QList<QAction*> entries = menu->actions();
    const int index = entries.indexOf(entry);
    return index >= 0 && index + 1 < entries.size() ? entries[index + 1] : nullptr;
}

}  // namespace

// ---- File, Edit, View, Project and Processing ---------------------------------------------------------------

void VOKR_FRAME_WND::add_to_file_menu()
{
    WEX_QMENU* menu = get_menu(WEX_FILE_MENU);
    if (!menu)
        return;
    QAction* save = get_standard_action("PIRQ_SAVE_ACTION");
    QAction* save_as = get_standard_action("PIRQ_SAVE_AS_ACTION");
    QAction* page_setup = get_standard_action("PIRQ_PAGE_SETUP_ACTION");
    for (const char* name : {"PIRQ_NEW_ACTION", "PIRQ_SAVE_ACTION", "PIRQ_SAVE_AS_ACTION", "PIRQ_PAGE_SETUP_ACTION",
                             "PIRQ_PRINT_PREVIEW_ACTION", "PIRQ_PRINT_ACTION"}) {
        get_standard_action(name)->setVisible(true);
        get_standard_action(name)->setEnabled(true);
    }
    if (!m_main_window) {
        menu->insertSeparator(save);
        menu->insertSeparator(page_setup);
    }
    QAction* before = entry_after(menu, save_as);
    menu->insertSeparator(before);
    menu->insertAction(before, action(PIRQ_ACTION_CREATE_LIST_FILE));
    menu->insertAction(before, action(PIRQ_ACTION_EXPORT));
    pirq_safe_connect(action(PIRQ_ACTION_EXPORT), &QAction::triggered, this, &VOKR_FRAME_WND::export_action);
    pirq_safe_connect(action(PIRQ_ACTION_CREATE_LIST_FILE), &QAction::triggered, this,
                      &VOKR_FRAME_WND::create_list_file);
}

void VOKR_FRAME_WND::add_to_edit_menu()
{
    WEX_QMENU* menu = get_menu(WEX_EDIT_MENU);
    for (const auto& [name, id] : SUITE_EDIT_ENTRIES)
        m_tx_manager->insert_action(id, get_standard_action(name));
    menu->menuAction()->setVisible(true);
    if (!m_main_window)
        menu->show_all_actions();
    for (PIRQ_ACTION_ENUM hidden : {PIRQ_ACTION_DUPLICATE, PIRQ_ACTION_PROPERTIES}) {
        action(hidden)->setVisible(false);
        action(hidden)->setEnabled(false);
    }
    for (int entry : EDIT_ADDITIONS) {
        if (entry == SEPARATOR)
            menu->addSeparator();
        else if (entry == PLUGIN_MENU)
            menu->addMenu(get_plugin_menu());
        else if (entry == BIT_ORDER_MENU)
            menu->addMenu(make_exclusive_menu("Bus &Bit Order", {PIRQ_ACTION_MSB_ON_TOP, PIRQ_ACTION_LSB_ON_TOP}));
        else if (entry == DISPLAY_FORMAT_MENU)
            menu->addMenu(get_bus_display_format_menu());
        else if (entry == LOCK_MODE_MENU)
            menu->addMenu(make_exclusive_menu(
                "Loc&k Mode",
                {PIRQ_ACTION_LOCK_MODE_ALL, PIRQ_ACTION_LOCK_MODE_INCREMENTAL, PIRQ_ACTION_LOCK_MODE_TRIGGER}));
        else
            menu->addAction(action(static_cast<PIRQ_ACTION_ENUM>(entry)));
    }
}

// A submenu whose actions exclude each other.
QMenu* VOKR_FRAME_WND::make_exclusive_menu(const QString& title, std::initializer_list<PIRQ_ACTION_ENUM> ids)
{
    auto* menu = new QMenu(title, this);
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    for (PIRQ_ACTION_ENUM id : ids) {
        action(id)->setCheckable(true);
        group->addAction(action(id));
        menu->addAction(action(id));
    }
    return menu;
}

void VOKR_FRAME_WND::add_to_view_project_processing_menus()
{
    WEX_QMENU* view = get_menu(WEX_VIEW_MENU);
    view->menuAction()->setVisible(true);
    for (PIRQ_ACTION_ENUM id :
         {PIRQ_ACTION_FIT_IN_WINDOW, PIRQ_ACTION_ZOOM_IN, PIRQ_ACTION_ZOOM_OUT, PIRQ_ACTION_CENTER_ON_TRIGGER})
        view->addAction(action(id));
    view->addSeparator();

    get_menu(WEX_PROJECT_MENU)->menuAction()->setVisible(true);
    get_standard_action("PIRQ_ADD_REMOVE_FILES_ACTION")->setVisible(true);

    WEX_QMENU* processing = get_menu(WEX_PROCESSING_MENU);
    processing->menuAction()->setVisible(true);
    processing->addSeparator();
    for (PIRQ_ACTION_ENUM id : {PIRQ_ACTION_RUN, PIRQ_ACTION_AUTORUN, PIRQ_ACTION_STOP, PIRQ_ACTION_READ_DATA})
        processing->addAction(action(id));
    processing->addSeparator();
    processing->addAction(action(PIRQ_ACTION_TOOLBAR_COMPILE));
    processing->addAction(action(PIRQ_ACTION_TOOLBAR_RECOMPILE));
}

// ---- menus built on first use -------------------------------------------------------------------------------

QMenu* VOKR_FRAME_WND::get_bus_display_format_menu()
{
    if (m_bus_display_format_menu)
        return m_bus_display_format_menu;
    m_bus_display_format_menu = new QMenu("Bus Displa&y Format", this);
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    QMenu* floating_point = nullptr;
    for (const DISPLAY_FORMAT& format : DISPLAY_FORMATS) {
        if (format.id == 0) {
            QAction* separator = new QAction(group);
            separator->setSeparator(true);
            group->addAction(separator);
            m_bus_display_format_menu->addAction(separator);
            continue;
        }
        QAction* entry = m_tx_manager->get_action(static_cast<PIRQ_ACTION_ENUM>(format.id), format.type);
        group->addAction(entry);
        if (!format.floating_point) {
            m_bus_display_format_menu->addAction(entry);
            continue;
        }
        if (!floating_point)
            floating_point = m_bus_display_format_menu->addMenu("&Floating-point");
        floating_point->addAction(entry);
    }
    return m_bus_display_format_menu;
}

QMenu* VOKR_FRAME_WND::get_plugin_menu()
{
    if (m_plugin_menu)
        return m_plugin_menu;
    m_plugin_menu = new QMenu("Add Nodes with Plug-In", this);
    auto* group = new QActionGroup(this);
    m_plugin_menu->setProperty("action group", QVariant::fromValue(static_cast<QObject*>(group)));
    return m_plugin_menu;
}

QMenu* VOKR_FRAME_WND::get_locate_menu()
{
    if (!m_locate_menu)
        m_locate_menu = new PIRQ_LOCATE_MENU(this);
    return m_locate_menu;
}

// ---- option pages -------------------------------------------------------------------------------------------

const SAWQ_DISPLAY_ITEM_LIST* VOKR_FRAME_WND::get_color_items()
{
    static const SAWQ_DISPLAY_ITEM_LIST items = {
        {"Selection highlight", 297},
        {"Background", 298},
        {"Time bars", 299},
        {"Trigger position bar", 300},
        {"End of samples bar", 301},
        {"Column header text", 302},
        {"Waveform grid lines", 303},
        {"Data/Setup Window titles", 304},
        {"Pre-synthesis node names", 305},
        {"Post-fitting node names", 306},
        {"Duplicated Nodes", 315},
        {"Group names", 307},
        {"Trigger mnemonics", 308},
        {"Data mnemonics", 309},
        {"Sample numbers", 310},
        {"Segment numbers", 311},
        {"High values", 312},
        {"Low values", 313},
        {"Bus values", 314},
    };
    return &items;
}

const SAWQ_DISPLAY_ITEM_LIST* VOKR_FRAME_WND::get_font_items()
{
    static const SAWQ_DISPLAY_ITEM_LIST items = {
        {"Data/Setup Window titles", 54},
        {"Column headers", 55},
        {"Pre-synthesis node names", 56},
        {"Post-fitting node names", 57},
        {"Duplicated Nodes", 66},
        {"Group names", 58},
        {"Trigger mnemonics", 59},
        {"Data mnemonics", 60},
        {"Master time bar sample number", 61},
        {"Sample numbers", 62},
        {"Master time bar segment numbers", 63},
        {"Segment numbers", 64},
        {"Bus values", 65},
    };
    return &items;
}

void VOKR_FRAME_WND::add_option_pages()
{
    auto* page = new PIRQ_PAGE_INFO(EDITOR_PAGE);
    page->add_child(new PIRQ_PAGE_INFO(GENERAL_PAGE));
    page->add_child(new SAWQ_COLOR_INFO(COLOR_PAGE, get_color_items()));
    page->add_child(new SAWQ_FONT_INFO(FONT_PAGE, get_font_items()));
    page->add_child(new PIRQ_PAGE_INFO(PRINT_PAGE));
    add_option_page(page);
    set_current_option_page(EDITOR_PAGE);
}

// ---- the main window ----------------------------------------------------------------------------------------

// The editor alone in the suite's main window keeps only the suite entries that make sense
// for one session file. Every element named here is part of the shell's contract.
void VOKR_FRAME_WND::trim_main_window()
{
    QMenuBar* menu = menuBar();
    VOKR_ASSERT_TEXT(menu != nullptr, "menu != NULL");
    on_message_window_action();
    trim_main_window_menus();
    trim_main_window_toolbars();
}

void VOKR_FRAME_WND::trim_main_window_menus()
{
    WEX_QMENU* file_menu = get_menu(WEX_FILE_MENU);
    VOKR_ASSERT_TEXT(file_menu != nullptr, "file_menu != NULL");
    get_standard_action("PIRQ_SAVE_ACTION")->setEnabled(true);
    for (const char* name : {"PIRQ_NEW_ACTION", "PIRQ_SAVE_ALL_ACTION", "PIRQ_FILE_PROPERTIES_ACTION",
                             "PIRQ_NEW_PROJECT_WIZARD_ACTION", "PIRQ_OPEN_PROJECT_ACTION", "PIRQ_SAVE_PROJECT_ACTION",
                             "PIRQ_CLOSE_PROJECT_ACTION", "PIRQ_CONVERT_PROGRAMMING_FILES_ACTION"})
        delete get_standard_action(name);
    QMenu* create_update_menu = findChild<QMenu*>("PIRQ_CREATE_UPDATE_MENU");
    VOKR_ASSERT_TEXT(create_update_menu != nullptr, "create_update_menu != NULL");
    delete create_update_menu;
    QMenu* recent_project_menu = findChild<QMenu*>("PIRQ_RECENT_PROJECT_MENU");
    VOKR_ASSERT_TEXT(recent_project_menu != nullptr, "recent_project_menu != NULL");
    delete recent_project_menu;

    WEX_QMENU* view_menu = get_menu(WEX_VIEW_MENU);
    VOKR_ASSERT_TEXT(view_menu != nullptr, "view_menu != NULL");
    for (QAction* entry : view_menu->actions())
        if (entry->menu())
            view_menu->removeAction(entry);
    QAction* message_window_action = get_standard_action("PIRQ_MESSAGE_WINDOW_ACTION");
    VOKR_ASSERT_TEXT(message_window_action != nullptr, "message_window_action");
    view_menu->insertAction(action(PIRQ_ACTION_FIT_IN_WINDOW), message_window_action);
    view_menu->insertSeparator(action(PIRQ_ACTION_FIT_IN_WINDOW));

    VOKR_ASSERT_TEXT(get_menu(WEX_PROJECT_MENU) != nullptr, "project_menu != NULL");
    remove_menu(WEX_PROJECT_MENU);
    VOKR_ASSERT_TEXT(get_menu(WEX_ASSIGNMENTS_MENU) != nullptr, "assignment_menu != NULL");
    remove_menu(WEX_ASSIGNMENTS_MENU);

    WEX_QMENU* processing_menu = get_menu(WEX_PROCESSING_MENU);
    VOKR_ASSERT_TEXT(processing_menu != nullptr, "processing_menu != NULL");
    QAction* analysis_run_action = action(PIRQ_ACTION_RUN);
    VOKR_ASSERT_TEXT(processing_menu->actions().contains(analysis_run_action), "analysis_run_action != NULL");
    for (QAction* entry : processing_menu->actions())
        if (entry != analysis_run_action)
            processing_menu->removeAction(entry);

    WEX_QMENU* tools_menu = get_menu(WEX_TOOLS_MENU);
    VOKR_ASSERT_TEXT(tools_menu != nullptr, "tools_menu != NULL");
    for (QAction* entry : tools_menu->actions())
        if (entry->objectName() != "PIRQ_OPTIONS_ACTION" && entry->objectName() != "PIRQ_CUSTOMIZE_ACTION")
            tools_menu->removeAction(entry);

    VOKR_ASSERT_TEXT(get_menu(WEX_WINDOW_MENU) != nullptr, "window_menu != NULL");
    remove_menu(WEX_WINDOW_MENU);

    WEX_QMENU* help_menu = get_menu(WEX_HELP_MENU);
    VOKR_ASSERT_TEXT(help_menu != nullptr, "help_menu != NULL");
    delete get_standard_action("PIRQ_TIPS_ACTION");
}

void VOKR_FRAME_WND::trim_main_window_toolbars()
{
    update_toolbar("File", get_predefined_toolbar_buttons("File"));
    VOKR_ASSERT_TEXT(get_toolbar("File") != nullptr, "file_toolbar != NULL");
    delete_toolbar("File");
    VOKR_ASSERT_TEXT(get_toolbar("Standard") != nullptr, "standard_toolbar != NULL");
    delete_toolbar("Standard");
    clear_standard_toolbar_names();
    update_toolbar("Utility Windows", get_predefined_toolbar_buttons("Utility Windows"));
    VOKR_ASSERT_TEXT(get_toolbar("Applications") != nullptr, "application_toolbar != NULL");
    delete_toolbar("Applications");
    VOKR_ASSERT_TEXT(get_toolbar("Processing") != nullptr, "processing_toolbar != NULL");
    delete_toolbar("Processing");
}

// ---- the "Default" toolbar ----------------------------------------------------------------------------------

void VOKR_FRAME_WND::create_toolbar()
{
    // The frame owns these four, so their shortcuts work anywhere in the window.
    for (PIRQ_ACTION_ENUM id : {PIRQ_ACTION_TOOLBAR_FIND, PIRQ_ACTION_TOOLBAR_CENTER_ON_TRIGGER,
                                PIRQ_ACTION_TOOLBAR_RECOMPILE, PIRQ_ACTION_TOOLBAR_COMPILE}) {
        action(id)->setParent(this);
        addAction(action(id));
    }
    m_toolbar = WEX_FRAME_WND::create_toolbar("Default", get_predefined_toolbar_buttons("Default"));
    addToolBar(Qt::TopToolBarArea, m_toolbar);
    update_toolbar("Default", get_predefined_toolbar_buttons("Default"));
    // The toolbar's Find is no entry the focused pane takes over: it searches where the focus is.
    pirq_safe_connect(action(PIRQ_ACTION_TOOLBAR_FIND), &QAction::triggered, this,
                      [this] { invoke(editor_has_focus() ? editor() : view(), "on_edit_find"); });
    pirq_safe_connect(action(PIRQ_ACTION_TOOLBAR_CENTER_ON_TRIGGER), &QAction::triggered, this,
                      &VOKR_FRAME_WND::on_center_on_trigger);
    pirq_safe_connect(action(PIRQ_ACTION_TOOLBAR_RECOMPILE), &QAction::triggered, this, &VOKR_FRAME_WND::on_recompile);
    pirq_safe_connect(action(PIRQ_ACTION_TOOLBAR_COMPILE), &QAction::triggered, this, &VOKR_FRAME_WND::on_compile);
    if (m_start_recompile_action)
        pirq_safe_connect(m_start_recompile_action, &QAction::changed, this, &VOKR_FRAME_WND::on_qf_changed);
    action(PIRQ_ACTION_TOOLBAR_FIND)->setEnabled(false);
    action(PIRQ_ACTION_TOOLBAR_CENTER_ON_TRIGGER)->setEnabled(true);
    action(PIRQ_ACTION_TOOLBAR_COMPILE)->setEnabled(!m_main_window);
}

QStringList VOKR_FRAME_WND::get_predefined_toolbar_buttons(const QString& name) const
{
    if (name == "File")
        return {"PIRQ_OPEN_ACTION",   "PIRQ_SAVE_ACTION", WEX_SEPARATOR_ACTION, "PIRQ_PRINT_ACTION",
                WEX_SEPARATOR_ACTION, "PIRQ_UNDO_ACTION", "PIRQ_REDO_ACTION"};
    if (name == "Applications")
        return {"PIRQ_KORVANE_HELP_ACTION"};
    if (name == "Utility Windows")
        return {"PIRQ_FENQ_ACTION"};
    if (name != "Default")
        return WEX_FRAME_WND::get_predefined_toolbar_buttons(name);
    QStringList buttons;
    if (m_main_window)
        buttons << "PIRQ_OPEN_ACTION";
    else
        buttons << "PIRQ_ATTACH_ACTION"
                << "PIRQ_DETACH_ACTION" << WEX_SEPARATOR_ACTION;
    return buttons << "PIRQ_SAVE_ACTION" << WEX_SEPARATOR_ACTION << "PIRQ_UNDO_ACTION"
                   << "PIRQ_REDO_ACTION" << WEX_SEPARATOR_ACTION
                   << pirq_get_action_name(PIRQ_ACTION_TOOLBAR_CENTER_ON_TRIGGER)
                   << pirq_get_action_name(PIRQ_ACTION_TOOLBAR_FIND) << WEX_SEPARATOR_ACTION
                   << pirq_get_action_name(PIRQ_ACTION_TOOLBAR_COMPILE)
                   << pirq_get_action_name(PIRQ_ACTION_TOOLBAR_RECOMPILE) << WEX_SEPARATOR_ACTION
                   << "PIRQ_KORVANE_HELP_ACTION";
}

QMap<QString, QStringList> VOKR_FRAME_WND::get_toolbar_categories() const
{
    const QMap<QString, QStringList> base = WEX_FRAME_WND::get_toolbar_categories();
    QMap<QString, QStringList> categories;
    categories["File"] = QStringList(m_main_window ? "PIRQ_OPEN_ACTION" : "PIRQ_NEW_ACTION") + base.value("File_short");
    if (m_main_window)
        categories["Utility Windows"] = QStringList{"PIRQ_FENQ_ACTION"};
    else if (main_wnd_has_mdi_area())
        categories["Attached/Detached"] = base.value("Attached/Detached");
    categories["Edit"] = QStringList{"PIRQ_UNDO_ACTION", "PIRQ_REDO_ACTION", "PIRQ_DELETE_ACTION", "PIRQ_FIND_ACTION",
                                     "PIRQ_FIND_NEXT_ACTION"};
    QStringList defaults{"PIRQ_ATTACH_ACTION", "PIRQ_DETACH_ACTION"};
    if (m_main_window)
        defaults << "PIRQ_OPEN_ACTION";
    defaults << "PIRQ_SAVE_ACTION"
             << "PIRQ_UNDO_ACTION"
             << "PIRQ_REDO_ACTION" << pirq_get_action_name(PIRQ_ACTION_TOOLBAR_CENTER_ON_TRIGGER)
             << pirq_get_action_name(PIRQ_ACTION_TOOLBAR_FIND) << pirq_get_action_name(PIRQ_ACTION_TOOLBAR_COMPILE)
             << pirq_get_action_name(PIRQ_ACTION_TOOLBAR_RECOMPILE) << "PIRQ_KORVANE_HELP_ACTION";
    categories["Default"] = defaults;
    return categories;
}
