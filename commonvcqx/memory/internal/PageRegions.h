// commonvcqx/memory/internal/PageRegions.h
//
// Whole reservations handed to callers as page memory, and the size of each. Releasing
// a reservation takes its size, which the caller's pointer alone does not carry, so
// every such region is remembered here until it is given back.
#pragma once

#include <cstddef>

namespace cvq::detail {

/// Reserves RoundUp(size, granularity) bytes, commits the pages that cover `size` and
/// remembers the region. Null (nothing reserved) on failure or for size 0.
void* AllocPageRegion(size_t size);

/// Releases a region made by AllocPageRegion. False (nothing done) for any other
/// pointer, null included.
bool FreePageRegion(void* p);

/// Number of regions currently remembered.
size_t PageRegionCount();

}  // namespace cvq::detail
