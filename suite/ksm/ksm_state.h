// Inside of the repository: the plain values of every object, and the journal that records
// them for undo. Not part of the interface the module uses.
//
// Each object keeps its values in one shared, copy-on-write state. A change goes through
// ksm_edit(), which first records the object's current state in the open undo unit (once per
// unit), then copies the state if anything else shares it; the unit also keeps the state it
// leaves. Undoing a unit puts the recorded states back where the object still holds the state
// the unit left; where it changed since (outside any unit, or in another instance's unit),
// only the fields the unit changed go back (ksm_merge.h). Redo is the mirror. Node rows are
// shared one by one, in a table that copies in constant time (ksm_row_table.h), so a unit that
// changes one row of a 4096-row list copies that row, its leaf of row pointers and the table's
// leaf pointers only.
#pragma once

#include "ksm.h"
#include "ksm_merge.h"
#include "ksm_row_table.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>

class QIODevice;
struct stat;

// ---- limits and defaults ----------------------------------------------------------------------

constexpr int KSM_MAX_SAMPLE_DEPTH = 1 << 20;
// Any depth a log read from a file may have; its planes' payloads bound what a file may claim further.
constexpr int KSM_MAX_LOG_DEPTH = 1 << 24;
// No deflate stream inflates to more than about 1032 times its size (a 258-byte match in two
// bits): a payload that claims more than that is damaged, and so a small file never claims
// gigabytes.
constexpr size_t KSM_MAX_DEFLATE_RATIO = 1032;
// The largest file a session may hold attached: no programming file comes near it.
constexpr size_t KSM_MAX_SIF_BYTES = size_t{256} << 20;
constexpr int KSM_MAX_PIPELINE_LEVEL = 15;
constexpr int KSM_MAX_COUNTERS = 64;
constexpr int KSM_MAX_FLAGS = 64;

// A log's trigger position: a sample of the log, or -1 for none (a log of no samples keeps 0).
inline bool ksm_trigger_position_fits(int position, int depth)
{
    return position >= -1 && position < std::max(depth, 1);
}

constexpr int KSM_MAX_COUNTER_WIDTH = 32;
constexpr int KSM_DEFAULT_COUNTER_WIDTH = 16;
// The link bits a group row carries (the module decides what each one links).
constexpr int KSM_LINK_TYPE_MASK = 0xf;
// Every part of a state-based trigger that can stay configurable at run time.
constexpr unsigned int KSM_RUNTIME_OPTIONS_ALL = RUV_RUNTIME_GOTO_DESTINATIONS | RUV_RUNTIME_COMPARISON_VALUES |
                                                 RUV_RUNTIME_LOGICAL_OPERATORS | RUV_RUNTIME_COMPARISON_OPERATORS;
// Trigger-out destinations are kept by their kind, up to the processor event.
constexpr int KSM_TRIGGER_OUT_KINDS = KSM_IOTYPE_EPS_EVENT + 1;

// ---- trees --------------------------------------------------------------------------------------

// The content of a tree object as data: its kind, its attributes and its children, as a session
// file holds them.
struct KSM_TREE_NODE {
    int kind = KSM_TREE_KIND_TRIGGER;
    KSM_TREE_ATTRIBUTES attributes;
    std::vector<KSM_TREE_NODE> children;
};

struct KSM_TREE;

// The root of the module's object tree for one data session, and the trees whose objects it made.
struct KSM_TREE_HOST {
    KSM_TX_TREE_OBJECT* root = nullptr;
    std::vector<std::weak_ptr<KSM_TREE>> trees;
    size_t prune_at = 64;  // the list drops trees that are gone when it reaches this size
};

// One of the module's trees (a level's or pattern's diagram, a trigger's state machine) as the
// repository keeps it: the object the session's current root made for it or, while no root
// shows it, its content. States share the tree, never the object itself, which lives no longer
// than the root that made it.
struct KSM_TREE {
    explicit KSM_TREE(int tree_kind) : kind(tree_kind) {}
    ~KSM_TREE();  // deletes the object through its root, which keeps state machines
    KSM_TREE(const KSM_TREE&) = delete;
    KSM_TREE& operator=(const KSM_TREE&) = delete;
    const int kind;
    KSM_TX_TREE_OBJECT* object = nullptr;
    std::shared_ptr<KSM_TREE_HOST> host;           // the one whose root made the object
    std::shared_ptr<const KSM_TREE_NODE> content;  // what the next object is made from; none for a new tree
};

// ---- values -----------------------------------------------------------------------------------

// One condition slot of a node row: a trigger level or a storage-qualifier pattern, one bank.
struct KSM_CONDITION {
    uint8_t condition = KSM_CTYPE_DONT_CARE;
    uint8_t comparison_enabled = 0;
    uint8_t operand[2] = {KSM_CTYPE_COMPARE_GREATER_THAN_OR_EQUAL_TO, KSM_CTYPE_COMPARE_LESS_THAN_OR_EQUAL_TO};
    int32_t value[2] = {0, 0};
    bool operator==(const KSM_CONDITION& o) const
    {
        return condition == o.condition && comparison_enabled == o.comparison_enabled && operand[0] == o.operand[0] &&
               operand[1] == o.operand[1] && value[0] == o.value[0] && value[1] == o.value[1];
    }
    bool operator!=(const KSM_CONDITION& o) const { return !(*this == o); }
};

// Slots of a row: the three patterns first, then the trigger levels (a pattern is level + 3).
constexpr int KSM_CONDITION_SLOTS = KSM_NUM_PATTERNS + KSM_MAX_TRIGGER_LEVELS;
enum KSM_BANK : int { KSM_BANK_NORMAL = 0, KSM_BANK_POWER_UP = 1, KSM_BANKS = 2 };

