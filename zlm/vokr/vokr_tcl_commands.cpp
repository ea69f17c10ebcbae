// The work of the module's Tcl commands once their options are parsed: the follow-up texts they
// register for the dialogs they open, the locate schema, and the calls on the current editor
// window. A command that cannot act answers a Tcl error that says why.
#include "vokr_tcl.h"

#include "msg.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QPrinter>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>

namespace {

using A = VOKR_AUTO_ARGUMENT_ENUM;

struct CALL {
    int command;
    const YUVR_ARGS& args;
    Tcl_Interp* interp;
    VOKR_FRAME_WND* frame;

    std::string str(A id) const
    {
        const char* value = args.get_one_arg_option(id);
        return value ? value : "";
    }
    QString text(A id) const { return QString::fromStdString(str(id)); }  // UTF-8, as the wrapper gives it
    int number(A id) const
    {
        bool present = false;
        return args.get_int_arg_option(id, &present);
    }
    int fail(const QString& reason) const
    {
        const std::string message =
            std::string(VOKR_TCL_COMMAND_DEFINITIONS[command].command) + ": " + reason.toStdString();
        Tcl_SetObjResult(interp, yuvr_new_utf8_obj(message));
        return TCL_ERROR;
    }
    // A hook's answer: done (with the result "1" for a command that finishes a dialog) or why not.
    int done(const QString& hook_error, bool finishes = false) const
    {
        if (!hook_error.isEmpty())
            return fail(hook_error);
        if (finishes)
            Tcl_SetResult(interp, const_cast<char*>("1"), TCL_VOLATILE);
        return TCL_OK;
    }
    void follow_up(const char* name, std::initializer_list<A> options) const
    {
        std::string text = name;
        for (A id : options)
            text += std::string(" -") + vokr_tcl_option_name(id) + " \"" + vokr_tcl_escape_value(str(id)) + '"';
        wex_prepare_for_modal_dlg_if_in_test(text, 1000);
    }
    void no_follow_up() const { wex_prepare_for_modal_dlg_if_in_test(std::string(), 1000); }
};

// The editor windows that hold a session; one without a session has no file to match or instance
// to take nodes.
std::vector<VOKR_FRAME_WND*> editor_frames()
{
    std::vector<VOKR_FRAME_WND*> list;
    WEX_APP* app = pirq_get_app();
    if (!app)
        return list;
    for (WEX_FRAME_WND* frame : app->get_frame_wnd_mgr()->get_opened_frame_wnd_list(PIR_CLSID_VOK_DEFAULT_DOC))
        if (auto* editor = qobject_cast<VOKR_FRAME_WND*>(frame); editor && !editor->get_tx_manager()->is_empty())
            list.push_back(editor);
    return list;
}

// Adds the node to the frame's current instance; a frame without one cannot take nodes.
int add_node_to(const CALL& c, VOKR_FRAME_WND* frame, const QString& name)
{
    if (!name.isEmpty() && !frame->get_tx_manager()->get_tx_instance())
        return c.fail("the editor of " + frame->get_qstring_filepath() + " has no instance to add nodes to");
    if (!frame->add_node(name))
        return c.fail("an acquisition is running: the node list stays as it is");
    return TCL_OK;
}

// A window's file as given, or a relative name of it: the window keeps its file's absolute path.
bool names_file_of(const VOKR_FRAME_WND* frame, const QString& path)
{
    const QString file = frame->get_qstring_filepath();
    return file == path || (!path.isEmpty() && file == VOKR_FRAME_WND::absolute_file_path(path));
}

int add_node(const CALL& c)
{
    const QString path = c.text(VOKR_AUTO_ARG_FILENAME);
    for (VOKR_FRAME_WND* frame : editor_frames())
        if (names_file_of(frame, path))
            return add_node_to(c, frame, c.text(VOKR_AUTO_ARG_NODENAME));
    return TCL_OK;
}

int do_locate(const CALL& c)
{
    QString error;
    const std::unique_ptr<MSG_GEN_LOCATION_SCHEMA> schema(
        vokr_tcl_get_location_schema(c.str(VOKR_AUTO_ARG_SCHEMA), &error));
    if (!schema)
        return c.fail(error);
    if (!schema->get_source())
        return c.fail("the location schema names no source");
    const QString source = QString::fromUtf8(schema->get_source());
    const std::vector<VOKR_FRAME_WND*> frames = editor_frames();
    VOKR_FRAME_WND* target = nullptr;
    if (source == "New Lumetra File")
        target = frames.empty() ? nullptr : frames.back();
    for (size_t i = 0; !target && i < frames.size(); ++i)
        if (names_file_of(frames[i], source))
            target = frames[i];
    if (!target)
        return TCL_OK;
    for (auto it = schema->get_objects_begin(); it != schema->get_objects_end(); ++it) {
        const auto* object = dynamic_cast<const MSG_GEN_LOC_OBJ*>(it->get());
        if (object && object->get_label() && add_node_to(c, target, QString::fromUtf8(object->get_label())) != TCL_OK)
            return TCL_ERROR;
    }
    return TCL_OK;
}

// The mnemonic dialog's actions, each with the follow-up it registers; any other is refused
// before the dialog opens, since nothing would answer it.
const char* const MNEMONIC_ACTIONS[] = {"add table", "import file", "delete table", "add entry", "delete entry"};

int mnemonic_dialog(const CALL& c)
{
    const std::string action = c.str(VOKR_AUTO_ARG_ACTION);
    if (std::find(std::begin(MNEMONIC_ACTIONS), std::end(MNEMONIC_ACTIONS), action) == std::end(MNEMONIC_ACTIONS))
        return c.fail(QString("unknown action \"%1\": must be %2")
                          .arg(QString::fromStdString(action),
                               QStringList(std::begin(MNEMONIC_ACTIONS), std::end(MNEMONIC_ACTIONS)).join(", ")));
    if (action == "add table")
        c.follow_up("vokr_dlg_trigger_add_table_dialog", {VOKR_AUTO_ARG_TABLE_NAME, VOKR_AUTO_ARG_TABLE_WIDTH});
    else if (action == "import file")
        c.follow_up("vokr_dlg_trigger_file_dialog", {VOKR_AUTO_ARG_IMPORT_FILENAME});
    else if (action == "delete table")
        c.follow_up("vokr_dlg_trigger_delete_table", {});
    else if (action == "add entry")
        c.follow_up("vokr_dlg_trigger_add_entry_dialog",
                    {VOKR_AUTO_ARG_ENTRY_VALUE, VOKR_AUTO_ARG_ENTRY_RADIX, VOKR_AUTO_ARG_ENTRY_MNEMONIC});
    else
        c.follow_up("vokr_dlg_trigger_delete_entry", {VOKR_AUTO_ARG_ENTRY_ROW});
    return c.done(c.frame->test_open_view_dialog("mnemonic"));
}

int menu_actions(const CALL& c)
{
    const std::string action = c.str(VOKR_AUTO_ARG_ACTION);
    if (action == "properties")
        c.follow_up("vokr_dlg_trigger_property_dialog_accept", {});
    else if (action == "insert" || action == "append")
        c.follow_up("vokr_dlg_trigger_property_dialog_insert", {});
    else
        c.no_follow_up();
    return c.done(c.frame->test_advanced_menu_actions(c.number(VOKR_AUTO_ARG_X_COORD), c.number(VOKR_AUTO_ARG_Y_COORD),
                                                      c.text(VOKR_AUTO_ARG_ACTION)));
}

int key_press(const CALL& c)
{
    const std::string key = c.str(VOKR_AUTO_ARG_KEYBOARD_KEY);
    const int modifier = c.number(VOKR_AUTO_ARG_KEYBOARD_MODIFIER);
    if (modifier == 1 && key == "Enter")
        c.follow_up("vokr_dlg_trigger_property_dialog_accept", {});
    else if (key == "I" || key == "A")
        c.follow_up("vokr_dlg_trigger_property_dialog_insert", {});
    else
        c.no_follow_up();
    return c.done(c.frame->test_advanced_key_press(c.text(VOKR_AUTO_ARG_KEYBOARD_KEY), modifier));
}

// The storage qualifier by its label; the manager takes only its own labels.
int set_storage_qualifier(const CALL& c)
{
    const QString type = c.text(VOKR_AUTO_ARG_TYPE);
    const QStringList labels = VOKR_TX_MANAGER::storage_qualifier_labels();
    if (!labels.contains(type))
        return c.fail(QString("bad type \"%1\": must be %2").arg(type, labels.join(", ")));
    c.frame->get_tx_manager()->set_storage_qualifier_type(type);
    return TCL_OK;
}

int print_file(const CALL& c)
{
    QPrinter* printer = c.frame->get_printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    c.frame->on_print_file();
    return TCL_OK;
}

int show_list_view(const CALL& c)
{
    VOKR_LAYOUT_WIDGET* layout = c.frame->get_layout_widget();
    if (!layout || !layout->get_view())
        return c.fail("the editor has no layout");
    QString failure;
    if (!layout->get_view()->show_list_view(c.text(VOKR_AUTO_ARG_FILENAME), &failure))
        return c.fail(failure);
    return TCL_OK;
}

// The window's session is replaced as File > Open replaces it: not while it acquires, and one
// with unsaved changes only after the save question. A refused file's error gives the reason.
int open_file(const CALL& c)
{
    const QString path = c.text(VOKR_AUTO_ARG_FILENAME);
    if (!c.frame->save_modified(true))
        return c.fail(c.frame->get_tx_manager()->is_any_instance_acquiring()
                          ? "an acquisition is running: the window keeps its session"
                          : "the window keeps its unsaved session");
    if (!c.frame->open_file(path)) {
        const std::string& reason = c.frame->open_failure();
        return c.fail("cannot open " + path +
                      (reason.empty() ? QString() : ": " + QString::fromLocal8Bit(reason.c_str())));
    }
    return TCL_OK;
}

// The mnemonic dialog's commands: the follow-up for the dialog the button opens, then the button.
int mnemonic_button(const CALL& c, const char* button, const char* next, std::initializer_list<A> options)
{
    c.follow_up(next, options);
    return c.done(c.frame->test_mnemonic_button(button));
}

// A window without a session takes files and nodes to open or add; every other command works
// on a session's instance.
bool needs_session(int command)
{
    return command != VOKR_TCL_OPEN_FILE && command != VOKR_TCL_ADD_NODE && command != VOKR_TCL_DO_LOCATE;
}

// Commands that edit the current instance: refused while it acquires, as a person's edits are,
// since the capture under way was set up with the instance as it was.
bool edits_instance(int command)
{
    return command == VOKR_TCL_SET_STORAGE_QUALIFIER || command == VOKR_TCL_UNDO_VIEW ||
           command == VOKR_TCL_REDO_VIEW || command == VOKR_TCL_SWITCH_TO_ADVANCED_VIEW ||
           command == VOKR_TCL_DELETE_ALL_NODE_IN_VIEW;
}

int dispatch(const CALL& c)
{
    VOKR_FRAME_WND* f = c.frame;
    auto n = [&c](A id) { return c.number(id); };
    auto t = [&c](A id) { return c.text(id); };
    if (edits_instance(c.command) && f->get_tx_manager()->refuse_edit_while_acquiring())
        return c.fail("an acquisition is running: the instance stays as it is");
    switch (c.command) {
    case VOKR_TCL_DO_LOCATE: return do_locate(c);
    case VOKR_TCL_SHOW_LIST_VIEW: return show_list_view(c);
    case VOKR_TCL_OPEN_FILE: return open_file(c);
    case VOKR_TCL_ON_PRINT_FILE: return print_file(c);
    case VOKR_TCL_ADD_NODE: return add_node(c);
    case VOKR_TCL_ON_MNEMONIC_DIALOG: return mnemonic_dialog(c);
    case VOKR_TCL_DLG_TRIGGER_ADD_TABLE_DIALOG:
        return mnemonic_button(c, "new", "vokr_dlg_trigger_add_table_dialog_accept",
                               {VOKR_AUTO_ARG_TABLE_NAME, VOKR_AUTO_ARG_TABLE_WIDTH});
    case VOKR_TCL_DLG_TRIGGER_ADD_TABLE_DIALOG_ACCEPT:
        return c.done(f->test_fill_new_table_dialog(t(VOKR_AUTO_ARG_TABLE_NAME), t(VOKR_AUTO_ARG_TABLE_WIDTH)), true);
    case VOKR_TCL_DLG_TRIGGER_ADD_ENTRY_DIALOG:
        return mnemonic_button(c, "add entry", "vokr_dlg_trigger_add_entry_dialog_accept",
                               {VOKR_AUTO_ARG_ENTRY_VALUE, VOKR_AUTO_ARG_ENTRY_RADIX, VOKR_AUTO_ARG_ENTRY_MNEMONIC});
    case VOKR_TCL_DLG_TRIGGER_ADD_ENTRY_DIALOG_ACCEPT:
        return c.done(f->test_fill_trigger_value_dialog(t(VOKR_AUTO_ARG_ENTRY_VALUE), t(VOKR_AUTO_ARG_ENTRY_RADIX),
                                                        t(VOKR_AUTO_ARG_ENTRY_MNEMONIC)),
                      true);
    case VOKR_TCL_DLG_TRIGGER_FILE_DIALOG:
        return mnemonic_button(c, "import", "vokr_dlg_trigger_file_dialog_accept", {VOKR_AUTO_ARG_IMPORT_FILENAME});
    case VOKR_TCL_DLG_TRIGGER_FILE_DIALOG_ACCEPT:
        c.follow_up("vokr_dlg_trigger_import_dialog_accept", {});
        return c.done(f->test_fill_file_dialog(t(VOKR_AUTO_ARG_IMPORT_FILENAME)), true);
    case VOKR_TCL_DLG_TRIGGER_IMPORT_DIALOG_ACCEPT: return c.done(f->test_accept_import_dialog(), true);
    case VOKR_TCL_DLG_TRIGGER_DELETE_TABLE: return c.done(f->test_mnemonic_button("delete"), true);
    case VOKR_TCL_DLG_TRIGGER_DELETE_ENTRY: return c.done(f->test_delete_entry(t(VOKR_AUTO_ARG_ENTRY_ROW)), true);
    case VOKR_TCL_SWITCH_TO_ADVANCED_VIEW:
        return c.done(f->test_switch_to_advanced_view(n(VOKR_AUTO_ARG_COMBOBOX_TYPE)));
    case VOKR_TCL_ON_PROPERTY_DIALOG:
        c.follow_up("vokr_dlg_trigger_property_dialog", {});
        return c.done(f->test_property_double_click(n(VOKR_AUTO_ARG_X_COORD), n(VOKR_AUTO_ARG_Y_COORD)));
    case VOKR_TCL_DLG_TRIGGER_PROPERTY_DIALOG: return c.done(f->test_fill_property_dialog(false), true);
    case VOKR_TCL_DLG_TRIGGER_PROPERTY_DIALOG_ACCEPT: return c.done(QString(), true);
    case VOKR_TCL_TEST_ADVANCED_MENU_ACTIONS: return menu_actions(c);
    case VOKR_TCL_TEST_ADVANCED_FOCUS_IN: return c.done(f->test_advanced_focus_in());
    case VOKR_TCL_DLG_TRIGGER_PROPERTY_DIALOG_INSERT: return c.done(f->test_fill_property_dialog(true), true);
    case VOKR_TCL_ON_TIME_UNITS_DIALOG:
        c.follow_up("vokr_dlg_trigger_time_units_dialog", {VOKR_AUTO_ARG_TIME, VOKR_AUTO_ARG_TIME_UNIT_INDEX});
        return c.done(f->test_open_view_dialog("time units"));
    case VOKR_TCL_DLG_TRIGGER_TIME_UNITS_DIALOG:
        return c.done(f->test_fill_time_units_dialog(t(VOKR_AUTO_ARG_TIME), t(VOKR_AUTO_ARG_TIME_UNIT_INDEX)), true);
    case VOKR_TCL_ON_INSERT_TIME_BAR_DIALOG:
        c.follow_up("vokr_dlg_trigger_insert_time_bar_dialog",
                    {VOKR_AUTO_ARG_TIME, VOKR_AUTO_ARG_TIME_UNIT_INDEX, VOKR_AUTO_ARG_SAMPLE_NUMBER});
        return c.done(f->test_open_view_dialog("insert time bar"));
    case VOKR_TCL_DLG_TRIGGER_INSERT_TIME_BAR_DIALOG:
        return c.done(f->test_fill_insert_time_bar_dialog(t(VOKR_AUTO_ARG_TIME), t(VOKR_AUTO_ARG_TIME_UNIT_INDEX),
                                                          t(VOKR_AUTO_ARG_SAMPLE_NUMBER)),
                      true);
    case VOKR_TCL_ON_ADVANCED_KEY_PRESS: return key_press(c);
    case VOKR_TCL_FIND:
        c.follow_up("vokr_dlg_trigger_find_dialog", {});
        return c.done(f->test_find(t(VOKR_AUTO_ARG_FIND_STRING), n(VOKR_AUTO_ARG_DIRECTION)));
    case VOKR_TCL_DLG_TRIGGER_FIND_DIALOG: return c.done(f->test_fill_find_dialog());
    case VOKR_TCL_CHECK_LOCATE_ENABLE: return c.done(f->test_check_locate_enable());
    case VOKR_TCL_SET_STORAGE_QUALIFIER: return set_storage_qualifier(c);
    case VOKR_TCL_UNDO_VIEW: f->get_tx_manager()->on_edit_undo(); return TCL_OK;
    case VOKR_TCL_REDO_VIEW: f->get_tx_manager()->on_edit_redo(); return TCL_OK;
    case VOKR_TCL_SET_ACTIVE:
        return c.done(f->test_set_active(t(VOKR_AUTO_ARG_SIGNAL_SET_NAME), t(VOKR_AUTO_ARG_TRIGGER_NAME),
                                         t(VOKR_AUTO_ARG_LOG_NAME)));
    case VOKR_TCL_DELETE_ALL_NODE_IN_VIEW: return c.done(f->test_delete_all_nodes());
    case VOKR_TCL_TEST_UPDATE_WAVEFORM_MENU: return c.done(f->test_update_waveform_menu());
    default: return c.fail("unknown command");
    }
}

}  // namespace

