// The advanced-trigger object model: property banks and their bank choice, persisted attributes
// (also through a session file in a local encoding that cannot hold the names), the box's kinds,
// links, widths and parameter texts, and the session and trigger objects.
#include "diagram_builder.h"
#include "ksm.h"
#include "manager_test_support.h"
#include "ruv.h"
#include "vokr_object_widget.h"
#include "vokr_session_object.h"
#include "vokr_state_machine_object.h"

#include <QTextCodec>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using namespace diagram;
using ATTRIBUTE_LIST = std::vector<std::pair<std::string, std::string>>;

// A box outside any trigger, shown in the given bank.
std::unique_ptr<VOKR_OBJECT> make_box(VOKR_OBJECT_WIDGET* context = nullptr)
{
    return std::make_unique<VOKR_OBJECT>(context, QPoint(0, 0), nullptr);
}

// ---- property banks ------------------------------------------------------------------------------

TEST(PropertyBank, FreshBlockHoldsTheDefaults)
{
    const VOKR_PROPERTY p;
    const struct {
        int id;
        int value;
        bool blank;
    } rows[] = {{VOKR_INT_MAX_COUNTER_VALUE, 255, false},
                {VOKR_INT_DISPLAY_FORMAT, 1, false},
                {VOKR_INT_COMPARISON, 2, false},
                {VOKR_INT_BITWISE, 1, false},
                {VOKR_INT_LOGICAL, 1, false},
                {VOKR_INT_REDUCTION, 1, false},
                {VOKR_INT_COUNTER_TYPE, 1, false},
                {VOKR_INT_COUNTER_VALUE, 1, true},
                {VOKR_INT_SHIFT_DISTANCE, 0, true},
                {VOKR_INT_DATA_DELAY, 0, true},
                {VOKR_INT_TYPE, 0, false},
                {VOKR_INT_SHIFT_TYPE, 0, false}};
    for (const auto& row : rows) {
        for (int bank : {VOKR_BANK_POWER_UP, VOKR_BANK_NORMAL}) {
            const VOKR_INT_SLOT& slot = p.get_int_value(row.id, bank);
            EXPECT_EQ(slot.value, row.value) << vokr_int_property_table[row.id].key;
            EXPECT_EQ(slot.blank, row.blank) << vokr_int_property_table[row.id].key;
            EXPECT_TRUE(slot.set) << vokr_int_property_table[row.id].key;
        }
    }
    auto box = make_box();
    int distance = -1;
    EXPECT_TRUE(box->get_property().get(VOKR_INT_SHIFT_DISTANCE, &distance));
    EXPECT_EQ(distance, 0);
    const VOKR_STRING_SLOT& name = p.get_string_value(VOKR_STRING_NAME, VOKR_BANK_NORMAL);
    EXPECT_TRUE(name.text.isEmpty());
    EXPECT_FALSE(name.set);
}

// In the power-up view the current bank is the power-up bank for run-time properties, and for
// object-dependent ones only on a variable box.
TEST(PropertyBank, CurrentBankFollowsTheViewAndTheBoxKind)
{
    const struct {
        VOKR_OBJECT_WIDGET* view;
        bool runtime_box;
        int id;
        int bank;
    } rows[] = {
        {VOKR_OBJECT::power_up_view_marker(), true, VOKR_INT_COMPARISON, VOKR_BANK_POWER_UP},
        {VOKR_OBJECT::power_up_view_marker(), false, VOKR_INT_COMPARISON, VOKR_BANK_NORMAL},
        {VOKR_OBJECT::power_up_view_marker(), true, VOKR_INT_BIT_ORDER, VOKR_BANK_NORMAL},
        {VOKR_OBJECT::power_up_view_marker(), false, VOKR_INT_SHIFT_DISTANCE, VOKR_BANK_POWER_UP},
        {VOKR_OBJECT::normal_view_marker(), true, VOKR_INT_COMPARISON, VOKR_BANK_NORMAL},
        {nullptr, true, VOKR_INT_COMPARISON, VOKR_BANK_NORMAL},
    };
    for (const auto& row : rows) {
        auto box = make_box(row.view);
        VOKR_PROPERTY& p = box->get_property();
        p.set_configurable(row.runtime_box);
        p.set(row.id, 7, VOKR_BANK_CURRENT);
        EXPECT_EQ(p.get_int_value(row.id, row.bank).value, 7) << vokr_int_property_table[row.id].key;
        EXPECT_NE(p.get_int_value(row.id, 1 - row.bank).value, 7) << vokr_int_property_table[row.id].key;
        EXPECT_EQ(p[row.id], 7);
    }
}