// A new identity for a node row.
inline uint64_t ksm_new_row_id()
{
    static std::atomic<uint64_t> last{0};
    return ++last;
}

struct KSM_TX_SIGNAL_NODES::ROW {
    // The row's identity within its list: copies made to change the row keep it, a copied row
    // (copy_nodes) gets a new one.
    uint64_t id = ksm_new_row_id();
    std::string name;
    std::string alias;
    std::string debug_port;
    std::string mnemonics_table;
    unsigned int signal_type = KSM_STYPE_NONE;
    int use = KSM_CAPTURE_BOTH;
    int tap_mode = KSM_TAP_PRE_SYNTHESIS;
    int depth = 0;       // 0 at the top; members are one deeper than their group row
    bool group = false;  // a group row (bus), whatever its members
    bool selected = false;
    bool expanded = true;
    bool data_tab_only = false;
    bool invalid = false;
    bool storage_enabled = true;
    bool transition_enabled = false;
    bool inverted = false;
    bool lsb_to_msb = false;
    int group_display_type = KSM_GTYPE_INVALID;
    int link_type = 0;
    int mark = 0;
    std::array<KSM_CONDITION, KSM_CONDITION_SLOTS> conditions[KSM_BANKS];
    std::shared_ptr<const KSM_TX_PLUGIN_MNEMONICS> plugin;
    bool operator==(const ROW& o) const;
    static auto fields()
    {
        using R = ROW;
        return std::make_tuple(&R::name, &R::alias, &R::debug_port, &R::mnemonics_table, &R::signal_type, &R::use,
                               &R::tap_mode, &R::depth, &R::group, &R::selected, &R::expanded, &R::data_tab_only,
                               &R::invalid, &R::storage_enabled, &R::transition_enabled, &R::inverted, &R::lsb_to_msb,
                               &R::group_display_type, &R::link_type, &R::mark, &R::conditions, &R::plugin);
    }
};

// Rows of a list are known by their identity and merge field by field.
inline uint64_t ksm_key_of(const std::shared_ptr<KSM_TX_SIGNAL_NODES::ROW>& row) { return row->id; }
void ksm_merge_element(std::shared_ptr<KSM_TX_SIGNAL_NODES::ROW>& row,
                       const std::shared_ptr<KSM_TX_SIGNAL_NODES::ROW>& from,
                       const std::shared_ptr<KSM_TX_SIGNAL_NODES::ROW>& to);

// What an insertion checks against a list's rows, kept so that inserting one row costs no walk
// over all of them: each name with the first row holding it, and the number of leaf rows.
struct KSM_ROW_INDEX {
    std::unordered_map<std::string, int> names;
    int leaves = 0;
};

// A value worked out from a list state's rows (its index, its channels), or none. It belongs to
// the rows it was built from: a copy of the state starts without one, and every change through
// ksm_edit drops it (ksm_edited), so only the insertion that keeps the index up to date, and the
// change of a row's fields that leaves it as it is, carry it past a change.
template <class VALUE> class KSM_ROWS_CACHE {
public:
    KSM_ROWS_CACHE() = default;
    KSM_ROWS_CACHE(const KSM_ROWS_CACHE&) {}
    KSM_ROWS_CACHE& operator=(const KSM_ROWS_CACHE&)
    {
        m_value.reset();
        return *this;
    }
    const VALUE* get() const { return m_value.get(); }
    std::unique_ptr<VALUE> take() { return std::move(m_value); }
    void keep(std::unique_ptr<VALUE> value) { m_value = std::move(value); }

private:
    std::unique_ptr<VALUE> m_value;
};

// A number that tells one version of a state from every other in the process: drawn anew when
// the state is made, copied or assigned, and when it changes (ksm_edited). A reader that keeps
// what it worked out from a state with its stamp knows the state is unchanged while the stamp is.
// Not a field: never recorded, compared or merged.
class KSM_STAMP {
public:
    KSM_STAMP() : m_value(next()) {}
    KSM_STAMP(const KSM_STAMP&) : m_value(next()) {}
    KSM_STAMP& operator=(const KSM_STAMP&)
    {
        renew();
        return *this;
    }
    void renew() { m_value = next(); }
    uint64_t value() const { return m_value; }

private:
    static uint64_t next()
    {
        static std::atomic<uint64_t> s_last{0};
        return s_last.fetch_add(1, std::memory_order_relaxed) + 1;
    }
    uint64_t m_value;
};

// Why a node list's rows are more than a list may hold (KSM_MAX_NODES nodes, KSM_MAX_GROUP_ROWS
// groups), or an empty text; the list's edits, the writer and the reader apply the same limits.
std::string ksm_node_limit_error(const KSM_ROW_TABLE& rows);

// Merges rows as a list of shared objects (ksm_merge.h).
void ksm_merge_value(KSM_ROW_TABLE& cur, const KSM_ROW_TABLE& from, const KSM_ROW_TABLE& to);

struct KSM_TX_SIGNAL_NODES::STATE {
    KSM_ROW_TABLE rows;
    // Not fields: never recorded, compared or merged.
    KSM_ROWS_CACHE<KSM_ROW_INDEX> index;
    KSM_ROWS_CACHE<std::vector<int>> channels;                           // each row's wired channel (get_wired_channel)
    KSM_ROWS_CACHE<std::pair<uint64_t, std::vector<int>>> log_channels;  // by a log's samples stamp
    KSM_ROWS_CACHE<int> selected;                                        // how many rows are selected
    KSM_ROWS_CACHE<std::pair<int, int>> inputs;                          // leaves that capture data, and trigger
    KSM_STAMP stamp;                                                     // the rows' version (get_rows_stamp)
    // The shape stamps of these rows and of the instance's other list when the two were last
    // known to be in step (the same shape row by row).
    std::pair<uint64_t, uint64_t> in_step_with{0, 0};
    static auto fields() { return std::make_tuple(&STATE::rows); }
};

