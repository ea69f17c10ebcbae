// A paint device that records what is painted on it instead of drawing it: pixmaps with their
// target rectangle and the suite icon they show, lines with their pen, rectangles, ellipses and
// texts with their baseline and colour, all in device coordinates (after the painter's
// transform). Tests assert on geometry exactly, e.g.
//     PAINT_RECORDER recorder;
//     { QPainter painter(&recorder); box->draw(&painter, true, false); }
//     EXPECT_EQ(recorder.icons(), (std::vector<int>{PIRQ_ICON_FOCUS_SELECTION_SHORT, PIRQ_ICON_NODE}));
#pragma once

#include <QColor>
#include <QLine>
#include <QPaintDevice>
#include <QPoint>
#include <QRect>
#include <QString>

#include <memory>
#include <ostream>
#include <vector>

class PAINT_RECORDER : public QPaintDevice {
public:
    struct PIXMAP {
        QRect rect;
        int icon;  // the suite icon's identifier, or -1 for another image
        qint64 cache_key;
    };
    struct LINE {
        QLine line;
        int width;
        QColor color;
        bool operator==(const LINE& o) const { return line == o.line && width == o.width && color == o.color; }
    };
    struct SHAPE {  // a rectangle or an ellipse's bounding rectangle
        QRect rect;
        int pen_width;
        QColor pen_color;
        QColor brush_color;  // invalid without a brush
    };
    struct TEXT {
        QString text;
        QPoint baseline;  // where the first character's baseline begins
        QColor color;
    };

    explicit PAINT_RECORDER(QSize size = QSize(2000, 2000));
    ~PAINT_RECORDER() override;

    QPaintEngine* paintEngine() const override;

    const std::vector<PIXMAP>& pixmaps() const { return m_pixmaps; }
    const std::vector<LINE>& lines() const { return m_lines; }
    const std::vector<SHAPE>& rects() const { return m_rects; }
    const std::vector<SHAPE>& ellipses() const { return m_ellipses; }
    const std::vector<TEXT>& texts() const { return m_texts; }
    // The icons painted, in order.
    std::vector<int> icons() const;
    // The recorded text that is exactly `text`, or null.
    const TEXT* find_text(const QString& text) const;
    void clear();

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    class ENGINE;
    friend class ENGINE;
    QSize m_size;
    std::unique_ptr<ENGINE> m_engine;
    std::vector<PIXMAP> m_pixmaps;
    std::vector<LINE> m_lines;
    std::vector<SHAPE> m_rects;
    std::vector<SHAPE> m_ellipses;
    std::vector<TEXT> m_texts;
};

// Readable failure messages.
void PrintTo(const PAINT_RECORDER::LINE& line, std::ostream* out);
void PrintTo(const PAINT_RECORDER::TEXT& text, std::ostream* out);
void PrintTo(const QRect& rect, std::ostream* out);
void PrintTo(const QPoint& point, std::ostream* out);
void PrintTo(const QLine& line, std::ostream* out);
