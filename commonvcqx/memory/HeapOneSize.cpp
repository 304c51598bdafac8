// NH_HeapOneSize: equally sized blocks with per-page-set free lists.
#include <commonvcqx/memory/HeapOneSize.h>
#include <commonvcqx/memory/internal/AllocationFailures.h>
#include <commonvcqx/memory/internal/HeapInternals.h>

#include <cstring>

using namespace cvq::detail;
namespace platform = cvq::platform;

namespace {

inline TPageSet* PageSetOf(const void* p) {
    return reinterpret_cast<TPageSet*>(reinterpret_cast<uintptr_t>(p) & kGranularityMask);
}

size_t OneSizeBlock(size_t size) {
    return size < 16 ? 16 : RoundUp(size, 16);
}

}  // namespace

NH_HeapOneSize::NH_HeapOneSize(size_t blockSize, uint32_t flags, const char* name)
    : NH_AHeap(name), m_freeSets(cvq::kKeepList) {
    if (Init(static_cast<int32_t>(flags), 0)) InitHeapOneSize(blockSize);
    THeapAccess::Register(*this);
}

NH_HeapOneSize::~NH_HeapOneSize() {
    if (!(m_flags & kStaticHeap)) NH_HeapOneSize::Clear();
}

void NH_HeapOneSize::InitHeapOneSize(size_t size) {
    m_blockSize = OneSizeBlock(size);
    m_freeSets.Clear();
}

void NH_HeapOneSize::UnlinkFree(TPageSet* set) {
    m_freeSets.Unlink(*set);
}

void* NH_HeapOneSize::AllocMem(size_t size) {
    if (AllocationRefused(this) && !RunNewHandlers()) return nullptr;
    if (!__atomic_load_n(&m_initialized, __ATOMIC_ACQUIRE)) {
        {
            platform::TSpinLockGuard guard(g_heap.lock);
            if (!__atomic_load_n(&m_initialized, __ATOMIC_ACQUIRE)) {
                Init(0, 1);
                InitHeapOneSize(size);
            }
        }
        THeapAccess::Register(*this);
    }
    size = m_blockSize;
    char* block = nullptr;
    {
        THeapGuard guard(m_lock, LockActive());
        if (TPageSet* withFree = m_freeSets.First()) {
            block = reinterpret_cast<char*>(withFree) + withFree->word7;
            withFree->word7 = *reinterpret_cast<uint32_t*>(block);
            withFree->inUse++;
            if (withFree->word7 == 0) UnlinkFree(withFree);
        } else {
            size_t page = platform::PageSize();
            for (;;) {
                TPageSet* set = m_pageSets.First();
                if (set && set->remaining >= size) {
                    block = set->committedEnd - set->remaining;
                    set->remaining -= size;
                    set->inUse++;
                    break;
                }
                if (set && set->committedEnd < set->reservedEnd) {
                    if (platform::CommitPages(set->committedEnd, page)) {
                        set->committedEnd += page;
                        set->remaining += page;
                        continue;
                    }
                } else {
                    TPageSet* fresh = AllocPageSet(kOneSizePageSetHeader);
                    if (fresh) {
                        fresh->oneSizeOwner = this;
                        continue;
                    }
                }
                if (!HandleOutOfMemoryMT()) break;
            }
        }
    }
    if (block && (m_flags & kZeroFill)) std::memset(block, 0, size);
    return block;
}

void NH_HeapOneSize::FreeMem(void* p) {
    if (!p) return;
    TPageSet* set = PageSetOf(p);
    static_cast<NH_HeapOneSize*>(set->oneSizeOwner)->FreeBlock(set, p);
}

void NH_HeapOneSize::FreeBlock(TPageSet* set, void* p) {
    if (__atomic_load_n(&m_bypass, __ATOMIC_RELAXED)) return;
    THeapGuard guard(m_lock, LockActive());
    --set->inUse;
    bool otherHasFree = m_freeSets.Count() > (set->word7 != 0 ? 1 : 0);
    if (set->inUse == 0 && otherHasFree) {
        if (set->word7 != 0) UnlinkFree(set);
        ReleasePageSet(set);
    } else {
        *static_cast<uint32_t*>(p) = static_cast<uint32_t>(set->word7);
        if (set->word7 == 0) m_freeSets.PushFront(*set);
        set->word7 = static_cast<char*>(p) - reinterpret_cast<char*>(set);
    }
}

void NH_HeapOneSize::Clear() {
    THeapGuard guard(m_lock, LockActive());
    m_freeSets.Clear();
    NH_AHeap::Clear();
}
