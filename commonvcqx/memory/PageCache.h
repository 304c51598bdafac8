// commonvcqx/memory/PageCache.h
//
// TMemoryBlock and the process-wide cache of page-aligned blocks in ten fixed sizes
// (4 KB to 288 KB) that unbuffered file transfers take and give back all the time.
// A request is served from the smallest class that holds it, most recently cached
// block first; larger requests get exactly their size and are never cached. The cache
// is thread-safe.
//
//   TMemoryBlock block = AllocCachedPageAlignedMemory(5000, 1);   // block.size == 8192
//   ...
//   FreeCachedPageAlignedMemory(block);                           // cached, block emptied
#pragma once

#include <cstddef>
#include <cstdint>

/// A page-aligned block and its size: the size of the class it belongs to, or the
/// exact size for a block too large for any class. Address null: no block.
struct TMemoryBlock {
    void* address = nullptr;
    size_t size = 0;
};

/// A cached block of the first class of at least `size` bytes, else a new one. The
/// address is null when memory runs out (after the standard new handler ran once, when
/// `callNewHandler` is set).
TMemoryBlock AllocCachedPageAlignedMemory(size_t size, char callNewHandler);

/// A block already in the cache, never new memory. `mode` 0: any cached block of the
/// class; negative: only while the class holds more cached blocks than half of all it
/// ever allocated; positive: none. Empty when there is no such block.
TMemoryBlock AllocExistingCachedPageAlignedMemory(size_t size, int32_t mode);

/// Caches a block whose size is a class size and releases any other; empties `block`.
void FreeCachedPageAlignedMemory(TMemoryBlock& block);

/// Releases every cached block; with `freeLists` also the cache's own bookkeeping.
void ClearAllCachedPageAlignedMemory(char freeLists);
