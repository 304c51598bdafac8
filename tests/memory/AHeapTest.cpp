// NH_AHeap: the out-of-memory chain, driven by failing reservations and commits.
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/internal/FailureSeams.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace {

using cvq::platform::DisarmFailures;
using cvq::platform::EFailureSeam;
using cvq::platform::FailNthOperation;

int emergencyCalls = 0;
int handlerCalls = 0;
int handlerAnswer = 0;
int standardCalls = 0;

void CountEmergency() {
    ++emergencyCalls;
}
int CountingHandler() {
    ++handlerCalls;
    return handlerAnswer;
}
void StandardHandler() {
    ++standardCalls;
}

struct TFailureScope {
    ~TFailureScope() {
        DisarmFailures();
        std::set_new_handler(nullptr);
    }
};

}  // namespace

TEST(AHeapTest, EmergencyReserveServesTheFirstFailure) {
    TFailureScope scope;
    emergencyCalls = 0;
    ASSERT_TRUE(NH_AHeap::SetEmergencyReserve(8192, &CountEmergency));
    NH_Heap heap(NH_AHeap::kNoStandardHandler);
    // The heap's first page set cannot be reserved.
    FailNthOperation(EFailureSeam::Reserve, 1, ENOMEM);
    char* p = static_cast<char*>(heap.AllocMem(100));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(emergencyCalls, 1);
    std::memset(p, 1, 100);
    // The reserve's pages carry on as an ordinary page set that commits more pages.
    for (int i = 0; i < 200; ++i) ASSERT_NE(heap.AllocMem(1000), nullptr);
    EXPECT_EQ(emergencyCalls, 1);

    // A big request whose commit fails gives the (new) reserve up and retries.
    ASSERT_TRUE(NH_AHeap::SetEmergencyReserve(100000, &CountEmergency));  // capped to 64 KB
    FailNthOperation(EFailureSeam::Commit, 1, ENOMEM);
    EXPECT_NE(heap.AllocMem(500000), nullptr);
    EXPECT_EQ(emergencyCalls, 2);
}

TEST(AHeapTest, HeapHandlerDecidesWhetherToRetry) {
    TFailureScope scope;
    NH_Heap heap(NH_AHeap::kNoStandardHandler | NH_AHeap::kMultithreaded);
    heap.SetNewHandler(&CountingHandler);
    handlerCalls = 0;
    handlerAnswer = 1;
    FailNthOperation(EFailureSeam::Reserve, 1, ENOMEM);
    EXPECT_NE(heap.AllocMem(10), nullptr);  // retried after the handler
    EXPECT_EQ(handlerCalls, 1);

    handlerCalls = 0;
    handlerAnswer = 0;
    FailNthOperation(EFailureSeam::Reserve, 1, ENOMEM);
    EXPECT_EQ(heap.AllocMem(70000), nullptr);  // gives up: null, no exception
    EXPECT_EQ(handlerCalls, 1);

    // A failed move keeps the old block intact.
    char* p = static_cast<char*>(heap.AllocMem(600));
    std::memset(p, 'k', 600);
    FailNthOperation(EFailureSeam::Reserve, 1, ENOMEM);
    EXPECT_EQ(heap.Realloc(p, 200000, 0), nullptr);
    EXPECT_TRUE(IsMemoryFilledWith(p, 600, 'k'));
    EXPECT_EQ(NH_Heap::GetBlockSize(p), 600u);
    // A failed commit of a new page set's first page, and of the next page to carve:
    // three 1024-byte blocks fill the first page, the fourth needs another.
    NH_Heap carving(NH_AHeap::kNoStandardHandler);
    FailNthOperation(EFailureSeam::Commit, 1, ENOMEM);
    EXPECT_EQ(carving.AllocMem(1000), nullptr);
    for (int i = 0; i < 3; ++i) ASSERT_NE(carving.AllocMem(1000), nullptr);
    FailNthOperation(EFailureSeam::Commit, 1, ENOMEM);
    EXPECT_EQ(carving.AllocMem(1000), nullptr);
    EXPECT_NE(carving.AllocMem(1000), nullptr);  // and recovers
}

