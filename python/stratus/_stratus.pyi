"""The compiled part of the stratus package: observation reports, US
places, current conditions and text products, unit conversions."""

import datetime
import os
from typing import Callable, Iterable, Optional, Union

import numpy
import numpy.typing

__version__: str
MAX_LINE: int

class StratusError(Exception):
    """A failure of the library, carrying its result code."""

    code: int
    """The library's result code (L_NOTFOUND is 3, L_CONNECT 6, ...)."""
    result: str
    """The code's catalogue text, e.g. "L_CONNECT: Connection failed ..."."""

class NotFound(StratusError, LookupError):
    """Something asked for is not there: a place or state (L_NOTFOUND), or
    a page the server answered 404 for (L_CONNECT, with the attributes of
    ConnectError)."""

    url: Optional[str]
    status: Optional[int]
    reason: str
    detail: str
    candidates: list[City]
    """Places.resolve of an ambiguous text: the cities that fit."""

class ConnectError(StratusError):
    """A page could not be fetched (L_CONNECT)."""

    url: Optional[str]
    """The page asked for."""
    status: Optional[int]
    """The HTTP status; None when nothing answered."""
    reason: str
    """The reason phrase, or what the transfer said."""
    detail: str
    """The first line of a plain-text error body, or ''."""

class TextCutWarning(UserWarning):
    """A product's text was larger than the reader takes (4 MiB)."""

class DataError(StratusError):
    """Data that could not be read or used (L_OPEN, L_DB, ...)."""

class Observation:
    """One decoded report; each value is None where the report lacks it
    (weather and sky: empty lists)."""

    @property
    def decoded(self) -> bool:
        """True when at least one group of the observation was read with a
        value (time, wind, visibility, runway visual range, weather, sky,
        temperature or dew point, altimeter, sea-level pressure); the head
        alone (station, report type, COR, AUTO), groups coded as missing or
        out of range, and a NIL report are not an observation: "KEWR",
        "METAR KEWR", "SPECI" and "METAR COR KEWR" give False."""
    @property
    def station(self) -> Optional[str]:
        """The station code the report begins with ("KDSM")."""
    @property
    def time(self) -> Optional[datetime.datetime]:
        """The report time, an aware datetime in UTC."""
    @property
    def wind_variable(self) -> bool:
        """True when the wind direction is reported as variable ("VRB")."""
    @property
    def report_type(self) -> Optional[str]:
        """"METAR" or "SPECI" when the report begins with the word."""
    @property
    def temperature_c(self) -> Optional[float]:
        """Air temperature, degrees Celsius (tenths from the remarks)."""
    @property
    def dew_point_c(self) -> Optional[float]:
        """Dew point, degrees Celsius."""
    @property
    def pressure_inhg(self) -> Optional[float]:
        """Altimeter setting, inches of mercury (A, else Q converted)."""
    @property
    def altimeter_hpa(self) -> Optional[float]:
        """Altimeter setting as coded in hectopascals ("Q1008")."""
    @property
    def sea_level_pressure_hpa(self) -> Optional[float]:
        """Sea-level pressure from the remarks ("SLP132": 1013.2)."""
    @property
    def wind_direction_deg(self) -> Optional[int]:
        """Direction the wind blows from, degrees; None when variable."""
    @property
    def wind_variable_from_deg(self) -> Optional[int]:
        """Start of the range the direction varies over ("240V300")."""
    @property
    def wind_variable_to_deg(self) -> Optional[int]:
        """End of the range the direction varies over."""
    @property
    def wind_speed_kt(self) -> Optional[float]:
        """Wind speed, knots (converted from m/s or km/h)."""
    @property
    def gust_kt(self) -> Optional[float]:
        """Gust speed, knots; None when the wind has no gust."""
    @property
    def visibility_mi(self) -> Optional[float]:
        """Prevailing visibility, statute miles."""
    @property
    def visibility_m(self) -> Optional[float]:
        """Prevailing visibility, metres."""
    @property
    def visibility_bound(self) -> Optional[int]:
        """-1 "less than" (M1/4SM, 0000), 1 "more than" (P6SM, 9999,
        CAVOK), else 0."""
    @property
    def ceiling_ft(self) -> Optional[int]:
        """Lowest broken or overcast layer or vertical visibility, feet."""
    @property
    def flight_category(self) -> Optional[str]:
        """"VFR", "MVFR", "IFR" or "LIFR"; None when not known."""
    @property
    def weather(self) -> list[str]:
        """The present-weather groups as coded (["-SN", "BR"])."""
    @property
    def sky(self) -> list[tuple[str, Optional[int], Optional[str]]]:
        """The sky layers, lowest first: (cover, height_ft, type), cover
        "CLR", "NSC", "NCD", "FEW", "SCT", "BKN", "OVC" or "VV", type "CB",
        "TCU" or None."""
    def as_dict(self) -> dict[str, object]:
        """The attributes as a dict, keyed as decode_many's columns."""

def decode(report: str, *, strict: bool = False) -> Observation:
    """Decodes one METAR/SPECI report completely (US or international
    coding); decoded == False when it holds no observation. strict=True:
    the narrow reading, which stops at the first group it does not know and
    reads only time, wind, temperature, dew point and altimeter."""

