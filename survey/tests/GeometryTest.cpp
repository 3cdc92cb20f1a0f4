#include "survey/Geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <vector>

namespace survey {
namespace {

TEST(RoundFactors, ScaleLengthsAndEllipseExaggerations) {
    const struct {
        double value;
        double below;        // the round number nearest below
        double exaggeration; // never below 1, never above a million
    } cases[] = {
        {160, 100, 100}, {7.3, 5, 5},     {0.37, 0.2, 1}, {2, 2, 2},       {1999, 1000, 1000},
        {49, 20, 20},    {250, 200, 200}, {1, 1, 1},      {4e9, 2e9, 1e6}, {0.5, 0.5, 1},
    };
    for (const auto& [value, below, exaggeration] : cases) {
        EXPECT_DOUBLE_EQ(RoundBelow(value), below) << value;
        EXPECT_DOUBLE_EQ(EllipseExaggeration(value), exaggeration) << value;
    }
    EXPECT_DOUBLE_EQ(EllipseExaggeration(std::nan("")), 1);
}

// Angles in range and a turn below it skip the remainder: each must come out bit for bit as the
// remainder would give it, at the ends of the ranges too.
TEST(Angles, NormalisedIsTheRemainderInRange) {
    const auto byRemainder = [](double angle) {
        const double wrapped = std::fmod(angle, kTwoPi);
        return wrapped < 0 ? wrapped + kTwoPi : wrapped;
    };
    std::vector<double> angles = {0.0, -0.0, kTwoPi, -kTwoPi, kPi, -kPi, 1e-300, -1e-300, 1e300, -1e300};
    for (const double end : {0.0, kTwoPi, -kTwoPi, 2 * kTwoPi}) {
        angles.push_back(std::nextafter(end, 1e9));
        angles.push_back(std::nextafter(end, -1e9));
    }
    for (double angle = -20; angle < 20; angle += 0.0137)
        angles.push_back(angle);
    for (const double angle : angles) {
        const double expected = byRemainder(angle);
        EXPECT_EQ(std::signbit(Normalised(angle)), std::signbit(expected)) << angle;
        EXPECT_EQ(Normalised(angle), expected) << angle;
    }
    EXPECT_TRUE(std::isnan(Normalised(std::nan(""))));
}

} // namespace
} // namespace survey
