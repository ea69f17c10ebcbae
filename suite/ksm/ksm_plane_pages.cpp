// Huge pages of a block of sample planes made present ahead of the threads that fill it.
#include "ksm_plane_pages.h"

#include "ksm_state.h"

#include <sys/mman.h>

#include <algorithm>

KSM_PLANE_PAGES::KSM_PLANE_PAGES(void* block, size_t bytes)
    : m_block(static_cast<char*>(block)), m_bytes(bytes), m_huge(ksm_plane_huge_page(bytes)),
      m_pages(m_huge ? (bytes + m_huge - 1) / m_huge : 0), m_taken(std::make_unique<std::atomic<bool>[]>(m_pages))
{
    for (size_t k = 0; k < m_pages; ++k)
        m_taken[k] = false;
}

void KSM_PLANE_PAGES::before_writing(size_t offset)
{
    if (offset >= m_bytes)
        return;
    const size_t page = offset / std::max<size_t>(m_huge, 1);
    for (size_t k = page; k < std::min(m_pages, page + AHEAD); ++k) {
        if (!m_taken[k].exchange(true)) {
            // Writes nothing: a page present already stays as it is. Where the system cannot
            // (before Linux 5.14), the writes make the page present as before.
#ifdef MADV_POPULATE_WRITE
            ::madvise(m_block + k * m_huge, std::min(m_huge, m_bytes - k * m_huge), MADV_POPULATE_WRITE);
#endif
            return;
        }
    }
}
