// The numeric helpers at their boundaries: exact rounding on both sides of the
// halves, rounded division over the whole 32-bit range, bits, Fibonacci terms against
// the recurrence, the curves' clamping and continued fractions.
#include <commonvcqx/geometry/NumericFunctions.h>
#include <commonvcqx/geometry/Randomizer.h>

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <limits>

TEST(NumericFunctionsTest, RoundingIsExactHalfAwayFromZero) {
    const double kBelowHalf = std::nextafter(0.5, 0.0);  // 0.49999999999999994
    const double kTwo52 = 4503599627370496.0;
    struct TCase {
        double value, rounded;
    };
    const TCase cases[] = {
        {0.5, 1},
        {-0.5, -1},
        {2.5, 3},
        {-2.5, -3},
        {1.4999999999999998, 1},
        {kBelowHalf, 0},  // floor(x + 0.5) gives 1
        {-kBelowHalf, 0},
        {kTwo52 + 1, kTwo52 + 1},  // floor(x + 0.5) gives 2^52 + 2
        {-(kTwo52 + 1), -(kTwo52 + 1)},
        {kTwo52 - 0.5, kTwo52},  // the largest half, still away from zero
        {0.0, 0},
        {1e300, 1e300},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(RoundToClosestInteger(c.value), c.rounded) << c.value;
    }
    EXPECT_TRUE(std::signbit(RoundToClosestInteger(-0.25)));
    EXPECT_TRUE(std::isnan(RoundToClosestInteger(std::nan(""))));
    EXPECT_EQ(RoundToClosestInteger(-std::numeric_limits<double>::infinity()),
              -std::numeric_limits<double>::infinity());
    EXPECT_EQ(RoundToClosestInteger(2.5f), 3.0f);
    EXPECT_EQ(RoundToClosestInteger(std::nextafter(0.5f, 0.0f)), 0.0f);
    EXPECT_EQ(RoundToClosestInteger(16777215.0f), 16777215.0f);  // odd, above 2^23
    EXPECT_EQ(RoundToClosestInteger(-1.5f), -2.0f);
}

TEST(NumericFunctionsTest, DivideAndRoundMatchesExactRounding) {
    struct TCase {
        int32_t a, b, q;
    };
    const TCase cases[] = {
        {7, 2, 3},
        {8, 3, 3},
        {-8, 3, -3},
        {5, 3, 2},
        {-7, 2, -3},
        {7, -2, -3},
        {-7, -2, 3},
        {0, 5, 0},
        {5, 0, 0},
        {INT_MIN, 0, 0},
        {INT_MIN, 1, INT_MIN},
        {INT_MIN, -1, INT_MAX},
        {INT_MIN, 2, -1073741824},
        {INT_MAX, INT_MIN, -1},
        {INT_MIN, INT_MIN, 1},
        {INT_MIN, 3, -715827883},
        {INT_MAX, 2, 1073741823},
        {1, INT_MIN, 0},
    };
    for (const TCase& c : cases) EXPECT_EQ(DivideAndRound(c.a, c.b), c.q) << c.a << "/" << c.b;

    // Against exact rational rounding: |a|/|b| to the closest, halves toward zero.
    TRandomizer random(5);
    for (int i = 0; i < 20000; ++i) {
        auto draw = [&] {
            return int32_t(random.Get(0xFFFFFFFFu) ^ (random.Get(2) << 31)) >> random.Get(32);
        };
        const int32_t a = draw(), b = draw();
        if (b == 0) continue;
        const int64_t na = a < 0 ? -int64_t{a} : a, nb = b < 0 ? -int64_t{b} : b;
        int64_t q = na / nb;
        if (2 * (na % nb) > nb) ++q;
        if ((a < 0) != (b < 0)) q = -q;
        const int64_t expected = q > INT_MAX ? INT_MAX : q;
        ASSERT_EQ(DivideAndRound(a, b), expected) << a << "/" << b;
    }
}

TEST(NumericFunctionsTest, BitHelpers) {
    EXPECT_EQ(Log2(1024), 10);
    EXPECT_EQ(Log2(1000), -1);
    EXPECT_EQ(Log2(0), -1);
    EXPECT_EQ(Log2(1), 0);
    EXPECT_EQ(Log2(0x80000000u), 31);
    EXPECT_EQ(Log2(0xFFFFFFFFu), -1);
    for (int n = 0; n < 32; ++n) {
        EXPECT_EQ(Log2(1u << n), n);
        if (n > 1) {
            EXPECT_EQ(Log2((1u << n) + 1), -1);
        }
    }
    EXPECT_EQ(FindNumBits(0), 0);
    EXPECT_EQ(FindNumBits(-1), 32);
    EXPECT_EQ(FindNumBits(INT_MIN), 1);
    EXPECT_EQ(FindNumBits(0x55555555), 16);
    EXPECT_EQ(FindNumBits(0x12345678), 13);
}

