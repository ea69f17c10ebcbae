// The canvas's input: mouse gestures chosen by the cursor shape (selection and rubber band, move
// of inputs, pan of whole trees, links from an output port) with connections that follow a
// move, keys, the wheel, zoom, and the shared actions that follow the focus.
#include "vokr_object_widget.h"

#include "vokr_object.h"
#include "vokr_tx_manager.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* ZOOM_KEY = "advanced trigger zoom level";
constexpr int WHEEL_STEP = 30;

// How far an input may stray from its parent's ports and stay wired.
constexpr int DETACH_GAP = 61;
constexpr int OVERLAP = 37;
constexpr int PORT_MARGIN = 20;

// Whether `box` lies in the sub-tree of `top` (or is it).
bool is_within(const VOKR_OBJECT* box, const VOKR_OBJECT* top)
{
    for (const VOKR_OBJECT* up = box; up; up = up->get_parent())
        if (up == top)
            return true;
    return false;
}

}  // namespace

// ---- press --------------------------------------------------------------------------------------------

void VOKR_OBJECT_WIDGET::mousePressEvent(QMouseEvent* event)
{
    m_mouse_point = event->pos();
    if (m_objects && event->button() == Qt::RightButton) {
        setFocus();
        m_press_point = event->pos();
        VOKR_OBJECT* hit = hit_test(to_canvas(event->pos()));
        if (!hit || !hit->is_selected())
            select(hit);
        update();
    } else if (m_objects) {
        press_left(event, to_canvas(event->pos()));
    }
    QWidget::mousePressEvent(event);
}

void VOKR_OBJECT_WIDGET::press_left(QMouseEvent* event, const QPoint& p)
{
    m_press_point = event->pos();
    m_gesture_changed = false;
    if ((event->buttons() & Qt::MiddleButton) || (event->modifiers() & Qt::AltModifier))
        set_cursor_shape(Qt::OpenHandCursor);
    if (is_disabled())
        return;
    VOKR_OBJECT* hit = hit_test(p);
    const Qt::CursorShape shape = cursor().shape();
    if (hit && shape == Qt::ArrowCursor) {
        press_on_box(event, hit, p);
        return;
    }
    for (VOKR_OBJECT* box : std::as_const(*m_objects))
        box->set_saved_selection(box->is_selected());
    m_rubber_band = QRect(p, p);
    if (hit && !hit->is_selected())
        select(hit);
    if (!hit) {
        if (!(event->modifiers() & Qt::ShiftModifier))
            select(nullptr);
        if (shape != Qt::OpenHandCursor)
            return;  // a rubber band
    }
    m_moving = true;
    if (shape == Qt::OpenHandCursor || shape == Qt::SizeAllCursor)
        set_interaction_mode(shape);
    for (VOKR_OBJECT* box : std::as_const(*m_objects)) {
        if (box->is_hidden())
            continue;
        if (shape == Qt::OpenHandCursor) {
            if (box->is_selected() || !hit) {
                box->get_root()->start_drag(p);
                box->set_dragging(true);
            }
        } else if (box->is_selected()) {
            if (shape == Qt::SizeAllCursor)
                box->start_drag(p);
            else
                box->set_dragging(true);
        }
    }
}

// An arrow press on a box: the expand box toggles, anywhere else the selection is dragged.
void VOKR_OBJECT_WIDGET::press_on_box(QMouseEvent* event, VOKR_OBJECT* hit, const QPoint& p)
{
    if (hit->get_expand_rect().contains(p)) {
        hit->expand(!hit->is_expanded());
        m_gesture_changed = true;
        update_scroll_bars();
        update();
        return;
    }
    if (!hit->is_selected()) {
        if (event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier))
            hit->select(true, false, false);
        else
            select(hit);
        update();
    }
    free_objects(&m_drag_remainder);
    VOKR_OBJECT::clone(this, &m_drag_remainder, *m_objects, nullptr);
    delete_selected_objects(&m_drag_remainder);
    copy();
    m_moving = true;
    exec_drag();
    m_moving = false;
}

void VOKR_OBJECT_WIDGET::exec_drag()
{
    auto* data = new QMimeData;
    data->setData(QString(), QByteArray());
    QDrag drag(this);
    drag.setMimeData(data);
    drag.exec(Qt::CopyAction | Qt::MoveAction);
}

