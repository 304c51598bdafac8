// TFileSelector's own logic against a scripted dialog back end: what it asks the
// dialog for, how it reads the answer, the recent folders, the preferences and the
// limit of open dialogs.
#include <commonvcqx/config/Config.h>
#include <commonvcqx/files/FileSelector.h>
#include <commonvcqx/files/internal/FileSelectorText.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/frame/ExceptionThrower.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/internal/FileDialogs.h>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pf = cvq::platform;
using cvq::detail::TFilterPair;

namespace {

// Answers with whatever the test scripted and keeps the last request.
class TScriptedDialog : public pf::AFileDialog {
public:
    pf::TFileDialogAnswer Run(const pf::TFileDialogRequest& request,
                              const std::function<void()>& serveQueue) override {
        {
            std::lock_guard lock(m_lock);
            m_request = request;
            ++m_runs;
        }
        if (m_during) m_during(serveQueue);
        return m_answer;
    }
    pf::TFileDialogRequest Request() {
        std::lock_guard lock(m_lock);
        return m_request;
    }
    void Answer(pf::EDialogOutcome outcome, std::vector<std::string> paths = {}, int filter = -1,
                int readOnly = -1) {
        m_answer = {outcome, std::move(paths), filter, readOnly};
    }

    std::function<void(const std::function<void()>&)> m_during;
    std::atomic<int> m_runs{0};

private:
    std::mutex m_lock;
    pf::TFileDialogRequest m_request;
    pf::TFileDialogAnswer m_answer;
};

class FileSelectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        pf::SetFileDialog(&m_dialog);
        ForgetRecent();
    }
    void TearDown() override {
        pf::SetFileDialog(nullptr);
        ForgetRecent();
    }
    // Saving the preferences empties the process's list and marks it as not made.
    static void ForgetRecent() {
        TConfig scratch("Scratch", TConfig::kNoMode);
        TFileSelector::SavePrefFileSelection(scratch);
    }
    static std::vector<std::string> Texts(const TFlexList<TFileName>& list) {
        std::vector<std::string> texts;
        for (const TFileName& name : list) texts.emplace_back(name.c_str());
        return texts;
    }

    TScriptedDialog m_dialog;
};

}  // namespace

TEST(FileSelectorTextTest, FilterTextGivesThePairsThePlatformReads) {
    struct Case {
        const char* text;
        std::vector<TFilterPair> pairs;
    };
    const Case cases[] = {
        {"Sound|*.wav;*.aif|All|*.*|", {{"Sound", "*.wav;*.aif"}, {"All", "*.*"}}},
        {"Sound|*.wav", {{"Sound", "*.wav"}}},            // the final "|" is supplied
        {"Sound|*.wav|All", {{"Sound", "*.wav"}}},        // a description without patterns
        {"Sound|*.wav||All|*.*|", {{"Sound", "*.wav"}}},  // an empty string ends the list
        {"|*.wav|", {}},
        {"", {}},
        {"|", {}},
        {"A|a||", {{"A", "a"}}},
    };
    for (const Case& c : cases) {
        const std::vector<TFilterPair> pairs = cvq::detail::ParseFilterText(c.text);
        ASSERT_EQ(pairs.size(), c.pairs.size()) << c.text;
        for (size_t i = 0; i < pairs.size(); ++i) {
            EXPECT_EQ(pairs[i].description, c.pairs[i].description) << c.text;
            EXPECT_EQ(pairs[i].patterns, c.pairs[i].patterns) << c.text;
        }
    }
}

TEST(FileSelectorTextTest, PreselectionAndPatternsForTheBackEnd) {
    const int preselect[][3] = {{0, 3, 1}, {2, 3, 3}, {3, 3, 1}, {-5, 3, 1}, {0, 0, 1}, {7, 9, 8}};
    for (const auto& p : preselect)
        EXPECT_EQ(cvq::detail::PreselectedFilter(p[0], p[1]), p[2]) << p[0] << " of " << p[1];

    EXPECT_EQ(cvq::detail::SplitPatterns(" *.wav ; *.aif;;*.mp3 "),
              (std::vector<std::string>{"*.wav", "*.aif", "*.mp3"}));
    EXPECT_TRUE(cvq::detail::SplitPatterns(" ; ").empty());

    const char* patterns[][2] = {{"*.*", "*"},
                                 {"*.wav", "*.[wW][aA][vV]"},
                                 {"take?.W2", "[tT][aA][kK][eE]?.[Ww]2"},
                                 {"[x]", "[[][xX]]"},
                                 {"*", "*"}};
    for (const auto& p : patterns) EXPECT_EQ(cvq::detail::BackEndPattern(p[0]), p[1]);
}

