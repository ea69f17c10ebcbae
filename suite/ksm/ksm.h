// Signal-data repository of the suite: the persistent and transactional model of a session
// (instances with their signal sets, triggers, node lists and data logs, mnemonic tables,
// attached programming files, stored window values and the module's object trees), its
// session file, and its undo.
//
// Every object the module holds a pointer to stays alive while the session or its undo
// history can still reach it. Texts are 8-bit (local encoding); a returned `const char*` stays
// valid until the next change of the object that returned it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QIODevice;

// Replaces the file at `path` with what `write` writes to the device it is given: the data goes to
// a new file beside it, which takes the name only once it and the folder are synced to the disk;
// on failure the file that was there stays and `reason` says why. The new file keeps the old
// one's owner, group and permissions. For every file the editor writes for a person.
bool ksm_replace_file(const std::string& path, const std::function<bool(QIODevice*)>& write, std::string* reason);

class RUV_ADVANCED_TRIGGER_FACTORY;
class KSM_DATA_MNEMONICS;
class KSM_DATA_SESSION;
class KSM_DATA_LOG;
class KSM_TX_SIGNAL_NODES;
class KSM_TX_SIGNAL_SET;
class KSM_TX_TRIGGER;
class KSM_TX_INSTANCE;
class KSM_TX_SESSION;
struct KSM_JOURNAL;

// ---- enumerations ---------------------------------------------------------------------------

enum KSM_DATA_TRIGGER_CONDITION : int {
    KSM_CTYPE_DISABLED = 0,
    KSM_CTYPE_ACTIVE_HIGH = 1,
    KSM_CTYPE_ACTIVE_LOW = 2,
    KSM_CTYPE_HIGH = 3,
    KSM_CTYPE_LOW = 4,
    KSM_CTYPE_RISING_EDGE = 5,
    KSM_CTYPE_FALLING_EDGE = 6,
    KSM_CTYPE_EITHER_EDGE = 7,
    KSM_CTYPE_DONT_CARE = 8,
    // Conditions of a whole group (bus) row: how its members' conditions combine into one on a
    // Basic OR or Comparison level (Equal, Not Equal and Any Bit over every leaf below).
    KSM_CTYPE_GROUP_EQUAL = 9,
    KSM_CTYPE_GROUP_AND = 10,
    KSM_CTYPE_GROUP_OR = 11,
    KSM_CTYPE_GROUP_NAND = 12,
    KSM_CTYPE_GROUP_NOR = 13,
    KSM_CTYPE_GROUP_XOR = 14,
    KSM_CTYPE_GROUP_XNOR = 15,
    KSM_CTYPE_GROUP_NOT_EQUAL = 16,
    KSM_CTYPE_GROUP_ANY_BIT = 17,
    // Operands of a value or interval comparison.
    KSM_CTYPE_COMPARE_GREATER_THAN = 18,
    KSM_CTYPE_COMPARE_GREATER_THAN_OR_EQUAL_TO = 19,
    KSM_CTYPE_COMPARE_EQUAL_TO = 20,
    KSM_CTYPE_COMPARE_LESS_THAN_OR_EQUAL_TO = 21,
    KSM_CTYPE_COMPARE_LESS_THAN = 22,
    KSM_CTYPE_COMPARE_TRUE = 23,
    KSM_CTYPE_COUNT = 24
};

enum KSM_DATA_TRIGGER_POSITION : int {
    KSM_TPOS_PRE = 0,
    KSM_TPOS_CENTER = 1,
    KSM_TPOS_POST = 2,
    KSM_TPOS_CONTINUOUS = 3
};

enum KSM_DATA_STORAGE_QUALIFIER_TYPE : int {
    KSM_SQTYPE_CONTINUOUS = 0,
    KSM_SQTYPE_CONDITIONAL = 1,
    KSM_SQTYPE_START_STOP = 2,
    KSM_SQTYPE_TRANSITIONAL = 3,
    KSM_SQTYPE_STATE_BASED = 4,
    KSM_SQTYPE_INPUT_PORT = 5,
    KSM_SQTYPE_INVALID_TYPE = 6
};

enum KSM_DATA_TRIGGER_LEVEL_TYPE : int {
    KSM_LTYPE_BASIC_AND = 0,
    KSM_LTYPE_BASIC_OR = 1,
    KSM_LTYPE_COMPARISON = 2,
    KSM_LTYPE_ADVANCED = 3,
    KSM_LTYPE_OTHER = 4
};

enum KSM_DATA_TRIGGER_TYPE : int { KSM_TTYPE_NORMAL = 0, KSM_TTYPE_SEGMENTED = 1 };

enum KSM_DATA_SIGNAL_TYPE : unsigned int {
    KSM_STYPE_NONE = 0,
    KSM_STYPE_INPUT_PIN = 0x4,
    KSM_STYPE_OUTPUT_PIN = 0x8,
    KSM_STYPE_BIDIR_PIN = 0x10,
    KSM_STYPE_MEMORY = 0x20,
    KSM_STYPE_REGISTERED = 0x40,
    KSM_STYPE_COMBINATORIAL = 0x80,
    KSM_STYPE_MACHINE = 0x400
};

enum KSM_DATA_WIRE_TAP_MODE : int { KSM_TAP_PRE_SYNTHESIS = 0, KSM_TAP_POST_FITTING = 2 };

enum KSM_DATA_WIRE_CAPTURE_TYPE : int {
    KSM_CAPTURE_DATA = 1,
    KSM_CAPTURE_TRIGGER = 2,
    KSM_CAPTURE_BOTH = 3,
    KSM_CAPTURE_NEITHER = 4
};

enum KSM_DATA_NODE_DISPLAY_TYPE : int {
    KSM_NTYPE_NODE = 0,
    KSM_NTYPE_GROUP_EXPANDED = 1,
    KSM_NTYPE_GROUP_COLLAPSED = 2,
    KSM_NTYPE_MEMBER = 3,
    KSM_NTYPE_LAST_MEMBER = 4
};

enum KSM_DATA_GROUP_DISPLAY_TYPE : int {
    KSM_GTYPE_MNEMONICS = 0,
    KSM_GTYPE_BINARY = 1,
    KSM_GTYPE_SIGNED_2S = 2,
    KSM_GTYPE_SIGNED_MAGNITUDE = 3,
    KSM_GTYPE_UNSIGNED = 4,
    KSM_GTYPE_HEX = 5,
    KSM_GTYPE_OCTAL = 6,
    KSM_GTYPE_ASCII = 7,
    KSM_GTYPE_UNSIGNED_BAR = 8,
    KSM_GTYPE_UNSIGNED_LINE = 9,
    KSM_GTYPE_SIGNED_BAR = 10,
    KSM_GTYPE_SIGNED_LINE = 11,
    KSM_GTYPE_PLUGIN = 12,
    KSM_GTYPE_FLOAT = 13,
    KSM_GTYPE_DOUBLE = 14,
    KSM_GTYPE_INVALID = 15
};

enum KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE : int {
    KSM_IOTYPE_PIN = 0,
    KSM_IOTYPE_NODE = 1,
    KSM_IOTYPE_INSTANCE = 2,
    KSM_IOTYPE_EPS_TRIGGER_OUT = 3,
    KSM_IOTYPE_EPS_TRIGGER_IN = 4,
    KSM_IOTYPE_EPS_EVENT = 5,
    KSM_IOTYPE_NO_INSTANCE = 6
};

enum KSM_TALVERN_RAM_TYPE : int { KSM_RAM_AUTO = 0, KSM_RAM_MEDIUM = 1, KSM_RAM_SMALL = 2, KSM_RAM_LARGE = 3 };

