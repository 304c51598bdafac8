// Geometry values read from configuration text: any text (up to its first NUL) reads
// as a point, a size and a rectangle without fault, each field as the saturating
// 32-bit atoi of its comma-separated part, and what is read writes back as text that
// reads the same.
#include <commonvcqx/base/NumberParsing.h>
#include <commonvcqx/geometry/GeometryText.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The reference reading: split at commas, atoi each of the first `count` parts.
void Expected(const std::string& text, int32_t* values, int count) {
    size_t start = 0;
    for (int i = 0; i < count; ++i) values[i] = 0;
    for (int i = 0; i < count; ++i) {
        values[i] = cvq::ParseInt32(text.c_str() + start);
        const size_t comma = text.find(',', start);
        if (comma == std::string::npos) return;
        start = comma + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The text up to its first NUL (an empty input may come without a buffer).
    const char* bytes = reinterpret_cast<const char*>(data);
    const std::string text(bytes, size != 0 ? strnlen(bytes, size) : 0);
    const TString input(text.c_str());
    int32_t values[4];

    TRect rect;
    StringToValue(input, &rect);
    Expected(text, values, 4);
    if (rect != TRect(values[0], values[1], values[2], values[3])) std::abort();
    TRect rectBack;
    StringToValue(ValueToString(rect), &rectBack);
    if (rectBack != rect) std::abort();

    TPoint point;
    StringToValue(input, &point);
    if (point != TPoint(values[0], values[1])) std::abort();
    TPoint pointBack;
    StringToValue(ValueToString(point), &pointBack);
    if (pointBack != point) std::abort();

    TSize sizeValue;
    StringToValue(input, &sizeValue);
    if (sizeValue != TSize(values[0], values[1])) std::abort();
    TSize sizeBack;
    StringToValue(ValueToString(sizeValue), &sizeBack);
    if (sizeBack != sizeValue) std::abort();
    return 0;
}
