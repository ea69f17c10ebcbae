#include "vokr_control_cmd_ela_int.h"

#include "vokr_update_state_event.h"

#include <QCoreApplication>

#include <deque>
#include <mutex>

namespace {

// The states bound for one target, handed from the acquisition's thread to the target's thread
// through a queue under a standard mutex: the thread sanitizer sees that hand-over, where Qt's
// own event queue (locked inside Qt) would leave it unseen. Each state posts one empty wake-up
// event; Qt keeps those in order with the other events posted meanwhile (such as the writes of
// the data log), and each wake-up sends the oldest state to the target. A child of the target,
// it goes with it, and the wake-ups with it.
class STATE_MAILBOX : public QObject {
public:
    explicit STATE_MAILBOX(QObject* target) : QObject(target) {}

    void post(uint32_t state, VOKR_CONTROL_CMD_ELA_INT* sender, uint64_t extra, uint32_t argument, int entry,
              uint64_t serial)
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_pending.push_back({state, sender, extra, argument, entry, serial});
        QCoreApplication::postEvent(this, new QEvent(WAKE_UP), Qt::NormalEventPriority);
    }

protected:
    // The wake-up is not read: it was made on the other thread.
    void customEvent(QEvent*) override
    {
        std::unique_lock<std::mutex> hold(m_lock);
        if (m_pending.empty())
            return;
        const PENDING next = m_pending.front();
        m_pending.pop_front();
        hold.unlock();
        VOKR_UPDATE_STATE_EVENT event(next.state, next.sender, next.extra, next.argument, next.entry, next.serial);
        QCoreApplication::sendEvent(parent(), &event);
    }

private:
    static constexpr QEvent::Type WAKE_UP = QEvent::Type(QEvent::User + 1);
    struct PENDING {
        uint32_t state;
        VOKR_CONTROL_CMD_ELA_INT* sender;
        uint64_t extra;
        uint32_t argument;
        int entry;
        uint64_t serial;
    };
    std::mutex m_lock;
    std::deque<PENDING> m_pending;
};

}  // namespace

VOKR_UPDATE_STATE_EVENT::~VOKR_UPDATE_STATE_EVENT() = default;

// The control lets go of the callback before any of it is gone: no call reaches it afterwards.
VOKR_CONTROL_CMD_ELA_INT::~VOKR_CONTROL_CMD_ELA_INT() { detach_requests(); }

uint64_t VOKR_CONTROL_CMD_ELA_INT::next_serial()
{
    static std::atomic<uint64_t> serial{0};
    return ++serial;
}

QObject* VOKR_CONTROL_CMD_ELA_INT::mailbox_of(QObject* target)
{
    if (!target)
        return nullptr;
    for (QObject* child : target->children())
        if (auto* mailbox = dynamic_cast<STATE_MAILBOX*>(child))
            return mailbox;
    return new STATE_MAILBOX(target);
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
    if (state == 0 || !m_mailbox)
        return;
    m_last_argument.store(argument, std::memory_order_relaxed);
    static_cast<STATE_MAILBOX*>(m_mailbox)->post(state, this, extra, argument, static_cast<int>(m_instance_index),
                                                 m_serial);
}
