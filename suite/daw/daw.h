// The suite's acquisition control over JTAG, with a simulated target in place of the hardware.
//
// DAW_CONTROL starts and stops acquisitions and offloads captured samples; it reports the
// progress of each accepted request through the request's callback (codes below). The
// simulated target computes what the design's nodes carry from the behaviours of the open
// project's description (prj.h):
//   clock          every bit is the sample number's lowest bit (0, 1, 0, 1, ...)
//   constant V     bit b is bit b of V (decimal, or hexadecimal after 0x)
//   counter N      bit b is bit b of floor(t / N): a counter that steps every N samples
//   pulse N        every bit is 1 at the samples t with t mod N = 0
//   states A B ..  the binary values A, B, ... in turn, one per sample
//   random S       bit b of sample t is bit (t mod 64) of splitmix64(S * 0x9E3779B97F4A7C15 +
//                  b * 0xD1B54A32D192ED03 + floor(t / 64)), where splitmix64(x) is the mix step
//                  applied to x + 0x9E3779B97F4A7C15
// where t is the sample number since the acquisition started and bit b of a node is its member
// at that offset from the lowest index (a node with several dimensions counts its members row
// by row). A node the project does not know, or one without a behaviour, carries 0; a row name
// whose brackets hold anything but one index each (a range "[3..0]") names no node.
//
// A run samples from t = 0 on; the trigger logic (daw_eval.h) runs from there on, every sample:
// basic levels are the AND, or the OR, of their nodes' conditions (high and low read the sample,
// edges the sample and the one before it, none before t = 0), the nodes used for triggering on a
// trigger level and the storage-enabled ones on a storage-qualifier pattern; a comparison level
// is the AND of its node conditions and of its buses' comparisons (the value of a bus with a
// comparison, its first member the most significant unless the bus is ordered from its least
// significant bit, against one value, or within an interval; its members' own conditions do not
// count there); advanced levels evaluate their expression as the level's HDL would, registers
// starting at 0. Sequential levels are met in turn, each at the first sample after the one that
// met the level before it; a level not enabled takes no part, except the last level of a
// segmented acquisition, which is always enabled. A state-based flow reads every level and runs
// its current state's statements every sample. A level with a custom HDL block, or a flow that
// does not check, makes the run refuse with a posted error; so does an instance whose signals
// the target cannot make: no project open, or one that has none of the instance's nodes.
// The storage qualifier picks the stored samples (the trigger sample is always stored): all, a
// pattern's samples, from a start pattern's sample to a stop pattern's, the samples where a node
// changed, those where the input port is high, or the flow's start_store/stop_store. A segmented
// acquisition has none: it stores every sample, whatever qualifier is kept. The log then holds
// the stored samples around the trigger sample: 1/8 of the depth before it for a pre-trigger
// position, 1/2 for center, 7/8 for post; samples not filled are invalid, and with recorded
// discontinuities a gap in the stored samples is a break mark. A segmented trigger fills each
// segment the same way (a flow's segment_trigger triggers a segment, its trigger the last one),
// each looking for its trigger once its pre-trigger samples are stored after the previous
// segment. A trigger not met within DAW_SIM_SEARCH_LIMIT samples leaves the acquisition waiting
// until it is stopped. A state-based flow runs on after its last trigger until the capture's last
// sample is stored (the last segment's); the log then records where it stands: its state (0 for
// the first), counters and flags. Other triggers record state -1 and neither.
//
// The samples are counted on the signal set's clock: a clock that names no node of the project,
// or one whose node never changes within DAW_SIM_SEARCH_LIMIT samples, never samples, and the
// acquisition waits for the clock until it is stopped; no clock named counts every sample.
// A run reaches the device through the hardware table (when one is set up): a chain that names
// no hardware there ends the run with JTAG error 2 (invalid hardware), a device the hardware does
// not have, or has unavailable, with 5 (instance not found), one with a communication error with
// 6 (unexpected JTAG error).
#pragma once

#include "ksm.h"

#include <cstdint>
#include <string>
#include <vector>

// Progress codes of an acquisition, as the callback receives them.
enum DAW_EVENT_CODE : uint32_t {
    DAW_EVENT_STARTED = 0,
    DAW_EVENT_WAITING_FOR_TRIGGER = 1,  // argument: the level waited for
    DAW_EVENT_TRIGGER_PROGRESS = 2,
    DAW_EVENT_POWER_UP_TRIGGER_PROGRESS = 3,  // each power-up code is the one before it, of a power-up run
    DAW_EVENT_PRE_TRIGGER = 4,
    DAW_EVENT_POWER_UP_PRE_TRIGGER = 5,
    DAW_EVENT_POST_TRIGGER = 6,
    DAW_EVENT_POWER_UP_POST_TRIGGER = 7,
    DAW_EVENT_OFFLOADING = 8,
    DAW_EVENT_POWER_UP_OFFLOADING = 9,
    DAW_EVENT_DATA_READY = 10,  // extra: the KSM_DATA_LOG* filled
    DAW_EVENT_NOT_RUNNING = 12,
    DAW_EVENT_POWER_UP_NOT_RUNNING = 13,
    DAW_EVENT_WAITING_FOR_CLOCK = 14,
    DAW_EVENT_JTAG_BUSY = 15,
    DAW_EVENT_JTAG_ERROR = 17  // argument: the error, 1..8
};

// How far a run looks for its trigger before it waits for a stop.
constexpr int DAW_SIM_SEARCH_LIMIT = 1 << 22;

class DAW_CONTROL_INT {
public:
    virtual ~DAW_CONTROL_INT();
};

