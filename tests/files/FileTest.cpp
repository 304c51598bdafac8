// TFile: open flags and sharing, transfers, sizes, the file-system operations on
// names, and the failures each reports.
#include "FileTestSupport.h"

#include <commonvcqx/files/File.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/platform/internal/Files.h>

#include <sys/resource.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <memory>

namespace {

using cvq::test::Catch;
using cvq::test::ErrorText;
namespace fs = std::filesystem;

class FileTest : public cvq::test::ScratchFolder {};

TEST_F(FileTest, FlagZeroOpensAnExistingFileForReadingAndWriting) {
    std::string name = Name("missing.bin");
    auto missing = Catch([&] { TFile file(name.c_str(), 0); });
    EXPECT_TRUE(missing.thrown);
    EXPECT_EQ(missing.text, ErrorText(18000, name));
    EXPECT_EQ(missing.code, 2u);
    EXPECT_FALSE(fs::exists(Path("missing.bin")));  // flag 0 never creates

    TFile quiet;
    EXPECT_FALSE(quiet.Open(name.c_str(), 0x40000));
    EXPECT_FALSE(quiet.IsOpen());

    auto cannotCreate = Catch([&] { TFile file(Name("no\\such\\dir.bin").c_str(), 0x10); });
    EXPECT_EQ(cannotCreate.text, ErrorText(18016, Name("no\\such\\dir.bin")));
    EXPECT_EQ(cannotCreate.code, 3u);

    Put("data.bin", "abcdef");
    TFile file(Name("data.bin").c_str(), 0);
    char head[3] = {};
    file.ReadSecure(head, 3);
    EXPECT_EQ(std::string(head, 3), "abc");
    file.Write("XY", 2);
    EXPECT_EQ(file.GetPosition(), 5);
    file.Close();
    EXPECT_EQ(Get("data.bin"), "abcXYf");

    TFile created(Name("data.bin").c_str(), 0x10);  // create replaces the old contents
    EXPECT_EQ(created.GetSize(), 0);
}

TEST_F(FileTest, SharingModesConflictAsOnWindows) {
    Put("shared.bin", "keep");
    std::string name = Name("shared.bin");
    struct Case {
        int first, second;
        bool conflict;
    } cases[] = {
        {0, 0, true},                     // both write, both deny writers
        {0x2 | 0x20, 0x2 | 0x20, false},  // readers letting readers in
        {0x2 | 0x80, 0x8 | 0x80, false},  // share-all on both sides
        {0x2 | 0x100, 0x2 | 0x80, true},  // exclusive
        {0x2 | 0x80, 0x2 | 0x100, true},
        {0x1, 0x8 | 0x100, false},       // a query-only open holds nothing
        {0x2 | 0x20, 0x8 | 0x20, true},  // a writer beside a reader that denies writing
        {0x2 | 0x20, 0x10, true},        // creating must not cut a file held by others
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << " then " << c.second);
        TFile first(name.c_str(), c.first);
        TFile second;
        auto caught = Catch([&] { second.Open(name.c_str(), c.second); });
        EXPECT_EQ(caught.thrown, c.conflict);
        if (c.conflict) {
            EXPECT_EQ(caught.text, ErrorText(18025, name));
            EXPECT_EQ(caught.code, 32u);
            EXPECT_FALSE(second.Open(name.c_str(), c.second | 0x40000));
        }
        second.Close();
        first.Close();
        EXPECT_EQ(Get("shared.bin"), "keep");
    }
    TFile again(name.c_str(), 0x100);  // every lock went with its file
    EXPECT_TRUE(again.IsOpen());
}

