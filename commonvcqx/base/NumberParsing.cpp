// One scanner for the Windows run-time's strtol and strtoul rules.
#include <commonvcqx/base/NumberParsing.h>

namespace cvq {
namespace {

struct TScan {
    uint64_t magnitude = 0;  // saturated just above UINT32_MAX
    bool negative = false;
    bool overflow = false;  // the magnitude needs more than 32 bits
};

constexpr uint64_t kPastUInt32 = uint64_t{0xFFFFFFFFu} + 1;

int DigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

bool IsSpace(char c) noexcept {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

TScan Scan(const char* text, const char** end, int base) noexcept {
    TScan scan;
    if (end) *end = text;
    if (!text || base < 0 || base == 1 || base > 36) return scan;
    const char* p = text;
    while (IsSpace(*p)) ++p;
    if (*p == '-' || *p == '+') scan.negative = *p++ == '-';
    const bool hexPrefix = p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    if (base == 0) base = hexPrefix ? 16 : p[0] == '0' ? 8 : 10;
    if (base == 16 && hexPrefix) p += 2;
    const char* first = p;
    for (int digit; (digit = DigitValue(*p)) < base; ++p) {
        if (scan.magnitude < kPastUInt32) scan.magnitude = scan.magnitude * base + digit;
        if (scan.magnitude >= kPastUInt32) {
            scan.magnitude = kPastUInt32;
            scan.overflow = true;
        }
    }
    if (p == first) return TScan{};  // no digits: nothing read, *end stays at text
    if (end) *end = p;
    return scan;
}

}  // namespace

int32_t ParseLong32(const char* text, const char** end, int base) noexcept {
    TScan scan = Scan(text, end, base);
    if (scan.negative)
        return scan.magnitude > uint64_t{1} << 31 ? INT32_MIN : int32_t(0 - scan.magnitude);
    return scan.magnitude > INT32_MAX ? INT32_MAX : int32_t(scan.magnitude);
}

uint32_t ParseULong32(const char* text, const char** end, int base) noexcept {
    TScan scan = Scan(text, end, base);
    if (scan.overflow) return UINT32_MAX;
    return scan.negative ? uint32_t(0 - scan.magnitude) : uint32_t(scan.magnitude);
}

}  // namespace cvq
