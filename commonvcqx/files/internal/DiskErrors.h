// commonvcqx/files/internal/DiskErrors.h
//
// The full-disk failure shared by TFile and the writers that save through it, so
// every "not enough disk space" carries the same text and code.
#pragma once

#include <cstdint>

namespace cvq::detail {

/// Drive number (0 for "A:") of the partition holding `name`, -1 when unknown.
int DriveIndexOf(const char* name);

/// Throws the disk-space TException (text 18019 naming the drive of `name`, `code`).
[[noreturn]] void ThrowNotEnoughDiskSpace(const char* name, uint32_t code);

}  // namespace cvq::detail
