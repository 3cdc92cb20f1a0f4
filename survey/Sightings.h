// A station's observations reduced to one meaned sighting per target: face-left and face-right
// pairs meaned into rounds (and checked against the tolerances), repeated single-face
// observations meaned, and vertical angles turned into zenith angles by the job's convention.
#pragma once

#include "survey/Survey.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace survey {

// An optional length in the room of a double, absent as NaN: the sightings of a whole file are
// held until it is reduced, one for every side shot. A NaN reading counts as no reading.
class OptionalLength {
public:
    OptionalLength() = default;
    OptionalLength(double value) : value_(value) {} // NOLINT: a length is given as its value
    bool has_value() const { return !std::isnan(value_); }
    explicit operator bool() const { return has_value(); }
    double operator*() const { return value_; }
    double value_or(double fallback) const { return has_value() ? value_ : fallback; }

private:
    double value_ = std::numeric_limits<double>::quiet_NaN();
};

// One target as seen from a station, in face-left terms. Its target views the text of its
// StationSightings, where its code follows it: a whole file's sightings hold no string of their own.
struct Sighting {
    std::string_view target;
    Line line;
    double direction = 0;              // meaned circle reading
    OptionalLength horizontalDistance; // sd · sin z, meaned
    OptionalLength rise;               // sd · cos z - target height, meaned
    // How many face readings were meaned: a face pair counts two, a distance and its zenith angle
    // count once a face. An adjustment raises a mean's weight by them.
    int directionReadings = 0;
    int distanceReadings = 0;
    std::uint32_t codeSize = 0;       // of the code after the target; none when 0
    bool targetHeightAssumed = false; // a distance came without a target height

    std::string_view Code() const { return {target.data() + target.size(), codeSize}; }
};

struct StationSightings {
    std::vector<Sighting> sightings;
    std::vector<FaceRound> rounds;
    std::vector<Diagnostic> diagnostics;
    // The sightings' targets and codes, one after another; shared, so that a copy's views hold.
    std::shared_ptr<const char[]> names;
};

// The zenith angle of a vertical angle counted as `zeroVa` counts it, in [0, 2π).
double ZenithAngle(double verticalAngle, ZeroVa zeroVa);

StationSightings Sight(const Station& station, const Tolerances& tolerances);
// The sightings of the station `name`, whose vertical angles count as `zeroVa`, from views of its
// observations: a reader sights a station without copying its observations' names.
StationSightings Sight(std::string_view name, ZeroVa zeroVa, const std::vector<ObservationView>& observations,
                       const Tolerances& tolerances);

// A station whose observations are already meaned into sightings. A reader that streams a file
// sights each station as it ends, so that the raw observations are never held for a whole file.
struct SightedStation {
    Station station; // its observations are not kept
    StationSightings sightings;
};

SightedStation Sighted(const Station& station, const Tolerances& tolerances);

// Reduce for stations already sighted.
Reduction Reduce(const std::vector<KnownPoint>& knownPoints, std::vector<SightedStation> stations,
                 const Options& options);

// A reduced file whose coordinates stay in the reducer's compact record of the located points and
// are made one at a time as a writer visits them: a large file's points are never all held as
// Coordinates.
class ReducedFile {
public:
    ReducedFile(const std::vector<KnownPoint>& knownPoints, std::vector<SightedStation> stations,
                const Options& options);
    ~ReducedFile();
    ReducedFile(ReducedFile&&) noexcept;
    ReducedFile& operator=(ReducedFile&&) noexcept;

    // The stations, face rounds and diagnostics, once; its coordinates are left empty.
    Reduction TakeReduction();
    std::size_t CoordinateCount() const;
    // What a point list writes of the coordinate at `index`, in the order of ForEachCoordinate,
    // without the stations and spreads that a Coordinate gathers from its determinations.
    struct Row {
        std::string_view name;
        double northing = 0;
        double easting = 0;
        std::optional<double> elevation;
        std::string_view code;
    };
    Row RowAt(std::size_t index) const;

    // A coordinate as the reducer holds it: its texts are views into this file's storage, and its
    // stations are a list reused from one point to the next.
    struct View : Row {
        PointSource source = PointSource::Known;
        std::vector<std::string_view> stations; // computed points: every station that located it
        std::optional<double> horizontalSpread;
        std::optional<double> verticalSpread;
    };
    // In the order Reduce lists them, made one at a time in one reused View, so that a writer
    // copies no name or code to visit them.
    template <class Visit> void ForEachCoordinate(Visit&& visit) const {
        View view;
        const std::size_t count = CoordinateCount();
        for (std::size_t index = 0; index < count; ++index) {
            Fill(index, view);
            visit(std::as_const(view));
        }
    }
    std::vector<Coordinate> Coordinates() const;

private:
    void Fill(std::size_t index, View& view) const;

    struct State;
    std::unique_ptr<State> state_;
};

} // namespace survey
