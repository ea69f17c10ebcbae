// The draw kinds of a box with their symbol, name, keyword and port tables, and the palette.
#include "vokr_object.h"

#include <iterator>

namespace {

constexpr int U = VOKR_UNBOUNDED_INPUTS;
constexpr VOKR_SIGNAL_KIND BIT = VOKR_SIGNAL_BIT;
constexpr VOKR_SIGNAL_KIND BUS = VOKR_SIGNAL_BUS;
constexpr VOKR_SIGNAL_KIND NONE = VOKR_SIGNAL_NONE;

}  // namespace

// The eight kinds of one comparison group, in `comparison` order; the True and False kinds
// print "1"/"0" in the constant groups and "TRUE"/"FALSE" in the variable ones.
// clang-format off
#define VOKR_COMPARISON_GROUP(PREFIX, TRUE_WORD, FALSE_WORD)               \
    {"<", PREFIX "Less Than", "<", 2, BUS, BIT},                           \
    {"<=", PREFIX "Less Than or Equal To", "<=", 2, BUS, BIT},             \
    {"=", PREFIX "Equality", "==", 2, BUS, BIT},                           \
    {"!=", PREFIX "Inequality", "!=", 2, BUS, BIT},                        \
    {">=", PREFIX "Greater Than or Equal To", ">=", 2, BUS, BIT},          \
    {">", PREFIX "Greater Than", ">", 2, BUS, BIT},                        \
    {"True", PREFIX "True", TRUE_WORD, 2, BUS, BIT},                       \
    {"False", PREFIX "False", FALSE_WORD, 2, BUS, BIT}
// clang-format on

const VOKR_KIND_ROW vokr_kind_table[VOKR_DRAW_KIND_COUNT] = {
    {"", "Unknown", "", 0, NONE, NONE},
    {"CIRN", "Condition for Incrementally Routed Nodes", "imbpm", 0, NONE, BIT},
    {"Result", "Advanced Trigger Level Result", "", 1, BIT, NONE},
    {"ELD", "Edge and Level Detector", "mbpm", U, BUS, BIT},
    {"Node", "Node", "", 0, NONE, BIT},
    {"Bus", "Bus", "", U, BUS, BUS},
    {"True", "Constant High", "1", 0, NONE, BIT},
    {"False", "Constant Low", "0", 0, NONE, BIT},
    {"True", "Variable High", "variable", 0, NONE, BIT},
    {"False", "Variable Low", "variable", 0, NONE, BIT},
    {"Constant", "Constant Bus Value", "", 0, NONE, BUS},
    {"Variable", "Variable Bus Value", "variable", 0, NONE, BUS},
    VOKR_COMPARISON_GROUP("Constant Unsigned ", "1", "0"),
    VOKR_COMPARISON_GROUP("Variable Unsigned ", "TRUE", "FALSE"),
    VOKR_COMPARISON_GROUP("Constant Signed ", "1", "0"),
    VOKR_COMPARISON_GROUP("Variable Signed ", "TRUE", "FALSE"),
    {"~", "Bitwise Complement", "~", 1, BUS, BUS},
    {"&", "Bitwise And", "&", 2, BUS, BUS},
    {"|", "Bitwise Or", "|", 2, BUS, BUS},
    {"^", "Bitwise Xor", "^", 2, BUS, BUS},
    {"!", "Logical Not", "!", 1, BIT, BIT},
    {"&&", "Logical And", "and", U, BIT, BIT},
    {"||", "Logical Or", "or", U, BIT, BIT},
    {"^^", "Logical Xor", "xor", U, BIT, BIT},
    {"&", "Reduction And", "&", 1, BUS, BIT},
    {"|", "Reduction Or", "|", 1, BUS, BIT},
    {"^", "Reduction Xor", "^", 1, BUS, BIT},
    {"<<", "Logical Left Shift", "shift", 1, BUS, BUS},
    {">>", "Logical Right Shift", "shift", 1, BUS, BUS},
    {"<<", "Rotate Left Shift", "shift", 1, BUS, BUS},
    {">>", "Rotate Right Shift", "shift", 1, BUS, BUS},
    {"<<", "Arithmetic Left Shift", "shift", 1, BUS, BUS},
    {">>", "Arithmetic Right Shift", "shift", 1, BUS, BUS},
    {"Counter", "Registered Continuous Counter", "ec", 1, BIT, BIT},
    {"Counter", "Registered Event Counter", "ec", 1, BIT, BIT},
    {"Counter", "Registered State Counter", "ec", 1, BIT, BIT},
    {"Counter", "Dynamic Continuous Counter", "ec", 1, BIT, BIT},
    {"Counter", "Dynamic Event Counter", "ec", 1, BIT, BIT},
    {"Counter", "Dynamic State Counter", "ec", 1, BIT, BIT},
    {"HDL", "Custom Trigger HDL", "mnd_custom_trigger_hdl", 1, BUS, BIT},
};
#undef VOKR_COMPARISON_GROUP

