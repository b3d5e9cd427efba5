#include "runtime/core/hugepages.h"

#include <cstdint>

#include <sys/mman.h>

void adviseHugePages(void *data, std::size_t size) noexcept
{
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + hugePageSize - 1) & ~(hugePageSize - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(hugePageSize - 1);
    if (begin < end)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
}
