"""decode and decode_many on real reports."""

import datetime
import math
import pathlib

import numpy as np
import pytest

import stratus

# Rows of data/metar-us.txt read off the report text by hand (and agreeing
# with the corpus oracle): index, then day, hour, minute, temperature, dew
# point, pressure, direction, speed, gust, variable range.
HAND_CHECKED = [
    (0, 2, 0, 35, 17.0, 1.0, 29.98, 20, 8, None, None),
    (1, 2, 0, 30, 24.0, -6.0, 30.07, 270, 9, 16, (242, 302)),
    (3, 17, 11, 53, -9.0, -9.5, 29.80, 0, 0, None, None),
    (4, 23, 11, 35, 4.0, 2.0, 30.24, None, 3, None, None),
    (5, 22, 2, 35, -1.0, -13.0, 30.10, 310, 22, 41, None),
    (7, 22, 18, 55, 28.0, 12.0, 30.10, 170, 8, 17, (140, 200)),
    (9, 8, 9, 58, 17.0, 0.8, 30.07, 350, 27, None, None),
    (18, 27, 21, 56, 1.1, -10.0, 29.45, 220, 24, 43, None),
    (23, 17, 11, 56, -5.6, -8.3, 29.93, 300, 6, None, None),
    (30, 22, 18, 54, 21.7, -9.4, 29.65, 270, 5, None, None),
    (36, 1, 23, 53, 36.1, 7.2, 29.83, 130, 11, 21, None),
    (37, 23, 10, 50, None, None, 29.53, 280, 8, None, None),
]


# The same rows (and a few more) for what the complete reading adds: index,
# then visibility in statute miles, present weather, sky layers (cover,
# height in feet, cloud type), ceiling in feet, flight category (US rules:
# LIFR below 500 ft or 1 SM, IFR below 1000 ft or 3 SM, MVFR up to 3000 ft
# or 5 SM), sea-level pressure in hPa.
CLR = ("CLR", None, None)
HAND_CHECKED_SKY = [
    (0, 10, [], [("FEW", 11000, None)], None, "VFR", None),
    (1, 10, [], [CLR], None, "VFR", None),
    # "UP" stops the narrow reading; the complete one reads past it.
    (2, 5, ["UP"], [("BKN", 400, None), ("OVC", 900, None)], 400, "LIFR", None),
    (3, 0.5, ["FZFG"], [("OVC", 200, None)], 200, "LIFR", None),
    (4, 9, [], [CLR], None, "VFR", None),
    (9, 10, [], [("FEW", 24000, None)], None, "VFR", 1016.0),
    (18, 6, ["HZ"], [("BKN", 10000, None)], 10000, "VFR", 997.8),
    (21, 10, [], [("FEW", 2000, None), ("SCT", 4000, None),
                  ("BKN", 7000, None)], 7000, "VFR", None),
    (23, 10, [], [CLR], None, "VFR", 1002.3),
    (27, 10, [], [("SCT", 600, None), ("OVC", 1300, None)], 1300, "MVFR", None),
    (30, 10, [], [("FEW", 7000, None)], None, "VFR", 996.3),
    # No sky group: 1 1/4 SM alone makes it IFR.
    (37, 1.25, ["SN"], [], None, "IFR", None),
]


@pytest.mark.parametrize("row", HAND_CHECKED_SKY, ids=lambda r: f"line{r[0]}")
def test_decode_hand_checked_visibility_weather_sky(sample_reports, row):
    index, vis, weather, sky, ceiling, category, slp = row
    o = stratus.decode(sample_reports[index])
    assert o.visibility_mi == vis
    assert o.visibility_m == pytest.approx(vis * 1609.344, abs=1e-3)
    assert o.visibility_bound == 0
    assert o.weather == weather
    assert o.sky == sky
    assert o.ceiling_ft == ceiling
    assert o.flight_category == category
    assert o.sea_level_pressure_hpa == slp


