// The shell's test commands that act on the editor: frame actions, modal dialogs, the window's
// own widgets, node selection and the simulated target. Every failure is a Tcl error.
#include "host_shell.h"

#include "daw.h"
#include "pirq.h"
#include "vokr_edit.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_number.h"
#include "vokr_object.h"
#include "vokr_object_widget.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"
#include "wex.h"
#include "yuvr.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QValidator>

#include <algorithm>
#include <list>
#include <vector>

namespace {

// ---- identifiers --------------------------------------------------------------------------------------------

struct ACTION_NAME {
    const char* name;
    PIRQ_ACTION_ENUM id;
};
#define A(name)                   \
    {                             \
#name, PIRQ_ACTION_##name \
    }
const ACTION_NAME ACTION_NAMES[] = {
    A(APPEND),
    A(ARRANGE_ALL_OBJECTS),
    A(COLLAPSE),
    A(DETACH),
    A(EXPAND),
    A(INSERT),
    A(MOVE_DOWN),
    A(MOVE_UP),
    A(OBJECT_PROPERTIES),
    A(REMOVE),
    A(RENAME_OBJECT),
    A(AUTORUN),
    A(READ_DATA),
    A(RUN),
    A(STOP),
    A(COPY),
    A(CUT),
    A(LOGGING),
    A(SAVE_TO_LOG),
    A(DELETE),
    A(EXPORT),
    A(FIND),
    A(FIND_NEXT),
    A(DUPLICATE),
    A(ADD_INSTANCE),
    A(DELETE_INSTANCE),
    A(DISABLE_POWER_UP_TRIGGER),
    A(DUPLICATE_TRIGGER),
    A(ENABLE_POWER_UP_TRIGGER),
    A(RENAME_INSTANCE),
    A(LOCK_MODE_ALL),
    A(LOCK_MODE_INCREMENTAL),
    A(LOCK_MODE_TRIGGER),
    A(INSERT_NODES),
    A(INSERT_STATE_MACHINE_NODES),
    A(DISPLAY_ASCII),
    A(DISPLAY_UNSIGNED_BAR),
    A(DISPLAY_BINARY),
    A(DISPLAY_DOUBLE),
    A(DISPLAY_FLOAT),
    A(DISPLAY_HEX),
    A(DISPLAY_UNSIGNED_LINE),
    A(DISPLAY_SYMBOLIC),
    A(DISPLAY_OCTAL),
    A(DISPLAY_SIGNED_BAR),
    A(DISPLAY_SIGNED_LINE),
    A(DISPLAY_SIGNED_MAGNITUDE),
    A(DISPLAY_SIGNED_2S),
    A(DISPLAY_UNSIGNED),
    A(CREATE_LIST_FILE),
    A(DISABLE_DATA),
    A(ENABLE_DATA),
    A(REMOVE_ALIAS),
    A(FIND_BUS_VALUE),
    A(FIND_NEXT_BUS_VALUE),
    A(FIND_PREVIOUS_BUS_VALUE),
    A(GROUP),
    A(LSB_ON_TOP),
    A(MNEMONIC_TABLE_SETUP),
    A(MSB_ON_TOP),
    A(PASTE_ALIAS),
    A(PLUGIN_OPTIONS),
    A(RECREATE_STATE_MACHINE_MNEMONICS),
    A(RENAME),
    A(SET_ALIAS),
    A(DISABLE_STORAGE_QUALIFIER),
    A(ENABLE_STORAGE_QUALIFIER),
    A(DISABLE_TRANSITIONAL),
    A(ENABLE_TRANSITIONAL),
    A(DISABLE_TRIGGER_ENABLE),
    A(ENABLE_TRIGGER_ENABLE),
    A(UNGROUP),
    A(PASTE),
    A(REDO),
    A(PROPERTIES),
    A(TOOLBAR_FIND),
    A(TOOLBAR_COMPILE),
    A(TOOLBAR_RECOMPILE),
    A(TOOLBAR_CENTER_ON_TRIGGER),
    A(SELECT_ALL),
    A(UNDO),
    A(DATA_LOG_PANE),
    A(HIERARCHY_PANE),
    A(INSTANCE_PANE),
    A(TOOLBAR_PANE),
    A(CONFIG_PANE),
    A(CENTER_ON_TRIGGER),
    A(FIT_IN_WINDOW),
    A(ZOOM_IN),
    A(ZOOM_OUT),
};
#undef A

// An action's number, or its name with or without the "PIRQ_ACTION_" prefix.
bool parse_action_id(Tcl_Obj* word, int* id)
{
    if (Tcl_GetIntFromObj(nullptr, word, id) == TCL_OK)
        return *id >= 0;
    QString name = QString::fromUtf8(Tcl_GetString(word));
    if (name.startsWith("PIRQ_ACTION_"))
        name.remove(0, 12);
    for (const ACTION_NAME& entry : ACTION_NAMES)
        if (name == entry.name) {
            *id = entry.id;
            return true;
        }
    return false;
}

QString from_tcl(Tcl_Obj* word)
{
    std::string text;
    return yuvr_get_utf8(word, &text) ? QString::fromStdString(text) : QString();
}

// Pairs of widget name and value from a Tcl list.
bool parse_fields(Tcl_Interp* interp, Tcl_Obj* list, std::vector<std::pair<QString, QString>>* fields)
{
    int count = 0;
    Tcl_Obj** words = nullptr;
    if (Tcl_ListObjGetElements(interp, list, &count, &words) != TCL_OK)
        return false;
    if (count % 2) {
        host_shell_fail(interp, "widget values must be pairs of name and value");
        return false;
    }
    for (int i = 0; i < count; i += 2)
        fields->emplace_back(from_tcl(words[i]), from_tcl(words[i + 1]));
    return true;
}

// ---- widgets ------------------------------------------------------------------------------------------------

bool set_line_edit(QLineEdit* edit, const QString& value, QString* error)
{
    if (edit->isReadOnly()) {
        *error = "is read-only";
        return false;
    }
    QString text = value;
    int position = 0;
    if (edit->validator() && edit->validator()->validate(text, position) == QValidator::Invalid) {
        *error = QString("does not take \"%1\"").arg(value);
        return false;
    }
    // Typed with the focus in the edit of the window in front, as a person types: some dialogs
    // (the file dialog) follow the text differently without it.
    QApplication::setActiveWindow(edit->window());
    edit->setFocus(Qt::OtherFocusReason);
    edit->setText(value);
    emit edit->editingFinished();
    return true;
}

// An item by its text, else by the one item its text begins, else by its index.
bool set_combo_box(QComboBox* combo, const QString& value, QString* error)
{
    int index = combo->findText(value, Qt::MatchFixedString);
    QList<int> begun;
    for (int i = 0; index < 0 && !value.isEmpty() && i < combo->count(); ++i)
        if (combo->itemText(i).startsWith(value, Qt::CaseInsensitive))
            begun << i;
    if (begun.size() > 1) {
        *error = QString("has several items beginning \"%1\"").arg(value);
        return false;
    }
    if (begun.size() == 1)
        index = begun.first();
    bool number = false;
    const int given = value.toInt(&number);
    if (index < 0 && number && given >= 0 && given < combo->count())
        index = given;
    if (index < 0 && combo->isEditable()) {
        combo->setEditText(value);
        emit combo->textActivated(value);
        return true;
    }
    if (index < 0) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        *error = QString("has no item \"%1\"; its items are: %2").arg(value, items.join(", "));
        return false;
    }
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    emit combo->textActivated(combo->itemText(index));
    return true;
}

