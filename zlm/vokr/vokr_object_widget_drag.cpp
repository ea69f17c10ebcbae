// How boxes reach the canvas from outside and how they are duplicated inside it: drops of node
// rows from the node list, of operators from the palette and of the canvas's own boxes, and the
// cut, copy and paste commands. Everything that arrives fills the clipboard, and `paste` copies
// the clipboard into the diagram at a point, wiring the copies into the box under it when that
// box takes inputs.
#include "vokr_object_widget.h"

#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_object.h"
#include "vokr_operator_widget.h"
#include "vokr_trigger_object.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTreeView>

namespace {

// Vertical room between boxes that arrive together.
constexpr int NODE_STEP = 30;
constexpr int OPERATOR_GAP = 10;
// How far inside the visible area a drag starts scrolling.
constexpr int SCROLL_MARGIN = 10;

VOKR_OBJECT* new_node_box(VOKR_OBJECT_WIDGET* canvas, int y, const QString& name, bool selected)
{
    auto* box = new VOKR_OBJECT(canvas, QPoint(0, y), nullptr);
    box->set_type(VOKR_TYPE_NODE);
    box->set_name(name);
    box->select(selected, false, false);
    box->start_drag(QPoint(0, 0));
    return box;
}

}  // namespace

const char* const VOKR_OBJECT_WIDGET::NODE_FORMAT = VOKR_VIEW::NODE_DRAG_FORMAT;

QObject* VOKR_OBJECT_WIDGET::drag_source(const QDropEvent* event) const { return event->source(); }

// The node list the rows come from; a drop that Qt's drag did not carry (a scripted one) takes
// the rows selected in this editor's own list.
VOKR_VIEW* VOKR_OBJECT_WIDGET::node_drag_view(QObject* source) const
{
    if (auto* view = qobject_cast<VOKR_VIEW*>(source))
        return view;
    VOKR_FRAME_WND* frame = !source && m_tx_manager ? m_tx_manager->get_frame_wnd() : nullptr;
    return frame && frame->get_layout_widget() ? frame->get_layout_widget()->get_view() : nullptr;
}

bool VOKR_OBJECT_WIDGET::accepts_inputs(const VOKR_OBJECT* box)
{
    return box->get_children().size() < vokr_kind_max_inputs(box->get_draw_kind());
}

bool VOKR_OBJECT_WIDGET::is_palette(const QObject* source)
{
    return source && source->parent() &&
           qstrcmp(source->parent()->metaObject()->className(), VOKR_OPERATOR_WIDGET::staticMetaObject.className()) ==
               0;
}

// Node rows, palette items, or this canvas's own boxes; anything else is refused rather than
// answered with whatever the clipboard last held.
bool VOKR_OBJECT_WIDGET::is_known_drag(const QDropEvent* event) const
{
    return m_moving || event->mimeData()->hasFormat(NODE_FORMAT) || is_palette(drag_source(event));
}

// The drop action at the event's point; the box that would receive the drop is selected.
Qt::DropAction VOKR_OBJECT_WIDGET::drag_decision(const QDropEvent* event)
{
    const QPoint p = to_canvas(event->pos());
    VOKR_OBJECT* h = hit_test(p);
    if (event->proposedAction() == Qt::IgnoreAction || !m_objects || is_disabled() || (h && !accepts_inputs(h)) ||
        is_locked() || is_power_up_view()) {
        select(nullptr);
        return Qt::IgnoreAction;
    }
    if (!is_known_drag(event))
        return Qt::IgnoreAction;
    if (!m_moving || (event->keyboardModifiers() & Qt::ControlModifier)) {
        select(h);
        return !m_moving && h ? Qt::LinkAction : Qt::CopyAction;
    }
    if (!h) {
        select(nullptr);
        return Qt::MoveAction;
    }
    if (hit_test(p, &m_drag_remainder)) {
        select(h);
        return Qt::LinkAction;
    }
    select(nullptr);
    return Qt::IgnoreAction;
}

void VOKR_OBJECT_WIDGET::dragEnterEvent(QDragEnterEvent* event)
{
    const Qt::DropAction action = drag_decision(event);
    update();
    event->setDropAction(action);
    event->accept();
}

