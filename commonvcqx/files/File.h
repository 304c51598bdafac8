// commonvcqx/files/File.h
//
// TFile: an open file with typed reads and writes, seeking and sizing, opened with one
// flags word (access 0x1-0x8, create 0x10, sharing 0x20-0x100, deletion 0x200/0x400,
// a temporary name 0x800, kept read-only 0x1000, its own lock 0x2000, reads on worker
// threads 0x4000, the C library's buffered streams 0x20000, no exception 0x40000, cut
// back to the written size 0x80000, unbuffered, write-through and access hints). Its
// static functions are the file-system operations on names. Failures raise TException
// with a text of the file error table (18000-18026) and the system's Windows error code.
//
// The read cache (0x8000: reads through ReadLowLevel, ReadAligned and ReadCache may be
// served by the parallel reader; 0x100000: the file's own 64 KB chunk for ReadCache)
// and write-behind (0x10000: WriteInCache and WriteEx queue 64 KB blocks to the
// parallel writer) run on the library's two file threads. Queued transfers carry their
// own offsets. A queued write that failed is raised by the next write, by
// WaitEndOfCacheWriting and by Close (18019 with the drive for a full disk, else 18003,
// with the error code); its data, and what was queued after it, is not on disk.
// Plain reads, writes and sizing of a write-behind file first wait for what is queued.
//
// Every Close notifies the process-wide publisher "GlobalFileNotifier" on the closing
// thread, event kFileClosedEvent, with the closing TFile split over the first (low
// half) and second (high half) values; ClosedFile puts it together again. The file is
// already closed then (IsOpen false), its name and flags still readable.
//
//   TFile file("C:\\tmp\\take.raw", 0x10);          // create, read and write
//   file.Write(int32_t{42});
//   file.SeekStart();
//   int32_t value;
//   file.ReadItem(&value);
//   TFile::SaveFile("C:\\tmp\\settings.ini", text, length);   // atomic replace
#pragma once

#include <commonvcqx/events/EventSubscriber.h>
#include <commonvcqx/files/FileName.h>
#include <commonvcqx/files/FileObject.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/FileFlags.h>
#include <commonvcqx/platform/WinTypes.h>
#include <commonvcqx/text/String.h>

#include <cstdint>
#include <type_traits>

namespace cvq::platform {
struct FileHandle;
}
namespace cvq::detail {
struct TReadRecord;
struct TWriteBehind;
}  // namespace cvq::detail
struct TMemoryBlock;

class TCriticalSection;
class TListElement;
template <class T>
class TFlexList;
template <class Base>
class TStringItem;
template <class T>
class TArray;

class TFile : public TFileObject {
public:
    enum EType : int32_t { kFile = 0, kDirectory = 1, kAnything = 2 };
    enum ESeekOrigin : int32_t { kFromStart = 0, kFromCurrent = 1, kFromEnd = 2 };
    /// What reads through the parallel reader leave behind: nothing, a copy of what was
    /// read, or a read-ahead of the range that follows.
    enum ECacheMode : int32_t { kNoCache = 0, kCacheCopy = 1, kReadAhead = 2 };
    /// Size of write-behind blocks and of the 0x100000 read chunk.
    static constexpr int32_t kCacheBlockSize = 65536;
    /// Event id of the close notification.
    static constexpr int32_t kFileClosedEvent = 0;

    TFile() noexcept = default;
    /// Opens at once; failures raise as Open does.
    TFile(const TFileName& name, int flags);
    ~TFile() override;
    // One owner per open file: its handle, lock and event are closed once.
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;

    /// Opens `name`; true when open. A failure raises 18025 (sharing violation), 18016
    /// (creating) or 18000 with the name, or returns false with flag 0x40000.
    char Open(const TFileName& name, int flags);
    /// Closes (nothing when closed), after the reads still running on workers and the
    /// write-behind. Data the system could not store after all (a full disk found at
    /// close) raises 18019 or 18003 once the file is closed.
    void Close();

