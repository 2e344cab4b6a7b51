"""The unit conversions against published and hand-computed values."""

import pytest

import stratus

CASES = [
    # Knots by the table of k * 1.1508 rounded to one decimal, half up.
    (stratus.knots_to_mph, 0, 0.0),
    (stratus.knots_to_mph, 1, 1.2),
    (stratus.knots_to_mph, 10, 11.5),
    (stratus.knots_to_mph, 125, 143.9),  # 143.85 exactly: rounds up
    (stratus.knots_to_mph, 209, 240.5),
    (stratus.knots_to_mph, 210, 999.99),
    (stratus.knots_to_mph, 4_000_000_000, 999.99),
    (stratus.knots_to_mph, 10**12, 999.99),
    (stratus.c_to_f, 100, 212.0),
    (stratus.c_to_f, -40, -40.0),
    (stratus.c_to_f, 21, 69.8),
    (stratus.f_to_c, 212, 100.0),
    (stratus.f_to_c, 32, 0.0),
    (stratus.mph_to_kmh, 100, 160.9),
    (stratus.inhg_to_hpa, 29.92, 1013.2049),  # standard atmosphere 1013.25
    (stratus.inhg_to_mmhg, 29.92, 759.968),  # 760 mmHg
]


@pytest.mark.parametrize("convert, value, expected", CASES)
def test_conversions(convert, value, expected):
    assert convert(value) == pytest.approx(expected, abs=1e-4)


def test_speed_conversions_undo_each_other():
    for mph in (1, 17.5, 100, 250):
        assert stratus.mph_to_kmh(stratus.kmh_to_mph(mph)) == pytest.approx(mph)


def test_negative_knots_are_refused():
    with pytest.raises(ValueError):
        stratus.knots_to_mph(-1)
