// TTimeSpan: components of positive and negative spans, wrapping arithmetic, every
// format directive, the bounded format buffer and byte-exact storage.
#include <commonvcqx/streams/InputMemoryStream.h>
#include <commonvcqx/streams/OutputMemoryStream.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/time/TimeSpan.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(TimeSpanTest, ComponentsTruncateTowardZero) {
    struct TCase {
        TTimeSpan span;
        int32_t days, totalHours, hours, totalMinutes, minutes, seconds;
    };
    const TCase cases[] = {
        {TTimeSpan(1, 2, 3, 4), 1, 26, 2, 1563, 3, 4},
        {TTimeSpan(-90), 0, 0, 0, -1, -1, -30},
        {TTimeSpan(-93784), -1, -26, -2, -1563, -3, -4},
        {TTimeSpan(0), 0, 0, 0, 0, 0, 0},
        {TTimeSpan(INT32_MAX), 24855, 596523, 3, 35791394, 14, 7},
        {TTimeSpan(INT32_MIN), -24855, -596523, -3, -35791394, -14, -8},
        {TTimeSpan(0, 0, 0, 59), 0, 0, 0, 0, 0, 59},
        {TTimeSpan(0, 25, 61, 61), 1, 26, 2, 1562, 2, 1},  // components carry
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.span.GetTotalSeconds());
        EXPECT_EQ(c.span.GetDays(), c.days);
        EXPECT_EQ(c.span.GetTotalHours(), c.totalHours);
        EXPECT_EQ(c.span.GetHours(), c.hours);
        EXPECT_EQ(c.span.GetTotalMinutes(), c.totalMinutes);
        EXPECT_EQ(c.span.GetMinutes(), c.minutes);
        EXPECT_EQ(c.span.GetSeconds(), c.seconds);
    }
    EXPECT_EQ(TTimeSpan(1, 2, 3, 4).GetTotalSeconds(), 93784);
}

TEST(TimeSpanTest, ArithmeticIsExactThenKeepsTheLow32Bits) {
    // 30 000 days do not fit 32 bits of seconds: the original's wrapped result, defined.
    EXPECT_EQ(TTimeSpan(30000, 0, 0, 0).GetTotalSeconds(), int32_t(uint32_t(2592000000u)));
    EXPECT_EQ(TTimeSpan(INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX).GetTotalSeconds(),
              int32_t(uint32_t(uint64_t(INT32_MAX) * (86400 + 3600 + 60 + 1))));
    EXPECT_EQ((TTimeSpan(INT32_MAX) + TTimeSpan(1)).GetTotalSeconds(), INT32_MIN);
    EXPECT_EQ((TTimeSpan(INT32_MIN) - TTimeSpan(1)).GetTotalSeconds(), INT32_MAX);
    TTimeSpan span(100);
    EXPECT_EQ((span += 20).GetTotalSeconds(), 120);
    EXPECT_EQ((span -= 200).GetTotalSeconds(), -80);
    EXPECT_TRUE(TTimeSpan(-1) < TTimeSpan(0));
    EXPECT_TRUE(TTimeSpan(5) == 5);
    EXPECT_TRUE(TTimeSpan(5) != TTimeSpan(6));
    EXPECT_TRUE(TTimeSpan(7) >= TTimeSpan(7) && TTimeSpan(7) <= TTimeSpan(7));
    EXPECT_FALSE(TTimeSpan(7) > TTimeSpan(7));
    static_assert(sizeof(TTimeSpan) == 4);
}

TEST(TimeSpanTest, FormatDirectives) {
    struct TCase {
        int32_t seconds;
        const char* format;
        const char* text;
    };
    const TCase cases[] = {
        {93784, "%D %H %M %S", "1 02 03 04"},
        {93784, "%D days, %H:%M:%S", "1 days, 02:03:04"},
        {-90, "%D|%H|%M|%S", "0|00|-1|-30"},
        {-93784, "%D %H:%M:%S", "-1 -2:-3:-4"},
        {INT32_MIN, "%D", "-24855"},
        {5, "%Q%%", "Q%"},   // another character alone; two percent signs write one
        {5, "100%", "100"},  // a percent sign at the end ends the text
        {5, "%", ""},
        {5, "", ""},
        {5, "plain", "plain"},
        {5, "%d%h%s", "dhs"},  // the directives are upper case only
    };
    for (const TCase& c : cases)
        EXPECT_STREQ(TTimeSpan(c.seconds).ConvertToString(c.format).c_str(), c.text) << c.format;
    EXPECT_STREQ(TTimeSpan(5).ConvertToString(nullptr).c_str(), "");
}

TEST(TimeSpanTest, FormatNeverPassesTheOriginalBuffer) {
    // Each %D writes 6 characters here; 100 of them would have overrun 256 bytes.
    std::string format;
    for (int i = 0; i < 100; ++i) format += "%D";
    TString text = TTimeSpan(INT32_MIN).ConvertToString(format.c_str());
    std::string expected;
    for (int i = 0; i < 100; ++i) expected += "-24855";
    EXPECT_EQ(std::string(text.c_str()), expected.substr(0, 255));
    // Exactly 255 characters fit; the 256th is cut.
    std::string fits(255, 'x');
    EXPECT_EQ(TTimeSpan(0).ConvertToString(fits.c_str()).GetLength(), 255u);
    EXPECT_EQ(TTimeSpan(0).ConvertToString((fits + "yz").c_str()).GetLength(), 255u);
}

TEST(TimeSpanTest, StorageIsOneLittleEndianWord) {
    TOutputMemoryStream raw(64);
    TTimeSpan(-2).Write(raw);
    ASSERT_EQ(raw.GetCurrentPosition(), 4u);
    EXPECT_EQ(std::memcmp(raw.GetStart(), "\xFE\xFF\xFF\xFF", 4), 0);
    TInputMemoryStream in(raw.GetStart(), 4);
    TTimeSpan back(7);
    back.Read(in);
    EXPECT_EQ(back, TTimeSpan(-2));

    TTaggedOutputStream viaSpan(1, "doc", 1), viaValue(1, "doc", 1);
    TTimeSpan(93784).WriteState(viaSpan, 77, "Span", 3);
    viaValue.SetValue(int32_t{93784}, "Span", 3);
    viaSpan.CloseWriting();
    viaValue.CloseWriting();
    ASSERT_EQ(viaSpan.GetSize(), viaValue.GetSize());
    EXPECT_EQ(std::memcmp(viaSpan.GetStart(), viaValue.GetStart(), viaSpan.GetSize()), 0);

    TTaggedInputStream tagged(1, const_cast<char*>(viaSpan.GetStart()), int32_t(viaSpan.GetSize()),
                              0);
    TTimeSpan restored(1);
    EXPECT_TRUE(restored.RestoreState(tagged, 0, "Span", 3));
    EXPECT_EQ(restored.GetTotalSeconds(), 93784);
    EXPECT_TRUE(restored.RestoreState(tagged, 0, "Span", 4));  // absent: 0, not the old value
    EXPECT_EQ(restored.GetTotalSeconds(), 0);
}
