// The advanced trigger canvas driven by real events on a wizard editor's level 0: painting and
// the text form, mouse gestures, keys, wheel and zoom, the editing commands and their undo, the
// operator palette, and a whole editing session saved, reopened and rendered to a PNG.
#include "manager_test_support.h"

#include "diagram_builder.h"
#include "vokr_object_widget.h"
#include "vokr_operator_widget.h"
#include "vokr_trigger_object.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>

#include <climits>
#include <functional>
#include <iostream>

using namespace manager_test;

namespace {

// The properties dialog played by the test: it edits the selected boxes and answers OK or Cancel.
class CANVAS : public VOKR_OBJECT_WIDGET {
public:
    using VOKR_OBJECT_WIDGET::VOKR_OBJECT_WIDGET;
    std::function<bool()> dialog = [] { return true; };

protected:
    bool exec_properties_dialog(int, bool) override { return dialog(); }
    void exec_drag() override {}
};

class Canvas : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        editor.trigger()->set_level_type(0, KSM_LTYPE_ADVANCED);
        canvas.resize(900, 500);
        canvas.show();
        QApplication::setActiveWindow(&canvas);
        canvas.setFocus();
        canvas.on_update(nullptr, VOKR_HINT_ADVANCED);
    }
    QList<VOKR_OBJECT*>& boxes() { return *canvas.get_objects(); }
    VOKR_OBJECT* result() { return boxes().at(vokr_find_child_of_type(&boxes(), VOKR_TYPE_RESULT)); }
    // A tree in the level, wired under the result box, laid out.
    VOKR_OBJECT* draw(const std::string& tree)
    {
        VOKR_OBJECT* top = diagram::DIAGRAM(editor->shown_advanced_root()).make(tree);
        canvas.on_update(nullptr, VOKR_HINT_ADVANCED);
        return top;
    }
    int snapshots() { return editor->get_undo_list()->size(); }
    bool modified() { return editor.trigger()->is_advanced_modified(0); }
    void move(QPoint to, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QMouseEvent event(QEvent::MouseMove, to, Qt::NoButton, buttons, modifiers);
        QApplication::sendEvent(&canvas, &event);
    }
    // Press at `from` with the cursor a hover there shows, drag through `to`, release.
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        move(from, Qt::NoButton, modifiers);
        QTest::mousePress(&canvas, Qt::LeftButton, modifiers, from);
        move((from + to) / 2, Qt::LeftButton, modifiers);
        move(to, Qt::LeftButton, modifiers);
        QTest::mouseRelease(&canvas, Qt::LeftButton, modifiers, to);
    }
    void wheel(int delta, Qt::KeyboardModifiers modifiers)
    {
        QWheelEvent event(QPointF(400, 300), QPointF(canvas.mapToGlobal(QPoint(400, 300))), QPoint(), QPoint(0, delta),
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&canvas, &event);
    }
    QScrollBar* bar(Qt::Orientation o)
    {
        for (QScrollBar* b : canvas.findChildren<QScrollBar*>())
            if (b->orientation() == o)
                return b;
        return nullptr;
    }
    static QString text(VOKR_OBJECT* box, bool pass)
    {
        QString t;
        box->get_element_display_text(&t, pass, 0);
        return t;
    }

    EDITOR editor{false};
    CANVAS canvas{editor.get()};
};

QPoint centre(const VOKR_OBJECT* box) { return box->get_rect().center(); }

bool has_cycle(const QList<VOKR_OBJECT*>& boxes)
{
    for (const VOKR_OBJECT* box : boxes) {
        int depth = 0;
        for (const VOKR_OBJECT* up = box->get_parent(); up; up = up->get_parent())
            if (++depth > boxes.size())
                return true;
    }
    return false;
}

// ---- painting -----------------------------------------------------------------------------------------

