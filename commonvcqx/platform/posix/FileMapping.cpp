// Mapped views over mmap. The mapping holds its own descriptor of the file (read-write
// even for a write-only file, since a shared writable map needs read access too).
#include <commonvcqx/platform/internal/FileMapping.h>

#include <commonvcqx/platform/ErrorCodes.h>
#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/platform/posix/FileState.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <new>
#include <string>

namespace cvq::platform {

struct FileMapping {
    int fd = -1;
    uint64_t size = 0;
    int protection = PROT_READ;
};

namespace {

constexpr DWORD kFileInvalid = 1006;      // an empty file has nothing to map
constexpr DWORD kMappedAlignment = 1132;  // the offset misses the allocation granularity

// A descriptor of its own for the mapping: write-only descriptors cannot back a shared
// writable map, so those are reopened for reading and writing (the file's permissions
// are checked again).
int OwnDescriptor(int fd, EViewAccess access) {
    int mode = ::fcntl(fd, F_GETFL);
    if (mode < 0) return -1;
    if ((mode & O_ACCMODE) == O_WRONLY || (mode & O_PATH)) {
        if (access == EViewAccess::Read || (mode & O_PATH)) {
            errno = EACCES;
            return -1;
        }
        std::string self = "/proc/self/fd/" + std::to_string(fd);
        return ::open(self.c_str(), O_RDWR | O_CLOEXEC);
    }
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

// Allocates the blocks between `from` and `to`, which extends the file: a full disk
// shows here instead of as SIGBUS on a later store into the view.
int Grow(int fd, uint64_t from, uint64_t to) {
    int result;
    do {
        result = ::posix_fallocate(fd, static_cast<off_t>(from), static_cast<off_t>(to - from));
    } while (result == EINTR);
    if (result == EOPNOTSUPP || result == EINVAL) {
        // No block allocation here (some network and special file systems): a sparse
        // extension is the best there is.
        result = ::ftruncate(fd, static_cast<off_t>(to)) == 0 ? 0 : errno;
    }
    return result;
}

}  // namespace

size_t MappingGranularity() {
    static const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    return page;
}

FileMapping* CreateFileMapping(FileHandle* file, uint64_t size, EViewAccess access, DWORD& error) {
    if (!file || file->fd < 0) {
        error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if (FailureFires(EFailureSeam::CreateMapping)) return posix::Fail(error), nullptr;
    // A stream's buffered bytes belong in the file before its pages are mapped.
    if (file->stream && !posix::StreamFlush(*file, error)) return nullptr;
    int fd = OwnDescriptor(file->fd, access);
    if (fd < 0) return posix::Fail(error), nullptr;
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        posix::Fail(error);
        ::close(fd);
        return nullptr;
    }
    uint64_t current = static_cast<uint64_t>(info.st_size);
    if (size == 0) size = current;
    if (size > current) {
        if (access == EViewAccess::Read) {
            error = ERROR_ACCESS_DENIED;  // a read-only mapping cannot extend the file
            ::close(fd);
            return nullptr;
        }
        int result = Grow(fd, current, size);
        if (result != 0) {
            error = WindowsErrorFromErrno(result);
            if (::ftruncate(fd, static_cast<off_t>(current)) != 0) {
                // The old size could not be restored; the error above still stands.
            }
            ::close(fd);
            return nullptr;
        }
    }
    auto* mapping = new (std::nothrow) FileMapping;
    if (!mapping) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        ::close(fd);
        return nullptr;
    }
    mapping->fd = fd;
    mapping->size = size;
    mapping->protection = access == EViewAccess::Read ? PROT_READ : PROT_READ | PROT_WRITE;
    return mapping;
}

bool ExtendFileMapping(FileMapping* mapping, uint64_t size, DWORD& error) {
    if (!mapping) {
        error = ERROR_INVALID_HANDLE;
        return false;
    }
    if (size <= mapping->size) return true;
    if (mapping->protection == PROT_READ) {
        error = ERROR_ACCESS_DENIED;
        return false;
    }
    if (FailureFires(EFailureSeam::CreateMapping)) return posix::Fail(error);
    struct stat info;
    if (::fstat(mapping->fd, &info) != 0) return posix::Fail(error);
    uint64_t current = static_cast<uint64_t>(info.st_size);
    if (size > current) {
        int result = Grow(mapping->fd, current, size);
        if (result != 0) {
            error = WindowsErrorFromErrno(result);
            if (::ftruncate(mapping->fd, static_cast<off_t>(current)) != 0) {
                // The old size could not be restored; the error above still stands.
            }
            return false;
        }
    }
    mapping->size = size;
    return true;
}

uint64_t MappingSize(const FileMapping* mapping) {
    return mapping ? mapping->size : 0;
}

void CloseFileMapping(FileMapping* mapping) {
    if (!mapping) return;
    ::close(mapping->fd);
    delete mapping;
}

void* MapView(FileMapping* mapping, uint64_t offset, size_t size, DWORD& error) {
    if (!mapping) {
        error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if (mapping->size == 0) {
        error = kFileInvalid;
        return nullptr;
    }
    if (offset % MappingGranularity() != 0) {
        error = kMappedAlignment;
        return nullptr;
    }
    if (offset >= mapping->size || size > mapping->size - offset) {
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    if (size == 0) size = static_cast<size_t>(mapping->size - offset);
    if (FailureFires(EFailureSeam::MapView)) return posix::Fail(error), nullptr;
    void* address = ::mmap(nullptr, size, mapping->protection, MAP_SHARED, mapping->fd,
                           static_cast<off_t>(offset));
    if (address == MAP_FAILED) return posix::Fail(error), nullptr;
    return address;
}

bool UnmapView(void* address, size_t size, DWORD& error) {
    if (::munmap(address, size) != 0) return posix::Fail(error);
    return true;
}

bool FlushView(void* address, size_t size, DWORD& error) {
    if (::msync(address, size, MS_SYNC) != 0) return posix::Fail(error);
    return true;
}

}  // namespace cvq::platform