TEST_F(FileTest, TypedItemsLinesAndSeeking) {
    TFile file(Name("items.bin").c_str(), 0x10);
    file.Write(int32_t{-5});
    file.Write(uint16_t{0xBEEF});
    file.Write(2.5);
    file.Write('z');
    file.WriteString("nul", 1);
    EXPECT_EQ(file.GetSize(), 4 + 2 + 8 + 1 + 4);
    EXPECT_EQ(file.SeekStart(), 0);
    int32_t i = 0;
    uint16_t u = 0;
    double d = 0;
    char c = 0;
    file.ReadItem(&i);
    file.ReadItem(&u);
    file.ReadItem(&d);
    file.ReadItem(&c);
    EXPECT_EQ(i, -5);
    EXPECT_EQ(u, 0xBEEF);
    EXPECT_EQ(d, 2.5);
    EXPECT_EQ(c, 'z');
    EXPECT_EQ(std::string(file.ReadLine().c_str()), "nul");  // stops at the NUL

    auto past = Catch([&] { file.ReadItem(&i); });
    EXPECT_EQ(past.text, ErrorText(18002, Name("items.bin")));
    EXPECT_EQ(past.code, 38u);
    int32_t read = 7;
    EXPECT_FALSE(file.ReadData(&i, -1, 0, &read));
    EXPECT_EQ(read, -1);

    EXPECT_EQ(file.Seek(-4, TFile::kFromEnd), file.GetSize() - 4);
    EXPECT_EQ(file.Seek(2, TFile::kFromCurrent), file.GetSize() - 2);
    EXPECT_EQ(file.Seek(-100, TFile::kFromStart, 0), -1);
    auto badSeek = Catch([&] { file.Seek(-100, TFile::kFromStart, 1); });
    EXPECT_EQ(badSeek.text, GetStaticString(18004));
    EXPECT_EQ(badSeek.code, 131u);

    file.SetSize(0);
    file.WriteLine("one");
    file.WriteLine("two", '\r', static_cast<char>(0xFF));
    file.WriteLine("three", '\n', static_cast<char>(0xFF));
    file.Write("last", 4);
    file.SeekStart();
    const char* expected[] = {"one", "two", "three", "last", ""};
    for (const char* line : expected) EXPECT_EQ(std::string(file.ReadLine().c_str()), line);
}

TEST_F(FileTest, SizesAndCloseBehaviours) {
    TFile file(Name("sized.bin").c_str(), 0x10);
    file.SetSize(100);
    EXPECT_EQ(file.GetPosition(), 100);
    EXPECT_EQ(TFile::GetSize(Name("sized.bin").c_str()), 100);
    EXPECT_EQ(file.GetFileSize(), 100);
    auto negative = Catch([&] { file.SetSize(-1); });
    EXPECT_EQ(negative.text, GetStaticString(18005));
    file.Close();
    auto gone = Catch([&] { TFile::GetSize(Name("nothing").c_str()); });
    EXPECT_EQ(gone.text, ErrorText(18000, Name("nothing")));

    TFile cut(Name("cut.bin").c_str(), 0x10 | 0x80000);
    cut.Write("0123456789", 10);
    cut.SeekStart();
    cut.Write("ab", 2);
    {
        cvq::platform::FileHandle* raw = cut.GetHandle();
        DWORD error = 0;
        cvq::platform::TruncateFile(raw, 4096, error);  // grown behind the file's back
    }
    cut.Close();
    EXPECT_EQ(Get("cut.bin"), "ab23456789");  // cut back to what was written

    for (int deleteFlag : {0x200, 0x400}) {
        TFile temporary(Name("temp.bin").c_str(), 0x10 | deleteFlag);
        EXPECT_TRUE(temporary.ShouldBeDeletedOnClose());
        temporary.Write("x", 1);
        temporary.Close();
        EXPECT_FALSE(fs::exists(Path("temp.bin"))) << deleteFlag;
    }

    Put("locked.bin", "old");
    fs::permissions(Path("locked.bin"), fs::perms::owner_write, fs::perm_options::remove);
    TFile readOnly(Name("locked.bin").c_str(), 0x1000);
    readOnly.Write("new", 3);
    EXPECT_FALSE(TFile::IsWriteProtected(Name("locked.bin").c_str()));
    readOnly.Close();
    EXPECT_TRUE(TFile::IsWriteProtected(Name("locked.bin").c_str()));
    EXPECT_EQ(Get("locked.bin"), "new");

    TFile inFolder(Name().c_str(), 0x800);  // a new temporary file in the folder
    std::string temporaryName = inFolder.GetName().c_str();
    EXPECT_EQ(temporaryName, Name("XX0.$$$"));
    EXPECT_EQ(std::string(TFile::GetTempName((Name() + "\\\\").c_str()).c_str()), Name("XX1.$$$"));
    auto noFolder = Catch([&] { TFile::GetTempName(Name("absent").c_str()); });
    EXPECT_EQ(noFolder.text, GetStaticString(18008));
}

