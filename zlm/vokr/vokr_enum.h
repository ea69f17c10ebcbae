// Enumerations of the module.
#pragma once

// Which changes an incrementally compiled design accepts.
enum VOKR_LOCK_MODE : int {
    VOKR_LOCK_MODE_ALL_CHANGES = 0,
    VOKR_LOCK_MODE_INCREMENTAL_ROUTE = 1,
    VOKR_LOCK_MODE_TRIGGER_CONDITIONS = 2
};

// What closing an undo unit reports about the compilation status.
enum VOKR_CHECK_COMPILATION_STATUS : int {
    VOKR_CHECK_NOTHING = 0,
    VOKR_CHECK_ALWAYS = 1,
    VOKR_CHECK_IN_POWER_UP_VIEW = 2
};

// The kind of a node name a setter is given.
enum VOKR_IS_POST_FITTING_TYPE : int {
    VOKR_POST_FITTING_NAME = 0,
    VOKR_PRE_SYNTHESIS_NAME = 1,
    VOKR_KEEP_NAME_KIND = 2
};

// Bits of the hint that `updated` carries: the low bits choose the receivers, the high bits
// say what changed.
enum VOKR_UPDATE_HINT : unsigned int {
    VOKR_HINT_VIEW = 0x1,
    VOKR_HINT_HIERARCHY = 0x2,
    VOKR_HINT_CONFIG = 0x4,
    VOKR_HINT_DATA_LOG = 0x8,
    VOKR_HINT_INSTANCES = 0x10,
    VOKR_HINT_JTAG = 0x20,
    VOKR_HINT_TABS = 0x40,
    VOKR_HINT_ADVANCED = 0x100,
    VOKR_HINT_ADVANCED_MODIFIED = 0x400,
    // The JTAG chain is busy scanning or programming.
    VOKR_HINT_JTAG_BUSY = 0x800,
    // The device was programmed: what the instances' rows said of the device before is stale.
    VOKR_HINT_PROGRAMMED = 0x1000,
    VOKR_HINT_POWER_UP_SWITCH = 0x400000,
    VOKR_HINT_NO_REPAINT = 0x800000,
    VOKR_HINT_POWER_UP_DIRECTION = 0x2000000,
    VOKR_HINT_STATUS = 0x4000000,
    VOKR_HINT_ACQUISITION_STARTED = 0x8000000,
    VOKR_HINT_REBUILD = 0x10000000,
    VOKR_HINT_REFRESH = 0x20000000,
    VOKR_HINT_GEOMETRY = 0x40000000,
    VOKR_HINT_MODIFIED = 0x80000000,

    // Hints that several places send, named by what they ask for.
    // Redraw the waveform view from the repository.
    VOKR_HINT_REFRESH_VIEW = VOKR_HINT_REFRESH | VOKR_HINT_VIEW,
    // Refresh the configuration panel and the view after a setting changed.
    VOKR_HINT_REFRESH_CONFIG_VIEW = VOKR_HINT_REFRESH | VOKR_HINT_CONFIG | VOKR_HINT_VIEW,
    // Refresh every pane that lists the instance's nodes after nodes were added or removed.
    VOKR_HINT_REFRESH_NODE_PANES = VOKR_HINT_REFRESH | VOKR_HINT_CONFIG | VOKR_HINT_HIERARCHY | VOKR_HINT_VIEW,
    // Refresh the data and setup tabs.
    VOKR_HINT_REFRESH_TABS = VOKR_HINT_REFRESH | VOKR_HINT_TABS,
    // Show the instances' acquisition status again.
    VOKR_HINT_INSTANCE_STATUS = VOKR_HINT_STATUS | VOKR_HINT_INSTANCES,
    // Rebuild the JTAG pane from the session.
    VOKR_HINT_REBUILD_JTAG = VOKR_HINT_REBUILD | VOKR_HINT_JTAG,
    // Rebuild the instance list, its tabs and the JTAG pane after instances were added or removed.
    VOKR_HINT_REBUILD_INSTANCES = VOKR_HINT_REBUILD | VOKR_HINT_TABS | VOKR_HINT_JTAG | VOKR_HINT_INSTANCES,
    // Lay out and refresh every pane of the current instance after another instance became current.
    VOKR_HINT_RELAYOUT_INSTANCE = VOKR_HINT_GEOMETRY | VOKR_HINT_REFRESH | VOKR_HINT_INSTANCES | VOKR_HINT_CONFIG |
                                  VOKR_HINT_HIERARCHY | VOKR_HINT_VIEW,
    // Show an instance's new acquisition status in the instance list and the tabs.
    VOKR_HINT_STATUS_REFRESH_INSTANCES = VOKR_HINT_REFRESH | VOKR_HINT_STATUS | VOKR_HINT_TABS | VOKR_HINT_INSTANCES,
    // Show the current instance's new acquisition status in every pane.
    VOKR_HINT_STATUS_REFRESH_ALL =
        VOKR_HINT_STATUS_REFRESH_INSTANCES | VOKR_HINT_ADVANCED | VOKR_HINT_DATA_LOG | VOKR_HINT_CONFIG | VOKR_HINT_VIEW
};

// Acquisition state masks that the manager keeps per session entry. A state is idle when it
// has no bit outside VOKR_ACQ_IDLE_BITS and is not all of them; every other state is acquiring.
enum VOKR_ACQUISITION_STATE : int {
    VOKR_ACQ_NOT_RUNNING = 0x40000,
    VOKR_ACQ_JTAG_ERROR = 0x80000,
    VOKR_ACQ_IDLE_BITS = VOKR_ACQ_NOT_RUNNING | VOKR_ACQ_JTAG_ERROR,
    // The state an instance takes when an acquisition starts on it.
    VOKR_ACQ_STARTED = 0x800000,
    // Of a reported mask, only these bits are stored.
    VOKR_ACQ_STORED_BITS = 0x1ffe000
};

// Bits of a group's link type, built from the user's linking settings.
enum VOKR_LINK_BITS : int {
    VOKR_LINK_GROUP = 0x1,
    VOKR_LINK_ORDER = 0x2,
    VOKR_LINK_MNEMONICS = 0x4,
    VOKR_LINK_PROPERTIES = 0x8
};

// The kind of a state of the state-based trigger; a state without a stored kind has kind 0.
using VOKR_STATE_TYPE = int;

// A hint as the int that `updated` carries.
constexpr int vokr_hint(unsigned int bits) { return static_cast<int>(bits); }
