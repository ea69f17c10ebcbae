// Node validity against the compiled design, partition netlist types, the tappability
// warnings collected per batch, the missing-clock notice and choosing a single node.
#include "manager_test_support.h"

#include "gen.h"
#include "yek.h"

using namespace manager_test;

namespace {

// Incremental compilation with partitions of every kind the checks tell apart.
const char* const PARTITIONS = R"(top top
incremental on
partition | type 1 netlist source
partition cpu type 1 netlist source
partition mem type 1 netlist post-fit
partition uart type 1 netlist source fixed
partition dbg type 1 netlist empty
partition misc type 1 netlist none
node t0 registered pre post
node cpu|x0 registered pre post
node cpu|x1 registered pre post
node cpu|x2 registered pre post
node mem|p registered pre post
node uart|y registered pre post
node dbg|z registered pre post
node misc|w registered pre post
)";

const char* const DATABASES_OFF = R"(top top
incremental off
node both registered pre post
node only_pre registered pre
node only_post registered post
node locked registered pre post untappable
)";

const char* const DATABASES_ON = R"(top top
incremental on
node both registered pre post
node only_pre registered pre
node only_post registered post
node locked registered pre post untappable
)";

const char* const FINDER = R"(top top
incremental off
node a input pre post
node b output pre post
node d[3..0] registered pre post
node pclk input post
node pclk2 input post
)";

int netlist_of(const char* partition)
{
    return YEK_PARTITION_MANAGER::get_instance(0, 0, 0)->get_partition_by_short_hpath(partition)->get_netlist_type();
}

std::vector<std::string> item_texts(const MSG_RECORD& list)
{
    std::vector<std::string> texts;
    for (const MSG_RECORD& item : list.items)
        texts.push_back(item.text);
    return texts;
}

void answer(std::initializer_list<int> answers)
{
    MSG_JOURNAL::clear_answers();
    for (int a : answers)
        MSG_JOURNAL::push_answer(a);
}

constexpr int YES = MSG_PROMPT::MSG_VALUE_YES;
constexpr int NO = MSG_PROMPT::MSG_VALUE_NO;

class NodeValidity : public MANAGER_TEST {};

TEST_F(NodeValidity, ManyUntappableNodesShowTheNoticeOnceAndListOneHundredNamesAndEtc)
{
    std::string text = "top top\nincremental off\n";
    PIRQ_INSTANCE_NAME_LIST batch;
    for (int i = 0; i < 150; ++i)
        text += "node n" + std::to_string(i) + " registered post\n";
    open_project(text.c_str());
    for (int i = 0; i < 150; ++i)
        batch << found(("top|n" + std::to_string(i)).c_str(), true);
    // The second batch, in another window, starts a new list and shows the notice again.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first batch" : "second batch");
        EDITOR editor(true);
        MSG_JOURNAL::clear();
        ASSERT_TRUE(editor->insert_nodes(round == 0 ? batch : batch.mid(0, 3)));
        EXPECT_EQ(shown_messages(), std::vector<std::string>{"VOKR_INVALID_POST_FITTING_NODE_ASSIGNMENTS"});
        const std::vector<MSG_RECORD> lists = posted("VOKR_INVALID_LUMETRA_NODE_ASSIGNMENT_LIST");
        ASSERT_EQ(lists.size(), 1u);
        EXPECT_EQ(lists[0].type, "W");
        const std::vector<MSG_RECORD>& items = lists[0].items;
        ASSERT_EQ(items.size(), round == 0 ? 101u : 3u);
        EXPECT_EQ(items[0].identifier, "VOKR_PRE_SYNTHESIS_NODE_ASSIGNMENT_ITEM");
        EXPECT_EQ(items[0].text, "Post-fitting node \"n0\"");
        if (round == 0) {
            EXPECT_EQ(items[99].text, "Post-fitting node \"n99\"");
            EXPECT_EQ(items[100].identifier, "VOKR_INVALID_LUMETRA_NODE_ASSIGNMENT_ITEM");
            EXPECT_EQ(items[100].text, "Node \"etc.\"");
        }
    }
}

