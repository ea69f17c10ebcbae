// The trigger logic of the simulated target: basic levels, advanced expressions evaluated
// bit-sliced (one 64-bit word per bit of a value, one bit per sample), the storage qualifier and
// the trigger search over the words.
#include "daw_eval.h"
#include "daw.h"
#include "daw_target.h"
#include "ruv.h"

#include <algorithm>

namespace daw_eval {

STREAM::~STREAM() = default;
FLOW::~FLOW() = default;

namespace {

constexpr uint64_t ALL = ~uint64_t(0);

using daw_target::SOURCE;
using PLANES = std::vector<uint64_t>;  // bit i of a value over 64 samples, least significant first

// ---- basic levels -----------------------------------------------------------------------------

// A node's samples word after word from sample 0 on, made a batch of words ahead by the target's
// word generators, with the word one sample earlier that edges compare against: a level reads
// each word of each node once, whatever its conditions.
class NODE_WORDS {
public:
    explicit NODE_WORDS(SOURCE source = {}) : m_source(std::move(source)) {}
    // Samples t .. t + 63 of the next word t; `before` gets samples t - 1 .. t + 62, 0 before
    // sample 0.
    uint64_t next(uint64_t* before)
    {
        if (m_at == m_batch.size()) {
            if (m_skipped)  // the word before the batch, for edges, was not made
                m_last = daw_target::sample_word(m_source, m_t - 64);
            m_skipped = false;
            m_batch.resize(BATCH);
            daw_target::sample_words(m_source, m_t, m_batch.data(), BATCH);
            m_t += 64 * static_cast<long long>(BATCH);
            m_at = 0;
        }
        const uint64_t now = m_batch[m_at++];
        *before = now << 1 | m_last >> 63;
        m_last = now;
        return now;
    }

    // The next BATCH words at once, with their `before` words as next() gives them where `before`
    // is given (edges): made straight into `now` where the words so far were taken whole batches at
    // a time.
    void next_batch(uint64_t* now, uint64_t* before = nullptr)
    {
        if (m_at != m_batch.size()) {
            uint64_t unused;
            for (size_t i = 0; i < BATCH; ++i)
                now[i] = next(before ? &before[i] : &unused);
            return;
        }
        if (m_skipped && before)
            m_last = daw_target::sample_word(m_source, m_t - 64);
        m_skipped = false;
        daw_target::sample_words(m_source, m_t, now, BATCH);
        m_t += 64 * static_cast<long long>(BATCH);
        for (size_t i = 0; before && i < BATCH; ++i)
            before[i] = now[i] << 1 | (i ? now[i - 1] : m_last) >> 63;
        m_last = now[BATCH - 1];
    }

    // Passes over the next BATCH words without making them when they are a batch of their own.
    void skip_batch()
    {
        uint64_t before;
        if (m_at != m_batch.size()) {
            for (size_t i = 0; i < BATCH; ++i)
                next(&before);
            return;
        }
        m_t += 64 * static_cast<long long>(BATCH);
        m_skipped = true;
    }

    static constexpr size_t BATCH = 64;

private:
    SOURCE m_source;
    std::vector<uint64_t> m_batch;
    size_t m_at = 0;
    long long m_t = 0;
    uint64_t m_last = 0;
    bool m_skipped = false;  // batches were passed over since m_last was made
};

struct TERM {
    NODE_WORDS words;
    KSM_DATA_TRIGGER_CONDITION condition;
};

bool is_leaf(const KSM_TX_SIGNAL_NODES* list, int row)
{
    const KSM_DATA_NODE_DISPLAY_TYPE type = list->get_display_type(row);
    return type != KSM_NTYPE_GROUP_EXPANDED && type != KSM_NTYPE_GROUP_COLLAPSED;
}

bool is_bit_condition(KSM_DATA_TRIGGER_CONDITION c) { return c >= KSM_CTYPE_ACTIVE_HIGH && c <= KSM_CTYPE_EITHER_EDGE; }

// The samples t .. t + 63 where a node condition holds, from the node's word t and the word one
// sample earlier; edges have no sample before 0.
inline uint64_t condition_word(KSM_DATA_TRIGGER_CONDITION condition, uint64_t now, uint64_t before, long long t)
{
    const uint64_t has_before = t > 0 ? ALL : ~uint64_t(1);
    switch (condition) {
    case KSM_CTYPE_ACTIVE_HIGH:
    case KSM_CTYPE_HIGH: return now;
    case KSM_CTYPE_ACTIVE_LOW:
    case KSM_CTYPE_LOW: return ~now;
    case KSM_CTYPE_RISING_EDGE: return now & ~before & has_before;
    case KSM_CTYPE_FALLING_EDGE: return ~now & before & has_before;
    default: return (now ^ before) & has_before;
    }
}

// The same for `count` words in place, from the nodes' words and the words one sample earlier,
// sample 0 taken as one that has a sample before it.
void condition_words(KSM_DATA_TRIGGER_CONDITION condition, uint64_t* now, const uint64_t* before, size_t count)
{
    switch (condition) {
    case KSM_CTYPE_ACTIVE_HIGH:
    case KSM_CTYPE_HIGH: return;
    case KSM_CTYPE_ACTIVE_LOW:
    case KSM_CTYPE_LOW:
        for (size_t i = 0; i < count; ++i)
            now[i] = ~now[i];
        return;
    case KSM_CTYPE_RISING_EDGE:
        for (size_t i = 0; i < count; ++i)
            now[i] &= ~before[i];
        return;
    case KSM_CTYPE_FALLING_EDGE:
        for (size_t i = 0; i < count; ++i)
            now[i] = ~now[i] & before[i];
        return;
    default:
        for (size_t i = 0; i < count; ++i)
            now[i] ^= before[i];
    }
}

// The same for the term's next word t.
uint64_t term_word(TERM& term, long long t)
{
    uint64_t before;
    const uint64_t now = term.words.next(&before);
    return condition_word(term.condition, now, before, t);
}

// A bus's value held against one value (the second operand "true"), or against an interval
// (a lower bound, then an upper one).
struct COMPARISON {
    std::vector<NODE_WORDS> members;  // least significant first
    std::vector<size_t> order;        // the members in the order they are compared
    KSM_DATA_TRIGGER_CONDITION operand[2];
    long long value[2];
};

bool is_group_condition(KSM_DATA_TRIGGER_CONDITION c)
{
    return c >= KSM_CTYPE_GROUP_EQUAL && c <= KSM_CTYPE_GROUP_ANY_BIT;
}

// A group row with a group condition: its members' conditions combined into one. The members are
// the leaves with a node condition (a Don't Care leaf takes no part) and the nested groups with a
// group condition of their own; a nested group without one lends its leaves. Equal, Not Equal
// and Any Bit look through every nested group at all the leaves below.
struct GROUP_TERM {
    KSM_DATA_TRIGGER_CONDITION condition;
    std::vector<TERM> leaves;
    std::vector<GROUP_TERM> groups;
    std::vector<TERM> all_leaves;

