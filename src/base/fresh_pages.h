// Memory about to be written for the first time, mapped in one system call
// instead of one page fault per page. On a virtual machine a fault can cost
// ten microseconds or more, so a few megabytes of fresh buffers (a figure's
// grids, a PNG's packed rows) cost tens of milliseconds page by page and a
// millisecond or two this way. A hint only: where the kernel cannot do it
// (before Linux 5.14), the pages fault in as they are touched.
#pragma once
#include <cstddef>
#include <memory>

// Maps every page of [start, start + bytes) writable, without writing to it.
void mapFreshPages(void* start, size_t bytes);

// An allocator that maps a large block's pages as it hands the block out:
// for vectors that grow by doubling and are then written end to end.
template <typename T>
struct FreshPagesAllocator {
    using value_type = T;
    // Blocks smaller than this usually come from memory the process has
    // touched before.
    static constexpr size_t kMinBytes = size_t(64) << 10;

    FreshPagesAllocator() = default;
    template <typename U>
    FreshPagesAllocator(const FreshPagesAllocator<U>&) noexcept
    {
    }
    T* allocate(size_t n)
    {
        T* p = std::allocator<T>().allocate(n);
        if (n * sizeof(T) >= kMinBytes)
            mapFreshPages(p, n * sizeof(T));
        return p;
    }
    void deallocate(T* p, size_t n) noexcept { std::allocator<T>().deallocate(p, n); }
    template <typename U>
    bool operator==(const FreshPagesAllocator<U>&) const noexcept
    {
        return true;
    }
    template <typename U>
    bool operator!=(const FreshPagesAllocator<U>&) const noexcept
    {
        return false;
    }
};
