// The icons of the suite's actions, drawn with QPainter at first use: each action combines one
// main glyph (a folder, a disk, a magnifier, a gear, ...) with an optional badge, a second glyph
// drawn small in the lower right corner (a plus, a cross, a play arrow, ...). Glyphs are drawn in
// a 24 x 24 design square and rendered at every size toolbars and menus ask for.
#include "pirq.h"

#include <QCoreApplication>
#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <map>

namespace {

enum GLYPH {
    NONE,
    DOCUMENT,
    FOLDER,
    DISK,
    PRINTER,
    UNDO,
    REDO,
    SCISSORS,
    PAGES,
    CLIPBOARD,
    CROSS,
    MAGNIFIER,
    SELECTION,
    LIST,
    TABLE,
    PLAY,
    STOP,
    GEAR,
    CYCLE,
    CENTER,
    WINDOW_IN,
    WINDOW_OUT,
    WINDOW,
    CASCADE,
    TILE,
    ROUND,  // a blue disc with a letter (help, tips)
    TREE,
    COMPASS,
    BUBBLE,
    CHIP,
    DOWNLOAD,
    FIT,
    NODE,
    BUS,
    WAVE,
    EDGE,
    TRIGGER,
    POWER,
    STATES,
    FUNNEL,
    LABEL,
    GROUP,
    PADLOCK,
    OPEN_PADLOCK,
    LOG,
    EXPORT,
    BARS,
    LINES,
    SLIDERS,
    TOOLBAR,
    PLUG,
    DOOR,
    STAR,
    TAG,  // a short text in a frame
    PLUS,
    MINUS,
    CHECK,
    ARROW_RIGHT,
    ARROW_LEFT,
    PENCIL,
    TEXT,  // a short text alone
};

struct RECIPE {
    GLYPH main;
    GLYPH badge;
    const char* text;  // of a ROUND, TAG or TEXT glyph
};

const QColor INK(60, 64, 72);
const QColor BLUE(40, 110, 200);
const QColor GREEN(40, 150, 60);
const QColor RED(200, 50, 40);
const QColor AMBER(220, 160, 40);
const QColor PAPER(252, 252, 250);

QPolygonF poly(std::initializer_list<QPointF> points) { return QPolygonF(QVector<QPointF>(points)); }

QPen pen(const QColor& color, qreal width = 1.5)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void shape(QPainter& p, const QColor& line, const QBrush& fill, qreal width = 1.5)
{
    p.setPen(pen(line, width));
    p.setBrush(fill);
}

void text(QPainter& p, const QRectF& box, const char* value, const QColor& color, bool fit_wide = true)
{
    const QString s = QString::fromUtf8(value);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(s.size() > 2 && fit_wide ? 8 : s.size() > 1 ? 10 : 14);
    p.setFont(font);
    p.setPen(color);
    p.drawText(box, Qt::AlignCenter, s);
}

void arrow_head(QPainter& p, QPointF tip, qreal dx, qreal dy, const QColor& color)
{
    // A filled head pointing along (dx, dy), a unit direction.
    const QPointF back(tip.x() - 5 * dx, tip.y() - 5 * dy), side(-4 * dy, 4 * dx);
    shape(p, color, color, 1);
    p.drawPolygon(poly({tip, back + side, back - side}));
}

void page(QPainter& p, const QRectF& r)
{
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 5, r.top());
    path.lineTo(r.right(), r.top() + 5);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    shape(p, INK, PAPER);
    p.drawPath(path);
}

void lines(QPainter& p, qreal left, qreal right, qreal top, int count, const QColor& color)
{
    p.setPen(pen(color, 1.5));
    for (int i = 0; i < count; ++i)
        p.drawLine(QPointF(left, top + 4 * i), QPointF(right - (i % 2) * 3, top + 4 * i));
}

void magnifier(QPainter& p)
{
    shape(p, INK, QColor(215, 232, 250), 2);
    p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
    p.setPen(pen(INK, 3.5));
    p.drawLine(QPointF(15, 15), QPointF(21, 21));
}

void gear(QPainter& p)
{
    QPainterPath teeth;
    for (int i = 0; i < 8; ++i) {
        QTransform turn;
        turn.translate(12, 12).rotate(45 * i);
        teeth.addPolygon(turn.map(QPolygonF(QRectF(-2.5, -11, 5, 6))));
    }
    QPainterPath body;
    body.addEllipse(QPointF(12, 12), 7.5, 7.5);
    QPainterPath hole;
    hole.addEllipse(QPointF(12, 12), 3, 3);
    shape(p, QColor(70, 80, 110), QColor(140, 155, 190), 1);
    p.drawPath(teeth.united(body).subtracted(hole).simplified());
}

