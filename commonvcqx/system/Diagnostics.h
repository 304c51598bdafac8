// commonvcqx/system/Diagnostics.h
//
// Developer aids: one-line trace messages through the trace sink (SetTraceSink; the
// default writes to standard error), clearing a console, and test switches read from
// an optional "tconfig.txt" beside the application, so that test behaviour can be
// switched on in a build without recompiling.
//
//   Monitor("reader started");
//   Monitor("%d of %ld blocks", done, total);   // 32-bit arguments; %d and %ld both work
//   if (CanTest("SlowDisk")) InjectDelays();    // tconfig.txt: SlowDisk=1
#pragma once

#include <commonvcqx/platform/WinTypes.h>

#include <cstdint>

/// Sends the text (cut to 998 characters) as one trace line.
void Monitor(const char* text);

/// Formats one to seven 32-bit arguments into a 1,000-byte line and sends it. Each
/// conversion reads its argument at the width its length modifier names ("%hd", "%d",
/// "%ld", "%lld", "%x", "%lu", "%c"); a floating-point conversion prints the value as
/// a double; "%s", "%p" and "%n", which wanted a 32-bit pointer, print their
/// conversion text instead. A longer result is cut, never overrun.
void Monitor(const char* format, int32_t a1);
void Monitor(const char* format, int32_t a1, int32_t a2);
void Monitor(const char* format, int32_t a1, int32_t a2, int32_t a3);
void Monitor(const char* format, int32_t a1, int32_t a2, int32_t a3, int32_t a4);
void Monitor(const char* format, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5);
void Monitor(const char* format, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5,
             int32_t a6);
void Monitor(const char* format, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5,
             int32_t a6, int32_t a7);

/// A console handle of a standard stream (STD_OUTPUT_HANDLE and the others); null for
/// another selector.
HANDLE GetStdHandle(DWORD which);
inline constexpr DWORD STD_INPUT_HANDLE = DWORD(-10);   // NOLINT(readability-identifier-naming)
inline constexpr DWORD STD_OUTPUT_HANDLE = DWORD(-11);  // NOLINT(readability-identifier-naming)
inline constexpr DWORD STD_ERROR_HANDLE = DWORD(-12);   // NOLINT(readability-identifier-naming)

/// Clears the screen and scroll-back of the console and puts the cursor at the
/// top-left corner, when the handle's stream is a terminal; otherwise (a file, a pipe,
/// an unknown handle) nothing is written.
void cls(void* console);  // NOLINT(readability-identifier-naming): the original name
/// cls of the standard output.
void ClearOutputConsole();

/// Whether the test switch `name` is on: the 32-bit value of that name at the root of
/// "tconfig.txt" in the application's folder is non-zero. The file is read on the
/// first call (a missing or unreadable file: every switch is off) and kept for the
/// process. Any thread may ask at any time.
char CanTest(const char* name);
