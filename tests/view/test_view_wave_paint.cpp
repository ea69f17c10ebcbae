// The Data tab of the node list view: waveforms, charts, value cells, condition cells, the time
// ruler and tick strips, position texts and the time units dialog; the reduced drawing of long
// captures checked against the transitions themselves; and the demo session's Data tab as a PNG.
#include "manager_test_support.h"
#include "paint_recorder.h"
#include "view_test_support.h"

#include "nixq.h"
#include "pirq.h"
#include "vokr_change_index.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_line_batch.h"
#include "vokr_pixel_fill.h"
#include "vokr_time_units_dlg.h"
#include "vokr_view.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPicture>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTimer>

#include <functional>
#include <iostream>
#include <map>
#include <set>

using namespace manager_test;

namespace {

struct VIEW : VOKR_VIEW {
    using VOKR_VIEW::m_time_bars;
    using VOKR_VIEW::m_timebar_count;
    using VOKR_VIEW::m_zoom_offset;
    using VOKR_VIEW::VOKR_VIEW;
};

using BITS = std::function<bool(int row, int sample)>;

// A 1000 x 400 view on the Data tab of a framed editor.
class WavePaint : public VIEW_TEST<VIEW> {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        QApplication::setStyle(QStyleFactory::create("Fusion"));
        QApplication::setFont(QFont("DejaVu Sans", 8));
        open_view(400, 0);
    }
    KSM_TX_SIGNAL_SET* data() const { return m_editor->data(); }
    void add(int count)
    {
        for (int i = 0; i < count; ++i)
            add_rows(m(), {QString("n%1").arg(m_added++).toLatin1().constData()});
    }
    // A bus of `width` new rows after the rows there are; its row index.
    int add_bus(int width, KSM_DATA_GROUP_DISPLAY_TYPE type, bool lsb_first = false)
    {
        const int first = data()->get_num_nodes();
        add(width);
        EXPECT_TRUE(data()->group_nodes(first, first + width - 1));
        data()->set_group_display_type(first, type);
        data()->set_lsb_to_msb(first, lsb_first);
        return first;
    }
    // A capture of every leaf row, into `log` or a new log; `valid` false leaves a sample invalid.
    KSM_DATA_LOG* capture(int depth, const BITS& bit, std::function<bool(int)> valid = {}, int segment = 0,
                          std::vector<int> triggers = {0}, KSM_DATA_LOG* log = nullptr)
    {
        log = log ? log : m()->get_session()->create_new_log(0);
        log->begin_capture(data()->get_num_channels(), depth, segment);
        for (int row = 0; row < data()->get_num_nodes(); ++row)
            for (int c = data()->get_channel(row), s = 0; c >= 0 && s < depth; ++s)
                log->set_bit(c, s, bit(row, s));
        for (int s = 0; s < depth; ++s)
            log->set_valid(s, valid ? valid(s) : true);
        for (int t : triggers)
            log->set_trigger_mark(t, true);
        log->set_trigger_positions(triggers);
        log->end_capture();
        m()->set_view_log(0, log);
        m_view->invalidate_geometry();
        return log;
    }
    QRect cell(int node, int column) const
    {
        QRect r;
        return m_view->get_item_rect(VOKR_VIEW::node_to_row(node), column, &r) ? r.adjusted(2, 2, -2, -2) : QRect();
    }
    // Shows `span` samples across the waveform column.
    void show_span(int span) { m_view->m_zoom_offset = VOKR_DOUBLE(VOKR_VIEW::SAMPLE_SPAN - span, 1); }
    const PAINT_RECORDER& paint()
    {
        m_recorder.clear();
        QPainter painter(&m_recorder);
        QRect area = m_view->rect();
        m_view->paint(&painter, 0, m_view.get(), &area, true);
        return m_recorder;
    }
    QImage render()
    {
        QImage image(m_view->size(), QImage::Format_RGB32);
        QPainter painter(&image);
        QRect area = m_view->rect();
        m_view->paint(&painter, 0, m_view.get(), &area, true);
        return image;
    }
    // The lines inside `area`, with the filled rectangles one pixel wide or high drawn in their place.
    std::vector<PAINT_RECORDER::LINE> lines_in(const QRect& area) const
    {
        std::vector<PAINT_RECORDER::LINE> out;
        for (const auto& l : m_recorder.lines())
            if (area.contains(l.line.p1()) && area.contains(l.line.p2()))
                out.push_back(l);
        for (const auto& r : m_recorder.rects())
            if (r.brush_color.isValid() && (r.rect.width() == 1 || r.rect.height() == 1) && area.contains(r.rect))
                out.push_back({QLine(r.rect.topLeft(), r.rect.bottomRight()), 1, r.brush_color});
        return out;
    }
    std::vector<QString> texts_in(const QRect& area) const
    {
        std::vector<QString> out;
        for (const auto& t : m_recorder.texts())
            if (area.contains(t.baseline))
                out.push_back(t.text);
        return out;
    }

    PAINT_RECORDER m_recorder;
    int m_added = 0;
};

TEST_F(WavePaint, PositionTexts)
{
    const struct {
        bool time;
        double period;
        const char* unit;
        int value;
        bool relative;
        const char* text;
    } cases[] = {
        {true, 100, "ns", 15, false, "1.5us"},   {true, 100, "ns", -15, true, "-1.5us"},
        {true, 100, "ns", 10, true, "+1us"},     {true, 50, "MHz", 100, false, "2us"},
        {true, 0.001, "ps", 1, false, "0.00ps"}, {true, 1000, "s", 1, false, "1000s"},
        {true, 100, "ns", 0, true, "+0ns"},      {true, 100, "ns", 0, false, "0"},
        {false, 100, "ns", 0, true, "+0"},       {false, 100, "ns", 42, true, "+42"},
        {true, 2.5, "ns", 1, false, "2.5ns"},    {true, 0, "MHz", 3, false, "3"},
    };
    for (const auto& c : cases) {
        m_view->set_time_units(c.time, c.period, c.unit);
        QString text;
        m_view->format_sample_value(&text, c.value, c.relative, false);
        EXPECT_EQ(text, c.text) << c.value << " " << c.unit;
    }
}

TEST_F(WavePaint, TimeUnitsDialog)
{
    VOKR_TIME_UNITS_DLG insert(nullptr, -10, 20, 100.0, false);
    insert.set_unit("ns");
    insert.on_init_dialog();
    insert.on_sel_change_time_units_combo("us");
    EXPECT_DOUBLE_EQ(insert.get_period(), 0.1);
    EXPECT_DOUBLE_EQ(insert.get_minimum(), -1.0);
    EXPECT_DOUBLE_EQ(insert.get_maximum(), 2.0);
    EXPECT_EQ(insert.windowTitle(), "Insert Time Bar");
    // The typed value is checked against the bounds in the unit now chosen.
    for (auto [text, acceptable] : {std::pair{"1.5", true}, {"1500", false}}) {
        QString typed = text;
        int position = 0;
        EXPECT_EQ(insert.get_value_edit()->validator()->validate(typed, position) == QValidator::Acceptable, acceptable)
            << text;
    }

    // Time-units mode: a period of 0 is refused with the range message; "us" and OK keep 100.
    VOKR_TIME_UNITS_DLG zero(nullptr);
    zero.on_init_dialog();
    zero.on_update_time_units_edit("0");
    zero.accept();
    EXPECT_NE(zero.result(), QDialog::Accepted);
    EXPECT_EQ(shown_messages(), std::vector<std::string>{"VOKR_VALUE_OUT_OF_RANGE"});
    add(1);
    capture(16, [](int, int) { return false; });
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<VOKR_TIME_UNITS_DLG*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        dialog->get_unit_combo()->setCurrentText("us");
        dialog->on_sel_change_time_units_combo("us");
        dialog->accept();
    });
    m_view->on_time_units();
    EXPECT_TRUE(m_view->is_using_time_units());
    EXPECT_EQ(m_view->get_time_period(), 100.0);
    EXPECT_EQ(m_view->get_time_unit(), "us");
    EXPECT_TRUE(m_view->on_update_time_units());

    // Time mode inserts through the time dialog: 250 us at 100 us per sample lands on sample 3.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<VOKR_TIME_UNITS_DLG*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        dialog->on_update_time_units_edit("250");
        EXPECT_EQ(dialog->get_sample_edit()->text(), "3");
        dialog->accept();
    });
    m_view->on_insert_time_bar();
    EXPECT_EQ(m_view->get_time_bars()[0], 3);
    VOKR_TIME_UNITS_DLG no_period(nullptr, 0, 10, 0.0, true);
    no_period.accept();
    EXPECT_NE(no_period.result(), QDialog::Accepted);
}

