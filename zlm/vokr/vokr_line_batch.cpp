#include "vokr_line_batch.h"

#include "vokr_pixel_fill.h"

#include <QHash>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace {

// Whether the painter puts fills and one-pixel lines on whole device pixels: moved by whole pixels
// at most, not antialiased.
bool whole_pixels(const QPainter* p)
{
    const QTransform t = p->deviceTransform();
    return t.type() <= QTransform::TxTranslate && t.dx() == std::floor(t.dx()) && t.dy() == std::floor(t.dy()) &&
           !p->testRenderHint(QPainter::Antialiasing);
}

// The pixels a one-pixel pen puts down for `lines`, as rectangles: each scanline's runs, a run
// joined to the one of the same extent on the scanline above. With `rows` >= 0 the device ends
// that many rows below the lines' top, as the small image then does.
std::vector<QRect> shape_pixels(std::initializer_list<QLine> lines, int rows)
{
    QRect box;
    for (const QLine& l : lines)
        box |= QRect(QPoint(std::min(l.x1(), l.x2()), std::min(l.y1(), l.y2())),
                     QPoint(std::max(l.x1(), l.x2()), std::max(l.y1(), l.y2())));
    const int ox = 2 - box.left(), oy = 2 - box.top();
    QImage image(box.width() + 4, rows < 0 ? box.height() + 4 : rows + 3, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::white, 1));
    for (const QLine& l : lines)
        painter.drawLine(l.translated(ox, oy));
    painter.end();
    struct RUN {
        int x0, x1;
        size_t rect;
    };
    std::vector<QRect> rects;
    std::vector<RUN> above, runs;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        runs.clear();
        for (int x = 0; x < image.width(); ++x) {
            if (qRed(line[x]) == 0)
                continue;
            int end = x;
            while (end + 1 < image.width() && qRed(line[end + 1]) != 0)
                ++end;
            auto a = std::find_if(above.begin(), above.end(), [&](const RUN& r) { return r.x0 == x && r.x1 == end; });
            if (a != above.end()) {
                rects[a->rect].setBottom(y - oy);
                runs.push_back({x, end, a->rect});
            } else {
                runs.push_back({x, end, rects.size()});
                rects.push_back(QRect(QPoint(x - ox, y - oy), QPoint(end - ox, y - oy)));
            }
            x = end;
        }
        std::swap(above, runs);
    }
    return rects;
}

// The key of a shape from (0, 0) over dx columns and dy rows that keeps `rows` rows (-1 all).
quint64 shape_key(int dx, int dy, int rows)
{
    return (quint64(quint16(dx)) << 48) | (quint64(quint16(dy)) << 32) | quint32(rows);
}

// The pixels a one-pixel pen puts down for a line from (0, 0) to (dx, dy), in rows of one extent
// merged down: drawn once on a small image by the raster engine, which draws a line moved by whole
// pixels on the same pixels moved. A bounded cache, GUI thread only.
const std::vector<QRect>& slant_pixels(int dx, int dy, int rows)
{
    static QHash<quint64, std::vector<QRect>> cache;
    const quint64 key = shape_key(dx, dy, rows);
    auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    if (cache.size() > 4096)
        cache.clear();
    return *cache.insert(key, shape_pixels({QLine(0, 0, dx, dy)}, rows));
}

// The pixels a one-pixel pen puts down for the two lines of a crossing, from (0, 0) to (dx, dy)
// and from (0, dy) to (dx, 0), as rectangles: each scanline's runs, a run joined to the one of the
// same extent on the scanline above. Where the lines meet their pixels are one, so a crossing
// takes a rectangle or a few where its lines' rows take many. `inner` holds those of the rows
// between the ends only. Drawn once on a small image as slant_pixels() draws a line; a bounded
// cache, GUI thread only.
struct CROSSING {
    std::vector<QRect> all, inner;
};

const CROSSING& crossing_pixels(int dx, int dy, int rows)
{
    static QHash<quint64, CROSSING> cache;
    // A bus row asks for one shape crossing after crossing: the last one answers without a lookup.
    // The cache's values stay where they are until it is cleared.
    static const CROSSING* last = nullptr;
    static quint64 last_key = 0;
    const quint64 key = shape_key(dx, dy, rows);
    if (last && last_key == key)
        return *last;
    auto found = cache.constFind(key);
    if (found == cache.constEnd()) {
        if (cache.size() > 4096)
            cache.clear();
        CROSSING crossing;
        crossing.all = shape_pixels({QLine(0, 0, dx, dy), QLine(0, dy, dx, 0)}, rows);
        const int top = std::min(0, dy) + 1, bottom = std::max(0, dy) - 1;
        for (const QRect& r : crossing.all)
            if (r.bottom() >= top && r.top() <= bottom)
                crossing.inner.push_back(
                    QRect(QPoint(r.left(), std::max(r.top(), top)), QPoint(r.right(), std::min(r.bottom(), bottom))));
        found = cache.insert(key, crossing);
    }
    last = &*found, last_key = key;
    return *last;
}

