// Signal sets: the data list, the acquisition settings and the triggers of an instance.
#include "ksm_state.h"

#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using STATE = KSM_TX_SIGNAL_SET::STATE;

// Limits of the allocation boxes. The suite takes them from the device; the stand-in's devices
// all allow as many nodes of each kind as a node list holds.
constexpr int MAX_DATA_NODES = KSM_MAX_NODES;
constexpr int MAX_TRIGGER_NODES = KSM_MAX_NODES;
constexpr int MAX_STORAGE_QUALIFIER_NODES = KSM_MAX_NODES;

bool set_count(KSM_TX_SIGNAL_SET* set, std::shared_ptr<STATE>& slot, int STATE::*field, int value, int limit)
{
    return ksm_set_in_range(set, slot, field, value, 0, limit);
}

bool is_power_of_two(int n) { return n > 0 && (n & (n - 1)) == 0; }

}  // namespace

KSM_TX_SIGNAL_SET::KSM_TX_SIGNAL_SET(KSM_DATA_SESSION* owner, const char* name)
    : KSM_TX_SIGNAL_NODES(owner, false), m_state(std::make_shared<STATE>())
{
    m_state->name = name ? name : "";
}

KSM_TX_SIGNAL_SET::~KSM_TX_SIGNAL_SET() = default;

const char* KSM_TX_SIGNAL_SET::get_name() const { return m_state->name.c_str(); }

bool KSM_TX_SIGNAL_SET::set_name(const char* name)
{
    return ksm_rename_child(this, m_state, name, m_instance ? m_instance->find_signal_set(name) : nullptr);
}

bool KSM_TX_SIGNAL_SET::is_expanded() const { return m_state->expanded; }
void KSM_TX_SIGNAL_SET::set_expanded(bool expanded) { ksm_set(this, m_state, &STATE::expanded, expanded); }

const char* KSM_TX_SIGNAL_SET::get_clock_name() const { return m_state->clock_name.c_str(); }

bool KSM_TX_SIGNAL_SET::set_clock(const char* name, bool post_fitting)
{
    const std::string text = name ? name : "";
    if (m_state->clock_name == text && m_state->clock_post_fitting == post_fitting)
        return true;
    STATE& s = ksm_edit(this, m_state);
    s.clock_name = text;
    s.clock_post_fitting = post_fitting;
    return true;
}

// The repository keeps nothing derived from the clock: a new clock needs no further step.
void KSM_TX_SIGNAL_SET::clock_changed() {}
bool KSM_TX_SIGNAL_SET::is_clock_post_fitting() const { return m_state->clock_post_fitting; }
bool KSM_TX_SIGNAL_SET::is_clock_invalid() const { return m_state->clock_invalid; }
void KSM_TX_SIGNAL_SET::set_clock_invalid(bool invalid) { ksm_set(this, m_state, &STATE::clock_invalid, invalid); }

int KSM_TX_SIGNAL_SET::get_sample_depth() const { return m_state->sample_depth; }

bool KSM_TX_SIGNAL_SET::set_sample_depth(int depth)
{
    // 0 is an instance without sample memory.
    if ((depth != 0 && !is_power_of_two(depth)) || depth > KSM_MAX_SAMPLE_DEPTH)
        return false;
    ksm_set(this, m_state, &STATE::sample_depth, depth);
    return true;
}

int KSM_TX_SIGNAL_SET::get_pipeline_level() const { return m_state->pipeline_level; }

bool KSM_TX_SIGNAL_SET::set_pipeline_level(int level)
{
    return set_count(this, m_state, &STATE::pipeline_level, level, KSM_MAX_PIPELINE_LEVEL);
}

KSM_TALVERN_RAM_TYPE KSM_TX_SIGNAL_SET::get_ram_type() const
{
    return static_cast<KSM_TALVERN_RAM_TYPE>(m_state->ram_type);
}

bool KSM_TX_SIGNAL_SET::set_ram_type(KSM_TALVERN_RAM_TYPE type)
{
    return ksm_set_in_range(this, m_state, &STATE::ram_type, type, KSM_RAM_AUTO, KSM_RAM_LARGE);
}

