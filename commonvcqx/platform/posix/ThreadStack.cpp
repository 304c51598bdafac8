// The calling thread's stack bounds, read once per thread into initial-exec TLS.
#include <commonvcqx/platform/internal/Threads.h>

#include <pthread.h>
#include <cstdint>

namespace cvq::platform {
namespace {

struct TStackBounds {
    uintptr_t low;
    uintptr_t high;
};

__attribute__((tls_model("initial-exec"))) thread_local TStackBounds stackBounds{0, 0};

}  // namespace

bool IsOnCurrentStack(const void* p) {
    TStackBounds& bounds = stackBounds;
    if (bounds.high == 0) {
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) != 0) return false;
        void* low = nullptr;
        size_t size = 0;
        pthread_attr_getstack(&attr, &low, &size);
        pthread_attr_destroy(&attr);
        bounds.low = reinterpret_cast<uintptr_t>(low);
        bounds.high = bounds.low + size;
    }
    uintptr_t address = reinterpret_cast<uintptr_t>(p);
    return address >= bounds.low && address < bounds.high;
}

}  // namespace cvq::platform
