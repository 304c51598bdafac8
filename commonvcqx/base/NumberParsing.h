// commonvcqx/base/NumberParsing.h
//
// Text to number as the 32-bit Windows run-time reads it: strtol, strtoul and atoi
// with a 32-bit long. The C library's are 64-bit here, so stored text such as
// "4294967296" would not saturate, and "-1" through strtoul would not give 0xFFFFFFFF.
// These read the same way whatever the process locale.
//
//   const char* end;
//   int32_t n = cvq::ParseLong32("  -12abc", &end, 10);         // -12, end at "abc"
//   int32_t big = cvq::ParseLong32("99999999999", nullptr, 10); // INT32_MAX
//   uint32_t mask = cvq::ParseULong32("0xFF", nullptr, 16);    // 255
//   uint32_t all = cvq::ParseULong32("-1", nullptr, 10);       // 0xFFFFFFFF
//   int32_t i = cvq::ParseInt32("12.5");                        // 12
//
// The rules, those of the Windows run-time: leading white space (space, \t \n \v \f \r),
// an optional sign, then digits of `base` (2 to 36, letters of either case above 9).
// Base 0 reads "0x" as hexadecimal, a leading "0" as octal, else decimal; base 16
// accepts an optional "0x". Where no digit follows, the result is 0 and *end is
// `text` itself (so "0x" alone reads nothing); an unsupported base does the same.
// A null text reads as "".
#pragma once

#include <cstdint>

namespace cvq {

/// strtol with a 32-bit long: out-of-range values give INT32_MAX or INT32_MIN.
int32_t ParseLong32(const char* text, const char** end, int base) noexcept;

/// strtoul with a 32-bit long: a magnitude beyond 32 bits gives UINT32_MAX; a minus
/// sign negates modulo 2^32.
uint32_t ParseULong32(const char* text, const char** end, int base) noexcept;

/// atoi: decimal ParseLong32, saturating as the Windows run-time's does.
inline int32_t ParseInt32(const char* text) noexcept {
    return ParseLong32(text, nullptr, 10);
}

}  // namespace cvq
