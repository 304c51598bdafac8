// commonvcqx/platform/internal/FindFiles.h
//
// Folder listings in the manner of FindFirstFileA: the entries of one folder whose
// names match a pattern, one WIN32_FIND_DATAA at a time, with the Windows attribute
// values (0x10 directory, 0x2 hidden for a name that begins with ".", 0x1 read-only
// when the owner may not write, 0x80 normal when no other bit is set). "." and ".."
// come first, as Windows lists them; the other entries follow in the caller's order.
// A symbolic link stands for what it points to; a dangling one is a file.
//
// Listing a folder costs one read of it and no stat of an ordinary file or folder:
// an entry comes with its name and its directory and hidden bits only, and
// CompleteFindData adds the size, the times and the read-only bit when the caller
// needs them. Folder paths may be longer than the system's path limit.
//
//   DWORD error = 0;
//   WIN32_FIND_DATAA entry;
//   cvq::platform::TFindHandle* find =
//       cvq::platform::FindFirstFile("C:\\tmp\\*.*", CompareFileNames, entry, error);
//   if (find) {
//       do Show(entry.cFileName);
//       while (cvq::platform::FindNextFile(find, entry, error));
//       cvq::platform::FindClose(find);
//   }
#pragma once

#include <commonvcqx/platform/WinTypes.h>

#include <cstdint>
#include <string_view>

namespace cvq::platform {

struct TFindHandle;

/// An order of entry names: negative, 0 or positive.
using TNameOrder = int (*)(const char* a, const char* b) noexcept;

/// Opens the folder of `search`, a library name whose last component is the pattern
/// ("*" or "*.*": every entry; otherwise "*" and "?" as wildcards and letters in
/// either case; a plain name's trailing dots and spaces are ignored, as Windows ignores
/// them), and gives its first entry. `order` sorts the entries (null: the folder's own order). Null
/// with `error` set when the folder cannot be read (3 when it does not exist), or with 2 when no
/// entry matches.
TFindHandle* FindFirstFile(std::string_view search, TNameOrder order, WIN32_FIND_DATAA& entry,
                           DWORD& error);
/// The next entry; false with error 18 after the last one.
bool FindNextFile(TFindHandle* find, WIN32_FIND_DATAA& entry, DWORD& error);
/// Adds the size, times (creation: birth, else last write) and read-only bit to
/// `entry`, the entry the search gave last. False with `error` when it is gone.
bool CompleteFindData(TFindHandle* find, WIN32_FIND_DATAA& entry, DWORD& error);
/// The device and inode of the folder being listed, which tell a folder reached twice
/// (through a symbolic link) from a new one; false when the system cannot say.
bool GetFindFolderId(TFindHandle* find, uint64_t& device, uint64_t& inode);
/// Ends the search and frees the handle (null is ignored).
void FindClose(TFindHandle* find);

/// True when `name` matches the search pattern `pattern` as FindFirstFile matches it.
bool MatchesFindPattern(std::string_view pattern, std::string_view name);

}  // namespace cvq::platform
