// The advanced trigger canvas's drops, paste, enablers and find targets, its properties,
// compare and value dialogs, and a comparison built by drag and dialogs, saved and reopened.
#include "manager_test_support.h"

#include "diagram_builder.h"
#include "vokr_comparison_trigger_dlg.h"
#include "vokr_object_find_target.h"
#include "vokr_object_properties_dlg.h"
#include "vokr_object_widget.h"
#include "vokr_parameter_widget.h"
#include "vokr_trigger_object.h"
#include "vokr_trigger_value_dlg.h"
#include "vokr_view.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QStandardItemModel>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <cstring>
#include <functional>

using namespace manager_test;

namespace {

class CANVAS : public VOKR_OBJECT_WIDGET {
public:
    using VOKR_OBJECT_WIDGET::VOKR_OBJECT_WIDGET;
    QObject* source = nullptr;
    std::function<bool(VOKR_OBJECT_PROPERTIES_DLG&)> dialog;

protected:
    QObject* drag_source(const QDropEvent*) const override { return source; }
    bool exec_properties_dialog(int initial_type, bool new_object) override
    {
        VOKR_OBJECT_PROPERTIES_DLG d(this, get_objects(), nullptr, initial_type, new_object, 0, false);
        return dialog && dialog(d);
    }
};

class Drops : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        editor.trigger()->set_level_type(0, KSM_LTYPE_ADVANCED);
        canvas.resize(900, 500);
        canvas.on_update(nullptr, VOKR_HINT_ADVANCED);
        canvas.source = &view;
    }
    QList<VOKR_OBJECT*>& boxes() { return *canvas.get_objects(); }
    VOKR_OBJECT* draw(const std::string& tree)
    {
        VOKR_OBJECT* top = diagram::DIAGRAM(editor->shown_advanced_root()).make(tree);
        canvas.on_update(nullptr, VOKR_HINT_ADVANCED);
        return top;
    }
    // A drop at `at` (diagram units at zoom 1:1) of data in `format`; returns the accepted action.
    Qt::DropAction drop(QPoint at, const char* format = VOKR_OBJECT_WIDGET::NODE_FORMAT)
    {
        QMimeData data;
        data.setData(format, QByteArray());
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&canvas, &enter);
        if (enter.dropAction() == Qt::IgnoreAction)
            return Qt::IgnoreAction;
        QDropEvent event(at, enter.dropAction(), &data, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&canvas, &event);
        return event.dropAction();
    }
    void select_rows(std::initializer_list<int> rows)
    {
        for (int r = 0; r < editor->get_node_count(-1); ++r)
            editor->set_node_selection_status(r, std::find(rows.begin(), rows.end(), r) != rows.end());
    }
    QString equation()
    {
        canvas.grab();
        return canvas.get_equation();
    }

    EDITOR editor{false};
    VOKR_VIEW view{nullptr, editor.get()};
    CANVAS canvas{editor.get()};
};

TEST_F(Drops, NodeRowsBecomeBoxesWithAdaptersAndRefusals)
{
    ASSERT_NO_FATAL_FAILURE(add_rows(editor.get(), {"a", "b", "c", "d"}));
    const int before = boxes().size();
    select_rows({0});
    EXPECT_EQ(drop(QPoint(600, 400)), Qt::CopyAction);
    ASSERT_EQ(boxes().size(), before + 1);
    EXPECT_EQ(boxes().last()->get_type(), VOKR_TYPE_NODE);
    EXPECT_TRUE(boxes().last()->is_selected() && !boxes().last()->get_parent());

    // Unknown data never pastes the clipboard it finds.
    EXPECT_EQ(drop(QPoint(600, 300), "text/plain"), Qt::IgnoreAction);
    EXPECT_EQ(boxes().size(), before + 1);

    // Three bits on a comparison gather in one new Bus; a full complement refuses the drop.
    VOKR_OBJECT* gt = draw("compare[expanded=1;comparison=Greater Than]");
    gt->set_position(300, 100);
    VOKR_OBJECT* bnot = draw("bitwise[expanded=1;bitwise=Bitwise Complement]('x')");
    bnot->set_position(300, 250);
    select_rows({1, 2, 3});
    EXPECT_EQ(drop(bnot->get_rect().center()), Qt::IgnoreAction);
    EXPECT_EQ(drop(gt->get_rect().center()), Qt::LinkAction);
    ASSERT_EQ(gt->get_children().size(), 1);
    EXPECT_EQ(gt->get_children()[0]->get_type(), VOKR_TYPE_BUS);
    EXPECT_EQ(gt->get_children()[0]->get_children().size(), 3);
}