// Parts of a state-based trigger that stay changeable at run time, one bit each.
enum RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION : unsigned int {
    RUV_RUNTIME_GOTO_DESTINATIONS = 1,
    RUV_RUNTIME_COMPARISON_VALUES = 2,
    RUV_RUNTIME_LOGICAL_OPERATORS = 4,
    RUV_RUNTIME_COMPARISON_OPERATORS = 8
};

// Device families the resource estimates know (the device database names them).
using DEV_FAMILY_ENUM = int;

// Limits of the repository.
constexpr int KSM_MAX_NODES = 4096;
// Group rows a node list may hold beside its KSM_MAX_NODES nodes.
constexpr int KSM_MAX_GROUP_ROWS = KSM_MAX_NODES;
constexpr int KSM_MAX_TRIGGER_LEVELS = 10;
constexpr int KSM_NUM_PATTERNS = 3;  // storage-qualifier patterns, addressed as level + 3
// The sample depth of a new signal set.
constexpr int KSM_DEFAULT_SAMPLE_DEPTH = 128;

class KSM_DATA_GLOBAL_ENUM {
public:
    // Comparison operator texts (">", ">=", "==", "<=", "<") to their operand conditions;
    // KSM_CTYPE_COUNT for any other text.
    static KSM_DATA_TRIGGER_CONDITION convert_string_to_enum(const char* operator_text);
    // Short names of the comparison operand conditions 18..23; empty for the others.
    static const char* convert_enum_to_string(KSM_DATA_TRIGGER_CONDITION condition);
};

// ---- object trees ---------------------------------------------------------------------------

// Kinds of the objects that the root of a session's object tree makes (create_child_object): the
// tree of a trigger level or storage-qualifier pattern with its boxes, and the one state-machine
// object of a trigger.
enum KSM_TREE_OBJECT_KIND : int { KSM_TREE_KIND_TRIGGER = 0, KSM_TREE_KIND_STATE_MACHINE = 1 };

// The attributes of a tree object as it hands them over: keys and values in order.
using KSM_TREE_ATTRIBUTES = std::vector<std::pair<std::string, std::string>>;

// Base of the module's object trees. The repository creates, walks, writes and reads a tree
// only through these ten operations.
class KSM_TX_TREE_OBJECT {
public:
    KSM_TX_TREE_OBJECT();
    virtual ~KSM_TX_TREE_OBJECT();
    KSM_TX_TREE_OBJECT(const KSM_TX_TREE_OBJECT&) = delete;
    KSM_TX_TREE_OBJECT& operator=(const KSM_TX_TREE_OBJECT&) = delete;

    virtual KSM_TX_TREE_OBJECT* get_child_object(int index) = 0;
    virtual int get_child_count() = 0;
    virtual KSM_TX_TREE_OBJECT* create_child_object(int kind) = 0;
    virtual bool delete_child_object(KSM_TX_TREE_OBJECT* child) = 0;
    virtual bool get_equation(std::string* text, KSM_DATA_MNEMONICS* mnemonics, KSM_TX_SIGNAL_NODES* node_set,
                              int condition, bool power_up) = 0;
    virtual bool duplicate_trigger(bool to_power_up) = 0;
    virtual void get_attributes() = 0;
    virtual void generate_tree(RUV_ADVANCED_TRIGGER_FACTORY* factory) = 0;
    virtual void set_attribute(const char* key, const char* value) = 0;

    // The attributes that get_attributes() hands over, in order (used by the repository).
    KSM_TREE_ATTRIBUTES collect_attributes();

protected:
    // One attribute while the file is written. Keys and values are UTF-8 texts, here and in
    // set_attribute, whatever the local encoding.
    void add_attribute(const char* key, const char* value);

private:
    KSM_TREE_ATTRIBUTES* m_attribute_sink = nullptr;
};

// A step of the module's own that an undo or redo of its unit replays.
class KSM_TX_UNDO_ACTION_ATOMIC {
public:
    virtual ~KSM_TX_UNDO_ACTION_ATOMIC() = default;
    virtual bool undo() = 0;
    virtual bool redo() = 0;
};

// ---- common base ----------------------------------------------------------------------------

// Base of every repository object that keeps undoable state.
class KSM_OBJECT : public std::enable_shared_from_this<KSM_OBJECT> {
public:
    virtual ~KSM_OBJECT();
    KSM_OBJECT(const KSM_OBJECT&) = delete;
    KSM_OBJECT& operator=(const KSM_OBJECT&) = delete;
    KSM_DATA_SESSION* get_data_session_of() const { return m_owner; }

protected:
    explicit KSM_OBJECT(KSM_DATA_SESSION* owner) : m_owner(owner) {}
    KSM_DATA_SESSION* m_owner;
};

// ---- mnemonic tables ------------------------------------------------------------------------

class KSM_DATA_MNEMONICS_TABLE : public KSM_OBJECT {
public:
    KSM_DATA_MNEMONICS_TABLE(KSM_DATA_SESSION* owner, const char* name, int width);
    ~KSM_DATA_MNEMONICS_TABLE() override;

    const char* get_name() const;
    int get_width() const;
    int get_num_entries() const;
    // Refuses an empty symbol, a symbol already in the table and a pattern that is not a
    // binary text of the table's width.
    bool add_entry(const char* symbol, const char* pattern);
    bool remove_entry(int index);
    const char* get_entry_value_at(int index) const;              // binary pattern
    const char* get_entry_symbol_at(int index, int k = 0) const;  // k-th symbol of the entry
    const char* get_value(const char* symbol) const;              // pattern of a symbol; null when none
    const char* get_first_symbol(const char* pattern) const;      // first symbol of a pattern; null when none
    // Copies name, width and entries of another table into this one.
    void clone(const KSM_DATA_MNEMONICS_TABLE* source);

    struct STATE;

private:
    std::shared_ptr<STATE> m_state;
    friend struct KSM_ACCESS;
};
using KSM_DATA_MNEMONIC_TABLE = KSM_DATA_MNEMONICS_TABLE;

class KSM_DATA_MNEMONICS : public KSM_OBJECT {
public:
    explicit KSM_DATA_MNEMONICS(KSM_DATA_SESSION* owner);
    ~KSM_DATA_MNEMONICS() override;

    int get_num_tables() const;
    KSM_DATA_MNEMONICS_TABLE* get_table(int index) const;
    KSM_DATA_MNEMONICS_TABLE* get_table_at(int index) const { return get_table(index); }
    KSM_DATA_MNEMONICS_TABLE* find_table(const char* name) const;
    // Null when the name is empty or taken.
    KSM_DATA_MNEMONICS_TABLE* create_table(const char* name, int width);
    bool delete_table(KSM_DATA_MNEMONICS_TABLE* table);

    struct STATE;

private:
    std::shared_ptr<STATE> m_state;
    friend struct KSM_ACCESS;
};

// ---- data logs ------------------------------------------------------------------------------

// The samples of one acquisition: one bit per sample and channel, a validity bit per sample,
// and the trigger and segment marks. Reading a bit is O(1); finding the next or previous
// change of a channel works a machine word at a time.
class KSM_DATA_LOG : public KSM_OBJECT {
public:
    KSM_DATA_LOG(KSM_DATA_SESSION* owner, const char* name);
    ~KSM_DATA_LOG() override;

    const char* get_name() const;
    bool set_name(const char* name);  // false when the name is empty or taken under its trigger
    bool is_expanded() const;
    void set_expanded(bool expanded);

