// commonvcqx/memory/internal/HeapInternals.h
//
// In-memory layouts of the heaps (page sets, block headers, big chunks) on 64-bit, the
// size classes, and the process-wide heap state: the global heap lock, the map of
// regions the heaps reserved, the emergency reserve and the library's static heaps.
// All of it is constant-initialized, so the heaps serve malloc before any constructor.
#pragma once

#include <commonvcqx/base/Visibility.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/internal/SpinLock.h>
#include <commonvcqx/platform/internal/VirtualMemory.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace cvq::detail {

inline constexpr size_t kGranularity = platform::kAllocationGranularity;
inline constexpr uintptr_t kGranularityMask = ~uintptr_t(kGranularity - 1);

inline constexpr size_t RoundUp(size_t value, size_t to) {
    return (value + to - 1) & ~(to - 1);
}

/// Header of a 64 KB page set (small blocks, one-size blocks) and of a big page set.
/// Ten pointer-sized words; the small-block heap uses the first eight.
struct TPageSet {
    TPageSet* next;
    TPageSet* prev;
    size_t remaining;  // free bytes between the carve point and the committed end
    char* committedEnd;
    char* reservedEnd;
    size_t inUse;  // blocks (or chunks) handed out and not freed
    NH_AHeap* oneSizeOwner;
    uintptr_t word7;     // NH_HeapOneSize: offset of the first free block; NH_Heap: owner
    TPageSet* nextFree;  // NH_HeapOneSize: page sets that have free blocks
    TPageSet* prevFree;
};
static_assert(sizeof(TPageSet) == 80);
inline TPageSet*& TPageSetLinks::Next(TPageSet& e) noexcept {
    return e.next;
}
inline TPageSet*& TPageSetLinks::Prev(TPageSet& e) noexcept {
    return e.prev;
}
inline TPageSet*& TFreePageSetLinks::Next(TPageSet& e) noexcept {
    return e.nextFree;
}
inline TPageSet*& TFreePageSetLinks::Prev(TPageSet& e) noexcept {
    return e.prevFree;
}

// Blocks start 8 bytes before a multiple of 16 so that user addresses are 16-aligned.
inline constexpr size_t kSmallPageSetHeader = 72;
inline constexpr size_t kOneSizePageSetHeader = 80;
inline constexpr size_t kBigPageSetHeader = 64;

inline constexpr uint8_t kAltBlockFlag = 0x01;
inline constexpr uint8_t kFreeBlockFlag = 0x02;

/// Small block: 8-byte header, then user data (or the free-list links while free).
struct TSmallBlock {
    uint32_t unused;
    uint16_t size;
    uint8_t sizeClass;
    uint8_t flags;
    TSmallBlock* next;
    TSmallBlock* prev;
};
inline constexpr size_t kSmallHeader = 8;

/// Header directly before the user data of every block that is not a small block.
struct TAltBlock {
    uint64_t alignOffset;  // bytes between the chunk's data start and this header
    NH_Heap* owner;
    size_t size;  // requested size
    TAltBlock* next;
    TAltBlock* prev;
    uint32_t kind;  // kReservedBlock or kChunkBlock
    uint8_t zero[3];
    uint8_t flags;  // kAltBlockFlag
};
static_assert(sizeof(TAltBlock) == 48);
inline TAltBlock*& TAltBlockLinks::Next(TAltBlock& e) noexcept {
    return e.next;
}
inline TAltBlock*& TAltBlockLinks::Prev(TAltBlock& e) noexcept {
    return e.prev;
}
inline constexpr uint32_t kChunkBlock = 0;
inline constexpr uint32_t kReservedBlock = 1;

/// Boundary-tagged chunk of a big page set; a footer copy of `size` ends it.
struct TBigChunk {
    size_t size;  // bit 0: free
    TPageSet* owner;
    TBigChunk* next;  // while free
    TBigChunk* prev;
};
inline TBigChunk*& TBigChunkLinks::Next(TBigChunk& e) noexcept {
    return e.next;
}
inline TBigChunk*& TBigChunkLinks::Prev(TBigChunk& e) noexcept {
    return e.prev;
}
inline constexpr size_t kChunkHeader = 16;
inline constexpr size_t kChunkFooter = 8;
inline constexpr size_t kMinChunk = 1152;   // 1112, kept a multiple of 64
inline constexpr size_t kSplitRest = 1112;  // split only when the rest is at least this
inline constexpr size_t kBigPageSetUnit = 1 << 20;
inline constexpr size_t kPurgeSpan = 64 << 10;         // free pages given back from this span on
inline constexpr size_t kResidentFreeBytes = 8 << 20;  // free chunks a heap keeps resident

