#!/usr/bin/env bash
# Valgrind memcheck over a built configuration (default build/debug): the module suite that
# loads Nikon.so with dlopen, the fuzz corpus replay, and every rdf-import golden test with the
# tool run under Valgrind. Any memory error or definite or indirect leak fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/debug}
[[ $build == /* ]] || build=$PWD/$build
logs=$build/memcheck
rm -rf "$logs" && mkdir -p "$logs"
valgrind=(valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect
          --show-leak-kinds=definite,indirect --track-origins=yes --suppressions=$PWD/fuzz/valgrind.supp)

check() { # name command...
  local name=$1
  shift
  if ! "${valgrind[@]}" --log-file="$logs/$name.%p.log" "$@" >"$logs/$name.out" 2>&1; then
    echo "memcheck failed: $name" >&2
    cat "$logs/$name".*.log "$logs/$name.out" >&2
    return 1
  fi
  echo "memcheck clean: $name"
}

echo "=== Valgrind memcheck ($build) ==="
check nikon_module_tests "$build/plugin/tests/nikon_module_tests"
check fuzz_corpus_replay "$build/fuzz/nikon_fuzz_replay" fuzz/corpus fuzz/regressions

# The golden tests run rdf-import through a CMake script; TOOL becomes Valgrind plus the tool,
# so the expected exit status, output and golden file are all still checked.
tool=$(IFS=';'; echo "${valgrind[*]};--log-file=$logs/rdf-import.%p.log;$build/tools/rdf-import/rdf-import")
ctest --test-dir "$build" --show-only=json-v1 -R '^rdf-import\.' >"$logs/golden.json"
python3 - "$logs/golden.json" "$tool" <<'PY'
import json, subprocess, sys
tests = json.load(open(sys.argv[1]))["tests"]
failed = []
for test in tests:
    command = [("-DTOOL=" + sys.argv[2]) if part.startswith("-DTOOL=") else part for part in test["command"]]
    workdir = next((p["value"] for p in test.get("properties", []) if p["name"] == "WORKING_DIRECTORY"), None)
    result = subprocess.run(command, cwd=workdir, capture_output=True, text=True)
    if result.returncode != 0:
        failed.append(test["name"])
        sys.stderr.write(f"memcheck failed: {test['name']}\n{result.stdout}{result.stderr}\n")
if not tests:
    sys.exit("no rdf-import golden tests in this build")
if failed:
    sys.stderr.write("Valgrind's reports are in the rdf-import.*.log files beside golden.json\n")
print(f"memcheck of {len(tests)} rdf-import golden tests: {len(tests) - len(failed)} clean")
sys.exit(1 if failed else 0)
PY
