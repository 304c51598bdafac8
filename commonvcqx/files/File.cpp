// TFile: open flags, transfers and the file-system operations on names, over the
// platform file layer. Every failure becomes a TException with a file error text.
#include <commonvcqx/files/File.h>

#include <commonvcqx/files/internal/DiskErrors.h>
#include <commonvcqx/frame/ExceptionThrower.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/internal/Files.h>
#include <commonvcqx/platform/internal/VirtualMemory.h>
#include <commonvcqx/text/StaticStrings.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>

namespace pf = cvq::platform;

TFileObject::~TFileObject() = default;

namespace {

constexpr int kQueryOnly = 0x1, kReadAccess = 0x2, kWriteAccess = 0x4;
constexpr int kCreate = 0x10, kShareRead = 0x20, kShareAll = 0x80;
constexpr int kSystemDeletes = 0x200, kLibraryDeletes = 0x400, kTempInDirectory = 0x800;
constexpr int kKeepReadOnly = 0x1000, kOwnLock = 0x2000, kReadCache = 0x8000;
constexpr int kNoThrow = 0x40000, kKeepWrittenSize = 0x80000, kUnbuffered = 0x1000000;
constexpr int kAccessBits = 0xF;

constexpr uint32_t kHandleDiskFull = 39;

// The text of error `id` with its "%s" replaced by `argument` (the table may have been
// replaced by the application, so a text without "%s" is used as it is).
TString FormatFileError(int id, const char* argument) {
    std::string text = GetStaticString(id);
    size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, argument);
    return TString(text.c_str());
}

[[noreturn]] void ThrowWithName(int id, const char* name, uint32_t code) {
    TExceptionThrower().SetAndThrow(FormatFileError(id, name), code);
    throw;  // not reached: a plain thrower always throws
}

[[noreturn]] void ThrowId(int id, uint32_t code) {
    TExceptionThrower().SetAndThrow(TResMess(id), code);
    throw;
}

// "C:" for the drive a name lies on; native names are looked up in the drive table.
std::string DriveOf(const char* name) {
    std::string text = name;
    if (!text.empty() && text[0] == '/') text = FileNameFromNativePath(text);
    if (text.size() < 2 || text[1] != ':') text = pf::CurrentDirectoryName();
    return text.size() >= 2 && text[1] == ':' ? text.substr(0, 2) : std::string();
}

bool IsDiskFull(uint32_t code) {
    return code == ERROR_DISK_FULL || code == kHandleDiskFull;
}

