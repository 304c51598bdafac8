#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/frame/ExceptionThrower.h>
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/text/StaticStrings.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>

namespace {

// Text of a message, "(null)" for none, so that tables compare plainly.
std::string Text(const TString* message) {
    return message ? std::string(message->c_str()) : "(null)";
}

TException Caught(const std::function<void(TExceptionThrower&)>& action) {
    TExceptionThrower thrower(0);
    try {
        action(thrower);
    } catch (const TException& e) {
        return e;
    }
    ADD_FAILURE() << "nothing thrown";
    return TException();
}

}  // namespace

TEST(ExceptionTest, EveryThrowForm) {
    const std::string invalid = GetStaticString(18008);
    const std::string seek = GetStaticString(18004);
    const TString one("one"), two("two"), empty;
    struct {
        std::function<void(TExceptionThrower&)> action;
        std::string message, message2;
        uint32_t code;
    } cases[] = {
        {[](auto& t) { t.SetAndThrow(); }, "(null)", "(null)", 0},
        {[](auto& t) { t.SetAndThrow(TException("copied", "too", 9u)); }, "copied", "too", 9},
        {[](auto& t) { t.SetAndThrow("a"); }, "a", "(null)", 0},
        {[](auto& t) { t.SetAndThrow(""); }, "(null)", "(null)", 0},
        {[](auto& t) { t.SetAndThrow(static_cast<const char*>(nullptr)); }, "(null)", "(null)", 0},
        {[&](auto& t) { t.SetAndThrow(one); }, "one", "(null)", 0},
        {[&](auto& t) { t.SetAndThrow(empty); }, "(null)", "(null)", 0},
        {[](auto& t) { t.SetAndThrow(TResMess(18008)); }, invalid, "(null)", 0},
        {[](auto& t) { t.SetAndThrow("a", "b"); }, "a", "b", 0},
        {[](auto& t) { t.SetAndThrow("", "b"); }, "(null)", "b", 0},
        {[&](auto& t) { t.SetAndThrow(one, two); }, "one", "two", 0},
        {[](auto& t) { t.SetAndThrow(TResMess(18008), TResMess(18004)); }, invalid, seek, 0},
        {[](auto& t) { t.SetAndThrow("a", 5u); }, "a", "(null)", 5},
        {[&](auto& t) { t.SetAndThrow(two, 0xFFFFFFFFu); }, "two", "(null)", 0xFFFFFFFF},
        {[](auto& t) { t.SetAndThrow(TResMess(18008), 5u); }, invalid, "(null)", 5},
        {[](auto& t) { t.SetAndThrow("a", "b", 112u); }, "a", "b", 112},
        {[&](auto& t) { t.SetAndThrow(one, empty, 3u); }, "one", "(null)", 3},
        {[](auto& t) { t.SetAndThrow(TResMess(18004), TResMess(18008), 32u); }, seek, invalid, 32},
    };
    int row = 0;
    for (const auto& c : cases) {
        TException e = Caught(c.action);
        EXPECT_EQ(Text(e.GetMessage()), c.message) << "row " << row;
        EXPECT_EQ(Text(e.GetSecondMessage()), c.message2) << "row " << row;
        EXPECT_EQ(e.GetCode(), c.code) << "row " << row;
        EXPECT_EQ(e.GetSecondValue(), 0) << "row " << row;
        ++row;
    }
}

TEST(ExceptionTest, CaughtAsAExceptionHasEmptyReason) {
    try {
        TExceptionThrower(0).SetAndThrow("disk full", 112u);
        FAIL();
    } catch (const AException& e) {
        EXPECT_STREQ(e.why().c_str(), "");
    }
    try {
        TExceptionThrower(0).SetAndThrow("disk full", 112u);
    } catch (const TException& e) {
        EXPECT_STREQ(e.why().c_str(), "");
        EXPECT_EQ(e.GetCode(), 112u);
    }

    AException reason(TString("why"));
    AException copy(reason);
    EXPECT_STREQ(copy.why().c_str(), "why");
    EXPECT_EQ(copy.why().c_str(), reason.why().c_str());  // shares the text
    AException other(TString("other"));
    copy = other;
    AException& alias = copy;
    copy = alias;
    EXPECT_STREQ(copy.why().c_str(), "other");
    try {
        reason.raise();
        FAIL();
    } catch (const AException& e) {
        EXPECT_STREQ(e.why().c_str(), "why");
    }
}