TEST(PropertyBank, DuplicationCopiesRunTimePropertiesOnly)
{
    auto box = make_box();
    VOKR_PROPERTY& p = box->get_property();
    p.set(VOKR_INT_COMPARISON, 4, VOKR_BANK_NORMAL);
    p.set(VOKR_INT_BIT_ORDER, 1, VOKR_BANK_NORMAL);
    p.set_setting_string(VOKR_STRING_PATTERN, "RX", VOKR_BANK_NORMAL);
    EXPECT_TRUE(box->duplicate_trigger(true));
    p.set(VOKR_INT_COMPARISON, 5, VOKR_BANK_NORMAL);
    EXPECT_EQ(p.get_int_value(VOKR_INT_COMPARISON, VOKR_BANK_POWER_UP).value, 4);
    EXPECT_EQ(p.get_int_value(VOKR_INT_BIT_ORDER, VOKR_BANK_POWER_UP).value, 0);
    EXPECT_EQ(p.get_string_value(VOKR_STRING_PATTERN, VOKR_BANK_POWER_UP).text, "RX");
    EXPECT_TRUE(box->duplicate_trigger(false));
    EXPECT_EQ(p.get_int_value(VOKR_INT_COMPARISON, VOKR_BANK_NORMAL).value, 4);
}

TEST(PropertyBank, UnifyKeepsWhatTheSelectionShares)
{
    DIAGRAM d;
    VOKR_OBJECT* comparison = d.make("compare[name=x]");
    VOKR_OBJECT* bitwise = d.make("bitwise[name=x]");
    VOKR_OBJECT* other = d.make("compare[name=y]");

    auto mixed = make_box();
    mixed->get_property().unify(comparison->get_property());
    EXPECT_EQ(mixed->get_property().get_unify_mask(), vokr_property_mask_by_type[VOKR_TYPE_COMPARISON]);
    mixed->get_property().unify(bitwise->get_property());
    EXPECT_EQ(mixed->get_property().get_unify_mask(), 0u);
    EXPECT_EQ(mixed->get_property().get_string_value(VOKR_STRING_NAME, VOKR_BANK_NORMAL).text, "x");
    EXPECT_FALSE(mixed->get_property().get_int_value(VOKR_INT_TYPE, VOKR_BANK_NORMAL).set);
    EXPECT_FALSE(mixed->is_used_int(VOKR_INT_COMPARISON));

    auto differing = make_box();
    differing->get_property().unify(comparison->get_property());
    differing->get_property().unify(other->get_property());
    const VOKR_STRING_SLOT& name = differing->get_property().get_string_value(VOKR_STRING_NAME, VOKR_BANK_NORMAL);
    EXPECT_TRUE(name.text.isEmpty());
    EXPECT_FALSE(name.set);
    EXPECT_TRUE(differing->is_used_int(VOKR_INT_COMPARISON));
}

