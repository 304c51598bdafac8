// commonvcqx/files/internal/FileErrors.h
//
// The file error texts (18000-18026) raised as TExceptions, shared by TFile, the mapped
// file and the writers that save through them, so each failure carries the same text
// and code wherever it is found.
#pragma once

#include <commonvcqx/text/String.h>

#include <cstdint>
#include <string>

namespace cvq::detail {

/// The text of file error `id` with its "%s" replaced by `argument` (an application's
/// table may lack the "%s"; its text is then used as it is).
TString FormatFileError(int id, const char* argument);
/// Throws file error `id` formatted with `argument` (a name or a drive), with `code`.
[[noreturn]] void ThrowFileError(int id, const char* argument, uint32_t code);
/// Throws file error `id` (a text without "%s") with `code`.
[[noreturn]] void ThrowFileError(int id, uint32_t code);

/// The system reported a full disk (112) or a full disk behind a handle (39).
bool IsDiskFull(uint32_t code);
/// "C:" for the drive `name` lies on (native names through the drive table), empty
/// when there is none.
std::string DriveOf(const char* name);
/// Drive number (0 for "A:") of the partition holding `name`, -1 when unknown.
int DriveIndexOf(const char* name);

/// Throws the disk-space TException (text 18019 naming the drive of `name`, `code`).
[[noreturn]] void ThrowNotEnoughDiskSpace(const char* name, uint32_t code);

}  // namespace cvq::detail
