// TThread: start, suspended start, suspend and resume, termination, ownership modes,
// attaching, messages, priorities and the per-thread data seam.
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/threads/Thread.h>
#include <commonvcqx/threads/ThreadEvent.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Runs a function as its MainLoop.
template <typename Body>
class TLambdaThread : public TThread {
public:
    explicit TLambdaThread(Body body) : TThread("lambda"), m_body(std::move(body)) {}
    ~TLambdaThread() override {
        if (IsAutoDeathActive()) WaitForEnd();
    }
    uint32_t MainLoop() override { return m_body(); }

private:
    Body m_body;
};

template <typename Body>
TLambdaThread<Body> MakeThread(Body body) {
    return TLambdaThread<Body>(std::move(body));
}

// Counts until asked to stop, sleeping a little so that it reaches the library often.
struct Counter {
    std::atomic<long> value{0};
    std::atomic<bool> stop{false};
    uint32_t Run() {
        while (!stop.load()) {
            ++value;
            std::this_thread::sleep_for(100us);
        }
        return 0;
    }
    bool StandsStill() {
        long before = value.load();
        std::this_thread::sleep_for(50ms);
        return value.load() == before;
    }
};

}  // namespace

TEST(ThreadTest, RunsMainLoopAndReportsItsEnd) {
    TThreadEvent ran;
    auto thread = MakeThread([&]() -> uint32_t {
        ran.SetTrue();
        return 5;
    });
    EXPECT_FALSE(thread.IsCreated());
    EXPECT_FALSE(thread.IsTerminated());  // never started
    EXPECT_TRUE(thread.IsAutoDeathActive());
    ASSERT_TRUE(thread.SetupAndRun(&thread, 0, 0, 0));
    EXPECT_TRUE(thread.IsCreated());
    EXPECT_NE(thread.GetThreadId(), 0u);
    EXPECT_NE(thread.GetThreadId(), GetCurrentThreadId());
    EXPECT_TRUE(ran.WaitForIt(5000));
    while (!thread.IsTerminated()) std::this_thread::sleep_for(1ms);
    thread.WaitForEnd();
    EXPECT_EQ(thread.GetThreadHandle(), nullptr);
    EXPECT_TRUE(thread.IsTerminated());  // created stays set
    thread.WaitForEnd();                 // a second call does nothing

    TThread base;
    EXPECT_TRUE(base.SetupAndRun(&base, 0, 0, 64 * 1024));  // base MainLoop returns at once
    base.WaitForEnd();
    EXPECT_FALSE(base.SetupAndRun(nullptr, 0, 0, 0));
}

TEST(ThreadTest, SuspendedStartWaitsForResume) {
    TThreadEvent ran;
    auto thread = MakeThread([&]() -> uint32_t {
        ran.SetTrue();
        return 0;
    });
    ASSERT_TRUE(thread.SetupAndRun(&thread, 0, 1, 0));
    EXPECT_TRUE(thread.IsSuspended());
    EXPECT_FALSE(ran.WaitForIt(50));
    EXPECT_FALSE(thread.IsTerminated());
    EXPECT_EQ(thread.Resume(), 1u);
    EXPECT_FALSE(thread.IsSuspended());
    EXPECT_TRUE(ran.WaitForIt(5000));
    EXPECT_EQ(thread.Resume(), 0u);  // not suspended: the count stays at 0
    EXPECT_FALSE(thread.IsSuspended());
}

TEST(ThreadTest, SuspendAndResumeARunningThreadAreCounted) {
    Counter counter;
    auto thread = MakeThread([&] { return counter.Run(); });
    ASSERT_TRUE(thread.SetupAndRun(&thread, 0, 0, 0));
    while (counter.value.load() < 10) std::this_thread::sleep_for(1ms);

    EXPECT_EQ(thread.Suspend(), 0u);
    EXPECT_TRUE(counter.StandsStill());
    EXPECT_EQ(thread.Suspend(), 1u);
    EXPECT_TRUE(thread.IsSuspended());
    EXPECT_EQ(thread.Resume(), 2u);
    EXPECT_TRUE(counter.StandsStill());  // still suspended once
    EXPECT_EQ(thread.Resume(), 1u);
    EXPECT_FALSE(thread.IsSuspended());
    long before = counter.value.load();
    while (counter.value.load() == before) std::this_thread::sleep_for(1ms);

    counter.stop = true;
    thread.WaitForEnd();
    EXPECT_EQ(thread.Suspend(), 0xFFFFFFFFu);  // no thread any more
    EXPECT_FALSE(thread.IsSuspended());
}

