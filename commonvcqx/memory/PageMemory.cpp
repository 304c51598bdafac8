// Page-aligned blocks, direct pages and growable reserved regions.
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/memory/PageMemory.h>
#include <commonvcqx/memory/internal/HeapInternals.h>
#include <commonvcqx/memory/internal/PageRegions.h>

#include <algorithm>
#include <cstring>

using namespace cvq::detail;
namespace platform = cvq::platform;

namespace {

// Keeps every rounding below far from overflow; no system grants more.
constexpr size_t kLargestRegion = size_t(1) << 46;

constexpr size_t kHeader = sizeof(TReservedRegion);

TReservedRegion* HeaderOf(void* p) {
    return reinterpret_cast<TReservedRegion*>(static_cast<char*>(p) - kHeader);
}

}  // namespace

void* AllocPageAlignedMemory(size_t size, char callNewHandler) {
    if (size == 0) return nullptr;
    void* p = AllocPageRegion(size);
    if (!p && callNewHandler) ExecuteStandardNewHandler();
    return p;
}

void FreePageAlignedMemory(void* p) {
    FreePageRegion(p);
}

void* AllocDirectMemoryPages(int32_t size, int32_t flags) {
    if (size <= 0) return nullptr;
    // Fresh pages read as zero, so kDirectPagesZero needs no work here.
    (void)flags;
    return AllocPageRegion(static_cast<size_t>(size));
}

void FreeDirectMemoryPages(void* p) {
    FreePageRegion(p);
}

void* AllocVirtual(size_t reserve, size_t size, int zero) {
    (void)zero;  // fresh pages read as zero
    reserve = std::max(reserve, size);
    if (reserve > kLargestRegion) return nullptr;
    size_t reserved = RoundUp(reserve + kHeader, kGranularity);
    size_t committed = RoundUp(size + kHeader, platform::PageSize());
    char* region = static_cast<char*>(platform::ReserveRegion(reserved));
    if (!region) return nullptr;
    if (!platform::CommitPages(region, committed)) {
        platform::ReleaseRegion(region, reserved);
        return nullptr;
    }
    TReservedRegion* head = reinterpret_cast<TReservedRegion*>(region);
    head->requested = size;
    head->reserved = reserved;
    head->committed = committed;
    head->unused = 0;
    return region + kHeader;
}

void* ResizeVirtual(void* p, size_t size, int zero) {
    if (!p || size > kLargestRegion) return nullptr;
    TReservedRegion* head = HeaderOf(p);
    char* region = reinterpret_cast<char*>(head);
    size_t committed = RoundUp(size + kHeader, platform::PageSize());
    if (committed > head->reserved) return nullptr;
    size_t old = head->requested;
    if (committed > head->committed) {
        if (!platform::CommitPages(region + head->committed, committed - head->committed))
            return nullptr;
    } else if (committed < head->committed) {
        platform::DecommitPages(region + committed, head->committed - committed);
    }
    // Bytes past the old size on pages that stayed committed may hold what a larger
    // size once wrote there; newly committed pages are zero already.
    if (zero && size > old) {
        size_t kept = std::min(size + kHeader, head->committed);
        if (kept > old + kHeader) std::memset(region + kHeader + old, 0, kept - old - kHeader);
    }
    head->committed = committed;
    head->requested = size;
    return p;
}

void FreeVirtual(void* p) {
    if (!p) return;
    TReservedRegion* head = HeaderOf(p);
    platform::ReleaseRegion(head, head->reserved);
}
