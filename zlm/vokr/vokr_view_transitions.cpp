// Stepping the master time bar from transition to transition, and searching the capture for a
// bus value. Both read the log's packed words straight from its planes, never sample by sample: a
// transition reads each plane in turn up to the nearest change found so far, a value search a
// block of words at a time, plane after plane. A search over a million samples looks at a few
// thousand words per node, each once and in order; the runs of words that all hold one level,
// which make up most of a deep capture, are passed over 32 words a step, as 256-bit vectors where
// the processor has AVX2.
#include "vokr_view.h"

#include "ksm.h"
#include "vokr_assert.h"
#include "vokr_msg.h"
#include "vokr_number.h"
#include "vokr_trigger_value_dlg.h"
#include "vokr_tx_manager.h"

#include <QLineEdit>

#include <QVarLengthArray>
#include <QVector>

#include <algorithm>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace {

constexpr uint64_t ALL = ~uint64_t(0);

// Bits from..to (inclusive) of word `k`, for samples counted from 0.
uint64_t range_mask(int k, int from, int to)
{
    const long long first = std::max<long long>(from - 64LL * k, 0);
    const long long last = std::min<long long>(to - 64LL * k, 63);
    if (first > last)
        return 0;
    return (ALL << first) & (ALL >> (63 - last));
}

// The first set bit of a word at or after bit 0 (forward) or the last one (backward), as a sample.
int pick(int k, uint64_t word, bool forward)
{
    return 64 * k + (forward ? __builtin_ctzll(word) : 63 - __builtin_clzll(word));
}

// Words a run of one level is passed over at a step.
constexpr int LEVEL_STEP = 32;

// Whether words q[0..3] all read `level`.
inline bool quad_at_level(const uint64_t* q, uint64_t level)
{
    return ((q[0] ^ level) | (q[1] ^ level) | (q[2] ^ level) | (q[3] ^ level)) == 0;
}

#if defined(__x86_64__) && defined(__GNUC__)
// The bits of words p[0..3] that differ from `fill`.
__attribute__((target("avx2"))) inline __m256i differing_4(const uint64_t* p, __m256i fill)
{
    return _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), fill);
}

// The bits of words p[0..15] that differ from `fill`, ORed into one vector.
__attribute__((target("avx2"))) inline __m256i differing_16(const uint64_t* p, __m256i fill)
{
    return _mm256_or_si256(_mm256_or_si256(differing_4(p, fill), differing_4(p + 4, fill)),
                           _mm256_or_si256(differing_4(p + 8, fill), differing_4(p + 12, fill)));
}

// How many of words first..last read `level`, from first up (forward) or from last down, in whole
// steps of LEVEL_STEP words: a step's words XORed with the level and ORed together as vectors.
__attribute__((target("avx2"))) int level_run_avx2(const uint64_t* q, int first, int last, uint64_t level, bool forward)
{
    static_assert(LEVEL_STEP == 32, "a step is two blocks of 16 words");
    const __m256i fill = _mm256_set1_epi64x(static_cast<long long>(level));
    const int steps = (last - first + 1) / LEVEL_STEP;
    const ptrdiff_t stride = forward ? LEVEL_STEP : -LEVEL_STEP;
    const uint64_t* p = q + (forward ? first : last - LEVEL_STEP + 1);
    int n = 0;
    for (; n < steps; ++n, p += stride) {
        const __m256i any = _mm256_or_si256(differing_16(p, fill), differing_16(p + 16, fill));
        if (!_mm256_testz_si256(any, any))
            break;
    }
    return n * LEVEL_STEP;
}

const bool HAS_AVX2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}();
#endif

// How many of words first..last, counted from the near end, lie before the next 32-byte boundary
// in the search direction: vector loads from that boundary on never straddle two cache lines.
int words_to_boundary(const uint64_t* q, int first, int last, bool forward)
{
    const auto address = reinterpret_cast<uintptr_t>(forward ? q + first : q + last + 1);
    const int words = int(((forward ? 0 - address : address) >> 3) & 3);
    return std::min(words, last - first + 1);
}

