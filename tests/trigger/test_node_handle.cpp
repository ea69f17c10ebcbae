// The node handle: capture flags of a row, groups acting on every row below them, mixed
// groups, tap states and trigger enable on pattern and advanced levels; and the rows that
// the storage-qualifier and advanced views hide.
#include "manager_test_support.h"

#include "vokr_node.h"

#include <functional>

using namespace manager_test;

namespace {

class NodeHandle : public MANAGER_TEST {};

const char* const NON_INCREMENTAL_PROJECT = "top top\nincremental off\n";
const char* const INCREMENTAL_PROJECT = "top top\nincremental on\n";

// One capture flag as the repository stores it on a row and as the handle reads and changes it.
struct FLAG {
    const char* name;
    std::function<void(KSM_TX_SIGNAL_NODES*, int, bool)> store;
    std::function<bool(KSM_TX_SIGNAL_NODES*, int)> stored;
    std::function<bool(const VOKR_NODE&, bool*)> is_on;
    std::function<void(VOKR_NODE&)> toggle;
    std::function<void(VOKR_NODE&, bool)> enable;
};

bool capture_bit(KSM_TX_SIGNAL_NODES* list, int row, int bit)
{
    const KSM_DATA_WIRE_CAPTURE_TYPE use = list->get_node_use(row);
    return use != KSM_CAPTURE_NEITHER && (use & bit) != 0;
}

// The repository refuses a store that changes nothing, so only the value read back is checked.
void store_capture_bit(KSM_TX_SIGNAL_NODES* list, int row, int bit, bool on)
{
    int bits = list->get_node_use(row) == KSM_CAPTURE_NEITHER ? 0 : static_cast<int>(list->get_node_use(row));
    bits = on ? bits | bit : bits & ~bit;
    list->set_node_use(row, bits == 0 ? KSM_CAPTURE_NEITHER : static_cast<KSM_DATA_WIRE_CAPTURE_TYPE>(bits));
    ASSERT_EQ(capture_bit(list, row, bit), on);
}

const std::vector<FLAG>& flags()
{
    static const std::vector<FLAG> all = {
        {"data", [](KSM_TX_SIGNAL_NODES* l, int r, bool on) { store_capture_bit(l, r, 1, on); },
         [](KSM_TX_SIGNAL_NODES* l, int r) { return capture_bit(l, r, 1); },
         [](const VOKR_NODE& n, bool* mixed) { return n.is_data_enabled(mixed); },
         [](VOKR_NODE& n) { n.toggle_data(); }, [](VOKR_NODE& n, bool on) { n.enable_data(on); }},
        {"trigger", [](KSM_TX_SIGNAL_NODES* l, int r, bool on) { store_capture_bit(l, r, 2, on); },
         [](KSM_TX_SIGNAL_NODES* l, int r) { return capture_bit(l, r, 2); },
         [](const VOKR_NODE& n, bool* mixed) { return n.is_trigger_enabled(mixed, VOKR_NODE::PLAIN_TRIGGER_LEVEL); },
         [](VOKR_NODE& n) { n.toggle_trigger(); }, [](VOKR_NODE& n, bool on) { n.enable_trigger(on); }},
        {"storage", [](KSM_TX_SIGNAL_NODES* l, int r, bool on) { l->set_storage_enabled(r, on); },
         [](KSM_TX_SIGNAL_NODES* l, int r) { return l->is_storage_enabled(r); },
         [](const VOKR_NODE& n, bool* mixed) { return n.is_storage_enabled(mixed); },
         [](VOKR_NODE& n) { n.toggle_storage(); }, [](VOKR_NODE& n, bool on) { n.enable_storage(on); }},
        {"transition", [](KSM_TX_SIGNAL_NODES* l, int r, bool on) { l->set_transition_enabled(r, on); },
         [](KSM_TX_SIGNAL_NODES* l, int r) { return l->is_transition_enabled(r); },
         [](const VOKR_NODE& n, bool* mixed) { return n.is_transition_enabled(mixed); },
         [](VOKR_NODE& n) { n.toggle_transition(); }, [](VOKR_NODE& n, bool on) { n.enable_transition(on); }},
        {"inversion", [](KSM_TX_SIGNAL_NODES* l, int r, bool on) { l->set_signal_inverted(r, on); },
         [](KSM_TX_SIGNAL_NODES* l, int r) { return l->is_signal_inverted(r); },
         [](const VOKR_NODE& n, bool* mixed) { return n.is_signal_inverted(mixed); },
         [](VOKR_NODE& n) { n.toggle_signal_inversion(); },
         [](VOKR_NODE& n, bool on) { n.enable_signal_inversion(on); }},
    };
    return all;
}

void set_flag(const FLAG& f, KSM_TX_SIGNAL_NODES* list, int row, bool on)
{
    f.store(list, row, on);
    ASSERT_EQ(f.stored(list, row), on) << f.name << " of row " << row;
}

// Rows x, G [a, b]: a standalone row and a group of two.
void add_group(VOKR_TX_MANAGER* m, KSM_DATA_WIRE_TAP_MODE tap = KSM_TAP_PRE_SYNTHESIS)
{
    add_rows(m, {"x", "a", "b"}, tap);
    ASSERT_TRUE(m->group_node(1, 2));
    ASSERT_TRUE(m->is_group_node(1));
}

TEST_F(NodeHandle, GroupIsOnWhenAnyRowIsAndToggleSwitchesEveryRowTogether)
{
    const struct {
        bool a, b;
        bool on, mixed;  // of the group
        bool after;      // a and b after the group toggle
        int writes;      // rows that the toggle changed
    } cases[] = {
        {true, true, true, false, false, 2},
        {true, false, true, true, true, 1},
        {false, true, true, true, true, 1},
        {false, false, false, false, true, 2},
    };
    for (const FLAG& f : flags()) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << f.name << ": a " << c.a << ", b " << c.b);
            EDITOR editor(false);
            add_group(editor.get());
            KSM_TX_SIGNAL_NODES* list = editor.trigger();
            set_flag(f, list, 0, !c.after);  // the standalone row must not be touched
            set_flag(f, list, 2, c.a);
            set_flag(f, list, 3, c.b);
            VOKR_NODE group(editor.get(), list, 1);
            bool mixed = !c.mixed;
            EXPECT_EQ(f.is_on(group, &mixed), c.on);
            EXPECT_EQ(mixed, c.mixed);
            EXPECT_EQ(f.is_on(group, nullptr), c.on);

