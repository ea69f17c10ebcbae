// The event that carries an acquisition's new state to the GUI thread.
#pragma once

#include <QEvent>

#include <cstdint>

class VOKR_CONTROL_CMD_ELA_INT;

class VOKR_UPDATE_STATE_EVENT : public QEvent {
public:
    static constexpr QEvent::Type TYPE = QEvent::User;  // 1000

    VOKR_UPDATE_STATE_EVENT(uint32_t state, VOKR_CONTROL_CMD_ELA_INT* sender, uint64_t extra)
        : QEvent(TYPE), m_state(state), m_sender(sender), m_extra(extra)
    {
    }
    ~VOKR_UPDATE_STATE_EVENT() override;

    uint32_t get_state() const { return m_state; }
    // The callback that posted the event; not owned.
    VOKR_CONTROL_CMD_ELA_INT* get_sender() const { return m_sender; }
    // For the data-ready state: the filled log, as the acquisition control reported it. It may be
    // gone by delivery; look it up among the session's logs before use.
    uint64_t get_extra() const { return m_extra; }

private:
    uint32_t m_state;
    VOKR_CONTROL_CMD_ELA_INT* m_sender;
    uint64_t m_extra;
};
