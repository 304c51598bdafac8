// commonvcqx/platform/FileFlags.h
//
// Names for the bits of TFile's open flags word, used by the files and by the platform
// layer that opens them. The numbers are the library's own and stay as they are.
//
//   using namespace cvq::open_flags;
//   TFile file(name, kCreate | kShareRead);   // the same as TFile file(name, 0x30)
#pragma once

#include <cstdint>

namespace cvq::open_flags {

inline constexpr int32_t kQueryOnly = 0x1, kReadAccess = 0x2, kWriteAccess = 0x4;
inline constexpr int32_t kReadWrite = 0x8, kAccessBits = 0xF;
inline constexpr int32_t kCreate = 0x10;
inline constexpr int32_t kShareRead = 0x20, kShareWrite = 0x40, kShareAll = 0x80;
inline constexpr int32_t kExclusive = 0x100;
/// The system deletes the file at close; on a C stream file the library does.
inline constexpr int32_t kSystemDeletes = 0x200, kLibraryDeletes = 0x400;
inline constexpr int32_t kTempInDirectory = 0x800, kKeepReadOnly = 0x1000;
inline constexpr int32_t kOwnLock = 0x2000, kOverlapped = 0x4000, kReadCache = 0x8000;
inline constexpr int32_t kWriteBehind = 0x10000, kMultimedia = 0x20000, kNoThrow = 0x40000;
inline constexpr int32_t kKeepWrittenSize = 0x80000, kReadCacheRecord = 0x100000;
inline constexpr int32_t kUnbuffered = 0x1000000, kTemporary = 0x2000000, kHidden = 0x4000000;
inline constexpr int32_t kWriteThrough = 0x8000000, kRandomAccess = 0x10000000;
inline constexpr int32_t kSequentialScan = 0x20000000;

}  // namespace cvq::open_flags

namespace cvq::file_attributes {

/// The library's attribute bits (TFile::GetAttributes); archive and system are never
/// reported.
inline constexpr int32_t kNormal = 0x1, kReadOnly = 0x2, kHidden = 0x4, kDirectory = 0x10;

}  // namespace cvq::file_attributes
