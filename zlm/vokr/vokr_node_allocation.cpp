#include "vokr_node_allocation.h"

#include "vokr_tx_manager.h"

namespace {

// The current instance's signal set, or null when no instance is current; it holds both the
// limits and the reserved counts.
KSM_TX_SIGNAL_SET* current_signals(const VOKR_TX_MANAGER* manager)
{
    return manager->is_empty() ? nullptr : manager->get_signal_nodes(-1);
}

}  // namespace

int VOKR_DATA_NODE_ALLOCATION::get_maximum() const
{
    KSM_TX_SIGNAL_SET* signals_ = current_signals(m_manager);
    return signals_ ? signals_->get_max_data_nodes() : 0;
}

int VOKR_DATA_NODE_ALLOCATION::get_value() const
{
    return m_manager->get_data_nodes_allocated(-1);
}

void VOKR_DATA_NODE_ALLOCATION::set_value(int count)
{
    m_manager->data_manual_input_changed(count);
}

int VOKR_TRIGGER_NODE_ALLOCATION::get_maximum() const
{
    KSM_TX_SIGNAL_SET* signals_ = current_signals(m_manager);
    return signals_ ? signals_->get_max_trigger_nodes() : 0;
}

int VOKR_TRIGGER_NODE_ALLOCATION::get_value() const
{
    return m_manager->get_trigger_nodes_allocated(-1);
}

void VOKR_TRIGGER_NODE_ALLOCATION::set_value(int count)
{
    m_manager->trigger_manual_input_changed(count);
}

int VOKR_STORAGE_QUALIFIER_NODE_ALLOCATION::get_maximum() const
{
    KSM_TX_SIGNAL_SET* signals_ = current_signals(m_manager);
    return signals_ ? signals_->get_max_storage_qualifier_nodes() : 0;
}

int VOKR_STORAGE_QUALIFIER_NODE_ALLOCATION::get_value() const
{
    return m_manager->get_storage_qualifier_nodes_allocated(-1);
}

void VOKR_STORAGE_QUALIFIER_NODE_ALLOCATION::set_value(int count)
{
    m_manager->storage_qualifier_manual_input_changed(count);
}
