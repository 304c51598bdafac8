// Byte-range locks of an open file as open-file-description locks. Windows refuses a
// range that overlaps one the same handle holds, which POSIX would merge silently, so
// each handle keeps the ranges it locked and checks them first.
#include <commonvcqx/platform/internal/Files.h>
#include <commonvcqx/platform/posix/FileState.h>

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <string>

namespace cvq::platform {

namespace {

// The description to lock on and the kind of lock it can carry: a write lock needs a
// description open for writing, so a read-only handle reopens its file for reading
// and writing once; a file that cannot be written gets read locks, which stop only
// writers' locks.
int RangeLockFd(FileHandle& file, short& type) {
    type = F_WRLCK;
    int mode = ::fcntl(file.fd, F_GETFL);
    if (mode >= 0 && !(mode & O_PATH) && (mode & O_ACCMODE) != O_RDONLY) return file.fd;
    if (file.rangeFd < 0) {
        std::string self = "/proc/self/fd/" + std::to_string(file.fd);
        file.rangeFd = ::open(self.c_str(), O_RDWR | O_CLOEXEC);
    }
    if (file.rangeFd >= 0) return file.rangeFd;
    type = F_RDLCK;
    return file.fd;
}

bool SetRangeLock(int fd, short type, uint64_t offset, uint64_t count, DWORD& error) {
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(offset);
    lock.l_len = static_cast<off_t>(count);
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) return true;
    if (errno == EAGAIN || errno == EACCES) {
        error = ERROR_LOCK_VIOLATION;
        return false;
    }
    // A file system without locks cannot guard ranges; the handle's own list still does.
    if (errno == EINVAL || errno == ENOLCK || errno == EOPNOTSUPP) return true;
    return posix::Fail(error);
}

bool ValidRange(uint64_t offset, uint64_t count) {
    return offset < static_cast<uint64_t>(posix::kSharingLockOffset) &&
           count <= static_cast<uint64_t>(posix::kSharingLockOffset) - offset;
}

}  // namespace

bool LockFileRange(FileHandle* file, uint64_t offset, uint64_t count, DWORD& error) {
    if (!file) {
        error = ERROR_INVALID_HANDLE;
        return false;
    }
    if (count == 0) return true;  // a length of 0 would mean "to the end" to fcntl
    if (!ValidRange(offset, count)) {
        error = ERROR_INVALID_PARAMETER;
        return false;
    }
    for (const auto& [start, length] : file->ranges) {
        if (offset < start + length && start < offset + count) {
            error = ERROR_LOCK_VIOLATION;
            return false;
        }
    }
    short type = F_WRLCK;
    int fd = RangeLockFd(*file, type);
    if (!SetRangeLock(fd, type, offset, count, error)) return false;
    file->ranges.emplace_back(offset, count);
    return true;
}

bool UnlockFileRange(FileHandle* file, uint64_t offset, uint64_t count, DWORD& error) {
    if (!file) {
        error = ERROR_INVALID_HANDLE;
        return false;
    }
    if (count == 0) return true;
    auto found = std::find(file->ranges.begin(), file->ranges.end(), std::make_pair(offset, count));
    if (found == file->ranges.end()) {
        error = ERROR_NOT_LOCKED;
        return false;
    }
    short type = F_WRLCK;
    int fd = RangeLockFd(*file, type);
    if (!SetRangeLock(fd, F_UNLCK, offset, count, error)) return false;
    file->ranges.erase(found);
    return true;
}

namespace posix {

void ReleaseRangeLocks(FileHandle& file) {
    // The locks go with the descriptions that hold them.
    if (file.rangeFd >= 0) ::close(file.rangeFd);
    file.rangeFd = -1;
    file.ranges.clear();
}

}  // namespace posix
}  // namespace cvq::platform
