// The parameters of one advanced-trigger box: 24 integer and 8 string properties, each kept in
// a power-up bank (the values the instance's power-up trigger uses) and a normal bank. Two
// constant descriptor tables give every property its persisted key, its label in the editor's
// parameter grid, its default and the two flags that decide which bank an access through the
// current bank reaches. The same tables and the word tables of the enumerated properties drive
// the persisted attributes, the parameter grid and the expression text.
#pragma once

#include <QString>

#include <cstdint>

class VOKR_OBJECT;

// String property identifiers: rows of vokr_string_property_table.
enum VOKR_STRING_PROPERTY : int {
    VOKR_STRING_NAME = 0,
    VOKR_STRING_ALIAS = 1,
    VOKR_STRING_PATTERN = 2,
    VOKR_STRING_BUS_NAME = 3,
    VOKR_STRING_BUS_VALUE = 4,
    VOKR_STRING_MNEMONIC_TABLE = 5,
    VOKR_STRING_MODULE_NAME = 6,
    VOKR_STRING_CONFIG_BITSTREAM = 7,
    VOKR_STRING_PROPERTY_COUNT = 8
};

// Integer property identifiers: rows of vokr_int_property_table.
enum VOKR_INT_PROPERTY : int {
    VOKR_INT_SELECTED = 0,
    VOKR_INT_EXPANDED = 1,
    VOKR_INT_FIRST_PORT_EMPTY = 2,
    VOKR_INT_TOP = 3,
    VOKR_INT_LEFT = 4,
    VOKR_INT_CONFIGURABLE = 5,  // 0 "Variable" (changeable at run time), 1 "Constant"
    VOKR_INT_TYPE = 6,          // VOKR_OBJECT_TYPE
    VOKR_INT_DISPLAY_FORMAT = 7,
    VOKR_INT_BIT_ORDER = 8,
    VOKR_INT_BIT_VALUE = 9,
    VOKR_INT_COMPARISON = 10,
    VOKR_INT_SIGNED_COMPARISON = 11,
    VOKR_INT_BITWISE = 12,
    VOKR_INT_LOGICAL = 13,
    VOKR_INT_REDUCTION = 14,
    VOKR_INT_SHIFT_DISTANCE = 15,
    VOKR_INT_SHIFT_DIRECTION = 16,
    VOKR_INT_SHIFT_TYPE = 17,
    VOKR_INT_PIPELINE_LENGTH = 18,
    VOKR_INT_DATA_DELAY = 19,
    VOKR_INT_COUNTER_VALUE = 20,
    VOKR_INT_MAX_COUNTER_VALUE = 21,
    VOKR_INT_COUNTER_TYPE = 22,
    VOKR_INT_COUNTER_HOLD = 23,
    VOKR_INT_PROPERTY_COUNT = 24
};

// Values of the enumerated properties that the code itself tests (rows of their word tables).
enum VOKR_DISPLAY_FORMAT : int {
    VOKR_FORMAT_HEXADECIMAL = 0,
    VOKR_FORMAT_DECIMAL = 1,
    VOKR_FORMAT_OCTAL = 2,
    VOKR_FORMAT_BINARY = 3,
    VOKR_FORMAT_ASCII = 4
};
enum VOKR_COMPARISON : int {
    VOKR_COMPARISON_LESS_THAN = 0,
    VOKR_COMPARISON_LESS_THAN_OR_EQUAL_TO = 1,
    VOKR_COMPARISON_EQUALITY = 2,
    VOKR_COMPARISON_INEQUALITY = 3,
    VOKR_COMPARISON_GREATER_THAN_OR_EQUAL_TO = 4,
    VOKR_COMPARISON_GREATER_THAN = 5,
    VOKR_COMPARISON_TRUE = 6,
    VOKR_COMPARISON_FALSE = 7,
    VOKR_COMPARISON_COUNT = 8
};

// Bank numbers of every operation that takes one.
enum VOKR_PROPERTY_BANK : int { VOKR_BANK_POWER_UP = 0, VOKR_BANK_NORMAL = 1, VOKR_BANK_CURRENT = 2 };

struct VOKR_STRING_PROPERTY_DESCRIPTOR {
    int id;
    const char* key;           // the persisted key
    const char* label;         // the name in the parameter grid; empty for properties it never lists
    bool is_runtime;           // changeable at run time, so it has a power-up value of its own
    bool is_object_dependent;  // run-time changeable only while the box's `configurable` is 0
};

struct VOKR_INT_PROPERTY_DESCRIPTOR {
    int id;
    const char* key;
    const char* label;
    int32_t default_value;
    bool is_runtime;
    bool is_object_dependent;
};

extern const VOKR_STRING_PROPERTY_DESCRIPTOR vokr_string_property_table[VOKR_STRING_PROPERTY_COUNT];
extern const VOKR_INT_PROPERTY_DESCRIPTOR vokr_int_property_table[VOKR_INT_PROPERTY_COUNT];

