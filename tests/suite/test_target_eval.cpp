// Captures of the simulated target on the demo design checked against a plain per-sample
// reference: advanced expressions (counters too) under each storage qualifier, comparison levels,
// the group conditions of Basic OR levels, segmented captures (which keep no storage qualifier),
// break marks and a flow's segment triggers, the level enables and the nodes that storage patterns
// listen to, rows that name no design node, three configurations engineers use (a mask/value level
// sequence, an OR of comparisons and edges with conditional storage, a sixteen-state machine with
// per-state storage), a threaded run while the trigger is edited, and the refusal of a custom HDL
// block.
#include "daw.h"
#include "daw_eval.h"
#include "ksm_test_session.h"
#include "msg.h"
#include "prj.h"
#include "ruv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <thread>

namespace {

using PREDICATE = std::function<bool(long long)>;
// The first trigger sample from `from` on; `final` tells whether it ends the acquisition.
using FIND = std::function<long long(long long from, bool* final)>;
const std::vector<std::string> ROWS = {"cpu|ir[0]", "cpu|ir[1]", "cpu|ir[2]", "cpu|ir[3]",   "btn[0]",
                                       "btn[1]",    "btn[2]",    "btn[3]",    "cpu|fsm|busy"};

bool bit(const std::string& row, long long t)
{
    const size_t open = row.find('[');
    if (t < 0)
        return false;
    return open == std::string::npos ? daw_sim::node_bit(row, 0, t)
                                     : daw_sim::node_bit(row.substr(0, open), std::atoi(row.c_str() + open + 1), t);
}

bool changed(const std::string& row, long long t) { return t > 0 && bit(row, t) != bit(row, t - 1); }

// A counter's outputs so far and its registers.
struct COUNTER_RUN {
    std::vector<bool> out;
    uint64_t count = 0;
    bool started = false, held = false;
};
std::map<const RUV_ADVANCED_TRIGGER_BASE*, COUNTER_RUN> counter_runs;  // cleared per expression

int64_t value(const RUV_ADVANCED_TRIGGER_BASE* n, long long t);

bool counter_at(const RUV_ADVANCED_TRIGGER_EVENT_COUNTER* c, long long t)
{
    COUNTER_RUN& r = counter_runs[c];
    while (t >= 0 && static_cast<long long>(r.out.size()) <= t) {
        const bool x = value(c->get_input_connection_at(0), static_cast<long long>(r.out.size())) != 0;
        const bool at = r.count == c->get_counter_value();
        r.out.push_back(at || (c->get_hold_status() && r.held));
        r.held = r.held || at;
        if (c->get_mode() == RUV_ETYPE_CONTINUOUS)
            r.count = x ? (at ? r.count : r.count + 1) : 0;
        else if (c->get_mode() == RUV_ETYPE_EVENT)
            r.count = x ? (at ? 1 : r.count + 1) : r.count;
        else
            r.count += (r.started || x) && !at;
        r.started = r.started || x;
    }
    return t >= 0 && r.out[static_cast<size_t>(t)];
}

// The reference value of an expression node at sample t.
int64_t value(const RUV_ADVANCED_TRIGGER_BASE* n, long long t)
{
    auto in = [&](int i, long long at) { return value(n->get_input_connection_at(i), at); };
    const uint64_t mask = n->get_bit_width() >= 64 ? ~0ull : (1ull << n->get_bit_width()) - 1;
    switch (n->get_node_kind()) {
    case RUV_KIND_DESIGN_NODE: return bit(n->get_name(), t - n->get_delay());
    case RUV_KIND_INPUT_CONSTANT: return static_cast<const RUV_ADVANCED_TRIGGER_INPUT_CONSTANT*>(n)->get_value() & mask;
    case RUV_KIND_BUS: {
        int64_t v = 0;
        for (int i = n->get_input_count() - 1; i >= 0; --i)
            v = v << 1 | in(i, t);
        return v;
    }
    case RUV_KIND_LOGICAL:
    case RUV_KIND_BITWISE: {
        const int op = static_cast<const RUV_ADVANCED_TRIGGER_OPERATOR*>(n)->get_operation();
        int64_t v = in(0, t);
        for (int i = 1; i < n->get_input_count(); ++i)
            v = op == RUV_LTYPE_AND ? v & in(i, t) : op == RUV_LTYPE_OR ? v | in(i, t) : v ^ in(i, t);
        return (op == RUV_LTYPE_NOT ? ~v : v) & mask;
    }
    case RUV_KIND_UNARY: {
        const int op = static_cast<const RUV_ADVANCED_TRIGGER_UNARY*>(n)->get_operation();
        const int w = n->get_input_connection_at(0)->get_bit_width();
        const uint64_t v = in(0, t), all = (1ull << w) - 1;
        return op == RUV_LTYPE_AND ? v == all : op == RUV_LTYPE_OR ? v != 0 : __builtin_parityll(v);
    }
    case RUV_KIND_SHIFT: {
        const auto* s = static_cast<const RUV_ADVANCED_TRIGGER_SHIFT*>(n);
        const uint64_t v = in(0, t);
        return (s->get_shift_direction() ? v >> s->get_shift_amount() : v << s->get_shift_amount()) & mask;
    }
    case RUV_KIND_COMPARE_CONSTANT: {
        const auto* c = static_cast<const RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT*>(n);
        const long long at = t - c->get_delay();
        if (at < 0)
            return 0;
        auto operand = [&](int i) {
            const int w = n->get_input_connection_at(i)->get_bit_width();
            const int64_t v = in(i, at);
            return c->get_signed_mode() && w < 64 && ((v >> (w - 1)) & 1) ? v - (int64_t(1) << w) : v;
        };
        const int64_t a = operand(0), b = operand(1);
        const bool results[] = {a > b, a >= b, a < b, a <= b, a == b, a != b, false, true};
        return results[c->get_operation()];
    }
    case RUV_KIND_MBPM: {
        const std::string p = static_cast<const RUV_ADVANCED_TRIGGER_MBPM*>(n)->get_pattern();
        const uint64_t now = in(0, t), before = t > 0 ? in(0, t - 1) : 0;
        bool met = true;
        for (size_t i = 0; i < p.size(); ++i) {
            const bool x = (now >> (p.size() - 1 - i)) & 1, y = (before >> (p.size() - 1 - i)) & 1;
            const char c = p[i];
            met = met && (c == 'X' || (c == '1' && x) || (c == '0' && !x) || (c == 'R' && x && !y) ||
                          (c == 'F' && !x && y) || (c == 'E' && x != y));
        }
        return met;
    }
    case RUV_KIND_EVENT_COUNTER: return counter_at(static_cast<const RUV_ADVANCED_TRIGGER_EVENT_COUNTER*>(n), t);
    default: ADD_FAILURE() << "kind " << n->get_node_kind(); return 0;
    }
}

class TargetEval : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(PRJ_PROJECT::open(std::string(VOKR_EXAMPLES_DIR) + "/demo/demo.kproj", &error)) << error;
        for (const std::string& row : ROWS) {
            set->insert_node(row.c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
            trigger->insert_node(row.c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
        }
        set->set_data_nodes_allocated(static_cast<int>(ROWS.size()));
        set->set_sample_depth(DEPTH);
    }
    void TearDown() override
    {
        daw_sim::reset();
        PRJ_PROJECT::close();
    }

    void condition(int level, const std::string& row, KSM_DATA_TRIGGER_CONDITION c)
    {
        ASSERT_TRUE(trigger->set_trigger_condition(trigger->find_node(row.c_str()), level, c));
    }

    // Adds the bits of a bus of the design to both lists, most significant first.
    void add_bus(const std::string& name, int width)
    {
        for (int b = width - 1; b >= 0; --b) {
            const std::string row = name + "[" + std::to_string(b) + "]";
            set->insert_node(row.c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
            trigger->insert_node(row.c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
        }
        set->set_data_nodes_allocated(set->get_data_input_count());
    }

    // The storage-qualifier patterns and port of the qualifier tests, and the reference of each
    // kind. The transitional qualifier watches the marked rows that store: btn[3] is marked but
    // does not store.
    void use_qualifiers()
    {
        trigger->set_pattern_condition(trigger->find_node("btn[2]"), 0, KSM_CTYPE_HIGH);  // conditional
        trigger->set_pattern_condition(trigger->find_node("btn[0]"), 1, KSM_CTYPE_HIGH);  // start
        trigger->set_pattern_condition(trigger->find_node("btn[1]"), 2, KSM_CTYPE_HIGH);  // stop
        trigger->set_storage_qualifier_input_port("cpu|fsm|busy", false);
        for (const char* row : {"btn[0]", "cpu|fsm|busy", "btn[3]"})
            trigger->set_transition_enabled(trigger->find_node(row), true);
        trigger->set_storage_enabled(trigger->find_node("btn[3]"), false);
        storing.assign(1 << 14, false);
        for (long long t = 0, on = 0; t < static_cast<long long>(storing.size()); ++t) {
            on = on || bit("btn[0]", t);
            storing[static_cast<size_t>(t)] = on;
            on = on && !bit("btn[1]", t);
        }
    }
    PREDICATE stores(KSM_DATA_STORAGE_QUALIFIER_TYPE kind) const
    {
        switch (kind) {
        case KSM_SQTYPE_CONDITIONAL: return [](long long t) { return bit("btn[2]", t); };
        case KSM_SQTYPE_INPUT_PORT: return [](long long t) { return bit("cpu|fsm|busy", t); };
        case KSM_SQTYPE_START_STOP: return [this](long long t) { return bool(storing.at(static_cast<size_t>(t))); };
        case KSM_SQTYPE_TRANSITIONAL:
            return [](long long t) { return t == 0 || changed("btn[0]", t) || changed("cpu|fsm|busy", t); };
        default: return [](long long) { return true; };
        }
    }

    // Captures and compares with the reference: the trigger where the levels have held in turn.
    void expect_capture(const std::vector<PREDICATE>& levels, const PREDICATE& stored)
    {
        expect_capture(
            [levels](long long from, bool* final) {
                long long at = from - 1;
                for (const PREDICATE& level : levels)
                    for (++at; !level(at); ++at)
                        if (at > from + (1 << 20))
                            return -1ll;
                *final = false;
                return at;
            },
            stored);
    }

    // Each segment's trigger where `find` puts it, looked for once the segment's samples before
    // its trigger are stored after the previous segment; the stored samples around it, not
    // before the previous segment's last; validity, trigger and break marks.
    void expect_capture(const FIND& find, const PREDICATE& stored)
    {
        const int size = trigger->is_segmented() ? trigger->get_segment_size() : DEPTH;
        const KSM_DATA_TRIGGER_POSITION position = trigger->get_trigger_position();
        const int pre = position == KSM_TPOS_POST ? size * 7 / 8 : position == KSM_TPOS_PRE ? size / 8 : size / 2;
        std::vector<long long> slots(DEPTH, -1);
        std::vector<bool> breaks(DEPTH, false);
        bool final = false;
        for (long long k = 0, floor = 0, from = 0; k < DEPTH / size && !final; ++k) {
            long long* slot = &slots[static_cast<size_t>(k * size)];
            const long long at = slot[pre] = find(from, &final);
            ASSERT_GE(at, 0) << "segment " << k;
            breaks[static_cast<size_t>(k * size)] = k > 0;
            for (long long i = pre - 1, t = at - 1; i >= 0 && t >= floor; --t)
                if (stored(t))
                    slot[i--] = t;
            floor = at;
            for (long long i = pre + 1, t = at + 1; i < size; ++t)
                if (stored(t))
                    floor = slot[i++] = t;
            from = ++floor;
            for (int i = 0; i < pre; ++from)
                i += stored(from);
        }
        for (int i = 1; i < DEPTH; ++i)
            breaks[i] = breaks[i] ||
                        (trigger->is_record_data_discontinuities() && slots[i - 1] >= 0 && slots[i] > slots[i - 1] + 1);
        KSM_DATA_LOG* log = session->create_new_log(0);
        ASSERT_TRUE(daw_sim::capture(log));
        for (int i = 0; i < DEPTH; ++i) {
            ASSERT_EQ(log->is_bit_valid(i), slots[i] >= 0) << i;
            ASSERT_EQ(log->is_bit_trigger(i), i % size == pre && slots[i] >= 0) << i;
            ASSERT_EQ(log->is_break_previous(i), breaks[i]) << i;
            for (int row = 0; row < set->get_num_nodes(); ++row)
                ASSERT_EQ(log->get_bit(set->get_channel(row), i), bit(set->get_node_name(row), slots[i]))
                    << set->get_node_name(row) << " at " << i;
        }
        log->remove();
    }

    static constexpr int DEPTH = 256;
    std::unique_ptr<KSM_TX_SESSION> session = make_test_session();
    KSM_TX_SIGNAL_SET* set = session->get_signal_set_at(0);
    KSM_TX_TRIGGER* trigger = session->get_trigger_at(0);
    std::vector<bool> storing;  // the start/stop reference
};

const PREDICATE BTN3_RISES = [](long long t) { return changed("btn[3]", t) && bit("btn[3]", t); };

const char* const NIBBLE = "{'cpu|ir[3]','cpu|ir[2]','cpu|ir[1]','cpu|ir[0]'}";

TEST_F(TargetEval, AdvancedLevelsUnderEveryStorageQualifierMatchTheReference)
{
    const std::string nibble = NIBBLE;
    const std::vector<std::string> expressions = {
        "and('cpu|ir[0]', !'btn[1]')",
        "compare(" + nibble + ", >, 11, cc, uc)",
        "compare(" + nibble + ", <, -3, cc, sc)",
        "mbpm('R0X1', " + nibble + ")",
        "and((&{'btn[0]','btn[1]'}), 'cpu|ir[3]')",
        "and(('cpu|ir[0]' @ 3), 'cpu|ir[1]', 'btn[2]')",
        "compare(shift(logical, left, 1, {'cpu|ir[2]','cpu|ir[1]','cpu|ir[0]'}), ==, 6, cc, uc)",
        "compare(({'cpu|ir[1]','cpu|ir[0]'} ^ {'btn[1]','btn[0]'}), ==, 3, cc, uc)",
        "ec(8, 3, c, 0, 'btn[0]')",
        "and(ec(4, 2, c, 1, 'cpu|fsm|busy'), 'btn[1]', 'cpu|ir[2]')",
        "ec(8, 4, e, 0, and('cpu|ir[1]', 'btn[1]'))",
        "and(ec(8, 2, e, 1, 'trig_out'), 'cpu|pc[8]')",  // held from sample 101, found at 256
        "and(ec(8, 2, e, 0, 'trig_out'), 'cpu|pc[8]')",  // at its value from 101, 301, 501, ...
        "ec(8, 40, s, 0, 'btn[2]')",
    };
    const KSM_DATA_STORAGE_QUALIFIER_TYPE kinds[] = {KSM_SQTYPE_CONTINUOUS, KSM_SQTYPE_CONDITIONAL,
                                                     KSM_SQTYPE_INPUT_PORT, KSM_SQTYPE_START_STOP,
                                                     KSM_SQTYPE_TRANSITIONAL};
    trigger->set_num_levels(2);
    condition(0, "btn[3]", KSM_CTYPE_RISING_EDGE);
    trigger->set_level_type(1, KSM_LTYPE_ADVANCED);
    use_qualifiers();
    for (const std::string& text : expressions)
        for (int k = 0; k < 5; ++k) {
            SCOPED_TRACE(text + " / qualifier " + std::to_string(kinds[k]));
            counter_runs.clear();
            RUV_ADVANCED_TRIGGER_FACTORY factory;
            ASSERT_TRUE(factory.parse(text)) << factory.get_error_message();
            ASSERT_TRUE(trigger->set_advanced_trigger_expression(1, text.c_str()));
            ASSERT_TRUE(trigger->set_storage_qualifier_type(kinds[k]));
            trigger->set_trigger_position(k % 2 ? KSM_TPOS_POST : KSM_TPOS_PRE);
            const RUV_ADVANCED_TRIGGER_BASE* root = factory.get_root()->get_input_connection_at(0);
            expect_capture({BTN3_RISES, [root](long long t) { return value(root, t) != 0; }}, stores(kinds[k]));
        }
}

// As many levels as a trigger can hold (ten), each a mask and value over a 16-bit bus; every
// bit of the bus is masked in on some level.
TEST_F(TargetEval, MaskAndValueSequenceOnABusTriggersWhereEveryLevelHeldInTurn)
{
    add_bus("mem_ctrl|fifo|data", 16);
    ASSERT_TRUE(trigger->set_num_levels(KSM_MAX_TRIGGER_LEVELS));
    std::vector<PREDICATE> levels;
    for (int l = 0; l < KSM_MAX_TRIGGER_LEVELS; ++l) {
        const unsigned mask = (0x1249u << (l * 3 % 16) | 0x1249u >> (16 - l * 3 % 16)) & 0xFFFFu;
        const unsigned value = (static_cast<unsigned>(l) * 0x9E37u) & mask;
        for (int b = 0; b < 16; ++b)
            if ((mask >> b) & 1)
                condition(l, "mem_ctrl|fifo|data[" + std::to_string(b) + "]",
                          (value >> b) & 1 ? KSM_CTYPE_HIGH : KSM_CTYPE_LOW);
        levels.push_back([mask, value](long long t) {
            for (int b = 0; b < 16; ++b)
                if (((mask >> b) & 1) &&
                    bit("mem_ctrl|fifo|data[" + std::to_string(b) + "]", t) != (((value >> b) & 1) != 0))
                    return false;
            return true;
        });
    }
    expect_capture(levels, [](long long) { return true; });
}

TEST_F(TargetEval, OrOfComparisonsAndEdgesStoresOnlyWhileItsConditionHolds)
{
    const std::string text = std::string("or(compare(") + NIBBLE + ", ==, 9, cc, uc), mbpm('F', {'cpu|fsm|busy'}))";
    trigger->set_level_type(0, KSM_LTYPE_ADVANCED);
    trigger->set_advanced_trigger_expression(0, text.c_str());
    trigger->set_storage_qualifier_type(KSM_SQTYPE_CONDITIONAL);
    trigger->set_pattern_type(0, KSM_LTYPE_BASIC_OR);
    trigger->set_pattern_condition(trigger->find_node("cpu|fsm|busy"), 0, KSM_CTYPE_FALLING_EDGE);
    trigger->set_pattern_condition(trigger->find_node("btn[0]"), 0, KSM_CTYPE_HIGH);
    const PREDICATE level = [](long long t) {
        const int nibble =
            bit("cpu|ir[3]", t) * 8 + bit("cpu|ir[2]", t) * 4 + bit("cpu|ir[1]", t) * 2 + bit("cpu|ir[0]", t);
        return nibble == 9 || (t > 0 && !bit("cpu|fsm|busy", t) && bit("cpu|fsm|busy", t - 1));
    };
    expect_capture({level}, [](long long t) {
        return bit("btn[0]", t) || (t > 0 && !bit("cpu|fsm|busy", t) && bit("cpu|fsm|busy", t - 1));
    });
}

// Sixteen states, each counting its own occurrences of condition1 and moving on at the second;
// condition2 without condition1 sends the machine back to the first state; odd states store.
TEST_F(TargetEval, SixteenStateMachineWithCountersAndPerStateStorage)
{
    trigger->set_num_levels(2);
    trigger->set_level_type(0, KSM_LTYPE_BASIC_OR);
    condition(0, "cpu|ir[0]", KSM_CTYPE_HIGH);
    condition(0, "cpu|ir[1]", KSM_CTYPE_HIGH);
    for (const char* row : {"btn[1]", "btn[2]", "btn[3]"})
        condition(1, row, KSM_CTYPE_HIGH);
    trigger->set_counter_count(16);
    std::string flow;
    for (int i = 1; i <= 16; ++i) {
        const std::string s = std::to_string(i), next = std::to_string(i % 16 + 1);
        flow += "state ST" + s + ":\n  " + (i % 2 ? "start_store;\n" : "stop_store;\n");
        flow += i == 16 ? "  trigger;\n" : "";
        flow += "  if (condition1 && c" + s + " == 1) begin reset c" + s + "; goto ST" + next + "; end\n";
        flow += "  else if (condition1) increment c" + s + ";\n  else if (condition2) goto ST1;\n";
    }
    trigger->set_state_based(true);
    trigger->set_storage_qualifier_type(KSM_SQTYPE_STATE_BASED);
    trigger->get_state_machine_object()->set_attribute("state_machine_flow_expression", flow.c_str());
    std::vector<bool> odd;
    long long at = -1;
    for (int state = 0, count[16] = {}; odd.size() < 1 << 14;) {
        const long long t = static_cast<long long>(odd.size());
        at = at < 0 && state == 15 ? t : at;
        odd.push_back(state % 2 == 0);
        const bool c1 = bit("cpu|ir[0]", t) || bit("cpu|ir[1]", t);
        const bool c2 = bit("btn[1]", t) && bit("btn[2]", t) && bit("btn[3]", t);
        if (c1 && count[state] == 1) {
            count[state] = 0;
            state = (state + 1) % 16;
        } else if (c1) {
            ++count[state];
        } else if (c2) {
            state = 0;
        }
    }
    ASSERT_GT(at, 0);
    expect_capture({[at](long long t) { return t == at; }}, [&](long long t) { return odd[static_cast<size_t>(t)]; });
}

// A state-based capture records where its flow stands after the capture's last stored sample (the
// last segment's), the state machine running on after the trigger, counters wrapping at their
// widths; another trigger records no state.
TEST_F(TargetEval, CaptureRecordsWhereTheFlowStops)
{
    condition(0, "btn[3]", KSM_CTYPE_HIGH);
    const int widths[] = {7, 16};
    ASSERT_TRUE(trigger->set_counter_count(2));
    for (int c = 0; c < 2; ++c)
        ASSERT_TRUE(trigger->set_counter(c, nullptr, &widths[c], nullptr));
    ASSERT_TRUE(trigger->set_flag_count(1));
    trigger->set_trigger_position(KSM_TPOS_PRE);
    trigger->set_segment_size(64);
    trigger->get_state_machine_object()->set_attribute(
        "state_machine_flow_expression",
        "state ST1:\n  increment c1;\n  segment_trigger;\n  if (c1 == 99) goto ST2;\n"
        "state ST2:\n  increment c1;\n  trigger;\n  if (c1 == 30) goto ST3;\n"
        "state ST3:\n  increment c1;\n  decrement c2;\n  if (condition1) set f1; else clear f1;\n");
    // ST2 from sample 100 to 158, where c1 has wrapped to 30. The flow stops after the last
    // trigger: at sample 100, or in segments at 0, 64 and 128 (the last). Where it also qualifies
    // storage it runs on to the capture's last sample, the trigger's 223 after it.
    const struct {
        bool state_based, segmented, qualifies;
        long long last;
        int state;
    } cases[] = {{true, false, false, 100, 1},
                 {true, true, false, 128, 1},
                 {true, false, true, 323, 2},
                 {false, false, false, 0, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "state-based " << c.state_based << ", segmented " << c.segmented
                                        << ", qualifying " << c.qualifies);
        trigger->set_state_based(c.state_based);
        trigger->set_segmented(c.segmented);
        trigger->set_storage_qualifier_type(c.qualifies ? KSM_SQTYPE_STATE_BASED : KSM_SQTYPE_CONTINUOUS);
        KSM_DATA_LOG* log = session->create_new_log(0);
        ASSERT_TRUE(daw_sim::capture(log));
        std::vector<unsigned int> counters, expected_counters;
        std::vector<int> flags, expected_flags;
        for (int i = 0; i < log->get_number_counters(); ++i)
            counters.push_back(log->get_counter_value(i));
        for (int i = 0; i < log->get_number_flags(); ++i)
            flags.push_back(log->get_flag_value(i));
        if (c.state_based) {
            const auto steps = static_cast<unsigned int>(c.last + 1);
            const bool in_st3 = c.last >= 159;
            expected_counters = {steps & 127, in_st3 ? (0u - (steps - 159)) & 0xFFFF : 0u};
            expected_flags = {in_st3 && bit("btn[3]", c.last)};
        }
        EXPECT_EQ(log->get_state_value(), c.state);
        EXPECT_EQ(counters, expected_counters);
        EXPECT_EQ(flags, expected_flags);
        log->remove();
    }
}

// Comparisons of a 16-bit bus, on a comparison level beside a node condition (the members' own
// conditions do not count) or as the conditional storage pattern, in either bit order.
TEST_F(TargetEval, ComparisonLevelsCompareTheBusValue)
{
    int odd = 701;  // an odd sample where btn[0] is high: cpu|pc[0] is high there
    while (!bit("btn[0]", odd))
        odd += 2;
    const KSM_DATA_TRIGGER_CONDITION GT = KSM_CTYPE_COMPARE_GREATER_THAN,
                                     GE = KSM_CTYPE_COMPARE_GREATER_THAN_OR_EQUAL_TO, EQ = KSM_CTYPE_COMPARE_EQUAL_TO,
                                     LE = KSM_CTYPE_COMPARE_LESS_THAN_OR_EQUAL_TO, LT = KSM_CTYPE_COMPARE_LESS_THAN,
                                     ANY = KSM_CTYPE_COMPARE_TRUE;
    const struct {
        const char* bus;
        int level;  // 0, or -3 for the conditional pattern
        KSM_DATA_TRIGGER_CONDITION a;
        int va;
        KSM_DATA_TRIGGER_CONDITION b;
        int vb;
        bool lsb_first;
    } cases[] = {{"mem_ctrl|fifo|data", 0, GT, 65000, ANY, 0, false},
                 {"mem_ctrl|fifo|data", 0, LT, 90, ANY, 0, true},
                 {"mem_ctrl|fifo|data", 0, GE, 1000, LT, 1300, false},
                 {"mem_ctrl|fifo|data", 0, GE, 65000, LT, 70000, false},  // a bound wider than the bus
                 {"mem_ctrl|fifo|data", -3, GT, 9000, LE, 40000, true},
                 {"cpu|pc", 0, EQ, odd, ANY, 0, false},
                 {"cpu|pc", -3, GT, 100, LE, 5000, false}};
    std::map<std::string, int> groups;
    for (const char* bus : {"mem_ctrl|fifo|data", "cpu|pc"}) {
        add_bus(bus, 16);
        const int first = trigger->find_node((std::string(bus) + "[15]").c_str());
        ASSERT_TRUE(trigger->group_nodes(first, first + 15));
        groups[bus] = trigger->get_parent_index(trigger->find_node((std::string(bus) + "[0]").c_str()));
    }
    condition(0, "btn[0]", KSM_CTYPE_HIGH);
    condition(0, "cpu|pc[0]", KSM_CTYPE_LOW);
    trigger->set_storage_qualifier_type(KSM_SQTYPE_CONDITIONAL);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.bus) + " on level " + std::to_string(c.level));
        const int row = groups[c.bus], pattern = c.level + KSM_NUM_PATTERNS;
        for (const auto& g : groups)
            trigger->set_comparison_enabled(g.second, 0, false),
                trigger->set_pattern_comparison_enabled(g.second, 0, false);
        trigger->set_level_type(0, c.level == 0 ? KSM_LTYPE_COMPARISON : KSM_LTYPE_BASIC_AND);
        trigger->set_pattern_type(0, c.level == 0 ? KSM_LTYPE_BASIC_AND : KSM_LTYPE_COMPARISON);
        trigger->set_lsb_to_msb(row, c.lsb_first);
        if (c.level == 0) {
            trigger->set_comparison_enabled(row, 0, true);
            trigger->set_comparison_operand(row, 0, 1, c.a);
            trigger->set_comparison_operand(row, 0, 2, c.b);
            trigger->set_comparison_value(row, 0, 1, c.va);
            trigger->set_comparison_value(row, 0, 2, c.vb);
        } else {
            trigger->set_pattern_comparison_enabled(row, pattern, true);
            trigger->set_pattern_comparison_operand(row, pattern, 1, c.a);
            trigger->set_pattern_comparison_operand(row, pattern, 2, c.b);
            trigger->set_pattern_comparison_value(row, pattern, 1, c.va);
            trigger->set_pattern_comparison_value(row, pattern, 2, c.vb);
        }
        const PREDICATE compared = [&c](long long t) {
            long long v = 0;
            for (int b = 0; b < 16; ++b)
                v |= static_cast<long long>(bit(c.bus + ("[" + std::to_string(b) + "]"), t))
                     << (c.lsb_first ? 15 - b : b);
            const auto holds = [v](KSM_DATA_TRIGGER_CONDITION op, long long x) {
                const bool by_operand[] = {v > x, v >= x, v == x, v <= x, v < x, true};
                return by_operand[op - KSM_CTYPE_COMPARE_GREATER_THAN];
            };
            return holds(c.a, c.va) && holds(c.b, c.vb);
        };
        const bool pc = std::string(c.bus) == "cpu|pc";
        if (c.level == 0)
            expect_capture(
                {[&](long long t) { return bit("btn[0]", t) && (pc || !bit("cpu|pc[0]", t)) && compared(t); }},
                stores(KSM_SQTYPE_CONTINUOUS));
        else
            expect_capture({[](long long t) { return bit("btn[0]", t) && !bit("cpu|pc[0]", t); }}, compared);
    }
}