TEST_F(FileTest, ExistDeleteAndRename) {
    Put("file.txt", "x");
    fs::create_directory(Path("dir"));
    struct Case {
        std::string name;
        TFile::EType type;
        bool exists;
    } cases[] = {
        {"", TFile::kAnything, false},
        {Name("file.txt"), TFile::kFile, true},
        {Name("file.txt"), TFile::kDirectory, false},
        {Name("file.txt"), TFile::kAnything, true},
        {Name("dir"), TFile::kFile, false},
        {Name("dir"), TFile::kDirectory, true},
        {Name("dir"), TFile::kAnything, true},
        {Name("none"), TFile::kAnything, false},
        {"Q:\\unmapped.txt", TFile::kAnything, false},
        {Path("file.txt"), TFile::kFile, true},  // native names pass unchanged
    };
    for (const Case& c : cases)
        EXPECT_EQ(bool(TFile::Exist(c.name.c_str(), c.type)), c.exists) << c.name << c.type;

    EXPECT_TRUE(TFile::Delete(Name("none").c_str(), 1, 0));
    Put("readonly.txt", "x");
    TFile::SetAttributes(Name("readonly.txt").c_str(), 0x2);
    EXPECT_TRUE(TFile::Delete(Name("readonly.txt").c_str(), 1, 1));
    EXPECT_FALSE(fs::exists(Path("readonly.txt")));
    EXPECT_FALSE(TFile::Delete(Name("dir").c_str(), 0, 1));
    auto dir = Catch([&] { TFile::Delete(Name("dir").c_str(), 1, 1); });
    EXPECT_EQ(dir.text, GetStaticString(18001));
    EXPECT_EQ(dir.code, 5u);

    Put("other.txt", "y");
    auto taken = Catch([&] { TFile::Rename(Name("file.txt").c_str(), Name("other.txt").c_str()); });
    EXPECT_EQ(taken.text, GetStaticString(18013));
    EXPECT_EQ(taken.code, 183u);
    TFile::Rename(Name("file.txt").c_str(), Name("moved.txt").c_str());
    EXPECT_EQ(Get("moved.txt"), "x");
}

