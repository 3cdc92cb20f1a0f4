// The least-squares adjustment of a run's raw surveys: one network from every file's set-ups
// (points shared by name), weighted by the instrument's accuracy, adjusted, and its results
// written back into each file's coordinates; or the traverses balanced by the compass rule.
#pragma once

#include "adjust/Adjustment.h"
#include "survey/Adjusted.h"
#include "survey/Survey.h"

#include <optional>
#include <string>
#include <vector>

namespace adjust {

// A priori standard deviations; each a user gives replaces the instrument's or the default.
struct WeightOptions {
    std::optional<double> direction;                     // radians, one face reading
    std::optional<double> zenith;                        // radians, one face reading
    std::optional<double> distanceConstant, distancePpm; // metres, and parts per million
    std::optional<double> centring;                      // metres, of the instrument and of each target
};

struct Weights {
    double direction = 0, zenith = 0, distanceConstant = 0, distancePpm = 0, centring = 0;
    std::string source; // in words: which were given, which came from the instrument
};

// The weights for a run whose jobs name `instrument` ("Nikon Nivo 2.C"; empty when none).
Weights ChooseWeights(const WeightOptions& given, const std::string& instrument);
// The weights for a run: the instrument is the one the first job that names one names.
Weights RunWeights(const std::vector<survey::FileSurvey>& surveys, const WeightOptions& given);
// "direction 2.8\" (instrument Nikon Nivo 2.C), ...": what a reader needs to judge the weights.
std::string WeightsText(const Weights& weights);

// Parses "MM+PPM" (or "MM"): the constant in metres and the parts per million.
std::optional<std::pair<double, double>> ParseDistanceSigma(const std::string& text);

enum class Method { LeastSquares3d, LeastSquares2d, Compass };

struct SurveyAdjustmentOptions {
    Method method = Method::LeastSquares3d;
    bool free = false; // the control constrains a free network instead of being held
    WeightOptions weights;
    survey::Options reduction; // of the run's files, in metres: the compass rule reduces again
    Settings settings;
};

// Built from the surveys' set-ups and reductions; each observation names its file and line.
Network SurveyNetwork(const std::vector<survey::FileSurvey>& surveys, const Weights& weights,
                      const SurveyAdjustmentOptions& options);

struct SurveyAdjustment {
    std::optional<Adjustment> result; // none for the compass rule or a network that failed
    survey::AdjustmentSummary summary;
    // "FILE:LINE: the distance from B to Q2 is flagged: ...", and why an adjustment failed.
    std::vector<std::string> diagnostics;
};

// Adjusts the run and writes the adjusted coordinates and their precision into `surveys`.
SurveyAdjustment AdjustSurveys(std::vector<survey::FileSurvey>& surveys,
                               const SurveyAdjustmentOptions& options);

} // namespace adjust
