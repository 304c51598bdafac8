// The processor hint inside spin-wait loops, in one place for every architecture the
// spinning code meets. Private to platform/posix.
#pragma once

namespace cvq::platform::posix {

/// Tells the processor the caller spins: frees the core's resources for its sibling
/// and avoids the memory-order flush when the loop ends.
inline void SpinPause() noexcept {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

}  // namespace cvq::platform::posix