    // Acquisition state.
    bool is_acquiring_data() const;
    void set_acquiring_data(bool acquiring);
    bool is_data_available(bool require_data) const;
    bool is_power_up() const;
    bool is_power_up_trigger() const { return is_power_up(); }
    bool is_global_temp() const;
    bool is_gui_update_skipped() const;
    void set_flags(bool power_up, bool global_temp, bool gui_update_skipped);
    void remove();  // takes the log out of its trigger's list
    void end_post_acq_processing();

    // Samples.
    int get_data_sample_depth() const;
    int get_num_channels() const;
    int get_data_segment_size() const;
    int get_data_trigger_position(int segment = -1) const;  // negative: no trigger
    bool get_connection_status(int channel) const;
    bool get_bit(int channel, int sample) const;
    bool is_bit_valid(int sample) const;
    bool is_bit_trigger(int sample) const;
    bool is_break_previous(int sample) const;  // a segment or data gap starts at this sample
    // The first sample in from..end - 1 flagged as trigger, or -1; a machine word at a time.
    int find_next_trigger(int from, int end) const;
    // How many samples in 0..last start a segment or data gap; a machine word at a time.
    int count_breaks(int last) const;
    // The first sample after `from` where the channel differs from sample `from`, or -1.
    int find_next_change(int channel, int from) const;
    // The last sample before `from` where the channel differs from sample `from`, or -1.
    int find_previous_change(int channel, int from) const;
    // 64 samples at once, from sample 64 * index: bit i is sample 64 * index + i; 0 outside the
    // samples (an unknown channel, a negative index, past the depth).
    uint64_t get_bit_word(int channel, int index) const;
    uint64_t get_valid_word(int index) const;
    // The packed samples, 64 to a word, sample s in bit s % 64 of word s / 64; bits past the depth
    // are 0. Null for a channel outside the log or without samples. The words stay valid until
    // the next capture of the log ends.
    const uint64_t* get_channel_words(int channel) const;
    const uint64_t* get_valid_words() const;
    // The version of the samples those readers give: a new number whenever a capture ends or
    // the samples are read from the session file, never one that other samples had; 0 without
    // samples. Words and connections read from the log hold while the number stays the same.
    uint64_t get_samples_stamp() const;
    // The node each channel captured, as the capture named them; empty where it named none (the
    // channels then follow the data rows' order).
    const std::vector<std::string>& get_channel_nodes() const;

    // State-based results.
    int get_state_value() const;
    int get_number_counters() const;
    unsigned int get_counter_value(int index) const;
    int get_number_flags() const;
    int get_flag_value(int index) const;
    int get_num_counters() const { return get_number_counters(); }
    int get_num_flags() const { return get_number_flags(); }

    // Writing (the acquisition): the shape first, then bits; publish() makes them visible. A
    // writer that gives every channel its words whole (set_channel_words, or in place), each from
    // the thread that makes them, says so: the channels' memory is then left for those threads to
    // touch first.
    void begin_capture(int channels, int depth, int segment_size, bool every_channel_written = false);
    void set_bit(int channel, int sample, bool value);
    void set_channel_words(int channel, const uint64_t* words, size_t count);
    // The words of a channel's plane in the capture, for such a writer to write in place (every
    // word, the bits past the depth 0), 64 samples to a word as get_channel_words() gives them;
    // null for a channel outside the capture or with no capture begun.
    uint64_t* capture_channel_words(int channel);
    void set_valid(int sample, bool valid);
    // Every sample's validity at once, 64 to a word as get_valid_words() gives them.
    void set_valid_words(const uint64_t* words, size_t count);
    void set_trigger_mark(int sample, bool mark);
    void set_break_mark(int sample, bool mark);
    void set_connection_status(int channel, bool connected);
    void set_trigger_positions(const std::vector<int>& positions);
    void set_state_results(int state, const std::vector<unsigned int>& counters, const std::vector<int>& flags);
    // The name of the node each channel captures, one per channel, so that the samples stay with
    // their nodes when the list is edited after the capture.
    void set_channel_nodes(std::vector<std::string> names);
    void end_capture();
    // Drops a capture begun and not ended: the log keeps the samples it held, and is no longer
    // acquiring.
    void drop_capture();

    // Plug-in mnemonic tables kept with the log.
    KSM_DATA_MNEMONICS_TABLE* create_static_plugin_mnemonics_table(int width, const char* key);
    KSM_DATA_MNEMONICS_TABLE* get_static_plugin_mnemonics_table(int index) const;
    int get_num_static_plugin_mnemonics_tables() const;

    // Memory the samples take, in bytes.
    size_t get_sample_memory() const;

    KSM_TX_TRIGGER* get_trigger() const { return m_trigger; }
    KSM_TX_SIGNAL_SET* get_signal_set() const;

    struct STATE;
    struct SAMPLES;
    struct PACKED;

private:
    // The published samples, inflated from the packed ones when they are first read.
    const SAMPLES* samples() const;
    // The published samples' shape, depth, marks' positions and state results; no planes
    // inflated for them.
    const SAMPLES* shape() const;

    std::shared_ptr<STATE> m_state;
    mutable std::shared_ptr<SAMPLES> m_samples;  // published samples; shared, never changed in place
    // Samples as a session file holds them, until they are first read.
    mutable std::shared_ptr<const PACKED> m_packed;
    std::shared_ptr<SAMPLES> m_capturing;  // samples being written
    bool m_acquiring = false;
    mutable bool m_held_warned = false;  // told that the samples held leave no room for these
    KSM_TX_TRIGGER* m_trigger = nullptr;
    friend struct KSM_ACCESS;
};

// ---- node lists -----------------------------------------------------------------------------

// What the setting of a plug-in option holds.
enum KSM_PLUGIN_OPTION_TYPE : int {
    KSM_PLUGIN_OPTION_OTHER = 0,
    KSM_PLUGIN_OPTION_NUMBER = 1,
    KSM_PLUGIN_OPTION_FILE = 2
};

// Plug-in record of a group row.
struct KSM_TX_PLUGIN_OPTION {
    std::string name;
    std::string setting;
    int type = KSM_PLUGIN_OPTION_OTHER;
    std::string description;
    bool operator==(const KSM_TX_PLUGIN_OPTION& o) const
    {
        return name == o.name && setting == o.setting && type == o.type && description == o.description;
    }
};

class KSM_TX_PLUGIN_MNEMONICS {
public:
    std::string plugin_name;
    std::string table_name;
    int width = 0;
    std::vector<KSM_TX_PLUGIN_OPTION> options;
    std::vector<std::pair<std::string, std::string>> string_pairs;
    mutable void* handle = nullptr;  // the opened plug-in table, for this process only
    int static_table_index = -1;
    std::vector<std::string> level_symbols;  // one per trigger level

    const char* get_symbol(int level) const;
    void set_symbol(int level, const char* symbol);
    bool operator==(const KSM_TX_PLUGIN_MNEMONICS& o) const;
};

// A node row's place in the tree and its use, as a list gives them for all its rows at once.
struct KSM_ROW_OUTLINE {
    uint16_t depth = 0;
    bool group = false;
    bool expanded = false;
    uint8_t use = 0;  // a KSM_DATA_WIRE_CAPTURE_TYPE
};

// A list of node rows: the data list of a signal set or the trigger list of a trigger.
// Rows are 0-based; a group row is followed by its members, which are one level deeper.
class KSM_TX_SIGNAL_NODES : public KSM_OBJECT {
public:
    ~KSM_TX_SIGNAL_NODES() override;

