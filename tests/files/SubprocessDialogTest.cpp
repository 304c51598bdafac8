// The zenity/kdialog back end against stand-in programs on PATH: shell scripts that
// record their arguments and answer as the test tells them.
#include <commonvcqx/files/FileSelector.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/internal/FileDialogs.h>

#include "../support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace pf = cvq::platform;
namespace fs = std::filesystem;

namespace {

// Records its arguments one per line in "<name>.args", waits (at most ten seconds)
// for the file named in "wait" when there is one, prints "output" and exits with
// "status".
const char* const kStandIn = R"sh(#!/bin/sh
dir=$(dirname "$0")
name=$(basename "$0")
: > "$dir/$name.args"
for arg in "$@"; do printf '%s\n' "$arg" >> "$dir/$name.args"; done
if [ -f "$dir/wait" ]; then
    i=0
    while [ ! -e "$(cat "$dir/wait")" ] && [ $i -lt 1000 ]; do sleep 0.01; i=$((i+1)); done
fi
[ -f "$dir/output" ] && cat "$dir/output"
exit $(cat "$dir/status" 2>/dev/null || echo 0)
)sh";

class SubprocessDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = std::getenv("PATH");
        m_oldPath = path ? path : "";
        const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
        m_hadDesktop = desktop != nullptr;
        if (desktop) m_oldDesktop = desktop;
        unsetenv("XDG_CURRENT_DESKTOP");
        setenv("PATH", (m_dir.Path() + ":/usr/bin:/bin").c_str(), 1);
        m_dialog = pf::CreateSubprocessFileDialog();
        pf::SetFileDialog(m_dialog.get());
    }
    void TearDown() override {
        pf::SetFileDialog(nullptr);
        setenv("PATH", m_oldPath.c_str(), 1);
        if (m_hadDesktop) setenv("XDG_CURRENT_DESKTOP", m_oldDesktop.c_str(), 1);
    }
    void Install(const char* program) {
        fs::permissions(m_dir.Put(program, kStandIn), fs::perms::owner_all);
    }
    void Reply(const std::string& output, int status) {
        m_dir.Put("output", output);
        m_dir.Put("status", std::to_string(status));
    }
    std::vector<std::string> Arguments(const char* program) {
        std::ifstream in(m_dir.Path(program) + ".args");
        std::vector<std::string> args;
        for (std::string line; std::getline(in, line);) args.push_back(line);
        return args;
    }
    static std::vector<std::string> Texts(const TFlexList<TFileName>& list) {
        std::vector<std::string> texts;
        for (const TFileName& name : list) texts.emplace_back(name.c_str());
        return texts;
    }

    cvq::test::TScratchFolder m_dir{"cvq_dialog"};
    std::string m_oldPath;
    std::string m_oldDesktop;
    bool m_hadDesktop = false;
    std::unique_ptr<pf::AFileDialog> m_dialog;
};

}  // namespace

TEST_F(SubprocessDialogTest, ZenityGetsTheRequestAndItsOutputIsTheResult) {
    Install("zenity");
    TFileSelector s;
    s.title = "Pick takes";
    s.filter = "Sound|*.wav;*.aif|All|*.*|";
    s.filterIndex = 1;
    s.initialFile = "C:\\home\\ann\\take.wav";
    s.multiSelection = 1;
    Reply("/home/ann/b.wav///home/ann/a.wav\n", 0);
    ASSERT_TRUE(s.Select());
    EXPECT_EQ(Texts(s.files),
              (std::vector<std::string>{"C:\\home\\ann\\a.wav", "C:\\home\\ann\\b.wav"}));
    EXPECT_STREQ(s.chosenDir.c_str(), "C:\\home\\ann");
    EXPECT_EQ(s.selectedFilter, 1);
    // The preselected filter comes first: zenity always starts with its first.
    EXPECT_EQ(Arguments("zenity"),
              (std::vector<std::string>{"--file-selection", "--title=Pick takes", "--multiple",
                                        "--separator=//", "--filename=/home/ann/take.wav",
                                        "--file-filter=All | *",
                                        "--file-filter=Sound | *.[wW][aA][vV] *.[aA][iI][fF]"}));

    // Save mode; a name holding the separator's characters one at a time is one name.
    TFileSelector save;
    save.mode = 1;
    save.defaultExtension = "wav";
    Reply("/tmp/new /take\n", 0);
    ASSERT_TRUE(save.Select());
    EXPECT_EQ(Texts(save.files), (std::vector<std::string>{"C:\\tmp\\new \\take.wav"}));
    EXPECT_EQ(Arguments("zenity"),
              (std::vector<std::string>{"--file-selection", "--save", "--file-filter=*.* | *"}));
}

