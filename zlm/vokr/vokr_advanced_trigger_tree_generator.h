// Builds the boxes of an advanced-trigger diagram from a parsed expression: a visitor of the
// syntax library's expression tree that fills the sub-tree of a starting box. Each expression
// node becomes one box, created below the box of the node that consumes it, top-down and in
// input order (a bus's members from the last input to the first, so that they read as written);
// the output node fills the starting box itself. Only the normal bank of the new boxes is filled.
#pragma once

#include "ruv.h"
#include "vokr_property.h"

#include <QList>

class VOKR_OBJECT;

class VOKR_ADVANCED_TRIGGER_TREE_GENERATOR : public RUV_ADVANCED_TRIGGER_VISITOR {
public:
    // `parent` is the box whose sub-tree the expression fills.
    explicit VOKR_ADVANCED_TRIGGER_TREE_GENERATOR(VOKR_OBJECT* parent) : m_parent(parent) {}
    VOKR_OBJECT* get_parent() const { return m_parent; }

    // The state-based flow's nodes have no box: each is an internal error.
    void visit_state_machine(RUV_FLOW_STATE_MACHINE* node) override;
    void visit_state(RUV_FLOW_STATE* node) override;
    void visit_block(RUV_FLOW_BLOCK* node) override;
    void visit_if(RUV_FLOW_IF* node) override;
    void visit_goto(RUV_FLOW_GOTO* node) override;
    void visit_trigger(RUV_FLOW_TRIGGER* node) override;
    void visit_segment_trigger(RUV_FLOW_SEGMENT_TRIGGER* node) override;
    void visit_start_store(RUV_FLOW_START_STORE* node) override;
    void visit_stop_store(RUV_FLOW_STOP_STORE* node) override;
    void visit_counter_action(RUV_FLOW_COUNTER_ACTION* node) override;
    void visit_flag_action(RUV_FLOW_FLAG_ACTION* node) override;
    void visit_condition(RUV_FLOW_CONDITION* node) override;
    void visit_counter_test(RUV_FLOW_COUNTER_TEST* node) override;
    void visit_flag_test(RUV_FLOW_FLAG_TEST* node) override;

    void visit_event_counter(RUV_ADVANCED_TRIGGER_EVENT_COUNTER* node) override;
    void visit_imbpm(RUV_ADVANCED_TRIGGER_IMBPM* node) override;
    void visit_mbpm(RUV_ADVANCED_TRIGGER_MBPM* node) override;
    void visit_bus(RUV_ADVANCED_TRIGGER_BUS* node) override;
    void visit_input_variable(RUV_ADVANCED_TRIGGER_INPUT_CONSTANT* node) override;
    void visit_input_constant(RUV_ADVANCED_TRIGGER_INPUT_CONSTANT* node) override;
    void visit_design_node(RUV_ADVANCED_TRIGGER_DESIGN_NODE* node) override;
    void visit_output(RUV_ADVANCED_TRIGGER_OUTPUT* node) override;
    void visit_shift(RUV_ADVANCED_TRIGGER_SHIFT* node) override;
    void visit_compare_variable(RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT* node) override;
    void visit_compare_constant(RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT* node) override;
    void visit_bitwise(RUV_ADVANCED_TRIGGER_BITWISE* node) override;
    void visit_custom_hdl(RUV_ADVANCED_TRIGGER_CUSTOM_HDL* node) override;
    void visit_unary(RUV_ADVANCED_TRIGGER_UNARY* node) override;
    void visit_logical(RUV_ADVANCED_TRIGGER_LOGICAL* node) override;

    // The largest max_counter_value a box holds; wider counters are clamped to it.
    static constexpr int MAX_COUNTER_VALUE = 2147483647;

private:
    struct BLOCK;
    // A new child of the current parent with the block's properties merged in, and the node's
    // inputs visited below it (last to first with `reverse`).
    VOKR_OBJECT* add_box(RUV_ADVANCED_TRIGGER_BASE* node, const BLOCK& block, bool reverse = false);
    void add_value(RUV_ADVANCED_TRIGGER_INPUT_CONSTANT* node, bool configurable);
    void add_comparison(RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT* node, bool configurable);
    // Puts an adapter box between a new box and a consumer whose port takes the other kind of signal.
    void adapt(VOKR_OBJECT* box);
    // Spells out the bus values the diagram gives no width, once the whole tree stands.
    void spell_out_values();

    // A bus value box and the expression's value it was made of; `spell` when its bits must be
    // spelt out whatever width the diagram gives it.
    struct VALUE {
        VOKR_OBJECT* box;
        RUV_ADVANCED_TRIGGER_INPUT_CONSTANT* node;
        bool spell;
    };

    VOKR_OBJECT* m_parent;
    int m_bank = VOKR_BANK_NORMAL;
    QList<VALUE> m_values;
};
