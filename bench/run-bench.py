#!/usr/bin/env python3
"""Measures the import and rdf-import at 1, 10, 50 and 100 MB and prints the tables of
docs/performance-and-reliability.md.

Builds the release preset (in build/bench-release unless NIKON_BENCH_BUILD says otherwise),
generates realistic jobs, then reports for each size: the whole import through CreatePlugin with
a counting host, the bare reading into converted lines, their MB/s and lines/s, peak resident
memory per byte of input (what the run adds to the process's own), and the import/reading
ratio; then rdf-import end to end in every format, MB/s and peak bytes per input byte, medians
of --runs runs, timed with GNU time (/usr/bin/time -v).

    python3 bench/run-bench.py [--sizes 1 10 50 100] [--no-build] [--tool-only]
                               [--tool OTHER/rdf-import] [--runs 3] [--job survey|mixed]
                               [--instructions [--bench OTHER/nikon_bench]]

--tool measures another build of rdf-import (an older one, for a before/after table) on the
same jobs; --tool-only leaves out the module's own benchmarks. --job picks the generated jobs:
survey (the default: set-ups 150 m apart, rounds to the backsight and foresight, 300 side shots
each) or mixed (every record the module reads, a few dozen side shots a set-up).

--instructions counts instead of timing: callgrind's instructions per input byte of the module
alone (the counting host) and of rdf-import in every format, at each size. The counts do not move
with the machine's load, so they show whether the cost stays linear and compare builds exactly.
"""
import argparse
import json
import os
import re
import statistics
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(args, **kwargs):
    return subprocess.run(args, check=True, cwd=ROOT, **kwargs)


FORMATS = ("json", "text", "points", "csv", "trace")


def gnu_time(args):
    """Wall seconds, CPU seconds (user and system) and peak resident bytes of one run of `args`,
    as GNU time reports them."""
    result = subprocess.run(["/usr/bin/time", "-v"] + args, cwd=ROOT, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True)
    if result.returncode not in (0, 1):
        sys.exit(f"{args[0]} failed: {result.stderr}")
    wall = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (?:(\d+):)?(\d+):([\d.]+)", result.stderr)
    peak = re.search(r"Maximum resident set size \(kbytes\): (\d+)", result.stderr)
    cpu = sum(float(re.search(rf"{kind} time \(seconds\): ([\d.]+)", result.stderr).group(1))
              for kind in ("User", "System"))
    seconds = int(wall.group(1) or 0) * 3600 + int(wall.group(2)) * 60 + float(wall.group(3))
    return seconds, cpu, int(peak.group(1)) * 1024


def tool_table(tool, files, runs):
    """rdf-import end to end per format: median MB/s of wall time and of CPU time, and peak
    bytes per input byte. On a shared machine the CPU figure is what a quiet one shows."""
    empty = os.path.join(os.path.dirname(next(iter(files.values()))), "empty.rdf")
    open(empty, "w").close()
    print(f"\nrdf-import ({tool}), medians of {runs} runs:\n")
    print("| input | " + " | ".join(f"{f} MB/s wall / CPU | {f} B/B" for f in FORMATS) + " |")
    print("|---|" + "---|---|" * len(FORMATS))
    for size, path in files.items():
        mb = os.path.getsize(path) / (1 << 20)
        cells = []
        for fmt in FORMATS:
            args = [tool, "--format", fmt, "-q"]
            baseline = gnu_time(args + [empty])[2]
            measured = [gnu_time(args + [path]) for _ in range(runs)]
            took = statistics.median(m[0] for m in measured)
            cpu = statistics.median(m[1] for m in measured)
            peak = statistics.median(m[2] for m in measured) - baseline
            cells.append(f"{mb / took:.1f} / {mb / cpu:.1f} | {peak / os.path.getsize(path):.2f}")
        print(f"| {mb:.0f} MB | " + " | ".join(cells) + " |", flush=True)


def instructions(args):
    """Instructions callgrind counts for one run of `args`, output thrown away."""
    result = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"] + args,
                            cwd=ROOT, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if result.returncode not in (0, 1):
        sys.exit(f"{args[0]} failed under callgrind: {result.stderr}")
    return int(re.search(r"Collected : (\d+)", result.stderr).group(1))


