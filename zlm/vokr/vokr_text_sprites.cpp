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

// A text's pixels over a ground of several colours (a line its glyphs reach), drawn with one pen:
// the ground its glyphs touched, and what they left there.
struct MIXED {
    QRgba64 pen;
    QImage ground, pixels;
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
    std::vector<MIXED> mixed;
};

// Pixels around the glyphs' bounds that their anti-aliasing may reach: sideways, where glyphs lie at
// fractions of a pixel and subpixel rendering filters across pixels; up and down, by a pixel. A
// pixel more all round shows whether anything reaches further.
constexpr int MARGIN_X = 3, MARGIN_Y = 2;
constexpr int MAX_PIXELS = 1 << 16;       // a box's
constexpr qsizetype MAX_BYTES = 8 << 20;  // all sprites'
constexpr int MAX_TEXTS = 4096;
constexpr size_t MAX_MIXED = 4;  // grounds of several colours kept per text

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

// The glyphs as the painter draws them in `pen` over `image`, of the box's size in the painter's
// format.
QImage drawn_on(QPainter* painter, const GLYPHS& shape, const QPen& pen, QImage image)
{
    QPainter on_image(&image);
    on_image.setRenderHints(painter->renderHints());
    on_image.setFont(painter->font());
    on_image.setPen(pen);
    on_image.drawGlyphRun(shape.fraction - QPointF(shape.box.topLeft()), shape.glyphs);
    on_image.end();
    return image;
}

// The glyphs as the painter draws them in `pen` over `ground`.
QImage drawn_over(QPainter* painter, const GLYPHS& shape, const QPen& pen, QRgb ground)
{
    QImage image(shape.box.size(), QImage::Format(shape.format));
    image.fill(ground);
    return drawn_on(painter, shape, pen, image);
}

// Whether every pixel of the runs is opaque.
bool opaque(const QImage& image, const std::vector<RUN>& runs)
{
    for (const RUN& run : runs) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(run.y));
        for (int x = run.left; x < run.right; ++x)
            if (qAlpha(row[x]) != 255)
                return false;
    }
    return true;
}

// Puts the glyphs down at `at` where the pixels they touch hold several colours: from the pixels
// kept for that very ground, else drawn once over a copy of it and kept. Each pixel's colour
// follows only from its ground, the pen and the glyphs' coverage there, so equal grounds leave
// equal pixels. False, having drawn nothing, where the glyphs reach outside the image or its clip,
// or the text has as many grounds kept as it may.
bool draw_over_mixed(QPainter* painter, const VOKR_PIXEL_FILL& pixels, GLYPHS* shape, const QPoint& at)
{
    const QPen& pen = painter->pen();
    const QRgba64 color = pen.color().rgba64();
    for (const MIXED& kept : shape->mixed)
        if (kept.pen == color &&
            pixels.same_pixels(at, shape->bounds, shape->runs, kept.ground.constBits(), kept.ground.bytesPerLine())) {
            pixels.copy(at, shape->bounds, shape->runs, kept.pixels.constBits(), kept.pixels.bytesPerLine());
            return true;
        }
    if (shape->mixed.size() >= MAX_MIXED)
        return false;
    QImage ground(shape->box.size(), QImage::Format(shape->format));
    ground.fill(Qt::black);
    if (!pixels.read(at, shape->bounds, shape->runs, ground.bits(), ground.bytesPerLine()) ||
        (shape->format == QImage::Format_RGB32 && !opaque(ground, shape->runs)))
        return false;
    MIXED mixed{color, ground, drawn_on(painter, *shape, pen, ground)};
    pixels.copy(at, shape->bounds, shape->runs, mixed.pixels.constBits(), mixed.pixels.bytesPerLine());
    kept().bytes += mixed.ground.sizeInBytes() + mixed.pixels.sizeInBytes();
    shape->mixed.push_back(std::move(mixed));
    return true;
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
    if (shape.hints != int(painter->renderHints()) || shape.format != pixels.format())
        return false;
    if (!pixels.one_value(at, shape.bounds, shape.runs, &ground))
        return draw_over_mixed(painter, pixels, &shape, at);
    if (shape.format == QImage::Format_RGB32 && qAlpha(ground) != 255)
        return false;
    const QRgba64 color = pen.color().rgba64();
    auto sprite = std::find_if(shape.sprites.begin(), shape.sprites.end(),
                               [&](const SPRITE& s) { return s.ground == ground && s.pen == color; });
    if (sprite == shape.sprites.end()) {
        shape.sprites.push_back({color, ground, drawn_over(painter, shape, pen, ground)});
        kept().bytes += shape.sprites.back().pixels.sizeInBytes();
        sprite = shape.sprites.end() - 1;
    }
    pixels.copy(at, shape.bounds, shape.runs, sprite->pixels.constBits(), sprite->pixels.bytesPerLine());
    return true;
}