template <class SPIN, class NUMBER> bool set_spin_box(SPIN* spin, NUMBER number, bool valid, QString* error)
{
    if (!valid || number < spin->minimum() || number > spin->maximum()) {
        *error = QString("takes a number from %1 to %2").arg(spin->minimum()).arg(spin->maximum());
        return false;
    }
    spin->setValue(number);
    emit spin->editingFinished();
    return true;
}

bool set_button(QAbstractButton* button, const QString& value, QString* error)
{
    const QString word = value.toLower();
    const bool on = word == "1" || word == "true" || word == "yes" || word == "on";
    if (!button->isCheckable() || (!on && word != "0" && word != "false" && word != "no" && word != "off")) {
        *error = button->isCheckable() ? "takes a boolean" : "is not a check box or radio button";
        return false;
    }
    if (button->isChecked() != on)
        button->click();
    if (button->isChecked() != on) {
        *error = "cannot be cleared by a click (a radio button)";
        return false;
    }
    return true;
}

bool set_tab_widget(QTabWidget* tabs, const QString& value, QString* error)
{
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->tabText(i).remove('&').compare(value, Qt::CaseInsensitive) == 0) {
            tabs->setCurrentIndex(i);
            return true;
        }
    *error = QString("has no tab \"%1\"").arg(value);
    return false;
}

