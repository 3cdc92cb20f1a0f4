#!/usr/bin/env python3
"""Runs rdf-import.exe under Wine with --format json and checks that the document holds the same
values as the expected output the Linux build is tested against, and as the native build's own
output when one is given. File paths are left out of the comparison: they are the only values
that may rightly differ between the systems.

  same-json.py --wine WINE_RUN --tool RDF_IMPORT_EXE [--native RDF_IMPORT] --workdir DIR
               --golden FILE --status N -- ARGS...
"""
import argparse
import json
import os
import subprocess
import sys

IGNORED_KEYS = {"path"}


def without_paths(value):
    if isinstance(value, dict):
        return {k: without_paths(v) for k, v in value.items() if k not in IGNORED_KEYS}
    if isinstance(value, list):
        return [without_paths(v) for v in value]
    return value


def run(command, workdir, status):
    done = subprocess.run(command, cwd=workdir, capture_output=True)
    if done.returncode != status:
        sys.exit(f"FAILED: {command[0]} exited with {done.returncode}, expected {status}\n"
                 f"{done.stderr.decode('utf-8', 'replace')}")
    # Parsing with exact floats: a number that differs in its last digit is a different value.
    return without_paths(json.loads(done.stdout.decode("utf-8")))


def first_difference(left, right, where="$"):
    if type(left) is not type(right):
        return f"{where}: {left!r} != {right!r}"
    if isinstance(left, dict):
        if list(left) != list(right):
            return f"{where}: keys {list(left)} != {list(right)}"
        for key in left:
            found = first_difference(left[key], right[key], f"{where}.{key}")
            if found:
                return found
        return None
    if isinstance(left, list):
        if len(left) != len(right):
            return f"{where}: {len(left)} items != {len(right)}"
        for index, (a, b) in enumerate(zip(left, right)):
            found = first_difference(a, b, f"{where}[{index}]")
            if found:
                return found
        return None
    return None if left == right else f"{where}: {left!r} != {right!r}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine", required=True)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--native")
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--golden", required=True)
    parser.add_argument("--status", type=int, default=0)
    parser.add_argument("args", nargs="+")
    options = parser.parse_args()

    args = ["--quiet", "--format", "json"] + options.args
    windows = run([options.wine, options.tool] + args, options.workdir, options.status)
    with open(options.golden, encoding="utf-8") as golden_file:
        references = {"expected output": without_paths(json.load(golden_file))}
    if options.native:
        if not os.path.exists(options.native):
            sys.exit(f"FAILED: {options.native} is missing: build the native preset first")
        references["Linux build"] = run([options.native] + args, options.workdir, options.status)
    for name, reference in references.items():
        difference = first_difference(reference, windows)
        if difference:
            sys.exit(f"FAILED: Windows output differs from the {name} at {difference}")
    files = len(windows.get("files", []))
    print(f"same values as the {' and the '.join(references)}: {files} file(s)")


if __name__ == "__main__":
    main()