// A curved arrow over the top of a circle, turning left (undo) or right (redo).
void curved_arrow(QPainter& p, bool right)
{
    QPainterPath path;
    const qreal from = right ? 4 : 20, to = right ? 18 : 6;
    path.moveTo(from, 18);
    path.cubicTo(QPointF(from, 6), QPointF(to, 4), QPointF(to, 12));
    p.setPen(pen(BLUE, 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    arrow_head(p, QPointF(to, 17), 0, 1, BLUE);
}

void cycle(QPainter& p)
{
    p.setPen(pen(GREEN, 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4, 4, 16, 16), 90 * 16, 270 * 16);
    arrow_head(p, QPointF(12, 4), 1, 0, GREEN);
}

void window(QPainter& p, const QRectF& r, const QColor& title)
{
    shape(p, INK, PAPER, 1.2);
    p.drawRect(r);
    shape(p, title, title, 1);
    p.drawRect(QRectF(r.left(), r.top(), r.width(), 3.5));
}

void straight_arrow(QPainter& p, QPointF from, QPointF to, const QColor& color)
{
    const QPointF d = to - from;
    const qreal length = std::hypot(d.x(), d.y());
    p.setPen(pen(color, 2.5));
    p.drawLine(from, to - d * (4 / length));
    arrow_head(p, to, d.x() / length, d.y() / length, color);
}

void padlock(QPainter& p, bool open)
{
    p.setPen(pen(INK, 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(open ? 3 : 7, 3, 10, 12), 0, 180 * 16);
    if (!open)
        p.drawLine(QPointF(17, 9), QPointF(17, 11));
    p.drawLine(QPointF(open ? 3 : 7, 9), QPointF(open ? 3 : 7, 11));
    shape(p, QColor(150, 110, 20), AMBER, 1.2);
    p.drawRoundedRect(QRectF(4, 11, 16, 11), 2, 2);
}

void waveform(QPainter& p, const QColor& color)
{
    p.setPen(pen(color, 2));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(poly({{2, 17}, {7, 17}, {7, 7}, {12, 7}, {12, 17}, {17, 17}, {17, 7}, {22, 7}}));
}

void draw_documents(QPainter& p, GLYPH glyph)
{
    switch (glyph) {
    case DOCUMENT: page(p, QRectF(5, 2, 14, 20)); break;
    case PAGES:
        page(p, QRectF(3, 2, 12, 15));
        page(p, QRectF(9, 7, 12, 15));
        break;
    case LIST:
        page(p, QRectF(4, 2, 16, 20));
        lines(p, 7, 17, 8, 4, INK);
        break;
    case EXPORT:
        page(p, QRectF(2, 2, 14, 20));
        straight_arrow(p, QPointF(8, 13), QPointF(23, 13), GREEN);
        break;
    case CLIPBOARD:
        shape(p, QColor(120, 80, 40), QColor(200, 150, 90));
        p.drawRoundedRect(QRectF(3, 4, 16, 18), 2, 2);
        page(p, QRectF(9, 9, 12, 13));
        shape(p, INK, QColor(180, 180, 180), 1);
        p.drawRect(QRectF(7, 2, 8, 4));
        break;
    case TABLE:
        shape(p, INK, PAPER, 1.2);
        p.drawRect(QRectF(2.5, 4.5, 19, 15));
        p.drawLine(QPointF(9, 4.5), QPointF(9, 19.5));
        for (qreal y : {9.5, 14.5})
            p.drawLine(QPointF(2.5, y), QPointF(21.5, y));
        break;
    default: break;
    }
}

void draw_files(QPainter& p, GLYPH glyph)
{
    switch (glyph) {
    case FOLDER:
        shape(p, QColor(160, 110, 20), QColor(240, 195, 80));
        p.drawPolygon(poly({{2, 5}, {9, 5}, {11, 7}, {21, 7}, {21, 20}, {2, 20}}));
        shape(p, QColor(160, 110, 20), QColor(252, 220, 120));
        p.drawPolygon(poly({{2, 20}, {5, 11}, {23, 11}, {21, 20}}));
        break;
    case DISK:
        shape(p, QColor(30, 60, 120), QColor(70, 120, 200));
        p.drawRoundedRect(QRectF(3, 3, 18, 18), 2, 2);
        shape(p, INK, PAPER, 1);
        p.drawRect(QRectF(7, 3.5, 10, 6));
        shape(p, QColor(30, 60, 120), QColor(40, 70, 130), 1);
        p.drawRect(QRectF(6, 13, 12, 8));
        break;
    case PRINTER:
        page(p, QRectF(7, 2, 10, 8));
        shape(p, INK, QColor(170, 175, 185));
        p.drawRoundedRect(QRectF(2, 9, 20, 9), 2, 2);
        page(p, QRectF(6, 14, 12, 8));
        break;
    case LOG:
        shape(p, QColor(40, 90, 90), QColor(110, 190, 190));
        p.drawRect(QRectF(4, 6, 16, 13));
        p.drawEllipse(QRectF(4, 16, 16, 6));
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(4.8, 6, 14.4, 13));
        shape(p, QColor(40, 90, 90), QColor(170, 225, 225));
        p.drawEllipse(QRectF(4, 3, 16, 6));
        break;
    default: draw_documents(p, glyph); break;
    }
}

void draw_edit(QPainter& p, GLYPH glyph)
{
    switch (glyph) {
    case UNDO: curved_arrow(p, false); break;
    case REDO: curved_arrow(p, true); break;
    case SCISSORS:
        p.setPen(pen(INK, 1.8));
        p.drawLine(QPointF(8, 2), QPointF(15, 15));
        p.drawLine(QPointF(16, 2), QPointF(9, 15));
        shape(p, RED, Qt::NoBrush, 2);
        p.drawEllipse(QPointF(7, 18), 3.5, 3.5);
        p.drawEllipse(QPointF(17, 18), 3.5, 3.5);
        break;
    case CROSS:
        p.setPen(pen(RED, 4));
        p.drawLine(QPointF(5, 5), QPointF(19, 19));
        p.drawLine(QPointF(19, 5), QPointF(5, 19));
        break;
    case SELECTION: {
        QPen dashes = pen(BLUE, 1.5);
        dashes.setDashPattern({2, 2});
        p.setPen(dashes);
        p.setBrush(QColor(40, 110, 200, 50));
        p.drawRect(QRectF(3.5, 3.5, 17, 17));
        break;
    }
    case PENCIL: {
        QTransform turn;
        turn.translate(12, 12).rotate(45);
        shape(p, QColor(150, 100, 20), AMBER, 1.2);
        p.drawPolygon(turn.map(poly({{-3, -10}, {3, -10}, {3, 6}, {0, 10}, {-3, 6}})));
        break;
    }
    case MAGNIFIER: magnifier(p); break;
    case FIT:
        for (const auto& [from, to] : {std::pair<QPointF, QPointF>{{9, 9}, {3, 3}},
                                       {{15, 9}, {21, 3}},
                                       {{9, 15}, {3, 21}},
                                       {{15, 15}, {21, 21}}})
            straight_arrow(p, from, to, INK);
        break;
    default: break;
    }
}

void draw_run(QPainter& p, GLYPH glyph)
{
    switch (glyph) {
    case PLAY:
        shape(p, QColor(20, 110, 40), GREEN);
        p.drawPolygon(poly({{6, 3}, {21, 12}, {6, 21}}));
        break;
    case STOP:
        shape(p, QColor(140, 30, 20), RED);
        p.drawRoundedRect(QRectF(4, 4, 16, 16), 2, 2);
        break;
    case GEAR: gear(p); break;
    case CYCLE: cycle(p); break;
    case DOWNLOAD:
        straight_arrow(p, QPointF(12, 2), QPointF(12, 16), BLUE);
        p.setPen(pen(INK, 2));
        p.drawPolyline(poly({{3, 15}, {3, 21}, {21, 21}, {21, 15}}));
        break;
    case CENTER:
        waveform(p, GREEN);
        p.setPen(pen(RED, 2));
        p.drawLine(QPointF(12, 1), QPointF(12, 23));
        arrow_head(p, QPointF(12, 4), 0, -1, RED);
        break;
    default: break;
    }
}

void draw_windows(QPainter& p, GLYPH glyph)
{
    switch (glyph) {
    case WINDOW_IN:
        window(p, QRectF(1.5, 1.5, 21, 21), INK);
        straight_arrow(p, QPointF(21, 3), QPointF(9, 15), BLUE);
        break;
    case WINDOW_OUT:
        window(p, QRectF(1.5, 7.5, 15, 15), INK);
        straight_arrow(p, QPointF(9, 15), QPointF(22, 2), BLUE);
        break;
    case WINDOW: window(p, QRectF(2.5, 3.5, 19, 17), BLUE); break;
    case CASCADE:
        window(p, QRectF(2.5, 2.5, 13, 11), BLUE);
        window(p, QRectF(8.5, 9.5, 13, 11), BLUE);
        break;
    case TILE:
        window(p, QRectF(2.5, 3.5, 9, 17), BLUE);
        window(p, QRectF(12.5, 3.5, 9, 17), BLUE);
        break;
    case TOOLBAR:
        shape(p, INK, QColor(225, 228, 235), 1.2);
        p.drawRect(QRectF(1.5, 7.5, 21, 9));
        shape(p, BLUE, BLUE, 1);
        for (qreal x : {4.0, 10.0, 16.0})
            p.drawRect(QRectF(x, 10, 4, 4));
        break;
    case BUBBLE:
        shape(p, INK, PAPER);
        p.drawPath([] {
            QPainterPath path;
            path.addRoundedRect(QRectF(2, 3, 20, 14), 4, 4);
            path.addPolygon(poly({{6, 16}, {6, 22}, {12, 16}}));
            return path.simplified();
        }());
        lines(p, 6, 18, 8, 2, INK);
        break;
    case SLIDERS:
        p.setPen(pen(INK, 1.5));
        for (int i = 0; i < 3; ++i)
            p.drawLine(QPointF(3, 5 + 7 * i), QPointF(21, 5 + 7 * i));
        shape(p, INK, BLUE, 1);
        for (int i = 0; i < 3; ++i)
            p.drawRect(QRectF(i == 1 ? 13 : i == 0 ? 6 : 9, 2.5 + 7 * i, 4, 5));
        break;
    default: break;
    }
}

void draw_design(QPainter& p, GLYPH glyph)
{
    switch (glyph) {
    case TREE:
        p.setPen(pen(INK, 1.5));
        p.drawPolyline(poly({{5, 6}, {5, 18}, {12, 18}}));
        p.drawLine(QPointF(5, 12), QPointF(12, 12));
        shape(p, INK, BLUE, 1);
        for (QPointF at : {QPointF(3, 2), QPointF(12, 9), QPointF(12, 15)})
            p.drawRect(QRectF(at, QSizeF(7, 6)));
        break;
    case COMPASS:
        shape(p, INK, PAPER);
        p.drawEllipse(QPointF(12, 12), 10, 10);
        shape(p, RED, RED, 1);
        p.drawPolygon(poly({{12, 3}, {15, 12}, {9, 12}}));
        shape(p, INK, INK, 1);
        p.drawPolygon(poly({{12, 21}, {15, 12}, {9, 12}}));
        break;
    case CHIP:
        p.setPen(pen(INK, 1.5));
        for (int i = 0; i < 3; ++i) {
            p.drawLine(QPointF(7 + 5 * i, 1), QPointF(7 + 5 * i, 23));
            p.drawLine(QPointF(1, 7 + 5 * i), QPointF(23, 7 + 5 * i));
        }
        shape(p, QColor(30, 30, 30), QColor(70, 72, 78), 1);
        p.drawRoundedRect(QRectF(4, 4, 16, 16), 2, 2);
        break;
    case NODE:
        p.setPen(pen(INK, 2));
        p.drawLine(QPointF(2, 12), QPointF(15, 12));
        shape(p, INK, BLUE, 1.5);
        p.drawEllipse(QPointF(17, 12), 4.5, 4.5);
        break;
    case BUS:
        shape(p, INK, QColor(215, 232, 250));
        p.drawPolygon(poly({{1, 12}, {5, 6}, {19, 6}, {23, 12}, {19, 18}, {5, 18}}));
        break;
    case WAVE: waveform(p, BLUE); break;
    case EDGE:
        p.setPen(pen(INK, 2));
        p.drawPolyline(poly({{2, 19}, {12, 19}, {12, 5}, {22, 5}}));
        arrow_head(p, QPointF(12, 8), 0, -1, RED);
        break;
    case TRIGGER:
        waveform(p, INK);
        shape(p, RED, RED, 1);
        p.drawPolygon(poly({{7, 2}, {11, 2}, {9, 6}}));
        break;
    case STATES:
        shape(p, INK, QColor(215, 232, 250));
        p.drawEllipse(QPointF(6, 12), 4.5, 4.5);
        p.drawEllipse(QPointF(18, 12), 4.5, 4.5);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(6, 4, 12, 8), 20 * 16, 140 * 16);
        arrow_head(p, QPointF(16, 7), 1, 0.6, INK);
        break;
    default: break;
    }
}

void draw_misc(QPainter& p, GLYPH glyph, const char* label)
{
    switch (glyph) {
    case POWER:
        p.setPen(pen(GREEN, 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(4, 5, 16, 16), 120 * 16, 300 * 16);
        p.drawLine(QPointF(12, 2), QPointF(12, 12));
        break;
    case FUNNEL:
        shape(p, INK, QColor(215, 232, 250));
        p.drawPolygon(poly({{2, 3}, {22, 3}, {14, 13}, {14, 21}, {10, 19}, {10, 13}}));
        break;
    case LABEL:
        shape(p, QColor(150, 100, 20), QColor(250, 225, 150));
        p.drawPolygon(poly({{2, 12}, {8, 5}, {22, 5}, {22, 19}, {8, 19}}));
        shape(p, QColor(150, 100, 20), PAPER, 1);
        p.drawEllipse(QPointF(8, 12), 1.8, 1.8);
        break;
    case GROUP:
        p.setPen(pen(INK, 1.5));
        for (int i = 0; i < 3; ++i)
            p.drawLine(QPointF(2, 6 + 6 * i), QPointF(12, 6 + 6 * i));
        p.setPen(pen(BLUE, 2));
        p.drawPolyline(poly({{12, 4}, {15, 4}, {15, 20}, {12, 20}}));
        p.drawLine(QPointF(15, 12), QPointF(22, 12));
        break;
    case PADLOCK: padlock(p, false); break;
    case OPEN_PADLOCK: padlock(p, true); break;
    case BARS:
        shape(p, BLUE, QColor(120, 170, 230), 1);
        for (int i = 0; i < 4; ++i) {
            static constexpr qreal heights[] = {8, 14, 5, 18};
            const qreal height = heights[i];
            p.drawRect(QRectF(3 + 5 * i, 21 - height, 3.5, height));
        }
        break;
    case LINES:
        p.setPen(pen(INK, 1));
        p.drawPolyline(poly({{2, 2}, {2, 22}, {22, 22}}));
        p.setPen(pen(BLUE, 2));
        p.drawPolyline(poly({{3, 17}, {8, 10}, {13, 14}, {21, 4}}));
        break;
    case PLUG:
        p.setPen(pen(INK, 2));
        p.drawLine(QPointF(9, 2), QPointF(9, 8));
        p.drawLine(QPointF(15, 2), QPointF(15, 8));
        p.drawLine(QPointF(12, 18), QPointF(12, 23));
        shape(p, INK, QColor(170, 175, 185));
        p.drawPath([] {
            QPainterPath path;
            path.moveTo(5, 8);
            path.lineTo(19, 8);
            path.lineTo(19, 12);
            path.cubicTo(QPointF(19, 16), QPointF(16, 18), QPointF(12, 18));
            path.cubicTo(QPointF(8, 18), QPointF(5, 16), QPointF(5, 12));
            path.closeSubpath();
            return path;
        }());
        break;
    case DOOR:
        shape(p, QColor(110, 70, 30), QColor(190, 140, 90));
        p.drawRect(QRectF(3, 2, 11, 20));
        straight_arrow(p, QPointF(10, 12), QPointF(23, 12), RED);
        break;
    case STAR: {
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const qreal r = i % 2 ? 4.5 : 10.5, a = M_PI * (i / 5.0 - 0.5);
            star << QPointF(12 + r * std::cos(a), 12.5 + r * std::sin(a));
        }
        shape(p, QColor(170, 120, 10), AMBER, 1.2);
        p.drawPolygon(star);
        break;
    }
    case ROUND:
        shape(p, QColor(20, 70, 150), BLUE, 1);
        p.drawEllipse(QPointF(12, 12), 10.5, 10.5);
        text(p, QRectF(2, 1, 20, 22), label, Qt::white);
        break;
    case TAG:
        shape(p, INK, PAPER, 1.2);
        p.drawRoundedRect(QRectF(1.5, 4.5, 21, 15), 3, 3);
        text(p, QRectF(1.5, 4.5, 21, 15), label, INK);
        break;
    case TEXT:
        shape(p, INK, QColor(255, 255, 255, 230), 1);
        p.drawEllipse(QPointF(12, 12), 11, 11);
        text(p, QRectF(0, 0, 24, 24), label, BLUE, false);
        break;
    default: break;
    }
}

void draw_marks(QPainter& p, GLYPH glyph)
{
    switch (glyph) {
    case PLUS:
    case MINUS:
        shape(p, QColor(20, 110, 40), GREEN, 1);
        if (glyph == MINUS)
            shape(p, QColor(140, 30, 20), RED, 1);
        p.drawEllipse(QPointF(12, 12), 11, 11);
        p.setPen(pen(Qt::white, 4));
        p.drawLine(QPointF(6, 12), QPointF(18, 12));
        if (glyph == PLUS)
            p.drawLine(QPointF(12, 6), QPointF(12, 18));
        break;
    case CHECK:
        p.setPen(pen(Qt::white, 7));
        p.drawPolyline(poly({{4, 12}, {10, 18}, {20, 5}}));
        p.setPen(pen(GREEN, 4));
        p.drawPolyline(poly({{4, 12}, {10, 18}, {20, 5}}));
        break;
    case ARROW_RIGHT:
    case ARROW_LEFT: {
        const bool right = glyph == ARROW_RIGHT;
        shape(p, QColor(20, 70, 150), BLUE, 1);
        p.drawEllipse(QPointF(12, 12), 11, 11);
        straight_arrow(p, QPointF(right ? 5 : 19, 12), QPointF(right ? 20 : 4, 12), Qt::white);
        break;
    }
    default: break;
    }
}

void draw_glyph(QPainter& p, GLYPH glyph, const char* label)
{
    if (glyph >= PLUS && glyph != PENCIL && glyph != TEXT)
        return draw_marks(p, glyph);
    draw_files(p, glyph);
    draw_edit(p, glyph);
    draw_run(p, glyph);
    draw_windows(p, glyph);
    draw_design(p, glyph);
    draw_misc(p, glyph, label);
}

QPixmap render(const RECIPE& recipe, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 24.0, size / 24.0);
    draw_glyph(p, recipe.main, recipe.text);
    if (recipe.badge != NONE) {
        // The badge sits in the lower right quarter, cut out of the main glyph by a clear rim.
        p.translate(12, 12);
        p.scale(0.5, 0.5);
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawEllipse(QPointF(12, 12), 14, 14);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        draw_glyph(p, recipe.badge, recipe.text);
    }
    return pixmap;
}

