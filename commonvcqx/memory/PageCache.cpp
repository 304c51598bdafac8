// The cache of page-aligned blocks: a last-in-first-out stack of free blocks per class.
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/PageCache.h>
#include <commonvcqx/memory/PageMemory.h>
#include <commonvcqx/memory/internal/HeapInternals.h>
#include <commonvcqx/memory/internal/PageCacheState.h>

#include <cstring>
#include <utility>

using namespace cvq::detail;
namespace platform = cvq::platform;

namespace {

constinit platform::TSpinLock cacheLock{};

struct TClass {
    void** blocks CVQ_GUARDED_BY(cacheLock);  // from "HeapForHeaps"
    size_t count CVQ_GUARDED_BY(cacheLock);
    size_t capacity CVQ_GUARDED_BY(cacheLock);
    int32_t allocated;  // atomic; never decremented
};

constinit TClass classes[kPageCacheClasses]{};

// The first class of at least `size` bytes; kPageCacheClasses when there is none.
int ClassOf(size_t size) {
    int index = 0;
    while (index < kPageCacheClasses && kPageCacheClassSizes[index] < size) ++index;
    return index;
}

int ExactClassOf(size_t size) {
    int index = ClassOf(size);
    return index < kPageCacheClasses && kPageCacheClassSizes[index] == size ? index
                                                                            : kPageCacheClasses;
}

void* Pop(TClass& cls) CVQ_REQUIRES(cacheLock) {
    return cls.count ? cls.blocks[--cls.count] : nullptr;
}

// Pushes `block` onto the class's stack; false when the stack cannot grow. The stack
// grows without the cache's lock held: an out-of-memory handler may clear the cache.
bool Push(TClass& cls, void* block) {
    for (;;) {
        size_t capacity;
        {
            platform::TSpinLockGuard guard(cacheLock);
            if (cls.count < cls.capacity) {
                cls.blocks[cls.count++] = block;
                return true;
            }
            capacity = cls.capacity ? cls.capacity * 2 : 16;
        }
        void** grown;
        try {
            grown = static_cast<void**>(HeapForHeaps().AllocMem(capacity * sizeof(void*)));
        } catch (...) {  // thrown by a new handler: out of memory all the same
            return false;
        }
        if (!grown) return false;
        {
            platform::TSpinLockGuard guard(cacheLock);
            if (cls.capacity < capacity) {
                if (cls.count) std::memcpy(grown, cls.blocks, cls.count * sizeof(void*));
                std::swap(grown, cls.blocks);
                cls.capacity = capacity;
            }
        }
        NH_Heap::FreeMem(grown);  // the former stack, or the new one if no longer needed
    }
}

// Gives the cached blocks back to the system at library unload.
struct TCacheRelease {
    ~TCacheRelease() { ClearAllCachedPageAlignedMemory(1); }
} cacheRelease;

}  // namespace

TMemoryBlock AllocCachedPageAlignedMemory(size_t size, char callNewHandler) {
    int index = ClassOf(size);
    if (index == kPageCacheClasses) return {AllocPageAlignedMemory(size, callNewHandler), size};
    TClass& cls = classes[index];
    size_t classSize = kPageCacheClassSizes[index];
    {
        platform::TSpinLockGuard guard(cacheLock);
        if (void* block = Pop(cls)) return {block, classSize};
    }
    void* block = AllocPageAlignedMemory(classSize, callNewHandler);
    if (block) __atomic_fetch_add(&cls.allocated, 1, __ATOMIC_RELAXED);
    return {block, classSize};
}

TMemoryBlock AllocExistingCachedPageAlignedMemory(size_t size, int32_t mode) {
    int index = ClassOf(size);
    if (index == kPageCacheClasses || mode > 0) return {};
    TClass& cls = classes[index];
    platform::TSpinLockGuard guard(cacheLock);
    if (mode < 0 &&
        cls.count * 2 <= static_cast<size_t>(__atomic_load_n(&cls.allocated, __ATOMIC_RELAXED)))
        return {};
    void* block = Pop(cls);
    if (!block) return {};
    return {block, kPageCacheClassSizes[index]};
}

void FreeCachedPageAlignedMemory(TMemoryBlock& block) {
    void* address = block.address;
    size_t size = block.size;
    block = {};
    if (!address) return;
    int index = ExactClassOf(size);
    if (index != kPageCacheClasses && Push(classes[index], address)) return;
    // Not a class size, or no room left to remember it.
    FreePageAlignedMemory(address);
}

void ClearAllCachedPageAlignedMemory(char freeLists) {
    void* lists[kPageCacheClasses] = {};
    {
        platform::TSpinLockGuard guard(cacheLock);
        for (int index = 0; index < kPageCacheClasses; ++index) {
            TClass& cls = classes[index];
            while (cls.count) FreePageAlignedMemory(cls.blocks[--cls.count]);
            if (freeLists) {
                lists[index] = cls.blocks;
                cls.blocks = nullptr;
                cls.capacity = 0;
            }
        }
    }
    for (void* list : lists) NH_Heap::FreeMem(list);
}

namespace cvq::detail {

size_t CachedPageBlocks(int index) {
    platform::TSpinLockGuard guard(cacheLock);
    return classes[index].count;
}

int32_t AllocatedPageBlocks(int index) {
    return __atomic_load_n(&classes[index].allocated, __ATOMIC_RELAXED);
}

}  // namespace cvq::detail
