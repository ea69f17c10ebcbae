// Keyboard, wheel and context-menu input of the node list view, and its selection rules: single
// nodes with Shift and Ctrl, ranges from an anchor, groups, and the exclusion of plug-in bus
// members; also the change of the selection's tap mode.
#include "vokr_view.h"

#include "ksm.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_msg.h"
#include "vokr_object_widget.h"
#include "vokr_tx_manager.h"
#include "vokr_undo_actions.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

constexpr int NODE_INDEX_LIMIT = 4096;

}  // namespace

// ---- selection ------------------------------------------------------------------------------------------

void VOKR_VIEW::select_node(int node, bool value)
{
    if (node < 0 || node >= get_node_count())
        return;
    const Qt::KeyboardModifiers mods = QApplication::keyboardModifiers();
    const bool old = m_tx_manager->get_node_selection_status(node);
    bool flag = value;
    if (mods & Qt::ShiftModifier)
        flag = old || value;
    else if (mods & Qt::ControlModifier)
        flag = old != value;
    m_tx_manager->set_node_selection_status(node, flag);
    if (m_frame_wnd) {
        m_frame_wnd->on_update_file_menu();
        m_frame_wnd->on_update_edit_menu();
        m_frame_wnd->on_update_view_menu();
    }
}

int VOKR_VIEW::select_group(int node, bool value)
{
    if (!is_group(node))
        return 0;
    m_tx_manager->set_node_selection_status(node, value);
    int last = node;
    for (int i = node + 1; i < get_node_count() && is_group_member(i); ++i) {
        m_tx_manager->set_node_selection_status(i, value);
        last = i;
    }
    return last;
}

int VOKR_VIEW::select_mouse_press(const QPoint& point)
{
    int row = -1, column = -1;
    QRect cell;
    find_item(point, &row, &column, &cell);
    const int node = row < 0 ? get_node_count() : row_to_node(row);
    const int n = get_node_count();
    if (QApplication::keyboardModifiers() & Qt::ShiftModifier) {
        if (n > 0) {
            m_tx_manager->select_node_range(0, n - 1, false);
            const int a = std::clamp(std::min(m_selection_anchor, node), 0, n - 1);
            const int b = std::clamp(std::max(m_selection_anchor, node), 0, n - 1);
            m_tx_manager->select_node_range(a, b, true);
            deselect_hidden_rows();
        }
    } else if (node < 0) {
        m_selection_anchor = 0;
    } else if (node < n) {
        select_node(node, true);
        m_selection_anchor = node;
    } else {
        m_selection_anchor = std::max(n - 1, 0);
    }
    update();
    if (m_frame_wnd)
        m_frame_wnd->on_update_edit_menu();
    return node;
}

void VOKR_VIEW::exclude_plugin_bus_members()
{
    const int n = std::min(get_node_count(), NODE_INDEX_LIMIT);
    bool excluded = false;
    for (int i = 0; i < n; ++i) {
        KSM_DATA_GROUP_DISPLAY_TYPE type = KSM_GTYPE_BINARY;
        if (!is_group(i) || !m_tx_manager->get_node_group_display_type(i, &type, -1) || type != KSM_GTYPE_PLUGIN)
            continue;
        for (int j = i + 1; j < n && is_group_member(j); ++j) {
            if (m_tx_manager->get_node_selection_status(j)) {
                m_tx_manager->set_node_selection_status(j, false);
                excluded = true;
            }
        }
    }
    if (excluded)
        vokr_prompt(vokr_msg_plugin_mem_nodes_exclusion());
}

bool VOKR_VIEW::selected_buses_have_width(int width) const
{
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    if (!list)
        return false;
    bool seen = false;
    for (int i = 0, n = get_node_count(); i < n; ++i) {
        if (!m_tx_manager->get_node_selection_status(i) || !is_bus_row(i))
            continue;
        if (list->get_num_leaf_children(i) != width)
            return false;
        seen = true;
    }
    return seen;
}

bool VOKR_VIEW::toggle_node_expansion(int node, bool do_toggle)
{
    if (node < 0)
        return false;
    if (!do_toggle)
        return !m_tx_manager->is_node_expanded(node);
    if (!m_tx_manager->get_tx_instance())
        return false;
    m_tx_manager->get_tx_instance()->begin_action();
    const bool done = m_tx_manager->toggle_node(node);
    m_tx_manager->end_action(VOKR_CHECK_NOTHING, -1);
    if (done) {
        invalidate_geometry();
        resizeEvent(nullptr);
        save_position_data();
    }
    return done;
}

