// The session's mnemonic tables as the manager creates them and attaches them to a group, and
// the queries by which views find a group's table name, width and symbols.
#include "vokr_tx_manager.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class MnemonicTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        manager.new_document("x.lmx");
        for (const char* name : {"bus[0]", "bus[1]", "bus[2]", "bus[3]"})
            ASSERT_TRUE(list()->insert_node(name, KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false));
        ASSERT_TRUE(list()->group_nodes(0, 3));
    }
    KSM_TX_SIGNAL_NODES* list() { return manager.get_trigger_nodes(-1); }
    void make_group(KSM_DATA_GROUP_DISPLAY_TYPE type, const char* table)
    {
        list()->set_group_display_type(GROUP, type);  // false when the row already has the type
        list()->set_mnemonics_table_name(GROUP, table);
        ASSERT_EQ(list()->get_group_display_type(GROUP), type);
    }
    void attach_plugin_record(int static_table_index)
    {
        KSM_TX_PLUGIN_MNEMONICS record;
        record.plugin_name = "decoder";
        record.table_name = "tbl";
        record.width = 8;
        record.static_table_index = static_table_index;
        ASSERT_TRUE(list()->set_plugin_mnemonics(GROUP, &record));
    }
    QString symbol_of(const char* pattern)
    {
        QString symbol = "unchanged";
        EXPECT_TRUE(manager.get_node_mnemonics_symbol(GROUP, pattern, &symbol, nullptr));
        return symbol;
    }

    static constexpr int GROUP = 0;
    VOKR_TX_MANAGER manager{nullptr};
};

// Whatever the group showed before, it ends up symbolic and naming the new table.
TEST_F(MnemonicTables, CreatingATableAttachesItToTheGroup)
{
    const struct {
        const char* label;
        KSM_DATA_GROUP_DISPLAY_TYPE type;
        const char* table;
    } cases[] = {
        {"binary group", KSM_GTYPE_BINARY, ""},
        {"symbolic group without a table", KSM_GTYPE_MNEMONICS, ""},
        {"symbolic group naming another table", KSM_GTYPE_MNEMONICS, "old"},
        {"symbolic group naming this table", KSM_GTYPE_MNEMONICS, "states"},
        {"plug-in group", KSM_GTYPE_PLUGIN, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        make_group(c.type, c.table);
        manager.create_mnemonic_table(GROUP, "states", {"IDLE", "RUN"}, {"0000", "0001"});
        EXPECT_EQ(list()->get_group_display_type(GROUP), KSM_GTYPE_MNEMONICS);
        QString name;
        EXPECT_TRUE(manager.get_node_mnemonics_table_name(GROUP, &name, nullptr));
        EXPECT_EQ(name, "states");
        EXPECT_EQ(symbol_of("0001"), "RUN");
    }
}

TEST_F(MnemonicTables, ATableCreatedUnderAnExistingNameReplacesIt)
{
    manager.create_mnemonic_table(GROUP, "states", {"IDLE", "RUN"}, {"0000", "0001"});
    manager.create_mnemonic_table(GROUP, "states", {"A", "B", "C"}, {"000", "001", "010"});
    KSM_DATA_MNEMONICS* tables = manager.get_session()->get_data_session()->get_mnemonics();
    ASSERT_EQ(tables->get_num_tables(), 1);
    EXPECT_EQ(tables->get_table(0)->get_num_entries(), 3);
    EXPECT_EQ(symbol_of("001"), "B");
    EXPECT_EQ(symbol_of("0001"), "");  // the old entries are gone
    int width = 0;
    EXPECT_TRUE(manager.get_node_mnemonics_width(GROUP, &width));
    EXPECT_EQ(width, 3);
}

TEST_F(MnemonicTables, GroupTableNameByDisplayType)
{
    manager.create_mnemonic_table(GROUP, "states", {"IDLE"}, {"0000"});
    attach_plugin_record(-1);
    const struct {
        KSM_DATA_GROUP_DISPLAY_TYPE type;
        const char* table;
        bool found;
        const char* name;
    } cases[] = {
        {KSM_GTYPE_MNEMONICS, "states", true, "states"},
        {KSM_GTYPE_MNEMONICS, "", false, ""},
        {KSM_GTYPE_PLUGIN, "", true, "tbl : width = 8"},
        {KSM_GTYPE_HEX, "states", false, ""},
        {KSM_GTYPE_BINARY, "", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " " + c.table);
        make_group(c.type, c.table);
        QString name = "before";
        EXPECT_EQ(manager.get_node_mnemonics_table_name(GROUP, &name, list()), c.found);
        EXPECT_EQ(name, c.name);
    }
}

TEST_F(MnemonicTables, WidthComesFromTheSessionTableOrThePluginRecord)
{
    attach_plugin_record(-1);
    const struct {
        KSM_DATA_GROUP_DISPLAY_TYPE type;
        int width;
    } cases[] = {{KSM_GTYPE_MNEMONICS, 4}, {KSM_GTYPE_PLUGIN, 8}};
    manager.create_mnemonic_table(GROUP, "states", {"IDLE"}, {"0000"});
    for (const auto& c : cases) {
        make_group(c.type, "states");
        int width = 0;
        EXPECT_TRUE(manager.get_node_mnemonics_width(GROUP, &width));
        EXPECT_EQ(width, c.width);
    }
}

// Own tables come first; indexes past them denote plug-in tables and leave the name alone.
TEST_F(MnemonicTables, TableNamesByIndex)
{
    manager.create_mnemonic_table(GROUP, "states", {"IDLE"}, {"0000"});
    const struct {
        int index;
        bool plugin;
        const char* name;
    } cases[] = {{0, false, "states"}, {1, true, "before"}, {7, true, "before"}};
    for (const auto& c : cases) {
        QString name = "before";
        EXPECT_TRUE(manager.get_mnemonics_table_name(c.index, &name));
        EXPECT_EQ(name, c.name) << c.index;
        EXPECT_EQ(manager.is_plugin_mnemonic_table(c.index), c.plugin) << c.index;
    }
}

// A plug-in group's symbols come from the viewed log's tables; without a log there is nothing
// to read and the symbol stays as it was.
TEST_F(MnemonicTables, PluginSymbolWithoutALogLeavesTheSymbol)
{
    ASSERT_EQ(manager.get_data_log(), nullptr);
    make_group(KSM_GTYPE_PLUGIN, "");
    for (int static_table_index : {-1, 0}) {
        attach_plugin_record(static_table_index);
        EXPECT_EQ(symbol_of("00000001"), "unchanged") << static_table_index;
    }
}

TEST(MnemonicTablesDeathTest, PatternsOfUnequalLengthAreAnInternalError)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            VOKR_TX_MANAGER manager(nullptr);
            manager.new_document("x.lmx");
            KSM_TX_SIGNAL_NODES* list = manager.get_trigger_nodes(-1);
            list->insert_node("a", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false);
            manager.create_mnemonic_table(0, "t", {"A", "B"}, {"00", "1"});
        },
        "pattern_list\\[i\\]\\.size\\(\\) == width");
}

}  // namespace
