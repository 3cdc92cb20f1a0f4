#include "survey/Geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>

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

} // namespace
} // namespace survey
