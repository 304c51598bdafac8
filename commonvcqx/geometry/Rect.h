// commonvcqx/geometry/Rect.h
//
// TRect: an axis-aligned integer rectangle, its top-left corner followed by its
// bottom-right corner. Right and bottom are exclusive: a point is inside when
// left <= x < right and top <= y < bottom. Null means all four coordinates are 0;
// valid means not empty (left < right and top < bottom).
//
//   TRect window(0, 0, 10, 10);
//   TRect overlap = window & TRect(5, 5, 20, 20);   // (5, 5, 10, 10)
//   TRect pieces[4];
//   int count = window.Subtract(overlap, pieces);   // 2: the top band, the left band
//
// Coordinates wrap modulo 2^32 as the original's 32-bit arithmetic did. Widths,
// heights, centres and the area are computed in 64 bits: they are exact where the
// original's were and never overflow (a width beyond 32 bits saturates).
#pragma once

#include <commonvcqx/base/CheckedArithmetic.h>
#include <commonvcqx/geometry/Margins.h>
#include <commonvcqx/geometry/Point.h>
#include <commonvcqx/geometry/Size.h>
#include <commonvcqx/platform/WinTypes.h>

#include <algorithm>
#include <cstdint>

class TRect {
public:
    /// The null rectangle; callers assign before use.
    constexpr TRect() noexcept = default;
    constexpr TRect(int32_t left, int32_t top, int32_t right, int32_t bottom) noexcept
        : m_topLeft(left, top), m_bottomRight(right, bottom) {}
    constexpr TRect(const RECT& rect) noexcept
        : TRect(rect.left, rect.top, rect.right, rect.bottom) {}
    constexpr TRect(const TPoint& topLeft, const TPoint& bottomRight) noexcept
        : m_topLeft(topLeft), m_bottomRight(bottomRight) {}
    constexpr TRect(const TPoint& origin, const TSize& size) noexcept
        : m_topLeft(origin), m_bottomRight(origin + size) {}
    constexpr TRect(int32_t x, int32_t y, const TSize& size) noexcept : TRect(TPoint(x, y), size) {}
    /// Centred on `center`: left = center.x - width / 2, right = left + width.
    constexpr TRect(const TSize& size, const TPoint& center) noexcept
        : TRect(TPoint(cvq::WrapSubtract32(center.X(), size.X() / 2),
                       cvq::WrapSubtract32(center.Y(), size.Y() / 2)),
                size) {}

    constexpr operator RECT() const noexcept { return RECT{Left(), Top(), Right(), Bottom()}; }

    constexpr int32_t Left() const noexcept { return m_topLeft.X(); }
    constexpr int32_t X() const noexcept { return m_topLeft.X(); }
    constexpr int32_t Top() const noexcept { return m_topLeft.Y(); }
    constexpr int32_t Y() const noexcept { return m_topLeft.Y(); }
    constexpr int32_t Right() const noexcept { return m_bottomRight.X(); }
    constexpr int32_t Bottom() const noexcept { return m_bottomRight.Y(); }
    constexpr TPoint& TopLeft() noexcept { return m_topLeft; }
    constexpr const TPoint& TopLeft() const noexcept { return m_topLeft; }
    constexpr TPoint& BottomRight() noexcept { return m_bottomRight; }
    constexpr const TPoint& BottomRight() const noexcept { return m_bottomRight; }
    constexpr TPoint TopRight() const noexcept { return TPoint(Right(), Top()); }
    constexpr TPoint BottomLeft() const noexcept { return TPoint(Left(), Bottom()); }

    /// (left + right) / 2, truncated toward zero; exact for any coordinates.
    constexpr int32_t GetXCenter() const noexcept {
        return int32_t((int64_t{Left()} + Right()) / 2);
    }
    constexpr int32_t GetYCenter() const noexcept {
        return int32_t((int64_t{Top()} + Bottom()) / 2);
    }
    constexpr TPoint CenterPoint() const noexcept { return TPoint(GetXCenter(), GetYCenter()); }

    /// right - left; negative for a rectangle that is not normalized.
    constexpr int32_t Width() const noexcept {
        return cvq::SaturateToInt32(cvq::WideSubtract(Right(), Left()));
    }
    constexpr int32_t Height() const noexcept {
        return cvq::SaturateToInt32(cvq::WideSubtract(Bottom(), Top()));
    }
    constexpr TSize Size() const noexcept { return TSize(Width(), Height()); }
    /// Height times width, exact.
    constexpr int64_t Area() const noexcept { return int64_t{Height()} * Width(); }

