#include "runtime/core/hugepages.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>

#include <sys/mman.h>

void adviseHugePages(void *data, std::size_t size) noexcept
{
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + hugePageSize - 1) & ~(hugePageSize - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(hugePageSize - 1);
    if (begin < end)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
}

namespace {

class HugePageMemory final : public std::pmr::memory_resource
{
    void *do_allocate(std::size_t bytes, std::size_t alignment) override
    {
        if (bytes > std::numeric_limits<std::size_t>::max() - hugePageSize)
            throw std::bad_alloc(); // rounded up, it would wrap
        bytes = (bytes + hugePageSize - 1) & ~(hugePageSize - 1);
        void *const pages = std::aligned_alloc(std::max(alignment, hugePageSize), bytes);
        if (!pages)
            throw std::bad_alloc();
        adviseHugePages(pages, bytes);
        return pages;
    }
    void do_deallocate(void *pages, std::size_t, std::size_t) override { std::free(pages); }
    [[nodiscard]] bool do_is_equal(const std::pmr::memory_resource &other) const noexcept override
    {
        return dynamic_cast<const HugePageMemory *>(&other) != nullptr;
    }
};

} // namespace

std::pmr::memory_resource *hugePageMemory() noexcept
{
    static HugePageMemory memory;
    return &memory;
}
