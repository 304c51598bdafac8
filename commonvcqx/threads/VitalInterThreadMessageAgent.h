// commonvcqx/threads/VitalInterThreadMessageAgent.h
//
// TVitalInterThreadMessageAgent: a thread-safe mailbox of TVitalInterThreadMessages,
// delivered oldest first. A sender posts a message and waits for an event while it
// prods the receiver with the wake-up thread message 0x83ED once a second, so a lost
// or late wake-up never strands it. The agent never deletes a message.
//
//   // sender                                 // receiver, on 0x83ED
//   agent.Post(&message);                     while (auto* m = agent.DetachOldestMessage())
//   agent.Wait(receiverId, done);                 m->OnReception();   // sets `done`
#pragma once

#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/threads/MultithreadedObject.h>
#include <commonvcqx/threads/ThreadEvent.h>
#include <commonvcqx/threads/VitalInterThreadMessage.h>

#include <atomic>
#include <cstdint>

class TVitalInterThreadMessageAgent : public TMultithreadedObject {
public:
    TVitalInterThreadMessageAgent();
    /// The list is copied as lists copy (clones of the source's messages).
    TVitalInterThreadMessageAgent(const TVitalInterThreadMessageAgent& other);
    TVitalInterThreadMessageAgent& operator=(const TVitalInterThreadMessageAgent& other);
    /// Messages still queued are left alone (not deleted).
    ~TVitalInterThreadMessageAgent();

    /// Appends the message; it stays the caller's until detached by the receiver.
    void Post(TVitalInterThreadMessage* message);
    /// The oldest message, now the caller's; null when none waits.
    TVitalInterThreadMessage* DetachOldestMessage();
    /// A hint only: read without the lock.
    char ExistMessages() const { return m_pending.load(std::memory_order_relaxed) > 0; }

    /// Waits until `event` is signalled, posting the wake-up message 0x83ED to
    /// `threadId` after every second it stays unsignalled. Not on the receiving thread.
    void Wait(uint32_t threadId, TThreadEvent& event);

private:
    TDoubleList m_list;
    std::atomic<int32_t> m_pending;
};