// A widget named by its object name under the root; the first shown one when several are.
QWidget* find_named(QWidget* root, const QString& name)
{
    const QList<QWidget*> found = root->findChildren<QWidget*>(name);
    for (QWidget* widget : found)
        if (widget->isVisibleTo(root))
            return widget;
    return found.isEmpty() ? nullptr : found.first();
}

QString named_widgets(QWidget* root)
{
    QStringList names;
    for (QWidget* widget : root->findChildren<QWidget*>())
        if (!widget->objectName().isEmpty() && !widget->objectName().startsWith("qt_"))
            names << widget->objectName();
    names.removeDuplicates();
    return names.isEmpty() ? QString("none") : names.join(", ");
}

bool set_fields(QWidget* root, const std::vector<std::pair<QString, QString>>& fields, QString* error)
{
    for (const auto& [name, value] : fields) {
        QWidget* widget = find_named(root, name);
        if (!widget) {
            *error = QString("no widget named \"%1\"; the named widgets are: %2").arg(name, named_widgets(root));
            return false;
        }
        QString reason;
        if (!host_shell_set_widget(widget, value, &reason)) {
            *error = QString("widget \"%1\" %2").arg(name, reason);
            return false;
        }
        QCoreApplication::processEvents();  // a value may rebuild the widgets that follow
    }
    return true;
}

QAbstractButton* find_button(QWidget* root, const QString& name)
{
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>())
        if (button->objectName() == name || button->text().remove('&').compare(name, Qt::CaseInsensitive) == 0)
            return button;
    return nullptr;
}

// ---- actions ------------------------------------------------------------------------------------------------

// The enable rules of the frame, its panes and context menus run when their menus are about to
// show; running them all leaves every action as a person opening the menu would find it.
void refresh_enablers(VOKR_FRAME_WND* frame)
{
    QCoreApplication::processEvents();
    frame->on_update(nullptr, 0);
    for (QMenu* menu : frame->findChildren<QMenu*>())
        emit menu->aboutToShow();
}

QWidget* focus_target(VOKR_FRAME_WND* frame, const QString& where)
{
    VOKR_LAYOUT_WIDGET* layout = frame->get_layout_widget();
    if (where == "canvas")
        return layout ? layout->get_object_widget() : nullptr;
    if (where == "view")
        return layout ? layout->get_current_view() : nullptr;
    return frame;
}

// ::korvane::shell::action ID ?-focus view|canvas|window? ?-data VALUE?
// ID is an action's number or PIRQ_ACTION_ name (with or without the prefix), or the name of one
// of the suite's standard entries. Runs the frame's action as its menu entry would: the focus goes where the action
// belongs (the node list view unless told otherwise), the enable rules run, and a disabled or absent action is an
// error. With -data the member of the action's exclusive group carrying that value runs (a trigger condition, a display
// format).
int action_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    int id = 0;
    QString where = "view", data;
    bool has_data = false;
    if (objc < 2 || objc % 2)
        return host_shell_fail(interp, "usage: action id ?-focus view|canvas|window? ?-data value?");
    for (int i = 2; i < objc; i += 2) {
        const QString option = from_tcl(objv[i]);
        if (option == "-focus")
            where = from_tcl(objv[i + 1]);
        else if (option == "-data")
            data = from_tcl(objv[i + 1]), has_data = true;
        else
            return host_shell_fail(interp, QString("unknown option \"%1\": must be -focus or -data").arg(option));
    }
    // The suite's own entries go by their names ("PIRQ_SAVE_ACTION").
    const QString name = from_tcl(objv[1]);
    const bool standard = name.startsWith("PIRQ_") && name.endsWith("_ACTION");
    if (!standard && !parse_action_id(objv[1], &id))
        return host_shell_fail(interp, QString("unknown action \"%1\"").arg(name));
    VOKR_FRAME_WND* frame = host_shell_frame(interp);
    if (!frame)
        return TCL_ERROR;
    QWidget* target = focus_target(frame, where);
    if (!target || (where != "view" && where != "canvas" && where != "window"))
        return host_shell_fail(interp, QString("cannot give the focus to \"%1\"").arg(where));
    QApplication::setActiveWindow(frame);
    target->setFocus(Qt::OtherFocusReason);
    refresh_enablers(frame);
    // The canvas runs its enablers when its own context menu opens, not through a menu's signal.
    if (where == "canvas")
        static_cast<VOKR_OBJECT_WIDGET*>(target)->update_all_actions();
    // The manager makes its shared actions on first use, so asking for one never adds an action
    // the window would not have made itself.
    QAction* action = standard ? frame->get_standard_action(name)
                               : frame->get_tx_manager()->get_action(static_cast<PIRQ_ACTION_ENUM>(id), QVariant());
    if (!action)
        return host_shell_fail(interp, QString("the window has no action %1").arg(name));
    if (has_data) {
        QAction* member = nullptr;
        for (QAction* other : action->actionGroup() ? action->actionGroup()->actions() : QList<QAction*>{action})
            if (other->data().toString() == data)
                member = other;
        if (!member)
            return host_shell_fail(interp, QString("action %1 has no entry with the data \"%2\"").arg(name, data));
        action = member;
    }
    if (!action->isEnabled())
        return host_shell_fail(interp, QString("action %1 is disabled").arg(name));
    action->trigger();
    QCoreApplication::processEvents();
    return TCL_OK;
}

