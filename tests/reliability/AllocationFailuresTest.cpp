// The heaps' failure counter: which requests count, on which thread and heap, and how a
// failure surfaces.
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/HeapOneSize.h>
#include <commonvcqx/memory/internal/AllocationFailures.h>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

namespace detail = cvq::detail;

int GiveUp() {
    return 0;
}
int g_retries = 0;
int Retry() {
    ++g_retries;
    return 1;
}

TEST(AllocationFailuresTest, TheNthCountedRequestFailsOnce) {
    // Each request form, armed to fail at its 3rd call: two blocks, then null, then
    // blocks again.
    struct TForm {
        const char* name;
        void* (*request)(NH_Heap& heap);
    };
    const TForm forms[] = {
        {"AllocMem small", [](NH_Heap& h) { return h.AllocMem(24); }},
        {"AllocMem big", [](NH_Heap& h) { return h.AllocMem(70000); }},
        {"Alloc zeroed", [](NH_Heap& h) { return h.Alloc(300, 1); }},
        {"AllocArray", [](NH_Heap& h) { return h.AllocArray(10, 10, 0); }},
        {"AllocAligned", [](NH_Heap& h) { return h.AllocAligned(256, 100, 0); }},
        {"AllocWithReserve", [](NH_Heap& h) { return h.AllocWithReserve(1 << 20, 5000, 0); }},
        {"StoreString", [](NH_Heap& h) { return static_cast<void*>(h.StoreString("text")); }},
        {"Realloc of null", [](NH_Heap& h) { return h.Realloc(nullptr, 64, 0); }},
    };
    NH_Heap heap(0);
    heap.SetNewHandler(&GiveUp);
    for (const TForm& form : forms) {
        SCOPED_TRACE(form.name);
        detail::FailNthAllocation(3, &heap);
        void* first = form.request(heap);
        void* second = form.request(heap);
        void* third = form.request(heap);
        EXPECT_TRUE(detail::AllocationFailureFired());
        void* fourth = form.request(heap);
        detail::DisarmAllocationFailures();
        EXPECT_NE(first, nullptr);
        EXPECT_NE(second, nullptr);
        EXPECT_EQ(third, nullptr);
        EXPECT_NE(fourth, nullptr);
        EXPECT_EQ(detail::CountedAllocations(), 3);
        for (void* p : {first, second, fourth}) NH_Heap::FreeMem(p);
    }
}

TEST(AllocationFailuresTest, OnlyGrowthCountsForRealloc) {
    NH_Heap heap(0);
    heap.SetNewHandler(&GiveUp);
    char* p = static_cast<char*>(heap.AllocMem(2000));
    std::memset(p, 'a', 2000);
    detail::FailNthAllocation(1, &heap);
    p = static_cast<char*>(heap.Realloc(p, 1000, 0));  // shrinking never fails
    ASSERT_NE(p, nullptr);
    EXPECT_FALSE(detail::AllocationFailureFired());
    EXPECT_EQ(heap.Realloc(p, 1001, 0), nullptr);  // any growth may
    EXPECT_TRUE(detail::AllocationFailureFired());
    EXPECT_EQ(NH_Heap::GetBlockSize(p), 1000u);  // the old block is intact
    EXPECT_EQ(p[999], 'a');
    // A growth that moves the block counts once, not once more for the new block.
    detail::FailNthAllocation(2, &heap);
    p = static_cast<char*>(heap.Realloc(p, 90000, 0));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(detail::CountedAllocations(), 1);
    EXPECT_EQ(p[999], 'a');
    detail::DisarmAllocationFailures();
    NH_Heap::FreeMem(p);
}

TEST(AllocationFailuresTest, CountsOnlyTheArmingThreadAndTheNamedHeap) {
    NH_Heap heap(NH_AHeap::kMultithreaded), other(0);
    heap.SetNewHandler(&GiveUp);
    other.SetNewHandler(&GiveUp);
    detail::FailNthAllocation(1, &heap);
    void* elsewhere = other.AllocMem(10);
    void* fromThread = nullptr;
    std::thread([&] { fromThread = heap.AllocMem(10); }).join();
    EXPECT_NE(elsewhere, nullptr);
    EXPECT_NE(fromThread, nullptr);
    EXPECT_FALSE(detail::AllocationFailureFired());
    EXPECT_EQ(heap.AllocMem(10), nullptr);
    detail::DisarmAllocationFailures();
    NH_Heap::FreeMem(elsewhere);
    NH_Heap::FreeMem(fromThread);

    // No heap named: every heap counts.
    NH_HeapOneSize sized(48, 0);
    sized.SetNewHandler(&GiveUp);
    detail::FailNthAllocation(2, nullptr);
    void* a = other.AllocMem(10);
    EXPECT_EQ(sized.AllocMem(48), nullptr);
    detail::DisarmAllocationFailures();
    NH_Heap::FreeMem(a);
}

TEST(AllocationFailuresTest, FailureRunsTheOutOfMemoryChain) {
    // The heap's handler may retry: the retry succeeds.
    NH_Heap heap(0);
    heap.SetNewHandler(&Retry);
    g_retries = 0;
    detail::FailNthAllocation(1, &heap);
    void* p = heap.AllocMem(100);
    detail::DisarmAllocationFailures();
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(g_retries, 1);
    NH_Heap::FreeMem(p);

    // Without one, the process's new handler makes it "Out of memory".
    NH_Heap plain(0);
    detail::FailNthAllocation(1, &plain);
    try {
        plain.AllocMem(100);
        ADD_FAILURE() << "no exception";
    } catch (const TException& e) {
        ASSERT_NE(e.GetMessage(), nullptr);
        EXPECT_STREQ(e.GetMessage()->c_str(), "Out of memory");
    }
    detail::DisarmAllocationFailures();
    void* after = plain.AllocMem(100);
    EXPECT_NE(after, nullptr);
    NH_Heap::FreeMem(after);

    // Disarmed, or armed with 0, nothing fails.
    detail::FailNthAllocation(0, nullptr);
    void* q = heap.AllocMem(10);
    EXPECT_NE(q, nullptr);
    EXPECT_FALSE(detail::AllocationFailureFired());
    NH_Heap::FreeMem(q);
}

}  // namespace
