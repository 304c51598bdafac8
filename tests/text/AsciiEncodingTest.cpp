#include <commonvcqx/text/AsciiEncoding.h>

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Encode(const std::vector<unsigned char>& bytes) {
    std::string out(size_t(ComputeAsciiEncodedSize(int32_t(bytes.size()))), '\0');
    int32_t written = AsciiEncode(bytes.data(), reinterpret_cast<unsigned char*>(out.data()),
                                  int32_t(bytes.size()));
    EXPECT_EQ(size_t(written), out.size());
    return out;
}

std::vector<unsigned char> Decode(const std::string& text) {
    auto p = reinterpret_cast<const unsigned char*>(text.data());
    std::vector<unsigned char> out(size_t(ComputeAsciiDecodedSize(p, int32_t(text.size()))));
    EXPECT_EQ(size_t(AsciiDecode(p, out.data(), int32_t(text.size()))), out.size());
    return out;
}

}  // namespace

TEST(AsciiEncodingTest, SizesAndKnownTexts) {
    struct {
        int32_t size, chars;
    } sizes[] = {{0, 0}, {1, 5}, {3, 5}, {4, 9}, {59, 81}, {60, 81}, {61, 86}, {120, 162}, {-5, 0}};
    for (auto c : sizes) EXPECT_EQ(ComputeAsciiEncodedSize(c.size), c.chars) << c.size;

    EXPECT_EQ(Encode({'a', 'b', 'c'}), "$97*D");
    EXPECT_EQ(Encode({'a'}), "\"91!!");
    EXPECT_EQ(Encode({0, 0, 0}), "$!!!!");
    EXPECT_EQ(Decode("$!!!!"), (std::vector<unsigned char>{0, 0, 0}));
    EXPECT_EQ(Decode("\"91!!"), (std::vector<unsigned char>{'a'}));  // padding not written
    std::string full = Encode(std::vector<unsigned char>(60, 0xFF));
    EXPECT_EQ(full.size(), 81u);
    EXPECT_EQ(full[0], char(60 + 33));
    for (char c : full) EXPECT_TRUE(c >= '!' && c <= '`');
}

TEST(AsciiEncodingTest, RoundTripsEveryLength) {
    std::mt19937 rng(3);
    for (int n = 1; n <= 1000; ++n) {
        std::vector<unsigned char> bytes(static_cast<size_t>(n));
        for (auto& b : bytes) b = static_cast<unsigned char>(rng());
        ASSERT_EQ(Decode(Encode(bytes)), bytes) << n;
    }
}

TEST(AsciiEncodingTest, MalformedInputStaysInsideBuffers) {
    // Each case: encoded text, bytes it decodes to.
    struct {
        std::string text;
        int32_t bytes;
    } cases[] = {
        {"$97*", 0},    // the only group is cut short
        {"$97*D$", 3},  // a trailing length character with no groups
        {"]", 0},       // 60 bytes announced, none present
        {std::string("\x7f!!!!!!!!", 9),
         6},  // 63 bytes announced ((0x7F-33)&63), two groups present
        {std::string(" \x01\x02\x03\x04", 5), 3},  // characters below '!' wrap to six bits
        {"!", 0},                                  // a line of no bytes
        {"", 0},
    };
    for (const auto& c : cases) {
        auto p = reinterpret_cast<const unsigned char*>(c.text.data());
        int32_t length = int32_t(c.text.size());
        ASSERT_EQ(ComputeAsciiDecodedSize(p, length), c.bytes) << c.text;
        // Exactly sized heap buffers let the sanitizers see any overrun.
        std::vector<unsigned char> in(c.text.begin(), c.text.end());
        std::unique_ptr<unsigned char[]> out(new unsigned char[size_t(c.bytes) + 1]);
        EXPECT_EQ(AsciiDecode(in.data(), out.get(), length), c.bytes);
    }
    EXPECT_EQ(ComputeAsciiDecodedSize(nullptr, -1), 0);
}
