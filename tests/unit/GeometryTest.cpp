// The toolkit's geometry: its own pi (3.1415926) against the library's full-precision
// trigonometry, the normalisation rules at their seams, and the guarded line intersection.
#include <gtest/gtest.h>

#include <cmath>

#include "Toolkit.h"

namespace {

const double kPi = 3.1415926;
const double kTwoPi = 6.2831852;
const double kFullPi = std::acos(-1.0);

TEST(Geometry, ToolkitConstantsAreExactHalfAndDouble) {
    EXPECT_EQ(TOOLKIT_PI / 2, TOOLKIT_HALF_PI);
    EXPECT_EQ(TOOLKIT_PI * 2, TOOLKIT_DOUBLE_PI);
}

TEST(Geometry, DegreeConversionsUseTheToolkitPiAndMultiplyFirst) {
    EXPECT_EQ(180.0, toDegrees(kPi));
    EXPECT_EQ(kPi, toRadians(180));
    EXPECT_NEAR(3.07e-6, toDegrees(kFullPi) - 180, 1e-8);
    // 0.3 and 1e-3 come out differently when the quotient 180 / pi is taken first.
    for (double a : {0.3, 1e-3, 2.5}) {
        EXPECT_EQ((a * 180.0) / kPi, toDegrees(a)) << a;
        EXPECT_EQ((a * kPi) / 180.0, toRadians(a)) << a;
    }
}

TEST(Geometry, AngleDoublePiLiftsNegativeAnglesByTheToolkitTurn) {
    EXPECT_EQ(0.0, angleDoublePI(0));
    EXPECT_EQ(kTwoPi - 0.5, angleDoublePI(-0.5));
    EXPECT_DOUBLE_EQ(7.0 - 2 * kFullPi, angleDoublePI(7.0));
    EXPECT_EQ(kFullPi, angleDoublePI(kFullPi));
    EXPECT_EQ(kTwoPi - kFullPi, angleDoublePI(-kFullPi));
    EXPECT_LT(angleDoublePI(-kFullPi), kFullPi);
    // sin(2 pi) is a tiny negative number: lifting it lands on the whole turn itself.
    EXPECT_EQ(kTwoPi, angleDoublePI(2 * kFullPi));
    EXPECT_TRUE(std::isnan(angleDoublePI(NAN)));
}

TEST(Geometry, AnglePiFoldsWholeFullPrecisionTurns) {
    EXPECT_NEAR(0.5, anglePI(0.5 + 4 * kFullPi), 1e-12);
    EXPECT_NEAR(-0.5, anglePI(-0.5 - 2 * kFullPi), 1e-12);
    EXPECT_EQ(kFullPi, anglePI(kFullPi));
}

TEST(Geometry, Angle360DriftsByTheDifferenceOfThePis) {
    EXPECT_EQ(90.0, angle360(90));
    EXPECT_EQ(180.0, angle360(180));
    EXPECT_NEAR(270.0, angle360(-90), 1e-12);
    // One whole turn removed at full precision, converted back with 3.1415926.
    EXPECT_NEAR(360.0 - 6.14e-6, angle360(360), 1e-8);
    EXPECT_NEAR(359.0 - 6.14e-6, angle360(359), 1e-8);
    EXPECT_NEAR(6.14e-6, angle360(-360), 1e-8);
}

TEST(Geometry, DistanceAndHeading) {
    EXPECT_EQ(5.0, distance(1, 2, 4, 6));
    EXPECT_EQ(0.0, heading(0, 0, 0, 0));
    EXPECT_EQ(0.0, heading(3, 3, 3, 3));
    EXPECT_EQ(0.0, heading(0, 0, 1, 0));
    EXPECT_EQ(kFullPi / 2, heading(0, 0, 0, 1));
    EXPECT_EQ(kTwoPi - kFullPi / 2, heading(0, 0, 0, -1));
    EXPECT_EQ(kFullPi, heading(0, 0, -1, 0));
    EXPECT_TRUE(std::isnan(heading(NAN, 0, 1, 1)));
}

TEST(Geometry, BearingIsTheShortSignedTurnAcrossZero) {
    double b = bearing(0.1, 6.2);
    EXPECT_NEAR(0.1831854, b, 1e-7);
    EXPECT_EQ(-b, bearing(6.2, 0.1));
    EXPECT_EQ(b, absBearing(0.1, 6.2));
    EXPECT_EQ(b, absBearing(6.2, 0.1));
    EXPECT_NEAR(-1.0, bearing(0.5, 1.5), 1e-15);
    EXPECT_NEAR(1.0, bearing(-0.5, -1.5), 1e-15);
}

TEST(Geometry, Gaussian) {
    EXPECT_EQ(1.0, gaussian(0, 3.5));
    EXPECT_EQ(1.0, gaussian(0, -2));
    EXPECT_EQ(1.0, gaussian(7, 0));
    EXPECT_EQ(std::exp(-2.0), gaussian(2, 0.5));
    EXPECT_GT(gaussian(2, -0.5), 1.0);
}

TEST(Geometry, NextPointUsesTheAngleAsGiven) {
    double x = -1, y = -1;
    nextPoint(1, 2, 0.7, 0, &x, &y);
    EXPECT_EQ(1.0, x);
    EXPECT_EQ(2.0, y);
    nextPoint(0, 0, 0, -5, &x, &y);
    EXPECT_EQ(-5.0, x);
    nextPoint(1, 1, kFullPi / 2 + 2 * kFullPi, 2, &x, &y);
    EXPECT_NEAR(1.0, x, 1e-12);
    EXPECT_NEAR(3.0, y, 1e-12);
    nextPoint(1, 1, 0, 2, nullptr, &y);
    EXPECT_EQ(1.0, y);
    nextPoint(1, 1, 0, 2, &x, nullptr);
    EXPECT_EQ(3.0, x);
}

TEST(Geometry, CrossPointThroughTheOrigin) {
    double x = 0, y = 0;
    crossPoint(0, 0, 1, 1, 0, 1, 1, 0, &x, &y);
    EXPECT_NEAR(0.5, x, 1e-9);
    EXPECT_NEAR(0.5, y, 1e-9);
    crossPoint(0, 0, 1, 1, 0, 1, 1, 0, nullptr, &y);
    crossPoint(0, 0, 1, 1, 0, 1, 1, 0, &x, nullptr);
}

TEST(Geometry, CrossPointGuardErrorGrowsWithTheCoordinates) {
    double x = 0, y = 0;
    crossPoint(5, 5, 10, 5, 20, 3, 20, 9, &x, &y);
    EXPECT_NEAR(20.0, x, 1e-7);
    EXPECT_NEAR(5.0, y, 1e-7);
    EXPECT_TRUE(x != 20.0 || y != 5.0);
    crossPoint(100, 100, 200, 100, 150, 0, 150, 300, &x, &y);
    EXPECT_NEAR(150.0, x, 1e-4);
    EXPECT_NEAR(100.0, y, 1e-4);
    EXPECT_GT(std::fabs(x - 150.0) + std::fabs(y - 100.0), 1e-6);
}

TEST(Geometry, CrossPointOfParallelAndIdenticalLines) {
    double x = 0, y = 0;
    crossPoint(0, 0, 1, 0, 0, 1, 1, 1, &x, &y);
    EXPECT_GT(std::fabs(x), 1e21);
    EXPECT_LT(std::fabs(x), 1e23);
    EXPECT_GT(std::fabs(y), 1e10);
    EXPECT_LT(std::fabs(y), 1e12);
    crossPoint(0, 0, 10, 0, 0, 0, 10, 0, &x, &y);
    EXPECT_EQ(1.0, x);
    EXPECT_EQ(1.0, y);
}

}  // namespace
