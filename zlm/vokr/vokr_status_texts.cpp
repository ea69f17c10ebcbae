// The definitions below are built in the order they appear: the map and its deleter first,
// then the status texts, then the help texts; unloading destroys them in reverse order.
#include "vokr_status_texts.h"

#include "vokr_assert.h"
#include "vokr_msg.h"

#include <memory>

VOKR_TEXT_MSG_MAP VOKR_TEXT_TO_MSG_MAP;

VOKR_MSG_DELETER::~VOKR_MSG_DELETER()
{
    qDeleteAll(VOKR_TEXT_TO_MSG_MAP);
    VOKR_TEXT_TO_MSG_MAP.clear();
}

VOKR_MSG_DELETER VOKR_GLOBAL_MSG_DELETER;

QString vokr_add_status_message(MSG_POST* message)
{
    std::unique_ptr<MSG_POST> owned(message);
    const QString return_value = message ? QString::fromStdString(message->get_msg_text()) : QString();
    VOKR_ASSERT_TEXT(return_value != "", "return_value != \"\"");
    MSG_POST*& slot = VOKR_TEXT_TO_MSG_MAP[return_value];
    if (slot != message)
        delete slot;
    slot = owned.release();
    return return_value;
}

QString vokr_status_text(unsigned int number) { return vokr_add_status_message(vokr_msg_build_post(number, false)); }

QString vokr_help_text(unsigned int number)
{
    const std::unique_ptr<MSG_POST> message(vokr_msg_build_post(number, true));
    return message ? QString::fromStdString(message->get_msg_text()) : QString();
}

const QString VOKR_NO_INSTANCES = vokr_status_text(268028);
const QString VOKR_NO_NODES = vokr_status_text(268029);
const QString VOKR_READY_TO_ACQUIRE = vokr_status_text(268031);
const QString VOKR_NOT_RUNNING = vokr_status_text(268032);
const QString VOKR_ACQUISITION_IN_PROGRESS = vokr_status_text(268033);
const QString VOKR_WAITING_FOR_CLOCK = vokr_status_text(268037);
const QString VOKR_COMPILE_DESIGN = vokr_status_text(268034);
const QString VOKR_RECOMPILE_DESIGN = vokr_status_text(14992);
const QString VOKR_REROUTE_DESIGN = vokr_status_text(268035);
const QString VOKR_PROGRAM_DEVICE = vokr_status_text(268036);
const QString VOKR_ACQUIRING_PRE_TRIGGER_DATA = vokr_status_text(268038);
const QString VOKR_ACQUIRING_POST_TRIGGER_DATA = vokr_status_text(268039);
const QString VOKR_OFFLOADING_DATA = vokr_status_text(268040);
const QString VOKR_WAITING_FOR_TRIGGER = vokr_status_text(268041);
const QString VOKR_TRIGGER_IN_MET = vokr_status_text(268047);
const QString VOKR_TRIGGER_LEVEL = vokr_status_text(268048);
const QString VOKR_INVALID_JTAG_CONFIGURATION = vokr_status_text(268030);
const QString VOKR_JTAG_COMMUNICATION_ERROR = vokr_status_text(268057);
const QString VOKR_JTAG_COMMUNICATION_BUSY = vokr_status_text(268058);
const QString VOKR_WAITING_FOR_JTAG = vokr_status_text(268049);
const QString VOKR_POWERUP_WAITING_FOR_CLOCK = vokr_status_text(268042);
const QString VOKR_POWERUP_WAITING_FOR_TRIGGER = vokr_status_text(268043);
const QString VOKR_POWERUP_ACQUIRING_PRE_TRIGGER_DATA = vokr_status_text(268044);
const QString VOKR_POWERUP_ACQUIRING_POST_TRIGGER_DATA = vokr_status_text(268045);
const QString VOKR_POWERUP_OFFLOADING_DATA = vokr_status_text(268046);
const QString VOKR_JTAG_ERR_VERSION_DIFF = vokr_status_text(268059);
const QString VOKR_JTAG_ERR_VERSION_MISMATCH = vokr_status_text(268060);
const QString VOKR_JTAG_ERR_NO_HARDWARE = vokr_status_text(268061);
const QString VOKR_JTAG_ERR_HANDWARE_CHANGED = vokr_status_text(268062);
const QString VOKR_JTAG_ERR_HANDWARE_BUSY = vokr_status_text(268063);
const QString VOKR_JTAG_ERR_NO_ZLM_NODE = vokr_status_text(268064);
const QString VOKR_JTAG_ERR_JTAG_ERROR = vokr_status_text(268065);
const QString VOKR_JTAG_ERR_SIF_INCOMPATIBLE = vokr_status_text(268066);

const QString VOKR_PARAMETER_PATTERN = vokr_help_text(268088);
const QString VOKR_PARAMETER_BUS_VALUE = vokr_help_text(268092);
const QString VOKR_PARAMETER_BUS_NAME = vokr_help_text(268093);
const QString VOKR_PARAMETER_COMPARISON_TYPE = vokr_help_text(268086);
const QString VOKR_PARAMETER_SIGNED_COMPARISON_TYPE = vokr_help_text(268087);
const QString VOKR_PARAMETER_BIT_VALUE = vokr_help_text(268094);
const QString VOKR_PARAMETER_SHIFT_TYPE = vokr_help_text(268083);
const QString VOKR_PARAMETER_SHIFT_DIRECTION = vokr_help_text(268095);
const QString VOKR_PARAMETER_SHIFT_DISTANCE = vokr_help_text(268084);
const QString VOKR_PARAMETER_BUS_DISPLAY_FORMAT = vokr_help_text(268089);
const QString VOKR_PARAMETER_BIT_ORDER = vokr_help_text(268090);
const QString VOKR_PARAMETER_PIPELINE = vokr_help_text(268085);
const QString VOKR_PARAMETER_DATA_DELAY = vokr_help_text(268091);
const QString VOKR_PARAMETER_BITWISE_OPERATOR_TYPE = vokr_help_text(268096);
const QString VOKR_PARAMETER_LOGICAL_OPERATOR_TYPE = vokr_help_text(268097);
const QString VOKR_PARAMETER_REDUCTION_OPERATOR_TYPE = vokr_help_text(268098);
const QString VOKR_PARAMETER_COUNTER_TYPE = vokr_help_text(268099);
const QString VOKR_PARAMETER_COUNTER_WIDTH = vokr_help_text(268100);
const QString VOKR_PARAMETER_COUNTER_VALUE = vokr_help_text(268101);
const QString VOKR_PARAMETER_COUNTER_HOLD = vokr_help_text(268102);
const QString VOKR_PARAMETER_MODULE_NAME = vokr_help_text(14762);
const QString VOKR_PARAMETER_BITSTREAM = vokr_help_text(14761);
