// Data logs: bit-packed samples, one plane of 64-bit words per channel.
#include "ksm_state.h"
#include "ksm_zlib.h"
#include "msg.h"

#include <algorithm>
#include <atomic>
#include <cstddef>

namespace {

using SAMPLES = KSM_DATA_LOG::SAMPLES;

bool test(const KSM_PLANE_WORDS& plane, size_t offset, int sample)
{
    return (plane[offset + (static_cast<size_t>(sample) >> 6)] >> (sample & 63)) & 1u;
}

void assign(KSM_PLANE_WORDS& plane, size_t offset, int sample, bool value)
{
    uint64_t& word = plane[offset + (static_cast<size_t>(sample) >> 6)];
    const uint64_t bit = uint64_t(1) << (sample & 63);
    word = value ? (word | bit) : (word & ~bit);
}

std::atomic<size_t> g_sample_memory_limit{0};
std::atomic<size_t> g_held_sample_memory{0};

bool in_samples(const SAMPLES* s, int sample) { return s && sample >= 0 && sample < s->depth; }
bool in_channels(const SAMPLES* s, int channel) { return s && channel >= 0 && channel < s->channels; }

}  // namespace

KSM_DATA_LOG::KSM_DATA_LOG(KSM_DATA_SESSION* owner, const char* name)
    : KSM_OBJECT(owner), m_state(std::make_shared<STATE>())
{
    m_state->name = name ? name : "";
}

KSM_DATA_LOG::~KSM_DATA_LOG() = default;

const char* KSM_DATA_LOG::get_name() const { return m_state->name.c_str(); }

bool KSM_DATA_LOG::set_name(const char* name)
{
    return ksm_rename_child(this, m_state, name, m_trigger ? m_trigger->find_log(name) : nullptr);
}

bool KSM_DATA_LOG::is_expanded() const { return m_state->expanded; }
void KSM_DATA_LOG::set_expanded(bool expanded) { ksm_set(this, m_state, &STATE::expanded, expanded); }
bool KSM_DATA_LOG::is_acquiring_data() const { return m_acquiring; }
void KSM_DATA_LOG::set_acquiring_data(bool acquiring) { m_acquiring = acquiring; }

bool KSM_DATA_LOG::is_data_available(bool require_data) const
{
    if (m_acquiring)
        return false;
    return shape() && (!require_data || shape()->depth > 0);
}

bool KSM_DATA_LOG::is_power_up() const { return m_state->power_up; }
bool KSM_DATA_LOG::is_global_temp() const { return m_state->global_temp; }
bool KSM_DATA_LOG::is_gui_update_skipped() const { return m_state->gui_update_skipped; }

void KSM_DATA_LOG::set_flags(bool power_up, bool global_temp, bool gui_update_skipped)
{
    if (m_state->power_up == power_up && m_state->global_temp == global_temp &&
        m_state->gui_update_skipped == gui_update_skipped)
        return;
    STATE& s = ksm_edit(this, m_state);
    s.power_up = power_up;
    s.global_temp = global_temp;
    s.gui_update_skipped = gui_update_skipped;
}

void KSM_DATA_LOG::remove()
{
    if (!m_trigger)
        return;
    auto& slot = KSM_ACCESS::state(m_trigger);
    const int index = ksm_child_index(slot->logs, this);
    if (index < 0)
        return;
    KSM_TX_TRIGGER::STATE& s = ksm_edit(m_trigger, slot);
    ksm_erase_child(s.logs, &s.active_log, index);
}

void KSM_DATA_LOG::end_post_acq_processing() { m_acquiring = false; }

// ---- reading ----------------------------------------------------------------------------------------

const KSM_DATA_LOG::SAMPLES* KSM_DATA_LOG::shape() const
{
    if (m_samples)
        return m_samples.get();
    return m_packed && !m_packed->refused ? m_packed->shape.get() : nullptr;
}