TEST_F(WavePaint, BusesAndCharts)
{
    // Row 0: a bus changing at every sample; 3: a 30-bit chart; 34: a signed bar; 38: signed line.
    const int bus = add_bus(2, KSM_GTYPE_HEX);
    const int chart = add_bus(30, KSM_GTYPE_UNSIGNED_BAR, true);
    const int bars = add_bus(3, KSM_GTYPE_SIGNED_BAR);
    const int line = add_bus(3, KSM_GTYPE_SIGNED_LINE);
    auto bit = [&](int row, int s) {
        if (row > bus && row <= bus + 2)
            return ((s >> (row - bus - 1)) & 1) != 0;
        if (row > chart && row <= chart + 30)
            return row == chart + 30;  // the most significant bit only
        return row > bars;             // -1 in both signed buses
    };
    capture(256, bit, [](int s) { return s != 5; });
    m_view->resize(1000, 2000);
    QRect wave = cell(bus, VOKR_VIEW::WAVEFORM_COLUMN);
    show_span((wave.width() - 2) / 4);
    ASSERT_GE(m_view->get_pixels_per_sample(), 4.0);
    paint();
    int crossings = 0;
    for (const auto& l : lines_in(wave))
        crossings += std::abs(l.line.dx()) == 4 && std::abs(l.line.dy()) > 4 ? 1 : 0;
    EXPECT_GT(crossings, 2 * 100);
    EXPECT_TRUE(texts_in(wave).empty());

    // LSB first: 25 bits from the last member down, so the top bit gives a bar of half height.
    const QRect bar_cell = cell(chart, VOKR_VIEW::WAVEFORM_COLUMN);
    int tallest = 0;
    for (const auto& r : m_recorder.rects())
        if (bar_cell.contains(r.rect) && r.brush_color == pirq_get_color(314))
            tallest = std::max(tallest, r.rect.height());
    EXPECT_NEAR(tallest, (bar_cell.height() - 4) / 2, 2);

    // Signed -1 lies below the axis; the line is not joined across the invalid sample 5.
    const QRect signed_cell = cell(bars, VOKR_VIEW::WAVEFORM_COLUMN);
    const int axis = signed_cell.top() + 2 + (signed_cell.height() - 4) / 2;
    for (const auto& r : m_recorder.rects())
        if (signed_cell.contains(r.rect) && r.brush_color == pirq_get_color(314)) {
            EXPECT_GE(r.rect.top(), axis - 1);
        }
    const int x5 = m_view->get_sample_x(5);
    const QRect line_cell = cell(line, VOKR_VIEW::WAVEFORM_COLUMN);
    for (const auto& l : lines_in(line_cell))
        if (l.line.dy() != 0 || l.line.y1() != line_cell.top() + 2 + (line_cell.height() - 4) / 2) {
            EXPECT_FALSE(l.line.x1() < x5 && l.line.x2() > x5 + 4) << l.line.x1() << ".." << l.line.x2();
        }
}

TEST_F(WavePaint, ValueColumnAndSplitValues)
{
    const QString cfg = QString::fromStdString(path("korvane.cfg"));
    write_file(cfg, "zlm_split_bus_values = on\n");
    qputenv("KORVANE_CFG_FILE", cfg.toLocal8Bit());
    add(1);
    const int bus = add_bus(64, KSM_GTYPE_HEX);
    capture(64, [&](int row, int s) { return row == 0 ? s % 2 : row > bus && (row + (s > 10)) % 3 == 0; });
    m_view->m_time_bars[0] = 11;
    m_view->m_timebar_count = 1;
    m_view->resize(3000, 400);
    m_view->invalidate_geometry();
    paint();
    qputenv("KORVANE_CFG_FILE", "");
    EXPECT_EQ(texts_in(cell(0, VOKR_VIEW::VALUE_COLUMN)), std::vector<QString>{"1"});
    // The bus changes at the master (11) and not after it: an opening half only.
    const QRect value = cell(bus, VOKR_VIEW::VALUE_COLUMN);
    const int mid = value.top() + 1 + (value.height() - 3) / 2;
    int halves = 0;
    for (const auto& l : lines_in(value))
        halves += l.line.y1() == mid || l.line.y2() == mid ? 1 : 0;
    EXPECT_EQ(halves, 2);
    bool split = false;
    for (const QString& t : texts_in(cell(bus, VOKR_VIEW::WAVEFORM_COLUMN)))
        split |= t.count('_') == 1 && t.indexOf('_') == t.size() - 9 - (t.endsWith('h') ? 1 : 0);
    EXPECT_TRUE(split);
}

// A text wider than its cell is elided in the middle, never left out: a wide bus's value at the
// master time bar in binary and in octal (its tooltip gives it in hexadecimal), and its pattern
// with an edge (binary digits) in a condition cell, whose tooltip gives it whole.
TEST_F(WavePaint, TextsTooWideForTheirCellsAreElided)
{
    add(64);
    ASSERT_TRUE(m()->group_node(0, 63));
    capture(8, [](int row, int s) { return (row + s) % 3 == 0; });
    m_view->m_time_bars[0] = 3;
    m_view->m_timebar_count = 1;
    m_editor->trigger()->set_trigger_condition(5, 0, KSM_CTYPE_RISING_EDGE);
    const struct {
        KSM_DATA_GROUP_DISPLAY_TYPE type;
        int tab, column;
    } cases[] = {{KSM_GTYPE_BINARY, 0, VOKR_VIEW::VALUE_COLUMN},
                 {KSM_GTYPE_OCTAL, 0, VOKR_VIEW::VALUE_COLUMN},
                 {KSM_GTYPE_HEX, 1, VOKR_VIEW::FIRST_LEVEL_COLUMN}};
    for (const auto& c : cases) {
        m_tabs.setCurrentIndex(c.tab);
        m()->set_node_group_display_type(0, c.type);  // false when the list shows it so already
        m_view->invalidate_geometry();
        paint();
        const std::vector<QString> texts = texts_in(cell(0, c.column));
        QString whole, tip;
        EXPECT_TRUE(m_view->tooltip_text(cell(0, c.column).center(), &tip));
        if (c.column == VOKR_VIEW::VALUE_COLUMN) {
            EXPECT_EQ(tip.toStdString(), "2492492492492492h") << c.type;
            const int width = m_view->get_column_width(c.column);
            m_view->set_column_width(c.column, QPoint(cell(0, c.column).left() + 2000, 0), false);
            paint();
            whole = texts_in(cell(0, c.column)).at(0);
            m_view->set_column_width(c.column, QPoint(cell(0, c.column).left() + width, 0), false);
            paint();
        } else {
            whole = tip;
        }
        ASSERT_EQ(texts.size(), 1u) << c.type;
        EXPECT_FALSE(whole.contains(QChar(0x2026))) << whole.toStdString();
        const QString ends[] = {texts[0].section(QChar(0x2026), 0, 0), texts[0].section(QChar(0x2026), 1)};
        EXPECT_TRUE(texts[0].contains(QChar(0x2026)) && whole.startsWith(ends[0]) &&
                    (whole.endsWith(ends[1]) || whole.chopped(1).endsWith(ends[1])))
            << c.type << " drew \"" << texts[0].toStdString() << "\" of \"" << whole.toStdString() << "\"";
        EXPECT_LE(QFontMetrics(m_view->font()).horizontalAdvance(texts[0]), cell(0, c.column).width()) << c.type;
    }
}