// How many of words first..last of a plane read `level`, counted from first up (forward) or from
// last down: where the processor has AVX2, the words up to a 32-byte boundary one at a time, then
// whole steps of LEVEL_STEP words as vectors; then four words a step.
int level_run(const uint64_t* q, int first, int last, uint64_t level, bool forward)
{
    int n = 0;
#if defined(__x86_64__) && defined(__GNUC__)
    if (HAS_AVX2) {
        const int head = words_to_boundary(q, first, last, forward);
        while (n < head && q[forward ? first + n : last - n] == level)
            ++n;
        if (n < head)
            return n;
        n += forward ? level_run_avx2(q, first + n, last, level, true)
                     : level_run_avx2(q, first, last - n, level, false);
    }
#endif
    while (n + 4 <= last - first + 1 && quad_at_level(q + (forward ? first + n : last - n - 3), level))
        n += 4;
    return n;
}

// Words a value search takes at a time, plane after plane: it mostly stops at its first member,
// and short blocks let it stop soon.
constexpr int VALUE_BLOCK = 64;

// Scans the words that hold samples from..to in the search direction: `ruled_out(lo, hi)` tells
// how many of words lo..hi, counted from the near end, hold no match and are passed over; then
// `block(b, size, words)` narrows words[0..size - 1], the samples of words b..b + size - 1 within
// from..to, to their matches and tells whether any is left. The matching sample nearest to the
// start, or -1.
template <int BLOCK, class RULED_OUT, class BLOCK_MATCHES>
int scan_blocks(int from, int to, bool forward, RULED_OUT ruled_out, BLOCK_MATCHES block)
{
    if (from > to)
        return -1;
    const int first = from >> 6, last = to >> 6;
    uint64_t words[BLOCK];
    for (int n = 0; n <= last - first;) {
        n += forward ? ruled_out(first + n, last) : ruled_out(first, last - n);
        const int size = std::min(BLOCK, last - first + 1 - n);
        if (size <= 0)
            break;
        const int b = forward ? first + n : last - n - size + 1;
        n += size;
        std::fill(words, words + size, ALL);
        for (int k : {first, last})
            if (k >= b && k < b + size)
                words[k - b] &= range_mask(k, from, to);
        if (!block(b, size, words))
            continue;
        for (int j = 0; j < size; ++j) {
            const int i = forward ? j : size - 1 - j;
            if (words[i])
                return pick(b + i, words[i], forward);
        }
    }
    return -1;
}

// Each bit moved one sample later: bit i holds sample i - 1 of the plane, with `carry_in` (the
// last sample of the word before) in bit 0.
uint64_t previous_samples(uint64_t word, uint64_t carry_in) { return (word << 1) | (carry_in >> 63); }

// The samples of word k of a plane that differ from the sample before them. Sample 0 has no sample
// before it: it is compared with itself.
uint64_t changes_in_word(const uint64_t* plane, int k)
{
    return plane[k] ^ previous_samples(plane[k], k > 0 ? plane[k - 1] : plane[0] << 63);
}

// Of the changes in word k, those at valid samples, and the samples where a gap of invalid samples
// starts.
uint64_t valid_changes(uint64_t changes, const uint64_t* valid, int k)
{
    const uint64_t v = valid[k];
    return (changes & v) | (~v & previous_samples(v, k > 0 ? valid[k - 1] : 0));
}

// The planes a step examines.
using PLANES = QVector<const uint64_t*>;

// Samples of word k (k > 0) of a plane that differ from the sample before them.
inline uint64_t plane_changes(const uint64_t* plane, int k)
{
    return plane[k] ^ previous_samples(plane[k], plane[k - 1]);
}

// Samples of word k (k > 0) where a gap of invalid samples starts.
inline uint64_t gap_starts(const uint64_t* valid, int k)
{
    return ~valid[k] & previous_samples(valid[k], valid[k - 1]);
}

