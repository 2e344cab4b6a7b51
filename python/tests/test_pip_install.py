"""The pip route: pip builds the package from the source tree with what
Debian installs (no index reached) into a fresh venv that sees the system's
packages, and the module then imports from outside the source tree and finds
its data. The CMake build of the wheel is kept between runs
($STRATUS_WHEEL_BUILD_DIR), so only the first run builds the library."""

import os
import pathlib
import subprocess
import sys
import zipfile

import pytest

ROOT = pathlib.Path(os.environ.get("STRATUS_SOURCE_DIR", pathlib.Path(__file__).parents[2]))

# Run by the installed module, from a folder outside the source tree.
CHECK = """
import stratus
places = stratus.Places()
print(stratus.__file__)
print(places.data_dir)
print(places.resolve("50309").label)
print(stratus.decode("KDSM 051754Z 32015G24KT 3SM -SN OVC012 M04/M06 A2987").ceiling_ft)
"""


def run(args, **kw):
    # Neither this build's module nor a sanitizer runtime may leak into the
    # programs pip starts.
    env = {k: v for k, v in os.environ.items()
           if k not in ("PYTHONPATH", "LD_PRELOAD", "ASAN_OPTIONS")}
    done = subprocess.run([str(a) for a in args], env=env, capture_output=True,
                          text=True, timeout=600, **kw)
    assert done.returncode == 0, f"{args}\n{done.stdout}\n{done.stderr}"
    return done.stdout


def test_pip_install_into_a_venv_then_import(tmp_path):
    pytest.importorskip("venv")
    pytest.importorskip("pip")
    venv = tmp_path / "venv"
    run([sys.executable, "-m", "venv", "--system-site-packages", venv])
    python = venv / "bin" / "python"
    run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index",
         "--no-cache-dir", ROOT])
    module, data, place, ceiling = run([python, "-c", CHECK], cwd=tmp_path).split("\n")[:4]
    site = venv / "lib" / f"python{sys.version_info[0]}.{sys.version_info[1]}"
    assert pathlib.Path(module).is_relative_to(site), module
    assert pathlib.Path(data) == pathlib.Path(module).parent / "data" / "us"
    assert (place, ceiling) == ("Des Moines, IA", "1200")


def test_pip_wheel_carries_the_library_and_the_data(tmp_path):
    run([sys.executable, "-m", "pip", "wheel", "--no-build-isolation", "--no-index",
         "--no-deps", "--no-cache-dir", "-w", tmp_path, ROOT])
    (wheel,) = tmp_path.glob("stratus-*.whl")
    names = set(zipfile.ZipFile(wheel).namelist())
    for name in ("stratus/__init__.py", "stratus/_stratus.pyi", "stratus/py.typed",
                 "stratus/libstratus.so.0", "stratus/data/us/cities.ldt",
                 "stratus/data/us/zips.tsv"):
        assert name in names, name
    assert any(n.startswith("stratus/_stratus.cpython-") for n in names)