// Appends `r`, joined to one of the last three rectangles where the two make one: the same rows and
// touching or overlapping columns, or the same columns and touching or overlapping rows. Pixels
// the two share are then filled once, not twice: for an opaque colour only.
void add_joined(std::vector<QRect>* rects, const QRect& r)
{
    const int left = r.left(), top = r.top(), right = r.right(), bottom = r.bottom();
    QRect* const last = rects->data() + rects->size();
    for (QRect* o = last; o != last - std::min<size_t>(rects->size(), 3);) {
        --o;
        if (o->top() == top && o->bottom() == bottom) {
            if (o->left() <= right + 1 && left <= o->right() + 1) {
                o->setLeft(std::min(o->left(), left));
                o->setRight(std::max(o->right(), right));
                return;
            }
        } else if (o->left() == left && o->right() == right && o->top() <= bottom + 1 && top <= o->bottom() + 1) {
            o->setTop(std::min(o->top(), top));
            o->setBottom(std::max(o->bottom(), bottom));
            return;
        }
    }
    rects->push_back(r);
}

}  // namespace

bool VOKR_LINE_BATCH::raster_pixels(QPainter* painter)
{
    return whole_pixels(painter) && painter->paintEngine()->type() == QPaintEngine::Raster;
}

VOKR_LINE_BATCH& VOKR_LINE_BATCH::shared()
{
    static VOKR_LINE_BATCH batch;
    return batch;
}

int VOKR_LINE_BATCH::color(const QColor& color)
{
    for (int i = 0; i < m_used; ++i)
        if (m_slots[i].color == color)
            return i;
    if (m_used == int(m_slots.size()))
        m_slots.emplace_back();
    SLOT& slot = m_slots[m_used];
    if (slot.brush.style() == Qt::NoBrush || slot.color != color) {  // a slot keeps its brush while its colour stays
        slot.color = color;
        slot.brush = QBrush(color);
        slot.opaque = color.alpha() == 255;
    }
    return m_used++;
}

void VOKR_LINE_BATCH::add_rect(const QRect& r, bool opaque, std::vector<QRect>* rects)
{
    if (opaque) {
        add_joined(rects, r);
        return;
    }
    // One that continues the last rectangle to the right, as tick marks side by side do, joins it.
    if (!rects->empty() && rects->back().top() == r.top() && rects->back().bottom() == r.bottom() &&
        rects->back().right() + 1 == r.left())
        rects->back().setRight(r.right());
    else
        rects->push_back(r);
}

// A slanted line's pixels leave the engine only on a raster device, inside the clip and the
// device's sides and top with a pixel to spare, not over 256 pixels either way: whole, or cut by
// the device's bottom alone. The engine moves the end of a line the device cuts to where the cut
// puts it, as it does on a small image cut as many rows below the line's top; a clip alone moves
// no pixel, but is left to the engine all the same.
int VOKR_LINE_BATCH::AREA::rows(int left, int top, int right, int bottom) const
{
    if (bounds.isNull() || left - 1 < bounds.left() || right + 1 > bounds.right() || top - 1 < bounds.top() ||
        right - left > 256 || bottom - top > 256)
        return NONE;
    if (bottom + 1 <= bounds.bottom())
        return WHOLE;
    return bottom + 1 <= clip_bottom && device_bottom >= top ? device_bottom - top : NONE;
}

bool VOKR_LINE_BATCH::add_pixels(const QLine& line, const AREA& area, bool opaque, std::vector<QRect>* rects)
{
    if (line.x1() == line.x2() || line.y1() == line.y2()) {  // the rectangle of its pixels on any device
        add_rect(QRect(QPoint(std::min(line.x1(), line.x2()), std::min(line.y1(), line.y2())),
                       QPoint(std::max(line.x1(), line.x2()), std::max(line.y1(), line.y2()))),
                 opaque, rects);
        return true;
    }
    const int top = std::min(line.y1(), line.y2());
    const int rows =
        area.rows(std::min(line.x1(), line.x2()), top, std::max(line.x1(), line.x2()), std::max(line.y1(), line.y2()));
    if (rows == AREA::NONE)
        return false;
    for (const QRect& r : slant_pixels(line.dx(), line.dy(), rows))
        rects->push_back(r.translated(line.p1()));
    return true;
}

