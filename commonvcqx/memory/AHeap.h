// commonvcqx/memory/AHeap.h
//
// NH_AHeap: what every library heap shares: its flags, its recursive lock, the
// out-of-memory chain (emergency reserve, the heap's own handler, the process's new
// handler) and its list of 64 KB page sets. Heap objects made with `new` live in
// "HeapForHeaps".
//
//   NH_Heap* heap = new NH_Heap(NH_AHeap::kMultithreaded);   // lives in HeapForHeaps
//   heap->SetNewHandler([] { return 0; });                    // give up when out of memory
//   delete heap;                                              // releases its pages
#pragma once

#include <commonvcqx/base/IntrusiveList.h>
#include <commonvcqx/base/ThreadSafety.h>
#include <commonvcqx/platform/internal/SpinLock.h>

#include <cstddef>
#include <cstdint>

class NH_Heap;

namespace cvq::detail {
struct TPageSet;
struct TAltBlock;
struct THeapAccess;
struct THeapRegistryLinks;
// The heaps' lists run through links kept in their records (internal/HeapInternals.h).
struct TPageSetLinks {
    using TElement = TPageSet;
    static TPageSet*& Next(TPageSet& e) noexcept;
    static TPageSet*& Prev(TPageSet& e) noexcept;
};
struct TFreePageSetLinks {
    using TElement = TPageSet;
    static TPageSet*& Next(TPageSet& e) noexcept;
    static TPageSet*& Prev(TPageSet& e) noexcept;
};
using TPageSetList = TIntrusiveList<TPageSetLinks>;
/// Selects the constant constructor of the library's own static heaps.
struct TStaticHeapTag {};
}  // namespace cvq::detail

class NH_AHeap {
public:
    // Construction flags.
    static constexpr int32_t kMultithreaded = 0x01;      ///< every operation takes the lock
    static constexpr int32_t kZeroFill = 0x02;           ///< every allocation is zeroed
    static constexpr int32_t kBypassFree = 0x04;         ///< freeing does nothing
    static constexpr int32_t kNoStandardHandler = 0x10;  ///< never call the new handler
    static constexpr int32_t kNoCache = 0x20;            ///< accepted; no effect on Linux
    static constexpr int32_t kStaticHeap = INT32_MIN;    ///< set by Init: never cleared

    /// Called (no arguments) once the emergency reserve has been given up.
    static void (*s_fpEmergencyCallback)();
    /// Non-zero: NH_Heap::FreeMem frees nothing at all (fast process shut-down).
    static int32_t s_globalBypassFree;

    /// The heap's own out-of-memory handler; non-zero result means "retry".
    void SetNewHandler(int (*handler)());
    int IsMultithreaded() const { return m_flags & kMultithreaded; }
    int32_t GetFlags() const { return m_flags; }

    /// Keeps `size` bytes (at most 64 KB, whole pages) in reserve for the first
    /// out-of-memory condition; `callback` is told when it is used. Non-zero on success.
    static int SetEmergencyReserve(size_t size, void (*callback)());

    /// Releases every page set of the heap; every block of it becomes invalid.
    virtual void Clear();
    virtual ~NH_AHeap();

    static void* operator new(size_t size);
    static void* operator new(size_t size, NH_Heap& heap);
    static void operator delete(void* p);
    static void operator delete(void* p, NH_Heap& heap);

    NH_AHeap(const NH_AHeap&) = delete;
    NH_AHeap& operator=(const NH_AHeap&) = delete;

protected:
    /// The name is not kept.
    explicit NH_AHeap(const char* name);
    explicit constexpr NH_AHeap(cvq::detail::TStaticHeapTag)
        : m_pageSets(),
          m_bypass(0),
          m_flags(0),
          m_initialized(0),
          m_lockActive(0),
          m_lock{},
          m_newHandler(nullptr),
          m_registryNext(nullptr),
          m_registryPrev(nullptr) {}

    /// 1 when the heap was initialized now, 0 when it had been before (a static heap
    /// used before its constructor ran only has its flags adjusted). It sets up the lock
    /// and what it guards, before the heap is shared or under the global heap lock.
    int Init(int32_t flags, int lazy) CVQ_NO_THREAD_SAFETY_ANALYSIS;
    /// A new small page set linked at the head of the list, or null.
    cvq::detail::TPageSet* AllocPageSet(size_t headerSize) CVQ_REQUIRES(m_lock);
    /// Non-zero when the caller shall retry the failed allocation.
    int HandleOutOfMemory();
    /// The heap's own handler, else the standard new handler: HandleOutOfMemory without
    /// the emergency reserve, for a request no memory could satisfy. Called without locks.
    int RunNewHandlers();
    /// HandleOutOfMemory with the heap's lock left meanwhile and held again on return
    /// (the analysis cannot follow a lock left through a guard object).
    int HandleOutOfMemoryMT() CVQ_REQUIRES(m_lock) CVQ_NO_THREAD_SAFETY_ANALYSIS;

    int32_t LockActive() const { return __atomic_load_n(&m_lockActive, __ATOMIC_RELAXED); }
    void ReleasePageSet(cvq::detail::TPageSet* pageSet) CVQ_REQUIRES(m_lock);

    // No default initializers: a static heap may be in use before its constructor runs,
    // and the constructor must not wipe that state.
    cvq::detail::TPageSetList m_pageSets CVQ_GUARDED_BY(m_lock);
    int32_t m_bypass;
    int32_t m_flags;
    int32_t m_initialized;
    int32_t m_lockActive;
    cvq::platform::TSpinLock m_lock;
    int (*m_newHandler)();
    NH_AHeap* m_registryNext;  // the heaps listed for fork() (THeapRegistryLinks)
    NH_AHeap* m_registryPrev;

    friend struct cvq::detail::THeapAccess;
    friend struct cvq::detail::THeapRegistryLinks;
};
