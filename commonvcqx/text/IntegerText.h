// commonvcqx/text/IntegerText.h
//
// Fast decimal text of 32-bit and 64-bit integers, with optional zero fill to a
// width, an explicit plus sign and digit grouping, without the run-time's formatted
// printing. The buffer forms write a NUL-terminated text and return its length; give
// them at least 27 bytes, or width + 2 when a wider zero fill is asked for.
//
//   char text[32];
//   IntToString(-5, text, 4, 0);                    // "-0005", returns 5
//   IntToString(1234567, text, 0, kIntGroupDigits);  // "1 234 567"
//   TString price = Int64ToString(int64_t{1} << 40); // "1099511627776"
#pragma once

#include <cstdint>

class TString;

/// Flag: put a space between each group of three digits (only when no width is given).
inline constexpr int32_t kIntGroupDigits = 0x10;
/// Flag: write "+" before positive values (zero never gets a sign).
inline constexpr int32_t kIntPlusSign = 0x20;

/// Writes `value` into `buffer`; returns the number of characters, sign included.
int IntToString(int value, char* buffer, int width = 0, int32_t flags = 0);
/// The same for 64-bit values.
int Int64ToString(int64_t value, char* buffer, int width = 0, int32_t flags = 0);

/// The text of `value` as a string.
TString IntToString(int value, int width = 0, int32_t flags = 0);
/// The text of a 64-bit `value` as a string.
TString Int64ToString(int64_t value, int width = 0, int32_t flags = 0);

namespace cvq::detail {
/// The digits of an unsigned 64-bit value, formatted as the signed forms do.
int UInt64ToString(uint64_t value, char* buffer, int width, int32_t flags);
}  // namespace cvq::detail
