// Messages sent to another thread's window: queued before its posted messages, run by
// the window's thread, and waited for by the sender, who meanwhile serves the messages
// sent to its own windows.
#include <commonvcqx/platform/Messages.h>

#include "MessageQueue.h"
#include "ThreadState.h"
#include "WindowTable.h"

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>

namespace cvq::platform::posix {

namespace {

void Complete(TSentMessage& sent, LRESULT result) {
    sent.result = result;
    if (!sent.sender) {
        sent.state.store(TSentMessage::kDone);
        return;
    }
    TControlRegion region;
    TMessageGuard lock(sent.sender->lock);
    sent.state.store(TSentMessage::kDone);
    sent.sender->changed.notify_one();
}

}  // namespace

bool HandleSentMessages(MessageQueue* queue) {
    bool handled = false;
    for (;;) {
        std::shared_ptr<TSentMessage> sent;
        {
            TControlRegion region;
            TMessageGuard lock(queue->lock);
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

void DropSentMessages(std::deque<std::shared_ptr<TSentMessage>>& dropped) {
    for (auto& sent : dropped) {
        int expected = TSentMessage::kPending;
        if (!sent->state.compare_exchange_strong(expected, TSentMessage::kDropped) || !sent->sender)
            continue;
        TControlRegion region;
        TMessageGuard lock(sent->sender->lock);
        sent->sender->changed.notify_one();
    }
}

}  // namespace cvq::platform::posix

using namespace cvq::platform::posix;

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
        TMessageGuard lock(target->lock);
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
        TMessageGuard lock(own->lock);
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
