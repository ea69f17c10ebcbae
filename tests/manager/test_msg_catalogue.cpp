// The module's message catalogue and list messages.
#include "vokr_msg.h"
#include "vokr_msg_list.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>

namespace {

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        MSG_JOURNAL::clear();
        MSG_JOURNAL::clear_answers();
        MSG_INDEX::get_default_index()->clear();
        rows = vokr_msg_catalogue(&count);
    }
    const VOKR_MSG_INFO* rows = nullptr;
    size_t count = 0;
};

std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

TEST_F(Catalogue, CountsPerTypeAndUniqueNumbers)
{
    std::map<std::string, int> per_type;
    std::set<unsigned> numbers;
    const std::set<unsigned> shared = {11974, 11975, 14500, 14503, 14504, 14761, 14762, 14926, 14992};
    for (size_t i = 0; i < count; ++i) {
        ++per_type[rows[i].type];
        EXPECT_TRUE(numbers.insert(rows[i].number).second) << "number used twice: " << rows[i].number;
        EXPECT_TRUE((rows[i].number >= 268000 && rows[i].number <= 268130) || shared.count(rows[i].number))
            << rows[i].name;
    }
    EXPECT_EQ(count, 140u);
    const std::map<std::string, int> expected = {{"I", 62}, {"W", 4},   {"E", 8},  {"O", 51},
                                                 {"OC", 2}, {"YN", 12}, {"YNC", 1}};
    EXPECT_EQ(per_type, expected);
    for (unsigned n : shared)
        EXPECT_TRUE(numbers.count(n)) << n;
}

TEST_F(Catalogue, LiteralsEndInTypeAndIdentifierAndArgumentsMatchPlaceholders)
{
    const std::regex placeholder("%([0-9])!([sd])!");
    for (size_t i = 0; i < count; ++i) {
        const std::string literal = rows[i].literal;
        std::string identifier = "VOKR_" + upper(rows[i].name);
        if (identifier.size() > 3 && identifier.compare(identifier.size() - 3, 3, "_YN") == 0 &&
            std::string(rows[i].type) == "YN")
            identifier.resize(identifier.size() - 3);
        const std::string suffix = std::string("/") + rows[i].type + identifier;
        ASSERT_GE(literal.size(), suffix.size());
        EXPECT_EQ(literal.substr(literal.size() - suffix.size()), suffix) << rows[i].name;

        std::map<int, char> kinds;
        for (std::sregex_iterator it(literal.begin(), literal.end(), placeholder), end; it != end; ++it)
            kinds[std::stoi((*it)[1])] = static_cast<char>(std::toupper((*it)[2].str()[0]));
        std::string args;
        for (const auto& [number, kind] : kinds)
            args += kind;
        EXPECT_EQ(args.empty() ? "NONE" : args, rows[i].args) << rows[i].name;
    }
}

TEST_F(Catalogue, BuildersFillTheirArguments)
{
    std::unique_ptr<MSG_O> zero(vokr_msg_zero_input("clock"));
    EXPECT_EQ(zero->get_msg_text(), "Input \"clock\" is empty");
    EXPECT_EQ(zero->get_id(), 268070u);
    EXPECT_EQ(zero->get_identifier(), "VOKR_ZERO_INPUT");

    std::unique_ptr<MSG_O> overrun(vokr_msg_on_node_add_overrun_maximum(4096));
    EXPECT_EQ(overrun->get_msg_text(),
              "You have attempted to add more than the maximum number of nodes (4096) to the "
              "current Lumetra instance.");
    EXPECT_EQ(overrun->get_id(), 14926u);

    std::unique_ptr<MSG_O> advanced(vokr_msg_error_in_advanced_trigger(2, "auto_lumetra_0"));
    EXPECT_EQ(advanced->get_msg_text(),
              "Advanced Trigger 2 in instance \"auto_lumetra_0\" is incomplete or has an "
              "error that can cause compilation errors");

    std::unique_ptr<MSG_W> old(vokr_msg_old_incremental_route_used_sys("i", "s", "t"));
    EXPECT_NE(old->get_msg_text().find("instance: i, the signal set: s, and the trigger: t."), std::string::npos);

    std::unique_ptr<MSG_O> range(vokr_msg_value_out_of_range("1", "4096"));
    EXPECT_EQ(range->get_msg_text(), "Enter a value between 1 and 4096");
}

