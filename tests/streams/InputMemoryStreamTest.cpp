#include <commonvcqx/streams/InputMemoryStream.h>
#include <commonvcqx/streams/OutputMemoryStream.h>

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace {

// A block ending exactly where the data ends, so that the sanitizer build sees any
// read past it.
class Block {
public:
    explicit Block(const std::string& bytes) : m_data(new char[bytes.size() ? bytes.size() : 1]) {
        std::memcpy(m_data, bytes.data(), bytes.size());
        m_size = uint32_t(bytes.size());
    }
    ~Block() { delete[] m_data; }
    char* data() const { return m_data; }
    uint32_t size() const { return m_size; }

private:
    char* m_data;
    uint32_t m_size;
};

}  // namespace

TEST(InputMemoryStreamTest, ReadsBackEveryWidthInBothByteOrders) {
    for (EEndianType order : {kLittleEndian, kBigEndian}) {
        TOutputMemoryStream out(32, 1, order);
        const short shorts[] = {-2, 0x1234};
        const uint32_t words[] = {0xDEADBEEF, 1, 0x01020304};
        const double doubles[] = {-0.5, 1e300};
        const int64_t longs[] = {-3, 0x0102030405060708};
        out.Write(char('c'));
        out.Write(int32_t(0x01020304));
        out.Write(2.5f);
        out.Write(shorts, 2);
        out.Write(words, 3);
        out.Write(doubles, 2);
        out.Write(longs, 2);
        out.Write(static_cast<unsigned short>(0xFEDC));

        TInputMemoryStream in(out.GetStart(), out.GetCurrentPosition(), order);
        char c;
        int32_t i;
        float f;
        short s[2];
        uint32_t w[3];
        double d[2];
        int64_t l[2];
        unsigned short u;
        in.Read(&c, 1);
        in.Read(&i, 1);
        in.Read(&f, 1);
        in.Read(s, 2);
        in.Read(w, 3);
        in.Read(d, 2);
        in.Read(l, 2);
        EXPECT_EQ(in.Read(&u, 1), in.GetSize());
        EXPECT_EQ(c, 'c');
        EXPECT_EQ(i, 0x01020304);
        EXPECT_EQ(f, 2.5f);
        EXPECT_TRUE(std::equal(s, s + 2, shorts));
        EXPECT_TRUE(std::equal(w, w + 3, words));
        EXPECT_TRUE(std::equal(d, d + 2, doubles));
        EXPECT_TRUE(std::equal(l, l + 2, longs));
        EXPECT_EQ(u, 0xFEDC);

        // Reading in the other order gives the reversed value.
        TInputMemoryStream other(out.GetStart(), out.GetCurrentPosition(),
                                 order == kLittleEndian ? kBigEndian : kLittleEndian);
        other.SetCurrentPosition(1);
        other.Read(&i, 1);
        EXPECT_EQ(i, 0x04030201);
    }
}

TEST(InputMemoryStreamTest, ReadLineEndsAtEveryTerminator) {
    const char bytes[] = {'a', 13, 10, 'b', 13, 'c', 10, 'd', 0, 13, 13, 10, 10, 'e', 0};
    TInputMemoryStream in(bytes, sizeof bytes);
    const char* expected[] = {"a", "b", "c", "d", "", "", "", "e"};
    for (const char* line : expected) EXPECT_EQ(in.ReadLine(), line);
    EXPECT_EQ(in.GetCurrentPosition(), sizeof bytes);

    // The checked form: the same lines, and the end of the block ends the last one.
    Block block(std::string("a\r\nb\rc\nd\0\r\r\n\nlast", 17));
    TInputMemoryStream checked(block.data(), block.size());
    const char* lines[] = {"a", "b", "c", "d", "", "", "", "last"};
    for (const char* line : lines) EXPECT_EQ(checked.ReadLineChecked(), line);
    EXPECT_EQ(checked.GetRemaining(), 0u);
    EXPECT_THROW(checked.ReadLineChecked(), std::out_of_range);

    Block endsInCr(std::string("x\r", 2));  // a CR at the very end: no LF looked for
    TInputMemoryStream cr(endsInCr.data(), endsInCr.size());
    EXPECT_EQ(cr.ReadLineChecked(), "x");
    EXPECT_EQ(cr.GetCurrentPosition(), 2u);
}

TEST(InputMemoryStreamTest, StringsAndTheirPadding) {
    TOutputMemoryStream out(32, 1);
    out.WriteStringThenAlign("abc");
    out.WriteStringThenAlign("abcd");
    out.WriteStringThenAlign("");
    out.WriteString("plain", 1);
    TString("stored").Write(out);
    out.Write(char(1));

    TInputMemoryStream in(out.GetStart(), out.GetCurrentPosition());
    EXPECT_EQ(in.ReadStringThenAlign(), "abc");
    EXPECT_EQ(in.GetCurrentPosition(), 4u);
    char buffer[16];
    EXPECT_EQ(in.ReadStringThenAlign(buffer), 12u);
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(in.ReadStringThenAlign(), "");
    EXPECT_EQ(in.GetCurrentPosition(), 16u);
    EXPECT_EQ(in.FindStringLen(), 5);
    EXPECT_EQ(in.ReadString(buffer), 22u);
    EXPECT_STREQ(buffer, "plain");
    TString text("old");
    text.Read(in);
    EXPECT_EQ(text, "stored");
    EXPECT_EQ(in.GetCurrentPosition(), 29u);

    in.SetCurrentPosition(1);
    EXPECT_EQ(in.Align(1), 1u);
    EXPECT_EQ(in.Align(4), 4u);
    EXPECT_EQ(in.Align(4), 4u);
    EXPECT_EQ(in.ReadString(), "abcd");

    char other[] = "xy";
    in.SetInputMemory(other, 3);
    EXPECT_EQ(in.GetCurrentPosition(), 0u);
    EXPECT_EQ(in.GetSize(), 3u);
    EXPECT_EQ(in.ReadString(), "xy");
}

