#include <commonvcqx/streams/internal/ByteOrder.h>

#include <cstdio>
#include <stdexcept>

namespace cvq::detail {

void ReverseEach(void* values, uint32_t count, unsigned width) noexcept {
    char* p = static_cast<char*>(values);
    for (uint32_t i = 0; i < count; ++i, p += width) {
        for (unsigned lo = 0, hi = width - 1; lo < hi; ++lo, --hi) {
            const char c = p[lo];
            p[lo] = p[hi];
            p[hi] = c;
        }
    }
}

void ThrowOutsideBlock(const char* what, uint64_t offset, uint64_t count, uint64_t size) {
    char message[160];
    std::snprintf(message, sizeof message,
                  "Memory stream: %s of %llu bytes at offset %llu does not fit the block of "
                  "%llu bytes",
                  what, static_cast<unsigned long long>(count),
                  static_cast<unsigned long long>(offset), static_cast<unsigned long long>(size));
    throw std::out_of_range(message);
}

}  // namespace cvq::detail
