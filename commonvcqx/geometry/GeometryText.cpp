// Geometry values as comma-separated decimal text.
#include <commonvcqx/base/BoundedText.h>
#include <commonvcqx/base/NumberParsing.h>
#include <commonvcqx/geometry/GeometryText.h>

#include <cstring>

namespace {

TString JoinCoordinates(const int32_t* values, int count) {
    char buffer[4 * 12];  // four signed 32-bit numbers and their separators
    cvq::TBoundedText text(buffer);
    for (int i = 0; i < count; ++i) {
        if (i != 0) text.Append(',');
        text.AppendInteger(values[i]);
    }
    return TString(text.Text());
}

// Every field 0, then atoi of the text and of the text after each following comma
// until a comma is missing.
void SplitCoordinates(const TString& text, int32_t* values, int count) {
    const char* p = text.c_str();
    for (int i = 0; i < count; ++i) values[i] = 0;
    for (int i = 0; i < count; ++i) {
        values[i] = cvq::ParseInt32(p);
        p = std::strchr(p, ',');
        if (!p) return;
        ++p;
    }
}

}  // namespace

TString ValueToString(const TSize& size) {
    const int32_t values[] = {size.X(), size.Y()};
    return JoinCoordinates(values, 2);
}

TString ValueToString(const TPoint& point) {
    const int32_t values[] = {point.X(), point.Y()};
    return JoinCoordinates(values, 2);
}

TString ValueToString(const TRect& rect) {
    const int32_t values[] = {rect.Left(), rect.Top(), rect.Right(), rect.Bottom()};
    return JoinCoordinates(values, 4);
}

void StringToValue(const TString& text, TSize* size) {
    int32_t values[2];
    SplitCoordinates(text, values, 2);
    *size = TSize(values[0], values[1]);
}

void StringToValue(const TString& text, TPoint* point) {
    int32_t values[2];
    SplitCoordinates(text, values, 2);
    *point = TPoint(values[0], values[1]);
}

void StringToValue(const TString& text, TRect* rect) {
    int32_t values[4];
    SplitCoordinates(text, values, 4);
    rect->Set(values[0], values[1], values[2], values[3]);
}
