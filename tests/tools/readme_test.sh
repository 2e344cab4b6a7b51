#!/usr/bin/env bash
# Runs every command of the README's shell blocks (fenced ```sh or ```bash)
# as a user would type it after the quick start, and fails when one of them
# does not exit 0, naming it with its output.
#
# usage: tests/tools/readme_test.sh README BUILD_DIR
#
# The commands run one after another in a temporary folder, each in its own
# bash, with HOME and XDG_CONFIG_HOME in that folder (no user's settings are
# read or changed), the build folder's programs first on PATH, its Python
# module on PYTHONPATH, and the settings pointing at a sample server that
# this test starts on a free port (the README starts it on 8086).
#
# A block is not run when the line before its opening fence is the marker
#   <!-- README test: skip: REASON -->
# an HTML comment that a Markdown viewer does not show. The README marks so
# the blocks that install as root, start a server, reach the network or the
# weather service's live API, or name files of the reader's own. A command
# in a block that is run may not end in `&`: it would leave a process behind.
set -euo pipefail

readme=${1:?usage: readme_test.sh README BUILD_DIR}
build=$(cd "${2:?usage: readme_test.sh README BUILD_DIR}" && pwd)
marker='<!-- README test: skip: '

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
mkdir -p "$work/home" "$work/cwd"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
export PATH=$build/tools/cli:$build/tools/sample_server:$build/tools/gateway:$PATH
export PYTHONPATH=$build/python${PYTHONPATH:+:$PYTHONPATH}
unset STRATUS_DATA_DIR

# The commands of the blocks to run, one a line (continuation lines joined,
# comment lines and blank lines left out), each after its README line
# number: "LINE<TAB>COMMAND".
awk -v marker="$marker" '
  function flush() { if (cmd != "") print start "\t" cmd; cmd = "" }
  /^```/ && !inside {
    inside = 1
    run = ($0 ~ /^```(sh|bash)[[:space:]]*$/) && index(prev, marker) != 1
    if (($0 ~ /^```(sh|bash)/) && !run) skipped++
    prev = $0; next
  }
  /^```/ && inside { flush(); inside = 0; prev = $0; next }
  inside && run {
    line = $0
    if (cmd == "") {
      if (line ~ /^[[:space:]]*(#|$)/) next
      start = NR
    }
    if (line ~ /\\$/) { cmd = cmd substr(line, 1, length(line) - 1); next }
    cmd = cmd line
    flush()
    next
  }
  { prev = $0 }
  END { print "skipped\t" skipped + 0 }
' "$readme" >"$work/commands"

skipped=$(sed -n 's/^skipped\t//p' "$work/commands")
sed -i '/^skipped\t/d' "$work/commands"
total=$(wc -l <"$work/commands")
if [ "$total" -lt 5 ]; then
  echo "readme_test: only $total commands found in $readme; is the fence style still \`\`\`sh?" >&2
  exit 1
fi

stratus-sample-server --port 0 >"$work/server.out" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 100); do
  grep -q ' on http://' "$work/server.out" && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$work/server.err" >&2; exit 1; }
  sleep 0.05
done
url=$(sed -n 's/.* on \(http:[^ ]*\)$/\1/p' "$work/server.out")
[ -n "$url" ] || { echo "readme_test: the sample server did not start" >&2; exit 1; }
stratus -q config set ConditionsBase "${url}weather/current/"
stratus -q config set WarningsBase "${url}iwin/"

failed=0
while IFS=$'\t' read -r line cmd; do
  # Without its comment, the command must not end in `&`.
  if [[ $(sed 's/[[:space:]]#[^"'\'']*$//' <<<"$cmd") =~ \&[[:space:]]*$ ]]; then
    echo "README line $line runs in the background: $cmd (mark its block)"
    failed=$((failed + 1))
    continue
  fi
  if (cd "$work/cwd" && timeout 60 bash -c "$cmd" </dev/null >"$work/out" 2>&1); then
    echo "ok   line $line: $cmd"
  else
    rc=$?
    echo "FAIL line $line (exit $rc): $cmd"
    sed 's/^/    /' "$work/out"
    failed=$((failed + 1))
  fi
done <"$work/commands"

echo "$((total - failed)) of $total README commands worked; $skipped marked blocks skipped"
[ "$failed" -eq 0 ]
