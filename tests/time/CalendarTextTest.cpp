// The direct path of calendar formatting against the platform's strftime: every
// directive it writes, random mixtures with the directives it hands on, over random
// instants in local time and UTC, and the 256-byte limit.
#include "TimeZoneFixture.h"

#include <commonvcqx/platform/internal/Calendar.h>
#include <commonvcqx/time/internal/CalendarText.h>

#include <random>
#include <string>

namespace {

using CalendarTextTest = cvq::test::TCentralEuropeanTime;

const char* const kDirect[] = {"%a", "%A", "%b", "%B", "%h", "%C", "%d", "%e", "%H", "%I",
                               "%j", "%m", "%M", "%S", "%p", "%y", "%Y", "%D", "%F", "%R",
                               "%T", "%r", "%c", "%x", "%X", "%n", "%t", "%%", "%u", "%w"};
const char* const kHandedOn[] = {"%Z",  "%z",  "%U",  "%W",  "%V",  "%G", "%g", "%s", "%Ey",
                                 "%Od", "%-d", "%5Y", "%_H", "%^a", "%P", "%k", "%"};

void ExpectSameAsPlatform(const std::string& format, const std::tm& fields, size_t size) {
    char mine[300], theirs[300];
    const size_t length = cvq::detail::FormatCalendarText(mine, size, format.c_str(), fields);
    const size_t expected = cvq::platform::FormatCalendar(theirs, size, format.c_str(), fields);
    ASSERT_EQ(length, expected) << "'" << format << "' size " << size;
    if (expected != 0) {
        ASSERT_EQ(std::string(mine, length), std::string(theirs, expected)) << format;
    }
}

}  // namespace

TEST_F(CalendarTextTest, SameTextAsStrftime) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int32_t> instant(INT32_MIN, INT32_MAX);
    for (int i = 0; i < 3000; ++i) {
        std::tm fields{};
        const int64_t seconds = instant(random);
        ASSERT_TRUE(i % 2 ? cvq::platform::BreakDownUtc(seconds, fields)
                          : cvq::platform::BreakDownLocal(seconds, fields));
        for (const char* directive : kDirect) ExpectSameAsPlatform(directive, fields, 256);
        std::string format;
        for (int n = int(random() % 8); n > 0; --n) {
            switch (random() % 4) {
                case 0:
                    format += kHandedOn[random() % std::size(kHandedOn)];
                    break;
                case 1:
                    format += std::string(random() % 4, char('A' + random() % 26));
                    break;
                default:
                    format += kDirect[random() % std::size(kDirect)];
                    break;
            }
        }
        ExpectSameAsPlatform(format, fields, 256);
        ExpectSameAsPlatform(format, fields, 1 + random() % 24);  // mostly too small
    }
}

TEST_F(CalendarTextTest, LimitAndOddFields) {
    std::tm fields{};
    ASSERT_TRUE(cvq::platform::BreakDownUtc(0, fields));
    std::string fits = std::string(251, '.') + "%Y";
    ExpectSameAsPlatform(fits, fields, 256);
    ExpectSameAsPlatform(fits, fields, 255);
    char buffer[8];
    EXPECT_EQ(cvq::detail::FormatCalendarText(buffer, sizeof buffer, nullptr, fields), 0u);
    EXPECT_EQ(cvq::detail::FormatCalendarText(buffer, 0, "%Y", fields), 0u);
    // Fields outside their ranges go to the platform, whatever it writes for them.
    fields.tm_wday = 9;
    fields.tm_mon = -3;
    fields.tm_year = 20000;
    ExpectSameAsPlatform("%a %b %Y", fields, 256);
}
