// Data logs in the manager: sample windows and whole waves read from a filled log, depths
// before and after a capture, and the data log tree's entries: saving, renaming, choosing,
// expanding and removing.
#include "manager_test_support.h"

#include <array>
#include <functional>
#include <memory>

using namespace manager_test;

namespace {

// The captured bit of a channel: sample 0 is 1 on channel 0, so that a window that reads
// past a one-sample log shows it.
bool captured(int channel, int sample) { return (sample + channel) % 3 != 1; }
bool valid(int sample) { return sample % 4 != 2; }

class DataLogs : public MANAGER_TEST {
protected:
    DataLogs() : m(false) {}

    // Three data rows; the second is inverted.
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        add_rows(m.get(), {"a", "b", "c"});
        ASSERT_TRUE(m.data()->set_signal_inverted(1, true));
    }

    // A new log of the current entry with `depth` samples of every row, made the active one.
    KSM_DATA_LOG* capture(int depth)
    {
        KSM_DATA_LOG* log = m->get_session()->create_new_log(0);
        const int channels = m.data()->get_num_channels();
        log->begin_capture(channels, depth, 0);
        for (int c = 0; c < channels; ++c) {
            log->set_connection_status(c, true);
            for (int s = 0; s < depth; ++s)
                log->set_bit(c, s, captured(c, s));
        }
        for (int s = 0; s < depth; ++s)
            log->set_valid(s, valid(s));
        log->end_capture();
        m->set_view_log(0, log);
        return log;
    }

    EDITOR m;
};

TEST_F(DataLogs, WindowsHoldTheirEndsInsideTheLog)
{
    // Expected samples of the window; -1: a cleared entry.
    const struct {
        int depth;
        int sample;
        std::array<int, 3> window;
    } cases[] = {
        {128, 0, {0, 0, 1}},      {128, 127, {126, 127, 127}}, {128, 5, {4, 5, 6}},
        {128, 200, {-1, -1, -1}}, {128, -7, {-1, -1, -1}},     {1, 0, {0, 0, 0}},
        {1, 1, {-1, -1, -1}},     {2, 0, {0, 0, 1}},           {2, 1, {0, 1, 1}},
    };
    for (const auto& c : cases) {
        capture(c.depth);
        for (int row = 0; row < 2; ++row) {
            const bool inverted = row == 1;
            std::array<bool, 3> wave = {true, true, true}, mask = {true, true, true};
            const std::string what =
                std::to_string(c.depth) + "/" + std::to_string(c.sample) + " row " + std::to_string(row);
            ASSERT_TRUE(m->get_wave(row, wave.data(), c.sample, true, -1)) << what;
            ASSERT_TRUE(m->get_wave_mask(mask.data(), c.sample, true, -1)) << what;
            for (int k = 0; k < 3; ++k) {
                const int s = c.window[k];
                EXPECT_EQ(wave[k], s >= 0 && captured(row, s) != inverted) << what << " entry " << k;
                EXPECT_EQ(mask[k], s >= 0 && valid(s)) << what << " entry " << k;
            }
        }
    }
}

TEST_F(DataLogs, WholeWavesAreInvertedWhereTheRowSaysSo)
{
    constexpr int DEPTH = 300;
    capture(DEPTH);
    for (int row = 0; row < 3; ++row) {
        const auto expected = [row](int s) { return captured(row, s) != (row == 1); };
        std::unique_ptr<bool[]> wave(new bool[DEPTH]);
        for (int s = 0; s < DEPTH; ++s)
            wave[s] = !expected(s);
        ASSERT_TRUE(m->get_wave(row, wave.get(), -1, true, -1));
        for (int s = 0; s < DEPTH; ++s)
            ASSERT_EQ(wave[s], expected(s)) << "row " << row << " sample " << s;
    }
}

