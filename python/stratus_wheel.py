"""The build backend of pyproject.toml (PEP 517): the package is built by
the project's CMake build and packed into a wheel here, so pip needs no
other build tool (no setuptools, no registry).

The CMake build runs in $STRATUS_WHEEL_BUILD_DIR, or else in build-wheel/ of
the source tree, and is kept, so a second build is quick. It uses the
interpreter that runs pip (a venv's too) and builds only the module, with
STRATUS_PYTHON_WHEEL on: libstratus is copied beside the module, which
finds it there ($ORIGIN), and the US data set into the package's data/us,
where Places() looks first.
"""

import base64
import csv
import hashlib
import io
import os
import pathlib
import re
import subprocess
import sys
import sysconfig
import tarfile
import tomllib
import zipfile

ROOT = pathlib.Path(__file__).resolve().parents[1]


def _version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(stratus VERSION ([0-9.]+)", text).group(1)


def _project():
    with open(ROOT / "pyproject.toml", "rb") as f:
        return tomllib.load(f)["project"]


def _tag():
    """cp311-cp311-linux_x86_64: this interpreter, its ABI, this machine."""
    impl = f"cp{sys.version_info[0]}{sys.version_info[1]}"
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"{impl}-{impl}-{platform}"


def _build_package():
    """Builds the package with CMake; returns its folder."""
    build = pathlib.Path(os.environ.get("STRATUS_WHEEL_BUILD_DIR", ROOT / "build-wheel"))
    subprocess.run(
        ["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
         "-DSTRATUS_BUILD_TESTS=OFF", "-DSTRATUS_BUILD_TOOLS=OFF",
         "-DSTRATUS_INSTALL=OFF", "-DSTRATUS_PYTHON=ON", "-DSTRATUS_PYTHON_WHEEL=ON",
         f"-DPython3_EXECUTABLE={sys.executable}"],
        check=True, stdout=sys.stderr)
    jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
    subprocess.run(["cmake", "--build", str(build), "--target", "stratus_python",
                    "-j", jobs], check=True, stdout=sys.stderr)
    return build / "python" / "stratus"


def _metadata(version):
    p = _project()
    lines = ["Metadata-Version: 2.1", f"Name: {p['name']}", f"Version: {version}",
             f"Summary: {p['description']}", f"Requires-Python: {p['requires-python']}"]
    lines += [f"Requires-Dist: {d}" for d in p.get("dependencies", [])]
    for extra, deps in p.get("optional-dependencies", {}).items():
        lines.append(f"Provides-Extra: {extra}")
        lines += [f'Requires-Dist: {d}; extra == "{extra}"' for d in deps]
    lines.append("Description-Content-Type: text/markdown")
    return "\n".join(lines) + "\n\n" + (ROOT / p["readme"]).read_text()


def _record_row(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=")
    return [name, "sha256=" + digest.decode(), str(len(data))]


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    package = _build_package()
    version = _version()
    name = f"stratus-{version}-{_tag()}.whl"
    info = f"stratus-{version}.dist-info"
    files = {}
    for path in sorted(package.rglob("*")):
        if path.is_file() and "__pycache__" not in path.parts:
            files["stratus/" + path.relative_to(package).as_posix()] = path.read_bytes()
    files[f"{info}/METADATA"] = _metadata(version).encode()
    files[f"{info}/WHEEL"] = (
        "Wheel-Version: 1.0\nGenerator: stratus_wheel\nRoot-Is-Purelib: false\n"
        f"Tag: {_tag()}\n").encode()
    files[f"{info}/top_level.txt"] = b"stratus\n"
    record = io.StringIO()
    writer = csv.writer(record, lineterminator="\n")
    for path, data in files.items():
        writer.writerow(_record_row(path, data))
    writer.writerow([f"{info}/RECORD", "", ""])
    files[f"{info}/RECORD"] = record.getvalue().encode()
    with zipfile.ZipFile(os.path.join(wheel_directory, name), "w",
                         zipfile.ZIP_DEFLATED) as wheel:
        for path, data in files.items():
            entry = zipfile.ZipInfo(path, date_time=(2020, 1, 1, 0, 0, 0))
            # Shared objects keep their execute bits.
            mode = 0o755 if ".so" in path else 0o644
            entry.external_attr = (0o100000 | mode) << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(entry, data)
    return name


def build_sdist(sdist_directory, config_settings=None):
    """The source tree's tracked files (git ls-files) as stratus-V.tar.gz."""
    version = _version()
    listed = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, check=True,
                            capture_output=True).stdout.decode().split("\0")
    name = f"stratus-{version}.tar.gz"
    with tarfile.open(os.path.join(sdist_directory, name), "w:gz") as tar:
        for path in filter(None, listed):
            tar.add(ROOT / path, f"stratus-{version}/{path}", recursive=False)
        meta = _metadata(version).encode()
        entry = tarfile.TarInfo(f"stratus-{version}/PKG-INFO")
        entry.size = len(meta)
        tar.addfile(entry, io.BytesIO(meta))
    return name


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []
