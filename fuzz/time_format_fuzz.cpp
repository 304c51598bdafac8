// TTime's formatting, which writes the everyday directives itself, against the C
// library's strftime for any time and any format, in a zone with daylight saving.
#include <commonvcqx/time/Time.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool zone = [] {
        ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        ::tzset();
        return true;
    }();
    (void)zone;
    if (size < 5 || size > 1024) return 0;
    int32_t seconds;
    std::memcpy(&seconds, data, 4);
    const bool utc = data[4] & 1;
    std::string format(reinterpret_cast<const char*>(data) + 5, size - 5);
    format.resize(std::strlen(format.c_str()));

    const TTime time(seconds);
    const TString text =
        utc ? time.ConvertToGmtString(format.c_str()) : time.ConvertToString(format.c_str());
    const std::time_t when = seconds;
    std::tm fields;
    if (!(utc ? ::gmtime_r(&when, &fields) : ::localtime_r(&when, &fields))) std::abort();
    char expected[256];
    const size_t length = std::strftime(expected, sizeof expected, format.c_str(), &fields);
    if (text.GetLength() != length || std::memcmp(text.c_str(), expected, length) != 0)
        std::abort();
    return 0;
}
