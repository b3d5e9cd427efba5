#pragma once

#include <cstddef>
#include <memory_resource>

// Big buffers touched all over, like the list's text and line ends, spend much of their time on
// page faults and TLB misses with 4 KiB pages. This asks the kernel for 2 MiB pages instead;
// where transparent huge pages are off, nothing changes. Linux's calls are in
// hugepages_linux.cpp; elsewhere, and in the portable build, hugepages_portable.cpp asks for
// nothing and takes the memory from operator new.

inline constexpr std::size_t hugePageSize = std::size_t(2) << 20;

// A hint for the whole 2 MiB pages inside [data, data + size), and the small pages at either
// side of them faulted in at once; to be given before they are touched, for memory that will be.
void adviseHugePages(void *data, std::size_t size) noexcept;

// Memory in 2 MiB pages, rounded up to whole ones and mapped apart from malloc's heaps: the
// upstream of a std::pmr resource that takes big buffers and cuts them into blocks, like
// std::pmr::monotonic_buffer_resource, or for blocks of a quarter of a megabyte and more.
// Thread-safe.
[[nodiscard]] std::pmr::memory_resource *hugePageMemory() noexcept;
