// Memory for the large tables of the tree modes, in pages of 2 MiB where
// the kernel has them for the asking (transparent huge pages in "madvise"
// mode, as distributions set it). A million-row --diff touches about
// 150 MiB: in pages of 4 KiB that is some 40,000 page faults, which took
// half its time on a virtual machine; in huge pages, a few hundred.
#ifndef B64NUM_HUGE_PAGES_H
#define B64NUM_HUGE_PAGES_H

#include <cstddef>
#include <new>

// Allocations smaller than this come from the ordinary heap: small tables
// stay small, as the modes that read path-ordered rows in constant memory
// need.
constexpr std::size_t huge_allocation = std::size_t{4} << 20;

// `bytes` of memory, not zeroed, advised to the kernel as huge pages when
// there are at least huge_allocation of them; throws std::bad_alloc.
void* allocate_pages(std::size_t bytes);

// Gives back what allocate_pages(bytes) gave.
void free_pages(void* memory, std::size_t bytes) noexcept;

// An allocator for std::vector that takes its large arrays from
// allocate_pages.
template <typename T> struct HugePageAllocator {
    using value_type = T;
    HugePageAllocator() = default;
    template <typename U> explicit HugePageAllocator(const HugePageAllocator<U>& /*other*/) noexcept
    {
    }
    T* allocate(std::size_t count)
    {
        if (count > static_cast<std::size_t>(-1) / sizeof(T)) {
            throw std::bad_alloc();
        }
        return static_cast<T*>(allocate_pages(count * sizeof(T)));
    }
    void deallocate(T* memory, std::size_t count) noexcept
    {
        free_pages(memory, count * sizeof(T));
    }
    template <typename U> bool operator==(const HugePageAllocator<U>& /*other*/) const noexcept
    {
        return true;
    }
    template <typename U> bool operator!=(const HugePageAllocator<U>& /*other*/) const noexcept
    {
        return false;
    }
};

#endif
