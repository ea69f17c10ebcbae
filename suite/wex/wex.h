// The suite's Qt GUI shell: the frame-window base of every suite window with its menu set,
// named toolbars, option pages, file commands, attach and detach, compile flow and window
// title; the main-frame lookup; and the shell's test support (regression-test mode, follow-up
// commands for modal dialogs).
#pragma once

#include "fstr.h"

#include <QMainWindow>
#include <QMap>
#include <QMenu>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class PIRQ_PAGE_INFO;
class QPrinter;
class QToolBar;

// Frame modes: the frame is the suite's main window (the editor runs on its own).
constexpr unsigned int WEX_FRAME_MODE_MAIN_WINDOW = 0x1;
// Frame state flags: the document was never saved under a name of its own.
constexpr unsigned int WEX_FRAME_STATE_UNTITLED = 0x10;

// The suite's menus, by their position in the menu set.
enum WEX_MENU_POSITION : int {
    WEX_FILE_MENU,
    WEX_EDIT_MENU,
    WEX_VIEW_MENU,
    WEX_PROJECT_MENU,
    WEX_ASSIGNMENTS_MENU,
    WEX_PROCESSING_MENU,
    WEX_TOOLS_MENU,
    WEX_WINDOW_MENU,
    WEX_HELP_MENU,
    WEX_MENU_COUNT
};

// The toolbar entry that separates groups.
constexpr const char* WEX_SEPARATOR_ACTION = "PIRQ_SEPARATOR_ACTION";

// A menu of the suite's menu set.
class WEX_QMENU : public QMenu {
    Q_OBJECT
public:
    using QMenu::QMenu;
    // Makes every entry visible, submenus' entries included.
    void show_all_actions();
};

// One compile flow that a frame started.
struct WEX_FLOW_RECORD {
    FSTR_FLOW_ENUM flow = 0;
    std::string arguments;
    bool flags[3] = {false, false, false};
};
// Runs a started flow to its end; the answer is whether it succeeded. The simulated compile
// (jop_run_compile) runs flows unless another runner is set; with an empty runner a flow is only
// recorded and taken as started.
using WEX_FLOW_RUNNER = std::function<bool(FSTR_FLOW_ENUM flow, const std::string& arguments)>;
void wex_set_flow_runner(WEX_FLOW_RUNNER runner);
// Every flow started in the process, oldest first.
const std::vector<WEX_FLOW_RECORD>& wex_get_started_flows();
void wex_clear_started_flows();

class WEX_FRAME_WND : public QMainWindow {
    Q_OBJECT
public:
    WEX_FRAME_WND(QWidget* parent, unsigned int mode);
    ~WEX_FRAME_WND() override;

    bool is_main_window() const { return (m_mode & WEX_FRAME_MODE_MAIN_WINDOW) != 0; }
    unsigned int get_state_flags() const { return m_state_flags; }

    // ---- menus (wex_menus.cpp) ----
    // The menu at that position; null once it has been removed from the menu bar.
    WEX_QMENU* get_menu(WEX_MENU_POSITION position) const { return m_menus[position]; }
    // Takes the menu off the menu bar and deletes it.
    void remove_menu(WEX_MENU_POSITION position);
    // A standard entry of the menu set by its suite name ("PIRQ_SAVE_ACTION"); null once removed.
    QAction* get_standard_action(const QString& name) const;
    // The Processing menu's "Start Recompilation" entry, or null.
    QAction* get_start_recompile_action() const;
    // Whether this frame shows its documents in an area of attached windows.
    bool has_mdi_area() const;
    // Whether the suite's main window has such an area.
    bool main_wnd_has_mdi_area() const;
    // Shows or hides the message window (the View menu's entry).
    void on_message_window_action();
    bool is_message_window_visible() const { return m_message_window_visible; }

    // ---- toolbars (wex_menus.cpp) ----
    // A new toolbar of that name holding the named actions; not yet placed in the window.
    QToolBar* create_toolbar(const QString& name, const QStringList& buttons);
    // Refills the named toolbar; false when there is none.
    bool update_toolbar(const QString& name, const QStringList& buttons);
    QToolBar* get_toolbar(const QString& name) const;
    // Takes the toolbar out of the window and deletes it.
    void delete_toolbar(const QString& name);
    // The names of the standard toolbars the frame offers to show again.
    const QStringList& get_standard_toolbar_names() const { return m_standard_toolbar_names; }
    void clear_standard_toolbar_names() { m_standard_toolbar_names.clear(); }
    // The action names a toolbar shows by default ("PIRQ_SEPARATOR_ACTION" separates).
    virtual QStringList get_predefined_toolbar_buttons(const QString& name) const;
    // The actions the user may put on toolbars, by category.
    virtual QMap<QString, QStringList> get_toolbar_categories() const;