// Both undo records re-check the nodes against the compiled design after undo and redo.
void VOKR_VIEW::change_selected_tap_mode(bool pre_synthesis)
{
    if (VOKR_UPDATE_GUARD::is_updating() || !m_tx_manager->get_tx_instance() || get_selected_node_count() == 0)
        return;
    const KSM_DATA_WIRE_TAP_MODE mode = pre_synthesis ? KSM_TAP_PRE_SYNTHESIS : KSM_TAP_POST_FITTING;
    VOKR_ACTION_GUARD unit(m_tx_manager);
    KSM_TX_INSTANCE* instance = m_tx_manager->get_tx_instance();
    instance->append_atomic_action(new KSM_TX_UNDO_ACTION_CHECK_NODE_VALIDITY(m_tx_manager));
    for (int i = 0, n = get_node_count(); i < n; ++i) {
        if (!m_tx_manager->get_node_selection_status(i))
            continue;
        if (is_bus_row(i)) {
            std::vector<int> rows;
            m_tx_manager->get_all_descendants(i, &rows);
            for (int row : rows)
                m_tx_manager->set_node_tap_mode(row, mode);
        } else {
            m_tx_manager->set_node_tap_mode(i, mode);
        }
    }
    instance->append_atomic_action(new KSM_TX_UNDO_ACTION_CHECK_NODE_VALIDITY(m_tx_manager));
    m_tx_manager->update_modified_flag();
    m_tx_manager->check_node_validity(-1);
    emit m_tx_manager->updated(nullptr, VOKR_HINT_REFRESH_VIEW);
}

void VOKR_VIEW::on_change_node_pre_syn() { change_selected_tap_mode(true); }

void VOKR_VIEW::on_change_node_post_fit() { change_selected_tap_mode(false); }

// ---- keys, wheel and context menus -----------------------------------------------------------------------

// Where the view's own Delete does not apply, an advanced level's canvas that holds the focus
// deletes its selected objects, as Delete pressed on it would.
void VOKR_VIEW::delete_on_focused_canvas()
{
    const VOKR_LAYOUT_WIDGET* layout = m_tx_manager->get_layout_widget();
    VOKR_OBJECT_WIDGET* canvas = layout ? layout->get_object_widget() : nullptr;
    if (m_tx_manager->is_advanced_mode(nullptr) && canvas && canvas->hasFocus())
        canvas->on_edit_delete();
}

void VOKR_VIEW::keyPressEvent(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Delete:
        // The view's own delete needs its focus; a key delivered to it while the canvas holds
        // the focus (as the scripts' key hooks deliver one) goes to the canvas.
        if (hasFocus() && on_update_edit_delete())
            on_edit_delete();
        else
            delete_on_focused_canvas();
        return;
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: QApplication::sendEvent(ctrl ? m_horizontal_bar : m_vertical_bar, event); return;
    // A scroll bar maps Left and Right by its inverted controls; the view's Left goes toward the
    // first column or sample, Right toward the last.
    case Qt::Key_Left: m_horizontal_bar->triggerAction(QAbstractSlider::SliderSingleStepSub); return;
    case Qt::Key_Right: m_horizontal_bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); return;
    case Qt::Key_Up:
    case Qt::Key_Down: QApplication::sendEvent(m_vertical_bar, event); return;
    default: QWidget::keyPressEvent(event);
    }
}

// Ctrl only chooses the horizontal bar: a notch steps it as a plain notch steps the rows (the
// bar itself would take Ctrl for a whole page).
void VOKR_VIEW::wheelEvent(QWheelEvent* event)
{
    if (!event->spontaneous())
        return;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    QWheelEvent plain(event->position(), event->globalPosition(), event->pixelDelta(), event->angleDelta(),
                      event->buttons(), event->modifiers() & ~Qt::ControlModifier, event->phase(), event->inverted(),
                      event->source());
    plain.ignore();
    QApplication::sendEvent(ctrl ? m_horizontal_bar : m_vertical_bar, &plain);
    event->setAccepted(plain.isAccepted());
    if (!event->isAccepted())
        return QWidget::wheelEvent(event);
    if (m_editor)
        m_editor->clearFocus();
}

void VOKR_VIEW::contextMenuEvent(QContextMenuEvent* event)
{
    if (!m_frame_wnd)
        return;
    int row = -1, column = -1;
    QRect cell;
    const bool hit = find_item(event->pos(), &row, &column, &cell);
    if (hit && column == WAVEFORM_COLUMN && row >= FIRST_NODE_ROW)
        return;
    QMenu* menu = hit ? m_context_menus.value(column) : nullptr;
    if (!menu || (row < FIRST_NODE_ROW && column != WAVEFORM_COLUMN))
        menu = m_context_menus.value(2);
    if (hit && column >= 9 && column <= LAST_LEVEL_COLUMN)
        m_current_level = column - FIRST_LEVEL_COLUMN;
    if (hit && column == WAVEFORM_COLUMN && row == 0)
        set_context_sample(get_sample_at(event->pos(), true));
    const int node = row_to_node(row);
    if (hit && node >= 0 && node < get_node_count() && !m_tx_manager->get_node_selection_status(node)) {
        select_items(false);
        select_node(node, true);
        update();
    }
    if (menu)
        exec_context_menu(menu, event->globalPos());
}

void VOKR_VIEW::exec_context_menu(QMenu* menu, const QPoint& global)
{
    const QPointer<VOKR_VIEW> self(this);  // an entry may close the window
    m_menu_open = true;
    menu->exec(global);
    if (self)
        m_menu_open = false;
}