// The callback of one acquisition request. notify may be called on any thread.
class DAW_CONTROL_ELA_INT : public DAW_CONTROL_INT {
public:
    ~DAW_CONTROL_ELA_INT() override;
    virtual void node_interrupt_handler();
    virtual void notify(uint32_t code, uint32_t argument, uint64_t extra);

protected:
    // Ends every request that reports here, without a call: once it returns, no call reaches
    // this callback and the requests' logs are no longer written. A call under way on another
    // thread is waited for. The destructor does it; a derived class does it first in its own.
    void detach_requests();
};

class DAW_CONTROL {
public:
    struct ACQ_PARAMETER {
        KSM_DATA_LOG* data_log = nullptr;  // the log the acquisition fills; written by the editor
        uint32_t reserved_8 = 0;
        bool reserved_12 = false;
        DAW_CONTROL_ELA_INT* callback = nullptr;
        bool autorun = false;  // repeat the acquisition until stopped
        uint32_t reserved_28 = 0;
        bool reserved_32 = true;
    };

    // Accepts or refuses the whole batch; every request needs a log. After acceptance each
    // request's callback hears its progress.
    static bool run(std::vector<ACQ_PARAMETER>* requests);
    // Ends the acquisition of that instance at once, in whatever phase it is: a capture not yet
    // written into the log is dropped, even one whose data ready was told already (the log keeps
    // what an autorun captured before), and the callback hears "not running" next unless it did.
    static bool stop(KSM_DATA_INSTANCE* instance);
    // Fills the log with what the device captured for the log's trigger; false on a JTAG failure.
    // An instance whose signals the target cannot make is refused as a run is, before any JTAG
    // access: false with *refused set and the reason posted. A device that does not hold the
    // log's trigger is read as a run meets it: false with *jtag_error set to the error a run ends
    // with (as the argument of DAW_EVENT_JTAG_ERROR); 0 for any other failure.
    static bool offload(KSM_DATA_LOG* log, bool* refused = nullptr, uint32_t* jtag_error = nullptr);
};

// The JTAG chain as a scan sees it: the hardware and device chosen, and what is programmed.
class DAW_CONTROL_NODES_SCAN {
public:
    void set_hardware_name(const char* name) { m_hardware = name ? name : ""; }
    void set_device_name(const char* name) { m_device = name ? name : ""; }
    // Looks the hardware and device up in the virtual hardware table; false when absent.
    bool rescan();
    bool is_device_available() const { return m_available; }
    bool is_jtag_comm_error() const { return m_comm_error; }
    // The checksum programmed into the device for the instance with that node information; 0
    // when the device holds no such instance.
    uint32_t get_node_crc_value(const KSM_DATA_INSTANCE_INFO& info) const;

private:
    std::string m_hardware;
    std::string m_device;
    bool m_available = false;
    bool m_comm_error = false;
    std::vector<std::pair<uint64_t, uint32_t>> m_crcs;
};

// The simulator's test interface.
namespace daw_sim {

// Deterministic: progress is delivered only by step() and drain(), on the calling thread.
// Threaded: a worker thread delivers it with a small delay between calls.
// Paced: a worker thread delivers it as hardware would: "waiting for trigger" for 0.4 s, the
// capture for 0.3 ms per sample of depth and the offload for 0.2 ms per sample (each at least
// 0.1 s, at most 1.5 s and 1 s), each phase reported every 50 ms; an autorun waits for its
// trigger again before each capture, and a trigger not met reports waiting until stopped.
// In both threaded modes the logs are written on the application's thread (posted there
// before the callback's call), so that nothing but the callbacks runs on the worker.
enum MODE { DETERMINISTIC, THREADED, PACED };
void set_mode(MODE mode, int delay_ms = 1);
MODE mode();
// Ends every request (without telling their callbacks), waits for the worker, clears the
// switches and the hardware table.
void reset();

// Switches, each for the next call only; a busy device refuses runs and offloads until freed.
void refuse_next_run();
void fail_next_offload();
void set_device_busy(bool busy);

// Delivers one pending call; false when nothing is pending.
bool step();
// Delivers pending calls until none is left or `limit` were delivered; returns the count.
int drain(int limit = 100000);
// Threaded modes: waits until the worker has nothing left to deliver, then (on the
// application's thread) makes the log writes posted so far; false on the timeout.
bool wait_idle(int timeout_ms = 5000);

// Accepted requests are numbered from 0 in the order of acceptance. These queue calls to a
// request's callback: any code, a JTAG error (which ends the request), a trigger progress.
void inject(int entry, uint32_t code, uint32_t argument, uint64_t extra = 0);
void jtag_error(int entry, uint32_t error);
void progress(int entry, uint32_t argument);
int request_count();

// The virtual hardware table.
struct DEVICE {
    std::string name;
    bool available = true;
    bool comm_error = false;
};
void add_hardware(const std::string& hardware, const std::vector<DEVICE>& devices);
// The table's hardware names in order, and the device names of one hardware.
std::vector<std::string> hardware_names();
std::vector<std::string> device_names(const std::string& hardware);
// What programming a device writes: the trigger checksum of the instance with that node information.
bool program(const std::string& hardware, const std::string& device, const KSM_DATA_INSTANCE_INFO& info, uint32_t crc);

// The target's samples: the log gets every data channel of the log's signal set, the trigger
// marks and validity, as a run captures them. Returns false (the log untouched) when the log
// has no trigger or signal set.
bool capture(KSM_DATA_LOG* log);
// The value the target gives bit `bit` of the project node `path` (below the top) at sample t.
// Slow; for checks.
bool node_bit(const std::string& path, int bit, long long t);

}  // namespace daw_sim
