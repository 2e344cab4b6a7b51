"""Weather data from libstratus: observation reports decoded one at a time
(decode) or many at once into NumPy arrays (decode_many), the US location
database (Places), current conditions and text products (Reader), and unit
conversions.

The compiled extension stratus._stratus holds the bindings; this package
re-exports them and adds what is plain Python: the reading of report files
by path and the pandas frames.
"""

from __future__ import annotations

import errno
import os
import stat
import warnings
from typing import TYPE_CHECKING, Any, Union

from . import _stratus
from ._stratus import MAX_LINE as MAX_LINE
from ._stratus import City as City
from ._stratus import ConnectError as ConnectError
from ._stratus import DataError as DataError
from ._stratus import NotFound as NotFound
from ._stratus import Observation as Observation
from ._stratus import Places as Places
from ._stratus import Reader as Reader
from ._stratus import State as State
from ._stratus import StratusError as StratusError
from ._stratus import TextCutWarning as TextCutWarning
from ._stratus import __version__ as __version__
from ._stratus import c_to_f as c_to_f
from ._stratus import decode as decode
from ._stratus import f_to_c as f_to_c
from ._stratus import inhg_to_hpa as inhg_to_hpa
from ._stratus import inhg_to_mmhg as inhg_to_mmhg
from ._stratus import kmh_to_mph as kmh_to_mph
from ._stratus import knots_to_mph as knots_to_mph
from ._stratus import mph_to_kmh as mph_to_kmh

if TYPE_CHECKING:
    import typing

    import numpy
    import numpy.typing

    _Reports = Union[
        typing.Iterable[str],
        numpy.typing.NDArray[numpy.str_],
        numpy.typing.NDArray[numpy.bytes_],
        str,
        bytes,
        os.PathLike[str],
        os.PathLike[bytes],
    ]

__all__ = [
    "City",
    "ConnectError",
    "DataError",
    "MAX_LINE",
    "NotFound",
    "Observation",
    "Places",
    "Reader",
    "State",
    "StratusError",
    "TextCutWarning",
    "c_to_f",
    "decode",
    "decode_many",
    "f_to_c",
    "inhg_to_hpa",
    "inhg_to_mmhg",
    "kmh_to_mph",
    "knots_to_mph",
    "mph_to_kmh",
]


def decode_many(reports: _Reports, *, pandas: bool = False) -> Any:
    """Decodes many reports with the GIL released, one row per report.

    `reports` is an iterable of str (each one report: one line), a NumPy
    str or bytes array (either byte order), or the path of a text file
    (str, bytes or os.PathLike, as open takes it) with one report per line.
    Returns a dict of NumPy arrays: station (<U4, '' when none), time
    (datetime64[s] UTC, NaT when missing), decoded (bool), the numeric values
    of Observation as float64 (NaN when missing), wind_variable (bool), and
    report_type, flight_category, weather and sky as object arrays of str
    ('' when none; weather "-SN BR", sky "FEW008 OVC012CB"). pandas=True
    returns a pandas.DataFrame of the same columns.

    A file is read in chunks of 1 MiB, so memory beyond the result stays
    bounded whatever the file holds. CR, LF and CR LF each end a line; a
    blank line gives no row; a line longer than MAX_LINE bytes is no report
    and gives no row, with a warning naming the first such line (the rule of
    stratus decode -). Only a regular file is read:
    a folder raises IsADirectoryError, a device, FIFO or socket OSError
    (EINVAL); other failures raise as open() does (FileNotFoundError,
    PermissionError, ValueError for a NUL in the path).

    TypeError names the index of a non-str item, ValueError that of an item
    with characters UTF-8 cannot encode or with text after a line end.
    """
    if isinstance(reports, (str, bytes, os.PathLike)):
        columns = _decode_path(reports)
    else:
        columns = _stratus.decode_texts(reports)
    if pandas:
        import pandas as pd  # type: ignore[import]

        return pd.DataFrame(columns)
    return columns


def _decode_path(
    path: Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]
) -> dict[str, Any]:
    # O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused
    # once fstat has said what the file is.
    fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK | os.O_CLOEXEC)
    try:
        mode = os.fstat(fd).st_mode
        if stat.S_ISDIR(mode):
            raise IsADirectoryError(errno.EISDIR, os.strerror(errno.EISDIR), path)
        if not stat.S_ISREG(mode):
            raise OSError(
                errno.EINVAL,
                "not a regular file (decode_many reads files of reports, "
                "not devices, FIFOs or sockets)",
                path,
            )
        columns, long_lines, first = _stratus.decode_file(fd, path)
    finally:
        os.close(fd)
    if long_lines:
        warnings.warn(
            f"{os.fsdecode(path)}: {long_lines} line(s) longer than {MAX_LINE} "
            f"bytes skipped, no report (the first: line {first})",
            stacklevel=3,
        )
    return columns
