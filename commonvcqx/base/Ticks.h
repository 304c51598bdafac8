// commonvcqx/base/Ticks.h
//
// Comparisons of 32-bit millisecond counters (GetTickCount, timeGetTime, message
// times), which wrap after 49.7 days. Differences are taken modulo 2^32, so an
// interval that spans the wrap still comes out right; two ticks compare correctly
// while they lie within 2^31 ms (24.8 days) of each other.
//
//   uint32_t start = cvq::platform::TickCount();
//   ...
//   uint32_t waited = cvq::TicksElapsed(start, cvq::platform::TickCount());
//   bool late = cvq::TickReached(cvq::platform::TickCount(), start + timeout);
#pragma once

#include <cstdint>

namespace cvq {

/// Milliseconds from `earlier` to `later`, never negative.
constexpr uint32_t TicksElapsed(uint32_t earlier, uint32_t later) noexcept {
    return later - earlier;
}

/// True once `now` is at or past `deadline`.
constexpr bool TickReached(uint32_t now, uint32_t deadline) noexcept {
    return static_cast<int32_t>(now - deadline) >= 0;
}

/// True when tick `a` comes strictly before tick `b`.
constexpr bool TickBefore(uint32_t a, uint32_t b) noexcept {
    return static_cast<int32_t>(a - b) < 0;
}

}  // namespace cvq