            HINTS hints(editor.get());
            f.toggle(group);
            list = editor.trigger();
            EXPECT_EQ(f.stored(list, 2), c.after);
            EXPECT_EQ(f.stored(list, 3), c.after);
            EXPECT_EQ(f.stored(list, 0), !c.after);
            EXPECT_EQ(hints.count(MODIFIED_HINT), c.writes);
        }
    }
}

TEST_F(NodeHandle, LeafToggleFlipsOnlyItsOwnCaptureBit)
{
    const struct {
        KSM_DATA_WIRE_CAPTURE_TYPE from, data, trigger;  // after toggling data, resp. trigger
    } cases[] = {
        {KSM_CAPTURE_NEITHER, KSM_CAPTURE_DATA, KSM_CAPTURE_TRIGGER},
        {KSM_CAPTURE_DATA, KSM_CAPTURE_NEITHER, KSM_CAPTURE_BOTH},
        {KSM_CAPTURE_TRIGGER, KSM_CAPTURE_BOTH, KSM_CAPTURE_NEITHER},
        {KSM_CAPTURE_BOTH, KSM_CAPTURE_TRIGGER, KSM_CAPTURE_DATA},
    };
    EDITOR editor(false);
    add_rows(editor.get(), {"n"});
    for (const auto& c : cases) {
        VOKR_NODE node(editor.get(), editor.trigger(), 0);
        editor.trigger()->set_node_use(0, c.from);
        ASSERT_EQ(editor.trigger()->get_node_use(0), c.from);
        node.toggle_data();
        EXPECT_EQ(editor.trigger()->get_node_use(0), c.data) << "data from " << c.from;
        editor.trigger()->set_node_use(0, c.from);
        node.toggle_trigger();
        EXPECT_EQ(editor.trigger()->get_node_use(0), c.trigger) << "trigger from " << c.from;
    }
}