const KSM_DATA_LOG::SAMPLES* KSM_DATA_LOG::samples() const
{
    if (m_samples || !m_packed || m_packed->refused)
        return m_samples.get();
    if (!ksm_sample_memory_allows(m_packed->inflated_bytes())) {  // asked again at the next read
        if (!m_held_warned) {
            m_held_warned = true;
            MSG_W warning;
            warning.fill_args(
                "The samples of log %1!s! are not opened: with the samples open already they would take "
                "more than half of this computer's memory/WKSM_LOG_TOO_LARGE",
                get_name());
            warning.post();
        }
        return nullptr;
    }
    bool damaged = false;
    m_samples = m_packed->inflate(&damaged);
    if (!damaged) {
        m_packed.reset();  // the packed planes are kept only to save a damaged log as it was read
        return m_samples.get();
    }
    MSG_W warning;
    warning.fill_args(
        "The samples of log %1!s! are damaged in its session file: the damaged channels show no "
        "samples/WKSM_LOG_DAMAGED",
        get_name());
    warning.post();
    return m_samples.get();
}

int KSM_DATA_LOG::get_data_sample_depth() const { return shape() ? shape()->depth : 0; }
int KSM_DATA_LOG::get_num_channels() const { return shape() ? shape()->channels : 0; }
int KSM_DATA_LOG::get_data_segment_size() const { return shape() ? shape()->segment_size : 0; }

int KSM_DATA_LOG::get_data_trigger_position(int segment) const
{
    if (!shape() || shape()->trigger_positions.empty())
        return -1;
    const auto& p = shape()->trigger_positions;
    if (segment < 0)
        return p.front();
    return segment < static_cast<int>(p.size()) ? p[segment] : -1;
}

// Read from the samples themselves: a channel whose plane turns out damaged when the log is
// first inflated is not connected.
bool KSM_DATA_LOG::get_connection_status(int channel) const
{
    const SAMPLES* s = samples();
    return in_channels(s, channel) && s->connected[channel];
}

bool KSM_DATA_LOG::get_bit(int channel, int sample) const
{
    const SAMPLES* s = samples();
    return in_channels(s, channel) && in_samples(s, sample) && test(s->bits, channel * s->words, sample);
}

bool KSM_DATA_LOG::is_bit_valid(int sample) const
{
    return in_samples(samples(), sample) && test(m_samples->valid, 0, sample);
}

bool KSM_DATA_LOG::is_bit_trigger(int sample) const
{
    return in_samples(samples(), sample) && test(m_samples->trigger, 0, sample);
}

bool KSM_DATA_LOG::is_break_previous(int sample) const
{
    return in_samples(samples(), sample) && test(m_samples->breaks, 0, sample);
}

int KSM_DATA_LOG::find_next_trigger(int from, int end) const
{
    const SAMPLES* s = samples();
    end = s ? std::min(end, s->depth) : 0;
    from = std::max(from, 0);
    if (from >= end)
        return -1;
    size_t k = static_cast<size_t>(from) >> 6;
    uint64_t word = s->trigger[k] & (~uint64_t(0) << (from & 63));
    const size_t last = static_cast<size_t>(end - 1) >> 6;
    while (!word && ++k <= last)
        word = s->trigger[k];
    if (!word)
        return -1;
    const long long found = static_cast<long long>(k) * 64 + __builtin_ctzll(word);
    return found < end ? static_cast<int>(found) : -1;
}

int KSM_DATA_LOG::count_breaks(int last) const
{
    const SAMPLES* s = samples();
    if (!s || last < 0 || s->depth == 0)
        return 0;
    last = std::min(last, s->depth - 1);
    const size_t full = static_cast<size_t>(last + 1) >> 6;
    int count = 0;
    for (size_t k = 0; k < full; ++k)
        count += __builtin_popcountll(s->breaks[k]);
    const int rest = (last + 1) & 63;
    if (rest)
        count += __builtin_popcountll(s->breaks[full] & ((uint64_t(1) << rest) - 1));
    return count;
}

