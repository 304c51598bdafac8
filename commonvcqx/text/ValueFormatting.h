// commonvcqx/text/ValueFormatting.h
//
// Display text of the values audio applications show: decimals with a fixed number of
// places, times in samples (hours-minutes-seconds, video timecode, sample counts,
// musical positions), audio levels, frequencies, note names and file sizes. Times and
// frequencies read the rates of a TTimeMetrics.
//
//   char text[kFloatTextSize];
//   FloatToString(1234567.891, text, 2 | kNumGroupDigits);     // "1 234 567.89"
//   TTimeMetrics metrics(48000);
//   metrics.frameRate = 25;
//   TString tc = TimeToString(3723.5 * 48000, kTimeTimecode, metrics, 0); // "01:02:03.13"
//   TString level = AudioLevelToString(0.5f, kLevelPercent, 1);          // "50 %"
//
// Every function has a buffer form that returns the length written and needs the
// documented room (k...TextSize, NUL included), a form that takes the buffer's size and
// cuts the text to fit, and a TString form. Nothing is written (an empty text) where a
// rate, a beat width, a frame rate or a frequency that the text needs is zero, negative
// or not finite, or the metrics are null. Values that are NaN or infinite read "nan",
// "inf" or "-inf" ("+inf" with kNumPlusSign), followed by the unit where one belongs.
//
// Decimals round half up on the magnitude (half a unit of the last place is added,
// then the digits are taken down), so exact halves differ from printf's ties-to-even
// (0.125 with 2 places gives "0.13", printf "0.12"), and places beyond the precision of
// the double may differ in their last digits.
//
// Text with units: a unit that is not shown leaves its share to the next smaller one
// that is (90 s with minutes hidden reads "90 s"), and rounding that reaches a whole
// larger unit carries into it (119.6 s with minutes and seconds reads "2 mn"; zero
// pieces are not shown). In timecode a frame count that rounds to a whole second is
// frame 0 of the next second, and a leading field left out by kTimeShort takes its
// separator with it (1.5 s at 25 fps reads "01.13").
//
// The 29.97 frames-per-second timecode counts 30 frames of 1/30 s in every second and
// 29.97 sub-frames per frame length; it is neither SMPTE drop-frame nor non-drop-frame.
#pragma once

#include <commonvcqx/text/IntegerText.h>
#include <commonvcqx/text/String.h>
#include <commonvcqx/time/TimeMetrics.h>

#include <cstddef>
#include <cstdint>

// Number flags, the last argument of every function.
inline constexpr int32_t kNumPlacesMask = 0x000F;   ///< Decimal places, 0 to 9 (more give 9).
inline constexpr int32_t kNumGroupDigits = 0x0010;  ///< Integer digits in threes, space between.
inline constexpr int32_t kNumPlusSign = 0x0020;     ///< "+" before positive values.
inline constexpr int32_t kNumNoSpace = 0x0040;      ///< No space before a note octave or size unit.
inline constexpr int32_t kNumDecimalUnits = 0x0080;  ///< File sizes in kB, MB, GB, TB.
inline constexpr int32_t kNumKeepZeros = 0x0100;     ///< Keep trailing zeros of the places.
inline constexpr int32_t kNumNoUnit = 0x0200;        ///< No unit after an audio level.

// Time formats (TimeToString, and FrequencyToString's period).
inline constexpr int32_t kTimeUnits = 0x000001;          ///< "1 h 30 mn" ...
inline constexpr int32_t kTimeTimecode = 0x000002;       ///< "01:02:03.13"
inline constexpr int32_t kTimeSamples = 0x000004;        ///< Leftover samples; alone: a count.
inline constexpr int32_t kTimeMusical = 0x000008;        ///< "measure:beat:tick"
inline constexpr int32_t kTimeMinutes = 0x000080;        ///< Units: show minutes.
inline constexpr int32_t kTimeSeconds = 0x000100;        ///< Units: show seconds.
inline constexpr int32_t kTimeMilliseconds = 0x000200;   ///< Units: show milliseconds.
inline constexpr int32_t kTimeMicroseconds = 0x000400;   ///< Units: show microseconds.
inline constexpr int32_t kTimeQuarterFrames = 0x000800;  ///< Timecode: quarter frames.
inline constexpr int32_t kTimeHundredths = 0x001000;     ///< Timecode: hundredths of a frame.
inline constexpr int32_t kTimeNoPadding = 0x004000;      ///< Timecode: no zero padding.
inline constexpr int32_t kTimeLabels = 0x008000;         ///< Timecode labels; count: " smp".
inline constexpr int32_t kTimeShort = 0x020000;          ///< Drop zero fields / short labels.
inline constexpr int32_t kTimeFrameRateShift = 18;       ///< 1 = 24, 2 = 25, 3 = 29.97, 4 = 30,
inline constexpr int32_t kTimeFrameRateMask = 0x3C0000;  ///< 5 = 75, 6 = 1000, else the metrics'.
inline constexpr int32_t kTimeFromOne = 0x400000;        ///< Musical: measures and beats from 1.

