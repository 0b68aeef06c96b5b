#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Wall time of real-time sweeps through a PulseAudio null sink (a server of
# the script's own, never one anyone else uses): passes of 32 and 128 points
# at 44,100 Hz / 1024, alternating, each timed from the click on the sweep's
# START to the first poll that finds it over (polls every 5 ms). Reports the
# medians, the time per point and the fixed time (from the two lengths), the
# input overruns, and the 128-point pass against its floor: points x
# (50 ms settling + one block of 1024 samples) = 128 x 73.2 ms.
#
#   bench/sweep_realtime.sh [ZORVANE_CLI [ROUNDS]]   (build/zorvane-cli, 3 rounds)
#
# A null sink that no client has asked for a short latency renders two
# seconds at a time, and a new client's latency takes effect only once the
# block under way is over: the first point of a sweep on such a cold sink
# waits up to two seconds for its first data (a sound card's clock does not
# work that way). So a recorder holds the sink's latency short, as the
# end-to-end tests do; ZORVANE_BENCH_COLD=1 leaves the sink cold.
# ZORVANE_BENCH_CARD is the --audio value (system, the default, pulse or
# portaudio). Needs PulseAudio (scripts/deps.sh installs it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cli="$(realpath "${1:-$root/build/zorvane-cli}")"
rounds="${2:-3}"
card="${ZORVANE_BENCH_CARD:-system}"
for tool in pulseaudio pactl; do
  command -v "$tool" >/dev/null || { echo "sweep_realtime: $tool is not installed" >&2; exit 1; }
done

work="$(mktemp -d)"
mkdir -p "$work/run" "$work/xdg" "$work/home"
chmod 700 "$work/run" "$work/xdg"
printf 'autospawn = no\n' >"$work/client.conf"
pulse_env=(ZORVANE_PULSE_STATE="$work/state" PULSE_RUNTIME_PATH="$work/run"
  XDG_RUNTIME_DIR="$work/xdg" HOME="$work/home" PULSE_CLIENTCONFIG="$work/client.conf")
keeper=""
cleanup() {
  [ -n "$keeper" ] && kill "$keeper" 2>/dev/null
  env "${pulse_env[@]}" "$root/scripts/stop-pulse.sh" >/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
env -u PULSE_SERVER "${pulse_env[@]}" "$root/scripts/start-pulse.sh" >/dev/null
card_env=("${pulse_env[@]}" PULSE_SERVER="unix:$work/run/native" PULSE_SINK=zloop
  PULSE_SOURCE=zloop.monitor)
if [ "${ZORVANE_BENCH_COLD:-0}" != 1 ]; then
  env "${card_env[@]}" parec -d zloop.monitor --format=u8 --rate=8000 --channels=1 --raw \
    --latency-msec=10 >/dev/null &
  keeper=$!
  sleep 2.5
fi

# One pass of `points`: prints its milliseconds and the input overruns.
pass() {
  local points="$1"
  {
    echo "click N$points"
    echo "click SweepBtn"
    echo "clock"
    echo "click SweepStartBtn"
    # Polls for about 1.5 times what a pass takes at 90 ms a point.
    for _ in $(seq $((points * 27 + 400))); do
      echo "wait 5"
      echo "state SweepRunning"
      echo "clock"
    done
  } >"$work/sweep.zvs"
  echo "quit" >>"$work/sweep.zvs"
  env "${card_env[@]}" "$cli" script --audio="$card" <"$work/sweep.zvs" 2>"$work/err" |
    awk '/^clock = / && !start { start = $3; next }
         /^SweepRunning = 0/ { over = 1; next }
         over && /^clock = / && !done { print $3 - start; done = 1 }' >"$work/ms"
  local overruns
  overruns="$(sed -n 's/^zorvane-cli: input overruns: //p' "$work/err")"
  echo "$(cat "$work/ms") ${overruns:-?}"
  [ -s "$work/ms" ] || { echo "sweep_realtime: the sweep did not end in time" >&2; exit 1; }
}

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

: >"$work/results"
for r in $(seq "$rounds"); do
  order=(32 128)
  [ $((r % 2)) = 0 ] && order=(128 32)
  for points in "${order[@]}"; do
    read -r ms overruns < <(pass "$points")
    echo "round $r: $points points in $ms ms, $overruns input overruns"
    echo "$points $ms $overruns" >>"$work/results"
  done
done
t32="$(awk '$1 == 32 {print $2}' "$work/results" | median)"
t128="$(awk '$1 == 128 {print $2}' "$work/results" | median)"
o128="$(awk '$1 == 128 {print $3}' "$work/results" | median)"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg); the sink $([ -n "$keeper" ] && echo "kept warm" || echo "cold")"
awk -v a="$t32" -v b="$t128" -v o="$o128" -v n="$rounds" 'BEGIN {
  per = (b - a) / 96; fixed = b - 128 * per; floor = 128 * (50 + 1024 / 44.1)
  printf "median of %d rounds: 32 points %.0f ms, 128 points %.0f ms (%s input overruns)\n", n, a, b, o
  printf "per point %.1f ms, fixed %.0f ms; 128-point pass / floor (%.0f ms) = %.3f\n", per, fixed, floor, b / floor }'
