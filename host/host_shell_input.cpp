// The shell's commands that act as a hand does: mouse clicks, keys, the wheel, context menus and
// drags, sent as the window system sends them to widgets named by their object names.
#include "host_shell.h"

#include "ksm.h"
#include "vokr_frame_wnd.h"
#include "vokr_view.h"
#include "yuvr.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDrag>
#include <QIcon>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <QWheelEvent>
#include <QWindow>

#include <functional>

namespace {

QString from_tcl(Tcl_Obj* word)
{
    std::string text;
    return yuvr_get_utf8(word, &text) ? QString::fromStdString(text) : QString();
}

// A shown widget of that object name: in the editor's window first, then in any other window
// (a dialog, a detached pane); null when there is none.
QWidget* find_named(Tcl_Interp* interp, const QString& name)
{
    QList<QWidget*> roots;
    if (VOKR_FRAME_WND* frame = host_shell_frame(interp))
        roots << frame;
    roots << QApplication::topLevelWidgets();
    for (QWidget* root : roots) {
        if (!root->isVisible())
            continue;
        if (root->objectName() == name)
            return root;
        for (QWidget* widget : root->findChildren<QWidget*>(name))
            if (widget->isVisible())
                return widget;
    }
    return nullptr;
}

QWindow* window_of(QWidget* widget);

// The shown widget of that name, its window shown and active. Changes posted before the call (a
// rebuilt tab, a new layout) land first, and showing the window may rebuild it again: the widget
// returned is the one a person sees now, not one those changes replaced.
QWidget* named_widget(Tcl_Interp* interp, Tcl_Obj* word)
{
    QCoreApplication::processEvents();
    const QString name = from_tcl(word);
    QPointer<QWidget> widget = find_named(interp, name);
    if (widget)
        window_of(widget);
    if (!widget)
        widget = find_named(interp, name);
    if (!widget)
        host_shell_fail(interp, QString("no shown widget is named \"%1\"").arg(name));
    return widget;
}

bool parse_modifiers(Tcl_Interp* interp, Tcl_Obj* word, Qt::KeyboardModifiers* modifiers)
{
    int count = 0;
    Tcl_Obj** words = nullptr;
    if (Tcl_ListObjGetElements(interp, word, &count, &words) != TCL_OK)
        return false;
    for (int i = 0; i < count; ++i) {
        const QString name = from_tcl(words[i]).toLower();
        if (name == "shift")
            *modifiers |= Qt::ShiftModifier;
        else if (name == "ctrl" || name == "control")
            *modifiers |= Qt::ControlModifier;
        else if (name == "alt")
            *modifiers |= Qt::AltModifier;
        else
            return host_shell_fail(interp, QString("unknown modifier \"%1\": must be shift, ctrl or alt").arg(name)),
                   false;
    }
    return true;
}

bool parse_button(Tcl_Interp* interp, Tcl_Obj* word, Qt::MouseButton* button)
{
    const QString name = from_tcl(word);
    *button = name == "left"     ? Qt::LeftButton
              : name == "right"  ? Qt::RightButton
              : name == "middle" ? Qt::MiddleButton
                                 : Qt::NoButton;
    if (*button == Qt::NoButton)
        host_shell_fail(interp, QString("unknown button \"%1\": must be left, right or middle").arg(name));
    return *button != Qt::NoButton;
}

// The point X Y of the widget (its centre without them) and where it lies in the widget's window.
bool parse_point(Tcl_Interp* interp, QWidget* widget, Tcl_Obj* const* words, bool given, QPoint* window_point)
{
    QPoint point = widget->rect().center();
    if (given) {
        if (Tcl_GetIntFromObj(interp, words[0], &point.rx()) != TCL_OK ||
            Tcl_GetIntFromObj(interp, words[1], &point.ry()) != TCL_OK)
            return false;
        if (!widget->rect().contains(point))
            return host_shell_fail(interp, QString("the point %1 %2 is outside the widget (%3 x %4)")
                                               .arg(point.x())
                                               .arg(point.y())
                                               .arg(widget->width())
                                               .arg(widget->height())),
                   false;
    }
    *window_point = widget->mapTo(widget->window(), point);
    return true;
}

// The widget's window as the window system knows it; the window is shown and active. A window
// nobody sized takes the size the host shows its windows at.
QWindow* window_of(QWidget* widget)
{
    QWidget* top = widget->window();
    if (top->isVisible() && QApplication::activeWindow() == top)
        return top->windowHandle();
    if (!top->testAttribute(Qt::WA_Resized))
        top->resize(1280, 800);
    top->show();
    QApplication::setActiveWindow(top);
    QCoreApplication::processEvents();
    return top->windowHandle();
}

// ---- context menus --------------------------------------------------------------------------------------

// What happened to the menu a right press opened: its entries, and the error of a pick.
struct MENU_RESULT {
    bool shown = false;
    QStringList entries;
    QString error;
};

QString entry_text(const QAction* action)
{
    QString text = action->menu() ? action->menu()->title() : action->text();
    return text.remove('&');
}

// Reads the open menu and either picks the entry of that text or closes it.
void answer_menu(MENU_RESULT* result, const QString& item)
{
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu)
        return;
    result->shown = true;
    QAction* chosen = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || !action->isVisible())
            continue;
        result->entries << entry_text(action);
        if (!item.isEmpty() && entry_text(action) == item)
            chosen = action;
    }
    if (!item.isEmpty() && !chosen)
        result->error =
            QString("the menu has no entry \"%1\"; its entries are: %2").arg(item, result->entries.join(", "));
    else if (chosen && (!chosen->isEnabled() || chosen->menu()))
        result->error = QString("the entry \"%1\" is %2").arg(item, chosen->menu() ? "a submenu" : "disabled");
    if (!chosen || !result->error.isEmpty()) {
        menu->close();
        return;
    }
    // The entry is chosen from the keyboard: a click inside the menu depends on where the
    // platform placed its window, the keys do not.
    menu->setActiveAction(chosen);
    QTest::keyClick(menu, Qt::Key_Return);
}

