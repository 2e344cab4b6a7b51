#!/usr/bin/env python3
"""Reports decoded per second from Python, beside the C++ decoder's own
figure measured in the same run.

    PYTHONPATH=build/python python3 bench/python/decode_bench.py \
        [--corpus FILE] [--cxx build/bench/observation/observation_bench]

Paths measured over the same reports (default: the shared corpus's
corpus/metar/us.txt, 34,481 US reports), each the best of several rounds
in CPU time:
  decode_many(list of str)      into NumPy arrays, the GIL released
  decode_many(NumPy str array)
  decode_many(path of the file) reading the file included
  [decode(r) for r in reports]  one Observation per report
  the same, reading two attributes of each
  C++ BM_DecodeReport           observation_bench, when built: the
                                complete reading the module uses (the
                                ratios are against it), and BM_Decode,
                                the narrow reading, for reference
"""

import argparse
import json
import os
import pathlib
import subprocess
import time

import numpy as np

import stratus

HERE = pathlib.Path(__file__).resolve().parent


def best_rate(count, run, rounds):
    """Reports per second of the fastest of `rounds` runs, in CPU time of
    this process (as Google Benchmark counts the C++ figure), so that other
    work on the machine does not skew the comparison."""
    best = float("inf")
    for _ in range(rounds):
        start = time.process_time()
        run()
        best = min(best, time.process_time() - start)
    return count / best


def cxx_rates(binary, corpus):
    """Reports/s of BM_DecodeReport and BM_Decode from observation_bench,
    by name, or None."""
    if not binary or not os.access(binary, os.X_OK):
        return None
    out = subprocess.run(
        [binary, "--benchmark_filter=BM_Decode(Report)?$",
         "--benchmark_format=json",
         "--benchmark_repetitions=5", "--benchmark_report_aggregates_only=true",
         str(corpus)],
        check=True, capture_output=True, text=True).stdout
    data = json.loads(out[out.index("{"):])
    rates = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") in ("max", "mean", None):
            name = b.get("run_name", b["name"])
            rates[name] = max(rates.get(name, 0), b["reports/s"])
    return rates


def main():
    shared = pathlib.Path(os.environ.get("STRATUS_SHARED_DIR",
                                         HERE.parents[2] / "shared"))
    default_cxx = HERE.parents[1] / "build" / "bench" / "observation" / "observation_bench"
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--corpus", type=pathlib.Path,
                        default=shared / "corpus" / "metar" / "us.txt")
    parser.add_argument("--cxx", default=str(default_cxx),
                        help="the observation_bench program")
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()

    reports = args.corpus.read_text().splitlines()
    array = np.array(reports)
    n = len(reports)

    def loop():
        for r in reports:
            stratus.decode(r)

    def loop_read():
        for r in reports:
            o = stratus.decode(r)
            o.temperature_c, o.wind_speed_kt

    rows = [
        ("decode_many(list of str)", best_rate(n, lambda: stratus.decode_many(reports), args.rounds)),
        ("decode_many(NumPy str array)", best_rate(n, lambda: stratus.decode_many(array), args.rounds)),
        ("decode_many(file path)", best_rate(n, lambda: stratus.decode_many(args.corpus), args.rounds)),
        ("decode() loop", best_rate(n, loop, args.rounds)),
        ("decode() loop, 2 attributes read", best_rate(n, loop_read, args.rounds)),
    ]
    rates = cxx_rates(args.cxx, args.corpus)
    cxx = rates and rates.get("BM_DecodeReport")
    print(f"{n} reports from {args.corpus}, best of {args.rounds} rounds, CPU time")
    for name, rate in rows:
        ratio = f"   C++/this {cxx / rate:4.2f}x" if cxx else ""
        print(f"  {name:34s} {rate / 1e6:6.3f} M reports/s{ratio}")
    if cxx:
        print(f"  {'C++ decodeReport (BM_DecodeReport)':34s} {cxx / 1e6:6.3f} M reports/s")
        narrow = rates.get("BM_Decode")
        if narrow:
            print(f"  {'C++ decodeObservation (BM_Decode)':34s} {narrow / 1e6:6.3f} M reports/s")
    else:
        print(f"  C++ figure: {args.cxx} not built (-DSTRATUS_BUILD_BENCH=ON)")


if __name__ == "__main__":
    main()
