// The canvas's construction, guards and geometry: its scroll bars and context menu, the hit and
// connection tests, the layout of the trees, the adapter boxes of a new connection, and the
// scroll model, which moves the boxes themselves rather than keeping an offset.
#include "vokr_object_widget.h"

#include "vokr_object.h"
#include "vokr_trigger_object.h"
#include "vokr_tx_manager.h"

#include <QAction>
#include <QGridLayout>
#include <QMenu>
#include <QScrollBar>
#include <QSet>

#include <algorithm>
#include <climits>

namespace {

// The canvases that exist, so that a trigger object going away can take its boxes from them.
QSet<VOKR_OBJECT_WIDGET*>& canvases()
{
    static QSet<VOKR_OBJECT_WIDGET*> all;
    return all;
}

int interaction_mode = VOKR_INTERACTION_IDLE;

// How far a child moves left to make room for an adapter put in its place: the column step of
// the automatic layout.
constexpr int ADAPTER_COLUMN = 130;

// Reduction Or: true when any bit of the bus is.
constexpr int ADAPTER_REDUCTION = 1;

// How far trees that are placed keep from the edges of the area they are placed in.
constexpr int PLACE_MARGIN = 8;

// The union of a box's rectangle and those of its shown descendants.
QRect tree_extent(const VOKR_OBJECT* box)
{
    QRect extent = box->get_rect();
    for (const VOKR_OBJECT* child : box->get_children())
        if (!child->is_hidden())
            extent = extent.united(tree_extent(child));
    return extent;
}

bool holds_selection(const VOKR_OBJECT* box)
{
    const QList<VOKR_OBJECT*>& children = box->get_children();
    return box->is_selected() || std::any_of(children.begin(), children.end(), holds_selection);
}

// The shift that brings the span [low, high] into [min, max]; its low end comes in first when
// the span is longer.
int shift_into(int low, int high, int min, int max)
{
    int shift = high > max ? max - high : 0;
    if (low + shift < min)
        shift = min - low;
    return shift;
}

// How much of the diagram stays in view at either end of a scroll bar.
constexpr int KEEP_X = 99;
constexpr int KEEP_Y = 19;

// The context menu, in order; 0 is a separator.
constexpr int MENU[] = {PIRQ_ACTION_UNDO,
                        PIRQ_ACTION_REDO,
                        0,
                        PIRQ_ACTION_CUT,
                        PIRQ_ACTION_COPY,
                        PIRQ_ACTION_PASTE,
                        PIRQ_ACTION_DELETE,
                        0,
                        PIRQ_ACTION_SELECT_ALL,
                        0,
                        PIRQ_ACTION_ARRANGE_ALL_OBJECTS,
                        PIRQ_ACTION_RENAME_OBJECT,
                        PIRQ_ACTION_DETACH,
                        0,
                        PIRQ_ACTION_INSERT,
                        PIRQ_ACTION_REMOVE,
                        PIRQ_ACTION_APPEND,
                        0,
                        PIRQ_ACTION_MOVE_UP,
                        PIRQ_ACTION_MOVE_DOWN,
                        0,
                        PIRQ_ACTION_EXPAND,
                        PIRQ_ACTION_COLLAPSE,
                        0,
                        PIRQ_ACTION_OBJECT_PROPERTIES};

struct OWN_ACTION {
    PIRQ_ACTION_ENUM id;
    const char* slot;
    const char* shortcut;
};
const OWN_ACTION OWN_ACTIONS[] = {
    {PIRQ_ACTION_ARRANGE_ALL_OBJECTS, "on_edit_arrange_all_objects()", ""},
    {PIRQ_ACTION_RENAME_OBJECT, "on_rename()", "F2"},
    {PIRQ_ACTION_DETACH, "on_detach()", ""},
    {PIRQ_ACTION_INSERT, "on_insert()", ""},
    {PIRQ_ACTION_REMOVE, "on_remove()", ""},
    {PIRQ_ACTION_APPEND, "on_append()", ""},
    {PIRQ_ACTION_MOVE_UP, "on_move_up()", "Shift+Up"},
    {PIRQ_ACTION_MOVE_DOWN, "on_move_down()", "Shift+Down"},
    {PIRQ_ACTION_EXPAND, "on_expand()", "Shift+Left"},
    {PIRQ_ACTION_COLLAPSE, "on_collapse()", "Shift+Right"},
    {PIRQ_ACTION_OBJECT_PROPERTIES, "on_properties()", "Alt+Return"},
};

}  // namespace