// ---- draw kind ---------------------------------------------------------------------------------------

namespace {

// `first` + `value` when `value` lies in 0..count-1, else the unknown kind.
int in_group(int first, int value, int count)
{
    return value >= 0 && value < count ? first + value : VOKR_KIND_UNKNOWN;
}

}  // namespace

int VOKR_OBJECT::get_draw_kind() const
{
    const VOKR_PROPERTY& p = m_property;
    const int type = p[VOKR_INT_TYPE];
    switch (type) {
    case VOKR_TYPE_UNKNOWN:
    case VOKR_TYPE_CIRN:
    case VOKR_TYPE_RESULT:
    case VOKR_TYPE_ELD:
    case VOKR_TYPE_NODE:
    case VOKR_TYPE_BUS: return type;
    case VOKR_TYPE_BIT_VALUE:
        return VOKR_KIND_CONSTANT_HIGH + (p[VOKR_INT_BIT_VALUE] == 0 ? 0 : 1) +
               (p[VOKR_INT_CONFIGURABLE] != 0 ? 0 : VOKR_KIND_VARIABLE_HIGH - VOKR_KIND_CONSTANT_HIGH);
    case VOKR_TYPE_BUS_VALUE:
        return p[VOKR_INT_CONFIGURABLE] != 0 ? VOKR_KIND_CONSTANT_BUS_VALUE : VOKR_KIND_VARIABLE_BUS_VALUE;
    case VOKR_TYPE_COMPARISON: {
        const bool is_signed = p[VOKR_INT_SIGNED_COMPARISON] == 1;
        const bool constant = p[VOKR_INT_CONFIGURABLE] != 0;
        const int first =
            is_signed ? (constant ? VOKR_KIND_CONSTANT_SIGNED_COMPARISON : VOKR_KIND_VARIABLE_SIGNED_COMPARISON)
                      : (constant ? VOKR_KIND_CONSTANT_UNSIGNED_COMPARISON : VOKR_KIND_VARIABLE_UNSIGNED_COMPARISON);
        return in_group(first, p[VOKR_INT_COMPARISON], VOKR_COMPARISON_COUNT);
    }
    case VOKR_TYPE_BITWISE: return in_group(VOKR_KIND_BITWISE, p[VOKR_INT_BITWISE], 4);
    case VOKR_TYPE_LOGICAL: return in_group(VOKR_KIND_LOGICAL, p[VOKR_INT_LOGICAL], 4);
    case VOKR_TYPE_REDUCTION: return in_group(VOKR_KIND_REDUCTION, p[VOKR_INT_REDUCTION], 3);
    case VOKR_TYPE_SHIFT: {
        const int kind = in_group(VOKR_KIND_SHIFT, 2 * p[VOKR_INT_SHIFT_TYPE], 6);
        return kind == VOKR_KIND_UNKNOWN || p[VOKR_INT_SHIFT_DIRECTION] == 0 ? kind : kind + 1;
    }
    case VOKR_TYPE_COUNTER:
        return in_group(p[VOKR_INT_COUNTER_HOLD] == 0 ? VOKR_KIND_REGISTERED_COUNTER : VOKR_KIND_DYNAMIC_COUNTER,
                        p[VOKR_INT_COUNTER_TYPE], 3);
    case VOKR_TYPE_CUSTOM_HDL: return VOKR_KIND_CUSTOM_HDL;
    default: return VOKR_KIND_UNKNOWN;
    }
}

// ---- palette -----------------------------------------------------------------------------------------

const char* const vokr_library_item_names[VOKR_LIBRARY_ITEM_COUNT] = {
    "Edge & Level Detector",
    "Bit Value",
    "Bus Value",
    "Bus",
    "Less Than",
    "Less Than or Equal To",
    "Equality",
    "Inequality",
    "Greater Than or Equal To",
    "Greater Than",
    "Bitwise Complement",
    "Bitwise And",
    "Bitwise Or",
    "Bitwise Xor",
    "Logical Not",
    "Logical And",
    "Logical Or",
    "Logical Xor",
    "Reduction And",
    "Reduction Or",
    "Reduction Xor",
    "Left Shift",
    "Right Shift",
    "Continuous Counter",
    "Event Counter",
    "State Counter",
    "Custom Trigger HDL",
};