[[noreturn]] void ThrowDiskFull(const char* name, uint32_t code) {
    ThrowWithName(18019, DriveOf(name).c_str(), code);
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

int cvq::detail::DriveIndexOf(const char* name) {
    std::string drive = DriveOf(name ? name : "");
    if (drive.empty()) return -1;
    int letter = std::toupper(static_cast<unsigned char>(drive[0]));
    return letter >= 'A' && letter <= 'Z' ? letter - 'A' : -1;
}

void cvq::detail::ThrowNotEnoughDiskSpace(const char* name, uint32_t code) {
    ThrowDiskFull(name ? name : "", code);
}

TFile::TFile(const TFileName& name, int flags) {
    Open(name, flags);
}

TFile::~TFile() {
    try {
        Close();
    } catch (...) {
        // A destructor cannot report; callers who care close explicitly.
    }
}

char TFile::Open(const TFileName& name, int flags) {
    if (m_handle) {
        // An open file would otherwise keep its handle and sharing lock for good.
        try {
            Close();
        } catch (const TException&) {
        }
    }
    if (flags & kReadCache) flags |= kOwnLock;
    m_flags = flags;
    m_position = 0;
    m_writtenSize = 0;
    if (flags & kTempInDirectory) {
        m_flags |= kCreate;
        m_name = GetTempName(name);
    } else {
        m_name = name;
    }
    if ((m_flags & kKeepReadOnly) && Exist(m_name, kFile)) {
        int32_t attributes = GetAttributes(m_name);
        if (attributes != -1 && (attributes & 0x2)) SetAttributes(m_name, attributes & ~0x2, 0);
    }
    DWORD error = 0;
    m_handle = pf::OpenFile(m_name.c_str(), static_cast<uint32_t>(m_flags), error);
    if (m_handle) return 1;
    if (m_flags & kNoThrow) return 0;
    int id = error == ERROR_SHARING_VIOLATION ? 18025 : (m_flags & kCreate) ? 18016 : 18000;
    ThrowWithName(id, m_name.c_str(), error);
}

void TFile::CloseHandleOnly(uint32_t& error) {
    DWORD closeError = 0;
    if (!pf::CloseFile(m_handle, closeError) && error == 0) error = closeError;
    m_handle = nullptr;
}

void TFile::Close() {
    if (!m_handle) return;
    uint32_t error = 0;
    DWORD ignored = 0;
    if (m_flags & (kSystemDeletes | kLibraryDeletes))
        pf::TruncateFile(m_handle, 0, ignored);  // nothing to flush for a file going away
    CloseHandleOnly(error);
    if (m_flags & kLibraryDeletes) Delete(m_name, 0, 1);
    if (m_flags & kKeepReadOnly) {
        int32_t attributes = GetAttributes(m_name);
        if (attributes != -1) SetAttributes(m_name, attributes | 0x2, 0);
    }
    NotifyFileClosed();
    int32_t written = m_writtenSize;
    m_writtenSize = 0;
    if ((m_flags & kKeepWrittenSize) && written > 0) {
        try {
            TFile again;
            if (again.Open(m_name, kWriteAccess | kShareRead | kNoThrow) &&
                again.GetSize() != written)
                again.SetSize(written);
        } catch (...) {
            // Cutting back is a courtesy; the data written stays either way.
        }
    }
    if (error != 0 && !(m_flags & (kSystemDeletes | kLibraryDeletes))) ThrowWriteError(error);
}

void TFile::NotifyFileClosed() {
    // The file-close publisher is wired in here once the event subsystem provides it.
}

void TFile::ThrowWriteError(uint32_t code) const {
    if (IsDiskFull(code)) ThrowDiskFull(m_name.c_str(), code);
    ThrowId(18003, code);
}

int32_t TFile::GetSize() const {
    if (!m_handle) ThrowId(18000, ERROR_INVALID_HANDLE);
    DWORD error = 0;
    int64_t size = pf::GetFileSize(m_handle, error);
    if (size < 0) ThrowWithName(18002, m_name.c_str(), error);
    return static_cast<int32_t>(static_cast<uint32_t>(size));
}

int32_t TFile::Seek(int32_t offset, ESeekOrigin origin, char throwOnError) {
    DWORD error = ERROR_INVALID_HANDLE;
    int64_t position = m_handle ? pf::SeekFile(m_handle, offset, origin, error) : -1;
    if (position < 0 || position > INT32_MAX) {
        if (position > INT32_MAX) error = ERROR_INVALID_PARAMETER;
        if (throwOnError) ThrowId(18004, error);
        return -1;
    }
    m_position = static_cast<int32_t>(position);
    return m_position;
}

void TFile::SetSize(int32_t size) {
    DWORD error = ERROR_INVALID_HANDLE;
    bool ok = m_handle && size >= 0 && pf::TruncateFile(m_handle, size, error);
    if (m_handle && size < 0) error = ERROR_NEGATIVE_SEEK;
    if (ok && GetSize() != size) {
        ok = false;
        error = ERROR_GEN_FAILURE;
    }
    if (!ok) {
        if (IsDiskFull(error)) ThrowDiskFull(m_name.c_str(), error);
        ThrowId(18005, error);
    }
    Seek(size, kFromStart, 1);
    if (m_flags & kKeepWrittenSize) m_writtenSize = size;
}

char TFile::ReadData(void* buffer, int32_t count, char throwOnError, int32_t* read) {
    if (read) *read = count < 0 ? -1 : 0;
    DWORD error = ERROR_INVALID_HANDLE;
    size_t done = 0;
    size_t wanted = count < 0 ? 0 : static_cast<size_t>(count);
    if (m_flags & kUnbuffered)  // whole pages; the caller's buffer holds them
        wanted = (wanted + pf::PageSize() - 1) / pf::PageSize() * pf::PageSize();
    bool ok = m_handle && count >= 0 && pf::ReadFile(m_handle, buffer, wanted, done, error);
    if (m_handle && count < 0) error = ERROR_INVALID_PARAMETER;
    if (!ok) {
        if (throwOnError) ThrowWithName(18002, m_name.c_str(), error);
        return 0;
    }
    m_position += static_cast<int32_t>(done);
    if (read) *read = static_cast<int32_t>(done);
    return 1;
}

char TFile::ReadSecure(void* buffer, int32_t count, char throwOnError) {
    int32_t read = 0;
    if (!ReadData(buffer, count, throwOnError, &read)) return 0;
    if (read == count) return 1;
    if (throwOnError) ThrowWithName(18002, m_name.c_str(), ERROR_HANDLE_EOF);
    return 0;
}

TString TFile::ReadLine() {
    std::string line;
    char c = 0;
    int32_t read = 0;
    while (ReadData(&c, 1, 1, &read) && read == 1) {
        if (c == '\0' || c == '\n') break;
        if (c == '\r') {
            if (ReadData(&c, 1, 1, &read) && read == 1 && c != '\n') Seek(-1, kFromCurrent, 1);
            break;
        }
        line += c;
    }
    return TString(line.c_str());
}

void TFile::Write(const void* data, uint32_t count, char) {
    if (count == 0) return;
    DWORD error = ERROR_INVALID_HANDLE;
    size_t done = 0;
    size_t total = count;
    if (m_flags & kUnbuffered) {
        // Unbuffered transfers are whole pages: the caller's buffer holds the rounded
        // size, and the bytes past the data are zeroed there.
        total = (total + pf::PageSize() - 1) / pf::PageSize() * pf::PageSize();
        std::memset(static_cast<char*>(const_cast<void*>(data)) + count, 0, total - count);
    }
    bool ok = m_handle && pf::WriteFile(m_handle, data, total, done, error);
    if ((m_flags & kKeepWrittenSize) && m_position + static_cast<int64_t>(done) > m_writtenSize)
        m_writtenSize = static_cast<int32_t>(m_position + static_cast<int64_t>(done));
    m_position += static_cast<int32_t>(done);
    if (!ok) ThrowWriteError(error);
}

void TFile::WriteString(const char* text, char withNul) {
    size_t length = std::char_traits<char>::length(text);
    Write(text, static_cast<uint32_t>(length + (withNul ? 1 : 0)), 0);
}

void TFile::WriteLine(const char* text, char first, char second) {
    Write(text, static_cast<uint32_t>(std::char_traits<char>::length(text)), 0);
    Write(first);
    if (static_cast<unsigned char>(second) != 0xFF) Write(second);
}

void TFile::FlushBuffers() {
    DWORD error = ERROR_INVALID_HANDLE;
    if (!m_handle || !pf::SyncFile(m_handle, error)) ThrowWriteError(error);
}

char TFile::GetDateTime(FILETIME* creation, FILETIME* access, FILETIME* write) const {
    for (FILETIME* out : {creation, access, write})
        if (out) *out = FILETIME{0, 0};
    DWORD error = 0;
    return m_handle && pf::GetFileTimes(m_handle, creation, access, write, error);
}

char TFile::SetDateTime(const FILETIME* creation, const FILETIME* access, const FILETIME* write) {
    DWORD error = 0;
    return m_handle && pf::SetFileTimes(m_handle, creation, access, write, error);
}

char TFile::Exist(const TFileName& name, EType type) {
    if (name.GetLength() == 0) return 0;
    DWORD error = 0;
    int32_t attributes = pf::GetFileAttributes(name.c_str(), error);
    if (attributes == -1) return error == ERROR_ACCESS_DENIED;
    bool directory = attributes & 0x10;
    return type == kFile ? !directory : type == kDirectory ? directory : 1;
}

int32_t TFile::GetSize(const TFileName& name) {
    DWORD error = 0;
    pf::FileHandle* file = pf::OpenFile(name.c_str(), kQueryOnly | kShareAll, error);
    int64_t size = file ? pf::GetFileSize(file, error) : -1;
    DWORD ignored = 0;
    pf::CloseFile(file, ignored);
    if (size < 0) ThrowWithName(18000, name.c_str(), error);
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
        if (attributes != -1 && (attributes & 0x2) &&
            pf::SetFileAttributes(name.c_str(), attributes & ~0x2, ignored) &&
            pf::DeleteFile(name.c_str(), error))
            return 1;
    }
    if (throwOnError) ThrowId(18001, error);
    return 0;
}

