// TFileSelector with a real zenity dialog on a private X server (run-with-xvfb.sh):
// the test finds the dialog, keeps a screenshot of it beside its log, types a path,
// presses Return and checks what Select returns.
#include <commonvcqx/files/FileSelector.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/internal/FileDialogs.h>

#include "../support/ScratchFolder.h"
#include "../support/Shell.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string Output(const std::string& command) {
    std::string text = cvq::test::RunShell(command).output;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

using cvq::test::ShellQuoted;

// Keeps the screen as <name>.xwd, and as <name>.png when ImageMagick is there.
void Screenshot(const std::string& name) {
    const std::string xwd = (fs::current_path() / (name + ".xwd")).string();
    ASSERT_EQ(std::system(("xwd -root -silent -out " + ShellQuoted(xwd)).c_str()), 0);
    const std::string png = (fs::current_path() / (name + ".png")).string();
    if (std::system("command -v convert >/dev/null 2>&1") == 0 &&
        std::system(("convert " + ShellQuoted(xwd) + " " + ShellQuoted(png)).c_str()) == 0) {
        std::printf("screenshot: %s\n", png.c_str());
    } else {
        std::printf("screenshot: %s\n", xwd.c_str());
    }
}

class FileDialogEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run through run-with-xvfb.sh";
        m_dialog = cvq::platform::CreateSubprocessFileDialog();
        cvq::platform::SetFileDialog(m_dialog.get());
    }
    void TearDown() override { cvq::platform::SetFileDialog(nullptr); }

    // Runs Select on its own thread while this one works the dialog titled `title`
    // with `keys` (xdotool arguments), retrying while the dialog is still open.
    char Drive(TFileSelector& selector, const std::string& title, const std::string& shot,
               const std::string& keys) {
        std::future<char> result =
            std::async(std::launch::async, [&selector] { return selector.Select(); });
        const std::string window = Output("timeout 30 xdotool search --sync --onlyvisible --name " +
                                          ShellQuoted("^" + title + "$") + " | head -n 1");
        EXPECT_FALSE(window.empty()) << "no dialog titled " << title << " appeared";
        for (int attempt = 0; !window.empty() && attempt < 10; ++attempt) {
            std::system(("xdotool windowfocus --sync " + window + " " + keys).c_str());
            if (attempt == 0) Screenshot(shot);
            if (std::system(("xdotool key --clearmodifiers Return")) != 0) break;
            if (result.wait_for(3s) == std::future_status::ready) break;
        }
        if (result.wait_for(30s) != std::future_status::ready) {
            std::system(("xdotool search --name " + ShellQuoted("^" + title + "$") +
                         " windowkill 2>/dev/null")
                            .c_str());
        }
        return result.get();
    }

    cvq::test::TScratchFolder m_dir{"cvq_e2e"};
    std::unique_ptr<cvq::platform::AFileDialog> m_dialog;
};

}  // namespace

TEST_F(FileDialogEndToEndTest, OpenTypesAPathAndReturnsIt) {
    const std::string take = m_dir.Put("Take One.TXT", "take");
    TFileSelector selector;
    selector.title = "CvqOpenTest";
    selector.filter = "Text|*.txt|";
    selector.initialDir = m_dir.Name().c_str();
    const char chosen =
        Drive(selector, "CvqOpenTest", "file-dialog-open",
              "key --clearmodifiers ctrl+l sleep 0.3 type --delay 20 " + ShellQuoted(take));
    ASSERT_TRUE(chosen);
    ASSERT_EQ(selector.files.GetCount(), 1);
    EXPECT_EQ(std::string(selector.files.GetFirst()->c_str()), FileNameFromNativePath(take));
    EXPECT_EQ(std::string(selector.chosenDir.c_str()), m_dir.Name());
    EXPECT_EQ(selector.extendedError, 0u);
}

TEST_F(FileDialogEndToEndTest, SaveCompletesTheTypedNameWithTheDefaultExtension) {
    TFileSelector selector;
    selector.mode = 1;
    selector.title = "CvqSaveTest";
    selector.defaultExtension = "wav";
    const std::string typed = m_dir.Path("new take");
    const char chosen =
        Drive(selector, "CvqSaveTest", "file-dialog-save",
              "key --clearmodifiers ctrl+a sleep 0.3 type --delay 20 " + ShellQuoted(typed));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(std::string(selector.files.GetFirst()->c_str()),
              FileNameFromNativePath(typed) + ".wav");
}

TEST_F(FileDialogEndToEndTest, EscapeCancels) {
    TFileSelector selector;
    selector.title = "CvqCancelTest";
    std::future<char> result =
        std::async(std::launch::async, [&selector] { return selector.Select(); });
    const std::string window = Output(
        "timeout 30 xdotool search --sync --onlyvisible --name '^CvqCancelTest$' | head -n 1");
    ASSERT_FALSE(window.empty());
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::system(("xdotool windowfocus --sync " + window + " key Escape").c_str());
        if (result.wait_for(3s) == std::future_status::ready) break;
    }
    ASSERT_EQ(result.wait_for(30s), std::future_status::ready);
    EXPECT_FALSE(result.get());
    EXPECT_EQ(selector.extendedError, 0u);
}
