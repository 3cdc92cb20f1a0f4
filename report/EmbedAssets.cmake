# Writes the page's style sheet and script into a C++ source as raw string literals, with the
# script's SHA-256 as a Content-Security-Policy source names it ('sha256-' and the digest in
# base64), so that the page runs its own script and no other.
file(READ ${STYLE} style)
file(READ ${SCRIPT} script)

# The page writes "<script>\n", the script, then "</script>": the hash covers what lies between.
string(SHA256 digest "\n${script}")
set(alphabet "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
set(script_hash "")
string(LENGTH "${digest}" digits)
set(at 0)
while(at LESS digits)
  # Three bytes (six hex digits) make four characters; the last two bytes make three and a "=".
  string(SUBSTRING "${digest}" ${at} 6 group)
  string(LENGTH "${group}" group_digits)
  math(EXPR value "0x${group} << (4 * (6 - ${group_digits}))")
  math(EXPR characters "${group_digits} * 2 / 3 + 1")
  foreach(shift 18 12 6 0)
    if(characters GREATER 0)
      math(EXPR index "(${value} >> ${shift}) & 63")
      string(SUBSTRING "${alphabet}" ${index} 1 character)
      string(APPEND script_hash "${character}")
      math(EXPR characters "${characters} - 1")
    else()
      string(APPEND script_hash "=")
    endif()
  endforeach()
  math(EXPR at "${at} + 6")
endwhile()

file(WRITE ${OUTPUT} "// Made at build time from report/assets.
#include \"report/Assets.h\"

namespace report {

const char* const kReportStyle = R\"asset(${style})asset\";
const char* const kReportScript = R\"asset(${script})asset\";
const char* const kReportScriptHash = \"sha256-${script_hash}\";

} // namespace report
")