TEST(FileSelectorTextTest, NameBufferPacksAndReadsBack) {
    char buffer[64];
    TFlexList<TFileName> files;
    TFileName folder;

    ASSERT_TRUE(cvq::detail::PackNames({"C:\\a\\b.wav"}, buffer, sizeof buffer));
    ASSERT_TRUE(cvq::detail::ParseNameBuffer(buffer, sizeof buffer, files, folder));
    ASSERT_EQ(files.GetCount(), 1);
    EXPECT_STREQ(files.GetFirst()->c_str(), "C:\\a\\b.wav");
    EXPECT_STREQ(folder.c_str(), "C:\\a");

    // Several names: their folder, then each name; read back sorted.
    ASSERT_TRUE(cvq::detail::PackNames({"C:\\a\\z.wav", "C:\\a\\b\\y.wav", "C:\\a\\B.wav"}, buffer,
                                       sizeof buffer));
    EXPECT_EQ(std::string(buffer, 26), std::string("C:\\a\0z.wav\0b\\y.wav\0B.wav\0\0", 26));
    ASSERT_TRUE(cvq::detail::ParseNameBuffer(buffer, sizeof buffer, files, folder));
    std::vector<std::string> texts;
    for (const TFileName& f : files) texts.emplace_back(f.c_str());
    // File-name order: "." before "\\".
    EXPECT_EQ(texts, (std::vector<std::string>{"C:\\a\\B.wav", "C:\\a\\b\\y.wav", "C:\\a\\z.wav"}));
    EXPECT_STREQ(folder.c_str(), "C:\\a");

    // Names in the root of a drive keep the root's backslash.
    ASSERT_TRUE(cvq::detail::PackNames({"C:\\x", "C:\\y"}, buffer, sizeof buffer));
    ASSERT_TRUE(cvq::detail::ParseNameBuffer(buffer, sizeof buffer, files, folder));
    EXPECT_STREQ(folder.c_str(), "C:\\");
    EXPECT_STREQ(files.GetFirst()->c_str(), "C:\\x");

    // What does not fit, or shares no folder, is refused.
    EXPECT_FALSE(cvq::detail::PackNames({std::string(63, 'n')}, buffer, sizeof buffer));
    EXPECT_TRUE(cvq::detail::PackNames({std::string(62, 'n')}, buffer, sizeof buffer));
    EXPECT_FALSE(cvq::detail::PackNames({"C:\\a", "D:\\b"}, buffer, sizeof buffer));
    EXPECT_FALSE(cvq::detail::PackNames({}, buffer, sizeof buffer));

    // Buffers without a file name leave the results alone; nothing is read past the end.
    files.Clear();
    folder = "kept";
    const struct {
        const char* bytes;
        size_t size;
    } bad[] = {{"\0\0", 2}, {"abc", 3}, {"C:\\a\0x", 6}};
    for (const auto& b : bad) {
        EXPECT_FALSE(cvq::detail::ParseNameBuffer(b.bytes, b.size, files, folder));
        EXPECT_EQ(files.GetCount(), 0);
        EXPECT_STREQ(folder.c_str(), "kept");
    }
    // A full name that ends the buffer with its NUL is a single name.
    ASSERT_TRUE(cvq::detail::ParseNameBuffer("C:\\a\\b\0", 7, files, folder));
    EXPECT_STREQ(files.GetFirst()->c_str(), "C:\\a\\b");
}

