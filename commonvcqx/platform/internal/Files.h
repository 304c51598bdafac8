// commonvcqx/platform/internal/Files.h
//
// Files for TFile: open with the library's open flags (access 0x1-0x8, create 0x10,
// sharing 0x20-0x100, delete-on-close 0x200, unbuffered 0x1000000, write-through
// 0x8000000, access hints 0x10000000/0x20000000), transfers, seeking, sizes, times and
// the file-system operations on names. Names are library file names, translated
// through the drive table; every failure reports the Windows error code.
//
// Flag 0x20000 puts the C library's buffered FILE* stream over the descriptor (its
// own buffer unless 0x1000000; no default sharing but exclusive; 0x200 is left to the
// caller). Byte-range locks and reads on worker threads work on every handle.
//
// Sharing is emulated with open-file-description locks on one byte far beyond any
// 32-bit offset (2^62), so byte-range locks below 2^32 never meet it: two users
// of this library conflict as on Windows (error 32); other programs are not stopped.
// Query-only opens take no lock; share-all opens and readers that let others read take
// a shared lock; every other open an exclusive one. So exclusive opens and writers
// that deny writing conflict with everything, as on Windows; one mix is not caught (a
// share-all writer beside a reader that denies writing) and one is refused that
// Windows allows (a deny-write writer beside a share-all reader).
//
//   DWORD error = 0;
//   cvq::platform::FileHandle* file = cvq::platform::OpenFile("C:\\tmp\\a.bin", 0x10, error);
//   size_t written = 0;
//   cvq::platform::WriteFile(file, "abc", 3, written, error);
//   cvq::platform::CloseFile(file, error);
#pragma once

#include <commonvcqx/platform/WinTypes.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace cvq::platform {

struct FileHandle;

/// Opens `name` with the library's open flags. Null, with `error` set, on failure.
FileHandle* OpenFile(std::string_view name, uint32_t flags, DWORD& error);

/// Closes and frees the handle (a delete-on-close file is unlinked). False with
/// `error` when the system reported a failure (the handle is freed anyway).
bool CloseFile(FileHandle* file, DWORD& error);

/// Reads up to `count` bytes; fewer only at the end of the file.
bool ReadFile(FileHandle* file, void* buffer, size_t count, size_t& done, DWORD& error);
/// Writes all `count` bytes, looping over short writes; `done` counts what reached the
/// file even when a later part failed.
bool WriteFile(FileHandle* file, const void* data, size_t count, size_t& done, DWORD& error);
/// Reads up to `count` bytes at `offset` without using or moving the position (a
/// stream's buffer is handed to the system first); fewer only at the end of the file.
bool ReadFileAt(FileHandle* file, void* buffer, size_t count, uint64_t offset, size_t& done,
                DWORD& error);
/// Writes all `count` bytes at `offset` without using or moving the position, so a
/// thread writing behind the owner never lands where the owner has sought to.
bool WriteFileAt(FileHandle* file, const void* data, size_t count, uint64_t offset, size_t& done,
                 DWORD& error);
/// Moves the position (origin 0 start, 1 current, other end); the new position, or -1.
int64_t SeekFile(FileHandle* file, int64_t offset, int origin, DWORD& error);
/// Size in bytes, or -1.
int64_t GetFileSize(FileHandle* file, DWORD& error);
/// The file's identity on its device (two handles of one file give the same pair).
bool GetFileIdentity(FileHandle* file, uint64_t& device, uint64_t& inode, DWORD& error);
/// From now on every write goes to the end of the file, atomically with respect to other
/// writers (O_APPEND), wherever the position is.
bool SetFileAppending(FileHandle* file, DWORD& error);
/// Sets the end of the file; the position is left where it was.
bool TruncateFile(FileHandle* file, int64_t size, DWORD& error);
/// Writes the file's data and size to the device.
bool SyncFile(FileHandle* file, DWORD& error);
/// Last-write, last-access and creation (birth, else last-write) times; null outputs
/// are skipped.
bool GetFileTimes(FileHandle* file, FILETIME* creation, FILETIME* access, FILETIME* write,
                  DWORD& error);
