// Boxes of an advanced-trigger diagram on the editor's canvas: their sizes and texts, contours,
// selection, hit tests and hiding, the two automatic layouts, reordering, copying with adapters
// between mismatched signals, and renaming in place.
#include "diagram_builder.h"
#include "vokr_object_widget.h"
#include "vokr_rename_edit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace diagram;

// The child at `path` below `box` (one index per level).
VOKR_OBJECT* at(VOKR_OBJECT* box, const std::vector<int>& path)
{
    for (int index : path)
        box = box->get_children().at(index);
    return box;
}

std::vector<int> tops_of_children(const VOKR_OBJECT* box)
{
    std::vector<int> tops;
    for (const VOKR_OBJECT* child : box->get_children())
        tops.push_back(child->get_top());
    return tops;
}

QString string_property(const VOKR_OBJECT* box, int id)
{
    return box->get_property().get_string_value(id, VOKR_BANK_CURRENT).text;
}

// Each test leaves the module-wide interaction mode as it found it.
class ObjectLayout : public ::testing::Test {
protected:
    void TearDown() override { VOKR_OBJECT_WIDGET::set_interaction_mode(VOKR_INTERACTION_IDLE); }
    DIAGRAM d;
    VOKR_OBJECT_WIDGET canvas{nullptr, nullptr};
};

TEST_F(ObjectLayout, SizesAndTextsFollowTheKindAndDelay)
{
    const struct {
        const char* box;
        int height;
        int expand_dy;  // -1: no expand box
        const char* summary;
        const char* elided;
    } rows[] = {
        {"node[name=top|sub|sig;data_delay=2]", 33, -1, "sig@2", "...sig"},
        {"bus*2[bus_name=top|b;data_delay=2]", 33, 12, "b@2", "...b"},
        {"bus*2[bus_name=b]", 20, 6, "b", "b"},
        {"bus*2", 20, 6, "Bus", ""},
        {"result", 20, -1, "Result", ""},
        {"#12", 20, -1, "12", ""},
        {"node[alias=go;name=x]", 20, -1, "go", "x"},
        {"compare[pipeline_length=3]('a',#1)", 100, 6, "=#3", ""},
        {"logical[alias=go]('a')", 100, 6, "go", ""},
        {"logical[alias=go;expanded=1]('a')", 100, 6, "&&", ""},
    };
    for (const auto& row : rows) {
        VOKR_OBJECT* box = d.make(row.box);
        box->set_position(40, 10);
        EXPECT_EQ(box->get_height(), row.height) << row.box;
        EXPECT_EQ(box->get_rect(), QRect(QPoint(40, 10), QPoint(140, 10 + row.height))) << row.box;
        const QRect expand = box->get_expand_rect();
        if (row.expand_dy < 0)
            EXPECT_TRUE(expand.isEmpty()) << row.box;
        else
            EXPECT_EQ(expand, QRect(45, 10 + row.expand_dy, 10, 10)) << row.box;
        EXPECT_EQ(box->get_summary_text(), row.summary) << row.box;
        EXPECT_EQ(box->get_display_name(true), row.elided) << row.box;
    }
}

TEST_F(ObjectLayout, ContourFollowsExpandedBoxesOnly)
{
    const struct {
        const char* tree;
        std::vector<int32_t> tops, bottoms;
    } rows[] = {
        {"logical[top=100](node[top=40],node[top=200])", {100}, {200}},
        {"logical[top=100;expanded=1](node[top=40],node[top=200])", {100, 40}, {200, 220}},
        {"logical[top=0;expanded=1](node[top=50],bus[top=10;expanded=1](node[top=300]))", {0, 10, 300}, {100, 70, 320}},
        {"logical[top=0;expanded=1](bus[top=10;expanded=1](node[top=300]),node[top=50])", {0, 10, 300}, {100, 70, 320}},
    };
    for (const auto& row : rows) {
        VOKR_CONTOUR contour;
        d.make(row.tree)->get_contour(&contour);
        EXPECT_EQ(contour.m_top_array, row.tops) << row.tree;
        EXPECT_EQ(contour.m_bottom_array, row.bottoms) << row.tree;
    }
}

