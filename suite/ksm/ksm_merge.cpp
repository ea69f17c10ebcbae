// The order of a merged list of shared objects (see ksm_merge.h).
#include "ksm_merge.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace {

using POSITIONS = std::unordered_map<uint64_t, int>;

POSITIONS positions_of(const std::vector<uint64_t>& keys)
{
    POSITIONS at;
    at.reserve(keys.size());
    for (int i = 0; i < static_cast<int>(keys.size()); ++i)
        at.emplace(keys[i], i);
    return at;
}

int position(const POSITIONS& at, uint64_t key)
{
    auto it = at.find(key);
    return it == at.end() ? -1 : it->second;
}

// Marks the values of a longest increasing subsequence (patience sorting, O(n log n)).
std::vector<bool> longest_increasing(const std::vector<int>& values)
{
    std::vector<int> tails;  // index of the last value of the best run of each length
    std::vector<int> previous(values.size(), -1);
    for (int i = 0; i < static_cast<int>(values.size()); ++i) {
        auto it = std::lower_bound(tails.begin(), tails.end(), values[i],
                                   [&values](int index, int value) { return values[index] < value; });
        if (it != tails.begin())
            previous[i] = *(it - 1);
        if (it == tails.end())
            tails.push_back(i);
        else
            *it = i;
    }
    std::vector<bool> in_run(values.size(), false);
    for (int i = tails.empty() ? -1 : tails.back(); i >= 0; i = previous[i])
        in_run[i] = true;
    return in_run;
}

// Elements in both lists whose order the unit changed: those outside a longest run that keeps
// its order from `from` to `to`.
std::unordered_set<uint64_t> moved_keys(const std::vector<uint64_t>& from, const POSITIONS& at_to)
{
    std::vector<uint64_t> common;
    std::vector<int> to_positions;
    for (uint64_t key : from) {
        const int p = position(at_to, key);
        if (p >= 0) {
            common.push_back(key);
            to_positions.push_back(p);
        }
    }
    const std::vector<bool> stays = longest_increasing(to_positions);
    std::unordered_set<uint64_t> moved;
    for (size_t i = 0; i < common.size(); ++i)
        if (!stays[i])
            moved.insert(common[i]);
    return moved;
}

}  // namespace

// The current list without what the unit added and what it moved; then what the unit removed
// and what it moved, each put after the nearest element that precedes it in `to` and is still
// there (at the front when none).
std::vector<KSM_MERGED_ITEM> ksm_merge_order(const std::vector<uint64_t>& cur, const std::vector<uint64_t>& from,
                                             const std::vector<uint64_t>& to)
{
    const POSITIONS at_cur = positions_of(cur), at_from = positions_of(from), at_to = positions_of(to);
    const std::unordered_set<uint64_t> moved = moved_keys(from, at_to);
    auto item = [&](uint64_t key) {
        return KSM_MERGED_ITEM{position(at_cur, key), position(at_from, key), position(at_to, key)};
    };

    std::vector<uint64_t> kept;
    std::unordered_set<uint64_t> is_kept;
    for (uint64_t key : cur) {
        const bool added = position(at_from, key) >= 0 && position(at_to, key) < 0;
        if (!added && !moved.count(key)) {
            kept.push_back(key);
            is_kept.insert(key);
        }
    }

    std::vector<uint64_t> front;
    std::unordered_map<uint64_t, std::vector<uint64_t>> placed_after;
    const uint64_t* anchor = nullptr;
    for (const uint64_t& key : to) {
        if (is_kept.count(key)) {
            anchor = &key;
            continue;
        }
        const bool removed = position(at_from, key) < 0;
        const bool move = moved.count(key) && position(at_cur, key) >= 0;  // not when gone meanwhile
        if (removed || move)
            (anchor ? placed_after[*anchor] : front).push_back(key);
    }

    std::vector<KSM_MERGED_ITEM> order;
    order.reserve(kept.size() + to.size());
    for (uint64_t key : front)
        order.push_back(item(key));
    for (uint64_t key : kept) {
        order.push_back(item(key));
        auto it = placed_after.find(key);
        if (it != placed_after.end())
            for (uint64_t placed : it->second)
                order.push_back(item(placed));
    }
    return order;
}
