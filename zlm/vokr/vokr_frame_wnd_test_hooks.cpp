// The frame's hooks for test scripts: synthetic mouse, key and focus events for the advanced
// trigger editor, view commands that open dialogs, and the filling of the open dialogs. A hook
// that finds no layout or not the dialog it expects answers why instead of acting.
#include "vokr_find_dlg.h"
#include "vokr_frame_wnd.h"
#include "vokr_insert_time_bar_dlg.h"
#include "vokr_layout_widget.h"
#include "vokr_mnemonic_dlg.h"
#include "vokr_mnemonic_import_dlg.h"
#include "vokr_mnemonic_new_table_dlg.h"
#include "vokr_mnemonic_table_view.h"
#include "vokr_object_properties_dlg.h"
#include "vokr_object_widget.h"
#include "vokr_parameter_widget.h"
#include "vokr_test.h"
#include "vokr_time_units_dlg.h"
#include "vokr_trigger_value_dlg.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTabWidget>

namespace {

const QString NO_LAYOUT = QStringLiteral("the editor has no layout");

// A number option as the hooks read it: anything but a decimal number counts as 0.
int decimal(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

QString no_dialog(const char* name) { return QStringLiteral("no %1 dialog is open").arg(name); }

// The dialog in front, when it is of the expected class.
template <class DIALOG> DIALOG* front_dialog() { return qobject_cast<DIALOG*>(vokr_test_get_active_dialog()); }
template <class DIALOG> DIALOG* modal_dialog()
{
    return wex_get_app() ? qobject_cast<DIALOG*>(QApplication::activeModalWidget()) : nullptr;
}

void set_combo_index(QComboBox* combo, int index)
{
    if (combo && index >= 0 && index < combo->count())
        combo->setCurrentIndex(index);
}

}  // namespace

int VOKR_FRAME_WND::test_key_code(const QString& key)
{
    static const std::pair<const char*, int> keys[] = {
        {"D", Qt::Key_D},       {"I", Qt::Key_I},         {"R", Qt::Key_R},
        {"A", Qt::Key_A},       {"Up", Qt::Key_Up},       {"Down", Qt::Key_Down},
        {"Left", Qt::Key_Left}, {"Right", Qt::Key_Right}, {"Enter", Qt::Key_Enter},
    };
    for (const auto& k : keys)
        if (key == QLatin1String(k.first))
            return k.second;
    return Qt::Key_Escape;
}

Qt::KeyboardModifiers VOKR_FRAME_WND::test_modifiers(int code)
{
    switch (code) {
    case 1: return Qt::NoModifier;
    case 2: return Qt::ShiftModifier;
    case 3: return Qt::AltModifier;
    default: return Qt::ControlModifier;
    }
}

int VOKR_FRAME_WND::test_action_id(const QString& action)
{
    static const std::pair<const char*, PIRQ_ACTION_ENUM> actions[] = {
        {"arrange all objects", PIRQ_ACTION_ARRANGE_ALL_OBJECTS},
        {"detach", PIRQ_ACTION_DETACH},
        {"insert", PIRQ_ACTION_INSERT},
        {"remove", PIRQ_ACTION_REMOVE},
        {"append", PIRQ_ACTION_APPEND},
        {"move up", PIRQ_ACTION_MOVE_UP},
        {"move down", PIRQ_ACTION_MOVE_DOWN},
        {"expand", PIRQ_ACTION_EXPAND},
        {"collapse", PIRQ_ACTION_COLLAPSE},
        {"properties", PIRQ_ACTION_OBJECT_PROPERTIES},
    };
    for (const auto& a : actions)
        if (action == QLatin1String(a.first))
            return a.second;
    return 0;
}

// ---- the advanced trigger editor ----------------------------------------------------------------------------

QString VOKR_FRAME_WND::test_advanced_menu_actions(int x, int y, const QString& action)
{
    QWidget* canvas = editor();
    if (!canvas)
        return NO_LAYOUT;
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(x, y), Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &press);
    auto* widget = m_layout_widget->get_object_widget();
    widget->on_update_locate();
    widget->on_update_edit_cut();
    widget->on_update_edit_delete();
    const int id = test_action_id(action);
    if (id == 0)
        return QString();
    widget->update_all_actions();
    if (QAction* a = m_tx_manager->get_action(static_cast<PIRQ_ACTION_ENUM>(id), QVariant()))
        a->activate(QAction::Trigger);
    return QString();
}