// ::korvane::shell::context_menu WIDGET X Y ?ITEM?: presses the right button there; the menu
// that opens gives its entries' texts, or its entry ITEM is chosen. An error when no menu
// opens, or the entry is absent or disabled.
int context_menu_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    if (objc != 4 && objc != 5)
        return host_shell_fail(interp, "usage: context_menu widget x y ?item?");
    QWidget* widget = named_widget(interp, objv[1]);
    QPoint at;
    if (!widget || !parse_point(interp, widget, objv + 2, true, &at))
        return TCL_ERROR;
    const QString item = objc == 5 ? from_tcl(objv[4]) : QString();
    QWindow* window = window_of(widget);
    MENU_RESULT result;
    bool released = false;
    QTimer poll;  // runs in the menu's own loop once the menu shows
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (result.shown || !QApplication::activePopupWidget())
            return;
        // The button comes up while the menu is open, as a person's does: the menu takes the
        // release, and the widget below never sees it (a release there after the menu's
        // command would act on rows that command may have changed).
        if (!released)
            QTest::mouseRelease(window, Qt::RightButton, Qt::NoModifier, at);
        released = true;
        answer_menu(&result, item);
    });
    poll.start(5);
    QTest::mouseMove(window, at);
    QTest::mousePress(window, Qt::RightButton, Qt::NoModifier, at);  // the press opens the menu
    if (!released)
        QTest::mouseRelease(window, Qt::RightButton, Qt::NoModifier, at);
    poll.stop();
    QCoreApplication::processEvents();
    if (!result.shown) {
        QWidget* under = widget->window()->childAt(at);
        return host_shell_fail(interp, QString("no menu opened at %1 %2 (over a %3 of %4 x %5)")
                                           .arg(from_tcl(objv[2]), from_tcl(objv[3]))
                                           .arg(under ? under->metaObject()->className() : "nothing")
                                           .arg(widget->width())
                                           .arg(widget->height()));
    }
    if (!result.error.isEmpty())
        return host_shell_fail(interp, result.error);
    Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
    for (const QString& entry : result.entries)
        Tcl_ListObjAppendElement(nullptr, list, Tcl_NewStringObj(entry.toUtf8().constData(), -1));
    Tcl_SetObjResult(interp, item.isEmpty() ? list : Tcl_NewObj());
    if (!item.isEmpty())
        Tcl_DecrRefCount(list);
    return TCL_OK;
}

