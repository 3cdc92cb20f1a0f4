#!/usr/bin/env bash
# The HTML report of a job, written by rdf-import.exe under Wine and by the native build, must be
# the same bytes: the reduction's figures and the page's text alike.
#   same-report.sh WINE_RUN RDF_IMPORT_EXE NATIVE_RDF_IMPORT EXAMPLES_DIR OUT_DIR JOB
set -euo pipefail
wine_run=$1 tool=$2 native=$3 examples=$4 out=$5 job=$6
[[ -x $native ]] || { echo "FAILED: $native is missing: build the native preset first"; exit 1; }
mkdir -p "$out"
rm -f "$out/windows.html" "$out/linux.html"
cd "$examples"
# Wine's drive Z: is the root of the file system.
"$wine_run" "$tool" --quiet --format csv --to "Z:$out/windows.html" "$job" >/dev/null
"$native" --quiet --format csv --to "$out/linux.html" "$job" >/dev/null
cmp "$out/linux.html" "$out/windows.html"
echo "same report: $(wc -c <"$out/linux.html") bytes"
