// The captured samples of the node rows (waveform and value columns) and the trigger condition
// cells of the Setup tab.
//
// A waveform cell reads only the samples it shows, plus one on each side. Where a sample is at
// least a pixel wide they are drawn level by level (a bus segment by segment), each found a word
// at a time from the log's packed words up to its next change; where several samples share a pixel column each column
// is reduced, straight from the log's packed words, to what it must show: a level, a transition mark or a gap. The cost
// of a paint follows the width of the view, not the depth of the capture.
#include "vokr_view.h"

#include "ksm.h"
#include "pirq.h"
#include "vokr_assert.h"
#include "vokr_cell_clip.h"
#include "vokr_change_index.h"
#include "vokr_line_batch.h"
#include "vokr_node.h"
#include "vokr_pixel_fill.h"
#include "vokr_tx_manager.h"

#include <QAction>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <tuple>
#include <vector>

#ifdef __x86_64__
#include <immintrin.h>
#endif

// The samples a waveform cell draws: first..end - 1, sample `first` starting at x = left.
struct VOKR_VIEW::WAVE_SPAN {
    int first = 0;
    int end = 0;
    int depth = 0;  // samples that exist; the one after `end` is read when it does
    double pixels = 0.0;
    int left = 0;
    int all_valid = -1;  // whether the samples first - 1..end - 1 are all valid; -1 not known yet
    uint64_t stamp = 0;  // the version of the log's samples (KSM_DATA_LOG::get_samples_stamp); 0 none
    int x(long long sample) const { return left + int(pixels * double(sample - first)); }
};

namespace {

using SPAN = VOKR_VIEW::WAVE_SPAN;

constexpr int ALIGN_CENTRE = Qt::AlignHCenter | Qt::AlignVCenter;
constexpr int MAX_CHART_BITS = 25;
constexpr int SELECTED_PEN = 6, HIGH_PEN = 108, LOW_PEN = 109, BUS_COLOR = 314, AXIS_COLOR = 1;
constexpr int TEXT_PEN = 18, SELECTED_TEXT_PEN = 21, SYMBOL_COLOR = 308, FACE = 22, HINT_PEN = 27;
constexpr int CROSSING_SYMBOL_COLOR = 309;

bool is_chart(int type) { return type >= KSM_GTYPE_UNSIGNED_BAR && type <= KSM_GTYPE_SIGNED_LINE; }

// ---- samples of the span, run by run (a sample a pixel or wider) ----------------------------------------

bool word_bit(const uint64_t* words, long long s) { return (words[s >> 6] >> (s & 63)) & 1u; }

// One channel of a row as the log's packed words.
struct PLANE {
    const uint64_t* words;
    bool inverted;
};

// The first sample of from..limit - 1 whose bit is set in the words mask(k) gives, else limit:
// a run of samples is crossed a word at a time.
template <typename MASK> long long next_set(long long from, long long limit, MASK mask)
{
    for (long long k = from >> 6; k * 64 < limit; ++k) {
        const uint64_t m = k == from >> 6 ? mask(k) & (~uint64_t(0) << (from & 63)) : mask(k);
        if (m)
            return std::min(limit, k * 64 + __builtin_ctzll(m));
    }
    return limit;
}

// Word k with every bit moved one sample later: bit s holds sample s - 1.
uint64_t previous(const uint64_t* words, long long k) { return (words[k] << 1) | (k ? words[k - 1] >> 63 : 0); }

// Samples 0..count - 1 as the low bits of a word.
uint64_t pack(const bool* samples, int count)
{
    uint64_t word = 0;
    for (int s = 0; s < count; ++s)
        word |= uint64_t(samples[s]) << s;
    return word;
}

// ---- samples of the span, reduced per pixel column (several samples to a pixel) ----------------------

// What the samples of one pixel column hold.
struct COLUMN {
    bool valid = false, gap = false, high = false, low = false, edge = false;
    int first_valid = -1, last_valid = -1;
};

// The bits of word k that belong to samples s0..s1 - 1.
uint64_t range_mask(long long k, long long s0, long long s1)
{
    const long long base = k * 64;
    uint64_t m = ~uint64_t(0);
    if (s0 > base)
        m &= ~uint64_t(0) << (s0 - base);
    if (s1 < base + 64)
        m &= s1 <= base ? 0 : ~uint64_t(0) >> (64 - (s1 - base));
    return m;
}

// A transition is a change between two valid neighbours, so a one-sample glitch marks its column
// and a change across a gap marks none.
COLUMN reduce(const std::vector<PLANE>& planes, const uint64_t* valid, long long s0, long long s1)
{
    COLUMN c;
    const long long k0 = s0 >> 6, k1 = (s1 - 1) >> 6;
    for (long long k = k0; k <= k1; ++k) {
        uint64_t m = ~uint64_t(0);
        if (k == k0)
            m &= ~uint64_t(0) << (s0 & 63);
        if (k == k1)
            m &= ~uint64_t(0) >> (63 - ((s1 - 1) & 63));
        const uint64_t v = valid[k] & m;
        c.gap |= v != m;
        if (!v)
            continue;
        c.valid = true;
        if (c.first_valid < 0)
            c.first_valid = int(k * 64 + __builtin_ctzll(v));
        c.last_valid = int(k * 64 + 63 - __builtin_clzll(v));
        const uint64_t pair = v & previous(valid, k);
        for (const PLANE& p : planes)
            c.edge |= ((p.words[k] ^ previous(p.words, k)) & pair) != 0;
        if (planes.size() == 1) {
            const uint64_t h = planes[0].inverted ? ~planes[0].words[k] : planes[0].words[k];
            c.high |= (h & v) != 0;
            c.low |= (~h & v) != 0;
        }
    }
    return c;
}

// Whether samples from..to - 1 are all valid: the words between the end words ANDed together.
bool all_valid(const uint64_t* valid, long long from, long long to)
{
    if (from >= to)
        return true;
    const long long k0 = from >> 6, k1 = (to - 1) >> 6;
    const uint64_t head = ~uint64_t(0) << (from & 63), tail = ~uint64_t(0) >> (63 - ((to - 1) & 63));
    if (k0 == k1)
        return (valid[k0] & head & tail) == (head & tail);
    uint64_t all = ~uint64_t(0);
    for (long long k = k0 + 1; k < k1; ++k)
        all &= valid[k];
    return all == ~uint64_t(0) && (valid[k0] & head) == head && (valid[k1] & tail) == tail;
}

// The pixel columns of a span: each column's x and its samples s0..s1 - 1, every column that holds
// any. The same for every row of a frame, so worked out once per span. In words from the span's
// first: its samples are the words a, a + 1 and a + 2 masked by ma, m1 and m2, and where it spans
// more (b > a + 2) the words up to b, the last masked by mb.
struct SPAN_COLUMN {
    int x;
    long long s0, s1;
    int a = 0, b = 0;
    uint64_t ma = 0, m1 = 0, m2 = 0, mb = 0;
};

// The columns' first three words and their masks as in SPAN_COLUMN, a field a vector: what marking
// the columns of every row reads where no column spans more, in half the columns' room and eight
// columns a load.
struct COLUMN_WORDS {
    std::vector<int> a;
    std::vector<uint64_t> ma, m1, m2;

    bool empty() const { return a.empty(); }
    void clear() { a.clear(), ma.clear(), m1.clear(), m2.clear(); }
    void push_back(const SPAN_COLUMN& column)
    {
        a.push_back(column.a), ma.push_back(column.ma), m1.push_back(column.m1), m2.push_back(column.m2);
    }
};

// The columns of a span; with `three`, the words of each where every column's samples lie in three
// words or fewer. `starts` holds each column's first sample (its s0) packed, what a run of columns
// without a change reads for its level: a few kilobytes that stay in the cache where the columns'
// sixty-odd bytes each do not.
struct SPAN_COLUMNS : std::vector<SPAN_COLUMN> {
    COLUMN_WORDS three;
    std::vector<int> starts;
};

const SPAN_COLUMNS& span_columns(const SPAN& span)
{
    static struct {
        int first = -1, end = -1, left = 0;
        double pixels = 0.0;
        SPAN_COLUMNS columns;
    } cache;
    if (cache.first == span.first && cache.end == span.end && cache.left == span.left && cache.pixels == span.pixels)
        return cache.columns;
    // The first sample of pixel column c (at x = left + c).
    auto column_start = [&](int c) {
        long long s = span.first + (long long)std::ceil(c / span.pixels);
        while (s > span.first && span.x(s - 1) - span.left >= c)
            --s;
        while (span.x(s) - span.left < c)
            ++s;
        return std::min<long long>(s, span.end);
    };
    cache.columns.clear();
    cache.columns.starts.clear();
    cache.columns.three.clear();
    bool wide = false;  // a column spans more than three words
    long long s0 = span.first;
    for (int c = 0; s0 < span.end; ++c) {
        const long long s1 = column_start(c + 1);
        if (s1 > s0) {
            SPAN_COLUMN column{span.left + c, s0, s1};
            const long long k0 = span.first >> 6;
            column.a = int((s0 >> 6) - k0), column.b = int(((s1 - 1) >> 6) - k0);
            const uint64_t head = ~uint64_t(0) << (s0 & 63), tail = ~uint64_t(0) >> (63 - ((s1 - 1) & 63));
            const int span_words = column.b - column.a;
            column.ma = span_words == 0 ? head & tail : head;
            column.m1 = span_words == 1 ? tail : span_words > 1 ? ~uint64_t(0) : 0;
            column.m2 = span_words == 2 ? tail : span_words > 2 ? ~uint64_t(0) : 0;
            column.mb = tail;
            cache.columns.push_back(column);
            cache.columns.starts.push_back(int(s0));
            cache.columns.three.push_back(column);
            wide = wide || span_words > 2;
        }
        s0 = std::max(s1, s0 + 1);
    }
    if (wide)
        cache.columns.three.clear();
    cache.first = span.first, cache.end = span.end, cache.left = span.left, cache.pixels = span.pixels;
    return cache.columns;
}

// Whether every sample of the span and the one before it is valid.
bool span_valid(const SPAN& span, const uint64_t* valid)
{
    return span.all_valid >= 0 ? span.all_valid != 0 : all_valid(valid, std::max(span.first - 1, 0), span.end);
}

// A bit per sample of a span where every sample is valid: set where the planes change from the
// sample before (never at sample 0), a word per 64 samples from the span's first word, two more
// words after its last. Good until the next span_changes().
struct SPAN_CHANGES {
    long long k0;
    const uint64_t* words;

