// The node list view's grid (columns, rows, cells, hit tests, derived queries) and the position
// data it keeps in its instance.
#include "manager_test_support.h"
#include "view_test_support.h"

#include "vokr_cell_clip.h"
#include "vokr_layout_widget.h"
#include "vokr_view.h"

#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTabWidget>

#include <optional>
#include <tuple>

using namespace manager_test;

namespace {

struct VIEW : VOKR_VIEW {
    using VOKR_VIEW::m_horizontal_bar;
    using VOKR_VIEW::m_time_bars;
    using VOKR_VIEW::m_timebar_count;
    using VOKR_VIEW::m_vertical_bar;
    using VOKR_VIEW::m_zoom_level;
    using VOKR_VIEW::VOKR_VIEW;
};

// A framed editor showing its first instance's Setup tab, and a 1000 x 400 view on it.
class ViewGeometry : public VIEW_TEST<VIEW> {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        open_view(400, 1);
    }
    KSM_TX_TRIGGER* trigger() const { return m_editor->trigger(); }
    void show_tab(int tab) { m_tabs.setCurrentIndex(tab); }
    void add(int count)
    {
        for (int i = 0; i < count; ++i)
            add_rows(m(), {QString("n%1").arg(i).toLatin1().constData()});
        m_view->invalidate_geometry();
    }
    // Groups rows first..last under a new bus row at `first`, shown in `format` on both tabs.
    void group(int first, int last, KSM_DATA_GROUP_DISPLAY_TYPE format)
    {
        ASSERT_TRUE(m()->group_node(first, last));
        trigger()->set_group_display_type(first, format);
        m()->get_signal_nodes(-1)->set_group_display_type(first, format);
    }
    QRect rect(int row, int column) const
    {
        QRect r;
        return m_view->get_item_rect(row, column, &r) ? r : QRect();
    }
};