int KSM_TX_SIGNAL_SET::get_data_nodes_allocated() const { return m_state->data_allocated; }
bool KSM_TX_SIGNAL_SET::set_data_nodes_allocated(int n)
{
    return set_count(this, m_state, &STATE::data_allocated, n, MAX_DATA_NODES);
}
int KSM_TX_SIGNAL_SET::get_trigger_nodes_allocated() const { return m_state->trigger_allocated; }
bool KSM_TX_SIGNAL_SET::set_trigger_nodes_allocated(int n)
{
    return set_count(this, m_state, &STATE::trigger_allocated, n, MAX_TRIGGER_NODES);
}
int KSM_TX_SIGNAL_SET::get_storage_qualifier_nodes_allocated() const { return m_state->sq_allocated; }
bool KSM_TX_SIGNAL_SET::set_storage_qualifier_nodes_allocated(int n)
{
    return set_count(this, m_state, &STATE::sq_allocated, n, MAX_STORAGE_QUALIFIER_NODES);
}
int KSM_TX_SIGNAL_SET::get_corvix_data_nodes_allocated() const { return m_state->corvix_data_allocated; }
bool KSM_TX_SIGNAL_SET::set_corvix_data_nodes_allocated(int n)
{
    return set_count(this, m_state, &STATE::corvix_data_allocated, n, MAX_DATA_NODES);
}
int KSM_TX_SIGNAL_SET::get_corvix_trigger_nodes_allocated() const { return m_state->corvix_trigger_allocated; }
bool KSM_TX_SIGNAL_SET::set_corvix_trigger_nodes_allocated(int n)
{
    return set_count(this, m_state, &STATE::corvix_trigger_allocated, n, MAX_TRIGGER_NODES);
}

int KSM_TX_SIGNAL_SET::get_max_data_nodes() const { return MAX_DATA_NODES; }
int KSM_TX_SIGNAL_SET::get_max_trigger_nodes() const { return MAX_TRIGGER_NODES; }
int KSM_TX_SIGNAL_SET::get_max_storage_qualifier_nodes() const { return MAX_STORAGE_QUALIFIER_NODES; }

void KSM_TX_SIGNAL_SET::set_assignment_text(const char* text)
{
    ksm_set(this, m_state, &STATE::assignment_text, std::string(text ? text : ""));
}

const char* KSM_TX_SIGNAL_SET::get_assignment_text() const { return m_state->assignment_text.c_str(); }
const char* KSM_TX_SIGNAL_SET::get_top_entity_name() const { return m_state->top_entity.c_str(); }

void KSM_TX_SIGNAL_SET::set_top_entity_name(const char* name)
{
    ksm_set(this, m_state, &STATE::top_entity, std::string(name ? name : ""));
}

namespace {

// Each row's channel: channels count the leaf rows that capture data, in row order; a row with
// members has none.
std::unique_ptr<std::vector<int>> count_channels(const KSM_TX_SIGNAL_SET* set, const KSM_ROW_TABLE& rows)
{
    auto channels = std::make_unique<std::vector<int>>(rows.size(), -1);
    for (size_t i = 0, next = 0; i < rows.size(); ++i) {
        const KSM_TX_SIGNAL_NODES::ROW& r = *rows[i];
        if (r.group || (r.use != KSM_CAPTURE_DATA && r.use != KSM_CAPTURE_BOTH))
            continue;
        (*channels)[i] = set->has_children(static_cast<int>(i)) ? -1 : static_cast<int>(next);
        ++next;
    }
    return channels;
}

// Each wired row's channel in a log whose channels captured the nodes `captured`: the k-th row of
// a name takes the k-th channel of that name; a row whose node the log lacks has none.
std::vector<int> channels_by_name(const KSM_TX_SIGNAL_SET* set, const std::vector<int>& wired,
                                  const std::vector<std::string>& captured)
{
    std::unordered_map<std::string, std::vector<int>> of_name;
    for (int c = static_cast<int>(captured.size()) - 1; c >= 0; --c)
        of_name[captured[static_cast<size_t>(c)]].push_back(c);
    std::vector<int> channels(wired.size(), -1);
    for (size_t row = 0; row < wired.size(); ++row) {
        if (wired[row] < 0)
            continue;
        auto it = of_name.find(set->get_node_name(static_cast<int>(row)));
        if (it != of_name.end() && !it->second.empty()) {
            channels[row] = it->second.back();
            it->second.pop_back();
        }
    }
    return channels;
}

}  // namespace

// The rows' channels are counted once and kept with the rows until they change, as views ask for
// row after row.
int KSM_TX_SIGNAL_SET::get_wired_channel(int row) const
{
    KSM_TX_SIGNAL_NODES::STATE& nodes = *KSM_ACCESS::nodes(this);
    if (row < 0 || row >= static_cast<int>(nodes.rows.size()))
        return -1;
    if (!nodes.channels.get())
        nodes.channels.keep(count_channels(this, nodes.rows));
    return (*nodes.channels.get())[static_cast<size_t>(row)];
}

int KSM_TX_SIGNAL_SET::get_channel(int row) const
{
    const KSM_TX_TRIGGER* trigger = get_active_trigger();
    return get_channel_in(trigger ? trigger->get_active_log() : nullptr, row);
}

