#include "ruv.h"

#include <algorithm>

RUV_ADVANCED_TRIGGER_BASE::~RUV_ADVANCED_TRIGGER_BASE() = default;

RUV_ADVANCED_TRIGGER_BASE* RUV_ADVANCED_TRIGGER_BASE::get_input_connection_at(int index) const
{
    return index >= 0 && index < get_input_count() ? m_inputs[index] : nullptr;
}

int RUV_ADVANCED_TRIGGER_BASE::get_pipeline_latency() const { return m_delay; }

namespace {

long long path_latency(const RUV_ADVANCED_TRIGGER_BASE* node);

// The largest sum of node latencies along a path from one of the node's inputs down to a leaf.
// Trees are at most RUV_MAX_NESTING deep, so the recursion is bounded.
long long longest_input_latency(const RUV_ADVANCED_TRIGGER_BASE* node)
{
    long long longest = 0;
    for (int i = 0; i < node->get_input_count(); ++i)
        longest = std::max(longest, path_latency(node->get_input_connection_at(i)));
    return longest;
}

long long path_latency(const RUV_ADVANCED_TRIGGER_BASE* node)
{
    return longest_input_latency(node) + node->get_pipeline_latency();
}

}  // namespace

int RUV_ADVANCED_TRIGGER_OUTPUT::get_pipeline_latency() const
{
    const long long latency = longest_input_latency(this) + get_delay() + 1;  // the registered trigger output
    return static_cast<int>(std::min<long long>(latency, INT32_MAX));
}

void RUV_ADVANCED_TRIGGER_OUTPUT::accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) { visitor->visit_output(this); }

void RUV_ADVANCED_TRIGGER_DESIGN_NODE::accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor)
{
    visitor->visit_design_node(this);
}

void RUV_ADVANCED_TRIGGER_BUS::accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) { visitor->visit_bus(this); }

RUV_ADVANCED_TRIGGER_INPUT_CONSTANT::RUV_ADVANCED_TRIGGER_INPUT_CONSTANT(bool variable)
    : RUV_ADVANCED_TRIGGER_BASE(variable ? RUV_KIND_INPUT_VARIABLE : RUV_KIND_INPUT_CONSTANT)
{
}

void RUV_ADVANCED_TRIGGER_INPUT_CONSTANT::accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor)
{
    if (is_variable())
        visitor->visit_input_variable(this);
    else
        visitor->visit_input_constant(this);
}

RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT::RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT(bool variable)
    : RUV_ADVANCED_TRIGGER_BASE(variable ? RUV_KIND_COMPARE_VARIABLE : RUV_KIND_COMPARE_CONSTANT)
{
}

void RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT::accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor)
{
    if (is_variable())
        visitor->visit_compare_variable(this);
    else
        visitor->visit_compare_constant(this);
}

void RUV_ADVANCED_TRIGGER_LOGICAL::accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) { visitor->visit_logical(this); }

void RUV_ADVANCED_TRIGGER_BITWISE::accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) { visitor->visit_bitwise(this); }

void RUV_ADVANCED_TRIGGER_UNARY::accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) { visitor->visit_unary(this); }

void RUV_ADVANCED_TRIGGER_SHIFT::accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) { visitor->visit_shift(this); }

void RUV_ADVANCED_TRIGGER_EVENT_COUNTER::accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor)
{
    visitor->visit_event_counter(this);
}

void RUV_ADVANCED_TRIGGER_MBPM::accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) { visitor->visit_mbpm(this); }

void RUV_ADVANCED_TRIGGER_IMBPM::accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) { visitor->visit_imbpm(this); }

void RUV_ADVANCED_TRIGGER_CUSTOM_HDL::accept(RUV_ADVANCED_TRIGGER_VISITOR* visitor) { visitor->visit_custom_hdl(this); }

RUV_ADVANCED_TRIGGER_VISITOR::~RUV_ADVANCED_TRIGGER_VISITOR() = default;

void RUV_ADVANCED_TRIGGER_ITERATOR::first()
{
    m_stack.clear();
    if (m_root)
        m_stack.push_back(m_root);
}

void RUV_ADVANCED_TRIGGER_ITERATOR::next()
{
    if (m_stack.empty())
        return;
    RUV_ADVANCED_TRIGGER_BASE* node = m_stack.back();
    m_stack.pop_back();
    for (int i = node->get_input_count() - 1; i >= 0; --i)
        m_stack.push_back(node->get_input_connection_at(i));
}

RUV_ADVANCED_TRIGGER_FACTORY::RUV_ADVANCED_TRIGGER_FACTORY() = default;
RUV_ADVANCED_TRIGGER_FACTORY::~RUV_ADVANCED_TRIGGER_FACTORY() = default;

bool RUV_ADVANCED_TRIGGER_FACTORY::parse(const char* text)
{
    if (text)
        return parse(std::string(text));
    m_nodes.clear();
    m_root = nullptr;
    m_error = "Error at column 1: no expression text";
    m_error_column = 1;
    return false;
}
