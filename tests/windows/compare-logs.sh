#!/usr/bin/env bash
# Imports one job with the C host built natively over Nikon.so and with the same host built for
# Windows over Nikon.dll under Wine: the two host-call logs must be the same, line for line. Any
# host that takes the C host's --job arguments may stand on the Windows side. CALL names an
# operation the log must reach (SetHorizontalAngle unless given).
#   compare-logs.sh NATIVE_BUILD WINE_RUN WINDOWS_HOST DLL JOB OUT_DIR [CALL]
set -euo pipefail
native_build=$1 wine_run=$2 windows_host=$3 dll=$4 job=$5 out=$6 call=${7:-SetHorizontalAngle}
native_host=$native_build/tests/windows/nikon_c_host
native_module=$native_build/plugin/Nikon.so
for file in "$native_host" "$native_module"; do
  [[ -e $file ]] || { echo "FAILED: $file is missing: build the native preset first (NIKON_NATIVE_BUILD)"; exit 1; }
done

mkdir -p "$out"
# Both hosts open the job by the same relative name, so BeginFile gets the same text.
cd "$(dirname "$job")"
name=$(basename "$job")
"$native_host" "$native_module" --job "$name" "$out/posix.log"
"$wine_run" "$windows_host" "$dll" --job "$name" "$out/windows.log"

# A job that never reached that call would compare two trivial logs.
for log in posix windows; do
  grep -q "^$call(" "$out/$log.log" || { echo "FAILED: $log log has no $call"; exit 1; }
done
diff -u "$out/posix.log" "$out/windows.log"
echo "host-call logs equal: $(wc -l <"$out/posix.log") calls"
