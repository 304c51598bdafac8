// The numeric helpers and straight lines on arbitrary numbers, under the undefined-
// behaviour sanitizer: no input converts a NaN, an infinity or an out-of-range double
// to an integer or overflows, and the results keep their documented bounds.
#include <commonvcqx/geometry/NumericFunctions.h>
#include <commonvcqx/geometry/StraightLine.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

template <class T>
T Take(const uint8_t*& data, size_t& size) {
    T value{};
    const size_t n = size < sizeof(T) ? size : sizeof(T);
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const double x = Take<double>(data, size);
    const int32_t a = Take<int32_t>(data, size);
    const int32_t b = Take<int32_t>(data, size);
    const double y = Take<double>(data, size);
    const double slope = Take<double>(data, size);
    const double intercept = Take<double>(data, size);

    int32_t p, q;
    FindBestFraction(x, &p, &q, b);
    if (p < 0 || q < 0 || p > std::max(b, 0) || q > std::max(b, 0)) std::abort();
    if (q == 0 && p != 0) std::abort();

    const int32_t log = MapLinearToLog(a, b), exp = MapLinearToExp(a, b);
    if (log < 0 || exp < 0 || log > std::max(b, 0) || exp > std::max(b, 0)) std::abort();

    const int32_t quotient = DivideAndRound(a, b);
    if (b != 0) {
        const double exact = double(a) / double(b);
        if (std::fabs(double(quotient) - exact) > 0.5 && !(a == INT32_MIN && b == -1)) std::abort();
    }
    (void)ComputeFiboTerm(a);
    (void)RoundToClosestInteger(x);
    (void)RoundToClosestInteger(float(y));
    const int bits = FindNumBits(a);
    if (bits < 0 || bits > 32) std::abort();
    const int exponent = Log2(uint32_t(b));
    if (exponent >= 0 && uint32_t(b) != 1u << exponent) std::abort();

    const TStraightLine lines[] = {
        TStraightLine(slope, intercept),
        TStraightLine(x, y, slope, intercept),
        TStraightLine(TPoint(a, b), TPoint(b, a)),
    };
    for (const TStraightLine& line : lines) {
        double ix, iy;
        (void)line.ComputeIntersection(lines[0], &ix, &iy);
        (void)line.ComputeOrthogonalDistance(x, y);
        (void)line.GetOrthogonalProjection(TPoint(a, b));
        double px = x, py = y;
        line.ProjectOrthogonally(&px, &py);
    }
    return 0;
}