TEST(PropertyBank, ConfigurableColumnTexts)
{
    const struct {
        int configurable;
        int id;
        const char* text;
    } rows[] = {{0, VOKR_INT_BIT_ORDER, "Never"},
                {0, VOKR_INT_DISPLAY_FORMAT, "Always"},
                {0, VOKR_INT_COMPARISON, "Yes"},
                {1, VOKR_INT_COMPARISON, "No"}};
    for (const auto& row : rows) {
        auto box = make_box();
        box->get_property().set_configurable(row.configurable == 0);
        QString text;
        EXPECT_TRUE(box->get_property().get_configurable_int_text(row.id, &text));
        EXPECT_EQ(text, row.text) << vokr_int_property_table[row.id].key;
    }
    QString text;
    make_box()->get_property().get_configurable_string_text(VOKR_STRING_BUS_VALUE, &text);
    EXPECT_EQ(text, "Yes");
}

// ---- attributes ----------------------------------------------------------------------------------

TEST(BoxAttributes, OnlyValuesOtherThanTheDefaultsAreWritten)
{
    auto box = make_box();
    EXPECT_TRUE(box->collect_attributes().empty());
    box->set_name("n");
    EXPECT_EQ(box->collect_attributes(), (ATTRIBUTE_LIST{{"name", "n"}}));

    auto comparison = make_box();
    VOKR_PROPERTY& p = comparison->get_property();
    p.set_setting(VOKR_INT_COMPARISON, "Inequality", VOKR_BANK_NORMAL);
    p.set_setting(VOKR_INT_COMPARISON, "Greater Than", VOKR_BANK_POWER_UP);
    p.set_setting(VOKR_INT_SHIFT_DISTANCE, "0", VOKR_BANK_NORMAL);  // typed, but the default
    p.set(VOKR_INT_TOP, -40, VOKR_BANK_NORMAL);
    p.set_setting_string(VOKR_STRING_PATTERN, "R", VOKR_BANK_POWER_UP);
    EXPECT_EQ(comparison->collect_attributes(), (ATTRIBUTE_LIST{{"powerup_pattern", "R"},
                                                                {"top", "-40"},
                                                                {"powerup_comparison", "Greater Than"},
                                                                {"comparison", "Inequality"}}));

    // Read back, every slot is as written, and the typed 0 is the constructor's blank again.
    auto copy = make_box();
    for (const auto& [key, value] : comparison->collect_attributes())
        copy->set_attribute(key.c_str(), value.c_str());
    EXPECT_EQ(copy->collect_attributes(), comparison->collect_attributes());
    EXPECT_TRUE(copy->get_property().get_int_value(VOKR_INT_SHIFT_DISTANCE, VOKR_BANK_NORMAL).blank);
}

// An unknown key or word leaves the box as it was; a read default is not written again.
TEST(BoxAttributes, ReadingTakesKnownKeysAndWordsOnly)
{
    const struct {
        const char* key;
        const char* value;
        ATTRIBUTE_LIST written;
    } rows[] = {
        {"display_format", "hexadecimal", {}},
        {"display_format", "Octal", {{"display_format", "Octal"}}},
        {"max_counter_value", "", {}},
        {"powerupname", "x", {}},
        {"powerup_name", "x", {{"powerup_name", "x"}}},
        {"data_delay", "12", {{"data_delay", "12"}}},
    };
    for (const auto& row : rows) {
        auto box = make_box();
        box->set_attribute(row.key, row.value);
        EXPECT_EQ(box->collect_attributes(), row.written) << row.key << "=" << row.value;
    }
    auto box = make_box();
    box->set_attribute("max_counter_value", "");
    const VOKR_INT_SLOT& max = box->get_property().get_int_value(VOKR_INT_MAX_COUNTER_VALUE, VOKR_BANK_NORMAL);
    EXPECT_TRUE(max.set && max.blank && max.value == 0);
}