// Basic OR levels whose bus rows combine their bits by a group condition, each of the nine,
// checked sample by sample against a plain evaluation of the bits; a bus without one lends its
// bits to the level's OR one by one.
TEST_F(TargetEval, BasicOrGroupConditionsCombineTheirBits)
{
    const std::vector<std::pair<std::string, KSM_DATA_TRIGGER_CONDITION>> btn = {{"btn[0]", KSM_CTYPE_HIGH},
                                                                                 {"btn[1]", KSM_CTYPE_LOW},
                                                                                 {"btn[2]", KSM_CTYPE_RISING_EDGE},
                                                                                 {"btn[3]", KSM_CTYPE_DONT_CARE}};
    const std::vector<std::pair<std::string, KSM_DATA_TRIGGER_CONDITION>> ir = {{"cpu|ir[0]", KSM_CTYPE_HIGH},
                                                                                {"cpu|ir[1]", KSM_CTYPE_HIGH},
                                                                                {"cpu|ir[2]", KSM_CTYPE_LOW},
                                                                                {"cpu|ir[3]", KSM_CTYPE_EITHER_EDGE}};
    const auto holds = [](const std::string& row, KSM_DATA_TRIGGER_CONDITION c, long long t) {
        const bool rose = t > 0 && bit(row, t) && !bit(row, t - 1);
        const bool fell = t > 0 && !bit(row, t) && bit(row, t - 1);
        switch (c) {
        case KSM_CTYPE_HIGH: return bit(row, t);
        case KSM_CTYPE_LOW: return !bit(row, t);
        case KSM_CTYPE_RISING_EDGE: return rose;
        default: return rose || fell;
        }
    };
    // The group's condition over its members, Don't Care members left out.
    const auto reference = [holds](const auto& members, int condition) {
        return [holds, members, condition](long long t) {
            int count = 0, met = 0;
            for (const auto& [row, c] : members)
                if (c != KSM_CTYPE_DONT_CARE)
                    ++count, met += holds(row, c, t);
            const bool all = met == count, any = met > 0, odd = met % 2;
            const bool by_condition[] = {all, all, any, !all, !any, odd, !odd, !all, any};
            return condition == KSM_CTYPE_DONT_CARE ? any : by_condition[condition - KSM_CTYPE_GROUP_EQUAL];
        };
    };
    for (const auto* bus : {&btn, &ir}) {
        const int first = trigger->find_node(bus->front().first.c_str());
        ASSERT_TRUE(trigger->group_nodes(first, first + 3));
    }
    const int btn_row = trigger->get_parent_index(trigger->find_node("btn[0]"));
    const int ir_row = trigger->get_parent_index(trigger->find_node("cpu|ir[0]"));
    trigger->set_num_levels(2);
    for (int level = 0; level < 2; ++level)
        trigger->set_level_type(level, KSM_LTYPE_BASIC_OR);
    for (int c = KSM_CTYPE_DONT_CARE; c <= KSM_CTYPE_GROUP_ANY_BIT; ++c) {
        SCOPED_TRACE(c);
        const int next = c == KSM_CTYPE_GROUP_ANY_BIT ? KSM_CTYPE_DONT_CARE : c + 1;
        ASSERT_TRUE(trigger->set_trigger_condition(btn_row, 0, KSM_DATA_TRIGGER_CONDITION(c)));
        ASSERT_TRUE(trigger->set_trigger_condition(ir_row, 1, KSM_DATA_TRIGGER_CONDITION(next)));
        for (const auto& [row, condition] : btn)
            trigger->set_trigger_condition(trigger->find_node(row.c_str()), 0, condition);
        for (const auto& [row, condition] : ir)
            trigger->set_trigger_condition(trigger->find_node(row.c_str()), 1, condition);
        expect_capture({reference(btn, c), reference(ir, next)}, stores(KSM_SQTYPE_CONTINUOUS));
    }
}

