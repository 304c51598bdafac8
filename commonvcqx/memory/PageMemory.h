// commonvcqx/memory/PageMemory.h
//
// Memory taken straight from the system's virtual memory rather than from a heap:
// page-aligned blocks, pages committed at once ("direct" pages), and reserved regions
// that grow and shrink in place. None of it is library heap memory: free() and
// NH_Heap::FreeMem leave it alone, and IsDynamicMemory says zero.
//
//   char* buffer = static_cast<char*>(AllocPageAlignedMemory(65536, 1));
//   ... unbuffered file transfers ...
//   FreePageAlignedMemory(buffer);
//
//   void* table = AllocVirtual(16 << 20, 4096, 1);   // room to grow to 16 MB in place
//   table = ResizeVirtual(table, 1 << 20, 1);        // same address, growth zeroed
//   FreeVirtual(table);
#pragma once

#include <cstddef>
#include <cstdint>

/// `size` bytes, page-aligned, read-write, zero-filled; null on failure (or size 0).
/// On failure with `callNewHandler` set, the standard new handler runs once first (it
/// may throw).
void* AllocPageAlignedMemory(size_t size, char callNewHandler);
/// Releases a block of AllocPageAlignedMemory; null and unknown pointers are ignored.
void FreePageAlignedMemory(void* p);

/// A region of `size` bytes (zero-filled) that can grow in place to about `reserve`
/// bytes. Null when the system refuses. `zero` is accepted for symmetry: new pages
/// always read as zero.
void* AllocVirtual(size_t reserve, size_t size, int zero);
/// Resizes a region of AllocVirtual in place by committing or returning whole pages.
/// Null, with the region untouched, beyond its reservation or when out of memory;
/// `zero` zero-fills the growth.
void* ResizeVirtual(void* p, size_t size, int zero);
/// Releases a region of AllocVirtual; null is ignored.
void FreeVirtual(void* p);

/// Flags of AllocDirectMemoryPages.
inline constexpr int32_t kDirectPagesZero = 0x2;      ///< zero-filled
inline constexpr int32_t kDirectPagesNoCache = 0x20;  ///< accepted; no effect on Linux

/// `size` bytes rounded up to whole pages, committed at once; null on failure or for a
/// size of 0 or less.
void* AllocDirectMemoryPages(int32_t size, int32_t flags);
/// Releases pages of AllocDirectMemoryPages; null and unknown pointers are ignored.
void FreeDirectMemoryPages(void* p);
