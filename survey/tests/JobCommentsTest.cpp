#include "survey/JobComments.h"
#include "survey/Text.h"

#include <gtest/gtest.h>

namespace survey {
namespace {

const std::vector<std::string> kFile = {
    "CO,Nikon RAW data format V2.00",        // 0
    "CO,LOT-14",                             // 1
    "CO,Instrument: Nikon NPL-332",          // 2
    "CO,Downloaded 14-Mar-2024 16:02:44",    // 3
    "CO,Dist Units: US Feet",                // 4
    "CO,Angle Units: Gons",                  // 5
    "CO,Zero VA: Horizontal",                // 6
    "CO,HA Raw data: Azimuth",               // 7
    "CO,Zero azimuth: South",                // 8
    "CO,<JOB> Created 14-Mar-2024 07:41:10", // 9
    "ST,A,,B,,1.5,0.0000,0.0000",            // 10
    " CO , Zero VA: Compass , ignored",      // 11
    "CO,Dist Units: Metres",                 // 12
    "CO,HA Raw data: HA zero to BS",         // 13
    "CO,Start of Resection Zero VA: Zenith", // 14
    "F1,Zero VA: Zenith",                    // 15
};

TEST(JobComments, TheLastCommentOfEachKindBeforeALineApplies) {
    const JobComments comments = JobComments::Read(kFile);
    const JobFacts start = comments.FactsAt(0);
    EXPECT_EQ(start.zeroVa, ZeroVa::Zenith);
    EXPECT_EQ(start.readings, CircleReadings::FromBacksight);
    EXPECT_EQ(start.distanceUnit, LengthUnit::Metre);

    const JobFacts station = comments.FactsAt(10);
    EXPECT_EQ(station.zeroVa, ZeroVa::Horizontal);
    EXPECT_EQ(station.readings, CircleReadings::Azimuth);
    EXPECT_EQ(station.zeroAzimuth, ZeroAzimuth::South);
    EXPECT_EQ(station.distanceUnit, LengthUnit::UsSurveyFoot);
    EXPECT_EQ(station.distanceUnitText, "US Feet");
    EXPECT_EQ(station.angleUnitText, "Gons");

    // The end: only the second field of a comment counts, and a resection comment sets nothing.
    const JobFacts end = comments.FactsAt(std::nullopt);
    EXPECT_EQ(end.zeroVa, ZeroVa::Compass);
    EXPECT_EQ(end.distanceUnit, LengthUnit::Metre);
    EXPECT_EQ(end.readings, CircleReadings::FromBacksight);
    EXPECT_EQ(end.zeroAzimuth, ZeroAzimuth::South);
}

TEST(JobComments, ReadsTheHeaderTexts) {
    const JobComments comments = JobComments::Read(kFile);
    const JobHeader& header = comments.Header();
    EXPECT_EQ(header.job, "LOT-14");
    EXPECT_EQ(header.instrument, "Nikon NPL-332");
    EXPECT_EQ(header.downloaded, "14-Mar-2024 16:02:44");
    EXPECT_EQ(header.created, "14-Mar-2024 07:41:10");
}

TEST(JobComments, FeetWithoutUsAreInternationalFeet) {
    EXPECT_EQ(JobComments::Read({"CO,Dist Units: Feet"}).FactsAt(1).distanceUnit,
              LengthUnit::InternationalFoot);
    EXPECT_EQ(JobComments::Read({"CO,Dist Units: feet"}).FactsAt(1).distanceUnit, LengthUnit::Metre);
}

// The angle unit is read once, with the module's words in the module's order; a comment with none
// of them leaves the unit as it was.
TEST(JobComments, TheAngleUnitIsAFactOfTheModulesWords) {
    const struct {
        std::vector<std::string> lines;
        std::optional<AngleUnit> unit;
    } cases[] = {
        {{}, std::nullopt},
        {{"CO,Angle Units: DDDMMSS"}, AngleUnit::DegreesMinutesSeconds},
        {{"CO,Angle Units: Degrees"}, AngleUnit::Degrees},
        {{"CO,Angle Units: Gon"}, AngleUnit::Gons},
        {{"CO,Angle Units: MIL6000"}, AngleUnit::Mils},
        {{"CO,Angle Units: MIL6400"}, AngleUnit::Mils},
        {{"CO,Angle Units: Gons", "CO,Angle Units: Radians"}, AngleUnit::Gons},
        {{"CO,Angle Units: gons"}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JobComments::Read(c.lines).FactsAt(std::nullopt).angleUnit, c.unit)
            << ::testing::PrintToString(c.lines);
}

// The quick test of a line must pass every comment the reader takes and only those: as the trimmed
// line starting "CO" does, whatever white space stands before or after.
TEST(JobComments, MayBeCommentIsTheTrimmedLinesStart) {
    const std::string kSpaces[] = {"", " ", "\t", " \r\n\v\f\t"};
    const std::string kBodies[] = {"CO,x",
                                   "CO",
                                   "C",
                                   "C O",
                                   "ST,CO",
                                   "co,x",
                                   "OC",
                                   ",CO",
                                   "",
                                   "\x01"
                                   "CO",
                                   "\xC3"
                                   "CO"};
    for (const std::string& before : kSpaces)
        for (const std::string& body : kBodies)
            for (const std::string& after : kSpaces) {
                const std::string line = before + body + after;
                EXPECT_EQ(JobComments::MayBeComment(line), Trimmed(line).substr(0, 2) == "CO") << line;
            }
}

} // namespace
} // namespace survey
