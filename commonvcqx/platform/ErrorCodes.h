// commonvcqx/platform/ErrorCodes.h
//
// The one translation from the system's error numbers to the Windows error codes that
// the library's exceptions carry (ERROR_* in WinTypes.h). Code outside the platform
// layer never sees an errno value: platform operations report mapped codes.
//
//   DWORD code = WindowsErrorFromErrno(ENOSPC);   // ERROR_DISK_FULL (112)
#pragma once

#include <commonvcqx/platform/WinTypes.h>

/// Windows code for a system error number; unknown numbers give ERROR_GEN_FAILURE (31).
DWORD WindowsErrorFromErrno(int errorNumber);

namespace cvq::platform {

/// Windows code for the calling thread's last system error.
DWORD LastSystemError();

}  // namespace cvq::platform
