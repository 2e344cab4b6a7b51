#!/usr/bin/env python3
"""Per-station daily summary of an archive of observation reports, decoded
in parallel with Dask.

    archive.py FOLDER [-o summary.csv] [--pattern '*.txt']
               [--scheduler tcp://host:8786 | --workers N]

Every file of FOLDER that matches the pattern holds one report per line.
Each file is one partition: a worker decodes it with stratus.decode_many and
reduces it to per-station, per-day figures; the partitions are then merged.
The CSV has one row per station and UTC day: station, date, reports (how
many decoded), min_temperature_c, max_temperature_c, max_gust_kt (empty
when no report of that day gave one).

Without --scheduler the summary runs on a LocalCluster of N worker
processes on this machine; with it, on the running Dask cluster at that
address (every worker needs the stratus module).

A report gives only the day of the month; stratus places it in the current
month or the one before, so the dates are meaningful for recent reports.
"""

import argparse
import pathlib
import sys

import dask
import dask.dataframe as dd
import pandas as pd
from dask.distributed import Client, LocalCluster

import stratus

COLUMNS = ["station", "date", "reports", "min_temperature_c",
           "max_temperature_c", "max_gust_kt"]


def summarize_file(path):
    """The per-station, per-day figures of one file of reports."""
    arrays = stratus.decode_many(path)
    frame = pd.DataFrame({
        "station": arrays["station"],
        "date": arrays["time"].astype("datetime64[D]"),
        "temperature_c": arrays["temperature_c"],
        "gust_kt": arrays["gust_kt"],
    })
    frame = frame[arrays["decoded"] & (arrays["station"] != "")]
    frame = frame.dropna(subset=["date"])
    grouped = frame.groupby(["station", "date"])
    return pd.DataFrame({
        "reports": grouped.size(),
        "min_temperature_c": grouped["temperature_c"].min(),
        "max_temperature_c": grouped["temperature_c"].max(),
        "max_gust_kt": grouped["gust_kt"].max(),
    }).reset_index()


def summarize(files):
    """The merged summary of the files, computed on the current Dask client."""
    meta = pd.DataFrame({
        "station": pd.Series(dtype=object),
        "date": pd.Series(dtype="datetime64[ns]"),
        "reports": pd.Series(dtype="int64"),
        "min_temperature_c": pd.Series(dtype="float64"),
        "max_temperature_c": pd.Series(dtype="float64"),
        "max_gust_kt": pd.Series(dtype="float64"),
    })
    parts = [dask.delayed(summarize_file)(str(f)) for f in files]
    merged = dd.from_delayed(parts, meta=meta).groupby(["station", "date"]).agg({
        "reports": "sum",
        "min_temperature_c": "min",
        "max_temperature_c": "max",
        "max_gust_kt": "max",
    })
    result = merged.compute().reset_index()
    result = result.sort_values(["station", "date"]).reset_index(drop=True)
    result["date"] = result["date"].dt.strftime("%Y-%m-%d")
    return result[COLUMNS]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder", type=pathlib.Path)
    parser.add_argument("-o", "--output", default="-",
                        help="CSV file to write (default: standard output)")
    parser.add_argument("--pattern", default="*.txt",
                        help="files of the folder to read (default: *.txt)")
    parser.add_argument("--scheduler",
                        help="address of a running Dask scheduler")
    parser.add_argument("--workers", type=int, default=2,
                        help="worker processes of the local cluster")
    args = parser.parse_args(argv)

    files = sorted(args.folder.glob(args.pattern))
    if not files:
        parser.error(f"no {args.pattern} in {args.folder}")
    if args.scheduler:
        client = Client(args.scheduler)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1,
                               host="127.0.0.1", dashboard_address=None)
        client = Client(cluster)
    try:
        summary = summarize(files)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    out = sys.stdout if args.output == "-" else args.output
    summary.to_csv(out, index=False, float_format="%g")
    return 0


if __name__ == "__main__":
    sys.exit(main())
