#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/text/Checksums.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(TTaggedOutputStream& out) {
    const uint8_t* start = reinterpret_cast<const uint8_t*>(out.GetStart());
    return std::vector<uint8_t>(start, start + out.GetSize());
}

uint32_t Word(const std::vector<uint8_t>& bytes, size_t offset) {
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
           uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
}

}  // namespace

TEST(TaggedOutputStreamTest, WritesTheDocumentedExampleByteForByte) {
    TTaggedOutputStream out(1, "doc", 1);
    out.SetValue(int32_t(3), "Siz", 0);
    out.CloseWriting();
    // clang-format off
    std::vector<uint8_t> expected = {
        0x4C, 0x45, 0, 0,  0, 0, 0, 0,  0x3C, 0, 0, 0,  'd', 'o', 'c', 0,
        0, 0, 0, 0,  0, 0, 0x14, 0,  0, 0, 0, 0,  0x2C, 0, 0, 0,  0x2C, 0, 0, 0,
        'R', 'o', 'o', 't', 0, 0, 0, 0,
        0, 0, 0, 0,  4, 0x0C, 8, 0,  'S', 'i', 'z', 0,  3, 0, 0, 0};
    // clang-format on
    const uint32_t crc = ComputeCrc32(expected.data() + 12, uint32_t(expected.size() - 12));
    for (int i = 0; i < 4; ++i) expected[4 + i] = uint8_t(crc >> (8 * i));
    EXPECT_EQ(Bytes(out), expected);

    // Sealing happens once: a second close changes nothing.
    out.CloseWriting();
    EXPECT_EQ(Bytes(out), expected);
    EXPECT_TRUE(out.IsClosed());
}