// ---- modal dialogs ------------------------------------------------------------------------------------------

// One answer being given: whether its dialog showed and what went wrong in it.
struct ANSWER {
    int token = 0;
    bool shown = false;
    QString error;
};
// A list, not a vector: an answer's dialog may run another answer_dialog in its hands, whose
// answer must not move the one under way.
std::list<ANSWER>& answers()
{
    static std::list<ANSWER> list;
    return list;
}
int next_token = 0;

ANSWER* find_answer(int token)
{
    for (ANSWER& answer : answers())
        if (answer.token == token)
            return &answer;
    return nullptr;
}

// Presses the buttons in turn (by object name or text; "accept" and "reject" close the dialog
// directly); the last must have closed it.
bool press_buttons(QDialog* dialog, const QStringList& names, QString* error)
{
    for (const QString& name : names) {
        if (!dialog->isVisible()) {
            *error = QString("the dialog closed before \"%1\" was pressed").arg(name);
            return false;
        }
        if (name == "accept" || name == "reject") {
            name == "accept" ? dialog->accept() : dialog->reject();
            continue;
        }
        QAbstractButton* button = find_button(dialog, name);
        if (!button || !button->isEnabled()) {
            *error = QString(button ? "button \"%1\" is disabled" : "no button \"%1\"").arg(name);
            return false;
        }
        button->click();
    }
    if (dialog->isVisible()) {
        *error = QString("the dialog is still open after %1")
                     .arg(names.isEmpty() ? "its values were set" : "\"" + names.last() + "\"");
        return false;
    }
    return true;
}

// ::korvane::shell::fill_dialog TOKEN FIELDS BUTTONS ?HANDS?: the follow-up run inside the modal
// dialog that answer_dialog waits for: the fields, then the hands' script, then the buttons. A
// failure rejects the dialog so that no run waits on it.
int fill_dialog_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    int token = 0, count = 0;
    Tcl_Obj** words = nullptr;
    std::vector<std::pair<QString, QString>> fields;
    if (objc != 4 && objc != 5)
        return host_shell_fail(interp, "usage: fill_dialog token fields buttons ?hands?");
    if (Tcl_GetIntFromObj(interp, objv[1], &token) != TCL_OK || !parse_fields(interp, objv[2], &fields) ||
        Tcl_ListObjGetElements(interp, objv[3], &count, &words) != TCL_OK)
        return TCL_ERROR;
    ANSWER* answer = find_answer(token);
    if (!answer)  // the command that asked for it has ended
        return TCL_OK;
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog) {
        answer->error = "no modal dialog is open";
        return host_shell_fail(interp, answer->error);
    }
    answer->shown = true;
    QStringList buttons;
    for (int i = 0; i < count; ++i)
        buttons << from_tcl(words[i]);
    const QString title = dialog->windowTitle();
    QString error;
    bool done = set_fields(dialog, fields, &error);
    if (done && objc == 5 && Tcl_EvalObjEx(interp, objv[4], TCL_EVAL_GLOBAL) != TCL_OK) {
        error = QString::fromUtf8(Tcl_GetStringResult(interp));
        done = false;
    }
    if (done && press_buttons(dialog, buttons, &error))
        return TCL_OK;
    answer->error = QString("dialog \"%1\": %2").arg(title, error);
    if (dialog->isVisible())
        dialog->reject();
    return host_shell_fail(interp, answer->error);
}