void VOKR_OBJECT_WIDGET::dragMoveEvent(QDragMoveEvent* event)
{
    Qt::DropAction action = drag_decision(event);
    update();
    const QRect v = visible_area();
    const QPoint p = to_canvas(event->pos());
    if (!v.contains(p)) {
        action = Qt::IgnoreAction;
    } else {
        const int m = SCROLL_MARGIN;
        const QRect inner = v.adjusted(m_hscroll->value() > 0 ? m : 0, m_vscroll->value() > 0 ? m : 0,
                                       m_hscroll->value() < m_hscroll->maximum() ? -m : 0,
                                       m_vscroll->value() < m_vscroll->maximum() ? -m : 0);
        if (p.y() < inner.top())
            m_vscroll->setValue(m_vscroll->value() - 1);
        else if (p.y() > inner.bottom())
            m_vscroll->setValue(m_vscroll->value() + 1);
        if (p.x() < inner.left())
            m_hscroll->setValue(m_hscroll->value() - 1);
        else if (p.x() > inner.right())
            m_hscroll->setValue(m_hscroll->value() + 1);
    }
    event->setDropAction(action);
    event->accept();
}

void VOKR_OBJECT_WIDGET::dropEvent(QDropEvent* event)
{
    const bool own = m_moving;
    m_moving = false;
    setFocus();
    QObject* source = drag_source(event);
    if (!m_objects || (!own && !is_known_drag(event))) {
        event->setDropAction(Qt::IgnoreAction);
        event->accept();
        return;
    }
    if (event->mimeData()->hasFormat(NODE_FORMAT)) {
        free_objects(&m_clipboard);
        clipboard_add_nodes(&m_clipboard, node_drag_view(source));
    } else if (is_palette(source)) {
        free_objects(&m_clipboard);
        clipboard_add_operators(&m_clipboard, qobject_cast<QTreeView*>(source));
    } else if (event->proposedAction() != Qt::CopyAction && (event->keyboardModifiers() & Qt::ShiftModifier)) {
        // A move: the diagram becomes what was left when the dragged boxes were taken out.
        free_objects(m_objects);
        VOKR_OBJECT::clone(this, m_objects, m_drag_remainder, nullptr);
        for (VOKR_OBJECT* box : std::as_const(*m_objects))
            box->set_trigger(trigger());
        free_objects(&m_drag_remainder);
    }
    paste(to_canvas(event->pos()));
    event->setDropAction(event->proposedAction());
    event->accept();
}

// ---- paste ---------------------------------------------------------------------------------------

void VOKR_OBJECT_WIDGET::paste(const QPoint& point)
{
    if (!m_objects)
        return;
    VOKR_OBJECT* target = hit_test(point);
    select(nullptr);
    // Only a box with a free input port takes the copies; elsewhere they land as roots.
    if (target && !accepts_inputs(target))
        target = nullptr;
    for (VOKR_OBJECT* box : std::as_const(m_clipboard))
        if (!box->get_parent())
            box->set_position(point.x() - box->get_drag_offset_x(), point.y() - box->get_drag_offset_y());
    delete_duplicate_names(&m_clipboard);
    const int first = m_objects->size();
    VOKR_OBJECT::clone(this, m_objects, m_clipboard, target);
    VOKR_TRIGGER_OBJECT* owner = trigger();
    for (int i = first; i < m_objects->size(); ++i)
        if (!m_objects->at(i)->get_trigger())
            m_objects->at(i)->set_trigger(owner);
    generate_default_names();
    arrange_objects();
    save_undo(true);
    update_scroll_bars();
}

// Node boxes name design nodes and may repeat; any other pasted name already in use is cleared
// so that a default name replaces it.
void VOKR_OBJECT_WIDGET::delete_duplicate_names(QList<VOKR_OBJECT*>* list)
{
    if (!m_objects)
        return;
    for (int i = list->size() - 1; i >= 0; --i) {
        VOKR_OBJECT* box = list->at(i);
        QString name;
        box->get_string_property_text(VOKR_STRING_NAME, &name, VOKR_BANK_CURRENT);
        for (int j = m_objects->size() - 1; j >= 0 && !name.isEmpty(); --j) {
            const VOKR_OBJECT* other = m_objects->at(j);
            QString other_name;
            other->get_string_property_text(VOKR_STRING_NAME, &other_name, VOKR_BANK_CURRENT);
            if (other->get_type() != VOKR_TYPE_NODE && other_name == name) {
                box->set_name(QString());
                break;
            }
        }
    }
}

// ---- filling the clipboard -----------------------------------------------------------------------