void VOKR_OBJECT_WIDGET::copy(const QPoint* point)
{
    free_objects(&m_clipboard);
    if (!m_objects)
        return;
    VOKR_OBJECT::clone(this, &m_clipboard, *m_objects, nullptr);
    delete_unselected_objects(&m_clipboard);
    const QPoint reference = point ? *point : to_canvas(m_mouse_point);
    for (VOKR_OBJECT* box : std::as_const(m_clipboard))
        box->start_drag(reference);
}

// ---- move ---------------------------------------------------------------------------------------------

void VOKR_OBJECT_WIDGET::mouseMoveEvent(QMouseEvent* event)
{
    m_mouse_point = event->pos();
    if (!m_objects) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint p = to_canvas(event->pos());
    const bool held = event->buttons() & (Qt::LeftButton | Qt::MiddleButton);
    if (!held)
        update_cursor(p, event->modifiers(), event->buttons());
    if (held && !is_disabled() && hasFocus()) {
        auto_scroll(p);
        if (!m_moving) {
            rubber_band_step(event, p);
        } else {
            const Qt::CursorShape shape = cursor().shape();
            if (shape == Qt::SizeAllCursor || shape == Qt::OpenHandCursor)
                move_step(p);
            else
                link_step(p);
            update();
            update_scroll_bars();
        }
    }
    VOKR_OBJECT* hit = hit_test(p);
    setToolTip(is_disabled() ? QStringLiteral("this Advanced Trigger is disabled")
               : hit         ? hit->get_tooltip(this)
                             : QStringLiteral("double-click to insert a new object"));
    QWidget::mouseMoveEvent(event);
}

// The gesture a press would start here, shown as the cursor: the expand toggle or a selection
// (arrow), a link from the output port (cross), a move of the box's own inputs (size-all) or a
// pan of whole trees (open hand). A locked or power-up diagram offers no link or move.
void VOKR_OBJECT_WIDGET::update_cursor(const QPoint& p, Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
{
    const bool pan = (modifiers & Qt::AltModifier) || (buttons & Qt::MiddleButton);
    VOKR_OBJECT* hit = is_disabled() ? nullptr : hit_test(p);
    Qt::CursorShape shape = pan ? Qt::OpenHandCursor : Qt::ArrowCursor;
    if (hit) {
        if (hit->get_expand_rect().contains(p) || m_moving)
            shape = Qt::ArrowCursor;
        else if (is_locked() || is_power_up_view())
            shape = Qt::OpenHandCursor;
        else if (vokr_kind_output(hit->get_draw_kind()) != VOKR_SIGNAL_NONE && hit->get_output_rect().contains(p))
            shape = Qt::CrossCursor;
        else if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier))
            shape = Qt::ArrowCursor;
        else
            shape = !pan && hit->get_parent() ? Qt::SizeAllCursor : Qt::OpenHandCursor;
    }
    set_cursor_shape(shape);
}

void VOKR_OBJECT_WIDGET::set_cursor_shape(Qt::CursorShape shape)
{
    setCursor(shape);
    s_drag_cursor_shape = shape;
}

void VOKR_OBJECT_WIDGET::auto_scroll(const QPoint& p)
{
    const QRect r(0, 0, width() * m_zoom / 10, height() * m_zoom / 10);
    if (p.y() > r.bottom() && m_vscroll->value() < m_vscroll->maximum())
        m_vscroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    else if (p.y() < r.top() && m_vscroll->value() > 0)
        m_vscroll->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (p.x() > r.right() && m_hscroll->value() < m_hscroll->maximum())
        m_hscroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    else if (p.x() < r.left() && m_hscroll->value() > 0)
        m_hscroll->triggerAction(QAbstractSlider::SliderSingleStepSub);
}

void VOKR_OBJECT_WIDGET::rubber_band_step(QMouseEvent* event, const QPoint& p)
{
    m_rubber_band.setBottomRight(p);
    const QRect band = m_rubber_band.normalized();
    const bool toggle = event->modifiers() & Qt::ControlModifier;
    const bool add_only = !toggle && (event->modifiers() & Qt::ShiftModifier);
    for (VOKR_OBJECT* box : std::as_const(*m_objects))
        if (!box->is_hidden())
            box->select(box->get_rect().intersects(band), add_only, toggle);
    update();
}

// Dragged trees follow the mouse; then wires follow them unless the diagram is fixed.
void VOKR_OBJECT_WIDGET::move_step(const QPoint& p)
{
    m_rubber_band.setBottomRight(p);
    for (VOKR_OBJECT* box : std::as_const(*m_objects)) {
        // A dragged box whose parent stays carries its sub-tree along.
        if (!box->is_dragging() || (box->get_parent() && box->get_parent()->is_dragging()))
            continue;
        const QPoint to(p.x() - box->get_drag_offset_x(), p.y() - box->get_drag_offset_y());
        box->move(to - box->get_top_left());
        m_gesture_changed = true;
    }
    if (!is_locked() && !is_power_up_view())
        follow_connections();
}

