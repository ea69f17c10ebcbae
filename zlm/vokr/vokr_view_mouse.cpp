// Mouse input of the node list view: the cursor that announces what a press does, the press
// (editors, enable toggles, expansion, pattern toggles, selection and node drags), the release
// that ends time-bar drags and the zoom band, and double clicks.
#include "vokr_view.h"

#include "ksm.h"
#include "vokr_comparison_edit.h"
#include "vokr_edit.h"
#include "vokr_frame_wnd.h"
#include "vokr_node.h"
#include "vokr_tx_manager.h"

#include <QApplication>
#include <QMouseEvent>
#include <QRubberBand>

namespace {

constexpr int NAME_COLUMN = 2;

bool is_level_column(int column) { return column >= 9 && column <= VOKR_VIEW::LAST_LEVEL_COLUMN; }

QRect centred_box(const QRect& cell, int half)
{
    const QPoint c = cell.center();
    return QRect(c.x() - half, c.y() - half, 2 * half + 1, 2 * half + 1);
}

}  // namespace

void VOKR_VIEW::set_cursor_kind(CURSOR_KIND kind)
{
    m_cursor_kind = kind;
    switch (kind) {
    case CURSOR_IBEAM: setCursor(Qt::IBeamCursor); break;
    case CURSOR_SPLIT: setCursor(Qt::SplitHCursor); break;
    case CURSOR_SIZE: setCursor(Qt::SizeHorCursor); break;
    case CURSOR_INSERT: setCursor(Qt::PointingHandCursor); break;
    case CURSOR_FORBIDDEN: setCursor(Qt::ForbiddenCursor); break;
    case CURSOR_ZOOM_IN: setCursor(pirq_get_cursor(1)); break;
    case CURSOR_ZOOM_OUT: setCursor(pirq_get_cursor(2)); break;
    default: setCursor(Qt::ArrowCursor);
    }
}

// A node's value at a level can be typed: a bus whose trigger and pattern are on there.
bool VOKR_VIEW::can_edit_value(int node, int level, bool check_grandparent) const
{
    if (node < 0 || node >= get_node_count() || !is_bus_row(node))
        return false;
    if (check_grandparent && m_tx_manager->is_grandparent(node))
        return false;
    if (!VOKR_NODE(m_tx_manager, current_node_table(), node).is_trigger_enabled(nullptr, level))
        return false;
    if (!m_tx_manager->is_pattern_enabled(level))
        return false;
    if (m_tx_manager->is_advanced_trigger(level, -1) && !m_tx_manager->is_advanced_trigger_pattern_enabled(level, -1))
        return false;
    return is_editable();
}

bool VOKR_VIEW::can_edit_level_title(int level) const
{
    if (level < 0 || m_tx_manager->is_empty() || m_tx_manager->is_sequential_mode(-1))
        return false;
    return m_frame_wnd ? is_editable_unlocked(false) && !m_tx_manager->is_powerup_trigger(-1) : is_editable();
}

VOKR_VIEW::CURSOR_KIND VOKR_VIEW::hover_cursor(const QPoint& point, Qt::KeyboardModifiers modifiers)
{
    int row = -1, column = -1;
    QRect cell;
    if (!find_item(point, &row, &column, &cell))
        return CURSOR_ARROW;
    if (row == 1 || row == 2) {
        if (point.x() < cell.left() + 3 && column >= 1) {
            m_resize_column = column - 1;
            return CURSOR_SPLIT;
        }
        if (point.x() > cell.right() - 3 && column < WAVEFORM_COLUMN) {
            m_resize_column = column;
            return CURSOR_SPLIT;
        }
    }
    if (row >= FIRST_NODE_ROW)
        m_resize_column = -1;
    const bool samples = get_sample_depth() > 0;
    if (column == WAVEFORM_COLUMN && samples)
        return row == 0                          ? (find_time_bar_at(point) != -1 ? CURSOR_SIZE : CURSOR_INSERT)
               : (modifiers & Qt::ShiftModifier) ? CURSOR_ZOOM_OUT
                                                 : CURSOR_ZOOM_IN;
    const int node = row_to_node(row);
    if (column == 1 && node >= 0)
        return CURSOR_IBEAM;
    if (column == NAME_COLUMN && node >= 0 && m_editor && m_editor->geometry().contains(point))
        return CURSOR_IBEAM;
    if (is_level_column(column) && node >= 0 && can_edit_value(node, column - FIRST_LEVEL_COLUMN, true))
        return CURSOR_IBEAM;
    if (column >= FIRST_LEVEL_COLUMN && row == 1 && can_edit_level_title(column - FIRST_LEVEL_COLUMN))
        return CURSOR_IBEAM;
    return CURSOR_ARROW;
}

void VOKR_VIEW::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->pos();
    if (event->buttons() & Qt::LeftButton) {
        track_zoom_band(p);
        if (m_resize_column != -1) {
            set_column_width(m_resize_column, p, false);
            return;
        }
        if (m_dragged_time_bar != -1) {
            drag_time_bar(p, true);
            return;
        }
    }
    if (!(event->buttons() & Qt::LeftButton) || !m_band_active)
        set_cursor_kind(hover_cursor(p, event->modifiers()));
}

