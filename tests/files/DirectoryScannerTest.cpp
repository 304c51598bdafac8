// TDirectoryScanner on real scratch trees: roots and masks, types, hidden items, the
// hooks and their order, collected and stored entries, links and deep trees; the type
// matcher on a table; TFoundFile's orders.
#include <commonvcqx/files/DirectoryScanner.h>
#include <commonvcqx/threads/Thread.h>

#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// Records every hook call as text, names relative to the scratch folder.
class TRecorder : public TDirectoryScanner {
public:
    explicit TRecorder(std::string base) : m_base(std::move(base) + "\\") {}

    char UserBreak() override {
        ++m_breaks;
        return m_breakAt > 0 && m_breaks >= m_breakAt;
    }
    char OnFile(const TFileName& name, const WIN32_FIND_DATAA* entry, uint32_t index) override {
        m_calls.push_back("file " + Relative(name) + " " + std::to_string(index));
        EXPECT_STREQ(entry->cFileName, TString(name.GetTitle(1)).c_str());
        if (m_onFile) m_onFile(name);
        return m_stopAfterFiles < 0 || int(index) + 1 < m_stopAfterFiles;
    }
    char Filter(const TFileName& name, const WIN32_FIND_DATAA*) override {
        m_calls.push_back("filter " + Relative(name));
        return m_filterOut.empty() || Relative(name) != m_filterOut;
    }
    void OnDirectory(const TFileName& folder) override {
        m_calls.push_back("dir " + Relative(folder));
        if (m_onDirectory) m_onDirectory(Relative(folder));
    }
    void OnStartRealScan() override { m_calls.push_back("start"); }
    void OnEndRealScan() override { m_calls.push_back("end"); }

    /// The calls of one kind ("file", "dir"...), without their kind.
    Strings Calls(const std::string& kind) const {
        Strings out;
        for (const std::string& call : m_calls)
            if (call.rfind(kind + " ", 0) == 0) out.push_back(call.substr(kind.size() + 1));
        return out;
    }
    std::string Relative(const TString& name) const {
        std::string text = name.c_str();
        if (text + "\\" == m_base) return ".";
        return text.rfind(m_base, 0) == 0 ? text.substr(m_base.size()) : text;
    }

    std::string m_base;
    Strings m_calls;
    int m_breaks = 0;
    int m_breakAt = 0;          // UserBreak answers true from this call on (0: never)
    int m_stopAfterFiles = -1;  // OnFile answers false at this many files
    std::string m_filterOut;    // Filter refuses this file
    std::function<void(const TFileName&)> m_onFile;
    std::function<void(const std::string&)> m_onDirectory;
};

class DirectoryScannerTest : public cvq::test::ScratchFolder {
protected:
    /// Makes each entry: "x/" a folder, "x=y" a symbolic link to y, else a file of
    /// contents "12345".
    void Make(const Strings& entries) {
        for (const std::string& entry : entries) {
            size_t link = entry.find('=');
            if (link != std::string::npos)
                fs::create_symlink(entry.substr(link + 1), Path(entry.substr(0, link)));
            else if (entry.back() == '/')
                fs::create_directories(Path(entry));
            else
                Put(entry, "12345");
        }
    }
    TFileName Root(const std::string& rest = "") const {
        return TFileName(rest.empty() ? Name().c_str() : Name(rest).c_str());
    }
    Strings Names(const TFlexList<TFileName>& list) const {
        Strings out;
        TRecorder names(Name());
        for (const auto& name : list) out.push_back(names.Relative(name));
        return out;
    }
};

