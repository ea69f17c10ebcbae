// The callback of one instance's acquisition: turns the acquisition control's progress codes
// into state masks and hands them to the GUI thread, where the target receives each as a
// VOKR_UPDATE_STATE_EVENT.
#pragma once

#include "daw.h"

#include <atomic>
#include <cstdint>

class QObject;

class VOKR_CONTROL_CMD_ELA_INT : public DAW_CONTROL_ELA_INT {
public:
    VOKR_CONTROL_CMD_ELA_INT(QObject* target, uint32_t instance_index)
        : m_target(target), m_mailbox(mailbox_of(target)), m_instance_index(instance_index), m_serial(next_serial())
    {
    }
    ~VOKR_CONTROL_CMD_ELA_INT() override;

    // Safe on any thread: the target receives a VOKR_UPDATE_STATE_EVENT on its own thread for
    // every mapped code, in the order of the calls; code 16 and codes from 18 on do nothing.
    void notify(uint32_t code, uint32_t argument, uint64_t extra) override;

    // The state mask of a code; 0 for the codes that map to nothing.
    static uint32_t state_of(uint32_t code);

    QObject* get_target() const { return m_target; }
    uint32_t get_last_argument() const { return m_last_argument.load(std::memory_order_relaxed); }
    uint32_t get_instance_index() const { return m_instance_index; }
    void set_instance_index(uint32_t index) { m_instance_index = index; }
    // Unique in the process: no two callbacks share one, whatever their addresses.
    uint64_t get_serial() const { return m_serial; }

private:
    QObject* m_target;
    QObject* m_mailbox;  // the target's queue of states; made with the first callback for it
    std::atomic<uint32_t> m_last_argument{0};
    uint32_t m_instance_index;
    uint64_t m_serial;

    static uint64_t next_serial();
    // Must run on the target's thread.
    static QObject* mailbox_of(QObject* target);
};
