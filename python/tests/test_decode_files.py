"""decode_many(path) on files of every shape, and where one report ends."""

import errno
import math
import os
import pathlib

import numpy as np
import pytest

import stratus

# Two reports read by hand: KAAA has a few clouds at 11,000 ft and 10 SM
# (no ceiling, VFR); KBBB is overcast at 500 ft with 1/2 SM (ceiling 500 ft,
# LIFR: below 1 SM).
KAAA = "KAAA 051754Z 32015KT 10SM FEW110 M04/M06 A2998"
KBBB = "KBBB 051754Z 32015KT 1/2SM OVC005 M04/M06 A2987"


def rows(path):
    return stratus.decode_many(path)


# Purpose: CR, LF and CR LF each end a line, so a report never takes a
# group (here KBBB's OVC005) from the line after it.
@pytest.mark.parametrize("end", ["\r", "\n", "\r\n"], ids=["CR", "LF", "CRLF"])
def test_every_line_end_ends_a_report(tmp_path, end):
    path = tmp_path / "two.txt"
    path.write_bytes((KAAA + end + KBBB + end).encode())
    got = rows(path)
    assert list(got["station"]) == ["KAAA", "KBBB"], repr(end)
    assert math.isnan(got["ceiling_ft"][0]) and got["ceiling_ft"][1] == 500
    assert list(got["flight_category"]) == ["VFR", "LIFR"]
    # A str holds one report: its own line end is fine, a second line not.
    assert stratus.decode(KAAA + end).ceiling_ft is None
    with pytest.raises(ValueError, match="the report holds more than one line"):
        stratus.decode(KAAA + end + KBBB)
    with pytest.raises(ValueError, match="item 1 holds more than one line"):
        stratus.decode_many([KBBB, KAAA + end + KBBB])
    with pytest.raises(ValueError, match="item 0 holds more than one line"):
        stratus.decode_many(np.array([KAAA + end + KBBB]))


def test_line_count_of_mixed_ends_and_a_crlf_across_chunks(tmp_path):
    cases = {
        # text: the stations of its rows ('' for a line without one); a
        # blank line is no report and gives no row
        "A\rB\nC\r\nD": ["", "", "", ""],
        KAAA + "\r\r\n" + KBBB: ["KAAA", "KBBB"],
        KAAA + "\n\n": ["KAAA"],
        "": [],
    }
    for k, (text, stations) in enumerate(cases.items()):
        path = tmp_path / f"case{k}.txt"
        path.write_bytes(text.encode())
        assert list(rows(path)["station"]) == stations, repr(text)
    # The file is read in 1 MiB chunks: 1023 lines of 1024 bytes, then one
    # whose CR is the chunk's last byte and whose LF the next chunk's first.
    filler = ("X" * 1023 + "\n") * 1023
    last = "Y" * (2**20 - len(filler) - 1)
    path = tmp_path / "split.txt"
    path.write_bytes((filler + last + "\r\n" + KBBB).encode())
    got = rows(path)
    assert len(got["station"]) == 1025
    assert got["station"][-1] == "KBBB"


def test_long_lines_are_skipped_with_a_warning(tmp_path):
    path = tmp_path / "long.txt"
    # A report followed by 200,000 bytes of junk, NULs, then a report.
    path.write_bytes((KAAA + " " + "Q" * 200_000 + "\n" + "\0" * 100_000 + "\n"
                      + KBBB + "\n").encode())
    with pytest.warns(UserWarning,
                      match=r"2 line\(s\) longer than 65536 bytes skipped.*line 1\)"):
        got = rows(path)
    assert list(got["station"]) == ["KBBB"]
    assert got["ceiling_ft"][0] == 500
    assert stratus.MAX_LINE == 65536


def test_paths_are_taken_and_refused_as_open_does(tmp_path):
    path = tmp_path / "one.txt"
    path.write_text(KBBB + "\n")
    for form in (str(path), os.fsencode(path), path):
        assert list(rows(form)["station"]) == ["KBBB"], repr(form)

    class Bytes(os.PathLike):
        def __fspath__(self):
            return os.fsencode(path)

    assert list(rows(Bytes())["station"]) == ["KBBB"]
    with pytest.raises(ValueError, match="null"):
        rows(str(path) + "\0junk")
    with pytest.raises(FileNotFoundError):
        rows(tmp_path / "missing.txt")
    with pytest.raises(IsADirectoryError):
        rows(tmp_path)
    with pytest.raises(TypeError):
        rows(42)


# Purpose: only a regular file is read; a FIFO does not block, an endless
# device is not read until memory runs out.
def test_only_regular_files_are_read(tmp_path):
    fifo = tmp_path / "fifo"
    os.mkfifo(fifo)
    for special in (fifo, pathlib.Path("/dev/zero"), pathlib.Path("/dev/urandom")):
        with pytest.raises(OSError, match="not a regular file") as info:
            rows(special)
        assert info.value.errno == errno.EINVAL
        assert info.value.filename == special


@pytest.mark.skipif(os.geteuid() == 0, reason="root reads any file")
def test_a_file_the_user_may_not_read(tmp_path):
    path = tmp_path / "secret.txt"
    path.write_text(KBBB + "\n")
    path.chmod(0)
    with pytest.raises(PermissionError):
        rows(path)

