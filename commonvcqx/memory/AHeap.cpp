// NH_AHeap: initialization, page sets, the out-of-memory chain, the emergency reserve.
#include <commonvcqx/memory/AHeap.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/internal/HeapInternals.h>
#include <commonvcqx/memory/internal/PageSetCache.h>
#include <commonvcqx/platform/internal/Threads.h>

#include <new>

using namespace cvq::detail;
namespace platform = cvq::platform;

void (*NH_AHeap::s_fpEmergencyCallback)() = nullptr;
int32_t NH_AHeap::s_globalBypassFree = 0;

// Deliberately touches no field: a static heap may already be in use (see Init).
NH_AHeap::NH_AHeap(const char*) : m_pageSets(cvq::kKeepList) {}

NH_AHeap::~NH_AHeap() {
    if (!(m_flags & kStaticHeap)) NH_AHeap::Clear();
    THeapAccess::Unregister(*this);
}

int NH_AHeap::Init(int32_t flags, int lazy) {
    // A heap used before its constructor ran lives in static storage; only a
    // constructor call needs the test (which may allocate on its first use).
    bool isStatic = lazy || (!g_regions.Contains(this) && !platform::IsOnCurrentStack(this));
    int result = 1;
    {
        platform::TSpinLockGuard guard(g_heap.lock);
        bool singleThreaded =
            this == &DefaultHeapObject() && g_heap.threadingDeclared && !g_heap.multithreaded;
        if (isStatic && __atomic_load_n(&m_initialized, __ATOMIC_ACQUIRE)) {
            if (!(flags & kMultithreaded) || singleThreaded) THeapAccess::DropLock(*this);
            if (!(flags & kZeroFill)) m_flags &= ~kZeroFill;
            if (flags & kBypassFree) {
                m_flags |= kBypassFree;
                __atomic_store_n(&m_bypass, 1, __ATOMIC_RELAXED);
            }
            result = 0;
        } else {
            int32_t effective = flags;
            if (lazy) effective |= kMultithreaded | kZeroFill;
            if (singleThreaded) effective &= ~kMultithreaded;
            if (isStatic) effective |= kStaticHeap;
            m_flags = effective;
            __atomic_store_n(&m_lockActive, effective & kMultithreaded, __ATOMIC_RELAXED);
            m_lock.Initialize();
            m_newHandler = nullptr;
            m_pageSets.Clear();
            m_registryNext = m_registryPrev = nullptr;
            m_bypass = (effective & kBypassFree) ? 1 : 0;
            platform::PageSize();
            __atomic_store_n(&m_initialized, 1, __ATOMIC_RELEASE);
        }
    }
    // The caller lists the heap for fork() (THeapAccess::Register) once it holds no lock.
    return result;
}

void NH_AHeap::SetNewHandler(int (*handler)()) {
    m_newHandler = handler;
}

TPageSet* NH_AHeap::AllocPageSet(size_t headerSize) {
    size_t committed = platform::PageSize();
    char* base = TakeCachedPageSet(committed);
    bool cached = base != nullptr;
    if (!cached) base = ReserveMarked(kGranularity);
    if (base && !cached && !platform::CommitPages(base, committed)) {
        ReleaseMarked(base, kGranularity);
        base = nullptr;
    }
    if (!base) {
        {
            platform::TSpinLockGuard guard(g_heap.lock);
            base = g_heap.emergencyReserve;
            committed = g_heap.emergencyCommitted;
            g_heap.emergencyReserve = nullptr;
            g_heap.emergencyCommitted = 0;
        }
        if (!base) return nullptr;
        if (s_fpEmergencyCallback) s_fpEmergencyCallback();
    }
    TPageSet* set = reinterpret_cast<TPageSet*>(base);
    set->committedEnd = base + committed;
    set->reservedEnd = base + kGranularity;
    set->remaining = committed - headerSize;
    set->inUse = 0;
    set->oneSizeOwner = nullptr;
    set->word7 = 0;
    set->nextFree = set->prevFree = nullptr;
    m_pageSets.PushFront(*set);
    return set;
}

void NH_AHeap::ReleasePageSet(TPageSet* set) {
    m_pageSets.Unlink(*set);
    char* base = reinterpret_cast<char*>(set);
    if (!CachePageSet(base, set->committedEnd - base)) ReleaseMarked(set, kGranularity);
}

int NH_AHeap::HandleOutOfMemory() {
    char* reserve;
    {
        platform::TSpinLockGuard guard(g_heap.lock);
        reserve = g_heap.emergencyReserve;
        g_heap.emergencyReserve = nullptr;
        g_heap.emergencyCommitted = 0;
    }
    if (reserve) {
        ReleaseMarked(reserve, kGranularity);
        if (s_fpEmergencyCallback) s_fpEmergencyCallback();
        return 1;
    }
    return RunNewHandlers();
}

int NH_AHeap::RunNewHandlers() {
    // Handlers run without the global lock: they may take long, allocate, build heaps.
    if (m_newHandler) return m_newHandler();
    if (m_flags & kNoStandardHandler) return 0;
    std::new_handler handler = std::get_new_handler();
    if (!handler) return 0;
    handler();
    return 1;
}

int NH_AHeap::HandleOutOfMemoryMT() {
    if (!LockActive() || !m_lock.IsHeldByCaller()) return HandleOutOfMemory();
    // Leave the heap's lock so that a handler may use the heap; back in on every exit.
    struct TRelock {
        platform::TSpinLock& lock;
        uint32_t depth;
        ~TRelock() { lock.Relock(depth); }
    } relock{m_lock, m_lock.UnlockAll()};
    return HandleOutOfMemory();
}

int NH_AHeap::SetEmergencyReserve(size_t size, void (*callback)()) {
    s_fpEmergencyCallback = callback;
    size_t page = platform::PageSize();
    if (size > kGranularity) size = kGranularity;
    size = RoundUp(size ? size : 1, page);
    char* region = ReserveMarked(kGranularity);
    if (!region) return 0;
    if (!platform::CommitPages(region, size)) {
        ReleaseMarked(region, kGranularity);
        return 0;
    }
    char* previous;
    {
        platform::TSpinLockGuard guard(g_heap.lock);
        previous = g_heap.emergencyReserve;
        g_heap.emergencyReserve = region;
        g_heap.emergencyCommitted = size;
    }
    if (previous) ReleaseMarked(previous, kGranularity);
    return 1;
}

void NH_AHeap::Clear() {
    THeapGuard guard(m_lock, LockActive());
    for (TPageSet* set = m_pageSets.First(); set;) {
        TPageSet* next = set->next;
        ReleaseMarked(set, kGranularity);
        set = next;
    }
    m_pageSets.Clear();
}

void* NH_AHeap::operator new(size_t size) {
    void* p = HeapForHeaps().AllocMem(size);
    if (!p) throw std::bad_alloc();
    return p;
}

void* NH_AHeap::operator new(size_t size, NH_Heap& heap) {
    void* p = heap.AllocMem(size);
    if (!p) throw std::bad_alloc();
    return p;
}

void NH_AHeap::operator delete(void* p) {
    NH_Heap::FreeMem(p);
}
void NH_AHeap::operator delete(void* p, NH_Heap&) {
    NH_Heap::FreeMem(p);
}