TEST_F(FileSelectorTest, DefaultsOfEverySetting) {
    TFileSelector s;
    EXPECT_EQ(s.mode, 2);
    EXPECT_FALSE(s.title.IsValid());
    EXPECT_FALSE(s.filter.IsValid());
    EXPECT_EQ(s.filterList.GetCount(), 0);
    EXPECT_EQ(s.filterIndex, 0);
    EXPECT_TRUE(s.defaultExtension.IsEmpty());
    EXPECT_EQ(s.help, 0);
    EXPECT_EQ(s.noChangeDir, 0);
    EXPECT_EQ(s.showReadOnly, 0);
    EXPECT_EQ(s.readOnly, 0);
    EXPECT_EQ(s.multiSelection, 0);
    EXPECT_EQ(s.fileMustExist, 0);
    EXPECT_EQ(s.noNetworkButton, 0);
    EXPECT_EQ(s.pathMustExist, 1);
    EXPECT_EQ(s.owner, nullptr);
    EXPECT_EQ(s.instance, nullptr);
    EXPECT_EQ(s.templateId, 0);
    EXPECT_TRUE(s.initialFile.IsEmpty());
    EXPECT_TRUE(s.initialDir.IsEmpty());
    EXPECT_EQ(s.files.GetCount(), 0);
    EXPECT_EQ(s.selectedFilter, -1);
    EXPECT_EQ(s.extendedError, 0u);
    EXPECT_FALSE(s.HasMultiSelection());
}

TEST_F(FileSelectorTest, RequestCarriesTheSettings) {
    TFileSelector s;
    s.title = "Open take";
    s.filter = "Sound|*.wav;*.AIF|All|*.*";
    s.filterIndex = 1;
    s.initialFile = "C:\\home\\ann\\take.wav";
    s.initialDir = "C:\\ignored";
    s.multiSelection = 1;
    s.showReadOnly = 1;
    s.readOnly = 1;
    m_dialog.Answer(pf::EDialogOutcome::kCancelled);
    EXPECT_FALSE(s.Select());
    pf::TFileDialogRequest r = m_dialog.Request();
    EXPECT_FALSE(r.save);
    EXPECT_EQ(r.title, "Open take");
    ASSERT_EQ(r.filters.size(), 2u);
    EXPECT_EQ(r.filters[0].description, "Sound");
    EXPECT_EQ(r.filters[0].patterns,
              (std::vector<std::string>{"*.[wW][aA][vV]", "*.[Aa][Ii][Ff]"}));
    EXPECT_EQ(r.filters[1].patterns, (std::vector<std::string>{"*"}));
    EXPECT_EQ(r.currentFilter, 1);
    EXPECT_EQ(r.folder, "/home/ann");
    EXPECT_EQ(r.name, "take.wav");
    EXPECT_TRUE(r.multiple);
    EXPECT_TRUE(r.showReadOnly);
    EXPECT_TRUE(r.readOnly);
    EXPECT_EQ(s.extendedError, 0u);

    // Without a drive in the initial file the initial folder counts; the filter list
    // stands in for a missing filter text; an index past the pairs selects the first.
    TFileSelector t;
    t.mode = 1;
    t.initialFile = "draft.txt";
    t.initialDir = "C:\\work";
    t.filterList.Append(new TStringItem<TListElement>("Text"));
    t.filterList.Append(new TStringItem<TListElement>("*.txt"));
    t.filterIndex = 4;
    EXPECT_FALSE(t.Select());
    r = m_dialog.Request();
    EXPECT_TRUE(r.save);
    EXPECT_TRUE(r.title.empty());
    ASSERT_EQ(r.filters.size(), 1u);
    EXPECT_EQ(r.filters[0].description, "Text");
    EXPECT_EQ(r.currentFilter, 0);
    EXPECT_EQ(r.folder, "/work");
    EXPECT_EQ(r.name, "draft.txt");

    // Neither: every file.
    TFileSelector u;
    EXPECT_FALSE(u.Select());
    r = m_dialog.Request();
    ASSERT_EQ(r.filters.size(), 1u);
    EXPECT_EQ(r.filters[0].description, "*.*");
    EXPECT_EQ(r.filters[0].patterns, (std::vector<std::string>{"*"}));
    EXPECT_TRUE(r.folder.empty());
    EXPECT_TRUE(r.name.empty());

    // A name longer than the buffer is cut to what it holds.
    TFileSelector v;
    v.initialFile = TString(std::string(70000, 'n').c_str());
    EXPECT_FALSE(v.Select());
    EXPECT_EQ(m_dialog.Request().name.size(), size_t(TFileSelector::kNameBufferSize - 1));
}

