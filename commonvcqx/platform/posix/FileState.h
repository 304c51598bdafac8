// The open file behind a FileHandle, and the helpers every POSIX file source shares.
// Private to platform/posix.
#pragma once

#include <commonvcqx/platform/WinTypes.h>
#include <commonvcqx/platform/internal/Files.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cvq::platform {

struct FileHandle {
    int fd = -1;
    int lockFd = -1;            // a second description carrying the sharing lock, when fd cannot
    std::string deleteOnClose;  // native path unlinked at close; empty when none
    // The C library's buffered stream (flag 0x20000); fd is its descriptor then.
    FILE* stream = nullptr;
    int streamLast = 0;  // last stream transfer: 0 none, 1 read, 2 write
    // Byte-range locks: the description holding them when fd cannot take a write lock,
    // and the ranges (offset, count) locked through this handle.
    int rangeFd = -1;
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    // Reads running on worker threads; made by the first read, which may race another.
    std::atomic<struct AsyncReads*> async{nullptr};
};

namespace posix {

/// Sets `error` to the Windows code of errno; always false, to end a failing call.
bool Fail(DWORD& error);
/// The native path of a library name; false with `error` for an unmapped drive.
bool Native(std::string_view name, std::string& native, DWORD& error);

/// Byte range of the lock that stands for the sharing mode: far beyond any 32-bit
/// offset, so that byte-range locks never meet it.
inline constexpr int64_t kSharingLockOffset = int64_t{1} << 62;

/// Stream transfers of a FileHandle with a stream; same contracts as ReadFile etc.
bool StreamRead(FileHandle& file, void* buffer, size_t count, size_t& done, DWORD& error);
bool StreamWrite(FileHandle& file, const void* data, size_t count, size_t& done, DWORD& error);
int64_t StreamSeek(FileHandle& file, int64_t offset, int whence, DWORD& error);
/// Hands buffered bytes to the system (before sizing, truncating, syncing).
bool StreamFlush(FileHandle& file, DWORD& error);
/// Puts a stream over `file.fd` in the access mode of `oflags`; the buffer is the
/// stream's own unless `unbuffered`.
bool AttachStream(FileHandle& file, int oflags, bool unbuffered, DWORD& error);

/// Waits for and frees every read still running on a worker; before the fd closes.
void FinishAsyncReads(FileHandle& file);
/// Drops the byte-range locks and their description.
void ReleaseRangeLocks(FileHandle& file);

}  // namespace posix
}  // namespace cvq::platform
