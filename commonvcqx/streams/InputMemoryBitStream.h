// commonvcqx/streams/InputMemoryBitStream.h
//
// TInputMemoryBitStream: reads a memory block bit by bit, the most significant bit
// of each byte first. The length is recorded, not checked: the caller keeps the
// reads inside the block (GetBitPosition tells how far it has got).
//
//   const char data[] = {char(0xA0)};
//   TInputMemoryBitStream bits(data, 8, 0);
//   bits.GetBits(3);                           // 5 (binary 101)
#pragma once

#include <cstdint>

class TInputMemoryBitStream {
public:
    /// Reading starts at bit `startBit` of `data`; `length` is kept for the caller.
    TInputMemoryBitStream(const char* data, int32_t length, int32_t startBit) noexcept
        : m_data(reinterpret_cast<const unsigned char*>(data)),
          m_bitPosition(startBit),
          m_length(length) {}
    TInputMemoryBitStream(const TInputMemoryBitStream&) noexcept = default;
    TInputMemoryBitStream& operator=(const TInputMemoryBitStream&) noexcept = default;

    /// The next bit, 0 or 1.
    int GetOneBit() noexcept {
        const uint32_t p = uint32_t(m_bitPosition++);
        return (m_data[p >> 3] >> (7 - (p & 7))) & 1;
    }
    /// The next `n` bits, the first read as the most significant; bits beyond the
    /// 32 of the result are shifted out.
    uint32_t GetBits(int n) noexcept {
        uint32_t value = 0;
        for (int i = 0; i < n; ++i) value = (value << 1) | uint32_t(GetOneBit());
        return value;
    }

    int32_t GetBitPosition() const noexcept { return m_bitPosition; }
    int32_t GetLength() const noexcept { return m_length; }

private:
    const unsigned char* m_data;
    int32_t m_bitPosition;
    int32_t m_length;
};