// ::korvane::shell::answer_dialog ?-timeout MS? ?-hands HANDS? FIELDS BUTTONS SCRIPT
// Runs the script, which is to open a modal dialog; once it shows, its widgets take the values
// (pairs of object name and value), the hands' script runs in it (clicks and keys on its widgets)
// and the buttons are pressed in turn. An error when no dialog showed or the answer failed.
int answer_dialog_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    const char* usage = "usage: answer_dialog ?-timeout ms? ?-hands script? fields buttons script";
    int timeout = 5000, first = 1;
    Tcl_Obj* hands = nullptr;
    for (; first + 1 < objc - 3; first += 2) {
        const QString option = from_tcl(objv[first]);
        if (option == "-hands") {
            hands = objv[first + 1];
        } else if (option != "-timeout") {
            return host_shell_fail(interp, usage);
        } else if (Tcl_GetIntFromObj(interp, objv[first + 1], &timeout) != TCL_OK || timeout < 1) {
            return timeout < 1 ? host_shell_fail(interp, "the timeout must be positive") : TCL_ERROR;
        }
    }
    if (objc - first != 3)
        return host_shell_fail(interp, usage);
    std::vector<std::pair<QString, QString>> fields;
    if (!parse_fields(interp, objv[first], &fields))
        return TCL_ERROR;
    const int token = ++next_token;
    answers().push_back({token, false, QString()});
    // A list, so that no value is ever read as Tcl code.
    Tcl_Obj* follow_up = Tcl_NewListObj(0, nullptr);
    Tcl_IncrRefCount(follow_up);
    for (Tcl_Obj* word :
         {Tcl_NewStringObj("::korvane::shell::fill_dialog", -1), Tcl_NewIntObj(token), objv[first], objv[first + 1]})
        Tcl_ListObjAppendElement(nullptr, follow_up, word);
    if (hands)
        Tcl_ListObjAppendElement(nullptr, follow_up, hands);
    wex_prepare_for_modal_dlg_if_in_test(Tcl_GetString(follow_up), timeout);
    Tcl_DecrRefCount(follow_up);
    int status = TCL_OK;
    {
        WEX_MODAL_COMMAND_SCOPE scope;  // a follow-up that no dialog took ends with the script
        status = Tcl_EvalObjEx(interp, objv[first + 2], 0);
    }
    const ANSWER answer = *find_answer(token);
    answers().erase(
        std::find_if(answers().begin(), answers().end(), [token](const ANSWER& a) { return a.token == token; }));
    if (status != TCL_OK)
        return status;
    if (!answer.error.isEmpty())
        return host_shell_fail(interp, answer.error);
    if (!answer.shown)
        return host_shell_fail(interp, QString("no dialog showed while running: %1").arg(from_tcl(objv[first + 2])));
    Tcl_ResetResult(interp);
    return TCL_OK;
}

// ---- the window's widgets, selection, target ----------------------------------------------------------------

// ::korvane::shell::set_widgets FIELDS: widgets of the editor's window (panels, not dialogs).
int set_widgets_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    if (objc != 2)
        return host_shell_fail(interp, "usage: set_widgets {name value ...}");
    std::vector<std::pair<QString, QString>> fields;
    VOKR_FRAME_WND* frame = parse_fields(interp, objv[1], &fields) ? host_shell_frame(interp) : nullptr;
    if (!frame)
        return TCL_ERROR;
    QString error;
    if (!set_fields(frame, fields, &error))
        return host_shell_fail(interp, error);
    QCoreApplication::processEvents();
    return TCL_OK;
}

