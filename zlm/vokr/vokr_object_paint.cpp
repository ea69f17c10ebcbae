// Painting of a box on the diagram canvas: the box itself (selection halo, kind icon, expand
// box, label, bit-width marker) and, in a second pass over all boxes, the lines around it (wire
// to the parent, free input stubs, junction dot, top box output). Everything is in diagram
// units; the canvas scales the finished image by its zoom.
#include "vokr_object.h"

#include "pirq.h"
#include "vokr_object_widget.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

// clang-format off
const PIRQ_ICON_ENUM vokr_kind_icon[VOKR_DRAW_KIND_COUNT] = {
    PIRQ_ICON_UNKNOWN,
    PIRQ_ICON_ROUTED_NODES_CONDITION,
    PIRQ_ICON_RESULT,
    PIRQ_ICON_EDGE_AND_LEVEL_DETECTOR,
    PIRQ_ICON_NODE,
    PIRQ_ICON_BUS,
    PIRQ_ICON_CONSTANT_HIGH, PIRQ_ICON_CONSTANT_LOW,
    PIRQ_ICON_VARIABLE_HIGH, PIRQ_ICON_VARIABLE_LOW,
    PIRQ_ICON_CONSTANT_BUS_VALUE, PIRQ_ICON_VARIABLE_BUS_VALUE,
    PIRQ_ICON_CONSTANT_UNSIGNED_LESS_THAN, PIRQ_ICON_CONSTANT_UNSIGNED_LESS_OR_EQUAL,
    PIRQ_ICON_CONSTANT_UNSIGNED_EQUALITY, PIRQ_ICON_CONSTANT_UNSIGNED_INEQUALITY,
    PIRQ_ICON_CONSTANT_UNSIGNED_GREATER_OR_EQUAL, PIRQ_ICON_CONSTANT_UNSIGNED_GREATER_THAN,
    PIRQ_ICON_CONSTANT_UNSIGNED_TRUE, PIRQ_ICON_CONSTANT_UNSIGNED_FALSE,
    PIRQ_ICON_VARIABLE_UNSIGNED_LESS_THAN, PIRQ_ICON_VARIABLE_UNSIGNED_LESS_OR_EQUAL,
    PIRQ_ICON_VARIABLE_UNSIGNED_EQUALITY, PIRQ_ICON_VARIABLE_UNSIGNED_INEQUALITY,
    PIRQ_ICON_VARIABLE_UNSIGNED_GREATER_OR_EQUAL, PIRQ_ICON_VARIABLE_UNSIGNED_GREATER_THAN,
    PIRQ_ICON_VARIABLE_UNSIGNED_TRUE, PIRQ_ICON_VARIABLE_UNSIGNED_FALSE,
    PIRQ_ICON_CONSTANT_SIGNED_LESS_THAN, PIRQ_ICON_CONSTANT_SIGNED_LESS_OR_EQUAL,
    PIRQ_ICON_CONSTANT_SIGNED_EQUALITY, PIRQ_ICON_CONSTANT_SIGNED_INEQUALITY,
    PIRQ_ICON_CONSTANT_SIGNED_GREATER_OR_EQUAL, PIRQ_ICON_CONSTANT_SIGNED_GREATER_THAN,
    PIRQ_ICON_CONSTANT_SIGNED_TRUE, PIRQ_ICON_CONSTANT_SIGNED_FALSE,
    PIRQ_ICON_VARIABLE_SIGNED_LESS_THAN, PIRQ_ICON_VARIABLE_SIGNED_LESS_OR_EQUAL,
    PIRQ_ICON_VARIABLE_SIGNED_EQUALITY, PIRQ_ICON_VARIABLE_SIGNED_INEQUALITY,
    PIRQ_ICON_VARIABLE_SIGNED_GREATER_OR_EQUAL, PIRQ_ICON_VARIABLE_SIGNED_GREATER_THAN,
    PIRQ_ICON_VARIABLE_SIGNED_TRUE, PIRQ_ICON_VARIABLE_SIGNED_FALSE,
    PIRQ_ICON_BITWISE_COMPLEMENT, PIRQ_ICON_BITWISE_AND, PIRQ_ICON_BITWISE_OR, PIRQ_ICON_BITWISE_XOR,
    PIRQ_ICON_LOGICAL_NOT, PIRQ_ICON_LOGICAL_AND, PIRQ_ICON_LOGICAL_OR, PIRQ_ICON_LOGICAL_XOR,
    PIRQ_ICON_REDUCTION_AND, PIRQ_ICON_REDUCTION_OR, PIRQ_ICON_REDUCTION_XOR,
    PIRQ_ICON_LOGICAL_LEFT_SHIFT, PIRQ_ICON_LOGICAL_RIGHT_SHIFT,
    PIRQ_ICON_ROTATE_LEFT_SHIFT, PIRQ_ICON_ROTATE_RIGHT_SHIFT,
    PIRQ_ICON_ARITHMETIC_LEFT_SHIFT, PIRQ_ICON_ARITHMETIC_RIGHT_SHIFT,
    PIRQ_ICON_REGISTERED_CONTINUOUS_COUNTER, PIRQ_ICON_REGISTERED_EVENT_COUNTER, PIRQ_ICON_REGISTERED_STATE_COUNTER,
    PIRQ_ICON_DYNAMIC_CONTINUOUS_COUNTER, PIRQ_ICON_DYNAMIC_EVENT_COUNTER, PIRQ_ICON_DYNAMIC_STATE_COUNTER,
    PIRQ_ICON_CUSTOM_HDL,
};
// clang-format on

