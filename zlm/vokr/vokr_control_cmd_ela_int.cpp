#include "vokr_control_cmd_ela_int.h"

#include "vokr_update_state_event.h"

#include <QCoreApplication>

VOKR_UPDATE_STATE_EVENT::~VOKR_UPDATE_STATE_EVENT() = default;

// The control lets go of the callback before any of it is gone: no call reaches it afterwards.
VOKR_CONTROL_CMD_ELA_INT::~VOKR_CONTROL_CMD_ELA_INT() { detach_requests(); }

uint64_t VOKR_CONTROL_CMD_ELA_INT::next_serial()
{
    static std::atomic<uint64_t> serial{0};
    return ++serial;
}

uint32_t VOKR_CONTROL_CMD_ELA_INT::state_of(uint32_t code)
{
    // Each odd code from 3 to 13 is the code before it in the power-up view (0x2000000).
    static const uint32_t STATES[] = {0x800000, 0x2000,    0x8000,   0x2008000, 0x4000,   0x2004000,
                                      0x10000,  0x2010000, 0x20000,  0x2020000, 0x400000, 0x2400000,
                                      0x40000,  0x2040000, 0x200000, 0x1000000, 0,        0x80000};
    return code < sizeof STATES / sizeof STATES[0] ? STATES[code] : 0;
}

void VOKR_CONTROL_CMD_ELA_INT::notify(uint32_t code, uint32_t argument, uint64_t extra)
{
    const uint32_t state = state_of(code);
    if (state == 0)
        return;
    m_last_argument.store(argument, std::memory_order_relaxed);
    QCoreApplication::postEvent(
        m_target,
        new VOKR_UPDATE_STATE_EVENT(state, this, extra, argument, static_cast<int>(m_instance_index), m_serial),
        Qt::NormalEventPriority);
}
