// Calendar conversions of the platform layer under a fixed time zone rule.
#include <commonvcqx/platform/internal/Calendar.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// Central European rules without the zone database: CET, CEST from the last Sunday
// of March 02:00 to the last Sunday of October 03:00.
class CalendarTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        ::tzset();
    }
    void TearDown() override {
        ::unsetenv("TZ");
        ::tzset();
    }
};

}  // namespace

TEST_F(CalendarTest, BreakDownAndComposeUnderTheDatesOwnRule) {
    std::tm fields{};
    ASSERT_TRUE(cvq::platform::BreakDownLocal(1704067200, fields));  // 2024-01-01 00:00 UTC
    EXPECT_EQ(fields.tm_hour, 1);
    EXPECT_EQ(fields.tm_isdst, 0);
    ASSERT_TRUE(cvq::platform::BreakDownLocal(1719792000, fields));  // 2024-07-01 00:00 UTC
    EXPECT_EQ(fields.tm_hour, 2);
    EXPECT_EQ(fields.tm_isdst, 1);
    int64_t seconds = 0;
    ASSERT_TRUE(cvq::platform::ComposeLocal(fields, seconds));
    EXPECT_EQ(seconds, 1719792000);
    ASSERT_TRUE(cvq::platform::BreakDownUtc(1719792000, fields));
    EXPECT_EQ(fields.tm_hour, 0);
    EXPECT_FALSE(cvq::platform::BreakDownLocal(INT64_MAX, fields));
}

TEST_F(CalendarTest, ComposeTellsMinusOneFromFailure) {
    std::tm fields{};
    fields.tm_year = 70;
    fields.tm_mday = 1;
    fields.tm_hour = 0;
    fields.tm_min = 59;
    fields.tm_sec = 59;  // 1970-01-01 00:59:59 CET is 1969-12-31 23:59:59 UTC
    fields.tm_isdst = -1;
    int64_t seconds = 0;
    ASSERT_TRUE(cvq::platform::ComposeLocal(fields, seconds));
    EXPECT_EQ(seconds, -1);
    std::tm huge{};
    huge.tm_year = INT_MAX;
    huge.tm_mon = 11;
    huge.tm_mday = 31;
    huge.tm_hour = 23;
    huge.tm_sec = 7200;  // carries into a year beyond the fields' range
    EXPECT_FALSE(cvq::platform::ComposeLocal(huge, seconds));
}

TEST_F(CalendarTest, FormatFitsOrGivesZero) {
    std::tm fields{};
    ASSERT_TRUE(cvq::platform::BreakDownUtc(0, fields));
    char text[32];
    EXPECT_EQ(cvq::platform::FormatCalendar(text, sizeof text, "%a %b %d %Y", fields), 15u);
    EXPECT_STREQ(text, "Thu Jan 01 1970");
    EXPECT_EQ(cvq::platform::FormatCalendar(text, 15, "%a %b %d %Y", fields), 0u);  // no NUL
    EXPECT_EQ(cvq::platform::FormatCalendar(text, 16, "%a %b %d %Y", fields), 15u);
    EXPECT_EQ(cvq::platform::FormatCalendar(text, sizeof text, "", fields), 0u);
}