    // ---- option pages ----
    // Takes the page over.
    void add_option_page(PIRQ_PAGE_INFO* page);
    const std::vector<std::unique_ptr<PIRQ_PAGE_INFO>>& get_option_pages() const { return m_option_pages; }
    void set_current_option_page(quint32 id) { m_current_option_page = id; }
    quint32 get_current_option_page() const { return m_current_option_page; }

    // ---- attach and detach (wex_menus.cpp) ----
    // Makes the frame a window of its own; false when it is one already.
    virtual bool detach_window();
    // Puts the frame into the suite main window's area; false without such an area.
    virtual bool attach_window();
    bool is_attached() const;

    // ---- documents ----
    // Starts an untitled document once the current one may be replaced.
    virtual bool new_file();
    // Checks that the file can be read; the frame's path follows.
    virtual bool open_file(const QString& path);
    // The suite's open with its flags (read-only, recent list, ...), through open_file(path).
    bool open_file(const QString& path, bool, bool, bool, bool, bool);
    // Checks that the file can be written where it is named.
    virtual bool save_file(const QString& path);
    // Offers to save a modified document: Yes saves, No drops the changes, Cancel keeps the
    // window as it is (false). `ask` false saves without asking.
    virtual bool save_modified(bool ask);
    // Saves under the path, or under a name chosen in a file dialog when it is empty.
    virtual bool save_as(const QString& path);
    // Whether another frame has the file open; that frame comes to the front if `activate`.
    bool find_open_file(const QString& path, bool activate) const;
    QString get_qstring_filepath() const { return m_filepath; }
    void set_qstring_filepath(const QString& path);
    // The name an untitled document is shown under ("Untitled1").
    QString get_untitled_name() const { return m_untitled_name; }
    // The document's name as the title shows it; the modified mark and the editor's name follow.
    void set_window_title(const QString& name);
    QString get_document_title() const { return m_document_title; }
    // The document's modified state changed: the title shows it.
    virtual void modified();
    // The frame's printer; a PDF file when the environment names one in KORVANE_PRINTER_PDF.
    QPrinter* get_printer();
    // The name filter of the frame's document files.
    virtual QString get_file_filter() const;
    // The class of document the frame shows (PIR_CLSID_...); 0 for the shell's own frames.
    virtual int get_document_class() const { return 0; }

    // ---- compile flow ----
    virtual bool can_start_flow() const { return !m_flow_running; }
    // Records the flow and runs it through the registered runner.
    virtual bool start_flow(FSTR_FLOW_ENUM flow, const std::string& arguments, bool, bool, bool);
    FSTR_FLOW_ENUM get_last_started_flow() const { return m_last_flow; }

    // ---- notifications from the suite ----
    // A compile flow has finished.
    virtual bool molq_msg_post_notify_flow_finish() { return true; }
    // The user changed the suite's options.
    virtual bool molq_msg_options_changed() { return true; }

public slots:
    // Commands of the menu set's entries; each frame kind decides what they do.
    virtual void on_open_action();
    virtual void on_print_file() {}
    virtual void on_undo_action() {}
    virtual void on_redo_action() {}
    virtual void on_cut_action() {}
    virtual void on_copy_action() {}
    virtual void on_paste_action() {}
    virtual void on_delete_action() {}
    virtual void on_select_all_action() {}
    virtual void on_find_action() {}
    virtual void on_find_next_action() {}

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void build_menu_set();
    void build_file_menu(WEX_QMENU* menu);
    void build_edit_menu(WEX_QMENU* menu);
    void build_view_menu(WEX_QMENU* menu);
    void build_other_menus();
    void build_standard_toolbars();
    QAction* add_entry(QMenu* menu, const char* name, const QString& text, bool visible = true);
    QAction* find_named_action(const QString& name) const;
    void update_window_actions();
    void update_title();
    void on_save_action();

    unsigned int m_mode;
    unsigned int m_state_flags = WEX_FRAME_STATE_UNTITLED;
    QString m_filepath;
    QString m_untitled_name;
    QString m_document_title;
    WEX_QMENU* m_menus[WEX_MENU_COUNT] = {};
    QStringList m_standard_toolbar_names;
    std::vector<std::unique_ptr<PIRQ_PAGE_INFO>> m_option_pages;
    quint32 m_current_option_page = 0;
    std::unique_ptr<QPrinter> m_printer;
    bool m_message_window_visible = false;
    bool m_flow_running = false;
    FSTR_FLOW_ENUM m_last_flow = 0;
};

// The suite's project UI manager: whether a project is open and its top-level entity.
class WEX_PRJ_UI_MGR {
public:
    static WEX_PRJ_UI_MGR* get_prj_ui_mgr();
    bool project_is_open() const;
    std::string get_top_entity() const;
    // The open project's description file, as an absolute path; empty without one.
    std::string get_project_file() const;
};

