// commonvcqx/geometry/Point.h
//
// TPoint: an integer position, two 32-bit words copied freely. A point minus a point
// is a TSize; a point plus a size is a point. Stored raw as x then y, or as one
// tagged value of 8 bytes.
//
//   TPoint corner(10, 20);
//   TPoint moved = corner + TSize(5, 5);   // (15, 25)
//   TSize offset = moved - corner;         // (5, 5)
//   TPoint packed;
//   packed.InitFromPack(0xFFFF0001);       // (1, -1): both halves signed
//
// Arithmetic wraps modulo 2^32 as the original's 32-bit arithmetic did, so it is
// never undefined.
#pragma once

#include <commonvcqx/base/CheckedArithmetic.h>
#include <commonvcqx/geometry/Size.h>
#include <commonvcqx/platform/WinTypes.h>

#include <cstdint>

class TPoint {
public:
    /// (0, 0); callers assign before use.
    constexpr TPoint() noexcept = default;
    constexpr TPoint(int32_t x, int32_t y) noexcept : m_x(x), m_y(y) {}
    constexpr TPoint(const POINT& point) noexcept : m_x(point.x), m_y(point.y) {}
    constexpr explicit TPoint(const SIZE& size) noexcept : m_x(size.cx), m_y(size.cy) {}

    constexpr int32_t X() const noexcept { return m_x; }
    constexpr int32_t Y() const noexcept { return m_y; }
    constexpr operator POINT() const noexcept { return POINT{m_x, m_y}; }

    constexpr void SetNull() noexcept { m_x = m_y = 0; }
    /// x from the low 16 bits, y from the high 16 bits, both signed (-32768 to 32767).
    constexpr void InitFromPack(uint32_t pack) noexcept {
        m_x = int16_t(uint16_t(pack & 0xFFFFu));
        m_y = int16_t(uint16_t(pack >> 16));
    }

    /// left <= x < right and top <= y < bottom.
    bool IsInside(const TRect& rect) const noexcept;

    constexpr TPoint ShiftedBy(int32_t dx, int32_t dy) const noexcept {
        return TPoint(cvq::WrapAdd32(m_x, dx), cvq::WrapAdd32(m_y, dy));
    }
    constexpr void Shift(int32_t dx, int32_t dy) noexcept { *this = ShiftedBy(dx, dy); }

    constexpr TPoint operator-() const noexcept {
        return TPoint(cvq::WrapNegate32(m_x), cvq::WrapNegate32(m_y));
    }
    friend constexpr bool operator==(const TPoint&, const TPoint&) noexcept = default;

    constexpr TPoint operator+(const TSize& size) const noexcept {
        return ShiftedBy(size.X(), size.Y());
    }
    constexpr TPoint operator-(const TSize& size) const noexcept {
        return TPoint(cvq::WrapSubtract32(m_x, size.X()), cvq::WrapSubtract32(m_y, size.Y()));
    }
    constexpr TSize operator-(const TPoint& other) const noexcept {
        return TSize(cvq::WrapSubtract32(m_x, other.m_x), cvq::WrapSubtract32(m_y, other.m_y));
    }
    constexpr TPoint& operator+=(const TSize& size) noexcept { return *this = *this + size; }
    constexpr TPoint& operator-=(const TSize& size) noexcept { return *this = *this - size; }
    /// The same amount added to (taken from) both coordinates.
    constexpr TPoint& operator+=(int32_t n) noexcept { return *this += TSize(n, n); }
    constexpr TPoint& operator-=(int32_t n) noexcept { return *this -= TSize(n, n); }

    /// sqrt(x^2 + y^2), exact in 64 bits for every coordinate.
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
