#!/usr/bin/env python3
"""Builds the four United States location data files (countries.ldt,
states.ldt, areas.ldt, cities.ldt) from Debian's weather-util-data package.

The package compiles US public-domain data (Census gazetteer places,
counties and county subdivisions; NWS forecast zones; ICAO stations) into
gzip files in INI form, linking each place to the forecast zone and station
nearest to its Census internal point. This script turns that into records:

  states    id = state FIPS; the short name is the postal code in lower case
  areas     every county or equivalent; id = state FIPS * 1000 + county FIPS;
            data = the county's UGC code (CAC075)
  cities    every Census place (id = state FIPS * 100000 + place FIPS) and the
            New England towns that are not places (id = 100000000 + state
            FIPS * 100000 + subdivision FIPS); data = azone(ZONE)acode(ICAO)

and repairs the links that the nearest-centroid rule gets wrong:
  - a zone of another state is replaced by the nearest zone of the city's own
    state (product pages are fetched per state, so a foreign zone is never
    found);
  - a station outside the US (Canada, Mexico) is replaced by the nearest US
    station;
  - the largest cities take their zone and station from overrides.tsv, whose
    entries are checked against the data before use.

Every data string is read back with the same rules as the library's lookup
before anything is written. Output is sorted and byte-identical across runs.
Python 3 standard library only.
"""

import argparse
import gzip
import math
import os
import re
import sys
import unicodedata

# State FIPS code -> (name, postal code): the 50 states, DC and Puerto Rico,
# the areas that the Census gazetteer covers.
STATES = {
    1: ("Alabama", "AL"), 2: ("Alaska", "AK"), 4: ("Arizona", "AZ"),
    5: ("Arkansas", "AR"), 6: ("California", "CA"), 8: ("Colorado", "CO"),
    9: ("Connecticut", "CT"), 10: ("Delaware", "DE"),
    11: ("District of Columbia", "DC"), 12: ("Florida", "FL"),
    13: ("Georgia", "GA"), 15: ("Hawaii", "HI"), 16: ("Idaho", "ID"),
    17: ("Illinois", "IL"), 18: ("Indiana", "IN"), 19: ("Iowa", "IA"),
    20: ("Kansas", "KS"), 21: ("Kentucky", "KY"), 22: ("Louisiana", "LA"),
    23: ("Maine", "ME"), 24: ("Maryland", "MD"), 25: ("Massachusetts", "MA"),
    26: ("Michigan", "MI"), 27: ("Minnesota", "MN"), 28: ("Mississippi", "MS"),
    29: ("Missouri", "MO"), 30: ("Montana", "MT"), 31: ("Nebraska", "NE"),
    32: ("Nevada", "NV"), 33: ("New Hampshire", "NH"), 34: ("New Jersey", "NJ"),
    35: ("New Mexico", "NM"), 36: ("New York", "NY"),
    37: ("North Carolina", "NC"), 38: ("North Dakota", "ND"), 39: ("Ohio", "OH"),
    40: ("Oklahoma", "OK"), 41: ("Oregon", "OR"), 42: ("Pennsylvania", "PA"),
    44: ("Rhode Island", "RI"), 45: ("South Carolina", "SC"),
    46: ("South Dakota", "SD"), 47: ("Tennessee", "TN"), 48: ("Texas", "TX"),
    49: ("Utah", "UT"), 50: ("Vermont", "VT"), 51: ("Virginia", "VA"),
    53: ("Washington", "WA"), 54: ("West Virginia", "WV"),
    55: ("Wisconsin", "WI"), 56: ("Wyoming", "WY"), 72: ("Puerto Rico", "PR"),
}

COUNTRY_ID = 1
NEW_ENGLAND = {9, 23, 25, 33, 44, 50}
# Kinds of New England county subdivision that are towns people live in and
# look for by name (not "unorganized territory", gores, grants).
TOWN_KINDS = ("town", "city", "plantation")
TOWN_ID_BASE = 100000000

