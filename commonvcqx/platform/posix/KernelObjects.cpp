// Events, semaphores and thread handles, and waits on them. One lock guards every
// object's state and waiter list; each waiter sleeps on its own word, and a signal
// grants the wait (consuming what it takes) before waking the waiter, so an
// auto-reset event or a semaphore unit goes to exactly one wait. A waiter watches its
// word for a short while before it sleeps, and says when it does: a grant that comes
// meanwhile costs neither side a system call.
#include <commonvcqx/platform/internal/KernelObjects.h>
#include <commonvcqx/platform/internal/SystemFacts.h>

#include "SpinPause.h"
#include "ThreadState.h"

namespace cvq::platform::posix {

constinit cvq::TMutex g_objectLock;

namespace {

constexpr uint32_t kWaiting = 0;
constexpr uint32_t kGranted = 1;
constexpr uint32_t kInterrupted = 2;
constexpr uint32_t kSleeping = 3;  // waiting, and asleep on the word (or about to be)

// Rounds of watching the word before sleeping: about 5 microseconds, longer than a
// running partner takes to answer. Much longer loses badly on a loaded machine, where
// the partner is often off its processor; one processor has no partner running at all.
constexpr int kWatchRounds = 200;

bool Waiting(uint32_t state) {
    return state == kWaiting || state == kSleeping;
}

}  // namespace

struct Waiter {
    TKernelObject* objects[MAXIMUM_WAIT_OBJECTS];
    TWaitLink links[MAXIMUM_WAIT_OBJECTS];
    DWORD count = 0;
    bool waitAll = false;
    TThreadObject* owner = nullptr;
    DWORD result = WAIT_FAILED;
    std::atomic<uint32_t> state{kWaiting};
};

namespace {

bool IsSignalled(const TKernelObject* object) CVQ_REQUIRES(g_objectLock) {
    return object->kind == EObjectKind::Semaphore ? object->count > 0 : object->signalled;
}

void Consume(TKernelObject* object) CVQ_REQUIRES(g_objectLock) {
    if (object->kind == EObjectKind::Semaphore)
        --object->count;
    else if (object->kind == EObjectKind::Event && !object->manualReset)
        object->signalled = false;
}

// Takes what the wait asks for if it is there now; the wait's result code, or -1.
long TryAcquire(TKernelObject* const* objects, DWORD count, bool waitAll)
    CVQ_REQUIRES(g_objectLock) {
    if (waitAll) {
        for (DWORD i = 0; i < count; ++i)
            if (!IsSignalled(objects[i])) return -1;
        for (DWORD i = 0; i < count; ++i) Consume(objects[i]);
        return 0;
    }
    for (DWORD i = 0; i < count; ++i) {
        if (IsSignalled(objects[i])) {
            Consume(objects[i]);
            return static_cast<long>(i);
        }
    }
    return -1;
}

void Link(Waiter& waiter) CVQ_REQUIRES(g_objectLock) {
    for (DWORD i = 0; i < waiter.count; ++i) {
        waiter.links[i].waiter = &waiter;
        waiter.objects[i]->waiters.PushBack(waiter.links[i]);
    }
}

void Unlink(Waiter& waiter) CVQ_REQUIRES(g_objectLock) {
    for (DWORD i = 0; i < waiter.count; ++i) waiter.objects[i]->waiters.Unlink(waiter.links[i]);
}

// Words of granted waiters, woken after the lock is released so that a woken thread
// does not run straight into the held lock.
class TWakeList {
public:
    TWakeList() = default;
    TWakeList(const TWakeList&) = delete;
    TWakeList& operator=(const TWakeList&) = delete;
    ~TWakeList() { WakeAll(); }
    void Add(std::atomic<uint32_t>* word) {
        if (m_count == kCapacity)
            FutexWake(word, 1);  // rare: many waiters at once
        else
            m_words[m_count++] = word;
    }
    void WakeAll() {
        // A waiter may already have seen its grant and gone; waking its stale word is
        // harmless (every futex waiter allows for spurious wake-ups).
        for (int i = 0; i < m_count; ++i) FutexWake(m_words[i], 1);
        m_count = 0;
    }

private:
    static constexpr int kCapacity = 16;
    std::atomic<uint32_t>* m_words[kCapacity];
    int m_count = 0;
};

// Grants, oldest first, the waits that the object's new state satisfies.
void GrantWaits(TKernelObject* object, TWakeList& wake) CVQ_REQUIRES(g_objectLock) {
    TWaitLink* link = object->waiters.First();
    while (link && IsSignalled(object)) {
        Waiter* waiter = link->waiter;
        long result = Waiting(waiter->state.load(std::memory_order_relaxed))
                          ? TryAcquire(waiter->objects, waiter->count, waiter->waitAll)
                          : -1;
        if (result < 0) {
            link = link->next;
            continue;
        }
        Unlink(*waiter);
        waiter->result = WAIT_OBJECT_0 + static_cast<DWORD>(result);
        if (waiter->owner && waiter->owner->activeWait == waiter)
            waiter->owner->activeWait = nullptr;
        if (waiter->state.exchange(kGranted, std::memory_order_release) == kSleeping)
            wake.Add(&waiter->state);
        link = object->waiters.First();
    }
}

TKernelObject* EventOf(HANDLE handle) {
    TKernelObject* object = ObjectOf(handle);
    return object && object->kind == EObjectKind::Event ? object : nullptr;
}

}  // namespace

void AddReference(TKernelObject* object) {
    object->references.fetch_add(1, std::memory_order_relaxed);
}

void Release(TKernelObject* object) {
    if (object->references.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    // A waiter sees its grant without the lock, so it may close the last handle while
    // the thread that signalled is still granting waits on the object: let it finish.
    {
        TControlRegion region;
        cvq::TMutexGuard lock(g_objectLock);
    }
    delete object;
}

void SignalThreadEnded(TThreadObject* thread, DWORD exitCode) {
    TControlRegion region;
    TWakeList wake;
    cvq::TMutexGuard lock(g_objectLock);
    if (thread->signalled) return;
    thread->exitCode = exitCode;
    thread->signalled = true;
    GrantWaits(thread, wake);
}

void InterruptObjectWait(TThreadObject* thread) {
    TControlRegion region;
    cvq::TMutexGuard lock(g_objectLock);
    Waiter* waiter = thread->activeWait;
    if (!waiter) return;
    // The waiter may go to sleep meanwhile: only the word's own exchange tells.
    uint32_t state = waiter->state.load(std::memory_order_relaxed);
    while (Waiting(state) && !waiter->state.compare_exchange_weak(state, kInterrupted)) {
    }
    if (state == kSleeping) FutexWake(&waiter->state, 1);
}

bool ThreadExitCodeOf(TThreadObject* thread, DWORD* exitCode) {
    cvq::TMutexGuard lock(g_objectLock);
    if (!thread->signalled) return false;
    *exitCode = thread->exitCode;
    return true;
}

}  // namespace cvq::platform::posix

namespace cvq::platform {

using namespace posix;

HANDLE CreateEventObject(bool manualReset, bool initiallySignalled) {
    return new TKernelObject(EObjectKind::Event, manualReset, initiallySignalled);
}

HANDLE CreateSemaphoreObject(int32_t initialCount, int32_t maximumCount) {
    if (maximumCount < 1 || initialCount < 0 || initialCount > maximumCount) return nullptr;
    return new TKernelObject(EObjectKind::Semaphore, false, false, initialCount, maximumCount);
}

HANDLE DuplicateObjectHandle(HANDLE handle) {
    if (!handle || handle == CurrentThreadPseudoHandle()) return handle;
    AddReference(static_cast<TKernelObject*>(handle));
    return handle;
}

void CloseObjectHandle(HANDLE handle) {
    if (!handle || handle == CurrentThreadPseudoHandle()) return;
    Release(static_cast<TKernelObject*>(handle));
}

bool SetEventObject(HANDLE handle) {
    TKernelObject* event = EventOf(handle);
    if (!event) return false;
    TControlRegion region;
    TWakeList wake;
    cvq::TMutexGuard lock(g_objectLock);
    event->signalled = true;
    GrantWaits(event, wake);
    return true;
}

bool ResetEventObject(HANDLE handle) {
    TKernelObject* event = EventOf(handle);
    if (!event) return false;
    TControlRegion region;
    cvq::TMutexGuard lock(g_objectLock);
    event->signalled = false;
    return true;
}

bool PulseEventObject(HANDLE handle) {
    TKernelObject* event = EventOf(handle);
    if (!event) return false;
    TControlRegion region;
    TWakeList wake;
    cvq::TMutexGuard lock(g_objectLock);
    event->signalled = true;
    GrantWaits(event, wake);
    event->signalled = false;
    return true;
}

bool ReleaseSemaphoreObject(HANDLE handle, int32_t count, int32_t* previousCount) {
    TKernelObject* semaphore = ObjectOf(handle);
    if (!semaphore || semaphore->kind != EObjectKind::Semaphore || count < 1) return false;
    TControlRegion region;
    TWakeList wake;
    cvq::TMutexGuard lock(g_objectLock);
    if (static_cast<int64_t>(semaphore->count) + count > semaphore->maximum) return false;
    if (previousCount) *previousCount = semaphore->count;
    semaphore->count += count;
    GrantWaits(semaphore, wake);
    return true;
}

DWORD WaitForObjects(const HANDLE* handles, DWORD count, bool waitAll, DWORD milliseconds) {
    if (!handles || count == 0 || count > MAXIMUM_WAIT_OBJECTS) return WAIT_FAILED;
    Waiter waiter;
    waiter.count = count;
    waiter.waitAll = waitAll;
    for (DWORD i = 0; i < count; ++i) {
        waiter.objects[i] = ObjectOf(handles[i]);
        if (!waiter.objects[i]) return WAIT_FAILED;
        if (waitAll)
            for (DWORD j = 0; j < i; ++j)
                if (waiter.objects[j] == waiter.objects[i]) return WAIT_FAILED;
    }
    TThreadObject* self = CurrentThreadObject(false);
    waiter.owner = self;
    uint64_t deadline =
        milliseconds == INFINITE ? 0 : MonotonicNanoseconds() + uint64_t{milliseconds} * 1000000;

    TControlRegion region;
    {
        cvq::TMutexGuard lock(g_objectLock);
        long result = TryAcquire(waiter.objects, count, waitAll);
        if (result >= 0) return WAIT_OBJECT_0 + static_cast<DWORD>(result);
        if (milliseconds == 0) return WAIT_TIMEOUT;
        if (self && self->terminating.load()) return WAIT_FAILED;
        // The wait keeps its objects alive even if their handles are closed meanwhile.
        for (DWORD i = 0; i < count; ++i) AddReference(waiter.objects[i]);
        Link(waiter);
        if (self) self->activeWait = &waiter;
    }
    DWORD outcome;
    static const int watchRounds = UsableProcessorCount() > 1 ? kWatchRounds : 0;
    for (int i = 0; i < watchRounds && waiter.state.load(std::memory_order_relaxed) == kWaiting;
         ++i)
        SpinPause();
    for (;;) {
        uint32_t state = waiter.state.load(std::memory_order_acquire);
        if (state == kGranted) {
            outcome = waiter.result;
            break;
        }
        timespec relative{};
        bool expired = milliseconds != INFINITE && !RemainingUntil(deadline, relative);
        if (state == kInterrupted || expired) {
            cvq::TMutexGuard lock(g_objectLock);
            if (waiter.state.load(std::memory_order_acquire) == kGranted) {
                outcome = waiter.result;
            } else {
                Unlink(waiter);
                if (self && self->activeWait == &waiter) self->activeWait = nullptr;
                outcome = state == kInterrupted ? WAIT_FAILED : WAIT_TIMEOUT;
            }
            break;
        }
        // Granters wake only a waiter that said it sleeps.
        if (state == kWaiting &&
            !waiter.state.compare_exchange_strong(state, kSleeping, std::memory_order_acquire))
            continue;
        FutexWait(&waiter.state, kSleeping, milliseconds == INFINITE ? nullptr : &relative);
    }
    for (DWORD i = 0; i < count; ++i) Release(waiter.objects[i]);
    return outcome;
}

HANDLE CurrentThreadPseudoHandle() {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));
}

}  // namespace cvq::platform