    // Row data.
    int get_num_nodes() const;
    const char* get_node_name(int row) const;
    bool rename_node(int row, const char* name);
    bool rename_group(int row, const char* name);
    const char* get_node_alias(int row) const;
    bool set_node_alias(int row, const char* alias);  // refuses an alias in use; empty clears
    KSM_DATA_SIGNAL_TYPE get_signal_type(int row) const;
    KSM_DATA_WIRE_CAPTURE_TYPE get_node_use(int row) const;
    bool set_node_use(int row, KSM_DATA_WIRE_CAPTURE_TYPE use);
    KSM_DATA_WIRE_TAP_MODE get_tap_mode(int row) const;
    bool set_tap_mode(int row, KSM_DATA_WIRE_TAP_MODE mode);
    KSM_DATA_NODE_DISPLAY_TYPE get_display_type(int row) const;
    int get_depth(int row) const;
    bool has_debug_port(int row) const;
    const char* get_debug_port(int row) const;
    bool set_debug_port(int row, const char* port);
    KSM_DATA_GROUP_DISPLAY_TYPE get_group_display_type(int row) const;
    bool set_group_display_type(int row, KSM_DATA_GROUP_DISPLAY_TYPE type);
    bool get_lsb_to_msb(int row) const;
    bool set_lsb_to_msb(int row, bool lsb_to_msb);
    bool is_selected(int row) const;
    void set_selected(int row, bool selected);
    // How many rows are selected: counted once and kept with the rows until they change.
    int get_num_selected_nodes() const;
    // The version of the rows, selection included: a new number after every change to them (an
    // edit, an undo or redo), never one that another version had. What a reader worked out
    // from the rows holds while the number stays the same.
    uint64_t get_rows_stamp() const;
    bool is_expanded(int row) const;
    bool toggle_node(int row);
    bool is_data_tab_only(int row) const;
    bool set_data_tab_only(int row, bool only);
    bool is_invalid(int row) const;
    void set_invalid(int row, bool invalid);
    bool is_storage_enabled(int row) const;
    bool set_storage_enabled(int row, bool enabled);
    bool is_transition_enabled(int row) const;
    bool set_transition_enabled(int row, bool enabled);
    bool is_signal_inverted(int row) const;
    bool set_signal_inverted(int row, bool inverted);
    const char* get_mnemonics_table_name(int row) const;
    bool set_mnemonics_table_name(int row, const char* name);
    int get_link_type(int row) const;
    bool set_link_type(int row, int link_bits);
    // The group's plug-in record; null for a row that has none. Edits go through set_plugin_mnemonics.
    const KSM_TX_PLUGIN_MNEMONICS* get_plugin_mnemonics(int row) const;
    bool set_plugin_mnemonics(int row, const KSM_TX_PLUGIN_MNEMONICS* record);
    // The handle of the opened plug-in table: a value of this process, neither undone nor saved.
    void set_plugin_handle(int row, void* handle) const;
    void mark_node(int row, int value);
    int get_mark(int row) const;
    // The row of a node name, or -1.
    int find_node(const char* name) const;
    // Every row's outline, in order: read from the rows once and kept with them, so that a walk
    // over all of them after a change reads only the rows that changed.
    void get_outline(std::vector<KSM_ROW_OUTLINE>* rows) const;

    // Conditions, per trigger level (0..) and per storage-qualifier pattern (0..2), answered
    // from the bank the trigger's power-up selection chooses.
    KSM_DATA_TRIGGER_CONDITION get_trigger_condition(int row, int level) const;
    bool set_trigger_condition(int row, int level, KSM_DATA_TRIGGER_CONDITION condition, bool flag = true);
    KSM_DATA_TRIGGER_CONDITION get_pattern_condition(int row, int pattern) const;
    bool set_pattern_condition(int row, int pattern, KSM_DATA_TRIGGER_CONDITION condition, bool flag = true);
    // Comparisons; `level` is a trigger level, or a pattern as level + 3 in the pattern forms.
    bool is_comparison_enabled(int row, int level) const;
    bool set_comparison_enabled(int row, int level, bool enabled, bool flag = true);
    bool is_comparison_group_member(int row, int level) const;
    KSM_DATA_TRIGGER_CONDITION get_comparison_operand(int row, int level, int operand) const;
    bool set_comparison_operand(int row, int level, int operand, KSM_DATA_TRIGGER_CONDITION value, bool flag = true);
    int get_comparison_value(int row, int level, int operand) const;
    bool set_comparison_value(int row, int level, int operand, int value, bool flag = true);
    bool is_pattern_comparison_enabled(int row, int pattern) const;
    bool set_pattern_comparison_enabled(int row, int pattern, bool enabled, bool flag = true);
    KSM_DATA_TRIGGER_CONDITION get_pattern_comparison_operand(int row, int pattern, int operand) const;
    bool set_pattern_comparison_operand(int row, int pattern, int operand, KSM_DATA_TRIGGER_CONDITION value,
                                        bool flag = true);
    int get_pattern_comparison_value(int row, int pattern, int operand) const;
    bool set_pattern_comparison_value(int row, int pattern, int operand, int value, bool flag = true);
    bool is_group_condition(KSM_DATA_TRIGGER_CONDITION condition) const;
    bool is_comparison_operand_condition(KSM_DATA_TRIGGER_CONDITION condition) const;
    const char* condition_to_string(KSM_DATA_TRIGGER_CONDITION condition) const;

    // Structure edits.
    bool insert_node(const char* name, KSM_DATA_SIGNAL_TYPE type, KSM_DATA_WIRE_TAP_MODE tap_mode,
                     bool allow_duplicate_node_name);
    bool group_nodes(int first, int last);
    bool group_selected_nodes();
    bool ungroup_node(int row);
    int move_nodes(int first, int last, int target, bool into_group);
    int move_selected_nodes(int target, bool into_group);
    int copy_nodes(int first, int last, int target, bool into_group);
    int copy_selected_nodes(int target, bool into_group);
    int delete_nodes(int first, int last);
    bool delete_node(const char* name);
    int delete_selected_nodes();
    // In a first-generation session a structure edit of this list also goes to the instance's
    // other list while the two are in step. A caller that places different rows in each list
    // turns that off for the time it needs; insertions still go to both lists. Not undone, not saved.
    void set_linked_edits(bool linked) { m_linked_edits = linked; }
    bool has_linked_edits() const { return m_linked_edits; }

    // Tree queries.
    int get_parent_index(int row, int other = -1) const;
    int get_last_child_index(int row) const;
    void get_direct_children(int row, std::vector<int>* children) const;
    int get_num_leaf_children(int row) const;
    bool has_children(int row) const;
    bool has_parent(int row) const;
    bool has_nested_groups() const;
    bool is_descendant(int ancestor, int row) const;
    bool is_grandparent(int row) const;
    bool is_last_child(int row) const;
    bool is_parent_visible(int row) const;
    bool is_any_parent_not_visible(int row) const;
    bool is_group_member_node(int row) const;
    bool is_invalid_index_for_drop(int row, bool into_group) const;
    bool is_valid_selection_for_grouping() const;
    bool can_delete_node(int row) const;
    bool locate(int row) const;

    // Used node counts: leaves that capture data, trigger, or take part in the storage qualifier.
    int get_data_input_count() const;
    int get_trigger_input_count() const;

    // The bank that answers condition queries (trigger lists; the data list follows its trigger).
    bool is_power_up_selection() const { return m_power_up_selection; }

    struct STATE;
    struct ROW;

protected:
    KSM_TX_SIGNAL_NODES(KSM_DATA_SESSION* owner, bool trigger_list);
    const std::pair<int, int>& input_counts() const;
    bool m_power_up_selection = false;
    bool m_linked_edits = true;
    bool m_trigger_list;
    std::shared_ptr<STATE> m_nodes;
    friend struct KSM_ACCESS;
};

