#include "tools/rdf-import/coordinates/Coordinates.h"

#include "host/JobComments.h"
#include "tools/rdf-import/coordinates/CoordinateText.h"

#include <iostream>

namespace rdf {
namespace {

struct Named {
    int value;
    const char* name;
};

template <class Enum, std::size_t N> const char* NameOf(const Named (&names)[N], Enum value) {
    for (const Named& named : names) {
        if (named.value == static_cast<int>(value))
            return named.name;
    }
    return "";
}

constexpr Named kZeroVaNames[] = {{static_cast<int>(survey::ZeroVa::Zenith), "zenith"},
                                  {static_cast<int>(survey::ZeroVa::Horizontal), "horizontal"},
                                  {static_cast<int>(survey::ZeroVa::Compass), "compass"}};
constexpr Named kReadingNames[] = {{static_cast<int>(survey::CircleReadings::Azimuth), "azimuth"},
                                   {static_cast<int>(survey::CircleReadings::FromBacksight), "backsight"}};
constexpr Named kZeroAzimuthNames[] = {{static_cast<int>(survey::ZeroAzimuth::North), "north"},
                                       {static_cast<int>(survey::ZeroAzimuth::South), "south"}};
constexpr Named kStatusNames[] = {{static_cast<int>(survey::StationStatus::Oriented), "oriented"},
                                  {static_cast<int>(survey::StationStatus::NotLocated), "not located"},
                                  {static_cast<int>(survey::StationStatus::NotOriented), "not oriented"}};

void Line(JsonOut& json, survey::Line line) {
    json.Key("line");
    if (line)
        json.Int(*line + 1);
    else
        json.Null();
}

void Names(JsonOut& json, std::string_view key, const std::vector<std::string>& names) {
    json.Key(key);
    json.StartArray();
    for (const std::string& name : names)
        json.String(name);
    json.EndArray();
}

void CoordinatesJson(JsonOut& json, const survey::Reduction& reduction) {
    json.Key("coordinates");
    json.StartArray();
    for (const survey::Coordinate& point : reduction.coordinates) {
        json.StartObject();
        json.Member("name", point.name);
        json.Member("northing", point.northing);
        json.Member("easting", point.easting);
        json.Member("elevation", point.elevation);
        if (!point.code.empty())
            json.Member("code", point.code);
        const bool known = point.source == survey::PointSource::Known;
        json.Member("source", known ? "known" : "computed");
        if (!known)
            Names(json, "stations", point.fromStations);
        json.Member("horizontalSpread", point.horizontalSpread);
        json.Member("verticalSpread", point.verticalSpread);
        json.EndObject();
    }
    json.EndArray();
}

void StationJson(JsonOut& json, const survey::StationResult& station) {
    json.StartObject();
    json.Member("name", station.name);
    Line(json, station.line);
    json.Member("status", NameOf(kStatusNames, station.status));
    json.Member("northing", station.northing);
    json.Member("easting", station.easting);
    json.Member("elevation", station.elevation);
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

void RoundJson(JsonOut& json, const survey::FaceRound& round) {
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

void ReductionJson(JsonOut& json, const survey::FileSurvey& file) {
    json.Key("reduction");
    json.StartObject();
    const survey::JobFacts& facts = file.job.facts;
    json.Key("jobFacts");
    json.StartObject();
    json.Member("zeroVa", NameOf(kZeroVaNames, facts.zeroVa));
    json.Member("horizontalReadings", NameOf(kReadingNames, facts.readings));
    json.Member("zeroAzimuth", NameOf(kZeroAzimuthNames, facts.zeroAzimuth));
    json.Member("distanceUnit", UnitSymbol(facts.distanceUnit));
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

Coordinates::Coordinates(SurveySettings settings, AngleStyle angles)
    : settings(std::move(settings)), angles(angles),
      collector([this](host::FileResult& file) { Reduce(file); }) {}

void Coordinates::WritePointList(host::BufferedOutput& out, bool quietly) {
    pointList = &out;
    quiet = quietly;
}

void Coordinates::Reduce(host::FileResult& file) {
    current = SurveyOf(file, host::ReadJobComments(file.path), settings);
}

void Coordinates::FileEnded(const host::FileEnd& file) {
    collector.FileEnded(file);
    if (pointList != nullptr) {
        const survey::LengthUnit unit = OutputUnit(current, settings);
        if (pointListUnit != unit)
            pointList->Write(PointListHeader(unit, settings.eastingFirst));
        pointListUnit = unit;
        pointList->Write(PointListRows(current, unit, settings.eastingFirst));
        for (const survey::Diagnostic& diagnostic : current.reduction.diagnostics) {
            if (!quiet)
                std::cerr << current.path
                          << (diagnostic.line ? ":" + std::to_string(*diagnostic.line + 1) : "") << ": "
                          << diagnostic.text << '\n';
        }
    }
    if (!runEnded.empty())
        run.push_back(current);
}

void Coordinates::ImportEnded(const host::ImportEnd&) {
    for (const RunEnded& hook : runEnded)
        hook(run);
}

void Coordinates::WriteJson(JsonOut& json, const host::FileEnd&) {
    CoordinatesJson(json, current.reduction);
    ReductionJson(json, current);
}

void Coordinates::WriteText(host::BufferedOutput& out, const host::FileEnd&) {
    out.Write(CoordinateListing(current, OutputUnit(current, settings), angles));
}

} // namespace rdf