TEST_F(FileSelectorTest, AnswersBecomeLibraryNames) {
    TFileSelector s;
    s.filter = "A|*.a|B|*.b|C|*.c|";
    s.filterIndex = 2;
    s.showReadOnly = 1;

    m_dialog.Answer(pf::EDialogOutcome::kChosen, {"/home/ann/take.wav"}, 1, 1);
    ASSERT_TRUE(s.Select());
    EXPECT_EQ(Texts(s.files), (std::vector<std::string>{"C:\\home\\ann\\take.wav"}));
    EXPECT_STREQ(s.chosenDir.c_str(), "C:\\home\\ann");
    EXPECT_EQ(s.selectedFilter, 1);
    EXPECT_EQ(s.readOnly, 1);
    EXPECT_FALSE(s.HasMultiSelection());

    // A back end that does not report them keeps the preselection and the box.
    m_dialog.Answer(pf::EDialogOutcome::kChosen, {"/x/y"});
    ASSERT_TRUE(s.Select());
    EXPECT_EQ(s.selectedFilter, 2);
    EXPECT_EQ(s.readOnly, 1);

    // Several files: sorted, their folder chosen.
    s.multiSelection = 1;
    m_dialog.Answer(pf::EDialogOutcome::kChosen, {"/d/c.wav", "/d/A.wav", "/d/b.wav"});
    ASSERT_TRUE(s.Select());
    EXPECT_EQ(Texts(s.files),
              (std::vector<std::string>{"C:\\d\\A.wav", "C:\\d\\b.wav", "C:\\d\\c.wav"}));
    EXPECT_STREQ(s.chosenDir.c_str(), "C:\\d");
    EXPECT_TRUE(s.HasMultiSelection());

    // A copy carries settings and results.
    TFileSelector copy(s);
    EXPECT_EQ(Texts(copy.files), Texts(s.files));
    EXPECT_STREQ(copy.filter.GetString(), "A|*.a|B|*.b|C|*.c|");
    TFileSelector assigned;
    assigned = s;
    EXPECT_EQ(assigned.selectedFilter, s.selectedFilter);
    EXPECT_STREQ(assigned.chosenDir.c_str(), "C:\\d");
}

TEST_F(FileSelectorTest, DefaultExtensionCompletesTypedNamesInSaveMode) {
    struct Case {
        int mode;
        const char* extension;
        const char* chosen;
        const char* result;
    };
    const Case cases[] = {
        {1, "wav", "/t/take", "C:\\t\\take.wav"},
        {1, ".wav", "/t/take", "C:\\t\\take.wav"},
        {1, "wav", "/t/take.aif", "C:\\t\\take.aif"},
        {1, "wav", "/t.d/take", "C:\\t.d\\take.wav"},
        {1, "", "/t/take", "C:\\t\\take"},
        {2, "wav", "/t/take", "C:\\t\\take"},
    };
    for (const Case& c : cases) {
        TFileSelector s;
        s.mode = c.mode;
        s.defaultExtension = c.extension;
        m_dialog.Answer(pf::EDialogOutcome::kChosen, {c.chosen});
        ASSERT_TRUE(s.Select()) << c.chosen;
        EXPECT_STREQ(s.files.GetFirst()->c_str(), c.result) << c.chosen;
    }
}

