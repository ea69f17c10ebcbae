#include "vokr_cell_clip.h"

#include <QPaintEngine>

// The state is copied from the painter as it is built: a default font would ask the application
// for its own.
VOKR_CELL_CLIP::VOKR_CELL_CLIP(QPainter* painter, const QRect& clip, const VOKR_PIXEL_FILL* pixels)
    : m_painter(painter), m_saved(painter->hasClipping() || painter->paintEngine()->type() != QPaintEngine::Raster),
      m_pen(painter->pen()), m_brush(painter->brush()), m_font(painter->font()), m_background(painter->background()),
      m_background_mode(painter->backgroundMode()), m_hints(painter->renderHints()), m_clip(clip), m_outer(innermost())
{
    if (m_saved)
        painter->save();
    else if (pixels && pixels->holds_for(painter))
        m_pixels = pixels->within(clip);
    painter->setClipRect(clip);
    innermost() = this;
}

VOKR_CELL_CLIP*& VOKR_CELL_CLIP::innermost()
{
    static VOKR_CELL_CLIP* clip = nullptr;
    return clip;
}

bool VOKR_CELL_CLIP::current(QPainter* painter, QRect* clip)
{
    const VOKR_CELL_CLIP* cell = innermost();
    if (!cell || cell->m_painter != painter || cell->m_saved || painter->clipBoundingRect() != QRectF(cell->m_clip))
        return false;
    *clip = cell->m_clip;
    return true;
}

const VOKR_PIXEL_FILL* VOKR_CELL_CLIP::pixels(QPainter* painter)
{
    const VOKR_CELL_CLIP* cell = innermost();
    QRect clip;
    return cell && cell->m_pixels && current(painter, &clip) && cell->m_pixels->same_state(painter) ? &*cell->m_pixels
                                                                                                    : nullptr;
}

VOKR_CELL_CLIP::~VOKR_CELL_CLIP()
{
    innermost() = m_outer;
    QPainter* p = m_painter;
    if (m_saved) {
        p->restore();
        return;
    }
    p->setClipping(false);  // a later clip replaces the one left behind, as where none was set
    // Only what changed is set again: setting the painter's state costs more than comparing it.
    if (p->pen() != m_pen)
        p->setPen(m_pen);
    if (p->brush() != m_brush)
        p->setBrush(m_brush);
    if (p->font() != m_font)
        p->setFont(m_font);
    if (p->background() != m_background)
        p->setBackground(m_background);
    if (p->backgroundMode() != m_background_mode)
        p->setBackgroundMode(m_background_mode);
    if (p->renderHints() != m_hints) {
        p->setRenderHints(p->renderHints(), false);
        p->setRenderHints(m_hints);
    }
}
