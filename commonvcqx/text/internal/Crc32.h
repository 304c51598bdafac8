// commonvcqx/text/internal/Crc32.h
//
// The two CRC-32 engines behind ComputeCrc32, exposed so that tests can hold them
// against each other. Both work on the inverted running value (start with ~0u, invert
// the result).
#pragma once

#include <cstddef>
#include <cstdint>

namespace cvq::detail {

/// Table slicing, eight bytes a step; runs everywhere.
uint32_t Crc32Slicing(uint32_t crc, const unsigned char* data, size_t size) noexcept;

/// True when the processor has carry-less multiplication (and SSE4.1).
bool HasCarrylessMultiply() noexcept;

/// Carry-less multiplication folding; only when HasCarrylessMultiply().
uint32_t Crc32Carryless(uint32_t crc, const unsigned char* data, size_t size) noexcept;

}  // namespace cvq::detail