TEST_F(Canvas, PaintsTitleLabelBackgroundAndTextForm)
{
    EXPECT_EQ(VOKR_OBJECT_WIDGET::title_text(0), "   Advanced Trigger Condition Editor: Condition 1");
    EXPECT_EQ(VOKR_OBJECT_WIDGET::title_text(-3),
              "   Advanced Trigger Condition Editor: Conditional Storage Qualifier");
    EXPECT_EQ(canvas.result_label(), "Result: ");
    EXPECT_EQ(canvas.grab().toImage().pixel(450, 400), pirq_get_color(298).rgb());
    result()->set_name("lvl");
    EXPECT_EQ(canvas.result_label(), "lvl: ");

    VOKR_OBJECT* top =
        draw("bitwise[expanded=1;bitwise=Bitwise And](bitwise[expanded=1;bitwise=Bitwise Or]('a','b'),'c')");
    top->get_children()[0]->get_children()[1]->select(true, false, false);
    EXPECT_EQ(text(top, false), "(a |  ) & c");
    EXPECT_EQ(text(top, true), "     b     ");
    VOKR_OBJECT* bus = draw("bus[expanded=1;bit_order=LSB to MSB]('x','y','z')");
    EXPECT_EQ(text(bus, false), "{z,y,x}");
}

// Fitting ends even where nothing but the ellipsis fits, and a shift elides the head.
TEST_F(Canvas, ExpressionFittingAlwaysEnds)
{
    const QFontMetrics metrics(QFont(QStringLiteral("Courier"), 12));
    const int w = metrics.horizontalAdvance('x');
    EXPECT_EQ(VOKR_OBJECT_WIDGET::fit_expression("abcdef", metrics, 100 * w, 0), "abcdef");
    EXPECT_EQ(VOKR_OBJECT_WIDGET::fit_expression("abcdef", metrics, metrics.horizontalAdvance("ab..."), 0), "ab...");
    EXPECT_EQ(VOKR_OBJECT_WIDGET::fit_expression("abcdef", metrics, -50, 0), "...");
    EXPECT_EQ(VOKR_OBJECT_WIDGET::fit_expression("abcdefgh", metrics, 100 * w, metrics.horizontalAdvance("  ")),
              "  ...fgh");
}

// A blamed box inside a collapsed tree is uncovered after the paint, not inside it, once.
TEST_F(Canvas, PaintNeverEditsTheDiagram)
{
    VOKR_OBJECT* top = draw("logical[expanded=0](logical[expanded=1],'a')");
    result()->attach(top, true);
    VOKR_OBJECT* blamed = top->get_children()[0];
    const int before = snapshots();
    canvas.grab();
    EXPECT_EQ(canvas.get_error_object(), blamed);
    EXPECT_EQ(canvas.get_error_code(), VOKR_ELEMENT_TOO_FEW_INPUTS);
    EXPECT_TRUE(blamed->is_hidden());
    EXPECT_EQ(snapshots(), before);
    QCoreApplication::processEvents();
    EXPECT_FALSE(blamed->is_hidden());
    EXPECT_EQ(snapshots(), before + 1);
    EXPECT_FALSE(modified());
    canvas.grab();
    QCoreApplication::processEvents();
    EXPECT_EQ(snapshots(), before + 1);
}

// ---- gestures -----------------------------------------------------------------------------------------

TEST_F(Canvas, ClicksAndRubberBandsSelect)
{
    VOKR_OBJECT* a = draw("node[name=a]");
    VOKR_OBJECT* b = draw("node[name=b]");
    a->set_position(100, 100);
    b->set_position(100, 200);
    result()->set_position(600, 400);
    for (Qt::KeyboardModifiers m : {Qt::NoModifier, Qt::ShiftModifier}) {
        a->select(true, false, false);
        QTest::mouseClick(&canvas, Qt::LeftButton, m, QPoint(500, 300));
        EXPECT_FALSE(a->is_selected()) << m;
    }
    a->select(true, false, false);
    drag(QPoint(50, 90), QPoint(300, 250), Qt::ControlModifier);  // covers both: each flips
    EXPECT_FALSE(a->is_selected());
    EXPECT_TRUE(b->is_selected());
}

