// The page cache: which class a request lands in, reuse, the "existing only" modes,
// release of odd sizes, failures and concurrent use.
#include <commonvcqx/memory/PageCache.h>
#include <commonvcqx/memory/PageMemory.h>
#include <commonvcqx/memory/internal/PageCacheState.h>
#include <commonvcqx/memory/internal/PageRegions.h>
#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/platform/internal/VirtualMemory.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

namespace {

using cvq::detail::AllocatedPageBlocks;
using cvq::detail::CachedPageBlocks;
using cvq::detail::kPageCacheClasses;
using cvq::platform::DisarmFailures;
using cvq::platform::EFailureSeam;
using cvq::platform::FailNthOperation;

struct TCleanCache {
    TCleanCache() { ClearAllCachedPageAlignedMemory(1); }
    ~TCleanCache() {
        DisarmFailures();
        ClearAllCachedPageAlignedMemory(1);
    }
};

size_t CachedTotal() {
    size_t total = 0;
    for (int i = 0; i < kPageCacheClasses; ++i) total += CachedPageBlocks(i);
    return total;
}

}  // namespace

TEST(PageCacheTest, RequestsLandInTheFirstClassThatHoldsThem) {
    TCleanCache clean;
    int32_t allocated[kPageCacheClasses];
    for (int i = 0; i < kPageCacheClasses; ++i) allocated[i] = AllocatedPageBlocks(i);
    const struct {
        size_t request, size;
    } cases[] = {{0, 4096},        {1, 4096},        {4096, 4096},     {4097, 8192},
                 {5000, 8192},     {12288, 12288},   {12289, 24576},   {30000, 36864},
                 {36865, 65536},   {65537, 98304},   {100000, 131072}, {131073, 196608},
                 {294911, 294912}, {294912, 294912}, {294913, 294913}, {1 << 20, 1 << 20}};
    for (const auto& c : cases) {
        TMemoryBlock block = AllocCachedPageAlignedMemory(c.request, 0);
        ASSERT_NE(block.address, nullptr) << c.request;
        EXPECT_EQ(block.size, c.size) << c.request;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block.address) % cvq::platform::PageSize(), 0u);
        std::memset(block.address, 1, block.size);  // the whole class size is usable
        FreeCachedPageAlignedMemory(block);
        EXPECT_EQ(block.address, nullptr);
        EXPECT_EQ(block.size, 0u);
    }
    // One block per class, reused within the class; the two larger ones were released.
    EXPECT_EQ(CachedTotal(), 10u);
    for (int i = 0; i < kPageCacheClasses; ++i)
        EXPECT_EQ(AllocatedPageBlocks(i), allocated[i] + 1) << i;
}

TEST(PageCacheTest, FreedBlocksAreReusedLastInFirstOut) {
    TCleanCache clean;
    size_t regions = cvq::detail::PageRegionCount();
    int32_t allocated = AllocatedPageBlocks(1);
    TMemoryBlock first = AllocCachedPageAlignedMemory(5000, 1);
    TMemoryBlock second = AllocCachedPageAlignedMemory(8000, 1);
    EXPECT_EQ(AllocatedPageBlocks(1), allocated + 2);
    void* a = first.address;
    void* b = second.address;
    std::memset(a, 'a', 8192);
    FreeCachedPageAlignedMemory(first);
    FreeCachedPageAlignedMemory(second);

    TMemoryBlock again = AllocCachedPageAlignedMemory(6000, 1);
    EXPECT_EQ(again.address, b);  // the last one cached comes first
    TMemoryBlock next = AllocCachedPageAlignedMemory(8192, 1);
    EXPECT_EQ(next.address, a);
    EXPECT_EQ(static_cast<char*>(a)[8191], 'a');  // cached blocks are not cleared
    EXPECT_EQ(AllocatedPageBlocks(1), allocated + 2);
    // A class-sized block of another origin joins the cache too.
    TMemoryBlock plain{AllocPageAlignedMemory(8192, 0), 8192};
    void* c = plain.address;
    FreeCachedPageAlignedMemory(plain);
    TMemoryBlock small = AllocCachedPageAlignedMemory(1, 0);  // not from the 8192 class
    EXPECT_NE(small.address, c);
    FreeCachedPageAlignedMemory(small);
    TMemoryBlock fromPlain = AllocCachedPageAlignedMemory(8192, 0);
    EXPECT_EQ(fromPlain.address, c);

    // Any other size goes back to the system; an empty block is only cleared.
    TMemoryBlock odd{AllocPageAlignedMemory(5000, 0), 5000};
    FreeCachedPageAlignedMemory(odd);
    TMemoryBlock empty{nullptr, 8192};
    FreeCachedPageAlignedMemory(empty);
    EXPECT_EQ(empty.size, 0u);
    EXPECT_EQ(CachedPageBlocks(1), 0u);

    for (TMemoryBlock* block : {&again, &next, &fromPlain}) FreeCachedPageAlignedMemory(*block);
    EXPECT_EQ(CachedPageBlocks(1), 3u);
    EXPECT_EQ(cvq::detail::PageRegionCount(), regions + 4);
    ClearAllCachedPageAlignedMemory(0);
    EXPECT_EQ(CachedTotal(), 0u);
    EXPECT_EQ(cvq::detail::PageRegionCount(), regions);
}

