// TStraightLine: construction by type, intersections, distances and projections on
// a table, degenerate lines and the coefficient helper.
#include <commonvcqx/geometry/StraightLine.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

TEST(StraightLineTest, ResetGivesTheTypeAndCoefficients) {
    struct TCase {
        TStraightLine line;
        TStraightLine::EType type;
        double slope, intercept;
    };
    const TCase cases[] = {
        {TStraightLine(TPoint(0, 0), TPoint(10, 5)), TStraightLine::kSloped, 0.5, 0},
        {TStraightLine(TPoint(1, 3), TPoint(5, 3)), TStraightLine::kHorizontal, 0, 3},
        {TStraightLine(TPoint(3, 0), TPoint(3, 7)), TStraightLine::kVertical, 3, 0},
        {TStraightLine(TPoint(4, 4), TPoint(4, 4)), TStraightLine::kVertical, 4, 0},
        {TStraightLine(1.0, 1.0, 3.0, 5.0), TStraightLine::kSloped, 2, -1},
        {TStraightLine(2.0, 1.0, 2.0, 5.0), TStraightLine::kVertical, 2, 0},
        {TStraightLine(2.0, 1.0, 2.0, 1.0), TStraightLine::kUndefined, 0, 0},
        {TStraightLine(-1.0, 4.0), TStraightLine::kSloped, -1, 4},
        {TStraightLine(0.0, 4.0), TStraightLine::kHorizontal, 0, 4},
        {TStraightLine(), TStraightLine::kUndefined, 0, 0},
        // Coordinates whose differences pass 32 bits.
        {TStraightLine(TPoint(INT_MIN, INT_MIN), TPoint(INT_MAX, INT_MAX)), TStraightLine::kSloped,
         1, 0},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(c.line.GetType(), c.type);
        EXPECT_DOUBLE_EQ(c.line.GetSlope(), c.slope);
        EXPECT_DOUBLE_EQ(c.line.GetIntercept(), c.intercept);
    }
    const TStraightLine line(2.0, -1.0);
    EXPECT_DOUBLE_EQ(line.X_to_Y(3), 5);
    EXPECT_DOUBLE_EQ(line.Y_to_X(5), 3);
}

TEST(StraightLineTest, Intersections) {
    struct TCase {
        TStraightLine a, b;
        bool meet;
        double x, y;
    };
    const TStraightLine vertical(TPoint(3, 0), TPoint(3, 7));
    const TCase cases[] = {
        {vertical, TStraightLine(2.0, 0.0), true, 3, 6},
        {TStraightLine(2.0, 0.0), vertical, true, 3, 6},
        {TStraightLine(1.0, 0.0), TStraightLine(-1.0, 4.0), true, 2, 2},
        {TStraightLine(1.0, 0.0), TStraightLine(1.0, 4.0), false, 0, 0},  // parallel
        {TStraightLine(0.0, 1.0), TStraightLine(0.0, 2.0), false, 0, 0},
        {vertical, TStraightLine(TPoint(5, 0), TPoint(5, 1)), false, 0, 0},
        {vertical, TStraightLine(0.0, -2.0), true, 3, -2},
        {TStraightLine(), TStraightLine(1.0, 0.0), false, 0, 0},
        {TStraightLine(1.0, 0.0), TStraightLine(), false, 0, 0},
    };
    for (const TCase& c : cases) {
        double x = 0, y = 0;
        ASSERT_EQ(bool(c.a.ComputeIntersection(c.b, &x, &y)), c.meet);
        if (c.meet) {
            EXPECT_DOUBLE_EQ(x, c.x);
            EXPECT_DOUBLE_EQ(y, c.y);
        }
    }
}

