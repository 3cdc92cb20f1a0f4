#include "report/tests/SampleSurvey.h"
#include "survey/Geometry.h"

#include <cmath>
#include <string>

namespace report::testing {
namespace {

using survey::kPi;
constexpr double kSecond = kPi / 648000;

struct Spot {
    double northing, easting;
};

double Azimuth(Spot from, Spot to) {
    const double azimuth = std::atan2(to.easting - from.easting, to.northing - from.northing);
    return azimuth < 0 ? azimuth + 2 * kPi : azimuth;
}

double Distance(Spot from, Spot to) {
    return std::hypot(to.northing - from.northing, to.easting - from.easting);
}

// Builds a job and its reduction together, the way the reduction would have located it.
class JobBuilder {
public:
    explicit JobBuilder(std::string path) {
        file_.path = std::move(path);
        file_.outcome = "imported";
        file_.job.facts.angleUnitText = "DDDMMSS";
        file_.job.facts.angleUnit = survey::AngleUnit::DegreesMinutesSeconds;
        file_.job.facts.distanceUnitText = "Metres";
        file_.job.facts.readings = survey::CircleReadings::Azimuth;
    }

    int NextLine() { return line_++; }

    void Known(const std::string& name, Spot at, const std::string& code) {
        file_.job.knownPoints.push_back(
            {name, at.northing, at.easting, 100.0, code, survey::PointOrigin::CoordinateRecord, NextLine()});
        AddCoordinate(name, at, code, survey::PointSource::Known, {});
    }

    void Station(const std::string& name, Spot at) {
        survey::Station station;
        station.name = name;
        station.instrumentHeight = 1.5;
        station.temperature = 18;
        station.pressure = 1009;
        station.line = NextLine();
        station.facts = file_.job.facts;
        file_.job.stations.push_back(station);
        survey::StationResult result;
        result.name = name;
        result.line = station.line;
        result.status = survey::StationStatus::Oriented;
        result.northing = at.northing;
        result.easting = at.easting;
        result.elevation = 100.0;
        result.instrumentHeight = 1.5;
        result.temperature = 18;
        result.pressure = 1009;
        result.orientation = 0;
        file_.reduction.stations.push_back(result);
        at_ = at;
    }

    // A face-left and face-right pair to a point located otherwise, off by `collimation`.
    void Round(const std::string& target, Spot to, double collimation) {
        const double azimuth = Azimuth(at_, to);
        const int line = NextLine();
        for (const bool right : {false, true})
            Observe(target, to, right ? azimuth + kPi + 2 * collimation : azimuth, right, "", line);
        NextLine();
        survey::FaceRound round;
        round.station = file_.job.stations.back().name;
        round.target = target;
        round.line = line;
        round.horizontalAngle = azimuth + collimation;
        round.zenithAngle = kPi / 2;
        round.slopeDistance = Distance(at_, to);
        round.collimationError = collimation;
        round.indexError = 3 * kSecond;
        round.distanceDifference = 0.001;
        round.withinTolerance = std::fabs(collimation) <= 60 * kSecond;
        file_.reduction.rounds.push_back(round);
        survey::Check check{round.station, target, collimation, 0.002, -0.001};
        file_.reduction.stations.back().checks.push_back(check);
    }

    void SideShot(const std::string& name, Spot to, const std::string& code) {
        Observe(name, to, Azimuth(at_, to), std::nullopt, code, NextLine());
        AddCoordinate(name, to, code, survey::PointSource::Computed, {file_.job.stations.back().name});
    }

    void Computed(const std::string& name, Spot at, std::vector<std::string> from) {
        AddCoordinate(name, at, "", survey::PointSource::Computed, std::move(from));
    }

    void Message(std::optional<int> line, const std::string& text) { file_.messages.push_back({line, text}); }
    void Diagnostic(std::optional<int> line, const std::string& text) {
        file_.reduction.diagnostics.push_back({line, text});
    }

    survey::FileSurvey& File() { return file_; }

private:
    void Observe(const std::string& target, Spot to, double reading, std::optional<bool> faceRight,
                 const std::string& code, int line) {
        survey::Observation observation;
        observation.target = target;
        observation.horizontalAngle = reading;
        observation.verticalAngle = faceRight.value_or(false) ? 1.5 * kPi : kPi / 2;
        observation.slopeDistance = Distance(at_, to);
        observation.targetHeight = 1.5;
        observation.faceRight = faceRight;
        observation.code = code;
        observation.line = line;
        file_.job.stations.back().observations.push_back(observation);
    }

    void AddCoordinate(const std::string& name, Spot at, const std::string& code, survey::PointSource source,
                       std::vector<std::string> from) {
        survey::Coordinate point;
        point.name = name;
        point.northing = at.northing;
        point.easting = at.easting;
        point.elevation = 100.0;
        point.code = code;
        point.source = source;
        point.fromStations = std::move(from);
        file_.reduction.coordinates.push_back(point);
    }