    // The first change at s0..limit - 1, else limit.
    long long next(long long s0, long long limit) const
    {
        return next_set(s0, limit, [&](long long k) { return words[k - k0]; });
    }
    // Whether any of s0..s1 - 1 (s0 < s1) changes: the words they cover, masked at both ends;
    // cheaper than next() where a pixel column holds a word or two.
    bool any(long long s0, long long s1) const
    {
        const long long a = s0 >> 6, b = (s1 - 1) >> 6;
        const uint64_t head = ~uint64_t(0) << (s0 & 63), tail = ~uint64_t(0) >> (63 - ((s1 - 1) & 63));
        if (a == b)
            return (words[a - k0] & head & tail) != 0;
        if ((words[a - k0] & head) || (words[b - k0] & tail))
            return true;
        for (long long k = a + 1; k < b; ++k)
            if (words[k - k0])
                return true;
        return false;
    }
};

// The planes' changes from the capture's change index where it holds them, else worked out for the
// span's words alone (written over the words of a buffer reused from row to row, GUI thread only).
SPAN_CHANGES span_changes(const SPAN& span, const PLANE* planes, size_t count)
{
    const long long k0 = span.first >> 6, k1 = (span.end - 1) >> 6;
    static std::vector<const uint64_t*> channels;
    channels.clear();
    for (size_t i = 0; i < count; ++i)
        channels.push_back(planes[i].words);
    if (const uint64_t* kept = VOKR_CHANGE_INDEX::find(span.stamp, channels.data(), count, span.depth))
        return {k0, kept + k0};
    static std::vector<uint64_t> changes;
    // The first plane's changes are written over the words, the others' or-ed in; two zero words
    // after the span's, read by columns that end before them.
    const size_t size = size_t(k1 - k0 + 1);
    changes.resize(size + 2);
    if (count == 0)
        std::fill(changes.begin(), changes.begin() + long(size), 0);
    for (size_t i = 0; i < count; ++i)
        VOKR_CHANGE_INDEX::plane_changes(changes.data(), planes[i].words, k0, k1, i > 0);
    changes[size] = changes[size + 1] = 0;
    return {k0, changes.data()};
}

SPAN_CHANGES span_changes(const SPAN& span, const std::vector<PLANE>& planes)
{
    return span_changes(span, planes.data(), planes.size());
}

// Calls visit(x, column) for every pixel column of the span. Where every sample of the span and the
// one before it is valid, a column only asks whether any of its samples changes; its levels are
// those of its first sample where none does (they are not needed where one does).
template <typename VISIT>
void for_each_column(const SPAN& span, const std::vector<PLANE>& planes, const uint64_t* valid, VISIT visit)
{
    const std::vector<SPAN_COLUMN>& columns = span_columns(span);
    if (columns.empty() || !span_valid(span, valid)) {
        for (const SPAN_COLUMN& column : columns)
            visit(column.x, reduce(planes, valid, column.s0, column.s1));
        return;
    }
    const SPAN_CHANGES changes = span_changes(span, planes);
    // The first change from the start of the column on (or a sample of the column where it holds
    // one): looked for again only once a column starts after it, so the columns between two
    // changes cost a compare.
    long long change = -1;
    for (const SPAN_COLUMN& column : columns) {
        COLUMN c;
        c.valid = true, c.first_valid = int(column.s0), c.last_valid = int(column.s1 - 1);
        if (change < column.s0)
            change = changes.any(column.s0, column.s1) ? column.s0 : changes.next(column.s1, span.end);
        c.edge = change < column.s1;
        if (!c.edge && planes.size() == 1) {
            const bool level = word_bit(planes[0].words, column.s0) != planes[0].inverted;
            c.high = level, c.low = !level;
        }
        visit(column.x, c);
    }
}

// ---- a row's drawing, kept for a repaint of the same view -----------------------------------------------

// Forgets the entries of `rows` kept in a generation before `generation`.
template <typename ROWS> void forget_older(ROWS* rows, unsigned generation)
{
    for (auto row = rows->begin(); row != rows->end();)
        row = row->second.generation == generation ? std::next(row) : rows->erase(row);
}

// What a row's kept drawing follows besides the row itself: the samples' version and the span.
struct SPAN_KEY {
    uint64_t stamp = 0;
    int first = -1, end = -1, left = 0;
    double pixels = 0.0;
    SPAN_KEY() = default;
    explicit SPAN_KEY(const SPAN& s) : stamp(s.stamp), first(s.first), end(s.end), left(s.left), pixels(s.pixels) {}
    bool same(const SPAN& s) const
    {
        return stamp == s.stamp && first == s.first && end == s.end && left == s.left && pixels == s.pixels;
    }
};

// Rows' drawings kept for the span last shown, by KEY; a ROW holds the `generation` of the span
// it was worked out in. A new span keeps the rows of the one before, no longer current, so that
// the same rows take their room again without allocating; older ones, and all once MAX_ROWS are
// kept, are forgotten. GUI thread only.
template <typename KEY, typename ROW> struct KEPT_ROWS {
    static constexpr size_t MAX_ROWS = 1024;
    SPAN_KEY span;
    unsigned generation = 0;
    std::map<KEY, ROW> rows;

    // The rows, for `s` from now on.
    std::map<KEY, ROW>& of(const SPAN& s)
    {
        if (!span.same(s)) {
            forget_older(&rows, generation);
            ++generation;
            span = SPAN_KEY(s);
        }
        if (rows.size() >= MAX_ROWS)
            rows.clear();
        return rows;
    }
    bool current(const ROW& row) const { return row.generation == generation; }
};

// The rectangles a bit row whose samples are all valid gathers in its two colours, kept for the
// rows of the last span and samples shown, as change_columns() keeps marks: a repaint of the same
// view (a time bar dragged, the selection moved, the window uncovered) hands them to the batch again
// instead of walking the row's samples. The rectangles are kept with the row's top, so a row that
// only moved up or down (the view scrolled) finds them too, moved as far. Published samples never change while
// their stamp stays; the rest of the key is the plane, its inversion, the row's left, width and
// height and the two colours. At most MAX_ROWS rows are kept. GUI thread only.
class KEPT_LEVELS {
public:
    // Draws the row's kept rectangles as the batch would, its slots `high` and `low` drawn in that
    // order: straight into the image where the painter allows it, else gathered in the slots; false
    // where none are kept, and then keep() is to follow the row's drawing.
    static bool replay(QPainter* p, VOKR_LINE_BATCH* batch, const SPAN& span, const PLANE& plane, const QRect& r,
                       int high, int low)
    {
        const RECTS* rects = find(batch, span, plane, r, high, low);
        if (!rects)
            return false;
        draw(p, *rects, batch, high, low, r.top() - rects->top);
        return true;
    }
    // Draws the row's kept rectangles straight into `pixels`; false, having drawn nothing, where
    // none are kept or the pixels do not take them.
    static bool replay(const VOKR_PIXEL_FILL& pixels, VOKR_LINE_BATCH* batch, const SPAN& span, const PLANE& plane,
                       const QRect& r, int high, int low)
    {
        const RECTS* rects = find(batch, span, plane, r, high, low);
        return rects && fill(pixels, *rects, batch, high, low, r.top() - rects->top);
    }
    // Keeps what the row gathered in the two slots, the batch holding nothing else, and draws it as
    // replay() does. The rectangles move into the kept row, whose room from before the batch takes
    // back, instead of being copied.
    static void keep_and_draw(QPainter* p, VOKR_LINE_BATCH* batch, const SPAN& span, const PLANE& plane, const QRect& r,
                              int high, int low)
    {
        if (span.stamp == 0)
            return;
        KEPT_ROWS<KEY, RECTS>& kept = rows();
        RECTS& rects = kept.of(span)[key(batch, plane, r, high, low)];
        rects.generation = kept.generation;
        rects.top = r.top();
        for (int i = 0; i < 2; ++i) {
            std::vector<QRect>& fills = batch->fills(i == 0 ? high : low);
            rects.gathered[size_t(i)].clear();
            if (i == 0 || low != high)
                rects.gathered[size_t(i)].swap(fills);
        }
        draw(p, rects, batch, high, low, 0);
    }

private:
    using KEY = std::tuple<const uint64_t*, bool, int, int, int, QRgb, QRgb>;

    static KEY key(const VOKR_LINE_BATCH* batch, const PLANE& plane, const QRect& r, int high, int low)
    {
        return KEY(plane.words, plane.inverted, r.left(), r.width(), r.height(), batch->rgb(high), batch->rgb(low));
    }
    struct RECTS {
        unsigned generation = 0;                     // the span's they were gathered in
        int top;                                     // the row's, where they were gathered
        std::array<std::vector<QRect>, 2> gathered;  // in the high and the low slot
    };

    static const RECTS* find(const VOKR_LINE_BATCH* batch, const SPAN& span, const PLANE& plane, const QRect& r,
                             int high, int low)
    {
        if (span.stamp == 0)
            return nullptr;
        KEPT_ROWS<KEY, RECTS>& kept = rows();
        std::map<KEY, RECTS>& rows = kept.of(span);
        const auto found = rows.find(key(batch, plane, r, high, low));
        return found == rows.end() || !kept.current(found->second) ? nullptr : &found->second;
    }

    // Draws the rectangles moved down by `down`: straight into the image where the painter allows
    // it, else gathered in the slots.
    static void draw(QPainter* p, const RECTS& rects, VOKR_LINE_BATCH* batch, int high, int low, int down)
    {
        if (fill(VOKR_PIXEL_FILL(p), rects, batch, high, low, down))
            return;
        for (int i = 0; i < 2; ++i)
            for (const QRect& kept : rects.gathered[size_t(i)])
                batch->fills(i == 0 ? high : low).push_back(kept.translated(0, down));
    }
    // Fills the rectangles, moved down by `down`, in the slots' colours where the pixels take them in
    // the slots' order.
    static bool fill(const VOKR_PIXEL_FILL& pixels, const RECTS& rects, const VOKR_LINE_BATCH* batch, int high, int low,
                     int down)
    {
        const QRgb high_rgb = batch->rgb(high), low_rgb = batch->rgb(low);
        if (!pixels.valid() || high > low || qAlpha(high_rgb) != 255 || qAlpha(low_rgb) != 255)
            return false;
        pixels.fill(rects.gathered[0].data(), rects.gathered[0].size(), high_rgb, down);
        pixels.fill(rects.gathered[1].data(), rects.gathered[1].size(), low_rgb, down);
        return true;
    }