TEST(StraightLineTest, DistancesAndProjections) {
    struct TCase {
        TStraightLine line;
        TPoint point;
        double distance;
        TPoint foot;
    };
    const TCase cases[] = {
        {TStraightLine(TPoint(0, 0), TPoint(10, 5)), TPoint(0, 5), 5 / std::sqrt(1.25),
         TPoint(2, 1)},
        {TStraightLine(TPoint(3, 0), TPoint(3, 7)), TPoint(-2, 9), 5, TPoint(3, 9)},
        {TStraightLine(0.0, 4.0), TPoint(7, 1), 3, TPoint(7, 4)},
        {TStraightLine(1.0, 0.0), TPoint(0, 2), std::sqrt(2.0), TPoint(1, 1)},
        {TStraightLine(1.0, 0.0), TPoint(5, 5), 0, TPoint(5, 5)},
        {TStraightLine(-1.0, 0.0), TPoint(3, 0), 3 / std::sqrt(2.0), TPoint(2, -2)},  // 1.5 -> 2
    };
    for (const TCase& c : cases) {
        EXPECT_NEAR(c.line.ComputeOrthogonalDistance(c.point), c.distance, 1e-12);
        EXPECT_EQ(c.line.GetOrthogonalProjection(c.point), c.foot);
        double x = c.point.X(), y = c.point.Y();
        c.line.ProjectOrthogonally(&x, &y);
        EXPECT_NEAR(c.line.ComputeOrthogonalDistance(x, y), 0, 1e-9);
        // The foot lies on the orthogonal line through the point.
        const TStraightLine orthogonal = c.line.GetOrthogonalLine(c.point.X(), c.point.Y());
        EXPECT_NEAR(orthogonal.ComputeOrthogonalDistance(x, y), 0, 1e-9);
    }
    EXPECT_EQ(TStraightLine(0.0, 4.0).GetOrthogonalLine(7, 1).GetType(), TStraightLine::kVertical);
    EXPECT_EQ(TStraightLine(TPoint(3, 0), TPoint(3, 7)).GetOrthogonalLine(7, 1).GetType(),
              TStraightLine::kHorizontal);
    double outX, outY;
    TStraightLine(1.0, 0.0).GetOrthogonalProjection(0, 2, &outX, &outY);
    EXPECT_DOUBLE_EQ(outX, 1);
    EXPECT_DOUBLE_EQ(outY, 1);
}

TEST(StraightLineTest, DegenerateLinesStayDefined) {
    // No line: every point is its own foot.
    const TStraightLine none(1.0, 1.0, 1.0, 1.0);
    EXPECT_EQ(none.GetOrthogonalProjection(TPoint(5, -6)), TPoint(5, -6));
    EXPECT_EQ(none.GetOrthogonalLine(1, 1).GetType(), TStraightLine::kUndefined);
    // A slope whose inverse is infinite gives a foot that is not a number: 0, not a
    // converted NaN.
    const TStraightLine flat(std::numeric_limits<double>::denorm_min(), 0.0);
    EXPECT_EQ(flat.GetOrthogonalProjection(TPoint(5, 7)), TPoint(0, 0));
    // A foot beyond 32 bits saturates.
    EXPECT_EQ(TStraightLine(0.0, 1e12).GetOrthogonalProjection(TPoint(-5, 0)), TPoint(-5, INT_MAX));
    EXPECT_EQ(
        TStraightLine(TPoint(3, 0), TPoint(3, 7)).GetOrthogonalProjection(TPoint(INT_MIN, INT_MAX)),
        TPoint(3, INT_MAX));
}

TEST(StraightLineTest, CoefficientsOfTwoPoints) {
    double slope = -1, intercept = -1;
    EXPECT_EQ(ComputeStraightLineCoeff(TPoint(2, 2), TPoint(2, 2), &slope, &intercept),
              TStraightLine::kUndefined);
    EXPECT_EQ(slope, 0);
    EXPECT_EQ(intercept, 0);
    EXPECT_EQ(ComputeStraightLineCoeff(TPoint(2, 2), TPoint(2, 9), &slope, &intercept),
              TStraightLine::kVertical);
    EXPECT_EQ(slope, 2);
    EXPECT_EQ(intercept, 0);
    EXPECT_EQ(ComputeStraightLineCoeff(TPoint(0, 1), TPoint(2, 5), &slope, &intercept),
              TStraightLine::kSloped);
    EXPECT_EQ(slope, 2);
    EXPECT_EQ(intercept, 1);
    EXPECT_EQ(ComputeStraightLineCoeff(TPoint(0, 1), TPoint(2, 1), &slope, &intercept),
              TStraightLine::kHorizontal);
    EXPECT_EQ(slope, 0);
    EXPECT_EQ(intercept, 1);
}