int KSM_DATA_LOG::find_next_change(int channel, int from) const
{
    const SAMPLES* s = samples();
    if (!in_channels(s, channel) || !in_samples(s, from) || from + 1 >= s->depth)
        return -1;
    const uint64_t* plane = s->bits.data() + channel * s->words;
    const uint64_t flip = test(s->bits, channel * s->words, from) ? ~uint64_t(0) : 0;
    const int start = from + 1;
    size_t k = static_cast<size_t>(start) >> 6;
    uint64_t diff = (plane[k] ^ flip) & (~uint64_t(0) << (start & 63));
    while (!diff && ++k < s->words)
        diff = plane[k] ^ flip;
    if (!diff)
        return -1;
    const long long found = static_cast<long long>(k) * 64 + __builtin_ctzll(diff);
    return found < s->depth ? static_cast<int>(found) : -1;
}

int KSM_DATA_LOG::find_previous_change(int channel, int from) const
{
    const SAMPLES* s = samples();
    if (!in_channels(s, channel) || !in_samples(s, from) || from == 0)
        return -1;
    const uint64_t* plane = s->bits.data() + channel * s->words;
    const uint64_t flip = test(s->bits, channel * s->words, from) ? ~uint64_t(0) : 0;
    const int start = from - 1;
    long long k = start >> 6;
    const int shift = 63 - (start & 63);
    uint64_t diff = (plane[k] ^ flip) & (~uint64_t(0) >> shift);
    while (!diff && --k >= 0)
        diff = plane[k] ^ flip;
    if (!diff)
        return -1;
    return static_cast<int>(k * 64 + 63 - __builtin_clzll(diff));
}

const uint64_t* KSM_DATA_LOG::get_channel_words(int channel) const
{
    const SAMPLES* s = samples();
    return in_channels(s, channel) && s->depth > 0 ? s->bits.data() + channel * s->words : nullptr;
}

const uint64_t* KSM_DATA_LOG::get_valid_words() const
{
    const SAMPLES* s = samples();
    return s && s->depth > 0 ? s->valid.data() : nullptr;
}

uint64_t KSM_DATA_LOG::get_samples_stamp() const
{
    const SAMPLES* s = samples();
    return s ? s->stamp.value() : 0;
}

const std::vector<std::string>& KSM_DATA_LOG::get_channel_nodes() const
{
    static const std::vector<std::string> none;
    const SAMPLES* s = shape();
    return s ? s->channel_nodes : none;
}

uint64_t KSM_DATA_LOG::get_bit_word(int channel, int index) const
{
    const uint64_t* words = get_channel_words(channel);
    return words && index >= 0 && static_cast<size_t>(index) < m_samples->words ? words[index] : 0;
}

uint64_t KSM_DATA_LOG::get_valid_word(int index) const
{
    const uint64_t* words = get_valid_words();
    return words && index >= 0 && static_cast<size_t>(index) < m_samples->words ? words[index] : 0;
}

int KSM_DATA_LOG::get_state_value() const { return shape() ? shape()->state_value : -1; }
int KSM_DATA_LOG::get_number_counters() const { return shape() ? static_cast<int>(shape()->counters.size()) : 0; }

unsigned int KSM_DATA_LOG::get_counter_value(int index) const
{
    return index >= 0 && index < get_number_counters() ? shape()->counters[index] : 0;
}

int KSM_DATA_LOG::get_number_flags() const { return shape() ? static_cast<int>(shape()->flags.size()) : 0; }

int KSM_DATA_LOG::get_flag_value(int index) const
{
    return index >= 0 && index < get_number_flags() ? shape()->flags[index] : 0;
}

size_t KSM_DATA_LOG::get_sample_memory() const
{
    if (!m_samples && m_packed) {  // what the packed planes take until they are inflated
        size_t bytes = sizeof(PACKED);
        for (const QByteArray& plane : m_packed->planes)
            bytes += static_cast<size_t>(plane.capacity());
        return bytes;
    }
    if (!m_samples)
        return 0;
    return sizeof(SAMPLES) + m_samples->plane_memory() + m_samples->connected.capacity();
}