TEST(ThreadTest, SuspendWhileWaitingHoldsTheThreadAfterItsWait) {
    TThreadEvent go;
    std::atomic<bool> passed{false};
    auto thread = MakeThread([&]() -> uint32_t {
        go.WaitForIt(INFINITE);
        passed = true;
        return 0;
    });
    ASSERT_TRUE(thread.SetupAndRun(&thread, 0, 0, 0));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(thread.Suspend(), 0u);
    go.SetTrue();
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(passed.load());
    thread.Resume();
    thread.WaitForEnd();
    EXPECT_TRUE(passed.load());
}

namespace {
std::atomic<int> hookBegins{0}, hookEnds{0};
thread_local bool hookData = false;
void CountBegin() {
    hookData = true;
    ++hookBegins;
}
void CountEnd() {
    hookData = false;
    ++hookEnds;
}
}  // namespace

TEST(ThreadTest, TerminateEndsTheThreadAtOnce) {
    cvq::detail::SetThreadDataHooks(&CountBegin, &CountEnd);
    int begins = hookBegins.load(), ends = hookEnds.load();
    struct Case {
        const char* where;
        int kind;
    };
    for (const Case& test : {Case{"event wait", 0}, Case{"message wait", 1}, Case{"busy", 2},
                             Case{"suspended", 3}, Case{"suspended start", 4}}) {
        TThreadEvent never;
        std::atomic<bool> started{false}, finished{false};
        auto thread = MakeThread([&]() -> uint32_t {
            started = true;
            if (test.kind == 0) never.WaitForIt(INFINITE);
            if (test.kind == 1) {
                MSG msg;
                GetMessageA(&msg, nullptr, 0, 0);
            }
            while (test.kind >= 2) std::this_thread::sleep_for(100us);
            finished = true;
            return 1;
        });
        ASSERT_TRUE(thread.SetupAndRun(&thread, 0, test.kind == 4, 0));
        if (test.kind != 4)
            while (!started.load()) std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(10ms);
        if (test.kind == 3) thread.Suspend();
        TThread observer(thread);
        EXPECT_TRUE(thread.Terminate(77)) << test.where;
        EXPECT_EQ(thread.GetThreadHandle(), nullptr);
        EXPECT_TRUE(thread.IsTerminated()) << test.where;
        EXPECT_TRUE(observer.IsTerminated()) << test.where;
        EXPECT_FALSE(finished.load()) << test.where;
        EXPECT_FALSE(thread.PostThreadMessageA(WM_USER, 0, 0)) << test.where;
    }
    EXPECT_EQ(hookBegins.load() - begins, 4);  // the suspended start never began
    EXPECT_EQ(hookEnds.load() - ends, 5);      // but every thread's data was released
    cvq::detail::SetThreadDataHooks(nullptr, nullptr);
}

TEST(ThreadTest, PerThreadDataHooksFrameMainLoop) {
    cvq::detail::SetThreadDataHooks(&CountBegin, &CountEnd);
    bool seen = false;
    int ends = hookEnds.load();
    auto thread = MakeThread([&]() -> uint32_t {
        seen = hookData;
        return 0;
    });
    thread.SetupAndRun(&thread, 0, 0, 0);
    thread.WaitForEnd();
    EXPECT_TRUE(seen);
    EXPECT_EQ(hookEnds.load() - ends, 1);
    cvq::detail::SetThreadDataHooks(nullptr, nullptr);
}

