// Plug-in tables on a session: a plug-in's tables added to the current instance as groups (in
// simulate mode and on the demo design), the tables reopened with a saved session, the options
// sent to the plug-ins and the look-ups of display texts and trigger patterns, with the
// misbehaviours of a faulty plug-in.
#include "gen.h"
#include "manager_test_support.h"
#include "vokr_plugin_dialogs.h"
#include "vokr_plugin_library.h"

#include <cstdlib>

namespace {

using namespace manager_test;

constexpr const char* GOOD = "Good Decoder";
constexpr const char* DEMO = "Demo Opcode Decoder";
constexpr const char* SIM = "fake_orvo2_inst|cpu:the_cpu|D_iw[%1]";

class PluginTables : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        gen_set_module_path(VOKR_TEST_PLUGIN_DIR);
        VOKR_PLUGIN_HIERARCHY_DLG::clear_scripted_choices();
        VOKR_PLUGIN_OPTION_DLG::clear_scripted_answers();
        // The plug-ins stay loaded for the whole test; what loading them showed is cleared.
        m_loader = std::make_unique<VOKR_TX_MANAGER>(nullptr);
        MSG_JOURNAL::clear();
    }
    void TearDown() override
    {
        unsetenv("VOKR_TEST_PLUGIN_FAULT");
        m_loader.reset();
        gen_set_module_path(std::string());
        MANAGER_TEST::TearDown();
    }
    static void fault(const char* which) { setenv("VOKR_TEST_PLUGIN_FAULT", which, 1); }

    std::unique_ptr<VOKR_TX_MANAGER> m_loader;
};

// The texts of the plug-in boxes shown since the journal was cleared.
std::vector<std::string> boxes()
{
    std::vector<std::string> texts;
    for (const MSG_RECORD& r : MSG_JOURNAL::records_of("prompted"))
        if (r.identifier.empty())
            texts.push_back(r.text);
    return texts;
}

std::string sim(int bit) { return QString(SIM).arg(bit).toStdString(); }

// Rows as "name:use", a group as "name{type}".
std::vector<std::string> rows(const KSM_TX_SIGNAL_NODES* list)
{
    std::vector<std::string> out;
    for (int r = 0; r < list->get_num_nodes(); ++r)
        out.push_back(list->has_children(r)
                          ? std::string(list->get_node_name(r)) + "{" +
                                std::to_string(list->get_group_display_type(r)) + "}"
                          : std::string(list->get_node_name(r)) + ":" + std::to_string(list->get_node_use(r)));
    return out;
}