// Keys and values are UTF-8, and a session file keeps names that the local encoding cannot hold.
TEST(BoxAttributes, NamesPersistAsUtf8WhateverTheLocalEncoding)
{
    const QString name = QString::fromUtf8("Z\xC3\xA4hler \xE4\xBF\xA1\xE5\x8F\xB7");
    auto box = make_box();
    box->set_name(name);
    EXPECT_EQ(box->collect_attributes(), (ATTRIBUTE_LIST{{"name", name.toUtf8().toStdString()}}));

    QTextCodec* const local = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    QTemporaryDir dir;
    const std::string path = dir.filePath("utf8.lmx").toStdString();
    {
        KSM_TX_SESSION session(new VOKR_SESSION_OBJECT, true);
        ASSERT_TRUE(session.create_session(path.c_str()));
        KSM_TX_TRIGGER* trigger = session.get_trigger_at(0);
        ASSERT_TRUE(trigger->set_level_type(0, KSM_LTYPE_ADVANCED));
        auto* root = dynamic_cast<VOKR_TRIGGER_OBJECT*>(trigger->get_advanced_root(0));
        ASSERT_NE(root, nullptr);
        auto* result = static_cast<VOKR_OBJECT*>(root->create_child_object(0));
        result->set_type(VOKR_TYPE_RESULT);
        static_cast<VOKR_OBJECT*>(result->create_child_object(0))->set_name(name);
        auto* flow = dynamic_cast<VOKR_STATE_MACHINE_OBJECT*>(trigger->get_state_machine_object());
        ASSERT_NE(flow, nullptr);
        flow->set_unified_state_text("state " + name + ":\ntrigger;");
        ASSERT_TRUE(session.save_session(path.c_str())) << session.get_last_error();
    }
    KSM_TX_SESSION reopened(new VOKR_SESSION_OBJECT, true);
    const bool opened = reopened.open_session(path.c_str());
    QTextCodec::setCodecForLocale(local);
    ASSERT_TRUE(opened) << reopened.get_last_error();
    KSM_TX_TRIGGER* trigger = reopened.get_trigger_at(0);
    auto* root = dynamic_cast<VOKR_TRIGGER_OBJECT*>(trigger->get_advanced_root(0));
    ASSERT_TRUE(root && root->get_child_count() == 1);
    auto* result = static_cast<VOKR_OBJECT*>(root->get_child_object(0));
    ASSERT_EQ(result->get_child_count(), 1);
    QString read_name;
    result->get_children()[0]->get_string_property_text(VOKR_STRING_NAME, &read_name, VOKR_BANK_NORMAL);
    EXPECT_EQ(read_name, name);
    auto* flow = dynamic_cast<VOKR_STATE_MACHINE_OBJECT*>(trigger->get_state_machine_object());
    ASSERT_NE(flow, nullptr);
    QString state;
    flow->get_state_name(0, &state);
    EXPECT_EQ(state, name);
}

// ---- the box -------------------------------------------------------------------------------------

TEST(Box, DrawKindFollowsTypeAndOperatorProperties)
{
    const struct {
        const char* box;
        int kind;
        const char* name;
    } rows[] = {
        {"compare[signed_comparison=Signed Comparison;comparison=Greater Than]", 41, "Variable Signed Greater Than"},
        {"compare[configurable=1;comparison=False]", 19, "Constant Unsigned False"},
        {"compare", 0, "Unknown"},  // with comparison 8 (below)
        {"bit[configurable=1;bit_value=False]", 7, "Constant Low"},
        {"bit", 8, "Variable High"},
        {"bitwise[bitwise=Bitwise Xor]", 47, "Bitwise Xor"},
        {"shift[shift_type=Rotate;shift_direction=Right]", 58, "Rotate Right Shift"},
        {"counter[counter_hold=No]", 65, "Dynamic Event Counter"},
        {"hdl", 67, "Custom Trigger HDL"},
    };
    for (const auto& row : rows) {
        DIAGRAM d;
        VOKR_OBJECT* box = d.make(row.box);
        if (row.kind == 0)
            box->get_property().set(VOKR_INT_COMPARISON, 8, VOKR_BANK_CURRENT);
        EXPECT_EQ(box->get_draw_kind(), row.kind) << row.name;
        EXPECT_STREQ(vokr_kind_name(box->get_draw_kind()), row.name);
    }
}