# Real reports, US and international (lines of the shared corpus's us.txt
# and intl.txt), each with its fields read off by hand.
REPORTS = {
    "README example": (
        "KDSM 051754Z 32015G24KT 3SM -SN OVC012 M04/M06 A2987 RMK AO2 T10441061",
        dict(station="KDSM", temperature_c=-4.4, dew_point_c=-6.1,
             pressure_inhg=29.87, wind_direction_deg=320, wind_speed_kt=15,
             gust_kt=24, visibility_mi=3, visibility_bound=0,
             weather=["-SN"], sky=[("OVC", 1200, None)], ceiling_ft=1200,
             flight_category="MVFR", altimeter_hpa=None)),
    "intl 11: 9999, Q, CB": (
        "AGGH 171100Z 00000KT 9999 FEW016 FEW018CB BKN026 25/24 Q1008",
        dict(station="AGGH", wind_direction_deg=0, wind_speed_kt=0,
             visibility_m=10000, visibility_bound=1, altimeter_hpa=1008,
             sky=[("FEW", 1600, None), ("FEW", 1800, "CB"),
                  ("BKN", 2600, None)],
             ceiling_ft=2600, flight_category="MVFR", weather=[],
             temperature_c=25, dew_point_c=24)),
    "intl 13324: MPS, metres, SKC": (
        "EQBQ 160345Z 07001MPS 1600 BR SKC 06/M01 Q1026",
        dict(wind_direction_deg=70, visibility_m=1600, visibility_bound=0,
             weather=["BR"], sky=[CLR], ceiling_ft=None,
             flight_category="LIFR", altimeter_hpa=1026)),
    "intl 2: CAVOK": (
        "AAXX 070800Z 00000KT CAVOK 16/09 Q1014",
        dict(visibility_m=10000, visibility_bound=1, weather=[], sky=[],
             ceiling_ft=None, flight_category="VFR", altimeter_hpa=1014)),
    "us 870: M1/4SM, VV000": (
        "K2A0 230935Z AUTO 00000KT M1/4SM FG VV000 05/05 A3018 RMK A01",
        dict(visibility_mi=0.25, visibility_bound=-1, weather=["FG"],
             sky=[("VV", 0, None)], ceiling_ft=0, flight_category="LIFR")),
    "us 1808: 25SM, no altimeter": (
        "K77M 311445Z 00000KT 25SM FEW065CB FEW120 19/15 RMK SLPNO NOSPECI LAST",
        dict(visibility_mi=25, sky=[("FEW", 6500, "CB"), ("FEW", 12000, None)],
             ceiling_ft=None, flight_category="VFR", pressure_inhg=None,
             sea_level_pressure_hpa=None)),
}


@pytest.mark.parametrize("name", REPORTS)
def test_decode_real_reports_read_by_hand(name):
    text, expected = REPORTS[name]
    o = stratus.decode(text)
    assert o.decoded
    for field, value in expected.items():
        assert getattr(o, field) == value, field


def test_decode_converts_units():
    # 1 m/s = 1.943844 kt; 1 SM = 1609.344 m; 1 hPa = 0.0295299830714 inHg.
    o = stratus.decode(REPORTS["intl 13324: MPS, metres, SKC"][0])
    assert o.wind_speed_kt == pytest.approx(1.943844, abs=1e-6)
    assert o.visibility_mi == pytest.approx(1600 / 1609.344, abs=1e-6)
    assert o.pressure_inhg == pytest.approx(1026 * 0.0295299830714, abs=1e-4)
    o = stratus.decode(REPORTS["README example"][0])
    assert o.visibility_m == 4828.032


# Reports the narrow reading (strict=True) reads less of than the complete
# one: index, then (field, narrow value, complete value) read by hand.
NARROW = [
    # The last group goes unread in the narrow reading.
    (13, [("pressure_inhg", None, 29.56), ("temperature_c", 8, 8)]),
    # "9999" stops it; the complete reading goes on to SKC, 29/21, A2991
    # and the remarks' SLP128.
    (83, [("temperature_c", None, 29), ("dew_point_c", None, 21),
          ("pressure_inhg", None, 29.91), ("visibility_m", None, 10000),
          ("sky", [], [CLR]), ("sea_level_pressure_hpa", None, 1012.8),
          ("wind_speed_kt", 8, 8)]),
]