// clang-format off
const std::map<PIRQ_ACTION_ENUM, RECIPE>& id_recipes()
{
    static const std::map<PIRQ_ACTION_ENUM, RECIPE> recipes = {
        {PIRQ_ACTION_AUTORUN, {PLAY, CYCLE, ""}},
        {PIRQ_ACTION_READ_DATA, {DOWNLOAD, NONE, ""}},
        {PIRQ_ACTION_RUN, {PLAY, NONE, ""}},
        {PIRQ_ACTION_STOP, {STOP, NONE, ""}},
        {PIRQ_ACTION_COPY, {PAGES, NONE, ""}},
        {PIRQ_ACTION_CUT, {SCISSORS, NONE, ""}},
        {PIRQ_ACTION_LOGGING, {LOG, CHECK, ""}},
        {PIRQ_ACTION_SAVE_TO_LOG, {LOG, PLUS, ""}},
        {PIRQ_ACTION_DELETE, {CROSS, NONE, ""}},
        {PIRQ_ACTION_EXPORT, {EXPORT, NONE, ""}},
        {PIRQ_ACTION_FIND, {MAGNIFIER, NONE, ""}},
        {PIRQ_ACTION_FIND_NEXT, {MAGNIFIER, ARROW_RIGHT, ""}},
        {PIRQ_ACTION_DUPLICATE, {PAGES, PLUS, ""}},
        {PIRQ_ACTION_ADD_INSTANCE, {CHIP, PLUS, ""}},
        {PIRQ_ACTION_DELETE_INSTANCE, {CHIP, MINUS, ""}},
        {PIRQ_ACTION_DISABLE_POWER_UP_TRIGGER, {POWER, MINUS, ""}},
        {PIRQ_ACTION_DUPLICATE_TRIGGER, {TRIGGER, PLUS, ""}},
        {PIRQ_ACTION_ENABLE_POWER_UP_TRIGGER, {POWER, CHECK, ""}},
        {PIRQ_ACTION_RENAME_INSTANCE, {CHIP, PENCIL, ""}},
        {PIRQ_ACTION_LOCK_MODE_ALL, {OPEN_PADLOCK, NONE, ""}},
        {PIRQ_ACTION_LOCK_MODE_INCREMENTAL, {PADLOCK, TEXT, "R"}},
        {PIRQ_ACTION_LOCK_MODE_TRIGGER, {PADLOCK, TEXT, "T"}},
        {PIRQ_ACTION_INSERT_NODES, {NODE, PLUS, ""}},
        {PIRQ_ACTION_INSERT_STATE_MACHINE_NODES, {STATES, PLUS, ""}},
        {PIRQ_ACTION_DISPLAY_ASCII, {TAG, NONE, "Aa"}},
        {PIRQ_ACTION_DISPLAY_UNSIGNED_BAR, {BARS, NONE, ""}},
        {PIRQ_ACTION_DISPLAY_BINARY, {TAG, NONE, "01"}},
        {PIRQ_ACTION_DISPLAY_DOUBLE, {TAG, NONE, "f64"}},
        {PIRQ_ACTION_DISPLAY_FLOAT, {TAG, NONE, "f32"}},
        {PIRQ_ACTION_DISPLAY_HEX, {TAG, NONE, "0x"}},
        {PIRQ_ACTION_DISPLAY_UNSIGNED_LINE, {LINES, NONE, ""}},
        {PIRQ_ACTION_DISPLAY_SYMBOLIC, {TAG, NONE, "ab"}},
        {PIRQ_ACTION_DISPLAY_OCTAL, {TAG, NONE, "0o"}},
        {PIRQ_ACTION_DISPLAY_SIGNED_BAR, {BARS, TEXT, "\u00b1"}},
        {PIRQ_ACTION_DISPLAY_SIGNED_LINE, {LINES, TEXT, "\u00b1"}},
        {PIRQ_ACTION_DISPLAY_SIGNED_MAGNITUDE, {TAG, NONE, "\u00b1m"}},
        {PIRQ_ACTION_DISPLAY_SIGNED_2S, {TAG, NONE, "\u00b12"}},
        {PIRQ_ACTION_DISPLAY_UNSIGNED, {TAG, NONE, "10"}},
        {PIRQ_ACTION_CREATE_LIST_FILE, {LIST, NONE, ""}},
        {PIRQ_ACTION_DISABLE_DATA, {WAVE, MINUS, ""}},
        {PIRQ_ACTION_ENABLE_DATA, {WAVE, CHECK, ""}},
        {PIRQ_ACTION_REMOVE_ALIAS, {LABEL, MINUS, ""}},
        {PIRQ_ACTION_FIND_BUS_VALUE, {BUS, TEXT, "?"}},
        {PIRQ_ACTION_FIND_NEXT_BUS_VALUE, {BUS, ARROW_RIGHT, ""}},
        {PIRQ_ACTION_FIND_PREVIOUS_BUS_VALUE, {BUS, ARROW_LEFT, ""}},
        {PIRQ_ACTION_GROUP, {GROUP, PLUS, ""}},
        {PIRQ_ACTION_LSB_ON_TOP, {TAG, NONE, "L\u2191"}},
        {PIRQ_ACTION_MNEMONIC_TABLE_SETUP, {TABLE, GEAR, ""}},
        {PIRQ_ACTION_MSB_ON_TOP, {TAG, NONE, "M\u2191"}},
        {PIRQ_ACTION_PASTE_ALIAS, {LABEL, PLUS, ""}},
        {PIRQ_ACTION_PLUGIN_OPTIONS, {PLUG, GEAR, ""}},
        {PIRQ_ACTION_RECREATE_STATE_MACHINE_MNEMONICS, {STATES, CYCLE, ""}},
        {PIRQ_ACTION_RENAME, {TAG, PENCIL, "ab"}},
        {PIRQ_ACTION_SET_ALIAS, {LABEL, PENCIL, ""}},
        {PIRQ_ACTION_DISABLE_STORAGE_QUALIFIER, {FUNNEL, MINUS, ""}},
        {PIRQ_ACTION_ENABLE_STORAGE_QUALIFIER, {FUNNEL, CHECK, ""}},
        {PIRQ_ACTION_DISABLE_TRANSITIONAL, {EDGE, MINUS, ""}},
        {PIRQ_ACTION_ENABLE_TRANSITIONAL, {EDGE, CHECK, ""}},
        {PIRQ_ACTION_DISABLE_TRIGGER_ENABLE, {TRIGGER, MINUS, ""}},
        {PIRQ_ACTION_ENABLE_TRIGGER_ENABLE, {TRIGGER, CHECK, ""}},
        {PIRQ_ACTION_UNGROUP, {GROUP, MINUS, ""}},
        {PIRQ_ACTION_PASTE, {CLIPBOARD, NONE, ""}},
        {PIRQ_ACTION_REDO, {REDO, NONE, ""}},
        {PIRQ_ACTION_PROPERTIES, {LIST, GEAR, ""}},
        {PIRQ_ACTION_TOOLBAR_FIND, {MAGNIFIER, NONE, ""}},
        {PIRQ_ACTION_TOOLBAR_COMPILE, {GEAR, PLAY, ""}},
        {PIRQ_ACTION_TOOLBAR_RECOMPILE, {GEAR, CYCLE, ""}},
        {PIRQ_ACTION_TOOLBAR_CENTER_ON_TRIGGER, {CENTER, NONE, ""}},
        {PIRQ_ACTION_SELECT_ALL, {SELECTION, NONE, ""}},
        {PIRQ_ACTION_UNDO, {UNDO, NONE, ""}},
        {PIRQ_ACTION_DATA_LOG_PANE, {LOG, NONE, ""}},
        {PIRQ_ACTION_HIERARCHY_PANE, {TREE, NONE, ""}},
        {PIRQ_ACTION_INSTANCE_PANE, {CHIP, NONE, ""}},
        {PIRQ_ACTION_TOOLBAR_PANE, {TOOLBAR, NONE, ""}},
        {PIRQ_ACTION_CONFIG_PANE, {SLIDERS, NONE, ""}},
        {PIRQ_ACTION_CENTER_ON_TRIGGER, {CENTER, NONE, ""}},
        {PIRQ_ACTION_FIT_IN_WINDOW, {FIT, NONE, ""}},
        {PIRQ_ACTION_ZOOM_IN, {MAGNIFIER, PLUS, ""}},
        {PIRQ_ACTION_ZOOM_OUT, {MAGNIFIER, MINUS, ""}},
    };
    return recipes;
}

