// What the node list view paints: empty-grid texts, scrolled rows, header and level cells, the
// selection, the name tree and the node cells, recorded or probed on fixed-size views; and the
// demo session's Setup tab rendered to a PNG for a person to look at.
#include "manager_test_support.h"
#include "paint_recorder.h"

#include "pirq.h"
#include "prj.h"
#include "vokr_cell_clip.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_node.h"
#include "vokr_view.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPicture>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTabWidget>

#include <functional>
#include <iostream>

using namespace manager_test;

namespace {

struct VIEW : VOKR_VIEW {
    using VOKR_VIEW::m_drop_before;
    using VOKR_VIEW::m_drop_row;
    using VOKR_VIEW::m_vertical_bar;
    using VOKR_VIEW::VOKR_VIEW;
};

// A 1000 x 400 view on the Setup tab of a framed editor (or of the wizard's manager), painted
// into a recorder.
class ViewPaint : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        QApplication::setStyle(QStyleFactory::create("Fusion"));
        QApplication::setFont(QFont("DejaVu Sans", 8));
        make(true);
    }
    void TearDown() override
    {
        make(false, false);
        MANAGER_TEST::TearDown();
    }
    void make(bool framed, bool again = true)
    {
        m_view.reset();
        if (m_editor && m_editor->frame())
            m_editor->frame()->get_layout_widget()->set_data_setup_tab_widget(0, nullptr);
        m_editor.reset();
        if (!again)
            return;
        m_editor = std::make_unique<EDITOR>(framed);
        if (framed) {
            if (m_tabs.count() == 0)
                m_tabs.addTab(new QWidget, "Data"), m_tabs.addTab(new QWidget, "Setup");
            m_tabs.setCurrentIndex(1);
            m_editor->frame()->get_layout_widget()->set_data_setup_tab_widget(0, &m_tabs);
        }
        m_view = std::make_unique<VIEW>(nullptr, m());
        m_view->resize(1000, 400);
    }
    VOKR_TX_MANAGER* m() const { return m_editor->get(); }
    void add(int count)
    {
        for (int i = 0; i < count; ++i)
            add_rows(m(), {QString("n%1").arg(i).toLatin1().constData()});
        m_view->invalidate_geometry();
    }
    const PAINT_RECORDER& paint(VOKR_VIEW* view = nullptr)
    {
        view = view ? view : m_view.get();
        m_recorder.clear();
        QPainter painter(&m_recorder);
        QRect area = view->rect();
        view->paint(&painter, 0, view, &area, true);
        return m_recorder;
    }
    QRect cell(int node, int column) const
    {
        QRect r;
        return m_view->get_item_rect(VOKR_VIEW::node_to_row(node), column, &r) ? r : QRect();
    }
    // Fills of `color` whose rectangle lies inside `area`.
    int fills(const QColor& color, const QRect& area) const
    {
        int n = 0;
        for (const auto& r : m_recorder.rects())
            n += r.brush_color == color && area.contains(r.rect) ? 1 : 0;
        return n;
    }
    int lines_of(const QColor& color, const QRect& area) const
    {
        int n = 0;
        for (const auto& l : m_recorder.lines())
            n += l.color == color && area.contains(l.line.p1()) && area.contains(l.line.p2()) ? 1 : 0;
        return n;
    }

    std::unique_ptr<EDITOR> m_editor;
    QTabWidget m_tabs;
    std::unique_ptr<VIEW> m_view;
    PAINT_RECORDER m_recorder;
};

