// TFileSelector through the desktop portal client, against a stand-in portal on a
// private session bus (run-with-portal-stub.sh): what the portal is asked, and how
// its Response becomes the result.
#include <commonvcqx/files/FileSelector.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/internal/FileDialogs.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace pf = cvq::platform;
namespace fs = std::filesystem;

namespace {

class PortalDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* dir = std::getenv("CVQ_PORTAL_DIR");
        ASSERT_NE(dir, nullptr) << "run through run-with-portal-stub.sh";
        m_dir = dir;
        fs::remove(m_dir / "request");
        fs::remove(m_dir / "reply");
        m_portal = pf::CreatePortalFileDialog();
        ASSERT_NE(m_portal, nullptr) << "the library was built without libdbus-1";
        pf::SetFileDialog(m_portal.get());
    }
    void TearDown() override { pf::SetFileDialog(nullptr); }

    void Reply(const std::vector<std::string>& lines) {
        std::ofstream out(m_dir / "reply");
        for (const std::string& line : lines) out << line << '\n';
    }
    std::set<std::string> Request() {
        std::ifstream in(m_dir / "request");
        std::set<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.insert(line);
        return lines;
    }
    static std::vector<std::string> Texts(const TFlexList<TFileName>& list) {
        std::vector<std::string> texts;
        for (const TFileName& name : list) texts.emplace_back(name.c_str());
        return texts;
    }

    fs::path m_dir;
    std::unique_ptr<pf::AFileDialog> m_portal;
};

}  // namespace

TEST_F(PortalDialogTest, OpenAsksWithEveryOptionAndReadsTheResponse) {
    TFileSelector s;
    s.title = "Pick takes";
    s.filter = "Sound|*.wav;*.aif|All|*.*|";
    s.initialFile = "C:\\home\\ann\\take.wav";
    s.multiSelection = 1;
    s.showReadOnly = 1;
    Reply({"response=0", "uris=file:///home/ann/b%20two.wav file:///home/ann/a.wav",
           "choices=read-only:true", "current_filter=All"});
    ASSERT_TRUE(s.Select());
    EXPECT_EQ(Request(), (std::set<std::string>{
                             "method=OpenFile",
                             "parent=",
                             "title=Pick takes",
                             "handle_token=cvq",
                             "modal=true",
                             "multiple=true",
                             "filters=Sound:*.[wW][aA][vV],*.[aA][iI][fF];All:*",
                             "current_filter=Sound:*.[wW][aA][vV],*.[aA][iI][fF]",
                             "choices=read-only:Open as read-only:false",
                             "current_folder=/home/ann",
                         }));
    EXPECT_EQ(Texts(s.files),
              (std::vector<std::string>{"C:\\home\\ann\\a.wav", "C:\\home\\ann\\b two.wav"}));
    EXPECT_STREQ(s.chosenDir.c_str(), "C:\\home\\ann");
    EXPECT_EQ(s.readOnly, 1);
    EXPECT_EQ(s.selectedFilter, 1);
    EXPECT_EQ(s.extendedError, 0u);
}

TEST_F(PortalDialogTest, SaveNamesTheFileAndGetsTheDefaultExtension) {
    TFileSelector s;
    s.mode = 1;
    s.initialFile = "draft";
    s.initialDir = "C:\\work";
    s.defaultExtension = "txt";
    s.filterIndex = 5;
    Reply({"response=0", "uris=file:///work/final"});
    ASSERT_TRUE(s.Select());
    EXPECT_EQ(Request(), (std::set<std::string>{
                             "method=SaveFile",
                             "parent=",
                             "title=",
                             "handle_token=cvq",
                             "modal=true",
                             "filters=*.*:*",
                             "current_filter=*.*:*",
                             "current_folder=/work",
                             "current_name=draft",
                         }));
    EXPECT_EQ(Texts(s.files), (std::vector<std::string>{"C:\\work\\final.txt"}));
    EXPECT_EQ(s.selectedFilter, 0);
}

