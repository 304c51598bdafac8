// commonvcqx/geometry/NumericFunctions.h
//
// Small numeric helpers the library and its users share: rounding, integer division
// with rounding, exact powers of two, bit counts, logarithmic and exponential
// remapping of an integer range, Fibonacci terms and rational approximation.
//
//   double r = RoundToClosestInteger(-2.5);            // -3: halves away from zero
//   int32_t q = DivideAndRound(8, 3);                   // 3
//   int32_t level = MapLinearToLog(9, 100);             // 50
//   int32_t p, d;
//   FindBestFraction(3.14159265, &p, &d, 1000);         // 355 / 113
//
// Every function is defined for every input: out-of-range arguments are clamped or
// give the documented fallback, never an undefined conversion.
#pragma once

#include <bit>
#include <cstdint>

/// The closest integer, halves away from zero, exact for every value (NaN and
/// infinities come back unchanged).
double RoundToClosestInteger(double value) noexcept;
float RoundToClosestInteger(float value) noexcept;

/// a / b rounded to the closest integer, an exact half toward zero. A zero divisor
/// gives 0; the one quotient beyond 32 bits (INT32_MIN / -1) saturates to INT32_MAX.
int32_t DivideAndRound(int32_t a, int32_t b) noexcept;

/// n when value is exactly 2^n, else -1.
constexpr int Log2(uint32_t value) noexcept {
    return std::has_single_bit(value) ? std::countr_zero(value) : -1;
}

/// The number of set bits of the 32-bit value.
constexpr int FindNumBits(int32_t value) noexcept {
    return std::popcount(uint32_t(value));
}

/// The Fibonacci term n from Binet's formula, exact up to n = 46; 0 below n = 0 and
/// INT32_MAX past the 32-bit range.
int32_t ComputeFiboTerm(int n) noexcept;

/// Maps 0..range onto 0..range along a logarithmic curve (0 -> 0, range -> range).
/// `value` is clamped to 0..range; a range of 0 or less gives 0.
int32_t MapLinearToLog(int32_t value, int32_t range) noexcept;
/// The mirror image of MapLinearToLog: an exponential curve, with the same clamping.
int32_t MapLinearToExp(int32_t value, int32_t range) noexcept;

/// The continued-fraction approximation of |x| whose numerator and denominator stay
/// within `limit`, from at most ten partial quotients. 0 / 0 when even the first
/// convergent passes the limit, and for NaN and infinities.
void FindBestFraction(double x, int32_t* numerator, int32_t* denominator, int32_t limit) noexcept;
