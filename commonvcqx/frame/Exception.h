// commonvcqx/frame/Exception.h
//
// AException and TException: what the library throws. A TException carries up to two
// messages and a 32-bit code (usually a system error code); its AException base holds
// a reason that is always the empty one of the library's prototype, so handlers read
// the messages and the code from the TException.
//
//   try {
//       file.Open(name);
//   } catch (const TException& e) {
//       if (e.GetMessage()) ShowError(*e.GetMessage(), e.GetCode());
//   }
//
// Throw them through TExceptionThrower (ExceptionThrower.h), never directly. Each
// message is an owned TString object of its own on the string heap, sharing its
// text with the string it came from; copying never throws (a message that cannot be
// allocated stays null).
#pragma once

#include <commonvcqx/platform/WinTypes.h>
#include <commonvcqx/text/String.h>

#include <cstdint>

class AException {
public:
    AException(const TString& why) noexcept;
    AException(const AException& other) noexcept;
    AException& operator=(const AException& other) noexcept;
    ~AException();

    /// The reason (empty when none could be kept).
    const TString& why() const noexcept;
    /// Throws a copy of this exception as an AException.
    [[noreturn]] void raise() const;

protected:
    struct TPrototypeTag {};
    /// A copy of the library's prototype (reason "").
    explicit AException(TPrototypeTag) noexcept;

private:
    TString* m_why;
};

class TException : public AException {
public:
    TException() noexcept;
    TException(const char* message) noexcept;
    TException(const TString& message) noexcept;
    TException(const char* message, const char* message2) noexcept;
    TException(const TString& message, const TString& message2) noexcept;
    TException(const char* message, uint32_t code) noexcept;
    TException(const TString& message, uint32_t code) noexcept;
    TException(const char* message, const char* message2, uint32_t code) noexcept;
    TException(const TString& message, const TString& message2, uint32_t code) noexcept;
    TException(const TException& other) noexcept;
    TException& operator=(const TException& other) noexcept;
    ~TException();

    /// The first message, or null when none was given (or it was empty).
    const TString* GetMessage() const noexcept { return m_message; }
    /// The second message, or null.
    const TString* GetSecondMessage() const noexcept { return m_message2; }
    uint32_t GetCode() const noexcept { return m_code; }
    /// Always 0 in this library; kept and copied along.
    int32_t GetSecondValue() const noexcept { return m_secondValue; }

    /// Sets the window that posting throwers made from now on deliver to (null: none,
    /// they post to the thread that loaded the library). Set it once, before such
    /// throwers are made.
    static void NotifyPostHandle(HWND window) noexcept;

private:
    uint32_t m_code;
    int32_t m_secondValue;
    TString* m_message;
    TString* m_message2;
};

/// Installs the library's out-of-memory handling: a failing operator new, and any
/// library heap that runs out (malloc included, which then returns null), reaches a
/// new handler that throws TException("Out of memory") with code 0 on the failing
/// thread. Runs at load; a host may call it again after replacing the new handler.
void InitExceptionHandler();

/// True for the exception the library's new handler throws ("Out of memory", code 0).
/// Code that treats a failure as "not there" (a file that cannot be read) lets this one
/// pass instead: short memory says nothing about the data.
bool IsOutOfMemory(const TException& e) noexcept;
