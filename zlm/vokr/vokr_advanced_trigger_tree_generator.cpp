#include "vokr_advanced_trigger_tree_generator.h"

#include "vokr_assert.h"
#include "vokr_object.h"

#include <QStringList>

#include <algorithm>
#include <climits>
#include <initializer_list>
#include <utility>

// The properties of one new box, written into the generator's bank of a fresh block: every
// value stored set and not blank.
struct VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::BLOCK {
    VOKR_PROPERTY property;
    int bank;

    // A box of `type` named after the node, if it has a name.
    BLOCK(int type, const RUV_ADVANCED_TRIGGER_BASE* node, int bank_) : bank(bank_)
    {
        set(VOKR_INT_TYPE, type);
        set(VOKR_INT_EXPANDED, 1);
        if (node && node->get_name())
            text(VOKR_STRING_NAME, QString::fromLocal8Bit(node->get_name()));
    }
    void set(int id, int value) { property.set(id, value, bank); }
    void text(int id, const QString& value) { property.set_setting_string(id, value, bank); }
};

namespace {

using BOX_VALUE = std::pair<int, int>;  // an operation code of the syntax library and the value stored

// The stored value of `code`; a code the table does not hold is an internal error.
int stored(int code, std::initializer_list<BOX_VALUE> table, const char* failure)
{
    for (const BOX_VALUE& row : table)
        if (row.first == code)
            return row.second;
    VOKR_INTERNAL_ERROR(failure);
    return 0;
}

// Bitwise and logical operators share their codes; the complement and the not are 0.
int operator_value(int code)
{
    return stored(code, {{RUV_LTYPE_AND, 1}, {RUV_LTYPE_OR, 2}, {RUV_LTYPE_XOR, 3}, {RUV_LTYPE_NOT, 0}},
                  "node->get_operation() == RUV_LTYPE_AND");
}

int comparison_value(int code)
{
    return stored(code,
                  {{RUV_CTYPE_GREATER_THAN, VOKR_COMPARISON_GREATER_THAN},
                   {RUV_CTYPE_GREATER_THAN_OR_EQUAL_TO, VOKR_COMPARISON_GREATER_THAN_OR_EQUAL_TO},
                   {RUV_CTYPE_LESS_THAN, VOKR_COMPARISON_LESS_THAN},
                   {RUV_CTYPE_LESS_THAN_OR_EQUAL_TO, VOKR_COMPARISON_LESS_THAN_OR_EQUAL_TO},
                   {RUV_CTYPE_EQUAL_TO, VOKR_COMPARISON_EQUALITY},
                   {RUV_CTYPE_NOT_EQUAL_TO, VOKR_COMPARISON_INEQUALITY},
                   {RUV_CTYPE_FALSE, VOKR_COMPARISON_FALSE},
                   {RUV_CTYPE_TRUE, VOKR_COMPARISON_TRUE}},
                  "node->get_operation() == RUV_CTYPE_EQUAL_TO");
}

// A counter of `width` bits counts to 2^width - 1, as far as a box's 32-bit property holds.
int max_counter_value(int width)
{
    constexpr int WIDEST = 31;
    return width >= WIDEST ? VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::MAX_COUNTER_VALUE
                           : static_cast<int>((uint32_t(1) << std::max(width, 0)) - 1);
}

// The kinds of the consumers that take single bits: a one-bit constant feeding one is a bit.
bool takes_single_bits(const RUV_ADVANCED_TRIGGER_BASE* consumer)
{
    if (!consumer)
        return false;
    const int kind = consumer->get_node_kind();
    return kind == RUV_KIND_OUTPUT || kind == RUV_KIND_LOGICAL || kind == RUV_KIND_EVENT_COUNTER ||
           kind == RUV_KIND_BUS;
}

// A value that feeds a signed comparison keeps its sign; any other is a bit pattern.
bool feeds_signed_comparison(const RUV_ADVANCED_TRIGGER_BASE* value)
{
    const RUV_ADVANCED_TRIGGER_BASE* consumer = value->get_output_connection();
    const int kind = consumer ? consumer->get_node_kind() : -1;
    return (kind == RUV_KIND_COMPARE_CONSTANT || kind == RUV_KIND_COMPARE_VARIABLE) &&
           static_cast<const RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT*>(consumer)->get_signed_mode();
}

// Bit `index` (0 the least significant) of a 64-bit value extended to any width by its sign.
bool bit_of(int64_t value, bool negative, int index)
{
    return index < 64 ? ((static_cast<uint64_t>(value) >> index) & 1) != 0 : negative;
}

}  // namespace

