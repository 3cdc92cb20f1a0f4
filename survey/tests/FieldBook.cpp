#include "survey/tests/FieldBook.h"

#include "survey/Geometry.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace survey::testing {
namespace {

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// DDD.MMSS to the second, as the instruments print degrees.
Printed PrintDms(double radians) {
    const long long seconds = std::llround(std::abs(radians) * 180 / kPi * 3600);
    char text[64];
    std::snprintf(text, sizeof text, "%s%lld.%02lld%02lld", radians < 0 ? "-" : "", seconds / 3600,
                  seconds / 60 % 60, seconds % 60);
    const double value = static_cast<double>(seconds) / 3600 * kPi / 180;
    return {text, radians < 0 ? -value : value};
}

Printed PrintScaled(double radians, double unitsPerRadian, const char* format, double resolution) {
    const double units = std::round(radians * unitsPerRadian / resolution) * resolution;
    return {Format(format, units), units / unitsPerRadian};
}

// The comments' words, in the order of the enumerations.
constexpr const char* kAngleUnitWords[] = {"DDDMMSS", "Gons", "MIL6400"};
constexpr const char* kLengthUnitWords[] = {"Metres", "Feet", "US Feet"};
constexpr const char* kZeroVaWords[] = {"Zenith", "Horizontal", "Compass"};

template <std::size_t N, class Enum> const char* Words(const char* const (&words)[N], Enum value) {
    return words[static_cast<std::size_t>(value)];
}

// The vertical angle an instrument prints for a zenith angle read in one face.
double VerticalAngle(double zenith, ZeroVa zeroVa) {
    switch (zeroVa) {
    case ZeroVa::Horizontal:
        return Normalised(kPi / 2 - zenith);
    case ZeroVa::Compass:
        return kPi / 2 - (zenith > kPi ? kTwoPi - zenith : zenith);
    case ZeroVa::Zenith:
        break;
    }
    return zenith;
}

std::string Joined(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& field : fields)
        line += (line.empty() ? "" : ",") + field;
    return line;
}

} // namespace

Printed PrintAngle(double radians, AngleUnit unit) {
    switch (unit) {
    case AngleUnit::Gons:
        return PrintScaled(radians, 200 / kPi, "%.4f", 1e-4);
    case AngleUnit::Mils:
        return PrintScaled(radians, 3200 / kPi, "%.2f", 1e-2);
    case AngleUnit::Dms:
        break;
    }
    return PrintDms(radians);
}

Printed PrintLength(double metres, LengthUnit unit) {
    const double perUnit = MetresPer(unit);
    const double units = std::round(metres / perUnit * 1e4) / 1e4;
    return {Format("%.4f", units), units * perUnit};
}

void FieldBook::Control(const Spot& spot) {
    const Printed northing = PrintLength(spot.northing, conventions_.distances);
    const Printed easting = PrintLength(spot.easting, conventions_.distances);
    const Printed elevation = PrintLength(spot.elevation, conventions_.distances);
    KnownPoint point;
    point.name = spot.name;
    point.northing = northing.value;
    point.easting = easting.value;
    point.elevation = elevation.value;
    point.code = "CTRL";
    job_.knownPoints.push_back(point);
    records_.push_back(Joined({"MP", spot.name, "", northing.text, easting.text, elevation.text, "CTRL"}));
}

void FieldBook::SetUp(const Spot& station, double instrumentHeight, const Spot& backsight,
                      double circleZero) {
    station_ = station;
    instrumentHeight_ = instrumentHeight;
    circleZero_ = circleZero;
    const Printed height = PrintLength(instrumentHeight, conventions_.distances);
    const Printed backsightReading = PrintAngle(
        Normalised(Azimuth(station.northing, station.easting, backsight.northing, backsight.easting) -
                   circleZero),
        conventions_.angles);
    Station setup;
    setup.name = station.name;
    setup.instrumentHeight = height.value;
    setup.facts.zeroVa = conventions_.zeroVa;
    setup.facts.readings = conventions_.readings;
    setup.facts.zeroAzimuth = conventions_.zeroAzimuth;
    setup.facts.distanceUnit = conventions_.distances;
    // The station's own backsight record, which the host gets when side shots follow directly.
    Observation pending;
    pending.target = backsight.name;
    pending.horizontalAngle = backsightReading.value;
    pending.faceRight = false;
    setup.observations.push_back(pending);
    job_.stations.push_back(setup);
    pendingBacksight_ = true;
    records_.push_back(Joined({"ST", station.name, "", backsight.name, "", height.text, backsightReading.text,
                               backsightReading.text}));
}

