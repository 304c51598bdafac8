// Building and delivering exceptions: thrown on the spot, or posted as a heap copy.
#include <commonvcqx/frame/ExceptionThrower.h>

#include <commonvcqx/frame/internal/ExceptionGlobals.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/internal/Threads.h>
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
    // The receiver of the message owns the copy. A copy that could not be posted
    // reaches nobody, so it is not left behind. It lives on in another thread, and
    // string representations are shared without a lock: its texts are its own.
    const TString* message = exception.GetMessage();
    const TString* message2 = exception.GetSecondMessage();
    auto* copy = new TException(message ? message->c_str() : nullptr,
                                message2 ? message2->c_str() : nullptr, exception.GetCode());
    LPARAM address = reinterpret_cast<LPARAM>(copy);
    bool posted = m_targetThread == kNoThread
                      ? PostMessageA(m_targetWindow, WM_POSTED_EXCEPTION, 0, address)
                      : PostThreadMessageA(m_targetThread, WM_POSTED_EXCEPTION, 0, address);
    if (!posted) delete copy;
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
