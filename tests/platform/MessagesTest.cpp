// Thread message queues and hidden message windows.
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/threads/Thread.h>
#include <commonvcqx/threads/ThreadEvent.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>

using namespace std::chrono_literals;

namespace {

// What a window procedure saw, in order.
std::mutex seenLock;
std::vector<UINT> seen;

LRESULT CALLBACK_Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return 0;
    }
    if (message >= WM_USER) {
        std::lock_guard lock(seenLock);
        seen.push_back(message);
    }
    return static_cast<LRESULT>(wParam) * 2;
}

std::vector<UINT> Seen() {
    std::lock_guard lock(seenLock);
    return seen;
}

void ClearSeen() {
    std::lock_guard lock(seenLock);
    seen.clear();
}

// A thread with a window of class "TestWindow" that pumps messages after `go`.
struct WindowThread {
    TThreadEvent created, go;
    std::atomic<HWND> window{nullptr};
    std::thread thread;
    std::atomic<int> dispatched{0};

    void Start() {
        thread = std::thread([this] {
            window = CreateWindowExA(0, "TestWindow", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     nullptr, this);
            created.SetTrue();
            go.WaitForIt(INFINITE);
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
                DispatchMessageA(&msg);
                ++dispatched;
            }
            DestroyWindow(window);
        });
        created.WaitForIt(INFINITE);
    }
    void Stop() {
        go.SetTrue();
        PostMessageA(window, WM_QUIT, 0, 0);
        thread.join();
    }
};

class MessagesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &CALLBACK_Record;
        windowClass.lpszClassName = "TestWindow";
        RegisterClassA(&windowClass);
    }
    void SetUp() override { ClearSeen(); }
};

}  // namespace

TEST_F(MessagesTest, WindowsAreCreatedOwnedAndDestroyed) {
    WNDCLASSA again{};
    again.lpfnWndProc = &CALLBACK_Record;
    again.lpszClassName = "TestWindow";
    EXPECT_EQ(RegisterClassA(&again), 0);  // already registered
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", nullptr, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);

    int marker = 0;
    HWND window = CreateWindowExA(0, "TestWindow", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, &marker);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&marker));
    EXPECT_FALSE(UnregisterClassA("TestWindow", nullptr));  // a window of it exists

    // A send to one's own window calls the procedure directly.
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutA(window, WM_USER + 1, 21, 0, SMTO_NORMAL, 0, &result));
    EXPECT_EQ(result, 42u);

    std::thread other([&] { EXPECT_FALSE(DestroyWindow(window)); });  // not its owner
    other.join();
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
    EXPECT_FALSE(SendMessageTimeoutA(window, WM_USER, 0, 0, SMTO_NORMAL, 10, &result));
    EXPECT_FALSE(DestroyWindow(window));
}

TEST_F(MessagesTest, WindowTextIsCutToTheBufferAndEmptyWithoutAWindow) {
    HWND window = CreateWindowExA(0, "TestWindow", "Mixer", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    char small[4];
    EXPECT_EQ(GetWindowTextA(window, small, sizeof small), 3);
    EXPECT_STREQ(small, "Mix");
    std::string title(700, 'T');
    ASSERT_TRUE(SetWindowTextA(window, title.c_str()));
    EXPECT_EQ(GetWindowTextA(window, small, sizeof small), 3);
    EXPECT_STREQ(small, "TTT");
    EXPECT_TRUE(DestroyWindow(window));
    // No window, or one that is gone: no text.
    for (HWND none : {static_cast<HWND>(nullptr), window}) {
        EXPECT_EQ(GetWindowTextA(none, small, sizeof small), 0);
        EXPECT_STREQ(small, "");
        EXPECT_FALSE(SetWindowTextA(none, "x"));
    }
}

TEST_F(MessagesTest, SentMessagesOvertakePostedOnes) {
    WindowThread target;
    target.Start();
    EXPECT_TRUE(PostMessageA(target.window, WM_USER + 1, 0, 0));
    EXPECT_TRUE(PostMessageA(target.window, WM_USER + 2, 0, 0));
    DWORD_PTR result = 0;
    std::thread sender([&] {
        EXPECT_TRUE(
            SendMessageTimeoutA(target.window, WM_USER + 3, 5, 0, SMTO_NORMAL, 10000, &result));
    });
    std::this_thread::sleep_for(50ms);  // the sent message is queued behind the posted ones
    target.go.SetTrue();
    sender.join();
    EXPECT_EQ(result, 10u);
    target.Stop();
    EXPECT_EQ(Seen(), (std::vector<UINT>{WM_USER + 3, WM_USER + 1, WM_USER + 2}));
}

TEST_F(MessagesTest, SendTimesOutAndTheMessageIsNeverHandled) {
    WindowThread target;
    target.Start();  // does not pump until `go`
    DWORD_PTR result = 7;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SendMessageTimeoutA(target.window, WM_USER + 9, 1, 0, SMTO_NORMAL, 50, &result));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_EQ(result, 7u);
    target.Stop();
    EXPECT_TRUE(Seen().empty());
}