/// Sets the access and write times given (the creation time cannot be set and is
/// ignored).
bool SetFileTimes(FileHandle* file, const FILETIME* creation, const FILETIME* access,
                  const FILETIME* write, DWORD& error);

/// The library's attribute bits of a name (0x1 normal, 0x2 read-only, 0x4 hidden,
/// 0x10 directory), or -1 with `error`.
int32_t GetFileAttributes(std::string_view name, DWORD& error);
/// Sets or clears read-only (0x2); other bits have no native form and are ignored.
bool SetFileAttributes(std::string_view name, int32_t attributes, DWORD& error);
/// Removes a file (not a directory: error 5).
bool DeleteFile(std::string_view name, DWORD& error);
/// Renames; an existing target is replaced only with `replace` (otherwise error 183).
bool RenameFile(std::string_view from, std::string_view to, bool replace, DWORD& error);
/// Copies a file's contents, permissions and last-write time to `to`, replacing it; a
/// destination left incomplete by a failure is removed.
bool CopyFile(std::string_view from, std::string_view to, DWORD& error);
/// Creates one directory.
bool CreateDirectory(std::string_view name, DWORD& error);

/// Free bytes available to the caller and total bytes of the file system holding
/// `name`.
bool GetDiskSpace(std::string_view name, double& available, double& total, DWORD& error);

/// Where ReplaceFileContents failed.
enum class EReplaceStage { None, Open, Write };

/// Replaces the contents of `name` atomically: a new file in the target's folder is
/// written, synced, given the target's permissions and renamed over the target, then
/// the folder is synced. A symbolic link is followed and its target replaced. On any
/// failure the old file is untouched, no new file is left behind, and `stage` tells
/// whether the file could not be opened or not be written. A target that another user
/// of the library holds open with a conflicting sharing mode gives error 32.
bool ReplaceFileContents(std::string_view name, const void* data, size_t count, DWORD& error,
                         EReplaceStage& stage);

/// FILETIME (100 ns since 1601) from seconds and nanoseconds since 1970, and back.
FILETIME FileTimeFromUnix(int64_t seconds, int64_t nanoseconds);
void UnixFromFileTime(const FILETIME& time, int64_t& seconds, int64_t& nanoseconds);

/// The packed DOS date and time words of a FILETIME in local time; false for times
/// outside 1980-2107.
bool DosDateTimeFromFileTime(const FILETIME& time, uint16_t& date, uint16_t& clock);

/// Locks `count` bytes at `offset` for this handle: a range that another handle holds
/// locked, or that overlaps a range this handle holds, fails with error 33 (as
/// LockFile). Locks are advisory: they stop other locks, not transfers. A count of 0
/// locks nothing and succeeds.
bool LockFileRange(FileHandle* file, uint64_t offset, uint64_t count, DWORD& error);
/// Releases a range locked with exactly this offset and count; other ranges fail with
/// error 158. A count of 0 succeeds.
bool UnlockFileRange(FileHandle* file, uint64_t offset, uint64_t count, DWORD& error);

/// Resets `event` (a kernel event) and reads `count` bytes at `offset` on a worker
/// thread, without using or moving the position; the event is set when the read
/// ended. A new read with the event of an earlier one first waits for that one and
/// forgets its result. CloseFile waits for every read still running.
bool StartAsyncRead(FileHandle* file, void* buffer, size_t count, uint64_t offset, HANDLE event,
                    DWORD& error);
/// The result of the read started with `event`: true with the bytes read once it
/// ended well (its record is then forgotten); false with error 996 while it runs
/// (only without `wait`), with the read's error when it failed (forgotten too), or
/// with error 87 when no read was started with that event.
bool AsyncReadResult(FileHandle* file, HANDLE event, bool wait, size_t& done, DWORD& error);
/// Waits for every read still running on a worker and forgets all results (CloseFile
/// does this too).
void FinishAsyncReads(FileHandle* file);

}  // namespace cvq::platform
