// commonvcqx/streams/internal/ByteOrder.h
//
// Byte reversal of the stream value widths and the one place that reports a read or
// write outside a memory block.
#pragma once

#include <cstdint>
#include <cstring>

namespace cvq::detail {

template <class T>
inline T ReverseBytes(T value) noexcept {
    static_assert(sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);
    if constexpr (sizeof(T) == 2) {
        uint16_t bits;
        std::memcpy(&bits, &value, 2);
        bits = __builtin_bswap16(bits);
        std::memcpy(&value, &bits, 2);
    } else if constexpr (sizeof(T) == 4) {
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        bits = __builtin_bswap32(bits);
        std::memcpy(&value, &bits, 4);
    } else {
        uint64_t bits;
        std::memcpy(&bits, &value, 8);
        bits = __builtin_bswap64(bits);
        std::memcpy(&value, &bits, 8);
    }
    return value;
}

/// Reverses each of `count` values of `width` bytes in place.
void ReverseEach(void* values, uint32_t count, unsigned width) noexcept;

/// Throws std::out_of_range: `what` of `count` bytes at `offset` does not fit a block
/// of `size` bytes.
[[noreturn]] void ThrowOutsideBlock(const char* what, uint64_t offset, uint64_t count,
                                    uint64_t size);

}  // namespace cvq::detail