    constexpr bool IsValid() const noexcept { return Left() < Right() && Top() < Bottom(); }
    constexpr bool IsEmpty() const noexcept { return !IsValid(); }
    constexpr bool IsNull() const noexcept {
        return Left() == 0 && Top() == 0 && Right() == 0 && Bottom() == 0;
    }
    constexpr bool IsNormalized() const noexcept { return Right() >= Left() && Bottom() >= Top(); }
    friend constexpr bool operator==(const TRect&, const TRect&) noexcept = default;

    constexpr bool ContainsX(int32_t x) const noexcept { return Left() <= x && x < Right(); }
    constexpr bool ContainsY(int32_t y) const noexcept { return Top() <= y && y < Bottom(); }
    constexpr bool Contains(const TPoint& point) const noexcept {
        return ContainsX(point.X()) && ContainsY(point.Y());
    }
    /// The other's edges lie within this one's; edges may coincide.
    constexpr bool Contains(const TRect& other) const noexcept {
        return Left() <= other.Left() && other.Right() <= Right() && Top() <= other.Top() &&
               other.Bottom() <= Bottom();
    }
    /// The two share at least one point (touching edges do not).
    constexpr bool OverlapsWith(const TRect& other) const noexcept {
        return Left() < other.Right() && other.Left() < Right() && Top() < other.Bottom() &&
               other.Top() < Bottom();
    }

    constexpr void Set(int32_t left, int32_t top, int32_t right, int32_t bottom) noexcept {
        *this = TRect(left, top, right, bottom);
    }
    constexpr void SetWidthHeight(int32_t left, int32_t top, int32_t width,
                                  int32_t height) noexcept {
        *this = TRect(left, top, TSize(width, height));
    }
    constexpr void SetSize(int32_t width, int32_t height) noexcept {
        m_bottomRight = m_topLeft + TSize(width, height);
    }
    constexpr void SetSize(const TSize& size) noexcept { SetSize(size.X(), size.Y()); }
    constexpr void SetNull() noexcept { *this = TRect(); }
    constexpr void Invalidate() noexcept { SetNull(); }

    /// Swaps left and right when right < left, top and bottom when bottom < top.
    constexpr void Normalize() noexcept {
        if (Right() < Left()) Set(Right(), Top(), Left(), Bottom());
        if (Bottom() < Top()) Set(Left(), Bottom(), Right(), Top());
    }
    constexpr TRect Normalized() const noexcept {
        TRect copy = *this;
        copy.Normalize();
        return copy;
    }

    constexpr TRect ShiftedBy(int32_t dx, int32_t dy) const noexcept {
        return TRect(m_topLeft.ShiftedBy(dx, dy), m_bottomRight.ShiftedBy(dx, dy));
    }
    constexpr void Shift(int32_t dx, int32_t dy) noexcept { *this = ShiftedBy(dx, dy); }
    constexpr TRect operator+(const TSize& offset) const noexcept {
        return ShiftedBy(offset.X(), offset.Y());
    }
    constexpr TRect operator-(const TSize& offset) const noexcept { return *this + -offset; }
    constexpr TRect& operator+=(const TSize& offset) noexcept { return *this = *this + offset; }
    constexpr TRect& operator-=(const TSize& offset) noexcept { return *this = *this - offset; }

    /// Top-left becomes (x, y); the size is kept.
    constexpr TRect MovedTo(int32_t x, int32_t y) const noexcept {
        return ShiftedBy(cvq::WrapSubtract32(x, Left()), cvq::WrapSubtract32(y, Top()));
    }
    constexpr void MoveTo(int32_t x, int32_t y) noexcept { *this = MovedTo(x, y); }

    /// left - dx, top - dy, right + dx, bottom + dy.
    constexpr TRect EnlargedBy(int32_t dx, int32_t dy) const noexcept {
        return TRect(m_topLeft.ShiftedBy(cvq::WrapNegate32(dx), cvq::WrapNegate32(dy)),
                     m_bottomRight.ShiftedBy(dx, dy));
    }
    constexpr TRect EnlargedBy(int32_t n) const noexcept { return EnlargedBy(n, n); }
    constexpr TRect EnlargedBy(const TSize& size) const noexcept {
        return EnlargedBy(size.X(), size.Y());
    }
    constexpr void Enlarge(int32_t dx, int32_t dy) noexcept { *this = EnlargedBy(dx, dy); }
    constexpr void Enlarge(int32_t n) noexcept { Enlarge(n, n); }
    constexpr void Enlarge(const TSize& size) noexcept { Enlarge(size.X(), size.Y()); }
    constexpr TRect& operator+=(int32_t n) noexcept { return *this = EnlargedBy(n); }
    /// Shrinks every edge by n.
    constexpr TRect& operator-=(int32_t n) noexcept {
        return *this = EnlargedBy(cvq::WrapNegate32(n));
    }

