# Writes the page's style sheet and script into a C++ source as raw string literals.
file(READ ${STYLE} style)
file(READ ${SCRIPT} script)
file(WRITE ${OUTPUT} "// Made at build time from report/assets.
#include \"report/Assets.h\"

namespace report {

const char* const kReportStyle = R\"asset(${style})asset\";
const char* const kReportScript = R\"asset(${script})asset\";

} // namespace report
")
