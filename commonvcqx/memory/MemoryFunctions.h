// commonvcqx/memory/MemoryFunctions.h
//
// Small memory helpers: allocation wrappers that throw instead of returning null, a
// byte-wise swap, a pool of pre-allocated blocks taken one at a time, and the
// replaceable copy and zero-fill routines the file code uses for its transfers.
//
//   try {
//       char* data = static_cast<char*>(malloc_ex(count));
//       ...
//       free_ex(data);
//   } catch (int) {   // out of memory
//   }
#pragma once

#include <cstdint>

/// Copies `count` bytes from `source` to `destination`.
using TFastCopyRoutine = void (*)(const void* source, void* destination, uint32_t count);
/// Writes `count` zero bytes at `destination`.
using TFastFillRoutine = void (*)(void* destination, uint32_t count);

/// Installs the routines the file code copies and zero-pads with; null restores the
/// plain copy or fill. Set them once, before any file activity.
void SetFastMemoryRoutines(TFastCopyRoutine copy, TFastFillRoutine fill);

/// malloc that throws the int 0 when out of memory; null for size 0.
void* malloc_ex(unsigned size);
/// free for blocks of malloc_ex and realloc_ex; null is ignored.
void free_ex(void* p);
/// realloc that throws the int 0 when out of memory (the block then stays intact).
/// A size of 0 frees the block and gives null.
void* realloc_ex(void* p, unsigned size);

/// Exchanges the first `count` bytes of `a` and `b` (which must not overlap).
void SwapBinaryData(void* a, void* b, int count);

/// Takes the first non-null pointer out of `slots[0..count-1]`. When all are null,
/// first fills every slot with a new block of `size` bytes from the heap FindBase2()
/// picks. Null only when no block can be had.
void* GetSlotPtr(int32_t size, void** slots, int32_t count);