namespace {

const QColor BLACK(0, 0, 0);
const QColor RED(255, 0, 0);
const QColor DARK_GREEN(0, 128, 0);
const QColor DARK_BLUE(0, 0, 128);
const QColor BLUE(0, 0, 255);

// The selection halo reaches 3 units out of the box, and is 106 units wide.
constexpr int HALO_MARGIN = 3;
constexpr int HALO_WIDTH = 106;

// Wires turn this far left of the parent and end this far inside it; stubs reach out to -7.
constexpr int WIRE_TURN = 15;
constexpr int WIRE_INSET = 4;
constexpr int STUB_END = -7;

// Top box output stubs, from the right edge.
constexpr int OUTPUT_STUB_BIT = 7;
constexpr int OUTPUT_STUB_BUS = 13;

// The parameter line's inner rectangle: from (left + indent, top + 18) to
// (left + 96, top + height - 70); the shift distance is indented further.
constexpr int PARAMETER_INDENT = 4;
constexpr int SHIFT_DISTANCE_INDENT = 50;
constexpr int PARAMETER_TOP = 18;
constexpr int PARAMETER_RIGHT = 96;
constexpr int PARAMETER_BOTTOM_FROM_END = 70;

// The width marker: a slanted stroke 6 wide and 12 high across the wire, the width written
// 18 below the box's middle.
constexpr int MARKER_STROKE_WIDTH = 6;
constexpr int MARKER_HALF_HEIGHT = 6;
constexpr int MARKER_TEXT_DROP = 18;

QPen line_pen(const QColor& color, int width)
{
    return QPen(color, width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

int signal_pen_width(VOKR_SIGNAL_KIND kind) { return kind == VOKR_SIGNAL_BIT ? 1 : 3; }

const QString& string_property(const VOKR_OBJECT* box, int id)
{
    return box->get_property().get_string_value(id, VOKR_BANK_CURRENT).text;
}

}  // namespace

// ---- the box ----------------------------------------------------------------------------------------

void VOKR_OBJECT::draw(QPainter* painter, bool has_focus, bool incremental)
{
    if (is_hidden())
        return;
    const int h = get_height();
    if (m_property[VOKR_INT_SELECTED] == 1) {
        static constexpr PIRQ_ICON_ENUM HALOS[2][3] = {
            {PIRQ_ICON_SELECTION_SHORT, PIRQ_ICON_SELECTION_DELAYED, PIRQ_ICON_SELECTION_TALL},
            {PIRQ_ICON_FOCUS_SELECTION_SHORT, PIRQ_ICON_FOCUS_SELECTION_DELAYED, PIRQ_ICON_FOCUS_SELECTION_TALL}};
        const int size = h == 20 ? 0 : h == 33 ? 1 : 2;
        const QRect halo(get_left() - HALO_MARGIN, get_top() - HALO_MARGIN, HALO_WIDTH, h + 2 * HALO_MARGIN);
        painter->drawPixmap(halo, pirq_get_icon(HALOS[has_focus ? 1 : 0][size]));
    }
    painter->drawPixmap(get_rect(), pirq_get_icon(get_box_icon()));
    if (!m_children.isEmpty()) {
        const PIRQ_ICON_ENUM expander = m_property[VOKR_INT_EXPANDED] == 1 ? PIRQ_ICON_EXPANDED
                                        : are_inputs_connectable()         ? PIRQ_ICON_COLLAPSED
                                                                           : PIRQ_ICON_COLLAPSED_UNCONNECTABLE;
        painter->drawPixmap(get_expand_rect(), pirq_get_icon(expander));
    }
    draw_label(painter, get_type(), get_draw_kind(), incremental);
    draw_width_marker(painter);
}

PIRQ_ICON_ENUM VOKR_OBJECT::get_box_icon() const
{
    const bool has_children = !m_children.isEmpty();
    const int type = get_type();
    switch (type) {
    case VOKR_TYPE_BUS:
        if (get_data_delay(false).isEmpty())
            return has_children ? PIRQ_ICON_NODE : PIRQ_ICON_BUS;
        return has_children ? PIRQ_ICON_NODE_DELAYED : PIRQ_ICON_BUS_DELAYED;
    case VOKR_TYPE_RESULT: return has_children ? PIRQ_ICON_RESULT_WIRED : PIRQ_ICON_RESULT;
    case VOKR_TYPE_NODE:
        if (!get_data_delay(false).isEmpty())
            return PIRQ_ICON_NODE_DELAYED;
        break;
    case VOKR_TYPE_BIT_VALUE:
        if (!string_property(this, VOKR_STRING_ALIAS).isEmpty())
            return get_draw_kind() < VOKR_KIND_VARIABLE_HIGH ? PIRQ_ICON_CONSTANT_BUS_VALUE
                                                             : PIRQ_ICON_VARIABLE_BUS_VALUE;
        break;
    default: break;
    }
    return vokr_kind_icon[get_draw_kind()];
}

// A slanted stroke across the bus output (or across the bus inputs of an expanded detector
// joining two or more inputs) and the width beside it; "?" when it cannot be worked out.
void VOKR_OBJECT::draw_width_marker(QPainter* painter) const
{
    const int kind = get_draw_kind();
    const int middle = get_top() + get_height() / 2;
    int stroke_x, text_x, width;  // the stroke spans stroke_x to stroke_x + 6
    if (vokr_kind_output(kind) == VOKR_SIGNAL_BUS) {
        stroke_x = get_left() + WIDTH + 4;
        text_x = get_left() + WIDTH + 7;
        width = get_output_width(true);
    } else if (vokr_kind_input(kind) == VOKR_SIGNAL_BUS && vokr_kind_max_inputs(kind) == VOKR_UNBOUNDED_INPUTS &&
               m_property[VOKR_INT_EXPANDED] == 1 && m_children.size() >= 2) {
        stroke_x = get_left() - 8;
        text_x = get_left() - 6;
        width = get_input_width();
    } else {
        return;
    }
    const QPen previous = painter->pen();
    painter->setPen(line_pen(BLACK, 2));
    painter->drawLine(stroke_x, middle - MARKER_HALF_HEIGHT, stroke_x + MARKER_STROKE_WIDTH,
                      middle + MARKER_HALF_HEIGHT);
    painter->setPen(previous);
    const QString text = width < 1 ? QStringLiteral("?") : QStringLiteral("%1").arg(width);
    painter->drawText(QPoint(text_x, middle + MARKER_TEXT_DROP), text);
}

// ---- texts ----------------------------------------------------------------------------------------

void VOKR_OBJECT::draw_label(QPainter* painter, int type, int kind, bool incremental)
{
    const QString& alias = string_property(this, VOKR_STRING_ALIAS);
    const bool selected = m_property[VOKR_INT_SELECTED] == 1;
    const QColor name_colour = incremental ? BLUE : selected ? DARK_BLUE : BLACK;
    const QRect text_rect = get_text_rect();
    bool parameters = true;
    if (!alias.isEmpty()) {
        draw_text(painter, text_rect, alias, DARK_GREEN);
    } else {
        parameters = false;
        const QString& name = string_property(this, VOKR_STRING_NAME);
        switch (type) {
        case VOKR_TYPE_BUS:
            if (!string_property(this, VOKR_STRING_BUS_NAME).isEmpty())
                draw_text(painter, text_rect, get_display_name(true), name_colour);
            else if (!name.isEmpty())
                draw_text(painter, text_rect, name, selected ? DARK_BLUE : BLACK);
            else
                draw_symbol(painter, kind, text_rect);
            break;
        case VOKR_TYPE_NODE:
            if (!name.isEmpty())
                draw_text(painter, text_rect, get_display_name(true), name_colour);
            else
                draw_symbol(painter, kind, text_rect);
            break;
        case VOKR_TYPE_BUS_VALUE: {
            const QString value = get_bus_value(-1, nullptr, nullptr, nullptr);
            if (!value.isEmpty())
                draw_text(painter, text_rect, value, BLACK);
            else
                draw_symbol(painter, kind, text_rect);
            break;
        }
        case VOKR_TYPE_BIT_VALUE:
        case VOKR_TYPE_CIRN: break;  // the icon shows them
        case VOKR_TYPE_RESULT: draw_symbol(painter, kind, get_rect()); break;
        default:
            // An operator's sign is part of its icon; only a name is written.
            if (!name.isEmpty())
                draw_text(painter, text_rect, name, QApplication::palette().color(QPalette::Dark));
            parameters = true;
            break;
        }
    }
    if (!parameters)
        return;
    switch (type) {
    case VOKR_TYPE_ELD: draw_pattern(painter); break;
    case VOKR_TYPE_SHIFT: draw_shift_distance(painter); break;
    case VOKR_TYPE_CUSTOM_HDL: draw_config_bitstream(painter); break;
    default: break;
    }
}

void VOKR_OBJECT::draw_symbol(QPainter* painter, int kind, const QRect& rect) const
{
    const QPen previous = painter->pen();
    const Qt::BGMode mode = painter->backgroundMode();
    painter->setPen(QPen(BLACK));
    painter->setBackgroundMode(Qt::TransparentMode);
    painter->drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, QString::fromLatin1(vokr_kind_symbol(kind)));
    painter->setBackgroundMode(mode);
    painter->setPen(previous);
}

// A label too wide for its box keeps what tells it from its neighbours: a bus's index range, which
// buses of one width share, gives way first ("pc[…]"), then the start of the text, so that the
// end of a hierarchical name shows. The box's tooltip names it whole.
QString VOKR_OBJECT::fitted_label(const QFontMetrics& metrics, const QString& text, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const int range = text.lastIndexOf('[');
    const bool bus = range > 0 && text.endsWith(']');
    return metrics.elidedText(bus ? text.left(range) + QStringLiteral("[\u2026]") : text, Qt::ElideLeft, width);
}

void VOKR_OBJECT::draw_text(QPainter* painter, const QRect& rect, const QString& text, const QColor& color) const
{
    painter->save();
    painter->setPen(QPen(color));
    const QRect r = rect.normalized();
    painter->drawText(r, Qt::AlignCenter, fitted_label(painter->fontMetrics(), text, r.right() - r.left() + 1));
    painter->restore();
}

void VOKR_OBJECT::draw_pattern(QPainter* painter) const
{
    draw_parameter_line(painter, string_property(this, VOKR_STRING_PATTERN), PARAMETER_INDENT);
}

void VOKR_OBJECT::draw_shift_distance(QPainter* painter) const
{
    draw_parameter_line(painter, get_shift_distance(), SHIFT_DISTANCE_INDENT);
}

void VOKR_OBJECT::draw_config_bitstream(QPainter* painter) const
{
    draw_parameter_line(painter, string_property(this, VOKR_STRING_CONFIG_BITSTREAM), PARAMETER_INDENT);
}

// One black line at the top of the box's inner rectangle, centred, cut at its right.
void VOKR_OBJECT::draw_parameter_line(QPainter* painter, const QString& text, int indent) const
{
    if (text.isEmpty())
        return;
    const QRect inner(QPoint(get_left() + indent, get_top() + PARAMETER_TOP),
                      QPoint(get_left() + PARAMETER_RIGHT, get_bottom() - PARAMETER_BOTTOM_FROM_END));
    const QPen previous = painter->pen();
    const Qt::BGMode mode = painter->backgroundMode();
    painter->setPen(QPen(BLACK));
    painter->setBackgroundMode(Qt::TransparentMode);
    const QString shown = painter->fontMetrics().elidedText(text, Qt::ElideRight, inner.width());
    painter->drawText(inner, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, shown);
    painter->setBackgroundMode(mode);
    painter->setPen(previous);
}

// ---- lines ----------------------------------------------------------------------------------------

void VOKR_OBJECT::draw_connections(QPainter* painter, QPoint mouse) const
{
    if (is_hidden())
        return;
    painter->save();
    if (m_parent)
        draw_parent_wire(painter);
    if (m_property[VOKR_INT_EXPANDED] == 1 || m_children.isEmpty())
        draw_free_inputs(painter);
    if (!m_parent)
        draw_top_output(painter, mouse);
    painter->restore();
}

// Out of the output point, down or up 15 units before the parent, into the parent's port;
// red when the parent does not take this box there.
void VOKR_OBJECT::draw_parent_wire(QPainter* painter) const
{
    const VOKR_SIGNAL_KIND output = vokr_kind_output(get_draw_kind());
    const bool fits = m_parent->can_connect(this) && output != VOKR_SIGNAL_NONE;
    painter->setPen(line_pen(fits ? BLACK : RED, signal_pen_width(output)));
    int port = 2;
    if (m_parent->has_two_inputs())
        port = m_parent->m_children.value(0) == this && m_parent->m_property[VOKR_INT_FIRST_PORT_EMPTY] != 1 ? 1 : 3;
    const QPoint from = get_output_point();
    const QPoint to = m_parent->get_tail_point(port);
    const int turn = m_parent->get_left() - WIRE_TURN;
    const QLine route[] = {QLine(from, QPoint(turn, from.y())), QLine(QPoint(turn, from.y()), QPoint(turn, to.y())),
                           QLine(QPoint(turn, to.y()), QPoint(m_parent->get_left() + WIRE_INSET, to.y()))};
    painter->drawLines(route, 3);
}

// Stubs at the ports no child takes, and the dot where the inputs of a box taking any number
// join.
void VOKR_OBJECT::draw_free_inputs(QPainter* painter) const
{
    const int kind = get_draw_kind();
    const VOKR_SIGNAL_KIND input = vokr_kind_input(kind);
    const int max = vokr_kind_max_inputs(kind);
    if (input == VOKR_SIGNAL_NONE || max == 0)
        return;
    painter->setPen(line_pen(BLACK, signal_pen_width(input)));
    const int n = m_children.size();
    QList<int> ports;
    if (max == 2) {
        if (n == 0)
            ports = {1, 3};
        else if (n == 1)
            ports = {m_property[VOKR_INT_FIRST_PORT_EMPTY] == 1 ? 1 : 3};
    } else if (n == 0) {
        ports = {2};
    }
    for (int port : std::as_const(ports)) {
        const int y = get_tail_point(port).y();
        painter->drawLine(get_left() + WIRE_INSET, y, get_left() + STUB_END, y);
    }
    if (max != VOKR_UNBOUNDED_INPUTS)
        return;
    const int r = input == VOKR_SIGNAL_BIT ? 2 : 4;
    const int x = get_left() - r - (n == 0 ? 8 : 16);
    painter->setBrush(QBrush(BLACK, Qt::SolidPattern));
    painter->drawEllipse(QRect(x, get_top() + get_height() / 2 - r - 1, 2 * r + 2, 2 * r + 2));
}

// A short stub out of a top box, or the wire being dragged from it to the mouse.
void VOKR_OBJECT::draw_top_output(QPainter* painter, QPoint mouse) const
{
    const VOKR_SIGNAL_KIND output = vokr_kind_output(get_draw_kind());
    if (output == VOKR_SIGNAL_NONE)
        return;
    painter->setPen(line_pen(BLACK, signal_pen_width(output)));
    const QPoint from = get_output_point();
    const VOKR_OBJECT_WIDGET* canvas = get_canvas();
    const bool dragged =
        m_property[VOKR_INT_SELECTED] == 1 && m_dragging && canvas && canvas->cursor().shape() == Qt::CrossCursor;
    if (dragged) {
        const QLine wire[] = {QLine(from, QPoint(mouse.x(), from.y())), QLine(QPoint(mouse.x(), from.y()), mouse)};
        painter->drawLines(wire, 2);
        return;
    }
    const int length = output == VOKR_SIGNAL_BIT ? OUTPUT_STUB_BIT : OUTPUT_STUB_BUS;
    painter->drawLine(from, QPoint(from.x() + length, from.y()));
}