VOKR_OBJECT_WIDGET::VOKR_OBJECT_WIDGET(QWidget* parent, VOKR_TX_MANAGER* manager)
    : QWidget(parent), m_tx_manager(manager)
{
    setObjectName("trigger_canvas");
    canvases().insert(this);
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(true);
    setAcceptDrops(true);
    setContextMenuPolicy(Qt::CustomContextMenu);

    m_vscroll = new QScrollBar(Qt::Vertical, this);
    m_hscroll = new QScrollBar(Qt::Horizontal, this);
    for (QScrollBar* bar : {m_vscroll, m_hscroll}) {
        bar->setCursor(Qt::ArrowCursor);
        bar->setTracking(true);
        connect(bar, &QScrollBar::valueChanged, this, &VOKR_OBJECT_WIDGET::on_scroll);
    }
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, TITLE_BAND + 3, 0, 0);
    grid->setSpacing(0);
    grid->setRowStretch(0, 1);
    grid->setColumnStretch(0, 1);
    grid->addWidget(m_hscroll, 1, 0);
    grid->addWidget(m_vscroll, 0, 1);
    auto* corner = new QWidget(this);
    corner->setAutoFillBackground(true);
    grid->addWidget(corner, 1, 1);

    m_context_menu = new QMenu(this);
    connect(this, &QWidget::customContextMenuRequested, this, &VOKR_OBJECT_WIDGET::context_menu);
    if (!m_tx_manager)
        return;
    build_context_menu();
    m_shared_actions = {{PIRQ_ACTION_FIT_IN_WINDOW, "on_fit_in_window()"},
                        {PIRQ_ACTION_ZOOM_IN, "on_zoom_in()"},
                        {PIRQ_ACTION_ZOOM_OUT, "on_zoom_out()"},
                        {PIRQ_ACTION_FIND, "on_edit_find()"},
                        {PIRQ_ACTION_FIND_NEXT, "on_edit_find_next()"}};
    connect(m_tx_manager, &VOKR_TX_MANAGER::updated, this, &VOKR_OBJECT_WIDGET::on_update, Qt::QueuedConnection);
}

VOKR_OBJECT_WIDGET::~VOKR_OBJECT_WIDGET()
{
    canvases().remove(this);
    free_objects(&m_clipboard);
    free_objects(&m_drag_remainder);
}

// A canvas learns of a session change through a queued update; boxes freed before it arrives
// (a reopened file, a deleted instance) must not be read by a resize or paint meanwhile.
void VOKR_OBJECT_WIDGET::forget_boxes(const QList<VOKR_OBJECT*>* boxes)
{
    for (VOKR_OBJECT_WIDGET* canvas : std::as_const(canvases()))
        if (canvas->m_objects == boxes) {
            canvas->m_objects = nullptr;
            canvas->m_undo_list = nullptr;
            canvas->m_undo_position = -1;
            canvas->m_error_object = nullptr;
            canvas->update();
        }
}

QAction* VOKR_OBJECT_WIDGET::action(int id) const
{
    return m_tx_manager ? m_tx_manager->get_action(static_cast<PIRQ_ACTION_ENUM>(id), QVariant()) : nullptr;
}

// The menu of shared actions; the canvas's own commands are connected to it at once and get
// their shortcuts, which act while the canvas has the focus.
void VOKR_OBJECT_WIDGET::build_context_menu()
{
    for (int id : MENU) {
        if (id == 0)
            m_context_menu->addSeparator();
        else
            m_context_menu->addAction(action(id));
        if (id == PIRQ_ACTION_ARRANGE_ALL_OBJECTS) {
            m_context_menu->addSeparator();
            add_locate_menu();
        }
    }
    for (const OWN_ACTION& own : OWN_ACTIONS) {
        QAction* a = action(own.id);
        if (*own.shortcut)
            a->setShortcut(QKeySequence(QString(own.shortcut)));
        connect_action(own.id, own.slot);
    }
}

Qt::CursorShape VOKR_OBJECT_WIDGET::s_drag_cursor_shape = Qt::ArrowCursor;

int VOKR_OBJECT_WIDGET::get_interaction_mode() { return interaction_mode; }

void VOKR_OBJECT_WIDGET::set_interaction_mode(int mode) { interaction_mode = mode; }

// ---- guards ---------------------------------------------------------------------------------------

bool VOKR_OBJECT_WIDGET::is_disabled() const
{
    int level = 0;
    if (!m_tx_manager || m_tx_manager->is_empty() || !m_tx_manager->is_advanced_mode(&level))
        return false;
    return m_tx_manager->is_instance_acquiring(m_tx_manager->get_current_instance_index()) ||
           !m_tx_manager->is_pattern_enabled(level);
}

bool VOKR_OBJECT_WIDGET::is_locked() const
{
    return m_tx_manager && m_tx_manager->get_frame_wnd() &&
           m_tx_manager->get_lock_mode(false) != VOKR_LOCK_MODE_ALL_CHANGES;
}

bool VOKR_OBJECT_WIDGET::is_power_up_view() const
{
    return m_tx_manager && !m_tx_manager->is_empty() &&
           m_tx_manager->get_session()->is_power_up_view(m_tx_manager->get_current_instance_index());
}