TEST(Box, WidthsFlowThroughTheTree)
{
    DIAGRAM d;
    VOKR_OBJECT* bus = d.make("bus('a','b',bus('c','d','e','f'))");
    EXPECT_EQ(bus->get_output_width(false), 6);
    bus->attach(d.make("#1"), false);
    EXPECT_EQ(bus->get_output_width(false), VOKR_WIDTH_UNKNOWN);

    // Values under a bitwise operator take the width of the comparison's other operand.
    VOKR_OBJECT* c = d.make("result(compare(bitwise(#1,#2),bus*8))")->get_children()[0];
    VOKR_OBJECT* x = c->get_children()[0];
    for (VOKR_OBJECT* value : x->get_children()) {
        EXPECT_EQ(value->get_output_width(true), 8);
        EXPECT_EQ(value->get_output_width(false), VOKR_WIDTH_UNKNOWN);
    }
    EXPECT_EQ(x->get_input_width(), 8);
    EXPECT_EQ(c->get_input_width(), 8);
}

TEST(Box, PortsAcceptTheirSignalKinds)
{
    DIAGRAM d;
    VOKR_OBJECT* bus = d.make("bus('a')");
    VOKR_OBJECT* node = d.make("'n'");
    EXPECT_TRUE(d.make("result")->can_connect(node));
    EXPECT_FALSE(d.make("result")->can_connect(bus));
    EXPECT_TRUE(bus->can_connect(node));  // unbounded bus inputs take single bits
    EXPECT_TRUE(d.make("eld")->can_connect(bus));
    EXPECT_FALSE(node->can_connect(bus));
    EXPECT_TRUE(node->can_connect(nullptr));  // a top box
    VOKR_OBJECT* comparison = d.make("compare(bus('x'),bus('y'),bus('z'))");
    EXPECT_FALSE(comparison->can_connect(node));
    EXPECT_TRUE(comparison->can_connect(comparison->get_children()[1]));
    EXPECT_FALSE(comparison->can_connect(comparison->get_children()[2]));
    EXPECT_FALSE(comparison->are_inputs_connectable());
}

TEST(Box, LinksKeepTheFirstPortMark)
{
    DIAGRAM d;
    VOKR_OBJECT* c = d.make("compare[top=100](bus('a'),bus('b'))");  // centre 150
    VOKR_OBJECT* first = c->get_children()[0];
    VOKR_OBJECT* second = c->get_children()[1];
    c->detach(first);
    EXPECT_EQ(c->get_property()[VOKR_INT_FIRST_PORT_EMPTY], 1);
    EXPECT_EQ(c->get_children(), QList<VOKR_OBJECT*>{second});
    EXPECT_EQ(first->get_parent(), nullptr);

    // A lone child whose centre (top + 10) lies below the box's centre sits on the second port.
    for (const auto& [top, mark] : {std::pair{150, 1}, std::pair{120, 0}}) {
        VOKR_OBJECT* lone = d.make("compare[top=100]");
        VOKR_OBJECT* child = d.make("bus('c')");
        child->set_position(0, top);
        lone->attach(child, true);
        EXPECT_EQ(lone->get_property()[VOKR_INT_FIRST_PORT_EMPTY], mark) << top;
        EXPECT_EQ(child->get_parent(), lone);
    }

    // Attaching with placement sorts by top; attaching moves a child from its old parent.
    VOKR_OBJECT* low = d.make("node[name=low;top=90]");
    VOKR_OBJECT* high = d.make("node[name=high;top=10]");
    VOKR_OBJECT* bus = d.make("bus");
    bus->attach(low, true);
    bus->attach(high, true);
    EXPECT_EQ(bus->get_children(), (QList<VOKR_OBJECT*>{high, low}));
    c->attach(high, false);
    EXPECT_EQ(bus->get_children(), QList<VOKR_OBJECT*>{low});
    EXPECT_EQ(high->get_root(), c);
}