TEST(DirectoryScannerTypes, MatchOnATable) {
    struct Case {
        const char* type;
        const char* name;
        bool matches;
    } cases[] = {
        {"*.wav", "take.wav", true},
        {"*.wav", "TAKE.WAV", true},
        {"*.WAV", "take.wav", true},
        {"*.wav", "take.wave", false},
        {"*.wav", "take.aif.wav", false},  // "*" never crosses a dot
        {"*.*", "a.b", true},
        {"*.*", "abc", true},
        {"*.*", "a.b.c", false},
        {"*.*", ".profile", true},
        {"*", "abc", true},
        {"*", "a.b", false},
        {"a*b.wav", "axyz.wav", true},  // the rest of a "*" run up to its dot is skipped
        {"t?ke.wav", "take.wav", true},
        {"t?ke.wav", "tke.wav", false},
        {"take?", "take", true},  // "?" at the end of the name takes nothing
        {"take.", "take", true},
        {"take.wav", "take", false},
        {"take", "take.wav", false},
        {"", "", true},
        {"", "a", false},
        {"<drum.wav", "BigDrum.WAV", true},
        {"<drum.wav", "drum.aif", false},
        {"<drum.wav", "big.drum.wav", false},
        {"<drum", "snaredrum", true},
        {"<drum", "snaredrum.wav", false},
        {"<*.wav", "a.wav", true},
        {"<.wav", "anything.wav", true},
        {"<", "abc", true},
        {"<x.*", "a.x", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TDirectoryScanner::MatchesFileType(c.type, c.name) != 0, c.matches)
            << c.type << " " << c.name;
    EXPECT_EQ(TDirectoryScanner::MatchesFileType(nullptr, "a"), 0);
}

TEST_F(DirectoryScannerTest, RootWithTwoMasksReportsBothKindsInNameOrder) {
    Make({"b.AIF", "a.wav", "c.txt", "Sub/", "Sub/d.wav", "Sub/e.aif", "Sub/Deeper/",
          "Sub/Deeper/f.wav", "x/", "x/g.wav"});
    TRecorder flat(Name());
    flat.Reset(Root("*.wav|*.aif"), nullptr, 0, 0);
    flat.Run();
    EXPECT_EQ(flat.m_calls, (Strings{"start", "dir .", "filter a.wav", "file a.wav 0",
                                     "filter b.AIF", "file b.AIF 1", "end"}));
    EXPECT_EQ(flat.GetFileCount(), 2);
    EXPECT_EQ(flat.GetTotalSize(), 10u);

    TRecorder deep(Name());
    deep.Reset(Root("*.wav | *.aif"), nullptr, 0, 1);
    deep.Run();
    EXPECT_EQ(deep.Calls("file"), (Strings{"a.wav 0", "b.AIF 1", "Sub\\d.wav 2", "Sub\\e.aif 3",
                                           "Sub\\Deeper\\f.wav 4", "x\\g.wav 5"}));
    EXPECT_EQ(deep.Calls("dir"), (Strings{".", "Sub", "Sub\\Deeper", "x"}));
    deep.Run();  // the masks were this root's alone: a second run finds the same
    EXPECT_EQ(deep.Calls("file").size(), 12u);

    // One plain name is looked up in either case; "<text" selects by contained text.
    TRecorder plain(Name());
    plain.Reset(Root("A.WAV"), nullptr, 0, 0);
    plain.Run();
    EXPECT_EQ(plain.Calls("file"), (Strings{"a.wav 0"}));
    plain.Reset(Root("<D.wav"), nullptr, 0, 1);
    plain.Run();
    EXPECT_EQ(plain.Calls("file"), (Strings{"a.wav 0", "Sub\\d.wav 0"}));
}

TEST_F(DirectoryScannerTest, RootsWithoutMaskAndFoldersThatCannotBeReadGiveNothing) {
    Make({"a.wav", "one/", "one/x.wav", "two/", "two/y.wav"});
    TRecorder scanner(Name());
    TFlexList<TFileName> roots;
    for (const char* root : {"", "\\", "missing\\*.wav", "a.wav\\*.*", "|*.wav"})
        roots.Append(new TFileName(Name(root).c_str()));
    roots.Append(new TFileName(""));
    scanner.Reset(roots, nullptr, 0, 1);
    scanner.Run();
    EXPECT_EQ(scanner.Calls("file"), Strings{});
    EXPECT_EQ(scanner.Calls("dir"), (Strings{"missing", "a.wav"}));

    // A folder gone between its listing and its scan yields nothing; the scan goes on.
    scanner.Reset(Root("*.wav"), nullptr, 0, 1);
    scanner.m_onDirectory = [this](const std::string& folder) {
        if (folder == "one") fs::remove_all(Path("one"));
    };
    scanner.Run();
    EXPECT_EQ(scanner.Calls("file"), (Strings{"a.wav 0", "two\\y.wav 1"}));
}

TEST_F(DirectoryScannerTest, HiddenItemsAndDotFolders) {
    Make({".hidden.wav", "shown.wav", ".secret/", ".secret/x.wav", "open/", "open/.h.wav",
          "open/y.wav"});
    TRecorder scanner(Name());
    scanner.Reset(Root(), nullptr, 0, 1);
    scanner.AddFileType("*.wav");
    scanner.AddFileType(".*.wav");  // "*.wav" matches no name with two dots
    scanner.Run();
    EXPECT_EQ(scanner.Calls("file"), (Strings{"shown.wav 0", "open\\y.wav 1"}));
    scanner.m_calls.clear();
    scanner.Reset(Root(), nullptr, 0, 1);  // types stay
    scanner.SkipHiddenItems(0);
    scanner.Run();  // hidden files now count; folders beginning with "." are never entered
    EXPECT_EQ(scanner.Calls("file"),
              (Strings{".hidden.wav 0", "shown.wav 1", "open\\.h.wav 2", "open\\y.wav 3"}));
}

TEST_F(DirectoryScannerTest, BreaksAndRefusalsStopTheScan) {
    Make({"a.wav", "b.wav", "sub/", "sub/c.wav", "t/", "t/d.wav"});
    TRecorder broken(Name());
    broken.Reset(Root("*.wav"), nullptr, 0, 1);
    broken.m_breakAt = 1;  // after the first entry (".")
    broken.Run();
    EXPECT_EQ(broken.Calls("file"), Strings{});
    EXPECT_EQ(broken.m_breaks, 1);
    EXPECT_EQ(broken.m_calls.back(), "end");

    TRecorder beforeSubfolder(Name());
    beforeSubfolder.Reset(Root("*.wav"), nullptr, 0, 1);
    beforeSubfolder.m_breakAt = 7;  // ".", "..", a, b, sub, t, then before "sub"
    beforeSubfolder.Run();
    EXPECT_EQ(beforeSubfolder.Calls("file"), (Strings{"a.wav 0", "b.wav 1"}));
    EXPECT_EQ(beforeSubfolder.Calls("dir"), Strings{"."});

    TRecorder refusing(Name());
    refusing.Reset(Root("*.wav"), nullptr, 0, 1);
    refusing.m_stopAfterFiles = 3;
    refusing.Run();
    EXPECT_EQ(refusing.Calls("file"), (Strings{"a.wav 0", "b.wav 1", "sub\\c.wav 2"}));
    EXPECT_EQ(refusing.Calls("dir"), (Strings{".", "sub"}));
}

TEST_F(DirectoryScannerTest, FileMatchingTwoTypesCountsTwiceAndFilterSkips) {
    Make({"a.wav", "b.wav", "c.aif"});
    fs::resize_file(Path("a.wav"), (uint64_t{3} << 30) + 7);  // sparse: no disk used
    fs::resize_file(Path("b.wav"), uint64_t{2} << 30);
    TRecorder scanner(Name());
    scanner.Reset(Root(), nullptr, 0, 0);
    scanner.AddFileType("*.wav");
    scanner.AddFileType("?.*");
    scanner.m_filterOut = "b.wav";
    scanner.Run();
    EXPECT_EQ(scanner.Calls("filter"), (Strings{"a.wav", "a.wav", "b.wav", "c.aif"}));
    EXPECT_EQ(scanner.Calls("file"), (Strings{"a.wav 0", "a.wav 1", "c.aif 2"}));
    EXPECT_EQ(scanner.GetFileCount(), 3);
    EXPECT_EQ(scanner.GetTotalSize(), 2 * ((uint64_t{3} << 30) + 7) + 5);  // past 32 bits
}

TEST_F(DirectoryScannerTest, CollectedFilesAreReportedAfterTheScan) {
    Make({"b.wav", "a.wav", "sub/", "sub/c.wav"});
    TRecorder scanner(Name());
    scanner.Reset(Root("*.wav"), nullptr, 1, 1);
    scanner.Run();
    EXPECT_EQ(scanner.m_calls, (Strings{"start", "dir .", "filter a.wav", "filter b.wav", "dir sub",
                                        "filter sub\\c.wav", "end", "file a.wav 0", "file b.wav 1",
                                        "file sub\\c.wav 2"}));
    ASSERT_EQ(scanner.GetNumFile(), 3);
    EXPECT_EQ(scanner.Relative(scanner.GetFirst()), "a.wav");
    EXPECT_EQ(scanner.Relative(scanner.GetNext()), "b.wav");
    EXPECT_EQ(scanner.Relative(scanner.GetNext()), "sub\\c.wav");
    EXPECT_TRUE(scanner.GetNext().IsEmpty());
    EXPECT_TRUE(scanner.GetNext().IsEmpty());
    EXPECT_EQ(scanner.GetFoundFiles().GetFirst()->GetSize(), 5u);
    scanner.Reset(Root("*.wav"), nullptr, 0, 0);
    EXPECT_EQ(scanner.GetNumFile(), 0);
    EXPECT_TRUE(scanner.GetFirst().IsEmpty());
}

TEST_F(DirectoryScannerTest, StoredFoldersGoOneLevelDeep) {
    Make({"z.wav", "Alpha/", "Alpha/inner/", "Alpha/inner/deep.wav", "Alpha/a.wav", "beta/",
          "beta/b.wav", "gamma/", "gamma/.hidden/", ".dot/", "delta/", "delta/.x/", "delta/sub/"});
    TRecorder scanner(Name());
    scanner.Reset(Root("*.wav"), nullptr, 1, 1);
    scanner.SetStoreFolders(1);
    scanner.Run();
    Strings found;
    for (const auto& entry : scanner.GetFoundFiles())
        found.push_back(scanner.Relative(entry.GetName()) + (entry.IsDirectory() ? "/" : "") +
                        (entry.HasSubfolders() ? "+" : ""));
    EXPECT_EQ(found, (Strings{"Alpha/+", "beta/", "delta/+", "gamma/", "z.wav"}));
    EXPECT_EQ(scanner.Calls("dir"), (Strings{".", "Alpha", "beta", "delta", "gamma"}));
    EXPECT_NE(scanner.GetFoundFiles().GetFirst()->GetEntry().ftLastWriteTime.dwHighDateTime, 0u);
}

TEST_F(DirectoryScannerTest, NameListReceivesTheFilesInsteadOfOnFile) {
    Make({"a.wav", "b.txt", "sub/", "sub/c.wav"});
    TFlexList<TFileName> names;
    TRecorder scanner(Name());
    scanner.SetFileNameList(names);
    scanner.Reset(Root("*.wav"), nullptr, 1, 1);  // the list wins over collecting
    scanner.Run();
    EXPECT_EQ(Names(names), (Strings{"a.wav", "sub\\c.wav"}));
    EXPECT_EQ(scanner.Calls("file"), Strings{});
    EXPECT_EQ(scanner.GetNumFile(), 0);
    scanner.Reset(Root("*.txt"), nullptr, 0, 0);  // emptied, still attached
    EXPECT_EQ(names.GetCount(), 0);
    scanner.Run();
    EXPECT_EQ(Names(names), Strings{"b.txt"});
}

TEST_F(DirectoryScannerTest, ResetKeepsOrReplacesTheTypes) {
    Make({"a.wav", "b.aif", "c.txt"});
    TString wav("*.wav"), aif("*.aif");
    TRecorder scanner(Name());
    scanner.Reset(Root(), &wav, 0, 0);
    scanner.Run();
    scanner.Reset(Root(), nullptr, 0, 0);  // one root: the types stay
    scanner.Run();
    TFlexList<TFileName> roots;
    roots.Append(new TFileName(Root()));
    scanner.Reset(roots, nullptr, 0, 0);  // several roots: emptied, so the root needs a mask
    scanner.Run();
    scanner.Reset(roots, &aif, 0, 0);
    scanner.Run();
    EXPECT_EQ(scanner.Calls("file"), (Strings{"a.wav 0", "a.wav 0", "b.aif 0"}));

    // A native root is taken in its library form.
    TRecorder native(Name());
    native.Reset(TFileName(Path("*.txt").c_str()), nullptr, 0, 0);
    native.Run();
    EXPECT_EQ(native.Calls("file"), Strings{"c.txt 0"});
}

TEST_F(DirectoryScannerTest, LinkLoopsAreScannedOnce) {
    Make({"a.wav", "sub/", "sub/b.wav", "sub/back=..", "sub/self=.", "z=sub"});
    TRecorder scanner(Name());
    scanner.Reset(Root("*.wav"), nullptr, 0, 1);
    scanner.Run();
    EXPECT_EQ(scanner.Calls("file"), (Strings{"a.wav 0", "sub\\b.wav 1"}));
    EXPECT_EQ(scanner.Calls("dir"), (Strings{".", "sub", "sub\\back", "sub\\self", "z"}));
}

TEST_F(DirectoryScannerTest, HookExceptionLeavesNoFolderOpen) {
    Make({"a.wav", "b.wav", "sub/", "sub/c.wav"});
    auto openDescriptors = [] {
        size_t n = 0;
        for (const auto& fd : fs::directory_iterator("/proc/self/fd")) n += !fd.path().empty();
        return n;
    };
    const size_t before = openDescriptors();
    TRecorder scanner(Name());
    scanner.Reset(Root("*.wav"), nullptr, 0, 1);
    scanner.m_onFile = [](const TFileName&) { throw std::runtime_error("host failed"); };
    EXPECT_THROW(scanner.Run(), std::runtime_error);
    EXPECT_EQ(openDescriptors(), before);
    scanner.m_onFile = nullptr;
    scanner.Reset(Root(), nullptr, 0, 1);  // the masks of the failed run are gone
    scanner.Run();
    EXPECT_EQ(scanner.Calls("file"), Strings{"a.wav 0"});  // from the first run only
}

// A chain of folders "d" too deep for a recursive scan on a small stack, whose native
// path is longer than the system's limit; removing the scratch folder copes with it.
void MakeDeepChain(const std::string& root, int depth) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth && fd >= 0; ++i) {
        ::mkdirat(fd, "d", 0777);
        int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    int file = ::openat(fd, "deep.wav", O_WRONLY | O_CREAT, 0644);
    EXPECT_EQ(::write(file, "abc", 3), 3);
    ::close(file);
    ::close(fd);
}

