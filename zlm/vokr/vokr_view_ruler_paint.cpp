// The node list view's sense of time: the node list title, the time ruler with the time bars
// and their labels, the tick strips of the header rows, the trigger and segment markers, the
// lines where the data begins and ends, and the status text that stands in for the waveforms
// when there are no samples. Tick marks gather as rectangles of one colour, the lowest two pixels
// of neighbouring marks as one band; where samples are a pixel wide or narrower only the labelled
// and half-step ticks are visited one by one. On whole raster pixels the vertical lines are filled
// as their pixels; a printer or a scaled painter draws them as lines.
#include "vokr_view.h"

#include "ksm.h"
#include "pirq.h"
#include "vokr_line_batch.h"
#include "vokr_pixel_fill.h"
#include "vokr_tx_manager.h"
#include "vokr_view_ground.h"

#include <QCoreApplication>
#include <QHash>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <vector>

namespace {

constexpr int HEADER_ROW_1 = 1, HEADER_ROW_2 = 2;
constexpr int ALIGN_CENTRE = Qt::AlignHCenter | Qt::AlignVCenter;
constexpr int ALIGN_LEFT_CENTRE = Qt::AlignLeft | Qt::AlignVCenter;
constexpr int ALIGN_LEFT_TOP = Qt::AlignLeft | Qt::AlignTop;
constexpr int FACE = 22, OUTLINE = 26, HINT_PEN = 27, BAR = 299, TRIGGER = 300, DATA_END = 301, GRID = 303;
constexpr int TIME_COLOR = 310, SEGMENT_COLOR = 311;
constexpr int TITLE_FONT = 54, MASTER_TIME_FONT = 61, TIME_FONT = 62, MASTER_SEGMENT_FONT = 63, SEGMENT_FONT = 64;

// The text's bounding rectangle in the painter's font, 2 pixels wider, centred on x and kept
// inside the ruler, with the ruler's top and bottom.
QRect label_rect(QPainter* painter, const QRect& ruler, const QString& text, int x)
{
    QRect r = vokr_text_bounds(painter, text);
    r.setWidth(r.width() + 2);
    r.moveLeft(x - r.width() / 2);
    r.setTop(ruler.top());
    r.setBottom(ruler.bottom());
    if (r.right() > ruler.right())
        r.moveRight(ruler.right());
    else if (r.left() < ruler.left())
        r.moveLeft(ruler.left());
    return r & ruler;
}

// A label in the painter's font.
void draw_label(QPainter* painter, const QRect& rect, const QString& text, int color)
{
    painter->setPen(pirq_get_color(color));
    vokr_draw_line_text(painter, rect, ALIGN_LEFT_TOP, text);
}

// `columns` vertical lines side by side from (x, y1) to (x, y2) and to their right, in a one-pixel
// pen of `color`; the painter's pen is left as the lines' where they stay lines. In opaque
// background mode the engine draws a line of one point as nothing: that one stays a line.
void draw_vertical_lines(QPainter* painter, int x, int y1, int y2, int columns, const QColor& color)
{
    if (VOKR_LINE_BATCH::raster_pixels(painter) && (y1 != y2 || painter->backgroundMode() == Qt::TransparentMode)) {
        const QRect lines(QPoint(x, std::min(y1, y2)), QPoint(x + columns - 1, std::max(y1, y2)));
        if (!VOKR_VIEW_GROUND::fill_over(painter, &lines, 1, color.rgba()))
            VOKR_PIXEL_FILL::fill_rect(painter, lines, color);
        return;
    }
    painter->setPen(color);
    for (int i = 0; i < columns; ++i)
        painter->drawLine(x + i, y1, x + i, y2);
}

QPen dashed(const QColor& color)
{
    QPen pen(color, 1);
    pen.setStyle(Qt::DashLine);
    return pen;
}

// The rows a dashed one-pixel pen puts down on a vertical line `length` rows below its first
// one, as runs counted from that row: drawn once by the raster engine on a small image, which
// starts the dashes where the line starts wherever it lies. A bounded cache, GUI thread only.
const std::vector<QRect>& dash_runs(int length)
{
    static QHash<int, std::vector<QRect>> cache;
    auto found = cache.constFind(length);
    if (found != cache.constEnd())
        return *found;
    if (cache.size() > 256)
        cache.clear();
    QImage image(3, length + 3, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setPen(dashed(Qt::white));
    painter.drawLine(1, 1, 1, length + 1);
    painter.end();
    std::vector<QRect> runs;
    for (int y = 0; y < image.height(); ++y) {
        if (qRed(image.pixel(1, y)) == 0)
            continue;
        if (!runs.empty() && runs.back().bottom() == y - 2)
            runs.back().setBottom(y - 1);
        else
            runs.push_back(QRect(0, y - 1, 1, 1));
    }
    return *cache.insert(length, runs);
}

// The vertical line from (x, y1) down to (x, y2) in a dashed one-pixel pen of `color`. On whole
// raster pixels, in transparent background mode and where it starts inside the device and the
// clip with a pixel to spare, its dashes are filled as rectangles, cut where the line is cut;
// elsewhere it stays a line.
void draw_dashed_line(QPainter* painter, int x, int y1, int y2, const QColor& color)
{
    QRect bounds;
    if (VOKR_LINE_BATCH::raster_pixels(painter) && painter->backgroundMode() == Qt::TransparentMode &&
        y2 - y1 <= 4096) {
        const QPaintDevice* device = painter->device();
        bounds = painter->deviceTransform().inverted().mapRect(QRect(0, 0, device->width(), device->height()));
        if (painter->hasClipping())
            bounds &= painter->clipBoundingRect().toAlignedRect();
    }
    if (y2 <= y1 || !bounds.contains(QRect(QPoint(x - 1, y1 - 1), QPoint(x + 1, y1 + 1)))) {
        painter->setPen(dashed(color));
        painter->drawLine(x, y1, x, y2);
        return;
    }
    static std::vector<QRect> rects;
    rects.clear();
    for (const QRect& run : dash_runs(y2 - y1))
        rects.push_back(run.translated(x, y1));
    if (VOKR_VIEW_GROUND::fill_over(painter, rects.data(), rects.size(), color.rgba()))
        return;
    painter->setPen(Qt::NoPen);
    painter->setBrush(color);
    painter->drawRects(rects.data(), int(rects.size()));
}

// The first multiple of `step` (counted from `base`) at or after `from`.
long long first_multiple(long long from, long long base, long long step)
{
    const long long k = (from - base + (from >= base ? step - 1 : 0)) / step;
    return base + k * step;
}

}  // namespace

// ---- queries of the time axis ---------------------------------------------------------------------------

int VOKR_VIEW::trigger_sample() const
{
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    return log ? std::max(log->get_data_trigger_position(), 0) : 0;
}

bool VOKR_VIEW::has_fixed_segments() const
{
    return get_row_height(HEADER_ROW_1) > 0 && m_tx_manager->get_data_segment_size() != 0;
}

bool VOKR_VIEW::has_logged_segments() const
{
    return get_row_height(HEADER_ROW_1) > 0 && m_tx_manager->get_data_segment_size() == 0;
}

bool VOKR_VIEW::is_one_segment_data() const
{
    return m_tx_manager->is_data_mode(-1) && m_tx_manager->get_data_segment_size() == 1 &&
           get_row_height(HEADER_ROW_1) > 0;
}

// ---- title row ------------------------------------------------------------------------------------------

void VOKR_VIEW::draw_node_list_title(const QRect& rect, QPainter* painter)
{
    VOKR_TX_MANAGER* m = m_tx_manager;
    QRect r = rect;
    r.setRight(width() - 1);
    r.translate(-2, -2);
    // The outline shows below the face: its row alone is filled where both are opaque colours.
    const QBrush outline = pirq_get_brush(OUTLINE), face = pirq_get_brush(FACE);
    auto opaque = [](const QBrush& b) { return b.style() == Qt::SolidPattern && b.color().alpha() == 255; };
    if (opaque(outline) && opaque(face))
        VOKR_PIXEL_FILL::fill_rect(painter, QRect(r.bottomLeft(), r.bottomRight()), outline);
    else
        VOKR_PIXEL_FILL::fill_rect(painter, r, outline);
    VOKR_PIXEL_FILL::fill_rect(painter, r.adjusted(0, 0, 0, -1), face);
    QString text;
    if (m->is_advanced_mode(nullptr))
        text = "Node List:";
    else if (m->is_data_mode(-1) && m->get_data_log())
        text = QString::fromLocal8Bit(m->get_data_log()->get_name());
    if (text.isEmpty() && m->get_trigger_object())
        text = QString::fromLocal8Bit(m->get_trigger_object()->get_name());
    if (text.isEmpty() && m->get_signal_set())
        text = QString::fromLocal8Bit(m->get_signal_set());
    if (text.isEmpty() && m->get_tx_instance())
        text = QString::fromLocal8Bit(m->get_tx_instance()->get_name());
    if (text.isEmpty())
        m->get_top_entity_name(&text);
    painter->save();
    painter->setFont(pirq_get_font(TITLE_FONT));
    painter->setPen(pirq_get_pen(18));
    vokr_draw_line_text(painter, r, ALIGN_LEFT_CENTRE, "   " + text);
    painter->restore();
}

void VOKR_VIEW::draw_time_ruler(const QRect& rect, QPainter* painter)
{
    QRect ruler(QPoint(rect.left() - 2, rect.top() - 2), QPoint(rect.right(), rect.bottom() - 1));
    if (ruler.isEmpty())
        return;
    painter->save();
    VOKR_PIXEL_FILL::fill_rect(painter, ruler, pirq_get_brush(FACE));
    draw_vertical_lines(painter, ruler.left(), ruler.top(), ruler.bottom(), 1, pirq_get_color(OUTLINE));
    ruler.setLeft(ruler.left() + 1);
    const int step = get_ruler_step();
    if (ruler.isEmpty() || step == 0) {
        painter->restore();
        return;
    }
    const int first = get_first_visible_sample(), last = get_visible_end_sample();
    const int below = is_one_segment_data() ? 0 : 20;
    if (VOKR_TX_MANAGER::cfg_show_vert_grid()) {
        const bool tall = !m_tx_manager->is_setup_mode() && get_row_height(HEADER_ROW_1) > 0 &&
                          get_row_height(HEADER_ROW_2) > 0 && m_timebar_count > 0;
        const int y0 = ruler.top() + (tall ? 38 : 23) + below + get_row_height(HEADER_ROW_1);
        const QColor grid = pirq_get_color(GRID);
        for (long long s = first_multiple(first, 0, step); s <= last; s += step)
            draw_vertical_lines(painter, get_sample_x(int(s)), y0, height(), 1, grid);
    }
    if (m_timebar_count == 0) {
        painter->setPen(pirq_get_pen(HINT_PEN));
        vokr_draw_line_text(painter, ruler, ALIGN_CENTRE, QStringLiteral("click to insert time bar"));
    } else {
        painter->setBackgroundMode(Qt::OpaqueMode);
        painter->setBackground(pirq_get_brush(FACE));
        const int label_y = ruler.top() + fontMetrics().height();
        for (int i = 1; i <= m_timebar_count; ++i)
            draw_time_bar(i % m_timebar_count, ruler, label_y, painter);
    }
    painter->restore();
}

// One time bar: its line through the ruler (two pixels wide for the master), its labels and,
// when the option is on, its line down through the waveforms.
void VOKR_VIEW::draw_time_bar(int index, const QRect& ruler, int label_y, QPainter* painter)
{
    const int p = m_time_bars[index], last = get_visible_end_sample();
    const int size = m_tx_manager->get_data_segment_size();
    int x = get_sample_x(p);
    const bool fixed = has_fixed_segments();
    if ((!fixed && p == trigger_sample()) || (fixed && size > 0 && p % size == 0))
        x += p == last ? -1 : 1;
    if (!ruler.contains(x, label_y))
        return;
    const bool master = index == 0;
    const int twin = p == last ? x - 1 : x + 1;
    QString time, segment;
    get_time_bar_texts(index, &time, &segment);
    const QColor bar = pirq_get_color(BAR);
    draw_vertical_lines(painter, x, label_y, ruler.bottom(), 1, bar);
    if (master)
        draw_vertical_lines(painter, twin, label_y, ruler.bottom(), 1, bar);
    const int time_font = master ? MASTER_TIME_FONT : TIME_FONT;
    const int segment_font = master ? MASTER_SEGMENT_FONT : SEGMENT_FONT;
    if (get_row_height(HEADER_ROW_1) <= 0) {
        painter->setFont(pirq_get_font(time_font));
        draw_label(painter, label_rect(painter, ruler, time, x), time, TIME_COLOR);
    } else {
        painter->setFont(pirq_get_font(segment_font));
        draw_label(painter, label_rect(painter, ruler, segment, x), segment, SEGMENT_COLOR);
        if (!is_one_segment_data()) {
            painter->setFont(pirq_get_font(time_font));
            const QRect r = label_rect(painter, ruler, time, x).translated(0, painter->fontMetrics().height());
            draw_label(painter, r, time, TIME_COLOR);
        }
    }
    if (VOKR_TX_MANAGER::cfg_show_time_bars()) {
        const int top = ruler.bottom() + (is_one_segment_data() ? 0 : 20);
        draw_vertical_lines(painter, x, top, height(), master ? 2 : 1, bar);
    }
}

// ---- header rows: tick strips ---------------------------------------------------------------------------

QRect VOKR_VIEW::draw_time_header(int row, int column, const QRect& rect, QPainter* painter)
{
    const QRect room = draw_tick_strip(rect, painter, column, row);
    QRect area;
    if (row != HEADER_ROW_2 || column != WAVEFORM_COLUMN || !get_column_rect(WAVEFORM_COLUMN, &area))
        return room;
    area.setLeft(area.left() + 2);
    const int first = get_first_visible_sample(), last = get_visible_end_sample();
    draw_markers(area, painter, first, last, get_pixels_per_sample());
    draw_data_boundaries(area, painter, first, last, get_sample_depth());
    return room;
}

namespace {

// The tick labels' texts and widths, kept from paint to paint: at one scale the strips label the
// same positions again, scrolled or not. A text depends on its number, on whether it counts
// samples and on the view's time unit setting, its width on the font and the device's resolution:
// those are the key, and a new key starts afresh. At most 1024 labels are kept; GUI thread only.
class TICK_LABELS {
public:
    struct LABEL {
        QString text;
        int width = 0;  // of the text's bounds
    };
    // The labels counting samples (or times) for `view`, in the painter's font.
    static TICK_LABELS& of(const VOKR_VIEW* view, QPainter* painter, bool as_sample_number)
    {
        static TICK_LABELS sets[2];
        static bool registered = false;
        if (!registered) {  // fonts and texts let go while the application still stands
            qAddPostRoutine([] { sets[0] = sets[1] = TICK_LABELS(); });
            registered = true;
        }
        TICK_LABELS& set = sets[as_sample_number ? 1 : 0];
        const QPaintDevice* device = painter->device();
        const KEY key{view->is_using_time_units(), view->get_time_period(), view->get_time_unit(), painter->font(),
                      device->logicalDpiX(),       device->logicalDpiY()};
        if (!(set.m_key == key) || set.m_labels.size() >= 1024)
            set.m_key = key, set.m_labels.clear();
        set.m_view = view, set.m_painter = painter, set.m_as_sample_number = as_sample_number;
        return set;
    }
    const LABEL& get(int value)
    {
        auto found = m_labels.constFind(value);
        if (found != m_labels.constEnd())
            return *found;
        LABEL label;
        m_view->format_sample_value(&label.text, value, false, m_as_sample_number);
        label.width = vokr_text_bounds(m_painter, label.text).width();
        return *m_labels.insert(value, label);
    }

private:
    struct KEY {
        bool units = false;
        double period = 0.0;
        QString unit;
        QFont font;
        int dpi_x = 0, dpi_y = 0;
        bool operator==(const KEY& o) const
        {
            return units == o.units && period == o.period && unit == o.unit && dpi_x == o.dpi_x && dpi_y == o.dpi_y &&
                   font == o.font;
        }
    };
    KEY m_key;
    QHash<int, LABEL> m_labels;
    const VOKR_VIEW* m_view = nullptr;
    QPainter* m_painter = nullptr;
    bool m_as_sample_number = false;
};

// Places the labels of one strip: each label centred on its sample, kept inside the strip a few
// pixels off its edges, so that the labels of two strips side by side do not run together; a
// label wider than the strip, or (value column) one that would come closer to the previous one
// than to the strip's edge, ends the strip.
struct STRIP {
    static constexpr int EDGE_GAP = 6;
    QPainter* painter;
    QRect rect;
    bool value_column;
    int right_limit = INT_MIN;
    bool ended = false;
    // The right edge of the first label drawn and the left edge of the last one.
    int first_right = INT_MIN, last_left = INT_MIN;
    int font = -1, color = -1;  // the labels' font and colour once set on the painter
    // The marks wait in a batch until a label is drawn or the strip ends, so that a label still
    // lies over the marks drawn before it and under those after it.
    VOKR_LINE_BATCH& marks = VOKR_LINE_BATCH::shared();
    int bar = marks.color(pirq_get_color(BAR));
    // The lowest two pixels of the marks of neighbouring columns make one band: the columns
    // run_left..run_right of it not yet in the batch.
    bool run = false;
    int run_left = 0, run_right = 0;

