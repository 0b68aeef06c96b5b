#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: the generator plays through the PortAudio backend into the
# PulseAudio null sink "zloop" (scripts/start-pulse.sh), while parec records
# the sink's monitor independently of the program. Each waveform is switched
# on at 1000 Hz by the same clicks and keys a user makes, and its frequency
# and levels are measured from the recording:
#   sine      1000 Hz +-1, peak 32767, RMS 0.707 FS, no dropouts
#   square    1000 Hz +-1, exactly +-32767, RMS 1.0 FS
#   triangle  1000 Hz +-1, peaks about +-19950, RMS 0.577 x 19950/32768
#   noise     uniform -16384..16383, RMS 0.2887 FS
# Exits 77 (skipped) when no server with the zloop sink is reachable.
set -uo pipefail

cli=${1:?usage: pulse_tone.sh ZORVANE_CLI}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
require_zloop parec python3

work=$(mktemp -d)
recorder=""
cleanup() {
  [ -n "$recorder" ] && kill "$recorder" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

failures=0

# play NAME CLICKS CHECKS...: switches the output on with the waveform button
# pressed CLICKS times, records two seconds of it and checks the recording.
play() {
  local name=$1 clicks=$2
  shift 2
  local raw="$work/$name.raw" script="$work/$name.zvs"
  {
    # Five backspaces clear the "200.0" the entry starts with.
    printf 'key FrequencyDisplay \\b\\b\\b\\b\\b1000\\r\n'
    for _ in $(seq "$clicks"); do echo "click WaveformBtn"; done
    echo "click OutputBtn"
    echo "wait 2000"
    echo "click OutputBtn"
    echo "quit"
  } > "$script"

  parec -d zloop.monitor --format=s16le --rate=44100 --channels=1 --raw --latency-msec=20 > "$raw" &
  recorder=$!
  # The recorder takes a moment to connect; start playing once data flows.
  for _ in $(seq 500); do
    [ -s "$raw" ] && break
    sleep 0.01
  done
  if [ ! -s "$raw" ]; then
    echo "FAIL $name: parec recorded nothing"
    failures=$((failures + 1))
    return
  fi

  local out
  out=$("$cli" script --audio=system "$script" 2>&1)
  local rc=$?
  sleep 0.3
  kill -INT "$recorder"
  wait "$recorder" 2>/dev/null
  recorder=""
  echo "$out" | sed "s/^/  $name: /"
  if [ $rc -ne 0 ] || echo "$out" | grep -q '^message'; then
    echo "FAIL $name: zorvane-cli ended with $rc or showed a message"
    failures=$((failures + 1))
    return
  fi
  python3 "$here/tone_stats.py" "$raw" --raw 44100 1 --label "$name" --min-seconds 1.2 "$@" ||
    failures=$((failures + 1))
}

# RMS as a fraction of 32768: a sine's peak / sqrt(2), a triangle's / sqrt(3),
# uniform noise over -16384..16383: 16384 / sqrt(3).
play sine 0 --freq 1000 --rms 0.7071 --max 32767 --min -32767 --value-tol 60 --max-gap 0.02
play square 1 --freq 1000 --rms 1.0 --max 32767 --min -32767
play triangle 2 --freq 1000 --rms "$(python3 -c 'print(19950 / 3 ** 0.5 / 32768)')" \
  --max 19950 --min -19950 --value-tol 100
play noise 3 --rms 0.2887 --max 16383 --min -16384 --value-tol 200

require_sink_rate
if [ $failures -ne 0 ]; then
  echo "$failures waveform(s) failed"
  exit 1
fi
echo "all waveforms as expected"
