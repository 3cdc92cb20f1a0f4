#include "output/Coordinates.h"

#include "output/CoordinateText.h"

#include <iostream>

namespace rdf {
namespace {

// The job facts' names, in the order of the enumerations.
constexpr const char* kZeroVaNames[] = {"zenith", "horizontal", "compass"};
constexpr const char* kReadingNames[] = {"azimuth", "backsight"};
constexpr const char* kZeroAzimuthNames[] = {"north", "south"};

template <std::size_t N, class Enum> const char* NameOf(const char* const (&names)[N], Enum value) {
    return names[static_cast<std::size_t>(value)];
}

void Line(host::JsonOut& json, survey::Line line) {
    json.Key("line");
    if (line)
        json.Int(*line + 1);
    else
        json.Null();
}

// A known or computed position, or a station's when it has one.
template <class Length>
void Position(host::JsonOut& json, const Length& northing, const Length& easting,
              const std::optional<double>& elevation) {
    json.Member("northing", northing);
    json.Member("easting", easting);
    json.Member("elevation", elevation);
}

void CoordinatesJson(host::JsonOut& json, const survey::ReducedFile& coordinates) {
    json.Key("coordinates");
    json.StartArray();
    coordinates.ForEachCoordinate([&](const survey::ReducedFile::View& point) {
        const bool known = point.source == survey::PointSource::Known;
        const std::optional<std::string_view> code =
            point.code.empty() ? std::nullopt : std::optional(point.code);
        const std::string_view source = known ? "known" : "computed";
        // Each point laid out whole, its stations only when it was located from them.
        const auto write = [&](const auto& northing, const auto& easting, const auto& elevation,
                               const auto&... stations) {
            json.Object(host::JsonField{"name", point.name}, host::JsonField{"northing", northing},
                        host::JsonField{"easting", easting}, host::JsonField{"elevation", elevation},
                        host::JsonField{"code", code}, host::JsonField{"source", source}, stations...,
                        host::JsonField{"horizontalSpread", point.horizontalSpread},
                        host::JsonField{"verticalSpread", point.verticalSpread});
        };
        if (known)
            write(point.northing, point.easting, point.elevation);
        else
            write(host::ComputedNumber{point.northing}, host::ComputedNumber{point.easting},
                  host::Computed(point.elevation), host::JsonField{"stations", point.stations});
    });
    json.EndArray();
}

void StationJson(host::JsonOut& json, const survey::StationResult& station) {
    json.StartObject();
    json.Member("name", station.name);
    Line(json, station.line);
    json.Member("status", survey::StatusName(station.status));
    Position(json, station.northing, station.easting, station.elevation);
    json.Member("instrumentHeight", station.instrumentHeight);
    json.Member("orientation", station.orientation);
    json.Key("residuals");
    json.StartArray();
    for (const survey::Check& check : station.checks) {
        json.StartObject();
        json.Member("target", check.target);
        json.Member("azimuth", check.azimuthResidual);
        json.Member("horizontalDistance", check.horizontalDistanceResidual);
        json.Member("elevation", check.elevationResidual);
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
}

void RoundJson(host::JsonOut& json, const survey::FaceRound& round) {
    json.StartObject();
    json.Member("station", round.station);
    json.Member("target", round.target);
    Line(json, round.line);
    json.Member("horizontalAngle", round.horizontalAngle);
    json.Member("zenithAngle", round.zenithAngle);
    json.Member("slopeDistance", round.slopeDistance);
    json.Member("collimationError", round.collimationError);
    json.Member("indexError", round.indexError);
    json.Member("distanceDifference", round.distanceDifference);
    json.Member("withinTolerance", round.withinTolerance);
    json.EndObject();
}

void ReductionJson(host::JsonOut& json, const survey::FileSurvey& file) {
    json.Key("reduction");
    json.StartObject();
    const survey::JobFacts& facts = file.job.facts;
    json.Key("jobFacts");
    json.StartObject();
    json.Member("zeroVa", NameOf(kZeroVaNames, facts.zeroVa));
    json.Member("horizontalReadings", NameOf(kReadingNames, facts.readings));
    json.Member("zeroAzimuth", NameOf(kZeroAzimuthNames, facts.zeroAzimuth));
    json.Member("distanceUnit", survey::UnitSymbol(facts.distanceUnit));
    json.EndObject();
    json.Key("stations");
    json.StartArray();
    for (const survey::StationResult& station : file.reduction.stations)
        StationJson(json, station);
    json.EndArray();
    json.Key("faceRounds");
    json.StartArray();
    for (const survey::FaceRound& round : file.reduction.rounds)
        RoundJson(json, round);
    json.EndArray();
    json.Key("diagnostics");
    json.StartArray();
    for (const survey::Diagnostic& diagnostic : file.reduction.diagnostics) {
        json.StartObject();
        Line(json, diagnostic.line);
        json.Member("text", diagnostic.text);
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
}

} // namespace

Coordinates::Coordinates(host::SurveySettings settings, host::AngleStyle angles)
    : settings(std::move(settings)), angles(angles) {}

void Coordinates::WritePointList(host::BufferedOutput& out, bool quietly) {
    pointList = &out;
    quiet = quietly;
}

// The file is read while its writer holds it, and reduced once the writer has let it go: the packed
// file and the reduction's located points are never held at once.
void Coordinates::FileReady(const host::PackedFile& file, const std::vector<host::Message>& messages,
                            const host::FileEnd& end) {
    // The run's outputs show the observations too; the writers of a file need only its reduction.
    builder.Read(file, messages, end, KeepsRun());
    currentPoints.reset();
}

void Coordinates::Reduce() {
    if (currentPoints)
        return;
    host::SurveyBuilder::Reduced reduced = builder.Reduce();
    current = std::move(reduced.file);
    currentPoints.emplace(std::move(reduced.coordinates));
}

void Coordinates::FileWritten(const host::FileEnd&) {
    Reduce();
    if (pointList != nullptr) {
        // One unit for the whole list, and its header row once; adjusted, the list waits for the run.
        const survey::LengthUnit unit = builder.RunUnit();
        if (!pointListUnit && settings.pointListHeader && !adjustRun)
            pointList->Write(PointListHeader(unit, settings.eastingFirst));
        pointListUnit = unit;
        if (!adjustRun)
            WritePointListRows(*pointList, *currentPoints, unit, settings.eastingFirst);
        for (const survey::Diagnostic& diagnostic : current.reduction.diagnostics) {
            if (!quiet)
                std::cerr << current.path
                          << (diagnostic.line ? ":" + std::to_string(*diagnostic.line + 1) : "") << ": "
                          << diagnostic.text << '\n';
        }
    }
    if (KeepsRun()) {
        run.push_back(std::move(current));
        run.back().reduction.coordinates = currentPoints->Coordinates();
    }
    current = survey::FileSurvey();
    currentPoints.reset();
}

void Coordinates::ImportEnded(const host::ImportEnd&) {
    if (adjustRun) {
        adjustRun(run);
        if (pointList != nullptr)
            WriteAdjustedPointList(*pointList, run, builder.RunUnit(), settings.eastingFirst,
                                   settings.pointListHeader);
    }
    for (const RunEnded& hook : runEnded)
        hook(run);
}

void Coordinates::WriteJson(host::JsonOut& json, const host::FileEnd&) {
    Reduce();
    CoordinatesJson(json, *currentPoints);
    ReductionJson(json, current);
}

void Coordinates::WriteText(host::BufferedOutput& out, const host::FileEnd&) {
    Reduce();
    WriteCoordinateListing(out, current, *currentPoints, host::OutputUnit(current, settings), angles);
}

} // namespace rdf
