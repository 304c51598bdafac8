// NH_Heap: size classes, big page sets with boundary tags, reserved blocks.
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/internal/HeapInternals.h>

#include <algorithm>
#include <cstring>

using namespace cvq::detail;
namespace platform = cvq::platform;

namespace {

__attribute__((tls_model("initial-exec"))) thread_local NH_Heap* t_defaultHeap = nullptr;

inline TPageSet* PageSetOf(const void* p) {
    return reinterpret_cast<TPageSet*>(reinterpret_cast<uintptr_t>(p) & kGranularityMask);
}
inline char* Bytes(void* p) {
    return static_cast<char*>(p);
}
inline size_t& InUse(const TPageSet* set) {
    return TRegionMap::Info(set).inUse;
}
inline void SetOwner(TPageSet* set, NH_Heap* heap) {
    set->word7 = reinterpret_cast<uintptr_t>(heap);
    TRegionMap::Info(set) = {heap, 0};
}
inline TSmallBlock* SmallHeader(const void* p) {
    return reinterpret_cast<TSmallBlock*>(const_cast<char*>(static_cast<const char*>(p)) -
                                          kSmallHeader);
}
inline TAltBlock* AltHeader(const void* p) {
    return reinterpret_cast<TAltBlock*>(const_cast<char*>(static_cast<const char*>(p)) -
                                        sizeof(TAltBlock));
}
inline void* UserOf(TAltBlock* block) {
    return block + 1;
}
inline bool IsAlt(const void* p) {
    return static_cast<const uint8_t*>(p)[-1] & kAltBlockFlag;
}

inline size_t ChunkSize(const TBigChunk* chunk) {
    return chunk->size & ~size_t(1);
}
inline bool ChunkFree(const void* chunk) {
    return *static_cast<const size_t*>(chunk) & 1;
}
inline size_t* Footer(void* chunk, size_t size) {
    return reinterpret_cast<size_t*>(Bytes(chunk) + size - kChunkFooter);
}
inline void WriteTags(TBigChunk* chunk, size_t size, bool isFree) {
    chunk->size = size | (isFree ? 1 : 0);
    *Footer(chunk, size) = chunk->size;
}
inline TBigChunk* ChunkOf(TAltBlock* block) {
    return reinterpret_cast<TBigChunk*>(reinterpret_cast<char*>(block) - block->alignOffset -
                                        kChunkHeader);
}
// Big chunks are multiples of 64 bytes, so every big block starts on a cache line and
// two of them lie a multiple of 64 bytes apart. Measured with memcpy between two blocks
// allocated one after the other: a quarter faster than 16-byte steps, whose copies
// split every load or store over two lines, and clear of the 16..63-byte distances
// modulo 4 KB at which loads alias the stores just made.
inline size_t ChunkSizeFor(size_t need) {
    return std::max(RoundUp(need + kChunkHeader + kChunkFooter, 64), kMinChunk);
}
inline char* FirstChunk(TPageSet* set) {
    return Bytes(set) + kBigPageSetHeader;
}

// Largest requested size that cannot overflow the size arithmetic.
constexpr size_t kMaxRequest = size_t(1) << 47;

}  // namespace

NH_Heap::NH_Heap(int32_t flags, const char* name) : NH_AHeap(name) {
    if (Init(flags | 0x20000000, 0)) ResetLists();
    THeapAccess::Register(*this);
}

NH_Heap::~NH_Heap() {
    if (!(m_flags & kStaticHeap)) NH_Heap::Clear();
}