// ---- trigger in and out ---------------------------------------------------------------------

class KSM_TX_TRIGGER_IN_INTERFACE {
public:
    explicit KSM_TX_TRIGGER_IN_INTERFACE(KSM_TX_TRIGGER* trigger) : m_trigger(trigger) {}
    bool is_enabled() const;
    bool set_enabled(bool enabled);
    KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE get_source() const;
    bool set_source(KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE source);
    const char* get_pin_name() const;
    bool set_pin_name(const char* name);
    const char* get_node_name() const;
    bool set_node_name(const char* name);
    bool is_node_post_fitting() const;
    bool set_node_post_fitting(bool post_fitting);
    bool is_node_valid() const;
    bool set_node_valid(bool valid);
    const char* get_instance_name() const;
    bool set_instance_name(const char* name);
    KSM_DATA_TRIGGER_CONDITION get_condition() const;
    bool set_condition(KSM_DATA_TRIGGER_CONDITION condition);

private:
    KSM_TX_TRIGGER* m_trigger;
};

class KSM_TX_TRIGGER_OUT_INTERFACE {
public:
    explicit KSM_TX_TRIGGER_OUT_INTERFACE(KSM_TX_TRIGGER* trigger) : m_trigger(trigger) {}
    bool is_enabled() const;
    bool set_enabled(bool enabled);
    // Destinations: pin, instance, processor trigger in, processor event.
    bool is_selected(KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE kind) const;
    bool set_selected(KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE kind, bool selected);
    bool is_destination_selected(int kind) const
    {
        return is_selected(static_cast<KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE>(kind));
    }
    const char* get_pin_name() const;
    bool set_pin_name(const char* name);
    const char* get_instance_name() const;
    bool set_instance_name(const char* name);
    const char* get_instance_tooltip() const;  // a short summary of the destinations
    const char* get_description() const { return get_instance_tooltip(); }
    int get_eps_event_index() const;
    bool set_eps_event_index(int index);
    KSM_DATA_TRIGGER_CONDITION get_condition() const;
    bool set_condition(KSM_DATA_TRIGGER_CONDITION condition);

private:
    KSM_TX_TRIGGER* m_trigger;
    mutable std::string m_tooltip;
};

// ---- triggers -------------------------------------------------------------------------------

// The trigger of an instance: its trigger list and every trigger setting. Run-time
// configurable values (node conditions and comparisons) exist in a normal and a power-up
// bank; the power-up selection chooses the bank that node queries answer from.
class KSM_TX_TRIGGER : public KSM_TX_SIGNAL_NODES {
public:
    KSM_TX_TRIGGER(KSM_DATA_SESSION* owner, const char* name);
    ~KSM_TX_TRIGGER() override;

    const char* get_name() const;
    bool set_name(const char* name);  // false when empty or taken under its signal set
    bool is_expanded() const;
    void set_expanded(bool expanded);
    KSM_TX_SIGNAL_SET* get_signal_set() const { return m_signal_set; }
    KSM_TX_TRIGGER* get_data_trigger() { return this; }

    // Cache life.
    void detach();
    void set_power_up_selection(bool power_up);
    void rebuild_after_undo();
    void sync_upon_capture_type_change();
    void reset_transient_state();

    // Levels.
    int get_num_levels() const;
    bool set_num_levels(int count);  // 1..KSM_MAX_TRIGGER_LEVELS
    bool append_new_level(bool flag = true);
    KSM_DATA_TRIGGER_LEVEL_TYPE get_level_type(int level) const;
    bool set_level_type(int level, KSM_DATA_TRIGGER_LEVEL_TYPE type);
    KSM_DATA_TRIGGER_LEVEL_TYPE get_pattern_type(int pattern) const;
    bool set_pattern_type(int pattern, KSM_DATA_TRIGGER_LEVEL_TYPE type);
    const char* get_level_name(int level) const;
    bool set_level_name(int level, const char* name);  // refuses a name another level bears
    bool is_level_enabled(int level) const;
    void set_level_enabled(int level, bool enabled);
    bool is_trigger_level_basic_condition(int level) const;
    bool set_trigger_level_cond_expr_type(int level, bool basic);
    // The expression text stored with a level, kept whether or not the level has a diagram.
    const char* get_advanced_trigger_expression(int level) const;
    bool set_advanced_trigger_expression(int level, const char* text, bool flag = false);
    // The parsed expression of an advanced level (0..) or pattern (-3..-1): the equation of its
    // diagram (the power-up equation when `flag` is not 0), or the stored expression text while
    // it has no diagram or an empty one. Null when the level is not advanced or has no text; a
    // text that does not parse gives a factory without a root, with the parser's message. The
    // trigger owns the factory, which stays as it is until the next call for that level and flag.
    RUV_ADVANCED_TRIGGER_FACTORY* get_advanced_trigger_factory(int level, int flag = 0);
    // Computes each advanced level's expression from its tree and stores it.
    void finalize_triggers();

    // Advanced trees: the root of a level (0..) or a storage-qualifier pattern (0..2); made
    // through the session root when the level or pattern becomes advanced.
    KSM_TX_TREE_OBJECT* get_advanced_root(int level);
    KSM_TX_TREE_OBJECT* get_storage_qualifier_root(int pattern);
    void set_advanced_modified(int level_or_pattern, bool level_flag, bool document_flag);
    bool is_advanced_modified(int level_or_pattern) const;

    // Storage qualifier.
    KSM_DATA_STORAGE_QUALIFIER_TYPE get_storage_qualifier_type() const;
    bool set_storage_qualifier_type(KSM_DATA_STORAGE_QUALIFIER_TYPE type);
    const char* get_storage_qualifier_input_port(bool* post_fitting = nullptr) const;
    bool set_storage_qualifier_input_port(const char* name, bool post_fitting);
    bool clear_storage_qualifier_input_port_mark(bool flag = false);
    bool is_storage_qualifier_input_port_marked() const;
    bool is_storage_qualifier_disabled() const;
    bool set_storage_qualifier_disabled(bool disabled);
    bool is_record_data_discontinuities() const;
    bool set_record_data_discontinuities(bool record);
    bool set_storage_qualifier_gap_record(bool record) { return set_record_data_discontinuities(record); }

    // Segments and position.
    bool is_segmented() const;
    bool set_segmented(bool segmented);
    bool set_trigger_type(KSM_DATA_TRIGGER_TYPE type, bool flag = false);
    int get_segment_size() const;
    bool set_segment_size(int size, bool flag = false);
    KSM_DATA_TRIGGER_POSITION get_trigger_position() const;
    bool set_trigger_position(KSM_DATA_TRIGGER_POSITION position);

    // Flow control.
    bool is_state_based() const;
    bool set_state_based(bool state_based);
    // Made on first use; it then shows the flow the trigger's state records.
    KSM_TX_TREE_OBJECT* get_state_machine_object();
    // The module changed the state-machine object: its attributes become part of the trigger's
    // state, recorded in the open undo unit.
    void state_machine_changed();
    int get_counter_count() const;
    bool set_counter_count(int count);
    bool get_counter(int index, const char** name, int* width, unsigned int* initial) const;
    bool set_counter(int index, const char* name, const int* width, const unsigned int* initial);
    int get_flag_count() const;
    bool set_flag_count(int count);
    bool get_flag(int index, const char** name, int* initial) const;
    bool set_flag(int index, const char* name, const int* initial);
    bool is_configurable(RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION option) const;
    bool set_configurable(RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION option, bool configurable);
    // Checks the flow text of the state-machine object against the flow language and the
    // trigger's level, counter and flag names: every state has statements, names are of the
    // kind their place needs, comparison values fit their counter. False with the first error's
    // message and 1-based line.
    bool check_state_machine(std::string* message, int* line);

