// The process-wide operation id counter, reachable by tests that check its wrap.
#pragma once

#include <cstdint>

namespace cvq::detail {

/// The next id handed out, never 0: skips 0 when the 32-bit counter wraps.
int32_t NextOperationId() noexcept;
/// Sets the counter so that the next id is `last` + 1 (0 skipped).
void SetLastOperationId(int32_t last) noexcept;

}  // namespace cvq::detail