// As a rubber band drives it: Control toggles against the selection the band started from,
// Shift only adds.
TEST_F(ObjectLayout, SelectionByBand)
{
    const struct {
        bool saved, before, value, add_only, toggle, after;
    } rows[] = {
        {true, true, true, false, true, false},    // Control over a box selected at the start
        {true, false, false, false, true, true},   // the band moves off it again
        {false, true, false, false, true, false},  // and off one that was not selected
        {false, true, false, true, false, true},   // Shift never deselects
        {false, false, true, true, false, true},  {false, true, false, false, false, false},  // plain band
        {false, false, true, false, false, true},
    };
    VOKR_OBJECT* box = d.make("node");
    for (const auto& row : rows) {
        box->set_saved_selection(row.saved);
        box->get_property().set(VOKR_INT_SELECTED, row.before, VOKR_BANK_CURRENT);
        box->select(row.value, row.add_only, row.toggle);
        EXPECT_EQ(box->is_selected(), row.after) << row.saved << row.before << row.value << row.add_only << row.toggle;
    }

    VOKR_OBJECT* tree = d.make("logical(logical(node),node)");
    EXPECT_FALSE(tree->has_selected_expanded_child());
    tree->select_all();
    EXPECT_FALSE(tree->is_selected());
    EXPECT_TRUE(at(tree, {0, 0})->is_selected());
    EXPECT_TRUE(at(tree, {1})->is_selected());
    EXPECT_FALSE(tree->has_selected_expanded_child());  // the selected operator is collapsed
    at(tree, {0})->expand(true);
    EXPECT_TRUE(tree->has_selected_expanded_child());
}

TEST_F(ObjectLayout, PromotedChildrenEndReversedAndBoxListsAreSearched)
{
    VOKR_OBJECT* top = d.make("logical(node[name=x],logical(node[name=a],node[name=b],node[name=c]))");
    VOKR_OBJECT* box = at(top, {1});
    box->promote_children();
    QStringList names;
    for (VOKR_OBJECT* child : top->get_children()) {
        names << string_property(child, VOKR_STRING_NAME);
        EXPECT_EQ(child->get_parent(), top);
    }
    EXPECT_EQ(names, QStringList({"x", "", "c", "b", "a"}));
    EXPECT_TRUE(box->get_children().isEmpty());
    top->promote_children();  // a top box keeps its children
    EXPECT_EQ(top->get_children().size(), 5);

    QList<VOKR_OBJECT*> empty;
    d.make("result");
    const QList<VOKR_OBJECT*>* boxes = d.trigger.get_object_array();
    EXPECT_EQ(vokr_find_child_of_type(boxes, VOKR_TYPE_RESULT), boxes->size() - 1);
    EXPECT_EQ(vokr_find_child_of_type(boxes, VOKR_TYPE_COUNTER), -1);
    EXPECT_EQ(vokr_find_child_of_type(&empty, VOKR_TYPE_RESULT), -1);
    EXPECT_EQ(vokr_find_child_of_type(nullptr, VOKR_TYPE_RESULT), -1);

    // A node centred at 40 comes before a tall box centred at 50, though it starts lower.
    EXPECT_TRUE(VOKR_OBJECT::less_by_vertical_centre(d.make("node[top=30]"), d.make("logical[top=0]")));
    EXPECT_FALSE(VOKR_OBJECT::less_by_vertical_centre(d.make("node[top=40]"), d.make("logical[top=0]")));
}

// Children named by letter, selected ones in capitals.
TEST_F(ObjectLayout, SelectedChildrenMoveOnePlace)
{
    const struct {
        const char* before;
        bool earlier;
        const char* after;
    } rows[] = {{"aBC", true, "BCa"},  {"ABc", true, "ABc"},  {"aBc", true, "Bac"}, {"ABc", false, "cAB"},
                {"aBc", false, "acB"}, {"abC", false, "abC"}, {"AbC", true, "ACb"}, {"AbC", false, "bAC"}};
    for (const auto& row : rows) {
        VOKR_OBJECT* box = d.make("logical");
        for (const char* c = row.before; *c; ++c) {
            VOKR_OBJECT* child = d.box(box, {{"type", "Node"}, {"name", std::string(1, *c).c_str()}});
            child->select(QChar(*c).isUpper(), false, false);
        }
        row.earlier ? box->make_selected_earlier() : box->make_selected_later();
        QString order;
        for (VOKR_OBJECT* child : box->get_children())
            order += string_property(child, VOKR_STRING_NAME);
        EXPECT_EQ(order, row.after) << row.before << (row.earlier ? " earlier" : " later");
    }
}

