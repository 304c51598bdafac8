// TPoint: its magnitude and its stored forms.
#include <commonvcqx/geometry/Point.h>
#include <commonvcqx/geometry/Rect.h>
#include <commonvcqx/geometry/internal/RawCoordinates.h>

bool TPoint::IsInside(const TRect& rect) const noexcept {
    return rect.Contains(*this);
}

double TPoint::Magnitude() const noexcept {
    return TSize(m_x, m_y).Magnitude();
}

void TPoint::Write(TOutputStream& out) const {
    const int32_t values[] = {m_x, m_y};
    cvq::detail::WriteCoordinates(out, values, 2);
}

void TPoint::Read(TInputStream& in) {
    int32_t values[2];
    cvq::detail::ReadCoordinates(in, values, 2);
    *this = TPoint(values[0], values[1]);
}

void TPoint::WriteState(TTaggedOutputStream& out, int32_t, const char* name, int index) const {
    const int32_t values[] = {m_x, m_y};
    cvq::detail::WriteCoordinatesState(out, values, 2, name, index);
}

char TPoint::RestoreState(TTaggedInputStream& in, int32_t, const char* name, int index) {
    int32_t values[] = {m_x, m_y};
    if (!cvq::detail::RestoreCoordinatesState(in, values, 2, name, index)) return 0;
    *this = TPoint(values[0], values[1]);
    return 1;
}
