#!/usr/bin/env python3
"""Tests of tools/ldt/build_ldt.py, the converter that builds data/us.

Runs the converter on a small hand-made source in the package's INI form,
and (when weather-util-data is installed) checks that data/us is exactly
what the converter makes of the installed package.
"""

import filecmp
import gzip
import math
import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "ldt"))

import build_ldt  # noqa: E402


def rad(lat, lon):
    return "(%.7f, %.7f)" % (math.radians(lat), math.radians(lon))


def write_ini(path, sections):
    with gzip.open(path, "wt", encoding="utf-8") as f:
        f.write("# a header comment\n\n")
        for name, keys in sections:
            f.write("[%s]\n" % name)
            for k, v in keys.items():
                f.write("%s = %s\n" % (k, v))
            f.write("\n")


def place(description, lat, lon, zone, station):
    return {"centroid": rad(lat, lon), "description": description,
            "station": "('%s', 0.001)" % station, "zone": "('%s', 0.001)" % zone}


# Boston-like coordinates in Massachusetts (25), Rhode Island (44) nearby.
PLACES = [
    ("fips25025", {"centroid": rad(42.33, -71.07),
                   "description": "Suffolk County, MA"}),
    ("fips25001", {"centroid": rad(41.70, -70.30),
                   "description": "Barnstable County, MA"}),
    ("fips44007", {"centroid": rad(41.87, -71.57),
                   "description": "Providence County, RI"}),
    # A city, its kind suffix dropped.
    ("fips2507000", place("Boston city, MA", 42.33, -71.02, "maz015", "kbos")),
    # Zone of Rhode Island: replaced by the nearest Massachusetts zone.
    ("fips2520000", place("Border town, MA", 42.00, -71.40, "riz001", "kpvd")),
    # Canadian station: replaced by the nearest US one.
    ("fips2530000", place("Far city, MA", 42.30, -71.10, "maz015", "cyyz")),
    # Equal names once the suffix is gone: "(kind)" is added.
    ("fips2540000", place("Twin city, MA", 42.40, -71.10, "maz015", "kbos")),
    ("fips2540001", place("Twin CDP, MA", 41.70, -70.30, "maz022", "khya")),
    # Equal even with the kind: the county is added.
    ("fips2550000", place("Same CDP, MA", 42.34, -71.06, "maz015", "kbos")),
    ("fips2550001", place("Same CDP, MA", 41.71, -70.31, "maz022", "khya")),
    ("fips2560000", place("Athens-Clarke County unified government (balance), MA",
                          42.31, -71.05, "maz015", "kbos")),
    # County subdivisions: a town that is no place is added; one that has
    # the name of a place is not; an unorganized territory is not.
    ("fips2502599999", place("Avon town, MA", 42.13, -71.04, "maz016", "kowd")),
    ("fips2502588888", place("Boston town, MA", 42.33, -71.02, "maz015", "kbos")),
    ("fips2500177777", place("North UT, MA", 41.75, -70.35, "maz022", "khya")),
    # Rhode Island place keeps its own zone.
    ("fips4459000", place("Providence city, RI", 41.82, -71.42, "riz001", "kpvd")),
]
ZONES = [
    ("maz015", {"centroid": rad(42.33, -71.07), "description": "Suffolk, MA, US"}),
    ("maz016", {"centroid": rad(42.13, -71.10), "description": "Norfolk, MA, US"}),
    ("maz022", {"centroid": rad(41.70, -70.30), "description": "Cape, MA, US"}),
    ("maz099", {"description": "Unknown zone in MA"}),
    ("riz001", {"centroid": rad(41.85, -71.45), "description": "Providence, RI, US"}),
]
STATIONS = [
    ("kbos", {"description": "Boston Logan, MA, US", "location": rad(42.36, -71.01)}),
    ("kowd", {"description": "Norwood, MA, US", "location": rad(42.19, -71.17)}),
    ("khya", {"description": "Hyannis, MA, US", "location": rad(41.67, -70.28)}),
    ("kpvd", {"description": "Providence, RI, US", "location": rad(41.72, -71.43)}),
    ("cyyz", {"description": "Toronto, Canada", "location": rad(43.68, -79.63)}),
]


class ConverterTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.src = os.path.join(self.tmp.name, "src")
        os.makedirs(self.src)
        write_ini(os.path.join(self.src, "places.gz"), PLACES)
        write_ini(os.path.join(self.src, "zones.gz"), ZONES)
        write_ini(os.path.join(self.src, "stations.gz"), STATIONS)
        self.overrides = os.path.join(self.tmp.name, "overrides.tsv")
        self.write_overrides("2507000\tBoston\tMAZ016\tKOWD\ttest row\n")

    def tearDown(self):
        self.tmp.cleanup()

    def write_overrides(self, rows):
        with open(self.overrides, "w", encoding="utf-8") as f:
            f.write("# id\tname\tzone\tstation\treason\n" + rows)

    def convert(self, out="out"):
        out = os.path.join(self.tmp.name, out)
        with open(os.devnull, "w") as log:
            build_ldt.convert(self.src, out, self.overrides, log=log)
        return out

    def lines(self, out, name):
        with open(os.path.join(out, name), encoding="utf-8") as f:
            return [line.rstrip("\n").split("\t") for line in f]

    # Purpose: the records of a small source, with every repair the converter
    # makes: kind suffixes, foreign zones and stations, equal names, towns,
    # the override table, ids from FIPS codes, order by state then name.
    def test_records(self):
        out = self.convert()
        self.assertEqual(self.lines(out, "countries.ldt"),
                         [["1", "United States", "US"]])
        states = self.lines(out, "states.ldt")
        self.assertEqual(len(states), 52)
        self.assertEqual(states[0], ["1", "1", "Alabama", "al"])
        self.assertIn(["11", "1", "District of Columbia", "dc"], states)
        self.assertEqual(self.lines(out, "areas.ldt"), [
            ["25001", "1", "25", "Barnstable County", "MAC001"],
            ["25025", "1", "25", "Suffolk County", "MAC025"],
            ["44007", "1", "44", "Providence County", "RIC007"],
        ])
        self.assertEqual(self.lines(out, "cities.ldt"), [
            ["2560000", "1", "25", "Athens-Clarke County", "azone(MAZ015)acode(KBOS)"],
            ["102599999", "1", "25", "Avon", "azone(MAZ016)acode(KOWD)"],
            ["2520000", "1", "25", "Border", "azone(MAZ016)acode(KPVD)"],
            ["2507000", "1", "25", "Boston", "azone(MAZ016)acode(KOWD)"],
            ["2530000", "1", "25", "Far", "azone(MAZ015)acode(KBOS)"],
            ["2550001", "1", "25", "Same (CDP, Barnstable County)",
             "azone(MAZ022)acode(KHYA)"],
            ["2550000", "1", "25", "Same (CDP, Suffolk County)",
             "azone(MAZ015)acode(KBOS)"],
            ["2540001", "1", "25", "Twin (CDP)", "azone(MAZ022)acode(KHYA)"],
            ["2540000", "1", "25", "Twin (city)", "azone(MAZ015)acode(KBOS)"],
            ["4459000", "1", "44", "Providence", "azone(RIZ001)acode(KPVD)"],
        ])

    # Purpose: two runs give byte-identical files.
    def test_byte_identical(self):
        a = self.convert("a")
        b = self.convert("b")
        for name in ("countries.ldt", "states.ldt", "areas.ldt", "cities.ldt"):
            self.assertTrue(filecmp.cmp(os.path.join(a, name),
                                        os.path.join(b, name), shallow=False), name)

    # Purpose: an override row that does not fit the data stops the
    # conversion, naming the problem.
    def test_override_rows_are_checked(self):
        cases = [
            ("9999999\tNowhere\tMAZ015\tKBOS\tx\n", "no city"),
            ("2507000\tBoston\tRIZ001\tKBOS\tx\n", "not of MA"),
            ("2507000\tBoston\tMAZ015\tCYYZ\tx\n", "not a known US station"),
            ("2507000\tBoston\tMAZ015\tKPVD\tx\n", "km from zone"),
        ]
        for row, message in cases:
            self.write_overrides(row)
            with self.assertRaises(build_ldt.ConvertError) as caught:
                self.convert()
            self.assertIn(message, str(caught.exception), row)

    # Purpose: the converter's copy of the data-string lookup answers as the
    # library's does, since it is what vouches for every written string.
    def test_data_token(self):
        cases = [
            ("azone(CAZ006)acode(KSFO)", "azone", (0, "CAZ006")),
            ("azone(CAZ006)acode(KSFO)", "acode", (0, "KSFO")),
            ("acode (KSFO)", "acode", (11, None)),
            ("azone(acode)acode(KSFO)", "acode", (11, None)),
            ("acode( K )", "acode", (0, " K ")),
        ]
        for data, key, expected in cases:
            self.assertEqual(build_ldt.data_token(data, key), expected, data)


@unittest.skipUnless(os.path.exists("/usr/share/weather-util/places.gz"),
                     "weather-util-data is not installed")
class ShippedDataTest(unittest.TestCase):
    # Purpose: data/us is what the converter makes of the installed
    # package with the committed override table.
    def test_data_us_is_current(self):
        with tempfile.TemporaryDirectory() as out:
            with open(os.devnull, "w") as log:
                build_ldt.convert("/usr/share/weather-util", out,
                                  os.path.join(ROOT, "tools", "ldt",
                                               "overrides.tsv"), log=log)
            for name in ("countries.ldt", "states.ldt", "areas.ldt",
                         "cities.ldt"):
                self.assertTrue(filecmp.cmp(
                    os.path.join(out, name),
                    os.path.join(ROOT, "data", "us", name), shallow=False),
                    "data/us/%s differs from the converter's output" % name)


if __name__ == "__main__":
    unittest.main()