// Paste wires the copies only into a box that takes inputs; a Node under the point does not.
TEST_F(Drops, PasteAttachesOnlyWhereInputsAreAccepted)
{
    VOKR_OBJECT* node = draw("'n'");
    node->set_position(300, 100);
    VOKR_OBJECT* cmp = draw("compare[name=cmp]");
    cmp->set_position(300, 250);
    canvas.select(cmp);
    const QPoint corner = cmp->get_top_left();
    canvas.copy(&corner);
    const int before = boxes().size();
    canvas.paste(node->get_rect().center());
    canvas.paste(QPoint(500, 400));
    ASSERT_EQ(boxes().size(), before + 2);
    EXPECT_TRUE(node->get_children().isEmpty());
    for (VOKR_OBJECT* copy : {boxes()[before], boxes()[before + 1]}) {
        EXPECT_FALSE(copy->get_parent());
        QString name;
        copy->get_string_property_text(VOKR_STRING_NAME, &name, VOKR_BANK_CURRENT);
        EXPECT_TRUE(name != "cmp" && !name.isEmpty()) << name.toStdString();
    }
}

// A group whose members are all gone sits on the last row: it makes a Bus without inputs.
TEST_F(Drops, GroupOnLastRowHasNoMembers)
{
    ASSERT_NO_FATAL_FAILURE(add_rows(editor.get(), {"a", "b"}));
    ASSERT_TRUE(editor.trigger()->group_nodes(1, 1));
    editor.trigger()->delete_node("b");
    ASSERT_EQ(editor->get_node_count(-1), 2);
    select_rows({1});
    QList<VOKR_OBJECT*> clipboard;
    canvas.clipboard_add_nodes(&clipboard, &view);
    ASSERT_EQ(clipboard.size(), 1);
    EXPECT_EQ(clipboard[0]->get_type(), VOKR_TYPE_BUS);
    VOKR_OBJECT_WIDGET::free_objects(&clipboard);
}

TEST_F(Drops, EnablersFollowSelectionAndLock)
{
    VOKR_OBJECT* result = boxes().at(vokr_find_child_of_type(&boxes(), VOKR_TYPE_RESULT));
    canvas.select(result);
    canvas.update_all_actions();
    auto enabled = [&](PIRQ_ACTION_ENUM id) { return editor->get_action(id, QVariant())->isEnabled(); };
    for (PIRQ_ACTION_ENUM id : {PIRQ_ACTION_COPY, PIRQ_ACTION_CUT, PIRQ_ACTION_DELETE, PIRQ_ACTION_REMOVE})
        EXPECT_FALSE(enabled(id)) << id;
    EXPECT_TRUE(enabled(PIRQ_ACTION_OBJECT_PROPERTIES) && enabled(PIRQ_ACTION_RENAME_OBJECT));
    canvas.on_update_find_next();
    EXPECT_FALSE(enabled(PIRQ_ACTION_FIND_NEXT));
    canvas.set_find_text("x");
    canvas.on_update_find_next();
    EXPECT_TRUE(enabled(PIRQ_ACTION_FIND_NEXT));
    // The wizard's canvas has no layout widget: find does nothing rather than fail.
    canvas.on_edit_find_next();
    canvas.on_edit_find();
}

