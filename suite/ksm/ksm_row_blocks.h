// Node rows made in blocks of one huge page, for the thousands of rows an open reads at once.
#pragma once

#include "ksm_state.h"

#include <cstddef>
#include <memory>
#include <new>

// Makes the rows of one open. Rows made one by one each take memory of their own from the heap,
// and the heap's fresh pages (4 KB) each cost the open a fault: on a virtual machine a thousand
// rows spent more than a millisecond on them. Past the first rows, where the system offers huge
// pages, rows are made in blocks of one huge page, one fault each. A block is freed once every
// row made in it is gone, whichever thread lets go of the last one; a row made here is shared
// and copied as any other.
class KSM_ROW_BLOCKS {
public:
    using ROW = KSM_TX_SIGNAL_NODES::ROW;
    // Rows made one by one before blocks are used: a small session takes no huge page.
    static constexpr size_t ROWS_ALONE = 128;
    std::shared_ptr<ROW> make();

private:
    struct BLOCK {
        explicit BLOCK(size_t bytes);
        ~BLOCK();
        BLOCK(const BLOCK&) = delete;
        BLOCK& operator=(const BLOCK&) = delete;
        char* at;
        size_t size, used = 0;
    };
    // Hands out a block's memory in order; each row holds a copy, and so its block.
    template <class T> struct ALLOCATOR {
        using value_type = T;
        std::shared_ptr<BLOCK> block;
        explicit ALLOCATOR(std::shared_ptr<BLOCK> b) : block(std::move(b)) {}
        template <class U> ALLOCATOR(const ALLOCATOR<U>& other) noexcept : block(other.block) {}
        T* allocate(size_t n)
        {
            const size_t start = (block->used + alignof(T) - 1) / alignof(T) * alignof(T);
            if (n != 1 || start + sizeof(T) > block->size)
                throw std::bad_alloc();
            block->used = start + sizeof(T);
            return reinterpret_cast<T*>(block->at + start);
        }
        void deallocate(T*, size_t) noexcept {}  // the block goes with its last row
        template <class U> bool operator==(const ALLOCATOR<U>& o) const { return block == o.block; }
        template <class U> bool operator!=(const ALLOCATOR<U>& o) const { return block != o.block; }
    };
    // Room for one more row with the count and allocator that share it.
    static constexpr size_t ROW_ROOM = sizeof(ROW) + 64 + sizeof(ALLOCATOR<ROW>);
    size_t m_made = 0;
    std::shared_ptr<BLOCK> m_block;
};
