// Command thread: a hidden window on its own thread, driven by the platform's queue.
#include <commonvcqx/threads/CommandThread.h>

#include <commonvcqx/base/Mutex.h>
#include <commonvcqx/platform/Messages.h>

namespace {

constexpr const char* kClassName = "CommandThread";

// Registering, creating, destroying and unregistering run under one lock: otherwise
// a thread ending its loop could unregister the class between another thread's
// (refused) registration and its window creation, leaving that thread windowless.
cvq::TMutex& ClassLock() {
    static cvq::TMutex lock;
    return lock;
}

WPARAM SignExtended(int16_t wParam) {
    return static_cast<WPARAM>(static_cast<uint32_t>(static_cast<int32_t>(wParam)));
}

}  // namespace

TCommandThread::TCommandThread(const char* name) : TThread(name), m_window(nullptr) {
    SetAutoDeathMode(1);
    if (SetupAndRun(this, 0, 0, 0)) m_windowReady.WaitForIt(INFINITE);
}

TCommandThread::~TCommandThread() {
    EndCommandLoop();
}

void TCommandThread::EndCommandLoop() {
    if (!GetThreadHandle()) return;
    ::PostThreadMessageA(GetThreadId(), WM_QUIT, 0, 0);
    WaitForEnd();
}

void TCommandThread::PostFlexMessage(TFlexMessage* message) {
    ::PostMessageA(m_window, WM_FLEX_MESSAGE, 0, reinterpret_cast<LPARAM>(message));
}

char TCommandThread::SendFlexMessageTimeOut(TFlexMessage* message, int32_t timeOut) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(m_window, WM_FLEX_MESSAGE, 0, reinterpret_cast<LPARAM>(message),
                                 SMTO_NORMAL, static_cast<UINT>(timeOut), &result) != 0;
}

void TCommandThread::PostMessageA(int32_t message, int16_t wParam, LPARAM lParam) {
    ::PostMessageA(m_window, static_cast<UINT>(message), SignExtended(wParam), lParam);
}

char TCommandThread::SendMessageTimeOut(int32_t message, int16_t wParam, LPARAM lParam,
                                        int32_t timeOut) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(m_window, static_cast<UINT>(message), SignExtended(wParam), lParam,
                                 SMTO_NORMAL, static_cast<UINT>(timeOut), &result) != 0;
}

LRESULT TCommandThread::CB_Message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create ? create->lpCreateParams : nullptr));
        return 1;
    }
    if (message == WM_DESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        return 1;
    }
    if (message == WM_COMMAND || (message >= 0x8000 && message <= 0xBFFF)) {
        auto* self = reinterpret_cast<TCommandThread*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self && self->OnMessage(message, static_cast<uint32_t>(wParam), lParam)) return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

uint32_t TCommandThread::MainLoop() {
    {
        cvq::TMutexGuard guard(ClassLock());
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &CB_Message;
        windowClass.lpszClassName = kClassName;
        RegisterClassA(&windowClass);  // refused when another command thread registered it
        m_window =
            CreateWindowExA(0, kClassName, nullptr, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, this);
    }
    m_windowReady.SetTrue();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    cvq::TMutexGuard guard(ClassLock());
    if (m_window) DestroyWindow(m_window);
    UnregisterClassA(kClassName, nullptr);  // refused while other command windows exist
    return 1;
}