// An edge where a level's words are made again after the first of its conditions left out a stretch
// of a thousand samples: cpu|pc[10] is low until sample 1024, where pc[9] falls.
TEST_F(TargetEval, EdgeRightAfterAStretchPassedOverIsSeen)
{
    add_bus("cpu|pc", 16);
    condition(0, "cpu|pc[10]", KSM_CTYPE_HIGH);
    condition(0, "cpu|pc[9]", KSM_CTYPE_FALLING_EDGE);
    expect_capture(
        {[](long long t) { return bit("cpu|pc[10]", t) && changed("cpu|pc[9]", t) && !bit("cpu|pc[9]", t); }},
        stores(KSM_SQTYPE_CONTINUOUS));
}

// Every comparison with the bus exactly at its bounds, as the conditional storage pattern: a basic
// comparison of cpu|pc (the sample number), and advanced ones of its low nine bits, unsigned and
// signed (sample 412 reads -100), and of a 64-bit bus that reads -2^63 where trig_out pulses. The
// trigger is where pc is 420, so the samples at each bound are among those stored, or not, around it.
TEST_F(TargetEval, ComparisonsHoldExactlyAtTheirBounds)
{
    add_bus("cpu|pc", 16);
    const int first = trigger->find_node("cpu|pc[15]");
    ASSERT_TRUE(trigger->group_nodes(first, first + 15));
    const int pc = trigger->get_parent_index(trigger->find_node("cpu|pc[0]"));
    const KSM_DATA_TRIGGER_CONDITION GT = KSM_CTYPE_COMPARE_GREATER_THAN,
                                     GE = KSM_CTYPE_COMPARE_GREATER_THAN_OR_EQUAL_TO, EQ = KSM_CTYPE_COMPARE_EQUAL_TO,
                                     LE = KSM_CTYPE_COMPARE_LESS_THAN_OR_EQUAL_TO, LT = KSM_CTYPE_COMPARE_LESS_THAN,
                                     ANY = KSM_CTYPE_COMPARE_TRUE;
    trigger->set_level_type(0, KSM_LTYPE_COMPARISON);
    trigger->set_comparison_enabled(pc, 0, true);
    trigger->set_comparison_operand(pc, 0, 1, EQ);
    trigger->set_comparison_value(pc, 0, 1, 420);
    trigger->set_comparison_operand(pc, 0, 2, ANY);
    trigger->set_storage_qualifier_type(KSM_SQTYPE_CONDITIONAL);
    const PREDICATE at_420 = [](long long t) { return t == 420; };
    const struct {
        KSM_DATA_TRIGGER_CONDITION a;
        int va;
        KSM_DATA_TRIGGER_CONDITION b;
        int vb;
    } basic[] = {{GE, 400, LE, 440}, {GT, 400, LT, 440}, {LT, 440, ANY, 0}};
    trigger->set_pattern_type(0, KSM_LTYPE_COMPARISON);
    trigger->set_pattern_comparison_enabled(pc, 0, true);
    for (const auto& c : basic) {
        SCOPED_TRACE("basic " + std::to_string(c.a) + " " + std::to_string(c.va));
        trigger->set_pattern_comparison_operand(pc, 0, 1, c.a);
        trigger->set_pattern_comparison_operand(pc, 0, 2, c.b);
        trigger->set_pattern_comparison_value(pc, 0, 1, c.va);
        trigger->set_pattern_comparison_value(pc, 0, 2, c.vb);
        expect_capture({at_420}, [&c](long long t) {
            const auto holds = [v = t & 0xFFFF](KSM_DATA_TRIGGER_CONDITION op, long long x) {
                const bool by_operand[] = {v > x, v >= x, v == x, v <= x, v < x, true};
                return by_operand[op - KSM_CTYPE_COMPARE_GREATER_THAN];
            };
            return holds(c.a, c.va) && holds(c.b, c.vb);
        });
    }
    // Advanced: a second level after pc is 300, each holding first exactly at a bound.
    std::string up = "{", ones = "{", min64 = "{'trig_out'";
    for (int b = 8; b >= 0; --b) {
        up += "'cpu|pc[" + std::to_string(b) + "]'" + (b ? "," : "}");
        ones += std::string("'rst_n'") + (b ? "," : "}");  // constant 1
    }
    for (int b = 0; b < 63; ++b)
        min64 += ",'uart|rx|frame_err'";  // constant 0: -2^63 where trig_out pulses, else 0
    min64 += "}";
    const std::string down = "(" + up + " ^ " + ones + ")";  // 511 - pc % 512
    // Rising operators compare the rising bus, the others the falling one; each bound is met
    // after sample 300 (signed: -100 at 412 rising, at 611 falling; != first fails at 301).
    std::vector<std::string> expressions;
    for (const char* op : {">", ">=", "==", "<", "<=", "!="}) {
        const bool rising = op[0] != '<' && op[0] != '!';
        const std::string bus = rising ? up : down, bound = rising ? "400" : op[0] == '!' ? "210" : "100";
        expressions.push_back("compare(" + bus + ", " + op + ", " + bound + ", cc, uc)");
        expressions.push_back("compare(" + bus + ", " + op + ", " + (op[0] == '!' ? "210" : "-100") + ", cc, sc)");
    }
    for (const char* op : {"==", "<=", ">"})
        expressions.push_back("compare(" + min64 + ", " + op + ", -9223372036854775808, cc, sc)");
    expressions.push_back("compare(" + min64 + ", <, 0, cc, sc)");
    trigger->set_pattern_type(0, KSM_LTYPE_BASIC_AND);
    trigger->set_storage_qualifier_type(KSM_SQTYPE_CONTINUOUS);
    trigger->set_comparison_value(pc, 0, 1, 300);
    trigger->set_num_levels(2);
    trigger->set_level_type(1, KSM_LTYPE_ADVANCED);
    for (const std::string& text : expressions) {
        SCOPED_TRACE(text);
        RUV_ADVANCED_TRIGGER_FACTORY factory;
        ASSERT_TRUE(factory.parse(text)) << factory.get_error_message();
        ASSERT_TRUE(trigger->set_advanced_trigger_expression(1, text.c_str()));
        const RUV_ADVANCED_TRIGGER_BASE* root = factory.get_root()->get_input_connection_at(0);
        expect_capture({[](long long t) { return t == 300; }, [root](long long t) { return value(root, t) != 0; }},
                       stores(KSM_SQTYPE_CONTINUOUS));
    }
}