// How many words at the near end of first..last (first > 0) of a plane hold no change in the
// search direction, each repeating the last sample of the word before it. Forward, the run at the
// level the word before `first` ends on; backward, the run at the level of word `last`, whose
// lowest word holds no change only when the word below it ends on that level too.
template <bool FORWARD> int steady_run(const uint64_t* plane, int first, int last)
{
    if (FORWARD)
        return level_run(plane, first, last, 0 - (plane[first - 1] >> 63), true);
    const uint64_t level = 0 - (plane[last] >> 63);
    const int n = level_run(plane, first, last, level, false);
    return n > 0 && (plane[last - n] >> 63) != (level & 1) ? n - 1 : n;
}

// The hit nearest to the start of words first..last (first > 0) of one plane in the search
// direction, or -1: a run of words without a change is passed over, then the next four words are
// given one by one to `hits(k)`, which tells the samples of word k that count, and so on.
template <bool FORWARD, class HITS> int nearest_hit(const uint64_t* plane, int first, int last, HITS hits)
{
    while (first <= last) {
        const int run = steady_run<FORWARD>(plane, first, last);
        FORWARD ? first += run : last -= run;
        const int end = std::min(last - first + 1, 4);
        for (int t = 0; t < end; ++t) {
            const int k = FORWARD ? first + t : last - t;
            if (const uint64_t h = hits(k))
                return pick(k, h, FORWARD);
        }
        FORWARD ? first += end : last -= end;
    }
    return -1;
}

// The nearest change in words first..last (first > 0) of any plane at a valid sample within
// from..to, or the nearest start of a gap of invalid samples; -1 when there is none. Each plane
// is read in turn, in order, and only up to the nearest change found so far, so that the memory
// streams it.
template <bool FORWARD>
int nearest_change(const PLANES& planes, const uint64_t* valid, int first, int last, int from, int to)
{
    int found = -1;
    const auto take = [&](int hit) {
        if (hit < 0 || (found >= 0 && (FORWARD ? hit >= found : hit <= found)))
            return;
        found = hit;
        (FORWARD ? last : first) = hit >> 6;
    };
    for (const uint64_t* p : planes)
        take(nearest_hit<FORWARD>(p, first, last,
                                  [&](int k) { return plane_changes(p, k) & valid[k] & range_mask(k, from, to); }));
    take(nearest_hit<FORWARD>(valid, first, last,
                              [&](int k) { return gap_starts(valid, k) & range_mask(k, from, to); }));
    return found;
}

// Whether any of `size` words q, each flipped by `flip` (all ones or none), has a bit set: the
// words ANDed and ORed four at a time, as one word of each tells for all ones and for none.
bool any_match(const uint64_t* q, uint64_t flip, int size)
{
    uint64_t all[4] = {ALL, ALL, ALL, ALL}, any[4] = {};
    int i = 0;
    for (; i + 4 <= size; i += 4)
        for (int j = 0; j < 4; ++j)
            all[j] &= q[i + j], any[j] |= q[i + j];
    for (; i < size; ++i)
        all[0] &= q[i], any[0] |= q[i];
    return flip ? (all[0] & all[1] & all[2] & all[3]) != ALL : (any[0] | any[1] | any[2] | any[3]) != 0;
}

bool is_group_row(const KSM_TX_SIGNAL_NODES* list, int node)
{
    const KSM_DATA_NODE_DISPLAY_TYPE type = list->get_display_type(node);
    return type == KSM_NTYPE_GROUP_EXPANDED || type == KSM_NTYPE_GROUP_COLLAPSED;
}

}  // namespace

// ---- transitions -----------------------------------------------------------------------------------------

// Visits the connected channels the search compares, in row order: the selected leaf rows (a
// selected group brings all its members), or every leaf when nothing is selected. The selection
// itself is left as it was. The lists are asked directly, as the walk goes over 4,096 rows.
template <class VISIT> void VOKR_VIEW::visit_examined_channels(VISIT visit) const
{
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    const KSM_TX_SIGNAL_SET* set = m_tx_manager->get_signal_nodes(-1);
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    if (!list || !set || !log)
        return;
    const bool all = get_selected_node_count() == 0;
    const int set_rows = set->get_num_nodes();
    int group_end = -1;  // members up to this node come with a selected group
    for (int node = 0, count = list->get_num_nodes(); node < count; ++node) {
        const bool examined = all || list->is_selected(node) || node <= group_end;
        if (!examined)
            continue;
        if (is_group_row(list, node)) {
            if (!all)
                group_end = std::max(group_end, list->get_last_child_index(node));
            continue;
        }
        const int channel = node < set_rows ? set->get_channel(node) : -1;
        if (channel >= 0 && log->get_connection_status(channel))
            visit(channel);
    }
}

