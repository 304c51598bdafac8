// Bounded text building against an unbounded model: the same text while it fits,
// a cut prefix and the truncation flag when it does not, and never a byte outside.
#include <commonvcqx/base/BoundedText.h>

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <random>
#include <string>

namespace {

// Runs one sequence of appends into a buffer of `size` bytes inside guard bytes and
// returns the text; the model is the same sequence on a std::string.
struct TRun {
    std::string text;
    bool truncated;
};

TRun Build(size_t size, uint32_t seed, std::string& model) {
    std::vector<char> storage(size + 16, '#');
    cvq::TBoundedText text(storage.data() + 8, size);
    std::mt19937 random(seed);
    model.clear();
    for (int step = 0; step < 12; ++step) {
        switch (random() % 5) {
            case 0: {
                char c = char('a' + random() % 26);
                text.Append(c);
                model += c;
                break;
            }
            case 1: {
                std::string piece(random() % 9, char('A' + random() % 26));
                text.Append(piece.c_str());
                model += piece;
                break;
            }
            case 2: {
                int64_t value = int64_t(random()) - int64_t(random()) * 65536;
                int width = int(random() % 14);
                text.AppendInteger(value, width);
                char expect[64];
                std::snprintf(expect, sizeof expect, "%0*" PRId64, width, value);
                model += expect;
                break;
            }
            case 3: {
                uint64_t value = uint64_t(random()) << (random() % 33);
                text.AppendUnsigned(value, 3);
                char expect[64];
                std::snprintf(expect, sizeof expect, "%03" PRIu64, value);
                model += expect;
                break;
            }
            default: {
                double value = double(int32_t(random())) / 1000.0;
                text.AppendFormat("[%.2f]", value);
                char expect[64];
                std::snprintf(expect, sizeof expect, "[%.2f]", value);
                model += expect;
                break;
            }
        }
    }
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(storage[size_t(i)], '#') << "wrote before the buffer";
        EXPECT_EQ(storage[size + 8 + size_t(i)], '#') << "wrote past the buffer";
    }
    EXPECT_EQ(std::string(text.Text()).size(), text.Length());
    EXPECT_EQ(text.Room() + text.Length() + (size != 0 ? 1 : 0), size);
    return {text.Text(), text.Truncated()};
}

}  // namespace

TEST(BoundedTextTest, MatchesTheUnboundedTextOrItsPrefix) {
    for (uint32_t seed = 0; seed < 300; ++seed) {
        for (size_t size : {size_t(0), size_t(1), size_t(2), size_t(7), size_t(40), size_t(256)}) {
            std::string model;
            TRun run = Build(size, seed, model);
            const size_t capacity = size ? size - 1 : 0;
            EXPECT_EQ(run.text, model.substr(0, capacity)) << seed << " " << size;
            EXPECT_EQ(run.truncated, model.size() > capacity) << seed << " " << size;
        }
    }
}

TEST(BoundedTextTest, ExactFitIsNotTruncated) {
    char buffer[6];
    cvq::TBoundedText text(buffer);
    text.Append("ab").AppendInteger(-12, 3);  // "ab-12"
    EXPECT_STREQ(text.Text(), "ab-12");
    EXPECT_FALSE(text.Truncated());
    EXPECT_EQ(text.Room(), 0u);
    text.Append("");
    EXPECT_FALSE(text.Truncated());
    text.Append('x');
    EXPECT_TRUE(text.Truncated());
    EXPECT_STREQ(buffer, "ab-12");
    text.Append(nullptr);
    EXPECT_STREQ(text.Text(), "ab-12");
    EXPECT_STREQ(cvq::TBoundedText(buffer, 0).Text(), "");
    char two[2];
    cvq::TBoundedText small(two);
    small.AppendInteger(INT64_MIN);
    EXPECT_STREQ(small.Text(), "-");
    EXPECT_TRUE(small.Truncated());
}
