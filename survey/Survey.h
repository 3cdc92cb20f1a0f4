// The reduction of one raw data file to coordinates: what it takes in (the stations, observations
// and coordinate records a host received, and the job facts of the file's comments) and what it
// gives back (located points, oriented stations, face rounds and diagnostics). Lengths are metres
// and angles radians throughout; names and texts are UTF-8.
#pragma once

#include "survey/Geometry.h"

#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace survey {

// No survey reaches this far from its origin (the earth's circumference is 4e7 m): a coordinate
// beyond it, or one not finite, is a mistake, refused or reported where it enters.
constexpr double kFarthestCoordinate = 1e9;

inline bool WithinAnySurvey(double coordinate) {
    return std::fabs(coordinate) <= kFarthestCoordinate; // false for NaN
}

// How the instrument counted vertical angles ("Zero VA:").
enum class ZeroVa {
    Zenith,     // the reading is the zenith angle
    Horizontal, // 0 at the horizon, counted up, 0 to 360 degrees
    Compass,    // 0 at the horizon, signed, -90 to +90 degrees
};

// What horizontal circle readings are ("HA Raw data:").
enum class CircleReadings {
    Azimuth,      // readings are azimuths
    FromBacksight // readings are directions, zero on the backsight or anywhere else
};

// Where azimuths count from ("Zero azimuth:").
enum class ZeroAzimuth { North, South };

// The job's own linear unit, in which its coordinates are shown unless asked otherwise.
enum class LengthUnit { Metre, InternationalFoot, UsSurveyFoot };

double MetresPer(LengthUnit unit);
const char* UnitSymbol(LengthUnit unit); // "m", "ft", "usft"
const char* UnitName(LengthUnit unit);   // "metre", "international foot", "US survey foot"
const char* UnitPlural(LengthUnit unit); // "metres", "international feet", "US survey feet"

// The job's own angle unit ("Angle Units:"): the module reads "Degrees" jobs' angles as
// degrees-minutes-seconds too; the word is kept for outputs that name it.
enum class AngleUnit { DegreesMinutesSeconds, Degrees, Gons, Mils };

// The conventions of a file at one of its lines: the last comment of each kind before it applies.
struct JobFacts {
    ZeroVa zeroVa = ZeroVa::Zenith;
    CircleReadings readings = CircleReadings::FromBacksight;
    ZeroAzimuth zeroAzimuth = ZeroAzimuth::North;
    LengthUnit distanceUnit = LengthUnit::Metre;
    std::optional<AngleUnit> angleUnit; // none when the comments do not say
    // The comments' own words, for a reader: "DDDMMSS", "Gons", ...; empty when not given.
    std::string angleUnitText;
    std::string distanceUnitText;
};

// Descriptive comments of a job header, empty when the file does not give them.
struct JobHeader {
    std::string job;
    std::string instrument;
    std::string downloaded; // the date text of "Downloaded ..."
    std::string created;    // the date text of "<JOB> Created ..."
};

// A file line, counted from 0; none for what no line names.
using Line = std::optional<int>;

// Its names held as `Text`: an Observation owns them, an ObservationView views them where a
// reader holds them while it sights a station.
template <class Text> struct BasicObservation {
    Text target;
    std::optional<double> horizontalAngle; // the reading as the host received it
    std::optional<double> verticalAngle;   // as the instrument counted it (see ZeroVa)
    std::optional<double> slopeDistance;
    std::optional<double> targetHeight;
    std::optional<bool> faceRight; // none when the record had no face (side shots)
    Text code;
    Line line;
};
using Observation = BasicObservation<std::string>;
using ObservationView = BasicObservation<std::string_view>;

struct Station {
    std::string name;
    std::optional<double> instrumentHeight;
    std::optional<double> temperature; // degrees Celsius
    std::optional<double> pressure;    // hectopascals
    Line line;
    JobFacts facts; // in force at the station's line
    std::vector<Observation> observations;
};

enum class PointOrigin {
    CoordinateRecord, // the file's own coordinate record
    UserGiven,        // --known or --known-points
};

struct KnownPoint {
    std::string name;
    double northing = 0;
    double easting = 0;
    std::optional<double> elevation;
    std::string code;
    PointOrigin origin = PointOrigin::CoordinateRecord;
    Line line;
};

// Everything one file gives a reduction.
struct Job {
    JobHeader header;
    JobFacts facts; // in force at the end of the file
    std::vector<KnownPoint> knownPoints;
    std::vector<Station> stations;
};

