// NH_Heap's reserved regions (AllocWithReserve): a block alone in a private
// reservation, which grows and shrinks in place by committing and decommitting pages.
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/internal/AllocationFailures.h>
#include <commonvcqx/memory/internal/HeapBlocks.h>
#include <commonvcqx/memory/internal/HeapInternals.h>

#include <algorithm>

using namespace cvq::detail;
namespace platform = cvq::platform;

void* NH_Heap::AllocWithReserve(size_t reserve, size_t size, int zero) {
    if (size > kMaxRequest || reserve > kMaxRequest) return nullptr;
    if (AllocationRefused(this) && !RunNewHandlers()) return nullptr;
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

void NH_Heap::ReleaseReserved(TAltBlock* block) {
    TReservedRegion* head = reinterpret_cast<TReservedRegion*>(block) - 1;
    --m_reservedBlockCount;
    ReleaseMarked(head, head->reserved);
}
