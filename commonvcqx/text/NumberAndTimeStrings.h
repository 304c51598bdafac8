// commonvcqx/text/NumberAndTimeStrings.h
//
// Small texts of numbers, dates and durations: digit grouping, zero padding to the
// width of a largest value, decimal runs in a text and back, DOS dates, durations.
//
//   char text[64] = "1234567";
//   SetNiceInteger(text);                     // "1 234 567"
//   GetTimeString(text, 3723000, 1);          // "1h 2mn 3s "
//   int count;
//   int* values = StringToIntArray("10, -20;30", &count);   // 10 20 30
//   NH_Heap::FreeMem(values);
//
// The buffer forms without a size (SetNiceInteger, IntegerToZeroJustifiedString,
// GetTimeString) need room for their result: 12 bytes for a zero-justified value,
// 64 for a duration, length + length / 3 + 1 for a grouped integer.
#pragma once

#include <commonvcqx/text/String.h>

#include <cstdint>

/// Puts a space before every character at index i > 0 for which (length - i) is a
/// multiple of 3 ("1234567" -> "1 234 567", "-123456" -> "- 123 456"). Texts shorter
/// than 4 characters stay. Returns the new length.
int SetNiceInteger(char* text);
int SetNiceInteger(TString& text);

/// `value` padded with zeros to the number of digits of `largest` (largest below 10,
/// or above 999999999: no padding).
void IntegerToZeroJustifiedString(char* buffer, int32_t value, int32_t largest);

/// Every maximal run of decimal digits becomes one value (a minus sign is a separator;
/// runs beyond 2147483647 give 2147483647). Returns a block of the default NH_Heap
/// that the caller frees with NH_Heap::FreeMem, or null when there are no values;
/// *count receives the number of values.
int* StringToIntArray(const char* text, int* count);

/// The values in decimal with `separator` between neighbours.
TString IntArrayToString(const int* values, int count, char separator);

/// The date part of a DOS date ("dd/MM/yyyy"), at most size - 1 characters; an
/// impossible date (day or month 0, month above 12) gives "". Returns buffer.
char* GetDateString(unsigned short dosDate, char* buffer, int size);
TString GetDateString(unsigned short dosDate);

/// A duration as "1h 2mn 3s ", "1s 499ms" or "0 ms". Unless `exact`, the value is
/// first rounded to whole seconds (500 ms added), and milliseconds are shown only
/// when nothing else is.
void GetTimeString(char* buffer, int32_t milliseconds, char exact);
