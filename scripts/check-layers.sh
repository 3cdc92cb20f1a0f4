#!/usr/bin/env bash
# Checks the layering of the libraries with grep over the tree: no library includes or links the
# tool, the host reaches neither the exchange formats nor the report nor the outputs, the report
# and the exchange formats do not reach each other, and each library links the libraries whose
# headers it includes. Prints each violation and fails when there is one.
# Usage: scripts/check-layers.sh [source root]
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2
violations=0

fail() {
    echo "layers: $*"
    violations=$((violations + 1))
}

# Project includes of the library sources of a folder (its tests and the other folders'
# subfolders of test support excluded): "file:line:folder".
includes_of() {
    [[ -d $1 ]] || return 0
    grep -rnE --include='*.h' --include='*.cpp' '^#include "[a-z_]+/' "$1" |
        grep -v '/tests/' |
        sed -E 's#^([^:]+:[0-9]+):\#include "([a-z_]+)/.*#\1:\2#'
}

# A folder must include nothing of the folders named after it.
forbid() {
    local folder=$1
    shift
    local hit file line target
    while IFS=: read -r file line target; do
        for forbidden in "$@"; do
            [[ $target == "$forbidden" ]] && fail "$file:$line includes $forbidden/ (a layer above $folder/)"
        done
    done < <(includes_of "$folder")
}

# Nothing outside the tool includes the tool's headers or links its libraries; the host fuzzer,
# which runs the tool's outputs as the tool does, reads its table of formats.
while IFS= read -r hit; do
    fail "$hit includes the tool"
done < <(grep -rnE --include='*.h' --include='*.cpp' '^#include "tools/' . --exclude-dir=tools --exclude-dir=build |
    grep -v '^\./fuzz/host/[^:]*:[0-9]*:#include "tools/rdf-import/OutputFormats.h"')
while IFS= read -r hit; do
    fail "$hit links a library of the tool"
done < <(grep -rnE --include=CMakeLists.txt '\brdf_import_(core|destinations)\b' . --exclude-dir=tools --exclude-dir=build --exclude-dir=fuzz |
    grep -v '^\./[^:]*:[0-9]*:\s*#')

forbid survey host output report exchange adjust tools
forbid host output report exchange adjust tools
forbid output report exchange adjust tools
forbid report exchange output adjust tools
forbid exchange report output host adjust tools

# The host's build links neither the exchange formats nor the report.
if grep -nE 'nikon_(exchange|report|output)' host/CMakeLists.txt; then
    fail "host/CMakeLists.txt links a library above the host"
fi
# The report and the exchange formats link nothing of each other.
grep -nq 'nikon_exchange' report/CMakeLists.txt && fail "report/CMakeLists.txt links the exchange formats"
grep -nq 'nikon_report' exchange/CMakeLists.txt && fail "exchange/CMakeLists.txt links the report"

# Each library links the libraries of the folders whose headers its sources include.
declare -A target_of=([platform]=nikon_platform [survey]=nikon_survey [host]=nikon_host
                      [output]=nikon_output [report]=nikon_report [adjust]=nikon_adjust
                      [resources]=nikon_resources)
for folder in host output report exchange adjust survey; do
    for included in $(includes_of "$folder" | cut -d: -f3 | sort -u); do
        [[ $included == "$folder" || -z ${target_of[$included]:-} ]] && continue
        grep -rq --include=CMakeLists.txt "${target_of[$included]}\b" "$folder" ||
            fail "$folder/ includes $included/ but its build does not link ${target_of[$included]}"
    done
done

if ((violations > 0)); then
    echo "layers: $violations violation(s)"
    exit 1
fi
echo "layers: sound"
