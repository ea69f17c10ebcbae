#include "vokr_object.h"

#include "vokr_object_widget.h"

#include <algorithm>

namespace {

// Heights of the drawn box.
constexpr int SHORT_HEIGHT = 20;
constexpr int DELAYED_HEIGHT = 33;
constexpr int TALL_HEIGHT = 100;

// The output port area starts inside the box and reaches past the stub, further for a wire
// to a parent and again for a bus.
constexpr int OUTPUT_AREA_LEFT = 90;
constexpr int OUTPUT_AREA_TOP_BOX = 107;
constexpr int OUTPUT_AREA_CHILD = 115;
constexpr int OUTPUT_AREA_BUS_EXTRA = 9;
constexpr int OUTPUT_AREA_HALF_HEIGHT = 5;

// The expand box: 10 units square near the top-left corner, lower in a box with a delay line.
constexpr int EXPAND_LEFT = 5;
constexpr int EXPAND_SIZE = 9;  // right and bottom edges, inclusive
constexpr int EXPAND_TOP = 6;
constexpr int EXPAND_TOP_DELAYED = 12;

// The label's margins.
constexpr int TEXT_MARGIN = 3;
constexpr int TEXT_INDENT_EXPANDER = 12;  // clears the expand box
constexpr int TEXT_INDENT_INPUT = 6;      // clears the input stub's end
constexpr int TEXT_LINE_HEIGHT = 14;      // a tall box writes one line at its top

// The areas left of the input ports that take a dropped connection: 11 units wide, or 20 where
// the expand box's wire ends, reaching 5 units above and below the port.
constexpr int PORT_AREA_WIDTH = 11;
constexpr int PORT_AREA_WIDTH_WITH_CHILDREN = 20;
constexpr int PORT_AREA_HALF_HEIGHT = 5;

const QString HIERARCHY_SEPARATOR = QStringLiteral("|");

}  // namespace

int VOKR_OBJECT::get_height() const
{
    switch (get_type()) {
    case VOKR_TYPE_RESULT:
    case VOKR_TYPE_BIT_VALUE:
    case VOKR_TYPE_BUS_VALUE: return SHORT_HEIGHT;
    case VOKR_TYPE_NODE:
    case VOKR_TYPE_BUS: return get_data_delay(false).isEmpty() ? SHORT_HEIGHT : DELAYED_HEIGHT;
    default: return TALL_HEIGHT;
    }
}

QRect VOKR_OBJECT::get_rect() const { return QRect(get_top_left(), QPoint(get_left() + WIDTH, get_bottom())); }

bool VOKR_OBJECT::has_two_inputs() const { return vokr_kind_max_inputs(get_draw_kind()) == 2; }

QPoint VOKR_OBJECT::get_tail_point(int port) const
{
    const int h = get_height();
    switch (port) {
    case 1: return QPoint(get_left(), get_top() + h / 3 + 2);
    case 3: return QPoint(get_left(), get_top() + 2 * h / 3 - 1);
    default: return QPoint(get_left(), get_top() + h / 2);
    }
}

QPoint VOKR_OBJECT::get_output_point() const { return QPoint(get_left() + WIDTH, get_top() + get_height() / 2); }

QRect VOKR_OBJECT::get_output_rect() const
{
    int right = get_left() + (m_parent ? OUTPUT_AREA_CHILD : OUTPUT_AREA_TOP_BOX);
    if (vokr_kind_output(get_draw_kind()) == VOKR_SIGNAL_BUS)
        right += OUTPUT_AREA_BUS_EXTRA;
    const int middle = get_top() + get_height() / 2;
    return QRect(QPoint(get_left() + OUTPUT_AREA_LEFT, middle - OUTPUT_AREA_HALF_HEIGHT),
                 QPoint(right, middle + OUTPUT_AREA_HALF_HEIGHT));
}

