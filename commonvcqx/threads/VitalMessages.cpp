// Vital inter-thread messages and their agent.
#include <commonvcqx/threads/VitalInterThreadMessage.h>
#include <commonvcqx/threads/VitalInterThreadMessageAgent.h>

#include <commonvcqx/platform/Messages.h>

TVitalInterThreadMessage::TVitalInterThreadMessage(const TVitalInterThreadMessage& other) noexcept
    : TListElement(),
      m_firstWord(other.m_firstWord),
      m_secondWord(other.m_secondWord),
      m_thirdWord(other.m_thirdWord),
      m_flag(other.m_flag) {}

TVitalInterThreadMessage& TVitalInterThreadMessage::operator=(
    const TVitalInterThreadMessage& other) noexcept {
    m_firstWord = other.m_firstWord;
    m_secondWord = other.m_secondWord;
    m_thirdWord = other.m_thirdWord;
    m_flag = other.m_flag;
    return *this;
}

TVitalInterThreadMessage::~TVitalInterThreadMessage() = default;

void TVitalInterThreadMessage::OnReception() {}

TVitalInterThreadMessageAgent::TVitalInterThreadMessageAgent() : m_list(0), m_pending(0) {}

TVitalInterThreadMessageAgent::TVitalInterThreadMessageAgent(
    const TVitalInterThreadMessageAgent& other)
    : TMultithreadedObject(), m_list(0), m_pending(0) {
    TAutoLock guard(other);
    m_list.Assign(other.m_list, nullptr);
    m_pending.store(m_list.GetCount());
}

TVitalInterThreadMessageAgent& TVitalInterThreadMessageAgent::operator=(
    const TVitalInterThreadMessageAgent& other) {
    if (this == &other) return *this;
    TAutoLock mine(*this);
    TAutoLock theirs(other);
    m_list.DetachAll();
    m_list.Assign(other.m_list, nullptr);
    m_pending.store(m_list.GetCount());
    return *this;
}

TVitalInterThreadMessageAgent::~TVitalInterThreadMessageAgent() {
    m_list.DetachAll();
}

void TVitalInterThreadMessageAgent::Post(TVitalInterThreadMessage* message) {
    if (!message) return;
    TAutoLock guard(*this);
    m_list.Append(message);
    m_pending.fetch_add(1, std::memory_order_relaxed);
}

TVitalInterThreadMessage* TVitalInterThreadMessageAgent::DetachOldestMessage() {
    TAutoLock guard(*this);
    TListElement* first = m_list.DetachFirst();
    if (first) m_pending.fetch_sub(1, std::memory_order_relaxed);
    return static_cast<TVitalInterThreadMessage*>(first);
}

void TVitalInterThreadMessageAgent::Wait(uint32_t threadId, TThreadEvent& event) {
    while (!event.WaitForIt(1000)) PostThreadMessageA(threadId, WM_PENDING_EVENTS, 0, 0);
}