void VOKR_VIEW::deselect_and_repaint()
{
    select_items(false);
    update();
}

void VOKR_VIEW::mousePressEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::RightButton)
        return;
    const QPoint p = event->pos();
    int row = -1, column = -1;
    QRect cell;
    if (!find_item(p, &row, &column, &cell)) {
        // Shift below the last row extends the selection from the anchor to the last node.
        if ((event->modifiers() & Qt::ShiftModifier) && find_item(QPoint(p.x(), 0), &row, &column, &cell)) {
            m_pressed_node = select_mouse_press(p);
            m_press_point = p;
            return;
        }
        deselect_and_repaint();
        return;
    }
    if ((row == 1 || row == 2) && m_cursor_kind == CURSOR_SPLIT)
        return press_select(event, row, column);
    if (column == WAVEFORM_COLUMN) {
        press_waveform(event, row);
        return deselect_and_repaint();
    }
    if (is_level_column(column)) {
        if (!press_level(event, row, column, cell))
            press_select(event, row, column);
        return;
    }
    if (row < FIRST_NODE_ROW)
        return deselect_and_repaint();
    if (!press_node_cell(row_to_node(row), column, cell, p))
        press_select(event, row, column);
}

bool VOKR_VIEW::press_waveform(QMouseEvent* event, int row)
{
    if (event->button() != Qt::LeftButton)
        return false;
    const QPoint p = event->pos();
    if (row >= 1 && (m_cursor_kind == CURSOR_ZOOM_IN || m_cursor_kind == CURSOR_ZOOM_OUT)) {
        start_zoom_band(p);
        m_band_active = true;
    } else if (row == 0 && m_cursor_kind == CURSOR_INSERT) {
        const int sample = get_sample_at(p, true);
        if (sample != -1 && add_time_bar(sample)) {
            save_timebars();
            update_transition_buttons();
        }
    } else if (row == 0 && m_cursor_kind == CURSOR_SIZE) {
        const int bar = find_time_bar_at(p);
        if (bar != -1) {
            m_dragged_time_bar = bar;
            m_drag_all_time_bars = event->modifiers() & Qt::ShiftModifier;
        }
    }
    return true;
}

// Alias, expansion and enable cells of a node row; false sends the press on to selection.
bool VOKR_VIEW::press_node_cell(int node, int column, const QRect& cell, const QPoint& point)
{
    if (column == 1) {
        m_edit_node = node;
        on_node_set_alias();
        deselect_and_repaint();
        return true;
    }
    if (column == NAME_COLUMN) {
        const int left = cell.left() + 5 + 30 * m_tx_manager->get_node_depth(node);
        const QRect box(left, cell.center().y() - 5, 11, 11);
        if (!is_bus_row(node) || !box.contains(point))
            return false;
        toggle_node_expansion(node, true);
        deselect_and_repaint();
        return true;
    }
    if (column < 5 || column > 8 || !centred_box(cell, 6).contains(point) || !toggle_enable(node, column))
        return false;
    deselect_and_repaint();
    return true;
}

bool VOKR_VIEW::toggle_enable(int node, int column)
{
    if (!is_enable_box_enabled(node, column) || !m_tx_manager->get_tx_instance())
        return false;
    VOKR_NODE handle(m_tx_manager, current_node_table(), node);
    m_tx_manager->get_tx_instance()->begin_action();
    switch (column) {
    case 5: handle.toggle_data(); break;
    case 6: handle.toggle_trigger(); break;
    case 7: handle.toggle_storage(); break;
    default: handle.toggle_transition();
    }
    m_tx_manager->end_action(VOKR_CHECK_ALWAYS, -1);
    m_tx_manager->update_all_views(nullptr, VOKR_HINT_REFRESH_CONFIG_VIEW);
    return true;
}

// Level columns: pattern boxes in the header, the title and value editors. False: a selection press.
bool VOKR_VIEW::press_level(QMouseEvent* event, int row, int column, const QRect& cell)
{
    const int level = column - FIRST_LEVEL_COLUMN;
    if (row == 2) {
        const bool box = level >= 0 && get_level_box_rect(level, cell).contains(event->pos());
        if (box && m_tx_manager->is_sequential_mode(-1) && !m_tx_manager->is_segmented_acquisition_trigger(level) &&
            is_editable() && m_tx_manager->get_tx_instance()) {
            m_tx_manager->get_tx_instance()->begin_action();
            m_tx_manager->toggle_pattern(level);
            m_tx_manager->end_action(VOKR_CHECK_IN_POWER_UP_VIEW, -1);
            m_tx_manager->update_all_views(nullptr, VOKR_HINT_REFRESH_VIEW);
        }
        deselect_and_repaint();
        return true;
    }
    if (m_cursor_kind != CURSOR_IBEAM || event->button() != Qt::LeftButton)
        return false;
    const int node = row_to_node(row);
    if (row == 1 && level >= 0 && can_edit_level_title(level)) {
        m_editor = new VOKR_EDIT(this, m_tx_manager, -1, column);
    } else if (node >= 0 && can_edit_value(node, level, false)) {
        if (is_comparison_level(level) && m_tx_manager->is_comparison_enabled(node, level, -1))
            m_comparison_editor = new VOKR_COMPARISON_EDIT(this, m_tx_manager, node, column);
        else
            m_editor = new VOKR_EDIT(this, m_tx_manager, node, column);
    } else {
        set_cursor_kind(CURSOR_ARROW);
    }
    deselect_and_repaint();
    return true;
}