QRect VOKR_OBJECT::get_expand_rect() const
{
    if (m_children.isEmpty())
        return QRect();
    const int top = get_top() + (get_height() == DELAYED_HEIGHT ? EXPAND_TOP_DELAYED : EXPAND_TOP);
    const int left = get_left() + EXPAND_LEFT;
    return QRect(QPoint(left, top), QPoint(left + EXPAND_SIZE, top + EXPAND_SIZE));
}

QRect VOKR_OBJECT::get_text_rect() const
{
    QRect r = get_rect().adjusted(TEXT_MARGIN, TEXT_MARGIN, -TEXT_MARGIN, -TEXT_MARGIN);
    const bool has_children = !m_children.isEmpty();
    if (get_height() != SHORT_HEIGHT) {
        if (has_children)
            r.setLeft(r.left() + TEXT_INDENT_EXPANDER);
        r.setBottom(r.top() + TEXT_LINE_HEIGHT);
        return r;
    }
    r.setRight(r.right() - TEXT_INDENT_INPUT);
    if (has_children)
        r.setLeft(r.left() + TEXT_INDENT_EXPANDER);
    else if (vokr_kind_max_inputs(get_draw_kind()) > 0)
        r.setLeft(r.left() + TEXT_INDENT_INPUT);
    const int type = get_type();
    if (type == VOKR_TYPE_BIT_VALUE || type == VOKR_TYPE_BUS_VALUE)
        r.adjust(1, 1, -1, -1);
    return r;
}

QString VOKR_OBJECT::get_display_name(bool elide) const
{
    const int id = get_type() == VOKR_TYPE_BUS ? VOKR_STRING_BUS_NAME : VOKR_STRING_NAME;
    const QString& name = m_property.get_string_value(id, VOKR_BANK_CURRENT).text;
    const int cut = name.lastIndexOf(HIERARCHY_SEPARATOR);
    if (cut < 0)
        return name;
    const QString tail = name.mid(cut + 1);
    return elide ? QStringLiteral("...") + tail : tail;
}

void VOKR_OBJECT::set_position(int x, int y)
{
    m_property.set(VOKR_INT_LEFT, x, VOKR_BANK_CURRENT);
    m_property.set(VOKR_INT_TOP, y, VOKR_BANK_CURRENT);
}

void VOKR_OBJECT::sort_children()
{
    std::stable_sort(m_children.begin(), m_children.end(),
                     [](const VOKR_OBJECT* a, const VOKR_OBJECT* b) { return a->get_top() < b->get_top(); });
}

// ---- hit tests and visibility ------------------------------------------------------------------

bool VOKR_OBJECT::hit_test(const QPoint& point) const
{
    if (is_hidden())
        return false;
    if (get_rect().contains(point) || get_output_rect().contains(point))
        return true;
    if (!m_children.isEmpty() && !is_expanded())
        return false;
    const int max = vokr_kind_max_inputs(get_draw_kind());
    if (max == 0)
        return false;
    const int width = m_children.isEmpty() ? PORT_AREA_WIDTH : PORT_AREA_WIDTH_WITH_CHILDREN;
    auto near_port = [&](int port) {
        const QPoint tail = get_tail_point(port);
        return QRect(tail.x() - width, tail.y() - PORT_AREA_HALF_HEIGHT, width, 2 * PORT_AREA_HALF_HEIGHT + 1)
            .contains(point);
    };
    return max == 2 ? near_port(1) || near_port(3) : near_port(2);
}

bool VOKR_OBJECT::is_hidden() const
{
    if (VOKR_OBJECT_WIDGET::is_drag_mode(VOKR_OBJECT_WIDGET::get_interaction_mode())) {
        // The dragged boxes and the ones left behind are separate trees for the time being.
        for (const VOKR_OBJECT* up = m_parent; up; up = up->m_parent) {
            if (up->m_dragging != m_dragging)
                return false;
            if (!up->is_expanded())
                return true;
        }
        return false;
    }
    if (m_dragging)
        return false;
    for (const VOKR_OBJECT* up = m_parent; up; up = up->m_parent) {
        if (!up->is_expanded())
            return true;
        if (up->m_dragging)
            return false;
    }
    return false;
}