    static KEPT_ROWS<KEY, RECTS>& rows()
    {
        static KEPT_ROWS<KEY, RECTS> kept;
        return kept;
    }
};

// ---- levels of a single bit -----------------------------------------------------------------------------

struct BIT_PENS {
    QPen high, low;
};

// The paint's pens of a bit's levels, both in the selection's colour on a selected row.
BIT_PENS bit_pens(const VOKR_VIEW::PAINT_FLAGS& flags, bool selected)
{
    if (!selected)
        return {flags.high_pen, flags.low_pen};
    const QColor color = flags.selected_pen.color();
    return {QPen(color, flags.high_pen.widthF()), QPen(color, flags.low_pen.widthF())};
}

// draw_bit_samples() where every sample from the one before the span to its last is valid: a level
// runs from one change of the channel's bit to the next, found a word at a time in the bits that
// differ from the sample before them, and ends where the next level's transition starts. A
// transition after a level of the span leaves its low end to the low level that covers it, one
// scanline less for the engine to fill.
void draw_valid_bit_samples(VOKR_LINE_BATCH* batch, const QRect& r, const SPAN& span, const PLANE& plane,
                            const uint64_t* valid, int high, int low)
{
    const int yh = r.top() + 1, yl = r.bottom() - 2, left = r.left() + 1;
    const uint64_t* words = plane.words;
    auto bit = [&](long long s) { return word_bit(words, s) != plane.inverted; };
    // yl - 1 where the low level on either side of a transition covers its low end.
    auto transition = [&](int x, bool value, int low_end) {
        if (value && yh < yl)
            batch->fill(x, low_end, x, yh + 1, low);
        else if (!value)
            batch->fill(x, yh, x, low_end, low);
    };
    const int covered = yh + 1 < yl ? yl - 1 : yl;
    const long long first = span.first, last = span.end - 1;
    bool level = bit(first > 0 ? first - 1 : first);
    int run = std::max(span.left + (first == 0 ? 1 : 0), r.left());
    const int x0 = std::max(span.x(first), left);
    if (bit(first) != level)
        transition(x0, !level, yl);
    if (first == 0)
        run = x0;
    level = bit(first);
    for (long long s = first;;) {
        const long long end = next_set(s + 1, last + 1, [&](long long k) { return words[k] ^ previous(words, k); });
        const int xe = span.x(end);
        const int y = level ? yh : yl;
        if (end > last) {
            const bool stub = end < span.depth && word_bit(valid, end) && bit(end) != level;
            batch->fill(run, y, stub ? xe : xe + 1, y, level ? high : low);
            if (stub)
                batch->fill(xe, y, xe, (level ? yl : yh) + (level ? 1 : -1), low);
            return;
        }
        batch->fill(run, y, xe, y, level ? high : low);
        level = !level;
        transition(std::max(xe, left), level, xe >= left ? covered : yl);
        run = xe;
        s = end;
    }
}

// A bit row whose samples are all valid drawn from its kept rectangles straight into `pixels`, the
// cell's pixels: false, having drawn nothing, where it is not kept so.
bool replay_bit_samples(const VOKR_PIXEL_FILL& pixels, const QRect& r, const SPAN& span, const PLANE& plane,
                        const BIT_PENS& pens)
{
    if (span.all_valid != 1 || span.end <= span.first)
        return false;
    VOKR_LINE_BATCH& batch = VOKR_LINE_BATCH::shared();
    const int high = batch.color(pens.high.color()), low = batch.color(pens.low.color());
    const bool drawn = KEPT_LEVELS::replay(pixels, &batch, span, plane, r, high, low);
    batch.release();
    return drawn;
}

// The levels as lines, a transition as a vertical line in the low pen between its two levels, the
// level after it drawn over its end; gathered in a batch, high before low, the transition leaves
// out the end the high level after it covers, so every pixel keeps the colour drawn last. A level
// is found a word at a time up to its next change; in the value column each sample's digit is
// written on it.
void draw_bit_samples(QPainter* p, const QRect& r, const SPAN& span, const PLANE& plane, const uint64_t* valid,
                      const BIT_PENS& pens, bool value_column)
{
    const int yh = r.top() + 1, yl = r.bottom() - 2;
    auto y_of = [&](bool level) { return level ? yh : yl; };
    auto is_valid = [&](long long s) { return s >= 0 && s < span.depth && word_bit(valid, s); };
    auto bit = [&](long long s) { return word_bit(plane.words, s) != plane.inverted; };
    VOKR_LINE_BATCH& batch = VOKR_LINE_BATCH::shared();
    const int high = batch.color(pens.high.color()), low = batch.color(pens.low.color());
    if (span.all_valid == 1 && !value_column && span.end > span.first) {
        if (!KEPT_LEVELS::replay(p, &batch, span, plane, r, high, low)) {
            draw_valid_bit_samples(&batch, r, span, plane, valid, high, low);
            KEPT_LEVELS::keep_and_draw(p, &batch, span, plane, r, high, low);
        }
        batch.finish(p);
        return;
    }
    const long long last = span.end - 1;
    bool level = is_valid(span.first - 1) ? bit(span.first - 1) : bit(span.first);
    int run = std::max(span.left + (span.first == 0 ? 1 : 0), r.left());
    for (long long s = span.first; s <= last;) {
        if (!is_valid(s)) {
            s = next_set(s, last + 1, [&](long long k) { return valid[k]; });
            run = span.x(s);
            continue;
        }
        const int xs = std::max(span.x(s), r.left() + 1);
        const bool value = bit(s);
        if (value != level && (s == 0 || is_valid(s - 1))) {
            if (value && yh < yl)
                batch.fill(xs, yl, xs, yh + 1, low);
            else if (!value)
                batch.fill(xs, yh, xs, yl, low);
        }
        if (!is_valid(s - 1))
            run = xs;
        level = value;
        // The level's samples s..end - 1: up to the first that is invalid or differs.
        const uint64_t raw = level != plane.inverted ? ~uint64_t(0) : 0;
        const long long end =
            next_set(s + 1, last + 1, [&](long long k) { return ~valid[k] | (plane.words[k] ^ raw); });
        for (long long t = s; value_column && t < end; ++t) {
            batch.draw(p);
            p->setPen(QPen(pirq_get_color(BUS_COLOR)));
            const QRect digit(QPoint(std::max(span.x(t), r.left() + 1), yh), QPoint(span.x(t + 1) - 1, yl));
            vokr_draw_text_if_fits(p, digit, ALIGN_CENTRE, value ? "1" : "0");
        }
        const long long e = end - 1;
        const int xe = span.x(e + 1);
        const bool stub = e == last && e + 1 < span.depth && is_valid(e + 1) && bit(e + 1) != level;
        batch.fill(run, y_of(level), e == last && !stub ? xe + 1 : xe, y_of(level), level ? high : low);
        if (stub)
            batch.fill(xe, y_of(level), xe, y_of(!level) + (level ? 1 : -1), low);
        run = xe;
        s = end;
    }
    batch.finish(p);
}

// Neighbouring columns that draw the same full-height mark, gathered as one rectangle.
struct MARK_RUN {
    int start = -1, end = -1;

    // Adds column x; the run so far is gathered first when x does not extend it.
    void add(VOKR_LINE_BATCH* batch, int x, int top, int bottom, int slot)
    {
        if (start >= 0 && x != end + 1)
            flush(batch, top, bottom, slot);
        if (start < 0)
            start = x;
        end = x;
    }
    void flush(VOKR_LINE_BATCH* batch, int top, int bottom, int slot)
    {
        if (start >= 0)
            batch->fill(start, top, end, bottom, slot);
        start = -1;
    }
};

// Whether column c, of at most three words, holds a change.
inline uint64_t three_words_change(const COLUMN_WORDS& three, int c, const uint64_t* words)
{
    const int a = three.a[size_t(c)];
    return (words[a] & three.ma[size_t(c)]) | (words[a + 1] & three.m1[size_t(c)]) |
           (words[a + 2] & three.m2[size_t(c)]);
}

// The columns that hold a change, of `count` columns of at most three words each, a bit each in
// `edges`; words 0..limit - 1 may be read.
using MARK_THREE = void (*)(const COLUMN_WORDS& three, int count, const uint64_t* words, int limit, uint64_t* edges);

void mark_three(const COLUMN_WORDS& three, int count, const uint64_t* words, int, uint64_t* edges)
{
    for (int c0 = 0; c0 < count; c0 += 64) {
        uint64_t marks = 0;
        const int end = std::min(count, c0 + 64);
#pragma GCC unroll 4
        for (int c = c0; c < end; ++c)
            marks =
                (marks >> 1) | (uint64_t(three_words_change(three, c, words) != 0) << 63);  // column c ends at bit 63
        edges[c0 / 64] = marks >> (c0 + 64 - end);
    }
}

#ifdef __x86_64__
// The lanes of eight words of which `readable` may be read.
__mmask8 readable_lanes(long long readable) { return __mmask8((1u << std::clamp(readable, 0LL, 8LL)) - 1); }

// Eight columns at a time: their words picked from the sixteen from the first column's first word,
// where the eighth column's last lies among them (a column narrower than a word or two), masked
// and tested together; eight columns that reach further, and the last few, one at a time.
__attribute__((target("avx512f"))) void mark_three_avx512(const COLUMN_WORDS& three, int count, const uint64_t* words,
                                                          int limit, uint64_t* edges)
{
    const int* first_words = three.a.data();
    for (int c0 = 0; c0 < count; c0 += 64) {
        uint64_t marks = 0;
        const int end = std::min(count, c0 + 64);
        int c = c0;
        for (; c + 8 <= end; c += 8) {
            if (first_words[c + 7] + 2 - first_words[c] >= 16) {
                for (int d = c; d < c + 8; ++d)
                    marks |= uint64_t(three_words_change(three, d, words) != 0) << (d - c0);
                continue;
            }
            const int base = first_words[c];
            const __m512i low = _mm512_maskz_loadu_epi64(readable_lanes(limit - base), words + base);
            const __m512i high = _mm512_maskz_loadu_epi64(readable_lanes(limit - base - 8), words + base + 8);
            const __m512i index = _mm512_maskz_cvtepi32_epi64(
                0xff, _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(first_words + c)),
                                       _mm256_set1_epi32(base)));
            const __m512i one = _mm512_set1_epi64(1);
            const __m512i w0 = _mm512_permutex2var_epi64(low, index, high);
            const __m512i w1 = _mm512_permutex2var_epi64(low, _mm512_add_epi64(index, one), high);
            const __m512i w2 =
                _mm512_permutex2var_epi64(low, _mm512_add_epi64(index, _mm512_add_epi64(one, one)), high);
            const __m512i any =
                _mm512_or_si512(_mm512_or_si512(_mm512_and_si512(w0, _mm512_loadu_si512(three.ma.data() + c)),
                                                _mm512_and_si512(w1, _mm512_loadu_si512(three.m1.data() + c))),
                                _mm512_and_si512(w2, _mm512_loadu_si512(three.m2.data() + c)));
            marks |= uint64_t(_mm512_test_epi64_mask(any, any)) << (c - c0);
        }
        for (; c < end; ++c)
            marks |= uint64_t(three_words_change(three, c, words) != 0) << (c - c0);
        edges[c0 / 64] = marks;
    }
}
#endif

// Bit c of `bits` (bit c % 64 of word c / 64) set where sample samples[c] of `words` is, for
// c < count; words 0..limit - 1 may be read.
using SAMPLE_BITS = void (*)(const int* samples, int count, const uint64_t* words, long long limit, uint64_t* bits);

void sample_bits(const int* samples, int count, const uint64_t* words, long long, uint64_t* bits)
{
    for (int c0 = 0; c0 < count; c0 += 64) {
        uint64_t word = 0;
        const int end = std::min(count, c0 + 64);
        for (int c = c0; c < end; ++c)
            word |= uint64_t(word_bit(words, samples[c])) << (c - c0);
        bits[c0 / 64] = word;
    }
}

