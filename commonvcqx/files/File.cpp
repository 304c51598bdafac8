// TFile: open flags, transfers, sizes and times of an open file, over the platform
// file layer. Every failure becomes a TException with a file error text.
#include <commonvcqx/files/File.h>

#include <commonvcqx/base/StartupOrder.h>
#include <commonvcqx/events/EventPublisher.h>
#include <commonvcqx/files/internal/FileErrors.h>
#include <commonvcqx/files/internal/FileNotifier.h>
#include <commonvcqx/files/internal/FileThreads.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/platform/FileFlags.h>
#include <commonvcqx/platform/internal/Files.h>
#include <commonvcqx/platform/internal/KernelObjects.h>
#include <commonvcqx/platform/internal/VirtualMemory.h>
#include <commonvcqx/threads/CriticalSection.h>

#include <cstring>
#include <string>

namespace pf = cvq::platform;
namespace attribute = cvq::file_attributes;

TFileObject::~TFileObject() = default;

using namespace cvq::open_flags;
using cvq::detail::IsDiskFull;
using cvq::detail::ThrowFileError;
using cvq::detail::ThrowNotEnoughDiskSpace;
using cvq::detail::TransfersWholePages;
using cvq::detail::WholePages;

namespace {

struct TFileNotifierStart {
    TFileNotifierStart() {
        cvq::detail::RecordStartupStep(cvq::detail::kStartFileNotifier, true);
        alive = true;
    }
    ~TFileNotifierStart() {
        alive = false;
        cvq::detail::RecordStartupStep(cvq::detail::kStartFileNotifier, false);
    }
    TEventPublisher publisher{"GlobalFileNotifier", 16, 1};
    // Constant-initialized, so it reads false before the constructor ran.
    static inline bool alive = false;
};
__attribute__((init_priority(cvq::detail::kStartFileNotifier))) TFileNotifierStart fileNotifier;

}  // namespace

TEventPublisher* cvq::detail::GlobalFileNotifier() noexcept {
    return TFileNotifierStart::alive ? &fileNotifier.publisher : nullptr;
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
    // The platform counts as the NT family: overlapped reads (0x4000) stay on.
    CreateOwnObjects();
    if ((m_flags & kKeepReadOnly) && Exist(m_name, kFile)) {
        int32_t attributes = GetAttributes(m_name);
        if (attributes != -1 && (attributes & attribute::kReadOnly))
            SetAttributes(m_name, attributes & ~attribute::kReadOnly, 0);
    }
    DWORD error = 0;
    m_handle = pf::OpenFile(m_name.c_str(), static_cast<uint32_t>(m_flags), error);
    if (m_handle) {
        // A stream cannot be deleted by the system when closed: the library does it.
        if ((m_flags & kMultimedia) && (m_flags & kSystemDeletes))
            m_flags = (m_flags & ~kSystemDeletes) | kLibraryDeletes;
        if (m_flags & kReadCache) cvq::detail::TParallelReader::Instance().AddUser();
        if (m_flags & kWriteBehind) cvq::detail::TParallelWriter::Instance().EnsureRunning();
        return 1;
    }
    DeleteOwnObjects();
    if (m_flags & kNoThrow) return 0;
    int id = error == ERROR_SHARING_VIOLATION ? 18025 : (m_flags & kCreate) ? 18016 : 18000;
    ThrowFileError(id, m_name.c_str(), error);
}

void TFile::CloseHandleOnly(uint32_t& error) {
    DWORD closeError = 0;
    if (!pf::CloseFile(m_handle, closeError) && error == 0) error = closeError;
    m_handle = nullptr;
}

void TFile::CreateOwnObjects() {
    if (m_flags & kOwnLock) m_lock = new TCriticalSection;
    if (m_flags & kWriteBehind) m_writeBehind = new cvq::detail::TWriteBehind;
    if (m_flags & kReadCacheRecord) m_readCacheRecord = cvq::detail::NewReadRecord();
}

void TFile::DeleteOwnObjects() {
    delete m_lock;
    m_lock = nullptr;
    ReleaseCacheObjects();
}

