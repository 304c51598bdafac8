// TPoint: arithmetic with points and sizes, packed values, the 64-bit magnitude and
// the stored forms.
#include "GeometryTestSupport.h"

#include <commonvcqx/geometry/Point.h>
#include <commonvcqx/geometry/Rect.h>
#include <commonvcqx/streams/InputMemoryStream.h>
#include <commonvcqx/streams/OutputMemoryStream.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

TEST(PointTest, ArithmeticWithPointsAndSizes) {
    TPoint p(10, 20);
    EXPECT_EQ(p.X(), 10);
    EXPECT_EQ(p.Y(), 20);
    EXPECT_EQ(TPoint(), TPoint(0, 0));
    EXPECT_EQ(p + TSize(5, -5), TPoint(15, 15));
    EXPECT_EQ(p - TSize(5, -5), TPoint(5, 25));
    EXPECT_EQ(TPoint(15, 15) - p, TSize(5, -5));
    EXPECT_EQ(-p, TPoint(-10, -20));
    EXPECT_EQ(p.ShiftedBy(1, 2), TPoint(11, 22));
    EXPECT_TRUE(p != TPoint(10, 21));
    p += TSize(1, 1);
    EXPECT_EQ(p, TPoint(11, 21));
    p -= TSize(2, 2);
    EXPECT_EQ(p, TPoint(9, 19));
    p += 3;
    EXPECT_EQ(p, TPoint(12, 22));
    p -= 12;
    EXPECT_EQ(p, TPoint(0, 10));
    p.Shift(-1, -1);
    EXPECT_EQ(p, TPoint(-1, 9));
    p.SetNull();
    EXPECT_EQ(p, TPoint(0, 0));

    const POINT raw = TPoint(3, 4);
    EXPECT_EQ(raw.x * 10 + raw.y, 34);
    EXPECT_EQ(TPoint(raw), TPoint(3, 4));
    EXPECT_EQ(TPoint(SIZE{5, 6}), TPoint(5, 6));

    // Wrapping as the original's 32-bit arithmetic, never undefined.
    EXPECT_EQ(TPoint(INT_MAX, INT_MIN) + TSize(1, -1), TPoint(INT_MIN, INT_MAX));
    EXPECT_EQ(-TPoint(INT_MIN, 0), TPoint(INT_MIN, 0));
    EXPECT_EQ(TPoint(INT_MIN, 0) - TPoint(1, 0), TSize(INT_MAX, 0));
}

TEST(PointTest, PackedHalvesAreSigned) {
    struct TCase {
        uint32_t pack;
        TPoint point;
    };
    const TCase cases[] = {
        {0xFFFF0001u, TPoint(1, -1)},         {0x00000000u, TPoint(0, 0)},
        {0x80007FFFu, TPoint(32767, -32768)}, {0x7FFF8000u, TPoint(-32768, 32767)},
        {0x0002FFFEu, TPoint(-2, 2)},
    };
    for (const TCase& c : cases) {
        TPoint p(99, 99);
        p.InitFromPack(c.pack);
        EXPECT_EQ(p, c.point) << std::hex << c.pack;
    }
}

TEST(PointTest, MagnitudeIsExactForEveryCoordinate) {
    EXPECT_DOUBLE_EQ(TPoint(3, 4).Magnitude(), 5.0);
    EXPECT_DOUBLE_EQ(TPoint(-3, -4).Magnitude(), 5.0);
    EXPECT_DOUBLE_EQ(TPoint(0, 0).Magnitude(), 0.0);
    // 46341^2 passes 2^31: the original's 32-bit squares overflowed from here on.
    EXPECT_DOUBLE_EQ(TPoint(46341, 0).Magnitude(), 46341.0);
    EXPECT_DOUBLE_EQ(TPoint(INT_MIN, INT_MIN).Magnitude(), std::sqrt(2.0) * 2147483648.0);
    EXPECT_DOUBLE_EQ(TPoint(INT_MAX, 0).Magnitude(), 2147483647.0);
}

TEST(PointTest, StoredFormsAreByteExact) {
    using namespace geometry_test;
    const TPoint p(-1, 0x01020304);
    TOutputMemoryStream raw(16, 1);
    p.Write(raw);
    const uint8_t expected[] = {0xFF, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1};
    ASSERT_EQ(raw.GetCurrentPosition(), sizeof expected);
    EXPECT_EQ(std::memcmp(raw.GetStart(), expected, sizeof expected), 0);
    TInputMemoryStream in(raw.GetStart(), raw.GetCurrentPosition());
    TPoint back;
    back.Read(in);
    EXPECT_EQ(back, p);

    const std::vector<uint8_t> tagged =
        WriteBlock(1, [&](TTaggedOutputStream& out) { p.WriteState(out, 0, "P", 0); });
    const std::vector<uint8_t> wrapped = WriteBlock(1, [&](TTaggedOutputStream& out) {
        TTaggedOutputStream::TAutoTag tag(out, "P", 0);
        out.GetMemoryStream().Write(reinterpret_cast<const char*>(expected), 8);
    });
    EXPECT_EQ(tagged, wrapped);
    TReader reader(1, tagged);
    back = TPoint(7, 7);
    EXPECT_TRUE(back.RestoreState(reader.In(), 0, "P", 0));
    EXPECT_EQ(back, p);
    back = TPoint(7, 7);
    EXPECT_FALSE(back.RestoreState(reader.In(), 0, "Q", 0));
    EXPECT_EQ(back, TPoint(7, 7));

    // A 4-byte value is too short for a point.
    TReader narrow(
        1, WriteBlock(1, [](TTaggedOutputStream& out) { out.SetValue(int32_t(5), "P", 0); }));
    EXPECT_FALSE(back.RestoreState(narrow.In(), 0, "P", 0));
    EXPECT_EQ(back, TPoint(7, 7));
}
