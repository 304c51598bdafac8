// commonvcqx/geometry/StraightLine.h
//
// TStraightLine: a line in the plane, y = slope * x + intercept, or vertical at an x,
// for projections, distances and intersections in editing and display code.
//
//   TStraightLine line(TPoint(0, 0), TPoint(10, 5));         // sloped, slope 0.5
//   double distance = line.ComputeOrthogonalDistance(0, 5);  // 4.472...
//   TPoint foot = line.GetOrthogonalProjection(TPoint(0, 5)); // (2, 1)
//
// A vertical line keeps its x in the slope field. An undefined line (type 0, from two
// equal points given as doubles, or a default-made one) intersects nothing and
// projects every point onto itself.
#pragma once

#include <commonvcqx/geometry/Point.h>

#include <cstdint>

class TStraightLine {
public:
    enum EType : int32_t { kUndefined = 0, kSloped = 1, kVertical = 2, kHorizontal = 3 };

    /// An undefined line.
    constexpr TStraightLine() noexcept = default;
    TStraightLine(const TPoint& p1, const TPoint& p2) noexcept { Reset(p1, p2); }
    TStraightLine(double x1, double y1, double x2, double y2) noexcept { Reset(x1, y1, x2, y2); }
    TStraightLine(double slope, double intercept) noexcept { Reset(slope, intercept); }

    /// Vertical at x1 when the x coordinates are equal (even for one point twice).
    void Reset(const TPoint& p1, const TPoint& p2) noexcept;
    /// Vertical when only the x coordinates are equal, undefined when both are.
    void Reset(double x1, double y1, double x2, double y2) noexcept;
    /// Sloped, or horizontal for a slope of 0.
    void Reset(double slope, double intercept) noexcept;

    EType GetType() const noexcept { return m_type; }
    /// The slope; the x of a vertical line.
    double GetSlope() const noexcept { return m_slope; }
    double GetIntercept() const noexcept { return m_intercept; }

    // The library's established names.
    // NOLINTBEGIN(readability-identifier-naming)
    /// slope * x + intercept: meaningful for sloped and horizontal lines.
    double X_to_Y(double x) const noexcept { return m_slope * x + m_intercept; }
    /// (y - intercept) / slope: meaningful for sloped lines.
    double Y_to_X(double y) const noexcept { return (y - m_intercept) / m_slope; }
    // NOLINTEND(readability-identifier-naming)

    /// The crossing point; false for parallel lines (two vertical ones included) and
    /// when either line is undefined.
    char ComputeIntersection(const TStraightLine& other, double* x, double* y) const noexcept;
    /// The distance of (x, y) from the line.
    double ComputeOrthogonalDistance(double x, double y) const noexcept;
    double ComputeOrthogonalDistance(const TPoint& point) const noexcept {
        return ComputeOrthogonalDistance(point.X(), point.Y());
    }
    /// The line through (x, y) perpendicular to this one (undefined for an undefined
    /// line).
    TStraightLine GetOrthogonalLine(double x, double y) const noexcept;
    /// Replaces (x, y) by its foot on the line.
    void ProjectOrthogonally(double* x, double* y) const noexcept;
    void GetOrthogonalProjection(double x, double y, double* outX, double* outY) const noexcept;
    /// The foot rounded to the closest integers; a foot beyond 32 bits saturates and
    /// one that is not a number (a line too steep for doubles) gives 0.
    TPoint GetOrthogonalProjection(const TPoint& point) const noexcept;

private:
    double m_slope = 0;
    double m_intercept = 0;
    EType m_type = kUndefined;
};

/// The slope and intercept of the line through two points: kUndefined and zeros for
/// one point twice, kVertical with the slope x for equal x coordinates.
TStraightLine::EType ComputeStraightLineCoeff(const TPoint& p1, const TPoint& p2, double* slope,
                                              double* intercept) noexcept;