void TFile::Close() {
    if (!m_handle) return;
    uint32_t error = 0;
    DWORD ignored = 0;
    pf::FinishAsyncReads(m_handle);  // before the file is cut or closed under them
    if (m_flags & kReadCache) cvq::detail::TParallelReader::Instance().RemoveUser(*this);
    // Queued blocks reach the file before it is cut or closed; a failure is raised once
    // the file is closed.
    uint32_t queuedError = 0;
    if (m_writeBehind) {
        try {
            WaitEndOfCacheWriting();
        } catch (const TException& failure) {
            queuedError = static_cast<uint32_t>(failure.GetCode());
            if (queuedError == 0) queuedError = ERROR_GEN_FAILURE;
        }
    }
    if ((m_flags & (kSystemDeletes | kLibraryDeletes)) && !(m_flags & kMultimedia))
        pf::TruncateFile(m_handle, 0, ignored);  // nothing to flush for a file going away
    CloseHandleOnly(error);
    if (queuedError != 0) error = queuedError;
    if (m_flags & kLibraryDeletes) Delete(m_name, 0, 1);
    if (m_flags & kKeepReadOnly) {
        int32_t attributes = GetAttributes(m_name);
        if (attributes != -1) SetAttributes(m_name, attributes | attribute::kReadOnly, 0);
    }
    DeleteOwnObjects();
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
    TEventPublisher* notifier = cvq::detail::GlobalFileNotifier();
    if (!notifier) return;
    auto self = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(this));
    notifier->SendNotification(kFileClosedEvent, static_cast<int32_t>(static_cast<uint32_t>(self)),
                               static_cast<int32_t>(static_cast<uint32_t>(self >> 32)));
}

void TFile::SubscribeToFileCloseEvent(TEventCallback callback, void* user) {
    if (TEventPublisher* notifier = cvq::detail::GlobalFileNotifier())
        notifier->Subscribe(nullptr, kFileClosedEvent, callback, user);
}

void TFile::UnsubscribeToFileCloseEvent(TEventCallback callback, void* user) {
    if (TEventPublisher* notifier = cvq::detail::GlobalFileNotifier())
        notifier->Unsubscribe(kFileClosedEvent, callback, user);
}

void TFile::Lock(int32_t offset, uint32_t count) {
    DWORD error = ERROR_INVALID_HANDLE;
    if (!m_handle || !pf::LockFileRange(m_handle, static_cast<uint32_t>(offset), count, error))
        ThrowFileError(18025, m_name.c_str(), error);
}

void TFile::Unlock(int32_t offset, uint32_t count) {
    DWORD error = ERROR_INVALID_HANDLE;
    if (!m_handle || !pf::UnlockFileRange(m_handle, static_cast<uint32_t>(offset), count, error))
        ThrowFileError(18025, m_name.c_str(), error);
}

void TFile::ReadAsync(void* buffer, int32_t count, uint32_t offset, void* event) {
    DWORD error = !m_handle                               ? ERROR_INVALID_HANDLE
                  : !(m_flags & kOverlapped) || count < 0 ? ERROR_INVALID_PARAMETER
                                                          : ERROR_SUCCESS;
    if (error == ERROR_SUCCESS &&
        pf::StartAsyncRead(m_handle, buffer, static_cast<size_t>(count), offset, event, error))
        return;
    ThrowFileError(18002, m_name.c_str(), error);
}

char TFile::GetAsyncResult(void* event, int32_t* read, char wait, char throwOnError) {
    if (read) *read = -1;
    DWORD error = ERROR_INVALID_HANDLE;
    size_t done = 0;
    if (m_handle && pf::AsyncReadResult(m_handle, event, wait != 0, done, error)) {
        if (read) *read = static_cast<int32_t>(done);
        return 1;
    }
    if (error == ERROR_IO_INCOMPLETE) return 0;
    if (throwOnError) ThrowFileError(18002, m_name.c_str(), error);
    return 0;
}

void TFile::ThrowWriteError(uint32_t code) const {
    if (IsDiskFull(code)) ThrowNotEnoughDiskSpace(m_name.c_str(), code);
    ThrowFileError(18003, code);
}

int32_t TFile::GetSize() const {
    if (!m_handle) ThrowFileError(18000, ERROR_INVALID_HANDLE);
    DWORD error = 0;
    int64_t size = pf::GetFileSize(m_handle, error);
    if (size < 0) ThrowFileError(18002, m_name.c_str(), error);
    return static_cast<int32_t>(static_cast<uint32_t>(size));
}

