#!/usr/bin/env bash
# rdf-import.exe writing to a console: Wine gives the program a console when its output is a
# terminal, so it runs on a pseudo-terminal made by script(1). The Cyrillic names of the CP1251
# job must come out as themselves, whatever the console's code page; the console's own drawing
# sequences are removed before looking.
#   console-text.sh WINE_RUN RDF_IMPORT_EXE EXAMPLES_DIR
set -euo pipefail
wine_run=$1 tool=$2 examples=$3
cd "$examples"
screen=$(timeout 120 script -qec "$wine_run $tool --quiet --encoding CP1251 --format csv cp1251-forest.rdf" /dev/null |
  sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr -d '\r')
for expected in "ОП1,6200,4300,150,репер" "name,northing"; do
  grep -qF "$expected" <<<"$screen" || { echo "FAILED: the console shows no '$expected':"; echo "$screen"; exit 1; }
done
echo "the console shows the Cyrillic names"
