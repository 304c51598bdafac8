// commonvcqx/memory/internal/PageCacheState.h
//
// A look into the page cache for tests and diagnostics.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cvq::detail {

inline constexpr int kPageCacheClasses = 10;
inline constexpr size_t kPageCacheClassSizes[kPageCacheClasses] = {
    4096, 8192, 12288, 24576, 36864, 65536, 98304, 131072, 196608, 294912};

/// Blocks of class `index` waiting in the cache.
size_t CachedPageBlocks(int index);
/// Blocks of class `index` the cache ever took from the system.
int32_t AllocatedPageBlocks(int index);

}  // namespace cvq::detail