// ---- mouse, keys, wheel ---------------------------------------------------------------------------------

// Closes a menu that a click or a key opens: the menu waits in a loop of its own for a person
// to choose an entry, so the command would never return.
class MENU_CLOSER {
public:
    MENU_CLOSER()
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction* action : menu->actions())
                if (!action->isSeparator() && action->isVisible())
                    m_entries << entry_text(action);
            m_opened = true;
            menu->close();
        });
        m_poll.start(5);
    }
    // The command's error when a menu opened: what it held and how to choose from it.
    bool failed(Tcl_Interp* interp, const char* what) const
    {
        if (m_opened)
            host_shell_fail(interp, QString("the %1 opened a menu (%2), which was closed: open it with context_menu to "
                                            "choose an entry")
                                        .arg(what, m_entries.join(", ")));
        return m_opened;
    }

private:
    QTimer m_poll;
    bool m_opened = false;
    QStringList m_entries;
};

// ::korvane::shell::click WIDGET ?X Y? ?BUTTON? ?MODIFIERS?: moves the mouse there (the widget's
// centre by default) and clicks BUTTON (left, right, middle; left by default) with the modifiers
// held (a list of shift, ctrl, alt).
int click_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    if (objc < 2 || objc > 6 || objc == 3)
        return host_shell_fail(interp, "usage: click widget ?x y? ?button? ?modifiers?");
    QWidget* widget = named_widget(interp, objv[1]);
    const bool point_given = objc >= 4;
    QPoint at;
    Qt::MouseButton button = Qt::LeftButton;
    Qt::KeyboardModifiers modifiers;
    if (!widget || !parse_point(interp, widget, objv + 2, point_given, &at) ||
        (objc >= 5 && !parse_button(interp, objv[4], &button)) ||
        (objc == 6 && !parse_modifiers(interp, objv[5], &modifiers)))
        return TCL_ERROR;
    // The press may close the window or rebuild the widget: neither is used once it is gone.
    const QPointer<QWindow> window = window_of(widget);
    const QPointer<QWidget> top = widget->window();
    MENU_CLOSER menus;
    // A press on a selected row starts a drag whose loop waits for the release: the release is
    // sent from inside that loop, as a hand lets go where it pressed.
    bool released = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!released && window && top && !top->findChildren<QDrag*>().isEmpty()) {
            released = true;
            QTest::mouseRelease(window, button, modifiers, at);
        }
    });
    poll.start(5);
    QTest::mouseMove(window, at);
    QTest::mousePress(window, button, modifiers, at);
    if (!released && window)
        QTest::mouseRelease(window, button, modifiers, at);
    poll.stop();
    QCoreApplication::processEvents();
    return menus.failed(interp, "click") ? TCL_ERROR : TCL_OK;
}

// One key of the `key` command: the key, its modifiers and the text it types. A character types
// itself, a capital letter with Shift held as a hand types it.
struct KEY_PRESS {
    Qt::Key key = Qt::Key_unknown;
    Qt::KeyboardModifiers modifiers;
    QString text;
};

bool is_control(uint code) { return code < 0x20 || (code >= 0x7f && code < 0xa0); }