TEST_F(Drops, FindTargetsOneFieldEach)
{
    const struct {
        const char* tree;
        std::vector<unsigned int> types;
        const char* kind;
    } cases[] = {
        {"node", {16}, "Node"},
        {"bus[bus_name=d;name=bus_0]", {2, 16}, "Bus"},
        {"compare[name=c;alias=al]", {4, 8, 16}, "Variable Unsigned Equality"},
        {"hdl", {16}, "Custom Trigger HDL"},
    };
    for (const auto& c : cases) {
        VOKR_OBJECT* box = draw(c.tree);
        std::vector<YAB_FIND_TARGET*> targets;
        int start = -1;
        VOKR_OBJECT_FIND_TARGET::add_find_targets(box, &targets, &canvas, 2, box, &start);
        std::vector<unsigned int> types;
        for (YAB_FIND_TARGET* t : targets)
            types.push_back(t->get_type());
        EXPECT_EQ(types, c.types) << c.tree;
        EXPECT_EQ(start, 0);
        EXPECT_EQ(targets.back()->get_text(), c.kind);
        for (YAB_FIND_TARGET* t : targets)
            delete t;
    }
    EXPECT_EQ(VOKR_OBJECT_FIND_TARGET::kind_name(66), "Dynamic State Counter");
    EXPECT_EQ(VOKR_OBJECT_FIND_TARGET::kind_name(12), "Constant Unsigned Less Than");
}

// Looking at the rows of a merged selection whose values differ writes nothing: OK keeps both.
TEST_F(Drops, ParameterPageWritesOnlyUserEdits)
{
    VOKR_OBJECT* a = draw("bus[bus_name=x]");
    VOKR_OBJECT* b = draw("bus[bus_name=y]");
    a->select(true, false, false);
    b->select(true, false, false);
    VOKR_OBJECT_PROPERTIES_DLG dialog(&canvas, &boxes(), nullptr, 0, false, 0, false);
    EXPECT_EQ(dialog.general_page()->name_edit()->text(), "Multiple Objects");
    VOKR_PARAMETER_WIDGET* page = dialog.parameter_page();
    QStringList rows;
    for (int r = 0; r < page->grid()->get_model()->rowCount(); ++r) {
        rows << page->grid()->get_model()->item(r, 0)->text();
        page->grid()->selectRow(r);
    }
    EXPECT_EQ(rows, QStringList({"Bus Name", "Bit Order", "Data Delay"}));
    dialog.accept();
    QString name;
    b->get_string_property_text(VOKR_STRING_BUS_NAME, &name, VOKR_BANK_CURRENT);
    EXPECT_EQ(name, "y");
}

// A parameter of named settings takes only those where they are typed: other text is refused
// with the allowed settings; a name in another letter case is the setting it names.
TEST_F(Drops, NamedSettingsRefuseOtherText)
{
    VOKR_OBJECT* bus = draw("bus[bus_name=x]");
    bus->select(true, false, false);
    VOKR_OBJECT_PROPERTIES_DLG dialog(&canvas, &boxes(), nullptr, 0, false, 0, false);
    VOKR_PARAMETER_WIDGET* page = dialog.parameter_page();
    QStandardItemModel* grid = page->grid()->get_model();
    page->grid()->selectRow(1);
    ASSERT_EQ(grid->item(1, 0)->text(), "Bit Order");
    const QString before = grid->item(1, 1)->text();
    QLineEdit* typed = page->setting_combo()->lineEdit();
    typed->selectAll();
    QTest::keyClicks(typed, "Bogus");
    EXPECT_FALSE(typed->text().contains("Bogus"));
    EXPECT_EQ(grid->item(1, 1)->text(), before);
    EXPECT_TRUE(QToolTip::text().endsWith("is not an allowed setting. Allowed settings: MSB to LSB, LSB to MSB"))
        << QToolTip::text().toStdString();
    typed->selectAll();
    QTest::keyClicks(typed, "lsb");
    emit typed->editingFinished();  // an unfinished beginning gives way to the row's setting
    EXPECT_EQ(typed->text(), before);
    typed->selectAll();
    QTest::keyClicks(typed, "lsb to msb");
    EXPECT_EQ(grid->item(1, 1)->text(), "LSB to MSB");
    dialog.accept();
    EXPECT_EQ(bus->get_property()[VOKR_INT_BIT_ORDER], 1);
}

