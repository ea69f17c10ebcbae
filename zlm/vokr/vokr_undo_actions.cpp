#include "vokr_undo_actions.h"

#include "vokr_tx_manager.h"
#include "vokr_view.h"

bool KSM_TX_UNDO_ACTION_CHECK_NODE_VALIDITY::undo()
{
    if (m_manager)
        m_manager->check_node_validity(-1);
    return true;
}

bool KSM_TX_UNDO_ACTION_CHECK_NODE_VALIDITY::redo() { return undo(); }

bool KSM_TX_UNDO_ACTION_RESIZE_EVENT::undo()
{
    if (m_view) {
        m_view->resizeEvent(nullptr);
        m_view->set_resized(true);
    }
    return true;
}

bool KSM_TX_UNDO_ACTION_RESIZE_EVENT::redo() { return undo(); }