// The text a key types on its own: a key of a character types it (a letter in lower case), a
// few keys a control character, the others nothing.
QString typed_text(Qt::Key key)
{
    switch (key) {
    case Qt::Key_Backspace: return QStringLiteral("\b");
    case Qt::Key_Tab: return QStringLiteral("\t");
    case Qt::Key_Backtab: return QStringLiteral("\v");
    case Qt::Key_Enter:
    case Qt::Key_Return: return QStringLiteral("\r");
    case Qt::Key_Escape: return QStringLiteral("\x1b");
    default: break;
    }
    // The keys of characters are the code points of their capitals; the other keys lie beyond Unicode.
    const auto code = static_cast<uint>(key);
    if (is_control(code) || code > 0x10ffff || QChar::isSurrogate(code))
        return QString();
    return QString::fromUcs4(&code, 1).toLower();
}

// A key word: a name such as "Left" or "Ctrl+Z", or a character, which types itself. A control
// character is no key of its own.
bool parse_key(const QString& word, KEY_PRESS* press)
{
    const QKeySequence sequence(word, QKeySequence::PortableText);
    if (sequence.count() != 1 || sequence[0] == Qt::Key_unknown)
        return false;
    press->key = Qt::Key(sequence[0] & ~Qt::KeyboardModifierMask);
    press->modifiers = Qt::KeyboardModifiers(sequence[0] & Qt::KeyboardModifierMask);
    press->text = typed_text(press->key);
    if (is_control(static_cast<uint>(press->key)))
        return false;
    const QVector<uint> characters = word.toUcs4();
    if (characters.size() == 1 && QChar::isPrint(characters[0])) {
        press->text = word;
        if (QChar::isUpper(characters[0]))
            press->modifiers |= Qt::ShiftModifier;
    } else if (press->modifiers & Qt::ShiftModifier) {
        press->text = press->text.toUpper();
    }
    return true;
}

// Whether the keyboard focus is in the widget or in a child of it (an in-place editor it opened).
bool has_focus_within(const QWidget* widget)
{
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == widget || widget->isAncestorOf(focus));
}

// ::korvane::shell::key WIDGET KEYS: gives the widget the keyboard focus, unless it or an editor
// it opened has it already, and presses each key of the list in turn ("Left", "Ctrl+Z", "F2",
// "a", "A"), shortcuts included. When a key rebuilds the widget, the keys after it go to the
// shown widget of that name that replaced it.
int key_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    int count = 0;
    Tcl_Obj** words = nullptr;
    if (objc != 3)
        return host_shell_fail(interp, "usage: key widget keys");
    QPointer<QWidget> widget = named_widget(interp, objv[1]);
    if (!widget || Tcl_ListObjGetElements(interp, objv[2], &count, &words) != TCL_OK)
        return TCL_ERROR;
    std::vector<KEY_PRESS> keys(count);
    for (int i = 0; i < count; ++i)
        if (!parse_key(from_tcl(words[i]), &keys[i]))
            return host_shell_fail(interp, QString("unknown key \"%1\"").arg(from_tcl(words[i])));
    const QString name = from_tcl(objv[1]);
    window_of(widget);
    if (!has_focus_within(widget))
        widget->setFocus(Qt::OtherFocusReason);
    MENU_CLOSER menus;
    for (const KEY_PRESS& key : keys) {
        if (!widget || !widget->isVisible()) {  // replaced by a rebuild, perhaps not yet deleted
            widget = find_named(interp, name);
            if (!widget)
                return host_shell_fail(interp, QString("the widget \"%1\" is gone after a key").arg(name));
            if (!has_focus_within(widget))
                widget->setFocus(Qt::OtherFocusReason);
        }
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : widget.data();
        QTest::sendKeyEvent(QTest::Click, target, key.key, key.text, key.modifiers);
        QCoreApplication::processEvents();
    }
    return menus.failed(interp, "key") ? TCL_ERROR : TCL_OK;
}