// An input dragged along its parent's ports stays wired; 61 units away from the parent it is not.
TEST_F(Canvas, MovedInputsStayNearTheirPortsOrDetach)
{
    const struct {
        QPoint by;
        bool attached;
    } rows[] = {{{0, 30}, true}, {{-20, 0}, true}, {{-61 + 30, 0}, false}, {{0, 200}, false}};
    for (const auto& row : rows) {
        VOKR_OBJECT* top = draw("logical[expanded=1]('a','b')");
        top->set_position(300, 100);
        top->arrange();
        VOKR_OBJECT* input = top->get_children()[0];
        const QPoint grip = input->get_top_left() + QPoint(50, 10);
        drag(grip, grip + row.by);
        EXPECT_EQ(input->get_parent() == top, row.attached) << row.by.x() << "," << row.by.y();
        for (int i = boxes().size() - 1; i >= 0; --i)
            if (boxes()[i]->get_type() != VOKR_TYPE_RESULT)
                delete boxes().takeAt(i);
    }
}

// An input moved along ports of another width reaches them through a new adapter box, which
// takes the next default name of its type.
TEST_F(Canvas, AdaptersOfMovedInputsAreNamed)
{
    const struct {
        const char* tree;
        const char* adapter;
    } rows[] = {{"logical[expanded=1]('a',bus*2)", "reduction_0"}, {"compare[expanded=1]('a','b')", "bus_0"}};
    for (const auto& row : rows) {
        VOKR_OBJECT* top = draw(row.tree);
        top->set_position(300, 100);
        top->arrange();
        VOKR_OBJECT* input = top->get_children().last();
        const QPoint grip = input->get_top_left() + QPoint(50, 10);
        drag(grip, grip + QPoint(0, 30));
        ASSERT_TRUE(input->get_parent() && input->get_parent() != top) << row.tree;
        QString name;
        input->get_parent()->get_string_property_text(VOKR_STRING_NAME, &name, VOKR_BANK_CURRENT);
        EXPECT_EQ(name, QString(row.adapter)) << row.tree;
        for (int i = boxes().size() - 1; i >= 0; --i)
            if (boxes()[i]->get_type() != VOKR_TYPE_RESULT)
                delete boxes().takeAt(i);
    }
}

// Dragging an input of a root to the root's right never wires the root into its own input.
TEST_F(Canvas, NoBoxBecomesAnInputOfItsDescendant)
{
    VOKR_OBJECT* r = draw("logical[expanded=1](logical[logical=Logical Or])");
    VOKR_OBJECT* j = r->get_children()[0];
    r->set_position(300, 100);  // not laid out: j stays where it was stored
    j->set_position(170, 100);
    const QPoint grip = centre(j);
    move(grip, Qt::NoButton);
    QTest::mousePress(&canvas, Qt::LeftButton, Qt::NoModifier, grip);
    move(grip + QPoint(240, 0), Qt::LeftButton);
    EXPECT_FALSE(has_cycle(boxes()));
    move(grip + QPoint(241, 0), Qt::LeftButton);
    QTest::mouseRelease(&canvas, Qt::LeftButton, Qt::NoModifier, grip + QPoint(241, 0));
    EXPECT_FALSE(has_cycle(boxes()));
    EXPECT_EQ(r->get_parent(), j);
    EXPECT_EQ(j->get_parent(), nullptr);
}

// ---- zoom and keys ------------------------------------------------------------------------------------

