#!/usr/bin/env bash
# A libFuzzer run of the import fuzz target: builds the fuzz preset, seeds a working corpus with
# the saved inputs and the example jobs, and fuzzes for FUZZ_SECONDS (default 60). A crash or a
# broken host rule leaves its input in build/fuzz/artifacts/ and fails the run; copy it into
# fuzz/regressions/ once mended, so that every test run replays it.
#   fuzz/smoke.sh              the 60-second run CI makes
#   FUZZ_SECONDS=14400 fuzz/smoke.sh   a long run, keeping its corpus in build/fuzz/corpus
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
# Every input is written to a scratch file; in memory that costs a fraction of a disk write.
if [[ -z ${TMPDIR:-} && -d /dev/shm && -w /dev/shm ]]; then
  export TMPDIR=/dev/shm
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

work=build/fuzz/corpus
artifacts=build/fuzz/artifacts
mkdir -p "$work" "$artifacts"
echo "=== fuzzing the import for ${seconds} s ==="
status=0
build/fuzz/fuzz/nikon_fuzz -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
  -dict=fuzz/nikon.dict -artifact_prefix="$artifacts/" -print_final_stats=1 \
  "$work" fuzz/corpus fuzz/regressions examples >build/fuzz/fuzz.log 2>&1 || status=$?
grep -E 'INITED|DONE|^stat::|^==[0-9]+==|^SUMMARY|host contract' build/fuzz/fuzz.log || true
if ((status != 0)); then
  echo "the fuzz run failed with status $status; its log is build/fuzz/fuzz.log" >&2
  tail -40 build/fuzz/fuzz.log >&2
  exit 1
fi
if compgen -G "$artifacts/*" >/dev/null; then
  echo "fuzzing found failing inputs in $artifacts:" >&2
  ls -l "$artifacts" >&2
  exit 1
fi
