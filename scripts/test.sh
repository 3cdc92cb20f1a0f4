#!/usr/bin/env bash
# Everything CI runs: installs what is missing, then builds and runs the test stages. Each stage
# configures and builds what it needs itself, so any one of them runs on a fresh checkout.
#   scripts/test.sh              every stage, in the order below
#   scripts/test.sh STAGE...     only these: debug, asan, fuzz, memcheck, mingw, packages
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
all_stages=(debug asan fuzz memcheck mingw packages)

build() { # preset [target...]
  local preset=$1
  shift
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" ${1:+--target "$@"}
}

run_preset() {
  echo "=== preset $1 ==="
  build "$1"
  ctest --preset "$1" -j "$jobs"
}

stage_debug() { run_preset debug; }
stage_asan() { run_preset asan; }

# The libFuzzer smoke run of the import (60 s; FUZZ_SECONDS changes it); it builds the fuzz preset.
stage_fuzz() { bash fuzz/smoke.sh; }

# Valgrind memcheck over the debug build: the module suite, the corpus replay and the rdf-import
# golden tests.
stage_memcheck() {
  build debug nikon_module_tests nikon_fuzz_replay rdf-import
  bash fuzz/memcheck.sh build/debug
}

# Cross-builds Nikon.dll and rdf-import.exe and runs them under Wine; the comparisons run the
# native C host and rdf-import of the debug build.
stage_mingw() {
  echo "=== preset mingw (Nikon.dll and rdf-import.exe under Wine) ==="
  build debug nikon_c_host Nikon rdf-import
  run_preset mingw
}

# The Debian package and the Windows zip: made by cpack, their contents checked, and the tool
# run from each unpacked package (the zip's under Wine).
stage_packages() {
  echo "=== packages (Debian package and Windows zip) ==="
  bash packaging/check-packages.sh deb
  bash packaging/check-packages.sh zip
}

stages=("$@")
((${#stages[@]})) || stages=("${all_stages[@]}")
for stage in "${stages[@]}"; do
  [[ " ${all_stages[*]} " == *" $stage "* ]] || { echo "unknown stage: $stage (${all_stages[*]})" >&2; exit 2; }
done

bash scripts/install-deps.sh
for stage in "${stages[@]}"; do
  "stage_$stage"
done
echo "passed: ${stages[*]}"
