// Events, semaphores, the multi-event waits and the global lock.
#include <commonvcqx/platform/internal/KernelObjects.h>
#include <commonvcqx/threads/CriticalSection.h>
#include <commonvcqx/threads/Semaphore.h>
#include <commonvcqx/threads/ThreadEvent.h>
#include <commonvcqx/threads/WaitFunctions.h>

namespace platform = cvq::platform;

TThreadEvent::TThreadEvent(char initiallyTrue, char autoReset)
    : m_handle(platform::CreateEventObject(autoReset == 0, initiallyTrue != 0)) {}

TThreadEvent::TThreadEvent(const TThreadEvent& other)
    : m_handle(platform::DuplicateObjectHandle(other.m_handle)) {}

TThreadEvent& TThreadEvent::operator=(const TThreadEvent& other) {
    if (m_handle != other.m_handle) {
        HANDLE shared = platform::DuplicateObjectHandle(other.m_handle);
        platform::CloseObjectHandle(m_handle);
        m_handle = shared;
    }
    return *this;
}

TThreadEvent::~TThreadEvent() {
    platform::CloseObjectHandle(m_handle);
}

char TThreadEvent::IsTrue() const {
    return platform::WaitForObject(m_handle, 0) == WAIT_OBJECT_0;
}

char TThreadEvent::IsFalse() const {
    return platform::WaitForObject(m_handle, 0) != WAIT_OBJECT_0;
}

char TThreadEvent::WaitForIt(uint32_t milliseconds) const {
    return platform::WaitForObject(m_handle, milliseconds) == WAIT_OBJECT_0;
}

void TThreadEvent::SetTrue() {
    platform::SetEventObject(m_handle);
}
void TThreadEvent::SetFalse() {
    platform::ResetEventObject(m_handle);
}
void TThreadEvent::Pulse() {
    platform::PulseEventObject(m_handle);
}

TSemaphore::TSemaphore(int32_t initialCount, int32_t maximumCount)
    : m_handle(platform::CreateSemaphoreObject(initialCount, maximumCount)),
      m_maximumCount(maximumCount) {}

TSemaphore::TSemaphore(const TSemaphore& other)
    : m_handle(platform::DuplicateObjectHandle(other.m_handle)),
      m_maximumCount(other.m_maximumCount) {}

TSemaphore& TSemaphore::operator=(const TSemaphore& other) {
    if (m_handle != other.m_handle) {
        HANDLE shared = platform::DuplicateObjectHandle(other.m_handle);
        platform::CloseObjectHandle(m_handle);
        m_handle = shared;
    }
    m_maximumCount = other.m_maximumCount;
    return *this;
}

TSemaphore::~TSemaphore() {
    platform::CloseObjectHandle(m_handle);
}

char TSemaphore::WaitForAccess(uint32_t milliseconds) {
    return platform::WaitForObject(m_handle, milliseconds) == WAIT_OBJECT_0;
}

void TSemaphore::ReleaseAccess(int32_t count) {
    platform::ReleaseSemaphoreObject(m_handle, count);
}

void TSemaphore::WaitForExclusiveAccess() {
    // A failed wait (no semaphore) must not spin forever: stop at the first failure.
    for (int32_t i = 0; i < m_maximumCount; ++i)
        if (platform::WaitForObject(m_handle, INFINITE) != WAIT_OBJECT_0) return;
}

void TSemaphore::ReleaseExclusiveAccess() {
    platform::ReleaseSemaphoreObject(m_handle, m_maximumCount);
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