TEST_F(PortalDialogTest, CancelErrorsAndBadAnswers) {
    const struct {
        std::vector<std::string> reply;
        uint32_t error;
    } cases[] = {
        {{"response=1"}, 0},
        {{"response=2"}, 0xFFFF},
        {{"response=0"}, 0xFFFF},                                      // no uris
        {{"response=0", "uris=http://host/x"}, 0xFFFF},                // not a file
        {{"response=0", "uris=file:///a%00b"}, 0xFFFF},                // an encoded NUL
        {{"response=0", "uris=file:///a file:///b"}, 0xFFFF},          // two for one
        {{"error=org.freedesktop.portal.Error.Failed"}, 0xFFFF},       // the call fails
        {{"error=org.freedesktop.DBus.Error.UnknownMethod"}, 0xFFFF},  // a portal too old
    };
    for (const auto& c : cases) {
        TFileSelector s;
        s.files.Append(new TFileName("C:\\kept"));
        Reply(c.reply);
        EXPECT_FALSE(s.Select()) << c.reply[0];
        EXPECT_EQ(s.extendedError, c.error) << c.reply[0];
        EXPECT_EQ(Texts(s.files), std::vector<std::string>{"C:\\kept"}) << c.reply[0];
    }
}

TEST_F(PortalDialogTest, UnknownMethodFallsThroughToTheNextBackEnd) {
    // The default chain: the portal first, then the dialog programs (none on PATH here).
    pf::SetFileDialog(nullptr);
    const char* path = std::getenv("PATH");
    const std::string oldPath = path ? path : "";
    setenv("PATH", "/nonexistent", 1);
    TFileSelector s;
    Reply({"response=0", "uris=file:///chain/x"});
    EXPECT_TRUE(s.Select());
    EXPECT_TRUE(fs::exists(m_dir / "request"));
    Reply({"error=org.freedesktop.DBus.Error.UnknownMethod"});
    EXPECT_FALSE(s.Select());
    EXPECT_EQ(s.extendedError, 0xFFFFu);
    setenv("PATH", oldPath.c_str(), 1);
}

TEST_F(PortalDialogTest, WithoutASessionBusThePortalIsUnavailable) {
    const std::string address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string oldRuntime = runtime ? runtime : "";
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    unsetenv("XDG_RUNTIME_DIR");
    pf::TFileDialogAnswer answer = m_portal->Run(pf::TFileDialogRequest{}, [] {});
    EXPECT_EQ(answer.outcome, pf::EDialogOutcome::kUnavailable);
    EXPECT_FALSE(fs::exists(m_dir / "request"));
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    if (runtime) setenv("XDG_RUNTIME_DIR", oldRuntime.c_str(), 1);
}

namespace {

std::string g_marker;

LRESULT MarkerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 11) {
        std::ofstream(g_marker) << "served";
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

// The stand-in answers only once a message sent to the selecting thread was handled.
TEST_F(PortalDialogTest, TheQueueIsServedWhileThePortalDialogIsOpen) {
    g_marker = (m_dir / "marker").string();
    fs::remove(g_marker);
    Reply({"response=0", "uris=file:///a/b", "wait=" + g_marker});
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = MarkerProcedure;
    windowClass.lpszClassName = "PortalDialogTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "PortalDialogTest", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    std::atomic<LRESULT> sent{0};
    std::thread sender([&] { sent = SendMessageA(window, WM_APP + 11, 0, 0); });
    TFileSelector s;
    EXPECT_TRUE(s.Select());
    sender.join();
    EXPECT_EQ(sent, 1);
    DestroyWindow(window);
    UnregisterClassA("PortalDialogTest", nullptr);
}

TEST_F(PortalDialogTest, FourDialogsAtOnceEachGetTheirOwnAnswer) {
    Reply({"response=0", "uris=file:///same/answer"});
    std::vector<std::thread> threads;
    std::atomic<int> chosen{0};
    for (int i = 0; i < TFileSelector::kMaxOpenDialogs; ++i) {
        threads.emplace_back([&] {
            TFileSelector s;
            if (s.Select() && s.files.GetCount() == 1) ++chosen;
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(chosen, TFileSelector::kMaxOpenDialogs);
}