#ifdef __x86_64__
// Eight samples at a time, their words picked from the sixteen from the first one's where the
// eighth one's lies among them; eight samples further apart, and the last few, one at a time.
__attribute__((target("avx512f"))) void sample_bits_avx512(const int* samples, int count, const uint64_t* words,
                                                           long long limit, uint64_t* bits)
{
    const __m512i one = _mm512_set1_epi64(1);
    for (int c0 = 0; c0 < count; c0 += 64) {
        uint64_t word = 0;
        const int end = std::min(count, c0 + 64);
        int c = c0;
        for (; c + 8 <= end; c += 8) {
            if ((samples[c + 7] >> 6) - (samples[c] >> 6) >= 16) {
                for (int d = c; d < c + 8; ++d)
                    word |= uint64_t(word_bit(words, samples[d])) << (d - c0);
                continue;
            }
            const int base = samples[c] >> 6;
            const __m512i low = _mm512_maskz_loadu_epi64(readable_lanes(limit - base), words + base);
            const __m512i high = _mm512_maskz_loadu_epi64(readable_lanes(limit - base - 8), words + base + 8);
            const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples + c));
            const __m512i index =
                _mm512_maskz_cvtepi32_epi64(0xff, _mm256_sub_epi32(_mm256_srli_epi32(at, 6), _mm256_set1_epi32(base)));
            const __m512i shift = _mm512_maskz_cvtepi32_epi64(0xff, _mm256_and_si256(at, _mm256_set1_epi32(63)));
            const __m512i picked = _mm512_maskz_srlv_epi64(0xff, _mm512_permutex2var_epi64(low, index, high), shift);
            word |= uint64_t(_mm512_test_epi64_mask(picked, one)) << (c - c0);
        }
        for (; c < end; ++c)
            word |= uint64_t(word_bit(words, samples[c])) << (c - c0);
        bits[c0 / 64] = word;
    }
}
#endif

// The column helpers, picked once when the library loads: eight columns at a time where the
// processor has AVX-512.
#ifdef __x86_64__
bool has_avx512f()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f");
}
const SAMPLE_BITS SAMPLE_BITS_OF = has_avx512f() ? &sample_bits_avx512 : &sample_bits;
const MARK_THREE MARK_THREE_WORDS = has_avx512f() ? &mark_three_avx512 : &mark_three;
#else
const SAMPLE_BITS SAMPLE_BITS_OF = &sample_bits;
const MARK_THREE MARK_THREE_WORDS = &mark_three;
#endif

// The columns of a span that hold a change, a bit each (column c at bit c), from the changes of the
// span's words (two zero words after them): each column's first three words masked, without a
// branch, read from the columns' compact words where no column spans more, else with the words
// after them where one does. GUI thread only.
const std::vector<uint64_t>& edge_columns(const SPAN_COLUMNS& columns, const uint64_t* words)
{
    static std::vector<uint64_t> edges;
    const int count = int(columns.size());
    edges.resize(size_t(count + 63) / 64);
    auto mark = [&](auto any) {
        for (int c0 = 0; c0 < count; c0 += 64) {
            uint64_t marks = 0;
            const int end = std::min(count, c0 + 64);
#pragma GCC unroll 4
            for (int c = c0; c < end; ++c)
                marks = (marks >> 1) | (uint64_t(any(c) != 0) << 63);  // column c ends at bit 63
            edges[size_t(c0 / 64)] = marks >> (c0 + 64 - end);
        }
    };
    if (!columns.three.empty()) {
        // The words of the span's last column and the two after them may be read.
        MARK_THREE_WORDS(columns.three, count, words, columns.back().b + 3, edges.data());
        return edges;
    }
    const SPAN_COLUMN* column = columns.data();
    mark([&](int c) {
        const SPAN_COLUMN& col = column[c];
        uint64_t any = (words[col.a] & col.ma) | (words[col.a + 1] & col.m1) | (words[col.a + 2] & col.m2);
        for (int k = col.a + 3; k < col.b; ++k)
            any |= words[k];
        return col.b > col.a + 2 ? any | (words[col.b] & col.mb) : any;
    });
    return edges;
}

// The columns of a span that hold a change of any of `planes` (edge_columns of their span_changes),
// kept for the rows of the last span and samples shown: a repaint at the same zoom and scroll (a
// cursor or the selection moved, the window uncovered) reads each row's marks back instead of every
// word of its planes. Published samples never change while their stamp stays; a plane's inversion
// moves no change, so the planes' words are the rest of the key. At most MAX_ROWS rows are kept.
// GUI thread only; the marks are good until the next call.
const std::vector<uint64_t>& change_columns(const SPAN& span, const SPAN_COLUMNS& columns, const PLANE* planes,
                                            size_t count)
{
    struct MARKS {
        unsigned generation = 0;  // the span's the marks were found in
        std::vector<uint64_t> marks;
    };
    static KEPT_ROWS<std::vector<const uint64_t*>, MARKS> kept;
    if (span.stamp == 0)
        return edge_columns(columns, span_changes(span, planes, count).words);
    std::map<std::vector<const uint64_t*>, MARKS>& rows = kept.of(span);
    static std::vector<const uint64_t*> key;
    key.clear();
    for (size_t i = 0; i < count; ++i)
        key.push_back(planes[i].words);
    MARKS& row = rows[key];
    if (row.marks.empty() || !kept.current(row)) {
        row.marks = edge_columns(columns, span_changes(span, planes, count).words);
        row.generation = kept.generation;
    }
    return row.marks;
}

// For a span where every sample and the one before it is valid, at less than a pixel per sample
// (column c at x = columns[0].x + c): calls level(c, d) for each run of columns c..d - 1 that hold
// no change and edges(c, d) for each run that each hold one, left to right. A run ends where a
// column's mark differs from the one before it: found a word of marks at a time.
// Inlined with its callers' callbacks, as a run costs little more than the call.
template <typename LEVEL, typename EDGES>
inline __attribute__((always_inline)) void for_each_run(const SPAN_COLUMNS& columns, const std::vector<uint64_t>& marks,
                                                        LEVEL level, EDGES edges)
{
    const int count = int(columns.size());
    int start = 0;
    bool marked = marks[0] & 1;
    auto run = [&](int end) __attribute__((always_inline))
    {
        if (marked)
            edges(start, end);
        else
            level(start, end);
        start = end, marked = !marked;
    };
    for (size_t k = 0; k < marks.size(); ++k) {
        uint64_t ends = marks[k] ^ ((marks[k] << 1) | (k ? marks[k - 1] >> 63 : marks[0] & 1));
        for (; ends; ends &= ends - 1) {
            const int end = int(k * 64) + __builtin_ctzll(ends);
            if (end >= count)  // the columns after the last are not marked
                break;
            run(end);
        }
    }
    run(count);
}

// Whether the span's columns lie side by side, one per pixel from the first: so at less than a
// pixel per sample.
bool side_by_side(const std::vector<SPAN_COLUMN>& columns)
{
    return !columns.empty() && columns.back().x - columns.front().x + 1 == int(columns.size());
}

// draw_bit_columns() where every sample of the span and the one before it is valid: a run of
// columns without a change shows the level of its first sample, a run of columns with one is
// marked. Where the low level lies below the high one, the marks beside a low level stop a row
// above it and the low row runs along the whole stretch between two high levels that holds a low
// one, marks beside no low level keep their low row: the fewest scanlines for the engine to fill.
// The runs' levels follow the samples, which no prediction would, so each run's rectangles are
// written whether or not they are wanted and counted only where they are, without a branch.
void draw_valid_bit_columns(VOKR_LINE_BATCH* batch, const QRect& r, const SPAN& span, const PLANE& plane, int high,
                            int low)
{
    const int yh = r.top() + 1, yl = r.bottom() - 2, top = std::min(yh, yl), bottom = std::max(yh, yl);
    const SPAN_COLUMNS& columns = span_columns(span);
    const int x0 = columns[0].x, count = int(columns.size());
    // The row's rectangles are kept (KEPT_LEVELS), so its marks are not.
    const std::vector<uint64_t>& marks = edge_columns(columns, span_changes(span, &plane, 1).words);
    auto high_at = [&](int c) { return word_bit(plane.words, columns.starts[size_t(c)]) != plane.inverted; };
    if (yh >= yl) {
        for_each_run(
            columns, marks,
            [&](int c, int d) {
                const bool level = high_at(c);
                batch->fill_ordered(x0 + c, level ? yh : yl, x0 + d - 1, level ? yh : yl, level ? high : low);
            },
            [&](int c, int d) { batch->fill_ordered(x0 + c, top, x0 + d - 1, bottom, low); });
        return;
    }
    // At most a rectangle a run, and one more a stretch between high levels. GUI thread only.
    static std::vector<QRect> highs, lows;
    if (lows.size() < size_t(count) + 2)
        highs.resize(size_t(count) + 2), lows.resize(size_t(count) + 2);
    size_t n_high = 0, n_low = 0;
    int stretch = 0;        // the first column after the last high level
    bool low_seen = false;  // a low level since it: the last level run was a low one
    for_each_run(
        columns, marks,
        [&](int c, int d) {
            const bool level = high_at(c);
            lows[n_low] = QRect(QPoint(x0 + stretch, yl), QPoint(x0 + c - 1, yl));
            n_low += level & low_seen;
            highs[n_high] = QRect(QPoint(x0 + c, yh), QPoint(x0 + d - 1, yh));
            n_high += level;
            stretch = level ? d : stretch;
            low_seen = !level;
        },
        [&](int c, int d) {
            const bool beside_low = low_seen | (d < count && !high_at(d));
            lows[n_low++] = QRect(QPoint(x0 + c, top), QPoint(x0 + d - 1, bottom - (beside_low ? 1 : 0)));
        });
    if (low_seen)
        lows[n_low++] = QRect(QPoint(x0 + stretch, yl), QPoint(x0 + count - 1, yl));
    std::vector<QRect>& high_fills = batch->fills(high);
    high_fills.insert(high_fills.end(), highs.begin(), highs.begin() + long(n_high));
    std::vector<QRect>& low_fills = batch->fills(low);
    low_fills.insert(low_fills.end(), lows.begin(), lows.begin() + long(n_low));
}

// A bit row's columns at less than a pixel per sample where every sample of the span and the one
// before it is valid, as three sets of columns, a bit each: those that hold a change, marked from
// the high level's row to the low one's in the low pen, and of the others those whose level is
// high and those whose level is low. Kept for the rows of the last span and samples shown, as
// change_columns() keeps marks; a fraction of a kilobyte a row, however many edges it holds, and
// independent of the row's place and pens. GUI thread only; good until the next call.
struct COLUMN_MASKS {
    unsigned generation = 0;  // the span's they were found in
    std::vector<uint64_t> edges, highs, lows;
};

const COLUMN_MASKS& column_masks(const SPAN& span, const SPAN_COLUMNS& columns, const PLANE& plane)
{
    static KEPT_ROWS<std::pair<const uint64_t*, bool>, COLUMN_MASKS> kept;
    COLUMN_MASKS& row = kept.of(span)[{plane.words, plane.inverted}];
    if (span.stamp != 0 && kept.current(row) && !row.edges.empty())
        return row;
    row.generation = kept.generation;
    row.edges = edge_columns(columns, span_changes(span, &plane, 1).words);
    const size_t words = row.edges.size();
    row.highs.assign(words, 0);
    row.lows.assign(words, 0);
    const int count = int(columns.size());
    // Each column's level is its first sample's.
    SAMPLE_BITS_OF(columns.starts.data(), count, plane.words, (span.depth + 63) / 64, row.highs.data());
    for (size_t k = 0; k < words; ++k) {
        uint64_t high = row.highs[k];
        const int end = std::min(count, int(k * 64) + 64);
        const uint64_t in_row = end - int(k * 64) == 64 ? ~uint64_t(0) : (uint64_t(1) << (end - int(k * 64))) - 1;
        high = plane.inverted ? ~high & in_row : high;
        row.highs[k] = high & ~row.edges[k];
        row.lows[k] = ~high & in_row & ~row.edges[k];
    }
    return row;
}