void VOKR_VIEW::press_select(QMouseEvent* event, int row, int column)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    const QPoint p = event->pos();
    if (!(mods & Qt::ShiftModifier)) {
        const int node = row_to_node(row);
        if (node >= 0 && node < get_node_count() && m_tx_manager->get_node_selection_status(node)) {
            m_drop_shown = m_drag_moved = m_left_at_start = false;
            m_drag_started = true;
            m_drag_start_node = -1;
            m_node_drag_running = true;
            const Qt::DropActions actions =
                m_tx_manager->is_data_mode(-1) ? Qt::CopyAction | Qt::MoveAction : Qt::MoveAction;
            const Qt::DropAction done = exec_node_drag(actions);
            m_node_drag_running = false;
            if (done == Qt::CopyAction || done == Qt::MoveAction)
                return;
            m_drop_row = -1;
            m_drop_before = false;
            after_empty_drag(p, column, mods & Qt::ControlModifier);
            return;
        }
        if (!(mods & Qt::ControlModifier))
            select_items(false);
    }
    m_pressed_node = select_mouse_press(p);
    m_press_point = p;
}

// A press on a selected row that dropped nothing: a plain selection press, or the rename of the
// one selected node when its name was pressed.
void VOKR_VIEW::after_empty_drag(const QPoint& point, int column, bool ctrl)
{
    if (m_drop_shown)
        return;
    const bool stayed = !m_drag_moved || m_left_at_start;
    if (ctrl) {
        if (stayed)
            m_pressed_node = select_mouse_press(point);
        return;
    }
    if (!stayed)
        return;
    const int before = get_selected_node_count();
    select_items(false);
    const int node = select_mouse_press(point);
    m_pressed_node = node;
    m_press_point = point;
    if (node >= 0 && node < get_node_count() && m_tx_manager->get_node_selection_status(node) &&
        column == NAME_COLUMN && before == 1 && m_frame_wnd && !m_tx_manager->is_advanced_mode(nullptr) &&
        !m_tx_manager->is_corvix_generated())
        on_node_rename();
}

void VOKR_VIEW::mouseReleaseEvent(QMouseEvent* event)
{
    const bool zoom_cursor = m_cursor_kind == CURSOR_ZOOM_IN || m_cursor_kind == CURSOR_ZOOM_OUT;
    const bool band_shown = m_rubber_band && m_rubber_band->isVisible();
    if (event->buttons() & Qt::RightButton) {
        m_rubber_band->hide();
    } else if (m_dragged_time_bar == -1) {
        if (!zoom_cursor && band_shown && event->button() == Qt::LeftButton) {
            finish_zoom_band(true);
        } else if (zoom_cursor) {
            if (event->button() == Qt::RightButton) {
                const QPoint p = event->pos();
                zoom_out(&p);
            } else {
                finish_zoom_band(false);
            }
        }
    } else {
        drop_time_bar(event->pos());
        save_timebars();
        save_position_data();
        if (band_shown && event->button() == Qt::LeftButton)
            finish_zoom_band(true);
    }
    m_resize_column = -1;
    if (m_frame_wnd) {
        m_frame_wnd->on_update_view_menu();
        m_frame_wnd->on_update_edit_menu();
    }
}

void VOKR_VIEW::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
    int row = -1, column = -1;
    QRect cell;
    if (m_frame_wnd && !m_frame_wnd->is_main_window() && (event->buttons() & Qt::LeftButton) &&
        !find_item(event->pos(), &row, &column, &cell))
        m_tx_manager->get_action(static_cast<PIRQ_ACTION_ENUM>(326), QVariant())->trigger();
}

// ---- editors opened by commands --------------------------------------------------------------------------

void VOKR_VIEW::on_node_set_alias()
{
    if (m_edit_node >= 0 && m_edit_node < get_node_count())
        m_editor = new VOKR_EDIT(this, m_tx_manager, m_edit_node, 1);
}

void VOKR_VIEW::on_node_rename()
{
    const int node = get_single_selected_node();
    if (node >= 0)
        m_editor = new VOKR_EDIT(this, m_tx_manager, node, NAME_COLUMN);
}

void VOKR_VIEW::editor_closed(QWidget* editor)
{
    if (m_editor == editor)
        m_editor = nullptr;
    if (m_comparison_editor == editor)
        m_comparison_editor = nullptr;
}
