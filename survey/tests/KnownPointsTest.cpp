#include "survey/KnownPoints.h"
#include "survey/Text.h"

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

// The options, the known points and the host's converters read numbers alike: a sign, a point
// and an exponent all allowed, in any combination.
TEST(Numbers, ASignAPointAndAnExponentAreReadAlikeEverywhere) {
    const struct {
        const char* text;
        std::optional<double> number;
    } cases[] = {
        {"+100", 100.0},
        {"-12.5", -12.5},
        {".5", 0.5},
        {"5.", 5.0},
        {"1e3", 1000.0},
        {"+2.5E-3", 0.0025},
        {"-1e+2", -100.0},
        {"007", 7.0},
        {"", std::nullopt},
        {"+", std::nullopt},
        {".", std::nullopt},
        {"1e", std::nullopt},
        {"e5", std::nullopt},
        {"1.2.3", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"--5", std::nullopt},
        {"+-5", std::nullopt},
        {"0x10", std::nullopt},
        {"inf", std::nullopt},
        {"nan", std::nullopt},
        {"1,5", std::nullopt},
        {"1e400", std::nullopt},
    };
    for (const auto& given : cases)
        EXPECT_EQ(ReadNumber(given.text), given.number) << given.text;
    const auto point = std::get<KnownPoint>(ParseKnownPoint("A=+100,200,-1.5e1", LengthUnit::Metre));
    EXPECT_EQ(point.northing, 100.0);
    EXPECT_EQ(point.easting, 200.0);
    EXPECT_EQ(point.elevation, -15.0);
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
        {"T1=nan,2", "the northing and easting of T1 are not both numbers"},
        {"T1=1,inf", "the northing and easting of T1 are not both numbers"},
        {"T1=1,2e300", "the northing and easting of T1 must be finite and within 1000000000 of zero"},
        {"T1=1,2,-inf", "the elevation of T1 is not a number"},
        {"T1=1,2,1e400", "the elevation of T1 is not a number"},
        {"T\x1b[2J=1,2", "a point's name holds a control character"},
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

// What editors and spreadsheets save, and what is no file of points at all.
TEST(KnownPoints, FilesOfEveryLineEndAndTheirLimits) {
    const struct {
        const char* what;
        std::string text;
        std::size_t points;
        std::string firstError;
    } cases[] = {
        {"byte-order mark", "\xEF\xBB\xBFname,northing,easting\nA,1,2\n", 1, ""},
        {"CR only", "name,northing,easting\rA,1,2\rB,3,4", 2, ""},
        {"CR LF", "name,northing,easting\r\nA,1,2\r\n\r\nB,3,4\r\n", 2, ""},
        {"NUL in a name", "name,northing,easting\nA" + std::string(1, '\0') + "B,1,2\n", 0,
         "line 2: a point's name holds a control character"},
        {"NaN", "name,northing,easting\nA,NaN,2\n", 0,
         "line 2: the northing and easting of A are not both numbers"},
        {"endless", std::string(kMaxKnownPointsBytes + 1, '\0'), 0,
         "longer than 67108864 bytes; a file of control points is far shorter"},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.text);
        const KnownPointList list = ReadKnownPoints(in, LengthUnit::Metre);
        EXPECT_EQ(list.points.size(), c.points) << c.what;
        EXPECT_EQ(list.errors.empty() ? "" : list.errors.front(), c.firstError) << c.what;
    }
}

} // namespace
} // namespace survey
