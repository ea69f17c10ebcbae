// The state text editor: typing with completion popups, click-to-change of underlined words and
// numbers, and the blocking of edits while the design is locked, the power-up view is shown or
// the instance acquires.
#include "vokr_state_text_edit.h"

#include "pirq.h"
#include "vokr_completer_item_delegate.h"
#include "vokr_globals.h"
#include "vokr_number.h"
#include "vokr_syntax_highlighter.h"
#include "vokr_trigger_value_dlg.h"
#include "vokr_tx_manager.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStringListModel>
#include <QTextBlock>
#include <QTextLayout>

#include <limits>

namespace {

bool is_navigation_key(int key)
{
    switch (key) {
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: return true;
    default: return false;
    }
}

QCompleter* make_completer(VOKR_STATE_TEXT_EDIT* editor)
{
    auto* completer = new QCompleter(new QStringListModel(editor), editor);
    completer->setWidget(editor);
    completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    completer->popup()->installEventFilter(editor);
    QObject::connect(completer, QOverload<const QString&>::of(&QCompleter::activated), editor,
                     &VOKR_STATE_TEXT_EDIT::on_replace_text);
    return completer;
}

}  // namespace

VOKR_STATE_TEXT_EDIT::VOKR_STATE_TEXT_EDIT(VOKR_TX_MANAGER* manager, int instance, int state_index)
    : m_tx_manager(manager), m_instance(instance), m_state_index(state_index)
{
    setMouseTracking(true);
    const QFont font("Courier New", 12);
    setFont(font);
    setTabStopDistance(QFontMetricsF(font).horizontalAdvance("    "));
    setAcceptRichText(false);
    m_highlighter = new VOKR_SYNTAX_HIGHLIGHTER(this, manager, instance);

    m_completer = make_completer(this);
    // A click on a placeholder row keeps the popup open for the names beside it.
    QObject::disconnect(m_completer, SIGNAL(activated(QModelIndex)), m_completer->popup(), SLOT(hide()));
    m_completer->popup()->setItemDelegate(new VOKR_COMPLETER_ITEM_DELEGATE(m_completer->popup()));
    m_name_completer = make_completer(this);

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(500);
    connect(m_timer, &QTimer::timeout, this, &VOKR_STATE_TEXT_EDIT::on_timer);
    connect(this, &QTextEdit::textChanged, this, &VOKR_STATE_TEXT_EDIT::on_text_changed);
}

VOKR_STATE_TEXT_EDIT::~VOKR_STATE_TEXT_EDIT()
{
    disconnect(this, &QTextEdit::textChanged, this, &VOKR_STATE_TEXT_EDIT::on_text_changed);
    delete m_highlighter;
    m_timer->stop();
}

void VOKR_STATE_TEXT_EDIT::set_text_silently(const QString& text)
{
    const bool blocked = m_filling;
    m_filling = true;
    setPlainText(text);
    m_filling = blocked;
}

bool VOKR_STATE_TEXT_EDIT::is_locked() const
{
    return m_tx_manager->get_frame_wnd() && m_tx_manager->get_lock_mode(false) != VOKR_LOCK_MODE_ALL_CHANGES;
}

bool VOKR_STATE_TEXT_EDIT::is_power_up() const
{
    const KSM_TX_SESSION* session = m_tx_manager->get_session();
    return m_tx_manager->get_tx_instance() && session &&
           session->is_power_up_view(m_tx_manager->get_current_instance_index());
}

bool VOKR_STATE_TEXT_EDIT::is_blocked() const
{
    return is_locked() || is_power_up() || m_tx_manager->is_instance_of_entry_acquiring(m_instance);
}

int VOKR_STATE_TEXT_EDIT::display_type() const
{
    return m_state_index >= 0 ? VOKR_DISPLAY_TYPE_ONE_WINDOW_PER_STATE : VOKR_DISPLAY_TYPE_ALL_STATES_IN_ONE_WINDOW;
}

QString VOKR_STATE_TEXT_EDIT::text_before_cursor() const
{
    QTextCursor cursor = textCursor();
    cursor.clearSelection();
    cursor.movePosition(QTextCursor::Start, QTextCursor::KeepAnchor);
    return cursor.selectedText().replace(QChar::ParagraphSeparator, '\n');
}

QRect VOKR_STATE_TEXT_EDIT::popup_rect(QCompleter* completer) const
{
    QRect rect = cursorRect();
    QAbstractItemView* popup = completer->popup();
    rect.setWidth(popup->sizeHintForColumn(0) + popup->verticalScrollBar()->sizeHint().width());
    return rect;
}

void VOKR_STATE_TEXT_EDIT::set_model(QCompleter* completer, const QStringList& list)
{
    static_cast<QStringListModel*>(completer->model())->setStringList(list);
}

