// commonvcqx/time/Time.h
//
// TTime: a calendar instant in whole seconds since 1970-01-01 00:00:00 UTC, kept in
// one signed 32-bit word (1901 to 2038), copied freely. Calendar fields come from the
// system's time zone database: local time follows the daylight-saving rule in force
// on the date itself. Stored as one 32-bit integer, raw in a byte stream or as a
// tagged value.
//
//   TTime when(2024, 7, 1, 12, 30, 0);              // local time, summer or winter by the date
//   TTime later = when + TTimeSpan(0, 2, 0, 0);
//   TString text = later.ConvertToString("%Y-%m-%d %H:%M:%S");   // "2024-07-01 14:30:00"
//   TTimeSpan gap = later - when;                   // 7200 s
//
// Calendar work is done in 64 bits; a result that does not fit the 32-bit word is a
// failed conversion (-1), never a wrapped date. Texts are written in the C locale,
// whatever locale the process has chosen. Only a failed allocation throws; every
// member is thread-safe.
#pragma once

#include <commonvcqx/platform/WinTypes.h>
#include <commonvcqx/text/String.h>
#include <commonvcqx/time/TimeSpan.h>

#include <compare>
#include <cstdint>
#include <ctime>

class TTime {
public:
    /// 1970-01-01 00:00:00 UTC (callers assign before use).
    constexpr TTime() noexcept = default;
    constexpr TTime(int32_t seconds) noexcept : m_time(seconds) {}
    constexpr TTime& operator=(int32_t seconds) noexcept {
        m_time = seconds;
        return *this;
    }
    /// Local time from year, month (1-12), day, hour, minute and second, normalized as
    /// mktime does (32 January is 1 February). `daylightSaving` positive: summer time, zero:
    /// standard time, negative: as the date's own rule says. A time that cannot be
    /// represented gives -1.
    TTime(int year, int month, int day, int hour, int minute, int second,
          int daylightSaving = -1) noexcept;
    /// From the packed DOS/FAT date and time words (read as unsigned), as local time.
    TTime(short dosDate, short dosTime, int daylightSaving = -1) noexcept;
    /// As the seven-number form with the record's date and time (milliseconds and day of
    /// the week ignored); a year before 1900 gives 0.
    TTime(const SYSTEMTIME& time, int daylightSaving = -1) noexcept;
    /// The UTC file time in local time under the date's own daylight-saving rule, then
    /// as the SYSTEMTIME form. A negative `daylightSaving` keeps the file time's instant
    /// exactly (the repeated hour of autumn included); zero or positive reads its
    /// local clock time as standard or summer time. 0 for a file time that Windows
    /// cannot convert (at or beyond 2^63) or before 1900.
    TTime(const FILETIME& time, int daylightSaving = -1) noexcept;

    /// Not a tick count: the seconds since 1970 of the system's real-time clock, as the
    /// C run-time's time() gives them (-1 from 2038-01-19 03:14:08 UTC on).
    static int32_t GetTickCount() noexcept;

    constexpr int32_t GetTime() const noexcept { return m_time; }
    /// Local calendar fields; 0 in the rare case the system cannot break the time down.
    int GetYear() const noexcept;
    int GetMonth() const noexcept;  ///< 1-12
    int GetDay() const noexcept;    ///< 1-31
    int GetHour() const noexcept;   ///< 0-23
    int GetMinute() const noexcept;
    int GetSecond() const noexcept;
    int GetDayOfWeek() const noexcept;  ///< 1-7, 1 = Sunday

    /// The breakdown in local time (UTC) copied into `fields` and returned; with null,
    /// into a record of the calling thread's own, valid until its next such call. Null
    /// when the system cannot break the time down.
    std::tm* GetLocalTm(std::tm* fields = nullptr) const noexcept;
    std::tm* GetGmtTm(std::tm* fields = nullptr) const noexcept;

    friend TTimeSpan operator-(TTime a, TTime b) noexcept {
        return cvq::WrapToInt32(int64_t{a.m_time} - b.m_time);
    }
    /// Shifted by the span; -1 when the result leaves the 32-bit range.
    TTime operator+(TTimeSpan span) const noexcept {
        return Fit(int64_t{m_time} + span.GetTotalSeconds());
    }
    TTime operator-(TTimeSpan span) const noexcept {
        return Fit(int64_t{m_time} - span.GetTotalSeconds());
    }
    TTime& operator+=(TTimeSpan span) noexcept { return *this = *this + span; }
    TTime& operator-=(TTimeSpan span) noexcept { return *this = *this - span; }

    friend constexpr bool operator==(TTime, TTime) noexcept = default;
    friend constexpr std::strong_ordering operator<=>(TTime, TTime) noexcept = default;

    /// As for TTimeSpan: one raw 32-bit integer; a tagged 32-bit value, 0 when absent.
    void Write(TOutputStream& out) const;
    void Read(TInputStream& in);
    void WriteState(TTaggedOutputStream& out, int32_t id, const char* name, int index) const;
    char RestoreState(TTaggedInputStream& in, int32_t id, const char* name, int index);

    /// strftime of the local (UTC) breakdown into the original's 256-byte buffer: ""
    /// when the text is empty, needs more than 255 characters, or the format is null.
    TString ConvertToString(const char* format) const;
    TString ConvertToGmtString(const char* format) const;

private:
    static TTime Fit(int64_t seconds) noexcept {
        return cvq::FitsInt32(seconds) ? TTime(int32_t(seconds)) : TTime(-1);
    }

    int32_t m_time = 0;
};
