#include "math/vector.h"

#include <gtest/gtest.h>

#include <cmath>

#include "math/ktable.h"

namespace {

// The rotations and classify read the process-wide tables and clip constant.
void ensureTables() { static KTable table(65536, 320, 240, 32, 45.0f); }

void expectPoint(const Point& p, float x, float y, float z, float tolerance = 1e-4f) {
    EXPECT_NEAR(p.x, x, tolerance);
    EXPECT_NEAR(p.y, y, tolerance);
    EXPECT_NEAR(p.z, z, tolerance);
}

TEST(Rotation, FullTurnAndZeroLeavePointsInPlace) {
    ensureTables();
    Point p(3.0f, -2.0f, 5.0f);
    p.rotateY(0);
    expectPoint(p, 3.0f, -2.0f, 5.0f);
    p.rotateY(65535);
    expectPoint(p, 3.0f, -2.0f, 5.0f);
    p.rotateX(65535);
    expectPoint(p, 3.0f, -2.0f, 5.0f);
}

TEST(Rotation, QuarterTurnsUseTheOldComponentsForBothResults) {
    ensureTables();
    // If z were computed from the already rotated y, (0, 0, 1) would end near (0, 1, -1).
    Point p(0.0f, 0.0f, 1.0f);
    p.rotateX(16384);
    expectPoint(p, 0.0f, 1.0f, 0.0f, 1e-3f);

    Point q(1.0f, 7.0f, 0.0f);
    q.rotateY(16384);
    expectPoint(q, 0.0f, 7.0f, 1.0f, 1e-3f);

    // Rotations turn about the world origin, not about the point itself.
    Point r(0.0f, 0.0f, 10.0f);
    r.rotateY(32767);
    expectPoint(r, 0.0f, 0.0f, -10.0f, 1e-2f);
}

TEST(Classify, OutcodesAgainstTheSidePlanesAndTheNearPlane) {
    ensureTables();
    EXPECT_EQ(Point(0.0f, 0.0f, 0.5f).classify(), 16);
    EXPECT_EQ(Point(2.0f, 0.0f, 1.0f).classify(), 1);
    EXPECT_EQ(Point(0.0f, -3.0f, 2.0f).classify(), 8);
    EXPECT_EQ(Point(-5.5f, 6.0f, 5.0f).classify(), 2 | 4);
    // Points on a plane are inside.
    EXPECT_EQ(Point(1.0f, -1.0f, 1.0f).classify(), 0);
    EXPECT_EQ(Point(4.0f, 4.0f, 4.0f).classify(), 0);
    // Nearer than the near plane x and y are held against the clip constant, not against z.
    EXPECT_EQ(Point(0.5f, 0.0f, -3.0f).classify(), 16);
    EXPECT_EQ(Point(-1.5f, 1.5f, 0.0f).classify(), 16 | 2 | 4);
    EXPECT_EQ(Point(0.0f, -1.01f, 0.99f).classify(), 16 | 8);
}

TEST(Matrix, RowVectorsTranslateByRowThreeAndTheLeftFactorAppliesFirst) {
    const Point p(1.0f, 2.0f, 3.0f);
    expectPoint(p.transformed(Matrix::translation(10.0f, 20.0f, 30.0f)), 11.0f, 22.0f, 33.0f);
    expectPoint(p.transformed(Matrix::translation(10.0f, 0.0f, 0.0f) * Matrix::scale(2.0f, 1.0f, 1.0f)),
                22.0f, 2.0f, 3.0f);
    expectPoint(p.transformed(Matrix::scale(2.0f, 1.0f, 1.0f) * Matrix::translation(10.0f, 0.0f, 0.0f)),
                12.0f, 2.0f, 3.0f);

    // m[4i + j] weighs input i into output j: a matrix sending x to y.
    Matrix swap{};
    swap.m[1] = 1.0f;
    swap.m[15] = 1.0f;
    expectPoint(Point(5.0f, 0.0f, 0.0f).transformed(swap), 0.0f, 5.0f, 0.0f);
    const Matrix t = swap.transposed();
    EXPECT_EQ(t.m[4], 1.0f);
    EXPECT_EQ(t.m[1], 0.0f);

    Point q = p;
    q.transform(Matrix::identity());
    expectPoint(q, 1.0f, 2.0f, 3.0f, 0.0f);
}

TEST(Direction, LengthCacheIsFilledOnlyByLengthAndResetByNewDirections) {
    Direction d(3.0f, 0.0f, 4.0f);
    EXPECT_EQ(d.cachedLength(), 0.0f);
    EXPECT_EQ(d.length(), 5.0f);
    d.normalise();
    EXPECT_NEAR(d.length(), 1.0f, 1e-6f);

    Direction copy = d;
    EXPECT_EQ(copy.cachedLength(), 0.0f);
    EXPECT_EQ(copy.x, d.x);
    EXPECT_EQ(d.transformed(Matrix::identity()).cachedLength(), 0.0f);

    // cross keeps the cached length of the target.
    Direction c(1.0f, 1.0f, 1.0f);
    c.length();
    c.cross(Direction(1.0f, 0.0f, 0.0f), Direction(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(c.x, 0.0f);
    EXPECT_EQ(c.y, 0.0f);
    EXPECT_EQ(c.z, 1.0f);
    EXPECT_NEAR(c.cachedLength(), std::sqrt(3.0f), 1e-6f);
}

TEST(Direction, ZeroVectorNormalisesToZeroNotNaN) {
    Direction d(0.0f, 0.0f, 0.0f);
    d.length();
    d.normalise();
    EXPECT_EQ(d.x, 0.0f);
    EXPECT_EQ(d.y, 0.0f);
    EXPECT_EQ(d.z, 0.0f);
}

TEST(Direction, ArithmeticBetweenPointsAndDirections) {
    const Point a(1.0f, 2.0f, 3.0f), b(4.0f, 6.0f, 3.0f);
    const Direction ab(a, b);
    EXPECT_EQ(ab.x, 3.0f);
    EXPECT_EQ(ab.y, 4.0f);
    EXPECT_EQ(ab.z, 0.0f);
    expectPoint(Point::difference(a, b), 3.0f, 4.0f, 0.0f, 0.0f);
    EXPECT_EQ(dot(ab, Direction(1.0f, 1.0f, 1.0f)), 7.0f);

    Direction sum = ab;
    sum.add(Direction(1.0f, 1.0f, 1.0f));
    sum.divide(2.0f);
    EXPECT_EQ(sum.x, 2.0f);
    EXPECT_EQ(sum.y, 2.5f);
    EXPECT_EQ(sum.z, 0.5f);

    // Directions are transformed with the translation row, like points.
    const Direction moved = ab.transformed(Matrix::translation(1.0f, 0.0f, 0.0f));
    EXPECT_EQ(moved.x, 4.0f);

    Point p;
    p.assign(ab);
    expectPoint(p, 3.0f, 4.0f, 0.0f, 0.0f);
}

}  // namespace
