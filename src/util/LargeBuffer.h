#pragma once
// Memory for buffers of many megabytes (a table's rows, its key hash), taken from the system in
// large pages where it offers them. A first touch of fresh memory then costs one fault per 2 MB
// instead of one per 4 KB, and lookups that jump about a big table miss the address cache far
// less. Smaller buffers come from the usual heap.

#include <cstddef>
#include <memory>
#include <vector>

namespace sivaro {

inline constexpr std::size_t kLargeBufferFrom = std::size_t{4} << 20;

// `bytes` of memory, at least kLargeBufferFrom; throws std::bad_alloc.
void* allocateLargeBuffer(std::size_t bytes);
// True where buffers are mapped on their own, starting on a large page's boundary.
bool largeBuffersMapped();
// Gives back what allocateLargeBuffer(bytes) gave.
void freeLargeBuffer(void* memory, std::size_t bytes) noexcept;

template <class T>
struct LargeBufferAllocator {
    using value_type = T;
    LargeBufferAllocator() = default;
    template <class U>
    LargeBufferAllocator(const LargeBufferAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::size_t(-1) / sizeof(T)) throw std::bad_array_new_length();
        if (n * sizeof(T) < kLargeBufferFrom) return std::allocator<T>().allocate(n);
        return static_cast<T*>(allocateLargeBuffer(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (n * sizeof(T) < kLargeBufferFrom) return std::allocator<T>().deallocate(p, n);
        freeLargeBuffer(p, n * sizeof(T));
    }
    template <class U>
    bool operator==(const LargeBufferAllocator<U>&) const noexcept {
        return true;
    }
};

template <class T>
using LargeVector = std::vector<T, LargeBufferAllocator<T>>;

}  // namespace sivaro