// draw_valid_bit_columns() written straight into the cell's pixels from the row's column masks:
// the high level's row in the high pen, and in the low pen the marks from the high level's row to
// the low one's and the low level's row, the same pixels the rectangles would cover. False,
// having drawn nothing, where the pixels or the row do not take it: the columns not side by side,
// a sample not valid, the low level's row not below the high one's or a pen not opaque.
bool draw_bit_column_masks(const VOKR_PIXEL_FILL& pixels, const QRect& r, const SPAN& span, const PLANE& plane,
                           const uint64_t* valid, const BIT_PENS& pens)
{
    const int yh = r.top() + 1, yl = r.bottom() - 2;
    const QRgb high = pens.high.color().rgba(), low = pens.low.color().rgba();
    if (!pixels.valid() || yh >= yl || qAlpha(high) != 255 || qAlpha(low) != 255)
        return false;
    const SPAN_COLUMNS& columns = span_columns(span);
    if (!side_by_side(columns) || !span_valid(span, valid))
        return false;
    const COLUMN_MASKS& masks = column_masks(span, columns, plane);
    const int x0 = columns[0].x, count = int(columns.size());
    pixels.fill_columns(masks.highs.data(), x0, count, yh, yh, high);
    pixels.fill_columns(masks.edges.data(), x0, count, yh, yl, low);
    pixels.fill_columns(masks.lows.data(), x0, count, yl, yl, low);
    return true;
}

void draw_bit_columns(QPainter* p, const QRect& r, const SPAN& span, const PLANE& plane, const uint64_t* valid,
                      const BIT_PENS& pens)
{
    const int yh = r.top() + 1, yl = r.bottom() - 2;
    VOKR_LINE_BATCH& batch = VOKR_LINE_BATCH::shared();
    const int high = batch.color(pens.high.color()), low = batch.color(pens.low.color());
    if (side_by_side(span_columns(span)) && span_valid(span, valid)) {
        if (!KEPT_LEVELS::replay(p, &batch, span, plane, r, high, low)) {
            draw_valid_bit_columns(&batch, r, span, plane, high, low);
            KEPT_LEVELS::keep_and_draw(p, &batch, span, plane, r, high, low);
        }
        batch.finish(p);
        return;
    }
    int run_level = -1, run_start = 0, run_end = 0;
    MARK_RUN edges;
    auto flush = [&] {
        if (run_level >= 0)
            batch.line(run_start, run_level ? yh : yl, run_end, run_level ? yh : yl, run_level ? high : low);
        run_level = -1;
    };
    for_each_column(span, {plane}, valid, [&](int x, const COLUMN& c) {
        const int level = c.edge || (c.high && c.low) || !c.valid ? -1 : c.high ? 1 : 0;
        if (level != run_level || x != run_end + 1)
            flush();
        if (c.edge) {
            edges.add(&batch, x, yh, yl, low);
        } else if (c.high && c.low) {  // both levels on either side of a gap
            batch.line(x, yh, x, yh, high);
            batch.line(x, yl, x, yl, low);
        } else if (level >= 0) {
            if (run_level < 0)
                run_level = level, run_start = x;
            run_end = x;
        }
    });
    flush();
    edges.flush(&batch, yh, yl, low);
    batch.finish(p);
}

// ---- bus values -----------------------------------------------------------------------------------------

// The digits of a number's text and the letter after them; bits: of a digit where every text of a
// width has as many digits (a radix with its leading zeros shown), else 0.
struct RADIX {
    int index;
    const char* digits;
    char suffix;
    int bits;
};

// The radix a number of `display_type` is written in; null where a text may hold anything (a
// symbol, a character, a real number).
const RADIX* radix_of(int display_type)
{
    const int bits = VOKR_TX_MANAGER::cfg_show_leading_zeroes() ? 1 : 0;
    static const RADIX binary[] = {{0, "01", 'b', 0}, {0, "01", 'b', 1}};
    static const RADIX octal[] = {{1, "01234567", 'o', 0}, {1, "01234567", 'o', 3}};
    static const RADIX decimal = {2, "0123456789", '\0', 0};
    static const RADIX hex[] = {{3, "0123456789ABCDEF", 'h', 0}, {3, "0123456789ABCDEF", 'h', 4}};
    switch (display_type) {
    case KSM_GTYPE_BINARY: return &binary[bits];
    case KSM_GTYPE_OCTAL: return &octal[bits];
    case KSM_GTYPE_SIGNED_2S:
    case KSM_GTYPE_SIGNED_MAGNITUDE:
    case KSM_GTYPE_UNSIGNED: return &decimal;
    case KSM_GTYPE_HEX: return &hex[bits];
    default: return nullptr;
    }
}

// What a number's text measures at least in a font: its last digit with the radix letter `tail`,
// and each digit before them `digit` more (its advance with the kerning to the digit after it).
struct TEXT_FLOOR {
    qreal tail = 0.0, digit = 0.0;
};

TEXT_FLOOR measure_floor(const QFontMetricsF& metrics, const RADIX& radix)
{
    TEXT_FLOOR floor{1e9, 1e9};
    const QString suffix = radix.suffix ? QString(QLatin1Char(radix.suffix)) : QString();
    for (const char* d = radix.digits; *d; ++d) {
        const QString last{QLatin1Char(*d)};
        floor.tail = std::min(floor.tail, metrics.horizontalAdvance(last + suffix));
        const qreal alone = metrics.horizontalAdvance(last);
        for (const char* e = radix.digits; *e; ++e)
            floor.digit = std::min(floor.digit, metrics.horizontalAdvance(QLatin1Char(*e) + last) - alone);
    }
    return floor;
}

// Whole pixels no text of a `width`-bit number in `radix` is measured narrower than in the
// painter's font, less one for rounding. The last font of each radix is kept; GUI thread only.
int narrowest_text(QPainter* p, const RADIX& radix, int width)
{
    static struct {
        QFont font;
        int dpi = 0;
        TEXT_FLOOR floor;
    } known[4];
    auto& k = known[radix.index];
    const QFont& font = p->font();
    const int dpi = p->device()->logicalDpiX();
    if (k.dpi != dpi || k.font != font) {
        k.font = font, k.dpi = dpi;
        k.floor = measure_floor(QFontMetricsF(font, p->device()), radix);
    }
    const int digits = radix.bits ? (width + radix.bits - 1) / radix.bits : 1;
    return int(std::floor(k.floor.tail + (digits - 1) * k.floor.digit)) - 1;
}

// The value text of the number the planes hold at `sample`, drawn where it fits between `from` and
// `to`, after what the batch holds; whether it was. With `elide` a text too wide is drawn elided in
// the middle instead. A symbol (mnemonic) drawn again over a crossing takes the data mnemonic colour.
// A number's text is formatted only where its shortest one would fit.
struct BUS_TEXT {
    BUS_TEXT(VOKR_TX_MANAGER* m, int n, bool s, bool separated) : manager(m), node(n), selected(s), split(separated)
    {
        KSM_DATA_GROUP_DISPLAY_TYPE type = KSM_GTYPE_INVALID;
        radix = m->get_node_group_display_type(n, &type, -1) ? radix_of(type) : nullptr;
    }
    VOKR_TX_MANAGER* manager;
    int node;
    bool selected;
    bool split;  // a number's digits in groups of eight
    bool elide = false;
    const RADIX* radix = nullptr;  // of the bus's texts, where they are numbers
    mutable int narrowest_width = -1;

    int narrowest(QPainter* p, const std::vector<PLANE>& planes) const
    {
        if (narrowest_width < 0)
            narrowest_width = narrowest_text(p, *radix, int(planes.size()));
        return narrowest_width;
    }
    // The sample's bit of each member, one byte each, and the rows the number reads them from.
    mutable std::vector<unsigned char> bits;
    mutable std::vector<const unsigned char*> rows;

    // A segment's text where it fits: its characters, its rectangle, and whether it is a symbol.
    struct FITTED {
        QString text;
        QRect rect;
        bool symbol = false;
    };
    // A text tried, kept with a row's drawing: where, and whether it was drawn.
    struct TRY {
        long long sample;
        int from, to, top, bottom;
        bool at_crossing, drawn;
    };
    // While set, each text tried is added here and marked on the batch's tape.
    mutable std::vector<TRY>* tries = nullptr;

    // The sample's text for the segment from..to when it fits there.
    bool fit(QPainter* p, const std::vector<PLANE>& planes, long long sample, int from, int to, int top, int bottom,
             FITTED* fitted) const
    {
        // Most segments of a busy bus have no room for any text: told at once, before any call.
        if (to - from <= 1 || (radix && !elide && to - from + 1 < narrowest(p, planes)))
            return false;
        return fit_text(p, planes, sample, from, to, top, bottom, fitted);
    }
    // Draws what the batch holds, then the text over it.
    void put(QPainter* p, VOKR_LINE_BATCH* batch, const FITTED& fitted, bool at_crossing) const;
    bool draw(QPainter* p, VOKR_LINE_BATCH* batch, const std::vector<PLANE>& planes, long long sample, int from, int to,
              int top, int bottom, bool at_crossing = false) const
    {
        FITTED fitted;
        const bool drawn = fit(p, planes, sample, from, to, top, bottom, &fitted);
        if (drawn)
            put(p, batch, fitted, at_crossing);
        if (tries && batch->tape()) {
            batch->tape()->steps.push_back({0, 0, 0, int(tries->size())});
            tries->push_back({sample, from, to, top, bottom, at_crossing, drawn});
        }
        return drawn;
    }
    bool fit_text(QPainter* p, const std::vector<PLANE>& planes, long long sample, int from, int to, int top,
                  int bottom, FITTED* fitted) const;
};

bool BUS_TEXT::fit_text(QPainter* p, const std::vector<PLANE>& planes, long long sample, int from, int to, int top,
                        int bottom, FITTED* fitted) const
{
    if (bits.size() != planes.size()) {
        bits.resize(planes.size());
        rows.resize(planes.size());
        for (size_t m = 0; m < planes.size(); ++m)
            rows[m] = &bits[m];
    }
    for (size_t m = 0; m < planes.size(); ++m)
        bits[m] = word_bit(planes[m].words, sample) != planes[m].inverted;
    VOKR_NUMBER number(VOKR_BIT_ROWS{rows.data(), int(rows.size())}, 0);
    const char* first = nullptr;
    fitted->symbol = number.get_string(manager, node, &first, true, true, nullptr, -1);
    fitted->text = QString::fromLocal8Bit(first);
    if (split && !fitted->symbol)
        vokr_add_separators(&fitted->text, "_", 8);
    fitted->rect = QRect(QPoint(from, top + 1), QPoint(to, bottom));
    if (elide)
        fitted->text = vokr_elided_text(p, fitted->text, Qt::ElideMiddle, fitted->rect.width());
    return vokr_text_fits(p, fitted->rect, ALIGN_CENTRE, fitted->text);
}