// A mnemonic drawn again over the crossing after its segment takes the data mnemonic colour.
TEST_F(WavePaint, SymbolTextsAtCrossings)
{
    const int bus = add_bus(2, KSM_GTYPE_MNEMONICS);
    m()->create_mnemonic_table(bus, "st", {"A", "B", "C", "D"}, {"00", "01", "10", "11"});
    capture(256, [&](int row, int s) { return ((s / 40) >> (row - bus - 1)) & 1; });
    show_span(100);
    paint();
    std::vector<std::pair<QString, QRgb>> texts;
    for (const auto& t : m_recorder.texts())
        if (cell(bus, VOKR_VIEW::WAVEFORM_COLUMN).contains(t.baseline))
            texts.emplace_back(t.text, t.color.rgb());
    const QRgb plain = pirq_get_color(18).rgb(), crossing = pirq_get_color(309).rgb();
    EXPECT_EQ(texts, (std::vector<std::pair<QString, QRgb>>{
                         {"A", plain}, {"A", crossing}, {"C", plain}, {"C", crossing}, {"B", plain}}));
}

// A number's text is formatted only where its shortest one could fit, and left out exactly where a
// full check leaves it out: the texts of a hexadecimal bus are those of a symbol bus without a
// table (written in hexadecimal, checked in full), for the narrowest values in segments of 8 to 68
// samples, at one and two pixels per sample and reduced, with leading zeros shown and hidden, in
// fonts of 8, 14 and then 6 points.
TEST_F(WavePaint, BusTextsLeftOutOnlyWhereNoneFits)
{
    const int hex = add_bus(16, KSM_GTYPE_HEX), symbols = add_bus(16, KSM_GTYPE_MNEMONICS);
    m()->toggle_node(symbols), m()->toggle_node(hex);
    constexpr int DEPTH = 6000;
    std::vector<int> value;  // of each sample: segment k is 8 + k mod 61 samples long, FFFFh or Fh
    for (int k = 0; int(value.size()) < DEPTH; ++k)
        value.insert(value.end(), 8 + k % 61, k % 2 ? 0xF : 0xFFFF);
    capture(DEPTH,
            [&](int row, int s) { return (value[s] >> (row > symbols ? symbols + 16 - row : hex + 16 - row)) & 1; });
    const int width = cell(hex, VOKR_VIEW::WAVEFORM_COLUMN).width() - 6;
    auto texts = [&](int node) {
        std::vector<std::pair<QString, int>> out;
        for (const auto& t : m_recorder.texts())
            if (cell(node, VOKR_VIEW::WAVEFORM_COLUMN).contains(t.baseline))
                out.emplace_back(t.text, t.baseline.x());
        return out;
    };
    size_t compared = 0;
    for (bool zeros : {true, false})
        for (int points : {8, 14, 6})
            for (int span : {width, width / 2, width * 3 / 2})
                for (int first : {0, 1000, 2000, 3000, 4000}) {
                    NIXQ_REGISTRY_KEY(NIXQ_VOKR_SUB_KEY).set_value(NIXQ_VOKR_SHOW_LEADING_ZEROES_STR, zeros);
                    m()->cfg_initialize_user_registry_settings();
                    QApplication::setFont(QFont("DejaVu Sans", points));  // the painter's
                    show_span(span);
                    QScrollBar* bar = m_view->get_horizontal_bar();
                    bar->setRange(0, DEPTH - span), bar->setValue(first), bar->setVisible(true);
                    paint();
                    EXPECT_EQ(texts(hex), texts(symbols)) << zeros << " " << points << " " << span << " " << first;
                    compared += texts(hex).size();
                }
    EXPECT_GT(compared, 200u);
    NIXQ_REGISTRY_KEY(NIXQ_VOKR_SUB_KEY).set_value(NIXQ_VOKR_SHOW_LEADING_ZEROES_STR, true);
    m()->cfg_initialize_user_registry_settings();
    QApplication::setFont(QFont("DejaVu Sans", 8));
}

TEST_F(WavePaint, GroupOfGroupsDrawsNoWaveform)
{
    add(4);
    ASSERT_TRUE(m()->group_node(0, 1));
    ASSERT_TRUE(m()->group_node(3, 4));  // rows 0 and 3 groups
    ASSERT_TRUE(m()->group_node(0, 5));  // row 0 a group of the two
    capture(32, [](int, int s) { return s % 3 == 0; });
    paint();
    EXPECT_TRUE(lines_in(cell(0, VOKR_VIEW::WAVEFORM_COLUMN)).empty());
    EXPECT_FALSE(lines_in(cell(2, VOKR_VIEW::WAVEFORM_COLUMN)).empty());
}

// Every pixel column holding a change between two valid samples is marked by a full vertical
// line, one-sample glitches included, and no other column is; every other column shows the level
// of its valid samples. The bit also steps at a column's first and last sample, in the last word
// of a column of each number of words, at both ends of a word and after a sample invalid on its
// own; a bus whose one changing member is that bit is marked in the same columns. With a gap of
// invalid samples and with every sample valid; the view as wide as the others (columns of two and
// three words) and narrower (of three and four).
TEST_F(WavePaint, ReducedDrawingMarksEveryTransitionColumn)
{
    add(1);
    const int charts[] = {add_bus(4, KSM_GTYPE_UNSIGNED_BAR), add_bus(4, KSM_GTYPE_SIGNED_BAR)};
    const int bus = add_bus(2, KSM_GTYPE_HEX);
    m()->toggle_node(bus);
    constexpr int DEPTH = 50000;
    for (const int width : {1000, 640}) {
        m_view->resize(width, 400);
        capture(DEPTH, [](int, int) { return false; });
        show_span(DEPTH);
        ASSERT_LT(m_view->get_pixels_per_sample(), 0.1);
        std::vector<int> starts;  // of the pixel columns after the first
        for (int s = 1; s < DEPTH; ++s)
            if (m_view->get_sample_x(s) != m_view->get_sample_x(s - 1))
                starts.push_back(s);
        const size_t n = starts.size();
        std::set<int> steps = {starts[n / 6], 64 * 400, 64 * 500 + 63, starts[n / 2] + 6};
        std::set<int> spans;  // of the words of the columns stepped in
        for (size_t c = n / 3; c + 1 < n; ++c) {
            const int a = starts[c] / 64, b = (starts[c + 1] - 1) / 64;
            if (starts[c + 1] % 64 != 0 && spans.insert(b - a + 1).second)
                steps.insert(starts[c + 1] - 1);
        }
        EXPECT_EQ(spans, (width == 1000 ? std::set<int>{2, 3} : std::set<int>{3, 4}));
        const int lone_invalid = starts[n / 2] + 5;
        // Bus values: 15 (unsigned) and -8 (signed) at sample 40001 only, 0 elsewhere.
        auto bit = [&](int row, int s) {
            if (row == 0 || row == bus + 1) {
                const bool level = (s / 3000) % 2 == 1 || s % 7919 == 0 || s == 40001;
                return level != (std::distance(steps.begin(), steps.upper_bound(s)) % 2 == 1);
            }
            return row != bus + 2 && s == 40001 && row != charts[1] + 2;
        };
        const std::function<bool(int)> validities[] = {
            [&](int s) { return (s < 20000 || s > 20500) && s != lone_invalid; }, [](int) { return true; }};
        for (const auto& valid : validities) {
            capture(DEPTH, bit, valid);
            const QImage image = render();
            std::set<int> expected;
            std::map<int, std::set<bool>> levels;  // by pixel column, of its valid samples
            for (int s = 0; s < DEPTH; ++s) {
                if (s > 0 && valid(s) && valid(s - 1) && bit(0, s) != bit(0, s - 1))
                    expected.insert(m_view->get_sample_x(s));
                if (valid(s))
                    levels[m_view->get_sample_x(s)].insert(bit(0, s));
            }
            const QRgb high = pirq_get_color(108).rgb(), low = pirq_get_color(109).rgb();
            const QRgb bus_color = pirq_get_color(314).rgb();
            for (const auto& [row, color] : {std::pair<int, QRgb>{0, low}, {bus, bus_color}}) {
                const QRect wave = cell(row, VOKR_VIEW::WAVEFORM_COLUMN);
                const int yh = wave.top() + 1, yl = wave.bottom() - 2;
                std::set<int> marked;
                for (int x = wave.left(); x <= wave.right(); ++x) {
                    bool full = true;
                    for (int y = yh; y <= yl; ++y)
                        full &= image.pixel(x, y) == color;
                    if (full) {
                        marked.insert(x);
                    } else if (row == 0 && levels[x].size() == 1) {
                        EXPECT_EQ(image.pixel(x, *levels[x].begin() ? yh : yl), *levels[x].begin() ? high : low) << x;
                    }
                }
                EXPECT_EQ(marked, expected) << row;
            }
            // A chart column shows the extreme values of its samples: the glitch gives the only tall bar.
            paint();
            for (int chart : charts) {
                std::vector<int> tall;
                for (const auto& r : m_recorder.rects())
                    if (cell(chart, VOKR_VIEW::WAVEFORM_COLUMN).contains(r.rect) && r.rect.height() > 4)
                        tall.push_back(r.rect.left());
                EXPECT_EQ(tall, std::vector<int>{m_view->get_sample_x(40001)}) << chart;
            }
        }
    }
}

