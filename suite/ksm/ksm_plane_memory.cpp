// Memory for sample planes. Opening a large capture writes hundreds of megabytes of fresh memory,
// and in pages of 4 KB most of that time goes to the faults that map them; where the system
// offers transparent huge pages, a block of planes starts at a multiple of their size (2 MB) and,
// where the system gives them only to memory advised so, is advised for them: each fault then
// maps a huge page. Where it gives them to all memory the block is not advised, as advice there
// would only ask the system to work harder for them at the fault (compacting memory, as its
// defrag setting tells). Where the system offers none (the setting "never", no such setting), or
// gives small pages all the same (no huge page free, the advice refused), the planes take small
// pages as before: nothing else changes.
#include "ksm_state.h"

#include <sys/mman.h>
#include <unistd.h>

#include <fstream>
#include <new>
#include <sstream>

namespace {

std::string read_text(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

size_t small_page() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }

const KSM_HUGE_PAGES& huge_pages()
{
    static const KSM_HUGE_PAGES pages = ksm_huge_pages("");
    return pages;
}

bool in_huge_pages(size_t bytes) { return huge_pages().size && bytes >= huge_pages().size; }

size_t in_small_pages(size_t bytes) { return (bytes + small_page() - 1) / small_page() * small_page(); }

// A block starting at a multiple of the huge page size: mapped with a huge page's room to spare,
// which is then given back before and after it.
void* map_aligned(size_t bytes, const KSM_HUGE_PAGES& huge)
{
    const size_t size = in_small_pages(bytes), room = size + huge.size - small_page();
    void* mapped = ::mmap(nullptr, room, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto from = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t start = (from + huge.size - 1) & ~(huge.size - 1), end = start + size;
    if (start > from)
        ::munmap(mapped, start - from);
    if (from + room > end)
        ::munmap(reinterpret_cast<void*>(end), from + room - end);
    if (huge.advised)
        ::madvise(reinterpret_cast<void*>(start), size, MADV_HUGEPAGE);  // refused: small pages then
    return reinterpret_cast<void*>(start);
}

}  // namespace

KSM_HUGE_PAGES ksm_huge_pages(const std::string& root)
{
    const std::string folder = root + "/sys/kernel/mm/transparent_hugepage/";
    const std::string setting = read_text(folder + "enabled");
    KSM_HUGE_PAGES pages;
    pages.advised = setting.find("[madvise]") != std::string::npos;
    if (!pages.advised && setting.find("[always]") == std::string::npos)
        return pages;
    std::istringstream size_text(read_text(folder + "hpage_pmd_size"));
    size_t size = 0;
    // A size that is no power of two or no multiple of a small page is no page size.
    if (size_text >> size && size > small_page() && (size & (size - 1)) == 0)
        pages.size = size;
    return pages;
}

void* ksm_allocate_planes(size_t bytes)
{
    return in_huge_pages(bytes) ? map_aligned(bytes, huge_pages()) : ::operator new(bytes);
}

void ksm_free_planes(void* at, size_t bytes)
{
    if (in_huge_pages(bytes))
        ::munmap(at, in_small_pages(bytes));
    else
        ::operator delete(at);
}

size_t ksm_plane_memory(size_t bytes) { return in_huge_pages(bytes) ? in_small_pages(bytes) : bytes; }

size_t ksm_plane_huge_page(size_t bytes) { return in_huge_pages(bytes) ? huge_pages().size : 0; }

size_t ksm_huge_page_size() { return huge_pages().size; }