// A state about to change: a node list's rows lose their index, channels and selected count and
// take a new stamp; other states keep nothing.
template <class STATE> void ksm_edited(STATE&) {}
inline void ksm_edited(KSM_TX_SIGNAL_NODES::STATE& state)
{
    state.index.keep(nullptr);
    state.channels.keep(nullptr);
    state.log_channels.keep(nullptr);
    state.selected.keep(nullptr);
    state.inputs.keep(nullptr);
    state.stamp.renew();
}

struct KSM_LEVEL {
    int type = KSM_LTYPE_BASIC_AND;
    std::string name;
    bool enabled = true;
    bool basic = true;               // the level's condition is basic, not an expression
    std::string expression;          // stored advanced expression text
    std::shared_ptr<KSM_TREE> tree;  // the diagram
    bool modified = false;
    bool operator==(const KSM_LEVEL& o) const
    {
        return type == o.type && name == o.name && enabled == o.enabled && basic == o.basic &&
               expression == o.expression && tree == o.tree && modified == o.modified;
    }
};

struct KSM_COUNTER {
    std::string name;
    int width = KSM_DEFAULT_COUNTER_WIDTH;
    unsigned int initial = 0;
    bool operator==(const KSM_COUNTER& o) const { return name == o.name && width == o.width && initial == o.initial; }
};

struct KSM_FLAG {
    std::string name;
    int initial = 0;
    bool operator==(const KSM_FLAG& o) const { return name == o.name && initial == o.initial; }
};

struct KSM_TRIGGER_IN {
    bool enabled = false;
    int source = KSM_IOTYPE_PIN;
    std::string pin_name;
    std::string node_name;
    bool node_post_fitting = false;
    bool node_valid = true;
    std::string instance_name;
    int condition = KSM_CTYPE_DONT_CARE;
    bool operator==(const KSM_TRIGGER_IN& o) const
    {
        return enabled == o.enabled && source == o.source && pin_name == o.pin_name && node_name == o.node_name &&
               node_post_fitting == o.node_post_fitting && node_valid == o.node_valid &&
               instance_name == o.instance_name && condition == o.condition;
    }
};

struct KSM_TRIGGER_OUT {
    bool enabled = false;
    std::array<bool, KSM_TRIGGER_OUT_KINDS> selected{};  // by destination kind
    std::string pin_name;
    std::string instance_name;
    int eps_event_index = 0;
    int condition = KSM_CTYPE_ACTIVE_HIGH;
    bool operator==(const KSM_TRIGGER_OUT& o) const
    {
        return enabled == o.enabled && selected == o.selected && pin_name == o.pin_name &&
               instance_name == o.instance_name && eps_event_index == o.eps_event_index && condition == o.condition;
    }
};

struct KSM_TX_TRIGGER::STATE {
    std::string name;
    bool expanded = false;
    std::vector<KSM_LEVEL> levels = std::vector<KSM_LEVEL>(1);
    std::array<KSM_LEVEL, KSM_NUM_PATTERNS> patterns;
    int sq_type = KSM_SQTYPE_CONTINUOUS;
    std::string sq_port;
    bool sq_port_post_fitting = false;
    bool sq_port_mark = false;
    bool sq_disabled = false;
    bool gap_record = false;
    bool segmented = false;
    int segment_size = 0;
    int position = KSM_TPOS_PRE;
    bool state_based = false;
    std::vector<KSM_COUNTER> counters;
    std::vector<KSM_FLAG> flags;
    unsigned int runtime_options = 0;
    KSM_TRIGGER_IN trigger_in;
    KSM_TRIGGER_OUT trigger_out;
    int trigger_out_latency = -1;
    bool incremental_route = false;  // compile state: nodes routed incrementally
    // The persisted attributes of the state-machine object (the flow); none while it is as made.
    // A change makes a new list, so that a list is known by its address.
    std::shared_ptr<const KSM_TREE_ATTRIBUTES> state_machine;
    std::vector<std::shared_ptr<KSM_DATA_LOG>> logs;
    int active_log = -1;
    static auto fields()
    {
        using S = STATE;
        return std::make_tuple(&S::name, &S::expanded, &S::levels, &S::patterns, &S::sq_type, &S::sq_port,
                               &S::sq_port_post_fitting, &S::sq_port_mark, &S::sq_disabled, &S::gap_record,
                               &S::segmented, &S::segment_size, &S::position, &S::state_based, &S::counters, &S::flags,
                               &S::runtime_options, &S::trigger_in, &S::trigger_out, &S::trigger_out_latency,
                               &S::state_machine, ksm_active(&S::logs, &S::active_log));
    }
};

struct KSM_TX_SIGNAL_SET::STATE {
    std::string name;
    bool expanded = false;
    std::string clock_name;
    bool clock_post_fitting = false;
    bool clock_invalid = false;
    int sample_depth = KSM_DEFAULT_SAMPLE_DEPTH;
    int pipeline_level = 0;
    int ram_type = KSM_RAM_AUTO;
    int data_allocated = 0;
    int trigger_allocated = 0;
    int sq_allocated = 0;
    int corvix_data_allocated = 0;
    int corvix_trigger_allocated = 0;
    std::string assignment_text;
    std::string top_entity;
    std::vector<std::shared_ptr<KSM_TX_TRIGGER>> triggers;
    int active_trigger = 0;
    static auto fields()
    {
        using S = STATE;
        return std::make_tuple(&S::name, &S::expanded, &S::clock_name, &S::clock_post_fitting, &S::clock_invalid,
                               &S::sample_depth, &S::pipeline_level, &S::ram_type, &S::data_allocated,
                               &S::trigger_allocated, &S::sq_allocated, &S::corvix_data_allocated,
                               &S::corvix_trigger_allocated, &S::assignment_text, &S::top_entity,
                               ksm_active(&S::triggers, &S::active_trigger));
    }
};

