#include <commonvcqx/streams/InputMemoryBitStream.h>

#include <gtest/gtest.h>

TEST(InputMemoryBitStreamTest, BitsComeMostSignificantFirstAcrossBytes) {
    const char data[] = {char(0xA0), char(0x5C), char(0xFF), char(0x01)};
    struct Case {
        int32_t start;
        int n;
        uint32_t value;
    } cases[] = {
        {0, 3, 5},                  // 101
        {0, 8, 0xA0}, {1, 4, 0x4},  // 0100
        {4, 8, 0x05},               // low nibble of A0, high nibble of 5C
        {6, 6, 0x05},               // 00 0101
        {8, 8, 0x5C}, {0, 16, 0xA05C}, {0, 32, 0xA05CFF01}, {31, 1, 1}, {3, 0, 0},
    };
    for (const Case& c : cases) {
        TInputMemoryBitStream bits(data, 32, c.start);
        EXPECT_EQ(bits.GetBits(c.n), c.value) << c.start << "/" << c.n;
        EXPECT_EQ(bits.GetBitPosition(), c.start + c.n);
    }
    TInputMemoryBitStream bits(data, 32, 0);
    const int expected[] = {1, 0, 1, 0, 0, 0, 0, 0, 0, 1};
    for (int bit : expected) EXPECT_EQ(bits.GetOneBit(), bit);
    TInputMemoryBitStream copy(data, 1, 0);
    copy = bits;  // all three fields
    EXPECT_EQ(copy.GetBitPosition(), 10);
    EXPECT_EQ(copy.GetLength(), 32);
    EXPECT_EQ(copy.GetBits(6), 0x1Cu);  // 01 1100
}
