"""Weather data from libstratus: observation reports, US places, current
conditions and text products, unit conversions."""

import datetime
import os
from typing import Callable, Iterable, Optional, Union

import numpy
import numpy.typing

__version__: str

class StratusError(Exception):
    """A failure of the library, carrying its result code."""

    code: int
    """The library's result code (L_NOTFOUND is 3, L_CONNECT 6, ...)."""
    result: str
    """The code's catalogue text, e.g. "L_CONNECT: Connection failed ..."."""

class NotFound(StratusError, LookupError):
    """Something asked for is not there (L_NOTFOUND)."""

class ConnectError(StratusError):
    """A page could not be fetched (L_CONNECT)."""

class DataError(StratusError):
    """Data that could not be read or used (L_OPEN, L_DB, ...)."""

class Observation:
    """One decoded report; each value is None where the report lacks it
    (weather and sky: empty lists)."""

    @property
    def decoded(self) -> bool:
        """False when nothing at all was decoded from the report."""
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
    coding); decoded == False when nothing was. strict=True: the narrow
    reading, which stops at the first group it does not know and reads only
    time, wind, temperature, dew point and altimeter."""

def decode_many(
    reports: Union[Iterable[str], numpy.typing.NDArray[numpy.str_], str, os.PathLike[str]],
    *,
    pandas: bool = False,
) -> dict[str, numpy.ndarray]:
    """Decodes many reports with the GIL released into one array per field
    (station, time as datetime64[s], decoded, the numeric values as float64
    with NaN for missing, wind_variable; report_type, flight_category,
    weather "-SN BR" and sky "FEW008 OVC012CB" as object arrays of str, ''
    for none). A str
    or path names a text file of one report per line. pandas=True returns a
    pandas.DataFrame. TypeError for a non-str item, ValueError for an item
    UTF-8 cannot encode, OSError for a path that cannot be read."""

class State:
    """A state of the location data."""

    id: int
    name: str
    short_name: str

class City:
    """A city of the location data."""

    id: int
    state_id: int
    name: str
    state: str
    """The short name of its state ("ia")."""
    data: str
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

StateRef = Union[int, str, State]

class Places:
    """The location database on a folder of the four .ldt files."""

    def __init__(self, data_dir: Union[None, str, os.PathLike[str]] = None) -> None:
        """None: the bundled US data. DataError when it cannot be read."""
    @property
    def data_dir(self) -> str:
        """The folder of the data files."""
    def states(self) -> list[State]:
        """Every state, in file order."""
    def state(self, state: StateRef) -> State:
        """A state by id, short or full name (any case); NotFound if none."""
    def cities(self, state: StateRef) -> list[City]:
        """The cities of a state, in file order."""
    def city(self, state: StateRef, id: int) -> City:
        """One city of a state by id; NotFound if the state has none."""
    def find(self, text: str) -> list[City]:
        """Cities whose name contains `text` (any case); "name, ST" looks
        in one state."""

class Reader:
    """Current conditions and text products of a city, over HTTP."""

    def __init__(
        self,
        settings: Optional[dict[str, Union[str, int]]] = None,
        progress: Optional[Callable[[str], object]] = None,
    ) -> None:
        """settings: UseProxy, ProxyLocation, ConditionsBase, WarningsBase
        (missing ones take their defaults; KeyError for another key,
        ValueError for a base that is not an http:// or https:// URL);
        progress: given each status message."""
    @property
    def settings(self) -> dict[str, Union[str, int]]:
        """The four settings, defaults filled in."""
    def conditions(self, city: City) -> Observation:
        """The current conditions at the city's station."""
    def forecast(self, city: City) -> str:
        """The city's zone forecast; '' when the page has none for it."""
    def warnings(self, city: City) -> str:
        """Warnings for the city's zone."""
    def watches(self, city: City) -> str:
        """Watches for the city's zone."""
    def statements(self, city: City) -> str:
        """Special statements for the city's zone."""
    def public(self, city: City) -> str:
        """Public information statements for the city."""
    def discussion(self, city: City) -> str:
        """The forecast discussion for the city."""
    def summary(self, city: City) -> str:
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
