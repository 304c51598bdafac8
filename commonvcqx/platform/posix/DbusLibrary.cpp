#include "DbusLibrary.h"

#include <dlfcn.h>

namespace cvq::platform {

namespace {

bool Load(TDbusLibrary& functions) {
    // Never closed: libdbus keeps global state and threads' locks for the process.
    void* library = dlopen("libdbus-1.so.3", RTLD_NOW | RTLD_LOCAL);
    if (!library) return false;
    bool complete = true;
#define CVQ_DBUS_RESOLVE(name)                                                   \
    functions.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name)); \
    complete = complete && functions.name != nullptr;
    CVQ_DBUS_FUNCTIONS(CVQ_DBUS_RESOLVE)
#undef CVQ_DBUS_RESOLVE
    return complete;
}

}  // namespace

const TDbusLibrary* DbusLibrary() {
    static TDbusLibrary functions;
    static const bool loaded = Load(functions);
    return loaded ? &functions : nullptr;
}

}  // namespace cvq::platform
