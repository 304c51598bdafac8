// Page-aligned blocks, direct pages and growable reserved regions, with failing
// reservations and commits.
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/memory/PageMemory.h>
#include <commonvcqx/memory/internal/PageRegions.h>
#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/platform/internal/VirtualMemory.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

using cvq::platform::DisarmFailures;
using cvq::platform::EFailureSeam;
using cvq::platform::FailNthOperation;

int standardCalls = 0;
void StandardHandler() {
    ++standardCalls;
}

struct TFailureScope {
    ~TFailureScope() {
        DisarmFailures();
        std::set_new_handler(nullptr);
    }
};

bool PageAligned(const void* p) {
    return reinterpret_cast<uintptr_t>(p) % cvq::platform::PageSize() == 0;
}

}  // namespace

TEST(PageMemoryTest, PageAlignedBlocksAreZeroedAndReleasedByAddress) {
    size_t regions = cvq::detail::PageRegionCount();
    const size_t sizes[] = {1, 4096, 5000, 65536, 65537, 1 << 20};
    void* blocks[std::size(sizes)];
    for (size_t i = 0; i < std::size(sizes); ++i) {
        blocks[i] = AllocPageAlignedMemory(sizes[i], 0);
        ASSERT_NE(blocks[i], nullptr) << sizes[i];
        EXPECT_TRUE(PageAligned(blocks[i]));
        EXPECT_TRUE(IsMemoryFilledWith(blocks[i], sizes[i], 0));
        std::memset(blocks[i], 0x5A, sizes[i]);  // every byte writable
        EXPECT_FALSE(IsDynamicMemory(blocks[i]));
    }
    EXPECT_EQ(cvq::detail::PageRegionCount(), regions + std::size(sizes));
    for (void* block : blocks) FreePageAlignedMemory(block);
    EXPECT_EQ(cvq::detail::PageRegionCount(), regions);

    EXPECT_EQ(AllocPageAlignedMemory(0, 1), nullptr);
    FreePageAlignedMemory(nullptr);
    int local = 0;
    FreePageAlignedMemory(&local);     // not ours: ignored
    FreePageAlignedMemory(blocks[0]);  // released already: ignored
    EXPECT_EQ(cvq::detail::PageRegionCount(), regions);
}

TEST(PageMemoryTest, FailedPageAllocationRunsTheNewHandlerOnceOnRequest) {
    TFailureScope scope;
    size_t regions = cvq::detail::PageRegionCount();
    std::set_new_handler(&StandardHandler);
    // {fail reserve, fail commit, ask for the handler, expected handler calls}
    const struct {
        int reserve, commit;
        char callNewHandler;
        int calls;
    } cases[] = {{1, 0, 1, 1}, {1, 0, 0, 0}, {0, 1, 1, 1}, {0, 1, 0, 0}};
    for (const auto& c : cases) {
        standardCalls = 0;
        FailNthOperation(EFailureSeam::Reserve, c.reserve, ENOMEM);
        FailNthOperation(EFailureSeam::Commit, c.commit, ENOMEM);
        EXPECT_EQ(AllocPageAlignedMemory(100000, c.callNewHandler), nullptr);
        EXPECT_EQ(standardCalls, c.calls);
        EXPECT_EQ(cvq::detail::PageRegionCount(), regions);  // nothing half-made kept
    }
    // A handler that throws is let through.
    std::set_new_handler([] { throw std::bad_alloc(); });
    FailNthOperation(EFailureSeam::Reserve, 1, ENOMEM);
    EXPECT_THROW(AllocPageAlignedMemory(10, 1), std::bad_alloc);
    void* p = AllocPageAlignedMemory(10, 1);  // and the next request succeeds
    EXPECT_NE(p, nullptr);
    FreePageAlignedMemory(p);
}

