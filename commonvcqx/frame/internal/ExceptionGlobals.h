// commonvcqx/frame/internal/ExceptionGlobals.h
//
// What posting throwers need to know: the window the host named for posted exceptions
// and the thread that loaded the library.
#pragma once

#include <commonvcqx/platform/WinTypes.h>

#include <cstdint>

namespace cvq::detail {

/// The window of TException::NotifyPostHandle, or null.
HWND PostingWindow() noexcept;

/// Notes the calling thread as the one that loaded the library (at start-up).
void RecordLoadingThread() noexcept;
/// The id of the thread that loaded the library.
uint32_t LoadingThreadId() noexcept;

}  // namespace cvq::detail