void TFile::Rename(const TFileName& oldName, const TFileName& newName) {
    DWORD error = 0;
    if (!pf::RenameFile(oldName.c_str(), newName.c_str(), false, error)) ThrowId(18013, error);
}

TFileName TFile::GetTempName(const TFileName& directory) {
    std::string folder = directory.c_str();
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    if (!Exist(TString(folder.c_str()), kDirectory)) ThrowId(18008, ERROR_PATH_NOT_FOUND);
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
    if (throwOnError) ThrowId(18017, error);
    return 0;
}

char TFile::IsWriteProtected(const TFileName& name) {
    int32_t attributes = GetAttributes(name);
    return attributes != -1 && (attributes & 0x2);
}

void* TFile::LoadFile(const TFileName& name, uint32_t* size, void* buffer) {
    uint32_t bytes = static_cast<uint32_t>(GetSize(name));
    TFile file(name, kReadAccess | kShareAll);
    if (static_cast<int32_t>(bytes) < 0) ThrowWithName(18002, name.c_str(), ERROR_FILE_TOO_LARGE);
    bool allocated = buffer == nullptr;
    if (allocated) {
        buffer = NH_Heap::Default().AllocMem(bytes ? bytes : 1);
        if (!buffer) ThrowId(18002, ERROR_NOT_ENOUGH_MEMORY);
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
    pf::ReplaceStage stage = pf::ReplaceStage::None;
    if (pf::ReplaceFileContents(name.c_str(), data, count, error, stage)) return;
    if (stage == pf::ReplaceStage::Open)
        ThrowWithName(error == ERROR_SHARING_VIOLATION ? 18025 : 18016, name.c_str(), error);
    if (IsDiskFull(error)) ThrowDiskFull(name.c_str(), error);
    ThrowId(18003, error);
}

void TFile::Copy(const TFileName& destination, const TFileName& source) {
    DWORD error = 0;
    if (pf::CopyFile(source.c_str(), destination.c_str(), error)) return;
    if (IsDiskFull(error)) ThrowDiskFull(destination.c_str(), error);
    ThrowId(18006, error);
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
    if (IsDiskFull(error)) ThrowDiskFull(destination.c_str(), error);
    ThrowId(18007, error);
}

void TFile::EnsureDirectory(const TFileName& path) {
    std::string text = path.c_str();
    if (!text.empty() && text[0] == '/') text = FileNameFromNativePath(text);
    while (!text.empty() && (text.back() == '\\' || text.back() == '/')) text.pop_back();
    if (text.size() < 2 || text[1] != ':' || GetDriveRoot(text[0]).empty())
        ThrowId(18018, ERROR_INVALID_DRIVE);
    for (size_t at = 2; at < text.size();) {
        size_t next = text.find('\\', at + 1);
        if (next == std::string::npos) next = text.size();
        if (next > at + 1) {  // skip empty components ("C:\\a\\\\b")
            std::string prefix = text.substr(0, next);
            DWORD error = 0;
            int32_t attributes = pf::GetFileAttributes(prefix, error);
            if (attributes != -1) {
                if (!(attributes & 0x10)) ThrowId(18018, ERROR_ALREADY_EXISTS);
            } else if (!pf::CreateDirectory(prefix, error) && error != ERROR_ALREADY_EXISTS) {
                ThrowId(18018, error);
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

TFileName TFile::GetNonExistingName(const TFileName& directory, const TFileName& name, char separator) {
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
            constexpr int32_t kChunk = 65536;
            auto a = std::make_unique<char[]>(kChunk);
            auto b = std::make_unique<char[]>(kChunk);
            equal = 1;
            for (int32_t done = 0, size = one.GetSize(); done < size && equal;) {
                int32_t count = size - done < kChunk ? size - done : kChunk;
                one.ReadSecure(a.get(), count);
                two.ReadSecure(b.get(), count);
                for (int32_t i = 0; i < count; ++i) {
                    if (a[i] != b[i]) {
                        equal = 0;
                        where = done + i;
                        break;
                    }
                }
                done += count;
            }
        }
    } catch (const TException&) {
        equal = 0;
        where = -2;
    }
    if (offset) *offset = where;
    return equal;
}

void TFile::CloseKeepingFile() {
    int flags = m_flags;
    m_flags &= ~kLibraryDeletes;
    try {
        Close();
    } catch (...) {
        m_flags = flags;
        throw;
    }
    m_flags = flags;
}

void TFile::AdjustSizeOfFile(int32_t size, int32_t reopenFlags, char reopen) {
    m_flags &= ~kKeepWrittenSize;
    m_writtenSize = 0;
    if (size != GetSize()) {
        if (m_flags & kUnbuffered) {
            int buffered =
                (m_flags & ~(kUnbuffered | kAccessBits | kCreate | kTempInDirectory)) | 0x8;
            CloseKeepingFile();
            Open(m_name, buffered);
            reopen = 1;
        }
        SetSize(size);
    }
    if (!reopen) return;
    int earlier = m_flags & ~kKeepWrittenSize;
    CloseKeepingFile();
    if (reopenFlags != -1)
        Open(m_name, (reopenFlags == 0 ? earlier : reopenFlags) & ~(kCreate | kTempInDirectory));
}

char TFile::GetDateTime(unsigned short* dosDate, unsigned short* dosTime) const {
    *dosDate = 0;
    *dosTime = 0;
    FILETIME write{};
    uint16_t date = 0, clock = 0;
    if (!GetDateTime(nullptr, nullptr, &write) || !pf::DosDateTimeFromFileTime(write, date, clock))
        return 0;
    *dosDate = date;
    *dosTime = clock;
    return 1;
}

char TFile::GetDateTime(const TFileName& name, unsigned short* dosDate, unsigned short* dosTime) {
    *dosDate = 0;
    *dosTime = 0;
    TFile file;
    return file.Open(name, kReadAccess | kShareAll | kNoThrow) &&
           file.GetDateTime(dosDate, dosTime);
}
