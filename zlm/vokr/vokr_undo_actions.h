// The module's own undo steps: work of the module that an undo or redo of their unit re-runs.
// The repository's history keeps them as long as the session lives, which may be longer than
// the manager or the view they work for: a step whose manager or view is gone does nothing.
#pragma once

#include "ksm.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QPointer>

// Re-checks every node's validity against the compiled design after undo and after redo.
class KSM_TX_UNDO_ACTION_CHECK_NODE_VALIDITY : public KSM_TX_UNDO_ACTION_ATOMIC {
public:
    explicit KSM_TX_UNDO_ACTION_CHECK_NODE_VALIDITY(VOKR_TX_MANAGER* manager) : m_manager(manager) {}
    bool undo() override;
    bool redo() override;

private:
    QPointer<VOKR_TX_MANAGER> m_manager;
};

// Lays the node list view out again after undo and after redo.
class KSM_TX_UNDO_ACTION_RESIZE_EVENT : public KSM_TX_UNDO_ACTION_ATOMIC {
public:
    explicit KSM_TX_UNDO_ACTION_RESIZE_EVENT(VOKR_VIEW* view) : m_view(view) {}
    bool undo() override;
    bool redo() override;

private:
    QPointer<VOKR_VIEW> m_view;
};
