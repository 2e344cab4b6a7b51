#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running stratus
# need. Run as root; packages already present are left as they are.
set -euo pipefail

packages=(
  build-essential cmake pkg-config      # compiler and build
  libcurl4-openssl-dev                  # page fetcher (HTTP client)
  libgtest-dev libbenchmark-dev         # tests and benchmarks
  libcpp-httplib-dev                    # sample server and loopback test servers
  tinyproxy                             # real proxy for the proxy tests
  nlohmann-json3-dev libcli11-dev       # command-line host: --json, arguments
  python3 weather-util-data             # the US location data converter and its source
  curl                                  # benchmark baseline, tour
  pybind11-dev python3-dev python3-numpy  # the Python module and its arrays
  python3-pip python3-venv              # the module's pip route and its test
  python3-pytest python3-mypy           # the Python module's tests, its stubs checked (stubtest)
  python3-pandas python3-dask python3-distributed  # DataFrames, archive example
)
if [ "${STRATUS_DEPS_EXTRA:-}" != "" ]; then
  read -r -a extra <<<"$STRATUS_DEPS_EXTRA"
  packages+=("${extra[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
