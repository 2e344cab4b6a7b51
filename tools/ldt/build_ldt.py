#!/usr/bin/env python3
"""Builds the United States location data files (countries.ldt, states.ldt,
areas.ldt, cities.ldt, and the ZIP table zips.tsv) from Debian's
weather-util-data package and the NWS zone-county correlation table.

The package compiles US public-domain data (Census gazetteer places,
counties and county subdivisions; NWS forecast zones; ICAO stations) into
gzip files in INI form, linking each place to the forecast zone and station
nearest to its Census internal point. This script turns that into records:

  states    id = state FIPS; the short name is the postal code in lower case
  areas     every county or equivalent; id = state FIPS * 1000 + county FIPS;
            data = the county's UGC code (CAC075)
  cities    every Census place (id = state FIPS * 100000 + place FIPS) and the
            New England towns that are not places (id = 100000000 + state
            FIPS * 100000 + subdivision FIPS); data =
            azone(ZONE)acode(ICAO)acounty(SSCnnn)aoffice(CWA)alat(DD.dddd)alon(DD.dddd)
            atz(TZ): TZ is the table's time zone code of the zone and county
            (E, C, M, P, A, H, V, G, S; m and e: no daylight saving time; two
            letters: a county across two zones, the first its main one)
  zips      every ZIP code area (ZCTA) of a covered state: ZIP, state id and
            the id of the nearest city of that state
  stations  every station that a city carries: code, state id and the id of
            the city nearest to the station among those that carry it
  offices   every state or territory of the zone table, by postal code, and
            the forecast offices (CWAs) that have a zone in it, in order

and repairs the links that the nearest-centroid rule gets wrong:
  - a zone of another state is replaced by the nearest zone of the city's own
    state (product pages are fetched per state, so a foreign zone is never
    found);
  - a station outside the US (Canada, Mexico) is replaced by the nearest US
    station;
  - the largest cities take their zone and station from overrides.tsv, whose
    entries are checked against the data before use;
  - every zone is made current against the correlation table (bp*.dbx, one
    line per zone and county): a city keeps its zone when the table has it
    and the zone includes the city's county; otherwise it gets, among the
    table's zones that include its county, the one whose centroid is
    nearest. The office (CWA) is the one the table gives for that zone and
    county.

Every data string is read back with the same rules as the library's lookup
before anything is written. Output is sorted and byte-identical across runs.
Python 3 standard library only.
"""

import argparse
import bisect
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
    "plantation", "city and borough",
], key=len, reverse=True)

# ICAO prefixes of stations in the US and its Caribbean territories.
US_STATION_PREFIXES = ("k", "pa", "pf", "po", "pp", "ph", "tj", "ti")

ZONE_RE = re.compile(r"^[A-Z]{2}Z[0-9]{3}$")
OFFICE_RE = re.compile(r"^[A-Z]{3}$")
STATION_RE = re.compile(r"^[A-Z][A-Z0-9]{3}$")
EARTH_KM = 6371.0

# Limits for the override table: a zone further from the city's point, or a
# station further from the zone's centroid, is a typo, not a correction.
OVERRIDE_STATION_KM = 60.0
OVERRIDE_ZONE_KM = 120.0

# A city whose nearest county subdivision lies further than this takes its
# county from its zone: subdivisions that large (Alaska's census
# subdivisions, those of the open West) say little about which county a
# point is in. In Iowa the nearest one is within 7 km of every city.
SUBDIVISION_KM = 15.0


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