TEST_F(DataLogs, DepthIsTheConfiguredOneUntilALogHoldsData)
{
    int depth = -1;
    EXPECT_FALSE(m->get_data_sample_depth(&depth, -1));
    EXPECT_EQ(depth, KSM_DEFAULT_SAMPLE_DEPTH);
    bool wave[3];
    EXPECT_FALSE(m->get_wave(0, wave, 0, true, -1));
    EXPECT_FALSE(m->is_data_available(false, -1, nullptr));

    KSM_DATA_LOG* log = capture(40);
    KSM_DATA_LOG* found = nullptr;
    EXPECT_TRUE(m->is_data_available(true, 0, &found));
    EXPECT_EQ(found, log);
    EXPECT_EQ(m->get_data_log(), log);
    EXPECT_STREQ(m->get_log(), log->get_name());
    EXPECT_TRUE(m->get_data_sample_depth(&depth, -1));
    EXPECT_EQ(depth, 40);
    EXPECT_FALSE(log->is_acquiring_data());
}

TEST_F(DataLogs, GroupRowsAndUnconnectedRowsHaveNoWave)
{
    KSM_DATA_LOG* log = capture(8);
    bool wave[8];
    ASSERT_TRUE(m->group_node(0, 1));  // the group row captures no channel of its own
    EXPECT_FALSE(m->get_wave(0, wave, 0, true, -1));
    // View rows start three below the node rows; a group counts the rows under it.
    const int counts[] = {0, 0, 0, 2, 0, 0, 0, 0};
    for (int row = 0; row < 8; ++row)
        EXPECT_EQ(m->get_wave_count(row), counts[row]) << row;
    log->begin_capture(m.data()->get_num_channels(), 8, 0);
    for (int c = 0; c < m.data()->get_num_channels(); ++c)
        log->set_connection_status(c, false);
    log->end_capture();
    EXPECT_FALSE(m->get_wave(1, wave, 0, true, -1));
}

TEST_F(DataLogs, ViewingALogTablesThePluginSymbolsOfEveryBusValue)
{
    ASSERT_TRUE(m->group_node(0, 1));  // a bus of "a" and the inverted "b"
    KSM_TX_PLUGIN_MNEMONICS record;
    record.table_name = "T";
    record.width = 2;
    ASSERT_TRUE(m.data()->set_plugin_mnemonics(0, &record));
    ASSERT_TRUE(m.data()->set_group_display_type(0, KSM_GTYPE_PLUGIN));
    KSM_DATA_MNEMONICS_TABLE* symbols =
        m->get_session()->get_data_session()->get_mnemonics()->create_table("T : width = 2", 2);
    ASSERT_TRUE(symbols->add_entry("IDLE", "00"));
    ASSERT_TRUE(symbols->add_entry("BUSY", "11"));
    ASSERT_TRUE(symbols->add_entry("EDGE", "10"));
    ASSERT_TRUE(symbols->add_entry("UNSEEN", "01"));

    KSM_DATA_LOG* log = capture(6);  // the bus rows in order, per sample: 11 00 10 11 00 10
    ASSERT_EQ(log->get_num_static_plugin_mnemonics_tables(), 1);
    const KSM_DATA_MNEMONICS_TABLE* table = log->get_static_plugin_mnemonics_table(0);
    EXPECT_STREQ(table->get_name(), m.data()->get_node_name(0));
    EXPECT_EQ(table->get_width(), 2);
    EXPECT_EQ(table->get_num_entries(), 3);
    EXPECT_STREQ(table->get_first_symbol("00"), "IDLE");
    EXPECT_STREQ(table->get_first_symbol("11"), "BUSY");
    EXPECT_STREQ(table->get_first_symbol("10"), "EDGE");
    // Captured values are read through the log's table, as the list file reads them: a value
    // never captured has no symbol.
    m->set_list_view_mode(true);
    const struct {
        const char* value;
        const char* symbol;
    } reads[] = {{"11", "BUSY"}, {"00", "IDLE"}, {"01", ""}};
    for (const auto& r : reads) {
        QString symbol = "unread";
        EXPECT_TRUE(m->get_node_mnemonics_symbol(0, r.value, &symbol, nullptr));
        EXPECT_EQ(symbol.toStdString(), r.symbol) << r.value;
    }
    m->set_list_view_mode(false);
}

TEST_F(DataLogs, SavingWithoutDataNodesWarnsAndStillSaves)
{
    EDITOR empty(false);
    HINTS hints(empty.get());
    KSM_TX_SIGNAL_SET* set = empty.data();
    const int triggers = set->get_num_triggers();
    empty->save_to_log();
    std::vector<std::string> texts;
    for (const MSG_RECORD& r : MSG_JOURNAL::records_of("prompted"))
        texts.push_back(r.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Input \"Data\" is empty", "Input \"Trigger\" is empty"}));
    EXPECT_EQ(set->get_num_triggers(), triggers + 1);
    EXPECT_EQ(hints.count(VOKR_HINT_REFRESH | VOKR_HINT_DATA_LOG | VOKR_HINT_CONFIG), 1);
}

