// Decimal conversion from a table of two-digit texts, written from the right.
#include <commonvcqx/text/IntegerText.h>

#include <commonvcqx/text/String.h>

#include <array>
#include <cstring>

namespace {

// "00" to "99", each with its NUL, so a value below 100 is one three-byte copy.
constexpr std::array<std::array<char, 3>, 100> kTwoDigits = [] {
    std::array<std::array<char, 3>, 100> table{};
    for (int i = 0; i < 100; ++i) table[i] = {char('0' + i / 10), char('0' + i % 10), '\0'};
    return table;
}();

// Writes the digits of `magnitude` so that they end at `end`; returns their start.
char* WriteDigits(uint64_t magnitude, char* end) {
    char* p = end;
    while (magnitude >= 100) {
        uint64_t pair = magnitude % 100;
        magnitude /= 100;
        p -= 2;
        std::memcpy(p, kTwoDigits[pair].data(), 2);
    }
    if (magnitude >= 10) {
        p -= 2;
        std::memcpy(p, kTwoDigits[magnitude].data(), 2);
    } else {
        *--p = char('0' + magnitude);
    }
    return p;
}

int DigitCount(uint64_t magnitude) {
    int count = 1;
    for (uint64_t limit = 10; count < 20 && magnitude >= limit; limit *= 10) ++count;
    return count;
}

int Format(bool negative, uint64_t magnitude, char* buffer, int width, int32_t flags) {
    char* out = buffer;
    if (negative)
        *out++ = '-';
    else if ((flags & kIntPlusSign) && magnitude != 0)
        *out++ = '+';

    if (magnitude < 100 && (width == 0 || width == 2)) {
        if (width == 0 && magnitude < 10) {
            out[0] = char('0' + magnitude);
            out[1] = '\0';
            return int(out + 1 - buffer);
        }
        std::memcpy(out, kTwoDigits[magnitude].data(), 3);
        return int(out + 2 - buffer);
    }

    if (width == 0 && (flags & kIntGroupDigits)) {
        char digits[20];
        char* end = digits + sizeof digits;
        char* first = WriteDigits(magnitude, end);
        int count = int(end - first);
        int lead = count % 3 == 0 ? 3 : count % 3;
        std::memcpy(out, first, size_t(lead));
        out += lead;
        for (const char* group = first + lead; group < end; group += 3) {
            *out++ = ' ';
            std::memcpy(out, group, 3);
            out += 3;
        }
    } else {
        int count = DigitCount(magnitude);
        if (width > count) {
            std::memset(out, '0', size_t(width - count));
            out += width - count;
        }
        out += count;
        WriteDigits(magnitude, out);
    }
    *out = '\0';
    return int(out - buffer);
}

uint64_t Magnitude(int64_t value) {
    // Unsigned negation keeps the most negative value whole.
    return value < 0 ? 0 - uint64_t(value) : uint64_t(value);
}

// Room for the widest text: 20 digits, six group spaces and a sign, or the zero fill.
constexpr int kLocalBuffer = 32;

TString ToString(bool negative, uint64_t magnitude, int width, int32_t flags) {
    if (width < kLocalBuffer - 2) {
        char text[kLocalBuffer];
        int length = Format(negative, magnitude, text, width, flags);
        return TSubString::Create(text, uint32_t(length));
    }
    TString result;
    result.EnsureBufferSize(uint32_t(width) + 1);
    int length = Format(negative, magnitude, result.Buffer(), width, flags);
    result.SetEnd(uint32_t(length));
    return result;
}

}  // namespace

int IntToString(int value, char* buffer, int width, int32_t flags) {
    return Format(value < 0, Magnitude(value), buffer, width, flags);
}

int Int64ToString(int64_t value, char* buffer, int width, int32_t flags) {
    return Format(value < 0, Magnitude(value), buffer, width, flags);
}

TString IntToString(int value, int width, int32_t flags) {
    return ToString(value < 0, Magnitude(value), width, flags);
}

TString Int64ToString(int64_t value, int width, int32_t flags) {
    return ToString(value < 0, Magnitude(value), width, flags);
}

namespace cvq::detail {
int UInt64ToString(uint64_t value, char* buffer, int width, int32_t flags) {
    return Format(false, value, buffer, width, flags);
}
}  // namespace cvq::detail