    /// left - m.left, top - m.top, right + m.right, bottom + m.bottom.
    constexpr TRect operator+(const TMargins& m) const noexcept {
        return TRect(cvq::WrapSubtract32(Left(), m.Left()), cvq::WrapSubtract32(Top(), m.Top()),
                     cvq::WrapAdd32(Right(), m.Right()), cvq::WrapAdd32(Bottom(), m.Bottom()));
    }
    constexpr TRect operator-(const TMargins& m) const noexcept {
        return TRect(cvq::WrapAdd32(Left(), m.Left()), cvq::WrapAdd32(Top(), m.Top()),
                     cvq::WrapSubtract32(Right(), m.Right()),
                     cvq::WrapSubtract32(Bottom(), m.Bottom()));
    }
    constexpr TRect& operator+=(const TMargins& m) noexcept { return *this = *this + m; }
    constexpr TRect& operator-=(const TMargins& m) noexcept { return *this = *this - m; }

    /// The intersection when the two overlap, else the null rectangle.
    constexpr TRect operator&(const TRect& other) const noexcept {
        if (!OverlapsWith(other)) return TRect();
        return Clipped(other);
    }
    /// Null stays null and a null other makes this null; otherwise the larger left and
    /// top and the smaller right and bottom, with no overlap test (the result may be
    /// empty).
    constexpr TRect& operator&=(const TRect& other) noexcept {
        if (IsNull()) return *this;
        if (other.IsNull()) return *this = TRect();
        return *this = Clipped(other);
    }
    /// The bounding rectangle of both, null rectangles included.
    constexpr TRect operator|(const TRect& other) const noexcept {
        return TRect(std::min(Left(), other.Left()), std::min(Top(), other.Top()),
                     std::max(Right(), other.Right()), std::max(Bottom(), other.Bottom()));
    }
    /// A null other changes nothing; a null this becomes the other; otherwise the
    /// bounding rectangle.
    constexpr TRect& operator|=(const TRect& other) noexcept {
        if (other.IsNull()) return *this;
        if (IsNull()) return *this = other;
        return *this = *this | other;
    }

    /// Moves `rect`, keeping its size, to the centre of this one.
    void Center(TRect& rect) const noexcept;
    TRect Centered(const TRect& rect) const noexcept {
        TRect copy = rect;
        Center(copy);
        return copy;
    }
    /// Moves this rectangle, keeping its size, into `bounds`; one larger than the bounds
    /// ends flush with their right and bottom edges.
    void AdjustToFitIn(const TRect& bounds) noexcept;

    /// The pieces of this rectangle outside `other`, at most four, into out[0..3]:
    /// the top band, the bottom band, then the left and right bands between them, each
    /// only when not empty. Without overlap out[0] is this rectangle. Returns the count.
    int Subtract(const TRect& other, TRect* out) const noexcept;

    /// left, top, right, bottom as 32-bit integers in the stream's byte order.
    void Write(TOutputStream& out) const;
    void Read(TInputStream& in);
    /// One tagged value of 16 raw bytes under (name, index); `id` is not used.
    void WriteState(TTaggedOutputStream& out, int32_t id, const char* name, int index) const;
    /// False, changing nothing, when the value is absent or shorter than 16 bytes.
    /// Untagged: reads at the position; a block that ends first is damage (18032).
    char RestoreState(TTaggedInputStream& in, int32_t id, const char* name, int index);

private:
    constexpr TRect Clipped(const TRect& other) const noexcept {
        return TRect(std::max(Left(), other.Left()), std::max(Top(), other.Top()),
                     std::min(Right(), other.Right()), std::min(Bottom(), other.Bottom()));
    }

    TPoint m_topLeft;
    TPoint m_bottomRight;
};

/// Which of two rectangles that share a corner owns `point`: -1 when it lies in
/// neither, 0 in the first only, 1 in the second only. In both, the diagonal from the
/// top-left to the bottom-right corner of their intersection splits it: the half
/// beside the intersection's top and right edges (points on the diagonal excluded)
/// goes to the rectangle that reaches beyond the intersection to the right or
/// upwards; when both or neither do, to the second when its right edge reaches past
/// the first's, else to the first. Rectangles that share no corner give 0.
int FindInCorner(const TRect& first, const TRect& second, const TPoint& point);