FieldBook::Reading FieldBook::Read(const Spot& target, double targetHeight, bool faceRight) const {
    const double horizontal =
        std::hypot(target.northing - station_.northing, target.easting - station_.easting);
    double rise = target.elevation + targetHeight - station_.elevation - instrumentHeight_;
    if (conventions_.curvatureAndRefraction)
        rise -= CurvatureAndRefraction(horizontal, conventions_.refractionCoefficient);
    const double zenith = std::atan2(horizontal, rise);
    const double azimuth = Azimuth(station_.northing, station_.easting, target.northing, target.easting);
    const double circle = azimuth - circleZero_ + sdDirection_ * Normal();
    const double reading =
        faceRight ? circle + kPi + conventions_.collimation : circle - conventions_.collimation;
    const double zenithRead =
        (faceRight ? kTwoPi - zenith : zenith) + conventions_.index + sdZenith_ * Normal();
    Reading read;
    read.slopeDistance =
        PrintLength(std::hypot(horizontal, rise) + sdDistance_ * Normal(), conventions_.distances);
    read.horizontal = PrintAngle(Normalised(reading), conventions_.angles);
    read.vertical = PrintAngle(VerticalAngle(zenithRead, conventions_.zeroVa), conventions_.angles);
    return read;
}

Observation& FieldBook::Observe(const Spot& target, double targetHeight, bool faceRight,
                                std::vector<std::string> fields) {
    const Reading read = Read(target, targetHeight, faceRight);
    const Printed height = PrintLength(targetHeight, conventions_.distances);
    Station& station = job_.stations.back();
    if (pendingBacksight_ && fields.front() != "SS")
        station.observations.erase(station.observations.begin());
    pendingBacksight_ = false;
    Observation observation;
    observation.target = target.name;
    observation.targetHeight = height.value;
    observation.slopeDistance = read.slopeDistance.value;
    observation.horizontalAngle = read.horizontal.value;
    observation.verticalAngle = read.vertical.value;
    fields.insert(fields.begin() + 1, {target.name, height.text, read.slopeDistance.text,
                                       read.horizontal.text, read.vertical.text});
    records_.push_back(Joined(fields));
    station.observations.push_back(observation);
    return station.observations.back();
}

void FieldBook::Disturb(double sdDirection, double sdZenith, double sdDistance, std::uint32_t seed) {
    sdDirection_ = sdDirection;
    sdZenith_ = sdZenith;
    sdDistance_ = sdDistance;
    random_.seed(seed);
}

// Box and Muller's transform of two uniform draws: the standard library's normal distribution
// differs from one library to the next, and a generated file must be remade the same anywhere.
double FieldBook::Normal() const {
    const auto uniform = [this] { return (static_cast<double>(random_()) + 0.5) / 4294967296.0; };
    const double radius = std::sqrt(-2 * std::log(uniform()));
    return radius * std::cos(kTwoPi * uniform());
}

void FieldBook::FaceLeft(const Spot& target, double targetHeight) {
    Observe(target, targetHeight, false, {"F1"}).faceRight = false;
}

void FieldBook::FaceRight(const Spot& target, double targetHeight) {
    Observe(target, targetHeight, true, {"F2"}).faceRight = true;
}

void FieldBook::SideShot(const Spot& target, double targetHeight, const std::string& code) {
    Observe(target, targetHeight, false, {"SS", "12:00:00", code}).code = code;
}

std::string FieldBook::RawFile() const {
    std::ostringstream file;
    file << "CO,Nikon RAW data format V2.00\nCO," << conventions_.job << "\n"
         << (conventions_.instrument.empty() ? "" : "CO,Instrument: " + conventions_.instrument + '\n')
         << "CO,Dist Units: " << Words(kLengthUnitWords, conventions_.distances) << '\n'
         << "CO,Angle Units: " << Words(kAngleUnitWords, conventions_.angles) << '\n'
         << "CO,Zero azimuth: " << (conventions_.zeroAzimuth == ZeroAzimuth::South ? "South" : "North")
         << '\n'
         << "CO,Zero VA: " << Words(kZeroVaWords, conventions_.zeroVa) << '\n'
         << "CO,HA Raw data: "
         << (conventions_.readings == CircleReadings::Azimuth ? "Azimuth" : "HA zero to BS") << '\n'
         << "CO,Coord Order: NEZ\n";
    for (const std::string& record : records_)
        file << record << '\n';
    return file.str();
}

} // namespace survey::testing
