// commonvcqx/memory/Heap.h
//
// NH_Heap: the library's general heap, built directly on virtual memory. Requests of
// up to 1016 bytes come from 41 size classes with exact free lists; larger ones from
// big page sets of boundary-tagged chunks (first fit, coalescing, growth in place), or
// from a private reservation that grows in place (AllocWithReserve). Every block is
// 16-byte aligned and is freed by its address alone.
//
//   NH_Heap heap(NH_AHeap::kMultithreaded);
//   char* text = static_cast<char*>(heap.AllocMem(100));
//   text = static_cast<char*>(heap.Realloc(text, 5000, 1));   // grown part zeroed
//   NH_Heap::FreeMem(text);
#pragma once

#include <commonvcqx/base/Visibility.h>
#include <commonvcqx/memory/AHeap.h>

namespace cvq::detail {
struct TSmallBlock;
struct TBigChunk;
struct TAltBlockLinks {
    using TElement = TAltBlock;
    static TAltBlock*& Next(TAltBlock& e) noexcept;
    static TAltBlock*& Prev(TAltBlock& e) noexcept;
};
struct TBigChunkLinks {
    using TElement = TBigChunk;
    static TBigChunk*& Next(TBigChunk& e) noexcept;
    static TBigChunk*& Prev(TBigChunk& e) noexcept;
};
inline constexpr int kSizeClassCount = 41;
/// Free big chunks are kept in bins of sizes, four to each power of two from 1 KiB.
inline constexpr int kChunkBinCount = 64;
/// free() of the process (internal to the library).
CVQ_HIDDEN void FreeLibraryBlock(void* p);
}  // namespace cvq::detail

class NH_Heap : public NH_AHeap {
public:
    /// Largest request served as a small block.
    static constexpr size_t kLargestSmallBlock = 1016;

    /// The name is not kept.
    explicit NH_Heap(int32_t flags = 0, const char* name = nullptr);
    /// The library's own static heaps: constant-initialized, usable before start-up.
    explicit constexpr NH_Heap(cvq::detail::TStaticHeapTag tag)
        : NH_AHeap(tag),
          m_altBlocks(),
          m_reservedBlockCount(0),
          m_freeLists{},
          m_bigPageSets(),
          m_chunkBins(),
          m_chunkBinsInUse(0),
          m_freeChunkBytes(0) {}
    ~NH_Heap() override;

    /// A block of `size` bytes, or null when the out-of-memory chain gives up.
    void* AllocMem(size_t size);
    /// AllocMem, zero-filled when `zero` is non-zero.
    void* Alloc(size_t size, int zero);
    /// Alloc(count * size); null when the product overflows.
    void* AllocArray(size_t count, size_t size, int zero);
    /// A block whose address is a multiple of `alignment` (a power of two).
    void* AllocAligned(size_t alignment, size_t size, int zero);
    /// A block of `size` bytes in a private reservation of about `reserve` bytes, so
    /// that it grows in place up to that.
    void* AllocWithReserve(size_t reserve, size_t size, int zero);
    /// Small blocks for `count` requests at once, under one lock: blocks[i] receives a
    /// block of sizes[i] bytes (each at most kLargestSmallBlock), freed one by one with
    /// FreeMem like any other. Fresh room is committed a page set at a time rather
    /// than page by page. Returns how many were allocated: all, or the first ones when
    /// memory ran out.
    size_t AllocSmallBlocks(const uint32_t* sizes, size_t count, void** blocks);
    /// Resizes a block of any library heap; a moved block comes from this heap. Null
    /// (old block intact) when memory runs out. `zero` (or kZeroFill) zeroes the growth.
    void* Realloc(void* p, size_t size, int zero);

    /// Frees by address; null is ignored.
    static void Free(void* p) { FreeMem(p); }
    static void FreeMem(void* p);
    /// The size requested for the block.
    static size_t GetBlockSize(const void* p);

    void* Clone(const void* p) { return StoreData(p, GetBlockSize(p)); }
    /// `len` bytes, a copy of `src` unless it is null.
    void* StoreData(const void* src, size_t len);
    /// A zero-terminated copy of `len` characters (`len` < 0: the whole text).
    char* StoreString(const char* src, int32_t len = -1);

    // Editing helpers; each returns the possibly moved block, or null when out of
    // memory (the old block then stays intact). Positions beyond the end are clamped.
    void* Cut(void* p, size_t pos, size_t count);
    void* ExpandBy(void* p, size_t count, int zero);
    void* Insert(void* p, size_t pos, const void* src, size_t count);
    void* Append(void* p, const void* src, size_t count) {
        return Insert(p, GetBlockSize(p), src, count);
    }
    void* Prepend(void* p, const void* src, size_t count) { return Insert(p, 0, src, count); }
    void* Trim(void* p, size_t offset, size_t length);

