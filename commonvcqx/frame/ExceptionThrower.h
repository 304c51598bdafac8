// commonvcqx/frame/ExceptionThrower.h
//
// TExceptionThrower: how the library reports a failure. Made with post = 0 (nearly
// always), SetAndThrow throws a TException on the spot. Made with post = 1, it hands
// a heap copy of the exception to the user interface instead, as message 0x83EB
// (WM_POSTED_EXCEPTION) with the copy's address as lParam, and returns: to the window
// given to TException::NotifyPostHandle, or else to the thread that loaded the
// library. The receiver owns the copy and deletes it. Code using a posting thrower
// must go on after SetAndThrow returns. As with any thread message, the loading thread
// receives only once it has a message queue (its first message call makes one); a copy
// that cannot be posted is deleted.
//
//   TExceptionThrower(0).SetAndThrow("Cannot open", errorCode);      // throws
//
//   TExceptionThrower poster(1);                                      // background thread
//   poster.SetAndThrow(TResMess(18004));                              // posted; returns
#pragma once

#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/frame/ResMess.h>
#include <commonvcqx/platform/WinTypes.h>

#include <cstdint>

class TExceptionThrower {
public:
    explicit TExceptionThrower(char post = 0) noexcept;
    TExceptionThrower(const TExceptionThrower&) noexcept = default;
    TExceptionThrower& operator=(const TExceptionThrower&) noexcept = default;

    void SetAndThrow();
    void SetAndThrow(const TException& exception);
    void SetAndThrow(const char* message);
    void SetAndThrow(const TString& message);
    void SetAndThrow(TResMess message);
    void SetAndThrow(const char* message, const char* message2);
    void SetAndThrow(const TString& message, const TString& message2);
    void SetAndThrow(TResMess message, TResMess message2);
    void SetAndThrow(const char* message, uint32_t code);
    void SetAndThrow(const TString& message, uint32_t code);
    void SetAndThrow(TResMess message, uint32_t code);
    void SetAndThrow(const char* message, const char* message2, uint32_t code);
    void SetAndThrow(const TString& message, const TString& message2, uint32_t code);
    void SetAndThrow(TResMess message, TResMess message2, uint32_t code);

    /// The thread a posting thrower delivers to, 0xFFFFFFFF when none.
    uint32_t GetTargetThread() const noexcept { return m_targetThread; }
    /// The window a posting thrower delivers to, null when none.
    HWND GetTargetWindow() const noexcept { return m_targetWindow; }

private:
    void Deliver(const TException& exception);

    uint32_t m_targetThread;
    HWND m_targetWindow;
};
