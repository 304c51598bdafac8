// commonvcqx/base/CheckedArithmetic.h
//
// Integer arithmetic that the 32-bit original left to the machine, made defined here:
// 32-bit sums, differences and products that wrap modulo 2^32 as the original's did,
// the same widened to 64 bits where the exact value is wanted, narrowing on purpose,
// doubles checked before they become integers, and division that rounds toward
// negative infinity.
//
//   int32_t next = cvq::WrapAdd32(INT32_MAX, 1);             // INT32_MIN, no overflow
//   int64_t area = cvq::WideMultiply(width, height);         // exact
//   int32_t n = cvq::SaturatingCast<int32_t>(1e12);          // INT32_MAX
//   std::optional<int32_t> m = cvq::CheckedCast<int32_t>(x); // empty for NaN, inf, range
//   int32_t row = cvq::FloorDivide(-7, 2);                   // -4 (plain / gives -3)
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <type_traits>

namespace cvq {

/// The low 32 bits of `value` as a signed number (the original's silent narrowing).
constexpr int32_t WrapToInt32(int64_t value) noexcept {
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

constexpr int32_t WrapAdd32(int32_t a, int32_t b) noexcept {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
constexpr int32_t WrapSubtract32(int32_t a, int32_t b) noexcept {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
constexpr int32_t WrapMultiply32(int32_t a, int32_t b) noexcept {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
constexpr int32_t WrapNegate32(int32_t a) noexcept {
    return static_cast<int32_t>(0u - static_cast<uint32_t>(a));
}

/// Exact results of 32-bit operands.
constexpr int64_t WideAdd(int32_t a, int32_t b) noexcept {
    return int64_t{a} + b;
}
constexpr int64_t WideSubtract(int32_t a, int32_t b) noexcept {
    return int64_t{a} - b;
}
constexpr int64_t WideMultiply(int32_t a, int32_t b) noexcept {
    return int64_t{a} * b;
}

constexpr bool FitsInt32(int64_t value) noexcept {
    return value >= std::numeric_limits<int32_t>::min() &&
           value <= std::numeric_limits<int32_t>::max();
}
/// `value` clamped to the 32-bit range.
constexpr int32_t SaturateToInt32(int64_t value) noexcept {
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}
/// `value` clamped to 0xFFFFFFFF (sums of 32-bit sizes that may pass 4 GB).
constexpr uint32_t SaturateToUInt32(uint64_t value) noexcept {
    return value > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                        : static_cast<uint32_t>(value);
}

/// `value` truncated toward zero when the result fits TInt; empty for NaN, infinities
/// and values out of range (where a plain cast is undefined).
template <class TInt>
std::optional<TInt> CheckedCast(double value) noexcept {
    static_assert(std::is_integral_v<TInt> && sizeof(TInt) <= 8);
    // Both bounds are powers of two, so they are exact as doubles.
    constexpr double kEnd = double(std::numeric_limits<TInt>::max() / 2 + 1) * 2.0;
    constexpr double kStart = std::is_signed_v<TInt> ? -kEnd : 0.0;
    const double whole = std::trunc(value);
    if (!(whole >= kStart && whole < kEnd)) return std::nullopt;
    return static_cast<TInt>(whole);
}

/// `value` truncated toward zero and clamped to TInt's range; NaN gives 0.
template <class TInt>
TInt SaturatingCast(double value) noexcept {
    if (std::optional<TInt> exact = CheckedCast<TInt>(value)) return *exact;
    if (std::isnan(value)) return 0;
    return value < 0 ? std::numeric_limits<TInt>::min() : std::numeric_limits<TInt>::max();
}

/// a / b rounded toward negative infinity (b != 0). The one quotient that does not
/// fit, the minimum divided by -1, wraps to the minimum.
template <class TInt>
constexpr TInt FloorDivide(TInt a, TInt b) noexcept {
    static_assert(std::is_integral_v<TInt> && std::is_signed_v<TInt>);
    if (b == -1)
        return static_cast<TInt>(std::make_unsigned_t<TInt>(0) - std::make_unsigned_t<TInt>(a));
    TInt quotient = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --quotient;
    return quotient;
}

/// The remainder that goes with FloorDivide: 0 or of the sign of b (b != 0).
template <class TInt>
constexpr TInt FloorModulo(TInt a, TInt b) noexcept {
    static_assert(std::is_integral_v<TInt> && std::is_signed_v<TInt>);
    if (b == -1) return 0;
    TInt rest = a % b;
    if (rest != 0 && ((rest < 0) != (b < 0))) rest += b;
    return rest;
}

}  // namespace cvq
