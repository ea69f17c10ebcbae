// The acquisition control and its simulator: accepted requests with a script of progress calls,
// delivered on the caller's thread (step, drain) or by a worker thread; the virtual hardware
// table that scans read.
#include "daw.h"
#include "daw_target.h"
#include "msg.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

DAW_CONTROL_INT::~DAW_CONTROL_INT() = default;
void DAW_CONTROL_ELA_INT::node_interrupt_handler() {}
void DAW_CONTROL_ELA_INT::notify(uint32_t, uint32_t, uint64_t) {}

namespace {

// One call of a request's script; a FILL step captures into the request's log first.
struct STEP {
    uint32_t code;
    uint32_t argument;
    uint64_t extra;
    bool fill;
};

struct REQUEST {
    KSM_DATA_INSTANCE* instance = nullptr;
    KSM_DATA_LOG* log = nullptr;
    DAW_CONTROL_ELA_INT* callback = nullptr;
    bool autorun = false;
    bool ended = false;  // its ending call was queued: nothing follows it
    std::deque<STEP> script;
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
    std::vector<std::unique_ptr<REQUEST>> requests;
    size_t next = 0;  // round-robin position among the requests
    std::map<std::string, std::vector<HARDWARE_DEVICE>> hardware;
    std::thread worker;
    bool working = false;
    bool quit = false;

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

// The capture of the log's trigger; null, with the reason posted, when the trigger cannot run.
std::shared_ptr<const daw_target::PLAN> plan_of(const KSM_DATA_LOG* log)
{
    std::string reason;
    auto plan = std::make_shared<daw_target::PLAN>();
    if (daw_target::plan(log, plan.get(), &reason))
        return plan;
    MSG_E error;
    error.fill_args("The acquisition cannot start: %1!s!/EDAW_TRIGGER_NOT_RUNNABLE", reason.c_str());
    error.post();
    return nullptr;
}

uint32_t not_running_code(const REQUEST& r)
{
    return r.log && r.log->is_power_up() ? DAW_EVENT_POWER_UP_NOT_RUNNING : DAW_EVENT_NOT_RUNNING;
}

// The trigger part of a script, from pre-trigger to data ready; `ending` adds "not running".
void queue_capture(REQUEST* r, bool ending)
{
    const uint64_t log = reinterpret_cast<uintptr_t>(r->log);
    r->script.push_back({DAW_EVENT_PRE_TRIGGER, 0, 0, false});
    r->script.push_back({DAW_EVENT_POST_TRIGGER, 0, 0, false});
    r->script.push_back({DAW_EVENT_OFFLOADING, 0, 0, false});
    r->script.push_back({DAW_EVENT_DATA_READY, 0, log, true});
    if (ending) {
        r->script.push_back({not_running_code(*r), 0, 0, false});
        r->ended = true;
    }
}

// Must hold the lock. A request's script: started, waiting for level 1, and the capture when
// the trigger is met; else it waits for a stop.
void queue_run(REQUEST* r)
{
    r->script.push_back({DAW_EVENT_STARTED, 0, 0, false});
    r->script.push_back({DAW_EVENT_WAITING_FOR_TRIGGER, 1, 0, false});
    if (r->plan->triggered)
        queue_capture(r, !r->autorun);
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

// Takes one call off a script and makes it, outside the lock; false when none was pending.
bool deliver_one()
{
    SIMULATOR& s = sim();
    std::unique_lock<std::mutex> hold(s.lock);
    REQUEST* r = next_pending(s);
    if (!r)
        return false;
    const STEP step = r->script.front();
    r->script.pop_front();
    if (step.code == DAW_EVENT_DATA_READY && r->autorun && !r->ended)
        queue_capture(r, false);  // autorun: capture again until stopped
    DAW_CONTROL_ELA_INT* callback = r->callback;
    KSM_DATA_LOG* log = r->log;
    const std::shared_ptr<const daw_target::PLAN> plan = r->plan;
    hold.unlock();
    if (step.fill)
        daw_target::fill(log, *plan);
    else if (is_ending(step.code) && log)
        log->set_acquiring_data(false);  // ended without a capture: the log stays empty
    if (callback)
        callback->notify(step.code, step.argument, step.extra);
    return true;
}

void work()
{
    SIMULATOR& s = sim();
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(s.lock);
            if (s.quit) {
                s.working = false;
                s.idle.notify_all();
                return;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(s.delay_ms));
        if (!deliver_one()) {
            std::lock_guard<std::mutex> hold(s.lock);
            if (!next_pending(s)) {
                s.working = false;
                s.idle.notify_all();
                return;
            }
        }
    }
}

// Must hold the lock: in threaded mode, makes sure the worker runs.
void wake(SIMULATOR& s, std::unique_lock<std::mutex>& hold)
{
    if (s.mode != daw_sim::THREADED || s.working)
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

}  // namespace

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
        plans.push_back(instance_of(p.data_log) ? plan_of(p.data_log) : nullptr);
        if (!plans.back())
            return false;
    }
    for (size_t i = 0; i < requests->size(); ++i) {
        const ACQ_PARAMETER& p = (*requests)[i];
        auto r = std::make_unique<REQUEST>();
        r->plan = plans[i];
        r->instance = instance_of(p.data_log);
        r->log = p.data_log;
        r->callback = p.callback;
        r->autorun = p.autorun;
        r->log->set_acquiring_data(true);
        queue_run(r.get());
        s.requests.push_back(std::move(r));
    }
    wake(s, hold);
    return true;
}

bool DAW_CONTROL::stop(KSM_DATA_INSTANCE* instance)
{
    SIMULATOR& s = sim();
    std::unique_lock<std::mutex> hold(s.lock);
    bool stopped = false;
    for (auto& r : s.requests) {
        if (r->instance != instance || r->ended)
            continue;
        // A capture already under way is delivered; only what would follow it is dropped.
        while (!r->script.empty() && r->script.back().code != DAW_EVENT_DATA_READY)
            r->script.pop_back();
        r->script.push_back({not_running_code(*r), 0, 0, false});
        r->ended = true;
        stopped = true;
    }
    wake(s, hold);
    return stopped;
}

bool DAW_CONTROL::offload(KSM_DATA_LOG* log)
{
    SIMULATOR& s = sim();
    {
        std::lock_guard<std::mutex> hold(s.lock);
        const bool fail = s.fail_offload || s.busy;
        s.fail_offload = false;
        if (fail)
            return false;
    }
    return daw_sim::capture(log);
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

bool daw_sim::step() { return deliver_one(); }

int daw_sim::drain(int limit)
{
    int count = 0;
    while (count < limit && deliver_one())
        ++count;
    return count;
}

bool daw_sim::wait_idle(int timeout_ms)
{
    SIMULATOR& s = sim();
    std::unique_lock<std::mutex> hold(s.lock);
    return s.idle.wait_for(hold, std::chrono::milliseconds(timeout_ms), [&s] { return !s.working; });
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
