// Thread message queues and hidden message windows. A queue has one lock and one
// condition variable; its owner waits on it for messages, and so does a thread waiting
// for the reply to a message it sent. Window handles are numbers looked up in a table,
// so a handle of a destroyed window is simply not found.
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/internal/Clocks.h>
#include <commonvcqx/platform/internal/Threads.h>

#include "SpinPause.h"
#include "ThreadState.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace cvq::platform::posix {

// Messages in order: a vector read from `m_head`. A drained buffer keeps its storage, so
// the owner taking a batch and handing back the empty one allocates nothing in the
// steady state, and a poster's time under the queue lock stays short.
class TMessageBuffer {
public:
    using Iterator = std::vector<MSG>::iterator;
    bool empty() const { return m_head == m_items.size(); }
    const MSG& front() const { return m_items[m_head]; }
    Iterator begin() { return m_items.begin() + static_cast<ptrdiff_t>(m_head); }
    Iterator end() { return m_items.end(); }
    void push_back(const MSG& msg) { m_items.push_back(msg); }
    void pop_front() {
        if (++m_head == m_items.size()) {
            clear();
        } else if (m_head >= kCompactAfter && m_head * 2 >= m_items.size()) {
            // Read one by one while others arrive, it never drains: drop the read part.
            m_items.erase(m_items.begin(), begin());
            m_head = 0;
        }
    }
    void erase(Iterator at) {
        if (at == begin())
            pop_front();
        else
            m_items.erase(at);
    }
    // Puts the messages of `earlier` in front of these and empties it.
    void prepend(TMessageBuffer& earlier) {
        m_items.insert(begin(), earlier.begin(), earlier.end());
        earlier.clear();
    }
    void clear() {
        // Batch sizes vary widely, and growing the storage again costs more than the
        // messages: it goes only once many batches in a row were far smaller (a burst
        // long past).
        if (m_items.capacity() <= kKeptCapacity || m_items.size() >= m_items.capacity() / 4) {
            m_smallBatches = 0;
        } else if (++m_smallBatches == kSmallBatchesToShrink) {
            std::vector<MSG>().swap(m_items);
            m_smallBatches = 0;
        }
        m_items.clear();
        m_head = 0;
    }
    void swap(TMessageBuffer& other) noexcept {
        m_items.swap(other.m_items);
        std::swap(m_head, other.m_head);
        std::swap(m_smallBatches, other.m_smallBatches);
    }

private:
    static constexpr size_t kCompactAfter = 1024;
    static constexpr size_t kKeptCapacity = 1024;
    static constexpr int kSmallBatchesToShrink = 16;
    std::vector<MSG> m_items;
    size_t m_head = 0;
    int m_smallBatches = 0;
};

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
        pthread_mutex_init(lock.native_handle(), &attributes);
        pthread_mutexattr_destroy(&attributes);
    }
    ~MessageQueue() {
        if (fd >= 0) close(fd);
    }
    const DWORD owner;
    std::mutex lock;
    std::condition_variable changed;
    TMessageBuffer posted;
    std::atomic<uint32_t> arrivals{0};  // bumped by every arrival, for the owner's spin
    std::deque<std::shared_ptr<TSentMessage>> sent;
    bool quit = false;
    int quitCode = 0;
    bool closed = false;
    bool sleeping = false;  // the owner waits on `changed`; cleared by the first waker
    int fd = -1;
    bool fdReadable = false;
    // Posted messages the owner took in one batch; touched by the owner only, without
    // the lock. `localPending` (under the lock) says whether it holds any; it only
    // matters to the descriptor, so without one the owner need not lock to clear it.
    // They start a cache line of their own: the owner reads them for every message,
    // and posters write the lines above for every post.
    alignas(64) TMessageBuffer local;
    bool localPending = false;
    std::atomic<uint32_t> sentCount{0};  // size of `sent`, for the owner's lock-free check

    // Keeps the descriptor readable exactly while something waits. Under `lock`.
    void UpdateDescriptor() {
        if (fd < 0) return;
        bool pending = !posted.empty() || localPending || !sent.empty() || quit;
        if (pending == fdReadable) return;
        uint64_t value = 1;
        if (pending)
            fdReadable = write(fd, &value, sizeof value) == sizeof value;
        else
            fdReadable = read(fd, &value, sizeof value) != sizeof value;
    }
    // Owner, under `lock`: puts the batch back in front of the posted messages, so that
    // filtered and non-removing reads see every message in order.
    void MergeLocal() {
        if (local.empty()) return;
        posted.prepend(local);
        localPending = false;
    }
    // Under `lock`, for each posted or sent message.
    void NoteArrival() {
        arrivals.store(arrivals.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
    void PushSent(std::shared_ptr<TSentMessage> message) {
        sent.push_back(std::move(message));
        sentCount.store(static_cast<uint32_t>(sent.size()), std::memory_order_relaxed);
        NoteArrival();
    }
    std::shared_ptr<TSentMessage> PopSent() {
        std::shared_ptr<TSentMessage> message = std::move(sent.front());
        sent.pop_front();
        sentCount.store(static_cast<uint32_t>(sent.size()), std::memory_order_relaxed);
        return message;
    }
    // Under `lock`: true when the caller should notify `changed`, which it does after
    // unlocking so that the woken owner does not block on the lock at once. Only the
    // first of many posts to a sleeping owner pays for a wake-up.
    bool TakeSleeper() {
        bool wake = sleeping;
        sleeping = false;
        return wake;
    }
    // The owner, under `lock`: sleeps until notified (or the deadline passes).
    void Sleep(std::unique_lock<std::mutex>& held) {
        sleeping = true;
        changed.wait(held);
        sleeping = false;
    }
    template <class Deadline>
    void SleepUntil(std::unique_lock<std::mutex>& held, const Deadline& deadline) {
        sleeping = true;
        changed.wait_until(held, deadline);
        sleeping = false;
    }
};

namespace {

// How long an owner with an empty queue watches for a message before it sleeps: pauses
// (a few microseconds) while a poster runs on another core, then yields, which lets a
// poster sharing its core fill a batch instead of waking it for every message.
constexpr int kSpins = 100;
constexpr int kYields = 4;

struct TWindowRecord {
    WNDPROC procedure;
    DWORD owner;
    LONG_PTR userData;
    std::string className;
    std::string title;
};

struct TWindowTable {
    std::mutex lock;
    std::unordered_map<uintptr_t, TWindowRecord> windows;
    std::unordered_map<std::string, WNDPROC> classes;
    uintptr_t nextHandle = 0x10000;
    ATOM nextAtom = 0xC000;
};

TWindowTable& Windows() {
    static TWindowTable* table = new TWindowTable;  // outlives threads still running at exit
    return *table;
}

uintptr_t Key(HWND window) {
    return reinterpret_cast<uintptr_t>(window);
}

bool FindWindow(HWND window, TWindowRecord& record) {
    TControlRegion region;
    std::lock_guard lock(Windows().lock);
    auto found = Windows().windows.find(Key(window));
    if (found == Windows().windows.end()) return false;
    record = found->second;
    return true;
}

LRESULT CallWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TWindowRecord record;
    if (!window || !FindWindow(window, record)) return 0;
    return record.procedure(window, message, wParam, lParam);
}

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

// The queue of a thread by id, remembered per posting thread for the next post (it
// stays valid while remembered; a closed one is looked up again).
MessageQueue* TargetQueue(DWORD threadId, bool refresh) {
    if (!refresh && targetId == threadId && targetQueue) return targetQueue;
    TQueueReferences& references = queueReferences;
    references.target = QueueOfThread(threadId);
    targetId = threadId;
    return targetQueue = references.target.get();
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
            std::lock_guard lock(queue->lock);
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

void Complete(TSentMessage& sent, LRESULT result) {
    sent.result = result;
    if (!sent.sender) {
        sent.state.store(TSentMessage::kDone);
        return;
    }
    TControlRegion region;
    std::lock_guard lock(sent.sender->lock);
    sent.state.store(TSentMessage::kDone);
    sent.sender->changed.notify_one();
}

// Runs the messages sent to this thread's windows; true if there were any.
bool HandleSentMessages(MessageQueue* queue) {
    bool handled = false;
    for (;;) {
        std::shared_ptr<TSentMessage> sent;
        {
            TControlRegion region;
            std::lock_guard lock(queue->lock);
            if (queue->sent.empty()) return handled;
            sent = queue->PopSent();
            queue->UpdateDescriptor();
        }
        int expected = TSentMessage::kPending;
        if (!sent->state.compare_exchange_strong(expected, TSentMessage::kRunning)) continue;
        handled = true;
        Complete(*sent, CallWindow(sent->window, sent->message, sent->wParam, sent->lParam));
    }
}

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

// Under the queue lock: the first matching posted message, then the quit request.
ETaken Take(MessageQueue& queue, MSG* msg, HWND window, UINT filterMin, UINT filterMax,
            bool remove) {
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
        std::lock_guard lock(queue->lock);
        queue->closed = true;
        queue->posted.clear();
        queue->quit = false;
        queue->local.clear();  // closed by its owner, on its way out
        queue->localPending = false;
        dropped.swap(queue->sent);
        queue->sentCount.store(0, std::memory_order_relaxed);
        queue->UpdateDescriptor();
    }
    for (auto& sent : dropped) {
        int expected = TSentMessage::kPending;
        if (!sent->state.compare_exchange_strong(expected, TSentMessage::kDropped) || !sent->sender)
            continue;
        TControlRegion region;
        std::lock_guard lock(sent->sender->lock);
        sent->sender->changed.notify_one();
    }
    TControlRegion region;
    std::lock_guard lock(Windows().lock);
    std::erase_if(Windows().windows,
                  [&](const auto& entry) { return entry.second.owner == queue->owner; });
}

void InterruptQueueWait(const std::shared_ptr<MessageQueue>& queue) {
    TControlRegion region;
    std::lock_guard lock(queue->lock);
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
            std::lock_guard lock(queue->lock);
            queue->localPending = false;
            queue->UpdateDescriptor();
        }
        return msg->message != WM_QUIT;
    }
    for (;;) {
        {
            TControlRegion region;
            std::unique_lock lock(queue->lock);
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
                    lock.unlock();
                    for (int i = 0;
                         i < kSpins && queue->arrivals.load(std::memory_order_relaxed) == seen; ++i)
                        SpinPause();
                    for (int i = 0;
                         i < kYields && queue->arrivals.load(std::memory_order_relaxed) == seen;
                         ++i)
                        sched_yield();
                    lock.lock();
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
            std::lock_guard lock(queue->lock);
            queue->MergeLocal();
            if (queue->sent.empty())
                return Take(*queue, msg, window, filterMin, filterMax,
                            (removeMessage & PM_REMOVE) != 0) != ETaken::kNothing;
        }
        HandleSentMessages(queue);
    }
}

