#include "host/AngleFormat.h"
#include "survey/Geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace rdf {
namespace {

constexpr double kDegree = survey::kPi / 180.0;

struct Case {
    double degrees;
    host::AngleStyle style;
    std::string shown;
};

TEST(AngleFormat, ShowsEachStyleWithItsUnit) {
    const Case cases[] = {
        {123 + 45.0 / 60 + 30.0 / 3600, host::AngleStyle::Dms, "123\u00b045'30.0\""},
        {0.0, host::AngleStyle::Dms, "0\u00b000'00.0\""},
        {59.0 / 60 + 59.96 / 3600, host::AngleStyle::Dms, "1\u00b000'00.0\""}, // carries into the degree
        {-(12 + 30.0 / 60 + 45.0 / 3600), host::AngleStyle::Dms, "-12\u00b030'45.0\""},
        {-0.01 / 3600, host::AngleStyle::Dms, "0\u00b000'00.0\""}, // no sign on a zero
        {90.0, host::AngleStyle::Degrees, "90.000000\u00b0"},
        {-1e-9, host::AngleStyle::Degrees, "0.000000\u00b0"}, // the unit follows a sign left off
        {90.0, host::AngleStyle::Gons, "100.00000 gon"},
        {180.0, host::AngleStyle::Radians, "3.1415927 rad"},
        {90.0, host::AngleStyle::Mils, "1600.000 mil"},
        // Beyond what a count of tenths of a second holds, and not finite: whole degrees.
        {2.6e14, host::AngleStyle::Dms, "260000000000000\u00b0"},
        {std::numeric_limits<double>::infinity(), host::AngleStyle::Dms, "inf\u00b0"},
        {std::nan(""), host::AngleStyle::Dms, "nan\u00b0"},
        {std::nan(""), host::AngleStyle::Gons, "nan gon"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(host::FormatAngle(c.degrees * kDegree, c.style), c.shown);
    }
    // The largest angles keep every digit: 5.7e301 degrees.
    EXPECT_EQ(host::FormatAngle(-1e300, host::AngleStyle::Dms).substr(0, 4), "-572");
    EXPECT_EQ(host::FormatAngle(-1e300, host::AngleStyle::Dms).size(), 305u);
}

TEST(AngleFormat, NumbersForToolsAreExactAndBare) {
    EXPECT_EQ(host::AngleNumber(0.5, host::AngleStyle::Radians), "0.5");
    EXPECT_EQ(host::AngleNumber(90.0 * kDegree, host::AngleStyle::Degrees), "90");
    EXPECT_EQ(host::AngleNumber(90.0 * kDegree, host::AngleStyle::Gons), "100");
}

TEST(AngleFormat, StyleNames) {
    EXPECT_EQ(host::ParseAngleStyle("dms"), host::AngleStyle::Dms);
    EXPECT_EQ(host::ParseAngleStyle("deg"), host::AngleStyle::Degrees);
    EXPECT_EQ(host::ParseAngleStyle("gon"), host::AngleStyle::Gons);
    EXPECT_EQ(host::ParseAngleStyle("rad"), host::AngleStyle::Radians);
    EXPECT_EQ(host::ParseAngleStyle("mil"), host::AngleStyle::Mils);
    EXPECT_EQ(host::ParseAngleStyle("mils"), std::nullopt);
    EXPECT_EQ(host::ParseAngleStyle(""), std::nullopt);
}

} // namespace
} // namespace rdf
