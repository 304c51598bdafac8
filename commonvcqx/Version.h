// commonvcqx/Version.h
//
// The version of the library's headers. Compare with GetCommonLibraryVersion() to
// find out which library a program actually loaded.
//
//   std::printf("CommonVcQx %s\n", GetCommonLibraryVersion());
#pragma once

inline constexpr int CommonVcQxVersionMajor = 0;
inline constexpr int CommonVcQxVersionMinor = 1;
inline constexpr int CommonVcQxVersionPatch = 0;

/// Version of the loaded library as "major.minor.patch".
const char* GetCommonLibraryVersion();
