// The huge pages of a block of sample planes made present ahead of the threads that fill it.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>

// Makes the huge pages of a block of planes present one at a time, each by one thread, a
// little ahead of the threads that write into the block. Threads that first write into one huge
// page at once each fault on it, and the system clears a huge page for each of them, keeping one:
// where several threads fill a block plane after plane, most of their time went to that. So no
// thread writes into a page another one is still making present: it makes a page ahead present
// meanwhile, or waits for it.
class KSM_PLANE_PAGES {
public:
    // A block in small pages (see ksm_plane_huge_page()) is left to its writes.
    KSM_PLANE_PAGES(void* block, size_t bytes);
    // Before writing `size` bytes at `offset` into the block: returns once the huge pages they
    // touch are present, and makes present the first of the huge pages from the one that holds
    // `offset` on, up to AHEAD of them, that no thread has taken, where it made none present
    // for the write itself.
    void before_writing(size_t offset, size_t size = 1);
    static constexpr size_t AHEAD = 3;
    // Makes present the first huge page that no thread has taken, up to AHEAD pages past those
    // written into so far: pages made present far ahead of their writes leave the caches before
    // them. While the threads are `idle` (no write has come yet, and until one comes they have
    // nothing else to do), any page: its clearing is then done before the writes' time, not in it.
    // False when there is none to take.
    bool take_next(bool idle = false) { return take_first(0, idle ? m_pages : std::min(m_pages, m_reached + AHEAD)); }

private:
    enum STATE { FREE, FILLING, PRESENT };
    bool take(size_t page);                   // makes the page present where no thread took it; false otherwise
    bool take_first(size_t from, size_t to);  // takes the first page of [from, to) no thread took
    void wait_present(size_t page);
    char* m_block;
    size_t m_bytes, m_huge, m_pages;
    std::unique_ptr<std::atomic<int>[]> m_state;
    // Threads waiting for a page sleep; each side checks the other's count after its own change.
    std::mutex m_mutex;
    std::condition_variable m_present;
    std::atomic<int> m_waiters{0};
    std::atomic<size_t> m_reached{0};  // the pages up to the last one written into
};
