#!/usr/bin/env bash
# A short tour of the stratus command-line host: it starts the sample weather
# server, lists places, shows the current conditions and the forecast of a
# city, decodes a raw report, and stops the server again.
#
# usage: tools/tour.sh [BUILD_DIR] [PORT]
#        tools/tour.sh --installed [PORT]
#   BUILD_DIR  build folder holding tools/cli/stratus and
#              tools/sample_server/stratus-sample-server (default: build);
#              when they are not there, the installed programs on PATH run
#   --installed  run the installed programs found on PATH, even when a
#              build folder is at hand (e.g. after installing the packages)
#   PORT       port of the sample server (default 8086; 0 picks a free one)
#
# The tour keeps its settings in a temporary folder: the user's own settings
# file is neither read nor changed.
set -euo pipefail

installed=
if [ "${1:-}" = --installed ]; then
  installed=1
  shift
  set -- "" "$@"
fi
build=${1:-build}
port=${2:-8086}

if [ -z "$installed" ] && [ -x "$build/tools/cli/stratus" ]; then
  stratus_bin=$build/tools/cli/stratus
  server_bin=$build/tools/sample_server/stratus-sample-server
else
  stratus_bin=$(command -v stratus) || { echo "tour: no stratus on PATH" >&2; exit 1; }
  server_bin=$(command -v stratus-sample-server) || { echo "tour: no stratus-sample-server" >&2; exit 1; }
fi

work=$(mktemp -d)
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work

"$server_bin" --port "$port" >"$work/server.out" 2>"$work/server.err" &
server_pid=$!
# The server prints its address once it listens.
for _ in $(seq 100); do
  grep -q ' on http://' "$work/server.out" && break
  if ! kill -0 "$server_pid" 2>/dev/null; then
    cat "$work/server.err" >&2
    echo "tour: the sample server did not start" >&2
    server_pid=
    exit 1
  fi
  sleep 0.05
done
url=$(sed -n 's/.* on \(http:[^ ]*\)$/\1/p' "$work/server.out")
[ -n "$url" ] || { echo "tour: the sample server did not answer in time" >&2; exit 1; }
echo "Sample weather server at $url"

# Shows each command as a user would type it, then runs it.
run() {
  local shown=stratus arg
  for arg in "$@"; do
    case $arg in
      *[[:space:],]*) shown+=" \"$arg\"" ;;
      *) shown+=" $arg" ;;
    esac
  done
  echo
  echo "\$ $shown"
  "$stratus_bin" "$@"
}

run config set ConditionsBase "${url}weather/current/"
run config set WarningsBase "${url}iwin/"
run places "des moines"
run now "Boston, MA"
run now 820000 --units metric
run forecast "Seattle, WA"
run decode "KDSM 051754Z 32015G24KT 3SM -SN BR OVC012 M04/M06 A2987 RMK AO2 T10441061"
echo
echo "Tour done; the sample server is stopped."
