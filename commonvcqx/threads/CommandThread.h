// commonvcqx/threads/CommandThread.h
//
// TCommandThread: a thread with a hidden command window and a message loop. Other
// threads post or send messages to the window; command messages (WM_COMMAND) and
// application-range messages (0x8000-0xBFFF) reach the derived class's OnMessage on
// the command thread, one at a time. Flex messages carry a pointer to a host-defined
// TFlexMessage record under code 0x83E8.
//
//   class TSaver : public TCommandThread {
//   public:
//       TSaver() : TCommandThread("Saver") {}
//       ~TSaver() override { EndCommandLoop(); }   // before the members go
//       char OnMessage(uint32_t message, uint32_t wParam, LPARAM lParam) override;
//   };
//   TSaver saver;                              // the window exists on return
//   saver.PostFlexMessage(&request);
//   saver.SendMessageTimeOut(WM_APP + 7, 0, 0, 500);
//
// The constructor returns once the window exists, so nothing posted afterwards is
// lost. A derived class calls EndCommandLoop() first thing in its destructor: the loop
// must not call OnMessage on a half-destroyed object.
#pragma once

#include <commonvcqx/platform/WinTypes.h>
#include <commonvcqx/threads/Thread.h>
#include <commonvcqx/threads/ThreadEvent.h>

#include <cstdint>

/// Declared by the host; the library only carries the pointer.
struct TFlexMessage;

class TCommandThread : public TThread {
public:
    /// Starts the thread (auto-death, priority 0) and waits until its window exists.
    explicit TCommandThread(const char* name = nullptr);
    TCommandThread(const TCommandThread&) = delete;
    TCommandThread& operator=(const TCommandThread&) = delete;
    /// Ends the message loop and waits for the thread.
    ~TCommandThread() override;

    /// Posts code 0x83E8 with the pointer as lparam; does not wait.
    void PostFlexMessage(TFlexMessage* message);
    /// Sends code 0x83E8 and waits at most `timeOut` ms; true if it was handled in time.
    char SendFlexMessageTimeOut(TFlexMessage* message, int32_t timeOut);
    /// Posts any message to the command window; wparam is sign-extended to 32 bits.
    void PostMessageA(int32_t message, int16_t wParam, LPARAM lParam);
    /// Sends any message and waits at most `timeOut` ms; true if it was handled in time.
    char SendMessageTimeOut(int32_t message, int16_t wParam, LPARAM lParam, int32_t timeOut);

    /// The command window; null when it could not be created.
    HWND GetCommandWindow() const { return m_window; }

    /// Called on the command thread for WM_COMMAND and codes 0x8000-0xBFFF; true when
    /// handled (false gives the default window procedure's result). lparam is
    /// pointer-sized: flex messages carry a pointer in it.
    virtual char OnMessage(uint32_t message, uint32_t wParam, LPARAM lParam) = 0;

protected:
    /// Posts the quit message and waits for the thread; later calls do nothing.
    void EndCommandLoop();
    static LRESULT CB_Message(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    uint32_t MainLoop() override;

    HWND m_window;
    TThreadEvent m_windowReady;
};
