// The trigger checksum: what a compile fixes in the analyzer, as a text hashed with SHA-1.
//
// A compile fixes the structure: which nodes are tapped and how (data, trigger and storage
// enables, tap mode), the clock, sample depth, RAM type, pipeline and node allocations, the
// levels and patterns with their kinds, the storage-qualifier type and input port, recorded
// discontinuities, segments, the flow control, trigger in and out wiring, and a state-based
// flow with its counters, flags and run-time options. What the device takes at the start of
// each run is left out: the nodes' conditions and comparisons at every level and pattern, the
// trigger position, the storage qualifier's disable switch, the trigger in and out conditions,
// the values of advanced boxes that change at run time (variable values and comparison
// operators, detector patterns, shift distance and direction, counter value, type and hold, a
// custom block's bitstream), and the parts of a flow its run-time options name. Level names
// and display settings (aliases, radices, bit order, inversion) fix nothing in the device.
#include "ksm_state.h"
#include "ruv.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <cctype>
#include <set>
#include <sstream>

namespace {

const char* const FLOW_ATTRIBUTE = "state_machine_flow_expression";
const char* const MASKED = "?";

unsigned int first_word_of_sha1(const std::string& text)
{
    const QByteArray digest = QCryptographicHash::hash(QByteArray::fromStdString(text), QCryptographicHash::Sha1);
    unsigned int crc = 0;
    for (int i = 0; i < static_cast<int>(sizeof crc); ++i)
        crc = (crc << 8) | static_cast<unsigned char>(digest[i]);
    return crc;
}

void append_rows(std::ostringstream& out, const char* what, const KSM_TX_SIGNAL_NODES* list)
{
    for (int row = 0; row < list->get_num_nodes(); ++row)
        out << what << ' ' << list->get_node_name(row) << " use " << list->get_node_use(row) << " tap "
            << list->get_tap_mode(row) << " depth " << list->get_depth(row) << " storage "
            << list->is_storage_enabled(row) << list->is_transition_enabled(row) << '\n';
}

// An advanced expression node and its inputs, without what changes at run time.
void append_expression_node(std::ostringstream& out, const RUV_ADVANCED_TRIGGER_BASE* node)
{
    out << node->get_node_kind() << '(' << (node->get_name() ? node->get_name() : "") << ' ' << node->get_delay() << ' '
        << node->get_bit_width();
    switch (node->get_node_kind()) {
    case RUV_KIND_INPUT_CONSTANT: {
        const auto* value = static_cast<const RUV_ADVANCED_TRIGGER_INPUT_CONSTANT*>(node);
        out << ' ' << value->is_negative() << value->get_value();
        break;
    }
    case RUV_KIND_COMPARE_CONSTANT:
    case RUV_KIND_COMPARE_VARIABLE: {
        const auto* compare = static_cast<const RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT*>(node);
        out << ' ' << compare->get_signed_mode();
        if (!compare->is_variable())
            out << ' ' << compare->get_operation();
        break;
    }
    case RUV_KIND_LOGICAL:
    case RUV_KIND_BITWISE:
    case RUV_KIND_UNARY: out << ' ' << static_cast<const RUV_ADVANCED_TRIGGER_OPERATOR*>(node)->get_operation(); break;
    case RUV_KIND_SHIFT: out << ' ' << static_cast<const RUV_ADVANCED_TRIGGER_SHIFT*>(node)->get_operation(); break;
    case RUV_KIND_EVENT_COUNTER:
        out << ' ' << static_cast<const RUV_ADVANCED_TRIGGER_EVENT_COUNTER*>(node)->get_counter_width();
        break;
    case RUV_KIND_IMBPM:
        for (const std::string& name : static_cast<const RUV_ADVANCED_TRIGGER_IMBPM*>(node)->get_node_names())
            out << " '" << name << '\'';
        break;
    case RUV_KIND_CUSTOM_HDL: {
        const auto* block = static_cast<const RUV_ADVANCED_TRIGGER_CUSTOM_HDL*>(node);
        out << ' ' << block->get_module_name() << ' ' << block->get_pipeline_latency();
        break;
    }
    default: break;
    }
    for (int i = 0; i < node->get_input_count(); ++i)
        append_expression_node(out, node->get_input_connection_at(i));
    out << ')';
}

// The expression an advanced level runs (`level` 0.., a pattern -3..-1), as the target takes it:
// its diagram's equation, else its stored text. One that does not parse cannot be compiled: the
// parser's message stands for it.
void append_expression(std::ostringstream& out, KSM_TX_TRIGGER* trigger, int level)
{
    const RUV_ADVANCED_TRIGGER_FACTORY* factory = trigger->get_advanced_trigger_factory(level);
    if (factory && factory->get_root())
        append_expression_node(out, factory->get_root());
    else if (factory)
        out << "error " << factory->get_error_message();
}

void append_level(std::ostringstream& out, KSM_TX_TRIGGER* trigger, int level, const KSM_LEVEL& l, bool sequential)
{
    out << "level " << level << ": type " << l.type << ", basic " << l.basic;
    if (sequential && level >= 0)
        out << ", enabled " << l.enabled;
    if (l.type == KSM_LTYPE_ADVANCED) {
        out << ", expression ";
        append_expression(out, trigger, level);
    }
    out << '\n';
}

bool is_number(const std::string& word) { return !word.empty() && std::isdigit(static_cast<unsigned char>(word[0])); }

// The words and symbols of a flow text, each part its run-time options name replaced by a mark.
std::string compiled_flow(const std::string& text, unsigned int options)
{
    static const std::set<std::string> comparisons = {"<", "<=", "==", "!=", ">=", ">"};
    std::string out, previous;
    for (std::string& word : ksm_flow_words(text)) {
        const bool masked = ((options & RUV_RUNTIME_GOTO_DESTINATIONS) && previous == "goto") ||
                            ((options & RUV_RUNTIME_COMPARISON_VALUES) && is_number(word)) ||
                            ((options & RUV_RUNTIME_LOGICAL_OPERATORS) && (word == "&&" || word == "||")) ||
                            ((options & RUV_RUNTIME_COMPARISON_OPERATORS) && comparisons.count(word));
        out += (masked ? std::string(MASKED) : word) + ' ';
        previous = std::move(word);
    }
    return out;
}

void append_flow(std::ostringstream& out, const KSM_TX_TRIGGER::STATE& s)
{
    out << "runtime options " << s.runtime_options << '\n';
    for (const KSM_COUNTER& c : s.counters)
        out << "counter " << c.name << ' ' << c.width << ' ' << c.initial << '\n';
    for (const KSM_FLAG& f : s.flags)
        out << "flag " << f.name << ' ' << f.initial << '\n';
    if (!s.state_machine)  // the flow as the state machine was made
        return;
    for (const auto& [key, value] : *s.state_machine)
        out << "flow " << key << ' ' << (key == FLOW_ATTRIBUTE ? compiled_flow(value, s.runtime_options) : value)
            << '\n';
}

void append_signal_set(std::ostringstream& out, const KSM_TX_SIGNAL_SET* set)
{
    const KSM_TX_SIGNAL_SET::STATE& s = *KSM_ACCESS::state(set);
    out << "clock " << s.clock_name << ' ' << s.clock_post_fitting << ", depth " << s.sample_depth << ", ram "
        << s.ram_type << ", pipeline " << s.pipeline_level << ", allocated " << s.data_allocated << ' '
        << s.trigger_allocated << ' ' << s.sq_allocated << ' ' << s.corvix_data_allocated << ' '
        << s.corvix_trigger_allocated << ", assignments " << s.assignment_text << '\n';
    append_rows(out, "data node", set);
}

void append_wiring(std::ostringstream& out, const KSM_TX_TRIGGER::STATE& s)
{
    const KSM_TRIGGER_IN& in = s.trigger_in;
    out << "trigger in " << in.enabled << ' ' << in.source << ' ' << in.pin_name << ' ' << in.node_name << ' '
        << in.node_post_fitting << ' ' << in.instance_name << '\n';
    const KSM_TRIGGER_OUT& o = s.trigger_out;
    out << "trigger out " << o.enabled << ' ' << o.pin_name << ' ' << o.instance_name << ' ' << o.eps_event_index;
    for (bool selected : o.selected)
        out << ' ' << selected;
    out << '\n';
}

}  // namespace

