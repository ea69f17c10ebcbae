// The root of a session's object tree: it makes and owns the trigger objects (one per
// advanced trigger level or storage-qualifier pattern) and the state-machine objects.
#pragma once

#include "vokr_tree_object.h"

#include <QList>

class VOKR_TRIGGER_OBJECT;
class VOKR_STATE_MACHINE_OBJECT;

class VOKR_SESSION_OBJECT : public VOKR_TREE_OBJECT {
public:
    VOKR_SESSION_OBJECT() = default;
    ~VOKR_SESSION_OBJECT() override;

    KSM_TX_TREE_OBJECT* get_child_object(int index) override;
    int get_child_count() override;
    // KSM_TREE_KIND_STATE_MACHINE makes a state-machine object; any other kind a trigger object.
    KSM_TX_TREE_OBJECT* create_child_object(int kind) override;
    // Deletes a trigger object; state-machine objects live as long as the root.
    bool delete_child_object(KSM_TX_TREE_OBJECT* child) override;

    int get_state_machine_count() const { return m_state_machines.size(); }

private:
    QList<VOKR_TRIGGER_OBJECT*> m_triggers;
    QList<VOKR_STATE_MACHINE_OBJECT*> m_state_machines;
};