// ::korvane::shell::select ?NAME ...?: selects exactly the named rows of the view's node list
// (by node name or alias).
int select_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    VOKR_VIEW* view = host_shell_view(interp);
    if (!view)
        return TCL_ERROR;
    VOKR_TX_MANAGER* manager = host_shell_frame(interp)->get_tx_manager();
    KSM_TX_SIGNAL_NODES* list = view->current_node_table();
    std::vector<int> rows;
    for (int i = 1; i < objc; ++i) {
        const QByteArray name = from_tcl(objv[i]).toUtf8();
        int row = list->find_node(name.constData());
        for (int r = 0; row < 0 && r < list->get_num_nodes(); ++r)
            if (name == list->get_node_alias(r))
                row = r;
        if (row < 0)
            return host_shell_fail(interp, QString("no node \"%1\" in the list").arg(QString::fromUtf8(name)));
        rows.push_back(row);
    }
    manager->select_node_range(0, list->get_num_nodes() - 1, false);
    for (int row : rows)
        manager->set_node_selection_status(row, true);
    view->update();
    return TCL_OK;
}

// ::korvane::shell::set_value BUS LEVEL VALUE: types the value into the bus's cell of a trigger
// level (a number in the bus's radix, or a pattern of 0 1 X L H R F E, most significant first)
// and commits it as the cell's editor does, as one undo unit.
int set_value_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    int level = 0;
    if (objc != 4 || Tcl_GetIntFromObj(interp, objv[2], &level) != TCL_OK)
        return objc != 4 ? host_shell_fail(interp, "usage: set_value node level value") : TCL_ERROR;
    VOKR_VIEW* view = host_shell_view(interp);
    if (!view)
        return TCL_ERROR;
    VOKR_TX_MANAGER* manager = host_shell_frame(interp)->get_tx_manager();
    const KSM_TX_TRIGGER* trigger = manager->get_trigger_nodes(-1);
    const int node = view->current_node_table()->find_node(from_tcl(objv[1]).toUtf8().constData());
    const QByteArray value = Tcl_GetString(objv[3]);
    if (node < 0)
        return host_shell_fail(interp, QString("no node \"%1\" in the list").arg(Tcl_GetString(objv[1])));
    const KSM_DATA_NODE_DISPLAY_TYPE type = view->current_node_table()->get_display_type(node);
    if (type != KSM_NTYPE_GROUP_EXPANDED && type != KSM_NTYPE_GROUP_COLLAPSED)
        return host_shell_fail(
            interp, QString("\"%1\" is not a bus: only a bus's cell takes a typed value").arg(Tcl_GetString(objv[1])));
    if (!trigger || level < 0 || level >= trigger->get_num_levels())
        return host_shell_fail(interp, QString("the trigger has no level %1").arg(level));
    if (value.isEmpty() || value.size() > MAX_BUS_WIDTH)
        return host_shell_fail(interp, "the value must have 1 to 4096 characters");
    if (!view->is_editable())
        return host_shell_fail(interp, "the cell takes no value while the instance captures or its view is locked");
    const QString admitted = VOKR_EDIT::trigger_value_characters(manager, node);
    for (const char c : value)
        if (!admitted.isEmpty() && !admitted.contains(QLatin1Char(c)))
            return host_shell_fail(interp, QString("the cell does not take the character \"%1\"").arg(QLatin1Char(c)));
    manager->get_tx_instance()->begin_action();
    const bool set = VOKR_NUMBER(value.constData()).set_string(manager, node, level, -1);
    manager->end_action(VOKR_CHECK_IN_POWER_UP_VIEW, -1);
    manager->update_all_views(nullptr, VOKR_HINT_REFRESH_VIEW);
    if (!set)
        return host_shell_fail(interp, QString("the cell does not take \"%1\"").arg(QString::fromUtf8(value)));
    return TCL_OK;
}

// The canvas box of that name, or the result box for an empty name.
VOKR_OBJECT* canvas_box(const QList<VOKR_OBJECT*>* boxes, const QString& name)
{
    for (VOKR_OBJECT* box : *boxes) {
        QString text;
        box->get_string_property_text(VOKR_STRING_NAME, &text, VOKR_BANK_CURRENT);
        if (name.isEmpty() ? box->get_type() == VOKR_TYPE_RESULT : text == name)
            return box;
    }
    return nullptr;
}

