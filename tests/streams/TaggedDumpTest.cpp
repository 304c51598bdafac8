#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/streams/TaggedDump.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/text/Checksums.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<char> Sealed(TTaggedOutputStream& out) {
    out.CloseWriting();
    return std::vector<char>(out.GetStart(), out.GetStart() + out.GetSize());
}

std::vector<char> Sample() {
    TTaggedOutputStream out(1, "doc", 1);
    out.SetValue(int32_t(3), "Siz", 0);
    out.MoveDown("Track", 2);
    out.SetValue("Piano \"1\"", "Name", 0);
    out.SetValue(short(-2), "S", 0);
    out.SetValue(char(7), "C", 0);
    out.SetValue(2.0, "D", 0);
    const unsigned char raw[3] = {0xDE, 0xAD, 0x01};
    out.SetBinary(raw, 3, "Raw", 0);
    out.MoveUp();
    out.MoveDown("Empty", 0);
    return Sealed(out);
}

void PutWord(std::vector<char>& bytes, size_t at, uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

}  // namespace

TEST(TaggedDumpTest, ShowsEveryGroupAndValue) {
    const std::vector<char> bytes = Sample();
    char header[160];
    uint32_t crc;
    std::memcpy(&crc, bytes.data() + 4, 4);
    std::snprintf(header, sizeof header,
                  "document \"doc\", little-endian, length %zu of %zu bytes, CRC-32 %08X (ok)\n",
                  bytes.size(), bytes.size(), crc);
    const std::string expected = std::string(header) +
                                 "Root/\n"
                                 "  Siz [4 bytes] = 3\n"
                                 "  Track2/\n"
                                 "    Name [10 bytes] = \"Piano \\\"1\\\"\"\n"
                                 "    S [2 bytes] = -2\n"
                                 "    C [1 bytes] = 7\n"
                                 "    D [8 bytes] = 4611686018427387904 (double 2)\n"
                                 "    Raw [3 bytes] = hex DE AD 01\n"
                                 "  Empty/\n";
    EXPECT_EQ(DumpTaggedStream(bytes.data(), int32_t(bytes.size())), expected);

    // A wrong CRC is shown, not enforced; a broken chain throws.
    std::vector<char> bad = bytes;
    bad[bad.size() - 1] ^= 1;
    EXPECT_NE(DumpTaggedStream(bad.data(), int32_t(bad.size())).find(" (wrong)\n"),
              std::string::npos);
    bad = bytes;
    PutWord(bad, 16 + 12, 3);  // the root's first child, misaligned
    EXPECT_THROW(DumpTaggedStream(bad.data(), int32_t(bad.size())), TException);
}

TEST(TaggedDumpTest, JsonShowsEveryNodeWithItsBytesAndReadings) {
    const std::vector<char> bytes = Sample();
    uint32_t crc;
    std::memcpy(&crc, bytes.data() + 4, 4);
    char header[200];
    std::snprintf(header, sizeof header,
                  "{\n  \"document\": \"doc\",\n  \"byteOrder\": \"little-endian\",\n"
                  "  \"length\": %zu,\n  \"size\": %zu,\n  \"crc32\": \"%08X\",\n"
                  "  \"crcOk\": true,\n  \"root\": [\n",
                  bytes.size(), bytes.size(), crc);
    const std::string expected =
        std::string(header) +
        "    {\"name\": \"Siz\", \"size\": 4, \"hex\": \"03000000\", \"number\": 3},\n"
        "    {\"name\": \"Track2\", \"group\": [\n"
        "      {\"name\": \"Name\", \"size\": 10, \"hex\": \"5069616e6f2022312200\","
        " \"text\": \"Piano \\\"1\\\"\"},\n"
        "      {\"name\": \"S\", \"size\": 2, \"hex\": \"feff\", \"number\": -2},\n"
        "      {\"name\": \"C\", \"size\": 1, \"hex\": \"07\", \"number\": 7},\n"
        "      {\"name\": \"D\", \"size\": 8, \"hex\": \"0000000000000040\","
        " \"number\": 4611686018427387904, \"double\": 2},\n"
        "      {\"name\": \"Raw\", \"size\": 3, \"hex\": \"dead01\"}\n"
        "    ]},\n"
        "    {\"name\": \"Empty\", \"group\": []}\n"
        "  ]\n}\n";
    EXPECT_EQ(DumpTaggedStreamAsJson(bytes.data(), int32_t(bytes.size())), expected);

    std::vector<char> bad = bytes;
    bad[bad.size() - 1] ^= 1;
    EXPECT_NE(DumpTaggedStreamAsJson(bad.data(), int32_t(bad.size())).find("\"crcOk\": false"),
              std::string::npos);
    PutWord(bad, 16 + 12, 3);
    EXPECT_THROW(DumpTaggedStreamAsJson(bad.data(), int32_t(bad.size())), TException);
}