using KSM_INT_STORE = std::map<std::string, std::vector<int>>;

inline bool operator==(const KSM_DATA_INSTANCE_INFO& a, const KSM_DATA_INSTANCE_INFO& b)
{
    return a.first == b.first && a.second == b.second && a.third == b.third && a.version == b.version;
}

struct KSM_TX_INSTANCE::STATE {
    std::string name;
    bool enabled = true;
    bool expanded = false;
    bool power_up_entry = false;  // the session shows a power-up entry after the instance
    KSM_DATA_INSTANCE_INFO info;
    bool version_defined = true;
    bool incremental_route_available = false;
    KSM_INT_STORE position_data;
    unsigned int compiled_checksum = 0;
    unsigned int compiled_routing_checksum = 0;
    std::vector<std::shared_ptr<KSM_TX_SIGNAL_SET>> signal_sets;
    int active_signal_set = 0;
    static auto fields()
    {
        using S = STATE;
        return std::make_tuple(&S::name, &S::enabled, &S::expanded, &S::power_up_entry, &S::info, &S::version_defined,
                               &S::incremental_route_available, &S::position_data, &S::compiled_checksum,
                               &S::compiled_routing_checksum, ksm_active(&S::signal_sets, &S::active_signal_set));
    }
};

struct KSM_DATA_MNEMONICS_TABLE::STATE {
    std::string name;
    int width = 0;
    // Entries in order: pattern and its symbols.
    std::vector<std::pair<std::string, std::vector<std::string>>> entries;
    static auto fields() { return std::make_tuple(&STATE::name, &STATE::width, &STATE::entries); }
};

struct KSM_DATA_MNEMONICS::STATE {
    std::vector<std::shared_ptr<KSM_DATA_MNEMONICS_TABLE>> tables;
    static auto fields() { return std::make_tuple(&STATE::tables); }
};

struct KSM_DATA_LOG::STATE {
    std::string name;
    bool expanded = false;
    bool power_up = false;
    bool global_temp = false;
    bool gui_update_skipped = false;
    std::vector<std::shared_ptr<KSM_DATA_MNEMONICS_TABLE>> static_tables;
    std::vector<std::string> static_table_keys;  // one per static table
    static auto fields()
    {
        using S = STATE;
        return std::make_tuple(&S::name, &S::expanded, &S::power_up, &S::global_temp, &S::gui_update_skipped,
                               ksm_whole(&S::static_tables), &S::static_table_keys);
    }
};

// The system's huge pages for anonymous memory, as its transparent huge page setting offers them.
struct KSM_HUGE_PAGES {
    size_t size = 0;       // the bytes of one; 0 where the system offers none
    bool advised = false;  // it gives them only to memory advised for them, not to all
};
// The setting as read below `root` (ROOT/sys/kernel/mm/transparent_hugepage/...) at each call.
KSM_HUGE_PAGES ksm_huge_pages(const std::string& root);
// Memory for sample planes: a block of a huge page or more in huge pages where the system offers
// them (ksm_huge_pages("")), with its last part short of a huge page in small ones; a smaller
// block, or any where the system offers none, from the heap. A block is freed with its size.
void* ksm_allocate_planes(size_t bytes);
void ksm_free_planes(void* at, size_t bytes);
// What a block of `bytes` takes: one in huge pages takes whole small pages.
size_t ksm_plane_memory(size_t bytes);
// The size of the huge pages a block of `bytes` takes, 0 where it takes small pages.
size_t ksm_plane_huge_page(size_t bytes);
// The size of the huge pages ksm_allocate_planes() gives, 0 where the system offers none.
size_t ksm_huge_page_size();

// Takes sample planes' memory from ksm_allocate_planes(), and leaves the elements a container
// adds uninitialised unless it is given their value: the planes inflated from a session file are
// written whole, each by the thread that inflates it, so that nothing touches their memory before.
template <class T> struct KSM_PLANE_ALLOCATOR : std::allocator<T> {
    template <class U> struct rebind {
        using other = KSM_PLANE_ALLOCATOR<U>;
    };
    KSM_PLANE_ALLOCATOR() = default;
    template <class U> KSM_PLANE_ALLOCATOR(const KSM_PLANE_ALLOCATOR<U>&) noexcept {}
    T* allocate(size_t n) { return static_cast<T*>(ksm_allocate_planes(n * sizeof(T))); }
    void deallocate(T* at, size_t n) noexcept { ksm_free_planes(at, n * sizeof(T)); }
    template <class U> void construct(U* at) noexcept { ::new (static_cast<void*>(at)) U; }
    template <class U, class... ARGS> void construct(U* at, ARGS&&... args)
    {
        ::new (static_cast<void*>(at)) U(std::forward<ARGS>(args)...);
    }
};
using KSM_PLANE_WORDS = std::vector<uint64_t, KSM_PLANE_ALLOCATOR<uint64_t>>;

// The bytes of sample planes one set of samples holds, counted in what the whole process holds
// (ksm_held_sample_memory): a copy holds its own.
class KSM_HELD_SAMPLE_BYTES {
public:
    KSM_HELD_SAMPLE_BYTES() = default;
    KSM_HELD_SAMPLE_BYTES(const KSM_HELD_SAMPLE_BYTES& other) { set(other.m_bytes); }
    KSM_HELD_SAMPLE_BYTES& operator=(const KSM_HELD_SAMPLE_BYTES& other)
    {
        set(other.m_bytes);
        return *this;
    }
    ~KSM_HELD_SAMPLE_BYTES() { set(0); }
    void set(size_t bytes);

private:
    size_t m_bytes = 0;
};