    bool IsOpen() const noexcept { return m_handle != nullptr; }
    cvq::platform::FileHandle* GetHandle() const noexcept { return m_handle; }
    /// The flags as Open adjusted them (0x8000 adds 0x2000, 0x800 adds 0x10, a stream's
    /// 0x200 becomes 0x400).
    int GetOpenFlags() const noexcept { return m_flags; }
    /// The file's own lock (flags 0x2000 or 0x8000), null otherwise; it guards the
    /// file's cache state against the parallel reader and writer.
    TCriticalSection* GetLock() const noexcept { return m_lock; }
    const TFileName& GetName() const noexcept { return m_name; }
    /// Size of the open file (the low 32 bits).
    int32_t GetSize() const;
    int32_t GetFileSize() const override { return GetSize(); }

    /// New position, or -1 on failure (18004 when `throwOnError`).
    int32_t Seek(int32_t offset, ESeekOrigin origin, char throwOnError = 1);
    int32_t SeekStart(char throwOnError = 1) { return Seek(0, kFromStart, throwOnError); }
    int32_t SeekEnd(char throwOnError = 1) { return Seek(0, kFromEnd, throwOnError); }
    int32_t GetPosition() { return Seek(0, kFromCurrent, 1); }
    /// Sets the end of the file and moves there; 18005 (or 18019) when it cannot.
    void SetSize(int32_t size);

    /// Gives the file its final size (dropping 0x80000); an unbuffered file is reopened
    /// buffered for that, which forces `reopen`. Reopening closes (without the library's
    /// deletion) and, unless `reopenFlags` is -1, opens again with `reopenFlags` (0: the
    /// flags it had, without 0x80000), never creating.
    void AdjustSizeOfFile(int32_t size, int32_t reopenFlags, char reopen);

    /// Reads up to `count` bytes; `*read` gets the count (-1 for a negative count).
    /// A failure raises 18002 with the name, or returns false without `throwOnError`.
    char ReadData(void* buffer, int32_t count, char throwOnError = 1, int32_t* read = nullptr);
    /// As ReadData, and fewer bytes than asked is a failure too.
    char ReadSecure(void* buffer, int32_t count, char throwOnError = 1);
    template <class T>
    requires std::is_arithmetic_v<T>
    void ReadItem(T* item) { ReadSecure(item, static_cast<int32_t>(sizeof(T)), 1); }
    /// Reads to a NUL, a line feed, a carriage return (with a following line feed) or
    /// the end; the terminator is consumed and not kept.
    TString ReadLine();

    /// Writes all bytes; 18019 with the drive for a full disk, else 18003.
    void Write(const void* data, uint32_t count, char useCache = 0);
    template <class T>
    requires std::is_arithmetic_v<T>
    void Write(T item) { Write(&item, static_cast<uint32_t>(sizeof(T)), 0); }
    void WriteString(const char* text, char withNul);
    void WriteString(const TString& text, char withNul) { WriteString(text.c_str(), withNul); }
    /// The text, then `first`, then `second` unless it is the byte 0xFF.
    void WriteLine(const char* text, char first = '\r', char second = '\n');
    void WriteLine(const TString& text, char first = '\r', char second = '\n') {
        WriteLine(text.c_str(), first, second);
    }
    // Read cache and write-behind.
    /// Reads `count` bytes at the position as ReadData does; with flag 0x8000 and a
    /// `mode`, a read record of this file and `key` covering the range serves it (a
    /// `block` of the record's size asked for exactly its range is exchanged with it),
    /// and a direct read leaves a read-ahead of the next (`backward`: the previous) range
    /// or a copy behind. Offsets past 2^31 - 1 are refused (87).
    char ReadLowLevel(void* buffer, int32_t count, char throwOnError, int32_t* read,
                      ECacheMode mode, int32_t key, TMemoryBlock* block = nullptr,
                      char backward = 0);
    /// ReadLowLevel of `count` bytes at `offset` into `block` (given a cached
    /// page-aligned block when it has none or one too small), under the file's lock.
    char ReadAligned(int32_t offset, TMemoryBlock& block, int32_t count, char throwOnError,
                     int32_t* read, ECacheMode mode, int32_t key = 0, char backward = 0);
    /// Copies `count` bytes at `offset` through the file's 64 KB chunk (flag 0x100000),
    /// reading page-aligned chunks with read-ahead as needed; `*read` gets the bytes
    /// copied (fewer only at the end of the file). Leaves the position alone.
    char ReadCache(int32_t offset, void* buffer, int32_t count, char throwOnError, int32_t* read,
                   int32_t key);
    /// True, with the record's range through the arguments (and one more second to
    /// live), when a read record of this file and `key` covers [*offset, *offset + *count).
    char SuggestReadFromCacheState(int32_t* offset, int32_t* count, int32_t key);
    /// Drops every pending and cached read of `key`.
    static void FlushReadCache(int32_t key);
    /// Serves one queued read on the calling thread; true when there was one.
    static char ParallelReaderReadNext();
    /// Collects `count` bytes at the position into 64 KB blocks; full blocks go to the
    /// parallel writer (0x10000) or are written at once. No data queues the partial
    /// block. Raises the failure of an earlier queued write (the partial block is lost).
    void WriteInCache(const void* data, int32_t count);
    /// Writes `count` bytes of the page-aligned `block` at `offset` through
    /// write-behind (at once without 0x10000). The block is taken and `block` emptied.
    void WriteEx(int32_t offset, TMemoryBlock& block, int32_t count);
    /// Queues the partial block and waits until the file's queued blocks are written;
    /// a failed one raises its error.
    void WaitEndOfCacheWriting();

