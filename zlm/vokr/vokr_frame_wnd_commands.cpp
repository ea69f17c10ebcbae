// The frame's commands: file commands through the document manager, edit commands routed by
// focus to the advanced trigger editor, the node list view or the manager, attach and detach,
// compile and recompile, and the enable rules of the toolbar and the File, Edit and View menus.
#include "vokr_frame_wnd.h"

#include "ksm.h"
#include "vokr_assert.h"
#include "vokr_layout_widget.h"
#include "vokr_msg.h"
#include "vokr_object_widget.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QDir>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMetaMethod>
#include <QTabWidget>

#include <algorithm>

namespace {

// The suite's entries that carry the standard shortcuts while the frame is a window of its
// own, with their keys.
struct SHORTCUT_ENTRY {
    const char* name;
    QKeySequence::StandardKey key;
};
const SHORTCUT_ENTRY SHORTCUT_ENTRIES[] = {
    {"PIRQ_UNDO_ACTION", QKeySequence::Undo},     {"PIRQ_REDO_ACTION", QKeySequence::Redo},
    {"PIRQ_DELETE_ACTION", QKeySequence::Delete}, {"PIRQ_SELECT_ALL_ACTION", QKeySequence::SelectAll},
    {"PIRQ_FIND_ACTION", QKeySequence::Find},     {"PIRQ_FIND_NEXT_ACTION", QKeySequence::UnknownKey},
    {"PIRQ_NEW_ACTION", QKeySequence::New},       {"PIRQ_SAVE_ACTION", QKeySequence::Save},
    {"PIRQ_PRINT_ACTION", QKeySequence::Print},
};

}  // namespace

// ---- helpers ------------------------------------------------------------------------------------------------

QWidget* VOKR_FRAME_WND::view() const { return m_layout_widget ? m_layout_widget->get_view() : nullptr; }

QWidget* VOKR_FRAME_WND::editor() const { return m_layout_widget ? m_layout_widget->get_object_widget() : nullptr; }

// The view and the canvas grow their commands as they are built; a command they do not offer
// (yet) is not run.
bool VOKR_FRAME_WND::invoke(QObject* target, const char* slot)
{
    if (!target)
        return false;
    const QByteArray signature = QByteArray(slot) + "()";
    if (target->metaObject()->indexOfMethod(signature.constData()) < 0)
        return false;
    return QMetaObject::invokeMethod(target, slot, Qt::DirectConnection);
}

bool VOKR_FRAME_WND::editor_has_focus() const { return editor() && focusWidget() == editor(); }

bool VOKR_FRAME_WND::view_has_focus() const { return view() && focusWidget() == view(); }

bool VOKR_FRAME_WND::instance_present() const { return !m_tx_manager->is_empty(); }

// The current instance's Data/Setup tab widget shows the Data tab.
bool VOKR_FRAME_WND::data_tab_shown() const
{
    QTabWidget* tabs = m_layout_widget ? m_layout_widget->get_data_setup_tab_widget(-1) : nullptr;
    return tabs && tabs->currentIndex() == 0;
}

// Nodes of the current node list: the data list in list-view mode or on the Data tab, else
// the trigger list; 0 without an instance.
int VOKR_FRAME_WND::current_node_count() const
{
    if (!instance_present())
        return 0;
    const bool data = m_tx_manager->is_list_view_mode() || data_tab_shown();
    const KSM_TX_SIGNAL_NODES* list = data ? static_cast<KSM_TX_SIGNAL_NODES*>(m_tx_manager->get_signal_nodes(-1))
                                           : m_tx_manager->get_trigger_nodes(-1);
    return list ? list->get_num_nodes() : 0;
}

bool VOKR_FRAME_WND::data_log_has_data() const
{
    KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    return log && log->is_data_available(false);
}

// ---- documents ----------------------------------------------------------------------------------------------

bool VOKR_FRAME_WND::new_file()
{
    if (!WEX_FRAME_WND::new_file())
        return false;
    const bool result = m_tx_manager->new_document(get_untitled_name().toLocal8Bit().constData());
    m_tx_manager->on_update_edit_undo();
    m_tx_manager->on_update_edit_redo();
    return result;
}

QString VOKR_FRAME_WND::absolute_file_path(const QString& name)
{
    return name.isEmpty() || QDir::isAbsolutePath(name) ? name : QDir::current().filePath(name);
}

