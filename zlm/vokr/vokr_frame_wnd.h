// The editor's frame window for one session document: the document manager, the editor's
// entries in the suite's menus, the colour and font option pages, the "Default" toolbar, the
// central layout, and the file, edit and compile commands with their enable rules.
//
// Construction and menus: vokr_frame_wnd.cpp and vokr_frame_wnd_menus.cpp; commands and
// enablers: vokr_frame_wnd_commands.cpp.
#pragma once

#include "pirq.h"
#include "sawq.h"
#include "wex.h"

#include <string>

class QActionGroup;
class QToolBar;
class VOKR_LAYOUT_WIDGET;
class VOKR_TX_MANAGER;

class VOKR_FRAME_WND : public WEX_FRAME_WND {
    Q_OBJECT
public:
    VOKR_FRAME_WND(QWidget* parent, unsigned int mode, int, int);
    ~VOKR_FRAME_WND() override;

    VOKR_TX_MANAGER* get_tx_manager() const { return m_tx_manager; }
    VOKR_LAYOUT_WIDGET* get_layout_widget() const { return m_layout_widget; }
    // The widget that holds the checked panel actions.
    QWidget* get_action_widget() { return this; }

    // ---- menus (vokr_frame_wnd_menus.cpp) ----
    // Built on first use, then the same menu.
    QMenu* get_bus_display_format_menu();
    // The plug-in menu; its dynamic property "action group" holds the QActionGroup* that the
    // view fills with one action per plug-in.
    QMenu* get_plugin_menu();
    // The submenu that locates nodes in the suite's other tools; the view and the canvas add
    // their locate actions to it.
    QMenu* get_locate_menu();
    QToolBar* get_default_toolbar() const { return m_toolbar; }
    QStringList get_predefined_toolbar_buttons(const QString& name) const override;
    QMap<QString, QStringList> get_toolbar_categories() const override;
    // The display items of the colour and font pages, shared by every frame of the process.
    static const SAWQ_DISPLAY_ITEM_LIST* get_color_items();
    static const SAWQ_DISPLAY_ITEM_LIST* get_font_items();

    // ---- commands (vokr_frame_wnd_commands.cpp) ----
    bool detach_window() override;
    bool attach_window() override;
    bool new_file() override;
    bool open_file(const QString& path) override;
    using WEX_FRAME_WND::open_file;
    // Why the repository refused the file of the last open_file(); empty when it did not.
    const std::string& open_failure() const { return m_open_failure; }
    bool save_file(const QString& path) override;
    bool save_modified(bool ask) override;
    bool save_as(const QString& path) override;
    bool molq_msg_post_notify_flow_finish() override;
    bool molq_msg_options_changed() override;
    QString get_file_filter() const override;
    // Adds the named design node to the current instance as one undo unit; nothing for "".
    // False, with the person told, while the instance acquires: its capture was set up with the
    // node list as it is.
    bool add_node(const QString& name);
    // A file name as the window keeps it: relative to the working folder of the moment, made
    // absolute, so that it names the same file after the folder changes.
    static QString absolute_file_path(const QString& name);
    int get_document_class() const override { return PIR_CLSID_VOK_DEFAULT_DOC; }

    // ---- hooks for test scripts (vokr_frame_wnd_test_hooks.cpp) ----
    // Each reaches the view, the advanced trigger editor or the open dialog as a person would
    // and answers an empty text, or why it could not act (no layout, no such dialog, a bad
    // index); nothing is changed then.
    QString test_advanced_menu_actions(int x, int y, const QString& action);
    QString test_advanced_focus_in();
    QString test_advanced_key_press(const QString& key, int modifier);
    QString test_property_double_click(int x, int y);
    QString test_fill_property_dialog(bool insert);
    QString test_find(const QString& text, int direction);
    QString test_fill_find_dialog();
    QString test_switch_to_advanced_view(int combo);
    QString test_check_locate_enable();
    QString test_delete_all_nodes();
    // Runs a view command that opens a dialog: "mnemonic", "time units" or "insert time bar".
    QString test_open_view_dialog(const QString& which);
    // Runs a button of the open mnemonic dialog: "new", "add entry", "delete" or "import".
    QString test_mnemonic_button(const QString& which);
    QString test_fill_new_table_dialog(const QString& name, const QString& width);
    QString test_fill_trigger_value_dialog(const QString& value, const QString& radix, const QString& mnemonic);
    QString test_delete_entry(const QString& row);
    QString test_fill_file_dialog(const QString& path);
    QString test_accept_import_dialog();
    QString test_fill_time_units_dialog(const QString& time, const QString& unit);
    QString test_fill_insert_time_bar_dialog(const QString& time, const QString& unit, const QString& sample);
    QString test_set_active(const QString& signal_set, const QString& trigger, const QString& log);
    QString test_update_waveform_menu();
    // The key and modifiers a script's key name and modifier code stand for; Escape for an
    // unknown name.
    static int test_key_code(const QString& key);
    static Qt::KeyboardModifiers test_modifiers(int code);
    // The editor action a script's action name stands for; 0 for an unknown name.
    static int test_action_id(const QString& action);

public slots:
    void on_update_file_menu();
    void on_update_edit_menu();
    void on_update_view_menu();
    void create_list_file();
    void on_compile();
    void on_recompile();
    void on_qf_changed() { on_update(nullptr, 0); }
    void export_action();
    bool enable_export_action();
    void on_open_action() override;
    void on_print_file() override;
    void on_undo_action() override;
    void on_redo_action() override;
    void on_cut_action() override;
    void on_copy_action() override;
    void on_paste_action() override;
    void on_delete_action() override;
    void on_select_all_action() override;
    void on_find_action() override;
    void on_find_next_action() override;
    void on_center_on_trigger();
    void on_update(QObject* sender, int hint);

private:
    // Construction steps (vokr_frame_wnd_menus.cpp).
    void add_to_file_menu();
    void add_to_edit_menu();
    QMenu* make_exclusive_menu(const QString& title, std::initializer_list<PIRQ_ACTION_ENUM> ids);
    void add_to_view_project_processing_menus();
    void add_option_pages();
    void trim_main_window();
    void trim_main_window_menus();
    void trim_main_window_toolbars();
    void create_toolbar();
    QAction* action(PIRQ_ACTION_ENUM id);

    // Command helpers (vokr_frame_wnd_commands.cpp).
    // The layout's node list view and advanced trigger editor (canvas); null while absent.
    QWidget* view() const;
    QWidget* editor() const;
    // Runs the slot of that name without arguments when the target has one; false otherwise.
    static bool invoke(QObject* target, const char* slot);
    bool editor_has_focus() const;
    bool view_has_focus() const;
    bool instance_present() const;
    bool data_tab_shown() const;
    int current_node_count() const;
    bool data_log_has_data() const;
    void set_edit_shortcuts(bool standard);

    // A key that is the shortcut of an entry of the File, Edit or View menu finds the entries
    // enabled as the menus would show them: their enablers run before the key is looked up.
    bool event(QEvent* event) override;
    void update_entries_for_key(const QKeySequence& key);

    VOKR_TX_MANAGER* m_tx_manager = nullptr;
    VOKR_LAYOUT_WIDGET* m_layout_widget = nullptr;
    QAction* m_start_recompile_action = nullptr;
    QMenu* m_bus_display_format_menu = nullptr;
    QMenu* m_plugin_menu = nullptr;
    QMenu* m_locate_menu = nullptr;
    QToolBar* m_toolbar = nullptr;
    bool m_main_window = false;
    std::string m_open_failure;
};
