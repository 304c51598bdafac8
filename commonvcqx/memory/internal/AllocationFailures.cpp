// The heaps' failure counter. Every field is read and written atomically: other
// threads look at it on each of their allocations while a test arms and disarms it.
#include <commonvcqx/memory/internal/AllocationFailures.h>
#include <commonvcqx/platform/internal/Threads.h>

namespace cvq::detail {

constinit TAllocationFailures g_allocationFailures{};

void FailNthAllocation(int32_t nth, const NH_AHeap* heap) {
    TAllocationFailures& state = g_allocationFailures;
    __atomic_store_n(&state.armed, 0, __ATOMIC_SEQ_CST);
    __atomic_store_n(&state.remaining, nth, __ATOMIC_RELAXED);
    __atomic_store_n(&state.counted, 0, __ATOMIC_RELAXED);
    __atomic_store_n(&state.fired, 0, __ATOMIC_RELAXED);
    __atomic_store_n(&state.thread, uint32_t(cvq::platform::CurrentThreadId()), __ATOMIC_RELAXED);
    __atomic_store_n(&state.heap, heap, __ATOMIC_RELAXED);
    __atomic_store_n(&state.armed, nth > 0 ? 1 : 0, __ATOMIC_SEQ_CST);
}

void DisarmAllocationFailures() {
    __atomic_store_n(&g_allocationFailures.armed, 0, __ATOMIC_SEQ_CST);
}

bool AllocationFailureFired() {
    return __atomic_load_n(&g_allocationFailures.fired, __ATOMIC_RELAXED) != 0;
}

int32_t CountedAllocations() {
    return __atomic_load_n(&g_allocationFailures.counted, __ATOMIC_RELAXED);
}

bool AllocationFailureDue(const NH_AHeap* heap) {
    TAllocationFailures& state = g_allocationFailures;
    if (__atomic_load_n(&state.thread, __ATOMIC_RELAXED) != cvq::platform::CurrentThreadId())
        return false;
    const NH_AHeap* only = __atomic_load_n(&state.heap, __ATOMIC_RELAXED);
    if (only && only != heap) return false;
    // Only the arming thread gets here, so the steps below never race each other.
    __atomic_store_n(&state.counted, __atomic_load_n(&state.counted, __ATOMIC_RELAXED) + 1,
                     __ATOMIC_RELAXED);
    int32_t remaining = __atomic_load_n(&state.remaining, __ATOMIC_RELAXED) - 1;
    __atomic_store_n(&state.remaining, remaining, __ATOMIC_RELAXED);
    if (remaining > 0) return false;
    __atomic_store_n(&state.armed, 0, __ATOMIC_RELAXED);
    __atomic_store_n(&state.fired, 1, __ATOMIC_RELAXED);
    return true;
}

}  // namespace cvq::detail
