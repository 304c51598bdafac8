// Wrapping and widening 32-bit arithmetic, checked double conversions and floor
// division, against exact 64-bit and long double models.
#include <commonvcqx/base/CheckedArithmetic.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

TEST(CheckedArithmeticTest, WrappingMatchesExactResultModulo32Bits) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    const int32_t edges[] = {INT32_MIN, INT32_MIN + 1, -1, 0, 1, INT32_MAX - 1, INT32_MAX};
    auto check = [](int32_t a, int32_t b) {
        EXPECT_EQ(cvq::WrapAdd32(a, b), cvq::WrapToInt32(cvq::WideAdd(a, b))) << a << " " << b;
        EXPECT_EQ(cvq::WrapSubtract32(a, b), cvq::WrapToInt32(cvq::WideSubtract(a, b)));
        EXPECT_EQ(cvq::WrapMultiply32(a, b), cvq::WrapToInt32(cvq::WideMultiply(a, b)));
        EXPECT_EQ(cvq::WrapNegate32(a), cvq::WrapToInt32(-int64_t{a}));
        EXPECT_EQ(cvq::SaturateToInt32(cvq::WideAdd(a, b)),
                  std::clamp<int64_t>(int64_t{a} + b, INT32_MIN, INT32_MAX));
        EXPECT_EQ(cvq::FitsInt32(cvq::WideAdd(a, b)),
                  int64_t{a} + b >= INT32_MIN && int64_t{a} + b <= INT32_MAX);
    };
    for (int32_t a : edges)
        for (int32_t b : edges) check(a, b);
    for (int i = 0; i < 10000; ++i) check(any(random), any(random));
    EXPECT_EQ(cvq::WrapAdd32(INT32_MAX, 1), INT32_MIN);
    EXPECT_EQ(cvq::WrapMultiply32(65536, 65536), 0);
    EXPECT_EQ(cvq::WrapToInt32(int64_t{1} << 32 | 5), 5);
    EXPECT_EQ(cvq::WideMultiply(INT32_MIN, INT32_MIN), int64_t{1} << 62);
    EXPECT_EQ(cvq::SaturateToUInt32(0xFFFFFFFFu), 0xFFFFFFFFu);
    EXPECT_EQ(cvq::SaturateToUInt32(uint64_t{1} << 32), 0xFFFFFFFFu);
    EXPECT_EQ(cvq::SaturateToUInt32(7), 7u);
}

TEST(CheckedArithmeticTest, CheckedCastAcceptsExactlyTheValuesThatFit) {
    struct TCase {
        double value;
        bool fits;
        int32_t result;
    };
    const TCase int32Cases[] = {
        {0.0, true, 0},
        {-0.0, true, 0},
        {2147483647.0, true, INT32_MAX},
        {2147483647.99, true, INT32_MAX},
        {2147483648.0, false, 0},
        {-2147483648.0, true, INT32_MIN},
        {-2147483648.99, true, INT32_MIN},
        {-2147483649.0, false, 0},
        {-7.9, true, -7},
        {7.9, true, 7},
        {kNaN, false, 0},
        {kInf, false, 0},
        {-kInf, false, 0},
        {1e300, false, 0},
    };
    for (const TCase& c : int32Cases) {
        std::optional<int32_t> got = cvq::CheckedCast<int32_t>(c.value);
        EXPECT_EQ(got.has_value(), c.fits) << c.value;
        if (c.fits && got) {
            EXPECT_EQ(*got, c.result) << c.value;
        }
    }
    EXPECT_EQ(cvq::CheckedCast<uint32_t>(-0.99), 0u);
    EXPECT_FALSE(cvq::CheckedCast<uint32_t>(-1.0));
    EXPECT_EQ(cvq::CheckedCast<uint32_t>(4294967295.5), UINT32_MAX);
    EXPECT_FALSE(cvq::CheckedCast<uint32_t>(4294967296.0));
    const double twoTo63 = std::ldexp(1.0, 63);
    EXPECT_FALSE(cvq::CheckedCast<int64_t>(twoTo63));
    EXPECT_EQ(cvq::CheckedCast<int64_t>(-twoTo63), INT64_MIN);
    EXPECT_EQ(cvq::CheckedCast<int64_t>(std::nextafter(twoTo63, 0.0)),
              int64_t(std::nextafter(twoTo63, 0.0)));
    EXPECT_FALSE(cvq::CheckedCast<int64_t>(std::nextafter(-twoTo63, -kInf)));
    EXPECT_FALSE(cvq::CheckedCast<uint64_t>(std::ldexp(1.0, 64)));
    EXPECT_EQ(cvq::CheckedCast<int16_t>(-32768.5), int16_t{-32768});
    EXPECT_FALSE(cvq::CheckedCast<int16_t>(32768.0));
}