// Audio level formats.
inline constexpr int32_t kLevelDecibels = 0x01;
inline constexpr int32_t kLevelPercent = 0x02;
inline constexpr int32_t kLevel8Bit = 0x04;   ///< Sample value × 128.
inline constexpr int32_t kLevel16Bit = 0x08;  ///< × 32 768.
inline constexpr int32_t kLevel20Bit = 0x10;  ///< × 524 288; otherwise × 8 388 608 (24 bits).

// Frequency formats; any of the time bits 0xF without these gives the period.
inline constexpr int32_t kFrequencyHertz = 0x10;
inline constexpr int32_t kFrequencyNote = 0x20;

/// Room for any FloatToString text: DBL_MAX grouped with 9 kept places and a sign is
/// 422 characters.
inline constexpr size_t kFloatTextSize = 424;
/// Room for any TimeToString text: hours of up to 309 digits with every smaller piece
/// (units), or with frames of a frame rate up to DBL_MAX (timecode), stay below 680.
inline constexpr size_t kTimeTextSize = 704;
/// Room for any AudioLevelToString text.
inline constexpr size_t kLevelTextSize = kFloatTextSize + 4;
/// Room for any FrequencyToString text; the cents unit (static string 18031) is cut
/// at 255 characters.
inline constexpr size_t kFrequencyTextSize = kTimeTextSize;
/// Room for any FileSizeToString text.
inline constexpr size_t kFileSizeTextSize = 40;

/// `value` with (flags & 15) decimal places, trailing zeros removed unless
/// kNumKeepZeros; a sign only when the text is not zero.
int FloatToString(double value, char* out, int32_t flags);
int FloatToString(double value, char* out, size_t size, int32_t flags);
TString FloatToString(double value, int32_t flags);

/// `samples` at the metrics' sample rate in the first of the modes kTimeTimecode,
/// kTimeUnits, kTimeSamples, kTimeMusical that `format` holds; nothing without one.
/// Sample counts need no rate; musical positions need a usable timing.
int TimeToString(double samples, char* out, int32_t format, const TTimeMetrics& metrics,
                 int32_t flags);
int TimeToString(double samples, char* out, size_t size, int32_t format,
                 const TTimeMetrics& metrics, int32_t flags);
TString TimeToString(double samples, int32_t format, const TTimeMetrics& metrics, int32_t flags);
/// The same for a whole sample count; a plain count is written exactly.
int TimeToString(int64_t samples, char* out, int32_t format, const TTimeMetrics& metrics,
                 int32_t flags);
int TimeToString(int64_t samples, char* out, size_t size, int32_t format,
                 const TTimeMetrics& metrics, int32_t flags);
TString TimeToString(int64_t samples, int32_t format, const TTimeMetrics& metrics, int32_t flags);

/// A linear level (1.0 is full scale) in decibels, percent or as a sample value.
int AudioLevelToString(float level, char* out, int32_t format, int32_t flags);
int AudioLevelToString(float level, char* out, size_t size, int32_t format, int32_t flags);
TString AudioLevelToString(float level, int32_t format, int32_t flags);

/// `hertz` in hertz, as a note name, or as the period at the metrics' sample rate.
int FrequencyToString(double hertz, char* out, int32_t format, const TTimeMetrics* metrics,
                      int32_t flags);
int FrequencyToString(double hertz, char* out, size_t size, int32_t format,
                      const TTimeMetrics* metrics, int32_t flags);
TString FrequencyToString(double hertz, int32_t format, const TTimeMetrics* metrics, int32_t flags);

/// A byte count: grouped with " bytes", or in decimal units with kNumDecimalUnits.
int FileSizeToString(int64_t bytes, char* out, int32_t flags);
int FileSizeToString(int64_t bytes, char* out, size_t size, int32_t flags);
TString FileSizeToString(int64_t bytes, int32_t flags);

/// A byte count in binary units with two places: "1.50 KB", "512.00 B".
TString ByteSizeToString(double bytes);
