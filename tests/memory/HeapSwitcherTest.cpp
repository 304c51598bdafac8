// NH_HeapSwitcher and the per-thread default heap.
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/memory/HeapSwitcher.h>

#include <gtest/gtest.h>

#include <thread>

namespace {
int Contains(void* block, void* wanted) {
    return block == wanted;
}
}  // namespace

TEST(HeapSwitcherTest, DefaultHeapIsPerThreadAndScoped) {
    NH_Heap* mainDefault = &NH_Heap::Default();
    NH_Heap scratch(0);
    NH_Heap inner(0);
    {
        NH_HeapSwitcher use(scratch);
        EXPECT_EQ(&NH_Heap::Default(), &scratch);
        void* p = NHHookMalloc(100);
        EXPECT_EQ(scratch.FindFirstThat(&Contains, p), p);
        NHHookFree(p);
        NH_Heap* seenByOtherThread = nullptr;
        std::thread([&] { seenByOtherThread = &NH_Heap::Default(); }).join();
        EXPECT_EQ(seenByOtherThread, mainDefault);  // "DefaultHeap" on a new thread
        {
            NH_HeapSwitcher nested(inner);
            EXPECT_EQ(&NH_Heap::Default(), &inner);
        }
        EXPECT_EQ(&NH_Heap::Default(), &scratch);
    }
    EXPECT_EQ(&NH_Heap::Default(), mainDefault);
}
