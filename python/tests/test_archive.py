"""examples/python/archive.py on a two-worker Dask cluster: its summary
equals one computed report by report with stratus.decode."""

import csv
import math
import os
import pathlib
import subprocess
import sys

import pytest

import stratus

pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")

SCRIPT = (pathlib.Path(os.environ.get("STRATUS_SOURCE_DIR",
                                      pathlib.Path(__file__).parents[2]))
          / "examples" / "python" / "archive.py")


@pytest.fixture(scope="module")
def archive(tmp_path_factory, sample_reports):
    """The sample split into three files, and the summary expected of it."""
    folder = tmp_path_factory.mktemp("archive")
    for k in range(3):
        (folder / f"part{k}.txt").write_text("\n".join(sample_reports[k::3]) + "\n")
    (folder / "notes.md").write_text("not a report file\n")
    days = {}
    for report in sample_reports:
        o = stratus.decode(report)
        if not o.decoded or o.station is None or o.time is None:
            continue
        day = days.setdefault((o.station, o.time.strftime("%Y-%m-%d")),
                              {"reports": 0, "temps": [], "gusts": []})
        day["reports"] += 1
        if o.temperature_c is not None:
            day["temps"].append(o.temperature_c)
        if o.gust_kt is not None:
            day["gusts"].append(o.gust_kt)
    expected = [
        (station, date, d["reports"],
         min(d["temps"], default=math.nan), max(d["temps"], default=math.nan),
         max(d["gusts"], default=math.nan))
        for (station, date), d in sorted(days.items())
    ]
    return folder, expected


def read_summary(path):
    def number(text):
        return float(text) if text else math.nan

    with open(path, newline="") as f:
        rows = list(csv.DictReader(f))
    return [
        (r["station"], r["date"], int(r["reports"]), number(r["min_temperature_c"]),
         number(r["max_temperature_c"]), number(r["max_gust_kt"]))
        for r in rows
    ]


def same(a, b):
    return all(x == y or (isinstance(x, float) and math.isnan(x) and math.isnan(y))
               for x, y in zip(a, b)) and len(a) == len(b)


def run(folder, output, *args):
    subprocess.run([sys.executable, str(SCRIPT), str(folder), "-o", str(output), *args],
                   check=True, timeout=240)
    return read_summary(output)


def test_local_cluster_of_two_workers(archive, tmp_path):
    folder, expected = archive
    got = run(folder, tmp_path / "summary.csv", "--workers", "2")
    assert len(got) == len(expected) > 100
    for g, e in zip(got, expected):
        assert same(g, e), (g, e)


def test_a_running_scheduler(archive, tmp_path):
    folder, expected = archive
    with distributed.LocalCluster(n_workers=2, processes=False, protocol="tcp",
                                  host="127.0.0.1",
                                  dashboard_address=None) as cluster:
        got = run(folder, tmp_path / "summary.csv", "--scheduler",
                  cluster.scheduler_address)
    assert len(got) == len(expected)
    for g, e in zip(got, expected):
        assert same(g, e), (g, e)
