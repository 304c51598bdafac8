// commonvcqx/platform/internal/HostStrings.h
//
// The host executable's string resources: a text file "<executable>.strings" beside
// it, one "id=text" line per string. In the text, \n, \r, \t and \\ stand for a line
// feed, a carriage return, a tab and a backslash; a text is cut to 999 characters.
// Lines that do not start with a number are ignored; the first line of an id wins.
//
//   const char* text = cvq::platform::FindHostString(20001);   // null when absent
#pragma once

#include <cstdint>

namespace cvq::platform {

/// The text of `id`, or null when the file or the id is absent. The file is read on
/// the first lookup; texts stay valid for the life of the process.
const char* FindHostString(int32_t id);

/// Reads the strings from `path` from now on (null: the executable's file again).
/// Texts found before stay valid.
void SetHostStringsFile(const char* path);

}  // namespace cvq::platform
