// The acquisition control and its simulator: accepted requests with a script of progress calls,
// delivered on the caller's thread (step, drain) or by a worker thread; the virtual hardware
// table that scans read.
#include "daw.h"
#include "daw_target.h"
#include "ksm_worker_pool.h"
#include "msg.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

DAW_CONTROL_INT::~DAW_CONTROL_INT() = default;
DAW_CONTROL_ELA_INT::~DAW_CONTROL_ELA_INT() { detach_requests(); }
void DAW_CONTROL_ELA_INT::node_interrupt_handler() {}
void DAW_CONTROL_ELA_INT::notify(uint32_t, uint32_t, uint64_t) {}

namespace {

// One call of a request's script; a FILL step captures into the request's log first. A paced
// worker waits `hold_ms` after making the call: the time the phase it reports lasts.
struct STEP {
    uint32_t code;
    uint32_t argument;
    uint64_t extra;
    bool fill;
    int hold_ms = 0;
};

// Paced runs: how often a phase reports itself, and how long each phase lasts.
constexpr int PACE_TICK_MS = 50;
constexpr int PACE_WAIT_MS = 400;
constexpr int PACE_START_MS = 50;

int paced_acquire_ms(int depth) { return std::clamp(depth * 3 / 10, 100, 1500); }
int paced_offload_ms(int depth) { return std::clamp(depth / 5, 100, 1000); }

// Runs work on the thread of the application: the paced worker writes no log itself, so that
// the editor, which reads the logs on that thread, never races with a capture. The work is
// handed over in a queue under a standard mutex, which the thread sanitizer sees; Qt's event
// queue carries only an empty wake-up per piece of work, which keeps it in order with the other
// events posted to that thread meanwhile (the acquisition's states among them).
class COURIER : public QObject {
public:
    static constexpr QEvent::Type TYPE = QEvent::Type(QEvent::User + 317);
    void post(std::function<void()> work)
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_work.push_back(std::move(work));
        QCoreApplication::postEvent(this, new QEvent(TYPE));
    }
    bool event(QEvent* e) override
    {
        // The lock first: a wake-up was made on the posting thread while it held the lock.
        std::unique_lock<std::mutex> hold(m_lock);
        if (e->type() != TYPE) {
            hold.unlock();
            return QObject::event(e);
        }
        if (m_work.empty())
            return true;
        const std::function<void()> next = std::move(m_work.front());
        m_work.pop_front();
        hold.unlock();
        next();
        return true;
    }

private:
    std::mutex m_lock;
    std::deque<std::function<void()>> m_work;
};

struct REQUEST {
    KSM_DATA_INSTANCE* instance = nullptr;
    KSM_DATA_LOG* log = nullptr;
    DAW_CONTROL_ELA_INT* callback = nullptr;
    bool autorun = false;
    bool ended = false;    // its ending call was queued: nothing follows it
    bool stopped = false;  // ended by a stop: a capture not yet written into the log never is
    std::deque<STEP> script;
    int depth = 0;  // of the log: how long a paced capture and offload last
    // What a capture writes, planned on the thread that started the run: the worker reads
    // neither the trigger nor the project.
    std::shared_ptr<const daw_target::PLAN> plan;
};

struct HARDWARE_DEVICE {
    daw_sim::DEVICE device;
    std::map<uint64_t, uint32_t> crcs;  // by node information
};

struct SIMULATOR {
    std::mutex lock;
    std::condition_variable idle;
    daw_sim::MODE mode = daw_sim::DETERMINISTIC;
    int delay_ms = 1;
    bool refuse_run = false;
    bool fail_offload = false;
    bool busy = false;
    std::vector<std::shared_ptr<REQUEST>> requests;
    size_t next = 0;  // round-robin position among the requests
    std::map<std::string, std::vector<HARDWARE_DEVICE>> hardware;
    std::thread worker;
    bool working = false;
    bool quit = false;
    // The callback the worker is calling now: a callback being destroyed waits for the call.
    const DAW_CONTROL_ELA_INT* calling = nullptr;
    std::thread::id calling_thread;
    std::condition_variable called;
    QPointer<COURIER> courier;  // on the application's thread; made by the first threaded run
    // The pool whose threads help the worker write its captures: made before the simulator, it
    // is destroyed after it, once the worker has ended.
    KSM_WORKER_POOL& helpers = KSM_WORKER_POOL::shared();

