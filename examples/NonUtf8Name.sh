#!/bin/sh
# Imports a copy of hand-written.rdf named with the bytes 0xFF 0xFE between two good files.
#   NonUtf8Name.sh TOOL EXAMPLES SCRATCH
set -eu
tool=$1 examples=$2 scratch=$3
rm -rf "$scratch" && mkdir -p "$scratch"
name=$(printf '%s/\377\376.rdf' "$scratch")
cp "$examples/hand-written.rdf" "$name"
cd "$examples"
"$tool" --quiet --format json hand-written.rdf "$name" resection.rdf > "$scratch/out.json"
shown=$(printf '%s/\357\277\275\357\277\275.rdf' "$scratch")
grep -qF "\"path\": \"$shown\"" "$scratch/out.json"
test "$(grep -c '"outcome": "imported"' "$scratch/out.json")" = 3