    bool flat() const
    {
        return condition == KSM_CTYPE_GROUP_EQUAL || condition == KSM_CTYPE_GROUP_NOT_EQUAL ||
               condition == KSM_CTYPE_GROUP_ANY_BIT;
    }
    // A group none of whose members takes part takes no part itself.
    bool takes_part() const { return flat() ? !all_leaves.empty() : !leaves.empty() || !groups.empty(); }
};

// The samples t .. t + 63 where the group's condition holds: 9 Equal (every leaf below holds),
// 10 AND, 11 OR, 12 NAND, 13 NOR, 14 XOR (an odd number of members hold), 15 XNOR, 16 Not Equal
// (some leaf below fails), 17 Any Bit (some leaf below holds).
uint64_t group_word(GROUP_TERM& group, long long t)
{
    std::vector<uint64_t> words;
    for (TERM& leaf : group.flat() ? group.all_leaves : group.leaves)
        words.push_back(term_word(leaf, t));
    for (size_t i = 0; !group.flat() && i < group.groups.size(); ++i)
        words.push_back(group_word(group.groups[i], t));
    uint64_t all = ALL, any = 0, odd = 0;
    for (uint64_t word : words) {
        all &= word;
        any |= word;
        odd ^= word;
    }
    switch (group.condition) {
    case KSM_CTYPE_GROUP_EQUAL:
    case KSM_CTYPE_GROUP_AND: return all;
    case KSM_CTYPE_GROUP_OR:
    case KSM_CTYPE_GROUP_ANY_BIT: return any;
    case KSM_CTYPE_GROUP_NAND:
    case KSM_CTYPE_GROUP_NOT_EQUAL: return ~all;
    case KSM_CTYPE_GROUP_NOR: return ~any;
    case KSM_CTYPE_GROUP_XOR: return odd;
    default: return ~odd;
    }
}

// The AND, or the OR, of node and group conditions, and the AND of a comparison level's node
// conditions and bus comparisons; with none, or for a level kind not evaluated, it holds at
// every sample.
class BASIC_LEVEL final : public STREAM {
public:
    BASIC_LEVEL(bool any, std::vector<TERM> terms, std::vector<GROUP_TERM> groups = {},
                std::vector<COMPARISON> comparisons = {})
        : m_any(any), m_terms(std::move(terms)), m_groups(std::move(groups)), m_comparisons(std::move(comparisons))
    {
    }
    uint64_t next() override
    {
        if (m_at == AHEAD)
            look_ahead();
        return m_ahead[m_at++];
    }

private:
    static constexpr size_t AHEAD = NODE_WORDS::BATCH;

    // The level's next AHEAD words, term after term: once no word can change any more (all unmet
    // under AND, all met under OR), the terms left are passed over without making their words.
    void look_ahead()
    {
        std::fill(m_ahead, m_ahead + AHEAD, (m_terms.empty() && m_groups.empty()) || !m_any ? ALL : 0);
        bool open = true;
        size_t settling = 0;  // the term that left no word open
        for (size_t k = 0; k < m_terms.size(); ++k) {
            TERM& term = m_terms[k];
            if (!open) {
                term.words.skip_batch();
                continue;
            }
            uint64_t now[AHEAD], before[AHEAD];
            const bool edge = term.condition >= KSM_CTYPE_RISING_EDGE;
            term.words.next_batch(now, edge ? before : nullptr);
            condition_words(term.condition, now, before, AHEAD);
            if (m_t == 0 && edge)  // no edge at sample 0
                now[0] &= ~uint64_t(1);
            uint64_t open_bits = 0;  // samples a later term may still change
            if (m_any)
                for (size_t i = 0; i < AHEAD; ++i)
                    open_bits |= ~(m_ahead[i] |= now[i]);
            else
                for (size_t i = 0; i < AHEAD; ++i)
                    open_bits |= m_ahead[i] &= now[i];
            open = open_bits != 0;
            settling = k;
        }
        // The term that settled this batch is likely to settle the next: it goes first.
        if (!open && settling > 0)
            std::rotate(m_terms.begin(), m_terms.begin() + static_cast<std::ptrdiff_t>(settling),
                        m_terms.begin() + static_cast<std::ptrdiff_t>(settling) + 1);
        for (GROUP_TERM& group : m_groups)
            for (size_t i = 0; i < AHEAD; ++i) {
                const uint64_t w = group_word(group, m_t + 64 * static_cast<long long>(i));
                m_ahead[i] = m_any ? m_ahead[i] | w : m_ahead[i] & w;
            }
        for (COMPARISON& c : m_comparisons)
            compare_ahead(c);
        m_t += 64 * static_cast<long long>(AHEAD);
        m_at = 0;
    }

