// A test instrument: stations and targets placed at chosen coordinates, and the readings an
// instrument set up on them would record, rounded as it prints them. The same field book gives
// the reduction's input (numbers as a host reads them) and the raw data file's text.
#pragma once

#include "survey/Survey.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace survey::testing {

struct Spot {
    std::string name;
    double northing = 0;
    double easting = 0;
    double elevation = 0;
};

enum class AngleUnit { Dms, Gons, Mils };

struct Conventions {
    ZeroVa zeroVa = ZeroVa::Zenith;
    CircleReadings readings = CircleReadings::FromBacksight;
    ZeroAzimuth zeroAzimuth = ZeroAzimuth::North;
    AngleUnit angles = AngleUnit::Dms;
    LengthUnit distances = LengthUnit::Metre;
    double collimation = 0; // radians, c of the instrument
    double index = 0;       // radians, i of the vertical circle
    // Readings bent by the Earth's curvature and the refraction of the line of sight.
    bool curvatureAndRefraction = false;
    double refractionCoefficient = 0.13;
    std::string job = "GENERATED";
    std::string instrument; // the "Instrument:" comment's model; none when empty
};

// A printed number: its text in the file and the value a host reads from it (metres, radians).
struct Printed {
    std::string text;
    double value = 0;
};

Printed PrintAngle(double radians, AngleUnit unit);
Printed PrintLength(double metres, LengthUnit unit);

class FieldBook {
public:
    explicit FieldBook(Conventions conventions) : conventions_(conventions) {}

    // A control point of the file (an MP record), known to the reduction.
    void Control(const Spot& spot);
    // Sets up on `station`; the horizontal circle reads `circleZero` less than the azimuth (with
    // azimuth readings it is the azimuth itself, counted from the job's zero azimuth).
    void SetUp(const Spot& station, double instrumentHeight, const Spot& backsight, double circleZero);
    void FaceLeft(const Spot& target, double targetHeight);
    void FaceRight(const Spot& target, double targetHeight);
    void Faces(const Spot& target, double targetHeight) {
        FaceLeft(target, targetHeight);
        FaceRight(target, targetHeight);
    }
    void SideShot(const Spot& target, double targetHeight, const std::string& code = "");
    // Every later reading is disturbed by normal errors of these standard deviations (radians and
    // metres), drawn from a generator seeded with `seed`, the same on every platform.
    void Disturb(double sdDirection, double sdZenith, double sdDistance, std::uint32_t seed);

    // The job as the instrument recorded it, every number read back from its printed text.
    const Job& Reduced() const { return job_; }
    // The raw data file, header comments first.
    std::string RawFile() const;

private:
    struct Reading {
        Printed slopeDistance;
        Printed horizontal;
        Printed vertical;
    };
    Reading Read(const Spot& target, double targetHeight, bool faceRight) const;
    Observation& Observe(const Spot& target, double targetHeight, bool faceRight,
                         std::vector<std::string> fields);

    double Normal() const;

    Conventions conventions_;
    double sdDirection_ = 0, sdZenith_ = 0, sdDistance_ = 0;
    mutable std::mt19937 random_;
    Spot station_;
    double instrumentHeight_ = 0;
    double circleZero_ = 0;
    bool pendingBacksight_ = false;
    Job job_;
    std::vector<std::string> records_;
};

} // namespace survey::testing