TEST_F(ViewPaint, EmptyGridTellsWhyAtTheLeftTop)
{
    {
        VOKR_TX_MANAGER empty(nullptr);
        VIEW view(nullptr, &empty);
        view.resize(600, 200);
        ASSERT_TRUE(paint(&view).find_text("No nodes"));
        VOKR_FRAME_WND main(nullptr, WEX_FRAME_MODE_MAIN_WINDOW, 0, 0);
        main.get_tx_manager()->new_document(path("main.lmx").c_str());
        VIEW in_main(nullptr, main.get_tx_manager());
        in_main.resize(600, 200);
        EXPECT_TRUE(paint(&in_main).find_text("Open a Lumetra file to continue"));
    }
    // The wizard's storage-qualifier level hides the rows that store nothing.
    make(false);
    add(2);
    for (int node : {0, 1})
        VOKR_NODE(m(), m_editor->trigger(), node).enable_storage(false);
    m()->set_trigger_level(-1);
    m_view->invalidate_geometry();
    EXPECT_TRUE(paint().find_text("All nodes hidden"));
    m()->set_trigger_level(0);
    const struct {
        bool framed;
        const char* project;
        const char* text;
    } cases[] = {
        {false, nullptr, "Zero trigger input port width"},
        {true, nullptr, "Open a project to add nodes"},
        {true, "top top\nnode a input pre post\n", "Double-click to add nodes"},
    };
    for (const auto& c : cases) {
        if (c.project)
            open_project(c.project);
        make(c.framed);
        const PAINT_RECORDER::TEXT* text = paint().find_text(c.text);
        ASSERT_TRUE(text) << c.text;
        EXPECT_EQ(text->baseline.x(), 10);
        EXPECT_LT(text->baseline.y(),
                  m_view->get_row_height(0) + m_view->get_row_height(1) + m_view->get_row_height(2) + 20);
        EXPECT_EQ(m_view->get_visible_node_rows(), 0);
    }
}

// The wizard's level decides which rows show, painting after painting: trigger levels hide the
// rows that trigger on nothing, storage-qualifier patterns those that store nothing.
TEST_F(ViewPaint, ShownRowsFollowTheTriggerLevel)
{
    make(false);
    add(3);
    VOKR_NODE(m(), m_editor->trigger(), 0).enable_storage(false);
    VOKR_NODE(m(), m_editor->trigger(), 1).enable_trigger(false);
    const struct {
        int level;
        std::vector<bool> shown;  // n0, n1, n2
    } cases[] = {
        {0, {true, false, true}}, {-1, {false, true, true}}, {0, {true, false, true}}, {-3, {false, true, true}}};
    for (const auto& c : cases) {
        m()->set_trigger_level(c.level);
        paint();
        for (int node = 0; node < 3; ++node)
            EXPECT_EQ(m_recorder.find_text(QString("n%1").arg(node)) != nullptr, c.shown[node])
                << "n" << node << " on level " << c.level;
    }
    m()->set_trigger_level(0);
}

TEST_F(ViewPaint, ScrolledRowsAreSkippedAndTheDropBarSpansTheNameColumn)
{
    add(30);
    m_view->m_vertical_bar->setRange(0, 20);
    m_view->m_vertical_bar->setValue(5);
    m_view->m_vertical_bar->show();
    m_view->m_drop_row = 30;
    paint();
    EXPECT_FALSE(m_recorder.find_text("n4"));
    ASSERT_TRUE(m_recorder.find_text("n5"));
    EXPECT_TRUE(cell(5, 2).contains(m_recorder.find_text("n5")->baseline));
    // Painting stops at the bottom edge: only the rows in view are visited.
    EXPECT_LT(m_view->get_visible_node_rows(), 30);
    EXPECT_FALSE(m_recorder.find_text("n29"));

    m_view->m_vertical_bar->setValue(20);
    paint();
    const QRect name = cell(29, 2);
    const QRect bar(QPoint(name.left() + 2, name.bottom() - 3), QPoint(name.right() - 2, name.bottom() - 1));
    EXPECT_EQ(fills(pirq_get_color(1), bar), 1);
    EXPECT_EQ(fills(pirq_get_color(1), QRect(0, name.bottom() - 3, name.left() + 1, 4)), 0);
}

TEST_F(ViewPaint, SequentialHeaderAndLevelNumbers)
{
    add(2);
    ASSERT_TRUE(m_editor->trigger()->set_num_levels(3));
    for (bool state_based : {false, true}) {
        ASSERT_TRUE(m_editor->trigger()->set_state_based(state_based));
        m_view->invalidate_geometry();
        paint();
        int titles = 0;
        for (const auto& t : m_recorder.texts())
            titles += t.text == "Trigger Conditions" ? 1 : 0;
        EXPECT_EQ(titles, 1);
        for (const char* number : {"1", "2", "3"})
            EXPECT_TRUE(m_recorder.find_text(number)) << number;
        EXPECT_EQ(m_recorder.find_text(m()->get_trigger_level_name(0, -1)) != nullptr, state_based);
    }
}

