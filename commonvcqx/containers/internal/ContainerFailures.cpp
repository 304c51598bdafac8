// The containers' out-of-memory report.
#include <commonvcqx/containers/internal/ContainerFailures.h>
#include <commonvcqx/frame/ExceptionThrower.h>

#include <new>

namespace cvq::detail {

void ThrowContainerOutOfMemory() {
    TExceptionThrower(0).SetAndThrow("Out of memory");
    throw std::bad_alloc();  // a posting thrower returns; this one does not
}

}  // namespace cvq::detail