// The window keeps the file's absolute path: a save after the working folder changed goes to
// the file that was opened, not to a file of that name in the new folder.
bool VOKR_FRAME_WND::open_file(const QString& name)
{
    const QString path = absolute_file_path(name);
    m_open_failure = wex_open_refusal(path).toLocal8Bit().toStdString();
    if (!WEX_FRAME_WND::open_file(path))
        return false;
    bool renamed = false;
    std::string new_name;
    const bool result = m_tx_manager->open_document(path.toLocal8Bit().constData(), &renamed, &new_name);
    if (result) {
        if (renamed) {
            const QString name = QString::fromLocal8Bit(new_name.c_str());
            set_window_title(name);
            set_qstring_filepath(name);
        }
        m_layout_widget->restore_widget_state();
    } else {
        // The document that was open is closed by now: the frame no longer names the file, and
        // every pane lets go of it, so that none shows it or edits through the manager. The
        // repository's reason (the file, the line and column of its fault) goes to the Messages
        // window.
        const KSM_TX_SESSION* session = m_tx_manager->get_session();
        if (session && !session->get_data_session() && !session->get_last_error().empty()) {
            m_open_failure = session->get_last_error();
            MSG_E message(nullptr);
            message.fill_args("%1!s!/EVOKR_OPEN_ERROR", m_open_failure.c_str());
            message.post();
        }
        set_qstring_filepath(QString());
        m_tx_manager->announce_document_change();
    }
    // A session just opened has nothing to undo or redo yet; a failed open leaves none.
    m_tx_manager->on_update_edit_undo();
    m_tx_manager->on_update_edit_redo();
    return result;
}

// The frame takes the file's absolute name once the document is in it.
bool VOKR_FRAME_WND::save_file(const QString& name)
{
    const QString path = absolute_file_path(name);
    if (!WEX_FRAME_WND::save_file(path))
        return false;
    const bool result = m_tx_manager->save_document(path.toLocal8Bit().constData());
    if (result)
        set_qstring_filepath(path);
    return result;
}

bool VOKR_FRAME_WND::save_modified(bool ask)
{
    VOKR_ASSERT(this->m_tx_manager != NULL);
    if (m_tx_manager->is_any_instance_acquiring()) {
        vokr_prompt(vokr_msg_cant_close_lmx_file());
        return false;
    }
    return WEX_FRAME_WND::save_modified(ask);
}

// The main window chooses the file in the suite's dialog and reports whether the save worked.
bool VOKR_FRAME_WND::save_as(const QString& path)
{
    if (!m_tx_manager->get_session())
        return false;  // no session to save: no file dialog either
    if (!m_main_window)
        return WEX_FRAME_WND::save_as(path);
    PIRQ_FILE_DLG dialog(this);
    dialog.setNameFilters({pirq_create_filter(PIRQ_FILE_TYPE_LMX)});
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.set_file_type_label("Save as type:");
    dialog.select_line_edit_text();
    QString initial = path.isEmpty() ? get_qstring_filepath() : path;
    if (initial.isEmpty())
        initial = get_untitled_name();
    const QFileInfo info(initial);
    if (!initial.isEmpty() && ((get_state_flags() & WEX_FRAME_STATE_UNTITLED) || info.permission(QFile::WriteOwner)))
        dialog.selectFile(initial);
    if (tst_is_regtest_mode())
        return true;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    PIRQ_WAIT_CURSOR wait;
    return save_file(dialog.selectedFiles().first());
}

void VOKR_FRAME_WND::on_open_action()
{
    if (!m_main_window) {
        WEX_FRAME_WND::on_open_action();
        return;
    }
    PIRQ_FILE_DLG dialog(this, "Open File");
    dialog.setNameFilters({pirq_create_filter(PIRQ_FILE_TYPE_LMX)});
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted)
        return;
    for (const QString& file : dialog.selectedFiles()) {
        PIRQ_WAIT_CURSOR wait;
        if (!find_open_file(file, true) && save_modified(true))
            WEX_FRAME_WND::open_file(file, false, false, false, true, true);
    }
}

QString VOKR_FRAME_WND::get_file_filter() const { return pirq_create_filter(PIRQ_FILE_TYPE_LMX); }

void VOKR_FRAME_WND::create_list_file() { invoke(view(), "show_list_view"); }

void VOKR_FRAME_WND::export_action() { invoke(view(), "on_export"); }

bool VOKR_FRAME_WND::enable_export_action() { return !m_tx_manager->is_setup_mode() && m_tx_manager->get_data_log(); }

