// commonvcqx/memory/internal/PageSetCache.h
//
// Emptied page sets kept for the next page set of any heap, so that a heap whose use
// swings around a page-set boundary, or a program that frees and rebuilds a large
// structure, does not map, fault in and unmap its memory on every swing. Cached sets
// are unmarked and keep their pages. Sets that stay unused for about a second, beyond
// the first two megabytes of them, are lent to the system, which takes their pages back
// only when it needs memory; until then they come back without a fault.
#pragma once

#include <cstddef>

namespace cvq::detail {

/// A cached page set, marked again, and its committed bytes; null when none is kept.
char* TakeCachedPageSet(size_t& committed);

/// Keeps an emptied (still marked) page set; false, with nothing done, when the cache
/// is full.
bool CachePageSet(char* base, size_t committed);

}  // namespace cvq::detail
