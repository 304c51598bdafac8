// commonvcqx/platform/internal/SystemAllocator.h
//
// What the library's replacement of the C allocator needs from the system besides
// address space: the size of blocks the C library handed out before the hooks took
// over, malloc's way of reporting errors, and handlers around fork(), which must find
// no heap lock held. Nothing here allocates, so every function may be called from
// inside malloc.
//
//   size_t usable = cvq::platform::ForeignBlockSize(early);   // a block from before
//   return cvq::platform::SetOutOfMemoryError(), nullptr;     // malloc failing
#pragma once

#include <cstddef>

namespace cvq::platform {

/// Usable size of a block that the C library's own allocator handed out before the
/// library's heaps took over.
size_t ForeignBlockSize(void* p);

/// Records an allocation failure the way the C allocator reports it (errno ENOMEM) and
/// returns that error number.
int SetOutOfMemoryError();

/// The error number for an invalid argument (EINVAL), which posix_memalign returns.
int InvalidArgumentError();

/// Registers handlers that run around fork(): `prepare` in the parent before it, the
/// other two after it in parent and child.
void RunAroundFork(void (*prepare)(), void (*parent)(), void (*child)());

}  // namespace cvq::platform
