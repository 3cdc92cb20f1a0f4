// The survey flattened into the rows every exchange format writes: one per located point, per
// located station and per observation, independent of any file format. Lengths in metres, angles in
// radians, as the reduction gives them.
#pragma once

#include "survey/Survey.h"

#include <optional>
#include <string>
#include <vector>

namespace exchange {

struct Position {
    double easting = 0;
    double northing = 0;
    std::optional<double> elevation;
};

struct PointRow {
    survey::Coordinate point;
    std::string file;
    Position position() const { return {point.easting, point.northing, point.elevation}; }
};

struct StationRow {
    std::string name;
    std::string file;
    Position position;
    std::optional<double> instrumentHeight;
    std::optional<double> temperature;
    std::optional<double> pressure;
    std::optional<double> orientation;
    std::optional<double> orientationResidual; // the largest azimuth residual of its checks
};

struct ObservationRow {
    std::string station;
    std::string target;
    std::string face; // "left", "right" or empty for a side shot
    std::string code;
    std::string file;
    std::optional<double> horizontalAngle;
    std::optional<double> zenithAngle;
    std::optional<double> slopeDistance;
    std::optional<double> targetHeight;
    std::optional<Position> from; // the station's mark, when the station is located
    std::optional<Position> to;   // the target, when it is located
};

struct SurveyRows {
    std::vector<PointRow> points;
    std::vector<StationRow> stations;
    std::vector<ObservationRow> observations;
};

SurveyRows Flatten(const std::vector<survey::FileSurvey>& surveys);

} // namespace exchange
