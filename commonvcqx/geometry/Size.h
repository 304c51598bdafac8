// commonvcqx/geometry/Size.h
//
// TSize: an integer extent or offset (x is the width, y the height), two 32-bit
// words copied freely. Stored raw as x then y, or as one tagged value of 8 bytes.
//
//   TSize size(640, 480);
//   size += 10;                       // (650, 490)
//   TSize packed;
//   packed.InitFromPack(0xFFFF0001);  // (1, 65535): both halves unsigned
//
// Arithmetic wraps modulo 2^32 as the original's 32-bit arithmetic did, so it is
// never undefined.
#pragma once

#include <commonvcqx/base/CheckedArithmetic.h>
#include <commonvcqx/platform/WinTypes.h>

#include <cstdint>

class TInputStream;
class TOutputStream;
class TRect;
class TTaggedInputStream;
class TTaggedOutputStream;

class TSize {
public:
    /// (0, 0); callers assign before use.
    constexpr TSize() noexcept = default;
    constexpr TSize(int32_t x, int32_t y) noexcept : m_x(x), m_y(y) {}
    constexpr explicit TSize(const POINT& point) noexcept : m_x(point.x), m_y(point.y) {}
    constexpr TSize(const SIZE& size) noexcept : m_x(size.cx), m_y(size.cy) {}
    /// The rectangle's width and height.
    explicit TSize(const TRect& rect) noexcept;

    constexpr int32_t X() const noexcept { return m_x; }
    constexpr int32_t Y() const noexcept { return m_y; }
    constexpr operator SIZE() const noexcept { return SIZE{m_x, m_y}; }

    /// x from the low 16 bits, y from the high 16 bits, both unsigned (0 to 65535).
    constexpr void InitFromPack(uint32_t pack) noexcept {
        m_x = int32_t(pack & 0xFFFFu);
        m_y = int32_t(pack >> 16);
    }

    constexpr TSize operator-() const noexcept {
        return TSize(cvq::WrapNegate32(m_x), cvq::WrapNegate32(m_y));
    }
    friend constexpr bool operator==(const TSize&, const TSize&) noexcept = default;

    constexpr TSize operator+(const TSize& other) const noexcept {
        return TSize(cvq::WrapAdd32(m_x, other.m_x), cvq::WrapAdd32(m_y, other.m_y));
    }
    constexpr TSize operator-(const TSize& other) const noexcept {
        return TSize(cvq::WrapSubtract32(m_x, other.m_x), cvq::WrapSubtract32(m_y, other.m_y));
    }
    constexpr TSize& operator+=(const TSize& other) noexcept { return *this = *this + other; }
    constexpr TSize& operator-=(const TSize& other) noexcept { return *this = *this - other; }
    /// The same amount added to (taken from) both components.
    constexpr TSize& operator+=(int32_t n) noexcept { return *this += TSize(n, n); }
    constexpr TSize& operator-=(int32_t n) noexcept { return *this -= TSize(n, n); }

    /// sqrt(x^2 + y^2), exact in 64 bits for every component.
    double Magnitude() const noexcept;

    /// x then y as 32-bit integers in the stream's byte order.
    void Write(TOutputStream& out) const;
    void Read(TInputStream& in);
    /// One tagged value of 8 raw bytes under (name, index); `id` is not used.
    void WriteState(TTaggedOutputStream& out, int32_t id, const char* name, int index) const;
    /// False, changing nothing, when the value is absent or shorter than 8 bytes.
    /// Untagged: reads at the position; a block that ends first is damage (18032).
    char RestoreState(TTaggedInputStream& in, int32_t id, const char* name, int index);

private:
    int32_t m_x = 0;
    int32_t m_y = 0;
};