// Where each table's nodes and group land: a second-generation session fills each list
// directly; a first-generation one inserts into both lists, keeps the setup group and the data
// nodes in the trigger list and builds the data group from copies, never without a setup group.
TEST_F(PluginTables, TablesLandPerGeneration)
{
    const std::string trace = "fake_orvo2_inst|trace{12}", trace_data = "fake_orvo2_inst|trace_data{12}";
    const struct {
        const char* what;
        bool second_generation;
        const char* fault;
        std::vector<std::string> trigger, data;
    } cases[] = {
        {"second generation",
         true,
         "",
         {trace, sim(0) + ":2", sim(1) + ":2", sim(2) + ":3", sim(3) + ":3"},
         {trace_data, sim(2) + ":1", sim(3) + ":1", sim(4) + ":1", sim(5) + ":1"}},
        {"first generation",
         false,
         "",
         {trace, sim(0) + ":2", sim(1) + ":2", sim(2) + ":3", sim(3) + ":3", sim(4) + ":1", sim(5) + ":1"},
         {trace_data, sim(2) + ":3", sim(3) + ":3", sim(4) + ":3", sim(5) + ":3"}},
        {"first generation without setup table",
         false,
         "no-setup",
         {sim(2) + ":1", sim(3) + ":1", sim(4) + ":1", sim(5) + ":1"},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fault(c.fault);
        EDITOR m(false);
        m->get_session()->set_second_generation(c.second_generation);
        ASSERT_TRUE(m->open_plugin(GOOD, true));
        // Nodes only of the setup table serve the trigger, those of both tables keep both uses.
        EXPECT_EQ(rows(m.trigger()), c.trigger);
        EXPECT_EQ(rows(m.data()), c.data);
        EXPECT_EQ(m.trigger()->get_plugin_mnemonics(0) != nullptr, !c.trigger.empty() && c.trigger[0] == trace);
        EXPECT_EQ(m.data()->get_plugin_mnemonics(0) != nullptr, !c.data.empty());
    }
}

TEST_F(PluginTables, SimulateModeFillsTheTableRecord)
{
    EDITOR m(false);
    m->get_session()->set_second_generation(true);
    const int dialogs = VOKR_PLUGIN_OPTION_DLG::shown_count();
    ASSERT_TRUE(m->open_plugin(GOOD, true));
    EXPECT_EQ(VOKR_PLUGIN_OPTION_DLG::shown_count(), dialogs);  // no options dialog
    EXPECT_STREQ(m.trigger()->get_node_alias(0), "TR");
    const KSM_TX_PLUGIN_MNEMONICS* record = m.trigger()->get_plugin_mnemonics(0);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->plugin_name, GOOD);
    EXPECT_EQ(record->table_name, "trace");
    EXPECT_EQ(record->width, 4);
    ASSERT_EQ(record->options.size(), 3u);
    EXPECT_EQ(record->options[0].type, KSM_PLUGIN_OPTION_NUMBER);
    EXPECT_EQ(record->options[1].type, KSM_PLUGIN_OPTION_FILE);
    EXPECT_EQ(record->options[2].type, KSM_PLUGIN_OPTION_OTHER);
    EXPECT_EQ(record->string_pairs, (std::vector<std::pair<std::string, std::string>>{{"format", "hex"}}));
    EXPECT_TRUE(record->handle);
    QString text;
    ASSERT_TRUE(m->get_plugin_mnemonic_table_name_menu_string(&text, 0, m.trigger()));
    EXPECT_EQ(text, "trace : width = 4");
    EXPECT_TRUE(boxes().empty());
}

