// The page-set cache: a stack under the global heap lock, most recent on top. Lending
// costs a system call and, for the system, a walk of the pages, so it waits until sets
// have proved idle: a set is idle when it has stayed below the fewest sets the cache
// held during a whole interval.
#include <commonvcqx/memory/internal/HeapInternals.h>
#include <commonvcqx/memory/internal/PageSetCache.h>
#include <commonvcqx/platform/internal/Clocks.h>
#include <commonvcqx/platform/internal/FailureSeams.h>

#include <cstdint>
#include <cstring>

namespace cvq::detail {
namespace {

constexpr uint32_t kIdleInterval = 1000;  // milliseconds
constexpr int32_t kLendBatch = 32;        // on the stack, outside the lock

struct TIdleSets {
    int32_t count = 0;
    TCachedPageSet sets[kLendBatch];
};

// Takes out up to a batch of idle sets not yet lent; starts a new interval once none
// is left. The lent ones stay, in order.
void TakeIdleSets(uint32_t now, TIdleSets& idle) CVQ_REQUIRES(g_heap.lock) {
    if (now - g_heap.intervalStart < kIdleInterval) return;
    TCachedPageSet* cache = g_heap.pageSetCache;
    const int32_t lowWater = g_heap.cacheLowWater;
    int32_t kept = kHotPageSets;
    int32_t i = kHotPageSets;
    for (; i < lowWater && idle.count < kLendBatch; ++i) {
        if (cache[i].lent)
            cache[kept++] = cache[i];
        else
            idle.sets[idle.count++] = cache[i];
    }
    if (idle.count) {
        std::memmove(cache + kept, cache + i, size_t(g_heap.cachedPageSets - i) * sizeof *cache);
        g_heap.cachedPageSets -= idle.count;
        g_heap.cacheLowWater -= idle.count;
    }
    if (i >= lowWater) {
        g_heap.intervalStart = now;
        g_heap.cacheLowWater = g_heap.cachedPageSets;
    }
}

// Lends the idle sets and puts them back on top; a set that no longer fits goes back
// to the system.
void LendIdleSets(uint32_t now) {
    for (;;) {
        TIdleSets idle;
        {
            platform::TSpinLockGuard guard(g_heap.lock);
            TakeIdleSets(now, idle);
        }
        if (idle.count == 0) return;
        for (int32_t i = 0; i < idle.count; ++i)
            platform::LendPages(idle.sets[i].base, idle.sets[i].committed);
        int32_t placed = 0;
        {
            platform::TSpinLockGuard guard(g_heap.lock);
            for (; placed < idle.count && g_heap.cachedPageSets < kCachedPageSets; ++placed) {
                idle.sets[placed].lent = true;
                g_heap.pageSetCache[g_heap.cachedPageSets++] = idle.sets[placed];
            }
        }
        for (int32_t i = placed; i < idle.count; ++i)
            platform::ReleaseRegion(idle.sets[i].base, kGranularity);
    }
}

}  // namespace

char* TakeCachedPageSet(size_t& committed) {
    // While a test arms a memory failure every page set comes from the system, as the
    // test expects.
    if (platform::FailureArmed(platform::EFailureSeam::Reserve) ||
        platform::FailureArmed(platform::EFailureSeam::Commit))
        return nullptr;
    LendIdleSets(platform::TickCount());
    platform::TSpinLockGuard guard(g_heap.lock);
    if (g_heap.cachedPageSets == 0) return nullptr;
    const TCachedPageSet& entry = g_heap.pageSetCache[--g_heap.cachedPageSets];
    if (g_heap.cacheLowWater > g_heap.cachedPageSets) g_heap.cacheLowWater = g_heap.cachedPageSets;
    committed = entry.committed;
    g_regions.Mark(entry.base, kGranularity);  // the leaf exists: it held the region before
    return entry.base;
}

bool CachePageSet(char* base, size_t committed) {
    LendIdleSets(platform::TickCount());
    platform::TSpinLockGuard guard(g_heap.lock);
    if (g_heap.cachedPageSets == kCachedPageSets) return false;
    g_regions.Unmark(base, kGranularity);
    g_heap.pageSetCache[g_heap.cachedPageSets++] = {base, committed, false};
    return true;
}

}  // namespace cvq::detail
