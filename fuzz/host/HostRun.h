// The host side of rdf-import run in memory: the module imports one raw file, the reduction and
// one of the tool's output formats consume its events, and the output is returned as text.
#pragma once

#include "survey/Survey.h"
#include "tools/rdf-import/OutputFormats.h"
#include "tools/rdf-import/coordinates/FileSurvey.h"

#include <optional>
#include <string>
#include <vector>

namespace hostfuzz {

struct HostRunOptions {
    rdf::SurveySettings survey;
    std::optional<rdf::AngleStyle> angles;
    bool observations = false; // csv: the observations instead of the points
};

struct HostRunResult {
    std::string output;
    std::vector<survey::FileSurvey> surveys; // the run's, as the whole-run outputs receive them
};

// Imports `path` through the module linked into this program, as rdf-import does for `format`.
HostRunResult RunFormat(const std::string& path, const rdf::StreamWriter& format,
                        const HostRunOptions& options);

} // namespace hostfuzz
