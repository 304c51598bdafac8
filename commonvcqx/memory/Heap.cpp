// NH_Heap: construction, the entry points that choose among small blocks, big chunks
// and reserved regions, freeing by address, Clear and the calling thread's default heap.
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/internal/AllocationFailures.h>
#include <commonvcqx/memory/internal/HeapInternals.h>
#include <commonvcqx/memory/internal/HeapSmallPath.h>

#include <algorithm>
#include <cstring>

using namespace cvq::detail;
namespace platform = cvq::platform;

namespace {

__attribute__((tls_model("initial-exec"))) thread_local NH_Heap* t_defaultHeap = nullptr;

}  // namespace

NH_Heap::NH_Heap(int32_t flags, const char* name)
    : NH_AHeap(name),
      m_altBlocks(cvq::kKeepList),
      m_bigPageSets(cvq::kKeepList),
      m_chunkBins(),
      m_chunkBinsInUse(0),
      m_freeChunkBytes(0) {
    if (Init(flags | 0x20000000, 0)) {
        ResetLists();
    } else {
        // Used before this constructor ran: the bins were just emptied, the chunks'
        // own tags still tell which are free.
        THeapGuard guard(m_lock, LockActive());
        RebuildChunkBins();
    }
    THeapAccess::Register(*this);
}

NH_Heap::~NH_Heap() {
    if (!(m_flags & kStaticHeap)) NH_Heap::Clear();
}

void NH_Heap::ResetLists() {
    m_altBlocks.Clear();
    m_reservedBlockCount = 0;
    std::fill(std::begin(m_freeLists), std::end(m_freeLists), nullptr);
    m_bigPageSets.Clear();
    for (auto& bin : m_chunkBins) bin.Clear();
    m_chunkBinsInUse = 0;
    m_freeChunkBytes = 0;
}

void NH_Heap::LazyInit() {
    // First use of a static heap whose constructor has not run yet.
    {
        platform::TSpinLockGuard guard(g_heap.lock);
        if (__atomic_load_n(&m_initialized, __ATOMIC_ACQUIRE)) return;
        Init(0, 1);
        ResetLists();
    }
    THeapAccess::Register(*this);
}

__attribute__((always_inline)) inline void* NH_Heap::AllocFresh(size_t size) {
    if (!__atomic_load_n(&m_initialized, __ATOMIC_ACQUIRE)) LazyInit();
    if (size <= kLargestSmallBlock) return AllocSmall(size, size + kSmallHeader);
    return AllocBig(size, 16);
}

void* NH_Heap::AllocMem(size_t size) {
    if (AllocationRefused(this) && !RunNewHandlers()) return nullptr;
    return AllocFresh(size);
}

void* NH_Heap::Realloc(void* p, size_t size, int zero) {
    if (!p) return Alloc(size, zero);
    if (size > kMaxRequest) return nullptr;
    if (size > GetBlockSize(p) && AllocationRefused(this) && !RunNewHandlers()) return nullptr;
    bool zeroGrowth = zero || (m_flags & kZeroFill);
    size_t old;
    if (IsAlt(p)) {
        TAltBlock* block = AltHeader(p);
        NH_Heap* owner = block->owner;
        old = block->size;
        if (block->kind != kReservedBlock && block->alignOffset == 0 && size > old) {
            // Growth inside the chunk's own slack (below the split threshold, so the locked
            // path would not split either) touches nothing another thread reads: no lock.
            // This is what exact-size growth, such as a string appended to, hits most.
            size_t chunkSize = ChunkSize(ChunkOf(block));
            size_t wanted = ChunkSizeFor(RoundUp(size + sizeof(TAltBlock), 16));
            if (wanted <= chunkSize && chunkSize - wanted < kSplitRest) {
                block->size = size;
                if (zeroGrowth) std::memset(Bytes(p) + old, 0, size - old);
                return p;
            }
        }
        bool inPlace;
        {
            THeapGuard guard(owner->m_lock, owner->LockActive());
            if (block->kind == kReservedBlock) {
                inPlace = owner->ResizeReservedInPlace(block, size);
                if (!inPlace) return nullptr;  // a reservation does not move
            } else {
                inPlace =
                    block->alignOffset == 0 &&
                    owner->ResizeBigInPlace(ChunkOf(block), RoundUp(size + sizeof(TAltBlock), 16));
                if (!inPlace && owner == this) {
                    if (void* moved = owner->MoveBigPageSet(block, size)) {
                        if (zeroGrowth && size > old)
                            std::memset(Bytes(moved) + old, 0, size - old);
                        return moved;
                    }
                }
            }
            if (inPlace) block->size = size;
        }
        if (!inPlace) {
            void* moved = AllocFresh(size);
            if (!moved) return nullptr;
            std::memcpy(moved, p, std::min(old, size));
            FreeMem(p);
            p = moved;
        }
    } else {
        TSmallBlock* block = SmallHeader(p);
        old = block->size;
        if (kClassSizes[block->sizeClass] < size + kSmallHeader) {
            void* moved = AllocFresh(size);
            if (!moved) return nullptr;
            std::memcpy(moved, p, old);
            FreeMem(p);
            p = moved;
        } else {
            block->size = static_cast<uint16_t>(size);
        }
    }
    if (zeroGrowth && size > old) std::memset(Bytes(p) + old, 0, size - old);
    return p;
}