class MSG_GEN_LOCATION_SCHEMA;

// One request to show a location. The shell's tools live outside the editor: the shell keeps
// the requests it was given (the most recent 64), which scripts and tests read.
struct WEX_LOCATE_REQUEST {
    QString target;  // the tool's class identifier; empty for the design file
    std::string name;
    std::string unit;
    std::vector<std::string> objects;  // each object's label, or "#" and its name identifier
};
void wex_locate(const QString& target, const MSG_GEN_LOCATION_SCHEMA* schema, bool);
void wex_locate_to_design_file(const MSG_GEN_LOCATION_SCHEMA* schema, bool);
const std::vector<WEX_LOCATE_REQUEST>& wex_get_locate_requests();
void wex_clear_locate_requests();
// Enables (mode 2) or disables (mode 0) the tool entries of a locate sub-menu.
void wex_enable_locate_menu_actions(QMenu* menu, int mode);

// Why a file may not be saved at that path, empty when it may: no name, a directory, something
// that is not a regular file (a device, a pipe), a folder that is gone, no permission. Save As
// and every export ask it before writing; nothing is written or replaced.
QString wex_save_refusal(const QString& path);
// Why a file may not be opened for reading, empty when it may: no name, gone, a directory,
// something that is not a regular file (a device, a pipe), no permission. Every open of a
// document asks it before opening the file.
QString wex_open_refusal(const QString& path);

// The suite's current main frame window: the most recently activated frame, else the most
// recently made one, never one that was closed; null without frames.
WEX_FRAME_WND* wex_get_main_frame_wnd();
// The suite's main window: the oldest living frame that is one, other than `except`; or null.
WEX_FRAME_WND* wex_get_suite_main_window(const WEX_FRAME_WND* except = nullptr);
// Every living frame, oldest first.
std::vector<WEX_FRAME_WND*> wex_get_opened_frame_wnd_list();

// The suite's frame manager: the living frames by the class of document they show.
class WEX_FRAME_MGR {
public:
    // Oldest first.
    std::vector<WEX_FRAME_WND*> get_opened_frame_wnd_list(int document_class) const;
};

// The suite's GUI application: its main window and its frame manager.
class WEX_APP {
public:
    virtual ~WEX_APP() = default;
    // The window whose descendants include the dialogs the suite's windows open: the current
    // main frame; null without frames.
    virtual QWidget* get_main_window() const;
    WEX_FRAME_MGR* get_frame_wnd_mgr() { return &m_frame_mgr; }

private:
    WEX_FRAME_MGR m_frame_mgr;
};
// The shell application; null while the process has no QApplication.
WEX_APP* wex_get_app();

// Regression-test mode: the suite runs its GUI tests and skips the dialogs that would wait
// for a person.
bool tst_is_regtest_mode();
void tst_set_regtest_mode(bool on);
// Without a person, registers a Tcl command that the shell evaluates inside the event loop of
// the next modal dialog that shows; with a person it does nothing. An empty command registers
// nothing (but is logged). A new registration replaces one that no dialog has taken yet. When
// the follow-up answers "1" the dialog is accepted; a dialog still open `timeout_ms` after it
// showed is rejected, so that no run waits for a person. A follow-up registered by a command in
// a WEX_MODAL_COMMAND_SCOPE that no dialog took by the scope's end is dropped, except that one
// registered by a follow-up waits until the command that opened the follow-up's dialog returns
// (the next dialog may open once that dialog closes); one registered outside any scope is
// dropped `timeout_ms` after its registration.
void wex_prepare_for_modal_dlg_if_in_test(const std::string& command, int timeout_ms);

// Brackets one scripted command: what it registered for a dialog that never showed is dropped
// when it ends, so that it cannot run in a later, unrelated dialog; a modal dialog it opens
// with no follow-up waiting is rejected shortly after it shows, so that no script waits for a
// person.
class WEX_MODAL_COMMAND_SCOPE {
public:
    WEX_MODAL_COMMAND_SCOPE();
    ~WEX_MODAL_COMMAND_SCOPE();
    WEX_MODAL_COMMAND_SCOPE(const WEX_MODAL_COMMAND_SCOPE&) = delete;
    WEX_MODAL_COMMAND_SCOPE& operator=(const WEX_MODAL_COMMAND_SCOPE&) = delete;
    // The title of the last modal dialog that showed since the scope began with no follow-up
    // to answer it (and was rejected for it), or an empty string when every one had one.
    QString unanswered_dialog() const;

private:
    quint64 m_unanswered_before;
};

// For tests: every text registered without a person, empty ones included, oldest first.
const std::vector<std::string>& wex_get_modal_follow_up_log();
void wex_clear_modal_follow_up_log();
// Whether a registered follow-up still waits for its dialog.
bool wex_has_pending_modal_follow_up();
