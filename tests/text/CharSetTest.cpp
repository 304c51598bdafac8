#include <commonvcqx/text/BitSet256.h>
#include <commonvcqx/text/CharSet.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

int CountSet(const TBitSet256& s) {
    int n = 0;
    for (int c = 0; c < 256; ++c) n += s.IsSet(static_cast<unsigned char>(c));
    return n;
}

}  // namespace

TEST(CharSetTest, BitLayoutAndSetOperations) {
    TBitSet256 empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(CountSet(~empty), 256);
    EXPECT_TRUE(empty.IsEmpty());  // ~ leaves the operand alone

    // Value c is bit (c & 7) of byte (c >> 3): the stored bytes are the wire layout.
    TBitSet256 s;
    s.Enable(0);
    s.Enable(9);
    s.Enable(255);
    unsigned char raw[32];
    std::memcpy(raw, &s, 32);
    EXPECT_EQ(raw[0], 0x01);
    EXPECT_EQ(raw[1], 0x02);
    EXPECT_EQ(raw[31], 0x80);
    static_assert(sizeof(TBitSet256) == 32 && sizeof(TCharSet) == 32);

    s.Disable(9);
    s.Disable(10);  // clearing an absent value changes nothing
    EXPECT_EQ(CountSet(s), 2);
    EXPECT_EQ(s.IsSet(0), 1);
    EXPECT_EQ(s.IsSet(9), 0);

    TBitSet256 negated(s);
    negated.Negate();
    EXPECT_EQ(CountSet(negated), 254);
    EXPECT_TRUE((negated & s).IsEmpty());
    EXPECT_EQ(CountSet(negated | s), 256);
    EXPECT_TRUE(~negated == s);
    EXPECT_FALSE(negated == s);

    TBitSet256 a, b;
    a.Enable('x');
    a.Enable('y');
    b.Enable('y');
    b.Enable('z');
    TBitSet256 both(a);
    both &= b;
    EXPECT_EQ(CountSet(both), 1);
    EXPECT_EQ(both.IsSet('y'), 1);
    a |= b;
    EXPECT_EQ(CountSet(a), 3);
    TBitSet256& alias = a;
    a = alias;  // self-assignment keeps the bits
    EXPECT_EQ(CountSet(a), 3);
}

TEST(CharSetTest, BuiltFromText) {
    TCharSet abc("abca");
    EXPECT_EQ(CountSet(abc), 3);
    EXPECT_EQ(abc.IsSet('a') + abc.IsSet('b') + abc.IsSet('c'), 3);
    EXPECT_TRUE(TCharSet("").IsEmpty());
    EXPECT_TRUE(TCharSet(static_cast<const char*>(nullptr)).IsEmpty());
    TCharSet high("\xFF\x80");
    EXPECT_EQ(high.IsSet(0xFF), 1);
    EXPECT_EQ(high.IsSet(0x80), 1);
    TCharSet fromBits(~TBitSet256());
    EXPECT_EQ(CountSet(fromBits), 256);
    TCharSet copy(abc);
    EXPECT_TRUE(copy == abc);
}
