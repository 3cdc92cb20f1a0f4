#!/usr/bin/env bash
# Everything CI runs: installs what is missing, then builds and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

bash scripts/install-deps.sh

run_preset() {
  echo "=== preset $1 ==="
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
  ctest --preset "$1" -j "$jobs"
}

# Cross-builds Nikon.dll and runs the C host under Wine; the log comparison reads the debug build.
run_windows() {
  echo "=== preset mingw (Nikon.dll under Wine) ==="
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw -j "$jobs"
  ctest --preset mingw -j "$jobs"
  grep -E '^[0-9]+ passed, [0-9]+ failed$' build/mingw/Testing/Temporary/LastTest.log
}

# The libFuzzer smoke run of the import (60 s; FUZZ_SECONDS changes it), then Valgrind memcheck
# over the debug build: the module suite, the corpus replay and the rdf-import golden tests.
run_fuzz_smoke() { bash fuzz/smoke.sh; }
run_memcheck() { bash fuzz/memcheck.sh build/debug; }
# The Debian package and the Windows zip: made by cpack, their contents checked, and the tool
# run from each unpacked package.
run_packages() {
  echo "=== packages (Debian package and Windows zip) ==="
  bash packaging/check-packages.sh deb
  bash packaging/check-packages.sh zip
}

run_preset debug
run_preset asan
run_fuzz_smoke
run_memcheck
run_windows
run_packages
echo "all test suites passed"
