// Threads: start with a hand-shake (id and handle are published before the thread
// runs), the registry of live threads by id, suspension by a real-time signal whose
// handler parks the thread, and termination by abandoning the thread's frames.
//
// A thread that holds one of this layer's locks or sleeps in one of its waits is in a
// "control region": the signal handler then only notes the request, and the thread
// honours it when it leaves the region, so no lock is left held and no waiter left
// linked. The handler allocates nothing and touches only atomics and initial-exec TLS.
#include <commonvcqx/platform/internal/KernelObjects.h>
#include <commonvcqx/platform/internal/Threads.h>

#include "ThreadState.h"

#include <algorithm>
#include <climits>
#include <unordered_map>
#include <vector>

#include <linux/futex.h>
#include <linux/membarrier.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>
#include <cerrno>

namespace cvq::platform::posix {

constinit cvq::TMutex g_registryLock;

__thread DWORD tlsThreadId __attribute__((tls_model("initial-exec"))) = 0;

DWORD LoadThreadId() {
    return tlsThreadId = static_cast<DWORD>(gettid());
}

namespace {

#define CVQ_SIGNAL_SAFE_TLS __attribute__((tls_model("initial-exec"))) thread_local

CVQ_SIGNAL_SAFE_TLS TThreadObject* tlsSelf = nullptr;

// Real-time signal that asks a thread to look at its suspend count and termination flag.
int ControlSignal() {
    return SIGRTMIN + 6;
}

void Acknowledge(TThreadObject* self) {
    self->answered.store(self->requests.load(std::memory_order_acquire), std::memory_order_release);
    FutexWake(&self->answered, INT_MAX);
}

// Parks while the suspend count is above 0; abandons the thread's frames when it is to
// end. Called with no lock of this layer held.
void ApplyControl(TThreadObject* self) {
    for (;;) {
        if (self->exiting.load(std::memory_order_acquire)) {
            Acknowledge(self);
            return;
        }
        if (self->terminating.load(std::memory_order_acquire) && !self->foreign)
            siglongjmp(self->abandon, 1);
        uint32_t word = self->resumeWord.load(std::memory_order_acquire);
        Acknowledge(self);
        if (self->suspendCount.load(std::memory_order_acquire) <= 0) return;
        self->parked.store(true);
        FutexWait(&self->resumeWord, word, nullptr);
        self->parked.store(false);
    }
}

void OnControlSignal(int) {
    int savedErrno = errno;
    TThreadObject* self = tlsSelf;
    if (self) {
        // Inside the library the thread honours the request when it leaves.
        if (self->regionDepth.load() > 0)
            Acknowledge(self);
        else
            ApplyControl(self);
    }
    errno = savedErrno;
}

void InstallControlHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = &OnControlSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(ControlSignal(), &action, nullptr);
    });
}

// A full memory barrier on every running thread of the process (membarrier), falling
// back to a plain fence where the kernel lacks it.
void ProcessWideBarrier() {
    static const bool registered =
        syscall(SYS_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) == 0;
    if (!registered || syscall(SYS_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0) != 0)
        std::atomic_thread_fence(std::memory_order_seq_cst);
}

bool SendControlSignal(TThreadObject* thread) {
    InstallControlHandler();
    return syscall(SYS_tgkill, getpid(), static_cast<pid_t>(thread->threadId), ControlSignal()) ==
           0;
}

std::unordered_map<DWORD, TThreadObject*>& Threads() CVQ_REQUIRES(g_registryLock) {
    static auto* threads =
        new std::unordered_map<DWORD, TThreadObject*>;  // outlives threads still running at exit
    return *threads;
}

std::atomic<DWORD> priorityClass{NORMAL_PRIORITY_CLASS};

int ClassBase(DWORD cls) {
    switch (cls) {
        case IDLE_PRIORITY_CLASS:
            return 15;
        case BELOW_NORMAL_PRIORITY_CLASS:
            return 5;
        case NORMAL_PRIORITY_CLASS:
            return 0;
        case ABOVE_NORMAL_PRIORITY_CLASS:
            return -5;
        case HIGH_PRIORITY_CLASS:
            return -10;
        case REALTIME_PRIORITY_CLASS:
            return -15;
        default:
            return INT_MIN;
    }
}

