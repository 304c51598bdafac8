// commonvcqx/files/internal/OpenFlags.h
//
// Names for the bits of TFile's open flags word, shared by the files' sources.
#pragma once

namespace cvq::detail::open_flags {

constexpr int kQueryOnly = 0x1, kReadAccess = 0x2, kWriteAccess = 0x4, kReadWrite = 0x8;
constexpr int kAccessBits = 0xF;
constexpr int kCreate = 0x10;
constexpr int kShareRead = 0x20, kShareWrite = 0x40, kShareAll = 0x80, kExclusive = 0x100;
constexpr int kSystemDeletes = 0x200, kLibraryDeletes = 0x400, kTempInDirectory = 0x800;
constexpr int kKeepReadOnly = 0x1000, kOwnLock = 0x2000, kOverlapped = 0x4000;
constexpr int kReadCache = 0x8000, kWriteBehind = 0x10000, kMultimedia = 0x20000;
constexpr int kNoThrow = 0x40000, kKeepWrittenSize = 0x80000, kReadCacheRecord = 0x100000;
constexpr int kUnbuffered = 0x1000000, kTemporary = 0x2000000, kHidden = 0x4000000;
constexpr int kWriteThrough = 0x8000000, kRandomAccess = 0x10000000, kSequentialScan = 0x20000000;

}  // namespace cvq::detail::open_flags