// ::korvane::shell::wheel WIDGET DELTA ?MODIFIERS?: turns the wheel over the widget's centre by
// DELTA eighths of a degree (120 a notch; positive away from the user).
int wheel_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    int delta = 0;
    Qt::KeyboardModifiers modifiers;
    if (objc != 3 && objc != 4)
        return host_shell_fail(interp, "usage: wheel widget delta ?modifiers?");
    QWidget* widget = named_widget(interp, objv[1]);
    if (!widget || Tcl_GetIntFromObj(interp, objv[2], &delta) != TCL_OK ||
        (objc == 4 && !parse_modifiers(interp, objv[3], &modifiers)))
        return TCL_ERROR;
    window_of(widget);
    const QPoint centre = widget->rect().center();
    QWidget* target = widget->childAt(centre) ? widget->childAt(centre) : widget;
    const QPoint local = target->mapFrom(widget, centre);
    QWheelEvent event(local, target->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    qApp->notify(target, &event);
    QCoreApplication::processEvents();
    return TCL_OK;
}

// ---- drags ----------------------------------------------------------------------------------------------

// Sees whether a drop reached the target widget or one of its children, and whether any QDrag
// object took an event (a drag the platform ended at once is deleted later).
class DROP_WATCH : public QObject {
public:
    explicit DROP_WATCH(QWidget* target) : m_target(target) { qApp->installEventFilter(this); }
    ~DROP_WATCH() override { qApp->removeEventFilter(this); }
    bool dropped = false, drag_seen = false;

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        drag_seen = drag_seen || qobject_cast<QDrag*>(object);
        auto* widget = qobject_cast<QWidget*>(object);  // asked first: events posted from other threads are not read
        if (widget && event->type() == QEvent::Drop && (widget == m_target || m_target->isAncestorOf(widget)))
            dropped = true;
        return false;
    }

private:
    QPointer<QWidget> m_target;
};

// ::korvane::shell::drag WIDGET X Y TARGET X Y ?MODIFIERS?: presses the left button on the first
// widget and moves the mouse until the widget starts its drag, then moves it over the target and
// releases it there. The drag is the widget's own QDrag run by the platform: the minimal platform
// carries it through its nested event loop, where the moves and the release are sent; the
// offscreen one ends every drag at once, which is an error here (no drop).
int drag_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    Qt::KeyboardModifiers modifiers;
    if (objc != 7 && objc != 8)
        return host_shell_fail(interp, "usage: drag widget x y target x y ?modifiers?");
    QWidget* source = named_widget(interp, objv[1]);
    QWidget* target = source ? named_widget(interp, objv[4]) : nullptr;
    QPoint from, to;
    if (!target || !parse_point(interp, source, objv + 2, true, &from) ||
        !parse_point(interp, target, objv + 5, true, &to) ||
        (objc == 8 && !parse_modifiers(interp, objv[7], &modifiers)))
        return TCL_ERROR;
    if (source->window() != target->window())
        return host_shell_fail(interp, "the drag must stay in one window");
    // The window may go while the drag runs (a drop that closes it): every event checks first.
    const QPointer<QWindow> window = window_of(source);
    const QPointer<QWidget> top = source->window();
    DROP_WATCH watch(target);
    bool started = false;
    const int outside = QThread::currentThread()->loopLevel();
    QTimer poll;  // finds the widget's QDrag from inside the drag's own loop
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // Whichever widget under the press started the drag, its loop waits for the release.
        if (started || !top || top->findChildren<QDrag*>().isEmpty())
            return;
        started = true;
        // Outside a loop of its own the platform has ended the drag already; inside it, the drag
        // waits for its release however late the widget started it.
        if (QThread::currentThread()->loopLevel() <= outside)
            return;
        for (int step = 1; step <= 4 && window; ++step)
            QTest::mouseMove(window, from + (to - from) * step / 4);
        if (window)
            QTest::mouseRelease(window, Qt::LeftButton, modifiers, to);
    });
    poll.start(5);
    QTest::mouseMove(window, from);
    QTest::mousePress(window, Qt::LeftButton, modifiers, from);
    const int distance = QApplication::startDragDistance() + 2;
    for (int step = 1; step <= 3 && !started && window; ++step)
        QTest::mouseMove(window, from + QPoint(distance * step, 0));
    QTest::qWait(20);
    poll.stop();
    if (!window)
        return host_shell_fail(interp, "the window closed during the drag");
    if (!started && !watch.drag_seen) {
        QTest::mouseRelease(window, Qt::LeftButton, modifiers, from);
        return host_shell_fail(interp, "the widget started no drag");
    }
    if (!watch.dropped)
        return host_shell_fail(
            interp, QString("the drag ended without a drop on \"%1\" (the %2 platform%3)")
                        .arg(from_tcl(objv[4]), QGuiApplication::platformName(),
                             QGuiApplication::platformName() == "offscreen" ? " ends every drag at once" : ""));
    return TCL_OK;
}