std::string vokr_tcl_escape_value(const std::string& value)
{
    std::string escaped;
    escaped.reserve(value.size());
    for (char ch : value) {
        if (ch == '\\' || ch == '"' || ch == '$' || ch == '[' || ch == ']')
            escaped += '\\';
        escaped += ch;
    }
    return escaped;
}

MSG_GEN_LOCATION_SCHEMA* vokr_tcl_get_location_schema(const std::string& schema_text, QString* error)
{
    Tcl_Interp* interp = yuvr_get_interpreter();
    if (!interp) {
        *error = "no Tcl interpreter";
        return nullptr;
    }
    const std::string list = "func " + schema_text;
    int count = 0;
    const char** words = nullptr;
    if (Tcl_SplitList(interp, list.c_str(), &count, &words) != TCL_OK) {
        *error = QString("the location schema is not a Tcl list: ") + Tcl_GetStringResult(interp);
        return nullptr;
    }
    const int code = MSG_LOCATION_SCHEMA::from_tcl_string(nullptr, interp, count, words);
    Tcl_Free(reinterpret_cast<char*>(words));
    if (code != TCL_OK) {
        *error = QString("the location schema cannot be read: ") + Tcl_GetStringResult(interp);
        return nullptr;
    }
    std::unique_ptr<MSG_LOCATION_SCHEMA> schema(
        static_cast<MSG_LOCATION_SCHEMA*>(yuvr_get_ptr(Tcl_GetStringResult(interp))));
    Tcl_ResetResult(interp);
    if (!schema || schema->get_type() != MSG_GEN_LOCATION_SCHEMA_TYPE) {
        *error = "the location schema is not a generic one";
        return nullptr;
    }
    return static_cast<MSG_GEN_LOCATION_SCHEMA*>(schema.release());
}

int vokr_tcl_run_command(int command, const YUVR_ARGS& args, Tcl_Interp* interp)
{
    auto* frame = qobject_cast<VOKR_FRAME_WND*>(wex_get_main_frame_wnd());
    const CALL call{command, args, interp, frame};
    if (!frame)
        return call.fail("no editor window is open");
    if (frame->get_tx_manager()->is_empty() && needs_session(command))
        return call.fail("the editor has no session");
    // A scripted answer that fitted no prompt of the command is the script's mistake, told as its error.
    return msg_tcl_script_code(interp, dispatch(call));
}
