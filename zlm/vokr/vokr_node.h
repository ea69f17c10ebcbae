// A short-lived handle on one row of an instance's node list. It reads and changes the row's
// capture flags so that a group row acts on every row below it, and reports a group as on,
// off or mixed.
#pragma once

#include "ksm.h"

class VOKR_TX_MANAGER;

class VOKR_NODE {
public:
    // The level that asks for the trigger bit alone.
    static constexpr int PLAIN_TRIGGER_LEVEL = -4;

    VOKR_NODE(VOKR_TX_MANAGER* manager, KSM_TX_SIGNAL_NODES* list, int index);
    virtual ~VOKR_NODE() = default;

    // Each question sets *mixed (when given) to whether the rows below a group disagree.
    bool is_data_enabled(bool* mixed = nullptr) const;
    // level PLAIN_TRIGGER_LEVEL: the trigger bit only; -3..-1: the storage qualifier's pattern levels, answered
    // by the storage flag; 0 and above: trigger levels.
    bool is_trigger_enabled(bool* mixed = nullptr, int level = PLAIN_TRIGGER_LEVEL) const;
    bool is_storage_enabled(bool* mixed = nullptr) const;
    bool is_transition_enabled(bool* mixed = nullptr) const;
    bool is_signal_inverted(bool* mixed = nullptr) const;

    void enable_data(bool value);
    void enable_trigger(bool value);
    void enable_storage(bool value);
    void enable_transition(bool value);
    void enable_signal_inversion(bool value);

    void toggle_data();
    void toggle_trigger();
    void toggle_storage();
    void toggle_transition();
    void toggle_signal_inversion();

    // Post-fitting (2) when the row, or every row below a group, is post-fitting; else 0.
    KSM_DATA_WIRE_TAP_MODE get_tap_state() const;

private:
    enum FLAG { DATA, TRIGGER, STORAGE, TRANSITION, INVERSION };

    bool is_leaf(FLAG flag) const;
    bool leaf_flag(FLAG flag, int level) const;
    bool is_enabled(FLAG flag, bool* mixed, int level) const;
    bool group_flag(FLAG flag, bool* mixed, int level) const;
    void enable(FLAG flag, bool value);
    void toggle(FLAG flag);
    void toggle_leaf(FLAG flag);

    VOKR_TX_MANAGER* m_manager;
    KSM_TX_SIGNAL_NODES* m_list;
    int m_index;
};

// The pattern letter of a condition: '1', '0', 'R', 'F', 'E', or 'X' for don't care; 0 for a
// condition that has no letter.
char vokr_condition_letter(KSM_DATA_TRIGGER_CONDITION condition);

// The condition a pattern letter sets: '0' or 'L', '1' or 'H', 'R', 'F', 'E'; `other` for any
// other letter.
KSM_DATA_TRIGGER_CONDITION vokr_letter_condition(char letter, KSM_DATA_TRIGGER_CONDITION other);