void NH_Heap::ResetLists() {
    m_altBlocks = nullptr;
    m_reservedBlockCount = 0;
    std::fill(std::begin(m_freeLists), std::end(m_freeLists), nullptr);
    m_bigPageSets = nullptr;
    m_bigFreeChunks = nullptr;
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

// Once several threads share the heap, lines that the lock holder will touch are
// fetched before the lock is taken, which keeps the time under the lock short. The
// reads race with the holder by design (a stale pointer only wastes the prefetch), so
// the thread sanitizer does not see them.
#if defined(__SANITIZE_THREAD__)
#define CVQ_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CVQ_TSAN 1
#endif
#endif

__attribute__((always_inline)) inline bool NH_Heap::ContendedPath() const {
#if defined(CVQ_TSAN)
    return false;
#else
    return __atomic_load_n(&m_lock.m_bias, __ATOMIC_RELAXED) == platform::TSpinLock::kRevoked;
#endif
}

template <class T>
__attribute__((always_inline)) inline void PrefetchForWrite(T* const& slot) {
#if !defined(CVQ_TSAN)
    if (T* p = *const_cast<T* volatile*>(&slot)) __builtin_prefetch(p, 1);
#else
    (void)slot;
#endif
}

__attribute__((always_inline)) inline void PrefetchForWrite(size_t* p) {
    __builtin_prefetch(p, 1);
}

// The fast path: a list pop under the lock. Carving lives out of line.
__attribute__((always_inline)) inline void* NH_Heap::AllocSmall(size_t size, size_t needed) {
    int cls = kSizeToClass[needed];
    TSmallBlock* block;
    if (ContendedPath()) PrefetchForWrite(m_freeLists[cls]);
    {
        THeapGuard guard(m_lock, LockActive());
        block = m_freeLists[cls];
        if (__builtin_expect(block != nullptr, 1)) {
            // The new head's back link is left stale: a head is recognized by the list
            // head itself, which saves touching a second block.
            m_freeLists[cls] = block->next;
            InUse(PageSetOf(block))++;
        } else {
            block = CarveSmall(cls);
            if (!block) return nullptr;
        }
        block->flags = 0;
        block->size = static_cast<uint16_t>(size);
    }
    void* user = Bytes(block) + kSmallHeader;
    if (__builtin_expect(m_flags & kZeroFill, 0)) std::memset(user, 0, size);
    return user;
}

// Called with the heap's lock held.
__attribute__((noinline)) TSmallBlock* NH_Heap::CarveSmall(int cls) {
    size_t classSize = kClassSizes[cls];
    TPageSet* set;
    for (;;) {
        set = m_pageSets;
        if (!set) {
            set = AllocPageSet(kSmallPageSetHeader);
            if (!set) {
                if (!HandleOutOfMemoryMT()) return nullptr;
                continue;
            }
            SetOwner(set, this);
        }
        if (set->remaining >= classSize) break;
        if (set->committedEnd < set->reservedEnd) {
            size_t page = platform::PageSize();
            if (!platform::CommitPages(set->committedEnd, page)) {
                if (!HandleOutOfMemoryMT()) return nullptr;
                continue;
            }
            set->committedEnd += page;
            set->remaining += page;
        } else if (InUse(set)) {
            CutTail(set);
            TPageSet* fresh = AllocPageSet(kSmallPageSetHeader);
            if (!fresh) {
                if (!HandleOutOfMemoryMT()) return nullptr;
                continue;
            }
            SetOwner(fresh, this);
        } else {
            // Nothing of it is in use: start carving it again from the bottom.
            UnlinkCarvedBlocks(set);
            set->remaining = set->committedEnd - (Bytes(set) + kSmallPageSetHeader);
        }
    }
    TSmallBlock* block = reinterpret_cast<TSmallBlock*>(set->committedEnd - set->remaining);
    set->remaining -= classSize;
    InUse(set)++;
    block->sizeClass = static_cast<uint8_t>(cls);
    block->unused = 0;
    return block;
}

void* NH_Heap::AllocMem(size_t size) {
    if (!__atomic_load_n(&m_initialized, __ATOMIC_ACQUIRE)) LazyInit();
    if (size <= kLargestSmallBlock) return AllocSmall(size, size + kSmallHeader);
    return AllocBig(size, 16);
}

__attribute__((always_inline)) inline void NH_Heap::PushSmall(TSmallBlock* block, int cls) {
    block->flags = kFreeBlockFlag;
    block->sizeClass = static_cast<uint8_t>(cls);
    block->prev = nullptr;
    block->next = m_freeLists[cls];
    if (block->next) block->next->prev = block;
    m_freeLists[cls] = block;
}

void NH_Heap::UnlinkSmall(TSmallBlock* block) {
    if (m_freeLists[block->sizeClass] == block)
        m_freeLists[block->sizeClass] = block->next;
    else
        block->prev->next = block->next;
    if (block->next) block->next->prev = block->prev;
}

void NH_Heap::UnlinkCarvedBlocks(TPageSet* set) {
    char* end = set->committedEnd - set->remaining;
    for (char* p = Bytes(set) + kSmallPageSetHeader; p < end;) {
        TSmallBlock* block = reinterpret_cast<TSmallBlock*>(p);
        if (block->flags & kFreeBlockFlag) UnlinkSmall(block);
        p += kClassSizes[block->sizeClass];
    }
}

void NH_Heap::CutTail(TPageSet* set) {
    while (set->remaining >= kClassSizes[0]) {
        size_t remaining = std::min<size_t>(set->remaining, 1024);
        int cls = kSizeToClass[remaining];
        if (kClassSizes[cls] > remaining) --cls;
        TSmallBlock* block = reinterpret_cast<TSmallBlock*>(set->committedEnd - set->remaining);
        set->remaining -= kClassSizes[cls];
        block->unused = 0;
        block->size = 0;
        PushSmall(block, cls);
    }
}

void* NH_Heap::AllocBig(size_t size, size_t alignment) {
    if (size > kMaxRequest) return nullptr;
    size_t need = RoundUp(size + sizeof(TAltBlock), 16) + (alignment > 16 ? alignment : 0);
    TAltBlock* block;
    {
        THeapGuard guard(m_lock, LockActive());
        TBigChunk* chunk;
        while (!(chunk = reinterpret_cast<TBigChunk*>(AllocBigBlock(need, alignment)))) {
            if (!HandleOutOfMemoryMT()) return nullptr;
        }
        char* data = Bytes(chunk) + kChunkHeader;
        uintptr_t user = reinterpret_cast<uintptr_t>(data + sizeof(TAltBlock));
        user = RoundUp(user, std::max<size_t>(alignment, 16));
        block = reinterpret_cast<TAltBlock*>(user - sizeof(TAltBlock));
        block->alignOffset = reinterpret_cast<char*>(block) - data;
        block->owner = this;
        block->size = size;
        block->kind = kChunkBlock;
        block->zero[0] = block->zero[1] = block->zero[2] = 0;
        block->flags = kAltBlockFlag;
        LinkAlt(block);
    }
    if (m_flags & kZeroFill) std::memset(UserOf(block), 0, size);
    return UserOf(block);
}

void NH_Heap::LinkAlt(TAltBlock* block) {
    block->prev = nullptr;
    block->next = m_altBlocks;
    if (m_altBlocks) m_altBlocks->prev = block;
    m_altBlocks = block;
}

void NH_Heap::UnlinkAlt(TAltBlock* block) {
    if (block->prev)
        block->prev->next = block->next;
    else
        m_altBlocks = block->next;
    if (block->next) block->next->prev = block->prev;
}

void NH_Heap::PushFreeChunk(TBigChunk* chunk) {
    chunk->prev = nullptr;
    chunk->next = m_bigFreeChunks;
    if (m_bigFreeChunks) m_bigFreeChunks->prev = chunk;
    m_bigFreeChunks = chunk;
}

void NH_Heap::UnlinkFreeChunk(TBigChunk* chunk) {
    if (chunk->prev)
        chunk->prev->next = chunk->next;
    else
        m_bigFreeChunks = chunk->next;
    if (chunk->next) chunk->next->prev = chunk->prev;
}

TBigChunk* NH_Heap::NewFreeChunk(char* start, size_t size, TPageSet* set) {
    TBigChunk* chunk = reinterpret_cast<TBigChunk*>(start);
    chunk->owner = set;
    WriteTags(chunk, size, true);
    PushFreeChunk(chunk);
    return chunk;
}

// Returns the chunk (its header), or null when no memory could be had.
void* NH_Heap::AllocBigBlock(size_t need, size_t) {
    size_t chunkSize = ChunkSizeFor(need);
    size_t page = platform::PageSize();
    for (;;) {
        for (TBigChunk* chunk = m_bigFreeChunks; chunk; chunk = chunk->next) {
            size_t size = ChunkSize(chunk);
            if (size < chunkSize) continue;
            UnlinkFreeChunk(chunk);
            if (size - chunkSize >= kSplitRest) {
                NewFreeChunk(Bytes(chunk) + chunkSize, size - chunkSize, chunk->owner);
                size = chunkSize;
            }
            WriteTags(chunk, size, false);
            chunk->owner->inUse++;
            return chunk;
        }
        bool grown = false;
        for (TPageSet* set = m_bigPageSets; set; set = set->next) {
            if (size_t(set->reservedEnd - set->committedEnd) < chunkSize) continue;
            size_t grow =
                std::min(RoundUp(chunkSize, page), size_t(set->reservedEnd - set->committedEnd));
            if (!platform::CommitPages(set->committedEnd, grow)) return nullptr;
            char* area = set->committedEnd;
            set->committedEnd += grow;
            size_t before = *reinterpret_cast<size_t*>(area - kChunkFooter);
            if (before & 1) {
                // The new pages extend the free chunk that ends there.
                TBigChunk* last = reinterpret_cast<TBigChunk*>(area - (before & ~size_t(1)));
                WriteTags(last, ChunkSize(last) + grow, true);
            } else {
                NewFreeChunk(area, grow, set);
            }
            grown = true;
            break;
        }
        if (grown) continue;
        size_t reserve =
            RoundUp(std::max(chunkSize + kBigPageSetHeader, kBigPageSetUnit), kBigPageSetUnit);
        char* base = ReserveMarked(reserve);
        if (!base) return nullptr;
        size_t commit = RoundUp(chunkSize + kBigPageSetHeader, page);
        if (!platform::CommitPages(base, commit)) {
            ReleaseMarked(base, reserve);
            return nullptr;
        }
        TPageSet* set = reinterpret_cast<TPageSet*>(base);
        std::memset(set, 0, kBigPageSetHeader);
        set->committedEnd = base + commit;
        set->reservedEnd = base + reserve;
        set->next = m_bigPageSets;
        if (m_bigPageSets) m_bigPageSets->prev = set;
        m_bigPageSets = set;
        NewFreeChunk(FirstChunk(set), commit - kBigPageSetHeader, set);
    }
}

void NH_Heap::ReleaseBigPageSet(TPageSet* set) {
    if (set->prev)
        set->prev->next = set->next;
    else
        m_bigPageSets = set->next;
    if (set->next) set->next->prev = set->prev;
    ReleaseMarked(set, set->reservedEnd - Bytes(set));
}

void NH_Heap::ReleaseBigBlock(TBigChunk* chunk) {
    TPageSet* set = chunk->owner;
    char* start = Bytes(chunk);
    size_t size = ChunkSize(chunk);
    if (start > FirstChunk(set)) {
        size_t before = *reinterpret_cast<size_t*>(start - kChunkFooter);
        if (before & 1) {
            TBigChunk* previous = reinterpret_cast<TBigChunk*>(start - (before & ~size_t(1)));
            UnlinkFreeChunk(previous);
            start = Bytes(previous);
            size += ChunkSize(previous);
        }
    }
    char* after = start + size;
    if (after < set->committedEnd && ChunkFree(after)) {
        TBigChunk* next = reinterpret_cast<TBigChunk*>(after);
        UnlinkFreeChunk(next);
        size += ChunkSize(next);
    }
    TBigChunk* merged = NewFreeChunk(start, size, set);
    if (--set->inUse == 0 &&
        !(set == m_bigPageSets && set->committedEnd - Bytes(set) <= ptrdiff_t(kGranularity))) {
        UnlinkFreeChunk(merged);
        ReleaseBigPageSet(set);
    }
}

// Grows or shrinks a chunk in place; false (chunk unchanged in what it holds) when it
// must move.
bool NH_Heap::ResizeBigInPlace(TBigChunk* chunk, size_t need) {
    TPageSet* set = chunk->owner;
    size_t page = platform::PageSize();
    size_t wanted = ChunkSizeFor(need);
    size_t size = ChunkSize(chunk);
    if (wanted > size) {
        char* end = Bytes(chunk) + size;
        if (end == set->committedEnd) {
            size_t grow = RoundUp(wanted - size, page);
            if (set->committedEnd + grow <= set->reservedEnd &&
                platform::CommitPages(set->committedEnd, grow)) {
                set->committedEnd += grow;
                size += grow;
            }
        } else if (ChunkFree(end)) {
            TBigChunk* next = reinterpret_cast<TBigChunk*>(end);
            size_t nextSize = ChunkSize(next);
            char* nextEnd = end + nextSize;
            if (size + nextSize >= wanted) {
                UnlinkFreeChunk(next);
                size += nextSize;
            } else if (nextEnd == set->committedEnd) {
                size_t grow = RoundUp(wanted - size - nextSize, page);
                if (set->committedEnd + grow <= set->reservedEnd &&
                    platform::CommitPages(set->committedEnd, grow)) {
                    set->committedEnd += grow;
                    UnlinkFreeChunk(next);
                    size += nextSize + grow;
                }
            }
        }
        WriteTags(chunk, size, false);
        if (size < wanted) return false;
    }
    if (size - wanted >= kSplitRest) {
        char* rest = Bytes(chunk) + wanted;
        size_t restSize = size - wanted;
        char* after = rest + restSize;
        if (after < set->committedEnd && ChunkFree(after)) {
            TBigChunk* next = reinterpret_cast<TBigChunk*>(after);
            UnlinkFreeChunk(next);
            restSize += ChunkSize(next);
        }
        WriteTags(chunk, wanted, false);
        NewFreeChunk(rest, restSize, set);
    }
    return true;
}

// A block that has its big page set to itself and must grow beyond the reservation
// moves with its whole page set: the pages are remapped into a larger reservation
// instead of copied. Null (nothing changed) when that is not possible.
void* NH_Heap::MoveBigPageSet(TAltBlock* block, size_t size) {
    TBigChunk* chunk = ChunkOf(block);
    TPageSet* set = chunk->owner;
    if (set->inUse != 1 || block->alignOffset != 0) return nullptr;
    size_t need = RoundUp(size + sizeof(TAltBlock), 16);
    size_t committed = set->committedEnd - Bytes(set);
    size_t oldReserve = set->reservedEnd - Bytes(set);
    size_t chunkOffset = Bytes(chunk) - Bytes(set);
    size_t reserve =
        RoundUp(std::max(chunkOffset + ChunkSizeFor(need) + kChunkFooter, kBigPageSetUnit),
                kBigPageSetUnit);
    char* base = ReserveMarked(reserve);
    if (!base) return nullptr;
    // Commit the growth first, so that nothing can fail once the pages have moved.
    size_t end = chunkOffset + ChunkSizeFor(need);
    size_t extra = end > committed ? RoundUp(end - committed, platform::PageSize()) : 0;
    if (extra && !platform::CommitPages(base + committed, extra)) {
        ReleaseMarked(base, reserve);
        return nullptr;
    }
    // Nothing outside may point into the page set while it moves.
    auto forEachFree = [](TPageSet* pages, auto&& fn) {
        for (char* p = FirstChunk(pages); p < pages->committedEnd;) {
            TBigChunk* c = reinterpret_cast<TBigChunk*>(p);
            p += ChunkSize(c);
            if (ChunkFree(c)) fn(c);
        }
    };
    forEachFree(set, [this](TBigChunk* c) { UnlinkFreeChunk(c); });
    UnlinkAlt(block);
    if (!platform::MovePages(set, committed, base)) {
        forEachFree(set, [this](TBigChunk* c) { PushFreeChunk(c); });
        LinkAlt(block);
        ReleaseMarked(base, reserve);
        return nullptr;
    }
    TPageSet* moved = reinterpret_cast<TPageSet*>(base);
    if (moved->prev)
        moved->prev->next = moved;
    else
        m_bigPageSets = moved;
    if (moved->next) moved->next->prev = moved;
    moved->committedEnd = base + committed;
    moved->reservedEnd = base + reserve;
    for (char* p = FirstChunk(moved); p < moved->committedEnd;) {
        TBigChunk* c = reinterpret_cast<TBigChunk*>(p);
        c->owner = moved;
        p += ChunkSize(c);
        if (ChunkFree(c)) PushFreeChunk(c);
    }
    ReleaseMarked(set, oldReserve);  // what is left there: the inaccessible tail
    if (extra) {
        char* area = moved->committedEnd;
        moved->committedEnd += extra;
        size_t before = *reinterpret_cast<size_t*>(area - kChunkFooter);
        if (before & 1) {
            TBigChunk* last = reinterpret_cast<TBigChunk*>(area - (before & ~size_t(1)));
            WriteTags(last, ChunkSize(last) + extra, true);
        } else {
            NewFreeChunk(area, extra, moved);
        }
    }
    TBigChunk* movedChunk = reinterpret_cast<TBigChunk*>(base + chunkOffset);
    TAltBlock* movedBlock = reinterpret_cast<TAltBlock*>(Bytes(movedChunk) + kChunkHeader);
    LinkAlt(movedBlock);
    ResizeBigInPlace(movedChunk, need);  // absorbs the committed growth; commits nothing
    movedBlock->size = size;
    return UserOf(movedBlock);
}

void* NH_Heap::AllocWithReserve(size_t reserve, size_t size, int zero) {
    if (size > kMaxRequest || reserve > kMaxRequest) return nullptr;
    if (!__atomic_load_n(&m_initialized, __ATOMIC_ACQUIRE)) LazyInit();
    reserve = std::max(reserve, size);
    size_t page = platform::PageSize();
    size_t reserved =
        RoundUp(RoundUp(reserve + sizeof(TAltBlock), 16) + sizeof(TReservedRegion), kGranularity);
    size_t committed =
        RoundUp(RoundUp(size + sizeof(TAltBlock), 16) + sizeof(TReservedRegion), page);
    char* region;
    for (;;) {
        region = ReserveMarked(reserved);
        if (region && platform::CommitPages(region, committed)) break;
        if (region) ReleaseMarked(region, reserved);
        if (!HandleOutOfMemory()) return nullptr;
    }
    TReservedRegion* head = reinterpret_cast<TReservedRegion*>(region);
    head->requested = size;
    head->reserved = reserved;
    head->committed = committed;
    head->unused = 0;
    TAltBlock* block = reinterpret_cast<TAltBlock*>(head + 1);
    block->alignOffset = 0;
    block->owner = this;
    block->size = size;
    block->kind = kReservedBlock;
    block->zero[0] = block->zero[1] = block->zero[2] = 0;
    block->flags = kAltBlockFlag;
    {
        THeapGuard guard(m_lock, LockActive());
        LinkAlt(block);
        ++m_reservedBlockCount;
    }
    (void)zero;  // fresh pages read as zero
    return UserOf(block);
}

bool NH_Heap::ResizeReservedInPlace(TAltBlock* block, size_t size) {
    TReservedRegion* head = reinterpret_cast<TReservedRegion*>(block) - 1;
    char* region = reinterpret_cast<char*>(head);
    size_t page = platform::PageSize();
    size_t committed =
        RoundUp(RoundUp(size + sizeof(TAltBlock), 16) + sizeof(TReservedRegion), page);
    if (committed > head->reserved) return false;
    if (committed > head->committed) {
        while (!platform::CommitPages(region + head->committed, committed - head->committed)) {
            if (!HandleOutOfMemoryMT()) return false;
        }
    } else if (committed < head->committed) {
        platform::DecommitPages(region + committed, head->committed - committed);
    }
    head->committed = committed;
    head->requested = size;
    return true;
}

void* NH_Heap::Realloc(void* p, size_t size, int zero) {
    if (!p) return Alloc(size, zero);
    if (size > kMaxRequest) return nullptr;
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
                    if (void* moved = MoveBigPageSet(block, size)) {
                        if (zeroGrowth && size > old)
                            std::memset(Bytes(moved) + old, 0, size - old);
                        return moved;
                    }
                }
            }
            if (inPlace) block->size = size;
        }
        if (!inPlace) {
            void* moved = AllocMem(size);
            if (!moved) return nullptr;
            std::memcpy(moved, p, std::min(old, size));
            FreeMem(p);
            p = moved;
        }
    } else {
        TSmallBlock* block = SmallHeader(p);
        old = block->size;
        if (kClassSizes[block->sizeClass] < size + kSmallHeader) {
            void* moved = AllocMem(size);
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

__attribute__((always_inline)) inline void NH_Heap::FreeSmall(TSmallBlock* block, size_t& inUse) {
    if (__atomic_load_n(&m_bypass, __ATOMIC_RELAXED)) return;
    if (ContendedPath()) {
        PrefetchForWrite(m_freeLists[block->sizeClass]);
        PrefetchForWrite(&inUse);
    }
    THeapGuard guard(m_lock, LockActive());
    if (block->flags & kFreeBlockFlag) return;  // freed twice: the lists stay intact
    PushSmall(block, block->sizeClass);
    if (__builtin_expect(--inUse == 0, 0)) ReleaseEmptyPageSet(PageSetOf(block));
}

// Called with the lock held, for a page set whose last block was just freed.
__attribute__((noinline)) void NH_Heap::ReleaseEmptyPageSet(TPageSet* set) {
    if (set == m_pageSets) return;  // the one being carved stays
    UnlinkCarvedBlocks(set);
    ReleasePageSet(set);
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

void NH_Heap::ReleaseReserved(TAltBlock* block) {
    TReservedRegion* head = reinterpret_cast<TReservedRegion*>(block) - 1;
    --m_reservedBlockCount;
    ReleaseMarked(head, head->reserved);
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
    if (alignment & (alignment - 1) || alignment > kGranularity * 16) return nullptr;
    if (!__atomic_load_n(&m_initialized, __ATOMIC_ACQUIRE)) LazyInit();
    void* p = AllocBig(size, alignment);
    if (p && zero && !(m_flags & kZeroFill)) std::memset(p, 0, size);
    return p;
}

void* NH_Heap::StoreData(const void* src, size_t len) {
    void* p = AllocMem(len);
    if (p && src) std::memcpy(p, src, len);
    return p;
}

char* NH_Heap::StoreString(const char* src, int32_t len) {
    size_t length = len < 0 ? (src ? std::strlen(src) : 0) : size_t(len);
    char* p = static_cast<char*>(AllocMem(length + 1));
    if (!p) return nullptr;
    if (src)
        std::memcpy(p, src, length);
    else
        std::memset(p, 0, length);
    p[length] = 0;
    return p;
}

void* NH_Heap::Cut(void* p, size_t pos, size_t count) {
    size_t size = GetBlockSize(p);
    pos = std::min(pos, size);
    count = std::min(count, size - pos);
    if (count == 0) return p;
    std::memmove(Bytes(p) + pos, Bytes(p) + pos + count, size - pos - count);
    return Realloc(p, size - count, 0);
}

void* NH_Heap::ExpandBy(void* p, size_t count, int zero) {
    if (count == 0) return p;
    return Realloc(p, GetBlockSize(p) + count, zero);
}

void* NH_Heap::Insert(void* p, size_t pos, const void* src, size_t count) {
    if (count == 0) return p;
    size_t size = GetBlockSize(p);
    pos = std::min(pos, size);
    // A source inside the block is found again by its offset once the block has moved.
    const char* from = static_cast<const char*>(src);
    bool inside = from && from >= Bytes(p) && from < Bytes(p) + size;
    size_t offset = inside ? size_t(from - Bytes(p)) : 0;
    void* grown = Realloc(p, size + count, 0);
    if (!grown) return nullptr;
    char* base = Bytes(grown);
    std::memmove(base + pos + count, base + pos, size - pos);
    if (inside) {
        size_t before = offset < pos ? std::min(count, pos - offset) : 0;
        std::memmove(base + pos, base + offset, before);
        std::memmove(base + pos + before, base + std::max(offset, pos) + count, count - before);
    } else if (from) {
        std::memcpy(base + pos, from, count);
    } else {
        std::memset(base + pos, 0, count);
    }
    return grown;
}

void* NH_Heap::Trim(void* p, size_t offset, size_t length) {
    size_t size = GetBlockSize(p);
    offset = std::min(offset, size);
    length = std::min(length, size - offset);
    if (offset) std::memmove(p, Bytes(p) + offset, length);
    return Realloc(p, length, 0);
}

void NH_Heap::ForEach(void (*fn)(void* block, void* user), void* user) {
    for (TPageSet* set = m_pageSets; set; set = set->next) {
        char* end = set->committedEnd - set->remaining;
        for (char* p = Bytes(set) + kSmallPageSetHeader; p < end;) {
            TSmallBlock* block = reinterpret_cast<TSmallBlock*>(p);
            p += kClassSizes[block->sizeClass];
            if (!(block->flags & kFreeBlockFlag)) fn(Bytes(block) + kSmallHeader, user);
        }
    }
    for (TAltBlock* block = m_altBlocks; block;) {
        TAltBlock* next = block->next;
        fn(UserOf(block), user);
        block = next;
    }
}

void* NH_Heap::FindFirstThat(int (*fn)(void* block, void* user), void* user) {
    for (TPageSet* set = m_pageSets; set; set = set->next) {
        char* end = set->committedEnd - set->remaining;
        for (char* p = Bytes(set) + kSmallPageSetHeader; p < end;) {
            TSmallBlock* block = reinterpret_cast<TSmallBlock*>(p);
            p += kClassSizes[block->sizeClass];
            if (!(block->flags & kFreeBlockFlag) && fn(Bytes(block) + kSmallHeader, user))
                return Bytes(block) + kSmallHeader;
        }
    }
    for (TAltBlock* block = m_altBlocks; block; block = block->next)
        if (fn(UserOf(block), user)) return UserOf(block);
    return nullptr;
}

void NH_Heap::Clear() {
    {
        THeapGuard guard(m_lock, LockActive());
        for (TAltBlock* block = m_altBlocks; block;) {
            TAltBlock* next = block->next;
            if (block->kind == kReservedBlock) ReleaseReserved(block);
            block = next;
        }
        while (m_bigPageSets) {
            TPageSet* set = m_bigPageSets;
            m_bigPageSets = set->next;
            ReleaseMarked(set, set->reservedEnd - Bytes(set));
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
