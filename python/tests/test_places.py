"""Places on the bundled US data and on a small data folder of its own."""

import pytest

import stratus


@pytest.fixture(scope="module")
def places():
    return stratus.Places()


def test_states_of_the_bundled_data(places):
    states = places.states()
    assert len(states) == 52  # the 50 states, DC and Puerto Rico
    iowa = places.state("ia")
    assert (iowa.id, iowa.name, iowa.short_name) == (19, "Iowa", "ia")
    for ref in (19, "IA", " iowa ", iowa):
        assert places.state(ref).id == 19


def test_cities_and_their_data_values(places):
    iowa = places.cities("ia")
    dsm = [c for c in iowa if c.name == "Des Moines"]
    assert len(dsm) == 1
    c = dsm[0]
    assert (c.id, c.state_id, c.state) == (1921000, 19, "ia")
    assert (c.zone, c.code) == ("IAZ060", "KDSM")
    # Polk County and the Des Moines office, as the weather service's
    # zone-county table gives them for zone IAZ060.
    assert (c.county, c.office) == ("IAC153", "DMX")
    assert c.data.startswith("azone(IAZ060)acode(KDSM)acounty(IAC153)")
    one = places.city("Iowa", 1921000)
    assert (one.name, one.zone, one.code) == ("Des Moines", "IAZ060", "KDSM")
    assert all(city.state_id == 19 for city in iowa)


@pytest.mark.parametrize(
    "text, expected",
    [
        # Any case, substring, every state.
        ("des moines", {("Des Moines", "ia"), ("West Des Moines", "ia"),
                        ("Des Moines", "nm"), ("Des Moines", "wa")}),
        ("DES MOINES, WA", {("Des Moines", "wa")}),
        ("Boston, Massachusetts", {("Boston", "ma")}),
        ("no such place", set()),
        # Forms that name one place: [that city].
        ("50309", {("Des Moines", "ia")}),
        ("KDSM", {("Des Moines", "ia")}),
        ("41.59,-93.62", {("Des Moines", "ia")}),
        ("1921000", {("Des Moines", "ia")}),
    ],
)
def test_find(places, text, expected):
    assert {(c.name, c.state) for c in places.find(text)} == expected


def test_county_and_office_come_from_the_city_data(tmp_path):
    (tmp_path / "states.ldt").write_text("19\t1\tIowa\tia\n")
    (tmp_path / "cities.ldt").write_text(
        "1921000\t1\t19\tDes Moines\tazone(IAZ060)acode(KDSM)"
        "acounty(Polk)aoffice(DMX)\n"
        "1983910\t1\t19\tWest Des Moines\tazone(IAZ060)acode(KDSM)\n"
    )
    places = stratus.Places(tmp_path)
    assert places.data_dir == str(tmp_path)
    dsm, west = places.cities(19)
    assert (dsm.county, dsm.office) == ("Polk", "DMX")
    assert (west.county, west.office) == (None, None)


def test_failures_carry_the_result_code(places, tmp_path):
    cases = [
        (lambda: places.state("zz"), stratus.NotFound, 3),
        (lambda: places.cities(99), stratus.NotFound, 3),
        (lambda: places.city("ma", 1921000), stratus.NotFound, 3),
        (lambda: places.find("Springfield, ZZ"), stratus.NotFound, 3),
        (lambda: stratus.Places(tmp_path / "missing"), stratus.DataError, 12),
    ]
    for call, cls, code in cases:
        with pytest.raises(cls) as info:
            call()
        assert isinstance(info.value, stratus.StratusError)
        assert info.value.code == code
        assert info.value.result.startswith(("L_NOTFOUND:", "L_OPEN:"))
    assert issubclass(stratus.NotFound, LookupError)
    for cls in (stratus.ConnectError, stratus.DataError):
        assert issubclass(cls, stratus.StratusError)
    with pytest.raises(TypeError):
        places.cities(1.5)
    for too_big in (2**70, 2**32, -1):
        with pytest.raises((OverflowError, ValueError)):
            places.state(too_big)
        with pytest.raises((OverflowError, ValueError)):
            places.city("ia", too_big)


def test_resolve_says_why_or_lists_the_candidates(places):
    dsm = places.resolve("Des Moines, IA")
    assert (dsm.id, dsm.label, dsm.state_name) == (1921000, "Des Moines, IA", "Iowa")
    # 41.59 N, 93.62 W: 2 km from its centre.
    assert abs(dsm.latitude - 41.59) < 0.05 and abs(dsm.longitude + 93.62) < 0.05
    with pytest.raises(stratus.NotFound, match="no ZIP code 99999"):
        places.resolve("99999")
    with pytest.raises(stratus.NotFound, match="matches 3 places") as info:
        places.resolve("Des Moines")
    assert {c.state for c in info.value.candidates} == {"ia", "nm", "wa"}
