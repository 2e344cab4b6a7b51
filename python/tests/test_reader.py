"""The Reader against the real sample weather server on a free port."""

import datetime
import socket
import threading
import time

import pytest

import stratus


@pytest.fixture(scope="module")
def places():
    return stratus.Places()


@pytest.fixture()
def reader(sample_server):
    return stratus.Reader(
        {
            "ConditionsBase": sample_server + "weather/current/",
            "WarningsBase": sample_server + "iwin/",
        }
    )


# The reports on the sample station pages, read by hand: temperature and
# dew point from the T group, altimeter, wind.
CONDITIONS = [
    ("Boston, MA", "KBOS", 5.6, -4.4, 30.02, 270, 12, 20, 17, 54),
    ("Boulder, CO", "KBDU", -1.1, -12.8, 30.18, 240, 15, 25, 17, 55),
    ("Sacramento, CA", "KSAC", 11.1, 8.9, 30.18, None, 3, None, 17, 53),
    ("Seattle, WA", "KSEA", 8.9, 7.2, 29.92, 170, 9, None, 17, 53),
]


@pytest.mark.parametrize("row", CONDITIONS, ids=lambda r: r[1])
def test_conditions(reader, places, row):
    place, code, temp, dew, alt, wdir, speed, gust, hour, minute = row
    city = [c for c in places.find(place) if c.name == place.split(",")[0]][0]
    o = reader.conditions(city)
    assert o.decoded and o.station == code
    assert (o.temperature_c, o.dew_point_c, o.pressure_inhg) == (temp, dew, alt)
    assert (o.wind_direction_deg, o.wind_speed_kt, o.gust_kt) == (wdir, speed, gust)
    assert o.wind_variable == (wdir is None)
    assert o.time.tzinfo == datetime.timezone.utc
    assert (o.time.day, o.time.hour, o.time.minute) == (5, hour, minute)


def test_the_seven_products_of_boston(reader, places):
    boston = places.city("ma", 2507000)
    texts = {
        name: getattr(reader, name)(boston)
        for name in ("forecast", "warnings", "watches", "statements",
                     "public", "discussion", "summary")
    }
    assert "Including the cities of Cambridge, Boston, and Quincy" in texts["forecast"]
    assert texts["warnings"].startswith("Eastern Essex-Southeast Middlesex")
    assert texts["statements"].startswith("Southeast Middlesex-Suffolk")
    assert texts["public"].startswith("PNSBOX\n")
    assert texts["discussion"].startswith("AFDBOX\n")
    assert texts["summary"].startswith("RWSBOS\n")
    assert texts["watches"] == ""  # no watch covers Boston today
    assert not any("\r" in text for text in texts.values())


def test_progress_messages_go_to_the_callable(sample_server, places):
    messages = []
    reader = stratus.Reader(
        {"ConditionsBase": sample_server + "weather/current/"}, messages.append
    )
    reader.conditions(places.city("ia", 1921000))
    assert messages == ["Getting current conditions...", "Reading data from server..."]

    def fails(message):
        raise RuntimeError("stop: " + message)

    failing = stratus.Reader({"ConditionsBase": sample_server + "weather/current/"}, fails)
    with pytest.raises(RuntimeError, match="stop: Getting current conditions"):
        failing.conditions(places.city("ia", 1921000))


def test_settings():
    defaults = stratus.Reader().settings
    assert defaults == {
        "UseProxy": 0,
        "ProxyLocation": "",
        "ConditionsBase": "http://127.0.0.1:8086/weather/current/",
        "WarningsBase": "http://127.0.0.1:8086/iwin/",
    }
    given = stratus.Reader({"UseProxy": True, "ProxyLocation": "127.0.0.1:1"}).settings
    assert (given["UseProxy"], given["ProxyLocation"]) == (1, "127.0.0.1:1")
    with pytest.raises(KeyError, match="ConditionBase"):
        stratus.Reader({"ConditionBase": "http://127.0.0.1/"})
    assert stratus.Reader({"WarningsBase": "HTTPS://127.0.0.1/"}).settings[
        "WarningsBase"] == "HTTPS://127.0.0.1/"
    for key, url in (("ConditionsBase", "file:///etc/"), ("WarningsBase", "127.0.0.1:8086/iwin/")):
        with pytest.raises(ValueError, match=f"{key} must be an http:// or https:// URL"):
            stratus.Reader({key: url})


def test_failures_raise_with_the_result_code(reader, places, tmp_path):
    tacoma = [c for c in places.find("tacoma, wa") if c.name == "Tacoma"][0]
    (tmp_path / "states.ldt").write_text("25\t1\tMassachusetts\tma\n")
    (tmp_path / "cities.ldt").write_text("2507000\t1\t25\tBoston\tazone(MAZ015)\n")
    codeless = stratus.Places(tmp_path).city("ma", 2507000)
    closed = stratus.Reader({"ConditionsBase": "http://127.0.0.1:1/",
                             "WarningsBase": "http://127.0.0.1:1/"})
    boston = places.city("ma", 2507000)
    cases = [
        (lambda: reader.conditions(tacoma), stratus.ConnectError, 6),  # no page
        (lambda: closed.conditions(boston), stratus.ConnectError, 6),
        (lambda: closed.forecast(boston), stratus.ConnectError, 6),
        (lambda: reader.conditions(codeless), stratus.DataError, 7),
        (lambda: reader.summary(codeless), stratus.NotFound, 3),
    ]
    for call, cls, code in cases:
        with pytest.raises(cls) as info:
            call()
        assert info.value.code == code


def test_a_waiting_fetch_releases_the_gil(places):
    # A server that accepts and never answers: the fetch waits on it in
    # another thread while this thread keeps running Python code.
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen()
    port = listener.getsockname()[1]
    reader = stratus.Reader({"ConditionsBase": f"http://127.0.0.1:{port}/"})
    outcome = []

    def fetch():
        try:
            reader.conditions(places.city("ma", 2507000))
        except stratus.ConnectError as e:
            outcome.append(e.code)

    thread = threading.Thread(target=fetch)
    thread.start()
    conn, _ = listener.accept()
    steps = 0
    deadline = time.monotonic() + 0.3
    while time.monotonic() < deadline:
        steps += 1
    assert thread.is_alive() and steps > 1000
    conn.close()
    listener.close()
    thread.join(timeout=30)
    assert outcome == [6]