TEST(Box, DestroyingABoxLeavesItsChildrenAlive)
{
    DIAGRAM d;
    VOKR_OBJECT* result = d.make("result");
    auto bus = std::make_unique<VOKR_OBJECT>(nullptr, QPoint(0, 0), nullptr);
    bus->set_type(VOKR_TYPE_BUS);
    result->attach(bus.get(), false);
    VOKR_OBJECT* a = d.make("'a'");
    bus->attach(a, false);
    bus.reset();
    EXPECT_EQ(a->get_parent(), nullptr);
    EXPECT_TRUE(result->get_children().isEmpty());
}

TEST(Box, PaletteEntriesSetTheKind)
{
    auto box = make_box();
    box->set_type_by_name("Right Shift");
    EXPECT_EQ(box->get_type(), VOKR_TYPE_SHIFT);
    EXPECT_EQ(box->get_property()[VOKR_INT_SHIFT_TYPE], 0);
    EXPECT_EQ(box->get_property()[VOKR_INT_SHIFT_DIRECTION], 1);
    box->set_type_by_name("Shift");
    box->set_library_item(VOKR_LIBRARY_ITEM_COUNT);
    EXPECT_EQ(box->get_draw_kind(), VOKR_KIND_SHIFT + 1);
    for (int index = 0; index < VOKR_LIBRARY_ITEM_COUNT; ++index) {
        box->set_library_item(index);
        EXPECT_NE(box->get_draw_kind(), VOKR_KIND_UNKNOWN) << vokr_library_item_names[index];
    }
}

class BoxView : public manager_test::MANAGER_TEST {};

// A canvas's box follows the view of the manager's current instance.
TEST_F(BoxView, PowerUpViewComesFromTheContext)
{
    EXPECT_FALSE(make_box()->is_power_up_view());
    EXPECT_TRUE(make_box(VOKR_OBJECT::power_up_view_marker())->is_power_up_view());
    EXPECT_FALSE(make_box(VOKR_OBJECT::normal_view_marker())->is_power_up_view());
    manager_test::EDITOR editor(false);
    VOKR_OBJECT_WIDGET canvas(nullptr, editor.get());
    auto box = make_box(&canvas);
    EXPECT_EQ(box->get_canvas(), &canvas);
    EXPECT_FALSE(box->is_power_up_view());
    ASSERT_TRUE(editor->get_session()->set_power_up_trigger_mode(0, true));
    editor->set_instance(1);
    EXPECT_TRUE(box->is_power_up_view());
    editor->set_instance(0);
    EXPECT_FALSE(box->is_power_up_view());
}

// ---- parameter texts -------------------------------------------------------------------------------

TEST(BoxTexts, DelaysAndPipelines)
{
    DIAGRAM d;
    VOKR_OBJECT* bus = d.make("bus[data_delay=2]('n')");
    VOKR_OBJECT* n = bus->get_children()[0];
    EXPECT_EQ(n->get_data_delay(true), "2");
    EXPECT_EQ(n->get_data_delay(false), "");
    EXPECT_EQ(d.make("node[data_delay=0]")->get_data_delay(true), "");
    EXPECT_EQ(d.make("value[data_delay=5]")->get_data_delay(true), "");  // not a value's parameter
    EXPECT_EQ(d.make("eld[pipeline_length=0]")->get_pipeline(), "");
    EXPECT_EQ(d.make("eld[pipeline_length=4]")->get_pipeline(), "4");
    EXPECT_EQ(n->get_height(), 20);
    EXPECT_EQ(bus->get_height(), 33);
}

