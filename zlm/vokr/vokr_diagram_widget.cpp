#include "vokr_diagram_widget.h"

#include "vokr_assert.h"
#include "vokr_frame_wnd.h"
#include "vokr_int_combo_box.h"
#include "vokr_panel_header.h"
#include "vokr_state_list_widget.h"
#include "vokr_state_machine_object.h"
#include "vokr_tx_manager.h"
#include "vokr_wheel_guard.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QVBoxLayout>

VOKR_DIAGRAM_WIDGET::VOKR_DIAGRAM_WIDGET(QWidget* parent, int instance, VOKR_FRAME_WND* frame)
    : QFrame(parent), m_instance(instance), m_frame(frame), m_tx_manager(frame->get_tx_manager())
{
    QHBoxLayout* header = nullptr;
    QVBoxLayout* column = vokr_build_panel_column(this, &header);
    auto* title = new QLabel("State Diagram:");
    title->setFixedHeight(22);
    header->addWidget(title);

    auto* grid = new QGridLayout;
    grid->setContentsMargins(7, 7, 7, 7);
    grid->setSpacing(6);
    grid->setColumnStretch(2, 1);
    m_state_count_combo = new VOKR_INT_COMBO_BOX(1, 20);
    m_current_state = new QLineEdit;
    m_current_state->setReadOnly(true);
    QPalette palette = m_current_state->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setBrush(group, QPalette::Base, Qt::NoBrush);
    m_current_state->setPalette(palette);
    grid->addWidget(new QLabel("Number of states:"), 0, 0);
    grid->addWidget(m_state_count_combo, 0, 1);
    grid->addWidget(new QLabel("Current state:"), 1, 0);
    grid->addWidget(m_current_state, 1, 1);
    column->addLayout(grid);
    VOKR_ASSERT(connect(m_state_count_combo, &VOKR_INT_COMBO_BOX::current_count_changed, m_tx_manager,
                        &VOKR_TX_MANAGER::set_state_count));

    column->addWidget(vokr_new_panel_line());
    m_state_list = new VOKR_STATE_LIST_WIDGET;
    m_state_list->setFrameShape(QFrame::NoFrame);
    m_state_list->setFocusPolicy(Qt::NoFocus);
    column->addWidget(m_state_list, 1);
    VOKR_WHEEL_GUARD::guard_boxes(this);

    on_update(nullptr, VOKR_HINT_REBUILD | VOKR_HINT_VIEW);
    VOKR_ASSERT(
        connect(m_tx_manager, &VOKR_TX_MANAGER::updated, this, &VOKR_DIAGRAM_WIDGET::on_update, Qt::QueuedConnection));
}

// The stored name of a state (from 1), or "ST" and its number.
QString VOKR_DIAGRAM_WIDGET::state_name(int state) const
{
    QString name;
    m_tx_manager->get_state_name(state - 1, &name, m_instance);
    return name.isEmpty() ? QString("ST%1").arg(state) : name;
}

// Names the items and links each state to the states its gotos name, in text order.
void VOKR_DIAGRAM_WIDGET::link_states(int count)
{
    const VOKR_STATE_MACHINE_OBJECT* object = m_tx_manager->get_state_machine_object(m_instance);
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names << state_name(i);
    static const QRegularExpression blanks("\\s+");
    for (int i = 1; i <= count; ++i) {
        VOKR_STATE* state = VOKR_STATE_LIST_WIDGET::state_of(m_state_list->item(i));
        state->item->setText(names[i - 1]);
        QString text = object && object->get_stored_text_count() >= i ? object->get_state_text(i - 1) : QString();
        const QStringList tokens = text.replace(';', ' ').replace(blanks, " ").trimmed().split(' ');
        for (int t = 0; t + 1 < tokens.size(); ++t) {
            if (tokens[t] != "goto")
                continue;
            const int target = names.indexOf(tokens[t + 1]);
            if (target >= 0)
                state->successors << VOKR_STATE_LIST_WIDGET::state_of(m_state_list->item(target + 1));
        }
    }
}

// Frames the state of the current data log, or "Start" before any acquisition.
void VOKR_DIAGRAM_WIDGET::mark_current(int count)
{
    const KSM_TX_SESSION* session = m_tx_manager->get_session();
    const int entry = m_instance < 0 ? m_tx_manager->get_current_instance_index() : m_instance;
    const KSM_DATA_LOG* log = session && entry >= 0 ? session->get_log_at(entry) : nullptr;
    const int value = log ? log->get_state_value() : -1;
    // A value the present states do not cover is shown by its default name.
    if (value < 0)
        m_current_state->clear();
    else
        m_current_state->setText(QString("State %1: %2")
                                     .arg(value + 1)
                                     .arg(value < count ? state_name(value + 1) : QString("ST%1").arg(value + 1)));
    for (int row = 0; row < m_state_list->count(); ++row)
        VOKR_STATE_LIST_WIDGET::state_of(m_state_list->item(row))->current = row - 1 == value;
}

bool VOKR_DIAGRAM_WIDGET::is_count_locked() const
{
    const KSM_TX_SESSION* session = m_tx_manager->get_session();
    const bool power_up = m_tx_manager->get_tx_instance() && session &&
                          session->is_power_up_view(m_tx_manager->get_current_instance_index());
    if (m_tx_manager->get_frame_wnd() && (power_up || m_tx_manager->get_lock_mode(false) != VOKR_LOCK_MODE_ALL_CHANGES))
        return true;
    return m_tx_manager->get_tx_instance() && m_tx_manager->is_instance_acquiring(m_instance);
}

void VOKR_DIAGRAM_WIDGET::on_update(QObject*, int hint)
{
    if (!(hint & VOKR_HINT_VIEW))
        return;
    m_state_list->setUpdatesEnabled(false);
    {
        VOKR_UPDATE_GUARD filling;
        const int count = m_tx_manager->get_state_count(m_instance);
        m_state_count_combo->set_current_count(count);
        if ((hint & VOKR_HINT_REBUILD) || m_state_list->count() != count + 1) {
            m_state_list->clear();
            for (int i = 0; i <= count; ++i)
                m_state_list->add_item();
        }
        VOKR_ASSERT(m_state_list->count() == count + 1);
        for (int row = 1; row < m_state_list->count(); ++row) {
            VOKR_STATE* state = VOKR_STATE_LIST_WIDGET::state_of(m_state_list->item(row));
            state->reached = false;
            state->successors.clear();
        }
        link_states(count);
        VOKR_STATE_LIST_WIDGET::state_of(m_state_list->item(1))->enable();
        mark_current(count);
        m_state_count_combo->setEnabled(!is_count_locked());
    }
    m_state_list->setUpdatesEnabled(true);
    m_state_list->viewport()->update();
}