// ::korvane::shell::drop_nodes ?BOX?: drops the rows selected in the node list onto the canvas
// box of that name (the result box without one), as a drag from the list would; an error when
// the drop is refused.
int drop_nodes_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    VOKR_FRAME_WND* frame = objc <= 2 ? host_shell_frame(interp) : nullptr;
    if (!frame)
        return objc <= 2 ? TCL_ERROR : host_shell_fail(interp, "usage: drop_nodes ?box?");
    VOKR_OBJECT_WIDGET* canvas = frame->get_layout_widget() ? frame->get_layout_widget()->get_object_widget() : nullptr;
    const QString name = objc == 2 ? from_tcl(objv[1]) : QString();
    VOKR_OBJECT* box = canvas && canvas->get_objects() ? canvas_box(canvas->get_objects(), name) : nullptr;
    if (!box)
        return host_shell_fail(interp, QString("the canvas shows no box \"%1\"").arg(name.isEmpty() ? "Result" : name));
    const QPoint centre = box->get_rect().center();
    const double scale = canvas->to_canvas(QPoint(1000, 0)).x() / 1000.0;
    const QPoint at(int(centre.x() / scale), int(centre.y() / scale));
    QMimeData data;
    data.setData(VOKR_OBJECT_WIDGET::NODE_FORMAT, QByteArray());
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &enter);
    if (enter.dropAction() == Qt::IgnoreAction)
        return host_shell_fail(interp, "the canvas refuses the drop");
    QDropEvent drop(at, enter.dropAction(), &data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &drop);
    QCoreApplication::processEvents();
    return TCL_OK;
}

// ::korvane::shell::wait_acquisition ?TIMEOUT_MS?: processes events (and in the simulated
// target's deterministic mode delivers its calls) until no instance of the window acquires;
// an error when one still does at the timeout.
int wait_acquisition_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    int timeout = 10000;
    if (objc > 2 || (objc == 2 && Tcl_GetIntFromObj(interp, objv[1], &timeout) != TCL_OK))
        return objc > 2 ? host_shell_fail(interp, "usage: wait_acquisition ?timeout_ms?") : TCL_ERROR;
    VOKR_FRAME_WND* frame = host_shell_frame(interp);
    if (!frame)
        return TCL_ERROR;
    QElapsedTimer clock;
    clock.start();
    const bool deterministic = daw_sim::mode() == daw_sim::DETERMINISTIC;
    do {
        if (deterministic)
            daw_sim::drain();
        QEventLoop pause;
        QTimer::singleShot(10, &pause, &QEventLoop::quit);
        pause.exec();
    } while (frame->get_tx_manager()->is_any_instance_acquiring() && clock.elapsed() < timeout);
    if (frame->get_tx_manager()->is_any_instance_acquiring())
        return host_shell_fail(interp, QString("an acquisition is still running after %1 ms").arg(timeout));
    return TCL_OK;
}

// ::korvane::shell::close_window: closes the current editor window as its close box would (a
// modified session is offered for saving); an error when the window stays open.
int close_window_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const[])
{
    VOKR_FRAME_WND* frame = objc == 1 ? host_shell_frame(interp) : nullptr;
    if (!frame)
        return objc == 1 ? TCL_ERROR : host_shell_fail(interp, "usage: close_window");
    const bool deletes = frame->testAttribute(Qt::WA_DeleteOnClose);
    if (!frame->close())
        return host_shell_fail(interp, "the window refused to close");
    if (deletes)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    else
        delete frame;
    return TCL_OK;
}

// ::korvane::shell::windows ?INDEX?: the files of the open editor windows, oldest first (an empty
// word for a window without a file); with INDEX that window comes to the front, as a click on it
// would bring it, and the shell's and the module's commands act on it from then on.
int windows_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    int index = -1;
    if (objc > 2 || (objc == 2 && Tcl_GetIntFromObj(interp, objv[1], &index) != TCL_OK))
        return objc > 2 ? host_shell_fail(interp, "usage: windows ?index?") : TCL_ERROR;
    std::vector<VOKR_FRAME_WND*> frames;
    for (WEX_FRAME_WND* frame : wex_get_opened_frame_wnd_list())
        if (auto* editor = qobject_cast<VOKR_FRAME_WND*>(frame))
            frames.push_back(editor);
    if (objc == 2) {
        if (index < 0 || index >= int(frames.size()))
            return host_shell_fail(interp, QString("there is no window %1: %2 are open").arg(index).arg(frames.size()));
        frames[index]->show();
        // A window the application still counts as active (a hand command made it so before
        // another window opened) hears of its activation only when it is made active anew.
        if (QApplication::activeWindow() == frames[index])
            QApplication::setActiveWindow(nullptr);
        QApplication::setActiveWindow(frames[index]);
        QCoreApplication::processEvents();
        if (wex_get_main_frame_wnd() != frames[index])
            return host_shell_fail(interp, QString("window %1 did not come to the front").arg(index));
    }
    Tcl_Obj* files = Tcl_NewListObj(0, nullptr);
    for (VOKR_FRAME_WND* frame : frames)
        Tcl_ListObjAppendElement(nullptr, files, yuvr_new_utf8_obj(frame->get_qstring_filepath().toStdString()));
    Tcl_SetObjResult(interp, files);
    return TCL_OK;
}

}  // namespace

