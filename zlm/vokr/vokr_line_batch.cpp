#include "vokr_line_batch.h"

#include <QPainter>

VOKR_LINE_BATCH& VOKR_LINE_BATCH::shared()
{
    static VOKR_LINE_BATCH batch;
    return batch;
}

int VOKR_LINE_BATCH::color(const QColor& color)
{
    for (int i = 0; i < m_used; ++i)
        if (m_slots[i].color == color)
            return i;
    if (m_used == int(m_slots.size()))
        m_slots.emplace_back();
    m_slots[m_used].color = color;
    return m_used++;
}

void VOKR_LINE_BATCH::draw(QPainter* p)
{
    const QPen pen = p->pen();
    const QBrush brush = p->brush();
    for (int i = 0; i < m_used; ++i) {
        SLOT& slot = m_slots[i];
        if (!slot.rects.empty()) {
            p->setPen(Qt::NoPen);
            p->setBrush(slot.color);
            p->drawRects(slot.rects.data(), int(slot.rects.size()));
            slot.rects.clear();
        }
        if (!slot.lines.empty()) {
            p->setPen(QPen(slot.color, 1));
            p->drawLines(slot.lines.data(), int(slot.lines.size()));
            slot.lines.clear();
        }
    }
    p->setPen(pen);
    p->setBrush(brush);
}