TEST_F(FileTest, CopyMoveFoldersAndTimes) {
    Put("source.txt", "payload");
    fs::permissions(Path("source.txt"), fs::perms::owner_read | fs::perms::owner_write);
    FILETIME old = cvq::platform::FileTimeFromUnix(1100000000, 0);
    ASSERT_TRUE(TFile::SetDateTime(Name("source.txt").c_str(), nullptr, &old, &old));

    TFile::CopyEx(Name("a\\b\\copy.txt").c_str(), Name("source.txt").c_str());
    EXPECT_EQ(Get("a/b/copy.txt"), "payload");
    EXPECT_EQ(fs::status(Path("a/b/copy.txt")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    FILETIME written{1, 1};
    ASSERT_TRUE(TFile::GetDateTime(Name("a\\b\\copy.txt").c_str(), nullptr, nullptr, &written));
    EXPECT_EQ(written.dwLowDateTime, old.dwLowDateTime);
    EXPECT_FALSE(TFile::GetDateTime(Name("absent").c_str(), nullptr, nullptr, &written));
    time_t when = 1100000000;  // local time, packed as DOS words
    struct tm local;
    localtime_r(&when, &local);
    unsigned short dosDate = 1, dosTime = 1;
    ASSERT_TRUE(TFile::GetDateTime(Name("source.txt").c_str(), &dosDate, &dosTime));
    EXPECT_EQ(dosDate, ((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    EXPECT_EQ(dosTime, (local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    FILETIME early = cvq::platform::FileTimeFromUnix(100000000, 0);  // 1973: no DOS form
    ASSERT_TRUE(TFile::SetDateTime(Name("source.txt").c_str(), nullptr, nullptr, &early));
    EXPECT_FALSE(TFile::GetDateTime(Name("source.txt").c_str(), &dosDate, &dosTime));
    EXPECT_EQ(dosDate + dosTime, 0);
    ASSERT_TRUE(TFile::SetDateTime(Name("source.txt").c_str(), nullptr, &old, &old));
    EXPECT_EQ(written.dwLowDateTime, 0u);

    auto noSource = Catch([&] { TFile::Copy(Name("x.txt").c_str(), Name("absent").c_str()); });
    EXPECT_EQ(noSource.text, GetStaticString(18006));
    EXPECT_EQ(noSource.code, 2u);
    EXPECT_FALSE(fs::exists(Path("x.txt")));

    Put("target.txt", "old");
    TFile::Move(Name("target.txt").c_str(), Name("a\\b\\copy.txt").c_str());
    EXPECT_EQ(Get("target.txt"), "payload");
    EXPECT_FALSE(fs::exists(Path("a/b/copy.txt")));
    auto noMove = Catch([&] { TFile::Move(Name("y.txt").c_str(), Name("absent").c_str()); });
    EXPECT_EQ(noMove.text, GetStaticString(18007));

    TFile::EnsureDirectory(Name("p\\q\\\\r\\").c_str());
    EXPECT_TRUE(fs::is_directory(Path("p/q/r")));
    TFile::EnsureDirectory(Name("p\\q").c_str());  // already there
    for (std::string bad :
         {Name("target.txt\\sub"), std::string("Q:\\folder"), std::string("relative\\folder")}) {
        auto caught = Catch([&] { TFile::EnsureDirectory(bad.c_str()); });
        EXPECT_EQ(caught.text, GetStaticString(18018)) << bad;
    }

    EXPECT_TRUE(TFile::IsWritableDirectory(Name().c_str()));
    EXPECT_FALSE(TFile::IsWritableDirectory(Name("absent").c_str()));
    EXPECT_FALSE(TFile::IsWritableDirectory(""));
    EXPECT_EQ(Entries(), 4u);  // source, target, a, p: the probe left nothing

    TFile reused(Name("source.txt").c_str(), 0x2 | 0x100);
    reused.Open(Name("target.txt").c_str(), 0x2 | 0x100);  // the first one is released
    TFile other(Name("source.txt").c_str(), 0x2 | 0x100);
    EXPECT_TRUE(other.IsOpen());
}

TEST_F(FileTest, DrivesSpaceFreeNamesAndComparison) {
    EXPECT_TRUE(TFile::ExistDrive("C:\\anything"));
    EXPECT_FALSE(TFile::ExistDrive("Q:\\anything"));
    double total = -1;
    EXPECT_GT(TFile::GetDiskSpace(2, &total), 0.0);
    EXPECT_GT(total, 0.0);
    EXPECT_EQ(TFile::GetDiskSpace(16, &total), 0.0);  // Q: is not mapped
    EXPECT_EQ(total, 0.0);

    Put("take_1.wav", "");
    struct Case {
        const char* name;
        char separator;
        std::string expected;
    } cases[] = {
        {"take.wav", '_', Name("take_2.wav")},    // take_1 exists
        {"take_7.wav", '_', Name("take_2.wav")},  // cut before the separator
        {"_take.wav", '_', Name("_take_1.wav")},  // not at the start
        {"noext", '-', Name("noext-1")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(
            std::string(TFile::GetNonExistingName(Name().c_str(), c.name, c.separator).c_str()),
            c.expected)
            << c.name;
    EXPECT_EQ(TFile::GetNonExistingName(Name("absent").c_str(), "a.b", '_').GetLength(), 0u);

    std::string big(200000, 'a');
    Put("one.bin", big);
    big[150001] = 'b';
    Put("two.bin", big);
    Put("short.bin", "a");
    int offset = 99;
    EXPECT_FALSE(TFile::AreEqual(Name("one.bin").c_str(), Name("two.bin").c_str(), &offset));
    EXPECT_EQ(offset, 150001);
    EXPECT_FALSE(TFile::AreEqual(Name("one.bin").c_str(), Name("short.bin").c_str(), &offset));
    EXPECT_EQ(offset, -1);
    EXPECT_FALSE(TFile::AreEqual(Name("one.bin").c_str(), Name("absent").c_str(), &offset));
    EXPECT_EQ(offset, -2);
    EXPECT_TRUE(TFile::AreEqual(Name("one.bin").c_str(), Name("ONE.bin").c_str(), &offset));
    EXPECT_EQ(offset, 0);
    Put("copy.bin", std::string(200000, 'a'));
    EXPECT_TRUE(TFile::AreEqual(Name("one.bin").c_str(), Name("copy.bin").c_str(), nullptr));
}

TEST_F(FileTest, AdjustSizeOfFileReopensAsAsked) {
    std::string data(100, 'd');
    TFile file(Name("adjust.bin").c_str(), 0x10 | 0x400 | 0x80000);
    file.Write(data.data(), 100);
    file.AdjustSizeOfFile(10, 0, 1);  // reopened with the flags it had, not creating
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.GetOpenFlags(), 0x400);
    EXPECT_EQ(file.GetSize(), 10);
    file.AdjustSizeOfFile(10, -1, 1);  // closed, and still there despite 0x400
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(Get("adjust.bin"), std::string(10, 'd'));

    // Unbuffered transfers are whole pages from page-aligned buffers.
    std::unique_ptr<char, decltype(&std::free)> page(
        static_cast<char*>(std::aligned_alloc(4096, 8192)), &std::free);
    std::memset(page.get(), 'u', 8192);
    TFile unbuffered(Name("direct.bin").c_str(), 0x10 | 0x1000000 | 0x20);
    unbuffered.Write(page.get(), 100);
    EXPECT_EQ(unbuffered.GetSize(), 4096);
    EXPECT_EQ(page.get()[100], 0);  // the rest of the page went out as zeros
    unbuffered.SeekStart();
    int32_t read = 0;
    unbuffered.ReadData(page.get(), 10, 1, &read);
    EXPECT_EQ(read, 4096);
    unbuffered.AdjustSizeOfFile(100, 0x2, 0);  // the size change forces the reopening
    ASSERT_TRUE(unbuffered.IsOpen());
    EXPECT_EQ(unbuffered.GetOpenFlags(), 0x2);
    EXPECT_EQ(unbuffered.GetSize(), 100);
    unbuffered.Close();
    EXPECT_EQ(Get("direct.bin"), std::string(100, 'u'));
}

TEST_F(FileTest, WritesLoopOverShortWritesAndMapDiskFull) {
    // A file-size limit makes the system write part of a block, then refuse the rest.
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    auto previous = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = {4096, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    std::string block(10000, 'q');
    TFile file(Name("limited.bin").c_str(), 0x10);
    file.Write(block.data(), 1000);
    auto failure = Catch([&] { file.Write(block.data(), 10000); });
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(failure.text, GetStaticString(18003));
    EXPECT_EQ(failure.code, 223u);
    EXPECT_EQ(file.GetPosition(), 4096);  // the part that reached the file counts
    EXPECT_EQ(file.GetSize(), 4096);

    for (int errorNumber : {ENOSPC, EDQUOT}) {
        cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Write, 1, errorNumber);
        auto full = Catch([&] { file.Write("abc", 3); });
        EXPECT_EQ(full.text, ErrorText(18019, "C:"));
        EXPECT_EQ(full.code, 112u);
    }
    cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Sync, 1, EIO);
    auto sync = Catch([&] { file.FlushBuffers(); });
    EXPECT_EQ(sync.text, GetStaticString(18003));
    EXPECT_EQ(sync.code, 1117u);
}

TEST_F(FileTest, LoadAndSaveWholeFiles) {
    std::string name = Name("whole.bin");
    TFile::SaveFile(name.c_str(), "first", 5);
    EXPECT_EQ(Get("whole.bin"), "first");
    fs::permissions(Path("whole.bin"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    TFile::SaveFile(name.c_str(), "second!", 7);
    EXPECT_EQ(Get("whole.bin"), "second!");
    EXPECT_EQ(fs::status(Path("whole.bin")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    uint32_t size = 0;
    void* loaded = TFile::LoadFile(name.c_str(), &size);
    EXPECT_EQ(std::string(static_cast<char*>(loaded), size), "second!");
    NH_Heap::FreeMem(loaded);
    char mine[16] = {};
    EXPECT_EQ(TFile::LoadFile(name.c_str(), &size, mine), mine);
    EXPECT_EQ(std::string(mine, size), "second!");
    auto missing = Catch([&] { TFile::LoadFile(Name("absent").c_str(), &size); });
    EXPECT_EQ(missing.text, ErrorText(18000, Name("absent")));

    // A link keeps pointing at the file that now holds the new contents.
    fs::create_symlink("whole.bin", Path("link.bin"));
    TFile::SaveFile(Name("link.bin").c_str(), "third", 5);
    EXPECT_TRUE(fs::is_symlink(Path("link.bin")));
    EXPECT_EQ(Get("whole.bin"), "third");

    TFile holder(name.c_str(), 0x2 | 0x100);
    auto held = Catch([&] { TFile::SaveFile(name.c_str(), "x", 1); });
    EXPECT_EQ(held.text, ErrorText(18025, name));
    EXPECT_EQ(held.code, 32u);
    holder.Close();
    EXPECT_EQ(Get("whole.bin"), "third");
}

TEST_F(FileTest, FailedSaveLeavesTheOldFileAndNoTemporary) {
    using Op = cvq::platform::EFailureSeam;
    struct Case {
        Op operation;
        int nth, errorNumber;
        std::string text;  // empty: the name-formatted creation error
        uint32_t code;
    } cases[] = {
        {Op::Open, 1, EACCES, "", 5},
        {Op::Open, 2, EMFILE, "", 4},
        {Op::Write, 1, ENOSPC, ErrorText(18019, "C:"), 112},
        {Op::Write, 1, EIO, GetStaticString(18003), 1117},
        {Op::Sync, 1, ENOSPC, ErrorText(18019, "C:"), 112},
        {Op::Sync, 1, EIO, GetStaticString(18003), 1117},
        {Op::Rename, 1, EXDEV, GetStaticString(18003), 17},
        {Op::Rename, 1, EROFS, GetStaticString(18003), 19},
    };
    std::string name = Name("keep.txt");
    Put("keep.txt", "old contents");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << int(c.operation) << "/" << c.nth << "/" << c.errorNumber);
        cvq::platform::FailNthOperation(c.operation, c.nth, c.errorNumber);
        auto caught = Catch([&] { TFile::SaveFile(name.c_str(), "new contents!", 13); });
        EXPECT_TRUE(caught.thrown);
        EXPECT_EQ(caught.text, c.text.empty() ? ErrorText(18016, name) : c.text);
        EXPECT_EQ(caught.code, c.code);
        EXPECT_EQ(Get("keep.txt"), "old contents");
        EXPECT_EQ(Entries(), 1u);  // no temporary left beside it
    }
    TFile::SaveFile(name.c_str(), "new contents!", 13);
    EXPECT_EQ(Get("keep.txt"), "new contents!");
    EXPECT_EQ(Entries(), 1u);
}

}  // namespace
