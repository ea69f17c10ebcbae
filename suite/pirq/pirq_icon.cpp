// The suite's icons of the advanced-trigger boxes, drawn with QPainter at first use: a box body
// coloured by its family with the kind's glyph (a gate, a sign, a waveform, a counter, a chip),
// selection halos and expand boxes. Each icon is drawn at the size it is shown at, so painting
// it into its rectangle never rescales it.
#include "pirq.h"

#include <QCoreApplication>
#include <QFont>
#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <iterator>
#include <map>
#include <vector>

namespace {

enum SHAPE { BOX, SELECTION, FOCUS_SELECTION, EXPANDER };
enum FAMILY { SIGNAL, VALUE, COMPARE, GATE, SHIFT, COUNTER, SPECIAL, RESULT_OPEN, RESULT_WIRED };
enum GLYPH {
    NO_GLYPH,
    SIGN,         // the row's sign in large type
    INLINE_SIGN,  // the sign and caption on one line, for a short box
    NODE_DOT,     // a node's terminal at the output side
    BUS_BAR,      // a bus's thick terminal with a width slash
    DELAY_NODE,   // a node's terminal over a register
    DELAY_BUS,    // a bus's terminal over a register
    AND_GATE,
    OR_GATE,
    XOR_GATE,
    NOT_GATE,
    EDGE_WAVE,  // a rising edge between two levels
    ROUTED,     // nodes routed onto one line
    CHIP,       // a block with pins
    COUNTER_DIGITS,
    TARGET,  // an open result
    CHECK,   // a wired result
    MINUS,
    PLUS
};

struct ICON_ROW {
    PIRQ_ICON_ENUM id;
    SHAPE shape;
    int height;  // of the box the icon shows or frames
    FAMILY family;
    GLYPH glyph;
    bool bus;  // operands are buses: thick strokes
    const char* sign;
    const char* caption;
};

constexpr int SHORT = 20;
constexpr int DELAYED = 33;
constexpr int TALL = 100;

// clang-format off
const ICON_ROW ICON_ROWS[] = {
    {PIRQ_ICON_UNKNOWN, BOX, TALL, SPECIAL, SIGN, false, "?", "unknown"},
    {PIRQ_ICON_ROUTED_NODES_CONDITION, BOX, TALL, SPECIAL, ROUTED, false, "", "routed nodes"},
    {PIRQ_ICON_RESULT, BOX, SHORT, RESULT_OPEN, TARGET, false, "", ""},
    {PIRQ_ICON_RESULT_WIRED, BOX, SHORT, RESULT_WIRED, CHECK, false, "", ""},
    {PIRQ_ICON_EDGE_AND_LEVEL_DETECTOR, BOX, TALL, SPECIAL, EDGE_WAVE, true, "", "edge & level"},
    {PIRQ_ICON_NODE, BOX, SHORT, SIGNAL, NODE_DOT, false, "", ""},
    {PIRQ_ICON_BUS, BOX, SHORT, SIGNAL, BUS_BAR, true, "", ""},
    {PIRQ_ICON_NODE_DELAYED, BOX, DELAYED, SIGNAL, DELAY_NODE, false, "", ""},
    {PIRQ_ICON_BUS_DELAYED, BOX, DELAYED, SIGNAL, DELAY_BUS, true, "", ""},
    {PIRQ_ICON_CONSTANT_HIGH, BOX, SHORT, VALUE, INLINE_SIGN, false, "1", "constant"},
    {PIRQ_ICON_CONSTANT_LOW, BOX, SHORT, VALUE, INLINE_SIGN, false, "0", "constant"},
    {PIRQ_ICON_VARIABLE_HIGH, BOX, SHORT, VALUE, INLINE_SIGN, false, "1", "variable"},
    {PIRQ_ICON_VARIABLE_LOW, BOX, SHORT, VALUE, INLINE_SIGN, false, "0", "variable"},
    {PIRQ_ICON_CONSTANT_BUS_VALUE, BOX, SHORT, VALUE, BUS_BAR, true, "", ""},
    {PIRQ_ICON_VARIABLE_BUS_VALUE, BOX, SHORT, VALUE, BUS_BAR, true, "V", ""},

    {PIRQ_ICON_CONSTANT_UNSIGNED_LESS_THAN, BOX, TALL, COMPARE, SIGN, true, "<", "constant unsigned"},
    {PIRQ_ICON_CONSTANT_UNSIGNED_LESS_OR_EQUAL, BOX, TALL, COMPARE, SIGN, true, "\u2264", "constant unsigned"},
    {PIRQ_ICON_CONSTANT_UNSIGNED_EQUALITY, BOX, TALL, COMPARE, SIGN, true, "=", "constant unsigned"},
    {PIRQ_ICON_CONSTANT_UNSIGNED_INEQUALITY, BOX, TALL, COMPARE, SIGN, true, "\u2260", "constant unsigned"},
    {PIRQ_ICON_CONSTANT_UNSIGNED_GREATER_OR_EQUAL, BOX, TALL, COMPARE, SIGN, true, "\u2265", "constant unsigned"},
    {PIRQ_ICON_CONSTANT_UNSIGNED_GREATER_THAN, BOX, TALL, COMPARE, SIGN, true, ">", "constant unsigned"},
    {PIRQ_ICON_CONSTANT_UNSIGNED_TRUE, BOX, TALL, COMPARE, SIGN, true, "true", "constant unsigned"},
    {PIRQ_ICON_CONSTANT_UNSIGNED_FALSE, BOX, TALL, COMPARE, SIGN, true, "false", "constant unsigned"},
    {PIRQ_ICON_VARIABLE_UNSIGNED_LESS_THAN, BOX, TALL, COMPARE, SIGN, true, "<", "variable unsigned"},
    {PIRQ_ICON_VARIABLE_UNSIGNED_LESS_OR_EQUAL, BOX, TALL, COMPARE, SIGN, true, "\u2264", "variable unsigned"},
    {PIRQ_ICON_VARIABLE_UNSIGNED_EQUALITY, BOX, TALL, COMPARE, SIGN, true, "=", "variable unsigned"},
    {PIRQ_ICON_VARIABLE_UNSIGNED_INEQUALITY, BOX, TALL, COMPARE, SIGN, true, "\u2260", "variable unsigned"},
    {PIRQ_ICON_VARIABLE_UNSIGNED_GREATER_OR_EQUAL, BOX, TALL, COMPARE, SIGN, true, "\u2265", "variable unsigned"},
    {PIRQ_ICON_VARIABLE_UNSIGNED_GREATER_THAN, BOX, TALL, COMPARE, SIGN, true, ">", "variable unsigned"},
    {PIRQ_ICON_VARIABLE_UNSIGNED_TRUE, BOX, TALL, COMPARE, SIGN, true, "true", "variable unsigned"},
    {PIRQ_ICON_VARIABLE_UNSIGNED_FALSE, BOX, TALL, COMPARE, SIGN, true, "false", "variable unsigned"},
    {PIRQ_ICON_CONSTANT_SIGNED_LESS_THAN, BOX, TALL, COMPARE, SIGN, true, "<", "constant signed"},
    {PIRQ_ICON_CONSTANT_SIGNED_LESS_OR_EQUAL, BOX, TALL, COMPARE, SIGN, true, "\u2264", "constant signed"},
    {PIRQ_ICON_CONSTANT_SIGNED_EQUALITY, BOX, TALL, COMPARE, SIGN, true, "=", "constant signed"},
    {PIRQ_ICON_CONSTANT_SIGNED_INEQUALITY, BOX, TALL, COMPARE, SIGN, true, "\u2260", "constant signed"},
    {PIRQ_ICON_CONSTANT_SIGNED_GREATER_OR_EQUAL, BOX, TALL, COMPARE, SIGN, true, "\u2265", "constant signed"},
    {PIRQ_ICON_CONSTANT_SIGNED_GREATER_THAN, BOX, TALL, COMPARE, SIGN, true, ">", "constant signed"},
    {PIRQ_ICON_CONSTANT_SIGNED_TRUE, BOX, TALL, COMPARE, SIGN, true, "true", "constant signed"},
    {PIRQ_ICON_CONSTANT_SIGNED_FALSE, BOX, TALL, COMPARE, SIGN, true, "false", "constant signed"},
    {PIRQ_ICON_VARIABLE_SIGNED_LESS_THAN, BOX, TALL, COMPARE, SIGN, true, "<", "variable signed"},
    {PIRQ_ICON_VARIABLE_SIGNED_LESS_OR_EQUAL, BOX, TALL, COMPARE, SIGN, true, "\u2264", "variable signed"},
    {PIRQ_ICON_VARIABLE_SIGNED_EQUALITY, BOX, TALL, COMPARE, SIGN, true, "=", "variable signed"},
    {PIRQ_ICON_VARIABLE_SIGNED_INEQUALITY, BOX, TALL, COMPARE, SIGN, true, "\u2260", "variable signed"},
    {PIRQ_ICON_VARIABLE_SIGNED_GREATER_OR_EQUAL, BOX, TALL, COMPARE, SIGN, true, "\u2265", "variable signed"},
    {PIRQ_ICON_VARIABLE_SIGNED_GREATER_THAN, BOX, TALL, COMPARE, SIGN, true, ">", "variable signed"},
    {PIRQ_ICON_VARIABLE_SIGNED_TRUE, BOX, TALL, COMPARE, SIGN, true, "true", "variable signed"},
    {PIRQ_ICON_VARIABLE_SIGNED_FALSE, BOX, TALL, COMPARE, SIGN, true, "false", "variable signed"},

    {PIRQ_ICON_BITWISE_COMPLEMENT, BOX, TALL, GATE, NOT_GATE, true, "", "bitwise not"},
    {PIRQ_ICON_BITWISE_AND, BOX, TALL, GATE, AND_GATE, true, "", "bitwise and"},
    {PIRQ_ICON_BITWISE_OR, BOX, TALL, GATE, OR_GATE, true, "", "bitwise or"},
    {PIRQ_ICON_BITWISE_XOR, BOX, TALL, GATE, XOR_GATE, true, "", "bitwise xor"},
    {PIRQ_ICON_LOGICAL_NOT, BOX, TALL, GATE, NOT_GATE, false, "", "not"},
    {PIRQ_ICON_LOGICAL_AND, BOX, TALL, GATE, AND_GATE, false, "", "and"},
    {PIRQ_ICON_LOGICAL_OR, BOX, TALL, GATE, OR_GATE, false, "", "or"},
    {PIRQ_ICON_LOGICAL_XOR, BOX, TALL, GATE, XOR_GATE, false, "", "xor"},
    {PIRQ_ICON_REDUCTION_AND, BOX, TALL, GATE, AND_GATE, true, "R", "reduction and"},
    {PIRQ_ICON_REDUCTION_OR, BOX, TALL, GATE, OR_GATE, true, "R", "reduction or"},
    {PIRQ_ICON_REDUCTION_XOR, BOX, TALL, GATE, XOR_GATE, true, "R", "reduction xor"},
    {PIRQ_ICON_LOGICAL_LEFT_SHIFT, BOX, TALL, SHIFT, SIGN, true, "\u00ab", "logical"},
    {PIRQ_ICON_LOGICAL_RIGHT_SHIFT, BOX, TALL, SHIFT, SIGN, true, "\u00bb", "logical"},
    {PIRQ_ICON_ROTATE_LEFT_SHIFT, BOX, TALL, SHIFT, SIGN, true, "\u21ba", "rotate"},
    {PIRQ_ICON_ROTATE_RIGHT_SHIFT, BOX, TALL, SHIFT, SIGN, true, "\u21bb", "rotate"},
    {PIRQ_ICON_ARITHMETIC_LEFT_SHIFT, BOX, TALL, SHIFT, SIGN, true, "\u00ab\u00b1", "arithmetic"},
    {PIRQ_ICON_ARITHMETIC_RIGHT_SHIFT, BOX, TALL, SHIFT, SIGN, true, "\u00b1\u00bb", "arithmetic"},
    {PIRQ_ICON_REGISTERED_CONTINUOUS_COUNTER, BOX, TALL, COUNTER, COUNTER_DIGITS, false, "", "continuous"},
    {PIRQ_ICON_REGISTERED_EVENT_COUNTER, BOX, TALL, COUNTER, COUNTER_DIGITS, false, "", "event"},
    {PIRQ_ICON_REGISTERED_STATE_COUNTER, BOX, TALL, COUNTER, COUNTER_DIGITS, false, "", "state"},
    {PIRQ_ICON_DYNAMIC_CONTINUOUS_COUNTER, BOX, TALL, COUNTER, COUNTER_DIGITS, true, "", "dynamic continuous"},
    {PIRQ_ICON_DYNAMIC_EVENT_COUNTER, BOX, TALL, COUNTER, COUNTER_DIGITS, true, "", "dynamic event"},
    {PIRQ_ICON_DYNAMIC_STATE_COUNTER, BOX, TALL, COUNTER, COUNTER_DIGITS, true, "", "dynamic state"},
    {PIRQ_ICON_CUSTOM_HDL, BOX, TALL, SPECIAL, CHIP, true, "HDL", "custom"},

    {PIRQ_ICON_SELECTION_SHORT, SELECTION, SHORT, SIGNAL, NO_GLYPH, false, "", ""},
    {PIRQ_ICON_SELECTION_DELAYED, SELECTION, DELAYED, SIGNAL, NO_GLYPH, false, "", ""},
    {PIRQ_ICON_SELECTION_TALL, SELECTION, TALL, SIGNAL, NO_GLYPH, false, "", ""},
    {PIRQ_ICON_FOCUS_SELECTION_SHORT, FOCUS_SELECTION, SHORT, SIGNAL, NO_GLYPH, false, "", ""},
    {PIRQ_ICON_FOCUS_SELECTION_DELAYED, FOCUS_SELECTION, DELAYED, SIGNAL, NO_GLYPH, false, "", ""},
    {PIRQ_ICON_FOCUS_SELECTION_TALL, FOCUS_SELECTION, TALL, SIGNAL, NO_GLYPH, false, "", ""},
    {PIRQ_ICON_EXPANDED, EXPANDER, 0, SIGNAL, MINUS, false, "", ""},
    {PIRQ_ICON_COLLAPSED, EXPANDER, 0, SIGNAL, PLUS, false, "", ""},
    {PIRQ_ICON_COLLAPSED_UNCONNECTABLE, EXPANDER, 0, SPECIAL, PLUS, false, "", ""},
};
// clang-format on

struct PALETTE {
    QColor top, bottom, border, ink;
};

PALETTE palette(FAMILY family)
{
    switch (family) {
    case SIGNAL: return {QColor(232, 241, 252), QColor(200, 218, 242), QColor(70, 100, 150), QColor(40, 70, 120)};
    case VALUE: return {QColor(253, 248, 226), QColor(240, 226, 176), QColor(150, 120, 40), QColor(110, 85, 20)};
    case COMPARE: return {QColor(234, 247, 234), QColor(198, 229, 198), QColor(60, 120, 60), QColor(30, 95, 30)};
    case GATE: return {QColor(254, 240, 228), QColor(244, 208, 180), QColor(160, 90, 40), QColor(120, 60, 20)};
    case SHIFT: return {QColor(242, 236, 252), QColor(214, 202, 240), QColor(100, 80, 150), QColor(75, 55, 125)};
    case COUNTER: return {QColor(230, 247, 247), QColor(192, 226, 226), QColor(40, 120, 120), QColor(20, 90, 90)};
    case SPECIAL: return {QColor(242, 242, 242), QColor(212, 212, 212), QColor(90, 90, 90), QColor(60, 60, 60)};
    case RESULT_OPEN: return {QColor(255, 236, 232), QColor(246, 204, 196), QColor(170, 60, 50), QColor(190, 40, 30)};
    case RESULT_WIRED: return {QColor(234, 248, 234), QColor(196, 232, 196), QColor(50, 130, 50), QColor(20, 130, 20)};
    }
    return {};
}

QFont font(int pixels, bool bold)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QPen ink_pen(const QColor& color, qreal width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// ---- glyphs of the tall boxes, in a 44 x 34 frame centred at `c` ----

void draw_gate_wires(QPainter& p, const ICON_ROW& row, QPointF c, qreal back, int inputs)
{
    const qreal width = row.bus ? 3 : 1.5;
    p.setPen(ink_pen(palette(row.family).ink, width));
    for (int i = 0; i < inputs; ++i) {
        const qreal y = inputs == 1 ? c.y() : c.y() - 9 + 18 * i;
        p.drawLine(QPointF(c.x() - 32, y), QPointF(c.x() - 22 + back, y));
    }
    p.drawLine(QPointF(c.x() + 22, c.y()), QPointF(c.x() + 32, c.y()));
    if (row.bus) {  // the width slash across the output
        p.setPen(ink_pen(palette(row.family).ink, 1.5));
        p.drawLine(QPointF(c.x() + 25, c.y() + 5), QPointF(c.x() + 29, c.y() - 5));
    }
}

void draw_gate(QPainter& p, const ICON_ROW& row, QPointF c)
{
    const PALETTE colours = palette(row.family);
    const qreal l = c.x() - 22, r = c.x() + 22, t = c.y() - 17, b = c.y() + 17;
    QPainterPath body;
    qreal back = 0;  // how far the curved back of an OR gate reaches in
    switch (row.glyph) {
    case AND_GATE:
        body.moveTo(l, t);
        body.lineTo(c.x(), t);
        body.arcTo(QRectF(c.x() - 22, t, 44, 34), 90, -180);
        body.lineTo(l, b);
        body.closeSubpath();
        break;
    case OR_GATE:
    case XOR_GATE:
        back = 8;
        body.moveTo(l, t);
        body.quadTo(QPointF(c.x() + 8, t), QPointF(r, c.y()));
        body.quadTo(QPointF(c.x() + 8, b), QPointF(l, b));
        body.quadTo(QPointF(l + 12, c.y()), QPointF(l, t));
        break;
    default:  // NOT_GATE: a triangle and its bubble
        body.moveTo(l, t);
        body.lineTo(r - 8, c.y());
        body.lineTo(l, b);
        body.closeSubpath();
        break;
    }
    draw_gate_wires(p, row, c, back, row.glyph == NOT_GATE || *row.sign ? 1 : 2);
    p.setPen(ink_pen(colours.ink, 2));
    p.setBrush(Qt::white);
    p.drawPath(body);
    if (row.glyph == XOR_GATE) {
        p.setBrush(Qt::NoBrush);
        QPainterPath extra;
        extra.moveTo(l - 6, t);
        extra.quadTo(QPointF(l + 6, c.y()), QPointF(l - 6, b));
        p.drawPath(extra);
    }
    if (row.glyph == NOT_GATE)
        p.drawEllipse(QPointF(r - 4, c.y()), 4, 4);
    if (*row.sign) {  // reduction: the bus fans into the gate
        p.setFont(font(11, true));
        p.drawText(QRectF(l, t, 30, 34), Qt::AlignCenter, QString::fromUtf8(row.sign));
    }
}

void draw_edge_wave(QPainter& p, const PALETTE& colours, QPointF c)
{
    p.setPen(ink_pen(colours.ink, 2));
    QPolygonF wave;
    wave << QPointF(c.x() - 30, c.y() + 12) << QPointF(c.x() - 8, c.y() + 12) << QPointF(c.x() - 8, c.y() - 12)
         << QPointF(c.x() + 30, c.y() - 12);
    p.drawPolyline(wave);
    QPolygonF arrow;
    arrow << QPointF(c.x() - 13, c.y() + 2) << QPointF(c.x() - 8, c.y() - 6) << QPointF(c.x() - 3, c.y() + 2);
    p.setBrush(colours.ink);
    p.drawPolygon(arrow);
}

void draw_routed(QPainter& p, const PALETTE& colours, QPointF c)
{
    p.setPen(ink_pen(colours.ink, 1.5));
    p.setBrush(colours.ink);
    for (int i = 0; i < 3; ++i) {
        const QPointF from(c.x() - 26, c.y() - 14 + 14 * i);
        p.drawEllipse(from, 3, 3);
        p.drawLine(from, QPointF(c.x() + 4, c.y()));
    }
    p.drawLine(QPointF(c.x() + 4, c.y()), QPointF(c.x() + 28, c.y()));
    p.drawEllipse(QPointF(c.x() + 4, c.y()), 3, 3);
}

void draw_chip(QPainter& p, const ICON_ROW& row, const PALETTE& colours, QPointF c)
{
    p.setPen(ink_pen(colours.ink, 1.5));
    for (int i = -1; i <= 1; ++i) {
        p.drawLine(QPointF(c.x() - 28, c.y() + 10 * i), QPointF(c.x() - 18, c.y() + 10 * i));
        p.drawLine(QPointF(c.x() + 18, c.y() + 10 * i), QPointF(c.x() + 28, c.y() + 10 * i));
    }
    p.setBrush(QColor(70, 70, 70));
    p.drawRoundedRect(QRectF(c.x() - 18, c.y() - 18, 36, 36), 3, 3);
    p.setPen(Qt::white);
    p.setFont(font(11, true));
    p.drawText(QRectF(c.x() - 18, c.y() - 18, 36, 36), Qt::AlignCenter, QString::fromUtf8(row.sign));
}

void draw_counter(QPainter& p, const ICON_ROW& row, const PALETTE& colours, QPointF c)
{
    p.setPen(ink_pen(colours.ink, 1.5));
    p.setBrush(QColor(30, 45, 45));
    const QRectF display(c.x() - 26, c.y() - 12, 52, 24);
    p.drawRoundedRect(display, 3, 3);
    p.setPen(row.bus ? QColor(255, 190, 80) : QColor(120, 240, 160));
    p.setFont(font(14, true));
    p.drawText(display, Qt::AlignCenter, QStringLiteral("0042"));
}

// ---- glyphs of the short boxes, in the margin right of the label ----

void draw_terminal(QPainter& p, const ICON_ROW& row, const PALETTE& colours, int height)
{
    const qreal y = height / 2.0;
    if (row.glyph == NODE_DOT || row.glyph == DELAY_NODE) {
        p.setPen(ink_pen(colours.ink, 1));
        p.setBrush(colours.ink);
        p.drawEllipse(QPointF(95, y), 2.5, 2.5);
        return;
    }
    p.setPen(ink_pen(colours.ink, 3));
    p.drawLine(QPointF(93, y), QPointF(98, y));
    p.setPen(ink_pen(colours.ink, 1));
    p.drawLine(QPointF(94, y + 4), QPointF(97, y - 4));
    if (*row.sign) {
        p.setFont(font(8, true));
        p.drawText(QRectF(84, 0, 9, height / 2.0), Qt::AlignCenter, QString::fromUtf8(row.sign));
    }
}

// A register with its clock notch below the label of a box with a data delay.
void draw_register(QPainter& p, const PALETTE& colours)
{
    const QRectF reg(78, 20, 14, 10);
    p.setPen(ink_pen(colours.ink, 1));
    p.setBrush(Qt::white);
    p.drawRect(reg);
    QPolygonF notch;
    notch << QPointF(reg.left() + 4, reg.bottom()) << QPointF(reg.center().x(), reg.bottom() - 4)
          << QPointF(reg.right() - 4, reg.bottom());
    p.drawPolyline(notch);
}

void draw_result_mark(QPainter& p, const ICON_ROW& row, const PALETTE& colours)
{
    const QPointF c(92, 10.5);
    if (row.glyph == TARGET) {
        p.setPen(ink_pen(colours.ink, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, 4.5, 4.5);
        p.drawPoint(c);
        return;
    }
    p.setPen(ink_pen(colours.ink, 2));
    QPolygonF check;
    check << QPointF(c.x() - 4, c.y()) << QPointF(c.x() - 1, c.y() + 3.5) << QPointF(c.x() + 5, c.y() - 4);
    p.drawPolyline(check);
}

void draw_inline_sign(QPainter& p, const ICON_ROW& row, const PALETTE& colours, const QRectF& body)
{
    p.setPen(colours.ink);
    p.setFont(font(13, true));
    const QString sign = QString::fromUtf8(row.sign);
    const QRectF left(body.left(), body.top(), body.width() / 2 - 10, body.height());
    p.drawText(left, Qt::AlignRight | Qt::AlignVCenter, sign);
    p.setFont(font(9, false));
    const QRectF right(body.center().x() - 6, body.top(), body.width() / 2, body.height());
    p.drawText(right, Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(row.caption));
}

// ---- whole icons ----

void draw_body(QPainter& p, const PALETTE& colours, int height)
{
    QLinearGradient fill(0, 0, 0, height);
    fill.setColorAt(0, colours.top);
    fill.setColorAt(1, colours.bottom);
    p.setPen(QPen(colours.border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, 100, height), 4, 4);
}

void draw_box(QPainter& p, const ICON_ROW& row)
{
    const PALETTE colours = palette(row.family);
    draw_body(p, colours, row.height);
    const QPointF centre(50, 60);  // below the label and the parameter line of a tall box
    switch (row.glyph) {
    case SIGN:
        p.setPen(colours.ink);
        p.setFont(font(QString::fromUtf8(row.sign).size() > 2 ? 20 : 34, true));
        p.drawText(QRectF(10, 32, 80, 52), Qt::AlignCenter, QString::fromUtf8(row.sign));
        break;
    case INLINE_SIGN: draw_inline_sign(p, row, colours, QRectF(0, 0, 100, row.height)); break;
    case NODE_DOT:
    case BUS_BAR: draw_terminal(p, row, colours, row.height); break;
    case DELAY_NODE:
    case DELAY_BUS:
        draw_terminal(p, row, colours, row.height);
        draw_register(p, colours);
        break;
    case AND_GATE:
    case OR_GATE:
    case XOR_GATE:
    case NOT_GATE: draw_gate(p, row, centre); break;
    case EDGE_WAVE: draw_edge_wave(p, colours, centre); break;
    case ROUTED: draw_routed(p, colours, centre); break;
    case CHIP: draw_chip(p, row, colours, centre); break;
    case COUNTER_DIGITS: draw_counter(p, row, colours, centre); break;
    case TARGET:
    case CHECK: draw_result_mark(p, row, colours); break;
    default: break;
    }
    if (row.height == TALL && *row.caption) {
        p.setPen(colours.ink);
        p.setFont(font(9, false));
        p.drawText(QRectF(2, 84, 97, 14), Qt::AlignCenter, QString::fromUtf8(row.caption));
    }
}

// A halo around the box: a soft band with a crisp edge, blue while the canvas has the focus.
void draw_selection(QPainter& p, const ICON_ROW& row, QSize size)
{
    const QColor edge = row.shape == FOCUS_SELECTION ? QColor(30, 110, 220) : QColor(140, 140, 140);
    QColor band = edge;
    band.setAlpha(90);
    p.setPen(QPen(band, 4));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(2, 2, size.width() - 4, size.height() - 4), 5, 5);
    p.setPen(QPen(edge, 1.5));
    p.drawRoundedRect(QRectF(1, 1, size.width() - 2, size.height() - 2), 6, 6);
}

void draw_expander(QPainter& p, const ICON_ROW& row)
{
    const QColor ink = row.family == SPECIAL ? QColor(200, 30, 30) : QColor(40, 40, 40);
    p.setPen(QPen(row.family == SPECIAL ? ink : QColor(110, 110, 110), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(0.5, 0.5, 9, 9));
    p.setPen(QPen(ink, 1.2));
    p.drawLine(QPointF(2.5, 5), QPointF(7.5, 5));
    if (row.glyph == PLUS)
        p.drawLine(QPointF(5, 2.5), QPointF(5, 7.5));
}

QSize natural_size(const ICON_ROW& row)
{
    switch (row.shape) {
    case BOX: return QSize(101, row.height + 1);
    case SELECTION:
    case FOCUS_SELECTION: return QSize(106, row.height + 6);
    case EXPANDER: return QSize(10, 10);
    }
    return QSize();
}

QPixmap render(const ICON_ROW& row)
{
    const QSize size = natural_size(row);
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (row.shape == BOX)
        draw_box(p, row);
    else if (row.shape == EXPANDER)
        draw_expander(p, row);
    else
        draw_selection(p, row, size);
    return pixmap;
}

struct ICON_CACHE {
    std::map<int, QPixmap> by_id;
    QHash<qint64, int> by_key;
};

ICON_CACHE& cache()
{
    static ICON_CACHE icons;
    return icons;
}

void clear_cache()
{
    cache().by_id.clear();
    cache().by_key.clear();
}

// The node list's signal-type icons: a 16-pixel badge with the type's letter on its colour; a
// node with children shows a second badge stacked behind the first.
struct TYPE_ICON {
    int with_children, leaf;
    QRgb face;
    char letter;
};

const TYPE_ICON TYPE_ICONS[] = {
    {271, 273, qRgb(52, 120, 210), 'I'}, {459, 461, qRgb(214, 110, 30), 'O'},  {16, 18, qRgb(140, 80, 190), 'B'},
    {322, 324, qRgb(30, 150, 150), 'M'}, {514, 516, qRgb(40, 140, 60), 'R'},   {40, 42, qRgb(190, 150, 20), 'C'},
    {315, 317, qRgb(200, 50, 90), 'S'},  {705, 720, qRgb(120, 120, 120), 'N'},
};

const TYPE_ICON* find_type_icon(int id, bool* with_children)
{
    for (const TYPE_ICON& icon : TYPE_ICONS) {
        if (icon.with_children == id || icon.leaf == id) {
            *with_children = icon.with_children == id;
            return &icon;
        }
    }
    return nullptr;
}

QPixmap render_type_icon(const TYPE_ICON& icon, bool with_children)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QColor face(icon.face);
    const QRectF badge = with_children ? QRectF(0.5, 2.5, 12, 13) : QRectF(1.5, 1.5, 13, 13);
    if (with_children) {
        p.setPen(QPen(face.darker(150), 1));
        p.setBrush(face.lighter(150));
        p.drawRoundedRect(QRectF(3.5, 0.5, 12, 12), 2, 2);
    }
    p.setPen(QPen(face.darker(150), 1));
    p.setBrush(face);
    p.drawRoundedRect(badge, 2, 2);
    p.setPen(Qt::white);
    p.setFont(font(9, true));
    p.drawText(badge, Qt::AlignCenter, QString(QLatin1Char(icon.letter)));
    return pixmap;
}

// The settings panes' glyphs: dark strokes on a 16-pixel square, each a list of polylines.
struct GLYPH_ICON {
    int id;
    std::vector<std::vector<QPointF>> strokes;
};

const std::vector<GLYPH_ICON>& glyph_icons()
{
    constexpr qreal H = 3.5, L = 12.5, M = 8;
    static const std::vector<GLYPH_ICON> icons = {
        {36, {{{4, 4}, {12, 12}}, {{12, 4}, {4, 12}}}},
        {274,
         {{{3.5, 3.5}, {12.5, 3.5}, {12.5, 12.5}, {3.5, 12.5}, {3.5, 3.5}},
          {{6, 1}, {6, 3.5}},
          {{10, 1}, {10, 3.5}},
          {{6, 12.5}, {6, 15}},
          {{10, 12.5}, {10, 15}}}},
        {275,
         {{{3.5, 3.5}, {12.5, 3.5}, {12.5, 12.5}, {3.5, 12.5}, {3.5, 3.5}},
          {{6, 6}, {10, 6}, {10, 10}, {6, 10}, {6, 6}},
          {{6, 1}, {6, 3.5}},
          {{10, 1}, {10, 3.5}},
          {{6, 12.5}, {6, 15}},
          {{10, 12.5}, {10, 15}}}},
        // Node list toolbar: previous and next transition, the lock-mode states.
        {6, {{{3, 2}, {3, 14}}, {{14, 8}, {5, 8}}, {{8, 5}, {5, 8}, {8, 11}}}},
        {7, {{{13, 2}, {13, 14}}, {{2, 8}, {11, 8}}, {{8, 5}, {11, 8}, {8, 11}}}},
        {311, {{{3, 8}, {13, 8}, {13, 15}, {3, 15}, {3, 8}}, {{5, 8}, {5, 4}, {6.5, 2}, {9.5, 2}, {11, 4}, {11, 8}}}},
        {312, {{{3, 8}, {13, 8}, {13, 15}, {3, 15}, {3, 8}}, {{11, 8}, {11, 4}, {12.5, 2}, {14, 2}, {15, 3}}}},
        // Instance manager: run, autorun, stop, read data; JTAG pane: attach a programming file.
        {536, {{{4, 2}, {13, 8}, {4, 14}, {4, 2}}}},
        {10,
         {{{12, 5}, {10, 3}, {6, 3}, {3, 6}, {3, 10}, {6, 13}, {10, 13}, {13, 10}}, {{12, 1.5}, {12, 5}, {8.5, 5}}}},
        {633, {{{3, 3}, {13, 3}, {13, 13}, {3, 13}, {3, 3}}}},
        {508, {{{8, 2}, {8, 10}}, {{5, 7}, {8, 10}, {11, 7}}, {{2, 10}, {2, 14}, {14, 14}, {14, 10}}}},
        {100, {{{10, 5}, {10, 12}, {8, 14}, {6, 12}, {6, 3}, {7.5, 1.5}, {9, 3}, {9, 11}}}},
        // Hierarchy and palette folders; data log tree: save, instance, signal sets, triggers, logs
        // (the active one of each carries a check mark).
        {258, {{{1, 4}, {6, 4}, {7, 6}, {15, 6}, {15, 14}, {1, 14}, {1, 4}}}},
        {550,
         {{{2, 2}, {12, 2}, {14, 4}, {14, 14}, {2, 14}, {2, 2}},
          {{5, 2}, {5, 6}, {11, 6}, {11, 2}},
          {{5, 14}, {5, 10}, {11, 10}, {11, 14}}}},
        {55,
         {{{3.5, 3.5}, {12.5, 3.5}, {12.5, 12.5}, {3.5, 12.5}, {3.5, 3.5}},
          {{6, 1}, {6, 3.5}},
          {{10, 1}, {10, 3.5}},
          {{6, 12.5}, {6, 15}},
          {{10, 12.5}, {10, 15}}}},
        {60, {{{2, 4}, {14, 4}}, {{2, 8}, {14, 8}}, {{2, 12}, {14, 12}}}},
        {61, {{{1, 3}, {9, 3}}, {{1, 6.5}, {9, 6.5}}, {{1, 10}, {6, 10}}, {{8, 12}, {10.5, 14.5}, {15, 8}}}},
        {62, {{{3, 3}, {13, 3}}, {{8, 3}, {8, 14}}}},
        {63, {{{1, 2}, {9, 2}}, {{5, 2}, {5, 13}}, {{8, 12}, {10.5, 14.5}, {15, 8}}}},
        {56,
         {{{3, 1}, {10, 1}, {13, 4}, {13, 15}, {3, 15}, {3, 1}},
          {{5, 6}, {11, 6}},
          {{5, 9}, {11, 9}},
          {{5, 12}, {11, 12}}}},
        {57,
         {{{2, 1}, {8, 1}, {10, 3}, {10, 10}},
          {{2, 1}, {2, 14}, {6, 14}},
          {{4, 5}, {8, 5}},
          {{4, 8}, {8, 8}},
          {{8, 12}, {10.5, 14.5}, {15, 8}}}},
        {637, {{{2, 4}, {7, 4}, {10, 8}, {7, 12}, {2, 12}, {2, 4}}, {{10, 8}, {14, 8}}}},
        {639, {{{1, L}, {4, L}, {4, H}, {9, H}, {9, L}, {12, L}, {12, H}, {15, H}}}},
        {641, {{{4, 2}, {4, 14}}, {{12, 2}, {12, 14}}, {{2, 6}, {6, 6}}, {{10, 10}, {14, 10}}}},
        {642,
         {{{2, 3}, {7, 3}, {7, 7}, {2, 7}, {2, 3}},
          {{9, 9}, {14, 9}, {14, 13}, {9, 13}, {9, 9}},
          {{7, 5}, {11.5, 5}, {11.5, 9}}}},
        {691, {{{1, H}, {15, H}}, {{1, L}, {15, L}}}},
        {692, {{{1, L}, {5, L}, {5, H}, {11, H}, {11, L}, {15, L}}}},
        {693, {{{1, H}, {M, H}, {M, L}, {15, L}}}},
        {694, {{{1, H}, {15, H}}}},
        {695, {{{1, L}, {15, L}}}},
        {696, {{{1, L}, {M, L}, {M, H}, {15, H}}}},
        {697, {{{1, L}, {5, L}, {5, H}, {11, H}, {11, L}, {15, L}}, {{M, 1}, {M, 2}}}},
        {698, {{{1, H}, {5, H}, {5, L}, {11, L}, {11, H}, {15, H}}, {{M, 14}, {M, 15}}}},
        {699, {{{1, M}, {15, M}}, {{M, 2}, {M, 14}}}},
        {700, {{{1, M}, {15, M}}, {{4, 2}, {4, 14}}, {{12, 2}, {12, 14}}}},
        {701, {{{1, M}, {15, M}}, {{12, 2}, {12, 14}}}},
        {702, {{{1, M}, {15, M}}, {{4, 2}, {4, 14}}}},
    };
    return icons;
}

const GLYPH_ICON* find_glyph_icon(int id)
{
    for (const GLYPH_ICON& icon : glyph_icons())
        if (icon.id == id)
            return &icon;
    return nullptr;
}

QPixmap render_glyph_icon(const GLYPH_ICON& icon)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 70, 120), 1.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    for (const auto& stroke : icon.strokes)
        p.drawPolyline(stroke.data(), static_cast<int>(stroke.size()));
    return pixmap;
}