// A setting is taken as typed: whole where it begins a longer one (no completion fills it in),
// and a number's setting takes a decimal integer's characters only (a letter would read as 0).
TEST_F(Drops, SettingsAreTakenAsTyped)
{
    const struct {
        const char *box, *parameter, *keys, *taken;
    } cases[] = {{"compare", "Comparison Type", "Greater Than", "Greater Than"},
                 {"compare", "Comparison Type", "Less Than", "Less Than"},
                 {"shift", "Shift Distance", "a2x", "2"}};
    for (const auto& c : cases) {
        canvas.select(draw(c.box));
        VOKR_OBJECT_PROPERTIES_DLG dialog(&canvas, &boxes(), nullptr, 0, false, 0, false);
        VOKR_PARAMETER_WIDGET* page = dialog.parameter_page();
        const QList<QStandardItem*> rows = page->grid()->get_model()->findItems(c.parameter);
        ASSERT_EQ(rows.size(), 1) << c.parameter;
        page->grid()->selectRow(rows.first()->row());
        dialog.show();  // a completion acts in the focused editor
        QApplication::setActiveWindow(&dialog);
        QLineEdit* typed = page->setting_combo()->lineEdit();
        typed->setFocus();
        typed->selectAll();
        QTest::keyClicks(typed, c.keys);
        EXPECT_EQ(typed->text().toStdString(), c.taken) << c.keys;
        dialog.reject();  // closed as a person closes it, before it goes
    }
}

TEST(CompareDialog, StrictNumbersInRange)
{
    const struct {
        int width;
        int type;
        const char* a;
        const char* b;
        const char* refusal;  // null: accepted
    } cases[] = {
        {4, 0, "15", "", nullptr},
        {4, 0, "16", "", "Comparison value must be between 0 and 15 (inclusive)"},
        {4, 0, "12x", "", "Comparison value must be between 0 and 15 (inclusive)"},
        {4, 0, "abc", "", "Comparison value must be between 0 and 15 (inclusive)"},
        {32, 0, "99999999999", "", "Comparison value must be between 0 and 2147483647 (inclusive)"},
        {32, 0, "2147483647", "", nullptr},
        {4, 1, "5", "5", nullptr},
        {4, 1, "6", "5", "Lower bound value must be less than upper bound value"},
        {4, 1, "x", "5", "Lower bound value must be between 0 and 15 (inclusive)"},
    };
    for (const auto& c : cases) {
        MSG_JOURNAL::clear();
        VOKR_TRIGGER_COMPARE_DLG dialog(nullptr);
        dialog.m_bus_width = c.width;
        dialog.build();
        dialog.type_combo()->setCurrentIndex(c.type);
        if (c.type == 0) {
            dialog.value_page()->value_edit()->setText(c.a);
        } else {
            dialog.interval_page()->lower_edit()->setText(c.a);
            dialog.interval_page()->upper_edit()->setText(c.b);
        }
        dialog.on_ok_button();
        const auto prompts = MSG_JOURNAL::records_of("prompted");
        EXPECT_EQ(prompts.empty() ? std::string() : prompts[0].text, c.refusal ? c.refusal : "") << c.a;
        EXPECT_EQ(dialog.result(), c.refusal ? 0 : 1) << c.a;
    }
}

