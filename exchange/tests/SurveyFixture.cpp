#include "exchange/tests/SurveyFixture.h"
#include "survey/Geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace exchange::test {
namespace {

using survey::kPi;

survey::Coordinate Point(const std::string& name, double easting, double northing,
                         std::optional<double> elevation, const std::string& code,
                         survey::PointSource source) {
    survey::Coordinate point;
    point.name = name;
    point.easting = easting;
    point.northing = northing;
    point.elevation = elevation;
    point.code = code;
    point.source = source;
    return point;
}

// The readings of a face-left observation from the station to the point: the circle reading is the
// azimuth less the orientation, the zenith angle and slope distance from the height difference
// between instrument and target.
survey::Observation Observe(const survey::StationResult& station, const survey::Coordinate& target,
                            double targetHeight, std::optional<bool> faceRight) {
    const double dE = target.easting - *station.easting;
    const double dN = target.northing - *station.northing;
    const double horizontal = std::hypot(dE, dN);
    const double rise = target.elevation.value_or(*station.elevation) + targetHeight -
                        (*station.elevation + *station.instrumentHeight);
    double reading = std::atan2(dE, dN) - *station.orientation;
    double zenith = std::atan2(horizontal, rise);
    if (faceRight && *faceRight) {
        reading += kPi;
        zenith = 2 * kPi - zenith;
    }
    survey::Observation observation;
    observation.target = target.name;
    observation.horizontalAngle = std::fmod(reading + 4 * kPi, 2 * kPi);
    observation.verticalAngle = zenith;
    observation.slopeDistance = std::hypot(horizontal, rise);
    observation.targetHeight = targetHeight;
    observation.faceRight = faceRight;
    observation.code = target.code;
    return observation;
}

survey::StationResult Located(const survey::Coordinate& mark, double instrumentHeight, double orientation,
                              int line) {
    survey::StationResult station;
    station.name = mark.name;
    station.line = line;
    station.status = survey::StationStatus::Oriented;
    station.northing = mark.northing;
    station.easting = mark.easting;
    station.elevation = mark.elevation;
    station.instrumentHeight = instrumentHeight;
    station.temperature = 18.5;
    station.pressure = 1009.0;
    station.orientation = orientation;
    return station;
}

} // namespace

survey::FileSurvey SiteSurvey() {
    using survey::PointSource;
    survey::FileSurvey file;
    file.path = "site.rdf";
    file.outcome = "imported";
    file.job.header.job = "SITE";
    file.job.facts.angleUnitText = "DDDMMSS";
    file.job.facts.angleUnit = survey::AngleUnit::DegreesMinutesSeconds;
    file.reduction.coordinates = {
        Point("S1", 500100.000, 5500200.000, 300.000, "", PointSource::Known),
        Point("K1", 500100.000, 5500400.000, 305.000, "", PointSource::Known),
        Point("P1", 500150.250, 5500260.500, 301.234, "TREE", PointSource::Computed),
        Point("P2", 500080.125, 5500230.750, 299.500, "WALL", PointSource::Computed),
        Point("P3", 500120.875, 5500170.125, std::nullopt, "", PointSource::Computed),
        Point("S2", 500160.000, 5500210.000, 300.800, "", PointSource::Computed),
    };
    file.reduction.coordinates[2].horizontalSpread = 0.004;
    file.reduction.coordinates[2].verticalSpread = 0.006;

    const survey::StationResult s1 = Located(PointNamed(file, "S1"), 1.550, 0.3, 3);
    const survey::StationResult s2 = Located(PointNamed(file, "S2"), 1.480, 1.1, 12);
    file.reduction.stations = {s1, s2};
    file.reduction.stations[0].checks.push_back({"S1", "K1", 4.8e-5, 0.002, std::nullopt});

    // The set-ups as the file recorded them: the observations of each, in the file's order.
    const auto setUp = [&](const survey::StationResult& result,
                           std::vector<std::pair<std::string, std::optional<bool>>> sights) {
        survey::Station station;
        station.name = result.name;
        station.line = result.line;
        station.instrumentHeight = result.instrumentHeight;
        station.facts = file.job.facts;
        for (const auto& [target, faceRight] : sights) {
            const double targetHeight = faceRight ? 1.6 : 1.3;
            station.observations.push_back(
                Observe(result, PointNamed(file, target), targetHeight, faceRight));
        }
        return station;
    };
    survey::Station first =
        setUp(s1, {{"K1", false}, {"K1", true}, {"P1", {}}, {"P2", {}}, {"P3", {}}, {"S2", false}});
    survey::Observation unlocated = first.observations[2];
    unlocated.target = "X";
    first.observations.push_back(unlocated);
    const survey::Station second = setUp(s2, {{"S1", false}, {"P1", {}}});
    file.job.stations = {first, second};
    return file;
}

survey::FileSurvey AdjustedSiteSurvey() {
    survey::FileSurvey file = SiteSurvey();
    double millimetres = 2;
    for (survey::Coordinate& point : file.reduction.coordinates) {
        if (point.source != survey::PointSource::Computed)
            continue;
        const double sd = millimetres * kMillimetre;
        std::optional<double> sdElevation;
        if (point.elevation)
            sdElevation = 1.5 * sd;
        // The azimuths run from 1.4 to 3.5 radians, the last past a half turn.
        point.precision =
            survey::Precision{sd, 0.8 * sd, sdElevation, {2.45 * sd, 1.6 * sd, millimetres * 0.7}};
        millimetres += 1;
    }
    return file;
}

const survey::Coordinate& PointNamed(const survey::FileSurvey& file, const std::string& name) {
    const auto& points = file.reduction.coordinates;
    const auto found = std::find_if(points.begin(), points.end(),
                                    [&](const survey::Coordinate& point) { return point.name == name; });
    if (found == points.end())
        throw std::logic_error("the fixture has no point " + name);
    return *found;
}

void ExpectError(const std::function<void()>& action, Error::Kind kind, const std::string& words) {
    try {
        action();
        ADD_FAILURE() << "no error; expected one saying: " << words;
    } catch (const Error& error) {
        EXPECT_EQ(error.kind(), kind) << error.what();
        EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
    }
}

ScratchFolder::ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "exchange-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a scratch folder");
    m_path = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

} // namespace exchange::test
