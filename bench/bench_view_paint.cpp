// The Data tab of the node list view painted offscreen at 1920 x 1080: 64 rows (48 single bits
// and 16 buses of 8 to 32 bits, the four widest shown as the four chart types) over captures of
// 1 K, 16 K and 128 K samples, fully zoomed out and at one pixel per sample near the start and
// near the end; in turns with the same picture put on the same image from our frame: one fill, the
// rest of its pixels as merged rectangles written straight into the image's rows a colour at a
// time, and its texts as the pixels they left, copied back. The reference is checked to reproduce
// every pixel. Besides the repaint of an unchanged frame, the first frame after a vertical scroll
// and after a zoom, each in turns with the exact reference of that new frame.
#include "bench_reporter.h"

#include "ksm.h"
#include "pirq.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QScrollBar>
#include <QStaticText>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextItem>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cwchar>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr int BITS = 48, BUSES = 16, CHARTS = 4;
enum MODE { ZOOMED_OUT, START, END };
enum VARIANT { AS_SHOWN, SCROLLED, ZOOMED_AWAY };
constexpr int SCROLLED_ROWS = 3;

struct VIEW : VOKR_VIEW {
    using VOKR_VIEW::m_zoom_offset;
    using VOKR_VIEW::VOKR_VIEW;
};

// Slow and fast toggling per row, and a glitch of one sample now and then.
bool sample_bit(int channel, int s)
{
    const int period = 2 + (channel * 37) % 300;
    return ((s / period) & 1) != 0 || (s % 4099 == channel);
}

struct SCENE {
    QTemporaryDir dir;
    std::unique_ptr<VOKR_FRAME_WND> frame = std::make_unique<VOKR_FRAME_WND>(nullptr, 0, 0, 0);
    VOKR_TX_MANAGER* m = frame->get_tx_manager();
    QTabWidget tabs;
    std::unique_ptr<VIEW> view;

