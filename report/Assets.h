// The page's style sheet and script, kept as files of their own in assets/ and built in.
#pragma once

namespace report {

extern const char* const kReportStyle;
extern const char* const kReportScript;

} // namespace report
