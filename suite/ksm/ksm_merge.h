// Three-way merge of the repository's states, for an undo or redo that meets a state changed
// after its unit (outside any unit, or by another instance's unit). The merge goes from the
// state the unit left (`from`) to the state it started from (`to`), or back for a redo, into a
// copy of the current state: every field the unit changed takes the unit's value, every other
// field keeps its current one.
//
// Each state lists its fields in a static fields() function. A plain member pointer merges by
// the field's type: a whole value by default, a keyed store key by key, a list of shared
// objects by identity (the unit's additions go, its removals come back beside their former
// neighbours, its moves are made again). ksm_whole() and ksm_active() name the exceptions.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <tuple>
#include <unordered_map>
#include <vector>

// A field merged as a whole value whatever its type.
template <class S, class T> struct KSM_WHOLE_FIELD {
    T S::*member;
};
template <class S, class T> KSM_WHOLE_FIELD<S, T> ksm_whole(T S::*member) { return {member}; }

// A list of shared objects and the index of its active element, which follows the element.
template <class S, class P> struct KSM_ACTIVE_FIELD {
    std::vector<P> S::*list;
    int S::*active;
};
template <class S, class P> KSM_ACTIVE_FIELD<S, P> ksm_active(std::vector<P> S::*list, int S::*active)
{
    return {list, active};
}

// ---- values -----------------------------------------------------------------------------------

template <class T> void ksm_merge_value(T& cur, const T& from, const T& to)
{
    if (!(from == to))
        cur = to;
}

template <class T, size_t N> void ksm_merge_value(T (&cur)[N], const T (&from)[N], const T (&to)[N])
{
    for (size_t i = 0; i < N; ++i)
        ksm_merge_value(cur[i], from[i], to[i]);
}

template <class K, class V>
void ksm_merge_value(std::map<K, V>& cur, const std::map<K, V>& from, const std::map<K, V>& to)
{
    for (const auto& entry : from)
        if (!to.count(entry.first))
            cur.erase(entry.first);
    for (const auto& entry : to) {
        auto was = from.find(entry.first);
        if (was == from.end() || !(was->second == entry.second))
            cur[entry.first] = entry.second;
    }
}

// ---- lists of shared objects ----------------------------------------------------------------------

// The identity of a list element: the object itself; node rows name their own (ksm_state.h).
template <class T> uint64_t ksm_key_of(const std::shared_ptr<T>& element)
{
    return reinterpret_cast<uintptr_t>(element.get());
}

// An element present in all three lists: objects keep their own state, so there is nothing to
// merge; node rows merge field by field (ksm_state.h).
template <class T> void ksm_merge_element(std::shared_ptr<T>&, const std::shared_ptr<T>&, const std::shared_ptr<T>&) {}

// One element of a merged list: taken from the current list (`cur`) when it is there, else from
// `to`; `from` and `to` locate the same element in those lists (-1 for none).
struct KSM_MERGED_ITEM {
    int cur = -1;
    int from = -1;
    int to = -1;
};

// The order of a merged list, from the elements' keys.
std::vector<KSM_MERGED_ITEM> ksm_merge_order(const std::vector<uint64_t>& cur, const std::vector<uint64_t>& from,
                                             const std::vector<uint64_t>& to);

template <class T> std::vector<uint64_t> ksm_keys(const std::vector<std::shared_ptr<T>>& list)
{
    std::vector<uint64_t> keys;
    keys.reserve(list.size());
    for (const auto& element : list)
        keys.push_back(ksm_key_of(element));
    return keys;
}

// The unit changed elements of the list but not the list itself (the usual edit of a row):
// only those elements merge, wherever they are now.
template <class T>
bool ksm_merge_elements_only(std::vector<std::shared_ptr<T>>& cur, const std::vector<std::shared_ptr<T>>& from,
                             const std::vector<std::shared_ptr<T>>& to)
{
    if (from.size() != to.size())
        return false;
    std::unordered_map<uint64_t, size_t> changed;
    for (size_t i = 0; i < from.size(); ++i) {
        if (ksm_key_of(from[i]) != ksm_key_of(to[i]))
            return false;
        if (from[i] != to[i])
            changed.emplace(ksm_key_of(from[i]), i);
    }
    for (size_t i = 0; i < cur.size() && !changed.empty(); ++i) {
        auto it = changed.find(ksm_key_of(cur[i]));
        if (it != changed.end())
            ksm_merge_element(cur[i], from[it->second], to[it->second]);
    }
    return true;
}

template <class T>
void ksm_merge_value(std::vector<std::shared_ptr<T>>& cur, const std::vector<std::shared_ptr<T>>& from,
                     const std::vector<std::shared_ptr<T>>& to)
{
    if (from == to || ksm_merge_elements_only(cur, from, to))
        return;
    std::vector<std::shared_ptr<T>> merged;
    for (const KSM_MERGED_ITEM& item : ksm_merge_order(ksm_keys(cur), ksm_keys(from), ksm_keys(to))) {
        std::shared_ptr<T> element = item.cur >= 0 ? cur[item.cur] : to[item.to];
        if (item.cur >= 0 && item.from >= 0 && item.to >= 0)
            ksm_merge_element(element, from[item.from], to[item.to]);
        merged.push_back(std::move(element));
    }
    cur = std::move(merged);
}

// ---- fields and states ------------------------------------------------------------------------------

template <class S, class T> void ksm_merge_field(S& cur, const S& from, const S& to, T S::*member)
{
    ksm_merge_value(cur.*member, from.*member, to.*member);
}

template <class S, class T> void ksm_merge_field(S& cur, const S& from, const S& to, KSM_WHOLE_FIELD<S, T> field)
{
    if (!(from.*field.member == to.*field.member))
        cur.*field.member = to.*field.member;
}

template <class S, class P> void ksm_merge_field(S& cur, const S& from, const S& to, KSM_ACTIVE_FIELD<S, P> field)
{
    // The active element of a state, or none.
    auto active = [&field](const S& s, uint64_t* key) {
        const int index = s.*field.active;
        const auto& list = s.*field.list;
        const bool valid = index >= 0 && index < static_cast<int>(list.size());
        *key = valid ? ksm_key_of(list[index]) : 0;
        return valid;
    };
    uint64_t from_key, to_key, cur_key;
    const bool from_valid = active(from, &from_key), to_valid = active(to, &to_key);
    const bool cur_valid = active(cur, &cur_key);
    const int cur_index = cur.*field.active;
    ksm_merge_value(cur.*field.list, from.*field.list, to.*field.list);

    const bool unit_changed = from_valid != to_valid || from_key != to_key;
    const bool valid = unit_changed ? to_valid : cur_valid;
    const uint64_t key = unit_changed ? to_key : cur_key;
    const auto& list = cur.*field.list;
    if (!valid) {
        cur.*field.active = unit_changed ? to.*field.active : cur_index;
        return;
    }
    for (size_t i = 0; i < list.size(); ++i) {
        if (ksm_key_of(list[i]) == key) {
            cur.*field.active = static_cast<int>(i);
            return;
        }
    }
    cur.*field.active = std::min(cur_index, static_cast<int>(list.size()) - 1);  // the element is gone
}

template <class S> void ksm_merge(S& cur, const S& from, const S& to)
{
    std::apply([&](auto... field) { (ksm_merge_field(cur, from, to, field), ...); }, S::fields());
}
