// TFile's file-system operations on names, over the platform file layer. Failures
// become TExceptions with a file error text, or results where the caller asked so.
#include <commonvcqx/files/File.h>
#include <commonvcqx/files/MemoryMappedFile.h>

#include <commonvcqx/files/internal/FileErrors.h>
#include <commonvcqx/files/internal/FileFolders.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/FileFlags.h>
#include <commonvcqx/platform/MessageBoxHandler.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/internal/ExecutableFile.h>
#include <commonvcqx/platform/internal/Files.h>
#include <commonvcqx/platform/internal/Volumes.h>
#include <commonvcqx/text/StaticStrings.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

namespace pf = cvq::platform;
namespace attribute = cvq::file_attributes;

using namespace cvq::open_flags;
using cvq::detail::DriveOf;
using cvq::detail::IsDiskFull;
using cvq::detail::ThrowFileError;
using cvq::detail::ThrowNotEnoughDiskSpace;

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// Boxes of CanWrite stay above everything: the user must answer before saving goes on.
constexpr UINT kBoxStyle = MB_TOPMOST | MB_SETFOREGROUND | MB_TASKMODAL;
constexpr int kMaxCaption = 500;
constexpr size_t kMaxVolumeLabel = 99;

// `name` with its extension replaced: "~" turns the file's own extension "wav" into
// "~av" ("~" when it has none); any other text is the new extension.
std::string BackupName(const std::string& name, const char* backupExtension) {
    size_t separator = name.find_last_of("\\/");
    size_t dot = name.find_last_of('.');
    bool hasExtension =
        dot != std::string::npos && (separator == std::string::npos || dot > separator);
    std::string extension = backupExtension[0] == '.' ? backupExtension + 1 : backupExtension;
    if (extension == "~" && hasExtension && dot + 1 < name.size())
        extension += name.substr(dot + 2);
    return (hasExtension ? name.substr(0, dot) : name) + "." + extension;
}

// The root ("C:\\") of the drive a name lies on; "" when it has none.
std::string RootOf(const TFileName& name) {
    std::string drive = DriveOf(name.c_str());
    return drive.empty() ? drive : drive + "\\";
}

}  // namespace

char TFile::Exist(const TFileName& name, EType type) {
    if (name.GetLength() == 0) return 0;
    DWORD error = 0;
    int32_t attributes = pf::GetFileAttributes(name.c_str(), error);
    if (attributes == -1) return error == ERROR_ACCESS_DENIED;
    bool directory = attributes & attribute::kDirectory;
    return type == kFile ? !directory : type == kDirectory ? directory : 1;
}

int32_t TFile::GetSize(const TFileName& name) {
    DWORD error = 0;
    pf::FileHandle* file = pf::OpenFile(name.c_str(), kQueryOnly | kShareAll, error);
    int64_t size = file ? pf::GetFileSize(file, error) : -1;
    DWORD ignored = 0;
    pf::CloseFile(file, ignored);
    if (size < 0) ThrowFileError(18000, name.c_str(), error);
    return static_cast<int32_t>(static_cast<uint32_t>(size));
}

char TFile::Delete(const TFileName& name, char throwOnError, char force) {
    DWORD error = 0;
    if (pf::GetFileAttributes(name.c_str(), error) == -1 &&
        (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))
        return 1;
    if (pf::DeleteFile(name.c_str(), error)) return 1;
    if (force) {
        DWORD ignored = 0;
        int32_t attributes = pf::GetFileAttributes(name.c_str(), ignored);
        if (attributes != -1 && (attributes & attribute::kReadOnly) &&
            pf::SetFileAttributes(name.c_str(), attributes & ~attribute::kReadOnly, ignored) &&
            pf::DeleteFile(name.c_str(), error))
            return 1;
    }
    if (throwOnError) ThrowFileError(18001, error);
    return 0;
}

void TFile::Rename(const TFileName& oldName, const TFileName& newName) {
    DWORD error = 0;
    if (!pf::RenameFile(oldName.c_str(), newName.c_str(), false, error))
        ThrowFileError(18013, error);
}

TFileName TFile::GetTempName(const TFileName& directory) {
    std::string folder = directory.c_str();
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    if (!Exist(TString(folder.c_str()), kDirectory)) ThrowFileError(18008, ERROR_PATH_NOT_FOUND);
    for (uint32_t n = 0;; ++n) {
        TString candidate((folder + "\\XX" + std::to_string(n) + ".$$$").c_str());
        if (!Exist(candidate, kFile)) return candidate;
    }
}

