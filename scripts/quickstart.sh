#!/usr/bin/env bash
# The quick start: installs the Debian packages that are missing, builds the
# library, every program and the Python module in build/, installs them
# under /usr/local (programs on PATH, the module where Debian's python3
# looks, man pages where man looks, the library where the loader looks),
# runs the tour of the installed host against the sample server (which it
# stops again), and says what to type next. Run it as root; as another
# user it builds and tours the build folder's programs and installs
# nothing.
#
# usage: scripts/quickstart.sh
set -euo pipefail
cd "$(dirname "$0")/.."

prefix=/usr/local
root=
[ "$(id -u)" -eq 0 ] && root=1

if [ -n "$root" ]; then
  scripts/deps.sh
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
# What is installed, and no more: the tests are built by scripts/test.sh.
targets=(stratus stratus_cli stratus-sample-server stratus-gateway)
grep -q '^STRATUS_PYTHON:BOOL=ON' build/CMakeCache.txt && targets+=(stratus_python)
echo "Building ${targets[*]} in build/ ..."
cmake --build build -j"$(nproc)" --target "${targets[@]}" >/dev/null

if [ -z "$root" ]; then
  tools/tour.sh build 0
  echo
  echo "Not root, so nothing was installed. The programs are in build/tools/*/;"
  echo "install them as root with scripts/quickstart.sh or"
  echo "  cmake --install build && ldconfig"
  exit 0
fi

echo "Installing under $prefix ..."
cmake --install build --prefix "$prefix" >/dev/null
ldconfig  # libstratus.so.0 in $prefix/lib, for the Python module and hosts

# A program of the same name earlier on PATH (an older install elsewhere)
# would answer instead of the one just installed.
for p in stratus stratus-sample-server stratus-gateway; do
  found=$(command -v "$p" || true)
  if [ "$found" != "$prefix/bin/$p" ]; then
    echo "warning: \`$p\` runs ${found:-nothing}, not $prefix/bin/$p: check PATH" >&2
  fi
done

# The tour runs the installed programs; its server takes a free port and is
# stopped at its end.
tools/tour.sh --installed 0

if [ -x /usr/bin/python3 ] && grep -q '^STRATUS_PYTHON:BOOL=ON' build/CMakeCache.txt; then
  (cd / && /usr/bin/python3 -c 'import stratus') &&
    echo "The Python module imports in /usr/bin/python3."
fi

cat <<EOF

stratus is installed under $prefix. The sample weather server is not running;
start it, then ask for weather (see README.md, "The command-line host"):

  stratus-sample-server &
  stratus now "Boston, MA"
  stratus forecast "Seattle, WA"
  man stratus

Places it covers offline: stratus-sample-server --help.
EOF