// A person sees the refusal in a box titled after what went wrong; the dialog stays open.
TEST(CompareDialog, PersonSeesRefusalInItsOwnBox)
{
    VOKR_TRIGGER_COMPARE_DLG dialog(nullptr);
    dialog.m_bus_width = 4;
    dialog.build();
    dialog.value_page()->value_edit()->setText("16");
    QString title, text;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            text = box->text();
            box->accept();
        }
    });
    MSG_JOURNAL::set_interactive(true);
    dialog.on_ok_button();
    MSG_JOURNAL::set_interactive(false);
    EXPECT_EQ(title, QString("Value(s) not acceptable"));
    EXPECT_EQ(text, QString("Comparison value must be between 0 and 15 (inclusive)"));
    EXPECT_EQ(dialog.result(), 0);
}

TEST(ValueDialog, EntryModesConvertAndCheck)
{
    VOKR_TRIGGER_VALUE_DLG hex("", 8, nullptr, 0);
    EXPECT_EQ(hex.windowTitle(), "Insert Value");
    EXPECT_EQ(hex.get_value_edit()->maxLength(), MAX_BUS_WIDTH);
    hex.get_value_edit()->setText("FF");
    hex.get_radix_combo()->setCurrentIndex(7);
    EXPECT_EQ(hex.get_value_edit()->text(), "11111111");

    const struct {
        const char* value;
        const char* mnemonic;
        bool accepted;
    } entries[] = {{"300", "big", false}, {"3", "", false}, {"", "", false}, {"000", "", true}, {"3", "m", true}};
    for (const auto& e : entries) {
        VOKR_TRIGGER_VALUE_DLG entry("", 8, nullptr, VOKR_TRIGGER_VALUE_DLG::MNEMONIC_ENTRY);
        entry.get_value_edit()->setText(e.value);
        entry.get_mnemonic_edit()->setText(e.mnemonic);
        entry.on_ok_button();
        EXPECT_EQ(entry.result() == QDialog::Accepted, e.accepted) << e.value;
    }
    VOKR_TRIGGER_VALUE_DLG cut("", 8, nullptr, 4);
    cut.get_value_edit()->setText("300");
    cut.on_ok_button();
    EXPECT_EQ(cut.get_value_edit()->text(), "00101100");
    // Minus zero typed for a one-bit value in two's complement is zero, not -1.
    VOKR_TRIGGER_VALUE_DLG one_bit("", 1, nullptr, 4);
    one_bit.get_radix_combo()->setCurrentIndex(2);
    one_bit.get_value_edit()->selectAll();
    QTest::keyClicks(one_bit.get_value_edit(), "-0");
    one_bit.on_ok_button();
    EXPECT_EQ(one_bit.get_value_edit()->text(), "0");
}