void NH_Heap::FreeAlt(TAltBlock* block) {
    if (__atomic_load_n(&m_bypass, __ATOMIC_RELAXED)) return;
    THeapGuard guard(m_lock, LockActive());
    if (block->kind == kReservedBlock) {
        UnlinkAlt(block);
        ReleaseReserved(block);
        return;
    }
    TBigChunk* chunk = ChunkOf(block);
    if (ChunkFree(chunk)) return;  // freed twice
    UnlinkAlt(block);
    ReleaseBigBlock(chunk);
}

void NH_Heap::FreeMem(void* p) {
    if (!p || __atomic_load_n(&s_globalBypassFree, __ATOMIC_RELAXED)) return;
    if (IsAlt(p)) {
        TAltBlock* block = AltHeader(p);
        block->owner->FreeAlt(block);
    } else {
        TSmallBlock* block = SmallHeader(p);
        TRegionInfo& info = TRegionMap::Info(block);
        info.owner->FreeSmall(block, info.inUse);
    }
}

size_t NH_Heap::GetBlockSize(const void* p) {
    if (!p) return 0;
    return IsAlt(p) ? AltHeader(p)->size : SmallHeader(p)->size;
}

void* NH_Heap::Alloc(size_t size, int zero) {
    void* p = AllocMem(size);
    if (p && zero && !(m_flags & kZeroFill)) std::memset(p, 0, size);
    return p;
}

void* NH_Heap::AllocArray(size_t count, size_t size, int zero) {
    size_t total;
    if (__builtin_mul_overflow(count, size, &total)) return nullptr;
    return Alloc(total, zero);
}

void* NH_Heap::AllocAligned(size_t alignment, size_t size, int zero) {
    if (alignment <= 16) return Alloc(size, zero);
    if (alignment & (alignment - 1)) return nullptr;
    if (AllocationRefused(this) && !RunNewHandlers()) return nullptr;
    if (!__atomic_load_n(&m_initialized, __ATOMIC_ACQUIRE)) LazyInit();
    void* p = AllocBig(size, alignment);
    if (p && zero && !(m_flags & kZeroFill)) std::memset(p, 0, size);
    return p;
}

void NH_Heap::Clear() {
    {
        THeapGuard guard(m_lock, LockActive());
        for (TAltBlock* block = m_altBlocks.First(); block;) {
            TAltBlock* next = block->next;
            if (block->kind == kReservedBlock) ReleaseReserved(block);
            block = next;
        }
        for (TPageSet* set = m_bigPageSets.First(); set;) {
            TPageSet* next = set->next;
            ReleaseMarked(set, set->reservedEnd - Bytes(set));
            set = next;
        }
        ResetLists();
    }
    NH_AHeap::Clear();
}

NH_Heap& NH_Heap::Default() {
    NH_Heap* heap = t_defaultHeap;
    if (!heap) {
        heap = &DefaultHeapObject();
        t_defaultHeap = heap;
    }
    return *heap;
}

void NH_Heap::SetDefault(NH_Heap& heap) {
    t_defaultHeap = &heap;
}

namespace cvq::detail {

void* DefaultAlloc(size_t size) {
    return NH_Heap::Default().AllocMem(size);
}
void* DefaultRealloc(void* p, size_t size) {
    return NH_Heap::Default().Realloc(p, size, 0);
}
void* DefaultAllocAligned(size_t alignment, size_t size, int zero) {
    return NH_Heap::Default().AllocAligned(alignment, size, zero);
}
size_t BlockSize(const void* p) {
    return NH_Heap::GetBlockSize(p);
}

// free(): one look at the region map both decides that the block is the library's and
// finds its page set's record.
void FreeLibraryBlock(void* p) {
    uintptr_t address = reinterpret_cast<uintptr_t>(p);
    if (address >> 48) return;
    uint64_t* leaf = __atomic_load_n(&TRegionMap::m_leaves[address >> 32], __ATOMIC_ACQUIRE);
    if (!leaf) return;
    uint32_t region = static_cast<uint32_t>(address >> 16) & 0xFFFF;
    if (!((__atomic_load_n(&leaf[region >> 6], __ATOMIC_RELAXED) >> (region & 63)) & 1)) return;
    if (__atomic_load_n(&NH_AHeap::s_globalBypassFree, __ATOMIC_RELAXED)) return;
    if (IsAlt(p)) {
        TAltBlock* block = AltHeader(p);
        block->owner->FreeAlt(block);
        return;
    }
    // A small block never starts a region (the page-set header does), so its header
    // lies in the same region as the user address.
    TRegionInfo& info = reinterpret_cast<TRegionInfo*>(reinterpret_cast<char*>(leaf) +
                                                       TRegionMap::kLeafBitmapBytes)[region];
    info.owner->FreeSmall(SmallHeader(p), info.inUse);
}

}  // namespace cvq::detail