int32_t TFile::GetAttributes(const TFileName& name) {
    DWORD error = 0;
    return pf::GetFileAttributes(name.c_str(), error);
}

char TFile::SetAttributes(const TFileName& name, int32_t attributes, char throwOnError) {
    DWORD error = 0;
    if (pf::SetFileAttributes(name.c_str(), attributes, error)) return 1;
    if (throwOnError) ThrowFileError(18017, error);
    return 0;
}

char TFile::IsWriteProtected(const TFileName& name) {
    int32_t attributes = GetAttributes(name);
    return attributes != -1 && (attributes & attribute::kReadOnly);
}

void* TFile::LoadFile(const TFileName& name, uint32_t* size, void* buffer) {
    uint32_t bytes = static_cast<uint32_t>(GetSize(name));
    TFile file(name, kReadAccess | kShareAll);
    if (static_cast<int32_t>(bytes) < 0) ThrowFileError(18002, name.c_str(), ERROR_FILE_TOO_LARGE);
    bool allocated = buffer == nullptr;
    if (allocated) {
        buffer = NH_Heap::Default().AllocMem(bytes ? bytes : 1);
        if (!buffer) ThrowFileError(18002, ERROR_NOT_ENOUGH_MEMORY);
    }
    try {
        file.ReadSecure(buffer, static_cast<int32_t>(bytes), 1);
    } catch (...) {
        if (allocated) NH_Heap::FreeMem(buffer);
        throw;
    }
    if (size) *size = bytes;
    return buffer;
}

void TFile::SaveFile(const TFileName& name, const void* data, uint32_t count) {
    DWORD error = 0;
    pf::EReplaceStage stage = pf::EReplaceStage::None;
    if (pf::ReplaceFileContents(name.c_str(), data, count, error, stage)) return;
    if (stage == pf::EReplaceStage::Open)
        ThrowFileError(error == ERROR_SHARING_VIOLATION ? 18025 : 18016, name.c_str(), error);
    if (IsDiskFull(error)) ThrowNotEnoughDiskSpace(name.c_str(), error);
    ThrowFileError(18003, error);
}

void TFile::Copy(const TFileName& destination, const TFileName& source) {
    DWORD error = 0;
    if (pf::CopyFile(source.c_str(), destination.c_str(), error)) return;
    if (IsDiskFull(error)) ThrowNotEnoughDiskSpace(destination.c_str(), error);
    ThrowFileError(18006, error);
}

void TFile::CopyEx(const TFileName& destination, const TFileName& source) {
    std::string folder = destination.c_str();
    size_t slash = folder.find_last_of("\\/");
    if (slash != std::string::npos && slash > 0)
        EnsureDirectory(TString(folder.substr(0, slash).c_str()));
    Copy(destination, source);
}

void TFile::Move(const TFileName& destination, const TFileName& source) {
    Delete(destination, 0, 1);
    DWORD error = 0;
    if (pf::RenameFile(source.c_str(), destination.c_str(), false, error)) return;
    // Across drives a move is a copy and a removal of the original.
    if (error == ERROR_NOT_SAME_DEVICE &&
        pf::CopyFile(source.c_str(), destination.c_str(), error)) {
        if (pf::DeleteFile(source.c_str(), error)) return;
    }
    if (IsDiskFull(error)) ThrowNotEnoughDiskSpace(destination.c_str(), error);
    ThrowFileError(18007, error);
}

void TFile::EnsureDirectory(const TFileName& path) {
    std::string text = path.c_str();
    if (!text.empty() && text[0] == '/') text = FileNameFromNativePath(text);
    while (!text.empty() && (text.back() == '\\' || text.back() == '/')) text.pop_back();
    if (text.size() < 2 || text[1] != ':' || GetDriveRoot(text[0]).empty())
        ThrowFileError(18018, ERROR_INVALID_DRIVE);
    for (size_t at = 2; at < text.size();) {
        size_t next = text.find('\\', at + 1);
        if (next == std::string::npos) next = text.size();
        if (next > at + 1) {  // skip empty components ("C:\\a\\\\b")
            std::string prefix = text.substr(0, next);
            DWORD error = 0;
            int32_t attributes = pf::GetFileAttributes(prefix, error);
            if (attributes != -1) {
                if (!(attributes & attribute::kDirectory))
                    ThrowFileError(18018, ERROR_ALREADY_EXISTS);
            } else if (!pf::CreateDirectory(prefix, error) && error != ERROR_ALREADY_EXISTS) {
                ThrowFileError(18018, error);
            }
        }
        at = next;
    }
}