// The bytes of sample planes the process holds: every log's, captures' and undo history's,
// and the files attached to sessions.
size_t ksm_held_sample_memory();
// An attached file's bytes, counted in what the process holds while any session holds them.
std::shared_ptr<const std::string> ksm_held_file_bytes(std::string&& bytes);

// The samples of a log: bit planes of 64-bit words.
struct KSM_DATA_LOG::SAMPLES {
    int channels = 0;
    int depth = 0;
    int segment_size = 0;
    size_t words = 0;                // words per plane
    KSM_PLANE_WORDS bits;            // channels planes
    KSM_PLANE_WORDS valid;           // one plane
    KSM_PLANE_WORDS trigger;         // one plane
    KSM_PLANE_WORDS breaks;          // one plane
    std::vector<uint8_t> connected;  // per channel
    std::vector<int> trigger_positions;
    int state_value = -1;
    std::vector<unsigned int> counters;
    std::vector<int> flags;
    std::vector<std::string> channel_nodes;  // the node each channel captured; empty: not recorded
    KSM_HELD_SAMPLE_BYTES held;
    KSM_STAMP stamp;  // published samples never change: a new set of samples has a new stamp

    // Plane `index`: a channel's, then the valid, trigger and break planes.
    uint64_t* plane(size_t index)
    {
        const size_t n = static_cast<size_t>(channels);
        if (index < n)
            return bits.data() + index * words;
        return index == n ? valid.data() : index == n + 1 ? trigger.data() : breaks.data();
    }

    // Planes for `channels` channels of `depth` samples, every channel connected: zeroed, or
    // left untouched for a caller that writes every word.
    void allocate(int channel_count, int sample_depth, bool zeroed = true)
    {
        channels = channel_count;
        depth = sample_depth;
        words = (static_cast<size_t>(depth) + 63) / 64;
        auto make = [zeroed](KSM_PLANE_WORDS& plane, size_t size) {
            if (zeroed)
                plane.assign(size, 0);
            else
                plane.resize(size);
        };
        make(bits, words * channels);
        make(valid, words);
        make(trigger, words);
        make(breaks, words);
        connected.assign(channels, 1);
        held.set(plane_memory());
    }

    // What the planes of `channel_count` channels of `plane_words` words take: the channels'
    // block and the valid, trigger and break planes.
    static size_t memory_of(size_t channel_count, size_t plane_words)
    {
        const size_t plane = plane_words * sizeof(uint64_t);
        return ksm_plane_memory(channel_count * plane) + 3 * ksm_plane_memory(plane);
    }
    // What the planes take.
    size_t plane_memory() const
    {
        size_t bytes = 0;
        for (const KSM_PLANE_WORDS* p : {&bits, &valid, &trigger, &breaks})
            bytes += ksm_plane_memory(p->capacity() * sizeof(uint64_t));
        return bytes;
    }
};

// The samples of a log as a session file holds them: the shape (planes left empty) and each
// plane compressed as qCompress() gives it, channels first, then the valid, trigger and break
// planes. A log whose samples would take more than the machine can spare is refused: it keeps
// its planes for saving and shows no samples.
struct KSM_DATA_LOG::PACKED {
    std::shared_ptr<SAMPLES> shape;
    std::vector<QByteArray> planes;
    bool refused = false;

    // The samples inflated; planes that do not inflate to their size read as zeros (a damaged
    // valid plane leaves every sample invalid), a damaged channel's plane marks the channel not
    // connected, and `damaged` tells whether there were any.
    std::shared_ptr<SAMPLES> inflate(bool* damaged) const;
    // What the samples take inflated.
    size_t inflated_bytes() const { return SAMPLES::memory_of(static_cast<size_t>(shape->channels), shape->words); }
    // Inflates one plane into `target`; false, the plane zeroed, when it does not give exactly
    // `bytes`.
    static bool inflate_plane(const QByteArray& packed, uint64_t* target, size_t bytes);
};

// The threads a job of `count` independent parts that handles `bytes` in all runs on: as many as
// the process may keep busy (ksm_usable_cpus) and the job keeps busy, one per 4 MB; a small job
// runs on the calling thread alone.
inline size_t ksm_parallel_threads(size_t count, size_t bytes)
{
    return std::max<size_t>(1, std::min({ksm_usable_cpus(), count, bytes >> 22}));
}

// Calls work(i) for every i in [0, count) on ksm_parallel_threads(count, bytes) threads, the
// calling one among them, each taking the next i left.
template <class WORK> void ksm_parallel_each(size_t count, size_t bytes, WORK work)
{
    std::atomic<size_t> next{0};
    auto run = [&] {
        for (size_t i; (i = next++) < count;)
            work(i);
    };
    std::vector<std::thread> helpers;
    for (size_t k = 1, threads = ksm_parallel_threads(count, bytes); k < threads; ++k)
        helpers.emplace_back(run);
    run();
    for (std::thread& helper : helpers)
        helper.join();
}

// Makes parts 0, 1, ... count - 1 of a job on `threads` threads, the taking one among them: the
// helpers start at once, each taking the next part left, at most `window` parts ahead of the
// taking, so that parts are made while the caller does other work before it takes the first.
// take() hands the parts out in order on the calling thread, which makes parts itself while the
// next one is not ready. Destroying it makes no more parts and waits for the helpers.
template <class MADE> class KSM_PARTS_IN_ORDER {
public:
    KSM_PARTS_IN_ORDER(size_t count, size_t threads, size_t window, std::function<MADE(size_t)> make)
        : m_made(count), m_window(window), m_make(std::move(make))
    {
        for (size_t k = 1; k < threads; ++k)
            m_helpers.emplace_back([this] { help(); });
    }
    ~KSM_PARTS_IN_ORDER()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_room.notify_all();
        for (std::thread& helper : m_helpers)
            helper.join();
    }
    KSM_PARTS_IN_ORDER(const KSM_PARTS_IN_ORDER&) = delete;
    KSM_PARTS_IN_ORDER& operator=(const KSM_PARTS_IN_ORDER&) = delete;

    // The next part in order; taken at most `count` times.
    MADE take()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_made[m_used]) {
            if (can_make())
                make_next(lock);
            else
                m_ready.wait(lock);
        }
        MADE part = std::move(*m_made[m_used]);
        m_made[m_used++].reset();
        m_room.notify_one();
        return part;
    }

