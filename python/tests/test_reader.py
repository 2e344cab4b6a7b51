"""The Reader against the real sample weather server on a free port."""

import datetime
import http.server
import os
import socket
import subprocess
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


def test_the_seven_products_of_boston(sample_server, places):
    # Cut by the library's default rule, each line judged on its own.
    reader = stratus.Reader({"WarningsBase": sample_server + "iwin/"}, sections="line")
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


def test_conditions_read_completely_or_strictly(reader, places):
    # KBOS 051754Z 27012G20KT 10SM FEW040 SCT250 06/M04 A3002 RMK AO2 SLP165
    # T00561044: the complete reading has the sky, the visibility and the
    # sea-level pressure; the narrow one stops before them.
    boston = places.resolve("KBOS")
    full = reader.conditions(boston)
    assert (full.visibility_mi, full.flight_category, full.sea_level_pressure_hpa) == (
        10, "VFR", 1016.5)
    assert full.sky == [("FEW", 4000, None), ("SCT", 25000, None)]
    narrow = reader.conditions(boston, strict=True)
    assert (narrow.visibility_mi, narrow.sky, narrow.sea_level_pressure_hpa) == (
        None, [], None)
    assert (narrow.station, narrow.temperature_c, narrow.gust_kt) == ("KBOS", 5.6, 20)
    # A place text names the same city; an ambiguous one names none.
    assert reader.conditions("02108").sea_level_pressure_hpa == 1016.5
    assert reader.forecast("Boston, MA") == reader.forecast(boston)
    with pytest.raises(stratus.NotFound) as ambiguous:
        reader.forecast("Denver")
    assert len(ambiguous.value.candidates) > 1


@pytest.fixture(scope="module")
def cli():
    binary = os.environ.get("STRATUS_CLI", "")
    if not os.access(binary, os.X_OK):
        pytest.skip("stratus not built (STRATUS_CLI)")
    return binary


@pytest.mark.parametrize("place,sections", [("Boston, MA", "ugc"), ("Seattle, WA", "ugc"),
                                            ("Boston, MA", "line")])
def test_products_equal_the_command_line_hosts_output(places, cli, sample_server,
                                                      tmp_path, place, sections):
    ini = tmp_path / "settings.ini"
    ini.write_text(f"[Internet]\nConditionsBase = {sample_server}weather/current/\n"
                   f"WarningsBase = {sample_server}iwin/\n")
    reader = stratus.Reader(settings_file=ini, sections=sections)
    city = places.resolve(place)
    assert stratus.Reader.PRODUCTS == ("warnings", "forecast", "discussion", "summary",
                                       "watches", "statements", "public")
    shown = 0
    for name in stratus.Reader.PRODUCTS:
        run = subprocess.run([cli, "--config", str(ini), "--sections", sections, name, place],
                             capture_output=True, timeout=60,
                             env=dict(os.environ, HOME=str(tmp_path)))
        text = getattr(reader, name)(city)
        # Nothing for the place: '' here, an error there.
        assert (run.returncode == 0) == (text != ""), (name, run.stderr)
        assert text.splitlines(True) == run.stdout.decode().splitlines(True), name
        shown += text != ""
    assert shown >= 4


class BigPage(http.server.BaseHTTPRequestHandler):
    """A warnings page whose one section for Boston's zone holds 5 MiB."""

    LINE = b"A LONG WARNING, LINE AFTER LINE\n"

    def do_GET(self):
        body = b"MAZ015-120000-\n" + self.LINE * ((5 << 20) // len(self.LINE))
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def test_text_over_the_readers_cap_comes_cut_with_a_warning(places):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), BigPage)
    thread = threading.Thread(target=server.serve_forever)
    thread.start()
    try:
        reader = stratus.Reader(
            {"WarningsBase": f"http://127.0.0.1:{server.server_port}/iwin/"})
        with pytest.warns(stratus.TextCutWarning, match="the warnings for Boston, MA"):
            text = reader.warnings(places.city("ma", 2507000))
    finally:
        server.shutdown()
        thread.join()
    lines = text.splitlines(True)
    line = BigPage.LINE.decode()
    # Whole lines up to the 4 MiB cap, where each line counts its 31
    # characters, the blank that joins it and one line end: 33 bytes.
    assert set(lines) == {line}
    assert len(lines) == (4 << 20) // 33 == 127100


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


def test_settings(tmp_path):
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
    refused = [("ConditionsBase", "file:///etc/"), ("WarningsBase", "127.0.0.1:8086/iwin/"),
               ("WarningsBase", "http:///iwin/"), ("UseProxy", "yes"),
               ("UseProxy", 2**40)]
    for key, value in refused:
        with pytest.raises(ValueError, match=key):
            stratus.Reader({key: value})
    # The settings file as the command-line host keeps it; the dict wins.
    ini = tmp_path / "settings.ini"
    ini.write_text("[Internet]\nconditionsbase = http://127.0.0.1:9/c/\n"
                   "WarningsBase = http://127.0.0.1:9/w/\n")
    mixed = stratus.Reader({"WarningsBase": "http://127.0.0.1:7/"},
                           settings_file=ini).settings
    assert (mixed["ConditionsBase"], mixed["WarningsBase"]) == (
        "http://127.0.0.1:9/c/", "http://127.0.0.1:7/")
    ini.write_text("[Internet]\nWarningsBase = ftp://127.0.0.1/\n")
    with pytest.raises(ValueError, match="line 2"):
        stratus.Reader(settings_file=ini)


def test_failures_raise_with_the_result_code(reader, places, tmp_path):
    tacoma = places.resolve("Tacoma, WA")
    (tmp_path / "states.ldt").write_text("25\t1\tMassachusetts\tma\n")
    (tmp_path / "cities.ldt").write_text("2507000\t1\t25\tBoston\tazone(MAZ015)\n")
    codeless = stratus.Places(tmp_path).city("ma", 2507000)
    closed = stratus.Reader({"ConditionsBase": "http://127.0.0.1:1/",
                             "WarningsBase": "http://127.0.0.1:1/"})
    boston = places.city("ma", 2507000)
    cases = [
        # call, class, code, the fetch's status, a part of the message
        (lambda: reader.conditions(tacoma), stratus.NotFound, 6, 404,
         "KTCM.html: the server answered 404 Not Found"),
        (lambda: closed.conditions(boston), stratus.ConnectError, 6, None,
         "http://127.0.0.1:1/KBOS.html: nothing answered"),
        (lambda: closed.forecast(boston), stratus.ConnectError, 6, None,
         "http://127.0.0.1:1/ma/zone.html: nothing answered"),
        (lambda: reader.conditions(codeless), stratus.DataError, 7, None, ""),
        (lambda: stratus.Reader(sections="line").summary(codeless), stratus.NotFound, 3,
         None, ""),
    ]
    for call, cls, code, status, message in cases:
        with pytest.raises(cls, match=message) as info:
            call()
        assert type(info.value) is cls and info.value.code == code, message
        assert getattr(info.value, "status", None) == status, message
    with pytest.raises(stratus.NotFound) as info:
        reader.conditions(tacoma)
    assert info.value.url.endswith("/weather/current/KTCM.html")
    assert info.value.reason == "Not Found"


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
