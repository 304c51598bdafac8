// TStraightLine: construction, intersection, distance and projection.
#include <commonvcqx/base/CheckedArithmetic.h>
#include <commonvcqx/geometry/NumericFunctions.h>
#include <commonvcqx/geometry/StraightLine.h>

#include <cmath>

void TStraightLine::Reset(const TPoint& p1, const TPoint& p2) noexcept {
    if (p1.X() == p2.X()) {
        m_slope = p1.X();
        m_intercept = 0;
        m_type = kVertical;
        return;
    }
    // Differences in doubles: exact for any 32-bit coordinates.
    Reset((double(p2.Y()) - p1.Y()) / (double(p2.X()) - p1.X()), 0);
    m_intercept = p1.Y() - m_slope * p1.X();
}

void TStraightLine::Reset(double x1, double y1, double x2, double y2) noexcept {
    if (x1 != x2) {
        Reset((y2 - y1) / (x2 - x1), 0);
        m_intercept = y1 - m_slope * x1;
    } else if (y1 != y2) {
        m_slope = x1;
        m_intercept = 0;
        m_type = kVertical;
    } else {
        *this = TStraightLine();
    }
}

void TStraightLine::Reset(double slope, double intercept) noexcept {
    m_slope = slope;
    m_intercept = intercept;
    m_type = slope != 0 ? kSloped : kHorizontal;
}

char TStraightLine::ComputeIntersection(const TStraightLine& other, double* x,
                                        double* y) const noexcept {
    if (m_type == kUndefined || other.m_type == kUndefined) return 0;
    const bool vertical = m_type == kVertical, otherVertical = other.m_type == kVertical;
    if (vertical && otherVertical) return 0;
    if (vertical || otherVertical) {
        const TStraightLine& upright = vertical ? *this : other;
        const TStraightLine& across = vertical ? other : *this;
        *x = upright.m_slope;
        *y = across.X_to_Y(*x);
        return 1;
    }
    if (m_slope == other.m_slope) return 0;
    *x = (other.m_intercept - m_intercept) / (m_slope - other.m_slope);
    *y = *x * m_slope + m_intercept;
    return 1;
}

double TStraightLine::ComputeOrthogonalDistance(double x, double y) const noexcept {
    if (m_type == kVertical) return std::fabs(x - m_slope);
    const double d = m_slope * x + m_intercept - y;
    return std::sqrt(d * d / (m_slope * m_slope + 1));
}

TStraightLine TStraightLine::GetOrthogonalLine(double x, double y) const noexcept {
    switch (m_type) {
        case kVertical:
            return TStraightLine(0.0, y);
        case kHorizontal:
            return TStraightLine(x, 0.0, x, 1.0);
        case kSloped: {
            const double slope = -1 / m_slope;
            return TStraightLine(slope, y - slope * x);
        }
        case kUndefined:
            break;
    }
    return TStraightLine();
}

void TStraightLine::ProjectOrthogonally(double* x, double* y) const noexcept {
    double footX, footY;
    if (!ComputeIntersection(GetOrthogonalLine(*x, *y), &footX, &footY)) return;
    *x = footX;
    *y = footY;
}

void TStraightLine::GetOrthogonalProjection(double x, double y, double* outX,
                                            double* outY) const noexcept {
    *outX = x;
    *outY = y;
    ProjectOrthogonally(outX, outY);
}

TPoint TStraightLine::GetOrthogonalProjection(const TPoint& point) const noexcept {
    double x, y;
    GetOrthogonalProjection(point.X(), point.Y(), &x, &y);
    return TPoint(cvq::SaturatingCast<int32_t>(RoundToClosestInteger(x)),
                  cvq::SaturatingCast<int32_t>(RoundToClosestInteger(y)));
}

TStraightLine::EType ComputeStraightLineCoeff(const TPoint& p1, const TPoint& p2, double* slope,
                                              double* intercept) noexcept {
    if (p1 == p2) {
        *slope = *intercept = 0;
        return TStraightLine::kUndefined;
    }
    const TStraightLine line(p1, p2);
    *slope = line.GetSlope();
    *intercept = line.GetIntercept();
    return line.GetType();
}