int host_shell_fail(Tcl_Interp* interp, const QString& message)
{
    Tcl_SetObjResult(interp, yuvr_new_utf8_obj(message.toStdString()));
    return TCL_ERROR;
}

// The window's panes follow the session through queued updates: they are let run first, with
// the window shown, as a person would see it.
VOKR_FRAME_WND* host_shell_frame(Tcl_Interp* interp)
{
    auto* frame = qobject_cast<VOKR_FRAME_WND*>(wex_get_main_frame_wnd());
    if (!frame)
        return host_shell_fail(interp, "no editor window is open"), nullptr;
    if (!frame->isVisible())
        frame->show();
    QCoreApplication::processEvents();
    return frame;
}

VOKR_VIEW* host_shell_view(Tcl_Interp* interp)
{
    VOKR_FRAME_WND* frame = host_shell_frame(interp);
    if (!frame)
        return nullptr;
    VOKR_VIEW* view = frame->get_layout_widget() ? frame->get_layout_widget()->get_current_view() : nullptr;
    if (!view || !view->current_node_table())
        host_shell_fail(interp, "the window shows no node list");
    return view && view->current_node_table() ? view : nullptr;
}

bool host_shell_set_widget(QWidget* widget, const QString& value, QString* error)
{
    bool number = false;
    if (!widget->isEnabled()) {
        *error = "is disabled";
        return false;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return set_line_edit(edit, value, error);
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return set_combo_box(combo, value, error);
    // The number is read before the call: the order in which a call's arguments are worked out
    // is the compiler's.
    if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
        const int read = value.toInt(&number);
        return set_spin_box(spin, read, number, error);
    }
    if (auto* spin = qobject_cast<QDoubleSpinBox*>(widget)) {
        const double read = value.toDouble(&number);
        return set_spin_box(spin, read, number, error);
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return set_button(button, value, error);
    if (auto* tabs = qobject_cast<QTabWidget*>(widget))
        return set_tab_widget(tabs, value, error);
    if (auto* text = qobject_cast<QPlainTextEdit*>(widget)) {
        text->setPlainText(value);
        return true;
    }
    if (auto* text = qobject_cast<QTextEdit*>(widget)) {
        text->setPlainText(value);
        return true;
    }
    // A compound editor (a line edit with a browse button) takes the text of its one line edit.
    const QList<QLineEdit*> edits = widget->findChildren<QLineEdit*>();
    if (edits.size() == 1)
        return set_line_edit(edits.first(), value, error);
    *error = QString("is a %1, which takes no value").arg(widget->metaObject()->className());
    return false;
}

void host_shell_register_commands(Tcl_Interp* interp)
{
    Tcl_Eval(interp, "namespace eval ::korvane::shell {}");
    const struct {
        const char* name;
        Tcl_ObjCmdProc* proc;
    } commands[] = {
        {"action", action_cmd},
        {"answer_dialog", answer_dialog_cmd},
        {"fill_dialog", fill_dialog_cmd},
        {"set_widgets", set_widgets_cmd},
        {"select", select_cmd},
        {"set_value", set_value_cmd},
        {"wait_acquisition", wait_acquisition_cmd},
        {"close_window", close_window_cmd},
        {"drop_nodes", drop_nodes_cmd},
        {"windows", windows_cmd},
    };
    for (const auto& command : commands)
        Tcl_CreateObjCommand(interp, (std::string("::korvane::shell::") + command.name).c_str(), command.proc, nullptr,
                             nullptr);
    host_shell_register_state_commands(interp);
    host_shell_register_input_commands(interp);
    host_shell_register_capture_commands(interp);
    host_shell_register_watchdog_command(interp);
    host_shell_guard_commands(interp);
}