namespace {

// What a palette entry sets besides the type: up to two properties (id -1 for none).
struct LIBRARY_ITEM {
    int type;
    int first_id;
    int first_value;
    int second_id;
    int second_value;
};

constexpr LIBRARY_ITEM LIBRARY_ITEMS[VOKR_LIBRARY_ITEM_COUNT] = {
    {VOKR_TYPE_ELD, -1, 0, -1, 0},
    {VOKR_TYPE_BIT_VALUE, VOKR_INT_BIT_VALUE, 0, -1, 0},
    {VOKR_TYPE_BUS_VALUE, -1, 0, -1, 0},
    {VOKR_TYPE_BUS, -1, 0, -1, 0},
    {VOKR_TYPE_COMPARISON, VOKR_INT_COMPARISON, 0, -1, 0},
    {VOKR_TYPE_COMPARISON, VOKR_INT_COMPARISON, 1, -1, 0},
    {VOKR_TYPE_COMPARISON, VOKR_INT_COMPARISON, 2, -1, 0},
    {VOKR_TYPE_COMPARISON, VOKR_INT_COMPARISON, 3, -1, 0},
    {VOKR_TYPE_COMPARISON, VOKR_INT_COMPARISON, 4, -1, 0},
    {VOKR_TYPE_COMPARISON, VOKR_INT_COMPARISON, 5, -1, 0},
    {VOKR_TYPE_BITWISE, VOKR_INT_BITWISE, 0, -1, 0},
    {VOKR_TYPE_BITWISE, VOKR_INT_BITWISE, 1, -1, 0},
    {VOKR_TYPE_BITWISE, VOKR_INT_BITWISE, 2, -1, 0},
    {VOKR_TYPE_BITWISE, VOKR_INT_BITWISE, 3, -1, 0},
    {VOKR_TYPE_LOGICAL, VOKR_INT_LOGICAL, 0, -1, 0},
    {VOKR_TYPE_LOGICAL, VOKR_INT_LOGICAL, 1, -1, 0},
    {VOKR_TYPE_LOGICAL, VOKR_INT_LOGICAL, 2, -1, 0},
    {VOKR_TYPE_LOGICAL, VOKR_INT_LOGICAL, 3, -1, 0},
    {VOKR_TYPE_REDUCTION, VOKR_INT_REDUCTION, 0, -1, 0},
    {VOKR_TYPE_REDUCTION, VOKR_INT_REDUCTION, 1, -1, 0},
    {VOKR_TYPE_REDUCTION, VOKR_INT_REDUCTION, 2, -1, 0},
    {VOKR_TYPE_SHIFT, VOKR_INT_SHIFT_TYPE, 0, VOKR_INT_SHIFT_DIRECTION, 0},
    {VOKR_TYPE_SHIFT, VOKR_INT_SHIFT_TYPE, 0, VOKR_INT_SHIFT_DIRECTION, 1},
    {VOKR_TYPE_COUNTER, VOKR_INT_COUNTER_TYPE, 0, VOKR_INT_COUNTER_HOLD, 0},
    {VOKR_TYPE_COUNTER, VOKR_INT_COUNTER_TYPE, 1, VOKR_INT_COUNTER_HOLD, 0},
    {VOKR_TYPE_COUNTER, VOKR_INT_COUNTER_TYPE, 2, VOKR_INT_COUNTER_HOLD, 0},
    {VOKR_TYPE_CUSTOM_HDL, -1, 0, -1, 0},
};

}  // namespace

void VOKR_OBJECT::set_library_item(int index)
{
    if (index < 0 || index >= VOKR_LIBRARY_ITEM_COUNT)
        return;
    const LIBRARY_ITEM& item = LIBRARY_ITEMS[index];
    set_type(item.type);
    if (item.first_id >= 0)
        m_property.set(item.first_id, item.first_value, VOKR_BANK_CURRENT);
    if (item.second_id >= 0)
        m_property.set(item.second_id, item.second_value, VOKR_BANK_CURRENT);
}

void VOKR_OBJECT::set_type_by_name(const QString& name)
{
    for (int index = 0; index < VOKR_LIBRARY_ITEM_COUNT; ++index)
        if (name == QLatin1String(vokr_library_item_names[index]))
            set_library_item(index);
}
