// The node list view's background, written a band of pixel rows at a time just before the rows
// over it are painted. One fill of the whole view would push its top rows out of the core's cache
// long before the cells' frames and levels are written over them; a band written just before is
// still there. Lines that run down from the header rows through rows not yet reached (time bars,
// grid lines, markers, data ends) are filled over each band as it is written, in the order they
// were drawn, so every pixel ends as if the whole background had been written first.
//
// Only where the background is one opaque colour written straight into the painter's pixels and
// nothing is painted over it whole first; elsewhere the whole area is filled at once and the
// ground does nothing more. GUI thread only.
#pragma once

#include "vokr_pixel_fill.h"

#include <QRect>
#include <QRgb>

#include <utility>
#include <vector>

class QBrush;
class QPainter;

class VOKR_VIEW_GROUND {
public:
    VOKR_VIEW_GROUND(QPainter* painter, const QRect& area, const QBrush& brush, bool whole);
    ~VOKR_VIEW_GROUND();
    VOKR_VIEW_GROUND(const VOKR_VIEW_GROUND&) = delete;
    VOKR_VIEW_GROUND& operator=(const VOKR_VIEW_GROUND&) = delete;

    // Writes the background down to pixel row `bottom`, in painter coordinates.
    void reach(int bottom);

    // Fills the rectangles in an opaque `color` over the background as `painter` would: at once
    // where the background is written, and below that as it is. False, with the background
    // written down to the rectangles' bottom first, where the ground cannot keep them (another
    // painter, a clip, a colour that blends): the caller then draws them itself.
    static bool fill_over(QPainter* painter, const QRect* rects, size_t count, QRgb color);

private:
    static VOKR_VIEW_GROUND*& current();
    QPainter* m_painter;
    VOKR_PIXEL_FILL m_pixels;
    QRect m_area;
    QRgb m_color = 0;
    int m_filled;                                // the last pixel row written
    std::vector<std::pair<QRect, QRgb>> m_over;  // fills below the written rows, in order
    VOKR_VIEW_GROUND* m_outer;
};
