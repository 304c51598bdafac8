// Files on POSIX: open flags mapped to open(2), sharing emulated with an
// open-file-description lock far beyond the data, transfers looping over short counts
// and EINTR (or through a C stream with flag 0x20000).
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/ErrorCodes.h>
#include <commonvcqx/platform/FileFlags.h>
#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/platform/internal/Files.h>
#include <commonvcqx/platform/posix/FileState.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace cvq::platform {

namespace {

using namespace cvq::open_flags;

// FILETIME of 1970-01-01 in 100 ns steps since 1601.
constexpr int64_t kUnixEpoch = 116444736000000000LL;

}  // namespace

namespace posix {

bool Fail(DWORD& error) {
    error = WindowsErrorFromErrno(errno);
    return false;
}

bool Native(std::string_view name, std::string& native, DWORD& error) {
    if (NativePathFromFileName(name, native)) return true;
    error = name.empty() ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_DRIVE;
    return false;
}

}  // namespace posix

using posix::Fail;
using posix::Native;

namespace {

int OpenNative(const std::string& path, int oflags, mode_t mode) {
    if (FailureFires(EFailureSeam::Open)) return -1;
    int fd;
    do {
        fd = ::open(path.c_str(), oflags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The lock standing for the sharing mode, on its one byte past any data offset. False
// with error 32 on a conflict.
bool LockForSharing(int fd, short type, DWORD& error) {
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(posix::kSharingLockOffset);
    lock.l_len = 1;
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) return true;
    if (errno == EAGAIN || errno == EACCES) {
        error = ERROR_SHARING_VIOLATION;
        return false;
    }
    // A file system without locks (some network mounts) cannot share-check; open anyway.
    if (errno == EINVAL || errno == ENOLCK || errno == EOPNOTSUPP) return true;
    return Fail(error);
}

// Takes the sharing lock for an open file: a lock needs a description opened for what
// it guards (writing for an exclusive lock, reading for a shared one), so a second one
// is opened when `fd` lacks that access. A read-only file that cannot be opened for
// writing is held with a shared lock instead.
bool TakeSharingLock(FileHandle& file, const std::string& path, short type, int fdMode,
                     DWORD& error) {
    int lockFd = file.fd;
    if (type == F_WRLCK && fdMode != O_RDWR) {
        lockFd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (lockFd < 0) {
            type = F_RDLCK;
            lockFd = fdMode == O_WRONLY ? -1 : file.fd;
        }
    }
    if (type == F_RDLCK && fdMode == O_WRONLY && lockFd == file.fd) lockFd = -1;
    if (lockFd < 0) lockFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (lockFd < 0)
        return true;  // nothing to lock with: the open goes unguarded, as for other programs
    if (lockFd != file.fd) file.lockFd = lockFd;
    return LockForSharing(lockFd, type, error);
}

// Lock kind a sharing mode needs: none for query-only opens, shared for share-all opens
// and for a reader that lets others read, exclusive otherwise.
short SharingLock(uint32_t flags, bool query, bool writes) {
    if (query) return F_UNLCK;
    if (flags & kShareAll) return F_RDLCK;
    if (flags & (kExclusive | kShareWrite)) return F_WRLCK;
    return writes ? F_WRLCK : F_RDLCK;  // others may read, not write
}

bool CloseFd(int fd, DWORD& error) {
    // Linux frees the descriptor even when close reports EINTR: never retry.
    if (::close(fd) != 0 && errno != EINTR) return Fail(error);
    return true;
}

}  // namespace

FileHandle* OpenFile(std::string_view name, uint32_t flags, DWORD& error) {
    const uint32_t original = flags;
    std::string path;
    if (!Native(name, path, error)) return nullptr;
    bool stream = flags & kMultimedia;
    if (!(flags & (kQueryOnly | kReadAccess | kWriteAccess | kReadWrite))) flags |= kReadWrite;
    // A stream knows no default sharing but exclusive, and no query-only access; its
    // deletion at close is left to the caller.
    if (!(flags & (kShareRead | kShareWrite | kShareAll | kExclusive)))
        flags |= stream ? kExclusive : kShareRead;
    if (stream && !(flags & (kReadAccess | kWriteAccess | kReadWrite))) flags |= kReadAccess;
    if (stream) flags &= ~(kSystemDeletes | kUnbuffered);
    bool reads = flags & (kReadAccess | kReadWrite);
    bool writes = flags & (kWriteAccess | kReadWrite);
    bool query = !reads && !writes;
    int oflags = reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    bool create = flags & kCreate;
    if (create) oflags |= O_CREAT;  // cut to zero only after the sharing check
    if (flags & kWriteThrough) oflags |= O_DSYNC;
    int fd = -1;
    if (flags & kUnbuffered) {
        fd = OpenNative(path, oflags | O_DIRECT, 0666);
        if (fd < 0 && errno != EINVAL) return Fail(error), nullptr;
    }
    if (fd < 0) fd = OpenNative(path, oflags, 0666);
    if (fd < 0 && query && errno == EACCES) fd = OpenNative(path, O_PATH, 0);
    if (fd < 0) {
        // Creating fails with ENOENT only when a folder of the path is missing.
        error = create && errno == ENOENT ? ERROR_PATH_NOT_FOUND : WindowsErrorFromErrno(errno);
        return nullptr;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        Fail(error);
        ::close(fd);
        return nullptr;
    }
    if (S_ISDIR(info.st_mode) && !query) {  // a directory is no file to transfer
        ::close(fd);
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    auto* file = new FileHandle;
    file->fd = fd;
    auto discard = [file] {
        if (file->stream)
            ::fclose(file->stream);
        else
            ::close(file->fd);
        if (file->lockFd >= 0) ::close(file->lockFd);
        delete file;
        return nullptr;
    };
    short lockType = SharingLock(flags, query, writes);
    if (lockType != F_UNLCK && !TakeSharingLock(*file, path, lockType, oflags & O_ACCMODE, error))
        return discard();
    if (create && S_ISREG(info.st_mode) && info.st_size != 0 && ::ftruncate(fd, 0) != 0) {
        Fail(error);
        return discard();
    }
    if (flags & (kRandomAccess | kSequentialScan))
        ::posix_fadvise(fd, 0, 0,
                        (flags & kRandomAccess) ? POSIX_FADV_RANDOM : POSIX_FADV_SEQUENTIAL);
    if (flags & kSystemDeletes) file->deleteOnClose = path;
    if (stream && !posix::AttachStream(*file, oflags, (original & kUnbuffered) != 0, error))
        return discard();
    return file;
}

bool CloseFile(FileHandle* file, DWORD& error) {
    if (!file) return true;
    bool ok = true;
    posix::FinishAsyncReads(*file);  // workers read through fd until they end
    posix::ReleaseRangeLocks(*file);
    if (!file->deleteOnClose.empty() && ::unlink(file->deleteOnClose.c_str()) != 0 &&
        errno != ENOENT)
        ok = Fail(error);
    if (file->stream) {
        // fclose hands over the buffered bytes and closes fd, even when it fails.
        if (::fclose(file->stream) != 0) ok = Fail(error);
    } else if (!CloseFd(file->fd, error)) {
        ok = false;
    }
    if (file->lockFd >= 0) ::close(file->lockFd);
    delete file;
    return ok;
}

bool ReadFile(FileHandle* file, void* buffer, size_t count, size_t& done, DWORD& error) {
    if (file->stream) return posix::StreamRead(*file, buffer, count, done, error);
    done = 0;
    char* out = static_cast<char*>(buffer);
    while (done < count) {
        if (FailureFires(EFailureSeam::Read)) return Fail(error);
        ssize_t n = ::read(file->fd, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(error);
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool WriteFile(FileHandle* file, const void* data, size_t count, size_t& done, DWORD& error) {
    if (file->stream) return posix::StreamWrite(*file, data, count, done, error);
    done = 0;
    const char* in = static_cast<const char*>(data);
    while (done < count) {
        if (FailureFires(EFailureSeam::Write)) return Fail(error);
        ssize_t n = ::write(file->fd, in + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(error);
        }
        if (n == 0) {  // no progress and no error: the device is full
            error = ERROR_DISK_FULL;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool ReadFileAt(FileHandle* file, void* buffer, size_t count, uint64_t offset, size_t& done,
                DWORD& error) {
    done = 0;
    if (file->stream && !posix::StreamFlush(*file, error)) return false;
    char* out = static_cast<char*>(buffer);
    while (done < count) {
        if (FailureFires(EFailureSeam::Read)) return Fail(error);
        ssize_t n = ::pread(file->fd, out + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(error);
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool WriteFileAt(FileHandle* file, const void* data, size_t count, uint64_t offset, size_t& done,
                 DWORD& error) {
    done = 0;
    if (file->stream && !posix::StreamFlush(*file, error)) return false;
    const char* in = static_cast<const char*>(data);
    while (done < count) {
        if (FailureFires(EFailureSeam::Write)) return Fail(error);
        ssize_t n = ::pwrite(file->fd, in + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(error);
        }
        if (n == 0) {
            error = ERROR_DISK_FULL;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

int64_t SeekFile(FileHandle* file, int64_t offset, int origin, DWORD& error) {
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
    if (file->stream) return posix::StreamSeek(*file, offset, whence, error);
    off_t position = ::lseek(file->fd, static_cast<off_t>(offset), whence);
    if (position < 0) {
        error = errno == EINVAL ? ERROR_NEGATIVE_SEEK : WindowsErrorFromErrno(errno);
        return -1;
    }
    return position;
}

int64_t GetFileSize(FileHandle* file, DWORD& error) {
    if (file->stream && !posix::StreamFlush(*file, error)) return -1;
    struct stat info;
    if (::fstat(file->fd, &info) != 0) return Fail(error), -1;
    return info.st_size;
}

bool GetFileIdentity(FileHandle* file, uint64_t& device, uint64_t& inode, DWORD& error) {
    struct stat info;
    if (::fstat(file->fd, &info) != 0) return Fail(error);
    device = static_cast<uint64_t>(info.st_dev);
    inode = static_cast<uint64_t>(info.st_ino);
    return true;
}

bool SetFileAppending(FileHandle* file, DWORD& error) {
    int flags = ::fcntl(file->fd, F_GETFL);
    if (flags < 0 || ::fcntl(file->fd, F_SETFL, flags | O_APPEND) < 0) return Fail(error);
    return true;
}

bool TruncateFile(FileHandle* file, int64_t size, DWORD& error) {
    if (size < 0) {
        error = ERROR_NEGATIVE_SEEK;
        return false;
    }
    if (file->stream && !posix::StreamFlush(*file, error)) return false;
    int rc;
    do {
        rc = ::ftruncate(file->fd, static_cast<off_t>(size));
    } while (rc != 0 && errno == EINTR);
    return rc == 0 || Fail(error);
}

bool SyncFile(FileHandle* file, DWORD& error) {
    if (file->stream && !posix::StreamFlush(*file, error)) return false;
    if (FailureFires(EFailureSeam::Sync) || ::fsync(file->fd) != 0) return Fail(error);
    return true;
}

FILETIME FileTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
    int64_t ticks = seconds * 10000000LL + nanoseconds / 100 + kUnixEpoch;
    if (ticks < 0) ticks = 0;
    return FILETIME{static_cast<DWORD>(static_cast<uint64_t>(ticks)),
                    static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32)};
}

void UnixFromFileTime(const FILETIME& time, int64_t& seconds, int64_t& nanoseconds) {
    // Split into whole seconds before taking off the epoch (itself whole seconds), in
    // unsigned arithmetic: every FILETIME converts, the top half of the range included.
    const uint64_t ticks = (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    seconds = static_cast<int64_t>(ticks / 10000000) - kUnixEpoch / 10000000;
    nanoseconds = static_cast<int64_t>(ticks % 10000000) * 100;
}

bool DosDateTimeFromFileTime(const FILETIME& time, uint16_t& date, uint16_t& clock) {
    int64_t seconds = 0, nanoseconds = 0;
    UnixFromFileTime(time, seconds, nanoseconds);
    time_t when = static_cast<time_t>(seconds);
    struct tm local;
    if (!::localtime_r(&when, &local) || local.tm_year < 80 || local.tm_year > 207) return false;
    date = static_cast<uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) |
                                 local.tm_mday);
    clock = static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    return true;
}

bool GetFileTimes(FileHandle* file, FILETIME* creation, FILETIME* access, FILETIME* write,
                  DWORD& error) {
    struct statx info;
    if (::statx(file->fd, "", AT_EMPTY_PATH, STATX_ATIME | STATX_MTIME | STATX_BTIME, &info) != 0)
        return Fail(error);
    auto convert = [](const struct statx_timestamp& t) {
        return FileTimeFromUnix(t.tv_sec, t.tv_nsec);
    };
    if (creation)
        *creation = convert((info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_mtime);
    if (access) *access = convert(info.stx_atime);
    if (write) *write = convert(info.stx_mtime);
    return true;
}

bool SetFileTimes(FileHandle* file, const FILETIME*, const FILETIME* access, const FILETIME* write,
                  DWORD& error) {
    // Buffered bytes written later would move the last-write time again.
    if (file->stream && !posix::StreamFlush(*file, error)) return false;
    struct timespec times[2];
    const FILETIME* given[2] = {access, write};
    for (int i = 0; i < 2; ++i) {
        if (!given[i]) {
            times[i].tv_sec = 0;
            times[i].tv_nsec = UTIME_OMIT;
            continue;
        }
        int64_t seconds, nanoseconds;
        UnixFromFileTime(*given[i], seconds, nanoseconds);
        times[i].tv_sec = static_cast<time_t>(seconds);
        times[i].tv_nsec = static_cast<long>(nanoseconds);
    }
    return ::futimens(file->fd, times) == 0 || Fail(error);
}

int32_t GetFileAttributes(std::string_view name, DWORD& error) {
    std::string path;
    if (!Native(name, path, error)) return -1;
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return Fail(error), -1;
    int32_t attributes = 0;
    if (S_ISDIR(info.st_mode)) attributes |= file_attributes::kDirectory;
    size_t slash = path.find_last_of('/');
    std::string_view last = slash == std::string::npos ? std::string_view(path)
                                                       : std::string_view(path).substr(slash + 1);
    if (!last.empty() && last[0] == '.' && last != "." && last != "..")
        attributes |= file_attributes::kHidden;
    if (!(info.st_mode & S_IWUSR)) attributes |= file_attributes::kReadOnly;
    return attributes ? attributes : file_attributes::kNormal;
}

bool SetFileAttributes(std::string_view name, int32_t attributes, DWORD& error) {
    std::string path;
    if (!Native(name, path, error)) return false;
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return Fail(error);
    mode_t mode = info.st_mode & 07777;
    mode = (attributes & file_attributes::kReadOnly) ? mode & ~mode_t{0222} : mode | S_IWUSR;
    return ::chmod(path.c_str(), mode) == 0 || Fail(error);
}

bool DeleteFile(std::string_view name, DWORD& error) {
    std::string path;
    if (!Native(name, path, error)) return false;
    if (::unlink(path.c_str()) == 0) return true;
    return Fail(error);  // a directory gives EISDIR, i.e. access denied, as on Windows
}

bool RenameFile(std::string_view from, std::string_view to, bool replace, DWORD& error) {
    std::string source, target;
    if (!Native(from, source, error) || !Native(to, target, error)) return false;
    if (FailureFires(EFailureSeam::Rename)) return Fail(error);
    int rc =
        replace ? ::rename(source.c_str(), target.c_str())
                : ::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
    if (rc == 0) return true;
    if (errno == EEXIST) {
        error = ERROR_ALREADY_EXISTS;
        return false;
    }
    return Fail(error);
}

bool CopyFile(std::string_view from, std::string_view to, DWORD& error) {
    std::string source, target;
    if (!Native(from, source, error) || !Native(to, target, error)) return false;
    int in = OpenNative(source, O_RDONLY, 0);
    if (in < 0) return Fail(error);
    struct stat info;
    if (::fstat(in, &info) != 0 || S_ISDIR(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? ERROR_ACCESS_DENIED : WindowsErrorFromErrno(errno);
        ::close(in);
        return false;
    }
    int out = OpenNative(target, O_WRONLY | O_CREAT | O_TRUNC, info.st_mode & 0777);
    if (out < 0) {
        Fail(error);
        ::close(in);
        return false;
    }
    FileHandle reader, writer;
    reader.fd = in;
    writer.fd = out;
    bool ok = true;
    char buffer[65536];
    for (;;) {
        size_t got = 0, put = 0;
        if (!ReadFile(&reader, buffer, sizeof buffer, got, error)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        if (!WriteFile(&writer, buffer, got, put, error)) {
            ok = false;
            break;
        }
    }
    if (ok) {
        ::fchmod(out, info.st_mode & 07777);
        struct timespec times[2] = {info.st_atim, info.st_mtim};
        ::futimens(out, times);
    }
    ::close(in);
    if (!CloseFd(out, error)) ok = false;
    if (!ok) ::unlink(target.c_str());
    return ok;
}

bool CreateDirectory(std::string_view name, DWORD& error) {
    std::string path;
    if (!Native(name, path, error)) return false;
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    if (errno == EEXIST || errno == ENOENT) {  // ENOENT: a folder above is missing
        error = errno == EEXIST ? ERROR_ALREADY_EXISTS : ERROR_PATH_NOT_FOUND;
        return false;
    }
    return Fail(error);
}

bool GetDiskSpace(std::string_view name, double& available, double& total, DWORD& error) {
    std::string path;
    if (!Native(name, path, error)) return false;
    struct statvfs info;
    if (::statvfs(path.c_str(), &info) != 0) return Fail(error);
    available = static_cast<double>(info.f_bavail) * static_cast<double>(info.f_frsize);
    total = static_cast<double>(info.f_blocks) * static_cast<double>(info.f_frsize);
    return true;
}

namespace {

// Path of the file a (possibly dangling) chain of symbolic links ends at.
bool FollowLinks(std::string& path, DWORD& error) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return true;  // a missing name is simply created
        char target[PATH_MAX];
        ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n < 0) return Fail(error);
        target[n] = '\0';
        if (target[0] == '/') {
            path.assign(target, static_cast<size_t>(n));
        } else {
            size_t slash = path.find_last_of('/');
            path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
                   std::string(target, static_cast<size_t>(n));
        }
    }
    error = ERROR_CANT_RESOLVE_FILENAME;
    return false;
}

// The folder a path lies in, for syncing it after a rename.
std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".")
           : slash == 0               ? std::string("/")
                                      : path.substr(0, slash);
}

void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);  // the rename is done; a folder that cannot sync keeps it all the same
        ::close(fd);
    }
}

// What a replacement holds until it ends, whichever way (a full memory throws through
// the strings): the old file's descriptor, with its sharing lock, and the new file
// beside it until the rename has put it in place.
struct TReplacement {
    int old = -1;
    int fd = -1;
    int holder = -1;  // keeps the new file's lock from the writing to the rename
    std::string temp;
    bool renamed = false;
    ~TReplacement() {
        if (fd >= 0) ::close(fd);
        if (!temp.empty() && !renamed) ::unlink(temp.c_str());
        if (holder >= 0) ::close(holder);
        if (old >= 0) ::close(old);
    }
};

// The new file of a replacement is ".<name>.tmp" beside the target, locked on a byte
// past the sharing lock while it is in use. A save killed on its way leaves that file
// behind unlocked, and the next save of the target takes it over, so leftovers never
// pile up. The file is ours once locked and still the one the name leads to (another
// save may have just renamed it over the target). Error 32: in use by another save, or
// not a plain file; the caller then uses a name of its own.
int TakeOverReplacementFile(const std::string& temp, DWORD& error) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        int fd = OpenNative(temp, O_WRONLY | O_CREAT | O_NOFOLLOW, 0666);
        if (fd < 0) {
            // A link or a folder of that name is never written through: a name of
            // this process's own serves instead.
            error = errno == ELOOP || errno == EISDIR ? ERROR_SHARING_VIOLATION
                                                      : WindowsErrorFromErrno(errno);
            return -1;
        }
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = static_cast<off_t>(posix::kSharingLockOffset + 1);
        lock.l_len = 1;
        struct stat opened, named;
        if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
            ::close(fd);
            error = ERROR_SHARING_VIOLATION;
            return -1;
        }
        if (::fstat(fd, &opened) == 0 && ::lstat(temp.c_str(), &named) == 0 &&
            opened.st_dev == named.st_dev && opened.st_ino == named.st_ino &&
            S_ISREG(opened.st_mode) && ::ftruncate(fd, 0) == 0)
            return fd;
        ::close(fd);
    }
    error = ERROR_SHARING_VIOLATION;
    return -1;
}

}  // namespace

bool ReplaceFileContents(std::string_view name, const void* data, size_t count, DWORD& error,
                         EReplaceStage& stage) {
    stage = EReplaceStage::Open;
    std::string path;
    if (!Native(name, path, error) || !FollowLinks(path, error)) return false;
    // Everything that allocates comes before the rename, so that a replacement done is
    // never reported as failed.
    const std::string folder = FolderOf(path);

    // Hold the old file for the whole replacement, as an open for writing would: a file
    // we may not write (read-only, a directory) is refused, and a user of the library
    // who holds it with a conflicting sharing mode stops the save.
    TReplacement replacement;
    replacement.old = OpenNative(path, O_RDWR, 0);
    struct stat oldInfo;
    bool hadOld = false;
    if (replacement.old >= 0) {
        hadOld = true;
        if (::fstat(replacement.old, &oldInfo) != 0) return Fail(error);
        if (!LockForSharing(replacement.old, F_WRLCK, error)) return false;
    } else if (errno != ENOENT) {
        return Fail(error);
    }

    // The new file lies beside the target so the rename stays on one file system.
    static std::atomic<unsigned> serial{0};
    const size_t slash = path.find_last_of('/');
    const std::string prefix =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string shared = prefix + "." + base + ".tmp";
    replacement.fd = TakeOverReplacementFile(shared, error);
    if (replacement.fd >= 0) {
        replacement.temp.swap(shared);
    } else if (error != ERROR_SHARING_VIOLATION) {
        return false;
    }
    // Another save holds the shared name: a name of this process's own, created afresh.
    for (int attempt = 0; attempt < 100 && replacement.fd < 0; ++attempt) {
        std::string temp = prefix + "." + base + "." + std::to_string(::getpid()) + "." +
                           std::to_string(serial.fetch_add(1)) + ".tmp";
        replacement.fd = OpenNative(temp, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (replacement.fd < 0) {
            error = WindowsErrorFromErrno(errno);  // before the strings go and free
            if (error != ERROR_FILE_EXISTS) break;
        } else {
            replacement.temp.swap(temp);
        }
    }
    if (replacement.fd < 0) return false;

    stage = EReplaceStage::Write;
    FileHandle handle;
    handle.fd = replacement.fd;
    size_t done = 0;
    bool ok = WriteFile(&handle, data, count, done, error);
    if (ok && hadOld) {
        ::fchmod(replacement.fd, oldInfo.st_mode & 07777);
        // Keeping the owner needs privileges; a file we may replace but not chown simply
        // becomes ours, as a rewrite by another user would.
        if (::fchown(replacement.fd, oldInfo.st_uid, oldInfo.st_gid) != 0) {
        }
    }
    if (ok) ok = SyncFile(&handle, error);
    int fd = replacement.fd;
    replacement.fd = -1;
    if (ok) replacement.holder = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (ok && replacement.holder < 0) ok = Fail(error);
    if (!CloseFd(fd, error)) ok = false;
    if (ok && FailureFires(EFailureSeam::Rename)) ok = Fail(error);
    if (ok && ::rename(replacement.temp.c_str(), path.c_str()) != 0) ok = Fail(error);
    if (!ok) return false;
    replacement.renamed = true;
    SyncFolder(folder);
    stage = EReplaceStage::None;
    return true;
}

}  // namespace cvq::platform
