// commonvcqx/platform/Messages.h
//
// Thread message queues and hidden message windows with the Windows calls. Every
// thread gets a queue the first time it (or a poster) needs one; it goes away when
// the thread ends. Messages sent with SendMessage(Timeout) reach a window's procedure
// before any posted message, and only while its thread reads its queue (GetMessage,
// PeekMessage) or itself waits in a send. A queue's file descriptor is readable while
// messages wait, so a GLib or Qt loop can watch it.
//
//   PostThreadMessageA(workerId, WM_PENDING_EVENTS, 0, 0);   // from any thread
//
//   MSG msg;                                                   // on the worker
//   while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
#pragma once

#include <commonvcqx/platform/WinTypes.h>

// NOLINTBEGIN(readability-identifier-naming): Windows message names
/// Library thread messages (application range): flex messages of command threads,
/// posted exceptions, and pending notifications and vital messages.
inline constexpr UINT WM_FLEX_MESSAGE = WM_APP + 1000;      // 0x83E8
inline constexpr UINT WM_POSTED_EXCEPTION = WM_APP + 1003;  // 0x83EB
inline constexpr UINT WM_PENDING_EVENTS = WM_APP + 1005;    // 0x83ED
// NOLINTEND(readability-identifier-naming)

DWORD GetCurrentThreadId();

/// False when no live thread has the id.
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
/// Waits for a message; 0 for WM_QUIT, -1 on a bad argument, otherwise positive. A
/// window of null takes every message of the thread, (HWND)-1 only thread messages.
BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
/// Like GetMessageA without waiting; false when nothing matches.
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage);
/// Calls the procedure of the message's window; thread messages give 0.
LRESULT DispatchMessageA(const MSG* msg);
BOOL TranslateMessage(const MSG* msg);
/// Ends the thread's message loop once its posted messages are read.
void PostQuitMessage(int exitCode);

/// Queues a message for the window's thread; false when the window does not exist.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/// Runs the window procedure on the window's thread and waits up to `timeout` ms for
/// it. Zero when the window does not exist or the time ran out; a message that has
/// not started by then is dropped, never handled later. Without SMTO_BLOCK the waiting
/// thread handles messages sent to its own windows meanwhile.
LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeout, DWORD_PTR* result);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

/// Window classes and hidden message windows. A window belongs to the thread that
/// creates it; its procedure runs on that thread, and it is destroyed when that thread
/// ends. Window handles stay invalid after destruction (they are not reused).
ATOM RegisterClassA(const WNDCLASSA* windowClass);
/// Fails while windows of the class exist.
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
/// Sends WM_CREATE (lParam: CREATESTRUCTA*) before returning; -1 from it fails creation.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, void* menu,
                     HINSTANCE instance, void* parameter);
/// Sends WM_DESTROY; only the window's own thread may destroy it.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/// GWLP_USERDATA only.
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND window, int index);
/// The window's title (its name at creation unless set since): up to `maxCount` - 1
/// characters and a NUL. The number of characters copied; 0 for an unknown window.
int GetWindowTextA(HWND window, char* text, int maxCount);
BOOL SetWindowTextA(HWND window, const char* text);

/// The calling thread's queue descriptor (an eventfd, owned by the library): readable
/// while messages wait. Read messages with PeekMessageA when it is.
int GetMessageQueueFileDescriptor();

// The names without the ANSI suffix, as Windows code spells them.
inline BOOL PostThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    return PostThreadMessageA(threadId, message, wParam, lParam);
}
inline BOOL GetMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
    return GetMessageA(msg, window, filterMin, filterMax);
}
inline BOOL PeekMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    return PeekMessageA(msg, window, filterMin, filterMax, remove);
}
inline LRESULT DispatchMessage(const MSG* msg) {
    return DispatchMessageA(msg);
}
inline BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return PostMessageA(window, message, wParam, lParam);
}
inline LRESULT SendMessageTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT flags, UINT timeout, DWORD_PTR* result) {
    return SendMessageTimeoutA(window, message, wParam, lParam, flags, timeout, result);
}