QString VOKR_FRAME_WND::test_advanced_focus_in()
{
    QWidget* canvas = editor();
    if (!canvas)
        return NO_LAYOUT;
    QFocusEvent focus(QEvent::FocusIn, Qt::OtherFocusReason);
    QCoreApplication::sendEvent(canvas, &focus);
    return QString();
}

QString VOKR_FRAME_WND::test_advanced_key_press(const QString& key, int modifier)
{
    QWidget* canvas = editor();
    if (!canvas)
        return NO_LAYOUT;
    QKeyEvent press(QEvent::KeyPress, test_key_code(key), test_modifiers(modifier), QString(), false, 1);
    QCoreApplication::sendEvent(canvas, &press);
    return QString();
}

QString VOKR_FRAME_WND::test_property_double_click(int x, int y)
{
    QWidget* canvas = editor();
    if (!canvas)
        return NO_LAYOUT;
    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(x, y), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &click);
    return QString();
}

QString VOKR_FRAME_WND::test_fill_property_dialog(bool insert)
{
    auto* dialog = front_dialog<VOKR_OBJECT_PROPERTIES_DLG>();
    if (!dialog)
        return no_dialog("object properties");
    if (!m_layout_widget)
        return NO_LAYOUT;
    dialog->general_page()->alias_edit()->setText("test");
    set_combo_index(dialog->general_page()->type_combo(), insert ? 0 : 3);
    if (insert)
        return QString();
    dialog->tabs()->setCurrentIndex(1);
    VOKR_PARAMETER_WIDGET* page = dialog->parameter_page();
    page->on_setting_combo_changed(1);
    page->on_setting_combo_edit_text_changed("setting");
    page->on_reset_button();
    page->on_reset_all_button();
    page->on_parameter_configurable_check(2);
    return QString();
}

// The editor keeps the request for its find dialog: three search options off, every place to
// search on, and the direction by its code (1 up, 2 down, anything else all).
QString VOKR_FRAME_WND::test_find(const QString& text, int direction)
{
    if (!m_layout_widget || !m_layout_widget->get_object_widget())
        return NO_LAYOUT;
    VOKR_OBJECT_WIDGET* canvas = m_layout_widget->get_object_widget();
    const char* word = direction == 1 ? "Up" : direction == 2 ? "Down" : "All";
    canvas->set_find_request(text, QString::fromLatin1(word));
    canvas->on_edit_find();
    return QString();
}

QString VOKR_FRAME_WND::test_fill_find_dialog()
{
    auto* dialog = front_dialog<VOKR_FIND_DLG>();
    if (!dialog)
        return no_dialog("find");
    if (!m_layout_widget)
        return NO_LAYOUT;
    for (int bit = 0; bit < 5; ++bit)
        if (QCheckBox* box = dialog->find_in_box(bit)) {
            box->setChecked(false);
            box->setChecked(true);
        }
    dialog->on_find_option_changed();
    dialog->on_find_next_clicked();
    dialog->on_find_next_clicked();
    dialog->accept();
    return QString();
}

// ---- the node list view -------------------------------------------------------------------------------------

QString VOKR_FRAME_WND::test_switch_to_advanced_view(int combo)
{
    if (!m_layout_widget || !m_layout_widget->get_view())
        return NO_LAYOUT;
    if (combo < 0 || combo >= VOKR_VIEW::LEVEL_COMBO_COUNT)
        return QStringLiteral("trigger level box %1 is outside 0..%2").arg(combo).arg(VOKR_VIEW::LEVEL_COMBO_COUNT - 1);
    QComboBox* box = m_layout_widget->get_view()->get_level_combo(combo);
    if (!box || box->count() <= 3)
        return QStringLiteral("trigger level box %1 offers no advanced entry").arg(combo);
    box->setCurrentIndex(3);
    return QString();
}

