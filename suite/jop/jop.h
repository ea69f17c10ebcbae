// The suite's compatibility checks between the editor's settings and the compiled design, and
// the stand-in's record of what a compile fixed.
#pragma once

#include "ksm.h"

#include <string>

// Whether the design was compiled with this trigger's configuration (the log's trigger for a
// log): the checksum recorded for its instance at the last compile equals the trigger's, and no
// other compiled instance of the session holds the instance's node information.
bool jop_lmx_check_compatibility(const KSM_DATA_LOG* log, bool);
bool jop_lmx_check_compatibility(const KSM_DATA_TRIGGER* trigger, bool);

// What a full compile of the design records: every instance of the session placed at its own
// position on the debug hub (the first field of its node information, in the session's order),
// and for every entry the checksum of the trigger it compiled and routed into the instance (no
// reroute is pending after it).
void jop_record_compile(KSM_TX_SESSION* session);
// The simulated compile flow: a full or fast compile records a compile into every open
// session, leaves nothing pending, and writes each session's programming file (its own, else
// "<session>.sif" beside a saved session's file, which the session then names) with an
// analyzer record per instance; other flows change nothing. False when a file cannot be written.
bool jop_run_compile(int flow, const std::string& arguments);

// The debug core's memory-block estimate. Size classes: 0 small, 1 medium, 2 large; 6 lets
// the estimate choose. Block sizes are 640, 9216 and 147456 bits; the device's blocks in use
// and in total come from its family (the project's assignment 344), deterministically, unless
// a test set them.
enum JOP_RAM_TYPE : int { JOP_RAM_SMALL = 0, JOP_RAM_MEDIUM = 1, JOP_RAM_LARGE = 2, JOP_RAM_AUTO = 6 };

class JOP_RAM_USAGE_GUI {
public:
    // No count for that class on this device.
    static constexpr int NO_COUNT = 0x7FFFFFFF;

    // Reads the device figures; false without an open project.
    bool init_usage();
    int get_used_blocks(int ram_class) const;
    int get_total_blocks(int ram_class) const;
    // Blocks a memory of depth x width bits takes in the class; -1 when more than the device
    // has. For JOP_RAM_AUTO the first of medium, large and small where it fits the free blocks
    // is chosen and written back.
    int num_mem_blocks_used(int depth, int width, int& ram_class) const;

    // Test switches: the device's figures for every estimate until reset_device.
    static void set_device(const int used[3], const int total[3]);
    static void reset_device();

private:
    int m_used[3] = {0, 0, 0};
    int m_total[3] = {0, 0, 0};
};

// The design's build options that the editor asks about.
class JOP_INSTANCE_BUILDER {
public:
    static bool design_contains_partial_reconfig();
    static void set_partial_reconfig(bool present);  // test switch
};
