// commonvcqx/text/Checksums.cpp
#include <commonvcqx/text/Checksums.h>
#include <commonvcqx/text/internal/Crc32.h>

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define CVQ_CRC_X86 1
#else
#define CVQ_CRC_X86 0
#endif

namespace {

constexpr std::array<uint16_t, 256> MakeCrc16Table() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
        table[i] = uint16_t(crc);
    }
    return table;
}

constexpr auto kCrc16Table = MakeCrc16Table();

// kCrc32Tables[k][b]: the CRC of byte b followed by k zero bytes.
constexpr std::array<std::array<uint32_t, 256>, 8> MakeCrc32Tables() {
    std::array<std::array<uint32_t, 256>, 8> tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        tables[0][i] = crc;
    }
    for (uint32_t i = 0; i < 256; ++i)
        for (int k = 1; k < 8; ++k)
            tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
    return tables;
}

constexpr auto kCrc32Tables = MakeCrc32Tables();

using Crc32Engine = uint32_t (*)(uint32_t, const unsigned char*, size_t) noexcept;

Crc32Engine ChooseEngine() noexcept {
    return cvq::detail::HasCarrylessMultiply() ? cvq::detail::Crc32Carryless
                                               : cvq::detail::Crc32Slicing;
}

}  // namespace

namespace cvq::detail {

uint32_t Crc32Slicing(uint32_t crc, const unsigned char* data, size_t size) noexcept {
    const auto& t = kCrc32Tables;
    for (; size >= 8; size -= 8, data += 8) {
        uint32_t lo, hi;
        std::memcpy(&lo, data, 4);
        std::memcpy(&hi, data + 4, 4);
        lo ^= crc;  // little-endian words: byte 0 is the low byte
        crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    for (; size; --size, ++data) crc = t[0][(crc ^ *data) & 0xFF] ^ (crc >> 8);
    return crc;
}

#if CVQ_CRC_X86

namespace {

// x^n modulo the CRC polynomial, bit-reflected and shifted into the 33-bit form the
// folding multiplies with.
constexpr uint64_t FoldConstant(int n) {
    uint64_t r = 1;
    for (int i = 0; i < n; ++i) {
        r <<= 1;
        if (r & 0x100000000ull) r ^= 0x104C11DB7ull;
    }
    uint64_t reflected = 0;
    for (int i = 0; i < 32; ++i)
        if ((r >> i) & 1) reflected |= uint64_t(1) << (31 - i);
    return reflected << 1;
}

static_assert(FoldConstant(544) == 0x154442bd4ull && FoldConstant(480) == 0x1c6e41596ull);
static_assert(FoldConstant(160) == 0x1751997d0ull && FoldConstant(96) == 0x0ccaa009eull);
static_assert(FoldConstant(64) == 0x163cd6124ull);

alignas(16) constexpr uint64_t kFold1024[2] = {FoldConstant(1024 + 32), FoldConstant(1024 - 32)};
alignas(16) constexpr uint64_t kFold128[2] = {FoldConstant(128 + 32), FoldConstant(128 - 32)};
alignas(16) constexpr uint64_t kFold64[2] = {FoldConstant(64), 0};
// The polynomial and its Barrett quotient x^64 / P, both reflected.
alignas(16) constexpr uint64_t kBarrett[2] = {0x1db710641ull, 0x1f7011641ull};

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i lane, __m128i k,
                                                             __m128i next) {
    __m128i lo = _mm_clmulepi64_si128(lane, k, 0x00);
    __m128i hi = _mm_clmulepi64_si128(lane, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

}  // namespace

bool HasCarrylessMultiply() noexcept {
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}

__attribute__((target("pclmul,sse4.1"))) uint32_t Crc32Carryless(uint32_t crc,
                                                                 const unsigned char* data,
                                                                 size_t size) noexcept {
    if (size < 256) return Crc32Slicing(crc, data, size);
    auto load = [](const unsigned char* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    };
    // Eight independent lanes hide the multiplier's latency.
    __m128i x[8];
    for (int i = 0; i < 8; ++i) x[i] = load(data + 16 * i);
    x[0] = _mm_xor_si128(x[0], _mm_cvtsi32_si128(int(crc)));
    data += 128;
    size -= 128;
    const __m128i k1024 = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold1024));
    for (; size >= 128; data += 128, size -= 128) {
        for (int i = 0; i < 8; ++i) x[i] = Fold(x[i], k1024, load(data + 16 * i));
    }
    const __m128i k128 = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold128));
    __m128i acc = x[0];
    for (int i = 1; i < 8; ++i) acc = Fold(acc, k128, x[i]);
    for (; size >= 16; data += 16, size -= 16) acc = Fold(acc, k128, load(data));

    // 128 bits down to 64, then Barrett reduction to 32.
    const __m128i mask32 = _mm_setr_epi32(~0, 0, ~0, 0);
    __m128i t = _mm_clmulepi64_si128(acc, k128, 0x10);
    acc = _mm_xor_si128(_mm_srli_si128(acc, 8), t);
    const __m128i k64 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kFold64));
    t = _mm_srli_si128(acc, 4);
    acc = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(acc, mask32), k64, 0x00), t);
    const __m128i poly = _mm_load_si128(reinterpret_cast<const __m128i*>(kBarrett));
    t = _mm_and_si128(acc, mask32);
    t = _mm_clmulepi64_si128(t, poly, 0x10);
    t = _mm_and_si128(t, mask32);
    t = _mm_clmulepi64_si128(t, poly, 0x00);
    acc = _mm_xor_si128(acc, t);
    crc = uint32_t(_mm_extract_epi32(acc, 1));
    return Crc32Slicing(crc, data, size);
}

#else

bool HasCarrylessMultiply() noexcept {
    return false;
}

uint32_t Crc32Carryless(uint32_t crc, const unsigned char* data, size_t size) noexcept {
    return Crc32Slicing(crc, data, size);
}

#endif

}  // namespace cvq::detail

uint16_t ComputeCrc16(const void* data, uint32_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    unsigned crc = 0;
    for (uint32_t i = 0; i < size; ++i) crc = kCrc16Table[(crc & 0xFF) ^ bytes[i]] ^ (crc >> 8);
    return uint16_t(crc);
}

uint32_t ComputeCrc32(const void* data, uint32_t size) {
    static const Crc32Engine engine = ChooseEngine();
    return ~engine(~0u, static_cast<const unsigned char*>(data), size);
}