private:
    bool can_make() const { return !m_stop && m_next < m_made.size() && m_next < m_used + m_window; }
    void make_next(std::unique_lock<std::mutex>& lock)  // with the lock held
    {
        const size_t i = m_next++;
        lock.unlock();
        MADE part = m_make(i);
        lock.lock();
        m_made[i] = std::move(part);
        if (i == m_used)
            m_ready.notify_one();
    }
    void help()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (true) {
            m_room.wait(lock, [this] { return m_stop || m_next == m_made.size() || can_make(); });
            if (!can_make())
                return;
            make_next(lock);
        }
    }

    std::vector<std::optional<MADE>> m_made;
    const size_t m_window;
    const std::function<MADE(size_t)> m_make;
    std::mutex m_mutex;
    std::condition_variable m_ready, m_room;  // the taker waits for a part, the helpers for room ahead
    size_t m_next = 0, m_used = 0;
    bool m_stop = false;
    std::vector<std::thread> m_helpers;
};

// The most memory the samples of logs read from session files may take: no log larger is
// opened, and none is inflated when it would take the samples held (ksm_held_sample_memory)
// beyond it. Half the memory the process may use (ksm_usable_memory), or what a test sets (0:
// back to that half).
size_t ksm_sample_memory_limit();
void ksm_set_sample_memory_limit(size_t bytes);
// Whether samples of `bytes` more may be inflated within that limit.
bool ksm_sample_memory_allows(size_t bytes);

inline bool operator==(const KSM_EMBEDDED_SIF& a, const KSM_EMBEDDED_SIF& b)
{
    return a.name == b.name && a.info == b.info && a.bytes == b.bytes;
}

struct KSM_DATA_SESSION::STATE {
    std::vector<std::shared_ptr<KSM_TX_INSTANCE>> instances;
    KSM_INT_STORE global_data;
    std::string jtag_chain;
    std::string jtag_device;
    std::string sif_file_name;
    std::vector<KSM_EMBEDDED_SIF> embedded_sifs;
    bool gui_logging = false;
    bool second_generation = false;  // first generation: trigger-list insertions also add data rows
    bool stripped = false;
    std::string stripped_original_name;
    int next_instance_number = 0;
    static auto fields()
    {
        using S = STATE;
        return std::make_tuple(&S::instances, &S::global_data, &S::jtag_chain, &S::jtag_device, &S::sif_file_name,
                               &S::embedded_sifs, &S::gui_logging, &S::second_generation, &S::stripped,
                               &S::stripped_original_name, &S::next_instance_number);
    }
};

// ---- undo ---------------------------------------------------------------------------------------

// One object's state as a unit found it and as it left it.
class KSM_UNDO_ENTRY {
public:
    virtual ~KSM_UNDO_ENTRY() = default;
    // The unit ends: the state it leaves is the object's current one.
    virtual void close() = 0;
    // Puts back the state the unit found (undo) or left (redo).
    virtual void replay(bool undo) = 0;
};

template <class STATE> class KSM_STATE_ENTRY final : public KSM_UNDO_ENTRY {
public:
    KSM_STATE_ENTRY(std::shared_ptr<void> keep_alive, std::shared_ptr<STATE>* slot)
        : m_keep_alive(std::move(keep_alive)), m_slot(slot), m_before(*slot)
    {
    }
    void close() override { m_after = *m_slot; }
    void replay(bool undo) override
    {
        const std::shared_ptr<STATE>& from = undo ? m_after : m_before;
        const std::shared_ptr<STATE>& to = undo ? m_before : m_after;
        if (from == to)
            return;
        if (*m_slot == from) {  // nothing changed the state since: the usual case
            *m_slot = to;
            return;
        }
        auto merged = std::make_shared<STATE>(**m_slot);
        ksm_merge(*merged, *from, *to);
        *m_slot = std::move(merged);
    }

private:
    std::shared_ptr<void> m_keep_alive;  // the object the slot belongs to
    std::shared_ptr<STATE>* m_slot;
    std::shared_ptr<STATE> m_before;
    std::shared_ptr<STATE> m_after;
};

struct KSM_UNDO_UNIT {
    std::vector<std::unique_ptr<KSM_UNDO_ENTRY>> entries;
    std::unordered_set<const void*> recorded;
    std::vector<std::unique_ptr<KSM_TX_UNDO_ACTION_ATOMIC>> atomics;
    bool empty() const { return entries.empty() && atomics.empty(); }
};

struct KSM_UNDO_HISTORY {
    std::vector<std::unique_ptr<KSM_UNDO_UNIT>> undo;
    std::vector<std::unique_ptr<KSM_UNDO_UNIT>> redo;
    int max_steps = 100;  // until the module sets its own number of steps
};

// The open unit of a data session and the instance it belongs to.
struct KSM_JOURNAL {
    std::unique_ptr<KSM_UNDO_UNIT> open;
    KSM_TX_INSTANCE* owner = nullptr;
    int depth = 0;
    bool replaying = false;  // an undo or redo is swapping states: nothing is recorded
    unsigned long kept = 0;  // units closed with a change, since the session was made
};

// ---- access ---------------------------------------------------------------------------------------

