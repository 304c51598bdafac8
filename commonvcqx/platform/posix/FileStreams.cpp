// The C library's buffered FILE* streams as a file back end (open flag 0x20000). The
// stream sits over the handle's descriptor, so sizes, times, locks and mappings keep
// working on fd once the buffered bytes are handed over with StreamFlush.
#include <commonvcqx/platform/ErrorCodes.h>
#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/platform/internal/Files.h>
#include <commonvcqx/platform/posix/FileState.h>

#include <fcntl.h>
#include <sys/types.h>
#include <cerrno>
#include <cstdio>

namespace cvq::platform::posix {

namespace {

constexpr int kRead = 1, kWrite = 2;

// C streams need a seek between a write and a following read and the other way round.
bool Turn(FileHandle& file, int next, DWORD& error) {
    if (file.streamLast != 0 && file.streamLast != next && ::fseeko(file.stream, 0, SEEK_CUR) != 0)
        return Fail(error);
    file.streamLast = next;
    return true;
}

}  // namespace

bool AttachStream(FileHandle& file, int oflags, bool unbuffered, DWORD& error) {
    int access = oflags & O_ACCMODE;
    // "w" over an open descriptor does not truncate it.
    const char* mode = access == O_RDWR ? "r+b" : access == O_WRONLY ? "wb" : "rb";
    file.stream = ::fdopen(file.fd, mode);
    if (!file.stream) return Fail(error);
    if (unbuffered) ::setvbuf(file.stream, nullptr, _IONBF, 0);
    return true;
}

bool StreamRead(FileHandle& file, void* buffer, size_t count, size_t& done, DWORD& error) {
    done = 0;
    if (!Turn(file, kRead, error)) return false;
    if (FailureFires(EFailureSeam::Read)) return Fail(error);
    errno = 0;
    done = ::fread(buffer, 1, count, file.stream);
    if (done < count && ::ferror(file.stream)) {
        ::clearerr(file.stream);
        error = errno ? WindowsErrorFromErrno(errno) : ERROR_IO_DEVICE;
        return false;
    }
    ::clearerr(file.stream);  // the end of the file is no lasting state
    return true;
}

bool StreamWrite(FileHandle& file, const void* data, size_t count, size_t& done, DWORD& error) {
    done = 0;
    if (!Turn(file, kWrite, error)) return false;
    if (FailureFires(EFailureSeam::Write)) return Fail(error);
    errno = 0;
    done = ::fwrite(data, 1, count, file.stream);
    if (done < count) {
        ::clearerr(file.stream);
        error = errno ? WindowsErrorFromErrno(errno) : ERROR_DISK_FULL;
        return false;
    }
    return true;
}

int64_t StreamSeek(FileHandle& file, int64_t offset, int whence, DWORD& error) {
    file.streamLast = 0;
    if (::fseeko(file.stream, static_cast<off_t>(offset), whence) != 0) {
        error = errno == EINVAL ? ERROR_NEGATIVE_SEEK : WindowsErrorFromErrno(errno);
        return -1;
    }
    off_t position = ::ftello(file.stream);
    if (position < 0) return Fail(error), -1;
    return position;
}

bool StreamFlush(FileHandle& file, DWORD& error) {
    if (::fflush(file.stream) != 0) {
        ::clearerr(file.stream);
        return Fail(error);
    }
    file.streamLast = 0;  // a flush allows either transfer next
    return true;
}

}  // namespace cvq::platform::posix
