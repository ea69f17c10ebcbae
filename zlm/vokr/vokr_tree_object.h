// The common base of the module's objects in a session's tree: the session root, the trees of
// advanced levels and patterns, and the state-based trigger flow. Each kind overrides the calls
// it answers. By default an object keeps no attributes and builds no tree; the child-list calls
// belong to the root and the equation calls to the level trees, so that on any other kind they
// are internal errors.
#pragma once

#include "ksm.h"

class VOKR_TREE_OBJECT : public KSM_TX_TREE_OBJECT {
public:
    KSM_TX_TREE_OBJECT* get_child_object(int index) override;
    int get_child_count() override;
    KSM_TX_TREE_OBJECT* create_child_object(int kind) override;
    bool delete_child_object(KSM_TX_TREE_OBJECT* child) override;
    bool get_equation(std::string* text, KSM_DATA_MNEMONICS* mnemonics, KSM_TX_SIGNAL_NODES* node_set, int condition,
                      bool power_up) override;
    bool duplicate_trigger(bool to_power_up) override;
    void get_attributes() override {}
    void generate_tree(RUV_ADVANCED_TRIGGER_FACTORY*) override {}
    void set_attribute(const char*, const char*) override {}
};
