// commonvcqx/platform/internal/ExecutableFile.h
//
// Where the running program's executable file, and the modules it loaded, lie, in
// library form.
//
//   std::string exe = cvq::platform::ExecutableFileName();   // "C:\usr\bin\editor"
#pragma once

#include <string>

namespace cvq::platform {

/// The full name of the process's executable file as FileNameFromNativePath gives it
/// (a native path when no drive maps it); "" when the system cannot tell. The name is
/// never cut, however long.
std::string ExecutableFileName();

/// The file of a module loaded with OpenSharedModule (null: the executable) in library
/// form, as ExecutableFileName gives it; "" for a handle the loader does not know.
std::string ModuleFileName(void* module);

}  // namespace cvq::platform