// Random changes, each word's ends included, at zooms of 1.5 to 140 samples a column and spans
// starting anywhere in a word: a reduced bit row and a bus row mark exactly the columns where
// their samples change, and the bit row shows its level elsewhere; also after a new capture shown
// at the zoom and scroll the last one was. Columns of 127 and 140 samples put eight neighbours'
// words further apart than the sixteen words the columns are marked and read from at a time.
TEST_F(WavePaint, ReducedRowsMarkTheColumnsOfRandomChanges)
{
    add(1);
    const int bus = add_bus(3, KSM_GTYPE_HEX);
    m()->toggle_node(bus);
    constexpr int DEPTH = 1 << 17;
    std::vector<std::vector<bool>> bits(5, std::vector<bool>(DEPTH));  // by node row: the bus's members follow it
    uint64_t seed = 12345;
    const int width = cell(0, VOKR_VIEW::WAVEFORM_COLUMN).width() - 6;
    const QRgb high = pirq_get_color(108).rgb(), low = pirq_get_color(109).rgb(), bus_color = pirq_get_color(314).rgb();
    std::vector<std::pair<double, int>> views;  // samples a column, first sample
    for (const double per_column : {1.5, 17.0, 81.3, 127.0, 130.0, 140.0})
        for (const int first : {0, 1, 63, 64 * 37 + 5})
            views.push_back({per_column, first});
    KSM_DATA_LOG* log = nullptr;  // captured again: its new samples may lie where its earlier ones did
    for (int captured = 0; captured < 3; ++captured) {
        for (auto& row : bits)
            for (int s = 1; s < DEPTH; ++s) {
                seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
                row[size_t(s)] =
                    row[size_t(s) - 1] != ((seed >> 33) % 97 == 0 || (s % 64 == 63 && (seed >> 20) % 5 == 0));
            }
        log = capture(
            DEPTH, [&](int row, int s) { return bool(bits[size_t(row)][size_t(s)]); }, {}, 0, {0}, log);
        std::reverse(views.begin(), views.end());  // the first view is the one shown last
        for (const auto& [per_column, first] : views) {
            const int span = int(per_column * width);
            show_span(span);
            QScrollBar* bar = m_view->get_horizontal_bar();
            bar->setRange(0, DEPTH - span), bar->setValue(first), bar->setVisible(true);
            const QImage image = render();
            for (const auto& [row, color] : {std::pair<int, QRgb>{0, low}, {bus, bus_color}}) {
                std::set<int> expected, marked;
                const int from = std::max(first, 1), to = std::min(DEPTH, first + span + 1);
                for (int s = from; s < to; ++s)
                    for (int b = row == 0 ? 0 : bus + 1; b < (row == 0 ? 1 : bus + 4); ++b)
                        if (bits[size_t(b)][size_t(s)] != bits[size_t(b)][size_t(s) - 1])
                            expected.insert(m_view->get_sample_x(s));
                const QRect wave = cell(row, VOKR_VIEW::WAVEFORM_COLUMN);
                for (int x = wave.left() + 1; x < wave.right(); ++x) {
                    bool full = true;
                    for (int y = wave.top() + 1; y <= wave.bottom() - 2; ++y)
                        full &= image.pixel(x, y) == color;
                    if (full)
                        marked.insert(x);
                }
                // The cell's first column and the last shown sample's are left out: there a row
                // may also show a change from or to a sample beyond the span.
                const int last = m_view->get_sample_x(first + span - 1);
                for (auto* set : {&expected, &marked})
                    set->erase(set->lower_bound(last), set->end()),
                        set->erase(set->begin(), set->upper_bound(wave.left()));
                EXPECT_EQ(marked, expected) << row << " " << per_column << " " << first << " " << captured;
                // A column of the bit row without a change shows its samples' level.
                for (int s = from; row == 0 && s < to; ++s) {
                    const int x = m_view->get_sample_x(s), y = bits[0][size_t(s)] ? wave.top() + 1 : wave.bottom() - 2;
                    if (x > wave.left() && x < last && !expected.count(x)) {
                        ASSERT_EQ(image.pixel(x, y), bits[0][size_t(s)] ? high : low) << per_column << " " << first;
                    }
                }
            }
        }
    }
}

// At a pixel or more per sample a valid bit's level lies on its high or low line and each change
// is a full-height mark at its sample's column, also where the span starts with a change or the
// sample after it changes: spans from the capture's start, across word ends and to its end.
TEST_F(WavePaint, LevelsAndChangesOfValidSamples)
{
    add(1);
    constexpr int DEPTH = 3000;
    auto bit = [](int, int s) { return (s / 5) % 2 == 1 || s % 64 == 63 || s == 191; };
    capture(DEPTH, bit);
    const QRgb high = pirq_get_color(108).rgb(), low = pirq_get_color(109).rgb();
    const int width = cell(0, VOKR_VIEW::WAVEFORM_COLUMN).width() - 6;
    const struct {
        int span, first;
    } views[] = {{width, 0},      {width, 129},        {width, DEPTH - width},
                 {width / 2, 67}, {width * 2 / 5, 64}, {width / 2, 5}};
    for (const auto& v : views) {
        show_span(v.span);
        QScrollBar* bar = m_view->get_horizontal_bar();
        bar->setRange(0, DEPTH - v.span);
        bar->setValue(v.first);
        bar->setVisible(true);
        const QImage image = render();
        const QRect wave = cell(0, VOKR_VIEW::WAVEFORM_COLUMN);
        const int yh = wave.top() + 1, yl = wave.bottom() - 2;
        const int first = m_view->get_first_visible_sample(), end = m_view->get_visible_end_sample();
        ASSERT_EQ(first, v.first);
        std::set<int> expected, marked;
        for (int s = std::max(first, 1); s <= std::min(end, DEPTH - 1); ++s)
            if (bit(0, s) != bit(0, s - 1) && m_view->get_sample_x(s) <= wave.right() + 1)
                expected.insert(std::max(m_view->get_sample_x(s), wave.left() + 1));
        for (int x = wave.left() + 1; x <= wave.right() + 1; ++x) {  // the clip keeps a column to the right
            bool full = true;  // a transition's column is low from below the high level down to the low one
            for (int y = yh + 1; y <= yl; ++y)
                full &= image.pixel(x, y) == low;
            if (full)
                marked.insert(x);
        }
        EXPECT_EQ(marked, expected) << v.first;
        for (int s = first; s < end; ++s)
            for (int x = std::max(m_view->get_sample_x(s), wave.left() + 1);
                 x < std::min(m_view->get_sample_x(s + 1), wave.right() + 1); ++x)
                EXPECT_TRUE(expected.count(x) || image.pixel(x, bit(0, s) ? yh : yl) == (bit(0, s) ? high : low))
                    << v.first << " " << x;
    }
}

