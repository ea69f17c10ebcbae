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
#include <cstdint>
#include <vector>

class QBrush;
class QColor;
class QPainter;

class VOKR_PIXEL_FILL {
public:
    explicit VOKR_PIXEL_FILL(QPainter* painter);
    bool valid() const { return m_bits != nullptr; }
    // Fills the rectangles, in painter coordinates moved down by `dy`, in an opaque colour.
    void fill(const QRect* rects, size_t count, QRgb color, int dy = 0) const;
    void fill(const QRect& rect, QRgb color) const { fill(&rect, 1, color); }
    // Fills rows top..bottom, in painter coordinates, of the columns left + c (c < count) whose bit
    // c of `mask` (bit c % 64 of word c / 64) is set, in an opaque colour: a row's pixels are
    // written 64 columns a word at a time, the columns of a clear bit left as they are.
    void fill_columns(const uint64_t* mask, int left, int count, int top, int bottom, QRgb color) const;

    // Fills `rect` through the painter or directly, whichever puts the same pixels faster.
    static void fill_rect(QPainter* painter, const QRect& rect, const QColor& color);
    static void fill_rect(QPainter* painter, const QRect& rect, const QBrush& brush);
    // The outermost pixels of `cell` as four one-pixel rectangles, top, bottom, left, right (the
    // sides without the corners): the pixels a one-pixel outline of the cell's inside covers.
    static std::array<QRect, 4> outline(const QRect& cell);

    // The image's format; valid() only.
    int format() const { return m_format; }
    // Whether this fill, taken where the painter clipped nowhere, still writes what the painter
    // would: it clips nowhere yet and moves, blends and fills as it did then. A paint takes one
    // such fill for the cells' frames, which are drawn between cells, outside their clips.
    bool holds_for(QPainter* painter) const;
    // Whether the painter still moves, blends and fills as it did when this fill was taken; its
    // clip aside.
    bool same_state(QPainter* painter) const;

    // This fill clipped further to `clip`, in painter coordinates: what the painter writes once it
    // clips there too.
    VOKR_PIXEL_FILL within(const QRect& clip) const;

    // Whether `box`, in painter coordinates, lies whole in the image and its clip.
    bool contains(const QRect& box) const;

    // Copies 32-bit pixels in the image's format (opaque ones in any of its formats) into `box`,
    // which must lie whole in the image and its clip; false, with nothing written, where it does not.
    bool copy(const QRect& box, const unsigned char* pixels, qsizetype stride) const;

    // Pixels left..right - 1 of row y of a small image.
    struct RUN {
        short y, left, right;
    };
    // The runs below are of a small image put with its top left at `at` in painter coordinates,
    // `bounds` holding every run; each asks of the runs' pixels inside the image and its clip, all
    // of them where `bounds` lies in one clip rectangle, else those inside the clip's only one
    // (what the painter would write of an image it draws there). Each answers false, having
    // touched nothing, where the clip has more rectangles or no pixel of the runs lies inside.

    // Whether the runs cover pixels of one value, which is then put in `value`.
    bool one_value(const QPoint& at, const QRect& bounds, const std::vector<RUN>& runs, QRgb* value) const;
    // Whether the runs hold what they hold in `pixels`, an image in the painter's format.
    bool same_pixels(const QPoint& at, const QRect& bounds, const std::vector<RUN>& runs, const unsigned char* pixels,
                     qsizetype stride) const;
    // Copies what the runs hold into `pixels`, an image in the painter's format.
    bool read(const QPoint& at, const QRect& bounds, const std::vector<RUN>& runs, unsigned char* pixels,
              qsizetype stride) const;
    // Copies the runs of `pixels`, an image in the painter's format, where one_value() or
    // same_pixels() accepted them.
    void copy(const QPoint& at, const QRect& bounds, const std::vector<RUN>& runs, const unsigned char* pixels,
              qsizetype stride) const;

private:
    static constexpr int MAX_CLIP = 8;
    unsigned char* m_bits = nullptr;
    qsizetype m_stride = 0;
    QPainter* m_painter = nullptr;
    bool m_unclipped = false;
    int m_mode = 0;  // the composition mode
    int m_format = 0;
    QPoint m_offset;                     // the painter's origin in the image
    std::array<QRect, MAX_CLIP> m_clip;  // in the image's pixels
    int m_clips = 0;

    template <typename VISIT>
    bool visible_runs(const QPoint& at, const QRect& bounds, const std::vector<RUN>& runs, VISIT visit) const;
};