    explicit SCENE(int depth)
    {
        m->new_document(dir.filePath("bench.lmx").toLocal8Bit().constData());
        tabs.addTab(new QWidget, "Data"), tabs.addTab(new QWidget, "Setup");
        frame->get_layout_widget()->set_data_setup_tab_widget(0, &tabs);
        KSM_TX_SIGNAL_SET* set = m->get_signal_nodes(-1);
        int n = 0;
        for (int i = 0; i < BITS; ++i)
            m->insert_node(QString("bit%1").arg(n++), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
        for (int b = 0; b < BUSES; ++b) {
            const int first = set->get_num_nodes(), width = 8 + (b * 24) / (BUSES - 1);
            for (int i = 0; i < width; ++i)
                m->insert_node(QString("bus%1_%2").arg(b).arg(i), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
            set->group_nodes(first, first + width - 1);
            const int chart = b - (BUSES - CHARTS);
            set->set_group_display_type(
                first, chart < 0 ? KSM_GTYPE_HEX : KSM_DATA_GROUP_DISPLAY_TYPE(KSM_GTYPE_UNSIGNED_BAR + chart));
            m->toggle_node(first);  // collapsed: one row per bus
        }
        KSM_DATA_LOG* log = m->get_session()->create_new_log(0);
        const int channels = set->get_num_channels();
        log->begin_capture(channels, depth, 0);
        std::vector<uint64_t> words((depth + 63) / 64);
        for (int c = 0; c < channels; ++c) {
            std::fill(words.begin(), words.end(), 0);
            for (int s = 0; s < depth; ++s)
                words[s >> 6] |= uint64_t(sample_bit(c, s)) << (s & 63);
            log->set_channel_words(c, words.data(), words.size());
        }
        for (int s = 0; s < depth; ++s)
            log->set_valid(s, true);
        log->set_trigger_positions({depth / 8});
        log->end_capture();
        m->set_view_log(0, log);
        view = std::make_unique<VIEW>(nullptr, m);
        view->resize(1920, 1080);
        view->invalidate_geometry();
        QScrollBar* rows = view->get_vertical_bar();  // as the shown view sets it: 12 rows below the view
        rows->setRange(0, BITS + BUSES - 52);
        rows->setVisible(true);
    }

    // The view in `mode`, as shown or moved: scrolled down by a wheel step's rows, or zoomed to
    // twice as many samples across (half as many where the mode shows them all).
    void show(MODE mode, int depth, VARIANT variant = AS_SHOWN)
    {
        QRect cell;
        view->get_item_rect(0, VOKR_VIEW::WAVEFORM_COLUMN, &cell);
        int span = mode == ZOOMED_OUT ? depth : cell.width() - 6;
        if (variant == ZOOMED_AWAY)
            span = mode == ZOOMED_OUT ? depth / 2 : std::min(span * 2, depth);
        view->m_zoom_offset = VOKR_DOUBLE(VOKR_VIEW::SAMPLE_SPAN - span, 1);
        QScrollBar* bar = view->get_horizontal_bar();
        bar->setRange(0, depth - span);
        bar->setValue(mode == END ? depth - span : 0);
        bar->setVisible(span < depth);
        view->get_vertical_bar()->setValue(variant == SCROLLED ? SCROLLED_ROWS : 0);
    }
};

// Made once per depth and mode, shown in that mode; gone before the application object.
std::map<std::pair<int, int>, std::unique_ptr<SCENE>> g_scenes;

SCENE& scene(int depth, int mode)
{
    auto& s = g_scenes[{depth, mode}];
    if (!s) {
        s = std::make_unique<SCENE>(depth);
        s->show(MODE(mode), depth);
    }
    return *s;
}

// One frame of ours on `image`.
void paint_frame(SCENE& s, QImage* image)
{
    QPainter painter(image);
    QRect area(0, 0, 1920, 1080);
    s.view->paint(&painter, 0, s.view.get(), &area, true);
}

void BM_Paint(benchmark::State& state)
{
    SCENE& s = scene(int(state.range(0)), int(state.range(1)));
    QImage image(1920, 1080, QImage::Format_RGB32);
    for (auto _ : state)
        paint_frame(s, &image);
}

// The texts a frame draws, where and how: a paint engine that keeps the text items handed to it
// and drops everything else, on a device measured as the image is.
struct TEXT {
    QPointF baseline;
    QString text;
    QFont font;
    QColor color;
};

class TEXT_RECORDER : public QPaintDevice, QPaintEngine {
public:
    TEXT_RECORDER() : QPaintEngine(QPaintEngine::AllFeatures) {}
    std::vector<TEXT> texts;

    QPaintEngine* paintEngine() const override { return const_cast<TEXT_RECORDER*>(this); }
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }
    void updateState(const QPaintEngineState& state) override
    {
        if (state.state() & DirtyPen)
            m_color = state.pen().color();
        if (state.state() & DirtyTransform)
            m_transform = state.transform();
    }
    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        texts.push_back({m_transform.map(p), item.text(), item.font(), m_color});
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawRects(const QRectF*, int) override {}
    void drawLines(const QLineF*, int) override {}

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        static const QImage image(1920, 1080, QImage::Format_RGB32);
        switch (metric) {
        case PdmWidth: return image.width();
        case PdmHeight: return image.height();
        case PdmWidthMM: return image.widthMM();
        case PdmHeightMM: return image.heightMM();
        case PdmNumColors: return 0;
        case PdmDepth: return image.depth();
        case PdmDpiX: return image.logicalDpiX();
        case PdmDpiY: return image.logicalDpiY();
        case PdmPhysicalDpiX: return image.physicalDpiX();
        case PdmPhysicalDpiY: return image.physicalDpiY();
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    QColor m_color;
    QTransform m_transform;
};

// Every text a frame draws, at its baseline in its font and colour.
std::vector<TEXT> frame_texts(SCENE& s)
{
    TEXT_RECORDER recorder;
    QPainter painter(&recorder);
    QRect area(0, 0, 1920, 1080);
    s.view->paint(&painter, 0, s.view.get(), &area, true);
    return std::move(recorder.texts);
}

// Where a frame's texts touch its pixels: each text drawn once, white on black, in its font at its
// baseline; non-zero wherever one of its glyphs leaves any coverage.
QImage text_coverage(QSize size, const std::vector<TEXT>& texts)
{
    QImage coverage(size, QImage::Format_Grayscale8);
    coverage.fill(0);
    QPainter painter(&coverage);
    painter.setPen(Qt::white);
    for (const TEXT& t : texts) {
        painter.setFont(t.font);
        painter.drawText(t.baseline, t.text);
    }
    return coverage;
}

// A frame as the fewest rectangles a painter needs besides one fill of its most common colour and
// its texts: every scanline cut into maximal runs of one colour, the pixels a text touches taking
// the colour of the run they extend, and runs of the same extent and colour on consecutive
// scanlines joined into one rectangle; the rectangles are kept in one batch per colour. The texts
// are kept as pixels: the pixels their glyphs touch (found by drawing each once) kept as they
// stand in the frame, as runs along the scanlines, and copied back over the rectangles on every
// paint.
struct REFERENCE {
    QRgb background = 0;
    std::map<QRgb, QVector<QRect>> batches;
    struct TEXT_RUN {
        int x, y, length;
        size_t first;  // in `text_pixels`
    };
    std::vector<TEXT_RUN> text_runs;
    std::vector<QRgb> text_pixels;
    size_t texts = 0;
    int rects = 0;
    int differing = 0, differing_lines = 0;  // where the reference's picture differs from our frame

    REFERENCE(const QImage& frame, const std::vector<TEXT>& frame_texts) : texts(frame_texts.size())
    {
        const QImage covered = text_coverage(frame.size(), frame_texts);
        cut_into_rectangles(frame, covered);
        keep_text_pixels(frame, covered);
    }

    void cut_into_rectangles(const QImage& frame, const QImage& covered)
    {
        std::map<QRgb, int> counts;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                ++counts[frame.pixel(x, y)];
        background =
            std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
        struct RUN {
            int x0, x1;
            QRgb color;
            int rect;  // index in the colour's batch
        };
        std::vector<RUN> above, runs;
        for (int y = 0; y < frame.height(); ++y) {
            runs.clear();
            const uchar* masked = covered.constScanLine(y);
            for (int x = 0; x < frame.width(); ++x) {
                const QRgb c = masked[x] ? (runs.empty() ? background : runs.back().color) : frame.pixel(x, y);
                if (!runs.empty() && runs.back().color == c)
                    runs.back().x1 = x;
                else
                    runs.push_back({x, x, c, -1});
            }
            auto a = above.begin();
            for (RUN& r : runs) {
                if (r.color == background)
                    continue;
                while (a != above.end() && a->x0 < r.x0)
                    ++a;
                QVector<QRect>& batch = batches[r.color];
                if (a != above.end() && a->x0 == r.x0 && a->x1 == r.x1 && a->color == r.color && a->rect >= 0) {
                    r.rect = a->rect;
                    batch[r.rect].setBottom(y);
                } else {
                    r.rect = batch.size();
                    batch.push_back(QRect(QPoint(r.x0, y), QPoint(r.x1, y)));
                }
            }
            std::swap(above, runs);
        }
        for (auto& [color, rects] : batches)
            this->rects += rects.size();
    }

    // The frame's pixels the texts touch, as runs along the scanlines.
    void keep_text_pixels(const QImage& frame, const QImage& covered)
    {
        for (int y = 0; y < frame.height(); ++y) {
            const uchar* masked = covered.constScanLine(y);
            const QRgb* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
            for (int x = 0; x < frame.width(); ++x) {
                if (!masked[x])
                    continue;
                if (text_runs.empty() || text_runs.back().y != y || text_runs.back().x + text_runs.back().length != x)
                    text_runs.push_back({x, y, 0, text_pixels.size()});
                ++text_runs.back().length;
                text_pixels.push_back(line[x]);
            }
        }
    }

    // A rectangle of one colour written straight into the image's rows (its bits and stride taken
    // once a frame): a short run as plain stores, a longer one as the C library's vectorised fill.
    // What the raster engine's fill does, without its per-call and per-scanline overhead.
    static void fill(uchar* bits, qsizetype stride, const QRect& r, QRgb color)
    {
        uchar* line = bits + r.top() * stride + r.left() * 4;
        const int width = r.width();
        for (int y = r.top(); y <= r.bottom(); ++y, line += stride) {
            if (width == 1)
                *reinterpret_cast<QRgb*>(line) = color;
            else if (width <= 8)
                std::fill_n(reinterpret_cast<QRgb*>(line), width, color);
            else
                std::wmemset(reinterpret_cast<wchar_t*>(line), wchar_t(color), size_t(width));
        }
    }

    // One fill, then the rectangles a colour at a time.
    void paint_rectangles(QImage* image) const
    {
        uchar* bits = image->bits();
        const qsizetype stride = image->bytesPerLine();
        fill(bits, stride, image->rect(), background);
        for (const auto& [color, rects] : batches)
            for (const QRect& r : rects)
                fill(bits, stride, r, color);
    }

    // The rectangles, then the texts' kept pixels copied back run by run: a short run as plain
    // stores, a longer one by the C library's copy.
    void paint(QImage* image) const
    {
        paint_rectangles(image);
        uchar* bits = image->bits();
        const qsizetype stride = image->bytesPerLine();
        const QRgb* pixels = text_pixels.data();
        for (const TEXT_RUN& run : text_runs) {
            QRgb* to = reinterpret_cast<QRgb*>(bits + run.y * stride) + run.x;
            const QRgb* from = pixels + run.first;
            if (run.length <= 8)
                std::copy_n(from, run.length, to);
            else
                std::memcpy(to, from, size_t(run.length) * sizeof(QRgb));
        }
    }

    // The pixels, and the scanlines, where `image` differs from `frame`.
    void count_differing(const QImage& frame, const QImage& image)
    {
        differing = differing_lines = 0;
        for (int y = 0; y < frame.height(); ++y) {
            const QRgb* a = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
            const QRgb* b = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            const int before = differing;
            for (int x = 0; x < frame.width(); ++x)
                differing += a[x] != b[x] ? 1 : 0;
            differing_lines += differing != before ? 1 : 0;
        }
    }
};

bool g_failed = false;

// The exact reference of a frame, taken from it and checked against it once: the same picture put
// on the same image from our frame's rectangles and texts; it must reproduce every pixel. Null,
// with the run failed, where it does not. The scene is left as shown in its mode.
const REFERENCE* exact_reference(int depth, int mode, VARIANT variant = AS_SHOWN)
{
    static std::map<std::tuple<int, int, int>, std::unique_ptr<REFERENCE>> references;
    std::unique_ptr<REFERENCE>& made = references[{depth, mode, variant}];
    if (!made) {
        SCENE& s = scene(depth, mode);
        s.show(MODE(mode), depth, variant);
        QImage frame(1920, 1080, QImage::Format_RGB32);
        paint_frame(s, &frame);
        made = std::make_unique<REFERENCE>(frame, frame_texts(s));
        s.show(MODE(mode), depth);
        QImage drawn(1920, 1080, QImage::Format_RGB32);
        made->paint(&drawn);
        made->count_differing(frame, drawn);
        std::printf(
            "exact reference, %d samples, mode %d, variant %d: %d pixels on %d scanlines differ from our "
            "frame%s\n",
            depth, mode, int(variant), made->differing, made->differing_lines, made->differing ? " FAIL" : "");
    }
    if (made->differing)
        g_failed = true;
    return made->differing ? nullptr : made.get();
}

// Two painters timed in turns of a few frames each, each turn's ratio of their times kept by the
// pair's name (over all repetitions): a change in the machine's speed during the run (other work,
// the clock) weighs on both sides of a turn alike, where two benchmarks run apart would each catch
// a different part of it. The medians of the turns are the aims' figures.
struct TURNS {
    std::vector<double> ratios, first_ms, second_ms;
};
std::map<std::string, TURNS> g_turns;

// Each side's frames are timed one by one, each after its side's `away` (untimed): for a first
// frame after a move, the frame painted before it elsewhere.
template <typename FIRST, typename SECOND, typename FIRST_AWAY, typename SECOND_AWAY>
void in_turns(benchmark::State& state, const std::string& name, FIRST first, SECOND second, FIRST_AWAY first_away,
              SECOND_AWAY second_away)
{
    constexpr int FRAMES = 4;
    using CLOCK = std::chrono::steady_clock;
    auto ms = [](CLOCK::duration d) { return std::chrono::duration<double, std::milli>(d).count() / FRAMES; };
    auto frames = [](auto& away, auto& frame) {
        CLOCK::duration spent{};
        for (int i = 0; i < FRAMES; ++i) {
            away();
            const CLOCK::time_point t0 = CLOCK::now();
            frame();
            spent += CLOCK::now() - t0;
        }
        return spent;
    };
    TURNS& turns = g_turns[name];
    for (auto _ : state) {
        turns.first_ms.push_back(ms(frames(first_away, first)));
        turns.second_ms.push_back(ms(frames(second_away, second)));
        turns.ratios.push_back(turns.first_ms.back() / turns.second_ms.back());
    }
    state.counters["ours_ms"] = median(turns.first_ms);
    state.counters["other_ms"] = median(turns.second_ms);
    state.counters["ratio"] = median(turns.ratios);
}

template <typename FIRST, typename SECOND>
void in_turns(benchmark::State& state, const std::string& name, FIRST first, SECOND second)
{
    auto stay = [] {};
    in_turns(state, name, first, second, stay, stay);
}

std::string turns_name(int depth, int mode, const char* move = "")
{
    return std::to_string(depth) + "/" + std::to_string(mode) + move;
}

// Our frame in turns with its exact reference.
void BM_BesideExactReference(benchmark::State& state)
{
    const int depth = int(state.range(0)), mode = int(state.range(1));
    const REFERENCE* reference = exact_reference(depth, mode);
    if (!reference) {
        state.SkipWithError("the reference's picture differs from our frame");
        return;
    }
    SCENE& s = scene(depth, mode);
    QImage ours(1920, 1080, QImage::Format_RGB32), theirs(1920, 1080, QImage::Format_RGB32);
    in_turns(
        state, turns_name(depth, mode), [&] { paint_frame(s, &ours); }, [&] { reference->paint(&theirs); });
    state.counters["rects"] = reference->rects;
    state.counters["drawRects"] = double(reference->batches.size());
    state.counters["texts"] = double(reference->texts);
}

// Our frame at one pixel a sample at the end in turns with ours at the start.
void BM_EndBesideStart(benchmark::State& state)
{
    const int depth = int(state.range(0));
    SCENE &end = scene(depth, END), &start = scene(depth, START);
    QImage a(1920, 1080, QImage::Format_RGB32), b(1920, 1080, QImage::Format_RGB32);
    in_turns(
        state, "end/start", [&] { paint_frame(end, &a); }, [&] { paint_frame(start, &b); });
}

enum MOVE { SCROLL, ZOOM };
const char* const MOVE_NAMES[] = {"/scrolled", "/zoomed"};

// The first frame after a move, ours in turns with the exact reference of that frame: scrolled
// down by a wheel step from the mode's view, or zoomed to the mode's view from twice (or half) its
// samples across. Each side paints the frame before the move, untimed, then the new frame.
void BM_FirstFrameBesideExactReference(benchmark::State& state)
{
    const int depth = int(state.range(0)), mode = int(state.range(1)), move = int(state.range(2));
    const VARIANT before = move == SCROLL ? AS_SHOWN : ZOOMED_AWAY, after = move == SCROLL ? SCROLLED : AS_SHOWN;
    const REFERENCE *away = exact_reference(depth, mode, before), *moved = exact_reference(depth, mode, after);
    if (!away || !moved) {
        state.SkipWithError("the reference's picture differs from our frame");
        return;
    }
    SCENE& s = scene(depth, mode);
    QImage ours(1920, 1080, QImage::Format_RGB32), theirs(1920, 1080, QImage::Format_RGB32);
    away->paint(&ours), moved->paint(&theirs);
    if (ours == theirs) {
        std::printf("FAIL: the move leaves the frame as it was, %d samples, mode %d\n", depth, mode);
        g_failed = true;
        state.SkipWithError("the move leaves the frame as it was");
        return;
    }
    in_turns(
        state, turns_name(depth, mode, MOVE_NAMES[move]),
        [&] {
            s.show(MODE(mode), depth, after);
            paint_frame(s, &ours);
        },
        [&] { moved->paint(&theirs); },
        [&] {
            s.show(MODE(mode), depth, before);
            paint_frame(s, &ours);
        },
        [&] { away->paint(&theirs); });
    s.show(MODE(mode), depth);
}

void depths(benchmark::internal::Benchmark* b, bool modes)
{
    for (int depth : {1024, 16384, 131072})
        for (int mode = ZOOMED_OUT; mode <= (modes ? END : ZOOMED_OUT); ++mode)
            b->Args({depth, mode});
}

BENCHMARK(BM_Paint)->Apply([](benchmark::internal::Benchmark* b) { depths(b, true); })->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BesideExactReference)
    ->Args({1024, ZOOMED_OUT})
    ->Args({131072, ZOOMED_OUT})
    ->Args({131072, END})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EndBesideStart)->Arg(131072)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstFrameBesideExactReference)
    ->Args({1024, ZOOMED_OUT, SCROLL})
    ->Args({1024, ZOOMED_OUT, ZOOM})
    ->ArgsProduct({{131072}, {ZOOMED_OUT, START, END}, {SCROLL, ZOOM}})
    ->Unit(benchmark::kMillisecond);

