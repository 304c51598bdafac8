// Hidden message windows: the table of windows and classes behind their handles, and
// the calls addressed to a window.
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/internal/Clocks.h>

#include "MessageLock.h"
#include "MessageQueue.h"
#include "ThreadState.h"
#include "WindowTable.h"

#include <string>
#include <unordered_map>

namespace cvq::platform::posix {

namespace {

struct TWindowTable {
    TMessageLock lock;
    std::unordered_map<uintptr_t, TWindowRecord> windows CVQ_GUARDED_BY(lock);
    std::unordered_map<std::string, WNDPROC> classes CVQ_GUARDED_BY(lock);
    uintptr_t nextHandle CVQ_GUARDED_BY(lock) = 0x10000;
    ATOM nextAtom CVQ_GUARDED_BY(lock) = 0xC000;
};

TWindowTable& Windows() {
    static TWindowTable* table = new TWindowTable;  // outlives threads still running at exit
    return *table;
}

uintptr_t Key(HWND window) {
    return reinterpret_cast<uintptr_t>(window);
}

}  // namespace

bool FindWindow(HWND window, TWindowRecord& record) {
    TControlRegion region;
    TMessageGuard lock(Windows().lock);
    auto found = Windows().windows.find(Key(window));
    if (found == Windows().windows.end()) return false;
    record = found->second;
    return true;
}

LRESULT CallWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TWindowRecord record;
    if (!window || !FindWindow(window, record)) return 0;
    return record.procedure(window, message, wParam, lParam);
}

void DestroyWindowsOf(DWORD owner) {
    TControlRegion region;
    TMessageGuard lock(Windows().lock);
    std::erase_if(Windows().windows,
                  [&](const auto& entry) { return entry.second.owner == owner; });
}

}  // namespace cvq::platform::posix

using namespace cvq::platform::posix;

LRESULT DispatchMessageA(const MSG* msg) {
    return msg ? CallWindow(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window) return PostThreadMessageA(GetCurrentThreadId(), message, wParam, lParam);
    TWindowRecord record;
    if (!FindWindow(window, record)) return 0;
    return Post(record.owner,
                MSG{window, message, wParam, lParam, cvq::platform::TickCount(), {0, 0}});
}

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName) return 0;
    TControlRegion region;
    TMessageGuard lock(Windows().lock);
    if (!Windows().classes.emplace(windowClass->lpszClassName, windowClass->lpfnWndProc).second)
        return 0;
    return Windows().nextAtom++;
}

BOOL UnregisterClassA(const char* className, HINSTANCE) {
    if (!className) return 0;
    TControlRegion region;
    TMessageGuard lock(Windows().lock);
    for (const auto& [key, record] : Windows().windows)
        if (record.className == className) return 0;
    return Windows().classes.erase(className) ? 1 : 0;
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, void* menu,
                     HINSTANCE instance, void* parameter) {
    if (!className || !OwnQueue()) return nullptr;
    HWND window;
    WNDPROC procedure;
    {
        TControlRegion region;
        TMessageGuard lock(Windows().lock);
        auto found = Windows().classes.find(className);
        if (found == Windows().classes.end()) return nullptr;
        procedure = found->second;
        window = reinterpret_cast<HWND>(Windows().nextHandle);
        Windows().nextHandle += 0x10;
        Windows().windows.emplace(Key(window),
                                  TWindowRecord{procedure, GetCurrentThreadId(), 0, className,
                                                windowName ? windowName : ""});
    }
    CREATESTRUCTA create{
        parameter,  instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
        windowName, className, exStyle};
    if (procedure(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        TControlRegion region;
        TMessageGuard lock(Windows().lock);
        Windows().windows.erase(Key(window));
        return nullptr;
    }
    return window;
}

BOOL DestroyWindow(HWND window) {
    TWindowRecord record;
    if (!window || !FindWindow(window, record) || record.owner != GetCurrentThreadId()) return 0;
    record.procedure(window, WM_DESTROY, 0, 0);
    TControlRegion region;
    TMessageGuard lock(Windows().lock);
    Windows().windows.erase(Key(window));
    return 1;
}

BOOL IsWindow(HWND window) {
    TWindowRecord record;
    return window && FindWindow(window, record);
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    if (index != GWLP_USERDATA) return 0;
    TControlRegion region;
    TMessageGuard lock(Windows().lock);
    auto found = Windows().windows.find(Key(window));
    if (found == Windows().windows.end()) return 0;
    LONG_PTR previous = found->second.userData;
    found->second.userData = value;
    return previous;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    TWindowRecord record;
    if (index != GWLP_USERDATA || !FindWindow(window, record)) return 0;
    return record.userData;
}

int GetWindowTextA(HWND window, char* text, int maxCount) {
    if (!text || maxCount <= 0) return 0;
    text[0] = '\0';
    TWindowRecord record;
    if (!window || !FindWindow(window, record)) return 0;
    size_t count = record.title.copy(text, static_cast<size_t>(maxCount) - 1);
    text[count] = '\0';
    return static_cast<int>(count);
}

BOOL SetWindowTextA(HWND window, const char* text) {
    TControlRegion region;
    TMessageGuard lock(Windows().lock);
    auto found = Windows().windows.find(Key(window));
    if (found == Windows().windows.end()) return 0;
    found->second.title = text ? text : "";
    return 1;
}