unsigned int KSM_TX_TRIGGER::get_crc_value(bool) const
{
    const STATE& s = *m_state;
    std::ostringstream out;
    if (const KSM_TX_SIGNAL_SET* set = get_signal_set())
        append_signal_set(out, set);
    // The parsed expressions are a cache of the trigger's, not part of its state.
    KSM_TX_TRIGGER* self = const_cast<KSM_TX_TRIGGER*>(this);
    for (int i = -KSM_NUM_PATTERNS; i < static_cast<int>(s.levels.size()); ++i)
        append_level(out, self, i, i < 0 ? s.patterns[i + KSM_NUM_PATTERNS] : s.levels[i], !s.state_based);
    out << "storage qualifier " << s.sq_type << ' ' << s.sq_port << ' ' << s.sq_port_post_fitting << ' ' << s.gap_record
        << "\nsegmented " << s.segmented << ' ' << s.segment_size << "\nstate based " << s.state_based << '\n';
    if (s.state_based)
        append_flow(out, s);
    append_wiring(out, s);
    append_rows(out, "node", this);
    return first_word_of_sha1(out.str());
}

unsigned int KSM_TX_TRIGGER::get_text_form_crc_value() const
{
    std::string text;
    append_text_form(&text);
    return first_word_of_sha1(text);
}
