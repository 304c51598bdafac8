// Events, semaphores, the multi-event waits and the global lock.
#include <commonvcqx/platform/internal/KernelObjects.h>
#include <commonvcqx/threads/CriticalSection.h>
#include <commonvcqx/threads/Semaphore.h>
#include <commonvcqx/threads/ThreadEvent.h>
#include <commonvcqx/threads/WaitFunctions.h>

namespace platform = cvq::platform;

TThreadEvent::TThreadEvent(char initiallyTrue, char autoReset)
    : handle_(platform::CreateEventObject(autoReset == 0, initiallyTrue != 0)) {}

TThreadEvent::TThreadEvent(const TThreadEvent& other)
    : handle_(platform::DuplicateObjectHandle(other.handle_)) {}

TThreadEvent& TThreadEvent::operator=(const TThreadEvent& other) {
    if (handle_ != other.handle_) {
        HANDLE shared = platform::DuplicateObjectHandle(other.handle_);
        platform::CloseObjectHandle(handle_);
        handle_ = shared;
    }
    return *this;
}

TThreadEvent::~TThreadEvent() { platform::CloseObjectHandle(handle_); }

char TThreadEvent::IsTrue() const { return platform::WaitForObject(handle_, 0) == WAIT_OBJECT_0; }

char TThreadEvent::IsFalse() const { return platform::WaitForObject(handle_, 0) != WAIT_OBJECT_0; }

char TThreadEvent::WaitForIt(uint32_t milliseconds) const {
    return platform::WaitForObject(handle_, milliseconds) == WAIT_OBJECT_0;
}

void TThreadEvent::SetTrue() { platform::SetEventObject(handle_); }
void TThreadEvent::SetFalse() { platform::ResetEventObject(handle_); }
void TThreadEvent::Pulse() { platform::PulseEventObject(handle_); }

TSemaphore::TSemaphore(int32_t initialCount, int32_t maximumCount)
    : handle_(platform::CreateSemaphoreObject(initialCount, maximumCount)),
      maximumCount_(maximumCount) {}

TSemaphore::TSemaphore(const TSemaphore& other)
    : handle_(platform::DuplicateObjectHandle(other.handle_)), maximumCount_(other.maximumCount_) {}

TSemaphore& TSemaphore::operator=(const TSemaphore& other) {
    if (handle_ != other.handle_) {
        HANDLE shared = platform::DuplicateObjectHandle(other.handle_);
        platform::CloseObjectHandle(handle_);
        handle_ = shared;
    }
    maximumCount_ = other.maximumCount_;
    return *this;
}

TSemaphore::~TSemaphore() { platform::CloseObjectHandle(handle_); }

char TSemaphore::WaitForAccess(uint32_t milliseconds) {
    return platform::WaitForObject(handle_, milliseconds) == WAIT_OBJECT_0;
}

void TSemaphore::ReleaseAccess(int32_t count) {
    platform::ReleaseSemaphoreObject(handle_, count);
}

void TSemaphore::WaitForExclusiveAccess() {
    // A failed wait (no semaphore) must not spin forever: stop at the first failure.
    for (int32_t i = 0; i < maximumCount_; ++i)
        if (platform::WaitForObject(handle_, INFINITE) != WAIT_OBJECT_0) return;
}

void TSemaphore::ReleaseExclusiveAccess() {
    platform::ReleaseSemaphoreObject(handle_, maximumCount_);
}

TCriticalSection& GetGlobalCriticalSection() {
    static TCriticalSection section;
    return section;
}

namespace {

int32_t WaitForEvents(std::initializer_list<TThreadEvent*> events, bool waitAll,
                      uint32_t milliseconds) {
    HANDLE handles[5];
    DWORD count = 0;
    bool first = true;
    for (TThreadEvent* event : events) {
        if (first || event->GetHandle()) handles[count++] = event->GetHandle();
        first = false;
    }
    DWORD result = platform::WaitForObjects(handles, count, waitAll, milliseconds);
    return result == WAIT_TIMEOUT ? -1 : static_cast<int32_t>(result);
}

}  // namespace

int32_t WaitForAll(TThreadEvent& a, TThreadEvent& b, uint32_t ms) {
    return WaitForEvents({&a, &b}, true, ms);
}
int32_t WaitForAll(TThreadEvent& a, TThreadEvent& b, TThreadEvent& c, uint32_t ms) {
    return WaitForEvents({&a, &b, &c}, true, ms);
}
int32_t WaitForAll(TThreadEvent& a, TThreadEvent& b, TThreadEvent& c, TThreadEvent& d,
                   uint32_t ms) {
    return WaitForEvents({&a, &b, &c, &d}, true, ms);
}
int32_t WaitForAll(TThreadEvent& a, TThreadEvent& b, TThreadEvent& c, TThreadEvent& d,
                   TThreadEvent& e, uint32_t ms) {
    return WaitForEvents({&a, &b, &c, &d, &e}, true, ms);
}
int32_t WaitForAny(TThreadEvent& a, TThreadEvent& b, uint32_t ms) {
    return WaitForEvents({&a, &b}, false, ms);
}
int32_t WaitForAny(TThreadEvent& a, TThreadEvent& b, TThreadEvent& c, uint32_t ms) {
    return WaitForEvents({&a, &b, &c}, false, ms);
}
int32_t WaitForAny(TThreadEvent& a, TThreadEvent& b, TThreadEvent& c, TThreadEvent& d,
                   uint32_t ms) {
    return WaitForEvents({&a, &b, &c, &d}, false, ms);
}
int32_t WaitForAny(TThreadEvent& a, TThreadEvent& b, TThreadEvent& c, TThreadEvent& d,
                   TThreadEvent& e, uint32_t ms) {
    return WaitForEvents({&a, &b, &c, &d, &e}, false, ms);
}
