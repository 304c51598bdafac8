// commonvcqx/platform/internal/VirtualMemory.h
//
// Address space for the library's heaps: reserve aligned regions, commit and decommit
// pages inside them, purge their memory, move and release them, and the page size
// they are made of.
// Nothing here allocates from the heap, so every function may be called from inside
// malloc. The failure seams Reserve and Commit (internal/FailureSeams.h) fail them.
//
//   char* region = static_cast<char*>(cvq::platform::ReserveRegion(1 << 20));
//   if (region && cvq::platform::CommitPages(region, cvq::platform::PageSize())) ...
#pragma once

#include <cstddef>

namespace cvq::platform {

/// Granularity of every reservation: regions are aligned to it, so a block's region is
/// found by masking its address.
inline constexpr size_t kAllocationGranularity = 65536;

/// The system page size, read once.
size_t PageSize();

/// Reserves `size` bytes (a multiple of the granularity) of inaccessible address space
/// aligned to the granularity. Null on failure.
void* ReserveRegion(size_t size);

/// Makes whole pages inside a reservation readable and writable. False on failure.
bool CommitPages(void* address, size_t size);

/// Returns the pages to the system; they read as zero once committed again.
void DecommitPages(void* address, size_t size);

/// Gives the memory of committed pages back to the system while they stay committed:
/// they read as zero when next touched.
void PurgePages(void* address, size_t size);

/// Lends committed pages to the system: it may take them whenever it needs memory, and
/// then they read as zero; until then they keep their contents and cost no fault when
/// touched again. A write after the call keeps the page written.
void LendPages(void* address, size_t size);

/// Moves `size` committed bytes at `from` (page-aligned) to `to`, inside another
/// reservation, without copying; `from` is left unmapped. False when it cannot.
bool MovePages(void* from, size_t size, void* to);

/// Gives back a whole reservation made by ReserveRegion.
void ReleaseRegion(void* address, size_t size);

}  // namespace cvq::platform