TEST_F(ViewGeometry, ColumnsFollowModeStorageQualifierAndLevels)
{
    ASSERT_TRUE(trigger()->set_num_levels(3));
    const struct {
        KSM_DATA_STORAGE_QUALIFIER_TYPE sq;
        std::vector<int> shown;  // of ids 7-15
    } cases[] = {
        {KSM_SQTYPE_CONTINUOUS, {12, 13, 14}},
        {KSM_SQTYPE_TRANSITIONAL, {7, 8, 12, 13, 14}},
        {KSM_SQTYPE_CONDITIONAL, {7, 9, 12, 13, 14}},
        {KSM_SQTYPE_START_STOP, {7, 10, 11, 12, 13, 14}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(trigger()->set_storage_qualifier_type(c.sq));
        for (int id = 7; id <= 15; ++id) {
            const bool shown = std::count(c.shown.begin(), c.shown.end(), id) > 0;
            EXPECT_EQ(m_view->get_column_width(id), shown ? VOKR_VIEW::default_column_widths()[id] : 0)
                << "sq " << c.sq << " id " << id;
        }
        for (int id : {3, 4, 22, 23})
            EXPECT_EQ(m_view->get_column_width(id), 0) << id;
    }
    // The Setup tab's width, which the layout gives the node list, is known on any tab.
    const int setup_width = m_view->get_fixed_columns_width();
    EXPECT_EQ(m_view->get_setup_columns_width(), setup_width);
    // The Data tab: name columns, the waveform taking the rest, the value column with a time bar.
    show_tab(0);
    EXPECT_EQ(m_view->get_setup_columns_width(), setup_width);
    EXPECT_EQ(m_view->get_column_width(12), 0);
    EXPECT_EQ(m_view->get_column_width(22), 0);
    const auto& widths = VOKR_VIEW::default_column_widths();
    const int names = widths[0] + widths[1] + widths[2];
    EXPECT_EQ(m_view->get_column_width(23), 1000 - names - 1);
    m_view->m_time_bars[0] = 3;
    m_view->m_timebar_count = 1;
    EXPECT_EQ(m_view->get_column_width(23), 1000 - names - 78 - 1);
    // A 16-bit bus's pattern in hex digits fits every condition column, edge lines aside; one in
    // binary digits is elided.
    const int pattern = QFontMetrics(m_view->font()).horizontalAdvance("XXXXh");
    for (int id = 9; id <= VOKR_VIEW::LAST_LEVEL_COLUMN; ++id)
        EXPECT_GE(widths[id] - 2, pattern) << id;
}

TEST_F(ViewGeometry, RowHeightsAndCellRectangles)
{
    add(12);
    group(2, 5, KSM_GTYPE_UNSIGNED_BAR);  // rows 3-6 are its members
    const int base = VOKR_TX_MANAGER::cfg_inter_line_spacing() + 20;
    EXPECT_EQ(m_view->get_row_height(VOKR_VIEW::node_to_row(2)), base);
    show_tab(0);
    EXPECT_EQ(m_view->get_row_height(VOKR_VIEW::node_to_row(2)), 3 * base);
    show_tab(1);
    // Collapsing the group hides its members; scrolled by 5 shown rows, the first five (nodes
    // 0, 1, 2, 7, 8) have no rectangle and node 9 starts right under the headers.
    ASSERT_TRUE(m()->toggle_node(2));
    m_view->invalidate_geometry();
    EXPECT_EQ(m_view->get_row_height(VOKR_VIEW::node_to_row(4)), 0);
    m_view->m_vertical_bar->setRange(0, 10);
    m_view->m_vertical_bar->setValue(5);
    m_view->m_vertical_bar->show();
    for (int node : {0, 1, 2, 4, 7, 8})
        EXPECT_TRUE(rect(VOKR_VIEW::node_to_row(node), 2).isNull()) << node;
    const int headers = m_view->get_row_height(0) + m_view->get_row_height(1) + m_view->get_row_height(2);
    const int name_left = VOKR_VIEW::default_column_widths()[0] + VOKR_VIEW::default_column_widths()[1];
    EXPECT_EQ(rect(VOKR_VIEW::node_to_row(9), 2),
              QRect(QPoint(name_left, headers), QPoint(name_left + 221, headers + base + 1)));
    EXPECT_EQ(rect(VOKR_VIEW::node_to_row(10), 0).top(), headers + base);
    // Hit tests find the same cells; below the last row and right of the last column is nothing.
    const struct {
        QPoint point;
        int row, column;  // -1: no hit
    } hits[] = {
        {{10, 5}, 0, 0},
        {{name_left + 32, headers + 2}, VOKR_VIEW::node_to_row(9), 2},
        {{name_left + 32, headers + base + 3}, VOKR_VIEW::node_to_row(10), 2},
        {{100, headers + 4 * base + 5}, -1, -1},
        {{2000, 5}, -1, -1},
    };
    for (const auto& h : hits) {
        int row = -1, column = -1;
        QRect cell;
        const bool hit = m_view->find_item(h.point, &row, &column, &cell);
        EXPECT_EQ(hit ? std::make_tuple(row, column, cell) : std::make_tuple(-1, -1, QRect()),
                  std::make_tuple(h.row, h.column, h.row < 0 ? QRect() : rect(h.row, h.column)))
            << h.point.y();
    }
    EXPECT_EQ(m_view->get_total_height(), headers + 9 * base + 1 + 18);
}

TEST_F(ViewGeometry, StoredColumnWidthsAreCheckedAndDraggedEdgesPersist)
{
    KSM_TX_SESSION* session = m()->get_session();
    std::vector<int> good(23, 50);
    std::vector<int> negative = good, huge = good, longer = good;
    negative[4] = -3;
    huge[2] = 1 << 30;
    longer.push_back(50);
    const struct {
        std::vector<int> stored;
        int expected_name;  // width of id 2 after loading
    } cases[] = {{good, 50}, {{50, 50, 50}, 220}, {negative, 220}, {huge, 220}, {longer, 220}};
    for (const auto& c : cases) {
        session->set_global_data("column width", c.stored.data(), int(c.stored.size()));
        m_view->load_column_widths();
        EXPECT_EQ(m_view->get_column_width(2), c.expected_name) << c.stored.size();
    }
    // A dragged edge is held within the widths a reload accepts (left of the left edge: the
    // least), and a new view reads the stored width back.
    EXPECT_EQ(m_view->set_column_width(2, QPoint(20, 0), true), 0);
    for (const auto& [x, width] : {std::make_pair(20000, 10000), std::make_pair(20, 10)}) {
        EXPECT_EQ(m_view->set_column_width(2, QPoint(x, 0), false), width);
        EXPECT_EQ(VIEW(nullptr, m()).get_column_width(2), width);
    }
}

TEST_F(ViewGeometry, GroupTriggerPatterns)
{
    add(5);
    group(0, 3, KSM_GTYPE_MNEMONICS);
    const struct {
        KSM_DATA_GROUP_DISPLAY_TYPE format;
        bool lsb_first;
        std::vector<KSM_DATA_TRIGGER_CONDITION> members;
        const char* text;
        bool radix_ok;
    } cases[] = {
        {KSM_GTYPE_MNEMONICS,
         false,
         {KSM_CTYPE_HIGH, KSM_CTYPE_DONT_CARE, KSM_CTYPE_LOW, KSM_CTYPE_HIGH},
         "1X01",
         false},
        {KSM_GTYPE_MNEMONICS, false, std::vector<KSM_DATA_TRIGGER_CONDITION>(4, KSM_CTYPE_DONT_CARE), "XXXX", true},
        {KSM_GTYPE_HEX, true, {KSM_CTYPE_HIGH, KSM_CTYPE_LOW, KSM_CTYPE_LOW, KSM_CTYPE_HIGH}, "1001", true},
        {KSM_GTYPE_BINARY,
         false,
         {KSM_CTYPE_HIGH, KSM_CTYPE_DONT_CARE, KSM_CTYPE_DONT_CARE, KSM_CTYPE_DONT_CARE},
         "1XXX",
         false},
        {KSM_GTYPE_HEX, false, {KSM_CTYPE_RISING_EDGE, KSM_CTYPE_LOW, KSM_CTYPE_LOW, KSM_CTYPE_HIGH}, "R001", false},
    };
    for (const auto& c : cases) {
        trigger()->set_group_display_type(0, c.format);
        trigger()->set_lsb_to_msb(0, c.lsb_first);
        for (int i = 0; i < 4; ++i)
            trigger()->set_trigger_condition(1 + i, 0, c.members[i]);
        QString text;
        bool radix_ok = !c.radix_ok;
        EXPECT_TRUE(m_view->get_group_trigger_pattern(0, 0, &text, &radix_ok));
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(radix_ok, c.radix_ok) << c.text;
    }
    EXPECT_EQ(m_view->get_group_member_count(0), 4);
}

TEST_F(ViewGeometry, SelectionQueriesCountExistingRows)
{
    add(4);
    group(0, 1, KSM_GTYPE_HEX);
    const struct {
        std::vector<int> selected;
        int count, single, leaf;
    } cases[] = {{{}, 0, -1, -1}, {{3}, 1, 3, 3}, {{0}, 1, 0, -1}, {{0, 2}, 2, -1, 2}, {{1, 3}, 2, -1, -1}};
    for (const auto& c : cases) {
        m()->select_node_range(0, m_view->get_node_count() - 1, false);
        for (int node : c.selected)
            m()->set_node_selection_status(node, true);
        EXPECT_EQ(m_view->get_selected_node_count(), c.count);
        EXPECT_EQ(m_view->get_single_selected_node(), c.single);
        EXPECT_EQ(m_view->get_single_selected_leaf(), c.leaf);
    }
}

TEST_F(ViewGeometry, SampleScaleAndRulerSteps)
{
    add(1);
    show_tab(0);
    ASSERT_TRUE(m()->get_signal_nodes(-1)->set_sample_depth(512));
    m_view->reset_zoom(true);  // as the update after a depth change does: the whole depth fills the cell
    EXPECT_DOUBLE_EQ(m_view->get_pixels_per_sample(), (1000 - VOKR_VIEW::default_column_widths()[0] -
                                                       VOKR_VIEW::default_column_widths()[1] - 220 - 1 - 5 + 1) /
                                                          512.0);
    EXPECT_GT(m_view->get_ruler_step(), 0);
    // A waveform cell narrower than its margin draws no samples.
    m_view->resize(290, 400);
    EXPECT_EQ(m_view->get_pixels_per_sample(), 0.0);
    EXPECT_EQ(m_view->get_ruler_step(), 0);
    QImage image(100, 100, QImage::Format_RGB32);
    QPainter painter(&image);
    const struct {
        int width, first, last, step;
    } prints[] = {{500, 7, 7, 0}, {500, 9, 7, 0}, {500, 0, 1000, 0}, {2005, 0, 1, 0}};
    for (const auto& p : prints)
        EXPECT_EQ(m_view->get_print_ruler_step(&painter, QRect(0, 0, p.width, 10), p.first, p.last) > 0, p.width > 2000)
            << p.first << ".." << p.last;
}

TEST_F(ViewGeometry, SampleNumbersCountFromEachSegmentsTrigger)
{
    add(1);
    KSM_DATA_LOG* log = m()->get_session()->create_new_log(0);
    log->begin_capture(m()->get_signal_nodes(-1)->get_num_channels(), 200, 100);
    for (int s : {30, 170})
        log->set_trigger_mark(s, true);
    for (int s : {0, 100})
        log->set_break_mark(s, true);
    log->end_capture();
    m()->set_view_log(0, log);
    const struct {
        int sample, in_segment, segment, breaks;
    } cases[] = {{-1, -1, 0, 0}, {0, -30, 0, 1}, {50, 20, 0, 1}, {150, -20, 1, 2}, {199, 29, 1, 2}, {250, 50, 2, 2}};
    for (const auto& c : cases) {
        int segment = -1;
        EXPECT_EQ(m_view->get_sample_in_segment(c.sample, &segment), c.in_segment) << c.sample;
        EXPECT_EQ(segment, c.segment) << c.sample;
        EXPECT_EQ(m_view->get_segment_count(c.sample), c.breaks) << c.sample;
    }
}

TEST(ValueSeparators, InsertEveryNDigitsPastTheRadix)
{
    const struct {
        const char* in;
        int n;
        const char* out;
    } cases[] = {
        {"12345678h", 4, "1234_5678h"}, {"1234h", 4, "1234h"},    {"101010b", 4, "10_1010b"},
        {"1234567", 3, "1_234_567"},    {"123456", 3, "123_456"},
    };
    for (const auto& c : cases) {
        QString text = c.in;
        vokr_add_separators(&text, "_", c.n);
        EXPECT_EQ(text, c.out) << c.in;
    }
}

// A one-line text drawn from the baseline and glyphs kept for it gives the pixels the painter's
// own layout in the rectangle gives: on its first drawing (measured), its second (kept glyphs, its
// pixels kept) and its third (kept pixels copied), on whole-pixel translations (kept glyphs) and a
// fractional one (drawn at the baseline), with an opaque background, several fonts and pens,
// clipped and two-line texts (left to the rectangle's layout). Texts alike in all but their font or
// one letter each draw their own glyphs. Over a stripe the pixels kept over one colour would be
// wrong: those kept with the stripe's pixels are copied only over that very stripe again (the third
// and fifth rounds, not the fourth). In a cell that cuts the text only the part inside it is put
// down; lines hugging the text's box stay as they are.
TEST(LineTexts, DrawTheRectanglesPixels)
{
    const QFont plain("DejaVu Sans", 8);
    QFont bold = plain, italic("DejaVu Sans", 9);
    bold.setBold(true);
    italic.setItalic(true);
    const QColor blue(0, 0, 160), faint(200, 0, 0, 110);
    const struct {
        QFont font;
        int flags;
        QSize size;
        const char* text;
        bool opaque;
        QColor pen;
    } cases[] = {
        {plain, Qt::AlignCenter, {60, 14}, "3FA0h", false, blue},
        {plain, Qt::AlignCenter, {60, 14}, "3FA0h", false, faint},
        {bold, Qt::AlignCenter, {60, 14}, "3FA0h", true, blue},
        {plain, Qt::AlignCenter, {60, 14}, "3FA8h", true, faint},
        {QFont("DejaVu Sans Mono", 8), Qt::AlignCenter, {60, 14}, "3FA0h", false, faint},
        {plain, Qt::AlignLeft | Qt::AlignVCenter, {120, 16}, "cpu|pc[15..0]", true, blue},
        {italic, Qt::AlignRight | Qt::AlignVCenter, {121, 17}, "AVA fifi_0110", true, blue},
        {bold, Qt::AlignCenter, {41, 13}, "Trigger Conditions", false, blue},
        {QFont("DejaVu Sans", 12), Qt::AlignLeft | Qt::AlignTop, {40, 24}, "-23", true, blue},
        {QFont("DejaVu Sans", 12), Qt::AlignLeft | Qt::AlignTop, {30, 9}, "-23", false, blue},
        {plain, Qt::AlignCenter, {50, 30}, "Debug Port\nOut", false, blue},
    };
    enum GROUND { PLAIN, STRIPED, CUT, FENCED };
    for (const GROUND ground : {PLAIN, STRIPED, CUT, FENCED})
        for (const QPointF shift : {QPointF(0, 0), QPointF(-3, 2), QPointF(2.5, 0.75)})
            for (int round = 0; round < 5; ++round)
                for (const auto& c : cases) {
                    QImage expected(200, 60, QImage::Format_RGB32), drawn(200, 60, QImage::Format_RGB32);
                    for (QImage* image : {&expected, &drawn}) {
                        image->fill(Qt::white);
                        QPainter p(image);
                        p.translate(shift);
                        if (ground == STRIPED && round >= 2)
                            p.fillRect(QRect(0, round == 3 ? 17 : 16, 200, 1), Qt::darkGreen);
                        p.setFont(c.font);
                        p.setPen(c.pen);
                        p.setBackground(QColor(255, 220, 120));
                        p.setBackgroundMode(c.opaque ? Qt::OpaqueMode : Qt::TransparentMode);
                        const QRect rect(QPoint(7 + round, 11), c.size);
                        if (ground == FENCED) {
                            const QRect box = p.boundingRect(rect, c.flags, c.text);
                            p.fillRect(QRect(box.left() - 1, 0, 1, 60), Qt::darkGreen);
                            p.fillRect(QRect(box.right() + 1, 0, 1, 60), Qt::darkGreen);
                        }
                        std::optional<VOKR_CELL_CLIP> cell;
                        if (ground == CUT && round == 2)
                            cell.emplace(&p, QRect(rect.center().x(), 0, 200, 60));
                        if (image == &expected)
                            p.drawText(rect, c.flags, c.text);
                        else
                            vokr_draw_line_text(&p, rect, c.flags, c.text);
                        EXPECT_EQ(p.backgroundMode(), c.opaque ? Qt::OpaqueMode : Qt::TransparentMode);
                    }
                    EXPECT_TRUE(drawn == expected)
                        << c.text << " round " << round << " shift " << shift.x() << " ground " << ground;
                }
}

// Whether a text fits its rectangle is what the painter's bounding rectangle says, also for the
// widths within a pixel of the text's own, whose answer depends on where the alignment puts the
// text: asked for each width in turn, twice (measured, kept).
TEST(LineTexts, FitWhereTheBoundingRectangleFits)
{
    QImage image(200, 40, QImage::Format_RGB32);
    QPainter p(&image);
    p.setFont(QFont("DejaVu Sans", 8));
    for (const char* text : {"3FA0h", "ff_0110", "Wo"})
        for (const int flags : {int(Qt::AlignCenter), int(Qt::AlignRight | Qt::AlignVCenter)}) {
            const int width = p.boundingRect(QRect(0, 0, 100, 14), flags, text).width();
            for (int round = 0; round < 2; ++round)
                for (int w = width - 3; w <= width + 3; ++w) {
                    const QRect rect(5, 3, w, 14);
                    EXPECT_EQ(vokr_text_fits(&p, rect, flags, text), p.boundingRect(rect, flags, text).width() <= w)
                        << text << " width " << w << " flags " << flags;
                }
        }
}

TEST_F(ViewGeometry, PositionDataDefaultsCorruptValuesAndTimeBars)
{
    KSM_TX_INSTANCE* instance = m()->get_tx_instance();
    ASSERT_TRUE(m()->get_signal_nodes(-1)->set_sample_depth(512));
    // Fresh: Setup tab, bars at 0, zoom 1/1; saving on Setup stores no zoom.
    EXPECT_TRUE(m_view->load_position_data());
    EXPECT_EQ(m_view->m_vertical_bar->value() + m_view->m_horizontal_bar->value(), 0);
    m_view->m_zoom_level = VOKR_DOUBLE(4, 1);
    m_view->save_position_data();
    EXPECT_EQ(instance->get_position_data("zoom level numerator"), -1);
    EXPECT_EQ(instance->get_position_data("setup vertical scroll position"), 0);
    m_view->load_position_data();
    EXPECT_EQ(m_view->get_zoom_level().m_numerator, 4);
    // On the Data tab damaged fractions read as absent.
    instance->set_position_data("active tab", 0);
    const struct {
        int numerator, denominator, expected_numerator, expected_denominator;
    } fractions[] = {{8, 2, 8, 2}, {8, 0, 1, 1}, {8, -2, 1, 1}, {0, 4, 1, 1}, {-1, -1, 1, 1}};
    for (const auto& f : fractions) {
        instance->set_position_data("zoom level numerator", f.numerator);
        instance->set_position_data("zoom level denominator", f.denominator);
        m_view->load_position_data();
        EXPECT_EQ(std::make_pair(m_view->get_zoom_level().m_numerator, m_view->get_zoom_level().m_denominator),
                  std::make_pair(f.expected_numerator, f.expected_denominator));
    }
    // Time bars outside 0..depth are dropped; no more than the view holds are read.
    const std::vector<int> stored = {5, 900, 200, -4, 512};
    instance->set_position_data("timebars", stored.data(), int(stored.size()));
    m_view->load_timebars();
    EXPECT_EQ(std::vector<int>(m_view->get_time_bars(), m_view->get_time_bars() + m_view->get_timebar_count()),
              (std::vector<int>{5, 200, 512}));
    const std::vector<int> many(150, 7);
    instance->set_position_data("timebars", many.data(), int(many.size()));
    m_view->load_timebars();
    EXPECT_EQ(m_view->get_timebar_count(), VOKR_VIEW::MAX_TIME_BARS);
    // The bars the view stored itself come back whole, past the depth of a smaller capture too.
    const std::vector<int> placed = {900, 1000, 300};
    std::copy(placed.begin(), placed.end(), m_view->m_time_bars);
    m_view->m_timebar_count = int(placed.size());
    m_view->save_timebars();
    m_view->load_timebars();
    EXPECT_EQ(std::vector<int>(m_view->get_time_bars(), m_view->get_time_bars() + m_view->get_timebar_count()), placed);
}

TEST_F(ViewGeometry, PositionDataRoundTripsThroughTheSessionFile)
{
    const std::string file = path("positions.lmx");
    EDITOR wizard(false);
    VIEW saved(nullptr, wizard.get());
    wizard->get_tx_instance()->set_position_data("active tab", 0);
    saved.m_zoom_level = VOKR_DOUBLE(3, 2);
    saved.m_vertical_bar->setRange(0, 50);
    saved.m_vertical_bar->setValue(17);
    saved.m_vertical_bar->show();
    saved.m_time_bars[0] = 12;
    saved.m_timebar_count = 1;
    saved.save_timebars();
    saved.save_position_data();
    ASSERT_TRUE(wizard->save_document(file.c_str()));

    EDITOR reopened(false);
    bool renamed = false;
    std::string name;
    ASSERT_TRUE(reopened->open_document(file.c_str(), &renamed, &name));
    VIEW view(nullptr, reopened.get());
    view.load_timebars();
    view.load_position_data();
    EXPECT_EQ(std::make_tuple(view.get_zoom_level().m_numerator, view.get_zoom_level().m_denominator,
                              view.m_vertical_bar->value(), view.get_timebar_count(), view.get_time_bars()[0]),
              std::make_tuple(3, 2, 17, 1, 12));
}

}  // namespace