TEST(ThreadTest, AutoDeathWaitsAndAttachedObjectsDoNot) {
    std::atomic<bool> finished{false};
    {
        auto thread = MakeThread([&]() -> uint32_t {
            std::this_thread::sleep_for(50ms);
            finished = true;
            return 0;
        });
        thread.SetupAndRun(&thread, 0, 0, 0);
    }  // the destructor waits
    EXPECT_TRUE(finished.load());

    TThreadEvent release;
    auto runner = MakeThread([&]() -> uint32_t {
        release.WaitForIt(INFINITE);
        return 0;
    });
    runner.SetupAndRun(&runner, 0, 0, 0);
    {
        TThread attached(runner.GetThreadHandle(), runner.GetThreadId(), "attached");
        EXPECT_FALSE(attached.IsAutoDeathActive());
        EXPECT_TRUE(attached.IsCreated());
        EXPECT_FALSE(attached.IsTerminated());
        TThread copy;
        copy = attached;
        TThread initialized;
        initialized.Init(runner.GetThreadHandle(), runner.GetThreadId());
        EXPECT_FALSE(initialized.IsAutoDeathActive());
        EXPECT_FALSE(initialized.IsTerminated());
    }  // none of them waits, none closes the runner's handle
    release.SetTrue();
    runner.WaitForEnd();
    EXPECT_TRUE(runner.IsTerminated());

    TThread current;
    current.InitAsCurrentThread("main");
    EXPECT_EQ(current.GetThreadId(), GetCurrentThreadId());
    EXPECT_STREQ(current.GetName(), "main");
    EXPECT_FALSE(current.IsTerminated());
    EXPECT_FALSE(current.IsAutoDeathActive());
    current.SetAutoDeathMode(1);
    current.WaitForEnd();  // its own thread: returns at once
    EXPECT_TRUE(current.IsTerminated());
}

namespace {
class TSelfDeleting : public TThread {
public:
    TSelfDeleting(TThreadEvent& done, std::atomic<int>& destroyed)
        : m_done(done), m_destroyed(destroyed) {}
    ~TSelfDeleting() override {
        ++m_destroyed;
        m_done.SetTrue();
    }
    uint32_t MainLoop() override { return 0; }

private:
    TThreadEvent m_done;
    std::atomic<int>& m_destroyed;
};
}  // namespace

TEST(ThreadTest, SelfDestructibleThreadDeletesItsObject) {
    TThreadEvent done;
    std::atomic<int> destroyed{0};
    for (int i = 0; i < 20; ++i) {
        auto* thread = new TSelfDeleting(done, destroyed);
        thread->SetAsAutoDestructible();
        EXPECT_TRUE(thread->IsSelfDestructible());
        ASSERT_TRUE(thread->SetupAndRun(thread, 0, 0, 0));  // `thread` may be gone now
        EXPECT_TRUE(done.WaitForIt(5000));
        done.SetFalse();
    }
    while (destroyed.load() < 20) std::this_thread::sleep_for(1ms);
}

TEST(ThreadTest, PostedMessagesArriveInOrder) {
    std::vector<long> received;
    auto thread = MakeThread([&]() -> uint32_t {
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) received.push_back(msg.lParam);
        return static_cast<uint32_t>(msg.wParam);
    });
    thread.SetupAndRun(&thread, 0, 0, 0);
    // Accepted at once: the queue exists from the start.
    for (int i = 0; i < 100; ++i) EXPECT_TRUE(thread.PostThreadMessageA(WM_USER, 0, i));
    EXPECT_TRUE(thread.PostThreadMessageA(WM_QUIT, -1, 0));
    thread.WaitForEnd();
    ASSERT_EQ(received.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(received[i], i);
    EXPECT_FALSE(thread.PostThreadMessageA(WM_USER, 0, 0));  // its queue went with it
}

TEST(ThreadTest, PrioritiesAreReportedNotThrown) {
    TThreadEvent release;
    auto thread = MakeThread([&]() -> uint32_t {
        release.WaitForIt(INFINITE);
        return 0;
    });
    thread.SetupAndRun(&thread, THREAD_PRIORITY_BELOW_NORMAL, 0, 0);
    EXPECT_EQ(thread.GetPriority(), THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_TRUE(thread.SetPriority(THREAD_PRIORITY_LOWEST));
    EXPECT_EQ(thread.GetPriority(), THREAD_PRIORITY_LOWEST);
    EXPECT_FALSE(thread.SetPriority(7));  // not a priority
    EXPECT_EQ(thread.GetPriority(), THREAD_PRIORITY_LOWEST);
    // Raising may be refused without privileges; either way the value stays coherent.
    int32_t expected = thread.SetPriority(THREAD_PRIORITY_HIGHEST) ? THREAD_PRIORITY_HIGHEST
                                                                   : THREAD_PRIORITY_LOWEST;
    EXPECT_EQ(thread.GetPriority(), expected);
    EXPECT_EQ(thread.GetPriorityClass(), NORMAL_PRIORITY_CLASS);
    EXPECT_FALSE(thread.SetPriorityClass(0x12345));
    release.SetTrue();
    thread.WaitForEnd();
    EXPECT_EQ(thread.GetPriority(), THREAD_PRIORITY_ERROR_RETURN);
    EXPECT_FALSE(thread.SetPriority(THREAD_PRIORITY_NORMAL));
}
