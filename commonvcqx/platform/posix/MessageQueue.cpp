// Thread message queues: posting, taking a batch at once, filtered and non-removing
// reads, the quit request and the descriptor a main loop can watch.
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/internal/Clocks.h>
#include <commonvcqx/platform/internal/Threads.h>

#include "MessageQueue.h"
#include "SpinPause.h"
#include "ThreadState.h"
#include "WindowTable.h"

#include <deque>
#include <memory>
#include <mutex>

#include <sched.h>
#include <sys/eventfd.h>

namespace cvq::platform::posix {

namespace {

// How long an owner with an empty queue watches for a message before it sleeps: pauses
// (a few microseconds) while a poster runs on another core, then yields, which lets a
// poster sharing its core fill a batch instead of waking it for every message.
constexpr int kSpins = 100;
constexpr int kYields = 4;

// Per-thread caches: raw pointers in initial-exec TLS for the fast path, the owning
// references in ordinary thread_locals that release them when the thread exits.
__thread MessageQueue* ownQueue __attribute__((tls_model("initial-exec"))) = nullptr;
__thread MessageQueue* targetQueue __attribute__((tls_model("initial-exec"))) = nullptr;
__thread DWORD targetId __attribute__((tls_model("initial-exec"))) = 0;

struct TQueueReferences {
    std::shared_ptr<MessageQueue> own;
    std::shared_ptr<MessageQueue> target;
    ~TQueueReferences() {
        ownQueue = targetQueue = nullptr;
        targetId = 0;
    }
};
thread_local TQueueReferences queueReferences;

// The queue of a thread by id, remembered per posting thread for the next post (it
// stays valid while remembered; a closed one is looked up again).
MessageQueue* TargetQueue(DWORD threadId, bool refresh) {
    if (!refresh && targetId == threadId && targetQueue) return targetQueue;
    TQueueReferences& references = queueReferences;
    references.target = QueueOfThread(threadId);
    targetId = threadId;
    return targetQueue = references.target.get();
}

}  // namespace

MessageQueue* OwnQueue() {
    if (MessageQueue* queue = ownQueue) return queue;
    CurrentThreadObject(true);
    TQueueReferences& references = queueReferences;
    references.own = QueueOfThread(cvq::platform::CurrentThreadId());
    return ownQueue = references.own.get();
}

std::shared_ptr<MessageQueue> OwnQueueReference() {
    OwnQueue();
    return queueReferences.own;
}

bool Post(DWORD threadId, const MSG& msg) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        // A thread posting to itself gets its queue made; another thread's queue exists
        // once that thread used messages or was started by the library.
        MessageQueue* queue =
            threadId == FastThreadId() ? OwnQueue() : TargetQueue(threadId, attempt > 0);
        if (!queue) return false;
        bool wake;
        {
            TControlRegion region;
            TMessageGuard lock(queue->lock);
            if (queue->closed) continue;  // the thread ended; its id may belong to a new one
            queue->posted.push_back(msg);
            queue->NoteArrival();
            queue->UpdateDescriptor();
            wake = queue->TakeSleeper();
        }
        // The queue stays alive: this thread's cache holds a reference to it.
        if (wake) queue->changed.notify_one();
        return true;
    }
    return false;
}

namespace {

bool Matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
    if (window == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) {
        if (msg.hwnd) return false;
    } else if (window && msg.hwnd != window) {
        return false;
    }
    return (filterMin == 0 && filterMax == 0) ||
           (msg.message >= filterMin && msg.message <= filterMax);
}

enum class ETaken { kMessage, kQuit, kNothing };

// The first matching posted message, then the quit request.
ETaken Take(MessageQueue& queue, MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove)
    CVQ_REQUIRES(queue.lock) {
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (!Matches(*it, window, filterMin, filterMax)) continue;
        *msg = *it;
        if (remove) {
            queue.posted.erase(it);
            queue.UpdateDescriptor();
        }
        return msg->message == WM_QUIT ? ETaken::kQuit : ETaken::kMessage;
    }
    if (!queue.quit) return ETaken::kNothing;
    *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, cvq::platform::TickCount(),
               {0, 0}};
    if (remove) {
        queue.quit = false;
        queue.UpdateDescriptor();
    }
    return ETaken::kQuit;
}

}  // namespace

std::shared_ptr<MessageQueue> CreateQueue(DWORD ownerId) {
    return std::make_shared<MessageQueue>(ownerId);
}

