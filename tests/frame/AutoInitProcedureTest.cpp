#include <commonvcqx/frame/AutoInitProcedure.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

// Calls as seen by the procedures: +value for an init, -value for a cleanup.
std::vector<intptr_t> calls;
intptr_t throwingInitValue = 0;
int cleanupFailuresLeft = 0;

void* Init(intptr_t value) {
    calls.push_back(value);
    if (value == throwingInitValue) throw std::runtime_error("init failed");
    return reinterpret_cast<void*>(value * 100);
}

void Cleanup(void* value) {
    calls.push_back(-reinterpret_cast<intptr_t>(value));
    if (cleanupFailuresLeft > 0) {
        --cleanupFailuresLeft;
        throw 7;
    }
}

struct AutoInitTest : ::testing::Test {
    void SetUp() override {
        calls.clear();
        throwingInitValue = 0;
        cleanupFailuresLeft = 0;
    }
};

}  // namespace

TEST_F(AutoInitTest, PriorityThenRegistrationOrder) {
    TAutoInitProcedure("order", &Init, &Cleanup, 5, 1);
    TAutoInitProcedure("order", &Init, &Cleanup, 10, 2);
    TAutoInitProcedure("order", &Init, &Cleanup, 5, 3);
    TAutoInitProcedure("order", &Init, &Cleanup, INT32_MIN, 4);  // extremes must not wrap
    TAutoInitProcedure("order", &Init, &Cleanup, INT32_MAX, 5);
    EXPECT_TRUE(RunAutoInit("order"));
    EXPECT_EQ(calls, (std::vector<intptr_t>{5, 2, 1, 3, 4}));
    calls.clear();
    RunAutoCleanup("order");
    // Each cleanup gets its own entry's init result.
    EXPECT_EQ(calls, (std::vector<intptr_t>{-400, -300, -100, -200, -500}));
    calls.clear();
    RunAutoCleanup("order");  // all removed
    EXPECT_TRUE(calls.empty());
}

TEST_F(AutoInitTest, GroupsIgnoreCaseAndNullIsEmpty) {
    TAutoInitProcedure("Audio", &Init, &Cleanup, 0, 1);
    TAutoInitProcedure("Video", &Init, &Cleanup, 0, 2);
    TAutoInitProcedure(nullptr, &Init, &Cleanup, 0, 3);
    TAutoInitProcedure("", &Init, &Cleanup, 0, 4);
    TAutoInitProcedure("AUDIO", nullptr, &Cleanup, 0, 5);  // no init: value stays
    TAutoInitProcedure("audio2", &Init, &Cleanup, 0, 6);

    EXPECT_TRUE(RunAutoInit("audio"));
    EXPECT_EQ(calls, (std::vector<intptr_t>{1}));
    calls.clear();
    EXPECT_TRUE(RunAutoInit(nullptr));
    EXPECT_EQ(calls, (std::vector<intptr_t>{3, 4}));
    calls.clear();

    RunAutoCleanup("aUdIo");
    // Reverse order; the entry without init hands over its registration value.
    EXPECT_EQ(calls, (std::vector<intptr_t>{-5, -100}));
    calls.clear();
    RunAutoCleanup("");
    EXPECT_EQ(calls, (std::vector<intptr_t>{-400, -300}));
    calls.clear();
    RunAutoCleanup("video");  // never initialised: the registration value
    RunAutoCleanup("audio2");
    EXPECT_EQ(calls, (std::vector<intptr_t>{-2, -6}));
}

TEST_F(AutoInitTest, ThrowingInitStopsTheWalk) {
    TAutoInitProcedure("fail", &Init, &Cleanup, 3, 1);
    TAutoInitProcedure("fail", &Init, &Cleanup, 2, 2);
    TAutoInitProcedure("fail", &Init, &Cleanup, 1, 3);
    throwingInitValue = 2;
    EXPECT_FALSE(RunAutoInit("fail"));
    EXPECT_EQ(calls, (std::vector<intptr_t>{1, 2}));
    calls.clear();
    RunAutoCleanup("fail");
    // The failed entry kept its value, the unrun one its registration value.
    EXPECT_EQ(calls, (std::vector<intptr_t>{-3, -2, -100}));
}

TEST_F(AutoInitTest, ThrowingCleanupStaysRegisteredAndRegistryStartsAgain) {
    TAutoInitProcedure("keep", &Init, &Cleanup, 1, 1);
    TAutoInitProcedure("keep", nullptr, nullptr, 0, 2);
    cleanupFailuresLeft = 1;
    RunAutoCleanup("keep");  // nothing escapes
    EXPECT_EQ(calls, (std::vector<intptr_t>{-1}));
    calls.clear();
    RunAutoCleanup("keep");  // called again, now removed
    EXPECT_EQ(calls, (std::vector<intptr_t>{-1}));
    calls.clear();
    RunAutoCleanup("keep");
    EXPECT_TRUE(calls.empty());

    // The emptied registry was discarded: a new one holds only the new entry.
    EXPECT_TRUE(RunAutoInit("keep"));
    EXPECT_TRUE(calls.empty());
    TAutoInitProcedure("keep", &Init, &Cleanup, 0, 9);
    EXPECT_TRUE(RunAutoInit("keep"));
    EXPECT_EQ(calls, (std::vector<intptr_t>{9}));
    RunAutoCleanup("keep");
}
