// The event that carries an acquisition's new state to the GUI thread.
#pragma once

#include <QEvent>

#include <cstdint>

class VOKR_CONTROL_CMD_ELA_INT;

class VOKR_UPDATE_STATE_EVENT : public QEvent {
public:
    static constexpr QEvent::Type TYPE = QEvent::User;  // 1000

    // The argument and the session entry are copied when the event is made: the sender's own
    // fields change with every later notification.
    VOKR_UPDATE_STATE_EVENT(uint32_t state, VOKR_CONTROL_CMD_ELA_INT* sender, uint64_t extra, uint32_t argument = 0,
                            int entry = -1, uint64_t serial = 0)
        : QEvent(TYPE), m_state(state), m_sender(sender), m_extra(extra), m_argument(argument), m_entry(entry),
          m_serial(serial)
    {
    }
    ~VOKR_UPDATE_STATE_EVENT() override;

    uint32_t get_state() const { return m_state; }
    // The callback that posted the event; not owned.
    VOKR_CONTROL_CMD_ELA_INT* get_sender() const { return m_sender; }
    // For the data-ready state: the filled log, as the acquisition control reported it. It may be
    // gone by delivery; look it up among the session's logs before use.
    uint64_t get_extra() const { return m_extra; }
    // The notification's argument (a level, a negative state number or an error code).
    uint32_t get_argument() const { return m_argument; }
    // The session entry of the acquisition.
    int get_entry() const { return m_entry; }
    // The sender's serial number: tells a living sender from a later one at the same address.
    uint64_t get_serial() const { return m_serial; }

private:
    uint32_t m_state;
    VOKR_CONTROL_CMD_ELA_INT* m_sender;
    uint64_t m_extra;
    uint32_t m_argument;
    int m_entry;
    uint64_t m_serial;
};