void CloseQueue(const std::shared_ptr<MessageQueue>& queue) {
    std::deque<std::shared_ptr<TSentMessage>> dropped;
    {
        TControlRegion region;
        TMessageGuard lock(queue->lock);
        queue->closed = true;
        queue->posted.clear();
        queue->quit = false;
        queue->local.clear();  // closed by its owner, on its way out
        queue->localPending = false;
        dropped.swap(queue->sent);
        queue->sentCount.store(0, std::memory_order_relaxed);
        queue->UpdateDescriptor();
    }
    DropSentMessages(dropped);
    DestroyWindowsOf(queue->owner);
}

void InterruptQueueWait(const std::shared_ptr<MessageQueue>& queue) {
    TControlRegion region;
    TMessageGuard lock(queue->lock);
    queue->changed.notify_one();
}

}  // namespace cvq::platform::posix

using namespace cvq::platform::posix;

DWORD GetCurrentThreadId() {
    return cvq::platform::CurrentThreadId();
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    return Post(threadId,
                MSG{nullptr, message, wParam, lParam, cvq::platform::TickCount(), {0, 0}});
}

BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
    if (!msg) return -1;
    MessageQueue* queue = OwnQueue();
    if (!queue) return -1;
    const bool unfiltered = !window && filterMin == 0 && filterMax == 0;
    // The batch taken earlier, unless a sent message now waits (it goes first).
    if (unfiltered && !queue->local.empty() &&
        queue->sentCount.load(std::memory_order_relaxed) == 0) {
        *msg = queue->local.front();
        queue->local.pop_front();
        if (queue->local.empty() && queue->fd >= 0) {
            TControlRegion region;
            TMessageGuard lock(queue->lock);
            queue->localPending = false;
            queue->UpdateDescriptor();
        }
        return msg->message != WM_QUIT;
    }
    for (;;) {
        {
            TControlRegion region;
            TMessageGuard lock(queue->lock);
            queue->MergeLocal();
            bool spun = false;
            while (queue->sent.empty()) {
                if (unfiltered && !queue->posted.empty()) {
                    // Take every waiting message at once; later calls need no lock.
                    queue->local.swap(queue->posted);
                    *msg = queue->local.front();
                    queue->local.pop_front();
                    queue->localPending = !queue->local.empty();
                    queue->UpdateDescriptor();
                    return msg->message != WM_QUIT;
                }
                ETaken taken = Take(*queue, msg, window, filterMin, filterMax, true);
                if (taken != ETaken::kNothing) return taken == ETaken::kMessage ? 1 : 0;
                if (TerminationRequested() || queue->closed) return -1;
                if (!spun) {
                    // A busy poster usually follows at once: sleeping would cost both
                    // sides system calls and the owner a wake-up per few messages.
                    spun = true;
                    uint32_t seen = queue->arrivals.load(std::memory_order_relaxed);
                    lock.Unlock();
                    for (int i = 0;
                         i < kSpins && queue->arrivals.load(std::memory_order_relaxed) == seen; ++i)
                        SpinPause();
                    for (int i = 0;
                         i < kYields && queue->arrivals.load(std::memory_order_relaxed) == seen;
                         ++i)
                        sched_yield();
                    lock.Lock();
                    continue;
                }
                queue->Sleep(lock);
                spun = false;
            }
        }
        // Window procedures run outside the region: they may take as long as they like.
        HandleSentMessages(queue);
    }
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
    if (!msg) return 0;
    MessageQueue* queue = OwnQueue();
    if (!queue) return 0;
    for (;;) {
        {
            TControlRegion region;
            TMessageGuard lock(queue->lock);
            queue->MergeLocal();
            if (queue->sent.empty())
                return Take(*queue, msg, window, filterMin, filterMax,
                            (removeMessage & PM_REMOVE) != 0) != ETaken::kNothing;
        }
        HandleSentMessages(queue);
    }
}

BOOL TranslateMessage(const MSG*) {
    return 0;
}

void PostQuitMessage(int exitCode) {
    MessageQueue* queue = OwnQueue();
    if (!queue) return;
    TControlRegion region;
    TMessageGuard lock(queue->lock);
    queue->quit = true;
    queue->quitCode = exitCode;
    queue->UpdateDescriptor();
    if (queue->TakeSleeper()) queue->changed.notify_one();
}

int GetMessageQueueFileDescriptor() {
    MessageQueue* queue = OwnQueue();
    if (!queue) return -1;
    TControlRegion region;
    TMessageGuard lock(queue->lock);
    if (queue->fd < 0) {
        queue->fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        queue->fdReadable = false;
        queue->localPending = !queue->local.empty();
        queue->UpdateDescriptor();
    }
    return queue->fd;
}
