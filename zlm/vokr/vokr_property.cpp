#include "vokr_property.h"

#include "vokr_assert.h"
#include "vokr_object.h"

#include <iterator>

const VOKR_STRING_PROPERTY_DESCRIPTOR vokr_string_property_table[VOKR_STRING_PROPERTY_COUNT] = {
    {VOKR_STRING_NAME, "name", "", false, false},
    {VOKR_STRING_ALIAS, "alias", "", false, false},
    {VOKR_STRING_PATTERN, "pattern", "Edge & Level Detector Pattern", true, false},
    {VOKR_STRING_BUS_NAME, "bus_name", "Bus Name", false, false},
    {VOKR_STRING_BUS_VALUE, "bus_value", "Bus Value", true, true},
    {VOKR_STRING_MNEMONIC_TABLE, "mnemonic_table", "Mnemonic Table", true, true},
    {VOKR_STRING_MODULE_NAME, "module_name", "Custom HDL Module Name", false, false},
    {VOKR_STRING_CONFIG_BITSTREAM, "config_bitstream", "Configuration Bitstream", true, false},
};

const VOKR_INT_PROPERTY_DESCRIPTOR vokr_int_property_table[VOKR_INT_PROPERTY_COUNT] = {
    {VOKR_INT_SELECTED, "selected", "", 0, false, false},
    {VOKR_INT_EXPANDED, "expanded", "", 0, false, false},
    {VOKR_INT_FIRST_PORT_EMPTY, "first_port_empty", "", 0, false, false},
    {VOKR_INT_TOP, "top", "", 0, false, false},
    {VOKR_INT_LEFT, "left", "", 0, false, false},
    {VOKR_INT_CONFIGURABLE, "configurable", "", 0, false, false},
    {VOKR_INT_TYPE, "type", "Object Type", 0, false, false},
    {VOKR_INT_DISPLAY_FORMAT, "display_format", "Bus Value Radix", 1, true, false},
    {VOKR_INT_BIT_ORDER, "bit_order", "Bit Order", 0, false, false},
    {VOKR_INT_BIT_VALUE, "bit_value", "Bit Value", 0, true, true},
    {VOKR_INT_COMPARISON, "comparison", "Comparison Type", 2, true, true},
    {VOKR_INT_SIGNED_COMPARISON, "signed_comparison", "Signed/Unsigned Type", 0, false, false},
    {VOKR_INT_BITWISE, "bitwise", "Bitwise Operator Type", 1, false, false},
    {VOKR_INT_LOGICAL, "logical", "Logical Operator Type", 1, false, false},
    {VOKR_INT_REDUCTION, "reduction", "Reduction Operator Type", 1, false, false},
    {VOKR_INT_SHIFT_DISTANCE, "shift_distance", "Shift Distance", 0, true, false},
    {VOKR_INT_SHIFT_DIRECTION, "shift_direction", "Shift Direction", 0, true, false},
    {VOKR_INT_SHIFT_TYPE, "shift_type", "Shift Type", 0, false, false},
    {VOKR_INT_PIPELINE_LENGTH, "pipeline_length", "Pipeline", 0, false, false},
    {VOKR_INT_DATA_DELAY, "data_delay", "Data Delay", 0, false, false},
    {VOKR_INT_COUNTER_VALUE, "counter_value", "Counter Value", 1, true, false},
    {VOKR_INT_MAX_COUNTER_VALUE, "max_counter_value", "Max Counter Value", 255, false, false},
    {VOKR_INT_COUNTER_TYPE, "counter_type", "Counter Type", 1, true, false},
    {VOKR_INT_COUNTER_HOLD, "counter_hold", "Counter Hold", 0, true, false},
};

const uint32_t vokr_property_mask_by_type[VOKR_OBJECT_TYPE_COUNT] = {
    0x00000000, 0x00000000, 0x00000000, 0x04000004, 0x08000000, 0x08010008, 0x00020000, 0x00008010,
    0x040C0000, 0x00100000, 0x00200000, 0x00400000, 0x03800000, 0xF0000000, 0x040000C0,
};

