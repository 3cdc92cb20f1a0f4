#include "survey/KnownPoints.h"

#include <gtest/gtest.h>

#include <sstream>

namespace survey {
namespace {

TEST(KnownPoints, ReadsTheOptionInTheUnitAsked) {
    const auto point =
        std::get<KnownPoint>(ParseKnownPoint("T1 = 5000.5,1000,100", LengthUnit::UsSurveyFoot));
    EXPECT_EQ(point.name, "T1");
    EXPECT_DOUBLE_EQ(point.northing, 5000.5 * 1200 / 3937);
    EXPECT_DOUBLE_EQ(point.easting, 1000 * 1200.0 / 3937);
    EXPECT_DOUBLE_EQ(*point.elevation, 100 * 1200.0 / 3937);
    EXPECT_EQ(point.origin, PointOrigin::UserGiven);
    EXPECT_FALSE(std::get<KnownPoint>(ParseKnownPoint("T2=1,2", LengthUnit::Metre)).elevation);
}

TEST(KnownPoints, NamesWhatIsWrong) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"T1", "'T1' is not NAME=N,E[,Z]"},
        {"=1,2", "the point has no name"},
        {"T1=1", "expected NAME, northing, easting and an optional elevation"},
        {"T1=1,2,3,4", "expected NAME, northing, easting and an optional elevation"},
        {"T1=1,2e", "the northing and easting of T1 are not both numbers"},
        {"T1=1,2,x", "the elevation of T1 is not a number"},
    };
    for (const auto& given : cases)
        EXPECT_EQ(std::get<std::string>(ParseKnownPoint(given.text, LengthUnit::Metre)), given.error)
            << given.text;
}

TEST(KnownPoints, ReadsAFileWithAHeaderRowAndNamesBadLines) {
    std::istringstream in("name,northing,easting,elevation\nA,1,2,3\n\nB,4,5\nC,x,1\n");
    const KnownPointList list = ReadKnownPoints(in, LengthUnit::Metre);
    ASSERT_EQ(list.points.size(), 2u);
    EXPECT_EQ(list.points[1].name, "B");
    EXPECT_EQ(list.errors,
              std::vector<std::string>{"line 5: the northing and easting of C are not both numbers"});

    std::istringstream headless("A,1,2,3\n");
    EXPECT_EQ(ReadKnownPoints(headless, LengthUnit::Metre).errors.size(), 1u);
}

} // namespace
} // namespace survey
