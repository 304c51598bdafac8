// commonvcqx/platform/internal/Console.h
//
// The console handles of the standard streams and clearing a terminal.
//
//   cvq::platform::ClearTerminal(cvq::platform::DescriptorOfConsole(
//       cvq::platform::StandardConsole(kStandardOutput)));
#pragma once

#include <commonvcqx/platform/WinTypes.h>

namespace cvq::platform {

/// The Windows selectors of GetStdHandle.
inline constexpr DWORD kStandardInput = DWORD(-10);
inline constexpr DWORD kStandardOutput = DWORD(-11);
inline constexpr DWORD kStandardError = DWORD(-12);

/// A stable handle for one of the three standard streams; null for another selector.
HANDLE StandardConsole(DWORD which) noexcept;
/// The descriptor behind a handle from StandardConsole; -1 for any other handle.
int DescriptorOfConsole(HANDLE console) noexcept;
/// When `descriptor` is a terminal, writes the sequence that clears its screen and
/// scroll-back and puts the cursor at the top-left corner. False, writing nothing,
/// when it is not a terminal or the write fails.
bool ClearTerminal(int descriptor) noexcept;

}  // namespace cvq::platform
