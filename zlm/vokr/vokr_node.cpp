#include "vokr_node.h"

#include "vokr_tx_manager.h"

namespace {

constexpr int DATA_BIT = 1;
constexpr int TRIGGER_BIT = 2;

// The capture mode as two bits (data, trigger); the repository spells "neither" as its own value.
int capture_bits(KSM_DATA_WIRE_CAPTURE_TYPE use)
{
    return use == KSM_CAPTURE_NEITHER ? 0 : static_cast<int>(use) & (DATA_BIT | TRIGGER_BIT);
}

KSM_DATA_WIRE_CAPTURE_TYPE capture_type(int bits)
{
    return bits == 0 ? KSM_CAPTURE_NEITHER : static_cast<KSM_DATA_WIRE_CAPTURE_TYPE>(bits);
}

}  // namespace

VOKR_NODE::VOKR_NODE(VOKR_TX_MANAGER* manager, KSM_TX_SIGNAL_NODES* list, int index)
    : m_manager(manager), m_list(list), m_index(index)
{
}

bool VOKR_NODE::is_data_enabled(bool* mixed) const { return is_enabled(DATA, mixed, PLAIN_TRIGGER_LEVEL); }

bool VOKR_NODE::is_trigger_enabled(bool* mixed, int level) const { return is_enabled(TRIGGER, mixed, level); }

bool VOKR_NODE::is_storage_enabled(bool* mixed) const { return is_enabled(STORAGE, mixed, PLAIN_TRIGGER_LEVEL); }

bool VOKR_NODE::is_transition_enabled(bool* mixed) const { return is_enabled(TRANSITION, mixed, PLAIN_TRIGGER_LEVEL); }

bool VOKR_NODE::is_signal_inverted(bool* mixed) const { return is_enabled(INVERSION, mixed, PLAIN_TRIGGER_LEVEL); }

void VOKR_NODE::enable_data(bool value) { enable(DATA, value); }
void VOKR_NODE::enable_trigger(bool value) { enable(TRIGGER, value); }
void VOKR_NODE::enable_storage(bool value) { enable(STORAGE, value); }
void VOKR_NODE::enable_transition(bool value) { enable(TRANSITION, value); }
void VOKR_NODE::enable_signal_inversion(bool value) { enable(INVERSION, value); }

void VOKR_NODE::toggle_data() { toggle(DATA); }
void VOKR_NODE::toggle_trigger() { toggle(TRIGGER); }
void VOKR_NODE::toggle_storage() { toggle(STORAGE); }
void VOKR_NODE::toggle_transition() { toggle(TRANSITION); }
void VOKR_NODE::toggle_signal_inversion() { toggle(INVERSION); }

KSM_DATA_WIRE_TAP_MODE VOKR_NODE::get_tap_state() const
{
    if (!m_manager->is_group_node(m_index))
        return m_list->get_tap_mode(m_index);
    std::vector<int> rows;
    m_manager->get_all_descendants(m_index, &rows);
    KSM_TX_SIGNAL_NODES* list = m_manager->get_nodes(-1);
    for (int row : rows)
        if (VOKR_NODE(m_manager, list, row).get_tap_state() != KSM_TAP_POST_FITTING)
            return KSM_TAP_PRE_SYNTHESIS;
    return KSM_TAP_POST_FITTING;
}

// Data, storage and transition treat any group row as a group, even one without rows below.
bool VOKR_NODE::is_leaf(FLAG flag) const
{
    if (flag == DATA || flag == STORAGE || flag == TRANSITION)
        return !m_manager->is_group_node(m_index);
    return !m_manager->has_children(m_index);
}

bool VOKR_NODE::leaf_flag(FLAG flag, int level) const
{
    switch (flag) {
    case DATA: return capture_bits(m_list->get_node_use(m_index)) & DATA_BIT;
    case STORAGE: return m_list->is_storage_enabled(m_index);
    case TRANSITION: return m_list->is_transition_enabled(m_index);
    case INVERSION: return m_list->is_signal_inverted(m_index);
    case TRIGGER: break;
    }
    if (level == PLAIN_TRIGGER_LEVEL)
        return capture_bits(m_list->get_node_use(m_index)) & TRIGGER_BIT;
    // The storage qualifier's patterns listen to the storage-enabled rows.
    const bool on = level < 0 ? m_list->is_storage_enabled(m_index)
                              : (capture_bits(m_list->get_node_use(m_index)) & TRIGGER_BIT) != 0;
    if (!on || !m_manager->is_advanced_trigger(level, -1))
        return on;
    // An advanced level can only use post-fitting nodes, and none in an incremental compile.
    return get_tap_state() != KSM_TAP_PRE_SYNTHESIS && !m_manager->is_incremental_compile();
}