TEST_F(NodeValidity, DeclinedPartitionIsNotAskedAgainByTheSameWindow)
{
    open_project(PARTITIONS);
    EDITOR editor(true);
    const struct {
        std::vector<const char*> nodes;
        std::vector<std::string> asked;
    } batches[] = {
        {{"top|cpu|x0"}, {"VOKR_POST_FITTING_INVALID_PARTITION_ASSIGNMENTS"}},
        {{"top|cpu|x1", "top|cpu|x2"}, {}},
    };
    for (const auto& b : batches) {
        MSG_JOURNAL::clear();
        answer({NO});
        PIRQ_INSTANCE_NAME_LIST entries;
        for (const char* name : b.nodes)
            entries << found(name, true);
        ASSERT_TRUE(editor->insert_nodes(entries));
        EXPECT_EQ(shown_messages(), b.asked);
        const std::vector<MSG_RECORD> advice = posted("VOKR_POST_FITTING_INVALID_PARTITION_LIST");
        ASSERT_EQ(advice.size(), 1u);
        EXPECT_EQ(advice[0].items.size(), b.nodes.size());
        EXPECT_EQ(advice[0].items[0].text, "Post-fitting node \"" + std::string(b.nodes[0] + 4) + "\"");
    }
    EXPECT_EQ(netlist_of("cpu"), YEK_NETLIST_SOURCE_FILE);

    EDITOR other(true);
    MSG_JOURNAL::clear();
    answer({NO});
    ASSERT_TRUE(other->insert_nodes(PIRQ_INSTANCE_NAME_LIST{found("top|cpu|x0", true)}));
    EXPECT_EQ(shown_messages(), std::vector<std::string>{"VOKR_POST_FITTING_INVALID_PARTITION_ASSIGNMENTS"});
}