// Segments of 64 samples with each storage qualifier kept, with and without break marks: a
// segmented acquisition has no storage qualifier, so each segment holds consecutive samples;
// then a flow whose segment_trigger fills segments until its trigger ends the acquisition, its
// storage statements ignored.
TEST_F(TargetEval, SegmentedCapturesMatchTheReference)
{
    const struct {
        KSM_DATA_STORAGE_QUALIFIER_TYPE kind;
        KSM_DATA_TRIGGER_POSITION position;
        bool gaps;
    } cases[] = {{KSM_SQTYPE_CONTINUOUS, KSM_TPOS_PRE, true},
                 {KSM_SQTYPE_CONDITIONAL, KSM_TPOS_POST, true},
                 {KSM_SQTYPE_TRANSITIONAL, KSM_TPOS_CENTER, true},
                 {KSM_SQTYPE_START_STOP, KSM_TPOS_PRE, true},
                 {KSM_SQTYPE_INPUT_PORT, KSM_TPOS_CENTER, false}};
    trigger->set_segmented(true);
    trigger->set_segment_size(64);
    condition(0, "btn[3]", KSM_CTYPE_RISING_EDGE);
    use_qualifiers();
    for (const auto& c : cases) {
        SCOPED_TRACE("qualifier " + std::to_string(c.kind));
        trigger->set_storage_qualifier_type(c.kind);
        trigger->set_trigger_position(c.position);
        trigger->set_record_data_discontinuities(c.gaps);
        expect_capture({BTN3_RISES}, stores(KSM_SQTYPE_CONTINUOUS));
    }

    trigger->set_num_levels(2);
    condition(1, "btn[1]", KSM_CTYPE_HIGH);
    trigger->set_counter_count(1);
    trigger->set_state_based(true);
    trigger->set_storage_qualifier_type(KSM_SQTYPE_STATE_BASED);
    trigger->get_state_machine_object()->set_attribute(
        "state_machine_flow_expression",
        "state ST1:\n  increment c1;\n  if (condition1) segment_trigger;\n"
        "  if (condition2) start_store; else stop_store;\n  if (c1 == 300) goto ST2;\n"
        "state ST2:\n  start_store;\n  if (condition1) trigger;\n");
    std::vector<char> segment, final;  // per sample
    for (long long t = 0, c1 = 0; t < 1 << 14; ++t, ++c1) {
        const bool second = c1 > 300;
        segment.push_back(!second && BTN3_RISES(t));
        final.push_back(second && BTN3_RISES(t));
    }
    expect_capture(
        [&](long long from, bool* last) {
            while (!segment.at(static_cast<size_t>(from)) && !final.at(static_cast<size_t>(from)))
                ++from;
            *last = final[static_cast<size_t>(from)];
            return from;
        },
        stores(KSM_SQTYPE_CONTINUOUS));
}