TEST(InputMemoryStreamTest, CheckedReadsStopAtTheEndOfTheBlock) {
    Block block(std::string("\x01\x02\x03\x04\x05\x06", 6));
    TInputMemoryStream in(block.data(), block.size());
    EXPECT_EQ(in.GetRemaining(), 6u);
    int32_t word = 0;
    EXPECT_EQ(in.ReadChecked(&word, 1), 4u);
    EXPECT_EQ(word, 0x04030201);
    EXPECT_THROW(in.ReadChecked(&word, 1), std::out_of_range);  // 4 bytes, 2 left
    EXPECT_EQ(in.GetCurrentPosition(), 4u);                     // nothing consumed
    short pair[2];
    EXPECT_THROW(in.ReadChecked(pair, 2), std::out_of_range);
    EXPECT_EQ(in.ReadChecked(pair, 1), 6u);  // exactly the rest
    EXPECT_EQ(in.GetRemaining(), 0u);
    EXPECT_EQ(in.ReadDataChecked(pair, 0), 6u);
    EXPECT_THROW(in.ReadDataChecked(pair, 1), std::out_of_range);
    // Counts whose byte size passes 32 bits do not wrap around.
    in.SetCurrentPosition(0);
    EXPECT_THROW(in.ReadChecked(&word, 0x40000001u), std::out_of_range);

    // A record is checked once: the whole of it, or nothing, and nothing is consumed.
    in.SetCurrentPosition(2);
    EXPECT_NO_THROW(in.CheckRemaining(4));
    EXPECT_THROW(in.CheckRemaining(5), std::out_of_range);
    EXPECT_THROW(in.CheckRemaining(uint64_t(1) << 32), std::out_of_range);
    EXPECT_EQ(in.GetCurrentPosition(), 2u);

    // A position past the end leaves nothing to read.
    in.SetCurrentPosition(100);
    EXPECT_EQ(in.GetRemaining(), 0u);
    EXPECT_THROW(in.ReadChecked(pair, 1), std::out_of_range);
    EXPECT_NO_THROW(in.CheckRemaining(0));
    EXPECT_THROW(in.CheckRemaining(1), std::out_of_range);
    EXPECT_THROW(in.SetCurrentPositionChecked(7), std::out_of_range);
    in.SetCurrentPositionChecked(6);
    EXPECT_EQ(in.GetCurrentPosition(), 6u);

    try {
        in.SetCurrentPositionChecked(0);
        char eight[8];
        in.ReadDataChecked(eight, 8);
        FAIL() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(
            e.what(),
            "Memory stream: data of 8 bytes at offset 0 does not fit the block of 6 bytes");
    }
}

TEST(InputMemoryStreamTest, CheckedStringReadsNeedTheirNulAndPadding) {
    Block block(std::string("ab\0cdefgh\0ij", 12));
    TInputMemoryStream in(block.data(), block.size());
    EXPECT_EQ(in.FindStringLenChecked(), 2);
    char small[4];
    EXPECT_EQ(in.ReadStringChecked(small, 3), 3u);  // "ab" and NUL fit exactly
    EXPECT_STREQ(small, "ab");
    EXPECT_THROW(in.ReadStringChecked(small, 4), std::out_of_range);  // too long for it
    EXPECT_EQ(in.GetCurrentPosition(), 3u);
    EXPECT_EQ(in.ReadStringChecked(), "cdefgh");
    EXPECT_THROW(in.ReadStringChecked(), std::out_of_range);  // "ij" has no NUL
    EXPECT_THROW(in.FindStringLenChecked(), std::out_of_range);
    EXPECT_EQ(in.GetCurrentPosition(), 10u);
    in.SetCurrentPosition(12);
    EXPECT_THROW(in.ReadStringChecked(), std::out_of_range);  // at the end

    // Padding: "abc" + NUL fills 4 bytes; "abcd" + NUL needs 8 but the block ends at 5.
    Block padded(std::string("abc\0abcd\0", 9));
    TInputMemoryStream p(padded.data(), padded.size());
    EXPECT_EQ(p.ReadStringThenAlignChecked(), "abc");
    EXPECT_THROW(p.ReadStringThenAlignChecked(), std::out_of_range);
    EXPECT_EQ(p.GetCurrentPosition(), 4u);
    EXPECT_EQ(p.ReadStringChecked(), "abcd");

    TInputMemoryStream empty;
    EXPECT_EQ(empty.GetRemaining(), 0u);
    EXPECT_THROW(empty.ReadStringChecked(), std::out_of_range);
    EXPECT_THROW(empty.ReadLineChecked(), std::out_of_range);
}
