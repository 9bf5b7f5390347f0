#include "huge_pages.h"

#include <sys/mman.h>

#include <cstdlib>

namespace {

constexpr std::size_t huge_page = std::size_t{2} << 20;

std::size_t mapped_size(std::size_t bytes)
{
    return (bytes + huge_page - 1) / huge_page * huge_page;
}

} // namespace

void* allocate_pages(std::size_t bytes)
{
    if (bytes < huge_allocation) {
        void* const memory = std::malloc(bytes == 0 ? 1 : bytes);
        if (memory == nullptr) {
            throw std::bad_alloc();
        }
        return memory;
    }
    if (bytes > static_cast<std::size_t>(-1) - huge_page) {
        throw std::bad_alloc();
    }
    const std::size_t size = mapped_size(bytes);
    constexpr int protection = PROT_READ | PROT_WRITE;
    constexpr int flags = MAP_PRIVATE | MAP_ANONYMOUS;
    // An anonymous mapping takes -1 for its file, as POSIX asks.
    // cppcheck-suppress invalidFunctionArg
    void* const memory = mmap(nullptr, size, protection, flags, -1, 0);
    if (memory == MAP_FAILED) {
        throw std::bad_alloc();
    }
    // Only advice: where the kernel has no huge pages, the memory still
    // serves in small ones.
    (void)madvise(memory, size, MADV_HUGEPAGE);
    return memory;
}

void free_pages(void* memory, std::size_t bytes) noexcept
{
    if (bytes < huge_allocation) {
        std::free(memory);
    } else {
        (void)munmap(memory, mapped_size(bytes));
    }
}