TEST_F(ViewPaint, NodeRowCells)
{
    add(6);
    ASSERT_TRUE(m()->group_node(1, 2));  // rows 1 group, 2-3 members
    ASSERT_TRUE(m()->group_node(4, 5));  // rows 4 group, 5-6 members
    m()->toggle_node(4);                 // collapsed
    m_editor->trigger()->set_invalid(2, true);
    VOKR_NODE(m(), m_editor->trigger(), 0).enable_signal_inversion(true);
    VOKR_NODE(m(), m_editor->trigger(), 0).enable_trigger(false);
    m_view->invalidate_geometry();
    m_view->m_drop_row = 4;
    m_view->m_drop_before = true;
    const int marked = (paint(), lines_of(pirq_get_color(1), cell(4, 2)));
    m_view->m_drop_before = false;
    paint();
    const QColor bar = pirq_get_pen(18).color();
    // Expanded group 1: a minus and a stub; collapsed group 4: a plus, no insertion line.
    EXPECT_EQ(lines_of(bar, cell(1, 2)), 1);
    EXPECT_EQ(lines_of(bar, cell(4, 2)), 2);
    EXPECT_EQ(lines_of(pirq_get_color(1), cell(4, 2)), marked - 2);
    EXPECT_EQ(m_recorder.find_text(m_editor->trigger()->get_node_name(1))->color, pirq_get_color(5));
    EXPECT_EQ(m_recorder.find_text(m_editor->trigger()->get_node_name(4))->color, pirq_get_color(307));
    ASSERT_EQ(m_recorder.ellipses().size(), 1u);
    EXPECT_TRUE(cell(0, 0).contains(m_recorder.ellipses()[0].rect));
    EXPECT_EQ(fills(pirq_get_color(22), cell(0, VOKR_VIEW::FIRST_LEVEL_COLUMN)), 1);
    EXPECT_EQ(fills(pirq_get_color(22), cell(3, VOKR_VIEW::FIRST_LEVEL_COLUMN)), 0);
    // A renamed node shows its new name on the next paint.
    ASSERT_TRUE(m_editor->trigger()->rename_node(0, "renamed_0"));
    paint();
    EXPECT_NE(m_recorder.find_text("renamed_0"), nullptr);
}

// A name wider than its cell loses its start, or its end when the names are aligned left; the
// same name at the same width follows each change of side.
TEST_F(ViewPaint, LongNamesAreElidedOnTheAlignedSide)
{
    const QString name = "top|" + QString("middle_level|").repeated(12) + "signal";
    add_rows(m(), {name.toLatin1().constData()});
    m_view->invalidate_geometry();
    for (bool left : {false, true, false}) {
        m()->set_cfg_align_left(left);
        const PAINT_RECORDER::TEXT* shown = nullptr;
        for (const auto& t : paint().texts())
            if (t.text.contains(QChar(0x2026)))
                shown = &t;
        ASSERT_NE(shown, nullptr) << left;
        EXPECT_EQ(shown->text.startsWith("top|"), left) << shown->text.toStdString();
        EXPECT_EQ(shown->text.endsWith("signal"), !left) << shown->text.toStdString();
    }
}

// At a font larger than the columns were sized for, texts are wrapped or shortened inside their
// cells instead of spilling over their neighbours.
TEST_F(ViewPaint, TextsStayInsideTheirCellsAtALargerFont)
{
    QFont large("DejaVu Sans");
    large.setPixelSize(15);
    QApplication::setFont(large);
    add(1);
    ASSERT_TRUE(m_editor->trigger()->set_node_alias(0, "long_alias"));
    const QFontMetrics header(pirq_get_font(55)), plain(large);
    const struct {
        int row, column;
        const QFontMetrics* metrics;
    } cells[] = {{1, 5, &header}, {1, 6, &header}, {2, 0, &header},
                 {2, 1, &header}, {2, 2, &header}, {VOKR_VIEW::node_to_row(0), 1, &plain}};
    for (bool state_based : {false, true}) {
        ASSERT_TRUE(m_editor->trigger()->set_state_based(state_based));
        m_view->invalidate_geometry();
        paint();
        for (const auto& c : cells) {
            QRect cell;
            ASSERT_TRUE(m_view->get_item_rect(c.row, c.column, &cell));
            int inside = 0;
            for (const auto& t : m_recorder.texts()) {
                if (!cell.contains(t.baseline) || t.text.trimmed().isEmpty())
                    continue;
                ++inside;
                EXPECT_LE(t.baseline.x() + c.metrics->horizontalAdvance(t.text), cell.right()) << t.text.toStdString();
            }
            EXPECT_GT(inside, 0) << c.row << "," << c.column << " state based " << state_based;
        }
    }
}