TEST(CheckedArithmeticTest, SaturatingCastClampsAndSendsNaNToZero) {
    EXPECT_EQ(cvq::SaturatingCast<int32_t>(1e12), INT32_MAX);
    EXPECT_EQ(cvq::SaturatingCast<int32_t>(-1e12), INT32_MIN);
    EXPECT_EQ(cvq::SaturatingCast<int32_t>(kInf), INT32_MAX);
    EXPECT_EQ(cvq::SaturatingCast<int32_t>(-kInf), INT32_MIN);
    EXPECT_EQ(cvq::SaturatingCast<int32_t>(kNaN), 0);
    EXPECT_EQ(cvq::SaturatingCast<int32_t>(-12.7), -12);
    EXPECT_EQ(cvq::SaturatingCast<uint32_t>(-5.0), 0u);
    EXPECT_EQ(cvq::SaturatingCast<uint32_t>(5e9), UINT32_MAX);
    EXPECT_EQ(cvq::SaturatingCast<int64_t>(1e30), INT64_MAX);
}

TEST(CheckedArithmeticTest, FloorDivisionRoundsDownAndKeepsTheIdentity) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    std::uniform_int_distribution<int32_t> small(-20, 20);
    auto check = [](int32_t a, int32_t b) {
        if (b == 0) return;
        int32_t q = cvq::FloorDivide(a, b), r = cvq::FloorModulo(a, b);
        if (!(a == INT32_MIN && b == -1)) {
            EXPECT_EQ(int64_t{q}, int64_t(std::floor((long double)a / b))) << a << " / " << b;
            EXPECT_EQ(int64_t{q} * b + r, a) << a << " / " << b;
        }
        EXPECT_TRUE(r == 0 || (r < 0) == (b < 0)) << a << " % " << b;
        EXPECT_LT(std::abs(int64_t{r}), std::abs(int64_t{b}));
    };
    for (int i = 0; i < 10000; ++i) {
        check(any(random), any(random));
        check(any(random), small(random));
        check(small(random), small(random));
    }
    for (int32_t a : {INT32_MIN, INT32_MIN + 1, -1, 0, 1, INT32_MAX})
        for (int32_t b : {INT32_MIN, -2, -1, 1, 2, INT32_MAX}) check(a, b);
    EXPECT_EQ(cvq::FloorDivide(-7, 2), -4);
    EXPECT_EQ(cvq::FloorModulo(-7, 2), 1);
    EXPECT_EQ(cvq::FloorDivide(7, -2), -4);
    EXPECT_EQ(cvq::FloorModulo(7, -2), -1);
    EXPECT_EQ(cvq::FloorDivide(INT32_MIN, -1), INT32_MIN);  // wraps instead of trapping
    EXPECT_EQ(cvq::FloorDivide<int64_t>(-1, 10000000), -1);
    EXPECT_EQ(cvq::FloorModulo<int64_t>(-1, 10000000), 9999999);
    static_assert(cvq::FloorDivide(-1, 3) == -1 && cvq::FloorModulo(-1, 3) == 2);
}
