// commonvcqx/text/BitSet256.cpp
#include <commonvcqx/text/BitSet256.h>
#include <commonvcqx/text/CharSet.h>

const unsigned char TBitSet256::s_masks[8] = {1, 2, 4, 8, 16, 32, 64, 128};

bool TBitSet256::IsEmpty() const noexcept {
    for (unsigned char byte : m_bits)
        if (byte) return false;
    return true;
}

void TBitSet256::Negate() noexcept {
    for (unsigned char& byte : m_bits) byte = static_cast<unsigned char>(~byte);
}

TBitSet256 TBitSet256::operator~() const noexcept {
    TBitSet256 result(*this);
    result.Negate();
    return result;
}

TBitSet256& TBitSet256::operator&=(const TBitSet256& other) noexcept {
    for (unsigned i = 0; i < sizeof m_bits; ++i) m_bits[i] &= other.m_bits[i];
    return *this;
}

TBitSet256& TBitSet256::operator|=(const TBitSet256& other) noexcept {
    for (unsigned i = 0; i < sizeof m_bits; ++i) m_bits[i] |= other.m_bits[i];
    return *this;
}

TBitSet256 operator&(const TBitSet256& a, const TBitSet256& b) noexcept {
    TBitSet256 result(a);
    return result &= b;
}

TBitSet256 operator|(const TBitSet256& a, const TBitSet256& b) noexcept {
    TBitSet256 result(a);
    return result |= b;
}

bool operator==(const TBitSet256& a, const TBitSet256& b) noexcept {
    return std::memcmp(a.m_bits, b.m_bits, sizeof a.m_bits) == 0;
}

TCharSet::TCharSet(const char* text) noexcept {
    if (!text) return;
    for (; *text; ++text) Enable(static_cast<unsigned char>(*text));
}