// The nice value of a thread priority within a priority class; INT_MIN if invalid.
int NiceFor(int priority, DWORD cls) {
    int base = ClassBase(cls);
    if (base == INT_MIN) return INT_MIN;
    int nice;
    switch (priority) {
        case THREAD_PRIORITY_IDLE:
            return 19;
        case THREAD_PRIORITY_TIME_CRITICAL:
            return -20;
        case THREAD_PRIORITY_LOWEST:
            nice = base + 4;
            break;
        case THREAD_PRIORITY_BELOW_NORMAL:
            nice = base + 2;
            break;
        case THREAD_PRIORITY_NORMAL:
            nice = base;
            break;
        case THREAD_PRIORITY_ABOVE_NORMAL:
            nice = base - 2;
            break;
        case THREAD_PRIORITY_HIGHEST:
            nice = base - 4;
            break;
        default:
            return INT_MIN;
    }
    return std::clamp(nice, -20, 19);
}

bool ApplyNice(DWORD threadId, int nice) {
    return setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), nice) == 0;
}

void FinishThread(TThreadObject* thread, DWORD exitCode) {
    EnterControlRegion();  // never left: nothing is honoured on the way out
    thread->exiting.store(true, std::memory_order_release);
    Acknowledge(thread);
    UnregisterThread(thread);
    SignalThreadEnded(thread, exitCode);
    tlsSelf = nullptr;
    Release(thread);
}

// Ends the data of a thread the library did not start when that thread exits.
struct TForeignThreadExit {
    TThreadObject* thread = nullptr;
    ~TForeignThreadExit() {
        if (thread) FinishThread(thread, 0);
    }
};
thread_local TForeignThreadExit foreignThreadExit;

void* ThreadMain(void* parameter) {
    auto* self = static_cast<TThreadObject*>(parameter);
    tlsSelf = self;  // its region depth is 1: no control until the thread may run
    self->threadId = CurrentThreadId();
    self->startPhase.store(1, std::memory_order_release);
    FutexWake(&self->startPhase, 1);
    while (self->startPhase.load(std::memory_order_acquire) != 2)
        FutexWait(&self->startPhase, 1, nullptr);

    DWORD exitCode;
    if (sigsetjmp(self->abandon, 1) == 0) {
        LeaveControlRegion();
        ApplyControl(self);  // the gate of a thread started suspended
        exitCode = self->entry(self->argument);
    } else {
        self->regionDepth.store(0, std::memory_order_relaxed);
        exitCode = self->requestedExitCode.load();
        self->exiting.store(true, std::memory_order_release);
        if (self->forcedEnd) self->forcedEnd();
    }
    FinishThread(self, exitCode);
    return nullptr;
}

TThreadObject* ThreadOf(HANDLE handle) {
    TKernelObject* object = ObjectOf(handle);
    return object && object->kind == EObjectKind::Thread ? static_cast<TThreadObject*>(object)
                                                         : nullptr;
}

}  // namespace

void FutexWait(std::atomic<uint32_t>* word, uint32_t expected, const timespec* relative) {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAIT_PRIVATE, expected, relative,
            nullptr, 0);
}

void FutexWake(std::atomic<uint32_t>* word, int count) {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAKE_PRIVATE, count, nullptr,
            nullptr, 0);
}

uint64_t MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000 + static_cast<uint64_t>(now.tv_nsec);
}

bool RemainingUntil(uint64_t deadline, timespec& relative) {
    int64_t left = static_cast<int64_t>(deadline - MonotonicNanoseconds());
    if (left <= 0) return false;
    relative.tv_sec = left / 1000000000;
    relative.tv_nsec = left % 1000000000;
    return true;
}

// Threads without an object cannot be suspended or terminated: no depth to keep. Only
// the thread itself writes its depth, so plain stores do; the suspender pays for the
// ordering with a process-wide barrier (see SuspendThreadObject).
void EnterControlRegion() {
    if (TThreadObject* self = tlsSelf) {
        self->regionDepth.store(self->regionDepth.load(std::memory_order_relaxed) + 1,
                                std::memory_order_relaxed);
        std::atomic_signal_fence(std::memory_order_seq_cst);
    }
}