// Only a crossing whose lines are both slanted and lie where add_pixels() takes a slanted line.
bool VOKR_LINE_BATCH::add_crossing(const CROSS& cross, const AREA& area, std::vector<QRect>* rects)
{
    const int dy = cross.y2 - cross.y1, top = std::min(cross.y1, cross.y2);
    if (cross.dx == 0 || dy == 0)
        return false;
    const int rows = area.rows(std::min(cross.x, cross.x + cross.dx), top, std::max(cross.x, cross.x + cross.dx),
                               std::max(cross.y1, cross.y2));
    if (rows == AREA::NONE)
        return false;
    const CROSSING& crossing = crossing_pixels(cross.dx, dy, rows);
    for (const QRect& r : cross.railed ? crossing.inner : crossing.all)
        add_joined(rects, r.translated(cross.x, cross.y1));
    return true;
}

void VOKR_LINE_BATCH::add_rails()
{
    if (m_rails.slot < 0)
        return;
    std::vector<QRect>& fills = m_slots[m_rails.slot].fills;
    fills.push_back(QRect(QPoint(m_rails.left, m_rails.y1), QPoint(m_rails.right, m_rails.y1)));
    fills.push_back(QRect(QPoint(m_rails.left, m_rails.y2), QPoint(m_rails.right, m_rails.y2)));
    m_rails.slot = -1;
}

VOKR_LINE_BATCH::AREA VOKR_LINE_BATCH::area(QPainter* p)
{
    AREA area;
    if (!VOKR_LINE_BATCH::raster_pixels(p))
        return area;
    const QPaintDevice* device = p->device();
    area.bounds = p->deviceTransform().inverted().mapRect(QRect(0, 0, device->width(), device->height()));
    area.device_bottom = area.clip_bottom = area.bounds.bottom();
    if (p->hasClipping()) {
        const QRect clip = p->clipBoundingRect().toAlignedRect();
        area.bounds &= clip;
        area.clip_bottom = clip.bottom();
    }
    return area;
}

void VOKR_LINE_BATCH::draw(QPainter* p)
{
    add_rails();
    // Slanted lines leave the engine only on a raster device; elsewhere the area's bounds are null
    // and they stay lines. Rectangles alone need no area. A batch holding nothing (a kept row drawn
    // already, a text after the last draw) asks nothing of the painter.
    bool slanted = false, any = false;
    for (int i = 0; i < m_used; ++i) {
        slanted = slanted || !m_slots[i].lines.empty() || !m_slots[i].crosses.empty();
        any = any || slanted || !m_slots[i].fills.empty();
    }
    if (!any)
        return;
    const AREA area = slanted ? this->area(p) : AREA();
    const VOKR_PIXEL_FILL pixels(p);
    // The painter's pen and brush, kept once something is left to it: most batches fill every
    // rectangle straight into the image and leave the painter as it was.
    std::optional<std::pair<QPen, QBrush>> before;
    auto keep_painter = [&] {
        if (!before)
            before.emplace(p->pen(), p->brush());
    };
    bool no_pen = false;
    for (int i = 0; i < m_used; ++i) {
        SLOT& slot = m_slots[i];
        m_left.clear();
        const bool opaque = slot.opaque;
        for (const QLine& line : slot.lines)
            if (!add_pixels(line, area, opaque, &slot.fills))
                m_left.push_back(line);
        // Both lines' pixels filled once only in an opaque colour: a translucent one blends twice
        // where they meet.
        for (const CROSS& c : slot.crosses) {
            if (opaque && add_crossing(c, area, &slot.fills))
                continue;
            for (const QLine& line : {QLine(c.x, c.y1, c.x + c.dx, c.y2), QLine(c.x, c.y2, c.x + c.dx, c.y1)})
                if (!add_pixels(line, area, opaque, &slot.fills))
                    m_left.push_back(line);
        }
        if (m_tape && (!m_left.empty() || (!slot.fills.empty() && !(opaque && pixels.valid()))))
            m_tape->whole = false;
        if (!slot.fills.empty() && opaque && pixels.valid()) {
            pixels.fill(slot.fills.data(), slot.fills.size(), slot.color.rgba());
            if (m_tape) {
                m_tape->steps.push_back({slot.color.rgba(), m_tape->rects.size(), slot.fills.size(), -1});
                m_tape->rects.insert(m_tape->rects.end(), slot.fills.begin(), slot.fills.end());
            }
        } else if (!slot.fills.empty()) {
            keep_painter();
            if (!no_pen)
                p->setPen(Qt::NoPen);
            no_pen = true;
            p->setBrush(slot.brush);
            p->drawRects(slot.fills.data(), int(slot.fills.size()));
        }
        if (!m_left.empty()) {
            keep_painter();
            p->setPen(QPen(slot.color, 1));
            no_pen = false;
            p->drawLines(m_left.data(), int(m_left.size()));
        }
        slot.fills.clear();
        slot.lines.clear();
        slot.crosses.clear();
    }
    if (before) {
        p->setPen(before->first);
        p->setBrush(before->second);
    }
}
