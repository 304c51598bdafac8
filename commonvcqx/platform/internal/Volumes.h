// commonvcqx/platform/internal/Volumes.h
//
// Volumes behind the drive letters: what kind of device a drive's root lies on, the
// label of its file system, and the module files GetAppPath names. A volume is the
// file system mounted at or above the drive's native root (the longest mount point
// holding it). Roots are library names such as "D:\".
//
//   DWORD error = 0;
//   std::string label;
//   if (cvq::platform::GetVolumeLabel("D:\\", label, error)) Show(label);
//   int32_t kind = cvq::platform::GetDriveKind("D:\\");   // 6 for a RAM disk
#pragma once

#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/WinTypes.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace cvq::platform {

/// Kind of the volume holding `root`: tmpfs and ramfs are RAM disks, network file
/// systems remote, iso9660 and udf CD-ROMs, a block device that the kernel marks
/// removable a removable drive (never kDriveFloppy: see IsFloppyDevice), anything else
/// fixed. kDriveNoRootDir when the root is unmapped or missing, kDriveUnknown when the
/// mount table cannot be read.
EDriveType GetDriveKind(std::string_view root);

/// The volume's label: the file system's own label when it has a non-empty one that
/// can be read (from the file system, else from /dev/disk/by-label), else the last
/// component of the mount point ("" for "/"). False with `error` when the root cannot
/// be reached.
bool GetVolumeLabel(std::string_view root, std::string& label, DWORD& error);

/// Gives the volume the label `label`. A label equal to the current one succeeds
/// without asking the system; otherwise the file system is asked to change it, which
/// needs administrator rights (error 5 without them) and a file system with labels
/// (error 50 without).
bool SetVolumeLabel(std::string_view root, std::string_view label, DWORD& error);

/// The volume stores its files compressed (squashfs, or a file system mounted with a
/// compression option). False when unknown.
bool IsCompressedVolume(std::string_view root);

/// The volume lies on a floppy disk drive (a block device of the floppy driver).
bool IsFloppyDevice(std::string_view root);

/// Test seam: read the mount table from `path` (in /proc/self/mountinfo form) from now
/// on; null returns to the system's.
void SetMountTableFile(const char* path);

}  // namespace cvq::platform
