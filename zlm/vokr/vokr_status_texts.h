// The instance status texts and the advanced-trigger parameter help texts, built from the
// message catalogue when the module is loaded and kept until it is unloaded.
//
// Each status text keeps the message that produced it in VOKR_TEXT_TO_MSG_MAP, so that the
// instance manager can offer that message's help for the text on display. A status text is
// always the catalogue's text, even when the user suppressed its message; a suppressed help
// text is empty.
#pragma once

#include "msg.h"

#include <QMap>
#include <QString>

using VOKR_TEXT_MSG_MAP = QMap<QString, MSG_POST*>;
extern VOKR_TEXT_MSG_MAP VOKR_TEXT_TO_MSG_MAP;

// Deletes the messages held by VOKR_TEXT_TO_MSG_MAP when the module is unloaded.
class VOKR_MSG_DELETER {
public:
    VOKR_MSG_DELETER() = default;
    ~VOKR_MSG_DELETER();
    VOKR_MSG_DELETER(const VOKR_MSG_DELETER&) = delete;
    VOKR_MSG_DELETER& operator=(const VOKR_MSG_DELETER&) = delete;
};
extern VOKR_MSG_DELETER VOKR_GLOBAL_MSG_DELETER;

// Files the message under its text, taking it over (a message already filed under that text is
// deleted), and returns the text. An empty text is an internal error.
QString vokr_add_status_message(MSG_POST* message);
// Builds the status message of that catalogue number, whether or not it is suppressed, and files it.
QString vokr_status_text(unsigned int number);
// The help text of that catalogue number: empty when its message is suppressed.
QString vokr_help_text(unsigned int number);

// The status texts, in the order in which they are built.
extern const QString VOKR_NO_INSTANCES;
extern const QString VOKR_NO_NODES;
extern const QString VOKR_READY_TO_ACQUIRE;
extern const QString VOKR_NOT_RUNNING;
extern const QString VOKR_ACQUISITION_IN_PROGRESS;
extern const QString VOKR_WAITING_FOR_CLOCK;
extern const QString VOKR_COMPILE_DESIGN;
extern const QString VOKR_RECOMPILE_DESIGN;
extern const QString VOKR_REROUTE_DESIGN;
extern const QString VOKR_PROGRAM_DEVICE;
extern const QString VOKR_ACQUIRING_PRE_TRIGGER_DATA;
extern const QString VOKR_ACQUIRING_POST_TRIGGER_DATA;
extern const QString VOKR_OFFLOADING_DATA;
extern const QString VOKR_WAITING_FOR_TRIGGER;
extern const QString VOKR_TRIGGER_IN_MET;
extern const QString VOKR_TRIGGER_LEVEL;
extern const QString VOKR_INVALID_JTAG_CONFIGURATION;
extern const QString VOKR_JTAG_COMMUNICATION_ERROR;
extern const QString VOKR_JTAG_COMMUNICATION_BUSY;
extern const QString VOKR_WAITING_FOR_JTAG;
extern const QString VOKR_POWERUP_WAITING_FOR_CLOCK;
extern const QString VOKR_POWERUP_WAITING_FOR_TRIGGER;
extern const QString VOKR_POWERUP_ACQUIRING_PRE_TRIGGER_DATA;
extern const QString VOKR_POWERUP_ACQUIRING_POST_TRIGGER_DATA;
extern const QString VOKR_POWERUP_OFFLOADING_DATA;
extern const QString VOKR_JTAG_ERR_VERSION_DIFF;
extern const QString VOKR_JTAG_ERR_VERSION_MISMATCH;
extern const QString VOKR_JTAG_ERR_NO_HARDWARE;
extern const QString VOKR_JTAG_ERR_HANDWARE_CHANGED;
extern const QString VOKR_JTAG_ERR_HANDWARE_BUSY;
extern const QString VOKR_JTAG_ERR_NO_ZLM_NODE;
extern const QString VOKR_JTAG_ERR_JTAG_ERROR;
extern const QString VOKR_JTAG_ERR_SIF_INCOMPATIBLE;

// The parameter help texts.
extern const QString VOKR_PARAMETER_PATTERN;
extern const QString VOKR_PARAMETER_BUS_VALUE;
extern const QString VOKR_PARAMETER_BUS_NAME;
extern const QString VOKR_PARAMETER_COMPARISON_TYPE;
extern const QString VOKR_PARAMETER_SIGNED_COMPARISON_TYPE;
extern const QString VOKR_PARAMETER_BIT_VALUE;
extern const QString VOKR_PARAMETER_SHIFT_TYPE;
extern const QString VOKR_PARAMETER_SHIFT_DIRECTION;
extern const QString VOKR_PARAMETER_SHIFT_DISTANCE;
extern const QString VOKR_PARAMETER_BUS_DISPLAY_FORMAT;
extern const QString VOKR_PARAMETER_BIT_ORDER;
extern const QString VOKR_PARAMETER_PIPELINE;
extern const QString VOKR_PARAMETER_DATA_DELAY;
extern const QString VOKR_PARAMETER_BITWISE_OPERATOR_TYPE;
extern const QString VOKR_PARAMETER_LOGICAL_OPERATOR_TYPE;
extern const QString VOKR_PARAMETER_REDUCTION_OPERATOR_TYPE;
extern const QString VOKR_PARAMETER_COUNTER_TYPE;
extern const QString VOKR_PARAMETER_COUNTER_WIDTH;
extern const QString VOKR_PARAMETER_COUNTER_VALUE;
extern const QString VOKR_PARAMETER_COUNTER_HOLD;
extern const QString VOKR_PARAMETER_MODULE_NAME;
extern const QString VOKR_PARAMETER_BITSTREAM;