class ZoneTable:
    """The NWS zone-county correlation table (bpDDmmYY.dbx): one line per
    zone and county, STATE|ZONE|CWA|NAME|STATE_ZONE|COUNTY|FIPS|TIME_ZONE|
    FE_AREA|LAT|LON. Zones are keyed in lower case ('iaz060'), counties by
    their FIPS code as a number (19153)."""

    def __init__(self, path):
        self.edition = os.path.splitext(os.path.basename(path))[0]
        self.office = {}        # (zone, county) -> CWA
        self.timezone = {}      # (zone, county) -> time zone code ("C")
        self.offices_of = {}    # state postal code -> set of CWAs
        self.counties = {}      # zone -> set of counties
        self.zones_of = {}      # county -> sorted zones
        points = {}
        with open(path, encoding="ascii", newline="") as f:
            for number, line in enumerate(f, 1):
                line = line.rstrip("\r\n")
                if not line:
                    continue
                fields = line.split("|")
                if len(fields) != 11:
                    raise ConvertError("%s:%d: want 11 fields" % (path, number))
                # STATE and ZONE make the code; STATE_ZONE repeats them but
                # is stale on a few renumbered lines (WY|198|...|WY098).
                zone = fields[0] + "Z" + fields[1]
                office, fips = fields[2], fields[6]
                if (not ZONE_RE.match(zone) or not OFFICE_RE.match(office) or
                        not re.match(r"^[0-9]{5}$", fips)):
                    raise ConvertError("%s:%d: bad line %r" % (path, number, line))
                zone, county = zone.lower(), int(fips)
                if self.office.setdefault((zone, county), office) != office:
                    raise ConvertError("%s:%d: second office for %s in %s" %
                                       (path, number, zone, fips))
                self.timezone[(zone, county)] = fields[7]
                self.offices_of.setdefault(fields[0], set()).add(office)
                self.counties.setdefault(zone, set()).add(county)
                points.setdefault(zone, set()).add(
                    (float(fields[9]), float(fields[10])))
        for zone, counties in self.counties.items():
            for county in counties:
                self.zones_of.setdefault(county, []).append(zone)
        for zones in self.zones_of.values():
            zones.sort()
        # A zone drawn in parts has a point per part: its centroid is their
        # mean.
        self.centroid = {}
        for zone, where in points.items():
            where = sorted(where)
            self.centroid[zone] = (
                math.radians(sum(w[0] for w in where) / len(where)),
                math.radians(sum(w[1] for w in where) / len(where)))


class PointIndex:
    """Nearest of many (key, point) pairs: scans outward in latitude from the
    query and stops where the latitude gap alone exceeds the best distance
    found, which gives the same answer as nearest() over the whole list."""

    def __init__(self, items):
        self.items = sorted(items, key=lambda kv: (kv[1][0], kv[0]))
        self.lats = [kv[1][0] for kv in self.items]

    def nearest(self, point):
        best = None
        start = bisect.bisect_left(self.lats, point[0])
        for step, stop in ((1, len(self.items)), (-1, -1)):
            i = start if step == 1 else start - 1
            while i != stop:
                key, where = self.items[i]
                if best and abs(where[0] - point[0]) * EARTH_KM > best[0]:
                    break
                d = distance_km(point, where)
                if best is None or (d, key) < best:
                    best = (d, key)
                i += step
        return best[1] if best else None


class Source:
    """The package's places, zones and stations, and the zone table."""

    def __init__(self, directory, table):
        self.places = read_ini(os.path.join(directory, "places.gz"))
        self.zones = read_ini(os.path.join(directory, "zones.gz"))
        self.stations = read_ini(os.path.join(directory, "stations.gz"))
        self.zctas_path = os.path.join(directory, "zctas.gz")
        self.table = ZoneTable(table)
        self._zones_by_state = {}
        self._us_stations = None
        self._subdivisions = None

    def zone_point(self, zone):
        return self.table.centroid.get(zone)

    def station_point(self, station):
        s = self.stations.get(station)
        return parse_point(s.get("location")) if s else None

    def zones_of_state(self, postal, current=False):
        """Zones of a state that can be chosen: those of the package with a
        centroid, or those of the table."""
        if (postal, current) not in self._zones_by_state:
            prefix = postal.lower() + "z"
            if current:
                zones = sorted((z, c) for z, c in self.table.centroid.items()
                               if z.startswith(prefix))
            else:
                zones = [
                    (z, parse_point(v["centroid"]))
                    for z, v in self.zones.items()
                    if z.startswith(prefix) and "centroid" in v and
                    not v.get("description", "").startswith("Unknown zone")]
            self._zones_by_state[(postal, current)] = zones
        return self._zones_by_state[(postal, current)]

    def subdivisions(self, state):
        """County subdivisions of a state, indexed by their point; the key
        is the section name, whose FIPS code holds the county's."""
        if self._subdivisions is None:
            by_state = {}
            for section, v in self.places.items():
                if len(section) != 14 or not section.startswith("fips"):
                    continue
                point = parse_point(v.get("centroid"))
                if point is not None:
                    by_state.setdefault(int(section[4:6]), []).append(
                        (section, point))
            self._subdivisions = {k: PointIndex(v) for k, v in by_state.items()}
            self._subdivision_point = {
                k: w for v in by_state.values() for k, w in v}
        return self._subdivisions.get(state)

    def subdivision_point(self, section):
        return self._subdivision_point[section]

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
    """Checks every entry against the data before it replaces a link.
    Returns the ids of the cities it set."""
    by_id = {p.id: p for p in places}
    pinned = set()
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
            raise ConvertError("%s: zone %s is not in the zone table %s" %
                               (where, zone, source.table.edition))
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
        pinned.add(ident)
    return pinned