LRESULT DispatchMessageA(const MSG* msg) {
    return msg ? CallWindow(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

BOOL TranslateMessage(const MSG*) {
    return 0;
}

void PostQuitMessage(int exitCode) {
    MessageQueue* queue = OwnQueue();
    if (!queue) return;
    TControlRegion region;
    std::lock_guard lock(queue->lock);
    queue->quit = true;
    queue->quitCode = exitCode;
    queue->UpdateDescriptor();
    if (queue->TakeSleeper()) queue->changed.notify_one();
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window) return PostThreadMessageA(GetCurrentThreadId(), message, wParam, lParam);
    TWindowRecord record;
    if (!FindWindow(window, record)) return 0;
    return Post(record.owner,
                MSG{window, message, wParam, lParam, cvq::platform::TickCount(), {0, 0}});
}

LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeout, DWORD_PTR* result) {
    TWindowRecord record;
    if (!window || !FindWindow(window, record)) return 0;
    if (record.owner == GetCurrentThreadId()) {
        LRESULT value = record.procedure(window, message, wParam, lParam);
        if (result) *result = static_cast<DWORD_PTR>(value);
        return 1;
    }
    std::shared_ptr<MessageQueue> target = QueueOfThread(record.owner);
    std::shared_ptr<MessageQueue> own = OwnQueueReference();
    if (!target || !own) return 0;
    auto sent = std::make_shared<TSentMessage>();
    sent->window = window;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    sent->sender = own;
    {
        TControlRegion region;
        std::lock_guard lock(target->lock);
        if (target->closed) return 0;
        target->PushSent(sent);
        target->UpdateDescriptor();
        if (target->TakeSleeper()) target->changed.notify_one();
    }
    const bool handleOwn = (flags & SMTO_BLOCK) == 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    for (;;) {
        if (handleOwn) HandleSentMessages(own.get());
        TControlRegion region;
        std::unique_lock lock(own->lock);
        int state = sent->state.load();
        if (state == TSentMessage::kDone) {
            if (result) *result = static_cast<DWORD_PTR>(sent->result);
            return 1;
        }
        if (state == TSentMessage::kDropped) return 0;
        if (handleOwn && !own->sent.empty()) continue;
        if (TerminationRequested() ||
            (timeout != INFINITE && std::chrono::steady_clock::now() >= deadline))
            break;
        if (timeout == INFINITE)
            own->Sleep(lock);
        else
            own->SleepUntil(lock, deadline);
    }
    int expected = TSentMessage::kPending;
    if (sent->state.compare_exchange_strong(expected, TSentMessage::kAbandoned)) return 0;
    if (expected != TSentMessage::kDone) return 0;  // still running: too late
    if (result) *result = static_cast<DWORD_PTR>(sent->result);
    return 1;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, INFINITE, &result);
    return static_cast<LRESULT>(result);
}

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName) return 0;
    TControlRegion region;
    std::lock_guard lock(Windows().lock);
    if (!Windows().classes.emplace(windowClass->lpszClassName, windowClass->lpfnWndProc).second)
        return 0;
    return Windows().nextAtom++;
}

