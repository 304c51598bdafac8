#include <commonvcqx/frame/AutoInitProcedure.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/platform/internal/SharedModules.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace platform = cvq::platform;

// A module linked to the library comes and goes while the library stays.
TEST(UnloadTest, ModuleUsingTheLibraryLoadsAndUnloads) {
    for (int round = 0; round < 2; ++round) {
        void* module = platform::OpenSharedModule(CVQ_UNLOAD_MODULE);
        ASSERT_NE(module, nullptr) << platform::LastSharedModuleError();
        auto exercise =
            reinterpret_cast<int (*)()>(platform::FindModuleSymbol(module, "CvqModuleExercise"));
        auto throwing =
            reinterpret_cast<void (*)()>(platform::FindModuleSymbol(module, "CvqModuleThrow"));
        ASSERT_NE(exercise, nullptr);
        ASSERT_NE(throwing, nullptr);
        EXPECT_EQ(platform::FindModuleSymbol(module, "NoSuchSymbol"), nullptr);
        EXPECT_STRNE(platform::LastSharedModuleError(), "");

        EXPECT_EQ(exercise(), 0);
        try {
            throwing();
            ADD_FAILURE() << "nothing thrown";
        } catch (const TException& e) {
            EXPECT_STREQ(e.GetMessage()->c_str(), "thrown in module");
            EXPECT_STREQ(e.GetSecondMessage()->c_str(), "second");
            EXPECT_EQ(e.GetCode(), 18u);
        }
        EXPECT_TRUE(platform::CloseSharedModule(module)) << platform::LastSharedModuleError();
        // The module's registration went with its cleanup.
        EXPECT_TRUE(RunAutoInit("UnloadModule"));
    }
    EXPECT_EQ(platform::OpenSharedModule("/nonexistent/libnothing.so"), nullptr);
    EXPECT_STRNE(platform::LastSharedModuleError(), "");
}

// The library itself loaded and unloaded by a process that does not link it.
TEST(UnloadTest, LibraryUnloadsInReverseStartupOrder) {
    std::string command = std::string(CVQ_UNLOAD_PROBE) + " " + CVQ_UNLOAD_MODULE;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}