// ---- boxes ----------------------------------------------------------------------------------------

VOKR_TRIGGER_OBJECT* VOKR_OBJECT_WIDGET::trigger() const
{
    return m_tx_manager && m_objects ? m_tx_manager->shown_advanced_root() : nullptr;
}

VOKR_OBJECT* VOKR_OBJECT_WIDGET::new_box(const QPoint& position, int type)
{
    auto* box = new VOKR_OBJECT(this, position, trigger());
    if (type != VOKR_TYPE_UNKNOWN)
        box->set_type(type);
    m_objects->append(box);
    return box;
}

QPoint VOKR_OBJECT_WIDGET::to_canvas(const QPoint& pixels) const
{
    // Far points (a position the platform does not know) stay inside the range of an int.
    const auto scaled = [this](int v) {
        return static_cast<int>(qBound<double>(INT_MIN, double(v) * m_zoom / 10.0, INT_MAX));
    };
    return QPoint(scaled(pixels.x()), scaled(pixels.y()));
}

VOKR_OBJECT* VOKR_OBJECT_WIDGET::hit_test(const QPoint& point, QList<VOKR_OBJECT*>* list)
{
    if (!list)
        list = m_objects;
    if (!list)
        return nullptr;
    for (VOKR_OBJECT* box : std::as_const(*list))
        box->set_context(this);
    for (int i = list->size() - 1; i >= 0; --i)
        if (list->at(i)->hit_test(point))
            return list->at(i);
    return nullptr;
}

bool VOKR_OBJECT_WIDGET::accepts_connection(const VOKR_OBJECT* dragged, const VOKR_OBJECT* target) const
{
    const int kind = target->get_draw_kind();
    const int inputs = target->get_children().size();
    if (target->is_hidden() || vokr_kind_input(kind) == VOKR_SIGNAL_NONE ||
        vokr_kind_output(dragged->get_draw_kind()) == VOKR_SIGNAL_NONE || inputs >= vokr_kind_max_inputs(kind))
        return false;
    const int h = target->get_height();
    const int top = target->get_top();
    const int left = target->get_left() - (inputs > 0 ? 27 : 18);
    auto port = [&](int centre) { return QRect(QPoint(left, centre - 5), QPoint(target->get_left(), centre + 4)); };
    const QRect output = dragged->get_output_rect();
    if (vokr_kind_max_inputs(kind) == 2)
        return output.intersects(port(top + h / 3 + 2)) || output.intersects(port(top + 2 * h / 3 - 1));
    return output.intersects(port(top + h / 2));
}

// The trees being edited (those holding the selection) come back into view when their new
// layout leaves them off the edges or under the expression lines.
void VOKR_OBJECT_WIDGET::arrange_objects()
{
    if (!m_objects)
        return;
    QList<VOKR_OBJECT*> edited;
    for (int i = 0; i < m_objects->size(); ++i) {
        VOKR_OBJECT* root = m_objects->at(i);
        if (root->get_parent())
            continue;
        root->arrange();
        if (holds_selection(root))
            edited.append(root);
    }
    keep_in_view(edited);
    update();
}

QRect VOKR_OBJECT_WIDGET::placement_area() const
{
    const QRect v = visible_area();
    const int top = std::max(v.top(), expression_lines_bottom()) + PLACE_MARGIN;
    return QRect(QPoint(v.left() + PLACE_MARGIN, top), QPoint(v.right() - PLACE_MARGIN, v.bottom() - PLACE_MARGIN));
}

void VOKR_OBJECT_WIDGET::keep_in_view(const QList<VOKR_OBJECT*>& roots)
{
    QRect extent;
    for (const VOKR_OBJECT* root : roots)
        extent = extent.isNull() ? tree_extent(root) : extent.united(tree_extent(root));
    if (extent.isNull())
        return;
    const QRect area = placement_area();
    const QPoint offset(shift_into(extent.left(), extent.right(), area.left(), area.right()),
                        shift_into(extent.top(), extent.bottom(), area.top(), area.bottom()));
    if (offset.isNull())
        return;
    for (VOKR_OBJECT* root : roots)
        root->move(offset);
    update_scroll_bars();
}

