// TSize: its magnitude and its stored forms.
#include <commonvcqx/geometry/Rect.h>
#include <commonvcqx/geometry/Size.h>
#include <commonvcqx/geometry/internal/RawCoordinates.h>

#include <cmath>

TSize::TSize(const TRect& rect) noexcept : m_x(rect.Width()), m_y(rect.Height()) {}

double TSize::Magnitude() const noexcept {
    // Each square fits 62 bits, so their sum fits an unsigned 64-bit word.
    const uint64_t squares = uint64_t(int64_t{m_x} * m_x) + uint64_t(int64_t{m_y} * m_y);
    return std::sqrt(double(squares));
}

void TSize::Write(TOutputStream& out) const {
    const int32_t values[] = {m_x, m_y};
    cvq::detail::WriteCoordinates(out, values, 2);
}

void TSize::Read(TInputStream& in) {
    int32_t values[2];
    cvq::detail::ReadCoordinates(in, values, 2);
    *this = TSize(values[0], values[1]);
}

void TSize::WriteState(TTaggedOutputStream& out, int32_t, const char* name, int index) const {
    const int32_t values[] = {m_x, m_y};
    cvq::detail::WriteCoordinatesState(out, values, 2, name, index);
}

char TSize::RestoreState(TTaggedInputStream& in, int32_t, const char* name, int index) {
    int32_t values[] = {m_x, m_y};
    if (!cvq::detail::RestoreCoordinatesState(in, values, 2, name, index)) return 0;
    *this = TSize(values[0], values[1]);
    return 1;
}