    // The plain 2-pixel marks of columns left..right; marks come left to right.
    void band(int left, int right)
    {
        if (run && left <= run_right + 1) {
            run_right = std::max(run_right, right);
        } else {
            end_run();
            run = true, run_left = left, run_right = right;
        }
    }
    // A mark `length` (2 or more) pixels tall at column x.
    void mark(int x, int length)
    {
        band(x, x);
        if (length > 2)
            marks.fill(x, rect.bottom() - length + 1, x, rect.bottom() - 2, bar);
    }
    void end_run()
    {
        if (run)
            marks.fill(run_left, rect.bottom() - 1, run_right, rect.bottom(), bar);
        run = false;
    }
    void finish()
    {
        end_run();
        marks.finish(painter);
    }
    // Sets the labels' font and colour on the painter.
    void use(int label_font, int label_color)
    {
        if (label_font != font || label_color != color) {
            painter->setFont(pirq_get_font(label_font));
            painter->setPen(pirq_get_color(label_color));
            font = label_font, color = label_color;
        }
    }
    // A label of `width` (its text's bounds) in the font and colour in use.
    void label(int x, const QString& text, int width)
    {
        if (ended)
            return;
        end_run();
        marks.draw(painter);
        QRect r(0, 0, width + 2, 1);
        if (r.width() > rect.width()) {
            ended = true;
            return;
        }
        r.moveLeft(x - r.width() / 2);
        r.setTop(rect.top());
        r.setBottom(rect.bottom());
        if (r.left() < rect.left() + EDGE_GAP)
            r.moveLeft(rect.left() + EDGE_GAP);
        if (r.right() > rect.right() - EDGE_GAP)
            r.moveRight(rect.right() - EDGE_GAP);
        // In the narrow Value column a label kept inside may come close to the one before it.
        if (value_column && r.left() < right_limit + EDGE_GAP) {
            ended = true;
            return;
        }
        r = (r & rect).translated(0, -1);
        right_limit = r.right();
        if (first_right == INT_MIN)
            first_right = r.right();
        else
            last_left = r.left();
        vokr_draw_line_text(painter, r, ALIGN_LEFT_CENTRE, text);
    }
    // The part of the strip between its first and last labels (up to its right edge when one
    // label stands alone); null before any label.
    QRect room() const
    {
        if (first_right == INT_MIN)
            return QRect();
        const int right = last_left == INT_MIN ? rect.right() : last_left - 1;
        return QRect(QPoint(first_right + 1, rect.top()), QPoint(right, rect.bottom()));
    }
};

}  // namespace

QRect VOKR_VIEW::draw_tick_strip(const QRect& rect, QPainter* painter, int column, int header_row)
{
    const int depth = get_sample_depth();
    const bool value_column = column == VALUE_COLUMN;
    const int master = m_timebar_count > 0 ? m_time_bars[0] : -1;
    if (depth <= 0 || (value_column && (master < 0 || master > depth)))
        return QRect();
    STRIP strip{painter, QRect(rect.topLeft(), rect.bottomRight() - QPoint(1, 1)), value_column};
    if (strip.rect.width() < 2)
        return QRect();
    const int first = value_column ? master : get_first_visible_sample();
    const int last = value_column ? master + 1 : get_visible_end_sample();
    const double pixels = value_column ? strip.rect.width() : get_pixels_per_sample();
    auto x_of = [&](long long s) { return strip.rect.left() + int(double(s - first) * pixels); };
    painter->save();
    if (header_row == HEADER_ROW_1 && has_logged_segments()) {
        strip.finish();
        const QRect room = draw_logged_segment_ticks(strip.rect, painter, column, first, last, pixels);
        painter->restore();
        return room;
    }
    VOKR_TX_MANAGER* m = m_tx_manager;
    const int size = m->get_data_segment_size() > 0 ? m->get_data_segment_size() : depth;
    const int t = trigger_sample(), step = get_ruler_step(), half = step / 2;
    const bool absolute = m->is_segmented_acquisition_enabled(-1);
    const long long base = absolute ? 0 : t;
    const bool segments = header_row == HEADER_ROW_1;
    TICK_LABELS* labels = nullptr;  // once the first label is due
    auto visit = [&](long long s) {
        const bool start = s % size == 0;
        if (header_row == HEADER_ROW_1 && !start && s != first)
            return;
        const long long value = absolute ? s : s - t;
        const int x = x_of(s);
        if (value_column || (step > 0 && value % step == 0)) {
            if (!labels) {
                strip.use(segments ? SEGMENT_FONT : TIME_FONT, segments ? SEGMENT_COLOR : TIME_COLOR);
                labels = &TICK_LABELS::of(this, painter, segments);
            }
            const int number = segments ? int(value / size) : absolute ? get_sample_in_segment(int(s)) : int(value);
            const TICK_LABELS::LABEL& label = labels->get(number);
            strip.label(x, label.text, label.width);
            if (header_row == HEADER_ROW_2 || start)
                strip.mark(x, 5);
        } else if (header_row == HEADER_ROW_2 || start) {
            // A half step of 0 (one sample per step) leaves no 3-pixel marks, never a division by 0.
            strip.mark(x, half > 0 && (s - t) % half == 0 ? 3 : 2);
        }
    };
    if (header_row == HEADER_ROW_1) {
        visit(first);
        for (long long s = first_multiple(first + 1, 0, size); s <= last && !strip.ended; s += size)
            visit(s);
    } else if (pixels >= 1.0 || half == 0) {
        // Every sample has a mark; only those on a step or a half step take more than a plain one.
        auto next_special = [&](long long from) {
            long long next = value_column ? from : LLONG_MAX;
            if (step > 0)
                next = std::min(next, first_multiple(from, base, step));
            if (half > 0)
                next = std::min(next, first_multiple(from, t, half));
            return next;
        };
        for (long long s = first, special = next_special(first); s <= last && !strip.ended;) {
            if (s == special) {
                visit(s);
                special = next_special(++s);
            } else if (pixels <= 1.0) {
                // Neighbouring samples' columns touch or coincide: the plain marks before the next
                // special one make one band.
                const long long end = std::min<long long>(special - 1, last);
                strip.band(x_of(s), x_of(end));
                s = end + 1;
            } else {
                strip.mark(x_of(s++), 2);
            }
        }
    } else {
        // Samples narrower than a pixel: their 2-pixel marks make one band, the rest is visited.
        painter->fillRect(QRect(QPoint(x_of(first), strip.rect.bottom() - 1), QPoint(x_of(last), strip.rect.bottom())),
                          pirq_get_color(BAR));
        for (long long s = first_multiple(first, base, half); s <= last && !strip.ended; s += half)
            visit(s);
    }
    strip.finish();
    painter->restore();
    return strip.room();
}

// Segment numbers at the segment starts the log marks, counted from sample 0.
QRect VOKR_VIEW::draw_logged_segment_ticks(const QRect& rect, QPainter* painter, int column, int first, int last,
                                           double pixels)
{
    STRIP strip{painter, rect, column == VALUE_COLUMN};
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    const int depth = get_sample_depth(), step = get_ruler_step();
    int count = first > 0 && log ? log->count_breaks(first - 1) : 0;
    int labelled = INT_MIN / 2;
    for (int s = first; s <= last && !strip.ended; ++s) {
        const bool start = (log && log->is_break_previous(s)) || s == depth;
        count += start ? 1 : 0;
        const int x = rect.left() + int(double(s - first) * pixels);
        if (s == first || (start && (strip.value_column || s - labelled >= step))) {
            const QString text = QString::number(count);
            strip.use(SEGMENT_FONT, SEGMENT_COLOR);
            strip.label(x, text, vokr_text_bounds(painter, text).width());
            labelled = s;
        }
        if (start || s == 0)
            strip.mark(x, 5);
    }
    strip.finish();
    return strip.room();
}

// ---- markers over the waveforms -------------------------------------------------------------------------

void VOKR_VIEW::draw_markers(const QRect& area, QPainter* painter, int first, int last, double pixels)
{
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    auto line = [&](long long s, const QColor& color) {
        draw_dashed_line(painter, area.left() + int(double(s - first) * pixels), area.top() - 1, area.bottom() + 3,
                         color);
    };
    painter->save();
    if (get_row_height(HEADER_ROW_1) <= 0) {
        const int t = log ? log->get_data_trigger_position() : -1;
        if (t >= 0 && t >= first && t <= last)
            line(t, pirq_get_color(TRIGGER));
        painter->restore();
        return;
    }
    const int size = m_tx_manager->get_data_segment_size();
    const QColor segment_color = pirq_get_color(OUTLINE);
    if (size > 0 && size * pixels > 2.0) {
        for (long long s = first_multiple(first, 0, size); s <= last; s += size)
            line(s, segment_color);
    } else if (size == 0 && log) {
        for (int s = first; s <= last; ++s)
            if (log->is_break_previous(s))
                line(s, segment_color);
    }
    if (log) {
        const QColor trigger_color = pirq_get_color(TRIGGER);
        for (int s = log->find_next_trigger(first, last + 1); s >= 0; s = log->find_next_trigger(s + 1, last + 1))
            if (size <= 0 || s % size != 0)
                line(s, trigger_color);
    }
    painter->restore();
}

void VOKR_VIEW::draw_data_boundaries(const QRect& area, QPainter* painter, int first, int last, int depth)
{
    if (area.isEmpty())
        return;
    const bool grid = VOKR_TX_MANAGER::cfg_show_horz_grid() && depth > 0;
    const int top = area.top() - 2, bottom = area.bottom() + (grid ? 0 : 1) + 3;
    const QColor color = pirq_get_color(DATA_END);
    painter->save();
    if (first == 0)
        draw_vertical_lines(painter, area.left() - 1, top, bottom, 2, color);
    if (last == depth)
        draw_vertical_lines(painter, area.right() - 1, top, bottom, 2, color);
    painter->restore();
}

// ---- status text ----------------------------------------------------------------------------------------

void VOKR_VIEW::draw_status_text(const QRect& rect, QPainter* painter)
{
    VOKR_TX_MANAGER* m = m_tx_manager;
    const KSM_DATA_LOG* log = m->get_data_log();
    QString text = "No samples";
    if (current_node_table() && m->is_instance_acquiring(-1))
        text = "Acquisition in progress";
    else if (log && log->is_data_available(false))
        text = log->get_data_trigger_position() >= 0 ? "Trigger condition met" : "Trigger condition not met";
    painter->save();
    painter->setPen(pirq_get_pen(HINT_PEN));
    painter->drawText(rect.adjusted(10, 0, 0, 0), ALIGN_LEFT_CENTRE, text);
    painter->restore();
}