TEST(BoxTexts, CounterTexts)
{
    const struct {
        const char* max;
        const char* value;
        const char* width;
        const char* text;
        uint32_t code;
    } rows[] = {
        {"255", "3", "8", "3", VOKR_ELEMENT_OK},
        {"256", "3", "9", "3", VOKR_ELEMENT_OK},
        {"0", "5", "1", "1", VOKR_ELEMENT_COUNTER_OVER_MAX},
        {"1", "1", "1", "1", VOKR_ELEMENT_OK},
        {"255", "300", "8", "255", VOKR_ELEMENT_COUNTER_OVER_MAX},
        {"255", "0", "8", "1", VOKR_ELEMENT_COUNTER_VALUE},
        {"255", "", "8", "", VOKR_ELEMENT_OK},
        {"2147483647", "3", "31", "3", VOKR_ELEMENT_OK},
        {"2147483646", "3", "31", "3", VOKR_ELEMENT_OK},
        {"1073741823", "3", "30", "3", VOKR_ELEMENT_OK},
    };
    for (const auto& row : rows) {
        DIAGRAM d;
        VOKR_OBJECT* counter =
            d.make(std::string("counter[max_counter_value=") + row.max + ";counter_value=" + row.value + "]");
        uint32_t code = VOKR_ELEMENT_OK;
        VOKR_OBJECT* at = nullptr;
        EXPECT_EQ(counter->get_counter_value(&code, &at), row.text) << row.max << "/" << row.value;
        EXPECT_EQ(code, row.code) << row.max << "/" << row.value;
        EXPECT_EQ(at, row.code ? counter : nullptr);
        EXPECT_EQ(counter->get_counter_width(), row.width) << row.max;
    }
    DIAGRAM d;
    VOKR_OBJECT* counter = d.make("counter[counter_hold=No]");
    EXPECT_EQ(counter->get_counter_type(), "e");
    EXPECT_EQ(counter->get_counter_hold(), "0");
}

TEST(BoxTexts, ShiftTexts)
{
    DIAGRAM d;
    VOKR_OBJECT* shift = d.make("shift[shift_distance=12;shift_type=Arithmetic;shift_direction=Right]");
    EXPECT_EQ(shift->get_shift_type(), "arithmetic");
    EXPECT_EQ(shift->get_shift_direction(), "right");
    EXPECT_EQ(shift->get_shift_distance(), "12");  // input width unknown
    shift->attach(d.make("bus*8"), false);
    EXPECT_EQ(shift->get_shift_distance(), "8");
    shift->set_attribute("shift_distance", "-3");
    EXPECT_EQ(shift->get_shift_distance(), "0");
}

// ---- session and trigger objects ---------------------------------------------------------------------

TEST(TreeObjects, SessionShowsItsTriggersOnly)
{
    VOKR_SESSION_OBJECT session;
    KSM_TX_TREE_OBJECT* first = session.create_child_object(KSM_TREE_KIND_TRIGGER);
    KSM_TX_TREE_OBJECT* flow = session.create_child_object(KSM_TREE_KIND_STATE_MACHINE);
    session.create_child_object(KSM_TREE_KIND_TRIGGER);
    EXPECT_EQ(session.get_child_count(), 2);
    EXPECT_EQ(session.get_child_object(0), first);
    EXPECT_FALSE(session.delete_child_object(flow));
    EXPECT_TRUE(session.delete_child_object(first));
    EXPECT_EQ(session.get_child_count(), 1);
}

TEST(TreeObjects, TriggerShowsItsTopLevelBoxes)
{
    DIAGRAM d;
    EXPECT_TRUE(d.trigger.duplicate_trigger(true));  // no boxes
    VOKR_OBJECT* r = d.make("result(logical('x','y'))");
    VOKR_OBJECT* a = r->get_children()[0];
    EXPECT_EQ(d.trigger.get_object_array()->size(), 4);
    EXPECT_EQ(d.trigger.get_child_count(), 1);
    EXPECT_EQ(d.trigger.get_child_object(0), r);
    EXPECT_EQ(d.trigger.get_child_object(1), nullptr);
    EXPECT_EQ(r->get_child_object(0), a);
    EXPECT_EQ(a->get_trigger(), &d.trigger);

    // Snapshots are the trigger's to delete.
    d.trigger.get_undo_list()->append(new QList<VOKR_OBJECT*>{make_box().release()});
}

