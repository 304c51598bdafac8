// TTime's calendar conversions, all through the platform's calendar.
#include <commonvcqx/time/Time.h>

#include <commonvcqx/platform/internal/Calendar.h>
#include <commonvcqx/platform/internal/Clocks.h>
#include <commonvcqx/platform/internal/Files.h>
#include <commonvcqx/streams/InputStream.h>
#include <commonvcqx/streams/OutputStream.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/time/internal/CalendarText.h>

namespace {

// What the C run-time's localtime and gmtime would hand out, one record per thread.
thread_local std::tm t_fields;

int32_t FromLocalFields(std::tm& fields) noexcept {
    int64_t seconds = 0;
    if (!cvq::platform::ComposeLocal(fields, seconds) || !cvq::FitsInt32(seconds)) return -1;
    return int32_t(seconds);
}

int32_t FromLocalTime(int year, int month, int day, int hour, int minute, int second,
                      int daylightSaving) noexcept {
    std::tm fields{};
    // The components are the caller's; only the year offset could overflow.
    fields.tm_year = int(cvq::SaturateToInt32(int64_t{year} - 1900));
    fields.tm_mon = int(cvq::WrapSubtract32(month, 1));
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = daylightSaving;
    return FromLocalFields(fields);
}

int32_t FromSystemTime(const SYSTEMTIME& time, int daylightSaving) noexcept {
    if (time.wYear < 1900) return 0;
    return FromLocalTime(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond,
                         daylightSaving);
}

int32_t FromFileTime(const FILETIME& time, int daylightSaving) noexcept {
    // FileTimeToSystemTime refuses the top half of the range.
    if (time.dwHighDateTime & 0x80000000u) return 0;
    int64_t seconds = 0, nanoseconds = 0;
    cvq::platform::UnixFromFileTime(time, seconds, nanoseconds);
    std::tm fields{};
    if (!cvq::platform::BreakDownLocal(seconds, fields) || fields.tm_year < 0) return 0;
    // The breakdown's own daylight-saving flag keeps the instant in the repeated autumn hour.
    if (daylightSaving >= 0) fields.tm_isdst = daylightSaving;
    return FromLocalFields(fields);
}

TString Format(const char* format, const std::tm* fields) {
    if (!fields) return TString();
    char buffer[256];
    const size_t length = cvq::detail::FormatCalendarText(buffer, sizeof buffer, format, *fields);
    return length ? TString(TSubString::Create(buffer, uint32_t(length))) : TString();
}

}  // namespace

TTime::TTime(int year, int month, int day, int hour, int minute, int second,
             int daylightSaving) noexcept
    : m_time(FromLocalTime(year, month, day, hour, minute, second, daylightSaving)) {}

TTime::TTime(short dosDate, short dosTime, int daylightSaving) noexcept {
    const unsigned date = uint16_t(dosDate), time = uint16_t(dosTime);
    m_time =
        FromLocalTime(int(date >> 9) + 1980, int((date >> 5) & 15), int(date & 31), int(time >> 11),
                      int((time >> 5) & 63), int(time & 31) * 2, daylightSaving);
}

TTime::TTime(const SYSTEMTIME& time, int daylightSaving) noexcept
    : m_time(FromSystemTime(time, daylightSaving)) {}

TTime::TTime(const FILETIME& time, int daylightSaving) noexcept
    : m_time(FromFileTime(time, daylightSaving)) {}

int32_t TTime::GetTickCount() noexcept {
    return Fit(cvq::platform::WallClockSeconds()).m_time;
}

int TTime::GetYear() const noexcept {
    std::tm fields;
    return GetLocalTm(&fields) ? fields.tm_year + 1900 : 0;
}

int TTime::GetMonth() const noexcept {
    std::tm fields;
    return GetLocalTm(&fields) ? fields.tm_mon + 1 : 0;
}

int TTime::GetDay() const noexcept {
    std::tm fields;
    return GetLocalTm(&fields) ? fields.tm_mday : 0;
}

int TTime::GetHour() const noexcept {
    std::tm fields;
    return GetLocalTm(&fields) ? fields.tm_hour : 0;
}

int TTime::GetMinute() const noexcept {
    std::tm fields;
    return GetLocalTm(&fields) ? fields.tm_min : 0;
}

int TTime::GetSecond() const noexcept {
    std::tm fields;
    return GetLocalTm(&fields) ? fields.tm_sec : 0;
}

int TTime::GetDayOfWeek() const noexcept {
    std::tm fields;
    return GetLocalTm(&fields) ? fields.tm_wday + 1 : 0;
}

std::tm* TTime::GetLocalTm(std::tm* fields) const noexcept {
    std::tm* out = fields ? fields : &t_fields;
    return cvq::platform::BreakDownLocal(m_time, *out) ? out : nullptr;
}

std::tm* TTime::GetGmtTm(std::tm* fields) const noexcept {
    std::tm* out = fields ? fields : &t_fields;
    return cvq::platform::BreakDownUtc(m_time, *out) ? out : nullptr;
}

void TTime::Write(TOutputStream& out) const {
    out.Write(m_time);
}

void TTime::Read(TInputStream& in) {
    in.Read(&m_time, 1);
}

void TTime::WriteState(TTaggedOutputStream& out, int32_t, const char* name, int index) const {
    out.SetValue(m_time, name, index);
}

char TTime::RestoreState(TTaggedInputStream& in, int32_t, const char* name, int index) {
    m_time = in.GetValue(int32_t{0}, name, index);
    return 1;
}

TString TTime::ConvertToString(const char* format) const {
    std::tm fields;
    return Format(format, GetLocalTm(&fields));
}

TString TTime::ConvertToGmtString(const char* format) const {
    std::tm fields;
    return Format(format, GetGmtTm(&fields));
}