TEST_F(SubprocessDialogTest, ExitStatusAndOutputDecideTheOutcome) {
    Install("zenity");
    const struct {
        const char* output;
        int status;
        char chosen;
        uint32_t error;
    } cases[] = {
        {"", 1, 0, 0},                 // cancelled
        {"/a/b\n", 5, 0, 0xFFFF},      // timed out or failed
        {"", 0, 0, 0xFFFF},            // chosen but nothing said
        {"relative\n", 0, 0, 0xFFFF},  // not an absolute path
        {"/a//b\n", 0, 0, 0xFFFF},     // two names for a single selection
        {"/a/b\n", 0, 1, 0},
        {"/a/b", 0, 1, 0},              // without the final line feed
        {"/a/line\nbreak\n", 0, 1, 0},  // only the last line feed is zenity's
    };
    for (const auto& c : cases) {
        TFileSelector s;
        Reply(c.output, c.status);
        EXPECT_EQ(s.Select(), c.chosen) << c.output;
        EXPECT_EQ(s.extendedError, c.error) << c.output;
    }
    TFileSelector s;
    Reply("/a/line\nbreak\n", 0);
    ASSERT_TRUE(s.Select());
    EXPECT_STREQ(s.files.GetFirst()->c_str(), "C:\\a\\line\nbreak");
}

TEST_F(SubprocessDialogTest, KdialogOnKdeThenZenityThenNothing) {
    Install("zenity");
    Install("kdialog");
    setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
    TFileSelector s;
    s.title = "Pick";
    s.filter = "Sound|*.wav|Text|*.txt|";
    s.filterIndex = 1;
    s.initialDir = "C:\\music";
    s.multiSelection = 1;
    Reply("/music/one.wav\n/music/two.wav\n", 0);
    ASSERT_TRUE(s.Select());
    EXPECT_EQ(Texts(s.files),
              (std::vector<std::string>{"C:\\music\\one.wav", "C:\\music\\two.wav"}));
    const std::vector<std::string> args = Arguments("kdialog");
    EXPECT_EQ(args, (std::vector<std::string>{"--title", "Pick", "--multiple", "--separate-output",
                                              "--getopenfilename", "/music/", "*.[tT][xX][tT]|Text",
                                              "*.[wW][aA][vV]|Sound"}));

    fs::remove(m_dir.Path("kdialog"));
    Reply("/music/z.wav\n", 0);
    ASSERT_TRUE(s.Select());
    EXPECT_STREQ(s.files.GetFirst()->c_str(), "C:\\music\\z.wav");

    fs::remove(m_dir.Path("zenity"));
    setenv("PATH", m_dir.Path().c_str(), 1);
    EXPECT_FALSE(s.Select());
    EXPECT_EQ(s.extendedError, 0xFFFFu);
}

namespace {

std::string g_marker;

LRESULT MarkerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 9) {
        std::ofstream(g_marker) << "served";
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

// The stand-in answers only once a message sent to the selecting thread has been
// handled, which happens only if the thread serves its queue while zenity runs.
TEST_F(SubprocessDialogTest, TheQueueIsServedWhileTheProgramRuns) {
    Install("zenity");
    g_marker = m_dir.Path("marker");
    m_dir.Put("wait", g_marker);
    Reply("/a/b\n", 0);

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = MarkerProcedure;
    windowClass.lpszClassName = "SubprocessDialogTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "SubprocessDialogTest", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    std::atomic<LRESULT> sent{0};
    std::thread sender([&] { sent = SendMessageA(window, WM_APP + 9, 0, 0); });
    TFileSelector s;
    EXPECT_TRUE(s.Select());
    sender.join();
    EXPECT_EQ(sent, 1);
    EXPECT_TRUE(fs::exists(g_marker));
    DestroyWindow(window);
    UnregisterClassA("SubprocessDialogTest", nullptr);
}

TEST(FileDialogTextTest, FileUrisDecode) {
    const struct {
        const char* uri;
        bool ok;
        const char* path;
    } cases[] = {
        {"file:///home/ann/take.wav", true, "/home/ann/take.wav"},
        {"FILE://localhost/a%20b/%C3%A9.wav", true, "/a b/\xC3\xA9.wav"},
        {"file://LocalHost/x", true, "/x"},
        {"file:///%2F%25", true, "//%"},
        {"file:///a%2", false, ""},
        {"file:///a%zz", false, ""},
        {"file:///a%00b", false, ""},
        {"file://server/share/x", false, ""},
        {"file:relative", false, ""},
        {"http://host/x", false, ""},
        {"file://", false, ""},
        {"", false, ""},
    };
    std::string raw = "untouched";
    EXPECT_FALSE(pf::DecodeFileUri(std::string_view("file:///a\0b", 10), raw));
    EXPECT_EQ(raw, "untouched");
    for (const auto& c : cases) {
        std::string path = "untouched";
        EXPECT_EQ(pf::DecodeFileUri(c.uri, path), c.ok) << c.uri;
        EXPECT_EQ(path, c.ok ? c.path : "untouched") << c.uri;
    }
}

TEST(FileDialogTextTest, ProgramOutputSplits) {
    using V = std::vector<std::string>;
    EXPECT_EQ(pf::SplitDialogOutput("/a//b\n", "//"), (V{"/a", "b"}));
    EXPECT_EQ(pf::SplitDialogOutput("/a///b\n", "//"), (V{"/a", "/b"}));
    EXPECT_EQ(pf::SplitDialogOutput("/a\n\n", "\n"), (V{"/a", ""}));
    EXPECT_EQ(pf::SplitDialogOutput("\n", "//"), V{});
    EXPECT_EQ(pf::SplitDialogOutput("", "//"), V{});
    EXPECT_EQ(pf::SplitDialogOutput("x", ""), V{});
}
