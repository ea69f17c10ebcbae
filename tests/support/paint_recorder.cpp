#include "paint_recorder.h"

#include "pirq.h"

#include <QImage>
#include <QPaintEngine>
#include <QPixmap>
#include <QTextItem>
#include <QTransform>

// Takes every feature, so the painter hands each call over as it was made (a scaled pixmap stays
// a pixmap, not a textured rectangle), and keeps the pen, brush and transform in force.
class PAINT_RECORDER::ENGINE : public QPaintEngine {
public:
    explicit ENGINE(PAINT_RECORDER* device) : QPaintEngine(QPaintEngine::AllFeatures), m_device(device) {}

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState& state) override
    {
        const QPaintEngine::DirtyFlags flags = state.state();
        if (flags & DirtyPen)
            m_pen = state.pen();
        if (flags & DirtyBrush)
            m_brush = state.brush();
        if (flags & DirtyTransform)
            m_transform = state.transform();
    }

    void drawPixmap(const QRectF& r, const QPixmap& pixmap, const QRectF&) override
    {
        m_device->m_pixmaps.push_back({map(r), pirq_find_icon(pixmap), pixmap.cacheKey()});
    }

    using QPaintEngine::drawLines;
    void drawLines(const QLineF* lines, int count) override
    {
        for (int i = 0; i < count; ++i)
            m_device->m_lines.push_back({m_transform.map(lines[i]).toLine(), pen_width(), m_pen.color()});
    }

    using QPaintEngine::drawRects;
    void drawRects(const QRectF* rects, int count) override
    {
        for (int i = 0; i < count; ++i)
            m_device->m_rects.push_back(shape(rects[i]));
    }

    using QPaintEngine::drawEllipse;
    void drawEllipse(const QRectF& r) override { m_device->m_ellipses.push_back(shape(r)); }

    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        m_device->m_texts.push_back({item.text(), m_transform.map(p).toPoint(), m_pen.color()});
    }

    // Paths and polygons are not recorded.
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}

private:
    PAINT_RECORDER* m_device;
    QPen m_pen;
    QBrush m_brush;
    QTransform m_transform;

    QRect map(const QRectF& r) const { return m_transform.mapRect(r).toRect(); }
    int pen_width() const { return m_pen.style() == Qt::NoPen ? 0 : qMax(1, m_pen.width()); }
    SHAPE shape(const QRectF& r) const
    {
        const QColor brush = m_brush.style() == Qt::NoBrush ? QColor() : m_brush.color();
        return {map(r), pen_width(), m_pen.color(), brush};
    }
};

PAINT_RECORDER::PAINT_RECORDER(QSize size) : m_size(size), m_engine(std::make_unique<ENGINE>(this)) {}

PAINT_RECORDER::~PAINT_RECORDER() = default;

QPaintEngine* PAINT_RECORDER::paintEngine() const { return m_engine.get(); }

// Sizes and resolutions as an image's, so texts are laid out as on the canvas's image.
int PAINT_RECORDER::metric(PaintDeviceMetric metric) const
{
    static const QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
    switch (metric) {
    case PdmWidth: return m_size.width();
    case PdmHeight: return m_size.height();
    case PdmWidthMM: return qRound(m_size.width() * 25.4 / image.logicalDpiX());
    case PdmHeightMM: return qRound(m_size.height() * 25.4 / image.logicalDpiY());
    case PdmNumColors: return 0;
    case PdmDepth: return 32;
    case PdmDpiX: return image.logicalDpiX();
    case PdmDpiY: return image.logicalDpiY();
    case PdmPhysicalDpiX: return image.physicalDpiX();
    case PdmPhysicalDpiY: return image.physicalDpiY();
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
    }
    return 0;
}

std::vector<int> PAINT_RECORDER::icons() const
{
    std::vector<int> ids;
    for (const PIXMAP& pixmap : m_pixmaps)
        ids.push_back(pixmap.icon);
    return ids;
}

const PAINT_RECORDER::TEXT* PAINT_RECORDER::find_text(const QString& text) const
{
    for (const TEXT& t : m_texts)
        if (t.text == text)
            return &t;
    return nullptr;
}

void PAINT_RECORDER::clear()
{
    m_pixmaps.clear();
    m_lines.clear();
    m_rects.clear();
    m_ellipses.clear();
    m_texts.clear();
}

void PrintTo(const QPoint& point, std::ostream* out) { *out << '(' << point.x() << ", " << point.y() << ')'; }

void PrintTo(const QRect& rect, std::ostream* out)
{
    *out << '(' << rect.x() << ", " << rect.y() << ' ' << rect.width() << 'x' << rect.height() << ')';
}

void PrintTo(const QLine& line, std::ostream* out)
{
    PrintTo(line.p1(), out);
    *out << "-";
    PrintTo(line.p2(), out);
}

void PrintTo(const PAINT_RECORDER::LINE& line, std::ostream* out)
{
    PrintTo(line.line, out);
    *out << " width " << line.width << ' ' << line.color.name().toStdString();
}

void PrintTo(const PAINT_RECORDER::TEXT& text, std::ostream* out)
{
    *out << '"' << text.text.toStdString() << "\" at ";
    PrintTo(text.baseline, out);
    *out << ' ' << text.color.name().toStdString();
}