void BUS_TEXT::put(QPainter* p, VOKR_LINE_BATCH* batch, const FITTED& fitted, bool at_crossing) const
{
    batch->draw(p);
    if (fitted.symbol && !selected && at_crossing)
        p->setPen(QPen(pirq_get_color(CROSSING_SYMBOL_COLOR)));
    else if (fitted.symbol)
        p->setPen(selected ? pirq_get_pen(SELECTED_TEXT_PEN) : pirq_get_pen(TEXT_PEN));
    else
        p->setPen(selected ? pirq_get_pen(SELECTED_PEN) : QPen(pirq_get_color(BUS_COLOR)));
    vokr_draw_line_text(p, fitted.rect, ALIGN_CENTRE, fitted.text);
}

// A bus row's drawing kept from paint to paint while the span and the samples stay: the
// rectangles the line batch filled, and the texts tried between them. The geometry follows from
// the samples, the span, the cell and the painter's area, which make the key; the texts follow
// also from settings no stamp covers (the display format, mnemonic tables, fonts), so a replay
// first tries every kept text again and draws nothing unless each one fits exactly where it did.
class KEPT_BUS_ROWS {
    static constexpr size_t MAX_ROWS = 256;

public:
    struct KEY {
        std::vector<std::pair<const uint64_t*, bool>> planes;
        const uint64_t* valid;
        QRect cell;
        QRgb rgb;
        VOKR_LINE_BATCH::AREA area;
        bool operator==(const KEY& o) const
        {
            return cell == o.cell && valid == o.valid && rgb == o.rgb && planes == o.planes && area == o.area;
        }
    };
    // The key of a bus row in `cell` drawn in `rgb` on the painter, from the cell's top: a row that
    // only moved up or down (the view scrolled) draws the same from there. Below a clip that ends
    // above it, the device's bottom changes nothing.
    static KEY key(QPainter* p, const QRect& cell, const std::vector<PLANE>& planes, const uint64_t* valid, QRgb rgb)
    {
        const int top = cell.top();
        VOKR_LINE_BATCH::AREA area = VOKR_LINE_BATCH::area(p);
        area.bounds.translate(0, -top);
        area.device_bottom = area.device_bottom > area.clip_bottom ? INT_MAX : area.device_bottom - top;
        area.clip_bottom -= top;
        KEY k{{}, valid, cell.translated(0, -top), rgb, area};
        for (const PLANE& plane : planes)
            k.planes.emplace_back(plane.words, plane.inverted);
        return k;
    }

private:
    struct ROW {
        VOKR_LINE_BATCH::TAPE tape;
        std::vector<BUS_TEXT::TRY> tries;
        // The widest segment left out of `tries` as narrower than the narrowest number; -1 where none
        // was: while the narrowest number stays wider, none of them fits still.
        int narrow_widest = -1;
        // Empty again, its room kept.
        void clear()
        {
            tape.clear();
            tries.clear();
            narrow_widest = -1;
        }
    };

public:
    // Draws the row, its top at `top`, from what was kept; false where nothing matching is kept or
    // a kept text now fits otherwise, having drawn nothing: the row is then drawn afresh under a
    // RECORD.
    static bool replay(QPainter* p, const SPAN& span, const std::vector<PLANE>& planes, const BUS_TEXT& text,
                       const KEY& key, int top)
    {
        const ROW* row = span.stamp ? instance(span).find(key) : nullptr;
        if (!row)
            return false;
        const VOKR_PIXEL_FILL pixels(p);
        if (!pixels.valid())
            return false;
        // GUI thread only; grown, never shrunk: an entry is read only where this replay's try fitted it.
        static std::vector<BUS_TEXT::FITTED> fitted;
        if (fitted.size() < row->tries.size())
            fitted.resize(row->tries.size());
        if (row->narrow_widest >= 0 && (!text.radix || text.elide || row->narrow_widest >= text.narrowest(p, planes)))
            return false;
        for (size_t i = 0; i < row->tries.size(); ++i) {
            const BUS_TEXT::TRY& t = row->tries[i];
            if (text.fit(p, planes, t.sample, t.from, t.to, t.top + top, t.bottom + top, &fitted[i]) != t.drawn)
                return false;
        }
        for (const VOKR_LINE_BATCH::TAPE::STEP& step : row->tape.steps) {
            if (step.mark < 0)
                pixels.fill(row->tape.rects.data() + step.first, step.count, step.rgb, top);
            else if (row->tries[size_t(step.mark)].drawn)
                text.put(p, &VOKR_LINE_BATCH::shared(), fitted[size_t(step.mark)],
                         row->tries[size_t(step.mark)].at_crossing);
        }
        return true;
    }

    // Records the row's drawing, its top at `top`, while it lives, and keeps it from that top when
    // the batch put all of it down.
    class RECORD {
    public:
        RECORD(const SPAN& span, const BUS_TEXT& text, KEY key, int top)
            : m_span(span), m_text(text), m_key(std::move(key)), m_top(top), m_row(recording())
        {
            if (!span.stamp)
                return;
            m_row.clear();
            VOKR_LINE_BATCH::shared().set_tape(&m_row.tape);
            text.tries = &m_row.tries;
        }
        ~RECORD()
        {
            if (!m_span.stamp)
                return;
            VOKR_LINE_BATCH::shared().set_tape(nullptr);
            m_text.tries = nullptr;
            if (m_row.tape.whole)
                compact(m_row, m_text, m_top, &instance(m_span).room(std::move(m_key)));
        }
        RECORD(const RECORD&) = delete;
        RECORD& operator=(const RECORD&) = delete;

    private:
        const SPAN& m_span;
        const BUS_TEXT& m_text;
        KEY m_key;
        int m_top;
        ROW& m_row;

        // The row a drawing is recorded in, its room kept from row to row. GUI thread only; one
        // row is recorded at a time.
        static ROW& recording()
        {
            static ROW row;
            return row;
        }
    };

private:
    // The row as a replay needs it: texts with no room for one pixel left out, as they never fit,
    // and those narrower than the narrowest number, as they do not while it stays as wide; the
    // marks of texts not drawn left out, as nothing is drawn there while every text fits as it
    // did; fills of one colour that follow each other joined; all of it moved up by `top`.
    static void compact(const ROW& row, const BUS_TEXT& text, int top, ROW* into)
    {
        ROW& kept = *into;
        kept.clear();
        kept.tape.whole = row.tape.whole;
        const int narrowest = text.radix && !text.elide ? text.narrowest_width : -1;
        static std::vector<int> index;  // GUI thread only
        index.assign(row.tries.size(), -1);
        for (size_t i = 0; i < row.tries.size(); ++i) {
            const BUS_TEXT::TRY& t = row.tries[i];
            const int width = t.to - t.from + 1;
            if (!t.drawn && width <= 2)
                continue;
            if (!t.drawn && width < narrowest) {
                kept.narrow_widest = std::max(kept.narrow_widest, width);
                continue;
            }
            index[i] = int(kept.tries.size());
            kept.tries.push_back(t);
            kept.tries.back().top -= top, kept.tries.back().bottom -= top;
        }
        std::vector<VOKR_LINE_BATCH::TAPE::STEP>& steps = kept.tape.steps;
        std::vector<QRect>& rects = kept.tape.rects;
        for (const VOKR_LINE_BATCH::TAPE::STEP& step : row.tape.steps) {
            if (step.mark >= 0) {
                if (row.tries[size_t(step.mark)].drawn)
                    steps.push_back({0, 0, 0, index[size_t(step.mark)]});
            } else {
                if (steps.empty() || steps.back().mark >= 0 || steps.back().rgb != step.rgb)
                    steps.push_back({step.rgb, rects.size(), 0, -1});
                for (size_t i = step.first; i < step.first + step.count; ++i)
                    rects.push_back(row.tape.rects[i].translated(0, -top));
                steps.back().count = rects.size() - steps.back().first;
            }
        }
    }

    const ROW* find(const KEY& k) const
    {
        for (const auto& [kept, row] : m_rows)
            if (kept == k)
                return &row;
        return nullptr;
    }
    // The row kept for `k`, to be written: the one kept before, else a new one in the room of a row
    // forgotten.
    ROW& room(KEY k)
    {
        for (auto& [kept, old] : m_rows)
            if (kept == k)
                return old;
        if (m_rows.size() >= MAX_ROWS)
            forget();
        m_rows.emplace_back(std::move(k), ROW());
        if (!m_spare.empty()) {
            std::swap(m_rows.back().second, m_spare.back());
            m_spare.pop_back();
        }
        return m_rows.back().second;
    }
    // Forgets the rows kept, keeping their room for the rows kept next.
    void forget()
    {
        for (auto& row : m_rows)
            if (m_spare.size() < MAX_ROWS)
                m_spare.push_back(std::move(row.second));
        m_rows.clear();
    }
    // The rows of `span`, forgotten when the span or the samples move on.
    static KEPT_BUS_ROWS& instance(const SPAN& span)
    {
        static KEPT_BUS_ROWS kept;
        if (!kept.m_span.same(span)) {
            kept.forget();
            kept.m_span = SPAN_KEY(span);
        }
        return kept;
    }

    SPAN_KEY m_span;
    std::vector<std::pair<KEY, ROW>> m_rows;
    std::vector<ROW> m_spare;  // rows forgotten, whose room new ones take
};

