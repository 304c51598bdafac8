// TTime under a fixed time zone: construction from fields, DOS words, SYSTEMTIME and
// FILETIME across daylight-saving changes, accessors, arithmetic at the 32-bit edges,
// formatting, thread-safe breakdowns and byte-exact storage.
#include "TimeZoneFixture.h"

#include <commonvcqx/streams/InputMemoryStream.h>
#include <commonvcqx/streams/OutputMemoryStream.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/time/Time.h>

#include <cstring>
#include <string>
#include <thread>

namespace {

using TimeTest = cvq::test::TCentralEuropeanTime;

FILETIME FileTimeOf(int64_t seconds) {
    const uint64_t ticks = uint64_t(seconds + 11644473600) * 10000000u;
    return FILETIME{DWORD(ticks), DWORD(ticks >> 32)};
}

}  // namespace

TEST_F(TimeTest, FromLocalFields) {
    struct TCase {
        int year, month, day, hour, minute, second, daylightSaving;
        int32_t expected;
    };
    const TCase cases[] = {
        {2024, 1, 15, 13, 0, 0, -1, 1705320000},
        {2024, 7, 15, 14, 0, 0, -1, 1721044800},
        {2024, 7, 15, 14, 0, 0, 0, 1721044800 + 3600},  // read as standard time
        {2024, 1, 15, 13, 0, 0, 1, 1705320000 - 3600},  // read as summer time
        {2024, 2, 30, 0, 0, 0, -1, 1709247600},         // 30 February is 1 March
        {2024, 13, 1, 0, 0, 0, -1, 1735686000},         // month 13 is next January
        {1902, 1, 1, 0, 0, 0, -1, -2145920400},         // before 1970 but in 32 bits
        {2040, 1, 1, 0, 0, 0, -1, -1},                  // beyond 32 bits: failure
        {1901, 1, 1, 0, 0, 0, -1, -1},
        {INT32_MAX, 1, 1, 0, 0, 0, -1, -1},
        {INT32_MIN, INT32_MIN, 1, 0, 0, 0, -1, -1},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(
            TTime(c.year, c.month, c.day, c.hour, c.minute, c.second, c.daylightSaving).GetTime(),
            c.expected)
            << c.year << "-" << c.month << "-" << c.day << " dst " << c.daylightSaving;
}

TEST_F(TimeTest, FromDosWords) {
    // 1 January 2000, 20:00:00: the time word's top bit is set.
    const uint16_t date = (20 << 9) | (1 << 5) | 1, clock = 20 << 11;
    TTime evening{short(date), short(clock)};
    EXPECT_EQ(evening.GetTime(), 946753200);
    EXPECT_EQ(evening.GetHour(), 20);
    EXPECT_EQ(evening.GetDay(), 1);
    for (int hour = 16; hour < 24; ++hour) {
        TTime t(short(date), short(hour << 11 | 59 << 5 | 29));
        EXPECT_EQ(t.GetHour(), hour);
        EXPECT_EQ(t.GetMinute(), 59);
        EXPECT_EQ(t.GetSecond(), 58);
    }
    EXPECT_EQ(TTime(short(0), short(0)).GetTime(), TTime(1979, 11, 30, 0, 0, 0).GetTime());
    EXPECT_EQ(TTime(short(0xFFFF), short(0)).GetTime(), -1);  // 2107: beyond 32 bits
    EXPECT_EQ(TTime(short(date), short(clock), 1).GetTime(), 946753200 - 3600);
}

TEST_F(TimeTest, FromSystemTime) {
    SYSTEMTIME summer{2024, 7, 3 /* ignored */, 15, 14, 0, 0, 999};
    EXPECT_EQ(TTime(summer).GetTime(), 1721044800);
    EXPECT_EQ(TTime(summer, 0).GetTime(), 1721044800 + 3600);
    SYSTEMTIME old{1899, 12, 0, 31, 23, 59, 59, 0};
    EXPECT_EQ(TTime(old).GetTime(), 0);
    SYSTEMTIME first{1900, 1, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(TTime(first).GetTime(), -1);  // before 1901 is outside 32 bits
}

TEST_F(TimeTest, FileTimeKeepsItsInstantAcrossDaylightSavingChanges) {
    // UTC instants around both changes of 2024, the repeated autumn hour included:
    // under the date's own rule a negative flag gives back the instant itself.
    const int64_t instants[] = {
        1705320000,   // 15 January 12:00 UTC, 13:00 CET
        1721044800,   // 15 July 12:00 UTC, 14:00 CEST
        1711846799,   // 31 March 00:59:59 UTC, 01:59:59 CET, the last second of winter
        1711846800,   // 01:00:00 UTC, 03:00:00 CEST
        1729989000,   // 27 October 00:30 UTC, 02:30 CEST
        1729992600,   // 01:30 UTC, 02:30 CET: the same clock time an hour later
        0,            // 1970
        -2145920400,  // 1902
    };
    for (int64_t instant : instants)
        EXPECT_EQ(TTime(FileTimeOf(instant)).GetTime(), instant) << instant;
    // With a flag the local clock time is read as the caller says.
    EXPECT_EQ(TTime(FileTimeOf(1721044800), 0).GetTime(), 1721044800 + 3600);
    EXPECT_EQ(TTime(FileTimeOf(1705320000), 1).GetTime(), 1705320000 - 3600);
    EXPECT_EQ(TTime(FileTimeOf(1729989000), 0).GetTime(), 1729992600);
    EXPECT_EQ(TTime(FileTimeOf(1729992600), 1).GetTime(), 1729989000);
    // Sub-second parts are dropped, toward the earlier second.
    FILETIME late = FileTimeOf(1705320000);
    late.dwLowDateTime += 9999999;
    EXPECT_EQ(TTime(late).GetTime(), 1705320000);
    // Conversions Windows refuses, and times outside the 32-bit word.
    EXPECT_EQ(TTime(FILETIME{0, 0}).GetTime(), 0);  // 1601
    EXPECT_EQ(TTime(FILETIME{0, 0x80000000u}).GetTime(), 0);
    EXPECT_EQ(TTime(FILETIME{0xFFFFFFFFu, 0x7FFFFFFFu}).GetTime(), -1);  // year 30828
    EXPECT_EQ(TTime(FileTimeOf(int64_t{1} << 32)).GetTime(), -1);        // 2106
}

TEST_F(TimeTest, AccessorsAndBreakdowns) {
    TTime when(1721044800);  // Monday 15 July 2024, 14:00:00 CEST
    EXPECT_EQ(when.GetYear(), 2024);
    EXPECT_EQ(when.GetMonth(), 7);
    EXPECT_EQ(when.GetDay(), 15);
    EXPECT_EQ(when.GetHour(), 14);
    EXPECT_EQ(when.GetMinute(), 0);
    EXPECT_EQ(when.GetSecond(), 0);
    EXPECT_EQ(when.GetDayOfWeek(), 2);
    EXPECT_EQ(TTime(1721044800 - 86400).GetDayOfWeek(), 1);  // Sunday
    std::tm mine{};
    EXPECT_EQ(when.GetLocalTm(&mine), &mine);
    EXPECT_EQ(mine.tm_isdst, 1);
    EXPECT_EQ(when.GetGmtTm(&mine), &mine);
    EXPECT_EQ(mine.tm_hour, 12);
    std::tm* shared = when.GetGmtTm();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(when.GetLocalTm(), shared);  // one record per thread, as the run-time has
    EXPECT_EQ(shared->tm_hour, 14);
}

TEST_F(TimeTest, BreakdownsWithoutArgumentAreThreadSafe) {
    // Each thread's own record: two threads breaking down different times at once
    // never see each other's fields.
    auto work = [](int32_t seconds, int hour, bool* ok) {
        TTime t(seconds);
        for (int i = 0; i < 2000; ++i) {
            std::tm* fields = t.GetLocalTm();
            if (!fields || fields->tm_hour != hour) *ok = false;
        }
    };
    bool okA = true, okB = true;
    std::thread a(work, 1705320000, 13, &okA), b(work, 1721044800, 14, &okB);
    a.join();
    b.join();
    EXPECT_TRUE(okA);
    EXPECT_TRUE(okB);
}

TEST_F(TimeTest, TickCountIsTheWallClockInSeconds) {
    const std::time_t before = std::time(nullptr);
    const int32_t now = TTime::GetTickCount();
    EXPECT_GE(now, before);
    EXPECT_LE(now, std::time(nullptr));
}

TEST_F(TimeTest, ArithmeticAtThe32BitEdges) {
    EXPECT_EQ((TTime(100) - TTime(40)).GetTotalSeconds(), 60);
    EXPECT_EQ((TTime(100) + TTimeSpan(0, 1, 0, 0)).GetTime(), 3700);
    EXPECT_EQ((TTime(INT32_MAX) + TTimeSpan(1)).GetTime(), -1);  // no wrap to 1901
    EXPECT_EQ((TTime(INT32_MIN) - TTimeSpan(1)).GetTime(), -1);
    EXPECT_EQ((TTime(INT32_MAX) - TTime(INT32_MIN)).GetTotalSeconds(), -1);  // span wraps
    TTime t(1000);
    t += TTimeSpan(500);
    t -= TTimeSpan(200);
    EXPECT_EQ(t.GetTime(), 1300);
    EXPECT_TRUE(TTime(1) < TTime(2));
    EXPECT_TRUE(TTime(2) == 2);
    EXPECT_TRUE(TTime(3) >= TTime(3));
    static_assert(sizeof(TTime) == 4);
}

TEST_F(TimeTest, Formatting) {
    TTime when(1721044800);
    EXPECT_STREQ(when.ConvertToString("%Y-%m-%d %H:%M:%S").c_str(), "2024-07-15 14:00:00");
    EXPECT_STREQ(when.ConvertToGmtString("%Y-%m-%d %H:%M:%S").c_str(), "2024-07-15 12:00:00");
    EXPECT_STREQ(when.ConvertToString("%a %d %b %Y %Z").c_str(), "Mon 15 Jul 2024 CEST");
    EXPECT_STREQ(TTime(1705320000).ConvertToString("%c %Z").c_str(),
                 "Mon Jan 15 13:00:00 2024 CET");
    EXPECT_STREQ(when.ConvertToGmtString("%c").c_str(), "Mon Jul 15 12:00:00 2024");
    EXPECT_STREQ(when.ConvertToString("").c_str(), "");
    EXPECT_STREQ(when.ConvertToString(nullptr).c_str(), "");
    // The original's 256-byte buffer: 255 characters fit, 256 give "".
    EXPECT_EQ(when.ConvertToString(std::string(251, 'x').append("%Y").c_str()).GetLength(), 255u);
    EXPECT_STREQ(when.ConvertToString(std::string(252, 'x').append("%Y").c_str()).c_str(), "");
    EXPECT_STREQ(when.ConvertToString(std::string(252, 'x').append("%Z").c_str()).c_str(), "");
}

TEST_F(TimeTest, StorageIsOneLittleEndianWord) {
    TOutputMemoryStream raw(64);
    TTime(1721044800).Write(raw);
    ASSERT_EQ(raw.GetCurrentPosition(), 4u);
    EXPECT_EQ(std::memcmp(raw.GetStart(), "\x40\x0F\x95\x66", 4), 0);
    TInputMemoryStream in(raw.GetStart(), 4);
    TTime back;
    back.Read(in);
    EXPECT_EQ(back.GetTime(), 1721044800);

    TTaggedOutputStream viaTime(1, "doc", 1), viaValue(1, "doc", 1);
    TTime(1721044800).WriteState(viaTime, 5, "Stamp", 0);
    viaValue.SetValue(int32_t{1721044800}, "Stamp", 0);
    viaTime.CloseWriting();
    viaValue.CloseWriting();
    ASSERT_EQ(viaTime.GetSize(), viaValue.GetSize());
    EXPECT_EQ(std::memcmp(viaTime.GetStart(), viaValue.GetStart(), viaTime.GetSize()), 0);
    TTaggedInputStream tagged(1, const_cast<char*>(viaTime.GetStart()), int32_t(viaTime.GetSize()),
                              0);
    TTime restored(99);
    EXPECT_TRUE(restored.RestoreState(tagged, 0, "Stamp", 0));
    EXPECT_EQ(restored.GetTime(), 1721044800);
    EXPECT_TRUE(restored.RestoreState(tagged, 0, "Missing", 0));
    EXPECT_EQ(restored.GetTime(), 0);
}
