// Shared set-up of the trigger-setting, resource and node-handle tests: undo-unit counting,
// the hints a settings edit announces besides the modified mark, and rows made in the current
// trigger list.
#pragma once

#include "node_test_support.h"

#include <initializer_list>

namespace trigger_test {

using namespace node_test;

// What the end of every undo unit announces: the compilation status may have changed.
constexpr unsigned int UNIT_END_HINT = 0x4000010;
// Refresh of the signal configuration panel.
constexpr unsigned int CONFIG_HINT = 0x20000004;
// Refresh of the node list view.
constexpr unsigned int VIEW_HINT = 0x20000001;
// Refresh of the node list view and the layout tabs.
constexpr unsigned int LAYOUT_HINT = 0x20000041;

// The hints of a spy without the modified mark and the end-of-unit announcements.
inline std::vector<unsigned int> setting_hints(const QSignalSpy& spy)
{
    std::vector<unsigned int> out;
    for (unsigned int hint : hints(spy))
        if (hint != MODIFIED_HINT && hint != UNIT_END_HINT)
            out.push_back(hint);
    return out;
}

inline bool undo_available(VOKR_TX_MANAGER* m)
{
    return m->get_tx_instance() && m->get_tx_instance()->is_undo_available();
}

// Undoes every unit of the current instance and returns how many there were.
inline int undo_all(VOKR_TX_MANAGER* m)
{
    int units = 0;
    while (undo_available(m) && units < 100) {
        m->on_edit_undo();
        ++units;
    }
    return units;
}

// Rows appended to the current trigger list as the views' callers insert them.
inline void add_rows(VOKR_TX_MANAGER* m, std::initializer_list<const char*> rows,
                     KSM_DATA_WIRE_TAP_MODE tap = KSM_TAP_PRE_SYNTHESIS)
{
    for (const char* name : rows)
        ASSERT_TRUE(m->insert_node(name, KSM_STYPE_INPUT_PIN, tap, false)) << name;
}

// A stored sample depth of 0: an instance without sample memory.
inline void store_zero_depth(KSM_TX_SIGNAL_SET* set)
{
    ASSERT_TRUE(set->set_sample_depth(0));
}

}  // namespace trigger_test