// A segment of equal values between two lines, a crossing where the value changes; found a word at
// a time up to its next change. The last text drawn is drawn again over the crossing after it.
void draw_bus_samples(QPainter* p, const QRect& cell, const SPAN& span, const std::vector<PLANE>& planes,
                      const uint64_t* valid, const BUS_TEXT& text)
{
    const QColor bus_color = text.selected ? pirq_get_color(SELECTED_PEN) : pirq_get_color(BUS_COLOR);
    KEPT_BUS_ROWS::KEY kept = KEPT_BUS_ROWS::key(p, cell, planes, valid, bus_color.rgba());
    if (KEPT_BUS_ROWS::replay(p, span, planes, text, kept, cell.top()))
        return;
    const KEPT_BUS_ROWS::RECORD record(span, text, std::move(kept), cell.top());
    const int top = cell.top() + 1, bottom = cell.bottom() - 2, mid = (bottom - top + 1) / 2 + top;
    const int tw = span.pixels < 6 ? int(span.pixels) : 6, half = tw / 2;
    // Where every sample from the one before the span to its last is valid, only the one after it is
    // looked up.
    const long long known_valid = span.all_valid == 1 ? span.end : 0;
    auto is_valid = [&](long long s) { return s >= 0 && s < span.depth && (s < known_valid || word_bit(valid, s)); };
    // A bit per sample of the span and the one after it: set where a sample is not valid or
    // differs from the one before it.
    static std::vector<uint64_t> changes;  // GUI thread only
    const long long k0 = span.first >> 6, k1 = std::min<long long>(span.end, span.depth - 1) >> 6;
    changes.assign(size_t(k1 - k0 + 1), 0);
    for (long long k = k0; k <= k1; ++k) {
        uint64_t c = ~valid[k];
        for (const PLANE& plane : planes)
            c |= plane.words[k] ^ previous(plane.words, k);
        changes[k - k0] = c;
    }
    auto breaks = [&](long long k) { return changes[k - k0]; };
    // Whether valid samples s - 1 and s hold the same value.
    auto equal_to_previous = [&](long long s) { return ((changes[(s >> 6) - k0] >> (s & 63)) & 1) == 0; };
    VOKR_LINE_BATCH& batch = VOKR_LINE_BATCH::shared();
    const int color = batch.color(bus_color);
    const long long last = span.end - 1;
    int start = 0, text_start = 0;
    struct {
        long long sample = -1;
        int from = 0, to = 0;
    } drawn;  // the last segment's text that fitted, drawn again over the crossing that follows it
    auto lines = [&](int to) { batch.rails(start, to, top, bottom, color); };
    for (long long s = span.first; s <= last;) {
        if (!is_valid(s)) {
            s = next_set(s, last + 1, [&](long long k) { return valid[k]; });
            continue;
        }
        const int x = span.x(s);
        if (is_valid(s - 1) && !equal_to_previous(s)) {
            if (s == span.first) {
                batch.line(x + half, bottom, x, mid, color);
                batch.line(x, mid, x + half, top, color);
                start = x + half;
            } else {
                const int a = x - half;
                // One pixel wide, the segments' edges on both sides meet over it; after a
                // segment whose text was drawn it keeps its end rows, put down after the text.
                batch.cross(a, top, bottom, tw, color, tw == 1 && drawn.sample != s - 1);
                if (drawn.sample == s - 1)
                    text.draw(p, &batch, planes, drawn.sample, drawn.from, drawn.to, top, bottom, true);
                start = a + tw;
            }
            text_start = start + 1;
        } else if (s == span.first || !is_valid(s - 1)) {
            start = text_start = x;
        }
        // The segment's samples s..e: up to the first that is invalid or differs.
        const long long e = next_set(s + 1, last + 1, breaks) - 1;
        const int xe = span.x(e + 1);
        const bool next_valid = is_valid(e + 1);
        int end = xe + 1;
        if (e < last && next_valid) {
            end = xe - half;
            lines(end);
        } else if (e == last && e + 1 < span.depth && next_valid && !equal_to_previous(e + 1)) {
            end = xe - half;
            lines(end);
            batch.line(end, top, xe, mid, color);
            batch.line(xe, mid, end, bottom, color);
        } else {
            lines(end);
        }
        if (text.draw(p, &batch, planes, e, text_start, end, top, bottom))
            drawn = {e, text_start, end};
        s = e + 1;
    }
    batch.finish(p);
}

void draw_bus_columns(QPainter* p, const QRect& cell, const SPAN& span, const std::vector<PLANE>& planes,
                      const uint64_t* valid, const BUS_TEXT& text)
{
    const int top = cell.top() + 1, bottom = cell.bottom() - 2;
    VOKR_LINE_BATCH& batch = VOKR_LINE_BATCH::shared();
    const int color = batch.color(text.selected ? pirq_get_color(SELECTED_PEN) : pirq_get_color(BUS_COLOR));
    const SPAN_COLUMNS& columns = span_columns(span);
    if (side_by_side(columns) && span_valid(span, valid)) {
        // A segment is a run of columns without a change, its value that of its first sample.
        const int x0 = columns[0].x, low = std::min(top, bottom), high = std::max(top, bottom);
        for_each_run(
            columns, change_columns(span, columns, planes.data(), planes.size()),
            [&](int c, int d) {
                const int start = x0 + c, end = x0 + d - 1;
                batch.fill_ordered(start, top, end, top, color);
                batch.fill_ordered(start, bottom, end, bottom, color);
                if (end - start > 8)
                    text.draw(p, &batch, planes, columns.starts[size_t(c)], start + 1, end, top, bottom);
            },
            [&](int c, int d) { batch.fill_ordered(x0 + c, low, x0 + d - 1, high, color); });
        batch.finish(p);
        return;
    }
    int start = -1, end = 0, sample = 0;
    MARK_RUN edges;
    auto flush = [&] {
        if (start < 0)
            return;
        batch.rails(start, end, top, bottom, color);
        if (end - start > 8) {  // room for a text: read the segment's value from the words
            edges.flush(&batch, top, bottom, color);
            text.draw(p, &batch, planes, sample, start + 1, end, top, bottom);
        }
        start = -1;
    };
    for_each_column(span, planes, valid, [&](int x, const COLUMN& c) {
        if (!c.valid || c.edge || x != end + 1)
            flush();
        if (c.edge) {
            edges.add(&batch, x, top, bottom, color);
        } else if (c.valid) {
            if (start < 0)
                start = x, sample = c.first_valid;
            end = x;
        }
    });
    flush();
    edges.flush(&batch, top, bottom, color);
    batch.finish(p);
}

// ---- charts ---------------------------------------------------------------------------------------------

struct CHART {
    int type;
    std::vector<PLANE> planes;  // most significant first
    const uint64_t* valid;
    QRect area;  // top + 2, bottom - 2, right - 1

    bool is_signed() const { return type == KSM_GTYPE_SIGNED_BAR || type == KSM_GTYPE_SIGNED_LINE; }
    bool is_bar() const { return type == KSM_GTYPE_UNSIGNED_BAR || type == KSM_GTYPE_SIGNED_BAR; }
    int axis() const { return is_signed() ? area.top() + area.height() / 2 : area.bottom(); }

    long long value(long long s) const
    {
        uint64_t v = 0;
        for (const PLANE& pl : planes)
            v = (v << 1) | uint64_t(word_bit(pl.words, s) != pl.inverted);
        return decode(v);
    }
    long long decode(uint64_t v) const
    {
        const int w = int(planes.size());
        if (is_signed() && w > 0 && ((v >> (w - 1)) & 1))
            return (long long)v - (1LL << w);
        return (long long)v;
    }
    // The lowest and highest value among the valid samples s0..s1 - 1 (at least one), a word at a
    // time: in each word the planes, most significant first, narrow down the samples that can
    // still hold the extreme. Signed values compare as unsigned with the sign plane inverted.
    void range(long long s0, long long s1, long long* lo, long long* hi) const
    {
        const int w = int(planes.size());
        const uint64_t sign = is_signed() && w > 0 ? uint64_t(1) << (w - 1) : 0;
        uint64_t low = ~uint64_t(0), high = 0;
        for (long long k = s0 >> 6; k <= (s1 - 1) >> 6; ++k) {
            uint64_t up = valid[k] & range_mask(k, s0, s1), down = up, key_up = 0, key_down = 0;
            if (!up)
                continue;
            for (int b = 0; b < w; ++b) {
                const uint64_t ones = planes[b].words[k] ^ (planes[b].inverted != (b == 0 && sign) ? ~uint64_t(0) : 0);
                key_up <<= 1, key_down <<= 1;
                if (up & ones)
                    up &= ones, key_up |= 1;
                if (down & ~ones)
                    down &= ~ones;
                else
                    key_down |= 1;
            }
            low = std::min(low, key_down), high = std::max(high, key_up);
        }
        *lo = decode(low ^ sign), *hi = decode(high ^ sign);
    }
    int y(long long value) const
    {
        const int w = int(planes.size());
        if (!is_signed())
            return area.bottom() - int(double(value) / double((1ULL << w) - 1) * area.height());
        // A one-bit bus has no positive range: scale by 1, not by 2^0 - 1.
        const double full = std::max(double((1ULL << (w - 1)) - 1), 1.0);
        return axis() - int(double(value) / full * (area.height() / 2));
    }
};

// One slot per sample, or per pixel column with the lowest and highest value in it.
void draw_chart(QPainter* p, const SPAN& span, const CHART& chart, const QPen& pen)
{
    p->setPen(pen);
    const int g = span.pixels < 6 ? int(span.pixels) : 6;
    bool joined = false;
    QPoint last_point;
    auto slot = [&](int x, int width, long long lo, long long hi, long long first, long long final_value) {
        if (chart.is_bar()) {
            const int x0 = x + g / 2, x1 = std::max(x0, x0 + width - g);
            for (long long v : {lo, hi})
                if (v != 0 || lo == hi)
                    p->fillRect(QRect(QPoint(x0, std::min(chart.y(v), chart.axis())),
                                      QPoint(x1, std::max(chart.y(v), chart.axis()))),
                                pen.color());
            return;
        }
        const int cx = x + width / 2;
        if (joined)
            p->drawLine(last_point, QPoint(cx, chart.y(first)));
        if (lo != hi)
            p->drawLine(cx, chart.y(lo), cx, chart.y(hi));
        last_point = QPoint(cx, chart.y(final_value));
        joined = true;
    };
    if (span.pixels >= 1.0) {
        for (long long s = span.first; s < span.end; ++s) {
            if (!word_bit(chart.valid, s)) {
                joined = false;
                continue;
            }
            const long long v = chart.value(s);
            slot(span.x(s), int(span.pixels), v, v, v, v);
        }
    } else {
        // Validity only: a chart column needs no transition marks, only its value range.
        static const std::vector<PLANE> NO_PLANES;
        for_each_column(span, NO_PLANES, chart.valid, [&](int x, const COLUMN& c) {
            if (!c.valid) {
                joined = false;
                return;
            }
            long long lo = 0, hi = 0;
            chart.range(c.first_valid, c.last_valid + 1, &lo, &hi);
            if (c.gap)
                joined = false;
            slot(x, 1, lo, hi, chart.value(c.first_valid), chart.value(c.last_valid));
        });
    }
    if (chart.is_signed()) {
        p->setPen(pirq_get_color(AXIS_COLOR));
        p->drawLine(chart.area.left(), chart.axis(), chart.area.right(), chart.axis());
    }
}

}  // namespace

// ---- the visible span -----------------------------------------------------------------------------------

int VOKR_VIEW::get_first_visible_sample() const { return m_column_scroll ? 0 : horizontal_value(); }

int VOKR_VIEW::get_sample_x(int sample) const
{
    QRect cell;
    if (!get_item_rect(0, WAVEFORM_COLUMN, &cell))
        return 0;
    return int(get_pixels_per_sample() * (sample - get_first_visible_sample()) + cell.left() + 2);
}

VOKR_VIEW::SAMPLE_SCALE VOKR_VIEW::sample_scale() const
{
    SAMPLE_SCALE scale;
    scale.known = true;
    scale.depth = get_sample_depth();
    scale.first = std::clamp(get_first_visible_sample(), 0, scale.depth);
    scale.end = std::clamp(get_visible_end_sample(), scale.first, scale.depth);
    scale.pixels = get_pixels_per_sample();
    // The same for every row: read once from the log's valid words.
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    const uint64_t* valid = log && log->is_data_available(false) ? log->get_valid_words() : nullptr;
    if (valid && scale.end > scale.first)
        scale.all_valid = all_valid(valid, std::max(scale.first - 1, 0), scale.end) ? 1 : 0;
    scale.stamp = valid ? log->get_samples_stamp() : 0;
    return scale;
}

VOKR_VIEW::WAVE_SPAN VOKR_VIEW::wave_span(const QRect& rect) const
{
    const SAMPLE_SCALE scale = m_paint_scale.known ? m_paint_scale : sample_scale();
    WAVE_SPAN span;
    span.depth = scale.depth;
    span.first = scale.first;
    span.end = scale.end;
    span.pixels = scale.pixels;
    span.all_valid = scale.all_valid;
    span.stamp = scale.stamp;
    span.left = rect.left();
    return span;
}