struct Tolerances {
    double collimation = 60.0 / 3600.0 * kPi / 180.0; // 60"
    double verticalIndex = 60.0 / 3600.0 * kPi / 180.0;
    double distance = 0.010; // metres between the two faces' slope distances
    // Largest residual of a station's orientation on a located point before it is reported.
    double orientation = 60.0 / 3600.0 * kPi / 180.0;
};

struct Diagnostic;

// The advice a caller appends to a diagnostic of a kind other than Plain (for example the option
// that would mend it); none: the diagnostic's text alone.
using Advice = std::string (*)(const Diagnostic& diagnostic);

struct Options {
    Tolerances tolerances;
    bool curvatureAndRefraction = false;
    double refractionCoefficient = 0.13;
    // Points the user gives, for every file; never moved.
    std::vector<KnownPoint> userPoints;
    Advice advice = nullptr;
};

// ---- What a reduction gives back ----

enum class PointSource { Known, Computed };

struct ErrorEllipse {
    double semiMajor = 0;
    double semiMinor = 0;
    double azimuth = 0; // of the semi-major axis, clockwise from north
};

// An adjusted point's standard deviations and its 95 % confidence ellipse.
struct Precision {
    double sdNorthing = 0;
    double sdEasting = 0;
    std::optional<double> sdElevation;
    ErrorEllipse ellipse95;
};

struct Coordinate {
    std::string name;
    double northing = 0;
    double easting = 0;
    std::optional<double> elevation;
    std::string code;
    PointSource source = PointSource::Known;
    std::vector<std::string> fromStations; // computed points: every station that located it
    // Computed more than once: the largest distance of a determination from the mean.
    std::optional<double> horizontalSpread;
    std::optional<double> verticalSpread;
    std::optional<Precision> precision; // adjusted points only
};

// A face-left and face-right pair of one target from one station, meaned.
struct FaceRound {
    std::string station;
    std::string target;
    Line line;
    double horizontalAngle = 0; // meaned reading
    double zenithAngle = 0;     // meaned zenith angle
    std::optional<double> slopeDistance;
    double collimationError = 0; // c = (HA_right - HA_left - 180°) / 2
    double indexError = 0;       // i = (z_left + z_right - 360°) / 2
    std::optional<double> distanceDifference;
    bool withinTolerance = true;
};

// An observation of a point located otherwise: how far the observation misses it.
struct Check {
    std::string station;
    std::string target;
    double azimuthResidual = 0; // observed azimuth minus the azimuth from coordinates
    std::optional<double> horizontalDistanceResidual;
    std::optional<double> elevationResidual;
};

enum class StationStatus {
    Oriented,    // located and oriented: its observations give coordinates
    NotLocated,  // nothing gives its position
    NotOriented, // located, but no located point and no azimuth readings orient it
};

const char* StatusName(StationStatus status); // "oriented", "not located", "not oriented"

struct StationResult {
    std::string name;
    Line line;
    StationStatus status = StationStatus::NotLocated;
    std::optional<double> northing;
    std::optional<double> easting;
    std::optional<double> elevation;
    std::optional<double> instrumentHeight;
    std::optional<double> temperature;
    std::optional<double> pressure;
    std::optional<double> orientation; // azimuth of the circle's zero
    std::vector<Check> checks;         // the orientation's residuals and checks on known points
};

// What a diagnostic is about, so that a caller can add its own advice: the point it names is the
// one whose coordinates would locate (NotLocated) or orient (NotOriented) the station.
enum class DiagnosticKind { Plain, NotLocated, NotOriented };

struct Diagnostic {
    Diagnostic() = default;
    Diagnostic(Line line, std::string text, DiagnosticKind kind = DiagnosticKind::Plain,
               std::string point = {})
        : line(line), text(std::move(text)), kind(kind), point(std::move(point)) {}

    Line line;
    std::string text;
    DiagnosticKind kind = DiagnosticKind::Plain;
    std::string point; // the point the advice names; empty for a plain diagnostic
};

struct Reduction {
    std::vector<Coordinate> coordinates;
    std::vector<StationResult> stations;
    std::vector<FaceRound> rounds;
    std::vector<Diagnostic> diagnostics;
};

Reduction Reduce(const Job& job, const Options& options);

// A set-up's result in its file's reduction: the one of the same line (a station may be set up
// twice), else of the same name; null when the reduction has none.
const StationResult* FindStationResult(const Reduction& reduction, const Station& station);

// One imported file as the writers of coordinates, exchange formats and reports take it.
struct FileSurvey {
    std::string path;                 // as the user named it, UTF-8
    std::string outcome;              // "imported", "cannot open" or "no records"
    std::vector<Diagnostic> messages; // the module's messages, with their lines
    Job job;
    Reduction reduction;
};

} // namespace survey
