// commonvcqx/platform/internal/HostStrings.h
//
// The host executable's string resources: the strings file "<executable>.strings"
// beside it, read as every module's strings file is (ModuleTexts.h).
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