TEST(TaggedOutputStreamTest, LaysOutValuesByWidthNameAndSize) {
    struct Case {
        const char* what;
        std::vector<uint8_t> node;  // from the node start (offset 44) to the end
    };
    const std::string text254(254, 'x'), text255(255, 'y');
    auto write = [&](int which, TTaggedOutputStream& out) {
        switch (which) {
            case 0:
                out.SetValue(char('A'), "C", 0);
                break;
            case 1:
                out.SetValue(short(0x1234), "Short", 0);
                break;
            case 2:
                out.SetValue(int64_t(-2), "L", 7);
                break;
            case 3:
                out.SetValue(1.0, "D", -1);
                break;
            case 4:
                out.SetBinary("\x01\x02\x03", 3, "B", 0);
                break;
            case 5:
                out.SetBinary(nullptr, 0, "Z", 0);
                break;
        }
    };
    const Case cases[] = {
        // One-letter names fill 4 bytes; a byte value follows the name directly.
        {"char", {0, 0, 0, 0, 1, 12, 8, 0, 'C', 0, 0, 0, 'A'}},
        // "Short" and NUL take 6 bytes; the short is aligned to 2.
        {"short", {0, 0, 0, 0, 2, 14, 8, 0, 'S', 'h', 'o', 'r', 't', 0, 0x34, 0x12}},
        // The index is part of the stored name; 8-byte values align to 4.
        {"int64",
         {0, 0, 0, 0, 8, 12, 8, 0, 'L', '7', 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        // A negative index keeps its sign.
        {"double", {0, 0, 0, 0, 8, 12, 8, 0, 'D', '-', '1', 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
        {"binary", {0, 0, 0, 0, 3, 12, 8, 0, 'B', 0, 0, 0, 1, 2, 3}},
        // An empty binary value takes the big form with length 0.
        {"empty binary", {0, 0, 0, 0, 0, 16, 12, 0, 0, 0, 0, 0, 'Z', 0, 0, 0}},
    };
    for (int i = 0; i < int(std::size(cases)); ++i) {
        TTaggedOutputStream out(1, "doc", 1);
        write(i, out);
        const std::vector<uint8_t> bytes = Bytes(out);
        ASSERT_GE(bytes.size(), 44u) << cases[i].what;
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 44, bytes.end()), cases[i].node)
            << cases[i].what;
        EXPECT_EQ(Word(bytes, 16 + 12), 44u) << cases[i].what;  // first child
        EXPECT_EQ(Word(bytes, 16 + 16), 44u) << cases[i].what;  // last child
    }

    // Text of 254 characters is small (255 bytes with the NUL), of 255 big.
    TTaggedOutputStream out(1, "doc", 1);
    out.SetValue(text254.c_str(), "T", 0);
    out.SetValue(text255.c_str(), "T", 1);
    std::vector<uint8_t> bytes = Bytes(out);
    EXPECT_EQ(bytes[44 + 4], 255);
    EXPECT_EQ(bytes[44 + 5], 12);
    const uint32_t second = Word(bytes, 44);
    EXPECT_EQ(second, (44u + 12 + 255 + 3) / 4 * 4);
    EXPECT_EQ(bytes[second + 4], 0);
    EXPECT_EQ(bytes[second + 5], 16);
    EXPECT_EQ(bytes[second + 6], 12);
    EXPECT_EQ(Word(bytes, second + 8), 256u);
    EXPECT_EQ(Word(bytes, 16 + 16), second);

    // Binary bytes without a source are zeros, not whatever the block held before.
    TTaggedOutputStream blank(1, "doc", 1);
    blank.GetMemoryStream().WriteBytes('\xEE', 64);
    blank.GetMemoryStream().SetCurrentPosition(44);  // the node goes over them
    blank.SetBinary(nullptr, 5, "N", 0);
    bytes = Bytes(blank);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 44, bytes.end()),
              (std::vector<uint8_t>{0, 0, 0, 0, 5, 12, 8, 0, 'N', 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(TaggedOutputStreamTest, GroupsAreCreatedOnceAndReentered) {
    TTaggedOutputStream out(1, "doc", 1);
    out.MoveDown("a/b", 2);  // a, then b2 inside it
    out.SetValue(char(1), "x", 0);
    out.MoveDown("/", 0);    // back at the root
    out.MoveDown(" a ", 0);  // a single name is taken as it is: a new group " a "
    out.MoveUp();
    out.MoveDown("a", 0);  // re-entered, not created again
    out.SetValue(char(2), "y", 0);
    out.MoveUp();
    const std::vector<uint8_t> bytes = Bytes(out);

    const uint32_t a = Word(bytes, 16 + 12);
    EXPECT_EQ(a, 44u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + a, bytes.begin() + a + 24),
              (std::vector<uint8_t>{0x6C, 0, 0, 0, 0,    0, 20, 0, 16,  0, 0, 0,
                                    68,   0, 0, 0, 0x84, 0, 0,  0, 'a', 0, 0, 0}));
    const uint32_t b2 = Word(bytes, a + 12);
    EXPECT_EQ(Word(bytes, b2 + 8), a);  // parent
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[b2 + 20])), "b2");
    const uint32_t spaced = Word(bytes, a);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[spaced + 20])), " a ");
    EXPECT_EQ(Word(bytes, 16 + 16), spaced);  // root's last child
    const uint32_t y = Word(bytes, b2);       // appended after b2 inside a
    EXPECT_EQ(Word(bytes, a + 16), y);
    EXPECT_EQ(bytes[y + 8], 'y');
}

TEST(TaggedOutputStreamTest, AutoTagWrapsRawBytesAndUntaggedWritesPlainData) {
    TTaggedOutputStream out(1, "doc", 1);
    {
        TTaggedOutputStream::TAutoTag tag(out, "Raw", 0);
        const int32_t words[] = {1, 2, 3};
        out.GetMemoryStream().Write(words, 3);
    }
    std::vector<uint8_t> bytes = Bytes(out);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 44, bytes.begin() + 60),
              (std::vector<uint8_t>{0, 0, 0, 0, 0, 16, 12, 0, 12, 0, 0, 0, 'R', 'a', 'w', 0}));
    EXPECT_EQ(bytes.size(), 72u);

    TTaggedOutputStream plain(0, "d", 1);
    plain.SetValue(char('c'), "ignored", 0);
    plain.SetValue(int32_t(0x01020304), "ignored", 0);
    plain.SetValue("hi", "ignored", 0);
    plain.SetBinary("\xAA\xBB", 2, "ignored", 0);
    plain.MoveDown("nothing", 0);
    {
        TTaggedOutputStream::TAutoTag tag(plain, "ignored", 0);
        plain.GetMemoryStream().Write(char(9));
    }
    plain.CloseWriting();
    bytes = Bytes(plain);
    const std::vector<uint8_t> expected = {'L', 'E', 0, 0,   0,    0,    0, 0, 32,  0,   0,
                                           0,   'd', 0, 'c', 4,    3,    2, 1, 'h', 'i', 0,
                                           2,   0,   0, 0,   0xAA, 0xBB, 9, 0, 0,   0};
    ASSERT_EQ(bytes.size(), expected.size());
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 12, bytes.end()),
              std::vector<uint8_t>(expected.begin() + 12, expected.end()));
    EXPECT_EQ(Word(bytes, 8), 32u);
    EXPECT_EQ(Word(bytes, 4), ComputeCrc32(bytes.data() + 12, 20));
}