    ~SIMULATOR() { join(); }
    void join()
    {
        {
            std::lock_guard<std::mutex> hold(lock);
            quit = true;
        }
        if (worker.joinable())
            worker.join();
        quit = false;
    }
};

SIMULATOR& sim()
{
    static SIMULATOR s;
    return s;
}

uint64_t info_key(const KSM_DATA_INSTANCE_INFO& info)
{
    return uint64_t(info.first) | uint64_t(info.second) << 8 | uint64_t(info.third) << 40 |
           uint64_t(info.version) << 48;
}

KSM_DATA_INSTANCE* instance_of(const KSM_DATA_LOG* log)
{
    const KSM_TX_TRIGGER* trigger = log ? log->get_trigger() : nullptr;
    const KSM_TX_SIGNAL_SET* set = trigger ? trigger->get_signal_set() : nullptr;
    return set ? set->get_instance() : nullptr;
}

bool is_ending(uint32_t code)
{
    return code == DAW_EVENT_NOT_RUNNING || code == DAW_EVENT_POWER_UP_NOT_RUNNING || code == DAW_EVENT_JTAG_ERROR;
}

// The capture of the log's trigger; null when the trigger cannot run, and when the target says
// why, that reason is posted under `refusal` (a text that takes it, its identifier after the
// slash) and *refused is set.
std::shared_ptr<daw_target::PLAN> plan_of(const KSM_DATA_LOG* log, const char* refusal, bool* refused = nullptr)
{
    std::string reason;
    auto plan = std::make_shared<daw_target::PLAN>();
    const bool made = daw_target::plan(log, plan.get(), &reason);
    if (refused)
        *refused = !made && !reason.empty();
    if (made)
        return plan;
    if (!reason.empty()) {
        MSG_E error;
        error.fill_args(refusal, reason.c_str());
        error.post();
    }
    return nullptr;
}

uint32_t not_running_code(const REQUEST& r)
{
    return r.log && r.log->is_power_up() ? DAW_EVENT_POWER_UP_NOT_RUNNING : DAW_EVENT_NOT_RUNNING;
}

// A power-up run reports its phases with the power-up codes; it waits for its trigger as the
// power-up trigger's progress at the same level.
uint32_t phase_code(const REQUEST& r, uint32_t code)
{
    if (!r.log || !r.log->is_power_up())
        return code;
    switch (code) {
    case DAW_EVENT_WAITING_FOR_TRIGGER:
    case DAW_EVENT_TRIGGER_PROGRESS: return DAW_EVENT_POWER_UP_TRIGGER_PROGRESS;
    case DAW_EVENT_PRE_TRIGGER: return DAW_EVENT_POWER_UP_PRE_TRIGGER;
    case DAW_EVENT_POST_TRIGGER: return DAW_EVENT_POWER_UP_POST_TRIGGER;
    case DAW_EVENT_OFFLOADING: return DAW_EVENT_POWER_UP_OFFLOADING;
    default: return code;
    }
}

// Must hold the lock. Paced: `ms` of the phase as calls of that code every tick; else one call.
void queue_phase(SIMULATOR& s, REQUEST* r, uint32_t code, uint32_t argument, int ms)
{
    code = phase_code(*r, code);
    if (s.mode != daw_sim::PACED) {
        r->script.push_back({code, argument, 0, false});
        return;
    }
    for (int left = ms; left > 0; left -= PACE_TICK_MS)
        r->script.push_back({code, argument, 0, false, std::min(left, PACE_TICK_MS)});
}

