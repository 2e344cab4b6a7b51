"""Fixtures of the Python module's tests: the real report sample, the
shared corpus when present, and the sample weather server on a free port."""

import os
import pathlib
import re
import subprocess

import pytest

DATA = pathlib.Path(__file__).parent / "data"


@pytest.fixture(scope="session")
def sample_reports():
    """The real reports shipped with the tests (data/README.md)."""
    return (DATA / "metar-us.txt").read_text().splitlines()


@pytest.fixture(scope="session")
def corpus_path():
    """corpus/metar/us.txt of the shared folder; skips when it is absent."""
    shared = pathlib.Path(os.environ.get("STRATUS_SHARED_DIR", "../shared"))
    path = shared / "corpus" / "metar" / "us.txt"
    if not path.is_file():
        pytest.skip(f"shared corpus not found ({path}); set STRATUS_SHARED_DIR")
    return path


@pytest.fixture(scope="session")
def sample_server():
    """The base URL of stratus-sample-server, started on a free port."""
    binary = os.environ.get("STRATUS_SAMPLE_SERVER", "")
    if not os.access(binary, os.X_OK):
        pytest.skip("stratus-sample-server not built (STRATUS_SAMPLE_SERVER)")
    server = subprocess.Popen(
        [binary, "--port", "0"], stdout=subprocess.PIPE, text=True
    )
    try:
        banner = server.stdout.readline()
        match = re.search(r" on (http://\S+)$", banner)
        assert match, f"no address in the server's banner: {banner!r}"
        yield match.group(1)
    finally:
        server.terminate()
        server.wait(timeout=10)
