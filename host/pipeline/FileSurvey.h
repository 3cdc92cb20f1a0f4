// One imported file turned into a survey: what the module sent, the job facts that the file's
// comments state and the module does not pass on, and the reduction of both to coordinates.
#pragma once

#include "host/ConverterFactory.h"
#include "host/ImportModel.h"
#include "host/pipeline/ImportEvents.h"
#include "host/pipeline/PackedFile.h"
#include "survey/JobComments.h"
#include "survey/Sightings.h"
#include "survey/Survey.h"

#include <optional>
#include <string>
#include <vector>

namespace host {

// Job facts given on the command line, in place of what the file's comments say.
struct FactOverrides {
    std::optional<survey::ZeroVa> zeroVa;
    std::optional<survey::CircleReadings> readings;
    std::optional<survey::ZeroAzimuth> zeroAzimuth;
    std::optional<survey::LengthUnit> feet; // the foot of a job in feet
};

struct SurveySettings {
    survey::Options options; // its user points still in the unit of the output
    FactOverrides overrides;
    std::optional<survey::LengthUnit> units; // of the output; the job's own when none
    bool eastingFirst = false;               // --order penzd
    bool pointListHeader = true;             // not --no-header
    // Lengths given on the command line, in the unit of the output: the control points (the
    // options' user points hold these numbers unscaled) and the face pairs' distance tolerance.
    std::optional<double> distanceTolerance;
};

survey::JobFacts Overridden(survey::JobFacts facts, const FactOverrides& overrides);

// A file's survey built from the whole file as a writer holds it packed, with the job facts of
// the file's comments. The file is read once and each station meaned into sightings as the reading
// passes it, so its raw observations are held again only when `keepObservations` asks for them
// (for the run's outputs).
class SurveyBuilder final : private PackedFileReader {
public:
    explicit SurveyBuilder(const SurveySettings& settings) : settings(settings) {}

    // A file's survey whose coordinates a writer visits in `coordinates` rather than finds in
    // the reduction, so that they are never all held.
    struct Reduced {
        survey::FileSurvey file;
        survey::ReducedFile coordinates;
    };

    // Reads a whole file: its stations meaned into sightings, its points and its messages.
    void Read(const PackedFile& packed, const std::vector<host::Message>& messages, const host::FileEnd& end,
              bool keepObservations);
    // Reduces the file read last; the builder is then ready for the next.
    Reduced Reduce();
    // The unit of the run's output: --units, else the first file's. Known only once a file was read.
    survey::LengthUnit RunUnit() const { return runUnit.value_or(survey::LengthUnit::Metre); }

private:
    void Begin(std::wstring_view path, bool keepObservations);
    void Station(const PackedStation& station) override;
    void Observation(const PackedObservation& observation) override;
    void Point(const PackedPoint& point) override;
    void CloseStation();
    void NoteObservationBeforeStation(survey::Line line);

    const SurveySettings& settings;
    survey::JobComments comments;
    survey::Options options; // for this file, in metres
    std::optional<survey::LengthUnit> runUnit;
    bool keepObservations = false;
    survey::FileSurvey file;
    // The station whose observations are still coming, when `stationOpen`, and views of them in
    // the packed file, whose list keeps its room from station to station.
    survey::Station open;
    std::vector<survey::ObservationView> openObservations;
    bool stationOpen = false;
    std::vector<survey::SightedStation> sighted;
    std::vector<survey::Diagnostic> notes;
    std::size_t observationsBeforeStation = 0;
};

// The converters' foot for the files' feet.
Feet FeetOf(const SurveySettings& settings);

// The unit a file's coordinates are written in.
survey::LengthUnit OutputUnit(const survey::FileSurvey& file, const SurveySettings& settings);

} // namespace host