TEST_F(Canvas, ZoomKeepsScrollShareAndBarsAtZero)
{
    draw("logical[expanded=1]('a','b','c','d')")->set_position(1500, 900);
    canvas.resize(900, 500);
    QScrollBar* h = bar(Qt::Horizontal);
    QScrollBar* v = bar(Qt::Vertical);
    h->setValue(0);
    v->setValue(v->maximum() / 2);
    const double share = double(v->value()) / v->maximum();
    canvas.set_zoom(20);
    EXPECT_EQ(h->value(), 0);
    EXPECT_NEAR(double(v->value()) / v->maximum(), share, 0.02);
    EXPECT_EQ(editor->get_int_state(-1, "advanced trigger zoom level", 0), 20);
    EXPECT_EQ(canvas.to_canvas(QPoint(30, 7)), QPoint(60, 14));
    // A pointer far outside, where the platform does not know it, neither overflows nor hovers.
    EXPECT_EQ(canvas.to_canvas(QPoint(INT_MAX / 2, INT_MAX)), QPoint(INT_MAX - 1, INT_MAX));
    QCursor::setPos(INT_MAX / 2, INT_MAX / 2);
    canvas.grab();
    const struct {
        int from, delta, to;
    } rows[] = {{40, -120, 40}, {1, 120, 1}, {10, -120, 11}, {10, 120, 9}};
    for (const auto& row : rows) {
        canvas.set_zoom(row.from);
        wheel(row.delta, Qt::ControlModifier);
        EXPECT_EQ(canvas.get_zoom(), row.to) << row.from << " " << row.delta;
    }
}

TEST_F(Canvas, KeysRespectTheFixedBoxes)
{
    canvas.select(result());
    const int before = snapshots();
    QTest::keyClick(&canvas, Qt::Key_R);
    EXPECT_EQ(snapshots(), before);
    QTest::keyClick(&canvas, Qt::Key_Delete);
    EXPECT_EQ(snapshots(), before + 1);
    EXPECT_EQ(vokr_find_child_of_type(&boxes(), VOKR_TYPE_RESULT), 0);
    EXPECT_TRUE(modified());
}

// ---- editing commands ---------------------------------------------------------------------------------

// A level whose diagram gives no equation is not run: it would be compiled as something other
// than what the canvas shows.
TEST_F(Canvas, ALevelWithoutAnEquationIsNotRun)
{
    ASSERT_NO_FATAL_FAILURE(add_rows(editor.get(), {"a"}));
    for (const bool complete : {false, true}) {
        // A comparison takes two inputs; a logical operator takes any number.
        diagram::DIAGRAM level(editor->shown_advanced_root());
        VOKR_OBJECT* both = level.box(result(), {{"type", complete ? "Logical Operator" : "Comparison Operator"}});
        for (int input = 0; input < (complete ? 2 : 1); ++input)
            level.box(both, {{"type", "Node"}, {"name", "a"}});
        canvas.on_update(nullptr, VOKR_HINT_ADVANCED);
        MSG_JOURNAL::clear();
        EXPECT_EQ(editor->check_advanced_for_run(-1), complete) << canvas.get_equation().toStdString();
        EXPECT_EQ(shown_messages().size(), complete ? 0u : 1u);
        canvas.select(both);
        canvas.on_edit_delete();
    }
}