// Read by name only where the log named its channels' nodes; kept with the rows for the log's
// samples until either changes.
int KSM_TX_SIGNAL_SET::get_channel_in(const KSM_DATA_LOG* log, int row) const
{
    const int wired = get_wired_channel(row);
    const KSM_DATA_LOG::SAMPLES* shape = log ? KSM_ACCESS::shape(log) : nullptr;  // no planes inflated
    if (wired < 0 || !shape || shape->channel_nodes.empty())
        return wired;
    KSM_TX_SIGNAL_NODES::STATE& nodes = *KSM_ACCESS::nodes(this);
    const uint64_t stamp = shape->stamp.value();
    const auto* kept = nodes.log_channels.get();
    if (!kept || kept->first != stamp)
        nodes.log_channels.keep(std::make_unique<std::pair<uint64_t, std::vector<int>>>(
            stamp, channels_by_name(this, *nodes.channels.get(), shape->channel_nodes)));
    return nodes.log_channels.get()->second[static_cast<size_t>(row)];
}

int KSM_TX_SIGNAL_SET::get_num_channels() const { return get_data_input_count(); }

int KSM_TX_SIGNAL_SET::get_num_triggers() const { return ksm_child_count(m_state->triggers); }
KSM_TX_TRIGGER* KSM_TX_SIGNAL_SET::get_trigger(int index) const { return ksm_child_at(m_state->triggers, index); }

KSM_TX_TRIGGER* KSM_TX_SIGNAL_SET::find_trigger(const char* name) const
{
    return ksm_find_child(m_state->triggers, name);
}

KSM_TX_TRIGGER* KSM_TX_SIGNAL_SET::get_active_trigger() const { return get_trigger(m_state->active_trigger); }

KSM_TX_TRIGGER* KSM_TX_SIGNAL_SET::create_trigger(const char* name, bool)
{
    return ksm_add_child(this, m_state, &STATE::triggers, name, "trigger: ");
}

KSM_DATA_WIRE* KSM_TX_SIGNAL_SET::create_wire(const char* name, KSM_DATA_WIRE_CAPTURE_TYPE capture,
                                              KSM_DATA_WIRE_TAP_MODE tap_mode, bool, const char*, bool)
{
    auto wire = std::make_unique<KSM_DATA_WIRE>();
    wire->name = name ? name : "";
    wire->capture = capture;
    wire->tap_mode = tap_mode;
    m_pending_wires.push_back(std::move(wire));
    return m_pending_wires.back().get();
}

bool KSM_TX_SIGNAL_SET::append(KSM_DATA_WIRE* wire, bool)
{
    KSM_TX_TRIGGER* trigger = get_active_trigger();
    if (!wire || wire->name.empty() || !trigger)
        return false;
    // A wire carries no signal type of its own: its rows are input pins. A first-generation
    // session adds the data row with the trigger row.
    const int data_rows = get_num_nodes();
    if (!trigger->insert_node(wire->name.c_str(), KSM_STYPE_INPUT_PIN, wire->tap_mode, true))
        return false;
    trigger->set_node_use(trigger->get_num_nodes() - 1, wire->capture);
    if (get_num_nodes() == data_rows && !insert_node(wire->name.c_str(), KSM_STYPE_INPUT_PIN, wire->tap_mode, true))
        return false;
    set_node_use(get_num_nodes() - 1, wire->capture);
    return true;
}

bool KSM_TX_SIGNAL_SET::enable_trigger_in(bool enable)
{
    KSM_TX_TRIGGER* trigger = get_active_trigger();
    return trigger && trigger->get_trigger_in()->set_enabled(enable);
}

bool KSM_TX_SIGNAL_SET::enable_trigger_out(bool enable)
{
    KSM_TX_TRIGGER* trigger = get_active_trigger();
    return trigger && trigger->get_trigger_out()->set_enabled(enable);
}

void KSM_TX_SIGNAL_SET::append_text_form(std::string* text) const
{
    const STATE& s = *m_state;
    std::ostringstream out;
    out << "signal set " << s.name << '\n'
        << "clock " << s.clock_name << ' ' << s.clock_post_fitting << '\n'
        << "sample depth " << s.sample_depth << ", pipeline " << s.pipeline_level << ", ram type " << s.ram_type
        << '\n';
    for (int row = 0; row < get_num_nodes(); ++row)
        out << "data node " << get_node_name(row) << " use " << get_node_use(row) << " depth " << get_depth(row)
            << '\n';
    text->append(out.str());
    if (const KSM_TX_TRIGGER* trigger = get_active_trigger())
        trigger->append_text_form(text);
}

const KSM_DATA_SIGNAL_WIRE* KSM_TX_SIGNAL_SET::get_data_wire_at(int index) const
{
    if (index < 0 || index >= get_data_wire_width())
        return nullptr;
    for (int row = 0, count = get_num_nodes(); row < count; ++row)
        if (get_wired_channel(row) == index) {
            m_wire_at = {index, row, get_node_name(row)};
            return &m_wire_at;
        }
    return nullptr;
}