// Must hold the lock. The trigger part of a script, from pre-trigger to data ready; `ending`
// adds "not running". A paced autorun waits for its trigger again before each capture.
void queue_capture(SIMULATOR& s, REQUEST* r, bool ending, bool again)
{
    const uint64_t log = reinterpret_cast<uintptr_t>(r->log);
    if (again && s.mode == daw_sim::PACED)
        queue_phase(s, r, DAW_EVENT_WAITING_FOR_TRIGGER, 1, PACE_WAIT_MS);
    const int acquire = paced_acquire_ms(r->depth);
    queue_phase(s, r, DAW_EVENT_PRE_TRIGGER, 0, acquire / 2);
    queue_phase(s, r, DAW_EVENT_POST_TRIGGER, 0, acquire - acquire / 2);
    queue_phase(s, r, DAW_EVENT_OFFLOADING, 0, paced_offload_ms(r->depth));
    r->script.push_back({DAW_EVENT_DATA_READY, 0, log, true});
    if (ending) {
        r->script.push_back({not_running_code(*r), 0, 0, false});
        r->ended = true;
    }
}

// The session that holds the instance, among the open ones; null when none does.
const KSM_TX_SESSION* session_of(const KSM_DATA_INSTANCE* instance)
{
    for (const KSM_TX_SESSION* session : ksm_get_open_sessions())
        for (int entry = 0; entry < session->get_num_instances(); ++entry)
            if (session->get_instance_at(entry) == instance)
                return session;
    return nullptr;
}

// Must hold the lock. The JTAG error a run of the log's trigger meets on the chain and device its
// session names, where a hardware table is set up (without one the bench is not modelled, and
// every run reaches a device that runs it): 2 (invalid JTAG hardware) for a chain the table does
// not have; 5 (instance not found) for a device the hardware does not have or has unavailable, or
// that holds no analyzer with the instance's node information; 6 (unexpected JTAG communication
// error) for a device that does not answer; 8 (instance version mismatch) when it holds another
// trigger than the log's. 0 when the device runs it. The device made a power-up trigger's capture
// when it powered up: reaching the device is enough.
uint32_t device_error(SIMULATOR& s, const KSM_DATA_LOG* log, const KSM_DATA_INSTANCE* instance)
{
    const KSM_TX_SESSION* session = session_of(instance);
    if (!session || s.hardware.empty())
        return 0;
    const auto hardware = s.hardware.find(session->get_jtag_chain_name());
    if (hardware == s.hardware.end())
        return 2;
    const std::vector<HARDWARE_DEVICE>& devices = hardware->second;
    const auto device = std::find_if(devices.begin(), devices.end(), [session](const HARDWARE_DEVICE& d) {
        return d.device.name == session->get_jtag_device_name();
    });
    if (device == devices.end() || !device->device.available)
        return 5;
    if (device->device.comm_error)
        return 6;
    if (log->is_power_up())
        return 0;
    const auto crc = device->crcs.find(info_key(instance->get_node_info()));
    if (crc == device->crcs.end())
        return 5;
    return crc->second == log->get_trigger()->get_crc_value(false) ? 0 : 8;
}

// Must hold the lock. What a run reports while it waits: its trigger, or a clock that never
// samples.
void queue_waiting(SIMULATOR& s, REQUEST* r, int ms)
{
    if (r->plan->clocked)
        queue_phase(s, r, DAW_EVENT_WAITING_FOR_TRIGGER, 1, ms);
    else
        queue_phase(s, r, DAW_EVENT_WAITING_FOR_CLOCK, 0, ms);
}

