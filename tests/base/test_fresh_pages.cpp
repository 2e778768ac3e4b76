// Mapping fresh pages is a hint: whatever range it is given, at any
// alignment, the bytes already there stay as they are, and vectors that
// allocate through it hold what was put in them.
#include "base/fresh_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

TEST(FreshPages, MappingKeepsEveryByte)
{
    std::vector<uint8_t> bytes(300000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    const std::vector<uint8_t> before = bytes;
    for (const size_t at : {size_t(0), size_t(1), size_t(4095), size_t(4097), size_t(123457)})
        mapFreshPages(bytes.data() + at, bytes.size() - at);
    mapFreshPages(bytes.data() + 17, 0);
    mapFreshPages(nullptr, 100);
    EXPECT_EQ(bytes, before);

    // Growing past the size from which blocks are mapped, and from the left.
    std::vector<uint64_t, FreshPagesAllocator<uint64_t>> cells;
    for (uint64_t k = 0; k < 40000; ++k)
        cells.push_back(k * k);
    cells.insert(cells.begin(), 20000, 5);
    ASSERT_EQ(cells.size(), 60000u);
    EXPECT_EQ(cells[19999], 5u);
    EXPECT_EQ(cells[20000 + 39999], uint64_t(39999) * 39999);
}
