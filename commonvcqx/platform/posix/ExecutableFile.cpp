// commonvcqx/platform/posix/ExecutableFile.cpp
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/internal/ExecutableFile.h>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace cvq::platform {

std::string ExecutableFileName() {
    // readlink cuts silently: grow the buffer until the link fits with room to spare.
    std::vector<char> buffer(512);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length <= 0) return std::string();
        if (size_t(length) < buffer.size())
            return FileNameFromNativePath(std::string_view(buffer.data(), size_t(length)));
        if (buffer.size() >= (size_t(1) << 20)) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

std::string ModuleFileName(void* module) {
    if (!module) return ExecutableFileName();
    // Compared, never dereferenced: a handle the loader does not know is only unequal.
    void* self = ::dlopen(nullptr, RTLD_LAZY | RTLD_NOLOAD);
    link_map* map = nullptr;
    if (!self || ::dlinfo(self, RTLD_DI_LINKMAP, &map) != 0 || !map) {
        if (self) ::dlclose(self);
        return std::string();
    }
    ::dlclose(self);
    while (map->l_prev) map = map->l_prev;
    for (bool first = true; map; map = map->l_next, first = false) {
        if (static_cast<void*>(map) != module) continue;
        if (first || !map->l_name || !map->l_name[0]) return ExecutableFileName();
        char* resolved = ::realpath(map->l_name, nullptr);
        std::string file = resolved ? resolved : map->l_name;
        std::free(resolved);
        return FileNameFromNativePath(file);
    }
    return std::string();
}

}  // namespace cvq::platform
