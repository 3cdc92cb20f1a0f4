# Runs rdf-import once and checks its exit status and, when GOLDEN is given, its output against
# the checked-in file with diff -u, so that a changed behaviour shows in review.
#   TOOL, WORKDIR, ARGS (separated by |), STATUS, OUTPUT (where the output is kept)
#   GOLDEN       optional: the expected output
#   OUTPUT_FILE  optional: compare this file (written by -o) instead of standard output
#   STDOUT_MATCH, STDERR_MATCH  optional regular expressions the streams must match
# With the environment variable NIKON_UPDATE_GOLDEN=1 the golden file is rewritten instead.
string(REPLACE "|" ";" args "${ARGS}")
execute_process(
  COMMAND ${TOOL} ${args}
  WORKING_DIRECTORY ${WORKDIR}
  OUTPUT_VARIABLE stdout
  ERROR_VARIABLE stderr
  RESULT_VARIABLE status)

if(NOT "${status}" STREQUAL "${STATUS}")
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}\nstdout:\n${stdout}\nstderr:\n${stderr}")
endif()
if(DEFINED STDOUT_MATCH AND NOT stdout MATCHES "${STDOUT_MATCH}")
  message(FATAL_ERROR "standard output does not match '${STDOUT_MATCH}':\n${stdout}")
endif()
if(DEFINED STDERR_MATCH AND NOT stderr MATCHES "${STDERR_MATCH}")
  message(FATAL_ERROR "standard error does not match '${STDERR_MATCH}':\n${stderr}")
endif()
if(NOT DEFINED GOLDEN)
  return()
endif()

if(DEFINED OUTPUT_FILE)
  configure_file(${OUTPUT_FILE} ${OUTPUT} COPYONLY)
else()
  file(WRITE ${OUTPUT} "${stdout}")
endif()
if("$ENV{NIKON_UPDATE_GOLDEN}" STREQUAL "1")
  configure_file(${OUTPUT} ${GOLDEN} COPYONLY)
  return()
endif()
execute_process(COMMAND diff -u ${GOLDEN} ${OUTPUT} OUTPUT_VARIABLE difference RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "output differs from ${GOLDEN}:\n${difference}")
endif()