@pytest.mark.parametrize("index,fields", NARROW, ids=["line13", "line83"])
def test_strict_gives_the_narrow_reading(sample_reports, index, fields):
    text = "METAR " + sample_reports[index]
    narrow = stratus.decode(text, strict=True)
    complete = stratus.decode(text)
    for name, in_narrow, in_complete in fields:
        assert getattr(narrow, name) == in_narrow, name
        assert getattr(complete, name) == in_complete, name
    assert narrow.station == complete.station == text[6:10]
    assert narrow.report_type == "METAR"


def test_decode_without_any_group_is_not_decoded():
    # The head alone, a missing report, an impossible wind, nothing: decoded
    # is False, in both readings and in decode_many.
    assert stratus.decode("KDSM").station == "KDSM"
    texts = ["KEWR", "METAR KEWR", "SPECI", "METAR COR KEWR",
             "METAR KDSM NIL=", "KEWR 90010KT", ""]
    for text in texts:
        for strict in (False, True):
            o = stratus.decode(text, strict=strict)
            assert not o.decoded, (text, strict)
            assert (o.weather, o.sky, o.flight_category) == ([], [], None)
    assert not stratus.decode_many(texts)["decoded"].any()
    assert stratus.decode("METAR COR KEWR").report_type == "METAR"
    assert stratus.decode("SPECI KDSM 051754Z 32015KT").report_type == "SPECI"


@pytest.mark.parametrize("row", HAND_CHECKED, ids=lambda r: f"line{r[0]}")
def test_decode_hand_checked_reports(sample_reports, row):
    index, day, hour, minute, temp, dew, alt, wdir, speed, gust, vrange = row
    text = sample_reports[index]
    for report in (text, "METAR " + text):
        o = stratus.decode(report)
        assert o.decoded
        assert o.station == text[:4]
        assert (o.time.day, o.time.hour, o.time.minute) == (day, hour, minute)
        assert o.time.tzinfo == datetime.timezone.utc
        # Placed in the current month or the one before.
        now = datetime.datetime.now(datetime.timezone.utc)
        assert now - datetime.timedelta(days=62) < o.time
        assert o.time < now + datetime.timedelta(days=1)
        # Exact: the values carry the report's decimals.
        assert o.temperature_c == temp
        assert o.dew_point_c == dew
        assert o.pressure_inhg == alt
        assert o.wind_direction_deg == wdir
        assert o.wind_variable == (wdir is None)
        assert o.wind_speed_kt == speed
        assert o.gust_kt == gust
        got_range = (o.wind_variable_from_deg, o.wind_variable_to_deg)
        assert got_range == (vrange or (None, None))
        assert o.report_type == ("METAR" if report != text else None)
        for name in ("wind_direction_deg", "ceiling_ft", "visibility_bound"):
            assert getattr(o, name) is None or type(getattr(o, name)) is int


def test_repr_names_the_decoded_values_only(sample_reports):
    o = stratus.decode(sample_reports[1])
    assert repr(o) == (
        f"Observation(station='K04V', time={o.time:%Y-%m-%d} 00:30Z, "
        "temperature_c=24.0, dew_point_c=-6.0, pressure_inhg=30.07, "
        "wind_direction_deg=270, wind_variable_from_deg=242, "
        "wind_variable_to_deg=302, wind_speed_kt=9.0, gust_kt=16.0, "
        "visibility_mi=10.0, visibility_m=16093.44, visibility_bound=0, "
        "flight_category='VFR', sky=[('CLR', None, None)])"
    )
    assert repr(stratus.decode("")) == "Observation(decoded=False)"


JUNK = [
    "",
    "   ",
    "KDSM",
    "NIL=",
    "KDSM 051754Z\x0032015KT 10/05 A2987 RMK AO2",
    "\x00" * 1000,
    "A" * (1 << 20),
    "KDSM 051754Z " + "32015G24KT " * 100_000,
    # Every byte but NUL and the line ends (a report is one line).
    bytes(b for b in range(1, 256) if b not in b"\r\n").decode("latin-1"),
    "KDSM 051754Z 3201\u00e95KT M04/M06 A2987 RMK \U0001f327 T1044106",
]


@pytest.mark.parametrize("text", JUNK, ids=range(len(JUNK)))
def test_junk_never_crashes_and_both_paths_agree(text):
    one = stratus.decode(text)
    many = stratus.decode_many([text])
    assert bool(many["decoded"][0]) == one.decoded
    assert_row_equals(many, 0, one)


