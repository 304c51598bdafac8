// commonvcqx/platform/internal/FailureSeams.h
//
// The platform layer's one failure-injection table. A test arms a seam to make the Nth
// following call of one operation fail with a system error number, the way a full disk
// or an exhausted address space would; the operation reports it through its usual
// failure path (Windows error code, null, false). Each armed seam fires once. The
// table is constant-initialized and never allocates, so the memory seams work inside
// malloc.
//
//   cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Write, 2, ENOSPC);
//   cvq::platform::WriteFile(file, "a", 1, done, error);   // succeeds
//   cvq::platform::WriteFile(file, "b", 1, done, error);   // false, error 112 (disk full)
//   cvq::platform::DisarmFailures();
#pragma once

#include <cstdint>

namespace cvq::platform {

/// The operations a test can make fail.
enum class EFailureSeam : uint8_t {
    Open,           ///< OpenFile
    Write,          ///< each write attempt of WriteFile and WriteFileAt (also on a stream)
    Sync,           ///< SyncFile
    Rename,         ///< RenameFile and the final rename of ReplaceFileContents
    Reserve,        ///< ReserveRegion and MovePages
    Commit,         ///< CommitPages
    CreateMapping,  ///< CreateFileMapping and ExtendFileMapping
    MapView,        ///< MapView
    Read,           ///< each read attempt of ReadFile and ReadFileAt
};
inline constexpr int kFailureSeamCount = 9;

/// Arms `seam`: the `nth` following call (1 = the next; 0 or less = never) fails with
/// the system error number `errorNumber` (28 for a full disk, 12 for short memory).
/// Arming again replaces what was armed before.
void FailNthOperation(EFailureSeam seam, int nth, int errorNumber);

/// Disarms every seam; tests call it after each case so that no failure leaks into the
/// next one.
void DisarmFailures();

/// True while a failure armed on `seam` is still to come.
bool FailureArmed(EFailureSeam seam);

/// Asked by the platform layer's operations before they act: true, with errno set to the
/// armed number, when this call is the one armed to fail.
bool FailureFires(EFailureSeam seam);

}  // namespace cvq::platform
