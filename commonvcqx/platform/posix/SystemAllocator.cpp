// The C library's allocator as the heaps' hooks see it: its own block sizes through the
// next malloc_usable_size, its errno conventions, fork handlers.
#include <commonvcqx/platform/internal/SystemAllocator.h>

#include <dlfcn.h>
#include <pthread.h>
#include <atomic>
#include <cerrno>

namespace cvq::platform {

size_t ForeignBlockSize(void* p) {
    using TSizeFunction = size_t (*)(void*);
    static std::atomic<TSizeFunction> original{nullptr};
    TSizeFunction function = original.load(std::memory_order_acquire);
    if (!function) {
        function = reinterpret_cast<TSizeFunction>(dlsym(RTLD_NEXT, "malloc_usable_size"));
        if (!function) return 0;
        original.store(function, std::memory_order_release);
    }
    return function(p);
}

int SetOutOfMemoryError() {
    errno = ENOMEM;
    return ENOMEM;
}

int InvalidArgumentError() {
    return EINVAL;
}

void RunAroundFork(void (*prepare)(), void (*parent)(), void (*child)()) {
    pthread_atfork(prepare, parent, child);
}

}  // namespace cvq::platform
