// One-line texts kept as the pixels the raster engine leaves when it draws them over one colour.
// Where every pixel a text's glyphs touch still holds that colour, a copy of the kept pixels there
// puts down exactly what drawing the glyphs would, without blending each glyph anew: the names,
// titles, ruler labels and bus values of a view repainted while they stay. A text whose glyphs
// reach a line (a bus value fitted tightly between its segment's edges) is kept, for a few such
// grounds, with the ground's pixels it touched: where the pixels there are that ground again, the
// copy is exact too. A text is kept from the second time it is drawn, so texts drawn once
// (labels passing by while the view scrolls) cost nothing extra. GUI thread only.
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
