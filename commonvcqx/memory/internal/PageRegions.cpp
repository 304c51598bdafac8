// The table of page regions: open addressing keyed by the region's address.
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/internal/HeapInternals.h>
#include <commonvcqx/memory/internal/PageRegions.h>

#include <cstdint>
#include <utility>

namespace cvq::detail {
namespace {

struct TEntry {
    uintptr_t address;  // 0: empty, 1: removed
    size_t reserved;
};

constexpr uintptr_t kEmpty = 0;
constexpr uintptr_t kRemoved = 1;

struct TPageRegionTable {
    platform::TSpinLock lock;
    TEntry* entries CVQ_GUARDED_BY(lock);
    size_t capacity CVQ_GUARDED_BY(lock);  // a power of two, or 0
    size_t count CVQ_GUARDED_BY(lock);
    size_t used CVQ_GUARDED_BY(lock);  // count plus removed entries
};

constinit TPageRegionTable table{};

size_t SlotOf(uintptr_t address, size_t capacity) {
    // Regions are granularity-aligned: the low 16 bits carry nothing.
    uint64_t key = (address >> 16) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(key >> 20) & (capacity - 1);
}

void Place(TEntry* entries, size_t capacity, uintptr_t address, size_t reserved) {
    size_t slot = SlotOf(address, capacity);
    while (entries[slot].address > kRemoved) slot = (slot + 1) & (capacity - 1);
    entries[slot] = {address, reserved};
}

bool HasRoom() CVQ_REQUIRES(table.lock) {
    return (table.used + 1) * 4 <= table.capacity * 3;
}

// Makes room for one more entry; false when out of memory. The storage is allocated
// without the table's lock: an out-of-memory handler may free or allocate page memory.
bool MakeRoom() {
    for (;;) {
        size_t need = 64;
        {
            platform::TSpinLockGuard guard(table.lock);
            if (HasRoom()) return true;
            while (need * 3 < (table.count + 1) * 8) need *= 2;
        }
        TEntry* entries;
        try {
            entries = static_cast<TEntry*>(HeapForHeaps().AllocArray(need, sizeof(TEntry), 1));
        } catch (...) {  // thrown by a new handler: out of memory all the same
            return false;
        }
        if (!entries) return false;
        {
            platform::TSpinLockGuard guard(table.lock);
            if ((table.count + 1) * 4 <= need * 3) {
                for (size_t i = 0; i < table.capacity; ++i)
                    if (table.entries[i].address > kRemoved)
                        Place(entries, need, table.entries[i].address, table.entries[i].reserved);
                std::swap(entries, table.entries);
                table.capacity = need;
                table.used = table.count;
            }
        }
        NH_Heap::FreeMem(entries);  // the former storage, or the new one if it came too small
    }
}

}  // namespace

void* AllocPageRegion(size_t size) {
    if (size == 0 || size > (size_t(1) << 46)) return nullptr;
    size_t reserved = RoundUp(size, kGranularity);
    char* region = static_cast<char*>(platform::ReserveRegion(reserved));
    if (!region) return nullptr;
    if (!platform::CommitPages(region, RoundUp(size, platform::PageSize()))) {
        platform::ReleaseRegion(region, reserved);
        return nullptr;
    }
    while (MakeRoom()) {
        platform::TSpinLockGuard guard(table.lock);
        if (HasRoom()) {
            Place(table.entries, table.capacity, reinterpret_cast<uintptr_t>(region), reserved);
            ++table.count;
            ++table.used;
            return region;
        }
    }
    platform::ReleaseRegion(region, reserved);
    return nullptr;
}

bool FreePageRegion(void* p) {
    uintptr_t address = reinterpret_cast<uintptr_t>(p);
    if (address <= kRemoved) return false;
    size_t reserved = 0;
    {
        platform::TSpinLockGuard guard(table.lock);
        if (table.capacity == 0) return false;
        for (size_t slot = SlotOf(address, table.capacity);;
             slot = (slot + 1) & (table.capacity - 1)) {
            TEntry& entry = table.entries[slot];
            if (entry.address == kEmpty) return false;
            if (entry.address == address) {
                reserved = entry.reserved;
                entry.address = kRemoved;
                --table.count;
                break;
            }
        }
    }
    platform::ReleaseRegion(p, reserved);
    return true;
}

size_t PageRegionCount() {
    platform::TSpinLockGuard guard(table.lock);
    return table.count;
}

}  // namespace cvq::detail
