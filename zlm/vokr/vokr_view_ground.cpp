#include "vokr_view_ground.h"

#include <QBrush>
#include <QPainter>

#include <algorithm>

VOKR_VIEW_GROUND::VOKR_VIEW_GROUND(QPainter* painter, const QRect& area, const QBrush& brush, bool whole)
    : m_painter(painter), m_pixels(painter), m_area(area), m_filled(area.bottom()), m_outer(current())
{
    current() = this;
    const bool banded =
        !whole && brush.style() == Qt::SolidPattern && brush.color().alpha() == 255 && m_pixels.holds_for(painter);
    if (!banded) {
        VOKR_PIXEL_FILL::fill_rect(painter, area, brush);
        return;
    }
    m_color = brush.color().rgba();
    m_filled = area.top() - 1;
}

VOKR_VIEW_GROUND::~VOKR_VIEW_GROUND()
{
    reach(m_area.bottom());
    current() = m_outer;
}

VOKR_VIEW_GROUND*& VOKR_VIEW_GROUND::current()
{
    static VOKR_VIEW_GROUND* ground = nullptr;
    return ground;
}

void VOKR_VIEW_GROUND::reach(int bottom)
{
    bottom = std::min(bottom, m_area.bottom());
    if (bottom <= m_filled)
        return;
    const QRect band(QPoint(m_area.left(), m_filled + 1), QPoint(m_area.right(), bottom));
    m_filled = bottom;
    // Between the rows nothing clips, so the painter still fills as when painting began; where it
    // somehow does not, the painter is asked.
    const bool direct = m_pixels.holds_for(m_painter);
    auto fill = [&](const QRect& rect, QRgb color) {
        if (direct)
            m_pixels.fill(rect, color);
        else
            m_painter->fillRect(rect, QColor(color));
    };
    fill(band, m_color);
    // Every kept fill ends below the rows written before; many (a dashed line's dashes) start
    // below this band too and are passed over with one comparison.
    bool ended = false;
    for (const auto& [rect, color] : m_over) {
        if (rect.top() > bottom)
            continue;
        const QRect part(QPoint(std::max(rect.left(), band.left()), std::max(rect.top(), band.top())),
                         QPoint(std::min(rect.right(), band.right()), std::min(rect.bottom(), bottom)));
        if (part.left() <= part.right())
            fill(part, color);
        ended = ended || rect.bottom() <= bottom;
    }
    if (ended)
        m_over.erase(std::remove_if(m_over.begin(), m_over.end(),
                                    [&](const std::pair<QRect, QRgb>& over) { return over.first.bottom() <= bottom; }),
                     m_over.end());
}

bool VOKR_VIEW_GROUND::fill_over(QPainter* painter, const QRect* rects, size_t count, QRgb color)
{
    VOKR_VIEW_GROUND* ground = current();
    if (!ground || ground->m_painter != painter)
        return false;
    if (qAlpha(color) != 255 || !ground->m_pixels.holds_for(painter)) {
        int bottom = ground->m_filled;
        for (size_t i = 0; i < count; ++i)
            bottom = std::max(bottom, rects[i].bottom());
        ground->reach(bottom);
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        const QRect& r = rects[i];
        if (r.top() <= ground->m_filled)
            ground->m_pixels.fill(QRect(r.topLeft(), QPoint(r.right(), std::min(r.bottom(), ground->m_filled))), color);
        if (r.bottom() > ground->m_filled && r.left() <= r.right())
            ground->m_over.emplace_back(
                QRect(QPoint(r.left(), std::max(r.top(), ground->m_filled + 1)), r.bottomRight()), color);
    }
    return true;
}