void VOKR_STATE_TEXT_EDIT::show_suggestions(int kind)
{
    if (kind == VOKR_COMPLETER_TYPE_REPLACE || is_blocked())
        return;
    m_timer->stop();
    const QString before = text_before_cursor();
    const QString all = toPlainText();
    QStringList list =
        vokr_get_completion_list(before, all, m_tx_manager, m_instance, display_type(), VOKR_COMPLETER_TYPE_REPLACE);
    if (kind == VOKR_COMPLETER_TYPE_INSERT && !list.isEmpty()) {
        set_model(m_completer, list);
        m_completer_type = VOKR_COMPLETER_TYPE_CHECK;
        m_completer->complete(popup_rect(m_completer));
        return;
    }
    list = vokr_get_completion_list(before, all, m_tx_manager, m_instance, display_type(), VOKR_COMPLETER_TYPE_CHECK);
    set_model(m_completer, list);
    m_completer->popup()->hide();
    m_timer->start();
}

void VOKR_STATE_TEXT_EDIT::on_timer()
{
    const QRect rect = popup_rect(m_completer);
    m_completer_type = VOKR_COMPLETER_TYPE_CHECK;
    if (!hasFocus()) {
        m_completer->popup()->hide();
        m_name_completer->popup()->hide();
        return;
    }
    m_completer->complete(rect);
}

void VOKR_STATE_TEXT_EDIT::on_replace_text(const QString& text)
{
    if (VOKR_COMPLETER_ITEM_DELEGATE::is_placeholder(text)) {
        const QStringList names = text == "state"       ? m_tx_manager->get_state_names(m_instance)
                                  : text == "condition" ? m_tx_manager->get_condition_names(m_instance)
                                  : text == "counter"   ? m_tx_manager->get_counter_names(m_instance)
                                                        : m_tx_manager->get_flag_names(m_instance);
        set_model(m_name_completer, names);
        QRect rect = popup_rect(m_name_completer);
        rect.translate(m_completer->popup()->width(), 0);
        m_completer_type = VOKR_COMPLETER_TYPE_INSERT;
        m_name_completer->complete(rect);
        return;
    }
    bool insert = m_completer_type == VOKR_COMPLETER_TYPE_INSERT;
    if (m_completer_type == VOKR_COMPLETER_TYPE_CHECK)
        insert = vokr_get_completion_list(text_before_cursor(), toPlainText(), m_tx_manager, m_instance, display_type(),
                                          VOKR_COMPLETER_TYPE_INSERT)
                     .contains(text);
    static const QRegularExpression line_end("(^begin|^end|;)$");
    const QString replacement = line_end.match(text).hasMatch() ? text + "\n" : text;
    QTextCursor cursor = textCursor();
    if (!insert) {
        if (m_completer_type == VOKR_COMPLETER_TYPE_REPLACE && m_clicked.first < m_clicked.second) {
            cursor.setPosition(m_clicked.first);
            cursor.setPosition(m_clicked.second, QTextCursor::KeepAnchor);
        } else {
            cursor.movePosition(QTextCursor::StartOfWord);
            cursor.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
        }
    }
    cursor.insertText(replacement);
    setTextCursor(cursor);
    m_clicked = {0, 0};
    if (m_completer_type != VOKR_COMPLETER_TYPE_REPLACE)
        show_suggestions(VOKR_COMPLETER_TYPE_CHECK);
    m_completer->popup()->hide();
    m_name_completer->popup()->hide();
}

void VOKR_STATE_TEXT_EDIT::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (m_completer->popup()->isVisible()) {
        event->accept();
        if (key == Qt::Key_Escape || key == Qt::Key_Shift)
            event->ignore();
        else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_completer->popup()->currentIndex().isValid())
            event->ignore();
        else if (is_navigation_key(key))
            show_suggestions(VOKR_COMPLETER_TYPE_CHECK);  // then the cursor moves and the offers follow it
        if (!event->isAccepted())
            return;
        if (!is_blocked())
            QTextEdit::keyPressEvent(event);
        show_suggestions(VOKR_COMPLETER_TYPE_INSERT);
        return;
    }
    if (!is_blocked())
        QTextEdit::keyPressEvent(event);
    if (is_navigation_key(key))
        show_suggestions(VOKR_COMPLETER_TYPE_CHECK);
    else if (key != Qt::Key_Shift)
        show_suggestions(VOKR_COMPLETER_TYPE_INSERT);
}

bool VOKR_STATE_TEXT_EDIT::eventFilter(QObject* object, QEvent* event)
{
    if (!m_completer)  // events of the construction
        return QTextEdit::eventFilter(object, event);
    QAbstractItemView* popup = m_completer->popup();
    if (object == popup && event->type() == QEvent::KeyPress && popup->isVisible() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Up && !popup->currentIndex().isValid()) {
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    }
    return QTextEdit::eventFilter(object, event);
}

