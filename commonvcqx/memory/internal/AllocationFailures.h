// commonvcqx/memory/internal/AllocationFailures.h
//
// The heaps' own failure counter. A test arms it so that the Nth allocation from then
// on fails as if memory were exhausted: the heap runs its out-of-memory chain as for a
// request no memory could serve (the heap's own handler, else the process's new
// handler, which the library makes throw "Out of memory"), and a handler's retry
// succeeds. Only allocations made on the arming thread count, so that the library's
// other threads do not move the count; with a heap named, only that heap's. What counts
// as an allocation: AllocMem and everything built on it, AllocAligned,
// AllocWithReserve, a Realloc that grows, NH_HeapOneSize::AllocMem. It fires once.
//
//   cvq::detail::FailNthAllocation(3, nullptr);       // any heap
//   RunTheOperation();                                // its third allocation fails
//   bool reached = cvq::detail::AllocationFailureFired();
//   cvq::detail::DisarmAllocationFailures();
#pragma once

#include <commonvcqx/base/Visibility.h>

#include <cstdint>

class NH_AHeap;

namespace cvq::detail {

/// Arms the counter: the `nth` following allocation (1 = the next) of `heap` (null: of
/// any library heap) on the calling thread fails. Arming again starts a new count.
void FailNthAllocation(int32_t nth, const NH_AHeap* heap);
/// Disarms the counter; the counts stay readable until the next arming.
void DisarmAllocationFailures();
/// True once the armed failure has happened.
bool AllocationFailureFired();
/// The allocations counted since arming, the failed one included.
int32_t CountedAllocations();

struct TAllocationFailures {
    int32_t armed;  // read on every allocation, by every thread
    int32_t remaining;
    int32_t counted;
    int32_t fired;
    uint32_t thread;
    const NH_AHeap* heap;
};
CVQ_HIDDEN extern constinit TAllocationFailures g_allocationFailures;

/// The counter's step for one allocation of `heap`: true when it is the one to fail.
CVQ_HIDDEN bool AllocationFailureDue(const NH_AHeap* heap);

/// Asked by the heaps' allocation entry points; costs one load while nothing is armed.
inline bool AllocationRefused(const NH_AHeap* heap) {
    return __builtin_expect(__atomic_load_n(&g_allocationFailures.armed, __ATOMIC_RELAXED), 0) &&
           AllocationFailureDue(heap);
}

}  // namespace cvq::detail
