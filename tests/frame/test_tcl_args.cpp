// Option tables of the Tcl commands: the hash table and the option lookups.
#include "hux_string_hash.h"
#include "vokr_tcl_args_auto.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// ---- hash table -----------------------------------------------------------------------------

TEST(StringHash, HashFollowsTheShiftXorRuleOnSignedCharacters)
{
    EXPECT_EQ(HUX_STRING_HASH::hash(""), 0u);
    EXPECT_EQ(HUX_STRING_HASH::hash("a"), 97u);
    // h = 97; h ^= (97 << 5) + (97 >> 2) + 98 = 3104 + 24 + 98 = 3226; 97 ^ 3226 = 3323
    EXPECT_EQ(HUX_STRING_HASH::hash("ab"), 3323u);
    // A character above 127 counts as negative.
    EXPECT_EQ(HUX_STRING_HASH::hash("\xff"), 0xffffffffu);
}

TEST(StringHash, InsertFindAndHeadOfBucketOrder)
{
    HUX_STRING_HASH table(1);  // one bucket: every insert after the first collides
    table.insert_or_get("x") = 1;
    table.insert_or_get("y") = 2;
    EXPECT_EQ(table.get_collision_count(), 1u);
    EXPECT_EQ(table.insert_or_get("x"), 1u);  // present: no new entry
    EXPECT_EQ(table.get_entry_count(), 2u);
    HUX_STRING_HASH::NODE* x = table.find("x");
    HUX_STRING_HASH::NODE* y = table.find("y");
    ASSERT_TRUE(x && y);
    EXPECT_EQ(y->next, x);
    EXPECT_EQ(x->inserted_after, y);
    EXPECT_EQ(table.find("z"), nullptr);
    uint32_t bucket = 99, buckets = 0;
    table.find("anything", &bucket, &buckets);
    EXPECT_EQ(bucket, 0u);
    EXPECT_EQ(buckets, 1u);
}

TEST(StringHash, GrowsWhenFiveQuartersOfTheEntriesExceedTheBuckets)
{
    std::vector<std::string> keys;
    keys.reserve(60);
    for (int i = 0; i < 60; ++i)
        keys.push_back("key" + std::to_string(i));
    HUX_STRING_HASH table(61);
    for (int i = 0; i < 51; ++i)
        table.insert_or_get(keys[i].c_str()) = static_cast<uint32_t>(i);
    EXPECT_EQ(table.get_bucket_count(), 61u);
    table.insert_or_get(keys[51].c_str()) = 51;  // 52 entries: 13 * 5 = 65 > 61
    EXPECT_GT(table.get_bucket_count(), 61u);
    EXPECT_EQ(table.get_collision_count(), 0u);
    for (int i = 0; i < 52; ++i) {
        HUX_STRING_HASH::NODE* node = table.find(keys[i].c_str());
        ASSERT_NE(node, nullptr) << keys[i];
        EXPECT_EQ(node->value, static_cast<uint32_t>(i));
    }
}

TEST(StringHash, ReserveZeroChangesNothingAndClearEmpties)
{
    HUX_STRING_HASH table(61);
    table.reserve(0);
    EXPECT_EQ(table.get_bucket_count(), 61u);
    table.reserve(100);
    EXPECT_GE(table.get_bucket_count(), 125u);
    table.insert_or_get("a") = 5;
    table.clear();
    EXPECT_EQ(table.get_entry_count(), 0u);
    EXPECT_EQ(table.find("a"), nullptr);
    table.insert_or_get("a") = 6;  // usable again after clear
    EXPECT_EQ(table.find("a")->value, 6u);
}

// ---- option lookups -------------------------------------------------------------------------

uint32_t look(int command, const char* name) { return vokr_tcl_lookup_option(command, name); }

TEST(OptionLookup, TellingCases)
{
    EXPECT_EQ(look(VOKR_TCL_ADD_NODE, "f"), VOKR_AUTO_ARG_FILENAME);
    EXPECT_EQ(look(VOKR_TCL_ADD_NODE, "fi"), VOKR_AUTO_ARG_FILENAME);
    EXPECT_EQ(look(VOKR_TCL_ADD_NODE, "n"), VOKR_AUTO_ARG_NODENAME);
    EXPECT_EQ(look(VOKR_TCL_FIND, "filename"), VOKR_AUTO_ARG_NOT_FOUND);
    EXPECT_EQ(look(VOKR_TCL_FIND, "dir"), VOKR_AUTO_ARG_DIRECTION);
    EXPECT_EQ(look(VOKR_TCL_DLG_TRIGGER_DELETE_ENTRY, "e"), VOKR_AUTO_ARG_ENTRY_ROW);
    EXPECT_EQ(look(VOKR_TCL_DLG_TRIGGER_ADD_ENTRY_DIALOG, "e"), VOKR_AUTO_ARG_NOT_FOUND);
    EXPECT_EQ(look(VOKR_TCL_DLG_TRIGGER_ADD_ENTRY_DIALOG, "entry_r"), VOKR_AUTO_ARG_ENTRY_RADIX);
    EXPECT_EQ(look(VOKR_TCL_ON_MNEMONIC_DIALOG, "entry_r"), VOKR_AUTO_ARG_NOT_FOUND);
    EXPECT_EQ(look(VOKR_TCL_ON_TIME_UNITS_DIALOG, "time"), VOKR_AUTO_ARG_TIME);
    EXPECT_EQ(look(VOKR_TCL_ON_TIME_UNITS_DIALOG, "tim"), VOKR_AUTO_ARG_NOT_FOUND);
    EXPECT_EQ(look(VOKR_TCL_ON_TIME_UNITS_DIALOG, "time_"), VOKR_AUTO_ARG_TIME_UNIT_INDEX);
    EXPECT_EQ(look(VOKR_TCL_SET_ACTIVE, "l"), VOKR_AUTO_ARG_NOT_FOUND);
    EXPECT_EQ(look(VOKR_TCL_SET_ACTIVE, "lo"), VOKR_AUTO_ARG_NOT_FOUND);
    EXPECT_EQ(look(VOKR_TCL_SET_ACTIVE, "lon"), VOKR_AUTO_ARG_LONG_HELP);
    EXPECT_EQ(look(VOKR_TCL_SET_ACTIVE, "log"), VOKR_AUTO_ARG_LOG_NAME);
    EXPECT_EQ(look(VOKR_TCL_OPEN_FILE, "FILENAME"), VOKR_AUTO_ARG_NOT_FOUND);  // case matters
    EXPECT_EQ(look(VOKR_TCL_OPEN_FILE, "filenamex"), VOKR_AUTO_ARG_NOT_FOUND);
}