// The waveform column's pixels, compared with frames recorded from an earlier, plainer drawing:
// single bits with glitches, an inverted bit, a gap of invalid samples, a selected row and a bus
// of every display type, fully zoomed out, at one pixel per sample at the end and zoomed in. A
// frame that differs is saved to the artifacts directory.
TEST_F(WavePaint, FramesMatchTheRecordedPixels)
{
    add(3);
    data()->set_signal_inverted(2, true);
    const KSM_DATA_GROUP_DISPLAY_TYPE types[] = {
        KSM_GTYPE_BINARY,        KSM_GTYPE_SIGNED_2S,  KSM_GTYPE_SIGNED_MAGNITUDE,
        KSM_GTYPE_UNSIGNED,      KSM_GTYPE_HEX,        KSM_GTYPE_OCTAL,
        KSM_GTYPE_ASCII,         KSM_GTYPE_MNEMONICS,  KSM_GTYPE_UNSIGNED_BAR,
        KSM_GTYPE_UNSIGNED_LINE, KSM_GTYPE_SIGNED_BAR, KSM_GTYPE_SIGNED_LINE,
        KSM_GTYPE_FLOAT,         KSM_GTYPE_DOUBLE};
    std::vector<int> buses;
    for (KSM_DATA_GROUP_DISPLAY_TYPE type : types)
        buses.push_back(add_bus(type == KSM_GTYPE_FLOAT ? 32 : type == KSM_GTYPE_DOUBLE ? 64 : 8, type));
    m()->create_mnemonic_table(buses[7], "st", {"idle", "run"}, {"00000000", "00000011"});
    for (int b = int(buses.size()) - 1; b >= 0; --b)
        m()->toggle_node(buses[b]);
    m()->set_node_selection_status(1, true);
    m()->set_node_selection_status(data()->find_node("n3") - 1, true);
    constexpr int DEPTH = 3000;
    // Slow and fast rows, a one-sample glitch now and then, and samples 1200..1230 invalid.
    capture(
        DEPTH, [](int row, int s) { return ((s / (2 + row % 11 * 9)) >> (row % 3)) % 2 || s % 401 == row; },
        [](int s) { return s < 1200 || s > 1230; }, 0, {300});
    m_view->resize(1000, 560);
    m_view->invalidate_geometry();
    const QRect wave = cell(0, VOKR_VIEW::WAVEFORM_COLUMN);
    const struct {
        const char* name;
        int span, first;
    } frames[] = {{"fitted", DEPTH, 0}, {"end", wave.width() - 6, DEPTH - (wave.width() - 6)}, {"zoomed", 80, 1180}};
    for (const auto& f : frames) {
        show_span(f.span);
        QScrollBar* bar = m_view->get_horizontal_bar();
        bar->setRange(0, DEPTH - f.span);
        bar->setValue(f.first);
        bar->setVisible(f.span < DEPTH);
        // The second paint of the same view draws the rows' kept rectangles.
        const QImage first = render().convertToFormat(QImage::Format_RGB32);
        const QImage frame = render().convertToFormat(QImage::Format_RGB32);
        EXPECT_TRUE(frame == first) << f.name << ": a repaint differs from the first paint";
        const QString file = QString(VOKR_TEST_DATA_DIR "/wave_frames/%1.png").arg(f.name);
        const QImage recorded = QImage(file).convertToFormat(QImage::Format_RGB32);
        int differing = recorded.size() == frame.size() ? 0 : -1;
        for (int y = 0; differing >= 0 && y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                differing += frame.pixel(x, y) != recorded.pixel(x, y) ? 1 : 0;
        if (differing != 0) {
            QDir().mkpath(VOKR_ARTIFACT_DIR);
            frame.save(QString(VOKR_ARTIFACT_DIR "/wave_frame_%1.png").arg(f.name));
        }
        EXPECT_EQ(differing, 0) << f.name << " differs from " << file.toStdString();
    }
}

// Rows that only moved up as the view scrolled are drawn from what was kept for them, and leave
// the pixels a fresh paint of the scrolled view does: bit rows and bus rows with texts, fitted and
// at a few pixels a sample, their samples all valid. Rows kept again after a zoom away and back
// repaint as they first did.
TEST_F(WavePaint, ScrolledRowsDrawAsAFreshPaint)
{
    add(6);
    for (KSM_DATA_GROUP_DISPLAY_TYPE type : {KSM_GTYPE_HEX, KSM_GTYPE_BINARY, KSM_GTYPE_UNSIGNED, KSM_GTYPE_OCTAL})
        m()->toggle_node(add_bus(8, type));
    const BITS bits = [](int row, int s) { return ((s / (3 + row % 7 * 5)) >> (row % 3)) % 2 != 0; };
    m_view->resize(900, 200);
    m_view->invalidate_geometry();
    QScrollBar* rows = m_view->get_vertical_bar();
    rows->setRange(0, 8);
    rows->setVisible(true);
    for (int span : {2000, 150}) {
        capture(2000, bits);
        show_span(span);
        rows->setValue(0);
        const QImage unscrolled = render();
        EXPECT_TRUE(render() == unscrolled) << span << ": repainted";
        // Zoomed away and back: the rows drawn again in the room of the other zoom's, then kept.
        show_span(span == 2000 ? 150 : 2000);
        render();
        show_span(span);
        render();
        EXPECT_TRUE(render() == unscrolled) << span << ": zoomed away and back";
        rows->setValue(3);
        const QImage scrolled = render();
        EXPECT_FALSE(scrolled == unscrolled) << span;
        capture(2000, bits);  // the same values as new samples: nothing kept
        // The rows, below the title and header rows, whose title names the new log.
        const QRect below(QPoint(0, cell(3, VOKR_VIEW::WAVEFORM_COLUMN).top()), m_view->rect().bottomRight());
        EXPECT_TRUE(render().copy(below) == scrolled.copy(below))
            << span << ": scrolled rows differ from a fresh paint";
    }
}

// The Value column's tick labels keep apart from each other and from the waveform ruler's first
// one where the two columns meet, as in the demo: the trigger at 128 labels the waveform's first
// sample. Where two positions do not fit, the master's label stands alone.
TEST_F(WavePaint, ValueColumnLabelsKeepApartFromTheWaveformRuler)
{
    add(1);
    capture(20000, [](int, int s) { return s % 5 == 0; }, {}, 0, {128});
    show_span(1024);
    const QFontMetrics metrics(pirq_get_font(62));  // the tick labels' font
    for (int master : {20, 385, 15000}) {
        m_view->m_time_bars[0] = master;
        m_view->m_timebar_count = 1;
        m_view->invalidate_geometry();
        paint();
        QRect values, waves;
        ASSERT_TRUE(m_view->get_item_rect(2, VOKR_VIEW::VALUE_COLUMN, &values));
        ASSERT_TRUE(m_view->get_item_rect(2, VOKR_VIEW::WAVEFORM_COLUMN, &waves));
        std::vector<std::pair<int, int>> shown;  // the Value column's labels, left to right
        int wave_start = INT_MAX;
        for (const auto& t : m_recorder.texts()) {
            if (values.contains(t.baseline))
                shown.emplace_back(t.baseline.x(), t.baseline.x() + metrics.horizontalAdvance(t.text));
            if (waves.contains(t.baseline))
                wave_start = std::min(wave_start, t.baseline.x());
        }
        ASSERT_FALSE(shown.empty()) << master;
        std::sort(shown.begin(), shown.end());
        for (size_t i = 1; i < shown.size(); ++i)
            EXPECT_GE(shown[i].first - shown[i - 1].second, 4) << master;
        EXPECT_GE(wave_start - shown.back().second, 12) << master;
    }
    EXPECT_TRUE(m_recorder.find_text("-128"));
}

// The Value column's header names what it shows between the master's label and the next
// sample's: the values, and above them the segments, or the values alone where every sample is
// a segment of its own.
TEST_F(WavePaint, ValueColumnTitlesStandBetweenTheLabels)
{
    add(1);
    const struct {
        int segment;
        std::vector<int> triggers;
        int master;
        std::vector<QString> row_1, row_2;  // the header texts left to right
    } cases[] = {
        {0, {100}, 100, {}, {"0", "Value", "1"}},
        {1024, {100, 1124, 2148, 3172}, 1124, {"1", "Segment"}, {"1024", "Value", "1025"}},
        {1, {0}, 100, {"100", "Value", "101"}, {}},
    };
    for (const auto& c : cases) {
        capture(
            4096, [](int, int s) { return s % 5 == 0; }, {}, c.segment, c.triggers);
        m_view->m_time_bars[0] = c.master;
        m_view->m_timebar_count = 1;
        m_view->invalidate_geometry();
        const auto& widths = m_view->column_widths();
        m_view->set_column_width(VOKR_VIEW::VALUE_COLUMN, QPoint(widths[0] + widths[1] + widths[2] + 200, 0), false);
        paint();
        for (int row : {1, 2}) {
            QRect header;
            m_view->get_item_rect(row, VOKR_VIEW::VALUE_COLUMN, &header);
            std::vector<std::pair<int, QString>> shown;
            for (const auto& t : m_recorder.texts())
                if (header.contains(t.baseline))
                    shown.emplace_back(t.baseline.x(), t.text);
            std::sort(shown.begin(), shown.end());
            std::vector<QString> texts;
            for (const auto& [x, text] : shown)
                texts.push_back(text);
            EXPECT_EQ(texts, row == 1 ? c.row_1 : c.row_2) << c.segment << " row " << row;
        }
    }
}

TEST_F(WavePaint, RulerBarsAndTicks)
{
    add(1);
    capture(4096, [](int, int s) { return s % 5 == 0; }, {}, 0, {100});
    show_span(1024);
    paint();
    const QRect ruler = [&] {
        QRect r;
        m_view->get_item_rect(0, VOKR_VIEW::WAVEFORM_COLUMN, &r);
        return r;
    }();
    EXPECT_TRUE(m_recorder.find_text("click to insert time bar"));
    EXPECT_TRUE(m_recorder.find_text("Trigger condition met") == nullptr);

    m_view->m_time_bars[0] = 100, m_view->m_time_bars[1] = 300, m_view->m_time_bars[2] = 600;
    m_view->m_timebar_count = 3;
    m_view->invalidate_geometry();
    paint();
    const QColor bar = pirq_get_color(299);
    std::vector<int> xs;
    for (const auto& l : lines_in(ruler))
        if (l.color == bar && l.line.dx() == 0)
            xs.push_back(l.line.x1());
    const int master = m_view->get_sample_x(100) + 1;  // on the trigger: one pixel right
    EXPECT_EQ(std::count(xs.begin(), xs.end(), master), 1);
    EXPECT_EQ(std::count(xs.begin(), xs.end(), master + 1), 1);
    // Labels: the others first, the master last.
    std::vector<QString> labels = texts_in(ruler);
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels.back(), "0");
    EXPECT_EQ(labels.front(), "+200");

    // Header row 2: labels at multiples of the step from the trigger, 3-pixel marks halfway: the
    // pixels of the mark colour in each column of the strip, none between samples' columns; at
    // about 3 and 8 pixels per sample, at 1 (the marks touch) and at 1.3 (some columns between).
    // A view font as tall as the ruler leaves makes a bar's line through the ruler one point long:
    // in the labels' opaque background mode the engine leaves that point unpainted.
    QRect title;
    m_view->get_item_rect(0, VOKR_VIEW::WAVEFORM_COLUMN, &title);
    const int bar_x = m_view->get_sample_x(300), ruler_bottom = title.bottom() - 3;
    EXPECT_EQ(render().pixel(bar_x, ruler_bottom), bar.rgb());
    QFont font = m_view->font();
    for (int px = 6; px < 40 && QFontMetrics(font).height() != ruler_bottom - title.top(); ++px)
        font.setPixelSize(px);
    ASSERT_EQ(QFontMetrics(font).height(), ruler_bottom - title.top());
    m_view->setFont(font);
    EXPECT_NE(render().pixel(bar_x, ruler_bottom), bar.rgb());
    m_view->setFont(QFont());

    m_view->m_timebar_count = 0;  // no bar lines through the strip
    m_view->invalidate_geometry();
    std::set<int> steps;
    const int one = ruler.width() - 6;  // samples at one pixel each
    const struct {
        int span;
        bool labelled_96;
    } scales[] = {{ruler.width() / 3, true}, {ruler.width() / 8, true}, {one, false}, {one * 10 / 13, false}};
    for (const auto& scale : scales) {
        show_span(scale.span);
        paint();
        const QImage image = render();
        const int step = m_view->get_ruler_step();
        steps.insert(step);
        ASSERT_GE(step, 4);
        QRect strip;
        m_view->get_item_rect(2, VOKR_VIEW::WAVEFORM_COLUMN, &strip);
        std::map<int, int> expected;  // column: mark length
        for (int s = 0; s < std::min(150, scale.span); ++s) {
            const int r = s - 100;
            expected[m_view->get_sample_x(s)] = r % step == 0 ? 5 : r % (step / 2) == 0 ? 3 : 2;
        }
        for (int x = expected.begin()->first; x <= expected.rbegin()->first; ++x) {
            int length = 0;
            for (int y = strip.top(); y <= strip.bottom(); ++y)
                length += image.pixel(x, y) == bar.rgb() ? 1 : 0;
            EXPECT_EQ(length, expected.count(x) ? expected[x] : 0) << scale.span << " at column " << x;
        }
        EXPECT_EQ(m_recorder.find_text("-96") != nullptr, scale.labelled_96) << scale.span;
    }
    EXPECT_EQ(steps.count(8), 1u);
}