def test_rejected_lines_of_the_corpus_decode_without_error(corpus_path):
    rejected = (corpus_path.parent / "rejected.txt").read_text().splitlines()
    arrays = stratus.decode_many(rejected)
    assert len(arrays["decoded"]) == len(rejected)


def test_bad_arguments_raise_clear_errors():
    with pytest.raises(TypeError, match="not str"):
        stratus.decode(b"KDSM 051754Z 32015KT")
    with pytest.raises(ValueError, match="UTF-8"):
        stratus.decode("KDSM \udc80")
    with pytest.raises(TypeError, match="item 2 is int"):
        stratus.decode_many(["KDSM", "KBOS", 7])
    with pytest.raises(TypeError, match="item 0 is bytes"):
        stratus.decode_many(iter([b"KDSM"]))
    with pytest.raises(ValueError, match="item 1 .*UTF-8"):
        stratus.decode_many(["KDSM", "\ud800"])
    with pytest.raises(ValueError, match="item 1 .*UTF-8"):
        stratus.decode_many(np.array(["KDSM", "\ud800"]))
    with pytest.raises(FileNotFoundError):
        stratus.decode_many("/nonexistent/reports.txt")
    with pytest.raises(IsADirectoryError):
        stratus.decode_many(pathlib.Path(__file__).parent)
    with pytest.raises(TypeError):
        stratus.decode_many(42)


def layer_text(cover, height, cloud_type):
    """A sky layer as coded: "OVC012CB", "FEW///", "CLR"."""
    if cover in ("CLR", "NSC", "NCD"):
        return cover
    coded = "///" if height is None else f"{height // 100:03d}"
    return cover + coded + (cloud_type or "")


def assert_row_equals(arrays, i, o):
    """Row i of decode_many's arrays holds what the Observation holds."""
    d = o.as_dict()
    assert arrays["weather"][i] == " ".join(d.pop("weather"))
    assert arrays["sky"][i] == " ".join(layer_text(*l) for l in d.pop("sky"))
    for name in ("station", "report_type", "flight_category"):
        assert arrays[name][i] == (d.pop(name) or ""), name
    t = d.pop("time")
    if t is None:
        assert np.isnat(arrays["time"][i])
    else:
        assert arrays["time"][i] == np.datetime64(t.replace(tzinfo=None), "s")
    for name, value in d.items():
        got = arrays[name][i]
        if value is None:
            assert math.isnan(got), name
        else:
            assert got == value, name


def test_decode_many_takes_every_input_form(sample_reports, tmp_path):
    expected = stratus.decode_many(sample_reports)
    crlf = tmp_path / "crlf.txt"
    crlf.write_bytes(("\r\n".join(sample_reports) + "\r\n").encode())
    plain = tmp_path / "plain.txt"
    plain.write_text("\n".join(sample_reports))
    forms = {
        "tuple": tuple(sample_reports),
        "generator": (r for r in sample_reports),
        "unicode array": np.array(sample_reports),
        "bytes array": np.array([r.encode() for r in sample_reports]),
        "strided array": np.array([x for r in sample_reports for x in (r, "-")])[::2],
        "object array": np.array(sample_reports, dtype=object),
        "big-endian array": np.array(sample_reports).astype(">U"),
        "path str": str(crlf),
        "pathlib": plain,
    }
    assert len(expected["time"]) == len(sample_reports)
    for form, reports in forms.items():
        got = stratus.decode_many(reports)
        assert got.keys() == expected.keys(), form
        for name, column in expected.items():
            assert got[name].dtype == column.dtype, (form, name)
            np.testing.assert_array_equal(got[name], column, err_msg=form)
    empty = stratus.decode_many([])
    assert all(len(column) == 0 for column in empty.values())


def test_decode_many_reads_characters_beyond_ascii_from_an_array(sample_reports):
    # An unknown group with a character of 2, 3 and 4 UTF-8 bytes, at each
    # offset modulo four, after station and time: a character misread from
    # the array's UTF-32 would shift or spoil the groups after it.
    reports = []
    for r in sample_reports[:10]:
        groups = r.split(" ")
        for k in range(4):
            for ch in ("\u00e9", "\u20ac", "\U0001d11e"):
                reports.append(" ".join(groups[:2] + ["a" * k + ch + "b"] + groups[2:]))
    for form in (reports, reports[::-1]):
        expected = stratus.decode_many(form)
        assert expected["decoded"].any()
        got = stratus.decode_many(np.array(reports)[:: 1 if form is reports else -1])
        for name, column in expected.items():
            np.testing.assert_array_equal(got[name], column, err_msg=name)


