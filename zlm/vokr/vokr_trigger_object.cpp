#include "vokr_trigger_object.h"

#include "vokr_assert.h"

// The diagram's boxes are made and printed by the box objects; until a level has boxes its
// tree is empty and its expression incomplete.

VOKR_TRIGGER_OBJECT::~VOKR_TRIGGER_OBJECT() = default;

KSM_TX_TREE_OBJECT* VOKR_TRIGGER_OBJECT::get_child_object(int) { return nullptr; }

int VOKR_TRIGGER_OBJECT::get_child_count() { return 0; }

KSM_TX_TREE_OBJECT* VOKR_TRIGGER_OBJECT::create_child_object(int) { return nullptr; }

bool VOKR_TRIGGER_OBJECT::get_equation(std::string* text, KSM_DATA_MNEMONICS*, KSM_TX_SIGNAL_NODES*, int, bool)
{
    text->clear();
    return false;
}

bool VOKR_TRIGGER_OBJECT::duplicate_trigger(bool) { return true; }
