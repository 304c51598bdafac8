// commonvcqx/text/Checksums.h
//
// The two checksums of the library: CRC-16/ARC and the standard CRC-32 (the one that
// seals tagged streams). Both are bit-exact with the values stored in existing files.
//
//   ComputeCrc32("123456789", 9);   // 0xCBF43926
//   ComputeCrc16("123456789", 9);   // 0xBB3D
//
// CRC-32 runs on carry-less multiplication where the processor has it, otherwise on
// eight-way table slicing; the two give the same values.
#pragma once

#include <cstdint>

/// CRC-16/ARC: reflected polynomial 0x8005, initial value 0, no final inversion.
uint16_t ComputeCrc16(const void* data, uint32_t size);

/// CRC-32: reflected polynomial 0xEDB88320, initial value and final inversion 0xFFFFFFFF.
uint32_t ComputeCrc32(const void* data, uint32_t size);
