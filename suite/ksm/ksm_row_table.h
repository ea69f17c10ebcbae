// The rows of a node list as one value that copies in constant time. The row pointers lie in
// arrays; a leaf is a stretch of at most 64 of one array, a branch holds at most 16 leaves, the
// root the branches. Copies share all of them until one copy changes; a change copies the root's
// few branch pointers, the branch it touches and, to change a row, its leaf's stretch. A change of
// shape cuts the leaves it touches into stretches of the same arrays and puts new arrays of the
// rows it adds between them, so that no row pointer is copied but the added ones and those of
// leaves too short to keep. So an edit costs the same whatever the list holds, while an undo
// unit keeps the rows it found. Reading a row finds its leaf through a guide of every 64th row
// and the leaves' first rows, plain numbers the root keeps: no search.
//
// The shape of the rows (their number, each one's depth and group flag) changes only through
// insert, erase, push_back and assign, which give the table a new shape stamp; a row replaced
// through edit() keeps its depth and group flag.
#pragma once

#include "ksm.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

class KSM_ROW_TABLE {
public:
    using ROW = KSM_TX_SIGNAL_NODES::ROW;
    using POINTER = std::shared_ptr<ROW>;

    KSM_ROW_TABLE();
    explicit KSM_ROW_TABLE(std::vector<POINTER> rows);

    size_t size() const { return m_root->starts.back(); }
    bool empty() const { return size() == 0; }
    const POINTER& operator[](size_t i) const
    {
        const ROOT& root = *m_root;
        const size_t leaf = root.leaf_of(i);
        return root.rows_of[leaf][i - root.starts[leaf]];
    }
    // The pointer at `i`, in a leaf of this table alone, to be replaced by a changed row.
    POINTER& edit(size_t i);

    void push_back(POINTER row);
    // Puts `rows` before row `at` (at the end for size()).
    void insert(size_t at, std::vector<POINTER> rows);
    // Takes out rows first..last - 1.
    void erase(size_t first, size_t last);
    void assign(std::vector<POINTER> rows);
    std::vector<POINTER> to_vector() const;

    // A number that differs from every other table's whenever the shapes may differ: a copy keeps it.
    uint64_t shape_stamp() const { return m_root->shape; }
    // The same row pointers in the same order.
    bool operator==(const KSM_ROW_TABLE& other) const;
    bool operator!=(const KSM_ROW_TABLE& other) const { return !(*this == other); }
    // Appends every row's outline (the rows are read on one thread at a time).
    void outline(std::vector<KSM_ROW_OUTLINE>* out) const;
    // The rows whose pointers differ from those of a table of the same size, found leaf by leaf
    // where both tables hold the same leaves (as a table and its copy do until a change of shape).
    std::vector<size_t> differing_rows(const KSM_ROW_TABLE& other) const;

    // Reads the rows in order, a leaf at a time.
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = POINTER;
        using difference_type = std::ptrdiff_t;
        using pointer = const POINTER*;
        using reference = const POINTER&;
        const_iterator(const KSM_ROW_TABLE* table, size_t leaf, size_t index)
            : m_table(table), m_leaf(leaf), m_index(index)
        {
        }
        reference operator*() const { return m_table->m_root->rows_of[m_leaf][m_index]; }
        pointer operator->() const { return &**this; }
        const_iterator& operator++()
        {
            const ROOT& root = *m_table->m_root;
            if (++m_index == root.starts[m_leaf + 1] - root.starts[m_leaf])
                ++m_leaf, m_index = 0;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const const_iterator& o) const { return m_leaf == o.m_leaf && m_index == o.m_index; }
        bool operator!=(const const_iterator& o) const { return !(*this == o); }

    private:
        const KSM_ROW_TABLE* m_table;
        size_t m_leaf;
        size_t m_index;
    };
    const_iterator begin() const { return const_iterator(this, 0, 0); }
    const_iterator end() const { return const_iterator(this, m_root->rows_of.size(), 0); }

private:
    static constexpr size_t GUIDE = 64;

    // Row pointers, and their outlines once they were asked for; an array of a leaf that is handed
    // out for a change drops them.
    struct ARRAY : std::vector<POINTER> {
        using std::vector<POINTER>::vector;
        mutable std::vector<KSM_ROW_OUTLINE> outline;
    };
    struct LEAF {
        std::shared_ptr<ARRAY> array;
        POINTER* first = nullptr;  // in the array
        size_t count = 0;          // 1 to 64
    };
    struct BRANCH {
        std::vector<LEAF> leaves;  // 1 to 16
    };
    struct ROOT {
        std::vector<std::shared_ptr<BRANCH>> branches;
        // Every leaf in order, found from a row: worked out again from the first changed branch on
        // after every change of shape.
        std::vector<POINTER*> rows_of;        // per leaf, its first row
        std::vector<uint32_t> branch_of;      // per leaf, its branch
        std::vector<uint32_t> first_leaf{0};  // per branch, its first leaf, then the number of leaves
        std::vector<size_t> starts{0};        // per leaf, the row it starts at, then the number of rows
        std::vector<uint32_t> guide;          // per 64 rows, the leaf that holds the first of them
        uint64_t shape = 0;

        size_t leaf_of(size_t row) const
        {
            size_t leaf = guide[row / GUIDE];
            while (starts[leaf + 1] <= row)
                ++leaf;
            return leaf;
        }
    };

    ROOT& own_root();
    POINTER* own_leaf(ROOT& root, size_t leaf);
    void replace(size_t first, size_t last, std::vector<POINTER> rows);
    static std::vector<LEAF> leaves_of(std::vector<POINTER>& rows);
    static void index_from(ROOT& root, size_t branch);

    std::shared_ptr<ROOT> m_root;
};