// Points relative to the box's top-left corner at (200, 100).
TEST_F(ObjectLayout, HitTestCoversBoxOutputAndInputPorts)
{
    const struct {
        const char* box;
        int x, y;
        bool hit;
    } rows[] = {
        {"compare[expanded=1](node,node)", 0, 0, true},
        {"compare[expanded=1](node,node)", 100, 100, true},
        {"compare[expanded=1](node,node)", 101, 50, true},  // output port
        {"compare[expanded=1](node,node)", 107, 55, true},  // a top box's stub ends at 107
        {"compare[expanded=1](node,node)", 108, 50, false},
        {"compare[expanded=1](node,node)", 101, 56, false},
        {"compare[expanded=1](node,node)", -20, 35, true},  // first port, 20 wide with children
        {"compare[expanded=1](node,node)", -21, 35, false},
        {"compare[expanded=1](node,node)", -1, 70, true},  // second port, 5 below
        {"compare[expanded=1](node,node)", -1, 71, false},
        {"compare[expanded=1](node,node)", -1, 50, false},  // between the ports
        {"compare(node,node)", -1, 35, false},              // collapsed: no port areas
        {"compare", -11, 30, true},                         // 11 wide without children
        {"compare", -12, 30, false},
        {"logical", -11, 50, true},  // any number of inputs: the middle port
        {"logical", -11, 35, false},
        {"bus*2[expanded=1]", -20, 10, true},
        {"value", -1, 10, false},  // no inputs
        {"value", 110, 10, true},  // a bus output reaches 9 further
    };
    for (const auto& row : rows) {
        VOKR_OBJECT* box = d.make(row.box);
        box->set_position(200, 100);
        EXPECT_EQ(box->hit_test(QPoint(200 + row.x, 100 + row.y)), row.hit) << row.box << " " << row.x << "," << row.y;
    }
    VOKR_OBJECT* hidden = at(d.make("logical(node)"), {0});
    hidden->set_position(200, 100);
    EXPECT_FALSE(hidden->hit_test(QPoint(210, 110)));
}

// A chain top - mid - leaf; dragging flags written top, mid, leaf.
TEST_F(ObjectLayout, CollapsedAncestorsHideUnlessTheDragSeparates)
{
    const struct {
        int mode;
        bool top_expanded, mid_expanded;
        const char* dragging;
        bool hidden;
    } rows[] = {
        {VOKR_INTERACTION_IDLE, true, true, "---", false},
        {VOKR_INTERACTION_IDLE, false, true, "---", true},
        {VOKR_INTERACTION_IDLE, false, true, "-D-", false},     // a dragged ancestor ends the walk
        {VOKR_INTERACTION_IDLE, true, false, "--D", false},     // a dragged box is never hidden
        {VOKR_INTERACTION_DRAGGING, true, false, "-DD", true},  // moves with its collapsed parent
        {VOKR_INTERACTION_IDLE, true, false, "-DD", false},
        {VOKR_INTERACTION_DRAGGING, false, true, "-DD", false},  // the top stays behind
        {VOKR_INTERACTION_DRAG_STARTING, false, true, "---", true},
        {VOKR_INTERACTION_DRAG_STARTING, false, true, "D--", false},
        {VOKR_INTERACTION_DRAG_STARTING, true, true, "---", false},
    };
    for (const auto& row : rows) {
        VOKR_OBJECT* top = d.make("logical(logical(node))");
        VOKR_OBJECT* chain[] = {top, at(top, {0}), at(top, {0, 0})};
        top->expand(row.top_expanded);
        chain[1]->expand(row.mid_expanded);
        for (int i = 0; i < 3; ++i)
            chain[i]->set_dragging(row.dragging[i] == 'D');
        VOKR_OBJECT_WIDGET::set_interaction_mode(row.mode);
        EXPECT_EQ(chain[2]->is_hidden(), row.hidden)
            << row.mode << row.top_expanded << row.mid_expanded << row.dragging;
    }
}

