// Buffers of many megabytes, from the large pages where the system has them.

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>

#include "util/LargeBuffer.h"

namespace sivaro {
namespace {

// Below, at and past the size from which buffers are mapped on their own, a vector keeps what it
// holds across growth, starts zeroed, and a mapped buffer starts on a large page's boundary.
TEST(LargeBuffer, VectorsOfEverySizeHoldTheirBytesAcrossGrowth) {
    const std::size_t sizes[] = {1, kLargeBufferFrom - 1, kLargeBufferFrom,
                                 3 * kLargeBufferFrom + 5};
    for (const std::size_t size : sizes) {
        SCOPED_TRACE(size);
        LargeVector<std::uint8_t> bytes(size);
        EXPECT_EQ(std::accumulate(bytes.begin(), bytes.end(), std::uint64_t{0}), 0u);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
        bytes.resize(2 * size + 1);  // moved into a larger buffer
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < size; ++i)
            wrong += bytes[i] != static_cast<std::uint8_t>(i * 7);
        EXPECT_EQ(wrong, 0u);
        EXPECT_EQ(bytes.back(), 0);
    }
}

TEST(LargeBuffer, AMappedBufferStartsOnALargePage) {
    LargeVector<std::uint32_t> words(kLargeBufferFrom / 4);
    words.back() = 7;
    if (largeBuffersMapped()) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(words.data()) % (std::uintptr_t{2} << 20), 0u);
    }
    EXPECT_EQ(words.back(), 7u);
}

TEST(LargeBuffer, ASizeNoMemoryCanHoldIsRefused) {
    LargeBufferAllocator<std::uint64_t> allocator;
    EXPECT_THROW(allocator.allocate(std::size_t(-1) / 4), std::bad_alloc);
    EXPECT_THROW(allocateLargeBuffer(std::size_t(-1) - 1), std::bad_alloc);
}

}  // namespace
}  // namespace sivaro