TEST_F(DirectoryScannerTest, DeepTreeOnASmallStack) {
    constexpr int kDepth = 2200;
    MakeDeepChain(Path(), kDepth);
    ASSERT_GT(Path().size() + 2 * kDepth, 4096u);

    struct TScan : TThread {
        explicit TScan(TRecorder& scanner) : m_scanner(scanner) {}
        uint32_t MainLoop() override {
            m_scanner.Run();
            return 0;
        }
        TRecorder& m_scanner;
    };
    TRecorder scanner(Name());
    scanner.Reset(Root("*.wav"), nullptr, 0, 1);
    TScan thread(scanner);
    ASSERT_TRUE(thread.SetupAndRun(&thread, 0, 0, 128 * 1024));
    thread.WaitForEnd();
    std::string expected;
    for (int i = 0; i < kDepth; ++i) expected += "d\\";
    EXPECT_EQ(scanner.Calls("file"), Strings{expected + "deep.wav 0"});
    EXPECT_EQ(scanner.GetTotalSize(), 3u);
    EXPECT_EQ(scanner.Calls("dir").size(), size_t(kDepth) + 1);
}

TEST(FoundFileTest, OrdersFoldersFirstThenByMode) {
    auto make = [](const char* name, bool folder, uint64_t size, uint64_t written) {
        WIN32_FIND_DATAA entry = {};
        entry.dwFileAttributes = folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
        entry.nFileSizeHigh = DWORD(size >> 32);
        entry.nFileSizeLow = DWORD(size);
        entry.ftLastWriteTime = {DWORD(written), DWORD(written >> 32)};
        TString title(TFileName(name).GetTitle(1));
        std::snprintf(entry.cFileName, sizeof entry.cFileName, "%s", title.c_str());
        return TFoundFile(TFileName(name), entry);
    };
    TFoundFile big = make("C:\\b\\a.wav", false, uint64_t{5} << 32, 2);
    TFoundFile small = make("C:\\a\\B.wav", false, 7, uint64_t{1} << 40);
    TFoundFile folder = make("C:\\z\\folder", true, 0, 0);
    struct Case {
        int mode;
        const TFoundFile& a;
        const TFoundFile& b;
        int sign;
    } cases[] = {
        {0, folder, big, -1}, {1, big, folder, 1},  {2, folder, small, -1},
        {0, small, big, -1},  {1, big, small, -1},  {2, small, big, -1},  // 64-bit sizes
        {3, big, small, -1},  {3, small, small, 0}, {7, big, small, 1},
    };
    for (const Case& c : cases) {
        int result = c.a.Compare(c.b, c.mode);
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.mode;
    }
    EXPECT_EQ(big.Compare(TFileName("x"), 0), -1);

    TFoundFile copy(folder);
    copy.SetHasSubfolders(1);
    TFoundFile assigned = big;
    assigned = copy;
    EXPECT_EQ(assigned.HasSubfolders(), 1);
    EXPECT_TRUE(assigned.IsDirectory() && !assigned.IsDots() && !assigned.IsHidden());
    EXPECT_STREQ(assigned.GetName().c_str(), "C:\\z\\folder");
    TObject* clone = assigned.CreateClone(nullptr);
    EXPECT_EQ(clone->Compare(assigned, 0), 0);
    clone->Delete();
    EXPECT_TRUE(make("C:\\x\\..", true, 0, 0).IsDots());
    EXPECT_FALSE(make("C:\\x\\..", false, 0, 0).IsDots());
}

}  // namespace