    // Narrows the batch to where a comparison holds: the bus against each operand's value from
    // the most significant bit down (the bits above both read 0 on both sides), a member's batch
    // made only while a word is still equal so far to some value: below that the order is decided.
    void compare_ahead(COMPARISON& c)
    {
        uint64_t less[2][AHEAD] = {}, equal[2][AHEAD];
        bool compared[2];
        size_t top = c.members.size();  // the bits compared: the bus's and those of the values above it
        for (int k = 0; k < 2; ++k) {
            compared[k] = c.operand[k] >= KSM_CTYPE_COMPARE_GREATER_THAN && c.operand[k] <= KSM_CTYPE_COMPARE_LESS_THAN;
            std::fill(equal[k], equal[k] + AHEAD, compared[k] && c.value[k] >= 0 ? ALL : 0);
            if (compared[k] && c.value[k] > 0)
                top = std::max<size_t>(top, 64 - __builtin_clzll(static_cast<unsigned long long>(c.value[k])));
        }
        const bool settled = std::all_of(m_ahead, m_ahead + AHEAD, [](uint64_t w) { return w == 0; });
        bool undecided = !settled && std::any_of(&equal[0][0], &equal[0][0] + 2 * AHEAD, [](uint64_t w) { return w; });
        const size_t members = c.members.size();
        size_t settling = 0;  // where in the order the member is that decided every word
        for (size_t n = 0, count = top - members + c.order.size(); n < count; ++n) {
            const size_t i = n < top - members ? top - 1 - n : c.order[n - (top - members)];  // values' bits first
            if (i < members && !undecided) {
                c.members[i].skip_batch();
                continue;
            }
            uint64_t a[AHEAD] = {};
            if (i < members)
                c.members[i].next_batch(a);
            uint64_t still_equal = 0;
            for (int k = 0; k < 2; ++k) {
                if (!compared[k])
                    continue;
                if (i < 63 && ((c.value[k] >> i) & 1))  // a 0 in the bus here makes it the less
                    for (size_t w = 0; w < AHEAD; ++w) {
                        less[k][w] |= equal[k][w] & ~a[w];
                        still_equal |= equal[k][w] &= a[w];
                    }
                else
                    for (size_t w = 0; w < AHEAD; ++w)
                        still_equal |= equal[k][w] &= ~a[w];
            }
            undecided = !settled && still_equal;
            settling = n - std::min(n, top - members);
        }
        // Equality alone does not depend on the order of the bits: the member that decided this
        // batch is likely to decide the next and goes first. Order needs the most significant first.
        const bool ordered = (compared[0] && c.operand[0] != KSM_CTYPE_COMPARE_EQUAL_TO) ||
                             (compared[1] && c.operand[1] != KSM_CTYPE_COMPARE_EQUAL_TO);
        if (!undecided && !ordered && settling > 0)
            std::rotate(c.order.begin(), c.order.begin() + static_cast<std::ptrdiff_t>(settling),
                        c.order.begin() + static_cast<std::ptrdiff_t>(settling) + 1);
        for (int k = 0; k < 2; ++k)
            if (compared[k])
                narrow_to(c.operand[k], less[k], equal[k]);
    }

    // Keeps the samples of the batch where a comparison operand holds, from where the bus is below
    // and equal to its value.
    void narrow_to(KSM_DATA_TRIGGER_CONDITION operand, const uint64_t* less, const uint64_t* equal)
    {
        switch (operand) {
        case KSM_CTYPE_COMPARE_GREATER_THAN:
            for (size_t w = 0; w < AHEAD; ++w)
                m_ahead[w] &= ~less[w] & ~equal[w];
            return;
        case KSM_CTYPE_COMPARE_GREATER_THAN_OR_EQUAL_TO:
            for (size_t w = 0; w < AHEAD; ++w)
                m_ahead[w] &= ~less[w];
            return;
        case KSM_CTYPE_COMPARE_EQUAL_TO:
            for (size_t w = 0; w < AHEAD; ++w)
                m_ahead[w] &= equal[w];
            return;
        case KSM_CTYPE_COMPARE_LESS_THAN_OR_EQUAL_TO:
            for (size_t w = 0; w < AHEAD; ++w)
                m_ahead[w] &= less[w] | equal[w];
            return;
        case KSM_CTYPE_COMPARE_LESS_THAN:
            for (size_t w = 0; w < AHEAD; ++w)
                m_ahead[w] &= less[w];
            return;
        default: return;
        }
    }

