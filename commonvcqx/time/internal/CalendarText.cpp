// The direct path of calendar formatting: the C locale's names and numbers for the
// directives below, exactly as glibc's strftime writes them for years 1000 to 9999.
#include <commonvcqx/time/internal/CalendarText.h>

#include <commonvcqx/base/BoundedText.h>
#include <commonvcqx/platform/internal/Calendar.h>

namespace cvq::detail {
namespace {

constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};
constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};

// Directives written here; anything else (week numbers, zones, flags, widths, the
// E and O modifiers) goes to the platform.
constexpr struct TDirectSet {
    bool has[256] = {};
    constexpr TDirectSet() {
        for (const char* p = "aAbBhCdeHIjmMSpyYDFRTrcxXnt%uw"; *p != '\0'; ++p)
            has[static_cast<unsigned char>(*p)] = true;
    }
} kDirect;

bool IsDirect(const char* format) noexcept {
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') continue;
        if (!kDirect.has[static_cast<unsigned char>(*++p)]) return false;  // NUL included
    }
    return true;
}

// Fields out of their normal ranges are the platform's to interpret.
bool InRange(const std::tm& f) noexcept {
    return f.tm_wday >= 0 && f.tm_wday <= 6 && f.tm_mon >= 0 && f.tm_mon <= 11 && f.tm_mday >= 1 &&
           f.tm_mday <= 31 && f.tm_hour >= 0 && f.tm_hour <= 23 && f.tm_min >= 0 &&
           f.tm_min <= 59 && f.tm_sec >= 0 && f.tm_sec <= 60 && f.tm_yday >= 0 &&
           f.tm_yday <= 365 && f.tm_year >= 1000 - 1900 && f.tm_year <= 9999 - 1900;
}

void Expand(cvq::TBoundedText& text, const char* format, const std::tm& f) noexcept {
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            text.Append(*p);
            continue;
        }
        const int year = f.tm_year + 1900;
        const int hour12 = f.tm_hour % 12 == 0 ? 12 : f.tm_hour % 12;
        switch (*++p) {
            case 'a':
                text.Append(kDays[f.tm_wday], 3);
                break;
            case 'A':
                text.Append(kDays[f.tm_wday]);
                break;
            case 'b':
            case 'h':
                text.Append(kMonths[f.tm_mon], 3);
                break;
            case 'B':
                text.Append(kMonths[f.tm_mon]);
                break;
            case 'C':
                text.AppendInteger(year / 100, 2);
                break;
            case 'd':
                text.AppendInteger(f.tm_mday, 2);
                break;
            case 'e':
                text.Append(f.tm_mday < 10 ? ' ' : char('0' + f.tm_mday / 10))
                    .Append(char('0' + f.tm_mday % 10));
                break;
            case 'H':
                text.AppendInteger(f.tm_hour, 2);
                break;
            case 'I':
                text.AppendInteger(hour12, 2);
                break;
            case 'j':
                text.AppendInteger(f.tm_yday + 1, 3);
                break;
            case 'm':
                text.AppendInteger(f.tm_mon + 1, 2);
                break;
            case 'M':
                text.AppendInteger(f.tm_min, 2);
                break;
            case 'S':
                text.AppendInteger(f.tm_sec, 2);
                break;
            case 'p':
                text.Append(f.tm_hour < 12 ? "AM" : "PM");
                break;
            case 'y':
                text.AppendInteger(year % 100, 2);
                break;
            case 'Y':
                text.AppendInteger(year);
                break;
            case 'D':
            case 'x':
                Expand(text, "%m/%d/%y", f);
                break;
            case 'F':
                Expand(text, "%Y-%m-%d", f);
                break;
            case 'R':
                Expand(text, "%H:%M", f);
                break;
            case 'T':
            case 'X':
                Expand(text, "%H:%M:%S", f);
                break;
            case 'r':
                Expand(text, "%I:%M:%S %p", f);
                break;
            case 'c':
                Expand(text, "%a %b %e %H:%M:%S %Y", f);
                break;
            case 'n':
                text.Append('\n');
                break;
            case 't':
                text.Append('\t');
                break;
            case 'u':
                text.AppendInteger(f.tm_wday == 0 ? 7 : f.tm_wday);
                break;
            case 'w':
                text.AppendInteger(f.tm_wday);
                break;
            default:
                text.Append('%');
                break;  // '%%'
        }
    }
}

}  // namespace

size_t FormatCalendarText(char* buffer, size_t size, const char* format,
                          const std::tm& fields) noexcept {
    if (!format || size == 0) return 0;
    if (!IsDirect(format) || !InRange(fields))
        return cvq::platform::FormatCalendar(buffer, size, format, fields);
    cvq::TBoundedText text(buffer, size);
    Expand(text, format, fields);
    if (text.Truncated()) {
        buffer[0] = '\0';
        return 0;
    }
    return text.Length();
}

}  // namespace cvq::detail
