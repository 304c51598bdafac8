// TSize: arithmetic, unsigned packed halves, the magnitude and the stored forms.
#include "GeometryTestSupport.h"

#include <commonvcqx/geometry/Size.h>

#include <gtest/gtest.h>

#include <climits>

TEST(SizeTest, Arithmetic) {
    TSize s(3, 4);
    EXPECT_EQ(s + TSize(1, 1), TSize(4, 5));
    EXPECT_EQ(s - TSize(1, 1), TSize(2, 3));
    EXPECT_EQ(-s, TSize(-3, -4));
    s += TSize(1, 2);
    EXPECT_EQ(s, TSize(4, 6));
    s -= TSize(4, 6);
    EXPECT_EQ(s, TSize(0, 0));
    s += 5;
    EXPECT_EQ(s, TSize(5, 5));
    s -= 7;
    EXPECT_EQ(s, TSize(-2, -2));
    EXPECT_TRUE(s != TSize(-2, -1));
    EXPECT_DOUBLE_EQ(TSize(6, 8).Magnitude(), 10.0);
    EXPECT_EQ(TSize(INT_MAX, 0) + TSize(1, 0), TSize(INT_MIN, 0));
    const SIZE raw = TSize(7, 8);
    EXPECT_EQ(raw.cx * 10 + raw.cy, 78);
    EXPECT_EQ(TSize(raw), TSize(7, 8));
    EXPECT_EQ(TSize(POINT{1, 2}), TSize(1, 2));
}

TEST(SizeTest, PackedHalvesAreUnsigned) {
    struct TCase {
        uint32_t pack;
        TSize size;
    };
    const TCase cases[] = {
        {0xFFFF0001u, TSize(1, 65535)},
        {0x80007FFFu, TSize(32767, 32768)},
        {0x0000FFFFu, TSize(65535, 0)},
    };
    for (const TCase& c : cases) {
        TSize s;
        s.InitFromPack(c.pack);
        EXPECT_EQ(s, c.size) << std::hex << c.pack;
    }
}

TEST(SizeTest, StoredFormsRoundTrip) {
    using namespace geometry_test;
    const TSize s(INT_MIN, INT_MAX);
    for (char useTags : {char(1), char(0)}) {
        const std::vector<uint8_t> block = WriteBlock(useTags, [&](TTaggedOutputStream& out) {
            s.WriteState(out, 0, "S", 1);
            TSize(1, 2).WriteState(out, 0, "S", 2);
        });
        TReader reader(useTags, block);
        TSize back;
        EXPECT_TRUE(back.RestoreState(reader.In(), 0, "S", 1));
        EXPECT_EQ(back, s);
        EXPECT_TRUE(back.RestoreState(reader.In(), 0, "S", 2));
        EXPECT_EQ(back, TSize(1, 2));
    }
}