    // Used node counts.
    int get_data_nodes_used() const;
    int get_trigger_nodes_used() const;
    int get_storage_qualifier_nodes_used() const;

    // Interfaces.
    KSM_TX_TRIGGER_IN_INTERFACE* get_trigger_in() { return &m_trigger_in; }
    KSM_TX_TRIGGER_OUT_INTERFACE* get_trigger_out() { return &m_trigger_out; }
    int get_trigger_out_latency() const;
    void set_trigger_out_latency(int cycles);
    // Checksum of what a compile fixes in the trigger and its signal set (ksm_checksum.cpp);
    // what the device takes at the start of each run does not change it.
    unsigned int get_crc_value(bool flag = false) const;
    // The checksum earlier builds recorded: that of the whole text form.
    unsigned int get_text_form_crc_value() const;
    // Whether the last compile routed this trigger's nodes incrementally; set by the compile.
    bool is_using_incremental_route() const;
    void set_using_incremental_route(bool used);

    // Logs.
    int get_num_logs() const;
    KSM_DATA_LOG* get_log(int index) const;
    KSM_DATA_LOG* find_log(const char* name) const;
    KSM_DATA_LOG* get_active_log() const;

    // Text form of the settings and node list, appended.
    void append_text_form(std::string* text) const;

    struct STATE;

private:
    // Writes the attributes the state records into the state-machine object when it shows
    // others (after an undo or redo); a state that records none means those it was made with.
    void show_recorded_state_machine();

    std::shared_ptr<STATE> m_state;
    // The trigger's one state-machine object, made on first use through the session's root, and
    // again under the next root after that one has gone; its content is the module's.
    std::shared_ptr<struct KSM_TREE> m_state_machine;
    // The attributes of the state-machine object when it was made, and the ones it shows.
    std::shared_ptr<const KSM_TREE_ATTRIBUTES> m_state_machine_made;
    std::shared_ptr<const KSM_TREE_ATTRIBUTES> m_state_machine_shown;
    // Parsed expressions handed out, by level and flag; not part of the undoable state.
    std::map<int, std::unique_ptr<RUV_ADVANCED_TRIGGER_FACTORY>> m_factories;
    KSM_TX_SIGNAL_SET* m_signal_set = nullptr;
    KSM_TX_TRIGGER_IN_INTERFACE m_trigger_in{this};
    KSM_TX_TRIGGER_OUT_INTERFACE m_trigger_out{this};
    friend struct KSM_ACCESS;
    friend class KSM_TX_TRIGGER_IN_INTERFACE;
    friend class KSM_TX_TRIGGER_OUT_INTERFACE;
};

// The words and symbols of a state-based trigger flow in order, white space dropped: names and
// numbers whole, the two-character operators (&&, ||, <=, ==, !=, >=) as one symbol each.
std::vector<std::string> ksm_flow_words(const std::string& text);

// The CPUs the process may keep busy: those of its affinity mask, fewer when its control
// group's CPU quota allows fewer (rounded up); at least 1. Threaded work sizes itself by it.
size_t ksm_usable_cpus();
// The same with the control group files read below `root` (ROOT/proc/self/cgroup,
// ROOT/sys/fs/cgroup/...) at each call.
size_t ksm_usable_cpus(const std::string& root);
// The CPUs a quota written as "QUOTA PERIOD" (a control group's cpu.max) allows, rounded up;
// 0 for no limit ("max ...") or a text that is no quota.
size_t ksm_cpus_of_quota(const std::string& limit);
// The memory the process may use: the machine's, less where a control group of the process
// (or one above it) limits it to less.
size_t ksm_usable_memory();
// The same with the control group files read below `root`, as ksm_usable_cpus(root) reads them.
size_t ksm_usable_memory(const std::string& root);
using KSM_DATA_TRIGGER = KSM_TX_TRIGGER;

// ---- signal sets ----------------------------------------------------------------------------

// A wire made by the wizard before it appends it to a signal set.
struct KSM_DATA_WIRE {
    std::string name;
    KSM_DATA_WIRE_CAPTURE_TYPE capture = KSM_CAPTURE_BOTH;
    KSM_DATA_WIRE_TAP_MODE tap_mode = KSM_TAP_PRE_SYNTHESIS;
};

// A captured data wire: its channel in a log and the node row that feeds it.
struct KSM_DATA_SIGNAL_WIRE {
    int channel = -1;
    int row = -1;
    std::string name;
};

// The data list of an instance with its acquisition settings and its triggers.
class KSM_TX_SIGNAL_SET : public KSM_TX_SIGNAL_NODES {
public:
    KSM_TX_SIGNAL_SET(KSM_DATA_SESSION* owner, const char* name);
    ~KSM_TX_SIGNAL_SET() override;

    const char* get_name() const;
    bool set_name(const char* name);
    bool is_expanded() const;
    void set_expanded(bool expanded);
    KSM_TX_INSTANCE* get_instance() const { return m_instance; }
    KSM_TX_SIGNAL_SET* get_data_signal_set() { return this; }

    // Clock.
    const char* get_clock_name() const;
    bool set_clock(const char* name, bool post_fitting);
    void clock_changed();
    bool is_clock_post_fitting() const;
    bool is_clock_invalid() const;
    void set_clock_invalid(bool invalid);

    // Acquisition settings.
    int get_sample_depth() const;
    bool set_sample_depth(int depth);
    int get_pipeline_level() const;
    bool set_pipeline_level(int level);
    KSM_TALVERN_RAM_TYPE get_ram_type() const;
    bool set_ram_type(KSM_TALVERN_RAM_TYPE type);
    bool set_talvern_ram_type(KSM_TALVERN_RAM_TYPE type) { return set_ram_type(type); }

    // Allocated node counts and their limits.
    int get_data_nodes_allocated() const;
    bool set_data_nodes_allocated(int count);
    int get_trigger_nodes_allocated() const;
    bool set_trigger_nodes_allocated(int count);
    int get_storage_qualifier_nodes_allocated() const;
    bool set_storage_qualifier_nodes_allocated(int count);
    int get_corvix_data_nodes_allocated() const;
    bool set_corvix_data_nodes_allocated(int count);
    bool set_corvix_data_node_size(int count) { return set_corvix_data_nodes_allocated(count); }
    int get_corvix_trigger_nodes_allocated() const;
    bool set_corvix_trigger_nodes_allocated(int count);
    bool set_corvix_trigger_node_size(int count) { return set_corvix_trigger_nodes_allocated(count); }
    int get_max_data_nodes() const;
    int get_max_trigger_nodes() const;
    int get_max_storage_qualifier_nodes() const;

    void set_assignment_text(const char* text);
    const char* get_assignment_text() const;
    const char* get_top_entity_name() const;
    void set_top_entity_name(const char* name);

    // Channels: the position of a data row's samples in the active log, -1 for none (group rows,
    // rows that capture no data, and rows whose node the log did not capture). A log that named
    // its channels' nodes is read by name, so that rows deleted, moved or added since the capture
    // leave every other row with its own samples.
    int get_channel(int row) const;
    // The same in `log`, a log of this signal set's triggers.
    int get_channel_in(const KSM_DATA_LOG* log, int row) const;
    // The channel the rows wire a data row to now, which a new capture writes, -1 for none.
    int get_wired_channel(int row) const;
    int get_num_channels() const;
    int get_data_wire_width() const { return get_num_channels(); }
    // The wire of channel `index`, or null outside 0..width - 1; valid until the next call.
    const KSM_DATA_SIGNAL_WIRE* get_data_wire_at(int index) const;

