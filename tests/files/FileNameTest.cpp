#include <commonvcqx/containers/Array.h>
#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/containers/StringItem.h>
#include <commonvcqx/files/FileName.h>
#include <commonvcqx/files/FileNameEx.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/Drives.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

int Sign(int v) {
    return (v > 0) - (v < 0);
}

std::string ExecutableDirectory() {
    return FileNameFromNativePath(
        std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
}

}  // namespace

TEST(FileNameTest, KeepsTextAsGivenAndCompletesTwoParts) {
    for (const char* text : {"", "C:\\Takes\\", "c:\\MiXeD\\Case.WAV", "relative\\x", "\\\\srv\\x",
                             "no drive", "C:", "a\\..\\b\\.\\"}) {
        TFileName fromText(text);
        TFileName fromString{TString(text)};
        TFileName fromSub(TString(text).Mid(0));
        EXPECT_STREQ(fromText.c_str(), text);
        EXPECT_STREQ(fromString.c_str(), text);
        EXPECT_STREQ(fromSub.c_str(), text);
    }
    TFileName original("C:\\a.wav");
    TFileName copy(original);
    EXPECT_EQ(copy.c_str(), original.c_str());  // one shared representation
    copy.SetExtension("mp3");
    EXPECT_STREQ(original.c_str(), "C:\\a.wav");
    EXPECT_STREQ(copy.c_str(), "C:\\a.wav.mp3");

    const std::string drive = TString(TString::GetCurrentDrive()).c_str();
    struct Case {
        const char* directory;
        const char* name;
        std::string expected;
    } cases[] = {
        {"C:\\Takes", "one.wav", "C:\\Takes\\one.wav"},
        {"C:\\Takes\\", "one.wav", "C:\\Takes\\one.wav"},
        {"C:\\Takes", "\\one.wav", "C:\\Takes\\one.wav"},
        {"D:", "x", "D:\\x"},
        {"", "x", drive + ":\\x"},
        {"Takes", "one.wav", drive + ":\\Takes\\one.wav"},
        {"C:\\a", "", "C:\\a\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.directory) + " + " + c.name);
        EXPECT_EQ(TFileName(c.directory, c.name).c_str(), c.expected);
        EXPECT_EQ(TFileName(TString(c.directory), c.name).c_str(), c.expected);
        EXPECT_EQ(TFileName(c.directory, TString(c.name)).c_str(), c.expected);
        EXPECT_EQ(TFileName(TString(c.directory), TString(c.name)).c_str(), c.expected);
    }
    EXPECT_STREQ(TFileName(nullptr, nullptr).c_str(), (drive + ":\\").c_str());
}

TEST(FileNameTest, AssignmentReplacesTextButNotListLinks) {
    TFlexList<TFileName> list;
    TFileName* a = list.Append(new TFileName("C:\\a"));
    TFileName* b = list.Append(new TFileName("C:\\b"));
    TFileName* c = list.Append(new TFileName("C:\\c"));
    *b = *a;
    *a = TString("C:\\x");
    *c = "C:\\y";
    *a = TString("C:\\z").Mid(0);
    ASSERT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.GetFirst(), a);
    EXPECT_EQ(list.GetNext(a), b);
    EXPECT_EQ(list.GetNext(b), c);
    EXPECT_EQ(list.GetPrev(c), b);
    EXPECT_STREQ(a->c_str(), "C:\\z");
    EXPECT_STREQ(b->c_str(), "C:\\a");
    EXPECT_STREQ(c->c_str(), "C:\\y");

    TFileName outside(*b);  // a copy of a listed element belongs to no list
    EXPECT_EQ(outside.GetNext(), nullptr);
    EXPECT_EQ(outside.GetPrev(), nullptr);
}

