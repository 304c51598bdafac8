// commonvcqx/containers/internal/ContainerFailures.h
//
// How the containers report a heap that gave up: the library's out-of-memory exception.
#pragma once

namespace cvq::detail {

[[noreturn]] void ThrowContainerOutOfMemory();

}  // namespace cvq::detail