TEST_F(FileSelectorTest, FailuresGiveFalseWithTheExtendedError) {
    TFileSelector s;
    s.files.Append(new TFileName("C:\\before"));
    const struct {
        pf::EDialogOutcome outcome;
        std::vector<std::string> paths;
        uint32_t error;
    } cases[] = {
        {pf::EDialogOutcome::kCancelled, {}, 0},
        {pf::EDialogOutcome::kFailed, {}, 0xFFFF},
        {pf::EDialogOutcome::kUnavailable, {}, 0xFFFF},
        {pf::EDialogOutcome::kChosen, {}, 0xFFFF},
    };
    for (const auto& c : cases) {
        s.extendedError = 12345;
        m_dialog.Answer(c.outcome, c.paths);
        EXPECT_FALSE(s.Select());
        EXPECT_EQ(s.extendedError, c.error);
        EXPECT_EQ(Texts(s.files), (std::vector<std::string>{"C:\\before"}));
    }

    // Names too long for the 65,000-byte buffer together.
    s.multiSelection = 1;
    std::vector<std::string> many;
    for (int i = 0; i < 300; ++i) many.push_back("/d/" + std::string(250, 'a') + std::to_string(i));
    m_dialog.Answer(pf::EDialogOutcome::kChosen, many);
    EXPECT_FALSE(s.Select());
    EXPECT_EQ(s.extendedError, uint32_t(TFileSelector::kBufferTooSmall));
    many.resize(200);
    m_dialog.Answer(pf::EDialogOutcome::kChosen, many);
    EXPECT_TRUE(s.Select());
    EXPECT_EQ(s.files.GetCount(), 200);
}

TEST_F(FileSelectorTest, AnExceptionInTheDialogGivesFalseAndFreesItsPlace) {
    m_dialog.m_during = [](const std::function<void()>&) {
        TExceptionThrower().SetAndThrow("dialog broke");
    };
    TFileSelector s;
    for (int i = 0; i < TFileSelector::kMaxOpenDialogs + 2; ++i) EXPECT_FALSE(s.Select());
    m_dialog.m_during = [](const std::function<void()>&) { throw std::bad_alloc(); };
    EXPECT_FALSE(s.Select());
    m_dialog.m_during = nullptr;
    m_dialog.Answer(pf::EDialogOutcome::kChosen, {"/x"});
    EXPECT_TRUE(s.Select());
}

TEST_F(FileSelectorTest, RecentFolderList) {
    TFlexList<TFileName>& list = TFileSelector::GetPathList();
    EXPECT_EQ(list.GetCount(), 0);
    TFileSelector::AddPathToRecentPathList(TFileName(""));
    EXPECT_EQ(list.GetCount(), 0);
    for (int i = 0; i < 20; ++i)
        TFileSelector::AddPathToRecentPathList(TFileName(("C:\\f" + std::to_string(i)).c_str()));
    ASSERT_EQ(list.GetCount(), TFileSelector::kMaxRecentPaths);
    EXPECT_STREQ(list.GetFirst()->c_str(), "C:\\f19");
    EXPECT_STREQ(list.GetLast()->c_str(), "C:\\f5");
    // An equal entry, letter case aside, moves to the front instead of repeating.
    TFileSelector::AddPathToRecentPathList(TFileName("c:\\F10"));
    ASSERT_EQ(list.GetCount(), TFileSelector::kMaxRecentPaths);
    EXPECT_STREQ(list.GetFirst()->c_str(), "c:\\F10");
    EXPECT_STREQ(list.GetNext(list.GetFirst())->c_str(), "C:\\f19");
    EXPECT_STREQ(list.GetLast()->c_str(), "C:\\f5");
}

TEST_F(FileSelectorTest, SelectAddsItsFolderOnlyOnceTheListIsMade) {
    TFileSelector s;
    m_dialog.Answer(pf::EDialogOutcome::kChosen, {"/a/one.wav"});
    ASSERT_TRUE(s.Select());
    EXPECT_EQ(Texts(TFileSelector::GetPathList()), std::vector<std::string>{});
    ASSERT_TRUE(s.Select());
    m_dialog.Answer(pf::EDialogOutcome::kChosen, {"/b/two.wav"});
    ASSERT_TRUE(s.Select());
    m_dialog.Answer(pf::EDialogOutcome::kChosen, {"/top.wav"});  // the root: "C:\" kept as "C:"
    ASSERT_TRUE(s.Select());
    EXPECT_EQ(Texts(TFileSelector::GetPathList()),
              (std::vector<std::string>{"C:", "C:\\b", "C:\\a"}));

    // With a template and no initial folder, the most recent folder is the start.
    TFileSelector t;
    t.templateId = 1234;
    m_dialog.Answer(pf::EDialogOutcome::kCancelled);
    TFileSelector::AddPathToRecentPathList(TFileName("C:\\recent"));
    EXPECT_FALSE(t.Select());
    EXPECT_EQ(m_dialog.Request().folder, "/recent");
    t.initialDir = "C:\\given";
    EXPECT_FALSE(t.Select());
    EXPECT_EQ(m_dialog.Request().folder, "/given");
    TFileSelector plain;
    EXPECT_FALSE(plain.Select());
    EXPECT_TRUE(m_dialog.Request().folder.empty());
}