TEST_F(ObjectLayout, ArrangeCentresChildrenOnTheirPort)
{
    const struct {
        const char* tree;
        std::vector<int> tops;  // the box is at (1000, 500)
    } rows[] = {
        {"compare[expanded=1;first_port_empty=1](node)", {555}},  // on the second port, 565
        {"compare[expanded=1](node)", {525}},                     // on the first port, 535
        {"compare[expanded=1](node,node)", {525, 555}},
        {"logical[expanded=1](node,node,node)", {510, 540, 570}},
        {"logical(node,node)", {0, 0}},  // collapsed: left alone
        {"bus[expanded=1;data_delay=2](node)", {506}},
    };
    for (const auto& row : rows) {
        VOKR_OBJECT* box = d.make(row.tree);
        box->set_position(1000, 500);
        box->arrange();
        EXPECT_EQ(tops_of_children(box), row.tops) << row.tree;
        const int left = box->is_expanded() ? 870 : 0;
        for (VOKR_OBJECT* child : box->get_children())
            EXPECT_EQ(child->get_left(), left) << row.tree;
    }
}

// The second child's inputs reach 25 units above the bottom of the first one's: it and the
// third move down 35, then all three move up 17.
TEST_F(ObjectLayout, ArrangePushesOverlappingSubTreesApart)
{
    VOKR_OBJECT* box = d.make(
        "logical[expanded=1](logical[expanded=1](logical),"
        "logical[expanded=1](node,node,node,node,node,node),node)");
    box->set_position(1000, 500);
    box->arrange();
    EXPECT_EQ(tops_of_children(box), std::vector<int>({413, 558, 668}));
    EXPECT_EQ(at(box, {0, 0})->get_top(), 413);
    EXPECT_EQ(at(box, {1, 0})->get_top(), 523);
    EXPECT_EQ(at(box, {1, 5})->get_top(), 673);
    EXPECT_EQ(at(box, {1, 5})->get_left(), 740);
}