def county_of(source, p, within=None):
    """County FIPS of a place: that of the nearest county subdivision of its
    state (a place record names no county); None when there is none within
    `within` km."""
    if p.county is not None:
        return p.county
    index = source.subdivisions(p.state)
    section = index.nearest(p.point) if index else None
    if section is None or (within is not None and distance_km(
            p.point, source.subdivision_point(section)) > within):
        return None
    return int(section[4:9])


def make_current(source, places, pinned, stats):
    """Zone, county and office of every city from the zone table. A city
    keeps its zone when the table has it and the zone includes the city's
    county; otherwise it takes the nearest of the table's zones of its state
    that include its county. Pinned cities keep their zone, and their county
    is taken among the zone's. Returns {state postal: (retired, other
    county)} for the zones that changed."""
    table = source.table
    changed = {}
    for p in places:
        postal = STATES[p.state][1]
        prefix = postal.lower() + "z"
        county = county_of(source, p, SUBDIVISION_KM)
        own = sorted(c for c in table.counties.get(p.zone, ())
                     if c // 1000 == p.state)
        if p.id in pinned or county not in table.zones_of:
            # The zone decides the county: a pinned zone, a county the table
            # does not know (Connecticut's planning regions, which replaced
            # its counties in the Census but not yet in the table), or no
            # subdivision near enough to tell the county.
            if p.zone not in table.counties:
                p.zone = nearest(p.point, source.zones_of_state(postal, True))
                counts = changed.setdefault(postal, [0, 0])
                counts[0] += 1
                own = sorted(c for c in table.counties[p.zone]
                             if c // 1000 == p.state)
            if county not in own:
                index = source.subdivisions(p.state)
                near = nearest(p.point, [
                    (k, w) for k, w in (index.items if index else [])
                    if int(k[4:9]) in own])
                county = int(near[4:9]) if near else own[0]
                stats["counties taken from the zone"] += 1
        else:
            candidates = [z for z in table.zones_of[county]
                          if z.startswith(prefix)]
            if p.zone not in candidates:
                retired = p.zone not in table.counties
                other = not retired
                p.zone = nearest(p.point, [(z, table.centroid[z])
                                           for z in candidates])
                counts = changed.setdefault(postal, [0, 0])
                counts[0] += retired
                counts[1] += other
        if p.zone is None or (p.zone, county) not in table.office:
            raise ConvertError("city %d (%s): no zone of %s for county %05d" %
                               (p.id, p.name, postal, county or 0))
        p.table_county = county
        p.office = table.office[(p.zone, county)]
        p.timezone = table.timezone[(p.zone, county)]
    stats["zones changed, not in the table"] = sum(
        c[0] for c in changed.values())
    stats["zones changed, other county"] = sum(c[1] for c in changed.values())
    return changed


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


def county_ugc(p):
    return "%sC%03d" % (STATES[p.state][1], p.table_county % 1000)


def city_data(p):
    return ("azone(%s)acode(%s)acounty(%s)aoffice(%s)alat(%.4f)alon(%.4f)"
            "atz(%s)" % (
                p.zone.upper(), p.station.upper(), county_ugc(p), p.office,
                math.degrees(p.point[0]), math.degrees(p.point[1]),
                p.timezone))


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
        want = {"azone": zone, "acode": station, "acounty": county_ugc(p),
                "aoffice": p.office,
                "alat": "%.4f" % math.degrees(p.point[0]),
                "alon": "%.4f" % math.degrees(p.point[1]),
                "atz": p.timezone}
        for key, value in want.items():
            if data_token(data, key) != (0, value):
                raise ConvertError("city %d: %s does not read back" %
                                   (p.id, data))


def build_zips(source, places, stats):
    """(ZIP, state id, city id) for every ZIP code area of a covered state,
    in ZIP order. ZIP prefixes (the first three digits) are assigned by
    state: a ZIP's state is the one in which most areas of its prefix have
    their zone, which outvotes an area whose nearest zone lies across a
    state line. Its city is the nearest city of that state."""
    zctas = read_ini(source.zctas_path)
    points = {}
    votes = {}
    for code, v in zctas.items():
        if not re.match(r"^[0-9]{5}$", code):
            raise ConvertError("zctas.gz: bad ZIP %r" % code)
        point = parse_point(v.get("centroid"))
        zone = parse_link(v.get("zone"))
        if point is None or zone is None:
            stats["zip areas without point or zone"] += 1
            continue
        points[code] = (point, zone[:2])
        tally = votes.setdefault(code[:3], {})
        tally[zone[:2]] = tally.get(zone[:2], 0) + 1
    state_of = {v[1].lower(): k for k, v in STATES.items()}
    prefix_state = {prefix: state_of.get(max(sorted(t), key=t.get))
                    for prefix, t in votes.items()}
    by_state = {}
    for p in places:
        by_state.setdefault(p.state, []).append((p.id, p.point))
    index = {k: PointIndex(v) for k, v in by_state.items()}
    rows = []
    for code in sorted(points):
        point, zone_postal = points[code]
        state = prefix_state[code[:3]]
        if state is None:
            stats["zip areas outside the covered states"] += 1
            continue
        if state_of.get(zone_postal) != state:
            stats["zip areas with a zone across a state line"] += 1
        rows.append((code, state, index[state].nearest(point)))
    stats["zip areas"] = len(rows)
    return rows


def build_stations(source, places, pinned, zips, stats):
    """(code, state id, city id) for every station a city carries, in code
    order: the city a station code names, though dozens share it. Of the
    cities that carry it: a pinned one (the override table names the
    principal station of the largest cities), else the one with the most
    ZIP codes (the sources have no population; ZIP codes follow it), else
    the nearest to the station. The nearest alone would name the suburb
    beside the airport (Norwalk for KDSM)."""
    carriers = {}
    for p in places:
        carriers.setdefault(p.station, []).append(p)
    zip_count = {}
    for _, _, city in zips:
        zip_count[city] = zip_count.get(city, 0) + 1
    rows = []
    for code in sorted(carriers):
        where = source.station_point(code)
        group = carriers[code]
        best = min(group, key=lambda p: (
            p.id not in pinned, -zip_count.get(p.id, 0),
            distance_km(where, p.point), p.id))
        rows.append((code.upper(), best.state, best.id))
    stats["stations"] = len(rows)
    return rows


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


def convert(source_dir, out_dir, overrides, table, log=sys.stderr):
    stats = {"towns already places": 0, "zones of another state replaced": 0,
             "stations outside the US replaced": 0,
             "overrides that changed a city": 0,
             "counties taken from the zone": 0,
             "zip areas without point or zone": 0,
             "zip areas outside the covered states": 0,
             "zip areas with a zone across a state line": 0}
    source = Source(source_dir, table)
    state_order = sorted(STATES, key=lambda s: sort_key(STATES[s][0]))
    rank = {s: i for i, s in enumerate(state_order)}

    areas = build_areas(source)
    check_unique("area", [a[0] for a in areas])
    county_names = {a[0]: a[2] for a in areas}
    areas.sort(key=lambda a: (rank[a[1]], sort_key(a[2]), a[0]))

    places = read_places(source, stats)
    check_unique("city", [p.id for p in places])
    fix_links(source, places, stats)
    pinned = set()
    if overrides:
        pinned = apply_overrides(source, places, overrides, stats)
    changed = make_current(source, places, pinned, stats)
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
    zips = build_zips(source, places, stats)
    write_file(os.path.join(out_dir, "zips.tsv"), zips)
    write_file(os.path.join(out_dir, "stations.tsv"),
               build_stations(source, places, pinned, zips, stats))
    write_file(os.path.join(out_dir, "offices.tsv"),
               [(postal, " ".join(sorted(offices)))
                for postal, offices in sorted(source.table.offices_of.items())])
    stats["states"] = len(STATES)
    stats["areas"] = len(areas)
    stats["cities"] = len(places)
    print("zone table %s" % source.table.edition, file=log)
    for key in sorted(stats):
        print("%-42s %d" % (key, stats[key]), file=log)
    for postal in sorted(changed):
        print("zones changed in %s: %d not in the table, %d other county" %
              (postal, changed[postal][0], changed[postal][1]), file=log)
    return stats


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--source", default="/usr/share/weather-util",
                        help="folder of places.gz, zones.gz, stations.gz")
    parser.add_argument("--out", default=os.path.join(here, "..", "..",
                                                      "data", "us"),
                        help="folder to write the .ldt files into")
    parser.add_argument("--table", default=os.path.join(here, "bp05mr24.dbx"),
                        help="NWS zone-county correlation table")
    parser.add_argument("--overrides", default=os.path.join(here,
                                                            "overrides.tsv"),
                        help="checked zone and station table ('' for none)")
    args = parser.parse_args(argv)
    try:
        convert(args.source, args.out, args.overrides, args.table)
    except (ConvertError, OSError) as e:
        print("build_ldt: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