// ---- writing ----------------------------------------------------------------------------------------

void KSM_DATA_LOG::begin_capture(int channels, int depth, int segment_size, bool every_channel_written)
{
    auto s = std::make_shared<SAMPLES>();
    s->allocate(std::max(channels, 0), std::max(depth, 0), !every_channel_written);
    for (KSM_PLANE_WORDS* plane : {&s->valid, &s->trigger, &s->breaks})
        std::fill(plane->begin(), plane->end(), 0);
    s->segment_size = std::max(segment_size, 0);
    m_capturing = std::move(s);
    m_acquiring = true;
}

void KSM_DATA_LOG::set_bit(int channel, int sample, bool value)
{
    SAMPLES* s = m_capturing.get();
    if (in_channels(s, channel) && in_samples(s, sample))
        assign(s->bits, channel * s->words, sample, value);
}

void KSM_DATA_LOG::set_channel_words(int channel, const uint64_t* words, size_t count)
{
    SAMPLES* s = m_capturing.get();
    if (!in_channels(s, channel) || !words)
        return;
    const size_t n = std::min(count, s->words);
    std::copy(words, words + n, s->bits.begin() + static_cast<std::ptrdiff_t>(channel * s->words));
    const int tail = s->depth & 63;
    if (n == s->words && tail)
        s->bits[channel * s->words + s->words - 1] &= (uint64_t(1) << tail) - 1;
}

uint64_t* KSM_DATA_LOG::capture_channel_words(int channel)
{
    SAMPLES* s = m_capturing.get();
    return in_channels(s, channel) ? s->bits.data() + static_cast<size_t>(channel) * s->words : nullptr;
}

void KSM_DATA_LOG::set_valid(int sample, bool valid)
{
    if (in_samples(m_capturing.get(), sample))
        assign(m_capturing->valid, 0, sample, valid);
}

void KSM_DATA_LOG::set_valid_words(const uint64_t* words, size_t count)
{
    SAMPLES* s = m_capturing.get();
    if (!s || !words)
        return;
    const size_t n = std::min(count, s->words);
    std::copy(words, words + n, s->valid.begin());
    const int tail = s->depth & 63;
    if (n == s->words && tail)
        s->valid[s->words - 1] &= (uint64_t(1) << tail) - 1;
}

void KSM_DATA_LOG::set_trigger_mark(int sample, bool mark)
{
    if (in_samples(m_capturing.get(), sample))
        assign(m_capturing->trigger, 0, sample, mark);
}

void KSM_DATA_LOG::set_break_mark(int sample, bool mark)
{
    if (in_samples(m_capturing.get(), sample))
        assign(m_capturing->breaks, 0, sample, mark);
}

void KSM_DATA_LOG::set_connection_status(int channel, bool connected)
{
    if (in_channels(m_capturing.get(), channel))
        m_capturing->connected[channel] = connected ? 1 : 0;
}

// A position the capture does not hold is kept as none, so that the file written reads back.
void KSM_DATA_LOG::set_trigger_positions(const std::vector<int>& positions)
{
    if (!m_capturing)
        return;
    m_capturing->trigger_positions = positions;
    for (int& position : m_capturing->trigger_positions)
        if (!ksm_trigger_position_fits(position, m_capturing->depth))
            position = -1;
}

void KSM_DATA_LOG::set_state_results(int state, const std::vector<unsigned int>& counters,
                                     const std::vector<int>& flags)
{
    if (!m_capturing)
        return;
    m_capturing->state_value = state;
    m_capturing->counters = counters;
    m_capturing->flags = flags;
}

void KSM_DATA_LOG::set_channel_nodes(std::vector<std::string> names)
{
    if (m_capturing && names.size() == static_cast<size_t>(m_capturing->channels))
        m_capturing->channel_nodes = std::move(names);
}