TEST(ExceptionTest, CopiesOwnTheirMessages) {
    TString text("shared text");
    auto* source = new TException(text, TString("second"), 7u);
    // The message is a string object of its own that shares the given text.
    ASSERT_NE(source->GetMessage(), nullptr);
    EXPECT_NE(source->GetMessage(), &text);
    EXPECT_EQ(source->GetMessage()->c_str(), text.c_str());

    TException copy(*source);
    TException assigned("old", "old2", 1u);
    assigned = *source;
    TException fewer("x", "y", 2u);
    fewer = TException("only");  // the old second message goes
    delete source;

    for (const TException* e : {&copy, &assigned}) {
        EXPECT_EQ(Text(e->GetMessage()), "shared text");
        EXPECT_EQ(Text(e->GetSecondMessage()), "second");
        EXPECT_EQ(e->GetCode(), 7u);
    }
    EXPECT_EQ(Text(fewer.GetMessage()), "only");
    EXPECT_EQ(fewer.GetSecondMessage(), nullptr);
    EXPECT_EQ(fewer.GetCode(), 0u);

    TException& self = copy;
    copy = self;
    EXPECT_EQ(Text(copy.GetMessage()), "shared text");
    EXPECT_EQ(Text(copy.GetSecondMessage()), "second");
}

TEST(ExceptionTest, NonPostingThrowerHasNoTarget) {
    TExceptionThrower thrower(0);
    EXPECT_EQ(thrower.GetTargetThread(), 0xFFFFFFFFu);
    EXPECT_EQ(thrower.GetTargetWindow(), nullptr);
}

// Out of memory is simulated by the heap's own failure seam: the next reservation of
// address space fails once.
TEST(ExceptionTest, OutOfMemorySurfacesAsException) {
    ASSERT_NE(std::get_new_handler(), nullptr);  // installed at load

    auto expectOutOfMemory = [](const std::function<void()>& allocate) {
        cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Reserve, 1, ENOMEM);
        try {
            allocate();
            ADD_FAILURE() << "allocation did not fail";
        } catch (const TException& e) {
            EXPECT_EQ(Text(e.GetMessage()), "Out of memory");
            EXPECT_EQ(e.GetSecondMessage(), nullptr);
            EXPECT_EQ(e.GetCode(), 0u);
        }
        cvq::platform::DisarmFailures();
    };

    NH_Heap heap(NH_AHeap::kMultithreaded);
    expectOutOfMemory([&] { heap.AllocMem(4 << 20); });
    // The heap came through intact and unlocked.
    void* block = heap.AllocMem(4 << 20);
    ASSERT_NE(block, nullptr);
    NH_Heap::FreeMem(block);

    char* probe = new char;
    bool interposed = IsDynamicMemory(probe);
    delete probe;
    if (!interposed) GTEST_SKIP() << "operator new and malloc are the sanitizer runtime's";

    static char* volatile kept;  // so that the compiler cannot drop the allocation
    expectOutOfMemory([] { kept = new char[64 << 20]; });
    delete[] kept;
    // A size no memory could serve is out of memory too, not a bare std::bad_alloc.
    volatile size_t impossible = SIZE_MAX / 4;
    expectOutOfMemory([&] { kept = new char[impossible]; });
    // malloc reaches the same handler, and as the C allocator returns null.
    cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Reserve, 1, ENOMEM);
    void* volatile p = std::malloc(64 << 20);
    cvq::platform::DisarmFailures();
    EXPECT_EQ(p, nullptr);
    std::free(p);
}