// A sequence runs through its enabled levels only; the last level of a segmented acquisition
// triggers each segment whatever its enable, and a state-based flow reads every level.
TEST_F(TargetEval, DisabledLevelsTakeNoPartInTheSequence)
{
    const PREDICATE btn0_high = [](long long t) { return bit("btn[0]", t); };
    const PREDICATE btn1_falls = [](long long t) { return changed("btn[1]", t) && !bit("btn[1]", t); };
    const struct {
        unsigned disabled;  // a bit per level
        bool segmented;
        const char* flow;  // state-based when given
        std::vector<PREDICATE> levels;
    } cases[] = {{0b000, false, nullptr, {BTN3_RISES, btn0_high, btn1_falls}},
                 {0b010, false, nullptr, {BTN3_RISES, btn1_falls}},
                 {0b101, false, nullptr, {btn0_high}},
                 {0b100, true, nullptr, {BTN3_RISES, btn0_high, btn1_falls}},
                 {0b011, true, nullptr, {btn1_falls}},
                 {0b011,
                  false,
                  "state ST1:\n  if (condition1) goto ST2;\nstate ST2:\n  if (condition2) trigger;\n",
                  {BTN3_RISES, btn0_high}}};
    trigger->set_num_levels(3);
    condition(0, "btn[3]", KSM_CTYPE_RISING_EDGE);
    condition(1, "btn[0]", KSM_CTYPE_HIGH);
    condition(2, "btn[1]", KSM_CTYPE_FALLING_EDGE);
    trigger->set_segment_size(64);
    for (const auto& c : cases) {
        SCOPED_TRACE("disabled " + std::to_string(c.disabled) + (c.segmented ? " segmented" : "") +
                     (c.flow ? " state-based" : ""));
        for (int level = 0; level < 3; ++level)
            trigger->set_level_enabled(level, !((c.disabled >> level) & 1));
        trigger->set_segmented(c.segmented);
        trigger->set_state_based(c.flow != nullptr);
        if (c.flow)
            trigger->get_state_machine_object()->set_attribute("state_machine_flow_expression", c.flow);
        expect_capture(c.levels, stores(KSM_SQTYPE_CONTINUOUS));
    }
}

