#include "vokr_session_object.h"

#include "vokr_assert.h"
#include "vokr_state_machine_object.h"
#include "vokr_trigger_object.h"

VOKR_SESSION_OBJECT::~VOKR_SESSION_OBJECT()
{
    qDeleteAll(m_state_machines);
    qDeleteAll(m_triggers);
}

KSM_TX_TREE_OBJECT* VOKR_SESSION_OBJECT::get_child_object(int index)
{
    VOKR_ASSERT(index >= 0 && index < m_triggers.size());
    return m_triggers[index];
}

int VOKR_SESSION_OBJECT::get_child_count() { return m_triggers.size(); }

KSM_TX_TREE_OBJECT* VOKR_SESSION_OBJECT::create_child_object(int kind)
{
    if (kind == KSM_TREE_KIND_STATE_MACHINE) {
        m_state_machines.append(new VOKR_STATE_MACHINE_OBJECT);
        return m_state_machines.last();
    }
    m_triggers.append(new VOKR_TRIGGER_OBJECT);
    return m_triggers.last();
}

bool VOKR_SESSION_OBJECT::delete_child_object(KSM_TX_TREE_OBJECT* child)
{
    for (int i = 0; i < m_triggers.size(); ++i) {
        if (static_cast<KSM_TX_TREE_OBJECT*>(m_triggers[i]) == child) {
            delete m_triggers.takeAt(i);
            return true;
        }
    }
    return false;
}
