#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/streams/OutputMemoryStream.h>
#include <commonvcqx/text/String.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Bytes(const TOutputMemoryStream& out, uint32_t size) {
    const auto* start = reinterpret_cast<const unsigned char*>(out.GetStart());
    return std::vector<unsigned char>(start, start + size);
}

std::vector<unsigned char> Bytes(TOutputMemoryStream& out) {
    return Bytes(out, out.GetCurrentPosition());
}

using B = std::vector<unsigned char>;

}  // namespace

TEST(OutputMemoryStreamTest, GrowsByTheStepOrToWhatAWriteNeeds) {
    TOutputMemoryStream out(10, 1);  // raised to 32
    EXPECT_EQ(out.GetGrowBy(), 32u);
    EXPECT_EQ(out.GetStart(), nullptr);
    EXPECT_EQ(out.GetCapacity(), 0u);
    struct Step {
        uint32_t bytes;
        uint32_t position;
        uint32_t capacity;
    } steps[] = {
        {0, 0, 0},        // nothing written, nothing allocated
        {1, 1, 32},       // first block: one step
        {40, 41, 64},     // 32 + 32 >= 41
        {100, 141, 141},  // needed beats 64 + 32
        {1, 142, 173},    // one step again
    };
    std::string expected;
    for (const Step& s : steps) {
        std::string chunk(s.bytes, char('a' + expected.size() % 26));
        EXPECT_EQ(out.Write(chunk.data(), s.bytes), s.position);
        expected += chunk;
        EXPECT_EQ(out.GetCurrentPosition(), s.position);
        EXPECT_EQ(out.GetCapacity(), s.capacity) << "after " << s.bytes;
    }
    // The bytes survive every move of the block.
    EXPECT_EQ(std::string(out.GetStart(), out.GetCurrentPosition()), expected);

    TOutputMemoryStream big(100000, 1);
    EXPECT_EQ(big.GetGrowBy(), 100000u);
    big.Write(char(1));
    EXPECT_EQ(big.GetCapacity(), 100000u);
}

TEST(OutputMemoryStreamTest, PositionCanMoveAndReserveSpaceSkips) {
    TOutputMemoryStream out(32, 1);
    EXPECT_EQ(out.ReserveSpace(4), 4u);
    EXPECT_EQ(out.Write(int32_t(7)), 8u);
    out.SetCurrentPosition(0);
    EXPECT_EQ(out.Write(int32_t(9)), 4u);  // fills the reserved word
    out.SetCurrentPosition(8);
    EXPECT_EQ(Bytes(out, 8), (B{9, 0, 0, 0, 7, 0, 0, 0}));
    // Past the capacity: the block grows to reach the new position.
    out.SetCurrentPosition(100);
    EXPECT_EQ(out.Write(char('x')), 101u);
    EXPECT_GE(out.GetCapacity(), 101u);
    EXPECT_EQ(out.GetStart()[100], 'x');
    EXPECT_EQ(out.ReserveSpace(0), 101u);

    // Room made ahead keeps the position and the bytes, and needs no growth later.
    char* room = out.EnsureRoom(200);
    EXPECT_EQ(room, out.GetStart() + 101);
    EXPECT_EQ(out.GetCurrentPosition(), 101u);
    EXPECT_GE(out.GetCapacity(), 301u);
    EXPECT_EQ(out.GetStart()[100], 'x');
    const uint32_t capacity = out.GetCapacity();
    std::memset(room, 'r', 200);
    out.SetCurrentPosition(301);
    EXPECT_EQ(out.GetCapacity(), capacity);
    EXPECT_EQ(out.GetStart()[300], 'r');
    EXPECT_EQ(out.EnsureRoom(0), out.GetStart() + 301);
    // A fixed block makes no room it does not have.
    char fixed[8];
    TOutputMemoryStream bounded(fixed, sizeof fixed);
    EXPECT_EQ(bounded.EnsureRoom(8), fixed);
    EXPECT_THROW(bounded.EnsureRoom(9), std::out_of_range);
}