void VOKR_FRAME_WND::on_print_file()
{
    VOKR_ASSERT_TEXT(view() != nullptr && get_printer() != nullptr,
                     "(this->m_layout_widget->get_view() != NULL) && (get_printer() != NULL)");
    invoke(view(), "on_print");
}

// ---- suite notifications -------------------------------------------------------------------------------------

bool VOKR_FRAME_WND::molq_msg_post_notify_flow_finish()
{
    VOKR_ASSERT(this->m_tx_manager != NULL);
    m_tx_manager->check_node_validity(-1);
    emit m_tx_manager->updated(nullptr,
                               vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_JTAG | VOKR_HINT_INSTANCES | VOKR_HINT_VIEW));
    return true;
}

bool VOKR_FRAME_WND::molq_msg_options_changed()
{
    VOKR_ASSERT(this->m_tx_manager != NULL);
    m_tx_manager->cfg_initialize_user_registry_settings();
    emit m_tx_manager->updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_JTAG | VOKR_HINT_INSTANCES |
                                                  VOKR_HINT_DATA_LOG | VOKR_HINT_VIEW));
    return true;
}

// ---- shortcuts ----------------------------------------------------------------------------------------------

bool VOKR_FRAME_WND::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        update_entries_for_key(QKeySequence(int(key->modifiers() & ~Qt::KeypadModifier) | key->key()));
    }
    return WEX_FRAME_WND::event(event);
}

// Only the enablers of the menu whose entry carries the key run, as when that menu opens.
void VOKR_FRAME_WND::update_entries_for_key(const QKeySequence& key)
{
    const auto carries = [&key](const QMenu* menu) {
        const QList<QAction*> entries = menu ? menu->actions() : QList<QAction*>();
        return std::any_of(entries.begin(), entries.end(),
                           [&key](const QAction* entry) { return entry->shortcuts().contains(key); });
    };
    if (carries(get_menu(WEX_FILE_MENU)))
        on_update_file_menu();
    if (carries(get_menu(WEX_EDIT_MENU))) {
        on_update_edit_menu();
        invoke(view(), "on_update_edit_menu");
    }
    if (carries(get_menu(WEX_VIEW_MENU)))
        on_update_view_menu();
}

// ---- attach and detach --------------------------------------------------------------------------------------

void VOKR_FRAME_WND::set_edit_shortcuts(bool standard)
{
    for (const SHORTCUT_ENTRY& entry : SHORTCUT_ENTRIES) {
        QAction* target = get_standard_action(entry.name);
        if (!target)
            continue;
        if (!standard)
            target->setShortcut(QKeySequence());
        else if (entry.key == QKeySequence::UnknownKey)
            target->setShortcut(QKeySequence(pirq_get_custom_shortcut(PIRQ_ACTION_FIND_NEXT)));
        else
            target->setShortcut(QKeySequence(entry.key));
    }
}

bool VOKR_FRAME_WND::detach_window()
{
    WEX_QMENU* processing = get_menu(WEX_PROCESSING_MENU);
    processing->addAction(action(PIRQ_ACTION_TOOLBAR_RECOMPILE));
    processing->addAction(action(PIRQ_ACTION_TOOLBAR_COMPILE));
    const bool result = WEX_FRAME_WND::detach_window();
    set_edit_shortcuts(true);
    return result;
}

bool VOKR_FRAME_WND::attach_window()
{
    WEX_QMENU* processing = get_menu(WEX_PROCESSING_MENU);
    processing->removeAction(action(PIRQ_ACTION_TOOLBAR_RECOMPILE));
    processing->removeAction(action(PIRQ_ACTION_TOOLBAR_COMPILE));
    const bool result = WEX_FRAME_WND::attach_window();
    set_edit_shortcuts(false);
    return result;
}

// ---- edit routing -------------------------------------------------------------------------------------------

void VOKR_FRAME_WND::on_undo_action()
{
    if (editor_has_focus())
        invoke(editor(), "on_edit_undo");
    else
        m_tx_manager->on_edit_undo();
}

void VOKR_FRAME_WND::on_redo_action()
{
    if (editor_has_focus())
        invoke(editor(), "on_edit_redo");
    else
        m_tx_manager->on_edit_redo();
}

void VOKR_FRAME_WND::on_cut_action()
{
    if (editor_has_focus())
        invoke(editor(), "on_edit_cut");
}

void VOKR_FRAME_WND::on_copy_action()
{
    if (editor_has_focus())
        invoke(editor(), "on_edit_copy");
}

void VOKR_FRAME_WND::on_paste_action()
{
    if (editor_has_focus())
        invoke(editor(), "on_edit_paste");
}

