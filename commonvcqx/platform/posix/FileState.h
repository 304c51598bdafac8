// The open file behind a FileHandle, and the helpers every POSIX file source shares.
// Private to platform/posix.
#pragma once

#include <commonvcqx/platform/WinTypes.h>
#include <commonvcqx/platform/internal/Files.h>

#include <string>
#include <string_view>

namespace cvq::platform {

struct FileHandle {
    int fd = -1;
    int lockFd = -1;            // a second description carrying the sharing lock, when fd cannot
    std::string deleteOnClose;  // native path unlinked at close; empty when none
};

namespace posix {

/// Sets `error` to the Windows code of errno; always false, to end a failing call.
bool Fail(DWORD& error);
/// The native path of a library name; false with `error` for an unmapped drive.
bool Native(std::string_view name, std::string& native, DWORD& error);
/// True (with errno set) when the test seam makes this operation fail.
bool SeamFires(FileOperation operation);

}  // namespace posix
}  // namespace cvq::platform