// A faulty plug-in: what open_plugin returns, what it shows, and whether a group got a record.
TEST_F(PluginTables, FaultsWhileAddingTables)
{
    const struct {
        const char* fault;
        bool result;
        std::vector<std::string> boxes;
        std::string failure_posted;  // the prompted catalogue message, if any
        bool record;
    } cases[] = {
        {"tables-fail", false, {"decoder lost sync"}, "", false},
        // The first setup node twice: the rows are not consecutive, so the table gets no group.
        {"duplicate-node", false, {}, "VOKR_PLUGIN_ADD_NODES_FAILED", false},
        // The table is grouped but not opened: its record keeps no handle.
        {"open-table-fails", false, {"decoder lost sync"}, "VOKR_PLUGIN_ADD_NODES_FAILED", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        MSG_JOURNAL::clear();
        fault(c.fault);
        EDITOR m(false);
        m->get_session()->set_second_generation(true);
        EXPECT_EQ(m->open_plugin(GOOD, true), c.result);
        EXPECT_EQ(boxes(), c.boxes);
        EXPECT_EQ(!c.failure_posted.empty() && journal_position(c.failure_posted) >= 0, !c.failure_posted.empty());
        const KSM_TX_PLUGIN_MNEMONICS* record = m.trigger()->get_plugin_mnemonics(0);
        EXPECT_EQ(record != nullptr, c.record);
        EXPECT_FALSE(record && record->handle);
    }
}

// The demo design: the decoder finds the processor core, taps its opcode field and names it.
class DemoDecoder : public PluginTables {
protected:
    void SetUp() override
    {
        PluginTables::SetUp();
        std::string error;
        ASSERT_TRUE(PRJ_PROJECT::open(VOKR_EXAMPLES_DIR "/demo/demo.kproj", &error)) << error;
    }
    // Adds the decoder's tables with the option settings given.
    void add(EDITOR& m, const QStringList& settings)
    {
        m->get_session()->set_second_generation(true);
        VOKR_PLUGIN_OPTION_DLG::push_scripted_settings(settings);
        ASSERT_TRUE(m->open_plugin(DEMO, false));
        EXPECT_EQ(VOKR_PLUGIN_HIERARCHY_DLG::last_candidates(), QStringList({"cpu"}));
    }
};

TEST_F(DemoDecoder, NamesTheOpcodesAndGivesTheirPatterns)
{
    EDITOR m(false);
    ASSERT_NO_FATAL_FAILURE(add(m, {"2", "", "lower"}));
    EXPECT_EQ(names(m.trigger()), std::vector<std::string>({"cpu|opcode", "cpu|ir[31]", "cpu|ir[30]", "cpu|ir[29]",
                                                            "cpu|ir[28]", "cpu|ir[27]", "cpu|ir[26]"}));
    EXPECT_EQ(m.trigger()->get_plugin_mnemonics(0)->options[2].setting, "lower");
    const struct {
        const char* value;
        bool found;
        const char* text;
    } displays[] = {{"000001", true, "add"}, {"010000", true, "010000"}, {"01", false, ""}};
    for (const auto& d : displays) {
        QString text;
        EXPECT_EQ(m->get_plugin_mnemonic(&text, d.value, 0, m.trigger()), d.found) << d.value;
        EXPECT_EQ(text, d.text) << d.value;
    }
    QString pattern;
    EXPECT_TRUE(m->get_plugin_trigger(&pattern, "CALL", 0, -1));
    EXPECT_EQ(pattern, "001101");
    EXPECT_TRUE(boxes().empty());  // a failing display look-up says nothing
    EXPECT_FALSE(m->get_plugin_trigger(&pattern, "FOO", 0, -1));
    EXPECT_EQ(boxes(), std::vector<std::string>({"\"FOO\" is not an opcode"}));
    QString menu;
    ASSERT_TRUE(m->get_plugin_mnemonic_table_name_menu_string(&menu, 0, m.data()));
    EXPECT_EQ(menu, "cpu_opcodes : width = 6");
}

TEST_F(DemoDecoder, CancelledHierarchyAddsNothing)
{
    EDITOR m(false);
    VOKR_PLUGIN_HIERARCHY_DLG::push_scripted_choice("no such instance");
    EXPECT_FALSE(m->open_plugin(DEMO, false));
    EXPECT_EQ(m.trigger()->get_num_nodes(), 0);
}

// A saved session reopens its tables with the installed plug-ins; handles are never stored.
TEST_F(PluginTables, SessionReopensItsTables)
{
    const struct {
        const char* what;
        const char* fault;
        const char* plugin;  // the name the session's group keeps
        bool handle;
        std::vector<std::string> boxes;
    } cases[] = {
        {"installed plug-in", "", GOOD, true, {}},
        {"a message for the second of three options", "option-message", GOOD, true, {"sym.txt is not a symbol file"}},
        {"plug-in not installed", "option-message", "Absent Decoder", false, {}},
        {"tables not opened again", "open-table-fails", GOOD, false, {"decoder lost sync", "decoder lost sync"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = path("reopen.lmx");
        {
            EDITOR m(false);
            m->get_session()->set_second_generation(true);
            ASSERT_TRUE(m->open_plugin(GOOD, true));
            auto table = m->get_plugin_struct(0);
            ASSERT_TRUE(table);
            EXPECT_EQ(table->options[1].type, "file");
            table->options[1].setting = "sym.txt";
            ASSERT_TRUE(m->set_plugin_user_options({table.get()}));
            KSM_TX_PLUGIN_MNEMONICS renamed = *m.trigger()->get_plugin_mnemonics(0);
            renamed.plugin_name = c.plugin;
            m.trigger()->set_plugin_mnemonics(0, &renamed);
            ASSERT_TRUE(m->save_document(file.c_str()));
        }
        MSG_JOURNAL::clear();
        fault(c.fault);
        EDITOR m(false);
        bool renamed = false;
        std::string new_name;
        ASSERT_TRUE(m->open_document(file.c_str(), &renamed, &new_name));
        const KSM_TX_PLUGIN_MNEMONICS* record = m.trigger()->get_plugin_mnemonics(0);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->plugin_name, c.plugin);
        EXPECT_EQ(record->options[1].setting, "sym.txt");
        EXPECT_EQ(record->handle != nullptr, c.handle);
        EXPECT_EQ(boxes(), c.boxes);
        unsetenv("VOKR_TEST_PLUGIN_FAULT");
    }
}

// A reopening that fails drops the handle of the earlier opening and sends no options.
TEST_F(PluginTables, FailedReopeningClearsTheHandle)
{
    EDITOR m(false);
    m->get_session()->set_second_generation(true);
    ASSERT_TRUE(m->open_plugin(GOOD, true));
    ASSERT_TRUE(m.trigger()->get_plugin_mnemonics(0)->handle);
    fault("open-table-fails");
    EXPECT_TRUE(m->open_plugin_mnemonic_tables());
    EXPECT_FALSE(m.trigger()->get_plugin_mnemonics(0)->handle);
    QString text = "unchanged";
    EXPECT_FALSE(m->get_plugin_mnemonic(&text, "0101", 0, m.trigger()));
    EXPECT_EQ(text, "unchanged");
}

// Options and look-ups through the faulty plug-in: failures, buffers filled to their end, and
// tables that never got a group.
TEST_F(PluginTables, QueriesThroughAFaultyPlugin)
{
    EDITOR m(false);
    m->get_session()->set_second_generation(true);
    ASSERT_TRUE(m->open_plugin(GOOD, true));
    MSG_JOURNAL::clear();

    fault("lookup-fails");
    QString text = "unchanged";
    EXPECT_FALSE(m->get_plugin_mnemonic(&text, "0101", 0, m.trigger()));
    EXPECT_TRUE(boxes().empty());
    EXPECT_FALSE(m->get_plugin_trigger(&text, "IDLE", 0, -1));
    EXPECT_EQ(boxes(), std::vector<std::string>({"decoder lost sync"}));
    EXPECT_EQ(text, "unchanged");

    fault("unterminated");
    const QString cut(VOKR_PLUGIN_BUFFER_SIZE - 1, 'x');
    EXPECT_TRUE(m->get_plugin_mnemonic(&text, "0101", 0, m.trigger()));
    EXPECT_EQ(text, cut);
    EXPECT_TRUE(m->get_plugin_trigger(&text, "IDLE", 0, -1));
    EXPECT_EQ(text, cut);
    auto table = m->get_plugin_struct(0);
    ASSERT_TRUE(m->set_plugin_user_options({table.get()}));
    EXPECT_EQ(table->options[2].result, cut.toLatin1());

    // A table without a group has no record: its options go nowhere and nothing breaks.
    VOKR_TX_MANAGER::VOKR_PLUGIN_STRUCT ungrouped;
    ungrouped.plugin_name = GOOD;
    ungrouped.options.push_back({"base", "", "number", "16", {}});
    EXPECT_TRUE(m->set_plugin_user_options({&ungrouped}));
    EXPECT_TRUE(VOKR_PLUGIN_OPTION_DLG::edit(m.get(), {&ungrouped}));
    EXPECT_TRUE(ungrouped.options[0].result.isEmpty());
}

TEST_F(PluginTables, TriggerSymbolsPerLevel)
{
    EDITOR m(false);
    m->get_session()->set_second_generation(true);
    ASSERT_TRUE(m->open_plugin(GOOD, true));
    EXPECT_TRUE(m->set_plugin_trigger_condition_symbol("BUSY", 0, 0, -1));
    const struct {
        int level;
        const char* expected;
    } cases[] = {{0, "BUSY"}, {1, ""}, {-2, "unchanged"}};
    for (const auto& c : cases) {
        QString symbol = "unchanged";
        EXPECT_TRUE(m->get_plugin_trigger_condition_symbol(&symbol, 0, c.level, -1));
        EXPECT_EQ(symbol, c.expected) << c.level;
    }
    QString symbol;
    EXPECT_FALSE(m->get_plugin_trigger_condition_symbol(&symbol, 1, 0, -1));  // a member row
    EXPECT_DEATH(m->get_plugin_trigger_condition_symbol(&symbol, 0, -4, -1), "nTriggerLevel >= -3");
}

}  // namespace
