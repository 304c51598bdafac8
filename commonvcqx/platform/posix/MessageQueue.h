// A thread's message queue and the messages sent to its windows, shared by the queue,
// the sent messages and the window table. A queue has one lock and one condition
// variable; its owner waits on it for messages, and so does a thread waiting for the
// reply to a message it sent. Private to platform/posix.
#pragma once

#include <commonvcqx/base/Visibility.h>
#include <commonvcqx/platform/WinTypes.h>

#include "MessageBuffer.h"
#include "MessageLock.h"
#include "ThreadState.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>

#include <pthread.h>
#include <unistd.h>

namespace cvq::platform::posix {

struct TSentMessage {
    enum EState : int { kPending, kRunning, kDone, kAbandoned, kDropped };
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    std::atomic<int> state{kPending};
    std::shared_ptr<MessageQueue> sender;
};

// Only the owning thread ever waits on a queue's condition variable (for messages, or
// for the reply to its own send), so one notification is always enough.
struct MessageQueue {
    explicit MessageQueue(DWORD id) : owner(id) {
        // Posters and the owner hold the lock for a few instructions: a contender spins
        // briefly instead of sleeping in the kernel (which also makes unlocking a call).
        pthread_mutexattr_t attributes;
        pthread_mutexattr_init(&attributes);
        pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ADAPTIVE_NP);
        pthread_mutex_init(lock.Native().native_handle(), &attributes);
        pthread_mutexattr_destroy(&attributes);
    }
    ~MessageQueue() {
        if (fd >= 0) close(fd);
    }
    const DWORD owner;
    TMessageLock lock;
    std::condition_variable changed;
    TMessageBuffer posted CVQ_GUARDED_BY(lock);
    std::atomic<uint32_t> arrivals{0};  // bumped by every arrival, for the owner's spin
    std::deque<std::shared_ptr<TSentMessage>> sent CVQ_GUARDED_BY(lock);
    bool quit CVQ_GUARDED_BY(lock) = false;
    int quitCode CVQ_GUARDED_BY(lock) = 0;
    bool closed CVQ_GUARDED_BY(lock) = false;
    // The owner waits on `changed`; cleared by the first waker.
    bool sleeping CVQ_GUARDED_BY(lock) = false;
    int fd = -1;  // made by the owner under the lock; the owner reads it without
    bool fdReadable CVQ_GUARDED_BY(lock) = false;
    // Posted messages the owner took in one batch; touched by the owner only, without
    // the lock. `localPending` (under the lock) says whether it holds any; it only
    // matters to the descriptor, so without one the owner need not lock to clear it.
    // They start a cache line of their own: the owner reads them for every message,
    // and posters write the lines above for every post.
    alignas(64) TMessageBuffer local;
    bool localPending CVQ_GUARDED_BY(lock) = false;
    std::atomic<uint32_t> sentCount{0};  // size of `sent`, for the owner's lock-free check

    // Keeps the descriptor readable exactly while something waits.
    void UpdateDescriptor() CVQ_REQUIRES(lock) {
        if (fd < 0) return;
        bool pending = !posted.empty() || localPending || !sent.empty() || quit;
        if (pending == fdReadable) return;
        uint64_t value = 1;
        if (pending)
            fdReadable = write(fd, &value, sizeof value) == sizeof value;
        else
            fdReadable = read(fd, &value, sizeof value) != sizeof value;
    }
    // Owner: puts the batch back in front of the posted messages, so that filtered and
    // non-removing reads see every message in order.
    void MergeLocal() CVQ_REQUIRES(lock) {
        if (local.empty()) return;
        posted.prepend(local);
        localPending = false;
    }
    // For each posted or sent message.
    void NoteArrival() CVQ_REQUIRES(lock) {
        arrivals.store(arrivals.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
    void PushSent(std::shared_ptr<TSentMessage> message) CVQ_REQUIRES(lock) {
        sent.push_back(std::move(message));
        sentCount.store(static_cast<uint32_t>(sent.size()), std::memory_order_relaxed);
        NoteArrival();
    }
    std::shared_ptr<TSentMessage> PopSent() CVQ_REQUIRES(lock) {
        std::shared_ptr<TSentMessage> message = std::move(sent.front());
        sent.pop_front();
        sentCount.store(static_cast<uint32_t>(sent.size()), std::memory_order_relaxed);
        return message;
    }
    // True when the caller should notify `changed`, which it does after unlocking so
    // that the woken owner does not block on the lock at once. Only the first of many
    // posts to a sleeping owner pays for a wake-up.
    bool TakeSleeper() CVQ_REQUIRES(lock) {
        bool wake = sleeping;
        sleeping = false;
        return wake;
    }
    // The owner, holding `lock` through `held`: sleeps until notified (or the deadline
    // passes).
    void Sleep(TMessageGuard& held) CVQ_REQUIRES(lock) {
        sleeping = true;
        changed.wait(held.Held());
        sleeping = false;
    }
    template <class Deadline>
    void SleepUntil(TMessageGuard& held, const Deadline& deadline) CVQ_REQUIRES(lock) {
        sleeping = true;
        changed.wait_until(held.Held(), deadline);
        sleeping = false;
    }
};

/// The calling thread's queue, made on first use (null when it cannot be had).
CVQ_HIDDEN MessageQueue* OwnQueue();
/// OwnQueue, as an owning reference.
CVQ_HIDDEN std::shared_ptr<MessageQueue> OwnQueueReference();
/// Appends `msg` to the queue of the thread `threadId`; false when it has none.
CVQ_HIDDEN bool Post(DWORD threadId, const MSG& msg);

/// Runs the messages sent to this thread's windows; true if there were any.
CVQ_HIDDEN bool HandleSentMessages(MessageQueue* queue);
/// Marks the sent messages of a queue being closed dropped and wakes their senders.
CVQ_HIDDEN void DropSentMessages(std::deque<std::shared_ptr<TSentMessage>>& dropped);

}  // namespace cvq::platform::posix
