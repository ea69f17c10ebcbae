#include "ksm_row_table.h"

#include "ksm_state.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <utility>

namespace {

constexpr size_t MOST = 64;         // rows in a leaf
constexpr size_t LEAST = 16;        // rows below which a leaf is joined with a neighbour
constexpr size_t BRANCH_MOST = 16;  // leaves in a branch
constexpr size_t BRANCH_LEAST = 4;  // leaves below which changed branches take in a neighbour

uint64_t new_shape()
{
    static std::atomic<uint64_t> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

// Appends items first..last - 1 of `items` to `out`, or puts them in front.
template <class ITEM>
void take(const std::vector<ITEM>& items, size_t first, size_t last, std::vector<ITEM>* out, bool in_front = false)
{
    out->insert(in_front ? out->begin() : out->end(), items.begin() + long(first), items.begin() + long(last));
}

}  // namespace

KSM_ROW_TABLE::KSM_ROW_TABLE()
{
    static const std::shared_ptr<ROOT> empty = std::make_shared<ROOT>();
    m_root = empty;
}

KSM_ROW_TABLE::KSM_ROW_TABLE(std::vector<POINTER> rows) : KSM_ROW_TABLE() { assign(std::move(rows)); }

// The root, no longer shared with another table.
KSM_ROW_TABLE::ROOT& KSM_ROW_TABLE::own_root()
{
    if (m_root.use_count() > 1)
        m_root = std::make_shared<ROOT>(*m_root);
    return *m_root;
}

// The first row of leaf `leaf` of this table's own root, in an array that leaf alone holds, in
// a branch this table alone holds.
KSM_ROW_TABLE::POINTER* KSM_ROW_TABLE::own_leaf(ROOT& root, size_t leaf)
{
    const size_t b = root.branch_of[leaf];
    std::shared_ptr<BRANCH>& branch = root.branches[b];
    if (branch.use_count() > 1)
        branch = std::make_shared<BRANCH>(*branch);
    LEAF& held = branch->leaves[leaf - root.first_leaf[b]];
    if (held.array.use_count() > 1) {
        held.array = std::make_shared<ARRAY>(held.first, held.first + held.count);
        held.first = held.array->data();
        root.rows_of[leaf] = held.first;
    }
    held.array->outline.clear();
    return root.rows_of[leaf];
}

KSM_ROW_TABLE::POINTER& KSM_ROW_TABLE::edit(size_t i)
{
    ROOT& root = own_root();
    const size_t leaf = root.leaf_of(i);
    return own_leaf(root, leaf)[i - root.starts[leaf]];
}

// New arrays of the rows, as few leaves of even size as hold them.
std::vector<KSM_ROW_TABLE::LEAF> KSM_ROW_TABLE::leaves_of(std::vector<POINTER>& rows)
{
    std::vector<LEAF> leaves((rows.size() + MOST - 1) / MOST);
    for (size_t k = 0, at = 0; k < leaves.size(); ++k) {
        const size_t count = (rows.size() - at) / (leaves.size() - k);
        const auto first = std::make_move_iterator(rows.begin() + long(at));
        auto array = std::make_shared<ARRAY>(first, first + long(count));
        leaves[k] = LEAF{array, array->data(), count};
        at += count;
    }
    return leaves;
}

// The leaves, their branches, first rows and the guide again from branch `branch` on; the
// branches before it are as they were.
void KSM_ROW_TABLE::index_from(ROOT& root, size_t branch)
{
    size_t leaves = root.first_leaf[branch];
    root.first_leaf.resize(root.branches.size() + 1);
    for (size_t b = branch; b < root.branches.size(); ++b)
        root.first_leaf[b + 1] = uint32_t(leaves += root.branches[b]->leaves.size());
    const size_t first = root.first_leaf[branch];
    root.rows_of.resize(leaves);
    root.branch_of.resize(leaves);
    root.starts.resize(leaves + 1);
    POINTER** rows_of = root.rows_of.data();
    uint32_t* branch_of = root.branch_of.data();
    size_t* starts = root.starts.data();
    size_t start = starts[first];
    for (size_t b = branch, k = first; b < root.branches.size(); ++b)
        for (const LEAF& leaf : root.branches[b]->leaves) {
            rows_of[k] = leaf.first;
            branch_of[k] = uint32_t(b);
            starts[++k] = start += leaf.count;
        }
    root.guide.resize((start + GUIDE - 1) / GUIDE);
    uint32_t* guide = root.guide.data();
    for (size_t k = first; k < leaves; ++k)
        for (size_t g = (starts[k] + GUIDE - 1) / GUIDE; g * GUIDE < starts[k + 1]; ++g)
            guide[g] = uint32_t(k);
    root.shape = new_shape();
}

// A row goes at the end of the last leaf, or of a new one when that is full: no row pointer is
// copied but those of a last leaf shared with another table.
void KSM_ROW_TABLE::push_back(POINTER row)
{
    ROOT& root = own_root();
    const size_t rows = size();
    if (root.rows_of.empty() || rows - root.starts[root.rows_of.size() - 1] >= MOST) {
        if (root.branches.empty() || root.branches.back()->leaves.size() >= BRANCH_MOST) {
            root.branches.push_back(std::make_shared<BRANCH>());
            root.first_leaf.push_back(root.first_leaf.back());
        } else if (root.branches.back().use_count() > 1) {
            root.branches.back() = std::make_shared<BRANCH>(*root.branches.back());
        }
        auto array = std::make_shared<ARRAY>();
        array->reserve(MOST);
        root.branches.back()->leaves.push_back({array, array->data(), 0});
        root.rows_of.push_back(array->data());
        root.branch_of.push_back(uint32_t(root.branches.size() - 1));
        ++root.first_leaf.back();
        root.starts.push_back(rows);
    }
    const size_t leaf = root.rows_of.size() - 1;
    own_leaf(root, leaf);
    LEAF& last = root.branches.back()->leaves.back();
    const size_t offset = size_t(last.first - last.array->data());
    last.array->resize(offset + last.count);  // the leaf's own array may hold rows taken out after it
    last.array->push_back(std::move(row));
    ++last.count;
    last.first = root.rows_of[leaf] = last.array->data() + offset;
    root.starts.back() = rows + 1;
    if (rows % GUIDE == 0)
        root.guide.push_back(uint32_t(leaf));
    root.shape = new_shape();
}

// Rows first..last - 1 become `rows`: the leaves that held the rows around them keep what is
// left of their stretches, the rows come in new arrays between them, and a stretch too short
// to keep is joined with a neighbour; the branches that held those leaves are made again the
// same way.
void KSM_ROW_TABLE::replace(size_t first, size_t last, std::vector<POINTER> rows)
{
    ROOT& root = own_root();
    if (root.rows_of.empty()) {
        assign(std::move(rows));
        return;
    }
    // The leaf that holds row i; the last one for the end of the rows.
    const auto leaf_at = [&root](size_t i) {
        return size_t(std::upper_bound(root.starts.begin() + 1, root.starts.end() - 1, i) - root.starts.begin() - 1);
    };
    const auto leaf = [&root](size_t k) -> const LEAF& {
        return root.branches[root.branch_of[k]]->leaves[k - root.first_leaf[root.branch_of[k]]];
    };
    size_t from = leaf_at(first), to = last > first ? leaf_at(last - 1) : from;
    std::vector<LEAF> pieces;
    if (first > root.starts[from])
        pieces.push_back({leaf(from).array, leaf(from).first, first - root.starts[from]});
    for (LEAF& added : leaves_of(rows))
        pieces.push_back(std::move(added));
    if (last < root.starts[to + 1])
        pieces.push_back({leaf(to).array, leaf(to).first + (last - root.starts[to]), root.starts[to + 1] - last});
    const auto count = [&pieces] {
        size_t rows = 0;
        for (const LEAF& piece : pieces)
            rows += piece.count;
        return rows;
    };
    if (count() < LEAST && to + 1 < root.rows_of.size())
        pieces.push_back(leaf(++to));
    else if (count() < LEAST && from > 0)
        pieces.insert(pieces.begin(), leaf(--from));
    // Neighbours are joined where one is too short to keep, or both are short enough to share one
    // leaf; the rows of a join go to a new array, or two where they are more than a leaf holds.
    for (size_t i = 0; i + 1 < pieces.size();) {
        const size_t joined = pieces[i].count + pieces[i + 1].count;
        const bool short_pair = joined <= MOST && std::min(pieces[i].count, pieces[i + 1].count) < MOST / 2;
        if (!short_pair && pieces[i].count >= LEAST && pieces[i + 1].count >= LEAST) {
            ++i;
            continue;
        }
        ARRAY both(pieces[i].first, pieces[i].first + pieces[i].count);
        both.insert(both.end(), pieces[i + 1].first, pieces[i + 1].first + pieces[i + 1].count);
        std::vector<LEAF> made = leaves_of(both);
        pieces.erase(pieces.begin() + long(i), pieces.begin() + long(i + 2));
        pieces.insert(pieces.begin() + long(i), made.begin(), made.end());
        i += made.size() > 1 ? 1 : 0;
    }

    size_t before = root.branch_of[from], after = root.branch_of[to];
    const std::vector<LEAF>& front = root.branches[before]->leaves;
    const std::vector<LEAF>& back = root.branches[after]->leaves;
    take(front, 0, from - root.first_leaf[before], &pieces, true);
    take(back, to + 1 - root.first_leaf[after], back.size(), &pieces);
    if (pieces.size() < BRANCH_LEAST && after + 1 < root.branches.size())
        ++after, take(root.branches[after]->leaves, 0, root.branches[after]->leaves.size(), &pieces);
    else if (pieces.size() < BRANCH_LEAST && before > 0)
        --before, take(root.branches[before]->leaves, 0, root.branches[before]->leaves.size(), &pieces, true);
    std::vector<std::shared_ptr<BRANCH>> made((pieces.size() + BRANCH_MOST - 1) / BRANCH_MOST);
    for (size_t k = 0, at = 0; k < made.size(); ++k) {
        const size_t size = (pieces.size() - at) / (made.size() - k);
        made[k] = std::make_shared<BRANCH>();
        made[k]->leaves.assign(pieces.begin() + long(at), pieces.begin() + long(at + size));
        at += size;
    }
    root.branches.erase(root.branches.begin() + long(before), root.branches.begin() + long(after + 1));
    root.branches.insert(root.branches.begin() + long(before), made.begin(), made.end());
    index_from(root, before);
}

void KSM_ROW_TABLE::insert(size_t at, std::vector<POINTER> rows)
{
    if (!rows.empty())
        replace(at, at, std::move(rows));
}

void KSM_ROW_TABLE::erase(size_t first, size_t last)
{
    if (first < last)
        replace(first, last, {});
}

void KSM_ROW_TABLE::assign(std::vector<POINTER> rows)
{
    std::vector<LEAF> leaves = leaves_of(rows);
    auto root = std::make_shared<ROOT>();
    for (size_t at = 0, count = (leaves.size() + BRANCH_MOST - 1) / BRANCH_MOST, k = 0; k < count; ++k) {
        const size_t size = (leaves.size() - at) / (count - k);
        root->branches.push_back(std::make_shared<BRANCH>());
        root->branches.back()->leaves.assign(leaves.begin() + long(at), leaves.begin() + long(at + size));
        at += size;
    }
    index_from(*root, 0);
    m_root = std::move(root);
}

std::vector<KSM_ROW_TABLE::POINTER> KSM_ROW_TABLE::to_vector() const { return std::vector<POINTER>(begin(), end()); }

void KSM_ROW_TABLE::outline(std::vector<KSM_ROW_OUTLINE>* out) const
{
    out->reserve(out->size() + size());
    for (const std::shared_ptr<BRANCH>& branch : m_root->branches)
        for (const LEAF& leaf : branch->leaves) {
            const ARRAY& array = *leaf.array;
            if (array.outline.size() != array.size()) {
                array.outline.resize(array.size());
                for (size_t k = 0; k < array.size(); ++k) {
                    const ROW& r = *array[k];
                    array.outline[k] = {uint16_t(r.depth), r.group, r.expanded, uint8_t(r.use)};
                }
            }
            const auto first = array.outline.begin() + (leaf.first - array.data());
            out->insert(out->end(), first, first + long(leaf.count));
        }
}

std::vector<size_t> KSM_ROW_TABLE::differing_rows(const KSM_ROW_TABLE& other) const
{
    std::vector<size_t> rows;
    const ROOT &a = *m_root, &b = *other.m_root;
    if (&a == &b)
        return rows;
    if (a.starts != b.starts) {
        size_t i = 0;
        for (auto x = begin(), y = other.begin(); x != end(); ++x, ++y, ++i)
            if (*x != *y)
                rows.push_back(i);
        return rows;
    }
    for (size_t leaf = 0; leaf < a.rows_of.size(); ++leaf)
        for (size_t k = 0; a.rows_of[leaf] != b.rows_of[leaf] && k < a.starts[leaf + 1] - a.starts[leaf]; ++k)
            if (a.rows_of[leaf][k] != b.rows_of[leaf][k])
                rows.push_back(a.starts[leaf] + k);
    return rows;
}

bool KSM_ROW_TABLE::operator==(const KSM_ROW_TABLE& other) const
{
    return size() == other.size() && differing_rows(other).empty();
}