bool parses(const std::string& text)
{
    RUV_ADVANCED_TRIGGER_FACTORY factory;
    return factory.parse(text);
}

TEST(TreeObjects, EquationOfTheResultBox)
{
    std::string text = "stale";
    KSM_DATA_MNEMONICS* no_tables = nullptr;
    {
        DIAGRAM d;
        d.make("'a'");
        EXPECT_FALSE(d.trigger.get_equation(&text, no_tables, nullptr, 1, false));  // no result box
        EXPECT_EQ(text, "");
        VOKR_OBJECT* r = d.make("result");
        EXPECT_FALSE(d.trigger.get_equation(&text, no_tables, nullptr, 1, false));  // unwired
        EXPECT_EQ(text, "");
        r->attach(d.make("'b'"), false);
        EXPECT_TRUE(d.trigger.get_equation(&text, no_tables, nullptr, 1, false));
        EXPECT_EQ(text, "'b'");
        EXPECT_TRUE(parses(text));
    }
    // The power-up flag reads the power-up values, and the boxes stay in that bank.
    DIAGRAM d;
    VOKR_OBJECT* c = d.make(
                          "result(compare[comparison=Less Than;powerup_comparison=Greater Than]"
                          "(bus('a','b'),value[bus_value=1;powerup_bus_value=2]))")
                         ->get_children()[0];
    VOKR_OBJECT* v = c->get_children()[1];
    d.make("result");
    EXPECT_FALSE(d.trigger.get_equation(&text, no_tables, nullptr, 1, true));  // the last result box is unwired
    d.trigger.get_object_array()->move(0, d.trigger.get_object_array()->size() - 1);
    EXPECT_TRUE(d.trigger.get_equation(&text, no_tables, nullptr, 1, true));
    EXPECT_EQ(text, "compare(variable(2),<,{'a','b'},vc,uc)");
    EXPECT_TRUE(parses(text));
    EXPECT_TRUE(v->is_power_up_view());
    EXPECT_TRUE(d.trigger.get_equation(&text, no_tables, nullptr, 1, false));
    EXPECT_EQ(text, "compare(variable(1),>,{'a','b'},vc,uc)");
    EXPECT_TRUE(parses(text));
    EXPECT_FALSE(v->is_power_up_view());
}

// ---- internal errors ---------------------------------------------------------------------------------

TEST(TreeObjectsDeathTest, CallsOutsideTheContractEndTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    VOKR_PROPERTY orphan;
    EXPECT_DEATH(orphan.get_int_value(VOKR_INT_COMPARISON, VOKR_BANK_CURRENT), "this->m_parent != NULL");
    auto box = make_box();
    EXPECT_DEATH(box->generate_tree(nullptr), "factory != NULL");
    std::string text;
    EXPECT_DEATH(box->get_equation(&text, nullptr, nullptr, 1, false),
                 "get_equation\\(\\) should only be called on a VOKR_TRIGGER_OBJECT");
    VOKR_TRIGGER_OBJECT trigger;
    EXPECT_DEATH(trigger.delete_child_object(nullptr),
                 "delete_child_object\\(\\) should only be called on a VOKR_SESSION_OBJECT");
    // A factory without a tree (a refused text) leaves the box as it is.
    RUV_ADVANCED_TRIGGER_FACTORY refused;
    EXPECT_FALSE(refused.parse("and("));
    box->generate_tree(&refused);
    EXPECT_EQ(box->get_child_count(), 0);
}

}  // namespace