    /// Makes written data durable on the device (a stream's buffer first).
    void FlushBuffers();
    void Flush() { FlushBuffers(); }

    /// Times of the open file; null pointers skipped, outputs cleared first.
    char GetDateTime(FILETIME* creation, FILETIME* access, FILETIME* write) const;
    char SetDateTime(const FILETIME* creation, const FILETIME* access, const FILETIME* write);
    /// The last-write time as DOS date and time words in local time (both 0 on failure).
    char GetDateTime(unsigned short* dosDate, unsigned short* dosTime) const;

    /// Locks `count` bytes at `offset` (taken as unsigned) against the locks of every
    /// other open of the file by users of the library, and against overlapping locks
    /// of this one. Locks stop locks, not transfers. A conflict raises 18025 with the
    /// name and error 33; other failures raise 18025 with their code. 0 bytes: nothing.
    void Lock(int32_t offset, uint32_t count);
    /// Releases a range locked with exactly this offset and count; any other range
    /// raises 18025 with the name and error 158.
    void Unlock(int32_t offset, uint32_t count);

    /// Needs flag 0x4000. Resets `event` (a kernel event handle, e.g.
    /// TThreadEvent::GetHandle) and reads `count` bytes at `offset` on a worker thread,
    /// leaving the position alone; the event is set when the read ended. The buffer
    /// must stay valid until then (and, unbuffered, hold whole pages at a page-aligned
    /// address). The result comes from GetAsyncResult. A read that
    /// cannot start raises 18002 with the name (87 without flag 0x4000).
    void ReadAsync(void* buffer, int32_t count, uint32_t offset, void* event);
    /// The result of the read started with `event`: true with `*read` bytes once it
    /// ended (`wait` waits for that); false with `*read` -1 while it still runs. A
    /// failed read (or no read started with that event: code 87) raises 18002 with the
    /// name, or returns false without `throwOnError`. A result is given once.
    char GetAsyncResult(void* event, int32_t* read, char wait = 1, char throwOnError = 1);

    /// Library attribute bits of the open file's name, -1 when unreadable.
    int32_t GetAttributes() const { return GetAttributes(m_name); }

    void SetDeleteOnClose() noexcept { m_flags |= cvq::open_flags::kLibraryDeletes; }
    void UnsetDeleteOnClose() noexcept { m_flags &= ~cvq::open_flags::kLibraryDeletes; }
    bool ShouldBeDeletedOnClose() const noexcept {
        return (m_flags & (cvq::open_flags::kSystemDeletes | cvq::open_flags::kLibraryDeletes)) !=
               0;
    }