namespace {

constexpr const char* POWER_UP_PREFIX = "powerup_";
constexpr int POWER_UP_PREFIX_LENGTH = 8;

// The properties whose constructor state is a blank value rather than their default.
bool starts_blank(int id)
{
    return id == VOKR_INT_SHIFT_DISTANCE || id == VOKR_INT_DATA_DELAY || id == VOKR_INT_COUNTER_VALUE;
}

template <int N> constexpr VOKR_WORD_TABLE words(const char* const (&list)[N]) { return {list, N}; }

const char* const TYPE_WORDS[] = {"Unknown",
                                  "Condition for Incrementally Routed Nodes",
                                  "Advanced Trigger Level Result",
                                  "Edge & Level Detector",
                                  "Node",
                                  "Bus",
                                  "Bit Value",
                                  "Bus Value",
                                  "Comparison Operator",
                                  "Bitwise Operator",
                                  "Logical Operator",
                                  "Reduction Operator",
                                  "Shift Operator",
                                  "Counter Operator",
                                  "Custom Trigger HDL"};
const char* const DISPLAY_FORMAT_WORDS[] = {"Hexadecimal", "Decimal", "Octal", "Binary", "8-bit ASCII"};
const char* const BIT_ORDER_WORDS[] = {"MSB to LSB", "LSB to MSB"};
const char* const BIT_VALUE_WORDS[] = {"True", "False"};
const char* const COMPARISON_WORDS[] = {
    "Less Than", "Less Than or Equal To", "Equality", "Inequality", "Greater Than or Equal To", "Greater Than", "True",
    "False"};
const char* const SIGNED_COMPARISON_WORDS[] = {"Unsigned Comparison", "Signed Comparison"};
const char* const BITWISE_WORDS[] = {"Bitwise Complement", "Bitwise And", "Bitwise Or", "Bitwise Xor"};
const char* const LOGICAL_WORDS[] = {"Logical Not", "Logical And", "Logical Or", "Logical Xor"};
const char* const REDUCTION_WORDS[] = {"Reduction And", "Reduction Or", "Reduction Xor"};
const char* const SHIFT_DIRECTION_WORDS[] = {"Left", "Right"};
const char* const SHIFT_TYPE_WORDS[] = {"Logical", "Rotate", "Arithmetic"};
const char* const COUNTER_TYPE_WORDS[] = {"Continuous", "Event", "State"};
const char* const COUNTER_HOLD_WORDS[] = {"Yes", "No"};

const VOKR_WORD_TABLE WORD_TABLES[] = {
    words(TYPE_WORDS),         words(DISPLAY_FORMAT_WORDS),    words(BIT_ORDER_WORDS),  words(BIT_VALUE_WORDS),
    words(COMPARISON_WORDS),   words(SIGNED_COMPARISON_WORDS), words(BITWISE_WORDS),    words(LOGICAL_WORDS),
    words(REDUCTION_WORDS),    words(SHIFT_DIRECTION_WORDS),   words(SHIFT_TYPE_WORDS), words(COUNTER_TYPE_WORDS),
    words(COUNTER_HOLD_WORDS),
};

// The property each word table belongs to, in the order of WORD_TABLES.
constexpr int ENUMERATED[] = {
    VOKR_INT_TYPE,        VOKR_INT_DISPLAY_FORMAT,    VOKR_INT_BIT_ORDER,  VOKR_INT_BIT_VALUE,
    VOKR_INT_COMPARISON,  VOKR_INT_SIGNED_COMPARISON, VOKR_INT_BITWISE,    VOKR_INT_LOGICAL,
    VOKR_INT_REDUCTION,   VOKR_INT_SHIFT_DIRECTION,   VOKR_INT_SHIFT_TYPE, VOKR_INT_COUNTER_TYPE,
    VOKR_INT_COUNTER_HOLD};
static_assert(std::size(ENUMERATED) == std::size(WORD_TABLES), "one word table per enumerated property");

void check_bank(int bank) { VOKR_ASSERT(bank >= VOKR_BANK_POWER_UP && bank <= VOKR_BANK_CURRENT); }

}  // namespace

const VOKR_WORD_TABLE* vokr_int_property_words(int id)
{
    for (size_t i = 0; i < std::size(ENUMERATED); ++i)
        if (ENUMERATED[i] == id)
            return &WORD_TABLES[i];
    return nullptr;
}

// ---- construction and merging ----------------------------------------------------------------

VOKR_PROPERTY::VOKR_PROPERTY()
{
    for (auto& bank : m_int_slot)
        for (int id = 0; id < VOKR_INT_PROPERTY_COUNT; ++id)
            bank[id] = {vokr_int_property_table[id].default_value, starts_blank(id), true};
    for (auto& bank : m_string_slot)
        for (auto& slot : bank)
            slot = {QString(), false};
}

VOKR_PROPERTY::~VOKR_PROPERTY() = default;