// Four fixed segments of 1024: segment numbers and dashed segment lines; a master bar on a
// segment start at the right edge is drawn one pixel left, another bar one pixel right.
TEST_F(WavePaint, FixedSegments)
{
    add(1);
    capture(4096, [](int, int s) { return s % 5 == 0; }, {}, 1024, {0, 1024, 2048, 3072});
    m_view->m_time_bars[0] = 1024, m_view->m_time_bars[1] = 0;
    m_view->m_timebar_count = 2;
    m_view->invalidate_geometry();
    std::vector<QRect> header(3);
    for (int row = 0; row < 3; ++row)
        m_view->get_item_rect(row, VOKR_VIEW::WAVEFORM_COLUMN, &header[row]);
    show_span(4096);
    paint();
    EXPECT_EQ(texts_in(header[1]), (std::vector<QString>{"0", "1", "2", "3", "4"}));
    std::set<int> dashed, bars,
        expected = {m_view->get_sample_x(1024), m_view->get_sample_x(2048), m_view->get_sample_x(3072)};
    for (const auto& l : m_recorder.lines())
        if (l.color == pirq_get_brush(26).color() && l.line.dx() == 0 && l.line.dy() > 100)
            dashed.insert(l.line.x1());
    EXPECT_TRUE(std::includes(dashed.begin(), dashed.end(), expected.begin(), expected.end()));
    show_span(1024);
    paint();
    for (const auto& l : lines_in(header[0]))
        if (l.color == pirq_get_color(299) && l.line.dx() == 0)
            bars.insert(l.line.x1());
    const int edge = m_view->get_sample_x(1024);
    EXPECT_EQ(bars, (std::set<int>{m_view->get_sample_x(0) + 1, edge - 2, edge - 1}));
}

// Setup tab: one icon per leaf condition; a group of groups shows only its condition's action.
TEST_F(WavePaint, ConditionCells)
{
    add(4);
    ASSERT_TRUE(m()->group_node(0, 1));
    ASSERT_TRUE(m()->group_node(3, 4));
    ASSERT_TRUE(m()->group_node(0, 5));  // row 0: a group of groups, rows 7.. leaves
    add(6);
    const int icons[] = {694, 695, 696, 693, 692, 691};
    for (int c = 0; c < 6; ++c)
        m_editor->trigger()->set_trigger_condition(7 + c, 0, KSM_DATA_TRIGGER_CONDITION(KSM_CTYPE_HIGH + c));
    m_editor->trigger()->set_trigger_condition(0, 0, KSM_CTYPE_GROUP_OR);
    m_tabs.setCurrentIndex(1);
    m_view->invalidate_geometry();
    paint();
    for (int c = 0; c < 6; ++c) {
        std::vector<int> drawn;
        for (const auto& p : m_recorder.pixmaps())
            if (cell(7 + c, VOKR_VIEW::FIRST_LEVEL_COLUMN).contains(p.rect.center()))
                drawn.push_back(p.icon);
        EXPECT_EQ(drawn, std::vector<int>{icons[c]}) << c;
    }
    const QString action = m_view->get_group_condition_action(KSM_CTYPE_GROUP_OR)->text().remove('&');
    EXPECT_EQ(texts_in(cell(0, VOKR_VIEW::FIRST_LEVEL_COLUMN)), std::vector<QString>{action});
}

