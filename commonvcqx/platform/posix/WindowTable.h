// The table of hidden message windows and their classes. Window handles are numbers
// looked up in it, so a handle of a destroyed window is simply not found. Private to
// platform/posix.
#pragma once

#include <commonvcqx/base/Visibility.h>
#include <commonvcqx/platform/WinTypes.h>

#include <string>

namespace cvq::platform::posix {

struct CVQ_HIDDEN TWindowRecord {
    WNDPROC procedure;
    DWORD owner;
    LONG_PTR userData;
    std::string className;
    std::string title;
};

/// A copy of the window's record; false for a window that does not exist.
CVQ_HIDDEN bool FindWindow(HWND window, TWindowRecord& record);
/// Calls the window's procedure; 0 for a window that does not exist.
CVQ_HIDDEN LRESULT CallWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/// Forgets every window of the thread `owner` (its queue is being closed).
CVQ_HIDDEN void DestroyWindowsOf(DWORD owner);

}  // namespace cvq::platform::posix
