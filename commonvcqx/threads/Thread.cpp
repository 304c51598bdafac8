// TThread on the platform threads, and the per-thread data seam.
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/internal/KernelObjects.h>
#include <commonvcqx/platform/internal/Threads.h>
#include <commonvcqx/threads/Thread.h>
#include <commonvcqx/threads/internal/ThreadDataHooks.h>

#include <algorithm>

namespace platform = cvq::platform;

namespace {

std::atomic<cvq::detail::ThreadHook> beginHook{nullptr};
std::atomic<cvq::detail::ThreadHook> endHook{nullptr};

constexpr int kMaxStoppers = 8;
std::atomic<cvq::detail::ThreadHook> stoppers[kMaxStoppers];
std::atomic<int> stopperCount{0};

void RunEndHook() {
    if (cvq::detail::ThreadHook end = endHook.load()) end();
}

constexpr uint32_t kFailed = 0xFFFFFFFFu;

}  // namespace

namespace cvq::detail {

void SetThreadDataHooks(ThreadHook begin, ThreadHook end) {
    beginHook.store(begin);
    endHook.store(end);
}

bool AddCommonThreadStopper(ThreadHook stop) {
    int slot = stopperCount.load();
    do {
        if (slot >= kMaxStoppers) return false;
    } while (!stopperCount.compare_exchange_weak(slot, slot + 1));
    stoppers[slot].store(stop);
    return true;
}

}  // namespace cvq::detail

void EndCommonThreads() {
    int count = stopperCount.load();
    for (int i = 0; i < count; ++i)
        if (cvq::detail::ThreadHook stop = stoppers[i].load()) stop();
}

TThread::TThread(const char* name)
    : name_(name),
      threadId_(0),
      threadHandle_(nullptr),
      suspendCount_(0),
      autoDeath_(1),
      created_(0),
      selfDestructible_(0),
      exitCode_(0) {}

TThread::TThread(HANDLE handle, uint32_t threadId, const char* name)
    : name_(name),
      threadId_(threadId),
      threadHandle_(platform::DuplicateObjectHandle(handle)),
      suspendCount_(0),
      autoDeath_(0),
      created_(1),
      selfDestructible_(0),
      exitCode_(0) {}

TThread::TThread(const TThread& other)
    : name_(other.name_),
      threadId_(other.threadId_),
      threadHandle_(platform::DuplicateObjectHandle(other.threadHandle_)),
      suspendCount_(other.suspendCount_.load()),
      autoDeath_(other.autoDeath_),
      created_(other.created_),
      selfDestructible_(other.selfDestructible_),
      exitCode_(other.exitCode_) {}

TThread& TThread::operator=(const TThread& other) {
    if (this == &other) return *this;
    HANDLE shared = platform::DuplicateObjectHandle(other.threadHandle_);
    DropHandle();
    name_ = other.name_;
    threadId_ = other.threadId_;
    threadHandle_ = shared;
    suspendCount_.store(other.suspendCount_.load());
    autoDeath_ = other.autoDeath_;
    created_ = other.created_;
    selfDestructible_ = other.selfDestructible_;
    exitCode_ = other.exitCode_;
    return *this;
}

TThread::~TThread() {
    if (autoDeath_)
        WaitForEnd();
    else
        DropHandle();  // the thread runs on; only this object's reference goes
}

void TThread::DropHandle() {
    platform::CloseObjectHandle(threadHandle_);
    threadHandle_ = nullptr;
}

char TThread::PostThreadMessageA(uint32_t message, int32_t wParam, int32_t lParam) {
    return ::PostThreadMessageA(threadId_, message,
                                static_cast<WPARAM>(static_cast<intptr_t>(wParam)), lParam) != 0;
}

int32_t TThread::GetPriority() const { return platform::GetThreadPriorityValue(threadHandle_); }

char TThread::SetPriority(int32_t priority) {
    return platform::SetThreadPriorityValue(threadHandle_, priority);
}

uint32_t TThread::GetPriorityClass() const { return platform::GetProcessPriorityClass(); }

char TThread::SetPriorityClass(uint32_t priorityClass) {
    return platform::SetProcessPriorityClass(priorityClass);
}

uint32_t TThread::Suspend() {
    suspendCount_.fetch_add(1);
    uint32_t previous = platform::SuspendThreadObject(threadHandle_);
    if (previous == kFailed) suspendCount_.fetch_sub(1);
    return previous;
}

uint32_t TThread::Resume() {
    // Never below 0: a resume of a running thread must not hide a later suspend.
    int32_t count = suspendCount_.load();
    while (count > 0 && !suspendCount_.compare_exchange_weak(count, count - 1)) {
    }
    uint32_t previous = platform::ResumeThreadObject(threadHandle_);
    if (count > 0 && (previous == kFailed || previous == 0)) suspendCount_.fetch_add(1);
    return previous;
}

char TThread::Terminate(uint32_t exitCode) {
    bool done = platform::TerminateThreadObject(threadHandle_, exitCode);
    DropHandle();
    return done;
}

void TThread::GiveUpTimeSlice() { platform::YieldThread(); }

void TThread::WaitForEnd() {
    if (!threadHandle_) return;
    if (threadHandle_ != platform::CurrentThreadPseudoHandle() &&
        threadId_ != platform::CurrentThreadId())
        platform::WaitForObject(threadHandle_, INFINITE);
    DropHandle();
}

char TThread::IsTerminated() const {
    if (!created_) return 0;
    return !threadHandle_ || platform::WaitForObject(threadHandle_, 0) == WAIT_OBJECT_0;
}

void TThread::Init(HANDLE handle, uint32_t threadId) {
    HANDLE own = platform::DuplicateObjectHandle(handle);
    DropHandle();
    threadHandle_ = own;
    threadId_ = threadId;
    autoDeath_ = 0;
    created_ = handle != nullptr;
}

void TThread::InitAsCurrentThread(const char* name) {
    name_ = name;
    autoDeath_ = 0;
    DropHandle();
    threadId_ = platform::CurrentThreadId();
    threadHandle_ = platform::CurrentThreadPseudoHandle();
    created_ = 1;
}

void TThread::Publish(void* object, HANDLE handle, DWORD threadId) {
    auto* self = static_cast<TThread*>(object);
    self->DropHandle();
    self->threadId_ = threadId;
    self->threadHandle_ = handle;
    self->created_ = 1;
}

char TThread::SetupAndRun(TThread* runner, int32_t priority, char suspended, int32_t stackSize) {
    if (!runner) return 0;
    if (suspended) suspendCount_.store(1);
    platform::ThreadStart start;
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
    if (suspended) suspendCount_.store(0);
    created_ = 0;
    return 0;
}

uint32_t TThread::MainLoop() { return 0; }

uint32_t TThread::Starter(void* parameter) {
    auto* runner = static_cast<TThread*>(parameter);
    if (cvq::detail::ThreadHook begin = beginHook.load()) begin();
    uint32_t result = runner->MainLoop();
    if (runner->selfDestructible_) {
        runner->autoDeath_ = 0;  // its destructor must not wait for this very thread
        delete runner;
    }
    RunEndHook();
    return result;
}
