// commonvcqx/time/internal/CalendarText.h
//
// strftime in the C locale over calendar fields, with the directives of everyday
// dates and times written here directly and every other format left to the
// platform's strftime. Both give the same text; the direct path is several times
// faster, which matters for log lines.
//
//   char text[256];
//   size_t length = cvq::detail::FormatCalendarText(text, sizeof text, "%Y-%m-%d", fields);
#pragma once

#include <cstddef>
#include <ctime>

namespace cvq::detail {

/// strftime's contract: the length of the text, or 0 when it is empty or does not fit
/// in `size` bytes with its NUL.
size_t FormatCalendarText(char* buffer, size_t size, const char* format,
                          const std::tm& fields) noexcept;

}  // namespace cvq::detail
