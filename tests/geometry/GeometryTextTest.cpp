// Geometry values as text: the documented forms, atoi's forgiving reading with
// 32-bit saturation, and round trips of random values.
#include <commonvcqx/geometry/GeometryText.h>
#include <commonvcqx/geometry/Randomizer.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>

TEST(GeometryTextTest, WritesCommaSeparatedDecimals) {
    EXPECT_STREQ(ValueToString(TPoint(10, -20)).c_str(), "10,-20");
    EXPECT_STREQ(ValueToString(TSize(0, 0)).c_str(), "0,0");
    EXPECT_STREQ(ValueToString(TRect(INT_MIN, -1, INT_MAX, 0)).c_str(),
                 "-2147483648,-1,2147483647,0");
}

TEST(GeometryTextTest, ReadsAsAtoiDoes) {
    struct TCase {
        const char* text;
        TRect rect;
    };
    const TCase cases[] = {
        {"12", TRect(12, 0, 0, 0)},
        {"1,2,3", TRect(1, 2, 3, 0)},
        {"1,2,3,4,5", TRect(1, 2, 3, 4)},
        {"", TRect(0, 0, 0, 0)},
        {",5", TRect(0, 5, 0, 0)},
        {" -7 , +8,x9,10", TRect(-7, 8, 0, 10)},
        {"99999999999,-99999999999", TRect(INT_MAX, INT_MIN, 0, 0)},
        {"1;2,3", TRect(1, 3, 0, 0)},  // only commas separate
        {"0x10,010", TRect(0, 10, 0, 0)},
        {"1,,,", TRect(1, 0, 0, 0)},
    };
    for (const TCase& c : cases) {
        TRect rect(9, 9, 9, 9);
        StringToValue(TString(c.text), &rect);
        EXPECT_EQ(rect, c.rect) << c.text;
    }
    TPoint point(9, 9);
    StringToValue(TString("4"), &point);
    EXPECT_EQ(point, TPoint(4, 0));
    TSize size(9, 9);
    StringToValue(TString("4,5,6"), &size);
    EXPECT_EQ(size, TSize(4, 5));
}

TEST(GeometryTextTest, RandomValuesRoundTrip) {
    TRandomizer random(3);
    auto draw = [&] { return int32_t(random.Get(0xFFFFFFFFu) ^ (random.Get(2) << 31)); };
    for (int i = 0; i < 500; ++i) {
        const TRect rect(draw(), draw(), draw(), draw());
        TRect rectBack;
        StringToValue(ValueToString(rect), &rectBack);
        ASSERT_EQ(rectBack, rect);
        const TPoint point(draw(), draw());
        TPoint pointBack;
        StringToValue(ValueToString(point), &pointBack);
        ASSERT_EQ(pointBack, point);
        const TSize size(draw(), draw());
        TSize sizeBack;
        StringToValue(ValueToString(size), &sizeBack);
        ASSERT_EQ(sizeBack, size);
    }
}