VOKR_OBJECT* VOKR_OBJECT_WIDGET::fix_connection(VOKR_OBJECT* parent, VOKR_OBJECT* child, VOKR_OBJECT* adapter)
{
    const int parent_kind = parent->get_draw_kind();
    const VOKR_SIGNAL_KIND input = vokr_kind_input(parent_kind);
    const VOKR_SIGNAL_KIND output = vokr_kind_output(child->get_draw_kind());
    if (output == VOKR_SIGNAL_BUS && input == VOKR_SIGNAL_BIT) {
        if (VOKR_OBJECT* reduction = make_adapter(parent, child, VOKR_TYPE_REDUCTION)) {
            reduction->get_property().set(VOKR_INT_REDUCTION, ADAPTER_REDUCTION, VOKR_BANK_CURRENT);
            reduction->attach(child, true);
        }
    } else if (output == VOKR_SIGNAL_BIT && input == VOKR_SIGNAL_BUS &&
               vokr_kind_max_inputs(parent_kind) != VOKR_UNBOUNDED_INPUTS) {
        if (!adapter) {
            adapter = make_adapter(parent, child, VOKR_TYPE_BUS);
        } else if (adapter->get_parent() == parent) {
            // The child leaves the parent's ports: the adapter takes them again by its place.
            parent->detach(child);
            parent->detach(adapter);
            parent->attach(adapter, true);
        }
        if (adapter)
            adapter->attach(child, true);
    }
    update();
    return adapter;
}

// A new expanded box of `type` with a default name, attached to `parent` in place of `child`,
// centred on the child's middle, the child moved one column left; null when the parent has no
// trigger to own it.
VOKR_OBJECT* VOKR_OBJECT_WIDGET::make_adapter(VOKR_OBJECT* parent, VOKR_OBJECT* child, int type)
{
    VOKR_TRIGGER_OBJECT* trigger = parent->get_trigger();
    if (!trigger)
        return nullptr;
    auto* box = new VOKR_OBJECT(child->get_context(), child->get_top_left(), trigger);
    trigger->get_object_array()->append(box);
    box->set_type(type);
    box->expand(true);
    box->set_top(child->get_top() + child->get_height() / 2 - box->get_height() / 2);
    child->move(QPoint(-ADAPTER_COLUMN, 0));
    parent->detach(child);
    parent->attach(box, true);
    generate_default_names();
    return box;
}

// ---- scrolling --------------------------------------------------------------------------------------

// The part of the widget that shows boxes, in diagram units.
QRect VOKR_OBJECT_WIDGET::visible_area() const
{
    const QRect pixels = rect().adjusted(0, TITLE_BAND, -m_vscroll->width(), -m_hscroll->height());
    return QRect(to_canvas(pixels.topLeft()), to_canvas(pixels.bottomRight()));
}

// The union of the visible boxes' rectangles; empty when none is visible.
QRect VOKR_OBJECT_WIDGET::diagram_extent() const
{
    QRect extent;
    if (!m_objects)
        return extent;
    for (const VOKR_OBJECT* box : std::as_const(*m_objects))
        if (!box->is_hidden())
            extent = extent.isNull() ? box->get_rect() : extent.united(box->get_rect());
    return extent;
}

void VOKR_OBJECT_WIDGET::resizeEvent(QResizeEvent* event)
{
    if (event)
        QWidget::resizeEvent(event);
    const QRect b = diagram_extent();
    if (b.isNull())
        return;
    const QRect v = visible_area();
    const QSignalBlocker block_h(m_hscroll);
    const QSignalBlocker block_v(m_vscroll);
    m_hscroll->setRange(0, std::max(0, (b.right() - b.left()) + (v.right() - v.left()) - 2 * KEEP_X));
    m_hscroll->setPageStep(v.right() - v.left() + 1);
    m_hscroll->setValue(v.right() - b.left() - KEEP_X);
    m_vscroll->setRange(0, std::max(0, (b.bottom() - b.top()) + (v.bottom() - v.top()) - 2 * KEEP_Y));
    m_vscroll->setPageStep(v.bottom() - v.top() + 1);
    m_vscroll->setValue(v.bottom() - b.top() - KEEP_Y);
}

void VOKR_OBJECT_WIDGET::move_visible_boxes(int dx, int dy)
{
    if (dx == 0 && dy == 0)
        return;
    for (VOKR_OBJECT* box : std::as_const(*m_objects))
        if (!box->is_hidden())
            box->set_position(box->get_left() + dx, box->get_top() + dy);
}

void VOKR_OBJECT_WIDGET::on_scroll()
{
    const QRect b = diagram_extent();
    if (b.isNull())
        return;
    const QRect v = visible_area();
    move_visible_boxes(v.right() - KEEP_X - b.left() - m_hscroll->value(),
                       v.bottom() - KEEP_Y - b.top() - m_vscroll->value());
    update();
}

void VOKR_OBJECT_WIDGET::on_hscroll(int)
{
    const QRect b = diagram_extent();
    if (b.isNull())
        return;
    move_visible_boxes(visible_area().right() - KEEP_X - b.left() - m_hscroll->value(), 0);
    update();
}

void VOKR_OBJECT_WIDGET::on_vscroll(int)
{
    const QRect b = diagram_extent();
    if (b.isNull())
        return;
    move_visible_boxes(0, visible_area().bottom() - KEEP_Y - b.top() - m_vscroll->value());
    update();
}