TEST_F(NodeValidity, TopPartitionQuestionIsFollowedByTheOtherPartitionsQuestionOnlyWhenOneIsNotPostFit)
{
    const std::string TOP = "VOKR_POST_FITTING_INVALID_TOP_PARTITION_ASSIGNMENT",
                      OTHERS = "VOKR_POST_FITTING_INVALID_OTHER_PARTITION_ASSIGNMENTS",
                      REFUSED = "VOKR_POST_FITTING_PARTITION_NOT_SUPPORTED";
    const struct {
        const char* cpu_type;
        std::initializer_list<int> answers;
        std::vector<std::string> asked;
        int cpu_netlist;
        const char* fixed;                 // "alu": a partition before cpu that refuses the change
        std::vector<std::string> refused;  // the items of the list naming the partitions that refused
    } cases[] = {
        {"1", {YES, YES}, {TOP, OTHERS}, YEK_NETLIST_POST_FIT, "", {}},
        {"1", {YES, NO}, {TOP, OTHERS}, YEK_NETLIST_SOURCE_FILE, "", {}},
        {"0", {YES}, {TOP}, YEK_NETLIST_SOURCE_FILE, "", {}},
        {"1", {YES, YES}, {TOP, OTHERS, REFUSED}, YEK_NETLIST_POST_FIT, "alu", {"Partition \"alu\""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "cpu partition type " << c.cpu_type << ", " << c.answers.size() << " answers"
                                        << (*c.fixed ? ", a fixed partition" : ""));
        const std::string fixed =
            *c.fixed ? std::string("partition ") + c.fixed + " type 1 netlist source fixed\n" : "";
        const std::string text = std::string("top top\nincremental on\npartition | type 1 netlist source\n") + fixed +
                                 "partition cpu type " + c.cpu_type + " netlist source\n" +
                                 "partition mem type 1 netlist post-fit\nnode t0 registered pre post\n";
        open_project(text.c_str());
        EDITOR editor(true);
        MSG_JOURNAL::clear();
        answer(c.answers);
        ASSERT_TRUE(editor->insert_nodes(PIRQ_INSTANCE_NAME_LIST{found("top|t0", true)}));
        EXPECT_EQ(shown_messages(), c.asked);
        EXPECT_EQ(netlist_of("|"), YEK_NETLIST_POST_FIT);
        EXPECT_EQ(netlist_of("cpu"), c.cpu_netlist);
        const std::vector<MSG_RECORD> changed = posted("VOKR_POST_FITTING_VALID_PARTITION_LIST");
        ASSERT_EQ(changed.size(), 1u);
        EXPECT_EQ(item_texts(changed[0]), std::vector<std::string>{"Post-fitting node \"t0\""});
        EXPECT_TRUE(posted("VOKR_POST_FITTING_INVALID_PARTITION_LIST").empty());
        const std::vector<MSG_RECORD> refused = posted("VOKR_POST_FITTING_PARTITIONS_NOT_CHANGED");
        EXPECT_EQ(refused.size(), c.refused.empty() ? 0u : 1u);
        EXPECT_EQ(refused.empty() ? std::vector<std::string>{} : item_texts(refused[0]), c.refused);
    }
}

TEST_F(NodeValidity, PartitionAnswersChangeTheNetlistTypeOrAdviseIt)
{
    const struct {
        const char* what;
        const char* node;
        bool post;
        std::vector<std::string> asked;
        const char* list;
        std::string item;
        const char* partition;
        int netlist;
    } cases[] = {
        {"fixed partition",
         "top|uart|y",
         true,
         {"VOKR_POST_FITTING_INVALID_PARTITION_ASSIGNMENTS", "VOKR_POST_FITTING_PARTITION_NOT_SUPPORTED"},
         "VOKR_POST_FITTING_INVALID_PARTITION_LIST",
         "Post-fitting node \"uart|y\"",
         "uart",
         YEK_NETLIST_SOURCE_FILE},
        {"pre-synthesis node in a post-fit partition",
         "top|mem|p",
         false,
         {"VOKR_PRE_SYNTHESIS_INVALID_PARTITION_ASSIGNMENTS"},
         "VOKR_PRE_SYNTHESIS_VALID_PARTITION_LIST",
         "Pre-synthesis node \"mem|p\"",
         "mem",
         YEK_NETLIST_SOURCE_FILE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        open_project(PARTITIONS);
        EDITOR editor(true);
        MSG_JOURNAL::clear();
        answer({YES});
        ASSERT_TRUE(editor->insert_nodes(PIRQ_INSTANCE_NAME_LIST{found(c.node, c.post)}));
        EXPECT_EQ(shown_messages(), c.asked);
        const std::vector<MSG_RECORD> lists = posted(c.list);
        ASSERT_EQ(lists.size(), 1u);
        EXPECT_EQ(item_texts(lists[0]), std::vector<std::string>{c.item});
        EXPECT_EQ(MSG_JOURNAL::records_of("posted").size(), 1u);
        EXPECT_EQ(netlist_of(c.partition), c.netlist);
    }
}

TEST_F(NodeValidity, PartitionCheckReportsOnlyNodesWhosePartitionDoesNotFit)
{
    const struct {
        const char* project;
        const char* name;
        KSM_DATA_WIRE_TAP_MODE tap;
        bool reported;
    } cases[] = {
        {PARTITIONS, "cpu|x0", KSM_TAP_POST_FITTING, true},   {PARTITIONS, "mem|p", KSM_TAP_PRE_SYNTHESIS, true},
        {PARTITIONS, "mem|p", KSM_TAP_POST_FITTING, false},   {PARTITIONS, "cpu|x0", KSM_TAP_PRE_SYNTHESIS, false},
        {PARTITIONS, "dbg|z", KSM_TAP_POST_FITTING, false},   {PARTITIONS, "misc|w", KSM_TAP_POST_FITTING, false},
        {PARTITIONS, "nowhere", KSM_TAP_POST_FITTING, false}, {DATABASES_ON, "both", KSM_TAP_POST_FITTING, false},
        {DATABASES_OFF, "both", KSM_TAP_POST_FITTING, false},
    };
    for (const auto& c : cases) {
        open_project(c.project);
        EDITOR editor(true);
        answer({NO});
        EXPECT_EQ(editor->check_node_partition(c.name, c.tap), c.reported) << c.name << " tap " << c.tap;
        editor->show_pre_synthesis_invalid_partition_msg(nullptr, nullptr);
        editor->show_post_fitting_invalid_partition_msg(nullptr, nullptr);
    }
}

TEST_F(NodeValidity, RenamedNodeMissingFromTheDesignIsInvalidAndTheViewsAreToldOnce)
{
    open_project(DATABASES_OFF);
    EDITOR editor(true);
    ASSERT_TRUE(editor->insert_nodes(PIRQ_INSTANCE_NAME_LIST{found("top|both")}));
    HINTS hints(editor.get());
    ASSERT_TRUE(editor->rename_node(0, "gone"));
    EXPECT_TRUE(editor.trigger()->is_invalid(0));
    EXPECT_EQ(hints.count(VALIDITY_HINT), 1);
    EXPECT_TRUE(editor->check_node_validity(-1));
    EXPECT_EQ(hints.count(VALIDITY_HINT), 1);
    ASSERT_TRUE(editor->rename_node(0, "both"));
    EXPECT_FALSE(editor.trigger()->is_invalid(0));
    EXPECT_EQ(hints.count(VALIDITY_HINT), 2);
}

TEST_F(NodeValidity, SessionsThatAreNotCheckedClearTheInvalidFlag)
{
    const struct {
        const char* what;
        void (*uncheck)(VOKR_TX_MANAGER*);
    } cases[] = {
        {"no open project", [](VOKR_TX_MANAGER*) { PRJ_PROJECT::close(); }},
        {"made by the IP generation wizard",
         [](VOKR_TX_MANAGER* m) {
             KSM_DATA_INSTANCE_INFO info = m->get_tx_instance()->get_node_info();
             info.third = KSM_INSTANCE_INFO_WIZARD_GENERATED;
             m->get_tx_instance()->set_node_info(info);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        open_project(DATABASES_OFF);
        EDITOR editor(false);
        ASSERT_TRUE(editor.trigger()->insert_node("gone", KSM_STYPE_NONE, KSM_TAP_PRE_SYNTHESIS, false));
        ASSERT_TRUE(editor->check_node_validity(-1));
        c.uncheck(editor.get());
        HINTS hints(editor.get());
        EXPECT_FALSE(editor->check_node_validity(-1));
        EXPECT_FALSE(editor->check_node_validity(-1));
        EXPECT_EQ(hints.list, std::vector<unsigned int>{VALIDITY_HINT});
    }
}

TEST_F(NodeValidity, RowsAndClocksAreLookedUpInTheDatabaseOfTheirKind)
{
    const struct {
        bool incremental;
        const char* name;
        bool post;
        bool invalid;
    } cases[] = {
        {false, "both", false, false},    {false, "locked", false, true},   {false, "nowhere", false, true},
        {false, "only_post", true, true}, {false, "only_pre", true, false}, {true, "only_post", true, false},
        {true, "only_pre", true, true},   {true, "only_post", false, true}, {true, "both", true, false},
        {true, "locked", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.incremental ? "incremental, " : "") << c.name
                                        << (c.post ? " post-fitting" : " pre-synthesis"));
        open_project(c.incremental ? DATABASES_ON : DATABASES_OFF);
        EDITOR editor(false);
        const KSM_DATA_WIRE_TAP_MODE tap = c.post ? KSM_TAP_POST_FITTING : KSM_TAP_PRE_SYNTHESIS;
        ASSERT_TRUE(editor.trigger()->insert_node(c.name, KSM_STYPE_NONE, tap, false));
        ASSERT_TRUE(editor.data()->set_clock(c.name, c.post));
        EXPECT_EQ(editor->check_node_validity(-1), c.invalid);
        EXPECT_EQ(editor.trigger()->is_invalid(0), c.invalid);
        EXPECT_EQ(editor.data()->is_clock_invalid(), c.invalid);
    }
}

TEST_F(NodeValidity, GroupRowsAreNotLookedUp)
{
    open_project(DATABASES_OFF);
    EDITOR editor(false);
    for (const char* name : {"both", "only_pre"})
        ASSERT_TRUE(editor.trigger()->insert_node(name, KSM_STYPE_NONE, KSM_TAP_PRE_SYNTHESIS, false));
    ASSERT_TRUE(editor->group_node(0, 1));
    EXPECT_FALSE(editor->check_node_validity(-1));
    EXPECT_FALSE(editor.trigger()->is_invalid(0));
}

TEST_F(NodeValidity, MissingClockNoticeOnlyWhenNodesAreUsed)
{
    const struct {
        const char* what;
        int rows;
        KSM_DATA_WIRE_CAPTURE_TYPE use;
        const char* clock;
        bool notice;
    } cases[] = {
        {"no nodes", 0, KSM_CAPTURE_BOTH, "", false},
        {"data and trigger nodes", 2, KSM_CAPTURE_BOTH, "", true},
        {"data nodes", 1, KSM_CAPTURE_DATA, "", true},
        {"trigger nodes", 1, KSM_CAPTURE_TRIGGER, "", true},
        {"nodes used for nothing", 2, KSM_CAPTURE_NEITHER, "", false},
        {"with a clock", 2, KSM_CAPTURE_BOTH, "clk", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EDITOR editor(false);
        for (int i = 0; i < c.rows; ++i) {
            ASSERT_TRUE(editor.trigger()->insert_node(("n" + std::to_string(i)).c_str(), KSM_STYPE_NONE,
                                                      KSM_TAP_PRE_SYNTHESIS, false));
            editor.trigger()->set_node_use(i, c.use);
        }
        if (*c.clock)
            editor.data()->set_clock(c.clock, false);
        MSG_JOURNAL::clear();
        EXPECT_TRUE(editor->check_nodes_allocated(-1));
        EXPECT_EQ(shown_messages(), c.notice ? std::vector<std::string>{"VOKR_MISSING_LUMETRA_CLOCK_ASSIGNMENT_ITEM"}
                                             : std::vector<std::string>{});
    }
}

class SingleNode : public MANAGER_TEST {};

TEST_F(SingleNode, ChoiceIsCheckedForBusesTriggerOutPinsAndTappability)
{
    open_project(FINDER);
    const struct {
        const char* what;
        bool pre_filter;
        VOKR_TX_MANAGER::NODE_TYPE type;
        QStringList chosen;
        bool result;
        const char* name;
        VOKR_IS_POST_FITTING_TYPE kind;
        std::vector<std::string> shown;
        std::vector<std::string> untappable;  // items of the posted untappable list
    } cases[] = {
        {"bus",
         true,
         VOKR_TX_MANAGER::NODE_TYPE_CLOCK,
         {"top|d"},
         false,
         "",
         VOKR_KEEP_NAME_KIND,
         {"VOKR_NO_BUS_NODE_ALLOWED"},
         {}},
        {"trigger out on an input pin",
         true,
         VOKR_TX_MANAGER::NODE_TYPE_TRIGGER_OUT,
         {"top|a"},
         false,
         "a",
         VOKR_PRE_SYNTHESIS_NAME,
         {"VOKR_INVALID_LUMETRA_TRIGGER_OUT_ASSIGNMENT_ITEM"},
         {}},
        {"trigger out on an output pin",
         true,
         VOKR_TX_MANAGER::NODE_TYPE_TRIGGER_OUT,
         {"top|b"},
         true,
         "b",
         VOKR_PRE_SYNTHESIS_NAME,
         {},
         {}},
        {"several names",
         true,
         VOKR_TX_MANAGER::NODE_TYPE_INPUT,
         {"top|a", "top|d"},
         true,
         "a",
         VOKR_PRE_SYNTHESIS_NAME,
         {},
         {}},
        {"post-fitting clock",
         false,
         VOKR_TX_MANAGER::NODE_TYPE_CLOCK,
         {"top|pclk"},
         true,
         "pclk",
         VOKR_POST_FITTING_NAME,
         {"VOKR_INVALID_POST_FITTING_NODE_ASSIGNMENTS"},
         {"Post-fitting node \"pclk\""}},
        // The finder lists the database its title names: a post-fitting-only name is not offered.
        {"post-fitting name with the pre-synthesis title",
         true,
         VOKR_TX_MANAGER::NODE_TYPE_CLOCK,
         {"top|pclk"},
         false,
         "",
         VOKR_KEEP_NAME_KIND,
         {},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EDITOR editor(false);
        editor->set_using_pre_synthesis_filter(c.pre_filter);
        tevq_push_scripted_choice(c.chosen);
        MSG_JOURNAL::clear();
        QString name;
        VOKR_IS_POST_FITTING_TYPE kind = VOKR_KEEP_NAME_KIND;
        EXPECT_EQ(editor->get_unb_node(&name, c.type, &kind), c.result);
        EXPECT_EQ(name, QString(c.name));
        EXPECT_EQ(kind, c.kind);
        EXPECT_EQ(shown_messages(), c.shown);
        const std::vector<MSG_RECORD> lists = posted("VOKR_INVALID_LUMETRA_NODE_ASSIGNMENT_LIST");
        EXPECT_EQ(lists.size(), c.untappable.empty() ? 0u : 1u);
        if (!lists.empty()) {
            EXPECT_EQ(item_texts(lists[0]), c.untappable);
        }
        if (!c.shown.empty() && c.shown[0] == "VOKR_INVALID_LUMETRA_TRIGGER_OUT_ASSIGNMENT_ITEM") {
            EXPECT_EQ(MSG_JOURNAL::records_of("prompted")[0].text, "Cannot use node \"a\" as a Trigger Out signal");
        }
    }
}

TEST_F(SingleNode, CancelledFinderReturnsFalseSilentlyAndKeepsTheFilter)
{
    open_project(DATABASES_ON);
    for (bool pre : {true, false}) {
        EDITOR editor(false);
        editor->set_using_pre_synthesis_filter(pre);
        MSG_JOURNAL::clear();
        QString name;
        EXPECT_FALSE(editor->get_unb_node(&name, VOKR_TX_MANAGER::NODE_TYPE_CLOCK, nullptr));
        EXPECT_TRUE(MSG_JOURNAL::records().empty());
        EXPECT_EQ(editor->is_using_pre_synthesis_filter(), pre);
    }
}

TEST_F(SingleNode, PostFittingChoiceKeepsTheNextFinderOnPostFittingNames)
{
    open_project(DATABASES_ON);
    EDITOR editor(false);
    editor->set_using_pre_synthesis_filter(false);
    QString name;
    VOKR_IS_POST_FITTING_TYPE kind = VOKR_KEEP_NAME_KIND;
    tevq_push_scripted_choice({"top|only_post"});
    ASSERT_TRUE(editor->get_unb_node(&name, VOKR_TX_MANAGER::NODE_TYPE_CLOCK, &kind));
    EXPECT_EQ(kind, VOKR_POST_FITTING_NAME);
    EXPECT_FALSE(editor->is_using_pre_synthesis_filter());
    tevq_push_scripted_choice({"top|only_post"});
    EXPECT_TRUE(editor->get_unb_node(&name, VOKR_TX_MANAGER::NODE_TYPE_CLOCK, &kind));
    // A pre-synthesis choice switches the filter on again.
    editor->set_using_pre_synthesis_filter(true);
    tevq_push_scripted_choice({"top|both"});
    ASSERT_TRUE(editor->get_unb_node(&name, VOKR_TX_MANAGER::NODE_TYPE_CLOCK, &kind));
    EXPECT_EQ(kind, VOKR_PRE_SYNTHESIS_NAME);
    EXPECT_TRUE(editor->is_using_pre_synthesis_filter());
    tevq_push_scripted_choice({"top|only_post"});
    EXPECT_FALSE(editor->get_unb_node(&name, VOKR_TX_MANAGER::NODE_TYPE_CLOCK, &kind));
}

TEST_F(SingleNode, IncrementalProjectChecksThePartitionOfTheChosenNode)
{
    open_project(PARTITIONS);
    EDITOR editor(false);
    editor->set_using_pre_synthesis_filter(false);
    tevq_push_scripted_choice({"top|cpu|x0"});
    answer({NO});
    QString name;
    EXPECT_TRUE(editor->get_unb_node(&name, VOKR_TX_MANAGER::NODE_TYPE_INPUT, nullptr));
    EXPECT_EQ(name, "cpu|x0");
    EXPECT_EQ(shown_messages(), std::vector<std::string>{"VOKR_POST_FITTING_INVALID_PARTITION_ASSIGNMENTS"});
    EXPECT_EQ(posted("VOKR_POST_FITTING_INVALID_PARTITION_LIST").size(), 1u);
    EXPECT_TRUE(posted("VOKR_INVALID_LUMETRA_NODE_ASSIGNMENT_LIST").empty());
}

TEST_F(SingleNode, FinderLibraryThatCannotBeLoadedIsReported)
{
    EDITOR editor(false);
    QTemporaryDir empty;
    gen_set_module_path(empty.path().toStdString());
    tevq_push_scripted_choice({"top|a"});
    QString name;
    const bool result = editor->get_unb_node(&name, VOKR_TX_MANAGER::NODE_TYPE_CLOCK, nullptr);
    gen_set_module_path("");
    EXPECT_FALSE(result);
    const std::vector<MSG_RECORD> errors = MSG_JOURNAL::records_of("posted");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].type, "E");
    const std::string lead = "The node finder cannot be started: ";
    EXPECT_EQ(errors[0].text.compare(0, lead.size(), lead), 0) << errors[0].text;
    EXPECT_GT(errors[0].text.size(), lead.size());
}

TEST_F(SingleNode, BrowsingTheClockSetsItAndTellsTheSettingsPanels)
{
    open_project(FINDER);
    EDITOR editor(false);
    editor->set_using_pre_synthesis_filter(true);
    tevq_push_scripted_choice({"top|a"});
    HINTS hints(editor.get());
    editor->browse_clock();
    QString clock;
    editor->get_clock(&clock, -1);
    EXPECT_EQ(clock, "a");
    EXPECT_FALSE(editor.data()->is_clock_post_fitting());
    EXPECT_EQ(hints.list.back(), CONFIG_HINT);
}

}  // namespace
