// TFile's checks before saving (CanWrite and its backups), module folders, drives and
// volumes, and keeping a copy's date no newer than its original.
#include <commonvcqx/files/File.h>
#include <commonvcqx/platform/MessageBoxHandler.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/internal/SharedModules.h>
#include <commonvcqx/platform/internal/Volumes.h>

#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using cvq::test::Catch;
using cvq::test::ErrorText;

namespace {

struct Box {
    std::string text;
    std::string caption;
    UINT type;
};

std::vector<Box> boxes;
int nextAnswer = IDOK;

int RecordBox(const char* text, const char* caption, UINT type) {
    boxes.push_back({text, caption, type});
    return nextAnswer;
}

constexpr UINT kOnTop = MB_TOPMOST | MB_SETFOREGROUND | MB_TASKMODAL;

LRESULT QuietWindow(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

class CanWriteTest : public cvq::test::ScratchFolder {
protected:
    void SetUp() override {
        boxes.clear();
        nextAnswer = IDOK;
        m_previous = SetMessageBoxHandler(&RecordBox);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &QuietWindow;
        windowClass.lpszClassName = "CanWriteOwner";
        RegisterClassA(&windowClass);
        m_window = CreateWindowExA(0, "CanWriteOwner", "Mixer", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, nullptr, nullptr);
        ASSERT_NE(m_window, nullptr);
    }
    void TearDown() override {
        DestroyWindow(m_window);
        UnregisterClassA("CanWriteOwner", nullptr);
        SetMessageBoxHandler(m_previous);
        ScratchFolder::TearDown();
    }
    char CanWrite(const std::string& leaf, char show, TFile::EBackupMode mode,
                  const char* extension) {
        return TFile::CanWrite(m_window, TString(Name(leaf).c_str()), show, mode, extension);
    }

    TMessageBoxHandler m_previous = nullptr;
    HWND m_window = nullptr;
};

}  // namespace

TEST_F(CanWriteTest, MissingOrFreeFilesMayBeWrittenWithoutAsking) {
    EXPECT_TRUE(CanWrite("new.wav", 1, TFile::kAskForBackup, "~"));
    Put("take.wav", "old");
    EXPECT_TRUE(CanWrite("take.wav", 1, TFile::kNoBackup, "~"));
    EXPECT_TRUE(CanWrite("take.wav", 1, TFile::kAskForBackup, nullptr));
    EXPECT_TRUE(CanWrite("take.wav", 1, TFile::kAskForBackup, ""));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(CanWriteTest, FileInUseIsReportedOrBackedUpByCopy) {
    Put("take.wav", "old");
    TFile holder(TString(Name("take.wav").c_str()), 0);

    EXPECT_FALSE(CanWrite("take.wav", 1, TFile::kMakeBackup, "~"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, ErrorText(18009));
    EXPECT_EQ(boxes[0].caption, "");
    EXPECT_EQ(boxes[0].type, kOnTop);
    EXPECT_FALSE(fs::exists(Path("take.~av")));

    // Silently: the file in use is copied, since it cannot be renamed away.
    EXPECT_TRUE(CanWrite("take.wav", 0, TFile::kNoBackup, "~"));
    EXPECT_TRUE(CanWrite("take.wav", 0, TFile::kMakeBackup, "~"));
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(Get("take.~av"), "old");
    EXPECT_EQ(Get("take.wav"), "old");
}

TEST_F(CanWriteTest, AnswersToTheBackupQuestion) {
    struct Case {
        int answer;
        bool result;
        bool backedUp;
    };
    for (Case c : {Case{IDNO, true, false}, Case{IDCANCEL, false, false}, Case{IDOK, false, false},
                   Case{IDYES, true, true}}) {
        SCOPED_TRACE(c.answer);
        boxes.clear();
        fs::remove(Path("take.~av"));
        Put("take.wav", "old");
        nextAnswer = c.answer;
        EXPECT_EQ(CanWrite("take.wav", 1, TFile::kAskForBackup, "~"), c.result);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, ErrorText(18010));
        EXPECT_EQ(boxes[0].caption, "Mixer");
        EXPECT_EQ(boxes[0].type, MB_YESNOCANCEL | kOnTop);
        EXPECT_EQ(fs::exists(Path("take.~av")), c.backedUp);
        EXPECT_EQ(fs::exists(Path("take.wav")), !c.backedUp);
        if (c.backedUp) {
            EXPECT_EQ(Get("take.~av"), "old");
        }
    }
}

TEST_F(CanWriteTest, BackupNamesReplaceAnOldBackup) {
    struct Case {
        const char* leaf;
        const char* extension;
        const char* backup;
    };
    for (Case c : {Case{"take.wav", "~", "take.~av"}, Case{"notes", "~", "notes.~"},
                   Case{"mix.x", "~", "mix.~"}, Case{"song.wav", "bak", "song.bak"},
                   Case{"song.wav", ".old", "song.old"}}) {
        SCOPED_TRACE(c.leaf);
        Put(c.leaf, "new contents");
        Put(c.backup, "stale backup");
        EXPECT_TRUE(CanWrite(c.leaf, 1, TFile::kMakeBackup, c.extension));
        EXPECT_EQ(Get(c.backup), "new contents");
        EXPECT_FALSE(fs::exists(Path(c.leaf)));
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(CanWriteTest, FailedBackupCancelsTheSave) {
    Put("take.wav", "old");
    fs::create_directory(Path("take.~av"));
    Put("take.~av/keep", "x");  // a folder in the way cannot be removed nor replaced
    EXPECT_FALSE(CanWrite("take.wav", 1, TFile::kMakeBackup, "~"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, ErrorText(18011));
    EXPECT_EQ(boxes[0].caption, "");
    EXPECT_EQ(boxes[0].type, kOnTop);
    EXPECT_EQ(Get("take.wav"), "old");

    // A file that is its own backup is kept, not deleted to make room for itself.
    for (const char* leaf : {"mix.~ix", "song.WAV"}) {
        SCOPED_TRACE(leaf);
        Put(leaf, "only copy");
        boxes.clear();
        EXPECT_FALSE(CanWrite(leaf, 1, TFile::kMakeBackup, leaf[0] == 'm' ? "~" : "wav"));
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, ErrorText(18011));
        EXPECT_EQ(Get(leaf), "only copy");
    }
}

TEST_F(CanWriteTest, CaptionIsTheWindowTitleCutTo500Characters) {
    std::string title(700, 'T');
    ASSERT_TRUE(SetWindowTextA(m_window, title.c_str()));
    Put("take.wav", "old");
    nextAnswer = IDNO;
    EXPECT_TRUE(CanWrite("take.wav", 1, TFile::kAskForBackup, "~"));
    // No window, or one that is gone: an empty caption.
    EXPECT_TRUE(
        TFile::CanWrite(nullptr, TString(Name("take.wav").c_str()), 1, TFile::kAskForBackup, "~"));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, std::string(500, 'T'));
    EXPECT_EQ(boxes[1].caption, "");
}

TEST(FileSystemTest, AppPathIsTheFolderOfTheModule) {
    EXPECT_EQ(std::string(TFile::GetAppPath(nullptr).c_str()),
              TFileName::GetApplicationPath().c_str());

    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&TFile::GetAppPath), &info), 0);
    std::string library = fs::canonical(info.dli_fname).string();
    void* module = cvq::platform::OpenSharedModule(library.c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(std::string(TFile::GetAppPath(reinterpret_cast<HMODULE>(module)).c_str()),
              FileNameFromNativePath(fs::path(library).parent_path().string()));
    cvq::platform::CloseSharedModule(module);

    int notAModule = 0;
    EXPECT_EQ(std::string(TFile::GetAppPath(reinterpret_cast<HMODULE>(&notAModule)).c_str()), "");
}

namespace {

class DrivesTest : public cvq::test::ScratchFolder {
protected:
    void TearDown() override {
        for (char letter : {'A', 'Q', 'R', 'S'}) UnmapDrive(letter);
        ScratchFolder::TearDown();
    }
};

// The file system type mounted last at `where`, "" when none.
std::string MountType(const std::string& where) {
    std::ifstream mounts("/proc/self/mounts");
    std::string source, point, type, rest, found;
    while (mounts >> source >> point >> type && std::getline(mounts, rest))
        if (point == where) found = type;
    return found;
}

}  // namespace

TEST_F(DrivesTest, DriveTypesFollowTheFileSystemOfTheRoot) {
    if (MountType("/dev/shm") != "tmpfs") GTEST_SKIP() << "no tmpfs at /dev/shm";
    ASSERT_TRUE(MapDrive('R', "/dev/shm"));
    ASSERT_TRUE(MapDrive('A', "/dev/shm"));  // A and B are floppies only when removable
    ASSERT_TRUE(MapDrive('S', Path("missing")));
    Put("file", "x");
    ASSERT_TRUE(MapDrive('Q', Path("file")));
    struct Case {
        const char* name;
        TFile::EDriveType type;
    };
    for (Case c :
         {Case{"R:\\", TFile::kDriveRamDisk}, Case{"R:\\anything\\below.txt", TFile::kDriveRamDisk},
          Case{"A:\\", TFile::kDriveRamDisk}, Case{"S:\\", TFile::kDriveNoRootDir},
          Case{"Q:\\", TFile::kDriveNoRootDir}, Case{"P:\\", TFile::kDriveNoRootDir}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TFile::GetDriveTypeA(TString(c.name)), c.type);
        EXPECT_FALSE(TFile::IsFastPhysicalDrive(TString(c.name)));
        EXPECT_FALSE(TFile::IsFloppyDrive(TString(c.name)));
        EXPECT_FALSE(TFile::IsCompressedVolume(TString(c.name)));
    }
    std::string rootType = MountType("/");
    TFile::EDriveType system = TFile::GetDriveTypeA(TString("C:\\"));
    if (rootType == "ext4" || rootType == "xfs" || rootType == "overlay") {
        EXPECT_EQ(system, TFile::kDriveFixed);
        EXPECT_TRUE(TFile::IsFastPhysicalDrive(TString("C:\\")));
    }
    EXPECT_NE(system, TFile::kDriveNoRootDir);
    // A native name lies on the drive whose root holds it.
    EXPECT_EQ(TFile::GetDriveTypeA(TString("/dev/shm")), TFile::kDriveRamDisk);
}

TEST_F(DrivesTest, MountTableGivesKindsLabelsAndCompression) {
    struct stat info {};
    ASSERT_EQ(::stat(Path().c_str(), &info), 0);
    std::string own = std::to_string(major(info.st_dev)) + ":" + std::to_string(minor(info.st_dev));
    // A label of the scratch folder's own file system comes before the mount's name.
    std::string ownLabel;
    if (int fd = ::open(Path().c_str(), O_RDONLY | O_DIRECTORY); fd >= 0) {
        char label[FSLABEL_MAX] = {};
        if (::ioctl(fd, FS_IOC_GETFSLABEL, label) == 0) ownLabel = label;
        ::close(fd);
    }
    for (const char* folder : {"net", "cd rom", "packed", "plain", "stacked"})
        fs::create_directory(Path(folder));
    std::ofstream(Path("mountinfo"))
        << "20 1 254:99 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
        << "31 20 0:50 / " << Path() << "/net rw,relatime shared:7 master:2 - nfs4 srv:/x rw\n"
        << "32 20 11:0 / " << Path() << "/cd\\040rom ro - iso9660 /dev/sr0 ro\n"
        << "33 20 0:51 / " << Path() << "/packed rw - tmpfs tmpfs rw\n"
        << "34 20 0:52 / " << Path() << "/packed rw - btrfs /dev/sdz rw,compress=zstd:3\n"
        << "garbage line\n";
    cvq::platform::SetMountTableFile(Path("mountinfo").c_str());
    struct Case {
        const char* folder;
        TFile::EDriveType type;
        const char* label;
        bool compressed;
    };
    for (Case c : {Case{"net", TFile::kDriveRemote, "net", false},
                   Case{"cd rom", TFile::kDriveCdRom, "cd rom", false},
                   Case{"packed", TFile::kDriveFixed, "packed", true},  // the later mount
                   Case{"plain", TFile::kDriveFixed, "", false}}) {
        SCOPED_TRACE(c.folder);
        ASSERT_TRUE(MapDrive('Q', Path(c.folder)));
        TString root("Q:\\");
        EXPECT_EQ(TFile::GetDriveTypeA(root), c.type);
        EXPECT_EQ(TFile::IsCompressedVolume(root), c.compressed);
        EXPECT_EQ(std::string(TFile::GetVolumeName(root).c_str()),
                  ownLabel.empty() ? c.label : ownLabel);
    }
    // A later mount over a shorter path hides the one below it; the folder's own
    // device tells which is visible.
    std::ofstream(Path("mountinfo"))
        << "35 20 0:53 / " << Path() << "/stacked rw - tmpfs tmpfs rw\n"
        << "36 20 " << own << " / " << Path() << " rw - nfs srv:/y rw\n";
    ASSERT_TRUE(MapDrive('Q', Path("stacked")));
    EXPECT_EQ(TFile::GetDriveTypeA(TString("Q:\\")), TFile::kDriveRemote);
    cvq::platform::SetMountTableFile(Path("missing").c_str());
    EXPECT_EQ(TFile::GetDriveTypeA(TString("Q:\\")), TFile::kDriveUnknown);
    cvq::platform::SetMountTableFile(nullptr);
}

TEST_F(DrivesTest, VolumeNamesAndTheirFailures) {
    if (MountType("/dev/shm") != "tmpfs") GTEST_SKIP() << "no tmpfs at /dev/shm";
    cvq::test::TScratchFolder below("cvq_files", "/dev/shm");
    ASSERT_TRUE(MapDrive('R', below.Path()));
    // tmpfs has no label of its own: the mount point names it.
    EXPECT_EQ(std::string(TFile::GetVolumeName(TString("R:\\take.wav")).c_str()), "shm");
    EXPECT_NO_THROW(TFile::GetVolumeName(TString("C:\\")));

    auto unmapped = Catch([] { TFile::GetVolumeName(TString("P:\\")); });
    EXPECT_TRUE(unmapped.thrown);
    EXPECT_EQ(unmapped.text, ErrorText(18014));
    EXPECT_EQ(unmapped.code, ERROR_INVALID_DRIVE);
    ASSERT_TRUE(MapDrive('S', Path("missing")));
    auto missing = Catch([] { TFile::GetVolumeName(TString("S:\\")); });
    EXPECT_TRUE(missing.thrown);
    EXPECT_EQ(missing.code, ERROR_FILE_NOT_FOUND);

    // Never reported done when the label did not change.
    EXPECT_NO_THROW(TFile::SetVolumeName(TString("R:\\"), "shm"));
    auto refused = Catch([] { TFile::SetVolumeName(TString("R:\\"), "Takes"); });
    EXPECT_TRUE(refused.thrown);
    EXPECT_EQ(refused.text, ErrorText(18015));
    EXPECT_TRUE(refused.code == ERROR_NOT_SUPPORTED || refused.code == ERROR_ACCESS_DENIED)
        << refused.code;
    EXPECT_EQ(std::string(TFile::GetVolumeName(TString("R:\\")).c_str()), "shm");
    auto nowhere = Catch([] { TFile::SetVolumeName(TString("P:\\"), "x"); });
    EXPECT_TRUE(nowhere.thrown);
    EXPECT_EQ(nowhere.text, ErrorText(18015));
}

TEST_F(DrivesTest, SecondFileGetsTheFirstsDateWhenItIsNewer) {
    Put("original", "a");
    Put("copy", "b");
    // Whole seconds: the library keeps times in 100 ns steps.
    auto now = std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now());
    auto setTimes = [&](std::chrono::seconds original, std::chrono::seconds copy) {
        fs::last_write_time(Path("original"), now + original);
        fs::last_write_time(Path("copy"), now + copy);
    };
    TString original(Name("original").c_str()), copy(Name("copy").c_str());

    setTimes(-std::chrono::hours(2), -std::chrono::hours(1));
    EXPECT_TRUE(TFile::EnsureDateEqualOrNewer(original, copy, 0));
    EXPECT_EQ(fs::last_write_time(Path("copy")), fs::last_write_time(Path("original")));

    setTimes(-std::chrono::hours(1), -std::chrono::hours(3));
    auto older = fs::last_write_time(Path("copy"));
    EXPECT_TRUE(TFile::EnsureDateEqualOrNewer(original, copy, 0));
    EXPECT_EQ(fs::last_write_time(Path("copy")), older);

    TString missing(Name("missing").c_str());
    EXPECT_FALSE(TFile::EnsureDateEqualOrNewer(missing, copy, 0));
    EXPECT_FALSE(TFile::EnsureDateEqualOrNewer(original, missing, 0));
}