TEST(PageMemoryTest, DirectPagesRoundToPages) {
    TFailureScope scope;
    size_t page = cvq::platform::PageSize();
    const int32_t flags[] = {0, kDirectPagesZero, kDirectPagesNoCache,
                             kDirectPagesZero | kDirectPagesNoCache};
    for (int32_t flag : flags) {
        char* p = static_cast<char*>(AllocDirectMemoryPages(100, flag));
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(PageAligned(p));
        EXPECT_TRUE(IsMemoryFilledWith(p, page, 0));
        p[page - 1] = 1;  // the whole page is there
        EXPECT_FALSE(IsDynamicMemory(p));
        FreeDirectMemoryPages(p);
    }
    EXPECT_EQ(AllocDirectMemoryPages(0, 0), nullptr);
    EXPECT_EQ(AllocDirectMemoryPages(-4096, 0), nullptr);
    FailNthOperation(EFailureSeam::Commit, 1, ENOMEM);
    EXPECT_EQ(AllocDirectMemoryPages(8192, 0), nullptr);
    FreeDirectMemoryPages(nullptr);
}

TEST(PageMemoryTest, VirtualRegionGrowsAndShrinksInPlaceWithinItsReservation) {
    TFailureScope scope;
    // Reserving 100000 bytes plus the header rounds up to 131072 bytes.
    char* p = static_cast<char*>(AllocVirtual(100000, 100, 1));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
    EXPECT_TRUE(IsMemoryFilledWith(p, 100, 0));
    EXPECT_FALSE(IsDynamicMemory(p));
    std::memset(p, 'a', 100);

    // The region's header takes 32 bytes (three sizes and a spare word, 64-bit each).
    size_t largest = 131072 - 32;
    EXPECT_EQ(ResizeVirtual(p, largest, 1), p);
    EXPECT_TRUE(IsMemoryFilledWith(p, 100, 'a'));
    EXPECT_TRUE(IsMemoryFilledWith(p + 100, largest - 100, 0));
    std::memset(p, 'b', largest);
    EXPECT_EQ(ResizeVirtual(p, largest + 1, 1), nullptr);  // beyond the reservation
    EXPECT_TRUE(IsMemoryFilledWith(p, largest, 'b'));

    // Shrinking keeps the pages that still hold data; growing again with `zero` must not
    // bring back what the larger size had written on them.
    EXPECT_EQ(ResizeVirtual(p, 10, 0), p);
    EXPECT_TRUE(IsMemoryFilledWith(p, 10, 'b'));
    EXPECT_EQ(ResizeVirtual(p, 50000, 1), p);
    EXPECT_TRUE(IsMemoryFilledWith(p, 10, 'b'));
    EXPECT_TRUE(IsMemoryFilledWith(p + 10, 50000 - 10, 0));

    // A failed commit leaves the region as it was, and it grows later.
    FailNthOperation(EFailureSeam::Commit, 1, ENOMEM);
    EXPECT_EQ(ResizeVirtual(p, 90000, 1), nullptr);
    EXPECT_TRUE(IsMemoryFilledWith(p, 10, 'b'));
    EXPECT_EQ(ResizeVirtual(p, 90000, 1), p);
    EXPECT_TRUE(IsMemoryFilledWith(p + 10, 90000 - 10, 0));
    FreeVirtual(p);

    // A reservation smaller than the size is widened to it; size 0 is a region too.
    char* q = static_cast<char*>(AllocVirtual(0, 70000, 0));
    ASSERT_NE(q, nullptr);
    q[69999] = 1;
    FreeVirtual(q);
    void* empty = AllocVirtual(0, 0, 0);
    ASSERT_NE(empty, nullptr);
    FreeVirtual(empty);

    FailNthOperation(EFailureSeam::Reserve, 1, ENOMEM);
    EXPECT_EQ(AllocVirtual(1 << 20, 10, 0), nullptr);
    FailNthOperation(EFailureSeam::Commit, 1, ENOMEM);
    EXPECT_EQ(AllocVirtual(1 << 20, 10, 0), nullptr);
    EXPECT_EQ(AllocVirtual(SIZE_MAX - 8, 10, 0), nullptr);
    EXPECT_EQ(ResizeVirtual(nullptr, 10, 0), nullptr);
    FreeVirtual(nullptr);
}
