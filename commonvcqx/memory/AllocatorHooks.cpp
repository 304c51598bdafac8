// Installation of the heaps as the process allocator, the hooks and memory queries.
#include <commonvcqx/geometry/Randomizer.h>
#include <commonvcqx/memory/AllocatorHooks.h>

#include <commonvcqx/base/StartupOrder.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/internal/HeapInternals.h>
#include <commonvcqx/platform/MessageBoxHandler.h>
#include <commonvcqx/platform/internal/SystemAllocator.h>
#include <commonvcqx/platform/internal/Threads.h>

#include <algorithm>
#include <cstring>
#include <new>

using namespace cvq::detail;
namespace platform = cvq::platform;

namespace {

constexpr UINT kTaskModal = 0x2000;
constexpr UINT kSetForeground = 0x10000;

void InstallHooks() {
    // Symbol interposition has done the redirection at load time; what remains is to
    // record that it has happened.
    if (__atomic_load_n(&g_heap.hooksInstalled, __ATOMIC_ACQUIRE)) return;
    platform::TSpinLockGuard guard(g_heap.lock);
    __atomic_store_n(&g_heap.hooksInstalled, 1, __ATOMIC_RELEASE);
}

void LockHeapsForFork() {
    THeapAccess::PrepareFork();
}
void UnlockHeapsAfterFork() {
    THeapAccess::AfterFork();
}

// The library's first static initializer: hooks, then "HeapForHeaps", then
// "DefaultHeap", then "ah1" and "ah2". Each heap may have served allocations already.
struct TStartUp {
    TStartUp() {
        InstallHooks();
        THeapAccess::Construct(HeapForHeaps(), NH_AHeap::kMultithreaded);
        THeapAccess::Construct(DefaultHeapObject(), NH_AHeap::kMultithreaded);
        THeapAccess::Construct(TestHeap1(), NH_AHeap::kMultithreaded);
        THeapAccess::Construct(TestHeap2(), NH_AHeap::kMultithreaded);
        platform::RunAroundFork(&LockHeapsForFork, &UnlockHeapsAfterFork, &UnlockHeapsAfterFork);
        cvq::detail::RecordStartupStep(cvq::detail::kStartHeaps, true);
    }
    // The heaps themselves stay: memory is still freed while the process exits.
    ~TStartUp() { cvq::detail::RecordStartupStep(cvq::detail::kStartHeaps, false); }
};
__attribute__((init_priority(cvq::detail::kStartHeaps))) TStartUp startUp;

}  // namespace

InitNewHeap::InitNewHeap(int multithreaded) {
    bool second;
    {
        platform::TSpinLockGuard guard(g_heap.lock);
        second = g_heap.initNewHeapConstructed != 0;
        g_heap.initNewHeapConstructed = 1;
    }
    if (second)
        ShowMessageBox("Error! You have INIT_NEWHEAP() defined twice in your application!",
                       "NewHeap", MB_ICONERROR | kTaskModal | kSetForeground);
    InstallHooks();
    platform::TSpinLockGuard guard(g_heap.lock);
    g_heap.multithreaded = multithreaded;
    g_heap.threadingDeclared = 1;
    NH_Heap& heap = DefaultHeapObject();
    if (!multithreaded && THeapAccess::Initialized(heap) && THeapAccess::LockActive(heap))
        THeapAccess::DropLock(heap);
}

EnsureNewHeap::EnsureNewHeap() {
    InstallHooks();
}

namespace cvq::detail {

void* HookNew(size_t size) {
    return DefaultAlloc(size);
}

void* HookMalloc(size_t size) {
    if (size == 0) return nullptr;
    try {
        return DefaultAlloc(size);
    } catch (...) {
        return nullptr;
    }
}

void* HookCalloc(size_t count, size_t size) {
    size_t total;
    if (__builtin_mul_overflow(count, size, &total)) return nullptr;
    try {
        return NH_Heap::Default().Alloc(total, 1);
    } catch (...) {
        return nullptr;
    }
}

void HookFree(void* p) {
    FreeLibraryBlock(p);
}

void* HookRealloc(void* p, size_t size) {
    try {
        if (!p) return size ? DefaultAlloc(size) : nullptr;
        if (g_regions.Contains(p)) {
            if (size == 0) {
                HookFree(p);
                return nullptr;
            }
            return DefaultRealloc(p, size);
        }
        // Memory of the C library's own allocator: copied out, never touched otherwise.
        if (size == 0) return nullptr;
        void* moved = DefaultAlloc(size);
        if (moved) std::memcpy(moved, p, std::min(size, platform::ForeignBlockSize(p)));
        return moved;
    } catch (...) {
        return nullptr;
    }
}

size_t HookBlockSize(void* p) {
    if (g_regions.Contains(p)) return BlockSize(p);
    return platform::ForeignBlockSize(p);
}

void* HookAlignedAlloc(size_t alignment, size_t size) {
    try {
        return DefaultAllocAligned(alignment, size, 0);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace cvq::detail

void* NHHookNew(size_t size) {
    return HookNew(size);
}
void NHHookDelete(void* p) {
    HookFree(p);
}
void* NHHookMalloc(size_t size) {
    return HookMalloc(size);
}
void* NHHookCalloc(size_t count, size_t size) {
    return HookCalloc(count, size);
}
void NHHookFree(void* p) {
    HookFree(p);
}
void* NHHookRealloc(void* p, size_t size) {
    return HookRealloc(p, size);
}
size_t NHGetBlockSize(void* p) {
    return HookBlockSize(p);
}
void* NHHookAlignedAlloc(size_t alignment, size_t size) {
    return HookAlignedAlloc(alignment, size);
}

void BypassFreeing(NH_AHeap* heap) {
    if (heap)
        THeapAccess::SetBypass(*heap);
    else
        __atomic_store_n(&NH_AHeap::s_globalBypassFree, 1, __ATOMIC_RELAXED);
}

void ExecuteStandardNewHandler() {
    if (std::new_handler handler = std::get_new_handler()) handler();
}

int IsDynamicMemory(const void* p) {
    platform::TSpinLockGuard guard(g_heap.lock);
    return g_regions.Contains(p) ? 1 : 0;
}

int IsStackMemory(const void* p) {
    return platform::IsOnCurrentStack(p) ? 1 : 0;
}

int IsMemoryFilledWith(const void* p, size_t length, unsigned char value) {
    const unsigned char* bytes = static_cast<const unsigned char*>(p);
    uint32_t word = 0x01010101u * value;
    size_t i = 0;
    for (; i + 16 <= length; i += 16) {
        uint32_t words[4];
        std::memcpy(words, bytes + i, 16);
        if (words[0] != word || words[1] != word || words[2] != word || words[3] != word) return 0;
    }
    for (; i < length; ++i)
        if (bytes[i] != value) return 0;
    return 1;
}

NH_Heap* FindBase2() {
    // Every caller shares one generator; the lock keeps its draws whole. The generator
    // is built on the first call (seed 0: from the tick count).
    static constinit platform::TSpinLock lock{};
    uint32_t choice;
    {
        platform::TSpinLockGuard guard(lock);
        static TRandomizer random(0);
        choice = random.Get(3);
    }
    switch (choice) {
        case 0:
            return &TestHeap1();
        case 1:
            return &TestHeap2();
        default:
            return &NH_Heap::Default();
    }
}