// The standard entries of the suite's menus, by their suite name.
const QHash<QString, RECIPE>& named_recipes()
{
    static const QHash<QString, RECIPE> recipes = {
        {"PIRQ_NEW_ACTION", {DOCUMENT, NONE, ""}},
        {"PIRQ_OPEN_ACTION", {FOLDER, NONE, ""}},
        {"PIRQ_CLOSE_ACTION", {DOCUMENT, MINUS, ""}},
        {"PIRQ_NEW_PROJECT_WIZARD_ACTION", {FOLDER, STAR, ""}},
        {"PIRQ_OPEN_PROJECT_ACTION", {FOLDER, ARROW_RIGHT, ""}},
        {"PIRQ_SAVE_PROJECT_ACTION", {DISK, TEXT, "P"}},
        {"PIRQ_CLOSE_PROJECT_ACTION", {FOLDER, MINUS, ""}},
        {"PIRQ_SAVE_ACTION", {DISK, NONE, ""}},
        {"PIRQ_SAVE_AS_ACTION", {DISK, PENCIL, ""}},
        {"PIRQ_SAVE_ALL_ACTION", {DISK, PLUS, ""}},
        {"PIRQ_FILE_PROPERTIES_ACTION", {DOCUMENT, GEAR, ""}},
        {"PIRQ_CREATE_SYMBOL_FILE_ACTION", {DOCUMENT, PLUS, ""}},
        {"PIRQ_CONVERT_PROGRAMMING_FILES_ACTION", {CHIP, CYCLE, ""}},
        {"PIRQ_PAGE_SETUP_ACTION", {PRINTER, GEAR, ""}},
        {"PIRQ_PRINT_PREVIEW_ACTION", {PRINTER, TEXT, "?"}},
        {"PIRQ_PRINT_ACTION", {PRINTER, NONE, ""}},
        {"PIRQ_EXIT_ACTION", {DOOR, NONE, ""}},
        {"PIRQ_UNDO_ACTION", {UNDO, NONE, ""}},
        {"PIRQ_REDO_ACTION", {REDO, NONE, ""}},
        {"PIRQ_CUT_ACTION", {SCISSORS, NONE, ""}},
        {"PIRQ_COPY_ACTION", {PAGES, NONE, ""}},
        {"PIRQ_PASTE_ACTION", {CLIPBOARD, NONE, ""}},
        {"PIRQ_DELETE_ACTION", {CROSS, NONE, ""}},
        {"PIRQ_SELECT_ALL_ACTION", {SELECTION, NONE, ""}},
        {"PIRQ_FIND_ACTION", {MAGNIFIER, NONE, ""}},
        {"PIRQ_FIND_NEXT_ACTION", {MAGNIFIER, ARROW_RIGHT, ""}},
        {"PIRQ_PROPERTIES_ACTION", {LIST, GEAR, ""}},
        {"PIRQ_DUPLICATE_ACTION", {PAGES, PLUS, ""}},
        {"PIRQ_FENQ_ACTION", {COMPASS, NONE, ""}},
        {"PIRQ_MESSAGE_WINDOW_ACTION", {BUBBLE, NONE, ""}},
        {"PIRQ_CUSTOMIZE_TOOLBARS_ACTION", {TOOLBAR, GEAR, ""}},
        {"PIRQ_FULL_SCREEN_ACTION", {WINDOW, PLUS, ""}},
        {"PIRQ_ADD_REMOVE_FILES_ACTION", {FOLDER, PLUS, ""}},
        {"PIRQ_REVISIONS_ACTION", {PAGES, CYCLE, ""}},
        {"PIRQ_GENERATE_TCL_ACTION", {TAG, PLUS, "Tcl"}},
        {"PIRQ_DEVICE_ACTION", {CHIP, GEAR, ""}},
        {"PIRQ_PIN_PLANNER_ACTION", {CHIP, NODE, ""}},
        {"PIRQ_SETTINGS_ACTION", {SLIDERS, GEAR, ""}},
        {"PIRQ_START_COMPILE_ACTION", {GEAR, PLAY, ""}},
        {"PIRQ_START_RECOMPILE_ACTION", {GEAR, CYCLE, ""}},
        {"PIRQ_STOP_PROCESSING_ACTION", {GEAR, STOP, ""}},
        {"PIRQ_COMPILATION_REPORT_ACTION", {LIST, CHECK, ""}},
        {"PIRQ_SIMULATION_TOOL_ACTION", {WAVE, PLAY, ""}},
        {"PIRQ_PROGRAMMER_ACTION", {CHIP, DOWNLOAD, ""}},
        {"PIRQ_TCL_SCRIPTS_ACTION", {TAG, NONE, "Tcl"}},
        {"PIRQ_CUSTOMIZE_ACTION", {SLIDERS, PENCIL, ""}},
        {"PIRQ_OPTIONS_ACTION", {GEAR, NONE, ""}},
        {"PIRQ_DETACH_ACTION", {WINDOW_OUT, NONE, ""}},
        {"PIRQ_ATTACH_ACTION", {WINDOW_IN, NONE, ""}},
        {"PIRQ_CASCADE_ACTION", {CASCADE, NONE, ""}},
        {"PIRQ_TILE_ACTION", {TILE, NONE, ""}},
        {"PIRQ_KORVANE_HELP_ACTION", {ROUND, NONE, "?"}},
        {"PIRQ_TIPS_ACTION", {STAR, NONE, ""}},
        {"PIRQ_ABOUT_ACTION", {ROUND, NONE, "i"}},
    };
    return recipes;
}
// clang-format on

QHash<QString, QIcon>& cache()
{
    static QHash<QString, QIcon> icons;
    return icons;
}

void clear_cache() { cache().clear(); }

QIcon icon(const QString& key, const RECIPE* recipe)
{
    if (!recipe)
        return QIcon();
    QHash<QString, QIcon>& icons = cache();
    auto found = icons.constFind(key);
    if (found != icons.constEnd())
        return *found;
    // The pixmaps go with the application object, which they must not outlive.
    if (icons.isEmpty())
        qAddPostRoutine(clear_cache);
    QIcon drawn;
    for (int size : {16, 24, 32, 48})
        drawn.addPixmap(render(*recipe, size));
    return *icons.insert(key, drawn);
}

}  // namespace

QIcon pirq_get_action_icon(PIRQ_ACTION_ENUM id)
{
    auto it = id_recipes().find(id);
    return icon(QString::number(static_cast<int>(id)), it == id_recipes().end() ? nullptr : &it->second);
}

QIcon pirq_get_action_icon(const QString& name)
{
    auto it = named_recipes().constFind(name);
    return icon(name, it == named_recipes().constEnd() ? nullptr : &*it);
}