VOKR_PROPERTY& VOKR_PROPERTY::operator=(const VOKR_PROPERTY& other)
{
    if (&other == this)
        return *this;
    for (int bank = 0; bank < 2; ++bank) {
        for (int id = 0; id < VOKR_INT_PROPERTY_COUNT; ++id) {
            const VOKR_INT_SLOT& from = other.m_int_slot[bank][id];
            if (from.set)
                m_int_slot[bank][id] = {from.value, from.blank, true};
        }
        for (int id = 0; id < VOKR_STRING_PROPERTY_COUNT; ++id) {
            const VOKR_STRING_SLOT& from = other.m_string_slot[bank][id];
            if (from.set)
                m_string_slot[bank][id] = {from.text, true};
        }
    }
    return *this;
}

// ---- banks -------------------------------------------------------------------------------------

// Bank 2 reaches the power-up bank for a run-time property (an object-dependent one only on a
// variable box) while the owning box shows the power-up trigger.
bool VOKR_PROPERTY::reaches_power_up(bool runtime, bool object_dependent) const
{
    if (!runtime)
        return false;
    if (object_dependent && m_int_slot[VOKR_BANK_NORMAL][VOKR_INT_CONFIGURABLE].value != 0)
        return false;
    VOKR_ASSERT(this->m_parent != NULL);
    return m_parent->is_power_up_view();
}

int VOKR_PROPERTY::get_int_bank(int id, int bank) const
{
    VOKR_ASSERT(id >= 0 && id < VOKR_INT_PROPERTY_COUNT);
    check_bank(bank);
    if (bank != VOKR_BANK_CURRENT)
        return bank;
    const VOKR_INT_PROPERTY_DESCRIPTOR& d = vokr_int_property_table[id];
    return reaches_power_up(d.is_runtime, d.is_object_dependent) ? VOKR_BANK_POWER_UP : VOKR_BANK_NORMAL;
}

int VOKR_PROPERTY::get_string_bank(int id, int bank) const
{
    VOKR_ASSERT(id >= 0 && id < VOKR_STRING_PROPERTY_COUNT);
    check_bank(bank);
    if (bank != VOKR_BANK_CURRENT)
        return bank;
    const VOKR_STRING_PROPERTY_DESCRIPTOR& d = vokr_string_property_table[id];
    return reaches_power_up(d.is_runtime, d.is_object_dependent) ? VOKR_BANK_POWER_UP : VOKR_BANK_NORMAL;
}

VOKR_INT_SLOT& VOKR_PROPERTY::get_int_slot(int id, int bank) { return m_int_slot[get_int_bank(id, bank)][id]; }

const VOKR_INT_SLOT& VOKR_PROPERTY::get_int_value(int id, int bank) const
{
    return m_int_slot[get_int_bank(id, bank)][id];
}

VOKR_STRING_SLOT& VOKR_PROPERTY::get_string_slot(int id, int bank)
{
    return m_string_slot[get_string_bank(id, bank)][id];
}

const VOKR_STRING_SLOT& VOKR_PROPERTY::get_string_value(int id, int bank) const
{
    return m_string_slot[get_string_bank(id, bank)][id];
}

// ---- values ------------------------------------------------------------------------------------

bool VOKR_PROPERTY::get(int id, int* value) const
{
    const VOKR_INT_SLOT& slot = get_int_value(id, VOKR_BANK_CURRENT);
    if (!slot.set)
        return false;
    *value = slot.value;
    return true;
}

void VOKR_PROPERTY::set(int id, int value, int bank) { get_int_slot(id, bank) = {value, false, true}; }

bool VOKR_PROPERTY::set_setting(int id, const QString& text, int bank)
{
    VOKR_INT_SLOT& slot = get_int_slot(id, bank);
    slot.blank = false;
    if (const VOKR_WORD_TABLE* table = vokr_int_property_words(id)) {
        for (int row = 0; row < table->count; ++row) {
            if (text == QLatin1String(table->words[row])) {
                slot = {row, false, true};
                return true;
            }
        }
        return false;
    }
    if (text.isEmpty()) {
        slot = {0, true, true};
        return true;
    }
    // A text that is not a base-10 number reads as 0.
    slot = {text.toInt(nullptr, 10), false, true};
    return true;
}

bool VOKR_PROPERTY::set_setting_string(int id, const QString& text, int bank)
{
    get_string_slot(id, bank) = {text, true};
    return true;
}

bool VOKR_PROPERTY::set_configurable(bool runtime)
{
    set(VOKR_INT_CONFIGURABLE, runtime ? 0 : 1, VOKR_BANK_NORMAL);
    return true;
}

