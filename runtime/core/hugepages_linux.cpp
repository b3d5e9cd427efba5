#include "runtime/core/hugepages.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// To a multiple of `page`, a power of two.
constexpr std::uintptr_t roundDown(std::uintptr_t address, std::uintptr_t page) { return address & ~(page - 1); }
constexpr std::uintptr_t roundUp(std::uintptr_t address, std::uintptr_t page) { return roundDown(address + page - 1, page); }

} // namespace

void adviseHugePages(void *data, std::size_t size) noexcept
{
    const auto from = reinterpret_cast<std::uintptr_t>(data), to = from + size;
    const auto begin = roundUp(from, hugePageSize);
    const auto end = std::max(begin, roundDown(to, hugePageSize));
    if (begin < end)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#if defined(MADV_POPULATE_WRITE) // Linux 5.14; older kernels refuse it, and the pages fault as before
    // The small pages at either end are faulted in now, in one call each: touched one by one,
    // each costs a fault, about 11 µs apiece on a virtual machine, where the call takes 0.2 µs a
    // page. Only whole pages: the partial ones at the ends may be shared with other memory.
    static const auto pageSize = std::uintptr_t(::sysconf(_SC_PAGESIZE));
    const auto populate = [](std::uintptr_t first, std::uintptr_t last) {
        if (first < last)
            ::madvise(reinterpret_cast<void *>(first), last - first, MADV_POPULATE_WRITE);
    };
    const auto pagesFrom = roundUp(from, pageSize), pagesTo = roundDown(to, pageSize);
    populate(pagesFrom, std::min(begin, pagesTo));
    populate(std::max(end, pagesFrom), pagesTo);
#endif
}

namespace {

class HugePageMemory final : public std::pmr::memory_resource
{
    // Mapped on its own, not taken from malloc's heaps: in a heap, the advice for 2 MiB pages
    // outlived the block, and the small blocks later made there took whole 2 MiB pages (45 MB
    // more at the peak of ten loads and passes of 10 M decimals). Unmapped when freed.
    void *do_allocate(std::size_t bytes, std::size_t alignment) override
    {
        if (bytes > std::numeric_limits<std::size_t>::max() - 2 * hugePageSize || alignment > hugePageSize)
            throw std::bad_alloc(); // rounded up, it would wrap
        bytes = roundUp(bytes, hugePageSize);
        // One 2 MiB page more than needed, so that the block can begin on a page's boundary; the
        // rest is unmapped.
        const std::size_t mapped = bytes + hugePageSize;
        void *const memory = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED)
            throw std::bad_alloc();
        const auto from = reinterpret_cast<std::uintptr_t>(memory), to = from + mapped;
        const auto begin = roundUp(from, hugePageSize), end = begin + bytes;
        if (begin > from)
            ::munmap(memory, begin - from);
        if (to > end)
            ::munmap(reinterpret_cast<void *>(end), to - end);
        adviseHugePages(reinterpret_cast<void *>(begin), bytes);
        return reinterpret_cast<void *>(begin);
    }
    void do_deallocate(void *pages, std::size_t bytes, std::size_t) override { ::munmap(pages, roundUp(bytes, hugePageSize)); }
    [[nodiscard]] bool do_is_equal(const std::pmr::memory_resource &other) const noexcept override
    {
        return dynamic_cast<const HugePageMemory *>(&other) != nullptr;
    }
};

} // namespace

std::pmr::memory_resource *hugePageMemory() noexcept
{
    // Made once and never destroyed, like the thread pools: a cancelled pass that is still
    // running out when the program ends frees its blocks through it. In static storage, so that
    // making it cannot fail.
    alignas(HugePageMemory) static unsigned char storage[sizeof(HugePageMemory)];
    static auto *const memory = new (storage) HugePageMemory;
    return memory;
}
