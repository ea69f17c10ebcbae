// Filing of status texts under their messages; the map, its deleter and the texts themselves
// are defined with the module's other load-time objects in vokr_globals.cpp.
#include "vokr_status_texts.h"

#include "vokr_assert.h"
#include "vokr_msg.h"

#include <memory>

VOKR_MSG_DELETER::~VOKR_MSG_DELETER()
{
    qDeleteAll(VOKR_TEXT_TO_MSG_MAP);
    VOKR_TEXT_TO_MSG_MAP.clear();
}

QString vokr_add_status_message(MSG_POST* message)
{
    std::unique_ptr<MSG_POST> owned(message);
    QString return_value = message ? QString::fromStdString(message->get_msg_text()) : QString();
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
