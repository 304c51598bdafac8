// Building and delivering exceptions: thrown on the spot, or posted as a heap copy.
#include <commonvcqx/frame/ExceptionThrower.h>

#include <commonvcqx/frame/internal/ExceptionGlobals.h>
#include <commonvcqx/platform/internal/ThreadSlot.h>
#include <commonvcqx/text/StaticStrings.h>

#include <atomic>

namespace {

constexpr uint32_t kNoThread = 0xFFFFFFFFu;

constinit std::atomic<uint32_t> loadingThread{0};

}  // namespace

namespace cvq::detail {

void RecordLoadingThread() noexcept {
    loadingThread.store(platform::CurrentThreadId(), std::memory_order_relaxed);
}

uint32_t LoadingThreadId() noexcept {
    return loadingThread.load(std::memory_order_relaxed);
}

}  // namespace cvq::detail

const char* TResMess::GetText() const {
    return GetStaticString(m_id);
}

TExceptionThrower::TExceptionThrower(char post) noexcept
    : m_targetThread(kNoThread), m_targetWindow(nullptr) {
    if (!post) return;
    if (HWND window = cvq::detail::PostingWindow())
        m_targetWindow = window;
    else
        m_targetThread = cvq::detail::LoadingThreadId();
}

void TExceptionThrower::Deliver(const TException& exception) {
    if (m_targetThread == kNoThread && !m_targetWindow) throw exception;
    // Posting arrives with the message queues; until then a posting thrower throws.
    throw exception;
}

void TExceptionThrower::SetAndThrow() {
    Deliver(TException());
}

void TExceptionThrower::SetAndThrow(const TException& exception) {
    Deliver(exception);
}

void TExceptionThrower::SetAndThrow(const char* message) {
    Deliver(TException(message));
}

void TExceptionThrower::SetAndThrow(const TString& message) {
    Deliver(TException(message.c_str()));
}

void TExceptionThrower::SetAndThrow(TResMess message) {
    Deliver(TException(message.GetText()));
}

void TExceptionThrower::SetAndThrow(const char* message, const char* message2) {
    Deliver(TException(message, message2));
}

void TExceptionThrower::SetAndThrow(const TString& message, const TString& message2) {
    Deliver(TException(message.c_str(), message2.c_str()));
}

void TExceptionThrower::SetAndThrow(TResMess message, TResMess message2) {
    Deliver(TException(message.GetText(), message2.GetText()));
}

void TExceptionThrower::SetAndThrow(const char* message, uint32_t code) {
    Deliver(TException(message, code));
}

void TExceptionThrower::SetAndThrow(const TString& message, uint32_t code) {
    Deliver(TException(message.c_str(), code));
}

void TExceptionThrower::SetAndThrow(TResMess message, uint32_t code) {
    Deliver(TException(message.GetText(), code));
}

void TExceptionThrower::SetAndThrow(const char* message, const char* message2, uint32_t code) {
    Deliver(TException(message, message2, code));
}

void TExceptionThrower::SetAndThrow(const TString& message, const TString& message2,
                                    uint32_t code) {
    Deliver(TException(message.c_str(), message2.c_str(), code));
}

void TExceptionThrower::SetAndThrow(TResMess message, TResMess message2, uint32_t code) {
    Deliver(TException(message.GetText(), message2.GetText(), code));
}
