// Page memory of the platform layer: reservations, commits, purges and moves.
#include <commonvcqx/platform/internal/VirtualMemory.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

namespace platform = cvq::platform;

bool FilledWith(const char* p, size_t size, char value) {
    for (size_t i = 0; i < size; ++i)
        if (p[i] != value) return false;
    return true;
}

}  // namespace

TEST(VirtualMemoryTest, PagesKeepTheirStateThroughCommitPurgeAndMove) {
    size_t page = platform::PageSize();
    size_t size = platform::kAllocationGranularity;
    char* region = static_cast<char*>(platform::ReserveRegion(size));
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(region) % platform::kAllocationGranularity, 0u);
    ASSERT_TRUE(platform::CommitPages(region, 4 * page));
    std::memset(region, 'a', 4 * page);

    // A purge gives the middle pages' memory back; they stay usable and read as zero.
    platform::PurgePages(region + page, 2 * page);
    EXPECT_TRUE(FilledWith(region, page, 'a'));
    EXPECT_TRUE(FilledWith(region + page, 2 * page, '\0'));
    EXPECT_TRUE(FilledWith(region + 3 * page, page, 'a'));
    region[page] = 'b';

    // Moved pages keep their content at the new place.
    char* other = static_cast<char*>(platform::ReserveRegion(size));
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(platform::MovePages(region, 4 * page, other));
    EXPECT_EQ(other[page], 'b');
    EXPECT_TRUE(FilledWith(other + 3 * page, page, 'a'));

    // Decommitted pages read as zero once committed again.
    platform::DecommitPages(other, page);
    ASSERT_TRUE(platform::CommitPages(other, page));
    EXPECT_TRUE(FilledWith(other, page, '\0'));
    platform::ReleaseRegion(other, size);
    platform::ReleaseRegion(region, size);
}