int32_t TFile::Seek(int32_t offset, ESeekOrigin origin, char throwOnError) {
    if (origin != kFromStart && origin != kFromCurrent) SettleWriteBehind();  // the real end
    SyncPosition();
    DWORD error = ERROR_INVALID_HANDLE;
    int64_t position = m_handle ? pf::SeekFile(m_handle, offset, origin, error) : -1;
    if (position < 0 || position > INT32_MAX) {
        if (position > INT32_MAX) error = ERROR_INVALID_PARAMETER;
        if (throwOnError) ThrowFileError(18004, error);
        return -1;
    }
    m_position = static_cast<int32_t>(position);
    return m_position;
}

void TFile::SetSize(int32_t size) {
    SettleWriteBehind();
    DWORD error = ERROR_INVALID_HANDLE;
    bool ok = m_handle && size >= 0 && pf::TruncateFile(m_handle, size, error);
    if (m_handle && size < 0) error = ERROR_NEGATIVE_SEEK;
    if (ok && GetSize() != size) {
        ok = false;
        error = ERROR_GEN_FAILURE;
    }
    if (!ok) {
        if (IsDiskFull(error)) ThrowNotEnoughDiskSpace(m_name.c_str(), error);
        ThrowFileError(18005, error);
    }
    Seek(size, kFromStart, 1);
    if (m_flags & kKeepWrittenSize) m_writtenSize = size;
}

char TFile::ReadData(void* buffer, int32_t count, char throwOnError, int32_t* read) {
    if (read) *read = count < 0 ? -1 : 0;
    SettleWriteBehind();
    SyncPosition();
    DWORD error = ERROR_INVALID_HANDLE;
    size_t done = 0;
    size_t wanted = count < 0 ? 0 : static_cast<size_t>(count);
    if (TransfersWholePages(m_flags))
        wanted = WholePages(wanted);  // the caller's buffer holds them
    bool ok = m_handle && count >= 0 && pf::ReadFile(m_handle, buffer, wanted, done, error);
    if (m_handle && count < 0) error = ERROR_INVALID_PARAMETER;
    if (!ok) {
        if (throwOnError) ThrowFileError(18002, m_name.c_str(), error);
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
    if (throwOnError) ThrowFileError(18002, m_name.c_str(), ERROR_HANDLE_EOF);
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

void TFile::Write(const void* data, uint32_t count, char useCache) {
    if (count == 0) return;
    if (useCache && TransfersWholePages(m_flags)) {
        if (count > INT32_MAX) ThrowFileError(18003, ERROR_INVALID_PARAMETER);
        WriteInCache(data, static_cast<int32_t>(count));
        return;
    }
    SettleWriteBehind();
    SyncPosition();
    size_t total = count;
    if (TransfersWholePages(m_flags)) {
        // The caller's buffer holds the rounded size; the bytes past the data are
        // zeroed there.
        total = WholePages(total);
        std::memset(static_cast<char*>(const_cast<void*>(data)) + count, 0, total - count);
    }
    DWORD error = ERROR_INVALID_HANDLE;
    size_t done = 0;
    bool ok = m_handle && pf::WriteFile(m_handle, data, total, done, error);
    if ((m_flags & kKeepWrittenSize) && m_position + static_cast<int64_t>(done) > m_writtenSize)
        m_writtenSize = static_cast<int32_t>(m_position + static_cast<int64_t>(done));
    m_position += static_cast<int32_t>(done);
    if (ok) return;
    if (m_flags & kMultimedia) {
        // A stream stops short only when the device is full, whatever the last error.
        if (done > 0) ThrowNotEnoughDiskSpace(m_name.c_str(), error);
        ThrowFileError(18003, error);
    }
    ThrowWriteError(error);
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
    if (m_writeBehind) WaitEndOfCacheWriting();
    m_flags &= ~kKeepWrittenSize;
    m_writtenSize = 0;
    if (size != GetSize()) {
        if (m_flags & kUnbuffered) {
            int buffered =
                (m_flags & ~(kUnbuffered | kAccessBits | kCreate | kTempInDirectory)) | kReadWrite;
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
