// Process-wide heap state: the global lock, the region map, the library's static heaps
// and the list of heaps that fork() must lock.
#include <commonvcqx/memory/internal/HeapInternals.h>

namespace cvq::detail {
namespace {

// Never destroyed: other modules free blocks during process exit.
template <class T>
union TStaticHeap {
    constexpr TStaticHeap() : heap(TStaticHeapTag{}) {}
    ~TStaticHeap() {}
    T heap;
};

constinit TStaticHeap<NH_Heap> heapForHeaps;
constinit TStaticHeap<NH_Heap> defaultHeap;
constinit TStaticHeap<NH_Heap> testHeap1;
constinit TStaticHeap<NH_Heap> testHeap2;

}  // namespace

constinit THeapGlobals g_heap{{}, {}, {}, nullptr, 0, 0, 0, 0, 1, 0, 0, 0, {}};
constinit TRegionMap g_regions{};
constinit uint64_t* TRegionMap::m_leaves[1 << 16] = {};

NH_Heap& HeapForHeaps() {
    return heapForHeaps.heap;
}
NH_Heap& DefaultHeapObject() {
    return defaultHeap.heap;
}
NH_Heap& TestHeap1() {
    return testHeap1.heap;
}
NH_Heap& TestHeap2() {
    return testHeap2.heap;
}

bool TRegionMap::Mark(const void* start, size_t size) {
    uintptr_t first = reinterpret_cast<uintptr_t>(start);
    for (uintptr_t address = first; address < first + size; address += kGranularity) {
        uint64_t*& slot = m_leaves[address >> 32];
        uint64_t* leaf = __atomic_load_n(&slot, __ATOMIC_ACQUIRE);
        if (!leaf) {
            // 65536 bits and records per 4 GB of address space; pages are materialized
            // as they are touched.
            size_t bytes = RoundUp(kLeafBytes, kGranularity);
            leaf = static_cast<uint64_t*>(platform::ReserveRegion(bytes));
            if (!leaf || !platform::CommitPages(leaf, bytes)) {
                if (leaf) platform::ReleaseRegion(leaf, bytes);
                Unmark(start, address - first);
                return false;
            }
            __atomic_store_n(&slot, leaf, __ATOMIC_RELEASE);
        }
        uint32_t region = static_cast<uint32_t>(address >> 16) & 0xFFFF;
        __atomic_fetch_or(&leaf[region >> 6], uint64_t(1) << (region & 63), __ATOMIC_RELAXED);
    }
    return true;
}

void TRegionMap::Unmark(const void* start, size_t size) {
    uintptr_t first = reinterpret_cast<uintptr_t>(start);
    for (uintptr_t address = first; address < first + size; address += kGranularity) {
        uint64_t* leaf = __atomic_load_n(&m_leaves[address >> 32], __ATOMIC_ACQUIRE);
        if (!leaf) continue;
        uint32_t region = static_cast<uint32_t>(address >> 16) & 0xFFFF;
        __atomic_fetch_and(&leaf[region >> 6], ~(uint64_t(1) << (region & 63)), __ATOMIC_RELAXED);
    }
}

char* ReserveMarked(size_t size) {
    char* region = static_cast<char*>(platform::ReserveRegion(size));
    if (!region) return nullptr;
    bool marked;
    {
        platform::TSpinLockGuard guard(g_heap.lock);
        marked = g_regions.Mark(region, size);
    }
    if (!marked) {
        platform::ReleaseRegion(region, size);
        return nullptr;
    }
    return region;
}

void ReleaseMarked(void* start, size_t size) {
    {
        platform::TSpinLockGuard guard(g_heap.lock);
        g_regions.Unmark(start, size);
    }
    platform::ReleaseRegion(start, size);
}

int THeapAccess::Construct(NH_Heap& heap, int32_t flags) {
    if (!heap.Init(flags | 0x20000000, 0)) return 0;
    heap.ResetLists();
    Register(heap);
    return 1;
}

void THeapAccess::DropLock(NH_AHeap& heap) {
    heap.m_flags &= ~NH_AHeap::kMultithreaded;
    __atomic_store_n(&heap.m_lockActive, 0, __ATOMIC_RELAXED);
}

void THeapAccess::Register(NH_AHeap& heap) {
    platform::TSpinLockGuard guard(g_heap.registryLock);
    if (heap.m_registryNext || heap.m_registryPrev || g_heap.registry.First() == &heap) return;
    g_heap.registry.PushFront(heap);
}

void THeapAccess::Unregister(NH_AHeap& heap) {
    platform::TSpinLockGuard guard(g_heap.registryLock);
    if (!heap.m_registryNext && !heap.m_registryPrev && g_heap.registry.First() != &heap) return;
    g_heap.registry.Unlink(heap);
}

// Order: registry, every heap, then the global lock (a heap's lock may be held while
// the global one is taken, never the other way round).
void THeapAccess::PrepareFork() {
    g_heap.registryLock.Lock();
    for (NH_AHeap* heap = g_heap.registry.First(); heap; heap = heap->m_registryNext)
        heap->m_lock.Lock();
    g_heap.lock.Lock();
}

void THeapAccess::AfterFork() {
    g_heap.lock.Unlock();
    for (NH_AHeap* heap = g_heap.registry.First(); heap; heap = heap->m_registryNext)
        heap->m_lock.Unlock();
    g_heap.registryLock.Unlock();
}

}  // namespace cvq::detail
