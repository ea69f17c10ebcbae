// Captures of the simulated target on the demo design checked against a plain per-sample
// reference: advanced expressions under each storage qualifier, three configurations engineers
// use (a mask/value level sequence, an OR of comparisons and edges with conditional storage, a
// sixteen-state machine with per-state storage), and the refusal of a custom HDL block.
#include "daw.h"
#include "ksm_test_session.h"
#include "msg.h"
#include "prj.h"
#include "ruv.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using PREDICATE = std::function<bool(long long)>;
const std::vector<std::string> ROWS = {"cpu|ir[0]", "cpu|ir[1]", "cpu|ir[2]", "cpu|ir[3]", "btn[0]",
                                       "btn[1]",    "btn[2]",    "btn[3]",    "cpu|fsm|busy"};

bool bit(const std::string& row, long long t)
{
    const size_t open = row.find('[');
    if (t < 0)
        return false;
    return open == std::string::npos ? daw_sim::node_bit(row, 0, t)
                                     : daw_sim::node_bit(row.substr(0, open), std::atoi(row.c_str() + open + 1), t);
}

// The reference value of an expression node at sample t (counters excluded).
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
    void TearDown() override { PRJ_PROJECT::close(); }

    void condition(int level, const std::string& row, KSM_DATA_TRIGGER_CONDITION c)
    {
        ASSERT_TRUE(trigger->set_trigger_condition(trigger->find_node(row.c_str()), level, c));
    }

    // Captures and compares with the reference: the trigger at the first sample where the
    // levels have held in turn, the stored samples around it.
    void expect_capture(const std::vector<PREDICATE>& levels, const PREDICATE& stored)
    {
        long long at = -1;
        for (const PREDICATE& level : levels)
            for (++at; !level(at); ++at)
                ASSERT_LT(at, 1 << 20);
        KSM_DATA_LOG* log = session->create_new_log(0);
        ASSERT_TRUE(daw_sim::capture(log));
        const int pre = trigger->get_trigger_position() == KSM_TPOS_POST ? DEPTH * 7 / 8 : DEPTH / 8;
        std::vector<long long> slots(DEPTH, -1);
        slots[pre] = at;
        for (long long i = pre - 1, t = at - 1; i >= 0 && t >= 0; --t)
            if (stored(t))
                slots[static_cast<size_t>(i--)] = t;
        for (long long i = pre + 1, t = at + 1; i < DEPTH; ++t)
            if (stored(t))
                slots[static_cast<size_t>(i++)] = t;
        ASSERT_EQ(log->get_data_trigger_position(), pre);
        for (int i = 0; i < DEPTH; ++i) {
            ASSERT_EQ(log->is_bit_valid(i), slots[i] >= 0) << i;
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
};

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
    };
    const KSM_DATA_STORAGE_QUALIFIER_TYPE kinds[] = {KSM_SQTYPE_CONTINUOUS, KSM_SQTYPE_CONDITIONAL,
                                                     KSM_SQTYPE_INPUT_PORT, KSM_SQTYPE_START_STOP};
    trigger->set_num_levels(2);
    condition(0, "btn[3]", KSM_CTYPE_RISING_EDGE);
    trigger->set_level_type(1, KSM_LTYPE_ADVANCED);
    trigger->set_pattern_condition(trigger->find_node("btn[2]"), 0, KSM_CTYPE_HIGH);  // conditional
    trigger->set_pattern_condition(trigger->find_node("btn[0]"), 1, KSM_CTYPE_HIGH);  // start
    trigger->set_pattern_condition(trigger->find_node("btn[1]"), 2, KSM_CTYPE_HIGH);  // stop
    trigger->set_storage_qualifier_input_port("cpu|fsm|busy", false);
    std::vector<bool> storing(1 << 12);
    for (long long t = 0, on = 0; t < static_cast<long long>(storing.size()); ++t) {
        on = on || bit("btn[0]", t);
        storing[static_cast<size_t>(t)] = on;
        on = on && !bit("btn[1]", t);
    }
    const PREDICATE stores[] = {[](long long) { return true; }, [](long long t) { return bit("btn[2]", t); },
                                [](long long t) { return bit("cpu|fsm|busy", t); },
                                [&](long long t) { return storing[static_cast<size_t>(t)]; }};
    for (const std::string& text : expressions)
        for (int k = 0; k < 4; ++k) {
            SCOPED_TRACE(text + " / qualifier " + std::to_string(kinds[k]));
            RUV_ADVANCED_TRIGGER_FACTORY factory;
            ASSERT_TRUE(factory.parse(text)) << factory.get_error_message();
            ASSERT_TRUE(trigger->set_advanced_trigger_expression(1, text.c_str()));
            ASSERT_TRUE(trigger->set_storage_qualifier_type(kinds[k]));
            trigger->set_trigger_position(k % 2 ? KSM_TPOS_POST : KSM_TPOS_PRE);
            const PREDICATE first = [](long long t) { return t > 0 && bit("btn[3]", t) && !bit("btn[3]", t - 1); };
            const RUV_ADVANCED_TRIGGER_BASE* root = factory.get_root()->get_input_connection_at(0);
            expect_capture({first, [root](long long t) { return value(root, t) != 0; }}, stores[k]);
        }
}

TEST_F(TargetEval, MaskAndValueSequenceOnABusTriggersWhereEveryLevelHeldInTurn)
{
    ASSERT_TRUE(trigger->set_num_levels(KSM_MAX_TRIGGER_LEVELS));
    std::vector<PREDICATE> levels;
    for (int l = 0; l < KSM_MAX_TRIGGER_LEVELS; ++l) {
        const unsigned mask = 0x5u + static_cast<unsigned>(l) * 3u, value = static_cast<unsigned>(l) * 7u;
        for (int b = 0; b < 4; ++b)
            if ((mask >> b) & 1)
                condition(l, ROWS[b], (value >> b) & 1 ? KSM_CTYPE_HIGH : KSM_CTYPE_LOW);
        levels.push_back([mask, value](long long t) {
            for (int b = 0; b < 4; ++b)
                if (((mask >> b) & 1) && bit(ROWS[b], t) != (((value >> b) & 1) != 0))
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
        const int nibble = bit("cpu|ir[3]", t) * 8 + bit("cpu|ir[2]", t) * 4 + bit("cpu|ir[1]", t) * 2 + bit("cpu|ir[0]", t);
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

}  // namespace