    /// Visits every block in use: small blocks page set by page set, then the others.
    /// Takes no lock: the caller keeps other threads off the heap.
    void ForEach(void (*fn)(void* block, void* user), void* user) CVQ_NO_THREAD_SAFETY_ANALYSIS;
    void* FindFirstThat(int (*fn)(void* block, void* user),
                        void* user) CVQ_NO_THREAD_SAFETY_ANALYSIS;

    void Clear() override;

    /// The calling thread's default heap ("DefaultHeap" until SetDefault).
    static NH_Heap& Default();
    static void SetDefault(NH_Heap& heap);

private:
    // Internal to the library: the files of the heap's mechanisms call each other directly.
    CVQ_HIDDEN void ResetLists() CVQ_REQUIRES(m_lock);
    /// Files the free chunks of the big page sets into the bins again.
    void RebuildChunkBins() CVQ_REQUIRES(m_lock);
    bool ContendedPath() const;
    /// Starts a static heap on its first use, under the global heap lock.
    CVQ_HIDDEN void LazyInit() CVQ_NO_THREAD_SAFETY_ANALYSIS;
    /// AllocMem without the failure counter's step (Realloc has taken it already).
    void* AllocFresh(size_t size);
    void* AllocSmall(size_t size, size_t needed);
    /// `wanted`: bytes of blocks about to be carved, committed together when pages are.
    CVQ_HIDDEN cvq::detail::TSmallBlock* CarveSmall(int cls, size_t wanted = 0)
        CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN void* AllocBig(size_t size, size_t alignment);
    CVQ_HIDDEN void* AllocBigBlock(size_t need, size_t alignment) CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN cvq::detail::TBigChunk* NewFreeChunk(char* start, size_t size,
                                                    cvq::detail::TPageSet* set)
        CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN void PushFreeChunk(cvq::detail::TBigChunk* chunk) CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN void UnlinkFreeChunk(cvq::detail::TBigChunk* chunk) CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN void AddCommittedPages(cvq::detail::TPageSet* set, size_t size) CVQ_REQUIRES(m_lock);
    /// A free chunk of at least `chunkSize` bytes, still linked, or null.
    CVQ_HIDDEN cvq::detail::TBigChunk* FindFreeChunk(size_t chunkSize) CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN void ReleaseBigBlock(cvq::detail::TBigChunk* chunk) CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN void PurgeFreeChunk(cvq::detail::TBigChunk* chunk) CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN size_t CommitAhead(cvq::detail::TPageSet* set, size_t need, size_t chunkSize)
        CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN bool ResizeBigInPlace(cvq::detail::TBigChunk* chunk, size_t need)
        CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN void* MoveBigPageSet(cvq::detail::TAltBlock* block, size_t size)
        CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN bool ResizeReservedInPlace(cvq::detail::TAltBlock* block, size_t size)
        CVQ_REQUIRES(m_lock);
    void LinkAlt(cvq::detail::TAltBlock* block) CVQ_REQUIRES(m_lock);
    void UnlinkAlt(cvq::detail::TAltBlock* block) CVQ_REQUIRES(m_lock);
    void PushSmall(cvq::detail::TSmallBlock* block, int cls) CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN void UnlinkSmall(cvq::detail::TSmallBlock* block) CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN void UnlinkCarvedBlocks(cvq::detail::TPageSet* set) CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN void CutTail(cvq::detail::TPageSet* set) CVQ_REQUIRES(m_lock);
    void FreeSmall(cvq::detail::TSmallBlock* block, size_t& inUse);
    CVQ_HIDDEN void ReleaseEmptyPageSet(cvq::detail::TPageSet* set) CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN void FreeAlt(cvq::detail::TAltBlock* block);
    CVQ_HIDDEN void ReleaseReserved(cvq::detail::TAltBlock* block) CVQ_REQUIRES(m_lock);
    CVQ_HIDDEN void ReleaseBigPageSet(cvq::detail::TPageSet* set) CVQ_REQUIRES(m_lock);

    // What the heap's lock guards (its page sets are the base's).
    cvq::TIntrusiveList<cvq::detail::TAltBlockLinks> m_altBlocks CVQ_GUARDED_BY(m_lock);
    int32_t m_reservedBlockCount CVQ_GUARDED_BY(m_lock);
    cvq::detail::TSmallBlock* m_freeLists[cvq::detail::kSizeClassCount] CVQ_GUARDED_BY(m_lock);
    cvq::detail::TPageSetList m_bigPageSets CVQ_GUARDED_BY(m_lock);
    cvq::TIntrusiveList<cvq::detail::TBigChunkLinks>
        m_chunkBins[cvq::detail::kChunkBinCount] CVQ_GUARDED_BY(m_lock);
    uint64_t m_chunkBinsInUse CVQ_GUARDED_BY(m_lock);  // bit b: bin b holds a chunk
    size_t m_freeChunkBytes CVQ_GUARDED_BY(m_lock);    // in the bins

    friend struct cvq::detail::THeapAccess;
    friend void cvq::detail::FreeLibraryBlock(void* p);
};