    /// Subscribes `callback` with `user` to the close notification of every TFile.
    static void SubscribeToFileCloseEvent(TEventCallback callback, void* user);
    /// Removes every such subscription of `callback` with `user`.
    static void UnsubscribeToFileCloseEvent(TEventCallback callback, void* user);
    /// The closing file of a close notification's first and second values.
    static TFile* ClosedFile(int32_t first, int32_t second) noexcept {
        return reinterpret_cast<TFile*>(static_cast<uintptr_t>(
            (uint64_t{static_cast<uint32_t>(second)} << 32) | static_cast<uint32_t>(first)));
    }

    // File-system operations on names.
    /// Empty names do not exist; an unreadable name exists when access was denied.
    static char Exist(const TFileName& name, EType type = kFile);
    /// Size by name; 18000 with the name when it cannot be read.
    static int32_t GetSize(const TFileName& name);
    /// True when the file is gone; `force` clears read-only and tries once more.
    static char Delete(const TFileName& name, char throwOnError = 1, char force = 0);
    /// Copies, replacing an existing destination; 18019 (full disk) or 18006.
    static void Copy(const TFileName& destination, const TFileName& source);
    /// EnsureDirectory of the destination's folder, then Copy.
    static void CopyEx(const TFileName& destination, const TFileName& source);
    /// Removes an existing destination, then moves; 18019 (full disk) or 18007.
    static void Move(const TFileName& destination, const TFileName& source);
    /// Creates every missing folder of `path` (all its components are folders); the
    /// first component must be a mapped drive. 18018 when it cannot.
    static void EnsureDirectory(const TFileName& path);
    /// A temporary file can be created (and is removed at once) in the folder.
    static char IsWritableDirectory(const TFileName& directory);
    /// Times by name; false when the file cannot be opened or the times not be read or
    /// set. Outputs cleared first.
    static char GetDateTime(const TFileName& name, FILETIME* creation, FILETIME* access,
                            FILETIME* write);
    /// Opened with read access, sharing for all.
    static char GetDateTime(const TFileName& name, unsigned short* dosDate,
                            unsigned short* dosTime);
    static char SetDateTime(const TFileName& name, const FILETIME* creation, const FILETIME* access,
                            const FILETIME* write);
    /// The name's drive is mapped to an existing folder.
    static char ExistDrive(const TFileName& name);
    /// Free bytes available to the caller on drive `drive` (0 for A); `*total` gets the
    /// drive's size (0 first). Both 0 for a drive that does not exist.
    static double GetDiskSpace(int drive, double* total = nullptr);
    /// Raises 18019 naming the drive (code 112) when the drive holding `name` has fewer
    /// than `bytes` free. A name on no known drive passes: the write itself reports it.
    static void CheckDiskSpace(const TFileName& name, double bytes);

