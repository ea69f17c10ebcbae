// The Data tab of the node list view painted offscreen at 1920 x 1080: 64 rows (48 single bits
// and 16 buses of 8 to 32 bits, the four widest shown as the four chart types) over captures of
// 1 K, 16 K and 128 K samples, fully zoomed out and at one pixel per sample near the start and
// near the end; next to the same picture put on the same image by QPainter from rectangles and
// texts taken from our frame: one drawRects per colour per row, and the header texts and bus
// values with drawText.
#include "bench_reporter.h"

#include "ksm.h"
#include "pirq.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QApplication>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextItem>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int BITS = 48, BUSES = 16, CHARTS = 4;
enum MODE { ZOOMED_OUT, START, END };

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
    }

    void show(MODE mode, int depth)
    {
        QRect cell;
        view->get_item_rect(0, VOKR_VIEW::WAVEFORM_COLUMN, &cell);
        const int span = mode == ZOOMED_OUT ? depth : cell.width() - 6;
        view->m_zoom_offset = VOKR_DOUBLE(VOKR_VIEW::SAMPLE_SPAN - span, 1);
        QScrollBar* bar = view->get_horizontal_bar();
        bar->setRange(0, depth - span);
        bar->setValue(mode == END ? depth - span : 0);
        bar->setVisible(mode != ZOOMED_OUT);
    }
};

// Made once per depth; gone before the application object.
std::map<int, std::unique_ptr<SCENE>> g_scenes;

SCENE& scene(int depth)
{
    auto& s = g_scenes[depth];
    if (!s)
        s = std::make_unique<SCENE>(depth);
    return *s;
}

void BM_Paint(benchmark::State& state)
{
    const int depth = int(state.range(0));
    SCENE& s = scene(depth);
    s.show(MODE(state.range(1)), depth);
    QImage image(1920, 1080, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        QRect area(0, 0, 1920, 1080);
        s.view->paint(&painter, 0, s.view.get(), &area, true);
    }
}

// The picture of a frame as one rectangle per pixel column per row: the column's drawn pixels
// within the row, topmost to lowest, in the colour of the topmost (the background where none is);
// a row's rectangles are kept in one batch per colour.
struct BATCH {
    QColor color;
    QVector<QRect> rects;
};

