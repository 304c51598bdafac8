// TRect: centring, fitting, subtraction and its stored forms.
#include <commonvcqx/geometry/Rect.h>
#include <commonvcqx/geometry/StraightLine.h>
#include <commonvcqx/geometry/internal/RawCoordinates.h>

namespace {

// Where an extent of (innerStart, innerEnd) starts when centred in (outerStart,
// outerEnd): exact in 64 bits, then wrapped as the original's coordinates were.
int32_t CenteredStart(int32_t outerStart, int32_t outerEnd, int32_t innerStart,
                      int32_t innerEnd) noexcept {
    const int64_t outer = int64_t{outerEnd} - outerStart;
    const int64_t inner = int64_t{innerEnd} - innerStart;
    return cvq::WrapToInt32(outerStart + (outer - inner) / 2);
}

}  // namespace

void TRect::Center(TRect& rect) const noexcept {
    rect.MoveTo(CenteredStart(Left(), Right(), rect.Left(), rect.Right()),
                CenteredStart(Top(), Bottom(), rect.Top(), rect.Bottom()));
}

void TRect::AdjustToFitIn(const TRect& bounds) noexcept {
    // The size as the original kept it: modulo 2^32, so moving never changes it.
    const int32_t width = cvq::WrapSubtract32(Right(), Left());
    const int32_t height = cvq::WrapSubtract32(Bottom(), Top());
    MoveTo(std::max(Left(), bounds.Left()), std::max(Top(), bounds.Top()));
    if (Right() > bounds.Right()) MoveTo(cvq::WrapSubtract32(bounds.Right(), width), Top());
    if (Bottom() > bounds.Bottom()) MoveTo(Left(), cvq::WrapSubtract32(bounds.Bottom(), height));
}

int TRect::Subtract(const TRect& other, TRect* out) const noexcept {
    if (!OverlapsWith(other)) {
        out[0] = *this;
        return 1;
    }
    int count = 0;
    if (Top() < other.Top()) out[count++] = TRect(Left(), Top(), Right(), other.Top());
    if (other.Bottom() < Bottom()) out[count++] = TRect(Left(), other.Bottom(), Right(), Bottom());
    const int32_t top = std::max(Top(), other.Top());
    const int32_t bottom = std::min(Bottom(), other.Bottom());
    if (Left() < other.Left()) out[count++] = TRect(Left(), top, other.Left(), bottom);
    if (other.Right() < Right()) out[count++] = TRect(other.Right(), top, Right(), bottom);
    return count;
}

void TRect::Write(TOutputStream& out) const {
    const int32_t values[] = {Left(), Top(), Right(), Bottom()};
    cvq::detail::WriteCoordinates(out, values, 4);
}

void TRect::Read(TInputStream& in) {
    int32_t values[4];
    cvq::detail::ReadCoordinates(in, values, 4);
    Set(values[0], values[1], values[2], values[3]);
}

void TRect::WriteState(TTaggedOutputStream& out, int32_t, const char* name, int index) const {
    const int32_t values[] = {Left(), Top(), Right(), Bottom()};
    cvq::detail::WriteCoordinatesState(out, values, 4, name, index);
}

char TRect::RestoreState(TTaggedInputStream& in, int32_t, const char* name, int index) {
    int32_t values[] = {Left(), Top(), Right(), Bottom()};
    if (!cvq::detail::RestoreCoordinatesState(in, values, 4, name, index)) return 0;
    Set(values[0], values[1], values[2], values[3]);
    return 1;
}

int FindInCorner(const TRect& first, const TRect& second, const TPoint& point) {
    const bool inFirst = first.Contains(point), inSecond = second.Contains(point);
    if (!inFirst) return inSecond ? 1 : -1;
    if (!inSecond) return 0;
    const bool sameLeft = first.Left() == second.Left(), sameTop = first.Top() == second.Top();
    const bool sameRight = first.Right() == second.Right();
    const bool sameBottom = first.Bottom() == second.Bottom();
    const bool sharesCorner = (sameLeft && sameTop) || (sameRight && sameTop) ||
                              (sameRight && sameBottom) || (sameLeft && sameBottom);
    if (!sharesCorner) return 0;

    const TRect both = first & second;  // valid: the point lies in it
    auto reachesUpOrRight = [&](const TRect& r) {
        return r.Right() > both.Right() || r.Top() < both.Top();
    };
    const bool firstReaches = reachesUpOrRight(first), secondReaches = reachesUpOrRight(second);
    const int upperRightOwner = firstReaches != secondReaches    ? (secondReaches ? 1 : 0)
                                : second.Right() > first.Right() ? 1
                                                                 : 0;
    const TStraightLine diagonal(both.TopLeft(), both.BottomRight());
    const bool upperRight = point.Y() < diagonal.X_to_Y(point.X());
    return upperRight ? upperRightOwner : 1 - upperRightOwner;
}