// A bus from the node list dropped on a comparison, a value typed for its other input and the
// operator chosen in the properties dialog print the expected equation, before and after reopening.
TEST_F(Drops, ComparisonBuiltByDragAndDialogsSurvivesReopen)
{
    ASSERT_NO_FATAL_FAILURE(add_rows(editor.get(), {"d[1]", "d[0]"}));
    ASSERT_TRUE(editor.trigger()->group_nodes(0, 1));
    VOKR_OBJECT* result = boxes().at(vokr_find_child_of_type(&boxes(), VOKR_TYPE_RESULT));
    VOKR_OBJECT* cmp = diagram::DIAGRAM(editor->shown_advanced_root()).box(result, {{"type", "Comparison Operator"}});
    canvas.on_update(nullptr, VOKR_HINT_ADVANCED);
    cmp = boxes().at(vokr_find_child_of_type(&boxes(), VOKR_TYPE_COMPARISON));
    cmp->get_parent()->expand(true);
    cmp->expand(true);
    canvas.on_edit_arrange_all_objects();
    ASSERT_EQ(canvas.hit_test(cmp->get_rect().center()), cmp)
        << cmp->get_rect().center().x() << "," << cmp->get_rect().center().y();
    select_rows({0});
    ASSERT_EQ(drop(cmp->get_rect().center()), Qt::LinkAction);

    VOKR_TRIGGER_VALUE_DLG value("", 2, nullptr, 4);
    QTest::keyClicks(value.get_value_edit(), "2");
    value.on_ok_button();
    VOKR_OBJECT* bv = diagram::DIAGRAM(editor->shown_advanced_root())
                          .box(cmp, {{"type", "Bus Value"},
                                     {"bus_value", value.get_value_edit()->text().toLatin1()},
                                     {"display_format", "Binary"}});
    ASSERT_TRUE(bv);
    canvas.select(cmp);
    canvas.dialog = [](VOKR_OBJECT_PROPERTIES_DLG& d) {
        VOKR_PARAMETER_WIDGET* page = d.parameter_page();
        page->grid()->selectRow(0);
        page->setting_combo()->setCurrentIndex(page->setting_combo()->findText("Greater Than"));
        d.accept();
        return true;
    };
    ASSERT_TRUE(canvas.on_properties(0, false));
    const QString printed = equation();
    EXPECT_EQ(cmp->get_property()[VOKR_INT_COMPARISON], VOKR_COMPARISON_GREATER_THAN);
    // Greater Than compares the first input (the bus) with the second: bus > value. The printer
    // puts the value first, as it sorts first, and so mirrors the operator: value < bus.
    ASSERT_EQ(cmp->get_children().first()->get_type(), VOKR_TYPE_BUS);
    EXPECT_EQ(printed, "'comparison_0':(compare('bus_value_0':(variable(2)),<,'bus_0':({'d[1]','d[0]'}),vc,uc))");

    ASSERT_TRUE(editor->save_document(path("drops.lmx").c_str()));
    EDITOR reopened(false);
    ASSERT_NO_FATAL_FAILURE(open_session(reopened.get(), "drops.lmx"));
    CANVAS again(reopened.get());
    again.resize(900, 500);
    again.on_update(nullptr, VOKR_HINT_ADVANCED);
    again.grab();
    EXPECT_EQ(again.get_equation(), printed);
}

}  // namespace

// The value and properties dialogs open at a size that shows the longest value of the field
// and every header and row of the parameter grid at the default font; pictures to look at.
TEST_F(Drops, DialogsOpenShowingTheirValuesAndHeaders)
{
    QDir().mkpath(VOKR_ARTIFACT_DIR);
    const struct {
        const char* bits;
        int display_type;
        const char* picture;
    } values[] = {
        {"1010101010101010", KSM_GTYPE_BINARY, VOKR_ARTIFACT_DIR "/value_dialog_binary16.png"},
        {"11111111111111111111111111111111", KSM_GTYPE_UNSIGNED, nullptr},
        {"1000000000000000000000000000000000000000000000000000000000000000", KSM_GTYPE_SIGNED_2S, nullptr},
    };
    for (const auto& v : values) {
        VOKR_TRIGGER_VALUE_DLG dialog(v.bits, static_cast<int>(strlen(v.bits)), nullptr, v.display_type);
        dialog.show();
        QCoreApplication::processEvents();
        const QLineEdit* edit = dialog.get_value_edit();
        EXPECT_GE(edit->width(), edit->fontMetrics().horizontalAdvance(edit->text()) + 8)
            << edit->text().toStdString() << " in a field of " << edit->width();
        if (v.picture) {
            EXPECT_TRUE(dialog.grab().save(v.picture));
        }
    }
    VOKR_OBJECT* comparison = draw("compare[name=cmp]");
    comparison->select(true, false, false);
    VOKR_OBJECT_PROPERTIES_DLG dialog(&canvas, &boxes(), nullptr, 0, false, 0, false);
    dialog.show();
    QCoreApplication::processEvents();
    expect_table_whole(dialog.parameter_page()->grid(), "parameter grid");
    EXPECT_TRUE(dialog.grab().save(VOKR_ARTIFACT_DIR "/object_properties_dialog.png"));
}