TEST_F(MessagesTest, WaitingSenderServesMessagesSentToItsOwnWindows) {
    // A sends to B; B's procedure sends back to A's window while A waits.
    static std::atomic<HWND> backWindow{nullptr};
    WNDCLASSA forward{};
    forward.lpfnWndProc = [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message != WM_USER + 20) return 0;
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(backWindow.load(), message + 1, 3, 0, SMTO_NORMAL, 5000, &answer);
        return static_cast<LRESULT>(answer) + 1;
    };
    forward.lpszClassName = "ForwardWindow";
    ASSERT_NE(RegisterClassA(&forward), 0);
    backWindow = CreateWindowExA(0, "TestWindow", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 nullptr, nullptr);
    TThreadEvent ready;
    std::atomic<HWND> forwardWindow{nullptr};
    std::thread b([&] {
        forwardWindow = CreateWindowExA(0, "ForwardWindow", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, nullptr, nullptr);
        ready.SetTrue();
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    });
    ready.WaitForIt(INFINITE);
    DWORD_PTR result = 0;
    EXPECT_TRUE(
        SendMessageTimeoutA(forwardWindow.load(), WM_USER + 20, 0, 0, SMTO_NORMAL, 5000, &result));
    EXPECT_EQ(result, 7u);  // 3 * 2 + 1
    PostMessageA(forwardWindow.load(), WM_QUIT, 0, 0);
    b.join();
    EXPECT_FALSE(IsWindow(forwardWindow.load()));  // destroyed with its thread
    EXPECT_TRUE(DestroyWindow(backWindow.load()));
    EXPECT_TRUE(UnregisterClassA("ForwardWindow", nullptr));
}

TEST_F(MessagesTest, PeekFiltersAndQuitComesLast) {
    std::thread worker([] {
        DWORD self = GetCurrentThreadId();
        MSG msg;
        // Posting to oneself works before any other message call made the queue.
        EXPECT_TRUE(PostThreadMessageA(self, WM_USER + 7, 7, 0));
        EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, WM_USER + 7u);
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        PostThreadMessageA(self, WM_USER + 1, 1, 0);
        PostThreadMessageA(self, WM_USER + 5, 5, 0);
        PostQuitMessage(3);
        PostThreadMessageA(self, WM_USER + 2, 2, 0);

        EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 5, WM_USER + 5, PM_NOREMOVE));
        EXPECT_EQ(msg.message, WM_USER + 5u);
        EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 2, WM_USER + 9, PM_REMOVE));
        EXPECT_EQ(msg.message, WM_USER + 5u);
        EXPECT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, WM_USER + 1u);
        EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
        EXPECT_EQ(msg.message, WM_USER + 2u);
        EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
        EXPECT_EQ(msg.message, WM_QUIT);
        EXPECT_EQ(msg.wParam, 3u);
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
        EXPECT_EQ(DispatchMessageA(&msg), 0);  // a thread message has no window
    });
    worker.join();
    EXPECT_FALSE(PostThreadMessageA(0, WM_USER, 0, 0));
}