    // Triggers.
    int get_num_triggers() const;
    KSM_TX_TRIGGER* get_trigger(int index) const;
    KSM_TX_TRIGGER* find_trigger(const char* name) const;
    KSM_TX_TRIGGER* get_active_trigger() const;
    KSM_TX_TRIGGER* create_trigger(const char* name = nullptr, bool flag = false);

    // Wizard initialisers.
    KSM_DATA_WIRE* create_wire(const char* name, KSM_DATA_WIRE_CAPTURE_TYPE capture, KSM_DATA_WIRE_TAP_MODE tap_mode,
                               bool flag = true, const char* second_name = nullptr, bool flag2 = false);
    bool append(KSM_DATA_WIRE* wire, bool flag = true);
    bool enable_trigger_in(bool enable);
    bool enable_trigger_out(bool enable);

    // Text form of the settings, the data list and the active trigger, appended.
    void append_text_form(std::string* text) const;

    struct STATE;

private:
    std::shared_ptr<STATE> m_state;
    KSM_TX_INSTANCE* m_instance = nullptr;
    std::vector<std::unique_ptr<KSM_DATA_WIRE>> m_pending_wires;
    mutable KSM_DATA_SIGNAL_WIRE m_wire_at;
    friend struct KSM_ACCESS;
};
using KSM_DATA_SIGNAL_SET = KSM_TX_SIGNAL_SET;

// ---- instances ------------------------------------------------------------------------------

// The third field of an instance's node information when the IP generation wizard made it.
constexpr uint8_t KSM_INSTANCE_INFO_WIZARD_GENERATED = 2;

struct KSM_DATA_INSTANCE_INFO {
    uint8_t first = 0;
    uint32_t second = 0;
    uint8_t third = 0;  // KSM_INSTANCE_INFO_WIZARD_GENERATED: made by the IP generation wizard
    uint8_t version = 0;
};

class KSM_TX_INSTANCE : public KSM_OBJECT {
public:
    KSM_TX_INSTANCE(KSM_DATA_SESSION* owner, const char* name);
    ~KSM_TX_INSTANCE() override;

    const char* get_name(int = 0) const;
    bool set_name(const char* name);  // false when empty or taken in the session
    bool is_enabled() const;
    void set_enabled(bool enabled);
    bool is_expanded() const;
    void set_expanded(bool expanded);
    bool is_modified() const;
    KSM_TX_INSTANCE* get_data_instance() { return this; }

    // Versions.
    static int get_current_version();
    KSM_DATA_INSTANCE_INFO get_node_info() const;
    void set_node_info(const KSM_DATA_INSTANCE_INFO& info);
    bool is_version_not_defined() const;
    bool is_newer_version() const;
    bool is_current_version() const;
    bool update_to_current_version();
    bool is_incremental_route_available() const;
    void set_incremental_route_available(bool available);

    // Undo: one unit between begin_action and end_action; every change made through any
    // object of the session meanwhile is recorded in it. Undo and redo take back or make again
    // what the unit changed and nothing else: changes made since (outside any unit, or in
    // another instance's units) stay.
    bool begin_action();
    bool end_action();
    // How many units of the session have closed with a change (and were kept for undo).
    unsigned long get_kept_action_count() const;
    bool append_atomic_action(KSM_TX_UNDO_ACTION_ATOMIC* action);
    bool undo();
    bool redo();
    bool is_undo_available() const;
    bool is_redo_available() const;
    int get_max_undo_steps() const;
    void set_max_undo_steps(int steps);

    // Stored values by key; -1 (or 0 found) when absent.
    bool set_position_data(const char* key, int value);
    int get_position_data(const char* key) const;
    bool set_position_data(const char* key, const int* values, int count);
    int get_position_data(const char* key, int* values, int capacity = 1 << 20) const;

    // Signal sets: the active one is the instance's current settings; the others belong to
    // the data-log tree.
    int get_num_signal_sets() const;
    KSM_TX_SIGNAL_SET* get_signal_set(int index) const;
    KSM_TX_SIGNAL_SET* find_signal_set(const char* name) const;
    KSM_TX_SIGNAL_SET* get_active_signal_set() const;
    KSM_TX_SIGNAL_SET* get_global_signal_set() const { return get_signal_set(0); }
    KSM_TX_SIGNAL_SET* create_signal_set(const char* name = nullptr, bool flag = false);
    // Makes the named signal set, trigger and log active; a null or empty name keeps that part.
    bool set_active(const char* signal_set, const char* trigger, const char* log);
    const char* get_active_signal_set_name() const;
    const char* get_active_trigger_name() const;
    const char* get_active_log_name() const;

    // Compiled state (the compilation stand-in records it).
    unsigned int get_compiled_checksum() const;
    unsigned int get_compiled_routing_checksum() const;
    void set_compiled_checksums(unsigned int full, unsigned int routing);

    struct STATE;

private:
    std::shared_ptr<STATE> m_state;
    std::unique_ptr<struct KSM_UNDO_HISTORY> m_history;
    friend struct KSM_ACCESS;
};
using KSM_DATA_INSTANCE = KSM_TX_INSTANCE;

// Every transactional session alive in the process that holds an open data session, oldest
// first: what a compile of the design writes its record into.
std::vector<KSM_TX_SESSION*> ksm_get_open_sessions();
// Called with every session that open_session has opened, before it returns: how the process
// that plays the suite's GUI learns which session the editor opened. None by default.
void ksm_set_session_opened_hook(std::function<void(KSM_TX_SESSION* session)> hook);

// Whether the instance's compile record holds a reroute not yet made: the configuration the
// last routing pass placed differs from the one the last full compile built.
bool ksm_is_reroute_pending(const KSM_TX_INSTANCE* instance);
// Whether another compiled instance of the instance's session, compiled itself, holds the same
// node information. A compile gives each analyzer its own, and a device keeps one analyzer per
// node information: sessions compiled by earlier builds, which left every instance at the
// default, need a compile before all their instances run.
bool ksm_shares_node_info(const KSM_TX_INSTANCE* instance);

// ---- sessions -------------------------------------------------------------------------------

// What tells a file on disk apart from the one a session last read or wrote there: its
// identity, size and time of last change. Not `known` where there was no file.
struct KSM_FILE_STAMP {
    bool known = false;
    unsigned long long device = 0, inode = 0;
    long long size = 0, modified_ns = 0;
    bool operator==(const KSM_FILE_STAMP& o) const
    {
        return known == o.known && device == o.device && inode == o.inode && size == o.size &&
               modified_ns == o.modified_ns;
    }
    bool operator!=(const KSM_FILE_STAMP& o) const { return !(*this == o); }
};

// A programming file attached to a session.
struct KSM_EMBEDDED_SIF {
    std::string name;
    std::string info;
    std::shared_ptr<const std::string> bytes;
};

// The persistent session: instances, stored values, tables, attached files. A transactional
// session works on one; the repository manager lists the open ones by name.
class KSM_DATA_SESSION {
public:
    explicit KSM_DATA_SESSION(const char* name);
    ~KSM_DATA_SESSION();
    KSM_DATA_SESSION(const KSM_DATA_SESSION&) = delete;
    KSM_DATA_SESSION& operator=(const KSM_DATA_SESSION&) = delete;

    const char* get_name() const;
    void set_name(const char* name);
    KSM_DATA_MNEMONICS* get_mnemonics() const;
    const char* get_sif_file_name() const;
    void set_sif_file_name(const char* name);

