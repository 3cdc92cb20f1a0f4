#include "host/pipeline/FileSurvey.h"

#include "host/JobComments.h"
#include "platform/Utf8.h"

#include <algorithm>

namespace host {
namespace {

std::string Utf8(std::wstring_view text) {
    return platform::EncodeUtf8(text);
}

std::string Text(const std::optional<std::string_view>& text) {
    return text ? std::string(*text) : std::string();
}

// The writers' outcome names, in words.
std::string OutcomeText(host::FileOutcome outcome) {
    std::string text = OutcomeName(outcome);
    std::replace(text.begin(), text.end(), '-', ' ');
    return text;
}

// A view of the packed observation, good while the packed file is read.
survey::ObservationView ViewOf(const PackedObservation& from) {
    return {from.target,
            from.horizontalAngle,
            from.verticalAngle,
            from.slopeDistance,
            from.targetHeight,
            from.faceRight,
            from.code.value_or(std::string_view()),
            from.line};
}

survey::Observation ObservationOf(const survey::ObservationView& from) {
    return {std::string(from.target), from.horizontalAngle, from.verticalAngle,     from.slopeDistance,
            from.targetHeight,        from.faceRight,       std::string(from.code), from.line};
}

// The station's observations come after it, one by one.
survey::Station StationOf(const PackedStation& from, const survey::JobComments& comments,
                          const FactOverrides& overrides) {
    return {std::string(from.name),
            from.instrumentHeight,
            from.temperature,
            from.pressure,
            from.line,
            Overridden(comments.FactsAt(from.line), overrides),
            {}};
}

// The module zeroes the circle of the file's last station on its backsight when the file ends
// with that station's face observations, so azimuth readings are not azimuths there any more.
void UnzeroableLastStation(survey::Station& last, const std::vector<survey::ObservationView>& observations,
                           std::vector<survey::Diagnostic>& notes) {
    if (observations.empty() || !observations.back().faceRight ||
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

void SurveyBuilder::Read(const PackedFile& packed, const std::vector<host::Message>& messages,
                         const host::FileEnd& end, bool keepingObservations) {
    Begin(end.path, keepingObservations);
    // Every record is a station or a point at most once: the lists are made at their size.
    sighted.reserve(packed.Stations());
    file.job.knownPoints.reserve(packed.Points());
    packed.Read(*this);
    for (const host::Message& message : messages)
        file.messages.push_back({message.line, Utf8(message.text)});
    file.outcome = OutcomeText(end.outcome);
    if (!settings.overrides.readings && stationOpen)
        UnzeroableLastStation(open, openObservations, notes);
    CloseStation();
}

void SurveyBuilder::Begin(std::wstring_view path, bool keepingObservations) {
    comments = host::ReadJobComments(std::wstring(path));
    file = survey::FileSurvey();
    file.path = Utf8(path);
    file.job.header = comments.Header();
    file.job.facts = Overridden(comments.FactsAt(std::nullopt), settings.overrides);
    // Lengths the user gives are in the one unit of the run's output, whatever each file's own.
    if (!runUnit)
        runUnit = OutputUnit(file, settings);
    options = InMetres(settings, *runUnit);
    keepObservations = keepingObservations;
    stationOpen = false;
    openObservations.clear();
    sighted.clear();
    notes.clear();
    observationsBeforeStation = 0;
}

void SurveyBuilder::CloseStation() {
    if (!stationOpen)
        return;
    survey::StationSightings sightings =
        survey::Sight(open.name, open.facts.zeroVa, openObservations, options.tolerances);
    if (keepObservations) {
        open.observations.reserve(openObservations.size());
        for (const survey::ObservationView& observation : openObservations)
            open.observations.push_back(ObservationOf(observation));
        file.job.stations.push_back(open);
        open.observations.clear();
    }
    sighted.push_back({std::move(open), std::move(sightings)});
    stationOpen = false;
}

void SurveyBuilder::Station(const PackedStation& station) {
    CloseStation();
    open = StationOf(station, comments, settings.overrides);
    openObservations.clear();
    stationOpen = true;
}

void SurveyBuilder::Observation(const PackedObservation& observation) {
    if (!stationOpen)
        return NoteObservationBeforeStation(observation.line);
    openObservations.push_back(ViewOf(observation));
}

// Apart from the observations of a station, which then save no registers for the note's text.
[[gnu::noinline]] void SurveyBuilder::NoteObservationBeforeStation(survey::Line line) {
    if (observationsBeforeStation++ == 0)
        notes.push_back({line, "observations that come before any station are not reduced"});
}

void SurveyBuilder::Point(const PackedPoint& point) {
    if (!point.northing || !point.easting)
        return;
    file.job.knownPoints.push_back({std::string(point.name), *point.northing, *point.easting, point.elevation,
                                    Text(point.code), survey::PointOrigin::CoordinateRecord, point.line});
}

SurveyBuilder::Reduced SurveyBuilder::Reduce() {
    survey::ReducedFile reduced(file.job.knownPoints, std::move(sighted), options);
    file.reduction = reduced.TakeReduction();
    file.reduction.diagnostics.insert(file.reduction.diagnostics.begin(), notes.begin(), notes.end());
    return {std::move(file), std::move(reduced)};
}

survey::LengthUnit OutputUnit(const survey::FileSurvey& file, const SurveySettings& settings) {
    return settings.units.value_or(file.job.facts.distanceUnit);
}

Feet FeetOf(const SurveySettings& settings) {
    if (!settings.overrides.feet)
        return Feet::AsTheFileSays;
    return *settings.overrides.feet == survey::LengthUnit::UsSurveyFoot ? Feet::UsSurvey
                                                                        : Feet::International;
}

} // namespace host
