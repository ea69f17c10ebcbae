// The message library stand-in: literals, arguments, posting, prompting, suppression.
#include "msg.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class MsgLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        MSG_JOURNAL::clear();
        MSG_JOURNAL::clear_answers();
        MSG_JOURNAL::set_default_answer(0);
        MSG_INDEX::get_default_index()->clear();
    }
};

TEST_F(MsgLibrary, LiteralSplitsIntoTextAndIdentifier)
{
    MSG_O msg(nullptr);
    msg.fill_args("Input \"%1!s!\" is empty/OVOKR_ZERO_INPUT", "clock");
    msg.set_id(268070);
    EXPECT_EQ(msg.get_msg_text(), "Input \"clock\" is empty");
    EXPECT_EQ(msg.get_identifier(), "VOKR_ZERO_INPUT");
    EXPECT_EQ(msg.get_id(), 268070u);
}

TEST_F(MsgLibrary, TypeLettersOfTheClassAreStrippedExactly)
{
    // "OC" must not be read as "O" followed by an identifier starting with "C".
    MSG_OC oc(nullptr);
    oc.fill_args("Overwrite?/OCVOKR_OVERWRITE_OR_NOT");
    EXPECT_EQ(oc.get_identifier(), "VOKR_OVERWRITE_OR_NOT");
    MSG_YNC ync(nullptr);
    ync.fill_args("Enable a/b?/YNCVOKR_ENABLE");
    EXPECT_EQ(ync.get_msg_text(), "Enable a/b?");
    EXPECT_EQ(ync.get_identifier(), "VOKR_ENABLE");
}

TEST_F(MsgLibrary, ArgumentsFillInNumberOrderWhateverTheirPlaceInTheText)
{
    MSG_E a(nullptr);
    a.fill_args("%2!s! then %1!d! then %2!s!/EVOKR_X", 42, "two");
    EXPECT_EQ(a.get_msg_text(), "two then 42 then two");

    MSG_E b(nullptr);
    b.fill_args("Advanced Trigger %1!d! in instance \"%2!s!\"/EVOKR_X", -3, "inst");
    EXPECT_EQ(b.get_msg_text(), "Advanced Trigger -3 in instance \"inst\"");

    MSG_E c(nullptr);
    c.fill_args("null %1!s! and 100%% sure, %x!s! stays/EVOKR_X", static_cast<const char*>(nullptr));
    EXPECT_EQ(c.get_msg_text(), "null  and 100%% sure, %x!s! stays");

    MSG_E d(nullptr);
    d.fill_args("no slash at all");
    EXPECT_EQ(d.get_msg_text(), "no slash at all");
    EXPECT_EQ(d.get_identifier(), "");
}

TEST_F(MsgLibrary, PostRecordsTheMessageWithItsItems)
{
    MSG_W list(nullptr);
    list.fill_args("The following nodes/WVOKR_LIST");
    list.set_id(268002);
    for (const char* name : {"a", "b"}) {
        auto* item = new MSG_I(nullptr);
        item->fill_args("Node \"%1!s!\"/IVOKR_ITEM", name);
        item->set_id(268007);
        list.add_msg(item);
    }
    list.add_msg(new MSG_I_NULL(nullptr));  // a suppressed item is carried but not shown
    list.post();

    const auto posted = MSG_JOURNAL::records_of("posted");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].type, "W");
    EXPECT_EQ(posted[0].id, 268002u);
    ASSERT_EQ(posted[0].items.size(), 2u);
    EXPECT_EQ(posted[0].items[1].text, "Node \"b\"");
}

TEST_F(MsgLibrary, NullMessagesDoNothing)
{
    MSG_W_NULL list(nullptr);
    auto* item = new MSG_I_NULL(nullptr);
    list.add_msg(item);
    list.post();
    EXPECT_TRUE(list.is_null());
    EXPECT_TRUE(MSG_JOURNAL::records().empty());
}

