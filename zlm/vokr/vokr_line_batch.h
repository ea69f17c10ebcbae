// One-pixel-wide lines and filled rectangles gathered by colour and drawn together, a colour at a
// time in the order the colours were first named. Where the painter puts a pixel on a whole device
// pixel the lines become rectangles, all of a colour filled in one call: the raster engine fills
// rectangles far faster than it strokes lines. A horizontal or vertical line is its own rectangle;
// a slanted one takes the pixels the engine gives it, cut into rows. Where two colours meet the
// pixel takes the colour drawn last, so a caller gathers lines of different colours only where
// they do not overlap or where that order is the one it wants, and draws what it paints over them
// (texts) after draw(). One buffer for the GUI thread, its memory kept from frame to frame.
#pragma once

#include <QBrush>
#include <QColor>
#include <QLine>
#include <QRect>

#include <algorithm>
#include <vector>

class QPainter;

class VOKR_LINE_BATCH {
public:
    static VOKR_LINE_BATCH& shared();
    // Whether the painter is the raster engine putting fills and one-pixel lines on whole device
    // pixels: moved by whole pixels at most, not antialiased. There a line's pixels may be filled
    // as rectangles; a printer, a file of shapes or a scaled painter keeps its lines.
    static bool raster_pixels(QPainter* painter);

    // The slot of `color`, added after those named so far.
    int color(const QColor& color);
    // The colour of a slot, and the rectangles gathered in it so far: a caller that draws the same
    // again may keep them, and add them back.
    QRgb rgb(int slot) const { return m_slots[slot].color.rgba(); }
    std::vector<QRect>& fills(int slot) { return m_slots[slot].fills; }
    // The line from (x1, y1) to (x2, y2) as a one-pixel pen draws it; a horizontal or vertical one
    // is its own rectangle on any device, kept as one at once.
    void line(int x1, int y1, int x2, int y2, int slot)
    {
        SLOT& s = m_slots[slot];
        if (x1 == x2 || y1 == y2)
            add_rect(QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2))),
                     s.opaque, &s.fills);
        else
            s.lines.push_back(QLine(x1, y1, x2, y2));
    }
    // The two lines of a crossing over dx columns from x: (x, y1) to (x + dx, y2) and (x, y2) to
    // (x + dx, y1). In an opaque colour on whole raster pixels it is filled as the pixels of both;
    // `railed` where rails in the slot cover rows y1 and y2 from x to x + dx, which its pixels on
    // those rows then leave to them.
    void cross(int x, int y1, int y2, int dx, int slot, bool railed = false)
    {
        m_slots[slot].crosses.push_back({x, y1, y2, dx, railed});
    }
    // The rectangle with corners (x1, y1) and (x2, y2), both included.
    void fill(int x1, int y1, int x2, int y2, int slot)
    {
        m_slots[slot].fills.push_back(
            QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2))));
    }
    // fill() where the caller knows x1 <= x2 and y1 <= y2, as a run of columns left to right does.
    void fill_ordered(int x1, int y1, int x2, int y2, int slot)
    {
        m_slots[slot].fills.push_back(QRect(QPoint(x1, y1), QPoint(x2, y2)));
    }
    // Two horizontal lines from x1 to x2, at y1 and at y2 (the edges of a bus's segment): where they
    // continue the last two named, at the same rows in the same slot from the column after their
    // end, they lengthen them, kept as one rectangle each without a test of what else was gathered.
    void rails(int x1, int x2, int y1, int y2, int slot)
    {
        const int left = std::min(x1, x2), right = std::max(x1, x2);
        if (left == m_rails.right + 1 && slot == m_rails.slot && y1 == m_rails.y1 && y2 == m_rails.y2) {
            m_rails.right = right;
            return;
        }
        add_rails();
        m_rails = {left, right, y1, y2, slot};
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
    // Forgets the colours of a batch that gathered nothing since it was last drawn.
    void release() { m_used = 0; }

    // What draw() put down while a tape is set, in order: each colour's rectangles as they were
    // filled, and marks of the caller's own steps between them (texts it drew over them). A caller
    // that keeps a drawing puts the same down again from it; `whole` is false where anything was
    // left to the painter (lines, a translucent colour, a device not filled directly), which the
    // tape then does not hold.
    struct TAPE {
        struct STEP {
            QRgb rgb = 0;
            size_t first = 0, count = 0;  // its rectangles in `rects`
            int mark = -1;                // the caller's step of that number, in place of rectangles
        };
        std::vector<STEP> steps;
        std::vector<QRect> rects;  // every step's, one after the other: one buffer, its room kept
        bool whole = true;
        // Empty again, its room kept.
        void clear()
        {
            steps.clear();
            rects.clear();
            whole = true;
        }
    };
    void set_tape(TAPE* tape) { m_tape = tape; }
    TAPE* tape() const { return m_tape; }

    // Where the pixels of slanted lines are gathered, in the painter's coordinates: the device and
    // the clip (null where lines stay lines), the device's last row and the clip's.
    struct AREA {
        static constexpr int NONE = -2, WHOLE = -1;
        QRect bounds;
        int device_bottom = 0, clip_bottom = 0;
        // NONE where a slanted shape over left..right and top..bottom is left to the engine, WHOLE
        // where all its rows are drawn, else the rows below its top the device keeps.
        int rows(int left, int top, int right, int bottom) const;
        bool operator==(const AREA& o) const
        {
            return bounds == o.bounds && device_bottom == o.device_bottom && clip_bottom == o.clip_bottom;
        }
    };
    // The area of the painter's device and clip.
    static AREA area(QPainter* p);

private:
    struct CROSS {
        int x, y1, y2, dx;
        bool railed;
    };
    struct RAILS {
        int left, right, y1, y2, slot;
    };
    struct SLOT {
        QColor color;
        QBrush brush;        // of the colour, kept while the slot keeps it
        bool opaque = true;  // the colour's alpha is 255
        std::vector<QRect> fills;
        std::vector<QLine> lines;
        std::vector<CROSS> crosses;
    };
    // Appends a horizontal or vertical line's rectangle to `rects`, joined to one it extends: in an
    // opaque colour one of the last few, else the last one where it continues it to the right.
    static void add_rect(const QRect& r, bool opaque, std::vector<QRect>* rects);
    // Appends the rows of pixels of `line` to `rects`, a horizontal or vertical one as add_rect()
    // does; false when the line is not drawn that way.
    static bool add_pixels(const QLine& line, const AREA& area, bool opaque, std::vector<QRect>* rects);
    // Appends the pixels of both lines of a slanted crossing as rectangles; false when it is not
    // drawn that way.
    static bool add_crossing(const CROSS& cross, const AREA& area, std::vector<QRect>* rects);

    // Gathers the rails named last.
    void add_rails();

    std::vector<SLOT> m_slots;
    RAILS m_rails{0, 0, 0, 0, -1};
    std::vector<QLine> m_left;  // lines drawn as lines
    int m_used = 0;
    TAPE* m_tape = nullptr;
};
