#include <commonvcqx/text/NumberAndTimeStrings.h>

#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/text/IntegerText.h>
#include <commonvcqx/text/String.h>

#include <climits>
#include <cstdio>
#include <cstring>

namespace {

// Length of `length` characters once grouped.
inline uint32_t GroupedLength(uint32_t length) noexcept {
    return length < 4 ? length : length + (length - 1) / 3;
}

// Groups the `length` characters at `text` in place, working from the end so that no
// character is overwritten before it has moved; the buffer holds the grouped length.
void GroupInPlace(char* text, uint32_t length) noexcept {
    const uint32_t grouped = GroupedLength(length);
    text[grouped] = '\0';
    uint32_t out = grouped;
    for (uint32_t i = length; i-- > 0;) {
        text[--out] = text[i];
        if (i > 0 && (length - i) % 3 == 0) text[--out] = ' ';
    }
}

}  // namespace

int SetNiceInteger(char* text) {
    const uint32_t length = uint32_t(std::strlen(text));
    if (length < 4) return int(length);
    GroupInPlace(text, length);
    return int(GroupedLength(length));
}

int SetNiceInteger(TString& text) {
    const uint32_t length = text.GetLength();
    if (length < 4) return int(length);
    const uint32_t grouped = GroupedLength(length);
    text.EnsureBufferSize(grouped);
    GroupInPlace(text.Buffer(), length);
    text.SetEnd(grouped);
    return int(grouped);
}

void IntegerToZeroJustifiedString(char* buffer, int32_t value, int32_t largest) {
    int digits = 0;
    if (largest >= 10 && largest <= 999999999)
        for (int32_t limit = largest; limit > 0; limit /= 10) ++digits;
    // largest below 10 or above 999999999: "%d"; otherwise one digit per digit of it.
    std::sprintf(buffer, "%0*d", digits, int(value));
}

int* StringToIntArray(const char* text, int* count) {
    // Two passes: count the runs, then fill one block of exactly that size.
    int found = 0;
    for (const char* p = text; p && *p; ++p)
        if (*p >= '0' && *p <= '9' && (p[1] < '0' || p[1] > '9')) ++found;
    if (count) *count = found;
    if (found == 0) return nullptr;
    auto* values = static_cast<int*>(NH_Heap::Default().AllocMem(sizeof(int) * size_t(found)));
    int stored = 0;
    for (const char* p = text; *p;) {
        if (*p < '0' || *p > '9') {
            ++p;
            continue;
        }
        // The value of a run, saturated: a run of any length cannot overflow.
        int64_t value = 0;
        for (; *p >= '0' && *p <= '9'; ++p)
            if (value <= INT_MAX) value = value * 10 + (*p - '0');
        values[stored++] = int(value > INT_MAX ? INT_MAX : value);
    }
    return values;
}

TString IntArrayToString(const int* values, int count, char separator) {
    TString text;
    char digits[32];
    for (int i = 0; i < count; ++i) {
        if (i > 0) text += separator;
        IntToString(values[i], digits);
        text += digits;
    }
    return text;
}

char* GetDateString(unsigned short dosDate, char* buffer, int size) {
    if (size <= 0) return buffer;
    const unsigned day = dosDate & 0x1F;
    const unsigned month = (dosDate >> 5) & 0x0F;
    const unsigned year = 1980 + (dosDate >> 9);
    if (day == 0 || month == 0 || month > 12)
        buffer[0] = '\0';
    else
        std::snprintf(buffer, size_t(size), "%02u/%02u/%04u", day, month, year);
    return buffer;
}

TString GetDateString(unsigned short dosDate) {
    char buffer[100];
    return TString(GetDateString(dosDate, buffer, sizeof buffer));
}

void GetTimeString(char* buffer, int32_t milliseconds, char exact) {
    if (milliseconds == 0) {
        std::strcpy(buffer, "0 ms");
        return;
    }
    // 64-bit, so that rounding the largest values does not overflow.
    int64_t ms = milliseconds;
    if (!exact) ms += 500;
    char* out = buffer;
    *out = '\0';
    bool hours = false, minutes = false;
    if (ms >= 3600000) {
        out += std::sprintf(out, "%lldh ", static_cast<long long>(ms / 3600000));
        ms %= 3600000;
        hours = true;
    }
    if (ms > 59999) {
        out += std::sprintf(out, "%lldmn ", static_cast<long long>(ms / 60000));
        ms %= 60000;
        minutes = true;
    }
    if (ms >= 1000) {
        out += std::sprintf(out, "%llds ", static_cast<long long>(ms / 1000));
        ms %= 1000;
    }
    if (out == buffer || (exact && !hours && !minutes))
        std::sprintf(out, "%lldms", static_cast<long long>(ms));
}