// ::korvane::shell::cell NODE COLUMN ?-rect?: the centre "x y" of a cell of the node list, in the
// list's own pixels, or with -rect the cell's "x y width height": NODE is a row's node name (or a
// header row's number, 0 to 2), COLUMN the column's number (2 the name, 12 onwards the trigger
// levels, 23 the waveform). An error when the cell's centre is not shown.
int cell_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    int column = 0, row = -1;
    const bool whole = objc == 4 && from_tcl(objv[3]) == "-rect";
    VOKR_VIEW* view = objc == 3 || whole ? host_shell_view(interp) : nullptr;
    if (!view || Tcl_GetIntFromObj(interp, objv[2], &column) != TCL_OK)
        return objc == 3 || whole ? TCL_ERROR : host_shell_fail(interp, "usage: cell node column ?-rect?");
    window_of(view);
    const int node = view->current_node_table()->find_node(from_tcl(objv[1]).toUtf8().constData());
    if (node >= 0)
        row = VOKR_VIEW::node_to_row(node);
    else if (Tcl_GetIntFromObj(nullptr, objv[1], &row) != TCL_OK || row < 0 || row >= VOKR_VIEW::node_to_row(0))
        return host_shell_fail(interp, QString("no node \"%1\" in the list").arg(from_tcl(objv[1])));
    QRect rect;
    if (!view->get_item_rect(row, column, &rect) || !view->rect().contains(rect.center()))
        return host_shell_fail(interp, QString("the cell %1 %2 is not shown").arg(from_tcl(objv[1])).arg(column));
    Tcl_SetObjResult(interp, whole ? Tcl_ObjPrintf("%d %d %d %d", rect.x(), rect.y(), rect.width(), rect.height())
                                   : Tcl_ObjPrintf("%d %d", rect.center().x(), rect.center().y()));
    return TCL_OK;
}

// The text a widget shows: a line edit's, a button's, a label's or a combo box's current one.
QString shown_text(const QWidget* widget)
{
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->currentText();
    return QString();
}

// The rows a tree view shows (those below a collapsed row left out), in order, each as a list of
// its text, a fingerprint of its icon's picture (rows marked with the same icon read alike) and
// the texts of its other columns.
Tcl_Obj* shown_rows(const QTreeView* tree)
{
    Tcl_Obj* rows = Tcl_NewListObj(0, nullptr);
    const QAbstractItemModel* model = tree->model();
    std::function<void(const QModelIndex&)> visit = [&](const QModelIndex& parent) {
        for (int r = 0; model && r < model->rowCount(parent); ++r) {
            const QModelIndex index = model->index(r, 0, parent);
            const QImage icon = index.data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage();
            Tcl_Obj* row = Tcl_NewListObj(0, nullptr);
            Tcl_ListObjAppendElement(nullptr, row, Tcl_NewStringObj(index.data().toString().toUtf8().constData(), -1));
            Tcl_ListObjAppendElement(nullptr, row, Tcl_NewWideIntObj(qHashBits(icon.constBits(), icon.sizeInBytes())));
            for (int c = 1; c < model->columnCount(parent); ++c)
                Tcl_ListObjAppendElement(
                    nullptr, row,
                    Tcl_NewStringObj(index.siblingAtColumn(c).data().toString().toUtf8().constData(), -1));
            Tcl_ListObjAppendElement(nullptr, rows, row);
            if (tree->isExpanded(index))
                visit(index);
        }
    };
    visit(QModelIndex());
    return rows;
}