def decode_texts(
    reports: Union[
        Iterable[str], numpy.typing.NDArray[numpy.str_], numpy.typing.NDArray[numpy.bytes_]
    ],
) -> dict[str, numpy.ndarray]:
    """decode_many of texts in memory."""

def decode_file(fd: int, name: object) -> tuple[dict[str, numpy.ndarray], int, int]:
    """decode_many of an open file: the columns, the number of lines longer
    than MAX_LINE (skipped) and the first of them (0 when none)."""

class State:
    """A state of the location data."""

    @property
    def id(self) -> int:
        """The state's id (19 for Iowa)."""
    @property
    def name(self) -> str:
        """Full name ("Iowa")."""
    @property
    def short_name(self) -> str:
        """Short name as in product URLs ("ia")."""

class City:
    """A city of the location data."""

    @property
    def id(self) -> int:
        """The city's id (1921000)."""
    @property
    def state_id(self) -> int:
        """The id of its state."""
    @property
    def name(self) -> str:
        """The city's name ("Des Moines")."""
    @property
    def state(self) -> str:
        """The short name of its state ("ia")."""
    @property
    def state_name(self) -> str:
        """The full name of its state ("Iowa")."""
    @property
    def data(self) -> str:
        """The city data string of key(value) entries."""
    @property
    def zone(self) -> Optional[str]:
        """The forecast zone ("IAZ060")."""
    @property
    def code(self) -> Optional[str]:
        """The station code of its conditions ("KDSM")."""
    @property
    def county(self) -> Optional[str]:
        """The county, where the data set gives it."""
    @property
    def office(self) -> Optional[str]:
        """The forecast office, where the data set gives it."""
    @property
    def latitude(self) -> Optional[float]:
        """Decimal degrees north, where the data set gives it."""
    @property
    def longitude(self) -> Optional[float]:
        """Decimal degrees east (negative: west), where the data set gives it."""
    @property
    def label(self) -> str:
        """"Des Moines, IA"."""

_StateRef = Union[int, str, State]

class Places:
    """The location database on a folder of the four .ldt files."""

    def __init__(self, data_dir: Union[None, str, os.PathLike[str]] = None) -> None:
        """None: the bundled US data. DataError when it cannot be read."""
    @property
    def data_dir(self) -> str:
        """The folder of the data files."""
    def states(self) -> list[State]:
        """Every state, in file order."""
    def state(self, state: _StateRef) -> State:
        """A state by id, short or full name (any case); NotFound if none."""
    def cities(self, state: _StateRef) -> list[City]:
        """The cities of a state, in file order."""
    def city(self, state: _StateRef, id: int) -> City:
        """One city of a state by id; NotFound if the state has none."""
    def resolve(self, text: str) -> City:
        """The city a place text names: a city id, "City, ST", a name only
        one state has, a ZIP code, a station code or "lat,lon" (within 300
        km). NotFound saying why, or with `candidates` when several fit."""
    def find(self, text: str) -> list[City]:
        """[the city] when resolve finds one; else the cities whose name
        contains `text` (any case; "name, ST" looks in one state)."""

class Reader:
    """Current conditions and text products of a city, over HTTP."""

    PRODUCTS: tuple[str, ...]
    """The names of the product getters, in the library's order."""
    def __init__(
        self,
        settings: Optional[dict[str, Union[str, int]]] = None,
        progress: Optional[Callable[[str], object]] = None,
        *,
        settings_file: Union[None, str, os.PathLike[str]] = None,
        sections: str = "ugc",
    ) -> None:
        """settings: UseProxy, ProxyLocation, ConditionsBase, WarningsBase
        (the missing ones from settings_file, else their defaults; KeyError
        for another key, ValueError for a value the library refuses);
        progress: given each status message; sections: "ugc" or "line"."""
    @property
    def settings(self) -> dict[str, Union[str, int]]:
        """The four settings, defaults filled in."""
    def conditions(self, city: Union[City, str], *, strict: bool = False) -> Observation:
        """The current report at the city's station, read completely
        (strict=True: narrowly)."""
    def forecast(self, city: Union[City, str]) -> str:
        """The city's zone forecast; '' when the page has none for it."""
    def warnings(self, city: Union[City, str]) -> str:
        """Warnings for the city's zone."""
    def watches(self, city: Union[City, str]) -> str:
        """Watches for the city's zone."""
    def statements(self, city: Union[City, str]) -> str:
        """Special statements for the city's zone."""
    def public(self, city: Union[City, str]) -> str:
        """Public information statements for the city."""
    def discussion(self, city: Union[City, str]) -> str:
        """The forecast discussion for the city."""
    def summary(self, city: Union[City, str]) -> str:
        """The weather summary for the city."""

def knots_to_mph(knots: int) -> float:
    """Whole knots to miles per hour, by table (0..209); 999.99 above."""

def mph_to_kmh(mph: float) -> float:
    """Miles per hour to kilometres per hour."""

def kmh_to_mph(kmh: float) -> float:
    """Kilometres per hour to miles per hour."""

def inhg_to_mmhg(inhg: float) -> float:
    """Inches of mercury to millimetres of mercury."""

def inhg_to_hpa(inhg: float) -> float:
    """Inches of mercury to hectopascals."""

def c_to_f(celsius: float) -> float:
    """Degrees Celsius to degrees Fahrenheit."""

def f_to_c(fahrenheit: float) -> float:
    """Degrees Fahrenheit to degrees Celsius."""