// The planes of the channels visit_examined_channels gives, with the log's valid plane and depth,
// kept until the node list, the signal set or the log's samples change: a step in a busy capture
// then reads a plane or two and asks the lists nothing row by row.
const VOKR_VIEW::EXAMINED_PLANES& VOKR_VIEW::examined_planes() const
{
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    const KSM_TX_SIGNAL_SET* set = list ? m_tx_manager->get_signal_nodes(-1) : nullptr;
    EXAMINED_PLANES& e = m_examined;
    const uint64_t list_stamp = list ? list->get_rows_stamp() : 0;
    const uint64_t set_stamp = !set ? 0 : set == list ? list_stamp : set->get_rows_stamp();
    const uint64_t samples_stamp = log ? log->get_samples_stamp() : 0;
    if (e.list_stamp == list_stamp && e.set_stamp == set_stamp && e.samples_stamp == samples_stamp)
        return e;
    e = EXAMINED_PLANES{list_stamp, set_stamp, samples_stamp, {}, nullptr, 0};
    if (!log || !samples_stamp)
        return e;
    e.valid = log->get_valid_words();
    e.depth = log->get_data_sample_depth();
    visit_examined_channels([&](int channel) {
        if (const uint64_t* words = log->get_channel_words(channel))
            e.planes.append(words);
    });
    return e;
}

// The nearest sample after (before) `master` where an examined node changes from the sample
// before, or where a gap of invalid samples starts; D (0) when there is none. The word that holds
// the sample a step reaches first is read first, plane after plane until one changes at that
// sample: in a busy capture a step reads a plane or two, and a change within the word costs one
// word of each plane. Beyond that word each plane is read in turn.
int VOKR_VIEW::find_transition(int master, bool forward) const
{
    const EXAMINED_PLANES& e = examined_planes();
    if (!e.valid)  // no samples: the step has nothing to find
        return forward ? get_sample_depth() : 0;
    const uint64_t* valid = e.valid;
    const int depth = e.depth;
    const int from = forward ? master + 1 : 0, to = forward ? depth - 1 : std::min(master, depth) - 1;
    const int none = forward ? depth : 0;
    if (from > to)
        return none;
    const PLANES& planes = e.planes;
    const int first = forward ? from : to, k = first >> 6;
    const uint64_t first_bit = uint64_t(1) << (first & 63);
    const bool first_valid = (valid[k] & first_bit) != 0;
    uint64_t near = 0;  // the changes of the planes read so far, in word k
    for (const uint64_t* p : planes) {
        near |= changes_in_word(p, k);
        if (first_valid && (near & first_bit))
            break;
    }
    const uint64_t hits = valid_changes(near, valid, k) & range_mask(k, from, to);
    if (hits)
        return pick(k, hits, forward);
    if (forward) {
        const int found = k < to >> 6 ? nearest_change<true>(planes, valid, k + 1, to >> 6, from, to) : -1;
        return found >= 0 ? found : none;
    }
    // Going back, word 0 comes last: its first sample has no sample before it.
    const int found = k > 1 ? nearest_change<false>(planes, valid, 1, k - 1, from, to) : -1;
    if (found >= 0 || k == 0)
        return found >= 0 ? found : none;
    uint64_t changes = 0;
    for (const uint64_t* p : planes)
        changes |= changes_in_word(p, 0);
    const uint64_t first_word = valid_changes(changes, valid, 0) & range_mask(0, from, to);
    return first_word ? pick(0, first_word, false) : none;
}

void VOKR_VIEW::set_master_and_store(int sample)
{
    m_time_bars[0] = sample;
    store_time_bars(sample);
}

