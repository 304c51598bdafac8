// commonvcqx/platform/internal/SharedModules.h
//
// Loading and unloading shared modules at run time and finding their exported symbols.
//
//   void* module = cvq::platform::OpenSharedModule("/opt/host/libfx.so");
//   if (!module) Report(cvq::platform::LastSharedModuleError());
//   auto* entry = cvq::platform::FindModuleSymbol(module, "FxEntry");
//   cvq::platform::CloseSharedModule(module);
#pragma once

namespace cvq::platform {

/// Loads the module with all its symbols bound now and kept to itself; loading it
/// again counts up. Null on failure.
void* OpenSharedModule(const char* path) noexcept;
/// Loads a module named as the library names files: a name with a drive, a folder or
/// a "/" goes through the drive table; a bare name ("libfx.so") is looked for beside
/// the executable first and then where the loader searches. Null on failure (an
/// unmapped drive included), with the reason in LastSharedModuleError.
void* OpenModuleByName(const char* name) noexcept;
/// The running program's own module (never unloaded).
void* ProgramModule() noexcept;
/// The address of an exported symbol, or null.
void* FindModuleSymbol(void* module, const char* name) noexcept;
/// Counts a load down; the last one unloads the module, running its static destructors
/// (a module the system must keep, such as one whose thread_local objects still live,
/// stays until the process ends). False on failure.
bool CloseSharedModule(void* module) noexcept;
/// Why the last of these calls on this thread failed; "" when it did not.
const char* LastSharedModuleError() noexcept;

}  // namespace cvq::platform