TEST_F(DataLogs, RenamingKeepsNamesUnique)
{
    KSM_DATA_LOG* first = capture(4);
    KSM_DATA_LOG* second = capture(4);
    const std::string first_name = first->get_name(), second_name = second->get_name();
    const struct {
        const char* new_name;
        bool duplicate;
        const char* name_after;
    } cases[] = {
        {second_name.c_str(), true, first_name.c_str()}, {"", false, first_name.c_str()}, {"kept", false, "kept"}};
    for (const auto& c : cases) {
        MSG_JOURNAL::clear();
        HINTS hints(m.get());
        m->rename_log_set(c.new_name, first->get_name(), m->get_trigger(), m->get_signal_set());
        EXPECT_EQ(shown_messages().size(), c.duplicate ? 1u : 0u) << c.new_name;
        EXPECT_STREQ(first->get_name(), c.name_after);
        EXPECT_EQ(hints.count(VOKR_HINT_REFRESH | VOKR_HINT_DATA_LOG), std::string(c.name_after) == "kept" ? 1 : 0);
    }
    EXPECT_STREQ(m->get_log_name_at(0, 0, 0, 1), second_name.c_str());
    EXPECT_EQ(m->get_num_logs(0, 0, 0), 2);
}

TEST_F(DataLogs, TreeEntriesAreChosenExpandedAndRemoved)
{
    m->save_to_log();
    KSM_TX_SIGNAL_SET* set = m.data();
    const std::string first = set->get_trigger(0)->get_name(), saved = set->get_trigger(1)->get_name();
    MSG_JOURNAL::clear();

    // A modified session asks first; only Yes goes on.
    MSG_JOURNAL::push_answer(MSG_PROMPT::MSG_VALUE_NO);
    EXPECT_FALSE(m->set_active(set->get_name(), saved.c_str(), ""));
    EXPECT_EQ(m->get_trigger(), first);
    MSG_JOURNAL::push_answer(MSG_PROMPT::MSG_VALUE_YES);
    EXPECT_TRUE(m->set_active(set->get_name(), saved.c_str(), ""));
    EXPECT_EQ(m->get_trigger(), saved);
    EXPECT_EQ(shown_messages(), (std::vector<std::string>{"VOKR_NO_UNDO_SUPPORT", "VOKR_NO_UNDO_SUPPORT"}));

    // The instance, its signal set or one of its triggers, as the names say.
    const std::function<bool()> expanded_state[] = {[&] { return m->get_tx_instance()->is_expanded(); },
                                                    [&] { return set->is_expanded(); },
                                                    [&] { return set->get_trigger(0)->is_expanded(); }};
    const char* set_names[] = {"", set->get_name(), set->get_name()};
    const char* trigger_names[] = {"", "", first.c_str()};
    for (int k = 0; k < 3; ++k) {
        const bool before[] = {expanded_state[0](), expanded_state[1](), expanded_state[2]()};
        m->set_expanded(!before[k], m->get_instance(), set_names[k], trigger_names[k]);
        for (int other = 0; other < 3; ++other)
            EXPECT_EQ(expanded_state[other](), before[other] != (other == k)) << k << " " << other;
    }

    KSM_DATA_LOG* log = capture(4);
    m->remove_log_tree_item(set->get_name(), saved.c_str(), log->get_name());
    EXPECT_EQ(m->get_num_logs(0, 0, 1), 0);
    EXPECT_EQ(m->get_data_log(), nullptr);
    // The active signal set and trigger are kept: the data log tree refuses them before asking.
    EXPECT_TRUE(m->is_log_tree_item_kept(set->get_name(), ""));
    EXPECT_TRUE(m->is_log_tree_item_kept(set->get_name(), saved.c_str()));
    EXPECT_FALSE(m->is_log_tree_item_kept(set->get_name(), first.c_str()));
    m->remove_log_tree_item(set->get_name(), first.c_str(), "");
    EXPECT_EQ(set->get_num_triggers(), 1);
}

}  // namespace
