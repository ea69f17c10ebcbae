// Node insertion: buses and arrays as named groups, the node limit, the lock-mode gates, the
// clock conflict, the linking settings, state-machine groups, design names with members and
// the order of bus members.
#include "manager_test_support.h"

#include "nixq.h"
#include "toz.h"
#include "vokr_hierarchy_names.h"

using namespace manager_test;

namespace {

const char* const PROJECT = R"(project nodes
top top
incremental off
compiled-assignment 350 "clock_domain=fast"
node clk input pre post
node a input pre post
node b output pre post
node c registered pre post
node d[7..0] registered pre post
node u[0..7] registered pre post
node p[1..0] registered pre post
node m[1..0][0..2] memory pre post
node bus[0..11] registered pre post
node mem[1..0][0..1] memory pre post
)";

// The same design compiled with incremental compilation and no partitions.
const char* const INCREMENTAL_PROJECT = R"(top top
incremental on
node a input pre post
node b output pre post
node c registered pre post
)";

const char* const PARTITIONED_PROJECT = R"(top top
incremental on
partition | type 1 netlist source
node a input pre post
)";

const char* const CASE_INSENSITIVE_PROJECT = R"(top top
case-sensitive no
node cpu|state[3..0] machine pre post
)";

class NodeInsertion : public MANAGER_TEST {};

std::vector<std::string> bits(const char* stem, const std::vector<int>& indexes)
{
    std::vector<std::string> out;
    out.reserve(indexes.size());
    for (int i : indexes)
        out.push_back(std::string(stem) + "[" + std::to_string(i) + "]");
    return out;
}

TEST_F(NodeInsertion, BusBecomesOneRowPerBitUnderAGroupNamedGreaterIndexFirst)
{
    open_project(PROJECT);
    const struct {
        const char* name;
        bool post;
        const char* group;
        std::vector<std::string> members;
    } cases[] = {
        {"top|d", false, "d[7..0]", bits("d", {7, 6, 5, 4, 3, 2, 1, 0})},
        {"top|u", false, "u[7..0]", bits("u", {0, 1, 2, 3, 4, 5, 6, 7})},
        {"top|d", true, "d[7..0]", bits("d", {7, 6, 5, 4, 3, 2, 1, 0})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.post ? " post-fitting" : " pre-synthesis"));
        EDITOR editor(false);
        ASSERT_TRUE(editor->insert_nodes(PIRQ_INSTANCE_NAME_LIST{found(c.name, c.post)}));
        KSM_TX_TRIGGER* t = editor.trigger();
        std::vector<std::string> expected{c.group};
        expected.insert(expected.end(), c.members.begin(), c.members.end());
        EXPECT_EQ(names(t), expected);
        EXPECT_EQ(t->get_display_type(0), KSM_NTYPE_GROUP_EXPANDED);
        EXPECT_EQ(t->get_link_type(0), 15);  // every linking setting is on by default
        const KSM_DATA_WIRE_TAP_MODE tap = c.post ? KSM_TAP_POST_FITTING : KSM_TAP_PRE_SYNTHESIS;
        for (int row = 1; row < t->get_num_nodes(); ++row) {
            EXPECT_EQ(t->get_depth(row), 1);
            EXPECT_EQ(t->get_signal_type(row), KSM_STYPE_REGISTERED);
            EXPECT_EQ(t->get_tap_mode(row), tap);
        }
        // The data list holds the same rows, so that the Data tab shows and edits the node it names.
        EXPECT_EQ(names(editor.data()), expected);
        EXPECT_EQ(editor.data()->get_link_type(0), 15);
        t->set_trigger_condition(1, 0, KSM_CTYPE_RISING_EDGE);
        editor->set_list_view_mode(true);
        for (int row = 0; row < t->get_num_nodes(); ++row) {
            QString name;
            KSM_DATA_NODE_DISPLAY_TYPE display = KSM_NTYPE_NODE;
            KSM_DATA_TRIGGER_CONDITION condition = KSM_CTYPE_DONT_CARE;
            editor->get_node(row, &display, &name, nullptr, nullptr, nullptr, nullptr, nullptr, 0, &condition);
            EXPECT_EQ(name.toStdString(), t->get_node_name(row));
            EXPECT_EQ(display, t->get_display_type(row));
            EXPECT_EQ(condition, row == 1 ? KSM_CTYPE_RISING_EDGE : KSM_CTYPE_DONT_CARE) << row;
        }
        ASSERT_TRUE(editor->toggle_data(1));
        EXPECT_EQ(t->get_node_use(1), KSM_CAPTURE_TRIGGER);
        EXPECT_EQ(t->get_node_use(0), KSM_CAPTURE_BOTH);
    }
}