// ---- boxes ------------------------------------------------------------------------------------------

VOKR_OBJECT* VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::add_box(RUV_ADVANCED_TRIGGER_BASE* node, const BLOCK& block,
                                                           bool reverse)
{
    auto* box = static_cast<VOKR_OBJECT*>(m_parent->create_child_object(0));
    box->get_property() = block.property;
    adapt(box);
    const int n = node->get_input_count();
    for (int i = 0; i < n; ++i) {
        m_parent = box;
        node->get_input_connection_at(reverse ? n - 1 - i : i)->accept(this);
    }
    m_parent = box->get_parent();
    return box;
}

// The syntax library lets a single bit stand where a bus of one bit is meant and the other way
// round; the boxes' ports do not. A bit feeding a port for a bus (but a bus's or a detector's,
// which gather bits) is gathered by a bus box; a bus of one bit feeding a port for a bit passes
// a Reduction Or. The adapter takes the box's place below its consumer.
void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::adapt(VOKR_OBJECT* box)
{
    VOKR_OBJECT* consumer = box->get_parent();
    const int consumer_kind = consumer->get_draw_kind();
    const VOKR_SIGNAL_KIND input = vokr_kind_input(consumer_kind);
    const VOKR_SIGNAL_KIND output = vokr_kind_output(box->get_draw_kind());
    BLOCK adapter(VOKR_TYPE_BUS, nullptr, m_bank);
    if (input == VOKR_SIGNAL_BUS && output == VOKR_SIGNAL_BIT &&
        vokr_kind_max_inputs(consumer_kind) != VOKR_UNBOUNDED_INPUTS) {
        adapter.set(VOKR_INT_EXPANDED, 0);
    } else if (input == VOKR_SIGNAL_BIT && output == VOKR_SIGNAL_BUS) {
        adapter.set(VOKR_INT_TYPE, VOKR_TYPE_REDUCTION);
        adapter.set(VOKR_INT_REDUCTION, 1);
    } else {
        return;
    }
    consumer->detach(box);
    auto* made = static_cast<VOKR_OBJECT*>(consumer->create_child_object(0));
    made->get_property() = adapter.property;
    made->attach(box, false);
}

// A value whose width no other box gives (an operator over values only, a wide value among a
// bus's members) becomes a bus of bit values as wide as the expression made it, most
// significant first, each as changeable as the value.
void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::spell_out_values()
{
    for (const VALUE& value : std::as_const(m_values)) {
        VOKR_OBJECT* box = value.box;
        RUV_ADVANCED_TRIGGER_INPUT_CONSTANT* node = value.node;
        if (!value.spell && box->get_output_width(true) != VOKR_WIDTH_UNKNOWN)
            continue;
        const int configurable = box->get_property()[VOKR_INT_CONFIGURABLE];
        BLOCK bus(VOKR_TYPE_BUS, node, m_bank);
        bus.set(VOKR_INT_EXPANDED, 0);
        bus.text(VOKR_STRING_BUS_VALUE, QString());
        box->get_property() = VOKR_PROPERTY();
        box->get_property() = bus.property;
        for (int i = node->get_bit_width() - 1; i >= 0; --i) {
            BLOCK bit(VOKR_TYPE_BIT_VALUE, nullptr, m_bank);
            bit.set(VOKR_INT_CONFIGURABLE, configurable);
            bit.set(VOKR_INT_BIT_VALUE, bit_of(node->get_value(), node->is_negative(), i) ? 0 : 1);
            static_cast<VOKR_OBJECT*>(box->create_child_object(0))->get_property() = bit.property;
        }
    }
    m_values.clear();
}