    enum EBackupMode : int32_t { kNoBackup = 0, kAskForBackup = 1, kMakeBackup = 2 };
    using EDriveType = cvq::EDriveType;
    using enum cvq::EDriveType;
    /// True when the caller may write `name`: it does not exist, or it could be opened
    /// exclusively and any backup asked for was made. A file in use shows the 18009 box
    /// (with `showMessage`) and gives false. With a backup extension ("~": the first
    /// letter of the file's own extension becomes "~") and mode kAskForBackup the user
    /// is asked (18010, Yes/No/Cancel, caption from `window`'s title); a backup that
    /// fails shows the 18011 box and gives false. Boxes go through the message-box handler.
    static char CanWrite(HWND window, const TFileName& name, char showMessage, EBackupMode mode,
                         const char* backupExtension);
    /// Folder of the module's file (null: the executable), "" for an unknown module.
    static TFileName GetAppPath(HMODULE module);
    /// The label of the volume holding `name` (at most 99 characters); 18014 when the
    /// drive cannot be reached.
    static TString GetVolumeName(const TFileName& name);
    /// Labels the volume holding `name`; 18015 when it cannot (on Linux this needs
    /// administrator rights and a file system with labels).
    static void SetVolumeName(const TFileName& name, const char* label);
    static char IsCompressedVolume(const TFileName& name);
    /// The kind of the drive of `name`; kDriveNoRootDir when the drive does not exist.
    static EDriveType GetDriveTypeA(const TFileName& name);
    static char IsFloppyDrive(const TFileName& name);
    /// A removable (not floppy) or fixed drive.
    static char IsFastPhysicalDrive(const TFileName& name);
    /// When `second` was written later than `first`, gives all of `second`'s times
    /// `first`'s last-write time. False when a time cannot be read or set. The last
    /// argument is not used.
    static char EnsureDateEqualOrNewer(const TFileName& first, const TFileName& second, int32_t);
    /// directory + "\\" + title + separator + n + extension for the first n = 1, 2, ...
    /// that does not exist; the title is cut before a `separator` not at its start.
    /// Empty when the directory does not exist.
    static TFileName GetNonExistingName(const TFileName& directory, const TFileName& name,
                                        char separator);
    /// Same contents; `*offset` gets the first difference, -1 for different sizes, -2
    /// when a file cannot be read.
    static char AreEqual(const TFileName& first, const TFileName& second, int* offset = nullptr);
    /// Renames (an existing `newName` is not replaced); 18013 on failure.
    static void Rename(const TFileName& oldName, const TFileName& newName);
    /// First directory + "\XX<n>.$$$" that does not exist; 18008 for a missing directory.
    static TFileName GetTempName(const TFileName& directory);
    /// Library attribute bits (0x1 normal, 0x2 read-only, 0x4 hidden, 0x10 directory),
    /// -1 when unreadable.
    static int32_t GetAttributes(const TFileName& name);
    /// 18017 on failure when `throwOnError`.
    static char SetAttributes(const TFileName& name, int32_t attributes, char throwOnError = 1);
    static char IsWriteProtected(const TFileName& name);
    /// The whole file; `buffer` null allocates it from the thread's default heap
    /// (free with NH_Heap::FreeMem).
    static void* LoadFile(const TFileName& name, uint32_t* size, void* buffer = nullptr);
    /// Replaces the file's contents atomically: on failure the old file is untouched.
    static void SaveFile(const TFileName& name, const void* data, uint32_t count);
    /// The lines of a text file, split at line feeds (the last may lack one), each
    /// stripped at both ends of " \t\n\r" with `trim`, else of "\n\r"; lines empty after
    /// that are left out with `skipEmpty`. The target is emptied first. An empty file
    /// has no lines.
    static void ReadLines(const TFileName& name, TFlexList<TStringItem<TListElement>>& strings,
                          char trim = 0, char skipEmpty = 0);
    static void ReadLines(const TFileName& name, TArray<TString>& strings, char trim = 0,
                          char skipEmpty = 0);
    /// Every string followed by "\r\n" (an empty collection writes "\r\n" alone). With
    /// `append` they go after an existing file's contents (a full disk raises 18019 before
    /// anything is written); otherwise the file is replaced as by SaveFile.
    static void WriteLines(const TFileName& name,
                           const TFlexList<TStringItem<TListElement>>& strings, char append = 0);
    static void WriteLines(const TFileName& name, const TArray<TString>& strings, char append = 0);

private:
    void ThrowWriteError(uint32_t code) const;
    void CloseHandleOnly(uint32_t& error);
    void CloseKeepingFile();
    void NotifyFileClosed();
    void CreateOwnObjects();
    void DeleteOwnObjects();
    void SyncPosition();
    void SettleWriteBehind();
    void QueueWriteBlock();
    [[noreturn]] void ThrowQueuedWriteError(uint32_t code);
    char DirectReadAt(int64_t offset, void* buffer, int32_t count, char throwOnError,
                      int32_t* read);
    void ReleaseCacheObjects();

    TFileName m_name;
    TCriticalSection* m_lock = nullptr;  // flag 0x2000
    int m_flags = 0;
    cvq::platform::FileHandle* m_handle = nullptr;
    cvq::detail::TWriteBehind* m_writeBehind = nullptr;  // WriteInCache's block and queue
    int32_t m_position = 0;
    int32_t m_writtenSize = 0;
    cvq::detail::TReadRecord* m_readCacheRecord = nullptr;  // flag 0x100000
    // Positioned transfers moved m_position but not the system's position.
    bool m_positionMoved = false;
};