// Must hold the lock. A request's script: started, waiting for level 1 (or for the clock), and the
// capture when the trigger is met; else it waits for a stop. A device that does not run the
// trigger ends the request at once with its JTAG error.
void queue_run(SIMULATOR& s, REQUEST* r)
{
    r->script.push_back({DAW_EVENT_STARTED, 0, 0, false, s.mode == daw_sim::PACED ? PACE_START_MS : 0});
    if (const uint32_t error = device_error(s, r->log, r->instance)) {
        r->script.push_back({DAW_EVENT_JTAG_ERROR, error, 0, false});
        r->ended = true;
        return;
    }
    queue_waiting(s, r, PACE_WAIT_MS);
    if (r->plan->triggered)
        queue_capture(s, r, !r->autorun, false);
}

// Must hold the lock: the next request with a pending call, round robin.
REQUEST* next_pending(SIMULATOR& s)
{
    for (size_t i = 0; i < s.requests.size(); ++i) {
        REQUEST* r = s.requests[(s.next + i) % s.requests.size()].get();
        if (!r->script.empty()) {
            s.next = (s.next + i + 1) % s.requests.size();
            return r;
        }
    }
    return nullptr;
}

// What a call does to the request's log: a capture fills it; an ending without a capture leaves
// it empty and no longer acquiring.
void write_log(KSM_DATA_LOG* log, const STEP& step, const daw_target::PLAN& plan)
{
    if (step.fill)
        daw_target::fill(log, plan);
    else if (is_ending(step.code))
        log->set_acquiring_data(false);
}

// From the worker: the log is written on the application's thread, before the callback's own
// posted events are handled there, and only while the request still has its log.
void post_log_write(COURIER* courier, const std::shared_ptr<REQUEST>& r, const STEP& step)
{
    if (!courier) {
        std::lock_guard<std::mutex> hold(sim().lock);
        if (r->log)
            write_log(r->log, step, *r->plan);
        return;
    }
    courier->post([r, step] {
        SIMULATOR& s = sim();
        std::unique_lock<std::mutex> hold(s.lock);
        KSM_DATA_LOG* log = step.fill && r->stopped ? nullptr : r->log;
        hold.unlock();
        if (log)
            write_log(log, step, *r->plan);
    });
}

// Must hold the lock: what follows the call just taken off the script. An autorun captures
// again until stopped; a paced run whose trigger is not met, or whose clock does not run, keeps
// reporting that it waits.
void follow_up(SIMULATOR& s, REQUEST* r, const STEP& step)
{
    if (step.code == DAW_EVENT_DATA_READY && r->autorun && !r->ended)
        queue_capture(s, r, false, true);
    else if (s.mode == daw_sim::PACED && r->script.empty() && !r->ended)
        queue_waiting(s, r, PACE_TICK_MS);
}

// Takes one call off a script and makes it, outside the lock; -1 when none was pending, else
// how long the phase it reported lasts.
int deliver_one(bool worker)
{
    SIMULATOR& s = sim();
    std::unique_lock<std::mutex> hold(s.lock);
    REQUEST* pending = next_pending(s);
    if (!pending)
        return -1;
    std::shared_ptr<REQUEST> r;
    for (const auto& each : s.requests)
        if (each.get() == pending)
            r = each;
    const STEP step = r->script.front();
    r->script.pop_front();
    follow_up(s, r.get(), step);
    DAW_CONTROL_ELA_INT* callback = r->callback;
    KSM_DATA_LOG* log = r->log;
    s.calling = callback;
    s.calling_thread = std::this_thread::get_id();
    COURIER* courier = s.courier.data();
    hold.unlock();
    const bool writes = step.fill || is_ending(step.code);
    if (writes && worker)
        post_log_write(courier, r, step);
    else if (writes && log && !step.fill)
        write_log(log, step, *r->plan);
    if (callback)
        callback->notify(step.code, step.argument, step.extra);
    hold.lock();
    // On the caller's thread a capture is written after its call, as the courier writes it
    // after the worker's: a stop made meanwhile drops it.
    if (KSM_DATA_LOG* late = step.fill && !worker && !r->stopped ? r->log : nullptr) {
        hold.unlock();
        write_log(late, step, *r->plan);
        hold.lock();
    }
    s.calling = nullptr;
    s.called.notify_all();
    return step.hold_ms;
}