// Which properties apply to each object type: bit k for string property k, bit 8 + k for
// integer property k.
constexpr int VOKR_OBJECT_TYPE_COUNT = 15;
extern const uint32_t vokr_property_mask_by_type[VOKR_OBJECT_TYPE_COUNT];
constexpr uint32_t vokr_string_property_bit(int id) { return uint32_t(1) << id; }
constexpr uint32_t vokr_int_property_bit(int id) { return uint32_t(1) << (8 + id); }

// The words of an enumerated integer property: row r is the word of value r. Shown, persisted
// and read back alike, compared exactly.
struct VOKR_WORD_TABLE {
    const char* const* words;
    int count;
    const char* word(int value) const { return value >= 0 && value < count ? words[value] : nullptr; }
};
// Null for the decimal properties.
const VOKR_WORD_TABLE* vokr_int_property_words(int id);

struct VOKR_INT_SLOT {
    int32_t value;
    bool blank;  // given as an empty text: no value when shown or persisted
    bool set;
};

struct VOKR_STRING_SLOT {
    QString text;
    bool set;
};

class VOKR_PROPERTY {
public:
    // Both banks at the defaults, set and not blank, except shift_distance, data_delay and
    // counter_value, which are blank; strings empty and not set.
    VOKR_PROPERTY();
    virtual ~VOKR_PROPERTY();
    VOKR_PROPERTY(const VOKR_PROPERTY&) = delete;
    // Merge: every slot set in `other` (both banks) is copied and marked set here; slots not
    // set there stay as they are.
    VOKR_PROPERTY& operator=(const VOKR_PROPERTY& other);

    // The box whose view context chooses the current bank; it must be set before a run-time
    // property is reached through bank 2.
    VOKR_OBJECT* get_parent() const { return m_parent; }
    void set_parent(VOKR_OBJECT* parent) { m_parent = parent; }
    uint32_t get_unify_mask() const { return m_unify_mask; }
    bool is_unified() const { return m_unified; }

    // ---- slots (bank 0 power-up, 1 normal, 2 current) ----
    VOKR_INT_SLOT& get_int_slot(int id, int bank);
    const VOKR_INT_SLOT& get_int_value(int id, int bank) const;
    VOKR_STRING_SLOT& get_string_slot(int id, int bank);
    const VOKR_STRING_SLOT& get_string_value(int id, int bank) const;
    // The bank that an access to a property with bank 2 reaches.
    int get_int_bank(int id, int bank) const;
    int get_string_bank(int id, int bank) const;

    // The value in the current bank, whatever its flags.
    int operator[](int id) const { return get_int_value(id, VOKR_BANK_CURRENT).value; }
    // The current-bank value when the slot is set (a blank slot counts as set).
    bool get(int id, int* value) const;
    // Stores a value, marked set and not blank.
    void set(int id, int value, int bank);
    // Stores an integer property from its text: an enumerated one by its word (false, and the
    // slot keeps its value and set flag, for any other text); a decimal one by its digits, an
    // empty text storing a blank 0.
    bool set_setting(int id, const QString& text, int bank);
    bool set_setting_string(int id, const QString& text, int bank);
    // `configurable` = 0 for a run-time changeable box, 1 for a fixed one (normal bank).
    bool set_configurable(bool runtime);
    // Copies every run-time property from the normal bank to the power-up bank, or back.
    bool duplicate_trigger(bool to_power_up);
    // Merges one more selected box into a dialog's block: the first fills it and takes its
    // type's mask; each further one narrows the mask and unsets every slot in which the boxes
    // differ (integers back to their default, strings empty).
    void unify(const VOKR_PROPERTY& other);
    // "Always"/"Never" by the run-time flag; for an object-dependent property "Yes" on a
    // variable box and "No" on a constant one.
    bool get_configurable_int_text(int id, QString* text) const;
    bool get_configurable_string_text(int id, QString* text) const;
    // Whether a property applies to the block's type; a block of type 0 (a merged selection of
    // several types) uses its merged mask.
    bool is_used_int(int id) const;
    bool is_used_string(int id) const;
    // Stores one persisted attribute: "powerup_" + key for the power-up bank, the bare key for
    // the normal bank; keys of neither table and unknown words are ignored.
    void set_by_key(const QString& key, const QString& value);

private:
    bool reaches_power_up(bool runtime, bool object_dependent) const;
    uint32_t type_mask() const;

    VOKR_INT_SLOT m_int_slot[2][VOKR_INT_PROPERTY_COUNT];
    VOKR_STRING_SLOT m_string_slot[2][VOKR_STRING_PROPERTY_COUNT];
    uint32_t m_unify_mask = 0;
    bool m_unified = false;
    VOKR_OBJECT* m_parent = nullptr;
};
