// commonvcqx/platform/internal/ModuleTexts.h
//
// The text files that stand in for a module's string-table and version resources,
// kept beside the module's file: "<module>.strings" with one "id=text" line per
// string and "<module>.version" with one "Name=value" line per value. A versioned
// shared object ("libfx.so.1.2.0") also finds the files of its unversioned name
// ("libfx.so.strings").
//
// In both texts \n, \r, \t and \\ stand for a line feed, a carriage return, a tab and
// a backslash, a text is cut to 999 characters, lines end with LF or CR LF, and the
// first line of an id or name wins. A strings line that does not start with a number
// followed by "=" is ignored (ids are read as the 32-bit run-time reads them, so they
// saturate); a version line without "=" or with an empty name is ignored, and names
// match ignoring letter case, blanks around them removed.
//
//   const cvq::platform::TStringTable& table =
//       cvq::platform::ModuleStringTable("/opt/fx/libfx.so");
//   auto text = table.find(20001);
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cvq::platform {

using TStringTable = std::map<int32_t, std::string>;
/// The values of a version file in file order, each name once.
using TVersionValues = std::vector<std::pair<std::string, std::string>>;

/// The longest text a line carries; the rest is cut off.
inline constexpr size_t kLongestModuleText = 999;

TStringTable ParseStringTable(std::string_view text);
TVersionValues ParseVersionValues(std::string_view text);

/// The value of `name` (ignoring case), or null.
const std::string* FindVersionValue(const TVersionValues& values, std::string_view name);

/// The companion files of a module's native path for a suffix such as ".strings": the
/// path with the suffix, then, for a versioned shared object, its unversioned name.
std::vector<std::string> CompanionFileNames(std::string_view modulePath, std::string_view suffix);

/// The whole text of the file at a native path; false when it cannot be read (or is
/// larger than 16 MB).
bool ReadModuleTextFile(const std::string& path, std::string& text);

/// The whole text of the first of the companion files that can be read; false when
/// none can (or one is larger than 16 MB).
bool ReadCompanionFile(std::string_view modulePath, std::string_view suffix, std::string& text);

/// The string table of the module at `modulePath`, read on first use and kept for the
/// life of the process (texts stay valid); empty when there is no strings file. Safe
/// to call from several threads.
const TStringTable& ModuleStringTable(const std::string& modulePath);

}  // namespace cvq::platform
