// Shared modules through the dynamic loader.
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/internal/SharedModules.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace cvq::platform {
namespace {

// Copied: the loader's own text lasts only until its next call.
thread_local char lastError[512];

void NoteError() noexcept {
    const char* text = dlerror();
    std::snprintf(lastError, sizeof lastError, "%s", text ? text : "");
}

std::string ExecutableFolder() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return std::string();
    std::string folder(path, size_t(length));
    return folder.substr(0, folder.rfind('/') + 1);
}

}  // namespace

void* OpenModuleByName(const char* name) noexcept {
    lastError[0] = '\0';
    if (!name || !*name) {
        std::snprintf(lastError, sizeof lastError, "no module name");
        return nullptr;
    }
    try {
        const std::string_view text(name);
        if (text.find_first_of("\\/:") == std::string_view::npos) {
            const std::string beside = ExecutableFolder() + std::string(text);
            if (::access(beside.c_str(), F_OK) == 0) return OpenSharedModule(beside.c_str());
            return OpenSharedModule(name);
        }
        std::string native;
        if (!NativePathFromFileName(text, native)) {
            std::snprintf(lastError, sizeof lastError, "%s: no such drive", name);
            return nullptr;
        }
        return OpenSharedModule(native.c_str());
    } catch (...) {  // out of memory building the path
        std::snprintf(lastError, sizeof lastError, "%s: out of memory", name);
        return nullptr;
    }
}

void* ProgramModule() noexcept {
    return ::dlopen(nullptr, RTLD_LAZY);
}

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