void VOKR_FRAME_WND::on_delete_action() { invoke(editor_has_focus() ? editor() : view(), "on_edit_delete"); }

void VOKR_FRAME_WND::on_select_all_action()
{
    if (editor_has_focus())
        invoke(editor(), "on_edit_select_all");
    else if (view_has_focus())
        invoke(view(), "on_edit_select_all");
}

// The focused node list or canvas runs Find and Find Next through its own connection to the
// entry; from any other pane the frame has the node list search, once.
void VOKR_FRAME_WND::on_find_action()
{
    if (!editor_has_focus() && !view_has_focus())
        invoke(view(), "on_edit_find");
}

void VOKR_FRAME_WND::on_find_next_action()
{
    if (!editor_has_focus() && !view_has_focus())
        invoke(view(), "on_edit_find_next");
}

// ---- compile ------------------------------------------------------------------------------------------------

// A window of its own compiles through the suite; where the editor is the suite's main window,
// compiling is the suite's own command and these never run.
void VOKR_FRAME_WND::on_compile()
{
    VOKR_ASSERT(!this->is_main_window());
    start_flow(FSTR_FLOW_FULL_COMPILATION, "", true, false, true);
}

void VOKR_FRAME_WND::on_recompile()
{
    VOKR_ASSERT(!this->is_main_window());
    start_flow(FSTR_FLOW_FAST_RECOMPILATION, "", true, false, true);
}

// The view centres its waveform on the data log's trigger sample (0 without one); nothing
// while the advanced trigger editor has the focus.
void VOKR_FRAME_WND::on_center_on_trigger()
{
    if (editor_has_focus())
        return;
    KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    const int position = log ? std::max(log->get_data_trigger_position(-1), 0) : 0;
    if (view() && view()->metaObject()->indexOfMethod("center_on_sample(int)") >= 0)
        QMetaObject::invokeMethod(view(), "center_on_sample", Qt::DirectConnection, Q_ARG(int, position));
}

bool VOKR_FRAME_WND::add_node(const QString& name)
{
    if (name.isEmpty())
        return true;
    VOKR_ASSERT(m_tx_manager->get_tx_instance() != NULL);
    if (m_tx_manager->refuse_edit_while_acquiring())
        return false;
    const KSM_DATA_WIRE_TAP_MODE mode =
        m_tx_manager->is_incremental_compile() ? KSM_TAP_POST_FITTING : KSM_TAP_PRE_SYNTHESIS;
    m_tx_manager->begin_action(-1);
    m_tx_manager->insert_node(name, mode);
    m_tx_manager->end_action(VOKR_CHECK_ALWAYS, -1);
    return true;
}

// ---- enable rules -------------------------------------------------------------------------------------------

void VOKR_FRAME_WND::on_update(QObject*, int)
{
    const bool present = instance_present();
    const int nodes = current_node_count();
    const bool trigger_tab = present && m_tx_manager->get_int_state(-1, "active tab", 1) == 0;
    action(PIRQ_ACTION_TOOLBAR_CENTER_ON_TRIGGER)
        ->setEnabled(present && nodes >= 1 && m_tx_manager->get_data_segment_size() <= 1 && trigger_tab);
    // A recompile follows the suite's own entry, which only a window beside the suite's main
    // window has.
    const bool suite_recompile = m_start_recompile_action && m_start_recompile_action->isEnabled();
    action(PIRQ_ACTION_TOOLBAR_RECOMPILE)->setEnabled(present && suite_recompile);
    action(PIRQ_ACTION_TOOLBAR_COMPILE)->setEnabled(present && !m_main_window && can_start_flow());
    action(PIRQ_ACTION_TOOLBAR_FIND)->setEnabled(nodes >= 1);
}

void VOKR_FRAME_WND::on_update_file_menu()
{
    const bool has_data = data_log_has_data();
    action(PIRQ_ACTION_EXPORT)->setEnabled(!m_tx_manager->is_setup_mode() && m_tx_manager->get_data_log());
    const bool idle = !instance_present() || !m_tx_manager->is_instance_acquiring(-1);
    QAction* print = get_standard_action("PIRQ_PRINT_ACTION");
    QAction* preview = get_standard_action("PIRQ_PRINT_PREVIEW_ACTION");
    for (QAction* entry : {print, preview})
        if (entry)
            entry->setEnabled(has_data && idle);
    const bool trigger_list = instance_present() && m_tx_manager->get_trigger_object() != nullptr;
    action(PIRQ_ACTION_CREATE_LIST_FILE)->setEnabled(trigger_list && has_data && m_tx_manager->is_data_mode(-1));
    // A window without a session has nothing to save.
    for (const char* name : {"PIRQ_SAVE_ACTION", "PIRQ_SAVE_AS_ACTION"})
        if (QAction* entry = get_standard_action(name))
            entry->setEnabled(m_tx_manager->get_session() != nullptr);
}

