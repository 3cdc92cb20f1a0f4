#!/usr/bin/env python3
"""Measures the import at 1, 10 and 100 MB and prints the table the README shows.

Builds the release preset (in build/bench-release unless NIKON_BENCH_BUILD says otherwise),
generates realistic jobs, then reports for each size: the whole import through CreatePlugin with
a counting host, the bare reading into converted lines, rdf-import --format json end to end,
their MB/s and lines/s, peak resident memory per byte of input (what the run adds to the
process's own), and the import/reading ratio.

    python3 bench/run-bench.py [--sizes 1 10 100] [--no-build]
"""
import argparse
import json
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(args, **kwargs):
    return subprocess.run(args, check=True, cwd=ROOT, **kwargs)


def peak_of_child(args):
    """Wall time and peak resident bytes of one run of `args`."""
    started = time.monotonic()
    child = subprocess.Popen(args, cwd=ROOT, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(child.pid, 0)
    took = time.monotonic() - started
    if os.waitstatus_to_exitcode(status) not in (0, 1):
        sys.exit(f"{args[0]} failed: {child.stderr.read().decode(errors='replace')}")
    return took, usage.ru_maxrss * 1024


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sizes", nargs="+", type=int, default=[1, 10, 100])
    parser.add_argument("--no-build", action="store_true")
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
        path = os.path.join(jobs, f"nikon-job-{size}MB.rdf")
        if not os.path.exists(path) or os.path.getsize(path) < size << 20:
            run([bench, "--generate", str(size), path], stdout=subprocess.DEVNULL)
        files[size] = path

    # What rdf-import holds for an empty file (and what the exec inherited) is not the input's.
    empty = os.path.join(jobs, "empty.rdf")
    open(empty, "w").close()
    _, tool_baseline = peak_of_child([tool, "--format", "json", "-q", "-o", "/dev/null", empty])

    sizes_filter = "|".join(str(size) for size in options.sizes)
    out = os.path.join(build, "bench.json")
    # Medians of five runs: on a shared virtual machine single runs stray by a fifth.
    run([bench, f"--benchmark_filter=/({sizes_filter})/", "--benchmark_repetitions=5",
         "--benchmark_report_aggregates_only=true", "--benchmark_out_format=json",
         f"--benchmark_out={out}"], env=dict(os.environ, NIKON_BENCH_DIR=jobs), stdout=subprocess.DEVNULL)
    with open(out) as handle:
        results = {entry["run_name"]: entry for entry in json.load(handle)["benchmarks"]
                   if entry.get("aggregate_name") == "median"}

    print("| input | import MB/s | import lines/s | reading MB/s | import / reading | "
          "rdf-import json MB/s | peak import B/B | peak reading B/B | peak rdf-import B/B |")
    print("|---|---|---|---|---|---|---|---|---|")
    for size in options.sizes:
        path = files[size]
        mb = os.path.getsize(path) / (1 << 20)
        whole = results[f"BM_Import/{size}/real_time"]
        bare = results[f"BM_ReadLines/{size}/real_time"]
        peaks = {}
        for what in ("import", "read"):
            output = subprocess.run([bench, "--peak", what, path], check=True, capture_output=True, text=True)
            peaks[what] = int(output.stdout.split()[1]) / os.path.getsize(path)
        took, tool_peak = peak_of_child([tool, "--format", "json", "-q", "-o", "/dev/null", path])
        tool_peak -= tool_baseline
        print(f"| {mb:.0f} MB | {whole['bytes_per_second'] / 2**20:.1f} | {whole['lines/s'] / 1e6:.2f} M | "
              f"{bare['bytes_per_second'] / 2**20:.1f} | {whole['real_time'] / bare['real_time']:.2f} | "
              f"{mb / took:.1f} | {peaks['import']:.2f} | {peaks['read']:.2f} | "
              f"{tool_peak / os.path.getsize(path):.2f} |")


if __name__ == "__main__":
    main()