void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::visit_output(RUV_ADVANCED_TRIGGER_OUTPUT* node)
{
    VOKR_OBJECT* box = m_parent;
    VOKR_PROPERTY& property = box->get_property();
    property.set(VOKR_INT_TYPE, VOKR_TYPE_RESULT, m_bank);
    property.set(VOKR_INT_DATA_DELAY, node->get_delay(), m_bank);
    property.set(VOKR_INT_EXPANDED, 1, m_bank);
    // A name given to the whole expression where its operand could not take it (a design node,
    // or an operand named already) is the result's.
    if (const char* name = node->get_name())
        property.set_setting_string(VOKR_STRING_NAME, QString::fromLocal8Bit(name), m_bank);
    for (int i = 0; i < node->get_input_count(); ++i) {
        m_parent = box;
        node->get_input_connection_at(i)->accept(this);
    }
    m_parent = box;
    spell_out_values();
}

void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::visit_design_node(RUV_ADVANCED_TRIGGER_DESIGN_NODE* node)
{
    BLOCK block(VOKR_TYPE_NODE, node, m_bank);
    block.set(VOKR_INT_DATA_DELAY, node->get_delay());
    add_box(node, block);
}

void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::visit_bus(RUV_ADVANCED_TRIGGER_BUS* node)
{
    BLOCK block(VOKR_TYPE_BUS, node, m_bank);
    if (const char* name = node->get_name())
        block.text(VOKR_STRING_BUS_NAME, QString::fromLocal8Bit(name));
    block.set(VOKR_INT_DATA_DELAY, node->get_delay());
    block.set(VOKR_INT_EXPANDED, 0);
    // Input 0 is the least significant member, the last one written; the box lists them as written.
    add_box(node, block, true);
}

void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::visit_input_variable(RUV_ADVANCED_TRIGGER_INPUT_CONSTANT* node)
{
    add_value(node, false);
}

void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::visit_input_constant(RUV_ADVANCED_TRIGGER_INPUT_CONSTANT* node)
{
    add_value(node, true);
}

// A one-bit value feeding a single-bit consumer is a bit value; any other a bus value written in
// decimal. A value written without a minus sign is unsigned, even at 2^63 and above; a negative
// one keeps its sign only in a signed comparison and is its two's complement at its width
// elsewhere (wider than 64 bits, its bits are spelt out).
void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::add_value(RUV_ADVANCED_TRIGGER_INPUT_CONSTANT* node, bool configurable)
{
    const bool bit = node->get_bit_width() == 1 && takes_single_bits(node->get_output_connection());
    BLOCK block(bit ? VOKR_TYPE_BIT_VALUE : VOKR_TYPE_BUS_VALUE, node, m_bank);
    block.set(VOKR_INT_CONFIGURABLE, configurable ? 1 : 0);
    const int64_t value = node->get_value();
    const int width = node->get_bit_width();
    const bool is_signed = node->is_negative() && feeds_signed_comparison(node);
    if (bit) {
        block.set(VOKR_INT_BIT_VALUE, value != 0 ? 0 : 1);  // 0 is "True"
    } else if (is_signed) {
        block.text(VOKR_STRING_BUS_VALUE, QString::number(value));
    } else {
        const uint64_t mask = width >= 64 ? ~uint64_t(0) : (uint64_t(1) << std::max(width, 0)) - 1;
        block.text(VOKR_STRING_BUS_VALUE, QString::number(static_cast<uint64_t>(value) & mask));
    }
    VOKR_OBJECT* box = add_box(node, block);
    if (!bit)
        m_values.append({box, node, node->is_negative() && !is_signed && width > 64});
}

// ---- operators --------------------------------------------------------------------------------------

void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::visit_compare_variable(RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT* node)
{
    add_comparison(node, false);
}

