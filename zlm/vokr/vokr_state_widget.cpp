#include "vokr_state_widget.h"

#include "vokr_assert.h"
#include "vokr_bool_combo_box.h"
#include "vokr_frame_wnd.h"
#include "vokr_panel_header.h"
#include "vokr_state_machine_object.h"
#include "vokr_state_text_edit.h"
#include "vokr_wheel_guard.h"

#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

VOKR_STATE_WIDGET::VOKR_STATE_WIDGET(QWidget* parent, int instance, VOKR_FRAME_WND* frame)
    : QFrame(parent), m_instance(instance), m_frame(frame), m_tx_manager(frame->get_tx_manager())
{
    QHBoxLayout* header = vokr_build_panel(this, get_editor_widget(), &m_scroll_area);
    auto* title = new QLabel("State Machine:");
    title->setFixedHeight(22);
    header->addWidget(title);
    header->addSpacing(6);
    m_error_label = new QLabel;
    m_error_label->setObjectName("state_error");
    m_error_label->setFixedHeight(22);
    m_error_label->setTextFormat(Qt::PlainText);
    m_error_label->setWordWrap(true);
    QPalette red = m_error_label->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    m_error_label->setPalette(red);
    header->addWidget(m_error_label, 1);

    m_check_timer.setSingleShot(true);
    m_check_timer.setInterval(500);
    connect(&m_check_timer, &QTimer::timeout, this, &VOKR_STATE_WIDGET::on_timer);
    VOKR_ASSERT(
        connect(m_tx_manager, &VOKR_TX_MANAGER::updated, this, &VOKR_STATE_WIDGET::on_update, Qt::QueuedConnection));
}

QWidget* VOKR_STATE_WIDGET::get_editor_widget()
{
    const bool unified = m_tx_manager->get_state_display_mode();
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Display mode:"), 0, 0);
    auto* mode = new VOKR_BOOL_COMBO_BOX("One window per state", "All states in one window");
    mode->setObjectName("state_display_mode");
    mode->set_current_index(unified);
    VOKR_ASSERT(connect(mode, &VOKR_BOOL_COMBO_BOX::current_index_changed, m_tx_manager,
                        &VOKR_TX_MANAGER::set_state_display_mode));
    grid->addWidget(mode, 0, 1);

    const VOKR_STATE_MACHINE_OBJECT* object = m_tx_manager->get_state_machine_object(m_instance);
    auto add_editor = [&](int row, const QString& title, int state) {
        auto* box = new QVBoxLayout;
        box->setContentsMargins(0, 0, 0, 0);
        box->setSpacing(0);
        box->addWidget(new QLabel(title));
        auto* editor = new VOKR_STATE_TEXT_EDIT(m_tx_manager, m_instance, state);
        editor->setObjectName(state < 0 ? QString("state_text") : QString("state_text_%1").arg(state));
        box->addWidget(editor, 1);
        grid->addLayout(box, row, 0, 1, 3);
        grid->setRowStretch(row, 1);
        return editor;
    };
    if (!unified) {
        for (int i = 0; i < m_tx_manager->get_state_count(m_instance); ++i) {
            QString name;
            m_tx_manager->get_state_name(i, &name, m_instance);
            VOKR_STATE_TEXT_EDIT* editor = add_editor(i + 1, QString("State %1: %2").arg(i + 1).arg(name), i);
            const QString stored =
                object && object->get_stored_text_count() > i ? object->get_state_text(i) : QString();
            editor->set_text_silently(m_unstored.value(i, stored));
            const auto changed = QOverload<int, const QString&>::of(&VOKR_STATE_TEXT_EDIT::text_changed);
            VOKR_ASSERT(connect(editor, changed, m_tx_manager, &VOKR_TX_MANAGER::set_state_text));
            VOKR_ASSERT(connect(editor, changed, this, &VOKR_STATE_WIDGET::on_state_text_changed));
        }
    } else {
        VOKR_STATE_TEXT_EDIT* editor = add_editor(1, "All States:", -1);
        QString text;
        m_tx_manager->get_unified_state_text(&text, m_instance);
        editor->set_text_silently(text);
        VOKR_ASSERT(connect(editor, QOverload<const QString&>::of(&VOKR_STATE_TEXT_EDIT::text_changed), m_tx_manager,
                            &VOKR_TX_MANAGER::set_unified_state_text));
    }
    grid->setColumnStretch(2, 1);
    auto* area = new QWidget;
    area->setLayout(grid);
    return area;
}

void VOKR_STATE_WIDGET::on_update(QObject*, int hint)
{
    if (!(hint & VOKR_HINT_VIEW))
        return;
    if (hint & VOKR_HINT_REBUILD) {
        VOKR_UPDATE_GUARD filling;
        delete m_scroll_area->takeWidget();
        m_scroll_area->setWidget(get_editor_widget());
        VOKR_WHEEL_GUARD::guard_boxes(m_scroll_area->widget());
    }
    for (VOKR_STATE_TEXT_EDIT* editor : m_scroll_area->findChildren<VOKR_STATE_TEXT_EDIT*>())
        editor->refresh_highlighting();
    m_check_timer.start();
}

// Each change of a state's window. A text that the manager does not take (it holds a header) is
// kept for the windows of a rebuild; the check starts here, as the manager announces no change.
void VOKR_STATE_WIDGET::on_state_text_changed(int state, const QString& text)
{
    if (VOKR_STATE_MACHINE_OBJECT::find_header_word(text) >= 0)
        m_unstored.insert(state, text);
    else
        m_unstored.remove(state);
    m_check_timer.start();
}

// The instance may have been removed (or lost its trigger) while the timer ran; there is then
// nothing to check.
void VOKR_STATE_WIDGET::on_timer()
{
    m_error.has_error = false;
    if (m_tx_manager->state_trigger(m_instance))
        m_tx_manager->check_state_machine(&m_error, m_instance);
    if (!m_tx_manager->get_state_display_mode())
        find_unstored_header();
    show_error();
}

// The first state window that holds a header it may not hold comes before the flow's own error:
// what that window shows is not in the flow yet.
void VOKR_STATE_WIDGET::find_unstored_header()
{
    for (int state = 0; state < m_tx_manager->get_state_count(m_instance); ++state) {
        const auto* editor = m_scroll_area->findChild<VOKR_STATE_TEXT_EDIT*>(QString("state_text_%1").arg(state));
        const QString text = editor ? editor->toPlainText() : QString();
        const int at = VOKR_STATE_MACHINE_OBJECT::find_header_word(text);
        if (at < 0)
            continue;
        m_error.has_error = true;
        m_error.message = "Not stored: state header";
        m_error.state = state;
        m_error.line_in_state = 1 + text.leftRef(at).count('\n');
        return;
    }
}

// The error in red in the header row, with its line in the text it shows in.
void VOKR_STATE_WIDGET::show_error()
{
    const bool unified = m_tx_manager->get_state_display_mode();
    if (!m_error.has_error)
        m_error_label->clear();
    else if (unified)
        m_error_label->setText(QString("%1 (line %2)").arg(m_error.message).arg(m_error.line));
    else
        m_error_label->setText(
            QString("%1 (State %2, line %3)").arg(m_error.message).arg(m_error.state + 1).arg(m_error.line_in_state));
}