TEST(PageCacheTest, ExistingBlocksOnlyByMode) {
    TCleanCache clean;
    const int cls = 9;  // 294912 bytes
    int32_t allocated = AllocatedPageBlocks(cls);
    // Never new memory: an empty class gives an empty block and allocates nothing.
    for (int32_t mode : {0, -1, 1}) {
        TMemoryBlock none = AllocExistingCachedPageAlignedMemory(200000, mode);
        EXPECT_EQ(none.address, nullptr);
        EXPECT_EQ(none.size, 0u);
    }
    EXPECT_EQ(AllocatedPageBlocks(cls), allocated);
    EXPECT_EQ(AllocExistingCachedPageAlignedMemory(294913, 0).address, nullptr);

    // Hold enough blocks that the class's count ever allocated is known exactly.
    size_t held = static_cast<size_t>(allocated) + 4;
    std::vector<TMemoryBlock> blocks;
    for (size_t i = 0; i < held; ++i) blocks.push_back(AllocCachedPageAlignedMemory(294912, 0));
    size_t total = static_cast<size_t>(AllocatedPageBlocks(cls));
    ASSERT_EQ(total, static_cast<size_t>(allocated) + held);
    // Negative mode: only while more than half of all the class's blocks are cached.
    for (size_t cached = 1; cached <= held; ++cached) {
        FreeCachedPageAlignedMemory(blocks[cached - 1]);
        TMemoryBlock spare = AllocExistingCachedPageAlignedMemory(294912, -1);
        EXPECT_EQ(spare.address != nullptr, cached * 2 > total) << cached;
        if (spare.address) {
            EXPECT_EQ(spare.size, 294912u);
            FreeCachedPageAlignedMemory(spare);
        }
        EXPECT_EQ(AllocExistingCachedPageAlignedMemory(294912, 1).address, nullptr);
    }
    TMemoryBlock any = AllocExistingCachedPageAlignedMemory(250000, 0);
    EXPECT_NE(any.address, nullptr);
    EXPECT_EQ(CachedPageBlocks(cls), held - 1);
    FreeCachedPageAlignedMemory(any);
    EXPECT_EQ(AllocatedPageBlocks(cls), static_cast<int32_t>(total));
}

TEST(PageCacheTest, OutOfMemoryGivesAnEmptyAddressAndCountsNothing) {
    TCleanCache clean;
    int32_t allocated = AllocatedPageBlocks(2);
    FailNthOperation(EFailureSeam::Reserve, 1, ENOMEM);
    TMemoryBlock failed = AllocCachedPageAlignedMemory(10000, 0);
    EXPECT_EQ(failed.address, nullptr);
    EXPECT_EQ(failed.size, 12288u);
    FreeCachedPageAlignedMemory(failed);  // harmless
    EXPECT_EQ(AllocatedPageBlocks(2), allocated);
    FailNthOperation(EFailureSeam::Commit, 1, ENOMEM);
    EXPECT_EQ(AllocCachedPageAlignedMemory(400000, 0).address, nullptr);

    // A cached block needs no new memory.
    TMemoryBlock block = AllocCachedPageAlignedMemory(10000, 0);
    ASSERT_NE(block.address, nullptr);
    void* address = block.address;
    FreeCachedPageAlignedMemory(block);
    FailNthOperation(EFailureSeam::Reserve, 1, ENOMEM);
    FailNthOperation(EFailureSeam::Commit, 1, ENOMEM);
    TMemoryBlock reused = AllocCachedPageAlignedMemory(10000, 0);
    EXPECT_EQ(reused.address, address);
    FreeCachedPageAlignedMemory(reused);

    // A new handler may give the cache's memory back; it runs once, with no lock held.
    static int handlerCalls = 0;
    std::set_new_handler([] {
        ++handlerCalls;
        ClearAllCachedPageAlignedMemory(1);
    });
    FailNthOperation(EFailureSeam::Reserve, 1, ENOMEM);
    EXPECT_EQ(AllocCachedPageAlignedMemory(70000, 1).address, nullptr);
    std::set_new_handler(nullptr);
    EXPECT_EQ(handlerCalls, 1);
    EXPECT_EQ(CachedTotal(), 0u);
}

TEST(PageCacheTest, ThreadsShareTheCache) {
    TCleanCache clean;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            std::vector<TMemoryBlock> held;
            for (int i = 0; i < 300; ++i) {
                size_t size = 1000 + static_cast<size_t>((i * 7919 + t * 104729) % 290000);
                TMemoryBlock block = AllocCachedPageAlignedMemory(size, 0);
                ASSERT_NE(block.address, nullptr);
                // Nobody else holds this block now.
                std::memset(block.address, t + 1, 64);
                held.push_back(block);
                if (held.size() > 5) {
                    ASSERT_EQ(static_cast<unsigned char*>(held.front().address)[63], t + 1);
                    FreeCachedPageAlignedMemory(held.front());
                    held.erase(held.begin());
                }
                if (i % 100 == 99) ClearAllCachedPageAlignedMemory(t % 2);
            }
            for (TMemoryBlock& block : held) FreeCachedPageAlignedMemory(block);
        });
    for (std::thread& thread : threads) thread.join();
    // Every cached block was counted when it came from the system.
    for (int i = 0; i < kPageCacheClasses; ++i)
        EXPECT_LE(CachedPageBlocks(i), static_cast<size_t>(AllocatedPageBlocks(i))) << i;
}