TEST(OptionLookup, HelpOptionsAndEmptyNameInEveryCommand)
{
    for (int c = 0; c < VOKR_TCL_COMMAND_COUNT; ++c) {
        EXPECT_EQ(look(c, "h"), VOKR_AUTO_ARG_H) << c;
        EXPECT_EQ(look(c, "he"), VOKR_AUTO_ARG_HELP) << c;
        EXPECT_EQ(look(c, "hel"), VOKR_AUTO_ARG_HELP) << c;
        EXPECT_EQ(look(c, "help"), VOKR_AUTO_ARG_HELP) << c;
        EXPECT_EQ(look(c, "long_hel"), VOKR_AUTO_ARG_LONG_HELP) << c;
        EXPECT_EQ(look(c, "l"), c == VOKR_TCL_SET_ACTIVE ? VOKR_AUTO_ARG_NOT_FOUND : VOKR_AUTO_ARG_LONG_HELP) << c;
        EXPECT_EQ(look(c, ""), VOKR_AUTO_ARG_EMPTY) << c;
        EXPECT_EQ(look(c, nullptr), VOKR_AUTO_ARG_EMPTY) << c;
    }
}

// Independent oracle: a name resolves to an option of the command when it is the option's
// full name, or a prefix of exactly one of the command's options (help options included).
uint32_t oracle(int command, const std::string& name)
{
    std::vector<uint32_t> ids = {1, 2, 3};
    for (const YUVR_ARG_SPEC* a = VOKR_TCL_COMMAND_DEFINITIONS[command].arguments; a->id; ++a)
        ids.push_back(a->id);
    std::vector<uint32_t> prefixed;
    for (uint32_t id : ids) {
        const std::string option = vokr_tcl_option_name(static_cast<int>(id));
        if (option == name)
            return id;
        if (option.compare(0, name.size(), name) == 0)
            prefixed.push_back(id);
    }
    return prefixed.size() == 1 ? prefixed[0] : 0;
}

TEST(OptionLookup, EveryPrefixOfEveryNameAgreesWithTheOracle)
{
    std::set<std::string> names;
    for (int id = 1; id <= 28; ++id) {
        const std::string option = vokr_tcl_option_name(id);
        for (size_t n = 1; n <= option.size() + 1; ++n)
            names.insert(option.substr(0, n) + (n > option.size() ? "_" : ""));
    }
    for (int c = 0; c < VOKR_TCL_COMMAND_COUNT; ++c)
        for (const std::string& name : names)
            EXPECT_EQ(look(c, name.c_str()), oracle(c, name))
                << VOKR_TCL_COMMAND_DEFINITIONS[c].command << " -" << name;
}

TEST(OptionLookup, DefinitionsFollowTheCommandOrder)
{
    EXPECT_STREQ(VOKR_TCL_COMMAND_DEFINITIONS[VOKR_TCL_DO_LOCATE].command, "vokr_do_locate");
    EXPECT_STREQ(VOKR_TCL_COMMAND_DEFINITIONS[VOKR_TCL_TEST_UPDATE_WAVEFORM_MENU].command,
                 "vokr_test_update_waveform_menu");
    for (int c = 0; c < VOKR_TCL_COMMAND_COUNT; ++c) {
        const YUVR_CMD_DEFINITION& d = VOKR_TCL_COMMAND_DEFINITIONS[c];
        EXPECT_STREQ(d.package, "vokr");
        uint32_t last = 0;
        for (const YUVR_ARG_SPEC* a = d.arguments; a->id; ++a) {
            EXPECT_GT(a->id, last) << d.command << ": options in ascending id order";
            last = a->id;
        }
    }
}

TEST(OptionNames, NamesByIdAndIllegalIds)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_STREQ(vokr_tcl_option_name(1), "h");
    EXPECT_STREQ(vokr_tcl_option_name(11), "filename");
    EXPECT_STREQ(vokr_tcl_option_name(28), "y_coord");
    EXPECT_DEATH(vokr_tcl_option_name(0), "illegal VOKR_AUTO_ARGUMENT_ENUM");
    EXPECT_DEATH(vokr_tcl_option_name(29), "illegal VOKR_AUTO_ARGUMENT_ENUM");
}

}  // namespace