// ---- sample gathering -----------------------------------------------------------------------------------

// The member rows a bus draws from: all of them, or for a chart at most 25, from the last member
// down when the bus is stored least significant bit first. False when there are none.
bool VOKR_VIEW::gather_members(int node, bool chart, QVector<int>* members) const
{
    VOKR_TX_MANAGER* m = m_tx_manager;
    const int count = m->get_last_child_index(node) - node;
    members->clear();
    if (count < 1)
        return false;
    bool lsb_first = false;
    VOKR_ASSERT_TEXT(m->get_node_lsb_to_msb(node, &lsb_first, -1),
                     "this->m_tx_manager->get_node_lsb_to_msb(ROW_TO_NODE(nRow), &lsb_to_msb)");
    const int used = chart ? std::min(count, MAX_CHART_BITS) : count;
    for (int i = 0; i < used; ++i)
        members->append(chart && lsb_first ? node + count - i : node + 1 + i);
    return true;
}

void VOKR_VIEW::draw_wave_cell(int node, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags)
{
    VOKR_TX_MANAGER* m = m_tx_manager;
    KSM_DATA_LOG* log = m->get_data_log();
    const WAVE_SPAN span = wave_span(rect);
    if (!current_node_table() || span.depth <= 0 || !log || !log->is_data_available(false)) {
        if (flags.first_node_row)
            draw_status_text(rect, painter);
        return;
    }
    const uint64_t* valid = log->get_valid_words();
    if (!valid || span.end <= span.first || rect.width() < 2)
        return;
    KSM_TX_SIGNAL_SET* set = m->get_signal_nodes(-1);
    VOKR_ASSERT_TEXT(set != nullptr, "data_nodes != NULL");
    auto plane_of = [&](int row, PLANE* plane) {
        const int channel = set->get_channel(row);
        plane->words = channel >= 0 && log->get_connection_status(channel) ? log->get_channel_words(channel) : nullptr;
        plane->inverted = set->is_signal_inverted(row);
        return plane->words != nullptr;
    };
    const bool selected = flags.selected && flags.focused;
    const bool reduced = span.pixels < 1.0;
    const QRect cell = rect.adjusted(0, 0, 1, 1);
    // A bit row kept whole is written straight into the cell's pixels, without clipping the painter.
    if (!set->has_children(node) && flags.pixels && flags.pixels->holds_for(painter)) {
        PLANE plane;
        if (!plane_of(node, &plane))
            return;
        const VOKR_PIXEL_FILL pixels = flags.pixels->within(cell);
        const BIT_PENS pens = bit_pens(flags, selected);
        if (reduced ? draw_bit_column_masks(pixels, rect, span, plane, valid, pens)
                    : replay_bit_samples(pixels, rect, span, plane, pens))
            return;
    }
    const VOKR_CELL_CLIP clip(painter, cell, flags.pixels);
    if (!set->has_children(node)) {
        PLANE plane;
        if (plane_of(node, &plane)) {
            const BIT_PENS pens = bit_pens(flags, selected);
            if (reduced)
                draw_bit_columns(painter, rect, span, plane, valid, pens);
            else
                draw_bit_samples(painter, rect, span, plane, valid, pens, false);
        }
        return;
    }
    KSM_DATA_GROUP_DISPLAY_TYPE type = KSM_GTYPE_INVALID;
    VOKR_ASSERT_TEXT(m->get_node_group_display_type(node, &type, -1),
                     "this->m_tx_manager->get_node_group_display_type(ROW_TO_NODE(nRow), &type)");
    QVector<int> members;
    std::vector<PLANE> planes;
    bool complete = !m->is_grandparent(node) && gather_members(node, is_chart(type), &members);
    for (int i = 0; complete && i < members.size(); ++i) {
        planes.push_back(PLANE{});
        complete = plane_of(members[i], &planes.back());
    }
    if (complete && is_chart(type)) {
        const QPen pen = selected ? flags.selected_pen : QPen(flags.bus_color);
        const CHART chart{type, planes, valid,
                          QRect(QPoint(rect.left(), rect.top() + 2), QPoint(rect.right() - 1, rect.bottom() - 2))};
        if (chart.area.width() >= 2)
            draw_chart(painter, span, chart, pen);
    } else if (complete && rect.width() >= 3) {
        const BUS_TEXT text{m, node, selected, flags.split_bus_values};
        if (reduced)
            draw_bus_columns(painter, rect, span, planes, valid, text);
        else
            draw_bus_samples(painter, rect, span, planes, valid, text);
    }
}

// The master time bar's sample as one sample filling the cell, with its two neighbours.
void VOKR_VIEW::draw_value_cell(int node, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags)
{
    VOKR_TX_MANAGER* m = m_tx_manager;
    const int depth = get_sample_depth();
    KSM_DATA_LOG* log = m->get_data_log();
    if (depth <= 0 || !log || !log->is_data_available(false) || m_timebar_count < 1)
        return;
    const int master = m_time_bars[0];
    if (master < 0 || master >= depth || rect.width() < 2)
        return;
    WAVE_SPAN span;
    span.first = 1, span.end = 2, span.depth = 3;
    span.pixels = rect.width();
    span.left = rect.left();
    const bool selected = flags.selected && flags.focused;
    bool* samples = VOKR_WAVE_MASK(3);
    if (!m->get_wave_mask(samples, master, false, -1))
        return;
    const uint64_t valid = pack(samples, 3);
    if (!m->has_children(node)) {
        if (!m->get_wave(node, samples, master, false, -1))
            return;
        const uint64_t bits = pack(samples, 3);
        draw_bit_samples(painter, rect, span, PLANE{&bits, false}, &valid, bit_pens(flags, selected), true);
        return;
    }
    const int count = m->get_last_child_index(node) - node;
    if (count < 1 || m->is_grandparent(node))
        return;
    std::vector<uint64_t> words(count);
    std::vector<PLANE> planes;
    for (int i = 0; i < count; ++i) {
        if (!m->get_wave(node + 1 + i, samples, master, false, -1))
            return;
        words[i] = pack(samples, 3);
        planes.push_back(PLANE{&words[i], false});
    }
    // The value is never left out: one too wide for the column is elided, whole in the tooltip.
    BUS_TEXT text{m, node, selected, flags.split_bus_values};
    text.elide = true;
    draw_bus_samples(painter, rect, span, planes, &valid, text);
}

// ---- condition cells ------------------------------------------------------------------------------------

void VOKR_VIEW::draw_leaf_condition(int condition, const QRect& rect, QPainter* painter, bool enabled, bool selected,
                                    bool power_up)
{
    static const struct {
        int condition;
        PIRQ_ICON_ENUM icon;
    } ICONS[] = {
        {KSM_CTYPE_HIGH, PIRQ_ICON_WAVE_HIGH},
        {KSM_CTYPE_LOW, PIRQ_ICON_WAVE_LOW},
        {KSM_CTYPE_RISING_EDGE, PIRQ_ICON_WAVE_RISING_EDGE},
        {KSM_CTYPE_FALLING_EDGE, PIRQ_ICON_WAVE_FALLING_EDGE},
        {KSM_CTYPE_EITHER_EDGE, PIRQ_ICON_WAVE_EITHER_EDGE},
        {KSM_CTYPE_DONT_CARE, PIRQ_ICON_WAVE_DONT_CARE},
    };
    if (!enabled)
        painter->fillRect(rect.adjusted(-1, -1, 0, 0), pirq_get_brush(FACE));
    else if (!selected && power_up)
        painter->fillRect(rect.adjusted(-1, -1, 0, 0), QColor(153, 204, 255));
    for (const auto& entry : ICONS) {
        if (entry.condition != condition)
            continue;
        QPixmap icon = pirq_get_icon(entry.icon);
        if (enabled && selected && hasFocus()) {
            // Inverted and tinted, so that the icon reads on the selection.
            QImage image(icon.size(), QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter ink(&image);
            ink.drawPixmap(0, 0, icon);
            ink.end();
            image.invertPixels();
            ink.begin(&image);
            ink.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
            ink.fillRect(image.rect(), pirq_get_color(297));
            ink.end();
            icon = QPixmap::fromImage(image);
        }
        QRect target(QPoint(0, 0), icon.size());
        target.moveCenter(rect.center());
        painter->drawPixmap(target.topLeft(), icon);
    }
}

void VOKR_VIEW::draw_group_condition(int node, int level, const QRect& rect, QPainter* painter, bool enabled,
                                     bool selected, bool power_up)
{
    VOKR_TX_MANAGER* m = m_tx_manager;
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    const bool comparison =
        level >= 0 ? m->is_comparison_enabled(node, level, -1) : list->is_pattern_comparison_enabled(node, level + 3);
    const bool grandparent = m->is_grandparent(node);
    const KSM_DATA_TRIGGER_CONDITION condition =
        level >= 0 ? list->get_trigger_condition(node, level) : list->get_pattern_condition(node, level + 3);
    QString value;
    bool radix_ok = false, symbol = false;
    get_group_trigger_pattern(node, level, &value, &radix_ok);
    if (radix_ok && !value.isEmpty()) {
        const QByteArray bits = value.toLatin1();
        VOKR_NUMBER number(bits.constData());
        const char* first = nullptr;
        symbol = number.get_string(m, node, &first, true, true, nullptr, level);
        value = QString::fromLocal8Bit(first);
    }
    const bool focused = selected && hasFocus();
    QPen pen = pirq_get_pen(HINT_PEN);
    if (!enabled)
        painter->fillRect(rect.adjusted(-1, -1, 0, 0), pirq_get_brush(FACE));
    else if (focused)
        pen = pirq_get_pen(symbol || grandparent ? SELECTED_TEXT_PEN : SELECTED_PEN);
    else
        pen = symbol || grandparent || comparison ? QPen(pirq_get_color(SYMBOL_COLOR)) : pirq_get_pen(TEXT_PEN);
    if (enabled && !selected && power_up)
        painter->fillRect(rect.adjusted(-1, -1, 0, 0), QColor(153, 204, 255));
    const bool group_condition =
        m->is_group_condition(condition) && condition >= KSM_CTYPE_GROUP_EQUAL && condition <= KSM_CTYPE_GROUP_ANY_BIT;
    QString action;
    if (group_condition)
        action = get_group_condition_action(condition)->text().remove('&');
    QString text;
    bool bold = comparison || grandparent;
    if (comparison) {
        std::string expression;
        m->get_comparison_expression(node, level, &expression, -1);
        text = QString::fromStdString(expression);
    } else if (grandparent) {
        text = group_condition ? action : QString();
    } else {
        text = value;
        if (group_condition && condition != KSM_CTYPE_GROUP_EQUAL && condition != KSM_CTYPE_GROUP_AND)
            text += " (" + action + ")";
    }
    painter->save();
    if (bold) {
        QFont font = painter->font();
        font.setWeight(QFont::Bold);
        painter->setFont(font);
    }
    painter->setPen(pen);
    // A pattern wider than its column keeps both ends; the cell's tooltip gives it whole.
    painter->drawText(rect, ALIGN_CENTRE, vokr_elided_text(painter, text, Qt::ElideMiddle, rect.width()));
    painter->restore();
}
