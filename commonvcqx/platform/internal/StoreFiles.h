// commonvcqx/platform/internal/StoreFiles.h
//
// What a small file-backed store needs beside Files.h: a stamp that tells whether a
// file changed since it was read, a lock file held across a read-modify-write, and the
// user's configuration folder.
//
//   DWORD error = 0;
//   cvq::platform::FileHandle* lock = cvq::platform::OpenLockedFile(dir + "/a.lock", error);
//   ...read, change, ReplaceFileContents...
//   cvq::platform::CloseFile(lock, error);   // releases the lock
#pragma once

#include <commonvcqx/platform/WinTypes.h>
#include <commonvcqx/platform/internal/Files.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace cvq::platform {

/// Identity, size and change times of a file. A file replaced by a rename gets a new
/// identity, so equal stamps mean the same contents as far as the system can tell.
struct TFileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = -1;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;

    bool operator==(const TFileStamp&) const = default;
};

/// The stamp of the file `name` (symbolic links followed); false with `error` (2 for a
/// missing file).
bool GetFileStamp(std::string_view name, TFileStamp& stamp, DWORD& error);

/// The whole contents of `name` and the stamp of the very file read. Takes no sharing
/// lock, so a reader never stops ReplaceFileContents; a file replaced by a rename is
/// read whole, old or new. False with `error` (2 for a missing file).
bool ReadWholeFile(std::string_view name, std::string& contents, TFileStamp& stamp, DWORD& error);

/// Opens `name` for reading and writing, creating it when missing, and waits until the
/// new handle holds the exclusive lock of the file. The lock belongs to the handle, so
/// two threads of one process exclude each other as two processes do; CloseFile
/// releases it, and so does the end of the process. Null with `error` when the file
/// cannot be opened or locked.
FileHandle* OpenLockedFile(std::string_view name, DWORD& error);

/// $XDG_CONFIG_HOME when it is set to an absolute path, else $HOME/.config, else the
/// home folder of the user's account followed by /.config; false when none is known.
bool GetUserConfigDirectory(std::string& directory);

}  // namespace cvq::platform
