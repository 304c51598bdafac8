// Exceptions, their prototype and the out-of-memory handler. Owned messages are TString
// objects allocated from the string heap; a failed allocation leaves a message null
// rather than throwing from inside an exception's construction or copy.
#include <commonvcqx/frame/Exception.h>

#include <commonvcqx/base/StartupOrder.h>
#include <commonvcqx/frame/ExceptionThrower.h>
#include <commonvcqx/frame/internal/ExceptionGlobals.h>

#include <atomic>
#include <cstring>
#include <new>

namespace {

TString* Share(const TString& text) noexcept {
    try {
        return new TString(text);
    } catch (...) {
        return nullptr;
    }
}

TString* ShareMessage(const TString* text) noexcept {
    return text ? Share(*text) : nullptr;
}

// A message of its own, or null for a null or empty text.
TString* OwnMessage(const TString& text) noexcept {
    return text.IsEmpty() ? nullptr : Share(text);
}

TString* OwnMessage(const char* text) noexcept {
    if (!text || !*text) return nullptr;
    try {
        return new TString(text);
    } catch (...) {
        return nullptr;
    }
}

const TString& EmptyString() noexcept {
    static const TString empty;  // the shared empty text: nothing to allocate or free
    return empty;
}

// The library's global exception: every TException starts as a copy of it. Built at
// start-up from an empty string; until then and after unload there is none, and an
// exception's reason is simply absent (read as empty).
constinit std::atomic<const AException*> prototype{nullptr};

struct TPrototype {
    alignas(AException) unsigned char storage[sizeof(AException)];
    TPrototype() {
        prototype.store(::new (storage) AException(TString()), std::memory_order_release);
        cvq::detail::RecordStartupStep(cvq::detail::kStartExceptionPrototype, true);
    }
    ~TPrototype() {
        cvq::detail::RecordStartupStep(cvq::detail::kStartExceptionPrototype, false);
        prototype.exchange(nullptr, std::memory_order_acq_rel)->~AException();
    }
};
__attribute__((init_priority(cvq::detail::kStartExceptionPrototype))) TPrototype prototypeObject;

constinit std::atomic<HWND> postingWindow{nullptr};

// Set while the out-of-memory exception is being built and thrown on this thread: an
// allocation failing meanwhile must not come back into the handler.
thread_local bool buildingOutOfMemory = false;

void ThrowOutOfMemory() {
    if (buildingOutOfMemory) throw std::bad_alloc();
    struct TFlag {
        TFlag() { buildingOutOfMemory = true; }
        ~TFlag() { buildingOutOfMemory = false; }
    } flag;
    TExceptionThrower(0).SetAndThrow("Out of memory");
}

}  // namespace

// ---- AException ------------------------------------------------------------------

AException::AException(const TString& why) noexcept : m_why(Share(why)) {}

AException::AException(TPrototypeTag) noexcept : m_why(nullptr) {
    if (const AException* model = prototype.load(std::memory_order_acquire))
        m_why = ShareMessage(model->m_why);
}

AException::AException(const AException& other) noexcept : m_why(ShareMessage(other.m_why)) {}

AException& AException::operator=(const AException& other) noexcept {
    if (this != &other) {
        delete m_why;
        m_why = ShareMessage(other.m_why);
    }
    return *this;
}

AException::~AException() {
    delete m_why;
}

const TString& AException::why() const noexcept {
    return m_why ? *m_why : EmptyString();
}

void AException::raise() const {
    throw AException(*this);
}

// ---- TException ------------------------------------------------------------------

TException::TException() noexcept
    : AException(TPrototypeTag{}),
      m_code(0),
      m_secondValue(0),
      m_message(nullptr),
      m_message2(nullptr) {}

TException::TException(const char* message) noexcept : TException() {
    m_message = OwnMessage(message);
}

TException::TException(const TString& message) noexcept : TException() {
    m_message = OwnMessage(message);
}

TException::TException(const char* message, const char* message2) noexcept : TException() {
    m_message = OwnMessage(message);
    m_message2 = OwnMessage(message2);
}

TException::TException(const TString& message, const TString& message2) noexcept : TException() {
    m_message = OwnMessage(message);
    m_message2 = OwnMessage(message2);
}

TException::TException(const char* message, uint32_t code) noexcept : TException(message) {
    m_code = code;
}

TException::TException(const TString& message, uint32_t code) noexcept : TException(message) {
    m_code = code;
}

TException::TException(const char* message, const char* message2, uint32_t code) noexcept
    : TException(message, message2) {
    m_code = code;
}

TException::TException(const TString& message, const TString& message2, uint32_t code) noexcept
    : TException(message, message2) {
    m_code = code;
}

TException::TException(const TException& other) noexcept
    : AException(other),
      m_code(other.m_code),
      m_secondValue(other.m_secondValue),
      m_message(ShareMessage(other.m_message)),
      m_message2(ShareMessage(other.m_message2)) {}

TException& TException::operator=(const TException& other) noexcept {
    if (this != &other) {
        AException::operator=(other);
        m_code = other.m_code;
        m_secondValue = other.m_secondValue;
        delete m_message;
        delete m_message2;
        m_message = ShareMessage(other.m_message);
        m_message2 = ShareMessage(other.m_message2);
    }
    return *this;
}

TException::~TException() {
    delete m_message;
    delete m_message2;
}

void TException::NotifyPostHandle(HWND window) noexcept {
    postingWindow.store(window, std::memory_order_relaxed);
}

// ---- Handlers ----------------------------------------------------------------------

void InitExceptionHandler() {
    // The language has no unexpected-exception handler any more (an exception leaving
    // a noexcept function ends the process), and malloc already reaches the new
    // handler through the heaps' out-of-memory path, whatever the mode.
    std::set_new_handler(&ThrowOutOfMemory);
}

bool IsOutOfMemory(const TException& e) noexcept {
    return e.GetCode() == 0 && e.GetMessage() && !e.GetSecondMessage() &&
           std::strcmp(e.GetMessage()->c_str(), "Out of memory") == 0;
}

namespace {

// Handlers first, then the loading thread's id; the prototype follows as its own step.
struct THandlers {
    THandlers() {
        InitExceptionHandler();
        cvq::detail::RecordLoadingThread();
        cvq::detail::RecordStartupStep(cvq::detail::kStartExceptionHandlers, true);
    }
    ~THandlers() {
        cvq::detail::RecordStartupStep(cvq::detail::kStartExceptionHandlers, false);
        if (std::get_new_handler() == &ThrowOutOfMemory) std::set_new_handler(nullptr);
    }
};
__attribute__((init_priority(cvq::detail::kStartExceptionHandlers))) THandlers handlers;

}  // namespace

namespace cvq::detail {

HWND PostingWindow() noexcept {
    return postingWindow.load(std::memory_order_relaxed);
}

}  // namespace cvq::detail