/// Head of a private reservation (AllocWithReserve).
struct TReservedRegion {
    size_t requested;
    size_t reserved;
    size_t committed;
    size_t unused;
};
static_assert(sizeof(TReservedRegion) == 32);

// Sizes include the 8-byte block header.
CVQ_HIDDEN inline constexpr std::array<uint16_t, kSizeClassCount> kClassSizes = {
    32,  48,  64,  80,  96,  112, 128, 144, 160, 176, 192, 208, 224, 240,
    256, 272, 288, 304, 320, 336, 352, 368, 400, 416, 448, 464, 496, 512,
    544, 576, 608, 640, 672, 720, 752, 800, 832, 880, 928, 976, 1024};

CVQ_HIDDEN inline constexpr std::array<uint8_t, 1025> kSizeToClass = [] {
    std::array<uint8_t, 1025> table{};
    size_t cls = 0;
    for (size_t n = 0; n <= 1024; ++n) {
        while (kClassSizes[cls] < n) ++cls;
        table[n] = static_cast<uint8_t>(cls);
    }
    return table;
}();

/// What the small-block heap reads and writes on every allocation and free about a
/// page set. Kept here, densely, rather than in the page-set headers: those all sit at
/// 64 KB-aligned addresses, where they compete for the same few cache sets.
struct TRegionInfo {
    NH_Heap* owner;
    size_t inUse;
};

/// One bit per 64 KB region of the 48-bit address space, set while a heap holds the
/// region, and a TRegionInfo per region. Leaves (4 GB each) are mapped on first use and
/// never given back, so readers need no lock.
class TRegionMap {
public:
    static constexpr size_t kLeafBitmapBytes = 8192;
    static constexpr size_t kLeafBytes = kLeafBitmapBytes + (size_t(1) << 16) * sizeof(TRegionInfo);

    /// The record of a region the heaps hold.
    static TRegionInfo& Info(const void* p) {
        uintptr_t address = reinterpret_cast<uintptr_t>(p);
        uint64_t* leaf = __atomic_load_n(&m_leaves[address >> 32], __ATOMIC_ACQUIRE);
        auto* infos =
            reinterpret_cast<TRegionInfo*>(reinterpret_cast<char*>(leaf) + kLeafBitmapBytes);
        return infos[(address >> 16) & 0xFFFF];
    }

    static bool Contains(const void* p) {
        uintptr_t address = reinterpret_cast<uintptr_t>(p);
        if (address >> 48) return false;
        uint64_t* leaf = __atomic_load_n(&m_leaves[address >> 32], __ATOMIC_ACQUIRE);
        if (!leaf) return false;
        uint32_t region = static_cast<uint32_t>(address >> 16) & 0xFFFF;
        return (__atomic_load_n(&leaf[region >> 6], __ATOMIC_RELAXED) >> (region & 63)) & 1;
    }
    /// Under the global lock. False when a leaf cannot be mapped.
    static bool Mark(const void* start, size_t size);
    static void Unmark(const void* start, size_t size);

    CVQ_HIDDEN static uint64_t* m_leaves[1 << 16];
};

// Heaps with a lock, taken around fork().
struct THeapRegistryLinks {
    using TElement = NH_AHeap;
    static NH_AHeap*& Next(NH_AHeap& e) noexcept { return e.m_registryNext; }
    static NH_AHeap*& Prev(NH_AHeap& e) noexcept { return e.m_registryPrev; }
};

inline constexpr int32_t kHotPageSets = 32;       // never lent: 2 MB
inline constexpr int32_t kCachedPageSets = 1024;  // 64 MB of address space

struct TCachedPageSet {
    char* base;
    size_t committed;  // kept here: a lent set's header may read as zero
    bool lent;
};

