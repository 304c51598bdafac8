// Saves killed at random moments: a child process saves a document, a configuration and
// a registry value in a loop and is killed with SIGKILL; afterwards each file is a whole
// version, the one last reported saved or the one after it, and the only leftover is
// the one new file per target that the next save takes over.
#include "CrashVersions.h"

#include <commonvcqx/config/Config.h>
#include <commonvcqx/config/Registry.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>

#include "../support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>

extern char** environ;

namespace {

using cvq::reliability::VersionBody;
namespace fs = std::filesystem;

// Kills in the suite's run; CVQ_RELIABILITY_LONG=1 makes it 600.
int KillCount() {
    const char* longRun = std::getenv("CVQ_RELIABILITY_LONG");
    return longRun && *longRun && *longRun != '0' ? 600 : 60;
}

struct TChild {
    pid_t pid = -1;
    int output = -1;
};

TChild Start(const std::string& folder, uint32_t first) {
    int pipeEnds[2];
    TChild child;
    if (::pipe(pipeEnds) != 0) return child;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::string version = std::to_string(first);
    char* args[] = {const_cast<char*>(CVQ_CRASH_SAVER), const_cast<char*>(folder.c_str()),
                    version.data(), nullptr};
    if (posix_spawn(&child.pid, CVQ_CRASH_SAVER, &actions, nullptr, args, environ) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    child.output = pipeEnds[0];
    return child;
}

// Reads reports until `enough` of them have come, or the pipe closes.
void Read(int fd, std::string& text, size_t enough) {
    char buffer[4096];
    auto lines = [&] { return size_t(std::count(text.begin(), text.end(), '\n')); };
    while (lines() < enough) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return;
        text.append(buffer, size_t(n));
    }
}

class CrashDuringSaveTest : public ::testing::Test {
protected:
    void TearDown() override { SetRegistryDirectory(nullptr); }

    // The version a file holds, checked whole; 0 when there is none, -1 when damaged.
    int64_t DocumentVersion() const {
        if (!fs::exists(m_folder.Path("song.doc"))) return 0;
        try {
            TTaggedInputStream in(1, TFileName(m_folder.Name("song.doc").c_str()), 1);
            uint32_t version = uint32_t(in.GetValue(int32_t(-1), "Version", 0));
            std::string body = VersionBody(version), read(body.size() + 1, '\0');
            int32_t size = in.GetBinary(read.data(), nullptr, int32_t(read.size()), "Body", 0);
            return size == int32_t(body.size()) && read.compare(0, body.size(), body) == 0
                       ? int64_t(version)
                       : -1;
        } catch (const TException&) {
            return -1;
        }
    }
    int64_t ConfigVersion() const {
        if (!fs::exists(m_folder.Path("prefs.cfg"))) return 0;
        try {
            TConfig prefs("Prefs", TConfig::EMode(TConfig::kThrowIfNotLoaded));
            prefs.Load(TFileName(m_folder.Name("prefs.cfg").c_str()));
            uint32_t version = uint32_t(prefs.GetValue(int32_t(-1), "Version", 0));
            TString body = prefs.GetValue("", "Body", 0);
            return VersionBody(version) == body.c_str() ? int64_t(version) : -1;
        } catch (const TException&) {
            return -1;
        }
    }
    int64_t RegistryVersion() const {
        SetRegistryDirectory(m_folder.Path("registry").c_str());  // forgets kept files
        if (!fs::exists(m_folder.Path("registry/HKEY_CURRENT_USER.reg"))) return 0;
        char found = 0;
        TString value = GetRegistryString(HKEY_CURRENT_USER, "Software\\Crash", "Value", &found);
        if (!found) return -1;
        uint32_t version = uint32_t(std::strtoul(value.c_str(), nullptr, 10));
        return cvq::reliability::RegistryText(version) == value.c_str() ? int64_t(version) : -1;
    }

    // The leftovers beside the targets: only the shared new file of each, never more.
    ::testing::AssertionResult OnlyTakeOverLeftovers() const {
        const std::set<std::string> allowed = {"song.doc",
                                               "prefs.cfg",
                                               "registry",
                                               ".song.doc.tmp",
                                               ".prefs.cfg.tmp",
                                               "HKEY_CURRENT_USER.reg",
                                               "HKEY_CURRENT_USER.lock",
                                               ".HKEY_CURRENT_USER.reg.tmp"};
        for (const auto& entry : fs::recursive_directory_iterator(m_folder.Path())) {
            std::string leaf = entry.path().filename().string();
            if (!allowed.count(leaf)) return ::testing::AssertionFailure() << "left over: " << leaf;
        }
        return ::testing::AssertionSuccess();
    }

    cvq::test::TScratchFolder m_folder{"cvq_crash"};
};

TEST_F(CrashDuringSaveTest, KilledSavesLeaveTheOldOrTheNewVersionWhole) {
    std::mt19937 random(20261209);
    std::map<char, int64_t> saved = {{'d', 0}, {'c', 0}, {'r', 0}};  // last reported
    uint32_t next = 1;
    const int kills = KillCount();
    int survived = 0, midSave = 0;
    for (int kill = 0; kill < kills; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill));
        const uint32_t first = next;
        TChild child = Start(m_folder.Path(), first);
        ASSERT_GT(child.pid, 0);
        // Once the child is saving, kill it somewhere in the next few saves.
        std::string reports;
        Read(child.output, reports, 1);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 15000));
        ::kill(child.pid, SIGKILL);
        int status = 0;
        ::waitpid(child.pid, &status, 0);
        Read(child.output, reports, size_t(-1));
        ::close(child.output);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself: " << reports;

        std::map<char, int64_t> inFlight = {{'d', first}, {'c', first}, {'r', first}};
        size_t at = 0;
        while (at < reports.size()) {
            size_t end = reports.find('\n', at);
            if (end == std::string::npos) break;  // a report cut by the kill
            char kind = reports[at];
            int64_t version = std::strtoll(reports.c_str() + at + 2, nullptr, 10);
            saved[kind] = version;
            inFlight[kind] = version + 1;
            next = std::max(next, uint32_t(version) + 2);
            at = end + 1;
        }
        const std::pair<char, int64_t> found[] = {
            {'d', DocumentVersion()}, {'c', ConfigVersion()}, {'r', RegistryVersion()}};
        for (const auto& [kind, version] : found) {
            EXPECT_TRUE(version == saved[kind] || version == inFlight[kind])
                << kind << ": holds version " << version << ", saved " << saved[kind];
            saved[kind] = std::max(saved[kind], version);
        }
        EXPECT_TRUE(OnlyTakeOverLeftovers());
        if (HasFailure()) return;
        ++survived;
        for (const auto& entry : fs::recursive_directory_iterator(m_folder.Path()))
            if (entry.path().extension() == ".tmp") ++midSave;
    }
    std::printf("%d kills survived, %d new files left mid-save and taken over\n", survived,
                midSave);

    // The next save of each target takes its leftover over: nothing remains beside it.
    const std::string body = VersionBody(next);
    TTaggedOutputStream out(1, "song", 1);
    out.SaveAs(TFileName(m_folder.Name("song.doc").c_str()), 0);
    TConfig prefs("Prefs", TConfig::EMode(0));
    prefs.Save(TFileName(m_folder.Name("prefs.cfg").c_str()), 1);
    SetRegistryDirectory(m_folder.Path("registry").c_str());
    EnsureRegistryString(HKEY_CURRENT_USER, "Software\\Crash", "Value", "final", 1);
    std::set<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(m_folder.Path()))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"song.doc", "prefs.cfg", "registry",
                                           "HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER.lock"}));
}

}  // namespace
