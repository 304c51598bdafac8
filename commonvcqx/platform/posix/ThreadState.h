// Shared state of the POSIX thread, kernel-object and message-queue implementation.
// Private to platform/posix.
#pragma once

#include <commonvcqx/base/IntrusiveList.h>
#include <commonvcqx/base/Mutex.h>
#include <commonvcqx/platform/WinTypes.h>

#include <atomic>
#include <csetjmp>
#include <ctime>
#include <memory>

namespace cvq::platform::posix {

// The calling thread's id, cached in initial-exec TLS (safe in signal handlers).
extern __thread DWORD tlsThreadId __attribute__((tls_model("initial-exec")));
DWORD LoadThreadId();
inline DWORD FastThreadId() {
    DWORD id = tlsThreadId;
    return id ? id : LoadThreadId();
}

void FutexWait(std::atomic<uint32_t>* word, uint32_t expected, const timespec* relative);
void FutexWake(std::atomic<uint32_t>* word, int count);

uint64_t MonotonicNanoseconds();
/// Relative time until `deadline` (monotonic ns); false when it has passed.
bool RemainingUntil(uint64_t deadline, timespec& relative);

enum class EObjectKind : uint8_t { Event, Semaphore, Thread };

struct Waiter;
struct TWaitLink {
    Waiter* waiter = nullptr;
    TWaitLink* previous = nullptr;
    TWaitLink* next = nullptr;
    using TLinks = cvq::TMemberLinks<TWaitLink, &TWaitLink::next, &TWaitLink::previous>;
};

// Guards every kernel object's state and waiter list, and the waits of threads.
extern cvq::TMutex g_objectLock;
// Guards the registry of live threads and their queues.
extern cvq::TMutex g_registryLock;

// The kind, reset mode and maximum are fixed before the object is published.
struct TKernelObject {
    explicit TKernelObject(EObjectKind k, bool manual = false, bool initiallySignalled = false,
                           int32_t initialCount = 0, int32_t maximumCount = 0)
        : kind(k),
          manualReset(manual),
          maximum(maximumCount),
          signalled(initiallySignalled),
          count(initialCount) {}
    virtual ~TKernelObject() = default;
    std::atomic<int32_t> references{1};
    const EObjectKind kind;
    const bool manualReset;
    const int32_t maximum;
    bool signalled CVQ_GUARDED_BY(g_objectLock);  // events; threads once ended
    int32_t count CVQ_GUARDED_BY(g_objectLock);   // semaphores
    cvq::TIntrusiveList<TWaitLink::TLinks> waiters CVQ_GUARDED_BY(g_objectLock);  // oldest first
};

void AddReference(TKernelObject* object);
void Release(TKernelObject* object);

struct MessageQueue;

struct TThreadObject : TKernelObject {
    TThreadObject() : TKernelObject(EObjectKind::Thread, true) {}
    DWORD threadId = 0;
    bool foreign = false;  // not started by StartThread
    std::atomic<int32_t> suspendCount{0};
    std::atomic<uint32_t> resumeWord{0};  // bumped on every resume or termination request
    std::atomic<uint32_t> requests{0};    // control signals sent
    std::atomic<uint32_t> answered{0};    // control signals seen by the thread
    std::atomic<bool> terminating{false};
    std::atomic<int> regionDepth{0};  // changed by the thread itself only
    std::atomic<bool> parked{false};  // waiting for a resume
    std::atomic<bool> exiting{false};
    std::atomic<int> priority{THREAD_PRIORITY_NORMAL};
    std::atomic<uint32_t> startPhase{0};  // 1: id known, 2: may run
    std::atomic<DWORD> requestedExitCode{0};
    uint32_t (*entry)(void*) = nullptr;
    void* argument = nullptr;
    DWORD exitCode CVQ_GUARDED_BY(g_objectLock) = 0;
    Waiter* activeWait CVQ_GUARDED_BY(g_objectLock) = nullptr;
    void (*forcedEnd)() = nullptr;
    sigjmp_buf abandon;
    std::shared_ptr<MessageQueue> queue CVQ_GUARDED_BY(g_registryLock);
};

/// The calling thread's object; with `create`, made on first use for threads the
/// library did not start (released when the thread exits).
TThreadObject* CurrentThreadObject(bool create);
/// Resolves a handle: the pseudo-handle is the calling thread.
TKernelObject* ObjectOf(HANDLE handle);

// Control region: while the depth is above 0 the thread holds one of the layer's locks
// or sleeps in one of its waits; suspension and termination wait for its end.
void EnterControlRegion();
void LeaveControlRegion();
class TControlRegion {
public:
    TControlRegion() { EnterControlRegion(); }
    ~TControlRegion() { LeaveControlRegion(); }
    TControlRegion(const TControlRegion&) = delete;
    TControlRegion& operator=(const TControlRegion&) = delete;
};
/// True when the calling thread is asked to end and should leave its wait.
bool TerminationRequested();

// Kernel objects: mark a thread ended (signalled with its code) and wake its waits.
void SignalThreadEnded(TThreadObject* thread, DWORD exitCode);
bool ThreadExitCodeOf(TThreadObject* thread, DWORD* exitCode);
// Wakes the thread out of a kernel-object wait so that it sees a termination request.
void InterruptObjectWait(TThreadObject* thread);

// Registry of live threads by id.
void RegisterThread(TThreadObject* thread);
void UnregisterThread(TThreadObject* thread);
/// The queue of a live thread, created on first use; null for an unknown id.
std::shared_ptr<MessageQueue> QueueOfThread(DWORD threadId);

// Message queues.
std::shared_ptr<MessageQueue> CreateQueue(DWORD ownerId);
/// Marks the queue closed, drops what it holds and destroys the thread's windows.
void CloseQueue(const std::shared_ptr<MessageQueue>& queue);
void InterruptQueueWait(const std::shared_ptr<MessageQueue>& queue);

}  // namespace cvq::platform::posix