    uint64_t m_ahead[AHEAD];
    size_t m_at = AHEAD;
    bool m_any;
    std::vector<TERM> m_terms;
    std::vector<GROUP_TERM> m_groups;
    std::vector<COMPARISON> m_comparisons;
    long long m_t = 0;
};

// The comparison a group row holds on a level (0..) or pattern (-3..-1).
COMPARISON comparison_of(const KSM_TX_TRIGGER* trigger, int row, int level)
{
    COMPARISON c;
    const int pattern = level + KSM_NUM_PATTERNS;
    for (int k = 0; k < 2; ++k) {
        c.operand[k] = level >= 0 ? trigger->get_comparison_operand(row, level, k + 1)
                                  : trigger->get_pattern_comparison_operand(row, pattern, k + 1);
        c.value[k] = level >= 0 ? trigger->get_comparison_value(row, level, k + 1)
                                : trigger->get_pattern_comparison_value(row, pattern, k + 1);
    }
    for (int member = trigger->get_last_child_index(row); member > row; --member)
        if (is_leaf(trigger, member))
            c.members.emplace_back(daw_target::source_of(trigger->get_node_name(member)));
    if (trigger->get_lsb_to_msb(row))  // the first member is the least significant
        std::reverse(c.members.begin(), c.members.end());
    for (size_t i = c.members.size(); i-- > 0;)  // the most significant first
        c.order.push_back(i);
    return c;
}

KSM_DATA_TRIGGER_CONDITION condition_at(const KSM_TX_TRIGGER* trigger, int row, int level)
{
    return level >= 0 ? trigger->get_trigger_condition(row, level)
                      : trigger->get_pattern_condition(row, level + KSM_NUM_PATTERNS);
}

// Whether the row is an input of a level: of a trigger level by its trigger use, of a
// storage-qualifier pattern by its storage enable.
bool is_input(const KSM_TX_TRIGGER* trigger, int row, int level)
{
    if (level < 0)
        return trigger->is_storage_enabled(row);
    const KSM_DATA_WIRE_CAPTURE_TYPE use = trigger->get_node_use(row);
    return use == KSM_CAPTURE_TRIGGER || use == KSM_CAPTURE_BOTH;
}

// The row's node condition as a term, when it is a leaf that takes part in the level.
bool leaf_term(const KSM_TX_TRIGGER* trigger, int row, int level, TERM* term)
{
    const KSM_DATA_TRIGGER_CONDITION c = condition_at(trigger, row, level);
    if (!is_leaf(trigger, row) || !is_bit_condition(c) || !is_input(trigger, row, level))
        return false;
    *term = {NODE_WORDS(daw_target::source_of(trigger->get_node_name(row))), c};
    return true;
}

GROUP_TERM group_of(const KSM_TX_TRIGGER* trigger, int row, int level)
{
    GROUP_TERM group{condition_at(trigger, row, level), {}, {}, {}};
    for (int member = row + 1, last = trigger->get_last_child_index(row); member <= last; ++member) {
        TERM term;
        if (!is_leaf(trigger, member) && is_group_condition(condition_at(trigger, member, level))) {
            GROUP_TERM inner = group_of(trigger, member, level);
            group.all_leaves.insert(group.all_leaves.end(), inner.all_leaves.begin(), inner.all_leaves.end());
            if (inner.takes_part())
                group.groups.push_back(std::move(inner));
            member = trigger->get_last_child_index(member);
        } else if (leaf_term(trigger, member, level, &term)) {
            group.leaves.push_back(term);
            group.all_leaves.push_back(term);
        }
    }
    return group;
}

// Group conditions count on the level kinds that offer them: Basic OR and Comparison.
std::unique_ptr<STREAM> make_basic(const KSM_TX_TRIGGER* trigger, int level, KSM_DATA_TRIGGER_LEVEL_TYPE type)
{
    std::vector<TERM> terms;
    std::vector<GROUP_TERM> groups;
    std::vector<COMPARISON> comparisons;
    const bool evaluated = type == KSM_LTYPE_BASIC_AND || type == KSM_LTYPE_BASIC_OR || type == KSM_LTYPE_COMPARISON;
    const bool grouped = type == KSM_LTYPE_BASIC_OR || type == KSM_LTYPE_COMPARISON;
    for (int row = 0; evaluated && row < trigger->get_num_nodes(); ++row) {
        const bool compared = level >= 0 ? trigger->is_comparison_enabled(row, level)
                                         : trigger->is_pattern_comparison_enabled(row, level + KSM_NUM_PATTERNS);
        TERM term;
        if (type == KSM_LTYPE_COMPARISON && compared && !is_leaf(trigger, row)) {
            comparisons.push_back(comparison_of(trigger, row, level));
            row = trigger->get_last_child_index(row);  // the members take part only through it
        } else if (grouped && !is_leaf(trigger, row) && is_group_condition(condition_at(trigger, row, level))) {
            GROUP_TERM group = group_of(trigger, row, level);
            if (group.takes_part())
                groups.push_back(std::move(group));
            row = trigger->get_last_child_index(row);
        } else if (leaf_term(trigger, row, level, &term)) {
            terms.push_back(term);
        }
    }
    return std::make_unique<BASIC_LEVEL>(type == KSM_LTYPE_BASIC_OR, std::move(terms), std::move(groups),
                                         std::move(comparisons));
}

// ---- advanced expressions -------------------------------------------------------------------

// A node of an expression: each next() gives its value over the next 64 samples.
class VALUE {
public:
    explicit VALUE(int width) : width(std::max(width, 1)) {}
    virtual ~VALUE() = default;
    virtual void next(PLANES* out) = 0;
    const int width;
};
using VALUE_PTR = std::unique_ptr<VALUE>;

// `planes` widened to `width` bits: sign-extended when `sign`, else with zeros.
void extend(PLANES* planes, size_t width, bool sign)
{
    const uint64_t fill = sign && !planes->empty() ? planes->back() : 0;
    planes->resize(width, fill);
}

// Bit `bit` of a one-bit stream `delay` samples later: keeps the words it still needs.
class DELAY {
public:
    explicit DELAY(int delay) : m_delay(delay), m_history(static_cast<size_t>(delay / 64 + 2), 0) {}
    uint64_t next(uint64_t word)
    {
        std::rotate(m_history.begin(), m_history.begin() + 1, m_history.end());
        m_history.back() = word;
        const size_t back = static_cast<size_t>(m_delay / 64), shift = static_cast<size_t>(m_delay % 64);
        const size_t last = m_history.size() - 1 - back;
        const uint64_t low = m_history[last] << shift;
        return shift ? low | m_history[last - 1] >> (64 - shift) : low;
    }

private:
    int m_delay;
    std::vector<uint64_t> m_history;  // oldest first
};

class NODE_VALUE final : public VALUE {
public:
    NODE_VALUE(const char* name, int delay) : VALUE(1), m_source(daw_target::source_of(name)), m_t(-delay) {}
    void next(PLANES* out) override
    {
        out->assign(1, daw_target::sample_word(m_source, m_t));
        m_t += 64;
    }

private:
    SOURCE m_source;
    long long m_t;
};

class CONSTANT_VALUE final : public VALUE {
public:
    CONSTANT_VALUE(int64_t value, int width) : VALUE(width)
    {
        for (int i = 0; i < this->width; ++i)
            m_planes.push_back((i < 64 ? (value >> i) & 1 : value < 0) ? ALL : 0);
    }
    void next(PLANES* out) override { *out = m_planes; }

private:
    PLANES m_planes;
};

// Operands side by side: a bus (input 0 least significant), or a bitwise or logical operator.
class COMBINE_VALUE final : public VALUE {
public:
    enum MODE { CONCATENATE, AND, OR, XOR, NOT };
    COMBINE_VALUE(int width, MODE mode, std::vector<VALUE_PTR> inputs)
        : VALUE(width), m_mode(mode), m_inputs(std::move(inputs))
    {
    }
    void next(PLANES* out) override
    {
        out->clear();
        for (size_t i = 0; i < m_inputs.size(); ++i) {
            m_inputs[i]->next(&m_operand);
            if (m_mode == CONCATENATE) {
                out->insert(out->end(), m_operand.begin(), m_operand.end());
                continue;
            }
            extend(&m_operand, static_cast<size_t>(width), false);
            if (i == 0)
                *out = m_operand;
            for (size_t b = 0; i > 0 && b < out->size(); ++b)
                (*out)[b] = m_mode == AND  ? (*out)[b] & m_operand[b]
                            : m_mode == OR ? (*out)[b] | m_operand[b]
                                           : (*out)[b] ^ m_operand[b];
        }
        if (m_mode == NOT)
            for (uint64_t& w : *out)
                w = ~w;
        extend(out, static_cast<size_t>(width), false);
    }

private:
    MODE m_mode;
    std::vector<VALUE_PTR> m_inputs;
    PLANES m_operand;
};

class REDUCE_VALUE final : public VALUE {
public:
    REDUCE_VALUE(int operation, VALUE_PTR input) : VALUE(1), m_operation(operation), m_input(std::move(input)) {}
    void next(PLANES* out) override
    {
        m_input->next(&m_operand);
        uint64_t r = m_operation == RUV_LTYPE_AND ? ALL : 0;
        for (uint64_t w : m_operand)
            r = m_operation == RUV_LTYPE_AND ? r & w : m_operation == RUV_LTYPE_OR ? r | w : r ^ w;
        out->assign(1, r);
    }

private:
    int m_operation;
    VALUE_PTR m_input;
    PLANES m_operand;
};

class COMPARE_VALUE final : public VALUE {
public:
    COMPARE_VALUE(const RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT* node, VALUE_PTR a, VALUE_PTR b)
        : VALUE(1), m_operation(node->get_operation()), m_signed(node->get_signed_mode()), m_a(std::move(a)),
          m_b(std::move(b)), m_delay(node->get_delay())
    {
    }
    void next(PLANES* out) override
    {
        m_a->next(&m_pa);
        m_b->next(&m_pb);
        out->assign(1, m_delay.next(compare()));
    }

private:
    // Most significant bit first: less-than is decided at the first bit that differs.
    uint64_t compare()
    {
        const size_t width = std::max(m_pa.size(), m_pb.size());
        extend(&m_pa, width, m_signed);
        extend(&m_pb, width, m_signed);
        uint64_t less = 0, equal = ALL;
        for (size_t i = width; i-- > 0;) {
            uint64_t a = m_pa[i], b = m_pb[i];
            if (m_signed && i + 1 == width)
                std::swap(a, b);  // a set sign bit makes the value smaller
            less |= equal & ~a & b;
            equal &= ~(a ^ b);
        }
        switch (m_operation) {
        case RUV_CTYPE_GREATER_THAN: return ~less & ~equal;
        case RUV_CTYPE_GREATER_THAN_OR_EQUAL_TO: return ~less;
        case RUV_CTYPE_LESS_THAN: return less;
        case RUV_CTYPE_LESS_THAN_OR_EQUAL_TO: return less | equal;
        case RUV_CTYPE_EQUAL_TO: return equal;
        case RUV_CTYPE_NOT_EQUAL_TO: return ~equal;
        case RUV_CTYPE_TRUE: return ALL;
        default: return 0;
        }
    }

