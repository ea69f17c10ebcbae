// Opaque rectangles written straight into the pixels of the image a raster painter paints on, as
// the engine would fill them but without its per-rectangle and per-scanline overhead: one store a
// row for a one-pixel column, a vectorised fill for a run. Only where the engine would put exactly
// those pixels: a 32-bit image moved by whole pixels, not antialiased, painted over at full
// opacity, clipped to a few rectangles. The engine writes each fill as it is asked to, so fills
// written here and fills asked of the painter land in the order they are made. Elsewhere (a
// printer, a file of shapes, a scaled painter) valid() is false and the caller asks the painter.
// Taken for the painter's state at the time: a clip or transform set later needs a new one.
#pragma once

#include <QRect>
#include <QRgb>

#include <array>

class QColor;
class QPainter;

class VOKR_PIXEL_FILL {
public:
    explicit VOKR_PIXEL_FILL(QPainter* painter);
    bool valid() const { return m_bits != nullptr; }
    // Fills the rectangles, in painter coordinates, in an opaque colour.
    void fill(const QRect* rects, size_t count, QRgb color) const;
    void fill(const QRect& rect, QRgb color) const { fill(&rect, 1, color); }

    // Fills `rect` through the painter or directly, whichever puts the same pixels faster.
    static void fill_rect(QPainter* painter, const QRect& rect, const QColor& color);

private:
    static constexpr int MAX_CLIP = 8;
    unsigned char* m_bits = nullptr;
    qsizetype m_stride = 0;
    QPoint m_offset;                     // the painter's origin in the image
    std::array<QRect, MAX_CLIP> m_clip;  // in the image's pixels
    int m_clips = 0;
};
