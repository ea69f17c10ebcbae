#include "vokr_change_index.h"

#include <cstring>

namespace {

// Two and four words as one value of the compiler's vector extension: worked on together where the
// target has vector registers.
typedef uint64_t WORD_PAIR __attribute__((vector_size(16)));
typedef uint64_t WORD_QUAD __attribute__((vector_size(32)));

// VOKR_CHANGE_INDEX::plane_changes() as many words a step as a VECTOR holds.
template <typename VECTOR>
inline __attribute__((always_inline)) void plane_changes_by(uint64_t* out, const uint64_t* words, long long k0,
                                                            long long k1, bool add)
{
    constexpr long long STEP = sizeof(VECTOR) / sizeof(uint64_t);
    const uint64_t keep = add ? ~uint64_t(0) : 0;
    auto one = [&](long long k) {
        const uint64_t before = k ? words[k - 1] >> 63 : words[0] & 1;  // sample 0 has none before it
        out[k - k0] = (out[k - k0] & keep) | (words[k] ^ ((words[k] << 1) | before));
    };
    long long k = k0;
    if (k == 0)
        one(k++);
    for (; k + STEP - 1 <= k1; k += STEP) {
        VECTOR word, before, sum;
        std::memcpy(&word, words + k, sizeof word);
        std::memcpy(&before, words + k - 1, sizeof before);
        std::memcpy(&sum, out + (k - k0), sizeof sum);
        sum = (sum & keep) | (word ^ ((word << 1) | (before >> 63)));
        std::memcpy(out + (k - k0), &sum, sizeof sum);
    }
    for (; k <= k1; ++k)
        one(k);
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) void plane_changes_avx2(uint64_t* out, const uint64_t* words, long long k0,
                                                        long long k1, bool add)
{
    plane_changes_by<WORD_QUAD>(out, words, k0, k1, add);
}

const bool HAS_AVX2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}();
#endif

}  // namespace

void VOKR_CHANGE_INDEX::plane_changes(uint64_t* out, const uint64_t* words, long long k0, long long k1, bool add)
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (HAS_AVX2) {
        plane_changes_avx2(out, words, k0, k1, add);
        return;
    }
#endif
    plane_changes_by<WORD_PAIR>(out, words, k0, k1, add);
}

const uint64_t* VOKR_CHANGE_INDEX::find(uint64_t stamp, const uint64_t* const* planes, size_t count, long long depth)
{
    static VOKR_CHANGE_INDEX index;
    if (stamp == 0 || count == 0 || depth <= 0)
        return nullptr;
    // The rows of the two captures painted last stay: two views of different captures painted in
    // turn each find theirs.
    if (stamp != index.m_stamps[0]) {
        if (stamp != index.m_stamps[1])
            index.forget(index.m_stamps[1]);
        index.m_stamps[1] = index.m_stamps[0];
        index.m_stamps[0] = stamp;
    }
    static KEY key;
    key.first = stamp;
    key.second.assign(planes, planes + count);
    const auto kept = index.m_rows.find(key);
    if (kept != index.m_rows.end())
        return kept->second.data();
    const size_t words = size_t((depth + 63) / 64) + 2;
    if (index.m_words + words > MAX_WORDS)
        index.forget(index.m_stamps[1]);
    if (index.m_words + words > MAX_WORDS)
        return nullptr;
    std::vector<uint64_t>& changes = index.m_rows[key];
    changes.assign(words, 0);
    for (size_t i = 0; i < count; ++i)
        plane_changes(changes.data(), planes[i], 0, (long long)words - 3, i > 0);
    index.m_words += words;
    return changes.data();
}

void VOKR_CHANGE_INDEX::forget(uint64_t stamp)
{
    for (auto row = m_rows.begin(); row != m_rows.end();) {
        if (row->first.first != stamp) {
            ++row;
            continue;
        }
        m_words -= row->second.size();
        row = m_rows.erase(row);
    }
}
