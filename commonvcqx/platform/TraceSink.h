// commonvcqx/platform/TraceSink.h
//
// Where the library's debugger output goes. The host may install its own sink (a log
// window, a test capture); the default writes each line to standard error.
//
//   void Capture(const char* line) { lines.push_back(line); }
//   TTraceSink previous = SetTraceSink(&Capture);
//   TraceLine("parallel reader stopped");
#pragma once

/// Receives one line of trace text, without a trailing newline.
using TTraceSink = void (*)(const char* line);

/// Installs `sink` (null restores the default) and returns the previous one.
TTraceSink SetTraceSink(TTraceSink sink);

/// Sends text to the installed sink; a trailing newline, if any, is not passed on.
void TraceLine(const char* text);
