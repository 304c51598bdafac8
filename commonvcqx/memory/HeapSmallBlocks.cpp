// NH_Heap's small blocks: carving size-class blocks from the current page set, cutting
// its tail into free blocks when it is full, and giving back page sets that empty.
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/internal/HeapInternals.h>
#include <commonvcqx/memory/internal/HeapSmallPath.h>

#include <algorithm>
#include <cstring>

using namespace cvq::detail;
namespace platform = cvq::platform;

__attribute__((noinline)) TSmallBlock* NH_Heap::CarveSmall(int cls, size_t wanted) {
    size_t classSize = kClassSizes[cls];
    TPageSet* set;
    for (;;) {
        set = m_pageSets.First();
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
            page = std::min(std::max(RoundUp(wanted, page), page),
                            size_t(set->reservedEnd - set->committedEnd));
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

size_t NH_Heap::AllocSmallBlocks(const uint32_t* sizes, size_t count, void** blocks) {
    if (!__atomic_load_n(&m_initialized, __ATOMIC_ACQUIRE)) LazyInit();
    size_t wanted = 0;
    for (size_t i = 0; i < count; ++i) wanted += kClassSizes[kSizeToClass[sizes[i] + kSmallHeader]];
    size_t done = 0;
    {
        THeapGuard guard(m_lock, LockActive());
        for (; done < count; ++done) {
            const int cls = kSizeToClass[sizes[done] + kSmallHeader];
            TSmallBlock* block = m_freeLists[cls];
            if (block) {
                m_freeLists[cls] = block->next;
                InUse(PageSetOf(block))++;
            } else {
                // The rest of the page set at once: the caller goes on making blocks.
                block = CarveSmall(cls, std::max(wanted, kGranularity));
                if (!block) break;
            }
            wanted -= kClassSizes[cls];
            block->flags = 0;
            block->size = static_cast<uint16_t>(sizes[done]);
            blocks[done] = Bytes(block) + kSmallHeader;
        }
    }
    if (m_flags & kZeroFill)
        for (size_t i = 0; i < done; ++i) std::memset(blocks[i], 0, sizes[i]);
    return done;
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

// For a page set whose last block was just freed.
__attribute__((noinline)) void NH_Heap::ReleaseEmptyPageSet(TPageSet* set) {
    if (set == m_pageSets.First()) return;  // the one being carved stays
    UnlinkCarvedBlocks(set);
    ReleasePageSet(set);
}
