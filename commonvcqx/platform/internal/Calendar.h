// commonvcqx/platform/internal/Calendar.h
//
// Calendar breakdowns through the system's time zone database: seconds since 1970 to
// the fields of local time or UTC and back (localtime_r, gmtime_r, mktime), and
// strftime in the C locale whatever locale the process has chosen. Local time is
// that of the zone the process has set up (TZ, else /etc/localtime) as of its first
// use or its last tzset, as localtime_r has it. Thread-safe.
//
//   std::tm fields;
//   if (cvq::platform::BreakDownLocal(seconds, fields)) {
//       char text[64];
//       size_t length = cvq::platform::FormatCalendar(text, sizeof text, "%c", fields);
//   }
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace cvq::platform {

/// The local time of `seconds`, under the daylight-saving rule in force on that date.
bool BreakDownLocal(int64_t seconds, std::tm& fields) noexcept;
bool BreakDownUtc(int64_t seconds, std::tm& fields) noexcept;

/// mktime: the seconds of the local time in `fields`, which are normalized in place
/// (out-of-range fields carry over; tm_isdst negative lets the system decide); false
/// when the system cannot represent the time.
bool ComposeLocal(std::tm& fields, int64_t& seconds) noexcept;

/// strftime in the C locale: the length of the text, or 0 when it is empty or does
/// not fit in `size` bytes with its NUL.
size_t FormatCalendar(char* buffer, size_t size, const char* format,
                      const std::tm& fields) noexcept;

}  // namespace cvq::platform
