// One-line texts kept as the pixels the raster engine leaves when it draws them over one colour.
// Where every pixel a text can touch still holds that colour, a copy of the kept pixels puts down
// exactly what drawing its glyphs would, without blending each glyph anew: the names, titles and
// ruler labels of a view repainted while they stay. A text is kept from the second time it is
// drawn alike, so texts drawn once (labels passing by while the view scrolls) cost nothing extra.
// GUI thread only.
#pragma once

class QGlyphRun;
class QPainter;
class QPointF;
class QString;

class VOKR_TEXT_SPRITES {
public:
    // Puts down `glyphs`, the shaped `text`, as QPainter::drawGlyphRun(origin, glyphs) would, from
    // kept pixels. False where it did not: the caller draws the glyphs.
    static bool draw(QPainter* painter, const QPointF& origin, const QString& text, const QGlyphRun& glyphs);
};
