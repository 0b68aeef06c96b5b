#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end through the PortAudio input: the generator plays a 1000 Hz sine
# into the PulseAudio null sink "zloop" (scripts/start-pulse.sh) and
# `zorvane-cli record` records the sink's monitor through the WaveIn backend,
# at 44,100 and 22,050 Hz, mono and stereo (both channels checked), 16-bit
# and one 8-bit run. Each recording must hold the tone at 1000 Hz +-1 with the
# generator's level (RMS 0.707 FS) and no sample lost, repeated or reordered
# at the hand-over between the recorder's buffers (the sine recurrence holds
# throughout). Overruns are printed.
# Exits 77 (skipped) when no server with the zloop sink is reachable.
set -uo pipefail

cli=${1:?usage: pulse_loop.sh ZORVANE_CLI}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
require_zloop python3

work=$(mktemp -d)
# Recordings that fail are kept here for a look.
kept="${TMPDIR:-/tmp}/zorvane-e2e-failed"
player=""
cleanup() {
  [ -n "$player" ] && kill "$player" 2>/dev/null && wait "$player" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The tone plays far longer than the recordings take; it is stopped below.
printf 'key FrequencyDisplay \\b\\b\\b\\b\\b1000\\r\nclick OutputBtn\nwait 120000\nclick OutputBtn\nquit\n' \
  > "$work/play.zvs"
"$cli" script --audio=system "$work/play.zvs" > "$work/play.log" 2>&1 &
player=$!
for _ in $(seq 100); do
  [ -n "$(pactl list short sink-inputs)" ] && break
  sleep 0.1
done
if [ -z "$(pactl list short sink-inputs)" ]; then
  echo "FAIL the generator's stream never reached the server"
  cat "$work/play.log"
  exit 1
fi

require_sink_rate
failures=0
for config in "44100 1 16" "44100 2 16" "22050 1 16" "22050 2 16" "44100 1 8"; do
  read -r rate channels bits <<< "$config"
  name="${rate}Hz-${channels}ch-${bits}bit"
  wav="$work/$name.wav"
  if ! "$cli" record --audio=system --seconds 1.4 --rate "$rate" --channels "$channels" \
      --bits "$bits" "$wav" | sed "s/^/$name: /"; then
    echo "FAIL $name: zorvane-cli record failed"
    failures=$((failures + 1))
    continue
  fi
  # 8-bit samples carry 128 times the quantisation step of 16-bit ones.
  gap=0.03
  [ "$bits" = 8 ] && gap=0.1
  if ! python3 "$here/tone_stats.py" "$wav" --label "$name" --margin 0.1 --min-seconds 1.0 \
      --freq 1000 --rms 0.7071 --max-gap "$gap"; then
    failures=$((failures + 1))
    mkdir -p "$kept" && cp "$wav" "$kept/" && echo "kept $kept/$name.wav"
  fi
done

if ! kill -0 "$player" 2>/dev/null; then
  echo "FAIL the generator stopped before the recordings were done"
  cat "$work/play.log"
  failures=$((failures + 1))
fi

require_sink_rate
if [ $failures -ne 0 ]; then
  echo "$failures recording(s) failed"
  exit 1
fi
echo "all recordings as expected"