bool VOKR_PROPERTY::duplicate_trigger(bool to_power_up)
{
    const int from = to_power_up ? VOKR_BANK_NORMAL : VOKR_BANK_POWER_UP;
    const int to = to_power_up ? VOKR_BANK_POWER_UP : VOKR_BANK_NORMAL;
    for (int id = 0; id < VOKR_INT_PROPERTY_COUNT; ++id)
        if (vokr_int_property_table[id].is_runtime)
            m_int_slot[to][id] = m_int_slot[from][id];
    for (int id = 0; id < VOKR_STRING_PROPERTY_COUNT; ++id)
        if (vokr_string_property_table[id].is_runtime)
            m_string_slot[to][id] = m_string_slot[from][id];
    return true;
}

void VOKR_PROPERTY::unify(const VOKR_PROPERTY& other)
{
    const uint32_t mask = other.type_mask();
    if (!m_unified) {
        m_unify_mask = mask;
        *this = other;
        m_unified = true;
        return;
    }
    m_unify_mask &= mask;
    for (int id = 0; id < VOKR_STRING_PROPERTY_COUNT; ++id) {
        VOKR_STRING_SLOT& mine = get_string_slot(id, VOKR_BANK_CURRENT);
        const VOKR_STRING_SLOT& theirs = other.get_string_value(id, VOKR_BANK_CURRENT);
        if (!(mine.set && theirs.set && mine.text == theirs.text))
            mine = {QString(), false};
    }
    for (int id = 0; id < VOKR_INT_PROPERTY_COUNT; ++id) {
        VOKR_INT_SLOT& mine = get_int_slot(id, VOKR_BANK_CURRENT);
        const VOKR_INT_SLOT& theirs = other.get_int_value(id, VOKR_BANK_CURRENT);
        if (!(mine.set && theirs.set && mine.value == theirs.value)) {
            mine.value = vokr_int_property_table[id].default_value;
            mine.set = false;
        }
    }
}

// ---- texts for the parameter grid --------------------------------------------------------------

bool VOKR_PROPERTY::get_configurable_int_text(int id, QString* text) const
{
    VOKR_ASSERT(id >= 0 && id < VOKR_INT_PROPERTY_COUNT);
    const VOKR_INT_PROPERTY_DESCRIPTOR& d = vokr_int_property_table[id];
    if (d.is_object_dependent)
        *text = (*this)[VOKR_INT_CONFIGURABLE] == 0 ? "Yes" : "No";
    else
        *text = d.is_runtime ? "Always" : "Never";
    return true;
}

bool VOKR_PROPERTY::get_configurable_string_text(int id, QString* text) const
{
    VOKR_ASSERT(id >= 0 && id < VOKR_STRING_PROPERTY_COUNT);
    const VOKR_STRING_PROPERTY_DESCRIPTOR& d = vokr_string_property_table[id];
    if (d.is_object_dependent)
        *text = (*this)[VOKR_INT_CONFIGURABLE] == 0 ? "Yes" : "No";
    else
        *text = d.is_runtime ? "Always" : "Never";
    return true;
}

// The mask of the normal-bank type; a type outside the table uses no property.
uint32_t VOKR_PROPERTY::type_mask() const
{
    const int type = m_int_slot[VOKR_BANK_NORMAL][VOKR_INT_TYPE].value;
    return type >= 0 && type < VOKR_OBJECT_TYPE_COUNT ? vokr_property_mask_by_type[type] : 0;
}

bool VOKR_PROPERTY::is_used_int(int id) const
{
    const uint32_t mask = m_int_slot[VOKR_BANK_NORMAL][VOKR_INT_TYPE].value == 0 ? m_unify_mask : type_mask();
    return (mask & vokr_int_property_bit(id)) != 0;
}

bool VOKR_PROPERTY::is_used_string(int id) const
{
    const uint32_t mask = m_int_slot[VOKR_BANK_NORMAL][VOKR_INT_TYPE].value == 0 ? m_unify_mask : type_mask();
    return (mask & vokr_string_property_bit(id)) != 0;
}

// ---- persisted attributes ------------------------------------------------------------------------

void VOKR_PROPERTY::set_by_key(const QString& key, const QString& value)
{
    const bool power_up = key.startsWith(QLatin1String(POWER_UP_PREFIX));
    const QString name = power_up ? key.mid(POWER_UP_PREFIX_LENGTH) : key;
    const int bank = power_up ? VOKR_BANK_POWER_UP : VOKR_BANK_NORMAL;
    for (const auto& d : vokr_string_property_table) {
        if (name == QLatin1String(d.key)) {
            set_setting_string(d.id, value, bank);
            return;
        }
    }
    for (const auto& d : vokr_int_property_table) {
        if (name == QLatin1String(d.key)) {
            set_setting(d.id, value, bank);  // an unknown word leaves the slot as it was
            return;
        }
    }
}
