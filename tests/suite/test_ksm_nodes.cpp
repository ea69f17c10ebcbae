// Node lists of the repository: structure edits, tree queries and conditions.
#include "ksm_state.h"
#include "ksm_test_session.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sstream>

namespace {

// The whole list, one "name:display type:depth" word per row.
std::string dump(const KSM_TX_SIGNAL_NODES& list)
{
    std::ostringstream out;
    for (int i = 0; i < list.get_num_nodes(); ++i)
        out << (i ? " " : "") << list.get_node_name(i) << ':' << list.get_display_type(i) << ':' << list.get_depth(i);
    return out.str();
}

void add(KSM_TX_SIGNAL_NODES* list, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        ASSERT_TRUE(list->insert_node(n, KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false)) << n;
}

int count_selected(const KSM_TX_SIGNAL_NODES& list)
{
    int selected = 0;
    for (int i = 0; i < list.get_num_nodes(); ++i)
        selected += list.is_selected(i);
    return selected;
}

void select(KSM_TX_SIGNAL_NODES* list, std::initializer_list<int> rows)
{
    for (int i = 0; i < list->get_num_nodes(); ++i)
        list->set_selected(i, false);
    for (int r : rows)
        list->set_selected(r, true);
}

// A list a b c d e with the group "Group 1" around b c d: a G(b c d) e.
void grouped(KSM_TX_SIGNAL_NODES* list)
{
    add(list, {"a", "b", "c", "d", "e"});
    ASSERT_TRUE(list->group_nodes(1, 3));
}

// Nested: a G2(G1(b c) d) e.
void nested(KSM_TX_SIGNAL_NODES* list)
{
    add(list, {"a", "b", "c", "d", "e"});
    ASSERT_TRUE(list->group_nodes(1, 2));
    ASSERT_TRUE(list->group_nodes(1, 4));
}

struct EDIT_CASE {
    const char* what;
    std::function<void(KSM_TX_SIGNAL_NODES*)> setup;
    std::function<long long(KSM_TX_SIGNAL_NODES*)> edit;
    long long result;
    const char* expected;
    const char* other = nullptr;  // the list not edited, when it differs (a row's own flags)
};

void PrintTo(const EDIT_CASE& c, std::ostream* out) { *out << c.what; }

class NodeListEdits : public ::testing::TestWithParam<EDIT_CASE> {};

// A first-generation session keeps the data list and the trigger list row for row in step,
// whichever of the two is edited.
TEST_P(NodeListEdits, GiveTheWholeExpectedListInBothLists)
{
    for (bool edit_data_list : {false, true}) {
        SCOPED_TRACE(edit_data_list ? "data list edited" : "trigger list edited");
        auto session = make_test_session();
        KSM_TX_SIGNAL_NODES* trigger = session->get_trigger_at(0);
        KSM_TX_SIGNAL_NODES* data = session->get_signal_set_at(0);
        KSM_TX_SIGNAL_NODES* list = edit_data_list ? data : trigger;
        GetParam().setup(list);
        const std::string before = dump(*list);
        for (const KSM_TX_SIGNAL_NODES* l : {trigger, data})
            l->get_num_selected_nodes();  // the counts are kept from here on
        EXPECT_EQ(GetParam().edit(list), GetParam().result);
        const char* other = GetParam().other ? GetParam().other : GetParam().expected;
        EXPECT_EQ(dump(*list), GetParam().expected) << "before: " << before;
        EXPECT_EQ(dump(edit_data_list ? *trigger : *data), other) << "before: " << before;
        for (const KSM_TX_SIGNAL_NODES* l : {trigger, data})
            EXPECT_EQ(l->get_num_selected_nodes(), count_selected(*l));
    }
}

const EDIT_CASE EDIT_CASES[] = {
    {"group a range",
     [](auto* l) {
         add(l, {"a", "b", "c"});
     },
     [](auto* l) { return l->group_nodes(0, 1); }, 1, "Group 1:1:0 a:3:1 b:4:1 c:0:0"},
    {"group the selection",
     [](auto* l) {
         add(l, {"a", "b", "c"});
         select(l, {1, 2});
     },
     [](auto* l) { return l->group_selected_nodes(); }, 1, "a:0:0 Group 1:1:0 b:3:1 c:4:1"},
    {"a gap in the selection cannot be grouped",
     [](auto* l) {
         add(l, {"a", "b", "c"});
         select(l, {0, 2});
     },
     [](auto* l) { return l->group_selected_nodes(); }, 0, "a:0:0 b:0:0 c:0:0"},
    {"a range across a group boundary cannot be grouped", grouped, [](auto* l) { return l->group_nodes(3, 5); }, 0,
     "a:0:0 Group 1:1:0 b:3:1 c:3:1 d:4:1 e:0:0"},
    {"group inside a group nests", grouped, [](auto* l) { return l->group_nodes(2, 3); }, 1,
     "a:0:0 Group 1:1:0 Group 2:1:1 b:3:2 c:4:2 d:4:1 e:0:0"},
    {"ungroup lifts the members", grouped, [](auto* l) { return l->ungroup_node(1); }, 1,
     "a:0:0 b:0:0 c:0:0 d:0:0 e:0:0"},
    {"ungroup the outer of nested groups", nested, [](auto* l) { return l->ungroup_node(1); }, 1,
     "a:0:0 Group 1:1:0 b:3:1 c:4:1 d:0:0 e:0:0"},
    {"ungroup a plain row is refused", grouped, [](auto* l) { return l->ungroup_node(0); }, 0,
     "a:0:0 Group 1:1:0 b:3:1 c:3:1 d:4:1 e:0:0"},
    {"move a row into a group", grouped, [](auto* l) { return l->move_nodes(0, 0, 3, true); }, 2,
     "Group 1:1:0 b:3:1 a:3:1 c:3:1 d:4:1 e:0:0"},
    {"move a member out of its group to the top level", grouped, [](auto* l) { return l->move_nodes(3, 3, 5, false); },
     4, "a:0:0 Group 1:1:0 b:3:1 d:4:1 c:0:0 e:0:0"},
    {"move a member to the end of the list", grouped, [](auto* l) { return l->move_nodes(2, 2, 6, false); }, 5,
     "a:0:0 Group 1:1:0 c:3:1 d:4:1 e:0:0 b:0:0"},
    {"move a whole group with its members", grouped, [](auto* l) { return l->move_nodes(1, 1, 0, false); }, 0,
     "Group 1:1:0 b:3:1 c:3:1 d:4:1 a:0:0 e:0:0"},
    {"move a group into another group", nested, [](auto* l) { return l->move_nodes(2, 2, 6, true); }, 3,
     "a:0:0 Group 2:1:0 d:3:1 Group 1:1:1 b:3:2 c:4:2 e:0:0"},
    {"move at the top level before a member is refused", grouped, [](auto* l) { return l->move_nodes(0, 0, 3, false); },
     -1, "a:0:0 Group 1:1:0 b:3:1 c:3:1 d:4:1 e:0:0"},
    {"move a group into itself is refused", nested, [](auto* l) { return l->move_nodes(1, 1, 3, true); }, -1,
     "a:0:0 Group 2:1:0 Group 1:1:1 b:3:2 c:4:2 d:4:1 e:0:0"},
    {"move the selection keeps its order",
     [](auto* l) {
         add(l, {"a", "b", "c", "d"});
         select(l, {0, 2});
     },
     [](auto* l) { return l->move_selected_nodes(4, false); }, 2, "b:0:0 d:0:0 a:0:0 c:0:0"},
    {"copy a member to the top level", grouped, [](auto* l) { return l->copy_nodes(2, 2, 0, false); }, 0,
     "b:0:0 a:0:0 Group 1:1:0 b:3:1 c:3:1 d:4:1 e:0:0"},
    {"copy a group into itself copies its rows", grouped, [](auto* l) { return l->copy_nodes(1, 1, 4, true); }, 4,
     "a:0:0 Group 1:1:0 b:3:1 c:3:1 Group 1:1:1 b:3:2 c:3:2 d:4:2 d:4:1 e:0:0"},
    {"copy the selection into a group",
     [](auto* l) {
         grouped(l);
         select(l, {0, 5});
     },
     [](auto* l) { return l->copy_selected_nodes(2, true); }, 2,
     "a:0:0 Group 1:1:0 a:3:1 e:3:1 b:3:1 c:3:1 d:4:1 e:0:0"},
    {"delete a range takes subtrees", grouped, [](auto* l) { return l->delete_nodes(1, 1); }, 4, "a:0:0 e:0:0"},
    {"delete the selection",
     [](auto* l) {
         nested(l);
         select(l, {0, 2, 5});
     },
     [](auto* l) { return l->delete_selected_nodes(); }, 5, "Group 2:1:0 e:0:0"},
    {"delete by name", grouped, [](auto* l) { return l->delete_node("c"); }, 1, "a:0:0 Group 1:1:0 b:3:1 d:4:1 e:0:0"},
    {"delete nothing selected", grouped, [](auto* l) { return l->delete_selected_nodes(); }, 0,
     "a:0:0 Group 1:1:0 b:3:1 c:3:1 d:4:1 e:0:0"},
    {"collapse a group", grouped, [](auto* l) { return l->toggle_node(1); }, 1,
     "a:0:0 Group 1:2:0 b:3:1 c:3:1 d:4:1 e:0:0", "a:0:0 Group 1:1:0 b:3:1 c:3:1 d:4:1 e:0:0"},
};

INSTANTIATE_TEST_SUITE_P(Repository, NodeListEdits, ::testing::ValuesIn(EDIT_CASES), [](const auto& info) {
    std::string name;
    for (const char* p = info.param.what; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
});

TEST(NodeListQueries, TreeOfNestedGroups)
{
    auto session = make_test_session();
    KSM_TX_TRIGGER* l = session->get_trigger_at(0);
    nested(l);  // 0 a, 1 G2, 2 G1, 3 b, 4 c, 5 d, 6 e
    EXPECT_EQ(l->get_parent_index(3), 2);
    EXPECT_EQ(l->get_parent_index(2), 1);
    EXPECT_EQ(l->get_parent_index(1), -1);
    EXPECT_EQ(l->get_last_child_index(1), 5);
    EXPECT_EQ(l->get_last_child_index(2), 4);
    std::vector<int> children;
    l->get_direct_children(1, &children);
    EXPECT_EQ(children, (std::vector<int>{2, 5}));
    EXPECT_EQ(l->get_num_leaf_children(1), 3);
    EXPECT_TRUE(l->has_nested_groups());
    EXPECT_TRUE(l->is_grandparent(1));
    EXPECT_FALSE(l->is_grandparent(2));
    EXPECT_TRUE(l->is_descendant(1, 4));
    EXPECT_FALSE(l->is_descendant(2, 5));
    EXPECT_TRUE(l->is_last_child(4));
    EXPECT_TRUE(l->is_last_child(5));
    EXPECT_FALSE(l->is_last_child(3));
    EXPECT_TRUE(l->has_children(2));
    EXPECT_FALSE(l->has_children(3));
    l->toggle_node(1);
    EXPECT_FALSE(l->is_parent_visible(2));
    EXPECT_TRUE(l->is_parent_visible(3));
    EXPECT_TRUE(l->is_any_parent_not_visible(3));
    EXPECT_FALSE(l->is_any_parent_not_visible(6));
    select(l, {2});
    EXPECT_TRUE(l->is_invalid_index_for_drop(3, true));  // inside the selected group
    EXPECT_FALSE(l->is_invalid_index_for_drop(6, false));
    EXPECT_TRUE(l->is_invalid_index_for_drop(5, false));   // a member's place, at the top level
    EXPECT_FALSE(l->is_invalid_index_for_drop(7, false));  // the end
}

// The Storage Enable header counts the ticked leaves of the qualifiers that listen to nodes.
TEST(NodeListQueries, StorageQualifierNodesAreTheStorageEnabledLeaves)
{
    auto session = make_test_session();
    KSM_TX_TRIGGER* l = session->get_trigger_at(0);
    nested(l);  // 0 a, 1 G2, 2 G1, 3 b, 4 c, 5 d, 6 e: five leaves, all storage-enabled
    ASSERT_TRUE(l->set_storage_enabled(4, false));
    const struct {
        KSM_DATA_STORAGE_QUALIFIER_TYPE type;
        int used;
    } cases[] = {{KSM_SQTYPE_CONTINUOUS, 0},   {KSM_SQTYPE_CONDITIONAL, 4}, {KSM_SQTYPE_START_STOP, 4},
                 {KSM_SQTYPE_TRANSITIONAL, 4}, {KSM_SQTYPE_STATE_BASED, 0}, {KSM_SQTYPE_INPUT_PORT, 0}};
    for (const auto& c : cases) {
        ASSERT_TRUE(l->set_storage_qualifier_type(c.type));
        EXPECT_EQ(l->get_storage_qualifier_nodes_used(), c.used) << "type " << c.type;
    }
}

TEST(NodeListRows, NamesAliasesAndLimits)
{
    auto session = make_test_session();
    KSM_TX_TRIGGER* l = session->get_trigger_at(0);
    add(l, {"clk", "d0"});
    EXPECT_FALSE(l->insert_node("clk", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false));
    EXPECT_TRUE(l->insert_node("clk", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, true));
    EXPECT_TRUE(l->set_node_alias(0, "fast"));
    EXPECT_FALSE(l->set_node_alias(1, "fast"));
    EXPECT_TRUE(l->set_node_alias(1, "fast (1)"));
    EXPECT_TRUE(l->set_node_alias(0, ""));
    EXPECT_TRUE(l->set_node_alias(1, "fast"));  // free again
    EXPECT_FALSE(l->rename_node(1, "clk"));
    EXPECT_TRUE(l->rename_node(1, "d1"));
    EXPECT_EQ(l->find_node("d1"), 1);
    EXPECT_FALSE(l->set_node_alias(99, "x"));

    auto other = make_test_session();
    KSM_TX_TRIGGER* full = other->get_trigger_at(0);
    for (int i = 0; i < KSM_MAX_NODES; ++i)
        ASSERT_TRUE(
            full->insert_node(("n" + std::to_string(i)).c_str(), KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false));
    EXPECT_FALSE(full->insert_node("one more", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false));
    EXPECT_TRUE(full->group_nodes(0, KSM_MAX_NODES - 1));  // a group row is not a node
    EXPECT_EQ(full->copy_nodes(1, 1, 2, true), -1);
}

// An insertion refuses a name only while a row holds it, whatever edit came between: renames,
// deletions, undo and redo of insertions, and a list filled up to the node limit.
TEST(NodeListRows, InsertionSeesTheNamesAfterEveryEdit)
{
    using EDIT = std::function<void(KSM_TX_SIGNAL_NODES*, KSM_TX_INSTANCE*)>;
    const struct {
        const char* what;
        EDIT edit;
        const char* name;
        bool inserted;
    } cases[] = {
        {"renamed away", [](auto* l, auto*) { l->rename_node(0, "clk2"); }, "clk", true},
        {"renamed to", [](auto* l, auto*) { l->rename_node(1, "new"); }, "new", false},
        {"deleted", [](auto* l, auto*) { l->delete_nodes(0, 0); }, "clk", true},
        {"insertion undone",
         [](auto* l, auto* i) {
             i->begin_action();
             l->insert_node("late", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false);
             i->end_action();
             i->undo();
         },
         "late", true},
        {"insertion redone",
         [](auto* l, auto* i) {
             i->begin_action();
             l->insert_node("late", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false);
             i->end_action();
             i->undo();
             i->redo();
         },
         "late", false},
        {"grouped", [](auto* l, auto*) { l->group_nodes(0, 1); }, "d0", false},
    };
    for (const auto& c : cases) {
        auto session = make_test_session();
        KSM_TX_TRIGGER* l = session->get_trigger_at(0);
        add(l, {"clk", "d0"});
        c.edit(l, session->get_instance_at(0));
        EXPECT_EQ(l->insert_node(c.name, KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false), c.inserted) << c.what;
        EXPECT_GE(l->find_node(c.name), 0) << c.what;
    }
}

// A data list's channels, its selected count and its input counts, asked after every step so
// that each edit follows a count of them (an edit of other fields keeps them), follow the edits:
// group rows and rows that capture no data have no channel; undo brings the old ones.
TEST(NodeListRows, ChannelsAndSelectedCountFollowEveryEdit)
{
    auto session = make_test_session();
    KSM_TX_SIGNAL_SET* set = session->get_signal_set_at(0);
    KSM_TX_INSTANCE* instance = session->get_instance_at(0);
    add(set, {"a", "b", "c", "d"});
    const struct {
        const char* what;
        std::function<void()> edit;
        std::vector<int> channels;  // per row
    } steps[] = {
        {"inserted", [] {}, {0, 1, 2, 3}},
        {"grouped", [&] { set->group_nodes(1, 2); }, {0, -1, 1, 2, 3}},
        {"trigger only",
         [&] {
             instance->begin_action();
             set->set_node_use(0, KSM_CAPTURE_TRIGGER);
             instance->end_action();
         },
         {-1, -1, 0, 1, 2}},
        {"undone", [&] { instance->undo(); }, {0, -1, 1, 2, 3}},
        {"condition and name",
         [&] {
             instance->begin_action();
             set->set_trigger_condition(3, 0, KSM_CTYPE_HIGH);
             set->rename_node(3, "c2");
             instance->end_action();
         },
         {0, -1, 1, 2, 3}},
        {"trigger only outside a unit", [&] { set->set_node_use(4, KSM_CAPTURE_TRIGGER); }, {0, -1, 1, 2, -1}},
        {"data again", [&] { set->set_node_use(4, KSM_CAPTURE_BOTH); }, {0, -1, 1, 2, 3}},
        {"deleted", [&] { set->delete_nodes(2, 2); }, {0, -1, 1, 2}},
        {"appended", [&] { add(set, {"e"}); }, {0, -1, 1, 2, 3}},
        {"selected",
         [&] {
             instance->begin_action();
             select(set, {0, 2, 3});
             instance->end_action();
         },
         {0, -1, 1, 2, 3}},
        {"selection undone", [&] { instance->undo(); }, {0, -1, 1, 2, 3}},
        {"selection redone", [&] { instance->redo(); }, {0, -1, 1, 2, 3}},
        {"selected deleted", [&] { set->delete_selected_nodes(); }, {-1, 0}},
    };
    for (const auto& step : steps) {
        step.edit();
        std::vector<int> channels;
        for (int row = 0; row < set->get_num_nodes(); ++row)
            channels.push_back(set->get_channel(row));
        EXPECT_EQ(channels, step.channels) << step.what;
        EXPECT_EQ(set->get_num_selected_nodes(), count_selected(*set)) << step.what;
        int trigger_inputs = 0;
        for (int row = 0; row < set->get_num_nodes(); ++row) {
            const KSM_DATA_NODE_DISPLAY_TYPE type = set->get_display_type(row);
            const KSM_DATA_WIRE_CAPTURE_TYPE use = set->get_node_use(row);
            trigger_inputs += type != KSM_NTYPE_GROUP_EXPANDED && type != KSM_NTYPE_GROUP_COLLAPSED &&
                              (use == KSM_CAPTURE_TRIGGER || use == KSM_CAPTURE_BOTH);
        }
        EXPECT_EQ(set->get_data_input_count(), int(channels.size() - std::count(channels.begin(), channels.end(), -1)))
            << step.what;
        EXPECT_EQ(set->get_trigger_input_count(), trigger_inputs) << step.what;
        for (int row = 0; row < set->get_num_nodes(); ++row)
            EXPECT_FALSE(set->insert_node(set->get_node_name(row), KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false))
                << step.what << " " << row;
    }
}

// The rows of a list against a vector: random insertions, erasures, appends, replaced rows and
// whole new rows, every other one made on a table copied before, give the rows and outlines the
// vector holds, while every copy keeps the rows it had and only a change of shape gives a new
// shape stamp.
TEST(NodeListRows, RowTableKeepsWhatAVectorKeeps)
{
    using POINTER = KSM_ROW_TABLE::POINTER;
    std::mt19937 random(75);
    const auto pick = [&random](size_t below) { return size_t(random() % std::max<size_t>(below, 1)); };
    const auto row = [&pick] {
        auto r = std::make_shared<KSM_TX_SIGNAL_NODES::ROW>();
        r->depth = int(pick(3)), r->group = pick(2), r->expanded = pick(2), r->use = int(pick(4));
        return r;
    };
    const auto rows = [&](size_t count) {
        std::vector<POINTER> made;
        while (made.size() < count)
            made.push_back(row());
        return made;
    };
    const auto expect_holds = [](const KSM_ROW_TABLE& table, const std::vector<POINTER>& expected) {
        ASSERT_EQ(table.size(), expected.size());
        ASSERT_TRUE(table.to_vector() == expected);
        std::vector<KSM_ROW_OUTLINE> outline;
        table.outline(&outline);
        for (size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(table[i], expected[i]) << i;
            ASSERT_EQ(outline[i].depth, expected[i]->depth) << i;
            ASSERT_EQ(outline[i].expanded, expected[i]->expanded) << i;
            ASSERT_EQ(outline[i].use, expected[i]->use) << i;
        }
    };
    KSM_ROW_TABLE table;
    std::vector<POINTER> model;
    std::vector<std::pair<KSM_ROW_TABLE, std::vector<POINTER>>> kept;
    size_t most = 0;
    for (int step = 0; step < 4000; ++step) {
        const KSM_ROW_TABLE before = step % 2 ? table : KSM_ROW_TABLE();
        const size_t at = pick(model.size() + 1), count = 1 + pick(step % 7 ? 8 : 150);
        const size_t end = std::min(model.size(), at + count);
        bool reshaped = true;
        switch (model.size() > 5000 ? 1 : step % 1000 == 999 ? 4 : pick(4)) {
        case 0: {
            std::vector<POINTER> added = rows(count);
            model.insert(model.begin() + long(at), added.begin(), added.end());
            table.insert(at, std::move(added));
            break;
        }
        case 1:
            model.erase(model.begin() + long(at), model.begin() + long(end));
            table.erase(at, end);
            reshaped = at < end;
            break;
        case 2:
            model.push_back(row());
            table.push_back(model.back());
            break;
        case 3:
            for (size_t i = at; i < end; ++i) {
                const auto changed = std::make_shared<KSM_TX_SIGNAL_NODES::ROW>(*model[i]);
                changed->expanded = !changed->expanded, changed->use = int(pick(4));
                table.edit(i) = model[i] = changed;
            }
            EXPECT_EQ(step % 2 ? before.differing_rows(table).size() : end - at, end - at);
            reshaped = false;
            break;
        default: model = rows(pick(300)); table.assign(model);
        }
        EXPECT_TRUE(step % 2 == 0 || (table.shape_stamp() != before.shape_stamp()) == reshaped) << step;
        ASSERT_NO_FATAL_FAILURE(expect_holds(table, model)) << step;
        if (step % 97 == 0)
            kept.emplace_back(table, model);
        most = std::max(most, model.size());
    }
    for (const auto& [copy, rows_then] : kept)
        ASSERT_NO_FATAL_FAILURE(expect_holds(copy, rows_then));
    EXPECT_GT(most, 2000u) << "rows in several branches at once";
}

TEST(NodeListRows, OnlyFirstGenerationListsInStepFollowEachOther)
{
    auto session = make_test_session();
    session->set_second_generation(false);
    session->get_trigger_at(0)->insert_node("a", KSM_STYPE_INPUT_PIN, KSM_TAP_POST_FITTING, false);
    ASSERT_EQ(session->get_signal_set_at(0)->get_num_nodes(), 1);
    EXPECT_STREQ(session->get_signal_set_at(0)->get_node_name(0), "a");
    session->set_second_generation(true);
    session->get_trigger_at(0)->insert_node("b", KSM_STYPE_INPUT_PIN, KSM_TAP_POST_FITTING, false);
    EXPECT_EQ(session->get_signal_set_at(0)->get_num_nodes(), 1);
    // Lists out of step are left to themselves, even in a first-generation session.
    session->set_second_generation(false);
    ASSERT_TRUE(session->get_trigger_at(0)->group_nodes(0, 1));
    EXPECT_EQ(dump(*session->get_signal_set_at(0)), "a:0:0");
}

TEST(NodeListConditions, LevelsPatternsAndBanks)
{
    auto session = make_test_session();
    KSM_TX_TRIGGER* t = session->get_trigger_at(0);
    add(t, {"a", "b"});
    t->set_num_levels(3);
    struct SETTING {
        int row, level, condition;
        bool power_up, pattern;
    };
    const SETTING settings[] = {
        {0, 0, KSM_CTYPE_HIGH, false, false},        {0, 2, KSM_CTYPE_RISING_EDGE, false, false},
        {1, 0, KSM_CTYPE_LOW, true, false},          {1, 1, KSM_CTYPE_EITHER_EDGE, true, false},
        {0, 0, KSM_CTYPE_FALLING_EDGE, false, true}, {1, 2, KSM_CTYPE_HIGH, true, true}};
    for (const SETTING& s : settings) {
        t->set_power_up_selection(s.power_up);
        const auto c = static_cast<KSM_DATA_TRIGGER_CONDITION>(s.condition);
        EXPECT_TRUE(s.pattern ? t->set_pattern_condition(s.row, s.level, c)
                              : t->set_trigger_condition(s.row, s.level, c));
    }
    for (const SETTING& s : settings) {
        t->set_power_up_selection(s.power_up);
        EXPECT_EQ(s.pattern ? t->get_pattern_condition(s.row, s.level) : t->get_trigger_condition(s.row, s.level),
                  s.condition);
        t->set_power_up_selection(!s.power_up);
        EXPECT_EQ(s.pattern ? t->get_pattern_condition(s.row, s.level) : t->get_trigger_condition(s.row, s.level),
                  KSM_CTYPE_DONT_CARE)
            << "the other bank is untouched";
    }
    t->set_power_up_selection(false);
    EXPECT_FALSE(t->set_trigger_condition(0, KSM_MAX_TRIGGER_LEVELS, KSM_CTYPE_HIGH));
    EXPECT_FALSE(t->set_pattern_condition(0, 3, KSM_CTYPE_HIGH));
    EXPECT_FALSE(t->set_trigger_condition(0, 0, KSM_CTYPE_COUNT));
}

TEST(NodeListConditions, ComparisonsAndClassifications)
{
    auto session = make_test_session();
    KSM_TX_TRIGGER* t = session->get_trigger_at(0);
    add(t, {"a", "b"});
    t->group_nodes(0, 1);
    EXPECT_TRUE(t->set_comparison_enabled(0, 0, true));
    EXPECT_TRUE(t->set_comparison_operand(0, 0, 1, KSM_CTYPE_COMPARE_GREATER_THAN));
    EXPECT_TRUE(t->set_comparison_operand(0, 0, 2, KSM_CTYPE_COMPARE_LESS_THAN));
    EXPECT_TRUE(t->set_comparison_value(0, 0, 1, -5));
    EXPECT_TRUE(t->set_comparison_value(0, 0, 2, 5));
    EXPECT_FALSE(t->set_comparison_operand(0, 0, 1, KSM_CTYPE_HIGH));
    EXPECT_FALSE(t->set_comparison_value(0, 0, 3, 1));
    EXPECT_TRUE(t->is_comparison_group_member(1, 0));
    EXPECT_FALSE(t->is_comparison_group_member(1, 1));
    EXPECT_EQ(t->get_comparison_value(0, 0, 1), -5);
    EXPECT_EQ(t->get_comparison_operand(0, 0, 2), KSM_CTYPE_COMPARE_LESS_THAN);
    EXPECT_TRUE(t->set_pattern_comparison_enabled(0, 1, true));
    EXPECT_TRUE(t->is_pattern_comparison_enabled(0, 1));
    EXPECT_FALSE(t->is_comparison_enabled(0, 1));
    for (int c = 0; c < KSM_CTYPE_COUNT; ++c) {
        const auto k = static_cast<KSM_DATA_TRIGGER_CONDITION>(c);
        EXPECT_EQ(t->is_group_condition(k), c >= 9 && c <= 17) << c;
        EXPECT_EQ(t->is_comparison_operand_condition(k), c >= 18) << c;
    }
    for (const char* op : {">", ">=", "==", "<=", "<"})
        EXPECT_TRUE(t->is_comparison_operand_condition(KSM_DATA_GLOBAL_ENUM::convert_string_to_enum(op))) << op;
}

TEST(NodeListConditions, DuplicateTriggerCopiesBetweenBanksBothWays)
{
    auto session = make_test_session();
    KSM_TX_TRIGGER* t = session->get_trigger_at(0);
    add(t, {"a"});
    t->set_trigger_condition(0, 0, KSM_CTYPE_HIGH);
    t->set_pattern_condition(0, 1, KSM_CTYPE_LOW);
    EXPECT_FALSE(session->duplicate_trigger_to_other(0)) << "no power-up entry yet";
    ASSERT_TRUE(session->set_power_up_trigger_mode(0, true));
    ASSERT_EQ(session->get_num_instances(), 2);
    EXPECT_EQ(session->get_trigger_at(1), t);
    EXPECT_TRUE(session->duplicate_trigger_to_other(0));
    t->set_power_up_selection(true);
    EXPECT_EQ(t->get_trigger_condition(0, 0), KSM_CTYPE_HIGH);
    EXPECT_EQ(t->get_pattern_condition(0, 1), KSM_CTYPE_LOW);
    t->set_trigger_condition(0, 0, KSM_CTYPE_RISING_EDGE);
    EXPECT_TRUE(session->duplicate_trigger_to_other(1));  // from the power-up entry back
    t->set_power_up_selection(false);
    EXPECT_EQ(t->get_trigger_condition(0, 0), KSM_CTYPE_RISING_EDGE);
}

}  // namespace
