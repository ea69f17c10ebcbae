#include "vokr_tree_object.h"

#include "vokr_assert.h"

KSM_TX_TREE_OBJECT* VOKR_TREE_OBJECT::get_child_object(int)
{
    VOKR_INTERNAL_ERROR("get_child_object() should only be called on a VOKR_SESSION_OBJECT");
}

int VOKR_TREE_OBJECT::get_child_count()
{
    VOKR_INTERNAL_ERROR("get_child_count() should only be called on a VOKR_SESSION_OBJECT");
}

KSM_TX_TREE_OBJECT* VOKR_TREE_OBJECT::create_child_object(int)
{
    VOKR_INTERNAL_ERROR("create_child_object() should only be called on a VOKR_SESSION_OBJECT");
}

bool VOKR_TREE_OBJECT::delete_child_object(KSM_TX_TREE_OBJECT*)
{
    VOKR_INTERNAL_ERROR("delete_child_object() should only be called on a VOKR_SESSION_OBJECT");
}

bool VOKR_TREE_OBJECT::get_equation(std::string*, KSM_DATA_MNEMONICS*, KSM_TX_SIGNAL_NODES*, int, bool)
{
    VOKR_INTERNAL_ERROR("get_equation() should only be called on a VOKR_TRIGGER_OBJECT");
}

bool VOKR_TREE_OBJECT::duplicate_trigger(bool)
{
    VOKR_INTERNAL_ERROR("duplicate_trigger() should only be called on a VOKR_TRIGGER_OBJECT");
}
