#include <commonvcqx/text/Checksums.h>
#include <commonvcqx/text/internal/Crc32.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

TEST(ChecksumsTest, KnownValues) {
    EXPECT_EQ(ComputeCrc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(ComputeCrc16("123456789", 9), 0xBB3Du);
    EXPECT_EQ(ComputeCrc32(nullptr, 0), 0u);
    EXPECT_EQ(ComputeCrc16(nullptr, 0), 0u);
    EXPECT_EQ(ComputeCrc32("a", 1), 0xE8B7BE43u);
    EXPECT_EQ(ComputeCrc16("a", 1), 0xE8C1u);
    const char* fox = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(ComputeCrc32(fox, uint32_t(std::strlen(fox))), 0x414FA339u);
}

// Bit-at-a-time reference: slow but obviously the standard CRC-32.
static uint32_t ReferenceCrc32(const unsigned char* p, size_t n) {
    uint32_t crc = ~0u;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

TEST(ChecksumsTest, EnginesAgreeOnEveryLengthAndAlignment) {
    std::mt19937 rng(7);
    std::vector<unsigned char> data(5000 + 64);
    for (auto& b : data) b = static_cast<unsigned char>(rng());
    const bool clmul = cvq::detail::HasCarrylessMultiply();
    // Lengths around the folding thresholds (16, 128, 256 bytes) and a few large ones.
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 600; ++n) lengths.push_back(n);
    for (size_t n : {1023u, 1024u, 1025u, 4095u, 4096u, 4999u, 5000u}) lengths.push_back(n);
    for (size_t offset : {0u, 1u, 3u, 8u, 15u}) {
        for (size_t n : lengths) {
            const unsigned char* p = data.data() + offset;
            uint32_t expected = ReferenceCrc32(p, n);
            ASSERT_EQ(~cvq::detail::Crc32Slicing(~0u, p, n), expected) << n << " @" << offset;
            if (clmul) {
                ASSERT_EQ(~cvq::detail::Crc32Carryless(~0u, p, n), expected) << n << " @" << offset;
            }
            ASSERT_EQ(ComputeCrc32(p, uint32_t(n)), expected);
        }
    }
    // A running value carried across pieces equals one pass.
    uint32_t crc = ~0u;
    crc = clmul ? cvq::detail::Crc32Carryless(crc, data.data(), 300)
                : cvq::detail::Crc32Slicing(crc, data.data(), 300);
    crc = cvq::detail::Crc32Slicing(crc, data.data() + 300, 4700);
    EXPECT_EQ(~crc, ReferenceCrc32(data.data(), 5000));
}
