#include "vokr_node_allocation.h"

#include "vokr_tx_manager.h"

namespace {

// A limit of the current instance's signal set, which holds all three; 0 when no instance is
// current.
int limit_of(const VOKR_TX_MANAGER* manager, int (KSM_TX_SIGNAL_SET::*limit)() const)
{
    return manager->is_empty() ? 0 : (manager->get_signal_nodes(-1)->*limit)();
}

}  // namespace

int VOKR_DATA_NODE_ALLOCATION::get_maximum() const
{
    return limit_of(m_manager, &KSM_TX_SIGNAL_SET::get_max_data_nodes);
}

int VOKR_DATA_NODE_ALLOCATION::get_value() const { return m_manager->get_data_nodes_allocated(-1); }

void VOKR_DATA_NODE_ALLOCATION::set_value(int count) { m_manager->data_manual_input_changed(count); }

int VOKR_TRIGGER_NODE_ALLOCATION::get_maximum() const
{
    return limit_of(m_manager, &KSM_TX_SIGNAL_SET::get_max_trigger_nodes);
}

int VOKR_TRIGGER_NODE_ALLOCATION::get_value() const { return m_manager->get_trigger_nodes_allocated(-1); }

void VOKR_TRIGGER_NODE_ALLOCATION::set_value(int count) { m_manager->trigger_manual_input_changed(count); }

int VOKR_STORAGE_QUALIFIER_NODE_ALLOCATION::get_maximum() const
{
    return limit_of(m_manager, &KSM_TX_SIGNAL_SET::get_max_storage_qualifier_nodes);
}

int VOKR_STORAGE_QUALIFIER_NODE_ALLOCATION::get_value() const
{
    return m_manager->get_storage_qualifier_nodes_allocated(-1);
}

void VOKR_STORAGE_QUALIFIER_NODE_ALLOCATION::set_value(int count)
{
    m_manager->storage_qualifier_manual_input_changed(count);
}