    // Instances, without their power-up entries.
    int get_num_instances() const;
    KSM_TX_INSTANCE* get_instance(int index) const;
    KSM_TX_INSTANCE* find_instance(const char* name) const;
    // A new instance with one signal set and one trigger; a null name gives "auto_lumetra_N".
    KSM_TX_INSTANCE* create_lumetra_instance(const char* name = nullptr);

    bool is_modified() const { return m_modified; }
    void set_modified(bool modified) { m_modified = modified; }
    // The file at `path` as the session opened or last saved it there (not undoable).
    void set_file_on_disk(const std::string& path, const KSM_FILE_STAMP& stamp);
    // The stamp of the file at `path` as the session opened or last saved it; not known for a
    // file the session did neither with.
    KSM_FILE_STAMP file_on_disk(const std::string& path) const;

    struct STATE;

private:
    std::string m_name;       // where the session is saved: not part of the undoable state
    std::string m_disk_path;  // the file the session opened or last saved, and its stamp then
    KSM_FILE_STAMP m_disk_stamp;
    std::shared_ptr<STATE> m_state;
    std::shared_ptr<KSM_DATA_MNEMONICS> m_mnemonics;
    std::unique_ptr<KSM_JOURNAL> m_journal;
    std::shared_ptr<struct KSM_TREE_HOST> m_tree_host;
    // Also set by the acquisition worker when a capture ends.
    std::atomic<bool> m_modified{false};
    friend struct KSM_ACCESS;
    friend class KSM_TX_SESSION;
};

class KSM_DATA_MANAGER {
public:
    static KSM_DATA_MANAGER* get_data_repository_manager();
    // The data session open under that name (paths compare as absolute, clean paths).
    KSM_DATA_SESSION* get_session_opened(const char* name) const;
    KSM_DATA_SESSION* find_session(const char* name) const { return get_session_opened(name); }
    // A new, empty data session of that name; null when one is open under it.
    KSM_DATA_SESSION* create_session(const char* name);
    // A session file read into a new data session (not registered); null with a reason.
    KSM_DATA_SESSION* open_session(const char* name);
    void close_session(const char* name);
    // True for the sessions made here by name, which transactional sessions share.
    bool owns_session(const KSM_DATA_SESSION* session) const;

    // Registration of the sessions that transactional sessions open.
    void register_session(KSM_DATA_SESSION* session);
    void unregister_session(KSM_DATA_SESSION* session);

private:
    std::vector<KSM_DATA_SESSION*> m_sessions;
    std::vector<std::unique_ptr<KSM_DATA_SESSION>> m_owned;
};

// A session as the editor works on it: entries (each instance, followed by its power-up
// entry when it has one), undo, the session file.
class KSM_TX_SESSION {
public:
    // Takes the root of the module's object tree over.
    KSM_TX_SESSION(KSM_TX_TREE_OBJECT* root, bool flag);
    ~KSM_TX_SESSION();
    KSM_TX_SESSION(const KSM_TX_SESSION&) = delete;
    KSM_TX_SESSION& operator=(const KSM_TX_SESSION&) = delete;

    bool create_session(const char* path);
    // Opens a data session already open under that name, or reads the file. On failure
    // get_last_error() tells why; the session is left without data.
    bool open_session(const char* path);
    // Writes the file through a temporary: a failed save leaves the old file as it was. A save
    // over the file the session opened or last saved is refused when that file changed on disk
    // since (is_changed_on_disk), until accept_file_on_disk() takes the changed file as seen.
    bool save_session(const char* path);
    // Whether `path` names the file the session opened or last saved, and another program has
    // changed or replaced it since: a save over it would lose what that program wrote.
    bool is_changed_on_disk(const char* path) const;
    // Takes the file now at `path` as the one the session last saw, so that a save replaces it.
    void accept_file_on_disk(const char* path);
    bool commit_session();
    bool close_session();
    const std::string& get_last_error() const { return m_last_error; }

    bool is_modified() const;
    void set_undoable_modified_flag();
    void set_gui_logging(bool enable);
    bool is_gui_logging_enabled() const;
    bool is_second_generation() const;
    void set_second_generation(bool second);
    bool is_stripped_version() const;
    void set_stripped_version(bool stripped, const char* original_name);
    bool rename_a_stripped_version();
    void refresh_after_version_upgrade();
    // True when the file was written by a newer format than this repository reads.
    bool is_newer_file_format() const { return m_newer_format; }

    KSM_DATA_SESSION* get_data_session() const { return m_data; }
    KSM_TX_TREE_OBJECT* get_root_object() const { return m_root; }

    // Entries.
    int get_num_instances() const;
    KSM_TX_INSTANCE* get_instance_at(int entry, bool = false) const;
    KSM_TX_SIGNAL_SET* get_signal_set_at(int entry, bool = false) const;
    KSM_TX_TRIGGER* get_trigger_at(int entry, bool = false) const;
    KSM_DATA_LOG* get_log_at(int entry, bool = false) const;
    const char* get_instance_name_at(int entry) const;
    int create_lumetra_instance(const void* name = nullptr);
    bool remove_lumetra_instance(int entry);
    // The entry belongs to an instance that has a power-up entry (the instance's or that one).
    bool is_power_up_trigger(int entry) const;
    // The entry is a power-up entry.
    bool is_power_up_view(int entry) const;
    bool set_power_up_trigger_mode(int entry, bool enable);
    bool duplicate_trigger_to_other(int entry);

    // Resources.
    KSM_TALVERN_RAM_TYPE get_instance_ram_type_at(int entry) const;
    unsigned long get_instance_estimated_logic_cell_count_at(int entry, DEV_FAMILY_ENUM family) const;
    unsigned long get_instance_ram_bits_usage_at(int entry) const;
    bool check_instance_compilation_type_at(int entry, bool* compile_needed, bool* reroute_needed) const;

    // Stored values; -1 (or 0 found) when absent.
    bool set_global_data(const char* key, int value);
    int get_global_data(const char* key) const;
    bool set_global_data(const char* key, const int* values, int count);
    int get_global_data(const char* key, int* values, int capacity = 1 << 20) const;

    // JTAG and programming files.
    const char* get_jtag_chain_name() const;
    bool set_jtag_chain_name(const char* name);
    const char* get_jtag_device_name() const;
    bool set_jtag_device_name(const char* name);
    const char* get_sif_file_name() const;
    void set_sif_file_name(const char* name);
    bool embed_sif_file(const char* path, const char* name);
    int get_embedded_sif_file_count() const;
    int get_num_embedded_sif() const { return get_embedded_sif_file_count(); }
    const char* get_embedded_sif_name_at(int index) const;
    const char* get_embedded_sif_info_at(int index) const;
    bool set_embedded_sif_inst_id_crc_at(int index, const char* info);
    bool remove_embedded_sif_at(int index);
    bool rename_embedded_sif_filename_at(int index, const char* name);
    bool extract_sif_file(int index, const char* path) const;

    // Acquisition and logs.
    KSM_DATA_LOG* create_new_log(int entry);
    bool remove_current_log(int entry);
    bool set_active_log(int entry, KSM_DATA_LOG* log);
    bool set_active(int entry, const char* signal_set, const char* trigger, const char* log);
    bool save_to_log(int entry);
    bool remove(int entry, const char* signal_set, const char* trigger, const char* log);

private:
    bool attach(KSM_DATA_SESSION* data, bool owned);
    void detach_data();

    KSM_TX_TREE_OBJECT* m_root;
    KSM_DATA_SESSION* m_data = nullptr;
    bool m_owns_data = false;
    bool m_newer_format = false;
    std::string m_last_error;
};
