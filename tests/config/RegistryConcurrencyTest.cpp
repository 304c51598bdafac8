// Several processes and threads ensuring distinct values in one root file at once: no
// write is lost, no reader sees a torn file, and no temporary file is left behind.
#include "RegistryTestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using RegistryConcurrencyTest = cvq::test::RegistryFolder;

constexpr int kProcesses = 4;
constexpr int kThreads = 3;
constexpr int kValues = 6;

std::string ValueName(int process, int thread, int value) {
    return "p" + std::to_string(process) + "t" + std::to_string(thread) + "v" +
           std::to_string(value);
}

// Ensures this worker's values, each read back at once, and reads a value shared by
// all; false on any surprise.
bool Work(int process, int thread) {
    try {
        for (int value = 0; value < kValues; ++value) {
            const std::string name = ValueName(process, thread, value);
            const int32_t number = process * 1000 + thread * 100 + value;
            // Half in a subkey of their own, half in one key that every worker changes.
            const std::string key = value % 2 ? "Shared" : "Own\\" + name;
            EnsureRegistryLong(HKEY_CURRENT_USER, key.c_str(), name.c_str(), number);
            EnsureRegistryString(HKEY_CURRENT_USER, "Shared", (name + "s").c_str(), name.c_str(),
                                 1);
            char found = 0;
            if (GetRegistryLong(HKEY_CURRENT_USER, key.c_str(), name.c_str(), &found) != number ||
                !found)
                return false;
            TString common = GetRegistryString(HKEY_CURRENT_USER, "Common", "Text", &found);
            if (!found || common != TString("same for all")) return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool RunThreads(int process) {
    std::atomic<bool> ok{true};
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread)
        threads.emplace_back([&ok, process, thread] {
            if (!Work(process, thread)) ok = false;
        });
    for (std::thread& thread : threads) thread.join();
    return ok;
}

TEST_F(RegistryConcurrencyTest, ProcessesAndThreadsLoseNoWrite) {
    EnsureRegistryString(HKEY_CURRENT_USER, "Common", "Text", "same for all", 1);
    // The children are forked before this process starts any thread of its own.
    std::vector<pid_t> children;
    for (int process = 1; process < kProcesses; ++process) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) _exit(RunThreads(process) ? 0 : 1);
        children.push_back(child);
    }
    EXPECT_TRUE(RunThreads(0));
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    Forget();
    for (int process = 0; process < kProcesses; ++process) {
        for (int thread = 0; thread < kThreads; ++thread) {
            for (int value = 0; value < kValues; ++value) {
                const std::string name = ValueName(process, thread, value);
                const std::string key = value % 2 ? "Shared" : "Own\\" + name;
                char found = 0;
                EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, key.c_str(), name.c_str(), &found),
                          process * 1000 + thread * 100 + value)
                    << name;
                EXPECT_EQ(found, 1) << name;
                EXPECT_EQ(
                    GetRegistryString(HKEY_CURRENT_USER, "Shared", (name + "s").c_str(), &found),
                    TString(name.c_str()));
            }
        }
    }
    EXPECT_EQ(Entries(), 2u);  // the root's file and its lock file
}

}  // namespace
