// commonvcqx/platform/internal/Threads.h
//
// Platform threads: start (optionally suspended, at a priority), counted suspend and
// resume of a running thread, forced termination, priorities as nice values and
// thread ids (gettid). A thread handle is a kernel object (internal/KernelObjects.h)
// that becomes signalled when the thread ends.
//
//   cvq::platform::ThreadStart start{&Body, &state};
//   cvq::platform::StartThread(start);           // start.handle, start.threadId set
//   cvq::platform::WaitForObject(start.handle, INFINITE);
//   cvq::platform::CloseObjectHandle(start.handle);
#pragma once

#include <commonvcqx/platform/WinTypes.h>

#include <cstddef>

namespace cvq::platform {

using ThreadEntry = uint32_t (*)(void* argument);

struct TThreadStart {
    ThreadEntry entry = nullptr;
    void* argument = nullptr;
    size_t stackSize = 0;  ///< 0: the default
    bool suspended = false;
    int priority = THREAD_PRIORITY_NORMAL;
    /// Called on the starting thread once handle and id are known and before the new
    /// thread runs `entry`, so that the caller can publish them race-free.
    void (*published)(void* context, HANDLE handle, DWORD threadId) = nullptr;
    void* publishContext = nullptr;
    /// Runs on the thread when a forced termination abandoned its frames.
    void (*forcedEnd)() = nullptr;
    HANDLE handle = nullptr;  ///< out
    DWORD threadId = 0;       ///< out
};

/// Starts a thread; false (handle null) when the system refuses.
bool StartThread(TThreadStart& start);

/// The calling thread's kernel id.
DWORD CurrentThreadId();

/// True when `p` lies on the calling thread's stack (a heap object there is not a
/// static heap). The bounds are read on the thread's first call.
bool IsOnCurrentStack(const void* p);

/// Raise (lower) the suspend count; the previous count, or 0xFFFFFFFF on failure.
/// When SuspendThreadObject returns, the thread runs no more code outside the library.
DWORD SuspendThreadObject(HANDLE thread);
DWORD ResumeThreadObject(HANDLE thread);

/// Ends the thread at once and waits until its handle is signalled. The thread's own
/// frames are abandoned without running destructors; the library's end-of-thread
/// steps (the forcedEnd hook, queue release, thread_local destructors) still run.
bool TerminateThreadObject(HANDLE thread, DWORD exitCode);
/// The code the thread ended with; false while it runs.
bool GetThreadExitCode(HANDLE thread, DWORD* exitCode);

int GetThreadPriorityValue(HANDLE thread);
/// False when the value is not a thread priority or the system refuses (raising the
/// priority needs privileges); the priority then stays as it was.
bool SetThreadPriorityValue(HANDLE thread, int priority);
DWORD GetProcessPriorityClass();
bool SetProcessPriorityClass(DWORD priorityClass);

void YieldThread();
void SleepMilliseconds(DWORD milliseconds);

}  // namespace cvq::platform
