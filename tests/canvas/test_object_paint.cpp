// Painting of the advanced-trigger boxes, recorded call by call: the icons by box and state, the
// labels and their colours, the width markers, the wires, stubs and dots, the dragged wire; and
// a representative diagram rendered to a PNG (expanded and with a subtree collapsed) for a
// person to look at.
#include "diagram_builder.h"
#include "paint_recorder.h"
#include "pirq.h"
#include "vokr_object_widget.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <iostream>
#include <set>
#include <vector>

namespace {

using namespace diagram;
using LINE = PAINT_RECORDER::LINE;
using TEXT = PAINT_RECORDER::TEXT;

const QColor BLACK(0, 0, 0);
const QColor RED(255, 0, 0);
const QColor DARK_GREEN(0, 128, 0);
const QColor DARK_BLUE(0, 0, 128);
const QColor BLUE(0, 0, 255);

// A text as written, wherever it went.
struct LABEL {
    QString text;
    QColor color;
    bool operator==(const LABEL& o) const { return text == o.text && color == o.color; }
};
void PrintTo(const LABEL& label, std::ostream* out)
{
    *out << '"' << label.text.toStdString() << "\" " << label.color.name().toStdString();
}

std::vector<LABEL> labels(const PAINT_RECORDER& recorder)
{
    std::vector<LABEL> written;
    for (const TEXT& t : recorder.texts())
        written.push_back({t.text, t.color});
    return written;
}

// The root at (300, 100); children 150 to the left, 40 apart from top 60, and so on down.
void place(VOKR_OBJECT* box, int left = 300, int top = 100)
{
    box->set_position(left, top);
    int child_top = 60;
    for (VOKR_OBJECT* child : box->get_children()) {
        place(child, left - 150, child_top);
        child_top += 40;
    }
}

// `box` (or the child at `path`) made from `text` and placed.
struct SCENE {
    DIAGRAM d;
    VOKR_OBJECT* root;
    explicit SCENE(const std::string& text) : root(d.make(text)) { place(root); }
    VOKR_OBJECT* at(std::initializer_list<int> path) const
    {
        VOKR_OBJECT* box = root;
        for (int i : path)
            box = box->get_children().at(i);
        return box;
    }
};

void record_draw(PAINT_RECORDER* recorder, VOKR_OBJECT* box, bool focus = false, bool incremental = false)
{
    QPainter painter(recorder);
    box->draw(&painter, focus, incremental);
}

void record_connections(PAINT_RECORDER* recorder, const VOKR_OBJECT* box, QPoint mouse = QPoint())
{
    QPainter painter(recorder);
    box->draw_connections(&painter, mouse);
}

// ---- icons ----------------------------------------------------------------------------------------

// Every identifier boxes are painted with has an image of its own, at the size it is shown at,
// that the recorder recognises.
TEST(SuiteIcons, EachIdentifierHasItsOwnImageAtItsSize)
{
    std::set<int> ids(std::begin(vokr_kind_icon), std::end(vokr_kind_icon));
    const struct {
        std::vector<int> ids;
        QSize size;
    } extra[] = {{{PIRQ_ICON_SELECTION_SHORT, PIRQ_ICON_FOCUS_SELECTION_SHORT}, QSize(106, 26)},
                 {{PIRQ_ICON_SELECTION_DELAYED, PIRQ_ICON_FOCUS_SELECTION_DELAYED}, QSize(106, 39)},
                 {{PIRQ_ICON_SELECTION_TALL, PIRQ_ICON_FOCUS_SELECTION_TALL}, QSize(106, 106)},
                 {{PIRQ_ICON_EXPANDED, PIRQ_ICON_COLLAPSED, PIRQ_ICON_COLLAPSED_UNCONNECTABLE}, QSize(10, 10)},
                 {{PIRQ_ICON_NODE_DELAYED, PIRQ_ICON_BUS_DELAYED}, QSize(101, 34)},
                 {{PIRQ_ICON_NODE, PIRQ_ICON_BUS, PIRQ_ICON_RESULT, PIRQ_ICON_RESULT_WIRED}, QSize(101, 21)},
                 {{PIRQ_ICON_LOGICAL_OR, PIRQ_ICON_CUSTOM_HDL}, QSize(101, 101)}};
    for (const auto& row : extra) {
        for (int id : row.ids) {
            EXPECT_EQ(pirq_get_icon(static_cast<PIRQ_ICON_ENUM>(id)).size(), row.size) << id;
            ids.insert(id);
        }
    }
    ids.insert(PIRQ_ICON_RESULT_WIRED);
    EXPECT_EQ(ids.size(), 80u);
    std::vector<QImage> images;
    for (int id : ids) {
        const QPixmap icon = pirq_get_icon(static_cast<PIRQ_ICON_ENUM>(id));
        EXPECT_EQ(pirq_find_icon(icon), id);
        for (const QImage& other : images)
            EXPECT_NE(icon.toImage(), other) << id;
        images.push_back(icon.toImage());
    }
    EXPECT_EQ(pirq_find_icon(QPixmap(4, 4)), -1);
    EXPECT_EQ(pirq_find_icon(pirq_get_icon(static_cast<PIRQ_ICON_ENUM>(1))), PIRQ_ICON_UNKNOWN);
}

TEST(BoxPainting, IconsByBoxAndState)
{
    const struct {
        const char* text;
        bool focus;
        std::vector<int> icons;  // halo, box, expander as painted
    } rows[] = {
        {"node[selected=1]", true, {PIRQ_ICON_FOCUS_SELECTION_SHORT, PIRQ_ICON_NODE}},
        {"node[selected=1]", false, {PIRQ_ICON_SELECTION_SHORT, PIRQ_ICON_NODE}},
        {"node[selected=1;data_delay=2]", false, {PIRQ_ICON_SELECTION_DELAYED, PIRQ_ICON_NODE_DELAYED}},
        {"compare[selected=1]", true, {PIRQ_ICON_FOCUS_SELECTION_TALL, PIRQ_ICON_VARIABLE_UNSIGNED_EQUALITY}},
        {"bus", false, {PIRQ_ICON_BUS}},
        {"bus*2[expanded=1]", false, {PIRQ_ICON_NODE, PIRQ_ICON_EXPANDED}},
        {"bus[data_delay=3]", false, {PIRQ_ICON_BUS_DELAYED}},
        {"bus*2[data_delay=3]", false, {PIRQ_ICON_NODE_DELAYED, PIRQ_ICON_COLLAPSED}},
        {"result", false, {PIRQ_ICON_RESULT}},
        {"result('a')", false, {PIRQ_ICON_RESULT_WIRED, PIRQ_ICON_COLLAPSED}},
        {"bit", false, {PIRQ_ICON_VARIABLE_HIGH}},
        {"bit[alias=go]", false, {PIRQ_ICON_VARIABLE_BUS_VALUE}},
        {"bit[configurable=1;bit_value=False;alias=go]", false, {PIRQ_ICON_CONSTANT_BUS_VALUE}},
        {"logical[logical=Logical Or](bus*2)", false, {PIRQ_ICON_LOGICAL_OR, PIRQ_ICON_COLLAPSED_UNCONNECTABLE}},
        {"compare[signed_comparison=Signed Comparison;comparison=Less Than;configurable=1]",
         false,
         {PIRQ_ICON_CONSTANT_SIGNED_LESS_THAN}},
        {"counter[counter_hold=No;counter_type=State]", false, {PIRQ_ICON_DYNAMIC_STATE_COUNTER}},
    };
    for (const auto& row : rows) {
        SCENE scene(row.text);
        PAINT_RECORDER recorder;
        record_draw(&recorder, scene.root, row.focus);
        EXPECT_EQ(recorder.icons(), row.icons) << row.text;
    }
    // Where the halo, the box and the expand box go.
    SCENE scene("bus*2[selected=1;data_delay=1]");
    PAINT_RECORDER recorder;
    record_draw(&recorder, scene.root, true);
    ASSERT_EQ(recorder.pixmaps().size(), 3u);
    EXPECT_EQ(recorder.pixmaps()[0].rect, QRect(297, 97, 106, 39));
    EXPECT_EQ(recorder.pixmaps()[1].rect, QRect(300, 100, 101, 34));
    EXPECT_EQ(recorder.pixmaps()[2].rect, QRect(305, 112, 10, 10));
}

// ---- texts ----------------------------------------------------------------------------------------

TEST(BoxPainting, LabelsAndParameterLines)
{
    const QColor dark = QApplication::palette().color(QPalette::Dark);
    const struct {
        const char* text;
        bool incremental;
        std::vector<LABEL> texts;  // with the width of a bus output, "?" when unknown
    } rows[] = {
        {"node[name=a|b]", false, {{"...b", BLACK}}},
        {"node[name=a|b;selected=1]", false, {{"...b", DARK_BLUE}}},
        {"node[name=a|b;selected=1]", true, {{"...b", BLUE}}},
        {"node[name=a|b]", true, {{"...b", BLUE}}},
        {"node", true, {{"Node", BLACK}}},
        {"bus[bus_name=top|data;name=x]", true, {{"...data", BLUE}, {"?", BLACK}}},
        {"bus[name=top|x;selected=1]", true, {{"top|x", DARK_BLUE}, {"?", BLACK}}},
        {"bus", false, {{"Bus", BLACK}, {"?", BLACK}}},
        {"node[name=a;alias=start]", true, {{"start", DARK_GREEN}}},
        {"result", false, {{"Result", BLACK}}},
        {"result[alias=fire]", false, {{"fire", DARK_GREEN}}},
        {"#12", false, {{"12", BLACK}, {"?", BLACK}}},
        {"value", false, {{"Variable", BLACK}, {"?", BLACK}}},
        {"bit", false, {}},
        {"cirn", false, {}},
        {"compare", false, {}},
        {"compare[name=limit]", false, {{"limit", dark}}},
        {"eld[name=edges;pattern=RF01]", false, {{"edges", dark}, {"RF01", BLACK}}},
        {"eld[alias=e;pattern=R]", false, {{"e", DARK_GREEN}, {"R", BLACK}}},
        {"hdl[config_bitstream=0110]", false, {{"0110", BLACK}}},
    };
    for (const auto& row : rows) {
        SCENE scene(row.text);
        PAINT_RECORDER recorder;
        record_draw(&recorder, scene.root, false, row.incremental);
        EXPECT_EQ(labels(recorder), row.texts) << row.text;
    }
}

// "Result" sits in the middle of the whole box; a parameter line at the top of its inner
// rectangle; long names keep their end.
TEST(BoxPainting, TextPlacement)
{
    SCENE result("result");
    PAINT_RECORDER recorder;
    record_draw(&recorder, result.root);
    const QFontMetrics metrics(QPainter(&recorder).font(), &recorder);
    ASSERT_EQ(recorder.texts().size(), 1u);
    const int centre = recorder.texts()[0].baseline.x() + metrics.horizontalAdvance("Result") / 2;
    EXPECT_NEAR(centre, 350, 1);

    SCENE eld("eld[pattern=R]");
    recorder.clear();
    record_draw(&recorder, eld.root);
    ASSERT_EQ(recorder.texts().size(), 1u);
    EXPECT_EQ(recorder.texts()[0].baseline.y(), 118 + metrics.ascent());

    const QString long_name = QString("top|") + QString(60, 'w') + "_end";
    SCENE node(("node[name=" + long_name.toStdString() + "]").c_str());
    recorder.clear();
    record_draw(&recorder, node.root);
    ASSERT_EQ(recorder.texts().size(), 1u);
    EXPECT_TRUE(recorder.texts()[0].text.endsWith("w_end"));
    EXPECT_LE(metrics.horizontalAdvance(recorder.texts()[0].text), node.root->get_text_rect().width());
}

// Labels too wide for their boxes still tell apart two buses of one width; each fits its box.
TEST(BoxPainting, NarrowLabelsKeepWhatTellsBusesApart)
{
    std::vector<QString> drawn;
    for (const char* name : {"cpu|pc[1023..0]", "cpu|sp[1023..0]"}) {
        DIAGRAM d;
        VOKR_OBJECT* box = d.box(nullptr, {{"type", "Bus"}, {"bus_name", name}});
        place(box);
        PAINT_RECORDER recorder;
        record_draw(&recorder, box);
        ASSERT_FALSE(recorder.texts().empty()) << name;
        drawn.push_back(recorder.texts()[0].text);
        const QFontMetrics metrics(QPainter(&recorder).font(), &recorder);
        EXPECT_LE(metrics.horizontalAdvance(drawn.back()), box->get_text_rect().width()) << name;
    }
    EXPECT_NE(drawn[0], drawn[1]);
}

TEST(BoxPainting, WidthMarkers)
{
    const struct {
        const char* text;
        const char* width;  // null for no marker
        QPoint baseline;
        QLine stroke;
    } rows[] = {
        {"bitwise", "?", {407, 168}, {404, 144, 410, 156}},
        {"bitwise[expanded=1](bus*4,bus*4)", "4", {407, 168}, {404, 144, 410, 156}},
        {"bus*3", "3", {407, 128}, {404, 104, 410, 116}},
        {"eld[expanded=1](bus*4,bus*4)", "8", {294, 168}, {292, 144, 298, 156}},
        {"eld[expanded=1](bus*4)", nullptr, {}, {}},
        {"eld(bus*4,bus*4)", nullptr, {}, {}},
        {"logical", nullptr, {}, {}},
    };
    for (const auto& row : rows) {
        SCENE scene(row.text);
        PAINT_RECORDER recorder;
        record_draw(&recorder, scene.root);
        std::vector<TEXT> widths;
        for (const TEXT& t : recorder.texts())
            if (t.text == "?" || t.text.toInt() > 0)
                widths.push_back(t);
        if (!row.width) {
            EXPECT_TRUE(widths.empty() && recorder.lines().empty()) << row.text;
            continue;
        }
        ASSERT_EQ(widths.size(), 1u) << row.text;
        EXPECT_EQ(widths[0].text, row.width) << row.text;
        EXPECT_EQ(widths[0].baseline, row.baseline) << row.text;
        EXPECT_EQ(recorder.lines(), (std::vector<LINE>{{row.stroke, 2, BLACK}})) << row.text;
    }
}

// ---- lines ----------------------------------------------------------------------------------------

// Boxes at (300, 100); children at (150, 60), (150, 100), (150, 140).
TEST(BoxPainting, WiresStubsAndDots)
{
    const struct {
        const char* text;
        std::vector<int> path;  // the box whose lines are drawn
        std::vector<LINE> lines;
        std::vector<QRect> dots;
    } rows[] = {
        // Three children of an Or join at its middle port, marked by a dot where they turn.
        {"logical[logical=Logical Or;expanded=1]('a','b','c')",
         {},
         {{{400, 150, 407, 150}, 1, BLACK}},
         {{282, 147, 6, 6}}},
        {"logical[logical=Logical Or;expanded=1]('a','b','c')",
         {1},
         {{{250, 110, 285, 110}, 1, BLACK}, {{285, 110, 285, 150}, 1, BLACK}, {{285, 150, 304, 150}, 1, BLACK}},
         {}},
        // A lone operand of a comparison takes the port first_port_empty says; a stub marks the other.
        {"compare[expanded=1;first_port_empty=1](#3)",
         {},
         {{{304, 135, 293, 135}, 3, BLACK}, {{400, 150, 407, 150}, 1, BLACK}},
         {}},
        {"compare[expanded=1;first_port_empty=1](#3)",
         {0},
         {{{250, 70, 285, 70}, 3, BLACK}, {{285, 70, 285, 165}, 3, BLACK}, {{285, 165, 304, 165}, 3, BLACK}},
         {}},
        {"compare[expanded=1](#3)", {}, {{{304, 165, 293, 165}, 3, BLACK}, {{400, 150, 407, 150}, 1, BLACK}}, {}},
        {"compare[expanded=1](#3)",
         {0},
         {{{250, 70, 285, 70}, 3, BLACK}, {{285, 70, 285, 135}, 3, BLACK}, {{285, 135, 304, 135}, 3, BLACK}},
         {}},
        {"compare",
         {},
         {{{304, 135, 293, 135}, 3, BLACK}, {{304, 165, 293, 165}, 3, BLACK}, {{400, 150, 407, 150}, 1, BLACK}},
         {}},
        // The second of two children enters port 3.
        {"bitwise[expanded=1]('a','b')",
         {1},
         {{{250, 110, 285, 110}, 1, RED}, {{285, 110, 285, 165}, 1, RED}, {{285, 165, 304, 165}, 1, RED}},
         {}},
        // A wire the parent does not take is red; a collapsed box draws no stubs.
        {"logical[expanded=1](bus*2)",
         {0},
         {{{250, 70, 285, 70}, 3, RED}, {{285, 70, 285, 150}, 3, RED}, {{285, 150, 304, 150}, 3, RED}},
         {}},
        {"bus*2", {}, {{{400, 110, 413, 110}, 3, BLACK}}, {}},
        {"node", {}, {{{400, 110, 407, 110}, 1, BLACK}}, {}},
        {"result", {}, {{{304, 110, 293, 110}, 1, BLACK}}, {}},
        {"result[expanded=1]('a')", {}, {}, {}},
        // A detector without inputs: a bus stub and a bus-sized dot at its end.
        {"eld", {}, {{{304, 150, 293, 150}, 3, BLACK}, {{400, 150, 407, 150}, 1, BLACK}}, {{288, 145, 10, 10}}},
        // Under a collapsed ancestor nothing is drawn, not even the wire into it.
        {"logical('a')", {0}, {}, {}},
        {"logical[expanded=1](logical('a'))", {0, 0}, {}, {}},
    };
    for (const auto& row : rows) {
        SCENE scene(row.text);
        VOKR_OBJECT* box = scene.root;
        for (int i : row.path)
            box = box->get_children().at(i);
        PAINT_RECORDER recorder;
        record_connections(&recorder, box);
        EXPECT_EQ(recorder.lines(), row.lines) << row.text;
        std::vector<QRect> dots;
        for (const auto& e : recorder.ellipses()) {
            dots.push_back(e.rect);
            EXPECT_EQ(e.brush_color, BLACK) << row.text;
        }
        EXPECT_EQ(dots, row.dots) << row.text;
        if (row.lines.empty()) {  // hidden boxes paint no box either
            record_draw(&recorder, box);
            EXPECT_EQ(recorder.pixmaps().empty(), box->get_parent() != nullptr) << row.text;
        }
    }
}

TEST(BoxPainting, DraggedWireFollowsTheMouseUnderTheCrossCursor)
{
    VOKR_OBJECT_WIDGET canvas(nullptr, nullptr);
    const std::vector<LINE> stub = {{{400, 110, 407, 110}, 1, BLACK}};
    const std::vector<LINE> dragged = {{{400, 110, 520, 110}, 1, BLACK}, {{520, 110, 520, 40}, 1, BLACK}};
    const struct {
        Qt::CursorShape cursor;
        bool on_canvas, selected, dragging;
        std::vector<LINE> lines;
    } rows[] = {
        {Qt::CrossCursor, true, true, true, dragged}, {Qt::ArrowCursor, true, true, true, stub},
        {Qt::CrossCursor, true, false, true, stub},   {Qt::CrossCursor, true, true, false, stub},
        {Qt::CrossCursor, false, true, true, stub},
    };
    for (const auto& row : rows) {
        SCENE scene("node");
        canvas.setCursor(row.cursor);
        scene.root->set_context(row.on_canvas ? &canvas : nullptr);
        scene.root->get_property().set(VOKR_INT_SELECTED, row.selected ? 1 : 0, VOKR_BANK_CURRENT);
        scene.root->set_dragging(row.dragging);
        PAINT_RECORDER recorder;
        record_connections(&recorder, scene.root, QPoint(520, 40));
        EXPECT_EQ(recorder.lines(), row.lines) << row.cursor << row.on_canvas << row.selected << row.dragging;
    }
}

// ---- a whole diagram ---------------------------------------------------------------------------

// Result <- And(Equality(bus of 4 nodes, 12), delayed node, counter(node)), with a named,
// selected node, drawn as the canvas draws: boxes first, then every box's lines.
QImage render_diagram(bool collapsed)
{
    DIAGRAM d;
    VOKR_OBJECT* result = d.make(
        "result[expanded=1](logical[expanded=1](compare[expanded=1;name=opcode](bus*4[expanded=1;"
        "bus_name=cpu|core|opcode],#12),node[name=cpu|irq_req;data_delay=2;selected=1],counter[expanded=1;"
        "counter_value=5](node[name=cpu|wr_en])))");
    VOKR_OBJECT* logical = result->get_children()[0];
    VOKR_OBJECT* compare = logical->get_children()[0];
    VOKR_OBJECT* bus = compare->get_children()[0];
    const int bus_tops[] = {20, 45, 70, 95};
    for (int i = 0; i < 4; ++i)
        bus->get_children()[i]->set_position(40, bus_tops[i]);
    bus->set_position(200, 47);
    compare->get_children()[1]->set_position(200, 110);
    compare->set_position(360, 30);
    logical->get_children()[1]->set_position(360, 160);
    VOKR_OBJECT* counter = logical->get_children()[2];
    counter->set_position(360, 220);
    counter->get_children()[0]->set_position(200, 260);
    logical->set_position(520, 120);
    result->set_position(680, 160);
    if (collapsed)
        compare->get_property().set(VOKR_INT_EXPANDED, 0, VOKR_BANK_CURRENT);

    QImage image(840, 340, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    painter.setFont(font);
    for (VOKR_OBJECT* box : *d.trigger.get_object_array())
        box->draw(&painter, true, false);
    for (VOKR_OBJECT* box : *d.trigger.get_object_array())
        box->draw_connections(&painter, QPoint());
    return image;
}

TEST(BoxPainting, RepresentativeDiagramRendersToPng)
{
    QDir().mkpath(VOKR_ARTIFACT_DIR);
    for (bool collapsed : {false, true}) {
        const QImage image = render_diagram(collapsed);
        const QString path = QString(VOKR_ARTIFACT_DIR) +
                             (collapsed ? "/advanced_trigger_diagram_collapsed.png" : "/advanced_trigger_diagram.png");
        ASSERT_TRUE(image.save(path)) << path.toStdString();
        std::cout << "diagram image: " << path.toStdString() << std::endl;
        // The bus members are painted only while their comparison is expanded.
        EXPECT_EQ(image.pixel(90, 30) == qRgb(255, 255, 255), collapsed);
        EXPECT_NE(image.pixel(730, 170), qRgb(255, 255, 255));
    }
}

}  // namespace