# Census kind suffixes, longest first so that "metro township" wins over
# "township". Lower case only: "Carson City" keeps its "City".
KIND_SUFFIXES = sorted([
    "city", "town", "village", "borough", "CDP", "comunidad", "zona urbana",
    "municipality", "corporation", "township", "metro township",
    "unified government", "consolidated government",
    "metropolitan government", "metro government", "urban county",
    "plantation",
], key=len, reverse=True)

# ICAO prefixes of stations in the US and its Caribbean territories.
US_STATION_PREFIXES = ("k", "pa", "pf", "po", "pp", "ph", "tj", "ti")

ZONE_RE = re.compile(r"^[A-Z]{2}Z[0-9]{3}$")
STATION_RE = re.compile(r"^[A-Z][A-Z0-9]{3}$")
EARTH_KM = 6371.0

# Limits for the override table: a zone further from the city's point, or a
# station further from the zone's centroid, is a typo, not a correction.
OVERRIDE_STATION_KM = 60.0
OVERRIDE_ZONE_KM = 120.0


class ConvertError(Exception):
    pass


def read_ini(path):
    """Sections of one of the package's INI files, in file order."""
    out = {}
    current = None
    with gzip.open(path, "rt", encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            if line.startswith("["):
                current = {}
                out[line[1:-1]] = current
                continue
            key, sep, value = line.partition(" = ")
            if not sep or current is None:
                raise ConvertError("%s: unreadable line %r" % (path, line))
            current[key] = value
    return out


def parse_point(text):
    """'(lat, lon)' in radians -> (lat, lon), or None."""
    if text is None or text == "None":
        return None
    m = re.match(r"^\(\s*(-?[0-9.]+),\s*(-?[0-9.]+)\s*\)$", text)
    if not m:
        raise ConvertError("bad point %r" % text)
    return float(m.group(1)), float(m.group(2))


def parse_link(text):
    """"('alz067', 0.0009117)" -> 'alz067', or None."""
    if text is None:
        return None
    m = re.match(r"^\('([a-z0-9]+)', [0-9.]+\)$", text)
    if not m:
        raise ConvertError("bad link %r" % text)
    return m.group(1)


def distance_km(a, b):
    """Great-circle distance between two (lat, lon) points in radians."""
    dlat = b[0] - a[0]
    dlon = b[1] - a[1]
    h = (math.sin(dlat / 2) ** 2 +
         math.cos(a[0]) * math.cos(b[0]) * math.sin(dlon / 2) ** 2)
    return 2 * EARTH_KM * math.asin(min(1.0, math.sqrt(h)))


def nfc(text):
    return unicodedata.normalize("NFC", text)


def sort_key(name):
    """Display order: accents ignored, case folded, then exact text."""
    folded = "".join(c for c in unicodedata.normalize("NFD", name)
                     if not unicodedata.combining(c))
    return (folded.casefold(), name)


def split_description(description, postal):
    """'Abbeville city, AL' -> 'Abbeville city'; checks the state."""
    name, sep, tail = description.rpartition(", ")
    if not sep or tail != postal:
        raise ConvertError("description %r is not of %s" % (description, postal))
    return nfc(name)


def strip_kind(name):
    """'Milford city (balance)' -> ('Milford', 'city')."""
    if name.endswith(" (balance)"):
        name = name[:-len(" (balance)")]
    for kind in KIND_SUFFIXES:
        if name.endswith(" " + kind):
            return name[:-len(kind) - 1], kind
    return name, ""


def data_token(data, key):
    """The library's city-data lookup: (code, value); 0 found, 3 no key,
    11 malformed. The first occurrence of the key's text counts."""
    at = data.find(key)
    if at < 0:
        return 3, None
    p = at + len(key)
    if p >= len(data) or data[p] != "(":
        return 11, None
    close = data.find(")", p + 1)
    if close < 0:
        return 11, None
    return 0, data[p + 1:close]


class Source:
    """The package's places, zones and stations."""

    def __init__(self, directory):
        self.places = read_ini(os.path.join(directory, "places.gz"))
        self.zones = read_ini(os.path.join(directory, "zones.gz"))
        self.stations = read_ini(os.path.join(directory, "stations.gz"))
        self._zones_by_state = {}
        self._us_stations = None

    def zone_point(self, zone):
        z = self.zones.get(zone)
        return parse_point(z.get("centroid")) if z else None

    def station_point(self, station):
        s = self.stations.get(station)
        return parse_point(s.get("location")) if s else None

    def zones_of_state(self, postal):
        """Zones of a state that can be chosen: with a centroid and known."""
        if postal not in self._zones_by_state:
            prefix = postal.lower() + "z"
            self._zones_by_state[postal] = [
                (z, parse_point(v["centroid"]))
                for z, v in self.zones.items()
                if z.startswith(prefix) and "centroid" in v and
                not v.get("description", "").startswith("Unknown zone")]
        return self._zones_by_state[postal]

    def us_stations(self):
        if self._us_stations is None:
            self._us_stations = [
                (s, parse_point(v["location"]))
                for s, v in self.stations.items()
                if is_us_station(s) and parse_point(v.get("location"))]
        return self._us_stations


def is_us_station(station):
    return station.startswith(US_STATION_PREFIXES) and len(station) == 4


def nearest(point, candidates):
    best = None
    for key, where in candidates:
        d = distance_km(point, where)
        if best is None or (d, key) < best:
            best = (d, key)
    return best[1] if best else None


class Place:
    """One city record in the making."""

    def __init__(self, ident, state, name, kind, county, point, zone, station):
        self.id = ident
        self.state = state
        self.name = name
        self.kind = kind
        self.county = county  # county FIPS (SSCCC), or None when unknown
        self.point = point
        self.zone = zone
        self.station = station


def build_areas(source):
    areas = []
    for section, v in source.places.items():
        m = re.match(r"^fips([0-9]{2})([0-9]{3})$", section)
        if not m:
            continue
        state = int(m.group(1))
        if state not in STATES:
            continue
        postal = STATES[state][1]
        name = split_description(v["description"], postal)
        ugc = "%sC%s" % (postal, m.group(2))
        areas.append((int(m.group(1) + m.group(2)), state, name, ugc))
    return areas


def read_places(source, stats):
    """Census places, then the New England towns not already a place."""
    places = []
    for section, v in source.places.items():
        m = re.match(r"^fips([0-9]{2})([0-9]{5})$", section)
        if not m or int(m.group(1)) not in STATES:
            continue
        state = int(m.group(1))
        full = split_description(v["description"], STATES[state][1])
        name, kind = strip_kind(full)
        places.append(Place(int(m.group(1) + m.group(2)), state, name, kind,
                            None, parse_point(v.get("centroid")),
                            parse_link(v.get("zone")),
                            parse_link(v.get("station"))))
    taken = {(p.state, p.name.casefold()) for p in places}
    towns = []
    for section, v in source.places.items():
        m = re.match(r"^fips([0-9]{2})([0-9]{3})([0-9]{5})$", section)
        if not m or int(m.group(1)) not in NEW_ENGLAND:
            continue
        state = int(m.group(1))
        full = split_description(v["description"], STATES[state][1])
        name, kind = strip_kind(full)
        if kind not in TOWN_KINDS:
            continue
        if (state, name.casefold()) in taken:
            stats["towns already places"] += 1
            continue
        towns.append(Place(TOWN_ID_BASE + state * 100000 + int(m.group(3)),
                           state, name, kind, int(m.group(1) + m.group(2)),
                           parse_point(v.get("centroid")),
                           parse_link(v.get("zone")),
                           parse_link(v.get("station"))))
    stats["census places"] = len(places)
    stats["new england towns"] = len(towns)
    return places + towns


def fix_links(source, places, stats):
    """Own-state zones and US stations, as the reader needs them."""
    for p in places:
        if p.point is None:
            raise ConvertError("place %d (%s) has no point" % (p.id, p.name))
        postal = STATES[p.state][1]
        if p.zone is None or not p.zone.startswith(postal.lower() + "z"):
            p.zone = nearest(p.point, source.zones_of_state(postal))
            stats["zones of another state replaced"] += 1
        if p.station is None or not is_us_station(p.station):
            p.station = nearest(p.point, source.us_stations())
            stats["stations outside the US replaced"] += 1


def read_overrides(path):
    """Rows of the override table: id, name, zone, station, reason."""
    rows = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 5:
                raise ConvertError("%s:%d: want 5 TAB-separated fields" %
                                   (path, number))
            rows.append((number, int(fields[0]), fields[1], fields[2].lower(),
                         fields[3].lower()))
    return rows


def apply_overrides(source, places, path, stats):
    """Checks every entry against the data before it replaces a link."""
    by_id = {p.id: p for p in places}
    for number, ident, name, zone, station in read_overrides(path):
        where = "%s:%d" % (path, number)
        p = by_id.get(ident)
        if p is None:
            raise ConvertError("%s: no city %d" % (where, ident))
        if p.name != name:
            raise ConvertError("%s: city %d is %r, not %r" %
                               (where, ident, p.name, name))
        postal = STATES[p.state][1]
        if not zone.startswith(postal.lower() + "z"):
            raise ConvertError("%s: zone %s is not of %s" % (where, zone, postal))
        zpoint = source.zone_point(zone)
        if zpoint is None:
            raise ConvertError("%s: unknown zone %s" % (where, zone))
        if distance_km(p.point, zpoint) > OVERRIDE_ZONE_KM:
            raise ConvertError("%s: zone %s is %.0f km from the city" %
                               (where, zone, distance_km(p.point, zpoint)))
        spoint = source.station_point(station)
        if not is_us_station(station) or spoint is None:
            raise ConvertError("%s: %s is not a known US station" %
                               (where, station))
        # Against the zone, not the city's point: the point itself may be the
        # fault being corrected (San Francisco's lies at sea).
        if distance_km(zpoint, spoint) > OVERRIDE_STATION_KM:
            raise ConvertError("%s: station %s is %.0f km from zone %s" %
                               (where, station, distance_km(zpoint, spoint),
                                zone))
        if (p.zone, p.station) != (zone, station):
            stats["overrides that changed a city"] += 1
        p.zone = zone
        p.station = station


def county_of(source, p):
    """County FIPS of a place: that of the nearest county subdivision of its
    state (a place record names no county)."""
    if p.county is not None:
        return p.county
    prefix = "fips%02d" % p.state
    best = None
    for section, v in source.places.items():
        if len(section) != 14 or not section.startswith(prefix):
            continue
        point = parse_point(v.get("centroid"))
        if point is None:
            continue
        d = distance_km(p.point, point)
        if best is None or (d, section) < best:
            best = (d, section)
    return int(best[1][4:9]) if best else None


def make_names_unique(source, places, county_names, stats):
    """Equal names within a state get "(kind)", then "(kind, County)", then
    the id, until no two are equal."""
    def groups():
        seen = {}
        for p in places:
            seen.setdefault((p.state, p.name.casefold()), []).append(p)
        return [g for g in seen.values() if len(g) > 1]

    first = groups()
    stats["duplicate name groups"] = len(first)
    for group in first:
        base = {p.id: p.name for p in group}
        labels = {p.id: [p.kind] if p.kind else [] for p in group}
        for p in group:
            p.name = "%s (%s)" % (base[p.id], p.kind) if p.kind else base[p.id]
        if len({p.name.casefold() for p in group}) < len(group):
            for p in group:
                county = county_names.get(county_of(source, p))
                label = ", ".join(labels[p.id] + ([county] if county else []))
                p.name = "%s (%s)" % (base[p.id], label) if label else base[p.id]
        if len({p.name.casefold() for p in group}) < len(group):
            for p in group:
                p.name = "%s (%s)" % (base[p.id], ", ".join(
                    labels[p.id] + [str(p.id)]))
    left = groups()
    if left:
        raise ConvertError("names still equal: %r" %
                           [[p.name for p in g] for g in left])


def city_data(p):
    return "azone(%s)acode(%s)" % (p.zone.upper(), p.station.upper())


def verify(places):
    """Reads every data string back as the library will."""
    for p in places:
        data = city_data(p)
        zone = p.zone.upper()
        station = p.station.upper()
        if not ZONE_RE.match(zone) or not STATION_RE.match(station):
            raise ConvertError("city %d: bad zone or station in %s" % (p.id, data))
        if not zone.lower().startswith(STATES[p.state][1].lower()):
            raise ConvertError("city %d: zone %s not of its state" % (p.id, zone))
        if (data_token(data, "azone") != (0, zone) or
                data_token(data, "acode") != (0, station)):
            raise ConvertError("city %d: %s does not read back" % (p.id, data))


def check_field(text):
    if not text or any(c in text for c in "\t\r\n"):
        raise ConvertError("field %r is empty or holds a TAB or line end" % text)
    return text


def write_file(path, rows):
    """Rows of fields, one TAB-separated line each, UTF-8, LF."""
    lines = []
    for row in rows:
        fields = []
        for value in row:
            if isinstance(value, int):
                if not 0 <= value < 2 ** 32:
                    raise ConvertError("id %d does not fit 32 bits" % value)
                fields.append(str(value))
            else:
                fields.append(check_field(value))
        lines.append("\t".join(fields) + "\n")
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("".join(lines))


def check_unique(kind, ids):
    if len(set(ids)) != len(ids):
        raise ConvertError("duplicate %s ids" % kind)


def convert(source_dir, out_dir, overrides, log=sys.stderr):
    stats = {"towns already places": 0, "zones of another state replaced": 0,
             "stations outside the US replaced": 0,
             "overrides that changed a city": 0}
    source = Source(source_dir)
    state_order = sorted(STATES, key=lambda s: sort_key(STATES[s][0]))
    rank = {s: i for i, s in enumerate(state_order)}

    areas = build_areas(source)
    check_unique("area", [a[0] for a in areas])
    county_names = {a[0]: a[2] for a in areas}
    areas.sort(key=lambda a: (rank[a[1]], sort_key(a[2]), a[0]))

    places = read_places(source, stats)
    check_unique("city", [p.id for p in places])
    fix_links(source, places, stats)
    if overrides:
        apply_overrides(source, places, overrides, stats)
    make_names_unique(source, places, county_names, stats)
    verify(places)
    places.sort(key=lambda p: (rank[p.state], sort_key(p.name), p.id))

    os.makedirs(out_dir, exist_ok=True)
    write_file(os.path.join(out_dir, "countries.ldt"),
               [(COUNTRY_ID, "United States", "US")])
    write_file(os.path.join(out_dir, "states.ldt"),
               [(s, COUNTRY_ID, STATES[s][0], STATES[s][1].lower())
                for s in state_order])
    write_file(os.path.join(out_dir, "areas.ldt"),
               [(a[0], COUNTRY_ID, a[1], a[2], a[3]) for a in areas])
    write_file(os.path.join(out_dir, "cities.ldt"),
               [(p.id, COUNTRY_ID, p.state, p.name, city_data(p))
                for p in places])
    stats["states"] = len(STATES)
    stats["areas"] = len(areas)
    stats["cities"] = len(places)
    for key in sorted(stats):
        print("%-36s %d" % (key, stats[key]), file=log)
    return stats


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--source", default="/usr/share/weather-util",
                        help="folder of places.gz, zones.gz, stations.gz")
    parser.add_argument("--out", default=os.path.join(here, "..", "..",
                                                      "data", "us"),
                        help="folder to write the .ldt files into")
    parser.add_argument("--overrides", default=os.path.join(here,
                                                            "overrides.tsv"),
                        help="checked zone and station table ('' for none)")
    args = parser.parse_args(argv)
    try:
        convert(args.source, args.out, args.overrides)
    except (ConvertError, OSError) as e:
        print("build_ldt: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
