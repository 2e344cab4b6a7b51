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
        assert o.visibility_mi is None
        for name in ("wind_direction_deg", "wind_speed_kt", "gust_kt"):
            assert getattr(o, name) is None or type(getattr(o, name)) is int


def test_repr_names_the_decoded_values_only(sample_reports):
    o = stratus.decode(sample_reports[1])
    assert repr(o) == (
        f"Observation(station='K04V', time={o.time:%Y-%m-%d} 00:30Z, "
        "temperature_c=24.0, dew_point_c=-6.0, pressure_inhg=30.07, "
        "wind_direction_deg=270, wind_variable_from_deg=242, "
        "wind_variable_to_deg=302, wind_speed_kt=9, gust_kt=16)"
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
    bytes(range(1, 256)).decode("latin-1"),
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
    with pytest.raises(FileNotFoundError):
        stratus.decode_many("/nonexistent/reports.txt")
    with pytest.raises(TypeError):
        stratus.decode_many(42)


def assert_row_equals(arrays, i, o):
    """Row i of decode_many's arrays holds what the Observation holds."""
    d = o.as_dict()
    assert arrays["station"][i] == (d.pop("station") or "")
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


def test_decode_many_columns(sample_reports):
    arrays = stratus.decode_many(sample_reports)
    assert arrays["time"].dtype == np.dtype("datetime64[s]")
    assert arrays["station"].dtype == np.dtype("<U4")
    assert arrays["decoded"].dtype == bool
    for name in ("temperature_c", "gust_kt", "visibility_mi"):
        assert arrays[name].dtype == np.float64
    # Row 37 has no temperature group; row 1 has a gust of 16 kt.
    assert math.isnan(arrays["temperature_c"][37])
    assert arrays["gust_kt"][1] == 16


def test_decode_many_equals_decode_on_the_sample(sample_reports):
    arrays = stratus.decode_many(sample_reports)
    for i, report in enumerate(sample_reports):
        assert_row_equals(arrays, i, stratus.decode(report))


def test_decode_many_equals_decode_on_the_whole_corpus(corpus_path):
    reports = corpus_path.read_text().splitlines()
    arrays = stratus.decode_many(corpus_path)
    assert len(arrays["time"]) == len(reports) == 34481
    for i, report in enumerate(reports):
        assert_row_equals(arrays, i, stratus.decode(report))
    # Nearly every real report decodes (the corpus keeps only well-formed ones).
    assert arrays["decoded"].all()


def test_decode_many_as_dataframe(sample_reports):
    pandas = pytest.importorskip("pandas")
    frame = stratus.decode_many(sample_reports, pandas=True)
    assert isinstance(frame, pandas.DataFrame)
    assert len(frame) == len(sample_reports)
    assert frame["station"][0] == "K00U"
    assert frame["pressure_inhg"][0] == 29.98
