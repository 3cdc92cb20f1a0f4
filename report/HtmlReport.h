// The survey report: one self-contained HTML page for a run's files, with a plan and the tables
// of each file. Styles and script are inline and the page loads nothing from elsewhere.
#pragma once

#include "survey/Survey.h"

#include <ostream>
#include <vector>

namespace report {

void WriteHtmlReport(std::ostream& out, const std::vector<survey::FileSurvey>& files);

} // namespace report