void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::visit_compare_constant(RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT* node)
{
    add_comparison(node, true);
}

void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::add_comparison(RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT* node,
                                                          bool configurable)
{
    BLOCK block(VOKR_TYPE_COMPARISON, node, m_bank);
    block.set(VOKR_INT_PIPELINE_LENGTH, node->get_delay());
    block.set(VOKR_INT_SIGNED_COMPARISON, node->get_signed_mode() ? 1 : 0);
    block.set(VOKR_INT_COMPARISON, comparison_value(node->get_operation()));
    block.set(VOKR_INT_CONFIGURABLE, configurable ? 1 : 0);
    add_box(node, block);
}

void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::visit_bitwise(RUV_ADVANCED_TRIGGER_BITWISE* node)
{
    BLOCK block(VOKR_TYPE_BITWISE, node, m_bank);
    block.set(VOKR_INT_DATA_DELAY, node->get_delay());
    block.set(VOKR_INT_BITWISE, operator_value(node->get_operation()));
    add_box(node, block);
}

void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::visit_logical(RUV_ADVANCED_TRIGGER_LOGICAL* node)
{
    BLOCK block(VOKR_TYPE_LOGICAL, node, m_bank);
    block.set(VOKR_INT_DATA_DELAY, node->get_delay());
    block.set(VOKR_INT_LOGICAL, operator_value(node->get_operation()));
    add_box(node, block);
}

void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::visit_unary(RUV_ADVANCED_TRIGGER_UNARY* node)
{
    BLOCK block(VOKR_TYPE_REDUCTION, node, m_bank);
    block.set(VOKR_INT_DATA_DELAY, node->get_delay());
    block.set(VOKR_INT_REDUCTION,
              stored(node->get_operation(), {{RUV_LTYPE_AND, 0}, {RUV_LTYPE_OR, 1}, {RUV_LTYPE_XOR, 2}},
                     "node->get_operation() == RUV_LTYPE_AND"));
    add_box(node, block);
}

void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::visit_shift(RUV_ADVANCED_TRIGGER_SHIFT* node)
{
    BLOCK block(VOKR_TYPE_SHIFT, node, m_bank);
    block.set(VOKR_INT_PIPELINE_LENGTH, node->get_delay());
    block.set(VOKR_INT_SHIFT_TYPE,
              stored(node->get_operation(), {{RUV_STYPE_ROTATE, 1}, {RUV_STYPE_ARITHMETIC, 2}, {RUV_STYPE_LOGICAL, 0}},
                     "node->get_operation() == RUV_STYPE_LOGICAL"));
    block.set(VOKR_INT_SHIFT_DISTANCE, node->get_shift_amount());
    block.set(VOKR_INT_SHIFT_DIRECTION, node->get_shift_direction() ? 1 : 0);
    block.set(VOKR_INT_CONFIGURABLE, 0);
    add_box(node, block);
}

void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::visit_event_counter(RUV_ADVANCED_TRIGGER_EVENT_COUNTER* node)
{
    BLOCK block(VOKR_TYPE_COUNTER, node, m_bank);
    block.set(VOKR_INT_PIPELINE_LENGTH, node->get_delay());
    block.set(VOKR_INT_COUNTER_TYPE,
              stored(node->get_mode(), {{RUV_ETYPE_CONTINUOUS, 0}, {RUV_ETYPE_EVENT, 1}, {RUV_ETYPE_STATE, 2}},
                     "node->get_mode() == RUV_ETYPE_CONTINUOUS"));
    block.set(VOKR_INT_COUNTER_HOLD, node->get_hold_status() ? 0 : 1);  // 0 is "Yes"
    block.set(VOKR_INT_MAX_COUNTER_VALUE, max_counter_value(node->get_counter_width()));
    block.set(VOKR_INT_COUNTER_VALUE, static_cast<int>(std::min<uint64_t>(node->get_counter_value(), INT_MAX)));
    block.set(VOKR_INT_CONFIGURABLE, 0);
    add_box(node, block);
}