    survey::FileSurvey file_;
    Spot at_{0, 0};
    int line_ = 0;
};

} // namespace

survey::FileSurvey SmallTraverse() {
    JobBuilder job("jobs/lot <14> & \"north\".rdf");
    job.File().job.header = {"LOT-14", "Nikon NPL-332", "14-Mar-2024 16:02:44", "14-Mar-2024 07:41:10"};
    const Spot t1{5000, 1000}, t2{5120.456, 1063.217}, t3{5040.1, 1091.3}, t4{5031.889, 1153.044};
    job.Known("T1", t1, "CTRL");
    job.Known("T2", t2, "CTRL");
    job.Known("T4", t4, "CTRL");
    job.Computed("T3", t3, {"T1"});
    job.Station("T1", t1);
    job.Round("T2", t2, 4 * kSecond);
    job.Round("T3", t3, -2 * kSecond);
    job.SideShot("P100", {5030.2, 1035.8}, "FENCE");
    job.SideShot("P101", {5045.0, 1040.1}, "FENCE");
    job.SideShot("<b>S14</b>", {4990.3, 1030.5}, "PEG & NAIL");
    job.Station("T3", t3);
    job.Round("T1", t1, 1 * kSecond);
    job.Round("T4", t4, 95 * kSecond); // beyond the 60" tolerance
    // A crowded corner: six shots within a metre, more than the plan can label at full view.
    for (int i = 0; i < 6; ++i)
        job.SideShot("TREE" + std::to_string(i), {5060.0 + 0.3 * i, 1110.0 + 0.2 * (i % 3)}, "TREE");
    job.Station("T4", t4);
    job.Round("T3", t3, 0);
    job.SideShot("P102", {5010.5, 1160.2}, "");
    job.Message(std::nullopt, "Job opened");
    job.Message(7, "No angle unit is set <yet>");
    job.Diagnostic(19, "Round T3-T4 beyond tolerance: c = 95.0\"");
    return std::move(job.File());
}

survey::FileSurvey LargeJob(int stations, int shotsPerStation) {
    JobBuilder job("large.rdf");
    constexpr int kColumns = 40;
    constexpr double kLeg = 150;
    const auto stationSpot = [&](int i) {
        const int row = i / kColumns;
        const int column = row % 2 == 0 ? i % kColumns : kColumns - 1 - i % kColumns;
        return Spot{10000 + row * kLeg, 20000 + column * kLeg};
    };
    job.Known("S0", stationSpot(0), "CTRL");
    unsigned seed = 12345;
    const auto random = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return static_cast<double>((seed >> 8) & 0xffff) / 65536.0;
    };
    for (int i = 0; i < stations; ++i) {
        const std::string name = "S" + std::to_string(i);
        if (i > 0)
            job.Computed(name, stationSpot(i), {"S" + std::to_string(i - 1)});
        job.Station(name, stationSpot(i));
        if (i > 0)
            job.Round("S" + std::to_string(i - 1), stationSpot(i - 1), (i % 97 == 0 ? 80 : 5) * kSecond);
        for (int s = 0; s < shotsPerStation; ++s) {
            const double angle = 2 * kPi * random();
            const double radius = 3 + 70 * random();
            const Spot spot = stationSpot(i);
            job.SideShot(name + "-" + std::to_string(s),
                         {spot.northing + radius * std::cos(angle), spot.easting + radius * std::sin(angle)},
                         "CODE" + std::to_string(s % 12));
        }
    }
    job.Diagnostic(3, "A diagnostic of the reduction");
    return std::move(job.File());
}

survey::FileSurvey FailedFile(const char* path, const char* outcome, const char* message) {
    survey::FileSurvey file;
    file.path = path;
    file.outcome = outcome;
    file.messages.push_back({std::nullopt, message});
    return file;
}

void Adjust(survey::FileSurvey& file) {
    int index = 0;
    for (survey::Coordinate& point : file.reduction.coordinates) {
        if (point.source != survey::PointSource::Computed)
            continue;
        const double major = 0.004 + 0.001 * index;
        point.precision =
            survey::Precision{major / 2.45, major / 2.6, 0.003, {major, 0.002, 30 * index * kPi / 180}};
        ++index;
    }
}

survey::AdjustmentSummary SampleAdjustment() {
    survey::AdjustmentSummary adjustment;
    adjustment.method = "least squares";
    adjustment.weights = "direction 1\", distance 1 mm + 1.5 ppm <from the instrument>";
    adjustment.degreesOfFreedom = 7;
    adjustment.sigma0Aposteriori = 1.21;
    adjustment.testApplicable = true;
    adjustment.testPassed = true;
    adjustment.traverses.push_back(
        {{"T1", "T3", "T4", "T1"}, 4.2 * kSecond, 0.003, -0.004, 0.005, 512.25, 102450});
    adjustment.flagged.push_back({"jobs/lot <14>.rdf", 41, "the distance from T3 to P100", 4.87, 3.29});
    return adjustment;
}

std::vector<survey::FileSurvey> SampleRun() {
    return {SmallTraverse(), FailedFile("missing.rdf", "cannot open", "The file cannot be opened"),
            FailedFile("notes.txt", "no records", "No record of the format was found")};
}

} // namespace report::testing
