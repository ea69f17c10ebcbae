// The huge pages of a block of sample planes made present ahead of the threads that fill it.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

// Makes the huge pages of a block of planes present one at a time, each by one thread, a
// little ahead of the threads that write into the block. Threads that first write into one huge
// page at once each fault on it, and the system may clear a huge page for each of them: where
// several threads fill a block plane after plane, most of their time went to that.
class KSM_PLANE_PAGES {
public:
    // A block in small pages (see ksm_plane_huge_page()) is left to its writes.
    KSM_PLANE_PAGES(void* block, size_t bytes);
    // Before a write at `offset` into the block: makes present the first of the huge pages from
    // the one that holds `offset` on, up to AHEAD of them, that no thread has made present.
    void before_writing(size_t offset);
    static constexpr size_t AHEAD = 3;

private:
    char* m_block;
    size_t m_bytes, m_huge, m_pages;
    std::unique_ptr<std::atomic<bool>[]> m_taken;  // by the thread that makes the page present
};
