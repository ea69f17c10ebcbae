#include "vokr_pixel_fill.h"

#include "vokr_cell_clip.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#ifdef __x86_64__
#include <immintrin.h>
#endif

static_assert(sizeof(wchar_t) == sizeof(QRgb), "a pixel run is filled as wide characters");

VOKR_PIXEL_FILL::VOKR_PIXEL_FILL(QPainter* p)
{
    if (p->hasClipping()) {
        if (const VOKR_PIXEL_FILL* cell = VOKR_CELL_CLIP::pixels(p)) {
            *this = *cell;
            return;
        }
    }
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
    m_painter = p;
    m_unclipped = !p->hasClipping();
    m_mode = p->compositionMode();
    m_format = format;
    m_offset = QPoint(int(t.dx()), int(t.dy()));
    const QRegion system = engine->systemClip();
    QRect cell;
    if (system.rectCount() <= 1 && (!p->hasClipping() || VOKR_CELL_CLIP::current(p, &cell))) {
        // A widget's exposed rectangle, or none, and a cell's rectangle, or none.
        m_clip[0] = system.isEmpty() ? image->rect() : system.boundingRect() & image->rect();
        if (p->hasClipping())
            m_clip[0] &= cell.translated(m_offset);
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

void VOKR_PIXEL_FILL::fill(const QRect* rects, size_t count, QRgb color, int down) const
{
    const int dx = m_offset.x(), dy = m_offset.y() + down;
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

namespace {

// Writes `color` into the pixels x of `pixels` (0 <= x < 64) whose bit x of `bits` is set.
using PUT_WORD = void (*)(QRgb* pixels, uint64_t bits, QRgb color);

void put_word_runs(QRgb* pixels, uint64_t bits, QRgb color)
{
    while (bits) {
        const int from = __builtin_ctzll(bits);
        const uint64_t rest = ~(bits >> from);
        const int length = rest ? __builtin_ctzll(rest) : 64 - from;
        for (int x = from; x < from + length; ++x)
            pixels[x] = color;
        bits &= length + from >= 64 ? 0 : ~uint64_t(0) << (from + length);
    }
}

#ifdef __x86_64__
// Sixteen pixels a store, the stores masked by the bits: a clear bit's pixel is neither written
// nor touched.
__attribute__((target("avx512f"))) void put_word_avx512(QRgb* pixels, uint64_t bits, QRgb color)
{
    const __m512i value = _mm512_set1_epi32(int(color));
    for (int i = 0; i < 4; ++i, bits >>= 16)
        if (bits & 0xffff)
            _mm512_mask_storeu_epi32(pixels + 16 * i, __mmask16(bits & 0xffff), value);
}

// Eight pixels a store, the bits spread to a lane each.
__attribute__((target("avx2"))) void put_word_avx2(QRgb* pixels, uint64_t bits, QRgb color)
{
    const __m256i value = _mm256_set1_epi32(int(color));
    const __m256i lanes = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
    for (int i = 0; i < 8; ++i, bits >>= 8)
        if (bits & 0xff) {
            const __m256i byte = _mm256_set1_epi32(int(bits & 0xff));
            const __m256i chosen = _mm256_cmpeq_epi32(_mm256_and_si256(byte, lanes), lanes);
            _mm256_maskstore_epi32(reinterpret_cast<int*>(pixels + 8 * i), chosen, value);
        }
}
#endif

const PUT_WORD PUT_WORD_BITS = [] {
#ifdef __x86_64__
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f"))
        return &put_word_avx512;
    if (__builtin_cpu_supports("avx2"))
        return &put_word_avx2;
#endif
    return &put_word_runs;
}();

// The bits of columns from..to (from <= to) in word k, 64 columns a word.
uint64_t columns_in_word(int k, int from, int to)
{
    const int lo = std::max(from - 64 * k, 0), hi = std::min(to - 64 * k, 63);
    return lo > hi ? 0 : (~uint64_t(0) << lo) & (~uint64_t(0) >> (63 - hi));
}

}  // namespace

void VOKR_PIXEL_FILL::fill_columns(const uint64_t* mask, int left, int count, int top, int bottom, QRgb color) const
{
    const int x0 = left + m_offset.x();  // column 0 in the image's pixels
    for (int c = 0; c < m_clips; ++c) {
        const QRect& clip = m_clip[c];
        const int from = std::max(clip.left() - x0, 0), to = std::min(clip.right() - x0, count - 1);
        const int y0 = std::max(top + m_offset.y(), clip.top()), y1 = std::min(bottom + m_offset.y(), clip.bottom());
        if (from > to || y0 > y1)
            continue;
        for (int k = from / 64; k <= to / 64; ++k) {
            const uint64_t bits = mask[k] & columns_in_word(k, from, to);
            if (!bits)
                continue;
            // The word's first pixel, where its lowest set bit lies in the image, and its bits from it.
            const int first = __builtin_ctzll(bits);
            unsigned char* line = m_bits + y0 * m_stride + qsizetype(x0 + 64 * k + first) * qsizetype(sizeof(QRgb));
            for (int y = y0; y <= y1; ++y, line += m_stride)
                PUT_WORD_BITS(reinterpret_cast<QRgb*>(line), bits >> first, color);
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

void VOKR_PIXEL_FILL::fill_rect(QPainter* painter, const QRect& rect, const QBrush& brush)
{
    if (brush.style() == Qt::SolidPattern)
        fill_rect(painter, rect, brush.color());
    else
        painter->fillRect(rect, brush);
}

std::array<QRect, 4> VOKR_PIXEL_FILL::outline(const QRect& cell)
{
    const int l = cell.left(), t = cell.top(), r = cell.right(), b = cell.bottom();
    return {QRect(QPoint(l, t), QPoint(r, t)), QRect(QPoint(l, b), QPoint(r, b)),
            QRect(QPoint(l, t + 1), QPoint(l, b - 1)), QRect(QPoint(r, t + 1), QPoint(r, b - 1))};
}

bool VOKR_PIXEL_FILL::holds_for(QPainter* p) const { return m_unclipped && !p->hasClipping() && same_state(p); }

bool VOKR_PIXEL_FILL::same_state(QPainter* p) const
{
    if (!valid() || p != m_painter || p->compositionMode() != m_mode || p->opacity() != 1.0 ||
        p->testRenderHint(QPainter::Antialiasing))
        return false;
    const QTransform& t = p->deviceTransform();
    return t.type() <= QTransform::TxTranslate && t.dx() == m_offset.x() && t.dy() == m_offset.y();
}

VOKR_PIXEL_FILL VOKR_PIXEL_FILL::within(const QRect& clip) const
{
    VOKR_PIXEL_FILL inner = *this;
    inner.m_unclipped = false;
    inner.m_clips = 0;
    for (int c = 0; c < m_clips; ++c) {
        const QRect r = m_clip[c] & clip.translated(m_offset);
        if (!r.isEmpty())
            inner.m_clip[inner.m_clips++] = r;
    }
    return inner;
}

namespace {

// Whether the clip rectangles hold the whole of `box`, in the image's pixels, in one of them.
bool inside(const QRect* clip, int clips, const QRect& box)
{
    return !box.isEmpty() && std::any_of(clip, clip + clips, [&](const QRect& c) { return c.contains(box); });
}

// Whether the `count` pixels from `row` all hold `value`: four at a step, or-ing their differences
// from it, one test at the end.
bool all_of_value(const QRgb* row, int count, QRgb value)
{
    int x = 0;
    QRgb differs = 0;
#ifdef __SSE2__
    const __m128i wanted = _mm_set1_epi32(int(value));
    __m128i apart = _mm_setzero_si128();
    for (; x + 4 <= count; x += 4)
        apart = _mm_or_si128(apart, _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), wanted));
    differs = _mm_movemask_epi8(_mm_cmpeq_epi32(apart, _mm_setzero_si128())) != 0xffff;
#endif
    for (; x < count; ++x)
        differs |= row[x] ^ value;
    return differs == 0;
}

}  // namespace

bool VOKR_PIXEL_FILL::contains(const QRect& box) const
{
    return inside(m_clip.data(), m_clips, box.translated(m_offset));
}

namespace {

// Copies `rows` rows of `width` pixels from `from` to `to`.
using COPY_ROWS = void (*)(unsigned char* to, qsizetype to_stride, const unsigned char* from, qsizetype from_stride,
                           int width, int rows);

void copy_rows(unsigned char* to, qsizetype to_stride, const unsigned char* from, qsizetype from_stride, int width,
               int rows)
{
    for (int y = 0; y < rows; ++y, to += to_stride, from += from_stride)
        std::memcpy(to, from, size_t(width) * sizeof(QRgb));
}

#ifdef __x86_64__
// A shaded cell's or an icon's rows are a few dozen pixels: sixteen pixels a load and a store, the
// last ones masked, cost a fraction of a call to the C library's copy per row.
__attribute__((target("avx512f"))) void copy_rows_avx512(unsigned char* to, qsizetype to_stride,
                                                         const unsigned char* from, qsizetype from_stride, int width,
                                                         int rows)
{
    constexpr int WIDEST = 256;  // wider rows go to the C library's copy
    if (width > WIDEST) {
        copy_rows(to, to_stride, from, from_stride, width, rows);
        return;
    }
    const __mmask16 last = __mmask16((1u << (width % 16)) - 1);
    for (int y = 0; y < rows; ++y, to += to_stride, from += from_stride) {
        QRgb* out = reinterpret_cast<QRgb*>(to);
        const QRgb* in = reinterpret_cast<const QRgb*>(from);
        int x = 0;
        for (; x + 16 <= width; x += 16)
            _mm512_storeu_si512(out + x, _mm512_loadu_si512(in + x));
        if (last)
            _mm512_mask_storeu_epi32(out + x, last, _mm512_maskz_loadu_epi32(last, in + x));
    }
}
#endif

const COPY_ROWS COPY_ROWS_OF = [] {
#ifdef __x86_64__
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f"))
        return &copy_rows_avx512;
#endif
    return &copy_rows;
}();

}  // namespace

bool VOKR_PIXEL_FILL::copy(const QRect& box, const unsigned char* pixels, qsizetype stride) const
{
    const QRect to = box.translated(m_offset);
    if (!inside(m_clip.data(), m_clips, to))
        return false;
    COPY_ROWS_OF(m_bits + to.top() * m_stride + to.left() * qsizetype(sizeof(QRgb)), m_stride, pixels, stride,
                 to.width(), to.height());
    return true;
}

template <typename VISIT>
bool VOKR_PIXEL_FILL::visible_runs(const QPoint& at, const QRect& bounds, const std::vector<RUN>& runs,
                                   VISIT visit) const
{
    const QPoint to = at + m_offset;
    if (runs.empty())
        return false;
    auto pixel = [&](int y, int x) { return reinterpret_cast<QRgb*>(m_bits + (to.y() + y) * m_stride) + to.x() + x; };
    if (inside(m_clip.data(), m_clips, bounds.translated(to))) {
        for (const RUN& run : runs)
            if (!visit(pixel(run.y, run.left), run.y, run.left, run.right - run.left))
                return false;
        return true;
    }
    if (m_clips != 1)
        return false;
    const QRect& clip = m_clip[0];
    bool any = false;
    for (const RUN& run : runs) {
        const int y = to.y() + run.y;
        const int left = std::max(int(run.left), clip.left() - to.x());
        const int right = std::min(int(run.right), clip.right() + 1 - to.x());
        if (y < clip.top() || y > clip.bottom() || left >= right)
            continue;
        if (!visit(pixel(run.y, left), run.y, left, right - left))
            return false;
        any = true;
    }
    return any;
}

bool VOKR_PIXEL_FILL::one_value(const QPoint& at, const QRect& bounds, const std::vector<RUN>& runs, QRgb* value) const
{
    bool first = true;
    return visible_runs(at, bounds, runs, [&](const QRgb* pixels, int, int, int count) {
        if (first)
            *value = *pixels, first = false;
        return all_of_value(pixels, count, *value);
    });
}

bool VOKR_PIXEL_FILL::same_pixels(const QPoint& at, const QRect& bounds, const std::vector<RUN>& runs,
                                  const unsigned char* pixels, qsizetype stride) const
{
    return visible_runs(at, bounds, runs, [&](const QRgb* in_image, int y, int x, int count) {
        return std::memcmp(in_image, pixels + y * stride + x * qsizetype(sizeof(QRgb)), size_t(count) * sizeof(QRgb)) ==
               0;
    });
}

bool VOKR_PIXEL_FILL::read(const QPoint& at, const QRect& bounds, const std::vector<RUN>& runs, unsigned char* pixels,
                           qsizetype stride) const
{
    return visible_runs(at, bounds, runs, [&](const QRgb* in_image, int y, int x, int count) {
        std::memcpy(pixels + y * stride + x * qsizetype(sizeof(QRgb)), in_image, size_t(count) * sizeof(QRgb));
        return true;
    });
}

void VOKR_PIXEL_FILL::copy(const QPoint& at, const QRect& bounds, const std::vector<RUN>& runs,
                           const unsigned char* pixels, qsizetype stride) const
{
    visible_runs(at, bounds, runs, [&](QRgb* in_image, int y, int x, int count) {
        std::memcpy(in_image, pixels + y * stride + x * qsizetype(sizeof(QRgb)), size_t(count) * sizeof(QRgb));
        return true;
    });
}