TEST_F(MessagesTest, MessagesTakenTogetherKeepTheirOrderForEveryReader) {
    std::thread worker([] {
        DWORD self = GetCurrentThreadId();
        int fd = GetMessageQueueFileDescriptor();
        auto readable = [fd] {
            pollfd entry{fd, POLLIN, 0};
            return poll(&entry, 1, 0) == 1;
        };
        for (UINT m = 1; m <= 3; ++m) PostThreadMessageA(self, WM_USER + m, 0, 0);
        MSG msg;
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);  // takes all three at once
        EXPECT_EQ(msg.message, WM_USER + 1u);
        EXPECT_TRUE(readable());  // two still wait
        PostThreadMessageA(self, WM_USER + 4, 0, 0);
        EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));
        EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(msg.message, WM_USER + 2u);
        std::vector<UINT> rest;
        for (int i = 0; i < 2; ++i) {
            GetMessageA(&msg, nullptr, 0, 0);
            rest.push_back(msg.message);
        }
        EXPECT_EQ(rest, (std::vector<UINT>{WM_USER + 2, WM_USER + 4}));
        EXPECT_FALSE(readable());
        PostThreadMessageA(self, WM_USER + 5, 0, 0);
        PostThreadMessageA(self, WM_QUIT, 0, 0);
        PostThreadMessageA(self, WM_USER + 6, 0, 0);
        EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
        EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);  // a posted quit keeps its place
        EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
        EXPECT_EQ(msg.message, WM_USER + 6u);
    });
    worker.join();
}

TEST_F(MessagesTest, SentMessageGoesBeforePostedOnesAlreadyTaken) {
    WindowThread target;
    target.Start();
    std::atomic<bool> firstHandled{false};
    for (UINT m = 1; m <= 3; ++m) PostMessageA(target.window, WM_USER + m, 0, 0);
    // The target takes the three posted messages together while handling the first...
    std::thread sender([&] {
        while (Seen().empty()) std::this_thread::sleep_for(1ms);
        DWORD_PTR result = 0;
        EXPECT_TRUE(
            SendMessageTimeoutA(target.window, WM_USER + 9, 1, 0, SMTO_NORMAL, 10000, &result));
        firstHandled = true;
    });
    target.go.SetTrue();
    sender.join();
    target.Stop();
    // ...and the sent message still overtakes the two it has not handled yet, unless
    // they were handled before the send arrived.
    std::vector<UINT> order = Seen();
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order[0], WM_USER + 1u);
    auto sentAt = std::find(order.begin(), order.end(), WM_USER + 9u) - order.begin();
    std::vector<UINT> posted;
    for (UINT m : order)
        if (m != WM_USER + 9u) posted.push_back(m);
    EXPECT_EQ(posted, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3}));
    EXPECT_GE(sentAt, 1);
    EXPECT_TRUE(firstHandled.load());
}

TEST_F(MessagesTest, QueueDescriptorIsReadableWhileMessagesWait) {
    std::thread worker([] {
        int fd = GetMessageQueueFileDescriptor();
        ASSERT_GE(fd, 0);
        EXPECT_EQ(GetMessageQueueFileDescriptor(), fd);
        auto readable = [fd] {
            pollfd entry{fd, POLLIN, 0};
            return poll(&entry, 1, 0) == 1;
        };
        EXPECT_FALSE(readable());
        PostThreadMessageA(GetCurrentThreadId(), WM_PENDING_EVENTS, 0, 0);
        PostThreadMessageA(GetCurrentThreadId(), WM_PENDING_EVENTS, 0, 0);
        EXPECT_TRUE(readable());
        MSG msg;
        EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, 0x83EDu);
        EXPECT_TRUE(readable());
        EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_FALSE(readable());
        PostQuitMessage(0);
        EXPECT_TRUE(readable());
        EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
        EXPECT_FALSE(readable());
    });
    worker.join();
    EXPECT_EQ(WM_FLEX_MESSAGE, 0x83E8u);
    EXPECT_EQ(WM_POSTED_EXCEPTION, 0x83EBu);
}