// The tick labels follow the time unit setting and the font from paint to paint: the label a step
// before the trigger reads as the setting prints it, centred on its sample in the font of the day.
TEST_F(WavePaint, TickLabelsFollowTheUnitSettingAndTheFont)
{
    add(1);
    capture(4096, [](int, int s) { return s % 5 == 0; }, {}, 0, {200});
    show_span(1024);
    const struct {
        bool units;
        double period;
        const char* unit;
        int points;
    } settings[] = {{false, 10, "ns", 8}, {true, 10, "ns", 8},  {true, 20, "ns", 8},
                    {true, 20, "us", 8},  {true, 20, "us", 11}, {false, 20, "us", 11}};
    for (const auto& setting : settings) {
        QApplication::setFont(QFont("DejaVu Sans", setting.points));
        m_view->set_time_units(setting.units, setting.period, setting.unit);
        paint();
        const int step = m_view->get_ruler_step();
        QString text;
        m_view->format_sample_value(&text, -step, false, false);
        const PAINT_RECORDER::TEXT* label = m_recorder.find_text(text);
        ASSERT_TRUE(label) << text.toStdString();
        const int centre = label->baseline.x() + QFontMetrics(pirq_get_font(62)).horizontalAdvance(text) / 2;
        EXPECT_NEAR(centre, m_view->get_sample_x(200 - step), 2) << text.toStdString() << " " << setting.points;
    }
    QApplication::setFont(QFont("DejaVu Sans", 8));
}

// On a raster image the ruler's, the bars' and the markers' lines are filled as their pixels: the
// same pixels as a picture (a paint engine that keeps lines) replays, at heights that end the
// dashed trigger line on each step of its pattern and at several and under one pixel per sample,
// an inverted and a selected row among the rows.
TEST_F(WavePaint, LinesFilledOnRasterAreTheLinesPixels)
{
    add(30);
    capture(4096, [](int row, int s) { return (s / (row + 2)) % 2 != 0; }, {}, 0, {100});
    data()->set_signal_inverted(3, true);
    m()->set_node_selection_status(5, true);
    m_view->m_time_bars[0] = 100, m_view->m_time_bars[1] = 150;
    m_view->m_timebar_count = 2;
    auto image = [&](const std::function<void(QPainter*)>& draw) {
        QImage out(m_view->size(), QImage::Format_RGB32);
        out.fill(Qt::magenta);
        QPainter painter(&out);
        draw(&painter);
        return out;
    };
    for (int height : {400, 401, 402, 403, 404, 405})
        for (int span : {4096, 1000, 250}) {
            m_view->resize(1000, height);
            show_span(span);
            m_view->invalidate_geometry();
            QRect area = m_view->rect();
            QPicture picture;
            QPainter recording(&picture);
            m_view->paint(&recording, 0, m_view.get(), &area, true);
            recording.end();
            const QImage direct = image([&](QPainter* p) { m_view->paint(p, 0, m_view.get(), &area, true); });
            EXPECT_TRUE(direct == image([&](QPainter* p) { picture.play(p); })) << height << " " << span;
        }
}

// A repaint of the same view draws a row anew where its inversion or the samples changed since the
// last paint, at one pixel a sample and fitted, and as before once the inversion is undone.
TEST_F(WavePaint, RepaintFollowsTheRowsInversionAndSamples)
{
    add(2);
    auto bits = [](int shift) { return [shift](int row, int s) { return ((s + shift) / (60 + row)) % 2 != 0; }; };
    for (int span : {4000, 400}) {
        capture(4000, bits(0));
        show_span(span);
        const QRect wave = cell(0, VOKR_VIEW::WAVEFORM_COLUMN);
        const QImage before = render().copy(wave);
        data()->set_signal_inverted(0, true);
        EXPECT_FALSE(render().copy(wave) == before) << span << ": inverted";
        data()->set_signal_inverted(0, false);
        EXPECT_TRUE(render().copy(wave) == before) << span << ": inversion undone";
        capture(4000, bits(20));
        EXPECT_FALSE(render().copy(wave) == before) << span << ": new samples";
    }
}

// A repaint of the same view puts a bus row down as a fresh paint would after its format changes:
// the texts kept with the row are tried again, and the row is drawn anew where one fits otherwise.
TEST_F(WavePaint, BusRepaintFollowsItsFormat)
{
    const int bus = add_bus(8, KSM_GTYPE_HEX);
    const BITS counting = [bus](int row, int s) { return row > bus && (((s / 16) >> (bus + 8 - row)) & 1) != 0; };
    capture(4000, counting);
    show_span(400);
    const QRect wave = cell(bus, VOKR_VIEW::WAVEFORM_COLUMN);
    const QImage hex = render().copy(wave);
    EXPECT_TRUE(render().copy(wave) == hex) << "repainted";
    data()->set_group_display_type(bus, KSM_GTYPE_BINARY);
    const QImage binary = render().copy(wave);
    EXPECT_FALSE(binary == hex);
    capture(4000, counting);  // the same values as new samples: nothing kept
    EXPECT_TRUE(render().copy(wave) == binary) << "binary as a fresh paint draws it";
    data()->set_group_display_type(bus, KSM_GTYPE_HEX);
    for (const char* paint : {"first", "second"})
        EXPECT_TRUE(render().copy(wave) == hex) << paint << " paint in hexadecimal again";
}

// The change index of one channel and of three marks exactly the samples where one of them differs
// from the sample before, on words worked a vector at a time and one at a time, with two zero words
// after them; a new stamp over the same words, now holding other samples, gives their new changes.
TEST(ChangeIndex, MarksEveryChangeOfItsChannels)
{
    constexpr long long DEPTH = 64 * 9 + 13, WORDS = 10;
    std::vector<std::vector<uint64_t>> planes(3, std::vector<uint64_t>(WORDS));
    const uint64_t* words[] = {planes[0].data(), planes[1].data(), planes[2].data()};
    auto bit = [](const uint64_t* w, long long s) { return (w[s >> 6] >> (s & 63)) & 1; };
    uint64_t seed = 7;
    for (const uint64_t stamp : {1, 2}) {
        for (auto& plane : planes)
            for (uint64_t& w : plane) {
                seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
                w = (seed >> 7) & (seed >> 3);  // runs of a few samples, so both levels and changes
            }
        for (const size_t count : {1, 3}) {
            const uint64_t* changes = VOKR_CHANGE_INDEX::find(stamp, words, count, DEPTH);
            ASSERT_NE(changes, nullptr);
            for (long long s = 0; s < DEPTH; ++s) {
                bool changed = false;
                for (size_t i = 0; i < count && s > 0; ++i)
                    changed |= bit(words[i], s) != bit(words[i], s - 1);
                EXPECT_EQ(bit(changes, s) != 0, changed) << stamp << " " << count << " " << s;
            }
            EXPECT_EQ(changes[WORDS] | changes[WORDS + 1], 0u) << stamp << " " << count;
        }
    }
}