void LeaveControlRegion() {
    TThreadObject* self = tlsSelf;
    if (!self) return;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    int depth = self->regionDepth.load(std::memory_order_relaxed) - 1;
    self->regionDepth.store(depth, std::memory_order_relaxed);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (depth == 0 && (self->suspendCount.load(std::memory_order_relaxed) > 0 ||
                       self->terminating.load(std::memory_order_relaxed)))
        ApplyControl(self);
}

bool TerminationRequested() {
    TThreadObject* self = tlsSelf;
    return self && self->terminating.load(std::memory_order_acquire) &&
           !self->exiting.load(std::memory_order_acquire);
}

TThreadObject* CurrentThreadObject(bool create) {
    if (tlsSelf || !create) return tlsSelf;
    auto* thread = new TThreadObject;
    thread->foreign = true;
    thread->threadId = cvq::platform::CurrentThreadId();
    tlsSelf = thread;
    RegisterThread(thread);
    foreignThreadExit.thread = thread;
    return thread;
}

TKernelObject* ObjectOf(HANDLE handle) {
    if (handle == cvq::platform::CurrentThreadPseudoHandle()) return CurrentThreadObject(true);
    return static_cast<TKernelObject*>(handle);
}

void RegisterThread(TThreadObject* thread) {
    TControlRegion region;
    cvq::TMutexGuard lock(g_registryLock);
    Threads()[thread->threadId] = thread;
}

void UnregisterThread(TThreadObject* thread) {
    std::shared_ptr<MessageQueue> queue;
    {
        TControlRegion region;
        cvq::TMutexGuard lock(g_registryLock);
        auto found = Threads().find(thread->threadId);
        if (found != Threads().end() && found->second == thread) Threads().erase(found);
        queue = std::move(thread->queue);
    }
    if (queue) CloseQueue(queue);
}

std::shared_ptr<MessageQueue> QueueOfThread(DWORD threadId) {
    TControlRegion region;
    cvq::TMutexGuard lock(g_registryLock);
    auto found = Threads().find(threadId);
    if (found == Threads().end()) return nullptr;
    TThreadObject* thread = found->second;
    if (!thread->queue && !thread->exiting.load()) thread->queue = CreateQueue(threadId);
    return thread->queue;
}

}  // namespace cvq::platform::posix

