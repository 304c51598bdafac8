// NH_Heap's big chunks: big page sets of boundary-tagged chunks, first fit with
// splitting and coalescing, growth in place and, for a block alone in its page set,
// moving the whole page set into a larger reservation.
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/internal/HeapBlocks.h>
#include <commonvcqx/memory/internal/HeapInternals.h>

#include <algorithm>
#include <cstring>

using namespace cvq::detail;
namespace platform = cvq::platform;

void* NH_Heap::AllocBig(size_t size, size_t alignment) {
    if (size > kMaxRequest || alignment > kMaxRequest) {
        // The new handler still runs, as operator new owes it for every size: it is what
        // turns the failure into the program's own exception. Once: no retry can help.
        RunNewHandlers();
        return nullptr;
    }
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

namespace {

int ChunkBinOf(size_t size) {
    size = std::max<size_t>(size, 1024);
    int log = 63 - __builtin_clzll(size);
    int bin = (log - 10) * 4 + int((size >> (log - 2)) & 3);
    return std::min(bin, kChunkBinCount - 1);
}

}  // namespace

void NH_Heap::PushFreeChunk(TBigChunk* chunk) {
    int bin = ChunkBinOf(ChunkSize(chunk));
    m_chunkBins[bin].PushFront(*chunk);
    m_chunkBinsInUse |= uint64_t(1) << bin;
    m_freeChunkBytes += ChunkSize(chunk);
}

void NH_Heap::UnlinkFreeChunk(TBigChunk* chunk) {
    int bin = ChunkBinOf(ChunkSize(chunk));
    m_chunkBins[bin].Unlink(*chunk);
    m_freeChunkBytes -= ChunkSize(chunk);
    if (m_chunkBins[bin].IsEmpty()) m_chunkBinsInUse &= ~(uint64_t(1) << bin);
}

// Pages just committed at the end of a big page set: they extend the free chunk that
// ends there (filed again by its new size) or make a free chunk of their own.
void NH_Heap::AddCommittedPages(TPageSet* set, size_t size) {
    char* area = set->committedEnd;
    set->committedEnd += size;
    size_t before = *reinterpret_cast<size_t*>(area - kChunkFooter);
    if (!(before & 1)) {
        NewFreeChunk(area, size, set);
        return;
    }
    TBigChunk* last = reinterpret_cast<TBigChunk*>(area - (before & ~size_t(1)));
    UnlinkFreeChunk(last);
    WriteTags(last, ChunkSize(last) + size, true);
    PushFreeChunk(last);
}

// The chunk's own bin may hold chunks too small for it; every chunk of a higher bin is
// large enough, but for the last, open-ended one.
TBigChunk* NH_Heap::FindFreeChunk(size_t chunkSize) {
    int bin = ChunkBinOf(chunkSize);
    for (uint64_t bins = m_chunkBinsInUse >> bin; bins; bins &= bins - 1) {
        int found = bin + __builtin_ctzll(bins);
        for (TBigChunk* chunk = m_chunkBins[found].First(); chunk; chunk = chunk->next) {
            if (ChunkSize(chunk) >= chunkSize) return chunk;
            if (found != bin && found != kChunkBinCount - 1) break;
        }
    }
    return nullptr;
}

void NH_Heap::RebuildChunkBins() {
    for (auto& bin : m_chunkBins) bin.Clear();
    m_chunkBinsInUse = 0;
    m_freeChunkBytes = 0;
    for (TPageSet* set = m_bigPageSets.First(); set; set = set->next) {
        for (char* p = FirstChunk(set); p < set->committedEnd;) {
            TBigChunk* chunk = reinterpret_cast<TBigChunk*>(p);
            p += ChunkSize(chunk);
            if (ChunkFree(chunk)) PushFreeChunk(chunk);
        }
    }
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
        if (TBigChunk* chunk = FindFreeChunk(chunkSize)) {
            size_t size = ChunkSize(chunk);
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
        for (TPageSet* set = m_bigPageSets.First(); set; set = set->next) {
            if (size_t(set->reservedEnd - set->committedEnd) < chunkSize) continue;
            size_t grow =
                std::min(RoundUp(chunkSize, page), size_t(set->reservedEnd - set->committedEnd));
            if (!platform::CommitPages(set->committedEnd, grow)) return nullptr;
            AddCommittedPages(set, grow);
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
        m_bigPageSets.PushFront(*set);
        NewFreeChunk(FirstChunk(set), commit - kBigPageSetHeader, set);
    }
}

void NH_Heap::ReleaseBigPageSet(TPageSet* set) {
    m_bigPageSets.Unlink(*set);
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
    if (--set->inUse == 0 && !(set == m_bigPageSets.First() &&
                               set->committedEnd - Bytes(set) <= ptrdiff_t(kGranularity))) {
        UnlinkFreeChunk(merged);
        ReleaseBigPageSet(set);
        return;
    }
    PurgeFreeChunk(merged);
}

// A free chunk's memory goes back to the system but for its tags, so that free space
// left between blocks in use costs no resident memory. A few megabytes of free chunks
// stay as they are, so that a buffer freed and made again does not fault its pages in
// every time; and only large spans are worth the system call.
void NH_Heap::PurgeFreeChunk(TBigChunk* chunk) {
    if (m_freeChunkBytes <= kResidentFreeBytes) return;
    size_t page = platform::PageSize();
    uintptr_t start = RoundUp(reinterpret_cast<uintptr_t>(chunk) + sizeof(TBigChunk), page);
    uintptr_t end =
        (reinterpret_cast<uintptr_t>(chunk) + ChunkSize(chunk) - kChunkFooter) & ~(page - 1);
    if (end > start && end - start >= kPurgeSpan)
        platform::PurgePages(reinterpret_cast<void*>(start), end - start);
}

// Commits at least `need` more bytes at the end of the set; 0 when it cannot. A chunk
// that grows again and again (an array appended to) takes a quarter of its size more,
// up to a megabyte, so that it does not cost a system call per page: what it does not
// use is split off as a free chunk for its next growth, and costs nothing until touched.
size_t NH_Heap::CommitAhead(TPageSet* set, size_t need, size_t chunkSize) {
    size_t page = platform::PageSize();
    size_t room = set->reservedEnd - set->committedEnd;
    size_t grow = RoundUp(need, page);
    if (grow > room) return 0;
    grow = std::min(std::max(grow, RoundUp(std::min(chunkSize / 4, size_t(1) << 20), page)), room);
    if (!platform::CommitPages(set->committedEnd, grow)) {
        grow = RoundUp(need, page);  // the system may grant the bare need
        if (!platform::CommitPages(set->committedEnd, grow)) return 0;
    }
    set->committedEnd += grow;
    return grow;
}

// Grows or shrinks a chunk in place; false (chunk unchanged in what it holds) when it
// must move.
bool NH_Heap::ResizeBigInPlace(TBigChunk* chunk, size_t need) {
    TPageSet* set = chunk->owner;
    size_t wanted = ChunkSizeFor(need);
    size_t size = ChunkSize(chunk);
    if (wanted > size) {
        char* end = Bytes(chunk) + size;
        if (end == set->committedEnd) {
            size_t grow = CommitAhead(set, wanted - size, size);
            if (grow) size += grow;
        } else if (ChunkFree(end)) {
            TBigChunk* next = reinterpret_cast<TBigChunk*>(end);
            size_t nextSize = ChunkSize(next);
            char* nextEnd = end + nextSize;
            if (size + nextSize >= wanted) {
                UnlinkFreeChunk(next);
                size += nextSize;
            } else if (nextEnd == set->committedEnd) {
                size_t grow = CommitAhead(set, wanted - size - nextSize, size);
                if (grow) {
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
        PurgeFreeChunk(NewFreeChunk(rest, restSize, set));
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
    // Nothing outside may point into the page set while it moves. The visitors run
    // under the lock held here, which the analysis does not carry into lambdas.
    auto forEachFree = [](TPageSet* pages, auto&& fn) {
        for (char* p = FirstChunk(pages); p < pages->committedEnd;) {
            TBigChunk* c = reinterpret_cast<TBigChunk*>(p);
            p += ChunkSize(c);
            if (ChunkFree(c)) fn(c);
        }
    };
    forEachFree(set, [this](TBigChunk* c) CVQ_NO_THREAD_SAFETY_ANALYSIS { UnlinkFreeChunk(c); });
    UnlinkAlt(block);
    if (!platform::MovePages(set, committed, base)) {
        forEachFree(set, [this](TBigChunk* c) CVQ_NO_THREAD_SAFETY_ANALYSIS { PushFreeChunk(c); });
        LinkAlt(block);
        ReleaseMarked(base, reserve);
        return nullptr;
    }
    TPageSet* moved = reinterpret_cast<TPageSet*>(base);
    m_bigPageSets.Relocated(*moved);
    moved->committedEnd = base + committed;
    moved->reservedEnd = base + reserve;
    for (char* p = FirstChunk(moved); p < moved->committedEnd;) {
        TBigChunk* c = reinterpret_cast<TBigChunk*>(p);
        c->owner = moved;
        p += ChunkSize(c);
        if (ChunkFree(c)) PushFreeChunk(c);
    }
    ReleaseMarked(set, oldReserve);  // what is left there: the inaccessible tail
    if (extra) AddCommittedPages(moved, extra);
    TBigChunk* movedChunk = reinterpret_cast<TBigChunk*>(base + chunkOffset);
    TAltBlock* movedBlock = reinterpret_cast<TAltBlock*>(Bytes(movedChunk) + kChunkHeader);
    LinkAlt(movedBlock);
    ResizeBigInPlace(movedChunk, need);  // absorbs the committed growth; commits nothing
    movedBlock->size = size;
    return UserOf(movedBlock);
}