std::vector<BATCH> row_batches(SCENE& s, const QImage& frame)
{
    const QRgb background = pirq_get_color(298).rgb();
    std::vector<BATCH> batches;
    KSM_TX_SIGNAL_SET* set = s.m->get_signal_nodes(-1);
    int rows = 0;
    QRect cell;
    for (int node = 0; node < set->get_num_nodes() && rows < BITS + BUSES; ++node) {
        if (!s.view->get_item_rect(VOKR_VIEW::node_to_row(node), VOKR_VIEW::WAVEFORM_COLUMN, &cell))
            continue;
        ++rows;
        const int top = cell.top(), bottom = std::min(cell.bottom(), frame.height() - 1);
        if (top > bottom)
            break;  // below the image
        std::map<QRgb, QVector<QRect>> by_color;
        for (int x = 0; x < frame.width(); ++x) {
            int first = -1, last = -1;
            for (int y = top; y <= bottom; ++y)
                if (frame.pixel(x, y) != background)
                    last = y, first = first < 0 ? y : first;
            if (first < 0)
                by_color[background].push_back(QRect(x, top, 1, bottom - top + 1));
            else
                by_color[frame.pixel(x, first)].push_back(QRect(x, first, 1, last - first + 1));
        }
        for (auto& [color, rects] : by_color)
            batches.push_back({QColor(color), std::move(rects)});
    }
    return batches;
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

// The texts of the header rows and the values written on the bus waveforms.
std::vector<TEXT> header_and_bus_texts(SCENE& s)
{
    TEXT_RECORDER recorder;
    {
        QPainter painter(&recorder);
        QRect area(0, 0, 1920, 1080);
        s.view->paint(&painter, 0, s.view.get(), &area, true);
    }
    QRect first_row;
    s.view->get_item_rect(VOKR_VIEW::FIRST_NODE_ROW, VOKR_VIEW::WAVEFORM_COLUMN, &first_row);
    std::vector<TEXT> texts;
    for (TEXT& t : recorder.texts) {
        const int x = int(t.baseline.x());
        if (t.baseline.y() < first_row.top() || (x >= first_row.left() && x <= first_row.right()))
            texts.push_back(std::move(t));
    }
    return texts;
}

// The same picture as a competent painter given its rectangles and texts puts it on the same
// image: one drawRects per colour per row, then each text with drawText at its baseline, the font
// and pen set only where they change.
void BM_BatchedReference(benchmark::State& state)
{
    const int depth = int(state.range(0));
    SCENE& s = scene(depth);
    s.show(MODE(state.range(1)), depth);
    QImage image(1920, 1080, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        QRect area(0, 0, 1920, 1080);
        s.view->paint(&painter, 0, s.view.get(), &area, true);
    }
    const std::vector<BATCH> batches = row_batches(s, image);
    const std::vector<TEXT> texts = header_and_bus_texts(s);
    const QColor background = pirq_get_color(298);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.fillRect(image.rect(), background);
        painter.setPen(Qt::NoPen);
        for (const BATCH& b : batches) {
            painter.setBrush(b.color);
            painter.drawRects(b.rects);
        }
        for (size_t i = 0; i < texts.size(); ++i) {
            const TEXT& t = texts[i];
            if (i == 0 || t.font != texts[i - 1].font)
                painter.setFont(t.font);
            if (i == 0 || t.color != texts[i - 1].color)
                painter.setPen(t.color);
            painter.drawText(t.baseline, t.text);
        }
    }
    int rects = 0;
    for (const BATCH& b : batches)
        rects += b.rects.size();
    state.counters["rects"] = rects;
    state.counters["drawRects"] = double(batches.size());
    state.counters["texts"] = double(texts.size());
}

void depths(benchmark::internal::Benchmark* b, bool modes)
{
    for (int depth : {1024, 16384, 131072})
        for (int mode = ZOOMED_OUT; mode <= (modes ? END : ZOOMED_OUT); ++mode)
            b->Args({depth, mode});
}

BENCHMARK(BM_Paint)->Apply([](benchmark::internal::Benchmark* b) { depths(b, true); })->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchedReference)->Args({131072, ZOOMED_OUT})->Args({131072, END})->Unit(benchmark::kMillisecond);

void print_ratios(const BENCH_REPORTER::TIMES& times)
{
    auto t = [&](const char* name) {
        auto it = times.find(name);
        return it == times.end() ? 0.0 : it->second;
    };
    const double out_1k = t("BM_Paint/1024/0"), out_128k = t("BM_Paint/131072/0");
    const double start = t("BM_Paint/131072/1"), end = t("BM_Paint/131072/2");
    const double fitted_reference = t("BM_BatchedReference/131072/0"),
                 end_reference = t("BM_BatchedReference/131072/2");
    std::printf("\n%-44s %10s\n", "frame (ms)", "");
    std::printf("%-44s %10.2f\n%-44s %10.2f\n", "fitted, 1K", out_1k, "fitted, 128K", out_128k);
    std::printf("%-44s %10.2f\n%-44s %10.2f\n", "1 px/sample at start, 128K", start, "1 px/sample at end, 128K", end);
    std::printf("%-44s %10.2f\n%-44s %10.2f\n\n", "batched reference, fitted, 128K", fitted_reference,
                "batched reference, end, 128K", end_reference);
    print_aim("paint 1920x1080, 64 rows, 128K fitted / batched reference", out_128k / fitted_reference, "<=", 1.0);
    print_aim("paint 1920x1080, 64 rows, 128K at 1 px/sample at the end / batched reference", end / end_reference,
              "<=", 1.0);
    print_aim("paint 1920x1080, 64 rows, fitted, 128K / 1K", out_128k / out_1k, "<=", 1.5);
    print_aim("paint 1920x1080, 64 rows, 128K at 1 px/sample, end / start", end / start, "<=", 1.2);
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
    return result;
}
