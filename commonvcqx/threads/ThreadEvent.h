// commonvcqx/threads/ThreadEvent.h
//
// TThreadEvent: an event that threads set and wait for, manual-reset or auto-reset.
// Copies share one event: setting a copy wakes the waiters of the original. Each copy
// holds its own reference, so the event lives until the last copy is gone.
//
//   TThreadEvent done;                 // manual-reset, not signalled
//   TThreadEvent alias = done;         // the same event
//   alias.SetTrue();
//   done.WaitForIt(INFINITE);          // returns 1 at once
#pragma once

#include <commonvcqx/platform/WinTypes.h>

class TThreadEvent {
public:
    /// Both flags 0: a manual-reset event that starts not signalled.
    explicit TThreadEvent(char initiallyTrue = 0, char autoReset = 0);
    TThreadEvent(const TThreadEvent& other);
    TThreadEvent& operator=(const TThreadEvent& other);
    ~TThreadEvent();

    HANDLE GetHandle() const { return m_handle; }
    operator void*() const { return m_handle; }

    /// Zero-time test; on an auto-reset event a true result consumes the signal.
    char IsTrue() const;
    /// Zero-time test; true for "not signalled" and for a failed wait.
    char IsFalse() const;
    /// Waits up to `milliseconds` (INFINITE: no limit); true if signalled in time.
    char WaitForIt(uint32_t milliseconds) const;

    void SetTrue();
    void SetFalse();
    /// Releases the current waiters (one, for an auto-reset event) and leaves it reset.
    void Pulse();

private:
    HANDLE m_handle;
};