bool VOKR_STATE_TEXT_EDIT::is_underlined(const QPoint& pos, QString* word) const
{
    return underlined_range(pos, word, nullptr);
}

bool VOKR_STATE_TEXT_EDIT::underlined_range(const QPoint& pos, QString* word, std::pair<int, int>* range) const
{
    const QTextCursor cursor = cursorForPosition(pos);
    const QTextBlock block = cursor.block();
    if (!block.layout())
        return false;
    for (const QTextLayout::FormatRange& r : block.layout()->formats()) {
        const int start = block.position() + r.start;
        if (cursor.position() < start || cursor.position() >= start + r.length ||
            r.format.underlineStyle() != QTextCharFormat::SingleUnderline)
            continue;
        if (word)
            *word = block.text().mid(r.start, r.length);
        if (range)
            *range = {start, start + r.length};
        return true;
    }
    return false;
}

void VOKR_STATE_TEXT_EDIT::mouseMoveEvent(QMouseEvent* event)
{
    QTextEdit::mouseMoveEvent(event);
    viewport()->setCursor(is_underlined(event->pos(), nullptr) ? Qt::PointingHandCursor : Qt::IBeamCursor);
}

void VOKR_STATE_TEXT_EDIT::mouseReleaseEvent(QMouseEvent* event)
{
    QTextEdit::mouseReleaseEvent(event);
    if (textCursor().hasSelection())
        return;
    QString word;
    if (!underlined_range(event->pos(), &word, &m_clicked)) {
        show_suggestions(VOKR_COMPLETER_TYPE_CHECK);
        return;
    }
    static const QRegularExpression decimal("^\\d+$");
    if (decimal.match(word).hasMatch()) {
        edit_number(word);
        return;
    }
    const QStringList list = vokr_get_click_change_list(word, VOKR_TX_MANAGER_NAME_SOURCE(m_tx_manager, m_instance));
    set_model(m_completer, list);
    QAbstractItemView* popup = m_completer->popup();
    m_completer_type = VOKR_COMPLETER_TYPE_REPLACE;
    m_completer->complete(popup_rect(m_completer));
    const int row = list.indexOf(word);
    if (row >= 0)
        popup->setCurrentIndex(m_completer->completionModel()->index(row, 0));
    else
        popup->selectionModel()->clear();
}

// Numbers are edited in the value dialog as unsigned 32-bit values; a longer number is left for
// the keyboard, as the dialog would cut it.
void VOKR_STATE_TEXT_EDIT::edit_number(const QString& word)
{
    bool fits = false;
    const qulonglong value = word.toULongLong(&fits);
    if (!fits || value > std::numeric_limits<quint32>::max())
        return;
    const std::pair<int, int> clicked = m_clicked;
    VOKR_TRIGGER_VALUE_DLG dialog(QString::number(value, 2).rightJustified(32, '0'), 32, this, KSM_GTYPE_UNSIGNED);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QByteArray bits = dialog.get_value_edit()->text().toLatin1();
    m_completer_type = VOKR_COMPLETER_TYPE_REPLACE;
    m_clicked = clicked;
    on_replace_text(QString::number(VOKR_NUMBER(bits.constData()).get_uint()));
}

void VOKR_STATE_TEXT_EDIT::on_text_changed()
{
    if (m_filling)
        return;
    if (m_state_index >= 0)
        emit text_changed(m_state_index, toPlainText());
    else
        emit text_changed(toPlainText());
    // A header typed or removed changes the state names that earlier lines may use.
    refresh_highlighting();
}

// Highlighting applies formats without changing the text: the editor passes nothing on meanwhile.
void VOKR_STATE_TEXT_EDIT::refresh_highlighting()
{
    if (!m_highlighter->are_names_changed())
        return;
    const bool blocked = m_filling;
    m_filling = true;
    m_highlighter->rehighlight();
    m_filling = blocked;
}

void VOKR_STATE_TEXT_EDIT::paintEvent(QPaintEvent* event)
{
    if (is_locked() || is_power_up()) {
        QPainter painter(viewport());
        painter.fillRect(viewport()->rect(), is_locked() ? pirq_get_brush(22) : vokr_light_blue_brush());
    }
    QTextEdit::paintEvent(event);
}

void VOKR_STATE_TEXT_EDIT::showEvent(QShowEvent* event)
{
    const bool blocked = m_filling;
    m_filling = true;
    m_highlighter->rehighlight();
    m_filling = blocked;
    QTextEdit::showEvent(event);
}

void VOKR_STATE_TEXT_EDIT::contextMenuEvent(QContextMenuEvent* event)
{
    if (is_blocked())
        return;
    QTextEdit::contextMenuEvent(event);
}