// The one door to the private states of the repository's classes.
struct KSM_ACCESS {
    template <class T> static auto& state(T* object) { return object->m_state; }
    template <class T> static const auto& state(const T* object) { return object->m_state; }
    static std::shared_ptr<KSM_TX_SIGNAL_NODES::STATE>& nodes(KSM_TX_SIGNAL_NODES* list) { return list->m_nodes; }
    static const std::shared_ptr<KSM_TX_SIGNAL_NODES::STATE>& nodes(const KSM_TX_SIGNAL_NODES* list)
    {
        return list->m_nodes;
    }
    static std::shared_ptr<KSM_DATA_MNEMONICS>& mnemonics(KSM_DATA_SESSION* s) { return s->m_mnemonics; }
    static KSM_JOURNAL& journal(KSM_DATA_SESSION* s) { return *s->m_journal; }
    static std::shared_ptr<KSM_TREE_HOST>& tree_host(KSM_DATA_SESSION* s) { return s->m_tree_host; }
    // A log's samples, inflated first when they are packed.
    static std::shared_ptr<KSM_DATA_LOG::SAMPLES>& samples(KSM_DATA_LOG* log)
    {
        log->samples();
        return log->m_samples;
    }
    static const std::shared_ptr<KSM_DATA_LOG::SAMPLES>& samples(const KSM_DATA_LOG* log)
    {
        log->samples();
        return log->m_samples;
    }
    // Samples not yet inflated (null once they are, or after a capture).
    static std::shared_ptr<const KSM_DATA_LOG::PACKED>& packed(const KSM_DATA_LOG* log) { return log->m_packed; }
    static const KSM_DATA_LOG::SAMPLES* shape(const KSM_DATA_LOG* log) { return log->shape(); }
    static std::unique_ptr<KSM_UNDO_HISTORY>& history(KSM_TX_INSTANCE* i) { return i->m_history; }
    static void set_parent(KSM_TX_TRIGGER* t, KSM_TX_SIGNAL_SET* s) { t->m_signal_set = s; }
    // The trigger's state-machine object while the session's root shows it, else null.
    static KSM_TX_TREE_OBJECT* state_machine(const KSM_TX_TRIGGER* t)
    {
        return t->m_state_machine ? t->m_state_machine->object : nullptr;
    }
    static void show_recorded_state_machine(KSM_TX_TRIGGER* t) { t->show_recorded_state_machine(); }
    // The attributes the trigger's state-machine object was made with; null before it is made.
    static const KSM_TREE_ATTRIBUTES* made_state_machine(const KSM_TX_TRIGGER* t)
    {
        return t->m_state_machine_made.get();
    }
    static void set_parent(KSM_TX_SIGNAL_SET* s, KSM_TX_INSTANCE* i) { s->m_instance = i; }
    static void set_parent(KSM_DATA_LOG* l, KSM_TX_TRIGGER* t) { l->m_trigger = t; }
};

// Records `slot` (the state of `object`, owned by `keep_alive`) in the open unit of `session`.
template <class STATE>
void ksm_record(KSM_DATA_SESSION* session, std::shared_ptr<void> keep_alive, std::shared_ptr<STATE>& slot)
{
    KSM_JOURNAL& journal = KSM_ACCESS::journal(session);
    if (!journal.open || journal.replaying || journal.open->recorded.count(&slot))
        return;
    journal.open->recorded.insert(&slot);
    journal.open->entries.push_back(std::make_unique<KSM_STATE_ENTRY<STATE>>(std::move(keep_alive), &slot));
}

// The state of `object` made ready for a change: recorded, unshared, the session modified.
template <class STATE> STATE& ksm_edit(KSM_OBJECT* object, std::shared_ptr<STATE>& slot)
{
    KSM_DATA_SESSION* session = object->get_data_session_of();
    if (session) {
        ksm_record(session, object->shared_from_this(), slot);
        session->set_modified(true);
    }
    if (slot.use_count() > 1)
        slot = std::make_shared<STATE>(*slot);
    ksm_edited(*slot);
    return *slot;
}

// Sets one field when it differs; a change records the object like ksm_edit.
template <class STATE, class FIELD, class VALUE>
bool ksm_set(KSM_OBJECT* object, std::shared_ptr<STATE>& slot, FIELD STATE::*field, const VALUE& value)
{
    if ((*slot).*field == value)
        return false;
    ksm_edit(object, slot).*field = value;
    return true;
}

// Sets a number or an enumerated value that must lie in min..max; false for one outside.
template <class STATE>
bool ksm_set_in_range(KSM_OBJECT* object, std::shared_ptr<STATE>& slot, int STATE::*field, int value, int min, int max)
{
    if (value < min || value > max)
        return false;
    ksm_set(object, slot, field, value);
    return true;
}

// Makes repository objects that know their session.
template <class T, class... ARGS> std::shared_ptr<T> ksm_make(KSM_DATA_SESSION* session, ARGS&&... args)
{
    return std::make_shared<T>(session, std::forward<ARGS>(args)...);
}

// Makes an instance that the session lets go of with itself: an instance's undo history keeps the
// instance alive, so the session clears every history of the instances it made when it goes.
std::shared_ptr<KSM_TX_INSTANCE> ksm_make_instance(KSM_DATA_SESSION* session, const char* name);

// ---- child lists ------------------------------------------------------------------------------------

// The named children of an object (the instances of a session, the signal sets of an instance,
// the triggers of a signal set, the logs of a trigger, the mnemonic tables) are shared objects
// in a list of its state. These answer the questions every such list is asked.
template <class T> using KSM_CHILDREN = std::vector<std::shared_ptr<T>>;

template <class T> int ksm_child_count(const KSM_CHILDREN<T>& list) { return static_cast<int>(list.size()); }

