// commonvcqx/platform/internal/FileMapping.h
//
// Memory-mapped windows of an open file. A mapping fixes the most bytes its views may
// cover; a mapping larger than the file grows the file on disk first, with its blocks
// allocated, so a full disk is reported when the mapping is made (112) and never later
// as a fault on touching a view. The mapping keeps its own reference to the file: it
// stays usable when the FileHandle it was made from is closed.
//
//   DWORD error = 0;
//   auto* mapping = cvq::platform::CreateFileMapping(file, 1 << 20, kViewReadWrite, error);
//   void* view = cvq::platform::MapView(mapping, 0, 0, error);   // the whole mapping
//   ...
//   cvq::platform::UnmapView(view, cvq::platform::MappingSize(mapping), error);
//   cvq::platform::CloseFileMapping(mapping);
#pragma once

#include <commonvcqx/platform/WinTypes.h>

#include <cstddef>
#include <cstdint>

namespace cvq::platform {

struct FileHandle;
struct FileMapping;

enum class EViewAccess { Read, Write, ReadWrite };

/// Offsets of views are multiples of this (the page size).
size_t MappingGranularity();

/// A mapping of `size` bytes of the file (0: its current size; an empty file gives an
/// empty mapping that has no views). Null with `error` on failure: 8 when memory is
/// short, 112 for a full disk while growing (the file keeps its old size), 5 when a
/// file opened without write access would have to grow.
FileMapping* CreateFileMapping(FileHandle* file, uint64_t size, EViewAccess access, DWORD& error);
/// Grows the file (its blocks allocated, as CreateFileMapping does) and the mapping to
/// `size` bytes in place: views already mapped stay where they are, and views mapped
/// afterwards may reach the new end. A size not above the mapping's changes nothing.
/// False with `error` as CreateFileMapping gives it; the mapping is then unchanged.
bool ExtendFileMapping(FileMapping* mapping, uint64_t size, DWORD& error);
/// The size the mapping was made with, or extended to.
uint64_t MappingSize(const FileMapping* mapping);
/// Views already mapped stay valid until unmapped.
void CloseFileMapping(FileMapping* mapping);

/// Maps `size` bytes at `offset` (size 0: up to the end of the mapping). Null with
/// `error`: 1006 for an empty mapping, 1132 for an offset that is not a multiple of the
/// granularity, 5 for a range outside the mapping, 8 when memory is short.
void* MapView(FileMapping* mapping, uint64_t offset, size_t size, DWORD& error);
bool UnmapView(void* address, size_t size, DWORD& error);
/// Writes the view's changed pages to the file and waits for them.
bool FlushView(void* address, size_t size, DWORD& error);

}  // namespace cvq::platform