namespace {

// A document of every kind of node: each width, short and big texts and binaries, auto
// tags, nested and re-entered groups, paths, repeated names, values shadowing groups,
// negative indexes, and groups large enough to be searched by name.
void WriteMixed(TTaggedOutputStream& out) {
    for (int g = 0; g < 60; ++g) {
        out.MoveDown("Obj", g % 45);  // the last 15 are re-entered
        out.SetValue(char('a' + g % 26), "c", g);
        out.SetValue(short(g * 3), "s", 0);
        out.SetValue(int32_t(g * 7919), "i", -g);
        out.SetValue(int64_t(g) << 40, "l", 0);
        out.SetValue(g * 0.5, "d", 0);
        out.SetValue(float(g) / 3, "f", 0);
        const std::string text(size_t(g * 13 % 300), char('A' + g % 26));
        out.SetValue(text.c_str(), "t", g);
        std::vector<uint8_t> binary(size_t(g % 5 * 70));
        for (size_t k = 0; k < binary.size(); ++k) binary[k] = uint8_t(k * 31 + size_t(g));
        out.SetBinary(binary.data(), int(binary.size()), "b", 0);
        out.MoveDown("Sub/Deeper", g % 3);
        out.SetValue(g, "v", 0);
        out.MoveUp();
        out.MoveUp();
        if (g % 7 == 0) {
            TTaggedOutputStream::TAutoTag tag(out, "Raw", g);
            for (int k = 0; k <= g % 4; ++k) out.GetMemoryStream().Write(int32_t(k + g));
        }
        out.MoveUp();
    }
    // A value ahead of a group of its name: each MoveDown makes another group.
    out.SetValue(1, "X", 0);
    for (int k = 0; k < 3; ++k) {
        out.MoveDown("X", 0);
        out.SetValue(k, "k", 0);
        out.MoveUp();
    }
    out.MoveDown("/Obj30/Sub", 0);
    out.SetValue(99, "late", 0);
    out.MoveDown("/", 0);
    out.SetValue("end", "E", 0);
    out.CloseWriting();
}

}  // namespace

TEST(TaggedOutputStreamTest, KeepsTheLayoutOfAMixedDocument) {
    // Size and CRC-32 of the whole block as the format has always laid it out.
    TTaggedOutputStream tagged(1, "mixed", 1);
    WriteMixed(tagged);
    EXPECT_EQ(tagged.GetSize(), 29952u);
    EXPECT_EQ(ComputeCrc32(tagged.GetStart(), tagged.GetSize()), 1721322838u);
    TTaggedOutputStream plain(0, "mixed", 1);
    WriteMixed(plain);
    EXPECT_EQ(plain.GetSize(), 18996u);
    EXPECT_EQ(ComputeCrc32(plain.GetStart(), plain.GetSize()), 2654924227u);
}

TEST(TaggedOutputStreamTest, RefusesNamesTheFormatCannotHoldAndComparesStreams) {
    const std::string longest(239, 'n'), tooLong(256, 'n'), pushesData(250, 'n');
    TTaggedOutputStream out(1, "doc", 1);
    EXPECT_NO_THROW(out.SetValue(int32_t(1), longest.c_str(), 0));
    EXPECT_NO_THROW(out.MoveDown(std::string(255, 'g').c_str(), 0));
    out.MoveUp();
    const uint32_t size = out.GetSize();
    EXPECT_THROW(out.SetValue(int32_t(1), tooLong.c_str(), 0), TException);
    EXPECT_THROW(out.SetValue(int32_t(1), pushesData.c_str(), 0), TException);
    EXPECT_THROW(out.MoveDown(tooLong.c_str(), 0), TException);
    EXPECT_EQ(out.GetSize(), size);  // nothing written by a refused tag

    TTaggedOutputStream a(1, "doc", 1), b(1, "doc", 1), c(1, "doc", 1);
    a.SetValue(1.5f, "f", 0);
    b.SetValue(1.5f, "f", 0);
    c.SetValue(2.5f, "f", 0);
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a != c);
}
