#!/usr/bin/env bash
# libFuzzer runs of the two fuzz targets: the import (nikon_fuzz) and the host side (nikon_host_fuzz:
# the module, the reduction and every output of rdf-import). Builds the fuzz preset, seeds a working
# corpus per target with its saved inputs and the example jobs, and fuzzes each for its time. A
# crash or a broken rule leaves its input in build/fuzz/artifacts/ (host-artifacts/) and fails the
# run; copy it into fuzz/regressions/ (fuzz/host/corpus/) once mended, so that every test run
# replays it.
#   fuzz/smoke.sh                        the run CI makes: 60 s of each
#   FUZZ_SECONDS=14400 fuzz/smoke.sh     a long run of the import, keeping its corpus in build/fuzz/corpus
#   HOST_FUZZ_SECONDS=3600 fuzz/smoke.sh a long run of the host side (build/fuzz/host-corpus)
set -euo pipefail
cd "$(dirname "$0")/.."
# Every input is written to a scratch file; in memory that costs a fraction of a disk write.
if [[ -z ${TMPDIR:-} && -d /dev/shm && -w /dev/shm ]]; then
  export TMPDIR=/dev/shm
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

# fuzz NAME SECONDS LOG ARTIFACTS WORK-CORPUS LIBFUZZER-OPTION... -- SEED...
fuzz() {
  local name=$1 seconds=$2 log=$3 artifacts=$4 work=$5
  shift 5
  local options=()
  while [[ $1 != -- ]]; do options+=("$1"); shift; done
  shift
  mkdir -p "$work" "$artifacts"
  echo "=== fuzzing $name for ${seconds} s ==="
  local status=0
  "build/fuzz/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts/" -print_final_stats=1 "${options[@]}" "$work" "$@" >"$log" 2>&1 || status=$?
  grep -E 'INITED|DONE|^stat::|^==[0-9]+==|^SUMMARY|host contract|host output broken' "$log" || true
  if ((status != 0)); then
    echo "the $name run failed with status $status; its log is $log" >&2
    tail -40 "$log" >&2
    exit 1
  fi
  if compgen -G "$artifacts/*" >/dev/null; then
    echo "fuzzing $name found failing inputs in $artifacts:" >&2
    ls -l "$artifacts" >&2
    exit 1
  fi
}

fuzz nikon_fuzz "${FUZZ_SECONDS:-60}" build/fuzz/fuzz.log build/fuzz/artifacts build/fuzz/corpus \
  -max_len=16384 -dict=fuzz/nikon.dict -- fuzz/corpus fuzz/regressions examples
# The host side reads the raw format and more: its dictionary is the import's and its own words.
cat fuzz/nikon.dict fuzz/host/extra.dict >build/fuzz/host.dict
fuzz host/nikon_host_fuzz "${HOST_FUZZ_SECONDS:-60}" build/fuzz/host-fuzz.log build/fuzz/host-artifacts \
  build/fuzz/host-corpus -max_len=32768 -dict=build/fuzz/host.dict -- fuzz/host/corpus examples
