#!/usr/bin/env bash
# Builds the Debian packages of stratus, for /usr, in build-deb/ (or
# $BUILD_DIR), and checks them with lintian:
#   libstratus0      the shared library and the US location data
#   libstratus-dev   headers, CMake package, pkg-config file
#   stratus          stratus, stratus-sample-server and its pages,
#                    stratus-gateway, their man pages, bash completion
#   python3-stratus  the Python module, when pybind11 and NumPy are there
# Install them as root with `apt-get install ./build-deb/*.deb`.
#
# usage: scripts/package.sh [CMAKE_OPTION...]
#   e.g. scripts/package.sh -DSTRATUS_WERROR=ON
#        scripts/package.sh -DSTRATUS_PYTHON=OFF   (no python3-stratus)
#
# Missing build packages are installed when run as root (dpkg-dev and file
# too: CPack reads the programs' library dependencies with
# dpkg-shlibdeps). lintian runs when it is installed (CI installs it); any
# finding (error, warning or information) fails the script, except those
# overridden, each with its reason, in packaging/deb/lintian/.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-deb}

if [ "$(id -u)" -eq 0 ]; then
  STRATUS_DEPS_EXTRA="dpkg-dev file ${STRATUS_DEPS_EXTRA:-}" scripts/deps.sh
fi

# Debian's build flags (hardening: stack protector, fortify, relro; and
# now), without the debugging information: the packages carry stripped
# programs.
flags() { dpkg-buildflags --get "$1" | sed -e 's/\(^\| \)-g\( \|$\)/ /'; }
cxxflags="$(flags CPPFLAGS) $(flags CXXFLAGS)"
ldflags="$(flags LDFLAGS) -Wl,-z,now"

# For /usr: the library goes to /usr/lib/<triplet>, where the loader looks
# without a run path; the Python module to Debian's folder for the modules
# of packages, lib/python3/dist-packages.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" \
  -DSTRATUS_BUILD_TESTS=OFF -DSTRATUS_BUILD_BENCH=OFF \
  -DCMAKE_SKIP_INSTALL_RPATH=ON \
  -DSTRATUS_PYTHON_INSTALL_DIR=lib/python3/dist-packages "$@" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
# A warning of CPack's (a file outside every package, say) fails the build.
if grep -i 'warning' "$build/cpack.log"; then
  echo "package.sh: CPack warned (see $build/cpack.log)" >&2
  exit 1
fi

debs=("$build"/*.deb)
for d in "${debs[@]}"; do
  echo "$(basename "$d"): Depends: $(dpkg-deb -f "$d" Depends)"
done

if command -v lintian >/dev/null; then
  # The overrides (packaging/deb/lintian/, installed in each package) say
  # why a finding stays.
  lintian --fail-on error,warning,info --display-info "${debs[@]}"
  echo "lintian: no findings"
else
  echo "lintian is not installed (apt-get install lintian): the packages are not checked"
fi
echo "Packages in $build/; install them with: apt-get install ./$build/*.deb"