// A top box that lands on a free port of a box on the other side of the gesture is wired into
// it; an input that strays from its parent's ports is unwired. A box is never wired into its
// own sub-tree: that would make a loop that no layout, painting or deletion could leave.
void VOKR_OBJECT_WIDGET::follow_connections()
{
    for (int i = 0; i < m_objects->size(); ++i) {
        VOKR_OBJECT* box = m_objects->at(i);
        VOKR_OBJECT* parent = box->get_parent();
        if (!parent) {
            for (VOKR_OBJECT* target : std::as_const(*m_objects)) {
                if (target == box || target->is_dragging() == box->is_dragging() || is_within(target, box) ||
                    !accepts_connection(box, target))
                    continue;
                target->attach(box, true);
                (target->is_dragging() ? box : target)->select(true, false, false);
                m_gesture_changed = true;
            }
        } else if (parent->is_dragging() != box->is_dragging() && !is_near_parent(box)) {
            (parent->is_dragging() ? box : parent)->select(false, false, false);
            box->detach(nullptr);
            m_gesture_changed = true;
        }
    }
}

bool VOKR_OBJECT_WIDGET::is_near_parent(const VOKR_OBJECT* box) const
{
    const VOKR_OBJECT* parent = box->get_parent();
    const int right = box->get_left() + VOKR_OBJECT::WIDTH;
    if (parent->get_left() - right >= DETACH_GAP || right - parent->get_left() > OVERLAP)
        return false;
    const QList<VOKR_OBJECT*>& inputs = parent->get_children();
    int count = inputs.size();
    int port = 2;
    if (parent->has_two_inputs()) {
        port = parent->get_property()[VOKR_INT_FIRST_PORT_EMPTY] == 1 ? 3 : count == 1 ? 1 : 2;
        count = std::min(count, 2);
    }
    int span = 0;
    int dragging = 0;
    for (int i = 0; i < count; ++i) {
        if (parent->is_expanded())
            span += inputs[i]->get_height() + (i > 0 ? 10 : 0);
        if (inputs[i]->is_dragging())
            span += 2 * inputs[i]->get_height() + (dragging++ > 0 ? 20 : 0);
    }
    const int y = parent->get_tail_point(port).y();
    return box->get_top() <= y + span / 2 + PORT_MARGIN && box->get_bottom() >= y - span / 2 - PORT_MARGIN;
}

// The dragged boxes become inputs of the box under the mouse, placed by the mouse's height.
void VOKR_OBJECT_WIDGET::link_step(const QPoint& p)
{
    VOKR_OBJECT* hit = hit_test(p);
    const bool free_port =
        hit && !hit->is_dragging() && hit->get_children().size() < vokr_kind_max_inputs(hit->get_draw_kind());
    for (int i = 0; i < m_objects->size(); ++i) {
        VOKR_OBJECT* box = m_objects->at(i);
        if (!box->is_dragging())
            continue;
        if (!hit) {
            if (VOKR_OBJECT* parent = box->get_parent()) {
                parent->select(false, false, false);
                box->detach(nullptr);
                m_gesture_changed = true;
            }
        } else if (free_port && box != hit && !is_within(hit, box)) {
            const int top = box->get_top();
            box->set_position(box->get_left(), p.y() - box->get_height() / 2);
            hit->attach(box, true);
            box->set_position(box->get_left(), top);
            hit->select(true, false, false);
            m_gesture_changed = true;
        }
    }
}

// ---- release and double click ---------------------------------------------------------------------

void VOKR_OBJECT_WIDGET::mouseReleaseEvent(QMouseEvent* event)
{
    m_mouse_point = event->pos();
    if (m_objects && event->button() != Qt::RightButton) {
        const QPoint p = to_canvas(event->pos());
        if (!m_rubber_band.isNull() && p == m_rubber_band.topLeft())
            select(hit_test(p));
        else if (m_moving)
            release_gesture();
        m_rubber_band = QRect();
        if (m_moving) {
            for (VOKR_OBJECT* box : std::as_const(*m_objects)) {
                if (box->is_dragging())
                    box->set_dragging(false);
                else
                    box->select(false, false, false);
            }
            m_moving = false;
        }
        set_interaction_mode(VOKR_INTERACTION_IDLE);
        arrange_objects();
        if (m_gesture_changed)
            save_undo(true);
        m_gesture_changed = false;
    }
    QWidget::mouseReleaseEvent(event);
}

