#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: a 64-point sweep through PortAudio over the PulseAudio null
# sink "zloop" (scripts/start-pulse.sh). The generator plays each tone into
# the sink and the analyzer records it back from the sink's monitor; the
# chain is flat, so every point of the trace (but the last, at half the
# rate) must lie within 1 dB of the median (read through the scale labels). The sweep's wall time is reported
# against 64 x (50 ms settle + one 1024-sample block).
# Exits 77 (skipped) when no server with the zloop sink is reachable.
set -uo pipefail

cli=${1:?usage: pulse_sweep.sh ZORVANE_CLI}

here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
require_zloop parec

start_session

poll_ms=10
{
  echo "set ProcessGainTrackBar 6"
  echo "click N64"
  echo "click SweepBtn"
  echo "clock"
  echo "click SweepStartBtn"
  # These run inside the sweep's waits while it runs, then right after it.
  for _ in $(seq 2000); do
    echo "wait $poll_ms"
    echo "state SweepRunning"
    echo "clock"
  done
  echo "get Ref_0.Caption"
  echo "get Ref_10.Caption"
  # Point 505 plays half the rate, where nothing can be measured: left out.
  for c in $(seq 1 8 504); do echo "state SweepTracePixels[$c]"; done
  echo "quit"
} > "$work/sweep.zvs"

out=$("$cli" script --audio=system "$work/sweep.zvs" 2> "$work/err")
rc=$?
require_sink_rate
failures=0
if [ $rc -ne 0 ] || echo "$out" | grep -q '^message'; then
  echo "FAIL zorvane-cli ended with $rc or showed a message"
  echo "$out" | grep '^message'
  cat "$work/err"
  exit 1
fi

running=$(echo "$out" | grep -c '^SweepRunning = 1')
# The clock before the click, and at the first poll that finds the sweep over.
start=$(echo "$out" | sed -n 's/^clock = //p' | head -1)
end=$(echo "$out" | awk '/^SweepRunning = 0/ { over = 1; next } over && /^clock = / { print $3; exit }')
ref0=$(echo "$out" | sed -n 's/^Ref_0.Caption = //p')
ref10=$(echo "$out" | sed -n 's/^Ref_10.Caption = //p')
trace=$(echo "$out" | sed -n 's/^SweepTracePixels\[[0-9]*\] = //p' | tr '\n' ' ')
verdict=$(awk -v trace="$trace" -v ref0="$ref0" -v ref10="$ref10" 'BEGIN {
  n = split(trace, h, " ")
  if (n != 63) { print "FAIL expected 63 points, read " n; exit }
  for (i = 1; i <= n; i++) s[i] = h[i]
  # median by insertion sort
  for (i = 2; i <= n; i++) { v = s[i]; for (j = i - 1; j >= 1 && s[j] > v; j--) s[j + 1] = s[j]; s[j + 1] = v }
  median = n % 2 ? s[(n + 1) / 2] : (s[n / 2] + s[n / 2 + 1]) / 2
  dbpp = (ref10 - ref0) / 200
  worst = 0; at = 1
  for (i = 1; i <= n; i++) {
    d = (h[i] - median) * dbpp; if (d < 0) d = -d
    if (d > worst) { worst = d; at = 1 + 8 * (i - 1) }
    if (h[i] < 0 || h[i] > 199) print "FAIL point " 1 + 8 * (i - 1) " is off the plot (" h[i] ")"
  }
  printf "%s every point within %.2f dB of the median (%.1f pixels; worst at point %d)\n",
         (worst <= 1 ? "ok  " : "FAIL"), worst, median, at
}')
echo "$verdict"
echo "$verdict" | grep -q '^FAIL' && failures=$((failures + 1))

if [ "$running" -lt 1 ] || [ -z "$start" ] || [ -z "$end" ]; then
  echo "FAIL the sweep did not end within the script ($running polls)"
  failures=$((failures + 1))
else
  awk -v start="$start" -v end="$end" 'BEGIN {
    wall = (end - start) / 1000
    floor = 64 * (0.050 + 1024 / 44100)
    printf "wall time of the sweep %.2f s against 64 x (settle + block) = %.2f s: ratio %.2f, %.1f ms a point\n",
           wall, floor, wall / floor, wall * 1000 / 64
  }'
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "64-point sweep over the null sink: flat within 1 dB"