void KSM_DATA_LOG::end_capture()
{
    if (!m_capturing)
        return;
    m_samples = std::move(m_capturing);
    m_packed.reset();
    m_acquiring = false;
    if (m_owner)
        m_owner->set_modified(true);
}

void KSM_DATA_LOG::drop_capture()
{
    m_capturing.reset();
    m_acquiring = false;
}

// ---- packed samples --------------------------------------------------------------------------------

std::shared_ptr<KSM_DATA_LOG::SAMPLES> KSM_DATA_LOG::PACKED::inflate(bool* damaged) const
{
    auto s = std::make_shared<SAMPLES>(*shape);
    s->allocate(shape->channels, shape->depth, false);  // every plane is inflated or zeroed below
    s->connected = shape->connected;
    const size_t bytes = s->words * sizeof(uint64_t);
    std::atomic<bool> bad{false};
    // Planes are independent: a large log is inflated by several threads, each taking the next
    // plane left, so that its memory is first touched by the thread that fills it.
    ksm_parallel_each(planes.size(), bytes * planes.size(), [&](size_t i) {
        if (!inflate_plane(planes[i], s->plane(i), bytes)) {
            bad = true;
            if (i < s->connected.size())  // a channel's plane: its samples are not known
                s->connected[i] = 0;
        }
    });
    *damaged = bad;
    return s;
}

// Planes are compressed as qCompress() gives them: their size first, then the zlib stream.
bool KSM_DATA_LOG::PACKED::inflate_plane(const QByteArray& packed, uint64_t* target, size_t bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(packed.constData());
    if (bytes == 0 || (packed.size() > 4 && ksm_uncompress(data + 4, static_cast<size_t>(packed.size()) - 4,
                                                           reinterpret_cast<unsigned char*>(target), bytes)))
        return true;
    std::fill(target, target + bytes / sizeof(uint64_t), 0);
    return false;
}

size_t ksm_sample_memory_limit()
{
    if (const size_t set = g_sample_memory_limit)
        return set;
    return ksm_usable_memory() / 2;
}

void ksm_set_sample_memory_limit(size_t bytes) { g_sample_memory_limit = bytes; }

void KSM_HELD_SAMPLE_BYTES::set(size_t bytes)
{
    g_held_sample_memory += bytes;
    g_held_sample_memory -= m_bytes;
    m_bytes = bytes;
}

size_t ksm_held_sample_memory() { return g_held_sample_memory; }

std::shared_ptr<const std::string> ksm_held_file_bytes(std::string&& bytes)
{
    struct HELD {
        std::string bytes;
        KSM_HELD_SAMPLE_BYTES held;
    };
    auto held = std::make_shared<HELD>();
    held->bytes = std::move(bytes);
    held->held.set(held->bytes.size());
    return std::shared_ptr<const std::string>(held, &held->bytes);
}

bool ksm_sample_memory_allows(size_t bytes)
{
    const size_t limit = ksm_sample_memory_limit(), held = ksm_held_sample_memory();
    return bytes <= limit && held <= limit - bytes;
}

// ---- plug-in tables ---------------------------------------------------------------------------------

KSM_DATA_MNEMONICS_TABLE* KSM_DATA_LOG::create_static_plugin_mnemonics_table(int width, const char* key)
{
    auto table = ksm_make<KSM_DATA_MNEMONICS_TABLE>(m_owner, key ? key : "", width);
    STATE& s = ksm_edit(this, m_state);
    s.static_tables.push_back(table);
    s.static_table_keys.emplace_back(key ? key : "");
    return table.get();
}

KSM_DATA_MNEMONICS_TABLE* KSM_DATA_LOG::get_static_plugin_mnemonics_table(int index) const
{
    return ksm_child_at(m_state->static_tables, index);
}

int KSM_DATA_LOG::get_num_static_plugin_mnemonics_tables() const { return ksm_child_count(m_state->static_tables); }

KSM_TX_SIGNAL_SET* KSM_DATA_LOG::get_signal_set() const { return m_trigger ? m_trigger->get_signal_set() : nullptr; }