char TFile::IsWritableDirectory(const TFileName& directory) {
    if (directory.GetLength() == 0) return 0;
    try {
        TFile probe;
        return probe.Open(directory, kTempInDirectory | kSystemDeletes | kNoThrow);
    } catch (const TException&) {
        return 0;  // no such folder
    }
}

char TFile::GetDateTime(const TFileName& name, FILETIME* creation, FILETIME* access,
                        FILETIME* write) {
    TFile file;
    for (FILETIME* out : {creation, access, write})
        if (out) *out = FILETIME{0, 0};
    return file.Open(name, kQueryOnly | kShareAll | kNoThrow) &&
           file.GetDateTime(creation, access, write);
}

char TFile::SetDateTime(const TFileName& name, const FILETIME* creation, const FILETIME* access,
                        const FILETIME* write) {
    TFile file;
    return file.Open(name, kWriteAccess | kShareAll | kNoThrow) &&
           file.SetDateTime(creation, access, write);
}

char TFile::ExistDrive(const TFileName& name) {
    std::string drive = DriveOf(name.c_str());
    return !drive.empty() && !GetDriveRoot(drive[0]).empty() &&
           Exist(TString((drive + "\\").c_str()), kDirectory);
}

double TFile::GetDiskSpace(int drive, double* total) {
    if (total) *total = 0;
    if (drive < 0 || drive >= 26) return 0;
    char root[] = {static_cast<char>('A' + drive), ':', '\\', '\0'};
    double available = 0, size = 0;
    DWORD error = 0;
    if (GetDriveRoot(root[0]).empty() || !pf::GetDiskSpace(root, available, size, error)) return 0;
    if (total) *total = size;
    return available;
}

void TFile::CheckDiskSpace(const TFileName& name, double bytes) {
    const int drive = cvq::detail::DriveIndexOf(name.c_str());
    if (drive >= 0 && GetDiskSpace(drive) < bytes)
        cvq::detail::ThrowNotEnoughDiskSpace(name.c_str(), ERROR_DISK_FULL);
}

TFileName TFile::GetNonExistingName(const TFileName& directory, const TFileName& name,
                                    char separator) {
    if (!Exist(directory, kDirectory)) return TString("");
    std::string title = name.c_str();
    std::string extension;
    size_t dot = title.find_last_of('.');
    size_t slash = title.find_last_of('\\');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        extension = title.substr(dot);
        title.erase(dot);
    }
    size_t cut = title.find(separator);
    if (cut != std::string::npos && cut != 0) title.erase(cut);
    std::string folder = directory.c_str();
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    for (uint32_t n = 1;; ++n) {
        TString candidate((folder + title + separator + std::to_string(n) + extension).c_str());
        if (!Exist(candidate, kAnything)) return candidate;
    }
}

char TFile::AreEqual(const TFileName& first, const TFileName& second, int* offset) {
    int where = 0;
    char equal = 0;
    try {
        if (SameIgnoringCase(first.c_str(), second.c_str()) && Exist(first, kFile)) {
            equal = 1;
        } else if (GetSize(first) != GetSize(second)) {
            where = -1;
        } else {
            TFile one(first, kReadAccess | kShareAll);
            TFile two(second, kReadAccess | kShareAll);
            equal = 1;
            if (one.GetSize() != 0 || two.GetSize() != 0) {  // empty files map nothing
                TMemoryMappedFile a(one, 1, 0);
                TMemoryMappedFile b(two, 1, 0);
                if (a.GetSize() != b.GetSize()) {  // changed since the sizes were read
                    equal = 0;
                    where = -1;
                } else {
                    const auto* p = static_cast<const unsigned char*>(a.GetStart());
                    const auto* q = static_cast<const unsigned char*>(b.GetStart());
                    const unsigned char* at = std::mismatch(p, p + a.GetSize(), q).first;
                    if (at != p + a.GetSize()) {
                        equal = 0;
                        where = static_cast<int>(at - p);
                    }
                }
            }
        }
    } catch (const TException&) {
        equal = 0;
        where = -2;
    }
    if (offset) *offset = where;
    return equal;
}