TEST_F(ViewPaint, SelectedRowIsHighlightedOnlyWithFocus)
{
    add(2);
    m_editor->trigger()->set_selected(0, true);
    // Out of focus, a row just brought into view shows its name on the selection's colour, once.
    m_view->ensure_visible(0);
    paint();
    EXPECT_GT(fills(pirq_get_color(297), cell(0, 2)), 0);
    for (bool focus : {false, true}) {
        if (focus) {
            m_view->show();
            QApplication::setActiveWindow(m_view.get());
            m_view->setFocus();
            ASSERT_TRUE(m_view->hasFocus());
        }
        paint();
        EXPECT_EQ(fills(pirq_get_color(297), cell(0, 2)) > 0, focus);
        EXPECT_EQ(fills(pirq_get_color(297), cell(1, 2)), 0);
    }
}

TEST_F(ViewPaint, DemoSessionSetupTabRendersToPng)
{
    ASSERT_NO_FATAL_FAILURE(open_demo_project());
    ASSERT_NO_FATAL_FAILURE(open_session(m(), "demo.lmx"));
    m_editor->frame()->get_layout_widget()->set_data_setup_tab_widget(0, &m_tabs);
    m_view->resize(1200, 560);
    m_view->load_column_widths();
    m_view->invalidate_geometry();
    QImage image(m_view->size(), QImage::Format_RGB32);
    {
        QPainter painter(&image);
        QRect area = m_view->rect();
        m_view->paint(&painter, 0, m_view.get(), &area, true);
    }
    QDir().mkpath(VOKR_ARTIFACT_DIR);
    const QString file = VOKR_ARTIFACT_DIR "/node_list_view.png";
    ASSERT_TRUE(image.save(file));
    std::cout << "node list view image: " << file.toStdString() << std::endl;
    EXPECT_GE(m_view->get_visible_node_rows(), 6);
    PRJ_PROJECT::close();
}

// Painted straight on an image, the view gives the pixels it gives recorded into a picture (as
// printing records it, without the raster engine's shortcuts) and played back, whatever the cells'
// shades, sizes and selection, also painted a second time from what the first one kept.
TEST_F(ViewPaint, ImageAndRecordedPictureHaveTheSamePixels)
{
    add(6);
    ASSERT_TRUE(m()->group_node(1, 2));
    m_editor->trigger()->set_selected(0, true);
    m_view->show();
    QApplication::setActiveWindow(m_view.get());
    const struct {
        const char* name;
        bool focus;
        QColor light, dark;  // the palette's shades; invalid: the style's
        int font_pixels;     // the application font's size, which sets the rows' height; 0: 8 points
        QImage::Format format;
    } cases[] = {
        {"plain", false, {}, {}, 0, QImage::Format_RGB32},
        {"focused", true, {}, {}, 0, QImage::Format_ARGB32_Premultiplied},
        {"other shades", true, QColor(250, 240, 200), QColor(90, 60, 30), 0, QImage::Format_RGB32},
        {"style's shades again", false, {}, {}, 0, QImage::Format_ARGB32},
        {"taller rows", false, {}, {}, 22, QImage::Format_RGB32},
    };
    const QPalette style = m_view->palette();
    for (const auto& c : cases) {
        QPalette palette = style;
        if (c.light.isValid())
            palette.setColor(QPalette::Light, c.light), palette.setColor(QPalette::Dark, c.dark);
        m_view->setPalette(palette);
        if (c.focus)
            m_view->setFocus();
        else
            m_view->clearFocus();
        ASSERT_EQ(m_view->hasFocus(), c.focus) << c.name;
        QFont font("DejaVu Sans", 8);
        if (c.font_pixels)
            font.setPixelSize(c.font_pixels);
        QApplication::setFont(font);
        m_view->invalidate_geometry();
        QRect area = m_view->rect();
        QImage direct(m_view->size(), c.format), played(m_view->size(), c.format);
        QPicture picture;
        {
            QPainter painter(&direct);
            m_view->paint(&painter, 0, m_view.get(), &area, true);
            m_view->paint(&painter, 0, m_view.get(), &area, true);
            QPainter recorder(&picture);
            m_view->paint(&recorder, 0, m_view.get(), &area, true);
        }
        QPainter(&played).drawPicture(0, 0, picture);
        int differing = 0;
        for (int y = 0; y < direct.height(); ++y)
            for (int x = 0; x < direct.width(); ++x)
                differing += direct.pixel(x, y) != played.pixel(x, y) ? 1 : 0;
        EXPECT_EQ(differing, 0) << c.name;
    }
}

