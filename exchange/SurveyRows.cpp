#include "exchange/SurveyRows.h"

#include "survey/Geometry.h"
#include "survey/Sightings.h"

#include <algorithm>
#include <cmath>

namespace exchange {
namespace {

const char* FaceName(const std::optional<bool>& faceRight) {
    if (!faceRight)
        return "";
    return *faceRight ? "right" : "left";
}

std::optional<Position> StationPosition(const survey::StationResult* result) {
    if (result == nullptr || !result->northing || !result->easting)
        return std::nullopt;
    return Position{*result->easting, *result->northing, result->elevation};
}

std::optional<Position> PointPosition(const survey::Reduction& reduction, const std::string& name) {
    const auto found = std::find_if(reduction.coordinates.begin(), reduction.coordinates.end(),
                                    [&](const survey::Coordinate& point) { return point.name == name; });
    if (found == reduction.coordinates.end())
        return std::nullopt;
    return Position{found->easting, found->northing, found->elevation};
}

std::optional<double> LargestResidual(const std::vector<survey::Check>& checks) {
    std::optional<double> largest;
    for (const survey::Check& check : checks) {
        if (!largest || std::fabs(check.azimuthResidual) > std::fabs(*largest))
            largest = check.azimuthResidual;
    }
    return largest;
}

void AddPoints(const survey::FileSurvey& file, SurveyRows& rows) {
    for (const survey::Coordinate& point : file.reduction.coordinates) {
        rows.points.push_back({point, file.path});
    }
}

void AddStations(const survey::FileSurvey& file, SurveyRows& rows) {
    for (const survey::StationResult& station : file.reduction.stations) {
        const std::optional<Position> position = StationPosition(&station);
        if (!position)
            continue;
        rows.stations.push_back({station.name, file.path, *position, station.instrumentHeight,
                                 station.temperature, station.pressure, station.orientation,
                                 LargestResidual(station.checks)});
    }
}

void AddObservations(const survey::FileSurvey& file, SurveyRows& rows) {
    for (const survey::Station& station : file.job.stations) {
        const std::optional<Position> from =
            StationPosition(survey::FindStationResult(file.reduction, station));
        for (const survey::Observation& observation : station.observations) {
            std::optional<double> zenith;
            if (observation.verticalAngle)
                zenith = survey::ZenithAngle(*observation.verticalAngle, station.facts.zeroVa);
            std::optional<double> horizontal;
            if (observation.horizontalAngle)
                horizontal = survey::Normalised(*observation.horizontalAngle);
            rows.observations.push_back({station.name, observation.target, FaceName(observation.faceRight),
                                         observation.code, file.path, horizontal, zenith,
                                         observation.slopeDistance, observation.targetHeight, from,
                                         PointPosition(file.reduction, observation.target)});
        }
    }
}

} // namespace

SurveyRows Flatten(const std::vector<survey::FileSurvey>& surveys) {
    SurveyRows rows;
    for (const survey::FileSurvey& file : surveys) {
        AddPoints(file, rows);
        AddStations(file, rows);
        AddObservations(file, rows);
    }
    return rows;
}

} // namespace exchange