void VOKR_FRAME_WND::on_update_edit_menu()
{
    for (PIRQ_ACTION_ENUM id : {PIRQ_ACTION_COPY, PIRQ_ACTION_CUT, PIRQ_ACTION_PASTE}) {
        action(id)->setVisible(false);
        action(id)->setEnabled(false);
    }
    if (!instance_present()) {
        for (PIRQ_ACTION_ENUM id :
             {PIRQ_ACTION_UNDO, PIRQ_ACTION_REDO, PIRQ_ACTION_MNEMONIC_TABLE_SETUP, PIRQ_ACTION_SAVE_TO_LOG,
              PIRQ_ACTION_LOGGING, PIRQ_ACTION_INSERT_NODES, PIRQ_ACTION_INSERT_STATE_MACHINE_NODES,
              PIRQ_ACTION_RECREATE_STATE_MACHINE_MNEMONICS})
            action(id)->setEnabled(false);
        get_plugin_menu()->setEnabled(false);
        return;
    }
    if (m_tx_manager->is_advanced_mode(nullptr)) {
        action(PIRQ_ACTION_MNEMONIC_TABLE_SETUP)->setEnabled(false);
        // The focused canvas's entries follow its last command (a drop takes the focus first).
        if (auto* canvas = qobject_cast<VOKR_OBJECT_WIDGET*>(editor()); canvas && editor_has_focus())
            canvas->update_all_actions();
    } else {
        m_tx_manager->on_update_edit_undo();
        m_tx_manager->on_update_edit_redo();
        action(PIRQ_ACTION_MNEMONIC_TABLE_SETUP)->setEnabled(true);
    }
    for (PIRQ_ACTION_ENUM id : {PIRQ_ACTION_SAVE_TO_LOG, PIRQ_ACTION_LOGGING, PIRQ_ACTION_LOCK_MODE_ALL,
                                PIRQ_ACTION_LOCK_MODE_INCREMENTAL, PIRQ_ACTION_LOCK_MODE_TRIGGER})
        action(id)->setEnabled(true);
    static const PIRQ_ACTION_ENUM lock_actions[] = {PIRQ_ACTION_LOCK_MODE_ALL, PIRQ_ACTION_LOCK_MODE_INCREMENTAL,
                                                    PIRQ_ACTION_LOCK_MODE_TRIGGER};
    const int lock = m_tx_manager->get_frame_wnd() ? m_tx_manager->get_lock_mode(false) : 0;
    for (int mode = 0; mode < 3; ++mode)
        action(lock_actions[mode])->setChecked(mode == lock);
    // From any other pane, Find and Find Next search the node list, as the toolbar's Find does;
    // Delete and Select All leave the keys to that pane (the instance tree deletes instances).
    if (!view_has_focus() && !editor_has_focus()) {
        for (PIRQ_ACTION_ENUM id : {PIRQ_ACTION_FIND, PIRQ_ACTION_FIND_NEXT})
            action(id)->setEnabled(current_node_count() > 0);
        for (PIRQ_ACTION_ENUM id : {PIRQ_ACTION_DELETE, PIRQ_ACTION_SELECT_ALL})
            action(id)->setEnabled(false);
    }
}

void VOKR_FRAME_WND::on_update_view_menu()
{
    if (instance_present() && data_tab_shown()) {
        invoke(view(), "on_update_waveform_menu");
        return;
    }
    if (instance_present() && m_tx_manager->is_advanced_mode(nullptr)) {
        for (const char* update : {"on_update_zoom_in", "on_update_zoom_out", "on_update_fit_in_window"})
            invoke(editor(), update);
        action(PIRQ_ACTION_CENTER_ON_TRIGGER)->setEnabled(false);
        return;
    }
    for (PIRQ_ACTION_ENUM id :
         {PIRQ_ACTION_FIT_IN_WINDOW, PIRQ_ACTION_ZOOM_IN, PIRQ_ACTION_ZOOM_OUT, PIRQ_ACTION_CENTER_ON_TRIGGER})
        action(id)->setEnabled(false);
}