void VOKR_VIEW::on_next_transition()
{
    const int depth = get_sample_depth();
    if (m_timebar_count == 0 || m_time_bars[0] >= depth) {
        store_time_bars(m_timebar_count ? m_time_bars[0] : 0);
        return;
    }
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    const int master = m_time_bars[0];
    const bool searchable = log && !log->is_acquiring_data() && log->is_data_available(true);
    set_master_and_store(searchable ? find_transition(master, true) : master + 1);
}

void VOKR_VIEW::on_previous_transition()
{
    if (m_timebar_count == 0 || m_time_bars[0] < 1) {
        store_time_bars(m_timebar_count ? m_time_bars[0] : 0);
        return;
    }
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    const int master = std::min(m_time_bars[0], get_sample_depth());
    const bool searchable = log && !log->is_acquiring_data() && log->is_data_available(true);
    set_master_and_store(searchable ? find_transition(master, false) : m_time_bars[0] - 1);
}

// ---- bus values ------------------------------------------------------------------------------------------

int VOKR_VIEW::first_selected_bus() const
{
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    for (int node = 0, count = get_node_count(); node < count; ++node)
        if (list->is_selected(node) && is_group(node))
            return node;
    return -1;
}

bool VOKR_VIEW::has_bus() const
{
    for (int node = 0, count = get_node_count(); node < count; ++node)
        if (is_group(node))
            return true;
    return false;
}

// ensure_visible selects the bus alone and scrolls it into view.
void VOKR_VIEW::select_search_bus() { ensure_visible(m_bus_value_node); }

void VOKR_VIEW::on_find_bus_value()
{
    if (m_timebar_count == 0) {
        m_time_bars[0] = 0;
        m_timebar_count = 1;
        store_time_bars(0);
        m_find_bus_continue = false;
    } else {
        m_find_bus_continue = true;
    }
    const int bus = first_selected_bus();
    if (bus < 0) {
        vokr_prompt(vokr_msg_find_bus_value_no_bus_selected());
        return;
    }
    m_bus_value_node = bus;
    m_bus_value_members = get_group_member_count(bus);
    select_search_bus();
    if (m_find_bus_radix == 15)
        m_find_bus_radix = 5;
    VOKR_TRIGGER_VALUE_DLG dialog(this, m_bus_value_members, m_find_bus_radix);
    dialog.exec();
    // Find Next and Find Previous repeat the value searched last in the radix it was typed in;
    // the next dialog opens in the radix chosen last.
    m_bus_value_text = dialog.get_last_searched_text();
    m_bus_value_radix =
        dialog.get_last_searched_type() >= 0 ? dialog.get_last_searched_type() : dialog.get_display_type();
    m_find_bus_radix = dialog.get_display_type();
}

void VOKR_VIEW::find_bus_value_again(bool forward)
{
    const int depth = get_sample_depth();
    if (m_timebar_count == 0) {
        m_time_bars[0] = forward ? 0 : depth;
        m_timebar_count = 1;
        store_time_bars(m_time_bars[0]);
        m_find_bus_continue = false;
    } else if (forward && m_time_bars[0] >= depth) {
        m_time_bars[0] = depth;
        m_find_bus_continue = false;
    } else if (!forward && m_time_bars[0] < 1) {
        m_time_bars[0] = 0;
        m_find_bus_continue = false;
    } else {
        m_find_bus_continue = true;
    }
    select_search_bus();
    const QByteArray typed = m_bus_value_text.toLatin1();
    VOKR_ASSERT(typed.size() <= MAX_BUS_WIDTH);
    find_bus_value(VOKR_NUMBER(typed.constData()).get_trigger_value(m_bus_value_radix, m_bus_value_members, false),
                   forward);
}

void VOKR_VIEW::on_find_next_bus_value() { find_bus_value_again(true); }

void VOKR_VIEW::on_find_previous_bus_value() { find_bus_value_again(false); }

bool VOKR_VIEW::find_bus_value(const QString& bits, bool forward)
{
    const int found = search_bus_value(bits, forward);
    if (found < 0) {
        vokr_prompt(found == NO_BUS_DATA ? vokr_msg_find_bus_value_no_bus_data() : vokr_msg_find_bus_value_not_found());
        return false;
    }
    m_find_bus_continue = true;
    set_master_and_store(found);
    return true;
}