TEST_F(MsgLibrary, PromptsTakeQueuedAnswersAndNoticesLeaveTheQueue)
{
    MSG_JOURNAL::push_answer(MSG_PROMPT::MSG_VALUE_NO);
    MSG_JOURNAL::push_answer(MSG_PROMPT::MSG_VALUE_CANCEL);
    MSG_O notice(nullptr);
    notice.fill_args("Note/OVOKR_NOTE");
    EXPECT_EQ(notice.prompt(nullptr), MSG_PROMPT::MSG_VALUE_OK);
    MSG_YN yn(nullptr);
    yn.fill_args("Sure?/YNVOKR_Q");
    EXPECT_EQ(yn.prompt(), MSG_PROMPT::MSG_VALUE_NO);
    MSG_YNC ync(nullptr);
    ync.fill_args("Save?/YNCVOKR_Q");
    EXPECT_EQ(ync.prompt(), MSG_PROMPT::MSG_VALUE_CANCEL);
    // Queue empty: the first button, unless a default that the prompt offers is set.
    EXPECT_EQ(ync.prompt(), MSG_PROMPT::MSG_VALUE_YES);
    MSG_JOURNAL::set_default_answer(MSG_PROMPT::MSG_VALUE_NO);
    EXPECT_EQ(ync.prompt(), MSG_PROMPT::MSG_VALUE_NO);
    MSG_OC oc(nullptr);
    oc.fill_args("Go on?/OCVOKR_Q");
    EXPECT_EQ(oc.prompt(), MSG_PROMPT::MSG_VALUE_OK);

    const auto prompted = MSG_JOURNAL::records_of("prompted");
    ASSERT_EQ(prompted.size(), 6u);
    EXPECT_EQ(prompted[1].answer, MSG_PROMPT::MSG_VALUE_NO);
    EXPECT_EQ(prompted[1].text, "Sure?");
}

// With a person answering, the journal keeps nothing.
TEST_F(MsgLibrary, InteractiveJournalKeepsNothing)
{
    MSG_JOURNAL::set_interactive(true);
    MSG_E error(nullptr);
    error.fill_args("Broken/EVOKR_X");
    error.set_id(268059);
    error.post();
    MSG_JOURNAL::set_interactive(false);
    EXPECT_TRUE(MSG_JOURNAL::records().empty());
    error.post();
    EXPECT_EQ(MSG_JOURNAL::records().size(), 1u);
}

TEST_F(MsgLibrary, SuppressionIndexAndRegistrar)
{
    MSG_INDEX* index = MSG_INDEX::get_default_index();
    index->set_suppressed(268032, true);
    index->set_suppressed(268032, true);
    EXPECT_TRUE(index->is_suppressed(268032));
    index->set_suppressed(268032, false);
    EXPECT_FALSE(index->is_suppressed(268032));

    const unsigned ids[] = {268002, 268059};
    const MSG_POST_TYPE types[] = {MSG_POST_TYPE_WARNING, MSG_POST_TYPE_ERROR};
    {
        MSG_ID_REGISTRAR registrar(ids, types, 2);
        EXPECT_EQ(MSG_ID_REGISTRAR::get_registered_type(268002), MSG_POST_TYPE_WARNING);
        EXPECT_EQ(MSG_ID_REGISTRAR::get_registered_type(268059), MSG_POST_TYPE_ERROR);
    }
    EXPECT_EQ(MSG_ID_REGISTRAR::get_registered_type(268002), -1);
}

TEST(MsgLibraryDeathTest, InternalErrorEndsTheProcessNamingTheCondition)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(MSG_INTERNAL_ERROR::report("frame != NULL", "VOKR", "zlm/vokr/vokr_tcl.cpp", 12),
                 "VOKR.*zlm/vokr/vokr_tcl.cpp.*12.*\n.*frame != NULL");
}

// A queued answer that the prompt does not offer is the script's mistake: the prompt gets the
// button that changes least, and the mistake, naming the buttons, waits for the script once.
TEST_F(MsgLibrary, ScriptedAnswerThatIsNoButtonIsTheScriptsError)
{
    const struct {
        std::shared_ptr<MSG_PROMPT> prompt;
        const char* literal;
        int expected;
        const char* buttons;
    } cases[] = {
        {std::make_shared<MSG_OC>(nullptr), "Go on?/OCVOKR_Q", MSG_PROMPT::MSG_VALUE_CANCEL, "ok (1), cancel (2)"},
        {std::make_shared<MSG_YN>(nullptr), "Update?/YNVOKR_Q", MSG_PROMPT::MSG_VALUE_NO, "yes (6), no (7)"},
    };
    for (const auto& c : cases) {
        MSG_JOURNAL::push_answer(5);
        const std::shared_ptr<MSG_PROMPT>& prompt = c.prompt;
        prompt->fill_args(c.literal);
        EXPECT_EQ(prompt->prompt(), c.expected) << c.literal;
        const std::string error = MSG_JOURNAL::take_script_error();
        EXPECT_NE(error.find("the scripted answer 5 is not a button of the prompt"), std::string::npos) << error;
        EXPECT_NE(error.find(c.buttons), std::string::npos) << error;
        EXPECT_EQ(MSG_JOURNAL::take_script_error(), "");
    }
    // Two misfits before the script hears of either: the first is named.
    MSG_JOURNAL::push_answer(5);
    MSG_JOURNAL::push_answer(9);
    for (const auto& c : cases)
        c.prompt->prompt();
    const std::string first = MSG_JOURNAL::take_script_error();
    EXPECT_NE(first.find("answer 5 is not a button of the prompt \"Go on?\""), std::string::npos) << first;
}

}  // namespace