// Inputs moved within their parent take their new order; new connections get adapter boxes
// where the port widths differ.
void VOKR_OBJECT_WIDGET::release_gesture()
{
    for (VOKR_OBJECT* box : std::as_const(*m_objects)) {
        VOKR_OBJECT* parent = box->get_parent();
        if (!parent)
            continue;
        if (parent->is_expanded() && box->is_dragging() && !parent->is_dragging())
            parent->sort_children();
        else if (!parent->is_expanded() && parent->is_dragging() != box->is_dragging() && box->is_selected())
            parent->expand(true);
    }
    VOKR_OBJECT* previous_parent = nullptr;
    VOKR_OBJECT* adapter = nullptr;
    for (int i = 0; i < m_objects->size(); ++i) {
        VOKR_OBJECT* box = m_objects->at(i);
        VOKR_OBJECT* parent = box->get_parent();
        if (!parent || parent->is_dragging() == box->is_dragging())
            continue;
        adapter = fix_connection(parent, box, parent == previous_parent ? adapter : nullptr);
        previous_parent = parent;
    }
}

void VOKR_OBJECT_WIDGET::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_mouse_point = event->pos();
    if (!m_objects || is_disabled())
        return;
    VOKR_OBJECT* hit = hit_test(to_canvas(event->pos()));
    const Qt::CursorShape shape = cursor().shape();
    if (!hit)
        on_insert();
    else if (shape == Qt::SizeAllCursor || shape == Qt::OpenHandCursor)
        on_properties(0, false);
}

// ---- keys ---------------------------------------------------------------------------------------------

bool VOKR_OBJECT_WIDGET::structural_key_allowed() const { return !is_locked() && !is_power_up_view(); }

bool VOKR_OBJECT_WIDGET::any_selected(bool with_parent, bool with_inputs) const
{
    const QList<VOKR_OBJECT*> selected = selected_boxes();
    return std::any_of(selected.begin(), selected.end(), [&](const VOKR_OBJECT* box) {
        return (!with_parent || box->get_parent()) && (!with_inputs || !box->get_children().isEmpty());
    });
}

void VOKR_OBJECT_WIDGET::keyPressEvent(QKeyEvent* event)
{
    if (m_objects && !is_disabled()) {
        const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
        const int count = get_selection_count();
        const bool edit = structural_key_allowed();
        const bool plain = modifiers == Qt::NoModifier;
        const bool shift = modifiers == Qt::ShiftModifier;
        const QList<VOKR_OBJECT*> selected = selected_boxes();
        const bool only_fixed = std::all_of(selected.begin(), selected.end(), [](const VOKR_OBJECT* box) {
            return box->get_type() == VOKR_TYPE_CIRN || box->get_type() == VOKR_TYPE_RESULT;
        });
        switch (event->key()) {
        case Qt::Key_D:
            if (plain && edit && any_selected(true, false))
                on_detach();
            break;
        case Qt::Key_I:
            if (plain && edit && count > 0)
                on_insert();
            break;
        case Qt::Key_R:
            if (plain && edit && count > 0 && !only_fixed)
                on_remove();
            break;
        case Qt::Key_A:
            if (plain && edit && count > 0)
                on_append();
            break;
        case Qt::Key_F2:
            if (plain && count == 1)
                on_rename();
            break;
        case Qt::Key_Delete:
            if (plain)
                on_edit_delete();
            break;
        case Qt::Key_Up:
            if (shift && edit && any_selected(true, false))
                on_move_up();
            break;
        case Qt::Key_Down:
            if (shift && edit && any_selected(true, false))
                on_move_down();
            break;
        case Qt::Key_Left:
            if (shift && any_selected(false, true))
                on_expand();
            break;
        case Qt::Key_Right:
            if (shift && any_selected(false, true))
                on_collapse();
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (modifiers == Qt::AltModifier && count > 0)
                on_properties(0, false);
            break;
        default: break;
        }
    }
    QWidget::keyPressEvent(event);
}

// ---- wheel and zoom -----------------------------------------------------------------------------------