void VOKR_OBJECT_WIDGET::clipboard_add_nodes(QList<VOKR_OBJECT*>* list, VOKR_VIEW* source)
{
    VOKR_TX_MANAGER* manager = source ? source->get_tx_manager() : nullptr;
    if (!manager || manager->is_empty())
        return;
    const int count = manager->get_node_count(-1);
    int y = 0;
    for (int r = 0; r < count; ++r) {
        KSM_DATA_NODE_DISPLAY_TYPE d = KSM_NTYPE_NODE;
        QString name;
        if (!manager->get_node_selection_status(r) ||
            !manager->get_node(r, &d, &name, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr))
            continue;
        const bool group = d == KSM_NTYPE_GROUP_EXPANDED || d == KSM_NTYPE_GROUP_COLLAPSED;
        if (!group) {
            list->append(new_node_box(this, y, name, true));
            y += NODE_STEP;
        } else if (!manager->is_grandparent(r)) {
            r = add_bus_box(list, manager, r, d == KSM_NTYPE_GROUP_EXPANDED, name, y);
            y += NODE_STEP;
        }
    }
}

// A Bus box for the group at row `r` with its members as inputs; returns the group's last row.
int VOKR_OBJECT_WIDGET::add_bus_box(QList<VOKR_OBJECT*>* list, VOKR_TX_MANAGER* manager, int r, bool expanded,
                                    const QString& name, int y)
{
    auto* bus = new VOKR_OBJECT(this, QPoint(0, y), nullptr);
    VOKR_PROPERTY& property = bus->get_property();
    bool lsb_first = false;
    manager->get_node_lsb_to_msb(r, &lsb_first, -1);
    property.set_setting_string(VOKR_STRING_BUS_NAME, name, VOKR_BANK_CURRENT);
    property.set(VOKR_INT_TYPE, VOKR_TYPE_BUS, VOKR_BANK_CURRENT);
    property.set(VOKR_INT_SELECTED, 1, VOKR_BANK_CURRENT);
    property.set(VOKR_INT_BIT_ORDER, lsb_first ? 1 : 0, VOKR_BANK_CURRENT);
    bus->start_drag(QPoint(0, 0));
    list->append(bus);
    // A group on the last row has no members.
    const int count = manager->get_node_count(-1);
    const int depth = r + 1 < count ? manager->get_node_depth(r + 1) : -1;
    int last = r;
    while (last + 1 < count && depth >= 0 && manager->get_node_depth(last + 1) == depth)
        ++last;
    bool any_selected = false;
    for (int m = r + 1; m <= last; ++m)
        any_selected = any_selected || manager->get_node_selection_status(m);
    const bool only_selected = expanded && any_selected;
    for (int m = r + 1; m <= last; ++m) {
        QString member;
        if (only_selected ? !manager->get_node_selection_status(m) : manager->is_node_hidden_in_advanced_mode(m))
            continue;
        manager->get_node(m, nullptr, &member, nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        VOKR_OBJECT* node = new_node_box(this, y, member, only_selected);
        list->append(node);
        bus->attach(node, false);
    }
    bus->expand(only_selected);
    return last;
}

void VOKR_OBJECT_WIDGET::clipboard_add_operators(QList<VOKR_OBJECT*>* list, QTreeView* source)
{
    auto* model = source ? qobject_cast<QStandardItemModel*>(source->model()) : nullptr;
    if (!model)
        return;
    const QItemSelectionModel* selection = source->selectionModel();
    auto selected = [selection](const QStandardItem* item) {
        return selection && selection->isSelected(item->index());
    };
    int y = 0;
    for (int t = 0; t < model->rowCount(); ++t) {
        QStandardItem* top = model->item(t);
        QList<QStandardItem*> items;
        for (int c = 0; c < top->rowCount(); ++c)
            if (selected(top->child(c)))
                items.append(top->child(c));
        if (selected(top) && top->rowCount() == 0)
            items.append(top);
        else if (selected(top) && items.isEmpty())
            for (int c = 0; c < top->rowCount(); ++c)
                items.append(top->child(c));
        for (const QStandardItem* item : std::as_const(items)) {
            auto* box = new VOKR_OBJECT(this, QPoint(0, y), nullptr);
            for (int i = 0; i < VOKR_LIBRARY_ITEM_COUNT; ++i)
                if (item->text() == vokr_library_item_names[i])
                    box->set_library_item(i);
            box->select(true, false, false);
            box->expand(true);
            y += box->get_height() + OPERATOR_GAP;
            box->start_drag(QPoint(0, 0));
            list->append(box);
        }
    }
}

// ---- cut, copy and paste ------------------------------------------------------------------------

void VOKR_OBJECT_WIDGET::on_edit_cut()
{
    copy();
    delete_selected_objects(nullptr);
    save_undo(true);
}

void VOKR_OBJECT_WIDGET::on_edit_copy()
{
    const QPoint point = to_canvas(m_press_point);
    copy(&point);
}

void VOKR_OBJECT_WIDGET::on_edit_paste() { paste(to_canvas(m_press_point)); }