TEST_F(NodeHandle, EnableWithAValueChangesOnlyTheRowsThatDiffer)
{
    for (const FLAG& f : flags()) {
        SCOPED_TRACE(f.name);
        EDITOR editor(false);
        add_group(editor.get());
        set_flag(f, editor.trigger(), 2, true);
        set_flag(f, editor.trigger(), 3, false);
        HINTS hints(editor.get());
        VOKR_NODE group(editor.get(), editor.trigger(), 1);
        f.enable(group, true);
        EXPECT_TRUE(f.stored(editor.trigger(), 2));
        EXPECT_TRUE(f.stored(editor.trigger(), 3));
        EXPECT_EQ(hints.count(MODIFIED_HINT), 1);
        // A leaf that already has the value is left alone.
        VOKR_NODE leaf(editor.get(), editor.trigger(), 2);
        f.enable(leaf, true);
        EXPECT_EQ(hints.count(MODIFIED_HINT), 1);
        f.enable(leaf, false);
        EXPECT_FALSE(f.stored(editor.trigger(), 2));
        EXPECT_EQ(hints.count(MODIFIED_HINT), 2);
    }
}

// A group row whose only member was deleted, made from a pre-synthesis row.
void add_group_without_rows(VOKR_TX_MANAGER* m)
{
    add_rows(m, {"a"});
    ASSERT_TRUE(m->group_node(0, 0));
    ASSERT_EQ(m->get_trigger_nodes(-1)->delete_nodes(1, 1), 1);
    ASSERT_EQ(m->get_trigger_node_count(-1), 1);
    ASSERT_TRUE(m->is_group_node(0));
    ASSERT_FALSE(m->has_children(0));
}

TEST_F(NodeHandle, GroupWithoutRowsIsOff)
{
    EDITOR editor(false);
    add_group_without_rows(editor.get());
    KSM_TX_SIGNAL_NODES* list = editor.trigger();
    // The group row's own data, storage and transition flags are on; they do not count for a
    // group. Its own trigger bit and inversion flag, which a row without children answers
    // from, are off.
    list->set_node_use(0, KSM_CAPTURE_DATA);
    list->set_storage_enabled(0, true);
    list->set_transition_enabled(0, true);
    ASSERT_EQ(list->get_node_use(0), KSM_CAPTURE_DATA);
    ASSERT_TRUE(list->is_storage_enabled(0) && list->is_transition_enabled(0) && !list->is_signal_inverted(0));
    VOKR_NODE group(editor.get(), list, 0);
    for (const FLAG& f : flags()) {
        bool mixed = true;
        EXPECT_FALSE(f.is_on(group, &mixed)) << f.name;
        EXPECT_FALSE(mixed) << f.name;
    }
}

TEST_F(NodeHandle, GroupWithoutRowsIsPostFitting)
{
    EDITOR editor(false);
    add_group_without_rows(editor.get());
    ASSERT_EQ(editor.trigger()->get_tap_mode(0), KSM_TAP_PRE_SYNTHESIS);
    EXPECT_EQ(VOKR_NODE(editor.get(), editor.trigger(), 0).get_tap_state(), KSM_TAP_POST_FITTING);
}

