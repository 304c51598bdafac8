// Calendar conversions through the C library and its time zone database.
#include <commonvcqx/platform/internal/Calendar.h>

#include <locale.h>
#include <time.h>

namespace cvq::platform {

bool BreakDownLocal(int64_t seconds, std::tm& fields) noexcept {
    const time_t when = static_cast<time_t>(seconds);
    return ::localtime_r(&when, &fields) != nullptr;
}

bool BreakDownUtc(int64_t seconds, std::tm& fields) noexcept {
    const time_t when = static_cast<time_t>(seconds);
    return ::gmtime_r(&when, &fields) != nullptr;
}

bool ComposeLocal(std::tm& fields, int64_t& seconds) noexcept {
    // -1 is both a valid time and the failure result; only a success sets tm_wday.
    fields.tm_wday = -1;
    const time_t when = ::mktime(&fields);
    if (when == time_t(-1) && fields.tm_wday == -1) return false;
    seconds = static_cast<int64_t>(when);
    return true;
}

size_t FormatCalendar(char* buffer, size_t size, const char* format,
                      const std::tm& fields) noexcept {
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    if (!cLocale || size == 0) return 0;
    return ::strftime_l(buffer, size, format, &fields, cLocale);
}

}  // namespace cvq::platform
