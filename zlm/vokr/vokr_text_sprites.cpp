#include "vokr_text_sprites.h"

#include "vokr_pixel_fill.h"

#include <QCoreApplication>
#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QRgba64>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A text's pixels over one colour, drawn with one pen.
struct SPRITE {
    QRgba64 pen;
    QRgb ground;
    QImage pixels;
};

using RUN = VOKR_PIXEL_FILL::RUN;

// A text's glyphs at one fraction of a pixel past a whole pixel; the box around every pixel they may
// touch from that whole pixel; the pixels they do touch, found on the text's second drawing with
// the painter's render hints on an image of its format; and their sprites.
struct GLYPHS {
    QGlyphRun glyphs;
    QPointF fraction;
    QRect box;
    int drawings = 0;
    int hints = 0, format = 0;
    std::vector<RUN> runs;  // in the box; none where the glyphs touch nothing or reach the box's edge
    QRect bounds;           // of the runs
    std::vector<SPRITE> sprites;
};

// Pixels around the glyphs' bounds that their anti-aliasing may reach: sideways, where glyphs lie at
// fractions of a pixel and subpixel rendering filters across pixels; up and down, by a pixel. A
// pixel more all round shows whether anything reaches further.
constexpr int MARGIN_X = 3, MARGIN_Y = 2;
constexpr int MAX_PIXELS = 1 << 16;       // a box's
constexpr qsizetype MAX_BYTES = 8 << 20;  // all sprites'
constexpr int MAX_TEXTS = 4096;

struct KEPT {
    QHash<QString, std::vector<GLYPHS>> texts;
    qsizetype bytes = 0;

    void clear()
    {
        texts.clear();
        bytes = 0;
    }
};

// The sprites, forgotten with the application object, whose fonts they must not outlive.
KEPT& kept()
{
    static KEPT kept;
    static const bool forgotten_at_exit = [] {
        qAddPostRoutine([] { kept.clear(); });
        return true;
    }();
    Q_UNUSED(forgotten_at_exit);
    return kept;
}

// The bounds of the glyphs' outlines from the run's origin. A run laid out by a line holds the
// line's box instead, and blank glyphs (spaces) have none.
QRectF inked_bounds(const QGlyphRun& glyphs)
{
    const QRawFont font = glyphs.rawFont();
    const QVector<quint32> indexes = glyphs.glyphIndexes();
    const QVector<QPointF> positions = glyphs.positions();
    QRectF bounds;
    for (int i = 0; i < indexes.size() && i < positions.size(); ++i) {
        const QRectF glyph = font.boundingRect(indexes[i]);
        if (!glyph.isEmpty())
            bounds |= glyph.translated(positions[i]);
    }
    return bounds;
}

GLYPHS& glyphs_at(const QString& text, const QGlyphRun& glyphs, const QPointF& fraction)
{
    std::vector<GLYPHS>& shapes = kept().texts[text];
    for (GLYPHS& shape : shapes)
        if (shape.fraction.x() == fraction.x() && shape.fraction.y() == fraction.y() && shape.glyphs == glyphs)
            return shape;
    const QRect bounds = inked_bounds(glyphs).translated(fraction).toAlignedRect();
    GLYPHS shape;
    shape.glyphs = glyphs;
    shape.fraction = fraction;
    shape.box = bounds.adjusted(-MARGIN_X, -MARGIN_Y, MARGIN_X, MARGIN_Y);
    shapes.push_back(std::move(shape));
    return shapes.back();
}

// The glyphs as the painter draws them in `pen` over `ground`, on an image of the box's size in
// the painter's format.
QImage drawn_over(QPainter* painter, const GLYPHS& shape, const QPen& pen, QRgb ground)
{
    QImage image(shape.box.size(), QImage::Format(shape.format));
    image.fill(ground);
    QPainter on_image(&image);
    on_image.setRenderHints(painter->renderHints());
    on_image.setFont(painter->font());
    on_image.setPen(pen);
    on_image.drawGlyphRun(shape.fraction - QPointF(shape.box.topLeft()), shape.glyphs);
    on_image.end();
    return image;
}

// The pixels the glyphs touch: where an opaque white pen leaves black pixels otherwise, any glyph
// coverage showing. None where they touch the box's edge, so may reach past it.
void find_runs(QPainter* painter, GLYPHS* shape, int format)
{
    shape->hints = int(painter->renderHints());
    shape->format = format;
    const QRgb black = qRgb(0, 0, 0);
    const QImage image = drawn_over(painter, *shape, QPen(Qt::white), black);
    const int w = image.width(), h = image.height();
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        int left = 0, right = w;
        while (left < w && row[left] == black)
            ++left;
        while (right > left && row[right - 1] == black)
            --right;
        if (left == right)
            continue;
        if (y == 0 || y == h - 1 || left == 0 || right == w) {
            shape->runs.clear();
            shape->bounds = QRect();
            return;
        }
        shape->runs.push_back({short(y), short(left), short(right)});
        shape->bounds |= QRect(left, y, right - left, 1);
    }
}

}  // namespace

bool VOKR_TEXT_SPRITES::draw(QPainter* painter, const QPointF& origin, const QString& text, const QGlyphRun& glyphs)
{
    const QPen& pen = painter->pen();
    if (painter->compositionMode() != QPainter::CompositionMode_SourceOver || glyphs.glyphIndexes().isEmpty() ||
        pen.color().alpha() != 255)
        return false;
    const VOKR_PIXEL_FILL pixels(painter);
    if (!pixels.valid())
        return false;
    if (kept().bytes > MAX_BYTES || kept().texts.size() > MAX_TEXTS)
        kept().clear();
    const QPointF whole(std::floor(origin.x()), std::floor(origin.y()));
    GLYPHS& shape = glyphs_at(text, glyphs, origin - whole);
    if (shape.box.width() * shape.box.height() > MAX_PIXELS || ++shape.drawings < 2)
        return false;
    if (shape.format == 0)
        find_runs(painter, &shape, pixels.format());
    const QPoint at = shape.box.topLeft() + whole.toPoint();
    QRgb ground = 0;
    if (shape.hints != int(painter->renderHints()) || shape.format != pixels.format() ||
        !pixels.one_value(at, shape.bounds, shape.runs, &ground) ||
        (shape.format == QImage::Format_RGB32 && qAlpha(ground) != 255))
        return false;
    const QRgba64 color = pen.color().rgba64();
    auto sprite = std::find_if(shape.sprites.begin(), shape.sprites.end(),
                               [&](const SPRITE& s) { return s.ground == ground && s.pen == color; });
    if (sprite == shape.sprites.end()) {
        shape.sprites.push_back({color, ground, drawn_over(painter, shape, pen, ground)});
        kept().bytes += shape.sprites.back().pixels.sizeInBytes();
        sprite = shape.sprites.end() - 1;
    }
    pixels.copy(at, shape.runs, sprite->pixels.constBits(), sprite->pixels.bytesPerLine());
    return true;
}