TEST_F(NodeHandle, GroupIsPostFittingOnlyWhenEveryRowBelowIs)
{
    const struct {
        const char* what;
        std::vector<KSM_DATA_WIRE_TAP_MODE> leaves;  // a, b, c
        KSM_DATA_WIRE_TAP_MODE outer, inner;
    } cases[] = {
        {"all post-fitting",
         {KSM_TAP_POST_FITTING, KSM_TAP_POST_FITTING, KSM_TAP_POST_FITTING},
         KSM_TAP_POST_FITTING,
         KSM_TAP_POST_FITTING},
        {"one pre-synthesis leaf",
         {KSM_TAP_POST_FITTING, KSM_TAP_PRE_SYNTHESIS, KSM_TAP_POST_FITTING},
         KSM_TAP_PRE_SYNTHESIS,
         KSM_TAP_PRE_SYNTHESIS},
        {"pre-synthesis leaf outside the inner group",
         {KSM_TAP_PRE_SYNTHESIS, KSM_TAP_POST_FITTING, KSM_TAP_POST_FITTING},
         KSM_TAP_PRE_SYNTHESIS,
         KSM_TAP_POST_FITTING},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EDITOR editor(false);
        add_rows(editor.get(), {"a", "b", "c"}, KSM_TAP_POST_FITTING);
        ASSERT_TRUE(editor->group_node(1, 2));  // a, G1 [b, c]
        ASSERT_TRUE(editor->group_node(0, 1));  // G2 [a, G1 [b, c]]
        KSM_TX_SIGNAL_NODES* list = editor.trigger();
        const int leaf_rows[] = {1, 3, 4};
        for (int i = 0; i < 3; ++i) {
            list->set_tap_mode(leaf_rows[i], c.leaves[i]);
            ASSERT_EQ(list->get_tap_mode(leaf_rows[i]), c.leaves[i]);
        }
        EXPECT_EQ(VOKR_NODE(editor.get(), list, 0).get_tap_state(), c.outer);
        EXPECT_EQ(VOKR_NODE(editor.get(), list, 2).get_tap_state(), c.inner);
        EXPECT_EQ(VOKR_NODE(editor.get(), list, 3).get_tap_state(), c.leaves[1]);
    }
}

TEST_F(NodeHandle, PatternLevelsAskTheStorageFlagInsteadOfTheTriggerBit)
{
    const struct {
        bool storage, trigger;
        std::vector<bool> on;  // the plain level, then levels -3, -2, -1, 0
    } cases[] = {
        {true, false, {false, true, true, true, false}},
        {false, true, {true, false, false, false, true}},
        {true, true, {true, true, true, true, true}},
    };
    for (const auto& c : cases) {
        EDITOR editor(false);
        add_rows(editor.get(), {"n"});
        KSM_TX_SIGNAL_NODES* list = editor.trigger();
        list->set_storage_enabled(0, c.storage);
        store_capture_bit(list, 0, 2, c.trigger);
        ASSERT_EQ(list->is_storage_enabled(0), c.storage);
        VOKR_NODE node(editor.get(), list, 0);
        std::vector<bool> on;
        for (int level : {VOKR_NODE::PLAIN_TRIGGER_LEVEL, -3, -2, -1, 0})
            on.push_back(node.is_trigger_enabled(nullptr, level));
        EXPECT_EQ(on, c.on) << "storage " << c.storage << " trigger " << c.trigger;
    }
}

TEST_F(NodeHandle, AdvancedLevelsEnableOnlyPostFittingRowsAndNoneInAnIncrementalCompile)
{
    const struct {
        const char* project;
        int level;
        bool pre, post;  // trigger enable of a pre-synthesis and a post-fitting row
    } cases[] = {
        {NON_INCREMENTAL_PROJECT, 0, false, true},
        {NON_INCREMENTAL_PROJECT, 1, true, true},  // basic level
        {NON_INCREMENTAL_PROJECT, -3, false, true},
        {NON_INCREMENTAL_PROJECT, VOKR_NODE::PLAIN_TRIGGER_LEVEL, true, true},  // the plain enable is no level
        {INCREMENTAL_PROJECT, 0, false, false},
        {INCREMENTAL_PROJECT, -3, false, false},
        {INCREMENTAL_PROJECT, 1, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.project == INCREMENTAL_PROJECT ? "incremental" : "not incremental")
                                        << ", level " << c.level);
        PRJ_PROJECT::close();
        open_project(c.project);
        EDITOR editor(false);
        ASSERT_EQ(editor->is_incremental_compile(), c.project == INCREMENTAL_PROJECT);
        add_rows(editor.get(), {"pre"});
        add_rows(editor.get(), {"p0", "p1"}, KSM_TAP_POST_FITTING);
        ASSERT_TRUE(editor->group_node(1, 2));  // pre, G [p0, p1]
        KSM_TX_TRIGGER* t = editor.trigger();
        ASSERT_TRUE(t->set_num_levels(2));
        ASSERT_TRUE(t->set_storage_qualifier_type(KSM_SQTYPE_CONDITIONAL));
        editor->set_advanced_trigger(0, KSM_LTYPE_ADVANCED);
        editor->set_advanced_trigger(-3, KSM_LTYPE_ADVANCED);
        EXPECT_EQ(VOKR_NODE(editor.get(), t, 0).is_trigger_enabled(nullptr, c.level), c.pre);
        EXPECT_EQ(VOKR_NODE(editor.get(), t, 2).is_trigger_enabled(nullptr, c.level), c.post);
        // The group passes the level down to its rows.
        EXPECT_EQ(VOKR_NODE(editor.get(), t, 1).is_trigger_enabled(nullptr, c.level), c.post);
    }
}