// Sleeps `ms` in short slices; false when the simulator is told to quit meanwhile.
bool pause(SIMULATOR& s, int ms)
{
    for (int left = ms; left > 0; left -= 10) {
        {
            std::lock_guard<std::mutex> hold(s.lock);
            if (s.quit)
                return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, 10)));
    }
    return true;
}

void work()
{
    SIMULATOR& s = sim();
    int hold_ms = 0;
    for (;;) {
        int delay = 0;
        {
            std::lock_guard<std::mutex> hold(s.lock);
            delay = s.mode == daw_sim::PACED ? hold_ms : s.delay_ms;
        }
        if (!pause(s, delay) || (hold_ms = deliver_one(true)) < 0) {
            std::lock_guard<std::mutex> hold(s.lock);
            if (s.quit || !next_pending(s)) {
                s.working = false;
                s.idle.notify_all();
                return;
            }
            hold_ms = 0;
        }
    }
}

// Must hold the lock: in a threaded mode, makes sure the worker runs.
void wake(SIMULATOR& s, std::unique_lock<std::mutex>& hold)
{
    if (s.mode == daw_sim::DETERMINISTIC || s.working)
        return;
    s.working = true;
    std::thread previous = std::move(s.worker);
    hold.unlock();
    if (previous.joinable())
        previous.join();
    hold.lock();
    s.worker = std::thread(work);
}

REQUEST* request_at(SIMULATOR& s, int entry)
{
    return entry >= 0 && entry < static_cast<int>(s.requests.size()) ? s.requests[static_cast<size_t>(entry)].get()
                                                                     : nullptr;
}

// Queues a call on an accepted request that has not ended.
void queue_call(int entry, uint32_t code, uint32_t argument, uint64_t extra)
{
    SIMULATOR& s = sim();
    std::unique_lock<std::mutex> hold(s.lock);
    REQUEST* r = request_at(s, entry);
    if (!r || r->ended)
        return;
    if (is_ending(code)) {
        r->script.clear();
        r->ended = true;
    }
    r->script.push_back({code, argument, extra, false});
    wake(s, hold);
}

// Must hold the lock, on the application's thread: the courier of the worker's log writes.
void make_courier(SIMULATOR& s)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (s.courier || s.mode == daw_sim::DETERMINISTIC || !app || QThread::currentThread() != app->thread())
        return;
    s.courier = new COURIER;
    s.courier->setParent(app);
}

}  // namespace

void DAW_CONTROL_ELA_INT::detach_requests()
{
    SIMULATOR& s = sim();
    std::unique_lock<std::mutex> hold(s.lock);
    for (auto& r : s.requests)
        if (r->callback == this) {
            r->callback = nullptr;
            r->log = nullptr;
            r->script.clear();
            r->ended = true;
        }
    // A call under way on another thread ends first; one on this thread is the caller's own.
    if (s.calling_thread != std::this_thread::get_id())
        s.called.wait(hold, [&s, this] { return s.calling != this; });
}

// ---- control ------------------------------------------------------------------------------------

