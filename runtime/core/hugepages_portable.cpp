#include "runtime/core/hugepages.h"

// Standard C++ has no way to ask for large pages: the memory is the same without them, only
// slower to fault in.

void adviseHugePages(void *, std::size_t) noexcept { }

std::pmr::memory_resource *hugePageMemory() noexcept
{
    // The aligned operator new, which honours any alignment asked for, and throws std::bad_alloc
    // when it cannot allocate.
    return std::pmr::new_delete_resource();
}