TEST(FileNameTest, ComparesIgnoringCaseInFileListOrder) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {
        {"C:\\Takes\\One.WAV", "c:\\takes\\one.wav", 0},
        {"", "", 0},
        {"", "a", -1},
        {"a", "a.txt", -1},
        {"a_b", "ab", -1},  // punctuation before letters, "_" included
        {"a~", "a0", -1},   // and before digits
        {"file10", "file9", -1},
        {"a b", "a\\b", -1},  // space is the first punctuation after ' and -
        {"x-y", "x!y", -1},
        {"x'y", "x-y", -1},
        {"a\\b", "a.b", 1},  // "." sorts before "\"
        {"Z", "a", 1},
        {"\x01", " ", -1},  // control characters first
        {"z", "\x7F", -1},
        {"\xE9", "\xC9", 1},  // no case beyond ASCII
        {"[", "]", -1},
        {"~", "+", -1},
        {"@", "A", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " <> " + c.b);
        EXPECT_EQ(Sign(TFileName(c.a).Compare(TFileName(c.b), 0)), c.sign);
        EXPECT_EQ(Sign(TFileName(c.b).Compare(TFileName(c.a), 7)), -c.sign);
        EXPECT_EQ(Sign(CompareFileNames(c.a, c.b)), c.sign);
    }
    EXPECT_EQ(CompareFileNames(nullptr, ""), 0);
    EXPECT_LT(CompareFileNames(nullptr, "a"), 0);

    // Against other objects: anything that is a string compares by text, the rest after.
    TFileNameEx ex(TFileName("C:\\A"), 1, 1);
    EXPECT_EQ(TFileName("c:\\a").Compare(ex, 0), 0);
    EXPECT_EQ(ex.Compare(TFileName("c:\\a"), 0), 0);
    TStringItem<TListElement> item("c:\\a");
    EXPECT_EQ(TFileName("c:\\a").Compare(item, 0), -1);

    // A total order on arbitrary bytes: sorting agrees with pairwise comparison.
    std::mt19937 random(7);
    std::vector<std::string> texts;
    for (int i = 0; i < 300; ++i) {
        std::string s;
        for (int n = int(random() % 6); n > 0; --n) s += char(1 + random() % 255);
        texts.push_back(s);
    }
    std::sort(texts.begin(), texts.end(), [](const std::string& x, const std::string& y) {
        return CompareFileNames(x.c_str(), y.c_str()) < 0;
    });
    for (size_t i = 0; i < texts.size(); ++i)
        for (size_t j = i; j < texts.size(); ++j)
            ASSERT_LE(CompareFileNames(texts[i].c_str(), texts[j].c_str()), 0) << i << " " << j;
}

TEST(FileNameTest, ListsOfNamesIgnoreCase) {
    TFlexList<TFileName> list;
    for (const char* name : {"C:\\b.wav", "c:\\A.wav", "C:\\a.WAV", "C:\\_x", "C:\\B.WAV"})
        list.InsertInSortedList(new TFileName(name));
    std::vector<std::string> order;
    for (TFileName* f = list.GetFirst(); f; f = list.GetNext(f)) order.push_back(f->c_str());
    EXPECT_EQ(order, (std::vector<std::string>{"C:\\_x", "c:\\A.wav", "C:\\a.WAV", "C:\\b.wav",
                                               "C:\\B.WAV"}));
    TFileName* known = list.AddUnique(new TFileName("C:\\_X"));
    EXPECT_STREQ(known->c_str(), "C:\\_x");
    EXPECT_EQ(list.GetCount(), 5);
    EXPECT_NE(list.FindEqual(TFileName("c:\\B.Wav")), nullptr);
    EXPECT_EQ(list.FindEqual(TFileName("c:\\B.Wa")), nullptr);

    // Cloned lists hold TFileNames that outlive the originals.
    TFlexList<TFileName> copy(list);
    list.Clear();
    ASSERT_EQ(copy.GetCount(), 5);
    EXPECT_STREQ(copy.GetLast()->c_str(), "C:\\B.WAV");
}

TEST(FileNameTest, ClonesComeFromTheStringHeapAndOutliveTheSource) {
    NH_Heap heap(1);
    NH_Heap* saved = _stringHeap;
    auto* source = new TFileName("C:\\Takes\\One.wav");
    auto* sourceEx = new TFileNameEx(TFileName("C:\\x"), 1, 2);
    _stringHeap = &heap;
    TObject* clone = source->CreateClone(nullptr);
    TObject* cloneEx = sourceEx->CreateClone(nullptr);
    _stringHeap = saved;

    struct Probe {
        static int Is(void* block, void* wanted) { return block == wanted; }
    };
    EXPECT_EQ(heap.FindFirstThat(Probe::Is, dynamic_cast<void*>(clone)),
              dynamic_cast<void*>(clone));
    EXPECT_EQ(heap.FindFirstThat(Probe::Is, dynamic_cast<void*>(cloneEx)),
              dynamic_cast<void*>(cloneEx));

    source->Delete();
    sourceEx->Delete();
    auto* name = dynamic_cast<TFileName*>(clone);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name->c_str(), "C:\\Takes\\One.wav");
    EXPECT_EQ(name->Compare(TFileName("c:\\takes\\one.WAV"), 0), 0);
    EXPECT_EQ(name->GetNext(), nullptr);

    auto* ex = dynamic_cast<TFileNameEx*>(cloneEx);  // keeps its type and flags
    ASSERT_NE(ex, nullptr);
    EXPECT_STREQ(ex->c_str(), "C:\\x");
    EXPECT_EQ(ex->m_flag1, 1);
    EXPECT_EQ(ex->m_flag2, 2);
    clone->Delete();
    cloneEx->Delete();
}

