// commonvcqx/text/BitSet256.h
//
// TBitSet256: a set of the 256 byte values in 32 bytes. Value c is bit (c & 7) of
// byte (c >> 3), so the lowest bit of byte 0 stands for value 0.
//
//   TBitSet256 digits;
//   for (unsigned char c = '0'; c <= '9'; ++c) digits.Enable(c);
//   TBitSet256 others = ~digits;
//   others.IsSet('x');          // 1
#pragma once

#include <cstdint>
#include <cstring>

class TBitSet256 {
public:
    /// The bit of value c within its byte is s_masks[c & 7].
    static const unsigned char s_masks[8];

    /// An empty set.
    TBitSet256() noexcept { std::memset(m_bits, 0, sizeof m_bits); }
    TBitSet256(const TBitSet256& other) noexcept {
        std::memcpy(m_bits, other.m_bits, sizeof m_bits);
    }
    TBitSet256& operator=(const TBitSet256& other) noexcept {
        std::memmove(m_bits, other.m_bits, sizeof m_bits);
        return *this;
    }

    void Enable(unsigned char c) noexcept { m_bits[GetLocation(c)] |= GetMask(c); }
    void Disable(unsigned char c) noexcept {
        m_bits[GetLocation(c)] &= static_cast<unsigned char>(~GetMask(c));
    }
    /// 1 when c is in the set, else 0.
    char IsSet(unsigned char c) const noexcept {
        return (m_bits[GetLocation(c)] & GetMask(c)) != 0;
    }
    bool IsEmpty() const noexcept;
    /// Inverts all 256 bits in place.
    void Negate() noexcept;
    TBitSet256 operator~() const noexcept;
    TBitSet256& operator&=(const TBitSet256& other) noexcept;
    TBitSet256& operator|=(const TBitSet256& other) noexcept;

    friend TBitSet256 operator&(const TBitSet256& a, const TBitSet256& b) noexcept;
    friend TBitSet256 operator|(const TBitSet256& a, const TBitSet256& b) noexcept;
    friend bool operator==(const TBitSet256& a, const TBitSet256& b) noexcept;

private:
    static unsigned GetLocation(unsigned char c) noexcept { return c >> 3; }
    static unsigned char GetMask(unsigned char c) noexcept { return s_masks[c & 7]; }

    unsigned char m_bits[32];
};
