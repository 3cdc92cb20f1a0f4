// The command-line options of the reduction: control points, the job facts in place of the
// file's comments, curvature and refraction, tolerances, and the unit and order of the output.
#pragma once

#include "host/ConverterFactory.h"
#include "host/pipeline/FileSurvey.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace rdf {

struct SurveyOptionTexts {
    std::vector<std::string> known;
    std::string knownPoints;
    std::string units;
    std::string order = "pnezd";
    bool noHeader = false;
    std::string zeroVa;
    std::string haRaw;
    std::string zeroAzimuth;
    std::string feet;
    bool curvature = false;
    double refraction = 0.13;
    double collimation = 60;        // seconds
    double index = 60;              // seconds
    double orientation = 60;        // seconds
    std::optional<double> distance; // in the unit of the output
};

void AddSurveyOptions(CLI::App& app, SurveyOptionTexts& texts);

// The settings, or the text of what is wrong with the options.
std::variant<host::SurveySettings, std::string> MakeSurveySettings(const SurveyOptionTexts& texts);

} // namespace rdf