void VOKR_OBJECT_WIDGET::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (event->modifiers() & Qt::ControlModifier) {
        const int zoom = delta < 0 ? std::min(m_zoom + 1, ZOOM_MAX) : std::max(m_zoom - 1, ZOOM_MIN);
        if (zoom != m_zoom) {
            set_zoom(zoom);
            update();
            refresh_zoom_actions();
        }
    } else {
        QScrollBar* bar = (event->modifiers() & Qt::ShiftModifier) ? m_hscroll : m_vscroll;
        bar->setValue(bar->value() + (delta < 0 ? WHEEL_STEP : -WHEEL_STEP));
    }
    QWidget::wheelEvent(event);
}

// Each bar keeps its slider at the same share of its range through every step; a slider at 0
// stays at 0 (its share has no ratio to keep).
void VOKR_OBJECT_WIDGET::set_zoom(int tenths)
{
    const int target = std::clamp(tenths, ZOOM_MIN, ZOOM_MAX);
    if (target == m_zoom)
        return;
    QScrollBar* const bars[] = {m_hscroll, m_vscroll};
    while (m_zoom != target) {
        double ratio[2];
        for (int i = 0; i < 2; ++i)
            ratio[i] = bars[i]->value() > 0 ? double(bars[i]->maximum()) / bars[i]->value() : 0.0;
        m_zoom += target > m_zoom ? 1 : -1;
        update_scroll_bars();
        for (int i = 0; i < 2; ++i)
            bars[i]->setValue(ratio[i] > 0 ? static_cast<int>(bars[i]->maximum() / ratio[i]) : 0);
    }
    if (m_tx_manager && !m_tx_manager->is_empty())
        m_tx_manager->set_int_state(-1, ZOOM_KEY, m_zoom);
}

void VOKR_OBJECT_WIDGET::on_zoom_in()
{
    set_zoom(m_zoom - 1);
    update();
    refresh_zoom_actions();
}

void VOKR_OBJECT_WIDGET::on_zoom_out()
{
    set_zoom(m_zoom + 1);
    update();
    refresh_zoom_actions();
}

void VOKR_OBJECT_WIDGET::on_fit_in_window()
{
    set_zoom(ZOOM_ONE_TO_ONE);
    update();
    refresh_zoom_actions();
}

void VOKR_OBJECT_WIDGET::on_update_zoom_in()
{
    if (QAction* a = action(PIRQ_ACTION_ZOOM_IN))
        a->setEnabled(m_zoom > ZOOM_MIN);
}

void VOKR_OBJECT_WIDGET::on_update_zoom_out()
{
    if (QAction* a = action(PIRQ_ACTION_ZOOM_OUT))
        a->setEnabled(m_zoom < ZOOM_MAX);
}

void VOKR_OBJECT_WIDGET::on_update_fit_in_window()
{
    if (QAction* a = action(PIRQ_ACTION_FIT_IN_WINDOW))
        a->setEnabled(m_zoom != ZOOM_ONE_TO_ONE);
}

void VOKR_OBJECT_WIDGET::on_update_insert()
{
    if (QAction* a = action(PIRQ_ACTION_INSERT))
        a->setEnabled(get_selection_count() > 0 && !is_disabled() && !is_locked() && !is_power_up_view());
}

void VOKR_OBJECT_WIDGET::refresh_zoom_actions()
{
    on_update_zoom_in();
    on_update_zoom_out();
    on_update_fit_in_window();
}

// ---- focus --------------------------------------------------------------------------------------------

// The zoom actions are shared with other views: they act on the canvas only while it has the
// focus.
void VOKR_OBJECT_WIDGET::connect_shared_actions(bool on)
{
    if (on == m_shared_actions_connected)
        return;
    m_shared_actions_connected = on;
    for (const auto& [id, slot] : std::as_const(m_shared_actions)) {
        if (on)
            connect_action(id, slot);
        else
            disconnect_action(id, slot);
    }
    if (on)
        refresh_shared_actions();
}

void VOKR_OBJECT_WIDGET::refresh_shared_actions()
{
    enable(PIRQ_ACTION_FIND, !is_disabled());
    on_update_find_next();
    refresh_zoom_actions();
    update_all_actions();
}

void VOKR_OBJECT_WIDGET::refresh_selection_actions()
{
    on_update_edit_cut();
    on_update_edit_copy();
    on_update_edit_paste();
    on_update_edit_delete();
}

void VOKR_OBJECT_WIDGET::focusInEvent(QFocusEvent* event)
{
    connect_shared_actions(true);
    update();
    QWidget::focusInEvent(event);
}

void VOKR_OBJECT_WIDGET::focusOutEvent(QFocusEvent* event)
{
    if (QApplication::focusWidget() != this)
        connect_shared_actions(false);
    update();
    QWidget::focusOutEvent(event);
}
