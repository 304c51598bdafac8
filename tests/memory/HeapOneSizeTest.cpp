// NH_HeapOneSize: block size, page-set free lists, release of empty page sets.
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/memory/HeapOneSize.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

TEST(HeapOneSizeTest, BlockSizeIsRoundedForAlignment) {
    struct Case {
        size_t requested, expected;
    } cases[] = {{0, 16}, {1, 16}, {4, 16}, {16, 16}, {17, 32}, {52, 64}, {64, 64}, {1000, 1008}};
    for (const Case& c : cases) {
        NH_HeapOneSize heap(c.requested, 0, "test");
        EXPECT_EQ(heap.GetBlockSize(), c.expected) << c.requested;
    }
}

TEST(HeapOneSizeTest, BlocksAreDistinctReusedAndPageSetsReleased) {
    NH_HeapOneSize heap(52, NH_AHeap::kMultithreaded, "ParallelReaderHeap");
    std::vector<char*> blocks;
    for (int i = 0; i < 5000; ++i) {
        char* p = static_cast<char*>(heap.Alloc());
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
        std::fill(p, p + 64, static_cast<char>(i));
        blocks.push_back(p);
    }
    std::vector<char*> sorted = blocks;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 1; i < sorted.size(); ++i) ASSERT_GE(sorted[i] - sorted[i - 1], 64);
    for (int i = 0; i < 5000; ++i) ASSERT_TRUE(IsMemoryFilledWith(blocks[i], 64, char(i)));

    // Last freed, first reused.
    NH_HeapOneSize::FreeMem(blocks[10]);
    NH_HeapOneSize::FreeMem(blocks[20]);
    EXPECT_EQ(heap.Alloc(), blocks[20]);
    EXPECT_EQ(heap.Alloc(), blocks[10]);

    std::set<uintptr_t> regions;
    std::vector<char*> firstOfRegion;
    for (char* p : blocks)
        if (regions.insert(reinterpret_cast<uintptr_t>(p) >> 16).second) firstOfRegion.push_back(p);
    EXPECT_GT(firstOfRegion.size(), 4u);
    for (char* p : blocks) NH_HeapOneSize::FreeMem(p);
    int stillMarked = 0;
    for (char* p : firstOfRegion) stillMarked += IsDynamicMemory(p);
    EXPECT_EQ(stillMarked, 1);  // only the last page set with free blocks is kept
    EXPECT_NE(heap.Alloc(), nullptr);
}

TEST(HeapOneSizeTest, ZeroFillBypassAndClear) {
    NH_HeapOneSize zeroing(40, NH_AHeap::kZeroFill, nullptr);
    char* p = static_cast<char*>(zeroing.Alloc());
    std::fill(p, p + 48, 'z');
    NH_HeapOneSize::FreeMem(p);
    char* again = static_cast<char*>(zeroing.Alloc());
    EXPECT_EQ(again, p);
    EXPECT_TRUE(IsMemoryFilledWith(again, 48, 0));

    NH_HeapOneSize bypassing(40, NH_AHeap::kBypassFree, nullptr);
    char* kept = static_cast<char*>(bypassing.Alloc());
    std::fill(kept, kept + 48, 'k');
    NH_HeapOneSize::FreeMem(kept);
    EXPECT_NE(bypassing.Alloc(), kept);
    EXPECT_TRUE(IsMemoryFilledWith(kept, 48, 'k'));

    zeroing.Clear();
    EXPECT_FALSE(IsDynamicMemory(again));
    EXPECT_NE(zeroing.Alloc(), nullptr);
}