TEST_F(Catalogue, SuppressionEmptiesOnlyInformationAndWarnings)
{
    MSG_INDEX* index = MSG_INDEX::get_default_index();
    for (unsigned n : {268032u, 268002u, 268059u, 268001u, 268114u})
        index->set_suppressed(n, true);

    std::unique_ptr<MSG_I> info(vokr_msg_not_running());
    EXPECT_TRUE(info->is_null());
    EXPECT_EQ(info->get_msg_text(), "");
    EXPECT_EQ(info->get_id(), 0u);
    std::unique_ptr<MSG_W> warning(vokr_msg_invalid_lumetra_node_assignment_list());
    EXPECT_TRUE(warning->is_null());
    warning->add_msg(vokr_msg_pre_synthesis_node_assignment_item("n"));
    warning->post();
    EXPECT_TRUE(MSG_JOURNAL::records_of("posted").empty());

    std::unique_ptr<MSG_E> error(vokr_msg_jtag_err_version_diff());
    EXPECT_FALSE(error->is_null());
    EXPECT_EQ(error->get_msg_text(), "Version not supported");
    std::unique_ptr<MSG_O> notice(vokr_msg_cannot_save());
    EXPECT_FALSE(notice->is_null());
    std::unique_ptr<MSG_YN> question(vokr_msg_pre_synthesis_invalid_partition_assignments_yn());
    EXPECT_FALSE(question->is_null());
}

TEST_F(Catalogue, OneIdentifierAsNoticeAndAsQuestionKeepsTwoNumbers)
{
    std::unique_ptr<MSG_O> notice(vokr_msg_pre_synthesis_invalid_partition_assignments());
    std::unique_ptr<MSG_YN> question(vokr_msg_pre_synthesis_invalid_partition_assignments_yn());
    EXPECT_EQ(notice->get_identifier(), question->get_identifier());
    EXPECT_EQ(notice->get_id(), 268011u);
    EXPECT_EQ(question->get_id(), 268114u);
    EXPECT_NE(notice->get_msg_text(), question->get_msg_text());

    std::unique_ptr<MSG_O> fit_notice(vokr_msg_post_fitting_invalid_partition_assignments());
    std::unique_ptr<MSG_YN> fit_question(vokr_msg_post_fitting_invalid_partition_assignments_yn());
    EXPECT_EQ(fit_notice->get_id(), 268012u);
    EXPECT_EQ(fit_question->get_id(), 268119u);

    // The notice takes no answer from the queue; the question takes the queued one.
    MSG_JOURNAL::push_answer(MSG_PROMPT::MSG_VALUE_NO);
    notice->prompt(nullptr);
    EXPECT_EQ(question->prompt(), MSG_PROMPT::MSG_VALUE_NO);
}

TEST_F(Catalogue, ListCollectsAHundredNamedItemsThenOneEtc)
{
    VOKR_MSG_LIST list([] { return vokr_msg_invalid_lumetra_node_assignment_list(); },
                       [](const char* name) { return vokr_msg_pre_synthesis_node_assignment_item(name); },
                       [](const char* name) { return vokr_msg_invalid_lumetra_node_assignment_item(name); });
    int created = 0;
    for (int i = 0; i < 150; ++i)
        created += list.add(("top|n" + std::to_string(i)).c_str());
    EXPECT_EQ(created, 1);
    EXPECT_EQ(list.get_count(), 150);
    EXPECT_TRUE(MSG_JOURNAL::records_of("posted").empty());
    list.flush();
    EXPECT_FALSE(list.is_pending());
    EXPECT_EQ(list.get_count(), 0);

    const auto posted = MSG_JOURNAL::records_of("posted");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].id, 268002u);
    ASSERT_EQ(posted[0].items.size(), 101u);
    EXPECT_EQ(posted[0].items[0].text, "Post-fitting node \"top|n0\"");
    EXPECT_EQ(posted[0].items[99].text, "Post-fitting node \"top|n99\"");
    EXPECT_EQ(posted[0].items[100].text, "Node \"etc.\"");
    EXPECT_EQ(posted[0].items[100].id, 268007u);

    list.flush();  // nothing pending: nothing posted
    EXPECT_EQ(MSG_JOURNAL::records_of("posted").size(), 1u);
}

TEST_F(Catalogue, ListWithOneItemBuilderUsesItForEtc)
{
    VOKR_MSG_LIST list([] { return vokr_msg_post_fitting_invalid_partition_list(); },
                       [](const char* name) { return vokr_msg_post_fitting_invalid_partition_item(name); });
    for (int i = 0; i < 101; ++i)
        list.add("n");
    list.flush();
    const auto posted = MSG_JOURNAL::records_of("posted");
    ASSERT_EQ(posted.size(), 1u);
    ASSERT_EQ(posted[0].items.size(), 101u);
    EXPECT_EQ(posted[0].items[100].text, "Post-fitting node \"etc.\"");
}

TEST_F(Catalogue, SuppressedListStillCountsAndPostsNothing)
{
    MSG_INDEX::get_default_index()->set_suppressed(268002, true);
    VOKR_MSG_LIST list([] { return vokr_msg_invalid_lumetra_node_assignment_list(); },
                       [](const char* name) { return vokr_msg_pre_synthesis_node_assignment_item(name); });
    EXPECT_TRUE(list.add("a"));
    EXPECT_FALSE(list.add("b"));
    EXPECT_EQ(list.get_count(), 2);
    list.flush();
    EXPECT_TRUE(MSG_JOURNAL::records_of("posted").empty());
}

}  // namespace
