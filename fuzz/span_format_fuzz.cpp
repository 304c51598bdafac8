// TTimeSpan's format expansion for any value and any format text, against a model
// built without bounds: the result is the model's text cut at 255 characters.
#include <commonvcqx/time/TimeSpan.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string Model(int32_t seconds, const std::string& format) {
    const TTimeSpan span(seconds);
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        if (++i == format.size()) break;
        char number[32];
        switch (format[i]) {
            case 'D':
                std::snprintf(number, sizeof number, "%ld", long(span.GetDays()));
                break;
            case 'H':
                std::snprintf(number, sizeof number, "%02d", span.GetHours());
                break;
            case 'M':
                std::snprintf(number, sizeof number, "%02d", span.GetMinutes());
                break;
            case 'S':
                std::snprintf(number, sizeof number, "%02d", span.GetSeconds());
                break;
            default:
                number[0] = format[i], number[1] = '\0';
                break;
        }
        out += number;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > 4096) return 0;
    int32_t seconds;
    std::memcpy(&seconds, data, 4);
    // The format ends at its first NUL, as a C string does.
    std::string format(reinterpret_cast<const char*>(data) + 4, size - 4);
    format.resize(std::strlen(format.c_str()));
    const TString text = TTimeSpan(seconds).ConvertToString(format.c_str());
    const std::string expected = Model(seconds, format).substr(0, 255);
    if (text.GetLength() != expected.size() || expected != text.c_str()) std::abort();
    return 0;
}