// The whole list, one "name:depth" word per row.
std::string tree(const KSM_TX_SIGNAL_NODES* list)
{
    std::string out;
    for (int row = 0; row < list->get_num_nodes(); ++row)
        out += std::string(row ? " " : "") + list->get_node_name(row) + ":" + std::to_string(list->get_depth(row));
    return out;
}

TEST_F(NodeInsertion, TwoDimensionalArrayGetsRowGroupsInsideACollapsedOuterGroup)
{
    open_project(PROJECT);
    const struct {
        const char* what;
        const char* taken;  // a bit already in the list, refused as a duplicate
        const char* rows;
    } cases[] = {
        {"every bit", nullptr,
         "m[1..0][2..0]:0 Group 2:1 m[1][0]:2 m[1][1]:2 m[1][2]:2 Group 3:1 m[0][0]:2 m[0][1]:2 m[0][2]:2"},
        {"a refused bit leaves its row short", "m[1][1]",
         "m[1][1]:0 m[1..0][2..0]:0 Group 2:1 m[1][0]:2 m[1][2]:2 Group 3:1 m[0][0]:2 m[0][1]:2 m[0][2]:2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EDITOR editor(false);
        if (c.taken) {
            ASSERT_TRUE(editor->insert_node(c.taken, KSM_STYPE_MEMORY, KSM_TAP_PRE_SYNTHESIS, false));
        }
        const int outer = c.taken ? 1 : 0;
        const PIRQ_INSTANCE_NAME m = found("top|m");
        ASSERT_EQ(m.get_kind(), 2);
        ASSERT_TRUE(editor->insert_nodes(PIRQ_INSTANCE_NAME_LIST{m}));
        KSM_TX_TRIGGER* t = editor.trigger();
        EXPECT_EQ(tree(t), c.rows);
        EXPECT_EQ(tree(editor.data()), c.rows);
        EXPECT_FALSE(editor->is_node_expanded(outer));
        for (const KSM_TX_SIGNAL_NODES* list :
             {static_cast<const KSM_TX_SIGNAL_NODES*>(t), static_cast<const KSM_TX_SIGNAL_NODES*>(editor.data())}) {
            EXPECT_EQ(list->get_display_type(outer), KSM_NTYPE_GROUP_COLLAPSED);
            EXPECT_EQ(list->get_display_type(outer + 1), KSM_NTYPE_GROUP_EXPANDED);
        }
        EXPECT_EQ(t->get_signal_type(outer + 2), KSM_STYPE_MEMORY);
    }
}

TEST_F(NodeInsertion, NameThatIsOnlyTheTopEntityInsertsNothing)
{
    open_project(PROJECT);
    EDITOR editor(false);
    EXPECT_FALSE(editor->insert_node(PIRQ_INSTANCE_NAME("top", 0, TOZ_FLAG_INPUT_PIN)));
    EXPECT_EQ(editor->get_trigger_node_count(-1), 0);
}

TEST_F(NodeInsertion, FullListSkipsTooWideEntriesThenStopsWithTheLimitAfterTheWarnings)
{
    open_project(PROJECT);
    EDITOR editor(true);
    for (int i = 0; i < KSM_MAX_NODES - 1; ++i)
        ASSERT_TRUE(editor.trigger()->insert_node(("f" + std::to_string(i)).c_str(), KSM_STYPE_NONE,
                                                  KSM_TAP_PRE_SYNTHESIS, false));
    MSG_JOURNAL::clear();
    // A 2-bit bus does not fit, the single node does, the last entry finds the list full.
    ASSERT_TRUE(editor->insert_nodes({found("top|p", true), found("top|a", true), found("top|b", true)}));
    EXPECT_EQ(editor->get_trigger_node_count(-1), KSM_MAX_NODES);
    EXPECT_STREQ(editor.trigger()->get_node_name(KSM_MAX_NODES - 1), "a");
    EXPECT_EQ(editor.trigger()->find_node("b"), -1);
    EXPECT_EQ(shown_messages(),
              (std::vector<std::string>{"VOKR_ON_NODE_ADD_OVERRUN_MAXIMUM",
                                        "VOKR_INVALID_POST_FITTING_NODE_ASSIGNMENTS", "VOKR_LIMIT_PASSED"}));
    const std::vector<MSG_RECORD> shown = MSG_JOURNAL::records_of("prompted");
    EXPECT_NE(shown[0].text.find("(4096)"), std::string::npos) << shown[0].text;
    const int list = journal_position("VOKR_INVALID_LUMETRA_NODE_ASSIGNMENT_LIST");
    ASSERT_GE(list, 0);
    EXPECT_LT(list, journal_position("VOKR_LIMIT_PASSED"));
}

TEST_F(NodeInsertion, LockModesGateTheBatch)
{
    open_project(INCREMENTAL_PROJECT);
    const struct {
        const char* what;
        VOKR_LOCK_MODE lock;
        std::vector<std::pair<const char*, bool>> entries;  // name, post-fitting
        int allocated;                                      // data, trigger and storage qualifier
        int answer;
        std::vector<std::string> shown;
        int rows;
    } cases[] = {
        {"trigger-only lock",
         VOKR_LOCK_MODE_TRIGGER_CONDITIONS,
         {{"top|a", true}},
         4,
         0,
         {"VOKR_ON_NODE_ADD_TRIGGER_LOCK"},
         0},
        {"incremental route, pre-synthesis first",
         VOKR_LOCK_MODE_INCREMENTAL_ROUTE,
         {{"top|a", false}, {"top|b", true}},
         4,
         0,
         {"VOKR_ON_NODE_ADD_PRE_SYN_INCR_LOCK_MODE"},
         0},
        {"nothing allocated, Cancel",
         VOKR_LOCK_MODE_INCREMENTAL_ROUTE,
         {{"top|a", true}},
         0,
         MSG_PROMPT::MSG_VALUE_CANCEL,
         {"VOKR_ON_NODE_ADD_OVER_RUN_ALLOCATION"},
         0},
        {"nothing allocated, OK",
         VOKR_LOCK_MODE_INCREMENTAL_ROUTE,
         {{"top|a", true}},
         0,
         MSG_PROMPT::MSG_VALUE_OK,
         {"VOKR_ON_NODE_ADD_OVER_RUN_ALLOCATION"},
         1},
        {"two entries over one allocated",
         VOKR_LOCK_MODE_INCREMENTAL_ROUTE,
         {{"top|a", true}, {"top|b", true}},
         1,
         MSG_PROMPT::MSG_VALUE_CANCEL,
         {"VOKR_ON_NODE_ADD_OVER_RUN_ALLOCATION"},
         0},
        {"within the allocation, only the first entry decides",
         VOKR_LOCK_MODE_INCREMENTAL_ROUTE,
         {{"top|a", true}, {"top|c", false}},
         4,
         0,
         {},
         2},
        {"all changes", VOKR_LOCK_MODE_ALL_CHANGES, {{"top|a", false}}, 0, 0, {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EDITOR editor(true);
        editor->set_lock_mode(c.lock, false);
        editor->set_data_nodes_allocated(c.allocated, -1);
        editor->set_trigger_nodes_allocated(c.allocated, -1);
        editor->set_storage_qualifier_nodes_allocated(c.allocated, -1);
        PIRQ_INSTANCE_NAME_LIST entries;
        for (const auto& [name, post] : c.entries)
            entries << found(name, post);
        MSG_JOURNAL::clear();
        MSG_JOURNAL::clear_answers();
        if (c.answer)
            MSG_JOURNAL::push_answer(c.answer);
        EXPECT_TRUE(editor->insert_nodes(entries));
        EXPECT_EQ(shown_messages(), c.shown);
        EXPECT_EQ(editor->get_trigger_node_count(-1), c.rows);
    }
}

TEST_F(NodeInsertion, InsertingTheClockClearsItOnlyInAnEditorWindow)
{
    open_project(PROJECT);
    for (bool framed : {true, false}) {
        SCOPED_TRACE(framed ? "framed" : "wizard");
        EDITOR editor(framed);
        editor->set_clock("clk", VOKR_PRE_SYNTHESIS_NAME);
        MSG_JOURNAL::clear();
        ASSERT_TRUE(editor->insert_nodes(PIRQ_INSTANCE_NAME_LIST{found("top|clk")}));
        QString clock;
        editor->get_clock(&clock, -1);
        EXPECT_EQ(clock, framed ? QString() : QString("clk"));
        EXPECT_EQ(names(editor.trigger()), std::vector<std::string>{"clk"});
        EXPECT_EQ(shown_messages(),
                  framed ? std::vector<std::string>{"VOKR_CLK_CONFLICT"} : std::vector<std::string>{});
        if (framed) {
            EXPECT_NE(MSG_JOURNAL::records_of("prompted")[0].text.find("\"clk\""), std::string::npos);
        }
    }
}

TEST_F(NodeInsertion, WizardSkipsPartitionChecksTappabilityWarningsAndTheModifiedMark)
{
    const struct {
        const char* project;
        bool framed;
        std::vector<std::string> shown;
        const char* list;  // the list posted at the end of the batch, or null
    } cases[] = {
        {PROJECT, true, {"VOKR_INVALID_POST_FITTING_NODE_ASSIGNMENTS"}, "VOKR_INVALID_LUMETRA_NODE_ASSIGNMENT_LIST"},
        {PROJECT, false, {}, nullptr},
        {PARTITIONED_PROJECT,
         true,
         {"VOKR_POST_FITTING_INVALID_TOP_PARTITION_ASSIGNMENT"},
         "VOKR_POST_FITTING_INVALID_PARTITION_LIST"},
        {PARTITIONED_PROJECT, false, {}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.framed ? "framed, " : "wizard, ") +
                     (c.project == PROJECT ? "no incremental compilation" : "incremental compilation"));
        open_project(c.project);
        EDITOR editor(c.framed);
        HINTS hints(editor.get());
        MSG_JOURNAL::clear();
        MSG_JOURNAL::push_answer(MSG_PROMPT::MSG_VALUE_NO);
        ASSERT_TRUE(editor->insert_nodes(PIRQ_INSTANCE_NAME_LIST{found("top|a", true)}));
        MSG_JOURNAL::clear_answers();
        EXPECT_EQ(editor->get_trigger_node_count(-1), 1);
        EXPECT_EQ(shown_messages(), c.shown);
        EXPECT_EQ(MSG_JOURNAL::records_of("posted").size(), c.list ? 1u : 0u);
        if (c.list) {
            EXPECT_EQ(posted(c.list).size(), 1u);
        }
        EXPECT_EQ(hints.count(MODIFIED_HINT), c.framed ? 1 : 0);
    }
}

// The linking settings as the user registry holds them decide the link bits of new groups.
class RegistryLinkSettings {
public:
    void set(bool groups, bool properties, bool order, bool mnemonics)
    {
        NIXQ_REGISTRY_KEY key(NIXQ_VOKR_SUB_KEY);
        key.set_value(NIXQ_VOKR_LINK_GROUPS_STR, groups);
        key.set_value(NIXQ_VOKR_LINK_PROPERTIES_STR, properties);
        key.set_value(NIXQ_VOKR_LINK_ORDER_STR, order);
        key.set_value(NIXQ_VOKR_LINK_MNEMONICS_STR, mnemonics);
    }
    ~RegistryLinkSettings()
    {
        set(true, true, true, true);
        VOKR_TX_MANAGER(nullptr).cfg_initialize_user_registry_settings();
        NIXQ_REGISTRY_KEY key(NIXQ_VOKR_SUB_KEY);
        for (const char* name : {NIXQ_VOKR_LINK_GROUPS_STR, NIXQ_VOKR_LINK_PROPERTIES_STR, NIXQ_VOKR_LINK_ORDER_STR,
                                 NIXQ_VOKR_LINK_MNEMONICS_STR})
            key.remove_value(name);
    }
};

TEST_F(NodeInsertion, NewGroupsTakeTheirLinkBitsFromTheUserSettings)
{
    open_project(PROJECT);
    RegistryLinkSettings settings;
    const struct {
        bool groups, properties, order, mnemonics;
        int link;
    } cases[] = {
        {true, false, false, false, 1}, {true, true, false, false, 9}, {true, false, true, false, 3},
        {true, false, false, true, 5},  {true, true, true, true, 15},  {false, true, true, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "groups " << c.groups << " properties " << c.properties << " order "
                                        << c.order << " mnemonics " << c.mnemonics);
        settings.set(c.groups, c.properties, c.order, c.mnemonics);
        EDITOR editor(false);
        editor->cfg_initialize_user_registry_settings();
        EXPECT_EQ(VOKR_TX_MANAGER::get_group_link_type(), c.link);
        ASSERT_TRUE(editor->insert_nodes({found("top|p"), found("top|a"), found("top|b")}));
        EXPECT_EQ(editor.trigger()->get_link_type(0), c.link);  // p[1..0]
        ASSERT_TRUE(editor->group_node(3, 4));                  // a and b
        EXPECT_EQ(editor.trigger()->get_link_type(3), c.link);
    }
}

TEST_F(NodeInsertion, StateMachineRegistersBecomeOneGroup)
{
    EDITOR editor(false);
    HINTS hints(editor.get());
    EXPECT_EQ(editor->insert_nodes("fsm", QStringList{}, KSM_TAP_PRE_SYNTHESIS, true), -1);
    EXPECT_EQ(editor->get_trigger_node_count(-1), 0);
    EXPECT_EQ(editor.data()->get_num_nodes(), 0);
    EXPECT_TRUE(hints.list.empty());

    // Without duplicates: one group in the current list, least significant bit first.
    ASSERT_TRUE(editor->insert_node("x", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false));
    EXPECT_EQ(editor->insert_nodes("fsm", {"s0", "s1", "s2"}, KSM_TAP_POST_FITTING, false), 1);
    KSM_TX_TRIGGER* t = editor.trigger();
    EXPECT_EQ(names(t), (std::vector<std::string>{"x", "fsm", "s0", "s1", "s2"}));
    EXPECT_TRUE(t->get_lsb_to_msb(1));
    for (int row = 2; row <= 4; ++row) {
        EXPECT_EQ(t->get_signal_type(row), KSM_STYPE_MACHINE);
        EXPECT_EQ(t->get_tap_mode(row), KSM_TAP_POST_FITTING);
    }
    EXPECT_EQ(names(editor.data()), names(t));
    EXPECT_TRUE(editor.data()->get_lsb_to_msb(1));
}

TEST_F(NodeInsertion, StateMachineRegistersThatCannotAllBeAddedChangeNothing)
{
    const struct {
        const char* what;
        const char* group;
        QStringList nodes;
        bool allow_duplicates;
        bool second_generation_data_tab;
        int rows;  // in the list before the insertion, the first named x
    } cases[] = {
        {"a register already in the list", "fsm", {"s0", "x"}, false, false, 1},
        {"a register given twice", "fsm", {"s0", "s0"}, false, false, 1},
        {"an empty register name", "fsm", {"s0", ""}, true, false, 1},
        {"a group name taken", "x", {"s0", "s1"}, false, false, 1},
        {"the Data tab of a second-generation session", "fsm", {"s0"}, true, true, 1},
        {"a full list", "fsm", {"s0"}, true, false, KSM_MAX_NODES},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EDITOR editor(false);
        KSM_TX_TRIGGER* t = editor.trigger();
        for (int i = 0; i < c.rows; ++i)
            ASSERT_TRUE(t->insert_node(i ? ("f" + std::to_string(i)).c_str() : "x", KSM_STYPE_NONE,
                                       KSM_TAP_PRE_SYNTHESIS, false));
        editor->get_session()->set_second_generation(c.second_generation_data_tab);
        editor->set_list_view_mode(c.second_generation_data_tab);
        const std::vector<std::string> trigger_before = names(t), data_before = names(editor.data());
        EXPECT_EQ(editor->insert_nodes(c.group, c.nodes, KSM_TAP_PRE_SYNTHESIS, c.allow_duplicates), -1);
        EXPECT_EQ(names(t), trigger_before);
        EXPECT_EQ(names(editor.data()), data_before);
    }
}

TEST_F(NodeInsertion, StateMachineWithDuplicatesGroupsBothListsAndNumbersATakenTriggerGroupName)
{
    RegistryLinkSettings settings;
    for (bool linking : {true, false}) {
        SCOPED_TRACE(linking ? "linking on" : "linking off");
        settings.set(linking, linking, linking, linking);
        EDITOR editor(false);
        editor->cfg_initialize_user_registry_settings();
        KSM_TX_TRIGGER* t = editor.trigger();
        KSM_TX_SIGNAL_SET* d = editor.data();
        // The trigger list already has rows named "fsm" and "fsm (1)"; the data list calls them otherwise.
        for (const char* name : {"fsm", "fsm (1)"})
            ASSERT_TRUE(t->insert_node(name, KSM_STYPE_NONE, KSM_TAP_PRE_SYNTHESIS, false));
        ASSERT_TRUE(d->rename_node(0, "fsm_data"));
        ASSERT_TRUE(d->rename_node(1, "fsm_data_1"));

        EXPECT_EQ(editor->insert_nodes("fsm", {"s0", "fsm_data"}, KSM_TAP_PRE_SYNTHESIS, true), 2);
        EXPECT_EQ(names(t), (std::vector<std::string>{"fsm", "fsm (1)", "fsm (2)", "s0", "fsm_data"}));
        EXPECT_EQ(names(d), (std::vector<std::string>{"fsm_data", "fsm_data_1", "fsm", "s0", "fsm_data"}));
        for (const KSM_TX_SIGNAL_NODES* list :
             {static_cast<const KSM_TX_SIGNAL_NODES*>(t), static_cast<const KSM_TX_SIGNAL_NODES*>(d)}) {
            EXPECT_EQ(list->get_display_type(2), KSM_NTYPE_GROUP_EXPANDED);
            EXPECT_TRUE(list->get_lsb_to_msb(2));
            EXPECT_EQ(list->get_link_type(2), linking ? 15 : 0);
            EXPECT_EQ(list->get_signal_type(3), KSM_STYPE_MACHINE);
        }
    }
}

TEST_F(NodeInsertion, StateMachineInASecondGenerationSessionGroupsOnlyTheCurrentList)
{
    EDITOR editor(false);
    editor->get_session()->set_second_generation(true);
    EXPECT_EQ(editor->insert_nodes("fsm", {"s0", "s1"}, KSM_TAP_PRE_SYNTHESIS, true), 0);
    EXPECT_EQ(names(editor.trigger()), (std::vector<std::string>{"fsm", "s0", "s1"}));
    EXPECT_TRUE(editor.trigger()->get_lsb_to_msb(0));
    EXPECT_EQ(editor.data()->get_num_nodes(), 0);
}

TEST_F(NodeInsertion, DesignNamesAreExpandedIntoTheirMembersGreaterNamesFirst)
{
    const struct {
        const char* project;
        const char* name;
        std::vector<std::string> rows;
        std::vector<int> groups;
        KSM_DATA_SIGNAL_TYPE type;  // of the first leaf
    } cases[] = {
        {PROJECT,
         "top|bus",
         {"bus", "bus[11]", "bus[10]", "bus[9]", "bus[8]", "bus[7]", "bus[6]", "bus[5]", "bus[4]", "bus[3]", "bus[2]",
          "bus[1]", "bus[0]"},
         {0},
         KSM_STYPE_REGISTERED},
        // The members of an array are buses: each gets its own group and there is no outer one.
        {PROJECT,
         "top|mem",
         {"mem[1]", "mem[1][1]", "mem[1][0]", "mem[0]", "mem[0][1]", "mem[0][0]"},
         {0, 3},
         KSM_STYPE_MEMORY},
        {PROJECT, "clk", {"clk"}, {}, KSM_STYPE_INPUT_PIN},
        {PROJECT, "top|nowhere", {"top|nowhere"}, {}, KSM_STYPE_NONE},
        // The label keeps the spelling of the name as given when only the case differs.
        {CASE_INSENSITIVE_PROJECT,
         "top|CPU|STATE",
         {"CPU|STATE", "cpu|state[3]", "cpu|state[2]", "cpu|state[1]", "cpu|state[0]"},
         {0},
         KSM_STYPE_MACHINE},
        {CASE_INSENSITIVE_PROJECT,
         "top|cpu|state",
         {"cpu|state", "cpu|state[3]", "cpu|state[2]", "cpu|state[1]", "cpu|state[0]"},
         {0},
         KSM_STYPE_MACHINE},
        {nullptr, "top|bus", {"top|bus"}, {}, KSM_STYPE_NONE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PRJ_PROJECT::close();
        if (c.project)
            open_project(c.project);
        EDITOR editor(false);
        editor->set_using_pre_synthesis_filter(true);
        EXPECT_TRUE(editor->insert_node(c.name, KSM_TAP_POST_FITTING));
        KSM_TX_TRIGGER* t = editor.trigger();
        EXPECT_EQ(names(t), c.rows);
        std::vector<int> groups;
        for (int row = 0; row < t->get_num_nodes(); ++row)
            if (t->get_display_type(row) == KSM_NTYPE_GROUP_EXPANDED)
                groups.push_back(row);
        EXPECT_EQ(groups, c.groups);
        const int leaf = c.groups.empty() ? 0 : 1;
        EXPECT_EQ(t->get_signal_type(leaf), c.type);
        EXPECT_EQ(t->get_tap_mode(leaf), KSM_TAP_POST_FITTING);
    }
}

TEST_F(NodeInsertion, CompiledAssignmentReachesTheSignalSet)
{
    open_project(PROJECT);
    EDITOR editor(false);
    ASSERT_TRUE(editor->insert_nodes(PIRQ_INSTANCE_NAME_LIST{found("top|a")}));
    EXPECT_STREQ(editor.data()->get_assignment_text(), "clock_domain=fast");
}

TEST_F(NodeInsertion, ChosenNodesAreOneUndoUnitAndRaiseTheAllocatedCounts)
{
    open_project(PROJECT);
    EDITOR editor(true);
    editor->set_data_nodes_allocated(1, -1);
    editor->set_trigger_nodes_allocated(1, -1);
    editor->set_storage_qualifier_nodes_allocated(0, -1);
    HINTS hints(editor.get());
    editor->on_node_insert_to_view(PIRQ_INSTANCE_NAME_LIST{found("top|d"), found("top|a")});
    EXPECT_EQ(editor->get_trigger_node_count(-1), 10);
    EXPECT_EQ(editor->get_int_state(-1, "active tab", 0), 1);
    KSM_TX_SIGNAL_SET* s = editor.data();
    EXPECT_EQ(s->get_data_nodes_allocated(), 9);
    EXPECT_EQ(s->get_trigger_nodes_allocated(), 9);
    EXPECT_EQ(s->get_storage_qualifier_nodes_allocated(), 0);
    const std::vector<unsigned int> seen = hints.list;
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), VOKR_HINT_REFRESH | VOKR_HINT_TABS);
    EXPECT_EQ(seen.back(), VOKR_HINT_REFRESH | VOKR_HINT_CONFIG | VOKR_HINT_HIERARCHY | VOKR_HINT_VIEW);

    editor->on_edit_undo();
    EXPECT_EQ(editor->get_trigger_node_count(-1), 0);
    EXPECT_EQ(editor.data()->get_num_nodes(), 0);
    EXPECT_EQ(editor.data()->get_data_nodes_allocated(), 1);
}

TEST_F(NodeInsertion, OpeningTheNodeFinderShowsTheSetupTabAndTheFilterOfTheNextNodes)
{
    open_project(INCREMENTAL_PROJECT);
    EDITOR editor(true);
    TEVQ_DIALOG* finder = editor.frame()->findChild<TEVQ_DIALOG*>();
    ASSERT_NE(finder, nullptr);
    HINTS hints(editor.get());
    const struct {
        bool pre;
        const char* title;
        int tab_hints;  // the Setup tab is chosen once
    } cases[] = {{false, POST_TITLE, 1}, {true, PRE_TITLE, 1}};
    for (const auto& c : cases) {
        editor->set_using_pre_synthesis_filter(c.pre);
        editor->on_node_insert();
        EXPECT_EQ(finder->get_filter_title(), c.title);
        EXPECT_TRUE(finder->isVisible());
        EXPECT_EQ(hints.count(VOKR_HINT_REFRESH | VOKR_HINT_TABS), c.tab_hints);
    }
    EXPECT_EQ(editor->get_int_state(-1, "active tab", 0), 1);
    finder->hide();
}

TEST(SignalTypes, FirstTypeBitInTheFixedOrderWins)
{
    const struct {
        unsigned int flags;
        KSM_DATA_SIGNAL_TYPE type;
    } cases[] = {
        {TOZ_FLAG_INPUT_PIN | TOZ_FLAG_OUTPUT_PIN, KSM_STYPE_INPUT_PIN},
        {TOZ_FLAG_MEMORY | TOZ_FLAG_REGISTERED, KSM_STYPE_REGISTERED},
        {TOZ_FLAG_MEMORY | TOZ_FLAG_COMBINATORIAL, KSM_STYPE_COMBINATORIAL},
        {TOZ_FLAG_MEMORY | TOZ_FLAG_STATE_MACHINE, KSM_STYPE_MEMORY},
        {TOZ_FLAG_STATE_MACHINE | TOZ_FLAG_POST_FITTING, KSM_STYPE_MACHINE},
        {TOZ_FLAG_POST_FITTING | TOZ_FLAG_TAPPABLE, KSM_STYPE_NONE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VOKR_TX_MANAGER::get_type(c.flags), c.type) << std::hex << c.flags;
    EXPECT_EQ(VOKR_TX_MANAGER::get_type(static_cast<const TOZ_INSTANCE_NAME*>(nullptr)), KSM_STYPE_NONE);
}

TEST(BusMemberOrder, GreaterNamesComeFirstWithIndexesComparedAsNumbers)
{
    const struct {
        const char* a;
        const char* b;
        bool a_first;
    } cases[] = {
        {"a|b[10]", "a|b[2]", true},
        {"a|b[2]", "a|b[10]", false},
        {"a|b[1][12]", "a|b[1][3]", true},
        {"a|b[1][3]", "a|b[1][12]", false},
        {"a|c[0]", "a|b[5]", true},
        {"a|b[5]", "a|c[0]", false},
        {"a|b", "a|a", true},
        {"a|a", "a|b", false},
        {"y", "x[0]", true},
        {"x[0]", "y", false},
        {"b[1][0]", "b[1]", true},
        {"b[1]", "b[1][0]", false},
        {"b[3]", "b[3]", false},
    };
    for (const auto& c : cases) {
        const TOZ_INSTANCE_NAME a(c.a, 0, nullptr), b(c.b, 0, nullptr);
        EXPECT_EQ(vokr_compare_hierarchy_names(&a, &b), c.a_first) << c.a << " vs " << c.b;
    }
}

}  // namespace
