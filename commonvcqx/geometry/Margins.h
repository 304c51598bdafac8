// commonvcqx/geometry/Margins.h
//
// TMargins: four edge distances (left, top, right, bottom) that grow or shrink a
// TRect edge by edge.
//
//   TRect inner = TRect(0, 0, 10, 10) - TMargins(1, 2, 3, 4);   // (1, 2, 7, 6)
#pragma once

#include <cstdint>

class TMargins {
public:
    /// No distances.
    constexpr TMargins() noexcept = default;
    constexpr TMargins(int32_t left, int32_t top, int32_t right, int32_t bottom) noexcept
        : m_left(left), m_top(top), m_right(right), m_bottom(bottom) {}

    constexpr int32_t Left() const noexcept { return m_left; }
    constexpr int32_t Top() const noexcept { return m_top; }
    constexpr int32_t Right() const noexcept { return m_right; }
    constexpr int32_t Bottom() const noexcept { return m_bottom; }
    friend constexpr bool operator==(const TMargins&, const TMargins&) noexcept = default;

private:
    int32_t m_left = 0;
    int32_t m_top = 0;
    int32_t m_right = 0;
    int32_t m_bottom = 0;
};
