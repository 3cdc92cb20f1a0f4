// The host side of rdf-import run in memory: the module imports one raw file, the reduction and
// one of the tool's output formats consume its events, and the output is returned as text.
#pragma once

#include "host/pipeline/FileSurvey.h"
#include "output/Writers.h"
#include "survey/Survey.h"

#include <optional>
#include <string>
#include <vector>

namespace hostfuzz {

// One of rdf-import's outputs, as the tool wires it to the import.
struct HostRunFormat {
    rdf::MakeWriter make; // null for an output with no writer of its own
    bool traced;          // the log of the module's calls
    bool coordinates;     // the run is reduced
    bool holdsFiles;      // its writer hands each whole file to the sections
};

struct HostRunOptions {
    host::SurveySettings survey;
    std::optional<host::AngleStyle> angles;
    bool observations = false; // csv: the observations instead of the points
};

struct HostRunResult {
    std::string output;
    std::vector<survey::FileSurvey> surveys; // the run's, as the whole-run outputs receive them
};

// Imports `path` through the module linked into this program, as rdf-import does for `format`.
HostRunResult RunFormat(const std::string& path, const HostRunFormat& format, const HostRunOptions& options);

} // namespace hostfuzz