TEST(AHeapTest, RequestsNoMemoryCouldServeStillReachTheNewHandlers) {
    // operator new owes the new handler a call for every size: it is what turns the
    // failure into the program's own exception.
    TFailureScope scope;
    std::set_new_handler(&StandardHandler);
    standardCalls = 0;
    NH_Heap heap(0);
    size_t impossible = SIZE_MAX / 2;
    EXPECT_EQ(heap.AllocMem(impossible), nullptr);
    EXPECT_EQ(heap.AllocAligned(size_t(1) << 62, 10, 0), nullptr);
    EXPECT_EQ(standardCalls, 2);  // once each: no retry could help

    NH_Heap refusing(NH_AHeap::kNoStandardHandler);
    refusing.SetNewHandler(&CountingHandler);
    handlerCalls = 0;
    handlerAnswer = 1;  // a handler that always asks for a retry does not hang it
    EXPECT_EQ(refusing.AllocMem(impossible), nullptr);
    EXPECT_EQ(handlerCalls, 1);
    EXPECT_EQ(standardCalls, 2);

    std::set_new_handler([] { throw std::bad_alloc(); });
    EXPECT_THROW(heap.AllocMem(impossible), std::bad_alloc);
}

NH_Heap* handlerHeap = nullptr;
void* allocatedInHandler = nullptr;

int HandlerThatUsesHeaps() {
    // Another thread of a real program could be doing the same: neither the heap's lock
    // nor the global one is held here.
    allocatedInHandler = handlerHeap->AllocMem(100);
    NH_Heap scratch(NH_AHeap::kMultithreaded);
    NH_Heap::FreeMem(scratch.AllocMem(5000));
    return 1;
}

TEST(AHeapTest, HandlerMayUseTheHeapAndMakeHeaps) {
    TFailureScope scope;
    NH_Heap heap(NH_AHeap::kMultithreaded | NH_AHeap::kNoStandardHandler);
    handlerHeap = &heap;
    heap.SetNewHandler(&HandlerThatUsesHeaps);
    FailNthOperation(EFailureSeam::Reserve, 1, ENOMEM);  // the first page set of `heap`
    void* p = heap.AllocMem(10);
    ASSERT_NE(p, nullptr);
    ASSERT_NE(allocatedInHandler, nullptr);
    EXPECT_NE(p, allocatedInHandler);
    NH_Heap::FreeMem(p);
    NH_Heap::FreeMem(allocatedInHandler);
}

TEST(AHeapTest, StandardNewHandlerUnlessTheHeapSaysNo) {
    TFailureScope scope;
    std::set_new_handler(&StandardHandler);
    standardCalls = 0;
    NH_Heap heap(0);
    FailNthOperation(EFailureSeam::Reserve, 1, ENOMEM);
    EXPECT_NE(heap.AllocMem(10), nullptr);
    EXPECT_EQ(standardCalls, 1);

    NH_Heap refusing(NH_AHeap::kNoStandardHandler);
    FailNthOperation(EFailureSeam::Reserve, 1, ENOMEM);
    EXPECT_EQ(refusing.AllocMem(10), nullptr);
    EXPECT_EQ(standardCalls, 1);

    standardCalls = 0;
    ExecuteStandardNewHandler();
    EXPECT_EQ(standardCalls, 1);

    // A throwing handler passes through the heap, which stays usable.
    std::set_new_handler([] { throw std::bad_alloc(); });
    FailNthOperation(EFailureSeam::Reserve, 1, ENOMEM);
    NH_Heap throwing(NH_AHeap::kMultithreaded);
    EXPECT_THROW(throwing.AllocMem(10), std::bad_alloc);
    EXPECT_NE(throwing.AllocMem(10), nullptr);
}
