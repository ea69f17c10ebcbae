// The module's own undo steps: work of the module that an undo or redo of their unit re-runs.
#pragma once

#include "ksm.h"

class VOKR_TX_MANAGER;
class VOKR_VIEW;

// Re-checks every node's validity against the compiled design after undo and after redo.
class KSM_TX_UNDO_ACTION_CHECK_NODE_VALIDITY : public KSM_TX_UNDO_ACTION_ATOMIC {
public:
    explicit KSM_TX_UNDO_ACTION_CHECK_NODE_VALIDITY(VOKR_TX_MANAGER* manager) : m_manager(manager) {}
    bool undo() override;
    bool redo() override;

private:
    VOKR_TX_MANAGER* m_manager;
};

// Lays the node list view out again after undo and after redo.
class KSM_TX_UNDO_ACTION_RESIZE_EVENT : public KSM_TX_UNDO_ACTION_ATOMIC {
public:
    explicit KSM_TX_UNDO_ACTION_RESIZE_EVENT(VOKR_VIEW* view) : m_view(view) {}
    bool undo() override;
    bool redo() override;

private:
    VOKR_VIEW* m_view;
};