QString VOKR_FRAME_WND::test_check_locate_enable()
{
    VOKR_VIEW* node_view = m_layout_widget ? m_layout_widget->get_view() : nullptr;
    if (!node_view)
        return NO_LAYOUT;
    node_view->setFocus(Qt::OtherFocusReason);
    node_view->select_node(0, true);
    node_view->on_update_locate();
    vokr_debug_msg(get_locate_menu()->menuAction()->isEnabled() ? "locate enabled" : "locate disabled");
    return QString();
}

QString VOKR_FRAME_WND::test_delete_all_nodes()
{
    VOKR_VIEW* node_view = m_layout_widget ? m_layout_widget->get_view() : nullptr;
    if (!node_view)
        return NO_LAYOUT;
    node_view->setFocus(Qt::OtherFocusReason);
    node_view->select_items(true);
    node_view->on_edit_delete();
    return QString();
}

// The time-bar command is the one that asks for the bar's time (or sample) in a dialog: the
// master-bar command places its bar without asking and would leave the follow-up waiting.
QString VOKR_FRAME_WND::test_open_view_dialog(const QString& which)
{
    VOKR_VIEW* node_view = m_layout_widget ? m_layout_widget->get_view() : nullptr;
    if (!node_view)
        return NO_LAYOUT;
    if (which == "mnemonic")
        node_view->on_mnemonic_table_setup();
    else if (which == "time units")
        node_view->on_time_units();
    else
        node_view->on_insert_time_bar();
    return QString();
}

QString VOKR_FRAME_WND::test_update_waveform_menu()
{
    if (!m_layout_widget || !m_layout_widget->get_view())
        return NO_LAYOUT;
    m_layout_widget->get_view()->on_update_waveform_menu();
    return QString();
}

// Names that the current instance does not have are refused here: the manager takes a failed
// choice for a broken invariant.
QString VOKR_FRAME_WND::test_set_active(const QString& signal_set, const QString& trigger, const QString& log)
{
    KSM_TX_INSTANCE* instance = m_tx_manager->get_tx_instance();
    const QByteArray s = signal_set.toLocal8Bit(), t = trigger.toLocal8Bit(), l = log.toLocal8Bit();
    KSM_TX_SIGNAL_SET* set = !instance     ? nullptr
                             : s.isEmpty() ? instance->get_active_signal_set()
                                           : instance->find_signal_set(s.constData());
    KSM_TX_TRIGGER* chosen = !set          ? nullptr
                             : t.isEmpty() ? set->get_active_trigger()
                                           : set->find_trigger(t.constData());
    if (instance && (!chosen || (!l.isEmpty() && !chosen->find_log(l.constData()))))
        return QStringLiteral("the instance has no signal set \"%1\", trigger \"%2\" and log \"%3\"")
            .arg(signal_set, trigger, log);
    m_tx_manager->set_active(signal_set, trigger, log);
    emit m_tx_manager->updated(nullptr, vokr_hint(VOKR_HINT_REFRESH_CONFIG_VIEW | VOKR_HINT_DATA_LOG));
    return QString();
}

// ---- the mnemonic dialogs -----------------------------------------------------------------------------------

QString VOKR_FRAME_WND::test_mnemonic_button(const QString& which)
{
    if (!m_layout_widget)
        return NO_LAYOUT;
    auto* dialog = front_dialog<VOKR_MNEMONIC_DLG>();
    if (!dialog)
        return no_dialog("mnemonic table");
    if (which == "new")
        dialog->on_new();
    else if (which == "add entry")
        dialog->on_add_entry();
    else if (which == "delete")
        dialog->on_delete();
    else
        dialog->on_import();
    return QString();
}

QString VOKR_FRAME_WND::test_fill_new_table_dialog(const QString& name, const QString& width)
{
    if (!m_layout_widget)
        return NO_LAYOUT;
    auto* dialog = modal_dialog<VOKR_MNEMONIC_NEW_TABLE_DLG>();
    if (!dialog)
        return no_dialog("new mnemonic table");
    dialog->name_edit()->setText(name);
    dialog->width_edit()->setText(width);
    return QString();
}

