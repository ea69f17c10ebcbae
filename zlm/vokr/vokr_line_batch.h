// One-pixel-wide lines gathered by colour and drawn together, a colour at a time in the order the
// colours were first named: horizontal and vertical ones as rectangles (the raster engine fills
// rectangles far faster than it strokes lines, and one call takes them all), others as lines.
// Where two colours meet the pixel takes the colour drawn last, so a caller gathers lines of
// different colours only where they do not overlap or where that order is the one it wants, and
// draws what it paints over them (texts) after draw(). One buffer for the GUI thread, its memory
// kept from frame to frame.
#pragma once

#include <QColor>
#include <QLine>
#include <QRect>

#include <vector>

class QPainter;

class VOKR_LINE_BATCH {
public:
    static VOKR_LINE_BATCH& shared();

    // The slot of `color`, added after those named so far.
    int color(const QColor& color);
    // The pixels from (x1, y1) to (x2, y2), ends included, drawn with a one-pixel pen.
    void line(int x1, int y1, int x2, int y2, int slot)
    {
        if (x1 == x2 || y1 == y2)
            fill(x1, y1, x2, y2, slot);
        else
            m_slots[slot].lines.push_back(QLine(x1, y1, x2, y2));
    }
    // The rectangle with corners (x1, y1) and (x2, y2), both included.
    void fill(int x1, int y1, int x2, int y2, int slot)
    {
        m_slots[slot].rects.push_back(
            QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2))));
    }
    // Draws and forgets what was gathered, leaving the painter's pen and brush as they were; the
    // colours stay named until finish().
    void draw(QPainter* p);
    // Draws what was gathered and forgets the colours.
    void finish(QPainter* p)
    {
        draw(p);
        m_used = 0;
    }

private:
    struct SLOT {
        QColor color;
        std::vector<QRect> rects;
        std::vector<QLine> lines;
    };
    std::vector<SLOT> m_slots;
    int m_used = 0;
};