BOOL UnregisterClassA(const char* className, HINSTANCE) {
    if (!className) return 0;
    TControlRegion region;
    std::lock_guard lock(Windows().lock);
    for (const auto& [key, record] : Windows().windows)
        if (record.className == className) return 0;
    return Windows().classes.erase(className) ? 1 : 0;
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, void* menu,
                     HINSTANCE instance, void* parameter) {
    if (!className || !OwnQueue()) return nullptr;
    HWND window;
    WNDPROC procedure;
    {
        TControlRegion region;
        std::lock_guard lock(Windows().lock);
        auto found = Windows().classes.find(className);
        if (found == Windows().classes.end()) return nullptr;
        procedure = found->second;
        window = reinterpret_cast<HWND>(Windows().nextHandle);
        Windows().nextHandle += 0x10;
        Windows().windows.emplace(Key(window),
                                  TWindowRecord{procedure, GetCurrentThreadId(), 0, className,
                                                windowName ? windowName : ""});
    }
    CREATESTRUCTA create{
        parameter,  instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
        windowName, className, exStyle};
    if (procedure(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        TControlRegion region;
        std::lock_guard lock(Windows().lock);
        Windows().windows.erase(Key(window));
        return nullptr;
    }
    return window;
}

BOOL DestroyWindow(HWND window) {
    TWindowRecord record;
    if (!window || !FindWindow(window, record) || record.owner != GetCurrentThreadId()) return 0;
    record.procedure(window, WM_DESTROY, 0, 0);
    TControlRegion region;
    std::lock_guard lock(Windows().lock);
    Windows().windows.erase(Key(window));
    return 1;
}

BOOL IsWindow(HWND window) {
    TWindowRecord record;
    return window && FindWindow(window, record);
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    if (index != GWLP_USERDATA) return 0;
    TControlRegion region;
    std::lock_guard lock(Windows().lock);
    auto found = Windows().windows.find(Key(window));
    if (found == Windows().windows.end()) return 0;
    LONG_PTR previous = found->second.userData;
    found->second.userData = value;
    return previous;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    TWindowRecord record;
    if (index != GWLP_USERDATA || !FindWindow(window, record)) return 0;
    return record.userData;
}

int GetWindowTextA(HWND window, char* text, int maxCount) {
    if (!text || maxCount <= 0) return 0;
    text[0] = '\0';
    TWindowRecord record;
    if (!window || !FindWindow(window, record)) return 0;
    size_t count = record.title.copy(text, static_cast<size_t>(maxCount) - 1);
    text[count] = '\0';
    return static_cast<int>(count);
}

BOOL SetWindowTextA(HWND window, const char* text) {
    TControlRegion region;
    std::lock_guard lock(Windows().lock);
    auto found = Windows().windows.find(Key(window));
    if (found == Windows().windows.end()) return 0;
    found->second.title = text ? text : "";
    return 1;
}

int GetMessageQueueFileDescriptor() {
    MessageQueue* queue = OwnQueue();
    if (!queue) return -1;
    TControlRegion region;
    std::lock_guard lock(queue->lock);
    if (queue->fd < 0) {
        queue->fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        queue->fdReadable = false;
        queue->localPending = !queue->local.empty();
        queue->UpdateDescriptor();
    }
    return queue->fd;
}