TEST_F(Canvas, CommandsReshapeTheTrees)
{
    VOKR_OBJECT* a = draw("logical");
    VOKR_OBJECT* b = draw("logical");
    a->set_position(50, 100);
    b->set_position(80, 300);
    a->select(true, false, false);
    b->select(true, false, false);
    canvas.on_insert();
    VOKR_OBJECT* inserted = a->get_parent();
    ASSERT_EQ(inserted, b->get_parent());
    EXPECT_EQ(inserted->get_top_left(), QPoint(80 + 130, 200));
    EXPECT_EQ(inserted->get_parent(), nullptr);

    VOKR_OBJECT* land = draw("logical[expanded=1](logical[expanded=1;logical=Logical Or]('p','q','r'),'s')");
    canvas.select(land->get_children()[0]);
    canvas.on_remove();
    QStringList names;
    for (VOKR_OBJECT* input : land->get_children())
        names << input->get_display_name(false);
    EXPECT_EQ(names, QStringList({"s", "r", "q", "p"}));

    VOKR_OBJECT* chain = draw("logical[expanded=1](logical[expanded=1](logical[expanded=1]('x')))");
    VOKR_OBJECT* middle = chain->get_children()[0];
    for (VOKR_OBJECT* box : {chain, middle, middle->get_children()[0]})
        box->select(true, false, false);
    canvas.on_collapse();
    EXPECT_TRUE(chain->is_expanded() && middle->is_expanded());
    EXPECT_FALSE(middle->get_children()[0]->is_expanded());
    const int count = boxes().size();
    canvas.select(middle);
    middle->expand(false);
    canvas.delete_selected_objects(nullptr);
    EXPECT_EQ(boxes().size(), count - 3);

    VOKR_OBJECT* c1 = draw("compare");
    VOKR_OBJECT* c2 = draw("compare");
    canvas.generate_default_names();
    EXPECT_EQ(c1->get_display_name(false), "comparison_1");
    EXPECT_EQ(c2->get_display_name(false), "comparison_0");
}

// Undo and redo beyond the ends do nothing; Cancel takes a command back without a redo step.
TEST_F(Canvas, UndoEndsAndCancelRestoreTheLevel)
{
    canvas.on_edit_undo();
    canvas.on_edit_redo();
    EXPECT_EQ(canvas.get_undo_position(), 0);
    canvas.select(result());
    canvas.dialog = [] { return false; };
    canvas.on_append();
    EXPECT_EQ(boxes().size(), 1);
    EXPECT_EQ(snapshots(), 1);
    EXPECT_EQ(canvas.get_undo_position(), 0);
    EXPECT_FALSE(modified());
    VOKR_OBJECT* box = draw("node[name=a]");
    box->set_name("renamed");
    canvas.dialog = [] { return true; };
    canvas.select(result());
    canvas.on_append();
    canvas.dialog = [] { return false; };
    canvas.select(result());
    canvas.on_append();
    EXPECT_EQ(snapshots(), 3);
    canvas.on_edit_undo();
    EXPECT_EQ(canvas.get_undo_position(), 1);
    canvas.on_edit_undo();
    EXPECT_FALSE(modified());
    canvas.on_edit_undo();
    EXPECT_EQ(canvas.get_undo_position(), 0);
}

// A level read as modified is modified again when its edits are undone: the save writes the file
// that was read.
TEST_F(Canvas, UndoBackToTheLevelAsOpenedKeepsItsModifiedMark)
{
    canvas.select(result());
    canvas.on_append();
    ASSERT_TRUE(modified());
    ASSERT_TRUE(editor->save_document(path("read.lmx").c_str()));
    EDITOR reopened(false);
    ASSERT_NO_FATAL_FAILURE(open_session(reopened.get(), "read.lmx"));
    CANVAS again(reopened.get());
    again.on_update(nullptr, VOKR_HINT_ADVANCED);
    again.on_edit_arrange_all_objects();
    again.on_edit_undo();
    EXPECT_TRUE(reopened.trigger()->is_advanced_modified(0));
    again.on_edit_redo();
    again.on_edit_undo();
    ASSERT_TRUE(reopened->save_document(path("undone.lmx").c_str()));
    QFile read(QString::fromStdString(path("read.lmx"))), undone(QString::fromStdString(path("undone.lmx")));
    ASSERT_TRUE(read.open(QIODevice::ReadOnly) && undone.open(QIODevice::ReadOnly));
    EXPECT_EQ(undone.readAll().toStdString(), read.readAll().toStdString());
}