// What each capture holds is decided here, from the trigger as it stands now, on the caller's
// thread: later edits of the trigger do not change a run under way.
bool DAW_CONTROL::run(std::vector<ACQ_PARAMETER>* requests)
{
    SIMULATOR& s = sim();
    std::unique_lock<std::mutex> hold(s.lock);
    const bool refuse = s.refuse_run || s.busy || !requests || requests->empty();
    s.refuse_run = false;
    if (refuse)
        return false;
    std::vector<std::shared_ptr<const daw_target::PLAN>> plans;
    for (const ACQ_PARAMETER& p : *requests) {
        plans.push_back(instance_of(p.data_log)
                            ? plan_of(p.data_log, "The acquisition cannot start: %1!s!/EDAW_TRIGGER_NOT_RUNNABLE")
                            : nullptr);
        if (!plans.back())
            return false;
    }
    for (size_t i = 0; i < requests->size(); ++i) {
        const ACQ_PARAMETER& p = (*requests)[i];
        auto r = std::make_shared<REQUEST>();
        r->plan = plans[i];
        r->depth = plans[i]->depth;
        r->instance = instance_of(p.data_log);
        r->log = p.data_log;
        r->callback = p.callback;
        r->autorun = p.autorun;
        r->log->set_acquiring_data(true);
        queue_run(s, r.get());
        s.requests.push_back(std::move(r));
    }
    make_courier(s);
    wake(s, hold);
    return true;
}

bool DAW_CONTROL::stop(KSM_DATA_INSTANCE* instance)
{
    SIMULATOR& s = sim();
    std::unique_lock<std::mutex> hold(s.lock);
    bool stopped = false;
    for (auto& r : s.requests) {
        if (r->instance != instance || r->stopped)
            continue;
        // A run that has ended may still have its capture on the way to the log: dropped too.
        r->stopped = true;
        if (r->ended && r->script.empty())
            continue;
        // Whatever phase the run is in ends now: a capture not yet offloaded is dropped.
        r->script.clear();
        r->script.push_back({not_running_code(*r), 0, 0, false});
        r->ended = stopped = true;
    }
    wake(s, hold);
    return stopped;
}

// The device holds the samples its last run of the instance captured: a device that does not
// hold the log's trigger has none of them, and the read ends with the error a run meets there.
bool DAW_CONTROL::offload(KSM_DATA_LOG* log, bool* refused, uint32_t* jtag_error)
{
    if (jtag_error)
        *jtag_error = 0;
    const std::shared_ptr<const daw_target::PLAN> plan =
        plan_of(log, "The data cannot be read: %1!s!/EDAW_DATA_NOT_READABLE", refused);
    SIMULATOR& s = sim();
    {
        std::lock_guard<std::mutex> hold(s.lock);
        const bool fail = s.fail_offload || s.busy;
        s.fail_offload = false;
        if (fail || !plan || !plan->triggered)
            return false;
        if (const uint32_t error = device_error(s, log, instance_of(log))) {
            if (jtag_error)
                *jtag_error = error;
            return false;
        }
    }
    daw_target::fill(log, *plan);
    return true;
}

// ---- scan -----------------------------------------------------------------------------------------

bool DAW_CONTROL_NODES_SCAN::rescan()
{
    SIMULATOR& s = sim();
    std::lock_guard<std::mutex> hold(s.lock);
    m_available = m_comm_error = false;
    m_crcs.clear();
    const auto hardware = s.hardware.find(m_hardware);
    if (hardware == s.hardware.end())
        return false;
    for (const HARDWARE_DEVICE& d : hardware->second) {
        if (d.device.name != m_device)
            continue;
        m_available = d.device.available;
        m_comm_error = d.device.comm_error;
        m_crcs.assign(d.crcs.begin(), d.crcs.end());
        return true;
    }
    return false;
}

uint32_t DAW_CONTROL_NODES_SCAN::get_node_crc_value(const KSM_DATA_INSTANCE_INFO& info) const
{
    if (!m_available || m_comm_error)
        return 0;
    for (const auto& crc : m_crcs)
        if (crc.first == info_key(info))
            return crc.second;
    return 0;
}

// ---- simulator --------------------------------------------------------------------------------------

void daw_sim::set_mode(MODE mode, int delay_ms)
{
    SIMULATOR& s = sim();
    std::lock_guard<std::mutex> hold(s.lock);
    s.mode = mode;
    s.delay_ms = std::max(delay_ms, 0);
}

