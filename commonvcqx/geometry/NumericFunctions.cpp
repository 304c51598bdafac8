// The numeric helpers.
#include <commonvcqx/base/CheckedArithmetic.h>
#include <commonvcqx/geometry/NumericFunctions.h>

#include <algorithm>
#include <cmath>

double RoundToClosestInteger(double value) noexcept {
    // floor(x + 0.5) rounds 0.49999999999999994 and odd integers above 2^52 up
    // (the sum itself rounds); std::round is the exact half-away-from-zero rounding.
    return std::round(value);
}

float RoundToClosestInteger(float value) noexcept {
    return std::round(value);
}

int32_t DivideAndRound(int32_t a, int32_t b) noexcept {
    if (b == 0) return 0;
    // Magnitudes in unsigned arithmetic, so INT32_MIN has one.
    const uint32_t dividend = a < 0 ? 0u - uint32_t(a) : uint32_t(a);
    const uint32_t divisor = b < 0 ? 0u - uint32_t(b) : uint32_t(b);
    uint64_t quotient = dividend / divisor;
    if (2 * uint64_t(dividend % divisor) > divisor) ++quotient;
    if ((a < 0) != (b < 0)) return cvq::SaturateToInt32(-int64_t(quotient));
    return cvq::SaturateToInt32(int64_t(quotient));
}

int32_t ComputeFiboTerm(int n) noexcept {
    constexpr double kGoldenRatio = 1.618033988749895;
    constexpr double kInverseRootOfFive = 0.4472135954999579;
    return cvq::SaturatingCast<int32_t>(
        RoundToClosestInteger(std::pow(kGoldenRatio, n) * kInverseRootOfFive));
}

namespace {

// trunc(range * ln(x + 1) / ln(range + 1) + 0.5) for x in 0..range: within 0..range.
int32_t LogCurve(int32_t x, int32_t range) noexcept {
    const double curve = double(range) * std::log(double(x) + 1) / std::log(double(range) + 1);
    return std::clamp(cvq::SaturatingCast<int32_t>(curve + 0.5), 0, range);
}

}  // namespace

int32_t MapLinearToLog(int32_t value, int32_t range) noexcept {
    if (range <= 0) return 0;
    return LogCurve(std::clamp(value, 0, range), range);
}

int32_t MapLinearToExp(int32_t value, int32_t range) noexcept {
    if (range <= 0) return 0;
    return range - LogCurve(range - std::clamp(value, 0, range), range);
}

void FindBestFraction(double x, int32_t* numerator, int32_t* denominator, int32_t limit) noexcept {
    constexpr int kMaxQuotients = 10;
    const double kExact = std::ldexp(1.0, -52);
    *numerator = 0;
    *denominator = 0;
    double v = std::fabs(x);
    if (!std::isfinite(v)) return;
    double quotients[kMaxQuotients];
    for (int count = 0; count < kMaxQuotients;) {
        const double whole = std::floor(v);
        quotients[count++] = whole;
        // The convergent [a0; a1, ..., ai], folded from the last quotient backwards.
        double p = whole, q = 1;
        for (int j = count - 2; j >= 0; --j) {
            const double next = quotients[j] * p + q;
            q = p;
            p = next;
        }
        // The limit is tested before narrowing, the exact case included: a fraction
        // past the limit (or past 32 bits) never comes out.
        if (p > limit || q > limit) return;
        *numerator = int32_t(p);
        *denominator = int32_t(q);
        if (v - whole < kExact) return;
        v = 1 / (v - whole);
    }
}