// ---- detectors and custom logic ---------------------------------------------------------------------

void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::visit_mbpm(RUV_ADVANCED_TRIGGER_MBPM* node)
{
    BLOCK block(VOKR_TYPE_ELD, node, m_bank);
    block.set(VOKR_INT_PIPELINE_LENGTH, node->get_delay());
    block.text(VOKR_STRING_PATTERN, QString::fromLatin1(node->get_pattern()));
    block.set(VOKR_INT_CONFIGURABLE, 1);
    add_box(node, block);
}

// The box also takes the pattern and the quoted node names as the texts it prints; the manager
// rewrites them from the node list before the views refresh.
void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::visit_imbpm(RUV_ADVANCED_TRIGGER_IMBPM* node)
{
    BLOCK block(VOKR_TYPE_CIRN, node, m_bank);
    const QString pattern = QString::fromLatin1(node->get_pattern());
    block.set(VOKR_INT_PIPELINE_LENGTH, node->get_delay());
    block.text(VOKR_STRING_PATTERN, pattern);
    block.set(VOKR_INT_CONFIGURABLE, 0);
    VOKR_OBJECT* box = add_box(node, block);
    QStringList names;
    for (const std::string& name : node->get_node_names())
        names.append('\'' + VOKR_OBJECT::quote(QString::fromLocal8Bit(name.c_str())) + '\'');
    box->set_pattern(pattern);
    box->set_node_list(names.join(','));
}

void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::visit_custom_hdl(RUV_ADVANCED_TRIGGER_CUSTOM_HDL* node)
{
    BLOCK block(VOKR_TYPE_CUSTOM_HDL, node, m_bank);
    block.set(VOKR_INT_DATA_DELAY, node->get_delay());
    block.text(VOKR_STRING_MODULE_NAME, QString::fromLocal8Bit(node->get_module_name()));
    block.text(VOKR_STRING_CONFIG_BITSTREAM, QString::fromLatin1(node->get_bitstream()));
    block.set(VOKR_INT_PIPELINE_LENGTH, node->get_pipeline_latency());
    block.set(VOKR_INT_CONFIGURABLE, 0);
    add_box(node, block);
}

// ---- the state-based flow's nodes --------------------------------------------------------------------

#define VOKR_REFUSE_VISIT(VISIT, NODE) \
    void VOKR_ADVANCED_TRIGGER_TREE_GENERATOR::VISIT(NODE*) { VOKR_INTERNAL_ERROR("Invalid visiting object"); }

VOKR_REFUSE_VISIT(visit_state_machine, RUV_FLOW_STATE_MACHINE)
VOKR_REFUSE_VISIT(visit_state, RUV_FLOW_STATE)
VOKR_REFUSE_VISIT(visit_block, RUV_FLOW_BLOCK)
VOKR_REFUSE_VISIT(visit_if, RUV_FLOW_IF)
VOKR_REFUSE_VISIT(visit_goto, RUV_FLOW_GOTO)
VOKR_REFUSE_VISIT(visit_trigger, RUV_FLOW_TRIGGER)
VOKR_REFUSE_VISIT(visit_segment_trigger, RUV_FLOW_SEGMENT_TRIGGER)
VOKR_REFUSE_VISIT(visit_start_store, RUV_FLOW_START_STORE)
VOKR_REFUSE_VISIT(visit_stop_store, RUV_FLOW_STOP_STORE)
VOKR_REFUSE_VISIT(visit_counter_action, RUV_FLOW_COUNTER_ACTION)
VOKR_REFUSE_VISIT(visit_flag_action, RUV_FLOW_FLAG_ACTION)
VOKR_REFUSE_VISIT(visit_condition, RUV_FLOW_CONDITION)
VOKR_REFUSE_VISIT(visit_counter_test, RUV_FLOW_COUNTER_TEST)
VOKR_REFUSE_VISIT(visit_flag_test, RUV_FLOW_FLAG_TEST)
#undef VOKR_REFUSE_VISIT
