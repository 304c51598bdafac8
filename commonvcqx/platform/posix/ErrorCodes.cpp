// The errno to Windows error-code table.
#include <commonvcqx/platform/ErrorCodes.h>

#include <cerrno>

DWORD WindowsErrorFromErrno(int errorNumber) {
    switch (errorNumber) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EACCES:
        case EPERM:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EXDEV:
            return ERROR_NOT_SAME_DEVICE;
        case EROFS:
            return ERROR_WRITE_PROTECT;
        case ENODEV:
        case ENXIO:
        case ENOMEDIUM:
            return ERROR_NOT_READY;
        case ETXTBSY:
            return ERROR_SHARING_VIOLATION;
        case ENOLCK:
            return ERROR_LOCK_VIOLATION;
        case ENOSYS:
        case EOPNOTSUPP:
            return ERROR_NOT_SUPPORTED;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case EPIPE:
            return ERROR_BROKEN_PIPE;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case ESPIPE:
            return ERROR_SEEK_ON_DEVICE;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EBUSY:
            return ERROR_BUSY;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EFBIG:
            return ERROR_FILE_TOO_LARGE;
        case ECANCELED:
            return ERROR_OPERATION_ABORTED;
        case EIO:
            return ERROR_IO_DEVICE;
        case ELOOP:
            return ERROR_CANT_RESOLVE_FILENAME;
        default:
            return ERROR_GEN_FAILURE;
    }
}

namespace cvq::platform {

DWORD LastSystemError() {
    return WindowsErrorFromErrno(errno);
}

}  // namespace cvq::platform