// The members' planes of the bus row m_bus_value_node, kept while the row, the lists and the
// samples stay: a Find Next repeated over a wide bus then asks the lists nothing member by member.
const VOKR_VIEW::BUS_PLANES& VOKR_VIEW::bus_planes() const
{
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    const KSM_TX_SIGNAL_SET* set = m_tx_manager->get_signal_nodes(-1);
    BUS_PLANES& b = m_bus_planes;
    const uint64_t list_stamp = list ? list->get_rows_stamp() : 0;
    const uint64_t set_stamp = set ? set->get_rows_stamp() : 0;
    const uint64_t samples_stamp = log ? log->get_samples_stamp() : 0;
    if (b.bus == m_bus_value_node && b.list_stamp == list_stamp && b.set_stamp == set_stamp &&
        b.samples_stamp == samples_stamp)
        return b;
    b = BUS_PLANES{list_stamp, set_stamp, samples_stamp, m_bus_value_node, false, {}, {}};
    if (!log || !list || !set || !is_group(b.bus))
        return b;
    const int width = get_group_member_count(b.bus);
    const bool lsb_first = list->get_lsb_to_msb(b.bus);
    for (int i = 0; i < width; ++i) {
        const int node = lsb_first ? b.bus + width - i : b.bus + 1 + i;
        const int channel = set->get_channel(node);
        const uint64_t* words =
            channel >= 0 && log->get_connection_status(channel) ? log->get_channel_words(channel) : nullptr;
        if (!words) {
            b.planes.clear();
            b.inverted.clear();
            return b;
        }
        b.planes.append(words);
        b.inverted.append(set->is_signal_inverted(node));
    }
    b.searchable = true;
    return b;
}

int VOKR_VIEW::search_bus_value(const QString& bits, bool forward) const
{
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    const BUS_PLANES& bus = bus_planes();
    if (!log || !log->is_data_available(true) || !bus.searchable)
        return NO_BUS_DATA;
    const int width = bus.planes.size();
    VOKR_ASSERT(width <= MAX_BUS_WIDTH);
    if (bits.size() != width)
        return NOT_FOUND;
    // Per member with a 0 or 1 digit (an X matches either level), most significant first: its
    // samples and the word that marks a match of its digit.
    struct MEMBER {
        const uint64_t* words;
        uint64_t flip;  // all ones when the sample must read 0
    };
    // Held on the stack for the usual widths: a search repeated over a bus allocates nothing.
    QVarLengthArray<MEMBER, 64> members;
    for (int i = 0; i < width; ++i) {
        const QChar digit = bits.at(i);
        if (digit == '0' || digit == '1')
            members.append({bus.planes.at(i), (digit == '0') != bus.inverted.at(i) ? ALL : 0});
        else if (digit != 'X' && digit != 'x')
            return NOT_FOUND;
    }
    // A block's samples within the search, narrowed member by member; a block is given up at the
    // first member that leaves none of its samples matching. Last, a block that still matches keeps
    // only its captured samples: one never captured holds no value, whatever its bits read.
    const uint64_t* valid = log->get_valid_words();
    const auto captured = [valid](int b, int size, uint64_t* words) {
        uint64_t left = 0;
        for (int i = 0; i < size; ++i)
            left |= words[i] &= valid ? valid[b + i] : ALL;
        return left != 0;
    };
    const auto matches = [&](int b, int size, uint64_t* words) {
        for (int n = 0; n < members.size(); ++n) {
            const uint64_t *q = members.at(n).words + b, flip = members.at(n).flip;
            if (n == 0 && !any_match(q, flip, size))  // most blocks end here, before anything is stored
                return false;
            uint64_t left = 0;
            for (int i = 0; i < size; ++i)
                left |= words[i] &= q[i] ^ flip;
            if (!left)
                return false;
        }
        return captured(b, size, words);
    };
    const int depth = std::min(get_sample_depth(), log->get_data_sample_depth());
    int start = m_time_bars[0] + (m_find_bus_continue ? (forward ? 1 : -1) : 0);
    if (!forward)
        start = std::min(start, depth - 1);
    // Runs of words over which the first member keeps the level its digit rules out hold no match.
    const auto ruled_out = [&](int lo, int hi) {
        return members.isEmpty() ? 0 : level_run(members.at(0).words, lo, hi, members.at(0).flip, forward);
    };
    return forward ? scan_blocks<VALUE_BLOCK>(std::max(start, 0), depth - 1, true, ruled_out, matches)
                   : scan_blocks<VALUE_BLOCK>(0, start, false, ruled_out, matches);
}

