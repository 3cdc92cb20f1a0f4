// One imported file turned into a survey: what the module sent, the job facts that the file's
// comments state and the module does not pass on, and the reduction of both to coordinates.
#pragma once

#include "host/ImportModel.h"
#include "survey/JobComments.h"
#include "survey/Survey.h"

#include <optional>
#include <string>
#include <vector>

namespace rdf {

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
    // Lengths given on the command line, in the unit of the output: the control points (the
    // options' user points hold these numbers unscaled) and the face pairs' distance tolerance.
    std::optional<double> distanceTolerance;
};

survey::JobFacts Overridden(survey::JobFacts facts, const FactOverrides& overrides);

survey::FileSurvey SurveyOf(const host::FileResult& file, const survey::JobComments& comments,
                            const SurveySettings& settings);

// The unit a file's coordinates are written in.
survey::LengthUnit OutputUnit(const survey::FileSurvey& file, const SurveySettings& settings);

} // namespace rdf