const ICON_ROW* find_row(int id)
{
    for (const ICON_ROW& row : ICON_ROWS)
        if (row.id == id)
            return &row;
    return nullptr;
}

}  // namespace

QPixmap pirq_get_icon(PIRQ_ICON_ENUM id)
{
    ICON_CACHE& icons = cache();
    auto found = icons.by_id.find(id);
    if (found != icons.by_id.end())
        return found->second;
    const ICON_ROW* row = find_row(id);
    bool with_children = false;
    const TYPE_ICON* type_icon = row ? nullptr : find_type_icon(id, &with_children);
    const GLYPH_ICON* glyph = row || type_icon ? nullptr : find_glyph_icon(id);
    if (!row && !type_icon && !glyph)
        return pirq_get_icon(PIRQ_ICON_UNKNOWN);
    // The pixmaps go with the application object, which they must not outlive.
    if (icons.by_id.empty())
        qAddPostRoutine(clear_cache);
    const QPixmap pixmap = row         ? render(*row)
                           : type_icon ? render_type_icon(*type_icon, with_children)
                                       : render_glyph_icon(*glyph);
    found = icons.by_id.emplace(id, pixmap).first;
    icons.by_key.insert(found->second.cacheKey(), id);
    return found->second;
}

int pirq_find_icon(const QPixmap& pixmap) { return cache().by_key.value(pixmap.cacheKey(), -1); }
