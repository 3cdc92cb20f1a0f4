#include "host/pipeline/FileSurvey.h"
#include "survey/Geometry.h"
#include "survey/Sightings.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace host {
namespace {

using survey::kPi;

// Reads each whole file the feeder hands over into a survey, as the outputs of coordinates do.
class Surveys final : public FileSection {
public:
    explicit Surveys(const SurveySettings& settings) : builder(settings) {}

    void FileReady(const PackedFile& file, const std::vector<Message>& messages,
                   const FileEnd& end) override {
        builder.Read(file, messages, end, true);
        SurveyBuilder::Reduced reduced = builder.Reduce();
        reduced.file.reduction.coordinates = reduced.coordinates.Coordinates();
        files.push_back(std::move(reduced.file));
    }

    SurveyBuilder builder;
    std::vector<survey::FileSurvey> files;
};

Observation Sight(const wchar_t* target, double horizontal, double distance, int line) {
    Observation observation;
    observation.target = target;
    observation.horizontalAngle = horizontal;
    observation.verticalAngle = kPi / 2;
    observation.slopeDistance = distance;
    observation.line = line;
    return observation;
}

Point Known(const wchar_t* name, double northing, double easting, int line) {
    Point point;
    point.name = name;
    point.northing = northing;
    point.easting = easting;
    point.line = line;
    return point;
}

// A station on a known point, its backsight due north and a side shot due east, sent as the host's
// events: the survey has the facts of the file's own comments and the side shot where it lies.
TEST(FileSurvey, EventsOfAFileBecomeItsSurveyWithTheFactsOfItsComments) {
    const testsupport::TempDir folder;
    const std::wstring path =
        folder.Write("job.rdf", "CO,Dist Units: US Feet\nCO,Angle Units: Gons\n").wstring();
    const SurveySettings settings;
    Surveys surveys(settings);
    const std::unique_ptr<ImportEvents> feeder = MakeSectionFeeder({&surveys});

    feeder->FileBegun({path, 0});
    feeder->ObservationReady(Sight(L"X", 0, 10, 2)); // before any station: not reduced
    feeder->PointReady(Known(L"S1", 1000, 2000, 2));
    feeder->PointReady(Known(L"B", 1100, 2000, 3));
    Station station;
    station.name = L"S1";
    station.line = 4;
    feeder->StationReady(station);
    feeder->ObservationReady(Sight(L"B", 0.25, 100, 5));
    feeder->ObservationReady(Sight(L"P", 0.25 + kPi / 2, 50, 6));
    feeder->MessageReported({6, L"a message"});
    feeder->FileEnded({path, 0, FileOutcome::Imported});

    ASSERT_EQ(surveys.files.size(), 1u);
    const survey::FileSurvey& file = surveys.files[0];
    EXPECT_EQ(file.outcome, "imported");
    EXPECT_EQ(file.job.facts.distanceUnit, survey::LengthUnit::UsSurveyFoot);
    EXPECT_EQ(file.job.facts.angleUnit, survey::AngleUnit::Gons);
    EXPECT_EQ(OutputUnit(file, settings), survey::LengthUnit::UsSurveyFoot);
    ASSERT_EQ(file.messages.size(), 1u);
    EXPECT_EQ(file.messages[0].text, "a message");
    ASSERT_EQ(file.job.stations.size(), 1u);
    EXPECT_EQ(file.job.stations[0].observations.size(), 2u);
    const auto& points = file.reduction.coordinates;
    const auto p =
        std::find_if(points.begin(), points.end(), [](const survey::Coordinate& c) { return c.name == "P"; });
    ASSERT_NE(p, points.end());
    EXPECT_NEAR(p->northing, 1000, 1e-9);
    EXPECT_NEAR(p->easting, 2050, 1e-9);
    ASSERT_FALSE(file.reduction.diagnostics.empty());
    EXPECT_EQ(file.reduction.diagnostics[0].text,
              "observations that come before any station are not reduced");
}

// --units, else the first file's own unit, is the run's; the converters' foot follows --feet.
TEST(FileSurvey, TheOutputUnitAndTheFeetFollowTheSettings) {
    survey::FileSurvey inFeet;
    inFeet.job.facts.distanceUnit = survey::LengthUnit::InternationalFoot;
    SurveySettings settings;
    EXPECT_EQ(OutputUnit(inFeet, settings), survey::LengthUnit::InternationalFoot);
    EXPECT_EQ(FeetOf(settings), Feet::AsTheFileSays);
    settings.units = survey::LengthUnit::Metre;
    settings.overrides.feet = survey::LengthUnit::UsSurveyFoot;
    EXPECT_EQ(OutputUnit(inFeet, settings), survey::LengthUnit::Metre);
    EXPECT_EQ(FeetOf(settings), Feet::UsSurvey);
}

} // namespace
} // namespace host
