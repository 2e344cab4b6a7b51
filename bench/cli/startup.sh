#!/usr/bin/env bash
# How long the host takes to start and finish a command that fetches
# nothing, beside /bin/true: 30 paired runs each (one of each in turn, so
# that load on the machine hits both alike), medians and their ratio.
# Usage: bench/cli/startup.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
stratus=${1:-build}/tools/cli/stratus
runs=${RUNS:-30}
report="KDSM 051754Z 32015G24KT 3SM -SN OVC012 M04/M06 A2987 RMK AO2 T10441061"

# Median wall time, in microseconds, of `runs` runs of each command given,
# interleaved.
measure() {
  python3 - "$runs" "$@" <<'PY'
import subprocess, sys, time
runs = int(sys.argv[1])
commands = [c.split("\x1f") for c in sys.argv[2:]]
times = [[] for _ in commands]
for _ in range(runs):
    for i, c in enumerate(commands):
        t = time.perf_counter()
        subprocess.run(c, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times[i].append(time.perf_counter() - t)
for t in times:
    t.sort()
    print(round(t[len(t) // 2] * 1e6))
PY
}

sep=$'\x1f'
read -r -d '' true_us decode_us places_us < <(measure "/bin/true" \
  "$stratus${sep}decode${sep}$report" "$stratus${sep}places" && printf '\0')
printf '%-28s %8s us\n' "/bin/true" "$true_us"
printf '%-28s %8s us  %.2fx\n' "stratus decode REPORT" "$decode_us" \
  "$(python3 -c "print($decode_us / $true_us)")"
printf '%-28s %8s us  %.2fx\n' "stratus places" "$places_us" \
  "$(python3 -c "print($places_us / $true_us)")"
