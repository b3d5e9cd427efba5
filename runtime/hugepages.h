#pragma once

#include <cstddef>
#include <new>

// Big tables and buffers touched all over, like the mode's hash table of millions of values,
// spend much of their time on page faults and TLB misses with 4 KiB pages. These ask the kernel
// for 2 MiB pages instead; where transparent huge pages are off, nothing changes.

inline constexpr std::size_t hugePageSize = std::size_t(2) << 20;

// A hint for the whole 2 MiB pages inside [data, data + size); to be given before they are touched.
void adviseHugePages(void *data, std::size_t size) noexcept;

// Allocates blocks of a huge page or more aligned to one and advised, smaller ones as usual.
template<typename T>
struct HugePageAllocator
{
    using value_type = T;

    HugePageAllocator() = default;
    template<typename U>
    HugePageAllocator(const HugePageAllocator<U> &) noexcept { }

    T *allocate(std::size_t count)
    {
        const std::size_t bytes = count * sizeof(T);
        if (bytes < hugePageSize)
            return static_cast<T *>(::operator new(bytes));
        void *const block = ::operator new(bytes, std::align_val_t(hugePageSize));
        adviseHugePages(block, bytes);
        return static_cast<T *>(block);
    }

    void deallocate(T *block, std::size_t count) noexcept
    {
        const std::size_t bytes = count * sizeof(T);
        if (bytes < hugePageSize)
            ::operator delete(block);
        else
            ::operator delete(block, std::align_val_t(hugePageSize));
    }

    template<typename U>
    bool operator==(const HugePageAllocator<U> &) const noexcept { return true; }
};