    int m_operation;
    bool m_signed;
    VALUE_PTR m_a, m_b;
    DELAY m_delay;
    PLANES m_pa, m_pb;
};

class SHIFT_VALUE final : public VALUE {
public:
    SHIFT_VALUE(const RUV_ADVANCED_TRIGGER_SHIFT* node, VALUE_PTR input)
        : VALUE(node->get_bit_width()), m_operation(node->get_operation()), m_amount(node->get_shift_amount()),
          m_right(node->get_shift_direction()), m_input(std::move(input))
    {
    }
    void next(PLANES* out) override
    {
        m_input->next(&m_operand);
        extend(&m_operand, static_cast<size_t>(width), false);
        out->assign(static_cast<size_t>(width), 0);
        for (int i = 0; i < width; ++i) {
            long long from = m_right ? i + m_amount : i - m_amount;
            if (m_operation == RUV_STYPE_ROTATE)
                from = ((from % width) + width) % width;
            else if (from >= width && m_operation == RUV_STYPE_ARITHMETIC && m_right)
                from = width - 1;
            if (from >= 0 && from < width)
                (*out)[static_cast<size_t>(i)] = m_operand[static_cast<size_t>(from)];
        }
    }

private:
    int m_operation, m_amount;
    bool m_right;
    VALUE_PTR m_input;
    PLANES m_operand;
};

// True at its value (of the count before this sample's step); with hold, true from then on.
class COUNTER_VALUE final : public VALUE {
public:
    COUNTER_VALUE(const RUV_ADVANCED_TRIGGER_EVENT_COUNTER* node, VALUE_PTR input)
        : VALUE(1), m_mode(node->get_mode()), m_hold(node->get_hold_status()),
          m_mask(node->get_counter_width() >= 64 ? ALL : (uint64_t(1) << node->get_counter_width()) - 1),
          m_value(node->get_counter_value()), m_input(std::move(input))
    {
    }
    void next(PLANES* out) override
    {
        m_input->next(&m_operand);
        uint64_t x = 0, result = 0;
        for (uint64_t w : m_operand)
            x |= w;
        for (int j = 0; j < 64; ++j) {
            const bool in = (x >> j) & 1, at = m_count == m_value;
            result |= static_cast<uint64_t>(at || m_held) << j;
            m_held = m_held || (m_hold && at);
            step(in, at);
        }
        out->assign(1, result);
    }

private:
    void step(bool in, bool at)
    {
        if (m_mode == RUV_ETYPE_CONTINUOUS)
            m_count = in ? (at ? m_count : (m_count + 1) & m_mask) : 0;
        else if (m_mode == RUV_ETYPE_EVENT)
            m_count = in ? (at ? 1 & m_mask : (m_count + 1) & m_mask) : m_count;
        else {
            if ((m_started || in) && !at)
                m_count = (m_count + 1) & m_mask;
            m_started = m_started || in;
        }
    }

