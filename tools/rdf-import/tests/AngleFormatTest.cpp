#include "tools/rdf-import/AngleFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace rdf {
namespace {

constexpr double kDegree = 3.141592653589793 / 180.0;

struct Case {
    double degrees;
    AngleStyle style;
    std::string shown;
};

TEST(AngleFormat, ShowsEachStyleWithItsUnit) {
    const Case cases[] = {
        {123 + 45.0 / 60 + 30.0 / 3600, AngleStyle::Dms, "123\u00b045'30.0\""},
        {0.0, AngleStyle::Dms, "0\u00b000'00.0\""},
        {59.0 / 60 + 59.96 / 3600, AngleStyle::Dms, "1\u00b000'00.0\""}, // carries into the degree
        {-(12 + 30.0 / 60 + 45.0 / 3600), AngleStyle::Dms, "-12\u00b030'45.0\""},
        {-0.01 / 3600, AngleStyle::Dms, "0\u00b000'00.0\""}, // no sign on a zero
        {90.0, AngleStyle::Degrees, "90.000000\u00b0"},
        {-1e-9, AngleStyle::Degrees, "0.000000\u00b0"}, // the unit follows a sign left off
        {90.0, AngleStyle::Gons, "100.00000 gon"},
        {180.0, AngleStyle::Radians, "3.1415927 rad"},
        // Beyond what a count of tenths of a second holds, and not finite: whole degrees.
        {2.6e14, AngleStyle::Dms, "260000000000000\u00b0"},
        {std::numeric_limits<double>::infinity(), AngleStyle::Dms, "inf\u00b0"},
        {std::nan(""), AngleStyle::Dms, "nan\u00b0"},
        {std::nan(""), AngleStyle::Gons, "nan gon"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(FormatAngle(c.degrees * kDegree, c.style), c.shown);
    }
    // The largest angles keep every digit: 5.7e301 degrees.
    EXPECT_EQ(FormatAngle(-1e300, AngleStyle::Dms).substr(0, 4), "-572");
    EXPECT_EQ(FormatAngle(-1e300, AngleStyle::Dms).size(), 305u);
}

TEST(AngleFormat, NumbersForToolsAreExactAndBare) {
    EXPECT_EQ(AngleNumber(0.5, AngleStyle::Radians), "0.5");
    EXPECT_EQ(AngleNumber(90.0 * kDegree, AngleStyle::Degrees), "90");
    EXPECT_EQ(AngleNumber(90.0 * kDegree, AngleStyle::Gons), "100");
}

TEST(AngleFormat, StyleNames) {
    EXPECT_EQ(ParseAngleStyle("dms"), AngleStyle::Dms);
    EXPECT_EQ(ParseAngleStyle("deg"), AngleStyle::Degrees);
    EXPECT_EQ(ParseAngleStyle("gon"), AngleStyle::Gons);
    EXPECT_EQ(ParseAngleStyle("rad"), AngleStyle::Radians);
    EXPECT_EQ(ParseAngleStyle("mil"), std::nullopt);
    EXPECT_EQ(ParseAngleStyle(""), std::nullopt);
}

} // namespace
} // namespace rdf
