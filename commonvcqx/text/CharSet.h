// commonvcqx/text/CharSet.h
//
// TCharSet: a TBitSet256 built from the characters of a text.
//
//   TCharSet vowels("aeiou");
//   vowels.IsSet('e');          // 1
//   vowels.IsSet('x');          // 0
#pragma once

#include <commonvcqx/text/BitSet256.h>

class TCharSet : public TBitSet256 {
public:
    TCharSet() noexcept = default;
    TCharSet(const TBitSet256& bits) noexcept : TBitSet256(bits) {}
    TCharSet(const TCharSet& other) noexcept = default;
    TCharSet& operator=(const TCharSet& other) noexcept = default;
    /// Every byte of `text` up to its NUL; null gives an empty set.
    explicit TCharSet(const char* text) noexcept;
};
