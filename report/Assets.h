// The page's style sheet and script, kept as files of their own in assets/ and built in.
#pragma once

namespace report {

extern const char* const kReportStyle;
extern const char* const kReportScript;
// The script as the page's Content-Security-Policy names it: 'sha256-' and its digest in base64.
extern const char* const kReportScriptHash;

} // namespace report
