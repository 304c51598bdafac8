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

// Fields out of their normal ranges are the platform's to interpret.
bool InRange(const std::tm& f) noexcept {
    return f.tm_wday >= 0 && f.tm_wday <= 6 && f.tm_mon >= 0 && f.tm_mon <= 11 && f.tm_mday >= 1 &&
           f.tm_mday <= 31 && f.tm_hour >= 0 && f.tm_hour <= 23 && f.tm_min >= 0 &&
           f.tm_min <= 59 && f.tm_sec >= 0 && f.tm_sec <= 60 && f.tm_yday >= 0 &&
           f.tm_yday <= 365 && f.tm_year >= 1000 - 1900 && f.tm_year <= 9999 - 1900;
}

// "00" to "99": a number below 100 goes out as one two-byte copy.
constexpr struct TDigitPairs {
    char text[200] = {};
    constexpr TDigitPairs() {
        for (int i = 0; i < 100; ++i) {
            text[2 * i] = char('0' + i / 10);
            text[2 * i + 1] = char('0' + i % 10);
        }
    }
} kPairs;

void AppendTwoDigits(cvq::TBoundedText& text, int value) noexcept {
    text.Append(kPairs.text + 2 * size_t(value), 2);
}

// Writes the format; false at the first directive it does not write (week numbers,
// zones, flags, widths, the E and O modifiers), which the platform then writes.
bool Expand(cvq::TBoundedText& text, const char* format, const std::tm& f) noexcept {
    const char* p = format;
    while (*p != '\0') {
        const char* run = p;
        while (*p != '\0' && *p != '%') ++p;
        if (p - run == 1)
            text.Append(*run);
        else if (p != run)
            text.Append(run, size_t(p - run));
        if (*p == '\0') break;
        const int year = f.tm_year + 1900;  // 1000 to 9999
        p += 2;
        switch (p[-1]) {
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
                AppendTwoDigits(text, year / 100);
                break;
            case 'd':
                AppendTwoDigits(text, f.tm_mday);
                break;
            case 'e':
                if (f.tm_mday < 10)
                    text.Append(' ').Append(char('0' + f.tm_mday));
                else
                    AppendTwoDigits(text, f.tm_mday);
                break;
            case 'H':
                AppendTwoDigits(text, f.tm_hour);
                break;
            case 'I':
                AppendTwoDigits(text, f.tm_hour % 12 == 0 ? 12 : f.tm_hour % 12);
                break;
            case 'j':
                text.Append(char('0' + (f.tm_yday + 1) / 100));
                AppendTwoDigits(text, (f.tm_yday + 1) % 100);
                break;
            case 'm':
                AppendTwoDigits(text, f.tm_mon + 1);
                break;
            case 'M':
                AppendTwoDigits(text, f.tm_min);
                break;
            case 'S':
                AppendTwoDigits(text, f.tm_sec);
                break;
            case 'p':
                text.Append(f.tm_hour < 12 ? "AM" : "PM", 2);
                break;
            case 'y':
                AppendTwoDigits(text, year % 100);
                break;
            case 'Y':
                AppendTwoDigits(text, year / 100);
                AppendTwoDigits(text, year % 100);
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
                text.Append(char('0' + (f.tm_wday == 0 ? 7 : f.tm_wday)));
                break;
            case 'w':
                text.Append(char('0' + f.tm_wday));
                break;
            case '%':
                text.Append('%');
                break;
            default:  // a lone % at the end included
                return false;
        }
    }
    return true;
}

}  // namespace

size_t FormatCalendarText(char* buffer, size_t size, const char* format,
                          const std::tm& fields) noexcept {
    if (!format || size == 0) return 0;
    cvq::TBoundedText text(buffer, size);
    if (!InRange(fields) || !Expand(text, format, fields))
        return cvq::platform::FormatCalendar(buffer, size, format, fields);
    if (text.Truncated()) {
        buffer[0] = '\0';
        return 0;
    }
    return text.Length();
}

}  // namespace cvq::detail