def instruction_table(bench, tool, files):
    """Instructions per input byte: the module alone, then rdf-import in every format."""
    print(f"\nInstructions per input byte (callgrind; {tool}):\n")
    print("| input | module alone | " + " | ".join(FORMATS) + " |")
    print("|---|---|" + "---|" * len(FORMATS))
    for size, path in files.items():
        size_bytes = os.path.getsize(path)
        cells = [instructions([bench, "--peak", "import", path]) / size_bytes]
        cells += [instructions([tool, "--format", fmt, "-q", path]) / size_bytes
                  for fmt in FORMATS]
        print(f"| {size_bytes / (1 << 20):.0f} MB | " + " | ".join(f"{cell:.1f}" for cell in cells) + " |",
              flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sizes", nargs="+", type=int, default=[1, 10, 50, 100])
    parser.add_argument("--no-build", action="store_true")
    parser.add_argument("--tool-only", action="store_true")
    parser.add_argument("--tool", help="another rdf-import to measure on the same jobs")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--job", choices=("survey", "mixed"), default="survey")
    parser.add_argument("--instructions", action="store_true")
    parser.add_argument("--bench", help="another nikon_bench, for --instructions beside --tool")
    options = parser.parse_args()
    build = os.environ.get("NIKON_BENCH_BUILD", os.path.join(ROOT, "build", "bench-release"))
    if not options.no_build:
        run(["cmake", "--preset", "release", "-B", build], stdout=subprocess.DEVNULL)
        run(["cmake", "--build", build, "-j2", "--target", "nikon_bench", "rdf-import", "Nikon"])
    bench = os.path.join(build, "bench", "nikon_bench")
    tool = os.path.join(build, "tools", "rdf-import", "rdf-import")
    jobs = os.path.join(build, "jobs")
    os.makedirs(jobs, exist_ok=True)

    files = {}
    for size in options.sizes:
        path = os.path.join(jobs, f"nikon-{options.job}-{size}MB.rdf")
        if not os.path.exists(path) or os.path.getsize(path) < size << 20:
            run([bench, "--generate", str(size), path, options.job], stdout=subprocess.DEVNULL)
        files[size] = path

    if options.instructions:
        instruction_table(options.bench or bench, options.tool or tool, files)
        return

    if options.tool_only:
        tool_table(options.tool or tool, files, options.runs)
        return

    sizes_filter = "|".join(str(size) for size in options.sizes)
    out = os.path.join(build, "bench.json")
    # Medians of five runs: on a shared virtual machine single runs stray by a fifth.
    run([bench, f"--benchmark_filter=/({sizes_filter})/", "--benchmark_repetitions=5",
         "--benchmark_report_aggregates_only=true", "--benchmark_out_format=json",
         f"--benchmark_out={out}"], env=dict(os.environ, NIKON_BENCH_DIR=jobs, NIKON_BENCH_JOB=options.job),
        stdout=subprocess.DEVNULL)
    with open(out) as handle:
        results = {entry["run_name"]: entry for entry in json.load(handle)["benchmarks"]
                   if entry.get("aggregate_name") == "median"}

    print("| input | import MB/s | import lines/s | reading MB/s | import / reading | "
          "peak import B/B | peak reading B/B |")
    print("|---|---|---|---|---|---|---|")
    for size in options.sizes:
        path = files[size]
        mb = os.path.getsize(path) / (1 << 20)
        whole = results[f"BM_Import/{size}/real_time"]
        bare = results[f"BM_ReadLines/{size}/real_time"]
        peaks = {}
        for what in ("import", "read"):
            output = subprocess.run([bench, "--peak", what, path], check=True, capture_output=True, text=True)
            peaks[what] = int(output.stdout.split()[1]) / os.path.getsize(path)
        print(f"| {mb:.0f} MB | {whole['bytes_per_second'] / 2**20:.1f} | {whole['lines/s'] / 1e6:.2f} M | "
              f"{bare['bytes_per_second'] / 2**20:.1f} | {whole['real_time'] / bare['real_time']:.2f} | "
              f"{peaks['import']:.2f} | {peaks['read']:.2f} |")
    tool_table(options.tool or tool, files, options.runs)


if __name__ == "__main__":
    main()
