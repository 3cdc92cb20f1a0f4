#!/usr/bin/env bash
# The main job on a fresh Debian machine: installs what is missing, builds the release
# configuration and prints the listing of the bundled traverse with its closure and adjustment.
# Extra arguments go to rdf-import (for example --format json). BUILD_DIR overrides the build
# directory.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build/release}

bash scripts/install-deps.sh >&2
cmake --preset release -B "$build_dir" >/dev/null
cmake --build "$build_dir" --target rdf-import -j "$(nproc)" >/dev/null
"$build_dir/tools/rdf-import/rdf-import" --quiet --adjust "$@" examples/traverse.rdf