// Rectangles and columns written straight into the image leave the pixels the painter's fills
// would, on every painter that allows it: 32-bit formats, moved by whole pixels, clipped to a
// rectangle or a region of a few; the others (scaled, translucent, antialiased, another format, a clip of many
// rectangles) are left to the painter.
TEST(PixelFill, WritesThePixelsThePainterWould)
{
    const QRect rects[] = {{-3, 2, 10, 1}, {5, 0, 1, 30}, {20, 10, 14, 6}, {36, 25, 9, 9}, {1, 1, 1, 1}};
    QRegion many;
    for (int i = 0; i < 12; ++i)
        many += QRect(i * 3, i * 2, 2, 2);
    const struct {
        QImage::Format format;
        QPoint offset;
        QRegion clip;
        std::function<void(QPainter*)> set;
        bool direct;
    } cases[] = {
        {QImage::Format_RGB32, {}, {}, {}, true},
        {QImage::Format_ARGB32_Premultiplied, {3, -2}, {}, {}, true},
        {QImage::Format_ARGB32, {}, QRegion(4, 3, 30, 20), {}, true},
        {QImage::Format_RGB32, {2, 1}, QRegion(0, 0, 12, 12) + QRegion(18, 8, 20, 20), {}, true},
        {QImage::Format_RGB32, {}, many, {}, false},
        {QImage::Format_RGB16, {}, {}, {}, false},
        {QImage::Format_RGB32, {}, {}, [](QPainter* p) { p->scale(2, 2); }, false},
        {QImage::Format_RGB32, {}, {}, [](QPainter* p) { p->setOpacity(0.5); }, false},
        {QImage::Format_RGB32, {}, {}, [](QPainter* p) { p->setRenderHint(QPainter::Antialiasing); }, false},
    };
    const QColor color(20, 140, 60), column_color(200, 30, 90);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        auto paint = [&](bool direct) {
            QImage image(40, 32, c.format);
            image.fill(Qt::white);
            QPainter p(&image);
            p.translate(c.offset);
            if (!c.clip.isEmpty())
                p.setClipRegion(c.clip);
            if (c.set)
                c.set(&p);
            const VOKR_PIXEL_FILL pixels(&p);
            EXPECT_EQ(pixels.valid(), c.direct) << i;
            for (const QRect& r : rects) {
                if (direct && pixels.valid())
                    pixels.fill(r, color.rgba());
                else
                    p.fillRect(r, color);
            }
            // Columns from left of the image to right of it, two words of them: a full word's
            // stretch, lone columns and runs.
            const uint64_t columns[] = {0xf0f0ffff0000a5c3u, 0x0000000fffffffffu};
            constexpr int LEFT = -30, COUNT = 100, TOP = 3, BOTTOM = 9;
            if (direct && pixels.valid())
                pixels.fill_columns(columns, LEFT, COUNT, TOP, BOTTOM, column_color.rgba());
            for (int x = 0; x < COUNT && !(direct && pixels.valid()); ++x)
                if ((columns[x / 64] >> (x % 64)) & 1)
                    p.fillRect(QRect(LEFT + x, TOP, 1, BOTTOM - TOP + 1), column_color);
            return image;
        };
        EXPECT_TRUE(paint(true) == paint(false)) << i;
    }
}

TEST_F(WavePaint, StatusTextWithoutSamples)
{
    add(2);
    store_zero_depth(data());
    paint();
    EXPECT_TRUE(m_recorder.find_text("No samples"));
    capture(0, [](int, int) { return false; }, {}, 0, {});
    store_zero_depth(data());
    paint();
    EXPECT_TRUE(m_recorder.find_text("Trigger condition not met"));
}

// A bus crossing gathered in the line batch puts down the pixels of its two lines drawn one after
// the other: in an opaque and a translucent colour, clear of the clip and cut by it, clear of the
// device's bottom and cut by it, at widths of one to six pixels, alone and between rails over its
// end rows.
TEST(LineBatch, CrossingsKeepThePixelsOfTheirTwoLines)
{
    const QColor colors[] = {QColor(0, 0, 160), QColor(0, 0, 160, 128)};
    const QRect clips[] = {QRect(0, 0, 40, 40), QRect(0, 0, 11, 40), QRect(0, 0, 40, 9), QRect(9, 0, 30, 40),
                           QRect(0, 5, 40, 35), QRect(0, 0, 10, 40), QRect(0, 0, 40, 12)};
    for (const QColor& color : colors)
        for (const QRect& clip : clips)
            for (int dx : {1, 2, 3, 6})
                for (int dy : {5, 7, 12, 30})
                    for (int rows : {40, 4 + dy, 3 + dy, 3 + dy / 2})
                        for (bool railed : {false, true}) {
                            QImage lines(40, rows, QImage::Format_RGB32), batched(40, rows, QImage::Format_RGB32);
                            lines.fill(Qt::white), batched.fill(Qt::white);
                            QPainter p(&lines);
                            p.setClipRect(clip);
                            p.setPen(QPen(color, 1));
                            if (railed)
                                p.drawLine(0, 3, 39, 3), p.drawLine(0, 3 + dy, 39, 3 + dy);
                            p.drawLine(8, 3, 8 + dx, 3 + dy), p.drawLine(8, 3 + dy, 8 + dx, 3);
                            p.end();
                            p.begin(&batched);
                            p.setClipRect(clip);
                            VOKR_LINE_BATCH& batch = VOKR_LINE_BATCH::shared();
                            const int slot = batch.color(color);
                            if (railed)
                                batch.rails(0, 39, 3, 3 + dy, slot);
                            batch.cross(8, 3, 3 + dy, dx, slot, railed);
                            batch.finish(&p);
                            p.end();
                            EXPECT_EQ(batched, lines)
                                << color.alpha() << " " << clip.x() << "," << clip.y() << " " << clip.width() << "x"
                                << clip.height() << " " << dx << " " << dy << " " << rows << " " << railed;
                        }
}

// Rails named one after another put down the pixels of their two lines drawn one by one: one
// continuing the last, apart from it, reversed, overlapping it, at other rows and in another
// colour between, in an opaque and a translucent colour.
TEST(LineBatch, RailsKeepThePixelsOfTheirLines)
{
    const struct {
        int x1, x2, y1, y2, color;
    } rails[] = {{2, 8, 3, 12, 0},   {9, 14, 3, 12, 0},  {16, 15, 3, 12, 0}, {20, 17, 3, 12, 0},
                 {20, 25, 3, 12, 0}, {26, 30, 4, 12, 0}, {31, 33, 4, 12, 1}, {34, 36, 4, 12, 0}};
    for (int alpha : {255, 128}) {
        const QColor colors[] = {QColor(0, 0, 160, alpha), QColor(160, 0, 0, alpha)};
        QImage lines(40, 16, QImage::Format_RGB32), batched(40, 16, QImage::Format_RGB32);
        lines.fill(Qt::white), batched.fill(Qt::white);
        QPainter p(&lines);
        for (const auto& r : rails) {
            p.setPen(QPen(colors[r.color], 1));
            p.drawLine(r.x1, r.y1, r.x2, r.y1), p.drawLine(r.x1, r.y2, r.x2, r.y2);
        }
        p.end();
        p.begin(&batched);
        VOKR_LINE_BATCH& batch = VOKR_LINE_BATCH::shared();
        for (const auto& r : rails)
            batch.rails(r.x1, r.x2, r.y1, r.y2, batch.color(colors[r.color]));
        batch.finish(&p);
        p.end();
        EXPECT_EQ(batched, lines) << alpha;
    }
}

TEST_F(WavePaint, DemoSessionDataTabRendersToPng)
{
    ASSERT_NO_FATAL_FAILURE(open_demo_project());
    ASSERT_NO_FATAL_FAILURE(open_session(m(), "demo.lmx"));
    m_editor->frame()->get_layout_widget()->set_data_setup_tab_widget(0, &m_tabs);
    m_tabs.setCurrentIndex(0);
    // Counters, a slow clock and a few glitches, triggered at sample 64.
    capture(
        512, [](int row, int s) { return row % 3 == 0 ? (s >> (2 + row % 4)) & 1 : (s / (5 + row)) % 2 || s == 90; },
        [](int s) { return s < 100 || s > 104; }, 0, {64});
    m_view->m_time_bars[0] = 64, m_view->m_time_bars[1] = 96;
    m_view->m_timebar_count = 2;
    m_view->resize(1200, 560);
    m_view->load_column_widths();
    m_view->invalidate_geometry();
    const QImage image = render();
    QDir().mkpath(VOKR_ARTIFACT_DIR);
    const QString file = VOKR_ARTIFACT_DIR "/data_tab.png";
    ASSERT_TRUE(image.save(file));
    std::cout << "data tab image: " << file.toStdString() << std::endl;
    PRJ_PROJECT::close();
}

}  // namespace
