// commonvcqx/files/internal/FileFolders.h
//
// The folder of a program file, shared by TFileName's application path and TFile's
// module folders.
#pragma once

#include <commonvcqx/files/FileName.h>

#include <string>

namespace cvq::detail {

/// The folder of `file` (a library name, or a native path no drive maps: its folder
/// then ends at the last "/"); empty for a name without a folder.
TFileName FolderOfFile(const std::string& file);

}  // namespace cvq::detail