// Undo, a new edit, then Undo returns to the diagram before the new edit, never to the undone one;
// Redo brings the new edit back and goes no further. After each step the shared Undo and Redo
// entries (the toolbar's buttons) offer what the canvas can do.
TEST_F(Canvas, NewEditAfterUndoDropsTheUndoneStep)
{
    ASSERT_NO_FATAL_FAILURE(add_rows(editor.get(), {"a", "b"}));
    const auto append = [this](const char* name) {
        canvas.dialog = [this, name] {
            canvas.get_selected_object()->set_attribute("type", "Node");
            canvas.get_selected_object()->set_attribute("name", name);
            return true;
        };
        canvas.select(result());
        canvas.on_append();
    };
    const auto remove_all = [this] {
        canvas.on_edit_select_all();
        canvas.on_edit_delete();
    };
    const struct {
        std::function<void()> step;
        const char* shown;  // the node the diagram holds, or none
    } steps[] = {
        {[&] { append("a"); }, "a"},
        {[&] { canvas.on_edit_undo(); }, ""},
        {[&] { append("b"); }, "b"},
        {[&] { canvas.on_edit_undo(); }, ""},
        {[&] { canvas.on_edit_redo(); }, "b"},
        {[&] { canvas.on_edit_redo(); }, "b"},
        {[&] { canvas.on_edit_undo(); }, ""},
        {[&] { canvas.on_edit_undo(); }, ""},
        {remove_all, ""},
        {[&] { canvas.on_edit_undo(); }, ""},
    };
    QAction* undo = editor->get_action(PIRQ_ACTION_UNDO, QVariant());
    QAction* redo = editor->get_action(PIRQ_ACTION_REDO, QVariant());
    for (size_t i = 0; i < std::size(steps); ++i) {
        steps[i].step();
        canvas.grab();
        const QString equation = canvas.get_equation();
        EXPECT_EQ(equation.contains("'a'")   ? "a"
                  : equation.contains("'b'") ? "b"
                                             : "",
                  std::string(steps[i].shown))
            << "step " << i << ": " << equation.toStdString();
        EXPECT_EQ(undo->isEnabled(), canvas.get_undo_position() > 0) << "step " << i;
        EXPECT_EQ(redo->isEnabled(), canvas.get_undo_position() < snapshots() - 1) << "step " << i;
    }
}

// ---- palette ------------------------------------------------------------------------------------------

TEST(OperatorPalette, FixedCollapsedTreeOfLibraryItems)
{
    VOKR_OPERATOR_WIDGET palette;
    palette.update_operator_tree();
    QStandardItemModel* model = palette.get_model();
    ASSERT_EQ(model->rowCount(), 8);
    QStringList offered;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStandardItem* group = model->item(r);
        EXPECT_FALSE(palette.get_tree()->isExpanded(group->index()));
        if (!group->hasChildren())
            offered << group->text();
        for (int c = 0; c < group->rowCount(); ++c)
            offered << group->child(c)->text();
    }
    EXPECT_EQ(offered.size(), 24);
    for (const QString& text : offered) {
        const auto* end = vokr_library_item_names + VOKR_LIBRARY_ITEM_COUNT;
        const auto* at = std::find(vokr_library_item_names, end, text);
        EXPECT_TRUE(at != end && !text.contains("Counter")) << text.toStdString();
    }
    EXPECT_EQ(model->item(0)->text(), "Edge & Level Detector");
    EXPECT_EQ(model->item(7)->text(), "Custom Trigger HDL");
}

// ---- a whole session ----------------------------------------------------------------------------------

// A palette entry by its text (null: a node, which comes from the node list), with the parameters
// the dialog sets.
struct ENTRY {
    const char* palette_text;
    std::vector<std::pair<const char*, const char*>> attributes;
};

