#include <commonvcqx/frame/ExceptionThrower.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/text/StaticStrings.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

TException* received = nullptr;
int receivedCount = 0;

LRESULT ReceivingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_POSTED_EXCEPTION) {
        received = reinterpret_cast<TException*>(lParam);  // ours to delete now
        ++receivedCount;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Returns the thrower's result: whether SetAndThrow came back instead of throwing.
bool PostFromWorker(void (*post)(TExceptionThrower&)) {
    bool returned = false;
    std::thread([&] {
        TExceptionThrower poster(1);
        try {
            post(poster);
            returned = true;
        } catch (...) {
        }
    }).join();
    return returned;
}

}  // namespace

// The tests run on the thread that loaded the library.
TEST(ExceptionPostingTest, PostsHeapCopyToTheLoadingThread) {
    TException::NotifyPostHandle(nullptr);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // the queue exists from here
    EXPECT_EQ(TExceptionThrower(1).GetTargetThread(), GetCurrentThreadId());
    EXPECT_EQ(TExceptionThrower(1).GetTargetWindow(), nullptr);

    EXPECT_TRUE(PostFromWorker([](TExceptionThrower& t) { t.SetAndThrow("disk gone", 21u); }));
    EXPECT_TRUE(PostFromWorker([](TExceptionThrower& t) { t.SetAndThrow(); }));

    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, 0x83EBu);
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.wParam, 0u);
    auto* first = reinterpret_cast<TException*>(msg.lParam);
    EXPECT_STREQ(first->GetMessage()->c_str(), "disk gone");
    EXPECT_EQ(first->GetCode(), 21u);
    delete first;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    auto* second = reinterpret_cast<TException*>(msg.lParam);
    EXPECT_EQ(second->GetMessage(), nullptr);
    delete second;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(ExceptionPostingTest, PostsToTheNamedWindowAndDropsUndeliverableCopies) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &ReceivingProcedure;
    windowClass.lpszClassName = "CvqExceptionReceiver";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    HWND window = CreateWindowExA(0, "CvqExceptionReceiver", "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);

    TException::NotifyPostHandle(window);
    TExceptionThrower poster(1);
    EXPECT_EQ(poster.GetTargetWindow(), window);
    EXPECT_EQ(poster.GetTargetThread(), 0xFFFFFFFFu);
    TExceptionThrower copy(0);
    copy = poster;
    EXPECT_EQ(copy.GetTargetWindow(), window);

    received = nullptr;
    receivedCount = 0;
    EXPECT_TRUE(PostFromWorker(
        [](TExceptionThrower& t) { t.SetAndThrow(TResMess(18008), TResMess(18004), 5u); }));
    MSG msg;
    ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.hwnd, window);
    DispatchMessageA(&msg);
    ASSERT_EQ(receivedCount, 1);
    EXPECT_STREQ(received->GetMessage()->c_str(), GetStaticString(18008));
    EXPECT_STREQ(received->GetSecondMessage()->c_str(), GetStaticString(18004));
    EXPECT_EQ(received->GetCode(), 5u);
    delete received;

    // A window that is gone cannot receive: the copy is released, nothing escapes.
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_TRUE(PostFromWorker([](TExceptionThrower& t) { t.SetAndThrow("nobody", 1u); }));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(receivedCount, 1);

    TException::NotifyPostHandle(nullptr);
    EXPECT_TRUE(UnregisterClassA("CvqExceptionReceiver", nullptr));
}

// The copy goes to another thread while the poster's exception lives on: no string
// representation may be shared between them, as their counts are not locked.
TEST(ExceptionPostingTest, PostedCopySharesNoTextWithThePoster) {
    TException::NotifyPostHandle(nullptr);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    const TException original(TString("disk gone"), TString("D:"), 21u);
    std::thread([&] { TExceptionThrower(1).SetAndThrow(original); }).join();
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    auto* copy = reinterpret_cast<TException*>(msg.lParam);
    ASSERT_NE(copy->GetMessage(), nullptr);
    ASSERT_NE(copy->GetSecondMessage(), nullptr);
    EXPECT_EQ(*copy->GetMessage(), "disk gone");
    EXPECT_EQ(*copy->GetSecondMessage(), "D:");
    EXPECT_EQ(copy->GetCode(), 21u);
    EXPECT_NE(copy->GetMessage()->c_str(), original.GetMessage()->c_str());
    EXPECT_NE(copy->GetSecondMessage()->c_str(), original.GetSecondMessage()->c_str());
    EXPECT_EQ(original.GetMessage()->GetStringRef()->refCount, 1);
    delete copy;
}
