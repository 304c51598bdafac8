// Stamps by stat(2), lock files as open-file-description locks (which, unlike
// process-owned fcntl locks, also stand between two threads of one process), and the
// XDG configuration folder.
#include <commonvcqx/platform/ErrorCodes.h>
#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/platform/internal/StoreFiles.h>
#include <commonvcqx/platform/posix/FileState.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace cvq::platform {

namespace {

void StampOf(const struct stat& info, TFileStamp& stamp) {
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modifiedNs = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changedNs = int64_t(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
}

}  // namespace

bool GetFileStamp(std::string_view name, TFileStamp& stamp, DWORD& error) {
    std::string path;
    if (!posix::Native(name, path, error)) return false;
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return posix::Fail(error);
    StampOf(info, stamp);
    return true;
}

bool ReadWholeFile(std::string_view name, std::string& contents, TFileStamp& stamp, DWORD& error) {
    std::string path;
    if (!posix::Native(name, path, error)) return false;
    if (FailureFires(EFailureSeam::Open)) return posix::Fail(error);
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return posix::Fail(error);
    struct stat info;
    bool ok = ::fstat(fd, &info) == 0 || posix::Fail(error);
    if (ok && S_ISDIR(info.st_mode)) {
        error = ERROR_ACCESS_DENIED;
        ok = false;
    }
    if (ok) {
        StampOf(info, stamp);
        contents.clear();
        char buffer[65536];
        for (;;) {
            if (FailureFires(EFailureSeam::Read)) {
                ok = posix::Fail(error);
                break;
            }
            ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                ok = posix::Fail(error);
                break;
            }
            if (got == 0) break;
            contents.append(buffer, size_t(got));
        }
    }
    ::close(fd);
    return ok;
}

FileHandle* OpenLockedFile(std::string_view name, DWORD& error) {
    std::string path;
    if (!posix::Native(name, path, error)) return nullptr;
    if (FailureFires(EFailureSeam::Open)) return posix::Fail(error), nullptr;
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // Creating fails with ENOENT only when a folder of the path is missing.
        error = errno == ENOENT ? ERROR_PATH_NOT_FOUND : WindowsErrorFromErrno(errno);
        return nullptr;
    }
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1;
    int result;
    do {
        result = ::fcntl(fd, F_OFD_SETLKW, &lock);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        posix::Fail(error);
        ::close(fd);
        return nullptr;
    }
    auto* file = new FileHandle;
    file->fd = fd;
    return file;
}

bool GetUserConfigDirectory(std::string& directory) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        directory = xdg;
        return true;
    }
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') {
        directory = std::string(home) + "/.config";
        return true;
    }
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/') {
        directory = std::string(found->pw_dir) + "/.config";
        return true;
    }
    return false;
}

}  // namespace cvq::platform