def test_decode_many_columns(sample_reports):
    arrays = stratus.decode_many(sample_reports)
    assert arrays["time"].dtype == np.dtype("datetime64[s]")
    assert arrays["station"].dtype == np.dtype("<U4")
    assert arrays["decoded"].dtype == bool
    for name in ("temperature_c", "gust_kt", "visibility_mi"):
        assert arrays[name].dtype == np.float64
    for name in ("weather", "sky", "flight_category", "report_type"):
        assert arrays[name].dtype == object
    # Row 37 has no temperature group; row 1 has a gust of 16 kt; row 2
    # two layers, a ceiling of 400 ft.
    assert math.isnan(arrays["temperature_c"][37])
    assert arrays["gust_kt"][1] == 16
    assert arrays["sky"][2] == "BKN004 OVC009"
    assert arrays["weather"][3] == "FZFG"
    assert arrays["ceiling_ft"][2] == 400
    assert arrays["flight_category"][37] == "IFR"


def test_decode_many_equals_decode_on_the_sample(sample_reports):
    arrays = stratus.decode_many(sample_reports)
    for i, report in enumerate(sample_reports):
        assert_row_equals(arrays, i, stratus.decode(report))


# Each corpus file, its number of reports, the lines that hold no
# observation (intl 28613 has an impossible time, minute 80, and an "=" that
# ends the report right behind it) and the number of missing reports
# ("NCAI 221900Z AUTO NIL"), which hold none either.
CORPUS = [("us.txt", 34481, [], 0), ("intl.txt", 41363, [28613], 75)]


@pytest.mark.parametrize("name,count,empty,missing", CORPUS)
def test_decode_many_equals_decode_on_the_whole_corpus(corpus_path, name, count,
                                                       empty, missing):
    path = corpus_path.parent / name
    reports = path.read_text().splitlines()
    arrays = stratus.decode_many(path)
    assert len(arrays["time"]) == len(reports) == count
    for i, report in enumerate(reports):
        assert_row_equals(arrays, i, stratus.decode(report))
    # Every other real report decodes to something.
    lines = list(np.flatnonzero(~arrays["decoded"]) + 1)
    nil = [n for n in lines if reports[n - 1].endswith(" AUTO NIL")]
    assert len(nil) == missing
    assert [n for n in lines if n not in nil] == empty


def oracle_rows(path):
    """The oracle's rows as dicts of column name to text."""
    lines = path.read_text().splitlines()
    names = lines[0].split("\t")
    return [dict(zip(names, line.split("\t"))) for line in lines[1:]]


@pytest.mark.parametrize("name", ["us", "intl"])
def test_visibility_agrees_with_the_oracle(corpus_path, name):
    # Where both of the oracle's decoders read the same prevailing
    # visibility (statute miles, metres converted, to 0.01; 9999 as 6.21),
    # ours is the same within 0.011 SM on at least 99% of the reports.
    arrays = stratus.decode_many(corpus_path.parent / f"{name}.txt")
    rows = oracle_rows(corpus_path.parent / f"oracle-{name}.tsv")
    assert len(rows) == len(arrays["visibility_mi"])
    checked = agreed = 0
    for i, row in enumerate(rows):
        if "vis" not in row["agree"].split(","):
            continue
        checked += 1
        ours = arrays["visibility_mi"][i]
        agreed += abs(ours - float(row["vis_metaf"])) <= 0.011
    assert checked > 25000
    assert agreed >= 0.99 * checked, f"{agreed} of {checked}"


def test_decode_many_as_dataframe(sample_reports):
    pandas = pytest.importorskip("pandas")
    frame = stratus.decode_many(sample_reports, pandas=True)
    assert isinstance(frame, pandas.DataFrame)
    assert len(frame) == len(sample_reports)
    assert frame["station"][0] == "K00U"
    assert frame["pressure_inhg"][0] == 29.98