// A storage-qualifier pattern's conditions count on the nodes enabled for storage, whatever their
// use for triggering; the trigger level's node (btn[3]) triggers though it does not store.
TEST_F(TargetEval, StoragePatternsListenToTheNodesEnabledForStorage)
{
    const struct {
        KSM_DATA_STORAGE_QUALIFIER_TYPE kind;
        const char* row;
        KSM_DATA_WIRE_CAPTURE_TYPE use;
        bool storage;
        KSM_DATA_STORAGE_QUALIFIER_TYPE stores_as;  // an empty pattern holds at every sample
    } cases[] = {{KSM_SQTYPE_CONDITIONAL, "btn[2]", KSM_CAPTURE_DATA, true, KSM_SQTYPE_CONDITIONAL},
                 {KSM_SQTYPE_CONDITIONAL, "btn[2]", KSM_CAPTURE_BOTH, false, KSM_SQTYPE_CONTINUOUS},
                 {KSM_SQTYPE_START_STOP, "btn[0]", KSM_CAPTURE_DATA, true, KSM_SQTYPE_START_STOP}};
    condition(0, "btn[3]", KSM_CTYPE_RISING_EDGE);
    use_qualifiers();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.row) + " for qualifier " + std::to_string(c.kind));
        const int row = trigger->find_node(c.row);
        trigger->set_storage_qualifier_type(c.kind);
        trigger->set_node_use(row, c.use);
        trigger->set_storage_enabled(row, c.storage);
        expect_capture({BTN3_RISES}, stores(c.stores_as));
        trigger->set_node_use(row, KSM_CAPTURE_BOTH);
        trigger->set_storage_enabled(row, true);
    }
}