bool VOKR_VIEW::on_update_find_bus_value()
{
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    return visible_node_rows > 0 && get_sample_depth() != 0 && has_bus() && is_data_tab() && log &&
           log->is_data_available(true);
}

bool VOKR_VIEW::on_update_find_next_bus_value()
{
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    return visible_node_rows > 0 && get_sample_depth() != 0 && is_data_tab() && log && log->is_data_available(true) &&
           is_group(m_bus_value_node);
}

// The selected buses must share one member count.
bool VOKR_VIEW::on_update_insert_trigger_value() { return insert_value_reference_bus() >= 0; }

// The selected bus with the highest index, when every selected bus has the same member count;
// -1 otherwise or when none is selected.
int VOKR_VIEW::insert_value_reference_bus() const
{
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    int reference = -1, width = -1;
    for (int node = get_node_count() - 1; node >= 0; --node) {
        if (!list->is_selected(node) || !is_group(node))
            continue;
        const int members = get_group_member_count(node);
        if (width >= 0 && members != width)
            return -1;
        width = members;
        if (reference < 0)
            reference = node;
    }
    return reference;
}

// One value typed in the value dialog becomes the trigger condition of every selected bus at
// the view's level, in one undo step; the buses keep their mnemonic table or take the radix the
// value was typed in.
void VOKR_VIEW::on_insert_trigger_value()
{
    const int reference = insert_value_reference_bus();
    if (reference < 0)
        return;
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    const int width = get_group_member_count(reference);
    QString text, table;
    bool radix_ok = false;
    get_group_trigger_pattern(reference, m_current_level, &text, &radix_ok);
    // A value typed for a bus shown least significant bit first is read in that order, so the
    // dialog opens on the pattern in that order too: OK alone keeps the condition.
    if (list->get_lsb_to_msb(reference))
        std::reverse(text.begin(), text.end());
    m_tx_manager->get_node_mnemonics_table_name(reference, &table, list);
    VOKR_TRIGGER_VALUE_DLG dialog(text, width, this, list->get_group_display_type(reference));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString value = dialog.get_value_edit()->text();
    const QString symbol = dialog.get_mnemonic_edit()->text();
    if (!symbol.isEmpty())
        m_tx_manager->set_node_mnemonics_symbol(reference, value, symbol);
    const QByteArray bits = value.toLatin1();
    const auto radix = static_cast<KSM_DATA_GROUP_DISPLAY_TYPE>(dialog.get_display_type());
    m_tx_manager->get_tx_instance()->begin_action();
    for (int node = get_node_count() - 1; node >= 0; --node) {
        if (!list->is_selected(node) || !is_group(node))
            continue;
        m_tx_manager->set_node_group_display_type(node, KSM_GTYPE_BINARY);
        VOKR_NUMBER(bits.constData()).set_string(m_tx_manager, node, m_current_level, -1);
        if (!table.isEmpty())
            m_tx_manager->set_node_mnemonics_table_name(node, table);
        else
            m_tx_manager->set_node_group_display_type(node, radix);
    }
    m_tx_manager->end_action(VOKR_CHECK_IN_POWER_UP_VIEW, -1);
    m_tx_manager->update_all_views(nullptr, VOKR_HINT_REFRESH_VIEW);
}

// The name column's text sits at the left or the right of its cell.
void VOKR_VIEW::on_view_align_left()
{
    m_tx_manager->set_cfg_align_left(true);
    update();
}

void VOKR_VIEW::on_view_align_right()
{
    m_tx_manager->set_cfg_align_left(false);
    update();
}