QString VOKR_FRAME_WND::test_fill_trigger_value_dialog(const QString& value, const QString& radix,
                                                       const QString& mnemonic)
{
    if (!m_layout_widget)
        return NO_LAYOUT;
    auto* dialog = modal_dialog<VOKR_TRIGGER_VALUE_DLG>();
    if (!dialog)
        return no_dialog("bus value");
    dialog->get_value_edit()->setText(value);
    if (dialog->get_mnemonic_edit())
        dialog->get_mnemonic_edit()->setText(mnemonic);
    set_combo_index(dialog->get_radix_combo(), decimal(radix));
    return QString();
}

// Removes the current entry, then the entry at `row` when there is one; the entry list is
// shown again after both, so that it never shows a removed entry.
QString VOKR_FRAME_WND::test_delete_entry(const QString& row)
{
    auto* dialog = front_dialog<VOKR_MNEMONIC_DLG>();
    if (!m_layout_widget)
        return NO_LAYOUT;
    if (!dialog)
        return no_dialog("mnemonic table");
    VOKR_MNEMONIC_DLG::TABLE* table = dialog->current_table();
    if (!table)
        return QString();
    const QModelIndex current = dialog->entries_view()->currentIndex();
    if (current.isValid())
        dialog->delete_entry(table, current.row());
    const int index = decimal(row);
    if (index >= 0 && index < static_cast<int>(table->entries.size()))
        dialog->delete_entry(table, index);
    dialog->refresh_mnemonic_view(table);
    return QString();
}

QString VOKR_FRAME_WND::test_fill_file_dialog(const QString& path)
{
    if (!m_layout_widget)
        return NO_LAYOUT;
    auto* dialog = modal_dialog<PIRQ_FILE_DLG>();
    QLineEdit* edit = dialog ? vokr_test_find_child<QLineEdit>(dialog) : nullptr;
    if (!edit)
        return no_dialog("file");
    edit->setText(path);
    return QString();
}

QString VOKR_FRAME_WND::test_accept_import_dialog()
{
    auto* dialog = modal_dialog<VOKR_MNEMONIC_IMPORT_DLG>();
    if (!dialog)
        return no_dialog("mnemonic import");
    if (!m_layout_widget)
        return NO_LAYOUT;
    dialog->on_select();
    dialog->on_unselect();
    dialog->on_select_all();
    return QString();
}

// ---- the time dialogs ---------------------------------------------------------------------------------------

QString VOKR_FRAME_WND::test_fill_time_units_dialog(const QString& time, const QString& unit)
{
    auto* dialog = front_dialog<VOKR_TIME_UNITS_DLG>();
    if (!dialog)
        return no_dialog("time units");
    if (!m_layout_widget)
        return NO_LAYOUT;
    dialog->get_value_edit()->setText(time);
    set_combo_index(dialog->get_unit_combo(), decimal(unit));
    return QString();
}

// With times shown, the insert command asks in the time-units dialog; with sample numbers, in
// the insert dialog, whose time row is shown disabled.
QString VOKR_FRAME_WND::test_fill_insert_time_bar_dialog(const QString& time, const QString& unit,
                                                         const QString& sample)
{
    if (!m_layout_widget || !m_layout_widget->get_view())
        return NO_LAYOUT;
    if (m_layout_widget->get_view()->is_using_time_units())
        return test_fill_time_units_dialog(time, unit);
    auto* dialog = front_dialog<VOKR_INSERT_TIME_BAR_DLG>();
    if (!dialog)
        return no_dialog("insert time bar");
    for (QLineEdit* edit : dialog->findChildren<QLineEdit*>())
        if (edit != dialog->get_sample_edit())
            edit->setText(time);
    set_combo_index(vokr_test_find_child<QComboBox>(dialog), decimal(unit));
    dialog->get_sample_edit()->setText(sample);
    return QString();
}
