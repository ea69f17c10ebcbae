// The instance status texts and parameter help texts built when the module is loaded.
#include "vokr_msg.h"
#include "vokr_status_texts.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct BUILT_TEXT {
    const QString* text;
    unsigned int number;
};

const BUILT_TEXT STATUS_TEXTS[] = {
    {&VOKR_NO_INSTANCES, 268028},
    {&VOKR_NO_NODES, 268029},
    {&VOKR_READY_TO_ACQUIRE, 268031},
    {&VOKR_NOT_RUNNING, 268032},
    {&VOKR_ACQUISITION_IN_PROGRESS, 268033},
    {&VOKR_WAITING_FOR_CLOCK, 268037},
    {&VOKR_COMPILE_DESIGN, 268034},
    {&VOKR_RECOMPILE_DESIGN, 14992},
    {&VOKR_REROUTE_DESIGN, 268035},
    {&VOKR_PROGRAM_DEVICE, 268036},
    {&VOKR_ACQUIRING_PRE_TRIGGER_DATA, 268038},
    {&VOKR_ACQUIRING_POST_TRIGGER_DATA, 268039},
    {&VOKR_OFFLOADING_DATA, 268040},
    {&VOKR_WAITING_FOR_TRIGGER, 268041},
    {&VOKR_TRIGGER_IN_MET, 268047},
    {&VOKR_TRIGGER_LEVEL, 268048},
    {&VOKR_INVALID_JTAG_CONFIGURATION, 268030},
    {&VOKR_JTAG_COMMUNICATION_ERROR, 268057},
    {&VOKR_JTAG_COMMUNICATION_BUSY, 268058},
    {&VOKR_WAITING_FOR_JTAG, 268049},
    {&VOKR_POWERUP_WAITING_FOR_CLOCK, 268042},
    {&VOKR_POWERUP_WAITING_FOR_TRIGGER, 268043},
    {&VOKR_POWERUP_ACQUIRING_PRE_TRIGGER_DATA, 268044},
    {&VOKR_POWERUP_ACQUIRING_POST_TRIGGER_DATA, 268045},
    {&VOKR_POWERUP_OFFLOADING_DATA, 268046},
    {&VOKR_JTAG_ERR_VERSION_DIFF, 268059},
    {&VOKR_JTAG_ERR_VERSION_MISMATCH, 268060},
    {&VOKR_JTAG_ERR_NO_HARDWARE, 268061},
    {&VOKR_JTAG_ERR_HANDWARE_CHANGED, 268062},
    {&VOKR_JTAG_ERR_HANDWARE_BUSY, 268063},
    {&VOKR_JTAG_ERR_NO_ZLM_NODE, 268064},
    {&VOKR_JTAG_ERR_JTAG_ERROR, 268065},
    {&VOKR_JTAG_ERR_SIF_INCOMPATIBLE, 268066},
};

const BUILT_TEXT HELP_TEXTS[] = {
    {&VOKR_PARAMETER_PATTERN, 268088},
    {&VOKR_PARAMETER_BUS_VALUE, 268092},
    {&VOKR_PARAMETER_BUS_NAME, 268093},
    {&VOKR_PARAMETER_COMPARISON_TYPE, 268086},
    {&VOKR_PARAMETER_SIGNED_COMPARISON_TYPE, 268087},
    {&VOKR_PARAMETER_BIT_VALUE, 268094},
    {&VOKR_PARAMETER_SHIFT_TYPE, 268083},
    {&VOKR_PARAMETER_SHIFT_DIRECTION, 268095},
    {&VOKR_PARAMETER_SHIFT_DISTANCE, 268084},
    {&VOKR_PARAMETER_BUS_DISPLAY_FORMAT, 268089},
    {&VOKR_PARAMETER_BIT_ORDER, 268090},
    {&VOKR_PARAMETER_PIPELINE, 268085},
    {&VOKR_PARAMETER_DATA_DELAY, 268091},
    {&VOKR_PARAMETER_BITWISE_OPERATOR_TYPE, 268096},
    {&VOKR_PARAMETER_LOGICAL_OPERATOR_TYPE, 268097},
    {&VOKR_PARAMETER_REDUCTION_OPERATOR_TYPE, 268098},
    {&VOKR_PARAMETER_COUNTER_TYPE, 268099},
    {&VOKR_PARAMETER_COUNTER_WIDTH, 268100},
    {&VOKR_PARAMETER_COUNTER_VALUE, 268101},
    {&VOKR_PARAMETER_COUNTER_HOLD, 268102},
    {&VOKR_PARAMETER_MODULE_NAME, 14762},
    {&VOKR_PARAMETER_BITSTREAM, 14761},
};

// The catalogue's text of a message number.
QString catalogue_text(unsigned int number)
{
    size_t count = 0;
    const VOKR_MSG_INFO* rows = vokr_msg_catalogue(&count);
    for (size_t i = 0; i < count; ++i)
        if (rows[i].number == number) {
            const QString literal = rows[i].literal;
            return literal.left(literal.lastIndexOf('/'));
        }
    return QString();
}

class StatusTexts : public ::testing::Test {
protected:
    void TearDown() override { MSG_INDEX::get_default_index()->clear(); }
};

TEST_F(StatusTexts, MapHoldsEveryStatusTextUnderItsOwnMessage)
{
    EXPECT_EQ(VOKR_TEXT_TO_MSG_MAP.size(), 33);
    for (const BUILT_TEXT& t : STATUS_TEXTS) {
        EXPECT_EQ(*t.text, catalogue_text(t.number)) << t.number;
        const MSG_POST* msg = VOKR_TEXT_TO_MSG_MAP.value(*t.text);
        ASSERT_NE(msg, nullptr) << t.number;
        EXPECT_EQ(msg->get_id(), t.number);
        EXPECT_EQ(QString::fromStdString(msg->get_msg_text()), *t.text);
    }
    EXPECT_EQ(VOKR_TEXT_TO_MSG_MAP.value("Ready to acquire")->get_id(), 268031u);
    for (const BUILT_TEXT& t : HELP_TEXTS)
        EXPECT_EQ(*t.text, catalogue_text(t.number)) << t.number;
}

TEST_F(StatusTexts, SuppressionEmptiesHelpTextsButNeverStatusTexts)
{
    for (const BUILT_TEXT& t : STATUS_TEXTS) {
        MSG_INDEX::get_default_index()->set_suppressed(t.number, true);
        EXPECT_EQ(vokr_status_text(t.number), *t.text) << t.number;
        EXPECT_EQ(VOKR_TEXT_TO_MSG_MAP.value(*t.text)->get_id(), t.number);
    }
    EXPECT_EQ(VOKR_TEXT_TO_MSG_MAP.size(), 33);
    for (const BUILT_TEXT& t : HELP_TEXTS) {
        MSG_INDEX::get_default_index()->set_suppressed(t.number, true);
        EXPECT_EQ(vokr_help_text(t.number), QString()) << t.number;
        MSG_INDEX::get_default_index()->set_suppressed(t.number, false);
        EXPECT_EQ(vokr_help_text(t.number), *t.text) << t.number;
    }
}

TEST(StatusTextsDeathTest, AnEmptyStatusTextIsAnInternalError)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(vokr_add_status_message(new MSG_I(nullptr)), "return_value != \"\"");
    EXPECT_DEATH(vokr_status_text(268070), "return_value != \"\"");  // a prompt, not a status message
}

}  // namespace