TEST(OutputMemoryStreamTest, EveryWidthInBothByteOrders) {
    TOutputMemoryStream le(32, 1), be(32, 1, kBigEndian);
    for (TOutputMemoryStream* out : {&le, &be}) {
        out->Write(char(0x11));
        out->Write(static_cast<signed char>(-2));
        out->Write(static_cast<unsigned char>(0xF3));
        out->Write(short(0x0102));
        out->Write(static_cast<unsigned short>(0xA1A2));
        out->Write(int32_t(0x01020304));
        out->Write(uint32_t(0xB1B2B3B4));
        out->Write(1.0f);  // 3F 80 00 00
        out->Write(int64_t(0x0102030405060708));
        out->Write(uint64_t(0xC1C2C3C4C5C6C7C8));
        out->Write(1.0);  // 3F F0 00 ...
        out->Write(static_cast<long long>(-1));
    }
    const B big = {0x11, 0xFE, 0xF3, 0x01, 0x02, 0xA1, 0xA2, 0x01, 0x02, 0x03, 0x04, 0xB1, 0xB2,
                   0xB3, 0xB4, 0x3F, 0x80, 0x00, 0x00, 1,    2,    3,    4,    5,    6,    7,
                   8,    0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0x3F, 0xF0, 0,    0,
                   0,    0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    // Little-endian: each multi-byte value reversed, single bytes as they are.
    B little = big;
    auto reverse = [&](size_t at, size_t width) {
        std::reverse(little.begin() + long(at), little.begin() + long(at + width));
    };
    size_t at = 3;
    for (size_t width : {2, 2, 4, 4, 4, 8, 8, 8, 8}) reverse(at, width), at += width;
    EXPECT_EQ(at, big.size());
    EXPECT_EQ(Bytes(be), big);
    EXPECT_EQ(Bytes(le), little);
}

TEST(OutputMemoryStreamTest, ArraysInBothByteOrders) {
    const short shorts[] = {0x0102, 0x0304};
    const int32_t ints[] = {0x01020304, 0x05060708};
    const float floats[] = {1.0f};
    const double doubles[] = {1.0};
    const uint64_t longs[] = {0x0102030405060708};
    TOutputMemoryStream le(32, 1), be(32, 1, kBigEndian);
    for (TOutputMemoryStream* out : {&le, &be}) {
        out->Write(shorts, 2);
        out->Write(ints, 2);
        out->Write(floats, 1);
        out->Write(doubles, 1);
        out->Write(longs, 1);
        EXPECT_EQ(out->Write(ints, 0), 32u);  // an empty array writes nothing
    }
    EXPECT_EQ(Bytes(le), (B{2, 1, 4, 3, 4, 3, 2,    1,    8, 7, 6, 5, 0, 0, 0x80, 0x3F,
                            0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 8, 7, 6, 5, 4, 3, 2,    1}));
    EXPECT_EQ(Bytes(be), (B{1,    2,    3, 4, 1, 2, 3, 4, 5, 6, 7, 8, 0x3F, 0x80, 0, 0,
                            0x3F, 0xF0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5,    6,    7, 8}));
}

TEST(OutputMemoryStreamTest, StringsLinesFillAndAlignment) {
    struct Case {
        const char* text;
        uint32_t size;  // with NUL and padding
    } cases[] = {{"", 4}, {"ab", 4}, {"abc", 4}, {"abcd", 8}, {"abcdefg", 8}, {"abcdefgh", 12}};
    for (const Case& c : cases) {
        TOutputMemoryStream out(32, 1);
        out.Write(char('z'));  // padding counts from the text, not the stream start
        EXPECT_EQ(out.WriteStringThenAlign(c.text), 1 + c.size) << c.text;
        B expected(c.size + 1, 0);
        expected[0] = 'z';
        std::memcpy(expected.data() + 1, c.text, std::strlen(c.text));
        EXPECT_EQ(Bytes(out), expected) << c.text;
    }

    TOutputMemoryStream out(32, 1);
    out.WriteString("ab", 0);
    out.WriteString(TString("cd"), 1);
    out.WriteString(nullptr, 1);
    out.WriteLine("x");
    out.WriteLine(TString());
    EXPECT_EQ(Bytes(out), (B{'a', 'b', 'c', 'd', 0, 0, 'x', 13, 10, 13, 10}));

    TOutputMemoryStream aligned(32, 1);
    aligned.Write(char(1));
    EXPECT_EQ(aligned.Align(1), 1u);
    EXPECT_EQ(aligned.Align(4), 4u);
    EXPECT_EQ(aligned.Align(4), 4u);
    EXPECT_EQ(aligned.Align(8), 8u);
    EXPECT_EQ(Bytes(aligned), (B{1, 0, 0, 0, 0, 0, 0, 0}));

    TOutputMemoryStream filled(32, 1);
    EXPECT_EQ(filled.WriteBytes('-', 0), 0u);
    EXPECT_EQ(filled.WriteBytes('-', 300), 300u);  // more than one 128-byte piece
    EXPECT_EQ(std::string(filled.GetStart(), 300), std::string(300, '-'));

    TOutputMemoryStream text(32, 1);
    TString("name").Write(text);
    EXPECT_EQ(Bytes(text), (B{'n', 'a', 'm', 'e', 0}));
}

TEST(OutputMemoryStreamTest, FixedBlockIsNeverOverrun) {
    char block[8];
    std::memset(block, '#', sizeof block);
    TOutputMemoryStream out(block, 6);
    EXPECT_FALSE(out.IsGrowable());
    EXPECT_EQ(out.Write(int32_t(0x31323334)), 4u);
    EXPECT_EQ(out.Write(char('5')), 5u);
    EXPECT_THROW(out.Write(short(0)), std::out_of_range);  // 2 bytes, 1 left
    EXPECT_EQ(out.GetCurrentPosition(), 5u);
    EXPECT_EQ(out.Write(char('6')), 6u);  // the last byte fits
    EXPECT_THROW(out.Write(char('7')), std::out_of_range);
    EXPECT_THROW(out.ReserveSpace(1), std::out_of_range);
    EXPECT_EQ(std::string(block, 8), "432156##");
    out.SetCurrentPosition(100);
    EXPECT_THROW(out.Write(char(0)), std::out_of_range);
    EXPECT_EQ(out.ReserveSpace(0), 100u);

    // An array whose byte count passes 32 bits is refused before anything is read.
    TOutputMemoryStream growable(32, 1);
    const int64_t* huge = reinterpret_cast<const int64_t*>(block);
    EXPECT_THROW(growable.Write(huge, 0x20000000u), std::out_of_range);
    EXPECT_EQ(growable.GetCurrentPosition(), 0u);
}

TEST(OutputMemoryStreamTest, TakenOverBlockAndOwnership) {
    void* block = NH_Heap::Default().AllocMem(3);
    std::memcpy(block, "abc", 3);
    {
        TOutputMemoryStream out(0, 1, block, 3);
        EXPECT_EQ(out.GetCurrentPosition(), 3u);
        EXPECT_EQ(out.GetCapacity(), 3u);
        EXPECT_EQ(out.GetGrowBy(), 32u);
        out.Write(char('d'));
        EXPECT_EQ(out.GetCapacity(), 35u);
        EXPECT_EQ(std::string(out.GetStart(), 4), "abcd");
    }  // freed here: the sanitizer build reports a leak otherwise

    char* kept;
    {
        TOutputMemoryStream out(32, 1);
        out.Write("xy", 3);
        out.SetAutoDelete(0);
        kept = out.GetStart();
    }
    EXPECT_STREQ(kept, "xy");
    NH_Heap::FreeMem(kept);
}

TEST(OutputMemoryStreamTest, LargeBlocksKeepTheStepsAndTheirBytes) {
    // Past 1 MB the block moves into reservations; capacities still follow the steps.
    TOutputMemoryStream out(32000, 1);
    uint32_t expectedCapacity = 0;
    for (int32_t i = 0; i < 3'000'000; ++i) {
        const uint32_t position = out.GetCurrentPosition();
        if (position + 4 > expectedCapacity) expectedCapacity += 32000;
        out.Write(i);
        ASSERT_EQ(out.GetCapacity(), expectedCapacity) << i;
    }
    const auto* values = reinterpret_cast<const int32_t*>(out.GetStart());
    for (int32_t i = 0; i < 3'000'000; i += 997) ASSERT_EQ(values[i], i);
    EXPECT_EQ(values[2'999'999], 2'999'999);
    // A single write larger than the step.
    std::string big(40'000'000, 'q');
    out.Write(big.data(), uint32_t(big.size()));
    EXPECT_EQ(out.GetCapacity(), 52'000'000u);
    EXPECT_EQ(reinterpret_cast<const int32_t*>(out.GetStart())[1234], 1234);
    EXPECT_EQ(out.GetStart()[51'999'999], 'q');

    out.SetAutoDelete(0);
    NH_Heap::FreeMem(out.GetStart());  // a caller frees a taken block the usual way
}
