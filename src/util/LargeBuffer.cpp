#include "util/LargeBuffer.h"

#include <new>

// Under the address sanitizer the usual heap, so that it still sees every overrun of a row.
#if defined(__SANITIZE_ADDRESS__)
#define SIVARO_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SIVARO_SANITIZED 1
#endif
#endif
#if defined(__linux__) && !defined(SIVARO_SANITIZED)
#define SIVARO_LARGE_PAGES 1
#endif

#if SIVARO_LARGE_PAGES
#include <sys/mman.h>

#include <cstdint>
#endif

namespace sivaro {

#if SIVARO_LARGE_PAGES

bool largeBuffersMapped() {
    return true;
}

namespace {

constexpr std::size_t kLargePage = std::size_t{2} << 20;

std::size_t roundedUp(std::size_t bytes) {
    return (bytes + kLargePage - 1) & ~(kLargePage - 1);
}

}  // namespace

void* allocateLargeBuffer(std::size_t bytes) {
    if (bytes > std::size_t(-1) - 2 * kLargePage) throw std::bad_alloc();
    const std::size_t size = roundedUp(bytes);
    // Mapped with a large page's worth to spare, so that the buffer can start on a large page's
    // boundary; the spare ends are given back at once.
    const std::size_t mapped = size + kLargePage;
    void* area =
        ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(area);
    const std::uintptr_t aligned = (start + kLargePage - 1) & ~std::uintptr_t(kLargePage - 1);
    if (aligned > start) ::munmap(area, aligned - start);
    const std::uintptr_t end = start + mapped;
    if (end > aligned + size)
        ::munmap(reinterpret_cast<void*>(aligned + size), end - aligned - size);
    // Only advice: where the system keeps large pages off, the buffer works in small ones.
    ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void freeLargeBuffer(void* memory, std::size_t bytes) noexcept {
    if (memory) ::munmap(memory, roundedUp(bytes));
}

#else

bool largeBuffersMapped() {
    return false;
}

void* allocateLargeBuffer(std::size_t bytes) {
    // The sanitizer stops the program on a size no memory can hold instead of throwing.
    if (bytes > std::size_t(-1) / 2) throw std::bad_alloc();
    return ::operator new(bytes);
}

void freeLargeBuffer(void* memory, std::size_t) noexcept {
    ::operator delete(memory);
}

#endif

}  // namespace sivaro
