// Shared modules through the dynamic loader.
#include <commonvcqx/platform/internal/SharedModules.h>

#include <dlfcn.h>

#include <cstdio>

namespace cvq::platform {
namespace {

// Copied: the loader's own text lasts only until its next call.
thread_local char lastError[512];

void NoteError() noexcept {
    const char* text = dlerror();
    std::snprintf(lastError, sizeof lastError, "%s", text ? text : "");
}

}  // namespace

void* OpenSharedModule(const char* path) noexcept {
    lastError[0] = '\0';
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!module) NoteError();
    return module;
}

void* FindModuleSymbol(void* module, const char* name) noexcept {
    lastError[0] = '\0';
    dlerror();
    void* symbol = dlsym(module, name);
    if (!symbol) NoteError();
    return symbol;
}

bool CloseSharedModule(void* module) noexcept {
    lastError[0] = '\0';
    if (dlclose(module) == 0) return true;
    NoteError();
    return false;
}

const char* LastSharedModuleError() noexcept {
    return lastError;
}

}  // namespace cvq::platform