TEST_F(ObjectLayout, ArrangeFromLeavesStacksThemInOneColumn)
{
    VOKR_OBJECT* result = d.make("result(logical(node,node),node)");
    int y = 0;
    result->arrange_children(y);
    EXPECT_EQ(y, 90);
    const struct {
        std::vector<int> path;
        QPoint top_left;
    } rows[] = {
        {{0, 0}, {0, 0}}, {{0, 1}, {0, 30}}, {{1}, {0, 60}}, {{0}, {130, -25}}, {{}, {260, -3}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(at(result, row.path)->get_top_left(), row.top_left) << row.path.size();
}

TEST_F(ObjectLayout, SubTreesMoveAndDragTogether)
{
    VOKR_OBJECT* top = d.make("logical(logical[left=10;top=20](node[left=30;top=40]),node[left=50;top=60])");
    VOKR_OBJECT* mid = at(top, {0});
    mid->move(QPoint(5, -5));
    EXPECT_EQ(mid->get_top_left(), QPoint(15, 15));
    EXPECT_EQ(at(mid, {0})->get_top_left(), QPoint(35, 35));
    top->move_subtree_down(7);
    top->move_subtree_up(2);
    EXPECT_EQ(top->get_top(), 5);
    EXPECT_EQ(at(mid, {0})->get_top(), 40);
    top->push_siblings_down(mid, 10);
    EXPECT_EQ(tops_of_children(top), std::vector<int>({30, 75}));
    top->push_siblings_down(at(top, {1}), 10);
    EXPECT_EQ(tops_of_children(top), std::vector<int>({30, 85}));

    mid->start_drag(QPoint(20, 40));
    EXPECT_EQ(mid->get_drag_offset_x(), 5);
    EXPECT_EQ(mid->get_drag_offset_y(), 10);
    EXPECT_TRUE(mid->is_dragging() && at(mid, {0})->is_dragging());
    EXPECT_FALSE(top->is_dragging() || at(top, {1})->is_dragging());

    at(mid, {0})->ensure_visible();
    EXPECT_TRUE(top->is_expanded() && mid->is_expanded());
}

TEST_F(ObjectLayout, TooltipFollowsTheCanvasCursor)
{
    const struct {
        Qt::CursorShape cursor;
        const char* box;
        const char* tooltip;
    } rows[] = {
        {Qt::CrossCursor, "node[name=a]", "drag and drop onto another object to connect"},
        {Qt::ArrowCursor, "logical[expanded=1]", "click to collapse"},
        {Qt::ArrowCursor, "logical", "click to expand"},
        {Qt::SizeAllCursor, "node[name=top|a;data_delay=2]", "Node, top|a, data delay 2"},
        {Qt::SizeAllCursor, "bus*2[bus_name=b]", "Bus, b"},
        {Qt::SizeAllCursor, "#12", "Constant Bus Value, 12"},
        {Qt::SizeAllCursor, "eld[pattern=RX;pipeline_length=2]", "Edge and Level Detector, RX, pipeline 2"},
        {Qt::SizeAllCursor, "shift[shift_distance=3](bus*8)", "Logical Left Shift, 3"},
        {Qt::SizeAllCursor, "compare[name=c]", "Variable Unsigned Equality, c"},
    };
    for (const auto& row : rows) {
        canvas.setCursor(row.cursor);
        EXPECT_EQ(d.make(row.box)->get_tooltip(&canvas), row.tooltip) << row.box;
    }
    EXPECT_EQ(d.make("node[name=a]")->get_tooltip(nullptr), "Node, a");
}

TEST_F(ObjectLayout, RenameEditsTheAliasOverTheLabel)
{
    canvas.set_zoom(20);
    VOKR_OBJECT* box = d.make("node[alias=old;left=100;top=40]");
    VOKR_RENAME_EDIT* edit = box->start_rename(&canvas);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(box->start_rename(&canvas), edit);  // one editor at a time
    EXPECT_EQ(edit->text(), "old");
    EXPECT_EQ(edit->parentWidget(), &canvas);
    // Label (103, 43)-(191, 57) at half scale, moved 2 up and left.
    EXPECT_EQ(edit->geometry(), QRect(QPoint(49, 19), QPoint(93, 26)));
    edit->setText("new");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(string_property(box, VOKR_STRING_ALIAS), "new");
    EXPECT_EQ(box->get_rename_edit(), nullptr);
    EXPECT_FALSE(box->end_rename());
    // Losing the focus keeps the old alias and closes the editor.
    edit = box->start_rename(&canvas);
    edit->setText("other");
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(edit, &out);
    EXPECT_EQ(string_property(box, VOKR_STRING_ALIAS), "new");
    EXPECT_EQ(box->get_rename_edit(), nullptr);

    // An editor destroyed under the box, and a box destroyed under its editor.
    delete box->start_rename(&canvas);
    EXPECT_EQ(box->get_rename_edit(), nullptr);
    EXPECT_FALSE(box->end_rename());
    auto* lone = new VOKR_OBJECT(&canvas, QPoint(0, 0), nullptr);
    VOKR_RENAME_EDIT* orphan = lone->start_rename(&canvas);
    delete lone;
    EXPECT_EQ(orphan->get_box(), nullptr);
    emit orphan->editingFinished();
}

// Copies wired into a parent whose inputs carry another kind of signal get an adapter: a
// Reduction Or for a bus into bits, one shared Bus for bits into a comparison.
TEST_F(ObjectLayout, CloneWiresCopiesThroughAdapters)
{
    const struct {
        const char* parent;
        std::vector<const char*> sources;
        int copies;        // boxes made by the copy
        int adapter_type;  // of the parent's only child; 0: the copies are its children
        int adapter_children;
    } rows[] = {
        {"logical", {"bus*2"}, 3, VOKR_TYPE_REDUCTION, 1},
        {"compare", {"node[top=0]", "node[top=30]"}, 2, VOKR_TYPE_BUS, 2},
        {"logical", {"node", "logical(node)"}, 3, 0, 0},
        {"compare", {"bus*2", "#3"}, 4, 0, 0},
    };
    for (const auto& row : rows) {
        DIAGRAM sources;
        QList<VOKR_OBJECT*> source;
        for (const char* text : row.sources)
            source << sources.make(text);
        VOKR_OBJECT* parent = d.make(row.parent);
        parent->set_context(&canvas);
        const int before = d.trigger.get_object_array()->size();
        QList<VOKR_OBJECT*> copies;
        VOKR_OBJECT::clone(&canvas, &copies, source, parent);
        d.trigger.get_object_array()->append(copies);  // as the canvas takes them over

        EXPECT_EQ(copies.size(), row.copies) << row.parent;
        for (VOKR_OBJECT* copy : copies)
            EXPECT_TRUE(copy->get_context() == &canvas && !copy->get_trigger()) << row.parent;
        EXPECT_TRUE(parent->is_expanded());
        if (!row.adapter_type) {
            EXPECT_EQ(parent->get_children().size(), int(row.sources.size())) << row.parent;
            continue;
        }
        ASSERT_EQ(parent->get_children().size(), 1) << row.parent;
        VOKR_OBJECT* adapter = parent->get_children().first();
        EXPECT_EQ(adapter->get_type(), row.adapter_type) << row.parent;
        EXPECT_EQ(adapter->get_draw_kind() == VOKR_KIND_REDUCTION + 1, row.adapter_type == VOKR_TYPE_REDUCTION);
        EXPECT_TRUE(adapter->is_expanded());
        EXPECT_EQ(adapter->get_trigger(), &d.trigger);
        EXPECT_EQ(d.trigger.get_object_array()->indexOf(adapter), before) << row.parent;
        EXPECT_EQ(adapter->get_children().size(), row.adapter_children) << row.parent;
        EXPECT_EQ(adapter->get_children().first(), copies.first()) << row.parent;
        EXPECT_EQ(adapter->get_children().first()->get_left(), adapter->get_left() - 130);
        // The adapter sits at the copy's height, above the parent's middle: on the first port.
        EXPECT_EQ(parent->get_property()[VOKR_INT_FIRST_PORT_EMPTY], 0) << row.parent;
    }

    // A parent outside any trigger has nothing to own an adapter: the copy is wired as it is.
    VOKR_OBJECT loose(&canvas, QPoint(0, 0), nullptr);
    loose.set_type(VOKR_TYPE_LOGICAL);
    QList<VOKR_OBJECT*> copies;
    VOKR_OBJECT::clone(&canvas, &copies, {d.make("bus*2")}, &loose);
    EXPECT_EQ(loose.get_children(), QList<VOKR_OBJECT*>({copies.first()}));
    qDeleteAll(copies);
}

TEST_F(ObjectLayout, CopiesKeepPropertiesOrderAndRoutedNodeTexts)
{
    VOKR_OBJECT* source = d.make(
        "logical[alias=g;expanded=1](cirn[pattern=P;powerup_pattern=Q;node_list={a}],node[name=b;data_delay=2])");
    QList<VOKR_OBJECT*> copies;
    VOKR_OBJECT::clone(nullptr, &copies, {source, at(source, {0})}, nullptr);
    d.trigger.get_object_array()->append(copies);
    ASSERT_EQ(copies.size(), 3);  // a child in the list is copied with its top box only
    EXPECT_EQ(string_property(copies[0], VOKR_STRING_ALIAS), "g");
    EXPECT_EQ(copies[0]->get_children(), copies.mid(1));
    EXPECT_EQ(copies[1]->get_pattern(), "P");
    EXPECT_EQ(copies[1]->get_power_up_pattern(), "Q");
    EXPECT_EQ(copies[1]->get_node_list(), "{a}");
    EXPECT_EQ(copies[2]->get_summary_text(), "b@2");
    EXPECT_EQ(copies[2]->get_parent(), copies[0]);
}

}  // namespace