    int m_mode;
    bool m_hold;
    uint64_t m_mask, m_value;
    VALUE_PTR m_input;
    PLANES m_operand;
    uint64_t m_count = 0;
    bool m_held = false, m_started = false;
};

// Edge and level pattern: character i for bit width - 1 - i; edges against the sample before
// (0 before the first sample).
class PATTERN_VALUE final : public VALUE {
public:
    PATTERN_VALUE(const std::string& pattern, int delay, VALUE_PTR input)
        : VALUE(1), m_pattern(pattern), m_input(std::move(input)), m_delay(delay)
    {
    }
    void next(PLANES* out) override
    {
        m_input->next(&m_now);
        extend(&m_now, m_pattern.size(), false);
        m_last.resize(m_now.size(), 0);
        uint64_t met = ALL;
        for (size_t i = 0; i < m_pattern.size(); ++i) {
            const size_t b = m_pattern.size() - 1 - i;
            const uint64_t now = m_now[b], before = now << 1 | m_last[b] >> 63;
            switch (m_pattern[i]) {
            case 'H':
            case 'h':
            case '1': met &= now; break;
            case 'L':
            case 'l':
            case '0': met &= ~now; break;
            case 'R':
            case 'r': met &= now & ~before; break;
            case 'F':
            case 'f': met &= ~now & before; break;
            case 'E':
            case 'e': met &= now ^ before; break;
            default: break;
            }
        }
        m_last = m_now;
        out->assign(1, m_delay.next(met));
    }

private:
    std::string m_pattern;
    VALUE_PTR m_input;
    DELAY m_delay;
    PLANES m_now, m_last;
};

using NODE = const RUV_ADVANCED_TRIGGER_BASE;

VALUE_PTR build(NODE* node, std::string* error);

std::vector<VALUE_PTR> inputs_of(NODE* node, std::string* error)
{
    std::vector<VALUE_PTR> inputs;
    for (int i = 0; i < node->get_input_count(); ++i) {
        inputs.push_back(build(node->get_input_connection_at(i), error));
        if (!inputs.back())
            return {};
    }
    return inputs;
}

COMBINE_VALUE::MODE mode_of(int operation)
{
    switch (operation) {
    case RUV_LTYPE_AND: return COMBINE_VALUE::AND;
    case RUV_LTYPE_OR: return COMBINE_VALUE::OR;
    case RUV_LTYPE_XOR: return COMBINE_VALUE::XOR;
    default: return COMBINE_VALUE::NOT;
    }
}

// The design nodes an incremental pattern names, as a bus whose most significant bit is the first.
VALUE_PTR named_bus(const std::vector<std::string>& names)
{
    std::vector<VALUE_PTR> members;
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        members.push_back(std::make_unique<NODE_VALUE>(name->c_str(), 0));
    return std::make_unique<COMBINE_VALUE>(static_cast<int>(names.size()), COMBINE_VALUE::CONCATENATE,
                                           std::move(members));
}

VALUE_PTR build_operator(NODE* node, std::vector<VALUE_PTR> in)
{
    const int width = node->get_bit_width();
    switch (node->get_node_kind()) {
    case RUV_KIND_BUS: return std::make_unique<COMBINE_VALUE>(width, COMBINE_VALUE::CONCATENATE, std::move(in));
    case RUV_KIND_LOGICAL:
    case RUV_KIND_BITWISE:
        return std::make_unique<COMBINE_VALUE>(
            width, mode_of(static_cast<const RUV_ADVANCED_TRIGGER_OPERATOR*>(node)->get_operation()), std::move(in));
    case RUV_KIND_UNARY:
        return std::make_unique<REDUCE_VALUE>(static_cast<const RUV_ADVANCED_TRIGGER_UNARY*>(node)->get_operation(),
                                              std::move(in[0]));
    case RUV_KIND_COMPARE_CONSTANT:
    case RUV_KIND_COMPARE_VARIABLE:
        return std::make_unique<COMPARE_VALUE>(static_cast<const RUV_ADVANCED_TRIGGER_COMPARE_CONSTANT*>(node),
                                               std::move(in[0]), std::move(in[1]));
    case RUV_KIND_SHIFT:
        return std::make_unique<SHIFT_VALUE>(static_cast<const RUV_ADVANCED_TRIGGER_SHIFT*>(node), std::move(in[0]));
    case RUV_KIND_EVENT_COUNTER:
        return std::make_unique<COUNTER_VALUE>(static_cast<const RUV_ADVANCED_TRIGGER_EVENT_COUNTER*>(node),
                                               std::move(in[0]));
    case RUV_KIND_MBPM:
        return std::make_unique<PATTERN_VALUE>(static_cast<const RUV_ADVANCED_TRIGGER_MBPM*>(node)->get_pattern(),
                                               node->get_delay(), std::move(in[0]));
    default: return nullptr;
    }
}

size_t inputs_needed(int kind)
{
    return kind == RUV_KIND_COMPARE_CONSTANT || kind == RUV_KIND_COMPARE_VARIABLE         ? 2
           : kind == RUV_KIND_BUS || kind == RUV_KIND_LOGICAL || kind == RUV_KIND_BITWISE ? 0
                                                                                          : 1;
}

VALUE_PTR build(NODE* node, std::string* error)
{
    if (!node) {
        *error = "The trigger expression is incomplete";
        return nullptr;
    }
    switch (node->get_node_kind()) {
    case RUV_KIND_DESIGN_NODE: return std::make_unique<NODE_VALUE>(node->get_name(), node->get_delay());
    case RUV_KIND_INPUT_CONSTANT:
    case RUV_KIND_INPUT_VARIABLE:
        return std::make_unique<CONSTANT_VALUE>(
            static_cast<const RUV_ADVANCED_TRIGGER_INPUT_CONSTANT*>(node)->get_value(), node->get_bit_width());
    case RUV_KIND_IMBPM: {
        const auto* imbpm = static_cast<const RUV_ADVANCED_TRIGGER_IMBPM*>(node);
        return std::make_unique<PATTERN_VALUE>(imbpm->get_pattern(), 0, named_bus(imbpm->get_node_names()));
    }
    case RUV_KIND_CUSTOM_HDL:
        *error = std::string("The custom HDL block '") +
                 static_cast<const RUV_ADVANCED_TRIGGER_CUSTOM_HDL*>(node)->get_module_name() +
                 "' cannot run on the simulated target";
        return nullptr;
    default: break;
    }
    std::vector<VALUE_PTR> in = inputs_of(node, error);
    if (!error->empty() || in.size() < inputs_needed(node->get_node_kind()))
        return nullptr;
    VALUE_PTR value = build_operator(node, std::move(in));
    if (!value && error->empty())
        *error = "The trigger expression holds a box the simulated target cannot evaluate";
    return value;
}

class EXPRESSION_LEVEL final : public STREAM {
public:
    explicit EXPRESSION_LEVEL(VALUE_PTR root) : m_root(std::move(root)) {}
    uint64_t next() override
    {
        m_root->next(&m_planes);
        uint64_t any = 0;
        for (uint64_t w : m_planes)
            any |= w;
        return any;
    }

private:
    VALUE_PTR m_root;
    PLANES m_planes;
};

std::string level_label(const KSM_TX_TRIGGER* trigger, int level)
{
    return level >= 0 ? std::string("Trigger level '") + trigger->get_level_name(level) + "'"
                      : "Storage qualifier pattern " + std::to_string(level + KSM_NUM_PATTERNS + 1);
}

}  // namespace

std::unique_ptr<STREAM> make_expression(const RUV_ADVANCED_TRIGGER_OUTPUT* root, std::string* error)
{
    error->clear();
    VALUE_PTR value = build(root ? root->get_input_connection_at(0) : nullptr, error);
    return value ? std::make_unique<EXPRESSION_LEVEL>(std::move(value)) : nullptr;
}

std::unique_ptr<STREAM> make_level(KSM_TX_TRIGGER* trigger, int level, std::string* error)
{
    const KSM_DATA_TRIGGER_LEVEL_TYPE type =
        level >= 0 ? trigger->get_level_type(level) : trigger->get_pattern_type(level + KSM_NUM_PATTERNS);
    if (type != KSM_LTYPE_ADVANCED)
        return make_basic(trigger, level, type);
    RUV_ADVANCED_TRIGGER_FACTORY* factory = trigger->get_advanced_trigger_factory(level);
    if (!factory)
        return std::make_unique<BASIC_LEVEL>(false, std::vector<TERM>());  // no expression: met at once
    if (!factory->get_root()) {
        *error = level_label(trigger, level) + ": " + factory->get_error_message();
        return nullptr;
    }
    std::unique_ptr<STREAM> stream = make_expression(factory->get_root(), error);
    if (!stream)
        *error = level_label(trigger, level) + ": " + *error;
    return stream;
}

// ---- the program ------------------------------------------------------------------------------

namespace {

class SOURCE_STREAM final : public STREAM {
public:
    explicit SOURCE_STREAM(const char* name) : m_source(daw_target::source_of(name)) {}
    uint64_t next() override
    {
        const uint64_t w = daw_target::sample_word(m_source, m_t);
        m_t += 64;
        return w;
    }

private:
    SOURCE m_source;
    long long m_t = 0;
};

// The nodes whose changes a transitional qualifier stores: the leaves of the trigger's list
// that are marked for it and storage-enabled, as the editor ticks them; with none marked, every
// data node of the signal set.
std::vector<std::unique_ptr<STREAM>> transition_inputs(const KSM_TX_TRIGGER* trigger)
{
    std::vector<std::unique_ptr<STREAM>> inputs;
    for (int row = 0; row < trigger->get_num_nodes(); ++row)
        if (is_leaf(trigger, row) && trigger->is_storage_enabled(row) && trigger->is_transition_enabled(row))
            inputs.push_back(std::make_unique<SOURCE_STREAM>(trigger->get_node_name(row)));
    const KSM_TX_SIGNAL_SET* set = inputs.empty() ? trigger->get_signal_set() : nullptr;
    for (int row = 0; set && row < set->get_num_nodes(); ++row)
        if (is_leaf(set, row) && set->get_wired_channel(row) >= 0)
            inputs.push_back(std::make_unique<SOURCE_STREAM>(set->get_node_name(row)));
    return inputs;
}

// Whether a level takes part: a state-based flow reads every level, and so does a segmented
// acquisition its last one, which triggers each segment; otherwise a sequence runs through the
// levels enabled.
bool takes_part(const KSM_TX_TRIGGER* trigger, int level)
{
    const bool segment_trigger = trigger->is_segmented() && level + 1 == trigger->get_num_levels();
    return trigger->is_state_based() || segment_trigger || trigger->is_level_enabled(level);
}

}  // namespace

std::unique_ptr<PROGRAM> PROGRAM::make(KSM_TX_TRIGGER* trigger, std::string* error)
{
    std::string message;
    std::unique_ptr<PROGRAM> p(new PROGRAM);
    for (int level = 0; level < trigger->get_num_levels(); ++level) {
        if (!takes_part(trigger, level))
            continue;
        p->m_levels.push_back(make_level(trigger, level, &message));
        if (!p->m_levels.back()) {
            *error = message;
            return nullptr;
        }
    }
    p->m_level_words.resize(p->m_levels.size());
    if (trigger->is_state_based() && !(p->m_flow = make_flow(trigger, error)))
        return nullptr;
    // A segmented acquisition fills each segment with consecutive samples: it has no storage
    // qualifier, whatever type is kept for when it is not segmented.
    const bool qualified = !trigger->is_storage_qualifier_disabled() && !trigger->is_segmented();
    p->m_qualifier = qualified ? trigger->get_storage_qualifier_type() : KSM_SQTYPE_CONTINUOUS;
    if (p->m_qualifier == KSM_SQTYPE_STATE_BASED && !p->m_flow)
        p->m_qualifier = KSM_SQTYPE_CONTINUOUS;
    const int first = p->m_qualifier == KSM_SQTYPE_CONDITIONAL ? -3 : -2;
    const int patterns = p->m_qualifier == KSM_SQTYPE_CONDITIONAL ? 1 : p->m_qualifier == KSM_SQTYPE_START_STOP ? 2 : 0;
    for (int k = 0; k < patterns; ++k) {
        p->m_patterns.push_back(make_level(trigger, first + k, &message));
        if (!p->m_patterns.back()) {
            *error = message;
            return nullptr;
        }
    }
    if (p->m_qualifier == KSM_SQTYPE_TRANSITIONAL)
        p->m_inputs = transition_inputs(trigger);
    if (p->m_qualifier == KSM_SQTYPE_INPUT_PORT)
        p->m_inputs.push_back(std::make_unique<SOURCE_STREAM>(trigger->get_storage_qualifier_input_port()));
    p->m_previous.assign(p->m_inputs.size(), 0);
    return p;
}

// The stored samples of the next block, by the qualifier.
uint64_t PROGRAM::qualify(size_t block)
{
    switch (m_qualifier) {
    case KSM_SQTYPE_CONDITIONAL: return m_patterns[0]->next();
    case KSM_SQTYPE_INPUT_PORT: return m_inputs[0]->next();
    case KSM_SQTYPE_STATE_BASED: return m_flow_words[block].store;
    case KSM_SQTYPE_TRANSITIONAL: {
        uint64_t changed = block == 0 ? 1 : 0;  // the first sample is stored
        for (size_t i = 0; i < m_inputs.size(); ++i) {
            const uint64_t w = m_inputs[i]->next();
            changed |= (w ^ (w << 1 | m_previous[i] >> 63)) & (block == 0 ? ~uint64_t(1) : ALL);
            m_previous[i] = w;
        }
        return changed;
    }
    case KSM_SQTYPE_START_STOP: {
        const uint64_t start = m_patterns[0]->next(), stop = m_patterns[1]->next();
        uint64_t stored = 0;
        for (int j = 0; j < 64; ++j) {
            m_storing = m_storing || ((start >> j) & 1);
            stored |= static_cast<uint64_t>(m_storing) << j;
            m_storing = m_storing && !((stop >> j) & 1);
        }
        return stored;
    }
    default: return ALL;
    }
}

// Level after level, a stretch of blocks at a time; then the flow and the storage, block by block.
// Once the last trigger is found the levels are only evaluated for a flow that qualifies storage.
void PROGRAM::extend(size_t blocks)
{
    const size_t from = m_stored.size();
    if (from >= blocks)
        return;
    if (m_triggering || m_qualifier == KSM_SQTYPE_STATE_BASED) {
        evaluate_levels(blocks);
        if (m_flow)
            keep_flow_mark(from);
        m_current.resize(m_levels.size());
        for (size_t block = from; m_flow && block < blocks; ++block) {
            for (size_t l = 0; l < m_levels.size(); ++l)
                m_current[l] = m_level_words[l][block];
            m_flow_words.push_back(m_flow->next(m_current));
        }
    }
    if (m_qualifier == KSM_SQTYPE_CONTINUOUS || m_qualifier == KSM_SQTYPE_INVALID_TYPE) {
        m_stored.resize(blocks, ALL);
        return;
    }
    for (size_t block = from; block < blocks; ++block)
        m_stored.push_back(qualify(block));
}

// Each level's words up to `blocks`, read on from where its stream stands.
void PROGRAM::evaluate_levels(size_t blocks)
{
    for (size_t l = 0; l < m_levels.size(); ++l) {
        std::vector<uint64_t>& words = m_level_words[l];
        for (size_t block = words.size(); block < blocks; ++block)
            words.push_back(m_levels[l]->next());
    }
}

void PROGRAM::keep_flow_mark(size_t block)
{
    if (m_flow_marks.empty() || block >= m_flow_marks.back().first + SEARCH_STEP)
        m_flow_marks.emplace_back(block, m_flow->clone());
}

long long PROGRAM::find_trigger(long long from, long long limit, bool segment, bool* final)
{
    *final = false;
    if (!m_triggering)
        return -1;
    size_t level = 0;
    for (long long at = std::max(from, 0ll); at < limit;) {
        const size_t block = static_cast<size_t>(at >> 6);
        if (block >= m_stored.size())  // a quarter of the way so far ahead, up to SEARCH_STEP blocks
            extend(block + 1 + std::min(block / 4, SEARCH_STEP));
        uint64_t word;
        if (m_flow) {
            const FLOW_WORDS& f = m_flow_words[block];
            word = f.trigger | (segment ? f.segment_trigger : 0);
        } else {
            word = m_levels.empty() ? ALL : m_level_words[level][block];
        }
        word &= ALL << (at & 63);
        if (!word) {
            at = (at | 63) + 1;
            continue;
        }
        const long long met = static_cast<long long>(block) * 64 + __builtin_ctzll(word);
        if (met >= limit)
            return -1;
        if (m_flow) {
            *final = (m_flow_words[block].trigger >> (met & 63)) & 1;
            return met;
        }
        if (m_levels.empty() || ++level == m_levels.size())
            return met;
        at = met + 1;
    }
    return -1;
}

bool PROGRAM::flow_end(long long t, FLOW_RESULTS* results)
{
    if (!m_flow || t < 0)
        return false;
    const size_t last = static_cast<size_t>(t >> 6);
    size_t block = m_flow_words.size();
    std::unique_ptr<FLOW> flow;
    if (block <= last) {
        flow = m_flow->clone();
    } else {
        auto mark = std::find_if(m_flow_marks.rbegin(), m_flow_marks.rend(), [&](auto& m) { return m.first <= last; });
        block = mark->first;
        flow = mark->second->clone();
    }
    evaluate_levels(last + 1);
    std::vector<uint64_t> levels(m_levels.size());
    for (; block <= last; ++block) {
        for (size_t l = 0; l < m_levels.size(); ++l)
            levels[l] = m_level_words[l][block];
        if (block < last)
            flow->next(levels);
        else
            *results = flow->end_within(levels, static_cast<int>(t & 63) + 1);
    }
    return true;
}

bool PROGRAM::is_stored(long long t)
{
    extend(static_cast<size_t>(t >> 6) + 1);
    return (m_stored[static_cast<size_t>(t >> 6)] >> (t & 63)) & 1;
}

long long PROGRAM::next_stored(long long from, long long limit)
{
    long long t;
    return stored_after(from, limit, 1, &t) ? t : -1;
}

long long PROGRAM::previous_stored(long long from, long long floor)
{
    long long t;
    return stored_before(from, floor, 1, &t) ? t : -1;
}

// A word of stored samples at a time, each stored sample read off it by its lowest set bit.
int PROGRAM::stored_after(long long from, long long limit, int count, long long* out)
{
    int n = 0;
    for (long long at = std::max(from, 0ll); n < count && at < limit; at = (at | 63) + 1) {
        const size_t block = static_cast<size_t>(at >> 6);
        extend(block + 1);
        const long long first = static_cast<long long>(block) * 64;
        if (m_stored[block] == ALL && at == first && n + 64 <= count && first + 64 <= limit) {
            for (int j = 0; j < 64; ++j)  // a word stored whole
                out[n + j] = first + j;
            n += 64;
            continue;
        }
        for (uint64_t word = m_stored[block] & (ALL << (at & 63)); word && n < count; word &= word - 1) {
            const long long t = first + __builtin_ctzll(word);
            if (t >= limit)
                return n;
            out[n++] = t;
        }
    }
    return n;
}

// A word of stored samples at a time, each stored sample read off it by its highest set bit.
int PROGRAM::stored_before(long long from, long long floor, int count, long long* last)
{
    int n = 0;
    for (long long at = from - 1; n < count && at >= floor && at >= 0; at = (at & ~63ll) - 1) {
        const size_t block = static_cast<size_t>(at >> 6);
        extend(block + 1);
        const long long first = static_cast<long long>(block) * 64;
        if (m_stored[block] == ALL && at == first + 63 && n + 64 <= count && first >= floor) {
            for (int j = 0; j < 64; ++j)  // a word stored whole
                *(last - n - j) = at - j;
            n += 64;
            continue;
        }
        const int shift = 63 - static_cast<int>(at & 63);
        for (uint64_t word = (m_stored[block] << shift) >> shift; word && n < count;) {  // samples up to `at`
            const int bit = 63 - __builtin_clzll(word);
            const long long t = first + bit;
            if (t < floor)
                return n;
            *(last - n++) = t;
            word &= ~(uint64_t(1) << bit);
        }
    }
    return n;
}

}  // namespace daw_eval