TEST_F(MessagesTest, DescriptorMadeLaterSeesWhetherATakenBatchStillWaits) {
    auto readable = [](int fd) {
        pollfd entry{fd, POLLIN, 0};
        return poll(&entry, 1, 0) == 1;
    };
    // A batch taken and read before the descriptor exists, and one still being read.
    for (int readBefore : {3, 1}) {
        std::thread worker([&] {
            DWORD self = GetCurrentThreadId();
            for (UINT m = 1; m <= 3; ++m) PostThreadMessageA(self, WM_USER + m, 0, 0);
            MSG msg;
            for (int i = 0; i < readBefore; ++i) GetMessageA(&msg, nullptr, 0, 0);
            int fd = GetMessageQueueFileDescriptor();
            EXPECT_EQ(readable(fd), readBefore < 3) << readBefore;
            for (int i = readBefore; i < 3; ++i) GetMessageA(&msg, nullptr, 0, 0);
            EXPECT_EQ(msg.message, WM_USER + 3u);
            EXPECT_FALSE(readable(fd));
        });
        worker.join();
    }
}

TEST_F(MessagesTest, LongQueuesKeepTheirOrderUnderEveryWayOfReading) {
    std::thread worker([] {
        DWORD self = GetCurrentThreadId();
        std::deque<std::pair<UINT, LPARAM>> expected;
        LPARAM next = 0;
        auto post = [&](UINT kind) {
            ASSERT_TRUE(PostThreadMessageA(self, WM_USER + kind, 0, next));
            expected.emplace_back(WM_USER + kind, next++);
        };
        auto check = [&](const MSG& msg, std::deque<std::pair<UINT, LPARAM>>::iterator at) {
            ASSERT_NE(at, expected.end());
            EXPECT_EQ(std::make_pair(msg.message, msg.lParam), *at);
            expected.erase(at);
        };
        MSG msg;
        for (int i = 0; i < 3000; ++i) post(i % 5 == 0 ? 1 : 0);
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);  // takes them all at once
        check(msg, expected.begin());
        // Read one by one, some by filter, while more arrive: the queue never drains.
        for (int step = 0; step < 6000 && !HasFailure(); ++step) {
            if (step % 3 == 0) post(step % 2);
            if (step % 7 == 0) {
                auto first = std::find_if(expected.begin(), expected.end(),
                                          [](const auto& m) { return m.first == WM_USER + 1; });
                ASSERT_EQ(PeekMessageA(&msg, nullptr, WM_USER + 1, WM_USER + 1, PM_REMOVE) != 0,
                          first != expected.end());
                if (first != expected.end()) check(msg, first);
            } else if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                check(msg, expected.begin());
            } else {
                EXPECT_TRUE(expected.empty());
            }
        }
        // A burst, then many small batches after it.
        for (int i = 0; i < 5000; ++i) post(0);
        for (int round = 0; round < 40 && !HasFailure(); ++round) {
            while (!expected.empty()) {
                ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
                check(msg, expected.begin());
            }
            post(0);
            post(1);
        }
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) check(msg, expected.begin());
        EXPECT_TRUE(expected.empty());
    });
    worker.join();
}

TEST_F(MessagesTest, OwnerAsleepIsWokenByEveryLaterPost) {
    std::atomic<DWORD> ownerId{0};
    std::atomic<int> received{0};
    std::thread owner([&] {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        ownerId = GetCurrentThreadId();
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) received = static_cast<int>(msg.lParam);
    });
    while (!ownerId.load()) std::this_thread::yield();
    // Each post finds the owner asleep again (past its brief watch for messages).
    for (int i = 1; i <= 20; ++i) {
        std::this_thread::sleep_for(2ms);
        ASSERT_TRUE(PostThreadMessageA(ownerId, WM_USER, 0, i));
        auto deadline = std::chrono::steady_clock::now() + 5s;
        while (received.load() != i && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        EXPECT_EQ(received.load(), i);
    }
    PostThreadMessageA(ownerId, WM_QUIT, 0, 0);
    owner.join();
}

TEST_F(MessagesTest, SendToAThreadThatEndsFailsPromptly) {
    WindowThread target;
    target.Start();
    std::thread ender([&] {
        std::this_thread::sleep_for(30ms);
        target.go.SetTrue();
        PostMessageA(target.window, WM_QUIT, 0, 0);
    });
    // Posted quit ends the loop before the sent message could be served only if the
    // send came later; either it is served or it fails, and it never waits the full time.
    DWORD_PTR result = 0;
    auto start = std::chrono::steady_clock::now();
    SendMessageTimeoutA(target.window, WM_USER + 4, 1, 0, SMTO_NORMAL, 20000, &result);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    ender.join();
    target.thread.join();
}