// A cell's clip gives the painter back as it found it, whatever the cell changed: on an image
// that clips nowhere, one that clips already and a recorded picture.
TEST(CellClip, GivesThePainterBackAsItWas)
{
    const std::function<void(QPainter*)> changes[] = {
        [](QPainter* p) { p->setPen(QPen(Qt::red, 3)); },
        [](QPainter* p) { p->setBrush(Qt::blue); },
        [](QPainter* p) { p->setFont(QFont("DejaVu Sans", 17)); },
        [](QPainter* p) { p->setBackground(Qt::green); },
        [](QPainter* p) { p->setBackgroundMode(Qt::OpaqueMode); },
        [](QPainter* p) { p->setRenderHint(QPainter::Antialiasing); },
    };
    for (int device = 0; device < 3; ++device)
        for (size_t c = 0; c < std::size(changes); ++c) {
            QImage image(20, 20, QImage::Format_RGB32);
            QPicture picture;
            QPainter p;
            if (device < 2)
                p.begin(&image);
            else
                p.begin(&picture);
            if (device == 1)
                p.setClipRect(QRect(1, 1, 9, 9));
            const QPen pen = p.pen();
            const QBrush brush = p.brush(), background = p.background();
            const QFont font = p.font();
            const QPainter::RenderHints hints = p.renderHints();
            const QRegion clip = p.clipRegion();
            {
                const VOKR_CELL_CLIP cell(&p, QRect(2, 2, 5, 5));
                EXPECT_EQ(p.clipBoundingRect(), QRectF(2, 2, 5, 5));
                changes[c](&p);
            }
            const std::string name = std::to_string(device) + " " + std::to_string(c);
            EXPECT_TRUE(p.pen() == pen && p.brush() == brush && p.background() == background) << name;
            EXPECT_TRUE(p.font() == font && p.renderHints() == hints) << name;
            EXPECT_EQ(p.backgroundMode(), Qt::TransparentMode) << name;
            EXPECT_EQ(p.hasClipping(), device == 1) << name;
            EXPECT_TRUE(!p.hasClipping() || p.clipRegion() == clip) << name;
        }
}

// The palette's fonts, kept between calls, follow the application font as it changes; a painter
// takes each in turn.
TEST_F(ViewPaint, PaletteFontsFollowTheApplicationFont)
{
    QImage image(10, 10, QImage::Format_RGB32);
    QPainter painter(&image);
    const struct {
        const char* family;
        int points;
    } fonts[] = {{"DejaVu Sans", 8}, {"DejaVu Serif", 11}, {"DejaVu Sans", 8}};
    for (const auto& f : fonts) {
        QApplication::setFont(QFont(f.family, f.points));
        for (int id : {55, 56, 66}) {
            const QFont font = pirq_get_font(id);
            EXPECT_EQ(font.family(), QString(f.family)) << id;
            EXPECT_EQ(font.pointSize(), f.points) << id;
            EXPECT_EQ(font.bold(), id == 55) << id;
            EXPECT_EQ(font.italic(), id == 66) << id;
            vokr_set_font(&painter, font);
            EXPECT_EQ(painter.font().key(), font.key()) << id;
        }
    }
}

// A paint looks the current instance's Data/Setup tabs up once; after it, the mode follows the
// tabs and the tab widget in place.
TEST_F(ViewPaint, ModeFollowsTheTabsAfterAPaint)
{
    add(1);
    QTabWidget other;
    other.addTab(new QWidget, "Data"), other.addTab(new QWidget, "Setup");
    const struct {
        QTabWidget* tabs;
        int tab;
    } cases[] = {{&m_tabs, 1}, {&m_tabs, 0}, {&other, 1}, {&m_tabs, 0}, {&other, 0}};
    for (const auto& c : cases) {
        paint();
        m_editor->frame()->get_layout_widget()->set_data_setup_tab_widget(0, c.tabs);
        c.tabs->setCurrentIndex(c.tab);
        EXPECT_EQ(m()->is_data_mode(-1), c.tab == 0) << c.tab;
        EXPECT_EQ(m()->is_setup_mode(), c.tab == 1) << c.tab;
    }
    m_editor->frame()->get_layout_widget()->set_data_setup_tab_widget(0, &m_tabs);
}

}  // namespace
