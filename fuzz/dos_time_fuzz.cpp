// The DOS/FAT date and time decoder in UTC, against the civil calendar computed
// independently: any pair of words (impossible fields carry over as mktime's do)
// gives that instant, or -1 where it leaves the 32-bit range.
#include <commonvcqx/time/Time.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool utc = [] {
        ::setenv("TZ", "UTC0", 1);
        ::tzset();
        return true;
    }();
    (void)utc;
    if (size < 4) return 0;
    uint16_t date, clock;
    std::memcpy(&date, data, 2);
    std::memcpy(&clock, data + 2, 2);
    const int daylightSaving = size > 4 ? int(data[4] % 3) - 1 : -1;
    const TTime decoded(short(date), short(clock), daylightSaving);
    if (daylightSaving > 0) {  // summer time in a zone without it: any result, no harm
        std::tm fields;
        if (decoded.GetTime() != -1 && !decoded.GetGmtTm(&fields)) std::abort();
        return 0;
    }
    int64_t year = (date >> 9) + 1980, month = ((date >> 5) & 15) - 1;
    year += month < 0 ? -1 : month / 12;
    month = (month % 12 + 12) % 12;
    const int64_t seconds = (DaysFromCivil(year, month + 1, 1) + (date & 31) - 1) * 86400 +
                            (clock >> 11) * 3600 + ((clock >> 5) & 63) * 60 + (clock & 31) * 2;
    const int64_t expected = seconds >= INT32_MIN && seconds <= INT32_MAX ? seconds : -1;
    if (decoded.GetTime() != expected) std::abort();
    return 0;
}