TEST_F(FileSelectorTest, PreferencesRoundTripThroughTheConfiguration) {
    for (int i = 0; i < 3; ++i)
        TFileSelector::AddPathToRecentPathList(TFileName(("C:\\p" + std::to_string(i)).c_str()));
    TFileSelector::AddPathToRecentPathList(TFileName("C:\\bad\nname"));
    TConfig config("Prefs", TConfig::kNoMode);
    // The group is found below the current one, which the cursor returns to.
    config.MoveDown("Other");
    config.SetValue(7, "Kept");
    TConfigKey* other = config.GetCurrentKey();
    config.MoveDown("RecentPaths");
    config.SetValue("stale", "Gone");
    config.MoveTo(other);

    TFileSelector::SavePrefFileSelection(config);
    EXPECT_EQ(config.GetCurrentKey(), other);
    EXPECT_EQ(config.GetValue(0, "Kept"), 7);
    EXPECT_EQ(TFileSelector::GetPathList().GetCount(), 0);  // emptied once saved
    ASSERT_TRUE(config.MoveDownIfExist("RecentPaths"));
    EXPECT_FALSE(config.ExistValue("Gone"));
    EXPECT_EQ(config.GetValue(0, "Style"), -1);
    EXPECT_EQ(config.GetValue(char(5), "Expanded"), 0);
    // The folder with a line break cannot be written; the others follow in order.
    EXPECT_EQ(std::string(config.GetValue("", "Folder", 0).c_str()), "C:\\p2");
    EXPECT_EQ(std::string(config.GetValue("", "Folder", 1).c_str()), "C:\\p1");
    EXPECT_EQ(std::string(config.GetValue("", "Folder", 2).c_str()), "C:\\p0");
    EXPECT_FALSE(config.ExistValue("Folder", 3));

    // Load appends up to the first empty entry, never twice, never past 15.
    config.SetValue(41, "Style");
    config.SetValue(char(1), "Expanded");
    config.SetValue("", "Folder", 3);
    config.SetValue("C:\\after-gap", "Folder", 4);
    config.MoveTo(other);
    TFileSelector::AddPathToRecentPathList(TFileName("c:\\P1"));
    TFileSelector::LoadPrefFileSelection(config);
    EXPECT_EQ(config.GetCurrentKey(), other);
    EXPECT_EQ(Texts(TFileSelector::GetPathList()),
              (std::vector<std::string>{"c:\\P1", "C:\\p2", "C:\\p0"}));

    TConfig saved("Again", TConfig::kNoMode);
    TFileSelector::SavePrefFileSelection(saved);
    saved.MoveDown("RecentPaths");
    EXPECT_EQ(saved.GetValue(0, "Style"), 41);
    EXPECT_EQ(saved.GetValue(char(0), "Expanded"), 1);

    TConfig full("Full", TConfig::kNoMode);
    full.MoveDown("RecentPaths");
    for (int i = 0; i < 20; ++i)
        full.SetValue(("C:\\q" + std::to_string(i % 17)).c_str(), "Folder", i);
    full.MoveToRoot();
    for (int i = 0; i < 10; ++i)
        TFileSelector::AddPathToRecentPathList(TFileName(("C:\\mine" + std::to_string(i)).c_str()));
    TFileSelector::LoadPrefFileSelection(full);
    std::vector<std::string> texts = Texts(TFileSelector::GetPathList());
    ASSERT_EQ(texts.size(), size_t(TFileSelector::kMaxRecentPaths));
    EXPECT_EQ(texts[9], "C:\\mine0");
    EXPECT_EQ(texts[10], "C:\\q0");
    EXPECT_EQ(texts[14], "C:\\q4");

    // A missing group reads as the defaults and creates nothing.
    TConfig empty("Empty", TConfig::kAlwaysNewGroup);
    TFileSelector::LoadPrefFileSelection(empty);
    EXPECT_EQ(empty.GetNumKeys(), 0);
    TFileSelector::SavePrefFileSelection(empty);
    ASSERT_TRUE(empty.MoveDownIfExist("RecentPaths"));
    EXPECT_EQ(empty.GetValue(0, "Style"), -1);

    // Saving twice into a configuration that always adds groups reuses the group.
    TFileSelector::SavePrefFileSelection(empty);
    empty.MoveToRoot();
    EXPECT_EQ(empty.GetNumGroups(), 1);
}