// The child at an index, or null outside the list.
template <class T> T* ksm_child_at(const KSM_CHILDREN<T>& list, int index)
{
    return index >= 0 && index < ksm_child_count(list) ? list[index].get() : nullptr;
}

// The index of a child, or -1.
template <class T> int ksm_child_index(const KSM_CHILDREN<T>& list, const T* child)
{
    for (int i = 0; i < ksm_child_count(list); ++i)
        if (list[i].get() == child)
            return i;
    return -1;
}

// The child of that name, or null (also for a null name).
template <class T> T* ksm_find_child(const KSM_CHILDREN<T>& list, const char* name)
{
    for (const auto& child : list)
        if (name && std::strcmp(child->get_name(), name) == 0)
            return child.get();
    return nullptr;
}

// `prefix` and the first number from *number on that makes a name no child bears; *number is
// left after the number taken.
template <class T>
std::string ksm_numbered_child_name(const KSM_CHILDREN<T>& list, const std::string& prefix, int* number)
{
    std::string name;
    do
        name = prefix + std::to_string((*number)++);
    while (ksm_find_child(list, name.c_str()));
    return name;
}

// `name` when it is given and no child bears it, else the first free numbered name from 1.
template <class T>
std::string ksm_free_child_name(const KSM_CHILDREN<T>& list, const char* name, const std::string& prefix)
{
    if (name && *name && !ksm_find_child(list, name))
        return name;
    int number = 1;
    return ksm_numbered_child_name(list, prefix, &number);
}

// Takes the child at `index` out of the list; the active index follows its element, and is -1
// when that was the child taken out.
template <class T> void ksm_erase_child(KSM_CHILDREN<T>& list, int* active, int index)
{
    list.erase(list.begin() + index);
    if (*active >= index)
        *active = *active == index ? -1 : *active - 1;
}

// Appends a new child to a list of the parent's state, named `name` when that is given and free,
// else by `prefix` and a number.
template <class CHILD, class PARENT, class STATE>
CHILD* ksm_add_child(PARENT* parent, std::shared_ptr<STATE>& slot, KSM_CHILDREN<CHILD> STATE::*list, const char* name,
                     const char* prefix)
{
    const std::string text = ksm_free_child_name((*slot).*list, name, prefix);
    auto child = ksm_make<CHILD>(parent->get_data_session_of(), text.c_str());
    KSM_ACCESS::set_parent(child.get(), parent);
    (ksm_edit(parent, slot).*list).push_back(child);
    return child.get();
}

// Renames a child; false for an empty name and for one that `namesake`, another child of the same
// parent, bears already.
template <class T, class STATE>
bool ksm_rename_child(T* child, std::shared_ptr<STATE>& slot, const char* name, const T* namesake)
{
    if (!name || !*name || (namesake && namesake != child))
        return false;
    ksm_set(child, slot, &STATE::name, std::string(name));
    return true;
}

// Makes the objects of the session's level and pattern diagrams through its tree root: a kept
// diagram (read from a file, or shown by a former root) from its content; an advanced level or
// pattern without one gets a new diagram built from its stored expression when that parses,
// else empty.
void ksm_make_missing_trees(KSM_DATA_SESSION* session);

// Makes every state-machine object of the session show the flow its trigger's state records:
// after an undo or redo has put other states back.
void ksm_show_recorded_state_machines(KSM_DATA_SESSION* session);

// The object of a tree, made through the session's root from the tree's content when the tree
// has none; null while the session has no root (or the root makes none).
KSM_TX_TREE_OBJECT* ksm_show_tree(KSM_DATA_SESSION* session, const std::shared_ptr<KSM_TREE>& tree);

// Before the session's root goes: every tree object it made for the session is let go, each
// diagram's content kept for the next root (a state machine's flow is in its trigger's state).
void ksm_release_trees(KSM_DATA_SESSION* session);

// The session file (ksm_file.cpp): its document element and the format this repository writes
// and reads; a file of a higher format comes from a newer repository.
constexpr int KSM_FILE_FORMAT = 1;
constexpr const char* KSM_FILE_ROOT_ELEMENT = "lumetra-session";

// The stamp of the regular file at `path` now, and of a file as stat() tells it.
KSM_FILE_STAMP ksm_file_stamp(const std::string& path);
KSM_FILE_STAMP ksm_file_stamp(const struct stat& s);

// Replaces the file at `path` with what `write` writes to the device it is given, in one step;
// on failure the old file is kept and `error` (when given) names the file and the reason. The save
// is done once the new data and the folder are synced to the disk (ksm_save_file.cpp). The new
// file keeps the old one's owner, group and permissions, or the save is refused. With `expected`
// known, the save is refused when the file at `path` is another than the one it describes;
// `written` gets the new file's stamp once it has the name.
bool ksm_write_file(const std::string& path, const std::function<bool(QIODevice*)>& write, std::string* error,
                    const KSM_FILE_STAMP* expected = nullptr, KSM_FILE_STAMP* written = nullptr);
// Removes the temporary files that saves of `path` left when they were ended before their
// rename: those their writers marked for that file and no longer hold.
void ksm_remove_save_leftovers(const std::string& path);
// Names of the XML session file.
bool ksm_write_session_file(KSM_DATA_SESSION* session, const std::string& path, std::string* error,
                            const KSM_FILE_STAMP* expected = nullptr, KSM_FILE_STAMP* written = nullptr);
// Reads a file into a new data session; null with a reason naming the file (and the line
// and column where there is one). `newer` tells that the file's format is newer than ours.
std::unique_ptr<KSM_DATA_SESSION> ksm_read_session_file(const std::string& path, KSM_TX_TREE_OBJECT* root,
                                                        std::string* error, bool* newer);
// Session files are read through the XML reader alone, the planes' text not taken out on the
// way (slower; a check of the faster reading): true until it is set false again.
void ksm_set_plain_reading(bool plain);