TEST(FileNameTest, ExtendedNamesCarryTheirFlags) {
    TFileNameEx empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(empty.m_flag1, 0);
    EXPECT_EQ(empty.m_flag2, 0);

    TFileName base("C:\\Mixed\\");
    TFileNameEx flagged(base, 'a', 0);
    EXPECT_EQ(flagged.c_str(), base.c_str());
    EXPECT_EQ(flagged.m_flag1, 'a');
    EXPECT_EQ(flagged.m_flag2, 0);
    TFileNameEx copy(flagged);
    EXPECT_EQ(copy.m_flag1, 'a');
    empty = flagged;
    EXPECT_STREQ(empty.c_str(), "C:\\Mixed\\");
    EXPECT_EQ(empty.m_flag1, 'a');

    TFlexList<TFileNameEx> list;
    list.Append(new TFileNameEx(TFileName("C:\\b"), 1, 0));
    list.Append(new TFileNameEx(TFileName("C:\\A"), 0, 1));
    list.Sort();
    EXPECT_STREQ(list.GetFirst()->c_str(), "C:\\A");
    EXPECT_EQ(list.GetFirst()->m_flag2, 1);
}

TEST(FileNameTest, NamesRelativeToTheApplication) {
    const std::string directory = ExecutableDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(TFileName::GetApplicationPath().c_str(), directory);

    struct Case {
        TFileName result;
        std::string expected;
    } cases[] = {
        {TFileName::CreateApplicationRelative("D:\\Data\\x.cfg"), "D:\\Data\\x.cfg"},
        {TFileName::CreateApplicationRelative(TString("c:relative")), "c:relative"},
        {TFileName::CreateApplicationRelative("song.wav"), directory + "\\song.wav"},
        {TFileName::CreateApplicationRelative("\\sub\\song.wav"), directory + "\\sub\\song.wav"},
        {TFileName::CreateApplicationRelative(TString("sub\\")), directory + "\\sub\\"},
        {TFileName::CreateApplicationRelative("editor", nullptr, "cfg"),
         directory + "\\editor.cfg"},
        {TFileName::CreateApplicationRelative("editor", "_old", nullptr),
         directory + "\\editor_old"},
        {TFileName::CreateApplicationRelative("D:\\editor", "2", "ini"), "D:\\editor2.ini"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.result.c_str(), c.expected);
}

TEST(FileNameTest, ApplicationOutsideEveryDriveKeepsItsNativeDirectory) {
    const std::string root = GetDriveRoot('C');
    ASSERT_FALSE(root.empty());
    UnmapDrive('C');
    const TFileName path = TFileName::GetApplicationPath();
    const TFileName name = TFileName::CreateApplicationRelative("sub\\song.wav");
    MapDrive('C', root);
    const std::string native =
        std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    EXPECT_EQ(path.c_str(), native);
    EXPECT_EQ(name.c_str(), native + "/sub/song.wav");
}

TEST(FileNameTest, AnyTextIsSafe) {
    // Random bytes with many separators, colons and dots through every operation that
    // parses the text: nothing may read outside the strings (the sanitizer build checks).
    std::mt19937 random(11);
    const char alphabet[] = "\\\\\\::..aZ _-~\x01\xFF";
    for (int i = 0; i < 2000; ++i) {
        std::string a, b;
        for (int n = int(random() % 12); n > 0; --n)
            a += alphabet[random() % (sizeof alphabet - 1)];
        for (int n = int(random() % 12); n > 0; --n)
            b += alphabet[random() % (sizeof alphabet - 1)];
        TFileName joined(a.c_str(), b.c_str());
        TFileName relative = TFileName::CreateApplicationRelative(b.c_str());
        TObject* clone = joined.CreateClone(nullptr);
        ASSERT_EQ(clone->Compare(joined, 0), 0);
        (void)relative.Compare(*clone, 0);
        clone->Delete();
        TFileNameEx ex(TFileName(a.c_str()), 1, 1);
        ASSERT_EQ(Sign(ex.Compare(TFileName(b.c_str()), 0)),
                  -Sign(TFileName(b.c_str()).Compare(ex, 0)));
    }
}