TEST_F(NodeHandle, RowsBelowAGroupAreReadFromTheCurrentList)
{
    EDITOR editor(false);
    add_group(editor.get());  // trigger list: x, G [a, b]
    KSM_TX_SIGNAL_SET* data = editor.data();
    ASSERT_TRUE(data->has_children(1));  // the data list takes the grouping with it
    for (int row : {2, 3}) {
        data->set_storage_enabled(row, false);
        ASSERT_TRUE(editor.trigger()->is_storage_enabled(row));
    }
    editor->set_list_view_mode(true);  // the data list is now the current list
    ASSERT_EQ(editor->get_nodes(-1), static_cast<KSM_TX_SIGNAL_NODES*>(data));
    EXPECT_FALSE(VOKR_NODE(editor.get(), editor.trigger(), 1).is_storage_enabled(nullptr));
}

// ---- hidden rows --------------------------------------------------------------------------------------------

TEST_F(NodeHandle, RowsWithTheirFlagOffAreHiddenUnlessTheirGroupIsMixed)
{
    const struct {
        const char* what;
        bool (VOKR_TX_MANAGER::*hidden)(int);
        int bit;  // capture bit; 0: the storage flag
    } views[] = {
        {"storage qualifier", &VOKR_TX_MANAGER::is_node_hidden_in_storage_qualifier_mode, 0},
        {"advanced", &VOKR_TX_MANAGER::is_node_hidden_in_advanced_mode, 2},
    };
    const struct {
        const char* what;
        std::vector<bool> on;      // x, a, b of x, G [a, b]
        std::vector<bool> hidden;  // x, G, a, b, and the whole list (-1)
    } cases[] = {
        {"all off", {false, false, false}, {true, true, true, true, true}},
        {"all on", {true, true, true}, {false, false, false, false, false}},
        {"mixed group", {false, true, false}, {true, false, false, true, false}},
        {"only the standalone row on", {true, false, false}, {false, true, true, true, false}},
    };
    for (const auto& v : views) {
        {
            EDITOR empty(false);
            EXPECT_FALSE((empty.get()->*v.hidden)(-1)) << v.what << ": empty list";
        }
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << v.what << ": " << c.what);
            EDITOR editor(false);
            add_group(editor.get());
            KSM_TX_SIGNAL_NODES* list = editor.trigger();
            const int rows[] = {0, 2, 3};
            for (int i = 0; i < 3; ++i) {
                if (v.bit) {
                    store_capture_bit(list, rows[i], v.bit, c.on[i]);
                } else {
                    list->set_storage_enabled(rows[i], c.on[i]);
                    ASSERT_EQ(list->is_storage_enabled(rows[i]), c.on[i]);
                }
            }
            std::vector<bool> hidden;
            for (int index : {0, 1, 2, 3, -1})
                hidden.push_back((editor.get()->*v.hidden)(index));
            EXPECT_EQ(hidden, c.hidden);
        }
    }
}

}  // namespace
