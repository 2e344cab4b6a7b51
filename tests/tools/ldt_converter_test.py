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
    # A zone the table no longer has: the Cape zone of its county replaces it.
    ("fips2570000", place("Renumbered CDP, MA", 41.72, -70.32, "maz030", "khya")),
]
# The correlation table: Suffolk County in two zones, the Cape in one; the
# second Suffolk zone issued by another office to tell the lines apart.
TABLE = (
    "MA|015|BOX|Suffolk|MA015|Suffolk|25025|E|ee|42.33|-71.07\r\n"
    "MA|016|OKX|Norfolk|MA016|Suffolk|25025|E|ee|42.13|-71.10\r\n"
    "MA|022|BOX|Cape|MA022|Barnstable|25001|E|se|41.70|-70.30\r\n"
    "RI|001|BOX|Providence|RI001|Providence|44007|E|nn|41.85|-71.45\r\n")
# ZIP code areas: 026 is a Massachusetts prefix, so 02602 stays in MA though
# its nearest zone is of Rhode Island; 96799 is of no covered state.
ZCTAS = [
    ("02601", {"centroid": rad(41.65, -70.29), "zone": "('maz022', 0.001)"}),
    ("02602", {"centroid": rad(41.95, -71.45), "zone": "('riz001', 0.001)"}),
    ("02603", {"centroid": rad(41.66, -70.28), "zone": "('maz022', 0.001)"}),
    ("02903", {"centroid": rad(41.82, -71.41), "zone": "('riz001', 0.001)"}),
    ("96799", {"centroid": rad(-14.3, -170.7), "zone": "('asz001', 0.001)"}),
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
        write_ini(os.path.join(self.src, "zctas.gz"), ZCTAS)
        self.table = os.path.join(self.tmp.name, "bp01jan24.dbx")
        with open(self.table, "w", encoding="ascii", newline="") as f:
            f.write(TABLE)
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
            build_ldt.convert(self.src, out, self.overrides, self.table,
                              log=log)
        return out

    def lines(self, out, name):
        with open(os.path.join(out, name), encoding="utf-8") as f:
            return [line.rstrip("\n").split("\t") for line in f]

    # Purpose: the records of a small source, with every repair the converter
    # makes: kind suffixes, foreign zones and stations, equal names, towns,
    # the override table, ids from FIPS codes, order by state then name,
    # zones made current against the table, the ZIP and station tables.
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
        # County: the nearest county subdivision within 15 km, else the
        # zone's (Border). Zone: kept when the table has it and it includes
        # the county; otherwise the nearest of the county's (Renumbered).
        # Office: the table's for that zone and county (OKX for MAZ016).
        def data(zone, code, county, office, lat, lon):
            return ("azone(%s)acode(%s)acounty(%s)aoffice(%s)alat(%s)alon(%s)"
                    "atz(E)" % (zone, code, county, office, lat, lon))
        self.assertEqual(self.lines(out, "cities.ldt"), [
            ["2560000", "1", "25", "Athens-Clarke County",
             data("MAZ015", "KBOS", "MAC025", "BOX", "42.3100", "-71.0500")],
            ["102599999", "1", "25", "Avon",
             data("MAZ016", "KOWD", "MAC025", "OKX", "42.1300", "-71.0400")],
            ["2520000", "1", "25", "Border",
             data("MAZ016", "KPVD", "MAC025", "OKX", "42.0000", "-71.4000")],
            ["2507000", "1", "25", "Boston",
             data("MAZ016", "KOWD", "MAC025", "OKX", "42.3300", "-71.0200")],
            ["2530000", "1", "25", "Far",
             data("MAZ015", "KBOS", "MAC025", "BOX", "42.3000", "-71.1000")],
            ["2570000", "1", "25", "Renumbered",
             data("MAZ022", "KHYA", "MAC001", "BOX", "41.7200", "-70.3200")],
            ["2550001", "1", "25", "Same (CDP, Barnstable County)",
             data("MAZ022", "KHYA", "MAC001", "BOX", "41.7100", "-70.3100")],
            ["2550000", "1", "25", "Same (CDP, Suffolk County)",
             data("MAZ015", "KBOS", "MAC025", "BOX", "42.3400", "-71.0600")],
            ["2540001", "1", "25", "Twin (CDP)",
             data("MAZ022", "KHYA", "MAC001", "BOX", "41.7000", "-70.3000")],
            ["2540000", "1", "25", "Twin (city)",
             data("MAZ015", "KBOS", "MAC025", "BOX", "42.4000", "-71.1000")],
            ["4459000", "1", "44", "Providence",
             data("RIZ001", "KPVD", "RIC007", "BOX", "41.8200", "-71.4200")],
        ])
        # ZIP: state by prefix (02602's zone is of RI), nearest city of it.
        self.assertEqual(self.lines(out, "zips.tsv"), [
            ["02601", "25", "2540001"], ["02602", "25", "2520000"],
            ["02603", "25", "2540001"], ["02903", "44", "4459000"],
        ])
        # Station: the pinned city (KOWD), else the most ZIP codes (KHYA),
        # else the nearest to the station (KBOS; KPVD, a tie of ZIPs).
        self.assertEqual(self.lines(out, "stations.tsv"), [
            ["KBOS", "25", "2550000"], ["KHYA", "25", "2540001"],
            ["KOWD", "25", "2507000"], ["KPVD", "44", "4459000"],
        ])

    # Purpose: two runs give byte-identical files.
    def test_byte_identical(self):
        a = self.convert("a")
        b = self.convert("b")
        for name in ("countries.ldt", "states.ldt", "areas.ldt", "cities.ldt",
                     "zips.tsv", "stations.tsv"):
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
            ("2507000\tBoston\tMAZ017\tKBOS\tx\n", "not in the zone table"),
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
                                               "overrides.tsv"),
                                  os.path.join(ROOT, "tools", "ldt",
                                               "bp05mr24.dbx"), log=log)
            for name in ("countries.ldt", "states.ldt", "areas.ldt",
                         "cities.ldt", "zips.tsv", "stations.tsv"):
                self.assertTrue(filecmp.cmp(
                    os.path.join(out, name),
                    os.path.join(ROOT, "data", "us", name), shallow=False),
                    "data/us/%s differs from the converter's output" % name)


if __name__ == "__main__":
    unittest.main()