// ::korvane::shell::widget_state WIDGET: what a person sees of a shown widget, as a dictionary:
// x, y, width and height (in its window's pixels), enabled, text and tooltip; for a tree view
// also rows (shown_rows).
int widget_state_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    if (objc != 2)
        return host_shell_fail(interp, "usage: widget_state widget");
    QWidget* widget = named_widget(interp, objv[1]);
    if (!widget)
        return TCL_ERROR;
    window_of(widget);
    const QPoint at = widget->mapTo(widget->window(), QPoint(0, 0));
    Tcl_Obj* state = Tcl_NewDictObj();
    const auto put = [state](const char* key, Tcl_Obj* value) {
        Tcl_DictObjPut(nullptr, state, Tcl_NewStringObj(key, -1), value);
    };
    put("x", Tcl_NewIntObj(at.x()));
    put("y", Tcl_NewIntObj(at.y()));
    put("width", Tcl_NewIntObj(widget->width()));
    put("height", Tcl_NewIntObj(widget->height()));
    put("enabled", Tcl_NewBooleanObj(widget->isEnabled()));
    put("text", Tcl_NewStringObj(shown_text(widget).toUtf8().constData(), -1));
    put("tooltip", Tcl_NewStringObj(widget->toolTip().toUtf8().constData(), -1));
    if (const auto* tree = qobject_cast<const QTreeView*>(widget))
        put("rows", shown_rows(tree));
    Tcl_SetObjResult(interp, state);
    return TCL_OK;
}

// Reads the tooltip label as it shows: on some platforms it hides again at once, as the window
// it opens takes the activation.
class TIP_WATCH : public QObject {
public:
    TIP_WATCH() { qApp->installEventFilter(this); }
    ~TIP_WATCH() override { qApp->removeEventFilter(this); }
    QString text;

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* label = qobject_cast<QLabel*>(object);  // asked first: events posted from other threads are not read
        if (label && event->type() == QEvent::Show && label->objectName() == "qtooltip_label")
            text = label->text();
        return false;
    }
};

// ::korvane::shell::tooltip WIDGET X Y: the tooltip that shows where the mouse rests at X Y of the
// widget, or an empty text when none shows.
int tooltip_cmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[])
{
    if (objc != 4)
        return host_shell_fail(interp, "usage: tooltip widget x y");
    QWidget* widget = named_widget(interp, objv[1]);
    QPoint at;
    if (!widget || !parse_point(interp, widget, objv + 2, true, &at))
        return TCL_ERROR;
    QWindow* window = window_of(widget);
    QTest::mouseMove(window, at);  // a widget may set its tooltip as the mouse comes over a part of it
    QWidget* top = widget->window();
    QWidget* target = top->childAt(at) ? top->childAt(at) : top;
    const QPoint local = target->mapFrom(top, at);
    QToolTip::hideText();
    TIP_WATCH watch;
    QHelpEvent event(QEvent::ToolTip, local, target->mapToGlobal(local));
    QApplication::sendEvent(target, &event);  // passed on to the parents until one answers it
    const QString text = !watch.text.isEmpty() ? watch.text : QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    Tcl_SetObjResult(interp, Tcl_NewStringObj(text.toUtf8().constData(), -1));
    return TCL_OK;
}

}  // namespace

void host_shell_register_input_commands(Tcl_Interp* interp)
{
    const struct {
        const char* name;
        Tcl_ObjCmdProc* proc;
    } commands[] = {{"click", click_cmd},
                    {"key", key_cmd},
                    {"wheel", wheel_cmd},
                    {"context_menu", context_menu_cmd},
                    {"drag", drag_cmd},
                    {"cell", cell_cmd},
                    {"widget_state", widget_state_cmd},
                    {"tooltip", tooltip_cmd}};
    for (const auto& command : commands)
        Tcl_CreateObjCommand(interp, (std::string("::korvane::shell::") + command.name).c_str(), command.proc, nullptr,
                             nullptr);
}
