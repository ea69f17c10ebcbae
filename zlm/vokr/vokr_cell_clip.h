// A painter clipped to one cell of the node list view while the cell is drawn, and put back as it
// was after. QPainter's save() and restore() copy the whole state and apply it again, a large part
// of a small cell's cost; a painter that clips nowhere yet is given back only what a cell's drawing
// may change: its pen, brush, font, background, background mode and render hints, and no clip. A
// painter that clips already (a print's or an export's may), or records or prints rather than
// paints pixels, is saved and restored whole.
#pragma once

#include "vokr_pixel_fill.h"

#include <QBrush>
#include <QFont>
#include <QPainter>
#include <QPen>

#include <optional>

class VOKR_CELL_CLIP {
public:
    // `pixels`, where given, is the painter's pixel fill taken where it clipped nowhere: the cell's
    // own is worked out from it once, for the direct fills and copies made inside the cell.
    VOKR_CELL_CLIP(QPainter* painter, const QRect& clip, const VOKR_PIXEL_FILL* pixels = nullptr);
    ~VOKR_CELL_CLIP();
    VOKR_CELL_CLIP(const VOKR_CELL_CLIP&) = delete;
    VOKR_CELL_CLIP& operator=(const VOKR_CELL_CLIP&) = delete;

    // Whether the painter clips to the innermost cell it draws in and nothing else: the clip set
    // here on a painter that clipped nowhere, not narrowed since. Its rectangle, in painter
    // coordinates, goes in `clip`. GUI thread only.
    static bool current(QPainter* painter, QRect* clip);
    // The innermost cell's pixel fill, where the painter still clips to that cell and nothing else and
    // draws as when the fill was taken; else null.
    static const VOKR_PIXEL_FILL* pixels(QPainter* painter);

private:
    static VOKR_CELL_CLIP*& innermost();
    QPainter* m_painter;
    bool m_saved;  // the whole state, restored whole
    QPen m_pen;
    QBrush m_brush;
    QFont m_font;
    QBrush m_background;
    Qt::BGMode m_background_mode;
    QPainter::RenderHints m_hints;
    QRect m_clip;
    VOKR_CELL_CLIP* m_outer;  // the cell clip this one lies in, if any
    std::optional<VOKR_PIXEL_FILL> m_pixels;
};