TEST_F(FileSelectorTest, AtMostFourDialogsAreOpenAtOnce) {
    std::mutex lock;
    std::condition_variable changed;
    int inside = 0;
    bool release = false;
    m_dialog.Answer(pf::EDialogOutcome::kChosen, {"/x/y"});
    m_dialog.m_during = [&](const std::function<void()>&) {
        std::unique_lock guard(lock);
        ++inside;
        changed.notify_all();
        changed.wait(guard, [&] { return release; });
    };
    std::vector<std::thread> threads;
    std::atomic<int> chosen{0};
    for (int i = 0; i < TFileSelector::kMaxOpenDialogs; ++i) {
        threads.emplace_back([&] {
            TFileSelector s;
            if (s.Select()) ++chosen;
        });
    }
    {
        std::unique_lock guard(lock);
        changed.wait(guard, [&] { return inside == TFileSelector::kMaxOpenDialogs; });
    }
    // A fifth, from this thread and from another, is refused without a dialog.
    const int runs = m_dialog.m_runs;
    TFileSelector fifth;
    EXPECT_FALSE(fifth.Select());
    std::thread other([&] {
        TFileSelector s;
        EXPECT_FALSE(s.Select());
    });
    other.join();
    EXPECT_EQ(m_dialog.m_runs, runs);
    {
        std::lock_guard guard(lock);
        release = true;
    }
    changed.notify_all();
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(chosen, TFileSelector::kMaxOpenDialogs);
    m_dialog.m_during = nullptr;
    EXPECT_TRUE(fifth.Select());
}

namespace {

std::atomic<int> g_handled{0};

LRESULT CountingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 7) {
        g_handled += int(wParam);
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

TEST_F(FileSelectorTest, TheCallingThreadServesItsQueueWhileTheDialogIsOpen) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = CountingProcedure;
    windowClass.lpszClassName = "SelectorQueueTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "SelectorQueueTest", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    g_handled = 0;
    m_dialog.m_during = [window](const std::function<void()>& serve) {
        // Another thread sends while the dialog waits; the dialog's wait serves it.
        std::thread sender([window] { SendMessageA(window, WM_APP + 7, 10, 0); });
        PostMessageA(window, WM_APP + 7, 1, 0);
        PostQuitMessage(3);
        while (g_handled < 11) pf::WaitServingQueue(GetMessageQueueFileDescriptor(), serve);
        sender.join();
    };
    m_dialog.Answer(pf::EDialogOutcome::kCancelled);
    TFileSelector s;
    EXPECT_FALSE(s.Select());
    EXPECT_EQ(g_handled, 11);
    // The quit request is not lost: it waits in the queue once the dialog is closed.
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    DestroyWindow(window);
    UnregisterClassA("SelectorQueueTest", nullptr);
}

TEST_F(FileSelectorTest, ExpandBitmapIsKept) {
    auto* first = reinterpret_cast<HBITMAP>(uintptr_t(0x100));
    auto* second = reinterpret_cast<HBITMAP>(uintptr_t(0x200));
    SetFileSelectorExpandBitmap(first);
    EXPECT_EQ(GetFileSelectorExpandBitmap(), first);
    SetFileSelectorExpandBitmap(second);
    EXPECT_EQ(GetFileSelectorExpandBitmap(), second);
    SetFileSelectorExpandBitmap(nullptr);
}
