// Drag and drop of the node list view: dragging the selected rows to reorder or copy them, and
// dropping design names (the framework's instance-name lists) or plain text as new nodes.
#include "vokr_view.h"

#include "ksm.h"
#include "vokr_frame_wnd.h"
#include "vokr_tx_manager.h"

#include <QCursor>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTimer>

#include <cmath>
#include <utility>

namespace {

constexpr int SCROLL_MARGIN = 31;

bool has_known_format(const QMimeData* data)
{
    return data && (data->hasFormat(VOKR_VIEW::NODE_DRAG_FORMAT) ||
                    data->hasFormat(PIRQ_DATA_TRANSFER_MANAGER::INSTANCE_NAME_LIST_MIME_TYPE) || data->hasText());
}

int scroll_step(int depth) { return int(std::pow(1.04, depth) * 1.4); }

}  // namespace

bool VOKR_VIEW::is_own_drag(const QDropEvent* event) const { return event->source() == this; }

Qt::DropAction VOKR_VIEW::exec_node_drag(Qt::DropActions actions)
{
    auto* drag = new QDrag(this);
    drag->setMimeData(make_node_drag_data());
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &VOKR_VIEW::on_drag_scroll);
    timer->start(100);
    const Qt::DropAction done = drag->exec(actions);
    delete timer;
    return done;
}

// An outside drag needs a current instance that may be changed freely, and not while it captures.
bool VOKR_VIEW::accepts_external_drag() const
{
    if (!m_frame_wnd || !m_tx_manager->get_tx_instance() || !current_node_table() || !is_editable())
        return false;
    if (m_tx_manager->is_powerup_trigger(-1))
        return false;
    return m_tx_manager->get_lock_mode(false) == VOKR_LOCK_MODE_ALL_CHANGES;
}

void VOKR_VIEW::dragEnterEvent(QDragEnterEvent* event)
{
    if (!has_known_format(event->mimeData()))
        return event->ignore();
    if (is_own_drag(event))
        return event->acceptProposedAction();
    if (!accepts_external_drag())
        return event->ignore();
    event->acceptProposedAction();
    if (!m_tx_manager->is_setup_mode()) {
        m_tab_before_drag = m_tx_manager->get_int_state(-1, "active tab", 1);
        m_tx_manager->set_int_state(-1, "active tab", 1);
        m_tx_manager->update_all_views(nullptr, VOKR_HINT_REFRESH_TABS | VOKR_HINT_VIEW);
    }
}

// Refused: the header, a selected row, an index the list refuses, or inside a plug-in bus.
// Rows keep their places while the instance captures, as for Delete and Group.
bool VOKR_VIEW::refuse_drop_at(int row, bool before) const
{
    if (row < 0 || !is_editable() || (row < get_node_count() && m_tx_manager->get_node_selection_status(row)) ||
        m_tx_manager->is_invalid_index_for_drop(row, false))
        return true;
    const int i = before ? row : row + 1;
    if (i < 1 || i >= get_node_count() || !is_group_member(i))
        return false;
    for (int j = i - 1; j >= 0; --j) {
        KSM_DATA_GROUP_DISPLAY_TYPE type = KSM_GTYPE_BINARY;
        if (is_group(j) && m_tx_manager->get_node_group_display_type(j, &type, -1) && type == KSM_GTYPE_PLUGIN)
            return true;
    }
    return false;
}

void VOKR_VIEW::dragMoveEvent(QDragMoveEvent* event)
{
    if (!is_own_drag(event))
        return;
    m_drag_moved = true;
    if (m_drag_started) {
        int row = -1, column = -1;
        QRect cell;
        find_item(event->pos(), &row, &column, &cell);
        m_drag_start_node = row_to_node(row);
        m_drag_started = false;
    }
    bool before = false;
    const int row = find_drop_position(event->pos(), &before);
    m_drop_row = row;
    m_drop_before = before;
    if (refuse_drop_at(row, before)) {
        event->ignore();
        m_drop_row = -1;
        m_drop_before = false;
    } else {
        event->acceptProposedAction();
        m_drop_shown = true;
    }
    update();
}

void VOKR_VIEW::dragLeaveEvent(QDragLeaveEvent*)
{
    int row = -1, column = -1;
    QRect cell;
    find_item(mapFromGlobal(QCursor::pos()), &row, &column, &cell);
    m_drop_row = -1;
    m_drop_before = false;
    m_tab_before_drag = -1;
    m_left_at_start = m_drag_start_node == row_to_node(row);
    update();
}