bool VOKR_NODE::is_enabled(FLAG flag, bool* mixed, int level) const
{
    if (mixed)
        *mixed = false;
    return is_leaf(flag) ? leaf_flag(flag, level) : group_flag(flag, mixed, level);
}

// The rows below a group are those of the manager's current list, like the tree queries that
// find them: every row after the group up to its last child. A group is on when any row below it
// is on; the walk stops as soon as the answer (and, when asked, the mixed state) is known.
bool VOKR_NODE::group_flag(FLAG flag, bool* mixed, int level) const
{
    bool any_on = false;
    bool any_off = false;
    KSM_TX_SIGNAL_NODES* list = m_manager->get_nodes(-1);
    const int last = m_manager->get_last_child_index(m_index);
    for (int row = m_index + 1; row <= last; ++row) {
        if (VOKR_NODE(m_manager, list, row).is_enabled(flag, nullptr, level))
            any_on = true;
        else
            any_off = true;
        if (any_on && (!mixed || any_off))
            break;
    }
    if (mixed)
        *mixed = any_on && any_off;
    return any_on;
}

void VOKR_NODE::enable(FLAG flag, bool value)
{
    if (is_leaf(flag)) {
        if (leaf_flag(flag, PLAIN_TRIGGER_LEVEL) != value)
            toggle_leaf(flag);
        return;
    }
    std::vector<int> rows;
    m_manager->get_all_descendants(m_index, &rows);
    KSM_TX_SIGNAL_NODES* list = m_manager->get_nodes(-1);
    for (int row : rows) {
        VOKR_NODE node(m_manager, list, row);
        if (node.is_leaf(flag) && node.leaf_flag(flag, PLAIN_TRIGGER_LEVEL) != value)
            node.toggle_leaf(flag);
    }
}

void VOKR_NODE::toggle(FLAG flag)
{
    if (is_leaf(flag)) {
        toggle_leaf(flag);
        return;
    }
    bool mixed = false;
    const bool on = is_enabled(flag, &mixed, PLAIN_TRIGGER_LEVEL);
    enable(flag, !(on && !mixed));
}

// Capture bits are written through the trigger list, which owns them; the other flags on the
// handle's own list.
void VOKR_NODE::toggle_leaf(FLAG flag)
{
    bool accepted = false;
    switch (flag) {
    case DATA:
    case TRIGGER: {
        const int bit = flag == DATA ? DATA_BIT : TRIGGER_BIT;
        const int bits = capture_bits(m_list->get_node_use(m_index)) ^ bit;
        accepted = m_manager->get_trigger_nodes(-1)->set_node_use(m_index, capture_type(bits));
        break;
    }
    case STORAGE: accepted = m_list->set_storage_enabled(m_index, !m_list->is_storage_enabled(m_index)); break;
    case TRANSITION: accepted = m_list->set_transition_enabled(m_index, !m_list->is_transition_enabled(m_index)); break;
    case INVERSION:
        m_list->set_signal_inverted(m_index, !m_list->is_signal_inverted(m_index));
        accepted = true;
        break;
    }
    if (accepted)
        m_manager->update_modified_flag();
}

char vokr_condition_letter(KSM_DATA_TRIGGER_CONDITION condition)
{
    switch (condition) {
    case KSM_CTYPE_HIGH: return '1';
    case KSM_CTYPE_LOW: return '0';
    case KSM_CTYPE_RISING_EDGE: return 'R';
    case KSM_CTYPE_FALLING_EDGE: return 'F';
    case KSM_CTYPE_EITHER_EDGE: return 'E';
    case KSM_CTYPE_DONT_CARE: return 'X';
    default: return 0;
    }
}

KSM_DATA_TRIGGER_CONDITION vokr_letter_condition(char letter, KSM_DATA_TRIGGER_CONDITION other)
{
    switch (letter) {
    case '0':
    case 'L': return KSM_CTYPE_LOW;
    case '1':
    case 'H': return KSM_CTYPE_HIGH;
    case 'R': return KSM_CTYPE_RISING_EDGE;
    case 'F': return KSM_CTYPE_FALLING_EDGE;
    case 'E': return KSM_CTYPE_EITHER_EDGE;
    default: return other;
    }
}
