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

// A text's pixels over one colour, drawn with one pen and set of render hints on an image of one
// format.
struct SPRITE {
    QRgba64 pen;
    QRgb ground;
    int hints, format;
    QImage pixels;  // null where the glyphs' pixels reach the box's edge: the painter draws those
};

// A text's glyphs at one fraction of a pixel past a whole pixel, the box around every pixel they
// may touch from that whole pixel, and their sprites.
struct GLYPHS {
    QGlyphRun glyphs;
    QPointF fraction;
    QRect box;
    bool seen_alike = false;  // drawn before over one colour: the next such drawing keeps a sprite
    std::vector<SPRITE> sprites;
};

// Pixels around the glyphs' bounds that their anti-aliasing may reach: sideways, where glyphs lie at
// fractions of a pixel and subpixel rendering filters across pixels; up and down, by a pixel.
constexpr int MARGIN_X = 2, MARGIN_Y = 1;
constexpr int MAX_PIXELS = 1 << 16;       // a sprite's
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
    shapes.push_back({glyphs, fraction, bounds.adjusted(-MARGIN_X, -MARGIN_Y, MARGIN_X, MARGIN_Y), false, {}});
    return shapes.back();
}

// Whether any pixel on the image's outermost rows and columns differs from `ground`.
bool reaches_edge(const QImage& image, QRgb ground)
{
    const int w = image.width(), h = image.height();
    for (const int y : {0, h - 1}) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            if (row[x] != ground)
                return true;
    }
    for (int y = 1; y < h - 1; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        if (row[0] != ground || row[w - 1] != ground)
            return true;
    }
    return false;
}

// The glyphs drawn as `painter` would draw them, over `ground` on an image of the box's size.
SPRITE make_sprite(QPainter* painter, const GLYPHS& shape, QRgb ground, int format)
{
    SPRITE sprite{painter->pen().color().rgba64(), ground, int(painter->renderHints()), format, {}};
    QImage image(shape.box.size(), QImage::Format(format));
    image.fill(ground);
    QPainter on_image(&image);
    on_image.setRenderHints(painter->renderHints());
    on_image.setFont(painter->font());
    on_image.setPen(painter->pen());
    on_image.drawGlyphRun(shape.fraction - QPointF(shape.box.topLeft()), shape.glyphs);
    on_image.end();
    if (!reaches_edge(image, ground))
        sprite.pixels = image;
    return sprite;
}

}  // namespace

bool VOKR_TEXT_SPRITES::draw(QPainter* painter, const QPointF& origin, const QString& text, const QGlyphRun& glyphs)
{
    if (painter->compositionMode() != QPainter::CompositionMode_SourceOver || glyphs.glyphIndexes().isEmpty())
        return false;
    const VOKR_PIXEL_FILL pixels(painter);
    if (!pixels.valid())
        return false;
    if (kept().bytes > MAX_BYTES || kept().texts.size() > MAX_TEXTS)
        kept().clear();
    const QPointF whole(std::floor(origin.x()), std::floor(origin.y()));
    GLYPHS& shape = glyphs_at(text, glyphs, origin - whole);
    const QRect box = shape.box.translated(whole.toPoint());
    QRgb ground = 0;
    if (shape.box.width() * shape.box.height() > MAX_PIXELS || !pixels.one_value(box, &ground) ||
        (pixels.format() == QImage::Format_RGB32 && qAlpha(ground) != 255))
        return false;
    const QRgba64 pen = painter->pen().color().rgba64();
    const int hints = int(painter->renderHints());
    auto alike = [&](const SPRITE& s) {
        return s.ground == ground && s.pen == pen && s.hints == hints && s.format == pixels.format();
    };
    auto sprite = std::find_if(shape.sprites.begin(), shape.sprites.end(), alike);
    if (sprite == shape.sprites.end()) {
        if (!shape.seen_alike) {
            shape.seen_alike = true;
            return false;
        }
        shape.sprites.push_back(make_sprite(painter, shape, ground, pixels.format()));
        kept().bytes += shape.sprites.back().pixels.sizeInBytes();
        sprite = shape.sprites.end() - 1;
    }
    if (sprite->pixels.isNull())
        return false;
    return pixels.copy(box, sprite->pixels.constBits(), sprite->pixels.bytesPerLine());
}