TEST_F(Canvas, ScriptedSessionBuildsUndoesRedoesAndReopens)
{
    ASSERT_NO_FATAL_FAILURE(add_rows(editor.get(), {"clk", "d[3]", "d[2]", "d[1]", "d[0]"}));
    VOKR_OPERATOR_WIDGET palette;
    const QStandardItemModel* model = palette.get_model();
    auto offered = [model](const char* text) {
        return !model->findItems(text, Qt::MatchExactly | Qt::MatchRecursive).isEmpty();
    };
    // Appends an input to the selected box and types it as the palette entry.
    auto append = [&](VOKR_OBJECT* to, const ENTRY& entry) {
        EXPECT_TRUE(!entry.palette_text || offered(entry.palette_text)) << entry.palette_text;
        canvas.dialog = [&] {
            VOKR_OBJECT* made = canvas.get_selected_object();
            if (entry.palette_text)
                made->set_type_by_name(entry.palette_text);
            for (const auto& [key, value] : entry.attributes)
                made->set_attribute(key, value);
            return true;
        };
        canvas.select(to);
        QTest::keyClick(&canvas, Qt::Key_A);
        return to->get_children().last();
    };
    VOKR_OBJECT* compare = append(result(), {"Greater Than or Equal To", {{"configurable", "1"}}});
    VOKR_OBJECT* bus = append(compare, {"Bus", {}});
    for (const char* bit : {"d[3]", "d[2]", "d[1]", "d[0]"})
        append(bus, {nullptr, {{"type", "Node"}, {"name", bit}}});
    append(compare, {"Bus Value", {{"configurable", "1"}, {"bus_value", "5"}}});
    // The edge is built beside the comparison and wired under the result with it.
    canvas.select(compare);
    canvas.dialog = [&] {
        canvas.get_selected_object()->set_type_by_name("Logical And");
        return true;
    };
    QTest::keyClick(&canvas, Qt::Key_I);
    VOKR_OBJECT* land = compare->get_parent();
    VOKR_OBJECT* edge = append(land, {"Edge & Level Detector", {{"pattern", "R"}}});
    append(edge, {nullptr, {{"type", "Node"}, {"name", "clk"}}});
    canvas.on_edit_arrange_all_objects();
    std::string printed;
    ASSERT_TRUE(editor->shown_advanced_root()->get_equation(
        &printed, editor->get_session()->get_data_session()->get_mnemonics(), editor.trigger(), 1, false));
    canvas.grab();
    EXPECT_EQ(canvas.get_equation().toStdString(), printed);
    EXPECT_EQ(canvas.get_error_code(), 0);

    // Every step's expression and text form, walking back to the empty diagram and forth again.
    auto texts = [&] {
        canvas.grab();
        const QList<VOKR_OBJECT*>& inputs = result()->get_children();
        return canvas.get_equation() + " | " + (inputs.isEmpty() ? QString() : text(inputs[0], false));
    };
    const int last = canvas.get_undo_position();
    std::vector<QString> back{texts()}, forth;
    while (canvas.get_undo_position() > 0) {
        canvas.on_edit_undo();
        back.insert(back.begin(), texts());
    }
    EXPECT_EQ(boxes().size(), 1);
    EXPECT_EQ(back.front(), " | ");
    forth.push_back(texts());
    while (canvas.get_undo_position() < last) {
        canvas.on_edit_redo();
        forth.push_back(texts());
    }
    EXPECT_EQ(forth, back);
    EXPECT_EQ(canvas.get_equation().toStdString(), printed);
    QDir().mkpath(VOKR_ARTIFACT_DIR);
    const QString png = QString(VOKR_ARTIFACT_DIR) + "/advanced_canvas.png";
    canvas.select(boxes().at(vokr_find_child_of_type(&boxes(), VOKR_TYPE_COMPARISON)));  // undo made new boxes
    canvas.grab().save(png);
    std::cout << "canvas image: " << png.toStdString() << std::endl;

    ASSERT_TRUE(editor->save_document(path("canvas.lmx").c_str()));
    EDITOR reopened(false);
    ASSERT_NO_FATAL_FAILURE(open_session(reopened.get(), "canvas.lmx"));
    CANVAS again(reopened.get());
    again.resize(900, 500);
    again.on_update(nullptr, VOKR_HINT_ADVANCED);
    again.grab();
    EXPECT_EQ(again.get_equation().toStdString(), printed);
}

}  // namespace