namespace cvq::platform {

using namespace posix;

DWORD CurrentThreadId() {
    return FastThreadId();
}

bool StartThread(TThreadStart& start) {
    start.handle = nullptr;
    start.threadId = 0;
    if (!start.entry) return false;
    InstallControlHandler();
    auto* thread = new TThreadObject;
    thread->entry = start.entry;
    thread->argument = start.argument;
    thread->forcedEnd = start.forcedEnd;
    thread->references.store(2);  // the caller's handle and the running thread
    thread->regionDepth.store(1);
    if (start.suspended) thread->suspendCount.store(1);

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (start.stackSize > 0)
        pthread_attr_setstacksize(&attributes,
                                  std::max<size_t>(start.stackSize, PTHREAD_STACK_MIN));
    pthread_t id;
    int failed = pthread_create(&id, &attributes, &ThreadMain, thread);
    pthread_attr_destroy(&attributes);
    if (failed) {
        delete thread;
        return false;
    }
    while (thread->startPhase.load(std::memory_order_acquire) != 1)
        FutexWait(&thread->startPhase, 0, nullptr);
    RegisterThread(thread);  // messages may be posted to it from now on
    int nice = NiceFor(start.priority, priorityClass.load());
    if (nice != INT_MIN && ApplyNice(thread->threadId, nice))
        thread->priority.store(start.priority);
    start.handle = thread;
    start.threadId = thread->threadId;
    if (start.published) start.published(start.publishContext, thread, thread->threadId);
    thread->startPhase.store(2, std::memory_order_release);
    FutexWake(&thread->startPhase, 1);
    return true;
}

DWORD SuspendThreadObject(HANDLE handle) {
    TThreadObject* thread = ThreadOf(handle);
    if (!thread || thread->exiting.load()) return 0xFFFFFFFFu;
    int32_t previous = thread->suspendCount.fetch_add(1);
    if (previous != 0) return static_cast<DWORD>(previous);
    if (thread == tlsSelf) {
        ApplyControl(thread);
        return 0;
    }
    // Every thread has passed a full barrier: the count raised above and the depth read
    // below order against the plain stores of Enter/LeaveControlRegion.
    ProcessWideBarrier();
    // A thread inside the library parks when it leaves; otherwise the signal parks it.
    // Returns once either is sure (or the thread is parked already from an earlier
    // request), so the thread runs no more code of its own.
    if (thread->regionDepth.load() > 0) return 0;
    uint32_t request = thread->requests.fetch_add(1) + 1;
    if (!SendControlSignal(thread)) return 0;
    while (static_cast<int32_t>(thread->answered.load(std::memory_order_acquire) - request) < 0 &&
           !thread->exiting.load() && thread->regionDepth.load() == 0 && !thread->parked.load()) {
        timespec slice{0, 1000000};
        FutexWait(&thread->answered, thread->answered.load(), &slice);
    }
    return 0;
}

DWORD ResumeThreadObject(HANDLE handle) {
    TThreadObject* thread = ThreadOf(handle);
    if (!thread) return 0xFFFFFFFFu;
    int32_t previous = thread->suspendCount.load();
    do {
        if (previous <= 0) return 0;
    } while (!thread->suspendCount.compare_exchange_weak(previous, previous - 1));
    if (previous == 1) {
        thread->resumeWord.fetch_add(1, std::memory_order_release);
        FutexWake(&thread->resumeWord, INT_MAX);
    }
    return static_cast<DWORD>(previous);
}

bool TerminateThreadObject(HANDLE handle, DWORD exitCode) {
    TThreadObject* thread = ThreadOf(handle);
    if (!thread || thread->foreign) return false;
    bool expected = false;
    if (thread->terminating.compare_exchange_strong(expected, true)) {
        thread->requestedExitCode.store(exitCode);
        if (thread == tlsSelf) ApplyControl(thread);  // does not return
        thread->resumeWord.fetch_add(1, std::memory_order_release);
        FutexWake(&thread->resumeWord, INT_MAX);
        if (!thread->exiting.load()) SendControlSignal(thread);
        InterruptObjectWait(thread);
        std::shared_ptr<MessageQueue> queue;
        {
            TControlRegion region;
            cvq::TMutexGuard lock(g_registryLock);
            queue = thread->queue;
        }
        if (queue) InterruptQueueWait(queue);
    }
    return WaitForObject(thread, INFINITE) == WAIT_OBJECT_0;
}

bool GetThreadExitCode(HANDLE handle, DWORD* exitCode) {
    TThreadObject* thread = ThreadOf(handle);
    return thread && exitCode && ThreadExitCodeOf(thread, exitCode);
}

int GetThreadPriorityValue(HANDLE handle) {
    TThreadObject* thread = ThreadOf(handle);
    return thread ? thread->priority.load() : THREAD_PRIORITY_ERROR_RETURN;
}

bool SetThreadPriorityValue(HANDLE handle, int priority) {
    TThreadObject* thread = ThreadOf(handle);
    int nice = NiceFor(priority, priorityClass.load());
    if (!thread || nice == INT_MIN || thread->exiting.load()) return false;
    if (!ApplyNice(thread->threadId, nice)) return false;
    thread->priority.store(priority);
    return true;
}

DWORD GetProcessPriorityClass() {
    return priorityClass.load();
}

bool SetProcessPriorityClass(DWORD cls) {
    if (ClassBase(cls) == INT_MIN) return false;
    CurrentThreadObject(true);
    TControlRegion region;
    cvq::TMutexGuard lock(g_registryLock);
    DWORD previous = priorityClass.load();
    std::vector<TThreadObject*> changed;
    for (auto& [id, thread] : Threads()) {
        if (ApplyNice(id, NiceFor(thread->priority.load(), cls))) {
            changed.push_back(thread);
            continue;
        }
        for (TThreadObject* undo : changed)
            ApplyNice(undo->threadId, NiceFor(undo->priority.load(), previous));
        return false;
    }
    priorityClass.store(cls);
    return true;
}

void YieldThread() {
    sched_yield();
}

void SleepMilliseconds(DWORD milliseconds) {
    timespec delay{static_cast<time_t>(milliseconds / 1000),
                   static_cast<long>(milliseconds % 1000) * 1000000};
    while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
}

}  // namespace cvq::platform