char TFile::GetDateTime(const TFileName& name, unsigned short* dosDate, unsigned short* dosTime) {
    *dosDate = 0;
    *dosTime = 0;
    TFile file;
    return file.Open(name, kReadAccess | kShareAll | kNoThrow) &&
           file.GetDateTime(dosDate, dosTime);
}

char TFile::CanWrite(HWND window, const TFileName& name, char showMessage, EBackupMode mode,
                     const char* backupExtension) {
    if (!Exist(name)) return 1;
    bool inUse = false;
    {
        TFile probe;
        if (!probe.Open(name, kReadAccess | kExclusive | kNoThrow)) {
            if (showMessage) {
                ShowMessageBox(GetStaticString(18009), nullptr, kBoxStyle);
                return 0;
            }
            inUse = true;
        }
    }
    if (!backupExtension || !backupExtension[0] || mode == kNoBackup) return 1;
    if (mode == kAskForBackup) {
        char caption[kMaxCaption + 1] = {};
        GetWindowTextA(window, caption, sizeof caption);
        int answer = ShowMessageBox(GetStaticString(18010), caption, MB_YESNOCANCEL | kBoxStyle);
        if (answer == IDNO) return 1;
        if (answer != IDYES) return 0;  // Cancel, or a box closed without an answer
    }
    try {
        TFileName backup(TString(BackupName(name.c_str(), backupExtension).c_str()));
        // A file that already bears the backup extension would be deleted as its own
        // backup: refuse, as for any backup that cannot be made.
        if (SameIgnoringCase(backup.c_str(), name.c_str()))
            ThrowFileError(18013, ERROR_ALREADY_EXISTS);
        if (inUse) {
            Copy(backup, name);
        } else {
            Delete(backup, 0, 1);
            Rename(name, backup);
        }
    } catch (const TException&) {
        ShowMessageBox(GetStaticString(18011), nullptr, kBoxStyle);
        return 0;
    }
    return 1;
}

TFileName TFile::GetAppPath(HMODULE module) {
    return cvq::detail::FolderOfFile(pf::ModuleFileName(module));
}

TString TFile::GetVolumeName(const TFileName& name) {
    std::string root = RootOf(name);
    std::string label;
    DWORD error = ERROR_INVALID_DRIVE;
    if (root.empty() || !pf::GetVolumeLabel(root, label, error)) ThrowFileError(18014, error);
    if (label.size() > kMaxVolumeLabel) label.resize(kMaxVolumeLabel);
    return TString(label.c_str());
}

void TFile::SetVolumeName(const TFileName& name, const char* label) {
    std::string root = RootOf(name);
    DWORD error = ERROR_INVALID_DRIVE;
    if (root.empty() || !pf::SetVolumeLabel(root, label ? label : "", error))
        ThrowFileError(18015, error);
}

char TFile::IsCompressedVolume(const TFileName& name) {
    std::string root = RootOf(name);
    return !root.empty() && pf::IsCompressedVolume(root);
}

TFile::EDriveType TFile::GetDriveTypeA(const TFileName& name) {
    std::string root = RootOf(name);
    if (root.empty()) return kDriveNoRootDir;
    const EDriveType kind = pf::GetDriveKind(root);
    if (kind == kDriveRemovable) {
        char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
        if (letter == 'A' || letter == 'B' || IsFloppyDrive(name)) return kDriveFloppy;
    }
    return kind;
}

char TFile::IsFloppyDrive(const TFileName& name) {
    std::string root = RootOf(name);
    return !root.empty() && pf::IsFloppyDevice(root);
}

char TFile::IsFastPhysicalDrive(const TFileName& name) {
    EDriveType type = GetDriveTypeA(name);
    return type == kDriveRemovable || type == kDriveFixed;
}

char TFile::EnsureDateEqualOrNewer(const TFileName& first, const TFileName& second, int32_t) {
    FILETIME firstWrite{}, secondWrite{};
    if (!GetDateTime(first, nullptr, nullptr, &firstWrite) ||
        !GetDateTime(second, nullptr, nullptr, &secondWrite))
        return 0;
    auto ticks = [](const FILETIME& time) {
        return (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    if (ticks(secondWrite) <= ticks(firstWrite)) return 1;
    return SetDateTime(second, &firstWrite, &firstWrite, &firstWrite);
}