TEST(TaggedDumpTest, JsonEscapesTextAndKeepsOnlyWellFormedUtf8) {
    struct Case {
        const char* text;
        const char* json;
    } cases[] = {
        {"plain", "\"plain\""},
        {"q\"b\\", "\"q\\\"b\\\\\""},
        {"t\tn\nr\r", "\"t\\tn\\nr\\r\""},
        {"\x1f\x7f", "\"\\u001F\\u007F\""},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5",
         "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5\""},
        {"Windows \xE9", "\"Windows \\u00E9\""},                   // Latin-1, not UTF-8
        {"\xC0\xAF", "\"\\u00C0\\u00AF\""},                        // overlong "/"
        {"\xED\xA0\x80", "\"\\u00ED\\u00A0\\u0080\""},             // a surrogate
        {"\xF4\x90\x80\x80", "\"\\u00F4\\u0090\\u0080\\u0080\""},  // past U+10FFFF
        {"\xE2\x82", "\"\\u00E2\\u0082\""},                        // cut short
    };
    for (const Case& c : cases) {
        TTaggedOutputStream out(1, c.text, 1);
        out.SetValue(c.text, c.text, 0);
        const std::vector<char> bytes = Sealed(out);
        const std::string json = DumpTaggedStreamAsJson(bytes.data(), int32_t(bytes.size()));
        EXPECT_NE(json.find(std::string("\"document\": ") + c.json), std::string::npos) << json;
        EXPECT_NE(json.find(std::string("{\"name\": ") + c.json), std::string::npos) << json;
        if (std::strpbrk(c.text, "\x1f") == nullptr) {  // the text reading wants printable
            EXPECT_NE(json.find(std::string("\"text\": ") + c.json), std::string::npos) << json;
        }
    }
}

TEST(TaggedDumpTest, VerifyNamesTheFirstFault) {
    const std::vector<char> good = Sample();
    auto resealed = [](std::vector<char> b) {
        const uint32_t crc = ComputeCrc32(b.data() + 12, uint32_t(b.size() - 12));
        PutWord(b, 4, crc);
        return b;
    };
    std::vector<char> shortBlock(good.begin(), good.begin() + 12);
    std::vector<char> marker = good;
    marker[2] = 'X';
    std::vector<char> oddLength = good;
    PutWord(oddLength, 8, uint32_t(good.size() - 2));
    std::vector<char> longer = good;
    longer.insert(longer.end(), 4, 0);
    std::vector<char> flipped = good;
    flipped[20] ^= 0x40;
    std::vector<char> brokenTree = good;
    PutWord(brokenTree, 16 + 12, 8);  // the root's first child points back into the header
    brokenTree = resealed(brokenTree);

    struct Case {
        const std::vector<char>* bytes;
        const char* reasonStart;
    } cases[] = {
        {&good, ""},
        {&shortBlock, "too short: 12 bytes"},
        {&marker, "bad marker 4C 45 58 00"},
        {&oddLength, "bad length"},
        {&longer, "length "},
        {&flipped, "CRC-32 mismatch: stored "},
        {&brokenTree, "damaged node tree"},
    };
    for (const Case& c : cases) {
        std::string reason = "unset";
        const bool ok = VerifyTaggedStream(c.bytes->data(), int32_t(c.bytes->size()), &reason);
        EXPECT_EQ(ok, *c.reasonStart == 0) << c.reasonStart;
        EXPECT_EQ(reason.rfind(c.reasonStart, 0), 0u) << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos);
    }
    EXPECT_FALSE(VerifyTaggedStream(nullptr, 100, nullptr));
}

TEST(TaggedDumpTest, AutoPositionPutsGroupAndSearchBack) {
    TTaggedOutputStream out(1, "doc", 1);
    out.SetValue(int32_t(1), "A", 0);
    out.SetValue(int32_t(2), "B", 0);
    {
        TTaggedStream::TAutoPosition keep(out);
        out.MoveDown("G/H", 0);
        out.SetValue(int32_t(3), "A", 0);
    }
    out.SetValue(int32_t(4), "C", 0);  // back in the root
    const std::vector<char> bytes = Sealed(out);
    TTaggedInputStream in(1, const_cast<char*>(bytes.data()), int32_t(bytes.size()), 0);
    EXPECT_EQ(in.GetValue(int32_t(0), "A", 0), 1);
    {
        TTaggedStream::TAutoPosition keep(in);
        ASSERT_TRUE(in.MoveDown("G/H", 0));
        EXPECT_EQ(in.GetValue(int32_t(0), "A", 0), 3);
        keep.Restore();
        EXPECT_EQ(in.GetValue(int32_t(0), "C", 0), 4);
        EXPECT_TRUE(in.MoveDown("G", 0));
    }
    // The search resumes after "A" as it did before the scope: a second "A" lookup
    // wraps round to the same node, and "B" follows directly.
    EXPECT_EQ(in.GetValue(int32_t(0), "B", 0), 2);
    EXPECT_EQ(in.GetValue(int32_t(0), "C", 0), 4);
}