void print_ratios(const BENCH_REPORTER::TIMES& times)
{
    auto t = [&](const char* name) {
        auto it = times.find(name);
        return it == times.end() ? 0.0 : it->second;
    };
    auto turns = [](const std::string& name) {
        auto it = g_turns.find(name);
        return it == g_turns.end() ? TURNS() : it->second;
    };
    const TURNS fitted_1k = turns(turns_name(1024, ZOOMED_OUT)), fitted = turns(turns_name(131072, ZOOMED_OUT));
    const TURNS end = turns(turns_name(131072, END)), end_start = turns("end/start");
    std::printf("\n%-44s %10s\n", "frame (ms)", "");
    std::printf("%-44s %10.2f\n%-44s %10.2f\n", "fitted, 1K", t("BM_Paint/1024/0"), "fitted, 128K",
                t("BM_Paint/131072/0"));
    std::printf("%-44s %10.2f\n%-44s %10.2f\n", "1 px/sample at start, 128K", t("BM_Paint/131072/1"),
                "1 px/sample at end, 128K", t("BM_Paint/131072/2"));
    std::printf("%-44s %10.2f\n%-44s %10.2f\n", "exact reference, fitted, 1K", median(fitted_1k.second_ms),
                "exact reference, fitted, 128K", median(fitted.second_ms));
    std::printf("%-44s %10.2f\n", "exact reference, end, 128K", median(end.second_ms));
    std::printf(
        "(reference times: medians of the turns; each aim's figure is the median of its turns' ratios:\n"
        " %zu, %zu, %zu and %zu turns of 4 frames a side)\n\n",
        fitted.ratios.size(), end.ratios.size(), fitted_1k.ratios.size(), end_start.ratios.size());
    print_aim("paint 1920x1080, 64 rows, 128K fitted / exact reference", median(fitted.ratios), "<=", 1.2);
    print_aim("paint 1920x1080, 64 rows, 128K at 1 px/sample at the end / exact reference", median(end.ratios),
              "<=", 1.2);
    // The 128K frame holds far more edges than the 1K one, so its picture alone costs more; what
    // must not grow with the capture is our cost beyond the picture's.
    print_aim("paint 1920x1080, 64 rows, fitted, 128K / 1K, over the exact reference's 128K / 1K",
              median(fitted.ratios) / median(fitted_1k.ratios), "<=", 1.5);
    print_aim("paint 1920x1080, 64 rows, 128K at 1 px/sample, end / start", median(end_start.ratios), "<=", 1.2);
    print_aim("paint 1920x1080, 64 rows, 1K fitted / exact reference", median(fitted_1k.ratios), "<=", 1.2);
    static const char* const VIEWS[] = {"fitted", "at 1 px/sample at the start", "at 1 px/sample at the end"};
    static const char* const MOVES[] = {"a scroll", "a zoom"};
    // The whole 1K capture is narrower than the column: it is never shown at 1 px/sample.
    for (int depth : {1024, 131072})
        for (int mode = ZOOMED_OUT; mode <= (depth == 1024 ? ZOOMED_OUT : END); ++mode)
            for (int move = SCROLL; move <= ZOOM; ++move) {
                const TURNS first = turns(turns_name(depth, mode, MOVE_NAMES[move]));
                std::printf("first frame after %s, %s, %s: ours %.2f ms, exact reference %.2f ms\n", MOVES[move],
                            depth == 1024 ? "1K" : "128K", VIEWS[mode], median(first.first_ms),
                            median(first.second_ms));
                print_aim(std::string("paint 1920x1080, 64 rows, first frame after ") + MOVES[move] + ", " +
                              (depth == 1024 ? "1K " : "128K ") + VIEWS[mode] + " / exact reference",
                          median(first.ratios), "<=", 1.2);
            }
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir registry;
    qputenv("KORVANE_SETTINGS_DIR", registry.path().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setFont(QFont("DejaVu Sans", 8));
    BENCH_REPORTER reporter(BENCH_REPORTER::REAL_TIME, print_ratios);
    const int result = bench_main(argc, argv, reporter);
    g_scenes.clear();
    if (g_failed)
        std::printf("FAIL: the exact reference's picture differs from our frame\n");
    return g_failed ? 1 : result;
}
