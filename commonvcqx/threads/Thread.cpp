// TThread on the platform threads, and the seam the per-thread data plugs into.
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/internal/KernelObjects.h>
#include <commonvcqx/platform/internal/Threads.h>
#include <commonvcqx/threads/Thread.h>

#include <algorithm>

namespace platform = cvq::platform;

namespace {

std::atomic<cvq::detail::TThreadHook> beginHook{nullptr};
std::atomic<cvq::detail::TThreadHook> endHook{nullptr};

void RunEndHook() {
    if (cvq::detail::TThreadHook end = endHook.load()) end();
}

constexpr uint32_t kFailed = 0xFFFFFFFFu;

}  // namespace

namespace cvq::detail {

void SetThreadDataHooks(TThreadHook begin, TThreadHook end) {
    beginHook.store(begin);
    endHook.store(end);
}

}  // namespace cvq::detail

TThread::TThread(const char* name)
    : m_name(name),
      m_threadId(0),
      m_threadHandle(nullptr),
      m_suspendCount(0),
      m_autoDeath(1),
      m_created(0),
      m_selfDestructible(0),
      m_exitCode(0) {}

TThread::TThread(HANDLE handle, uint32_t threadId, const char* name)
    : m_name(name),
      m_threadId(threadId),
      m_threadHandle(platform::DuplicateObjectHandle(handle)),
      m_suspendCount(0),
      m_autoDeath(0),
      m_created(1),
      m_selfDestructible(0),
      m_exitCode(0) {}

TThread::TThread(const TThread& other)
    : m_name(other.m_name),
      m_threadId(other.m_threadId),
      m_threadHandle(platform::DuplicateObjectHandle(other.m_threadHandle)),
      m_suspendCount(other.m_suspendCount.load()),
      m_autoDeath(other.m_autoDeath),
      m_created(other.m_created),
      m_selfDestructible(other.m_selfDestructible),
      m_exitCode(other.m_exitCode) {}

TThread& TThread::operator=(const TThread& other) {
    if (this == &other) return *this;
    HANDLE shared = platform::DuplicateObjectHandle(other.m_threadHandle);
    DropHandle();
    m_name = other.m_name;
    m_threadId = other.m_threadId;
    m_threadHandle = shared;
    m_suspendCount.store(other.m_suspendCount.load());
    m_autoDeath = other.m_autoDeath;
    m_created = other.m_created;
    m_selfDestructible = other.m_selfDestructible;
    m_exitCode = other.m_exitCode;
    return *this;
}

TThread::~TThread() {
    if (m_autoDeath)
        WaitForEnd();
    else
        DropHandle();  // the thread runs on; only this object's reference goes
}

void TThread::DropHandle() {
    platform::CloseObjectHandle(m_threadHandle);
    m_threadHandle = nullptr;
}

char TThread::PostThreadMessageA(uint32_t message, int32_t wParam, int32_t lParam) {
    return ::PostThreadMessageA(m_threadId, message,
                                static_cast<WPARAM>(static_cast<intptr_t>(wParam)), lParam) != 0;
}

int32_t TThread::GetPriority() const {
    return platform::GetThreadPriorityValue(m_threadHandle);
}

char TThread::SetPriority(int32_t priority) {
    return platform::SetThreadPriorityValue(m_threadHandle, priority);
}

uint32_t TThread::GetPriorityClass() const {
    return platform::GetProcessPriorityClass();
}

char TThread::SetPriorityClass(uint32_t priorityClass) {
    return platform::SetProcessPriorityClass(priorityClass);
}

uint32_t TThread::Suspend() {
    m_suspendCount.fetch_add(1);
    uint32_t previous = platform::SuspendThreadObject(m_threadHandle);
    if (previous == kFailed) m_suspendCount.fetch_sub(1);
    return previous;
}

uint32_t TThread::Resume() {
    // Never below 0: a resume of a running thread must not hide a later suspend.
    int32_t count = m_suspendCount.load();
    while (count > 0 && !m_suspendCount.compare_exchange_weak(count, count - 1)) {
    }
    uint32_t previous = platform::ResumeThreadObject(m_threadHandle);
    if (count > 0 && (previous == kFailed || previous == 0)) m_suspendCount.fetch_add(1);
    return previous;
}

char TThread::Terminate(uint32_t exitCode) {
    bool done = platform::TerminateThreadObject(m_threadHandle, exitCode);
    DropHandle();
    return done;
}

void TThread::GiveUpTimeSlice() {
    platform::YieldThread();
}

void TThread::WaitForEnd() {
    if (!m_threadHandle) return;
    if (m_threadHandle != platform::CurrentThreadPseudoHandle() &&
        m_threadId != platform::CurrentThreadId())
        platform::WaitForObject(m_threadHandle, INFINITE);
    DropHandle();
}

char TThread::IsTerminated() const {
    if (!m_created) return 0;
    return !m_threadHandle || platform::WaitForObject(m_threadHandle, 0) == WAIT_OBJECT_0;
}

void TThread::Init(HANDLE handle, uint32_t threadId) {
    HANDLE own = platform::DuplicateObjectHandle(handle);
    DropHandle();
    m_threadHandle = own;
    m_threadId = threadId;
    m_autoDeath = 0;
    m_created = handle != nullptr;
}

void TThread::InitAsCurrentThread(const char* name) {
    m_name = name;
    m_autoDeath = 0;
    DropHandle();
    m_threadId = platform::CurrentThreadId();
    m_threadHandle = platform::CurrentThreadPseudoHandle();
    m_created = 1;
}

void TThread::Publish(void* object, HANDLE handle, DWORD threadId) {
    auto* self = static_cast<TThread*>(object);
    self->DropHandle();
    self->m_threadId = threadId;
    self->m_threadHandle = handle;
    self->m_created = 1;
}

char TThread::SetupAndRun(TThread* runner, int32_t priority, char suspended, int32_t stackSize) {
    if (!runner) return 0;
    if (suspended) m_suspendCount.store(1);
    platform::TThreadStart start;
    start.entry = &Starter;
    start.argument = runner;
    start.stackSize = static_cast<size_t>(std::max(stackSize, 0));
    start.suspended = suspended != 0;
    start.priority = priority;
    start.published = &Publish;
    start.publishContext = this;
    start.forcedEnd = &RunEndHook;
    // From here on `this` may already be deleted by a self-destructing thread.
    if (platform::StartThread(start)) return 1;
    if (suspended) m_suspendCount.store(0);
    m_created = 0;
    return 0;
}

uint32_t TThread::MainLoop() {
    return 0;
}

uint32_t TThread::Starter(void* parameter) {
    auto* runner = static_cast<TThread*>(parameter);
    if (cvq::detail::TThreadHook begin = beginHook.load()) begin();
    uint32_t result = runner->MainLoop();
    if (runner->m_selfDestructible) {
        runner->m_autoDeath = 0;  // its destructor must not wait for this very thread
        delete runner;
    }
    RunEndHook();
    return result;
}