struct THeapGlobals {
    platform::TSpinLock lock;          // the global heap lock
    platform::TSpinLock registryLock;  // guards the list of heaps (taken before heap locks)
    TIntrusiveList<THeapRegistryLinks> registry CVQ_GUARDED_BY(registryLock);
    char* emergencyReserve CVQ_GUARDED_BY(lock);
    size_t emergencyCommitted CVQ_GUARDED_BY(lock);
    int32_t hooksInstalled;  // set once under the lock, read atomically without it
    int32_t initNewHeapConstructed CVQ_GUARDED_BY(lock);
    int32_t threadingDeclared CVQ_GUARDED_BY(lock);
    int32_t multithreaded CVQ_GUARDED_BY(lock);
    // The page-set cache (PageSetCache.h), most recent on top.
    int32_t cachedPageSets CVQ_GUARDED_BY(lock);
    int32_t cacheLowWater CVQ_GUARDED_BY(lock);   // the fewest cached this interval
    uint32_t intervalStart CVQ_GUARDED_BY(lock);  // milliseconds of the tick count
    TCachedPageSet pageSetCache[kCachedPageSets] CVQ_GUARDED_BY(lock);
};

CVQ_HIDDEN extern constinit THeapGlobals g_heap;
CVQ_HIDDEN extern constinit TRegionMap g_regions;

/// The library's static heaps.
NH_Heap& HeapForHeaps();
NH_Heap& DefaultHeapObject();
/// "ah1" and "ah2", the heaps FindBase2 chooses from besides the default heap.
NH_Heap& TestHeap1();
NH_Heap& TestHeap2();

/// Reserves a granularity-aligned region and marks it; null on failure.
char* ReserveMarked(size_t size);
/// Unmarks and releases a region made by ReserveMarked.
void ReleaseMarked(void* start, size_t size);

// The allocation path inside the library: hidden, so that malloc reaches the heap by
// direct calls instead of through the PLT.
CVQ_HIDDEN void* DefaultAlloc(size_t size);
CVQ_HIDDEN void* DefaultRealloc(void* p, size_t size);
CVQ_HIDDEN void* DefaultAllocAligned(size_t alignment, size_t size, int zero);
CVQ_HIDDEN size_t BlockSize(const void* p);

// The hooks' bodies (AllocatorHooks.cpp), shared by NHHook* and the interposed entries.
CVQ_HIDDEN void* HookNew(size_t size);
CVQ_HIDDEN void* HookMalloc(size_t size);
CVQ_HIDDEN void* HookCalloc(size_t count, size_t size);
CVQ_HIDDEN void HookFree(void* p);
CVQ_HIDDEN void* HookRealloc(void* p, size_t size);
CVQ_HIDDEN size_t HookBlockSize(void* p);
CVQ_HIDDEN void* HookAlignedAlloc(size_t alignment, size_t size);

/// Takes a heap's lock when the heap has one; remembers whether it did and lets go on
/// every exit (a standard new handler may throw through an allocation). To the
/// analysis the lock is held either way: a heap without one is never shared.
class CVQ_SCOPED_CAPABILITY THeapGuard {
public:
    THeapGuard(platform::TSpinLock& lock, int32_t active) CVQ_ACQUIRE(lock)
        : m_lock(active ? &lock : nullptr) {
        if (m_lock) m_lock->Lock();
    }
    ~THeapGuard() CVQ_RELEASE() {
        if (m_lock) m_lock->Unlock();
    }
    THeapGuard(const THeapGuard&) = delete;
    THeapGuard& operator=(const THeapGuard&) = delete;

private:
    platform::TSpinLock* m_lock;
};

/// Access to the heaps' protected parts for the library's own machinery.
struct THeapAccess {
    /// Starts a heap not yet shared with other threads (its lock guards nothing yet).
    static int Construct(NH_Heap& heap, int32_t flags) CVQ_NO_THREAD_SAFETY_ANALYSIS;
    static void DropLock(NH_AHeap& heap);
    static int LockActive(const NH_AHeap& heap) { return heap.LockActive(); }
    static int Initialized(const NH_AHeap& heap) {
        return __atomic_load_n(&heap.m_initialized, __ATOMIC_ACQUIRE);
    }
    static void SetBypass(NH_AHeap& heap) {
        heap.m_flags |= NH_AHeap::kBypassFree;
        __atomic_store_n(&heap.m_bypass, 1, __ATOMIC_RELAXED);
    }
    // They take and leave the registry lock, every heap's lock and the global lock: a
    // set of locks the analysis cannot name.
    static void PrepareFork() CVQ_NO_THREAD_SAFETY_ANALYSIS;
    static void AfterFork() CVQ_NO_THREAD_SAFETY_ANALYSIS;
    static void Register(NH_AHeap& heap);
    static void Unregister(NH_AHeap& heap);
};

}  // namespace cvq::detail
