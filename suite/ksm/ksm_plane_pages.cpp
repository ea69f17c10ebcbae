// Huge pages of a block of sample planes made present ahead of the threads that fill it.
#include "ksm_plane_pages.h"

#include "ksm_state.h"

#include <sys/mman.h>

#include <algorithm>

KSM_PLANE_PAGES::KSM_PLANE_PAGES(void* block, size_t bytes)
    : m_block(static_cast<char*>(block)), m_bytes(bytes), m_huge(ksm_plane_huge_page(bytes)),
      m_pages(m_huge ? (bytes + m_huge - 1) / m_huge : 0), m_state(std::make_unique<std::atomic<int>[]>(m_pages))
{
    for (size_t k = 0; k < m_pages; ++k)
        m_state[k] = FREE;
}

bool KSM_PLANE_PAGES::take(size_t page)
{
    int free = FREE;
    if (m_state[page] != FREE || !m_state[page].compare_exchange_strong(free, FILLING))
        return false;
#ifdef MADV_POPULATE_WRITE
    // Writes nothing: a page present already stays as it is. Where the system cannot (before
    // Linux 5.14) or will not, the writes make the page present as before.
    ::madvise(m_block + page * m_huge, std::min(m_huge, m_bytes - page * m_huge), MADV_POPULATE_WRITE);
#endif
    m_state[page] = PRESENT;
    if (m_waiters > 0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_present.notify_all();
    }
    return true;
}

bool KSM_PLANE_PAGES::take_first(size_t from, size_t to)
{
    for (size_t page = from; page < to; ++page)
        if (take(page))
            return true;
    return false;
}

void KSM_PLANE_PAGES::wait_present(size_t page)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_waiters;
    m_present.wait(lock, [&] { return m_state[page] == PRESENT; });
    --m_waiters;
}

void KSM_PLANE_PAGES::before_writing(size_t offset, size_t size)
{
    if (offset >= m_bytes || m_pages == 0)
        return;
    const size_t first = offset / m_huge;
    const size_t end = std::min(m_pages, (offset + std::max<size_t>(size, 1) - 1) / m_huge + 1);
    const size_t ahead = std::min(m_pages, first + AHEAD);
    for (size_t reached = m_reached; reached < end && !m_reached.compare_exchange_weak(reached, end);) {
    }
    bool made = false;
    for (size_t page = first; page < end; ++page)
        made = take(page) || made;
    // A page another thread is making present: make one ahead present meanwhile, or wait.
    for (size_t page = first; page < end; ++page)
        while (m_state[page] != PRESENT)
            if (take_first(end, ahead))
                made = true;
            else
                wait_present(page);
    if (!made)
        take_first(first, ahead);
}