TEST(NumericFunctionsTest, FibonacciTermsAreExactThenSaturate) {
    EXPECT_EQ(ComputeFiboTerm(10), 55);
    int64_t previous = 0, current = 1;  // F(0), F(1)
    for (int n = 0; n <= 46; ++n) {
        ASSERT_EQ(ComputeFiboTerm(n), previous) << n;
        const int64_t next = previous + current;
        previous = current;
        current = next;
    }
    EXPECT_EQ(ComputeFiboTerm(47), INT_MAX);  // 2 971 215 073 does not fit
    EXPECT_EQ(ComputeFiboTerm(2000), INT_MAX);
    EXPECT_EQ(ComputeFiboTerm(INT_MAX), INT_MAX);
    EXPECT_EQ(ComputeFiboTerm(-1), 0);
    EXPECT_EQ(ComputeFiboTerm(INT_MIN), 0);
}

TEST(NumericFunctionsTest, CurvesMapTheRangeOntoItselfAndClamp) {
    EXPECT_EQ(MapLinearToLog(0, 100), 0);
    EXPECT_EQ(MapLinearToLog(100, 100), 100);
    EXPECT_EQ(MapLinearToLog(9, 100), 50);
    EXPECT_EQ(MapLinearToExp(0, 100), 0);
    EXPECT_EQ(MapLinearToExp(100, 100), 100);
    EXPECT_EQ(MapLinearToExp(91, 100), 50);  // the mirror of 9 -> 50
    // Outside the range: clamped to its ends.
    EXPECT_EQ(MapLinearToLog(-1, 100), 0);
    EXPECT_EQ(MapLinearToLog(INT_MIN, 100), 0);
    EXPECT_EQ(MapLinearToLog(101, 100), 100);
    EXPECT_EQ(MapLinearToExp(-5, 100), 0);
    EXPECT_EQ(MapLinearToExp(INT_MAX, 100), 100);
    // No curve without a range.
    for (int32_t range : {0, -1, INT_MIN}) {
        EXPECT_EQ(MapLinearToLog(0, range), 0);
        EXPECT_EQ(MapLinearToExp(5, range), 0);
    }
    EXPECT_EQ(MapLinearToLog(INT_MAX, INT_MAX), INT_MAX);
    EXPECT_EQ(MapLinearToExp(INT_MAX, INT_MAX), INT_MAX);
    // Monotone over the whole of a range, the log curve above the diagonal.
    for (int32_t range : {1, 2, 7, 100, 1000}) {
        int32_t lastLog = 0, lastExp = 0;
        for (int32_t a = 0; a <= range; ++a) {
            const int32_t log = MapLinearToLog(a, range), exp = MapLinearToExp(a, range);
            ASSERT_GE(log, lastLog);
            ASSERT_GE(exp, lastExp);
            ASSERT_GE(log, a);
            ASSERT_LE(exp, a);
            lastLog = log;
            lastExp = exp;
        }
    }
}

TEST(NumericFunctionsTest, BestFractions) {
    struct TCase {
        double x;
        int32_t limit, numerator, denominator;
    };
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    const double kInf = std::numeric_limits<double>::infinity();
    const TCase cases[] = {
        {0.75, 100, 3, 4},
        {3.14159265, 1000, 355, 113},
        {3.14159265, 100, 22, 7},
        {-0.75, 100, 3, 4},  // the sign is dropped
        {0.5, 1, 0, 1},      // 1/2 passes the limit: the convergent before it
        {2.0, 10, 2, 1},
        {0.0, 10, 0, 1},
        {1000.0, 10, 0, 0},     // even the first convergent passes the limit
        {1e15, INT_MAX, 0, 0},  // beyond 32 bits: never narrowed
        {4294967296.5, INT_MAX, 0, 0},
        {0.1, 100, 1, 10},
        {1.0 / 3.0, 1000000, 1, 3},
        {kNaN, 100, 0, 0},
        {kInf, 100, 0, 0},
        {-kInf, 100, 0, 0},
        {0.75, 0, 0, 0},
        {0.75, -5, 0, 0},
    };
    for (const TCase& c : cases) {
        int32_t p = -1, q = -1;
        FindBestFraction(c.x, &p, &q, c.limit);
        EXPECT_EQ(p, c.numerator) << c.x << " within " << c.limit;
        EXPECT_EQ(q, c.denominator) << c.x << " within " << c.limit;
    }
    // The golden ratio uses all ten quotients: 89/55.
    int32_t p, q;
    FindBestFraction((1 + std::sqrt(5.0)) / 2, &p, &q, 1000000);
    EXPECT_EQ(p, 89);
    EXPECT_EQ(q, 55);
}