void daw_sim::reset()
{
    SIMULATOR& s = sim();
    {
        std::lock_guard<std::mutex> hold(s.lock);
        for (auto& r : s.requests)
            r->script.clear();
    }
    s.join();
    std::lock_guard<std::mutex> hold(s.lock);
    s.working = false;
    s.requests.clear();
    s.next = 0;
    s.hardware.clear();
    s.refuse_run = s.fail_offload = s.busy = false;
    s.mode = DETERMINISTIC;
    s.delay_ms = 1;
}

daw_sim::MODE daw_sim::mode()
{
    std::lock_guard<std::mutex> hold(sim().lock);
    return sim().mode;
}

void daw_sim::refuse_next_run()
{
    std::lock_guard<std::mutex> hold(sim().lock);
    sim().refuse_run = true;
}

void daw_sim::fail_next_offload()
{
    std::lock_guard<std::mutex> hold(sim().lock);
    sim().fail_offload = true;
}

void daw_sim::set_device_busy(bool busy)
{
    std::lock_guard<std::mutex> hold(sim().lock);
    sim().busy = busy;
}

bool daw_sim::step() { return deliver_one(false) >= 0; }

int daw_sim::drain(int limit)
{
    int count = 0;
    while (count < limit && deliver_one(false) >= 0)
        ++count;
    return count;
}

bool daw_sim::wait_idle(int timeout_ms)
{
    SIMULATOR& s = sim();
    std::unique_lock<std::mutex> hold(s.lock);
    if (!s.idle.wait_for(hold, std::chrono::milliseconds(timeout_ms), [&s] { return !s.working; }))
        return false;
    COURIER* courier = s.courier.data();
    hold.unlock();
    if (courier && QThread::currentThread() == courier->thread())
        QCoreApplication::sendPostedEvents(courier, COURIER::TYPE);
    return true;
}

void daw_sim::inject(int entry, uint32_t code, uint32_t argument, uint64_t extra)
{
    queue_call(entry, code, argument, extra);
}

void daw_sim::jtag_error(int entry, uint32_t error) { queue_call(entry, DAW_EVENT_JTAG_ERROR, error, 0); }

void daw_sim::progress(int entry, uint32_t argument) { queue_call(entry, DAW_EVENT_TRIGGER_PROGRESS, argument, 0); }

int daw_sim::request_count()
{
    std::lock_guard<std::mutex> hold(sim().lock);
    return static_cast<int>(sim().requests.size());
}

void daw_sim::add_hardware(const std::string& hardware, const std::vector<DEVICE>& devices)
{
    std::lock_guard<std::mutex> hold(sim().lock);
    std::vector<HARDWARE_DEVICE>& list = sim().hardware[hardware];
    list.clear();
    for (const DEVICE& d : devices)
        list.push_back({d, {}});
}

std::vector<std::string> daw_sim::hardware_names()
{
    std::lock_guard<std::mutex> hold(sim().lock);
    std::vector<std::string> names;
    for (const auto& hardware : sim().hardware)
        names.push_back(hardware.first);
    return names;
}

std::vector<std::string> daw_sim::device_names(const std::string& hardware)
{
    std::lock_guard<std::mutex> hold(sim().lock);
    std::vector<std::string> names;
    const auto found = sim().hardware.find(hardware);
    for (size_t i = 0; found != sim().hardware.end() && i < found->second.size(); ++i)
        names.push_back(found->second[i].device.name);
    return names;
}

bool daw_sim::program(const std::string& hardware, const std::string& device, const KSM_DATA_INSTANCE_INFO& info,
                      uint32_t crc)
{
    std::lock_guard<std::mutex> hold(sim().lock);
    const auto found = sim().hardware.find(hardware);
    if (found == sim().hardware.end())
        return false;
    for (HARDWARE_DEVICE& d : found->second)
        if (d.device.name == device) {
            d.crcs[info_key(info)] = crc;
            return true;
        }
    return false;
}
