// The changes of a row's channels over a whole capture: a bit per sample, set where any of the
// channels differs from the sample before it (never at sample 0), a word per 64 samples. Finding
// which pixel columns of a zoom hold a change reads these words instead of every channel's. Worked
// out for a row on the first paint of a capture that asks for it and kept while the capture's
// samples stay (the log's samples stamp, never one other samples had), so every later zoom and
// scroll of that capture reads them again. The rows of the two stamps asked for last are kept.
// GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

class VOKR_CHANGE_INDEX {
public:
    // The change words of the channels `planes` (count > 0, each the packed words of `depth`
    // samples whose version is `stamp`, not 0), followed by two zero words; null, with nothing
    // kept, where they would take the index past its room (the caller then works out the words it
    // needs itself).
    static const uint64_t* find(uint64_t stamp, const uint64_t* const* planes, size_t count, long long depth);

    // The changes of one channel's words k0..k1 written to out[0..k1 - k0] or, with `add`, or-ed
    // into them: each word against itself moved one sample later, the bit before it from the word
    // before. Four words a step where the processor has AVX2, else two.
    static void plane_changes(uint64_t* out, const uint64_t* words, long long k0, long long k1, bool add);

private:
    // At most this many words (64 MB) are kept: a few hundred rows of a deep capture.
    static constexpr size_t MAX_WORDS = size_t(1) << 23;

    // A row: the samples' stamp and its channels' words.
    using KEY = std::pair<uint64_t, std::vector<const uint64_t*>>;

    // Forgets the rows of `stamp`.
    void forget(uint64_t stamp);

    uint64_t m_stamps[2] = {0, 0};  // the last asked for first
    size_t m_words = 0;             // in m_rows
    std::map<KEY, std::vector<uint64_t>> m_rows;
};
