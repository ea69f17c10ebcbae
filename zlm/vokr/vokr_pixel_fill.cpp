#include "vokr_pixel_fill.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <cwchar>

static_assert(sizeof(wchar_t) == sizeof(QRgb), "a pixel run is filled as wide characters");

VOKR_PIXEL_FILL::VOKR_PIXEL_FILL(QPainter* p)
{
    QPaintEngine* engine = p->paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || p->testRenderHint(QPainter::Antialiasing) ||
        p->opacity() != 1.0 ||
        (p->compositionMode() != QPainter::CompositionMode_SourceOver &&
         p->compositionMode() != QPainter::CompositionMode_Source))
        return;
    const QTransform t = p->deviceTransform();
    if (t.type() > QTransform::TxTranslate || t.dx() != std::floor(t.dx()) || t.dy() != std::floor(t.dy()))
        return;
    QPaintDevice* device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return;
    const QImage* image = static_cast<const QImage*>(device);
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        return;
    m_offset = QPoint(int(t.dx()), int(t.dy()));
    const QRegion system = engine->systemClip();
    if (!p->hasClipping() && system.rectCount() <= 1) {  // a widget's exposed rectangle, or none
        m_clip[0] = system.isEmpty() ? image->rect() : system.boundingRect() & image->rect();
        m_clips = 1;
    } else {
        QRegion clip = system.isEmpty() ? QRegion(image->rect()) : system & image->rect();
        if (p->hasClipping())
            clip &= p->clipRegion().translated(m_offset);
        if (clip.rectCount() > MAX_CLIP)
            return;
        for (const QRect& r : clip)
            m_clip[m_clips++] = r;
    }
    // The engine writes into the bits it took when painting began: constBits() reaches them
    // without a copy, where bits() would detach an image shared meanwhile.
    m_bits = const_cast<unsigned char*>(image->constBits());
    m_stride = image->bytesPerLine();
}

namespace {

// Rows top..bottom of columns left..left + width - 1: short runs as plain stores, longer ones as
// the C library's vectorised fill, whose call costs more than a few stores.
void fill_rows(unsigned char* line, qsizetype stride, int rows, int width, QRgb color)
{
    if (width == 1) {  // a column: one store a row
        for (int y = 0; y < rows; ++y, line += stride)
            *reinterpret_cast<QRgb*>(line) = color;
        return;
    }
    if (width <= 8) {
        for (int y = 0; y < rows; ++y, line += stride) {
            QRgb* pixel = reinterpret_cast<QRgb*>(line);
            for (int x = 0; x < width; ++x)
                pixel[x] = color;
        }
        return;
    }
    for (int y = 0; y < rows; ++y, line += stride)
        std::wmemset(reinterpret_cast<wchar_t*>(line), wchar_t(color), size_t(width));
}

}  // namespace

void VOKR_PIXEL_FILL::fill(const QRect* rects, size_t count, QRgb color) const
{
    const int dx = m_offset.x(), dy = m_offset.y();
    for (int c = 0; c < m_clips; ++c) {
        const int cl = m_clip[c].left(), ct = m_clip[c].top(), cr = m_clip[c].right(), cb = m_clip[c].bottom();
        for (size_t i = 0; i < count; ++i) {
            const QRect& r = rects[i];
            const int left = std::max(r.left() + dx, cl), right = std::min(r.right() + dx, cr);
            const int top = std::max(r.top() + dy, ct), bottom = std::min(r.bottom() + dy, cb);
            if (left > right || top > bottom)
                continue;
            fill_rows(m_bits + top * m_stride + left * qsizetype(sizeof(QRgb)), m_stride, bottom - top + 1,
                      right - left + 1, color);
        }
    }
}

void VOKR_PIXEL_FILL::fill_rect(QPainter* painter, const QRect& rect, const QColor& color)
{
    const VOKR_PIXEL_FILL pixels(painter);
    if (pixels.valid() && color.alpha() == 255)
        pixels.fill(rect, color.rgba());
    else
        painter->fillRect(rect, color);
}
