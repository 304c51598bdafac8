// commonvcqx/platform/Drives.h
//
// Library file names keep their Windows form ("C:\home\ann\song.wav"); this drive
// table maps each letter to a native directory and translates names both ways at the
// system call. By default only C: is mapped, to "/". A name that starts with "/" is
// already native and passes unchanged; a relative name stays relative to the working
// directory. The table may be changed at any time from any thread.
//
//   MapDrive('D', "/mnt/data");
//   std::string native;
//   NativePathFromFileName("D:\\takes\\one.wav", native);   // "/mnt/data/takes/one.wav"
//   FileNameFromNativePath("/mnt/data/takes");              // "D:\\takes"
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cvq {

/// Kinds of drive with the library's numbers (TFile::EDriveType).
enum EDriveType : int32_t {
    kDriveUnknown = 0,
    kDriveNoRootDir = -1,
    kDriveFloppy = 1,
    kDriveRemovable = 2,
    kDriveFixed = 3,
    kDriveRemote = 4,
    kDriveCdRom = 5,
    kDriveRamDisk = 6,
};

}  // namespace cvq

/// Maps drive `letter` (either case) to the absolute native directory `nativeRoot`.
/// False, and nothing changed, for a letter outside A–Z or a root not starting with "/".
bool MapDrive(char letter, std::string_view nativeRoot);

/// Removes a drive; its letter then names a drive that does not exist.
void UnmapDrive(char letter);

/// Native root of a drive, or an empty string when the letter is not mapped.
std::string GetDriveRoot(char letter);

/// Translates a library file name to a native path: separators become "/", "." and
/// ".." are resolved inside the drive (never above its root, as on Windows), and a
/// name without a drive that starts with a separator lies on the current drive.
/// False, with `native` untouched, for an empty name, a drive that is not mapped or a
/// network (UNC) name.
bool NativePathFromFileName(std::string_view name, std::string& native);

/// Library name of a native path: the longest mapped root holding an absolute path
/// gives its drive (the lowest letter among equal roots); a path under no root stays
/// native. Relative paths only have their separators turned into "\".
std::string FileNameFromNativePath(std::string_view native);

namespace cvq::platform {

/// The working directory in library form, e.g. "C:\home\ann".
std::string CurrentDirectoryName();

}  // namespace cvq::platform
