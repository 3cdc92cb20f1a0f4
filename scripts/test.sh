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

run_preset debug
run_preset asan
echo "all test suites passed"