void VOKR_VIEW::on_drag_scroll()
{
    if (m_vertical_bar->isHidden())
        return;
    const QPoint c = mapFromGlobal(QCursor::pos());
    const int v = m_vertical_bar->value(), min = m_vertical_bar->minimum(), max = m_vertical_bar->maximum();
    const QRect r = rect();
    const bool tall_title =
        !m_tx_manager->is_setup_mode() && get_row_height(2) > 0 && get_row_height(1) > 0 && m_timebar_count > 0;
    int t = r.top() + (tall_title ? 38 : 23) + get_row_height(1);
    const bool one_segment =
        m_tx_manager->is_data_mode(-1) && m_tx_manager->get_data_segment_size() == 1 && get_row_height(1) > 0;
    t += one_segment ? 0 : 20;
    int b = r.bottom();
    if (v > min)
        t += SCROLL_MARGIN;
    if (v < max)
        b -= SCROLL_MARGIN;
    if (c.y() > t && c.y() < b)
        return;
    if (c.y() >= t - SCROLL_MARGIN && c.y() < t && v > min)
        m_vertical_bar->setValue(std::max(min, v - scroll_step(t - c.y())));
    else if (c.y() > b && c.y() <= b + SCROLL_MARGIN && v < max)
        m_vertical_bar->setValue(std::min(max, v + scroll_step(c.y() - b)));
    m_drop_row = -1;
    m_drop_before = false;
    save_position_data();
    update();
}

void VOKR_VIEW::dropEvent(QDropEvent* event)
{
    const bool own = is_own_drag(event);
    KSM_TX_INSTANCE* instance = m_tx_manager->get_tx_instance();
    if (!instance || !is_editable() || (!own && !accepts_external_drag())) {
        m_tab_before_drag = -1;
        return event->ignore();
    }
    const int n = get_node_count();
    if (m_drop_row >= n) {
        m_drop_row = -1;
        m_drop_before = false;
    }
    // The switch to Setup made when the drag entered belongs to the drop's undo unit, so that
    // undo brings back the tab the drop came from.
    const int tab_before = std::exchange(m_tab_before_drag, -1);
    if (tab_before != -1)
        m_tx_manager->set_int_state(-1, "active tab", tab_before);
    instance->begin_action();
    if (tab_before != -1)
        m_tx_manager->set_int_state(-1, "active tab", 1);
    const QMimeData* data = event->mimeData();
    PIRQ_DATA_TRANSFER_MANAGER* transfer = PIRQ_DATA_TRANSFER_MANAGER::get_instance();
    if (data->hasFormat(PIRQ_DATA_TRANSFER_MANAGER::INSTANCE_NAME_LIST_MIME_TYPE) && transfer) {
        const QVariant names = transfer->get_instance_name_list_transfer_data(data);
        if (names.canConvert<PIRQ_INSTANCE_NAME_LIST>())
            m_tx_manager->insert_nodes(names.value<PIRQ_INSTANCE_NAME_LIST>());
    } else if (data->hasText() && !data->hasFormat(NODE_DRAG_FORMAT)) {
        const KSM_DATA_WIRE_TAP_MODE tap =
            m_tx_manager->is_incremental_compile() ? KSM_TAP_POST_FITTING : KSM_TAP_PRE_SYNTHESIS;
        for (const QString& name : data->text().split(QRegularExpression("\\s+"), Qt::SkipEmptyParts))
            m_tx_manager->insert_node(name, tap);
        m_tx_manager->check_node_validity(-1);
        m_tx_manager->show_untappable_msg(nullptr);
    } else if (own) {
        int i = m_drop_row + (m_drop_before ? 0 : 1);
        exclude_plugin_bus_members();
        if (event->proposedAction() == Qt::MoveAction) {
            bool into_group = false;
            if (m_drop_row == -1 && !m_drop_before)
                i = n;
            else if (!m_drop_before)
                into_group = m_tx_manager->is_last_group_member(i - 1);
            m_tx_manager->move_selected_before_node(i, into_group);
            if (m_tx_manager->has_at_least_one_basic_or_trigger_level())
                m_tx_manager->update_all_views(nullptr, VOKR_HINT_INSTANCES);
        } else if (event->proposedAction() == Qt::CopyAction) {
            bool into_group = false;
            if (m_drop_row != -1 || m_drop_before)
                into_group = (i < n && m_tx_manager->is_group_member(i)) ||
                             (!m_drop_before && i >= 1 && m_tx_manager->is_last_group_member(i - 1));
            else
                i = n;
            m_tx_manager->copy_selected_before_node(i, into_group);
        }
        event->acceptProposedAction();
    }
    // The selection is cleared inside the unit, so that undo gives it back with the rows.
    select_items(false);
    m_tx_manager->end_action(VOKR_CHECK_ALWAYS, -1);
    m_drop_row = -1;
    m_drop_before = false;
    emit m_tx_manager->updated(nullptr, VOKR_HINT_REFRESH_NODE_PANES);
    if (!own)
        event->acceptProposedAction();
}
