// commonvcqx/memory/AllocatorHooks.h
//
// The process's allocator routed into the library's heaps. Linking the library makes
// malloc, calloc, realloc, free, malloc_usable_size, the aligned forms and every
// operator new/delete reach the calling thread's default NH_Heap; memory the C library
// handed out before that is left alone. An application declares once whether it
// allocates from one thread or several:
//
//   static InitNewHeap initNewHeap(0);   // single-threaded: the default heap drops its lock
//
// Also here: the hook functions themselves (callable directly) and questions about
// where a piece of memory lives.
#pragma once

#include <commonvcqx/memory/AHeap.h>

class NH_Heap;

#include <cstddef>

/// Declares the application's threading; define exactly one, with static lifetime.
/// Zero makes "DefaultHeap" lock-free, even when it has been used already.
class InitNewHeap {
public:
    explicit InitNewHeap(int multithreaded);
};

/// Makes sure the hooks are in place.
class EnsureNewHeap {
public:
    EnsureNewHeap();
};

/// operator new: a block even for size 0; null when the heap gives up.
void* NHHookNew(size_t size);
void NHHookDelete(void* p);
/// malloc: null for size 0 and when out of memory (exceptions of a new handler too).
void* NHHookMalloc(size_t size);
/// calloc: zero-filled; a block even for a zero product; null when the product overflows.
void* NHHookCalloc(size_t count, size_t size);
/// free and operator delete leave pointers that are not library memory alone.
void NHHookFree(void* p);
void* NHHookRealloc(void* p, size_t size);
/// malloc_usable_size: the requested size of a library block, else the C library's answer.
size_t NHGetBlockSize(void* p);
/// An aligned block from the default heap (`alignment` a power of two); null on failure.
void* NHHookAlignedAlloc(size_t alignment, size_t size);

/// From now on freeing blocks of `heap` (null: of every NH_Heap) does nothing.
void BypassFreeing(NH_AHeap* heap);
/// Calls the process's standard new handler, if there is one.
void ExecuteStandardNewHandler();
/// Non-zero when `p` lies in memory reserved by a library heap.
int IsDynamicMemory(const void* p);
/// Non-zero when `p` lies on the calling thread's stack.
int IsStackMemory(const void* p);
/// Non-zero when all `length` bytes at `p` equal `value` (length 0: non-zero).
int IsMemoryFilledWith(const void* p, size_t length, unsigned char value);
/// One of "ah1", "ah2" and the calling thread's default heap, chosen at random with
/// equal chances (the generator is seeded from the tick count on the first call).
/// Spreads test allocations over several heaps. Thread-safe.
NH_Heap* FindBase2();
