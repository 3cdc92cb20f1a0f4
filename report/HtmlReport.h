// The survey report: one self-contained HTML page for a run's files, with a plan and the tables
// of each file. Styles and script are inline and the page loads nothing from elsewhere.
#pragma once

#include "survey/Adjusted.h"
#include "survey/Survey.h"

#include <optional>
#include <ostream>
#include <vector>

namespace report {

// With an adjustment's summary, the page shows its closures, its test and the observations it flags.
// Lengths are in `units`, else in each file's own unit.
void WriteHtmlReport(std::ostream& out, const std::vector<survey::FileSurvey>& files,
                     const survey::AdjustmentSummary* adjustment = nullptr,
                     std::optional<survey::LengthUnit> units = std::nullopt);

} // namespace report
