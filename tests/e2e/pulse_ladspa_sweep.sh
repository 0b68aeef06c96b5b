#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: the sweep measures a real filter. A LADSPA filter is loaded in
# front of the PulseAudio null sink "zloop" (module-ladspa-sink, plug-ins of
# swh-plugins): a single-band parametric section (-8 dB at 2 kHz, one octave)
# and a Butterworth low-pass at 5 kHz (its "resonance" 1.4: no peak, so the
# generator's full-scale tones never clip in the 16-bit sink). zorvane-cli
# sweeps through them (the dip at 64 and 512 points, the low-pass at 64) and
# exports the measured points; sox then plays one tone at every exported
# frequency through the same filter while parec records the monitor, and stepped_tones.py measures them: every
# point within 0.5 dB of sox's tone (but the first, the ones at half the rate
# and next to it, and those over 60 dB down).
# Exits 77 (skipped) without the server, the zloop sink or the plug-ins.
set -uo pipefail

cli=${1:?usage: pulse_ladspa_sweep.sh ZORVANE_CLI}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
python=/usr/bin/python3
require_zloop parec paplay sox
[ -x "$python" ] && "$python" -c 'import numpy' 2>/dev/null || skip "numpy for /usr/bin/python3"
for plugin in single_para_1203 butterworth_1902; do
  [ -f "/usr/lib/ladspa/$plugin.so" ] || skip "the LADSPA plug-in $plugin (swh-plugins)"
done

module=""
recorder=""
on_exit() {
  [ -n "$recorder" ] && kill "$recorder" 2>/dev/null && wait "$recorder" 2>/dev/null
  [ -n "$module" ] && pactl unload-module "$module"
}
start_session

failures=0

# The tones of a 512-point sweep over the default window: every bin from 2
# to 512 (a 64-point sweep plays some of them).
{
  echo "frequency_hz,level_db"
  for b in $(seq 2 512); do awk -v b="$b" 'BEGIN { printf "%.6f,0\n", b * 44100 / 1024 }'; done
} > "$work/tones.csv"
"$python" "$here/stepped_tones.py" make "$work/tones.csv" "$work/tones.wav" || exit 1

# sweep POINTS CSV: a sweep through the filter sink, its points exported.
sweep() {
  {
    echo "set ProcessGainTrackBar 6"
    echo "click N$1"
    echo "click SweepBtn"
    echo "click SweepStartBtn"
    # The next commands come once the sweep is over (each point takes
    # about 75 ms on the null sink: settle and block).
    echo "wait $(($1 * 100 + 2000))"
    echo "state SweepRunning"
    echo "dialog $2"
    echo "click ExportData1"
    echo "quit"
  } > "$work/sweep.zvs"
  PULSE_SINK=zfilter "$cli" script --audio=system "$work/sweep.zvs" > "$work/sweep.out" 2>&1
  local rc=$?
  if [ $rc -ne 0 ] || grep -q '^message' "$work/sweep.out" || [ ! -s "$2" ] ||
    ! grep -q '^SweepRunning = 0' "$work/sweep.out"; then
    echo "FAIL zorvane-cli ended with $rc, showed a message or wrote nothing"
    cat "$work/sweep.out"
    return 1
  fi
}

# through NAME PLUGIN LABEL CONTROLS POINTS: sox's tones and the sweeps through one
# filter. A sweep whose points disagree is run once more: on a busy machine
# the sound server now and then hands a point's capture a block from before
# its tone arrived, which a second pass does not repeat.
through() {
  local name=$1 plugin=$2 label=$3 controls=$4
  module=$(pactl load-module module-ladspa-sink sink_name=zfilter sink_master=zloop \
    plugin="$plugin" label="$label" control="$controls") || {
    echo "FAIL $name: module-ladspa-sink did not load"
    failures=$((failures + 1))
    return
  }
  parec -d zloop.monitor --format=s16le --rate=44100 --channels=1 --raw --latency-msec=20 \
    > "$work/tones.raw" &
  recorder=$!
  for _ in $(seq 500); do
    [ -s "$work/tones.raw" ] && break
    sleep 0.01
  done
  paplay -d zfilter "$work/tones.wav"
  sleep 0.3
  kill "$recorder" && wait "$recorder" 2>/dev/null
  recorder=""
  local points attempt csv
  for points in $5; do
    csv="$work/$name-$points.csv"
    for attempt in 1 2; do
      echo "$name, $points points$([ $attempt = 2 ] && echo ', once more'):"
      sweep "$points" "$csv" &&
        "$python" "$here/stepped_tones.py" judge "$csv" "$work/tones.csv" "$work/tones.raw" &&
        break
      [ $attempt = 2 ] && failures=$((failures + 1))
    done
  done
  pactl unload-module "$module"
  module=""
}

# The dip at both densities; the low-pass's slope, measured point by point,
# adds nothing at 512 points that 64 do not show.
through "parametric -8 dB at 2 kHz" single_para_1203 singlePara -8,2000,1 "64 512"
through "low-pass at 5 kHz" butterworth_1902 buttlow_iir 5000,1.4 "64"

require_sink_rate
if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "the sweeps read the LADSPA filters as sox's tones do"
