// commonvcqx/threads/Thread.h
//
// TThread: a thread whose body is the virtual MainLoop. SetupAndRun starts it
// (optionally suspended, at a priority); the object can also stand for an existing
// thread (Init, InitAsCurrentThread). Auto-death objects (the default) wait for their
// thread in the destructor; a self-destructible object is deleted by its own thread
// when MainLoop returns, so it must have been made with new and nobody may touch it
// afterwards.
//
// The auto-death wait runs in this base destructor, after a derived object's own
// members are gone (and a MainLoop not yet entered would run the base version): a
// derived class whose MainLoop uses its members calls WaitForEnd() in its destructor.
//
// Copies refer to the same thread; each holds its own reference to the thread handle,
// so none closes the handle of another.
//
// Terminate ends the thread at once: its frames are abandoned without running their
// destructors (held locks stay held, so use it only as a last resort), MainLoop does not
// return and a self-destructible object is not deleted. The library's end-of-thread
// steps still run: the per-thread data is released, the message queue dropped, the
// thread_local objects destroyed, and the handle is signalled with the exit code.
//
//   class TWorker : public TThread {
//   public:
//       uint32_t MainLoop() override { ...; return 0; }
//   };
//   TWorker worker;
//   worker.SetupAndRun(&worker, 0, 0, 0);
//   worker.WaitForEnd();
#pragma once

#include <commonvcqx/platform/WinTypes.h>

#include <atomic>

class TThread {
public:
    explicit TThread(const char* name = nullptr);
    /// Attaches to an existing thread; the object takes its own reference to `handle`.
    TThread(HANDLE handle, uint32_t threadId, const char* name = nullptr);
    TThread(const TThread& other);
    TThread& operator=(const TThread& other);
    /// Virtual, so that a self-destructing derived object is destroyed whole.
    virtual ~TThread();

    uint32_t GetThreadId() const { return m_threadId; }
    HANDLE GetThreadHandle() const { return m_threadHandle; }
    const char* GetName() const { return m_name; }
    /// Stores the pointer; the text must outlive the object.
    void SetName(const char* name) { m_name = name; }
    char IsCreated() const { return m_created; }

    /// Posts to the thread's queue by id; true if it was accepted.
    char PostThreadMessageA(uint32_t message, int32_t wParam, int32_t lParam);

    int32_t GetPriority() const;
    /// False when refused (raising the priority needs privileges); nothing is thrown.
    char SetPriority(int32_t priority);
    /// The priority class of the whole process.
    uint32_t GetPriorityClass() const;
    char SetPriorityClass(uint32_t priorityClass);

    char IsSuspended() const { return m_suspendCount.load() > 0; }
    /// The previous platform suspend count, or 0xFFFFFFFF on failure (the count here
    /// then stays as it was). A suspended thread runs no code until resumed.
    uint32_t Suspend();
    uint32_t Resume();
    /// See the header comment; the handle is closed and set to null.
    char Terminate(uint32_t exitCode);
    static void GiveUpTimeSlice();

    char IsAutoDeathActive() const { return m_autoDeath; }
    void SetAutoDeathMode(char autoDeath) { m_autoDeath = autoDeath; }
    char IsSelfDestructible() const { return m_selfDestructible; }
    void SetAsAutoDestructible() { m_selfDestructible = 1; }
    void SetExitCode(int32_t code) { m_exitCode = code; }
    int32_t GetExitCode() const { return m_exitCode; }

    /// Waits for the thread to end, closes the handle and sets it to null; nothing
    /// without a handle. Called on the thread itself it does not wait (that would never
    /// return).
    void WaitForEnd();
    /// True once the thread behind a created object has ended.
    char IsTerminated() const;

    void Init(HANDLE handle, uint32_t threadId);
    void InitAsCurrentThread(const char* name);

    /// Starts a thread running runner->MainLoop(); id and handle go to this object
    /// before the new thread runs. Returns the created flag.
    char SetupAndRun(TThread* runner, int32_t priority, char suspended, int32_t stackSize);

    /// The thread's body; its result is the thread's exit code. The base returns 0.
    virtual uint32_t MainLoop();

private:
    static uint32_t Starter(void* runner);
    static void Publish(void* object, HANDLE handle, DWORD threadId);
    void DropHandle();

    const char* m_name;
    uint32_t m_threadId;
    HANDLE m_threadHandle;
    std::atomic<int32_t> m_suspendCount;
    char m_autoDeath;
    char m_created;
    char m_selfDestructible;
    int32_t m_exitCode;
};

namespace cvq::detail {

using TThreadHook = void (*)();

/// The seam through which the library's per-thread data reaches every TThread: `begin`
/// runs on the thread before its MainLoop, `end` after it (and after a self-destructing
/// object is deleted), also when the thread is forcibly terminated. Either may be null.
/// Set once, before threads start.
void SetThreadDataHooks(TThreadHook begin, TThreadHook end);

}  // namespace cvq::detail
