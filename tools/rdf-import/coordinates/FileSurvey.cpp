#include "tools/rdf-import/coordinates/FileSurvey.h"

#include "platform/Utf8.h"

namespace rdf {
namespace {

std::string Utf8(const std::wstring& text) {
    return platform::EncodeUtf8(text);
}

const char* OutcomeText(host::FileOutcome outcome) {
    switch (outcome) {
    case host::FileOutcome::CannotOpen:
        return "cannot open";
    case host::FileOutcome::NoRecords:
        return "no records";
    case host::FileOutcome::Imported:
        break;
    }
    return "imported";
}

survey::Observation ObservationOf(const host::Observation& from) {
    survey::Observation observation;
    observation.target = Utf8(from.target);
    observation.horizontalAngle = from.horizontalAngle;
    observation.verticalAngle = from.verticalAngle;
    observation.slopeDistance = from.slopeDistance;
    observation.targetHeight = from.targetHeight;
    observation.faceRight = from.faceRight;
    observation.code = from.code ? Utf8(*from.code) : std::string();
    observation.line = from.line;
    return observation;
}

survey::Station StationOf(const host::Station& from, const survey::JobComments& comments,
                          const FactOverrides& overrides) {
    survey::Station station;
    station.name = Utf8(from.name);
    station.instrumentHeight = from.instrumentHeight;
    station.temperature = from.temperature;
    station.pressure = from.pressure;
    station.line = from.line;
    station.facts = Overridden(comments.FactsAt(from.line), overrides);
    for (const host::Observation& observation : from.observations)
        station.observations.push_back(ObservationOf(observation));
    return station;
}

// The module zeroes the circle of the file's last station on its backsight when the file ends
// with that station's face observations, so azimuth readings are not azimuths there any more.
void UnzeroableLastStation(survey::Job& job, std::vector<survey::Diagnostic>& notes) {
    if (job.stations.empty())
        return;
    survey::Station& last = job.stations.back();
    if (last.observations.empty() || !last.observations.back().faceRight ||
        last.facts.readings != survey::CircleReadings::Azimuth)
        return;
    last.facts.readings = survey::CircleReadings::FromBacksight;
    notes.push_back({last.line, "station " + last.name + ": its face observations end the file and reach " +
                                    "the host zeroed on its backsight, so they are not taken as azimuths"});
}

survey::Options InMetres(const SurveySettings& settings, survey::LengthUnit unit) {
    survey::Options options = settings.options;
    const double scale = survey::MetresPer(unit);
    if (settings.distanceTolerance)
        options.tolerances.distance = *settings.distanceTolerance * scale;
    for (survey::KnownPoint& point : options.userPoints) {
        point.northing *= scale;
        point.easting *= scale;
        if (point.elevation)
            *point.elevation *= scale;
    }
    return options;
}

} // namespace

survey::JobFacts Overridden(survey::JobFacts facts, const FactOverrides& overrides) {
    facts.zeroVa = overrides.zeroVa.value_or(facts.zeroVa);
    facts.readings = overrides.readings.value_or(facts.readings);
    facts.zeroAzimuth = overrides.zeroAzimuth.value_or(facts.zeroAzimuth);
    if (facts.distanceUnit != survey::LengthUnit::Metre)
        facts.distanceUnit = overrides.feet.value_or(facts.distanceUnit);
    return facts;
}

survey::FileSurvey SurveyOf(const host::FileResult& file, const survey::JobComments& comments,
                            const SurveySettings& settings) {
    survey::FileSurvey result;
    result.path = Utf8(file.path);
    result.outcome = OutcomeText(file.outcome);
    for (const host::Message& message : file.messages)
        result.messages.push_back({message.line, Utf8(message.text)});
    survey::Job& job = result.job;
    job.header = comments.Header();
    job.facts = Overridden(comments.FactsAt(std::nullopt), settings.overrides);
    for (const host::Point& point : file.points) {
        if (!point.northing || !point.easting)
            continue;
        job.knownPoints.push_back({Utf8(point.name), *point.northing, *point.easting, point.elevation,
                                   point.code ? Utf8(*point.code) : std::string(),
                                   survey::PointOrigin::CoordinateRecord, point.line});
    }
    for (const host::Station& station : file.stations)
        job.stations.push_back(StationOf(station, comments, settings.overrides));
    std::vector<survey::Diagnostic> notes;
    if (!settings.overrides.readings)
        UnzeroableLastStation(job, notes);
    if (!file.observationsBeforeStation.empty())
        notes.push_back({file.observationsBeforeStation.front().line,
                         std::to_string(file.observationsBeforeStation.size()) +
                             " observations come before any station and are not reduced"});
    result.reduction = survey::Reduce(job, InMetres(settings, OutputUnit(result, settings)));
    result.reduction.diagnostics.insert(result.reduction.diagnostics.begin(), notes.begin(), notes.end());
    return result;
}

survey::LengthUnit OutputUnit(const survey::FileSurvey& file, const SurveySettings& settings) {
    return settings.units.value_or(file.job.facts.distanceUnit);
}

} // namespace rdf