// Only a whole number in brackets indexes a node: a row named like a bus with its range, or with
// empty brackets, names no design node and stays unconnected, carrying 0; cpu|pc[3] (a counter
// bit) does not.
TEST_F(TargetEval, RowsThatNameNoDesignNodeStayUnconnected)
{
    const struct {
        const char* row;
        bool connected;
    } rows[] = {{"cpu|pc[3]", true}, {"cpu|pc[3..0]", false}, {"cpu|pc[]", false}, {"nosuch[2]", false}};
    for (const auto& r : rows)
        set->insert_node(r.row, KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
    set->set_data_nodes_allocated(set->get_data_input_count());
    KSM_DATA_LOG* log = session->create_new_log(0);
    ASSERT_TRUE(daw_sim::capture(log));
    for (const auto& r : rows) {
        SCOPED_TRACE(r.row);
        const int channel = set->get_channel(set->find_node(r.row));
        ASSERT_GE(channel, 0);
        EXPECT_EQ(log->get_connection_status(channel), r.connected);
        int ones = 0;
        for (int i = 0; i < DEPTH; ++i)
            ones += log->get_bit(channel, i);
        EXPECT_EQ(ones > 0, r.connected);
    }
}

// Samples stored only where cpu|pc reads one value, once every 65536 samples, 64 times within the
// search's reach: the samples after the trigger not stored within reach are left invalid and the
// capture ends. A segmented capture (which stores every sample) whose next segment's trigger is
// not met within reach, under a flow that triggers one segment only, leaves the acquisition
// waiting and the log with what it held.
TEST_F(TargetEval, RarelyStoredSamplesEndTheCaptureOrLeaveItWaiting)
{
    constexpr int STORED_PC = 0x1234, DEEP = 1024, PRE = DEEP / 8;
    add_bus("cpu|pc", 16);
    auto pc_row = [this](int b) { return trigger->find_node(("cpu|pc[" + std::to_string(b) + "]").c_str()); };
    condition(0, "btn[3]", KSM_CTYPE_RISING_EDGE);
    for (int b = 0; b < 16; ++b)
        trigger->set_pattern_condition(pc_row(b), 0, (STORED_PC >> b) & 1 ? KSM_CTYPE_HIGH : KSM_CTYPE_LOW);
    trigger->set_storage_qualifier_type(KSM_SQTYPE_CONDITIONAL);
    trigger->set_trigger_position(KSM_TPOS_PRE);
    set->set_sample_depth(DEEP);
    KSM_DATA_LOG* log = session->create_new_log(0);
    ASSERT_TRUE(daw_sim::capture(log));
    ASSERT_EQ(log->get_data_trigger_position(), PRE);
    for (int i = PRE + 1; i < DEEP; ++i) {
        int pc = 0;
        for (int b = 15; b >= 0; --b)
            pc = pc << 1 | log->get_bit(set->get_channel(pc_row(b)), i);
        ASSERT_EQ(log->is_bit_valid(i), i <= PRE + 64) << i;
        ASSERT_TRUE(!log->is_bit_valid(i) || pc == STORED_PC) << i;
    }

    trigger->set_segmented(true);
    trigger->set_segment_size(DEEP / 2);
    trigger->set_state_based(true);
    trigger->get_state_machine_object()->set_attribute(
        "state_machine_flow_expression",
        "state ST1:\n  if (condition1) begin segment_trigger; goto ST2; end\nstate ST2:\n  goto ST2;\n");
    ASSERT_FALSE(daw_sim::capture(log));
    EXPECT_FALSE(log->is_acquiring_data());
    EXPECT_EQ(log->get_data_sample_depth(), DEEP);
    EXPECT_EQ(log->get_data_trigger_position(), PRE);
}

// The worker of a threaded run captures what the trigger said when the run started, however the
// trigger (and its cached parse) is edited meanwhile.
TEST_F(TargetEval, ThreadedRunCapturesTheTriggerAsItWasWhenStarted)
{
    trigger->set_level_type(0, KSM_LTYPE_ADVANCED);
    trigger->set_advanced_trigger_expression(0, "and('btn[0]', 'btn[1]', 'btn[2]', 'cpu|ir[0]')");
    KSM_DATA_LOG* expected = session->create_new_log(0);
    ASSERT_TRUE(daw_sim::capture(expected));
    daw_sim::set_mode(daw_sim::THREADED, 2);
    std::vector<DAW_CONTROL::ACQ_PARAMETER> requests(1);
    requests[0].data_log = session->create_new_log(0);
    ASSERT_TRUE(DAW_CONTROL::run(&requests));
    for (int i = 0; i < 40; ++i) {
        trigger->set_advanced_trigger_expression(0, i % 2 ? "'btn[3]'" : "and('btn[3]', 'cpu|ir[1]')");
        ASSERT_TRUE(trigger->get_advanced_trigger_factory(0)->get_root());
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    ASSERT_TRUE(daw_sim::wait_idle());
    const KSM_DATA_LOG* log = requests[0].data_log;
    ASSERT_EQ(log->get_data_trigger_position(), expected->get_data_trigger_position());
    for (int c = 0; c < expected->get_num_channels(); ++c)
        for (int w = 0; w < DEPTH / 64; ++w)
            ASSERT_EQ(log->get_bit_word(c, w), expected->get_bit_word(c, w)) << c;
}

TEST_F(TargetEval, CustomHdlBlockIsRefusedByTheRunWithItsReason)
{
    trigger->set_level_type(0, KSM_LTYPE_ADVANCED);
    trigger->set_advanced_trigger_expression(0, "mnd_custom_trigger_hdl(2, {'btn[0]','btn[1]'}, 1, '1', 0, filter)");
    std::vector<DAW_CONTROL::ACQ_PARAMETER> requests(1);
    requests[0].data_log = session->create_new_log(0);
    MSG_JOURNAL::clear();
    EXPECT_FALSE(DAW_CONTROL::run(&requests));
    const std::vector<MSG_RECORD> posted = MSG_JOURNAL::records_of("posted");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_NE(posted[0].text.find("custom HDL block 'filter'"), std::string::npos) << posted[0].text;
}

// The samples of every behaviour kind (counters of several periods up to bit 63, pulses, state
// lists, random bits, a clock, a constant), plain and in segments placed around their triggers,
// shallow and deep, hash to what the target gave when the hashes were recorded.
TEST(TargetSamples, EveryBehaviourGivesTheSamplesItAlwaysGave)
{
    const std::string path = ::testing::TempDir() + "kinds.kproj";
    std::ofstream(path)
        << ("project kinds\ntop top\n"
            "node c1[63..0] registered pre behaviour counter 1\n"
            "node c3[63..0] registered pre behaviour counter 3\n"
            "node c100[15..0] registered pre behaviour counter 100\n"
            "node p1 registered pre behaviour pulse 1\n"
            "node p5 registered pre behaviour pulse 5\n"
            "node p70 registered pre behaviour pulse 70\n"
            "node st[2..0] registered pre behaviour states 001 110 011 101 111\n"
            "node r[31..0] registered pre behaviour random 9\n"
            "node clk registered pre behaviour clock\n"
            "node k[7..0] registered pre behaviour constant 0xA5\n");
    std::string error;
    ASSERT_TRUE(PRJ_PROJECT::open(path, &error)) << error;
    auto session = make_test_session();
    KSM_TX_SIGNAL_SET* set = session->get_signal_set_at(0);
    KSM_TX_TRIGGER* trigger = session->get_trigger_at(0);
    const std::pair<const char*, int> buses[] = {{"c1", 64}, {"c3", 64}, {"c100", 16}, {"p1", 0},  {"p5", 0},
                                                 {"p70", 0}, {"st", 3},  {"r", 32},    {"clk", 0}, {"k", 8}};
    for (const auto& [name, width] : buses)
        for (int b = std::max(width, 1) - 1; b >= 0; --b) {
            const std::string row = width ? std::string(name) + "[" + std::to_string(b) + "]" : name;
            set->insert_node(row.c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
            trigger->insert_node(row.c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
        }
    set->set_data_nodes_allocated(set->get_data_input_count());
    trigger->set_trigger_condition(trigger->find_node("c3[4]"), 0, KSM_CTYPE_RISING_EDGE);
    // The deep captures are written by several threads where the process may use them.
    const struct {
        bool segmented;
        int depth;
        uint64_t hash;
    } cases[] = {{false, 8192, 5889174581463843655ull},
                 {true, 8192, 2209159918463243262ull},
                 {false, 1 << 17, 3659097653240536210ull},
                 {true, 1 << 17, 13823452919192457756ull}};
    for (const auto& c : cases) {
        set->set_sample_depth(c.depth);
        trigger->set_segmented(c.segmented);
        trigger->set_segment_size(1000);
        trigger->set_record_data_discontinuities(c.segmented);
        KSM_DATA_LOG* log = session->create_new_log(0);
        ASSERT_TRUE(daw_sim::capture(log));
        uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a over the words, marks and trigger positions
        auto add = [&hash](uint64_t v) { hash = (hash ^ v) * 0x100000001b3ull; };
        for (int ch = 0; ch < log->get_num_channels(); ++ch)
            for (int w = 0; w < log->get_data_sample_depth() / 64; ++w)
                add(log->get_bit_word(ch, w));
        for (int s = 0; s < log->get_data_sample_depth(); ++s)
            add(log->is_bit_valid(s) | log->is_bit_trigger(s) << 1 | log->is_break_previous(s) << 2);
        for (int k = 0; log->get_data_trigger_position(k) >= 0; ++k)
            add(static_cast<uint64_t>(log->get_data_trigger_position(k)));
        EXPECT_EQ(hash, c.hash) << c.segmented << " " << c.depth;
    }
    PRJ_PROJECT::close();
}

// A random flow over levels condition1..3, counters c1 (three bits) and c2, flags f1 and f2, with
// nested ifs and blocks and every statement kind.
class RANDOM_FLOW {
public:
    explicit RANDOM_FLOW(unsigned seed) : m_random(seed) {}
    std::string text(int states)
    {
        m_states = states;
        std::string flow;
        for (int s = 1; s <= states; ++s) {
            flow += "state ST" + std::to_string(s) + ":\n";
            for (int n = 1 + pick(3); n > 0; --n)
                flow += statement(2) + "\n";
        }
        return flow;
    }

private:
    int pick(int n) { return static_cast<int>(m_random() % static_cast<unsigned>(n)); }
    std::string condition(int depth)
    {
        const char* const ops[] = {"<", "<=", "==", "!=", ">=", ">"};
        switch (depth > 0 ? pick(8) : pick(4)) {
        case 0: return "condition" + std::to_string(1 + pick(3));
        case 1: return "f" + std::to_string(1 + pick(2));
        case 2:
        case 3: return "c" + std::to_string(1 + pick(2)) + " " + ops[pick(6)] + " " + std::to_string(pick(8));
        case 4: return "!" + condition(depth - 1);
        case 5: return "(" + condition(depth - 1) + " && " + condition(depth - 1) + ")";
        case 6: return "(" + condition(depth - 1) + " || " + condition(depth - 1) + ")";
        default: return std::to_string(pick(2));
        }
    }
    // Ifs and blocks down to `depth`, half of them ifs; then one of the actions.
    std::string statement(int depth)
    {
        const char* const simple[] = {"trigger;", "segment_trigger;", "start_store;", "stop_store;"};
        const char* const counted[] = {"increment", "decrement", "reset"};
        switch (depth > 0 ? pick(12) : 4 + pick(8)) {
        case 0:
        case 1:
        case 2:
            return "if (" + condition(2) + ") " + statement(depth - 1) +
                   (pick(2) ? " else " + statement(depth - 1) : "");
        case 3: return "begin " + statement(depth - 1) + " " + statement(depth - 1) + " end";
        case 4:
        case 5: return "goto ST" + std::to_string(1 + pick(m_states)) + ";";
        case 6:
        case 7: return simple[pick(4)];
        case 8:
        case 9: return std::string(counted[pick(3)]) + " c" + std::to_string(1 + pick(2)) + ";";
        default: return std::string(pick(2) ? "set" : "clear") + " f" + std::to_string(1 + pick(2)) + ";";
        }
    }
    std::mt19937 m_random;
    int m_states = 1;
};

// Random flows run a stretch of idle samples at a time give, word after word, what they give run
// sample by sample: on levels that hold rarely, half the time and mostly.
TEST(TargetFlow, RunByStretchesMatchesSampleBySample)
{
    auto session = make_test_session();
    KSM_TX_TRIGGER* trigger = session->get_trigger_at(0);
    ASSERT_TRUE(trigger->set_num_levels(3));
    ASSERT_TRUE(trigger->set_counter_count(2));
    const int three = 3;
    ASSERT_TRUE(trigger->set_counter(0, nullptr, &three, nullptr));
    ASSERT_TRUE(trigger->set_flag_count(2));
    ASSERT_TRUE(trigger->set_state_based(true));
    std::mt19937_64 random(7);
    const std::function<uint64_t()> densities[] = {[&] { return random() & random() & random(); },
                                                   [&] { return random(); },
                                                   [&] { return random() | random() | random(); }};
    RANDOM_FLOW flows(11);
    for (int n = 0; n < 300; ++n) {
        const std::string text = flows.text(1 + n % 4);
        if (n < 4)
            printf("%s\n----\n", text.c_str());
        trigger->get_state_machine_object()->set_attribute("state_machine_flow_expression", text.c_str());
        std::string error;
        const std::unique_ptr<daw_eval::FLOW> fast = daw_eval::make_flow(trigger, &error);
        const std::unique_ptr<daw_eval::FLOW> slow = daw_eval::make_flow(trigger, &error, true);
        ASSERT_TRUE(fast && slow) << error << "\n" << text;
        const auto& level = densities[n % 3];
        for (int word = 0; word < 32; ++word) {
            const std::vector<uint64_t> levels = {level(), level(), level()};
            const daw_eval::FLOW_WORDS a = fast->next(levels), b = slow->next(levels);
            ASSERT_EQ(a.trigger, b.trigger) << word << "\n" << text;
            ASSERT_EQ(a.segment_trigger, b.segment_trigger) << word << "\n" << text;
            ASSERT_EQ(a.store, b.store) << word << "\n" << text;
        }
    }
}

}  // namespace
